#include <gtest/gtest.h>

#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QSlider>
#include <QTest>

#include "app/QVRMainMenu.h"
#include "controls/SheetLikePanelViewController.h"
#include "controls/UniversalPopover.h"
#include "creator/addition/QVR_AddElementMenuViewController.h"
#include "creator/addition/QVR_AddShapeMenuViewController.h"
#include "creator/canvas/QVR_ArtBoardScrollView.h"
#include "creator/canvas/QVR_CreatorSingleScreen.h"
#include "creator/canvas/QVR_MixedMediaElementContainingView.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/interaction/QVR_SelectedItemView.h"
#include "creator/toolbar/QVR_CreatorToolBarView.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "inspector/pickers/ColorPanel.h"
#include "inspector/pickers/QVRColorPicker.h"
#include "inspector/popovers/QVRMMObjToolbarPopoverBase.h"
#include "inspector/sidemenu/QVR_ContextualMenuView.h"
#include "inspector/sidemenu/QVR_SideMenuOutlets.h"
#include "roads/RoadsTestSupport.h"
#include "support/UserInput.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Shape.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"

using namespace roads;

namespace {

using Type = ZERI_MixedMediaObject::Type;
using Proxy = std::shared_ptr<ZERI_MixedMediaObjectProxy>;

class CreatorReachRoad : public ::testing::Test {
protected:
    void SetUp() override { application(); }
    void TearDown() override { closeDocumentWindows(); }

    static QVR_CreatorWindow* newWindow()
    {
        QVR_CreatorWindow* window = createDocumentFromPlusTile();
        if (window)
            window->resize(1300, 900);
        UserInput::letRepaintsHappen();
        return window;
    }
    // Keys go where the user's keys go: to the focused widget of the window in front.
    static QWidget* inFront()
    {
        QWidget* window = QApplication::activeWindow();
        return window && window->focusWidget() ? window->focusWidget() : window;
    }
    // Insert › Shape with the keyboard alone; the shape chooser once its first shape has the keyboard.
    static QVR_AddShapeMenuView* openShapeChooser(QVR_CreatorWindow* window)
    {
        click(window->theToolBarView()->insertButton());
        QVR_AddElementMenuViewController* menu = nullptr;
        if (!waitFor([&] {
                return (menu = openedMenu<QVR_AddElementMenuViewController>()) && menu->cells().value(0) &&
                       menu->cells().value(0)->hasFocus();
            }))
            return nullptr;
        const int shapeRow = int(menu->cells().indexOf(menu->shapeCell()));
        for (int row = 0; row < shapeRow; ++row)
            UserInput::pressKey(inFront(), Qt::Key_Down);
        UserInput::pressKey(inFront(), Qt::Key_Return);
        QVR_AddShapeMenuView* shapes = nullptr;
        waitFor([&] {
            auto* chooser = openedMenu<QVR_AddShapeMenuViewController>();
            shapes = chooser ? chooser->menuView() : nullptr;
            return shapes && shapes->buttons().value(0)->hasFocus();
        });
        return shapes;
    }
    static std::vector<Proxy> shapesOf(QVR_CreatorWindow* window)
    {
        std::vector<Proxy> shapes;
        for (const Proxy& object : shownScreen(window)->mixedMediaObjects())
            if ((*object)->type() == Type::Shape)
                shapes.push_back(object);
        return shapes;
    }
    static QString undoTitle(QVR_CreatorWindow* window)
    {
        if (!chooseMenuItemEnabled(window, QStringLiteral("undo")))
            return QString();
        return QVRMainMenu::plainText(QVRMainMenu::action(QVRMainMenu::barOf(window), QStringLiteral("undo")));
    }
    static QVRMMObjToolbarPopoverBase* popoverOf(QVR_CreatorWindow* window, const Proxy& object)
    {
        auto* container = window->theArtBoard()->singleScreen()->containerForMixedMediaObject(object);
        return container ? dynamic_cast<QVRMMObjToolbarPopoverBase*>(container->popoverController()) : nullptr;
    }
    // The shape's place on the window and its floating popover's, in the window's content view.
    static bool popoverBesideItsShape(QVR_CreatorWindow* window, const Proxy& shape, std::string* why)
    {
        QVRMMObjToolbarPopoverBase* popover = popoverOf(window, shape);
        UniversalPopover* shown = popover ? popover->popoverView() : nullptr;
        if (!shown || !shown->isVisible()) {
            *why = "no popover shown";
            return false;
        }
        QWidget* host = shown->parentWidget();
        QVR_ArtBoardScrollView* view = window->theArtBoard()->theScrollView();
        const QRect inViewport = view->mapFromScene((*shape)->frame()).boundingRect();
        const QRect shapeRect(view->viewport()->mapTo(host, inViewport.topLeft()), inViewport.size());
        const QRect popoverRect = shown->geometry();
        // Beside it: off the shape, and no farther from it than its arrow reaches.
        const QRect reach = shapeRect.adjusted(-40, -40, 40, 40);
        *why = "shape at " + std::to_string(shapeRect.x()) + "," + std::to_string(shapeRect.y()) + " " +
               std::to_string(shapeRect.width()) + "x" + std::to_string(shapeRect.height()) + ", popover at " +
               std::to_string(popoverRect.x()) + "," + std::to_string(popoverRect.y()) + " " +
               std::to_string(popoverRect.width()) + "x" + std::to_string(popoverRect.height());
        return !popoverRect.intersects(shapeRect.adjusted(8, 8, -8, -8)) && reach.intersects(popoverRect);
    }
};

} // namespace

