// Adding 20 JPEGs of 6000 × 4000 and a 200 MB movie (a short clip padded by a trailing "free" atom) from file URLs
// to a screen shown in an offscreen creator window.
// Targets: no main-thread gap over 16 ms up to the done block, nor from a mid-movie cancel to the restored screen;
// the whole addition at most 1.25 × the same set-ups and pictures chained through the storage layer alone.

#include <benchmark/benchmark.h>

#include <memory>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QtEndian>

#include "../../tests/elements/video/MediaTestClips.h"
#include "app/QVRWindowManager.h"
#include "creator/CreatorLibrary.h"
#include "creator/addition/QVRContentAdditionManager.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "storage/MixedMediaObjectStorage.h"
#include "storage/QVRDataFromURLDataItem.h"
#include "support/BenchCreatorWindow.h"
#include "support/MainThreadHeartbeat.h"
#include "support/QtBenchmarkMain.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

constexpr int kPictures = 20;
constexpr qint64 kMovieBytes = 200LL * 1024 * 1024;

// The source files, made once per run.
struct Sources {
    QTemporaryDir dir;
    QList<QUrl> urls;
    bool ok = false;

    Sources()
    {
        for (int i = 0; i < kPictures; ++i) {
            QImage image(6000, 4000, QImage::Format_RGB32);
            image.fill(QColor::fromHsv((i * 17) % 360, 160, 200));
            const QString path = dir.filePath(QStringLiteral("picture-%1.jpg").arg(i));
            if (!image.save(path, "JPEG", 85))
                return;
            urls.append(QUrl::fromLocalFile(path));
        }
        const QString movie = dir.filePath(QStringLiteral("movie.mp4"));
        if (!MediaTestClips::toolsAvailable() || !MediaTestClips::makeVideo(movie, 640, 360, 2, 0))
            return;
        QFile file(movie);
        if (!file.open(QIODevice::Append))
            return;
        const qint64 pad = kMovieBytes - file.size();
        QByteArray header(8, '\0');
        qToBigEndian(quint32(pad), header.data());
        memcpy(header.data() + 4, "free", 4);
        file.write(header);
        const QByteArray chunk(4 * 1024 * 1024, '\0');
        for (qint64 left = pad - 8; left > 0; left -= chunk.size())
            file.write(chunk.constData(), std::min<qint64>(left, chunk.size()));
        urls.append(QUrl::fromLocalFile(movie));
        ok = true;
    }
};

Sources& sources()
{
    static Sources instance;
    return instance;
}

// A one-screen document with an asset folder, shown in a creator window.
struct Window : BenchCreatorWindow {
    Window()
        : BenchCreatorWindow(QStringLiteral("addition"))
    {
        QVRContentAdditionManager::setPresetChooserForTesting(
            [](QWidget*, QVRContentAdditionManager::PresetBlock done) { done(nullptr); });
        show();
    }
};

template <class Condition> void waitUntil(Condition condition)
{
    while (!condition())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
}

// The floor: the same set-ups and pictures one after another, straight through the storage layer.
double chainedThroughStorageMs()
{
    Window w;
    QElapsedTimer timer;
    timer.start();
    int index = 0;
    bool done = false;
    std::function<void()> next = [&] {
        if (index == sources().urls.size()) {
            done = true;
            return;
        }
        const QUrl url = sources().urls[index++];
        auto item = std::make_shared<QVRDataFromURLDataItem>();
        const bool movie = url.path().endsWith(QStringLiteral(".mp4"));
        item->setType(movie ? QVRDataItem::Video : QVRDataItem::Image);
        item->setContentUrl(url);
        auto object =
            ZERI_MixedMediaObject::objectWithType(movie ? ZERI_MixedMediaObject::Video : ZERI_MixedMediaObject::Image);
        (*object)->setFrame(QRectF(10, 10, 400, 300));
        w.screen->addMixedMediaObject(object);
        MixedMediaObjectStorage::setupUsingDataItem(object, item, [&, object](const Error&) {
            const QSizeF size = MixedMediaObjectStorage::originalImageSize(*object->object());
            if (size.width() > 0)
                (*object)->setFrame(QRectF(QPointF(10, 10), size.scaled(1024, 748, Qt::KeepAspectRatio)));
            (*object)->setZoomScale(size.width() > 0 ? (*object)->frame().width() / size.width() : 1.0);
            if (!MixedMediaObjectStorage::makeAndSetCroppedImageAssetFromOriginalImageAsset(
                    object, [&](const Error&) { next(); }))
                next();
        });
    };
    next();
    waitUntil([&] { return done; });
    return double(timer.nsecsElapsed()) / 1e6;
}

