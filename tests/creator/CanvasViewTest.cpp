#include <QApplication>
#include <QContextMenuEvent>
#include <QGraphicsScene>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "CreatorTestSupport.h"
#include "app/AppOpenRequestUi.h"
#include "app/QVRWindowManager.h"
#include "app/ViewerWindowHandle.h"
#include "controls/MouseEventShieldWindow.h"
#include "controls/UniversalPopover.h"
#include "creator/CreatorLibrary.h"
#include "creator/canvas/QVR_ArtBoardScrollView.h"
#include "creator/canvas/QVR_CreatorCanvasView.h"
#include "creator/canvas/QVR_CreatorSingleScreen.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/interaction/QVR_InteractableViewHandler.h"
#include "creator/interaction/QVR_SelectedItemView.h"
#include "creator/thumbnails/QVRThumbnailBar.h"
#include "creator/toolbar/QVR_CreatorToolBarView.h"
#include "creator/toolbar/QVR_ToolbarButton.h"
#include "creator/window/CreatorPublishing.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "creator/window/WindowSizeLock.h"
#include "platform/UserDefaults.h"
#include "service/OpenRequestUi.h"
#include "service/QVROpenRequest.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

using namespace creator_test;

namespace {

// A shown creator window on a document of `screens` screens; the first screen holds one shape.
struct CanvasWindow {
    explicit CanvasWindow(int screens)
        : document(makeDocument(screens))
    {
        UserDefaults::setStoreFileForTesting(settings.filePath(QStringLiteral("defaults.conf")));
        registerCreatorLibrary();
        if (screens > 0) {
            shape = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Shape);
            (*shape)->setFrame(QRectF(100, 100, 200, 200));
            document->firstFlowmodel()->screenModels().front()->addMixedMediaObject(shape);
        }
        window = qobject_cast<QVR_CreatorWindow*>(QVRWindowManager::sharedInstance().makeCreatorWindow());
        window->resize(1280, 800);
        window->launchTessarineWithTessarineModel(document);
        window->show();
        QApplication::processEvents();
    }
    ~CanvasWindow()
    {
        delete window.data();
        UserDefaults::setStoreFileForTesting(QString());
    }
    QVR_CreatorCanvasView* canvas() const { return window->theCanvasView(); }
    QVR_InteractableViewHandler* handler(int index) const
    {
        return QVR_InteractableViewHandler::handlerForBoard(window->artboards()[static_cast<std::size_t>(index)]);
    }
    int visibleShields() const
    {
        int count = 0;
        for (auto* shield : window->findChildren<MouseEventShieldWindow*>())
            count += shield->isVisible() ? 1 : 0;
        return count;
    }

    QTemporaryDir settings;
    std::shared_ptr<ZERI_TessarineModel> document;
    std::shared_ptr<ZERI_MixedMediaObjectProxy> shape;
    QPointer<QVR_CreatorWindow> window;
};

struct RecordingPublishing : CreatorPublishing {
    int drafts = 0, publishes = 0;
    const ZERI_TessarineModel* lastDocument = nullptr;
    QWidget* lastWindow = nullptr;
    void saveDraft(const std::shared_ptr<ZERI_TessarineModel>& document, QWidget* window) override
    {
        ++drafts;
        lastDocument = document.get();
        lastWindow = window;
    }
    void publish(const std::shared_ptr<ZERI_TessarineModel>& document, QWidget* window, bool) override
    {
        ++publishes;
        lastDocument = document.get();
        lastWindow = window;
    }
    void unpublish(const std::shared_ptr<ZERI_TessarineModel>&, QWidget*) override {}
    void share(const std::shared_ptr<ZERI_TessarineModel>&, QWidget*) override {}
    bool hasPublishedCopy(const std::shared_ptr<ZERI_TessarineModel>&) const override { return false; }
};

// Stands in for the viewer and tablet preview windows: shows the document it is handed and records where play
// was asked to start.
class RecordingPlayer : public QWidget, public QVROpenRequestDelegate, public ViewerWindowHandle {
public:
    void openRequesterWantsToDisplayLoadingView(QObject*) override {}
    void openRequesterHasFinishedLoadingModel(const std::shared_ptr<ZERI_TessarineModel>& model) override
    {
        QVRWindowManager::sharedInstance().setDocumentForWindow(this, model, model->qvdID());
    }
    void scrollToPage(int page, bool animated) override { scrolls.push_back({page, animated}); }
    void showPresentationNotesIfAble() override { ++notes; }

