#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QKeyEvent>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTemporaryDir>
#include <QTest>

#include "PlayerTestSupport.h"
#include "elements/players/ElementsPlayersLibrary.h"
#include "elements/players/QVR_AVPlayerVideoPlayingControlsView.h"
#include "elements/players/QVR_AVPlayerVideoPlayingView.h"
#include "elements/players/QVR_AVVideoPlayerSlider.h"
#include "elements/players/VideoPlayer.h"
#include "platform/UserDefaults.h"

namespace {

using Controls = QVR_AVPlayerVideoPlayingControlsView;

class PlayerControls : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        UserDefaults::setStoreFileForTesting(folder.filePath(QStringLiteral("defaults.conf")));
        registerElementsPlayersLibrary();
    }
    void TearDown() override
    {
        view.reset();
        UserDefaults::setStoreFileForTesting(QString());
    }

    // A player view with the 6 s clip loaded and ready (not playing); false without the clip.
    bool openSixSeconds()
    {
        const QString clip = PlayerClips::clip6Seconds();
        if (clip.isEmpty())
            return false;
        view = std::make_unique<QVR_AVPlayerVideoPlayingView>(QRect(0, 0, 640, 480));
        reports.attach(view.get());
        view->setVideoURL(QUrl::fromLocalFile(clip));
        return QTest::qWaitFor([&] { return reports.ready > 0 && view->player()->duration() > 0; }, 5000) &&
               reports.errors.empty();
    }
    Controls* controls() const { return view->controlsView(); }
    VideoPlayer* player() const { return view->player(); }

    QTemporaryDir folder;
    std::unique_ptr<QVR_AVPlayerVideoPlayingView> view;
    PlayerReports reports;
};

#define REQUIRE_SIX_SECONDS()                                                                                          \
    if (!openSixSeconds())                                                                                             \
    GTEST_SKIP() << "the 6 s clip could not be made or loaded"

} // namespace

TEST_F(PlayerControls, VolumeStartsAtHalfAndTheLastSettingSurvivesClosingThePlayer)
{
    VideoPlayer player;
    {
        Controls fresh;
        fresh.setAvPlayer(&player);
        EXPECT_EQ(fresh.volume()->value(), 50);
        EXPECT_FLOAT_EQ(player.volume(), 0.5f);
        fresh.volume()->setValue(80);
        EXPECT_FLOAT_EQ(player.volume(), 0.8f);
    }
    EXPECT_TRUE(UserDefaults::standard().boolValue(Controls::kDidSaveVolumeKey));
    EXPECT_EQ(UserDefaults::standard().integer(Controls::kSavedVolumeKey), 80);

    VideoPlayer other;
    Controls reopened;
    reopened.setAvPlayer(&other);
    EXPECT_EQ(reopened.volume()->value(), 80);
    EXPECT_FLOAT_EQ(other.volume(), 0.8f);

    // Hand-edited defaults out of range are brought back into 0..100.
    UserDefaults::standard().setValue(Controls::kSavedVolumeKey, 250);
    EXPECT_EQ(Controls::savedVolume(), 100);
}

TEST_F(PlayerControls, TimeTitlesCountHoursWithoutWrappingAndOddStoredLabelTypesReadAsRemaining)
{
    Controls controls;
    controls.setDuration(3725900);
    EXPECT_EQ(controls.titleForTime(0, Controls::TotalDuration), QStringLiteral("01:02:05"));
    EXPECT_EQ(controls.titleForTime(0, Controls::TimeRemaining), QStringLiteral("-01:02:05"));
    EXPECT_EQ(controls.titleForTime(65500, Controls::TimeElapsed), QStringLiteral("00:01:05"));
    EXPECT_EQ(controls.titleForTime(4000000, Controls::TimeRemaining), QStringLiteral("-00:00:00"));
    controls.setDuration(360000000);
    EXPECT_EQ(controls.titleForTime(0, Controls::TotalDuration), QStringLiteral("100:00:00"));

    for (int stored : {7, -1, 2}) {
        UserDefaults::standard().setValue(Controls::kEndOfScrubberLabelTypeKey, stored);
        EXPECT_EQ(Controls::savedEndOfScrubberLabelType(), 0u) << stored;
    }
}

TEST_F(PlayerControls, EndLabelShowsRemainingThenTotalAndTheChoiceIsRemembered)
{
    REQUIRE_SIX_SECONDS();
    controls()->updateUIElements();
    EXPECT_EQ(controls()->videoTimeButtonLabel()->text(), QStringLiteral("-00:00:06"));
    EXPECT_EQ(controls()->currentTimeButtonLabel()->text(), QStringLiteral("00:00:00"));
    QTest::mouseClick(controls()->videoTimeButtonLabel(), Qt::LeftButton);
    EXPECT_EQ(controls()->videoTimeButtonLabel()->text(), QStringLiteral("00:00:06"));
    EXPECT_EQ(UserDefaults::standard().integer(Controls::kEndOfScrubberLabelTypeKey), 1);

    ASSERT_TRUE(openSixSeconds());
    controls()->updateUIElements();
    EXPECT_EQ(controls()->videoTimeButtonLabel()->text(), QStringLiteral("00:00:06"));
}

