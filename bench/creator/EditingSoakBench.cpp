// Editing a 50-screen document (a picture and two texts a screen) for many cycles, as its user does, in the
// assembled application: the document opened from its tile, then in each cycle a text inserted from the toolbar's
// insert menu, 20 characters typed into it key by key, the text dragged with the mouse, two undos and a redo from
// the Edit menu, and the next screen chosen in the strip with a click on its item. The steps are the roads' own
// (tests/roads: the insert menu, the menu items, typed keys, the pointer on the canvas).
//
// The resident size as the system counts it is sampled after each cycle: rss_growth_kb_per_cycle is its slope over
// every cycle after a first lap over all the screens (each screen shown, its pictures decoded, once), with the
// allocator set up as the application sets it at start-up; target at most 50. live_growth_kb_per_cycle is the live
// heap's slope over the last 200 cycles. Each cycle leaves one more text in the document, so a little growth is the
// document's own. TESS_BENCH_CYCLES changes the number of cycles (300 unless set).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <vector>

#include <QApplication>
#include <QGraphicsScene>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>

#include "app/QVRAppDelegate.h"
#include "creator/addition/QVR_AddElementMenuViewController.h"
#include "creator/canvas/QVR_ArtBoardScrollView.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/interaction/QVR_SelectedItemView.h"
#include "creator/thumbnails/QVRThumbnailBar.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "elements/text/TextEditingItem.h"
#include "library/lists/QVRMyTessarinesViewController.h" // the delegate's header needs it whole
#include "library/lists/QVRTessarineTileGridItemView.h"
#include "roads/RoadsKeyboard.h"
#include "roads/RoadsTestSupport.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "support/BenchSupportFolder.h"
#include "support/ProcessMemory.h"
#include "support/QtBenchmarkMain.h"
#include "support/SpinUntil.h"
#include "platform/FreedMemory.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

constexpr int kScreens = 50;
using Proxy = std::shared_ptr<ZERI_MixedMediaObjectProxy>;

