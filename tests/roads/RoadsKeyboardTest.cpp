#include <gtest/gtest.h>

#include <algorithm>

#include <QAbstractSpinBox>
#include <QBuffer>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QWindow>

#include "app/QVRAppDelegate.h"
#include "controls/FloatingWindowCloser.h"
#include "controls/MouseEventShieldWindow.h"
#include "controls/PanelFocusReturn.h"
#include "controls/QVR_LoadingViewController.h"
#include "controls/SheetLikePanelViewController.h"
#include "controls/UniversalPopover.h"
#include "creator/addition/QVR_AddElementMenuViewController.h"
#include "creator/addition/QVR_AddShapeMenuViewController.h"
#include "creator/addition/QVR_AddStreamingVideoViewController.h"
#include "creator/canvas/QVR_ArtBoardScrollView.h"
#include "creator/canvas/QVR_CreatorSingleScreen.h"
#include "creator/canvas/QVR_MixedMediaElementContainingView.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/toolbar/QVR_CreatorToolBarView.h"
#include "creator/toolbar/QVR_ToolbarButton.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "elements/views/QVRCompressionSelectionViewController.h"
#include "foundation/Tessutils.h"
#include "inspector/links/QVR_ExternalLinkSelectionViewController.h"
#include "inspector/links/QVR_LinkTypeSelectionViewController.h"
#include "inspector/links/QVR_ScreenLinkSelectionViewController.h"
#include "inspector/panels/QVRTitleAndDescriptionEditorViewController.h"
#include "inspector/panels/QVRXYPaletteView.h"
#include "inspector/pickers/ColorPanel.h"
#include "inspector/pickers/QVRColorPicker.h"
#include "inspector/popovers/QVRMMObjToolbarPopoverBase.h"
#include "inspector/sidemenu/QVR_ContextualMenuView.h"
#include "inspector/sidemenu/QVR_SideMenuOutlets.h"
#include "library/account/QVRRegisterWallWindowController.h"
#include "library/account/QVR_ProfileEditorWebViewWindowController.h"
#include "library/guides/QVRGuideViewerViewController.h"
#include "library/lists/QVRMyTessarinesViewController.h"
#include "library/publish/QVREditTessarineDetailsWindowController.h"
#include "library/lists/QVRTessarineTileGridItemView.h"
#include "library/themes/QVRTemplateChooserWindowController.h"
#include "library/themes/QVR_TemplateChooserCollectionView.h"
#include "library/themes/TessarineTheme.h"
#include "library/themes/QVR_TemplateChooserThumbnailController.h"
#include "library/themes/QVR_TemplateChooserViewController.h"
#include "library/themes/QVR_TemplateCollectionViewObject.h"
#include "platform/UserDefaults.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "pptx/import/QVRPowerpointOverviewWindowController.h"
#include "roads/RoadsKeyboard.h"
#include "roads/RoadsSignedInService.h"
#include "roads/RoadsTestSupport.h"
#include "strings/UFM.h"
#include "support/UserInput.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "viewer/QVRViewerWindow.h"

using namespace roads;
namespace keys = roads::keyboard;

namespace {

using Type = ZERI_MixedMediaObject::Type;
using Proxy = std::shared_ptr<ZERI_MixedMediaObjectProxy>;

// One guide in the service's list, so that the guide opens by itself in the first creator windows.
QJsonObject oneGuide()
{
    return QJsonObject{{QStringLiteral("id"), QStringLiteral("2001")},
                       {QStringLiteral("string_id"), QStringLiteral("guide-one")},
                       {QStringLiteral("title"), QStringLiteral("Getting started")},
                       {QStringLiteral("description"), QStringLiteral("The first steps")}};
}

class KeyboardRoad : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(signedInService()); }
    void SetUp() override
    {
        application();
        ASSERT_TRUE(leaveFirstLaunchTour());
        // No guide unless a road asks for one: the guide would open by itself over the first new windows.
        signedInService()->withState([](FakeWebService::State& state) { state.helpList = QJsonArray(); });
        UserDefaults::standard().setValue(QVR_CreatorToolBarView::kAutoLaunchedGuideCountKey, 2);
    }
    void TearDown() override { closeDocumentWindows(); }

    // My Documents brought to the front, then its File › New: the Templates window opens.
    static ::testing::AssertionResult chooseNewInMyDocuments()
    {
        QWidget* lists = application().listsWindow();
        if (!lists)
            return ::testing::AssertionFailure() << "no My Documents window";
        lists->activateWindow();
        if (!waitFor([&] { return QApplication::activeWindow() == lists; }, 5000))
            return ::testing::AssertionFailure() << "My Documents never came to the front";
        if (!chooseMenuItem(lists, QStringLiteral("new")))
            return ::testing::AssertionFailure() << "File › New could not be chosen";
        return ::testing::AssertionSuccess();
    }

    static QVR_CreatorWindow* newWindow()
    {
        QVR_CreatorWindow* window = createDocumentFromPlusTile();
        if (!window) {
            for (QWidget* top : QApplication::topLevelWidgets())
                if (top->isVisible())
                    ADD_FAILURE() << "shown: " << top->metaObject()->className() << " "
                                  << top->windowTitle().toStdString();
            return nullptr;
        }
        window->resize(1300, 900);
        UserInput::letRepaintsHappen();
        waitFor([&] { return QApplication::activeWindow() == window && window->focusWidget(); }, 5000);
        return window;
    }
    static std::vector<Proxy> shapesOf(QVR_CreatorWindow* window)
    {
        std::vector<Proxy> shapes;
        for (const Proxy& object : shownScreen(window)->mixedMediaObjects())
            if ((*object)->type() == Type::Shape)
                shapes.push_back(object);
        return shapes;
    }
    // With Insert opening and the keyboard on its first row: Down to `row`, then Return.
    static bool chooseInsertRowByKeys(QVR_TableViewCellLikeView* (QVR_AddElementMenuViewController::*row)() const)
    {
        QVR_AddElementMenuViewController* menu = nullptr;
        if (!waitFor([&] {
                menu = openedMenu<QVR_AddElementMenuViewController>();
                return menu && menu->cells().value(0) && menu->cells().value(0)->hasFocus();
            }))
            return false;
        const int index = int(menu->cells().indexOf((menu->*row)()));
        for (int step = 0; step < index; ++step)
            keys::press(Qt::Key_Down);
        keys::press(Qt::Key_Return);
        return true;
    }
    // Insert › Shape › the first shape, with the keyboard once Insert is open.
    static Proxy addShape(QVR_CreatorWindow* window)
    {
        const size_t before = shapesOf(window).size();
        click(window->theToolBarView()->insertButton());
        if (!chooseInsertRowByKeys(&QVR_AddElementMenuViewController::shapeCell))
            return nullptr;
        QVR_AddShapeMenuView* shapes = nullptr;
        if (!waitFor([&] {
                auto* chooser = openedMenu<QVR_AddShapeMenuViewController>();
                shapes = chooser ? chooser->menuView() : nullptr;
                return shapes && shapes->buttons().value(0)->hasFocus();
            }))
            return nullptr;
        keys::press(Qt::Key_Return);
        if (!waitFor([&] { return shapesOf(window).size() == before + 1; }, 5000))
            return nullptr;
        return shapesOf(window).back();
    }
    // The side menu's body, shown.
    static QWidget* openSideMenu(QVR_CreatorWindow* window)
    {
        auto* menu = qobject_cast<QVR_ContextualMenuView*>(window->sideBarView());
        if (!menu)
            return nullptr;
        if (!(menu->width() > 0 && menu->currentBody() && menu->currentBody()->isVisible()))
            click(window->theToolBarView()->sidebarMenuButton());
        waitFor([&] { return menu->width() > 0 && menu->currentBody() && menu->currentBody()->isVisible(); });
        UserInput::letRepaintsHappen(200);
        return menu->currentBody();
    }
    static QPoint emptyCanvasPoint(QVR_CreatorWindow* window)
    {
        QVR_ArtBoardScrollView* view = window->theArtBoard()->theScrollView();
        return view->viewport()->rect().bottomLeft() + QPoint(30, -30);
    }
};

} // namespace

