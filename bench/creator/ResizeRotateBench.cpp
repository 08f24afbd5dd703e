// Resizing and rotating an image through the selection frame's handles, once with a 4000 × 3000 JPEG original
// and once with a 400 × 300 one, in the same run. For each:
// - every drag step (model write, snapping, containers, painted viewport) is timed: median and maximum;
// - after the release, the longest main-thread gap until the new picture is set (heartbeat every 4 ms);
// - release to picture set, against a floor measured in the same run: decode the original with QImage, draw the
//   same crop and write it as PNG.
// Targets: every step within 16 ms and the large original's median at most 1.2 × the small one's; no gap over
// 16 ms after the release; release to picture at most 1.5 × the floor.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include "creator/canvas/QVR_ArtBoardScrollView.h"
#include "creator/canvas/QVR_CreatorSingleScreen.h"
#include "creator/canvas/QVR_MixedMediaElementContainingView.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/interaction/QVR_InteractableViewHandler.h"
#include "creator/interaction/QVR_SelectedItemView.h"
#include "creator/snapping/SnappingGrid.h"
#include "creator/snapping/SnappingUtils.h"
#include "storage/MixedMediaObjectStorage.h"
#include "support/BenchPackage.h"
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

constexpr int kSteps = 100;
constexpr int kObjects = 40; // other objects on the screen, so snapping has lines to look at

struct Measures {
    std::vector<qint64> steps;
    double longestGapMs = 0;
    double releaseToPictureMs = 0;
    double floorMs = 0;
};

double median(std::vector<qint64> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2] / 1e6;
}

double maximum(const std::vector<qint64>& values)
{
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end()) / 1e6;
}

