#pragma once

#include <memory>

#include <QList>
#include <QString>
#include <QStringList>

#include "platform/NotificationCenter.h"
#include "service/BlockRequester.h"
#include "storage/ContentItemDeletionQueue.h"

class QTimer;
class Reachability;

// Deletes server copies of content items later, one at a time, from a queue kept on disk so that ids
// queued before a quit are still deleted after the next start.
//
// Retry rule: a deletion that does not succeed is tried again after the retry interval (4 s). An id leaves
// the queue when its deletion succeeds, when the service answers that it does not know it (HTTP 404, a
// permanent answer), or after kMaxAttempts failed attempts that reached the service; failures that never
// reached it (refused or dropped connections, timeouts) do not count, so an outage loses nothing. While the
// network is reported down, or nobody is signed in, the queue waits and sends nothing.
//
// Storage hands it the server copies that nothing reaches any more once registerWithStorage() ran (at start-up).
//
// Main thread only.
class ZERI_ContentItemDeletionManager : public ContentItemDeletionQueue {
public:
    static constexpr int kMaxAttempts = 10;
    static constexpr double kDefaultRetryInterval = 4.0;

    // Over "<Application Support>/Tessarine/deletionqueue.json".
    static ZERI_ContentItemDeletionManager& sharedInstance();
    static QString defaultQueueFilePath();
    // Makes the shared instance the queue storage sends its deletions to.
    static void registerWithStorage();

    // Reads the queue kept at `queueFilePath` and resumes it at the next turn of the event loop.
    explicit ZERI_ContentItemDeletionManager(const QString& queueFilePath);
    ~ZERI_ContentItemDeletionManager() override;
    ZERI_ContentItemDeletionManager(const ZERI_ContentItemDeletionManager&) = delete;
    ZERI_ContentItemDeletionManager& operator=(const ZERI_ContentItemDeletionManager&) = delete;

    // An empty id, or one already queued, is ignored.
    void enqueueDeleteForContentItem(const QString& contentID) override;

    // Ids still to delete, oldest first.
    QStringList pendingContentItems() const;
    bool isDeleting() const { return m_requester != nullptr; }

    double retryInterval() const { return m_retryInterval; }
    void setRetryInterval(double seconds);

private:
    struct Entry {
        QString contentID;
        int attempts = 0; // failed attempts that reached the service
    };

    void load();
    void save() const;
    void startNextIfIdle();
    void scheduleRetry();
    void onReply(const QString& reply);
    void finishHead(const char* why);

    const QString m_queueFilePath;
    QList<Entry> m_queue;
    std::shared_ptr<BlockRequester> m_requester;
    std::unique_ptr<QTimer> m_retryTimer;
    std::unique_ptr<Reachability> m_reachability;
    NotificationObservation m_reachabilityObservation;
    NotificationObservation m_loginObservation;
    double m_retryInterval = kDefaultRetryInterval;
};