// Screen › Presenter Notes shows the real dialog with the keyboard in its field: "Note one", typed key by key with
// the event loop turning, is kept (the space types a blank, it does not press OK), and the keyboard comes back to
// the canvas when the dialog closes.
TEST_F(KeyboardRoad, APresenterNoteTypedIntoTheDialogIsKept)
{
    QVR_CreatorWindow* window = newWindow();
    ASSERT_TRUE(window);
    ASSERT_TRUE(keys::check(QStringLiteral("a new window")));
    QWidget* before = keys::focused();

    ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("setPresenterNote")));
    QPointer<QMessageBox> box;
    ASSERT_TRUE(waitFor([&] {
        box = visibleTopLevel<QMessageBox>();
        return box && QApplication::activeWindow() == box;
    }));
    EXPECT_TRUE(waitFor([&] { return qobject_cast<QPlainTextEdit*>(keys::focused()) != nullptr; }, 2000))
        << "the note's field does not have the keyboard";
    ASSERT_TRUE(keys::check(QStringLiteral("Presenter Notes opened")));
    ASSERT_TRUE(keys::type(QStringLiteral("Note one")));
    ASSERT_TRUE(box && box->isVisible()) << "a typed key closed the dialog";
    // Tab leaves the field for the buttons; Escape closes, and the typed note stays.
    EXPECT_TRUE(keys::tabWalksAround(QStringLiteral("Presenter Notes"), 2));
    ASSERT_TRUE(keys::press(Qt::Key_Escape));
    ASSERT_TRUE(waitFor([&] { return !visibleTopLevel<QMessageBox>(); }, 5000));
    EXPECT_EQ(shownScreen(window)->presenterNotes(), QStringLiteral("Note one"));
    EXPECT_TRUE(keys::check(QStringLiteral("Presenter Notes closed")));
    EXPECT_EQ(keys::focused(), before);
}

// Up and Down in the side menu's opacity field step the opacity; the selected shape stays where it is.
TEST_F(KeyboardRoad, TheArrowsInANumberFieldStayInTheField)
{
    QVR_CreatorWindow* window = newWindow();
    ASSERT_TRUE(window);
    const Proxy shape = addShape(window);
    ASSERT_TRUE(shape);
    const QRectF frame = (*shape)->frame();
    QWidget* body = openSideMenu(window);
    ASSERT_TRUE(body);
    QVR_ColorOutlet* colour = nullptr;
    ASSERT_TRUE(waitFor([&] { return (colour = body->findChild<QVR_ColorOutlet*>()) && colour->isVisible(); }));
    QDoubleSpinBox* opacity = colour->opacityField();
    click(opacity);
    ASSERT_TRUE(waitFor([&] { return keys::focused() == opacity; }, 3000))
        << "the click left the keyboard on " << (keys::focused() ? keys::focused()->metaObject()->className() : "");
    const double start = opacity->value();
    keys::press(Qt::Key_Down);
    keys::press(Qt::Key_Down);
    keys::press(Qt::Key_Up);
    EXPECT_EQ((*shape)->frame(), frame) << "the arrows moved the shape";
    EXPECT_LT(opacity->value(), start);
    EXPECT_FALSE(chooseMenuItemEnabled(window, QStringLiteral("nudgeUp")))
        << "Edit › Nudge stays on while a number field has the keyboard";
    EXPECT_TRUE(keys::check(QStringLiteral("the opacity field")));
}

// A click on the canvas puts the keyboard there, and Tab and Shift+Tab walk the window from it: also after a text
// was typed and its editing ended with that click (the text had the keyboard last; Tab does not go back into it).
TEST_F(KeyboardRoad, TabWalksTheWindowAfterAClickOnTheCanvas)
{
    QVR_CreatorWindow* window = newWindow();
    ASSERT_TRUE(window);
    ASSERT_TRUE(addShape(window));
    ASSERT_TRUE(insert(window, &QVR_AddElementMenuViewController::textCell));
    std::shared_ptr<ZERI_MMObject_Text> text;
    ASSERT_TRUE(waitFor([&] {
        for (const Proxy& object : shownScreen(window)->mixedMediaObjects())
            if ((*object)->type() == Type::Text)
                text = std::dynamic_pointer_cast<ZERI_MMObject_Text>(object->object());
        return text != nullptr;
    }));
    UserInput::letRepaintsHappen();
    keys::type(QStringLiteral("Hello"));
    QVR_ArtBoardScrollView* view = window->theArtBoard()->theScrollView();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, emptyCanvasPoint(window));
    UserInput::letRepaintsHappen();
    ASSERT_EQ(text->attributedString().string(), QStringLiteral("Hello")) << "the new text did not take the typing";
    ASSERT_EQ(keys::focused(), view) << "the click left the keyboard elsewhere";
    ASSERT_TRUE(keys::check(QStringLiteral("a click on the canvas")));
    EXPECT_TRUE(keys::tabWalksAround(QStringLiteral("a click on the canvas"), 8));
    // The same from the toolbar's zoom menu and from the side menu.
    openSideMenu(window);
    EXPECT_TRUE(keys::tabWalksAround(QStringLiteral("the side menu opened"), 8));
}

