// A document of 1,000 screens (TESS_BENCH_SCREENS to change the count), each with a picture of its own and two
// texts, saved in its package and opened in a creator window: first without stored previews (all of them made
// while the window is open), then again with them. Prints the process's resident memory with no document open
// (rss_home_mb), once each open has settled (rss_open_cold_mb, rss_open_warm_mb) and after the last window closed
// (rss_after_close_mb), and the longest stretch the main thread was held while opening (open_stall_ms) and closing
// (close_stall_ms), and how long the thumbnails at the end of the strip stay blank when the strip is scrolled to
// its end right after the first open (end_of_strip_blank_ms: from the scroll until every thumbnail in view shows
// its picture). Targets at 1,000 screens: cold at most 1,000 MB, after close within 100 MB of home, stalls at
// most 100 ms, the end of the strip blank at most 500 ms.
//
// BM_LargeDocumentFromItsTile is the same document as a user meets it, in the assembled application: each screen a
// distinct 1600 × 1200 JPEG in the package, the draft on disk, nothing loaded. The heartbeat runs from the click on
// its tile in My Documents (the draft read included) until the creator window is editable (open_from_tile_stall_ms,
// open_from_tile_ms), then while the previews of every screen are made (preview_phase_max_stall_ms,
// preview_phase_s), and from Ctrl+W until the tile shows the new picture (close_to_tile_stall_ms,
// close_to_tile_ms). Targets: each stall at most 100 ms, on a quiet machine and with all cores but one busy.
// TESS_BENCH_GAPS_OVER_MS prints each long gap with its monotonic end time, to line it up with a trace taken from
// outside the process (the main thread's waits for events). TESS_BENCH_PHASES prints each phase's start and end on
// the monotonic clock, for scripts/measure-main-thread-stalls.py to measure the same phases from outside.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QScrollArea>
#include <QScrollBar>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include "app/QVRAppDelegate.h"
#include "app/QVRMainMenu.h"
#include "app/QVRWindowManager.h"
#include "controls/VazScrollViewAnimation.h"
#include "creator/CreatorLibrary.h"
#include "creator/thumbnails/QVRThumbnailBar.h"
#include "creator/thumbnails/QVRThumbnailObject.h"
#include "creator/toolbar/QVR_CreatorToolBarView.h"
#include "creator/toolbar/QVR_ToolbarButton.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "platform/Json.h"
#include "launch/ApplicationLaunch.h"
#include "library/lists/QVRMyTessarinesViewController.h"
#include "library/lists/QVRTessarineTileGridItemView.h"
#include "library/lists/TilePreviews.h"
#include "platform/WorkerThreads.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "support/BenchPicturedDocument.h"
#include "support/BenchSupportFolder.h"
#include "support/MainThreadHeartbeat.h"
#include "support/ProcessMemory.h"
#include "support/QtBenchmarkMain.h"
#include "support/SpinUntil.h"
#include "tessarine_data_model/ZERI_MMObject_Image.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"
#include "viewer/previews/TessarineBackgroundedScreenPreview.h"
#include "viewer/previews/ViewerPreviewsLibrary.h"

namespace {

int screenCount()
{
    bool ok = false;
    const int count = qEnvironmentVariableIntValue("TESS_BENCH_SCREENS", &ok);
    return ok && count > 0 ? count : 1000;
}

// TESS_BENCH_TIMEOUT_S shortens the waits, to see sooner what a lost preview left behind.
int blankTimeoutMs()
{
    const int seconds = qEnvironmentVariableIntValue("TESS_BENCH_TIMEOUT_S");
    return seconds > 0 ? seconds * 1000 : 10 * 60 * 1000;
}

int storedTimeoutMs()
{
    const int seconds = qEnvironmentVariableIntValue("TESS_BENCH_TIMEOUT_S");
    return seconds > 0 ? seconds * 1000 : 30 * 60 * 1000;
}

// Lets queued work finish and the allocator hand back what it can, then reads the resident memory.
double settledMegabytes()
{
    waitUntil([] { return false; }, 500);
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
    return residentMegabytes();
}

// Whether every screen of a document has its preview, asked as the event loop turns. The look is the benchmark's
// work, not the application's, and it weighs on the very thread that is measured: it is made every 20 ms at most,
// and each time over a few of the screens still without a preview only (a stored preview stays stored), never
// over all of a large document's screens in one go.
class PreviewsStoredLook {
public:
    explicit PreviewsStoredLook(const ZERI_TessarineModel& document)
        : m_document(document)
    {
        for (qsizetype i = 0; i < qsizetype(document.firstFlowmodel()->screenModels().size()); ++i)
            m_pending.push_back(i);
    }

