#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QAbstractButton>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QJsonDocument>
#include <QFileInfo>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "app/QVRMainMenu.h"
#include "creator/addition/QVR_AddElementMenuViewController.h"
#include "creator/addition/QVR_AddShapeMenuViewController.h"
#include "creator/addition/QVR_AddStreamingVideoViewController.h"
#include "creator/canvas/QVR_ArtBoardScrollView.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/canvas/QVR_CreatorCanvasView.h"
#include "creator/canvas/QVR_CreatorSingleScreen.h"
#include "creator/canvas/QVR_MixedMediaElementContainingView.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "elements/gallery/QVRGalleryEditorViewController.h"
#include "creator/crop/QVR_CropView.h"
#include "creator/interaction/QVR_InteractableViewHandler.h"
#include "creator/interaction/QVR_SelectedItemView.h"
#include "creator/thumbnails/QVRThumbnailBar.h"
#include "creator/thumbnails/QVR_ThumbnailHoldingView.h"
#include "creator/toolbar/QVR_CreatorToolBarView.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "elements/text/TextEditingItem.h"
#include "elements/views/QVRCompressionSelectionViewController.h"
#include "elements/video/StreamingVideoPreviewHelper.h"
#include "foundation/Tessutils.h"
#include "inspector/links/QVR_ExternalLinkSelectionViewController.h"
#include "inspector/links/QVR_FlowEmbedLinkSelectionViewController.h"
#include "elements/players/QVR_AVPlayerVideoPlayingView.h"
#include "elements/players/VideoPlayerLayer.h"
#include "inspector/links/QVR_LinkTypeSelectionViewController.h"
#include "inspector/panels/QVRTitleAndDescriptionEditorViewController.h"
#include "inspector/panels/QVRXYPaletteView.h"
#include "inspector/panels/QVR_ScreenPropertiesMenuViewController.h"
#include "inspector/pickers/ColorPanel.h"
#include "inspector/pickers/QVRSizePicker.h"
#include "inspector/popovers/QVRMMObjToolbarPopoverBase.h"
#include "inspector/popovers/QVRShapeMMObjToolbarPopoverController.h"
#include "inspector/popovers/QVRTextMMObjToolbarPopoverController.h"
#include "roads/RoadsKeyboard.h"
#include "roads/RoadsTestSupport.h"
#include "strings/UFM.h"
#include "support/UserInput.h"
#include "tessarine_data_model/QVR_TextStorage.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Shape.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "viewer/QVRViewerViewController.h"
#include "viewer/QVRViewerWindow.h"
#include "viewer/QVR_TessarineViewerView.h"

using namespace roads;

namespace {

using Type = ZERI_MixedMediaObject::Type;
using Proxy = std::shared_ptr<ZERI_MixedMediaObjectProxy>;

class CreatorFaultsRoad : public ::testing::Test {
protected:
    void SetUp() override { application(); }
    void TearDown() override
    {
        if (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
        closeDocumentWindows();
    }

    static QVR_CreatorWindow* newWindow()
    {
        QVR_CreatorWindow* window = createDocumentFromPlusTile();
        if (window) {
            window->resize(1300, 900);
            UserInput::letRepaintsHappen();
        }
        return window;
    }
    static Proxy lastOfType(QVR_CreatorWindow* window, int type)
    {
        Proxy found;
        for (const Proxy& object : shownScreen(window)->mixedMediaObjects())
            if ((*object)->type() == type)
                found = object;
        return found;
    }
    static Proxy addShape(QVR_CreatorWindow* window)
    {
        const int before = countObjects(shownScreen(window), Type::Shape);
        if (!insert(window, &QVR_AddElementMenuViewController::shapeCell))
            return nullptr;
        QVR_AddShapeMenuViewController* shapes = nullptr;
        if (!waitFor([&] { return (shapes = openedMenu<QVR_AddShapeMenuViewController>()) != nullptr; }))
            return nullptr;
        click(shapes->menuView()->buttons().first());
        if (!waitFor([&] { return countObjects(shownScreen(window), Type::Shape) == before + 1; }))
            return nullptr;
        return lastOfType(window, Type::Shape);
    }
    static Proxy addText(QVR_CreatorWindow* window)
    {
        const int before = countObjects(shownScreen(window), Type::Text);
        if (!insert(window, &QVR_AddElementMenuViewController::textCell))
            return nullptr;
        if (!waitFor([&] { return countObjects(shownScreen(window), Type::Text) == before + 1; }))
            return nullptr;
        return lastOfType(window, Type::Text);
    }
    static QPoint viewPoint(QVR_CreatorWindow* window, const QPointF& scenePoint)
    {
        return window->theArtBoard()->theScrollView()->mapFromScene(scenePoint);
    }
    // The text's toolbar popover, shown with its size picker after a click on the text (its editing ended first).
    static QVRTextMMObjToolbarPopoverController* textPopover(QVR_CreatorWindow* window, const Proxy& text)
    {
        UserInput::pressKey(window, Qt::Key_Escape);
        if (!clickObject(window, text))
            return nullptr;
        QVRTextMMObjToolbarPopoverController* popover = nullptr;
        waitFor(
            [&] {
                popover = dynamic_cast<QVRTextMMObjToolbarPopoverController*>(popoverOf(window, text));
                return popover && popover->sizePicker() && popover->sizePicker()->isVisible();
            },
            5000);
        return popover && popover->sizePicker() && popover->sizePicker()->isVisible() ? popover : nullptr;
    }
    static bool clickObject(QVR_CreatorWindow* window, const Proxy& object)
    {
        QVR_ArtBoardScrollView* view = window->theArtBoard()->theScrollView();
        view->ensureVisible((*object)->frame());
        QApplication::processEvents();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, viewPoint(window, (*object)->frame().center()));
        return waitFor([&] { return window->selectedItemView()->selectedViews().size() == 1; }, 5000);
    }
    static QVRMMObjToolbarPopoverBase* popoverOf(QVR_CreatorWindow* window, const Proxy& object)
    {
        auto* container = window->theArtBoard()->singleScreen()->containerForMixedMediaObject(object);
        return container ? dynamic_cast<QVRMMObjToolbarPopoverBase*>(container->popoverController()) : nullptr;
    }
    // The text item being edited on the shown board, if any.
    static TextEditingItem* editedText(QVR_CreatorWindow* window)
    {
        QGraphicsScene* scene = window->theArtBoard()->theScrollView()->scene();
        if (!scene)
            return nullptr;
        for (QGraphicsItem* each : scene->items())
            if (auto* item = dynamic_cast<TextEditingItem*>(each); item && item->isEditable())
                return item;
        return nullptr;
    }
    // A right-click as the platform gives it: the press, the context menu event to the widget under the pointer,
    // the release.
    static void rightClick(QWidget* widget, QPoint point)
    {
        QTest::mousePress(widget, Qt::RightButton, {}, point);
        QWidget* target = widget->childAt(point) ? widget->childAt(point) : widget;
        QContextMenuEvent menu(QContextMenuEvent::Mouse, target->mapFrom(widget, point), widget->mapToGlobal(point));
        QApplication::sendEvent(target, &menu);
        QTest::mouseRelease(widget, Qt::RightButton, {}, point);
    }
    static QAction* menuItem(QWidget* window, const QString& command)
    {
        return QVRMainMenu::action(window->findChild<QMenuBar*>(), command);
    }
};

} // namespace

