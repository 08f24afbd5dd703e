#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "PlayerTestSupport.h"
#include "app/QVRActionLog.h"
#include "app/QVRTimedAnalytics.h"
#include "elements/players/ElementsPlayersLibrary.h"
#include "elements/players/QVR_AVPlayerVideoPlayingControlsView.h"
#include "elements/players/QVR_AVPlayerVideoPlayingView.h"
#include "elements/players/VideoPlayer.h"
#include "elements/players/VideoPlayerLayer.h"
#include "platform/UserDefaults.h"

namespace {

class PlayerView : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        UserDefaults::setStoreFileForTesting(folder.filePath(QStringLiteral("defaults.conf")));
        registerElementsPlayersLibrary();
        view = std::make_unique<QVR_AVPlayerVideoPlayingView>(QRect(0, 0, 640, 480));
        reports.attach(view.get());
    }
    void TearDown() override
    {
        view.reset();
        UserDefaults::setStoreFileForTesting(QString());
    }

    // Waits for readiness (or a failure) of what was set.
    bool waitReady(int ms = 5000)
    {
        return QTest::qWaitFor([&] { return reports.ready > 0 || !reports.errors.empty(); }, ms);
    }
    // Keeps checking that no picture shows without a frame while the event loop runs.
    void watchPicture(int ms)
    {
        (void)QTest::qWaitFor(
            [&] {
                if (view->isShowingPicture() && !view->playerLayer()->hasFrame())
                    reports.pictureShownWithoutFrame = true;
                return false;
            },
            ms);
    }

    QTemporaryDir folder;
    std::unique_ptr<QVR_AVPlayerVideoPlayingView> view;
    PlayerReports reports;
};

#define REQUIRE_CLIP(path)                                                                                             \
    if ((path).isEmpty())                                                                                              \
    GTEST_SKIP() << "ffmpeg is needed to make the test clips"

} // namespace

TEST_F(PlayerView, ClipWithSoundIsReadyOnceAndShowsItsPictureOnlyOnceFramesArrive)
{
    const QString clip = PlayerClips::clip320x240WithTone();
    REQUIRE_CLIP(clip);
    view->setVideoURL(QUrl::fromLocalFile(clip));
    EXPECT_FALSE(view->isShowingPicture());
    ASSERT_TRUE(waitReady());
    ASSERT_TRUE(reports.errors.empty()) << reports.errors.front()->description().toStdString();
    EXPECT_EQ(reports.ready, 1);

    view->play();
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->player()->position() >= 500; }, 5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->isShowingPicture(); }, 2000));
    EXPECT_EQ(view->playerLayer()->frameSize(), QSize(320, 240));
    const QImage grabbed = view->grab().toImage();
    EXPECT_GE(distinctCentreColours(grabbed), 4) << "the picture, not a plain black layer";
    watchPicture(300);
    EXPECT_EQ(reports.ready, 1) << "buffering states after the first do not count again";
    EXPECT_FALSE(reports.pictureShownWithoutFrame);
}

TEST_F(PlayerView, TextFileNamedLikeAVideoFailsOnceWithAMessageAndNeverShowsAPicture)
{
    const QString notVideo = PlayerClips::textFileNamedMp4();
    REQUIRE_CLIP(notVideo);
    view->setVideoURL(QUrl::fromLocalFile(notVideo));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !reports.errors.empty(); }, 5000));
    watchPicture(500);
    ASSERT_EQ(reports.errors.size(), 1u);
    ASSERT_TRUE(reports.errors.front().has_value());
    EXPECT_EQ(reports.errors.front()->domain, QStringLiteral("com.tessarine.VideoPlayer"));
    EXPECT_FALSE(reports.errors.front()->message.isEmpty());
    EXPECT_EQ(reports.ready, 0);
    EXPECT_FALSE(view->isShowingPicture());
}

TEST_F(PlayerView, MediaWithNeitherSoundNorPictureFailsOnceWithoutAnError)
{
    const QString words = PlayerClips::subtitlesOnly();
    REQUIRE_CLIP(words);
    view->setVideoURL(QUrl::fromLocalFile(words));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !reports.errors.empty(); }, 5000));
    watchPicture(300);
    ASSERT_EQ(reports.errors.size(), 1u);
    EXPECT_EQ(reports.ready, 0);
    EXPECT_FALSE(view->isShowingPicture());
    if (reports.errors.front())
        ADD_FAILURE() << "expected no error object, got " << reports.errors.front()->description().toStdString();
}

