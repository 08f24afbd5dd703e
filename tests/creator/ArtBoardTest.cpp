#include <QApplication>
#include <QMenu>
#include <QNativeGestureEvent>
#include <QPainter>
#include <QPointingDevice>
#include <QScrollBar>
#include <QStyleOptionGraphicsItem>
#include <QTest>

#include <gtest/gtest.h>

#include "CreatorTestSupport.h"
#include "app/QVRWindowManager.h"
#include "creator/canvas/QVR_ArtBoardScrollView.h"
#include "creator/canvas/QVR_CreatorSingleScreen.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/toolbar/QVR_ZoomMenuGeneratorObject.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

using namespace creator_test;

namespace {

// A window the window manager counts as a creator window, answering paste when told to.
class PastingWindow : public QWidget {
    Q_OBJECT
public:
    Q_INVOKABLE bool canPaste() const { return pasteAllowed; }
    Q_INVOKABLE void performPaste(uint modifierMask)
    {
        ++pastes;
        lastMask = modifierMask;
    }
    bool pasteAllowed = false;
    int pastes = 0;
    uint lastMask = 99;
};

// An art board in a creator window, with an 800 × 600 pixel viewport, showing screen "S0" of a document.
struct CreatorBoard {
    std::shared_ptr<ZERI_TessarineModel> document = makeDocument(1);
    QPointer<PastingWindow> window;
    QVR_SingleScreenArtBoardView* board = nullptr;

    CreatorBoard()
    {
        QVRWindowManager::setCreatorWindowFactory([] { return new PastingWindow; });
        window = static_cast<PastingWindow*>(QVRWindowManager::sharedInstance().makeCreatorWindow());
        QVRWindowManager::setCreatorWindowFactory({});
        board = new QVR_SingleScreenArtBoardView(window);
        board->setScreenModel(document->firstFlowmodel()->screenModels().front());
        board->show();
        setViewportSize(*board, 800, 600);
        window->resize(board->size());
        QApplication::processEvents();
    }
    ~CreatorBoard() { delete window; }
    QWidget* viewport() const { return board->theScrollView()->viewport(); }
    // Where the screen's top-left corner lies in the viewport, in pixels.
    QPointF screenOrigin() const { return board->theScrollView()->viewportTransform().map(QPointF(0, 0)); }
};

} // namespace

TEST(PreviewArtBoard, FitsExactlyAndOffersNoEditingOrZoomGestures)
{
    const auto document = makeDocument(1);
    QVR_SingleScreenArtBoardView board(nullptr, true);
    board.setScreenModel(document->firstFlowmodel()->screenModels().front());
    board.resize(800, 600);
    board.show();
    ASSERT_EQ(board.theScrollView()->viewport()->size(), QSize(800, 600)) << "no scroll bars take room";
    EXPECT_FALSE(board.theScrollView()->horizontalScrollBar()->isVisible());
    EXPECT_FALSE(board.theScrollView()->verticalScrollBar()->isVisible());
    ASSERT_TRUE(board.hasBuiltScene());

    board.zoomFitToScreen(false);
    EXPECT_NEAR(board.currentZoomLevel(), 0.78125, 0.0005) << "no margin outside a creator window";

    PostCounter zooms(QVR_SingleScreenArtBoardView::kZoomLevelChangedNotification);
    wheel(board.theScrollView()->viewport(), 3, Qt::AltModifier);
    wheel(board.theScrollView()->viewport(), -2, Qt::AltModifier, true);
    board.zoomInWithVelocity(10);
    EXPECT_NEAR(board.currentZoomLevel(), 0.78125, 0.0005);
    EXPECT_EQ(zooms.count, 0);

    EXPECT_EQ(board.rightClickMenu(), nullptr);
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, QPoint(5, 5), board.mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(board.theScrollView()->viewport(), &menuEvent);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);

    // The dark opaque surround above and below the screen, the white screen between.
    const QImage picture = board.theScrollView()->viewport()->grab().toImage();
    EXPECT_NEAR(greyAt(picture, QPoint(400, 2)), 51, 2);
    EXPECT_NEAR(greyAt(picture, QPoint(400, 597)), 51, 2);
    EXPECT_EQ(greyAt(picture, QPoint(400, 300)), 255);
}

