#include <gtest/gtest.h>

#include <QColorDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>

#include "app/QVRAppDelegate.h"
#include "app/QVRMainMenu.h"
#include "creator/addition/QVR_AddElementMenuViewController.h"
#include "creator/toolbar/QVR_CreatorToolBarView.h"
#include "creator/toolbar/QVR_ToolbarButton.h"
#include "controls/SheetLikePanelViewController.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "foundation/Tessutils.h"
#include "inspector/pickers/ColorPanel.h"
#include "library/tour/QVR_FirstLaunchViewController.h"
#include "pptx/import/QVRPowerpointOverviewWindowController.h"
#include "roads/RoadsSignedInService.h"
#include "roads/RoadsTestSupport.h"
#include "support/fakeservice/FakeWebService.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "viewer/QVRViewerWindow.h"

using namespace roads;

namespace {

// The one application bar among the window's children: shown, across the top of what holds it, and above every
// other part of that holder.
QMenuBar* shownBar(QWidget* window)
{
    const QList<QMenuBar*> bars = window->findChildren<QMenuBar*>();
    EXPECT_EQ(bars.size(), 1) << window->metaObject()->className();
    if (bars.size() != 1)
        return nullptr;
    QMenuBar* bar = bars.first();
    EXPECT_TRUE(bar->isVisible()) << window->metaObject()->className();
    EXPECT_GT(bar->height(), 0);
    QWidget* holder = bar->parentWidget();
    EXPECT_EQ(bar->geometry().top(), holder->contentsRect().top());
    EXPECT_EQ(bar->width(), holder->contentsRect().width());
    for (QWidget* part : holder->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (part != bar && part->isVisible() && !part->isWindow()) {
            EXPECT_GE(part->geometry().top(), bar->geometry().bottom() + 1)
                << part->metaObject()->className() << " of " << window->metaObject()->className();
        }
    }
    return bar;
}

// Keys go where the user's keys go: to the focused widget of the window in front.
QWidget* inFront()
{
    QWidget* window = QApplication::activeWindow();
    return window && window->focusWidget() ? window->focusWidget() : window;
}

QWidget* activeListsWindow()
{
    QWidget* lists = application().listsWindow();
    if (lists && !lists->isVisible())
        return nullptr;
    // A first-start tour standing above My Documents goes the user's way first.
    if (auto* tour = lists ? lists->findChild<QVR_FirstLaunchViewController*>() : nullptr; tour && tour->isVisible()) {
        QPointer<QVR_FirstLaunchViewController> guarded(tour);
        QTest::mouseClick(tour->getStartedButton(), Qt::LeftButton);
        waitFor([&] { return !guarded || !guarded->isVisible(); });
    }
    if (lists) {
        lists->activateWindow();
        waitFor([&] { return QApplication::activeWindow() == lists; }, 5000);
    }
    return lists;
}

class MenusRoad : public ::testing::Test {
protected:
    void SetUp() override
    {
        service = signedInService();
        ASSERT_TRUE(service);
        application();
        ASSERT_TRUE(inputs.isValid());
    }
    void TearDown() override { closeDocumentWindows(); }

