#pragma once

#include <memory>

#include <QPointer>

#include "controls/INAppStoreWindow.h"
#include "service/QVROpenRequest.h"

class QPushButton;
class QVRViewerViewController;
class ZERI_TessarineModel;

// Plays a document in a dark window: the window shows a read-only copy, so nothing done while presenting ever
// reaches the document itself. The title band draws the document's title.
class QVRViewerWindowController : public QObject {
    Q_OBJECT
public:
    explicit QVRViewerWindowController(QWidget* window);
    ~QVRViewerWindowController() override;

    QVRViewerViewController* tessarineViewerViewController() const { return m_viewerViewController; }
    std::shared_ptr<ZERI_TessarineModel> tessarineModel() const { return m_originalTessarineModel; }
    std::shared_ptr<ZERI_TessarineModel> shallowCopy() const { return m_shallowCopy; }
    QString windowTitleText() const { return m_windowTitle; }

    // Starts playing a document afresh, from its first screen.
    void setTessarineModel(const std::shared_ptr<ZERI_TessarineModel>& document);
    // Logs "Tessarine Viewed", or "Tessarine Draft Viewed" for the owner's draft.
    void reportQVRModelViewed(const std::shared_ptr<ZERI_TessarineModel>& document);
    // Tells the window manager which document the window shows.
    void announceDocument();

    // The title bar's presenter notes button: the notes in a window (or brought forward), on the shown screen.
    void titleBarTogglePresentationNotesButtonPressed();

private:
    QWidget* m_window;
    QVRViewerViewController* m_viewerViewController;
    std::shared_ptr<ZERI_TessarineModel> m_originalTessarineModel;
    std::shared_ptr<ZERI_TessarineModel> m_shallowCopy;
    QString m_windowTitle;
};

class QVRViewerWindow : public INAppStoreWindow, public QVROpenRequestDelegate {
    Q_OBJECT
public:
    static constexpr double kTitleBarHeight = 30.0;

    explicit QVRViewerWindow(QWidget* parent = nullptr);
    ~QVRViewerWindow() override;

    QVRViewerWindowController* windowController() const { return m_controller.get(); }

    Q_INVOKABLE bool canPrint() const;
    Q_INVOKABLE void performPrint(uint mask);

    // Presenter notes full screen on another display, when there is one.
    Q_INVOKABLE void showPresentationNotesIfAble();
    QPushButton* presenterNotesButton() const { return m_presenterNotesButton; }

    // QVROpenRequestDelegate
    void openRequesterWantsToDisplayLoadingView(QObject* view) override;
    void openRequesterHasFinishedLoadingModel(const std::shared_ptr<ZERI_TessarineModel>& model) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void setupPresenterNotesButton();

    std::unique_ptr<QVRViewerWindowController> m_controller;
    QPushButton* m_presenterNotesButton = nullptr;
};
