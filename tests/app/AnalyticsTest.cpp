#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include "app/QVRActionLog.h"
#include "app/QVRAnalytics.h"
#include "app/QVRTimedAnalytics.h"
#include "foundation/SafeDictionary.h"
#include "foundation/Tessutils.h"
#include "platform/AtomicFile.h"

namespace {

QJsonObject parametersOf(const QJsonValue& event)
{
    return event.toObject().value(QStringLiteral("parameters")).toObject();
}

// Collects the batches handed to it; the test answers them.
struct ScriptedSender {
    QList<QByteArray> batches;
    QList<std::function<void(bool)>> answers;
    QVRActionLog::Sender sender()
    {
        return [this](const QByteArray& json, std::function<void(bool)> done) {
            batches.append(json);
            answers.append(std::move(done));
        };
    }
};

class Analytics : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        log = std::make_unique<QVRActionLog>(backlogFile(), sender.sender());
        QVRActionLog::setSharedForTesting(log.get());
        QVRTimedAnalytics::setClockForTesting([this] { return nowMs; });
    }
    void TearDown() override
    {
        QVRTimedAnalytics::resetForTesting();
        QVRActionLog::setSharedForTesting(nullptr);
    }
    QString backlogFile() const { return folder.filePath(QStringLiteral("actionlog.json")); }

    QTemporaryDir folder;
    ScriptedSender sender;
    std::unique_ptr<QVRActionLog> log;
    qint64 nowMs = 1000;
};

TEST_F(Analytics, ATimedEventIsLoggedWithItsDurationInWholeSeconds)
{
    QVRTimedAnalytics::logTimedEvent(QStringLiteral("View Video"), QStringLiteral("1"),
                                     {{QStringLiteral("URL"), QStringLiteral("https://example.org/v")}});
    nowMs += 2100;
    QVRTimedAnalytics::finishTimedEvent(QStringLiteral("View Video"));
    QVRTimedAnalytics::finishTimedEvent(QStringLiteral("View Video")); // already finished: nothing
    QVRTimedAnalytics::finishTimedEvent(QStringLiteral("Never Started"));
    ASSERT_EQ(log->backlog().size(), 1);
    const QJsonValue event = log->backlog().at(0);
    EXPECT_EQ(event[QStringLiteral("name")].toString(), QStringLiteral("View Video"));
    EXPECT_EQ(parametersOf(event).value(QStringLiteral("duration")).toInteger(), 2);
    EXPECT_EQ(parametersOf(event).value(QStringLiteral("URL")).toString(), QStringLiteral("https://example.org/v"));
}

TEST_F(Analytics, TheSameIDIsIgnoredAndAnotherIDFinishesTheRunningEventFirst)
{
    QVRTimedAnalytics::logTimedEvent(QStringLiteral("Screen Viewed"), QStringLiteral("s1"),
                                     {{QStringLiteral("ScreenID"), QStringLiteral("s1")}});
    nowMs += 3000;
    QVRTimedAnalytics::logTimedEvent(QStringLiteral("Screen Viewed"), QStringLiteral("s1"), {});
    nowMs += 1000;
    QVRTimedAnalytics::logTimedEvent(QStringLiteral("Screen Viewed"), QStringLiteral("s2"),
                                     {{QStringLiteral("ScreenID"), QStringLiteral("s2")}});
    ASSERT_EQ(log->backlog().size(), 1);
    EXPECT_EQ(parametersOf(log->backlog().at(0)).value(QStringLiteral("ScreenID")).toString(), QStringLiteral("s1"));
    EXPECT_EQ(parametersOf(log->backlog().at(0)).value(QStringLiteral("duration")).toInteger(), 4);
    EXPECT_TRUE(QVRTimedAnalytics::isRunning(QStringLiteral("Screen Viewed")));
}

TEST_F(Analytics, EventsCarryTheSignedInUserAndMayBeLoggedFromAnyThread)
{
    Tessutils::setCorvikAuthToken(QStringLiteral("TOKEN-ada"));
    Tessutils::setCorvikUserDict(SafeDictionary(QJsonObject{{QStringLiteral("username"), QStringLiteral("ada")}}));
    std::thread worker([] { QVRAnalytics::logEvent(QStringLiteral("From Worker"), {}); });
    worker.join();
    ASSERT_TRUE(QTest::qWaitFor([&] { return log->backlog().size() == 1; }, 5000));
    const QJsonValue event = log->backlog().at(0);
    EXPECT_EQ(event[QStringLiteral("user")].toString(), QStringLiteral("ada"));
    EXPECT_EQ(parametersOf(event).value(QStringLiteral("username")).toString(), QStringLiteral("ada"));

    Tessutils::setCorvikAuthToken(QString());
    QVRAnalytics::logEvent(QStringLiteral("Signed Out"));
    EXPECT_FALSE(log->backlog().at(1).toObject().contains(QStringLiteral("user")));
    Tessutils::setCorvikUserDict(std::nullopt);
}