TEST_F(PlayerControls, PlayAtTheEndRestartsAndMidClipToggles)
{
    REQUIRE_SIX_SECONDS();
    EXPECT_EQ(controls()->scrubber()->maximum(), int(player()->duration()));
    player()->setPosition(player()->duration());
    ASSERT_TRUE(QTest::qWaitFor([&] { return player()->isAtEnd(); }, 2000));
    controls()->playPressed();
    EXPECT_EQ(player()->rate(), 1.0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return player()->position() > 0 && player()->position() < 2000; }, 3000));
    EXPECT_EQ(controls()->playButtonImageName(), QStringLiteral("avPlayer-pause-button"));

    controls()->playPressed();
    EXPECT_EQ(player()->rate(), 0.0);
    EXPECT_EQ(controls()->playButtonImageName(), QStringLiteral("avPlayer-play-button"));
    controls()->playPressed();
    EXPECT_EQ(player()->rate(), 1.0);
}

TEST_F(PlayerControls, FastForwardRunsAtDoubleSpeedAndRewindStopsAtTheStart)
{
    REQUIRE_SIX_SECONDS();
    controls()->fastForwardPressed();
    EXPECT_EQ(player()->rate(), 2.0);
    EXPECT_EQ(controls()->forwardButtonImageName(), QStringLiteral("avPlayer-forward-icon-selected"));
    const qint64 start = player()->position();
    QElapsedTimer clock;
    clock.start();
    QTest::qWait(1000);
    const double gainedPerSecond = double(player()->position() - start) / double(clock.elapsed());
    EXPECT_GE(gainedPerSecond, 1.6);
    EXPECT_LE(gainedPerSecond, 2.4);
    controls()->fastForwardPressed();
    EXPECT_EQ(player()->rate(), 2.0);

    controls()->pause();
    player()->setPosition(3000);
    controls()->rewindPressed();
    controls()->rewindPressed();
    EXPECT_EQ(player()->rate(), -2.0);
    EXPECT_EQ(controls()->rewindButtonImageName(), QStringLiteral("avPlayer-rewind-button-selected"));
    controls()->playPressed();
    EXPECT_EQ(player()->rate(), 0.0) << "play while rewinding pauses";

    controls()->rewindPressed();
    ASSERT_TRUE(QTest::qWaitFor([&] { return player()->rate() == 0.0; }, 3000));
    EXPECT_EQ(player()->position(), 0);
    controls()->updateUIElements();
    EXPECT_EQ(controls()->rewindButtonImageName(), QStringLiteral("avPlayer-rewind-button"));

    // Scrubbing beyond either end is clamped.
    player()->setPosition(-500);
    EXPECT_EQ(player()->position(), 0);
    player()->setPosition(player()->duration() + 10000);
    ASSERT_TRUE(QTest::qWaitFor([&] { return player()->position() > 0; }, 2000));
    EXPECT_LE(player()->position(), player()->duration());
}

TEST_F(PlayerControls, SpaceTogglesPlaybackInThePlayersWindowOnlyAndNeverReachesOtherHandlers)
{
    REQUIRE_SIX_SECONDS();
    QWidget window;
    window.resize(640, 480);
    view->setParent(&window);
    auto* sibling = new QWidget(&window);
    sibling->setFocusPolicy(Qt::StrongFocus);
    int siblingSaw = 0;
    struct Spy : QObject {
        int* count;
        explicit Spy(int* c)
            : count(c)
        {
        }
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space)
                ++*count;
            return false;
        }
    } spy(&siblingSaw);
    sibling->installEventFilter(&spy);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    QTest::keyClick(sibling, Qt::Key_Space);
    EXPECT_EQ(player()->rate(), 1.0);
    QTest::keyClick(sibling, Qt::Key_Space);
    EXPECT_EQ(player()->rate(), 0.0);
    EXPECT_EQ(siblingSaw, 0);

    QWidget elsewhere;
    int elsewhereSaw = 0;
    Spy other(&elsewhereSaw);
    elsewhere.installEventFilter(&other);
    elsewhere.show();
    QTest::keyClick(&elsewhere, Qt::Key_Space);
    EXPECT_EQ(elsewhereSaw, 1);
    EXPECT_EQ(player()->rate(), 0.0);
    view->setParent(nullptr);
}