// Undo and Redo keys pressed while a picker's field or the palette keeps the focus act on the document: the text
// popover's size typed and Return, then an alignment button (it takes no focus); Ctrl+Z takes back the alignment
// and keeps the size. In the palette, Ctrl+Z after an x typed key by key takes the move back, Redo stays offered
// and brings it again.
TEST_F(CreatorFaultsRoad, UndoKeysActOnTheDocumentWhileAFieldKeepsTheFocus)
{
    QVR_CreatorWindow* window = newWindow();
    ASSERT_TRUE(window);
    const Proxy text = addText(window);
    ASSERT_TRUE(text);
    QVRTextMMObjToolbarPopoverController* popover = textPopover(window, text);
    ASSERT_TRUE(popover);
    QLineEdit* size = popover->sizePicker()->field();
    QTest::mouseClick(size, Qt::LeftButton);
    UserInput::pressKey(size, Qt::Key_A, Qt::ControlModifier);
    UserInput::typeText(size, QStringLiteral("20"));
    UserInput::pressKey(size, Qt::Key_Return);
    ASSERT_EQ(popover->sizePicker()->currentSize(), 20);
    const QJsonObject sized = (*text)->jsonDictionary();

    QWidget* centre = popover->alignmentButton(2);
    ASSERT_TRUE(centre && centre->isEnabled());
    QTest::mouseClick(size, Qt::LeftButton);
    ASSERT_EQ(QApplication::focusWidget(), size);
    QTest::mouseClick(centre, Qt::LeftButton);
    ASSERT_NE((*text)->jsonDictionary(), sized);
    ASSERT_EQ(QApplication::focusWidget(), size) << "the toolbar button takes no focus";
    UserInput::pressKey(size, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ((*text)->jsonDictionary(), sized) << "the alignment is undone, the size kept";

    // A fraction is refused: Return shows the last accepted size again.
    QTest::mouseClick(size, Qt::LeftButton);
    UserInput::pressKey(size, Qt::Key_A, Qt::ControlModifier);
    UserInput::typeText(size, QStringLiteral("12.5"));
    UserInput::pressKey(size, Qt::Key_Return);
    EXPECT_EQ(size->text(), QStringLiteral("12"));

    // The palette's x typed key by key, then Ctrl+Z and Ctrl+Shift+Z in the field.
    const Proxy shape = addShape(window);
    ASSERT_TRUE(shape);
    ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("toggleXYPalette")));
    auto* palette = window->findChild<QVRXYPaletteView*>();
    ASSERT_TRUE(palette);
    ASSERT_TRUE(clickObject(window, shape));
    QLineEdit* x = palette->field(QVRXYPaletteView::XField);
    ASSERT_TRUE(waitFor([&] { return x->isVisible() && x->isEnabled(); }, 5000));
    const QRectF before = (*shape)->frame();
    QTest::mouseClick(x, Qt::LeftButton);
    UserInput::pressKey(x, Qt::Key_A, Qt::ControlModifier);
    UserInput::typeText(x, QStringLiteral("300"));
    ASSERT_EQ((*shape)->frame().x(), 300);
    UserInput::pressKey(nullptr, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ((*shape)->frame(), before);
    EXPECT_TRUE(chooseMenuItemEnabled(window, QStringLiteral("redo")));
    // Redo from the window, its focus given up by the field.
    UserInput::pressKey(window, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ((*shape)->frame().x(), 300);
    UserInput::pressKey(window, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ((*shape)->frame(), before);
    QTest::mouseClick(x, Qt::LeftButton);
    UserInput::pressKey(x, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ((*shape)->frame().x(), 300);
    // The field gave its focus up to the document's redo: the next keys go to the window.
    EXPECT_NE(QApplication::focusWidget(), x);
    UserInput::pressKey(window, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ((*shape)->frame(), before);
    ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("toggleXYPalette")));
}

// A size typed into the text popover's field key by key, the event loop turning between keys as a person types,
// and Return: one step of the document, whatever it went through on the way ("2", then "24"). One Ctrl+Z brings the
// size before it back, one Ctrl+Y the typed one. A fraction ("12.5", shown as 12) is one step as well: its
// Ctrl+Z never leaves the size at the "1" typed first.
TEST_F(CreatorFaultsRoad, ASizeTypedIntoTheTextPopoverIsOneUndoStep)
{
    namespace keys = roads::keyboard;
    QVR_CreatorWindow* window = newWindow();
    ASSERT_TRUE(window);
    const Proxy text = addText(window);
    ASSERT_TRUE(text);
    QVRTextMMObjToolbarPopoverController* popover = textPopover(window, text);
    ASSERT_TRUE(popover);
    QLineEdit* size = popover->sizePicker()->field();
    const int before = popover->sizePicker()->currentSize();
    ASSERT_NE(before, 24);
    // The text's runs as they would be written (its frame follows the laid-out text).
    const auto record = [&] {
        const QJsonObject runs = (*text)->jsonDictionary().value(QStringLiteral("attributedText")).toObject();
        return QString::fromUtf8(QJsonDocument(runs).toJson(QJsonDocument::Compact)).toStdString();
    };
    const std::string original = record();

    click(size);
    ASSERT_TRUE(waitFor([&] { return keys::focused() == size; }, 3000));
    keys::press(Qt::Key_A, Qt::ControlModifier);
    keys::type(QStringLiteral("24"));
    keys::press(Qt::Key_Return);
    ASSERT_EQ(popover->sizePicker()->currentSize(), 24);
    const std::string typed = record();
    ASSERT_NE(typed, original);

    keys::press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(record(), original) << "one Ctrl+Z left a size typed on the way";
    EXPECT_EQ(popover->sizePicker()->currentSize(), before);
    keys::press(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(record(), typed);
    EXPECT_TRUE(keys::check(QStringLiteral("the typed size undone and redone")));

    // A fraction: "12.5" shows as 12; one Ctrl+Z goes back to 24.
    click(size);
    ASSERT_TRUE(waitFor([&] { return keys::focused() == size; }, 3000));
    keys::press(Qt::Key_A, Qt::ControlModifier);
    keys::type(QStringLiteral("12.5"));
    keys::press(Qt::Key_Return);
    EXPECT_EQ(size->text(), QStringLiteral("12"));
    EXPECT_EQ(popover->sizePicker()->currentSize(), 12);
    keys::press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(record(), typed) << "one Ctrl+Z left a size typed on the way";
    EXPECT_EQ(popover->sizePicker()->currentSize(), 24);
}

// In a text being edited: a misspelt word's menu offers the spelling checker's guesses, and choosing one replaces
// the word; Delete and Backspace edit the text, with Ctrl a word at a time; the element stays.
TEST_F(CreatorFaultsRoad, ATextBeingEditedOffersSpellingGuessesAndCtrlDeleteDeletesAWord)
{
    QVR_CreatorWindow* window = newWindow();
    ASSERT_TRUE(window);
    const Proxy text = addText(window);
    ASSERT_TRUE(text);
    if (!waitFor([&] { return editedText(window) != nullptr; }, 2000)) {
        // Into the text with a double click, as the user edits it.
        ASSERT_TRUE(clickObject(window, text));
        QWidget* viewport = window->theArtBoard()->theScrollView()->viewport();
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, viewPoint(window, (*text)->frame().center()));
    }
    ASSERT_TRUE(waitFor([&] { return editedText(window) != nullptr; }, 5000));
    TextEditingItem* item = editedText(window);
    ASSERT_TRUE(item);
    UserInput::pressKey(nullptr, Qt::Key_A, Qt::ControlModifier);
    UserInput::typeText(nullptr, QStringLiteral("helo there"));
    ASSERT_EQ(item->textStorage()->string(), QStringLiteral("helo there"));
    ASSERT_TRUE(waitFor([&] { return !item->misspelledRanges().empty(); }, 5000)) << "no dictionary marks the word";

    QVR_ArtBoardScrollView* view = window->theArtBoard()->theScrollView();
    const QPointF inWord =
        item->mapToScene(item->layout().caretRect(2).center() + QPointF(item->inset().width(), item->inset().height()));
    rightClick(view->viewport(), view->mapFromScene(inWord));
    QMenu* menu = nullptr;
    ASSERT_TRUE(
        waitFor([&] { return (menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) != nullptr; }, 5000));
    QAction* guess = nullptr;
    for (QAction* action : menu->actions())
        if (action->text() == QStringLiteral("hello"))
            guess = action;
    ASSERT_TRUE(guess) << "the guesses come first in the menu";
    EXPECT_EQ(menu->actions().first()->font().bold(), true);
    guess->trigger();
    menu->close();
    EXPECT_EQ(item->textStorage()->string(), QStringLiteral("hello there"));

    // The keys go on to the text, as after any menu.
    ASSERT_TRUE(editedText(window) == item);
    UserInput::pressKey(view, Qt::Key_End);
    UserInput::pressKey(view, Qt::Key_Backspace);
    EXPECT_EQ(item->textStorage()->string(), QStringLiteral("hello ther"));
    UserInput::pressKey(view, Qt::Key_Home);
    UserInput::pressKey(view, Qt::Key_Delete);
    EXPECT_EQ(item->textStorage()->string(), QStringLiteral("ello ther"));
    UserInput::pressKey(view, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(item->textStorage()->string(), QStringLiteral("ther"));
    QApplication::processEvents();
    EXPECT_EQ(countObjects(shownScreen(window), Type::Text), 1);
}

// The gallery editor holds only its own window: an object of another document's window is still dragged.
TEST_F(CreatorFaultsRoad, TheGalleryEditorBlocksOnlyItsOwnWindow)
{
    QVR_CreatorWindow* first = newWindow();
    ASSERT_TRUE(first);
    QVR_CreatorWindow* second = newWindow();
    ASSERT_TRUE(second && second != first);
    const Proxy shape = addShape(second);
    ASSERT_TRUE(shape);

    first->raise();
    first->activateWindow();
    ASSERT_TRUE(insert(first, &QVR_AddElementMenuViewController::galleryCell));
    ASSERT_TRUE(waitFor([&] { return first->theCanvasView()->galleryEditor() != nullptr; }, 5000));
    QWidget* sheet = first->theCanvasView()->galleryEditor()->view()->window();
    ASSERT_TRUE(waitFor([&] { return sheet->isVisible(); }, 5000));

    second->raise();
    second->activateWindow();
    QApplication::processEvents();
    QVR_ArtBoardScrollView* view = second->theArtBoard()->theScrollView();
    view->ensureVisible((*shape)->frame());
    QApplication::processEvents();
    const QRectF start = (*shape)->frame();
    const QPoint from = viewPoint(second, start.center());
    QTest::mousePress(view->viewport(), Qt::LeftButton, {}, from);
    for (int step = 1; step <= 6; ++step)
        QTest::mouseMove(view->viewport(), from + QPoint(10 * step, 5 * step), 20);
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, from + QPoint(60, 30), 20);
    EXPECT_TRUE(waitFor([&] { return (*shape)->frame().topLeft() != start.topLeft(); }, 5000))
        << "the other document's canvas takes the drag";
    sheet->close();
    ASSERT_TRUE(waitFor([&] { return first->theCanvasView()->galleryEditor() == nullptr; }, 5000));
}

// The thumbnail bar: unselected numbers in 50 % grey; a right-click opens a screen's menu without paging the
// canvas or dropping the selection; the drop indicator of a reorder shows in the brand blue.
TEST_F(CreatorFaultsRoad, TheThumbnailBarKeepsTheShownScreenOnARightClick)
{
    QVR_CreatorWindow* window = newWindow();
    ASSERT_TRUE(window);
    ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("duplicateScreen")));
    QVRThumbnailBar* bar = window->theThumbnailBarView();
    ASSERT_TRUE(waitFor([&] { return bar->screenItemCount() == 2; }, 5000));
    window->resize(1280, 860);
    UserInput::letRepaintsHappen(200);
    const auto flow = window->currentModel()->firstFlowmodel();
    const auto shown = shownScreen(window);
    const int shownIndex = int(flow->indexOfFlowScreen(shown));
    const int other = shownIndex == 0 ? 1 : 0;

    // The other item's number: grey, not white.
    auto* holding = qobject_cast<QVR_ThumbnailHoldingView*>(bar->itemAtIndex(other)->view());
    ASSERT_TRUE(holding);
    QLabel* number = holding->screenNumberLabel();
    const QImage label = UserInput::shownImage(number);
    ASSERT_FALSE(label.isNull());
    int brightest = 0;
    const QColor ground = label.pixelColor(0, 0);
    for (int y = 0; y < label.height(); ++y)
        for (int x = 0; x < label.width(); ++x) {
            const QColor c = label.pixelColor(x, y);
            if (std::abs(c.lightness() - ground.lightness()) > 12)
                brightest = std::max(brightest, c.lightness());
        }
    EXPECT_GT(brightest, 0) << "the number is drawn";
    EXPECT_LT(brightest, 170) << "white 0.5, not white";

    // A right-click on the other screen's item: its menu, and the canvas stays where it was.
    const Proxy shape = addShape(window);
    ASSERT_TRUE(shape && clickObject(window, shape));
    QWidget* item = bar->itemAtIndex(other)->view();
    rightClick(item, item->rect().center());
    ASSERT_TRUE(waitFor([] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()) != nullptr; }, 5000));
    EXPECT_EQ(shownScreen(window), shown);
    EXPECT_EQ(window->selectedItemView()->selectedViews().size(), 1u);
    QApplication::activePopupWidget()->close();

    // The reorder's drop indicator over the bar, in the brand blue.
    QMimeData* data = bar->writeItemsAtIndexes({0});
    ASSERT_TRUE(data);
    const QPoint over = bar->frameForItemAtIndex(1).center() + QPoint(bar->frameForItemAtIndex(1).width() / 4, 0);
    QDragEnterEvent enter(over, Qt::MoveAction, data, Qt::LeftButton, {});
    QApplication::sendEvent(bar, &enter);
    QDragMoveEvent move(over, Qt::MoveAction, data, Qt::LeftButton, {});
    QApplication::sendEvent(bar, &move);
    ASSERT_TRUE(bar->dropIndicator()->isVisible());
    UserInput::letRepaintsHappen();
    const QColor indicator = UserInput::shownColor(bar->dropIndicator(), QPoint(1, bar->dropIndicator()->height() / 2));
    EXPECT_EQ(indicator.rgb(), Tessutils::tessarineBlue().rgb());
    QDragLeaveEvent leave;
    QApplication::sendEvent(bar, &leave);
    bar->draggingEnded();
    delete data;
}

