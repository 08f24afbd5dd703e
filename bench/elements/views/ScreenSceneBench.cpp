// Building and painting the element views of a screen full of pictures whose files are on disk.
// Targets: building the 200 views under 50 ms; one repaint of the 1024 × 748 screen under 16 ms. Files are
// decoded on worker threads; the build measures only the main thread's share.

#include <benchmark/benchmark.h>

#include <memory>

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QGraphicsScene>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QUrl>

#include "elements/views/QVR_ImageHandlingMixedMediaElement.h"
#include "elements/views/ScreenScene.h"
#include "tessarine_data_model/DocumentFilePackage.h"
#include "tessarine_data_model/ModelDrawing.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "support/QtBenchmarkMain.h"
#include "support/BenchPackage.h"

namespace {

constexpr int kObjects = 200;

// 200 image objects in a 20 × 10 grid over the screen, each with its own regular and retina files on disk.
struct PictureScreen {
    PictureScreen()
        : package(std::make_shared<BenchPackage>(dir.path()))
        , document(ZERI_TessarineModel::create())
    {
        QDir().mkpath(package->assetStoragePath());
        document->setDontSave(true);
        document->setFilePackage(package);
        if (document->flowModels().empty())
            document->addFlowModel(ZERI_FlowModel::create());
        const auto& flow = document->flowModels().front();
        if (flow->screenModels().empty())
            flow->addFlowScreen(ZERI_FlowScreenModel::create());
        screen = flow->screenModels().front();
        const QSizeF cell(1024.0 / 20, 748.0 / 10);
        for (int i = 0; i < kObjects; ++i) {
            auto object = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Image);
            const QRectF frame(QPointF(i % 20 * cell.width(), i / 20 * cell.height()), cell);
            (*object)->setFrame(frame);
            (*object)->setCroppedImageAsset(pictureAsset(i, 1, frame.size()));
            (*object)->setRetinaCroppedImageAsset(pictureAsset(i, 2, frame.size()));
            screen->addMixedMediaObject(object);
        }
    }

    std::shared_ptr<ZERI_ContentAsset> pictureAsset(int index, int scale, const QSizeF& size) const
    {
        QImage image((size * scale).toSize(), QImage::Format_RGB32);
        image.fill(QColor::fromHsv(index * 7 % 360, 200, 220));
        const QString path =
            QDir(package->assetStoragePath()).filePath(QStringLiteral("picture-%1@%2.png").arg(index).arg(scale));
        image.save(path);
        auto asset = ZERI_ContentAsset::create();
        asset->setExternalURL(QUrl::fromLocalFile(path));
        return asset;
    }

    QTemporaryDir dir;
    std::shared_ptr<BenchPackage> package;
    std::shared_ptr<ZERI_TessarineModel> document;
    std::shared_ptr<ZERI_FlowScreenModel> screen;
};

PictureScreen& pictureScreen()
{
    static PictureScreen screen;
    return screen;
}

bool waitUntilDecoded(const QGraphicsScene& scene)
{
    const QDeadlineTimer deadline(30000);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        bool loading = false;
        for (QGraphicsItem* item : scene.items()) {
            const auto* view = dynamic_cast<QVR_ImageHandlingMixedMediaElement*>(item);
            loading = loading || (view && view->croppedImage() && view->croppedImage()->isLoading());
        }
        if (!loading)
            return true;
    }
    return false;
}

// Building from cold: nothing decoded yet, so every file goes to a worker.
void BM_BuildPictureScreenViews(benchmark::State& state)
{
    PictureScreen& screen = pictureScreen();
    for (auto _ : state) {
        state.PauseTiming();
        ModelImageCache::clear();
        auto scene = std::make_unique<QGraphicsScene>();
        state.ResumeTiming();
        ScreenScene::populate(*scene, screen.screen);
        state.PauseTiming();
        if (!waitUntilDecoded(*scene))
            state.SkipWithError("pictures were not decoded in time");
        scene.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_BuildPictureScreenViews)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_RepaintPictureScreen(benchmark::State& state)
{
    PictureScreen& screen = pictureScreen();
    QGraphicsScene scene;
    ScreenScene::populate(scene, screen.screen);
    if (!waitUntilDecoded(scene))
        state.SkipWithError("pictures were not decoded in time");
    QImage target = QImage(QSize(1024, 748) * int(state.range(0)), QImage::Format_ARGB32_Premultiplied);
    target.setDevicePixelRatio(double(state.range(0)));
    for (auto _ : state) {
        QPainter painter(&target);
        scene.render(&painter, QRectF(0, 0, 1024, 748), scene.sceneRect());
        painter.end();
        benchmark::DoNotOptimize(target.constBits());
    }
}
BENCHMARK(BM_RepaintPictureScreen)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return runQtBenchmarks<QApplication>(argc, argv);
}
