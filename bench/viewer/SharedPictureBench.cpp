// A document of 1,000 objects that share one 6000 × 4000 picture (as the service keeps pictures: the original alone),
// opened in a creator window and in a viewer window. Prints the peak resident memory of each open (VmHWM), beyond
// nothing: the whole process's (peak_rss_creator_mb, peak_rss_viewer_mb); target under 600 MB each. The picture is
// decoded about once per window, however many objects use it.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPointer>
#include <QTemporaryDir>

#include "app/QVRWindowManager.h"
#include "creator/CreatorLibrary.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "support/BenchPackage.h"
#include "support/ProcessMemory.h"
#include "support/QtBenchmarkMain.h"
#include "support/SpinUntil.h"
#include "tessarine_data_model/ModelDrawing.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "viewer/QVRViewerViewController.h"
#include "viewer/QVRViewerWindow.h"
#include "viewer/previews/ViewerPreviewsLibrary.h"

namespace {

constexpr int kScreens = 20;
constexpr int kObjectsPerScreen = 50;

// The highest resident memory since the last resetPeakResident(), in MB (VmHWM of /proc/self/status).
double peakResidentMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').front().toDouble() / 1024.0;
    }
    return 0;
}

void resetPeakResident()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (!clear.open(QIODevice::WriteOnly) || clear.write("5") != 1)
        qWarning() << "the peak resident memory cannot be reset; the figure includes what came before";
}

// One 6000 × 4000 picture with detail everywhere (so that it does not shrink to nothing on disk), as a PNG.
QString writeLargePicture(const QString& folder)
{
    QImage picture(6000, 4000, QImage::Format_RGB32);
    QPainter painter(&picture);
    for (int y = 0; y < picture.height(); y += 20)
        painter.fillRect(0, y, picture.width(), 20, QColor::fromHsv((y / 20) % 360, 160, 200));
    for (int x = 0; x < picture.width(); x += 37)
        painter.fillRect(x, 0, 3, picture.height(), QColor::fromHsv((x / 37 * 13) % 360, 220, 120));
    painter.end();
    const QString path = QDir(folder).filePath(QStringLiteral("shared-original.png"));
    picture.save(path, "PNG", 90);
    return path;
}

// The document as the service would send it, every object naming the same original and nothing else.
std::shared_ptr<ZERI_TessarineModel> sharedPictureDocument(const std::shared_ptr<BenchPackage>& package,
                                                           const QString& picture)
{
    auto document = ZERI_TessarineModel::create();
    document->setDontSave(true);
    document->setFilePackage(package);
    for (int s = 0; s < kScreens; ++s) {
        auto screen = ZERI_FlowScreenModel::create();
        for (int i = 0; i < kObjectsPerScreen; ++i) {
            auto object = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Image);
            object->object()->setFrame(QRectF(10 + (i % 10) * 100, 10 + (i / 10) * 140, 90, 60));
            auto original = ZERI_ContentAsset::create();
            original->setExternalURL(QUrl::fromLocalFile(picture));
            object->object()->setOriginalImageAsset(original);
            screen->addMixedMediaObject(object);
        }
        document->firstFlowmodel()->addFlowScreen(screen);
    }
    return document;
}

// Waits until every object of the first screen has its cropped picture, or `timeoutMs`.
bool firstScreenCropped(const ZERI_TessarineModel& document, int timeoutMs)
{
    return waitUntil(
        [&] {
            for (const auto& proxy : document.firstFlowmodel()->screenModels().front()->mixedMediaObjects())
                if (!proxy->object()->croppedImageAsset())
                    return false;
            return true;
        },
        timeoutMs);
}

void BM_OneLargePictureSharedByAThousandObjects(benchmark::State& state)
{
    registerCreatorLibrary();
    registerViewerPreviewsLibrary();
    QTemporaryDir folder;
    const auto package = std::make_shared<BenchPackage>(folder.path());
    QDir().mkpath(package->assetStoragePath());
    const QString picture = writeLargePicture(package->assetStoragePath());
    for (auto _ : state) {
        ModelImageCache::clear();
        resetPeakResident();
        QElapsedTimer clock;
        clock.start();
        double creatorSeconds = 0;
        {
            auto document = sharedPictureDocument(package, picture);
            QPointer<QVR_CreatorWindow> window =
                qobject_cast<QVR_CreatorWindow*>(QVRWindowManager::sharedInstance().makeCreatorWindow());
            window->resize(1300, 900);
            window->launchTessarineWithTessarineModel(document);
            window->show();
            if (!firstScreenCropped(*document, 120000))
                state.SkipWithError("the creator did not crop the first screen's pictures");
            waitUntil([] { return false; }, 3000); // the strip's previews
            creatorSeconds = clock.nsecsElapsed() / 1e9;
            window->close();
            delete window.data();
            waitUntil([] { return false; }, 500);
        }
        const double creatorPeak = peakResidentMegabytes();

        ModelImageCache::clear();
        resetPeakResident();
        clock.restart();
        {
            auto document = sharedPictureDocument(package, picture);
            QVRViewerWindow window;
            window.resize(1100, 800);
            window.show();
            window.windowController()->setTessarineModel(document);
            // The player shows a copy of its own.
            const auto shown = window.windowController()->shallowCopy();
            if (!shown || !firstScreenCropped(*shown, 120000))
                state.SkipWithError("the viewer did not show the first screen's pictures");
            waitUntil([] { return false; }, 2000);
        }
        const double viewerSeconds = clock.nsecsElapsed() / 1e9;
        const double viewerPeak = peakResidentMegabytes();
        state.counters["peak_rss_creator_mb"] = creatorPeak;
        state.counters["peak_rss_viewer_mb"] = viewerPeak;
        printFigure("objects", kScreens * kObjectsPerScreen);
        printFigure("peak_rss_creator_mb", creatorPeak);
        printFigure("peak_rss_viewer_mb", viewerPeak);
        printFigure("creator_open_s", creatorSeconds);
        printFigure("viewer_open_s", viewerSeconds);
    }
}
BENCHMARK(BM_OneLargePictureSharedByAThousandObjects)->Unit(benchmark::kSecond)->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    return runQtBenchmarks<QApplication>(argc, argv);
}
