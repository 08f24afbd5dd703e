#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QColorDialog>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

#include "creator/addition/QVR_AddElementMenuViewController.h"
#include "creator/addition/QVR_AddShapeMenuViewController.h"
#include "creator/canvas/QVR_ArtBoardScrollView.h"
#include "creator/canvas/QVR_CreatorSingleScreen.h"
#include "creator/canvas/QVR_MixedMediaElementContainingView.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/interaction/QVR_SelectedItemView.h"
#include "creator/toolbar/QVR_CreatorToolBarView.h"
#include "creator/toolbar/QVR_ToolbarButton.h"
#include "creator/window/QVRTopOfWindowDockToolbarView.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "inspector/links/QVR_ExternalLinkSelectionViewController.h"
#include "inspector/links/QVR_LinkTypeSelectionViewController.h"
#include "inspector/panels/QVRTitleAndDescriptionEditorViewController.h"
#include "inspector/panels/QVRXYPaletteView.h"
#include "inspector/panels/QVR_ScreenPropertiesMenuViewController.h"
#include "inspector/pickers/ColorPanel.h"
#include "inspector/pickers/QVRColorPicker.h"
#include "inspector/pickers/QVRFontPicker_v2.h"
#include "inspector/pickers/QVRSizePicker.h"
#include "inspector/popovers/QVRMMObjToolbarPopoverBase.h"
#include "inspector/popovers/QVRShapeMMObjToolbarPopoverController.h"
#include "inspector/popovers/QVRTextMMObjToolbarPopoverController.h"
#include "inspector/popovers/QVR_DockedPopoverView.h"
#include "inspector/sidemenu/QVR_ContextualMenuView.h"
#include "inspector/sidemenu/QVR_SideMenuOutlets.h"
#include "platform/UndoManager.h"
#include "roads/RoadsTestSupport.h"
#include "support/UserInput.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Shape.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "tessarine_data_model/mmActions/ZERI_MMAction_WebLink.h"

using namespace roads;

namespace {

using Type = ZERI_MixedMediaObject::Type;
using Proxy = std::shared_ptr<ZERI_MixedMediaObjectProxy>;

class InspectorRoad : public ::testing::Test {
protected:
    void SetUp() override { application(); }
    void TearDown() override { closeDocumentWindows(); }

    // Saves what the window shows when a folder for pictures is named (for looking at by eye).
    static void look(QWidget* widget, const QString& name, int zoom = 1)
    {
        const QString folder = qEnvironmentVariable("TESS_ROAD_PICTURES");
        if (folder.isEmpty() || !widget)
            return;
        const QImage image = widget->grab().toImage();
        image.scaled(image.size() * zoom).save(QDir(folder).filePath(name + QStringLiteral(".png")));
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
        for (const Proxy& object : shownScreen(window)->mixedMediaObjects())
            if ((*object)->type() == Type::Shape)
                return object;
        return nullptr;
    }
    // Clicks the object on the canvas, as the user selects it.
    static bool clickObject(QVR_CreatorWindow* window, const Proxy& object)
    {
        QVR_ArtBoardScrollView* view = window->theArtBoard()->theScrollView();
        view->ensureVisible((*object)->frame());
        QApplication::processEvents();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->mapFromScene((*object)->frame().center()));
        return waitFor([&] { return window->selectedItemView()->selectedViews().size() == 1; }, 5000);
    }
    // A new document's creator window, at a size that shows the whole toolbar and the canvas.
    static QVR_CreatorWindow* newWindow()
    {
        QVR_CreatorWindow* window = createDocumentFromPlusTile();
        if (window)
            window->resize(1300, 900);
        return window;
    }
    // A shape added from the Insert menu and clicked; nullptr when either failed.
    static Proxy addSelectedShape(QVR_CreatorWindow* window)
    {
        const Proxy shape = addShape(window);
        return shape && clickObject(window, shape) ? shape : nullptr;
    }
    static QVRMMObjToolbarPopoverBase* popoverOf(QVR_CreatorWindow* window, const Proxy& object)
    {
        auto* container = window->theArtBoard()->singleScreen()->containerForMixedMediaObject(object);
        return container ? dynamic_cast<QVRMMObjToolbarPopoverBase*>(container->popoverController()) : nullptr;
    }
};

} // namespace

