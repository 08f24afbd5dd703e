#include "service/ZERI_AssetUploadManager.h"

#include <optional>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QTimer>

#include "foundation/Tessutils.h"
#include "platform/AppPaths.h"
#include "platform/AtomicFile.h"
#include "platform/OwnFiles.h"
#include "platform/WorkerThreads.h"
#include "platform/Json.h"
#include "service/ServiceLogging.h"
#include "service/ServiceReply.h"
#include "service/ZERI_APIBinding.h"
#include "storage/PackageFileGuard.h"
#include "storage/UntrustedAddresses.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "tessarine_data_model/DocumentFilePackage.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

// A queue of records is small; a file far larger is not one the application wrote.
constexpr qint64 kLargestQueueFile = 64 * 1024 * 1024;
const QString kPath = QStringLiteral("path");
const QString kSize = QStringLiteral("size");
const QString kAssets = QStringLiteral("assets");
const QString kDocument = QStringLiteral("document");
const QString kAsset = QStringLiteral("asset");
const QString kContentID = QStringLiteral("content_id");
const QString kURL = QStringLiteral("url");

std::optional<QJsonValue> readJsonFile(const QString& path)
{
    // Never read through a link put in the file's place: OwnFiles sets it aside first.
    Error error;
    const std::optional<QByteArray> data = OwnFiles::read(path, kLargestQueueFile, &error);
    if (!data) {
        if (!error.isNull())
            qCWarning(lcService) << "cannot read" << path << error.message;
        return std::nullopt;
    }
    auto value = Json::read(*data, &error);
    if (!value) {
        // Set aside rather than overwritten at the next save, so nothing is lost for good.
        qCWarning(lcService) << "unreadable upload queue file set aside:" << path << error.message;
        QFile::remove(path + QStringLiteral(".unreadable"));
        QFile::rename(path, path + QStringLiteral(".unreadable"));
    }
    return value;
}

// Files are synced to disk when written, which can take tens of milliseconds; the writes go to one worker
// thread, in order, so the main thread never waits for the disk during an upload.
void writeJsonFile(WorkerThreads& writer, const QString& path, const QJsonValue& value)
{
    writer.post([path, data = Json::write(value)] {
        Error error;
        if (!OwnFiles::write(path, data, &error))
            qCWarning(lcService) << "cannot write" << path << error.message;
    });
}

bool isWebAddress(const QString& text)
{
    return UntrustedAddresses::isWebAddress(QUrl(text, QUrl::StrictMode));
}

// Rewrites "externalURL" of every asset dictionary (recognised by its "corvikContentID") whose content id
// has a known remote address. An address of a file on this computer that is left (a file that never reached the
// service) is dropped and counted in `localLeft`: nobody else can open it, and the service's readers refuse it.
QJsonValue withRemoteURLs(const QJsonValue& value, const QHash<QString, QString>& urlByContentID, int& localLeft)
{
    if (value.isArray()) {
        QJsonArray array = value.toArray();
        for (qsizetype i = 0; i < array.size(); ++i)
            array[i] = withRemoteURLs(array[i], urlByContentID, localLeft);
        return array;
    }
    if (!value.isObject())
        return value;
    QJsonObject object = value.toObject();
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (it.value().isObject() || it.value().isArray())
            it.value() = withRemoteURLs(it.value(), urlByContentID, localLeft);
    }
    const QString contentID = object.value(QStringLiteral("corvikContentID")).toString();
    // The asset's own record of its remote address serves when this manager has none (its results were sent
    // from another queue folder); the service's copy keeps the form it always had, with the address in
    // "externalURL" alone.
    const QString ownRemote = object.take(QStringLiteral("remoteURL")).toString();
    if (!contentID.isEmpty() && urlByContentID.contains(contentID))
        object.insert(QStringLiteral("externalURL"), urlByContentID.value(contentID));
    else if (!contentID.isEmpty() && isWebAddress(ownRemote))
        object.insert(QStringLiteral("externalURL"), ownRemote);
    if (const auto external = object.constFind(QStringLiteral("externalURL"));
        external != object.constEnd() && QUrl(external->toString()).isLocalFile()) {
        object.remove(QStringLiteral("externalURL"));
        ++localLeft;
    }
    return object;
}

