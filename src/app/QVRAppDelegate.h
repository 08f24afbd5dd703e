#pragma once

#include <functional>
#include <memory>

#include <QMainWindow>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include "platform/NotificationCenter.h"

class QWidget;

// The application delegate: the process entry, the start-up sequence, links of the URL scheme, the
// application's own menu commands, the sign-in wall, the quota text and quitting.
//
// Steps that belong to later libraries go through AppStartupHooks; a missing hook is skipped and logged.
// Main thread only.
class QVRAppDelegate : public QObject {
    Q_OBJECT
public:
    explicit QVRAppDelegate(QObject* parent = nullptr);
    ~QVRAppDelegate() override;

    // What the application starts before its event loop; returns the running delegate, launched.
    using Starter = std::function<std::unique_ptr<QVRAppDelegate>()>;
    // The whole process: single-instance hand-off, crash handlers, `start`, event loop. main() calls it with the
    // start-up of the assembled application; without one, the shell's own (prepareApplication, then a delegate
    // that has finished launching).
    static int applicationMain(int argc, char** argv, const Starter& start = {});
    // The application's identity (organisation, name, version, desktop file) and what the shell and the
    // libraries before it register: the named artwork; the storage's and the web service's seams of the model;
    // the dialog alert presenter and file chooser; the desktop link opener; links of our scheme starting open
    // requests; the quit-time draft flush. Needs the QApplication; idempotent.
    static void prepareApplication();

    // The start-up sequence, in this order: log the API endpoint; (the shared URL cache: nothing to empty
    // here); set the service's API key, password and URL; menu titles from the text table; default themes;
    // the gesture handler when its controller software is installed (and the disconnected alert 10 s later);
    // the gesture handler view; the crash reporter; the my-documents window; the "Tessarine App Launch" event;
    // the sign-in and quota observers; the quota monitor; removal of the debugging menu items; deletion of the
    // precached blank theme.
    void applicationDidFinishLaunching();

    // Called with the name of each start-up step as it begins (tests record the order).
    void setStepObserver(std::function<void(const QString& step)> observer);
    // The plain window shown while no lists window is available (nullptr otherwise).
    QMainWindow* fallbackMainWindow() const { return m_fallbackWindow; }
    QWidget* listsWindow() const;

    // Links of the application's URL schemes (see QVRURLSchemeHandler).
    static bool handleURLEvent(const QString& link);
    // Links handed over by a second process or given on the command line; also brings a window to the front.
    void handleLinks(const QStringList& links);

    // Where the gesture controller's software is looked for: TESS_GESTURE_CONTROLLER_PATH, else
    // "/usr/sbin/leapd" (the Linux service of the controller).
    static QString gestureControllerInstallPath();

    // The application menu commands ("quit", "signIn", "about", ...).
    void performApplicationCommand(const QString& command);
    bool canPerformApplicationCommand(const QString& command) const;

    // The delegate of the running application (the last one made and not yet gone); null before it is made and
    // after it is gone.
    static QVRAppDelegate* runningDelegate();

    // The sign-in wall, one at a time; returns whether the user signed in. A null message uses the default.
    bool showRegisterWall(const QString& message = QString());
    bool showRegisterWallWithMessage(const QString& message);
    // Signed out: the wall on its sign-in form, as the item's title promises; signed in: the sign-out dialogue.
    void onSignInMenuItemPressed();
    // The quota item's three lines, or the "quota unavailable" text while any part is unknown.
    static QString quotaString();
    // Writes now every draft whose 1.0 s save is still pending: the documents of managed windows and those
    // loaded into packages. Registered as the quit-time flush hook unless a later library registers its own.
    static void flushPendingDraftSaves();
    // A notice to the user: the toast of `window` when one is given and shows (the window the notice is about);
    // otherwise a desktop notification, through the system tray's message balloon, or where the desktop has no
    // tray, its notification service on the session bus; logged and dropped where there is neither.
    static void postUserNotification(const QString& title, const QString& informativeText, QWidget* window = nullptr);
    // The same with a subtitle, shown as the message's first line.
    static void postUserNotification(const QString& title, const QString& subtitle, const QString& informativeText,
                                     QWidget* window = nullptr);
    // Tests receive the notices here instead of the desktop (an empty function restores the desktop).
    using UserNotificationRecorder =
        std::function<void(const QString& title, const QString& subtitle, const QString& informativeText)>;
    static void setUserNotificationRecorderForTesting(UserNotificationRecorder recorder);

    // Asks first while a video is being compressed, and once confirmed stops every re-encoding (waiting up to
    // 5 s for them to wind down); then saves pending drafts and sends the analytics backlog. Returns whether
    // quitting may go on.
    static constexpr int kQuitCompressionTimeoutMs = 5000;
    bool applicationShouldTerminate();
    // Quit from the menu: asks, closes the windows and ends the event loop.
    void requestQuit();

private:
    void beginStep(const char* step);
    void openListsWindow();
    void refreshQuota();
    void flushBeforeQuit();
    void stopVideoCompressionForQuit();

    std::function<void(const QString&)> m_stepObserver;
    QPointer<QMainWindow> m_fallbackWindow;
    QPointer<QWidget> m_listsWindow;
    bool runWall(const std::function<bool(const QString&)>& wall, const QString& message);

    bool m_registerWallShown = false;
    bool m_flushedForQuit = false;
    bool m_quotaIsCurrentUsers = false; // the quota monitor has refreshed since the last sign-in or sign-out
    std::vector<NotificationObservation> m_observations;
};