    bool operator()()
    {
        if (m_sinceLook.isValid() && m_sinceLook.elapsed() < 20)
            return false;
        m_sinceLook.restart();
        const auto& screens = m_document.firstFlowmodel()->screenModels();
        const qsizetype count = qsizetype(screens.size());
        for (int looked = 0; looked < kScreensPerLook && !m_pending.empty(); ++looked) {
            m_next %= qsizetype(m_pending.size());
            const qsizetype index = m_pending[std::size_t(m_next)];
            const bool stored = index >= count || (screens[std::size_t(index)]->previewScreenShotAsset() &&
                                                   !screens[std::size_t(index)]->gettingScreenPreview());
            if (stored)
                m_pending.erase(m_pending.begin() + m_next);
            else
                ++m_next;
        }
        if (!m_sinceReport.isValid() || m_sinceReport.elapsed() > 10000) {
            m_sinceReport.restart();
            std::fprintf(stderr, "previews stored: %d of %d\n", int(count - qsizetype(m_pending.size())), int(count));
        }
        return m_pending.empty();
    }

private:
    static constexpr int kScreensPerLook = 40;
    const ZERI_TessarineModel& m_document;
    std::vector<qsizetype> m_pending;
    qsizetype m_next = 0;
    QElapsedTimer m_sinceLook;
    QElapsedTimer m_sinceReport;
};

struct OpenResult {
    double stallMs = 0;
    double megabytes = 0;
    double endOfStripBlankMs = 0;
};

// True when every screen item the strip's scroll area shows has its picture.
bool thumbnailsInViewShowPictures(QVRThumbnailBar& bar)
{
    QScrollArea* area = bar.enclosingScrollArea();
    if (!area)
        return false;
    const QRect inView(bar.mapFrom(area->viewport(), QPoint(0, 0)), area->viewport()->size());
    for (int i = 0; i < bar.screenItemCount(); ++i) {
        if (!bar.frameForItemAtIndex(i).intersects(inView))
            continue;
        const auto* item = qobject_cast<QVR_ThumbnailCollectionViewItem*>(bar.itemAtIndex(i));
        const QVRThumbnailObject* object = item ? item->thumbnailObject() : nullptr;
        const TessarineBackgroundedScreenPreview* preview = object ? object->singleScreen() : nullptr;
        if (!preview)
            return false;
        // An item whose edge only touches the view shows its frame, not its picture.
        if (!preview->visibleRegion().isEmpty() && preview->currentPreviewImage().isNull())
            return false;
    }
    return true;
}

// Scrolls the strip to its end at once and times until the thumbnails in view there show their pictures.
double endOfStripBlankMs(QVR_CreatorWindow& window)
{
    auto* bar = window.findChild<QVRThumbnailBar*>();
    QScrollArea* area = bar ? bar->enclosingScrollArea() : nullptr;
    if (!area) {
        qWarning() << "the creator window has no thumbnail strip";
        return -1;
    }
    // The strip first centres its selected first screen; the user's scroll comes after that.
    waitUntil([&] { return !bar->isScrollPending() && !VazScrollViewAnimation::currentAnimation(area); }, 10000);
    QElapsedTimer blank;
    blank.start();
    area->horizontalScrollBar()->setValue(area->horizontalScrollBar()->maximum());
    if (!waitUntil([&] { return thumbnailsInViewShowPictures(*bar); }, blankTimeoutMs()))
        qWarning() << "the thumbnails at the end of the strip never showed their pictures";
    return blank.nsecsElapsed() / 1e6;
}

// Opens the package's document in a new creator window and waits until every screen has its stored preview; with
// `scrollToEnd`, the strip is first scrolled to its end as soon as the window is up.
OpenResult openAndSettle(const std::shared_ptr<ZERI_qvdFilePackage>& package, QPointer<QVR_CreatorWindow>& window,
                         bool scrollToEnd)
{
    Error error;
    if (!package->loadModel(&error))
        qWarning() << "cannot load the document:" << error.message;
    const auto document = package->model();
    MainThreadHeartbeat heartbeat(10);
    QElapsedTimer call;
    call.start();
    window = qobject_cast<QVR_CreatorWindow*>(QVRWindowManager::sharedInstance().makeCreatorWindow());
    window->resize(1300, 900);
    window->launchTessarineWithTessarineModel(document);
    window->show();
    heartbeat.noteGapMs(call.nsecsElapsed() / 1e6);
    double blankMs = 0;
    if (scrollToEnd) {
        waitUntil([&] { return window->isVisible() && window->windowHandle() && window->windowHandle()->isExposed(); },
                  10000);
        blankMs = endOfStripBlankMs(*window);
    }
    PreviewsStoredLook everyPreviewStored(*document);
    if (!waitUntil(everyPreviewStored, storedTimeoutMs())) {
        qWarning() << "the previews were not all made";
        const auto& screens = document->firstFlowmodel()->screenModels();
        for (size_t i = 0; i < screens.size(); ++i) {
            if (screens[i]->previewScreenShotAsset() && !screens[i]->gettingScreenPreview())
                continue;
            qWarning() << "screen" << i << "preview" << bool(screens[i]->previewScreenShotAsset()) << "getting"
                       << screens[i]->gettingScreenPreview() << "invalidated" << screens[i]->previewInvalidated();
        }
    }
    waitUntil([] { return false; }, 1000);
    heartbeat.stop();
    return {heartbeat.longestGapMs(), settledMegabytes(), blankMs};
}

double closeAndSettle(QPointer<QVR_CreatorWindow>& window)
{
    MainThreadHeartbeat heartbeat(10);
    QElapsedTimer call;
    call.start();
    window->close();
    heartbeat.noteGapMs(call.nsecsElapsed() / 1e6);
    waitUntil([&] { return window.isNull(); }, 60000);
    waitUntil([] { return false; }, 1000);
    heartbeat.stop();
    return heartbeat.longestGapMs();
}

void BM_LargeDocument(benchmark::State& state)
{
    const int screens = screenCount();
    QTemporaryDir support;
    QTemporaryDir pictures;
    storePackagesUnder(support.path());
    registerCreatorLibrary();
    registerViewerPreviewsLibrary();
    std::shared_ptr<ZERI_qvdFilePackage> package;
    {
        auto document = savedPicturedDocument(pictures.path(), screens);
        package = std::dynamic_pointer_cast<ZERI_qvdFilePackage>(document->filePackage());
        Error error;
        package->unloadModel(&error);
    }
    for (auto _ : state) {
        const double home = settledMegabytes();
        QPointer<QVR_CreatorWindow> window;
        const OpenResult cold = openAndSettle(package, window, true);
        const double coldClose = closeAndSettle(window);
        const OpenResult warm = openAndSettle(package, window, false);
        const double warmClose = closeAndSettle(window);
        const double afterClose = settledMegabytes();
        const double openStall = std::max(cold.stallMs, warm.stallMs);
        const double closeStall = std::max(coldClose, warmClose);
        state.counters["screens"] = screens;
        state.counters["rss_home_mb"] = home;
        state.counters["rss_open_cold_mb"] = cold.megabytes;
        state.counters["rss_open_warm_mb"] = warm.megabytes;
        state.counters["rss_after_close_mb"] = afterClose;
        state.counters["open_stall_ms"] = openStall;
        state.counters["close_stall_ms"] = closeStall;
        state.counters["end_of_strip_blank_ms"] = cold.endOfStripBlankMs;
        printFigure("screens", screens);
        printFigure("rss_home_mb", home);
        printFigure("rss_open_cold_mb", cold.megabytes);
        printFigure("rss_open_warm_mb", warm.megabytes);
        printFigure("rss_after_close_mb", afterClose);
        printFigure("open_stall_ms", openStall);
        printFigure("close_stall_ms", closeStall);
        printFigure("end_of_strip_blank_ms", cold.endOfStripBlankMs);
    }
}
BENCHMARK(BM_LargeDocument)->Unit(benchmark::kSecond)->Iterations(1);

// A document of many empty screens (TESS_BENCH_EMPTY_SCREENS, 300,000 unless set), as the service sends it (its
// text), read and opened in a creator window. Prints the peak resident memory of the open beyond the memory before
// it, per 1,000 screens (peak_rss_mb_per_1000_screens); target at most 2 MB, 2 KB a screen.
int emptyScreenCount()
{
    bool ok = false;
    const int count = qEnvironmentVariableIntValue("TESS_BENCH_EMPTY_SCREENS", &ok);
    return ok && count > 0 ? count : 300000;
}

void BM_EmptyScreens(benchmark::State& state)
{
    const int screens = emptyScreenCount();
    QTemporaryDir support;
    storePackagesUnder(support.path());
    registerCreatorLibrary();
    registerViewerPreviewsLibrary();
    QByteArray text;
    {
        auto document = ZERI_TessarineModel::create();
        const auto flow = document->firstFlowmodel();
        for (int i = 0; i < screens; ++i)
            flow->addFlowScreen(ZERI_FlowScreenModel::create());
        text = document->jsonData();
    }
    for (auto _ : state) {
        const double before = settledMegabytes();
        if (!resetPeakResident())
            qWarning() << "the peak resident memory cannot be reset; the figure includes what came before";
        QPointer<QVR_CreatorWindow> window;
        {
            Error error;
            auto dictionary = Json::readObject(text, &error);
            auto document = dictionary ? ZERI_TessarineModel::initWithDict(*dictionary, &error) : nullptr;
            dictionary.reset();
            if (!document) {
                state.SkipWithError("the document cannot be read");
                return;
            }
            window = qobject_cast<QVR_CreatorWindow*>(QVRWindowManager::sharedInstance().makeCreatorWindow());
            window->resize(1300, 900);
            window->launchTessarineWithTessarineModel(document);
            window->show();
        }
        waitUntil([&] { return window && window->windowHandle() && window->windowHandle()->isExposed(); }, 60000);
        waitUntil([] { return false; }, 3000);
        const double peak = peakResidentMegabytes();
        const double perThousand = (peak - before) / (screens / 1000.0);
        closeAndSettle(window);
        state.counters["screens"] = screens;
        state.counters["peak_rss_mb_per_1000_screens"] = perThousand;
        printFigure("empty_screens", screens);
        printFigure("peak_rss_mb_per_1000_screens", perThousand);
    }
}
BENCHMARK(BM_EmptyScreens)->Unit(benchmark::kSecond)->Iterations(1);

// ---- The document from its tile, in the assembled application ----

// A photograph-like 1600 × 1200 picture of its own for each seed: soft gradients with fine grain, as a camera's
// JPEG is (some 300–500 KB at quality 85).
QImage photoPicture(int seed)
{
    QImage image(1600, 1200, QImage::Format_RGB32);
    quint32 noise = quint32(seed) * 2654435761u + 1;
    const int hue = (seed * 47) % 360;
    std::vector<QRgb> bases(std::size_t(image.width() / 16 + 1));
    for (int y = 0; y < image.height(); ++y) {
        if (y % 16 == 0) {
            for (std::size_t b = 0; b < bases.size(); ++b)
                bases[b] = QColor::fromHsv((hue + int(b) / 3 + y / 60) % 360, 90 + (y * 100) / image.height(),
                                           110 + (int(b) * 1600) / image.width())
                               .rgb();
        }
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            noise ^= noise << 13;
            noise ^= noise >> 17;
            noise ^= noise << 5;
            const int grain = int(noise % 16) - 8;
            const QRgb base = bases[std::size_t(x / 16)];
            line[x] = qRgb(std::clamp(qRed(base) + grain, 0, 255), std::clamp(qGreen(base) + grain, 0, 255),
                           std::clamp(qBlue(base) + grain, 0, 255));
        }
    }
    return image;
}

