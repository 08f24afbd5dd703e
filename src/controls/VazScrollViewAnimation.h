#pragma once

#include <QPointF>

class QAbstractAnimation;
class QAbstractScrollArea;

// What the owner of an animated scroll hears about it. When the delegate is also a QObject, it is held weakly and
// is not called after it is destroyed.
class VazScrollViewAnimationDelegate {
public:
    virtual ~VazScrollViewAnimationDelegate() = default;
    // Asked just before the animation starts; NO cancels it.
    virtual bool animationShouldStart(QAbstractAnimation*) { return true; }
    // The animation reached its end.
    virtual void animationDidEnd(QAbstractAnimation*) {}
    // The animation was stopped before its end (another scroll of the same view replaced it).
    virtual void animationDidStop(QAbstractAnimation*) {}
};

// Animated scrolling of a scroll area: 0.5 s, ease in-out, moving the visible origin (the scroll bars' values).
// One animation per scroll area: a new one stops the running one. Main thread only. The delegate is not told
// anything once the scroll area is destroyed.
class VazScrollViewAnimation {
public:
    static constexpr int kDurationMilliseconds = 500;

    // With paging, the target is rounded to the nearest whole page (pageWidth / pageHeight; 0 = that axis is not
    // paged). The target is bounded by the document's ends. Returns the animation, owned by the scroll area.
    static QAbstractAnimation* animatedScrollToPoint(const QPointF& point, QAbstractScrollArea* scrollView,
                                                     bool isPaging, double pageWidth, double pageHeight,
                                                     VazScrollViewAnimationDelegate* delegate);
    static QAbstractAnimation* animatedScrollToPoint(const QPointF& point, QAbstractScrollArea* scrollView,
                                                     bool isPaging, VazScrollViewAnimationDelegate* delegate);
    // Brings the point (document coordinates) to the centre of the visible area.
    static QAbstractAnimation* animatedScrollPointToCenter(const QPointF& point, QAbstractScrollArea* scrollView,
                                                           bool isPaging);

    // Scroll one page width from the visible origin, bounded by the document's ends. NO (and nothing starts)
    // when already at that end or the page width is not positive.
    static bool animatedScrollToNextPageinScrollView(QAbstractScrollArea* scrollView, double pageWidth,
                                                     VazScrollViewAnimationDelegate* delegate);
    static bool animatedScrollToPreviousPageinScrollView(QAbstractScrollArea* scrollView, double pageWidth,
                                                         VazScrollViewAnimationDelegate* delegate);

    static bool scrollViewIsAtEnd(const QAbstractScrollArea* scrollView);
    static bool scrollViewIsAtBegining(const QAbstractScrollArea* scrollView);

    // The running animation of the scroll area, if any.
    static QAbstractAnimation* currentAnimation(const QAbstractScrollArea* scrollView);
};
