#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "CreatorTestSupport.h"
#include "creator/snapping/SnappingGrid.h"
#include "creator/snapping/SnappingGridLineSet.h"
#include "creator/snapping/SnappingUtils.h"
#include "platform/UserDefaults.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

using namespace creator_test;
using Proxy = std::shared_ptr<ZERI_MixedMediaObjectProxy>;

namespace {

// Collects the creator's log lines while alive.
struct LogCapture {
    LogCapture()
    {
        lines().clear();
        previous =
            qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& text) { lines() << text; });
    }
    ~LogCapture() { qInstallMessageHandler(previous); }
    static QStringList& lines()
    {
        static QStringList stored;
        return stored;
    }
    QtMessageHandler previous = nullptr;
};

std::shared_ptr<SnappingGridLine> line(int relativePosition = SnapBeginning)
{
    auto l = std::make_shared<SnappingGridLine>();
    l->setRelativePosition(relativePosition);
    return l;
}

// A screen of the default 1024 × 748 size with objects, and the grid built for it.
struct Screen {
    Proxy add(int type, const QRectF& frame)
    {
        auto object = ZERI_MixedMediaObject::objectWithType(type);
        (*object)->setFrame(frame);
        screen->addMixedMediaObject(object);
        return object;
    }
    void setUp(const std::vector<Proxy>& tracked, int changeType = 1)
    {
        SnappingUtils::initializeSnappingGrid(grid, screen, QSizeF(30000, 30000));
        SnappingUtils::modelSnapping_setupSnappingGrid(grid, tracked, changeType);
    }
    double x(const Proxy& p) const { return (*p)->frame().x(); }

    QTemporaryDir settings;
    std::shared_ptr<ZERI_TessarineModel> document = makeDocument(1);
    std::shared_ptr<ZERI_FlowScreenModel> screen = document->firstFlowmodel()->screenModels().front();
    SnappingGrid grid;
};

} // namespace

TEST(SnappingGridLineSet, StoresLooksUpAndEmptiesOnlyWithinItsSlots)
{
    LogCapture log;
    SnappingGridLineSet set(SnapVertical, 5);
    for (int p = -1; p <= 5; ++p)
        EXPECT_FALSE(set.gridLineAtPosition(p)) << p;
    set.addGridLine(line(), 5);
    EXPECT_TRUE(LogCapture::lines().isEmpty());
    for (int p = 0; p <= 5; ++p)
        EXPECT_FALSE(set.gridLineAtPosition(p));
    set.addGridLine(line(), 6);
    set.addGridLine(line(), -1);
    ASSERT_EQ(LogCapture::lines().size(), 2);
    EXPECT_EQ(LogCapture::lines()[0],
              QStringLiteral("Ignoring an attempt to place a line at position:6 when size is:5"));
    EXPECT_EQ(LogCapture::lines()[1],
              QStringLiteral("Ignoring an attempt to place a line at position:-1 when size is:5"));

    auto first = line(), second = line(SnapEnd);
    set.addGridLine(first, 2);
    set.addGridLine(second, 2);
    set.addGridLine(line(), 4);
    EXPECT_EQ(set.gridLineAtPosition(2), second);
    EXPECT_EQ(second->hiddenIndexForDebugPurposes(), 2);
    set.empty();
    for (int p = 0; p < 5; ++p)
        EXPECT_FALSE(set.gridLineAtPosition(p));
    set.addGridLine(first, 1);
    EXPECT_EQ(set.gridLineAtPosition(1), first);
}

TEST(SnappingGridLineSet, RangeLookupAnswersTheNearestLineInTheDirectionOfMotion)
{
    LogCapture log;
    SnappingGridLineSet set(SnapHorizontal, 100);
    auto at10 = line(), at12 = line();
    set.addGridLine(at10, 10);
    set.addGridLine(at12, 12);
    EXPECT_EQ(set.gridLineWithinRange({9, 6}, 1, false), at10);
    EXPECT_EQ(set.gridLineWithinRange({9, 6}, -1, false), at12);
    EXPECT_FALSE(set.gridLineWithinRange({9, 7}, 1, false));
    EXPECT_FALSE(set.gridLineWithinRange({96, 6}, 1, false));
    EXPECT_EQ(set.subArrayWithRange({9, 4}).size(), 4u);
    EXPECT_TRUE(set.subArrayWithRange({98, 4}).empty());

    // Too close: within one slot of a line, and the window is cut at the set's start.
    SnappingGridLineSet spaced(SnapVertical, 200);
    spaced.addGridLine(line(), 100);
    spaced.addGridLine(line(), 3);
    for (int i : {99, 100, 101})
        EXPECT_TRUE(spaced.index(i, 1, 1)) << i;
    for (int i : {98, 102, 0})
        EXPECT_FALSE(spaced.index(i, 1, 1)) << i;
    EXPECT_TRUE(spaced.index(199, 1, 1) == false);

    // The description compresses runs of empty slots.
    const QString text = spaced.description();
    EXPECT_TRUE(text.contains(QStringLiteral("Orientation:Vert")));
    EXPECT_TRUE(text.contains(QStringLiteral("...not showing 94 indices...")));
    EXPECT_TRUE(text.contains(QStringLiteral("relPos:Beginning absPos:0.000000 hiddenIndex:100 orientation:Vertical "
                                             "belongsToParentView:N belongsToSnapView:N")));
}

