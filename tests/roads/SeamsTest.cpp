#include <gtest/gtest.h>

#include "app/AppStartupHooks.h"
#include "app/QVRURLSchemeHandler.h"
#include "app/QVRWindowManager.h"
#include "creator/TessarineThemeCatalogue.h"
#include "creator/canvas/CreatorCanvasInterfaces.h"
#include "creator/toolbar/CreatorToolbarPanels.h"
#include "creator/window/CreatorContentAddition.h"
#include "creator/window/CreatorInspectorInterfaces.h"
#include "creator/window/CreatorOutput.h"
#include "creator/window/CreatorPublishing.h"
#include "inspector/popovers/QVRImageMMObjToolbarPopoverController.h"
#include "library/lists/TilePublishing.h"
#include "library/themes/LibraryThemeCatalogue.h"
#include "platform/AlertPresenter.h"
#include "platform/FileChooser.h"
#include "platform/leap/Controller.h"
#include "platform/widgets/LinkOpener.h"
#include "platform/widgets/WidgetAlertPresenter.h"
#include "platform/widgets/WidgetFileChooser.h"
#include "roads/RoadsTestSupport.h"
#include "service/OpenRequestUi.h"
#include "storage/ContentItemDeletionQueue.h"
#include "tessarine_data_model/DocumentFilePackage.h"
#include "tessarine_data_model/DocumentService.h"
#include "tessarine_data_model/ScreenPreviewProvider.h"
#include "tessarine_data_model/UndoSnapshotFiles.h"
#include "tessarine_data_model/VideoCompressionManager.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "viewer/TrackedEmailComposer.h"
#include "viewer/ViewerSharing.h"

namespace {

// After the application's own start-up, no seam a lower library offers answers with its fallback: each is set,
// and the questions the user is asked go to real dialogs.
TEST(ApplicationSeams, TheStartUpSetsEverySeamOfTheLowerLibraries)
{
    roads::application();

    // The platform: dialogs, links and the gesture controller's frames.
    EXPECT_TRUE(FileChooser::isRegistered());
    EXPECT_TRUE(dynamic_cast<WidgetFileChooser*>(&FileChooser::shared()));
    EXPECT_TRUE(AlertPresenter::isRegistered());
    EXPECT_TRUE(dynamic_cast<WidgetAlertPresenter*>(&AlertPresenter::shared()));
    EXPECT_TRUE(LinkOpener::isRegistered());
    EXPECT_TRUE(dynamic_cast<DesktopLinkOpener*>(&LinkOpener::shared()));
    EXPECT_TRUE(Leap::Controller::hasDefaultBackendFactory());

    // The model's and the storage's.
    EXPECT_TRUE(DocumentService::isRegistered());
    EXPECT_TRUE(DocumentFilePackage::isRegistered());
    EXPECT_TRUE(UndoSnapshotFiles::isRegistered());
    EXPECT_TRUE(ScreenPreviewProvider::isRegistered());
    EXPECT_TRUE(VideoCompressionManager::isRegistered());
    EXPECT_TRUE(ContentItemDeletionQueue::isRegistered());
    EXPECT_TRUE(OpenRequestUi::isRegistered());

    // The shell's.
    EXPECT_TRUE(QVRURLSchemeHandler::hasOpenRequestStarter());
    EXPECT_TRUE(QVRWindowManager::hasCreatorWindowFactory());
    EXPECT_TRUE(QVRWindowManager::hasViewerWindowFactory());
    EXPECT_TRUE(QVRWindowManager::hasTabletPreviewWindowFactory());
    const AppStartupHooks& hooks = AppStartupHooks::shared();
    EXPECT_TRUE(hooks.loadDefaultThemes && hooks.startGestureHandler && hooks.gestureControllerIsConnected &&
                hooks.createGestureHandlerView && hooks.openListsWindow && hooks.startQuotaMonitor &&
                hooks.quotaBytesRemaining && hooks.quotaCap && hooks.quotaResetTimeRemaining &&
                hooks.deletePrecachedBlankTheme && hooks.runRegisterWall && hooks.runSignOutDialogue &&
                hooks.isCompressingVideo && hooks.cancelVideoCompression && hooks.flushPendingDraftSaves &&
                hooks.snappingDisabled && hooks.showTemplateChooser && hooks.makeDownloadPanel &&
                hooks.showPasswordPrompt);
    for (const char* command :
         {"editProfile", "signInWindow", "openURL", "importPowerpoint", "toggleSnapping", "guide"}) {
        const auto it = hooks.menuCommands.find(QString::fromLatin1(command));
        EXPECT_TRUE(it != hooks.menuCommands.end() && it->second) << command;
    }

    // The creator's and the viewer's.
    EXPECT_TRUE(CreatorOutput::shared());
    EXPECT_TRUE(CreatorPublishing::shared());
    EXPECT_TRUE(CreatorContentAddition::shared());
    EXPECT_TRUE(CreatorColorPicker::colorPicker());
    const auto text = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Text);
    EXPECT_TRUE(QVRMMObjToolbarPopoverController::controllerForMixedMediaObject(text, false));
    const CreatorInspectorFactories& inspector = CreatorInspectorFactories::shared();
    EXPECT_TRUE(inspector.sideMenu && inspector.positionPalette && inspector.dockedPopover &&
                inspector.screenPropertiesSheet && inspector.screenPropertiesSheetShown &&
                inspector.slideDurationEditor);
    EXPECT_TRUE(CreatorToolbarPanels::shared().guide && CreatorToolbarPanels::shared().titleEditor);
    EXPECT_TRUE(QVRGalleryMMObjToolbarPopoverController::hasGalleryEditorOpener());
    EXPECT_TRUE(dynamic_cast<LibraryThemeCatalogue*>(&TessarineThemeCatalogue::shared()));
    EXPECT_TRUE(TilePublishing::shared().canShare());
    EXPECT_TRUE(ViewerSharing::shared());
    EXPECT_TRUE(TrackedEmailComposer::isAvailable());
}

} // namespace
