// 300 cycles of editing a 50-screen document in a creator window: a text inserted through the add menu, its text
// changed, moved, the move and the change undone, the change redone, then the next screen. Prints the live heap's
// growth per cycle over the last 200 cycles (the trend's slope), once the first cycles have filled the caches
// (live_growth_kb_per_cycle; target at most 50). Each cycle leaves one more text in the document, so a little
// growth is the document's own. TESS_BENCH_CYCLES changes the number of cycles.
//
// The resident size as the system counts it is sampled too, after each cycle: rss_growth_kb_per_cycle is its slope
// over every cycle after a first lap over all the screens (each screen's pictures decoded once), with the
// allocator set up as the application sets it at start-up; target at most 50.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <vector>

#include <QApplication>
#include <QPointer>
#include <QTemporaryDir>

#include "app/QVRWindowManager.h"
#include "creator/CreatorLibrary.h"
#include "creator/interaction/QVR_SelectedItemView.h" // the canvas header needs it whole
#include "creator/canvas/QVR_CreatorCanvasView.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "platform/FreedMemory.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "support/BenchPicturedDocument.h"
#include "support/BenchSupportFolder.h"
#include "support/ProcessMemory.h"
#include "support/QtBenchmarkMain.h"
#include "support/SpinUntil.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "viewer/previews/ViewerPreviewsLibrary.h"

namespace {

constexpr int kScreens = 50;

int cycleCount()
{
    bool ok = false;
    const int count = qEnvironmentVariableIntValue("TESS_BENCH_CYCLES", &ok);
    return ok && count > 100 ? count : 300;
}

void settle(int ms)
{
    spinUntil([] { return false; }, ms);
}

// The least-squares slope of the last `last` samples. A single sample can be taken while a worker still holds a
// picture it is drawing (several megabytes, given back a moment later); the slope follows the trend, not such a
// moment at either end.
double growthPerCycle(const std::vector<double>& samples, std::size_t last)
{
    const std::size_t count = std::min(last, samples.size());
    if (count < 2)
        return 0;
    const std::size_t from = samples.size() - count;
    const double meanX = (count - 1) / 2.0;
    double meanY = 0;
    for (std::size_t i = 0; i < count; ++i)
        meanY += samples[from + i];
    meanY /= double(count);
    double covariance = 0, variance = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const double dx = double(i) - meanX;
        covariance += dx * (samples[from + i] - meanY);
        variance += dx * dx;
    }
    return covariance / variance;
}

void BM_EditingSoak(benchmark::State& state)
{
    const int cycles = cycleCount();
    // As the application's start-up does; TESS_BENCH_DEFAULT_ALLOCATOR=1 leaves the allocator as it comes, to compare.
    if (qEnvironmentVariableIntValue("TESS_BENCH_DEFAULT_ALLOCATOR") == 0)
        FreedMemory::returnLargeBlocksAtOnce();
    QTemporaryDir support;
    QTemporaryDir pictures;
    storePackagesUnder(support.path());
    registerCreatorLibrary();
    registerViewerPreviewsLibrary();
    auto document = savedPicturedDocument(pictures.path(), kScreens);
    const auto flow = document->firstFlowmodel();
    QPointer<QVR_CreatorWindow> window =
        qobject_cast<QVR_CreatorWindow*>(QVRWindowManager::sharedInstance().makeCreatorWindow());
    window->resize(1300, 900);
    window->launchTessarineWithTessarineModel(document);
    window->show();
    settle(2000);
    auto& windows = QVRWindowManager::sharedInstance();
    std::vector<double> heap;
    std::vector<double> resident;
    for (auto _ : state) {
        for (int cycle = 0; cycle < cycles; ++cycle) {
            const int index = cycle % kScreens;
            const auto screen = flow->screenModels()[std::size_t(index)];
            window->theCanvasView()->addElementMenuSelectionMadeWithType(4);
            const auto text = screen->mixedMediaObjects().back();
            flow->beginUndoableChanges();
            if (const auto model = text->as<ZERI_MMObject_Text>())
                model->setText(QStringLiteral("Cycle %1: a few words typed into the new text").arg(cycle));
            flow->endUndoableChanges();
            flow->beginUndoableChanges();
            text->object()->setFrame(text->object()->frame().translated(40, 30));
            flow->endUndoableChanges();
            windows.performMenuAction(QStringLiteral("undo"), 0, window);
            windows.performMenuAction(QStringLiteral("undo"), 0, window);
            windows.performMenuAction(QStringLiteral("redo"), 0, window);
            window->setCurrentIndex((index + 1) % kScreens);
            settle(60);
            // Sampled once the screens' new previews are made: a preview on its way holds a whole screen's picture.
            spinUntil(
                [&flow] {
                    const auto& screens = flow->screenModels();
                    return std::none_of(screens.begin(), screens.end(),
                                        [](const auto& s) { return s->gettingScreenPreview(); });
                },
                10000);
            heap.push_back(liveHeapKilobytes());
            resident.push_back(residentMegabytes() * 1024.0);
        }
    }
    settle(1000);
    const double growth = growthPerCycle(heap, 200);
    // After the warm-up lap: every screen visited once.
    const std::size_t afterLap = resident.size() > std::size_t(kScreens) ? resident.size() - std::size_t(kScreens) : 0;
    const double residentGrowth = growthPerCycle(resident, afterLap);
    state.counters["live_growth_kb_per_cycle"] = growth;
    state.counters["live_heap_start_mb"] = heap.front() / 1024.0;
    state.counters["live_heap_end_mb"] = heap.back() / 1024.0;
    printFigure("cycles", double(heap.size()));
    printFigure("live_heap_start_mb", heap.front() / 1024.0);
    printFigure("live_heap_end_mb", heap.back() / 1024.0);
    printFigure("live_growth_kb_per_cycle", growth);
    state.counters["rss_growth_kb_per_cycle"] = residentGrowth;
    printFigure("rss_start_mb", resident.front() / 1024.0);
    printFigure("rss_end_mb", resident.back() / 1024.0);
    printFigure("rss_growth_kb_per_cycle", residentGrowth);
    delete window.data();
    settle(500);
}
BENCHMARK(BM_EditingSoak)->Unit(benchmark::kSecond)->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    return runQtBenchmarks<QApplication>(argc, argv, BenchSettings::Private);
}