// On a brand-blue screen the selection outline still shows: white runs beside its blue line.
TEST_F(CreatorFaultsRoad, TheSelectionOutlineReadsOnABrandBlueScreen)
{
    QVR_CreatorWindow* window = newWindow();
    ASSERT_TRUE(window);
    const auto screen = shownScreen(window);
    screen->setBackgroundColor(Tessutils::tessarineBlue());
    screen->updateNotifier().sendUpdateNotificationsIfNeeded();
    const Proxy shape = addShape(window);
    ASSERT_TRUE(shape);
    ASSERT_TRUE(clickObject(window, shape));
    window->resize(1200, 840);
    QWidget* viewport = window->theArtBoard()->theScrollView()->viewport();
    const QRectF frame = (*shape)->frame();
    // Across the outline's left edge, away from the handles: some pixel there is near white. Read from what the
    // window shows once it has repainted at the zoom the board settled on for the new size (a machine under load
    // takes its time): each reading maps the edge afresh.
    int whitest = 0;
    const auto outlineReads = [&] {
        window->theArtBoard()->theScrollView()->ensureVisible(frame, 60, 60);
        whitest = 0;
        for (const double fraction : {0.3, 0.4, 0.6}) {
            const QPoint edge = viewPoint(window, QPointF(frame.left(), frame.top() + frame.height() * fraction));
            for (int dx = -4; dx <= -1; ++dx) {
                const QColor c = UserInput::shownColor(viewport, edge + QPoint(dx, 0));
                whitest = std::max(whitest, std::min({c.red(), c.green(), c.blue()}));
            }
        }
        return whitest > 200;
    };
    EXPECT_TRUE(waitFor(outlineReads, 5000)) << "the whitest pixel across the outline: " << whitest;
    if (const QByteArray folder = qgetenv("WALK_SHOTS"); !folder.isEmpty())
        UserInput::shownImage(viewport).save(QString::fromLocal8Bit(folder) + QStringLiteral("/outline.png"));
}

