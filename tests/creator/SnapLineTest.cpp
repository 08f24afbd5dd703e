#include <algorithm>

#include <QApplication>
#include <QGraphicsScene>
#include <QMouseEvent>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "CreatorTestSupport.h"
#include "controls/ControlsArtwork.h"
#include "creator/canvas/QVR_ArtBoardScrollView.h"
#include "creator/canvas/QVR_CreatorSingleScreen.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/interaction/QVR_InteractableViewHandler.h"
#include "creator/interaction/QVR_InteractionModelUtils.h"
#include "creator/snapping/QVR_SnapLineView.h"
#include "creator/snapping/SnappingGrid.h"
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

// An editable board at zoom 1 with one object to drag, its handler, and snapping switched on.
struct Board {
    explicit Board(const QRectF& frame)
    {
        UserDefaults::setStoreFileForTesting(settings.filePath(QStringLiteral("defaults.conf")));
        QVR_InteractionModelUtils::setClickDetectionTimeDelay(0.2);
        ControlsArtwork::registerNamedImages();
        SnappingUtils::sharedSnappingGrid().setSnappingIsDisabled(false);
        object = add(frame);
        board.setScreenModel(screen);
        board.show();
        setViewportSize(board, 1100, 800);
        board.setZoomLevelWithoutNotification(1.0);
        QApplication::processEvents();
        handler = new QVR_InteractableViewHandler(&board);
    }
    ~Board()
    {
        SnappingUtils::sharedSnappingGrid().setSnappingIsDisabled(false);
        UserDefaults::setStoreFileForTesting(QString());
        QVR_InteractionModelUtils::resetClickDetectionTimeDelayCache();
    }
    Proxy add(const QRectF& frame)
    {
        auto added = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Shape);
        (*added)->setFrame(frame);
        screen->addMixedMediaObject(added);
        screen->updateNotifier().sendUpdateNotificationsIfNeeded();
        return added;
    }
    QWidget* viewport() const { return board.theScrollView()->viewport(); }
    QPoint at(const QPointF& p) const { return board.theScrollView()->mapFromScene(p); }
    void moveTo(const QPointF& p)
    {
        const QPoint pixel = at(p);
        QMouseEvent event(QEvent::MouseMove, QPointF(pixel), viewport()->mapToGlobal(QPointF(pixel)), Qt::NoButton,
                          Qt::LeftButton, {});
        QApplication::sendEvent(viewport(), &event);
    }
    std::vector<QVR_SnapLineView*> lines() const
    {
        std::vector<QVR_SnapLineView*> found;
        for (QGraphicsItem* item : board.singleScreen()->scene()->items()) {
            // A gesture keeps its views and empties the one whose orientation holds to no line.
            if (auto* line = dynamic_cast<QVR_SnapLineView*>(item); line && line->snapLine())
                found.push_back(line);
        }
        return found;
    }
    double x() const { return (*object)->frame().x(); }

    QTemporaryDir settings;
    std::shared_ptr<ZERI_TessarineModel> document = makeDocument(1);
    std::shared_ptr<ZERI_FlowScreenModel> screen = document->firstFlowmodel()->screenModels().front();
    Proxy object;
    QVR_SingleScreenArtBoardView board;
    QVR_InteractableViewHandler* handler = nullptr;
};

// The widest run of reddish pixels along row `y` of `image`.
int widestRedRun(const QImage& image, int y)
{
    int widest = 0, run = 0;
    for (int x = 0; x < image.width(); ++x) {
        const QColor c = image.pixelColor(x, y);
        const bool red = c.red() > 150 && c.green() < 150 && c.blue() < 150;
        run = red ? run + 1 : 0;
        widest = std::max(widest, run);
    }
    return widest;
}

// What the board's window last put on the screen, with the updates it asked for painted: not a fresh rendering,
// so a line left behind by a too small update shows.
QImage shownOnScreen(Board& b)
{
    QApplication::processEvents();
    return b.board.screen()->grabWindow(b.board.winId()).toImage();
}

// The snap views in the board's scene, showing a line or not.
std::vector<QVR_SnapLineView*> snapViews(Board& b)
{
    std::vector<QVR_SnapLineView*> found;
    for (QGraphicsItem* item : b.board.singleScreen()->scene()->items()) {
        if (auto* view = dynamic_cast<QVR_SnapLineView*>(item))
            found.push_back(view);
    }
    std::sort(found.begin(), found.end());
    return found;
}

