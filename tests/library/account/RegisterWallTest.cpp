#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "AccountTestSupport.h"
#include "app/AppStartupHooks.h"
#include "library/LibraryLibrary.h"
#include "library/account/QVRRegisterWallWindowController.h"
#include "library/account/QVR_ProfileEditorWebViewWindowController.h"
#include "service/CorvikBlockAPIBinding.h"
#include "service/ServiceReachability.h"
#include "strings/UFM.h"
#include "support/UserInput.h"

using accounttest::ScopedAccountEnvironment;
using Page = QVRRegisterWallWindowController::Page;

TEST(RegisterWallTest, PagesBackAndSkip)
{
    QVRRegisterWallWindowController wall;
    wall.setLandingVCMessageText(QString());
    EXPECT_EQ(wall.landingMessageShown(), UFM::YOU_NEED_TO_SIGN_IN_TEXT());
    EXPECT_EQ(wall.currentPage(), Page::Landing);
    EXPECT_FALSE(wall.backButtonVisible());
    EXPECT_FALSE(wall.skipButtonVisible());

    wall.switchToVC(Page::Login);
    EXPECT_TRUE(wall.backButtonVisible());
    wall.switchToVC(Page::Signup);
    wall.switchToVC(Page::Login);
    wall.backButtonPressed();
    EXPECT_EQ(wall.currentPage(), Page::Signup);
    EXPECT_EQ(wall.pageStack(), (QList<Page>{Page::Landing, Page::Login, Page::Signup}));

    QVRRegisterWallWindowController sheet;
    sheet.setPresentedAsModalSheet(true);
    EXPECT_TRUE(sheet.skipButtonVisible());
    sheet.open();
    sheet.skipButtonPressed();
    EXPECT_EQ(sheet.result(), QDialog::Rejected);
    EXPECT_FALSE(sheet.loginCompleted());
}

TEST(RegisterWallTest, BadPasswordIsAlertedAndGoodSignInClosesAfterTwoSeconds)
{
    ScopedAccountEnvironment env;
    ASSERT_TRUE(env.started());
    QVRRegisterWallWindowController wall;
    wall.open();
    wall.switchToVC(Page::Login);
    wall.loginEmailField()->setText(QStringLiteral("ann@x.example"));
    wall.loginPasswordField()->setText(QStringLiteral("wrong"));
    wall.loginSubmitButton()->click();
    EXPECT_FALSE(wall.loginSubmitButton()->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !env.alerts.requests.empty(); }, 5000));
    EXPECT_EQ(env.alerts.requests.front().messageText, QStringLiteral("Invalid user name or password"));
    EXPECT_TRUE(wall.loginSubmitButton()->isEnabled());
    EXPECT_EQ(wall.loginEmailField()->text(), QStringLiteral("ann@x.example"));
    EXPECT_EQ(wall.currentPage(), Page::Login);

    bool finished = false;
    QObject::connect(&wall, &QDialog::finished, [&] { finished = true; });
    wall.loginPasswordField()->setText(QStringLiteral("pw"));
    wall.loginSubmitButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return wall.currentPage() == Page::Success; }, 5000));
    QElapsedTimer sinceSuccess;
    sinceSuccess.start();
    EXPECT_TRUE(wall.loginCompleted());
    EXPECT_FALSE(wall.backButtonVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished; }, 4000));
    EXPECT_NEAR(sinceSuccess.elapsed(), 2000, 300);
    EXPECT_EQ(env.alerts.requests.size(), 1u);
}

TEST(RegisterWallTest, SheetClosingOnSuccessEndsAtOnceAndForgotPasswordOpensTheSite)
{
    ScopedAccountEnvironment env;
    ASSERT_TRUE(env.started());
    QVRRegisterWallWindowController wall;
    wall.setPresentedAsModalSheet(true);
    wall.setShouldCloseOnSuccess(true);
    wall.open();
    wall.switchToVC(Page::Login);
    wall.forgotPasswordPressed();
    ASSERT_EQ(env.opener.opened.size(), 1);
    EXPECT_EQ(env.opener.opened.first().toString(), QStringLiteral("https://maker.example/forgot_password"));

    wall.loginEmailField()->setText(QStringLiteral("ann@x.example"));
    wall.loginPasswordField()->setText(QStringLiteral("pw"));
    wall.loginSubmitButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return wall.isHidden(); }, 5000));
    EXPECT_TRUE(wall.loginCompleted());
    EXPECT_EQ(wall.result(), QDialog::Accepted);
    EXPECT_FALSE(wall.skipButtonVisible());
}

