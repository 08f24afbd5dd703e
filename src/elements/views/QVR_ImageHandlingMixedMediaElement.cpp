#include "elements/views/QVR_ImageHandlingMixedMediaElement.h"

#include <QPainter>
#include <QStyleOptionGraphicsItem>

#include "elements/images/ImageUtils.h"
#include "elements/views/ElementsLogging.h"
#include "foundation/Reachability.h"
#include "foundation/ZeroingWeakReference.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"

namespace {

// Listening views; the monitor runs while this is above 0.
int g_networkListeners = 0;

} // namespace

AcceptsFirstMouseImageView::AcceptsFirstMouseImageView(const QRectF& frame, QGraphicsItem* parent)
    : QGraphicsObject(parent)
{
    setFrame(frame);
}

void AcceptsFirstMouseImageView::setImage(QVR_CroppedImage* image)
{
    disconnect(m_imageConnection);
    m_image = image;
    if (image) {
        m_imageConnection = connect(image, &QVR_CroppedImage::representationsChanged, this, [this] { update(); });
    }
    update();
}

void AcceptsFirstMouseImageView::setFrame(const QRectF& frame)
{
    if (frame.size() != m_size) {
        prepareGeometryChange();
        m_size = frame.size();
    }
    setPos(frame.topLeft());
}

void AcceptsFirstMouseImageView::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    if (!m_image || !m_image->hasRepresentation())
        return;
    const QSizeF pictureSize = m_image->size();
    if (pictureSize.isEmpty() || m_size.isEmpty())
        return;
    const double pixelsPerPoint = painter->device()->devicePixelRatioF() *
                                  QStyleOptionGraphicsItem::levelOfDetailFromTransform(painter->worldTransform());
    const QImage picture = m_image->representationForPixelsPerPoint(pixelsPerPoint);
    const QSizeF fitted = pictureSize.scaled(m_size, Qt::KeepAspectRatio);
    const QRectF target(QPointF((m_size.width() - fitted.width()) / 2, (m_size.height() - fitted.height()) / 2),
                        fitted);
    ImageUtils::addImageToContext(painter, target, picture);
}

QVR_ImageHandlingMixedMediaElement::QVR_ImageHandlingMixedMediaElement(
    const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object, QGraphicsItem* parent)
    : QVR_VirtualMixedMediaElementView(object, parent)
{
    if (object) {
        const auto self = ZeroingWeakReference<QVR_ImageHandlingMixedMediaElement>::referenceWithObject(this);
        m_zoomParamsObserver = object->updateNotifier().addObservationBlock(
            [self](const void*, const QSet<QString>&) {
                if (auto* view = self.obj())
                    view->buildCroppedImageView();
            },
            QStringList{QStringLiteral("zoomScale"), QStringLiteral("zoomOffset"), QStringLiteral("rotation"),
                        QStringLiteral("frame")});
    }
    buildCroppedImageView();
}

QVR_ImageHandlingMixedMediaElement::~QVR_ImageHandlingMixedMediaElement()
{
    if (m_croppedImageView)
        m_croppedImageView->setImage(nullptr);
    m_croppedImage.reset();
    stopObservingNetworkStatus();
    m_zoomParamsObserver.reset();
}

void QVR_ImageHandlingMixedMediaElement::buildCroppedImageView()
{
    delete m_croppedImageView;
    m_croppedImageView = new AcceptsFirstMouseImageView(bounds(), this);
    m_croppedImage = std::make_unique<QVR_CroppedImage>(mixedMediaObject());

    const auto imageView = ZeroingWeakReference<AcceptsFirstMouseImageView>::referenceWithObject(m_croppedImageView);
    const auto self = ZeroingWeakReference<QVR_ImageHandlingMixedMediaElement>::referenceWithObject(this);
    m_croppedImage->setOnImageRepresentationUpdate([imageView, self](QVR_CroppedImage* image) {
        qCInfo(lcElements) << "croppedImageDidUpdateRepresentation!" << image;
        if (auto* view = imageView.obj())
            view->update();
        if (auto* element = self.obj())
            element->stopObservingNetworkStatus();
    });
    m_croppedImage->setOnImageDownloadDidFail([self](QVR_CroppedImage*) {
        if (auto* element = self.obj())
            element->startObservingNetworkStatus();
    });
    m_croppedImageView->setImage(m_croppedImage.get());
}

void QVR_ImageHandlingMixedMediaElement::setFrame(const QRectF& frame)
{
    QVR_VirtualMixedMediaElementView::setFrame(frame);
    if (m_croppedImageView)
        m_croppedImageView->setFrame(bounds());
}

Reachability& QVR_ImageHandlingMixedMediaElement::sharedReachability()
{
    static const std::unique_ptr<Reachability> monitor = Reachability::reachabilityForInternetConnection();
    return *monitor;
}

int QVR_ImageHandlingMixedMediaElement::networkStatusListenerCount()
{
    return g_networkListeners;
}

void QVR_ImageHandlingMixedMediaElement::startObservingNetworkStatus()
{
    if (m_observingNetworkStatus)
        return;
    m_observingNetworkStatus = true;
    Reachability& monitor = sharedReachability();
    if (g_networkListeners == 0)
        monitor.startNotifier();
    ++g_networkListeners;
    m_networkObservation = NotificationObservation(Reachability::changedNotificationName(), &monitor,
                                                   [this](const Notification&) { networkStateChanged(); });
}

void QVR_ImageHandlingMixedMediaElement::stopObservingNetworkStatus()
{
    if (!m_observingNetworkStatus)
        return;
    m_observingNetworkStatus = false;
    if (g_networkListeners > 0) {
        --g_networkListeners;
        if (g_networkListeners == 0)
            sharedReachability().stopNotifier();
    } else {
        sharedReachability().stopNotifier();
    }
    m_networkObservation.reset();
}

void QVR_ImageHandlingMixedMediaElement::networkStateChanged()
{
    retryAssetDownloadIfErrorOccured();
}

void QVR_ImageHandlingMixedMediaElement::retryAssetDownloadIfErrorOccured()
{
    if (m_croppedImage && m_croppedImage->didDownloadersFail())
        m_croppedImage->retryImageDownload();
}

QVariant QVR_ImageHandlingMixedMediaElement::itemChange(GraphicsItemChange change, const QVariant& value)
{
    // Joining or leaving a scene is this canvas's "moving to a window": a good moment to try again.
    if (change == ItemSceneHasChanged)
        retryAssetDownloadIfErrorOccured();
    return QVR_VirtualMixedMediaElementView::itemChange(change, value);
}
