// The thumbnail bar of a creator window on a 200-screen document whose stored previews are on disk.
// Targets, each within one 16 ms frame: one step of a 100-step scroll of the bar (1/5 of an item a step), from the
// value change to the painted viewport; a reorder drop (screen 10 to 150), from the drop to the repainted bar with
// the window's rebuild; its undo.

#include <benchmark/benchmark.h>

#include <memory>

#include <QApplication>
#include <QDir>
#include <QDragMoveEvent>
#include <QElapsedTimer>
#include <QImage>
#include <QMimeData>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QUrl>

#include "app/QVRWindowManager.h"
#include "creator/CreatorLibrary.h"
#include "creator/thumbnails/QVRThumbnailBar.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "tessarine_data_model/DocumentFilePackage.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "support/QtBenchmarkMain.h"
#include "support/BenchPackage.h"

namespace {

constexpr int kScreens = 200;

struct LoadedWindow {
    QTemporaryDir dir;
    std::shared_ptr<BenchPackage> package =
        std::make_shared<BenchPackage>(dir.path(), QStringLiteral("thumbnail-bench"));
    std::shared_ptr<ZERI_TessarineModel> document = ZERI_TessarineModel::create();
    std::shared_ptr<ZERI_FlowModel> flow = document->firstFlowmodel();
    QVR_CreatorWindow* window = nullptr;
    QVRThumbnailBar* bar = nullptr;

    LoadedWindow()
    {
        QDir().mkpath(package->assetStoragePath());
        document->setDontSave(true);
        document->setFilePackage(package);
        for (int s = 0; s < kScreens; ++s) {
            auto screen = ZERI_FlowScreenModel::create();
            QImage preview(512, 374, QImage::Format_RGB32);
            preview.fill(QColor::fromHsv((s * 13) % 360, 180, 220));
            const QString path = QDir(package->assetStoragePath()).filePath(QStringLiteral("preview-%1.jpg").arg(s));
            preview.save(path, "JPEG");
            auto asset = ZERI_ContentAsset::create();
            asset->setExternalURL(QUrl::fromLocalFile(path));
            screen->setPreviewScreenShotAsset(asset);
            flow->addFlowScreen(screen);
        }
        registerCreatorLibrary();
        window = qobject_cast<QVR_CreatorWindow*>(QVRWindowManager::sharedInstance().makeCreatorWindow());
        window->resize(1280, 800);
        window->launchTessarineWithTessarineModel(document);
        window->show();
        bar = window->theThumbnailBarView();
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < 800)
            QApplication::processEvents(QEventLoop::AllEvents, 10);
    }

    void drop(int from, int dropIndex)
    {
        std::unique_ptr<QMimeData> mime(bar->writeItemsAtIndexes({from}));
        const QRect item = bar->frameForItemAtIndex(dropIndex);
        const QPoint at(item.left() + 2, item.center().y());
        QDragEnterEvent enter(at, Qt::MoveAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(bar, &enter);
        QDragMoveEvent move(at, Qt::MoveAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(bar, &move);
        QDropEvent dropEvent(at, Qt::MoveAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(bar, &dropEvent);
    }

    void repaintBar() { bar->enclosingScrollArea()->viewport()->repaint(); }
};

LoadedWindow& loadedWindow()
{
    static LoadedWindow window;
    return window;
}

void BM_ScrollTheBar(benchmark::State& state)
{
    LoadedWindow& loaded = loadedWindow();
    QScrollBar* scroll = loaded.bar->enclosingScrollArea()->horizontalScrollBar();
    const int step = std::max(1, loaded.bar->itemSize().width() / 5);
    int value = 0;
    for (auto _ : state) {
        value = value + step > scroll->maximum() ? 0 : value + step;
        scroll->setValue(value);
        loaded.repaintBar();
    }
}
BENCHMARK(BM_ScrollTheBar)->Unit(benchmark::kMillisecond)->Iterations(100);

void BM_ReorderDrop(benchmark::State& state)
{
    LoadedWindow& loaded = loadedWindow();
    for (auto _ : state) {
        // Screen 10 dropped before item 151 lands at 150.
        loaded.drop(10, 151);
        loaded.repaintBar();
        state.PauseTiming();
        loaded.flow->undoManager().undo();
        loaded.flow->updateNotifier().sendUpdateNotificationsIfNeeded();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ReorderDrop)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_UndoReorder(benchmark::State& state)
{
    LoadedWindow& loaded = loadedWindow();
    for (auto _ : state) {
        state.PauseTiming();
        loaded.drop(10, 151);
        state.ResumeTiming();
        loaded.flow->undoManager().undo();
        loaded.flow->updateNotifier().sendUpdateNotificationsIfNeeded();
        loaded.repaintBar();
    }
}
BENCHMARK(BM_UndoReorder)->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace

int main(int argc, char** argv)
{
    return runQtBenchmarks<QApplication>(argc, argv);
}
