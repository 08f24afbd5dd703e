#include <QApplication>
#include <QEnterEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "ListsTestSupport.h"
#include "foundation/Tessutils.h"
#include "library/account/QVRRegisterWallWindowController.h"
#include "library/account/ZERI_AuthenticationHandler.h"
#include "library/lists/QVRMyTessarinesViewController.h"
#include "library/lists/QVRTessarineListsWindowController.h"
#include "library/publish/SheetRunner.h"
#include "library/tour/QVR_FirstLaunchViewController.h"
#include "library/tour/QVR_FirstLaunchWindowController.h"
#include "platform/NotificationCenter.h"
#include "service/CorvikBlockAPIBinding.h"
#include "strings/UFM.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "controls/HoverAreaView.h"
#include "viewer/QVRViewerOptionalControllsView.h"
#include "viewer/QVRViewerViewController.h"
#include "viewer/QVR_TessarineViewerView.h"

using namespace lists_test;
using library_test::waitUntil;

namespace {

using Page = QVRRegisterWallWindowController::Page;

class FirstLaunchTour : public ListsTest {
protected:
    void SetUp() override
    {
        ListsTest::SetUp();
        m_service.addUser(QStringLiteral("ann"));
        m_service.withState([](FakeWebService::State& state) {
            state.users[QStringLiteral("ann")].email = QStringLiteral("ann@x.example");
        });
        ZERI_AuthenticationHandler::cleanup();
        QVRTessarineListsWindowController::resetFirstLaunchTourForTesting();
        QVRTessarineListsWindowController::setFirstLaunchTourFactory(
            []() -> QWidget* { return (new QVR_FirstLaunchWindowController)->window(); });
    }
    void TearDown() override
    {
        for (QPointer<QWidget>& window : m_listsWindows)
            delete window.data();
        SheetRunner::setRunnerForTesting({});
        QVRTessarineListsWindowController::setFirstLaunchTourFactory({});
        QVRTessarineListsWindowController::resetFirstLaunchTourForTesting();
        ZERI_AuthenticationHandler::waitForSignOutsForTesting();
        ZERI_AuthenticationHandler::cleanup();
        ListsTest::TearDown();
    }
    // A lists window as the application opens it.
    QVRTessarineListsWindowController* openListsWindow()
    {
        auto* controller = new QVRTessarineListsWindowController;
        m_listsWindows.append(controller->myWindow());
        controller->myWindow()->show();
        return controller;
    }
    static QVR_FirstLaunchViewController* tourView(QWidget* tour)
    {
        return tour ? tour->findChild<QVR_FirstLaunchViewController*>() : nullptr;
    }

    QList<QPointer<QWidget>> m_listsWindows;
};

TEST_F(FirstLaunchTour, ShownOnceARunAboveMyDocumentsWithTheBuiltInTour)
{
    QVRTessarineListsWindowController* lists = openListsWindow();
    QPointer<QWidget> tour = lists->firstLaunchWindow();
    ASSERT_TRUE(tour);
    ASSERT_TRUE(waitUntil([&] { return tour->isVisible() && QApplication::activeWindow() == tour; }));
    EXPECT_EQ(tour->parentWidget(), lists->myWindow()) << "kept above the home window";
    EXPECT_TRUE(lists->myWindow()->isVisible());

    // The tour document: six screens holding the eight tour texts, paged by the viewer.
    QVR_FirstLaunchViewController* view = tourView(tour);
    ASSERT_TRUE(view);
    QVR_TessarineViewerView* player = view->viewerViewController()->viewerView();
    ASSERT_EQ(player->numScreens(), 6);
    QStringList texts;
    for (const auto& screen : player->flowModel()->screenModels())
        for (const auto& object : screen->mixedMediaObjects())
            texts << object->object()->text();
    EXPECT_EQ(texts, (QStringList{UFM::TESSARINE_IS_DESIGNED(), UFM::TESSARINE_20_YEARS_AGO(),
                                  UFM::TESSARINE_WITH_TESSARINE(), UFM::TESSARINE_LIVES_IN_CLOUD(),
                                  UFM::TO_CREATE_A_TESSARINE(), UFM::NAVIGATION_TO_BRING_STORY(),
                                  UFM::WHEN_YOU_ARE_READY(), UFM::THEN_SHARE_AND_PRESENT()}));
    EXPECT_FALSE(texts.contains(QString()));
    EXPECT_EQ(view->getStartedButton()->text(), UFM::SAYS_GET_STARTED());
    EXPECT_EQ(view->signUpButton()->text(), UFM::SAYS_SIGN_UP());
    EXPECT_EQ(view->signInButton()->text(), UFM::SIGN_IN_TEXT());
    // The keyboard starts in the tour, where the arrows page it; Tab walks on to the buttons in the order they
    // stand, left to right.
    ASSERT_EQ(QApplication::focusWidget(), player);
    const QList<std::pair<Qt::KeyboardModifiers, QWidget*>> walk{{Qt::NoModifier, view->signInButton()},
                                                                 {Qt::NoModifier, view->signUpButton()},
                                                                 {Qt::NoModifier, view->getStartedButton()},
                                                                 {Qt::ShiftModifier, view->signUpButton()},
                                                                 {Qt::ShiftModifier, view->signInButton()}};
    for (const auto& [modifiers, expected] : walk) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, modifiers);
        EXPECT_EQ(QApplication::focusWidget(), expected)
            << (modifiers ? "Shift+Tab" : "Tab") << " should reach " << expected->objectName().toStdString();
    }
    player->scrollToPage(1, false);
    EXPECT_EQ(player->currentPage(), 1);

    QTest::mouseClick(view->getStartedButton(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return !tour; }));
    EXPECT_TRUE(lists->myWindow()->isVisible());

    // A second lists window of the same run starts no tour.
    QVRTessarineListsWindowController* second = openListsWindow();
    QTest::qWait(20);
    EXPECT_FALSE(second->firstLaunchWindow());
}

