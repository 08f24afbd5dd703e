#include <QApplication>
#include <QComboBox>
#include <QJsonArray>
#include <QJsonObject>
#include <QLocale>
#include <QPointer>
#include <QTemporaryDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "app/QVRActionLog.h"
#include "app/QVRWindowManager.h"
#include "controls/ControlsArtwork.h"
#include "creator/CreatorLibrary.h"
#include "creator/window/CreatorInspectorInterfaces.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "inspector/InspectorLibrary.h"
#include "inspector/panels/QVRDebugSlideDurationViewController.h"
#include "inspector/panels/QVR_ScreenPropertiesMenuViewController.h"
#include "platform/UserDefaults.h"
#include "platform/UndoManager.h"
#include "support/UserInput.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

struct Flow {
    explicit Flow(int screens)
    {
        document->setDontSave(true);
        for (int i = 0; i < screens; ++i) {
            auto s = ZERI_FlowScreenModel::create();
            s->setInternalID(QStringLiteral("S%1").arg(i));
            flow()->addFlowScreen(s);
        }
        flow()->undoManager().removeAllActions();
    }
    std::shared_ptr<ZERI_FlowModel> flow() const { return document->firstFlowmodel(); }
    std::shared_ptr<ZERI_FlowScreenModel> screen(int i) const { return flow()->screenModels()[size_t(i)]; }
    std::shared_ptr<ZERI_TessarineModel> document = ZERI_TessarineModel::create();
};

void enter(QLineEdit* field, const QString& text)
{
    field->selectAll();
    UserInput::typeText(field, text);
    QTest::keyClick(field, Qt::Key_Return);
}

} // namespace

TEST(ScreenProperties, EditsOfTheFlowAndItsScreensAreOneNamedUndoStep)
{
    Flow f(4);
    std::vector<int> pages;
    QVR_ScreenPropertiesMenuViewController sheet;
    sheet.setPageChangedBlock([&pages](int page) { pages.push_back(page); });
    sheet.setFlowModel(f.flow());
    sheet.setScreenNumber(1);
    EXPECT_EQ(sheet.currentPageField()->text(), "2/4");
    EXPECT_FALSE(sheet.overrideToggle()->isEnabled());

    sheet.autoplayToggle()->click();
    EXPECT_EQ(f.flow()->autoAdvanceSlideDuration(), 30.0);
    enter(sheet.globalDurationField(), QStringLiteral("12.34"));
    EXPECT_DOUBLE_EQ(*f.flow()->autoAdvanceSlideDuration(), double(12.34f));
    EXPECT_EQ(sheet.globalDurationField()->text(), "12.3");

    sheet.overrideToggle()->click();
    EXPECT_EQ(f.screen(1)->autoAdvanceSlideDuration(), 30.0);
    EXPECT_TRUE(sheet.screenDurationField()->isEnabled());
    EXPECT_TRUE(sheet.screenTransitionPopUp()->isEnabled());
    sheet.screenTransitionPopUp()->setCurrentIndex(1);
    emit sheet.screenTransitionPopUp()->activated(1);
    EXPECT_EQ(f.screen(1)->autoAdvanceTransitionType(), 2);

    sheet.nextPageButton()->click();
    EXPECT_EQ(sheet.currentPageField()->text(), "3/4");
    EXPECT_EQ(pages, std::vector<int>{2});
    sheet.presenterNotesView()->setPlainText(QStringLiteral("Say hello"));
    EXPECT_EQ(f.screen(2)->presenterNotes(), "Say hello");

    EXPECT_EQ(f.flow()->undoManager().undoCount(), 0);
    sheet.doneButtonPressed();
    ASSERT_EQ(f.flow()->undoManager().undoCount(), 1);
    EXPECT_EQ(f.flow()->undoManager().undoActionName(), "Screen Properties Change");
    f.flow()->undoManager().undo();
    EXPECT_FALSE(f.flow()->autoAdvanceSlideDuration().has_value());
    EXPECT_FALSE(f.screen(1)->autoAdvanceSlideDuration().has_value());
    EXPECT_TRUE(f.screen(2)->presenterNotes().isEmpty());
}

