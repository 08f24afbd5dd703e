#include <gtest/gtest.h>

#include <functional>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include "app/QVRAppDelegate.h"
#include "creator/addition/QVR_AddElementMenuViewController.h"
#include "creator/toolbar/QVR_CreatorToolBarView.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "elements/gallery/QVRGalleryEditorViewController.h"
#include "elements/views/QVRCompressionSelectionViewController.h"
#include "foundation/Tessutils.h"
#include "library/account/QVRRegisterWallWindowController.h"
#include "platform/widgets/WidgetAlertPresenter.h"
#include "strings/UFM.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "roads/RoadsSignedInService.h"
#include "roads/RoadsTestSupport.h"
#include "support/UserInput.h"
#include "support/fakeservice/FakeWebService.h"

using namespace roads;

namespace {

using Page = QVRRegisterWallWindowController::Page;

// Nobody signed in: a user left signed in by an earlier road signs out from the menu (nothing to save).
bool signedOut(QWidget* lists)
{
    if (Tessutils::corvikAuthToken().isEmpty())
        return true;
    return chooseMenuItem(lists, QStringLiteral("signIn")) &&
           waitFor([] { return Tessutils::corvikAuthToken().isEmpty(); });
}

// The alert shown in front once it comes, with its texts; nullptr when none came.
QMessageBox* shownAlert()
{
    QMessageBox* alert = nullptr;
    waitFor([&] { return (alert = visibleTopLevel<QMessageBox>()) != nullptr; }, 30000);
    return alert;
}

// Whether `text` is in the alert as one of its lines, as the user reads it.
bool alertReads(QMessageBox* alert, const QString& text)
{
    for (QLabel* label : alert->findChildren<QLabel*>())
        if (label->isVisible() && label->text().contains(text))
            return true;
    return false;
}

} // namespace

// The application menu's Sign In opens the wall on its sign-in form: the fields show at once, and the page that
// offers an account and the social network lies one step back.
TEST(ViewerLibraryNotices, SignInFromTheMenuOpensTheSignInForm)
{
    FakeWebService* service = startedService([](FakeWebService&) {});
    ASSERT_TRUE(service);
    service->addUser(QStringLiteral("carol"), QStringLiteral("pw3"));
    service->withState([](FakeWebService::State& state) {
        state.users[QStringLiteral("carol")].email = QStringLiteral("carol@x.example");
    });
    ASSERT_TRUE(leaveFirstLaunchTour());
    QWidget* lists = application().listsWindow();
    ASSERT_TRUE(lists);
    ASSERT_TRUE(waitFor([&] { return lists->isVisible(); }));
    ASSERT_TRUE(signedOut(lists));

    QPointer<QVRRegisterWallWindowController> wall;
    bool looked = false;
    bool submitted = false;
    Page firstPage = Page::Landing;
    QList<Page> stack;
    QColor fieldShown;
    QElapsedTimer shown;
    {
        // Answers the wall only while it is asked for: the sign-out at the end may bring dialogs of its own.
        Answerer answer([&] {
            if (!wall)
                wall = visibleTopLevel<QVRRegisterWallWindowController>();
            if (!wall || !wall->isVisible() || submitted)
                return;
            if (!looked) {
                looked = true;
                firstPage = wall->currentPage();
                stack = wall->pageStack();
                shown.start();
            }
            // The page fades in over half a second.
            if (wall->currentPage() != Page::Login || !wall->loginEmailField()->isVisible() || shown.elapsed() < 800)
                return;
            QLineEdit* email = wall->loginEmailField();
            const QImage shot = wall->grab().toImage();
            fieldShown = shot.pixelColor(email->mapTo(wall, QPoint(email->width() - 6, email->height() / 2)));
            submitted = true;
            email->setFocus();
            UserInput::typeText(email, QStringLiteral("carol@x.example"));
            wall->loginPasswordField()->setFocus();
            UserInput::typeText(wall->loginPasswordField(), QStringLiteral("pw3"));
            click(wall->loginSubmitButton());
        });
        ASSERT_TRUE(chooseMenuItem(lists, QStringLiteral("signIn")));
    }
    ASSERT_TRUE(looked);
    EXPECT_EQ(firstPage, Page::Login) << "the wall opened on another page";
    EXPECT_EQ(stack, QList<Page>({Page::Landing, Page::Login}));
    EXPECT_TRUE(submitted);
    EXPECT_GT(fieldShown.lightness(), 220) << "the e-mail field shows on the wall";
    EXPECT_TRUE(waitFor([] { return Tessutils::corvikAuthToken() == QLatin1String("TOKEN-carol"); }));
    EXPECT_TRUE(signedOut(lists));
}

// Export PDF to a place that cannot take the file: the alert names the file (and where it was to go), and the
// alert is wide enough for its window title.
TEST(ViewerLibraryNotices, AFailedExportPdfNamesItsFileUnderAWholeTitle)
{
    ASSERT_TRUE(startedService([](FakeWebService&) {}));
    // A "folder" that is a plain file: nothing can be written in it.
    QTemporaryDir outputs;
    QFile plain(outputs.filePath(QStringLiteral("plain")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    QVR_CreatorWindow* window = createDocumentFromPlusTile();
    ASSERT_TRUE(window);
    ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("exportToPDF")));
    ASSERT_TRUE(answerFileDialog(outputs.filePath(QStringLiteral("plain/Road export.pdf"))));
    QMessageBox* alert = shownAlert();
    ASSERT_TRUE(alert);
    EXPECT_TRUE(alertReads(alert, UFM::PDF_EXPORT_FAILED_TEXT().arg(QStringLiteral("Road export.pdf"))))
        << alert->text().toStdString();
    EXPECT_TRUE(alertReads(alert, outputs.filePath(QStringLiteral("plain"))));
    EXPECT_FALSE(alertReads(alert, QStringLiteral("cannot write")));
    EXPECT_FALSE(alert->windowTitle().isEmpty());
    EXPECT_GE(alert->width(), WidgetAlertPresenter::leastWidthForTitle(alert));
    click(alert->defaultButton());
    EXPECT_TRUE(waitFor([] { return !visibleTopLevel<QMessageBox>(); }));
    closeDocumentWindows();
}