TEST(RegisterWallTest, WithoutTheServiceTheWallSaysSoAndASignInAttemptIsExplained)
{
    ScopedAccountEnvironment env;
    ASSERT_TRUE(env.started());
    {
        // Reachable: no notice.
        QVRRegisterWallWindowController wall;
        wall.open();
        QTest::qWait(200);
        EXPECT_TRUE(wall.serviceNoticeShown().isEmpty());
    }
    ASSERT_TRUE(CorvikBlockAPIBinding::setAPIURL(FakeWebService::unreachableBaseUrl()));
    QVRRegisterWallWindowController wall;
    wall.setLandingVCMessageText(UFM::YOU_NEED_TO_SIGN_IN_TEXT());
    wall.open();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !wall.serviceNoticeShown().isEmpty(); }, 6000));
    EXPECT_EQ(wall.serviceNoticeShown(), ServiceReachability::unreachableText());
    EXPECT_TRUE(wall.serviceNoticeShown().contains(UFM::IT_LOOKS_LIKE_YOU_HAVE_NO_INTERNET()));
    EXPECT_EQ(wall.landingMessageShown(), UFM::YOU_NEED_TO_SIGN_IN_TEXT());

    wall.switchToVC(Page::Login);
    wall.loginEmailField()->setText(QStringLiteral("ann@x.example"));
    wall.loginPasswordField()->setText(QStringLiteral("pw"));
    wall.loginSubmitButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !env.alerts.requests.empty(); }, 6000));
    EXPECT_EQ(env.alerts.requests.front().messageText, UFM::IT_LOOKS_LIKE_YOU_HAVE_NO_INTERNET());
    EXPECT_EQ(env.alerts.requests.front().informativeText, UFM::CHECK_YOUR_CONNECTION_TEXT());
    EXPECT_FALSE(wall.loginCompleted());
    EXPECT_EQ(wall.currentPage(), Page::Login);
    EXPECT_TRUE(Tessutils::corvikAuthToken().isEmpty());
}

TEST(RegisterWallTest, SignUpByKeyboardRegistersWithTheEmailAndATakenNameIsAlerted)
{
    ScopedAccountEnvironment env;
    ASSERT_TRUE(env.started());
    QVRRegisterWallWindowController wall;
    wall.open();
    wall.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&wall));
    // Return in the sign-in page's e-mail field moves on to the password, and nowhere else.
    wall.switchToVC(Page::Login);
    wall.loginEmailField()->setFocus();
    QTest::keyClick(wall.loginEmailField(), Qt::Key_Return);
    EXPECT_EQ(wall.currentPage(), Page::Login);
    EXPECT_TRUE(wall.loginPasswordField()->hasFocus());
    wall.switchToVC(Page::Signup);
    wall.signupDisplayNameField()->setFocus();
    UserInput::typeText(wall.signupDisplayNameField(), QStringLiteral("Bo"));
    QTest::keyClick(wall.signupDisplayNameField(), Qt::Key_Return);
    EXPECT_EQ(wall.currentPage(), Page::Signup);
    EXPECT_TRUE(wall.signupEmailField()->hasFocus());
    UserInput::typeText(wall.signupEmailField(), QStringLiteral("bo@x.example"));
    QTest::keyClick(wall.signupEmailField(), Qt::Key_Return);
    EXPECT_TRUE(wall.signupPasswordField()->hasFocus());
    UserInput::typeText(wall.signupPasswordField(), QStringLiteral("pw2"));
    QTest::keyClick(wall.signupPasswordField(), Qt::Key_Return);
    EXPECT_FALSE(wall.signupSubmitButton()->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return wall.currentPage() == Page::Success; }, 5000));
    const auto request = env.service.lastRequest(QStringLiteral("corvik.users.register"));
    ASSERT_TRUE(request.has_value());
    EXPECT_EQ(request->field(QStringLiteral("username")), QStringLiteral("bo@x.example"));
    EXPECT_EQ(request->field(QStringLiteral("email")), QStringLiteral("bo@x.example"));
    EXPECT_EQ(request->field(QStringLiteral("display_name")), QStringLiteral("Bo"));
    EXPECT_TRUE(wall.loginCompleted());
    EXPECT_TRUE(wall.signupSubmitButton()->isEnabled());

    // The same e-mail again: the service's refusal is alerted and the page keeps what was typed.
    QVRRegisterWallWindowController again;
    again.open();
    again.switchToVC(Page::Signup);
    again.signupEmailField()->setText(QStringLiteral("bo@x.example"));
    again.signupPasswordField()->setText(QStringLiteral("pw3"));
    again.signupSubmitButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !env.alerts.requests.empty(); }, 5000));
    EXPECT_EQ(env.alerts.requests.front().messageText, QStringLiteral("User name taken"));
    EXPECT_EQ(again.currentPage(), Page::Signup);
    EXPECT_FALSE(again.loginCompleted());
    EXPECT_TRUE(again.signupSubmitButton()->isEnabled());
    EXPECT_EQ(again.signupEmailField()->text(), QStringLiteral("bo@x.example"));
}

