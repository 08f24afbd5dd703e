#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include "ServiceTestSupport.h"
#include "foundation/Reachability.h"
#include "foundation/Tessutils.h"
#include "service/ZERI_ContentItemDeletionManager.h"
#include "support/QtPrinters.h"

namespace {

const QString kDelete = QStringLiteral("corvik.channel.delete");

class DeletionTest : public ServiceTest {
protected:
    void SetUp() override
    {
        ServiceTest::SetUp();
        ASSERT_TRUE(m_folder.isValid());
        const auto user = m_service.addUser(QStringLiteral("ann"));
        Tessutils::setCorvikAuthToken(user.token);
        addContentItem(QStringLiteral("c1"));
        addContentItem(QStringLiteral("c2"));
    }
    void TearDown() override
    {
        Reachability::clearSimulatedReachabilityForTesting();
        ServiceTest::TearDown();
    }

    void addContentItem(const QString& id)
    {
        m_service.withState([&](FakeWebService::State& state) {
            state.contentItems.insert(id, {id, QStringLiteral("ann"), id + QStringLiteral(".png"), "image/png", "x"});
        });
    }
    bool onService(const QString& id) const { return m_service.state().contentItems.contains(id); }
    std::unique_ptr<ZERI_ContentItemDeletionManager> makeManager(double retryInterval = 0.05)
    {
        auto manager = std::make_unique<ZERI_ContentItemDeletionManager>(m_folder.filePath("deletionqueue.json"));
        manager->setRetryInterval(retryInterval);
        return manager;
    }

    QTemporaryDir m_folder;
};

} // namespace

TEST_F(DeletionTest, DeletesQueuedItemsOneAfterAnotherAndIgnoresEmptyAndRepeatedIds)
{
    auto manager = makeManager();
    manager->enqueueDeleteForContentItem(QString());
    manager->enqueueDeleteForContentItem(QStringLiteral(""));
    manager->enqueueDeleteForContentItem(QStringLiteral("c1"));
    manager->enqueueDeleteForContentItem(QStringLiteral("c1"));
    manager->enqueueDeleteForContentItem(QStringLiteral("c2"));
    EXPECT_EQ(manager->pendingContentItems(), QStringList({"c1", "c2"}));

    ASSERT_TRUE(waitUntil([&] { return manager->pendingContentItems().isEmpty() && !manager->isDeleting(); }));
    EXPECT_FALSE(onService("c1"));
    EXPECT_FALSE(onService("c2"));
    EXPECT_EQ(m_service.requestCount(kDelete), 2);
    const auto last = m_service.lastRequest(kDelete);
    ASSERT_TRUE(last);
    EXPECT_EQ(last->field("content_id"), "c2");
}

// The service is down (every connection dropped): the id is retried at the interval without counting
// against the limit, survives a restart of the manager, and is deleted once the service answers again.
TEST_F(DeletionTest, OutageIsRetriedAtTheIntervalSurvivesRestartAndEndsInDeletion)
{
    m_service.injectReply(kDelete, FakeHttpReply::drop(), -1);
    {
        auto manager = makeManager();
        QElapsedTimer clock;
        clock.start();
        manager->enqueueDeleteForContentItem(QStringLiteral("c1"));
        // Far more tries than the attempt limit: connection failures must not count.
        ASSERT_TRUE(waitUntil(
            [&] { return m_service.requestCount(kDelete) >= ZERI_ContentItemDeletionManager::kMaxAttempts + 3; }));
        EXPECT_EQ(manager->pendingContentItems(), QStringList({"c1"}));
        // Each retry waits for the interval (0.05 s here).
        const int tries = m_service.requestCount(kDelete);
        EXPECT_GE(clock.elapsed(), (tries - 1) * 50);
    }
    const int triesBeforeRestart = m_service.requestCount(kDelete);

    auto restarted = makeManager();
    EXPECT_EQ(restarted->pendingContentItems(), QStringList({"c1"}));
    ASSERT_TRUE(waitUntil([&] { return m_service.requestCount(kDelete) > triesBeforeRestart; }));
    m_service.clearInjectedReplies();
    ASSERT_TRUE(waitUntil([&] { return restarted->pendingContentItems().isEmpty(); }));
    EXPECT_FALSE(onService("c1"));
    EXPECT_EQ(makeManager()->pendingContentItems(), QStringList());
}