TEST(ArtBoardZoom, FitInACreatorWindowKeepsAMarginAndCentresTheScreen)
{
    CreatorBoard f;
    f.board->zoomFitToScreen(false);
    EXPECT_NEAR(f.board->currentZoomLevel(), 0.7626, 0.0005);
    EXPECT_NEAR(f.screenOrigin().x(), 9.5, 0.5);
    EXPECT_NEAR(f.screenOrigin().y(), (600 - 748 * f.board->currentZoomLevel()) / 2, 1.0);

    // Zoomed in, the scroll range is the screen and, beyond each edge, room for the handles of what lies on it:
    // scrolled fully left, its left edge sits that far inside the viewport's.
    const double reach = QVR_SingleScreenArtBoardView::kOverlayReach;
    f.board->setZoomLevel(2.0, false);
    f.board->theScrollView()->horizontalScrollBar()->setValue(
        f.board->theScrollView()->horizontalScrollBar()->minimum());
    EXPECT_NEAR(f.screenOrigin().x(), reach, 0.5);
    f.board->theScrollView()->horizontalScrollBar()->setValue(
        f.board->theScrollView()->horizontalScrollBar()->maximum());
    EXPECT_NEAR(f.screenOrigin().x() + 1024 * 2.0, 800 - reach, 0.5);

    // The surround and its light mask fill the view; the screen stays white.
    f.board->zoomFitToScreen(false);
    const QImage picture = f.viewport()->grab().toImage();
    EXPECT_NEAR(greyAt(picture, QPoint(3, 300)), 223, 3);
    EXPECT_EQ(greyAt(picture, QPoint(400, 300)), 255);
}

TEST(ArtBoardZoom, LevelsAreLimitedAndOnlyNotifyingChangesPost)
{
    CreatorBoard f;
    PostCounter zooms(QVR_SingleScreenArtBoardView::kZoomLevelChangedNotification);
    PostCounter bounds(QVR_ArtBoardScrollView::kContentViewBoundsDidChangeNotification);

    f.board->setZoomLevel(1.5, false);
    EXPECT_DOUBLE_EQ(f.board->currentZoomLevel(), 1.5);
    EXPECT_EQ(zooms.count, 1);
    EXPECT_EQ(zooms.lastSender, f.window.data()) << "sent by the board's window";
    EXPECT_FLOAT_EQ(zooms.lastUserInfo[QVR_SingleScreenArtBoardView::kZoomLevelChangedKey].toFloat(), 1.5f);
    EXPECT_GE(bounds.count, 1) << "a zoom moves the visible bounds";

    f.board->setZoomLevelWithoutNotification(0.5);
    EXPECT_DOUBLE_EQ(f.board->currentZoomLevel(), 0.5);
    EXPECT_EQ(zooms.count, 1);

    f.board->setZoomLevel(20, false);
    EXPECT_DOUBLE_EQ(f.board->currentZoomLevel(), 10.0);
    f.board->setZoomLevel(0.05, false);
    EXPECT_DOUBLE_EQ(f.board->currentZoomLevel(), 0.1);
    EXPECT_EQ(zooms.count, 3);

    // Nothing to do: the level shown (also once limited), 0, negative levels other than fit, not a number.
    for (const double level : {0.1, 0.0500001, 0.0, -3.0, std::nan("")})
        f.board->setZoomLevel(level, false);
    f.board->setZoomLevel(0.1 + 1e-8, true);
    EXPECT_DOUBLE_EQ(f.board->currentZoomLevel(), 0.1);
    QTest::qWait(350);
    EXPECT_EQ(zooms.count, 3);
}

TEST(ArtBoardZoom, AnimatedZoomArrivesThenPostsAndSurvivesTheBoardGoing)
{
    CreatorBoard f;
    PostCounter zooms(QVR_SingleScreenArtBoardView::kZoomLevelChangedNotification);
    f.board->setZoomLevel(2.0, true);
    EXPECT_EQ(zooms.count, 0) << "posted when the handling runs";
    ASSERT_TRUE(QTest::qWaitFor([&] { return zooms.count == 1; }, 1000));
    EXPECT_DOUBLE_EQ(f.board->currentZoomLevel(), 2.0);

    f.board->setZoomLevel(-1, true);
    delete f.board;
    QTest::qWait(400);
    EXPECT_EQ(zooms.count, 1) << "a board gone before its handling posts nothing";
}

