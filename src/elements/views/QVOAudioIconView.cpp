#include "elements/views/QVOAudioIconView.h"

QVOAudioIconView::QVOAudioIconView(QGraphicsItem* parent)
    : QGraphicsObject(parent)
{
}

void QVOAudioIconView::setIconType(unsigned type)
{
    if (type == m_type)
        return;
    m_type = type;
    update();
}

void QVOAudioIconView::setFrame(const QRectF& frame)
{
    if (frame.size() != m_size)
        prepareGeometryChange();
    setPos(frame.topLeft());
    m_size = frame.size();
    update();
}

void QVOAudioIconView::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    AudioElementDrawing::drawIcon(painter, boundingRect(), m_type);
}