TEST(ScreenProperties, WithoutAutoplayEachScreenShownLosesItsOverride)
{
    Flow f(4);
    f.screen(1)->setAutoAdvanceSlideDuration(5.0);
    f.screen(2)->setAutoAdvanceSlideDuration(7.0);
    f.screen(3)->setAutoAdvanceSlideDuration(9.0);
    QVR_ScreenPropertiesMenuViewController sheet;
    sheet.setFlowModel(f.flow());
    sheet.setScreenNumber(0);
    sheet.autoplayToggle()->click();
    sheet.loopToggle()->click();
    EXPECT_TRUE(f.flow()->autoAdvanceLoops());
    sheet.nextPageButton()->click();
    EXPECT_EQ(sheet.screenDurationField()->text(), "5.0");

    // Switched off on screen 2: its override goes; screens 3 and 4 keep theirs until they are shown.
    sheet.autoplayToggle()->click();
    EXPECT_FALSE(f.flow()->autoAdvanceSlideDuration().has_value());
    EXPECT_FALSE(f.flow()->autoAdvanceLoops());
    EXPECT_FALSE(f.screen(1)->autoAdvanceSlideDuration().has_value());
    EXPECT_EQ(f.screen(2)->autoAdvanceSlideDuration(), 7.0);
    sheet.nextPageButton()->click();
    EXPECT_EQ(sheet.screenDurationField()->text(), "0");
    EXPECT_FALSE(f.screen(2)->autoAdvanceSlideDuration().has_value());
    EXPECT_EQ(f.screen(3)->autoAdvanceSlideDuration(), 9.0);

    // Autoplay back on brings no paged-through override back.
    sheet.autoplayToggle()->click();
    EXPECT_EQ(sheet.screenDurationField()->text(), "0");
    EXPECT_FALSE(sheet.overrideToggle()->isChecked());
    sheet.previousPageButton()->click();
    EXPECT_FALSE(f.screen(1)->autoAdvanceSlideDuration().has_value());
    sheet.autoplayToggle()->click();

    // 0 or less clears a duration; text that is no number changes nothing.
    sheet.autoplayToggle()->click();
    enter(sheet.globalDurationField(), QStringLiteral("abc"));
    EXPECT_EQ(f.flow()->autoAdvanceSlideDuration(), 30.0);
    enter(sheet.globalDurationField(), QStringLiteral("-3"));
    EXPECT_FALSE(f.flow()->autoAdvanceSlideDuration().has_value());
    sheet.doneButtonPressed();
}

TEST(ScreenProperties, BadPagesAndUnknownTransitionsChangeNothing)
{
    Flow empty(0);
    {
        QVR_ScreenPropertiesMenuViewController sheet;
        sheet.setFlowModel(empty.flow());
        sheet.setScreenNumber(-1);
        sheet.autoplayToggle()->setChecked(false);
        sheet.nextPageButton()->click();
        EXPECT_EQ(sheet.screenNumber(), -1);
        sheet.doneButtonPressed();
    }
    EXPECT_EQ(empty.flow()->undoManager().undoCount(), 0);

    Flow f(3);
    f.flow()->setAutoAdvanceTransitionType(2);
    QVR_ScreenPropertiesMenuViewController sheet;
    sheet.setFlowModel(f.flow());
    sheet.setScreenNumber(0);
    EXPECT_EQ(sheet.globalTransitionPopUp()->currentIndex(), 1);
    f.flow()->setAutoAdvanceTransitionType(1);
    sheet.updateViews();
    EXPECT_EQ(sheet.globalTransitionPopUp()->currentIndex(), 1);
    sheet.previousPageButton()->click();
    EXPECT_EQ(sheet.screenNumber(), 0);
    enter(sheet.currentPageField(), QStringLiteral("9"));
    EXPECT_EQ(sheet.screenNumber(), 0);
    EXPECT_EQ(sheet.currentPageField()->text(), "1/3");
    enter(sheet.currentPageField(), QStringLiteral("3"));
    EXPECT_EQ(sheet.screenNumber(), 2);
    sheet.doneButtonPressed();
}

