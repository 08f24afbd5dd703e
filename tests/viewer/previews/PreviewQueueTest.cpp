#include <atomic>

#include <sys/resource.h>

#include <QFileInfo>
#include <QScrollArea>
#include <QScrollBar>
#include <QSemaphore>

#include <gtest/gtest.h>

#include "PreviewTestSupport.h"
#include "support/UserInput.h"
#include "platform/HandOffQueue.h"
#include "platform/WorkerThreads.h"
#include "viewer/previews/PreviewRenderThread.h"
#include "viewer/previews/TessarineBackgroundedScreenPreview.h"

using namespace previewtest;

namespace {

class PreviewQueueTest : public ::testing::Test {
protected:
    ScopedPreviewEnvironment environment;
    DrawingCounter drawings;
};

} // namespace

TEST_F(PreviewQueueTest, RequestsMadeWhileOneRunsJoinItAndTheirBlocksRunInOrder)
{
    auto document = makeSavedDocument(1);
    const auto screen = document->firstFlowmodel()->screenModels().front();
    drawings.install();
    QVRScreenPreviewGenerator generator(screen);
    QList<int> order;
    std::shared_ptr<ZERI_ContentAsset> seen[3];
    for (int i = 0; i < 3; ++i) {
        generator.retreiveOrGenerateScreenPreviews(
            [&order, &seen, i](const std::shared_ptr<ZERI_ContentAsset>& preview, const auto&) {
                order << i;
                seen[i] = preview;
            });
        EXPECT_TRUE(generator.isCurrentlyGenerating());
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return order.size() == 3; }, 5000));
    QTest::qWait(50);
    EXPECT_EQ(order, (QList<int>{0, 1, 2}));
    EXPECT_EQ(drawings.started.load(), 1);
    EXPECT_TRUE(seen[0] && seen[0] == seen[1] && seen[1] == seen[2]);
    EXPECT_FALSE(generator.isCurrentlyGenerating());
}

TEST_F(PreviewQueueTest, ACancelledDrawingStoresNothingAndHandsBackTheOldAssets)
{
    auto document = makeSavedDocument(1);
    const auto screen = document->firstFlowmodel()->screenModels().front();
    QVRScreenPreviewGenerator first(screen);
    requestAndWait(first);
    const auto oldPreview = screen->previewScreenShotAsset();
    const auto oldTextless = screen->previewScreenShotAsset_textless();
    ASSERT_TRUE(oldPreview && oldTextless);
    const QString assets = packageOf(*document)->assetsPath();
    const QSet<QString> before = jpegFiles(assets);

    QVRScreenPreviewGenerator generator(screen);
    // Cancelled from the render thread as the drawing begins, so the drawing is certainly under way.
    drawings.onStart = [&generator] { generator.cancelCurrentDraw(); };
    drawings.install();
    screen->setPreviewInvalidated(true);
    const auto received = requestAndWait(generator);
    EXPECT_EQ(drawings.started.load(), 1);
    EXPECT_EQ(received->preview, oldPreview);
    EXPECT_EQ(received->textless, oldTextless);
    EXPECT_EQ(jpegFiles(assets), before);
    EXPECT_TRUE(QFileInfo::exists(oldPreview->localFilePath()));
    EXPECT_TRUE(QFileInfo::exists(oldTextless->localFilePath()));
    EXPECT_FALSE(generator.cancelled());

    // The next request starts afresh.
    drawings.onStart = nullptr;
    drawings.install();
    EXPECT_NE(requestAndWait(generator)->preview, oldPreview);
}

TEST_F(PreviewQueueTest, PicturesOfAScreenEditedWhileTheyWereDrawnLeaveItInvalidated)
{
    auto document = makeSavedDocument(1);
    const auto screen = document->firstFlowmodel()->screenModels().front();
    QSemaphore gate;
    drawings.onStart = [&gate] { gate.acquire(); };
    drawings.install();
    QVRScreenPreviewGenerator generator(screen);
    auto received = std::make_shared<Received>();
    generator.retreiveOrGenerateScreenPreviews(recordInto(received));
    EXPECT_TRUE(QTest::qWaitFor([&] { return drawings.started.load() == 1; }, 2000));
    screen->mixedMediaObjects().front()->object()->setFrame(kShapeFrame.translated(-200, 0));
    gate.release();
    EXPECT_TRUE(QTest::qWaitFor([&] { return received->calls == 1; }, 5000));
    // The pictures are stored (they are the best there is) but the screen still asks for new ones.
    ASSERT_TRUE(received->preview);
    EXPECT_TRUE(screen->previewInvalidated());

    drawings.onStart = nullptr;
    drawings.install();
    const auto next = requestAndWait(generator);
    EXPECT_NE(next->preview, received->preview);
    EXPECT_FALSE(screen->previewInvalidated());
}

