#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

#include "AccountTestSupport.h"
#include "app/AppStartupHooks.h"
#include "library/LibraryLibrary.h"
#include "library/account/QVBUserInfoMonitor.h"
#include "library/themes/TessarineTheme.h"
#include "storage/ZERI_qvdFilePackageMetadata.h"

using accounttest::Answer;
using accounttest::ScopedAccountEnvironment;

namespace {

const QString kSignIn = QStringLiteral("corvik.auth.getTokenFromCredentials");
const QString kRegister = QStringLiteral("corvik.users.register");
const QString kLogout = QStringLiteral("corvik.auth.trustedLogout");
const QString kTemplates = QStringLiteral("tessarine.getTemplates");

} // namespace

TEST(AuthenticationHandlerTest, SignInStoresTheAccountAndAdoptsOwnerlessDocuments)
{
    ScopedAccountEnvironment env;
    ASSERT_TRUE(env.started());
    env.service.withState([](FakeWebService::State& state) {
        FakeWebService::User& ann = state.users[QStringLiteral("ann")];
        ann.uploadMaxFileSize = 5000;
    });
    auto ownerless = ScopedAccountEnvironment::savedDocument(QStringLiteral("Made signed out"));
    auto package = ScopedAccountEnvironment::packageOf(ownerless);
    ASSERT_TRUE(package);
    ASSERT_TRUE(package->metaData().ownerUserName().isEmpty());

    Answer answer;
    env.handler().loginCorvikWithEmail(QStringLiteral("ann@x.example"), QStringLiteral("pw"), answer.completion());
    ASSERT_TRUE(answer.wait());
    EXPECT_FALSE(answer.error.has_value());
    EXPECT_EQ(Tessutils::corvikAuthToken(), QStringLiteral("TOKEN-ann"));
    EXPECT_EQ(Tessutils::corvikCookieAuthToken(), QStringLiteral("COOKIE-TOKEN-ann"));
    EXPECT_EQ(Tessutils::corvikUserDict().stringForKey(QStringLiteral("username")), QStringLiteral("ann"));
    EXPECT_EQ(Tessutils::userMaxUploadSize(), 5000);
    const auto group = Tessutils::userEnterpriseGroup();
    ASSERT_TRUE(group.has_value());
    EXPECT_EQ(group->groupID(), QStringLiteral("7"));
    EXPECT_EQ(group->groupName(), QStringLiteral("G"));
    EXPECT_EQ(env.posted, QStringList{QString::fromLatin1(ZERI_AuthenticationHandler::kDidLoginNotification)});
    const auto logins = env.events(QStringLiteral("User Login"));
    ASSERT_EQ(logins.size(), 1);
    EXPECT_EQ(QJsonDocument(logins.first()).toJson().contains("Corvik"), true);
    EXPECT_EQ(package->metaData().ownerUserName(), QStringLiteral("ann"));
}

TEST(AuthenticationHandlerTest, SignInIsFollowedByTemplatesAllowanceAndUserRecord)
{
    ScopedAccountEnvironment env;
    ASSERT_TRUE(env.started());
    AppStartupHooks::resetForTesting();
    registerLibraryLibrary();
    QVBUserInfoMonitor::resetForTesting();
    Answer answer;
    env.handler().loginCorvikWithEmail(QStringLiteral("ann@x.example"), QStringLiteral("pw"), answer.completion());
    ASSERT_TRUE(answer.wait());
    ASSERT_FALSE(answer.error.has_value());
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return env.service.requestCount(QStringLiteral("tessarine.getUser")) == 1; }, 5000));
    QStringList methods;
    for (const FakeHttpRequest& request : env.service.requests()) {
        const QString method = request.method();
        if (!method.isEmpty() && !methods.contains(method))
            methods.append(method);
    }
    // The template list and the allowance leave together (either may reach the service first); the user record
    // follows the allowance's answer.
    ASSERT_EQ(methods.size(), 4) << methods.join(QLatin1Char(' ')).toStdString();
    EXPECT_EQ(methods.first(), kSignIn);
    EXPECT_TRUE(methods.contains(QStringLiteral("tessarine.getTemplates")));
    EXPECT_LT(methods.indexOf(QStringLiteral("corvik.users.getDiskQuota")),
              methods.indexOf(QStringLiteral("tessarine.getUser")));
    const auto quota = env.service.lastRequest(QStringLiteral("corvik.users.getDiskQuota"));
    ASSERT_TRUE(quota.has_value());
    EXPECT_EQ(quota->field(QStringLiteral("auth_token")), QStringLiteral("TOKEN-ann"));
    QVBUserInfoMonitor::resetForTesting();
    AppStartupHooks::resetForTesting();
}