TEST(RegisterWallTest, ClickingTheSocialButtonRunsTheSocialSignInOnce)
{
    ScopedAccountEnvironment env; // the wall checks the service when it shows: the local fake one
    ASSERT_TRUE(env.started());
    int runs = 0;
    std::function<void(const std::optional<Error>&, bool)> answer;
    QVRRegisterWallWindowController::setSocialSignIn(
        [&](QWidget*, std::function<void(const std::optional<Error>&, bool)> done) {
            ++runs;
            answer = std::move(done);
        });
    QVRRegisterWallWindowController wall;
    wall.open();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&wall));
    const auto shownFacebookButton = [&] {
        for (auto* button : wall.findChildren<QPushButton*>(QStringLiteral("facebookButton")))
            if (button->isVisible())
                return button;
        return static_cast<QPushButton*>(nullptr);
    };
    QPushButton* landingButton = shownFacebookButton();
    ASSERT_NE(landingButton, nullptr);
    EXPECT_EQ(landingButton->accessibleName(), UFM::SIGNUP_VIA_FACEBOOK_TEXT());
    // The title label covers the middle of the button: the click must still reach it.
    QTest::mouseClick(landingButton, Qt::LeftButton, {}, landingButton->rect().center());
    EXPECT_EQ(runs, 1);
    QTest::mouseClick(landingButton, Qt::LeftButton, {}, landingButton->rect().center());
    EXPECT_EQ(runs, 1); // one social sign-in at a time

    // Closed without signing in: nothing changes and the button works again.
    answer(std::nullopt, false);
    EXPECT_EQ(wall.currentPage(), Page::Landing);
    EXPECT_FALSE(wall.loginCompleted());
    wall.switchToVC(Page::Login);
    QPushButton* loginButton = shownFacebookButton();
    ASSERT_NE(loginButton, nullptr);
    EXPECT_EQ(loginButton->accessibleName(), UFM::LOGIN_VIA_FACEBOOK_TEXT());
    QTest::mouseClick(loginButton, Qt::LeftButton, {}, loginButton->rect().center());
    EXPECT_EQ(runs, 2);
    answer(std::nullopt, true);
    EXPECT_EQ(wall.currentPage(), Page::Success);
    EXPECT_TRUE(wall.loginCompleted());
    QVRRegisterWallWindowController::setSocialSignIn(nullptr);
}

TEST(RegisterWallTest, TheSocialButtonShowsWhenItHasTheKeyboard)
{
    ScopedAccountEnvironment env;
    ASSERT_TRUE(env.started());
    QVRRegisterWallWindowController wall;
    wall.open();
    wall.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&wall));
    for (const Page page : {Page::Landing, Page::Login, Page::Signup}) {
        SCOPED_TRACE(static_cast<int>(page));
        wall.switchToVC(page);
        QTest::qWait(700); // the page's fade
        QPushButton* social = nullptr;
        for (auto* button : wall.findChildren<QPushButton*>(QStringLiteral("facebookButton")))
            if (button->isVisible())
                social = button;
        ASSERT_NE(social, nullptr);
        social->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(social->hasFocus());
        const QImage focused = social->grab().toImage();
        QTest::keyClick(social, Qt::Key_Tab);
        ASSERT_FALSE(social->hasFocus());
        EXPECT_NE(social->grab().toImage(), focused);
    }
}