TEST(ScreenProperties, TheSheetsEscapeTakesTheDonePath)
{
    Flow f(2);
    QWidget window;
    auto* dialog = ScreenPropertiesSheet::openOn(&window, f.flow(), 0);
    dialog->controller()->autoplayToggle()->click();
    EXPECT_NE(f.flow()->currentUndoableAction(), nullptr);
    EXPECT_TRUE(ScreenPropertiesSheet::isShownOn(&window));
    QTest::keyClick(dialog, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(f.flow()->autoAdvanceSlideDuration(), 30.0);
    EXPECT_EQ(f.flow()->undoManager().undoCount(), 0);
    QTest::keyClick(dialog, Qt::Key_Escape);
    EXPECT_FALSE(ScreenPropertiesSheet::isShownOn(&window));
    EXPECT_EQ(f.flow()->currentUndoableAction(), nullptr);
    EXPECT_EQ(f.flow()->undoManager().undoCount(), 1);
    EXPECT_EQ(f.flow()->autoAdvanceSlideDuration(), 30.0);
}

TEST(ScreenProperties, ReturnInTheSheetCommitsTheDurationAndFlipsNoToggle)
{
    // A decimal-comma locale: the user types "12,5" and means twelve and a half seconds.
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German));
    Flow f(2);
    QWidget window;
    window.resize(800, 600);
    window.show();
    auto* dialog = ScreenPropertiesSheet::openOn(&window, f.flow(), 0);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
    auto* sheet = dialog->controller();
    QTest::mouseClick(sheet->autoplayToggle(), Qt::LeftButton);
    ASSERT_EQ(f.flow()->autoAdvanceSlideDuration(), 30.0);
    ASSERT_TRUE(sheet->autoplayToggle()->isChecked());

    QLineEdit* duration = sheet->globalDurationField();
    QTest::mouseClick(duration, Qt::LeftButton);
    QTest::keyClick(duration, Qt::Key_A, Qt::ControlModifier);
    UserInput::typeText(duration, QStringLiteral("12,5"));
    QTest::keyClick(duration, Qt::Key_Return);
    EXPECT_TRUE(sheet->autoplayToggle()->isChecked());
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(f.flow()->autoAdvanceSlideDuration(), 12.5);
    EXPECT_EQ(duration->text(), QStringLiteral("12,5"));
    // A second Return, with the field unchanged, still leaves auto-advance on.
    QTest::keyClick(duration, Qt::Key_Return);
    EXPECT_EQ(f.flow()->autoAdvanceSlideDuration(), 12.5);
    // Tab in the presenter notes walks on to Done instead of typing into the notes.
    sheet->presenterNotesView()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(sheet->presenterNotesView(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), sheet->doneButton());
    EXPECT_EQ(f.flow()->screenModels()[0]->presenterNotes(), QString());
    sheet->doneButtonPressed();
    QLocale::setDefault(previous);
}

TEST(ScreenProperties, LeadingDurationsParseLikeTheFieldsAlwaysHave)
{
    EXPECT_EQ(screenPropertiesLeadingDuration(QStringLiteral(" 2.5s")), 2.5);
    EXPECT_EQ(screenPropertiesLeadingDuration(QStringLiteral(".5")), 0.5);
    EXPECT_EQ(screenPropertiesLeadingDuration(QStringLiteral("-3")), -3.0);
    EXPECT_FALSE(screenPropertiesLeadingDuration(QStringLiteral("abc")).has_value());
    EXPECT_FALSE(screenPropertiesLeadingDuration(QStringLiteral("")).has_value());
}