TEST(AuthenticationHandlerTest, ServiceErrorsAndRepliesWithoutATokenStoreNothing)
{
    ScopedAccountEnvironment env;
    ASSERT_TRUE(env.started());

    Answer wrong;
    env.handler().loginCorvikWithEmail(QStringLiteral("ann@x.example"), QStringLiteral("bad"), wrong.completion());
    ASSERT_TRUE(wrong.wait());
    ASSERT_TRUE(wrong.error.has_value());
    EXPECT_EQ(wrong.error->domain, QString::fromLatin1(ZERI_AuthenticationHandler::kServiceErrorDomain));
    EXPECT_EQ(wrong.error->code, 401);
    EXPECT_EQ(wrong.error->message, QStringLiteral("Invalid user name or password"));

    // Not JSON, a token of the wrong type, and a dropped connection.
    const QList<FakeHttpReply> replies{
        FakeHttpReply::raw(200, "text/plain", "<html>nope</html>"),
        FakeHttpReply::json(QJsonObject{
            {QStringLiteral("response"),
             QJsonObject{{QStringLiteral("auth"), QJsonObject{{QStringLiteral("token"), QJsonArray{1}}}}}}}),
        FakeHttpReply::drop()};
    for (qsizetype i = 0; i < replies.size(); ++i) {
        SCOPED_TRACE(i);
        // Every time: the network layer may send a request again after a dropped connection.
        env.service.injectReply(kSignIn, replies[i], -1);
        Answer answer;
        env.handler().loginCorvikWithEmail(QStringLiteral("ann@x.example"), QStringLiteral("pw"), answer.completion());
        ASSERT_TRUE(answer.wait());
        EXPECT_TRUE(answer.error.has_value());
        env.service.clearInjectedReplies();
    }
    EXPECT_TRUE(Tessutils::corvikAuthToken().isEmpty());
    EXPECT_TRUE(Tessutils::corvikUserDict().isEmpty());
    EXPECT_FALSE(Tessutils::userEnterpriseGroup().has_value());
    EXPECT_TRUE(env.posted.isEmpty());

    // A reply with no "error" and no token is the handler's own code 1.
    env.service.injectReply(kSignIn, FakeHttpReply::json(QJsonObject{{QStringLiteral("response"), QJsonObject{}}}));
    Answer empty;
    env.handler().loginCorvikWithEmail(QStringLiteral("ann@x.example"), QStringLiteral("pw"), empty.completion());
    ASSERT_TRUE(empty.wait());
    ASSERT_TRUE(empty.error.has_value());
    EXPECT_EQ(empty.error->domain, QString::fromLatin1(ZERI_AuthenticationHandler::kErrorDomain));
    EXPECT_EQ(empty.error->code, ZERI_AuthenticationHandler::kNoTokenCode);
}

TEST(AuthenticationHandlerTest, ASecondSignInReplacesTheFirstAndARegistrationMeanwhileIsRefused)
{
    ScopedAccountEnvironment env;
    ASSERT_TRUE(env.started());
    env.service.injectReply(kSignIn, FakeHttpReply::hang());

    Answer first;
    env.handler().loginCorvikWithEmail(QStringLiteral("ann@x.example"), QStringLiteral("pw"), first.completion());
    ASSERT_TRUE(QTest::qWaitFor([&] { return env.service.requestCount(kSignIn) == 1; }, 5000));

    Answer refused;
    env.handler().registerCorvikUserWithUsername(QStringLiteral("bo@x.example"), QStringLiteral("pw2"),
                                                 QStringLiteral("bo@x.example"), {}, QStringLiteral("Bo"), {},
                                                 refused.completion());
    ASSERT_TRUE(refused.called);
    ASSERT_TRUE(refused.error.has_value());
    EXPECT_EQ(refused.error->code, ZERI_AuthenticationHandler::kBusyCode);

    Answer second;
    env.handler().loginCorvikWithEmail(QStringLiteral("ann@x.example"), QStringLiteral("pw"), second.completion());
    ASSERT_TRUE(first.called);
    ASSERT_TRUE(first.error.has_value());
    EXPECT_EQ(first.error->code, ZERI_AuthenticationHandler::kReplacedCode);
    ASSERT_TRUE(second.wait());
    EXPECT_FALSE(second.error.has_value());
    EXPECT_EQ(Tessutils::corvikAuthToken(), QStringLiteral("TOKEN-ann"));
    EXPECT_EQ(env.service.requestCount(kRegister), 0);
}

