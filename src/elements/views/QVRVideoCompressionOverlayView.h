#pragma once

#include <memory>

#include <QGraphicsObject>
#include <QSizeF>

class ZERI_ContentAsset;

// The overlay over a video object's picture that reports the re-encoding of its video file. This is the bare
// overlay: it keeps the asset it is told to watch and draws nothing.
class QVRVideoCompressionOverlayView : public QGraphicsObject {
    Q_OBJECT
public:
    explicit QVRVideoCompressionOverlayView(QGraphicsItem* parent = nullptr);
    ~QVRVideoCompressionOverlayView() override;

    void watchCompressionForContentAsset(const std::shared_ptr<ZERI_ContentAsset>& asset);
    void stopWatchingCompression();

    void setFrame(const QRectF& frame);

    QRectF boundingRect() const override { return QRectF(QPointF(0, 0), m_size); }
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    std::weak_ptr<ZERI_ContentAsset> m_asset;
    QSizeF m_size{0, 0};
};