// The folder a document's files must lie in to be sent: its package's. None for a document kept in no package.
std::optional<QString> uploadFolderOf(const ZERI_TessarineModel& document)
{
    const auto package = document.filePackage();
    if (!package)
        return std::nullopt;
    return QFileInfo(QDir::cleanPath(package->assetStoragePath())).path();
}

// Whether the file a document names may leave the machine: a regular file, not a link, with no name outside the
// application's folders (a hard link to a file of the user's is refused as a link is), and, for a document kept in
// a package, inside that package (`folder`). A draft copied in from elsewhere (or edited by hand) could otherwise
// name any file of the user's, directly or through a link, and publishing would upload it.
bool mayUpload(const QFileInfo& file, const std::optional<QString>& folder, OwnFiles::NameCensus& census)
{
    if (file.isSymLink()) {
        qCWarning(lcService) << "not uploading the asset file" << file.filePath() << "- it is a link";
        return false;
    }
    if (!census.allNamesOwn(file.filePath())) {
        qCWarning(lcService) << "not uploading the asset file" << file.filePath()
                             << "- it is a second name of a file elsewhere";
        return false;
    }
    if (folder && !UntrustedAddresses::isInsideFolder(file.filePath(), *folder)) {
        qCWarning(lcService) << "not uploading the asset file" << file.filePath()
                             << "- it lies outside the document's package";
        return false;
    }
    return true;
}

// Whether a file named by the saved queue may be sent: the queue file is only a record on disk, which anybody able
// to write the application's folder could have written. The file must pass what queuing it required: a regular
// file, not a link, inside the folder of a listed package of one of the documents it was queued for.
bool mayResume(const QString& path, const QStringList& documentIDs)
{
    for (const QString& documentID : documentIDs) {
        const auto package = ZERI_qvdFilePackage::packageForID(documentID);
        if (package && PackageFileGuard::isInsidePackage(*package, path))
            return true;
    }
    qCWarning(lcService) << "not uploading the saved queue's file" << path
                         << "- it lies outside the packages of its documents";
    return false;
}

} // namespace

ZERI_AssetUploadManager& ZERI_AssetUploadManager::sharedInstance()
{
    static ZERI_AssetUploadManager instance(defaultQueueFolder());
    return instance;
}

QString ZERI_AssetUploadManager::defaultQueueFolder()
{
    return AppPaths::applicationSupport() + QStringLiteral("/Tessarine/uploadqueue");
}

ZERI_AssetUploadManager::ZERI_AssetUploadManager(const QString& queueFolder)
    : m_folder(queueFolder)
    , m_retryContext(std::make_unique<QObject>())
    , m_writer(std::make_unique<WorkerThreads>(1, QStringLiteral("upload queue writer")))
{
    // The queue's folder and files are the application's own: a link in their place is set aside, never read or
    // written through.
    OwnFiles::makeFolder(m_folder);
    OwnFiles::setAsideLink(queueFilePath());
    OwnFiles::setAsideLink(uploadedFilePath());
    load();
    if (!m_queue.isEmpty())
        QTimer::singleShot(0, m_retryContext.get(), [this] { startNextUploadIfNeeded(); });
}

ZERI_AssetUploadManager::~ZERI_AssetUploadManager()
{
    for (const auto& batch : std::as_const(m_batches)) {
        if (batch->requester)
            batch->requester->cancel();
    }
    // The last state must be on disk for the next manager over this folder.
    m_writer->finish();
}

QString ZERI_AssetUploadManager::queueFilePath() const
{
    return m_folder + QStringLiteral("/queue.json");
}

QString ZERI_AssetUploadManager::uploadedFilePath() const
{
    return m_folder + QStringLiteral("/uploaded.json");
}

void ZERI_AssetUploadManager::setRetryInterval(double seconds)
{
    m_retryInterval = std::max(0.0, seconds);
}

