#include <memory>

#include <QAction>
#include <QScrollBar>

#include <cmath>
#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QJsonArray>
#include <QJsonObject>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include "CreatorTestSupport.h"
#include "app/QVRActionLog.h"
#include "app/QVRMainMenu.h"
#include "app/QVRWindowManager.h"
#include "app/QVRWindowManagerManagedWindow.h"
#include "controls/NavigationController.h"
#include "controls/NavigationControllerFriendlyViewController.h"
#include "controls/UniversalPopover.h"
#include "creator/CreatorLibrary.h"
#include "creator/canvas/QVR_ArtBoardScrollView.h"
#include "creator/canvas/QVR_CreatorCanvasView.h"
#include "creator/canvas/QVR_CreatorSingleScreen.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/interaction/QVR_InteractableViewHandler.h"
#include "creator/interaction/QVR_SelectedItemView.h"
#include "creator/toolbar/QVR_CreatorToolBarView.h"
#include "creator/toolbar/QVR_ToolbarButton.h"
#include "creator/window/CreatorContentAddition.h"
#include "creator/window/CreatorInspectorInterfaces.h"
#include "creator/window/CreatorOutput.h"
#include "creator/thumbnails/QVRThumbnailController.h"
#include "creator/thumbnails/QVRThumbnailObject.h"
#include "creator/window/CreatorPublishing.h"
#include "creator/window/QVRTopOfWindowDockToolbarView.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "foundation/Tessutils.h"
#include "platform/AlertPresenter.h"
#include "platform/FileChooser.h"
#include "platform/UserDefaults.h"
#include "strings/UFM.h"
#include "tessarine_data_model/UndoableAction.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Shape.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "strings/UFM.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

using namespace creator_test;
using Proxy = std::shared_ptr<ZERI_MixedMediaObjectProxy>;

namespace {

// Adds one 200 × 100 image per image on the clipboard, as one step paging to the screen, on the next turn.
class FakeAddition : public CreatorContentAddition {
public:
    bool running = false;
    bool fail = false;
    int calls = 0;
    bool lastWasDrag = false;
    QStringList supportedPasteboardTypes() const override { return {"text/uri-list", "application/x-qt-image"}; }
    void addObjectsFromMimeData(const QMimeData* data, const std::shared_ptr<ZERI_FlowScreenModel>& screen,
                                bool isDragOperation, QWidget*, Done done) override
    {
        ++calls;
        lastWasDrag = isDragOperation;
        const bool hasImage = data && data->hasImage();
        running = true;
        QTimer::singleShot(0, [this, hasImage, screen, done] {
            running = false;
            std::vector<Proxy> added;
            const auto flow = screen->nearestParentItemOfClass<ZERI_FlowModel>();
            if (hasImage && !fail && flow) {
                flow->beginUndoableChangesPagingToScreen(screen);
                auto image = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Image);
                (*image)->setFrame(QRectF(10, 10, 200, 100));
                screen->addMixedMediaObject(image);
                flow->endUndoableChanges();
                added.push_back(image);
            }
            done(added);
        });
    }
    bool isAddingContent(const std::shared_ptr<ZERI_TessarineModel>&) const override { return running; }
};

class FakeOutput : public CreatorOutput {
public:
    std::optional<Error> result;
    std::shared_ptr<ZERI_TessarineModel> document;
    QString path;
    bool gallery = false;
    int prints = 0;
    ExportCompletion pending;
    void exportDocument(const std::shared_ptr<ZERI_TessarineModel>& doc, const QString& to, bool includeGallery,
                        ExportCompletion completion) override
    {
        document = doc;
        path = to;
        gallery = includeGallery;
        pending = std::move(completion);
    }
    void printDocument(const std::shared_ptr<ZERI_TessarineModel>&, QWidget*) override { ++prints; }
    void finish() { std::exchange(pending, nullptr)(result); }
};

class FakePublishing : public CreatorPublishing {
public:
    bool published = false;
    int unpublishes = 0;
    void saveDraft(const std::shared_ptr<ZERI_TessarineModel>&, QWidget*) override {}
    void publish(const std::shared_ptr<ZERI_TessarineModel>&, QWidget*, bool) override {}
    void unpublish(const std::shared_ptr<ZERI_TessarineModel>&, QWidget*) override { ++unpublishes; }
    void share(const std::shared_ptr<ZERI_TessarineModel>&, QWidget*) override {}
    bool hasPublishedCopy(const std::shared_ptr<ZERI_TessarineModel>&) const override { return published; }
};

// A page of the dark panel that takes pastes.
class PastingPage : public NavigationControllerFriendlyViewController {
    Q_OBJECT
public:
    int pastes = 0;
    Q_INVOKABLE void paste() { ++pastes; }
};

// An active creator window on three screens "S0", "S1", "S2"; "S0" holds two overlapping shapes and an image.
struct CommandWindow {
    QTemporaryDir settings;
    RecordingAlertPresenter alerts;
    RecordingFileChooser chooser;
    std::shared_ptr<ZERI_TessarineModel> document = makeDocument(3);
    std::shared_ptr<ZERI_FlowModel> flow = document->firstFlowmodel();
    Proxy shapeA, shapeB, image;
    QPointer<QVR_CreatorWindow> window;

