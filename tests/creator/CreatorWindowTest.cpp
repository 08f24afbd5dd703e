#include <QApplication>
#include <QMimeData>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "CreatorTestSupport.h"
#include "app/QVRWindowManager.h"
#include "creator/CreatorLibrary.h"
#include "creator/canvas/QVR_ArtBoardScrollView.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/toolbar/QVR_CreatorToolBarView.h"
#include "creator/interaction/QVR_SelectedItemView.h"
#include "controls/UniversalPopover.h"
#include "creator/TessarineThemeCatalogue.h"
#include "creator/thumbnails/QVRNewScreenSelectionViewController.h"
#include "creator/thumbnails/QVRThumbnailBar.h"
#include "creator/thumbnails/QVRThumbnailController.h"
#include "creator/thumbnails/QVRThumbnailObject.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "tessarine_data_model/UndoableAction.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

using namespace creator_test;

namespace {

QVR_CreatorWindow* makeWindow()
{
    registerCreatorLibrary();
    auto* window = qobject_cast<QVR_CreatorWindow*>(QVRWindowManager::sharedInstance().makeCreatorWindow());
    EXPECT_TRUE(window) << "the registered factory makes creator windows";
    return window;
}

// A creator window showing a document of three screens, its boards' viewports 800 × 600 pixels.
struct LoadedWindow {
    std::shared_ptr<ZERI_TessarineModel> document = makeDocument(3);
    std::shared_ptr<ZERI_FlowModel> flow = document->firstFlowmodel();
    QPointer<QVR_CreatorWindow> window = makeWindow();

    LoadedWindow()
    {
        window->launchTessarineWithTessarineModel(document);
        QApplication::processEvents();
    }
    ~LoadedWindow() { delete window; }
    void sizeBoards()
    {
        const QSize viewport = window->theArtBoard()->theScrollView()->maximumViewportSize();
        window->resize(window->size() + QSize(800, 600) - viewport);
        QApplication::processEvents();
    }
    std::vector<double> levels() const
    {
        std::vector<double> result;
        for (QVR_SingleScreenArtBoardView* board : window->artboards())
            result.push_back(board->currentZoomLevel());
        return result;
    }
    void deliver() { flow->updateNotifier().sendUpdateNotificationsIfNeeded(); }
};

} // namespace

TEST(CreatorWindowLaunch, OneBoardPerScreenAndTheFirstShown)
{
    LoadedWindow f;
    ASSERT_EQ(f.window->artboards().size(), 3u);
    ASSERT_EQ(f.window->theThumbnailBarView()->count(), 4) << "the last item adds a screen";
    EXPECT_EQ(f.window->currentIndex(), 0);
    EXPECT_EQ(f.window->theArtBoard(), f.window->artboards()[0]);
    EXPECT_TRUE(f.window->artboards()[0]->hasBuiltScene());
    EXPECT_FALSE(f.window->artboards()[1]->hasBuiltScene()) << "a board builds its scene when first shown";
    EXPECT_FALSE(f.window->artboards()[2]->hasBuiltScene());
    EXPECT_EQ(QVRWindowManager::sharedInstance().creatorWindowForModel(f.document), f.window.data());

    // Set up again on the unchanged flow: the same boards and thumbnail pictures.
    const auto boards = f.window->artboards();
    QWidget* firstPreview = f.window->thumbnailController()->screensArray()[0]->singleScreen();
    f.window->setupScreensFromFlowModelToScrollViews(f.flow);
    EXPECT_EQ(f.window->artboards(), boards);
    EXPECT_EQ(f.window->thumbnailController()->screensArray()[0]->singleScreen(), firstPreview);

    // Choosing a thumbnail shows its board.
    f.window->theThumbnailBarView()->setSelectionIndexes({2});
    EXPECT_EQ(f.window->theArtBoard(), f.window->artboards()[2]);
    EXPECT_TRUE(f.window->artboards()[2]->hasBuiltScene());

    // A document without flows changes nothing.
    auto empty = ZERI_TessarineModel::create();
    while (!empty->flowModels().empty())
        empty->removeFlowModel(empty->flowModels().front());
    f.window->launchTessarineWithTessarineModel(empty);
    EXPECT_EQ(f.window->currentModel(), f.document);
}