// A package of `screens` screens in the support folder, each a full-screen picture (its own JPEG in the package's
// assets, as an inserted picture lands) under two texts, with no stored previews; its document unloaded.
std::shared_ptr<ZERI_qvdFilePackage> savedPhotoDocument(int screens)
{
    auto document = ZERI_TessarineModel::create();
    document->firstFlowmodel()->setTitle(QStringLiteral("Large document"));
    Error error;
    if (!ZERI_qvdFilePackage::saveModelToFile(document, &error))
        qWarning() << "cannot save the document:" << error.message;
    const auto package = std::dynamic_pointer_cast<ZERI_qvdFilePackage>(document->filePackage());
    const QString assets = package->assetsPath();
    QDir().mkpath(assets);
    for (int i = 0; i < screens; ++i) {
        const QString path = QDir(assets).filePath(QStringLiteral("photo-%1.jpg").arg(i));
        photoPicture(i).save(path, "JPEG", 85);
        document->firstFlowmodel()->addFlowScreen(picturedScreen(path, i));
        if (i % 100 == 99)
            std::fprintf(stderr, "pictures written: %d of %d\n", i + 1, screens);
    }
    if (!package->saveModel(&error) || !package->unloadModel(&error))
        qWarning() << "cannot save the document:" << error.message;
    return package;
}

