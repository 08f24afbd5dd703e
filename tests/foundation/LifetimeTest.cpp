#include <gtest/gtest.h>

#include <QTest>

#include "foundation/DeallocHandler.h"
#include "foundation/Reachability.h"
#include "foundation/ZeroingWeakReference.h"
#include "platform/NotificationCenter.h"

namespace {
struct Plain {
    int value = 7;
};
} // namespace

TEST(ZeroingWeakReference, AnswersTheObjectWhileItLivesAndNothingAfter)
{
    auto* object = new QObject;
    const auto reference = ZeroingWeakReference<QObject>::referenceWithObject(object);
    EXPECT_EQ(reference.obj(), object);
    delete object;
    EXPECT_EQ(reference.obj(), nullptr);
    EXPECT_TRUE(reference.isGone());

    auto shared = std::make_shared<Plain>();
    const auto weak = ZeroingWeakReference<Plain>::referenceWithObject(shared);
    EXPECT_EQ(weak.obj()->value, 7);
    EXPECT_EQ(shared.use_count(), 1); // the reference does not keep it alive
    shared.reset();
    EXPECT_EQ(weak.obj(), nullptr);
}

TEST(DeallocHandler, BlockRunsOnceWhenTheObjectGoesAndNotAfterRemoval)
{
    int runs = 0;
    auto* object = new QObject;
    DeallocHandler::addDeallocBlock(object, [&] { ++runs; });
    EXPECT_EQ(runs, 0);
    delete object;
    EXPECT_EQ(runs, 1);

    auto* other = new QObject;
    const QMetaObject::Connection token = DeallocHandler::addDeallocBlock(other, [&] { ++runs; });
    QObject::disconnect(token);
    delete other;
    EXPECT_EQ(runs, 1);
    EXPECT_FALSE(DeallocHandler::addDeallocBlock(nullptr, [] {}));
}

TEST(Reachability, SimulatedChangesPostFromRunningMonitorsOnly)
{
    auto watching = Reachability::reachabilityForInternetConnection();
    auto idle = Reachability::reachabilityForInternetConnection();
    watching->startNotifier();

    QList<const void*> senders;
    NotificationObservation observation("kNetworkReachabilityChangedNotification", nullptr,
                                        [&](const Notification& n) { senders.append(n.sender); });

    Reachability::simulateReachabilityChangeForTesting(false);
    EXPECT_EQ(senders, QList<const void*>{watching.get()});
    EXPECT_FALSE(watching->isReachable());
    EXPECT_FALSE(idle->isReachable());

    watching->stopNotifier();
    Reachability::simulateReachabilityChangeForTesting(true);
    EXPECT_EQ(senders.size(), 1);
    EXPECT_TRUE(watching->isReachable());
    Reachability::clearSimulatedReachabilityForTesting();
}

TEST(Reachability, WithoutSimulationItIsReachableUnlessABackendSaysOtherwise)
{
    auto monitor = Reachability::reachabilityForInternetConnection();
    int posts = 0;
    NotificationObservation observation("kNetworkReachabilityChangedNotification", nullptr,
                                        [&](const Notification&) { ++posts; });
    if (!monitor->startNotifier()) {
        EXPECT_TRUE(monitor->isReachable());
        QTest::qWait(20);
        EXPECT_EQ(posts, 0);
    }
    monitor.reset(); // destroying a running monitor unregisters it
    Reachability::simulateReachabilityChangeForTesting(true);
    EXPECT_EQ(posts, 0);
    Reachability::clearSimulatedReachabilityForTesting();
}
