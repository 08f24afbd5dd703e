#include <gtest/gtest.h>

#include <ctime>

#include <QTimeZone>

#include "AccountTestSupport.h"
#include "library/account/QVBUserInfoMonitor.h"

using accounttest::Answer;
using accounttest::ScopedAccountEnvironment;

namespace {

const QString kQuota = QStringLiteral("corvik.users.getDiskQuota");
const QString kGetUser = QStringLiteral("tessarine.getUser");

struct ScopedMonitor {
    ScopedMonitor() { QVBUserInfoMonitor::resetForTesting(); }
    ~ScopedMonitor() { QVBUserInfoMonitor::resetForTesting(); }
    QVBUserInfoMonitor& operator*() { return QVBUserInfoMonitor::sharedInstance(); }
    QVBUserInfoMonitor* operator->() { return &QVBUserInfoMonitor::sharedInstance(); }
};

// The process's local zone for one test; the previous one comes back afterwards.
class ScopedLocalZone {
public:
    explicit ScopedLocalZone(const QByteArray& zone)
        : m_wasSet(qEnvironmentVariableIsSet("TZ"))
        , m_previous(qgetenv("TZ"))
    {
        qputenv("TZ", zone);
        tzset();
    }
    ~ScopedLocalZone()
    {
        if (m_wasSet)
            qputenv("TZ", m_previous);
        else
            qunsetenv("TZ");
        tzset();
    }

private:
    bool m_wasSet;
    QByteArray m_previous;
};

} // namespace

TEST(QuotaMonitorTest, ReplyBecomesTextsThenTheUserRecordIsRefreshed)
{
    ScopedAccountEnvironment env;
    ASSERT_TRUE(env.started());
    ScopedMonitor monitor;
    Tessutils::setCorvikAuthToken(QStringLiteral("TOKEN-ann"));
    env.service.withState([](FakeWebService::State& state) {
        state.users[QStringLiteral("ann")].quotaMax = 104857600;
        state.users[QStringLiteral("ann")].quotaUsed = 1572864;
    });
    int updates = 0;
    int getUsersAtUpdate = -1;
    NotificationObservation watch(QString::fromLatin1(QVBUserInfoMonitor::kDidUpdateNotification), &*monitor,
                                  [&](const Notification&) {
                                      ++updates;
                                      getUsersAtUpdate = env.service.requestCount(kGetUser);
                                  });
    Answer answer;
    monitor->updateNow(answer.completion());
    ASSERT_TRUE(answer.wait());
    EXPECT_FALSE(answer.error.has_value());
    EXPECT_EQ(monitor->userFriendlyBytesRemaining(), QStringLiteral("98 MB"));
    EXPECT_EQ(monitor->userFriendlyQuotaCap(), QStringLiteral("100 MB"));
    EXPECT_EQ(monitor->bytesRemaining(), 103284736);
    EXPECT_EQ(updates, 1);
    EXPECT_EQ(getUsersAtUpdate, 0);
    const auto getUser = env.service.lastRequest(kGetUser);
    ASSERT_TRUE(getUser.has_value());
    EXPECT_EQ(getUser->field(QStringLiteral("auth_token")), QStringLiteral("TOKEN-ann"));
    EXPECT_FALSE(getUser->fields.contains(QStringLiteral("username")));
    EXPECT_FALSE(getUser->fields.contains(QStringLiteral("email")));

    // Allowances past 32 bits read as they are.
    env.service.withState([](FakeWebService::State& state) {
        state.users[QStringLiteral("ann")].quotaMax = 4294967296;
        state.users[QStringLiteral("ann")].quotaUsed = 0;
    });
    Answer big;
    monitor->updateNow(big.completion());
    ASSERT_TRUE(big.wait());
    EXPECT_EQ(monitor->userFriendlyQuotaCap(), QStringLiteral("4096 MB"));

    // A reply without "disk_quota" changes nothing and posts nothing.
    env.service.injectReply(kQuota, FakeHttpReply::json(QJsonObject{{QStringLiteral("disk"), 1}}));
    Answer bad;
    monitor->updateNow(bad.completion());
    ASSERT_TRUE(bad.wait());
    EXPECT_TRUE(bad.error.has_value());
    EXPECT_EQ(monitor->userFriendlyQuotaCap(), QStringLiteral("4096 MB"));
    EXPECT_EQ(updates, 2);
}