// The application as the executable starts it, made on first use with the packages of the support folder set.
QVRAppDelegate& tileRoadApplication()
{
    static std::unique_ptr<QVRAppDelegate> application = [] {
        qputenv("TESS_API_URL", "http://127.0.0.1:9/"); // nothing answers: no network waits
        ZERI_qvdFilePackage::resetForTesting();
        return ApplicationLaunch::start(&registerApplicationLibraries);
    }();
    return *application;
}

QVRTessarineTileGridItemView* shownTileOf(const QString& packageID)
{
    QWidget* lists = tileRoadApplication().listsWindow();
    if (!lists)
        return nullptr;
    for (auto* tile : lists->findChildren<QVRTessarineTileGridItemView*>()) {
        if (tile->isVisible() && tile->filePackage() && tile->filePackage()->packageID() == packageID)
            return tile;
    }
    return nullptr;
}

QVR_CreatorWindow* editableCreatorOf(const QString& packageID)
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* creator = qobject_cast<QVR_CreatorWindow*>(widget);
        if (!creator || !creator->isVisible() || !creator->currentModel() ||
            creator->currentModel()->qvdID() != packageID)
            continue;
        if (creator->theArtBoard() && creator->currentIndex() >= 0 &&
            creator->theToolBarView()->insertButton()->isEnabled())
            return creator;
    }
    return nullptr;
}

