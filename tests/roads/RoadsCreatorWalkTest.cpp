#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QtMath>
#include <QTemporaryDir>
#include <QGraphicsScene>
#include <QTest>

#include "creator/addition/QVR_AddElementMenuViewController.h"
#include "creator/addition/QVR_AddShapeMenuViewController.h"
#include "creator/canvas/QVR_ArtBoardScrollView.h"
#include "creator/canvas/QVR_CreatorSingleScreen.h"
#include "creator/canvas/QVR_MixedMediaElementContainingView.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/crop/QVR_CropHandle.h"
#include "creator/crop/QVR_CropView.h"
#include "creator/canvas/CreatorCanvasInterfaces.h"
#include "creator/interaction/QVR_CoordinatesDisplayView.h"
#include "creator/interaction/QVR_InteractableViewHandler.h"
#include "creator/interaction/QVR_SelectedItemView.h"
#include "creator/snapping/QVR_SnapLineView.h"
#include "creator/thumbnails/QVRNewScreenSelectionViewController.h"
#include "creator/thumbnails/QVRThumbnailObject.h"
#include "controls/UniversalPopover.h"
#include "creator/toolbar/QVR_CreatorToolBarView.h"
#include "creator/toolbar/QVR_ToolbarButton.h"
#include "creator/window/QVRTopOfWindowDockToolbarView.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "roads/RoadsTestSupport.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

using namespace roads;

namespace {

void shoot(QWidget* window, const char* name)
{
    if (const QByteArray folder = qgetenv("WALK_SHOTS"); !folder.isEmpty())
        window->grab().save(QString::fromLocal8Bit(folder) + QLatin1Char('/') + QLatin1String(name) + ".png");
}

// Insert › Shape, the first shape of the chooser; the shape added, or nullptr.
std::shared_ptr<ZERI_MixedMediaObjectProxy> insertShape(QVR_CreatorWindow* window)
{
    click(window->theToolBarView()->insertButton());
    QVR_AddElementMenuViewController* menu = nullptr;
    if (!waitFor([&] { return (menu = openedMenu<QVR_AddElementMenuViewController>()) != nullptr; }) ||
        !waitFor([&] { return menu->shapeCell()->isVisible(); }))
        return nullptr;
    click(menu->shapeCell());
    QVR_AddShapeMenuViewController* shapes = nullptr;
    if (!waitFor([&] { return (shapes = openedMenu<QVR_AddShapeMenuViewController>()) != nullptr; }))
        return nullptr;
    shoot(window, "01-shape-chooser");
    const auto screen = shownScreen(window);
    const int before = countObjects(screen, ZERI_MixedMediaObject::Shape);
    click(shapes->menuView()->buttons().first());
    if (!waitFor([&] { return countObjects(screen, ZERI_MixedMediaObject::Shape) == before + 1; }))
        return nullptr;
    return screen->mixedMediaObjects().back();
}

class RoadWalk : public ::testing::Test {
protected:
    void SetUp() override { application(); }
    void TearDown() override { closeDocumentWindows(); }
};

} // namespace

