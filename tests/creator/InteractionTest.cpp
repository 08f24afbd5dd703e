#include <functional>

#include <QApplication>
#include <QElapsedTimer>
#include <QGraphicsScene>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "CreatorTestSupport.h"
#include "controls/ControlsArtwork.h"
#include "creator/canvas/QVR_ArtBoardScrollView.h"
#include "creator/canvas/QVR_CreatorSingleScreen.h"
#include "creator/canvas/QVR_MixedMediaElementContainingView.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/interaction/QVR_InteractableViewHandler.h"
#include "creator/interaction/QVR_InteractionModelUtils.h"
#include "creator/interaction/QVR_MouseMonitor.h"
#include "creator/snapping/QVR_SnapLineView.h"
#include "creator/snapping/SnappingGrid.h"
#include "creator/snapping/SnappingUtils.h"
#include "elements/views/QVR_AttributedTextMixedMediaElementView.h"
#include "platform/UndoManager.h"
#include "platform/UserDefaults.h"
#include "support/UserInput.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

using namespace creator_test;
using Container = QVR_MixedMediaElementContainingView;
using Proxy = std::shared_ptr<ZERI_MixedMediaObjectProxy>;
using Utils = QVR_InteractionModelUtils;

namespace {

// Records what the monitor reports, for the monitor's own tests.
struct Recorder : QVR_MouseEventHandler {
    int clicks = 0, downs = 0, ups = 0, began = 0, moved = 0, ended = 0;
    QPointF lastTranslation{-1, -1};
    // Which presses to track; all by default.
    std::function<bool(QGraphicsObject*, QPointF)> track;
    bool shouldTrackView(QGraphicsObject* item, QPointF p) override { return !track || track(item, p); }
    void mouseDown(QGraphicsObject*, QPointF, Qt::KeyboardModifiers) override { ++downs; }
    void mouseClicked(QGraphicsObject*, QPointF, Qt::KeyboardModifiers) override { ++clicks; }
    void mouseUp(QGraphicsObject*, QPointF) override { ++ups; }
    void dragBegan(QGraphicsObject*, QPointF t, Qt::KeyboardModifiers) override
    {
        ++began;
        lastTranslation = t;
    }
    void dragMoved(QGraphicsObject*, QPointF t) override
    {
        ++moved;
        lastTranslation = t;
    }
    void dragEnded(QGraphicsObject*, QPointF t) override
    {
        ++ended;
        lastTranslation = t;
    }
};

// An editable board on screen "S0" (plus an empty "S1") in a 1100 × 800 viewport at zoom 1, with its handler,
// a click-detection delay of 0.2 s, image A at (100, 100, 200, 100) and shape B at (400, 100, 100, 100).
struct Editor {
    Editor()
    {
        UserDefaults::setStoreFileForTesting(settings.filePath(QStringLiteral("defaults.conf")));
        Utils::setClickDetectionTimeDelay(0.2);
        ControlsArtwork::registerNamedImages();
        a = add(ZERI_MixedMediaObject::Image, QRectF(100, 100, 200, 100));
        b = add(ZERI_MixedMediaObject::Shape, QRectF(400, 100, 100, 100));
        board.setScreenModel(screen);
        board.show();
        setViewportSize(board, 1100, 800);
        board.setZoomLevelWithoutNotification(1.0);
        QApplication::processEvents();
        handler = new QVR_InteractableViewHandler(&board);
    }
    ~Editor()
    {
        UserDefaults::setStoreFileForTesting(QString());
        Utils::resetClickDetectionTimeDelayCache();
    }

    Proxy add(int type, const QRectF& frame)
    {
        auto object = ZERI_MixedMediaObject::objectWithType(type);
        (*object)->setFrame(frame);
        screen->addMixedMediaObject(object);
        screen->updateNotifier().sendUpdateNotificationsIfNeeded();
        return object;
    }
    Container* container(const Proxy& object) const
    {
        return board.singleScreen()->containerForMixedMediaObject(object);
    }
    QWidget* viewport() const { return board.theScrollView()->viewport(); }
    QPoint at(const QPointF& scenePoint) const { return board.theScrollView()->mapFromScene(scenePoint); }