TEST(CreatorWindowLaunch, BoardsNeverShownMakeNoViewThenShowAtTheWindowsLevelAndTakeClicks)
{
    LoadedWindow f;
    auto shape = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Shape);
    (*shape)->setFrame(QRectF(400, 300, 200, 150));
    f.flow->screenModels()[2]->addMixedMediaObject(shape);
    f.window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(f.window));
    f.sizeBoards();
    QVR_SingleScreenArtBoardView* shown = f.window->theArtBoard();
    ASSERT_TRUE(QTest::qWaitFor([&] { return std::fabs(shown->currentZoomLevel() - 0.7626) < 5e-4; }, 2000));
    QTest::qWait(350);
    EXPECT_EQ(f.window->findChildren<QVR_ArtBoardScrollView*>().size(), 1) << "only the board shown has a view";
    for (const double level : f.levels())
        EXPECT_DOUBLE_EQ(level, shown->currentZoomLevel()) << "boards without a view fit as the one shown does";

    // A wider window, fitted again from the zoom menu: every board takes the shown board's fit.
    f.window->resize(f.window->size() + QSize(300, 120));
    QApplication::processEvents();
    NotificationCenter::defaultCenter().post(QVR_CreatorWindow::kScreenZoomLevelNotification, f.window.data(),
                                             {{QVR_CreatorWindow::kScreenZoomLevelScaleKey, -1.0}});
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown->currentZoomLevel() > 0.8; }, 2000));
    QTest::qWait(350);
    for (const double level : f.levels())
        EXPECT_NEAR(level, shown->currentZoomLevel(), 1e-6);
    EXPECT_EQ(f.window->findChildren<QVR_ArtBoardScrollView*>().size(), 1);

    shown->setZoomLevel(1.5, false);
    QApplication::processEvents();
    EXPECT_EQ(f.levels(), std::vector<double>({1.5, 1.5, 1.5}));

    // The third screen, first shown now, at the level every board has, and a click on its shape selects it.
    f.window->theThumbnailBarView()->setSelectionIndexes({2});
    QVR_SingleScreenArtBoardView* third = f.window->artboards()[2];
    ASSERT_EQ(f.window->theArtBoard(), third);
    ASSERT_TRUE(third->hasScrollView());
    QVR_ArtBoardScrollView* view = third->theScrollView();
    EXPECT_TRUE(view->isVisible());
    EXPECT_DOUBLE_EQ(view->transform().m11(), 1.5);
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->viewport()->width() > 900; }, 2000)) << "laid out with its board";
    const QPoint centre = view->mapFromScene(QPointF(500, 375));
    ASSERT_TRUE(view->viewport()->rect().contains(centre));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, centre);
    QApplication::processEvents();
    ASSERT_EQ(f.window->selectedItemView()->selectedViews().size(), 1u);
    EXPECT_FALSE(f.window->artboards()[1]->hasScrollView()) << "the screen passed over still has none";
}

TEST(CreatorWindowLaunch, DeletedScreensKeepTheShownOneOrItsNeighbour)
{
    LoadedWindow f;
    const auto screens = f.flow->screenModels();
    f.window->setCurrentIndex(2);
    f.flow->removeFlowScreen(screens[2]);
    f.deliver();
    ASSERT_EQ(f.window->artboards().size(), 2u);
    EXPECT_EQ(f.window->currentIndex(), 1) << "the new last screen";
    EXPECT_EQ(f.window->theThumbnailBarView()->count(), 3);

    f.flow->addFlowScreen(screens[2]);
    f.deliver();
    f.window->setCurrentIndex(2);
    f.flow->removeFlowScreen(screens[0]);
    f.deliver();
    EXPECT_EQ(f.window->theArtBoard()->screenModel(), screens[2]) << "the shown screen stays shown";
    EXPECT_EQ(f.window->currentIndex(), 1);

    f.flow->removeFlowScreen(screens[1]);
    f.flow->removeFlowScreen(screens[2]);
    f.deliver();
    EXPECT_TRUE(f.window->artboards().empty());
    EXPECT_EQ(f.window->currentIndex(), -1);
    EXPECT_EQ(f.window->theArtBoard(), nullptr) << "no screens: no board shows";
    EXPECT_EQ(f.window->theThumbnailBarView()->count(), 1);
    EXPECT_EQ(f.window->currentlyDisplayedSingleScreen(), nullptr);
}

