#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include "app/QVRAppDelegate.h"
#include "app/QVRMainMenu.h"
#include "foundation/Tessutils.h"
#include "roads/RoadsTestSupport.h"
#include "support/fakeservice/FakeWebService.h"

using namespace roads;

namespace {

FakeWebService* startedService()
{
    static std::unique_ptr<FakeWebService> s_service;
    if (!s_service) {
        auto service = std::make_unique<FakeWebService>();
        if (!service->start())
            return nullptr;
        service->addUser(QStringLiteral("ann"), QStringLiteral("pw"));
        pointServicesAt(service->baseUrl());
        Tessutils::setCorvikAuthToken(QStringLiteral("TOKEN-ann"));
        s_service = std::move(service);
        atApplicationEnd([] { s_service.reset(); });
    }
    return s_service.get();
}

class WalkRoad : public ::testing::Test {
protected:
    void SetUp() override
    {
        service = startedService();
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

} // namespace