    CommandWindow()
    {
        UserDefaults::setStoreFileForTesting(settings.filePath(QStringLiteral("defaults.conf")));
        AlertPresenter::setShared(&alerts);
        FileChooser::setShared(&chooser);
        registerCreatorLibrary();
        // The clipboard starts empty: what an earlier test of this process copied is not this one's.
        QGuiApplication::clipboard()->clear();
        QApplication::processEvents();
        shapeA = add(ZERI_MixedMediaObject::Shape, QRectF(50, 50, 100, 100));
        shapeB = add(ZERI_MixedMediaObject::Shape, QRectF(100, 100, 100, 100));
        image = add(ZERI_MixedMediaObject::Image, QRectF(600, 50, 100, 100));
        window = qobject_cast<QVR_CreatorWindow*>(QVRWindowManager::sharedInstance().makeCreatorWindow());
        window->launchTessarineWithTessarineModel(document);
        window->show();
        window->activateWindow();
        QApplication::processEvents();
    }
    ~CommandWindow()
    {
        delete window.data();
        CreatorContentAddition::registerAddition(nullptr);
        CreatorOutput::registerOutput(nullptr);
        CreatorPublishing::registerPublishing(nullptr);
        CreatorCropState::setQuery({});
        CreatorInspectorFactories::shared().slideDurationEditor = {};
        AlertPresenter::setShared(nullptr);
        FileChooser::setShared(nullptr);
        UserDefaults::setStoreFileForTesting(QString());
    }
    Proxy add(int type, const QRectF& frame)
    {
        auto object = ZERI_MixedMediaObject::objectWithType(type);
        (*object)->setFrame(frame);
        flow->screenModels()[0]->addMixedMediaObject(object);
        return object;
    }
    std::shared_ptr<ZERI_FlowScreenModel> screen(int i) const { return flow->screenModels()[std::size_t(i)]; }
    QStringList ids() const
    {
        QStringList result;
        for (const auto& s : flow->screenModels())
            result << s->internalID();
        return result;
    }
    bool enabled(const char* action) const
    {
        return QVRWindowManager::sharedInstance().validateMenuItem(QString::fromLatin1(action));
    }
    bool perform(const char* action, uint mask = 0)
    {
        return QVRWindowManager::sharedInstance().performMenuAction(QString::fromLatin1(action), mask);
    }
    void select(const std::vector<Proxy>& objects)
    {
        window->currentlyDisplayedSingleScreen()->setSelectionsForMixedMediaObjects(objects);
    }
};

const char* const kObjectAndScreenCommands[] = {"cut",
                                                "copy",
                                                "deleteItems",
                                                "selectAll",
                                                "sendItemBackward",
                                                "sendItemToBack",
                                                "bringItemForward",
                                                "bringItemToFront",
                                                "nudgeRight",
                                                "shiftLeft",
                                                "changeBackgroundColor",
                                                "deleteScreen",
                                                "duplicateScreen"};

} // namespace

TEST(CreatorWindowCommands, EveryCommandIsKnownAndRefreshStaysDisabled)
{
    CommandWindow w;
    ASSERT_EQ(QVRWindowManager::sharedInstance().activeManagedWindow(), w.window.data());
    EXPECT_EQ(QVRWindowManagerManagedWindow::unknownMethods(w.window), QStringList());
    EXPECT_FALSE(w.enabled("refresh"));
    // The window carries the application's menus; their routed items follow its validators.
    ASSERT_TRUE(w.window->menuBar());
    QVRMainMenu::validate(w.window->menuBar());
    EXPECT_TRUE(QVRMainMenu::action(w.window->menuBar(), "duplicateScreen")->isEnabled());
    EXPECT_FALSE(QVRMainMenu::action(w.window->menuBar(), "refresh")->isEnabled());
}

TEST(CreatorWindowCommands, AWindowsMenusArrangeItsOwnSelectionWhicheverWindowIsActive)
{
    CommandWindow w;
    // An ellipse over a text, the two overlapping; another document's window opened after this one is active.
    auto text = w.add(ZERI_MixedMediaObject::Text, QRectF(300, 300, 400, 100));
    auto ellipse = w.add(ZERI_MixedMediaObject::Shape, QRectF(400, 250, 200, 200));
    ellipse->as<ZERI_MMObject_Shape>()->setShapeType(ZERI_MMObject_Shape::Ellipse);
    QApplication::processEvents();
    const auto otherDocument = makeDocument(1);
    QPointer<QVR_CreatorWindow> other =
        qobject_cast<QVR_CreatorWindow*>(QVRWindowManager::sharedInstance().makeCreatorWindow());
    other->launchTessarineWithTessarineModel(otherDocument);
    other->show();
    other->activateWindow();
    QApplication::processEvents();
    ASSERT_EQ(QVRWindowManager::sharedInstance().activeManagedWindow(), other.data());

    QVR_ArtBoardScrollView* view = w.window->theArtBoard()->theScrollView();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->mapFromScene(QPointF(500, 400)));
    QApplication::processEvents();
    ASSERT_EQ(w.window->selectedItemView()->selectedViews().size(), 1u);
    // What the object's own Backward button goes by.
    ASSERT_TRUE(w.screen(0)->mixedMediaObjectCanMoveBackward(ellipse));

    // The Edit menu opened from this window's bar offers both, and its Send Backward acts here.
    QMenuBar* bar = w.window->menuBar();
    QAction* edit = bar->actions().at(QVRMainMenu::EditMenu);
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(edit).center());
    ASSERT_TRUE(QTest::qWaitFor([&] { return edit->menu()->isVisible(); }, 2000));
    EXPECT_TRUE(QVRMainMenu::action(bar, "sendItemBackward")->isEnabled());
    EXPECT_TRUE(QVRMainMenu::action(bar, "sendItemToBack")->isEnabled());
    edit->menu()->hide();
    const int steps = w.flow->undoManager().undoCount();
    QVRMainMenu::action(bar, "sendItemBackward")->trigger();
    EXPECT_LT(w.screen(0)->indexOfMixedMediaObject(ellipse), w.screen(0)->indexOfMixedMediaObject(text));
    EXPECT_EQ(w.flow->undoManager().undoCount(), steps + 1);

    // Once behind, neither is offered, in this bar as in the object's button.
    QVRMainMenu::validate(bar);
    EXPECT_FALSE(w.screen(0)->mixedMediaObjectCanMoveBackward(ellipse));
    EXPECT_FALSE(QVRMainMenu::action(bar, "sendItemBackward")->isEnabled());
    EXPECT_FALSE(QVRMainMenu::action(bar, "sendItemToBack")->isEnabled());
    EXPECT_TRUE(QVRMainMenu::action(bar, "bringItemForward")->isEnabled());
    // The other window's bar speaks for the other window, which has nothing selected.
    QVRMainMenu::validate(other->menuBar());
    EXPECT_FALSE(QVRMainMenu::action(other->menuBar(), "bringItemForward")->isEnabled());
    delete other.data();
}