TEST(CreatorWindowZoom, OneLevelForEveryBoardWithoutEchoes)
{
    LoadedWindow f;
    f.sizeBoards();
    QVR_SingleScreenArtBoardView* shown = f.window->theArtBoard();
    // The zoom restore after launch fits a new window's screens.
    EXPECT_TRUE(QTest::qWaitFor([&] { return std::fabs(shown->currentZoomLevel() - 0.7626) < 5e-4; }, 2000));
    QTest::qWait(350); // every board's handling has run
    const QPointF origin = shown->theScrollView()->viewportTransform().map(QPointF(0, 0));
    EXPECT_NEAR(origin.x(), 9.5, 0.5);

    PostCounter zooms(QVR_SingleScreenArtBoardView::kZoomLevelChangedNotification);
    shown->setZoomLevel(1.5, false);
    QApplication::processEvents();
    EXPECT_EQ(f.levels(), std::vector<double>({1.5, 1.5, 1.5}));
    EXPECT_EQ(zooms.count, 1) << "boards given the level by the window post nothing";

    auto choose = [&](double level) {
        NotificationCenter::defaultCenter().post(QVR_CreatorWindow::kScreenZoomLevelNotification, f.window.data(),
                                                 {{QVR_CreatorWindow::kScreenZoomLevelScaleKey, level}});
    };
    choose(-1);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const auto levels = f.levels();
            return std::all_of(levels.begin(), levels.end(), [](double l) { return std::fabs(l - 0.7626) < 5e-4; });
        },
        1000));
    choose(20);
    EXPECT_TRUE(QTest::qWaitFor([&] { return f.levels() == std::vector<double>({10, 10, 10}); }, 2000));
    choose(0.05);
    EXPECT_TRUE(QTest::qWaitFor([&] { return f.levels() == std::vector<double>({0.1, 0.1, 0.1}); }, 2000));
    QTest::qWait(350); // every board's handling has run
    const int posted = zooms.count;
    choose(0.1);
    QTest::qWait(350);
    EXPECT_EQ(zooms.count, posted) << "the level shown posts nothing";

    // Another window's level does not reach this one.
    NotificationCenter::defaultCenter().post(QVR_CreatorWindow::kScreenZoomLevelNotification, nullptr,
                                             {{QVR_CreatorWindow::kScreenZoomLevelScaleKey, 2.0}});
    QTest::qWait(350);
    EXPECT_EQ(f.levels(), std::vector<double>({0.1, 0.1, 0.1}));
}

TEST(CreatorWindowUndo, UndoPagesToTheEditedScreen)
{
    LoadedWindow f;
    const auto screens = f.flow->screenModels();
    f.window->setCurrentIndex(1);
    f.flow->beginUndoableChanges();
    f.flow->currentUndoableAction()->setUserInfo({{"screenToPageTo", screens[1]->internalID()}});
    screens[1]->setBackgroundColor(Qt::red);
    f.flow->endUndoableChanges();

    f.window->setCurrentIndex(0);
    ASSERT_TRUE(f.flow->undoManager().undo());
    EXPECT_EQ(f.window->currentIndex(), 1);
    f.window->setCurrentIndex(2);
    ASSERT_TRUE(f.flow->undoManager().redo());
    EXPECT_EQ(f.window->currentIndex(), 1);

    // A step without a screen to page to, or with an unknown one, keeps the shown screen.
    for (const QVariantMap& info : {QVariantMap(), QVariantMap{{"screenToPageTo", "nowhere"}}}) {
        f.flow->beginUndoableChanges();
        f.flow->currentUndoableAction()->setUserInfo(info);
        screens[2]->setBackgroundColor(Qt::green);
        f.flow->endUndoableChanges();
        f.window->setCurrentIndex(2);
        ASSERT_TRUE(f.flow->undoManager().undo());
        EXPECT_EQ(f.window->currentIndex(), 2);
    }

    // Undo in another document's flow leaves this window alone.
    const auto other = makeDocument(2);
    other->firstFlowmodel()->beginUndoableChanges();
    other->firstFlowmodel()->currentUndoableAction()->setUserInfo({{"screenToPageTo", "S0"}});
    other->firstFlowmodel()->screenModels()[0]->setBackgroundColor(Qt::blue);
    other->firstFlowmodel()->endUndoableChanges();
    ASSERT_TRUE(other->firstFlowmodel()->undoManager().undo());
    EXPECT_EQ(f.window->currentIndex(), 2);
}