// The side menu's opacity typed key by key, then the palette's width after one click, in the assembled creator.
TEST_F(InspectorRoad, ObjectEditsTypedIntoTheSideMenuAndThePalette)
{
    QVR_CreatorWindow* window = newWindow();
    ASSERT_TRUE(window);
    const Proxy shape = addSelectedShape(window);
    ASSERT_TRUE(shape);
    look(window, "shape-selected");

    click(window->theToolBarView()->sidebarMenuButton());
    auto* menu = qobject_cast<QVR_ContextualMenuView*>(window->sideBarView());
    ASSERT_TRUE(menu);
    ASSERT_TRUE(waitFor([&] { return menu->width() > 0 && menu->currentBody(); }, 5000));
    QVR_ColorOutlet* colour = nullptr;
    ASSERT_TRUE(waitFor([&] { return (colour = menu->currentBody()->findChild<QVR_ColorOutlet*>()) != nullptr; }));
    look(window, "side-menu");
    auto* opacity = colour->opacityField()->findChild<QLineEdit*>();
    ASSERT_TRUE(opacity);
    QTest::mouseClick(opacity, Qt::LeftButton);
    QTest::keyClick(opacity, Qt::Key_A, Qt::ControlModifier);
    UserInput::typeText(opacity, QLocale().toString(0.5));
    QTest::keyClick(opacity, Qt::Key_Return);
    EXPECT_NEAR(shape->as<ZERI_MMObject_Shape>()->color().alphaF(), 0.5, 0.01);
    EXPECT_EQ(colour->opacitySlider()->value(), 50);

    ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("toggleXYPalette")));
    auto* palette = window->findChild<QVRXYPaletteView*>();
    ASSERT_TRUE(palette);
    ASSERT_TRUE(clickObject(window, shape));
    auto* width = palette->field(QVRXYPaletteView::WidthField);
    ASSERT_TRUE(waitFor([&] { return width->isVisible() && width->isEnabled(); }, 5000));
    look(window, "palette");
    QTest::mouseClick(width, Qt::LeftButton);
    ASSERT_EQ(QApplication::focusWidget(), width);
    QTest::keyClick(width, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
    UserInput::typeText(QApplication::focusWidget(), QStringLiteral("240"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(countObjects(shownScreen(window), Type::Shape), 1);
    EXPECT_EQ((*shape)->frame().width(), 240);
    // The palette hidden again, as the next window expects it.
    ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("toggleXYPalette")));
}