// One screen with an image at (100, 100, 400, 300) whose original is a `pixels` JPEG, and a board showing it
// with its interaction handler; the image is selected.
struct Scene {
    explicit Scene(QSize pixels)
        : package(std::make_shared<BenchPackage>(dir.path()))
        , document(ZERI_TessarineModel::create())
    {
        QDir().mkpath(package->assetStoragePath());
        document->setDontSave(true);
        document->setFilePackage(package);
        screen = ZERI_FlowScreenModel::create();
        screen->setInternalID(QStringLiteral("S0"));
        document->firstFlowmodel()->addFlowScreen(screen);
        for (int i = 0; i < kObjects; ++i) {
            auto other = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Shape);
            (*other)->setFrame(QRectF(600 + i % 8 * 50, 50 + i / 8 * 130, 30, 60));
            other->as<ZERI_MMObject_Shape>()->setShapeType(ZERI_MMObject_Shape::Rectangle);
            screen->addMixedMediaObject(other);
        }
        QImage picture(pixels, QImage::Format_RGB32);
        QPainter painter(&picture);
        QLinearGradient gradient(0, 0, pixels.width(), pixels.height());
        gradient.setColorAt(0, Qt::darkGreen);
        gradient.setColorAt(1, Qt::yellow);
        painter.fillRect(picture.rect(), gradient);
        painter.end();
        originalPath = QDir(package->assetStoragePath()).filePath(QStringLiteral("original.jpg"));
        picture.save(originalPath, "JPEG", 90);
        auto asset = ZERI_ContentAsset::create();
        asset->setExternalURL(QUrl::fromLocalFile(originalPath));
        image = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Image);
        (*image)->setFrame(QRectF(100, 100, 400, 300));
        (*image)->setOriginalImageAsset(asset);
        (*image)->setZoomScale(400.0 / pixels.width());
        (*image)->setZoomOffset(QSizeF(0, 0));
        screen->addMixedMediaObject(image);

        board.setScreenModel(screen);
        board.resize(1300, 1000);
        board.show();
        board.setZoomLevelWithoutNotification(1.0);
        QApplication::processEvents();
        handler = new QVR_InteractableViewHandler(&board);
        handler->setCurrentlySelected({board.singleScreen()->containerForMixedMediaObject(image)});
        waitForPicture();
    }

    void waitForPicture()
    {
        QElapsedTimer timer;
        timer.start();
        while ((handler->isBusy() || !(*image)->croppedImageAsset()) && timer.elapsed() < 30000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }

    // One handle drag: kSteps moves along `path`, each timed to the painted viewport; then the release, the
    // wait for the picture with the heartbeat running, and the undo.
    void drag(QGraphicsObject* handle, const std::function<QPointF(int)>& path, Measures& measures)
    {
        QWidget* viewport = board.theScrollView()->viewport();
        handler->dragBegan(handle, path(0), {});
        for (int i = 1; i <= kSteps; ++i) {
            QElapsedTimer timer;
            timer.start();
            handler->dragMoved(handle, path(i));
            QCoreApplication::processEvents();
            viewport->repaint();
            measures.steps.push_back(timer.nsecsElapsed());
        }
        MainThreadHeartbeat heartbeat(4);
        QElapsedTimer sinceRelease;
        sinceRelease.start();
        handler->dragEnded(handle, path(kSteps));
        heartbeat.noteGapMs(sinceRelease.nsecsElapsed() / 1e6);
        while (handler->isBusy() && sinceRelease.elapsed() < 30000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
        measures.releaseToPictureMs = std::max(measures.releaseToPictureMs, sinceRelease.nsecsElapsed() / 1e6);
        heartbeat.stop();
        measures.longestGapMs = std::max(measures.longestGapMs, heartbeat.longestGapMs());
        document->firstFlowmodel()->undoManager().undo();
        QCoreApplication::processEvents();
        waitForPicture();
    }

    // Decode the original, draw the crop the gesture ended with, write it as PNG.
    double floorMs(const QSizeF& frame, double zoom, const QSizeF& offset, int rotation) const
    {
        QElapsedTimer timer;
        timer.start();
        const QImage original(originalPath);
        const QImage crop = MixedMediaObjectStorage::renderCroppedImage(original, frame, zoom, offset, rotation, 1.0);
        crop.save(QDir(dir.path()).filePath(QStringLiteral("floor.png")), "PNG");
        return timer.nsecsElapsed() / 1e6;
    }

    QTemporaryDir dir;
    std::shared_ptr<BenchPackage> package;
    std::shared_ptr<ZERI_TessarineModel> document;
    std::shared_ptr<ZERI_FlowScreenModel> screen;
    std::shared_ptr<ZERI_MixedMediaObjectProxy> image;
    QString originalPath;
    QVR_SingleScreenArtBoardView board;
    QVR_InteractableViewHandler* handler = nullptr;
};

void report(benchmark::State& state, const char* name, const Measures& m)
{
    const std::string prefix(name);
    state.counters[prefix + "_median_step_ms"] = median(m.steps);
    state.counters[prefix + "_max_step_ms"] = maximum(m.steps);
    state.counters[prefix + "_longest_gap_ms"] = m.longestGapMs;
    state.counters[prefix + "_release_to_picture_ms"] = m.releaseToPictureMs;
    state.counters[prefix + "_floor_ms"] = m.floorMs;
    state.counters[prefix + "_picture_vs_floor"] = m.floorMs > 0 ? m.releaseToPictureMs / m.floorMs : 0;
}

void run(benchmark::State& state, bool rotate)
{
    SnappingUtils::sharedSnappingGrid().setSnappingIsDisabled(false);
    Measures large, small;
    {
        Scene bigScene(QSize(4000, 3000));
        Scene smallScene(QSize(400, 300));
        // The handles come from a frame of their own; the handler only needs to know which one is dragged.
        QWidget holder;
        QVR_SelectedItemView frame(&holder);
        QGraphicsObject* handle = rotate ? static_cast<QGraphicsObject*>(frame.handle(2, true))
                                         : static_cast<QGraphicsObject*>(frame.handle(2, false));
        // Resize: the bottom-right corner out by up to (150, 110); rotate: a quarter turn clockwise.
        const auto path = [rotate](int i) {
            const double f = double(i) / kSteps;
            if (!rotate)
                return QPointF(150 * f, 110 * f);
            const QPointF start(200, 150); // the bottom-right corner from the centre
            const double r = f * 3.14159265358979 / 2;
            return QPointF(start.x() * std::cos(r) - start.y() * std::sin(r),
                           start.x() * std::sin(r) + start.y() * std::cos(r)) -
                   start;
        };
        for (auto _ : state) {
            bigScene.drag(handle, path, large);
            smallScene.drag(handle, path, small);
        }
        // The floors: the crop each gesture ended with.
        const QSizeF endFrame = rotate ? QSizeF(300, 400) : QSizeF(550, 412.5);
        for (Scene* scene : {&bigScene, &smallScene}) {
            const double zoom = (*scene->image)->zoomScale().value_or(1) * (rotate ? 1.0 : 550.0 / 400.0);
            Measures& m = scene == &bigScene ? large : small;
            m.floorMs = scene->floorMs(endFrame, zoom, QSizeF(0, 0), rotate ? 1 : 0);
        }
    }
    report(state, "large", large);
    report(state, "small", small);
    state.counters["median_large_vs_small"] = median(small.steps) > 0 ? median(large.steps) / median(small.steps) : 0;
}

void BM_ResizeImage(benchmark::State& state)
{
    run(state, false);
}
BENCHMARK(BM_ResizeImage)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_RotateImage(benchmark::State& state)
{
    run(state, true);
}
BENCHMARK(BM_RotateImage)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv)
{
    return runQtBenchmarks<QApplication>(argc, argv);
}
