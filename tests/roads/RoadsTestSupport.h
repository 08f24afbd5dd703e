#pragma once

#include <functional>
#include <memory>

#include <QApplication>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QUrl>
#include <QWidget>

class QFileDialog;
class QLineEdit;
class QPushButton;
class QVR_AddElementMenuViewController;
class QVR_TableViewCellLikeView;
class QVRAppDelegate;
class QVRRegisterWallWindowController;
class QVR_CreatorWindow;
class QVRViewerWindow;
class ZERI_FlowScreenModel;
class ZERI_TessarineModel;

// Drives the assembled application as its user does: started through the executable's own start-up, with its
// real windows and dialogs, on the offscreen platform.
// The steps here (a click, a menu item, typing into a field, a window opened or closed) check the keyboard rule of
// RoadsKeyboard.h on what the step before left.
class QVRPowerpointOverviewWindowController;

namespace roads {

// Starts the application once per process. Its service, web site, social sites and short links point at the
// root given to pointServicesAt() before, else at a closed local port: nothing answers.
QVRAppDelegate& application();

// Every address the application may contact, at `root` (a service on this machine); before application(), or
// in a process of its own started after it (the environment carries it over).
void pointServicesAt(const QUrl& root);
// Ends the application while the QApplication still lives: its windows close and the delegate goes, as when the
// user quits (after the last test, or at the end of a program driving it).
void endApplication();
// Runs `end` once the application has ended after the last test (a service it talked to may stop then).
void atApplicationEnd(std::function<void()> end);

// After each road (TEST and TEST_F alike, in every roads binary) the road fails for what it leaves behind, each
// thing named: windows still shown, settings made for testing not put back, work still running, files left in
// the user's folders. Then the application is brought back to rest, as the next road finds it: its windows but
// My Documents closed, nobody signed in, no documents, the user defaults as at the start-up, and whatever
// afterEachRoad() was given done (the fake service made new).

// Counts the roads begun in this process: the first is 1.
int roadNumber();
// Runs `reset` after each road, once the road's leftovers have been looked for.
void afterEachRoad(std::function<void()> reset);
// Runs `before` once, just before the application starts, unless pointServicesAt() has been called (a service
// the application must be pointed at starts then).
void beforeApplicationStart(std::function<void()> before);
// Whether this process has started the application.
bool applicationStarted();
// For a road that needs the application's first start (a fresh home folder, nobody ever signed in): true when
// the application starts within this road, which goes on; otherwise the road runs again, alone, in a process of
// its own, whose outcome becomes this road's, and false is returned: the road ends there.
bool firstStartHere();
// For a road that leaves the application unfit for more (it quits, say): true when this process runs this road
// alone; otherwise the road runs again, alone, in a process of its own, as above, and false is returned.
bool inAProcessOfItsOwn();
// Signs `user` in through the application's own sign-in, as a user who signed in on an earlier day; false when
// the service refused.
bool signInQuietly(const QString& user, const QString& password);

// Processes events until `condition` holds; false after `timeoutMs`.
bool waitFor(const std::function<bool()>& condition, int timeoutMs = 20000);

// The first visible top-level widget of type T that `accept` takes (any when unset), or nullptr.
template <class T> T* visibleTopLevel(const std::function<bool(T*)>& accept = {})
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* typed = qobject_cast<T*>(widget);
        if (typed && typed->isVisible() && (!accept || accept(typed)))
            return typed;
    }
    return nullptr;
}

// Waits for a file dialog to show, types `text` into its name field (a path, or several quoted paths), ticks
// its check box when `tick`, and presses its accept button. False when no dialog showed.
bool answerFileDialog(const QString& text, bool tick = false);

// Opens the menu holding `command` in the window's menu bar (which validates its items, as when the user opens
// it) and chooses the item. False when the item is missing or disabled.
bool chooseMenuItem(QWidget* window, const QString& command);
// Whether the item shows enabled when its menu opens.
bool chooseMenuItemEnabled(QWidget* window, const QString& command);

// Clicks the centre of the widget with the left button.
void click(QWidget* widget);

// The shown menu of controller type T (a view controller with view()) in any visible window, or nullptr.
template <class T> T* openedMenu()
{
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (!top->isVisible())
            continue;
        if (auto* menu = top->findChild<T*>(); menu && menu->view() && menu->view()->isVisible())
            return menu;
    }
    return nullptr;
}
// Opens the toolbar's Insert menu and clicks one of its rows; false when the menu or the row did not show.
bool insert(QVR_CreatorWindow* window, QVR_TableViewCellLikeView* (QVR_AddElementMenuViewController::*row)() const);

// File › Import PowerPoint from the home window's bar: the overview window, shown; nullptr when it did not show.
QVRPowerpointOverviewWindowController* openImportOverview();
// Leaves the first-launch tour with Get Started where it stands over My Documents (a first start with nobody
// signed in); true when no tour is left showing.
bool leaveFirstLaunchTour();
// My Documents' + tile, then Choose on the scratch template: the new document's creator window, shown.
QVR_CreatorWindow* createDocumentFromPlusTile();
// The toolbar's play button of a creator window: the viewer window, shown and in front; nullptr when none came.
QVRViewerWindow* play(QVR_CreatorWindow* window);
// The visible creator windows.
QList<QVR_CreatorWindow*> creatorWindows();
// Closes every creator and viewer window (each road leaves the application as it found it).
void closeDocumentWindows();

// The shown screen of a creator window.
std::shared_ptr<ZERI_FlowScreenModel> shownScreen(QVR_CreatorWindow* window);
// Counts the objects of one type on a screen.
int countObjects(const std::shared_ptr<ZERI_FlowScreenModel>& screen, int type);

// Waits for the print dialog to show in front, chooses its PDF file printer, types `path` and presses Print.
// False (with the reason added as a failure) when a step is missing.
bool printToFile(const QString& path);

// The pages of a PDF file once it has been written to its end (-1 when it never is).
int writtenPdfPages(const QString& path);

// Test inputs made here: pictures, a PDF of `pages` pages.
QString makePicture(const QString& path, const char* format, QColor color = Qt::darkCyan);
QString makePdf(const QString& path, int pages);

// The visible push button of `window` that reads `text`, if any.
QPushButton* buttonReading(QWidget* window, const QString& text);

// Empties `field` and types `text` into it as a person does.
void typeInto(QLineEdit* field, const QString& text);

// One step of a user signing in on the wall: on its first page Log In is clicked; on the Log In page `email` and
// `password` are typed and submitted, and true is returned.
bool answerWallWithSignIn(QVRRegisterWallWindowController* wall, const QString& email, const QString& password);

// The application menu's Sign In from `window`, answered on the wall's Log In page with `email` and `password`.
// False when the wall did not take them.
bool signInThroughWall(QWidget* window, const QString& email, const QString& password);

// While it lives, every video re-encoding waits at its first sample, still under way, until the close of its
// window (or the end of this) lets it go: a road that needs a re-encoding in progress makes it so.
class HeldReencodings {
public:
    HeldReencodings();
    ~HeldReencodings();
    HeldReencodings(const HeldReencodings&) = delete;
    HeldReencodings& operator=(const HeldReencodings&) = delete;
};

// Answers the windows a command meets while the application's own loops hold the call that gave it: every
// 20 ms `answer` looks at what shows and acts. After `limitMs` every dialog still shown is turned down, so that a
// road gone wrong ends as a failure instead of waiting for ever.
class Answerer {
public:
    explicit Answerer(std::function<void()> answer, int limitMs = 30000);

private:
    QTimer m_ticks;
    QTimer m_limit;
};

} // namespace roads