TEST(SnappingGrid, WindowsAbsolutePositionsAndLineOrder)
{
    EXPECT_EQ(SnappingGrid::validRangeForDirection(1, 11, 6, 100).location, 11);
    // Behind an edge at 10 (searched from 9) the window is the six slots 4 to 9, as ahead it is 11 to 16.
    const SnapRange behind = SnappingGrid::validRangeForDirection(-1, 9, -6, 100);
    EXPECT_EQ(behind.location, 4);
    EXPECT_EQ(behind.length, 6);
    const SnapRange cut = SnappingGrid::validRangeForDirection(-1, 2, -6, 100);
    EXPECT_EQ(cut.location, 0);
    EXPECT_EQ(cut.length, 3);
    EXPECT_EQ(SnappingGrid::validRangeForDirection(1, 97, 6, 100).length, 3);
    EXPECT_EQ(SnappingGrid::validRangeForDirection(0, 50, 0, 100).length, 0);

    const QRectF frame(10, 20, 100, 51);
    const float expected[2][3] = {{10, 59, 109}, {20, 45, 70}};
    for (int o : {SnapVertical, SnapHorizontal}) {
        for (int r : {SnapBeginning, SnapMiddle, SnapEnd})
            EXPECT_EQ(SnappingUtils::getAbsolutePositionFromContentFrame(frame, o, r), expected[o][r]);
    }

    // Screen lines come first; an object line within one slot of an earlier line is dropped.
    Screen s;
    auto moving = s.add(ZERI_MixedMediaObject::Shape, QRectF(300, 300, 10, 10));
    s.add(ZERI_MixedMediaObject::Shape, QRectF(512, 100, 50, 50));
    s.setUp({moving});
    auto* vertical = s.grid.verticalSnappingGridLineSet();
    for (int p : {0, 511, 1023})
        ASSERT_TRUE(vertical->gridLineAtPosition(p)) << p;
    EXPECT_TRUE(vertical->gridLineAtPosition(511)->belongsToParentView());
    EXPECT_FALSE(vertical->gridLineAtPosition(512));
    EXPECT_FALSE(vertical->gridLineAtPosition(300)); // the moving object brings no lines
    ASSERT_TRUE(vertical->gridLineAtPosition(561));
    EXPECT_FALSE(vertical->gridLineAtPosition(561)->belongsToParentView());
    EXPECT_EQ(vertical->gridLineAtPosition(561)->relativePosition(), SnapEnd);
    for (int p : {0, 373, 747})
        EXPECT_TRUE(s.grid.horizontalSnappingGridLineSet()->gridLineAtPosition(p)) << p;
}

