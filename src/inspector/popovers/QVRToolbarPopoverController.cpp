#include "inspector/popovers/QVRToolbarPopoverController.h"

#include <algorithm>
#include <cmath>

#include <QAbstractButton>
#include <QApplication>
#include <QEasingCurve>
#include <QEvent>
#include <QGraphicsObject>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QLabel>
#include <QLayout>
#include <QPropertyAnimation>
#include <QScopedValueRollback>
#include <QTimer>

#include "controls/PopoverColors.h"
#include "controls/UniversalPopover.h"
#include "creator/CreatorLogging.h"
#include "creator/interaction/QVR_SelectedItemView.h"
#include "creator/window/QVRTopOfWindowDockToolbarView.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "foundation/Tessutils.h"

namespace {
const char kTagProperty[] = "tessPopoverTag";
constexpr double kSideCap = 4;
constexpr double kTopCap = 6;
constexpr double kBottomCap = 6;
constexpr double kCornerRadius = 3;

// Where a popover of `window` is drawn: a creator window's content view, else the window itself.
QWidget* popoverHost(QWidget* window)
{
    if (auto* creator = qobject_cast<QVR_CreatorWindow*>(window))
        return creator->contentView();
    return window;
}

QGraphicsView* graphicsViewShowing(QGraphicsObject* view)
{
    if (!view || !view->scene())
        return nullptr;
    const QList<QGraphicsView*> views = view->scene()->views();
    return views.isEmpty() ? nullptr : views.front();
}

// A scene rectangle as `graphicsView` shows it, in `host`'s coordinates.
QRectF hostRectForSceneRect(QGraphicsView* graphicsView, const QRectF& sceneRect, QWidget* host)
{
    if (!graphicsView || !host)
        return {};
    const QRect inViewport = graphicsView->mapFromScene(sceneRect).boundingRect();
    return QRectF(graphicsView->viewport()->mapTo(host->window(), inViewport.topLeft()) -
                      host->mapTo(host->window(), QPoint(0, 0)),
                  inViewport.size());
}
} // namespace

QVRToolbarPopoverController::QVRToolbarPopoverController(bool docked, QObject* parent)
    : QObject(parent)
    , m_docked(docked)
{
}

QVRToolbarPopoverController::~QVRToolbarPopoverController()
{
    // Going now, the controls go with it at once.
    m_keepControlsOnDismiss = true;
    QVRToolbarPopoverController::dismissPopover(false);
    // Controls never placed in a row are still ours.
    for (const QPointer<QWidget>& view : m_toolbarViews)
        if (view && !view->parent())
            delete view.data();
    delete m_contentView.data();
}

QColor QVRToolbarPopoverController::qvrBasePopoverColor()
{
    return PopoverColors::basePopoverColor();
}

void QVRToolbarPopoverController::setTag(QWidget* view, int tag)
{
    if (view)
        view->setProperty(kTagProperty, tag);
}

int QVRToolbarPopoverController::tagOf(const QWidget* view)
{
    return view ? view->property(kTagProperty).toInt() : 0;
}

QList<QWidget*> QVRToolbarPopoverController::toolbarViews() const
{
    QList<QWidget*> views;
    for (const QPointer<QWidget>& view : m_toolbarViews)
        if (view)
            views.append(view.data());
    return views;
}

void QVRToolbarPopoverController::setToolbarViews(const QList<QWidget*>& views)
{
    const QList<QPointer<QWidget>> old = m_toolbarViews;
    m_toolbarViews.clear();
    for (QWidget* view : views)
        if (view)
            m_toolbarViews.append(view);
    for (const QPointer<QWidget>& view : old)
        if (view && !views.contains(view.data()))
            delete view.data();
}

QWidget* QVRToolbarPopoverController::toolbarViewWithTag(int tag) const
{
    for (const QPointer<QWidget>& view : m_toolbarViews)
        if (view && tagOf(view) == tag)
            return view;
    return nullptr;
}

QWidget* QVRToolbarPopoverController::controlViewForPopover()
{
    const QList<QWidget*> views = toolbarViews();
    if (views.isEmpty())
        return nullptr;
    auto* row = new QWidget;
    int x = 0;
    int height = 0;
    for (QWidget* view : views) {
        view->setParent(row);
        view->move(x, 0);
        view->show();
        x += view->width();
        height = std::max(height, view->height());
    }
    row->resize(x, height);
    for (QWidget* view : views) {
        int y = (height - view->height()) / 2;
        if (tagOf(view) == DockTag)
            y = m_docked ? height - kDockedDockButtonBottomInset - view->height() : 0;
        view->move(view->x(), y);
    }
    return row;
}