// Panels give the keyboard back where it was: Escape in the Insert menu and in the shape chooser back to Insert
// (reached with Tab and opened with Return), Done or Return in the title editor back to where it was (never into
// the position palette), Escape in the screen colour panel back to where it was (never into the notes).
TEST_F(KeyboardRoad, ClosedPanelsGiveTheKeyboardBack)
{
    QVR_CreatorWindow* window = newWindow();
    ASSERT_TRUE(window);
    QVR_ToolbarButton* insert = window->theToolBarView()->insertButton();
    ASSERT_TRUE(keys::tabUntil([&] { return keys::focused() == insert; })) << "Tab never reached Insert";

    // Return on the toolbar button opens it, as Space does.
    ASSERT_TRUE(keys::press(Qt::Key_Return));
    QVR_AddElementMenuViewController* menu = nullptr;
    ASSERT_TRUE(waitFor([&] { return (menu = openedMenu<QVR_AddElementMenuViewController>()) != nullptr; }, 5000))
        << "Return on Insert opened nothing";
    ASSERT_TRUE(keys::check(QStringLiteral("Insert opened")));
    keys::press(Qt::Key_Escape);
    ASSERT_TRUE(waitFor([&] { return !openedMenu<QVR_AddElementMenuViewController>(); }, 5000));
    EXPECT_TRUE(keys::check(QStringLiteral("Insert closed with Escape")));
    EXPECT_EQ(keys::focused(), insert);

    // Insert › Shape, then Escape in the chooser.
    keys::press(Qt::Key_Space);
    ASSERT_TRUE(chooseInsertRowByKeys(&QVR_AddElementMenuViewController::shapeCell));
    ASSERT_TRUE(waitFor([&] { return openedMenu<QVR_AddShapeMenuViewController>() != nullptr; }, 5000));
    EXPECT_TRUE(keys::check(QStringLiteral("the shape chooser opened")));
    keys::press(Qt::Key_Escape);
    ASSERT_TRUE(waitFor([&] { return !openedMenu<QVR_AddShapeMenuViewController>(); }, 5000));
    EXPECT_TRUE(keys::check(QStringLiteral("the shape chooser closed with Escape")));
    EXPECT_EQ(keys::focused(), insert);

    // The title editor: Return in the title keeps it and closes the editor.
    const Proxy shape = addShape(window);
    ASSERT_TRUE(shape);
    if (window->xyPaletteHidden()) {
        ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("toggleXYPalette")));
    }
    QWidget* before = keys::focused();
    click(window->theToolBarView()->titleLabel());
    QLineEdit* title = nullptr;
    ASSERT_TRUE(waitFor([&] {
        auto* editor = window->findChild<QVRTitleAndDescriptionEditorViewController*>();
        title = editor ? editor->findChild<QLineEdit*>(QStringLiteral("title")) : nullptr;
        return title && keys::focused() == title;
    }));
    ASSERT_TRUE(keys::check(QStringLiteral("the title editor opened")));
    keys::press(Qt::Key_A, Qt::ControlModifier);
    keys::type(QStringLiteral("Spring"));
    keys::press(Qt::Key_Return);
    EXPECT_TRUE(waitFor([&] { return !window->findChild<QVRTitleAndDescriptionEditorViewController*>(); }, 5000))
        << "Return in the title did not close the editor";
    EXPECT_EQ(window->currentModel()->title(), QStringLiteral("Spring"));
    EXPECT_TRUE(keys::check(QStringLiteral("the title editor closed with Return")));
    EXPECT_EQ(keys::focused(), before);
    const QRectF frame = (*shape)->frame();
    keys::type(QStringLiteral("7"));
    EXPECT_EQ((*shape)->frame(), frame) << "a digit typed after the title editor moved the shape";

    // The screen's colour panel from the side menu, closed with Escape.
    QWidget* body = openSideMenu(window);
    ASSERT_TRUE(body);
    window->theArtBoard()->theScrollView()->setFocus();
    before = keys::focused();
    QVR_ColorOutlet* colour = nullptr;
    ASSERT_TRUE(waitFor([&] { return (colour = body->findChild<QVR_ColorOutlet*>()) && colour->isVisible(); }));
    click(colour->well());
    ColorPanel* panel = nullptr;
    ASSERT_TRUE(waitFor(
        [&] { return (panel = ColorPanel::existing()) && panel->isVisible() && QApplication::activeWindow() == panel; },
        5000));
    ASSERT_TRUE(keys::check(QStringLiteral("the colour panel opened")));
    keys::press(Qt::Key_Escape);
    ASSERT_TRUE(waitFor([&] { return !panel->isVisible(); }, 5000));
    EXPECT_TRUE(keys::check(QStringLiteral("the colour panel closed with Escape")));
    EXPECT_FALSE(qobject_cast<QPlainTextEdit*>(keys::focused())) << "the keyboard went into the notes";
}

// Secondary windows close from the keyboard and have a close control of their own: Edit Profile, the Templates
// window of File › New, the web video sheet over the canvas.
TEST_F(KeyboardRoad, SecondaryWindowsCloseFromTheKeyboard)
{
    QWidget* lists = application().listsWindow();
    ASSERT_TRUE(lists);
    lists->activateWindow();
    ASSERT_TRUE(waitFor([&] { return QApplication::activeWindow() == lists; }, 5000));

    ASSERT_TRUE(chooseMenuItem(lists, QStringLiteral("editProfile")));
    QVR_ProfileEditorWebViewWindowController* profile = nullptr;
    ASSERT_TRUE(waitFor([&] {
        profile = QVR_ProfileEditorWebViewWindowController::shownEditor();
        return profile && QApplication::activeWindow() == profile->window();
    }));
    EXPECT_TRUE(keys::check(QStringLiteral("Edit Profile opened")));
    ASSERT_TRUE(FloatingWindowCloser::of(profile->window()));
    keys::press(Qt::Key_Escape);
    ASSERT_TRUE(waitFor([&] { return !QVR_ProfileEditorWebViewWindowController::shownEditor(); }, 5000))
        << "Escape left Edit Profile open";
    EXPECT_TRUE(keys::check(QStringLiteral("Edit Profile closed with Escape")));
    EXPECT_EQ(QApplication::activeWindow(), lists);

    // File › New: the Templates window, left with Ctrl+W, then with Escape.
    for (const auto& [how, key, modifiers] :
         {std::tuple{"Ctrl+W", Qt::Key_W, Qt::KeyboardModifiers(Qt::ControlModifier)},
          std::tuple{"Escape", Qt::Key_Escape, Qt::KeyboardModifiers()}}) {
        ASSERT_TRUE(chooseMenuItem(lists, QStringLiteral("new")));
        QVRTemplateChooserWindowController* chooser = nullptr;
        ASSERT_TRUE(waitFor([&] {
            chooser = QVRTemplateChooserWindowController::existingInstance();
            return chooser && chooser->myWindow() && chooser->myWindow()->isVisible() &&
                   QApplication::activeWindow() == chooser->myWindow();
        }));
        EXPECT_TRUE(keys::check(QStringLiteral("Templates opened")));
        QPointer<QWidget> templates = chooser->myWindow();
        keys::press(key, modifiers);
        EXPECT_TRUE(waitFor([&] { return !templates || !templates->isVisible(); }, 5000))
            << how << " left the Templates window open";
        EXPECT_TRUE(keys::check(QStringLiteral("Templates closed with ") + QString::fromLatin1(how)));
    }

    // Insert › YouTube or Vimeo: the link field has the keyboard; Escape closes the sheet.
    QVR_CreatorWindow* window = newWindow();
    ASSERT_TRUE(window);
    QWidget* before = keys::focused();
    ASSERT_TRUE(insert(window, &QVR_AddElementMenuViewController::youTubeCell));
    QVR_AddStreamingVideoViewController* sheet = nullptr;
    ASSERT_TRUE(waitFor([&] {
        sheet = window->findChild<QVR_AddStreamingVideoViewController*>();
        return sheet && sheet->urlFeild() && keys::focused() == sheet->urlFeild();
    }));
    EXPECT_TRUE(keys::check(QStringLiteral("the web video sheet opened")));
    keys::press(Qt::Key_Escape);
    EXPECT_TRUE(waitFor([&] { return !window->sheetLikeViewController(); }, 5000)) << "Escape left the sheet open";
    EXPECT_TRUE(keys::check(QStringLiteral("the web video sheet closed with Escape")));
    EXPECT_EQ(keys::focused(), before);
}

// Without a window manager nothing activates a window when a dialog or a secondary window closes: the application
// gives the keyboard back itself. The player's print dialog cancelled, the import overview closed with its ×.
TEST_F(KeyboardRoad, TheKeyboardComesBackWhenADialogCloses)
{
    QVR_CreatorWindow* window = newWindow();
    ASSERT_TRUE(window);
    QVRViewerWindow* player = play(window);
    ASSERT_TRUE(player);
    ASSERT_TRUE(waitFor([&] { return QApplication::activeWindow() == player; }, 5000));
    ASSERT_TRUE(keys::check(QStringLiteral("the player opened")));
    ASSERT_TRUE(chooseMenuItem(player, QStringLiteral("print")));
    QPrintDialog* print = nullptr;
    ASSERT_TRUE(waitFor([&] {
        print = visibleTopLevel<QPrintDialog>();
        return print && QApplication::activeWindow() == print;
    }));
    keys::press(Qt::Key_Escape);
    ASSERT_TRUE(waitFor([&] { return !visibleTopLevel<QPrintDialog>(); }, 5000));
    EXPECT_TRUE(keys::check(QStringLiteral("the print dialog cancelled")));
    EXPECT_TRUE(waitFor([&] { return QApplication::activeWindow() == player; }, 2000));
    // The next key reaches the player: Escape ends the presentation.
    QPointer<QVRViewerWindow> closing(player);
    keys::press(Qt::Key_Escape);
    EXPECT_TRUE(waitFor([&] { return !closing || !closing->isVisible(); }, 5000))
        << "Escape after the print dialog was lost";
    EXPECT_TRUE(keys::check(QStringLiteral("the player closed")));

    QVRPowerpointOverviewWindowController* overview = openImportOverview();
    ASSERT_TRUE(overview);
    ASSERT_TRUE(keys::check(QStringLiteral("the import overview opened")));
    FloatingWindowCloser* closer = FloatingWindowCloser::of(overview);
    ASSERT_TRUE(closer);
    QPointer<QWidget> overviewWindow(overview);
    click(closer->closeButton());
    ASSERT_TRUE(waitFor([&] { return !overviewWindow || !overviewWindow->isVisible(); }, 5000));
    EXPECT_TRUE(keys::check(QStringLiteral("the import overview closed with its ×")));
}

