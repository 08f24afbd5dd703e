#include "library/LibraryLibrary.h"

#include <memory>

#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include "app/AppStartupHooks.h"
#include "controls/FloatingWindowCloser.h"
#include "controls/ViewUtils.h"
#include "creator/TessarineThemeCatalogue.h"
#include "creator/toolbar/CreatorToolbarPanels.h"
#include "library/guides/QVRGuideViewerViewController.h"
#include "library/lists/QVRTessarineListsWindowController.h"
#include "library/lists/QVR_OpenByURLWindowCotroller.h"
#include "library/lists/TilePublishing.h"
#include "library/tour/QVR_FirstLaunchWindowController.h"
#include "library/LibraryLogging.h"
#include "library/themes/LibraryThemeCatalogue.h"
#include "library/themes/QVRTemplateChooserWindowController.h"
#include "library/themes/TessarineTheme.h"
#include "strings/UFM.h"
#include "library/publish/QVRSaveAndPostUtils.h"
#include "library/publish/SheetRunner.h"
#include "library/share/QVRSharePostedTessarineWindowController.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "creator/window/CreatorPublishing.h"
#include "library/account/QVBUserInfoMonitor.h"
#include "library/account/QVRFacebookLoginWindowController.h"
#include "library/account/QVRLoginWindowController.h"
#include "library/account/QVRLogoutWindowController.h"
#include "library/account/QVRRegisterWallWindowController.h"
#include "library/account/QVRTessarinePasswordUnlockViewController.h"
#include "library/account/QVR_ProfileEditorWebViewWindowController.h"
#include "library/account/WebViewSessionCookies.h"
#include "library/account/ZERI_AuthenticationHandler.h"
#include "library/share/QVR_TrackableEmailViewController.h"
#include "service/ServiceReachability.h"
#include "viewer/ViewerSharing.h"

