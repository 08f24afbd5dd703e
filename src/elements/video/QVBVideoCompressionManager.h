#pragma once

#include <deque>
#include <memory>
#include <vector>

#include <QElapsedTimer>
#include <QString>

#include "platform/Error.h"
#include "tessarine_data_model/VideoCompressionManager.h"

class SerialDispatchQueue;
class VideoAssetCompressor;

// The per-document queue of video re-encodings: the document's video assets are re-encoded one at a time, in
// the order they were queued, and each re-encoded movie replaces its asset's source file.
//
// Every step is posted on the default notification centre with the content asset as sender and the manager
// under kVideoAssetCompressionManager (a VideoCompressionManager*) in the userInfo.
//
// Enqueueing stores the preset on the asset at once, so that an asset dropped before its turn (a closing window's
// cancelEverything()) is resumed at the next opening. The file (its size and duration) is measured on a worker:
// the asset joins the queue at once, marked as being measured (hasAsset() is true and contentAssetCount() counts
// it); "Queued" or "EnqueueAborted" is posted when the measurement arrives, and no run starts on an asset still
// being measured.
//
// Interruptions: a run stopped mid-file by neither a cancel nor a fault of the file ends with an error of code
// kOperationInterruptedCode (here: the output taken away while it was written, MediaAssetWriter). The asset keeps
// its preset and goes back to the head of the queue without a notification, so it runs again next. An asset
// interrupted kMaxInterruptionsInARow times in a row ends with the did-end notification and that error instead,
// keeping its preset for the next opening: whatever keeps taking the output must not keep the queue busy forever.
// Closing a window, signing out and quitting cancel (cancelEverything()); they are not interruptions, because an
// interrupted run starts again at once.
//
// Files: the output "<asset folder>/<new id>.mov" is counted in AssetFileReferences before the run starts, so a
// package clean never removes it mid-run; the count is released once the output is removed or, after a success,
// once the draft that names it has been written. A run that does not succeed (error, cancel, the manager's destruction)
// leaves no output (an interrupted one leaves alone whatever another program put at its path). On success the asset
// names the output and loses its preset; then, in later turns of the event loop, the draft is written and only after
// that is the source deleted (by the storage's rule: when no other asset and no undo step uses it). The next run starts
// from the event loop too, so no turn of the main thread carries the whole hand-over. A cancelled asset keeps its
// source, URL and preset, so the next resumeCompressionForAssetsOfDataModelItem() queues it again.
//
// Main thread only.
class QVBVideoCompressionManager : public VideoCompressionManager,
                                   public std::enable_shared_from_this<QVBVideoCompressionManager> {
public:
    inline static const QString queuedNotification = QStringLiteral("ContentAssetVideoCompressionQueuedNotification");
    inline static const QString enqueueAbortedNotification =
        QStringLiteral("ContentAssetVideoCompressionEnqueueAbortedNotification");
    inline static const QString willBeginNotification =
        QStringLiteral("ContentAssetVideoCompressionWillBeginNotification");
    inline static const QString didProgressNotification =
        QStringLiteral("ContentAssetVideoCompressionDidProgressNotification");
    inline static const QString didEndNotification = QStringLiteral("ContentAssetVideoCompressionDidEndNotification");
    // userInfo keys: the manager (VideoCompressionManager*), the error of a failed run (Error), and a number that
    // identifies the run within the process, so that several observers of one did-end can tell it is one event.
    inline static const QString kVideoAssetCompressionManager = QStringLiteral("kVideoAssetCompressionManager");
    inline static const QString kVidoeAssetCompressionError = QStringLiteral("kVidoeAssetCompressionError");
    inline static const QString kVideoAssetCompressionRun = QStringLiteral("kVideoAssetCompressionRun");

    // The code of an interrupted run's error (only the code is compared, not the domain).
    static constexpr int kOperationInterruptedCode = -11847;
    static constexpr int kMaxInterruptionsInARow = 3;

    // Progress is posted at most this often; the last value before a run ends is always posted.
    static constexpr qint64 kProgressPostIntervalMs = 50;

    static std::shared_ptr<QVBVideoCompressionManager>
    create(const std::shared_ptr<ZERI_TessarineModel>& document = nullptr);
    ~QVBVideoCompressionManager() override;

    // Makes this the documents' compression manager (VideoCompressionManager::registerFactory).
    static void registerWithDocumentModel();
    // Every manager alive: whether any has a video to re-encode (running or waiting), and cancelling all of them
    // (quitting).
    static bool anyManagerIsCompressing();
    static void cancelEverythingEverywhere();

    // VideoCompressionManager
    void enqueueCompressionForContentAsset(const std::shared_ptr<ZERI_ContentAsset>& asset,
                                           const std::shared_ptr<VideoAssetCompressorPreset>& preset) override;
    void cancelCompressionForContentAsset(const std::shared_ptr<ZERI_ContentAsset>& asset) override;
    void resumeCompressionForAssetsOfDataModelItem(const std::shared_ptr<TessarineDataModelItem>& item) override;
    void cancelEverything() override;
    bool hasAsset(const std::shared_ptr<ZERI_ContentAsset>& asset) const override;
    int contentAssetCount() const override;
    double progress() const override { return m_progress; }
    std::shared_ptr<ZERI_ContentAsset> currentlyCompressingAsset() const override { return m_current; }

    // The waiting assets, in order (those still being measured included).
    std::vector<std::shared_ptr<ZERI_ContentAsset>> assetsToCompress() const;
    bool isMeasuring(const std::shared_ptr<ZERI_ContentAsset>& asset) const;
    VideoAssetCompressor& compressor() { return *m_compressor; }
    // Where the running re-encoding writes; empty while idle.
    QString currentOutputPath() const { return m_outputPath; }

    // The output's expected size in bits: the preset's bit rate (as a 32-bit integer) times the file's duration.
    // 0 without a preset or bit rate, and for a file whose duration is unknown, not a number or infinite. Reads
    // the file: call it off the main thread.
    static qint64 compressedSizeOfFile(const QString& path, const std::shared_ptr<VideoAssetCompressorPreset>& preset);
    static qint64 estimateFromDuration(double seconds, const std::shared_ptr<VideoAssetCompressorPreset>& preset);

private:
    struct Entry {
        std::shared_ptr<ZERI_ContentAsset> asset;
        bool measuring = true;
        quint64 ticket = 0;
        int interruptions = 0; // runs of this asset interrupted in a row
    };
    struct Measurement {
        bool usable = false; // a local, existing, regular file
        qint64 fileBytes = 0;
        qint64 estimateBits = 0;
    };

    explicit QVBVideoCompressionManager(const std::shared_ptr<ZERI_TessarineModel>& document);
    void onMeasured(quint64 ticket, const Measurement& measurement);
    void startNextCompressionIfNeeded();
    void scheduleNextCompression();
    void onCompressionProgressed(float progress);
    void onCompressionComplete(const std::optional<Error>& error);
    void onCancelled();
    static void replaceSource(const std::shared_ptr<ZERI_TessarineModel>& document,
                              const std::shared_ptr<ZERI_ContentAsset>& source, const QString& output);
    void postProgress();
    void post(const QString& name, const std::shared_ptr<ZERI_ContentAsset>& asset,
              const std::optional<Error>& error = std::nullopt);
    void removeOutput();
    void releaseOutput();
    bool usableSource(const ZERI_ContentAsset& asset, QString* folder) const;
    std::deque<Entry>::iterator find(const ZERI_ContentAsset* asset);
    std::deque<Entry>::const_iterator find(const ZERI_ContentAsset* asset) const;

    std::weak_ptr<ZERI_TessarineModel> m_document;
    std::unique_ptr<VideoAssetCompressor> m_compressor;
    std::unique_ptr<SerialDispatchQueue> m_measureQueue;
    std::deque<Entry> m_assetsToCompress;
    std::shared_ptr<ZERI_ContentAsset> m_current;
    QString m_outputPath; // counted in AssetFileReferences while set
    bool m_cancelling = false;
    int m_currentInterruptions = 0;
    double m_progress = 0;
    bool m_progressPending = false;
    QElapsedTimer m_lastProgressPost;
    quint64 m_nextTicket = 1;
    qint64 m_run = 0;
};
