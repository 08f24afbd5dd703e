#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTextEdit>

#include "PresenterNotesTestSupport.h"
#include "controls/ViewControllerWindowController.h"
#include "viewer/QVRPresentationNotesView.h"

using namespace notestest;

namespace {

using Notes = QVRPresentationNotesViewController;

const QRect kFirstDisplay(0, 0, 1920, 1080);
const QRect kLastDisplay(1920, 0, 1280, 800);

std::string text(const QRect& r)
{
    return QStringLiteral("(%1, %2, %3 x %4)").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height()).toStdString();
}

class PresenterNotesTwoScreens : public PresenterNotesTest {};

bool becomes(QWidget* window, const QRect& geometry)
{
    return QTest::qWaitFor([&] { return window->geometry() == geometry; }, 2000);
}

TEST_F(PresenterNotesTwoScreens, WithTwoDisplaysNotesFillOneAndThePresentationTheOther)
{
    ASSERT_EQ(QGuiApplication::screens().size(), 2) << "runs with the two-display offscreen configuration";
    QVRViewerWindow* window = open(makeDocument());
    ASSERT_NE(window, nullptr);
    QVRViewerViewController* c = controller(window);
    const QRect former = window->geometry();

    c->showPresentationNotesIfAble();
    Notes* notes = c->presentationNotesViewController();
    ASSERT_NE(notes, nullptr);
    QWidget* notesView = notes->view();
    EXPECT_TRUE(c->isInPresenterFullScreen());
    EXPECT_TRUE(window->isFullScreen());
    EXPECT_TRUE(becomes(window, kLastDisplay)) << text(window->geometry());
    EXPECT_TRUE(notesView->isWindow());
    EXPECT_TRUE(notesView->isFullScreen());
    EXPECT_TRUE(becomes(notesView, kFirstDisplay)) << text(notesView->geometry());
    EXPECT_TRUE(notes->notesView()->swapDisplaysButton()->isVisible());
    EXPECT_EQ(env.events(QVRViewerViewController::kPresenterNotesShownOnSecondMonitorEvent).size(), 1);
    EXPECT_EQ(notes->notesTextView()->toPlainText(), QStringLiteral("Notes 1"));
    EXPECT_TRUE(near(pictureColour(notes->currentPreview()), kScreenColours[0]));

    // Swap exchanges the displays; asking again changes nothing.
    QTest::mouseClick(notes->notesView()->swapDisplaysButton(), Qt::LeftButton);
    EXPECT_TRUE(becomes(window, kFirstDisplay)) << text(window->geometry());
    EXPECT_TRUE(becomes(notesView, kLastDisplay)) << text(notesView->geometry());
    c->showPresentationNotesIfAble();
    EXPECT_EQ(c->presentationNotesViewController(), notes);
    EXPECT_TRUE(becomes(window, kFirstDisplay));
    EXPECT_EQ(env.events(QVRViewerViewController::kPresenterNotesShownOnSecondMonitorEvent).size(), 1);

    // Escape on the player leaves full screen: the window gets its place back, the notes a window.
    QTest::keyClick(c->viewerView(), Qt::Key_Escape);
    EXPECT_FALSE(c->isInPresenterFullScreen());
    EXPECT_FALSE(window->isFullScreen());
    EXPECT_TRUE(becomes(window, former)) << text(window->geometry()) << text(former);
    ASSERT_NE(c->presenterNotesWindowController(), nullptr);
    QWidget* notesWindow = c->presenterNotesWindowController()->window();
    EXPECT_EQ(notesView->window(), notesWindow);
    EXPECT_EQ(notesWindow->size(), QSize(1024, 600));
    EXPECT_FALSE(notes->notesView()->swapDisplaysButton()->isVisible());

    // Escape again starts nothing: the window is not in the notes' full screen.
    QTest::keyClick(c->viewerView(), Qt::Key_Escape);
    EXPECT_FALSE(window->isFullScreen());

    // Closing the viewer window closes the notes.
    QPointer<QWidget> watchedNotesWindow = notesWindow;
    window->close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !watchedNotesWindow || !watchedNotesWindow->isVisible(); }, 2000));
    EXPECT_EQ(c->presentationNotesViewController(), nullptr);
}