QRectF QVRToolbarPopoverController::anchorRectForView(QGraphicsObject* view, QWidget* host)
{
    if (!view)
        return {};
    // The selection frame stands half its side length (in pixels, at any zoom) outside the element, and its
    // handles lie within it: the arrow points at that frame, so no part of the popover covers a handle.
    const double reach = QVR_SelectedItemView::kDefaultSideLength / 2 + 1;
    const QRectF element = hostRectForSceneRect(graphicsViewShowing(view), view->sceneBoundingRect(), host);
    return element.isNull() ? element : element.adjusted(-reach, -reach, reach, reach);
}

QWidget* QVRToolbarPopoverController::hostWindow() const
{
    if (QGraphicsView* graphicsView = graphicsViewShowing(m_view))
        return graphicsView->window();
    if (m_fallbackWindow)
        return m_fallbackWindow->window();
    return QApplication::activeWindow();
}

void QVRToolbarPopoverController::showPopoverOverView(QGraphicsObject* view)
{
    if (Tessutils::isPopoverDocked())
        return;
    {
        // The controls just built for this showing stay.
        const QScopedValueRollback keep(m_keepControlsOnDismiss, true);
        dismissPopover(false);
    }
    releaseRow();
    m_contentView = controlViewForPopover();
    QGraphicsView* graphicsView = graphicsViewShowing(view);
    if (!m_contentView || !graphicsView)
        return;
    auto* popover = new UniversalPopover(0, popoverBaseColor(), m_contentView);
    popover->setSideCaps(kSideCap, kTopCap, kBottomCap);
    popover->setOuterCornerRadius(kCornerRadius);
    popover->setMouseEventsHitOnlyContentView(true);
    popover->setPreferedPopoverArrowPosition(UniversalPopover::ArrowPositionRight);
    m_popover = popover;
    m_view = view;
    m_hiddenByOwner = false;
    m_outOfView = false;
    placePopover();
}

void QVRToolbarPopoverController::placePopover()
{
    QGraphicsView* graphicsView = graphicsViewShowing(m_view);
    if (!m_popover || !graphicsView)
        return;
    QWidget* host = popoverHost(graphicsView->window());
    if (m_watchedViewport != graphicsView->viewport()) {
        if (m_watchedViewport)
            m_watchedViewport->removeEventFilter(this);
        m_watchedViewport = graphicsView->viewport();
        m_watchedViewport->installEventFilter(this);
    }
    const QRectF anchor = anchorRectForView(m_view, host);
    m_placedAnchor = anchor;
    const QRectF shownCanvas = hostRectForSceneRect(
        graphicsView, graphicsView->mapToScene(graphicsView->viewport()->rect()).boundingRect(), host);
    if (!anchor.intersects(shownCanvas)) {
        m_outOfView = true;
        m_popover->hide();
        return;
    }
    m_outOfView = false;
    // Inside the canvas: never over the strip of screens below it or the docked panels above it.
    m_popover->setPlacementBounds(shownCanvas);
    m_popover->presentPopoverInView(host, UniversalPopover::ArrowPositionAll, anchor, false);
    if (m_hiddenByOwner)
        m_popover->hide();
    // Where no side leaves the whole element clear, the popover still keeps off the part that matters most.
    const QRectF sceneKeep = sceneRectToKeepUncovered();
    if (sceneKeep.isEmpty())
        return;
    const QRectF keep = hostRectForSceneRect(graphicsView, sceneKeep, host);
    if (QRectF(m_popover->geometry()).intersects(keep))
        m_popover->presentPopoverInView(host, UniversalPopover::ArrowPositionAll, keep, false);
}

void QVRToolbarPopoverController::dismissPopover(bool animated)
{
    m_view = nullptr;
    QPointer<UniversalPopover> popover = std::exchange(m_popover, nullptr);
    if (popover) {
        // The row goes with the popover.
        if (m_contentView) {
            m_contentView->hide();
            if (m_contentView->parent() == popover)
                m_contentView->setParent(nullptr);
        }
        popover->dismissPopoverAnimated(animated, [popover] {
            if (popover)
                popover->deleteLater();
        });
    }
    // A floating popover builds its controls anew each time it shows; kept, an element selected once would hold
    // its pickers for as long as it lives. The docked row keeps its controls while it shows.
    if (!m_docked && !m_keepControlsOnDismiss)
        releaseControls();
}