// The web video dialog in a 640 x 440 window: the preview stays whole above Insert, the link field has the
// keyboard, and with the site out of reach the dialog says so.
TEST_F(CreatorFaultsRoad, TheWebVideoDialogFitsASmallWindowAndSaysWhenTheSiteCannotBeReached)
{
    QVR_CreatorWindow* window = newWindow();
    ASSERT_TRUE(window);
    window->resize(640, 440);
    UserInput::letRepaintsHappen();
    // Nothing listens here: the site cannot be reached.
    StreamingVideoPreviewHelper::setSiteBaseURLsForTesting(QUrl(QStringLiteral("http://127.0.0.1:9")),
                                                           QUrl(QStringLiteral("http://127.0.0.1:9")));
    ASSERT_TRUE(insert(window, &QVR_AddElementMenuViewController::youTubeCell));
    QVR_AddStreamingVideoViewController* dialog = nullptr;
    ASSERT_TRUE(waitFor(
        [&] {
            dialog = window->findChild<QVR_AddStreamingVideoViewController*>();
            return dialog && dialog->urlFeild() && dialog->urlFeild()->isVisible();
        },
        5000));
    EXPECT_TRUE(waitFor([&] { return QApplication::focusWidget() == dialog->urlFeild(); }, 5000));
    QWidget* page = dialog->view();
    const QRect image(dialog->imageView()->mapTo(window, QPoint(0, 0)), dialog->imageView()->size());
    const QRect insertButton(dialog->insertButton()->mapTo(window, QPoint(0, 0)), dialog->insertButton()->size());
    const QRect pageRect(page->mapTo(window, QPoint(0, 0)), page->size());
    EXPECT_FALSE(image.intersects(insertButton));
    EXPECT_TRUE(pageRect.contains(image) && pageRect.contains(insertButton));
    EXPECT_TRUE(window->rect().contains(insertButton));
    EXPECT_GE(image.height(), 120);

    UserInput::typeText(dialog->urlFeild(), QStringLiteral("dQw4w9WgXcQ"));
    EXPECT_TRUE(waitFor([&] { return dialog->reachNotice()->isVisible(); }, 15000));
    EXPECT_FALSE(dialog->insertButton()->isEnabled());
    EXPECT_FALSE(dialog->reachNotice()->text().isEmpty());
    // Given room again, the picture grows back to its full size.
    window->resize(1300, 900);
    EXPECT_TRUE(waitFor([&] { return dialog->imageView()->pixmap().height() >= 200; }, 5000))
        << dialog->imageView()->pixmap().height();
    StreamingVideoPreviewHelper::setSiteBaseURLsForTesting(QUrl(), QUrl());
}