TEST_F(PresenterNotesTwoScreens, ClosingTheViewerWhileFullScreenEndsTheNotesAndTheFullScreen)
{
    QVRViewerWindow* window = open(makeDocument());
    ASSERT_NE(window, nullptr);
    QVRViewerViewController* c = controller(window);
    const QRect former = window->geometry();
    c->showPresentationNotesIfAble();
    Notes* notes = c->presentationNotesViewController();
    ASSERT_NE(notes, nullptr);
    QPointer<QWidget> notesView = notes->view();
    ASSERT_TRUE(becomes(window, kLastDisplay));

    window->close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return c->presentationNotesViewController() == nullptr; }, 2000));
    EXPECT_TRUE(!notesView || !notesView->isVisible());
    EXPECT_FALSE(c->isInPresenterFullScreen());
    EXPECT_FALSE(window->windowState() & Qt::WindowFullScreen);
    EXPECT_TRUE(becomes(window, former)) << text(window->geometry());
}

TEST_F(PresenterNotesTwoScreens, TheNotesWindowOpensWithinThePlayersDisplayAndThePlayerGetsItsFrameBack)
{
    QVRViewerWindow* window = open(makeDocument());
    ASSERT_NE(window, nullptr);
    QVRViewerViewController* c = controller(window);
    // The player on the second display, away from its corner.
    window->setGeometry(QRect(kLastDisplay.topLeft() + QPoint(60, 80), QSize(900, 560)));
    const QRect former = window->geometry();
    QTest::mouseClick(window->presenterNotesButton(), Qt::LeftButton);
    ASSERT_NE(c->presenterNotesWindowController(), nullptr);
    QWidget* notesWindow = c->presenterNotesWindowController()->window();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(notesWindow));
    const QRect area = QGuiApplication::screens().last()->availableGeometry();
    EXPECT_TRUE(area.contains(notesWindow->frameGeometry())) << text(notesWindow->frameGeometry());
    // Centred, give or take the frame's margins.
    EXPECT_LE((notesWindow->frameGeometry().center() - area.center()).manhattanLength(), 30)
        << text(notesWindow->frameGeometry());

    // Two-display full screen and back: the player keeps its own size while full screen, for the window manager
    // to give back, and returns to its frame.
    c->togglePresenterViewFullscreen();
    ASSERT_TRUE(c->isInPresenterFullScreen());
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->isFullScreen(); }, 2000));
    EXPECT_EQ(window->normalGeometry().size(), former.size()) << text(window->normalGeometry());
    QTest::keyClick(c->viewerView(), Qt::Key_Escape);
    EXPECT_FALSE(c->isInPresenterFullScreen());
    EXPECT_TRUE(becomes(window, former)) << text(window->geometry());
}

TEST_F(PresenterNotesTwoScreens, AWindowMadeFullScreenByItsOwnCommandStartsNoNotesOnEscape)
{
    QVRViewerWindow* window = open(makeDocument());
    ASSERT_NE(window, nullptr);
    QVRViewerViewController* c = controller(window);
    window->showFullScreen();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->isFullScreen(); }, 2000));
    QPointer<QVRViewerWindow> guard = window;
    QTest::keyClick(c->viewerView(), Qt::Key_Escape);
    EXPECT_EQ(c->presentationNotesViewController(), nullptr);
    // Escape leaves the window's own full screen, and the player stays open once the event loop has turned.
    EXPECT_TRUE(QTest::qWaitFor([&] { return guard && !guard->isFullScreen(); }, 2000));
    QTest::qWait(50);
    ASSERT_TRUE(guard);
    EXPECT_TRUE(guard->isVisible());
}

} // namespace
