#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QDialog>
#include <QPushButton>
#include <QTimer>
#include <QWebEngineView>
#include "library/account/QVRFacebookLoginWindowController.h"
#include "library/account/QVRRegisterWallWindowController.h"

#include "app/QVRAppDelegate.h"
#include "app/QVRMainMenu.h"
#include "foundation/Tessutils.h"
#include "roads/RoadsSignedInService.h"
#include "roads/RoadsTestSupport.h"
#include "support/fakeservice/FakeWebService.h"

using namespace roads;

namespace {

class WalkRoad : public ::testing::Test {
protected:
    void SetUp() override
    {
        service = signedInService();
        ASSERT_TRUE(service);
        application();
        ASSERT_TRUE(leaveFirstLaunchTour());
    }
    void TearDown() override { closeDocumentWindows(); }
    FakeWebService* service = nullptr;
};

// Signed in, the application menu's upload allowance item shows its three lines one under the other, each whole
// and readable, where a plain menu item runs them together on one line.
TEST_F(WalkRoad, TheUploadAllowanceShowsItsThreeLinesInTheApplicationMenu)
{
    QWidget* lists = application().listsWindow();
    auto* bar = lists->findChild<QMenuBar*>();
    ASSERT_TRUE(bar);
    QAction* quota = QVRMainMenu::action(bar, QStringLiteral("quota"));
    ASSERT_TRUE(quota);
    ASSERT_TRUE(waitFor([&] { return quota->isVisible() && quota->text().contains(QStringLiteral(" MB")); }));
    QMenu* menu = nullptr;
    for (QAction* top : bar->actions()) {
        if (top->menu() && top->menu()->actions().contains(quota))
            menu = top->menu();
    }
    ASSERT_TRUE(menu);
    menu->popup(lists->mapToGlobal(QPoint(0, 0)));
    ASSERT_TRUE(waitFor([&] { return menu->isVisible(); }));

    QLabel* label = nullptr;
    for (QLabel* found : menu->findChildren<QLabel*>()) {
        if (found->isVisible() && found->text() == QVRAppDelegate::quotaString())
            label = found;
    }
    ASSERT_TRUE(label) << "the allowance's lines are not shown apart";
    EXPECT_EQ(label->text().count(QLatin1Char('\n')), 2);
    const QRect inMenu(label->mapTo(menu, QPoint(0, 0)), label->size());
    EXPECT_TRUE(menu->rect().contains(inMenu));
    EXPECT_GE(label->height(), 3 * label->fontMetrics().lineSpacing());
    EXPECT_GE(label->width(), label->sizeHint().width());
    EXPECT_FALSE(label->isEnabled()); // greyed, as an item that only informs

    // Dark text reaches into each third of the item: three lines drawn, not one.
    const QImage shot = menu->grab().toImage();
    for (int third = 0; third < 3; ++third) {
        bool inked = false;
        const int top = inMenu.top() + third * inMenu.height() / 3;
        for (int y = top; y < top + inMenu.height() / 3 && !inked; ++y) {
            for (int x = inMenu.left(); x < inMenu.right() && !inked; ++x)
                inked = shot.pixelColor(x, y).lightness() < 200;
        }
        EXPECT_TRUE(inked) << "line " << third + 1;
    }
    menu->close();
}

// Signed out from the application menu, Sign In brings the wall; its social button opens the social sign-in window
// above the wall, and the redirect carrying the token, caught there, signs the user in and closes both.
TEST_F(WalkRoad, TheSocialButtonOfTheWallSignsInThroughItsOwnWindow)
{
    QWidget* lists = application().listsWindow();
    ASSERT_TRUE(waitFor([&] { return !Tessutils::corvikAuthToken().isEmpty(); }));
    ASSERT_TRUE(chooseMenuItem(lists, QStringLiteral("signIn"))); // Sign Out
    ASSERT_TRUE(waitFor([&] { return Tessutils::corvikAuthToken().isEmpty(); }));

    bool clicked = false;
    bool redirected = false;
    QTimer ticks;
    ticks.setInterval(20);
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        if (!clicked) {
            auto* wall = visibleTopLevel<QVRRegisterWallWindowController>();
            for (QPushButton* button : wall ? wall->findChildren<QPushButton*>() : QList<QPushButton*>()) {
                if (button->isVisible() && button->objectName() == QLatin1String("facebookButton")) {
                    clicked = true;
                    click(button);
                    return;
                }
            }
            return;
        }
        auto* social = QVRFacebookSession::sharedInstance().loginWindowForTesting();
        if (!redirected && social && social->isWindowLoaded() && social->window()->isVisible()) {
            redirected = true;
            EXPECT_TRUE(social->window()->isActiveWindow() || QApplication::activeModalWidget() == social->window());
            social->myWebView()->setUrl(QUrl(QVRFacebookLoginWindowController::redirectURI() +
                                             QStringLiteral("#access_token=walk&expires_in=3600")));
        }
    });
    ticks.start();
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, [] {
        ADD_FAILURE() << "the sign-in did not end in time";

        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* dialog = qobject_cast<QDialog*>(widget); dialog && dialog->isVisible())
                dialog->reject();
        }
    });
    limit.start(20000);
    ASSERT_TRUE(chooseMenuItem(lists, QStringLiteral("signIn")));
    limit.stop();
    ticks.stop();
    EXPECT_TRUE(clicked);
    EXPECT_TRUE(redirected);
    // The service's own token for the social account (renewed when the account signs in again).
    EXPECT_TRUE(waitFor([] { return Tessutils::corvikAuthToken().startsWith(QStringLiteral("TOKEN-fb-walk")); }));
    EXPECT_TRUE(waitFor([] { return !visibleTopLevel<QVRRegisterWallWindowController>(); }));
    EXPECT_TRUE(waitFor([] { return !QVRFacebookSession::sharedInstance().isLoginWindowOpen(); }));
    EXPECT_EQ(QVRFacebookSession::sharedInstance().accessToken(), QStringLiteral("walk"));
}

} // namespace