// "PHASE <name> <start|end> <monotonic ms> <process id>" on stderr, when TESS_BENCH_PHASES is set.
void markPhase(const char* name, const char* edge)
{
    static const bool wanted = qEnvironmentVariableIsSet("TESS_BENCH_PHASES");
    if (!wanted)
        return;
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    std::fprintf(stderr, "PHASE %s %s %.3f %d\n", name, edge, now.tv_sec * 1e3 + now.tv_nsec / 1e6, int(getpid()));
}

// The road's heartbeat ticks often, so that a gap it reads is close to the stall an outside trace sees (a gap is
// the stall plus up to one interval of waiting before it).
constexpr int kTileRoadTickMs = 2;

struct TileRoadFigures {
    double openStallMs = -1;
    double openMs = -1;
    double previewStallMs = -1;
    double previewSeconds = -1;
    double closeStallMs = -1;
    double closeMs = -1;
};

TileRoadFigures openFromTileAndClose(const std::shared_ptr<ZERI_qvdFilePackage>& package)
{
    TileRoadFigures figures;
    const QString id = package->packageID();
    QVRTessarineTileGridItemView* tile = nullptr;
    if (!spinUntil([&] { return (tile = shownTileOf(id)) != nullptr; }, 60000)) {
        qWarning() << "the document's tile never showed";
        return figures;
    }
    waitUntil([] { return TilePreviews::pendingCount() == 0; }, 60000);
    waitUntil([] { return false; }, 1000);

    // The click on the tile, until the window is editable.
    QVR_CreatorWindow* window = nullptr;
    {
        MainThreadHeartbeat heartbeat(kTileRoadTickMs);
        QElapsedTimer timer;
        markPhase("open", "start");
        timer.start();
        QTest::mouseClick(tile, Qt::LeftButton, {}, tile->rect().center());
        heartbeat.noteGapMs(timer.nsecsElapsed() / 1e6);
        if (!waitUntil([&] { return (window = editableCreatorOf(id)) != nullptr; }, 120000)) {
            qWarning() << "no editable creator window";
            return figures;
        }
        figures.openMs = timer.nsecsElapsed() / 1e6;
        markPhase("open", "end");
        heartbeat.stop();
        figures.openStallMs = heartbeat.longestGapMs();
    }
    // The previews of every screen, made while the window is open.
    const auto document = window->currentModel();
    {
        MainThreadHeartbeat heartbeat(kTileRoadTickMs);
        QElapsedTimer timer;
        timer.start();
        markPhase("preview", "start");
        PreviewsStoredLook everyPreviewStored(*document);
        if (!waitUntil(everyPreviewStored, storedTimeoutMs()))
            qWarning() << "the previews were not all made";
        figures.previewSeconds = timer.nsecsElapsed() / 1e9;
        waitUntil([] { return false; }, 1000);
        markPhase("preview", "end");
        heartbeat.stop();
        figures.previewStallMs = heartbeat.longestGapMs();
    }
    // Ctrl+W, until the tile shows the document's new picture.
    QPointer<QVR_CreatorWindow> closing(window);
    // The key goes to the window in front, as the user's does.
    window->activateWindow();
    if (!spinUntil([&] { return QApplication::activeWindow() == window; }, 1000))
        QApplication::setActiveWindow(window);
    if (QApplication::activeWindow() != window)
        qWarning() << "the creator window is not in front";
    waitUntil([] { return false; }, 200);
    {
        MainThreadHeartbeat heartbeat(kTileRoadTickMs);
        QElapsedTimer timer;
        markPhase("close", "start");
        timer.start();
        // The window's File › Close, whose shortcut Ctrl+W is, fired as the key fires it: the menu validates its
        // items first (offscreen windows are never really active, so the key itself may not reach the shortcut).
        auto* bar = window->findChild<QMenuBar*>();
        QAction* close = bar ? QVRMainMenu::action(bar, QStringLiteral("closeWindow")) : nullptr;
        for (QAction* top : bar ? bar->actions() : QList<QAction*>()) {
            if (top->menu() && close && top->menu()->actions().contains(close))
                emit top->menu()->aboutToShow();
        }
        if (close && close->isEnabled())
            close->trigger();
        else
            QTest::keyClick(window->focusWidget() ? window->focusWidget() : window, Qt::Key_W, Qt::ControlModifier);
        heartbeat.noteGapMs(timer.nsecsElapsed() / 1e6);
        if (!waitUntil([&] { return closing.isNull() || !closing->isVisible(); }, 5000))
            qWarning() << "Ctrl+W did not close the window";
        const bool refreshed = waitUntil(
            [&] {
                // Closed, its package's picture as new as the draft the close wrote, nothing more to draw.
                const QString picture = package->metaData().previewScreenshotFilePath();
                return closing.isNull() && QFileInfo::exists(picture) && TilePreviews::pendingCount() == 0 &&
                       !TilePreviews::needsPreview(*package);
            },
            120000);
        if (!refreshed)
            qWarning() << "the tile never got its new picture";
        figures.closeMs = timer.nsecsElapsed() / 1e6;
        waitUntil([] { return false; }, 1000);
        markPhase("close", "end");
        heartbeat.stop();
        figures.closeStallMs = heartbeat.longestGapMs();
    }
    return figures;
}

