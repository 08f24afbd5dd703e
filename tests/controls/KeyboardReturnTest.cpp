#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>
#include <QWindow>

#include "controls/MouseEventShieldWindow.h"
#include "controls/PanelFocusReturn.h"
#include "controls/WindowKeyboardReturn.h"

namespace {

bool showActive(QWidget* window)
{
    window->show();
    window->activateWindow();
    return QTest::qWaitFor([&] { return QApplication::activeWindow() == window; }, 5000);
}

// A window with two fields, the second one focused.
struct FieldsWindow {
    QWidget window;
    QLineEdit* first = new QLineEdit(&window);
    QLineEdit* second = new QLineEdit(&window);

    FieldsWindow()
    {
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(first);
        layout->addWidget(second);
        window.resize(300, 200);
    }
};

// A dialog that closes hands the keyboard back to the field that had it before it opened, although nothing else
// (no window manager) activates a window: the next key typed reaches that field.
TEST(KeyboardReturn, AClosedWindowGivesTheKeyboardBackToTheWidgetThatHadIt)
{
    WindowKeyboardReturn::install();
    ASSERT_TRUE(WindowKeyboardReturn::isInstalled());
    FieldsWindow main;
    ASSERT_TRUE(showActive(&main.window));
    main.second->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return main.second->hasFocus(); }, 2000));

    QWidget dialog(nullptr, Qt::Dialog);
    auto* ok = new QPushButton(QStringLiteral("OK"), &dialog);
    ok->setFocus();
    ASSERT_TRUE(showActive(&dialog));
    // Meanwhile the window's own focus moved on (a panel in it closed): the remembered widget still wins.
    main.first->setFocus();
    dialog.hide();
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == &main.window; }, 2000))
        << "no window has the keyboard after the dialog closed";
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == main.second; }, 2000));
    QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_X);
    EXPECT_EQ(main.second->text(), QStringLiteral("x"));

    // A window that opened meanwhile keeps the keyboard when the first one closes.
    QWidget first(nullptr, Qt::Dialog);
    first.resize(100, 100);
    ASSERT_TRUE(showActive(&first));
    FieldsWindow later;
    later.first->setFocus();
    ASSERT_TRUE(showActive(&later.window));
    first.hide();
    QTest::qWait(50);
    EXPECT_EQ(QApplication::activeWindow(), &later.window);
    later.window.hide();
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == &main.window; }, 2000))
        << "the window opened before the closed ones did not get the keyboard back";
}

// Menus, tool tips and windows that never take the keyboard are not followed.
TEST(KeyboardReturn, OnlyWindowsThatTakeTheKeyboardCount)
{
    QWidget normal;
    QWidget popup(nullptr, Qt::Popup);
    QWidget tip(nullptr, Qt::ToolTip);
    QWidget passive;
    passive.setAttribute(Qt::WA_ShowWithoutActivating);
    QWidget child(&normal);
    EXPECT_TRUE(WindowKeyboardReturn::takesKeyboard(&normal));
    EXPECT_FALSE(WindowKeyboardReturn::takesKeyboard(&popup));
    EXPECT_FALSE(WindowKeyboardReturn::takesKeyboard(&tip));
    EXPECT_FALSE(WindowKeyboardReturn::takesKeyboard(&passive));
    EXPECT_FALSE(WindowKeyboardReturn::takesKeyboard(&child));
}

// A panel laid over part of a window (a shield with a popover in it) gives the keyboard back to the widget that had
// it before it opened, not to the window's first control; a panel that gave it elsewhere as it closed keeps that.
TEST(KeyboardReturn, AClosedPanelGivesTheKeyboardBack)
{
    FieldsWindow main;
    ASSERT_TRUE(showActive(&main.window));
    main.second->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return main.second->hasFocus(); }, 2000));

    QPointer<MouseEventShieldWindow> shield = MouseEventShieldWindow::sheildWindowForWindow(&main.window);
    auto* field = new QLineEdit(shield->closeOnClickView());
    field->setFocus(); // the panel's control takes the keyboard before the shield shows
    shield->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return field->hasFocus(); }, 2000));
    shield->hide();
    EXPECT_EQ(QApplication::focusWidget(), main.second);

    // Handed elsewhere on closing: kept.
    QWidget panel(&main.window);
    auto* inPanel = new QLineEdit(&panel);
    PanelFocusReturn* giveBack = PanelFocusReturn::install(&panel);
    EXPECT_EQ(PanelFocusReturn::install(&panel), giveBack);
    panel.show();
    inPanel->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return inPanel->hasFocus(); }, 2000));
    EXPECT_EQ(giveBack->returnsTo(), main.second);
    main.first->setFocus();
    panel.hide();
    EXPECT_EQ(QApplication::focusWidget(), main.first);
    delete shield.data();
}

// A panel that closes while its window is not active (another window opened right after it) gives the keyboard
// back on the window's next activation, although a window that closed meanwhile handed it to what had it when
// that window opened.
TEST(KeyboardReturn, AKeyboardGivenBackWhileTheWindowIsNotActiveHoldsAtItsActivation)
{
    FieldsWindow main;
    ASSERT_TRUE(showActive(&main.window));
    main.first->setFocus();
    QWidget other(nullptr, Qt::Dialog);
    other.resize(100, 100);
    ASSERT_TRUE(showActive(&other));

    PanelFocusReturn::giveKeyboardTo(main.second);
    EXPECT_EQ(main.window.focusWidget(), main.second);
    main.first->setFocus(); // the stale hand-back
    ASSERT_TRUE(showActive(&main.window));
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == main.second; }, 2000));

    // Once: a later activation leaves the keyboard where the user put it.
    main.first->setFocus();
    ASSERT_TRUE(showActive(&other));
    ASSERT_TRUE(showActive(&main.window));
    QTest::qWait(50);
    EXPECT_EQ(QApplication::focusWidget(), main.first);
}

// A shield that lets events through: a click beside its panel closes it and reaches the widget it was aimed at.
TEST(KeyboardReturn, APassThroughShieldLetsTheClickThatClosesItReachItsTarget)
{
    QWidget window;
    window.resize(400, 300);
    auto* button = new QPushButton(QStringLiteral("Aim"), &window);
    button->setGeometry(10, 10, 80, 30);
    int pressed = 0;
    QObject::connect(button, &QPushButton::clicked, [&] { ++pressed; });
    ASSERT_TRUE(showActive(&window));
    QPointer<MouseEventShieldWindow> shield = MouseEventShieldWindow::sheildWindowForWindow(&window);
    auto* panel = new QPushButton(QStringLiteral("In the panel"), shield->closeOnClickView());
    panel->setGeometry(200, 100, 150, 150);
    int closes = 0;
    shield->setOnCloseBlock([&] {
        ++closes;
        shield->hide();
    });
    shield->show();
    shield->setPassesEventsThrough(true);
    // Clicks where a person clicks: at a place of the window, reaching whatever lies on top there.
    QWindow* surface = window.windowHandle();
    QTest::mouseClick(surface, Qt::LeftButton, {}, panel->mapTo(&window, QPoint(10, 10)));
    EXPECT_EQ(closes, 0) << "a click on the panel closed it";
    QTest::mouseClick(surface, Qt::LeftButton, {}, button->geometry().center());
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(pressed, 1) << "the click that closed the panel did not reach the button";
    delete shield.data();
}

} // namespace
