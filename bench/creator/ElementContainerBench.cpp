// Building and painting a screen of 200 image objects (files on disk) two ways in the same run: bare element
// views in a plain scene, and the editor's single screen with one container per object. Target: the
// containers take at most 1.5 × the bare views' time. Both times and the ratio are printed as counters.

#include <benchmark/benchmark.h>

#include <memory>

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QGraphicsScene>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QUrl>

#include "creator/canvas/QVR_CreatorSingleScreen.h"
#include "elements/views/QVR_ImageHandlingMixedMediaElement.h"
#include "elements/views/ScreenScene.h"
#include "support/QtBenchmarkMain.h"
#include "tessarine_data_model/DocumentFilePackage.h"
#include "tessarine_data_model/ModelDrawing.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "support/BenchPackage.h"

namespace {

constexpr int kObjects = 200;

// 200 image objects in a 20 × 10 grid over the screen, each with its own file on disk.
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
            QImage image(frame.size().toSize(), QImage::Format_RGB32);
            image.fill(QColor::fromHsv(i * 7 % 360, 200, 220));
            const QString path = QDir(package->assetStoragePath()).filePath(QStringLiteral("picture-%1.png").arg(i));
            image.save(path);
            auto asset = ZERI_ContentAsset::create();
            asset->setExternalURL(QUrl::fromLocalFile(path));
            (*object)->setCroppedImageAsset(asset);
            screen->addMixedMediaObject(object);
        }
    }

    QTemporaryDir dir;
    std::shared_ptr<BenchPackage> package;
    std::shared_ptr<ZERI_TessarineModel> document;
    std::shared_ptr<ZERI_FlowScreenModel> screen;
};

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

// Builds the scene (timed), waits for the workers' decoding (untimed), paints it once (timed).
struct Times {
    qint64 build = 0;
    qint64 paint = 0;
};

template <class Build> void buildAndPaint(const Build& build, bool& decoded, Times& times)
{
    ModelImageCache::clear();
    QGraphicsScene scene;
    scene.setSceneRect(0, 0, 1024, 748);
    QElapsedTimer timer;
    timer.start();
    build(scene);
    times.build += timer.nsecsElapsed();
    decoded = waitUntilDecoded(scene) && decoded;
    QImage target(1024, 748, QImage::Format_ARGB32_Premultiplied);
    timer.restart();
    QPainter painter(&target);
    scene.render(&painter, QRectF(0, 0, 1024, 748), QRectF(0, 0, 1024, 748));
    painter.end();
    times.paint += timer.nsecsElapsed();
    benchmark::DoNotOptimize(target.constBits());
}

void BM_ContainersAgainstBareViews(benchmark::State& state)
{
    static PictureScreen screen;
    Times bareTimes;
    Times containerTimes;
    bool decoded = true;
    for (auto _ : state) {
        buildAndPaint([&](QGraphicsScene& scene) { ScreenScene::populate(scene, screen.screen); }, decoded, bareTimes);
        buildAndPaint([&](QGraphicsScene& scene) { scene.addItem(new QVR_CreatorSingleScreen(screen.screen, false)); },
                      decoded, containerTimes);
    }
    const qint64 bare = bareTimes.build + bareTimes.paint;
    const qint64 containers = containerTimes.build + containerTimes.paint;
    if (!decoded)
        state.SkipWithError("pictures were not decoded in time");
    const double runs = double(state.iterations());
    state.counters["bare_ms"] = bare / runs / 1e6;
    state.counters["containers_ms"] = containers / runs / 1e6;
    state.counters["bare_build_ms"] = bareTimes.build / runs / 1e6;
    state.counters["containers_build_ms"] = containerTimes.build / runs / 1e6;
    state.counters["ratio"] = bare > 0 ? double(containers) / double(bare) : 0.0;
}
BENCHMARK(BM_ContainersAgainstBareViews)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

int main(int argc, char** argv)
{
    return runQtBenchmarks<QApplication>(argc, argv);
}
