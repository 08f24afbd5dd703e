#include "launch/ApplicationLaunch.h"

#include "app/QVRAppDelegate.h"
#include "creator/CreatorLibrary.h"
#include "elements/players/ElementsPlayersLibrary.h"
#include "elements/views/ElementsLibrary.h"
#include "gestures/handler/GesturesHandlerLibrary.h"
#include "inspector/InspectorLibrary.h"
#include "library/LibraryLibrary.h"
#include "pptx/import/PptxLibrary.h"
#include "viewer/ViewerLibrary.h"
#include "viewer/previews/ViewerPreviewsLibrary.h"

void ApplicationLaunch::registerLibraries()
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

std::unique_ptr<QVRAppDelegate> ApplicationLaunch::start()
{
    registerLibraries();
    auto delegate = std::make_unique<QVRAppDelegate>();
    delegate->applicationDidFinishLaunching();
    return delegate;
}

int ApplicationLaunch::main(int argc, char** argv)
{
    return QVRAppDelegate::applicationMain(argc, argv, &ApplicationLaunch::start);
}