TEST_F(Analytics, EventsLeaveTheBacklogOnlyAfterTheServiceAcceptedThem)
{
    QVRAnalytics::logEvent(QStringLiteral("First"));
    log->flush();
    ASSERT_EQ(sender.batches.size(), 1);
    QVRAnalytics::logEvent(QStringLiteral("Second")); // logged while the first batch is in flight
    sender.answers.takeFirst()(false);
    EXPECT_EQ(log->backlog().size(), 2) << "a refused batch stays";
    log->flush();
    ASSERT_EQ(sender.batches.size(), 2);
    EXPECT_EQ(QJsonDocument::fromJson(sender.batches.at(1)).array().size(), 2);
    QVRAnalytics::logEvent(QStringLiteral("Third"));
    sender.answers.takeFirst()(true);
    ASSERT_EQ(log->backlog().size(), 1);
    EXPECT_EQ(log->backlog().at(0)[QStringLiteral("name")].toString(), QStringLiteral("Third"));

    // What is on disk matches: a restart sees only the unsent event.
    QVRActionLog reopened(backlogFile(), {});
    ASSERT_EQ(reopened.backlog().size(), 1);
    EXPECT_EQ(reopened.backlog().at(0)[QStringLiteral("name")].toString(), QStringLiteral("Third"));
}

TEST_F(Analytics, WaitingForAServiceThatNeverAnswersEndsAtTheDeadline)
{
    QVRAnalytics::logEvent(QStringLiteral("Unanswered"));
    // Nothing else happens while the quitting application waits: only a late wake-up from this thread would end
    // a wait that outlives its own timer.
    std::atomic<bool> done{false};
    std::thread watchdog([&] {
        QDeadlineTimer limit(10000);
        while (!done && !limit.hasExpired())
            std::this_thread::yield();
        QMetaObject::invokeMethod(
            qApp, [] {}, Qt::QueuedConnection);
    });
    QElapsedTimer elapsed;
    elapsed.start();
    const bool flushed = log->flushAndWait(300);
    const qint64 waitedMs = elapsed.elapsed();
    done = true;
    watchdog.join();
    EXPECT_FALSE(flushed);
    EXPECT_LT(waitedMs, 5000);
    EXPECT_EQ(sender.batches.size(), 1);
    EXPECT_EQ(log->backlog().size(), 1);
}

TEST_F(Analytics, ACorruptBacklogIsSetAsideAndStartedAfresh)
{
    log.reset();
    QFile file(backlogFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[{\"name\":\"half");
    file.close();
    QVRActionLog reopened(backlogFile(), sender.sender());
    EXPECT_TRUE(reopened.backlog().isEmpty());
    EXPECT_TRUE(QFile::exists(backlogFile() + QStringLiteral(".corrupt")));
    reopened.append(QJsonObject{{QStringLiteral("name"), QStringLiteral("After")}});
    QVRActionLog again(backlogFile(), {});
    EXPECT_EQ(again.backlog().size(), 1);
}

TEST_F(Analytics, TheBacklogIsWrittenAwayFromTheMainThreadAndReadBackWhole)
{
    // The write goes through the atomic replacement; its test hook tells which thread wrote.
    std::mutex mutex;
    std::vector<std::thread::id> writers;
    AtomicFile::setFaultInjectorForTesting([&](const QString& path) {
        if (path == backlogFile()) {
            std::lock_guard lock(mutex);
            writers.push_back(std::this_thread::get_id());
        }
        return false;
    });
    for (int i = 0; i < 20; ++i)
        QVRAnalytics::logEvent(QStringLiteral("Event %1").arg(i));
    // A log opened meanwhile reads the file only once every change made before is in it.
    QVRActionLog reopened(backlogFile(), {});
    AtomicFile::setFaultInjectorForTesting({});
    ASSERT_EQ(reopened.backlog().size(), 20);
    EXPECT_EQ(reopened.backlog().at(19)[QStringLiteral("name")].toString(), QStringLiteral("Event 19"));
    std::lock_guard lock(mutex);
    ASSERT_FALSE(writers.empty());
    for (const std::thread::id& writer : writers)
        EXPECT_NE(writer, std::this_thread::get_id());
}

} // namespace
