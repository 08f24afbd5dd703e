#include "app/QVRAppDelegate.h"
<<<<<<< HEAD
#include "creator/CreatorLibrary.h"

int main(int argc, char** argv)
{
    // Later libraries register into the earlier ones, in link order, before the application starts.
    registerCreatorLibrary();
=======
#include "elements/views/ElementsLibrary.h"
#include "viewer/previews/ViewerPreviewsLibrary.h"

int main(int argc, char** argv)
{
    // Libraries built after the shell register with the libraries before them, in link order.
    registerElementsLibrary();
    registerViewerPreviewsLibrary();
>>>>>>> main
    return QVRAppDelegate::applicationMain(argc, argv);
}
