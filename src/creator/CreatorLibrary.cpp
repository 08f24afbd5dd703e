#include "creator/CreatorLibrary.h"

#include "app/AppStartupHooks.h"
#include "app/QVRWindowManager.h"
#include "creator/addition/QVRContentAdditionManager.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/interaction/QVR_InteractableViewHandler.h"
#include "creator/snapping/SnappingUtils.h"
#include "creator/window/CreatorContentAddition.h"
#include "creator/window/QVR_CreatorWindow.h"

namespace {

// The window commands' content addition: each creator window's own manager, which shows its progress and alerts
// in that window.
class WindowContentAddition final : public CreatorContentAddition {
public:
    QStringList supportedPasteboardTypes() const override
    {
        return QVRContentAdditionManager::supportedPasteboardTypes();
    }
    void addObjectsFromMimeData(const QMimeData* data, const std::shared_ptr<ZERI_FlowScreenModel>& screen,
                                bool isDragOperation, QWidget* window, Done done) override
    {
        auto* creator = qobject_cast<QVR_CreatorWindow*>(window ? window->window() : nullptr);
        QVRContentAdditionManager* manager = creator ? creator->contentAdditionManager() : nullptr;
        if (!manager) {
            if (done)
                done({});
            return;
        }
        manager->addObjectsFromMimeData(
            data, screen, isDragOperation, {},
            [done = std::move(done)](const QVRContentAdditionManager::Objects& added, const Error&) {
                if (done)
                    done(added);
            });
    }
    bool isAddingContent(const std::shared_ptr<ZERI_TessarineModel>& document) const override
    {
        return QVRContentAdditionManager::isAddingToDocument(document.get());
    }
};

} // namespace

void registerCreatorLibrary()
{
    CreatorContentAddition::registerAddition(std::make_shared<WindowContentAddition>());
    // Undo and redo wait while the shown board crops an image.
    CreatorCropState::setQuery([](const QWidget* board) {
        const auto* handler =
            QVR_InteractableViewHandler::handlerForBoard(qobject_cast<const QVR_SingleScreenArtBoardView*>(board));
        return handler && handler->isCropping();
    });
    QVRWindowManager::setCreatorWindowFactory([] { return new QVR_CreatorWindow; });
    // The Edit menu's snap-guides item: its title follows the kept choice, and choosing it flips that choice.
    auto& hooks = AppStartupHooks::shared();
    hooks.snappingDisabled = [] { return SnappingUtils::defaultSnappingIsDisabled(); };
    hooks.menuCommands[QStringLiteral("toggleSnapping")] = [] {
        SnappingUtils::setDefaultSnappingDisabled(!SnappingUtils::defaultSnappingIsDisabled());
    };
}