    void press(const QPointF& p, Qt::KeyboardModifiers m = {})
    {
        QTest::mousePress(viewport(), Qt::LeftButton, m, at(p));
    }
    void release(const QPointF& p, Qt::KeyboardModifiers m = {})
    {
        QTest::mouseRelease(viewport(), Qt::LeftButton, m, at(p));
    }
    void moveTo(const QPoint& pixel, Qt::MouseButtons buttons = Qt::LeftButton)
    {
        QMouseEvent event(QEvent::MouseMove, QPointF(pixel), viewport()->mapToGlobal(QPointF(pixel)), Qt::NoButton,
                          buttons, {});
        QApplication::sendEvent(viewport(), &event);
    }
    void click(const QPointF& p, Qt::KeyboardModifiers m = {})
    {
        press(p, m);
        release(p, m);
    }
    void drag(const QPointF& from, const QPointF& to, Qt::KeyboardModifiers m = {})
    {
        press(from, m);
        moveTo(at((from + to) / 2));
        moveTo(at(to));
        release(to, m);
    }
    std::vector<Container*> selection() const { return handler->currentlySelectedArray(); }
    UndoManager& undo() { return document->firstFlowmodel()->undoManager(); }

    QTemporaryDir settings;
    std::shared_ptr<ZERI_TessarineModel> document = makeDocument(2);
    std::shared_ptr<ZERI_FlowScreenModel> screen = document->firstFlowmodel()->screenModels().front();
    Proxy a, b;
    QVR_SingleScreenArtBoardView board;
    QVR_InteractableViewHandler* handler = nullptr;
};

} // namespace

TEST(MouseMonitor, TellsClicksFromDragsByMoveOrDelayAndReportsSceneTranslations)
{
    Editor e;
    Recorder recorder;
    e.handler->mouseMonitor()->setDelegate(&recorder);
    PostCounter began(QVR_MouseMonitor::kDragBeganNotification), ended(QVR_MouseMonitor::kDragEndedNotification);

    // A quick press and release is one click and no drag.
    e.press(QPointF(150, 150));
    QTest::qWait(50);
    e.release(QPointF(150, 150));
    EXPECT_EQ(recorder.clicks, 1);
    EXPECT_EQ(recorder.began, 0);
    EXPECT_EQ(began.count, 0);

    // Held past the delay: a drag of (0, 0) with its notifications, no click.
    e.press(QPointF(150, 150));
    QTest::qWait(300);
    EXPECT_EQ(recorder.began, 1);
    EXPECT_EQ(recorder.lastTranslation, QPointF(0, 0));
    EXPECT_EQ(began.count, 1);
    EXPECT_EQ(began.lastSender, e.board.singleScreen());
    e.release(QPointF(150, 150));
    EXPECT_EQ(recorder.ended, 1);
    EXPECT_EQ(ended.count, 1);
    EXPECT_EQ(recorder.clicks, 1);

    // Translations are in scene units, whatever the zoom.
    e.press(QPointF(150, 150));
    e.moveTo(e.at(QPointF(190, 180)));
    EXPECT_EQ(recorder.lastTranslation, QPointF(40, 30));
    e.release(QPointF(190, 180));
    e.board.setZoomLevelWithoutNotification(2.0);
    QApplication::processEvents();
    const QPoint start = e.at(QPointF(150, 150));
    QTest::mousePress(e.viewport(), Qt::LeftButton, {}, start);
    e.moveTo(start + QPoint(80, 60));
    EXPECT_EQ(recorder.lastTranslation, QPointF(40, 30));
    QTest::mouseRelease(e.viewport(), Qt::LeftButton, {}, start + QPoint(80, 60));

    // A right click never reaches the delegate.
    const int downs = recorder.downs;
    QTest::mouseClick(e.viewport(), Qt::RightButton, {}, e.at(QPointF(150, 150)));
    EXPECT_EQ(recorder.downs, downs);
    e.handler->mouseMonitor()->setDelegate(e.handler);
}