void ZERI_AssetUploadManager::load()
{
    if (const auto queue = readJsonFile(queueFilePath())) {
        for (const QJsonValue& item : queue->toArray()) {
            const QJsonObject object = item.toObject();
            Entry entry{object.value(kPath).toString(), qint64(object.value(kSize).toDouble()), {}, true};
            for (const QJsonValue& ref : object.value(kAssets).toArray())
                entry.assets.append({ref[kDocument].toString(), ref[kAsset].toString()});
            if (!entry.filePath.isEmpty())
                m_queue.append(entry);
        }
    }
    if (const auto uploaded = readJsonFile(uploadedFilePath())) {
        const QJsonObject byAsset = uploaded->toObject();
        for (auto it = byAsset.begin(); it != byAsset.end(); ++it) {
            const QJsonObject object = it.value().toObject();
            const Uploaded record{object.value(kContentID).toString(), object.value(kURL).toString(),
                                  object.value(kPath).toString(), qint64(object.value(kSize).toDouble())};
            if (record.contentID.isEmpty())
                continue;
            m_uploadedByAsset.insert(it.key(), record);
            m_urlByContentID.insert(record.contentID, record.url);
        }
    }
}

void ZERI_AssetUploadManager::saveQueue() const
{
    QJsonArray queue;
    for (const Entry& entry : allEntries()) {
        QJsonArray assets;
        for (const AssetRef& ref : entry.assets)
            assets.append(QJsonObject{{kDocument, ref.documentID}, {kAsset, ref.assetID}});
        queue.append(QJsonObject{{kPath, entry.filePath}, {kSize, double(entry.size)}, {kAssets, assets}});
    }
    writeJsonFile(*m_writer, queueFilePath(), queue);
}

void ZERI_AssetUploadManager::saveUploaded() const
{
    QJsonObject byAsset;
    for (auto it = m_uploadedByAsset.begin(); it != m_uploadedByAsset.end(); ++it) {
        byAsset.insert(it.key(), QJsonObject{{kContentID, it->contentID},
                                             {kURL, it->url},
                                             {kPath, it->filePath},
                                             {kSize, double(it->size)}});
    }
    writeJsonFile(*m_writer, uploadedFilePath(), byAsset);
}

void ZERI_AssetUploadManager::enqueueAllContentAssetsForModel(const std::shared_ptr<ZERI_TessarineModel>& model)
{
    if (!model)
        return;
    const QString documentID = model->qvdID();
    const std::optional<QString> uploadFolder = uploadFolderOf(*model);
    OwnFiles::NameCensus census;
    bool queuedSomething = false;
    for (const auto& asset : model->getAllContentAssets()) {
        const QString path = asset->localFilePath();
        const QFileInfo info(path);
        if (path.isEmpty() || !info.isFile())
            continue;
        const AssetRef ref{documentID, asset->internalID()};
        const auto done = m_uploadedByAsset.constFind(ref.assetID);
        const bool sameFileSent =
            done != m_uploadedByAsset.constEnd() && done->filePath == path && done->size == info.size();
        if (!asset->corvikContentID().isEmpty()) {
            // A content id is trusted unless this manager sent that id for another file: the asset's file was
            // replaced since (a re-encoded video keeps its asset), and the server copy is out of date.
            const bool stale =
                done != m_uploadedByAsset.constEnd() && done->contentID == asset->corvikContentID() && !sameFileSent;
            if (!stale) {
                // A draft written before assets kept their remote address learns it from this manager's results.
                if (asset->remoteURL().isEmpty() && m_urlByContentID.contains(asset->corvikContentID()))
                    asset->setRemoteURL(QUrl(m_urlByContentID.value(asset->corvikContentID())));
                continue;
            }
        } else if (sameFileSent) {
            // Sent by an earlier run (the document was not loaded then): no second upload.
            asset->setCorvikContentID(done->contentID);
            asset->setRemoteURL(QUrl(done->url));
            continue;
        }
        if (!mayUpload(info, uploadFolder, census))
            continue; // as for a missing file: the asset keeps its address and any content id it has
        // A file on its way in a batch is not sent a second time (the sign-out dialogue enqueues a document whose
        // publish is sending it): the asset takes that batch's result.
        Entry* sending = nullptr;
        for (const auto& batch : std::as_const(m_batches)) {
            for (Entry& candidate : batch->entries) {
                if (candidate.filePath == path)
                    sending = &candidate;
            }
        }
        if (sending) {
            if (std::none_of(sending->assets.begin(), sending->assets.end(),
                             [&](const AssetRef& r) { return r.assetID == ref.assetID; }))
                sending->assets.append(ref);
            queuedSomething = true;
            continue;
        }
        auto entry = std::find_if(m_queue.begin(), m_queue.end(), [&](const Entry& e) { return e.filePath == path; });
        if (entry == m_queue.end()) {
            m_queue.append(Entry{path, info.size(), {ref}});
        } else if (std::none_of(entry->assets.begin(), entry->assets.end(),
                                [&](const AssetRef& r) { return r.assetID == ref.assetID; })) {
            entry->assets.append(ref);
        }
        queuedSomething = true;
    }
    // Only a document with files on their way waits for a completion report: one with nothing to send is
    // saved by its caller at once (hasAssets() is false), and a late report would reach it out of turn.
    if (queuedSomething) {
        m_waitingDocuments.insert(documentID, model);
        saveQueue();
    }
}

