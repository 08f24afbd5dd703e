#include <algorithm>
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QTest>

#include "ViewerTestSupport.h"
#include "app/ViewerKeyNotifications.h"
#include "controls/ContentSheddingScrollView.h"
#include "controls/ControlsArtwork.h"
#include "creator/canvas/QVR_ArtBoardScrollView.h"
#include "creator/canvas/QVR_MixedMediaElementContainingView.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "foundation/Tessutils.h"
#include "platform/NotificationCenter.h"
#include "tessarine_data_model/DocumentFilePackage.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/mmActions/ZERI_MMAction_ScreenLink.h"
#include "viewer/QVR_TessarineViewerView.h"
#include "viewer/QVR_TransitionHandlerView.h"

using namespace viewertest;

namespace {

// Timers never fire early; a loaded machine may make them late, so only the lower bound is tight.
void expectElapsedAbout(qint64 elapsedMs, qint64 expectedMs)
{
    EXPECT_GE(elapsedMs, expectedMs - 20);
    EXPECT_LT(elapsedMs, expectedMs + 1500);
}

} // namespace

namespace {

using Container = QVR_MixedMediaElementContainingView;

class OwnedPackage : public DocumentFilePackage {
public:
    explicit OwnedPackage(QString folder)
        : m_folder(std::move(folder))
    {
        QDir().mkpath(assetStoragePath());
    }
    QString packageID() const override { return QStringLiteral("player"); }
    QString assetStoragePath() const override { return QDir(m_folder).filePath(QStringLiteral("assets")); }
    QString publishedAssetStoragePath() const override { return QDir(m_folder).filePath(QStringLiteral("published")); }
    QString ownerUserName() const override { return QStringLiteral("ada"); }

private:
    QString m_folder;
};

struct Recorder : TessarineViewerViewDelegate {
    void tessarineViewerWillScrollToLastPage() override { calls << "toLast"; }
    void tessarineViewerWillScrollToFirstPage() override { calls << "toFirst"; }
    void tessarineViewerWillScrollAwayFromLastPage() override { calls << "awayFromLast"; }
    void tessarineViewerWillScrollAwayFromFirstPage() override { calls << "awayFromFirst"; }
    void tessarineViewerDidFinishAutoplay(QVR_TessarineViewerView*) override
    {
        ++finished;
        finishedAtMs = clock.elapsed();
    }
    QStringList calls;
    int finished = 0;
    qint64 finishedAtMs = -1;
    QElapsedTimer clock;
};

const QColor kColours[] = {Qt::red, Qt::green, Qt::blue};

// A source document of `count` screens S0, S1, … with solid previews (red, green, blue, …) and the played copy of
// its flow (other ids), as the viewer hands them to the player.
class PlayerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ControlsArtwork::registerNamedImages();
        QVR_TessarineViewerView::setTransitionDurationForTesting(0.4);
    }
    void TearDown() override
    {
        player.reset();
        QVR_TessarineViewerView::setTransitionDurationForTesting(0.0);
        Tessutils::setCorvikAuthToken(QString());
        Tessutils::setCorvikUserDict(std::nullopt);
    }

    void makeDocuments(int count, bool withPreviews = true)
    {
        source = ZERI_TessarineModel::create();
        source->setDontSave(true);
        source->setFilePackage(package);
        played = ZERI_TessarineModel::create();
        played->setDontSave(true);
        played->setFilePackage(package);
        for (int i = 0; i < count; ++i) {
            auto screen = ZERI_FlowScreenModel::create();
            screen->setInternalID(QStringLiteral("S%1").arg(i));
            source->firstFlowmodel()->addFlowScreen(screen);
            auto copy = screen->copy(true);
            if (withPreviews && i < 3) {
                const QString path = QDir(package->assetStoragePath()).filePath(QStringLiteral("p%1.png").arg(i));
                QImage picture(1024, 748, QImage::Format_RGB32);
                picture.fill(kColours[i]);
                picture.save(path);
                auto asset = ZERI_ContentAsset::create();
                asset->setExternalURL(QUrl::fromLocalFile(path));
                copy->setPreviewScreenShotAsset(asset);
            }
            played->firstFlowmodel()->addFlowScreen(copy);
        }
        flow = played->firstFlowmodel();
    }

    QVR_TessarineViewerView& makePlayer(int count, const QSize& size = QSize(1024, 748), bool withPreviews = true)
    {
        if (!source)
            makeDocuments(count, withPreviews);
        player = std::make_unique<QVR_TessarineViewerView>();
        player->resize(size);
        player->setDelegate(&recorder);
        player->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(player.get()));
        player->setOriginalTessarineModel(source);
        player->setFlowModel(flow);
        QApplication::processEvents();
        recorder.clock.start();
        return *player;
    }
    int offset() const { return player->swipeView()->visibleOrigin().x(); }
    QString playedID(int i) const { return flow->screenModels()[static_cast<size_t>(i)]->internalID(); }
    void postLink(const QVariant& id, const QVariant& type, const void* sender = nullptr)
    {
        QVariantMap info;
        if (id.isValid())
            info.insert(Container::kScreenLinkIDKey, id);
        if (type.isValid())
            info.insert(Container::kScreenLinkTransitionTypeKey, type);
        NotificationCenter::defaultCenter().post(Container::kScreenLinkPressedNotification,
                                                 sender ? sender : player->window(), info);
    }

    ScopedViewerEnvironment environment;
    QTemporaryDir folder;
    std::shared_ptr<OwnedPackage> package = std::make_shared<OwnedPackage>(folder.path());
    std::shared_ptr<ZERI_TessarineModel> source;
    std::shared_ptr<ZERI_TessarineModel> played;
    std::shared_ptr<ZERI_FlowModel> flow;
    Recorder recorder;
    std::unique_ptr<QVR_TessarineViewerView> player;
};

