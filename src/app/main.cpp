#include "app/QVRAppDelegate.h"
#include "creator/CreatorLibrary.h"

int main(int argc, char** argv)
{
    // Later libraries register into the earlier ones, in link order, before the application starts.
    registerCreatorLibrary();
    return QVRAppDelegate::applicationMain(argc, argv);
}