void ZERI_AssetUploadManager::beginTracking()
{
    m_bytesUploaded = 0;
    m_bytesAbandoned = 0;
    m_filesUploaded = 0;
    m_lastError = Error();
}

bool ZERI_AssetUploadManager::hasAssets() const
{
    return !m_queue.isEmpty() || !m_batches.isEmpty();
}

bool ZERI_AssetUploadManager::isUploading() const
{
    return std::any_of(m_batches.begin(), m_batches.end(),
                       [](const auto& batch) { return batch->requester != nullptr; });
}

int ZERI_AssetUploadManager::queuedFileCount() const
{
    qsizetype count = m_queue.size();
    for (const auto& batch : m_batches)
        count += batch->entries.size();
    return int(count);
}

void ZERI_AssetUploadManager::startNextUploadIfNeeded()
{
    // A file deleted (or replaced by a link, or by a second name of a file elsewhere) since it was queued cannot be
    // sent; the asset keeps its local URL.
    // A file of the saved queue is sent only when it passes what queuing it required.
    OwnFiles::NameCensus census;
    for (qsizetype i = m_queue.size() - 1; i >= 0; --i) {
        const Entry& entry = m_queue[i];
        const QFileInfo info(entry.filePath);
        const bool gone = !info.isFile() || info.isSymLink() || !census.allNamesOwn(entry.filePath);
        if (gone)
            qCWarning(lcService) << "queued upload no longer on disk, skipped:" << entry.filePath;
        QStringList documentIDs;
        for (const AssetRef& ref : entry.assets)
            documentIDs.append(ref.documentID);
        if (gone || (entry.resumed && !mayResume(entry.filePath, documentIDs))) {
            m_queue.removeAt(i);
            saveQueue();
        }
    }
    if (m_queue.isEmpty() && m_batches.isEmpty()) {
        reportFinishedDocuments();
        return;
    }
    if (Tessutils::corvikAuthToken().isEmpty()) {
        giveUp(Error(QString::fromLatin1(kErrorDomain), NotSignedIn,
                     QStringLiteral("Sign in to upload the document's media.")));
        return;
    }
    while (m_batches.size() < kMaxBatchesInFlight && !m_queue.isEmpty())
        startBatch();
}

void ZERI_AssetUploadManager::startBatch()
{
    auto batch = std::make_shared<Batch>();
    qint64 bytes = 0;
    while (!m_queue.isEmpty()) {
        const Entry& entry = m_queue.first();
        if (!batch->entries.isEmpty() &&
            (batch->entries.size() >= kMaxBatchFiles || bytes + entry.size > kMaxBatchBytes))
            break;
        bytes += entry.size;
        batch->bytes += quint64(entry.size);
        batch->entries.append(m_queue.takeFirst());
    }
    m_batches.append(batch);
    reportProgress();
    sendBatch(batch);
}