TEST_F(PlayerTest, PagesWithAnAnimatedScrollAndRefusesNewPagingMeanwhile)
{
    auto& p = makePlayer(20);
    EXPECT_EQ(p.currentPage(), 0);
    recorder.calls.clear();
    QSignalSpy pages(&p, &QVR_TessarineViewerView::currentPageChanged);

    QElapsedTimer clock;
    clock.start();
    p.scrollToNextPage();
    QTest::qWait(200);
    // The scroll lasts 0.5 s; a loaded machine may hold the test back past its end, and then there is nothing
    // to see half-way.
    if (clock.elapsed() < 450) {
        EXPECT_TRUE(p.isAnimating());
        EXPECT_EQ(p.currentPage(), 0);
        EXPECT_GT(offset(), 0);
        EXPECT_LT(offset(), 1024);
        p.scrollToNextPage();
        p.scrollToPreviousPage();
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return p.currentPage() == 1; }, 2000));
    expectElapsedAbout(clock.elapsed(), 500);
    EXPECT_FALSE(p.isAnimating());
    EXPECT_EQ(offset(), 1024);
    EXPECT_EQ(pages.count(), 1);
    EXPECT_TRUE(recorder.calls.contains("awayFromFirst"));
    QTest::qWait(50);
    EXPECT_EQ(offset(), 1024) << "the refused requests did not run afterwards";

    p.scrollToPage(-5, false);
    EXPECT_EQ(p.currentPage(), 0);
    EXPECT_EQ(offset(), 0);
    p.scrollToPage(99, false);
    EXPECT_EQ(p.currentPage(), 19);
    EXPECT_EQ(offset(), 19 * 1024);
    EXPECT_EQ(recorder.calls.last(), "toLast");
    p.scrollToPage(19, true);
    EXPECT_FALSE(p.isAnimating()) << "the page shown is not animated to";

    // The same flow again only jumps to the start page.
    const auto boards = p.singleScreensArray();
    p.setFlowModel(flow, 4);
    EXPECT_EQ(p.singleScreensArray(), boards);
    EXPECT_EQ(p.currentPage(), 4);
    EXPECT_EQ(offset(), 4 * 1024);
    // Only the pages around the ones shown have built their scenes.
    EXPECT_FALSE(boards[10]->hasBuiltScene());
    EXPECT_TRUE(boards[4]->hasBuiltScene());
}