// The guide that opens by itself beside a new window lets the click that closes it through: the click on Add
// Screen opens the screen chooser at once.
TEST_F(KeyboardRoad, TheGuideLetsTheClickThatClosesItThrough)
{
    signedInService()->withState([](FakeWebService::State& state) { state.helpList = QJsonArray{oneGuide()}; });
    UserDefaults::standard().setValue(QVR_CreatorToolBarView::kAutoLaunchedGuideCountKey, 0);
    QVR_CreatorWindow* window = newWindow();
    ASSERT_TRUE(window);
    QVR_CreatorToolBarView* toolbar = window->theToolBarView();
    ASSERT_TRUE(waitFor([&] { return toolbar->shieldWindow() && toolbar->shieldWindow()->isVisible(); }, 10000))
        << "the guide did not open by itself";
    EXPECT_TRUE(keys::check(QStringLiteral("the guide opened by itself")));
    // Where a person clicks: at Add Screen's place in the window, reaching whatever lies on top there.
    QWidget* addScreen = toolbar->addScreenButton();
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, addScreen->mapTo(window, addScreen->rect().center()));
    EXPECT_TRUE(waitFor([&] { return !toolbar->shieldWindow() || !toolbar->shieldWindow()->isVisible(); }, 5000))
        << "the click beside the guide left it open";
    EXPECT_TRUE(waitFor([&] { return window->findChild<UniversalPopover*>() != nullptr; }, 5000))
        << "the click that closed the guide did not reach Add Screen";
    keys::press(Qt::Key_Escape);
    EXPECT_TRUE(keys::check(QStringLiteral("the screen chooser closed")));
}

// The sign-in wall from the keyboard alone: Tab to Log In on its first page and Return presses it; the Log In page
// takes the keyboard in its email field, the sign-up page in its name field; Escape leaves the wall and the keyboard
// comes back to the window it opened over.
TEST_F(KeyboardRoad, TheSignInWallIsWalkedFromTheKeyboard)
{
    QWidget* lists = application().listsWindow();
    ASSERT_TRUE(lists);
    lists->activateWindow();
    ASSERT_TRUE(waitFor([&] { return QApplication::activeWindow() == lists; }, 5000));
    ASSERT_TRUE(keys::check(QStringLiteral("the lists window")));

    QPointer<QVRRegisterWallWindowController> wall = new QVRRegisterWallWindowController(lists);
    wall->setAttribute(Qt::WA_DeleteOnClose);
    wall->open();
    ASSERT_TRUE(waitFor([&] { return QApplication::activeWindow() == wall && keys::focused(); }, 5000));
    EXPECT_TRUE(keys::check(QStringLiteral("the wall opened")));

    // Tab until the keyboard is on the button reading `title` (at most once around the page).
    const auto tabTo = [](const QString& title) {
        for (int i = 0; i < 10; ++i) {
            auto* button = qobject_cast<QPushButton*>(keys::focused());
            if (button && button->text() == title)
                return true;
            keys::press(Qt::Key_Tab);
        }
        return false;
    };
    ASSERT_TRUE(tabTo(UFM::LOGIN_TEXT()));
    keys::press(Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return wall->currentPage() == QVRRegisterWallWindowController::Page::Login; }))
        << "Return on Log In did not press it";
    EXPECT_TRUE(waitFor([&] { return keys::focused() == wall->loginEmailField(); }))
        << "the Log In page has the keyboard in " << keys::describe(keys::focused()).toStdString();
    keys::type(QStringLiteral("ann@example.com"));
    EXPECT_EQ(wall->loginEmailField()->text(), QStringLiteral("ann@example.com"));
    // Return in the email field goes on to the password, not back a page.
    keys::press(Qt::Key_Return);
    EXPECT_EQ(keys::focused(), wall->loginPasswordField());
    EXPECT_EQ(wall->currentPage(), QVRRegisterWallWindowController::Page::Login);

    ASSERT_TRUE(tabTo(UFM::NOT_REGISTERED_TEXT()));
    keys::press(Qt::Key_Space);
    ASSERT_TRUE(waitFor([&] { return wall->currentPage() == QVRRegisterWallWindowController::Page::Signup; }));
    EXPECT_TRUE(waitFor([&] { return keys::focused() == wall->signupDisplayNameField(); }))
        << "the sign-up page has the keyboard in " << keys::describe(keys::focused()).toStdString();
    EXPECT_TRUE(keys::check(QStringLiteral("the sign-up page")));

    keys::press(Qt::Key_Escape);
    ASSERT_TRUE(waitFor([&] { return !wall || !wall->isVisible(); }, 5000)) << "Escape left the wall open";
    EXPECT_TRUE(keys::check(QStringLiteral("the wall closed with Escape")));
    EXPECT_TRUE(waitFor([&] { return QApplication::activeWindow() == lists; }, 2000));
}

// File › New from the keyboard alone: the Templates window opens with the keyboard on its first tile (the empty
// presentation), marked as selected; Return there makes the new document, whose window takes the keyboard.
TEST_F(KeyboardRoad, ATemplateIsChosenFromTheKeyboard)
{
    const QList<QVR_CreatorWindow*> before = creatorWindows();
    ASSERT_TRUE(chooseNewInMyDocuments());
    QVR_TemplateCollectionViewObject* first = nullptr;
    ASSERT_TRUE(waitFor([&] {
        auto* chooser = QVRTemplateChooserWindowController::existingInstance();
        if (!chooser || !chooser->myWindow() || QApplication::activeWindow() != chooser->myWindow())
            return false;
        const auto tiles = chooser->templateChooserViewController()->templateThumbnailController()->templatesArray();
        first = tiles.isEmpty() ? nullptr : tiles.first();
        return first && keys::focused() == first->cellView();
    })) << "the Templates window has the keyboard in "
        << keys::describe(keys::focused()).toStdString();
    EXPECT_EQ(QVRTemplateChooserWindowController::existingInstance()
                  ->templateChooserViewController()
                  ->collectionView()
                  ->selectionIndex(),
              0)
        << "the tile with the keyboard is not marked";
    EXPECT_TRUE(keys::check(QStringLiteral("Templates opened")));

    keys::press(Qt::Key_Return);
    QVR_CreatorWindow* window = nullptr;
    ASSERT_TRUE(waitFor(
        [&] {
            for (QVR_CreatorWindow* shown : creatorWindows())
                if (!before.contains(shown))
                    window = shown;
            return window && QApplication::activeWindow() == window && window->focusWidget();
        },
        10000))
        << "Return on the first tile made no document";
    EXPECT_TRUE(keys::check(QStringLiteral("the new document's window")));
}

