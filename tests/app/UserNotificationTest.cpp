#include <gtest/gtest.h>

#include <QLabel>
#include <QSystemTrayIcon>
#include <QTest>
#include <QWidget>

#include "app/QVRAppDelegate.h"
#include "controls/QVR_Toast.h"
#include "strings/UFM.h"
#include "support/FakeNotificationService.h"

// Where the desktop has no system tray (as here), a notice about no window in particular goes to the desktop's
// notification service; one about a window that shows is that window's toast, drawn over it.
TEST(UserNotification, WithoutATrayNoticesReachTheDesktopsServiceOrTheWindowsToast)
{
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());
    FakeNotificationService desktop;
    ASSERT_TRUE(desktop.connected());

    QVRAppDelegate::postUserNotification(UFM::ERROR_TEXT(), QStringLiteral("The service refused it"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return desktop.notices.size() == 1; }, 5000));
    EXPECT_EQ(desktop.notices[0].summary, UFM::ERROR_TEXT());
    EXPECT_EQ(desktop.notices[0].body, QStringLiteral("The service refused it"));

    QVRAppDelegate::postUserNotification(UFM::TESSARINE_COPIED_TEXT(), QStringLiteral("Theirs"),
                                         UFM::TESSARINE_COPIED_CAN_BE_FOUND_IN_MY_TESSARINES());
    ASSERT_TRUE(QTest::qWaitFor([&] { return desktop.notices.size() == 2; }, 5000));
    EXPECT_EQ(desktop.notices[1].body,
              QStringLiteral("Theirs\n") + UFM::TESSARINE_COPIED_CAN_BE_FOUND_IN_MY_TESSARINES());

    // The window the notice is about shows it itself.
    QWidget window;
    window.setStyleSheet(QStringLiteral("background: white;"));
    window.resize(600, 400);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QVRAppDelegate::postUserNotification(UFM::SUCCESS_TEXT(), UFM::EMAIL_SENT_TEXT(), &window);
    auto* toast = qobject_cast<QLabel*>(QVR_Toast::currentToast(&window));
    ASSERT_TRUE(toast);
    EXPECT_TRUE(toast->text().contains(UFM::SUCCESS_TEXT()));
    EXPECT_TRUE(toast->text().contains(UFM::EMAIL_SENT_TEXT()));
    const QImage shown = window.grab().toImage();
    const QRect area = toast->geometry();
    EXPECT_LT(shown.pixelColor(area.left() + 12, area.center().y()).lightness(), 80) << "the toast's dark panel";
    EXPECT_EQ(shown.pixelColor(5, 5), QColor(Qt::white));
    QTest::qWait(50);
    EXPECT_EQ(desktop.notices.size(), 2) << "the desktop does not get it as well";

    // A window that no longer shows leaves the notice to the desktop.
    window.hide();
    QVRAppDelegate::postUserNotification(UFM::SUCCESS_TEXT(), UFM::UNPOST_SUCCESS_TEXT(), &window);
    ASSERT_TRUE(QTest::qWaitFor([&] { return desktop.notices.size() == 3; }, 5000));
    EXPECT_EQ(desktop.notices[2].body, UFM::UNPOST_SUCCESS_TEXT());
}
