#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QStackedLayout>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

#include "app/AppStartupHooks.h"
#include "app/QVRMainMenu.h"
#include "app/QVRWindowManager.h"
#include "app/QVRWindowManagerManagedWindow.h"
#include "controls/INAppStoreWindow.h"
#include "controls/WindowKeyboardReturn.h"
#include "platform/AlertPresenter.h"
#include "strings/UFM.h"
#include "support/UserInput.h"
#include "tessarine_data_model/VideoCompressionManager.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

// A managed window implementing a few validators and performers; everything else is absent.
class FakeManagedWindow : public QWidget {
    Q_OBJECT
public:
    FakeManagedWindow()
    {
        auto* layout = new QVBoxLayout(this);
        m_field = new QLineEdit(this);
        m_field->setFocusPolicy(Qt::ClickFocus); // activation focuses the window, not the field
        layout->addWidget(m_field);
        setFocusPolicy(Qt::StrongFocus);
    }
    Q_INVOKABLE bool canCut() const { return cutAllowed; }
    Q_INVOKABLE void performCut(uint mask) { calls << QStringLiteral("cut:%1").arg(mask); }
    Q_INVOKABLE bool canUndo() const { return true; }
    Q_INVOKABLE void performUndo(uint mask) { calls << QStringLiteral("undo:%1").arg(mask); }
    Q_INVOKABLE QString undoActionName() const { return undoName; }
    Q_INVOKABLE bool canNudgeRight() const { return true; }
    Q_INVOKABLE void performNudgeRight(uint mask) { calls << QStringLiteral("nudgeRight:%1").arg(mask); }
    Q_INVOKABLE bool canShiftRight() const { return true; }
    Q_INVOKABLE void performShiftRight(uint mask) { calls << QStringLiteral("shiftRight:%1").arg(mask); }
    // A performer without its validator: the refresh item stays disabled.
    Q_INVOKABLE void performRefresh(uint mask) { calls << QStringLiteral("refresh:%1").arg(mask); }
    // The two items without a validator are enabled by their performers.
    Q_INVOKABLE void performToggleDockedPopover(uint mask) { calls << QStringLiteral("dock:%1").arg(mask); }
    Q_INVOKABLE void performShowScreenProperties(uint mask) { calls << QStringLiteral("properties:%1").arg(mask); }

    QLineEdit* field() const { return m_field; }
    bool cutAllowed = false;
    QString undoName;
    QStringList calls;

private:
    QLineEdit* m_field;
};

// A window with misspelt protocol methods.
class MisspeltWindow : public QWidget {
    Q_OBJECT
public:
    Q_INVOKABLE bool canCutt() const { return true; }
    Q_INVOKABLE void performCut() {}
    Q_INVOKABLE bool canCopy() const { return true; }
};

class MenuRouting : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = new FakeManagedWindow;
        QVRWindowManager::sharedInstance().addManagedWindow(window);
        bar = QVRMainMenu::createMenuBar(window);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == window; }, 5000));
        window->setFocus();
        ASSERT_TRUE(QTest::qWaitFor([&] { return window->hasFocus(); }, 2000));
    }
    void TearDown() override
    {
        delete window;
        QVRMainMenu::resetForTesting();
    }
    bool enabled(const char* command)
    {
        QVRMainMenu::validate(bar);
        QAction* action = QVRMainMenu::action(bar, QString::fromLatin1(command));
        return action && action->isEnabled();
    }
    // As the user does it: the menu opens (validating its items), then the item is chosen.
    void choose(const char* command)
    {
        QVRMainMenu::validate(bar);
        QVRMainMenu::action(bar, QString::fromLatin1(command))->trigger();
    }

    FakeManagedWindow* window = nullptr;
    QMenuBar* bar = nullptr;
};

TEST_F(MenuRouting, CutFollowsTheValidatorAndPerformsWithTheItemsModifierMask)
{
    EXPECT_FALSE(enabled("cut"));
    window->cutAllowed = true;
    EXPECT_TRUE(enabled("cut"));
    choose("cut");
    window->cutAllowed = false;
    // An item enabled a moment ago must not reach a performer whose validator now refuses.
    EXPECT_FALSE(QVRWindowManager::sharedInstance().performMenuAction(QStringLiteral("cut"), 0));
    EXPECT_EQ(window->calls, QStringList{QStringLiteral("cut:%1").arg(uint(Qt::ControlModifier))});
}