TEST(MouseMonitor, HeldPressesCancelledDragsAndPressesThatLeaveMakeNoClick)
{
    Editor e;
    Recorder recorder;
    QVR_MouseMonitor* monitor = e.handler->mouseMonitor();
    monitor->setDelegate(&recorder);
    PostCounter ended(QVR_MouseMonitor::kDragEndedNotification);

    // Told not to, a press held past the delay starts no drag; its release is no click but still a mouse-up.
    EXPECT_TRUE(monitor->initiatesMouseDragOnFailedMouseClickWhenNoMovement());
    monitor->setInitiatesMouseDragOnFailedMouseClickWhenNoMovement(false);
    e.press(QPointF(150, 150));
    QTest::qWait(350);
    EXPECT_EQ(recorder.began, 0);
    e.release(QPointF(150, 150));
    EXPECT_EQ(recorder.clicks, 0);
    EXPECT_EQ(recorder.ups, 1);
    // A move still drags.
    e.press(QPointF(150, 150));
    QTest::qWait(350);
    e.moveTo(e.at(QPointF(160, 150)));
    EXPECT_EQ(recorder.began, 1);
    e.release(QPointF(160, 150));
    monitor->setInitiatesMouseDragOnFailedMouseClickWhenNoMovement(true);

    // A cancelled drag ends at once with (0, 0); the rest of the press reports nothing, not even its mouse-up.
    const int ups = recorder.ups;
    e.press(QPointF(150, 150));
    e.moveTo(e.at(QPointF(170, 160)));
    monitor->cancelDragging();
    EXPECT_EQ(recorder.ended, 2);
    EXPECT_EQ(recorder.lastTranslation, QPointF(0, 0));
    EXPECT_EQ(ended.count, 2);
    EXPECT_FALSE(monitor->isCurrentlyDragging());
    const int moves = recorder.moved;
    e.moveTo(e.at(QPointF(190, 170)));
    e.release(QPointF(190, 170));
    EXPECT_EQ(recorder.moved, moves);
    EXPECT_EQ(recorder.ended, 2);
    EXPECT_EQ(recorder.ups, ups);
    EXPECT_EQ(recorder.clicks, 0);

    // A press that leaves the viewport is no click: the pointer left, or the release lies beyond it.
    e.press(QPointF(150, 150));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(e.viewport(), &leave);
    e.release(QPointF(150, 150));
    EXPECT_EQ(recorder.clicks, 0);
    e.press(QPointF(150, 150));
    QTest::mouseRelease(e.viewport(), Qt::LeftButton, {}, QPoint(-5, e.at(QPointF(150, 150)).y()));
    EXPECT_EQ(recorder.clicks, 0);
    EXPECT_EQ(recorder.began, 2) << "neither was a drag";
    e.click(QPointF(150, 150));
    EXPECT_EQ(recorder.clicks, 1) << "an ordinary click still is one";

    // A Meta-click belongs to the context menu.
    const int downs = recorder.downs;
    QTest::mousePress(e.viewport(), Qt::LeftButton, Qt::MetaModifier, e.at(QPointF(150, 150)));
    if (auto* menu = QApplication::activePopupWidget())
        menu->close();
    QTest::mouseRelease(e.viewport(), Qt::LeftButton, Qt::MetaModifier, e.at(QPointF(150, 150)));
    EXPECT_EQ(recorder.downs, downs);
    monitor->setDelegate(e.handler);
}

