#include "app/QVRAppDelegate.h"

int main(int argc, char** argv)
{
    return QVRAppDelegate::applicationMain(argc, argv);
}
