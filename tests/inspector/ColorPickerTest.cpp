#include <memory>

#include <QColorDialog>
#include <QListWidget>
#include <QMainWindow>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include "creator/toolbar/QVR_ToolbarButton.h"
#include "inspector/pickers/ColorPanel.h"
#include "inspector/pickers/QVRColorPicker.h"

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

TEST_F(ColorPickerTest, SetColorWhileOwningDoesNotCallBackAndHiddenPickersIgnorePicks)
{
    QList<QColor> picks;
    QVRColorPicker* picker = addPicker(Qt::red, &picks);
    picker->presentColorPanel();
    picker->setColor(Qt::blue);
    EXPECT_TRUE(picks.isEmpty());
    EXPECT_EQ(ColorPanel::shared()->dialog()->currentColor(), QColor(Qt::blue));

    picker->hide();
    ColorPanel::shared()->dialog()->setCurrentColor(Qt::green);
    EXPECT_TRUE(picks.isEmpty());
    EXPECT_EQ(picker->color(), QColor(Qt::blue));
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
    button->click();
    EXPECT_TRUE(picker->ownsColorPanel());
    EXPECT_TRUE(picks.isEmpty());
    delete button;
}

} // namespace
