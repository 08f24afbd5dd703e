#pragma once

#include <memory>

#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include "platform/Error.h"
#include "service/BlockRequester.h"

class QObject;
class WorkerThreads;
class ZERI_AssetUploadManager;
class ZERI_ContentAsset;
class ZERI_TessarineModel;

// Told, on the main thread, how the uploads go. Not retained by the manager.
class ZERI_AssetUploadManagerDelegate {
public:
    virtual ~ZERI_AssetUploadManagerDelegate() = default;
    // Counts since beginTracking(); `unused` is always null. Uploaded counts never decrease and never pass the
    // totals; the bytes move while a batch is on its way, the files when the service confirms them.
    virtual void uploadManagerUploadDidProgress(ZERI_AssetUploadManager* manager, const void* unused,
                                                quint64 totalBytesUploaded, quint64 totalBytes, quint64 filesUploaded,
                                                quint64 totalFiles) = 0;
    // Once per enqueued document when none of its files is left to send. When the uploads were given up,
    // manager->lastError() says why; the document's assets that were sent have their content ids.
    virtual void uploadManagerAllUploadsCompletedForModel(ZERI_AssetUploadManager* manager,
                                                          const std::shared_ptr<ZERI_TessarineModel>& model) = 0;
};

// Sends the local media files of documents to the service ("corvik.channel.add.multiple") before the
// documents themselves are saved there.
//
// Batches: files go in the order they were queued, at most kMaxBatchFiles and kMaxBatchBytes per request;
// the first file of a batch is always taken, so a file larger than the byte limit goes alone. A file used by
// several assets is sent once.
//
// Results: each uploaded file gives a content id, set as the `corvikContentID` of every asset that uses it,
// and a remote address, kept by the manager (remoteURLForContentID) and by the asset (its remoteURL, stored in
// the draft), and written into the document text sent to the service (jsonWithRemoteURLs). The assets keep
// pointing at their local files, which are never touched.
//
// Persistence: the queue and the results live in the upload-queue folder, so a manager made over the same
// folder after a restart resumes the queue; the content ids of documents that were not loaded then are set
// when the document is next enqueued.
//
// Failures: a batch that fails is tried again after the retry interval (4 s), at most kMaxAttempts times in
// all; then everything is given up, lastError() is set, and every waiting document is reported complete.
//
// Progress: the bytes uploaded are those of confirmed files plus, for each batch on its way, its files' bytes
// in proportion to the part of its request body sent. A batch keeps the most it was ever credited, so a retry
// adds nothing until it passes the failed attempt; the bytes of a batch dropped by a cancel or a give-up stay
// counted, in the uploaded bytes and in the total alike, until the next beginTracking(). So the uploaded
// bytes never decrease, and they equal the total once nothing is left to send.
//
// Main thread only. The request bodies are built and sent off the main thread by BlockRequester, and the
// queue files are written on a worker of the manager's own.
class ZERI_AssetUploadManager {
public:
    static constexpr qint64 kMaxBatchBytes = 1048576;
    static constexpr int kMaxBatchFiles = 5;
    static constexpr int kMaxAttempts = 5;
    // Batches on their way at once: one connection per batch keeps a fast line busy while the service
    // answers the batch before.
    static constexpr int kMaxBatchesInFlight = 4;
    static constexpr double kDefaultRetryInterval = 4.0;

    static constexpr const char* kErrorDomain = "ZERI_AssetUploadManagerError";
    enum ErrorCode { NotSignedIn = 1, UploadFailed = 2 };

    // Over "<Application Support>/Tessarine/uploadqueue".
    static ZERI_AssetUploadManager& sharedInstance();
    static QString defaultQueueFolder();

    // Reads the queue kept in `queueFolder` and resumes it at the next turn of the event loop.
    explicit ZERI_AssetUploadManager(const QString& queueFolder);
    ~ZERI_AssetUploadManager();
    ZERI_AssetUploadManager(const ZERI_AssetUploadManager&) = delete;
    ZERI_AssetUploadManager& operator=(const ZERI_AssetUploadManager&) = delete;

    void setDelegate(ZERI_AssetUploadManagerDelegate* delegate) { m_delegate = delegate; }
    ZERI_AssetUploadManagerDelegate* delegate() const { return m_delegate; }