TEST(CreatorWindowCommands, TheDarkPanelDisablesObjectAndScreenCommandsAndTakesPastes)
{
    CommandWindow w;
    ASSERT_TRUE(w.perform("duplicateScreen"));
    w.window->setCurrentIndex(0);
    w.select({w.shapeA, w.shapeB});
    for (const char* action : kObjectAndScreenCommands)
        EXPECT_TRUE(w.enabled(action)) << action;

    auto output = std::make_shared<FakeOutput>();
    CreatorOutput::registerOutput(output);
    auto addition = std::make_shared<FakeAddition>();
    CreatorContentAddition::registerAddition(addition);
    auto* mime = new QMimeData;
    mime->setImageData(QImage(8, 8, QImage::Format_RGB32));
    QGuiApplication::clipboard()->setMimeData(mime);
    EXPECT_TRUE(w.enabled("paste"));

    auto* page = new PastingPage;
    QPointer<PastingPage> guard(page);
    w.window->presentDarkPanelWithRootViewController(page, true);
    ASSERT_TRUE(w.window->isDisplayingSheet());
    EXPECT_FALSE(w.window->theToolBarView()->isEnabled());
    // The panel covers the content below the menu bar, which stays reachable.
    QWidget* panelView = w.window->sheetLikeViewController()->view();
    EXPECT_EQ(panelView->geometry().top(), w.window->menuBar()->geometry().bottom() + 1);
    EXPECT_EQ(panelView->geometry().bottom(), w.window->contentView()->rect().bottom());
    for (const char* action : kObjectAndScreenCommands)
        EXPECT_FALSE(w.enabled(action)) << action;
    EXPECT_FALSE(w.enabled("paste"));
    // Undo, redo, export, print and the presenter note keep their own rules.
    EXPECT_TRUE(w.enabled("undo"));
    EXPECT_FALSE(w.enabled("redo"));
    EXPECT_TRUE(w.enabled("exportToPDF"));
    EXPECT_TRUE(w.enabled("print"));
    EXPECT_TRUE(w.enabled("setPresenterNote"));

    // A paste goes to the panel's page, not to the screen.
    const auto objects = w.screen(0)->mixedMediaObjects().size();
    w.window->performPaste(0);
    QApplication::processEvents();
    EXPECT_EQ(page->pastes, 1);
    EXPECT_EQ(addition->calls, 0);
    EXPECT_EQ(w.screen(0)->mixedMediaObjects().size(), objects);

    // The close button dismisses the panel and everything comes back.
    w.window->sheetLikeViewController()->closeButton()->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(w.window->isDisplayingSheet());
    EXPECT_TRUE(w.window->theToolBarView()->isEnabled());
    EXPECT_TRUE(w.enabled("deleteScreen"));
    EXPECT_TRUE(guard.isNull()) << "the page goes with its panel";
    QGuiApplication::clipboard()->clear();
}

TEST(CreatorWindowCommands, CroppingBlocksUndoAndAnAdditionBlocksPasteDeleteAndUndo)
{
    CommandWindow w;
    ASSERT_TRUE(w.perform("duplicateScreen"));
    ASSERT_TRUE(w.perform("duplicateScreen"));
    ASSERT_TRUE(w.perform("undo"));
    w.window->setCurrentIndex(0);
    EXPECT_TRUE(w.enabled("undo"));
    EXPECT_TRUE(w.enabled("redo"));
    bool cropping = true;
    CreatorCropState::setQuery([&cropping](const QWidget*) { return cropping; });
    EXPECT_FALSE(w.enabled("undo"));
    EXPECT_FALSE(w.enabled("redo"));
    EXPECT_FALSE(w.perform("undo"));
    cropping = false;
    EXPECT_TRUE(w.enabled("undo"));

    // The screen properties sheet holds the flow's open change: undo and redo wait for it.
    bool sheet = true;
    CreatorInspectorFactories::shared().screenPropertiesSheetShown = [&sheet](const QWidget*) { return sheet; };
    EXPECT_FALSE(w.enabled("undo"));
    EXPECT_FALSE(w.enabled("redo"));
    sheet = false;
    EXPECT_TRUE(w.enabled("redo"));
    CreatorInspectorFactories::shared().screenPropertiesSheetShown = {};

    auto addition = std::make_shared<FakeAddition>();
    CreatorContentAddition::registerAddition(addition);
    auto* mime = new QMimeData;
    mime->setImageData(QImage(8, 8, QImage::Format_RGB32));
    QGuiApplication::clipboard()->setMimeData(mime);
    w.select({w.shapeA});
    ASSERT_TRUE(w.enabled("deleteItems"));
    ASSERT_TRUE(w.enabled("paste"));
    EXPECT_TRUE(w.window->theToolBarView()->addScreenButton()->isEnabled());
    addition->running = true;
    CreatorContentAddition::postBusyChanged(w.document);
    EXPECT_TRUE(w.window->isAddingContent());
    for (const char* action : {"paste", "deleteItems", "undo", "redo", "deleteScreen", "cut"})
        EXPECT_FALSE(w.enabled(action)) << action;
    EXPECT_FALSE(w.window->theToolBarView()->insertButton()->isEnabled());
    EXPECT_FALSE(w.window->theToolBarView()->addScreenButton()->isEnabled());
    w.window->theToolBarView()->addScreenButtonPressed();
    EXPECT_FALSE(w.window->addScreenPopover());
    w.window->theToolBarView()->insertButtonPressed();
    EXPECT_FALSE(w.window->theCanvasView()->contentPopover());
    addition->running = false;
    CreatorContentAddition::postBusyChanged(w.document);
    EXPECT_TRUE(w.enabled("deleteItems"));
    EXPECT_TRUE(w.window->theToolBarView()->addScreenButton()->isEnabled());
    QGuiApplication::clipboard()->clear();
}

