#include <algorithm>

#include <QAbstractAnimation>
#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include "InspectorWindowEnvironment.h"

#include "app/QVRWindowManager.h"
#include "controls/ControlsArtwork.h"
#include "controls/UniversalPopover.h"
#include "creator/CreatorLibrary.h"
#include "creator/canvas/QVR_ArtBoardScrollView.h"
#include "creator/canvas/QVR_CreatorSingleScreen.h"
#include "creator/canvas/QVR_MixedMediaElementContainingView.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/interaction/QVR_SelectedItemView.h"
#include "creator/window/QVRTopOfWindowDockToolbarView.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "foundation/Tessutils.h"
#include "inspector/InspectorLibrary.h"
#include "inspector/pickers/QVRColorPicker.h"
#include "inspector/pickers/QVRFontPicker_v2.h"
#include "inspector/popovers/QVRTextMMObjToolbarPopoverController.h"
#include "inspector/popovers/QVRToolbarPopoverController.h"
#include "platform/AppPaths.h"
#include "platform/UndoManager.h"
#include "platform/UserDefaults.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "support/UserInput.h"

namespace {

using Proxy = std::shared_ptr<ZERI_MixedMediaObjectProxy>;

// A creator window on a saved one-screen document, popovers floating.
struct FloatingPopovers {
    InspectorWindowEnvironment env; // first: it outlives the window
    FloatingPopovers()
    {
        document->firstFlowmodel()->addFlowScreen(ZERI_FlowScreenModel::create());
        screen = document->firstFlowmodel()->screenModels().front();
    }
    ~FloatingPopovers()
    {
        delete window.data();
        QApplication::processEvents();
    }
    void open()
    {
        Error error;
        EXPECT_TRUE(ZERI_qvdFilePackage::saveModelToFile(document, &error)) << error.message.toStdString();
        window = qobject_cast<QVR_CreatorWindow*>(QVRWindowManager::sharedInstance().makeCreatorWindow());
        window->resize(1400, 1000);
        window->launchTessarineWithTessarineModel(document);
        window->show();
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window));
        QApplication::processEvents();
    }
    QVR_ArtBoardScrollView* view() const { return window->theArtBoard()->theScrollView(); }
    QWidget* viewport() const { return view()->viewport(); }
    QPoint at(const QPointF& scenePoint) const { return view()->mapFromScene(scenePoint); }
    QVR_MixedMediaElementContainingView* container(const Proxy& object) const
    {
        return window->theArtBoard()->singleScreen()->containerForMixedMediaObject(object);
    }
    QVRToolbarPopoverController* popover(const Proxy& object) const
    {
        return dynamic_cast<QVRToolbarPopoverController*>(container(object)->popoverController());
    }
    // The popover's frame and the element's, in the window.
    QRect popoverFrame(const Proxy& object) const
    {
        UniversalPopover* shown = popover(object)->popoverView();
        return shown ? QRect(shown->mapTo(window, QPoint(0, 0)), shown->size()) : QRect();
    }
    QRect elementFrame(const Proxy& object) const
    {
        const QRect inViewport = view()->mapFromScene(container(object)->sceneBoundingRect()).boundingRect();
        return QRect(viewport()->mapTo(window, inViewport.topLeft()), inViewport.size());
    }
    bool popoverShown(const Proxy& object) const
    {
        UniversalPopover* shown = popover(object) ? popover(object)->popoverView() : nullptr;
        return shown && shown->isVisible();
    }
    // Shown next to the element: clear of it, within 40 pixels of it.
    bool popoverBeside(const Proxy& object) const
    {
        const QRect shown = popoverFrame(object);
        const QRect element = elementFrame(object);
        return popoverShown(object) && !shown.intersects(element.adjusted(4, 4, -4, -4)) &&
               shown.intersects(element.adjusted(-40, -40, 40, 40));
    }
    // Once the window has settled: on a busy machine its layout may finish after the popover first showed, and the
    // canvas moves then, the popover after it.
    bool popoverSettled(const Proxy& object) const
    {
        return QTest::qWaitFor([&] { return popoverBeside(object); }, kSettle);
    }
    static constexpr int kSettle = 10000;

    // A shape at `frame`, the window opened and the shape clicked: its popover shows.
    Proxy openOnClickedShape(const QRectF& frame)
    {
        auto shape = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Shape);
        (*shape)->setFrame(frame);
        screen->addMixedMediaObject(shape);
        open();
        QTest::mouseClick(viewport(), Qt::LeftButton, {}, at(frame.center()));
        EXPECT_TRUE(QTest::qWaitFor([&] { return popoverShown(shape); }, 3000));
        return shape;
    }

    std::shared_ptr<ZERI_TessarineModel> document = ZERI_TessarineModel::create();
    std::shared_ptr<ZERI_FlowScreenModel> screen;
    QPointer<QVR_CreatorWindow> window;
};

} // namespace

