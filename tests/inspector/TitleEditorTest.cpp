#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "controls/MouseEventShieldWindow.h"
#include "inspector/panels/QVRTitleAndDescriptionEditorViewController.h"
#include "platform/UndoManager.h"
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

TEST(TitleEditor, UntitledShowsAPlaceholderOnlyAndDoneKeepsTheTitleEmpty)
{
    const auto document = untitledDocument();
    QVRTitleAndDescriptionEditorViewController editor;
    editor.setTessarineModel(document);
    EXPECT_TRUE(editor.titleTextField()->text().isEmpty());
    EXPECT_EQ(editor.titleTextField()->placeholderText(), UFM::UNTITLED_TEXT());
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
