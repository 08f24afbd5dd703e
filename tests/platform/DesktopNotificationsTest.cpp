#include <gtest/gtest.h>

#include <optional>

#include <QCoreApplication>
#include <QTest>

#include "platform/DesktopNotifications.h"
#include "support/FakeNotificationService.h"

TEST(DesktopNotifications, TheServiceGetsTheNoticeWithItsTitleAndAnEscapedText)
{
    FakeNotificationService service;
    ASSERT_TRUE(service.connected());
    std::optional<bool> shown;
    DesktopNotifications::notify(QStringLiteral("Tessarine Copied"),
                                 QStringLiteral("\"Q&A\" <draft>\nIn My Tessarines"),
                                 [&](bool result) { shown = result; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown.has_value(); }, 5000));
    EXPECT_TRUE(*shown);
    ASSERT_EQ(service.notices.size(), 1);
    const auto& notice = service.notices.front();
    EXPECT_EQ(notice.summary, QStringLiteral("Tessarine Copied"));
    EXPECT_EQ(notice.body, QStringLiteral("&quot;Q&amp;A&quot; &lt;draft&gt;\nIn My Tessarines"));
    EXPECT_EQ(notice.appName, QCoreApplication::applicationName());
    EXPECT_EQ(notice.hints.value(QStringLiteral("desktop-entry")).toString(), QStringLiteral("tessarine"));
}

TEST(DesktopNotifications, WithoutAServiceOrABusTheCallerHearsItWasNotShown)
{
    {
        FakeNotificationService absent(false);
        ASSERT_TRUE(absent.connected());
        std::optional<bool> shown;
        DesktopNotifications::notify(QStringLiteral("Error"), QStringLiteral("Not posted"),
                                     [&](bool result) { shown = result; });
        ASSERT_TRUE(QTest::qWaitFor([&] { return shown.has_value(); }, 5000));
        EXPECT_FALSE(*shown);
        EXPECT_TRUE(absent.notices.isEmpty());
    }

    // A connection that is not there at all answers at once.
    DesktopNotifications::setConnectionNameForTesting(QStringLiteral("no-such-connection"));
    std::optional<bool> shown;
    DesktopNotifications::notify(QStringLiteral("Error"), QStringLiteral("Not posted"),
                                 [&](bool result) { shown = result; });
    DesktopNotifications::setConnectionNameForTesting(QString());
    ASSERT_TRUE(shown.has_value());
    EXPECT_FALSE(*shown);
}
