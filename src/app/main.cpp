#include "app/QVRAppDelegate.h"
#include "pptx/import/PptxLibrary.h"
#include "viewer/previews/ViewerPreviewsLibrary.h"

int main(int argc, char** argv)
{
    // Libraries register what they provide in link order, before the application starts.
    registerViewerPreviewsLibrary();
    registerPptxLibrary();
    return QVRAppDelegate::applicationMain(argc, argv);
}