TEST(AuthenticationHandlerTest, RegistrationSignsInWithTheEmail)
{
    ScopedAccountEnvironment env;
    ASSERT_TRUE(env.started());
    Answer answer;
    env.handler().registerCorvikUserWithUsername(QStringLiteral("bo"), QStringLiteral("pw2"),
                                                 QStringLiteral("bo@x.example"), {}, QStringLiteral("Bo"), {},
                                                 answer.completion());
    ASSERT_TRUE(answer.wait());
    EXPECT_FALSE(answer.error.has_value());
    const auto signIn = env.service.lastRequest(kSignIn);
    ASSERT_TRUE(signIn.has_value());
    EXPECT_EQ(signIn->field(QStringLiteral("username")), QStringLiteral("bo@x.example"));
    EXPECT_EQ(Tessutils::corvikAuthToken(), QStringLiteral("TOKEN-bo"));
    EXPECT_EQ(env.events(QStringLiteral("User Register")).size(), 1);
}

TEST(AuthenticationHandlerTest, SignOutDeletesEveryPackageTellsTheServiceAndClearsTheAccount)
{
    ScopedAccountEnvironment env;
    ASSERT_TRUE(env.started());
    // The template list asked for at sign-in is answered only after the sign-out: it is not kept.
    TessarineTheme::resetForTesting();
    env.service.injectReply(kTemplates,
                            FakeHttpReply::json(QJsonObject{{QStringLiteral("templates"), QJsonArray()}}).delayed(400));
    Answer answer;
    env.handler().loginCorvikWithEmail(QStringLiteral("ann@x.example"), QStringLiteral("pw"), answer.completion());
    ASSERT_TRUE(answer.wait());
    ASSERT_TRUE(Tessutils::userEnterpriseGroup().has_value());
    ASSERT_TRUE(TessarineTheme::isLoadingThemes());
    Tessutils::setCachedStandardTessarineThemeListString(QStringLiteral("[]"));

    auto draft = ScopedAccountEnvironment::savedDocument(QStringLiteral("Draft"));
    auto other = ScopedAccountEnvironment::savedDocument(QStringLiteral("Other kind"));
    auto otherPackage = ScopedAccountEnvironment::packageOf(other);
    otherPackage->metaData().setPackageType(64);
    otherPackage->saveMetadata();
    const QStringList folders{ScopedAccountEnvironment::packageOf(draft)->path(), otherPackage->path()};

    bool foldersGoneAtLogout = false;
    NotificationObservation watch(
        QString::fromLatin1(ZERI_AuthenticationHandler::kDidLogoutNotification), nullptr, [&](const Notification&) {
            foldersGoneAtLogout = !QFileInfo::exists(folders[0]) && !QFileInfo::exists(folders[1]);
        });
    env.handler().logout();
    // The documents leave the list at once; the notification follows once their folders are gone.
    EXPECT_TRUE(ZERI_qvdFilePackage::allPackages().empty());
    ASSERT_TRUE(env.waitForLogout());
    EXPECT_TRUE(foldersGoneAtLogout);
    EXPECT_TRUE(Tessutils::corvikAuthToken().isEmpty());
    EXPECT_TRUE(Tessutils::corvikCookieAuthToken().isEmpty());
    EXPECT_TRUE(Tessutils::corvikUserDict().isEmpty());
    EXPECT_EQ(Tessutils::corvikAvatarPositionString(), QStringLiteral(""));
    EXPECT_EQ(Tessutils::cachedStandardTessarineThemeListString(), QStringLiteral(""));
    EXPECT_FALSE(Tessutils::cachedStandardTessarineThemeListString().isNull());
    ASSERT_TRUE(QTest::qWaitFor([] { return !TessarineTheme::isLoadingThemes(); }, 5000));
    EXPECT_EQ(Tessutils::cachedStandardTessarineThemeListString(), QStringLiteral(""));

    ASSERT_TRUE(QTest::qWaitFor([&] { return env.service.requestCount(kLogout) == 1; }, 5000));
    const auto logout = env.service.lastRequest(kLogout);
    EXPECT_EQ(logout->field(QStringLiteral("auth_token")), QStringLiteral("TOKEN-ann"));
    EXPECT_FALSE(logout->fields.contains(QStringLiteral("username")));

    // Signed out already: nothing more goes to the service.
    env.handler().logout();
    QTest::qWait(50);
    EXPECT_EQ(env.service.requestCount(kLogout), 1);
}

