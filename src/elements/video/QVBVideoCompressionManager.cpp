#include "elements/video/QVBVideoCompressionManager.h"

#include <cmath>
#include <limits>
#include <utility>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <QVariant>

#include "elements/video/MediaAsset.h"
#include "elements/video/SerialDispatchQueue.h"
#include "elements/video/VideoAssetCompressor.h"
#include "elements/video/VideoLogging.h"
#include "foundation/Tessutils.h"
#include "platform/MainThread.h"
#include "platform/NotificationCenter.h"
#include "storage/AssetFileReferences.h"
#include "storage/ContentAssetStorage.h"
#include "tessarine_data_model/VideoAssetCompressorPreset.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

// Managers alive, for the application's quit path. Main thread only.
std::vector<std::weak_ptr<QVBVideoCompressionManager>>& liveManagers()
{
    static std::vector<std::weak_ptr<QVBVideoCompressionManager>> managers;
    return managers;
}

std::vector<std::shared_ptr<QVBVideoCompressionManager>> lockedLiveManagers()
{
    std::vector<std::shared_ptr<QVBVideoCompressionManager>> result;
    auto& managers = liveManagers();
    std::erase_if(managers, [](const auto& weak) { return weak.expired(); });
    for (const auto& weak : managers) {
        if (auto manager = weak.lock())
            result.push_back(std::move(manager));
    }
    return result;
}

QString cleanPath(const QString& path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

} // namespace

std::shared_ptr<QVBVideoCompressionManager>
QVBVideoCompressionManager::create(const std::shared_ptr<ZERI_TessarineModel>& document)
{
    std::shared_ptr<QVBVideoCompressionManager> manager(new QVBVideoCompressionManager(document));
    liveManagers().push_back(manager);
    return manager;
}

QVBVideoCompressionManager::QVBVideoCompressionManager(const std::shared_ptr<ZERI_TessarineModel>& document)
    : m_document(document)
    , m_compressor(std::make_unique<VideoAssetCompressor>())
{
    // The blocks die with the compressor, which the manager owns and destroys first.
    m_compressor->setOnDoneBlock([this](const std::optional<Error>& error) { onCompressionComplete(error); });
    m_compressor->setOnProgressBlock([this](float progress) { onCompressionProgressed(progress); });
}

QVBVideoCompressionManager::~QVBVideoCompressionManager()
{
    m_compressor->setOnDoneBlock({});
    m_compressor->setOnProgressBlock({});
    // Stops a running re-encoding and waits for its workers; its pending callbacks are dropped.
    m_compressor.reset();
    m_measureQueue.reset();
    // Whatever the run wrote is incomplete or was never taken over by the asset.
    removeOutput();
}

void QVBVideoCompressionManager::registerWithDocumentModel()
{
    VideoCompressionManager::registerFactory(
        [](const std::shared_ptr<ZERI_TessarineModel>& document) -> std::shared_ptr<VideoCompressionManager> {
            return create(document);
        });
}

bool QVBVideoCompressionManager::anyManagerIsCompressing()
{
    // A video waiting its turn counts: between two runs none is current for a moment, and quitting then would
    // stop the next one all the same.
    for (const auto& manager : lockedLiveManagers()) {
        if (manager->contentAssetCount() > 0)
            return true;
    }
    return false;
}

void QVBVideoCompressionManager::cancelEverythingEverywhere()
{
    for (const auto& manager : lockedLiveManagers())
        manager->cancelEverything();
}

std::deque<QVBVideoCompressionManager::Entry>::iterator QVBVideoCompressionManager::find(const ZERI_ContentAsset* asset)
{
    return std::find_if(m_assetsToCompress.begin(), m_assetsToCompress.end(),
                        [asset](const Entry& entry) { return entry.asset.get() == asset; });
}

std::deque<QVBVideoCompressionManager::Entry>::const_iterator
QVBVideoCompressionManager::find(const ZERI_ContentAsset* asset) const
{
    return std::find_if(m_assetsToCompress.begin(), m_assetsToCompress.end(),
                        [asset](const Entry& entry) { return entry.asset.get() == asset; });
}

bool QVBVideoCompressionManager::hasAsset(const std::shared_ptr<ZERI_ContentAsset>& asset) const
{
    return asset && (asset == m_current || find(asset.get()) != m_assetsToCompress.end());
}

bool QVBVideoCompressionManager::isMeasuring(const std::shared_ptr<ZERI_ContentAsset>& asset) const
{
    const auto it = find(asset.get());
    return asset && it != m_assetsToCompress.end() && it->measuring;
}

