#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDialog>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "CreatorTestSupport.h"
#include "controls/ControlsArtwork.h"
#include "creator/canvas/CreatorCanvasInterfaces.h"
#include "creator/canvas/QVR_ArtBoardScrollView.h"
#include "creator/canvas/QVR_CreatorSingleScreen.h"
#include "creator/canvas/QVR_MixedMediaElementContainingView.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/interaction/QVR_InteractableViewHandler.h"
#include "creator/interaction/QVR_InteractionModelUtils.h"
#include "creator/toolbar/QVR_ZoomMenuGeneratorObject.h"
#include "elements/text/QVR_AttributedTextView.h"
#include "elements/views/QVR_AttributedTextMixedMediaElementView.h"
#include "platform/UndoManager.h"
#include "platform/UserDefaults.h"
#include "strings/UFM.h"
#include "tessarine_data_model/AttributedText.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

using namespace creator_test;
using Container = QVR_MixedMediaElementContainingView;
using Proxy = std::shared_ptr<ZERI_MixedMediaObjectProxy>;

namespace {

// What the popovers of all elements were asked to do, by element.
struct PopoverLog {
    std::map<const QGraphicsObject*, int> shows;
    std::map<const ZERI_MixedMediaObjectProxy*, int> dismissals;
    std::map<const ZERI_MixedMediaObjectProxy*, bool> hidden;
};

class FakePopover : public QVRMMObjToolbarPopoverController {
public:
    FakePopover(PopoverLog& log, const ZERI_MixedMediaObjectProxy* object)
        : m_log(log)
        , m_object(object)
    {
    }
    void showPopoverOverView(QGraphicsObject* view) override { ++m_log.shows[view]; }
    void setPopoverHidden(bool hidden) override { m_log.hidden[m_object] = hidden; }
    void dismissPopover(bool) override { ++m_log.dismissals[m_object]; }

private:
    PopoverLog& m_log;
    const ZERI_MixedMediaObjectProxy* m_object;
};

// An editable board on screen "S0" at zoom 1 with its interaction handler and a popover factory that records.
struct Editor {
    Editor()
    {
        UserDefaults::setStoreFileForTesting(settings.filePath(QStringLiteral("defaults.conf")));
        QVR_InteractionModelUtils::setClickDetectionTimeDelay(0.2);
        ControlsArtwork::registerNamedImages();
        QVRMMObjToolbarPopoverController::registerPopoverFactory(
            [this](const Proxy& object, bool) { return std::make_unique<FakePopover>(popovers, object.get()); });
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
        QVRMMObjToolbarPopoverController::registerPopoverFactory({});
        UserDefaults::setStoreFileForTesting(QString());
        QVR_InteractionModelUtils::resetClickDetectionTimeDelayCache();
    }
    Proxy add(int type, const QRectF& frame, const QString& text = QString())
    {
        auto object = ZERI_MixedMediaObject::objectWithType(type);
        (*object)->setFrame(frame);
        if (auto textObject = object->as<ZERI_MMObject_Text>(); textObject && !text.isEmpty())
            textObject->setAttributedString(AttributedText(text));
        screen->addMixedMediaObject(object);
        screen->updateNotifier().sendUpdateNotificationsIfNeeded();
        return object;
    }
    Container* container(const Proxy& object) const
    {
        return board.singleScreen()->containerForMixedMediaObject(object);
    }
    QVR_AttributedTextMixedMediaElementView* textView(const Proxy& object) const
    {
        return qobject_cast<QVR_AttributedTextMixedMediaElementView*>(container(object)->mixedMediaElementView());
    }
    QWidget* viewport() const { return board.theScrollView()->viewport(); }
    QPoint at(const QPointF& p) const { return board.theScrollView()->mapFromScene(p); }
    void click(const QPointF& p, Qt::KeyboardModifiers m = {})
    {
        QTest::mousePress(viewport(), Qt::LeftButton, m, at(p));
        QTest::mouseRelease(viewport(), Qt::LeftButton, m, at(p));
    }
    UndoManager& undo() { return document->firstFlowmodel()->undoManager(); }
    bool onScreen(const Proxy& object) const
    {
        const auto objects = screen->mixedMediaObjects();
        return std::find(objects.begin(), objects.end(), object) != objects.end();
    }