// The shape chooser from the keyboard: the arrows move along the shapes, Return and Space choose one; each
// addition, deletion and change of stacking is named in Edit › Undo.
TEST_F(CreatorReachRoad, ShapesChosenFromTheKeyboardAndEveryStepNamedInUndo)
{
    QVR_CreatorWindow* window = newWindow();
    ASSERT_TRUE(window);
    QVR_AddShapeMenuView* shapes = openShapeChooser(window);
    ASSERT_TRUE(shapes) << "the shape chooser did not take the keyboard";
    UserInput::pressKey(inFront(), Qt::Key_Right);
    UserInput::pressKey(inFront(), Qt::Key_Right);
    ASSERT_TRUE(shapes->buttons().value(2)->hasFocus());
    const int chosen = shapes->buttons().value(2)->shapeType();
    UserInput::pressKey(inFront(), Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return shapesOf(window).size() == 1; }, 5000));
    EXPECT_EQ(shapesOf(window).front()->as<ZERI_MMObject_Shape>()->shapeType(), chosen);
    EXPECT_TRUE(waitFor([&] { return undoTitle(window) == QStringLiteral("Undo Add Object"); }, 5000))
        << undoTitle(window).toStdString();

    // Space on the first shape adds it, never closes the chooser empty-handed.
    shapes = openShapeChooser(window);
    ASSERT_TRUE(shapes);
    // The chooser goes with the choice: its first shape is read before.
    const int first = shapes->buttons().value(0)->shapeType();
    UserInput::pressKey(inFront(), Qt::Key_Space);
    ASSERT_TRUE(waitFor([&] { return shapesOf(window).size() == 2; }, 5000)) << "Space closed the chooser";
    EXPECT_EQ(shapesOf(window).back()->as<ZERI_MMObject_Shape>()->shapeType(), first);

    // The new shape is selected: stacking and deletion, each named.
    ASSERT_TRUE(waitFor([&] { return chooseMenuItemEnabled(window, QStringLiteral("sendItemToBack")); }, 5000));
    ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("sendItemToBack")));
    EXPECT_EQ(undoTitle(window), QStringLiteral("Undo Send to Back"));
    ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("bringItemToFront")));
    EXPECT_EQ(undoTitle(window), QStringLiteral("Undo Bring to Front"));
    ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("deleteItems")));
    ASSERT_TRUE(waitFor([&] { return shapesOf(window).size() == 1; }, 5000));
    EXPECT_EQ(undoTitle(window), QStringLiteral("Undo Delete Object"));
    ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("undo")));
    EXPECT_TRUE(waitFor([&] { return shapesOf(window).size() == 2; }, 5000));
}

// The side menu's opacity typed key by key with the event loop turning between keys; the floating popover follows
// its shape when the side menu moves the canvas and when the window is resized.
TEST_F(CreatorReachRoad, TypedOpacityStaysAndThePopoverFollowsTheCanvas)
{
    QVR_CreatorWindow* window = newWindow();
    ASSERT_TRUE(window);
    QVR_AddShapeMenuView* shapes = openShapeChooser(window);
    ASSERT_TRUE(shapes);
    UserInput::pressKey(inFront(), Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return shapesOf(window).size() == 1; }, 5000));
    const Proxy shape = shapesOf(window).front();
    std::string why;
    ASSERT_TRUE(waitFor([&] { return popoverBesideItsShape(window, shape, &why); }, 5000)) << why;

    click(window->theToolBarView()->sidebarMenuButton());
    auto* menu = qobject_cast<QVR_ContextualMenuView*>(window->sideBarView());
    ASSERT_TRUE(menu);
    QVR_ColorOutlet* colour = nullptr;
    ASSERT_TRUE(waitFor([&] {
        return menu->width() > 0 && menu->currentBody() &&
               (colour = menu->currentBody()->findChild<QVR_ColorOutlet*>()) != nullptr && colour->isVisible();
    }));
    UserInput::letRepaintsHappen(300);
    EXPECT_TRUE(waitFor([&] { return popoverBesideItsShape(window, shape, &why); }, 3000))
        << "after the side menu opened: " << why;

    auto* field = colour->opacityField()->findChild<QLineEdit*>();
    ASSERT_TRUE(field);
    click(field);
    UserInput::pressKey(field, Qt::Key_A, Qt::ControlModifier);
    const QString half = QStringLiteral("0") + QLocale().decimalPoint() + QStringLiteral("5");
    UserInput::typeText(field, half, 250);
    EXPECT_EQ(field->text(), half);
    EXPECT_NEAR(shape->as<ZERI_MMObject_Shape>()->color().alphaF(), 0.5, 0.01);
    EXPECT_EQ(colour->opacitySlider()->value(), 50);

    window->resize(1500, 980);
    UserInput::letRepaintsHappen(300);
    EXPECT_TRUE(waitFor([&] { return popoverBesideItsShape(window, shape, &why); }, 3000))
        << "after the window was resized: " << why;
    click(window->theToolBarView()->sidebarMenuButton());
}