// A shape inserted through the menus, then selected, moved and resized with the mouse in a window resized after
// it showed; one undo takes each gesture back; the View menu shows and hides the dock strip's panels.
TEST_F(RoadWalk, AShapeIsMovedAndResizedWithTheMouse)
{
    QVR_CreatorWindow* window = createDocumentFromPlusTile();
    ASSERT_TRUE(window);
    window->resize(1300, 900);
    QApplication::processEvents();
    const auto shape = insertShape(window);
    ASSERT_TRUE(shape);
    const auto screen = shownScreen(window);
    QApplication::processEvents();
    shoot(window, "02-shape-added");

    QVR_SingleScreenArtBoardView* board = window->theArtBoard();
    QVR_ArtBoardScrollView* view = board->theScrollView();
    QWidget* viewport = view->viewport();
    const QRectF start = (*shape)->frame();
    const QPoint middle = view->mapFromScene(start.center());
    QTest::qWait(400); // not a double click on the chooser
    QTest::mouseClick(viewport, Qt::LeftButton, {}, middle);
    QVR_InteractableViewHandler* handler = QVR_InteractableViewHandler::handlerForBoard(board);
    ASSERT_TRUE(waitFor([&] { return handler->currentlySelectedArray().size() == 1; }));
    QTest::qWait(300);
    shoot(window, "03-selected");

    // Moved by 120 × 80 screen pixels in several steps; the coordinates show while it moves.
    const double scale = view->transform().m11();
    QTest::mousePress(viewport, Qt::LeftButton, {}, middle);
    for (int step = 1; step <= 6; ++step)
        QTest::mouseMove(viewport, middle + QPoint(20 * step, 13 * step));
    QTest::mouseMove(viewport, middle + QPoint(120, 80));
    shoot(window, "04-moving");
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, middle + QPoint(120, 80));
    const QRectF moved = (*shape)->frame();
    EXPECT_NEAR(moved.x() - start.x(), 120 / scale, 2.0);
    EXPECT_NEAR(moved.y() - start.y(), 80 / scale, 2.0);
    EXPECT_EQ(moved.size(), start.size());
    QTest::qWait(400);
    shoot(window, "05-moved");

    // Resized from the right middle handle.
    const QPoint rightHandle = view->mapFromScene(QPointF(moved.right(), moved.center().y()));
    QTest::mousePress(viewport, Qt::LeftButton, {}, rightHandle);
    for (int step = 1; step <= 5; ++step)
        QTest::mouseMove(viewport, rightHandle + QPoint(12 * step, 0));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, rightHandle + QPoint(60, 0));
    const QRectF resized = (*shape)->frame();
    EXPECT_NEAR(resized.width() - moved.width(), 60 / scale, 3.0);
    EXPECT_DOUBLE_EQ(resized.left(), moved.left());
    QTest::qWait(400);
    shoot(window, "06-resized");

    // Each gesture is one undo step.
    ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("undo")));
    EXPECT_EQ((*shape)->frame(), moved);
    ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("undo")));
    EXPECT_EQ((*shape)->frame(), start);

    // The position palette and the docked popover, from the View menu.
    ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("toggleXYPalette")));
    ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("toggleDockedPopover")));
    QApplication::processEvents();
    EXPECT_EQ(window->topDockBar()->height(), QVRTopOfWindowDockToolbarView::kShownHeight);
    shoot(window, "08-docked");
    ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("toggleXYPalette")));
    ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("toggleDockedPopover")));
    QApplication::processEvents();
    EXPECT_EQ(window->topDockBar()->height(), 0);
}

