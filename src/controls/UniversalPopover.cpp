#include "controls/UniversalPopover.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include <QGraphicsOpacityEffect>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVariantAnimation>

namespace {

constexpr int kAnimationMilliseconds = 200;
constexpr std::array<int, 4> kSideOrder = {UniversalPopover::ArrowPositionTop, UniversalPopover::ArrowPositionBottom,
                                           UniversalPopover::ArrowPositionLeft, UniversalPopover::ArrowPositionRight};

bool isVertical(int side)
{
    return side == UniversalPopover::ArrowPositionTop || side == UniversalPopover::ArrowPositionBottom;
}

// Moves `r` the least distance that brings it inside `bounds` (its top-left wins when it is larger).
QRectF clampInto(QRectF r, const QRectF& bounds)
{
    if (r.right() > bounds.right())
        r.moveRight(bounds.right());
    if (r.bottom() > bounds.bottom())
        r.moveBottom(bounds.bottom());
    if (r.left() < bounds.left())
        r.moveLeft(bounds.left());
    if (r.top() < bounds.top())
        r.moveTop(bounds.top());
    return r;
}

} // namespace

UniversalPopover::UniversalPopover(int style, const QColor& color, QWidget* contentView)
    : QWidget(nullptr)
    , m_style(style)
    , m_color(color.isValid() ? color : QColor(250, 250, 250))
    , m_contentView(contentView)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_NoSystemBackground);
    if (m_contentView) {
        m_contentView->setParent(this);
        m_contentView->show();
    }
    hide();
}

UniversalPopover::~UniversalPopover()
{
    if (m_animation)
        m_animation->stop();
}

void UniversalPopover::setSideCaps(double sideCaps, double topCap, double bottomCap)
{
    m_sideCaps = std::max(0.0, sideCaps);
    m_topCap = std::max(0.0, topCap);
    m_bottomCap = std::max(0.0, bottomCap);
    layoutContent();
}

void UniversalPopover::setOuterCornerRadius(double radius)
{
    m_cornerRadius = std::max(0.0, radius);
    update();
}

void UniversalPopover::setMouseEventsHitOnlyContentView(bool only)
{
    m_hitOnlyContent = only;
}

void UniversalPopover::setMinHeightForDisplayedPopover(double height)
{
    m_minHeight = std::max(0.0, height);
}

void UniversalPopover::setPreferedPopoverArrowPosition(int position)
{
    m_preferredPosition = position;
}

QSizeF UniversalPopover::bubbleSize() const
{
    const QSizeF content = m_contentView ? QSizeF(m_contentView->size()) : QSizeF();
    QSizeF size(content.width() + 2 * m_sideCaps, content.height() + m_topCap + m_bottomCap);
    size.setHeight(std::max(size.height(), m_minHeight));
    // The arrow needs room beside the rounded corners.
    const double minEdge = kArrowBaseWidth + 2 * m_cornerRadius;
    return size.expandedTo(QSizeF(minEdge, minEdge));
}

UniversalPopover::Placement UniversalPopover::placementForSide(int side, const QRectF& host, const QRectF& anchor) const
{
    Placement p;
    p.side = side;
    const QSizeF bubble = bubbleSize();
    QPointF tip;
    QRectF frame;
    switch (side) {
    case ArrowPositionTop:
        tip = QPointF(anchor.center().x(), anchor.bottom());
        frame = QRectF(tip.x() - bubble.width() / 2, tip.y(), bubble.width(), bubble.height() + kArrowLength);
        break;
    case ArrowPositionBottom:
        tip = QPointF(anchor.center().x(), anchor.top());
        frame = QRectF(tip.x() - bubble.width() / 2, tip.y() - bubble.height() - kArrowLength, bubble.width(),
                       bubble.height() + kArrowLength);
        break;
    case ArrowPositionLeft:
        tip = QPointF(anchor.right(), anchor.center().y());
        frame = QRectF(tip.x(), tip.y() - bubble.height() / 2, bubble.width() + kArrowLength, bubble.height());
        break;
    case ArrowPositionRight:
        tip = QPointF(anchor.left(), anchor.center().y());
        frame = QRectF(tip.x() - bubble.width() - kArrowLength, tip.y() - bubble.height() / 2,
                       bubble.width() + kArrowLength, bubble.height());
        break;
    default:
        return p;
    }
    // Along the main axis the popover must not cover the anchor; along the cross axis it may slide to stay inside.
    if (isVertical(side)) {
        p.fits = frame.top() >= host.top() && frame.bottom() <= host.bottom() && frame.width() <= host.width();
        if (frame.width() <= host.width())
            frame.moveLeft(std::clamp(frame.left(), host.left(), host.right() - frame.width()));
    } else {
        p.fits = frame.left() >= host.left() && frame.right() <= host.right() && frame.height() <= host.height();
        if (frame.height() <= host.height())
            frame.moveTop(std::clamp(frame.top(), host.top(), host.bottom() - frame.height()));
    }
    const QRectF visible = frame.intersected(host);
    p.visibleArea = visible.width() * visible.height();
    p.frame = frame;
    p.tip = tip - frame.topLeft();
    return p;
}