// The e-mail link editor says why "hello" is refused; the flow link's id field keeps its width, centred.
TEST_F(CreatorFaultsRoad, TheLinkEditorsExplainARefusedAddressAndKeepTheirFieldsCentred)
{
    QVR_CreatorWindow* window = newWindow();
    ASSERT_TRUE(window);
    const Proxy shape = addShape(window);
    ASSERT_TRUE(shape && clickObject(window, shape));
    const auto openChooser = [&](const Proxy& object) -> QVR_LinkTypeSelectionViewController* {
        QVRMMObjToolbarPopoverBase* popover = nullptr;
        if (!waitFor(
                [&] {
                    popover = popoverOf(window, object);
                    QWidget* link =
                        popover ? popover->toolbarViewWithTag(QVRToolbarPopoverController::LinkTag) : nullptr;
                    return link && link->isVisible();
                },
                5000))
            return nullptr;
        click(popover->toolbarViewWithTag(QVRToolbarPopoverController::LinkTag));
        QVR_LinkTypeSelectionViewController* chooser = nullptr;
        waitFor(
            [&] {
                chooser = window->findChild<QVR_LinkTypeSelectionViewController*>();
                return chooser && chooser->emailLinkButton() && chooser->emailLinkButton()->isVisible();
            },
            5000);
        return chooser;
    };
    QVR_LinkTypeSelectionViewController* chooser = openChooser(shape);
    ASSERT_TRUE(chooser);
    click(chooser->emailLinkButton());
    QVR_ExternalLinkSelectionViewController* mail = nullptr;
    ASSERT_TRUE(waitFor(
        [&] {
            mail = window->findChild<QVR_ExternalLinkSelectionViewController*>();
            return mail && mail->urlField() && mail->urlField()->isVisible();
        },
        5000));
    QTest::mouseClick(mail->urlField(), Qt::LeftButton);
    UserInput::typeText(mail->urlField(), QStringLiteral("hello"));
    click(mail->saveButton());
    EXPECT_TRUE(mail->problemLabel()->isVisible());
    EXPECT_TRUE(mail->problemLabel()->text().contains(QStringLiteral("hello")));
    EXPECT_EQ((*shape)->action(), nullptr);
    UserInput::typeText(mail->urlField(), QStringLiteral("@example.org"));
    EXPECT_FALSE(mail->problemLabel()->isVisible()) << "typing again clears the reason";
    click(mail->saveButton());
    ASSERT_TRUE(waitFor([&] { return (*shape)->action() != nullptr; }, 5000));

    // The first shape's link now opens its own editor: a second shape gets the chooser.
    const Proxy second = addShape(window);
    ASSERT_TRUE(second && clickObject(window, second));
    chooser = openChooser(second);
    ASSERT_TRUE(chooser);
    click(chooser->flowEmbedLinkButton());
    QVR_FlowEmbedLinkSelectionViewController* flow = nullptr;
    ASSERT_TRUE(waitFor(
        [&] {
            flow = window->findChild<QVR_FlowEmbedLinkSelectionViewController*>();
            return flow && flow->stringIDTextField() && flow->stringIDTextField()->isVisible();
        },
        5000));
    QWidget* page = flow->view();
    QLineEdit* id = flow->stringIDTextField();
    const QRect field(id->mapTo(page, QPoint(0, 0)), id->size());
    EXPECT_LT(field.width(), page->width() - 200) << "not stretched across the panel";
    EXPECT_NEAR(field.center().x(), page->width() / 2, page->width() / 6) << "centred with the rest";
    QTest::mouseClick(flow->clearLinkButton(), Qt::LeftButton);
}