TEST_F(MenuRouting, UndoAndShiftReachTheirPerformers)
{
    choose("undo");
    choose("shiftRight");
    choose("nudgeRight");
    EXPECT_EQ(window->calls, (QStringList{QStringLiteral("undo:%1").arg(uint(Qt::ControlModifier)),
                                          QStringLiteral("shiftRight:%1").arg(uint(Qt::ShiftModifier)),
                                          QStringLiteral("nudgeRight:0")}));
}

TEST_F(MenuRouting, ItemsFollowTheValidatorTableAndTheRuleForItemsWithoutOne)
{
    EXPECT_FALSE(enabled("refresh")) << "the window lacks canRefresh";
    EXPECT_FALSE(enabled("copy"));
    EXPECT_FALSE(enabled("print"));
    EXPECT_TRUE(enabled("toggleDockedPopover"));
    EXPECT_TRUE(enabled("showScreenPropertiesMenu"));
    choose("showScreenPropertiesMenu");
    choose("refresh");
    EXPECT_EQ(window->calls, QStringList{QStringLiteral("properties:0")});
}

TEST_F(MenuRouting, AKeyEquivalentReachesThePerformerWithFreshValidation)
{
    window->cutAllowed = true;
    QTest::keyClick(window, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(window->calls, QStringList{QStringLiteral("shiftRight:%1").arg(uint(Qt::ShiftModifier))});
}

TEST_F(MenuRouting, WhileATextFieldIsEditedArrowsMoveTheCursorAndEditItemsActOnTheText)
{
    window->field()->setText(QStringLiteral("hello"));
    window->field()->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->field()->hasFocus(); }, 2000));
    window->field()->setCursorPosition(0);
    EXPECT_FALSE(enabled("nudgeRight"));
    QTest::keyClick(window->field(), Qt::Key_Right);
    EXPECT_EQ(window->field()->cursorPosition(), 1);
    window->field()->selectAll();
    window->cutAllowed = false; // the text field decides, not the window
    EXPECT_TRUE(enabled("cut"));
    choose("cut");
    EXPECT_TRUE(window->field()->text().isEmpty());
    EXPECT_TRUE(window->calls.isEmpty());
}

TEST_F(MenuRouting, WithoutAManagedWindowEveryRoutedItemIsDisabled)
{
    QVRWindowManager::sharedInstance().removeManagedWindow(window);
    window->cutAllowed = true;
    EXPECT_FALSE(enabled("cut"));
    EXPECT_FALSE(enabled("undo"));
}

// Warnings Qt writes while the block runs.
QStringList warningsDuring(const std::function<void()>& block)
{
    static QStringList* s_sink = nullptr;
    QStringList warnings;
    s_sink = &warnings;
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
            if (type != QtDebugMsg && type != QtInfoMsg && s_sink)
                s_sink->append(message);
        });
    block();
    qInstallMessageHandler(previous);
    s_sink = nullptr;
    return warnings;
}

TEST_F(MenuRouting, OneSignInItemFollowsTheAccountAndAccountItemsNeedAUser)
{
    bool signedIn = false;
    QStringList performed;
    QVRMainMenu::setApplicationHandler([&](const QString& command) { performed << command; },
                                       [](const QString&) { return true; });
    QVRMainMenu::setSignedInQuery([&] { return signedIn; });
    QVRMainMenu::updateTitles();

    QStringList signInTitles;
    for (QAction* action : bar->actions().at(QVRMainMenu::ApplicationMenu)->menu()->actions()) {
        const QString text = QVRMainMenu::plainText(action);
        if (text.contains(UFM::SIGN_IN_TEXT(), Qt::CaseInsensitive) || text.contains(UFM::LOGIN_TEXT()))
            signInTitles << text;
    }
    EXPECT_EQ(signInTitles, QStringList{UFM::SIGN_IN_TEXT()});
    EXPECT_FALSE(enabled("editProfile"));
    EXPECT_TRUE(enabled("signIn"));

    // Signed in elsewhere (no title update asked for): the menu shows the account as it is when it opens.
    signedIn = true;
    QVRMainMenu::validate(bar);
    EXPECT_EQ(QVRMainMenu::plainText(QVRMainMenu::action(bar, QStringLiteral("signIn"))), UFM::SIGN_OUT_TEXT());
    EXPECT_TRUE(enabled("editProfile"));
    choose("editProfile");
    EXPECT_EQ(performed, QStringList{QStringLiteral("editProfile")});
}

