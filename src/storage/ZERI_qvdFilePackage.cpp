#include "storage/ZERI_qvdFilePackage.h"

#include <algorithm>
#include <map>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <QUrl>
#include <QUuid>

#include "foundation/Tessutils.h"
#include "platform/AppPaths.h"
#include "platform/AtomicFile.h"
#include "platform/EndOfTurn.h"
#include "platform/HandOffQueue.h"
#include "platform/Json.h"
#include "platform/MainThread.h"
#include "platform/SafeFolder.h"
#include "platform/NotificationCenter.h"
#include "platform/OwnFiles.h"
#include "platform/WorkerThreads.h"
#include "storage/AssetFileReferences.h"
#include "storage/ContentItemDeletionQueue.h"
#include "storage/PackageFileGuard.h"
#include "storage/StorageLogging.h"
#include "storage/UntrustedAddresses.h"
#include "storage/ZERI_WebDownloader.h"
#include "tessarine_data_model/TessarineDateFormatter.h"
#include "tessarine_data_model/UndoSnapshotFiles.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

const QString ZERI_qvdFilePackage::packagesChangedNotification =
    QStringLiteral("ZERI_qvdFilePackagePackagesChangedNotification");
const QString ZERI_qvdFilePackage::publishedVersionUpdatedNotification =
    QStringLiteral("ZERI_qvdFilePackagePublishedVersionUpdatedNotification");
const QString ZERI_qvdFilePackage::tessarinesForTypeDownloadedNotification =
    QStringLiteral("ZERI_qvdFilePackageTessarinesForTypeDownloadedNotification");
const QString ZERI_qvdFilePackage::draftFileName = QStringLiteral("docfile.qvd");
const QString ZERI_qvdFilePackage::publishedFileName = QStringLiteral("docfile_published.qvd");
const QString ZERI_qvdFilePackage::metadataFileName = QStringLiteral("metadata.json");
const QString ZERI_qvdFilePackage::assetsFolderName = QStringLiteral("assets");
const QString ZERI_qvdFilePackage::publishedAssetsFolderName = QStringLiteral("published_assets");

namespace {

struct PackageList {
    bool scanned = false;
    std::vector<std::shared_ptr<ZERI_qvdFilePackage>> packages;
    QStringList damaged;
};

PackageList& packageList()
{
    static PackageList list;
    return list;
}

EndOfTurnCoalescer& changedCoalescer()
{
    // Never destroyed: it may be asked for until the very end of the process.
    static auto* coalescer = new EndOfTurnCoalescer(
        [] { NotificationCenter::defaultCenter().post(ZERI_qvdFilePackage::packagesChangedNotification, nullptr); });
    return *coalescer;
}

QString cleanAbsolute(const QString& path)
{
    // An absolute path needs no file information (a package's documents name thousands).
    if (QDir::isAbsolutePath(path))
        return QDir::cleanPath(path);
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

QByteArray draftHash(const QByteArray& data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Sha1);
}

Error packageError(int code, const QString& message)
{
    return Error(QString::fromLatin1(ZERI_qvdFilePackage::errorDomain), code, message);
}

bool readFile(const QString& path, QByteArray* data, Error* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        setError(error, packageError(ZERI_qvdFilePackage::NoDraft,
                                     QStringLiteral("Cannot read \"%1\": %2").arg(path, file.errorString())));
        return false;
    }
    *data = file.readAll();
    return true;
}

// Why a package folder cannot be used, or a null error when it can.
Error checkPackageFolder(const QString& path)
{
    const QDir dir(path);
    QByteArray data;
    Error error;
    if (!readFile(dir.filePath(ZERI_qvdFilePackage::metadataFileName), &data, &error))
        return packageError(ZERI_qvdFilePackage::Damaged, error.message);
    if (!Json::readObject(data, &error))
        return packageError(ZERI_qvdFilePackage::Damaged,
                            QStringLiteral("\"%1\" is not a JSON object: %2")
                                .arg(dir.filePath(ZERI_qvdFilePackage::metadataFileName), error.message));
    if (!readFile(dir.filePath(ZERI_qvdFilePackage::draftFileName), &data, &error))
        return packageError(ZERI_qvdFilePackage::Damaged, error.message);
    const auto draft = Json::readObject(data, &error);
    if (!draft || !draft->value(QStringLiteral("tessarine")).isObject())
        return packageError(ZERI_qvdFilePackage::Damaged,
                            QStringLiteral("\"%1\" is not a document: %2")
                                .arg(dir.filePath(ZERI_qvdFilePackage::draftFileName),
                                     draft ? QStringLiteral("no \"tessarine\" object") : error.message));
    return {};
}

// Removes the hidden pieces no download or copy holds (ZERI_WebDownloader::isStalePartFile) from the folders, by
// name in each folder opened once. Any thread.
void removeStalePieces(const QStringList& folders)
{
    for (const QString& path : folders) {
        const SafeFolder folder = SafeFolder::open(path);
        if (!folder.isOpen())
            continue;
        QDirIterator pieces(path, {QStringLiteral(".*.part"), QStringLiteral(".*.part.new")},
                            QDir::Files | QDir::Hidden | QDir::System);
        while (pieces.hasNext()) {
            const QFileInfo piece = pieces.nextFileInfo();
            if (ZERI_WebDownloader::isStalePartFile(piece.filePath()) && folder.remove(piece.fileName()))
                qCInfo(lcStorage) << "removed the piece of a download that ended" << piece.filePath();
        }
    }
}

// Gives each local asset file of the document a name in `folder` and points the asset there. With
// `allowedFolders` (the package folders the document's files may come from), a local file outside them is never
// linked or copied: a document from elsewhere naming any file of the user's would otherwise bring it into the
// package, and publishing would upload it. Its address is cleared and the refusal logged.
void relinkAssets(ZERI_TessarineModel& document, const QStringList& sourceFolders, const QString& folder,
                  const std::optional<QStringList>& allowedFolders = std::nullopt)
{
    const auto allowed = [&allowedFolders](const QString& path) {
        return !allowedFolders || std::any_of(allowedFolders->begin(), allowedFolders->end(), [&](const QString& f) {
            return UntrustedAddresses::isInsideFolder(path, f);
        });
    };
    for (const auto& asset : document.getAllContentAssets()) {
        const QUrl url = asset->externalURL();
        if (url.isLocalFile()) {
            const QString source = cleanAbsolute(url.toLocalFile());
            if (!allowed(source)) {
                qCWarning(lcStorage) << "refusing the asset file" << source
                                     << "- it lies outside the document's package";
                asset->setExternalURL(QUrl());
                continue;
            }
            if (!QFileInfo(source).isFile())
                continue;
            const QString target = QDir(folder).filePath(QFileInfo(source).fileName());
            if (source != cleanAbsolute(target) && AtomicFile::linkOrCopy(source, target))
                asset->setExternalURL(QUrl::fromLocalFile(target));
        } else if (!url.isEmpty()) {
            // A remote asset already downloaded keeps working offline: its cache file comes along, from whichever
            // of the source's folders holds it (a document opened for viewing keeps its downloads in
            // "published_assets/").
            for (const QString& sourceFolder : sourceFolders) {
                const QString cached = ZERI_WebDownloader::cacheFilePathForUrl(url, sourceFolder);
                if (!sourceFolder.isEmpty() && allowed(cached) && QFileInfo(cached).isFile()) {
                    AtomicFile::linkOrCopy(cached, ZERI_WebDownloader::cacheFilePathForUrl(url, folder));
                    break;
                }
            }
        }
    }
}

// The package folder a document's local files may come from when it is copied; none to check for a document
// without a package (one the application made in memory).
std::optional<QStringList> sourcePackageFolders(const ZERI_TessarineModel& source)
{
    const QString assets = source.documentAssetStoragePath();
    if (assets.isEmpty())
        return std::nullopt;
    return QStringList{QFileInfo(cleanAbsolute(assets)).path()};
}

} // namespace

QString ZERI_qvdFilePackage::tessarinesFolder()
{
    return AppPaths::packages();
}