TEST_F(PreviewQueueTest, ScreensOfTwoDocumentsAreDrawnByNoMoreThreadsThanThereAreWorkers)
{
    drawings.install();
    auto one = makeSavedDocument(3);
    auto two = makeSavedDocument(3);
    std::vector<std::unique_ptr<QVRScreenPreviewGenerator>> generators;
    int finished = 0;
    for (int i = 0; i < 3; ++i) {
        for (const auto& document : {one, two}) {
            generators.push_back(
                std::make_unique<QVRScreenPreviewGenerator>(document->firstFlowmodel()->screenModels()[i]));
            generators.back()->retreiveOrGenerateScreenPreviews([&finished](const auto&, const auto&) { ++finished; });
        }
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return finished == 6; }, 10000));
    EXPECT_EQ(drawings.started.load(), 6);
    EXPECT_GE(drawings.mostAtOnce.load(), 1);
    EXPECT_LE(drawings.mostAtOnce.load(), PreviewRenderThread::shared().workerCount());
}

// The render threads give way to the main thread at each of its wake-ups but keep their share of the processor: on
// a busy machine a starved drawing thread would hold up the main thread waiting for the locks it holds.
TEST_F(PreviewQueueTest, TheRenderThreadsGiveWayToTheMainThreadWithoutASmallerShare)
{
    std::atomic<int> givingWay = 0;
    std::atomic<int> niceValue = -100;
    std::atomic<int> ran = 0;
    PreviewRenderThread& threads = PreviewRenderThread::shared();
    for (int i = 0; i < threads.workerCount(); ++i)
        threads.async([&] {
            givingWay += currentThreadGivesWay() ? 1 : 0;
            niceValue = getpriority(PRIO_PROCESS, 0);
            ++ran;
        });
    ASSERT_TRUE(QTest::qWaitFor([&] { return ran.load() == threads.workerCount(); }, 10000));
    EXPECT_EQ(givingWay.load(), threads.workerCount());
    EXPECT_EQ(niceValue.load(), getpriority(PRIO_PROCESS, 0));
    EXPECT_FALSE(currentThreadGivesWay());
}

TEST_F(PreviewQueueTest, ScreensInViewAreDrawnFirstAndThoseScrolledAwayMoveBack)
{
    constexpr int kScreens = 12;
    const QSize kView(150, 110);
    auto document = makeSavedDocument(kScreens);
    const auto& screens = document->firstFlowmodel()->screenModels();

    // Every worker held, so that the requests wait and their order is decided when the workers come free.
    PreviewRenderThread& threads = PreviewRenderThread::shared();
    // Each worker waits for a closure from the main thread: the queue's lock orders what the main thread did
    // before it, which a semaphore's would not show the thread checker.
    HandOffQueue gate;
    for (int i = 0; i < threads.workerCount(); ++i)
        threads.async([&gate] {
            if (HandOffQueue::Task go = gate.waitPop())
                go();
        });
    QList<int> order;
    PreviewRenderThread::setDispatchProbeForTesting([&](const void* key) {
        for (int i = 0; i < kScreens; ++i)
            if (screens[std::size_t(i)].get() == key)
                order << i;
    });

    // A strip two previews wide: the first two screens are in view, then the strip scrolls to its last two.
    QScrollArea area;
    area.setFrameShape(QFrame::NoFrame);
    area.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* strip = new QWidget;
    strip->setFixedSize(kScreens * kView.width(), kView.height());
    for (int i = 0; i < kScreens; ++i)
        new TessarineBackgroundedScreenPreview(QRect(QPoint(i * kView.width(), 0), kView), screens[std::size_t(i)],
                                               strip);
    area.setWidget(strip);
    area.resize(2 * kView.width(), kView.height());
    area.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&area));
    UserInput::letRepaintsHappen();
    area.horizontalScrollBar()->setValue(area.horizontalScrollBar()->maximum());
    UserInput::letRepaintsHappen();
    EXPECT_TRUE(order.isEmpty());
    // Hidden, the views take no pictures: scaling them would run on Qt's own threads, unseen by the thread checker.
    area.hide();

    for (int i = 0; i < threads.workerCount(); ++i)
        gate.push([] {});
    const auto allStored = [&] {
        return std::all_of(screens.begin(), screens.end(),
                           [](const auto& screen) { return screen->previewScreenShotAsset() != nullptr; });
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return order.size() == kScreens && allStored(); }, 20000));
    PreviewRenderThread::setDispatchProbeForTesting(nullptr);
    ASSERT_EQ(order.size(), kScreens);
    // The two in view now, then the two scrolled away, then the rest in the order they were asked for.
    QStringList shown;
    for (int index : std::as_const(order))
        shown << QString::number(index);
    const std::string orderText = shown.join(QLatin1Char(' ')).toStdString();
    EXPECT_EQ(QSet<int>(order.begin(), order.begin() + 2), (QSet<int>{10, 11})) << orderText;
    EXPECT_EQ(QSet<int>(order.begin() + 2, order.begin() + 4), (QSet<int>{0, 1})) << orderText;
    EXPECT_EQ(order.mid(4), (QList<int>{2, 3, 4, 5, 6, 7, 8, 9})) << orderText;
}