    std::vector<std::pair<int, bool>> scrolls;
    int notes = 0;
};

// The application's window side of open requests, with recording players for both play modes.
struct PlayerWindows {
    PlayerWindows()
    {
        OpenRequestUi::registerUi(std::make_shared<AppOpenRequestUi>());
        QVRWindowManager::setViewerWindowFactory([this](const auto&) { return made(); });
        QVRWindowManager::setTabletPreviewWindowFactory([this] { return made(); });
    }
    ~PlayerWindows()
    {
        QVRWindowManager::setViewerWindowFactory({});
        QVRWindowManager::setTabletPreviewWindowFactory({});
        OpenRequestUi::registerUi(nullptr);
        for (const auto& player : players)
            delete player.data();
    }
    QWidget* made()
    {
        if (refuse)
            return nullptr;
        players.append(new RecordingPlayer);
        return players.back();
    }

    bool refuse = false;
    QList<QPointer<RecordingPlayer>> players;
};

} // namespace

TEST(CreatorCanvas, PlayStartsAtTheEditedScreenAndOnlyTheViewerOffersTheNotes)
{
    CanvasWindow f(3);
    PlayerWindows windows;
    f.window->theThumbnailBarView()->setSelectionIndexes({2});
    QApplication::processEvents();
    ASSERT_EQ(f.window->currentIndex(), 2);

    QTest::mouseClick(f.window->theToolBarView()->viewButton(), Qt::LeftButton);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !windows.players.empty() && !windows.players[0]->scrolls.empty(); }, 3000));
    RecordingPlayer* viewer = windows.players[0];
    EXPECT_EQ(viewer->scrolls, (std::vector<std::pair<int, bool>>{{2, false}}));
    EXPECT_EQ(viewer->notes, 1);
    EXPECT_EQ(QVRWindowManager::sharedInstance().documentForWindow(viewer), f.document);

    // The tablet preview starts at the edited screen too, without the notes.
    f.window->theThumbnailBarView()->setSelectionIndexes({1});
    QApplication::processEvents();
    f.window->performShowiPadPreview(0);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return windows.players.size() == 2 && !windows.players[1]->scrolls.empty(); }, 3000));
    EXPECT_EQ(windows.players[1]->scrolls, (std::vector<std::pair<int, bool>>{{1, false}}));
    EXPECT_EQ(windows.players[1]->notes, 0);
    EXPECT_EQ(viewer->scrolls.size(), 1u) << "the viewer already playing is left alone";

    // A document that cannot be played is only logged.
    windows.refuse = true;
    QVRWindowManager::sharedInstance().setDocumentForWindow(viewer, nullptr, QString());
    bool finished = false;
    auto probe = QVROpenRequest::request();
    probe->setOpenCue(f.document);
    probe->setOptions(QVROpenRequest::ViewerWindow);
    f.canvas()->launchViewMode();
    probe->open([&](const Error&) { finished = true; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished; }, 3000));
    QApplication::processEvents();
    EXPECT_EQ(windows.players.size(), 2);
    EXPECT_EQ(viewer->scrolls.size(), 1u);
    EXPECT_TRUE(f.window->isVisible());
}

TEST(CreatorCanvas, PlayWaitsForAShownScreen)
{
    CanvasWindow f(0);
    PlayerWindows windows;
    f.canvas()->launchViewMode();
    f.canvas()->launchiPadPreviewMode();
    QApplication::processEvents();
    EXPECT_TRUE(windows.players.empty());
}

TEST(CreatorCanvas, ADocumentWithoutScreensShowsTheLightGreyGround)
{
    CanvasWindow f(0);
    EXPECT_EQ(f.window->theArtBoard(), nullptr);
    const QImage picture = f.canvas()->grab().toImage();
    ASSERT_FALSE(picture.isNull());
    for (const QPoint point : {picture.rect().center(), QPoint(5, 5), picture.rect().bottomRight() - QPoint(5, 5)}) {
        const QColor colour = picture.pixelColor(point);
        EXPECT_NEAR(colour.red(), 227, 2) << point.x() << "," << point.y();
        EXPECT_NEAR(colour.green(), 227, 2);
        EXPECT_NEAR(colour.blue(), 227, 2);
    }
}

