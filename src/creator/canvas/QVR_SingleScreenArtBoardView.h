#pragma once

#include <functional>
#include <memory>

#include <QPointer>
#include <QSizeF>
#include <QWidget>

#include "creator/canvas/QVR_InsertMenuCommands.h"

class QAction;
class QGraphicsScene;
class QMenu;
class QVariantAnimation;
class QVR_ArtBoardScrollView;
class QVR_CreatorSingleScreen;
class ZERI_FlowScreenModel;

// One screen of a document on a zoomable, scrollable board. The creator window keeps one per screen of its
// flow and shows one at a time; the player shows one in preview-only mode, which never edits, shows no scroll
// bars and no menu, and ignores wheel and pinch zoom.
//
// The scene is in model units with the screen at (0, 0, 1024, 748); the scroll range is the screen, centred
// while it fits. Magnification is the view's scale, kept within 0.1 … 10. The board makes its scroll view the
// first time it is asked for it, and builds its scene the first time it is shown (or when asked to): a window
// keeps a board for every screen, and most of them are never looked at.
//
// A magnification change applied with notification posts "ARTBOARD_ZOOM_LEVEL_CHANGED_NOTIFICATION_NAME"
// (sender: the board's window; "ARTBOARD_ZOOM_LEVEL_CHANGED_KEY": the level as float); a change without
// notification posts nothing, so a window can hand a level to all its boards without echoes.
//
// Main thread only.
class QVR_SingleScreenArtBoardView : public QWidget, public QVR_InsertMenuCommands<QVR_SingleScreenArtBoardView> {
    Q_OBJECT
public:
    static const QString kZoomLevelChangedNotification;
    static const QString kZoomLevelChangedKey;
    static constexpr double kMinimumMagnification = 0.1;
    static constexpr double kMaximumMagnification = 10.0;
    // The level that stands for "fit the screen into the view".
    static constexpr double kFitToScreen = -1.0;

    explicit QVR_SingleScreenArtBoardView(QWidget* parent = nullptr, bool previewOnly = false);
    ~QVR_SingleScreenArtBoardView() override;

    bool isPreviewOnly() const { return m_previewOnly; }
    // Made on first use.
    QVR_ArtBoardScrollView* theScrollView() const;
    bool hasScrollView() const { return m_scrollView != nullptr; }
    // Runs `built` once the scroll view is made (at once when it already is): what handles the view's events is
    // set up only for boards that get one.
    void whenScrollViewIsMade(std::function<void(QVR_SingleScreenArtBoardView*)> built);

    std::shared_ptr<ZERI_FlowScreenModel> screenModel() const { return m_screen; }
    // A different screen replaces the single screen (when the scene is built).
    void setScreenModel(const std::shared_ptr<ZERI_FlowScreenModel>& screen);
    std::shared_ptr<ZERI_FlowScreenModel> originalScreenModel() const { return m_originalScreen; }
    void setOriginalScreenModel(const std::shared_ptr<ZERI_FlowScreenModel>& screen);

    // The screen's editor; nullptr until the scene is built.
    QVR_CreatorSingleScreen* singleScreen() const { return m_singleScreen; }
    bool hasBuiltScene() const { return m_scene != nullptr; }
    void buildSceneIfNeeded();

    double currentZoomLevel() const { return m_magnification; }
    // The screen's size on screen, in pixels.
    QSizeF tessarineScreenDisplaySize() const;
    // The level "fit to screen" gives in the board's current size (25 points of margin in a creator window).
    double fitZoomLevel() const;

    // The zoom primitive. A level of 0, a negative one other than kFitToScreen, one not finite, or one equal
    // (within 1e-6, after limiting to 0.1 … 10) to the current level changes nothing. Animated, the
    // magnification handling follows 0.3 s later; otherwise at once.
    void setZoomLevel(double level, bool animated, bool notify);
    void setZoomLevel(double level, bool animated) { setZoomLevel(level, animated, true); }
    void setZoomLevel(double level) { setZoomLevel(level, true, true); }
    void setZoomLevelWithoutNotification(double level) { setZoomLevel(level, false, false); }
    void zoomFitToScreen(bool animated) { setZoomLevel(kFitToScreen, animated, true); }

    // Gesture steps: ± velocity × 0.01, with notification. Preview-only boards ignore them.
    void zoomInWithVelocity(double velocity);
    void zoomOutWithVelocity(double velocity);

    // Lays the scene out for the current magnification and, when asked, posts the zoom notification.
    void handleChangeInMagnification(bool notify = true);
    // Tells the single screen which part of the scene the view shows.
    void updateVisibleArea();
    // The scroll range: the screen while it fits the view; where it (or a crop reaching past it) does not, that
    // much more by kOverlayReach pixels each side, so the selection's and the crop's handles can be scrolled to.
    void updateScrollRange();
    static constexpr double kOverlayReach = 40.0;

    // The "Screen Menu" shown for clicks beside the screen (nullptr in preview-only mode). Built on first use;
    // its items are validated each time it opens. Its insert entries insert on the screen at the clicked point.
    QMenu* rightClickMenu();
    void validateMenuItems();
    void showContextMenu(const QPoint& globalPos);
    QVR_CreatorSingleScreen* insertionScreen() const { return m_previewOnly ? nullptr : m_singleScreen; }
    QPointF insertionPoint() const { return m_rightMouseDownScenePoint; }
    QAction* pasteAction() const { return m_pasteAction; }
    QMenu* zoomLevelsMenu() const { return m_zoomMenu; }
    void artboardPaste();
    void zoomMenuItemChosen(QAction* item);

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    QVR_ArtBoardScrollView* makeScrollView();
    void applyMagnification(double level);
    void replaceSingleScreen();

    bool m_previewOnly = false;
    QVR_ArtBoardScrollView* m_scrollView = nullptr;
    QGraphicsScene* m_scene = nullptr;
    QVR_CreatorSingleScreen* m_singleScreen = nullptr;
    std::shared_ptr<ZERI_FlowScreenModel> m_screen;
    std::shared_ptr<ZERI_FlowScreenModel> m_originalScreen;
    double m_magnification = 1.0;
    QVariantAnimation* m_animation = nullptr;
    quint64 m_zoomGeneration = 0;
    QMenu* m_menu = nullptr;
    QMenu* m_zoomMenu = nullptr;
    QAction* m_pasteAction = nullptr;
    QPointF m_rightMouseDownScenePoint;
    std::function<void(QVR_SingleScreenArtBoardView*)> m_scrollViewMade;
};
