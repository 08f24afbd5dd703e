#include "controls/NavigationControllerFriendlyViewController.h"

#include "controls/NavigationController.h"

NavigationControllerFriendlyViewController::NavigationControllerFriendlyViewController(QObject* parent)
    : ViewController(parent)
{
}