TEST(ArtBoardZoom, CtrlWheelZoomsAsTheAltWheelDoes)
{
    CreatorBoard f;
    ASSERT_DOUBLE_EQ(f.board->currentZoomLevel(), 1.0);
    PostCounter zooms(QVR_SingleScreenArtBoardView::kZoomLevelChangedNotification);
    wheel(f.viewport(), 2, Qt::ControlModifier);
    EXPECT_NEAR(f.board->currentZoomLevel(), 1.02, 1e-9);
    wheel(f.viewport(), -3, Qt::ControlModifier);
    EXPECT_NEAR(f.board->currentZoomLevel(), 0.99, 1e-9);
    EXPECT_EQ(zooms.count, 2);

    wheel(f.viewport(), -1, Qt::ControlModifier | Qt::ShiftModifier);
    wheel(f.viewport(), -1, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_NEAR(f.board->currentZoomLevel(), 0.99, 1e-9) << "only Ctrl or Alt alone zooms";
}

TEST(ArtBoardZoom, AltWheelAndPinchZoomWhileOtherWheelsScroll)
{
    CreatorBoard f;
    ASSERT_DOUBLE_EQ(f.board->currentZoomLevel(), 1.0);
    PostCounter zooms(QVR_SingleScreenArtBoardView::kZoomLevelChangedNotification);

    wheel(f.viewport(), 1, Qt::AltModifier);
    EXPECT_NEAR(f.board->currentZoomLevel(), 1.01, 1e-9);
    // An Alt wheel that arrives as a horizontal one zooms the same way.
    wheel(f.viewport(), -2, Qt::AltModifier, true);
    EXPECT_NEAR(f.board->currentZoomLevel(), 0.99, 1e-9);
    EXPECT_EQ(zooms.count, 2);

    QScrollBar* vertical = f.board->theScrollView()->verticalScrollBar();
    QScrollBar* horizontal = f.board->theScrollView()->horizontalScrollBar();
    const int verticalBefore = vertical->value();
    const int horizontalBefore = horizontal->value();
    PostCounter bounds(QVR_ArtBoardScrollView::kContentViewBoundsDidChangeNotification);
    wheel(f.viewport(), -1, Qt::AltModifier | Qt::ShiftModifier);
    wheel(f.viewport(), -1, Qt::NoModifier);
    EXPECT_NEAR(f.board->currentZoomLevel(), 0.99, 1e-9) << "only Alt alone zooms";
    EXPECT_TRUE(vertical->value() != verticalBefore || horizontal->value() != horizontalBefore);
    EXPECT_GE(bounds.count, 1);

    QNativeGestureEvent pinch(Qt::ZoomNativeGesture, QPointingDevice::primaryPointingDevice(), 2, QPointF(400, 300),
                              QPointF(400, 300), f.viewport()->mapToGlobal(QPointF(400, 300)), 0.25, QPointF(), 0);
    QApplication::sendEvent(f.viewport(), &pinch);
    EXPECT_NEAR(f.board->currentZoomLevel(), 1.24, 1e-9);
    QNativeGestureEvent pinchOut(Qt::ZoomNativeGesture, QPointingDevice::primaryPointingDevice(), 2, QPointF(400, 300),
                                 QPointF(400, 300), f.viewport()->mapToGlobal(QPointF(400, 300)), -5.0, QPointF(), 0);
    QApplication::sendEvent(f.viewport(), &pinchOut);
    EXPECT_DOUBLE_EQ(f.board->currentZoomLevel(), 0.1) << "limited";
}

TEST(ArtBoardMenu, OffersPasteAndTheZoomLevels)
{
    CreatorBoard f;
    QMenu* menu = f.board->rightClickMenu();
    ASSERT_TRUE(menu);
    EXPECT_EQ(menu->title(), "Screen Menu");
    QMenu* zoom = f.board->zoomLevelsMenu();
    ASSERT_TRUE(zoom);
    QStringList titles;
    for (QAction* action : zoom->actions())
        titles << (action->isSeparator() ? QStringLiteral("-") : action->text());
    EXPECT_EQ(titles, QStringList({"10%", "25%", "50%", "75%", "100%", "150%", "200%", "-",
                                   QVR_ZoomMenuGeneratorObject::stringForFitToScreenTitle()}));

    // Paste follows the window's answer and performs through it.
    f.board->validateMenuItems();
    EXPECT_FALSE(f.board->pasteAction()->isEnabled());
    f.window->pasteAllowed = true;
    f.board->validateMenuItems();
    EXPECT_TRUE(f.board->pasteAction()->isEnabled());
    f.board->pasteAction()->trigger();
    EXPECT_EQ(f.window->pastes, 1);
    EXPECT_EQ(f.window->lastMask, 0u);

    PostCounter zooms(QVR_SingleScreenArtBoardView::kZoomLevelChangedNotification);
    zoom->actions().at(2)->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return zooms.count == 1; }, 1000));
    EXPECT_DOUBLE_EQ(f.board->currentZoomLevel(), 0.5);
    zoom->actions().last()->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return zooms.count == 2; }, 1000));
    EXPECT_NEAR(f.board->currentZoomLevel(), 0.7626, 0.0005);

    // A title that is no level changes nothing.
    QAction stray(QStringLiteral("lots"));
    f.board->zoomMenuItemChosen(&stray);
    QTest::qWait(350);
    EXPECT_EQ(zooms.count, 2);
}