// Get Started is the default button: Return in the tour, where the keyboard starts, presses it.
TEST_F(FirstLaunchTour, ReturnInTheTourPressesGetStarted)
{
    QVRTessarineListsWindowController* lists = openListsWindow();
    QPointer<QWidget> tour = lists->firstLaunchWindow();
    ASSERT_TRUE(tour);
    ASSERT_TRUE(waitUntil([&] { return tour->isVisible() && QApplication::activeWindow() == tour; }));
    QWidget* player = tourView(tour)->viewerViewController()->viewerView();
    ASSERT_EQ(QApplication::focusWidget(), player);
    QTest::keyClick(player, Qt::Key_Return);
    EXPECT_TRUE(waitUntil([&] { return !tour; }));
}

// Signed in already, or signed in while it shows (from the menu), the user sees no tour.
TEST_F(FirstLaunchTour, AStoredTokenShowsNone)
{
    QVRTessarineListsWindowController* shown = openListsWindow();
    QPointer<QWidget> tour = shown->firstLaunchWindow();
    ASSERT_TRUE(tour);
    signIn(QStringLiteral("ann"));
    NotificationCenter::defaultCenter().post(QStringLiteral("ZERI_AuthenticationHandlerDidLoginNotification"));
    EXPECT_TRUE(waitUntil([&] { return !tour || !tour->isVisible(); }));
    QVRTessarineListsWindowController::resetFirstLaunchTourForTesting();
    QVRTessarineListsWindowController* lists = openListsWindow();
    QTest::qWait(20);
    EXPECT_FALSE(lists->firstLaunchWindow());
}

TEST_F(FirstLaunchTour, SignInRunsTheWallAsASheetAndACompletedSignInClosesTheTour)
{
    QVRTessarineListsWindowController* lists = openListsWindow();
    QPointer<QWidget> tour = lists->firstLaunchWindow();
    ASSERT_TRUE(tour);
    QVR_FirstLaunchViewController* view = tourView(tour);

    // First the user leaves the wall: the tour stays.
    struct Seen {
        QWidget* parent = nullptr;
        QString message;
        bool sheet = false;
        Page page = Page::Landing;
        QList<Page> stack;
    } seen;
    SheetRunner::setRunnerForTesting([&](QDialog& dialog, QWidget* parent) {
        auto& wall = dynamic_cast<QVRRegisterWallWindowController&>(dialog);
        seen = {parent, wall.landingMessageShown(), wall.skipButtonVisible(), wall.currentPage(), wall.pageStack()};
        wall.open();
        wall.skipButtonPressed();
        return int(wall.result());
    });
    QTest::mouseClick(view->signInButton(), Qt::LeftButton);
    EXPECT_EQ(seen.parent, tour.data());
    EXPECT_EQ(seen.message, UFM::SIGNUP_FREE());
    EXPECT_TRUE(seen.sheet);
    EXPECT_EQ(seen.page, Page::Login) << "Sign In opens the sign-in form";
    EXPECT_EQ(seen.stack, QList<Page>({Page::Landing, Page::Login})) << "the landing page one step back";
    QTest::qWait(20);
    ASSERT_TRUE(tour);
    EXPECT_TRUE(tour->isVisible());
    EXPECT_TRUE(Tessutils::corvikAuthToken().isEmpty());

    // Then signs in through it against the service: the sheet ends at once and the tour closes.
    SheetRunner::setRunnerForTesting([&](QDialog& dialog, QWidget* parent) {
        auto& wall = dynamic_cast<QVRRegisterWallWindowController&>(dialog);
        wall.switchToVC(Page::Login);
        wall.loginEmailField()->setText(QStringLiteral("ann@x.example"));
        wall.loginPasswordField()->setText(QStringLiteral("pw"));
        QTimer::singleShot(0, &wall, [&wall] { wall.loginSubmitButton()->click(); });
        return SheetRunner::runInteractively(wall, parent);
    });
    QTest::mouseClick(view->signInButton(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return !tour; }));
    EXPECT_FALSE(Tessutils::corvikAuthToken().isEmpty());
    EXPECT_TRUE(lists->myWindow()->isVisible());
}