int QVBVideoCompressionManager::contentAssetCount() const
{
    return int(m_assetsToCompress.size()) + (m_current ? 1 : 0);
}

std::vector<std::shared_ptr<ZERI_ContentAsset>> QVBVideoCompressionManager::assetsToCompress() const
{
    std::vector<std::shared_ptr<ZERI_ContentAsset>> assets;
    for (const Entry& entry : m_assetsToCompress)
        assets.push_back(entry.asset);
    return assets;
}

qint64 QVBVideoCompressionManager::estimateFromDuration(double seconds,
                                                        const std::shared_ptr<VideoAssetCompressorPreset>& preset)
{
    if (!preset || !preset->bitrate() || !std::isfinite(seconds))
        return 0;
    const double bits = double(qint32(*preset->bitrate())) * seconds;
    if (!std::isfinite(bits) || std::abs(bits) >= double(std::numeric_limits<qint64>::max()))
        return 0;
    return qint64(bits);
}

qint64 QVBVideoCompressionManager::compressedSizeOfFile(const QString& path,
                                                        const std::shared_ptr<VideoAssetCompressorPreset>& preset)
{
    if (!preset || !preset->bitrate())
        return 0;
    const auto asset = MediaAsset::assetWithURL(QUrl::fromLocalFile(path));
    if (!asset || !asset->loadValues(nullptr) || !asset->duration().isValid())
        return 0;
    return estimateFromDuration(asset->duration().seconds(), preset);
}

bool QVBVideoCompressionManager::usableSource(const ZERI_ContentAsset& asset, QString* folder) const
{
    const QString path = asset.localFilePath();
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return false;
    // Without an asset folder the output would have nowhere to go.
    const QString assets = asset.assetStoragePath();
    if (assets.isEmpty() || !QFileInfo(assets).isDir())
        return false;
    if (folder)
        *folder = assets;
    return true;
}

void QVBVideoCompressionManager::enqueueCompressionForContentAsset(
    const std::shared_ptr<ZERI_ContentAsset>& asset, const std::shared_ptr<VideoAssetCompressorPreset>& preset)
{
    if (!asset || hasAsset(asset))
        return;
    Entry entry;
    entry.asset = asset;
    entry.ticket = m_nextTicket++;
    m_assetsToCompress.push_back(entry);
    // Recorded before the measurement: whatever happens to the queue meanwhile, the next opening resumes it.
    asset->setVideoCompressionPreset(preset);

    const QString path = asset->localFilePath();
    const quint64 ticket = entry.ticket;
    // The worker reads its own copy: presets are plain records that the main thread may change.
    const auto presetCopy = preset ? std::make_shared<VideoAssetCompressorPreset>(*preset) : nullptr;
    std::weak_ptr<QVBVideoCompressionManager> weakSelf = weak_from_this();
    // Made on first use: most documents never queue a video.
    if (!m_measureQueue)
        m_measureQueue = std::make_unique<SerialDispatchQueue>(QStringLiteral("video compression measuring"));
    m_measureQueue->async([path, presetCopy, ticket, weakSelf] {
        Measurement measurement;
        const QFileInfo info(path);
        if (!path.isEmpty() && info.isFile()) {
            measurement.usable = true;
            measurement.fileBytes = info.size();
            measurement.estimateBits = compressedSizeOfFile(path, presetCopy);
        }
        MainThread::run(
            [weakSelf, ticket, measurement] {
                if (auto self = weakSelf.lock())
                    self->onMeasured(ticket, measurement);
            },
            false);
    });
}

void QVBVideoCompressionManager::onMeasured(quint64 ticket, const Measurement& measurement)
{
    const auto it = std::find_if(m_assetsToCompress.begin(), m_assetsToCompress.end(),
                                 [ticket](const Entry& entry) { return entry.ticket == ticket; });
    if (it == m_assetsToCompress.end())
        return; // cancelled while it was being measured
    const auto asset = it->asset;
    if (!measurement.usable || !usableSource(*asset, nullptr)) {
        // Remote, missing, a folder, or a document without an asset folder: dropped without a word.
        qCInfo(lcVideo) << "not compressing" << asset->externalURL().toString() << "- no local file to read";
        m_assetsToCompress.erase(it);
        startNextCompressionIfNeeded();
        return;
    }
    if (measurement.estimateBits != 0 && measurement.fileBytes * 8 <= measurement.estimateBits) {
        m_assetsToCompress.erase(it);
        asset->setVideoCompressionPreset(nullptr);
        post(enqueueAbortedNotification, asset);
        startNextCompressionIfNeeded();
        return;
    }
    it->measuring = false;
    post(queuedNotification, asset);
    startNextCompressionIfNeeded();
}