TEST_F(MenuRouting, ValidatingAskedNoWindowForAMethodItLacks)
{
    // The active managed window has no dimensions palette.
    const QStringList warnings = warningsDuring([&] {
        QVRMainMenu::validate(bar);
        QVRMainMenu::updateTitles();
    });
    EXPECT_TRUE(warnings.filter(QStringLiteral("xyPaletteHidden")).isEmpty()) << warnings.join('\n').toStdString();
    EXPECT_EQ(QVRMainMenu::plainText(QVRMainMenu::action(bar, QStringLiteral("toggleXYPalette"))),
              UFM::SHOW_DIMENSIONS_PALETTE_TEXT());
}

TEST_F(MenuRouting, TheScreenMenuShowsItsItemsWords)
{
    QMenu* screenMenu = bar->actions().at(QVRMainMenu::ScreenMenu)->menu();
    ASSERT_NE(screenMenu, nullptr);
    for (const auto& [command, words] : {std::pair{"changeBackgroundColor", UFM::CHANGE_BACKGROUND_COLOR_TEXT()},
                                         std::pair{"showScreenPropertiesMenu", UFM::SCREEN_PROPERTIES_TEXT()}}) {
        QAction* item = QVRMainMenu::action(bar, QString::fromLatin1(command));
        ASSERT_NE(item, nullptr) << command;
        EXPECT_TRUE(screenMenu->actions().contains(item)) << command;
        EXPECT_EQ(QString(item->text()).remove(QLatin1Char('&')), words) << command;
    }
}

TEST_F(MenuRouting, QuitKeysQuitOnceFromAWindowWithABarAndFromOneWithout)
{
    QStringList performed;
    QVRMainMenu::setApplicationHandler([&](const QString& command) { performed << command; },
                                       [](const QString&) { return true; });
    QTest::keyClick(window, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(performed, QStringList{QStringLiteral("quit")});

    // A home-like window: no bar of its own, a focused child.
    QWidget home;
    auto* layout = new QVBoxLayout(&home);
    auto* field = new QLineEdit(&home);
    layout->addWidget(field);
    home.show();
    home.activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == &home; }, 5000));
    field->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return field->hasFocus(); }, 2000));
    performed.clear();
    QTest::keyClick(field, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(performed, QStringList{QStringLiteral("quit")});
    // Other keys are the field's.
    QTest::keyClick(field, Qt::Key_Q);
    EXPECT_EQ(field->text(), QStringLiteral("q"));
    EXPECT_EQ(performed.size(), 1);
}

TEST_F(MenuRouting, UndoNamesTheStepItTakesUnlessATextHasTheKeys)
{
    const auto undoTitle = [&] {
        QVRMainMenu::validate(bar);
        return QVRMainMenu::plainText(QVRMainMenu::action(bar, QStringLiteral("undo")));
    };
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo"));
    window->undoName = UFM::UNDO_MANAGER_MOVE_OBJECT_TAG();
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Move Object"));
    // Redo has nothing to take here: plain, as every window without names.
    EXPECT_EQ(QVRMainMenu::plainText(QVRMainMenu::action(bar, QStringLiteral("redo"))), QStringLiteral("Redo"));
    // A focused field undoes its own typing, which has no name.
    window->field()->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->field()->hasFocus(); }, 2000));
    UserInput::typeText(window->field(), QStringLiteral("ab"));
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo"));
}

