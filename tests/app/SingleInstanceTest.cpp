#include <gtest/gtest.h>

#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
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
// the rest is handed over (a link given many times once), and the second start ends.
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
    QStringList arguments{overlong};
    for (int i = 0; i < 3000; ++i)
        arguments << QStringLiteral("tessarine://loadbystringid/abc123");
    second.start(QStringLiteral(TESS_APP_PROBE), arguments);
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
    const QString stale = QVRSingleInstance::serverName();
    QFile file(stale);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    QVRSingleInstance instance;
    EXPECT_TRUE(instance.listen());
}

// The socket lives where only this user can enter: the runtime folder when it is private, else a private folder of
// the user's own, never a folder others may enter or one of another user's.
TEST(SingleInstance, TheSocketLivesInAFolderOnlyTheUserCanEnter)
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    QTemporaryDir shared;
    ASSERT_TRUE(QFile::setPermissions(shared.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                         QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                                         QFileDevice::ExeOther));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(shared.path()));
    const QString fallback = QVRSingleInstance::socketFolder();
    EXPECT_NE(fallback, shared.path());
    struct stat info {};
    ASSERT_EQ(::lstat(QFile::encodeName(fallback).constData(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_uid, ::getuid());
    EXPECT_EQ(info.st_mode & 077, 0u);
    EXPECT_TRUE(QVRSingleInstance::serverName().startsWith(fallback + QLatin1Char('/')));

    ASSERT_TRUE(
        QFile::setPermissions(shared.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    EXPECT_EQ(QVRSingleInstance::socketFolder(), shared.path());
    QVRSingleInstance instance;
    EXPECT_TRUE(instance.listen());
    qputenv("XDG_RUNTIME_DIR", runtime);
}

// A socket file of another user's in the socket's place is never taken for the running instance, though something
// answers on it: no link is handed to it, and the next instance takes the name.
TEST(SingleInstance, ASocketOfAnotherUserIsNeverTrusted)
{
    const QString name = QVRSingleInstance::serverName();
    QLocalServer impostor;
    QLocalServer::removeServer(name);
    ASSERT_TRUE(impostor.listen(name));
    if (::chown(QFile::encodeName(name).constData(), 65534, 65534) != 0)
        GTEST_SKIP() << "giving a file to another user takes the administrator's rights";
    EXPECT_EQ(QVRSingleInstance::forwardToRunningInstance({QStringLiteral("tessarine://loadbystringid/abc123")}, 500),
              QVRSingleInstance::Handover::NoInstance);
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
