#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "platform/widgets/WidgetAlertPresenter.h"
#include "platform/widgets/WidgetFileChooser.h"
#include "support/QtPrinters.h"

TEST(WidgetDialogs, AlertAnswersWithTheIndexOfTheClickedButtonAndTheFieldText)
{
    WidgetAlertPresenter presenter;
    AlertRequest request;
    request.messageText = "Type a thing";
    request.buttons = {"OK", "Cancel", "Other"};
    request.hasTextField = true;
    request.textFieldValue = "old note";

    std::optional<AlertResponse> answer;
    presenter.show(request, nullptr, [&](const AlertResponse& r) { answer = r; });
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), "Type a thing");
    EXPECT_EQ(box->defaultButton()->text(), "OK");
    auto* field = box->findChild<QPlainTextEdit*>();
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field->toPlainText(), "old note");
    field->setPlainText("new note");

    QPushButton* other = nullptr;
    for (QAbstractButton* button : box->buttons())
        if (button->text() == "Other")
            other = qobject_cast<QPushButton*>(button);
    ASSERT_NE(other, nullptr);
    other->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return answer.has_value(); }, 5000));
    EXPECT_EQ(answer->button, 2);
    EXPECT_EQ(answer->textFieldValue, "new note");

    // Escape answers through the "Cancel" button.
    answer.reset();
    presenter.show(request, nullptr, [&](const AlertResponse& r) { answer = r; });
    box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    QTest::keyClick(box, Qt::Key_Escape);
    ASSERT_TRUE(QTest::qWaitFor([&] { return answer.has_value(); }, 5000));
    EXPECT_EQ(answer->button, 1);
}

TEST(WidgetDialogs, AnAlertCanOfferItsDoNotShowAgainBox)
{
    WidgetAlertPresenter presenter;
    AlertRequest request;
    request.messageText = "Gone";
    for (const bool offered : {false, true}) {
        request.showsSuppressionButton = offered;
        std::optional<AlertResponse> answer;
        presenter.show(request, nullptr, [&](const AlertResponse& r) { answer = r; });
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        if (offered) {
            ASSERT_NE(box->checkBox(), nullptr);
            EXPECT_EQ(box->checkBox()->text(), "Do not show this message again");
            EXPECT_TRUE(box->checkBox()->isVisible());
        } else {
            EXPECT_EQ(box->checkBox(), nullptr);
        }
        box->defaultButton()->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return answer.has_value(); }, 5000));
    }
}

TEST(WidgetDialogs, FileDialogFollowsTheRequest)
{
    EXPECT_EQ(WidgetFileChooser::nameFilter({"pdf", ".MP3"}), "Files (*.pdf *.PDF *.mp3 *.MP3)");
    EXPECT_EQ(WidgetFileChooser::nameFilter({}), QString());

    FileChooserRequest save;
    save.mode = FileChooserRequest::Mode::Save;
    save.allowedExtensions = {"pdf"};
    save.proposedName = "My Talk";
    save.checkBoxTitle = "Include gallery images";
    save.checkBoxChecked = true;
    std::unique_ptr<QFileDialog> dialog(WidgetFileChooser::makeDialog(save, nullptr));
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(dialog->defaultSuffix(), "pdf");
    const FileChooserResponse cancelled = WidgetFileChooser::response(dialog.get(), QDialog::Rejected);
    EXPECT_FALSE(cancelled.accepted());
    EXPECT_TRUE(cancelled.checkBoxChecked);

    FileChooserRequest folder;
    folder.mode = FileChooserRequest::Mode::OpenFolder;
    dialog.reset(WidgetFileChooser::makeDialog(folder, nullptr));
    EXPECT_EQ(dialog->fileMode(), QFileDialog::Directory);
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptOpen);
}