namespace {

// The viewer's share buttons open the share sheet over their window.
class ShareSheetViewerSharing final : public ViewerSharing {
public:
    void shareDocument(const std::shared_ptr<ZERI_TessarineModel>& document, QWidget* window) override
    {
        QVRSharePostedTessarineWindowController::showForDocument(document, window, false);
    }
};

// The guide panel in a window of its own (the Help menu's guide item); one at a time.
void showGuidePanel()
{
    static QPointer<QWidget> s_window;
    if (!s_window) {
        auto* window = new QWidget;
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->setWindowTitle(UFM::SAYS_TESSARINE_GUIDE());
        auto* panel = new QVRGuideViewerViewController(window);
        auto* layout = new QVBoxLayout(window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(panel->view());
        window->resize(880, 560);
        FloatingWindowCloser::install(window, UFM::SAYS_CLOSE());
        s_window = window;
    }
    s_window->show();
    s_window->raise();
    s_window->activateWindow();
}

// Themes, templates and guides: the editor's theme catalogue, the theme loading at start-up, the template chooser
// of new-document requests and the guide panel.
void registerThemes()
{
    TessarineThemeCatalogue::setShared(std::make_unique<LibraryThemeCatalogue>());
    AppStartupHooks& hooks = AppStartupHooks::shared();
    hooks.loadDefaultThemes = [] { TessarineTheme::loadDefaultThemes(); };
    hooks.deletePrecachedBlankTheme = [] { TessarineTheme::deletePrecachedBlankTheme(); };
    hooks.showTemplateChooser = [] { QVRTemplateChooserWindowController::sharedInstance()->showWindow(); };
    hooks.menuCommands[QStringLiteral("guide")] = showGuidePanel;
    // The creator toolbar's guide button shows the panel over the window; the panel goes with its view.
    CreatorToolbarPanels::shared().guide = [](QWidget* parent) -> QWidget* {
        auto* panel = new QVRGuideViewerViewController(parent);
        QWidget* view = panel->view();
        view->setParent(parent);
        QObject::connect(view, &QObject::destroyed, panel, &QObject::deleteLater);
        return view;
    };
    // Its guides come from the service: without it the guide does not open by itself.
    CreatorToolbarPanels::shared().guideAvailable = [](QObject* context, std::function<void(bool)> answer) {
        ServiceReachability::probe(context, std::move(answer));
    };
}

// Saving and publishing: the creator window's Save Draft, Publish, Unpublish and Share commands.
class SaveAndPostCreatorPublishing final : public CreatorPublishing {
public:
    void saveDraft(const std::shared_ptr<ZERI_TessarineModel>& document, QWidget* window) override
    {
        QVRSaveAndPostUtils::saveTessarineDraft(document, window);
    }
    void publish(const std::shared_ptr<ZERI_TessarineModel>& document, QWidget* window, bool asAdmin) override
    {
        QVRSaveAndPostUtils::postTessarineModel(document, window, asAdmin);
    }
    void unpublish(const std::shared_ptr<ZERI_TessarineModel>& document, QWidget* window) override
    {
        QVR_UnpostConfirmationWindowController sheet(document, window ? window->window() : nullptr);
        SheetRunner::run(sheet, window);
    }
    void share(const std::shared_ptr<ZERI_TessarineModel>& document, QWidget* window) override
    {
        QVRSaveAndPostUtils::shareTessarineModel(document, window);
    }
    bool hasPublishedCopy(const std::shared_ptr<ZERI_TessarineModel>& document) const override
    {
        if (!document)
            return false;
        auto package = std::dynamic_pointer_cast<ZERI_qvdFilePackage>(document->filePackage());
        return package && package->publishedVersionExists();
    }
};

// The same flows from My Documents' tiles.
class SaveAndPostTilePublishing final : public TilePublishing {
public:
    bool canShare() const override { return true; }
    bool canUnpublish() const override { return true; }
    void postTessarineModel(const std::shared_ptr<ZERI_TessarineModel>& model, QWidget* window) override
    {
        QVRSaveAndPostUtils::postTessarineModel(model, window);
    }
    void shareTessarineModel(const std::shared_ptr<ZERI_TessarineModel>& model, QWidget* window) override
    {
        QVRSaveAndPostUtils::shareTessarineModel(model, window);
    }
    void unpublish(const std::shared_ptr<ZERI_qvdFilePackage>& package, QWidget* window,
                   std::function<void(bool unposted)> onDone) override
    {
        Error error;
        if (!package || (!package->model() && !package->loadModel(&error))) {
            qCWarning(lcLibrary) << "cannot unpublish: the document does not load" << error.message;
            if (onDone)
                onDone(false);
            return;
        }
        QVR_UnpostConfirmationWindowController sheet(package->model(), window ? window->window() : nullptr);
        const int result = SheetRunner::run(sheet, window);
        if (onDone)
            onDone(result == SheetRunner::kDone);
    }
};

void registerPublishing()
{
    CreatorPublishing::registerPublishing(std::make_shared<SaveAndPostCreatorPublishing>());
    TilePublishing::setShared(std::make_unique<SaveAndPostTilePublishing>());
}

// The lists window (one at a time: a second request shows My Documents) and the Open URL window.
void registerListsWindow()
{
    AppStartupHooks& hooks = AppStartupHooks::shared();
    hooks.openListsWindow = []() -> QWidget* {
        static QPointer<QVRTessarineListsWindowController> s_controller;
        if (s_controller)
            s_controller->showMyFlows();
        else
            s_controller = new QVRTessarineListsWindowController;
        QWidget* window = s_controller->myWindow();
        window->show();
        window->raise();
        window->activateWindow();
        return window;
    };
    hooks.menuCommands[QStringLiteral("openURL")] = [] { QVR_OpenByURLWindowCotroller::showShared(); };
    QVRTessarineListsWindowController::setFirstLaunchTourFactory(
        []() -> QWidget* { return (new QVR_FirstLaunchWindowController)->window(); });
}

// The sign-in and sign-out dialogues come up in front and take the keyboard, also while a window kept above the
// others (the first-launch tour) shows.
void execInFront(QDialog& dialog)
{
    ViewUtils::keepAboveWindowsKeptOnTop(&dialog);
    QTimer::singleShot(0, &dialog, [&dialog] {
        dialog.raise();
        dialog.activateWindow();
    });
    dialog.exec();
}

// Accounts: the sign-in wall and the shared authentication handler.
void registerAccounts()
{
    AppStartupHooks& hooks = AppStartupHooks::shared();
    hooks.runRegisterWall = [](const QString& message) {
        QVRRegisterWallWindowController wall;
        wall.setLandingVCMessageText(message);
        execInFront(wall);
        return wall.loginCompleted();
    };
    hooks.runSignInWall = [](const QString& message) {
        QVRRegisterWallWindowController wall;
        wall.setLandingVCMessageText(message);
        wall.switchToVC(QVRRegisterWallWindowController::Page::Login);
        execInFront(wall);
        return wall.loginCompleted();
    };
    hooks.runSignOutDialogue = [] {
        QVRLogoutWindowController dialogue(QVRLogoutWindowController::packagesToSave());
        execInFront(dialogue);
    };
    hooks.showPasswordPrompt = [](const QString& stringID, std::function<void(const QString&)> onUnlocked,
                                  std::function<void()> onDismissed) {
        QVRTessarinePasswordUnlockViewController::showPrompt(stringID, std::move(onUnlocked), std::move(onDismissed));
    };
    hooks.closePasswordPrompt = [](const QString& stringID) {
        QVRTessarinePasswordUnlockViewController::closePrompts(stringID);
    };
    hooks.menuCommands[QStringLiteral("editProfile")] = [] { QVR_ProfileEditorWebViewWindowController::editProfile(); };
    // The small stand-alone sign-in window (user name and password, or the social network).
    hooks.menuCommands[QStringLiteral("signInWindow")] = [] { QVRLoginWindowController::showShared(); };
    QVRRegisterWallWindowController::setSocialSignIn(
        [](QWidget* over, std::function<void(const std::optional<Error>&, bool)> done) {
            QVRFacebookSession::sharedInstance().login(std::move(done), true, over);
        });
    ZERI_AuthenticationHandler::setSessionCookieHooks([](const QString& token) { WebViewSessionCookies::plant(token); },
                                                      [] { WebViewSessionCookies::clear(); });
    ZERI_AuthenticationHandler::setAfterSignInHook([] { QVBUserInfoMonitor::sharedInstance().updateNow(); });
    hooks.startQuotaMonitor = [] {
        QVBUserInfoMonitor::sharedInstance().startMonitoring();
        QVBUserInfoMonitor::sharedInstance().updateNow();
    };
    hooks.quotaBytesRemaining = [] { return QVBUserInfoMonitor::sharedInstance().userFriendlyBytesRemaining(); };
    hooks.quotaCap = [] { return QVBUserInfoMonitor::sharedInstance().userFriendlyQuotaCap(); };
    hooks.quotaResetTimeRemaining = [] {
        return QVBUserInfoMonitor::sharedInstance().userFriendlyResetTimeRemaining();
    };
}
// End of accounts.

} // namespace

void registerLibraryLibrary()
{
    registerThemes();
    registerListsWindow();
    // Sharing: the PDF viewer's tracked e-mail composer.
    TrackedEmailComposer::registerFactory(
        [] { return std::unique_ptr<TrackedEmailComposer>(new QVR_TrackableEmailViewController()); });
    // The viewer's and the tablet preview's share buttons.
    ViewerSharing::registerSharing(std::make_shared<ShareSheetViewerSharing>());
    // End of sharing.
    registerPublishing();
    registerAccounts();
}