    FakeWebService* service = nullptr;
    QTemporaryDir inputs;
};

// The home window alone: its bar shows above My Documents; F5 refreshes the list from the service; Alt+F opens
// File and the Import PowerPoint item, chosen by its letter, opens the importer's overview.
TEST_F(MenusRoad, TheHomeWindowAloneCarriesTheBarAndAnswersItsKeys)
{
    QWidget* lists = activeListsWindow();
    ASSERT_TRUE(lists);
    ASSERT_TRUE(shownBar(lists));

    // The start-up's own fetch of the list has answered; the refresh asks again.
    ASSERT_TRUE(waitFor([&] { return service->requestCount(QStringLiteral("tessarine.getUserTessarines")) > 0; }));
    QTest::qWait(200); // the answer reaches the list
    service->clearRequests();
    QTest::keyClick(inFront(), Qt::Key_F5);
    EXPECT_TRUE(waitFor([&] { return service->requestCount(QStringLiteral("tessarine.getUserTessarines")) > 0; }))
        << "F5 sent no request";

    QTest::keyClick(inFront(), Qt::Key_F, Qt::AltModifier);
    QMenu* file = nullptr;
    ASSERT_TRUE(
        waitFor([&] { return (file = qobject_cast<QMenu*>(QApplication::activePopupWidget())) != nullptr; }, 5000))
        << "Alt+F opened nothing";
    EXPECT_EQ(file->menuAction()->text(), QStringLiteral("&") + QVRMainMenu::menuTitle(QVRMainMenu::FileMenu));
    QAction* import = QVRMainMenu::action(QVRMainMenu::barOf(lists), QStringLiteral("importPowerpoint"));
    ASSERT_TRUE(import && file->actions().contains(import) && import->isEnabled());
    const QKeySequence letter = QKeySequence::mnemonic(import->text());
    ASSERT_FALSE(letter.isEmpty()) << import->text().toStdString();
    QTest::keyClick(file, Qt::Key(letter[0].key()));
    QVRPowerpointOverviewWindowController* overview = nullptr;
    ASSERT_TRUE(
        waitFor([&] { return (overview = visibleTopLevel<QVRPowerpointOverviewWindowController>()) != nullptr; }));
    overview->close();
}

// A document with a moved text: Edit › Undo names the move. The text comes from the toolbar's Insert popover,
// driven by the arrows and Return; the Screen menu's background colour opens the colour panel, which Escape
// closes and which opens again with its picker.
TEST_F(MenusRoad, TheCreatorNamesItsUndoAndEscapeClosesWhatFloats)
{
    QVR_CreatorWindow* window = createDocumentFromPlusTile();
    ASSERT_TRUE(window);
    ASSERT_TRUE(shownBar(window));
    const auto screen = shownScreen(window);
    const int texts = countObjects(screen, ZERI_MixedMediaObject::Text);

    // Insert: the popover takes the keyboard; Escape closes it.
    const auto openInsert = [&]() -> QVR_AddElementMenuViewController* {
        click(window->theToolBarView()->insertButton());
        QVR_AddElementMenuViewController* opened = nullptr;
        waitFor([&] {
            for (QWidget* top : QApplication::topLevelWidgets()) {
                auto* found = top->findChild<QVR_AddElementMenuViewController*>();
                if (found && found->view()->isVisible())
                    opened = found;
            }
            return opened && opened->cells().value(0)->hasFocus();
        });
        return opened;
    };
    QVR_AddElementMenuViewController* menu = openInsert();
    ASSERT_TRUE(menu) << "the Insert popover did not take the keyboard";
    QPointer<QWidget> popover(menu->view());
    QTest::keyClick(inFront(), Qt::Key_Escape);
    ASSERT_TRUE(waitFor([&] { return !popover || !popover->isVisible(); }, 5000)) << "Escape left the popover open";

    // Again, then down to the shape row and Return: the shape chooser, which Escape closes.
    menu = openInsert();
    ASSERT_TRUE(menu);
    const int shapeRow = int(menu->cells().indexOf(menu->shapeCell()));
    for (int row = 0; row < shapeRow; ++row)
        QTest::keyClick(inFront(), Qt::Key_Down);
    QTest::keyClick(inFront(), Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] {
        return window->sheetLikeViewController() && window->sheetLikeViewController()->view()->isVisible();
    })) << "Return on the shape row";
    QTest::keyClick(inFront(), Qt::Key_Escape);
    EXPECT_TRUE(waitFor([&] { return !window->sheetLikeViewController(); }, 5000)) << "Escape left the shapes open";

    // And down to the text row and Return.
    menu = openInsert();
    ASSERT_TRUE(menu);
    const int textRow = int(menu->cells().indexOf(menu->textCell()));
    for (int row = 0; row < textRow; ++row)
        QTest::keyClick(inFront(), Qt::Key_Down);
    ASSERT_TRUE(menu->textCell()->hasFocus());
    QTest::keyClick(inFront(), Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return countObjects(screen, ZERI_MixedMediaObject::Text) == texts + 1; }));

    // The new text is selected: a nudge moves it; Undo names the move, and after it Redo does.
    ASSERT_TRUE(waitFor([&] { return chooseMenuItemEnabled(window, QStringLiteral("nudgeRight")); }, 5000));
    QTest::keyClick(inFront(), Qt::Key_Right);
    QMenuBar* bar = QVRMainMenu::barOf(window);
    QAction* undo = QVRMainMenu::action(bar, QStringLiteral("undo"));
    const QString moved = QStringLiteral("Undo Move Object");
    EXPECT_TRUE(waitFor(
        [&] { return chooseMenuItemEnabled(window, QStringLiteral("undo")) && QVRMainMenu::plainText(undo) == moved; },
        5000))
        << QVRMainMenu::plainText(undo).toStdString();
    ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("undo")));
    QAction* redo = QVRMainMenu::action(bar, QStringLiteral("redo"));
    EXPECT_TRUE(waitFor(
        [&] {
            return chooseMenuItemEnabled(window, QStringLiteral("redo")) &&
                   QVRMainMenu::plainText(redo) == QStringLiteral("Redo Move Object");
        },
        5000))
        << QVRMainMenu::plainText(redo).toStdString();

    // Screen › Change Background Color: the panel; Escape closes it, and it opens again whole.
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("changeBackgroundColor")));
        ColorPanel* panel = nullptr;
        ASSERT_TRUE(waitFor([&] {
            panel = ColorPanel::existing();
            return panel && panel->isVisible() && QApplication::activeWindow() == panel;
        })) << round;
        EXPECT_TRUE(panel->dialog()->isVisible()) << "the picker, round " << round;
        EXPECT_GT(panel->dialog()->width(), 300);
        // The keys go to a part of the picker, as after a click in it.
        auto* field = panel->dialog()->findChild<QLineEdit*>();
        ASSERT_TRUE(field);
        field->setFocus();
        QTest::keyClick(inFront(), Qt::Key_Escape);
        EXPECT_TRUE(waitFor([&] { return !panel->isVisible(); }, 5000)) << "Escape left the panel open";
        EXPECT_FALSE(panel->dialog()->isHidden()) << "Escape took the picker out of the panel";
    }
}

