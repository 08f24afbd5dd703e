#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QJsonObject>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWebEngineView>
#include <QWindow>

#include "app/QVRAppDelegate.h"
#include "foundation/Tessutils.h"
#include "library/account/QVRFacebookLoginWindowController.h"
#include "library/account/QVRRegisterWallWindowController.h"
#include "library/account/QVR_ProfileEditorWebViewWindowController.h"
#include "library/tour/QVR_FirstLaunchViewController.h"
#include "roads/RoadsSignedInService.h"
#include "roads/RoadsTestSupport.h"
#include "support/UserInput.h"
#include "support/fakeservice/FakeWebService.h"

using namespace roads;

namespace {

// Calls `step` every 20 ms while the application's own loops hold the call that opened a window; after
// `limitMs` every dialog still shown is turned down, so that a road gone wrong ends as a failure.
class Ticker {
public:
    Ticker(std::function<void()> step, int limitMs = 20000)
    {
        m_ticks.setInterval(20);
        QObject::connect(&m_ticks, &QTimer::timeout, std::move(step));
        m_ticks.start();
        m_limit.setSingleShot(true);
        QObject::connect(&m_limit, &QTimer::timeout, [] {
            ADD_FAILURE() << "the windows were not answered in time";
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (auto* dialog = qobject_cast<QDialog*>(widget); dialog && dialog->isVisible())
                    dialog->reject();
            }
        });
        m_limit.start(limitMs);
    }

private:
    QTimer m_ticks;
    QTimer m_limit;
};

QPushButton* socialButton(QWidget* wall)
{
    for (QPushButton* button : wall ? wall->findChildren<QPushButton*>() : QList<QPushButton*>()) {
        if (button->isVisible() && button->objectName() == QLatin1String("facebookButton"))
            return button;
    }
    return nullptr;
}

} // namespace