TEST_F(PlayerTest, PagesSitAtTheViewWidthFromTheStartAndFollowSizeChanges)
{
    makeDocuments(6);
    flow->setAutoAdvanceSlideDuration(0.6);
    flow->setAutoAdvanceTransitionType(3);
    auto& p = makePlayer(6, QSize(1440, 900));
    EXPECT_EQ(p.singleScreensArray()[1]->geometry(), QRect(1440, 0, 1440, 900));
    p.scrollToPage(3, false);
    EXPECT_EQ(offset(), 3 * 1440);

    p.setAutoAdvanceEnabled(true);
    QElapsedTimer clock;
    clock.start();
    QTest::qWait(250);
    p.resize(1280, 800);
    ASSERT_TRUE(QTest::qWaitFor([&] { return offset() == 3840; }, 1000));
    EXPECT_FALSE(p.isAnimating());
    EXPECT_EQ(p.currentPage(), 3);
    EXPECT_EQ(p.singleScreensArray()[5]->geometry(), QRect(5 * 1280, 0, 1280, 800));
    // The advance armed before the resize comes on its first schedule.
    ASSERT_TRUE(QTest::qWaitFor([&] { return p.currentPage() == 4; }, 2000));
    expectElapsedAbout(clock.elapsed(), 600);
    EXPECT_EQ(offset(), 4 * 1280);
}

TEST_F(PlayerTest, AFlowWithoutScreensAndBadPagesDoNothingHarmful)
{
    auto& p = makePlayer(0);
    EXPECT_EQ(recorder.calls, QStringList{"toFirst"});
    p.scrollToNextPage();
    p.scrollToPage(3, true);
    p.scrollToPageNumber(2, 2);
    postLink(QStringLiteral("nothing"), 0);
    QTest::qWait(50);
    EXPECT_EQ(p.currentPage(), 0);
    EXPECT_EQ(p.currentlyDisplayedFlowScreen(), nullptr);
    EXPECT_FALSE(p.isTransitioning());
}

TEST_F(PlayerTest, AutoAdvanceMovesOnAfterEachDurationAndEndsOrLoops)
{
    makeDocuments(3);
    flow->setAutoAdvanceSlideDuration(0.25);
    flow->setAutoAdvanceTransitionType(3);
    auto& p = makePlayer(3);
    QElapsedTimer clock;
    clock.start();
    p.setAutoAdvanceEnabled(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return p.currentPage() == 1; }, 2000));
    expectElapsedAbout(clock.elapsed(), 250);
    ASSERT_TRUE(QTest::qWaitFor([&] { return p.currentPage() == 2; }, 2000));
    expectElapsedAbout(clock.elapsed(), 500);
    ASSERT_TRUE(QTest::qWaitFor([&] { return recorder.finished > 0; }, 2000));
    expectElapsedAbout(clock.elapsed(), 750);
    QTest::qWait(300);
    EXPECT_EQ(recorder.finished, 1);
    EXPECT_EQ(p.currentPage(), 2);

    // With loops on, the last screen leads to the first.
    flow->setAutoAdvanceLoops(true);
    p.scrollToPage(2, false);
    clock.restart();
    ASSERT_TRUE(QTest::qWaitFor([&] { return p.currentPage() == 0; }, 2000));
    expectElapsedAbout(clock.elapsed(), 250);
    EXPECT_EQ(recorder.finished, 1);
}