int cycleCount()
{
    bool ok = false;
    const int count = qEnvironmentVariableIntValue("TESS_BENCH_CYCLES", &ok);
    return ok && count > 100 ? count : 300;
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

// The document's tile in My Documents, clicked as the user opens it; the creator window once it is editable.
QVR_CreatorWindow* openFromTile(const QString& packageID)
{
    QVRTessarineTileGridItemView* tile = nullptr;
    QWidget* lists = roads::application().listsWindow();
    const bool shown = lists && roads::waitFor(
                                    [&] {
                                        for (auto* candidate : lists->findChildren<QVRTessarineTileGridItemView*>())
                                            if (candidate->isVisible() && candidate->filePackage() &&
                                                candidate->filePackage()->packageID() == packageID)
                                                tile = candidate;
                                        return tile != nullptr;
                                    },
                                    60000);
    if (!shown)
        return nullptr;
    roads::click(tile);
    QVR_CreatorWindow* window = nullptr;
    roads::waitFor(
        [&] {
            const auto windows = roads::creatorWindows();
            window = windows.isEmpty() ? nullptr : windows.first();
            return window && window->theArtBoard() && window->currentIndex() >= 0;
        },
        60000);
    return window;
}

TextEditingItem* editedText(QVR_CreatorWindow* window)
{
    QGraphicsScene* scene = window->theArtBoard()->theScrollView()->scene();
    for (QGraphicsItem* each : scene ? scene->items() : QList<QGraphicsItem*>())
        if (auto* item = dynamic_cast<TextEditingItem*>(each); item && item->isEditable())
            return item;
    return nullptr;
}

QPoint viewPoint(QVR_CreatorWindow* window, const QPointF& scenePoint)
{
    return window->theArtBoard()->theScrollView()->mapFromScene(scenePoint);
}

// One cycle of editing on the shown screen, then the next screen chosen in the strip: the step that failed, or null.
const char* editingCycle(QVR_CreatorWindow* window, int cycle)
{
    const auto screen = roads::shownScreen(window);
    const int texts = roads::countObjects(screen, ZERI_MixedMediaObject::Text);
    if (!roads::insert(window, &QVR_AddElementMenuViewController::textCell) ||
        !roads::waitFor([&] { return roads::countObjects(screen, ZERI_MixedMediaObject::Text) == texts + 1; }))
        return "the text's insertion";
    const Proxy text = screen->mixedMediaObjects().back();
    QWidget* viewport = window->theArtBoard()->theScrollView()->viewport();
    // Typed into the new text: it takes the keys as it comes, else after a click that selects it and one that
    // edits it (not a double click).
    if (!roads::waitFor([&] { return editedText(window) != nullptr; }, 1000)) {
        const QPoint centre = viewPoint(window, (*text)->frame().center());
        QTest::mouseClick(viewport, Qt::LeftButton, {}, centre);
        roads::waitFor([&] { return window->selectedItemView()->selectedViews().size() == 1; }, 5000);
        QTest::qWait(400);
        QTest::mouseClick(viewport, Qt::LeftButton, {}, centre);
        if (!roads::waitFor([&] { return editedText(window) != nullptr; }, 5000))
            return "the text's editing";
    }
    // 20 characters key by key, then Escape ends the editing.
    if (!roads::keyboard::type(QStringLiteral("Cycle %1 typed here").arg(cycle % 1000, 3, 10, QLatin1Char('0')), 10) ||
        !roads::keyboard::press(Qt::Key_Escape, Qt::NoModifier, 20))
        return "the typing";

    // Dragged by 120 × 80 pixels in steps, from its middle.
    const QRectF before = (*text)->frame();
    const QPoint middle = viewPoint(window, before.center());
    QTest::mouseClick(viewport, Qt::LeftButton, {}, middle);
    roads::waitFor([&] { return window->selectedItemView()->selectedViews().size() == 1; }, 2000);
    QTest::qWait(300); // not a double click
    QTest::mousePress(viewport, Qt::LeftButton, {}, middle);
    for (int step = 1; step <= 6; ++step) {
        QTest::mouseMove(viewport, middle + QPoint(20 * step, 13 * step));
        QTest::qWait(10);
    }
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, middle + QPoint(120, 80));

    // Two undos, a redo.
    if (!roads::chooseMenuItem(window, QStringLiteral("undo")) ||
        !roads::chooseMenuItem(window, QStringLiteral("undo")) ||
        !roads::chooseMenuItem(window, QStringLiteral("redo")))
        return "the undos and the redo";
    QTest::qWait(20);

    // The next screen's item clicked in the strip, once the strip has brought the shown one to its middle.
    QVRThumbnailBar* bar = window->theThumbnailBarView();
    roads::waitFor([bar] { return !bar->isScrollPending(); }, 2000);
    const int next = (window->currentIndex() + 1) % bar->screenItemCount();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->frameForItemAtIndex(next).center());
    return roads::waitFor([&] { return window->currentIndex() == next; }, 5000) ? nullptr : "the next screen";
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
    const QString packageID = [&] {
        const auto document = savedPicturedDocument(pictures.path(), kScreens);
        const auto package = std::dynamic_pointer_cast<ZERI_qvdFilePackage>(document->filePackage());
        Error error;
        package->unloadModel(&error);
        return package->packageID();
    }();
    roads::application();
    // The application ends with the run, while the QApplication lives, whatever step failed.
    const std::unique_ptr<void, void (*)(void*)> ending(&state, [](void*) {
        roads::closeDocumentWindows();
        roads::endApplication();
    });
    roads::leaveFirstLaunchTour();
    QPointer<QVR_CreatorWindow> window = openFromTile(packageID);
    if (!window) {
        state.SkipWithError("the document did not open from its tile");
        return;
    }
    window->resize(1300, 900);
    spinUntil([] { return false; }, 2000);
    std::vector<double> heap;
    std::vector<double> resident;
    for (auto _ : state) {
        for (int cycle = 0; cycle < cycles; ++cycle) {
            if (const char* failed = editingCycle(window, cycle)) {
                state.SkipWithError(
                    QStringLiteral("cycle %1 failed at %2").arg(cycle).arg(QLatin1String(failed)).toUtf8().constData());
                return;
            }
            // Sampled once the screens' new previews are made: a preview on its way holds a whole screen's picture.
            const auto flow = window->currentModel()->firstFlowmodel();
            spinUntil(
                [&flow] {
                    const auto& screens = flow->screenModels();
                    return std::none_of(screens.begin(), screens.end(),
                                        [](const auto& s) { return s->gettingScreenPreview(); });
                },
                10000);
            heap.push_back(liveHeapKilobytes());
            resident.push_back(residentMegabytes() * 1024.0);
            if (cycle % 25 == 24)
                std::fprintf(stderr, "cycle %d: %.1f MB resident\n", cycle + 1, resident.back() / 1024.0);
        }
    }
    const double growth = growthPerCycle(heap, 200);
    // After the warm-up lap: every screen visited once.
    const std::size_t afterLap = resident.size() > std::size_t(kScreens) ? resident.size() - std::size_t(kScreens) : 0;
    const double residentGrowth = growthPerCycle(resident, afterLap);
    state.counters["live_growth_kb_per_cycle"] = growth;
    state.counters["rss_growth_kb_per_cycle"] = residentGrowth;
    printFigure("cycles", double(heap.size()));
    printFigure("live_heap_start_mb", heap.front() / 1024.0);
    printFigure("live_heap_end_mb", heap.back() / 1024.0);
    printFigure("live_growth_kb_per_cycle", growth);
    printFigure("rss_start_mb", resident.front() / 1024.0);
    printFigure("rss_end_mb", resident.back() / 1024.0);
    printFigure("rss_growth_kb_per_cycle", residentGrowth);
}
BENCHMARK(BM_EditingSoak)->Unit(benchmark::kSecond)->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    return runQtBenchmarks<QApplication>(argc, argv, BenchSettings::Private);
}