void QVBVideoCompressionManager::resumeCompressionForAssetsOfDataModelItem(
    const std::shared_ptr<TessarineDataModelItem>& item)
{
    if (!item)
        return;
    for (const auto& asset : item->getAllContentAssets()) {
        if (const auto preset = asset->videoCompressionPreset())
            enqueueCompressionForContentAsset(asset, preset);
    }
}

void QVBVideoCompressionManager::startNextCompressionIfNeeded()
{
    while (!m_current && !m_assetsToCompress.empty() && !m_assetsToCompress.front().measuring) {
        const auto asset = m_assetsToCompress.front().asset;
        const int interruptions = m_assetsToCompress.front().interruptions;
        m_assetsToCompress.pop_front();
        QString folder;
        if (!usableSource(*asset, &folder)) {
            qCInfo(lcVideo) << "not compressing" << asset->externalURL().toString() << "- its file is gone";
            continue;
        }
        m_currentInterruptions = interruptions;
        m_current = asset;
        m_cancelling = false;
        m_progressPending = false;
        m_outputPath = cleanPath(QDir(folder).filePath(Tessutils::generateUniversalID() + QStringLiteral(".mov")));
        // Counted before the file exists: a package clean during the run must not take it.
        AssetFileReferences::retainFile(m_outputPath);
        m_compressor->setPreset(asset->videoCompressionPreset());
        m_compressor->setInputURL(asset->externalURL());
        m_compressor->setOutputURL(QUrl::fromLocalFile(m_outputPath));
        // Numbered across all managers, so that a run number never comes back in this process.
        static qint64 runs = 0;
        m_run = ++runs;
        post(willBeginNotification, asset);
        // An observer may have cancelled it already.
        if (m_current != asset || m_cancelling)
            return;
        m_lastProgressPost.invalidate();
        m_compressor->start();
        return;
    }
}

void QVBVideoCompressionManager::onCompressionProgressed(float progress)
{
    if (!m_current)
        return;
    m_progress = progress;
    m_progressPending = true;
    if (!m_lastProgressPost.isValid() || m_lastProgressPost.elapsed() >= kProgressPostIntervalMs)
        postProgress();
}

void QVBVideoCompressionManager::postProgress()
{
    m_progressPending = false;
    m_lastProgressPost.start();
    post(didProgressNotification, m_current);
}

void QVBVideoCompressionManager::releaseOutput()
{
    if (m_outputPath.isEmpty())
        return;
    AssetFileReferences::releaseFile(std::exchange(m_outputPath, QString()));
}

void QVBVideoCompressionManager::removeOutput()
{
    if (m_outputPath.isEmpty())
        return;
    const QString path = m_outputPath;
    m_outputPath.clear();
    if (QFileInfo::exists(path) && !QFile::remove(path))
        qCWarning(lcVideo) << "cannot remove the unfinished re-encoding" << path;
    AssetFileReferences::releaseFile(path);
}

void QVBVideoCompressionManager::onCompressionComplete(const std::optional<Error>& compressorError)
{
    const auto asset = m_current; // kept alive through the steps and the notification
    if (!asset)
        return;
    if (m_cancelling) {
        // A cancel asked for before the compressor had started: treat the ending as the cancel.
        onCancelled();
        return;
    }
    if (m_progressPending)
        postProgress();

    std::optional<Error> error = compressorError;
    const QString output = m_outputPath;
    if (!error && QFileInfo(output).size() <= 0) {
        error = Error(VideoAssetCompressor::kDomain, 1,
                      QStringLiteral("The re-encoded movie %1 is missing or empty").arg(output));
    }

    if (error && error->code == kOperationInterruptedCode && m_currentInterruptions + 1 < kMaxInterruptionsInARow) {
        // Whatever is at the output's path now is not this run's: it stays.
        qCInfo(lcVideo).noquote() << "compressing" << asset->localFilePath()
                                  << "was interrupted; it runs again:" << error->description();
        releaseOutput();
        Entry entry;
        entry.asset = asset;
        entry.measuring = false;
        entry.ticket = m_nextTicket++;
        entry.interruptions = m_currentInterruptions + 1;
        m_assetsToCompress.push_front(entry);
        m_current.reset();
        scheduleNextCompression();
        return;
    }

    if (!error) {
        const auto document = asset->tessarineModel() ? asset->tessarineModel() : m_document.lock();
        const auto source = asset->copy(); // still names the source file
        asset->setExternalURL(QUrl::fromLocalFile(output));
        asset->setVideoCompressionPreset(nullptr);
        // The output's count now goes with the replacement, which lets go of it once the draft names the output.
        m_outputPath.clear();
        replaceSource(document, source, output);
    } else if (error->code == kOperationInterruptedCode) {
        // Interrupted once too often: reported, but not the file's fault, so the next opening tries again.
        qCWarning(lcVideo).noquote() << "compressing" << asset->localFilePath() << "was interrupted"
                                     << kMaxInterruptionsInARow << "times in a row:" << error->description();
        releaseOutput();
    } else {
        qCWarning(lcVideo).noquote() << "compressing" << asset->localFilePath() << "failed:" << error->description();
        removeOutput();
        asset->setVideoCompressionPreset(nullptr);
    }

    m_current.reset();
    post(didEndNotification, asset, error);
    scheduleNextCompression();
}