TEST(MouseMonitor, APressTheEditedTextKeepsGivesNoDragAndNoRubberBand)
{
    Editor e;
    auto text = e.add(ZERI_MixedMediaObject::Text, QRectF(100, 300, 300, 100));
    auto* view = dynamic_cast<QVR_AttributedTextMixedMediaElementView*>(e.container(text)->mixedMediaElementView());
    ASSERT_TRUE(view);
    view->setEditable(true);
    QApplication::processEvents();
    if (!e.container(text)->disallowsMouseEvent(QPointF(150, 350)))
        GTEST_SKIP() << "the text view took no focus in this environment";
    Recorder recorder;
    recorder.track = [&e](QGraphicsObject* item, QPointF p) { return e.handler->shouldTrackView(item, p); };
    e.handler->mouseMonitor()->setDelegate(&recorder);
    e.drag(QPointF(150, 350), QPointF(250, 380));
    EXPECT_EQ(recorder.began + recorder.moved + recorder.ended + recorder.clicks, 0);
    e.handler->mouseMonitor()->setDelegate(e.handler);
    EXPECT_FALSE(e.handler->multiSelectBoxIsActive());
}

TEST(InteractionHelpers, TranslateBandHoverAndCursorGeometry)
{
    Editor e;
    QVR_MixedMediaObjectTranslateHandler translate;
    translate.startTranslating(e.container(e.a), e.a);
    translate.handleMove(QPointF(10.6, 3.2));
    EXPECT_EQ((*e.a)->frame(), QRectF(110, 103, 200, 100));
    translate.handleMove(QPointF(0, 0));
    EXPECT_EQ((*e.a)->frame(), QRectF(100, 100, 200, 100));
    translate.endTranslating();

    EXPECT_EQ(QVR_MultiSelectBoxView::reconcileFrameWithNegativeSides(QRectF(300, 300, -100, -50)),
              QRectF(200, 250, 100, 50));

    // The hover outline: 1 pt around its element, a border of 2 pt (2 px at zoom 1, 4 at zoom 2).
    e.moveTo(e.at(QPointF(150, 150)), Qt::NoButton);
    auto* hover = e.handler->hoveredViewOverlay();
    ASSERT_EQ(e.handler->currentlyHovered(), e.container(e.a));
    EXPECT_TRUE(hover->isVisible());
    EXPECT_EQ(hover->sceneBoundingRect(), QRectF(99, 99, 202, 102));
    for (double zoom : {1.0, 2.0}) {
        e.board.setZoomLevelWithoutNotification(zoom);
        QApplication::processEvents();
        e.board.theScrollView()->centerOn(QPointF(150, 150));
        QApplication::processEvents();
        const QImage shot = e.viewport()->grab().toImage();
        const QPoint left = e.at(QPointF(99, 150));
        int blue = 0;
        for (int x = left.x() - 1; x < left.x() + 6; ++x)
            blue += qBlue(shot.pixel(x, left.y())) > 120 && qRed(shot.pixel(x, left.y())) < 90 ? 1 : 0;
        EXPECT_NEAR(blue, 2 * zoom, 1) << "zoom " << zoom;
    }
    e.moveTo(e.at(QPointF(700, 600)), Qt::NoButton);
    EXPECT_EQ(e.handler->currentlyHovered(), nullptr);

    EXPECT_EQ(Utils::resizeCursorNameForPosition(0), QStringLiteral("left_right_cursor"));
    EXPECT_EQ(Utils::rotateCursorQuarterTurns(0), 2);
    EXPECT_EQ(Utils::oppositeCursorPosition(9), 0);
    EXPECT_EQ(Utils::pointOnFrame(QRectF(0, 0, 10, 20), 8), QPointF());
}