TEST(CreatorWindowCommands, TheAddScreenButtonOpensTheChooserBelowIt)
{
    CommandWindow w;
    QVR_CreatorToolBarView* toolbar = w.window->theToolBarView();
    ASSERT_TRUE(toolbar->addScreenButton()->isEnabled());
    QTest::mouseClick(toolbar->addScreenButton(), Qt::LeftButton);
    ASSERT_TRUE(w.window->addScreenPopover());
    QVR_CreatorCanvasView* canvas = w.window->theCanvasView();
    EXPECT_EQ(canvas->addScreenPopoverPosition(), 4);
    EXPECT_EQ(canvas->addScreenAnchorRect(), toolbar->popoverAnchorForButton(toolbar->addScreenButton()));
    w.window->dismissAddScreenPopover();
    EXPECT_FALSE(w.window->addScreenPopover());
}

TEST(CreatorWindowCommands, TheInsertButtonOpensTheAddMenuUnderItsColumn)
{
    CommandWindow w;
    w.window->resize(1280, 800);
    QApplication::processEvents();
    QVR_CreatorToolBarView* toolbar = w.window->theToolBarView();
    QVR_CreatorCanvasView* canvas = w.window->theCanvasView();
    ASSERT_TRUE(toolbar->insertButton()->isEnabled());
    QTest::mouseClick(toolbar->insertButton(), Qt::LeftButton);
    UniversalPopover* popover = canvas->contentPopover();
    ASSERT_TRUE(popover);
    // Below the whole toolbar, its arrow pointing up at the button.
    const QRect column = toolbar->popoverAnchorForButton(toolbar->insertButton());
    EXPECT_EQ(column.height(), toolbar->height());
    EXPECT_EQ(popover->arrowPosition(), UniversalPopover::ArrowPositionTop);
    const QPoint tip = popover->mapTo(w.window, popover->arrowTip().toPoint());
    EXPECT_NEAR(tip.x(), column.center().x(), 2);
    EXPECT_GE(tip.y(), column.bottom());
    canvas->dismissContentPopover();
    EXPECT_FALSE(canvas->contentPopover());
}

TEST(CreatorWindowCommands, SelectAllIsOfferedOnAnEmptyScreenToo)
{
    CommandWindow w;
    w.window->setCurrentIndex(1);
    QApplication::processEvents();
    ASSERT_TRUE(w.window->currentlyDisplayedSingleScreen());
    EXPECT_TRUE(w.enabled("selectAll"));
    EXPECT_TRUE(w.perform("selectAll"));
    EXPECT_FALSE(w.window->hasSelectedObjects());

    w.window->setCurrentIndex(0);
    QApplication::processEvents();
    ASSERT_TRUE(w.perform("selectAll"));
    const auto* handler = QVR_InteractableViewHandler::handlerForBoard(w.window->theArtBoard());
    EXPECT_EQ(handler->currentlySelectedArray().size(), 3u);
}

TEST(CreatorWindowCommands, OutputAndPublishingWaitForTheirLibraries)
{
    CommandWindow w;
    for (const char* action : {"saveDraft", "publish", "unpublish", "exportToPDF", "print", "showiPadPreview", "paste",
                               "setScreenAutoAdvanceSettings", "setFlowModelAutoAdvanceSettings"})
        EXPECT_FALSE(w.enabled(action)) << action;
    // Nothing happens through a performer called anyway.
    w.window->performExportToPDF(0);
    w.window->performUnpublish(0);
    w.window->performShowiPadPreview(0);
    EXPECT_TRUE(w.chooser.requests.empty());

    auto publishing = std::make_shared<FakePublishing>();
    CreatorPublishing::registerPublishing(publishing);
    auto output = std::make_shared<FakeOutput>();
    CreatorOutput::registerOutput(output);
    EXPECT_TRUE(w.enabled("saveDraft"));
    EXPECT_TRUE(w.enabled("publish"));
    EXPECT_TRUE(w.enabled("exportToPDF"));
    EXPECT_TRUE(w.enabled("print"));
    EXPECT_FALSE(w.enabled("unpublish")) << "only a published document can be unpublished";
    publishing->published = true;
    EXPECT_TRUE(w.enabled("unpublish"));
    EXPECT_TRUE(w.perform("unpublish"));
    EXPECT_EQ(publishing->unpublishes, 1);
    EXPECT_TRUE(w.perform("print"));
    EXPECT_EQ(output->prints, 1);

    // The tablet preview waits for the viewer's window.
    QVRWindowManager::setTabletPreviewWindowFactory([] { return nullptr; });
    EXPECT_TRUE(w.enabled("showiPadPreview"));
    QVRWindowManager::setTabletPreviewWindowFactory({});
}