// A "&" of a document's title is a character in the toolbar; the View menu's dock item says what it will do;
// the presentation settings' toggles look different on and off.
TEST_F(CreatorFaultsRoad, TitlesAndTogglesShowWhatTheySay)
{
    QVR_CreatorWindow* window = newWindow();
    ASSERT_TRUE(window);
    window->currentModel()->firstFlowmodel()->setTitle(QStringLiteral("My Talk & Q?"));
    window->theToolBarView()->setTessarineTitle(QStringLiteral("My Talk & Q?"));
    window->resize(1280, 800);
    UserInput::letRepaintsHappen();
    EXPECT_TRUE(QKeySequence::mnemonic(window->theToolBarView()->titleLabel()->text()).isEmpty())
        << "no shortcut letter";

    // The title editor's texts in the theme's black: the darkest ink of its label is 0.23 grey, not black.
    click(window->theToolBarView()->titleLabel());
    QVRTitleAndDescriptionEditorViewController* titleEditor = nullptr;
    ASSERT_TRUE(waitFor(
        [&] {
            titleEditor = window->findChild<QVRTitleAndDescriptionEditorViewController*>();
            return titleEditor && titleEditor->isVisible();
        },
        5000));
    UserInput::letRepaintsHappen();
    int inked = 0;
    for (QLabel* part : titleEditor->findChildren<QLabel*>()) {
        if (!part->isVisible() || part->text().isEmpty())
            continue;
        const QImage shown = UserInput::shownImage(part);
        int darkest = 255;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x)
                darkest = std::min(darkest, qGray(shown.pixel(x, y)));
        // Antialiased glyphs run a little darker than their colour; pure black would reach 0.
        EXPECT_GE(darkest, 35) << part->text().toStdString();
        inked += darkest < 120 ? 1 : 0;
    }
    EXPECT_GE(inked, 1) << "a label's text was read";
    click(titleEditor->doneButton());

    const bool docked = Tessutils::isPopoverDocked();
    ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("toggleDockedPopover")));
    ASSERT_TRUE(chooseMenuItemEnabled(window, QStringLiteral("toggleDockedPopover")));
    QString title = menuItem(window, QStringLiteral("toggleDockedPopover"))->text();
    title.remove(QLatin1Char('&'));
    EXPECT_EQ(title, Tessutils::isPopoverDocked() ? UFM::DOCK_POPOVER_TOOL_TIP_DOCKED() : UFM::DOCK_POPOVER_TOOL_TIP());
    EXPECT_NE(Tessutils::isPopoverDocked(), docked);
    ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("toggleDockedPopover")));

    ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("showScreenPropertiesMenu")));
    QVR_ScreenPropertiesMenuViewController* sheet = nullptr;
    ASSERT_TRUE(waitFor(
        [&] {
            sheet = window->findChild<QVR_ScreenPropertiesMenuViewController*>();
            return sheet && sheet->isVisible();
        },
        5000));
    QAbstractButton* toggle = sheet->autoplayToggle();
    UserInput::letRepaintsHappen();
    const QColor off = UserInput::shownColor(toggle, QPoint(4, toggle->height() / 2));
    QTest::mouseClick(toggle, Qt::LeftButton);
    UserInput::letRepaintsHappen();
    ASSERT_TRUE(toggle->isChecked());
    const QColor on = UserInput::shownColor(toggle, QPoint(4, toggle->height() / 2));
    EXPECT_GT(std::abs(off.lightness() - on.lightness()), 60) << "on and off read apart";
    click(sheet->doneButton());
}