void UniversalPopover::presentPopoverInView(QWidget* host, int allowedPositions, const QRectF& anchorRect,
                                            bool animated)
{
    if (!host)
        return;
    if (m_animation)
        m_animation->stop();
    m_pendingCompletion = nullptr;
    ++m_dismissGeneration; // a fade-out that already ended and waits for its next turn finishes nothing now

    std::vector<int> candidates;
    if (m_preferredPosition && (allowedPositions & m_preferredPosition))
        candidates.push_back(m_preferredPosition);
    for (int side : kSideOrder)
        if ((allowedPositions & side) && side != m_preferredPosition)
            candidates.push_back(side);
    if (candidates.empty()) // nothing allowed: any side is better than no popover
        candidates.assign(kSideOrder.begin(), kSideOrder.end());

    const QRectF hostRect(QPointF(0, 0), QSizeF(host->size()));
    const QRectF bounds = m_placementBounds.isEmpty() ? hostRect : m_placementBounds.intersected(hostRect);
    std::optional<Placement> chosen;
    for (int side : candidates) {
        Placement p = placementForSide(side, bounds, anchorRect);
        if (p.fits) {
            chosen = p;
            break;
        }
        if (!chosen || p.visibleArea > chosen->visibleArea)
            chosen = p;
    }
    Placement placement = *chosen;
    if (!placement.fits) {
        const QRectF inside = clampInto(placement.frame, bounds);
        placement.tip += placement.frame.topLeft() - inside.topLeft();
        placement.frame = inside;
    }
    m_arrowPosition = placement.side;
    // The tip stays over the bubble's straight edge, clear of the rounded corners.
    const double margin = m_cornerRadius + kArrowBaseWidth / 2;
    QPointF tip = placement.tip;
    if (isVertical(m_arrowPosition))
        tip.setX(std::clamp(tip.x(), margin, placement.frame.width() - margin));
    else
        tip.setY(std::clamp(tip.y(), margin, placement.frame.height() - margin));
    m_arrowTip = tip;

    setParent(host);
    setGeometry(placement.frame.toAlignedRect());
    layoutContent();
    raise();
    m_presented = true;
    show();

    if (!animated) {
        setGraphicsEffect(nullptr);
        return;
    }
    m_opacity = new QGraphicsOpacityEffect(this);
    m_opacity->setOpacity(0.0);
    setGraphicsEffect(m_opacity);
    auto* animation = new QVariantAnimation(this);
    m_animation = animation;
    animation->setDuration(kAnimationMilliseconds);
    animation->setStartValue(0.0);
    animation->setEndValue(1.0);
    connect(animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        if (m_opacity)
            m_opacity->setOpacity(v.toDouble());
    });
    connect(animation, &QVariantAnimation::finished, this, [this] {
        setGraphicsEffect(nullptr); // deletes the effect; plain painting is cheaper
        m_opacity = nullptr;
    });
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void UniversalPopover::dismissPopoverAnimated(bool animated, std::function<void()> completion)
{
    if (m_animation)
        m_animation->stop();
    if (!m_presented || !isVisible() || !animated) {
        m_pendingCompletion = std::move(completion);
        finishDismiss();
        return;
    }
    m_pendingCompletion = std::move(completion);
    if (!m_opacity) {
        m_opacity = new QGraphicsOpacityEffect(this);
        m_opacity->setOpacity(1.0);
        setGraphicsEffect(m_opacity);
    }
    auto* animation = new QVariantAnimation(this);
    m_animation = animation;
    animation->setDuration(kAnimationMilliseconds);
    animation->setStartValue(m_opacity->opacity());
    animation->setEndValue(0.0);
    connect(animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        if (m_opacity)
            m_opacity->setOpacity(v.toDouble());
    });
    // The dismissal finishes on the next turn, once the animation (a child of this popover) is done emitting:
    // its completion may delete the popover, and with it the animation.
    connect(animation, &QVariantAnimation::finished, this, [this, generation = ++m_dismissGeneration] {
        QMetaObject::invokeMethod(
            this,
            [this, generation] {
                if (generation == m_dismissGeneration)
                    finishDismiss();
            },
            Qt::QueuedConnection);
    });
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void UniversalPopover::finishDismiss()
{
    m_presented = false;
    hide();
    setGraphicsEffect(nullptr);
    m_opacity = nullptr;
    // Taken out first: the completion may delete this popover or present it again.
    auto completion = std::move(m_pendingCompletion);
    m_pendingCompletion = nullptr;
    if (completion)
        completion();
}