TEST(CreatorCanvas, PagingEndsTheOldBoardsCropClearsItsSelectionAndMovesTheFrame)
{
    CanvasWindow f(3);
    QVR_SelectedItemView* frame = f.window->selectedItemView();
    QVR_InteractableViewHandler* first = f.handler(0);
    ASSERT_TRUE(first);
    first->setCurrentlySelected(first->mainInteractableView()->elementContainers());
    ASSERT_EQ(first->currentlySelectedArray().size(), 1u);
    EXPECT_EQ(frame->scene(), f.window->artboards()[0]->theScrollView()->scene());

    QSignalSpy firstCrops(first, &QVR_InteractableViewHandler::croppingDidEnd);
    QSignalSpy secondCrops(f.handler(1), &QVR_InteractableViewHandler::croppingDidEnd);
    // Page through the thumbnail bar, as a click on a thumbnail does.
    f.window->theThumbnailBarView()->setSelectionIndexes({1});
    QApplication::processEvents();
    ASSERT_EQ(f.window->currentIndex(), 1);
    ASSERT_EQ(firstCrops.size(), 1);
    EXPECT_TRUE(firstCrops.front().front().toBool()) << "the crop is cancelled";
    EXPECT_TRUE(first->currentlySelectedArray().empty());
    EXPECT_EQ(frame->scene(), f.window->artboards()[1]->theScrollView()->scene());
    EXPECT_DOUBLE_EQ(frame->zValue(), QVR_SelectedItemView::kZValue);

    // Showing the shown board again ends nothing.
    f.window->setCurrentIndex(1);
    EXPECT_EQ(secondCrops.size(), 0);
    EXPECT_EQ(firstCrops.size(), 1);

    // Deleting every screen leaves the frame in no scene and the ground showing.
    auto flow = f.document->firstFlowmodel();
    while (!flow->screenModels().empty())
        flow->removeFlowScreen(flow->screenModels().back());
    flow->updateNotifier().sendUpdateNotificationsIfNeeded();
    QApplication::processEvents();
    EXPECT_EQ(f.window->theArtBoard(), nullptr);
    EXPECT_EQ(frame->scene(), nullptr);
}

TEST(CreatorCanvas, TheAddScreenChooserHoldsTheWindowUnderOneShield)
{
    CanvasWindow f(3);
    const QSize minimum = f.window->minimumSize(), maximum = f.window->maximumSize();
    auto* addButton = f.window->theThumbnailBarView()->findChildren<QPushButton*>().value(0);
    ASSERT_TRUE(addButton);
    QTest::mouseClick(addButton, Qt::LeftButton);
    QPointer<UniversalPopover> popover = f.window->addScreenPopover();
    ASSERT_TRUE(popover);
    MouseEventShieldWindow* shield = f.canvas()->shield();
    ASSERT_TRUE(shield);
    EXPECT_TRUE(shield->isAncestorOf(popover)) << "the chooser sits in the shield";
    EXPECT_EQ(f.visibleShields(), 1);
    EXPECT_EQ(f.window->minimumSize(), f.window->size());
    EXPECT_EQ(f.window->maximumSize(), f.window->size());

    // A click beside the chooser closes it and gives the window its limits back.
    QTest::mouseClick(shield->closeOnClickView(), Qt::LeftButton, {}, QPoint(3, 3));
    QApplication::processEvents();
    EXPECT_EQ(f.window->addScreenPopover(), nullptr);
    EXPECT_EQ(f.visibleShields(), 0);
    EXPECT_EQ(f.window->minimumSize(), minimum);
    EXPECT_EQ(f.window->maximumSize(), maximum);

    // A chooser opened again, then another panel's shield: one shield, one lock.
    QTest::mouseClick(addButton, Qt::LeftButton);
    ASSERT_TRUE(f.window->addScreenPopover());
    f.canvas()->presentShield({});
    QApplication::processEvents();
    EXPECT_EQ(f.visibleShields(), 1);
    EXPECT_EQ(WindowSizeLock::lockCount(f.window), 1);
    f.canvas()->dismissShield();
    EXPECT_EQ(WindowSizeLock::lockCount(f.window), 0);
    EXPECT_EQ(f.window->minimumSize(), minimum);
}

