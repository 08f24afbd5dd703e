#include <array>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include <sys/resource.h>

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTest>

#include "platform/HandOffQueue.h"
#include "platform/ThreadInbox.h"
#include "platform/WorkerThreads.h"
#include "platform/MainThread.h"

namespace {

constexpr int kThreads = 8;
constexpr int kPerThread = 12'500; // 100,000 in all

// Counts its own destructions, so a test can tell that every closure was released, run or not.
struct DestructionCounter {
    explicit DestructionCounter(std::atomic<int>& count)
        : m_count(count)
    {
    }
    ~DestructionCounter() { m_count.fetch_add(1, std::memory_order_relaxed); }
    std::atomic<int>& m_count;
};

// What the main thread saw, touched only there: each thread's next expected number and what went wrong.
struct Arrivals {
    std::array<int, kThreads> next{};
    int total = 0;
    int outOfOrder = 0;

    void arrive(int thread, int index)
    {
        if (index != next[thread])
            ++outOfOrder;
        next[thread] = index + 1;
        ++total;
    }
};

} // namespace

TEST(HandOffQueue, ClosuresFromEightThreadsRunOnTheMainThreadOnceEachInEachThreadsOrder)
{
    Arrivals arrivals;
    std::atomic<int> offMainThread = 0;
    std::atomic<int> released = 0;
    std::vector<std::thread> posters;
    for (int t = 0; t < kThreads; ++t) {
        posters.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i) {
                auto counter = std::make_shared<DestructionCounter>(released);
                MainThread::run(
                    [&arrivals, &offMainThread, counter, t, i] {
                        if (!MainThread::isMainThread())
                            ++offMainThread;
                        arrivals.arrive(t, i);
                    },
                    false);
            }
        });
    }
    const bool allRan = QTest::qWaitFor([&] { return arrivals.total >= kThreads * kPerThread; }, 60'000);
    for (std::thread& poster : posters)
        poster.join();
    ASSERT_TRUE(allRan) << arrivals.total;
    QCoreApplication::processEvents(); // nothing may run twice
    EXPECT_EQ(arrivals.total, kThreads * kPerThread);
    EXPECT_EQ(arrivals.outOfOrder, 0);
    for (int t = 0; t < kThreads; ++t)
        EXPECT_EQ(arrivals.next[t], kPerThread) << "thread " << t;
    EXPECT_EQ(offMainThread.load(), 0);
    EXPECT_EQ(released.load(), kThreads * kPerThread);
}

