#include <memory>

#include <QColorDialog>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPointer>
#include <QTemporaryDir>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include "app/QVRWindowManager.h"
#include "controls/ControlsArtwork.h"
#include "creator/CreatorLibrary.h"
#include "creator/canvas/QVR_ArtBoardScrollView.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/toolbar/QVR_ToolbarButton.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "inspector/InspectorLibrary.h"
#include "inspector/pickers/ColorPanel.h"
#include "inspector/pickers/QVRColorPicker.h"
#include "inspector/popovers/PopoverColorPickerButton.h"
#include "platform/UndoManager.h"
#include "platform/UserDefaults.h"
#include "strings/UFM.h"
#include "support/UserInput.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

class ColorPickerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = std::make_unique<QMainWindow>();
        window->resize(300, 200);
        window->show();
    }
    void TearDown() override
    {
        ColorPanel::shared()->hide();
        window.reset();
    }

    QVRColorPicker* addPicker(const QColor& color, QList<QColor>* picks)
    {
        auto* picker = new QVRColorPicker(window.get());
        picker->setColor(color);
        picker->onColorPicked = [picks](const QColor& picked) { picks->append(picked); };
        picker->show();
        return picker;
    }

    std::unique_ptr<QMainWindow> window;
};

TEST_F(ColorPickerTest, PresentingReportsNothingAndAPickReportsOnceAndRepaints)
{
    QList<QColor> picks;
    QVRColorPicker* picker = addPicker(Qt::red, &picks);
    picker->setColorList({Qt::red, QColor(0, 0, 255, 128), Qt::white});
    picker->presentColorPanel();

    ColorPanel* panel = ColorPanel::shared();
    EXPECT_TRUE(picks.isEmpty());
    EXPECT_TRUE(picker->ownsColorPanel());
    EXPECT_EQ(panel->dialog()->currentColor(), QColor(Qt::red));
    EXPECT_EQ(ColorPanel::colorListName(), QStringLiteral("Template Colors"));
    EXPECT_EQ(panel->colorListKeys(), (QStringList{"#FF0000FF", "#0000FF80", "#FFFFFFFF"}));

    panel->dialog()->setCurrentColor(QColor(0, 255, 0));
    ASSERT_EQ(picks.size(), 1);
    EXPECT_EQ(picks.first(), QColor(0, 255, 0, 255));
    EXPECT_EQ(picker->grab().toImage().pixelColor(9, 10), QColor(0, 255, 0));

    // The list's entries pick too, even the colour already shown.
    panel->listView()->itemClicked(panel->listView()->item(1));
    panel->listView()->itemClicked(panel->listView()->item(1));
    ASSERT_EQ(picks.size(), 3);
    EXPECT_EQ(picks.at(1), QColor(0, 0, 255, 128));
}

TEST_F(ColorPickerTest, SetColorWhileOwningDoesNotCallBackAndAHiddenPanelPicksNothing)
{
    QList<QColor> picks;
    QVRColorPicker* picker = addPicker(Qt::red, &picks);
    picker->presentColorPanel();
    picker->setColor(Qt::blue);
    EXPECT_TRUE(picks.isEmpty());
    EXPECT_EQ(ColorPanel::shared()->dialog()->currentColor(), QColor(Qt::blue));

    // A picker that is not itself shown still receives the picks of the panel it opened ...
    picker->hide();
    ColorPanel::shared()->dialog()->setCurrentColor(Qt::green);
    EXPECT_EQ(picks, (QList<QColor>{QColor(Qt::green)}));
    EXPECT_EQ(picker->color(), QColor(Qt::green));

    // ... and nothing once the panel is hidden.
    ColorPanel::shared()->hide();
    ColorPanel::shared()->dialog()->setCurrentColor(Qt::yellow);
    EXPECT_EQ(picks.size(), 1);
    EXPECT_EQ(picker->color(), QColor(Qt::green));
}

TEST_F(ColorPickerTest, RebuiltPickerNeitherStealsNorClosesAnotherOwnersPanel)
{
    QList<QColor> backgroundPicks;
    QList<QColor> shapePicks;
    QVRColorPicker* background = addPicker(Qt::white, &backgroundPicks);
    QVRColorPicker* shapeRow = addPicker(Qt::red, &shapePicks);
    background->presentColorPanel();

    // The shape's popover row is rebuilt: the old picker goes, a new one is placed.
    delete shapeRow;
    QVRColorPicker* rebuilt = addPicker(Qt::red, &shapePicks);
    EXPECT_TRUE(ColorPanel::shared()->isVisible());
    EXPECT_TRUE(background->ownsColorPanel());
    EXPECT_FALSE(rebuilt->ownsColorPanel());

    ColorPanel::shared()->dialog()->setCurrentColor(Qt::yellow);
    EXPECT_EQ(backgroundPicks, (QList<QColor>{QColor(Qt::yellow)}));
    EXPECT_TRUE(shapePicks.isEmpty());
}