// A phone clip filmed turned (its frames stored sideways, a quarter turn in its metadata) added through Insert ›
// Video: the compression chooser shows at its full size, and the clip stands upright on the canvas, blue on top,
// and so it plays in the player.
TEST_F(CreatorFaultsRoad, APhoneClipStandsUprightAndTheChooserShowsWhole)
{
    if (QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty())
        GTEST_SKIP() << "ffmpeg is needed to make the test clip";
    QTemporaryDir inputs;
    const QString stored = inputs.filePath(QStringLiteral("stored.mp4"));
    const QString clip = inputs.filePath(QStringLiteral("phone.mp4"));
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {"-v", "error", "-y", "-filter_complex",
                  "color=c=red:s=160x160:d=1:r=5[a];color=c=blue:s=160x160:d=1:r=5[b];[a][b]hstack", "-c:v", "mpeg4",
                  stored});
    ASSERT_TRUE(ffmpeg.waitForFinished(60000) && ffmpeg.exitCode() == 0);
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {"-v", "error", "-y", "-i", stored, "-c", "copy", "-metadata:s:v:0", "rotate=90", clip});
    ASSERT_TRUE(ffmpeg.waitForFinished(60000) && ffmpeg.exitCode() == 0);

    QVR_CreatorWindow* window = newWindow();
    ASSERT_TRUE(window);
    ASSERT_TRUE(insert(window, &QVR_AddElementMenuViewController::videoCell));
    ASSERT_TRUE(answerFileDialog(clip));
    QVRCompressionSelectionViewController* presets = nullptr;
    ASSERT_TRUE(waitFor([&] { return (presets = openedMenu<QVRCompressionSelectionViewController>()) != nullptr; }));
    UserInput::letRepaintsHappen();
    EXPECT_GE(presets->view()->width(), 420);
    EXPECT_GE(presets->view()->height(), 110);
    click(presets->smallButton());
    ASSERT_TRUE(waitFor([&] { return countObjects(shownScreen(window), Type::Video) == 1; }, 45000));
    ASSERT_TRUE(waitFor([&] { return window->theToolBarView()->insertButton()->isEnabled(); }, 45000));
    const Proxy video = lastOfType(window, Type::Video);
    const QRectF frame = (*video)->frame();
    EXPECT_GT(frame.height(), frame.width()) << "upright, as filmed";
    window->theArtBoard()->theScrollView()->ensureVisible(frame);
    UserInput::letRepaintsHappen(200);
    QWidget* viewport = window->theArtBoard()->theScrollView()->viewport();
    const QColor top =
        UserInput::shownColor(viewport, viewPoint(window, frame.center() - QPointF(0, frame.height() / 4)));
    EXPECT_GT(top.blue(), 150) << "its top, blue, where players show it";
    EXPECT_LT(top.red(), 100);

    // Played: clicked in the player, it plays upright, blue over red.
    QVRViewerWindow* viewer = play(window);
    ASSERT_TRUE(viewer);
    QVRViewerViewController* controller = viewer->windowController()->tessarineViewerViewController();
    QVR_TessarineViewerView* view = controller->viewerView();
    ASSERT_TRUE(waitFor([&] { return view->numScreens() > 0 && !view->isAnimating(); }));
    QVR_ArtBoardScrollView* board = view->singleScreensArray().at(size_t(view->currentPage()))->theScrollView();
    const QPoint middle = board->mapFromScene(frame.center());
    QTest::mousePress(board->viewport(), Qt::LeftButton, {}, middle);
    QTest::mouseRelease(board->viewport(), Qt::LeftButton, {}, middle);
    VideoPlayerLayer* layer = nullptr;
    ASSERT_TRUE(waitFor(
        [&] {
            QWidget* player = controller->videoPlayingView();
            layer = player ? player->findChild<VideoPlayerLayer*>() : nullptr;
            return layer && layer->hasFrame() && layer->isVisible();
        },
        30000))
        << "the clip does not play";
    UserInput::letRepaintsHappen(200);
    const QImage shown = layer->grab().toImage();
    const QColor upper = shown.pixelColor(shown.width() / 2, shown.height() / 4);
    const QColor lower = shown.pixelColor(shown.width() / 2, shown.height() * 3 / 4);
    EXPECT_GT(upper.blue(), 150) << "the player's top is " << upper.name().toStdString();
    EXPECT_LT(upper.red(), 100) << "the player's top is " << upper.name().toStdString();
    EXPECT_GT(lower.red(), 150) << "the player's bottom is " << lower.name().toStdString();
    // Upright: the picture is taller than wide, black at its sides.
    const QColor side = shown.pixelColor(4, shown.height() / 2);
    EXPECT_LT(side.lightness(), 40) << "the player's side is " << side.name().toStdString();
}

// A PDF's popover is the image popover without a link: dock, change image, crop and the stacking order. Change Image
// gives the PDF another picture to show; it stays a PDF with its own file, and Undo brings its first page back.
TEST_F(CreatorFaultsRoad, APdfsChangeImageChangesItsPictureAndKeepsThePdf)
{
    QTemporaryDir inputs;
    QVR_CreatorWindow* window = newWindow();
    ASSERT_TRUE(window);
    ASSERT_TRUE(insert(window, &QVR_AddElementMenuViewController::pdfCell));
    ASSERT_TRUE(answerFileDialog(makePdf(inputs.filePath(QStringLiteral("pages.pdf")), 3)));
    ASSERT_TRUE(waitFor([&] { return countObjects(shownScreen(window), Type::PDF) == 1; }));
    ASSERT_TRUE(waitFor([&] { return window->theToolBarView()->insertButton()->isEnabled(); }));
    const Proxy pdf = lastOfType(window, Type::PDF);
    ASSERT_TRUE(clickObject(window, pdf));
    QVRMMObjToolbarPopoverBase* popover = nullptr;
    ASSERT_TRUE(waitFor(
        [&] {
            popover = popoverOf(window, pdf);
            QWidget* change =
                popover ? popover->toolbarViewWithTag(QVRToolbarPopoverController::ChangeImageTag) : nullptr;
            return change && change->isVisible();
        },
        5000));
    QList<int> tags;
    for (QWidget* view : popover->toolbarViews())
        if (const int tag = QVRToolbarPopoverController::tagOf(view); tag != 0)
            tags << tag;
    EXPECT_EQ(tags, (QList<int>{QVRToolbarPopoverController::DockTag, QVRToolbarPopoverController::ChangeImageTag,
                                QVRToolbarPopoverController::CropTag, QVRToolbarPopoverController::ForwardTag,
                                QVRToolbarPopoverController::BackTag}));

    const QJsonObject before = (*pdf)->jsonDictionary();
    const QString pdfFile = (*pdf)->pdfAsset()->externalURL().toLocalFile();
    click(popover->toolbarViewWithTag(QVRToolbarPopoverController::ChangeImageTag));
    ASSERT_TRUE(answerFileDialog(makePicture(inputs.filePath(QStringLiteral("red.png")), "PNG", Qt::red)));
    ASSERT_TRUE(waitFor(
        [&] {
            const auto picture = (*pdf)->originalImageAsset();
            return picture && picture->sourceFileName() == QStringLiteral("red.png");
        },
        10000));
    EXPECT_EQ((*pdf)->type(), Type::PDF);
    ASSERT_TRUE((*pdf)->pdfAsset());
    EXPECT_EQ((*pdf)->pdfAsset()->externalURL().toLocalFile(), pdfFile);
    EXPECT_TRUE(QFileInfo::exists(pdfFile));
    // Out of the crop mode the change ends in, then the document's Undo.
    QVR_InteractableViewHandler* handler = window->theArtBoard()->singleScreen()->interactionHandler();
    ASSERT_TRUE(handler);
    ASSERT_TRUE(waitFor([&] { return handler->isCropping() && handler->cropView()->isLoaded(); }, 5000));
    // Crop mode keeps the screen to itself: nothing is pasted, selected or recoloured around it.
    QGuiApplication::clipboard()->setText(QStringLiteral("pasted"));
    for (const QString& command :
         {QStringLiteral("paste"), QStringLiteral("selectAll"), QStringLiteral("changeBackgroundColor")})
        EXPECT_FALSE(chooseMenuItemEnabled(window, command)) << command.toStdString();
    const int objects = int(shownScreen(window)->mixedMediaObjects().size());
    click(window->theToolBarView()->insertButton());
    EXPECT_FALSE(waitFor([] { return openedMenu<QVR_AddElementMenuViewController>() != nullptr; }, 500));
    EXPECT_EQ(int(shownScreen(window)->mixedMediaObjects().size()), objects);
    UserInput::pressKey(window->theArtBoard()->theScrollView()->viewport(), Qt::Key_Escape);
    ASSERT_TRUE(waitFor([&] { return !handler->isCropping(); }, 5000));
    EXPECT_TRUE(chooseMenuItemEnabled(window, QStringLiteral("paste")));
    EXPECT_TRUE(chooseMenuItemEnabled(window, QStringLiteral("selectAll")));
    ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("undo")));
    // The pictures cut from it to the frame may be made again; the PDF's own picture and placing come back.
    const auto withoutCuts = [](QJsonObject json) {
        json.remove(QStringLiteral("croppedImageAsset"));
        json.remove(QStringLiteral("retinaCroppedImageAsset"));
        return json;
    };
    EXPECT_TRUE(waitFor([&] { return withoutCuts((*pdf)->jsonDictionary()) == withoutCuts(before); }, 5000))
        << QJsonDocument((*pdf)->jsonDictionary()).toJson().toStdString();
    ASSERT_TRUE((*pdf)->croppedImageAsset());
    const QImage shown((*pdf)->croppedImageAsset()->externalURL().toLocalFile());
    EXPECT_FALSE(shown.isNull());
    EXPECT_NE(shown.pixelColor(shown.width() / 10, shown.height() / 10).rgb(), QColor(Qt::red).rgb());
}

