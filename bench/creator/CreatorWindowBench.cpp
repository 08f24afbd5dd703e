// The creator window on a 60-screen document (10 image, shape and text objects a screen, picture files on disk).
// Targets, each within one 16 ms frame: paging to a screen not shown before, from the index change to the
// painted viewport; one zoom level applied to all 60 boards. The launch time is printed.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryDir>
#include <QUrl>

#include "app/QVRWindowManager.h"
#include "creator/CreatorLibrary.h"
#include "creator/canvas/QVR_ArtBoardScrollView.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "tessarine_data_model/AttributedText.h"
#include "tessarine_data_model/DocumentFilePackage.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Shape.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "support/QtBenchmarkMain.h"
#include "support/BenchPackage.h"

namespace {

constexpr int kScreens = 60;
constexpr int kObjectsOfEachKind = 10;

struct LoadedWindow {
    QTemporaryDir dir;
    std::shared_ptr<BenchPackage> package = std::make_shared<BenchPackage>(dir.path());
    std::shared_ptr<ZERI_TessarineModel> document = ZERI_TessarineModel::create();
    QVR_CreatorWindow* window = nullptr;

    LoadedWindow()
    {
        QDir().mkpath(package->assetStoragePath());
        document->setDontSave(true);
        document->setFilePackage(package);
        const auto flow = document->firstFlowmodel();
        const QSizeF cell(1024.0 / 10, 748.0 / 3);
        for (int s = 0; s < kScreens; ++s) {
            auto screen = ZERI_FlowScreenModel::create();
            for (int i = 0; i < kObjectsOfEachKind; ++i) {
                auto image = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Image);
                (*image)->setFrame(QRectF(QPointF(i * cell.width(), 0), cell));
                (*image)->setCroppedImageAsset(pictureAsset(s, i, cell.toSize()));
                screen->addMixedMediaObject(image);

                auto shape = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Shape);
                (*shape)->setFrame(QRectF(QPointF(i * cell.width(), cell.height()), cell));
                if (auto* real = dynamic_cast<ZERI_MMObject_Shape*>(shape->object().get())) {
                    real->setShapeType(i % 8 + 1);
                    real->setColor(QColor::fromHsv(i * 30, 200, 200));
                }
                screen->addMixedMediaObject(shape);

                auto text = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Text);
                (*text)->setFrame(QRectF(QPointF(i * cell.width(), 2 * cell.height()), cell));
                if (auto* real = dynamic_cast<ZERI_MMObject_Text*>(text->object().get()))
                    real->setAttributedString(AttributedText(QStringLiteral("Screen %1, text %2").arg(s).arg(i)));
                screen->addMixedMediaObject(text);
            }
            flow->addFlowScreen(screen);
        }
        registerCreatorLibrary();
        window = qobject_cast<QVR_CreatorWindow*>(QVRWindowManager::sharedInstance().makeCreatorWindow());
        window->resize(1280, 800);
        QElapsedTimer launch;
        launch.start();
        window->launchTessarineWithTessarineModel(document);
        QApplication::processEvents();
        std::printf("Launching the 60-screen document: %lld ms\n", static_cast<long long>(launch.elapsed()));
        // Let the zoom restore of every board settle.
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < 600)
            QApplication::processEvents(QEventLoop::AllEvents, 10);
    }

    std::shared_ptr<ZERI_ContentAsset> pictureAsset(int screen, int index, const QSize& size) const
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(QColor::fromHsv((screen * 11 + index * 7) % 360, 200, 220));
        const QString path =
            QDir(package->assetStoragePath()).filePath(QStringLiteral("p-%1-%2.png").arg(screen).arg(index));
        image.save(path);
        auto asset = ZERI_ContentAsset::create();
        asset->setExternalURL(QUrl::fromLocalFile(path));
        return asset;
    }
};

LoadedWindow& loadedWindow()
{
    static LoadedWindow window;
    return window;
}

void BM_PageToANewScreen(benchmark::State& state)
{
    LoadedWindow& loaded = loadedWindow();
    int next = 1;
    for (auto _ : state) {
        if (next >= kScreens) {
            state.SkipWithError("every screen has been shown");
            break;
        }
        loaded.window->setCurrentIndex(next++);
        loaded.window->theArtBoard()->theScrollView()->viewport()->repaint();
    }
}
BENCHMARK(BM_PageToANewScreen)->Unit(benchmark::kMillisecond)->Iterations(kScreens - 1);

void BM_ZoomAllBoards(benchmark::State& state)
{
    LoadedWindow& loaded = loadedWindow();
    bool zoomIn = true;
    for (auto _ : state) {
        const double level = zoomIn ? 1.5 : 0.75;
        zoomIn = !zoomIn;
        loaded.window->theArtBoard()->setZoomLevel(level, false);
        // The window hands the level to every board on the next turn.
        const auto& boards = loaded.window->artboards();
        auto pending = [&] {
            return std::any_of(boards.begin(), boards.end(), [level](QVR_SingleScreenArtBoardView* board) {
                return std::fabs(board->currentZoomLevel() - level) > 1e-6;
            });
        };
        while (pending())
            QApplication::processEvents();
    }
}
BENCHMARK(BM_ZoomAllBoards)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return runQtBenchmarks<QApplication>(argc, argv);
}
