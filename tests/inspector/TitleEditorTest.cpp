#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "controls/MouseEventShieldWindow.h"
#include "inspector/panels/QVRTitleAndDescriptionEditorViewController.h"
#include "platform/AppPaths.h"
#include "platform/UndoManager.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "strings/UFM.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

std::shared_ptr<ZERI_TessarineModel> untitledDocument()
{
    auto document = ZERI_TessarineModel::create();
    document->setDontSave(true);
    return document;
}

} // namespace

TEST(TitleEditor, UntitledShowsTheUntitledTextAsHintAndValueAndAnEmptiedFieldStoresNoTitle)
{
    const auto document = untitledDocument();
    QVRTitleAndDescriptionEditorViewController editor;
    editor.setTessarineModel(document);
    EXPECT_EQ(editor.titleTextField()->text(), UFM::UNTITLED_TEXT());
    EXPECT_EQ(editor.titleTextField()->placeholderText(), UFM::UNTITLED_TEXT());
    editor.doneButtonPressed();
    EXPECT_EQ(document->firstFlowmodel()->title(), UFM::UNTITLED_TEXT());

    // Shown, the title is selected whole: what is typed replaces it.
    editor.show();
    QApplication::processEvents();
    QTest::keyClicks(editor.titleTextField(), QStringLiteral("Talk"));
    EXPECT_EQ(editor.titleTextField()->text(), QStringLiteral("Talk"));

    editor.titleTextField()->selectAll();
    QTest::keyClick(editor.titleTextField(), Qt::Key_Backspace);
    editor.doneButtonPressed();
    EXPECT_EQ(document->firstFlowmodel()->title(), QString());
}

TEST(TitleEditor, DoneStoresWhatWasTypedWithoutAnUndoStepAndClosesItsShield)
{
    const auto document = untitledDocument();
    document->firstFlowmodel()->setTitle(QStringLiteral("Old"));
    const int steps = document->firstFlowmodel()->undoManager().undoCount();
    ShieldCloseOnClickView closeView(nullptr);
    int closes = 0;
    closeView.setOnCloseBlock([&closes] { ++closes; });
    auto* editor = new QVRTitleAndDescriptionEditorViewController(&closeView);
    editor->setTessarineModel(document);
    EXPECT_EQ(editor->titleTextField()->text(), "Old");

    const QString longTitle(10000, QLatin1Char('t'));
    const QString description = QStringLiteral("Draft\tfor\x01 board\nsecond line");
    editor->titleTextField()->setText(longTitle);
    editor->descriptionTextField()->setPlainText(description);
    QTest::mouseClick(editor->doneButton(), Qt::LeftButton);
    EXPECT_EQ(document->firstFlowmodel()->title(), longTitle);
    EXPECT_EQ(document->description(), description);
    EXPECT_EQ(document->firstFlowmodel()->undoManager().undoCount(), steps);
    EXPECT_EQ(closes, 1);
}

TEST(TitleEditor, TheKeyboardAloneTabsToDoneAndReturnPressesIt)
{
    const auto document = untitledDocument();
    QVRTitleAndDescriptionEditorViewController editor;
    editor.setTessarineModel(document);
    editor.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&editor));
    editor.titleTextField()->setFocus(Qt::TabFocusReason);
    editor.titleTextField()->setText(QStringLiteral("Talk"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), editor.doneButton());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(document->firstFlowmodel()->title(), QStringLiteral("Talk"));
}

TEST(TitleEditor, ClosingWithoutDoneChangesNothing)
{
    const auto document = untitledDocument();
    document->firstFlowmodel()->setTitle(QStringLiteral("Kept"));
    {
        QVRTitleAndDescriptionEditorViewController editor;
        editor.setTessarineModel(document);
        editor.titleTextField()->setText(QStringLiteral("Thrown away"));
        editor.descriptionTextField()->setPlainText(QStringLiteral("Also thrown away"));
    }
    EXPECT_EQ(document->firstFlowmodel()->title(), "Kept");
    EXPECT_TRUE(document->description().isEmpty());
}

TEST(TitleEditor, DoneOnAPackagedDocumentSavesTheTitleAndTheMetadataDescription)
{
    QTemporaryDir support, temporary;
    AppPaths::setApplicationSupportForTesting(support.path());
    AppPaths::setTemporaryForTesting(temporary.path());
    ZERI_qvdFilePackage::resetForTesting();
    ZERI_qvdFilePackage::registerWithDocumentModel();
    {
        auto document = ZERI_TessarineModel::create();
        Error error;
        ASSERT_TRUE(ZERI_qvdFilePackage::saveModelToFile(document, &error)) << error.message.toStdString();
        const auto package = std::dynamic_pointer_cast<ZERI_qvdFilePackage>(document->filePackage());
        ASSERT_TRUE(package);
        QVRTitleAndDescriptionEditorViewController editor;
        editor.setTessarineModel(document);
        editor.titleTextField()->setText(QStringLiteral("Quarterly review"));
        editor.descriptionTextField()->setPlainText(QStringLiteral("Draft for board"));
        editor.doneButtonPressed();
        EXPECT_EQ(package->metaData().tessarineDescription(), "Draft for board");
        const auto contains = [](const QString& path, const char* text) {
            QFile file(path);
            return file.open(QIODevice::ReadOnly) && file.readAll().contains(text);
        };
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                return contains(package->draftFilePath(), "Quarterly review") &&
                       contains(package->metadataFilePath(), "Draft for board");
            },
            2000));

        QVRTitleAndDescriptionEditorViewController reopened;
        reopened.setTessarineModel(document);
        EXPECT_EQ(reopened.titleTextField()->text(), "Quarterly review");
        EXPECT_EQ(reopened.descriptionTextField()->toPlainText(), "Draft for board");
    }
    ZERI_qvdFilePackage::resetForTesting();
    AppPaths::setApplicationSupportForTesting(QString());
    AppPaths::setTemporaryForTesting(QString());
}