TEST_F(MenuRouting, ARetitledItemShowsItsNewTitleWithALetter)
{
    QAction* undo = QVRMainMenu::action(bar, QStringLiteral("undo"));
    ASSERT_NE(undo, nullptr);
    window->undoName = UFM::UNDO_MANAGER_MOVE_OBJECT_TAG();
    QVRMainMenu::validate(bar);
    EXPECT_EQ(QString(undo->text()).remove(QLatin1Char('&')), QStringLiteral("Undo Move Object"));
    EXPECT_FALSE(QKeySequence::mnemonic(undo->text()).isEmpty()) << undo->text().toStdString();
    // Validated again with nothing changed: the title stays.
    QVRMainMenu::validate(bar);
    EXPECT_EQ(QString(undo->text()).remove(QLatin1Char('&')), QStringLiteral("Undo Move Object"));
}

TEST_F(MenuRouting, EveryMenuAndItemHasALetterOfItsOwnAndAltOpensTheMenu)
{
    const auto distinct = [](const QList<QAction*>& actions, const QString& where) {
        QSet<QString> letters;
        for (QAction* action : actions) {
            if (action->isSeparator() || !action->isVisible())
                continue;
            const QString letter = QKeySequence::mnemonic(action->text()).toString();
            EXPECT_FALSE(letter.isEmpty()) << action->text().toStdString();
            EXPECT_FALSE(letters.contains(letter)) << where.toStdString() << ": " << action->text().toStdString();
            letters.insert(letter);
            // The letter marks a character; the title reads as before.
            EXPECT_EQ(QString(action->text()).remove(QLatin1Char('&')), QVRMainMenu::plainText(action));
        }
    };
    distinct(bar->actions(), QStringLiteral("bar"));
    for (QAction* top : bar->actions())
        distinct(top->menu()->actions(), top->text());
    EXPECT_EQ(bar->actions().at(QVRMainMenu::FileMenu)->text(),
              QStringLiteral("&") + QVRMainMenu::menuTitle(QVRMainMenu::FileMenu));

    QTest::keyClick(window, Qt::Key_F, Qt::AltModifier);
    QWidget* popup = nullptr;
    EXPECT_TRUE(QTest::qWaitFor([&] { return (popup = QApplication::activePopupWidget()) != nullptr; }, 5000));
    EXPECT_EQ(popup, bar->actions().at(QVRMainMenu::FileMenu)->menu());
    if (popup)
        popup->close();
}

TEST(MenuPlacement, AWindowOfAnyClassGetsItsBarShownAcrossItsTop)
{
    // A window already shown, without a layout: the bar shows at its top, over the full width.
    QWidget plain;
    plain.resize(500, 300);
    plain.show();
    QMenuBar* bar = QVRMainMenu::installMenuBar(&plain);
    ASSERT_TRUE(bar);
    EXPECT_TRUE(QTest::qWaitFor([&] { return bar->isVisible() && bar->width() == plain.width(); }, 2000));
    EXPECT_EQ(bar->geometry().topLeft(), QPoint(0, 0));
    EXPECT_EQ(QVRMainMenu::installMenuBar(&plain), bar) << "one bar a window";
    EXPECT_EQ(plain.findChildren<QMenuBar*>().size(), 1);

    // A window with a drawn title band, shown first, whose content has a stacked layout: the bar heads the
    // content, under the band, and the page starts below it.
    INAppStoreWindow chrome;
    chrome.setTitleBarHeight(40);
    auto* pages = new QStackedLayout(chrome.contentView());
    auto* page = new QWidget;
    pages->addWidget(page);
    chrome.resize(600, 400);
    chrome.show();
    QMenuBar* chromeBar = QVRMainMenu::installMenuBar(&chrome);
    ASSERT_TRUE(QTest::qWaitFor([&] { return chromeBar->isVisible() && chromeBar->height() > 0; }, 2000));
    EXPECT_EQ(chromeBar->parentWidget(), chrome.contentView());
    EXPECT_EQ(chromeBar->mapTo(&chrome, QPoint(0, 0)).y(), 40);
    EXPECT_TRUE(QTest::qWaitFor([&] { return page->geometry().top() == chromeBar->geometry().bottom() + 1; }, 2000));
    EXPECT_EQ(chromeBar->width(), chrome.width());

    // A main window: its own bar.
    QMainWindow main;
    QMenuBar* mainBar = QVRMainMenu::installMenuBar(&main);
    EXPECT_EQ(mainBar, main.menuBar());
    QVRMainMenu::resetForTesting();
}