TEST(HandOffQueue, NothingRunsAfterTheReceivingInboxIsGoneAndEveryClosureIsReleased)
{
    auto inbox = std::make_unique<ThreadInbox>();
    const std::shared_ptr<HandOffQueue> queue = inbox->queue();
    Arrivals arrivals;
    bool inboxGone = false;
    int ranAfterGone = 0;
    std::atomic<int> released = 0;
    std::atomic<int> refused = 0;
    std::atomic<int> firstHalvesPosted = 0;
    std::atomic<bool> destroyed = false;

    std::vector<std::thread> posters;
    for (int t = 0; t < kThreads; ++t) {
        posters.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i) {
                // The second half is posted only once the inbox is gone: all of it must be refused.
                if (i == kPerThread / 2) {
                    ++firstHalvesPosted;
                    while (!destroyed.load())
                        std::this_thread::yield();
                }
                auto counter = std::make_shared<DestructionCounter>(released);
                const bool taken = queue->push([&, counter, t, i] {
                    if (inboxGone)
                        ++ranAfterGone;
                    arrivals.arrive(t, i);
                });
                if (!taken)
                    ++refused;
            }
        });
    }
    // Let part of the first halves run, then drop the inbox while the rest is still queued.
    const bool someRan = QTest::qWaitFor([&] { return arrivals.total >= kThreads * kPerThread / 8; }, 60'000);
    ASSERT_TRUE(QTest::qWaitFor([&] { return firstHalvesPosted.load() == kThreads; }, 60'000));
    const int ranBeforeGone = arrivals.total;
    inbox.reset();
    inboxGone = true;
    destroyed = true;
    for (std::thread& poster : posters)
        poster.join();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();

    EXPECT_TRUE(someRan);
    EXPECT_EQ(ranAfterGone, 0);
    EXPECT_EQ(arrivals.total, ranBeforeGone);
    EXPECT_EQ(arrivals.outOfOrder, 0); // each thread's run closures are a prefix of what it posted
    EXPECT_EQ(refused.load(), kThreads * (kPerThread - kPerThread / 2));
    EXPECT_EQ(released.load(), kThreads * kPerThread); // dropped closures are destroyed, not leaked
    EXPECT_TRUE(queue->isClosed());
}

// The main thread's inbox is made by whichever thread hands it something first, often a worker.
// A thread that hands over a result and is then held up while it wakes the receiver (descheduled in that system
// call on a busy machine) holds nothing the receiver waits for: the receiver pops the result and the others
// queued meanwhile at once, and the held-up wake-up still arrives afterwards.
TEST(HandOffQueue, AReceiverNeverWaitsForAPusherHeldUpWhileWakingIt)
{
    HandOffQueue queue;
    std::atomic<bool> inWake = false;
    std::atomic<bool> letGo = false;
    std::atomic<int> wakeUps = 0;
    queue.setWake([&]() -> HandOffQueue::Deliver {
        return [&] {
            if (!inWake.exchange(true)) {
                while (!letGo.load())
                    std::this_thread::yield();
            }
            wakeUps.fetch_add(1);
        };
    });
    std::thread slow([&] { queue.push([] {}); });
    while (!inWake.load())
        std::this_thread::yield();
    std::thread other([&] { queue.push([] {}); });
    other.join();

    QElapsedTimer popping;
    popping.start();
    int popped = 0;
    while (HandOffQueue::Task task = queue.tryPop()) {
        task();
        ++popped;
    }
    EXPECT_EQ(popped, 2);
    EXPECT_LT(popping.elapsed(), 50) << "the receiver waited for the held-up pusher";
    EXPECT_EQ(wakeUps.load(), 1);
    letGo = true;
    slow.join();
    EXPECT_EQ(wakeUps.load(), 2);
}

TEST(HandOffQueue, AnInboxMadeOnAWorkerRunsItsClosuresOnTheThreadItServes)
{
    std::unique_ptr<ThreadInbox> inbox;
    bool ranOnMain = false;
    std::atomic<bool> posted = false;
    std::atomic<bool> release = false;
    // The maker goes on running, and the main thread takes the closure straight from its posted events rather
    // than being woken by its event loop: nothing but the inbox orders the maker's work before the run.
    std::thread maker([&] {
        inbox = std::make_unique<ThreadInbox>(QCoreApplication::instance()->thread());
        inbox->post([&] { ranOnMain = MainThread::isMainThread(); });
        posted.store(true, std::memory_order_relaxed);
        while (!release.load(std::memory_order_relaxed))
            std::this_thread::yield();
    });
    while (!posted.load(std::memory_order_relaxed))
        std::this_thread::yield();
    QElapsedTimer waited;
    waited.start();
    while (!ranOnMain && waited.elapsed() < 10'000)
        QCoreApplication::sendPostedEvents();
    const bool ran = ranOnMain;
    release = true;
    maker.join();
    EXPECT_TRUE(ran);
    EXPECT_TRUE(inbox->isCurrent());
    inbox.reset();
}

TEST(HandOffQueue, ANestedEventLoopInsideAClosureRunsTheClosuresBehindItInOrder)
{
    ThreadInbox inbox;
    std::vector<int> order;
    bool nestedReturned = false;
    std::thread poster([&] {
        inbox.post([&] {
            order.push_back(1);
            QEventLoop nested;
            inbox.post([&] { nested.quit(); }); // behind 2 and 3
            nested.exec();
            nestedReturned = true;
        });
        inbox.post([&] { order.push_back(2); });
        inbox.post([&] { order.push_back(3); });
    });
    poster.join();
    ASSERT_TRUE(QTest::qWaitFor([&] { return nestedReturned; }, 5000));
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));

    // A queue that is closed refuses; one that is finished lets a worker drain it first.
    HandOffQueue finished;
    int ran = 0;
    ASSERT_TRUE(finished.push([&] { ++ran; }));
    finished.finish();
    EXPECT_FALSE(finished.push([&] { ++ran; }));
    while (HandOffQueue::Task task = finished.waitPop())
        task();
    EXPECT_EQ(ran, 1);
    EXPECT_FALSE(finished.push({}));
}

TEST(WorkerThreads, OneThreadRunsInPostingOrderFinishRunsEverythingAndStopDropsWhatHasNotStarted)
{
    std::vector<int> order; // written by the single worker only; read after it joined
    bool sawWorker = true;
    {
        WorkerThreads writer(1, QStringLiteral("test writer"));
        EXPECT_FALSE(writer.isCurrent());
        for (int i = 0; i < 1000; ++i)
            writer.post([&, i] {
                sawWorker = sawWorker && writer.isCurrent();
                order.push_back(i);
            });
        writer.finish();
        EXPECT_FALSE(writer.post([&] { order.push_back(-1); }));
    }
    ASSERT_EQ(order.size(), 1000u);
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(order[std::size_t(i)], i);
    EXPECT_TRUE(sawWorker);

    // Stop waits for the task that runs and drops the ones behind it. The running task learns that the
    // queue is closed when a post of its own is refused.
    std::atomic<bool> firstStarted = false, secondRan = false, firstReturned = false;
    std::atomic<int> released = 0;
    WorkerThreads workers(1, QStringLiteral("test workers"));
    workers.post([&] {
        firstStarted = true;
        while (workers.post([] {}))
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        firstReturned = true;
    });
    auto counter = std::make_shared<DestructionCounter>(released);
    workers.post([&, counter] { secondRan = true; });
    counter.reset();
    while (!firstStarted)
        std::this_thread::yield();
    workers.stop();
    EXPECT_TRUE(firstReturned);
    EXPECT_FALSE(secondRan);
    EXPECT_EQ(released.load(), 1);
}

TEST(WorkerThreads, JobsRunSideBySideAndWaitForIdleReturnsOnceAllRanOrWereDropped)
{
    // Four jobs that each wait for all four to have started can only finish on four threads at once.
    WorkerThreads workers(4, QStringLiteral("test pool"));
    std::atomic<int> started = 0, finished = 0;
    for (int i = 0; i < 4; ++i)
        workers.post([&] {
            ++started;
            while (started.load() < 4)
                std::this_thread::yield();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            ++finished;
        });
    workers.waitForIdle();
    EXPECT_EQ(finished.load(), 4);

    // Jobs dropped by stop() count as done: waiting must not hang on them.
    WorkerThreads single(1, QStringLiteral("test single"));
    std::atomic<bool> blockerStarted = false;
    single.post([&] {
        blockerStarted = true;
        while (single.post([] {}))
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    single.post([] {});
    while (!blockerStarted)
        std::this_thread::yield();
    std::thread waiter([&] { single.waitForIdle(); });
    single.stop();
    waiter.join();
    EXPECT_FALSE(single.post([] {}));
    single.waitForIdle();

    // The process's shared threads run jobs off the posting thread.
    std::atomic<bool> offCaller = false;
    const std::thread::id caller = std::this_thread::get_id();
    WorkerThreads::shared().post([&] { offCaller = std::this_thread::get_id() != caller; });
    WorkerThreads::shared().waitForIdle();
    EXPECT_TRUE(offCaller);
}

// Receivers asleep in waitPop are woken one per push, none lost however pushes and sleeps interleave, and all of
// them by closing or finishing; pushing wakes them without waiting for them to run.
TEST(HandOffQueue, EverySleepingReceiverIsWokenByAPushOrByTheEnd)
{
    for (const bool finishing : {false, true}) {
        HandOffQueue queue;
        constexpr int kReceivers = 4;
        constexpr int kTasks = 20'000;
        std::atomic<int> ran = 0;
        std::atomic<int> ended = 0;
        std::vector<std::thread> receivers;
        for (int i = 0; i < kReceivers; ++i)
            receivers.emplace_back([&] {
                while (HandOffQueue::Task task = queue.waitPop())
                    task();
                ++ended;
            });
        // In bursts, so that receivers fall asleep between them.
        for (int i = 0; i < kTasks; ++i) {
            queue.push([&] { ++ran; });
            if (i % 1000 == 999)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        QElapsedTimer waited;
        waited.start();
        while (ran.load() < kTasks && waited.elapsed() < 10000)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        EXPECT_EQ(ran.load(), kTasks) << "a wake-up was lost";
        EXPECT_EQ(ended.load(), 0);
        if (finishing)
            queue.finish();
        else
            queue.close();
        for (std::thread& receiver : receivers)
            receiver.join();
        EXPECT_EQ(ended.load(), kReceivers);
        EXPECT_FALSE(queue.push([] {}));
    }
}

// The process's own threads give way to the main thread at each of its wake-ups, without a smaller share of the
// processor: a worker starved on a busy machine would hold up the main thread waiting for the locks it holds.
TEST(WorkerThreads, TheirThreadsGiveWayToTheMainThreadWithoutASmallerShare)
{
    EXPECT_FALSE(currentThreadGivesWay()) << "the main thread itself is left as it is";
    WorkerThreads workers(2, QStringLiteral("test give way"));
    std::atomic<int> givingWay = 0;
    std::atomic<int> niceValue = -100;
    for (int i = 0; i < 2; ++i)
        workers.post([&] {
            givingWay += currentThreadGivesWay() ? 1 : 0;
            niceValue = getpriority(PRIO_PROCESS, 0);
        });
    workers.waitForIdle();
    EXPECT_EQ(givingWay.load(), 2);
    EXPECT_EQ(niceValue.load(), getpriority(PRIO_PROCESS, 0)) << "the same nice value as the process";
}
