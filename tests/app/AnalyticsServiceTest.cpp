#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QUrl>

#include "app/QVRActionLog.h"
#include "app/QVRAnalytics.h"
#include "service/BlockRequester.h"
#include "support/fakeservice/FakeWebService.h"

// The action log against the fake web service on 127.0.0.1.
namespace {

QJsonObject parametersOf(const QJsonValue& event)
{
    return event.toObject().value(QStringLiteral("parameters")).toObject();
}

TEST(AnalyticsWithTheService, EventsSurviveARestartWhileTheServiceIsDownAndAreSentLater)
{
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("actionlog.json"));
    FakeWebService service;
    ASSERT_TRUE(service.start());
    BlockRequester::setAPIKey(QStringLiteral("KEY123"));
    BlockRequester::setAPIPassword(QStringLiteral("s3cretPW"));

    {
        // Nothing listens on port 9 of this machine: the service is down.
        ASSERT_TRUE(BlockRequester::setAPIURL(QUrl(QStringLiteral("http://127.0.0.1:9"))));
        QVRActionLog down(file, QVRActionLog::serviceSender());
        QVRActionLog::setSharedForTesting(&down);
        QVRAnalytics::logEvent(QStringLiteral("Publish"), {{QStringLiteral("Result"), QStringLiteral("error")}});
        QVRAnalytics::logEventForDocumentID(QStringLiteral("Viewed"), {}, QStringLiteral("4711"));
        EXPECT_FALSE(down.flushAndWait(10000));
        EXPECT_EQ(down.backlog().size(), 2);
        QVRActionLog::setSharedForTesting(nullptr);
    }

    ASSERT_TRUE(BlockRequester::setAPIURL(service.baseUrl()));
    QVRActionLog up(file, QVRActionLog::serviceSender());
    ASSERT_EQ(up.backlog().size(), 2);
    EXPECT_TRUE(up.flushAndWait(10000));
    const QJsonArray logged = service.state().loggedEvents;
    ASSERT_EQ(logged.size(), 2);
    EXPECT_EQ(logged.at(0)[QStringLiteral("name")].toString(), QStringLiteral("Publish"));
    EXPECT_EQ(parametersOf(logged.at(0)).value(QStringLiteral("Result")).toString(), QStringLiteral("error"));
    EXPECT_EQ(logged.at(1)[QStringLiteral("document_id")].toString(), QStringLiteral("4711"));
    EXPECT_EQ(parametersOf(logged.at(1)).value(QStringLiteral("tessarine_id")).toString(), QStringLiteral("4711"));
    EXPECT_TRUE(QVRActionLog(file, {}).backlog().isEmpty());
}

TEST(AnalyticsWithTheService, AServiceErrorKeepsTheEvents)
{
    QTemporaryDir folder;
    FakeWebService service;
    ASSERT_TRUE(service.start());
    ASSERT_TRUE(BlockRequester::setAPIURL(service.baseUrl()));
    BlockRequester::setAPIKey(QStringLiteral("KEY123"));
    BlockRequester::setAPIPassword(QStringLiteral("s3cretPW"));
    service.injectReply(QStringLiteral("tessarine.log"),
                        FakeHttpReply::serviceError(QStringLiteral("500"), QStringLiteral("down")));
    QVRActionLog log(folder.filePath(QStringLiteral("actionlog.json")), QVRActionLog::serviceSender());
    log.append(QJsonObject{{QStringLiteral("name"), QStringLiteral("Kept")}});
    EXPECT_FALSE(log.flushAndWait(10000));
    EXPECT_EQ(log.backlog().size(), 1);
    EXPECT_TRUE(log.flushAndWait(10000));
    EXPECT_EQ(service.state().loggedEvents.size(), 1);
}

} // namespace