TEST_F(PlayerView, EmptyMissingAndFolderURLsEachFailOnceAndCloseStillWorks)
{
    int closes = 0;
    view->setClosedPressedBlock([&] { ++closes; });
    const QStringList paths{QString(), folder.filePath(QStringLiteral("gone.mp4")), PlayerClips::folder()};
    for (const QString& path : paths) {
        reports = PlayerReports{};
        reports.attach(view.get());
        view->setVideoURL(path.isEmpty() ? QUrl() : QUrl::fromLocalFile(path));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !reports.errors.empty(); }, 2000)) << path.toStdString();
        QTest::qWait(100);
        ASSERT_EQ(reports.errors.size(), 1u) << path.toStdString();
        ASSERT_TRUE(reports.errors.front().has_value());
        EXPECT_FALSE(reports.errors.front()->message.isEmpty());
        EXPECT_EQ(reports.ready, 0);
        EXPECT_FALSE(view->isShowingPicture());
        QTest::mouseClick(view->closeButton(), Qt::LeftButton);
    }
    EXPECT_EQ(closes, 3);
    // With nothing loaded the controls read zero and do nothing.
    view->controlsView()->playPressed();
    view->controlsView()->fastForwardPressed();
    QTest::qWait(50);
    EXPECT_EQ(view->player()->position(), 0);
    EXPECT_NE(view->player()->rate(), 2.0);
    EXPECT_EQ(view->controlsView()->videoTimeButtonLabel()->text(), QStringLiteral("-00:00:00"));
}

TEST_F(PlayerView, SoundOnlyFileIsReadyWithoutAPictureAndPlays)
{
    const QString clip = PlayerClips::soundOnly();
    REQUIRE_CLIP(clip);
    view->setVideoURL(QUrl::fromLocalFile(clip));
    ASSERT_TRUE(waitReady());
    ASSERT_TRUE(reports.errors.empty()) << reports.errors.front()->description().toStdString();
    view->play();
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->player()->position() > 200; }, 5000));
    EXPECT_EQ(reports.ready, 1);
    EXPECT_FALSE(view->isShowingPicture());
    EXPECT_FALSE(view->playerLayer()->hasFrame());
}

TEST_F(PlayerView, NewClipSetWhilePlayingPausesTheOldOneAndShowsTheNewFrames)
{
    const QString first = PlayerClips::clip320x240WithTone();
    const QString second = PlayerClips::clip640x360();
    REQUIRE_CLIP(first);
    REQUIRE_CLIP(second);
    view->setOnVideoReady([](QVR_AVPlayerVideoPlayingView* ready) { ready->play(); });
    view->setVideoURL(QUrl::fromLocalFile(first));
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->playerLayer()->frameSize() == QSize(320, 240); }, 5000));
    ASSERT_EQ(view->player()->rate(), 1.0);

    std::vector<double> rates;
    QObject::connect(view->player(), &VideoPlayer::rateChanged, view.get(),
                     [&](double rate) { rates.push_back(rate); });
    view->setVideoURL(QUrl::fromLocalFile(second));
    ASSERT_FALSE(rates.empty());
    EXPECT_EQ(rates.front(), 0.0) << "the old clip pauses first";
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->isShowingPicture(); }, 5000))
        << "rate " << view->player()->rate() << " position " << view->player()->position() << " status "
        << int(view->player()->mediaStatus()) << " frame " << view->playerLayer()->hasFrame();
    EXPECT_EQ(view->playerLayer()->frameSize(), QSize(640, 360));
    EXPECT_EQ(view->playerLayer()->currentImage().size(), QSize(640, 360).scaled(QSize(640, 480), Qt::KeepAspectRatio));
    EXPECT_EQ(view->player()->rate(), 1.0) << "the new clip plays once ready";
}

TEST_F(PlayerView, ScreenshotWhilePlayingShowsPictureHalfTransparentToolbarsAndTheCloseButtonInTheTopBar)
{
    const QString clip = PlayerClips::clip6Seconds();
    REQUIRE_CLIP(clip);
    view->resize(1024, 748);
    view->setBackgroundColor(Qt::black);
    view->setVideoURL(QUrl::fromLocalFile(clip));
    ASSERT_TRUE(waitReady());
    view->play();
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->isShowingPicture() && view->player()->position() > 300; }, 5000));
    // Paused for the grab, so that the window and the picture alone show the same frame.
    view->player()->pause();
    QTest::qWait(100);
    const QImage shot = view->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shot.size(), QSize(1024, 748));

    EXPECT_GE(distinctCentreColours(shot), 4);
    // The picture (320 × 240 fitted to the height) leaves black bars at the sides; the toolbars lie over them at
    // half opacity, so the black of the bar's background shows through.
    auto* controls = view->controlsView();
    EXPECT_DOUBLE_EQ(controls->topToolbarOpacity(), 0.5);
    EXPECT_DOUBLE_EQ(controls->botToolbarOpacity(), 0.5);
    const int middleX = 512;
    const QColor underTop = shot.pixelColor(middleX, 30);
    const QColor underBottom = shot.pixelColor(middleX, 748 - 5);
    const QColor pictureTop = view->playerLayer()->grab().toImage().pixelColor(middleX, 30);
    // Half black over the picture: each channel about half of the picture's.
    for (auto [shown, below] : {std::pair{underTop, pictureTop}}) {
        EXPECT_NEAR(shown.red(), below.red() / 2, 12);
        EXPECT_NEAR(shown.green(), below.green() / 2, 12);
        EXPECT_NEAR(shown.blue(), below.blue() / 2, 12);
    }
    EXPECT_LT(underBottom.lightness(), 140);

    QPushButton* close = view->closeButton();
    const int toolbar = controls->topToolbarView()->height();
    const int margin = (toolbar - close->height()) / 2;
    EXPECT_EQ(close->geometry().top(), margin);
    EXPECT_EQ(close->geometry().right(), 1024 - margin - 1);
    EXPECT_EQ(close->geometry().center().y(), controls->topToolbarView()->geometry().center().y());
    EXPECT_TRUE(close->isVisibleTo(view.get()));
    // The close button's white cross is drawn over the toolbar.
    int white = 0;
    for (int y = close->geometry().top(); y <= close->geometry().bottom(); ++y)
        for (int x = close->geometry().left(); x <= close->geometry().right(); ++x)
            white += shot.pixelColor(x, y).lightness() > 230;
    EXPECT_GT(white, 20);
}