TEST(PopoverPlacement, AnUndoneMoveTakesThePopoverBack)
{
    FloatingPopovers f;
    const Proxy shape = f.openOnClickedShape(QRectF(200, 200, 120, 120));
    ASSERT_TRUE(f.popoverSettled(shape));
    const QRect before = f.popoverFrame(shape);

    // Dragged away by the mouse: the popover comes back beside the new place.
    QTest::qWait(300); // not a double click
    QTest::mousePress(f.viewport(), Qt::LeftButton, {}, f.at(QPointF(260, 260)));
    for (int step = 1; step <= 5; ++step)
        QTest::mouseMove(f.viewport(), f.at(QPointF(260 + 60 * step, 260 + 40 * step)));
    QTest::mouseRelease(f.viewport(), Qt::LeftButton, {}, f.at(QPointF(560, 460)));
    ASSERT_EQ((*shape)->frame().topLeft(), QPointF(500, 400));
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.popoverShown(shape) && f.popoverFrame(shape) != before; }, f.kSettle));
    EXPECT_FALSE(f.popoverFrame(shape).intersects(f.elementFrame(shape)));

    // Undone from the keyboard: the element goes back, and its popover with it.
    QTest::keyClick(f.viewport(), Qt::Key_Z, Qt::ControlModifier);
    ASSERT_EQ((*shape)->frame().topLeft(), QPointF(200, 200));
    // Placed anew beside the same spot (its size may differ by a pixel of rounding).
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return (f.popoverFrame(shape).topLeft() - before.topLeft()).manhattanLength() <= 16; }, f.kSettle))
        << "the popover stayed at " << f.popoverFrame(shape).x() << "," << f.popoverFrame(shape).y();
    EXPECT_TRUE(f.popoverShown(shape));
}

// The canvas moves under a still element: the window is resized, the zoom scrolls the element out of view and
// back. The popover goes with the element, hides while it cannot be seen and comes back with it.
TEST(PopoverPlacement, ThePopoverFollowsTheCanvasWhenTheElementStaysPut)
{
    FloatingPopovers f;
    const Proxy shape = f.openOnClickedShape(QRectF(200, 200, 120, 120));
    ASSERT_TRUE(f.popoverSettled(shape));
    const auto besideIt = [&] { return f.popoverBeside(shape); };

    // Resized after it showed: the screen stays centred, so the element moves on the window.
    const QRect element = f.elementFrame(shape);
    f.window->resize(1100, 800);
    UserInput::letRepaintsHappen();
    ASSERT_NE(f.elementFrame(shape), element);
    EXPECT_TRUE(QTest::qWaitFor(besideIt, f.kSettle))
        << "the popover stayed at " << f.popoverFrame(shape).x() << "," << f.popoverFrame(shape).y();

    // Zoomed in on the screen's far corner: the element is out of view, and so is its popover.
    f.window->theArtBoard()->setZoomLevelWithoutNotification(4.0);
    f.view()->centerOn(QPointF(1000, 730));
    UserInput::letRepaintsHappen();
    ASSERT_FALSE(f.viewport()->rect().intersects(f.view()->mapFromScene((*shape)->frame()).boundingRect()));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !f.popoverShown(shape); }, f.kSettle)) << "the popover stayed on screen";

    // Back at a size that shows it: the popover comes back beside it.
    f.window->theArtBoard()->setZoomLevelWithoutNotification(1.0);
    f.view()->centerOn(QPointF(512, 374));
    UserInput::letRepaintsHappen();
    EXPECT_TRUE(QTest::qWaitFor(besideIt, f.kSettle));
}