// My Documents from the keyboard alone: Tab comes to the grid on one tile, ringed in the brand blue; Return on the
// create-new tile starts a document as its click does; Right moves the keyboard to the newest document, the context
// menu key (Shift+F10) opens its menu and Escape closes it, Left goes back; Return opens the document.
TEST_F(KeyboardRoad, MyDocumentsAreWorkedFromTheKeyboard)
{
    QWidget* lists = application().listsWindow();
    ASSERT_TRUE(lists);
    lists->activateWindow();
    ASSERT_TRUE(waitFor([&] { return QApplication::activeWindow() == lists; }, 5000));
    QVRMyTessarinesViewController* grid = nullptr;
    ASSERT_TRUE(waitFor([&] {
        grid = lists->findChild<QVRMyTessarinesViewController*>();
        return grid && grid->isVisible() && !grid->tileViews().isEmpty();
    }));
    const auto inGrid = [&](const QWidget* widget) { return widget && widget->parentWidget() == grid->gridView(); };
    ASSERT_TRUE(keys::tabUntil([&] { return inGrid(keys::focused()); }))
        << "Tab never reached a tile; it stops on " << keys::describe(keys::focused()).toStdString();
    keys::press(Qt::Key_Home);
    auto* plus = qobject_cast<QVRTessarineTileCreateNewGridItemView*>(keys::focused());
    ASSERT_TRUE(plus) << "Home left the keyboard on " << keys::describe(keys::focused()).toStdString();
    EXPECT_TRUE(plus->isKeyboardMarked());
    const QColor ring = plus->grab().toImage().pixelColor(1, plus->height() / 2);
    EXPECT_LT(std::abs(ring.hue() - Tessutils::tessarineBlue().hue()), 12) << ring.name().toStdString();
    EXPECT_TRUE(keys::check(QStringLiteral("the create-new tile")));
    EXPECT_TRUE(keys::tabWalksAround(QStringLiteral("My Documents"), 2));

    // Return on the create-new tile: the Templates window, where Return makes the document.
    const QList<QVR_CreatorWindow*> before = creatorWindows();
    keys::press(Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] {
        auto* chooser = QVRTemplateChooserWindowController::existingInstance();
        return chooser && chooser->myWindow() && QApplication::activeWindow() == chooser->myWindow() &&
               keys::focused() && keys::focused()->objectName() == QStringLiteral("templateTile");
    })) << "Return on the create-new tile did not open the Templates window";
    keys::press(Qt::Key_Return);
    QVR_CreatorWindow* created = nullptr;
    ASSERT_TRUE(waitFor(
        [&] {
            for (QVR_CreatorWindow* shown : creatorWindows())
                if (!before.contains(shown))
                    created = shown;
            return created && QApplication::activeWindow() == created;
        },
        10000));
    const QString id = created->currentModel()->qvdID();
    closeDocumentWindows();
    ASSERT_TRUE(waitFor([&] { return QApplication::activeWindow() == lists; }, 5000));
    EXPECT_EQ(keys::focused(), grid->tileViews().value(0)) << "the keyboard did not come back to the tile";

    // The newest document is next to the create-new tile.
    QVRTessarineTileGridItemView* tile = nullptr;
    ASSERT_TRUE(waitFor([&] {
        tile = qobject_cast<QVRTessarineTileGridItemView*>(grid->tileViews().value(1));
        return tile && tile->filePackage() && tile->filePackage()->packageID() == id;
    })) << "the new document is not the first tile";
    keys::press(Qt::Key_Right);
    ASSERT_EQ(keys::focused(), tile) << "Right left the keyboard on " << keys::describe(keys::focused()).toStdString();
    EXPECT_TRUE(tile->isKeyboardMarked());
    EXPECT_FALSE(qobject_cast<QVRTessarineTileCreateNewGridItemView*>(grid->tileViews().value(0))->isKeyboardMarked());
    keys::press(Qt::Key_F10, Qt::ShiftModifier);
    ASSERT_TRUE(waitFor([&] { return tile->contextMenu()->isVisible(); }, 3000)) << "Shift+F10 opened no menu";
    EXPECT_TRUE(keys::check(QStringLiteral("the tile's context menu")));
    keys::press(Qt::Key_Escape);
    ASSERT_TRUE(waitFor([&] { return !tile->contextMenu()->isVisible(); }, 3000));
    EXPECT_EQ(keys::focused(), tile);
    // The offscreen platform leaves the keyboard with the closed menu's window (a display server keeps it with the
    // window beneath the menu): the lists window takes it again.
    if (QGuiApplication::focusWindow() != lists->windowHandle()) {
        lists->activateWindow();
        ASSERT_TRUE(waitFor([&] { return QGuiApplication::focusWindow() == lists->windowHandle(); }, 5000));
    }
    keys::press(Qt::Key_Left);
    EXPECT_EQ(keys::focused(), grid->tileViews().value(0))
        << "Left left the keyboard on " << keys::describe(keys::focused()).toStdString();
    keys::press(Qt::Key_Right);
    ASSERT_EQ(keys::focused(), tile);

    // Return opens the document.
    keys::press(Qt::Key_Return);
    QVR_CreatorWindow* opened = nullptr;
    ASSERT_TRUE(waitFor(
        [&] {
            for (QVR_CreatorWindow* shown : creatorWindows())
                if (shown->currentModel() && shown->currentModel()->qvdID() == id)
                    opened = shown;
            return opened && QApplication::activeWindow() == opened;
        },
        10000))
        << "Return on the tile did not open its document; the keyboard is on "
        << keys::describe(keys::focused()).toStdString();
    EXPECT_TRUE(keys::check(QStringLiteral("the document opened from its tile")));
}

// One template of the service's, `name`, with a sample of one screen (holding a picture of the service's when
// asked) and a grey icon, alone or after the templates offered before; the list it replaces.
static QJsonArray offerOneTemplate(FakeWebService* service, const QString& name, bool withPicture = false,
                                   bool besideTheOthers = false)
{
    auto sample = ZERI_TessarineModel::create();
    auto screen = ZERI_FlowScreenModel::create();
    sample->firstFlowmodel()->addFlowScreen(screen);
    QImage icon(40, 20, QImage::Format_RGB32);
    icon.fill(Qt::gray);
    QByteArray iconBytes;
    QBuffer iconBuffer(&iconBytes);
    iconBuffer.open(QIODevice::WriteOnly);
    icon.save(&iconBuffer, "PNG");
    const QUrl iconURL =
        service->addContent(QStringLiteral("%1-template-icon").arg(name), iconBytes, QStringLiteral("icon.png"));
    if (withPicture) {
        auto picture = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Image);
        (*picture)->setFrame(QRectF(100, 100, 400, 200));
        auto asset = ZERI_ContentAsset::create();
        asset->setExternalURL(service->addContent(QStringLiteral("%1-template-picture").arg(name), iconBytes,
                                                  QStringLiteral("picture.png")));
        (*picture)->setOriginalImageAsset(asset);
        screen->addMixedMediaObject(picture);
    }
    const QUrl sampleURL = service->addContent(QStringLiteral("%1-template-sample").arg(name), sample->jsonData(),
                                               QStringLiteral("sample.json"));
    const QJsonObject entry{
        {QStringLiteral("themeId"), name},
        {QStringLiteral("id"), QStringLiteral("api-") + name},
        {QStringLiteral("themePriority"), 1},
        {QStringLiteral("themeTextColors"), QJsonArray{QStringLiteral("0x112233")}},
        {QStringLiteral("themeBackgroundColors"), QJsonArray{QStringLiteral("0x445566ff")}},
        {QStringLiteral("themeIconImage"),
         QJsonObject{{QStringLiteral("icon"), QJsonObject{{QStringLiteral("url"), QString()}}},
                     {QStringLiteral("icon2x"), QJsonObject{{QStringLiteral("url"), iconURL.toString()}}}}},
        {QStringLiteral("themeSampleJSON"), QJsonObject{{QStringLiteral("url"), sampleURL.toString()}}}};
    QJsonArray before;
    service->withState([&](FakeWebService::State& state) {
        before = state.templates;
        if (!besideTheOthers)
            state.templates = QJsonArray();
        state.templates.append(entry);
    });
    return before;
}

