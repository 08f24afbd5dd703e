// The screen-link editor on a 60-screen document with 10 objects per screen. Target: the time from the chooser's
// press to the painted editor is at most twice the time a bare thumbnail bar takes to show and paint the same 60
// previews, both measured in this run (the "ratio" counter of BM_OpenScreenLinkEditor, against the mean of
// BM_ThumbnailBarAlone).

#include <benchmark/benchmark.h>

#include <memory>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPushButton>
#include <QScrollArea>
#include <QTemporaryDir>

#include "app/QVRWindowManager.h"
#include "controls/NavigationController.h"
#include "controls/SheetLikePanelViewController.h"
#include "creator/CreatorLibrary.h"
#include "creator/thumbnails/QVRThumbnailBar.h"
#include "creator/thumbnails/QVRThumbnailController.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "inspector/InspectorLibrary.h"
#include "inspector/links/QVR_LinkTypeSelectionViewController.h"
#include "inspector/links/QVR_ScreenLinkSelectionViewController.h"
#include "support/BenchPackage.h"
#include "support/QtBenchmarkMain.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Shape.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "viewer/previews/TessarineBackgroundedScreenPreview.h"

namespace {

constexpr int kScreens = 60;
constexpr int kObjectsPerScreen = 10;

struct LoadedWindow {
    QTemporaryDir dir;
    std::shared_ptr<BenchPackage> package = std::make_shared<BenchPackage>(dir.path(), QStringLiteral("link-bench"));
    std::shared_ptr<ZERI_TessarineModel> document = ZERI_TessarineModel::create();
    std::shared_ptr<ZERI_FlowModel> flow = document->firstFlowmodel();
    QVR_CreatorWindow* window = nullptr;

    LoadedWindow()
    {
        QDir().mkpath(package->assetStoragePath());
        document->setDontSave(true);
        document->setFilePackage(package);
        for (int s = 0; s < kScreens; ++s) {
            auto screen = ZERI_FlowScreenModel::create();
            for (int o = 0; o < kObjectsPerScreen; ++o) {
                auto object = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Shape);
                (*object)->setFrame(QRectF(20 + o * 90, 40 + o * 60, 80, 50));
                object->as<ZERI_MMObject_Shape>()->setShapeType(ZERI_MMObject_Shape::Rectangle);
                screen->addMixedMediaObject(object);
            }
            flow->addFlowScreen(screen);
        }
        registerCreatorLibrary();
        registerInspectorLibrary();
        window = qobject_cast<QVR_CreatorWindow*>(QVRWindowManager::sharedInstance().makeCreatorWindow());
        window->resize(1280, 800);
        window->launchTessarineWithTessarineModel(document);
        window->show();
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < 800)
            QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
};

LoadedWindow& loadedWindow()
{
    static LoadedWindow window;
    return window;
}

double& barAloneSeconds()
{
    static double seconds = 0;
    return seconds;
}

// A thumbnail bar of its own in the creator window, given the 60 previews, shown and painted.
void BM_ThumbnailBarAlone(benchmark::State& state)
{
    LoadedWindow& loaded = loadedWindow();
    double total = 0;
    int shown = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        // In the same window, as the window's own strip is.
        QScrollArea scroller(loaded.window->contentView());
        scroller.setGeometry(0, 0, 1280, 260);
        auto* bar = new QVRThumbnailBar;
        scroller.setWidget(bar);
        QVRThumbnailController controller;
        controller.setCollectionView(bar);
        QList<TessarineBackgroundedScreenPreview*> previews;
        for (const auto& screen : loaded.flow->screenModels())
            previews.append(new TessarineBackgroundedScreenPreview(
                QRect(QPoint(0, 0), QVR_ScreenLinkSelectionViewController::kPreviewSize), screen));
        controller.setupWithBackgroundedScreenPreviews(previews);
        scroller.show();
        scroller.raise();
        scroller.repaint();
        shown += bar->visibleRegion().isEmpty() ? 0 : 1;
        total += double(timer.nsecsElapsed()) / 1e9;
        state.PauseTiming();
        controller.setCollectionView(nullptr);
        bar->hide();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        state.ResumeTiming();
    }
    barAloneSeconds() = total / double(state.iterations());
    // How many of the runs really painted the bar (all of them, or the baseline means nothing).
    state.counters["shown"] = shown;
}
BENCHMARK(BM_ThumbnailBarAlone)->Unit(benchmark::kMillisecond)->Iterations(10);

// From the chooser's screen-link press to the painted panel.
void BM_OpenScreenLinkEditor(benchmark::State& state)
{
    LoadedWindow& loaded = loadedWindow();
    double total = 0;
    double clickTotal = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QVR_LinkTypeSelectionViewController::openLinkEditor(loaded.window,
                                                            QVRMMObjToolbarPopoverBase::LinkEditorKind::Chooser);
        auto* chooser = qobject_cast<QVR_LinkTypeSelectionViewController*>(
            loaded.window->sheetLikeViewController()->navigationController()->topViewController());
        loaded.window->sheetLikeViewController()->view()->repaint();
        state.ResumeTiming();
        QElapsedTimer timer;
        timer.start();
        chooser->screenLinkButton()->click();
        const double clicked = double(timer.nsecsElapsed()) / 1e9;
        loaded.window->sheetLikeViewController()->view()->repaint();
        total += double(timer.nsecsElapsed()) / 1e9;
        clickTotal += clicked;
        state.PauseTiming();
        loaded.window->dismissDarkPanel();
        QApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        state.ResumeTiming();
    }
    const double mean = total / double(state.iterations());
    // The press alone (the page built and pushed), before its first paint.
    state.counters["press_ms"] = clickTotal * 1000 / double(state.iterations());
    if (barAloneSeconds() > 0)
        state.counters["ratio"] = mean / barAloneSeconds();
}
BENCHMARK(BM_OpenScreenLinkEditor)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

int main(int argc, char** argv)
{
    return runQtBenchmarks<QApplication>(argc, argv);
}