void ZERI_qvdFilePackage::setPackagesFolder(const QString& folder)
{
    Q_ASSERT(MainThread::isMainThread());
    AppPaths::setPackagesForTesting(folder);
    resetForTesting();
}

ZERI_qvdFilePackage::ZERI_qvdFilePackage(QString id, QString path)
    : m_id(std::move(id))
    , m_path(std::move(path))
{
}

ZERI_qvdFilePackage::~ZERI_qvdFilePackage() = default;

std::shared_ptr<ZERI_qvdFilePackage> ZERI_qvdFilePackage::make(const QString& id, const QString& path)
{
    return std::shared_ptr<ZERI_qvdFilePackage>(new ZERI_qvdFilePackage(id, path));
}

void ZERI_qvdFilePackage::schedulePackagesChangedNotification()
{
    changedCoalescer().request();
}

void ZERI_qvdFilePackage::rescan()
{
    Q_ASSERT(MainThread::isMainThread());
    PackageList& list = packageList();
    std::vector<std::shared_ptr<ZERI_qvdFilePackage>> found;
    QStringList damaged;
    // The packages folder may be the user's own link (moved elsewhere), never anybody else's: such a link is set
    // aside (logged) and the folder starts anew, so nothing is read or written through it.
    if (QFileInfo(tessarinesFolder()).isSymLink() && !SafeFolder::isOwnLink(tessarinesFolder()))
        OwnFiles::setAsideLink(tessarinesFolder());
    const QDir root(tessarinesFolder());
    for (const QString& name :
         root.entryList({QLatin1String(kDeletedFolderPrefix) + QLatin1Char('*')}, QDir::Dirs | QDir::Hidden))
        removeFolderSetAside(root.filePath(name));
    for (const QString& name : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        const QString path = root.filePath(name);
        if (QFileInfo(path).isSymLink()) {
            // Deleting or cleaning it would act on the folder it leads to, which is not the application's.
            qCWarning(lcStorage).noquote() << "skipping package" << path << "- it is a link to another folder";
            damaged.append(path);
            continue;
        }
        auto known = std::find_if(list.packages.begin(), list.packages.end(),
                                  [&](const auto& package) { return package->packageID() == name; });
        if (known != list.packages.end() && (*known)->m_model && QFileInfo::exists(path)) {
            found.push_back(*known);
            continue;
        }
        const Error problem = checkPackageFolder(path);
        if (!problem.isNull()) {
            qCWarning(lcStorage).noquote() << "skipping damaged package" << path << "-" << problem.message;
            damaged.append(path);
            continue;
        }
        found.push_back(known != list.packages.end() ? *known : make(name, path));
    }
    // The first scan of a packages folder clears the pieces of downloads and copies that ended without removing
    // them (a process killed or crashed) off the main thread: a piece in use is locked and stays.
    if (!list.scanned) {
        QStringList folders;
        for (const auto& package : found)
            folders << package->assetsPath() << package->publishedAssetsPath();
        WorkerThreads::shared().post([folders] { removeStalePieces(folders); });
    }
    list.packages = std::move(found);
    list.damaged = std::move(damaged);
    list.scanned = true;
    schedulePackagesChangedNotification();
}

std::vector<std::shared_ptr<ZERI_qvdFilePackage>> ZERI_qvdFilePackage::allPackages()
{
    if (!packageList().scanned)
        rescan();
    return packageList().packages;
}

QStringList ZERI_qvdFilePackage::damagedPackageFolders()
{
    allPackages();
    return packageList().damaged;
}

void ZERI_qvdFilePackage::resetForTesting()
{
    // Writes still queued land first: a test removes the packages' folders next, and a write landing meanwhile
    // would keep a folder from going.
    waitForDraftWrites();
    packageList() = PackageList();
}

std::vector<std::shared_ptr<ZERI_qvdFilePackage>> ZERI_qvdFilePackage::packagesForType(int mask)
{
    std::vector<std::shared_ptr<ZERI_qvdFilePackage>> matching;
    for (const auto& package : allPackages()) {
        if (package->metaData().packageType() & mask)
            matching.push_back(package);
    }
    return matching;
}

std::shared_ptr<ZERI_qvdFilePackage> ZERI_qvdFilePackage::packageForID(const QString& qvdID)
{
    for (const auto& package : allPackages()) {
        if (package->packageID() == qvdID)
            return package;
    }
    return nullptr;
}

std::shared_ptr<ZERI_qvdFilePackage> ZERI_qvdFilePackage::packageForStringID(const QString& stringID)
{
    if (stringID.isEmpty())
        return nullptr;
    for (const auto& package : allPackages()) {
        if (package->metaData().stringID() == stringID) {
            if (!package->loadModel())
                return nullptr;
            return package;
        }
    }
    return nullptr;
}