// The text popover over a new text box, in the window as it shows.
TEST_F(InspectorRoad, TheTextPopoverShowsItsFontAndSizeWhole)
{
    QVR_CreatorWindow* window = newWindow();
    ASSERT_TRUE(window);
    const int before = countObjects(shownScreen(window), Type::Text);
    ASSERT_TRUE(insert(window, &QVR_AddElementMenuViewController::textCell));
    ASSERT_TRUE(waitFor([&] { return countObjects(shownScreen(window), Type::Text) == before + 1; }));
    Proxy text;
    for (const Proxy& object : shownScreen(window)->mixedMediaObjects())
        if ((*object)->type() == Type::Text)
            text = object;
    QTest::keyClick(window, Qt::Key_Escape);
    ASSERT_TRUE(clickObject(window, text));
    QVRTextMMObjToolbarPopoverController* popover = nullptr;
    ASSERT_TRUE(waitFor(
        [&] {
            popover = dynamic_cast<QVRTextMMObjToolbarPopoverController*>(popoverOf(window, text));
            return popover && popover->sizePicker() && popover->sizePicker()->isVisible();
        },
        5000));
    look(window, "text-popover");
    look(popover->fontPicker(), "font-picker", 4);
    // The family's whole name fits left of the box's arrow.
    const auto nameFits = [](QVRFontPicker_v2* picker) {
        QComboBox* family = picker->familyBox();
        return family->fontMetrics().horizontalAdvance(family->currentText()) <=
               family->width() - QVRFontPicker_v2::kArrowSize.width() - 6;
    };
    EXPECT_EQ(popover->fontPicker()->familyBox()->currentText(), QStringLiteral("Helvetica Neue"));
    EXPECT_TRUE(nameFits(popover->fontPicker()));
    // The largest size typed: all its digits show beside the arrow.
    QLineEdit* size = popover->sizePicker()->field();
    QTest::mouseClick(size, Qt::LeftButton);
    QTest::keyClick(size, Qt::Key_A, Qt::ControlModifier);
    UserInput::typeText(size, QStringLiteral("300"));
    look(popover->sizePicker(), "size-picker", 4);
    QTest::keyClick(size, Qt::Key_Return);
    EXPECT_EQ(popover->sizePicker()->currentSize(), 300);

    // Docked from the popover's own button: the row moves into the dock bar at the window's top.
    auto* dock = qobject_cast<QAbstractButton*>(popover->toolbarViewWithTag(QVRToolbarPopoverController::DockTag));
    ASSERT_TRUE(dock);
    QTest::mouseClick(dock, Qt::LeftButton);
    ASSERT_TRUE(waitFor(
        [&] {
            auto* docked = window->topDockBar()->dockedPopoverView();
            return docked && docked->isVisible() && docked->width() > 20;
        },
        5000));
    look(window, "docked");
    auto* dockedSize = window->topDockBar()->dockedPopoverView()->findChild<QVRSizePicker*>();
    ASSERT_TRUE(dockedSize);
    look(dockedSize, "docked-size-picker", 4);
    auto* dockedFonts = window->topDockBar()->dockedPopoverView()->findChild<QVRFontPicker_v2*>();
    ASSERT_TRUE(dockedFonts);
    look(dockedFonts, "docked-font-picker", 4);
    EXPECT_TRUE(nameFits(dockedFonts));
    EXPECT_EQ(dockedSize->currentSize(), 300);

    // Floating again from the docked row's own button, as the next road expects.
    auto* dockedView = qobject_cast<QVR_DockedPopoverView*>(window->topDockBar()->dockedPopoverView());
    ASSERT_TRUE(dockedView && dockedView->popoverController());
    auto* undock = qobject_cast<QAbstractButton*>(
        dockedView->popoverController()->toolbarViewWithTag(QVRToolbarPopoverController::DockTag));
    ASSERT_TRUE(undock);
    click(undock);
    ASSERT_TRUE(waitFor(
        [&] {
            auto* floating = dynamic_cast<QVRTextMMObjToolbarPopoverController*>(popoverOf(window, text));
            return floating && floating->sizePicker() && floating->sizePicker()->isVisible();
        },
        5000));
}