// In the Templates window the tile with the keyboard shows its Preview and Choose as a hovered one does; Space there
// previews its template, and Escape ends the preview with the keyboard back on the tile (a second Escape leaves).
TEST_F(KeyboardRoad, ATemplateIsPreviewedFromTheKeyboard)
{
    FakeWebService* service = signedInService();
    const QJsonArray before = offerOneTemplate(service, QStringLiteral("road"));
    const auto restore =
        qScopeGuard([&] { service->withState([&](FakeWebService::State& state) { state.templates = before; }); });

    ASSERT_TRUE(chooseNewInMyDocuments());
    QVRTemplateChooserWindowController* chooser = nullptr;
    // Read afresh each time: a list that comes again replaces the tiles.
    const auto tiles = [&] {
        return chooser->templateChooserViewController()->templateThumbnailController()->templatesArray();
    };
    const auto roadTemplateShown = [&] {
        for (QVR_TemplateCollectionViewObject* each : tiles())
            if (each->templateId() == QStringLiteral("road"))
                return true;
        return false;
    };
    ASSERT_TRUE(waitFor([&] {
        chooser = QVRTemplateChooserWindowController::existingInstance();
        if (!chooser || !chooser->myWindow() || QApplication::activeWindow() != chooser->myWindow() ||
            TessarineTheme::isLoadingThemes())
            return false;
        return roadTemplateShown() && keys::focused() == tiles().first()->cellView();
    })) << "the Templates window has the keyboard in "
        << keys::describe(keys::focused()).toStdString();
    QPointer<QWidget> templates = chooser->myWindow();
    QVR_TemplateChooserViewController* controller = chooser->templateChooserViewController();
    EXPECT_TRUE(tiles().first()->previewButton()->isVisible()) << "the tile with the keyboard shows no Preview";

    // Tab to the service's template (templates an earlier list named stay in the window too).
    QPointer<QVR_TemplateCollectionViewObject> tile;
    for (int i = 0; i < 20 && !tile; ++i) {
        for (QVR_TemplateCollectionViewObject* each : tiles())
            if (each->templateId() == QStringLiteral("road") && keys::focused() == each->cellView())
                tile = each;
        if (!tile)
            keys::press(Qt::Key_Tab, Qt::NoModifier, 20);
    }
    ASSERT_TRUE(tile) << "Tab never reached a template";
    EXPECT_TRUE(tile->previewButton()->isVisible());
    EXPECT_TRUE(tile->chooseButton()->isVisible());
    EXPECT_FALSE(tiles().first()->previewButton()->isVisible());

    // A list that comes again replaces the tiles: the template is followed by its id.
    const QString templateId = tile->templateId();
    keys::press(Qt::Key_Space);
    ASSERT_TRUE(waitFor([&] { return controller->previewVC() && controller->previewVC()->view()->isVisible(); }, 10000))
        << "Space on the tile previewed nothing: " << templateId.toStdString();
    EXPECT_EQ(controller->previewVC()->templateId(), templateId);
    EXPECT_TRUE(keys::check(QStringLiteral("the template preview")));
    keys::press(Qt::Key_Escape);
    ASSERT_TRUE(waitFor([&] { return !controller->previewVC(); }, 5000)) << "Escape left the preview open";
    ASSERT_TRUE(templates && templates->isVisible()) << "Escape in the preview closed the Templates window";
    const auto cellOf = [&](const QString& id) -> QWidget* {
        for (QVR_TemplateCollectionViewObject* each : controller->templateThumbnailController()->templatesArray())
            if (each->templateId() == id)
                return each->cellView();
        return nullptr;
    };
    EXPECT_EQ(keys::focused(), cellOf(templateId))
        << "the keyboard came back to " << keys::describe(keys::focused()).toStdString();
    EXPECT_TRUE(keys::check(QStringLiteral("the preview closed with Escape")));
    keys::press(Qt::Key_Escape);
    EXPECT_TRUE(waitFor([&] { return !templates || !templates->isVisible(); }, 5000));
    EXPECT_TRUE(keys::check(QStringLiteral("Templates closed with Escape")));
}

// The arrows walk the Templates grid as it lies, two rows filled column after column, and the tile they reach is
// marked: Up and Down within a column, Left and Right to the tile beside (into a shorter last column, its one tile),
// and nowhere at an edge. Where each key should lead is read from where the tiles stand in the window.
TEST_F(KeyboardRoad, TheArrowsWalkTheTemplatesAsTheyLie)
{
    FakeWebService* service = signedInService();
    const QJsonArray before = offerOneTemplate(service, QStringLiteral("below"));
    offerOneTemplate(service, QStringLiteral("beside"), false, true);
    const auto restore =
        qScopeGuard([&] { service->withState([&](FakeWebService::State& state) { state.templates = before; }); });
    ASSERT_TRUE(chooseNewInMyDocuments());
    QVR_TemplateChooserViewController* grid = nullptr;
    // Read afresh each time: a list that comes again replaces the tiles (the keyboard stays with its template).
    const auto tiles = [&] { return grid->templateThumbnailController()->templatesArray(); };
    const auto templateWithTheKeyboard = [&] {
        for (auto* tile : tiles())
            if (tile->cellView() == keys::focused())
                return tile->templateId();
        return QString();
    };
    ASSERT_TRUE(waitFor(
        [&] {
            auto* chooser = QVRTemplateChooserWindowController::existingInstance();
            grid = chooser ? chooser->templateChooserViewController() : nullptr;
            if (!grid || QApplication::activeWindow() != chooser->myWindow() || TessarineTheme::isLoadingThemes())
                return false;
            QStringList ids;
            for (auto* tile : tiles())
                ids << tile->templateId();
            return ids.contains(QStringLiteral("below")) && ids.contains(QStringLiteral("beside")) &&
                   !templateWithTheKeyboard().isEmpty() && templateWithTheKeyboard() == tiles().first()->templateId();
        },
        10000))
        << "the Templates window never showed the service's two templates with the keyboard on the first tile";
    QPointer<QWidget> templates = QVRTemplateChooserWindowController::existingInstance()->myWindow();

    // Each template's place in the grid: its column and its row.
    const auto placeOf = [&](const QString& id) {
        for (auto* tile : tiles())
            if (tile->templateId() == id) {
                const QWidget* item = tile->cellView()->parentWidget();
                const QRect frame = QVR_TemplateChooserCollectionView::itemFrame(0);
                return QPoint(item->x() / frame.width(), item->y() / frame.height());
            }
        return QPoint(-1, -1);
    };
    const auto templateAt = [&](QPoint place) {
        for (auto* tile : tiles())
            if (placeOf(tile->templateId()) == place)
                return tile->templateId();
        return QString();
    };
    const auto expectedAfter = [&](const QString& from, int key) {
        const QPoint place = placeOf(from);
        const QPoint step = key == Qt::Key_Up     ? QPoint(0, -1)
                            : key == Qt::Key_Down ? QPoint(0, 1)
                            : key == Qt::Key_Left ? QPoint(-1, 0)
                                                  : QPoint(1, 0);
        QString next = templateAt(place + step);
        if (next.isEmpty() && key == Qt::Key_Right)
            next = templateAt(QPoint(place.x() + 1, 0)); // a shorter column beside: its top tile, the only one
        return next.isEmpty() ? from : next;
    };
    QString at = templateWithTheKeyboard();
    for (const auto& [key, name] :
         {std::pair{Qt::Key_Down, "Down"}, std::pair{Qt::Key_Down, "Down again"}, std::pair{Qt::Key_Right, "Right"},
          std::pair{Qt::Key_Down, "Down beside"}, std::pair{Qt::Key_Right, "Right again"}, std::pair{Qt::Key_Up, "Up"},
          std::pair{Qt::Key_Left, "Left"}, std::pair{Qt::Key_Left, "Left again"},
          std::pair{Qt::Key_Up, "Up at the top"}, std::pair{Qt::Key_Left, "Left at the edge"}}) {
        const QString expected = expectedAfter(at, key);
        keys::press(key);
        const QString reached = templateWithTheKeyboard();
        EXPECT_EQ(reached, expected) << name << " from " << at.toStdString() << " left the keyboard on "
                                     << keys::describe(keys::focused()).toStdString();
        const int marked = grid->collectionView()->selectionIndex();
        EXPECT_TRUE(marked >= 0 && marked < tiles().size() && tiles()[marked]->templateId() == reached)
            << "the marked tile after " << name << " is not the one with the keyboard";
        if (!reached.isEmpty())
            at = reached;
    }
    EXPECT_TRUE(keys::check(QStringLiteral("the arrows in Templates")));
    keys::press(Qt::Key_Escape);
    EXPECT_TRUE(waitFor([&] { return !templates || !templates->isVisible(); }, 5000));
    EXPECT_TRUE(keys::check(QStringLiteral("Templates closed with Escape")));
}