TEST(InteractionHelpers, TheHoverOutlineGoesWithItsElementWhileDragged)
{
    Editor e;
    // The shape at (400, 100, 100, 100), not selected, hovered and then dragged 100 points to the right.
    e.moveTo(e.at(QPointF(450, 150)), Qt::NoButton);
    ASSERT_EQ(e.handler->currentlyHovered(), e.container(e.b));
    e.press(QPointF(450, 150));
    e.moveTo(e.at(QPointF(500, 150)));
    e.moveTo(e.at(QPointF(550, 150)));
    UserInput::letRepaintsHappen();
    ASSERT_EQ((*e.b)->frame(), QRectF(500, 100, 100, 100));
    auto* hover = e.handler->hoveredViewOverlay();
    EXPECT_TRUE(hover->isVisible());
    EXPECT_EQ(hover->sceneBoundingRect(), QRectF(499, 99, 102, 102));
    // Read from what the window shows: the outline's blue on the element's new left edge.
    const QColor edge = UserInput::shownColor(e.viewport(), e.at(QPointF(499.5, 150)));
    EXPECT_TRUE(edge.blue() > 120 && edge.red() < 90) << edge.name().toStdString();
    e.release(QPointF(550, 150));
}

TEST(Selection, ClicksModifierClicksAndRubberBands)
{
    Editor e;
    Container* A = e.container(e.a);
    Container* B = e.container(e.b);
    e.click(QPointF(150, 150));
    EXPECT_EQ(e.selection(), (std::vector<Container*>{A}));
    e.click(QPointF(450, 150), Qt::ControlModifier);
    EXPECT_EQ(e.selection(), (std::vector<Container*>{A, B}));
    // Selected back to front whatever the order of clicks.
    e.click(QPointF(700, 600));
    EXPECT_TRUE(e.selection().empty());
    e.click(QPointF(450, 150));
    e.click(QPointF(150, 150), Qt::ShiftModifier);
    EXPECT_EQ(e.selection(), (std::vector<Container*>{A, B}));
    e.click(QPointF(150, 150), Qt::ShiftModifier);
    EXPECT_EQ(e.selection(), (std::vector<Container*>{B}));

    // A press on another element clears the selection before the release.
    e.press(QPointF(150, 150));
    EXPECT_TRUE(e.selection().empty());
    e.release(QPointF(150, 150));
    EXPECT_EQ(e.selection(), (std::vector<Container*>{A}));

    // A band touching A's left edge selects it; a Ctrl band over B keeps A.
    e.click(QPointF(700, 600));
    e.drag(QPointF(50, 120), QPointF(100, 160));
    EXPECT_EQ(e.selection(), (std::vector<Container*>{A}));
    EXPECT_FALSE(e.handler->multiSelectBoxIsActive());
    e.drag(QPointF(380, 90), QPointF(520, 220), Qt::ControlModifier);
    EXPECT_EQ(e.selection(), (std::vector<Container*>{A, B}));
    // A band of zero height selects nothing; an element leaving the band is dropped again.
    e.click(QPointF(700, 600));
    e.drag(QPointF(50, 150), QPointF(600, 150));
    EXPECT_TRUE(e.selection().empty());
    e.press(QPointF(50, 50));
    e.moveTo(e.at(QPointF(350, 300)));
    EXPECT_EQ(e.selection().size(), 1u);
    e.moveTo(e.at(QPointF(60, 60)));
    EXPECT_TRUE(e.selection().empty());
    e.release(QPointF(60, 60));

    // A removed element leaves the selection.
    e.click(QPointF(150, 150));
    e.screen->removeMixedMediaObject(e.a);
    e.screen->updateNotifier().sendUpdateNotificationsIfNeeded();
    EXPECT_TRUE(e.selection().empty());
}

