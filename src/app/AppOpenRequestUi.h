#pragma once

#include <vector>

#include <QPointer>
#include <QWidget>

#include "service/OpenRequestUi.h"

// The application's side of open requests: creator, viewer and tablet windows come from the window manager's
// factories, the loading view is the shared loading view, and the template chooser, download panel, password
// prompt and sign-in wall come from the hooks later libraries fill (AppStartupHooks). The application delegate
// registers it at start-up.
//
// A creator window for a document is an empty managed one that is not downloading (it answers the invokable
// `isPerformingTessarineDownload`), else a new one. Main thread only.
class AppOpenRequestUi : public OpenRequestUi {
public:
    bool showTemplateChooser() override;
    QVROpenRequestDelegate* creatorWindowForOpen() override;
    QVROpenRequestDelegate* creatorWindowForModel(const std::shared_ptr<ZERI_TessarineModel>& model) override;
    void bringToFront(QVROpenRequestDelegate* window) override;
    QVROpenRequestDelegate* viewerWindowForModel(const std::shared_ptr<ZERI_TessarineModel>& model) override;
    QVROpenRequestDelegate* makeViewerWindowForModel(const std::shared_ptr<ZERI_TessarineModel>& model) override;
    QVROpenRequestDelegate* makeiPadPreviewWindow() override;
    void closeWindowBeingPrepared(QVROpenRequestDelegate* window) override;
    QObject* makeLoadingView(const QString& text) override;
    void setLoadingViewCancelBlock(QObject* loadingView, std::function<void()> onCancel) override;
    std::unique_ptr<ViewerDownloadPanel> makeDownloadPanel() override;
    bool showPasswordPrompt(const QString& stringID, std::function<void(const QString& reply)> onUnlocked,
                            std::function<void()> onDismissed) override;
    void closePasswordPrompt(const QString& stringID) override;
    bool showRegisterWall(const QString& message, std::function<void(bool signedIn)> onDone) override;

private:
    // Windows made for a request (not borrowed), until they close.
    std::vector<QPointer<QWidget>> m_madeWindows;
};