void BM_LargeDocumentFromItsTile(benchmark::State& state)
{
    const int screens = screenCount();
    QTemporaryDir support;
    storePackagesUnder(support.path());
    std::fprintf(stderr, "writing %d pictures of 1600 x 1200\n", screens);
    const auto package = savedPhotoDocument(screens);
    // The application as the executable starts it, its packages in the benchmark's support folder.
    tileRoadApplication();
    for (auto _ : state) {
        const TileRoadFigures figures = openFromTileAndClose(ZERI_qvdFilePackage::packageForID(package->packageID()));
        state.counters["screens"] = screens;
        state.counters["open_from_tile_stall_ms"] = figures.openStallMs;
        state.counters["open_from_tile_ms"] = figures.openMs;
        state.counters["preview_phase_max_stall_ms"] = figures.previewStallMs;
        state.counters["preview_phase_s"] = figures.previewSeconds;
        state.counters["close_to_tile_stall_ms"] = figures.closeStallMs;
        state.counters["close_to_tile_ms"] = figures.closeMs;
        printFigure("screens", screens);
        printFigure("open_from_tile_stall_ms", figures.openStallMs);
        printFigure("open_from_tile_ms", figures.openMs);
        printFigure("preview_phase_max_stall_ms", figures.previewStallMs);
        printFigure("preview_phase_s", figures.previewSeconds);
        printFigure("close_to_tile_stall_ms", figures.closeStallMs);
        printFigure("close_to_tile_ms", figures.closeMs);
    }
}
BENCHMARK(BM_LargeDocumentFromItsTile)->Unit(benchmark::kSecond)->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    return runQtBenchmarks<QApplication>(argc, argv, BenchSettings::Private);
}