TEST(CreatorCanvas, SaveAndPublishGoToThePublishingPartOnceOneRegisters)
{
    CanvasWindow f(1);
    CreatorPublishing::registerPublishing(nullptr);
    EXPECT_FALSE(f.window->canSaveDraft());
    EXPECT_FALSE(f.window->canPublish());
    f.window->performSaveDraft(0); // inert, no crash

    auto publishing = std::make_shared<RecordingPublishing>();
    CreatorPublishing::registerPublishing(publishing);
    EXPECT_TRUE(f.window->canSaveDraft());
    f.window->performSaveDraft(0);
    f.window->performPublish(0);
    EXPECT_EQ(publishing->drafts, 1);
    EXPECT_EQ(publishing->publishes, 1);
    EXPECT_EQ(publishing->lastDocument, f.document.get());
    EXPECT_EQ(publishing->lastWindow, f.window.data());
    CreatorPublishing::registerPublishing(nullptr);
}

TEST(CreatorCanvas, RightClicksWaitWhileContentIsBeingAdded)
{
    CanvasWindow f(1);
    QVR_SingleScreenArtBoardView* board = f.window->theArtBoard();
    QWidget* viewport = board->theScrollView()->viewport();
    const QPoint beside(5, 5);
    auto rightClick = [&] {
        QContextMenuEvent event(QContextMenuEvent::Mouse, beside, viewport->mapToGlobal(beside));
        QApplication::sendEvent(viewport, &event);
        QApplication::processEvents();
    };
    bool adding = true;
    f.canvas()->setIsAddingContentProvider([&adding] { return adding; });
    rightClick();
    EXPECT_FALSE(board->rightClickMenu()->isVisible());
    adding = false;
    rightClick();
    EXPECT_TRUE(board->rightClickMenu()->isVisible());
    board->rightClickMenu()->hide();
}

TEST(CreatorCanvas, AMetaClickOpensTheMenuWhereItsEntriesInsert)
{
    CanvasWindow f(1);
    QVR_SingleScreenArtBoardView* board = f.window->theArtBoard();
    board->setZoomLevelWithoutNotification(0.5);
    QApplication::processEvents();
    QWidget* viewport = board->theScrollView()->viewport();
    const auto at = [board](const QPointF& p) { return board->theScrollView()->mapFromScene(p); };
    auto* shape = board->singleScreen()->containerForMixedMediaObject(f.shape);
    f.handler(0)->setCurrentlySelected({shape});
    const auto metaClick = [&](const QPointF& p) {
        QTest::mousePress(viewport, Qt::LeftButton, Qt::MetaModifier, at(p));
        QMenu* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QTest::mouseRelease(viewport, Qt::LeftButton, Qt::MetaModifier, at(p));
        return menu;
    };

    // On the screen: its menu; the selection stays as it was.
    QMenu* menu = metaClick(QPointF(600, 400));
    ASSERT_TRUE(menu);
    EXPECT_EQ(menu->title(), QStringLiteral("Screen Menu"));
    EXPECT_EQ(f.handler(0)->currentlySelectedArray().size(), 1u);
    // The bold "Insert..." entry opens the add-element menu, which centres what it adds on the clicked point.
    QAction* header = menu->actions().front();
    EXPECT_TRUE(header->isEnabled());
    header->trigger();
    menu->close();
    ASSERT_TRUE(f.canvas()->contentPopover());
    EXPECT_EQ(f.canvas()->insertionSuggestedCenter(), std::optional<QPointF>(QPointF(600, 400)));
    f.canvas()->dismissContentPopover();
    f.canvas()->dismissShield();

    // Beside the screen: the art board's menu; its entries insert there as well.
    menu = metaClick(QPointF(-20, 300));
    ASSERT_TRUE(menu);
    EXPECT_EQ(menu, board->rightClickMenu());
    menu->actions().front()->trigger();
    menu->close();
    ASSERT_TRUE(f.canvas()->contentPopover());
    EXPECT_EQ(f.canvas()->insertionSuggestedCenter(), std::optional<QPointF>(QPointF(-20, 300)));
    f.canvas()->dismissContentPopover();
    f.canvas()->dismissShield();
    menu = metaClick(QPointF(-20, 500));
    ASSERT_TRUE(menu);
    QAction* shapes = nullptr;
    for (QAction* action : menu->actions())
        if (action->data().toInt() == 7)
            shapes = action;
    ASSERT_TRUE(shapes);
    shapes->trigger();
    menu->close();
    EXPECT_EQ(f.canvas()->insertionSuggestedCenter(), std::optional<QPointF>(QPointF(-20, 500)));
    f.canvas()->dismissContentPopover();
    f.canvas()->dismissShield();
}