void QVBVideoCompressionManager::scheduleNextCompression()
{
    // The next run starts from the event loop, after a replacement's draft is written: the main thread never
    // does the whole hand-over in one go.
    std::weak_ptr<QVBVideoCompressionManager> weakSelf = weak_from_this();
    MainThread::run(
        [weakSelf] {
            if (auto self = weakSelf.lock())
                self->startNextCompressionIfNeeded();
        },
        false);
}

void QVBVideoCompressionManager::replaceSource(const std::shared_ptr<ZERI_TessarineModel>& document,
                                               const std::shared_ptr<ZERI_ContentAsset>& source, const QString& output)
{
    // Two turns of the event loop: the draft, then the source. The source goes only once a draft naming the
    // output is on disk, so a crash at any point loses nothing. This needs the document, not the manager.
    std::weak_ptr<ZERI_TessarineModel> weakDocument = document;
    MainThread::run(
        [weakDocument, source, output] {
            const auto owner = weakDocument.lock();
            Error saveError;
            const bool saved = owner && owner->saveToFile(&saveError);
            AssetFileReferences::releaseFile(output);
            if (!saved) {
                qCWarning(lcVideo).noquote() << "keeping the source" << source->localFilePath()
                                             << "- the draft cannot be saved:" << saveError.description();
                return;
            }
            MainThread::run(
                [weakDocument, source] {
                    if (const auto current = weakDocument.lock())
                        ContentAssetStorage::deleteFileAndCancelCompression(source, false, current);
                },
                false);
        },
        false);
}

void QVBVideoCompressionManager::onCancelled()
{
    // A cancel that came while the writer was finishing leaves the finished file: it is not the asset's.
    removeOutput();
    m_cancelling = false;
    m_progressPending = false;
    m_current.reset();
    startNextCompressionIfNeeded();
}

void QVBVideoCompressionManager::cancelCompressionForContentAsset(const std::shared_ptr<ZERI_ContentAsset>& asset)
{
    if (!asset)
        return;
    const auto it = find(asset.get());
    if (it != m_assetsToCompress.end()) {
        m_assetsToCompress.erase(it);
        return;
    }
    if (asset != m_current || m_cancelling)
        return;
    m_cancelling = true;
    if (!m_compressor->isActive()) {
        // Cancelled from a will-begin observer, before the run started.
        onCancelled();
        return;
    }
    std::weak_ptr<QVBVideoCompressionManager> weakSelf = weak_from_this();
    m_compressor->cancel([weakSelf] {
        if (auto self = weakSelf.lock())
            self->onCancelled();
    });
}

void QVBVideoCompressionManager::cancelEverything()
{
    const auto queued = assetsToCompress();
    for (const auto& asset : queued)
        cancelCompressionForContentAsset(asset);
    if (m_current)
        cancelCompressionForContentAsset(m_current);
}

void QVBVideoCompressionManager::post(const QString& name, const std::shared_ptr<ZERI_ContentAsset>& asset,
                                      const std::optional<Error>& error)
{
    QVariantMap userInfo;
    userInfo.insert(kVideoAssetCompressionManager, QVariant::fromValue(static_cast<VideoCompressionManager*>(this)));
    userInfo.insert(kVideoAssetCompressionRun, QVariant::fromValue(m_run));
    if (error)
        userInfo.insert(kVidoeAssetCompressionError, QVariant::fromValue(*error));
    NotificationCenter::defaultCenter().post(name, asset.get(), userInfo);
}