void QVRToolbarPopoverController::releaseControls()
{
    // Later, not now: the dismissal may come from one of the controls' own signals.
    for (const QPointer<QWidget>& view : std::exchange(m_toolbarViews, {}))
        if (view && (!view->parent() || view->parent() == m_contentView))
            view->deleteLater();
    if (QWidget* row = std::exchange(m_contentView, nullptr))
        row->deleteLater();
}

void QVRToolbarPopoverController::releaseRow()
{
    QWidget* row = m_contentView;
    m_contentView = nullptr;
    if (!row)
        return;
    // The controls outlive the row: a later row takes them again.
    for (const QPointer<QWidget>& view : m_toolbarViews)
        if (view && view->parent() == row)
            view->setParent(nullptr);
    delete row;
}

void QVRToolbarPopoverController::setPopoverHidden(bool hidden)
{
    if (!m_popover)
        return;
    // The element may have moved or grown meanwhile (a text being typed): shown again, the popover is placed
    // anew beside it.
    m_hiddenByOwner = hidden;
    if (!hidden)
        placePopover();
    m_popover->setHidden(hidden || m_outOfView);
}

bool QVRToolbarPopoverController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_watchedViewport && m_popover && m_view &&
        (event->type() == QEvent::Paint || event->type() == QEvent::Resize || event->type() == QEvent::Move)) {
        QGraphicsView* graphicsView = graphicsViewShowing(m_view);
        if (graphicsView && graphicsView->viewport() == watched &&
            anchorRectForView(m_view, popoverHost(graphicsView->window())) != m_placedAnchor)
            followViewBeingDisplayedOn();
    }
    return QObject::eventFilter(watched, event);
}

void QVRToolbarPopoverController::followViewBeingDisplayedOn()
{
    if (m_followPending || !m_popover)
        return;
    m_followPending = true;
    QTimer::singleShot(0, this, [this] {
        m_followPending = false;
        if (m_popover && (m_popover->isVisible() || (m_outOfView && !m_hiddenByOwner)))
            placePopover();
    });
}

void QVRToolbarPopoverController::dockPopover()
{
    auto* window = qobject_cast<QVR_CreatorWindow*>(hostWindow());
    QVRTopOfWindowDockToolbarView* dock = window ? window->topDockBar() : nullptr;
    if (!window || !dock || !m_contentView || !m_popover) {
        // No dock to fly to: the setting changes all the same, once this click is over.
        dismissPopover(false);
        QTimer::singleShot(0, qApp, [] { Tessutils::setIsPopoverDocked(true); });
        return;
    }
    QWidget* host = window->contentView();
    // The strip is there before the flight, so the picture lands where the docked row will show.
    dock->setVisible(true);
    if (QLayout* layout = dock->parentWidget() ? dock->parentWidget()->layout() : nullptr)
        layout->activate();
    // The row drawn on the popover's colour: a plain grab would show the window's grey behind the controls.
    const qreal ratio = m_contentView->devicePixelRatioF();
    QPixmap picture(m_contentView->size() * ratio);
    picture.setDevicePixelRatio(ratio);
    picture.fill(popoverBaseColor());
    m_contentView->render(&picture, QPoint(), QRegion(), QWidget::DrawChildren);
    auto* snapshot = new QLabel(host);
    snapshot->setAutoFillBackground(true);
    QPalette palette = snapshot->palette();
    palette.setColor(QPalette::Window, popoverBaseColor());
    snapshot->setPalette(palette);
    snapshot->setPixmap(picture);
    const QRect start(m_contentView->mapTo(host, QPoint(0, 0)), m_contentView->size());
    const QRect end(dock->mapTo(host, QPoint(0, 0)), m_contentView->size());
    const QPointF travel = end.topLeft() - start.topLeft();
    qCDebug(lcCreator).noquote() << QString::asprintf("popover will animate this distance: %f",
                                                      std::hypot(travel.x(), travel.y()));
    snapshot->setGeometry(start);
    snapshot->show();
    snapshot->raise();
    dismissPopover(false);

    auto* animation = new QPropertyAnimation(snapshot, "geometry", snapshot);
    animation->setDuration(kDockAnimationMs);
    animation->setEasingCurve(QEasingCurve::InQuad);
    animation->setStartValue(start);
    animation->setEndValue(end);
    // The animation belongs to the snapshot, not to this controller, which may go before it ends.
    connect(animation, &QPropertyAnimation::finished, snapshot, [snapshot] {
        snapshot->deleteLater();
        Tessutils::setIsPopoverDocked(true);
    });
    animation->start();
}

void QVRToolbarPopoverController::undockPopover()
{
    Tessutils::setIsPopoverDocked(false);
}
