#include <gtest/gtest.h>

#include <optional>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "platform/FileChooser.h"
#include "platform/UserDefaults.h"
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

// The field of an alert that asks for text has the keyboard when it shows: typed words (spaces too) go into it,
// never to the default button; Tab moves on to the buttons below it.
TEST(WidgetDialogs, AnAlertThatAsksForTextOpensWithTheKeyboardInItsField)
{
    WidgetAlertPresenter presenter;
    AlertRequest request;
    request.messageText = "Type a thing";
    request.hasTextField = true;
    request.showsSuppressionButton = true;
    std::optional<AlertResponse> answer;
    presenter.show(request, nullptr, [&](const AlertResponse& r) { answer = r; });
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    auto* field = box->findChild<QPlainTextEdit*>();
    ASSERT_NE(field, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == field; }, 5000))
        << "the field does not have the keyboard";
    for (const QChar c : QStringLiteral("Note one")) {
        QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
        QTest::qWait(10);
    }
    EXPECT_FALSE(answer.has_value()) << "a typed key closed the alert";
    EXPECT_EQ(field->toPlainText(), QStringLiteral("Note one"));
    // Above the buttons, and Tab reaches them.
    EXPECT_LT(field->geometry().bottom(), box->defaultButton()->mapTo(box, QPoint(0, 0)).y());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_NE(QApplication::focusWidget(), field);
    EXPECT_EQ(field->toPlainText(), QStringLiteral("Note one"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    ASSERT_TRUE(QTest::qWaitFor([&] { return answer.has_value(); }, 5000));
    EXPECT_EQ(answer->textFieldValue, QStringLiteral("Note one"));
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

TEST(WidgetDialogs, AnAlertWithAShortMessageLeavesItsTitleRoom)
{
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Tessarine"));
    WidgetAlertPresenter presenter;
    AlertRequest request;
    request.style = AlertRequest::Style::Warning;
    request.messageText = "Error";
    request.informativeText = "cannot write";
    std::optional<AlertResponse> answer;
    presenter.show(request, nullptr, [&](const AlertResponse& r) { answer = r; });
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowTitle(), QStringLiteral("Tessarine"));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(box));
    EXPECT_GE(box->width(), WidgetAlertPresenter::leastWidthForTitle(box));
    box->defaultButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return answer.has_value(); }, 5000));
    QGuiApplication::setApplicationDisplayName(QString());
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

// Wherever the process was started from, a chooser opens in a folder of the user's: the one asked for while it is
// there, else the user's folder for the kind of file, else home. The folder a chooser of one kind ended in is
// kept for the next one while it is there.
TEST(WidgetDialogs, AFileDialogStartsInTheUsersFoldersNeverTheWorkingDirectory)
{
    QTemporaryDir elsewhere;
    QTemporaryDir chosen;
    ASSERT_TRUE(elsewhere.isValid() && chosen.isValid());
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(elsewhere.path()));
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    ASSERT_TRUE(QDir().mkpath(pictures));
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    QDir(music).removeRecursively();
    const auto shownFolder = [](const FileChooserRequest& request) {
        std::unique_ptr<QFileDialog> dialog(WidgetFileChooser::makeDialog(request, nullptr));
        return QDir(dialog->directory()).canonicalPath();
    };

    FileChooserRequest images;
    images.mode = FileChooserRequest::Mode::OpenFiles;
    images.place = FileChooserRequest::Place::Pictures;
    EXPECT_EQ(shownFolder(images), QDir(pictures).canonicalPath());
    images.directory = chosen.filePath(QStringLiteral("gone"));
    EXPECT_EQ(shownFolder(images), QDir(pictures).canonicalPath()) << "a folder no longer there";
    images.directory = chosen.path();
    EXPECT_EQ(shownFolder(images), QDir(chosen.path()).canonicalPath());

    FileChooserRequest sounds;
    sounds.place = FileChooserRequest::Place::Music;
    EXPECT_EQ(shownFolder(sounds), QDir::home().canonicalPath()) << "the user has no music folder";
    FileChooserRequest save;
    save.mode = FileChooserRequest::Mode::Save;
    save.proposedName = QStringLiteral("My Talk.pdf");
    EXPECT_EQ(shownFolder(save), QDir::home().canonicalPath());

    const QString key = QStringLiteral("testLastChosenFolder");
    FileChooser::rememberFolder(key, {{chosen.filePath(QStringLiteral("deck.pptx"))}, false});
    EXPECT_EQ(FileChooser::rememberedFolder(key), chosen.path());
    FileChooser::rememberFolder(key, {});
    EXPECT_EQ(FileChooser::rememberedFolder(key), chosen.path()) << "a cancelled chooser forgot the folder";
    const QString removed = chosen.path();
    chosen.remove();
    EXPECT_EQ(FileChooser::rememberedFolder(key), QString()) << "a folder no longer there: " << removed.toStdString();
    UserDefaults::standard().remove(key);
    QDir::setCurrent(before);
}

// A click on the window a chooser or an alert blocks activates that window (some window managers do not hand the
// focus on): the dialog takes the keyboard back, so that a file name typed next reaches it.
TEST(WidgetDialogs, ADialogKeepsTheKeyboardWhenTheWindowItBlocksIsActivated)
{
    QWidget window;
    window.resize(400, 300);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    WidgetFileChooser chooser;
    WidgetAlertPresenter alerts;
    for (const bool alert : {false, true}) {
        SCOPED_TRACE(alert ? "alert" : "chooser");
        FileChooserRequest request;
        request.mode = FileChooserRequest::Mode::OpenFile;
        bool answered = false;
        if (alert)
            alerts.show(AlertRequest{}, &window, [&](const AlertResponse&) { answered = true; });
        else
            chooser.show(request, &window, [&](const FileChooserResponse&) { answered = true; });
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));

        window.activateWindow();
        QTest::qWait(300);
        EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == dialog; }, 2000));
        dialog->close();
        EXPECT_TRUE(QTest::qWaitFor([&] { return answered; }, 2000));
    }
}