// A movie file of sound only, inserted as a video: the alert says the file holds no picture, not that it is
// damaged, and nothing is added.
TEST(ViewerLibraryNotices, ASoundOnlyMovieInsertedAsAVideoIsSaidToHoldNoPicture)
{
    if (QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty())
        GTEST_SKIP() << "ffmpeg is needed to make the test file";
    ASSERT_TRUE(startedService([](FakeWebService&) {}));
    QTemporaryDir inputs;
    const QString tone = inputs.filePath(QStringLiteral("tone.mp4"));
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), {"-v", "error", "-y", "-f", "lavfi", "-i",
                                            "sine=frequency=440:sample_rate=44100:duration=1", "-c:a", "aac", tone});
    ASSERT_TRUE(ffmpeg.waitForFinished(60000) && ffmpeg.exitCode() == 0);

    QVR_CreatorWindow* window = createDocumentFromPlusTile();
    ASSERT_TRUE(window);
    ASSERT_TRUE(insert(window, &QVR_AddElementMenuViewController::videoCell));
    ASSERT_TRUE(answerFileDialog(tone));
    // Refused before a re-encoding size is asked for it: no size chooser comes first.
    QMessageBox* alert = shownAlert();
    ASSERT_TRUE(alert);
    EXPECT_FALSE(openedMenu<QVRCompressionSelectionViewController>());
    EXPECT_TRUE(alertReads(alert, UFM::CONTENT_NOT_ADDED_NO_PICTURE())) << alert->informativeText().toStdString();
    EXPECT_FALSE(alertReads(alert, UFM::CONTENT_NOT_ADDED_UNREADABLE()));
    EXPECT_TRUE(alertReads(alert, QStringLiteral("tone.mp4")));
    click(alert->defaultButton());
    EXPECT_TRUE(waitFor([] { return !visibleTopLevel<QMessageBox>(); }));
    EXPECT_EQ(countObjects(shownScreen(window), ZERI_MixedMediaObject::Video), 0);
    closeDocumentWindows();
}

// Each window is titled after what it holds: the home window after the page it shows, the sign-in wall after the
// form it asks to fill in, the gallery editor after the gallery.
TEST(ViewerLibraryNotices, WindowsAreTitledAfterWhatTheyHold)
{
    ASSERT_TRUE(startedService([](FakeWebService&) {}));
    ASSERT_TRUE(leaveFirstLaunchTour());
    QWidget* lists = application().listsWindow();
    ASSERT_TRUE(lists);
    ASSERT_TRUE(signedOut(lists));
    const auto tab = [&](const QString& text) -> QToolButton* {
        for (QToolButton* button : lists->findChildren<QToolButton*>())
            if (button->text() == text)
                return button;
        return nullptr;
    };
    ASSERT_TRUE(tab(UFM::CATALOG_TEXT()));
    click(tab(UFM::CATALOG_TEXT()));
    EXPECT_TRUE(waitFor([&] { return lists->windowTitle() == UFM::CATALOG_TEXT(); }, 5000))
        << lists->windowTitle().toStdString();
    click(tab(UFM::MY_TESSARINES_TEXT()));
    EXPECT_TRUE(waitFor([&] { return lists->windowTitle() == UFM::MY_TESSARINES_TEXT(); }, 5000));

    // Library, signed out: the wall, on its landing page, then its sign-up form.
    QStringList wallTitles;
    Answerer answer([&] {
        auto* wall = visibleTopLevel<QVRRegisterWallWindowController>();
        if (!wall)
            return;
        if (wallTitles.isEmpty()) {
            wallTitles << wall->windowTitle();
            wall->switchToVC(Page::Signup);
            wallTitles << wall->windowTitle();
            wall->reject();
        }
    });
    click(tab(UFM::LIBRARY_TEXT()));
    ASSERT_TRUE(waitFor([&] { return wallTitles.size() == 2 && !visibleTopLevel<QVRRegisterWallWindowController>(); }));
    EXPECT_EQ(wallTitles, QStringList({UFM::SIGN_IN_TEXT(), UFM::SIGNUP_TEXT()}));

    QVR_CreatorWindow* window = createDocumentFromPlusTile();
    ASSERT_TRUE(window);
    ASSERT_TRUE(insert(window, &QVR_AddElementMenuViewController::galleryCell));
    QPointer<QWidget> editorWindow;
    ASSERT_TRUE(waitFor([&] {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top->isVisible() && qobject_cast<QDialog*>(top) && top->findChild<QVRGalleryEditorViewController*>())
                editorWindow = top;
        return editorWindow != nullptr;
    }));
    EXPECT_EQ(editorWindow->windowTitle(), UFM::SAYS_EDIT_GALLERY());
    auto* editor = editorWindow->findChild<QVRGalleryEditorViewController*>();
    click(editor->cancelButton());
    EXPECT_TRUE(waitFor([&] { return !editorWindow || !editorWindow->isVisible(); }));
    closeDocumentWindows();
}