    QTemporaryDir settings;
    PopoverLog popovers;
    std::shared_ptr<ZERI_TessarineModel> document = makeDocument(2);
    std::shared_ptr<ZERI_FlowScreenModel> screen = document->firstFlowmodel()->screenModels().front();
    Proxy a, b;
    QVR_SingleScreenArtBoardView board;
    QVR_InteractableViewHandler* handler = nullptr;
};

// Records what the screen asks of the colour panel and lets the test pick.
struct PickerLog {
    QColor initial;
    bool alpha = true;
    bool dismissOnResign = false;
    int presented = 0;
    std::function<void(const QColor&)> pick;
};

class FakePicker : public CreatorColorPicker {
public:
    explicit FakePicker(PickerLog& log)
        : m_log(log)
    {
    }
    void setInitialColor(const QColor& color) override { m_log.initial = color; }
    void setThemeColorList(const std::vector<ThemeColor>&) override {}
    void setShowsAlphaPicker(bool shows) override { m_log.alpha = shows; }
    void setPanelShouldDismissOnResignKey(bool dismiss) override { m_log.dismissOnResign = dismiss; }
    void setOnColorPicked(std::function<void(const QColor&)> onPicked) override { m_log.pick = std::move(onPicked); }
    void presentColorPanel() override { ++m_log.presented; }

private:
    PickerLog& m_log;
};

// Opens the context menu at a scene point through a real context-menu event; returns the menu shown, or nullptr.
QMenu* contextMenuAt(Editor& e, const QPointF& scenePoint)
{
    const QPoint pixel = e.at(scenePoint);
    QContextMenuEvent event(QContextMenuEvent::Mouse, pixel, e.viewport()->mapToGlobal(pixel));
    QApplication::sendEvent(e.viewport(), &event);
    return qobject_cast<QMenu*>(QApplication::activePopupWidget());
}

QAction* actionTitled(QMenu* menu, const QString& title)
{
    for (QAction* action : menu->actions()) {
        if (action->text().trimmed() == title)
            return action;
    }
    return nullptr;
}

int insertEntries(QMenu* menu)
{
    int count = 0;
    for (QAction* action : menu->actions())
        count += action->data().isValid() ? 1 : 0;
    return count;
}

} // namespace

TEST(ElementSelectionFeedback, VeilWhileSeveralArePickedPopoverOnlyForTheOnlySelection)
{
    Editor e;
    Container* A = e.container(e.a);
    Container* B = e.container(e.b);
    e.click(QPointF(150, 150));
    EXPECT_TRUE(A->selectedByInteractionModel());
    EXPECT_FALSE(A->isSelectionIndicatorShown());
    EXPECT_EQ(e.popovers.shows[A], 1);

    e.click(QPointF(450, 150), Qt::ControlModifier);
    EXPECT_TRUE(A->isSelectionIndicatorShown());
    EXPECT_TRUE(B->isSelectionIndicatorShown());
    EXPECT_TRUE(A->multipleItemsSelected());
    EXPECT_EQ(e.popovers.shows[B], 0);
    EXPECT_GE(e.popovers.dismissals[e.a.get()], 1);

    // Back to one: its veil goes and its popover shows once more; the other is plainly unselected.
    e.click(QPointF(450, 150), Qt::ShiftModifier);
    EXPECT_FALSE(A->isSelectionIndicatorShown());
    EXPECT_FALSE(A->multipleItemsSelected());
    EXPECT_EQ(e.popovers.shows[A], 2);
    EXPECT_FALSE(B->isSelectionIndicatorShown());
    EXPECT_FALSE(B->selectedByInteractionModel());
    EXPECT_EQ(e.popovers.shows[B], 0);

    // Without a registered popover nothing is shown and nothing breaks.
    QVRMMObjToolbarPopoverController::registerPopoverFactory({});
    auto c = e.add(ZERI_MixedMediaObject::Image, QRectF(600, 300, 100, 100));
    e.click(QPointF(650, 350));
    EXPECT_EQ(e.container(c)->popoverController(), nullptr);
    EXPECT_TRUE(e.container(c)->selectedByInteractionModel());
}

