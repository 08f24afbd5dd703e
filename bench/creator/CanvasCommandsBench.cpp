// Canvas commands on an offscreen creator window.
// Copy: 20 images and a 200 MB video selected and copied; targets: no main-thread gap over 16 ms until the
// clipboard is written, and the write within 1.5 × hard-linking the same files (same run, same disk).
// To front: 50 of 200 overlapping shapes selected; target: one 16 ms frame from the command to the painted viewport.

#include <benchmark/benchmark.h>

#include <memory>

#include <unistd.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>

#include "app/QVRWindowManager.h"
#include "creator/CreatorLibrary.h"
#include "creator/canvas/QVR_CreatorSingleScreen.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/interaction/QVR_InteractableViewHandler.h"
#include "creator/interaction/QVR_SelectedItemView.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "support/BenchCreatorWindow.h"
#include "support/MainThreadHeartbeat.h"
#include "support/QtBenchmarkMain.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Shape.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

constexpr int kImages = 20;
constexpr qint64 kVideoBytes = 200LL * 1024 * 1024;

struct Window : BenchCreatorWindow {
    QStringList files;

    Window()
        : BenchCreatorWindow(QStringLiteral("canvas"))
    {
    }
    QString assetFile(const QString& name) const { return QDir(package->assetStoragePath()).filePath(name); }
    void addMedia(int type, const QString& path, const QRectF& frame)
    {
        auto object = ZERI_MixedMediaObject::objectWithType(type);
        auto asset = ZERI_ContentAsset::create();
        asset->setExternalURL(QUrl::fromLocalFile(path));
        if (type == ZERI_MixedMediaObject::Video)
            (*object)->setVideoAsset(asset);
        else
            (*object)->setOriginalImageAsset(asset);
        (*object)->setFrame(frame);
        screen->addMixedMediaObject(object);
        files.append(path);
    }
    QVR_InteractableViewHandler* handler() const
    {
        return QVR_InteractableViewHandler::handlerForBoard(window->theArtBoard());
    }
};

template <class Condition> void waitUntil(Condition condition)
{
    while (!condition())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
}

void BM_CopyImagesAndAVideo(benchmark::State& state)
{
    Window w;
    for (int i = 0; i < kImages; ++i) {
        QImage image(3000, 2000, QImage::Format_RGB32);
        image.fill(QColor::fromHsv((i * 17) % 360, 160, 200));
        const QString path = w.assetFile(QStringLiteral("image-%1.jpg").arg(i));
        image.save(path, "JPEG", 85);
        w.addMedia(ZERI_MixedMediaObject::Image, path, QRectF(10 + i, 10 + i, 300, 200));
    }
    {
        const QString path = w.assetFile(QStringLiteral("video.mp4"));
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        const QByteArray chunk(4 * 1024 * 1024, '\x01');
        for (qint64 written = 0; written < kVideoBytes; written += chunk.size())
            file.write(chunk);
        w.addMedia(ZERI_MixedMediaObject::Video, path, QRectF(400, 300, 320, 180));
    }
    w.show();
    double worstGap = 0;
    double worstRatio = 0;
    double worstCall = 0;
    for (auto _ : state) {
        QGuiApplication::clipboard()->clear();
        w.window->performSelectAll(0);
        // The board settles (pictures drawn, selection shown, the previous copy's files gone) before the copy.
        QElapsedTimer settle;
        settle.start();
        waitUntil([&] { return settle.elapsed() >= 500; });

        // The floor, measured in the same quiet: hard-linking the same files into a folder of their own.
        QTemporaryDir links(QDir(w.dir.path()).filePath(QStringLiteral("links-XXXXXX")));
        QElapsedTimer linking;
        linking.start();
        for (const QString& path : std::as_const(w.files))
            ::link(QFile::encodeName(path).constData(),
                   QFile::encodeName(QDir(links.path()).filePath(QFileInfo(path).fileName())).constData());
        const double linkMs = double(linking.nsecsElapsed()) / 1e6;
        bool written = false;
        QMetaObject::Connection connection =
            QObject::connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, [&] {
                const QMimeData* data = QGuiApplication::clipboard()->mimeData();
                written = data && data->hasFormat(ZERI_MixedMediaObject::kPasteboardType);
            });
        MainThreadHeartbeat heartbeat(4);
        QElapsedTimer timer;
        timer.start();
        QElapsedTimer call;
        call.start();
        w.window->performCopy(0);
        const double callMs = double(call.nsecsElapsed()) / 1e6;
        worstCall = std::max(worstCall, callMs);
        heartbeat.noteGapMs(callMs);
        waitUntil([&] { return written; });
        const double copyMs = double(timer.nsecsElapsed()) / 1e6;
        heartbeat.stop();
        QObject::disconnect(connection);
        worstGap = std::max(worstGap, heartbeat.longestGapMs());
        worstRatio = std::max(worstRatio, linkMs > 0 ? copyMs / linkMs : 0.0);
        state.SetIterationTime(copyMs / 1000.0);
    }
    state.counters["longest_gap_ms"] = worstGap;
    state.counters["ratio_to_linking"] = worstRatio;
    state.counters["command_ms"] = worstCall;
}
BENCHMARK(BM_CopyImagesAndAVideo)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

void BM_ToFrontFiftyOfTwoHundred(benchmark::State& state)
{
    Window w;
    for (int i = 0; i < 200; ++i) {
        auto object = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Shape);
        (*object)->setFrame(QRectF(100 + (i % 40) * 10, 100 + (i / 40) * 20, 200, 150));
        if (auto shape = object->as<ZERI_MMObject_Shape>()) {
            shape->setShapeType(ZERI_MMObject_Shape::Rectangle);
            shape->setColor(QColor::fromHsv((i * 7) % 360, 200, 220));
        }
        w.screen->addMixedMediaObject(object);
    }
    w.show();
    auto* handler = w.handler();
    auto* single = w.window->theArtBoard()->singleScreen();
    if (!handler || !single) {
        state.SkipWithError("no editable board");
        return;
    }
    std::vector<QVR_MixedMediaElementContainingView*> chosen;
    const auto containers = single->elementContainers();
    for (std::size_t i = 0; i < containers.size() && chosen.size() < 50; i += 4)
        chosen.push_back(containers[i]);
    QWidget* viewport = w.window->theArtBoard()->findChild<QWidget*>(QStringLiteral("qt_scrollarea_viewport"));
    for (auto _ : state) {
        handler->setCurrentlySelected(chosen);
        QApplication::processEvents();
        QElapsedTimer timer;
        timer.start();
        w.window->performBringToFront(0);
        if (viewport)
            viewport->repaint();
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
        QApplication::processEvents();
    }
}
BENCHMARK(BM_ToFrontFiftyOfTwoHundred)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(20);

} // namespace

int main(int argc, char** argv)
{
    return runQtBenchmarks<QApplication>(argc, argv);
}
