#include "elements/views/AudioProgressRingView.h"

#include <algorithm>
#include <cmath>

AudioProgressRingView::AudioProgressRingView(QGraphicsItem* parent)
    : QGraphicsObject(parent)
{
}

void AudioProgressRingView::setProgress(double progress)
{
    if (!std::isfinite(progress))
        return;
    m_ring.progress = std::clamp(progress, 0.0, 1.0);
    // The arc's whole length changes, so the whole ring repaints.
    update();
}

void AudioProgressRingView::setFrame(const QRectF& frame)
{
    if (frame.size() != m_size)
        prepareGeometryChange();
    setPos(frame.topLeft());
    m_size = frame.size();
    update();
}

void AudioProgressRingView::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    AudioElementDrawing::drawRing(painter, boundingRect(), m_ring);
}
