#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMutex>
#include <QPushButton>
#include <QLineEdit>

#include "AccountTestSupport.h"
#include "library/account/QVRTessarinePasswordUnlockViewController.h"
#include "platform/AppPaths.h"
#include "platform/UserDefaults.h"
#include "support/TestEnvironment.h"

using accounttest::Answer;
using accounttest::ScopedAccountEnvironment;

namespace {

QMutex s_linesMutex;
QStringList s_lines;

void recordLine(QtMsgType, const QMessageLogContext& context, const QString& message)
{
    QMutexLocker lock(&s_linesMutex);
    s_lines.append(QString::fromLatin1(context.category ? context.category : "") + QLatin1Char(' ') + message);
}

} // namespace

TEST(SecretsTest, NoLogLineHoldsAPasswordOrAToken)
{
    ScopedAccountEnvironment env;
    ASSERT_TRUE(env.started());
    {
        QMutexLocker lock(&s_linesMutex);
        s_lines.clear();
    }
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=true"));
    const QtMessageHandler previous = qInstallMessageHandler(recordLine);

    Answer wrong;
    env.handler().loginCorvikWithEmail(QStringLiteral("ann@x.example"), QStringLiteral("pwWRONG"), wrong.completion());
    ASSERT_TRUE(wrong.wait());
    Answer signIn;
    env.handler().loginCorvikWithEmail(QStringLiteral("ann@x.example"), QStringLiteral("pw"), signIn.completion());
    ASSERT_TRUE(signIn.wait());
    Answer social;
    env.handler().loginUsingFacebookWithFBAccessToken(QStringLiteral("SOCIALTOK"), social.completion());
    ASSERT_TRUE(social.wait());

    QVRTessarinePasswordUnlockViewController prompt(QStringLiteral("abc"));
    prompt.passwordField()->setText(QStringLiteral("pwPROMPT"));
    prompt.unlockButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return prompt.unlockButton()->isEnabled(); }, 5000));

    env.handler().logout();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return env.service.requestCount(QStringLiteral("corvik.auth.trustedLogout")) == 1; }, 5000));
    QTest::qWait(20);

    qInstallMessageHandler(previous);
    QLoggingCategory::setFilterRules(QString());
    QMutexLocker lock(&s_linesMutex);
    EXPECT_FALSE(s_lines.isEmpty());
    for (const QString& line : std::as_const(s_lines)) {
        for (const char* secret : {"pwWRONG", "pwPROMPT", "TOKEN-", "SOCIALTOK", "COOKIE-"})
            EXPECT_FALSE(line.contains(QLatin1String(secret))) << line.toStdString();
    }
}

TEST(SecretsTest, OnlyThePrivateSettingsFileHoldsTheTokens)
{
    ScopedAccountEnvironment env;
    ASSERT_TRUE(env.started());
    Answer signIn;
    env.handler().loginCorvikWithEmail(QStringLiteral("ann@x.example"), QStringLiteral("pw"), signIn.completion());
    ASSERT_TRUE(signIn.wait());
    ASSERT_FALSE(signIn.error.has_value());
    Answer social;
    env.handler().loginUsingFacebookWithFBAccessToken(QStringLiteral("SOCIALTOK"), social.completion());
    ASSERT_TRUE(social.wait());
    // Whatever the sign-in set off (documents, templates, quota) has landed too.
    QTest::qWait(50);

    const QString settings = QFileInfo(UserDefaults::standard().storeFile()).canonicalFilePath();
    ASSERT_TRUE(settings.startsWith(TestEnvironment::root()) ||
                settings.startsWith(QFileInfo(TestEnvironment::root()).canonicalFilePath()));
    QStringList holders;
    for (const QString& folder : {TestEnvironment::root(), AppPaths::applicationSupport()}) {
        QDirIterator files(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString path = files.next();
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly))
                continue;
            // The fake service names a social user after its token ("fb-" + token); that name may be kept.
            const QByteArray content = file.readAll().replace("fb-SOCIALTOK", "");
            if (content.contains("TOKEN-ann") || content.contains("COOKIE-") || content.contains("SOCIALTOK"))
                holders.append(QFileInfo(path).canonicalFilePath());
        }
    }
    EXPECT_EQ(holders, QStringList{settings});
    const auto everyone = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                          QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
                          QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    EXPECT_EQ(QFile::permissions(settings) & everyone, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}