TEST(Moving, DragsAreOneUndoStepAndMoveTheWholeSelection)
{
    Editor e;
    const int steps = e.undo().undoCount();
    e.drag(QPointF(150, 150), QPointF(190, 180));
    EXPECT_EQ((*e.a)->frame(), QRectF(140, 130, 200, 100));
    EXPECT_EQ(e.undo().undoCount(), steps + 1);
    ASSERT_TRUE(e.undo().undo());
    EXPECT_EQ((*e.a)->frame(), QRectF(100, 100, 200, 100));

    // Held still past the delay and released: no step. Nor when the release comes back elsewhere with no motion
    // in between, as a gesture controller's touch does (its finger's motion scrolls).
    for (const QPointF release : {QPointF(150, 150), QPointF(250, 200)}) {
        e.press(QPointF(150, 150));
        QTest::qWait(300);
        e.release(release);
        EXPECT_EQ((*e.a)->frame(), QRectF(100, 100, 200, 100));
        EXPECT_EQ(e.undo().undoCount(), steps);
    }

    // Dragging one of two selected objects moves both.
    e.click(QPointF(150, 150));
    e.click(QPointF(450, 150), Qt::ControlModifier);
    // (Far enough from the screen's centre line that snapping leaves the move as it is.)
    e.drag(QPointF(450, 150), QPointF(455, 170));
    EXPECT_EQ((*e.a)->frame(), QRectF(105, 120, 200, 100));
    EXPECT_EQ((*e.b)->frame(), QRectF(405, 120, 100, 100));
    EXPECT_EQ(e.undo().undoCount(), steps + 1);
}

TEST(Moving, AnObjectRemovedMidDragIsLeftAloneAndNoChangeStaysOpen)
{
    Editor e;
    e.press(QPointF(150, 150));
    e.moveTo(e.at(QPointF(160, 160)));
    ASSERT_TRUE(e.handler->isTranslating());
    e.screen->removeMixedMediaObject(e.a);
    e.screen->updateNotifier().sendUpdateNotificationsIfNeeded();
    e.moveTo(e.at(QPointF(200, 200)));
    e.release(QPointF(200, 200));
    EXPECT_FALSE(e.handler->isTranslating());
    EXPECT_EQ(e.document->firstFlowmodel()->currentUndoableAction(), nullptr);
}

TEST(Nudging, OneStepPerPressAndNothingWhileTextIsEdited)
{
    Editor e;
    e.click(QPointF(150, 150));
    const int steps = e.undo().undoCount();
    for (int i = 0; i < 5; ++i)
        e.handler->nudge(1, 0, uint(Qt::ShiftModifier));
    EXPECT_EQ((*e.a)->frame(), QRectF(150, 100, 200, 100));
    EXPECT_EQ(e.undo().undoCount(), steps + 5);
    e.handler->nudge(0, 1, 0);
    EXPECT_EQ((*e.a)->frame(), QRectF(150, 101, 200, 100));

    auto text = e.add(ZERI_MixedMediaObject::Text, QRectF(100, 300, 300, 100));
    e.handler->setCurrentlySelected({e.container(text)});
    auto* view = dynamic_cast<QVR_AttributedTextMixedMediaElementView*>(e.container(text)->mixedMediaElementView());
    ASSERT_TRUE(view);
    view->setEditable(true);
    EXPECT_FALSE(e.handler->canRespondToArrows());
    e.handler->nudge(1, 0, 0);
    EXPECT_EQ((*text)->frame(), QRectF(100, 300, 300, 100));

    // Nothing selected: nothing moves, no step.
    e.handler->deselectAll();
    const int before = e.undo().undoCount();
    e.handler->nudge(1, 0, 0);
    EXPECT_EQ(e.undo().undoCount(), before);
}

namespace {
int snapLinesShown(const Editor& e)
{
    int count = 0;
    // A gesture keeps one guide view per direction; a view counts while it shows a line.
    for (QGraphicsItem* item : e.board.singleScreen()->scene()->items()) {
        const auto* view = dynamic_cast<QVR_SnapLineView*>(item);
        count += view && view->snapLine() ? 1 : 0;
    }
    return count;
}
} // namespace

