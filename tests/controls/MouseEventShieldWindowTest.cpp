#include <gtest/gtest.h>

#include <memory>

#include <QMouseEvent>
#include <QPushButton>
#include <QTest>

#include "controls/MouseEventShieldWindow.h"

namespace {

// A window that counts every mouse event it or its button receives.
class CountingWindow : public QWidget {
public:
    CountingWindow()
    {
        resize(640, 480);
        button = new QPushButton(QStringLiteral("below"), this);
        button->setGeometry(100, 100, 200, 60);
        connect(button, &QPushButton::clicked, this, [this] { ++buttonClicks; });
    }
    QPushButton* button;
    int buttonClicks = 0;
    int mouseEvents = 0;

protected:
    void mousePressEvent(QMouseEvent*) override { ++mouseEvents; }
    void mouseReleaseEvent(QMouseEvent*) override { ++mouseEvents; }
};

// Clicks where a real pointer would: at a window position, delivered to whatever widget is on top there.
void clickWindowAt(QWidget* window, const QPoint& pos)
{
    QWidget* target = window->childAt(pos);
    if (!target)
        target = window;
    QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(window, pos));
}

} // namespace

TEST(MouseEventShieldWindow, CoversItsWindowAndAClickRunsTheBlockOnceWithoutReachingTheWindow)
{
    CountingWindow window;
    window.show();
    std::unique_ptr<MouseEventShieldWindow> shield(MouseEventShieldWindow::sheildWindowForWindow(&window));
    int closes = 0;
    shield->setOnCloseBlock([&] { ++closes; });
    shield->show();

    EXPECT_EQ(shield->geometry(), window.rect());
    EXPECT_EQ(shield->closeOnClickView()->geometry(), shield->rect());

    clickWindowAt(&window, window.button->geometry().center());
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(window.buttonClicks, 0);
    EXPECT_EQ(window.mouseEvents, 0);

    // It follows the window's size, so there is no uncovered strip after a resize.
    window.resize(900, 700);
    EXPECT_EQ(shield->geometry(), window.rect());
    clickWindowAt(&window, QPoint(850, 650));
    EXPECT_EQ(closes, 2);
    EXPECT_EQ(window.mouseEvents, 0);

    // performClose acts as a click.
    shield->closeOnClickView()->performClose();
    EXPECT_EQ(closes, 3);
}

TEST(MouseEventShieldWindow, ChildrenOfTheClickViewTakeTheirClicksAndTheBlockMayReleaseTheShield)
{
    CountingWindow window;
    window.show();
    MouseEventShieldWindow* shield = MouseEventShieldWindow::sheildWindowForWindow(&window);
    auto* panelButton = new QPushButton(QStringLiteral("in panel"), shield->closeOnClickView());
    panelButton->setGeometry(400, 300, 120, 40);
    int panelClicks = 0;
    QObject::connect(panelButton, &QPushButton::clicked, [&] { ++panelClicks; });
    int closes = 0;
    shield->setOnCloseBlock([&] {
        ++closes;
        shield->close();
        shield->deleteLater(); // releasing the shield from inside its own block must be safe
    });
    shield->show();

    clickWindowAt(&window, panelButton->geometry().center());
    EXPECT_EQ(panelClicks, 1);
    EXPECT_EQ(closes, 0);

    QPointer<MouseEventShieldWindow> guard(shield);
    clickWindowAt(&window, QPoint(20, 20));
    EXPECT_EQ(closes, 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return guard.isNull(); }, 2000));
    // With the shield gone the window takes clicks again.
    clickWindowAt(&window, window.button->geometry().center());
    EXPECT_EQ(window.buttonClicks, 1);
}

TEST(MouseEventShieldWindow, FreeStandingShieldHasTheGivenRectangleAndATint)
{
    MouseEventShieldWindow shield(QRect(50, 60, 300, 200));
    EXPECT_TRUE(shield.isWindow());
    EXPECT_EQ(shield.geometry().size(), QSize(300, 200));
    shield.setBackgroundColor(QColor(0, 0, 0, 77));
    EXPECT_EQ(shield.backgroundColor(), QColor(0, 0, 0, 77));
}

TEST(MouseEventShieldWindow, ItsCloseViewHasTheWindowsSizeBeforeTheShieldIsShown)
{
    // Panels are laid out in the close view before the shield shows: right-aligned ones must not land outside.
    QWidget window;
    window.resize(1280, 800);
    window.show();
    std::unique_ptr<MouseEventShieldWindow> shield(MouseEventShieldWindow::sheildWindowForWindow(&window));
    EXPECT_EQ(shield->closeOnClickView()->size(), QSize(1280, 800));
    MouseEventShieldWindow floating(QRect(10, 10, 300, 200));
    EXPECT_EQ(floating.closeOnClickView()->size(), QSize(300, 200));
}
