#include <gtest/gtest.h>

#include <QColorDialog>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QTest>
#include <QToolButton>

#include "controls/FloatingWindowCloser.h"
#include "controls/MouseEventShieldWindow.h"
#include "controls/NavigationController.h"
#include "controls/NavigationControllerFriendlyViewController.h"
#include "controls/SheetLikePanelViewController.h"

namespace {

bool showActive(QWidget* window)
{
    window->show();
    window->activateWindow();
    return QTest::qWaitFor([&] { return QApplication::activeWindow() == window; }, 5000);
}

// A tool window built as the colour panel is: a colour dialog embedded as a plain child, beside a list.
struct PanelLikeWindow {
    QWidget window{nullptr, Qt::Tool};
    QColorDialog* dialog = new QColorDialog(&window);
    QListWidget* list = new QListWidget(&window);

    PanelLikeWindow()
    {
        dialog->setWindowFlags(Qt::Widget);
        dialog->setOptions(QColorDialog::NoButtons | QColorDialog::DontUseNativeDialog);
        auto* layout = new QHBoxLayout(&window);
        layout->setContentsMargins(4, 4, 4, 4);
        layout->addWidget(dialog);
        layout->addWidget(list);
        FloatingWindowCloser::install(&window, QStringLiteral("Close"));
    }
};

TEST(FloatingWindowCloser, EscapeInAnEmbeddedDialogClosesTheWindowAndLeavesTheDialogWhole)
{
    PanelLikeWindow panel;
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(showActive(&panel.window)) << round;
        auto* field = panel.dialog->findChild<QLineEdit*>();
        ASSERT_TRUE(field);
        field->setFocus();
        ASSERT_TRUE(QTest::qWaitFor([&] { return field->hasFocus(); }, 2000));
        QTest::keyClick(field, Qt::Key_Escape);
        EXPECT_FALSE(panel.window.isVisible()) << round;
        EXPECT_FALSE(panel.dialog->isHidden()) << "the dialog took Escape for itself, round " << round;
    }
    // Shown again, the dialog shows with it.
    ASSERT_TRUE(showActive(&panel.window));
    EXPECT_TRUE(panel.dialog->isVisible());
}

TEST(FloatingWindowCloser, TheCloseButtonSitsInAStripOfItsOwnAndCloses)
{
    PanelLikeWindow panel;
    EXPECT_EQ(FloatingWindowCloser::install(&panel.window, QStringLiteral("Close")),
              FloatingWindowCloser::of(&panel.window));
    panel.window.resize(700, 420);
    ASSERT_TRUE(showActive(&panel.window));
    QToolButton* close = FloatingWindowCloser::of(&panel.window)->closeButton();
    ASSERT_TRUE(close->isVisible());
    const QRect button = close->geometry();
    EXPECT_GT(button.left(), panel.window.width() - 2 * FloatingWindowCloser::kStripHeight);
    EXPECT_LE(button.bottom(), FloatingWindowCloser::kStripHeight);
    // The window's own parts start below the strip: the button covers none of them.
    EXPECT_GT(panel.list->geometry().top(), button.bottom());
    EXPECT_GT(panel.dialog->geometry().top(), button.bottom());
    // Resized after it shows, the button follows the right edge.
    panel.window.resize(760, 420);
    EXPECT_TRUE(QTest::qWaitFor([&] { return close->geometry().right() > 700; }, 2000));
    QTest::mouseClick(close, Qt::LeftButton);
    EXPECT_FALSE(panel.window.isVisible());
}

TEST(FloatingWindowCloser, EscapeOverAShieldActsAsAClickBesideThePanel)
{
    QWidget window;
    window.resize(500, 400);
    ASSERT_TRUE(showActive(&window));
    QPointer<MouseEventShieldWindow> shield = MouseEventShieldWindow::sheildWindowForWindow(&window);
    int closes = 0;
    shield->setOnCloseBlock([&] {
        ++closes;
        shield->close();
    });
    auto* field = new QLineEdit(shield->closeOnClickView());
    field->setGeometry(20, 20, 200, 24);
    shield->show();
    field->show();
    field->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return field->hasFocus(); }, 2000));
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_EQ(closes, 1);
    EXPECT_TRUE(!shield || !shield->isVisible());
    // With the shield gone, Escape reaches the window as before.
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_EQ(closes, 1);
}

class CountingSheetDelegate : public SheetLikePanelViewControllerDelegate {
public:
    void sheetLikePanelCloseButtonPressed() override { ++closes; }
    int closes = 0;
};

TEST(FloatingWindowCloser, EscapeInASheetPanelIsItsCloseButtonWhereItsOwnerAsks)
{
    QWidget window;
    window.resize(500, 500);
    SheetLikePanelViewController panel;
    CountingSheetDelegate delegate;
    panel.setDelegate(&delegate);
    panel.view()->setParent(&window);
    panel.view()->setGeometry(window.rect());
    panel.navigationController()->setRootViewController(new NavigationControllerFriendlyViewController);
    ASSERT_TRUE(showActive(&window));
    panel.setClosesOnEscape(true);
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_EQ(delegate.closes, 0) << "no close button, no close";
    panel.setEnableCloseButton(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel.closeButton()->isVisible(); }, 2000));
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_EQ(delegate.closes, 1);
    // A panel whose owner keeps Escape for its page.
    panel.setClosesOnEscape(false);
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_EQ(delegate.closes, 1);
}

} // namespace