TEST(QuotaMonitorTest, SignedOutUpdateIsAnsweredAndATickDuringARequestSendsNothing)
{
    ScopedAccountEnvironment env;
    ASSERT_TRUE(env.started());
    ScopedMonitor monitor;
    Answer signedOut;
    monitor->updateNow(signedOut.completion());
    ASSERT_TRUE(signedOut.called);
    EXPECT_TRUE(signedOut.error.has_value());
    EXPECT_TRUE(monitor->monitoring());

    Tessutils::setCorvikAuthToken(QStringLiteral("TOKEN-ann"));
    env.service.injectReply(kQuota, FakeHttpReply::hang());
    monitor->updateInfo();
    ASSERT_TRUE(QTest::qWaitFor([&] { return env.service.requestCount(kQuota) == 1; }, 5000));
    monitor->updateInfo();
    QTest::qWait(50);
    EXPECT_EQ(env.service.requestCount(kQuota), 1);
    Answer now;
    monitor->updateNow(now.completion());
    ASSERT_TRUE(now.wait());
    EXPECT_EQ(env.service.requestCount(kQuota), 2);
    EXPECT_FALSE(now.error.has_value());
}

TEST(QuotaMonitorTest, ARefreshInFlightEndsWithSignOutStopAndTheMonitorItself)
{
    ScopedAccountEnvironment env;
    ASSERT_TRUE(env.started());
    ScopedMonitor monitor;
    Tessutils::setCorvikAuthToken(QStringLiteral("TOKEN-ann"));
    const QJsonObject late{
        {QStringLiteral("user"), QJsonObject{{QStringLiteral("username"), QStringLiteral("ann")},
                                             {QStringLiteral("display_name"), QStringLiteral("Late")}}}};

    // Another user signed in while the record was on its way: the reply is not theirs.
    env.service.injectReply(kGetUser, FakeHttpReply::json(late).delayed(200));
    Answer replaced;
    monitor->updateNow(replaced.completion());
    ASSERT_TRUE(QTest::qWaitFor([&] { return env.service.requestCount(kGetUser) == 1; }, 5000));
    Tessutils::setCorvikAuthToken(QStringLiteral("TOKEN-bo"));
    ASSERT_TRUE(replaced.wait());
    EXPECT_TRUE(replaced.error.has_value());
    EXPECT_TRUE(Tessutils::corvikUserDict().dictionary().isEmpty());

    // The user record asked for before a sign-out answers after it: nothing of it is stored.
    env.service.injectReply(kGetUser, FakeHttpReply::json(late).delayed(300));
    Tessutils::setCorvikAuthToken(QStringLiteral("TOKEN-ann"));
    Answer signedOut;
    monitor->updateNow(signedOut.completion());
    ASSERT_TRUE(QTest::qWaitFor([&] { return env.service.requestCount(kGetUser) == 2; }, 5000));
    env.handler().logout();
    ASSERT_TRUE(env.waitForLogout());
    ASSERT_TRUE(signedOut.called);
    ASSERT_TRUE(signedOut.error.has_value());
    EXPECT_EQ(signedOut.error->domain, QString::fromLatin1(ZERI_AuthenticationHandler::kErrorDomain));
    EXPECT_FALSE(monitor->isRefreshing());
    QTest::qWait(450);
    EXPECT_TRUE(Tessutils::corvikUserDict().dictionary().isEmpty());

    // Stopping ends the refresh in flight and answers its caller.
    Tessutils::setCorvikAuthToken(QStringLiteral("TOKEN-ann"));
    env.service.injectReply(kQuota, FakeHttpReply::hang());
    Answer stopped;
    monitor->updateNow(stopped.completion());
    ASSERT_TRUE(QTest::qWaitFor([&] { return env.service.requestCount(kQuota) == 3; }, 5000));
    monitor->stopMonitoring();
    EXPECT_FALSE(monitor->monitoring());
    ASSERT_TRUE(stopped.called);
    ASSERT_TRUE(stopped.error.has_value());
    EXPECT_EQ(stopped.error->code, QVBUserInfoMonitor::kCancelledCode);

    // A monitor dropped while its reply is on the way: the reply reaches nothing.
    env.service.injectReply(
        kQuota,
        FakeHttpReply::json(QJsonObject{{QStringLiteral("disk_quota"),
                                         QJsonObject{{QStringLiteral("max"), 1048576}, {QStringLiteral("used"), 0}}}})
            .delayed(150));
    bool answered = false;
    monitor->updateNow([&](const std::optional<Error>&) { answered = true; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return env.service.requestCount(kQuota) == 4; }, 5000));
    QVBUserInfoMonitor::resetForTesting();
    QTest::qWait(300);
    EXPECT_FALSE(answered);
    EXPECT_FALSE(monitor->isRefreshing());
    EXPECT_TRUE(monitor->userFriendlyQuotaCap().isEmpty());
}

