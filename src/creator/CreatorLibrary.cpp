#include "creator/CreatorLibrary.h"

#include "app/AppStartupHooks.h"
#include "app/QVRWindowManager.h"
#include "creator/snapping/SnappingUtils.h"
#include "creator/window/QVR_CreatorWindow.h"

void registerCreatorLibrary()
{
    QVRWindowManager::setCreatorWindowFactory([] { return new QVR_CreatorWindow; });
    // The Edit menu's snap-guides item: its title follows the kept choice, and choosing it flips that choice.
    auto& hooks = AppStartupHooks::shared();
    hooks.snappingDisabled = [] { return SnappingUtils::defaultSnappingIsDisabled(); };
    hooks.menuCommands[QStringLiteral("toggleSnapping")] = [] {
        SnappingUtils::setDefaultSnappingDisabled(!SnappingUtils::defaultSnappingIsDisabled());
    };
}
