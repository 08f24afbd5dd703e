#include "elements/views/QVRVideoCompressionOverlayView.h"

QVRVideoCompressionOverlayView::QVRVideoCompressionOverlayView(QGraphicsItem* parent)
    : QGraphicsObject(parent)
{
}

QVRVideoCompressionOverlayView::~QVRVideoCompressionOverlayView() = default;

void QVRVideoCompressionOverlayView::watchCompressionForContentAsset(const std::shared_ptr<ZERI_ContentAsset>& asset)
{
    m_asset = asset;
}

void QVRVideoCompressionOverlayView::stopWatchingCompression()
{
    m_asset.reset();
}

void QVRVideoCompressionOverlayView::setFrame(const QRectF& frame)
{
    if (frame.size() != m_size)
        prepareGeometryChange();
    setPos(frame.topLeft());
    m_size = frame.size();
}

void QVRVideoCompressionOverlayView::paint(QPainter*, const QStyleOptionGraphicsItem*, QWidget*) {}