TEST_F(PlayerTest, APauseKeepsTheRemainingTimeAndAScreenMayHaveItsOwnDuration)
{
    makeDocuments(3);
    flow->setAutoAdvanceSlideDuration(0.4);
    flow->setAutoAdvanceTransitionType(1);
    flow->screenModels()[1]->setAutoAdvanceSlideDuration(0.15); // no type of its own: the flow's
    auto& p = makePlayer(3);
    QSignalSpy paused(&p, &QVR_TessarineViewerView::autoAdvancePausedChanged);
    QElapsedTimer clock;
    clock.start();
    p.setAutoAdvanceEnabled(true);
    QTest::qWait(150);
    p.setAutoAdvancePaused(true);
    const qint64 pausedAt = clock.elapsed();
    EXPECT_EQ(paused.count(), 1);
    QTest::qWait(300);
    EXPECT_EQ(p.currentPage(), 0);
    p.setAutoAdvancePaused(false);
    const qint64 pause = clock.elapsed() - pausedAt;
    // The 0.4 s run on with what was left of them when paused.
    ASSERT_TRUE(QTest::qWaitFor([&] { return p.isAnimating() || p.currentPage() == 1; }, 2000));
    expectElapsedAbout(clock.elapsed(), 400 + pause);
    ASSERT_TRUE(QTest::qWaitFor([&] { return p.currentPage() == 1 && !p.isAnimating(); }, 2000));

    // Screen 1 leaves after its own 0.15 s, with the flow's animated scroll.
    clock.restart();
    ASSERT_TRUE(QTest::qWaitFor([&] { return p.isAnimating(); }, 2000));
    expectElapsedAbout(clock.elapsed(), 150);
    ASSERT_TRUE(QTest::qWaitFor([&] { return p.currentPage() == 2 && !p.isAnimating(); }, 2000));

    // Switched on while paused, nothing is armed; nor is anything for a duration that cannot be waited for.
    p.setAutoAdvanceEnabled(false);
    p.setAutoAdvancePaused(true);
    p.setAutoAdvanceEnabled(true);
    EXPECT_FALSE(p.isAutoAdvanceArmed());
    p.setAutoAdvanceEnabled(false);
    p.setAutoAdvancePaused(false);
    flow->setAutoAdvanceSlideDuration(-1.0);
    p.setAutoAdvanceEnabled(true);
    EXPECT_FALSE(p.isAutoAdvanceArmed());
    flow->setAutoAdvanceSlideDuration(std::numeric_limits<double>::infinity());
    p.scrollToPage(0, false);
    EXPECT_FALSE(p.isAutoAdvanceArmed());
    // A duration of 0 is a duration.
    flow->setAutoAdvanceSlideDuration(0.0);
    p.scrollToPage(0, false);
    EXPECT_TRUE(p.isAutoAdvanceArmed());
}

TEST(TransitionHandlerView, SlidesMoveBothPicturesByOneWidthAndFadesOnlyTheOldPicture)
{
    struct Finished : TransitionHandlerViewDelegate {
        void transithonHandlerFinishedTransitioning() override { ++count; }
        int count = 0;
    };
    QImage red(1024, 748, QImage::Format_RGB32);
    red.fill(Qt::red);
    for (const qint64 direction : {QVR_TransitionHandlerView::kForward, QVR_TransitionHandlerView::kBackward}) {
        Finished finished;
        QVR_TransitionHandlerView view(QRect(0, 0, 1024, 748), 0, direction, red, red, 0.2, false);
        view.setDelegate(&finished);
        view.show();
        QTest::qWait(50);
        EXPECT_FALSE(view.hasStarted()) << "a view made without auto start waits for start()";
        const double sign = direction == QVR_TransitionHandlerView::kForward ? 1.0 : -1.0;
        EXPECT_EQ(view.toFrame().x(), sign * 1024);
        EXPECT_EQ(view.fromFrame().x(), 0);
        view.start();
        ASSERT_TRUE(QTest::qWaitFor([&] { return finished.count == 1; }, 2000));
        EXPECT_EQ(view.toFrame().x(), 0);
        EXPECT_EQ(view.fromFrame().x(), -sign * 1024);
        EXPECT_EQ(view.fromOpacity(), 1.0);
    }

    Finished finished;
    QVR_TransitionHandlerView fade(QRect(0, 0, 100, 80), 2, 1, red, red, 0.2, true);
    fade.setDelegate(&finished);
    EXPECT_EQ(fade.fromOpacity(), 1.0);
    fade.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished.count == 1; }, 2000));
    EXPECT_EQ(fade.fromOpacity(), 0.0);
    EXPECT_EQ(fade.fromFrame(), fade.toFrame());

    // Types without an animation still report that they are done.
    Finished other;
    QVR_TransitionHandlerView none(QRect(0, 0, 100, 80), 7, 1, red, red, 0.2, true);
    none.setDelegate(&other);
    none.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return other.count == 1; }, 500));
}