TEST(CreatorWindowMends, AForkRelaunchesOnlyTheForkedDocumentsWindow)
{
    LoadedWindow a;
    LoadedWindow b;
    auto kept = makeDocument(1);
    auto post = [&](bool overwrite) {
        NotificationCenter::defaultCenter().post(
            ZERI_TessarineModel::forkCompletedNotification, a.document.get(),
            {{"overwrite", overwrite}, {"oldModel", QVariant::fromValue(ModelItemRef(kept))}});
    };
    post(true);
    EXPECT_EQ(a.window->currentModel(), a.document) << "an overwriting fork relaunches nothing";
    post(false);
    EXPECT_EQ(a.window->currentModel(), kept);
    ASSERT_EQ(a.window->artboards().size(), 1u);
    EXPECT_EQ(a.window->theArtBoard(), a.window->artboards().front()) << "the relaunched document's board shows";
    EXPECT_EQ(a.window->theArtBoard()->screenModel(), kept->firstFlowmodel()->screenModels().front());
    EXPECT_EQ(b.window->currentModel(), b.document);
}

TEST(CreatorWindowMends, TheSideMenuOpensToItsWidth)
{
    LoadedWindow f;
    EXPECT_EQ(f.window->sideBarWidth(), 0);
    f.document->setSideMenuOpen(true);
    f.document->updateNotifier().sendUpdateNotificationsIfNeeded();
    EXPECT_EQ(f.window->sideBarWidth(), 240);
    f.document->setSideMenuOpen(false);
    f.document->updateNotifier().sendUpdateNotificationsIfNeeded();
    EXPECT_EQ(f.window->sideBarWidth(), 0);
}

TEST(CreatorWindowLook, TitleStripThumbnailsAndACentredScreen)
{
    LoadedWindow f;
    f.window->resize(1280, 800);
    QApplication::processEvents();
    QTest::qWait(450);
    const QImage picture = f.window->grab().toImage();
    ASSERT_EQ(picture.size(), QSize(1280, 800));
    EXPECT_EQ(f.window->titleBarRect().height(), 72);
    EXPECT_EQ(f.window->theThumbnailBarView()->count(), 4);

    QVR_SingleScreenArtBoardView* board = f.window->theArtBoard();
    const QPoint centre = board->mapTo(f.window, board->rect().center());
    EXPECT_EQ(qGray(picture.pixel(centre)), 255) << "the white screen in the middle of the board";
    const QPoint beside = board->mapTo(f.window, QPoint(3, board->height() / 2));
    EXPECT_NEAR(qGray(picture.pixel(beside)), 223, 3) << "the surround";
    EXPECT_LT(board->mapTo(f.window, QPoint(0, 0)).y(), 800 - f.window->theThumbnailBarView()->height());
}