// A template chosen from the keyboard while its sample is slow to come: the loading view has the keyboard on its
// Cancel, the tiles behind take no key meanwhile (Space there would preview another), and Space on Cancel stops the
// loading with the keyboard back on the tile and no document made.
TEST_F(KeyboardRoad, ATemplatesLoadingHasTheKeyboardUntilCancelled)
{
    // Long enough for the keys typed meanwhile, short enough for what was on its way to end within the road.
    constexpr int kSlowContentMs = 4000;
    FakeWebService* service = signedInService();
    const QJsonArray before = offerOneTemplate(service, QStringLiteral("slow"), true);
    const auto restore = qScopeGuard([&] {
        service->setContentDelay(0);
        service->withState([&](FakeWebService::State& state) { state.templates = before; });
    });
    QWidget* lists = application().listsWindow();
    ASSERT_TRUE(lists);
    lists->activateWindow();
    ASSERT_TRUE(waitFor([&] { return QApplication::activeWindow() == lists; }, 5000));
    const QList<QVR_CreatorWindow*> creatorsBefore = creatorWindows();
    // The template's sample and its picture are slow to come from here on.
    service->setContentDelay(kSlowContentMs);
    ASSERT_TRUE(chooseMenuItem(lists, QStringLiteral("new")));
    QVRTemplateChooserWindowController* chooser = nullptr;
    ASSERT_TRUE(waitFor([&] {
        chooser = QVRTemplateChooserWindowController::existingInstance();
        if (!chooser || !chooser->myWindow() || QApplication::activeWindow() != chooser->myWindow())
            return false;
        const auto tiles = chooser->templateChooserViewController()->templateThumbnailController()->templatesArray();
        // The list of the service's has come: the slow template is offered (not one known from before).
        const bool offered = std::any_of(tiles.begin(), tiles.end(), [](QVR_TemplateCollectionViewObject* tile) {
            return tile->templateId().contains(QStringLiteral("slow"));
        });
        return offered && keys::focused() == tiles.first()->cellView();
    }));
    QPointer<QWidget> templates = chooser->myWindow();
    QPointer<QVR_TemplateChooserViewController> controller = chooser->templateChooserViewController();
    // Tab to a template of the service's; the tiles are looked up afresh, as a list that comes again replaces them.
    const auto cellOf = [&](const QString& id) -> QWidget* {
        if (!controller)
            return nullptr;
        for (QVR_TemplateCollectionViewObject* each : controller->templateThumbnailController()->templatesArray())
            if (each->templateId() == id)
                return each->cellView();
        return nullptr;
    };
    QString templateId;
    for (int i = 0; i < 20 && templateId.isEmpty() && controller; ++i) {
        const auto shown = controller->templateThumbnailController()->templatesArray();
        for (QVR_TemplateCollectionViewObject* each : shown)
            if (keys::focused() == each->cellView() && each->templateId().contains(QStringLiteral("slow")))
                templateId = each->templateId();
        if (templateId.isEmpty())
            keys::press(Qt::Key_Tab, Qt::NoModifier, 20);
    }
    ASSERT_FALSE(templateId.isEmpty()) << "Tab never reached a template";

    keys::press(Qt::Key_Return);
    QPushButton* cancel = nullptr;
    ASSERT_TRUE(waitFor(
        [&] {
            cancel = controller && controller->loadingVC() ? controller->loadingVC()->cancelButton() : nullptr;
            return cancel && cancel->isVisible();
        },
        5000))
        << "no loading view while the sample comes; new windows: " << (creatorWindows().size() - creatorsBefore.size());
    EXPECT_EQ(keys::focused(), cancel) << "while loading the keyboard is in "
                                       << keys::describe(keys::focused()).toStdString();
    EXPECT_TRUE(keys::check(QStringLiteral("the template loading")));
    keys::press(Qt::Key_Tab, Qt::NoModifier, 20);
    EXPECT_NE(keys::focused(), cellOf(templateId)) << "Tab went to the tiles behind the loading view";
    ASSERT_TRUE(keys::tabUntil([&] { return keys::focused() == cancel; }, 10));
    keys::press(Qt::Key_Space);
    ASSERT_TRUE(waitFor(
        [&] { return controller && (!controller->loadingVC() || !controller->loadingVC()->view()->isVisible()); },
        5000))
        << "Space on Cancel left the loading view";
    ASSERT_TRUE(controller && templates && templates->isVisible());
    EXPECT_FALSE(controller->previewVC()) << "a preview opened";
    EXPECT_TRUE(waitFor([&] { return keys::focused() == cellOf(templateId); }, 2000))
        << "after Cancel the keyboard is in " << keys::describe(keys::focused()).toStdString();
    EXPECT_TRUE(keys::check(QStringLiteral("the loading cancelled")));
    service->setContentDelay(0);
    keys::press(Qt::Key_Escape);
    EXPECT_TRUE(waitFor([&] { return !templates || !templates->isVisible(); }, 5000));
    // What was on its way still comes, and makes nothing.
    QTest::qWait(kSlowContentMs + 500);
    EXPECT_EQ(creatorWindows(), creatorsBefore) << "a cancelled template made a document";
}