TEST_F(PlayerTest, AFadeLinkJumpsAtOnceAndFadesTheOldPictureOut)
{
    QVR_TessarineViewerView::setTransitionDurationForTesting(0.0);
    auto& p = makePlayer(3);
    EXPECT_EQ(QVR_TessarineViewerView::transitionDuration(), 1.0);
    QElapsedTimer clock;
    clock.start();
    postLink(playedID(2), 2);
    // The page changes at once and the old picture fades out over it for a second.
    ASSERT_TRUE(QTest::qWaitFor([&] { return p.currentPage() == 2; }, 2000));
    EXPECT_EQ(offset(), 2048);
    if (clock.elapsed() < 900) {
        ASSERT_TRUE(p.isTransitioning());
        EXPECT_EQ(p.transitionView()->duration(), 1.0);
    }
    QTest::qWait(static_cast<int>(std::max<qint64>(0, 500 - clock.elapsed())));
    const qint64 before = clock.elapsed();
    const QColor middle = p.grab().toImage().pixelColor(512, 374);
    // Half-way the two pictures mix; a loaded machine may have held the test back past that moment.
    if (before >= 200 && clock.elapsed() <= 800) {
        EXPECT_NE(middle, QColor(Qt::red));
        EXPECT_NE(middle, QColor(Qt::blue));
        EXPECT_GT(middle.red(), 40);
        EXPECT_GT(middle.blue(), 40);
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return !p.isTransitioning(); }, 3000));
    expectElapsedAbout(clock.elapsed(), 1000);
}

// A screen whose preview picture is not on disk yet (a document from the service) slides in as the player draws
// it: at the start the old screen still shows where it was.
TEST_F(PlayerTest, ScreensWithoutPreviewPicturesSlideAsTheyAreDrawn)
{
    makeDocuments(2, false);
    flow->screenModels()[0]->setBackgroundColor(Qt::red);
    flow->screenModels()[1]->setBackgroundColor(Qt::blue);
    QVR_TessarineViewerView::setTransitionDurationForTesting(30.0);
    auto& p = makePlayer(2);
    postLink(playedID(1), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return p.isTransitioning(); }, 2000));
    EXPECT_EQ(p.currentPage(), 1);
    const QColor shown = p.grab().toImage().pixelColor(512, 374);
    QVR_TessarineViewerView::setTransitionDurationForTesting(0.0);
    EXPECT_GT(shown.red(), 200) << shown.name().toStdString();
    EXPECT_LT(shown.blue(), 80) << shown.name().toStdString();
}