TEST(CreatorWindowCommands, UndoClosesAnOpenChangeAndUndoesItAsOneStep)
{
    CommandWindow w;
    const int steps = w.flow->undoManager().undoCount();
    // A run of moves still open, as nudges leave it.
    w.flow->beginUndoableChangesPagingToScreen(w.screen(0));
    (*w.shapeA)->setFrame(QRectF(60, 50, 100, 100));
    (*w.shapeA)->setFrame(QRectF(70, 50, 100, 100));
    ASSERT_TRUE(w.flow->currentUndoableAction());
    EXPECT_TRUE(w.enabled("undo"));
    EXPECT_TRUE(w.perform("undo"));
    EXPECT_FALSE(w.flow->currentUndoableAction()) << "no change is left open";
    EXPECT_EQ(w.flow->undoManager().undoCount(), steps);
    EXPECT_EQ(w.flow->undoManager().redoCount(), 1);
    const auto restored = w.screen(0)->mixedMediaObjects()[0];
    EXPECT_EQ((*restored)->frame(), QRectF(50, 50, 100, 100));
    EXPECT_TRUE(w.perform("redo"));
    EXPECT_EQ((*w.screen(0)->mixedMediaObjects()[0])->frame(), QRectF(70, 50, 100, 100));
}

TEST(CreatorWindowCommands, DeleteAndDuplicateTheShownScreenAsOneStepEach)
{
    CapturedActionLog log;
    CommandWindow w;
    QVariantMap pagedBy;
    int undoPosts = 0;
    NotificationObservation undone(NotificationCenter::defaultCenter(),
                                   NotificationCenter::defaultCenter().addObserver(
                                       TessarineDataModelItem::kDidSetPropertiesFromUndoableActionNotification, nullptr,
                                       [&](const Notification& n) {
                                           ++undoPosts;
                                           if (const auto action =
                                                   n.userInfo.value("undoableAction").value<UndoableActionRef>())
                                               pagedBy = action->userInfo();
                                       }));

    w.window->setCurrentIndex(1);
    const int steps = w.flow->undoManager().undoCount();
    ASSERT_TRUE(w.perform("deleteScreen"));
    EXPECT_EQ(w.ids(), (QStringList{"S0", "S2"}));
    EXPECT_EQ(w.flow->undoManager().undoCount(), steps + 1);
    const auto deleted = log.find("Deleted Screen");
    ASSERT_TRUE(deleted);
    EXPECT_EQ(deleted->value("ScreenID").toString(), "S1");
    EXPECT_EQ(deleted->value("Deleted From").toString(), "Menu");
    EXPECT_EQ(w.window->artboards().size(), 2u);
    ASSERT_TRUE(w.perform("undo"));
    EXPECT_EQ(w.ids(), (QStringList{"S0", "S1", "S2"}));
    EXPECT_EQ(undoPosts, 1);
    EXPECT_FALSE(pagedBy.contains("screenToPageTo"));

    w.window->setCurrentIndex(0);
    ASSERT_TRUE(w.perform("duplicateScreen"));
    ASSERT_EQ(w.flow->screenModels().size(), 4u);
    const QString copy = w.screen(1)->internalID();
    EXPECT_FALSE(QStringList({"S0", "S1", "S2"}).contains(copy));
    EXPECT_EQ(w.screen(1)->mixedMediaObjects().size(), 3u);
    const auto duplicated = log.find("Duplicated Screen");
    ASSERT_TRUE(duplicated);
    EXPECT_EQ(duplicated->value("ScreenID").toString(), "S0");
    EXPECT_EQ(duplicated->value("action_value").toString(), "Menu");
    EXPECT_EQ(w.window->artboards().size(), 4u);
    EXPECT_EQ(w.window->currentIndex(), 1) << "the copy is shown";
    ASSERT_TRUE(w.perform("undo"));
    EXPECT_EQ(w.ids(), (QStringList{"S0", "S1", "S2"}));
    EXPECT_FALSE(pagedBy.contains("screenToPageTo"));

    // The strip's menu on the last screen's preview, the first shown: the copy is shown too.
    w.window->setCurrentIndex(0);
    std::unique_ptr<QMenu> menu(w.window->thumbnailController()->screensArray()[2]->makeContextMenu());
    menu->actions()[1]->trigger();
    QApplication::processEvents();
    ASSERT_EQ(w.flow->screenModels().size(), 4u);
    EXPECT_EQ(w.window->currentIndex(), 3);
}

TEST(CreatorWindowCommands, APastedImageLandsOnTheShownScreenSelectedUnderTheSpinner)
{
    CommandWindow w;
    auto addition = std::make_shared<FakeAddition>();
    CreatorContentAddition::registerAddition(addition);
    QGuiApplication::clipboard()->setText("words only");
    EXPECT_FALSE(w.enabled("paste")) << "plain text is not among the fake's formats";
    auto* mime = new QMimeData;
    mime->setImageData(QImage(8, 8, QImage::Format_RGB32));
    QGuiApplication::clipboard()->setMimeData(mime);
    w.window->setCurrentIndex(2);
    ASSERT_TRUE(w.enabled("paste"));

    const int steps = w.flow->undoManager().undoCount();
    ASSERT_TRUE(w.perform("paste"));
    EXPECT_EQ(w.window->theToolBarView()->progressIndicatorShowCount(), 1);
    EXPECT_FALSE(addition->lastWasDrag);
    QApplication::processEvents();
    EXPECT_EQ(w.window->theToolBarView()->progressIndicatorShowCount(), 0);
    ASSERT_EQ(w.screen(2)->mixedMediaObjects().size(), 1u);
    EXPECT_EQ(w.screen(0)->mixedMediaObjects().size(), 3u);
    EXPECT_EQ(w.flow->undoManager().undoCount(), steps + 1);
    const auto* handler = QVR_InteractableViewHandler::handlerForBoard(w.window->theArtBoard());
    ASSERT_TRUE(handler);
    ASSERT_EQ(handler->currentlySelectedMixedMediaObjectArray().size(), 1u);
    EXPECT_EQ(handler->currentlySelectedMixedMediaObjectArray()[0], w.screen(2)->mixedMediaObjects()[0]);

    // A failed addition stops the spinner too and selects nothing.
    addition->fail = true;
    ASSERT_TRUE(w.perform("paste"));
    QApplication::processEvents();
    EXPECT_EQ(w.window->theToolBarView()->progressIndicatorShowCount(), 0);
    EXPECT_EQ(w.screen(2)->mixedMediaObjects().size(), 1u);
    QGuiApplication::clipboard()->clear();
}