QRectF UniversalPopover::bubbleRect() const
{
    QRectF r(rect());
    switch (m_arrowPosition) {
    case ArrowPositionTop:
        r.setTop(r.top() + kArrowLength);
        break;
    case ArrowPositionBottom:
        r.setBottom(r.bottom() - kArrowLength);
        break;
    case ArrowPositionLeft:
        r.setLeft(r.left() + kArrowLength);
        break;
    case ArrowPositionRight:
        r.setRight(r.right() - kArrowLength);
        break;
    default:
        break;
    }
    return r;
}

QPainterPath UniversalPopover::bubblePath() const
{
    const QRectF bubble = bubbleRect();
    QPainterPath path;
    path.addRoundedRect(bubble, m_cornerRadius, m_cornerRadius);
    QPolygonF arrow;
    const double half = kArrowBaseWidth / 2;
    switch (m_arrowPosition) {
    case ArrowPositionTop:
        arrow << QPointF(m_arrowTip.x() - half, bubble.top() + 1) << m_arrowTip
              << QPointF(m_arrowTip.x() + half, bubble.top() + 1);
        break;
    case ArrowPositionBottom:
        arrow << QPointF(m_arrowTip.x() - half, bubble.bottom() - 1) << m_arrowTip
              << QPointF(m_arrowTip.x() + half, bubble.bottom() - 1);
        break;
    case ArrowPositionLeft:
        arrow << QPointF(bubble.left() + 1, m_arrowTip.y() - half) << m_arrowTip
              << QPointF(bubble.left() + 1, m_arrowTip.y() + half);
        break;
    case ArrowPositionRight:
        arrow << QPointF(bubble.right() - 1, m_arrowTip.y() - half) << m_arrowTip
              << QPointF(bubble.right() - 1, m_arrowTip.y() + half);
        break;
    default:
        break;
    }
    if (!arrow.isEmpty()) {
        QPainterPath arrowPath;
        arrowPath.addPolygon(arrow);
        arrowPath.closeSubpath();
        path = path.united(arrowPath);
    }
    return path;
}

void UniversalPopover::layoutContent()
{
    if (!m_contentView)
        return;
    const QRectF bubble = bubbleRect();
    m_contentView->move(int(bubble.left() + m_sideCaps), int(bubble.top() + m_topCap));
    update();
}

void UniversalPopover::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPainterPath path = bubblePath();
    // A soft outline keeps a light popover visible over a light host.
    painter.setPen(QPen(QColor(0, 0, 0, 40), 1.0));
    painter.setBrush(m_color);
    painter.drawPath(path);
}

void UniversalPopover::handleBubbleMouse(QMouseEvent* event)
{
    const bool onBubble = bubblePath().contains(event->position());
    // Ignored events travel on to the host.
    if (!onBubble || m_hitOnlyContent)
        event->ignore();
    else
        event->accept();
}

void UniversalPopover::mousePressEvent(QMouseEvent* event)
{
    handleBubbleMouse(event);
}

void UniversalPopover::mouseReleaseEvent(QMouseEvent* event)
{
    handleBubbleMouse(event);
}

void UniversalPopover::mouseDoubleClickEvent(QMouseEvent* event)
{
    handleBubbleMouse(event);
}
