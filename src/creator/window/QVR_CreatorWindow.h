#pragma once

#include <memory>
#include <optional>
#include <vector>

#include <QList>
#include <QPointer>
#include <QVariantMap>

#include "controls/INAppStoreWindow.h"
#include "controls/SheetLikePanelViewController.h"
#include "creator/thumbnails/QVRThumbnailBarHost.h"
#include "platform/NotificationCenter.h"
#include "service/QVROpenRequest.h"
#include "tessarine_data_model/ObjectUpdateNotifier.h"

class NavigationControllerFriendlyViewController;
class QMenuBar;
class QMimeData;
class QSplitter;
class QVRContentAdditionManager;
class QVR_CreatorCanvasView;
class QVRThumbnailBar;
class QVRThumbnailController;
#include "controls/UniversalPopover.h"
class QVR_CreatorSingleScreen;
class QVR_CreatorToolBarView;
class QVRTopOfWindowDockToolbarView;
class QVR_SelectedItemView;
class QVR_SingleScreenArtBoardView;
class CreatorObjectPanel;
class CreatorSideMenu;
class ZERI_FlowModel;
class ZERI_FlowScreenModel;
class ZERI_TessarineModel;

// The editing window of one document: one art board per screen of the document's first flow, one shown at a
// time, and a strip of screen thumbnails (the last item adds a screen). The boards and thumbnails follow the
// flow's screens; an undo or redo pages to the screen the step was made on; a zoom level set on one board
// carries over to all of them.
//
// Made by the window manager through the creator window factory (registerCreatorLibrary). Main thread only.
class QVR_CreatorWindow : public INAppStoreWindow,
                          public QVROpenRequestDelegate,
                          public QVRThumbnailBarHost,
                          public SheetLikePanelViewControllerDelegate {
    Q_OBJECT
public:
    static constexpr int kMinimumHeight = 480;
    static const QString kScreenZoomLevelNotification; // "SCREEN_ZOOM_LEVEL_NOTIFICATION"
    static const QString kScreenZoomLevelScaleKey;     // "SCREEN_ZOOM_LEVEL_NOTIFICATION_SCALE_KEY"
    // Posted by the new-screen chooser with one of its widgets as sender; "screenModel": the chosen screen as a
    // ModelItemRef. The window the widget belongs to inserts a copy after the shown screen.
    static const QString kNewScreenInsertionNotification; // "NEW_SCREEN_MODEL_INSERTION_NOTIFICATION"
    static constexpr int kTitleBarHeight = 72;
    static constexpr QSize kThumbnailSize{512, 374};

    explicit QVR_CreatorWindow(QWidget* parent = nullptr);
    ~QVR_CreatorWindow() override;

    std::shared_ptr<ZERI_TessarineModel> currentModel() const { return m_currentModel; }
    void setCurrentModel(const std::shared_ptr<ZERI_TessarineModel>& document);
    // Loads the document (ignored without flows).
    void launchTessarineWithTessarineModel(const std::shared_ptr<ZERI_TessarineModel>& document);
    void reloadCurrentlyLoadedModel();

    void setupScreensFromFlowModelToScrollViews(const std::shared_ptr<ZERI_FlowModel>& flow);
    void updateScrollViews();
    // Shows the first board whose screen has that id; an unknown id keeps the shown screen.
    void pageToScreenWithScreenID(const QString& screenID);

    const std::vector<QVR_SingleScreenArtBoardView*>& artboards() const { return m_artboards; }
    QVR_SingleScreenArtBoardView* theArtBoard() const;
    // The window's keyboard home: the shown screen's canvas, where the arrows nudge and Delete deletes.
    void giveKeyboardToCanvas();
    QVR_CreatorSingleScreen* currentlyDisplayedSingleScreen() const;
    // The index of the shown screen, or −1 when the window shows none.
    int currentIndex() const;
    void setCurrentIndex(int index);
    // Thumbnail items: one per screen, then the add-screen item.
    QVRThumbnailBar* theThumbnailBarView() const { return m_thumbnailBar; }
    QVRThumbnailController* thumbnailController() const { return m_thumbnailController; }
    QVR_CreatorCanvasView* theCanvasView() const;
    QSplitter* theSplitView() const { return m_splitter; }
    QWidget* sideBarView() const { return m_sideBar; }
    int sideBarWidth() const;
    // The toolbar in the title band, and the strip of docked panels above the canvas.
    QVR_CreatorToolBarView* theToolBarView() const { return m_toolBarView; }
    QVRTopOfWindowDockToolbarView* topDockBar() const { return m_topDockBar; }

    Q_INVOKABLE bool isPerformingTessarineDownload() const;

    // View menu: the document in the tablet preview, starting at the shown screen.
    Q_INVOKABLE bool canShowiPadPreview() const;
    Q_INVOKABLE void performShowiPadPreview(uint mask);

    // The window's one selection frame, shown in the scene of the shown board (made on first use).
    QVR_SelectedItemView* selectedItemView();
    // Edit menu commands on the shown board's selection.
    Q_INVOKABLE bool canNudgeLeft() const { return canNudge(); }
    Q_INVOKABLE bool canNudgeRight() const { return canNudge(); }
    Q_INVOKABLE bool canNudgeUp() const { return canNudge(); }
    Q_INVOKABLE bool canNudgeDown() const { return canNudge(); }
    Q_INVOKABLE bool canShiftLeft() const { return canNudge(); }
    Q_INVOKABLE bool canShiftRight() const { return canNudge(); }
    Q_INVOKABLE bool canShiftUp() const { return canNudge(); }
    Q_INVOKABLE bool canShiftDown() const { return canNudge(); }
    Q_INVOKABLE void performNudgeLeft(uint mask) { nudge(-1, 0, mask); }
    Q_INVOKABLE void performNudgeRight(uint mask) { nudge(1, 0, mask); }
    Q_INVOKABLE void performNudgeUp(uint mask) { nudge(0, -1, mask); }
    Q_INVOKABLE void performNudgeDown(uint mask) { nudge(0, 1, mask); }
    Q_INVOKABLE void performShiftLeft(uint mask) { nudge(-1, 0, mask | uint(Qt::ShiftModifier)); }
    Q_INVOKABLE void performShiftRight(uint mask) { nudge(1, 0, mask | uint(Qt::ShiftModifier)); }
    Q_INVOKABLE void performShiftUp(uint mask) { nudge(0, -1, mask | uint(Qt::ShiftModifier)); }
    Q_INVOKABLE void performShiftDown(uint mask) { nudge(0, 1, mask | uint(Qt::ShiftModifier)); }
    Q_INVOKABLE bool canDelete() const;
    Q_INVOKABLE void performDelete(uint mask);
    // File menu commands, forwarded by the canvas to the publishing part (disabled until one registers).
    Q_INVOKABLE bool canSaveDraft() const;
    Q_INVOKABLE void performSaveDraft(uint mask);
    Q_INVOKABLE bool canPublish() const;
    Q_INVOKABLE void performPublish(uint mask);
    // Stacking order of the shown board's selection; To Front and To Back are enabled with Forward and Backward.
    Q_INVOKABLE bool canCopy() const;
    Q_INVOKABLE bool canCut() const { return canCopy(); }
    Q_INVOKABLE void performCopy(uint mask);
    Q_INVOKABLE void performCut(uint mask);
    Q_INVOKABLE bool canBringForward() const;
    Q_INVOKABLE bool canBringToFront() const { return canBringForward(); }
    Q_INVOKABLE bool canSendBackward() const;
    Q_INVOKABLE bool canSendToBack() const { return canSendBackward(); }
    Q_INVOKABLE void performBringForward(uint mask);
    Q_INVOKABLE void performBringToFront(uint mask);
    Q_INVOKABLE void performSendBackward(uint mask);
    Q_INVOKABLE void performSendToBack(uint mask);
    Q_INVOKABLE bool canSelectAll() const;
    // The Screen menu's properties sheet, when the inspector registered one.
    Q_INVOKABLE void performShowScreenProperties(uint mask);
    Q_INVOKABLE void performSelectAll(uint mask);

    // Clipboard, undo, screens, output, panels and auto-advance. While the dark panel shows or content is being
    // added, the commands on objects and screens are disabled; undo and redo wait while an image is cropped,
    // content is added or the screen properties sheet shows.
    Q_INVOKABLE bool canPaste() const;
    Q_INVOKABLE void performPaste(uint mask);
    Q_INVOKABLE bool canUndo() const;
    Q_INVOKABLE void performUndo(uint mask);
    Q_INVOKABLE bool canRedo() const;
    Q_INVOKABLE void performRedo(uint mask);
    // The names of the steps Undo and Redo would take (the menu shows "Undo Move Object"); empty when unnamed.
    Q_INVOKABLE QString undoActionName() const;
    Q_INVOKABLE QString redoActionName() const;
    Q_INVOKABLE bool canChangeBackgroundColor() const;
    Q_INVOKABLE void performChangeBackgroundColor(uint mask);
    Q_INVOKABLE bool canDeleteScreen() const { return canChangeBackgroundColor(); }
    Q_INVOKABLE void performDeleteScreen(uint mask);
    Q_INVOKABLE bool canDuplicateScreen() const { return canChangeBackgroundColor(); }
    Q_INVOKABLE void performDuplicateScreen(uint mask);
    Q_INVOKABLE bool canExportToPDF() const;
    Q_INVOKABLE void performExportToPDF(uint mask);
    Q_INVOKABLE bool canPrint() const;
    Q_INVOKABLE void performPrint(uint mask);
    Q_INVOKABLE bool canToggleXYPalette() const { return true; }
    Q_INVOKABLE void performToggleXYPalette(uint mask);
    Q_INVOKABLE void performToggleDockedPopover(uint mask);
    // The check mark of the palette item.
    Q_INVOKABLE bool xyPaletteHidden() const;
    Q_INVOKABLE bool canUnpublish() const;
    Q_INVOKABLE void performUnpublish(uint mask);
    Q_INVOKABLE bool canSetPresenterNote() const;
    Q_INVOKABLE void performSetPresenterNote(uint mask);
    Q_INVOKABLE bool canSetScreenAutoAdvanceSettings() const;
    Q_INVOKABLE void performSetScreenAutoAdvanceSettings(uint mask);
    Q_INVOKABLE bool canSetFlowModelAutoAdvanceSettings() const;
    Q_INVOKABLE void performSetFlowModelAutoAdvanceSettings(uint mask);

    // The side menu's set-up dictionaries for one outlet kind and tab type: with a selection, every selected
    // object's answer in selection order (nothing as soon as one answers nothing or an empty list); without,
    // the shown screen's answer for the "Tessarine" and "Screen" tabs and nothing for others.
    std::optional<QList<QVariantMap>> getSetupDictionaryArrayForOutletType(const QString& outletType,
                                                                           const QString& tabType) const;

    // User default "showXYPaletteOnWindowLaunch" (absent: no).
    static bool showXYPaletteOnLaunch();
    static void setShowXYPaletteOnLaunch(bool show);

    // The dark panel over the window's content, with `root` as its first page (the panel takes it). The toolbar
    // ignores the mouse meanwhile. Presenting again replaces the panel.
    void presentDarkPanelWithRootViewController(NavigationControllerFriendlyViewController* root, bool withCloseButton,
                                                bool allowBackNavigation = false);
    void dismissDarkPanel();
    bool isDisplayingSheet() const { return m_darkPanel != nullptr; }
    SheetLikePanelViewController* sheetLikeViewController() const { return m_darkPanel; }
    void sheetLikePanelCloseButtonPressed() override { dismissDarkPanel(); }
    QMenuBar* menuBar() const { return m_menuBar; }
    bool isOnlyWindowForTessarine() const;
    // When this is the only window on the document: the package's clean-up and the end of its re-encodings.
    bool cleanModelIfOnlyCreatorWindow();

    // QVROpenRequestDelegate
    void openRequesterWantsToDisplayLoadingView(QObject* view) override;
    void openRequesterHasFinishedLoadingModel(const std::shared_ptr<ZERI_TessarineModel>& model) override;

    bool eventFilter(QObject* watched, QEvent* event) override;

    // QVRThumbnailBarHost
    std::shared_ptr<ZERI_FlowModel> thumbnailBarFlow() const override;
    bool hasSelectedObjects() const override;
    bool hasChildWindows() const override;
    bool showsDarkPanel() const override { return isDisplayingSheet(); }
    void removeAllSelectedViews() override;
    void beginAddNewScreenSelection(const QRect& rect, int popoverPosition) override;
    bool isAddingContent() const override;
    // The new-screen chooser's popover while it is shown.
    UniversalPopover* addScreenPopover() const;
    void dismissAddScreenPopover();
    void addObjectsFromClipboardToScreen(const std::shared_ptr<ZERI_FlowScreenModel>& screen,
                                         std::function<void()> done) override;
    // A drop on a screen of this window; false (nothing read) when it cannot be taken now.
    bool addDroppedContentToScreen(const QMimeData* mime, const std::shared_ptr<ZERI_FlowScreenModel>& screen);
    // The window's content addition: one at a time per document, shown in this window's canvas.
    QVRContentAdditionManager* contentAdditionManager() const { return m_contentAddition; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void insertScreenNotificationReceived(const Notification& notification);
    // The widget `object` points at when it is this window, one of its widgets or a widget of one of its child
    // windows; nullptr otherwise. The pointer is only compared, never followed, until it is found.
    QWidget* widgetOfThisWindow(const void* object) const;
    void onUndoPerformed(const Notification& notification);
    // Docked: the docked popover shows; floating again: it hides and the single selected element shows its own.
    void popoverDockStatusChanged();
    void onForkComplete(const Notification& notification);
    void applySideMenuState();
    // The toolbar's share link: once the document has a published version, its short link by alias, else its
    // published address; none before.
    void updateToolbarShareURL();
    void finishClosing();
    bool canNudge() const;
    void nudge(int dx, int dy, uint mask);
    // The dark panel shows or content is being added: the commands on objects and screens wait.
    bool commandsBlocked() const { return isDisplayingSheet() || isAddingContent(); }
    // Crop mode keeps the screen to itself: what would add, select or recolour other things waits for its end.
    bool editingBlocked() const;
    // The displayed screen, its flow (the document's first flow when no screen shows, so deleting the last
    // screen can still be undone), and whether undo and redo must wait.
    std::shared_ptr<ZERI_FlowScreenModel> displayedScreen() const;
    std::shared_ptr<ZERI_FlowModel> commandFlow() const;
    bool undoBlocked() const;
    void runSlideDurationEditor(bool forScreen);
    // The content below the menu bar, which the dark panel and the loading view cover.
    QRect coveringRect() const;
    // The least width that holds the toolbar, and the strip's shown panels beside the side menu.
    void updateMinimumWidth();
    int m_baseMinimumWidth = 0;

    QSplitter* m_splitter = nullptr;
    QVR_CreatorCanvasView* m_canvas = nullptr;
    QVRThumbnailBar* m_thumbnailBar = nullptr;
    QVRThumbnailController* m_thumbnailController = nullptr;
    QVRContentAdditionManager* m_contentAddition = nullptr;
    QWidget* m_sideBar = nullptr;
    QWidget* m_emptyCanvas = nullptr;
    QPointer<QWidget> m_loadingViewHolder;
    QPointer<QVR_SelectedItemView> m_selectedItemView;
    QPointer<SheetLikePanelViewController> m_darkPanel;
    QMenuBar* m_menuBar = nullptr;
    std::unique_ptr<CreatorSideMenu> m_sideMenu;
    std::unique_ptr<CreatorObjectPanel> m_positionPalette;
    std::unique_ptr<CreatorObjectPanel> m_dockedPopover;
    QVR_CreatorToolBarView* m_toolBarView = nullptr;
    QVRTopOfWindowDockToolbarView* m_topDockBar = nullptr;

    std::shared_ptr<ZERI_TessarineModel> m_currentModel;
    std::vector<QVR_SingleScreenArtBoardView*> m_artboards;
    bool m_closed = false;

    ObjectUpdateNotifierObserver m_sideMenuObserver;
    ObjectUpdateNotifierObserver m_modelShareURLObserver;
    NotificationObservation m_publishedVersionObservation;
    ObjectUpdateNotifierObserver m_flowModelObserver;
    std::vector<NotificationObservation> m_observations;
};