TEST(ElementTextEditing, SecondClickEditsTypingHidesThePopoverAndEmptyTextsGoWhenDeselected)
{
    Editor e;
    auto text = e.add(ZERI_MixedMediaObject::Text, QRectF(100, 300, 400, 100), QStringLiteral("Hello"));
    Container* T = e.container(text);
    auto* view = e.textView(text);
    ASSERT_TRUE(view);

    // The first click selects, the second on the only selection starts editing.
    e.click(QPointF(150, 340));
    EXPECT_TRUE(T->selectedByInteractionModel());
    EXPECT_FALSE(view->editable());
    QTest::qWait(250); // not a double click
    e.click(QPointF(150, 340));
    EXPECT_TRUE(view->editable());

    // Typing hides the popover; it comes back only after a pause.
    T->handleTextDidChange();
    EXPECT_TRUE(e.popovers.hidden[text.get()]);
    QTest::qWait(Container::kRevealPopoverDelayMs / 2);
    T->handleTextDidChange(); // a later keystroke restarts the wait
    QTest::qWait(Container::kRevealPopoverDelayMs * 3 / 4);
    EXPECT_TRUE(e.popovers.hidden[text.get()]);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !e.popovers.hidden[text.get()]; }, 2000));

    // A text with content stays when deselected, and leaves editing.
    e.click(QPointF(800, 600));
    EXPECT_FALSE(view->editable());
    QApplication::processEvents();
    EXPECT_TRUE(e.onScreen(text));

    // An empty one is removed, and its container with it.
    auto empty = e.add(ZERI_MixedMediaObject::Text, QRectF(100, 500, 400, 100));
    e.click(QPointF(150, 540));
    ASSERT_EQ(e.handler->currentlySelectedArray().size(), 1u);
    e.click(QPointF(800, 700));
    EXPECT_FALSE(e.onScreen(empty));
    e.screen->updateNotifier().sendUpdateNotificationsIfNeeded();
    QApplication::processEvents();
    EXPECT_EQ(e.container(empty), nullptr);
    EXPECT_TRUE(e.handler->currentlySelectedArray().empty());
}

TEST(ElementTextEditing, ASecondClickOnANonTextOrOneOfSeveralStartsNoEditing)
{
    Editor e;
    auto text = e.add(ZERI_MixedMediaObject::Text, QRectF(100, 300, 400, 100), QStringLiteral("Hello"));
    auto* view = e.textView(text);
    ASSERT_TRUE(view);
    e.click(QPointF(150, 150));
    QTest::qWait(250);
    e.click(QPointF(150, 150)); // an image ignores it
    e.click(QPointF(150, 340), Qt::ControlModifier);
    QTest::qWait(250);
    e.click(QPointF(150, 340)); // one of two: becomes the only selection, no editing
    EXPECT_EQ(e.handler->currentlySelectedArray(), (std::vector<Container*>{e.container(text)}));
    EXPECT_FALSE(view->editable());
}

TEST(ScreenMenus, ContextMenusFollowTheHitAndAllCarryTheInsertSection)
{
    Editor e;
    const QString insertHeader = UFM::SAYS_INSERT() + QStringLiteral("...");

    QMenu* screenMenu = contextMenuAt(e, QPointF(700, 500));
    ASSERT_TRUE(screenMenu);
    EXPECT_EQ(screenMenu->title(), QStringLiteral("Screen Menu"));
    EXPECT_EQ(screenMenu->actions().front()->text(), insertHeader);
    EXPECT_EQ(insertEntries(screenMenu), 8);
    EXPECT_TRUE(actionTitled(screenMenu, UFM::SAYS_CHANGE_CANVAS_COLOR()));
    screenMenu->close();

    QMenu* elementMenu = contextMenuAt(e, QPointF(150, 150));
    ASSERT_TRUE(elementMenu);
    EXPECT_EQ(elementMenu->title(), QStringLiteral("Element Menu"));
    EXPECT_EQ(elementMenu->actions().front()->text(), insertHeader);
    EXPECT_EQ(insertEntries(elementMenu), 8);
    EXPECT_FALSE(actionTitled(elementMenu, UFM::SAYS_CHANGE_CANVAS_COLOR()));
    // Only a gallery can be edited as one.
    EXPECT_FALSE(actionTitled(elementMenu, UFM::SAYS_EDIT_GALLERY())->isEnabled());
    elementMenu->close();

    // Beside the screen: the art board's own menu, without the canvas colour.
    QMenu* boardMenu = contextMenuAt(e, QPointF(-20, 300));
    ASSERT_TRUE(boardMenu);
    EXPECT_NE(boardMenu, screenMenu);
    EXPECT_EQ(boardMenu->actions().front()->text(), insertHeader);
    EXPECT_EQ(insertEntries(boardMenu), 8);
    EXPECT_FALSE(actionTitled(boardMenu, UFM::SAYS_CHANGE_CANVAS_COLOR()));
    boardMenu->close();
}