TEST(Nudging, GuideLinesStayASecondAfterTheLastNudgeUnlessAGestureTakesOver)
{
    Editor e;
    SnappingUtils::sharedSnappingGrid().setSnappingIsDisabled(false);
    auto c = e.add(ZERI_MixedMediaObject::Shape, QRectF(918, 600, 100, 100));
    e.handler->setCurrentlySelected({e.container(c)});
    // One point right brings the right edge within reach of the screen's edge: it snaps there, and the line shows.
    QElapsedTimer clock;
    clock.start();
    e.handler->nudge(1, 0, 0);
    EXPECT_EQ((*c)->frame().x(), 924);
    EXPECT_EQ(snapLinesShown(e), 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return snapLinesShown(e) == 0; }, 3000));
    EXPECT_GE(clock.elapsed(), 900);

    // A drag that starts meanwhile keeps its own lines past the nudge's second.
    (*c)->setFrame(QRectF(918, 600, 100, 100));
    (*c)->updateNotifier().sendUpdateNotificationsIfNeeded();
    e.handler->nudge(1, 0, 0);
    ASSERT_EQ(snapLinesShown(e), 1);
    e.press(QPointF(950, 650));
    e.moveTo(e.at(QPointF(951, 650)));
    QTest::qWait(1300);
    EXPECT_EQ(snapLinesShown(e), 1);
    e.release(QPointF(951, 650));
    EXPECT_EQ(snapLinesShown(e), 0);
    SnappingUtils::sharedSnappingGrid().setSnappingIsDisabled(false);
}

TEST(Moving, ASnapShownWhileTheButtonIsDownIsWhereTheObjectStays)
{
    Editor e;
    SnappingUtils::sharedSnappingGrid().setSnappingIsDisabled(false);
    // Shape B (x 400) dragged left until its left edge is a few points from the screen's: where a guide shows
    // while the button is down, the object sits on it and stays there on release; where none shows, it stays
    // where the pointer put it. (A is moved out of the way, B off every line along y.)
    (*e.a)->setFrame(QRectF(600, 600, 100, 100));
    (*e.a)->updateNotifier().sendUpdateNotificationsIfNeeded();
    for (int rawX = 4; rawX <= 9; ++rawX) {
        SCOPED_TRACE(rawX);
        (*e.b)->setFrame(QRectF(400, 400, 100, 100));
        (*e.b)->updateNotifier().sendUpdateNotificationsIfNeeded();
        const QPointF from(450, 450), to(450 - 400 + rawX, 450);
        e.press(from);
        e.moveTo(e.at((from + to) / 2));
        e.moveTo(e.at(to));
        const QRectF shown = (*e.b)->frame();
        const int guides = snapLinesShown(e);
        EXPECT_EQ(guides == 1, shown.x() == 0) << shown.x();
        EXPECT_TRUE(shown.x() == 0 || shown.x() == rawX) << shown.x();
        e.release(to);
        EXPECT_EQ((*e.b)->frame(), shown);
        ASSERT_TRUE(e.undo().undo());
    }

    // A release away from the last move is one more step of the drag, snapping as any step does.
    (*e.b)->setFrame(QRectF(400, 400, 100, 100));
    (*e.b)->updateNotifier().sendUpdateNotificationsIfNeeded();
    e.press(QPointF(450, 450));
    e.moveTo(e.at(QPointF(300, 450)));
    e.release(QPointF(54, 450));
    EXPECT_EQ((*e.b)->frame().x(), 0);
}

TEST(Moving, ABoardClosingMidDragLeavesNoChangeOpen)
{
    Editor e;
    const int steps = e.undo().undoCount();
    e.press(QPointF(150, 150));
    e.moveTo(e.at(QPointF(170, 160)));
    ASSERT_NE(e.document->firstFlowmodel()->currentUndoableAction(), nullptr);
    delete e.handler;
    e.handler = nullptr;
    EXPECT_EQ(e.document->firstFlowmodel()->currentUndoableAction(), nullptr);
    EXPECT_EQ(e.undo().undoCount(), steps + 1);
    // The rest of the gesture reaches nobody.
    e.moveTo(e.at(QPointF(250, 250)));
    e.release(QPointF(250, 250));
    EXPECT_EQ((*e.a)->frame(), QRectF(120, 110, 200, 100));
}
