#pragma once

#include <functional>
#include <memory>

#include <QByteArray>
#include <QImage>
#include <QSizeF>
#include <QString>

#include "platform/Error.h"
#include "tessarine_data_model/ScreenPreviewProvider.h"

class QPainter;
class ZERI_ContentAsset;
class ZERI_FlowScreenModel;

// Draws a screen and keeps its two stored preview pictures (normal, and without text objects) current.
//
// One generator per screen, held by the screen through the model's ScreenPreviewProvider seam; it holds its
// screen weakly. A request either loads the stored normal preview or, when the screen changed, the preview is
// missing or its file is gone, draws both pictures anew and stores them as JPEG files in the document's asset
// folder. Requests of every generator share the render threads, the screens in view first (see PreviewRenderThread).
//
// Threads: requests, storing and every completion block run on the main thread. The render thread reads the
// screen only through short hops to the main thread, where it takes a drawing copy; it draws and decodes only
// such copies and files. A running request holds the generator's shared state, never the generator itself.
class QVRScreenPreviewGenerator : public ScreenPreviewProvider {
public:
    // The screen's preview assets when the request finished (either may be null).
    using PreviewAssetsBlock = std::function<void(const std::shared_ptr<ZERI_ContentAsset>& preview,
                                                  const std::shared_ptr<ZERI_ContentAsset>& textlessPreview)>;
    using ScreenshotBlock = std::function<void(const QImage& normal, const QImage& textless)>;

    static constexpr int kJpegQuality = 80;
    static const QSizeF kDefaultViewSize; // 1024 × 748, for a screen outside a flow

    explicit QVRScreenPreviewGenerator(const std::shared_ptr<ZERI_FlowScreenModel>& screen = nullptr);
    // Blocks still pending are called once, with the screen's current assets (null ones when it is gone).
    ~QVRScreenPreviewGenerator() override;
    QVRScreenPreviewGenerator(const QVRScreenPreviewGenerator&) = delete;
    QVRScreenPreviewGenerator& operator=(const QVRScreenPreviewGenerator&) = delete;

    std::shared_ptr<ZERI_FlowScreenModel> parentFlowScreen() const;
    // Replaces the reference only when the screen differs.
    void setParentFlowScreen(const std::shared_ptr<ZERI_FlowScreenModel>& screen);

    // Drawing the parent screen into a painter whose coordinates are the screen's points × `scale`. The full
    // member does the work; the shorter ones fill in flags: borders for blank objects when the document is a
    // theme sample (first member only, otherwise no), text drawn, thread safety kept. Draw a screen another
    // thread may edit only through its drawingCopy().
    void drawInContext(QPainter* context, double scale, const QSizeF& contextSize);
    void drawInContext(QPainter* context, double scale, const QSizeF& contextSize, bool bordersForBlankObjects);
    void drawInContextDrawTextObjects(QPainter* context, double scale, const QSizeF& contextSize, bool drawTextObjects);
    void drawInContext(QPainter* context, double scale, const QSizeF& contextSize, bool bordersForBlankObjects,
                       bool drawTextObjects);
    void drawInContextIgnoreThreadSafety(QPainter* context, double scale, const QSizeF& contextSize,
                                         bool ignoreThreadSafety);
    void drawInContext(QPainter* context, double scale, const QSizeF& contextSize, bool bordersForBlankObjects,
                       bool drawTextObjects, bool ignoreThreadSafety);

    // Queues the block and starts a request unless one is running; every queued block is called once, in order,
    // on the main thread, when that request finishes.
    void retreiveOrGenerateScreenPreviews(PreviewAssetsBlock block);

    // ScreenPreviewProvider
    void generatePreviews(const std::shared_ptr<ZERI_FlowScreenModel>& screen, std::function<void()> done) override;
    // The running drawing stops before its next object and nothing is stored.
    void cancelCurrentDraw() override;

    // Both pictures drawn on a worker from a drawing copy at the view size × scale, handed to the block on the
    // main thread; nothing is stored. Null pictures when the screen is gone or its size is refused.
    void generateScreenshotDirectly(ScreenshotBlock block);
    void generateScreenshotDirectlyAtScale(double scale, ScreenshotBlock block);
    void generateScreenshotDirectlyAtScale(double scale, bool drawBlankObjects, ScreenshotBlock block);

    // The parent flow's view size (1024 × 748 outside a flow) × scale.
    QSizeF getParentViewSizeForScale(double scale) const;

    bool isCurrentlyGenerating() const;
    bool cancelled() const;

    // A picture size that can be drawn: finite, at least one pixel each way, within ImageUtils::maximumPixelCount.
    static bool isDrawableSize(const QSizeF& size);
    // A stored preview file decoded by its extension: "png" (any case) as PNG, anything else as JPEG. With a
    // valid `scaledSize` the picture is decoded at that size. Null, with `error`, for a missing, unreadable,
    // truncated or mislabelled file.
    static QImage decodePreviewFile(const QString& path, const QSize& scaledSize = QSize(), Error* error = nullptr);
    static QByteArray encodeJpeg(const QImage& image);

    // Test hooks. `store` replaces ContentAssetStorage::storeData (nullptr restores it); `probe` is called on the
    // render thread when a request's drawing starts (true) and ends (false).
    using StoreFunction = std::function<bool(ZERI_ContentAsset& asset, const QByteArray& data, const QString& folder,
                                             const QString& fileName, Error* error)>;
    static void setStoreDataForTesting(StoreFunction store);
    static void setDrawProbeForTesting(std::function<void(bool started)> probe);

    struct State;

private:
    std::shared_ptr<State> m_state;
};
