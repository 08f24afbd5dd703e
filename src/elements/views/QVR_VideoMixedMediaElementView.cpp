#include "elements/views/QVR_VideoMixedMediaElementView.h"

#include "elements/views/QVRVideoCompressionOverlayView.h"
#include "foundation/ZeroingWeakReference.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"

QVR_VideoMixedMediaElementView::QVR_VideoMixedMediaElementView(
    const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object, QGraphicsItem* parent)
    : QVR_ImageHandlingMixedMediaElement(object, parent)
{
    m_compressionOverlayView = new QVRVideoCompressionOverlayView(this);
    // Above the picture, including every picture item the base makes anew after a frame or crop change.
    m_compressionOverlayView->setZValue(kCompressionOverlayZ);
    m_compressionOverlayView->setFrame(bounds());
    m_compressionOverlayView->watchCompressionForContentAsset(currentVideoAsset());

    if (object) {
        const auto self = ZeroingWeakReference<QVR_VideoMixedMediaElementView>::referenceWithObject(this);
        m_videoAssetObserver = object->updateNotifier().addObservationBlock(
            [self](const void*, const QSet<QString>&) {
                if (auto* view = self.obj())
                    view->videoAssetChanged();
            },
            QStringLiteral("videoAsset"));
    }
}

QVR_VideoMixedMediaElementView::~QVR_VideoMixedMediaElementView()
{
    m_videoAssetObserver.reset();
}

void QVR_VideoMixedMediaElementView::setFrame(const QRectF& frame)
{
    QVR_ImageHandlingMixedMediaElement::setFrame(frame);
    if (m_compressionOverlayView)
        m_compressionOverlayView->setFrame(bounds());
}

std::shared_ptr<ZERI_ContentAsset> QVR_VideoMixedMediaElementView::currentVideoAsset() const
{
    const auto proxy = mixedMediaObject();
    return proxy && proxy->object() ? proxy->object()->videoAsset() : nullptr;
}

void QVR_VideoMixedMediaElementView::videoAssetChanged()
{
    const auto asset = currentVideoAsset();
    m_compressionOverlayView->stopWatchingCompression();
    m_compressionOverlayView->watchCompressionForContentAsset(asset);
    emit compressionWatchRestarted(asset);
}