TEST_F(FirstLaunchTour, SignUpOpensTheWallOnItsSignUpPageAndTheTourWorksWithoutTheService)
{
    // No service: every request is refused.
    ASSERT_TRUE(CorvikBlockAPIBinding::setAPIURL(FakeWebService::unreachableBaseUrl()));
    QVRTessarineListsWindowController* lists = openListsWindow();
    QPointer<QWidget> tour = lists->firstLaunchWindow();
    ASSERT_TRUE(tour);
    Page shown = Page::Landing;
    SheetRunner::setRunnerForTesting([&](QDialog& dialog, QWidget*) {
        auto& wall = dynamic_cast<QVRRegisterWallWindowController&>(dialog);
        shown = wall.currentPage();
        return int(QDialog::Rejected);
    });
    QTest::mouseClick(tourView(tour)->signUpButton(), Qt::LeftButton);
    EXPECT_EQ(shown, Page::Signup);
    ASSERT_TRUE(tour);
    EXPECT_EQ(tourView(tour)->viewerViewController()->viewerView()->numScreens(), 6);
}

} // namespace

TEST_F(FirstLaunchTour, OneNextChevronShowsOnlyOnHoverAndNothingOffersAViewer)
{
    QVRTessarineListsWindowController* lists = openListsWindow();
    QPointer<QWidget> tour = lists->firstLaunchWindow();
    ASSERT_TRUE(tour);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(tour));
    tour->resize(tour->width() + 60, tour->height() + 40);
    QVR_FirstLaunchViewController* view = tourView(tour);
    QWidget* player = view->viewerViewController()->view();
    auto* controls = view->findChild<QVRViewerOptionalControllsView*>();
    ASSERT_TRUE(controls);

    // At rest the first screen's right edge shows its own blue only.
    const QColor screen(0x2B, 0x83, 0xC0);
    const auto foreignPixels = [&] {
        const QImage shot = tour->grab().toImage();
        const qreal ratio = tour->devicePixelRatio();
        const QRect area(player->mapTo(tour, QPoint(0, 0)), player->size());
        int foreign = 0;
        for (int y = area.center().y() - 40; y <= area.center().y() + 40; y += 2)
            for (int x = area.right() - 60; x < area.right() - 8; ++x) {
                const QColor c = shot.pixelColor(QPoint(x, y) * ratio);
                foreign += std::abs(c.red() - screen.red()) + std::abs(c.green() - screen.green()) +
                                       std::abs(c.blue() - screen.blue()) >
                                   30
                               ? 1
                               : 0;
            }
        return foreign;
    };
    ASSERT_TRUE(waitUntil([&] { return foreignPixels() == 0; }, 3000)) << "a chevron over the screen at rest";
    EXPECT_EQ(view->viewerViewController()->rightButton()->width(), 0);

    // Hovering the right edge brings one next-page button and no expand button.
    QWidget* edge = controls->rightHoverAreaView();
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), edge->mapToGlobal(QPointF(5, 5)));
    QApplication::sendEvent(edge, &enter);
    ASSERT_TRUE(waitUntil(
        [&] { return controls->rightButton()->maximumWidth() == QVRViewerOptionalControllsView::kPageButtonWidth; }));
    EXPECT_FALSE(controls->expandButton()->isVisible());
    EXPECT_GT(foreignPixels(), 0) << "the chevron shows";
    QTest::mouseClick(controls->rightButton(), Qt::LeftButton);
    EXPECT_TRUE(waitUntil([&] { return view->viewerViewController()->viewerView()->currentPage() == 1; }));
}
