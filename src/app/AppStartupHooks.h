#pragma once

#include <functional>
#include <map>
#include <memory>

#include <QString>

class QWidget;
class ViewerDownloadPanel;

// The places where the application shell calls libraries that are built after it (themes, gesture input,
// the lists window, the quota monitor, the sign-in wall, video compression, draft saving). Each library fills
// its own members from its registration function before the application delegate starts; a member left empty
// is skipped, and the start-up sequence logs that it skipped it.
//
// Main thread only; callers register before QVRAppDelegate::applicationDidFinishLaunching runs.
struct AppStartupHooks {
    // +[TessarineTheme loadDefaultThemes]
    std::function<void()> loadDefaultThemes;
    // Starts the shared gesture handler (only called when the controller software is installed).
    std::function<void()> startGestureHandler;
    // Whether the gesture controller is connected; asked 10 s after the handler started.
    std::function<bool()> gestureControllerIsConnected;
    // Shows the disconnected controller's warning with its "do not show again" box, once even when the handler
    // already gave it.
    std::function<void()> showGestureDisconnectAlert;
    // Makes the gesture handler's view (frame 0, 0, 100, 100) and hands it to the handler when there is one.
    std::function<void()> createGestureHandlerView;
    // Opens the my-documents window (or shows it again) and returns it; the shell adds it to the managed
    // windows. Without this hook the shell shows a plain main window carrying the menu bar.
    std::function<QWidget*()> openListsWindow;
    // QVBUserInfoMonitor startMonitoring, then updateNow.
    std::function<void()> startQuotaMonitor;
    // The three readable texts of the quota: bytes remaining, the cap, time until reset; empty while unknown.
    std::function<QString()> quotaBytesRemaining;
    std::function<QString()> quotaCap;
    std::function<QString()> quotaResetTimeRemaining;
    // +[TessarineTheme deletePrecachedBlankTheme]
    std::function<void()> deletePrecachedBlankTheme;
    // Shows the sign-in wall modally with a landing message; returns whether the user signed in.
    std::function<bool(const QString& message)> runRegisterWall;
    // The same, opened on its sign-in form (the landing page with the message one step back).
    std::function<bool(const QString& message)> runSignInWall;
    // Signed in: the sign-out dialogue (runs modally).
    std::function<void()> runSignOutDialogue;
    // Whether a video re-encoding is running, and stopping all of them.
    std::function<bool()> isCompressingVideo;
    std::function<void()> cancelVideoCompression;
    // Writes every pending draft save now (called when quitting).
    std::function<void()> flushPendingDraftSaves;
    // Whether snap guides are off (the snap-guides item's title); its toggle is the menu command
    // "toggleSnapping".
    std::function<bool()> snappingDisabled;
    // What an open request shows besides its window: the shared template chooser (made key and brought to the
    // front), the download panel of a viewer, and the password prompt of a protected document (its window checks
    // the password itself; exactly one of the two blocks runs). A request that needs one left empty ends
    // without a window.
    std::function<void()> showTemplateChooser;
    std::function<std::unique_ptr<ViewerDownloadPanel>()> makeDownloadPanel;
    std::function<void(const QString& stringID, std::function<void(const QString& reply)> onUnlocked,
                       std::function<void()> onDismissed)>
        showPasswordPrompt;
    // Closes the password prompt shown for a string id whose open ended without it.
    std::function<void(const QString& stringID)> closePasswordPrompt;
    // Application menu commands that later libraries perform: "preferences", "editProfile", "signInWindow", "openURL",
    // "importPowerpoint", "toggleSnapping", "guide", "faq", "feedback", "website". A command without an entry
    // is logged and its item disabled.
    std::map<QString, std::function<void()>> menuCommands;

    static AppStartupHooks& shared();
    // Empties every member (tests).
    static void resetForTesting();
};
