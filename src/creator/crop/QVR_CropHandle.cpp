#include "creator/crop/QVR_CropHandle.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include "creator/interaction/QVR_InteractionModelUtils.h"
#include "foundation/Tessutils.h"
#include "foundation/Utils.h"

QVR_CropHandle::QVR_CropHandle(int position, QGraphicsItem* parent)
    : QGraphicsObject(parent)
    , m_position(position)
{
    setFlag(ItemIgnoresTransformations);
    setAcceptHoverEvents(true);
    setAcceptedMouseButtons(Qt::NoButton);
}

std::optional<QCursor> QVR_CropHandle::interactionCursor() const
{
    return QVR_InteractionModelUtils::resizeCursorForPosition(m_position);
}

QRectF QVR_CropHandle::boundingRect() const
{
    return QRectF(-kSideLength / 2, -kSideLength / 2, kSideLength, kSideLength);
}

QRectF QVR_CropHandle::circleRect()
{
    const double d = 0.9 * kSideLength;
    return QRectF(-d / 2, -d / 2, d, d);
}

void QVR_CropHandle::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    static const QColor bottom = Utils::colorFromHex(0x2E82BE);
    static const QColor top = Tessutils::tessarineBlue();
    const QRectF circle = circleRect();
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    QPainterPath clip;
    clip.addEllipse(circle.adjusted(-1, -1, 1, 1));
    painter->setClipPath(clip);
    QLinearGradient gradient(QPointF(circle.center().x(), circle.bottom()), QPointF(circle.center().x(), circle.top()));
    gradient.setColorAt(0, bottom);
    gradient.setColorAt(1, top);
    gradient.setSpread(QGradient::PadSpread);
    painter->fillRect(circle.adjusted(-1, -1, 1, 1), gradient);
    painter->setPen(QPen(Qt::white, kRingWidth));
    painter->setBrush(Qt::NoBrush);
    painter->drawEllipse(circle);
    painter->restore();
}

void QVR_CropHandle::setIsHovered(bool hovered)
{
    if (m_hovered == hovered)
        return;
    m_hovered = hovered;
    update();
}

void QVR_CropHandle::hoverEnterEvent(QGraphicsSceneHoverEvent*)
{
    setIsHovered(true);
}

void QVR_CropHandle::hoverMoveEvent(QGraphicsSceneHoverEvent*)
{
    setIsHovered(true);
}

void QVR_CropHandle::hoverLeaveEvent(QGraphicsSceneHoverEvent*)
{
    setIsHovered(false);
}
