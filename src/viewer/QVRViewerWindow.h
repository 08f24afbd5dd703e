#pragma once

#include <memory>
#include <vector>

#include <QMargins>
#include <QPointer>
#include <QShortcut>
#include <QToolButton>

#include "app/ViewerWindowHandle.h"
#include "controls/INAppStoreWindow.h"
#include "platform/NotificationCenter.h"
#include "service/QVROpenRequest.h"
#include "viewer/QVRViewerTitleBarButtonsHolderView.h"

class QScreen;
class QVRViewerViewController;
class ZERI_TessarineModel;

// One entry of a viewer window's document stack: the document as opened, the read-only copy that plays, and the
// page to show when the entry is displayed again.
struct TessarineModelAndPositionTuple {
    std::shared_ptr<ZERI_TessarineModel> model;
    std::shared_ptr<ZERI_TessarineModel> modelShallowCopy;
    int currentScreenNumber = 0;
};

// Plays a document in a dark window: the window shows a read-only copy, so nothing done while presenting ever
// reaches the document itself. The title band draws the document's title.
class QVRViewerWindowController : public QObject, public QVRViewerTitleBarButtonsHolderViewDelegate {
    Q_OBJECT
public:
    using Tuple = std::shared_ptr<TessarineModelAndPositionTuple>;

    explicit QVRViewerWindowController(QWidget* window);
    ~QVRViewerWindowController() override;

    QVRViewerViewController* tessarineViewerViewController() const { return m_viewerViewController; }
    // The document of the shown entry, and its played copy.
    std::shared_ptr<ZERI_TessarineModel> tessarineModel() const { return m_originalTessarineModel; }
    std::shared_ptr<ZERI_TessarineModel> shallowCopy() const { return m_shallowCopy; }
    QString windowTitleText() const { return m_windowTitle; }

    // Starts playing a document afresh: a new read-only copy, from its screen `screen` (the last one when it has
    // fewer).
    void setTessarineModel(const std::shared_ptr<ZERI_TessarineModel>& document, int screen = 0);
    // Logs "Tessarine Viewed", or "Tessarine Draft Viewed" for the owner's draft.
    void reportQVRModelViewed(const std::shared_ptr<ZERI_TessarineModel>& document);
    // Tells the window manager which document the window shows.
    void announceDocument();

    // ---- The document stack: embedded flows play in the same window and are left with the back button or
    // Escape, each document resuming where it was left.
    const std::vector<Tuple>& tessarineModelAndPositionTuples() const { return m_tuples; }
    void pushTessarineModel(const std::shared_ptr<ZERI_TessarineModel>& document, int page);
    bool canPopTessarineModel() const { return m_tuples.size() > 1; }
    void popTessarineModel();
    void popTuplesTo(const Tuple& tuple);
    Tuple existingTupleForStringID(const QString& stringID) const;
    void displayTuple(const Tuple& tuple);
    QToolButton* navigationBackButton() const { return m_navigationBackButton; }
    QVRViewerTitleBarButtonsHolderView* titleBarButtonsHolderView() const { return m_titleBarButtons; }
    // Builds the back button over the player and the title-bar buttons in `titleBar`.
    void setUpChrome(QWidget* titleBar);

    // QVRViewerTitleBarButtonsHolderViewDelegate
    void titleBarShareButtonPressed() override;
    void titleBarDownloadButtonPressed() override;
    void titleBarPlayPauseButtonPressed() override;
    // The notes in a window (or brought forward), on the shown screen.
    void titleBarTogglePresentationNotesButtonPressed() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void flowEmbedLinkPressed(const Notification& notification);
    void updateBackButton();
    void updateShareButton();

    QWidget* m_window;
    QVRViewerViewController* m_viewerViewController;
    std::shared_ptr<ZERI_TessarineModel> m_originalTessarineModel;
    std::shared_ptr<ZERI_TessarineModel> m_shallowCopy;
    QString m_windowTitle;
    std::vector<Tuple> m_tuples;
    QPointer<QToolButton> m_navigationBackButton;
    QPointer<QVRViewerTitleBarButtonsHolderView> m_titleBarButtons;
    std::vector<NotificationObservation> m_stackObservations;
};

class QVRViewerWindow : public INAppStoreWindow, public QVROpenRequestDelegate, public ViewerWindowHandle {
    Q_OBJECT
public:
    static constexpr double kTitleBarHeight = 30.0;

    explicit QVRViewerWindow(QWidget* parent = nullptr);
    ~QVRViewerWindow() override;

    QVRViewerWindowController* windowController() const { return m_controller.get(); }

    Q_INVOKABLE bool canPrint() const;
    Q_INVOKABLE void performPrint(uint mask);
    // Screen › Presenter Notes shows the notes of the document played, as the title bar's notes button does.
    Q_INVOKABLE bool canSetPresenterNote() const;
    Q_INVOKABLE void performSetPresenterNote(uint mask);

    // Presenter notes full screen on another display, when there is one.
    Q_INVOKABLE void showPresentationNotesIfAble() override;
    QToolButton* presenterNotesButton() const;

    // QVROpenRequestDelegate
    void openRequesterWantsToDisplayLoadingView(QObject* view) override;
    void openRequesterHasFinishedLoadingModel(const std::shared_ptr<ZERI_TessarineModel>& model) override;

    // ViewerWindowHandle
    void scrollToPage(int page, bool animated) override;

    // The user-defaults key of the window's place and size: the opened document's id followed by "viewer".
    static QString frameAutosaveKey(const QString& documentID);
    // Before its first show: a new window goes on the screen the user works on (that of the window in front),
    // centred in its available area (from its top left when larger); a frame kept from before stays as restored.
    void placeOnScreen();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    QSize sizeForRoom(QSize size, QSize room) const override;

private:
    void restoreFrame();
    void saveFrame();

    std::unique_ptr<QVRViewerWindowController> m_controller;
    QString m_frameDocumentID;
    QPointer<QShortcut> m_closeShortcut;
    // Given its first document just now (the window was made for it): the open request that made it hands the
    // same document over once more, and the copy made moments ago is kept.
    bool m_copyJustMade = false;
    bool m_frameRestored = false;
};
