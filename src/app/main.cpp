#include "app/QVRAppDelegate.h"
#include "creator/CreatorLibrary.h"
#include "elements/views/ElementsLibrary.h"
#include "viewer/previews/ViewerPreviewsLibrary.h"

int main(int argc, char** argv)
{
    // Libraries built after the shell register with the libraries before them, in link order.
    registerElementsLibrary();
    registerViewerPreviewsLibrary();
    registerCreatorLibrary();
    return QVRAppDelegate::applicationMain(argc, argv);
}
