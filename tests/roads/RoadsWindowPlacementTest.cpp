#include <gtest/gtest.h>

#include <string>

#include <QApplication>
#include <QGuiApplication>
#include <QRect>
#include <QScreen>

#include "app/QVRAppDelegate.h"
#include "app/QVRWindowManager.h"
#include "creator/toolbar/QVR_CreatorToolBarView.h"
#include "creator/toolbar/QVR_ToolbarButton.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "viewer/QVRViewerWindow.h"
#include "library/lists/QVRMyTessarinesViewController.h"
#include "library/lists/QVRTessarineTileGridItemView.h"
#include "roads/RoadsTestSupport.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "support/UserInput.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

using namespace roads;

namespace {

std::string text(const QRect& rect)
{
    return QStringLiteral("(%1, %2, %3 x %4)")
        .arg(rect.x())
        .arg(rect.y())
        .arg(rect.width())
        .arg(rect.height())
        .toStdString();
}

class WindowPlacementRoad : public ::testing::Test {
protected:
    void SetUp() override
    {
        application();
        ASSERT_TRUE(leaveFirstLaunchTour());
    }
    void TearDown() override { closeDocumentWindows(); }
};

} // namespace

// Two new documents: the second window cascades a step right and down from the first, and each lies within the
// screen's available area; a third goes on from the second. Moved by the user, closed and opened again from its
// tile, a document's window comes back where it was left.
TEST_F(WindowPlacementRoad, NewDocumentWindowsCascadeWithinTheScreenAndReopenWhereTheyWereLeft)
{
    QVR_CreatorWindow* first = createDocumentFromPlusTile();
    ASSERT_TRUE(first);
    QVR_CreatorWindow* second = createDocumentFromPlusTile();
    ASSERT_TRUE(second && second != first);
    UserInput::letRepaintsHappen();
    const QRect available = first->screen()->availableGeometry();
    const QPoint step(QVRWindowManager::kCascadeStep, QVRWindowManager::kCascadeStep);
    EXPECT_TRUE(available.contains(first->frameGeometry())) << text(first->frameGeometry()) << text(available);
    EXPECT_TRUE(available.contains(second->frameGeometry())) << text(second->frameGeometry()) << text(available);
    EXPECT_EQ(second->frameGeometry().topLeft(), first->frameGeometry().topLeft() + step)
        << text(first->frameGeometry()) << text(second->frameGeometry());
    QVR_CreatorWindow* third = createDocumentFromPlusTile();
    ASSERT_TRUE(third && third != second);
    EXPECT_EQ(third->frameGeometry().topLeft(), second->frameGeometry().topLeft() + step);
    EXPECT_TRUE(available.contains(third->frameGeometry())) << text(third->frameGeometry()) << text(available);

    // The second, moved and made smaller, then closed: its tile opens it where it was left.
    const QString id = second->currentModel()->filePackage()->packageID();
    second->setGeometry(QRect(available.topLeft() + QPoint(40, 30), QSize(1000, 700)));
    UserInput::letRepaintsHappen();
    const QRect kept = second->geometry();
    second->close();
    ASSERT_TRUE(waitFor([&] { return creatorWindows().size() == 2; }));
    QWidget* lists = application().listsWindow();
    lists->raise();
    lists->activateWindow();
    ASSERT_TRUE(waitFor([&] { return QApplication::activeWindow() == lists; }));
    QVRTessarineTileGridItemView* tile = nullptr;
    ASSERT_TRUE(waitFor([&] {
        for (auto* candidate : lists->findChildren<QVRTessarineTileGridItemView*>())
            if (candidate->isVisible() && candidate->filePackage() && candidate->filePackage()->packageID() == id)
                tile = candidate;
        return tile != nullptr && !tile->isOpening();
    }));
    click(tile);
    QVR_CreatorWindow* reopened = nullptr;
    ASSERT_TRUE(waitFor([&] {
        for (QVR_CreatorWindow* window : creatorWindows())
            if (window->currentModel() && window->currentModel()->filePackage()->packageID() == id)
                reopened = window;
        return reopened != nullptr;
    }));
    EXPECT_TRUE(waitFor([&] { return reopened->geometry() == kept; }, 5000))
        << text(reopened->geometry()) << " kept " << text(kept);
}

// A window near the screen's bottom right: the next one does not leave the screen. It is narrowed to stay inside;
// after a window dragged partly off the screen, where that would leave it much smaller, it starts again at the top
// left.
TEST_F(WindowPlacementRoad, ACascadeThatWouldLeaveTheScreenStaysOnIt)
{
    QVR_CreatorWindow* first = createDocumentFromPlusTile();
    ASSERT_TRUE(first);
    const QRect available = first->screen()->availableGeometry();
    first->resize(1200, 800);
    first->move(available.right() - 1200 - 10, available.bottom() - 800 - 10);
    UserInput::letRepaintsHappen();
    QVR_CreatorWindow* second = createDocumentFromPlusTile();
    ASSERT_TRUE(second && second != first);
    EXPECT_TRUE(available.contains(second->frameGeometry())) << text(second->frameGeometry()) << text(available);
    EXPECT_NE(second->frameGeometry().topLeft(), first->frameGeometry().topLeft());

    first->move(available.right() - 700, available.bottom() - 500);
    second->close();
    ASSERT_TRUE(waitFor([&] { return creatorWindows().size() == 1; }));
    first->activateWindow();
    QVR_CreatorWindow* third = createDocumentFromPlusTile();
    ASSERT_TRUE(third && third != first);
    EXPECT_TRUE(available.contains(third->frameGeometry())) << text(third->frameGeometry()) << text(available);
    EXPECT_EQ(third->frameGeometry().topLeft(), available.topLeft()) << text(third->frameGeometry());
}

// The player opens on the screen the user works on, wholly inside its available area, title bar and all: from a
// creator window on the smaller second screen, it opens there.
TEST_F(WindowPlacementRoad, AViewerOpensWithinTheScreenItIsOpenedFrom)
{
    QVR_CreatorWindow* window = createDocumentFromPlusTile();
    ASSERT_TRUE(window);
    QScreen* second = QGuiApplication::screens().value(1);
    ASSERT_TRUE(second);
    const QRect available = second->availableGeometry();
    window->setGeometry(QRect(available.topLeft() + QPoint(30, 30), QSize(1100, 700)));
    ASSERT_TRUE(waitFor([&] { return window->screen() == second; }));
    window->activateWindow();
    ASSERT_TRUE(waitFor([&] { return QApplication::activeWindow() == window; }));
    click(window->theToolBarView()->viewButton());
    QVRViewerWindow* viewer = nullptr;
    ASSERT_TRUE(waitFor([&] { return (viewer = visibleTopLevel<QVRViewerWindow>()) != nullptr; }));
    UserInput::letRepaintsHappen();
    EXPECT_EQ(viewer->screen(), second);
    EXPECT_TRUE(available.contains(viewer->frameGeometry())) << text(viewer->frameGeometry()) << text(available);
}