TEST(SnappingGrid, MovesPickTheNearestLineAheadWithMiddleWinningTies)
{
    Screen s;
    auto o = s.add(ZERI_MixedMediaObject::Shape, QRectF(918, 200, 100, 100));
    s.setUp({o});
    (*o)->setFrame(QRectF(919, 200, 100, 100));
    s.grid.modelSnapping_handleTranslation(QPointF(1, 0));
    EXPECT_EQ(s.x(o), 924);
    ASSERT_TRUE(s.grid.snappedTo_vertical());
    EXPECT_TRUE(s.grid.snappedTo_vertical()->connectedTo->belongsToParentView());
    EXPECT_FALSE(s.grid.snappedTo_horizontal());

    // The line seven slots ahead is out of reach.
    (*o)->setFrame(QRectF(917, 200, 100, 100));
    s.setUp({o});
    s.grid.modelSnapping_handleTranslation(QPointF(0, 0));
    const auto connection = s.grid.checkForSnapConnectionWithFrame((*o)->frame(), SnapVertical, QPointF(1, 0));
    EXPECT_FALSE(connection);

    // Moving left the reach is the same six slots: a line seven behind is not found, one six behind is, and a
    // snap found there holds when the pointer stops.
    EXPECT_FALSE(s.grid.checkForSnapConnectionWithFrame(QRectF(931, 200, 100, 100), SnapVertical, QPointF(-1, 0)));
    EXPECT_EQ(s.grid.checkForSnapConnectionWithFrame(QRectF(930, 200, 100, 100), SnapVertical, QPointF(-1, 0))
                  ->snappedFrame.x(),
              924);
    (*o)->setFrame(QRectF(936, 200, 100, 100));
    s.setUp({o});
    (*o)->setFrame(QRectF(930, 200, 100, 100));
    s.grid.modelSnapping_handleTranslation(QPointF(-6, 0));
    EXPECT_EQ(s.x(o), 924);
    (*o)->setFrame(QRectF(930, 200, 100, 100));
    s.grid.modelSnapping_handleTranslation(QPointF(-6, 0));
    EXPECT_EQ(s.x(o), 924);

    Screen tie;
    auto tracked = tie.add(ZERI_MixedMediaObject::Shape, QRectF(100, 200, 101, 50));
    tie.add(ZERI_MixedMediaObject::Shape, QRectF(54, 500, 50, 20));
    tie.add(ZERI_MixedMediaObject::Shape, QRectF(153, 600, 30, 20));
    tie.setUp({tracked});
    const auto chosen = tie.grid.checkForSnapConnectionWithFrame((*tracked)->frame(), SnapVertical, QPointF(1, 0));
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->connectedFrom, SnapMiddle);
    EXPECT_EQ(chosen->snappedFrame.x(), 103);
}

TEST(SnappingGrid, SnapsHoldThroughSixPointsOfDriftAndNudgesLetGo)
{
    Screen s;
    auto o = s.add(ZERI_MixedMediaObject::Shape, QRectF(918, 200, 100, 100));
    s.setUp({o});
    const auto dragTo = [&](double t) {
        (*o)->setFrame(QRectF(918 + t, 200, 100, 100));
        s.grid.modelSnapping_handleTranslation(QPointF(t, 0));
    };
    dragTo(1);
    EXPECT_EQ(s.x(o), 924);
    dragTo(12);
    EXPECT_EQ(s.x(o), 924);
    dragTo(13);
    EXPECT_EQ(s.x(o), 931);
    EXPECT_FALSE(s.grid.snappedTo_vertical());

    // Starting on the line, a small drag holds; a nudge leaves at once.
    (*o)->setFrame(QRectF(924, 200, 100, 100));
    s.setUp({o});
    (*o)->setFrame(QRectF(925, 200, 100, 100));
    s.grid.modelSnapping_handleTranslation(QPointF(1, 0));
    EXPECT_EQ(s.x(o), 924);
    s.setUp({o});
    (*o)->setFrame(QRectF(925, 200, 100, 100));
    s.grid.modelSnapping_handleTranslation(QPointF(1, 0), true);
    EXPECT_EQ(s.x(o), 925);

    // Abutting another object, and a disabled grid that changes nothing.
    Screen abut;
    auto moving = abut.add(ZERI_MixedMediaObject::Shape, QRectF(480, 200, 100, 100));
    abut.add(ZERI_MixedMediaObject::Shape, QRectF(600, 400, 100, 100));
    abut.setUp({moving});
    for (int t = 1; t <= 16; ++t) {
        (*moving)->setFrame(QRectF(480 + t, 200, 100, 100));
        abut.grid.modelSnapping_handleTranslation(QPointF(t, 0));
    }
    EXPECT_EQ(abut.x(moving), 500);
    ASSERT_TRUE(abut.grid.snappedTo_vertical());
    EXPECT_FALSE(abut.grid.snappedTo_vertical()->connectedTo->belongsToParentView());
    EXPECT_EQ(abut.grid.snappedTo_vertical()->connectedTo->absolutePosition(), 600);

    abut.grid.setSnappingIsDisabled(true);
    (*moving)->setFrame(QRectF(918, 200, 100, 100));
    abut.setUp({moving});
    (*moving)->setFrame(QRectF(919, 200, 100, 100));
    abut.grid.modelSnapping_handleTranslation(QPointF(1, 0));
    EXPECT_EQ(abut.x(moving), 919);
}

