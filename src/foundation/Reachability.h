#pragma once

#include <memory>

#include <QString>

class QObject;

// Watches the general internet connection. While its notifier runs, each change is posted on the main
// thread as "kNetworkReachabilityChangedNotification" with the monitor as sender.
// Built over QNetworkInformation. Without a backend (a headless machine, no network manager) the
// connection counts as reachable and nothing is ever posted.
// Main thread only.
class Reachability {
public:
    ~Reachability();
    Reachability(const Reachability&) = delete;
    Reachability& operator=(const Reachability&) = delete;

    static std::unique_ptr<Reachability> reachabilityForInternetConnection();

    // False when no backend could be loaded: real changes are then never posted (the test hook still posts).
    bool startNotifier();
    void stopNotifier();
    bool isNotifierRunning() const { return m_watching; }

    // Unknown states count as reachable; only a backend that reports no internet says otherwise.
    bool isReachable() const;

    // Test hook: makes every monitor report `reachable` from now on and lets each running notifier post
    // exactly as a real change would. clearSimulatedReachabilityForTesting returns to the real state.
    static void simulateReachabilityChangeForTesting(bool reachable);
    static void clearSimulatedReachabilityForTesting();

    static QString changedNotificationName() { return QStringLiteral("kNetworkReachabilityChangedNotification"); }

private:
    Reachability();
    void postChange();

    bool m_watching = false;
    std::unique_ptr<QObject> m_context; // owns the backend connection while watching
};