TEST_F(ColorPickerTest, PicksAfterTheOwnerIsDeletedReachNothing)
{
    QList<QColor> picks;
    QVRColorPicker* picker = addPicker(Qt::red, &picks);
    picker->presentColorPanel();
    delete picker;
    EXPECT_EQ(ColorPanel::shared()->owner(), nullptr);
    EXPECT_FALSE(ColorPanel::shared()->isVisible());
    ColorPanel::shared()->dialog()->setCurrentColor(Qt::green);
    EXPECT_TRUE(picks.isEmpty());
}

TEST_F(ColorPickerTest, ActivatingAnotherWindowHidesThePanelAndReleaseInsideEndsADrag)
{
    QList<QColor> picks;
    QVRColorPicker* picker = addPicker(Qt::red, &picks);
    picker->presentColorPanel();
    ColorPanel* panel = ColorPanel::shared();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel));

    QSignalSpy dragEnded(panel, &ColorPanel::dragEnded);
    QTest::mouseRelease(panel->listView()->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(dragEnded.count(), 1);

    window->activateWindow();
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !panel->isVisible(); }, 1000));
    EXPECT_LT(clock.elapsed(), 150);
}

TEST_F(ColorPickerTest, ToolbarButtonShowsTheSwatchAndPresentsThePanel)
{
    QList<QColor> picks;
    QVRColorPicker* picker = addPicker(Qt::red, &picks);
    QVR_ToolbarButton* button = picker->makeToolbarButton();
    EXPECT_EQ(button->size(), QSize(40, 50));
    EXPECT_EQ(button->toolTip(), UFM::SAYS_COLOR());
    button->click();
    EXPECT_TRUE(picker->ownsColorPanel());
    EXPECT_TRUE(picks.isEmpty());
    delete button;
}

} // namespace

// The canvas's "change canvas colour" entry, through the picker the inspector registers and the shared panel.
TEST(CanvasColorPicker, EachPickInTheOpenPanelRecolorsTheScreenAsOneStep)
{
    QTemporaryDir settings;
    UserDefaults::setStoreFileForTesting(settings.filePath(QStringLiteral("defaults.conf")));
    ControlsArtwork::registerNamedImages();
    registerCreatorLibrary();
    registerInspectorLibrary();
    auto document = ZERI_TessarineModel::create();
    document->setDontSave(true);
    document->firstFlowmodel()->addFlowScreen(ZERI_FlowScreenModel::create());
    const auto screen = document->firstFlowmodel()->screenModels().front();
    QPointer<QVR_CreatorWindow> window =
        qobject_cast<QVR_CreatorWindow*>(QVRWindowManager::sharedInstance().makeCreatorWindow());
    ASSERT_TRUE(window);
    window->resize(1400, 1000);
    window->launchTessarineWithTessarineModel(document);
    window->show();
    QApplication::processEvents();

    // The screen's own menu, from a right click beside every object.
    QWidget* viewport = window->theArtBoard()->theScrollView()->viewport();
    const QPoint pixel = window->theArtBoard()->theScrollView()->mapFromScene(QPointF(700, 500));
    QContextMenuEvent event(QContextMenuEvent::Mouse, pixel, viewport->mapToGlobal(pixel));
    QApplication::sendEvent(viewport, &event);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_TRUE(menu);
    QAction* entry = nullptr;
    for (QAction* action : menu->actions())
        if (action->text().trimmed() == UFM::SAYS_CHANGE_CANVAS_COLOR())
            entry = action;
    ASSERT_TRUE(entry);
    entry->trigger();
    menu->close();

    ColorPanel* panel = ColorPanel::shared();
    ASSERT_TRUE(panel->isVisible());
    UndoManager& undo = document->firstFlowmodel()->undoManager();
    const int steps = undo.undoCount();
    panel->dialog()->setCurrentColor(QColor(0, 0, 255));
    panel->dialog()->setCurrentColor(QColor(255, 0, 0));
    EXPECT_EQ(screen->backgroundColor(), QColor(255, 0, 0));
    EXPECT_EQ(undo.undoCount(), steps + 2);

    // Once the panel is closed, its colour reaches the screen no more.
    panel->hide();
    panel->dialog()->setCurrentColor(QColor(0, 255, 0));
    EXPECT_EQ(screen->backgroundColor(), QColor(255, 0, 0));
    ASSERT_TRUE(undo.undo());
    EXPECT_EQ(screen->backgroundColor(), QColor(0, 0, 255));

    delete window.data();
    QApplication::processEvents();
    UserDefaults::setStoreFileForTesting(QString());
}

