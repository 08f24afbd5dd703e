#include "creator/CreatorLibrary.h"

#include "app/QVRWindowManager.h"
#include "creator/window/QVR_CreatorWindow.h"

void registerCreatorLibrary()
{
    QVRWindowManager::setCreatorWindowFactory([] { return new QVR_CreatorWindow; });
}
