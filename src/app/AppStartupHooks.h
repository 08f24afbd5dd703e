#pragma once

#include <functional>
#include <map>

#include <QString>

class QWidget;

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
    // Application menu commands that later libraries perform: "preferences", "editProfile", "openURL",
    // "importPowerpoint", "toggleSnapping", "guide", "faq", "feedback", "website". A command without an entry
    // is logged and its item disabled.
    std::map<QString, std::function<void()>> menuCommands;

    static AppStartupHooks& shared();
    // Empties every member (tests).
    static void resetForTesting();
};
