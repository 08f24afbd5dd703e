#include "app/QVRAppDelegate.h"
#include "viewer/ViewerLibrary.h"
#include "viewer/previews/ViewerPreviewsLibrary.h"

int main(int argc, char** argv)
{
    // Libraries register what they provide in link order, before the application starts.
    registerViewerPreviewsLibrary();
    registerViewerLibrary();
    return QVRAppDelegate::applicationMain(argc, argv);
}