TEST(CreatorWindowCommands, ExportHandsOverTheChoiceAndReportsTheOutcome)
{
    CapturedActionLog log;
    CommandWindow w;
    auto output = std::make_shared<FakeOutput>();
    CreatorOutput::registerOutput(output);
    w.flow->setTitle("Quarterly");

    // A cancelled chooser exports nothing.
    w.window->performExportToPDF(0);
    QApplication::processEvents();
    ASSERT_EQ(w.chooser.requests.size(), 1u);
    EXPECT_EQ(w.chooser.requests[0].allowedExtensions, QStringList{"pdf"});
    EXPECT_EQ(w.chooser.requests[0].proposedName, "Quarterly");
    EXPECT_FALSE(w.chooser.requests[0].checkBoxTitle.isEmpty());
    EXPECT_FALSE(output->document);

    w.chooser.queueResponse({{"/tmp/out.pdf"}, true});
    w.window->performExportToPDF(0);
    QApplication::processEvents();
    EXPECT_EQ(output->document, w.document);
    EXPECT_EQ(output->path, "/tmp/out.pdf");
    EXPECT_TRUE(output->gallery);
    EXPECT_EQ(w.window->theToolBarView()->progressIndicatorShowCount(), 1);
    output->finish();
    EXPECT_EQ(w.window->theToolBarView()->progressIndicatorShowCount(), 0);
    const auto finished = log.find("Export to PDF Finished");
    ASSERT_TRUE(finished);
    EXPECT_TRUE(finished->isEmpty());
    EXPECT_TRUE(w.alerts.requests.empty());

    // A failure alerts, logs nothing and hides the spinner.
    QVRActionLog::setSharedForTesting(nullptr);
    CapturedActionLog second;
    output->result = Error("test", 5, "the disk is full");
    w.chooser.queueResponse({{"/tmp/out.pdf"}, false});
    w.window->performExportToPDF(0);
    QApplication::processEvents();
    EXPECT_FALSE(output->gallery);
    output->finish();
    QApplication::processEvents();
    EXPECT_EQ(w.window->theToolBarView()->progressIndicatorShowCount(), 0);
    ASSERT_EQ(w.alerts.requests.size(), 1u);
    EXPECT_EQ(w.alerts.requests[0].messageText, UFM::PDF_EXPORT_FAILED_TEXT().arg("out.pdf")) << "names the file";
    EXPECT_EQ(w.alerts.requests[0].informativeText, "/tmp") << "and where it was to go";
    EXPECT_FALSE(second.find("Export to PDF Finished"));

    // An export ending after its window closed touches nothing of it.
    w.chooser.queueResponse({{"/tmp/out.pdf"}, false});
    w.window->performExportToPDF(0);
    QApplication::processEvents();
    delete w.window.data();
    output->result.reset();
    output->finish();
    EXPECT_TRUE(second.find("Export to PDF Finished"));
}

TEST(CreatorWindowCommands, PresenterNoteAndAutoAdvanceAreWrittenToTheShownScreen)
{
    CommandWindow w;
    w.window->setCurrentIndex(1);
    w.screen(1)->setPresenterNotes("Old notes");
    w.alerts.queueResponse({-1, "New notes"});
    ASSERT_TRUE(w.perform("setPresenterNote"));
    QApplication::processEvents();
    ASSERT_EQ(w.alerts.requests.size(), 1u);
    EXPECT_EQ(w.alerts.requests[0].messageText, "Type a thing");
    EXPECT_TRUE(w.alerts.requests[0].hasTextField);
    EXPECT_EQ(w.alerts.requests[0].textFieldValue, "Old notes");
    EXPECT_EQ(w.screen(1)->presenterNotes(), "New notes") << "closing the alert any way stores the text";

    CreatorInspectorFactories::SlideDuration seen;
    CreatorInspectorFactories::shared().slideDurationEditor = [&seen](QWidget*, const auto& initial) {
        seen = initial;
        return CreatorInspectorFactories::SlideDuration{7.5, 2};
    };
    w.screen(1)->setAutoAdvanceSlideDuration(3.0);
    w.screen(1)->setAutoAdvanceTransitionType(3);
    const int steps = w.flow->undoManager().undoCount();
    ASSERT_TRUE(w.perform("setScreenAutoAdvanceSettings"));
    EXPECT_EQ(seen.seconds, 3.0);
    EXPECT_EQ(seen.transitionType, 3);
    EXPECT_EQ(w.screen(1)->autoAdvanceSlideDuration(), 7.5);
    EXPECT_EQ(w.screen(1)->autoAdvanceTransitionType(), 2);
    ASSERT_TRUE(w.perform("setFlowModelAutoAdvanceSettings"));
    EXPECT_FALSE(seen.seconds);
    EXPECT_EQ(w.flow->autoAdvanceSlideDuration(), 7.5);
    EXPECT_EQ(w.flow->undoManager().undoCount(), steps) << "no undo step";
}

