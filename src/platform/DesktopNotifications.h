#pragma once

#include <functional>

#include <QString>

// Hands short notices to the desktop's notification service, the "org.freedesktop.Notifications" service on the
// session bus, which shows them whether or not the desktop has a system tray. Main thread only.
class DesktopNotifications {
public:
    // Sends the notice and returns at once; `done` runs on the main thread with whether the service took it (false:
    // no session bus, no notification service on it, or the service refused).
    static void notify(const QString& summary, const QString& body, std::function<void(bool shown)> done = {});

    // Tests: the named connection (a peer standing in for the service) instead of the session bus; an empty name
    // restores the session bus.
    static void setConnectionNameForTesting(const QString& name);
};