TEST(SnappingGrid, OffsetIsFlooredAndBadFramesAreLeftAlone)
{
    Screen s;
    auto left = s.add(ZERI_MixedMediaObject::Shape, QRectF(-50.5, 10, 20, 20));
    auto flat = s.add(ZERI_MixedMediaObject::Shape, QRectF(918, 200, 0, 100));
    s.setUp({flat});
    EXPECT_EQ(s.grid.modelOffset(), QPointF(-51, 0));
    ASSERT_TRUE(s.grid.verticalSnappingGridLineSet()->gridLineAtPosition(0));
    EXPECT_FALSE(s.grid.verticalSnappingGridLineSet()->gridLineAtPosition(0)->belongsToParentView());
    EXPECT_TRUE(s.grid.verticalSnappingGridLineSet()->gridLineAtPosition(51)->belongsToParentView());

    // A frame without width is not snapped along x.
    (*flat)->setFrame(QRectF(1022, 200, 0, 100));
    s.grid.modelSnapping_handleTranslation(QPointF(104, 0));
    EXPECT_EQ(s.x(flat), 1022);

    // An object removed mid-gesture is skipped quietly.
    s.setUp({left});
    s.screen->removeMixedMediaObject(left);
    s.grid.modelSnapping_handleTranslation(QPointF(3, 0));
    s.grid.modelSnapping_handleResize(QPointF(), 2, 1);
    EXPECT_EQ((*left)->frame(), QRectF(-50.5, 10, 20, 20));
}

TEST(SnappingGrid, SeveralObjectsLeftOfTheScreenAreBoundAndSnappedAsOne)
{
    Screen s;
    auto a = s.add(ZERI_MixedMediaObject::Shape, QRectF(-200, -100, 50, 50));
    auto b = s.add(ZERI_MixedMediaObject::Shape, QRectF(-160, -90, 50, 50));
    s.setUp({a, b});
    EXPECT_EQ(s.grid.frameForTrackedElements(), QRectF(-200, -100, 90, 60));
    EXPECT_EQ(s.grid.initialElementsFrame(), QRectF(-200, -100, 90, 60));

    // Dragged right until the pair's right edge is six points short of the screen: its End meets the screen's
    // Beginning line and the pair abuts the screen, both objects moving alike.
    for (const Proxy& p : {a, b})
        (*p)->setFrame((*p)->frame().translated(105, 0));
    s.grid.modelSnapping_handleTranslation(QPointF(105, 0));
    EXPECT_EQ(s.x(a), -90);
    EXPECT_EQ(s.x(b), -50);
    ASSERT_TRUE(s.grid.snappedTo_vertical());
    EXPECT_EQ(s.grid.snappedTo_vertical()->connectedFrom, SnapEnd);
    EXPECT_TRUE(s.grid.snappedTo_vertical()->connectedTo->belongsToParentView());
}

TEST(SnappingGrid, ResizesSnapOneEdgeAndKeepProportionsAndZoom)
{
    Screen s;
    auto image = s.add(ZERI_MixedMediaObject::Image, QRectF(100, 100, 200, 100));
    (*image)->setZoomScale(0.5);
    (*image)->setZoomOffset(QSizeF(10, 20));
    s.setUp({image}, 0);
    (*image)->setFrame(QRectF(100, 100, 540, 270));
    (*image)->setZoomScale(1.35);
    (*image)->setZoomOffset(QSizeF(27, 54));
    s.grid.modelSnapping_handleResize(QPointF(), 2, 1);
    EXPECT_EQ((*image)->frame(), QRectF(100, 100, 546, 273));
    EXPECT_NEAR((*image)->zoomScale().value_or(0), 1.365, 0.001);
    EXPECT_NEAR((*image)->zoomOffset().width(), 27.3, 0.001);
    EXPECT_NEAR((*image)->zoomOffset().height(), 54.6, 0.001);
    ASSERT_TRUE(s.grid.snappedTo_horizontal());
    EXPECT_EQ(s.grid.snappedTo_horizontal()->connectedTo->absolutePosition(), 373);
    EXPECT_FALSE(s.grid.snappedTo_vertical());

    Screen t;
    auto text = t.add(ZERI_MixedMediaObject::Text, QRectF(100, 100, 300, 100));
    t.setUp({text}, 0);
    (*text)->setFrame(QRectF(100, 100, 408, 270));
    t.grid.modelSnapping_handleResize(QPointF(), 2, 2);
    EXPECT_EQ((*text)->frame(), QRectF(100, 100, 411, 270));
    EXPECT_FALSE(t.grid.snappedTo_horizontal());

    // Two tracked elements: logged, no frame written.
    LogCapture log;
    auto other = t.add(ZERI_MixedMediaObject::Shape, QRectF(600, 600, 50, 50));
    t.setUp({text, other}, 0);
    (*text)->setFrame(QRectF(100, 100, 408, 300));
    t.grid.modelSnapping_handleResize(QPointF(), 2, 0);
    EXPECT_EQ((*text)->frame(), QRectF(100, 100, 408, 300));
    EXPECT_TRUE(LogCapture::lines().contains(QStringLiteral("WTF HOW ARE WE RESIZING 2 ELEMENTS?")));
}