TEST(MenuTable, DebugItemsOfTheFourthMenuAreRemovedFromEveryBar)
{
    QWidget first;
    QMenuBar* before = QVRMainMenu::createMenuBar(&first);
    ASSERT_NE(QVRMainMenu::action(before, QStringLiteral("setScreenAutoAdvanceSettings")), nullptr);
    QVRMainMenu::removeItemsWithTag(QVRMainMenu::ScreenMenu, QVRMainMenu::kDebugItemTag);
    QWidget second;
    QMenuBar* after = QVRMainMenu::createMenuBar(&second);
    for (QMenuBar* bar : {before, after}) {
        EXPECT_EQ(QVRMainMenu::action(bar, QStringLiteral("setScreenAutoAdvanceSettings")), nullptr);
        EXPECT_EQ(QVRMainMenu::action(bar, QStringLiteral("setFlowModelAutoAdvanceSettings")), nullptr);
        EXPECT_NE(QVRMainMenu::action(bar, QStringLiteral("deleteScreen")), nullptr);
    }
    QVRMainMenu::resetForTesting();
}

TEST(MenuTable, EveryRoutedItemIsInTheRoutingTableAndTitled)
{
    for (const QVRMainMenu::Entry& entry : QVRMainMenu::entries()) {
        if (entry.command.isEmpty() || entry.target != QVRMainMenu::Target::Routed)
            continue;
        EXPECT_NE(QVRWindowManagerManagedWindow::command(entry.command), nullptr) << entry.command.toStdString();
        EXPECT_FALSE(entry.title().isEmpty()) << entry.command.toStdString();
    }
    for (const QVRManagedWindowCommand& command : QVRWindowManagerManagedWindow::commands()) {
        const bool inMenu = std::any_of(QVRMainMenu::entries().begin(), QVRMainMenu::entries().end(),
                                        [&](const auto& entry) { return entry.command == command.action; });
        EXPECT_TRUE(inMenu) << command.action;
    }
}

TEST(ManagedWindowProtocol, MisspeltOrMistypedMethodsAreReported)
{
    MisspeltWindow window;
    EXPECT_EQ(QVRWindowManagerManagedWindow::unknownMethods(&window),
              (QStringList{QStringLiteral("canCutt()"), QStringLiteral("performCut()")}));
    FakeManagedWindow good;
    EXPECT_TRUE(QVRWindowManagerManagedWindow::unknownMethods(&good).isEmpty());
}

TEST(WindowManager, ClosingAllWindowsLeavesTheListsWindow)
{
    auto* lists = new QWidget;
    QVRWindowManager& manager = QVRWindowManager::sharedInstance();
    manager.addManagedWindow(lists);
    QVRWindowManager::setCreatorWindowFactory([] { return new QWidget; });
    QPointer<QWidget> creator = manager.makeCreatorWindow();
    ASSERT_TRUE(creator);
    EXPECT_EQ(manager.kindOfWindow(creator), QVRWindowManager::WindowKind::Creator);
    EXPECT_TRUE(manager.windows().contains(lists));
    manager.closeAllWindowsExceptMyFlows();
    EXPECT_TRUE(QTest::qWaitFor([&] { return creator.isNull(); }, 2000)); // made by the manager: deleted on close
    EXPECT_EQ(manager.windows(), QList<QWidget*>{lists});
    QVRWindowManager::setCreatorWindowFactory({});
    delete lists;
    EXPECT_TRUE(manager.windows().isEmpty());
}