TEST(PopoverPlacement, DockingFliesTheRowOnThePopoversColourIntoAStripAlreadyShown)
{
    FloatingPopovers f;
    const Proxy shape = f.openOnClickedShape(QRectF(300, 300, 120, 120));
    ASSERT_TRUE(f.popoverShown(shape));
    QVRTopOfWindowDockToolbarView* strip = f.window->topDockBar();
    ASSERT_FALSE(strip->isVisible()) << "nothing docked yet";
    auto* dockButton = qobject_cast<QAbstractButton*>(f.popover(shape)->toolbarViewWithTag(432));
    ASSERT_TRUE(dockButton);
    QTest::mouseClick(dockButton, Qt::LeftButton, {}, dockButton->rect().center());

    // In flight: the strip shows at its height, and the picture flying there is the row on the popover's blue.
    EXPECT_TRUE(strip->isVisible());
    EXPECT_EQ(strip->height(), QVRTopOfWindowDockToolbarView::kShownHeight);
    QLabel* flying = nullptr;
    for (QLabel* label : f.window->contentView()->findChildren<QLabel*>())
        if (label->isVisible() && !label->pixmap().isNull() && label->findChild<QAbstractAnimation*>())
            flying = label;
    ASSERT_TRUE(flying);
    const QImage picture = flying->pixmap().toImage();
    const QColor base = QVRToolbarPopoverController::qvrBasePopoverColor();
    const QColor grey = f.window->palette().color(QPalette::Window);
    int blue = 0;
    int greyish = 0;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const QColor c = picture.pixelColor(x, y);
            const auto near = [&c](const QColor& other) {
                return std::abs(c.red() - other.red()) + std::abs(c.green() - other.green()) +
                           std::abs(c.blue() - other.blue()) <=
                       6;
            };
            blue += near(base);
            greyish += near(grey);
        }
    }
    const int all = picture.width() * picture.height();
    EXPECT_GT(blue, all / 3) << blue << " of " << all;
    EXPECT_EQ(greyish, 0);
    ASSERT_TRUE(QTest::qWaitFor([] { return Tessutils::isPopoverDocked(); }, 3000));
    EXPECT_TRUE(strip->isVisible());
}

TEST(PopoverPlacement, TheDockCommandPutsAwayTheFloatingPopoverAndBringsItBack)
{
    FloatingPopovers f;
    const Proxy shape = f.openOnClickedShape(QRectF(300, 300, 120, 120));
    ASSERT_TRUE(f.popoverShown(shape));

    f.window->performToggleDockedPopover(0);
    QApplication::processEvents();
    EXPECT_TRUE(Tessutils::isPopoverDocked());
    EXPECT_TRUE(f.window->topDockBar()->dockedPopoverView()->isVisible());
    EXPECT_FALSE(f.popoverShown(shape)) << "nothing floats while docked";

    f.window->performToggleDockedPopover(0);
    QApplication::processEvents();
    EXPECT_FALSE(Tessutils::isPopoverDocked());
    EXPECT_FALSE(f.window->topDockBar()->dockedPopoverView()->isVisible());
    EXPECT_TRUE(f.popoverShown(shape));
}

namespace {
template <typename Widget> int liveWidgetsOf()
{
    const QWidgetList all = QApplication::allWidgets();
    return int(std::count_if(all.begin(), all.end(), [](QWidget* widget) { return qobject_cast<Widget*>(widget); }));
}
} // namespace

TEST(PopoverPlacement, SelectingElementAfterElementLeavesNoPickersBehind)
{
    FloatingPopovers f;
    TextAttributes attributes;
    attributes.fontName = QStringLiteral("Helvetica");
    attributes.fontSize = 30;
    attributes.foregroundColor = Qt::black;
    auto text = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Text);
    (*text)->setFrame(QRectF(100, 100, 400, 80));
    text->as<ZERI_MMObject_Text>()->setAttributedString(AttributedText(QStringLiteral("Hello"), attributes));
    f.screen->addMixedMediaObject(text);
    const Proxy shape = f.openOnClickedShape(QRectF(600, 400, 120, 120));
    const int before = liveWidgetsOf<QVRColorPicker>();

    QPointer<QVRFontPicker_v2> firstPicker;
    for (int round = 0; round < 4; ++round) {
        QTest::qWait(300); // not a double click
        QTest::mouseClick(f.viewport(), Qt::LeftButton, {}, f.at(QPointF(200, 140)));
        ASSERT_TRUE(QTest::qWaitFor([&] { return f.popoverShown(text) && !f.popoverShown(shape); }, 3000));
        auto* popover = dynamic_cast<QVRTextMMObjToolbarPopoverController*>(f.popover(text));
        ASSERT_TRUE(popover && popover->fontPicker());
        // Up, the popover shows its pickers.
        EXPECT_TRUE(popover->fontPicker()->isVisible());
        EXPECT_TRUE(popover->popoverView()->isAncestorOf(popover->fontPicker()));
        if (!firstPicker)
            firstPicker = popover->fontPicker();

        // Another element, then none: what the text's popover held goes.
        QTest::qWait(300);
        QTest::mouseClick(f.viewport(), Qt::LeftButton, {}, f.at(QPointF(660, 460)));
        ASSERT_TRUE(QTest::qWaitFor([&] { return f.popoverShown(shape) && !f.popoverShown(text); }, 3000));
        EXPECT_TRUE(QTest::qWaitFor([&] { return liveWidgetsOf<QVRFontPicker_v2>() == 0; }, 3000))
            << liveWidgetsOf<QVRFontPicker_v2>() << " font pickers after round " << round;
        QTest::qWait(300);
        QTest::mouseClick(f.viewport(), Qt::LeftButton, {}, f.at(QPointF(900, 150)));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !f.popoverShown(shape) && !f.popoverShown(text); }, 3000));
    }
    EXPECT_TRUE(firstPicker.isNull());
    EXPECT_TRUE(QTest::qWaitFor([&] { return liveWidgetsOf<QVRColorPicker>() < before; }, 3000))
        << "the shape's colour picker went with its popover";
    EXPECT_EQ(liveWidgetsOf<QVRFontPicker_v2>(), 0);
}

