#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <QPointer>
#include <QSet>
#include <QWidget>

#include "controls/VazScrollViewAnimation.h"
#include "platform/NotificationCenter.h"
#include "viewer/QVR_TransitionHandlerView.h"

class BlockTimer;
class ContentSheddingScrollView;
class QVR_SingleScreenArtBoardView;
class ZERI_FlowModel;
class ZERI_FlowScreenModel;
class ZERI_TessarineModel;

class QVR_TessarineViewerView;

// What the host of a player hears about its paging.
class TessarineViewerViewDelegate {
public:
    virtual ~TessarineViewerViewDelegate() = default;
    virtual void tessarineViewerWillScrollToLastPage() = 0;
    virtual void tessarineViewerWillScrollToFirstPage() = 0;
    virtual void tessarineViewerWillScrollAwayFromLastPage() = 0;
    virtual void tessarineViewerWillScrollAwayFromFirstPage() = 0;
    // Auto-advance reached the last screen of a flow that does not loop.
    virtual void tessarineViewerDidFinishAutoplay(QVR_TessarineViewerView*) {}
    // Whether a gesture controller's swipe may page the player now, as the host's own paging keys would.
    virtual bool tessarineViewerMayPageBySwipe(QVR_TessarineViewerView*) { return true; }
};

// Plays one flow of a document: one read-only screen per page, pages side by side in a scroll view that only
// ever shows whole pages. It pages with an animated scroll, jumps with a slide-in or a fade, advances by itself,
// follows screen links clicked in its own window, passes keys on as notifications and logs a timed
// "Screen Viewed" per screen.
//
// Transition types: 0 slide in, 1 animated page scroll, 2 fade, 3 jump; any other value jumps.
//
// Notifications observed:
//  - "SCREENLINKPRESSED" from the player's own window ("SCREEN_LINK_ID_KEY", "SCREEN_LINK_TRANSITION_TYPE_KEY");
//  - "qvrLeapHandlingSwipeDetected": "swipeDirection" 0 pages forward, 1 back;
//  - "qvrLeapHandlingCounterClockwiseCircleRepeated": closes the player's window when "window" (a QObject*) is
//    that window and "circleNumber" is new to this player; a post without them closes it once per sender.
// Posted: "TessarineViewerViewKeyDownNotificationName" for every key press, with the player as sender.
//
// Set originalTessarineModel before the flow. Main thread only.
class QVR_TessarineViewerView : public QWidget,
                                public VazScrollViewAnimationDelegate,
                                public TransitionHandlerViewDelegate {
    Q_OBJECT
    Q_PROPERTY(int currentPage READ currentPage NOTIFY currentPageChanged)
    Q_PROPERTY(bool autoAdvancePaused READ autoAdvancePaused WRITE setAutoAdvancePaused NOTIFY autoAdvancePausedChanged)
public:
    static const QString kScreenViewedEvent; // "Screen Viewed"

    explicit QVR_TessarineViewerView(QWidget* parent = nullptr);
    ~QVR_TessarineViewerView() override;

    TessarineViewerViewDelegate* delegate() const { return m_delegate; }
    void setDelegate(TessarineViewerViewDelegate* delegate) { m_delegate = delegate; }

    std::shared_ptr<ZERI_TessarineModel> originalTessarineModel() const { return m_originalTessarineModel; }
    void setOriginalTessarineModel(const std::shared_ptr<ZERI_TessarineModel>& document);
    std::shared_ptr<ZERI_FlowModel> flowModel() const { return m_flowModel; }
    void setFlowModel(const std::shared_ptr<ZERI_FlowModel>& flow) { setFlowModel(flow, 0); }
    void setFlowModel(const std::shared_ptr<ZERI_FlowModel>& flow, qint32 startingAtPage);

    int currentPage() const { return m_currentPage; }
    bool isAnimating() const { return m_isAnimating; }
    bool isTransitioning() const { return m_transitionView != nullptr; }
    int numScreens() const;
    QRect docViewRect() const;
    std::shared_ptr<ZERI_FlowScreenModel> currentlyDisplayedFlowScreen() const;

    void scrollToNextPage();
    void scrollToPreviousPage();
    void scrollToPage(qint32 page, bool animated);
    void scrollToPageNumber(qint32 page, qint64 transitionType);

    bool autoAdvanceEnabled() const { return m_autoAdvanceEnabled; }
    void setAutoAdvanceEnabled(bool enabled);
    bool autoAdvancePaused() const { return m_autoAdvancePaused; }
    void setAutoAdvancePaused(bool paused);
    void startAutoAdvanceForCurrentScreen();
    void cleanupAutoAdvance();
    bool isAutoAdvanceArmed() const { return static_cast<bool>(m_autoAdvanceBlock); }

    // Inspection and hooks for tests.
    ContentSheddingScrollView* swipeView() const { return m_swipeView; }
    const std::vector<QVR_SingleScreenArtBoardView*>& singleScreensArray() const { return m_singleScreens; }
    QVR_TransitionHandlerView* transitionView() const { return m_transitionView; }
    static void setTransitionDurationForTesting(double seconds); // 0 or less: the real 1.0 s
    static double transitionDuration();

    // VazScrollViewAnimationDelegate
    bool animationShouldStart(QAbstractAnimation* animation) override;
    void animationDidEnd(QAbstractAnimation* animation) override;
    void animationDidStop(QAbstractAnimation* animation) override;
    // TransitionHandlerViewDelegate
    void transithonHandlerFinishedTransitioning() override;

signals:
    void currentPageChanged(int page);
    void autoAdvancePausedChanged(bool paused);

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void setCurrentPage(int page);
    void placePages();
    void revealPage(int page);
    void revealPagesAround(int page);
    void scrollFromFrameChange();
    void reportScrollToDelegate();
    void logScreenViewed(int page);
    void screenLinkPressed(const Notification& notification);
    void swipeDetected(const Notification& notification);
    void circleGestureDetected(const Notification& notification);
    void endTransitionView();
    // The page as the player draws it, cut to its screen (`size` on screen).
    QImage pagePicture(qint32 page, const QSize& size) const;

    QAbstractAnimation* m_currentAnimation = nullptr;
    std::vector<QVR_SingleScreenArtBoardView*> m_singleScreens;
    QPointer<QVR_TransitionHandlerView> m_transitionView;
    const void* m_lastFiredCircleGesture = nullptr;
    QSet<qint64> m_firedCircleNumbers;
    int m_lastPageRecordedToAnalytics = -1;
    int m_currentPage = 0;
    bool m_shouldAdvanceToNextSlideAfterUnpause = false;
    bool m_scrollingFromFrameChange = false;
    bool m_isAnimating = false;
    bool m_autoAdvanceEnabled = false;
    bool m_autoAdvancePaused = false;
    ContentSheddingScrollView* m_swipeView = nullptr;
    QWidget* m_documentView = nullptr;
    std::shared_ptr<ZERI_FlowModel> m_flowModel;
    std::shared_ptr<ZERI_TessarineModel> m_originalTessarineModel;
    TessarineViewerViewDelegate* m_delegate = nullptr;
    BlockTimer* m_nextScreenTimer = nullptr;
    std::function<void()> m_autoAdvanceBlock;
    quint64 m_transitionRequest = 0;
    std::vector<NotificationObservation> m_observations;
};