// The viewer window carries the bar: Ctrl+P prints through the print dialog, one page per screen, and the keys
// the bar does not claim still page the player.
TEST_F(MenusRoad, TheViewerWindowPrintsWithItsKeys)
{
    QVR_CreatorWindow* window = createDocumentFromPlusTile();
    ASSERT_TRUE(window);
    ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("duplicateScreen")));
    ASSERT_TRUE(waitFor([&] { return window->currentModel()->firstFlowmodel()->screenModels().size() == 2; }));

    QVRViewerWindow* player = play(window);
    ASSERT_TRUE(player);
    ASSERT_TRUE(shownBar(player));

    QTest::keyClick(inFront(), Qt::Key_P, Qt::ControlModifier);
    const QString printed = inputs.filePath(QStringLiteral("played.pdf"));
    ASSERT_TRUE(printToFile(printed)) << "Ctrl+P in the player";
    EXPECT_EQ(writtenPdfPages(printed), 2) << "one page per screen";
}

// In a process of its own, as it ends the application: Ctrl+Q with only the home window open quits (every window
// closed, none left asking). The home window opens again, as the fixture expects it.
TEST_F(MenusRoad, ControlQWithOnlyTheHomeWindowQuits)
{
    if (!inAProcessOfItsOwn())
        return;
    QWidget* lists = activeListsWindow();
    ASSERT_TRUE(lists);
    QPointer<QWidget> home(lists);
    QTest::keyClick(inFront(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_TRUE(waitFor([&] { return !home; }, 10000)) << "Ctrl+Q left the home window open";
    for (QWidget* top : QApplication::topLevelWidgets())
        EXPECT_FALSE(top->isVisible()) << top->metaObject()->className() << " stays open";

    application().performApplicationCommand(QStringLiteral("myTessarines"));
    EXPECT_TRUE(waitFor([] { return activeListsWindow() != nullptr; }));
}

} // namespace