void ZERI_AssetUploadManager::sendBatch(const std::shared_ptr<Batch>& batch)
{
    QList<BlockRequester::FilePart> files;
    for (const Entry& entry : std::as_const(batch->entries))
        files.append({QString(), entry.filePath, QFileInfo(entry.filePath).fileName()});
    const std::weak_ptr<Batch> weak = batch;
    batch->requester = ZERI_APIBinding::addContentItems(
        files, Tessutils::corvikAuthToken(),
        [this, weak](const QString& reply, const QString&) {
            if (const auto sent = weak.lock())
                onReply(sent, reply);
        },
        [this, weak](qint64 bodySent, qint64 bodyTotal) {
            if (const auto sending = weak.lock())
                onBatchProgress(sending, bodySent, bodyTotal);
        });
}

void ZERI_AssetUploadManager::onBatchProgress(const std::shared_ptr<Batch>& batch, qint64 bodySent, qint64 bodyTotal)
{
    if (bodyTotal <= 0 || !m_batches.contains(batch))
        return;
    // The body also carries the form fields and part headers; the files take the same share of it as of the
    // bytes sent, near enough, and all of it once the whole body is out.
    const quint64 sent =
        bodySent >= bodyTotal
            ? batch->bytes
            : std::min(batch->bytes, quint64(double(batch->bytes) * double(bodySent) / double(bodyTotal)));
    if (sent <= batch->bytesSent)
        return;
    batch->bytesSent = sent;
    reportProgress();
}

void ZERI_AssetUploadManager::onReply(const std::shared_ptr<Batch>& batch, const QString& text)
{
    batch->requester.reset();
    const ServiceReply reply = ServiceReply::parse(text);
    if (reply.outcome != ServiceReply::Outcome::Success) {
        retryOrGiveUp(batch, reply.asError());
        return;
    }
    // "content_items": one entry per part, matched by its field name ("file0", "file1", ...).
    QHash<QString, QJsonObject> byField;
    for (const QJsonValue& item : reply.json.value(QStringLiteral("content_items")).toArray())
        byField.insert(item[QStringLiteral("field")].toString(), item.toObject());
    for (qsizetype i = 0; i < batch->entries.size(); ++i) {
        if (!byField.value(QStringLiteral("file%1").arg(i)).contains(kContentID)) {
            retryOrGiveUp(batch, Error(QString::fromLatin1(kErrorDomain), UploadFailed,
                                       QStringLiteral("The service did not confirm every uploaded file.")));
            return;
        }
    }
    for (qsizetype i = 0; i < batch->entries.size(); ++i) {
        const QJsonObject item = byField.value(QStringLiteral("file%1").arg(i));
        const Entry& entry = batch->entries[i];
        const Uploaded uploaded{item.value(kContentID).toString(), item.value(kURL).toString(), entry.filePath,
                                entry.size};
        m_urlByContentID.insert(uploaded.contentID, uploaded.url);
        for (const AssetRef& ref : entry.assets)
            applyResult(ref, uploaded);
        m_bytesUploaded += quint64(entry.size);
        ++m_filesUploaded;
    }
    m_batches.removeOne(batch);
    saveUploaded();
    saveQueue();
    reportProgress();
    startNextUploadIfNeeded();
}

void ZERI_AssetUploadManager::retryOrGiveUp(const std::shared_ptr<Batch>& batch, const Error& error)
{
    if (++batch->attempts < kMaxAttempts) {
        qCDebug(lcService) << "upload failed, retrying:" << error.message;
        const std::weak_ptr<Batch> weak = batch;
        QTimer::singleShot(int(m_retryInterval * 1000), m_retryContext.get(), [this, weak] {
            if (const auto again = weak.lock())
                sendBatch(again);
        });
        return;
    }
    qCWarning(lcService) << "giving up uploading after" << batch->attempts << "attempts:" << error.message;
    giveUp(Error(QString::fromLatin1(kErrorDomain), UploadFailed, error.message,
                 {{QStringLiteral("underlyingError"), error.domain + QLatin1Char(' ') + QString::number(error.code)}}));
}

void ZERI_AssetUploadManager::giveUp(const Error& error)
{
    m_lastError = error;
    stopEverything();
    saveQueue();
    reportFinishedDocuments();
}

