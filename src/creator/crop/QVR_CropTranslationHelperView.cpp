#include "creator/crop/QVR_CropTranslationHelperView.h"

#include <QPainter>

#include "creator/interaction/QVR_InteractionModelUtils.h"

QVR_CropTranslationHelperView::QVR_CropTranslationHelperView(QGraphicsItem* parent)
    : QGraphicsObject(parent)
{
    setAcceptedMouseButtons(Qt::NoButton);
    QVR_InteractionModelUtils::setMouseTransparent(this);
}

void QVR_CropTranslationHelperView::setFrame(const QRectF& frame)
{
    if (frame == m_frame)
        return;
    prepareGeometryChange();
    m_frame = frame;
}

QPen QVR_CropTranslationHelperView::pen() const
{
    QPen pen(Qt::white, kLineWidth);
    // Dashes are measured in line widths.
    pen.setDashPattern({5.0 / kLineWidth, 2.0 / kLineWidth});
    // A square cap would stretch every dash by half the line width at both ends and close the gaps.
    pen.setCapStyle(Qt::FlatCap);
    return pen;
}

QRectF QVR_CropTranslationHelperView::boundingRect() const
{
    // Half the line lies outside the rectangle.
    const double half = kLineWidth / 2 + 1;
    return m_frame.adjusted(-half, -half, half, half);
}

void QVR_CropTranslationHelperView::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    painter->save();
    painter->setPen(pen());
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(m_frame);
    painter->restore();
}
