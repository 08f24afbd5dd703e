#include <benchmark/benchmark.h>

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QImageWriter>
#include <QPainter>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QUrl>

#include "elements/images/ImageUtils.h"
#include "platform/AppPaths.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "support/MainThreadHeartbeat.h"
#include "support/QtBenchmarkMain.h"
#include "tessarine_data_model/ModelDrawing.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Shape.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "viewer/previews/QVRScreenPreviewGenerator.h"
#include "viewer/previews/TessarineBackgroundedScreenPreview.h"
#include "viewer/previews/ViewerPreviewsLibrary.h"

namespace {

constexpr int kScreens = 50;
constexpr int kObjectsPerScreen = 10;
constexpr int kViews = 60;

// A saved 50-screen document whose screens hold ten mixed objects each: pictures in the package's asset folder,
// shapes and texts.
struct BenchDocument {
    QTemporaryDir support;
    QTemporaryDir temporary;
    QTemporaryDir floorOutput;
    std::shared_ptr<ZERI_TessarineModel> document;

    BenchDocument()
    {
        AppPaths::setApplicationSupportForTesting(support.path());
        AppPaths::setTemporaryForTesting(temporary.path());
        ZERI_qvdFilePackage::registerWithDocumentModel();
        registerViewerPreviewsLibrary();
        document = ZERI_TessarineModel::create();
        for (int s = 0; s < kScreens; ++s)
            document->firstFlowmodel()->addFlowScreen(ZERI_FlowScreenModel::create());
        Error error;
        if (!ZERI_qvdFilePackage::saveModelToFile(document, &error))
            qFatal("cannot save the benchmark document: %s", qPrintable(error.message));
        const QString assets = std::dynamic_pointer_cast<ZERI_qvdFilePackage>(document->filePackage())->assetsPath();
        QStringList pictures;
        for (int i = 0; i < 6; ++i) {
            QImage picture(480, 360, QImage::Format_RGB32);
            for (int y = 0; y < picture.height(); ++y)
                for (int x = 0; x < picture.width(); ++x)
                    picture.setPixel(x, y, qRgb((x + i * 40) % 256, (y * 3) % 256, (x ^ y) % 256));
            pictures << QDir(assets).filePath(QStringLiteral("picture%1.jpg").arg(i));
            ImageUtils::writeImage(picture, pictures.last(), true);
        }
        int n = 0;
        for (const auto& screen : document->firstFlowmodel()->screenModels()) {
            screen->setBackgroundColor(QColor::fromHsv((n * 13) % 360, 30, 245));
            for (int i = 0; i < kObjectsPerScreen; ++i, ++n) {
                const QRectF frame(30 + (i % 5) * 195, 40 + (i / 5) * 330, 240, 300);
                std::shared_ptr<ZERI_MixedMediaObjectProxy> object;
                if (i % 3 == 0) {
                    object = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Image);
                    auto asset = ZERI_ContentAsset::create();
                    asset->setExternalURL(QUrl::fromLocalFile(pictures[n % pictures.size()]));
                    object->object()->setCroppedImageAsset(asset);
                } else if (i % 3 == 1) {
                    object = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Shape);
                    object->as<ZERI_MMObject_Shape>()->setShapeType(1 + n % 8);
                    object->as<ZERI_MMObject_Shape>()->setColor(QColor::fromHsv(n * 18 % 360, 180, 210));
                } else {
                    object = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Text);
                    object->as<ZERI_MMObject_Text>()->setText(
                        QStringLiteral("Text %1 with a few words that wrap over two or three lines").arg(n));
                }
                object->object()->setFrame(frame);
                screen->addMixedMediaObject(object);
            }
        }
    }
    ~BenchDocument()
    {
        AppPaths::setApplicationSupportForTesting(QString());
        AppPaths::setTemporaryForTesting(QString());
    }
};

BenchDocument& benchDocument()
{
    static BenchDocument bench;
    return bench;
}

QByteArray jpeg(const QImage& image)
{
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(QVRScreenPreviewGenerator::kJpegQuality);
    writer.write(image);
    return data;
}