TEST(ArtBoardScene, BuiltWhenFirstShownAndRebuiltForAnotherScreen)
{
    const auto document = makeDocument(2);
    const auto& screens = document->firstFlowmodel()->screenModels();
    screens[1]->setBackgroundColor(Qt::red);
    QVR_SingleScreenArtBoardView board;
    board.setScreenModel(screens[0]);
    board.resize(400, 300);
    EXPECT_FALSE(board.hasBuiltScene());
    board.show();
    ASSERT_TRUE(board.hasBuiltScene());
    ASSERT_TRUE(board.singleScreen());
    EXPECT_EQ(board.singleScreen()->screenColor(), QColor(Qt::white)) << "a screen without a colour is white";

    board.setScreenModel(screens[1]);
    ASSERT_TRUE(board.singleScreen());
    EXPECT_EQ(board.singleScreen()->flowScreenModel(), screens[1]);
    EXPECT_EQ(board.singleScreen()->screenColor(), QColor(Qt::red));

    // Colour changes reach the screen; a colour removed shows white again.
    screens[1]->setBackgroundColor(Qt::blue);
    screens[1]->updateNotifier().sendUpdateNotificationsIfNeeded();
    EXPECT_EQ(board.singleScreen()->screenColor(), QColor(Qt::blue));
    screens[1]->setBackgroundColor(QColor());
    screens[1]->updateNotifier().sendUpdateNotificationsIfNeeded();
    EXPECT_EQ(board.singleScreen()->screenColor(), QColor(Qt::white));

    // The mask covers the shown area except the screen, above every element container.
    const QPainterPath mask = board.singleScreen()->maskPath();
    EXPECT_FALSE(mask.contains(QPointF(512, 374)));
    EXPECT_TRUE(mask.contains(board.singleScreen()->visibleArea().topLeft() + QPointF(1, 1)));
    EXPECT_TRUE(board.singleScreen()->visibleArea().contains(
        board.theScrollView()->mapToScene(board.theScrollView()->viewport()->rect()).boundingRect()));
}

TEST(ArtBoardScene, TheScreensShadowLooksLikeItsStackedLayersAtAnyZoomAndColour)
{
    const auto document = makeDocument(1);
    const auto screen = document->firstFlowmodel()->screenModels().front();
    QVR_SingleScreenArtBoardView board;
    board.setScreenModel(screen);
    board.resize(400, 300);
    board.show();
    board.setZoomLevelWithoutNotification(0.2); // the surround reaches far beyond the screen
    QVR_CreatorSingleScreen* item = board.singleScreen();
    ASSERT_TRUE(item);
    // The look: the light surround, four layers of black at 0.9 / 4 shrinking from two points around the screen
    // to half a point, then the screen on top.
    const auto layered = [item](QPainter& painter) {
        painter.fillRect(item->boundingRect(), QColor::fromRgbF(0.91f, 0.91f, 0.91f));
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor::fromRgbF(0, 0, 0, 0.9f / 4.0f));
        for (const double grow : {2.0, 1.5, 1.0, 0.5})
            painter.drawRect(item->screenRect().adjusted(-grow, -grow, grow, grow));
        painter.fillRect(item->screenRect(), item->screenColor());
    };
    // Around two opposite corners of the screen, which show every edge of every layer.
    const auto render = [item](QImage::Format format, double zoom, QPointF corner, const auto& draw) {
        QImage image(96, 64, format);
        image.fill(Qt::green);
        QPainter painter(&image);
        // On whole pixels too, where the layers' edges fall halfway between pixels' centres at some zooms.
        const QPointF offset = format == QImage::Format_RGB32 ? QPointF(32.3, 31.6) : QPointF(32, 31);
        painter.translate(offset - corner * zoom);
        painter.scale(zoom, zoom);
        draw(painter);
        return image;
    };
    QStyleOptionGraphicsItem option;
    const auto painted = [item, &option](QPainter& painter) { item->paint(&painter, &option, nullptr); };
    for (const QColor& color : {QColor(Qt::white), QColor(200, 30, 30), QColor(0, 0, 255, 120)}) {
        screen->setBackgroundColor(color);
        screen->updateNotifier().sendUpdateNotificationsIfNeeded();
        ASSERT_EQ(item->screenColor(), color);
        for (const QImage::Format format : {QImage::Format_RGB32, QImage::Format_ARGB32_Premultiplied}) {
            for (const double zoom : {1.0, 0.37, 0.5, 0.75, 0.83, 1.6, 2.25, 3.25}) {
                for (const QPointF& corner : {item->screenRect().topLeft(), item->screenRect().bottomRight()}) {
                    EXPECT_EQ(render(format, zoom, corner, painted), render(format, zoom, corner, layered))
                        << "colour " << color.name(QColor::HexArgb).toStdString() << ", zoom " << zoom << ", format "
                        << format << ", corner " << corner.x();
                }
            }
        }
    }
}

#include "ArtBoardTest.moc"