TEST_F(DeletionTest, RetryIntervalIsFourSecondsUnlessSet)
{
    ZERI_ContentItemDeletionManager manager(m_folder.filePath("q.json"));
    EXPECT_DOUBLE_EQ(manager.retryInterval(), 4.0);
}

// An unknown id (HTTP 404) is dropped at once; a service that keeps failing is given up on after the attempt
// limit; in both cases the next id still goes through.
TEST_F(DeletionTest, PermanentAndRepeatedFailuresDropTheIdAndTheQueueMovesOn)
{
    auto manager = makeManager(0.01);
    manager->enqueueDeleteForContentItem(QStringLiteral("unknown"));
    manager->enqueueDeleteForContentItem(QStringLiteral("c1"));
    ASSERT_TRUE(waitUntil([&] { return manager->pendingContentItems().isEmpty(); }));
    EXPECT_EQ(m_service.requestCount(kDelete), 2);
    EXPECT_FALSE(onService("c1"));

    m_service.clearRequests();
    m_service.injectReply(kDelete, FakeHttpReply::html(500, "Internal Server Error"),
                          ZERI_ContentItemDeletionManager::kMaxAttempts);
    manager->enqueueDeleteForContentItem(QStringLiteral("c2"));
    addContentItem(QStringLiteral("c3"));
    manager->enqueueDeleteForContentItem(QStringLiteral("c3"));
    ASSERT_TRUE(waitUntil([&] { return manager->pendingContentItems().isEmpty(); }));
    EXPECT_EQ(m_service.requestCount(kDelete), ZERI_ContentItemDeletionManager::kMaxAttempts + 1);
    EXPECT_TRUE(onService("c2"));
    EXPECT_FALSE(onService("c3"));
}

TEST_F(DeletionTest, WaitsWhileOfflineOrSignedOutAndSendsWhenBack)
{
    auto manager = makeManager();
    Reachability::simulateReachabilityChangeForTesting(false);
    manager->enqueueDeleteForContentItem(QStringLiteral("c1"));
    EXPECT_FALSE(waitUntil([&] { return m_service.requestCount(kDelete) > 0; }, 300));
    Reachability::simulateReachabilityChangeForTesting(true);
    ASSERT_TRUE(waitUntil([&] { return manager->pendingContentItems().isEmpty(); }));

    const QString token = Tessutils::corvikAuthToken();
    Tessutils::setCorvikAuthToken(QString());
    manager->enqueueDeleteForContentItem(QStringLiteral("c2"));
    const int sent = m_service.requestCount(kDelete);
    EXPECT_FALSE(waitUntil([&] { return m_service.requestCount(kDelete) > sent; }, 300));
    EXPECT_EQ(manager->pendingContentItems(), QStringList({"c2"}));
    Tessutils::setCorvikAuthToken(token);
    NotificationCenter::defaultCenter().post(QStringLiteral("ZERI_AuthenticationHandlerDidLoginNotification"));
    ASSERT_TRUE(waitUntil([&] { return manager->pendingContentItems().isEmpty(); }));
    EXPECT_FALSE(onService("c2"));
}

TEST_F(DeletionTest, UnreadableQueueFileIsSetAsideNotOverwritten)
{
    const QString path = m_folder.filePath("deletionqueue.json");
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[{\"content_id\":");
    }
    auto manager = makeManager();
    EXPECT_TRUE(manager->pendingContentItems().isEmpty());
    EXPECT_TRUE(QFile::exists(path + ".unreadable"));
}

TEST_F(DeletionTest, StorageSendsItsDeletionsToTheSharedQueueOnceRegistered)
{
    ZERI_ContentItemDeletionManager::registerWithStorage();
    ContentItemDeletionQueue::queue()->enqueueDeleteForContentItem(QStringLiteral("c1"));
    EXPECT_TRUE(waitUntil([&] { return !onService("c1"); }));
    // The service deletes before its reply reaches the queue: the item leaves the queue with the reply.
    EXPECT_TRUE(
        waitUntil([&] { return ZERI_ContentItemDeletionManager::sharedInstance().pendingContentItems().isEmpty(); }));
    ContentItemDeletionQueue::registerQueue(nullptr);
}