TEST(ScreenProperties, TheCreatorWindowsCommandOpensTheSheetAndPagingFollowsInTheWindow)
{
    QTemporaryDir settings;
    UserDefaults::setStoreFileForTesting(settings.filePath(QStringLiteral("defaults.conf")));
    ControlsArtwork::registerNamedImages();
    registerCreatorLibrary();
    registerInspectorLibrary();
    Flow f(4);
    QPointer<QVR_CreatorWindow> window =
        qobject_cast<QVR_CreatorWindow*>(QVRWindowManager::sharedInstance().makeCreatorWindow());
    ASSERT_TRUE(window);
    window->launchTessarineWithTessarineModel(f.document);
    window->show();
    QApplication::processEvents();
    window->setCurrentIndex(1);
    window->performShowScreenProperties(0);
    auto* sheet = window->findChild<ScreenPropertiesSheet*>();
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->controller()->currentPageField()->text(), "2/4");
    sheet->controller()->nextPageButton()->click();
    EXPECT_EQ(window->currentIndex(), 2);
    sheet->reject();
    EXPECT_EQ(f.flow()->currentUndoableAction(), nullptr);
    delete window.data();
    UserDefaults::setStoreFileForTesting(QString());
}

TEST(DebugSlideDuration, ShowsShortNumbersAndReadsNothingButPositiveDurations)
{
    QVRDebugSlideDurationViewController editor;
    editor.setSlideDuration(2.5);
    EXPECT_EQ(editor.slideDurationField()->text(), "2.5");
    EXPECT_EQ(editor.slideDuration(), 2.5);
    for (const QString& text : {QStringLiteral("0"), QStringLiteral("-1"), QStringLiteral("abc"), QString()}) {
        editor.slideDurationField()->setText(text);
        EXPECT_FALSE(editor.slideDuration().has_value()) << text.toStdString();
    }
    editor.clearSlideDuration();
    EXPECT_TRUE(editor.slideDurationField()->text().isEmpty());
    editor.setSlideTransitionType(2);
    EXPECT_EQ(editor.slideTransitionType(), 2);
    editor.setSlideTransitionType(3);
    EXPECT_EQ(editor.slideTransitionType(), 3);
    editor.setSlideTransitionType(1);
    EXPECT_EQ(editor.slideTransitionType(), 0);
    int done = 0;
    editor.setDoneButtonPressed([&done] { ++done; });
    editor.doneButtonPressed();
    EXPECT_EQ(done, 1);
}

TEST(ScreenProperties, RegisteredForTheCreatorWindowsUndoAndDurationCommands)
{
    registerInspectorLibrary();
    const auto& factories = CreatorInspectorFactories::shared();
    ASSERT_TRUE(factories.screenPropertiesSheetShown);
    ASSERT_TRUE(factories.slideDurationEditor);

    // While the sheet shows on a window, that window's undo and redo wait.
    Flow f(3);
    QWidget window;
    window.show();
    EXPECT_FALSE(factories.screenPropertiesSheetShown(&window));
    auto* sheet = ScreenPropertiesSheet::openOn(&window, f.flow(), 0);
    EXPECT_TRUE(factories.screenPropertiesSheetShown(&window));
    sheet->reject();
    EXPECT_FALSE(factories.screenPropertiesSheetShown(&window));

    // The duration editor runs modally; its Done button ends it with what it holds.
    QString shown;
    QTimer::singleShot(0, [&shown] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            auto* editor = top->isVisible() ? top->findChild<QVRDebugSlideDurationViewController*>() : nullptr;
            if (editor) {
                shown = editor->slideDurationField()->text();
                editor->slideDurationField()->setText("12");
                editor->slideTransitionStyleButton()->setCurrentIndex(QVRDebugSlideDurationViewController::FadeItem);
                editor->doneButtonPressed();
                return;
            }
        }
    });
    const auto chosen = factories.slideDurationEditor(&window, {4.0, 3});
    EXPECT_EQ(shown, "4");
    EXPECT_EQ(chosen.seconds, 12.0);
    EXPECT_EQ(chosen.transitionType, 2);
    EXPECT_FALSE(window.findChild<QVRDebugSlideDurationViewController*>()) << "the editor's dialog is gone";
}
