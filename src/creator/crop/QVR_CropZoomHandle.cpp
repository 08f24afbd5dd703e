#include "creator/crop/QVR_CropZoomHandle.h"

#include <array>

#include <QGraphicsScene>
#include <QGraphicsSceneHoverEvent>
#include <QGraphicsView>
#include <QPainter>
#include <QPainterPath>

#include "creator/crop/QVR_CropHandle.h"
#include "creator/interaction/QVR_InteractionModelUtils.h"

namespace {

// The outward arrows by corner, as fractions of the square, y down, head at the square's corner.
constexpr std::array<std::array<std::array<double, 2>, 7>, 4> kArrows{{
    {{{0.5, 0.7}, {0.15, 0.35}, {0.05, 0.45}, {0.05, 0.05}, {0.45, 0.05}, {0.35, 0.15}, {0.7, 0.5}}},
    {{{0.5, 0.7}, {0.85, 0.35}, {0.95, 0.45}, {0.95, 0.05}, {0.55, 0.05}, {0.65, 0.15}, {0.3, 0.5}}},
    {{{0.3, 0.5}, {0.5, 0.3}, {0.85, 0.65}, {0.95, 0.55}, {0.95, 0.95}, {0.55, 0.95}, {0.65, 0.85}}},
    {{{0.5, 0.3}, {0.7, 0.5}, {0.35, 0.85}, {0.45, 0.95}, {0.05, 0.95}, {0.05, 0.55}, {0.15, 0.65}}},
}};

// The unit step from the picture's corner toward its inside, y down.
QPointF inward(int position)
{
    switch (position) {
    case 0:
        return {1, 1};
    case 1:
        return {-1, 1};
    case 2:
        return {-1, -1};
    default:
        return {1, -1};
    }
}

} // namespace

QVR_CropZoomHandle::QVR_CropZoomHandle(int position, QGraphicsItem* parent)
    : QGraphicsObject(parent)
    , m_position(position)
{
    setFlag(ItemIgnoresTransformations);
    setAcceptHoverEvents(true);
    setAcceptedMouseButtons(Qt::NoButton);
}

std::optional<QCursor> QVR_CropZoomHandle::interactionCursor() const
{
    return QVR_InteractionModelUtils::resizeCursorForPosition(m_position);
}

QPointF QVR_CropZoomHandle::centreForCorner(const QPointF& corner, int position)
{
    return corner - inward(position) * kOffset;
}

QRectF QVR_CropZoomHandle::squareRect() const
{
    return QRectF(-kSideLength / 2, -kSideLength / 2, kSideLength, kSideLength);
}

QRectF QVR_CropZoomHandle::circleRect()
{
    const double d = 0.5 * kSideLength;
    return QRectF(-d / 2, -d / 2, d, d);
}

QPolygonF QVR_CropZoomHandle::arrow() const
{
    const QRectF square = squareRect();
    QPolygonF polygon;
    for (const auto& vertex : kArrows[size_t(m_position & 3)])
        polygon << QPointF(square.x() + vertex[0] * square.width(), square.y() + vertex[1] * square.height());
    return polygon;
}

QPainterPath QVR_CropZoomHandle::shape() const
{
    QPainterPath path;
    path.addRect(squareRect());
    return path;
}

void QVR_CropZoomHandle::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setBrush(m_hovered ? Qt::black : Qt::white);
    QPen pen(m_hovered ? Qt::white : Qt::black, 1.5);
    pen.setJoinStyle(Qt::RoundJoin);
    painter->setPen(pen);
    if (m_covered)
        painter->drawPolygon(arrow());
    else
        painter->drawEllipse(circleRect());
    painter->restore();
}

void QVR_CropZoomHandle::setIsHovered(bool hovered)
{
    if (m_hovered == hovered)
        return;
    m_hovered = hovered;
    update();
}

void QVR_CropZoomHandle::setIsCovered(bool covered)
{
    if (m_covered == covered)
        return;
    m_covered = covered;
    update();
}

double QVR_CropZoomHandle::magnification() const
{
    if (!scene() || scene()->views().isEmpty())
        return 1.0;
    const double m = scene()->views().front()->transform().m11();
    return m > 0 ? m : 1.0;
}

bool QVR_CropZoomHandle::shouldStartHoverState(const QPointF& scenePoint, double magnification) const
{
    if (!m_sibling || m_sibling->isHovered() || !(magnification > 0))
        return false;
    const double half = QVR_CropHandle::kSideLength / 2 / magnification;
    const QPointF c = m_sibling->scenePos();
    const QRectF sibling(c.x() - half, c.y() - half, 2 * half, 2 * half);
    const QPointF& p = scenePoint;
    switch (m_position) {
    case 0:
        return p.x() < sibling.right() && p.y() < sibling.bottom();
    case 1:
        return p.x() > sibling.left() && p.y() < sibling.bottom();
    case 2:
        return p.x() > sibling.left() && p.y() > sibling.top();
    case 3:
        return p.x() < sibling.right() && p.y() > sibling.top();
    default:
        return false;
    }
}

void QVR_CropZoomHandle::mouseDragged(const QPointF& scenePoint)
{
    setIsHovered(shouldStartHoverState(scenePoint, magnification()));
}

void QVR_CropZoomHandle::mouseUp(bool releasedInside)
{
    setIsHovered(releasedInside && m_sibling && !m_sibling->isHovered());
}

void QVR_CropZoomHandle::hoverEnterEvent(QGraphicsSceneHoverEvent* event)
{
    setIsHovered(shouldStartHoverState(event->scenePos(), magnification()));
}

void QVR_CropZoomHandle::hoverMoveEvent(QGraphicsSceneHoverEvent* event)
{
    setIsHovered(shouldStartHoverState(event->scenePos(), magnification()));
}

void QVR_CropZoomHandle::hoverLeaveEvent(QGraphicsSceneHoverEvent*)
{
    setIsHovered(false);
}