// A field's own menu acts on the field while it is being edited: in the palette, x typed key by key, then the
// field's Undo takes the typing back, and the element with it; the document's steps are left alone (nothing to
// redo, the element still there). Typed again, the Edit menu's Undo takes the typing back as one step of the
// document, the field showing it, and the next Undo the element's insertion.
TEST_F(CreatorFaultsRoad, AFieldsOwnUndoActsOnTheFieldAndTheEditMenusOnTheDocument)
{
    QVR_CreatorWindow* window = newWindow();
    ASSERT_TRUE(window);
    const Proxy shape = addShape(window);
    ASSERT_TRUE(shape);
    ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("toggleXYPalette")));
    auto* palette = window->findChild<QVRXYPaletteView*>();
    ASSERT_TRUE(palette);
    ASSERT_TRUE(clickObject(window, shape));
    QLineEdit* x = palette->field(QVRXYPaletteView::XField);
    ASSERT_TRUE(waitFor([&] { return x->isVisible() && x->isEnabled(); }, 5000));
    const QRectF before = (*shape)->frame();
    const QString shown = x->text();
    const auto typeX = [&] {
        QTest::mouseClick(x, Qt::LeftButton);
        UserInput::pressKey(x, Qt::Key_A, Qt::ControlModifier);
        UserInput::typeText(x, QStringLiteral("300"));
    };
    typeX();
    ASSERT_EQ((*shape)->frame().x(), 300);

    // The field's own menu, its Undo clicked as the user chooses it.
    rightClick(x, x->rect().center());
    QMenu* menu = nullptr;
    ASSERT_TRUE(
        waitFor([&] { return (menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) != nullptr; }, 5000));
    QAction* undo = nullptr;
    for (QAction* action : menu->actions())
        if (action->text().remove(QLatin1Char('&')).startsWith(QStringLiteral("Undo")))
            undo = action;
    ASSERT_TRUE(undo && undo->isEnabled());
    // Through the menu's window, as the platform delivers a click: the window sees the press before the menu.
    const QPoint at = menu->actionGeometry(undo).center();
    QTest::mousePress(menu->windowHandle(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(menu->windowHandle(), Qt::LeftButton, {}, at);
    if (QApplication::activePopupWidget() == menu)
        menu->close();
    UserInput::letRepaintsHappen();
    EXPECT_EQ(x->text(), shown) << "the field's typing is taken back";
    EXPECT_EQ((*shape)->frame(), before) << "and the element follows the field";
    EXPECT_FALSE(chooseMenuItemEnabled(window, QStringLiteral("redo"))) << "the document's steps are left alone";
    EXPECT_EQ(countObjects(shownScreen(window), Type::Shape), 1);

    // The offscreen platform lets the menu take the window's activation with it; a display gives it back.
    window->activateWindow();
    ASSERT_TRUE(waitFor([&] { return QApplication::activeWindow() == window; }));
    typeX();
    ASSERT_EQ((*shape)->frame().x(), 300);
    ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("undo")));
    EXPECT_EQ((*shape)->frame(), before) << "the typing is one step of the document";
    EXPECT_EQ(countObjects(shownScreen(window), Type::Shape), 1);
    EXPECT_TRUE(waitFor([&] { return x->text() == shown; }, 2000)) << x->text().toStdString();
    ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("undo")));
    EXPECT_EQ(countObjects(shownScreen(window), Type::Shape), 0) << "the next step back is the insertion";
    ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("toggleXYPalette")));
}
