#pragma once

#include <memory>

#include "elements/views/QVR_ImageHandlingMixedMediaElement.h"
#include "tessarine_data_model/ObjectUpdateNotifier.h"

class QVRVideoCompressionOverlayView;
class ZERI_ContentAsset;

// The view of a video object: its cropped picture (the poster frame) with the re-encoding overlay above it. The
// overlay covers the whole view and stays above every picture the base rebuilds. When the object's "videoAsset"
// is replaced, the overlay stops watching the old asset and watches the new one.
class QVR_VideoMixedMediaElementView : public QVR_ImageHandlingMixedMediaElement {
    Q_OBJECT
public:
    // The overlay's z among the view's children; the picture stays at 0.
    static constexpr double kCompressionOverlayZ = 1.0;

    explicit QVR_VideoMixedMediaElementView(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object,
                                            QGraphicsItem* parent = nullptr);
    ~QVR_VideoMixedMediaElementView() override;

    QVRVideoCompressionOverlayView* compressionOverlayView() const { return m_compressionOverlayView; }

    void setFrame(const QRectF& frame) override;
    // Tells the overlay to stop watching, then to watch the object's present video asset.
    void videoAssetChanged();

signals:
    // After the overlay was moved to `asset` (none when the object or its asset is gone).
    void compressionWatchRestarted(const std::shared_ptr<ZERI_ContentAsset>& asset);

private:
    std::shared_ptr<ZERI_ContentAsset> currentVideoAsset() const;

    QVRVideoCompressionOverlayView* m_compressionOverlayView = nullptr; // child item
    ObjectUpdateNotifierObserver m_videoAssetObserver;
};