TEST_F(PlayerTest, DuringAFadeOnlyAnotherAnimatedTransitionActs)
{
    auto& p = makePlayer(3);
    postLink(playedID(2), 2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return p.isTransitioning(); }, 500));
    p.scrollToNextPage();
    p.scrollToPreviousPage();
    postLink(playedID(0), 1);
    postLink(playedID(0), 3);
    QTest::qWait(50);
    EXPECT_EQ(p.currentPage(), 2);
    EXPECT_FALSE(p.isAnimating());

    // A slide link ends the fade at once and slides back.
    postLink(playedID(1), 0);
    EXPECT_FALSE(p.isTransitioning());
    ASSERT_TRUE(QTest::qWaitFor([&] { return p.isTransitioning(); }, 500));
    EXPECT_EQ(p.currentPage(), 1);
    EXPECT_EQ(p.transitionView()->transitionType(), 0);
    EXPECT_EQ(p.transitionView()->direction(), QVR_TransitionHandlerView::kBackward);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !p.isTransitioning(); }, 1500));

    // Two fade links in quick succession: only the second lands, and no overlay is left behind.
    postLink(playedID(0), 2);
    QTest::qWait(10);
    postLink(playedID(2), 2);
    QTest::qWait(900);
    EXPECT_FALSE(p.isTransitioning());
    EXPECT_EQ(p.currentPage(), 2);
    EXPECT_TRUE(p.findChildren<QVR_TransitionHandlerView*>().isEmpty() ||
                !p.findChildren<QVR_TransitionHandlerView*>().front()->isVisible());

    // A plain jump asked for while a fade's pictures are read wins: the fade never lands.
    postLink(playedID(0), 2);
    postLink(playedID(1), 3);
    EXPECT_EQ(p.currentPage(), 1);
    QTest::qWait(100);
    EXPECT_EQ(p.currentPage(), 1);
    EXPECT_FALSE(p.isTransitioning());
}

TEST_F(PlayerTest, OddLinksJumpOrAreLoggedAndKeepThePage)
{
    makeDocuments(3, false);
    auto& p = makePlayer(3);
    // Types outside the four, or not whole numbers, jump.
    postLink(playedID(2), 5);
    EXPECT_EQ(p.currentPage(), 2);
    postLink(playedID(1), QStringLiteral("x"));
    EXPECT_EQ(p.currentPage(), 1);
    postLink(playedID(0), 2.5);
    EXPECT_EQ(p.currentPage(), 0);
    EXPECT_FALSE(p.isTransitioning());

    // Unknown ids, missing keys and wrong kinds keep the page.
    postLink(QStringLiteral("nowhere"), 3);
    postLink(QVariant(), 3);
    postLink(42, 3);
    postLink(QVariantList{playedID(2)}, 3);
    EXPECT_EQ(p.currentPage(), 0);

    // A link clicked in another window is that window's.
    int otherWindow = 0;
    postLink(playedID(2), 3, &otherWindow);
    EXPECT_EQ(p.currentPage(), 0);

    // A fade to a screen without a preview still ends.
    postLink(playedID(2), 2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return p.isTransitioning(); }, 500));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !p.isTransitioning(); }, 1000));
    EXPECT_EQ(p.currentPage(), 2);
}

TEST_F(PlayerTest, ARealClickOnAScreenLinkShowsItsTarget)
{
    makeDocuments(3);
    auto image = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Image);
    (*image)->setFrame(QRectF(100, 100, 300, 200));
    auto link = ZERI_MMAction_ScreenLink::create(playedID(2));
    link->setTransitionType(ZERI_MMAction_ScreenLink::None);
    (*image)->setAction(link);
    flow->screenModels()[0]->addMixedMediaObject(image);
    auto& p = makePlayer(3);
    QApplication::processEvents();
    auto* view = p.singleScreensArray()[0]->theScrollView();
    const QPoint at = view->mapFromScene(QPointF(250, 200));
    QTest::mousePress(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, at);
    ASSERT_TRUE(QTest::qWaitFor([&] { return p.currentPage() == 2; }, 1000));
    EXPECT_EQ(offset(), 2048);
}