void ZERI_AssetUploadManager::stopEverything()
{
    for (const auto& batch : std::as_const(m_batches)) {
        if (batch->requester)
            batch->requester->cancel();
        m_bytesAbandoned += batch->bytesSent;
    }
    m_batches.clear();
    m_queue.clear();
    // Scheduled retries die with their context.
    m_retryContext = std::make_unique<QObject>();
}

void ZERI_AssetUploadManager::applyResult(const AssetRef& ref, const Uploaded& uploaded)
{
    m_uploadedByAsset.insert(ref.assetID, uploaded);
    const auto model = m_waitingDocuments.value(ref.documentID).lock();
    if (!model)
        return;
    for (const auto& asset : model->getAllContentAssets()) {
        if (asset->internalID() == ref.assetID) {
            asset->setCorvikContentID(uploaded.contentID);
            asset->setRemoteURL(QUrl(uploaded.url));
        }
    }
}

void ZERI_AssetUploadManager::reportProgress()
{
    if (!m_delegate)
        return;
    quint64 queuedBytes = 0;
    for (const Entry& entry : std::as_const(m_queue))
        queuedBytes += quint64(entry.size);
    quint64 sendingBytes = 0;
    for (const auto& batch : std::as_const(m_batches)) {
        queuedBytes += batch->bytes;
        sendingBytes += batch->bytesSent;
    }
    const quint64 settled = m_bytesUploaded + m_bytesAbandoned;
    m_delegate->uploadManagerUploadDidProgress(this, nullptr, settled + sendingBytes, settled + queuedBytes,
                                               m_filesUploaded, m_filesUploaded + quint64(queuedFileCount()));
}

void ZERI_AssetUploadManager::reportFinishedDocuments()
{
    QSet<QString> stillQueued;
    for (const Entry& entry : allEntries()) {
        for (const AssetRef& ref : entry.assets)
            stillQueued.insert(ref.documentID);
    }
    QList<std::shared_ptr<ZERI_TessarineModel>> finished;
    for (auto it = m_waitingDocuments.begin(); it != m_waitingDocuments.end();) {
        if (stillQueued.contains(it.key())) {
            ++it;
            continue;
        }
        if (auto model = it->lock())
            finished.append(model);
        it = m_waitingDocuments.erase(it);
    }
    // Delegates may enqueue more from the callback; the map is settled before they are called.
    for (const auto& model : finished) {
        if (m_delegate)
            m_delegate->uploadManagerAllUploadsCompletedForModel(this, model);
    }
}

void ZERI_AssetUploadManager::cancelUploadsAndClearQueue()
{
    stopEverything();
    m_waitingDocuments.clear();
    saveQueue();
}

void ZERI_AssetUploadManager::forgetUploadResults()
{
    m_uploadedByAsset.clear();
    m_urlByContentID.clear();
    saveUploaded();
}

QList<ZERI_AssetUploadManager::Entry> ZERI_AssetUploadManager::allEntries() const
{
    QList<Entry> entries;
    for (const auto& batch : m_batches)
        entries.append(batch->entries);
    entries.append(m_queue);
    return entries;
}

QString ZERI_AssetUploadManager::remoteURLForContentID(const QString& contentID) const
{
    return m_urlByContentID.value(contentID);
}

QUrl ZERI_AssetUploadManager::webURLOf(const ZERI_ContentAsset& asset) const
{
    if (const QUrl own = asset.webURL(); !own.isEmpty())
        return own;
    const QString known =
        asset.corvikContentID().isEmpty() ? QString() : remoteURLForContentID(asset.corvikContentID());
    return isWebAddress(known) ? QUrl(known) : QUrl();
}

QJsonObject ZERI_AssetUploadManager::jsonWithRemoteURLs(const QJsonObject& documentDictionary) const
{
    int localLeft = 0;
    QJsonObject result = withRemoteURLs(documentDictionary, m_urlByContentID, localLeft).toObject();
    if (localLeft > 0)
        qCWarning(lcService) << "the copy for the service leaves out" << localLeft
                             << "address(es) of files on this computer that were never sent";
    return result;
}