TEST(PopoverPlacement, ThePopoverLeavesEveryHandleOfTheSelectionFree)
{
    // A large element and one smaller than the popover is high: whichever side the popover takes, no part of it
    // lies over a handle, and a press on any handle reaches the canvas.
    for (const QRectF& frame : {QRectF(300, 300, 120, 120), QRectF(300, 300, 30, 30)}) {
        FloatingPopovers f;
        const Proxy shape = f.openOnClickedShape(frame);
        ASSERT_TRUE(f.popoverShown(shape));
        QVR_SelectedItemView* selection = f.window->selectedItemView();
        ASSERT_TRUE(selection && selection->isVisible());
        const QRect popover = f.popoverFrame(shape);
        int handles = 0;
        for (bool rotate : {false, true}) {
            for (int position = 0; position < (rotate ? 4 : 8); ++position) {
                const QGraphicsItem* handle = selection->handle(position, rotate);
                if (!handle || !handle->isEnabled())
                    continue;
                ++handles;
                const QRect inViewport =
                    handle->deviceTransform(f.view()->viewportTransform()).mapRect(handle->boundingRect()).toRect();
                const QRect inWindow(f.viewport()->mapTo(f.window, inViewport.topLeft()), inViewport.size());
                EXPECT_FALSE(popover.intersects(inWindow))
                    << "handle " << position << (rotate ? " (rotate)" : "") << " under the popover";
                for (const QPoint& point : {inWindow.topLeft(), inWindow.bottomLeft(), inWindow.topRight(),
                                            inWindow.bottomRight(), inWindow.center()})
                    EXPECT_EQ(f.window->childAt(point), f.viewport()) << "handle " << position;
            }
        }
        EXPECT_GE(handles, 8);
    }
}

TEST(PopoverPlacement, AtTheWindowsSmallestSizeThePopoverStaysInsideTheCanvas)
{
    // In a window at its smallest, an element filling the canvas but for a few pixels: no side of it has room
    // inside the canvas, and the strip of screens below would. The popover stays inside the canvas.
    FloatingPopovers f;
    const Proxy shape = f.openOnClickedShape(QRectF(300, 300, 200, 120));
    f.window->resize(f.window->minimumSize());
    // Once the window's first fit has come and gone.
    QTest::qWait(800);
    f.window->theArtBoard()->setZoomLevel(1.0, false);
    QTest::qWait(300);
    UserInput::letRepaintsHappen();
    const double zoom = f.window->theArtBoard()->currentZoomLevel();
    ASSERT_DOUBLE_EQ(zoom, 1.0);
    const QSize viewport = f.viewport()->size();
    const QRectF filling(100, 100, (viewport.width() - 12) / zoom, (viewport.height() - 12) / zoom);
    (*shape)->setFrame(filling);
    (*shape)->updateNotifier().sendUpdateNotificationsIfNeeded();
    f.view()->centerOn(filling.center());
    UserInput::letRepaintsHappen();
    const QRect canvas(f.viewport()->mapTo(f.window, QPoint(0, 0)), f.viewport()->size());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return f.popoverShown(shape) && canvas.adjusted(-8, -8, 8, 8).contains(f.elementFrame(shape)); }, 3000))
        << "the element did not come to fill the canvas " << f.popoverShown(shape) << " " << f.elementFrame(shape).x()
        << "," << f.elementFrame(shape).y() << " " << f.elementFrame(shape).width() << "x"
        << f.elementFrame(shape).height() << " in " << canvas.y() << "+" << canvas.height() << " zoom " << zoom;
    QTest::qWait(300);
    EXPECT_TRUE(QTest::qWaitFor([&] { return canvas.contains(f.popoverFrame(shape)); }, 3000))
        << "popover at " << f.popoverFrame(shape).y() << "+" << f.popoverFrame(shape).height() << ", canvas "
        << canvas.y() << "+" << canvas.height();
}
