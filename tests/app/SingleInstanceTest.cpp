#include <gtest/gtest.h>

#include <vector>

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include "app/QVRSingleInstance.h"
#include "app/QVRURLSchemeHandler.h"

namespace {

TEST(SingleInstance, ASecondLaunchHandsItsLinkToTheFirstAndExits)
{
    QVRSingleInstance first;
    ASSERT_TRUE(first.listen());
    std::vector<QVROpenRequestCue> started;
    QVRURLSchemeHandler::setOpenRequestStarter([&](const QVROpenRequestCue& cue) { started.push_back(cue); });
    QObject::connect(&first, &QVRSingleInstance::linksReceived, &first, [](const QStringList& links) {
        for (const QString& link : links)
            QVRURLSchemeHandler::handleURLEvent(link);
    });

    // The child inherits this test's private folders, so it finds this process's socket.
    QProcess second;
    second.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    second.start(QStringLiteral(TESS_APP_PROBE), {QStringLiteral("tessarine://loadbystringid/abc123")});
    ASSERT_TRUE(second.waitForStarted(10000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return second.state() == QProcess::NotRunning; }, 20000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0], (QVROpenRequestCue{QVROpenRequestCue::Kind::StringID, QStringLiteral("abc123"), 8}));
    QVRURLSchemeHandler::setOpenRequestStarter({});
}

// A link too long to hand over never makes a second full instance on the same data folder: the link is left out,
// the rest is handed over, and the second start ends.
TEST(SingleInstance, ASecondLaunchWithAnOverlongLinkStillEndsAndHandsOverTheRest)
{
    QVRSingleInstance first;
    ASSERT_TRUE(first.listen());
    QStringList received;
    QObject::connect(&first, &QVRSingleInstance::linksReceived, &first,
                     [&](const QStringList& links) { received += links; });
    const QString overlong = QStringLiteral("tessarine://loadbystringid/") + QString(120000, QLatin1Char('a'));
    QProcess second;
    second.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    second.start(QStringLiteral(TESS_APP_PROBE), {overlong, QStringLiteral("tessarine://loadbystringid/abc123")});
    ASSERT_TRUE(second.waitForStarted(10000));
    const bool ended = QTest::qWaitFor([&] { return second.state() == QProcess::NotRunning; }, 20000);
    if (!ended) {
        second.kill();
        second.waitForFinished(5000);
    }
    ASSERT_TRUE(ended) << "a second instance runs on the same data folder";
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(received, QStringList{QStringLiteral("tessarine://loadbystringid/abc123")});
}

// An instance that answers nothing (busy, hung): the second start says so and ends instead of running beside it.
TEST(SingleInstance, ASecondLaunchThatCannotHandItsLinkOverEnds)
{
    QLocalServer silent;
    QLocalServer::removeServer(QVRSingleInstance::serverName());
    ASSERT_TRUE(silent.listen(QVRSingleInstance::serverName()));
    QProcess second;
    second.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    second.start(QStringLiteral(TESS_APP_PROBE), {QStringLiteral("tessarine://loadbystringid/abc123")});
    ASSERT_TRUE(second.waitForStarted(10000));
    const bool ended = QTest::qWaitFor([&] { return second.state() == QProcess::NotRunning; }, 20000);
    if (!ended) {
        second.kill();
        second.waitForFinished(5000);
    }
    ASSERT_TRUE(ended) << "a second instance runs on the same data folder";
    EXPECT_EQ(second.exitCode(), 1);
}

TEST(SingleInstance, WithoutARunningInstanceNothingIsForwarded)
{
    EXPECT_EQ(QVRSingleInstance::forwardToRunningInstance({QStringLiteral("tessarine://startnewtessarine")}, 500),
              QVRSingleInstance::Handover::NoInstance);
}

TEST(SingleInstance, OnlyOneInstanceListensPerDataFolder)
{
    QVRSingleInstance first;
    ASSERT_TRUE(first.listen());
    QVRSingleInstance second;
    EXPECT_FALSE(second.listen());
}

TEST(SingleInstance, ASocketFileLeftByADeadInstanceIsTakenOver)
{
    const QString stale = QDir::tempPath() + QLatin1Char('/') + QVRSingleInstance::serverName();
    QFile file(stale);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    QVRSingleInstance instance;
    EXPECT_TRUE(instance.listen());
}

TEST(SingleInstance, AnOverlongLineIsDroppedWithoutAcknowledgement)
{
    QVRSingleInstance first;
    ASSERT_TRUE(first.listen());
    QSignalSpy received(&first, &QVRSingleInstance::linksReceived);
    QLocalSocket client;
    client.connectToServer(QVRSingleInstance::serverName());
    ASSERT_TRUE(client.waitForConnected(2000));
    client.write(QByteArray(QVRSingleInstance::kMaxLineBytes * 3, 'a'));
    client.flush();
    EXPECT_TRUE(QTest::qWaitFor([&] { return client.state() == QLocalSocket::UnconnectedState; }, 5000));
    EXPECT_EQ(received.count(), 0);
}

} // namespace