// Widths of the runs of reddish pixels along the viewport row through `scenePoint`.
int redRunWidth(Board& b, const QPointF& scenePoint)
{
    return widestRedRun(b.viewport()->grab().toImage(), b.at(scenePoint).y());
}

} // namespace

TEST(SnapLines, DraggingSnapsToTheScreenEdgeAndShowsOneRedLineWhileHeld)
{
    Board b(QRectF(918, 200, 100, 100));
    QTest::mousePress(b.viewport(), Qt::LeftButton, {}, b.at(QPointF(950, 250)));
    b.moveTo(QPointF(951, 250));
    EXPECT_EQ(b.x(), 924);
    auto lines = b.lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines.front()->scenePosition(), 1023);
    EXPECT_EQ(lines.front()->snapLine()->orientation(), SnapVertical);
    EXPECT_EQ(QVR_SnapLineView::colorForSnapLine(*lines.front()->snapLine()), QColor(Qt::red));
    EXPECT_EQ(lines.front()->zValue(), QVR_SnapLineView::kZValue);
    // A thin line, about 1.5 pixels wide on screen (anti-aliasing may touch one more pixel).
    const int width = redRunWidth(b, QPointF(1023, 100));
    EXPECT_GE(width, 1);
    EXPECT_LE(width, 3);

    b.moveTo(QPointF(962, 250));
    EXPECT_EQ(b.x(), 924);
    b.moveTo(QPointF(963, 250));
    EXPECT_EQ(b.x(), 931);
    EXPECT_TRUE(b.lines().empty());
    b.moveTo(QPointF(951, 250));
    QTest::mouseRelease(b.viewport(), Qt::LeftButton, {}, b.at(QPointF(951, 250)));
    EXPECT_TRUE(b.lines().empty());

    // Starting on the line a small drag holds, but a nudge moves off it.
    (*b.object)->setFrame(QRectF(924, 200, 100, 100));
    b.screen->updateNotifier().sendUpdateNotificationsIfNeeded();
    (*b.object)->updateNotifier().sendUpdateNotificationsIfNeeded();
    QApplication::processEvents();
    QTest::mousePress(b.viewport(), Qt::LeftButton, {}, b.at(QPointF(950, 250)));
    b.moveTo(QPointF(951, 250));
    EXPECT_EQ(b.x(), 924);
    QTest::mouseRelease(b.viewport(), Qt::LeftButton, {}, b.at(QPointF(951, 250)));
    QTest::mouseClick(b.viewport(), Qt::LeftButton, {}, b.at(QPointF(950, 250)));
    ASSERT_EQ(b.handler->currentlySelectedArray().size(), 1u);
    b.handler->nudge(1, 0, 0);
    EXPECT_EQ(b.x(), 925);
    EXPECT_TRUE(b.lines().empty());
}

TEST(SnapLines, AnotherObjectsLineIsCyanAndDisabledSnappingLeavesTheMoveAlone)
{
    Board b(QRectF(480, 200, 100, 100));
    b.add(QRectF(600, 400, 100, 100));
    QTest::mousePress(b.viewport(), Qt::LeftButton, {}, b.at(QPointF(500, 250)));
    for (int t = 1; t <= 16; ++t)
        b.moveTo(QPointF(500 + t, 250));
    EXPECT_EQ(b.x(), 500);
    auto lines = b.lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines.front()->scenePosition(), 600);
    EXPECT_EQ(QVR_SnapLineView::colorForSnapLine(*lines.front()->snapLine()), QColor(Qt::cyan));
    QTest::mouseRelease(b.viewport(), Qt::LeftButton, {}, b.at(QPointF(516, 250)));
    EXPECT_TRUE(b.lines().empty());

    (*b.object)->setFrame(QRectF(918, 200, 100, 100));
    (*b.object)->updateNotifier().sendUpdateNotificationsIfNeeded();
    QApplication::processEvents();
    SnappingUtils::sharedSnappingGrid().setSnappingIsDisabled(true);
    QTest::mousePress(b.viewport(), Qt::LeftButton, {}, b.at(QPointF(950, 250)));
    b.moveTo(QPointF(951, 250));
    EXPECT_EQ(b.x(), 919);
    EXPECT_TRUE(b.lines().empty());
    QTest::mouseRelease(b.viewport(), Qt::LeftButton, {}, b.at(QPointF(951, 250)));
}

