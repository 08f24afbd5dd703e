#include "controls/VazScrollViewAnimation.h"

#include <algorithm>
#include <cmath>

#include <QAbstractScrollArea>
#include <QEasingCurve>
#include <QHash>
#include <QPointer>
#include <QScrollBar>
#include <QVariantAnimation>

namespace {

// The running animation of each scroll area. Animations are not children of their scroll area: a child would be
// destroyed half-way through the scroll area's own destruction and report its stop into a dying object.
QHash<const QAbstractScrollArea*, QPointer<QVariantAnimation>>& runningAnimations()
{
    static QHash<const QAbstractScrollArea*, QPointer<QVariantAnimation>> animations;
    return animations;
}

QEasingCurve easeInEaseOut()
{
    // The standard ease-in-ease-out timing curve: cubic Bézier (0.42, 0) (0.58, 1).
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(QPointF(0.42, 0.0), QPointF(0.58, 1.0), QPointF(1.0, 1.0));
    return curve;
}

QPointF boundedOrigin(const QAbstractScrollArea* scrollView, QPointF point)
{
    const QScrollBar* h = scrollView->horizontalScrollBar();
    const QScrollBar* v = scrollView->verticalScrollBar();
    point.setX(std::clamp(point.x(), double(h->minimum()), double(h->maximum())));
    point.setY(std::clamp(point.y(), double(v->minimum()), double(v->maximum())));
    return point;
}

// Stops and forgets the running animation; its delegate hears animationDidStop.
void stopRunning(QAbstractScrollArea* scrollView)
{
    if (QPointer<QVariantAnimation> running = runningAnimations().take(scrollView))
        running->stop();
}

} // namespace

QAbstractAnimation* VazScrollViewAnimation::animatedScrollToPoint(const QPointF& point, QAbstractScrollArea* scrollView,
                                                                  bool isPaging, double pageWidth, double pageHeight,
                                                                  VazScrollViewAnimationDelegate* delegate)
{
    if (!scrollView)
        return nullptr;
    QPointF target = point;
    if (isPaging) {
        if (pageWidth > 0)
            target.setX(std::round(target.x() / pageWidth) * pageWidth);
        if (pageHeight > 0)
            target.setY(std::round(target.y() / pageHeight) * pageHeight);
    }
    target = boundedOrigin(scrollView, target);

    stopRunning(scrollView);
    auto* animation = new QVariantAnimation;
    runningAnimations().insert(scrollView, animation);
    QObject::connect(scrollView, &QObject::destroyed, animation, [scrollView, animation] {
        if (runningAnimations().value(scrollView) == animation)
            runningAnimations().remove(scrollView);
        animation->deleteLater();
    });
    animation->setDuration(kDurationMilliseconds);
    animation->setEasingCurve(easeInEaseOut());
    animation->setStartValue(
        QPointF(scrollView->horizontalScrollBar()->value(), scrollView->verticalScrollBar()->value()));
    animation->setEndValue(target);

    QPointer<QObject> delegateGuard = dynamic_cast<QObject*>(delegate);
    const bool delegateIsObject = delegateGuard != nullptr;
    auto delegateAlive = [delegate, delegateGuard, delegateIsObject] {
        return delegate && (!delegateIsObject || delegateGuard);
    };

    QObject::connect(animation, &QVariantAnimation::valueChanged, scrollView, [scrollView](const QVariant& value) {
        const QPointF p = value.toPointF();
        scrollView->horizontalScrollBar()->setValue(int(std::lround(p.x())));
        scrollView->verticalScrollBar()->setValue(int(std::lround(p.y())));
    });
    // stateChanged (not finished) so that a stopped animation is reported too.
    QObject::connect(animation, &QAbstractAnimation::stateChanged, scrollView,
                     [scrollView, animation, delegate, delegateAlive](QAbstractAnimation::State newState,
                                                                      QAbstractAnimation::State) {
                         if (newState != QAbstractAnimation::Stopped)
                             return;
                         const bool reachedEnd = animation->currentTime() >= kDurationMilliseconds;
                         if (runningAnimations().value(scrollView) == animation)
                             runningAnimations().remove(scrollView);
                         animation->deleteLater();
                         if (!delegateAlive())
                             return;
                         if (reachedEnd)
                             delegate->animationDidEnd(animation);
                         else
                             delegate->animationDidStop(animation);
                     });

    if (delegateAlive() && !delegate->animationShouldStart(animation)) {
        runningAnimations().remove(scrollView);
        animation->deleteLater();
        return nullptr;
    }
    animation->start();
    return animation;
}

QAbstractAnimation* VazScrollViewAnimation::animatedScrollToPoint(const QPointF& point, QAbstractScrollArea* scrollView,
                                                                  bool isPaging,
                                                                  VazScrollViewAnimationDelegate* delegate)
{
    const double pageWidth = scrollView ? scrollView->viewport()->width() : 0.0;
    return animatedScrollToPoint(point, scrollView, isPaging, pageWidth, 0.0, delegate);
}

QAbstractAnimation* VazScrollViewAnimation::animatedScrollPointToCenter(const QPointF& point,
                                                                        QAbstractScrollArea* scrollView, bool isPaging)
{
    if (!scrollView)
        return nullptr;
    const QSize visible = scrollView->viewport()->size();
    const QPointF origin(point.x() - visible.width() / 2.0, point.y() - visible.height() / 2.0);
    return animatedScrollToPoint(origin, scrollView, isPaging, isPaging ? visible.width() : 0.0, 0.0, nullptr);
}

bool VazScrollViewAnimation::animatedScrollToNextPageinScrollView(QAbstractScrollArea* scrollView, double pageWidth,
                                                                  VazScrollViewAnimationDelegate* delegate)
{
    if (!scrollView || pageWidth <= 0 || scrollViewIsAtEnd(scrollView))
        return false;
    const QScrollBar* h = scrollView->horizontalScrollBar();
    const QPointF target(std::min(double(h->maximum()), h->value() + pageWidth),
                         scrollView->verticalScrollBar()->value());
    return animatedScrollToPoint(target, scrollView, false, 0.0, 0.0, delegate) != nullptr;
}

bool VazScrollViewAnimation::animatedScrollToPreviousPageinScrollView(QAbstractScrollArea* scrollView, double pageWidth,
                                                                      VazScrollViewAnimationDelegate* delegate)
{
    if (!scrollView || pageWidth <= 0 || scrollViewIsAtBegining(scrollView))
        return false;
    const QScrollBar* h = scrollView->horizontalScrollBar();
    const QPointF target(std::max(double(h->minimum()), h->value() - pageWidth),
                         scrollView->verticalScrollBar()->value());
    return animatedScrollToPoint(target, scrollView, false, 0.0, 0.0, delegate) != nullptr;
}

bool VazScrollViewAnimation::scrollViewIsAtEnd(const QAbstractScrollArea* scrollView)
{
    return !scrollView || scrollView->horizontalScrollBar()->value() >= scrollView->horizontalScrollBar()->maximum();
}

bool VazScrollViewAnimation::scrollViewIsAtBegining(const QAbstractScrollArea* scrollView)
{
    return !scrollView || scrollView->horizontalScrollBar()->value() <= scrollView->horizontalScrollBar()->minimum();
}

QAbstractAnimation* VazScrollViewAnimation::currentAnimation(const QAbstractScrollArea* scrollView)
{
    if (!scrollView)
        return nullptr;
    return runningAnimations().value(scrollView).data();
}
