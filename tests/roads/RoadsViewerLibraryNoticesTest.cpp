#include <gtest/gtest.h>

#include <functional>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include "app/QVRAppDelegate.h"
#include "foundation/Tessutils.h"
#include "library/account/QVRRegisterWallWindowController.h"
#include "roads/RoadsSignedInService.h"
#include "roads/RoadsTestSupport.h"
#include "support/UserInput.h"
#include "support/fakeservice/FakeWebService.h"

using namespace roads;

namespace {

using Page = QVRRegisterWallWindowController::Page;

// Nobody signed in: a user left signed in by an earlier road signs out from the menu (nothing to save).
bool signedOut(QWidget* lists)
{
    if (Tessutils::corvikAuthToken().isEmpty())
        return true;
    return chooseMenuItem(lists, QStringLiteral("signIn")) &&
           waitFor([] { return Tessutils::corvikAuthToken().isEmpty(); });
}

} // namespace

// The application menu's Sign In opens the wall on its sign-in form: the fields show at once, and the page that
// offers an account and the social network lies one step back.
TEST(ViewerLibraryNotices, SignInFromTheMenuOpensTheSignInForm)
{
    FakeWebService* service = startedService([](FakeWebService&) {});
    ASSERT_TRUE(service);
    service->addUser(QStringLiteral("carol"), QStringLiteral("pw3"));
    service->withState([](FakeWebService::State& state) {
        state.users[QStringLiteral("carol")].email = QStringLiteral("carol@x.example");
    });
    QWidget* lists = application().listsWindow();
    ASSERT_TRUE(lists);
    ASSERT_TRUE(waitFor([&] { return lists->isVisible(); }));
    ASSERT_TRUE(signedOut(lists));

    QPointer<QVRRegisterWallWindowController> wall;
    bool looked = false;
    bool submitted = false;
    Page firstPage = Page::Landing;
    QList<Page> stack;
    QColor fieldShown;
    QElapsedTimer shown;
    Answerer answer([&] {
        if (!wall)
            wall = visibleTopLevel<QVRRegisterWallWindowController>();
        if (!wall || !wall->isVisible() || submitted)
            return;
        if (!looked) {
            looked = true;
            firstPage = wall->currentPage();
            stack = wall->pageStack();
            shown.start();
        }
        // The page fades in over half a second.
        if (wall->currentPage() != Page::Login || !wall->loginEmailField()->isVisible() || shown.elapsed() < 800)
            return;
        QLineEdit* email = wall->loginEmailField();
        const QImage shot = wall->grab().toImage();
        fieldShown = shot.pixelColor(email->mapTo(wall, QPoint(email->width() - 6, email->height() / 2)));
        submitted = true;
        email->setFocus();
        UserInput::typeText(email, QStringLiteral("carol@x.example"));
        wall->loginPasswordField()->setFocus();
        UserInput::typeText(wall->loginPasswordField(), QStringLiteral("pw3"));
        click(wall->loginSubmitButton());
    });
    ASSERT_TRUE(chooseMenuItem(lists, QStringLiteral("signIn")));
    ASSERT_TRUE(looked);
    EXPECT_EQ(firstPage, Page::Login) << "the wall opened on another page";
    EXPECT_EQ(stack, QList<Page>({Page::Landing, Page::Login}));
    EXPECT_TRUE(submitted);
    EXPECT_GT(fieldShown.lightness(), 220) << "the e-mail field shows on the wall";
    EXPECT_TRUE(waitFor([] { return Tessutils::corvikAuthToken() == QLatin1String("TOKEN-carol"); }));
    EXPECT_TRUE(signedOut(lists));
}