    // Queues every asset of the document that has a local file and no content id yet, or whose content id this
    // manager got for a file the asset no longer uses. Assets whose file was already sent (by an earlier run)
    // get their content id at once instead. Only regular files are sent, never links, and for a document kept in
    // a package only files inside that package; any other is skipped (logged) like a missing file.
    void enqueueAllContentAssetsForModel(const std::shared_ptr<ZERI_TessarineModel>& model);
    // Starts counting progress from zero over what is queued (and what is queued later).
    void beginTracking();
    // Files queued or being sent.
    bool hasAssets() const;
    // Sends the next batches, up to kMaxBatchesInFlight at a time (a batch waiting for its retry counts);
    // reports completions when nothing is left.
    void startNextUploadIfNeeded();
    // Cancels the request on its way and any retry, and empties the queue (also on disk). No completion is
    // reported for the documents that were waiting.
    void cancelUploadsAndClearQueue();

    bool isUploading() const;
    // Whether files of the document (by its id) are queued or on their way, so that a completion will be reported.
    bool isWaitingForDocument(const QString& documentID) const { return m_waitingDocuments.contains(documentID); }
    // Forgets every upload result (the content ids and addresses of files sent), on disk too: they belong to the
    // user who sent them, and go when that user signs out.
    void forgetUploadResults();
    Error lastError() const { return m_lastError; }
    // Files queued or being sent.
    int queuedFileCount() const;

    // The service's address of an uploaded content item; empty when unknown.
    QString remoteURLForContentID(const QString& contentID) const;
    // The address a person elsewhere can open for the asset: its own web address (ZERI_ContentAsset::webURL),
    // else, for an asset of a draft written before assets kept their remote address, the address this manager
    // got for its content id; empty when the file never reached the service.
    QUrl webURLOf(const ZERI_ContentAsset& asset) const;
    // A document's dictionary form in which every asset with a known content id points at its remote
    // address ("externalURL"), as the service and other machines need it. The assets' own "remoteURL" records
    // serve where the manager knows no address, and are left out: the service's copy has the form it always had.
    // An address of a file on this computer that never reached the service is left out too (logged).
    QJsonObject jsonWithRemoteURLs(const QJsonObject& documentDictionary) const;

    double retryInterval() const { return m_retryInterval; }
    void setRetryInterval(double seconds);

private:
    struct AssetRef {
        QString documentID;
        QString assetID;
    };
    struct Entry {
        QString filePath;
        qint64 size = 0;
        QList<AssetRef> assets;
        // Read from the saved queue: checked again before it is sent (the file on disk proves nothing).
        bool resumed = false;
    };
    struct Uploaded {
        QString contentID;
        QString url;
        QString filePath;
        qint64 size = 0;
    };

    void load();
    void saveQueue() const;
    void saveUploaded() const;
    struct Batch {
        QList<Entry> entries;
        std::shared_ptr<BlockRequester> requester; // null while its retry waits
        int attempts = 0;                          // failed attempts so far
        quint64 bytes = 0;                         // of its files, as queued
        quint64 bytesSent = 0;                     // the most any attempt got across, at most `bytes`
    };

    void startBatch();
    void sendBatch(const std::shared_ptr<Batch>& batch);
    void onReply(const std::shared_ptr<Batch>& batch, const QString& reply);
    void retryOrGiveUp(const std::shared_ptr<Batch>& batch, const Error& error);
    void giveUp(const Error& error);
    void stopEverything();
    QList<Entry> allEntries() const; // batches first, then the queue: the order files are sent in
    void applyResult(const AssetRef& ref, const Uploaded& uploaded);
    void onBatchProgress(const std::shared_ptr<Batch>& batch, qint64 bodySent, qint64 bodyTotal);
    void reportProgress();
    void reportFinishedDocuments();
    QString queueFilePath() const;
    QString uploadedFilePath() const;

    const QString m_folder;
    ZERI_AssetUploadManagerDelegate* m_delegate = nullptr;
    QList<Entry> m_queue; // not yet in a batch
    QList<std::shared_ptr<Batch>> m_batches;
    std::unique_ptr<QObject> m_retryContext; // scheduled retries; replaced to drop them
    std::unique_ptr<WorkerThreads> m_writer; // one thread: queue and result files, written in order
    QHash<QString, std::weak_ptr<ZERI_TessarineModel>> m_waitingDocuments; // by document id
    QHash<QString, Uploaded> m_uploadedByAsset;                            // by asset id
    QHash<QString, QString> m_urlByContentID;
    quint64 m_bytesUploaded = 0;
    quint64 m_bytesAbandoned = 0; // sent in batches that were then dropped (see Progress)
    quint64 m_filesUploaded = 0;
    Error m_lastError;
    double m_retryInterval = kDefaultRetryInterval;
};