// A screen added from the toolbar's chooser; a shape snapped to the screen's middle while dragged, and picked up
// again with a rubber band.
TEST_F(RoadWalk, ScreensAreAddedAndShapesSnapAndAreBandSelected)
{
    QVR_CreatorWindow* window = createDocumentFromPlusTile();
    ASSERT_TRUE(window);
    const auto flow = window->currentModel()->firstFlowmodel();
    click(window->theToolBarView()->addScreenButton());
    QVRNewScreenSelectionViewController* chooser = nullptr;
    ASSERT_TRUE(waitFor([&] {
        chooser = openedMenu<QVRNewScreenSelectionViewController>();
        return chooser && !chooser->tileButtons().isEmpty() && chooser->tileButtons().front()->isVisible();
    }));
    QTest::qWait(1500);
    shoot(window, "11-new-screen-chooser");
    click(chooser->tileButtons().front());
    ASSERT_TRUE(waitFor([&] { return flow->screenModels().size() == 2; }));
    EXPECT_TRUE(waitFor([&] { return window->theArtBoard()->screenModel() == flow->screenModels()[1]; }))
        << "the new screen is shown";

    const auto shape = insertShape(window);
    ASSERT_TRUE(shape);
    const auto screen = shownScreen(window);

    // Dragged until its middle nears the screen's middle: it snaps there and a line shows.
    QVR_SingleScreenArtBoardView* board = window->theArtBoard();
    QVR_ArtBoardScrollView* view = board->theScrollView();
    QWidget* viewport = view->viewport();
    const QSizeF size = screen->screenSize();
    // The board settles (its zoom and scrolling) before points are taken on it.
    QPoint settled;
    ASSERT_TRUE(waitFor([&] {
        const QPoint now = view->mapFromScene(QPointF(0, 0));
        QTest::qWait(150);
        const bool still = now == view->mapFromScene(QPointF(0, 0)) && now == settled;
        settled = now;
        return still;
    }));
    const QRectF start = (*shape)->frame();
    const QPoint from = view->mapFromScene(start.center());
    const QPoint to = view->mapFromScene(QPointF(size.width() / 2 - 3, size.height() / 2 + 60));
    QTest::qWait(400);
    QTest::mousePress(viewport, Qt::LeftButton, {}, from);
    for (int step = 1; step <= 8; ++step)
        QTest::mouseMove(viewport, from + (to - from) * step / 8);
    const auto lines = [&] {
        int shown = 0;
        for (QGraphicsItem* item : view->scene()->items())
            if (dynamic_cast<QVR_SnapLineView*>(item) && item->isVisible())
                ++shown;
        return shown;
    };
    EXPECT_GE(lines(), 1) << "a snap line while the middles meet";
    shoot(window, "12-snapping");
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, to);
    EXPECT_DOUBLE_EQ((*shape)->frame().center().x(), size.width() / 2) << "snapped to the middle";

    // A click on the empty screen deselects; a band drawn over the shape selects it again.
    QVR_InteractableViewHandler* handler = QVR_InteractableViewHandler::handlerForBoard(board);
    QTest::qWait(400);
    const QPoint empty = view->mapFromScene(QPointF(20, size.height() - 20));
    QTest::mouseClick(viewport, Qt::LeftButton, {}, empty);
    ASSERT_TRUE(waitFor([&] { return handler->currentlySelectedArray().empty(); }));
    QTest::qWait(400);
    const QPoint beyond = view->mapFromScene((*shape)->frame().topRight() + QPointF(20, -20));
    QTest::mousePress(viewport, Qt::LeftButton, {}, empty);
    for (int step = 1; step <= 6; ++step)
        QTest::mouseMove(viewport, empty + (beyond - empty) * step / 6);
    shoot(window, "13-band");
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, beyond);
    EXPECT_EQ(handler->currentlySelectedArray().size(), 1u);
}

