#include "app/QVRAppDelegate.h"
#include "elements/players/ElementsPlayersLibrary.h"

int main(int argc, char** argv)
{
    // Libraries after the shell register what they provide, in link order.
    registerElementsPlayersLibrary();
    return QVRAppDelegate::applicationMain(argc, argv);
}