// The title popover, the presentation settings sheet and a web link, each reached the way the user reaches it.
TEST_F(InspectorRoad, TitleSettingsAndALinkAreTypedIntoTheirOwnPanels)
{
    QVR_CreatorWindow* window = newWindow();
    ASSERT_TRUE(window);
    const auto flow = window->currentModel()->firstFlowmodel();

    // The title, from the toolbar's title.
    click(window->theToolBarView()->titleLabel());
    QVRTitleAndDescriptionEditorViewController* titleEditor = nullptr;
    ASSERT_TRUE(waitFor(
        [&] {
            titleEditor = window->findChild<QVRTitleAndDescriptionEditorViewController*>();
            return titleEditor && titleEditor->isVisible();
        },
        5000));
    look(window, "title-editor");
    QTest::keyClick(titleEditor->titleTextField(), Qt::Key_A, Qt::ControlModifier);
    UserInput::typeText(titleEditor->titleTextField(), QStringLiteral("Spring walk"));
    click(titleEditor->doneButton());
    EXPECT_EQ(flow->title(), QStringLiteral("Spring walk"));

    // Screen › Screen Properties: auto-advance on, a duration typed and Return, Done.
    ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("showScreenPropertiesMenu")));
    QVR_ScreenPropertiesMenuViewController* sheet = nullptr;
    ASSERT_TRUE(waitFor(
        [&] {
            sheet = window->findChild<QVR_ScreenPropertiesMenuViewController*>();
            return sheet && sheet->isVisible();
        },
        5000));
    look(sheet->window(), "screen-properties");
    QTest::mouseClick(sheet->autoplayToggle(), Qt::LeftButton);
    QLineEdit* duration = sheet->globalDurationField();
    QTest::mouseClick(duration, Qt::LeftButton);
    QTest::keyClick(duration, Qt::Key_A, Qt::ControlModifier);
    UserInput::typeText(duration, QStringLiteral("7.5"));
    QTest::keyClick(duration, Qt::Key_Return);
    EXPECT_TRUE(sheet->autoplayToggle()->isChecked());
    EXPECT_EQ(flow->autoAdvanceSlideDuration(), 7.5);
    const int steps = flow->undoManager().undoCount();
    click(sheet->doneButton());
    ASSERT_TRUE(waitFor([&] { return !sheet || !sheet->isVisible(); }, 5000));
    EXPECT_EQ(flow->undoManager().undoCount(), steps + 1);

    // A shape's Set Link: the type chooser, Web, an address typed, Save.
    const Proxy shape = addSelectedShape(window);
    ASSERT_TRUE(shape);
    QVRMMObjToolbarPopoverBase* popover = nullptr;
    ASSERT_TRUE(waitFor(
        [&] {
            popover = popoverOf(window, shape);
            return popover && popover->toolbarViewWithTag(QVRToolbarPopoverController::LinkTag) &&
                   popover->toolbarViewWithTag(QVRToolbarPopoverController::LinkTag)->isVisible();
        },
        5000));
    click(popover->toolbarViewWithTag(QVRToolbarPopoverController::LinkTag));
    QVR_LinkTypeSelectionViewController* chooser = nullptr;
    ASSERT_TRUE(waitFor(
        [&] {
            chooser = window->findChild<QVR_LinkTypeSelectionViewController*>();
            return chooser && chooser->webLinkButton() && chooser->webLinkButton()->isVisible();
        },
        5000));
    look(window, "link-type-chooser");
    click(chooser->webLinkButton());
    QVR_ExternalLinkSelectionViewController* web = nullptr;
    ASSERT_TRUE(waitFor(
        [&] {
            web = window->findChild<QVR_ExternalLinkSelectionViewController*>();
            return web && web->urlField() && web->urlField()->isVisible();
        },
        5000));
    look(window, "web-link-editor");
    QTest::mouseClick(web->urlField(), Qt::LeftButton);
    UserInput::typeText(web->urlField(), QStringLiteral("example.org/spring"));
    click(web->saveButton());
    ASSERT_TRUE(waitFor([&] { return (*shape)->action() != nullptr; }, 5000));
    const auto link = std::dynamic_pointer_cast<ZERI_MMAction_WebLink>((*shape)->action());
    ASSERT_TRUE(link);
    EXPECT_TRUE(link->weblinkText().contains(QStringLiteral("example.org/spring")))
        << link->weblinkText().toStdString();
    look(window, "after-link");
}