// The floor: the same drawing, encoding and writing on one thread, nothing else.
double floorMs()
{
    BenchDocument& bench = benchDocument();
    QElapsedTimer timer;
    timer.start();
    int n = 0;
    for (const auto& screen : bench.document->firstFlowmodel()->screenModels()) {
        for (const bool text : {true, false}) {
            const QImage picture = ModelDrawing::renderScreen(*screen, 1.0, false, text);
            QSaveFile file(bench.floorOutput.filePath(QStringLiteral("floor%1.jpg").arg(n++)));
            file.open(QIODevice::WriteOnly);
            file.write(jpeg(picture));
            file.commit();
        }
    }
    return timer.nsecsElapsed() / 1e6;
}

void BM_RegenerateEveryPreview(benchmark::State& state)
{
    BenchDocument& bench = benchDocument();
    const auto screens = bench.document->firstFlowmodel()->screenModels();
    floorMs(); // decodes the pictures once, as an edited document has them
    for (auto _ : state) {
        const double floor = floorMs();
        for (const auto& screen : screens)
            screen->setPreviewInvalidated(true);
        MainThreadHeartbeat heartbeat(10);
        std::vector<std::unique_ptr<QVRScreenPreviewGenerator>> generators;
        int finished = 0;
        QElapsedTimer timer;
        timer.start();
        for (const auto& screen : screens) {
            generators.push_back(std::make_unique<QVRScreenPreviewGenerator>(screen));
            generators.back()->retreiveOrGenerateScreenPreviews([&finished](const auto&, const auto&) { ++finished; });
        }
        while (finished < kScreens)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        const double measured = timer.nsecsElapsed() / 1e6;
        heartbeat.stop();
        state.counters["floor_ms"] = floor;
        state.counters["previews_ms"] = measured;
        state.counters["ratio"] = measured / floor;
        state.counters["target_ratio"] = 1.3;
        state.counters["heartbeat_lag_ms"] = heartbeat.longestLagMs();
        state.counters["target_lag_ms"] = 50;
        state.SetIterationTime(measured / 1000);
    }
}
BENCHMARK(BM_RegenerateEveryPreview)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_BackgroundedPreviewsFromStoredFiles(benchmark::State& state)
{
    BenchDocument& bench = benchDocument();
    const auto screens = bench.document->firstFlowmodel()->screenModels();
    // Every screen needs stored previews first.
    std::vector<std::unique_ptr<QVRScreenPreviewGenerator>> generators;
    int stored = 0;
    for (const auto& screen : screens) {
        generators.push_back(std::make_unique<QVRScreenPreviewGenerator>(screen));
        generators.back()->retreiveOrGenerateScreenPreviews([&stored](const auto&, const auto&) { ++stored; });
    }
    while (stored < kScreens)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    QStringList files;
    for (int i = 0; i < kViews; ++i)
        files << screens[i % kScreens]->previewScreenShotAsset()->localFilePath();

    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        for (const QString& file : files)
            benchmark::DoNotOptimize(ImageUtils::createCGImageFromNSDATA_JPEG(ImageUtils::readFile(file)));
        const double floor = timer.nsecsElapsed() / 1e6;

        timer.restart();
        for (const QString& file : files)
            benchmark::DoNotOptimize(QVRScreenPreviewGenerator::decodePreviewFile(file, QSize(512, 374)));
        state.counters["decode_only_ms"] = timer.nsecsElapsed() / 1e6;
        QWidget window;
        timer.restart();
        for (int i = 0; i < kViews; ++i) {
            auto* view = new TessarineBackgroundedScreenPreview(QRect(0, 0, 512, 374), screens[i % kScreens], &window);
            benchmark::DoNotOptimize(view->currentPreviewImage());
        }
        const double measured = timer.nsecsElapsed() / 1e6;
        state.counters["floor_ms"] = floor;
        state.counters["views_ms"] = measured;
        state.counters["ratio"] = measured / floor;
        state.counters["target_ratio"] = 0.6;
        state.SetIterationTime(measured / 1000);
    }
}
BENCHMARK(BM_BackgroundedPreviewsFromStoredFiles)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return runQtBenchmarks<QApplication>(argc, argv);
}
