#pragma once

#include <memory>

#include <QGraphicsObject>
#include <QPointer>

#include "elements/views/QVR_CroppedImage.h"
#include "elements/views/QVR_VirtualMixedMediaElementView.h"
#include "platform/NotificationCenter.h"
#include "tessarine_data_model/ObjectUpdateNotifier.h"

class Reachability;

// The item that shows a cropped picture, scaled proportionally to fit its rectangle and centred; it picks the
// retina representation when more than one device pixel falls on a point (high-density screen or zoomed canvas).
class AcceptsFirstMouseImageView : public QGraphicsObject {
    Q_OBJECT
public:
    explicit AcceptsFirstMouseImageView(const QRectF& frame, QGraphicsItem* parent = nullptr);

    QVR_CroppedImage* image() const { return m_image; }
    void setImage(QVR_CroppedImage* image);
    void setFrame(const QRectF& frame);
    bool acceptsFirstMouse() const { return true; }

    QRectF boundingRect() const override { return QRectF(QPointF(0, 0), m_size); }
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    QPointer<QVR_CroppedImage> m_image;
    QMetaObject::Connection m_imageConnection;
    QSizeF m_size{0, 0};
};

// Base of the views that show an object by its cropped picture (image, gallery, PDF, video). The picture and
// the item showing it are made anew whenever the object's "zoomScale", "zoomOffset", "rotation" or "frame"
// changes (at most once per event-loop turn), at the object's new size.
//
// When neither the cropped files nor the original can be fetched, the view listens for network changes through
// one reachability monitor shared by all such views (running while at least one listens) and retries then, and
// whenever it is added to or removed from a scene. Main thread only.
class QVR_ImageHandlingMixedMediaElement : public QVR_VirtualMixedMediaElementView {
    Q_OBJECT
public:
    explicit QVR_ImageHandlingMixedMediaElement(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object,
                                                QGraphicsItem* parent = nullptr);
    ~QVR_ImageHandlingMixedMediaElement() override;

    void buildCroppedImageView();
    void setFrame(const QRectF& frame) override;

    QVR_CroppedImage* croppedImage() const { return m_croppedImage.get(); }
    AcceptsFirstMouseImageView* croppedImageView() const { return m_croppedImageView; }

    bool isObservingNetworkStatus() const { return m_observingNetworkStatus; }
    void startObservingNetworkStatus();
    void stopObservingNetworkStatus();
    void networkStateChanged();
    void retryAssetDownloadIfErrorOccured();

    // The monitor shared by every image-bearing view, made on first use, and how many views listen to it.
    static Reachability& sharedReachability();
    static int networkStatusListenerCount();

protected:
    QVariant itemChange(GraphicsItemChange change, const QVariant& value) override;

private:
    ObjectUpdateNotifierObserver m_zoomParamsObserver;
    AcceptsFirstMouseImageView* m_croppedImageView = nullptr; // child item
    std::unique_ptr<QVR_CroppedImage> m_croppedImage;
    bool m_observingNetworkStatus = false;
    NotificationObservation m_networkObservation;
};