// On the first start the tour stays above every window. Its Sign In brings the wall, whose social button opens
// the social sign-in window: that window is kept above the wall and the tour, and while the service exchanges
// the token it shows its activity indicator.
TEST(ViewerLibraryFaults, TheSocialSignInOfTheFirstRunIsKeptAboveTheTourAndShowsTheExchange)
{
    FakeWebService* service = startedService([](FakeWebService&) {});
    ASSERT_TRUE(service);
    QWidget* lists = application().listsWindow();
    ASSERT_TRUE(lists);
    QPointer<QVR_FirstLaunchViewController> tour;
    ASSERT_TRUE(waitFor([&] {
        tour = lists->findChild<QVR_FirstLaunchViewController*>();
        return tour && tour->isVisible();
    }));
    ASSERT_TRUE(tour->window()->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    bool clicked = false;
    bool checked = false;
    bool redirected = false;
    bool indicatorShown = false;
    QPointer<QVRRegisterWallWindowController> wall;
    Ticker ticker([&] {
        if (!wall)
            wall = visibleTopLevel<QVRRegisterWallWindowController>();
        if (!clicked) {
            if (QPushButton* button = socialButton(wall)) {
                clicked = true;
                click(button);
            }
            return;
        }
        auto* social = QVRFacebookSession::sharedInstance().loginWindowForTesting();
        if (!social || !social->isWindowLoaded() || !social->window()->isVisible())
            return;
        QWidget* frame = social->window();
        if (!checked) {
            checked = true;
            // A window of the wall's, so window managers stack it in front of it, and kept on top like the tour.
            ASSERT_TRUE(frame->windowHandle());
            EXPECT_EQ(frame->windowHandle()->transientParent(), wall ? wall->windowHandle() : nullptr);
            EXPECT_TRUE(frame->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
            ASSERT_TRUE(social->activityIndicator());
            EXPECT_FALSE(social->activityIndicator()->isVisible());
        }
        if (!redirected) {
            redirected = true;
            social->myWebView()->setUrl(QUrl(QVRFacebookLoginWindowController::redirectURI() +
                                             QStringLiteral("#access_token=first&expires_in=3600")));
            return;
        }
        if (social->activityIndicator() && social->activityIndicator()->isVisible() &&
            Tessutils::corvikAuthToken().isEmpty())
            indicatorShown = true;
    });
    // The exchange takes a while, so that its progress can be seen.
    const FakeWebService::User user = service->addUser(QStringLiteral("fb-first"));
    const QJsonObject answer{
        {QStringLiteral("response"),
         QJsonObject{{QStringLiteral("auth"), QJsonObject{{QStringLiteral("token"), user.token},
                                                          {QStringLiteral("user"), FakeWebService::userRecord(user)}}},
                     {QStringLiteral("cookie_auth"),
                      QJsonObject{{QStringLiteral("auth_token"), QStringLiteral("COOKIE-") + user.token}}}}}};
    service->injectReply(QStringLiteral("corvik.users.facebookLogin"), FakeHttpReply::json(answer).delayed(1500));
    QTest::mouseClick(tour->signInButton(), Qt::LeftButton);
    EXPECT_TRUE(waitFor([&] { return !Tessutils::corvikAuthToken().isEmpty(); }));
    EXPECT_TRUE(clicked);
    EXPECT_TRUE(checked);
    EXPECT_TRUE(redirected);
    EXPECT_TRUE(indicatorShown) << "nothing showed that the token was being exchanged";
    EXPECT_TRUE(waitFor([] { return !QVRFacebookSession::sharedInstance().isLoginWindowOpen(); }));
}

// Edit Profile belongs to the user who chose it: Sign Out closes it, and the next user's Edit Profile loads that
// user's page afresh instead of raising the first user's.
TEST(ViewerLibraryFaults, SignOutClosesTheProfileEditorAndTheNextUserGetsAPageOfTheirOwn)
{
    FakeWebService* service = startedService([](FakeWebService& service) {
        service.addUser(QStringLiteral("ann"), QStringLiteral("pw"));
        service.addUser(QStringLiteral("bob"), QStringLiteral("pw"));
        service.withState([](FakeWebService::State& state) {
            state.users[QStringLiteral("bob")].email = QStringLiteral("bob@x.example");
        });
        service.setPage(QStringLiteral("/user/settings"), "text/html", "<html><body>Settings</body></html>");
        Tessutils::setCorvikAuthToken(QStringLiteral("TOKEN-ann"));
    });
    ASSERT_TRUE(service);
    QWidget* lists = application().listsWindow();
    ASSERT_TRUE(lists);
    ASSERT_TRUE(waitFor([&] { return lists->isVisible(); }));

    ASSERT_TRUE(chooseMenuItem(lists, QStringLiteral("editProfile")));
    QPointer<QVR_ProfileEditorWebViewWindowController> annsEditor;
    ASSERT_TRUE(waitFor([&] { return (annsEditor = QVR_ProfileEditorWebViewWindowController::shownEditor()); }));
    ASSERT_TRUE(waitFor([&] { return service->contentRequestCount(QStringLiteral("/user/settings")) == 1; }));

    // Sign Out: nothing to save, so the user is signed out at once; only the lists window stays.
    ASSERT_TRUE(chooseMenuItem(lists, QStringLiteral("signIn")));
    ASSERT_TRUE(waitFor([] { return Tessutils::corvikAuthToken().isEmpty(); }));
    EXPECT_TRUE(waitFor([&] { return !QVR_ProfileEditorWebViewWindowController::shownEditor(); }, 5000))
        << "the signed-out user's profile stays on screen";

    // Bob signs in through the wall.
    {
        bool submitted = false;
        Ticker ticker([&] {
            auto* wall = visibleTopLevel<QVRRegisterWallWindowController>();
            if (!wall || submitted)
                return;
            if (wall->currentPage() != QVRRegisterWallWindowController::Page::Login) {
                wall->switchToVC(QVRRegisterWallWindowController::Page::Login);
                return;
            }
            if (!wall->loginEmailField()->isVisible())
                return;
            submitted = true;
            wall->loginEmailField()->setFocus();
            UserInput::typeText(wall->loginEmailField(), QStringLiteral("bob@x.example"));
            wall->loginPasswordField()->setFocus();
            UserInput::typeText(wall->loginPasswordField(), QStringLiteral("pw"));
            click(wall->loginSubmitButton());
        });
        ASSERT_TRUE(chooseMenuItem(lists, QStringLiteral("signIn")));
        EXPECT_TRUE(submitted);
    }
    ASSERT_TRUE(waitFor([] { return Tessutils::corvikAuthToken() == QLatin1String("TOKEN-bob"); }));

    ASSERT_TRUE(chooseMenuItem(lists, QStringLiteral("editProfile")));
    QVR_ProfileEditorWebViewWindowController* bobsEditor = nullptr;
    ASSERT_TRUE(waitFor([&] { return (bobsEditor = QVR_ProfileEditorWebViewWindowController::shownEditor()); }));
    EXPECT_TRUE(annsEditor.isNull() || annsEditor != bobsEditor);
    EXPECT_TRUE(waitFor([&] { return service->contentRequestCount(QStringLiteral("/user/settings")) == 2; }))
        << "Bob's page was not asked for";
    bobsEditor->window()->close();
    EXPECT_TRUE(waitFor([] { return !QVR_ProfileEditorWebViewWindowController::shownEditor(); }));
}