TEST(ScreenEditing, TextInsertedAtTheClickedPointIsOneStepSelectedAlone)
{
    Editor e;
    e.click(QPointF(150, 150));
    const int steps = e.undo().undoCount();
    QMenu* menu = contextMenuAt(e, QPointF(512, 374));
    ASSERT_TRUE(menu);
    actionTitled(menu, UFM::CONTENT_TYPE_LIST_TEXT())->trigger();
    menu->close();

    const auto objects = e.screen->mixedMediaObjects();
    ASSERT_EQ(objects.size(), 3u);
    const auto text = objects.back()->as<ZERI_MMObject_Text>();
    ASSERT_TRUE(text);
    EXPECT_EQ(text->frame(), QRectF(312, 324, 400, 100));
    EXPECT_TRUE(text->isThemeText());
    EXPECT_EQ(e.handler->currentlySelectedArray(), (std::vector<Container*>{e.container(objects.back())}));
    EXPECT_EQ(e.undo().undoCount(), steps + 1);
    ASSERT_TRUE(e.undo().undo());
    e.screen = e.document->firstFlowmodel()->screenModels().front();
    EXPECT_EQ(e.screen->mixedMediaObjects().size(), 2u);

    // Another kind has no canvas view to go to yet: nothing is added, nothing breaks.
    menu = contextMenuAt(e, QPointF(512, 374));
    ASSERT_TRUE(menu);
    actionTitled(menu, UFM::CONTENT_TYPE_LIST_IMAGE())->trigger();
    menu->close();
    EXPECT_EQ(e.document->firstFlowmodel()->screenModels().front()->mixedMediaObjects().size(), 2u);
}

TEST(ScreenEditing, EachPickedBackgroundColourIsOneStepAndUndoShowsWhiteAgain)
{
    Editor e;
    PickerLog log;
    CreatorColorPicker::registerColorPickerFactory([&log] { return std::make_unique<FakePicker>(log); });
    QMenu* menu = contextMenuAt(e, QPointF(700, 500));
    ASSERT_TRUE(menu);
    actionTitled(menu, UFM::SAYS_CHANGE_CANVAS_COLOR())->trigger();
    menu->close();
    ASSERT_EQ(log.presented, 1);
    EXPECT_EQ(log.initial, QColor(Qt::white));
    EXPECT_FALSE(log.alpha);
    EXPECT_TRUE(log.dismissOnResign);

    const int steps = e.undo().undoCount();
    log.pick(QColor(0, 0, 255));
    log.pick(QColor(255, 0, 0));
    EXPECT_EQ(e.undo().undoCount(), steps + 2);
    const QPoint centre = e.at(QPointF(512, 600));
    QApplication::processEvents();
    QImage shot = e.viewport()->grab().toImage();
    EXPECT_EQ(QColor(shot.pixel(centre)), QColor(255, 0, 0));

    ASSERT_TRUE(e.undo().undo());
    ASSERT_TRUE(e.undo().undo());
    const auto screen = e.document->firstFlowmodel()->screenModels().front();
    screen->updateNotifier().sendUpdateNotificationsIfNeeded();
    QApplication::processEvents();
    shot = e.viewport()->grab().toImage();
    EXPECT_EQ(QColor(shot.pixel(centre)), QColor(255, 255, 255));
    CreatorColorPicker::registerColorPickerFactory({});

    // Without a registered picker the entry does nothing.
    menu = contextMenuAt(e, QPointF(700, 500));
    ASSERT_TRUE(menu);
    actionTitled(menu, UFM::SAYS_CHANGE_CANVAS_COLOR())->trigger();
    menu->close();
    EXPECT_EQ(log.presented, 1);
}

