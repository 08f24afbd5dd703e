#pragma once

#include <functional>

#include <QJsonArray>
#include <QJsonObject>
#include <QObject>
#include <QString>

class QTimer;

// The internal action log: analytics events waiting to be sent to the service ("tessarine.log").
//
// Every event is appended to a backlog kept in a JSON file in the data folder, so nothing is lost when the service
// is unreachable or the application quits. The file is rewritten atomically after each change, on a thread of its
// own, so a slow disk never holds the main thread. Events leave the backlog only after the service accepted the
// batch that carried them; events logged while a batch is in flight stay behind it. A backlog that cannot be read
// is moved aside (".corrupt") and started afresh. Batches of at most kBatchSize events go out
// kFlushIntervalSeconds after the first unsent event, at once when a full batch is waiting, and when the
// application quits. The backlog keeps at most kMaxBacklog events, dropping the oldest, so a long offline period
// cannot grow it without bound.
//
// Main thread only.
class QVRActionLog : public QObject {
    Q_OBJECT
public:
    // Sends one batch (a JSON array text) and reports whether the service accepted it.
    using Sender = std::function<void(const QByteArray& eventsJson, std::function<void(bool accepted)> done)>;

    static constexpr int kBatchSize = 50;
    static constexpr int kFlushIntervalSeconds = 60;
    static constexpr int kMaxBacklog = 5000;

    QVRActionLog(const QString& backlogFile, Sender sender, QObject* parent = nullptr);
    ~QVRActionLog() override;

    // The application's log: "<data folder>/Tessarine/actionlog.json", sent through the web API.
    static QVRActionLog& shared();
    // Replaces the shared log (tests); nullptr restores the default on next use. Does not take ownership.
    static void setSharedForTesting(QVRActionLog* log);
    // "tessarine.log" with the signed-in user's auth token; accepted when the reply has no "error" member.
    static Sender serviceSender();

    void append(const QJsonObject& event);
    // Sends the next batch unless one is in flight.
    void flush();
    // Flushes and waits (running the event loop) until the backlog is empty, a batch fails, or the time is up.
    // Returns whether the backlog is empty.
    bool flushAndWait(int timeoutMs);

    QJsonArray backlog() const { return m_backlog; }
    // Blocks until every change made so far by any log of this process is in its file.
    static void waitForWrites();
    QString backlogFile() const { return m_file; }
    bool isSending() const { return m_inFlight > 0; }

signals:
    // After each batch: whether it was accepted.
    void batchFinished(bool accepted);

private:
    void load();
    void save() const;
    void scheduleFlush();

    QString m_file;
    Sender m_sender;
    QJsonArray m_backlog;
    qsizetype m_inFlight = 0; // events at the front of the backlog that the current batch carries
    QTimer* m_timer = nullptr;
};
