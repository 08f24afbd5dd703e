#include "app/AppOpenRequestUi.h"

#include <QMetaObject>
#include <QPointer>
#include <QTimer>
#include <QVariant>
#include <QWidget>

#include "app/AppLogging.h"
#include "app/AppStartupHooks.h"
#include "app/QVRWindowManager.h"
#include "controls/QVR_LoadingViewController.h"
#include "service/QVROpenRequest.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

QVROpenRequestDelegate* asDelegate(QWidget* window)
{
    auto* delegate = dynamic_cast<QVROpenRequestDelegate*>(window);
    if (window && !delegate)
        qCWarning(lcApp) << "a window made for an open request cannot take a document:" << window;
    return delegate;
}

bool isDownloading(QWidget* window)
{
    bool downloading = false;
    if (window->metaObject()->indexOfMethod("isPerformingTessarineDownload()") >= 0)
        QMetaObject::invokeMethod(window, "isPerformingTessarineDownload", Qt::DirectConnection,
                                  Q_RETURN_ARG(bool, downloading));
    return downloading;
}

constexpr const char* kLoadingViewControllerProperty = "tessLoadingViewController";

// Runs a block when a loading view's Cancel button is pressed.
class LoadingViewCancel : public QObject, public QVR_LoadingViewDelegate {
public:
    LoadingViewCancel(std::function<void()> onCancel, QObject* parent)
        : QObject(parent)
        , m_onCancel(std::move(onCancel))
    {
    }
    void loadingViewCancelButtonPressed() override
    {
        // Cancelling may close the window the button is in: that waits until the click has been handled.
        QTimer::singleShot(0, this, [this] {
            if (m_onCancel)
                m_onCancel();
        });
    }

private:
    std::function<void()> m_onCancel;
};

} // namespace

bool AppOpenRequestUi::showTemplateChooser()
{
    const auto& hook = AppStartupHooks::shared().showTemplateChooser;
    if (!hook)
        return false;
    hook();
    return true;
}

QVROpenRequestDelegate* AppOpenRequestUi::creatorWindowForOpen()
{
    QVRWindowManager& manager = QVRWindowManager::sharedInstance();
    for (QWidget* window : manager.windows()) {
        if (manager.kindOfWindow(window) != QVRWindowManager::WindowKind::Creator)
            continue;
        if (manager.documentForWindow(window) || isDownloading(window))
            continue;
        if (auto* delegate = dynamic_cast<QVROpenRequestDelegate*>(window))
            return delegate;
    }
    QWidget* made = manager.makeCreatorWindow();
    std::erase_if(m_madeWindows, [](const QPointer<QWidget>& window) { return window.isNull(); });
    if (made)
        m_madeWindows.emplace_back(made);
    return asDelegate(made);
}

QVROpenRequestDelegate* AppOpenRequestUi::creatorWindowForModel(const std::shared_ptr<ZERI_TessarineModel>& model)
{
    QWidget* window = QVRWindowManager::sharedInstance().creatorWindowForModel(model);
    return window ? dynamic_cast<QVROpenRequestDelegate*>(window) : nullptr;
}

void AppOpenRequestUi::bringToFront(QVROpenRequestDelegate* window)
{
    QVRWindowManager::bringToFront(dynamic_cast<QWidget*>(window));
}

QVROpenRequestDelegate* AppOpenRequestUi::viewerWindowForModel(const std::shared_ptr<ZERI_TessarineModel>& model)
{
    return asDelegate(QVRWindowManager::sharedInstance().viewerWindowForModel(model));
}

QVROpenRequestDelegate* AppOpenRequestUi::makeViewerWindowForModel(const std::shared_ptr<ZERI_TessarineModel>& model)
{
    QWidget* made = QVRWindowManager::sharedInstance().makeViewerWindowForModel(model);
    if (made)
        m_madeWindows.emplace_back(made);
    return asDelegate(made);
}

QVROpenRequestDelegate* AppOpenRequestUi::makeiPadPreviewWindow()
{
    QWidget* made = QVRWindowManager::sharedInstance().makeiPadPreviewWindow();
    if (made)
        m_madeWindows.emplace_back(made);
    return asDelegate(made);
}

void AppOpenRequestUi::closeWindowBeingPrepared(QVROpenRequestDelegate* window)
{
    auto* widget = dynamic_cast<QWidget*>(window);
    if (!widget)
        return;
    const auto made = std::find(m_madeWindows.begin(), m_madeWindows.end(), widget);
    if (made != m_madeWindows.end()) {
        m_madeWindows.erase(made);
        widget->close();
        return;
    }
    // A window the request borrowed goes back to its empty state: its loading view goes, it takes no document,
    // and it stays open.
    window->openRequesterHasFinishedLoadingModel(nullptr);
}

QObject* AppOpenRequestUi::makeLoadingView(const QString& text)
{
    auto* controller = new QVR_LoadingViewController;
    controller->setTitle(text);
    QWidget* view = controller->view();
    // The controller lives as long as its view, wherever the window puts it.
    QObject::connect(view, &QObject::destroyed, controller, &QObject::deleteLater);
    view->setProperty(kLoadingViewControllerProperty, QVariant::fromValue(static_cast<QObject*>(controller)));
    controller->startSpinner();
    return view;
}

void AppOpenRequestUi::setLoadingViewCancelBlock(QObject* loadingView, std::function<void()> onCancel)
{
    auto* controller = loadingView ? qobject_cast<QVR_LoadingViewController*>(
                                         loadingView->property(kLoadingViewControllerProperty).value<QObject*>())
                                   : nullptr;
    if (!controller)
        return;
    // Lives with the controller, which the button belongs to.
    auto* cancel = new LoadingViewCancel(std::move(onCancel), controller);
    controller->setDelegate(cancel);
}

std::unique_ptr<ViewerDownloadPanel> AppOpenRequestUi::makeDownloadPanel()
{
    const auto& hook = AppStartupHooks::shared().makeDownloadPanel;
    return hook ? hook() : nullptr;
}

bool AppOpenRequestUi::showPasswordPrompt(const QString& stringID, std::function<void(const QString& reply)> onUnlocked,
                                          std::function<void()> onDismissed)
{
    const auto& hook = AppStartupHooks::shared().showPasswordPrompt;
    if (!hook)
        return false;
    hook(stringID, std::move(onUnlocked), std::move(onDismissed));
    return true;
}

void AppOpenRequestUi::closePasswordPrompt(const QString& stringID)
{
    if (const auto& hook = AppStartupHooks::shared().closePasswordPrompt)
        hook(stringID);
}

bool AppOpenRequestUi::showRegisterWall(const QString& message, std::function<void(bool signedIn)> onDone)
{
    const auto hook = AppStartupHooks::shared().runRegisterWall;
    if (!hook)
        return false;
    // The wall runs modally: outside the request's own call, so the request is never re-entered.
    QTimer::singleShot(0, [hook, message, onDone = std::move(onDone)] {
        const bool signedIn = hook(message);
        if (onDone)
            onDone(signedIn);
    });
    return true;
}