TEST(SnapLines, TheGestureMovesItsViewsInPlaceAndLeavesNoLineBehindOnScreen)
{
    Board b(QRectF(918, 200, 100, 100));
    QTest::mousePress(b.viewport(), Qt::LeftButton, {}, b.at(QPointF(950, 250)));
    b.moveTo(QPointF(951, 250));
    ASSERT_EQ(b.lines().size(), 1u);
    const std::vector<QVR_SnapLineView*> views = snapViews(b);
    ASSERT_EQ(views.size(), 2u);
    const QPoint row = b.viewport()->mapTo(&b.board, b.at(QPointF(1023, 100)));
    EXPECT_GE(widestRedRun(shownOnScreen(b), row.y()), 1);

    // Off the line and back on it, step by step: the same two views all along, and the screen shows the line
    // exactly while it holds.
    for (int round = 0; round < 2; ++round) {
        for (int x = 952; x <= 966; ++x) {
            b.moveTo(QPointF(x, 250));
            EXPECT_EQ(snapViews(b), views);
        }
        EXPECT_TRUE(b.lines().empty());
        EXPECT_EQ(widestRedRun(shownOnScreen(b), row.y()), 0);
        // Back towards the line until it holds again.
        for (int x = 965; x >= 940 && b.lines().empty(); --x)
            b.moveTo(QPointF(x, 250));
        ASSERT_EQ(b.lines().size(), 1u);
        EXPECT_EQ(b.lines().front()->scenePosition(), 1023);
        EXPECT_EQ(snapViews(b), views);
        EXPECT_GE(widestRedRun(shownOnScreen(b), row.y()), 1);
    }
    QTest::mouseRelease(b.viewport(), Qt::LeftButton, {}, b.at(QPointF(951, 250)));
    EXPECT_TRUE(snapViews(b).empty());
    EXPECT_EQ(widestRedRun(shownOnScreen(b), row.y()), 0);
}

TEST(SnapLines, WhatTheLinesRepaintMatchesAFreshPictureOfTheBoard)
{
    for (const double level : {1.0, 0.83}) {
        Board b(QRectF(918, 200, 100, 100));
        b.add(QRectF(600, 40, 60, 700));
        b.add(QRectF(20, 520, 990, 50));
        b.add(QRectF(-30, 300, 80, 40)); // sticks out of the screen, under the mask
        b.board.setZoomLevelWithoutNotification(level);
        QApplication::processEvents();
        // The board's part of the window as last put on the screen, against the viewport painted afresh.
        const auto matchesFreshPicture = [&b] {
            const QRect area(b.viewport()->mapTo(&b.board, QPoint(0, 0)), b.viewport()->size());
            const QImage shown = shownOnScreen(b).copy(area).convertToFormat(QImage::Format_RGB32);
            const QImage fresh = b.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
            return shown == fresh;
        };
        QTest::mousePress(b.viewport(), Qt::LeftButton, {}, b.at(QPointF(950, 250)));
        int withLines = 0;
        for (const QPointF& to : {QPointF(951, 250), QPointF(958, 262), QPointF(966, 270), QPointF(940, 241),
                                  QPointF(700, 300), QPointF(640, 330), QPointF(560, 370), QPointF(951, 250)}) {
            b.moveTo(to);
            withLines += b.lines().empty() ? 0 : 1;
            EXPECT_TRUE(matchesFreshPicture()) << "zoom " << level << ", at " << to.x() << ", " << to.y();
        }
        EXPECT_GE(withLines, 2);
        // The board zooms while a line is held; the line then goes and comes back at the new scale.
        b.board.setZoomLevelWithoutNotification(level * 2);
        b.board.theScrollView()->centerOn(QPointF(1000, 250));
        QApplication::processEvents();
        ASSERT_EQ(b.lines().size(), 1u);
        b.moveTo(QPointF(966, 250));
        EXPECT_TRUE(b.lines().empty());
        EXPECT_TRUE(matchesFreshPicture()) << "zoomed to " << level * 2 << ", line gone";
        for (int x = 965; x >= 940 && b.lines().empty(); --x)
            b.moveTo(QPointF(x, 250));
        EXPECT_EQ(b.lines().size(), 1u);
        EXPECT_TRUE(matchesFreshPicture()) << "zoomed to " << level * 2 << ", line back";
        QTest::mouseRelease(b.viewport(), Qt::LeftButton, {}, b.at(QPointF(966, 250)));
        EXPECT_TRUE(matchesFreshPicture()) << "zoom " << level << ", released";
    }
}