// A document window opened from a window the manager does not keep (the first-launch tour over the home window)
// gives the keyboard back to that window when it closes, not to the managed window that had it earlier.
TEST(WindowManager, AClosedDocumentWindowGivesTheKeyboardBackToTheUnmanagedWindowItWasOpenedFrom)
{
    WindowKeyboardReturn::install();
    const auto showActive = [](QWidget* window) {
        window->show();
        window->activateWindow();
        return QTest::qWaitFor([&] { return QApplication::activeWindow() == window; }, 5000);
    };
    QVRWindowManager& manager = QVRWindowManager::sharedInstance();
    QWidget home;
    home.resize(300, 200);
    manager.addManagedWindow(&home);
    ASSERT_TRUE(showActive(&home));

    QWidget tour;
    auto* layout = new QVBoxLayout(&tour);
    auto* other = new QLineEdit(&tour);
    auto* field = new QLineEdit(&tour);
    layout->addWidget(other);
    layout->addWidget(field);
    ASSERT_TRUE(showActive(&tour));
    field->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return field->hasFocus(); }, 2000));

    QVRWindowManager::setCreatorWindowFactory([] { return new QWidget; });
    QPointer<QWidget> creator = manager.makeCreatorWindow();
    QVRWindowManager::setCreatorWindowFactory({});
    ASSERT_TRUE(creator);
    ASSERT_TRUE(showActive(creator));
    creator->close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == &tour; }, 2000))
        << "the keyboard went to " << (QApplication::activeWindow() ? "the home window" : "no window");
    // Whatever was to land has landed: the keyboard stays in the field that had it.
    QTest::qWait(WindowKeyboardReturn::kSettleMs * 2);
    EXPECT_EQ(QApplication::activeWindow(), &tour);
    EXPECT_EQ(QApplication::focusWidget(), field);
    tour.hide();
    home.hide();
}

// A document window that opens while a dialog of another window is being answered (an import ending behind a
// file chooser) stays behind it: the dialog keeps the keyboard, and what is typed next reaches it.
TEST(WindowManager, AWindowMadeWhileADialogOfAnotherIsAnsweredLeavesItTheKeyboard)
{
    QVRWindowManager& manager = QVRWindowManager::sharedInstance();
    QWidget home;
    home.resize(300, 200);
    home.show();
    QDialog dialog(&home);
    auto* field = new QLineEdit(&dialog);
    dialog.setWindowModality(Qt::WindowModal);
    dialog.open();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == &dialog; }, 5000));
    field->setFocus();

    QVRWindowManager::setCreatorWindowFactory([] { return new QWidget; });
    QPointer<QWidget> creator = manager.makeCreatorWindow();
    QVRWindowManager::setCreatorWindowFactory({});
    ASSERT_TRUE(creator);
    EXPECT_TRUE(creator->isVisible());
    QTest::qWait(300);
    EXPECT_EQ(QApplication::activeWindow(), &dialog);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("deck"));
    EXPECT_EQ(field->text(), QStringLiteral("deck"));

    // Without a dialog, the new window takes the keyboard.
    dialog.close();
    QVRWindowManager::setCreatorWindowFactory([] { return new QWidget; });
    QPointer<QWidget> second = manager.makeCreatorWindow();
    QVRWindowManager::setCreatorWindowFactory({});
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == second; }, 5000));
    delete creator;
    delete second;
    home.hide();
}

// A document whose compression manager reports a running re-encoding while `compressing` is set.
class FakeCompression : public InertVideoCompressionManager {
public:
    std::shared_ptr<ZERI_ContentAsset> running;
    std::shared_ptr<ZERI_ContentAsset> currentlyCompressingAsset() const override { return running; }
    int contentAssetCount() const override { return running ? 1 : 0; }
};