TEST_F(PreviewQueueTest, TheScreenShownAsCurrentIsDrawnBeforeScreensInView)
{
    auto document = makeSavedDocument(3);
    const auto& screens = document->firstFlowmodel()->screenModels();
    PreviewRenderThread& threads = PreviewRenderThread::shared();
    // Each worker waits for a closure from the main thread: the queue's lock orders what the main thread did
    // before it, which a semaphore's would not show the thread checker.
    HandOffQueue gate;
    for (int i = 0; i < threads.workerCount(); ++i)
        threads.async([&gate] {
            if (HandOffQueue::Task go = gate.waitPop())
                go();
        });
    QList<const void*> order;
    PreviewRenderThread::setDispatchProbeForTesting([&order](const void* key) {
        if (key)
            order << key;
    });
    QWidget window;
    window.resize(480, 110);
    QList<TessarineBackgroundedScreenPreview*> previews;
    for (int i = 0; i < 3; ++i)
        previews << new TessarineBackgroundedScreenPreview(QRect(160 * i, 0, 150, 110), screens[std::size_t(i)],
                                                           &window);
    // All three are asked for and painted in order: the middle one goes neither first by asking nor last by
    // painting, but it shows the current screen.
    previews[1]->setShownAsCurrent(true);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    UserInput::letRepaintsHappen();
    window.hide();
    for (int i = 0; i < threads.workerCount(); ++i)
        gate.push([] {});
    EXPECT_TRUE(QTest::qWaitFor([&] { return order.size() == 3 && threads.pendingTaskCount() == 0; }, 10000));
    PreviewRenderThread::setDispatchProbeForTesting(nullptr);
    ASSERT_FALSE(order.isEmpty());
    EXPECT_EQ(order.front(), screens[1].get());
    previews[1]->setShownAsCurrent(false);
}

TEST_F(PreviewQueueTest, DestroyingAGeneratorCallsItsPendingBlockOnce)
{
    auto document = makeSavedDocument(1);
    const auto screen = document->firstFlowmodel()->screenModels().front();
    int calls = 0;
    auto generator = std::make_unique<QVRScreenPreviewGenerator>(screen);
    generator->retreiveOrGenerateScreenPreviews([&calls](const auto&, const auto&) { ++calls; });
    generator.reset();
    EXPECT_EQ(calls, 1);
    // The request it started ends without calling anything again.
    EXPECT_TRUE(QTest::qWaitFor([] { return PreviewRenderThread::shared().pendingTaskCount() == 0; }, 5000));
    QTest::qWait(50);
    EXPECT_EQ(calls, 1);
}

TEST_F(PreviewQueueTest, EditingAScreenWhileItsPreviewsAreDrawnIsSafe)
{
    auto document = makeSavedDocument(1);
    const auto screen = document->firstFlowmodel()->screenModels().front();
    const auto text = screen->mixedMediaObjects().back();
    const auto shape = screen->mixedMediaObjects().front();
    drawings.install();
    QVRScreenPreviewGenerator generator(screen);
    int finished = 0;
    for (int i = 0; i < 200; ++i) {
        text->as<ZERI_MMObject_Text>()->setText(QStringLiteral("Edit number %1").arg(i));
        text->object()->setFrame(kTextFrame.translated(i % 40, i % 30));
        shape->object()->setFrame(kShapeFrame.translated(-(i % 50), i % 20));
        generator.retreiveOrGenerateScreenPreviews([&finished](const auto&, const auto&) { ++finished; });
        QTest::qWait(3); // lets running requests reach the main thread between edits
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return finished == 200; }, 30000));
    EXPECT_GE(drawings.started.load(), 2);
    // A picture stored after later edits does not pass for a current one; a last request shows the last state.
    const auto received = requestAndWait(generator);
    EXPECT_FALSE(screen->previewInvalidated());
    const QImage stored(received->preview->localFilePath());
    EXPECT_LE(meanDifference(stored, ModelDrawing::renderScreen(*screen)), 4.0);
}
