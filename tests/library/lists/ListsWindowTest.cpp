#include <QProgressBar>
#include <QSysInfo>
#include <QUrlQuery>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

#include "ListsTestSupport.h"
#include "app/AppStartupHooks.h"
#include "app/QVRAppDelegate.h"
#include "controls/MouseEventShieldWindow.h"
#include "library/LibraryLibrary.h"
#include "library/guides/QVRGuideViewerViewController.h"
#include "library/lists/QVRMyTessarinesViewController.h"
#include "library/lists/QVRTessarineListsWebViewController.h"
#include "library/lists/QVRTessarineListsWindowController.h"
#include "platform/AlertPresenter.h"
#include "strings/UFM.h"
#include "support/UserInput.h"

using namespace lists_test;
using library_test::waitUntil;

namespace {

class ListsWindow : public ListsTest {
protected:
    void SetUp() override
    {
        ListsTest::SetUp();
        QVRTessarineListsWindowController::setClockForTesting([this] { return m_now; });
    }
    void TearDown() override
    {
        QVRTessarineListsWindowController::setClockForTesting({});
        QVRTessarineListsWindowController::setFirstLaunchTourFactory({});
        AppStartupHooks::resetForTesting();
        ListsTest::TearDown();
    }
    qint64 m_now = 1'000'000;
};

TEST_F(ListsWindow, ShowsTheThreeTabsAndGuideInATallTitleBar)
{
    auto* controller = new QVRTessarineListsWindowController;
    QPointer<QWidget> window = controller->myWindow();
    window->show();
    EXPECT_EQ(controller->myWindow()->titleBarHeight(), 60);
    EXPECT_EQ(window->windowTitle(), UFM::MY_TESSARINES_TEXT());
    const QImage grab = window->grab().toImage();
    EXPECT_FALSE(grab.isNull());
    const QString titles[] = {UFM::MY_TESSARINES_TEXT(), UFM::LIBRARY_TEXT(), UFM::CATALOG_TEXT()};
    for (int tag = 0; tag < 3; ++tag) {
        QToolButton* tab = controller->tabButton(tag);
        ASSERT_TRUE(tab);
        EXPECT_TRUE(tab->isVisible());
        EXPECT_EQ(tab->text(), titles[tag]);
        EXPECT_TRUE(controller->myWindow()->titleBarRect().contains(tab->geometry()));
        EXPECT_FALSE(tab->icon().isNull());
    }
    EXPECT_TRUE(controller->guideButton()->isVisible());
    EXPECT_EQ(controller->guideButton()->text(), UFM::GUIDE_TEXT());
    EXPECT_TRUE(controller->tabShowsSelected(0));
    EXPECT_EQ(controller->selectedViewController(), controller->myTessarinesViewController());
    window->close();
    EXPECT_TRUE(waitUntil([&] { return !window; }));
}

// Each button of the title bar shows when it has the keyboard: the window draws it otherwise than without.
TEST_F(ListsWindow, TheTitleBarsButtonsShowTheKeyboard)
{
    auto* controller = new QVRTessarineListsWindowController;
    QPointer<QWidget> window = controller->myWindow();
    window->show();
    window->activateWindow();
    ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == window; }));
    QList<QToolButton*> buttons{controller->tabButton(0), controller->tabButton(1), controller->tabButton(2),
                                controller->guideButton()};
    const auto shown = [&](QWidget* button) {
        UserInput::letRepaintsHappen();
        return UserInput::shownImage(button);
    };
    for (QToolButton* button : buttons) {
        button->clearFocus();
        const QImage without = shown(button);
        ASSERT_FALSE(without.isNull()) << "the window shows nothing yet";
        button->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(button->hasFocus());
        EXPECT_NE(shown(button), without) << button->text().toStdString() << " looks the same with the keyboard";
    }
    // A tab clicked while another has the outline takes it: the outline never marks a page not shown.
    controller->tabButton(0)->setFocus(Qt::TabFocusReason);
    QTest::mouseClick(controller->tabButton(2), Qt::LeftButton);
    EXPECT_TRUE(controller->tabButton(2)->hasFocus());
    window->close();
    EXPECT_TRUE(waitUntil([&] { return !window; }));
}