TEST(ScreenDrops, OfferedAsCopiesRefusedUnderASheetAndNothingHalfAddedWithoutContentAddition)
{
    Editor e;
    QMimeData data;
    data.setText(QStringLiteral("dropped words"));
    const QPoint pixel = e.at(QPointF(600, 500));
    const auto enter = [&] {
        // The view hands the drag to the item under it on the first move.
        QDragEnterEvent event(pixel, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(e.viewport(), &event);
        QDragMoveEvent move(pixel, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(e.viewport(), &move);
        return move.isAccepted() && move.dropAction() == Qt::CopyAction;
    };
    EXPECT_TRUE(enter());

    QDialog sheet(e.board.window());
    sheet.setWindowModality(Qt::WindowModal);
    sheet.show();
    EXPECT_FALSE(enter());
    sheet.hide();
    EXPECT_TRUE(enter());

    QDropEvent drop(QPointF(pixel), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(e.viewport(), &drop);
    EXPECT_EQ(e.screen->mixedMediaObjects().size(), 2u);
}

TEST(ScreenMenus, ZoomEntriesPostTheLevelAndPreviewBoardsShowNoMenu)
{
    Editor e;
    PostCounter zoomPosts(QStringLiteral("SCREEN_ZOOM_LEVEL_NOTIFICATION"));
    QMenu* menu = contextMenuAt(e, QPointF(700, 500));
    ASSERT_TRUE(menu);
    QMenu* zoom = nullptr;
    for (QAction* action : menu->actions()) {
        if (action->menu())
            zoom = action->menu();
    }
    ASSERT_TRUE(zoom);
    QAction* fit = actionTitled(zoom, QVR_ZoomMenuGeneratorObject::stringForFitToScreenTitle());
    ASSERT_TRUE(fit);
    fit->trigger();
    menu->close();
    ASSERT_EQ(zoomPosts.count, 1);
    EXPECT_EQ(zoomPosts.lastUserInfo.value(QStringLiteral("SCREEN_ZOOM_LEVEL_NOTIFICATION_SCALE_KEY")).toDouble(),
              -1.0);

    QVR_SingleScreenArtBoardView preview(nullptr, true);
    preview.setScreenModel(e.screen);
    preview.show();
    setViewportSize(preview, 1100, 800);
    QApplication::processEvents();
    for (const QPointF& point : {QPointF(150, 150), QPointF(700, 500), QPointF(-20, 300)}) {
        const QPoint pixel = preview.theScrollView()->mapFromScene(point);
        QContextMenuEvent event(QContextMenuEvent::Mouse, pixel,
                                preview.theScrollView()->viewport()->mapToGlobal(pixel));
        QApplication::sendEvent(preview.theScrollView()->viewport(), &event);
        EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    }
}

TEST(ScreenMenus, ElementMenuCutAndCopyTakeTheSelectionItBelongsToAndItsInsertsLandAtTheClick)
{
    Editor e;
    auto c = e.add(ZERI_MixedMediaObject::Shape, QRectF(600, 100, 100, 100));
    const auto chooseAt = [&e](const QPointF& p, const QString& title) {
        QMenu* menu = contextMenuAt(e, p);
        ASSERT_TRUE(menu);
        QAction* action = actionTitled(menu, title);
        ASSERT_TRUE(action);
        action->trigger();
        menu->close();
    };

    // A and B selected: Copy from A's menu copies both.
    e.click(QPointF(150, 150));
    e.click(QPointF(450, 150), Qt::ControlModifier);
    ASSERT_EQ(e.handler->currentlySelectedArray().size(), 2u);
    QGuiApplication::clipboard()->clear();
    chooseAt(QPointF(150, 150), UFM::SAYS_COPY());
    ASSERT_TRUE(QTest::qWaitFor([] { return ZERI_MixedMediaObject::pasteboardReadObjects().size() == 2; }, 5000));

    // C is not selected: its Cut takes C alone, as one step.
    int steps = e.undo().undoCount();
    chooseAt(QPointF(650, 150), UFM::SAYS_CUT());
    EXPECT_FALSE(e.onScreen(c));
    EXPECT_TRUE(e.onScreen(e.a) && e.onScreen(e.b));
    EXPECT_EQ(e.undo().undoCount(), steps + 1);

    // B's Cut while A and B are selected takes both, as one step.
    steps = e.undo().undoCount();
    chooseAt(QPointF(450, 150), UFM::SAYS_CUT());
    EXPECT_FALSE(e.onScreen(e.a));
    EXPECT_FALSE(e.onScreen(e.b));
    EXPECT_EQ(e.undo().undoCount(), steps + 1);
    ASSERT_TRUE(QTest::qWaitFor([] { return ZERI_MixedMediaObject::pasteboardReadObjects().size() == 2; }, 5000));
    ASSERT_TRUE(e.undo().undo());
    e.screen = e.document->firstFlowmodel()->screenModels().front();
    ASSERT_EQ(e.screen->mixedMediaObjects().size(), 2u);

    // The element menu's text entry centres the new text on the clicked point.
    const auto first = e.screen->mixedMediaObjects().front();
    QApplication::processEvents();
    chooseAt((*first)->frame().center(), UFM::CONTENT_TYPE_LIST_TEXT());
    const auto objects = e.screen->mixedMediaObjects();
    ASSERT_EQ(objects.size(), 3u);
    EXPECT_EQ((*objects.back())->frame().center(), (*first)->frame().center());
}