// The shape popover's colour button opens the colour panel on the shape's colour with the theme's text colours
// listed; a colour picked there fills the shape.
TEST_F(InspectorRoad, TheShapesColourButtonOffersTheThemesTextColours)
{
    QVR_CreatorWindow* window = newWindow();
    ASSERT_TRUE(window);
    const Proxy shape = addSelectedShape(window);
    ASSERT_TRUE(shape);
    QVRShapeMMObjToolbarPopoverController* popover = nullptr;
    ASSERT_TRUE(waitFor(
        [&] {
            popover = dynamic_cast<QVRShapeMMObjToolbarPopoverController*>(popoverOf(window, shape));
            return popover && popover->toolbarViews().size() > 2 && popover->toolbarViews().at(2)->isVisible();
        },
        5000));
    // Its row: dock, a spacer, the colour button.
    QWidget* button = popover->toolbarViews().at(2);
    click(button);
    ColorPanel* panel = ColorPanel::existing();
    ASSERT_TRUE(waitFor([&] { return panel && panel->isVisible(); }, 5000));
    look(panel, "colour-panel");
    // The blank theme's text colours: 22, none of them transparent.
    ASSERT_EQ(panel->colorListKeys().size(), 22);
    for (const QString& key : panel->colorListKeys())
        EXPECT_EQ(QColor(key.left(7)).isValid() && !key.endsWith(QStringLiteral("00")), true) << key.toStdString();
    panel->dialog()->setCurrentColor(QColor(200, 30, 40));
    EXPECT_TRUE(
        waitFor([&] { return shape->as<ZERI_MMObject_Shape>()->color().rgb() == QColor(200, 30, 40).rgb(); }, 5000));
    panel->hide();
}

// A picture inserted through the file dialog: its popover row offers change image, crop and a link; the
// stacking buttons follow its place among the screen's objects.
TEST_F(InspectorRoad, APicturesPopoverOffersItsOwnButtons)
{
    QVR_CreatorWindow* window = newWindow();
    ASSERT_TRUE(window);
    const Proxy shape = addShape(window);
    ASSERT_TRUE(shape);
    QTemporaryDir inputs;
    const QString picture = makePicture(inputs.filePath(QStringLiteral("photo.png")), "PNG");
    ASSERT_TRUE(insert(window, &QVR_AddElementMenuViewController::imageCell));
    ASSERT_TRUE(answerFileDialog(picture));
    ASSERT_TRUE(waitFor([&] { return countObjects(shownScreen(window), Type::Image) == 1; }));
    const Proxy image = shownScreen(window)->mixedMediaObjects().back();
    ASSERT_TRUE(waitFor([&] { return window->theToolBarView()->insertButton()->isEnabled(); }));
    ASSERT_TRUE(clickObject(window, image));
    QVRMMObjToolbarPopoverBase* popover = nullptr;
    ASSERT_TRUE(waitFor(
        [&] {
            popover = popoverOf(window, image);
            return popover && popover->toolbarViewWithTag(QVRToolbarPopoverController::CropTag) &&
                   popover->toolbarViewWithTag(QVRToolbarPopoverController::CropTag)->isVisible();
        },
        5000));
    look(window, "image-popover");
    for (const int tag : {QVRToolbarPopoverController::DockTag, QVRToolbarPopoverController::ChangeImageTag,
                          QVRToolbarPopoverController::CropTag, QVRToolbarPopoverController::LinkTag,
                          QVRToolbarPopoverController::ForwardTag, QVRToolbarPopoverController::BackTag})
        EXPECT_TRUE(popover->toolbarViewWithTag(tag)) << tag;
    // The picture lies on top: it cannot come forward, it can go back; once back, the reverse.
    QWidget* forward = popover->toolbarViewWithTag(QVRToolbarPopoverController::ForwardTag);
    QWidget* back = popover->toolbarViewWithTag(QVRToolbarPopoverController::BackTag);
    EXPECT_FALSE(forward->isEnabled());
    EXPECT_TRUE(back->isEnabled());
    click(back);
    EXPECT_TRUE(waitFor([&] { return shownScreen(window)->mixedMediaObjects().front() == image; }, 5000));
    EXPECT_TRUE(waitFor([&] { return forward->isEnabled() && !back->isEnabled(); }, 5000));
    look(window, "image-sent-back");
}