TEST(RegisterWallTest, TheApplicationHookShowsTheWall)
{
    AppStartupHooks::resetForTesting();
    registerLibraryLibrary();
    const AppStartupHooks& hooks = AppStartupHooks::shared();
    ASSERT_TRUE(hooks.runRegisterWall);
    EXPECT_TRUE(hooks.runSignOutDialogue && hooks.startQuotaMonitor && hooks.showPasswordPrompt);
    EXPECT_TRUE(hooks.quotaBytesRemaining && hooks.quotaCap && hooks.quotaResetTimeRemaining);
    EXPECT_TRUE(hooks.menuCommands.count(QStringLiteral("editProfile")));
    EXPECT_FALSE(hooks.menuCommands.count(QStringLiteral("preferences")));
    QTimer::singleShot(0, [] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* wall = qobject_cast<QVRRegisterWallWindowController*>(widget); wall && wall->isVisible()) {
                EXPECT_EQ(wall->landingMessageShown(), QStringLiteral("Sign in to save"));
                wall->close();
            }
        }
    });
    EXPECT_FALSE(AppStartupHooks::shared().runRegisterWall(QStringLiteral("Sign in to save")));
    AppStartupHooks::resetForTesting();
}

TEST(RegisterWallTest, ProfileEditorOpensTheSettingsPage)
{
    ScopedAccountEnvironment env;
    EXPECT_EQ(QVR_ProfileEditorWebViewWindowController::settingsURL().toString(),
              QStringLiteral("https://maker.example/user/settings"));
}

namespace {

// Pixels of the button's area that are clearly darker than the white wall behind it: its drawn title.
int inkOf(QWidget& wall, QPushButton* button)
{
    const QImage shot = wall.grab().toImage();
    const qreal ratio = wall.devicePixelRatio();
    const QRect area(button->mapTo(&wall, QPoint(0, 0)), button->size());
    int ink = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            ink += qGray(shot.pixel(QPoint(x, y) * ratio)) < 160 ? 1 : 0;
    return ink;
}

QPushButton* buttonTitled(QWidget& wall, const QString& title)
{
    for (auto* button : wall.findChildren<QPushButton*>())
        if (button->text() == title)
            return button;
    return nullptr;
}

} // namespace

TEST(RegisterWallTest, TheBackButtonFadesInWithItsPageAndTheSkipButtonFadesOutOnSuccess)
{
    ScopedAccountEnvironment env;
    ASSERT_TRUE(env.started());
    QVRRegisterWallWindowController wall;
    wall.setPresentedAsModalSheet(true);
    wall.open();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&wall));
    QPushButton* back = buttonTitled(wall, UFM::BACK_TEXT());
    QPushButton* skip = buttonTitled(wall, UFM::SKIP_FOR_NOW_TEXT());
    QPushButton* login = buttonTitled(wall, UFM::LOGIN_TEXT());
    ASSERT_TRUE(back && skip && login);
    EXPECT_GT(inkOf(wall, skip), 10) << "a sheet offers to skip at once";

    QTest::mouseClick(login, Qt::LeftButton);
    ASSERT_EQ(wall.currentPage(), Page::Login);
    EXPECT_TRUE(wall.backButtonVisible());
    ASSERT_TRUE(back->isVisible());
    EXPECT_LT(inkOf(wall, back), 5) << "the back button starts clear";
    ASSERT_TRUE(QTest::qWaitFor([&] { return inkOf(wall, back) > 10; }, 2000)) << "and fades in";

    wall.loginEmailField()->setFocus();
    UserInput::typeText(wall.loginEmailField(), QStringLiteral("ann@x.example"));
    wall.loginPasswordField()->setFocus();
    UserInput::typeText(wall.loginPasswordField(), QStringLiteral("pw"));
    QTest::keyClick(wall.loginPasswordField(), Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return wall.currentPage() == Page::Success; }, 5000));
    EXPECT_FALSE(wall.skipButtonVisible());
    EXPECT_FALSE(wall.backButtonVisible());
    EXPECT_GT(inkOf(wall, skip), 10) << "the skip button fades, it does not vanish";
    ASSERT_TRUE(QTest::qWaitFor([&] { return skip->isHidden() && back->isHidden(); }, 1500));
}