// A picture chosen in the file dialog, then cropped from its popover's Crop button with quick drags of the right
// crop handle (Return applies the crop as one step), and turned a quarter by a rotate handle.
TEST_F(RoadWalk, APictureIsCroppedFromItsPopover)
{
    QTemporaryDir inputs;
    const QString picture = makePicture(inputs.filePath(QStringLiteral("wide.png")), "PNG");
    QVR_CreatorWindow* window = createDocumentFromPlusTile();
    ASSERT_TRUE(window);
    click(window->theToolBarView()->insertButton());
    QVR_AddElementMenuViewController* menu = nullptr;
    ASSERT_TRUE(waitFor([&] { return (menu = openedMenu<QVR_AddElementMenuViewController>()) != nullptr; }));
    ASSERT_TRUE(waitFor([&] { return menu->imageCell()->isVisible(); }));
    click(menu->imageCell());
    ASSERT_TRUE(answerFileDialog(picture));
    const auto screen = shownScreen(window);
    ASSERT_TRUE(waitFor([&] { return countObjects(screen, ZERI_MixedMediaObject::Image) == 1; }));
    ASSERT_TRUE(waitFor([&] { return window->theToolBarView()->insertButton()->isEnabled(); }));
    const auto image = screen->mixedMediaObjects().back();
    const QRectF start = (*image)->frame();

    QVR_SingleScreenArtBoardView* board = window->theArtBoard();
    QVR_ArtBoardScrollView* view = board->theScrollView();
    QWidget* viewport = view->viewport();
    QVR_InteractableViewHandler* handler = QVR_InteractableViewHandler::handlerForBoard(board);
    QTest::qWait(400);
    QTest::mouseClick(viewport, Qt::LeftButton, {}, view->mapFromScene(start.center()));
    QVR_MixedMediaElementContainingView* container = board->singleScreen()->containerForMixedMediaObject(image);
    auto* popover = container ? dynamic_cast<QObject*>(container->popoverController()) : nullptr;
    ASSERT_TRUE(popover);
    QAbstractButton* crop = nullptr;
    ASSERT_TRUE(waitFor([&] {
        for (QAbstractButton* button : window->findChildren<QAbstractButton*>())
            if (button->isVisible() && button->property("tessPopoverTag").toInt() == 437)
                crop = button;
        return crop != nullptr;
    }));
    click(crop);
    ASSERT_TRUE(waitFor([&] { return handler->isCropping() && handler->cropView()->isLoaded(); }));
    shoot(window, "21-crop-mode");

    // Two quick drags of the right handle, inward.
    for (int drag = 0; drag < 2; ++drag) {
        const QPoint handle = view->mapFromScene(handler->cropView()->handleAtPosition(5)->scenePos());
        QTest::mousePress(viewport, Qt::LeftButton, {}, handle);
        for (int step = 1; step <= 4; ++step)
            QTest::mouseMove(viewport, handle - QPoint(10 * step, 0));
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, handle - QPoint(40, 0));
        ASSERT_TRUE(handler->isCropping()) << "drag " << drag;
    }
    QTest::qWait(800);
    shoot(window, "22-cropped");
    QTest::keyClick(viewport, Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return !handler->isCropping(); }));
    const QRectF cropped = (*image)->frame();
    EXPECT_DOUBLE_EQ(cropped.left(), start.left());
    EXPECT_NEAR(cropped.width(), start.width() - 80 / view->transform().m11(), 2.0);
    ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("undo")));
    EXPECT_EQ((*image)->frame(), start);

    // Turned a quarter clockwise by its top-right rotate handle, dragged round the centre.
    QTest::qWait(400);
    QTest::mouseClick(viewport, Qt::LeftButton, {}, view->mapFromScene(start.center()));
    QVR_SelectedItemHandle* rotate = nullptr;
    ASSERT_TRUE(waitFor([&] {
        for (QGraphicsItem* item : view->scene()->items())
            if (auto* handle = dynamic_cast<QVR_SelectedItemHandle*>(item);
                handle && handle->isVisible() && handle->isRotateHandle() && handle->position() == 1)
                rotate = handle;
        return rotate != nullptr;
    }));
    const QPointF centre = view->mapFromScene(start.center());
    // A point of the rotate handle that no resize handle covers.
    QPointF grab;
    const QRectF onView = rotate->deviceTransform(view->viewportTransform()).mapRect(rotate->boundingRect());
    for (int y = int(onView.top()) + 1; y < onView.bottom() && grab.isNull(); ++y)
        for (int x = int(onView.right()) - 1; x > onView.left() && grab.isNull(); --x)
            if (view->itemAt(QPoint(x, y)) == rotate)
                grab = QPointF(x, y);
    ASSERT_FALSE(grab.isNull());
    const QPointF arm = grab - centre;
    QTest::qWait(400);
    QTest::mousePress(viewport, Qt::LeftButton, {}, grab.toPoint());
    for (int step = 1; step <= 6; ++step) {
        const double angle = qDegreesToRadians(15.0 * step); // clockwise on the screen (y down)
        const QPointF turned(arm.x() * std::cos(angle) - arm.y() * std::sin(angle),
                             arm.x() * std::sin(angle) + arm.y() * std::cos(angle));
        QTest::mouseMove(viewport, (centre + turned).toPoint());
    }
    const QPointF end(centre + QPointF(-arm.y(), arm.x()));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, end.toPoint());
    ASSERT_TRUE(waitFor([&] { return (*image)->rotation() == 1; }));
    const QRectF turned = (*image)->frame();
    EXPECT_NEAR(turned.width(), start.height(), 0.01);
    EXPECT_NEAR(turned.height(), start.width(), 0.01);
    EXPECT_NEAR(turned.center().x(), start.center().x(), 0.01);
    QTest::qWait(300);
    shoot(window, "23-rotated");
}
