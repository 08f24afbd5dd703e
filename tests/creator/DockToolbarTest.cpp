#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

#include "creator/CreatorLibrary.h"
#include "app/QVRWindowManager.h"
#include "creator/window/QVRDockToolbarView.h"
#include "creator/window/QVRTopOfWindowDockToolbarView.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "foundation/Tessutils.h"
#include "platform/UserDefaults.h"
#include "support/UserInput.h"

namespace {
// A view of `geometry` with `alignment`, not yet docked.
QWidget* dockable(const QRect& geometry, int alignment)
{
    auto* view = new QWidget;
    view->setGeometry(geometry);
    QVRDockToolbarView::setDockToolbarAlignment(view, alignment);
    return view;
}
} // namespace

TEST(DockToolbar, PlacesViewsByAlignment)
{
    QVRDockToolbarView bar;
    bar.resize(400, 30);
    auto* left = new QWidget;
    left->resize(120, 10);
    auto* right = new QWidget;
    right->resize(90, 10);
    QVRDockToolbarView::setDockToolbarAlignment(left, QVRDockToolbarView::AlignLeft);
    QVRDockToolbarView::setDockToolbarAlignment(right, QVRDockToolbarView::AlignRight);
    bar.dockToolbarView(left);
    bar.dockToolbarView(right);
    bar.dockToolbarView(right);
    EXPECT_EQ(bar.dockedViews().size(), 2);
    EXPECT_EQ(left->geometry(), QRect(0, 0, 120, 30));
    EXPECT_EQ(right->geometry(), QRect(310, 0, 90, 30));
    bar.show();
    bar.resize(500, 30);
    EXPECT_EQ(right->x(), 410) << "a wider bar keeps the right view at its edge";
    delete left;
    EXPECT_EQ(bar.dockedViews().size(), 1) << "a deleted view leaves the bar";
    bar.layoutDockedViews();
}

TEST(DockToolbar, UnalignedViewsKeepTheirPlaceAndUndockedViewsLeaveTheBar)
{
    QVRDockToolbarView bar;
    bar.resize(400, 30);
    QWidget* left = dockable(QRect(0, 0, 100, 10), QVRDockToolbarView::AlignLeft);
    QWidget* loose = dockable(QRect(50, 5, 40, 10), 7);
    QWidget* right = dockable(QRect(0, 0, 80, 10), QVRDockToolbarView::AlignRight);
    bar.dockToolbarView(loose);
    bar.dockToolbarView(left);
    bar.dockToolbarView(right);
    bar.show();
    bar.resize(500, 30);
    EXPECT_EQ(loose->geometry(), QRect(50, 5, 40, 10)) << "no alignment, no placing";
    EXPECT_EQ(left->geometry(), QRect(0, 0, 100, 30)) << "takes no room from the aligned views";

    bar.undockToolbarView(left);
    EXPECT_EQ(left->parentWidget(), nullptr);
    EXPECT_EQ(bar.dockedViews(), (QList<QWidget*>{loose, right}));
    bar.undockToolbarView(left);
    EXPECT_EQ(bar.dockedViews().size(), 2) << "undocking twice is harmless";
    bar.dockToolbarView(left);
    EXPECT_EQ(left->parentWidget(), &bar) << "an undocked view docks again";
    const QList<QWidget*> undocked = bar.undockAllToolbarViews();
    EXPECT_EQ(undocked, (QList<QWidget*>{loose, right, left}));
    EXPECT_TRUE(bar.dockedViews().isEmpty());
    EXPECT_TRUE(bar.findChildren<QWidget*>(Qt::FindDirectChildrenOnly).isEmpty());
    qDeleteAll(undocked);
}