TEST_F(PlayerView, TheCloseButtonStaysWhileTheToolbarsFade)
{
    const QString clip = PlayerClips::clip6Seconds();
    REQUIRE_CLIP(clip);
    // Wide enough that the close button lies over the black beside the picture.
    view->resize(1400, 500);
    view->setBackgroundColor(Qt::black);
    view->setVideoURL(QUrl::fromLocalFile(clip));
    ASSERT_TRUE(waitReady());
    auto* controls = view->controlsView();
    const auto whiteInClose = [&] {
        const QImage shot = view->grab().toImage();
        const QRect area = view->closeButton()->geometry();
        int white = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                white += shot.pixelColor(x, y).lightness() > 200;
        return white;
    };
    const int shown = whiteInClose();
    EXPECT_GT(shown, 20);
    ASSERT_TRUE(QTest::qWaitFor([&] { return controls->topToolbarOpacity() == 0.0; }, 5000));
    const QImage faded = view->grab().toImage();
    const QRect bar = controls->topToolbarView()->geometry();
    EXPECT_EQ(faded.pixelColor(bar.left() + 20, bar.center().y()), QColor(Qt::black)) << "the toolbar is gone";
    EXPECT_EQ(whiteInClose(), shown) << "the way out stays, fully drawn";
    EXPECT_FALSE(view->closeButton()->isHidden());
}

TEST_F(PlayerView, EndingTheViewFinishesViewVideoOnce)
{
    QVRActionLog log(folder.filePath(QStringLiteral("actions.json")),
                     [](const QByteArray&, std::function<void(bool)>) {});
    QVRActionLog::setSharedForTesting(&log);
    QVRTimedAnalytics::logTimedEvent(QStringLiteral("View Video"), QStringLiteral("clip"),
                                     {{QStringLiteral("URL"), QStringLiteral("/tmp/clip.mp4")}});
    view.reset();
    EXPECT_FALSE(QVRTimedAnalytics::isRunning(QStringLiteral("View Video")));
    ASSERT_EQ(log.backlog().size(), 1);
    EXPECT_EQ(log.backlog().at(0)[QStringLiteral("name")].toString(), QStringLiteral("View Video"));

    // A view that ends after the viewer's close block already finished the event logs nothing more.
    auto another = std::make_unique<QVR_AVPlayerVideoPlayingView>(QRect(0, 0, 100, 100));
    another.reset();
    EXPECT_EQ(log.backlog().size(), 1);
    QVRTimedAnalytics::resetForTesting();
    QVRActionLog::setSharedForTesting(nullptr);
}

TEST_F(PlayerView, PresentedOverAViewerItFollowsItsSizeAndCloseRemovesIt)
{
    const QString clip = PlayerClips::clip320x240WithTone();
    REQUIRE_CLIP(clip);
    QWidget viewer;
    viewer.resize(800, 600);
    viewer.show();
    bool dismissed = false;
    QPointer<QVR_AVPlayerVideoPlayingView> shown =
        QVR_AVPlayerVideoPlayingView::presentOverView(&viewer, clip, [&] { dismissed = true; });
    ASSERT_TRUE(shown);
    EXPECT_TRUE(QVRTimedAnalytics::isRunning(QStringLiteral("View Video")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown->player()->rate() == 1.0; }, 5000)) << "plays once ready";
    viewer.resize(1000, 700);
    EXPECT_EQ(shown->size(), QSize(1000, 700));
    EXPECT_EQ(shown->controlsView()->size(), QSize(1000, 700));

    QTest::mouseClick(shown->closeButton(), Qt::LeftButton);
    EXPECT_TRUE(dismissed);
    EXPECT_FALSE(QVRTimedAnalytics::isRunning(QStringLiteral("View Video")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown.isNull(); }, 1000));
    QVRTimedAnalytics::resetForTesting();
}