// A selection's Set Link opens the link type chooser with the keyboard on its first choice, framed: Tab moves
// between the choices and Return presses one; a page pushed takes the keyboard (the screen strip, the address
// field), and Escape leaves the editor with the keyboard back where it was, never left under the panel.
TEST_F(KeyboardRoad, TheLinkEditorIsWorkedFromTheKeyboard)
{
    QVR_CreatorWindow* window = newWindow();
    ASSERT_TRUE(window);
    const Proxy shape = addShape(window);
    ASSERT_TRUE(shape);
    QWidget* link = nullptr;
    ASSERT_TRUE(waitFor([&] {
        auto* container = window->theArtBoard()->singleScreen()->containerForMixedMediaObject(shape);
        auto* popover = container ? dynamic_cast<QVRMMObjToolbarPopoverBase*>(container->popoverController()) : nullptr;
        link = popover ? popover->toolbarViewWithTag(QVRToolbarPopoverController::LinkTag) : nullptr;
        return link && link->isVisible();
    }));
    auto openChooser = [&]() -> QVR_LinkTypeSelectionViewController* {
        click(link);
        QVR_LinkTypeSelectionViewController* chooser = nullptr;
        waitFor([&] {
            chooser = window->findChild<QVR_LinkTypeSelectionViewController*>();
            return chooser && chooser->screenLinkButton() && chooser->screenLinkButton()->isVisible();
        });
        return chooser;
    };
    QVR_LinkTypeSelectionViewController* chooser = openChooser();
    ASSERT_TRUE(chooser);
    QWidget* before =
        window->findChild<SheetLikePanelViewController*>()
            ? PanelFocusReturn::install(window->findChild<SheetLikePanelViewController*>()->view())->returnsTo()
            : nullptr;
    ASSERT_TRUE(keys::check(QStringLiteral("the link editor opened")));
    ASSERT_EQ(keys::focused(), chooser->screenLinkButton())
        << "the keyboard is on " << keys::describe(keys::focused()).toStdString();

    // Return on the first choice: the screen page, its strip with the keyboard.
    keys::press(Qt::Key_Return);
    QVR_ScreenLinkSelectionViewController* screens = nullptr;
    ASSERT_TRUE(waitFor([&] {
        screens = window->findChild<QVR_ScreenLinkSelectionViewController*>();
        return screens && screens->thumbnailBar() && screens->thumbnailBar()->isVisible();
    })) << "Return on Link to Screen opened nothing";
    EXPECT_TRUE(waitFor([&] { return keys::focused() == screens->thumbnailBar(); }))
        << "the keyboard is on " << keys::describe(keys::focused()).toStdString();
    EXPECT_TRUE(keys::check(QStringLiteral("the screen link page opened")));
    keys::press(Qt::Key_Escape);
    ASSERT_TRUE(waitFor([&] { return !window->findChild<QVR_ScreenLinkSelectionViewController*>(); }, 5000))
        << "Escape did not close the link editor";
    EXPECT_TRUE(keys::check(QStringLiteral("the link editor closed with Escape")));
    if (before) {
        EXPECT_EQ(keys::focused(), before);
    }

    // Tab to the second choice, Return: the address field has the keyboard and Return in it keeps the link.
    chooser = openChooser();
    ASSERT_TRUE(chooser);
    ASSERT_TRUE(waitFor([&] { return keys::focused() == chooser->screenLinkButton(); }));
    keys::press(Qt::Key_Tab);
    EXPECT_EQ(keys::focused(), chooser->webLinkButton());
    keys::press(Qt::Key_Return);
    QLineEdit* address = nullptr;
    ASSERT_TRUE(waitFor([&] {
        auto* web = window->findChild<QVR_ExternalLinkSelectionViewController*>();
        address = web ? web->urlField() : nullptr;
        return address && keys::focused() == address;
    })) << "the keyboard is on "
        << keys::describe(keys::focused()).toStdString();
    keys::type(QStringLiteral("example.org"));
    keys::press(Qt::Key_Return);
    EXPECT_TRUE(waitFor([&] { return (*shape)->action() != nullptr; }, 5000)) << "Return kept no link";
    EXPECT_TRUE(keys::check(QStringLiteral("the link editor closed with Return")));
}

// File › Post of a new document asks for its details: the title has the keyboard, Tab walks from the title through
// the description on to the privacy choices without typing a tab into the description, and Escape cancels, giving
// the keyboard back to the creator.
TEST_F(KeyboardRoad, TheDetailsBeforePostingAreWalkedWithTab)
{
    QVR_CreatorWindow* window = newWindow();
    ASSERT_TRUE(window);
    QWidget* before = keys::focused();
    QPointer<QVREditTessarineDetailsWindowController> details;
    bool walked = false;
    QString onOpen;
    QString afterTwoTabs;
    QString description;
    {
        Answerer answer([&] {
            if (!details)
                details = visibleTopLevel<QVREditTessarineDetailsWindowController>();
            if (!details || !details->isVisible() || walked || QApplication::activeWindow() != details)
                return;
            walked = true; // the keys turn the event loop: this answerer runs again meanwhile
            onOpen = keys::focused() == details->titleField() ? QStringLiteral("the title")
                                                              : keys::describe(keys::focused());
            if (keys::focused() != details->titleField())
                return;
            keys::press(Qt::Key_Tab);
            keys::press(Qt::Key_Tab);
            afterTwoTabs = keys::focused() == details->descriptionTextView() ? QStringLiteral("the description")
                                                                             : keys::describe(keys::focused());
            description = details->descriptionTextView()->toPlainText();
            keys::press(Qt::Key_Escape);
        });
        ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("publish")));
        ASSERT_TRUE(waitFor([&] { return walked && (!details || !details->isVisible()); }, 10000))
            << "the details window did not close with Escape";
    }
    EXPECT_EQ(onOpen.toStdString(), "the title");
    EXPECT_NE(afterTwoTabs.toStdString(), "the description") << "Tab stays in the description";
    EXPECT_EQ(description.toStdString(), "") << "Tab typed into the description";
    EXPECT_TRUE(keys::check(QStringLiteral("the details window closed with Escape")));
    EXPECT_EQ(keys::focused(), before);
}

// A video inserted from the keyboard asks how to compress it: the first choice has the keyboard, Tab moves on, and
// Return presses the choice that has it, as Space does; once the video is added the keyboard is on the canvas
// with it (the arrows nudge it, and the focus frame says so, not on Insert).
TEST_F(KeyboardRoad, TheVideoCompressionIsChosenFromTheKeyboard)
{
    QTemporaryDir inputs;
    ASSERT_TRUE(inputs.isValid());
    const QString clip = inputs.filePath(QStringLiteral("clip.mp4"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(QT_TESTCASE_SOURCEDIR "/../storage/data/clip.mp4"), clip));
    QVR_CreatorWindow* window = newWindow();
    ASSERT_TRUE(window);
    QVR_ToolbarButton* insert = window->theToolBarView()->insertButton();
    ASSERT_TRUE(keys::tabUntil([&] { return keys::focused() == insert; })) << "Tab never reached Insert";
    keys::press(Qt::Key_Return);
    ASSERT_TRUE(chooseInsertRowByKeys(&QVR_AddElementMenuViewController::videoCell));
    ASSERT_TRUE(answerFileDialog(clip));
    QVRCompressionSelectionViewController* presets = nullptr;
    ASSERT_TRUE(waitFor([&] {
        presets = openedMenu<QVRCompressionSelectionViewController>();
        return presets && QApplication::activeWindow() == presets->view()->window();
    }));
    ASSERT_TRUE(keys::check(QStringLiteral("the compression chooser opened")));
    EXPECT_EQ(keys::focused(), presets->smallButton());
    keys::press(Qt::Key_Tab);
    ASSERT_EQ(keys::focused(), presets->mediumButton());
    keys::press(Qt::Key_Return);
    EXPECT_TRUE(waitFor([&] { return !openedMenu<QVRCompressionSelectionViewController>(); }, 5000))
        << "Return on Medium chose nothing";
    ASSERT_TRUE(waitFor([&] { return countObjects(shownScreen(window), Type::Video) == 1; }, 45000));
    ASSERT_TRUE(waitFor([&] { return insert->isEnabled(); }, 45000));
    EXPECT_TRUE(keys::check(QStringLiteral("the video was added")));
    EXPECT_EQ(keys::focused(), window->theArtBoard()->theScrollView())
        << "the keyboard is on " << keys::describe(keys::focused()).toStdString();
}