TEST(QuotaMonitorTest, TimeUntilRenewal)
{
    const double hour = 3600;
    EXPECT_EQ(QVBUserInfoMonitor::friendlyTimeRemaining(14 * hour), QStringLiteral("14 HOURS"));
    EXPECT_EQ(QVBUserInfoMonitor::friendlyTimeRemaining(1 * hour), QStringLiteral("1 HOUR"));
    EXPECT_EQ(QVBUserInfoMonitor::friendlyTimeRemaining(30 * hour), QStringLiteral("1 DAY"));
    EXPECT_EQ(QVBUserInfoMonitor::friendlyTimeRemaining(48 * hour), QStringLiteral("2 DAYS"));
    EXPECT_EQ(QVBUserInfoMonitor::friendlyTimeRemaining((12 * 24 + 5) * hour), QStringLiteral("12 DAYS"));

    const QTimeZone vancouver(QByteArrayLiteral("America/Vancouver"));
    const QDateTime december(QDate(2024, 12, 15), QTime(12, 0), vancouver);
    EXPECT_EQ(QVBUserInfoMonitor::startOfNextMonthAfter(december),
              QDateTime(QDate(2025, 1, 1), QTime(0, 0), vancouver));
    // In UTC the month has turned, in Vancouver it is still March 31st, 20:00: four hours to go.
    const QDateTime early(QDate(2024, 4, 1), QTime(3, 0), QTimeZone::utc());
    const QDateTime renewal = QVBUserInfoMonitor::startOfNextMonthAfter(early);
    EXPECT_EQ(QVBUserInfoMonitor::friendlyTimeRemaining(early.secsTo(renewal)), QStringLiteral("4 HOURS"));
}

TEST(QuotaMonitorTest, RenewalIsCountedInVancouverWhateverTheLocalZone)
{
    ScopedAccountEnvironment env;
    ASSERT_TRUE(env.started());
    ScopedMonitor monitor;
    Tessutils::setCorvikAuthToken(QStringLiteral("TOKEN-ann"));
    for (const QByteArray& zone : {QByteArrayLiteral("UTC"), QByteArrayLiteral("Asia/Tokyo")}) {
        ScopedLocalZone local(zone);
        // 2024-04-01 03:00Z on the local clock: April in UTC (and in Tokyo), still March 31st, 20:00 in Vancouver.
        const QDateTime now = QDateTime(QDate(2024, 4, 1), QTime(3, 0), QTimeZone::utc()).toLocalTime();
        ASSERT_EQ(now.timeSpec(), Qt::LocalTime);
        ASSERT_EQ(now.offsetFromUtc(), zone == "UTC" ? 0 : 9 * 3600) << "the local zone did not change";
        monitor->setClockForTesting([now] { return now; });
        Answer answer;
        monitor->updateNow(answer.completion());
        ASSERT_TRUE(answer.wait());
        EXPECT_EQ(monitor->userFriendlyResetTimeRemaining(), QStringLiteral("4 HOURS")) << zone.constData();
        EXPECT_EQ(monitor->resetTimeRemaining(), 4 * 3600) << zone.constData();
    }
}