// A code typed key by key into the panel's hexadecimal field is picked once, whole: "#00f" on the way to
// "#00ff00" is never picked. A short code counts when the typing ends with Return.
TEST_F(ColorPickerTest, AHexCodeTypedKeyByKeyIsPickedOnceWhole)
{
    QList<QColor> picks;
    QVRColorPicker* picker = addPicker(Qt::red, &picks);
    picker->presentColorPanel();
    ColorPanel* panel = ColorPanel::shared();
    QLineEdit* hex = panel->hexField();
    ASSERT_TRUE(hex);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel));
    hex->setFocus();
    hex->selectAll();
    UserInput::typeText(hex, QStringLiteral("#00ff00"));
    EXPECT_EQ(picks, (QList<QColor>{QColor(0, 255, 0)}));
    UserInput::pressKey(hex, Qt::Key_Return);
    EXPECT_EQ(picks.size(), 1) << "Return on the code already picked picks nothing more";

    hex->selectAll();
    UserInput::typeText(hex, QStringLiteral("#00f"));
    EXPECT_EQ(picks.size(), 1);
    UserInput::pressKey(hex, Qt::Key_Return);
    ASSERT_EQ(picks.size(), 2);
    EXPECT_EQ(picks.last(), QColor(0, 0, 255));
}

TEST(ColorPanelPlacement, ThePanelOpensBesideItsControlAndClearOfTheSelection)
{
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QWidget window;
    window.setGeometry(screen);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    // A popover's colour button near the top right, and a selection low on the left where the window manager
    // would not know to keep off it.
    auto* picker = new QVRColorPicker(&window);
    QWidget* button = PopoverColorPickerButton::make(picker);
    button->setParent(&window);
    button->move(screen.width() - 100, 20);
    button->show();
    const QRect selection(window.mapToGlobal(QPoint(40, screen.height() - 300)), QSize(200, 100));
    ColorPanel::setKeepClearAreaProvider([&](QWidget* opener) { return opener == &window ? selection : QRect(); });
    ColorPanel* panel = ColorPanel::shared();
    // Left where the window manager put it: over the selection.
    panel->move(selection.topLeft());
    picker->presentColorPanel();
    ASSERT_TRUE(panel->isVisible());
    const QRect shown = panel->frameGeometry();
    const QRect control(button->mapToGlobal(QPoint(0, 0)), button->size());
    EXPECT_FALSE(shown.intersects(control));
    EXPECT_FALSE(shown.intersects(selection));
    EXPECT_TRUE(screen.contains(shown));
    // Beside the control: within a few points of it (room left for a window manager's frame).
    EXPECT_LE(std::abs(shown.right() - control.left()), 24);
    EXPECT_LE(std::abs(shown.top() - control.top()), 24);

    // A selection right beside the control: the panel goes beside both.
    panel->hide();
    const QRect besideControl(control.left() - 260, control.top(), 200, 100);
    ColorPanel::setKeepClearAreaProvider([&](QWidget*) { return besideControl; });
    picker->presentColorPanel();
    EXPECT_FALSE(panel->frameGeometry().intersects(control));
    EXPECT_FALSE(panel->frameGeometry().intersects(besideControl));
    EXPECT_TRUE(screen.contains(panel->frameGeometry()));
    ColorPanel::setKeepClearAreaProvider([&](QWidget* opener) { return opener == &window ? selection : QRect(); });

    // A picker that shows nowhere (the screen's background picker) keeps the panel off the selection.
    QVRColorPicker hidden;
    panel->hide();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    panel->move(selection.topLeft());
    hidden.presentColorPanel();
    EXPECT_FALSE(panel->frameGeometry().intersects(selection));
    ColorPanel::setKeepClearAreaProvider({});
    panel->hide();
}