TEST_F(PlayerControls, ToolbarsFadeAfterTheDurationIsKnownAndComeBackOnMouseMovement)
{
    REQUIRE_SIX_SECONDS();
    EXPECT_DOUBLE_EQ(controls()->topToolbarOpacity(), 0.5);
    EXPECT_DOUBLE_EQ(controls()->botToolbarOpacity(), 0.5);
    ASSERT_TRUE(QTest::qWaitFor([&] { return controls()->topToolbarOpacity() == 0.0; }, 3600));
    EXPECT_EQ(controls()->botToolbarOpacity(), 0.0);

    QMouseEvent move(QEvent::MouseMove, QPointF(100, 100), QPointF(100, 100), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(controls(), &move);
    EXPECT_DOUBLE_EQ(controls()->topToolbarOpacity(), 0.5);
    EXPECT_DOUBLE_EQ(controls()->botToolbarOpacity(), 0.5);
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return controls()->topToolbarOpacity() == 0.0; }, 2500));
    EXPECT_GE(clock.elapsed(), 1000);
    EXPECT_LE(clock.elapsed(), 1600 + 200);
}

TEST_F(PlayerControls, DraggingTheScrubberSeeksAsItMovesAndKeepsPlaying)
{
    REQUIRE_SIX_SECONDS();
    view->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    controls()->playPressed();
    ASSERT_EQ(player()->rate(), 1.0);

    QVR_AVVideoPlayerSlider* scrubber = controls()->scrubber();
    ASSERT_TRUE(QTest::qWaitFor([&] { return scrubber->isVisible() && scrubber->width() > 100; }, 2000));
    QStyleOptionSlider option;
    option.initFrom(scrubber);
    option.orientation = scrubber->orientation();
    option.minimum = scrubber->minimum();
    option.maximum = scrubber->maximum();
    option.sliderPosition = scrubber->sliderPosition();
    option.sliderValue = scrubber->value();
    option.subControls = QStyle::SC_SliderGroove | QStyle::SC_SliderHandle;
    const QRect handle =
        scrubber->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, scrubber);
    const QRect groove =
        scrubber->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, scrubber);
    ASSERT_FALSE(handle.isEmpty());

    // Grab the handle and pull it along the bar: each step seeks at once, and the clip never stops.
    QPoint at = handle.center();
    QTest::mousePress(scrubber, Qt::LeftButton, Qt::NoModifier, at);
    const qint64 duration = player()->duration();
    // Forward, back behind the playing position, forward again: playing alone reaches none of these in time.
    qint64 target = 0;
    for (double share : {0.8, 0.2, 0.6}) {
        at.setX(groove.left() + int(share * groove.width()));
        QMouseEvent move(QEvent::MouseMove, at, scrubber->mapToGlobal(at), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QCoreApplication::sendEvent(scrubber, &move);
        target = scrubber->value();
        EXPECT_NEAR(double(target), share * double(duration), 0.1 * double(duration));
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return player()->position() >= target - 100 && player()->position() <= target + 600; }, 1000))
            << "seeking to " << target << " of " << duration << ", at " << player()->position();
        EXPECT_EQ(player()->rate(), 1.0);
    }
    QTest::mouseRelease(scrubber, Qt::LeftButton, Qt::NoModifier, at);
    EXPECT_EQ(player()->rate(), 1.0);
    EXPECT_EQ(controls()->playButtonImageName(), QStringLiteral("avPlayer-pause-button"));
}

TEST(PlayerSlider, BarShowsOnlyTheSecondColourAtTheMinimumAndOnlyTheBrandBlueAtTheMaximum)
{
    QVR_AVVideoPlayerSlider slider(Qt::Horizontal);
    slider.resize(300, 30);
    slider.setRange(0, 100);
    const auto barColours = [&](int value) {
        slider.setValue(value);
        QImage image(slider.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::black);
        slider.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        const QRectF bar = slider.barRect();
        const int y = int(bar.center().y());
        // Away from the knob (which sits at the end the value points to).
        int blue = 0, other = 0;
        const int from = value == 0 ? int(bar.left() + bar.width() / 3) : int(bar.left() + 6);
        const int to = value == 0 ? int(bar.right() - 6) : int(bar.right() - bar.width() / 3);
        for (int x = from; x <= to; ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c == QColor(0x1F, 0x70, 0xA8))
                ++blue;
            else
                ++other;
        }
        return std::pair{blue, other};
    };
    const auto [blueAtMinimum, otherAtMinimum] = barColours(0);
    EXPECT_EQ(blueAtMinimum, 0);
    EXPECT_GT(otherAtMinimum, 0);
    const auto [blueAtMaximum, otherAtMaximum] = barColours(100);
    EXPECT_GT(blueAtMaximum, 0);
    EXPECT_EQ(otherAtMaximum, 0);
    // White at half alpha over black: mid grey.
    slider.setValue(0);
    QImage image(slider.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    slider.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    EXPECT_NEAR(image.pixelColor(int(slider.barRect().right() - 10), int(slider.barRect().center().y())).red(), 128, 3);
}