// F10 opens the window's first menu; the colour panel closed with Escape gives the keyboard back to the creator
// window, so the next key reaches it without a click.
TEST_F(CreatorReachRoad, TheKeyboardReachesTheMenusAndComesBackFromTheColourPanel)
{
    QVR_CreatorWindow* window = newWindow();
    ASSERT_TRUE(window);
    ASSERT_TRUE(waitFor([&] { return QApplication::activeWindow() == window; }, 5000));
    UserInput::pressKey(inFront(), Qt::Key_F10);
    QMenu* opened = nullptr;
    ASSERT_TRUE(
        waitFor([&] { return (opened = qobject_cast<QMenu*>(QApplication::activePopupWidget())) != nullptr; }, 5000))
        << "F10 opened no menu";
    EXPECT_EQ(QVRMainMenu::barOf(window)->activeAction(), QVRMainMenu::barOf(window)->actions().first());
    UserInput::pressKey(opened, Qt::Key_Escape);
    EXPECT_TRUE(waitFor([&] { return QApplication::activePopupWidget() == nullptr; }, 5000));

    // The side menu's Screen colour well offers the theme's colours, as Change Background Color does.
    click(window->theToolBarView()->sidebarMenuButton());
    auto* menu = qobject_cast<QVR_ContextualMenuView*>(window->sideBarView());
    ASSERT_TRUE(menu);
    QVR_ColorOutlet* colour = nullptr;
    ASSERT_TRUE(waitFor([&] {
        return menu->width() > 0 && menu->currentBody() &&
               (colour = menu->currentBody()->findChild<QVR_ColorOutlet*>()) != nullptr && colour->isVisible();
    }));
    click(colour->well());
    ColorPanel* panel = nullptr;
    ASSERT_TRUE(waitFor(
        [&] { return (panel = ColorPanel::existing()) && panel->isVisible() && QApplication::activeWindow() == panel; },
        5000));
    EXPECT_EQ(panel->colorListKeys().size(), 22) << "the blank theme's colours";
    UserInput::pressKey(inFront(), Qt::Key_Escape);
    ASSERT_TRUE(waitFor([&] { return !panel->isVisible(); }, 5000));
    click(window->theToolBarView()->sidebarMenuButton());
    ASSERT_TRUE(waitFor([&] { return QApplication::activeWindow() == window; }, 5000));

    ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("changeBackgroundColor")));
    ASSERT_TRUE(waitFor([&] {
        panel = ColorPanel::existing();
        return panel && panel->isVisible() && QApplication::activeWindow() == panel;
    }));
    UserInput::pressKey(inFront(), Qt::Key_Escape);
    ASSERT_TRUE(waitFor([&] { return !panel->isVisible(); }, 5000));
    EXPECT_TRUE(waitFor([&] { return QApplication::activeWindow() == window && window->focusWidget(); }, 5000))
        << "no window has the keyboard after the colour panel closed";
}

// Every stop of Tab in the creator window shows where the keyboard is, and a greyed control is no stop.
TEST_F(CreatorReachRoad, EveryTabStopShowsTheKeyboard)
{
    QVR_CreatorWindow* window = newWindow();
    ASSERT_TRUE(window);
    ASSERT_TRUE(waitFor([&] { return QApplication::activeWindow() == window; }, 5000));
    QList<QWidget*> stops;
    QStringList silent;
    for (int press = 0; press < 40; ++press) {
        UserInput::pressKey(inFront(), Qt::Key_Tab);
        UserInput::letRepaintsHappen();
        QWidget* focused = QApplication::focusWidget();
        if (!focused || stops.contains(focused))
            break;
        stops.append(focused);
        const QString name =
            QString::fromLatin1(focused->metaObject()->className()) + QLatin1Char(' ') + focused->accessibleName();
        EXPECT_TRUE(focused->isEnabled()) << name.toStdString();
        // What the stop shows with the keyboard, and without it.
        const QImage withFocus = UserInput::shownImage(focused);
        focused->clearFocus();
        UserInput::letRepaintsHappen();
        if (UserInput::shownImage(focused) == withFocus)
            silent << name;
        focused->setFocus(Qt::TabFocusReason);
        UserInput::letRepaintsHappen();
    }
    EXPECT_GE(stops.size(), 8);
    EXPECT_TRUE(silent.isEmpty()) << "stops that show nothing: " << silent.join(QStringLiteral(", ")).toStdString();
}
