#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>
#include <QThread>

#include "platform/NotificationCenter.h"
#include "support/QtPrinters.h"

namespace {

const int kSenderA = 0;
const int kSenderB = 1;

} // namespace

TEST(NotificationCenter, DeliversByNameAndSenderUntilRemoved)
{
    NotificationCenter center;
    std::vector<Notification> fromA;
    int fromAnyone = 0;
    const ObserverToken token = center.addObserver("X", &kSenderA, [&](const Notification& n) { fromA.push_back(n); });
    center.addObserver("X", nullptr, [&](const Notification&) { ++fromAnyone; });

    center.post("X", &kSenderA, {{"k", 1}});
    center.post("X", &kSenderB, {{"k", 2}});
    center.post("Y", &kSenderA);

    ASSERT_EQ(fromA.size(), 1u);
    EXPECT_EQ(fromA[0].name, "X");
    EXPECT_EQ(fromA[0].sender, &kSenderA);
    EXPECT_EQ(fromA[0].userInfo, QVariantMap({{"k", 1}}));
    EXPECT_EQ(fromAnyone, 2);

    center.removeObserver(token);
    center.removeObserver(token); // twice is harmless
    center.post("X", &kSenderA);
    EXPECT_EQ(fromA.size(), 1u);
    EXPECT_EQ(fromAnyone, 3);
}

TEST(NotificationCenter, RemovesEveryRegistrationOfAnOwnerOnly)
{
    NotificationCenter center;
    int owner1 = 0, owner2 = 0;
    int calls1 = 0, calls2 = 0;
    center.addObserver(
        "X", nullptr, [&](const Notification&) { ++calls1; }, &owner1);
    center.addObserver(
        "Y", nullptr, [&](const Notification&) { ++calls1; }, &owner1);
    center.addObserver(
        "X", nullptr, [&](const Notification&) { ++calls2; }, &owner2);

    center.removeObserversOwnedBy(&owner1);
    center.post("X");
    center.post("Y");
    EXPECT_EQ(calls1, 0);
    EXPECT_EQ(calls2, 1);
    EXPECT_EQ(center.observerCount(), 1);
}

TEST(NotificationCenter, CallbacksMayChangeRegistrationsDuringAPost)
{
    NotificationCenter center;
    std::vector<QString> calls;
    ObserverToken second;
    ObserverToken self;
    center.addObserver("X", nullptr, [&](const Notification&) {
        calls.push_back("first");
        center.removeObserver(second); // registered later, so it has not been called yet
        center.addObserver("X", nullptr, [&](const Notification&) { calls.push_back("added"); });
    });
    second = center.addObserver("X", nullptr, [&](const Notification&) { calls.push_back("second"); });
    self = center.addObserver("X", nullptr, [&](const Notification&) {
        calls.push_back("self");
        center.removeObserver(self); // its own callback object must stay alive until it returns
        center.post("Nested");
    });

    center.post("X");
    EXPECT_EQ(calls, (std::vector<QString>{"first", "self"}));

    calls.clear();
    center.post("X");
    EXPECT_EQ(calls, (std::vector<QString>{"first", "added"}));
}

TEST(NotificationCenter, ObservationTokenRemovesItselfAndMayOutliveItsCentre)
{
    int calls = 0;
    NotificationObservation outliving;
    {
        NotificationCenter center;
        {
            NotificationObservation observation(
                center, center.addObserver("X", nullptr, [&](const Notification&) { ++calls; }));
            center.post("X");
            NotificationObservation moved = std::move(observation);
            EXPECT_FALSE(observation.isActive());
            center.post("X");
        }
        center.post("X");
        EXPECT_EQ(calls, 2);
        outliving = NotificationObservation(center, center.addObserver("X", nullptr, [&](const Notification&) {}));
    }
    outliving.reset(); // the centre is gone: nothing to do, nothing to crash on
    EXPECT_FALSE(outliving.isActive());
}

TEST(NotificationCenter, PostOnMainThreadFromAWorkerArrivesOnTheMainThread)
{
    NotificationCenter center;
    QThread* deliveredOn = nullptr;
    QVariantMap userInfo;
    center.addObserver("X", &kSenderA, [&](const Notification& n) {
        deliveredOn = QThread::currentThread();
        userInfo = n.userInfo;
    });

    std::thread worker([&] { center.postOnMainThread("X", &kSenderA, {{"k", 1}}); });
    worker.join();
    EXPECT_EQ(deliveredOn, nullptr); // queued, not delivered on the worker
    ASSERT_TRUE(QTest::qWaitFor([&] { return deliveredOn != nullptr; }, 5000));
    EXPECT_EQ(deliveredOn, QCoreApplication::instance()->thread());
    EXPECT_EQ(userInfo, QVariantMap({{"k", 1}}));
}

TEST(NotificationCenter, ConcurrentPostsAndRemovalsAreSafe)
{
    NotificationCenter center;
    std::atomic<int> calls = 0;
    std::atomic<bool> stop = false;
    const ObserverToken token = center.addObserver("X", nullptr, [&](const Notification&) { ++calls; });

    // Several threads post while others register and remove observers of the same name.
    std::vector<std::thread> threads;
    for (int i = 0; i < 3; ++i)
        threads.emplace_back([&] {
            while (!stop)
                center.post("X");
        });
    threads.emplace_back([&] {
        while (!stop) {
            const ObserverToken t = center.addObserver("X", nullptr, [](const Notification&) {});
            center.removeObserver(t);
        }
    });

    ASSERT_TRUE(QTest::qWaitFor([&] { return calls > 1000; }, 10000));
    center.removeObserver(token);
    // Posts already past the removed flag may still finish their call: at most one per posting thread.
    const int atRemoval = calls;
    for (int i = 0; i < 100; ++i)
        center.post("X");
    stop = true;
    for (auto& t : threads)
        t.join();
    EXPECT_LE(calls - atRemoval, 3);
    EXPECT_EQ(center.observerCount(), 0);
}