TEST(WindowManager, ClosingTheLastWindowOfADocumentWhoseVideoIsCompressedAsksFirst)
{
    RecordingAlertPresenter alerts;
    AlertPresenter::setShared(&alerts);
    // The global hook says "compressing" throughout: only the closing window's own document may decide.
    AppStartupHooks::shared().isCompressingVideo = [] { return true; };
    auto compressingB = std::make_shared<FakeCompression>();
    compressingB->running = ZERI_ContentAsset::create();
    const auto documentA = ZERI_TessarineModel::create();
    VideoCompressionManager::registerFactory([&](const auto&) { return compressingB; });
    const auto documentB = ZERI_TessarineModel::create();
    ASSERT_EQ(documentB->documentVideoCompressionManager(), compressingB);
    VideoCompressionManager::registerFactory(nullptr);
    ASSERT_FALSE(documentA->documentVideoCompressionManager()->currentlyCompressingAsset());

    QVRWindowManager& manager = QVRWindowManager::sharedInstance();
    QVRWindowManager::setCreatorWindowFactory([] { return new QWidget; });
    QPointer<QWidget> windowA = manager.makeCreatorWindow();
    QPointer<QWidget> firstB = manager.makeCreatorWindow();
    QPointer<QWidget> secondB = manager.makeCreatorWindow();
    ASSERT_TRUE(windowA && firstB && secondB);
    manager.setDocumentForWindow(windowA, documentA, documentA->qvdID());
    manager.setDocumentForWindow(firstB, documentB, documentB->qvdID());
    manager.setDocumentForWindow(secondB, documentB, documentB->qvdID());
    EXPECT_EQ(manager.creatorWindowForModel(documentB), firstB.data());

    EXPECT_TRUE(windowA->close()) << "B's video is no reason to keep A open";
    EXPECT_TRUE(firstB->close()) << "another window still shows the document";
    EXPECT_TRUE(alerts.requests.empty());

    alerts.queueButton(1); // Cancel
    EXPECT_FALSE(secondB->close());
    ASSERT_EQ(alerts.requests.size(), 1u);
    EXPECT_EQ(alerts.requests[0].messageText, UFM::CLOSE_COMPRESSION_WARNING_TEXT());
    alerts.queueButton(0); // Close
    EXPECT_TRUE(secondB->close());
    EXPECT_TRUE(QTest::qWaitFor([&] { return windowA.isNull() && firstB.isNull() && secondB.isNull(); }, 2000));

    QVRWindowManager::setCreatorWindowFactory({});
    AppStartupHooks::resetForTesting();
    AlertPresenter::setShared(nullptr);
}

TEST(WindowManager, ClosingTheLastCreatorWhileAViewerPlaysTheDocumentAsksBeforeTheRunStops)
{
    RecordingAlertPresenter alerts;
    AlertPresenter::setShared(&alerts);
    auto compressing = std::make_shared<FakeCompression>();
    compressing->running = ZERI_ContentAsset::create();
    VideoCompressionManager::registerFactory([&](const auto&) { return compressing; });
    const auto document = ZERI_TessarineModel::create();
    ASSERT_EQ(document->documentVideoCompressionManager(), compressing);
    VideoCompressionManager::registerFactory(nullptr);

    QVRWindowManager& manager = QVRWindowManager::sharedInstance();
    QVRWindowManager::setCreatorWindowFactory([] { return new QWidget; });
    QVRWindowManager::setViewerWindowFactory([](const auto&) { return new QWidget; });
    QPointer<QWidget> creator = manager.makeCreatorWindow();
    ASSERT_TRUE(creator);
    manager.setDocumentForWindow(creator, document, document->qvdID());
    QPointer<QWidget> viewer = manager.makeViewerWindowForModel(document);
    ASSERT_TRUE(viewer);
    manager.setDocumentForWindow(viewer, document, document->qvdID());
    creator->show();
    viewer->show();

    // The creator's close cancels the run although the viewer stays: the user is asked, and Cancel keeps it.
    alerts.queueButton(1);
    EXPECT_FALSE(creator->close());
    ASSERT_EQ(alerts.requests.size(), 1u);
    EXPECT_EQ(alerts.requests[0].messageText, UFM::CLOSE_COMPRESSION_WARNING_TEXT());
    EXPECT_TRUE(creator->isVisible());

    // The viewer's close stops nothing while the creator holds the document.
    EXPECT_TRUE(viewer->close());
    EXPECT_EQ(alerts.requests.size(), 1u);

    alerts.queueButton(0);
    EXPECT_TRUE(creator->close());
    EXPECT_EQ(alerts.requests.size(), 2u);
    EXPECT_TRUE(QTest::qWaitFor([&] { return creator.isNull() && viewer.isNull(); }, 2000));

    QVRWindowManager::setCreatorWindowFactory({});
    QVRWindowManager::setViewerWindowFactory({});
    AlertPresenter::setShared(nullptr);
}

} // namespace

#include "MenuRoutingTest.moc"