TEST(CreatorWindowCommands, TheSideMenuHearsEachSelectedObjectOrTheScreen)
{
    CommandWindow w;
    w.select({w.shapeB, w.shapeA});
    auto answer = w.window->getSetupDictionaryArrayForOutletType("Color Picker", "Object");
    ASSERT_TRUE(answer);
    ASSERT_EQ(answer->size(), 2);
    const auto objectOf = [](const QVariantMap& map) {
        return map.value("kQVR_CONTEXTUAL_MENU_OBJECT_KEY").value<ModelItemRef>().lock();
    };
    const auto* handler = QVR_InteractableViewHandler::handlerForBoard(w.window->theArtBoard());
    const auto order = handler->currentlySelectedMixedMediaObjectArray();
    ASSERT_EQ(order.size(), 2u);
    EXPECT_EQ(objectOf(answer->at(0)), order[0]->object());
    EXPECT_EQ(objectOf(answer->at(1)), order[1]->object());

    w.select({w.shapeA, w.image});
    EXPECT_FALSE(w.window->getSetupDictionaryArrayForOutletType("Color Picker", "Object"));

    w.select({});
    answer = w.window->getSetupDictionaryArrayForOutletType("Big Text Field", "Screen");
    ASSERT_TRUE(answer);
    ASSERT_EQ(answer->size(), 1);
    EXPECT_EQ(objectOf(answer->at(0)), w.screen(0));
    EXPECT_EQ(answer->at(0).value("kQVR_CONTEXTUAL_MENU_BIG_TEXT_PROPERTY_KEY").toString(), "presenterNotes");
    EXPECT_FALSE(w.window->getSetupDictionaryArrayForOutletType("Big Text Field", "Other"));
}

TEST(CreatorWindowCommands, ArrowKeysGoToAFocusedFieldAndOtherwiseNudge)
{
    CommandWindow w;
    w.select({w.shapeA});
    auto* field = new QLineEdit("abc", w.window->contentView());
    field->show();
    field->setFocus();
    field->setCursorPosition(0);
    QApplication::processEvents();
    EXPECT_FALSE(w.enabled("nudgeRight"));
    QTest::keyClick(field, Qt::Key_Right);
    EXPECT_EQ(field->cursorPosition(), 1);
    EXPECT_EQ((*w.shapeA)->frame(), QRectF(50, 50, 100, 100));

    // Without a field, the menu's Right nudges the selection by a point.
    QWidget* viewport = w.window->theArtBoard()->theScrollView()->viewport();
    viewport->setFocus();
    QApplication::processEvents();
    QTest::keyClick(viewport, Qt::Key_Right);
    EXPECT_EQ((*w.shapeA)->frame(), QRectF(51, 50, 100, 100));
}

TEST(CreatorWindowCommands, PaletteAndPopoverTogglesFollowTheDockAndTheMenu)
{
    CommandWindow w;
    Tessutils::setIsPopoverDocked(false);
    QVRTopOfWindowDockToolbarView* strip = w.window->topDockBar();
    ASSERT_TRUE(w.window->xyPaletteHidden());
    EXPECT_EQ(strip->maximumHeight(), 0);
    ASSERT_TRUE(w.perform("toggleXYPalette"));
    EXPECT_FALSE(w.window->xyPaletteHidden());
    EXPECT_EQ(strip->maximumHeight(), 30);
    EXPECT_TRUE(UserDefaults::standard().boolValue("showXYPaletteOnWindowLaunch"));
    QVRMainMenu::validate(w.window->menuBar());
    // The item says what it does, with no check beside it that would read as the palette hidden.
    QAction* toggle = QVRMainMenu::action(w.window->menuBar(), "toggleXYPalette");
    EXPECT_EQ(QVRMainMenu::plainText(toggle), UFM::HIDE_DIMENSIONS_PALETTE_TEXT());
    EXPECT_FALSE(toggle->isCheckable());
    EXPECT_FALSE(toggle->isChecked());

    PostCounter docked(QString::fromLatin1(TessutilsKeys::kPopoverDockStatusChangedNotification));
    ASSERT_TRUE(w.perform("toggleDockedPopover"));
    EXPECT_EQ(docked.count, 1);
    EXPECT_TRUE(Tessutils::isPopoverDocked());
    ASSERT_TRUE(w.perform("toggleDockedPopover"));
    EXPECT_EQ(docked.count, 2);
    EXPECT_EQ(strip->maximumHeight(), 30) << "the palette still shows";
    ASSERT_TRUE(w.perform("toggleXYPalette"));
    EXPECT_EQ(strip->maximumHeight(), 0);
    EXPECT_FALSE(UserDefaults::standard().boolValue("showXYPaletteOnWindowLaunch"));
}