TEST_F(ListsWindow, SignedOutLibraryShowsTheWallOnceAndKeepsMyDocuments)
{
    QVRAppDelegate delegate;
    QStringList wallMessages;
    AppStartupHooks::shared().runRegisterWall = [&](const QString& message) {
        wallMessages.append(message);
        return false;
    };
    auto* controller = new QVRTessarineListsWindowController;
    std::unique_ptr<QWidget> window(controller->myWindow());
    window->show();
    controller->tabButton(QVRTessarineListsWindowController::Library)->click();
    EXPECT_EQ(wallMessages, QStringList{UFM::YOU_NEED_TO_SIGN_IN_TEXT()});
    EXPECT_TRUE(controller->tabShowsSelected(0));
    EXPECT_FALSE(controller->tabShowsSelected(1));
    EXPECT_EQ(controller->selectedViewController(), controller->myTessarinesViewController());
    EXPECT_EQ(controller->libraryViewController(), nullptr);
    EXPECT_FALSE(controller->activityIndicator()->isVisible());
}

TEST_F(ListsWindow, ActivationRefreshesAtMostOnceInTenSeconds)
{
    signIn(QStringLiteral("ann"));
    auto* controller = new QVRTessarineListsWindowController;
    std::unique_ptr<QWidget> window(controller->myWindow());
    ASSERT_TRUE(waitUntil([&] { return !controller->myTessarinesViewController()->updateInProgress(); }));
    const int before = m_service.requestCount(QStringLiteral("tessarine.getUserTessarines"));
    auto activateAt = [&](qint64 seconds) {
        m_now = 1'000'000 + seconds;
        controller->windowDidBecomeActive();
        return waitUntil([&] { return !controller->myTessarinesViewController()->updateInProgress(); });
    };
    ASSERT_TRUE(activateAt(0));
    ASSERT_TRUE(activateAt(5));
    EXPECT_EQ(m_service.requestCount(QStringLiteral("tessarine.getUserTessarines")), before + 1);
    ASSERT_TRUE(activateAt(11));
    EXPECT_EQ(m_service.requestCount(QStringLiteral("tessarine.getUserTessarines")), before + 2);
    EXPECT_FALSE(controller->activityIndicator()->isVisible());
}

TEST_F(ListsWindow, GuideOverlayFreezesTheSizeAndAClickOutsideRestoresIt)
{
    auto* controller = new QVRTessarineListsWindowController;
    std::unique_ptr<QWidget> window(controller->myWindow());
    window->setMinimumSize(700, 500);
    window->setMaximumSize(1600, 1200);
    window->resize(1000, 700);
    window->show();
    controller->guideButton()->click();
    MouseEventShieldWindow* shield = controller->sheildWindow();
    ASSERT_TRUE(shield);
    EXPECT_EQ(shield->backgroundColor(), QColor(0, 0, 0, 77));
    EXPECT_EQ(window->minimumSize(), window->size());
    EXPECT_EQ(window->maximumSize(), window->size());
    QWidget* guide = controller->guideViewController()->view();
    ASSERT_TRUE(guide->isVisible());
    const QWidget* host = shield->closeOnClickView();
    const QRect inHost(guide->mapTo(host, QPoint(0, 0)), guide->size());
    EXPECT_EQ(host->width() - inHost.right() - 1, 20);
    EXPECT_EQ(inHost.y(), 75);

    QTest::mouseClick(shield->closeOnClickView(), Qt::LeftButton, {}, QPoint(5, host->height() - 5));
    ASSERT_TRUE(waitUntil([&] { return !controller->sheildWindow(); }));
    EXPECT_EQ(window->minimumSize(), QSize(700, 500));
    EXPECT_EQ(window->maximumSize(), QSize(1600, 1200));
}

// The window as low as it may be: the guide panel does not fit below its top; it lies within the window and what
// does not show scrolls into sight.
TEST_F(ListsWindow, AGuidePanelTallerThanTheLowestWindowScrolls)
{
    auto* controller = new QVRTessarineListsWindowController;
    std::unique_ptr<QWidget> window(controller->myWindow());
    window->resize(window->minimumSize());
    window->show();
    controller->guideButton()->click();
    MouseEventShieldWindow* shield = controller->sheildWindow();
    ASSERT_TRUE(shield);
    QWidget* guide = controller->guideViewController()->view();
    ASSERT_TRUE(guide->isVisible());
    const QWidget* host = shield->closeOnClickView();
    auto* area = qobject_cast<QScrollArea*>(guide->parentWidget() ? guide->parentWidget()->parentWidget() : nullptr);
    ASSERT_TRUE(area) << "the panel is not held where it can scroll";
    EXPECT_TRUE(host->rect().contains(area->geometry()));
    EXPECT_EQ(area->y(), 75);
    ASSERT_GT(guide->height(), area->viewport()->height());
    EXPECT_GE(area->verticalScrollBar()->maximum(), guide->height() - area->viewport()->height());
    QTest::mouseClick(shield->closeOnClickView(), Qt::LeftButton, {}, QPoint(5, host->height() - 5));
    ASSERT_TRUE(waitUntil([&] { return !controller->sheildWindow(); }));
}