bool ZERI_qvdFilePackage::isValidPackageID(const QString& id)
{
    if (id.isEmpty() || id.size() > 128)
        return false;
    return std::all_of(id.begin(), id.end(), [](QChar c) {
        const char16_t u = c.unicode();
        return (u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z') || u == u'-' ||
               u == u'_';
    });
}

bool ZERI_qvdFilePackage::isFreeForNewPackage(const QString& id)
{
    return isValidPackageID(id) && !packageForID(id) && !QFileInfo::exists(QDir(tessarinesFolder()).filePath(id));
}

std::shared_ptr<ZERI_qvdFilePackage>
ZERI_qvdFilePackage::packageForNewModel(const std::shared_ptr<ZERI_TessarineModel>& model, Error* error)
{
    Q_ASSERT(MainThread::isMainThread());
    if (!model || model->qvdID().isEmpty()) {
        setError(error, packageError(CannotWrite, QStringLiteral("A document without an id has no package")));
        return nullptr;
    }
    if (!isValidPackageID(model->qvdID())) {
        const QString message =
            QStringLiteral(
                "Cannot make a package for the document id \"%1\": an id is letters, digits, \"-\" and \"_\"")
                .arg(model->qvdID().left(200));
        qCWarning(lcStorage).noquote() << message;
        setError(error, packageError(BadID, message));
        return nullptr;
    }
    allPackages();
    const QString id = model->qvdID();
    const QDir root(tessarinesFolder());
    const QString path = root.filePath(id);
    // mkdir (not mkpath) refuses an existing folder: a damaged package of this id is never written over.
    if (!QDir().mkpath(root.path()) || !QDir().mkdir(path) || !QDir(path).mkdir(assetsFolderName) ||
        !QDir(path).mkdir(publishedAssetsFolderName)) {
        const QString message = QFileInfo::exists(path)
                                    ? QStringLiteral("Cannot make the package \"%1\": the folder exists").arg(path)
                                    : QStringLiteral("Cannot make the package folder \"%1\"").arg(path);
        qCWarning(lcStorage).noquote() << message;
        setError(error, packageError(CannotWrite, message));
        return nullptr;
    }
    auto package = make(id, path);
    package->metaData().setPackageType(model->isThemeTessarine() ? ThemeSample : OwnDocument);
    package->m_model = model;
    model->setFilePackage(package);
    if (!package->saveModel(error)) {
        QDir(path).removeRecursively();
        model->setFilePackage(nullptr);
        return nullptr;
    }
    packageList().packages.push_back(package);
    schedulePackagesChangedNotification();
    return package;
}

bool ZERI_qvdFilePackage::saveModelToFile(const std::shared_ptr<ZERI_TessarineModel>& model, Error* error)
{
    if (!model || model->dontSave())
        return false;
    auto base = model->filePackage();
    auto package = std::dynamic_pointer_cast<ZERI_qvdFilePackage>(base);
    if (base && !package)
        return false; // a package of another kind (a test double) saves itself
    if (!package)
        return packageForNewModel(model, error) != nullptr;
    package->m_model = model;
    return package->saveModel(error);
}

bool ZERI_qvdFilePackage::saveDocument(const std::shared_ptr<ZERI_TessarineModel>& document, Error* error)
{
    if (!document)
        return false;
    m_model = document;
    return saveModel(error);
}

namespace {

class SnapshotFileCounts : public UndoSnapshotFiles {
public:
    QStringList retainFilesOfItem(const TessarineDataModelItem& item) override
    {
        return AssetFileReferences::retainFilesOfSnapshot(item);
    }
    void releaseFiles(const QStringList& paths) override { AssetFileReferences::releaseFiles(paths); }
};

} // namespace

void ZERI_qvdFilePackage::registerWithDocumentModel()
{
    DocumentFilePackage::registerMaker(
        [](const std::shared_ptr<ZERI_TessarineModel>& document, Error* error) -> std::shared_ptr<DocumentFilePackage> {
            return packageForNewModel(document, error);
        });
    UndoSnapshotFiles::registerHandler(std::make_shared<SnapshotFileCounts>());
}

QString ZERI_qvdFilePackage::ownerUserName() const
{
    return const_cast<ZERI_qvdFilePackage*>(this)->metaData().ownerUserName();
}

QString ZERI_qvdFilePackage::assetsPath() const
{
    return m_path + QLatin1Char('/') + assetsFolderName;
}

QString ZERI_qvdFilePackage::publishedAssetsPath() const
{
    return m_path + QLatin1Char('/') + publishedAssetsFolderName;
}

QString ZERI_qvdFilePackage::draftFilePath() const
{
    return m_path + QLatin1Char('/') + draftFileName;
}

QString ZERI_qvdFilePackage::publishedFilePath() const
{
    return m_path + QLatin1Char('/') + publishedFileName;
}

QString ZERI_qvdFilePackage::metadataFilePath() const
{
    return m_path + QLatin1Char('/') + metadataFileName;
}

ZERI_qvdFilePackageMetadata& ZERI_qvdFilePackage::metaData()
{
    if (!m_metadata) {
        m_metadata = std::make_unique<ZERI_qvdFilePackageMetadata>(weak_from_this());
        QByteArray data;
        if (QFileInfo::exists(metadataFilePath()) && readFile(metadataFilePath(), &data, nullptr)) {
            Error error;
            if (const auto json = Json::readObject(data, &error))
                m_metadata->readFromJson(*json);
            else
                qCWarning(lcStorage).noquote() << "cannot read" << metadataFilePath() << error.message;
        }
    }
    return *m_metadata;
}

namespace {

// One thread, so that the package files are written in the order their saves were asked for.
WorkerThreads& draftWriter()
{
    static WorkerThreads::Lasting writer(1, QStringLiteral("draft writer"));
    return writer.threads();
}

// A copy of its own for another thread: its last reference then goes where the thread checker sees it (the
// count of a shared copy drops inside Qt, out of its sight).
QByteArray unshared(const QByteArray& bytes)
{
    return QByteArray(bytes.constData(), bytes.size());
}

// Any thread.
bool writePackageJsonFile(const QString& path, const QByteArray& data, Error* error)
{
    // A package file that is a symbolic link (a package brought from elsewhere) is replaced by a file of the
    // package's own, never written through: AtomicFile renames the new file over the link itself.
    Error writeError;
    if (AtomicFile::write(path, data, &writeError))
        return true;
    qCWarning(lcStorage).noquote() << "cannot save" << path << writeError.message;
    setError(error, packageError(ZERI_qvdFilePackage::CannotWrite, writeError.message));
    return false;
}

} // namespace

namespace {

// The writer's reports, for the main thread: taken in the next turn, or at once by a save that has just waited for
// the writer (so that it knows what is on disk without making the text again).
HandOffQueue& draftReports()
{
    static HandOffQueue reports;
    return reports;
}

void takeDraftReports()
{
    while (const HandOffQueue::Task report = draftReports().tryPop())
        report();
}

// Writer thread.
void reportDraftWritten(HandOffQueue::Task report)
{
    draftReports().push(std::move(report));
    MainThread::run([] { takeDraftReports(); }, false);
}

} // namespace

void ZERI_qvdFilePackage::waitForDraftWrites()
{
    draftWriter().waitForIdle();
}

bool ZERI_qvdFilePackage::writeJsonFile(const QString& path, const QByteArray& data, Error* error)
{
    // A write still queued would land after this one.
    waitForDraftWrites();
    return writePackageJsonFile(path, data, error);
}

QString ZERI_qvdFilePackage::previewPictureFile()
{
    const QString path = metaData().previewScreenshotFilePath();
    if (path.isEmpty())
        return {};
    // A link inside the package is no file of its own either: what it leads to is not read.
    if (!PackageFileGuard::isInsidePackage(*this, path) || QFileInfo(path).isSymLink()) {
        if (m_loggedOutsidePreview != path) {
            m_loggedOutsidePreview = path;
            qCWarning(lcStorage).noquote()
                << "not reading the preview" << path << "- it lies outside the package" << m_path;
        }
        return {};
    }
    return path;
}

bool ZERI_qvdFilePackage::saveMetadata()
{
    if (m_removed)
        return false;
    const QJsonObject json = metaData().jsonObject();
    if (!writeJsonFile(metadataFilePath(), Json::write(json), nullptr)) {
        m_lastWrittenMetadata = QJsonObject();
        return false;
    }
    m_lastWrittenMetadata = json;
    return true;
}

void ZERI_qvdFilePackage::saveMetadataSoon(const QString& replacedFile)
{
    // The earlier path comes from the package's metadata, which may name any file: only one inside the package
    // goes, by the cleaned path that was checked (no ".." left for the system to resolve through a link). Decided
    // here, where the package is known; the writer sees only the path.
    QByteArray replaced;
    if (!replacedFile.isEmpty()) {
        if (PackageFileGuard::isInsidePackage(*this, replacedFile))
            replaced = QFile::encodeName(QDir::cleanPath(QFileInfo(replacedFile).absoluteFilePath()));
        else
            qCWarning(lcStorage).noquote()
                << "not deleting" << replacedFile << "- it lies outside the package" << m_path;
    }
    postMetadataWrite(metaData().jsonObject(), replaced);
}

void ZERI_qvdFilePackage::postMetadataWrite(const QJsonObject& json, const QByteArray& replaced)
{
    if (m_removed)
        return;
    m_lastWrittenMetadata = json;
    draftWriter().post([package = weak_from_this(), json, path = metadataFilePath(), replaced] {
        if (writePackageJsonFile(path, Json::write(json), nullptr)) {
            if (!replaced.isEmpty() && ::unlink(replaced.constData()) != 0 && errno != ENOENT)
                qCWarning(lcStorage) << "cannot delete" << QFile::decodeName(replaced) << qt_error_string(errno);
            return;
        }
        MainThread::run(
            [package, json] {
                // Written again by the next save.
                if (const auto self = package.lock(); self && self->m_lastWrittenMetadata == json)
                    self->m_lastWrittenMetadata = QJsonObject();
            },
            false);
    });
}

bool ZERI_qvdFilePackage::loadModel(Error* error)
{
    if (m_model)
        return true;
    waitForDraftWrites();
    QByteArray data;
    if (!readFile(draftFilePath(), &data, error))
        return false;
    Error readError;
    auto document = ZERI_TessarineModel::initWithJsonData(data, &readError, draftFilePath());
    if (!document) {
        qCWarning(lcStorage).noquote() << "cannot load the draft" << readError.message;
        setError(error, packageError(Damaged, readError.message));
        return false;
    }
    adoptLoadedDocument(document, draftHash(data), QJsonObject());
    return true;
}

void ZERI_qvdFilePackage::loadModelSoon(LoadCompletion done)
{
    Q_ASSERT(MainThread::isMainThread());
    if (m_model) {
        MainThread::run([done = std::move(done)] { done(true, Error()); }, false);
        return;
    }
    // A document read on another thread is that thread's alone until it is handed over through the main thread's
    // queue: nothing else knows it. The writer's thread reads it, so that every write asked for before lands first.
    struct Read {
        std::shared_ptr<ZERI_TessarineModel> document;
        QByteArray hash;
        QJsonObject dictionary;
        Error error;
    };
    draftWriter().post([package = weak_from_this(), path = draftFilePath(), done = std::move(done)]() mutable {
        auto read = std::make_shared<Read>();
        QByteArray data;
        if (readFile(path, &data, &read->error)) {
            Error readError;
            read->document = ZERI_TessarineModel::initWithJsonData(data, &readError, path);
            if (read->document) {
                read->hash = draftHash(data);
                // The dictionary form is made here too: the main thread compares drafts with it.
                read->dictionary = read->document->jsonDictionary();
            } else {
                qCWarning(lcStorage).noquote() << "cannot load the draft" << readError.message;
                read->error = packageError(Damaged, readError.message);
            }
        }
        MainThread::run(
            [package, read, done = std::move(done)] {
                const auto self = package.lock();
                if (!self) {
                    done(false, packageError(NoDraft, QStringLiteral("The package went while its draft was read.")));
                } else if (self->m_model) {
                    done(true, Error()); // loaded meanwhile: that document stays
                } else if (read->document) {
                    self->adoptLoadedDocument(read->document, read->hash, read->dictionary);
                    done(true, Error());
                } else {
                    done(false, read->error);
                }
                // A document not taken is let go on a worker: taking apart thousands of screens is work too.
                if (read->document && (!self || self->m_model != read->document))
                    WorkerThreads::shared().post(
                        [document = std::move(read->document)]() mutable { document.reset(); });
            },
            false);
    });
}

void ZERI_qvdFilePackage::adoptLoadedDocument(const std::shared_ptr<ZERI_TessarineModel>& document,
                                              const QByteArray& hash, QJsonObject dictionary)
{
    m_model = document;
    m_lastDraftHash = hash;
    m_lastDraftDictionary = QJsonObject();
    document->setFilePackage(shared_from_this());
    ensureOwnFolders();
    // The text on disk may be written otherwise than this program writes it (by an older version, by hand): a
    // check runs in the background (beside the draft writer, which it must not hold up), and only a draft that is
    // this document's own text lets a save go without writing.
    if (dictionary.isEmpty())
        dictionary = document->jsonDictionary();
    WorkerThreads::shared().post([package = weak_from_this(), generation = m_draftWrite.generation,
                                  dictionary = std::move(dictionary), hash = unshared(m_lastDraftHash)] {
        if (draftHash(Json::write(dictionary)) != hash)
            return;
        MainThread::run(
            [package, generation, dictionary] {
                const auto self = package.lock();
                if (self && self->m_draftWrite.generation == generation && self->m_lastDraftDictionary.isEmpty() &&
                    self->m_model && self->m_model->jsonDictionary() == dictionary)
                    self->m_lastDraftDictionary = dictionary;
            },
            false);
    });
}

bool ZERI_qvdFilePackage::saveModel(Error* error)
{
    if (!m_model) {
        setError(error, packageError(NoDraft, QStringLiteral("The package \"%1\" has no document to save").arg(m_id)));
        return false;
    }
    // Whatever the writer still had of this package is older than what is written now; what it wrote is known
    // from its reports, taken at once.
    waitForDraftWrites();
    m_draftWrite.again = false;
    takeDraftReports();
    ++m_draftWrite.generation;
    m_draftWrite.inFlight = false;
    const QJsonObject dictionary = m_model->jsonDictionary();
    const bool onDisk = QFileInfo::exists(draftFilePath());
    if (!onDisk || m_lastDraftDictionary.isEmpty() || dictionary != m_lastDraftDictionary) {
        const QByteArray data = Json::write(dictionary);
        const QByteArray hash = draftHash(data);
        if (hash != m_lastDraftHash || !onDisk) {
            if (!writeJsonFile(draftFilePath(), data, error))
                return false;
            m_lastDraftHash = hash;
            metaData().setDraftRevision(metaData().draftRevision() + 1);
        }
        m_lastDraftDictionary = dictionary;
    }
    removeRetiredFiles(m_draftWrite.generation);
    takeMetadataFromModel();
    return writeMetadataIfChanged(false, error);
}

bool ZERI_qvdFilePackage::saveDocumentSoon(const std::shared_ptr<ZERI_TessarineModel>& document, Error* error)
{
    if (!document) {
        setError(error, packageError(NoDraft, QStringLiteral("The package \"%1\" has no document to save").arg(m_id)));
        return false;
    }
    m_model = document;
    if (m_draftWrite.inFlight) {
        m_draftWrite.again = true;
        return true;
    }
    startDraftWrite();
    return true;
}

void ZERI_qvdFilePackage::startDraftWrite()
{
    const quint64 generation = ++m_draftWrite.generation;
    m_draftWrite.again = false;
    const QJsonObject dictionary = m_model->jsonDictionary();
    const bool onDisk = QFileInfo::exists(draftFilePath());
    takeMetadataFromModel();
    // Whether anything changed is found by the writer, from the text's hash: comparing a large document's
    // dictionary with the one last written would hold the main thread for several frames on a busy machine.
    const bool mustWrite = !onDisk;
    m_draftWrite.inFlight = true;
    draftWriter().post([package = weak_from_this(), generation, dictionary, path = draftFilePath(),
                        lastHash = unshared(m_lastDraftHash), mustWrite] {
        const QByteArray data = Json::write(dictionary);
        const QByteArray hash = draftHash(data);
        const bool changed = mustWrite || hash != lastHash;
        const bool written = !changed || writePackageJsonFile(path, data, nullptr);
        reportDraftWritten([package, generation, dictionary, hash, changed, written] {
            if (const auto self = package.lock())
                self->draftWritten(generation, dictionary, hash, changed, written);
        });
    });
}

// Main thread, after the writer's turn.
void ZERI_qvdFilePackage::draftWritten(quint64 generation, const QJsonObject& dictionary, const QByteArray& hash,
                                       bool changed, bool written)
{
    // A save made at once since then has written a newer state itself.
    if (generation != m_draftWrite.generation || !m_draftWrite.inFlight)
        return;
    m_draftWrite.inFlight = false;
    if (written) {
        if (changed) {
            m_lastDraftHash = hash;
            metaData().setDraftRevision(metaData().draftRevision() + 1);
        }
        m_lastDraftDictionary = dictionary;
        removeRetiredFiles(generation);
        if (m_model)
            takeMetadataFromModel();
        writeMetadataIfChanged(true, nullptr);
    }
    if (m_draftWrite.again && m_model && !m_model->dontSave())
        startDraftWrite();
}

void ZERI_qvdFilePackage::takeMetadataFromModel()
{
    ZERI_qvdFilePackageMetadata& metadata = metaData();
    metadata.setTessarineName(m_model->title());
    metadata.setTessarineDescription(m_model->description());
    metadata.setUpdatedTimeStamp(m_model->updatedText());
    if (!m_model->stringID().isEmpty())
        metadata.setStringID(m_model->stringID());
    if (!m_model->apiID().isEmpty())
        metadata.setApiID(m_model->apiID());
    if (!m_model->alias().isEmpty())
        metadata.setAlias(m_model->alias());
}

bool ZERI_qvdFilePackage::writeMetadataIfChanged(bool soon, Error* error)
{
    // A save made at once returns with the metadata on disk, a write of it handed to the writer included.
    if (!soon)
        waitForDraftWrites();
    const QJsonObject json = metaData().jsonObject();
    if (json == m_lastWrittenMetadata && QFileInfo::exists(metadataFilePath()))
        return true;
    if (!soon) {
        if (!writeJsonFile(metadataFilePath(), Json::write(json), error)) {
            m_lastWrittenMetadata = QJsonObject();
            return false;
        }
        m_lastWrittenMetadata = json;
        return true;
    }
    postMetadataWrite(json, QByteArray());
    return true;
}

bool ZERI_qvdFilePackage::unloadModel(Error* error)
{
    if (!m_model)
        return true;
    if (!saveModel(error)) {
        qCWarning(lcStorage) << "keeping the document of" << m_id << "loaded: its draft cannot be written";
        return false;
    }
    if (const auto reachable = reachableContentIDs(); !reachable.contains(QString()))
        flushServerDeletions(reachable);
    auto document = std::move(m_model);
    document->setDontSave(true);
    document->setFilePackage(nullptr);
    // Until the end of this turn the document stands for its draft (a cleaning right after needs not read it back);
    // then the package lets go of the draft's dictionary, which would keep the whole document's data alive.
    m_unloadedDocument = document;
    MainThread::run(
        [package = weak_from_this()] {
            if (const auto self = package.lock(); self && !self->m_model) {
                self->m_unloadedDocument.reset();
                self->m_lastDraftDictionary = QJsonObject();
            }
        },
        false);
    return true;
}

void ZERI_qvdFilePackage::unloadModelSoon(UnloadCompletion done)
{
    Q_ASSERT(MainThread::isMainThread());
    if (!m_model) {
        MainThread::run([done = std::move(done)] { done(true, Error()); }, false);
        return;
    }
    // What saveModel() takes, taken now; a background write still under way is older and lands first, and what it
    // writes is not known yet: this write is then made whatever the draft last known to be on disk says.
    const bool olderOnItsWay = m_draftWrite.inFlight;
    const quint64 generation = ++m_draftWrite.generation;
    m_draftWrite.again = false;
    m_draftWrite.inFlight = false;
    takeMetadataFromModel();
    auto document = std::move(m_model);
    const QJsonObject dictionary = document->jsonDictionary();
    const bool onDisk = QFileInfo::exists(draftFilePath());
    // As for a save, the writer finds from the text's hash whether anything changed.
    const bool mustWrite = olderOnItsWay || !onDisk;
    document->setDontSave(true);
    document->setFilePackage(nullptr);
    m_unloadedDocument = document;
    draftWriter().post([package = weak_from_this(), generation, document, dictionary, path = draftFilePath(),
                        lastHash = unshared(m_lastDraftHash), mustWrite, done = std::move(done)]() mutable {
        Error error;
        const QByteArray data = Json::write(dictionary);
        const QByteArray hash = draftHash(data);
        const bool changed = mustWrite || hash != lastHash;
        const bool written = !changed || writePackageJsonFile(path, data, &error);
        reportDraftWritten([package, generation, document = std::move(document), dictionary, hash, changed, written,
                            error, done = std::move(done)] {
            const auto self = package.lock();
            if (!self) {
                done(written, error);
                return;
            }
            if (!written) {
                qCWarning(lcStorage) << "keeping the document of" << self->m_id
                                     << "loaded: its draft cannot be written";
                if (!self->m_model) {
                    self->m_model = document;
                    document->setFilePackage(self);
                    document->setDontSave(false);
                    document->setNeedsSaveToFile();
                }
                done(false, error);
                return;
            }
            if (changed) {
                self->m_lastDraftHash = hash;
                self->metaData().setDraftRevision(self->metaData().draftRevision() + 1);
            }
            self->m_lastDraftDictionary = dictionary;
            self->removeRetiredFiles(generation);
            self->writeMetadataIfChanged(true, nullptr);
            if (const auto reachable = self->reachableContentIDs(); !reachable.contains(QString()))
                self->flushServerDeletions(reachable);
            done(true, Error());
            // The package lets go of the draft's dictionary once nothing loaded it again.
            if (!self->m_model) {
                self->m_unloadedDocument.reset();
                self->m_lastDraftDictionary = QJsonObject();
            }
        });
    });
}

bool ZERI_qvdFilePackage::loadPublishedModel(Error* error)
{
    if (m_publishedModel)
        return true;
    ensureOwnFolders();
    QByteArray data;
    if (!readFile(publishedFilePath(), &data, error))
        return false;
    Error readError;
    auto document = ZERI_TessarineModel::initWithJsonData(data, &readError, publishedFilePath());
    if (!document) {
        qCWarning(lcStorage).noquote() << "cannot load the published copy" << readError.message;
        setError(error, packageError(Damaged, readError.message));
        return false;
    }
    document->setDontSave(true);
    document->setIsPublishPreview(true);
    document->setFilePackage(shared_from_this());
    m_publishedModel = document;
    return true;
}

bool ZERI_qvdFilePackage::savePublishedModelFromJSON(const QByteArray& documentJson, Error* error,
                                                     const QString& sourcePackageFolder)
{
    Error readError;
    auto document =
        ZERI_TessarineModel::initWithJsonData(documentJson, &readError, QStringLiteral("the published copy"));
    if (!document) {
        setError(error, packageError(Damaged, readError.message));
        return false;
    }
    // A package deleted meanwhile (a late answer of the service) is not brought back as a half package.
    if (!QFileInfo(m_path).isDir()) {
        setError(error, packageError(CannotWrite, QStringLiteral("The package \"%1\" no longer exists").arg(m_path)));
        return false;
    }
    if (!ensureOwnFolders() || !QDir().mkpath(publishedAssetsPath())) {
        setError(error, packageError(CannotWrite, QStringLiteral("Cannot make \"%1\"").arg(publishedAssetsPath())));
        return false;
    }
    QStringList allowed{m_path};
    if (!sourcePackageFolder.isEmpty())
        allowed.append(sourcePackageFolder);
    relinkAssets(*document, {assetsPath()}, publishedAssetsPath(), allowed);
    if (!writeJsonFile(publishedFilePath(), document->jsonData(), error))
        return false;
    m_publishedModel.reset();
    ZERI_qvdFilePackageMetadata& metadata = metaData();
    metadata.setPublishedTimeStamp(
        TessarineDataModelItem::sharedFormatter().stringFromDate(QDateTime::currentDateTime()));
    metadata.setPublishedDraftRevision(metadata.draftRevision());
    saveMetadata();
    NotificationCenter::defaultCenter().post(publishedVersionUpdatedNotification, this);
    return true;
}

void ZERI_qvdFilePackage::deletePublishedData()
{
    m_publishedModel.reset();
    if (ensureOwnFolder(publishedAssetsPath())) {
        // The draft's own files found there (the downloads of a document opened for viewing, kept by its copies)
        // move to "assets/", where the draft finds them as well: dropping the published copy loses none of them.
        const auto draft = documentOfDraft();
        const QSet<QString> draftFiles =
            draft ? referencedFiles(*draft, {publishedAssetsPath()})
                  : referencedFiles(draftFilePath(), {publishedAssetsPath()}).value_or(QSet<QString>());
        // Moved and removed by name in the two folders opened once, so a folder swapped for a link meanwhile
        // neither receives nor loses a file.
        const SafeFolder assets = !draftFiles.isEmpty() && ensureOwnFolder(assetsPath())
                                      ? SafeFolder::open(assetsPath(), SafeFolder::Missing::Make)
                                      : SafeFolder();
        const SafeFolder published = SafeFolder::open(publishedAssetsPath());
        const QDir listed(publishedAssetsPath());
        for (const QString& name : listed.entryList(QDir::Files | QDir::Hidden)) {
            struct stat existing {};
            if (!published.isOpen())
                break;
            if (assets.isOpen() && draftFiles.contains(cleanAbsolute(listed.filePath(name))) &&
                (assets.stat(name, &existing) || published.rename(name, assets, name)))
                continue;
            published.remove(name);
        }
    }
    QFile::remove(publishedFilePath());
    ZERI_qvdFilePackageMetadata& metadata = metaData();
    metadata.setPublishedTimeStamp(QString());
    metadata.setPublishedDraftRevision(-1);
    saveMetadata();
    // What shows the posted state (a tile's badge, a window's menus) learns it is gone, as it learns of a new one.
    NotificationCenter::defaultCenter().post(publishedVersionUpdatedNotification, this);
}

bool ZERI_qvdFilePackage::publishedVersionExists() const
{
    return QFileInfo::exists(publishedFilePath()) &&
           const_cast<ZERI_qvdFilePackage*>(this)->publishedVersionDate().has_value();
}

std::optional<QDateTime> ZERI_qvdFilePackage::publishedVersionDate()
{
    if (auto date = ZERI_qvdFilePackageMetadata::dateFromStamp(metaData().publishedTimeStamp()))
        return date;
    if (!QFileInfo::exists(publishedFilePath()) || !loadPublishedModel())
        return std::nullopt;
    return m_publishedModel->updatedDate();
}

bool ZERI_qvdFilePackage::hasSomethingToPost()
{
    return metaData().publishedDraftRevision() < metaData().draftRevision();
}

bool ZERI_qvdFilePackage::hasSomethingToSaveToCloud()
{
    return metaData().serverSavedDraftRevision() < metaData().draftRevision();
}

void ZERI_qvdFilePackage::noteDraftSavedToServer(const QDateTime& when)
{
    ZERI_qvdFilePackageMetadata& metadata = metaData();
    metadata.setServerSavedDraftRevision(metadata.draftRevision());
    metadata.setLastServerSaveTimeStamp(TessarineDataModelItem::sharedFormatter().stringFromDate(when));
    saveMetadata();
}

bool ZERI_qvdFilePackage::ownedByCurrentUser()
{
    const QString owner = metaData().ownerUserName();
    return !owner.isEmpty() && owner == Tessutils::corvikUserDict().stringForKey(QStringLiteral("username"));
}

QSet<QString> ZERI_qvdFilePackage::referencedFiles(const ZERI_TessarineModel& document, const QStringList& folders)
{
    // A local file is the one named (a moved package's names are kept by keepPreviewAndMovedNames); a web address's
    // download is kept in each of `folders`, where drawings find it (ZERI_ContentAsset::locate): a copy from the
    // service holds the draft's downloads in "published_assets/".
    QSet<QString> files;
    for (const auto& asset : document.getAllContentAssets()) {
        const QUrl url = asset->externalURL();
        if (url.isLocalFile())
            files.insert(cleanAbsolute(url.toLocalFile()));
        for (const QUrl& address : {url, asset->remoteURL()}) {
            if (!UntrustedAddresses::isWebAddress(address))
                continue;
            for (const QString& folder : folders)
                files.insert(ZERI_WebDownloader::cacheFilePathForUrl(address, folder));
        }
    }
    return files;
}

std::optional<QSet<QString>> ZERI_qvdFilePackage::referencedFiles(const QString& documentFile,
                                                                  const QStringList& folders)
{
    QByteArray data;
    if (!readFile(documentFile, &data, nullptr))
        return std::nullopt;
    auto document = ZERI_TessarineModel::initWithJsonData(data, nullptr, documentFile);
    if (!document)
        return std::nullopt;
    return referencedFiles(*document, folders);
}

std::optional<QSet<QString>> ZERI_qvdFilePackage::filesToKeep()
{
    const auto draft = documentOfDraft();
    std::optional<QSet<QString>> keep =
        draft ? referencedFiles(*draft, assetFolders()) : referencedFiles(draftFilePath(), assetFolders());
    if (!keep) {
        qCWarning(lcStorage) << "not cleaning" << m_path << "- the draft cannot be read";
        return std::nullopt;
    }
    if (QFileInfo::exists(publishedFilePath())) {
        const auto published = referencedFiles(publishedFilePath(), {publishedAssetsPath()});
        if (!published) {
            qCWarning(lcStorage) << "not cleaning" << m_path << "- the published copy cannot be read";
            return std::nullopt;
        }
        keep->unite(*published);
    }
    keepPreviewAndMovedNames(*keep);
    return keep;
}

void ZERI_qvdFilePackage::keepPreviewAndMovedNames(QSet<QString>& keep)
{
    if (const QString preview = metaData().previewScreenshotFilePath(); !preview.isEmpty())
        keep.insert(cleanAbsolute(preview));
    // A package brought from elsewhere with its folder (a renamed home folder, another machine) is still named by
    // its documents at its old place: "<old place>/<this id>/assets/<name>" is this package's "assets/<name>".
    const QString inPlace = m_path + QLatin1Char('/');
    for (const QString& file : QSet<QString>(keep)) {
        if (file.startsWith(inPlace))
            continue; // named at this package's own place
        const QFileInfo info(file);
        const QFileInfo folder(info.absolutePath());
        if (QFileInfo(folder.absolutePath()).fileName() == m_id &&
            (folder.fileName() == assetsFolderName || folder.fileName() == publishedAssetsFolderName))
            keep.insert(
                cleanAbsolute(m_path + QLatin1Char('/') + folder.fileName() + QLatin1Char('/') + info.fileName()));
    }
}

namespace {

struct FolderListing {
    QStringList files;  // regular files, as clean absolute paths
    QStringList hidden; // hidden entries: pieces of downloads and copies, and others left alone
};

// Any thread. One unsorted pass over each folder: a package holds thousands of files.
FolderListing listAssetFolders(const QStringList& folders)
{
    FolderListing listing;
    for (const QString& folder : folders) {
        QDirIterator entries(folder, QDir::Files | QDir::Hidden | QDir::System);
        while (entries.hasNext()) {
            const QFileInfo info = entries.nextFileInfo();
            if (info.fileName().startsWith(QLatin1Char('.')))
                listing.hidden.append(info.filePath());
            else if (info.isFile()) // a link to nothing, a socket or a pipe is not an asset file
                listing.files.append(cleanAbsolute(info.filePath()));
        }
    }
    return listing;
}

} // namespace

void ZERI_qvdFilePackage::removeStrayFiles(const QSet<QString>& keep, const QStringList& files,
                                           const QStringList& hidden)
{
    // Hidden ".part" files are downloads and copies in progress, or pieces of ones a crash cut short: only those no
    // download holds any more go. Other hidden files stay.
    // Removed by name in the folders opened once, so a folder swapped for a link meanwhile loses nothing of where
    // the link leads.
    std::map<QString, SafeFolder> folders;
    const auto removeFromItsFolder = [&folders](const QString& path) {
        const QFileInfo info(path);
        auto it = folders.find(info.path());
        if (it == folders.end())
            it = folders.emplace(info.path(), SafeFolder::open(info.path())).first;
        return (it->second.isOpen() && it->second.remove(info.fileName())) || errno == ENOENT;
    };
    for (const QString& piece : hidden) {
        if (ZERI_WebDownloader::isStalePartFile(piece) && !removeFromItsFolder(piece))
            qCWarning(lcStorage) << "cannot delete the stale download piece" << piece;
    }
    for (const QString& file : files) {
        if (keep.contains(file) || AssetFileReferences::referenceCount(file) > 0)
            continue;
        if (!removeFromItsFolder(file))
            qCWarning(lcStorage) << "cannot delete stray asset file" << file;
    }
    if (const auto reachable = reachableContentIDs(); !reachable.contains(QString()))
        flushServerDeletions(reachable);
}

void ZERI_qvdFilePackage::cleanDirectories()
{
    waitForDraftWrites();
    if (!ensureOwnFolders()) {
        qCWarning(lcStorage) << "not cleaning" << m_path << "- its asset folders are not its own";
        return;
    }
    const auto keep = filesToKeep();
    if (!keep)
        return;
    const FolderListing listing = listAssetFolders({assetsPath(), publishedAssetsPath()});
    removeStrayFiles(*keep, listing.files, listing.hidden);
}

void ZERI_qvdFilePackage::cleanDirectoriesSoon()
{
    if (!ensureOwnFolders()) {
        qCWarning(lcStorage) << "not cleaning" << m_path << "- its asset folders are not its own";
        return;
    }
    // A large document's text takes longer than several frames to read: what the documents on disk name is read
    // on the draft writer, after any draft still on its way there, and the folders are listed there too. Back on
    // the main thread, a document loaded meanwhile is asked instead of its draft, and what was read is taken only
    // while nothing was written since (else it is all read again).
    struct Found {
        std::optional<QSet<QString>> draft;     // none when the draft cannot be read, or was not read
        std::optional<QSet<QString>> published; // none when the published copy cannot be read; empty without one
        QDateTime publishedStamp;
        qint64 publishedSize = -1;
        FolderListing listing;
    };
    const bool readDraft = !m_model;
    draftWriter().post([package = weak_from_this(), generation = m_draftWrite.generation, readDraft,
                        draft = draftFilePath(), assets = assetsPath(), published = publishedFilePath(),
                        publishedAssets = publishedAssetsPath()] {
        auto found = std::make_shared<Found>();
        if (readDraft)
            found->draft = referencedFiles(draft, {assets, publishedAssets});
        const QFileInfo publishedInfo(published);
        if (publishedInfo.exists()) {
            found->publishedStamp = publishedInfo.lastModified();
            found->publishedSize = publishedInfo.size();
            found->published = referencedFiles(published, {publishedAssets});
        } else {
            found->published = QSet<QString>();
        }
        found->listing = listAssetFolders({assets, publishedAssets});
        MainThread::run(
            [package, generation, readDraft, found] {
                const auto self = package.lock();
                if (!self || !QFileInfo(self->m_path).isDir() || !self->ensureOwnFolders())
                    return;
                const QFileInfo publishedNow(self->publishedFilePath());
                const bool publishedUnchanged = publishedNow.exists()
                                                    ? publishedNow.lastModified() == found->publishedStamp &&
                                                          publishedNow.size() == found->publishedSize
                                                    : found->publishedSize < 0;
                const bool draftUnchanged = self->m_model || (readDraft && generation == self->m_draftWrite.generation);
                if (!publishedUnchanged || !draftUnchanged) {
                    self->cleanDirectoriesSoon();
                    return;
                }
                std::optional<QSet<QString>> keep =
                    self->m_model ? referencedFiles(*self->m_model, self->assetFolders()) : std::move(found->draft);
                if (!keep) {
                    qCWarning(lcStorage) << "not cleaning" << self->m_path << "- the draft cannot be read";
                    return;
                }
                if (!found->published) {
                    qCWarning(lcStorage) << "not cleaning" << self->m_path << "- the published copy cannot be read";
                    return;
                }
                keep->unite(*found->published);
                self->keepPreviewAndMovedNames(*keep);
                self->removeStrayFiles(*keep, found->listing.files, found->listing.hidden);
            },
            false);
    });
}

std::shared_ptr<ZERI_TessarineModel> ZERI_qvdFilePackage::documentOfDraft() const
{
    if (m_model)
        return m_model;
    // The document unloaded last, still unchanged since its draft was written, names what the draft names.
    const auto unloaded = m_unloadedDocument.lock();
    if (unloaded && !m_lastDraftDictionary.isEmpty() && unloaded->jsonDictionary() == m_lastDraftDictionary &&
        QFileInfo::exists(draftFilePath()))
        return unloaded;
    return nullptr;
}

bool ZERI_qvdFilePackage::ensureOwnFolders()
{
    const bool assets = ensureOwnFolder(assetsPath());
    return ensureOwnFolder(publishedAssetsPath()) && assets;
}

bool ZERI_qvdFilePackage::ensureOwnFolder(const QString& folder)
{
    const QFileInfo info(folder);
    if (!info.isSymLink())
        return !info.exists() || info.isDir();
    qCWarning(lcStorage).noquote() << "the package folder" << folder << "is a link to" << info.symLinkTarget()
                                   << "- replacing it with a folder of the package's own";
    // The documents that name files through the link: the loaded ones, else those on disk (rewritten when an
    // address has to be cleared).
    struct Document {
        std::shared_ptr<ZERI_TessarineModel> model;
        QString file; // empty for a loaded document
    };
    std::vector<Document> documents;
    for (const auto& [loaded, file] :
         {std::pair{m_model, draftFilePath()}, std::pair{m_publishedModel, publishedFilePath()}}) {
        if (loaded) {
            documents.push_back({loaded, QString()});
            continue;
        }
        QByteArray data;
        if (!QFileInfo::exists(file) || !readFile(file, &data, nullptr))
            continue;
        if (auto document = ZERI_TessarineModel::initWithJsonData(data, nullptr, file))
            documents.push_back({document, file});
    }

    // The new folder is made, filled and renamed in the package folder opened here, whatever is done to the path.
    const SafeFolder package = SafeFolder::open(m_path);
    const QString madeName = SafeFolder::hiddenName(info.fileName(), QStringLiteral(".part"));
    const QString made = QDir(m_path).filePath(madeName);
    if (!package.isOpen() || ::mkdirat(package.fd(), QFile::encodeName(madeName).constData(), 0777) != 0) {
        qCWarning(lcStorage) << "cannot make" << made << qt_error_string(errno);
        return false;
    }
    const QString packageRoot = QFileInfo(m_path).canonicalFilePath();
    const QString ownFolder = cleanAbsolute(folder);
    for (const Document& document : documents) {
        bool cleared = false;
        for (const auto& asset : document.model->getAllContentAssets()) {
            const QUrl url = asset->externalURL();
            if (url.isEmpty())
                continue;
            QString named = url.isLocalFile() ? cleanAbsolute(url.toLocalFile())
                                              : ZERI_WebDownloader::cacheFilePathForUrl(url, folder);
            const QFileInfo namedInfo(named);
            if (namedInfo.path() != ownFolder) {
                // Named at the package's old place ("<old place>/<id>/assets/<name>"), as cleaning accepts.
                const QFileInfo namedFolder(namedInfo.path());
                if (namedFolder.fileName() != info.fileName() || QFileInfo(namedFolder.path()).fileName() != m_id)
                    continue;
                named = QDir(ownFolder).filePath(namedInfo.fileName());
            }
            const QString copy = QDir(made).filePath(QFileInfo(named).fileName());
            if (UntrustedAddresses::isInsideFolder(named, packageRoot)) {
                if (QFileInfo(named).isFile() && !QFileInfo::exists(copy) && !AtomicFile::linkOrCopy(named, copy))
                    qCWarning(lcStorage) << "cannot copy" << named << "into the package";
            } else if (url.isLocalFile()) {
                qCWarning(lcStorage) << "refusing the asset file" << named
                                     << "- it lies outside the document's package";
                asset->setExternalURL(QUrl());
                cleared = true;
            }
        }
        if (!cleared)
            continue;
        if (document.file.isEmpty()) {
            if (document.model == m_model)
                saveModel();
        } else {
            writeJsonFile(document.file, document.model->jsonData(), nullptr);
        }
    }
    // Only the link goes; the folder it led to keeps every file.
    if (!package.remove(info.fileName()) || !package.rename(madeName, info.fileName())) {
        qCWarning(lcStorage) << "cannot replace the link" << folder;
        QDir(made).removeRecursively();
        return false;
    }
    return true;
}

void ZERI_qvdFilePackage::noteReplacedAsset(const ZERI_ContentAsset& asset)
{
    if (asset.corvikContentID().isEmpty())
        return;
    m_serverDeletionCandidates.insert(asset.corvikContentID(), asset.localFilePath());
}

void ZERI_qvdFilePackage::screenPreviewReplaced(const ZERI_ContentAsset& old)
{
    if (old.isBakedAsset())
        return;
    QString file = old.localFilePath();
    if (file.isEmpty() && !old.externalURL().isEmpty() && !old.assetStoragePath().isEmpty())
        file = ZERI_WebDownloader::cacheFilePathForUrl(old.externalURL(), old.assetStoragePath());
    retireReplacedFile(file);
}

void ZERI_qvdFilePackage::retireReplacedFile(const QString& path)
{
    if (path.isEmpty())
        return;
    // A draft write already under way was started from the document before the replacement: only a later one
    // records the successor.
    m_retiredFiles.insert(cleanAbsolute(path), m_draftWrite.generation);
}

void ZERI_qvdFilePackage::removeRetiredFiles(quint64 generation)
{
    if (m_retiredFiles.isEmpty())
        return;
    const QSet<QString> named = m_model ? referencedFiles(*m_model, assetFolders()) : QSet<QString>();
    for (auto it = m_retiredFiles.begin(); it != m_retiredFiles.end();) {
        if (named.contains(it.key())) {
            it = m_retiredFiles.erase(it); // the document uses it again
        } else if (it.value() >= generation || AssetFileReferences::referenceCount(it.key()) > 0) {
            ++it; // not yet recorded as replaced, or still held
        } else {
            if (!PackageFileGuard::removeFile(*this, it.key()))
                qCWarning(lcStorage) << "cannot delete the replaced file" << it.key();
            it = m_retiredFiles.erase(it);
        }
    }
}

// Content ids the draft and the published copy use. Holds the empty text when either cannot be read, which
// callers take as "anything may be reachable".
QSet<QString> ZERI_qvdFilePackage::reachableContentIDs()
{
    QSet<QString> ids;
    if (m_serverDeletionCandidates.isEmpty())
        return ids;
    std::shared_ptr<ZERI_TessarineModel> draft = documentOfDraft();
    if (!draft) {
        waitForDraftWrites();
        QByteArray data;
        if (readFile(draftFilePath(), &data, nullptr))
            draft = ZERI_TessarineModel::initWithJsonData(data);
    }
    std::shared_ptr<ZERI_TessarineModel> published;
    if (QFileInfo::exists(publishedFilePath())) {
        QByteArray data;
        if (readFile(publishedFilePath(), &data, nullptr))
            published = ZERI_TessarineModel::initWithJsonData(data);
        if (!published)
            return {QString()};
    }
    if (!draft)
        return {QString()};
    for (const auto& document : {draft, published}) {
        if (!document)
            continue;
        for (const auto& asset : document->getAllContentAssets())
            ids.insert(asset->corvikContentID());
    }
    ids.remove(QString());
    return ids;
}

void ZERI_qvdFilePackage::flushServerDeletions(const QSet<QString>& reachable)
{
    for (auto it = m_serverDeletionCandidates.begin(); it != m_serverDeletionCandidates.end();) {
        if (reachable.contains(it.key())) {
            it = m_serverDeletionCandidates.erase(it); // in use again (an undo brought it back)
        } else if (!it.value().isEmpty() && AssetFileReferences::referenceCount(it.value()) > 0) {
            ++it; // an undo step can still bring it back
        } else {
            ContentItemDeletionQueue::queue()->enqueueDeleteForContentItem(it.key());
            it = m_serverDeletionCandidates.erase(it);
        }
    }
}

bool ZERI_qvdFilePackage::deletePackage(Error* error)
{
    dropModels();
    const QFileInfo info(m_path);
    if (info.exists() || info.isSymLink()) {
        // A picture finishing on a worker may still add a piece to the folder while it is being removed, which
        // would leave the folder and the document in place. The folder leaves its name at once, under a hidden
        // name the list never shows, and is removed from there.
        const QString aside =
            QDir(info.path())
                .filePath(QLatin1String(kDeletedFolderPrefix) + QUuid::createUuid().toString(QUuid::Id128));
        if (::rename(QFile::encodeName(m_path).constData(), QFile::encodeName(aside).constData()) != 0) {
            const QString message = QStringLiteral("Cannot delete the package folder \"%1\": %2")
                                        .arg(m_path, QString::fromLocal8Bit(std::strerror(errno)));
            qCWarning(lcStorage).noquote() << message;
            setError(error, packageError(CannotWrite, message));
            return false;
        }
        removeFolderSetAside(aside);
    }
    removeFromList();
    return true;
}

void ZERI_qvdFilePackage::removeFolderSetAside(const QString& aside)
{
    // A link is removed itself, never what it leads to.
    if (QFileInfo(aside).isSymLink() ? QFile::remove(aside) : QDir(aside).removeRecursively())
        return;
    // A piece that landed meanwhile kept the folder: its writer is done with it shortly; what still stays goes
    // with the next scan of the packages.
    if (auto* application = QCoreApplication::instance())
        QTimer::singleShot(1000, application, [aside] { QDir(aside).removeRecursively(); });
}

QString ZERI_qvdFilePackage::forgetPackage()
{
    const QString path = m_path; // the list may hold the last reference to this package
    dropModels();
    removeFromList();
    return path;
}

void ZERI_qvdFilePackage::dropModels()
{
    // Nothing the writer still holds of this package lands after its documents are dropped.
    waitForDraftWrites();
    ++m_draftWrite.generation;
    m_draftWrite.inFlight = false;
    m_draftWrite.again = false;
    if (m_model) {
        m_model->setDontSave(true);
        m_model->setFilePackage(nullptr);
        m_model.reset();
    }
    m_publishedModel.reset();
}

// May destroy this package: nothing of it may be used afterwards.
void ZERI_qvdFilePackage::removeFromList()
{
    m_removed = true;
    auto& packages = packageList().packages;
    packages.erase(std::remove_if(packages.begin(), packages.end(), [this](const auto& p) { return p.get() == this; }),
                   packages.end());
    schedulePackagesChangedNotification();
}

std::shared_ptr<ZERI_TessarineModel>
ZERI_qvdFilePackage::getTessarineModelCopy(const std::shared_ptr<ZERI_TessarineModel>& source, Error* error)
{
    if (!source)
        return nullptr;
    Error readError;
    auto copy = ZERI_TessarineModel::initWithDict(source->jsonDictionary(), &readError);
    if (!copy) {
        setError(error, readError);
        return nullptr;
    }
    copy->setInternalID(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
    copy->setApiID(QString());
    copy->setStringID(QString());
    copy->setAlias(QString());
    if (source->isThemeTessarine())
        copy->setDescription(QString());
    copy->setIsThemeTessarine(false);
    auto package = packageForNewModel(copy, error);
    if (!package)
        return nullptr;
    relinkAssets(*copy, source->documentAssetFolders(), package->assetsPath(), sourcePackageFolders(*source));
    if (!package->saveModel(error))
        return nullptr;
    return copy;
}

namespace {
void dropFullSizedImages(const std::shared_ptr<TessarineDataModelItem>& item)
{
    if (!item)
        return;
    if (const auto object = std::dynamic_pointer_cast<ZERI_MixedMediaObject>(item);
        object && object->croppedImageAsset() && object->originalImageAsset())
        object->setOriginalImageAsset(nullptr);
    for (const auto& child : item->childItems())
        dropFullSizedImages(child);
}
} // namespace

std::shared_ptr<ZERI_TessarineModel>
ZERI_qvdFilePackage::getTessarineModelCopyWithoutFullsizedImage(const std::shared_ptr<ZERI_TessarineModel>& source,
                                                                Error* error)
{
    if (!source)
        return nullptr;
    Error readError;
    auto copy = ZERI_TessarineModel::initWithDict(source->jsonDictionary(), &readError);
    if (!copy) {
        setError(error, readError);
        return nullptr;
    }
    copy->setInternalID(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
    copy->setIsThemeTessarine(false);
    dropFullSizedImages(copy);
    auto package = packageForNewModel(copy, error);
    if (!package)
        return nullptr;
    relinkAssets(*copy, source->documentAssetFolders(), package->assetsPath(), sourcePackageFolders(*source));
    if (!package->saveModel(error))
        return nullptr;
    ZERI_qvdFilePackageMetadata& metadata = package->metaData();
    metadata.setPackageType(0);
    metadata.setApiID(source->apiID());
    metadata.setStringID(source->stringID());
    metadata.setAlias(source->alias());
    package->saveMetadata();
    return copy;
}

void ZERI_qvdFilePackage::duplicatePackage(const std::shared_ptr<ZERI_qvdFilePackage>& package,
                                           std::function<void(std::shared_ptr<ZERI_qvdFilePackage>)> onDone)
{
    std::shared_ptr<ZERI_qvdFilePackage> duplicate;
    if (package && package->loadModel()) {
        if (auto copy = getTessarineModelCopy(package->model())) {
            duplicate = std::dynamic_pointer_cast<ZERI_qvdFilePackage>(copy->filePackage());
            copy->setDescription(package->model()->description());
            duplicate->saveModel();
            duplicate->metaData().setTessarineDescription(package->metaData().tessarineDescription());
            duplicate->metaData().setPackageType(package->metaData().packageType());
            duplicate->saveMetadata();
            QByteArray published;
            if (QFileInfo::exists(package->publishedFilePath()) &&
                readFile(package->publishedFilePath(), &published, nullptr))
                duplicate->savePublishedModelFromJSON(published, nullptr, package->path());
        }
    }
    if (onDone)
        MainThread::run([onDone = std::move(onDone), duplicate] { onDone(duplicate); }, false);
}