void BM_AddPicturesAndAMovie(benchmark::State& state)
{
    if (!sources().ok) {
        state.SkipWithError("the source files could not be made (ffmpeg missing?)");
        return;
    }
    double worstGap = 0;
    double worstRatio = 0;
    for (auto _ : state) {
        const double floor = chainedThroughStorageMs();
        Window w;
        MainThreadHeartbeat heartbeat(4);
        QElapsedTimer timer;
        timer.start();
        bool done = false;
        size_t added = 0;
        w.window->contentAdditionManager()->addObjectsFromFileURLs(
            sources().urls, w.screen, {}, [&](const QVRContentAdditionManager::Objects& objects, const Error&) {
                done = true;
                added = objects.size();
            });
        waitUntil([&] { return done; });
        const double total = double(timer.nsecsElapsed()) / 1e6;
        heartbeat.stop();
        if (added != size_t(sources().urls.size()))
            state.SkipWithError("not everything was added");
        worstGap = std::max(worstGap, heartbeat.longestGapMs());
        worstRatio = std::max(worstRatio, total / floor);
        state.SetIterationTime(total / 1000.0);
    }
    state.counters["longest_gap_ms"] = worstGap;
    state.counters["ratio_to_storage_alone"] = worstRatio;
}
BENCHMARK(BM_AddPicturesAndAMovie)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(2);

void BM_CancelMidMovie(benchmark::State& state)
{
    if (!sources().ok) {
        state.SkipWithError("the source files could not be made (ffmpeg missing?)");
        return;
    }
    double worstGap = 0;
    for (auto _ : state) {
        Window w;
        bool done = false;
        bool cancelled = false;
        double cancelMs = 0;
        std::unique_ptr<MainThreadHeartbeat> heartbeat;
        QElapsedTimer sinceCancel;
        QVRContentAdditionManager* manager = w.window->contentAdditionManager();
        manager->addObjectsFromFileURLs(
            {sources().urls.last()}, w.screen,
            [&](double fraction) {
                if (!cancelled && fraction >= 0.5) {
                    cancelled = true;
                    QElapsedTimer call;
                    call.start();
                    sinceCancel.start();
                    manager->cancel(); // rolls the screen back before it returns
                    cancelMs = double(call.nsecsElapsed()) / 1e6;
                    heartbeat = std::make_unique<MainThreadHeartbeat>(4);
                }
            },
            [&](const QVRContentAdditionManager::Objects&, const Error&) { done = true; });
        waitUntil([&] { return done; });
        // The views catch up with the restored screen.
        QApplication::processEvents();
        const double restored = double(sinceCancel.nsecsElapsed()) / 1e6;
        if (heartbeat) {
            heartbeat->stop();
            worstGap = std::max({worstGap, cancelMs, heartbeat->longestGapMs()});
        }
        state.SetIterationTime(restored / 1000.0);
    }
    state.counters["longest_gap_ms"] = worstGap;
}
BENCHMARK(BM_CancelMidMovie)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

// The machine's own noise: the longest gap of an idle event loop over one second.
void BM_IdleLoop(benchmark::State& state)
{
    double worstGap = 0;
    for (auto _ : state) {
        MainThreadHeartbeat heartbeat(4);
        QElapsedTimer timer;
        timer.start();
        waitUntil([&] { return timer.elapsed() >= 1000; });
        heartbeat.stop();
        worstGap = std::max(worstGap, heartbeat.longestGapMs());
    }
    state.counters["longest_gap_ms"] = worstGap;
}
BENCHMARK(BM_IdleLoop)->Unit(benchmark::kMillisecond)->Iterations(2);

} // namespace

int main(int argc, char** argv)
{
    return runQtBenchmarks<QApplication>(argc, argv);
}