// A document the service cannot hand over says so, rather than nothing.
TEST_F(ListsWindow, OpeningFromAPageFlashesTheStatusAndAsksForThePublishedCopy)
{
    AlertPresenter* previous = AlertPresenter::isRegistered() ? &AlertPresenter::shared() : nullptr;
    RecordingAlertPresenter alerts;
    AlertPresenter::setShared(&alerts);
    QVRTessarineListsWindowController::setFlashMillisecondsForTesting(100);
    auto* controller = new QVRTessarineListsWindowController;
    std::unique_ptr<QWidget> window(controller->myWindow());
    window->show();
    controller->launchTessarineWithId(QStringLiteral("abc"));
    EXPECT_TRUE(controller->updatingField()->isVisible());
    EXPECT_EQ(controller->updatingField()->text(), UFM::OPENING_TEXT());
    ASSERT_TRUE(waitUntil([&] { return m_service.requestCount(QStringLiteral("tessarine.getByStringId")) == 1; }));
    EXPECT_EQ(m_service.lastRequest(QStringLiteral("tessarine.getByStringId"))->fields.value("string_id"), "abc");
    ASSERT_TRUE(waitUntil([&] { return !controller->updatingField()->isVisible(); }));
    EXPECT_FALSE(controller->activityIndicator()->isVisible());
    ASSERT_TRUE(waitUntil([&] { return !alerts.requests.empty(); })) << "the failed open said nothing";
    EXPECT_FALSE(alerts.requests.front().messageText.isEmpty());
    AlertPresenter::setShared(previous);
    QVRTessarineListsWindowController::setFlashMillisecondsForTesting(0);
}

TEST_F(ListsWindow, RegistrationOpensOneListsWindowAndTheOpenURLCommand)
{
    registerLibraryLibrary();
    AppStartupHooks& hooks = AppStartupHooks::shared();
    ASSERT_TRUE(hooks.openListsWindow);
    ASSERT_TRUE(hooks.menuCommands.count(QStringLiteral("openURL")));
    QPointer<QWidget> first = hooks.openListsWindow();
    ASSERT_TRUE(first);
    auto* lists = qobject_cast<QVRTessarineListsWindow*>(first.data());
    ASSERT_TRUE(lists);
    EXPECT_EQ(hooks.openListsWindow(), first.data());
    EXPECT_TRUE(lists->canRefresh());
    first->close();
    ASSERT_TRUE(waitUntil([&] { return !first; }));
    QPointer<QWidget> second = hooks.openListsWindow();
    EXPECT_TRUE(second);
    delete second.data();
}

TEST(ListsPageAddress, QueryValuesAreEncodedWhole)
{
    const QString version = QCoreApplication::applicationVersion();
    QCoreApplication::setApplicationVersion(QStringLiteral("2.1&os_version=x #3"));
    const QUrl url = QVRTessarineListsWebViewController::pageURL(QStringLiteral("/user/analytics/abc/user"));
    QCoreApplication::setApplicationVersion(version);
    EXPECT_EQ(url.path(), "/user/analytics/abc/user");
    const QUrlQuery query(url);
    ASSERT_EQ(query.queryItems().size(), 3);
    EXPECT_EQ(query.queryItemValue("platform"), "mac");
    EXPECT_EQ(query.queryItemValue("app_version", QUrl::FullyDecoded), "2.1&os_version=x #3");
    EXPECT_EQ(query.queryItemValue("os_version", QUrl::FullyDecoded), QSysInfo::productVersion());
    EXPECT_TRUE(url.fragment().isEmpty());
}

TEST_F(ListsWindow, AnalyticsNotificationWithoutAStringIDIsIgnored)
{
    auto* controller = new QVRTessarineListsWindowController;
    std::unique_ptr<QWidget> window(controller->myWindow());
    NotificationCenter::defaultCenter().post(QStringLiteral("showAnalyticsForATessarine"), nullptr,
                                             {{QStringLiteral("tessarineStringId"), QString()}});
    EXPECT_EQ(controller->analyticsViewController(), nullptr);
    EXPECT_EQ(controller->selectedViewController(), controller->myTessarinesViewController());
}

} // namespace
