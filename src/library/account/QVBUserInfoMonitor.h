#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QDateTime>
#include <QObject>
#include <QString>

#include "platform/Error.h"
#include "platform/NotificationCenter.h"

class BlockRequester;
class QTimer;

// Keeps the signed-in user's monthly upload allowance fresh: asks the service every 15 minutes and on demand,
// turns the answer into short texts, posts "QVBDataQuotaMonitorDidUpdateNotification" (object: the monitor)
// after each refresh and then refreshes the stored user record. Values keep their last state when a refresh
// fails. The allowance renews at midnight starting each month in Vancouver time. Main thread only.
//
// A refresh in flight belongs to the user who was signed in when it started: once that user has signed out (or
// another has signed in) nothing of its reply is stored, and the sign-out cancels it. Stopping the monitor or
// dropping it cancels it too. A caller waiting on a cancelled refresh is answered with an error (kCancelledCode,
// or not signed in after a sign-out).
class QVBUserInfoMonitor : public QObject {
    Q_OBJECT
public:
    using Completion = std::function<void(const std::optional<Error>& error)>;
    using Clock = std::function<QDateTime()>;

    static constexpr const char* kDidUpdateNotification = "QVBDataQuotaMonitorDidUpdateNotification";
    static constexpr int kIntervalMs = 900 * 1000;
    static constexpr const char* kErrorDomain = "QVBUserInfoMonitor";
    static constexpr int kCancelledCode = 1;

    static QVBUserInfoMonitor& sharedInstance();

    ~QVBUserInfoMonitor() override;

    void startMonitoring();
    // Stops the timer and cancels the refresh in flight.
    void stopMonitoring();
    bool monitoring() const { return m_timer != nullptr; }
    bool isRefreshing() const { return m_request != nullptr; }
    // Restarts the timer and refreshes now, cancelling a refresh in flight (its caller hears kCancelledCode).
    // Signed out, the completion is told so at once.
    void updateNow(Completion completion = {});
    // One refresh; a tick (no completion) while a request is in flight does nothing.
    void updateInfo(Completion completion = {});

    // Midnight starting next month in Vancouver, as seen from the clock's now.
    QDateTime startOfNextMonth() const;
    static QDateTime startOfNextMonthAfter(const QDateTime& now);
    // "14 HOURS", "1 DAY"...: the count and unit of a span of seconds.
    static QString friendlyTimeRemaining(double seconds);
    static QString megabytes(qint64 bytes);

    qint64 bytesUsed() const { return m_bytesUsed; }
    qint64 quotaCap() const { return m_quotaCap; }
    qint64 bytesRemaining() const { return m_quotaCap - m_bytesUsed; }
    QString userFriendlyBytesRemaining() const { return m_friendlyRemaining; }
    QString userFriendlyQuotaCap() const { return m_friendlyCap; }
    double resetTimeRemaining() const { return m_resetTimeRemaining; }
    QString userFriendlyResetTimeRemaining() const { return m_friendlyReset; }

    void setClockForTesting(Clock clock) { m_clock = std::move(clock); }
    // The time between refreshes of every monitor from now on, the running timer's included; 0 or less brings
    // back kIntervalMs (tests).
    static void setIntervalForTesting(int milliseconds);
    static int intervalMs();
    // Drops the shared monitor's state and requests (tests).
    static void resetForTesting();

private:
    QVBUserInfoMonitor();
    void restartTimer();
    // Cancels the refresh in flight; a caller waiting on it is answered with `error`.
    void cancelRequest(const Error& error);
    // Whether a reply belongs to the refresh in flight; a late reply of a cancelled one does not.
    bool isCurrent(quint64 serial) const { return m_request && serial == m_serial; }
    void handleQuotaReply(const QString& reply);
    void handleUserReply(const QString& reply);
    // A completion that hands the reply to `handle` while it belongs to the refresh in flight.
    std::function<void(const QString&, const QString&)>
    replyHandler(void (QVBUserInfoMonitor::*handle)(const QString&));
    bool stillTheSameUser();
    void finish(const std::optional<Error>& error);
    QDateTime now() const { return m_clock ? m_clock() : QDateTime::currentDateTimeUtc(); }

    QTimer* m_timer = nullptr;
    std::shared_ptr<BlockRequester> m_request;
    quint64 m_serial = 0;   // counts the refreshes started
    Completion m_waiting;   // the caller of the refresh in flight
    QString m_requestToken; // the token it was asked with
    NotificationObservation m_logoutObservation;
    Clock m_clock;
    qint64 m_bytesUsed = 0;
    qint64 m_quotaCap = 0;
    double m_resetTimeRemaining = 0;
    QString m_friendlyRemaining;
    QString m_friendlyCap;
    QString m_friendlyReset;
};
