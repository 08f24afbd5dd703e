#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>

#include "foundation/BlockTimer.h"

namespace {

// Timers on a loaded CI machine may run late, never early; the bounds below allow for that.
constexpr int kSlack = 80;

} // namespace

TEST(BlockTimer, RunsFireCountTimesStartingOneIntervalAfterTheDelay)
{
    QElapsedTimer clock;
    clock.start();
    QList<qint64> runs;
    BlockTimer timer([&] { runs.append(clock.elapsed()); }, 3, 0.1, 0.2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return timer.isStopped(); }, 3000));
    ASSERT_EQ(runs.size(), 3);
    EXPECT_GE(runs[0], 300 - 2);
    EXPECT_LE(runs[0], 300 + kSlack);
    // Runs keep to the grid of delay + n intervals, so a late run does not push the next one back.
    EXPECT_GE(runs[1], 400 - 2);
    EXPECT_GE(runs[2], 500 - 2);
    EXPECT_EQ(timer.numEventsFired(), 3);

    QTest::qWait(150);
    EXPECT_EQ(runs.size(), 3);
}

TEST(BlockTimer, NegativeCountRepeatsUntilStoppedAndZeroNeverRuns)
{
    int endless = 0;
    int never = 0;
    BlockTimer repeating([&] { ++endless; }, -1, 0.01, 0);
    BlockTimer zero([&] { ++never; }, 0, 0.01, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return endless >= 5; }, 3000));
    EXPECT_TRUE(repeating.isRunning());
    repeating.stop();
    const int atStop = endless;
    QTest::qWait(60);
    EXPECT_EQ(endless, atStop);
    EXPECT_EQ(never, 0);
    EXPECT_TRUE(zero.isStopped());
}

TEST(BlockTimer, PauseMovesTheNextRunByThePauseLength)
{
    QElapsedTimer clock;
    clock.start();
    qint64 ranAt = -1;
    BlockTimer timer([&] { ranAt = clock.elapsed(); }, 1, 0.2, 0);
    QTest::qWait(50);
    timer.pause();
    EXPECT_TRUE(timer.isPaused());
    QTest::qWait(150);
    EXPECT_EQ(ranAt, -1);
    timer.resume();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ranAt >= 0; }, 3000));
    // 200 ms of schedule plus at least the 150 ms paused.
    EXPECT_GE(ranAt, 350 - 2);
    EXPECT_LE(ranAt, 350 + 2 * kSlack);

    timer.resume(); // finished: nothing happens
    EXPECT_TRUE(timer.isStopped());
}

TEST(BlockTimer, ExtraEventsRunAtOnceOutsideTheCount)
{
    int runs = 0;
    BlockTimer timer([&] { ++runs; }, 2, 0.05, 0);
    timer.fireExtraEvent();
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(timer.numEventsFired(), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return timer.isStopped(); }, 3000));
    EXPECT_EQ(runs, 3);
    EXPECT_EQ(timer.numEventsFired(), 2);
    timer.fireExtraEvent();
    EXPECT_EQ(runs, 3);
}

TEST(BlockTimer, TheBlockMayStopOrDestroyItsOwnTimer)
{
    int runs = 0;
    BlockTimer* stopping = nullptr;
    stopping = new BlockTimer(
        [&] {
            ++runs;
            stopping->stop();
        },
        -1, 0.01, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return stopping->isStopped(); }, 3000));
    EXPECT_EQ(runs, 1);
    delete stopping;

    bool destroyed = false;
    BlockTimer* self = nullptr;
    self = new BlockTimer(
        [&] {
            delete self;
            destroyed = true;
        },
        -1, 0.01, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return destroyed; }, 3000));
    QTest::qWait(30); // a stray tick of the destroyed timer would crash here
}
