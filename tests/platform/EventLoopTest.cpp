#include <atomic>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTest>
#include <QThread>
#include <QTimer>

#include "platform/EndOfTurn.h"
#include "platform/MainThread.h"

TEST(MainThread, WaitingRunFromAWorkerReturnsAfterTheBlockRanOnTheMainThread)
{
    EXPECT_TRUE(MainThread::isMainThread());
    std::atomic<bool> ranBeforeReturn = false;
    std::atomic<bool> workerDone = false;
    std::atomic<bool> workerSawMainThread = true;
    QThread* ranOn = nullptr;

    std::thread worker([&] {
        workerSawMainThread = MainThread::isMainThread();
        bool ran = false;
        MainThread::run(
            [&] {
                ranOn = QThread::currentThread();
                ran = true;
            },
            true);
        ranBeforeReturn = ran;
        workerDone = true;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return workerDone.load(); }, 5000));
    worker.join();
    EXPECT_FALSE(workerSawMainThread);
    EXPECT_TRUE(ranBeforeReturn);
    EXPECT_EQ(ranOn, QCoreApplication::instance()->thread());
}

TEST(MainThread, OnTheMainThreadAWaitingRunIsInlineAndANonWaitingOneIsQueued)
{
    int waited = 0, queued = 0;
    MainThread::run([&] { ++waited; }, true);
    MainThread::run([&] { ++queued; }, false);
    EXPECT_EQ(waited, 1);
    EXPECT_EQ(queued, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return queued == 1; }, 5000));
}

TEST(MainThread, DelayedBlockRunsOnceAndNeverEarly)
{
    int runs = 0;
    qint64 elapsedAtRun = -1;
    QElapsedTimer clock;
    clock.start();
    MainThread::runAfter(0.2, [&] {
        ++runs;
        elapsedAtRun = clock.nsecsElapsed();
    });
    EXPECT_EQ(runs, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return runs > 0; }, 5000));
    EXPECT_GE(elapsedAtRun, 200'000'000);

    // A later block has run: the first one did not fire a second time meanwhile.
    bool later = false;
    MainThread::runAfter(0.05, [&] { later = true; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return later; }, 5000));
    EXPECT_EQ(runs, 1);
}

TEST(MainThread, DelayedBlockFromAWorkerRunsOnTheMainThreadAndSkipsADestroyedContext)
{
    QThread* ranOn = nullptr;
    bool contextBlockRan = false;
    auto context = std::make_unique<QObject>();
    MainThread::runAfter(0.01, context.get(), [&] { contextBlockRan = true; });
    context.reset();

    std::thread worker([&] { MainThread::runAfter(0.03, [&] { ranOn = QThread::currentThread(); }); });
    worker.join();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ranOn != nullptr; }, 5000));
    EXPECT_EQ(ranOn, QCoreApplication::instance()->thread());
    EXPECT_FALSE(contextBlockRan);
}

TEST(EndOfTurnCoalescer, ManyRequestsInOneTurnRunTheCallbackOnce)
{
    int runs = 0;
    EndOfTurnCoalescer coalescer([&] { ++runs; });
    for (int i = 0; i < 5; ++i)
        coalescer.request();
    EXPECT_EQ(runs, 0); // never synchronously
    EXPECT_TRUE(coalescer.isPending());
    QCoreApplication::processEvents();
    EXPECT_EQ(runs, 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(runs, 1);

    coalescer.request(); // the next turn gets its own call
    QCoreApplication::processEvents();
    EXPECT_EQ(runs, 2);
}

TEST(EndOfTurnCoalescer, RunsInsideANestedEventLoop)
{
    int runs = 0;
    bool ranInNestedLoop = false;
    QEventLoop* nested = nullptr;
    EndOfTurnCoalescer coalescer([&] {
        ++runs;
        ranInNestedLoop = nested && nested->isRunning();
        if (nested)
            nested->quit();
    });

    // As a modal dialog does: a turn of the outer loop starts a nested loop, and the requests are made from
    // a turn of the nested loop.
    bool finished = false;
    MainThread::run(
        [&] {
            QEventLoop loop;
            nested = &loop;
            MainThread::run(
                [&] {
                    for (int i = 0; i < 5; ++i)
                        coalescer.request();
                },
                false);
            QTimer::singleShot(5000, &loop, &QEventLoop::quit); // bound the wait if the callback never comes
            loop.exec();
            nested = nullptr;
            finished = true;
        },
        false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished; }, 10000));
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(ranInNestedLoop);
}

TEST(EndOfTurnCoalescer, CancelledOrDestroyedCoalescerDoesNotCall)
{
    int runs = 0;
    {
        EndOfTurnCoalescer coalescer([&] { ++runs; });
        coalescer.request();
        coalescer.cancel();
        QCoreApplication::processEvents();
        EXPECT_EQ(runs, 0);

        coalescer.request();
    } // destroyed with a request pending
    QCoreApplication::processEvents();
    EXPECT_EQ(runs, 0);

    // A request made by the callback itself is served in a later turn, not recursively.
    EndOfTurnCoalescer chained([&] {
        if (++runs < 3)
            chained.request();
    });
    chained.request();
    QCoreApplication::processEvents();
    EXPECT_GE(runs, 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return runs == 3; }, 5000));
}