TEST_F(PlayerTest, SwipesPageCirclesCloseTheirOwnWindowOnceAndKeysArePassedOn)
{
    auto& p = makePlayer(3);
    NotificationCenter& center = NotificationCenter::defaultCenter();
    const QString swipe = QStringLiteral("qvrLeapHandlingSwipeDetected");
    int leap = 0;
    center.post(swipe, &leap, {{QStringLiteral("swipeDirection"), 2}});
    QTest::qWait(50);
    EXPECT_FALSE(p.isAnimating());
    center.post(swipe, &leap, {{QStringLiteral("swipeDirection"), 0}});
    ASSERT_TRUE(QTest::qWaitFor([&] { return p.currentPage() == 1 && !p.isAnimating(); }, 2000));
    center.post(swipe, &leap, {{QStringLiteral("swipeDirection"), 1}});
    ASSERT_TRUE(QTest::qWaitFor([&] { return p.currentPage() == 0 && !p.isAnimating(); }, 2000));

    const QString circle = QStringLiteral("qvrLeapHandlingCounterClockwiseCircleRepeated");
    QWidget other;
    center.post(
        circle, &leap,
        {{QStringLiteral("window"), QVariant::fromValue<QObject*>(&other)}, {QStringLiteral("circleNumber"), 1}});
    EXPECT_TRUE(p.isVisible());
    center.post(circle, &leap,
                {{QStringLiteral("window"), QVariant::fromValue<QObject*>(&p)}, {QStringLiteral("circleNumber"), 1}});
    EXPECT_FALSE(p.isVisible());
    p.show();
    center.post(circle, &leap,
                {{QStringLiteral("window"), QVariant::fromValue<QObject*>(&p)}, {QStringLiteral("circleNumber"), 1}});
    EXPECT_TRUE(p.isVisible());
    // Without those keys, each sender closes it once.
    center.post(circle, &leap);
    EXPECT_FALSE(p.isVisible());
    p.show();
    center.post(circle, &leap);
    EXPECT_TRUE(p.isVisible());

    QKeyCombination heard;
    const void* heardFrom = nullptr;
    NotificationObservation keys(TessarineViewerViewKeyDownNotificationName, nullptr, [&](const Notification& n) {
        heardFrom = n.sender;
        heard = n.userInfo.value(TessarineViewerViewKeyDownNotificationUserDictKey).value<QKeyCombination>();
    });
    QTest::keyClick(&p, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(heardFrom, &p);
    EXPECT_EQ(heard, QKeyCombination(Qt::ShiftModifier, Qt::Key_Right));
    EXPECT_EQ(p.currentPage(), 0) << "keys are the host's to interpret";
}

TEST_F(PlayerTest, EachScreenViewedIsTimedUnderItsSourceScreen)
{
    auto& p = makePlayer(3);
    p.scrollToPage(1, false);
    p.scrollToPage(1, false);
    p.scrollToPage(2, false);
    player.reset();
    const auto events = environment.events(QStringLiteral("Screen Viewed"));
    ASSERT_EQ(events.size(), 3);
    for (int i = 0; i < 3; ++i) {
        const QJsonObject parameters = events[i].value(QStringLiteral("parameters")).toObject();
        EXPECT_EQ(parameters.value(QStringLiteral("ScreenID")).toString(), QStringLiteral("S%1").arg(i));
        EXPECT_FALSE(parameters.contains(QStringLiteral("action_value")));
    }
    EXPECT_NE(playedID(0), QStringLiteral("S0"));
}

TEST_F(PlayerTest, ScreenViewedTellsOwnersAndAdministratorsApart)
{
    const auto actionValue = [this](const QString& user, const QString& accountType) {
        Tessutils::setCorvikAuthToken(QStringLiteral("TOKEN"));
        Tessutils::setCorvikUserDict(SafeDictionary(
            QJsonObject{{QStringLiteral("username"), user}, {QStringLiteral("account_type"), accountType}}));
        const qsizetype before = environment.events(QStringLiteral("Screen Viewed")).size();
        makePlayer(3);
        player.reset();
        const auto events = environment.events(QStringLiteral("Screen Viewed"));
        if (events.size() != before + 1)
            return QStringLiteral("<no event>");
        return events.last()
            .value(QStringLiteral("parameters"))
            .toObject()
            .value(QStringLiteral("action_value"))
            .toString(QStringLiteral("<absent>"));
    };
    EXPECT_EQ(actionValue(QStringLiteral("ada"), QStringLiteral("admin")), QStringLiteral("isOwner"));
    EXPECT_EQ(actionValue(QStringLiteral("bob"), QStringLiteral("admin")), QStringLiteral("isAdmin"));
    EXPECT_EQ(actionValue(QStringLiteral("bob"), QStringLiteral("user")), QStringLiteral("<absent>"));
}

} // namespace