namespace {

TEST(CreatorWindowThumbnails, TheBarReordersAndItsSelectionPagesTheCanvas)
{
    LoadedWindow f;
    QVRThumbnailBar* bar = f.window->theThumbnailBarView();
    ASSERT_EQ(bar->creatorWindow(), f.window.data());
    const auto screens = f.flow->screenModels();
    QWidget* preview = f.window->thumbnailController()->screensArray()[0]->singleScreen();

    // The first screen dropped just before the add item becomes the last; its preview moves with it.
    std::unique_ptr<QMimeData> mime(bar->writeItemsAtIndexes({0}));
    const QRect addItem = bar->frameForItemAtIndex(3);
    const QPoint at(addItem.left() + 4, addItem.center().y());
    QDragEnterEvent enter(at, Qt::MoveAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(bar, &enter);
    QDragMoveEvent move(at, Qt::MoveAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(bar, &move);
    QDropEvent drop(at, Qt::MoveAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(bar, &drop);
    EXPECT_TRUE(drop.isAccepted());
    QApplication::processEvents();
    ASSERT_EQ(f.flow->screenModels().back(), screens[0]);
    EXPECT_EQ(f.window->artboards().back()->screenModel(), screens[0]);
    EXPECT_EQ(f.window->thumbnailController()->screensArray()[2]->singleScreen(), preview);

    bar->setSelectionIndexes({1});
    EXPECT_EQ(f.window->theArtBoard()->screenModel(), f.flow->screenModels()[1]);
    f.window->setCurrentIndex(2);
    EXPECT_EQ(bar->currentIndex(), 2);
}

} // namespace

namespace {

class BlankOnlyCatalogue : public TessarineThemeCatalogue {
public:
    std::shared_ptr<ZERI_TessarineModel> blank = makeDocument(3);
    bool hasTheme(const QString& id) const override { return id == kBlankThemeID; }
    std::shared_ptr<ZERI_TessarineModel> sampleDocument(const QString& id) const override
    {
        return id == kBlankThemeID ? blank : nullptr;
    }
};

TEST(CreatorWindowThumbnails, TheAddItemOpensTheChooserWhosePickLandsAfterTheShownScreen)
{
    auto* catalogue = new BlankOnlyCatalogue;
    TessarineThemeCatalogue::setShared(std::unique_ptr<TessarineThemeCatalogue>(catalogue));
    {
        LoadedWindow f;
        f.window->show();
        f.window->setCurrentIndex(1);
        QVRThumbnailBar* bar = f.window->theThumbnailBarView();
        auto* addButton = bar->findChildren<QPushButton*>().value(0);
        ASSERT_TRUE(addButton);
        QTest::mouseClick(addButton, Qt::LeftButton);
        EXPECT_EQ(bar->currentIndex(), 1) << "the add item is never selected";
        UniversalPopover* popover = f.window->addScreenPopover();
        ASSERT_TRUE(popover);
        const auto tiles = popover->findChildren<QVR_NewScreenSelectionButton*>();
        ASSERT_EQ(tiles.size(), 3) << "a document without a theme is offered the blank screens";

        const int steps = f.flow->undoManager().undoCount();
        QTest::mouseClick(tiles[1], Qt::LeftButton);
        QApplication::processEvents();
        ASSERT_EQ(f.flow->screenModels().size(), 4u);
        EXPECT_EQ(f.flow->undoManager().undoCount(), steps + 1);
        EXPECT_NE(f.flow->screenModels()[2], catalogue->blank->firstFlowmodel()->screenModels()[1]) << "a copy";
        EXPECT_EQ(f.window->currentIndex(), 2);
        EXPECT_EQ(f.window->addScreenPopover(), nullptr) << "the popover closes";

        // From the toolbar's Add Screen with the keyboard on the canvas: Return picks, and the keyboard moves on
        // with the screen shown.
        f.window->activateWindow();
        f.window->giveKeyboardToCanvas();
        f.window->theToolBarView()->addScreenButtonPressed();
        ASSERT_TRUE(f.window->addScreenPopover());
        const auto keyed = f.window->addScreenPopover()->findChildren<QVR_NewScreenSelectionButton*>();
        ASSERT_EQ(keyed.size(), 3);
        QTest::keyClick(keyed[0], Qt::Key_Return);
        QApplication::processEvents();
        EXPECT_EQ(f.window->currentIndex(), 3);
        EXPECT_EQ(f.window->focusWidget(), f.window->theArtBoard()->theScrollView());
    }
    TessarineThemeCatalogue::setShared(nullptr);
}

} // namespace
