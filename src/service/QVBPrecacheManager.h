#pragma once

#include <memory>

#include <QList>
#include <QSet>
#include <QString>
#include <QUrl>

#include "tessarine_data_model/ObjectUpdateNotifier.h"

class QTimer;
class QVBPrecacheManager;
class ZERI_WebDownloader;

// Told, on the main thread, how precaching goes. Not retained by the manager.
class QVBPrecacheManagerDelegate {
public:
    virtual ~QVBPrecacheManagerDelegate() = default;
    // The manager went from idle to fetching.
    virtual void precacheManagerStartedLoad(QVBPrecacheManager* manager) = 0;
    // After each file. Bytes count the files already on disk (sizes are known only then, so both byte
    // counts are equal); objects count the files queued since the manager was last idle.
    virtual void precacheManager(QVBPrecacheManager* manager, quint64 downloadedBytesSoFar, quint64 totalBytes,
                                 int downloadedObjectsSoFar, int totalObjects) = 0;
    // Everything queued is on disk.
    virtual void precacheManagerDoneCaching(QVBPrecacheManager* manager) = 0;
    // One file failed kMaxConsecutiveFailures times in a row; the manager gave up and is idle again.
    virtual void precacheManagerFailedTooManyTimes(QVBPrecacheManager* manager) = 0;
};

// Fetches files ahead of their use, one at a time, through the shared downloaders (so a view that asks for
// the same file meanwhile shares the transfer). A file whose failure may pass (the network, a time-out, a busy
// server: ZERI_WebDownloader::isPassingFailure) is tried again at once; after kMaxConsecutiveFailures failures of
// the same file in a row, or at once for a failure that cannot pass (too large, a refused address, a file that
// cannot be written), the manager gives up its whole queue and tells its delegate once.
//
// Instances: one per controller that shows progress, plus the shared one used by the open request and reset at
// sign-out. Main thread only.
class QVBPrecacheManager {
public:
    static constexpr int kMaxConsecutiveFailures = 3;

    static QVBPrecacheManager& sharedInstance();

    QVBPrecacheManager();
    ~QVBPrecacheManager();
    QVBPrecacheManager(const QVBPrecacheManager&) = delete;
    QVBPrecacheManager& operator=(const QVBPrecacheManager&) = delete;

    void setDelegate(QVBPrecacheManagerDelegate* delegate) { m_delegate = delegate; }
    QVBPrecacheManagerDelegate* delegate() const { return m_delegate; }

    // Queues the file of `url` for `directory` (ignored when already queued or fetched since the last reset)
    // and starts fetching at the next turn of the event loop, so several files queued together are one load.
    void precacheURL(const QUrl& url, const QString& directory);
    // Empties the queue, forgets the files fetched, cancels the download on its way and resets the counters.
    // The delegate hears nothing more of the earlier work.
    void resetEverything();

    bool isIdle() const { return !m_current && m_queue.isEmpty() && !m_loading; }
    int totalObjects() const { return m_totalObjects; }
    int downloadedObjects() const { return m_doneObjects; }

private:
    struct Item {
        QUrl url;
        QString directory;
    };

    void startNext();
    // Starts (or asks again for) a download and takes a refusal that reports nothing.
    void ask(const std::shared_ptr<ZERI_WebDownloader>& downloader);
    void fileDone(qint64 bytes);
    void onStatusChanged();
    void finishLoad();

    QVBPrecacheManagerDelegate* m_delegate = nullptr;
    QList<Item> m_queue;
    QSet<QString> m_known; // url + directory of everything queued since the last reset
    std::shared_ptr<ZERI_WebDownloader> m_current;
    ObjectUpdateNotifierObserver m_currentObservation;
    std::unique_ptr<QTimer> m_kick;
    bool m_loading = false;   // files queued and not all on disk yet
    bool m_announced = false; // the delegate heard precacheManagerStartedLoad for this load
    int m_failures = 0;       // consecutive failures of the current file
    int m_totalObjects = 0;
    int m_doneObjects = 0;
    quint64 m_doneBytes = 0;
};
