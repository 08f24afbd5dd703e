#include "app/QVRAppDelegate.h"
#include "creator/CreatorLibrary.h"
#include "elements/players/ElementsPlayersLibrary.h"
#include "elements/views/ElementsLibrary.h"
#include "gestures/handler/GesturesHandlerLibrary.h"
#include "inspector/InspectorLibrary.h"
#include "launch/ApplicationLaunch.h"
#include "library/LibraryLibrary.h"
#include "pptx/import/PptxLibrary.h"
#include "viewer/ViewerLibrary.h"
#include "viewer/previews/ViewerPreviewsLibrary.h"

void registerApplicationLibraries()
{
    QVRAppDelegate::prepareApplication();
    // Libraries built after the shell register with the libraries before them, in link order.
    registerElementsLibrary();
    registerElementsPlayersLibrary();
    registerViewerPreviewsLibrary();
    registerCreatorLibrary();
    registerInspectorLibrary();
    registerViewerLibrary();
    registerLibraryLibrary();
    registerPptxLibrary();
    registerGesturesLibrary();
}

// The tests and benchmarks that start the assembled application in-process build this file too, for the
// registrations above, without main().
#ifndef TESS_LAUNCH_WITHOUT_MAIN
int main(int argc, char** argv)
{
    return ApplicationLaunch::main(argc, argv, &registerApplicationLibraries);
}
#endif
