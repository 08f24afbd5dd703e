#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>

#include "AccountTestSupport.h"
#include "app/AppStartupHooks.h"
#include "library/LibraryLibrary.h"
#include "library/account/QVRLoginWindowController.h"
#include "strings/UFM.h"

using accounttest::ScopedAccountEnvironment;

TEST(SignInWindowTest, AFailureSaysWhyAndASignInSaysSuccessAndCloses)
{
    ScopedAccountEnvironment env;
    ASSERT_TRUE(env.started());
    AppStartupHooks::resetForTesting();
    registerLibraryLibrary();
    const auto command = AppStartupHooks::shared().menuCommands.find(QStringLiteral("signInWindow"));
    ASSERT_NE(command, AppStartupHooks::shared().menuCommands.end());
    command->second();
    QPointer<QVRLoginWindowController> window;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* found = qobject_cast<QVRLoginWindowController*>(widget); found && found->isVisible())
            window = found;
    }
    ASSERT_TRUE(window);
    EXPECT_EQ(window->windowTitle(), UFM::SIGN_IN_TEXT());
    EXPECT_EQ(window->passwordTextField()->echoMode(), QLineEdit::Password);
    // Asked again, the same window comes forward.
    EXPECT_EQ(QVRLoginWindowController::showShared(), window.data());

    window->usernameTextField()->setText(QStringLiteral("ann@x.example"));
    window->passwordTextField()->setText(QStringLiteral("wrong"));
    window->loginButton()->click();
    EXPECT_FALSE(window->loginButton()->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !env.alerts.requests.empty(); }, 5000));
    EXPECT_EQ(env.alerts.requests.front().messageText, UFM::ERROR_SIGNING_IN_TEXT());
    EXPECT_EQ(env.alerts.requests.front().informativeText, QStringLiteral("Invalid user name or password"));
    EXPECT_TRUE(window->loginButton()->isEnabled());
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(Tessutils::corvikAuthToken().isEmpty());

    window->passwordTextField()->setText(QStringLiteral("pw"));
    window->loginButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return env.alerts.requests.size() == 2; }, 5000));
    EXPECT_EQ(env.alerts.requests.back().messageText, QStringLiteral("Success!"));
    EXPECT_EQ(Tessutils::corvikAuthToken(), QStringLiteral("TOKEN-ann"));
    // The window closes (and goes) once the alert is answered.
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.isNull(); }, 5000));
    AppStartupHooks::resetForTesting();
}

TEST(SignInWindowTest, OnlyASignInSaysSuccess)
{
    ScopedAccountEnvironment env;
    QVRLoginWindowController window;
    // The social window closed by the user: no error, nobody signed in, nothing said.
    window.handleLoginComplete(std::nullopt, false);
    // Replaced by a newer sign-in elsewhere: passed over.
    window.handleLoginComplete(Error(QString::fromLatin1(ZERI_AuthenticationHandler::kErrorDomain),
                                     ZERI_AuthenticationHandler::kReplacedCode, QStringLiteral("replaced")));
    EXPECT_TRUE(env.alerts.requests.empty());
    window.handleLoginComplete(Error(QStringLiteral("QNetworkReplyError"), 1, QStringLiteral("Connection refused")));
    ASSERT_EQ(env.alerts.requests.size(), 1u);
    EXPECT_EQ(env.alerts.requests.front().informativeText, QStringLiteral("Connection refused"));
}