TEST(CreatorWindowCommands, NoDocumentNoScreensAndNoInterfacesChangeNothing)
{
    RecordingAlertPresenter alerts;
    RecordingFileChooser chooser;
    AlertPresenter::setShared(&alerts);
    FileChooser::setShared(&chooser);
    registerCreatorLibrary();
    auto addition = std::make_shared<FakeAddition>();
    CreatorContentAddition::registerAddition(addition);
    auto output = std::make_shared<FakeOutput>();
    CreatorOutput::registerOutput(output);
    CreatorInspectorFactories::shared().slideDurationEditor = [](QWidget*, const auto& initial) { return initial; };
    auto* mime = new QMimeData;
    mime->setImageData(QImage(8, 8, QImage::Format_RGB32));
    QGuiApplication::clipboard()->setMimeData(mime);

    // First a window without a document, then one whose document has no screens left.
    auto empty = makeDocument(0);
    for (int round = 0; round < 2; ++round) {
        auto* window = qobject_cast<QVR_CreatorWindow*>(QVRWindowManager::sharedInstance().makeCreatorWindow());
        ASSERT_TRUE(window);
        if (round == 1)
            window->launchTessarineWithTessarineModel(empty);
        window->show();
        window->activateWindow();
        QApplication::processEvents();
        for (const QVRManagedWindowCommand& command : QVRWindowManagerManagedWindow::commands()) {
            if (QString::fromLatin1(command.action).startsWith("toggle"))
                continue;
            // The flow's own auto-advance needs no screen.
            const bool flowSetting = QByteArray(command.action) == "setFlowModelAutoAdvanceSettings";
            if (command.validator && !(round == 1 && flowSetting)) {
                const auto enabled = QVRWindowManagerManagedWindow::callValidator(window, command.validator);
                EXPECT_FALSE(enabled.value_or(false)) << command.validator << " in round " << round;
            }
            QVRWindowManagerManagedWindow::callPerformer(window, command.performer, 0);
            QApplication::processEvents();
        }
        EXPECT_FALSE(window->getSetupDictionaryArrayForOutletType("Color Picker", "Screen"));
        EXPECT_EQ(window->theToolBarView()->progressIndicatorShowCount(), 0);
        delete window;
    }
    EXPECT_EQ(addition->calls, 0);
    EXPECT_FALSE(output->document);
    EXPECT_TRUE(chooser.requests.empty());
    EXPECT_TRUE(alerts.requests.empty());
    EXPECT_TRUE(empty->firstFlowmodel()->screenModels().empty());
    EXPECT_EQ(empty->firstFlowmodel()->undoManager().undoCount(), 0);

    QGuiApplication::clipboard()->clear();
    CreatorContentAddition::registerAddition(nullptr);
    CreatorOutput::registerOutput(nullptr);
    CreatorInspectorFactories::shared().slideDurationEditor = {};
    AlertPresenter::setShared(nullptr);
    FileChooser::setShared(nullptr);
}

TEST(CreatorWindowCommands, TheLastScreenDeletedCanBeUndone)
{
    auto document = makeDocument(1);
    registerCreatorLibrary();
    auto* window = qobject_cast<QVR_CreatorWindow*>(QVRWindowManager::sharedInstance().makeCreatorWindow());
    window->launchTessarineWithTessarineModel(document);
    window->show();
    window->activateWindow();
    QApplication::processEvents();
    ASSERT_TRUE(QVRWindowManager::sharedInstance().performMenuAction("deleteScreen", 0));
    ASSERT_TRUE(document->firstFlowmodel()->screenModels().empty());
    EXPECT_EQ(window->theArtBoard(), nullptr);
    EXPECT_TRUE(QVRWindowManager::sharedInstance().validateMenuItem("undo"));
    ASSERT_TRUE(QVRWindowManager::sharedInstance().performMenuAction("undo", 0));
    ASSERT_EQ(document->firstFlowmodel()->screenModels().size(), 1u);
    EXPECT_EQ(document->firstFlowmodel()->screenModels()[0]->internalID(), "S0");
    EXPECT_TRUE(window->theArtBoard());
    delete window;
}

#include "CreatorWindowCommandsTest.moc"

TEST(CreatorWindowCommands, TheDockStripLeavesAFittedScreenWholeAndEveryHandleWithinReach)
{
    CommandWindow w;
    Tessutils::setIsPopoverDocked(false);
    w.window->resize(1100, 700);
    QVR_SingleScreenArtBoardView* board = w.window->theArtBoard();
    ASSERT_TRUE(board);
    QGraphicsView* view = board->theScrollView();
    const auto fitted = [&] { return std::fabs(board->currentZoomLevel() - board->fitZoomLevel()) < 0.001; };
    const auto screenWhole = [&] {
        return view->viewport()->rect().contains(view->mapFromScene(QRectF(0, 0, 1024, 748)).boundingRect());
    };
    // The window's first fit comes 0.1 s after it opens, animated for 0.3 s: the checks start once it is in.
    QTest::qWait(800);
    board->zoomFitToScreen(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return fitted() && screenWhole(); }, 5000));

    // The palette's strip takes its height from the canvas: the screen is fitted again, whole below the strip.
    ASSERT_TRUE(w.perform("toggleXYPalette"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return fitted() && screenWhole(); }, 3000))
        << board->currentZoomLevel() << " " << board->fitZoomLevel();

    // An object in the screen's top left corner, zoomed in: scrolled to the top left, its handles all show.
    (*w.shapeA)->setFrame(QRectF(0, 0, 100, 100));
    (*w.shapeA)->updateNotifier().sendUpdateNotificationsIfNeeded();
    auto* handler = QVR_InteractableViewHandler::handlerForBoard(board);
    ASSERT_TRUE(handler);
    handler->setCurrentlySelected({board->singleScreen()->containerForMixedMediaObject(w.shapeA)});
    // Once the levels the window hands from board to board have settled.
    QTest::qWait(300);
    board->setZoomLevel(3.0, false);
    QTest::qWait(300);
    view->horizontalScrollBar()->setValue(view->horizontalScrollBar()->minimum());
    view->verticalScrollBar()->setValue(view->verticalScrollBar()->minimum());
    QVR_SelectedItemView* frame = w.window->selectedItemView();
    frame->selectedViewsDidChange();
    QApplication::processEvents();
    ASSERT_DOUBLE_EQ(board->currentZoomLevel(), 3.0);
    for (bool rotate : {false, true}) {
        for (int position : {0, 1, 4, 6}) {
            const QGraphicsItem* handle = frame->handle(position, rotate);
            if (!handle || (rotate && position > 3))
                continue;
            const QRectF shown = handle->deviceTransform(view->viewportTransform()).mapRect(handle->boundingRect());
            EXPECT_GE(shown.top(), 0) << position << (rotate ? " rotate" : "");
            EXPECT_GE(shown.left(), 0) << position << (rotate ? " rotate" : "");
        }
    }
    ASSERT_TRUE(w.perform("toggleXYPalette"));
}