TEST(AuthenticationHandlerTest, ADocumentSyncedUnderTheSameIdWhileASignOutStillDeletesIsKept)
{
    ScopedAccountEnvironment env;
    ASSERT_TRUE(env.started());
    Answer answer;
    env.handler().loginCorvikWithEmail(QStringLiteral("ann@x.example"), QStringLiteral("pw"), answer.completion());
    ASSERT_TRUE(answer.wait());
    QStringList folders;
    for (int i = 0; i < 3; ++i)
        folders.append(ScopedAccountEnvironment::packageOf(
                           ScopedAccountEnvironment::savedDocument(QStringLiteral("Talk %1").arg(i)))
                           ->path());

    env.handler().logout();
    // The folders are out of their places before the call returns; the deletion goes on behind.
    for (const QString& folder : folders)
        EXPECT_FALSE(QFileInfo::exists(folder)) << folder.toStdString();
    // The next sign-in brings the same documents back under the same ids at once.
    for (const QString& folder : folders) {
        ASSERT_TRUE(QDir().mkpath(folder));
        QFile draft(QDir(folder).filePath(QStringLiteral("docfile.qvd")));
        ASSERT_TRUE(draft.open(QIODevice::WriteOnly));
        draft.write("{}");
    }
    ASSERT_TRUE(env.waitForLogout());
    ZERI_AuthenticationHandler::waitForSignOutsForTesting();
    for (const QString& folder : folders)
        EXPECT_TRUE(QFileInfo::exists(QDir(folder).filePath(QStringLiteral("docfile.qvd")))) << folder.toStdString();
    // Nothing of the signed-out documents is kept.
    const QDir leaving(QDir(ZERI_qvdFilePackage::tessarinesFolder()).filePath(QStringLiteral(".signed-out")));
    EXPECT_TRUE(leaving.isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot));
    for (const QString& folder : folders)
        QDir(folder).removeRecursively();
}

// A picture of a closed document still being written (a crop drawn on a worker) while the sign-out deletes the
// document's folder: the folder goes all the same, and nothing of the signed-out user's is left on disk.
TEST(AuthenticationHandlerTest, SignOutDeletesAFolderThatAWriterIsStillFilling)
{
    ScopedAccountEnvironment env;
    ASSERT_TRUE(env.started());
    auto draft = ScopedAccountEnvironment::savedDocument(QStringLiteral("Draft"));
    const QString assets = ScopedAccountEnvironment::packageOf(draft)->assetsPath();
    const QString folder = ScopedAccountEnvironment::packageOf(draft)->path();
    for (int n = 0; n < 400; ++n) {
        QFile file(QDir(assets).filePath(QStringLiteral("old-%1.png").arg(n)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    // The writer makes a file now and then, as long as the folder is there to take it.
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (int n = 0; !stop; ++n) {
            QFile(QDir(assets).filePath(QStringLiteral("new-%1.png").arg(n))).open(QIODevice::WriteOnly);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    env.handler().logout();
    const bool loggedOut = env.waitForLogout();
    stop = true;
    writer.join();
    ASSERT_TRUE(loggedOut);
    EXPECT_FALSE(QFileInfo::exists(folder)) << QDir(assets).entryList(QDir::Files).size() << " files left";
}