TEST(DockToolbar, TopStripFollowsItsPanels)
{
    auto* palette = new QWidget;
    auto* popover = new QWidget;
    QWidget host;
    host.resize(900, 100);
    auto* strip = new QVRTopOfWindowDockToolbarView(palette, popover, &host);
    strip->resize(900, strip->height());
    popover->hide();
    EXPECT_TRUE(strip->isHidden());
    EXPECT_EQ(strip->maximumHeight(), 0);
    palette->show();
    EXPECT_FALSE(strip->isHidden());
    EXPECT_EQ(strip->maximumHeight(), 30);
    popover->show();
    popover->hide();
    EXPECT_EQ(strip->maximumHeight(), 30) << "the palette still shows";
    palette->hide();
    EXPECT_EQ(strip->maximumHeight(), 0);
    popover->show();
    EXPECT_EQ(strip->maximumHeight(), 30);
    EXPECT_EQ(popover->geometry(), QRect(0, 0, 710, 30));
    EXPECT_EQ(QVRDockToolbarView::dockToolbarAlignment(palette), QVRDockToolbarView::AlignRight);
}

TEST(DockToolbar, DarkerWhileItsWindowIsActive)
{
    auto* palette = new QWidget;
    QWidget window;
    window.resize(300, 30);
    auto* strip = new QVRTopOfWindowDockToolbarView(palette, nullptr, &window);
    palette->show();
    strip->setGeometry(0, 0, 300, 30);
    window.show();
    // Sized again once shown, as a user does; the strip's last repaint is then this resize's.
    window.resize(320, 30);
    strip->setGeometry(0, 0, 320, 30);
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    UserInput::letRepaintsHappen();
    // Read from what the window shows: grab() would paint the strip afresh.
    QColor top = UserInput::shownColor(strip, {10, 2});
    EXPECT_NEAR(top.red(), 82, 3);
    EXPECT_NEAR(top.blue(), 84, 3);
    EXPECT_EQ(UserInput::shownColor(strip, {10, 29}), QColor(Qt::black));

    QWidget other;
    other.resize(50, 50);
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    UserInput::letRepaintsHappen();
    top = UserInput::shownColor(strip, {10, 2});
    EXPECT_NEAR(top.red(), 104, 3);
    EXPECT_NEAR(top.blue(), 107, 3);
    EXPECT_EQ(UserInput::shownColor(strip, {10, 29}), QColor(Qt::black));

    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    UserInput::letRepaintsHappen();
    EXPECT_NEAR(UserInput::shownColor(strip, {10, 2}).red(), 82, 3);
}

TEST(DockToolbar, CreatorWindowDocksItsInspectorPanels)
{
    registerCreatorLibrary();
    Tessutils::setIsPopoverDocked(false);
    UserDefaults::standard().remove("showXYPaletteOnWindowLaunch");
    auto* window = qobject_cast<QVR_CreatorWindow*>(QVRWindowManager::sharedInstance().makeCreatorWindow());
    ASSERT_TRUE(window);
    QVRTopOfWindowDockToolbarView* strip = window->topDockBar();
    ASSERT_TRUE(strip);
    EXPECT_EQ(strip->dockedViews().size(), 2);
    EXPECT_TRUE(strip->xyPalette()->isHidden());
    EXPECT_EQ(strip->maximumHeight(), 0);
    // Docking popovers anywhere shows this window's docked popover, and the strip with it.
    Tessutils::setIsPopoverDocked(true);
    EXPECT_FALSE(strip->dockedPopoverView()->isHidden());
    EXPECT_EQ(strip->maximumHeight(), 30);
    Tessutils::setIsPopoverDocked(false);
    EXPECT_EQ(strip->maximumHeight(), 0);
    delete window;

    // A window opens with the palette as the user last left it.
    UserDefaults::standard().setValue("showXYPaletteOnWindowLaunch", true);
    window = qobject_cast<QVR_CreatorWindow*>(QVRWindowManager::sharedInstance().makeCreatorWindow());
    EXPECT_FALSE(window->topDockBar()->xyPalette()->isHidden());
    EXPECT_EQ(window->topDockBar()->maximumHeight(), 30);
    delete window;
    UserDefaults::standard().remove("showXYPaletteOnWindowLaunch");
}
