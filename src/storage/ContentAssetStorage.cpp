#include "storage/ContentAssetStorage.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImageReader>
#include <QLocale>
#include <QSemaphore>
#include <QUrl>
#include <QUuid>

#include "elements/images/ImageUtils.h"
#include "foundation/Tessutils.h"
#include "platform/WorkerThreads.h"
#include "platform/MainThread.h"
#include "platform/SafeFolder.h"
#include "storage/AssetFileReferences.h"
#include "storage/MediaPreviewImages.h"
#include "storage/PackageFileGuard.h"
#include "storage/QVRDataItem.h"
#include "storage/StorageLogging.h"
#include "storage/ZERI_WebDownloader.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "strings/UFM.h"
#include "tessarine_data_model/VideoCompressionManager.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

double g_imageWaitSeconds = 180.0;

Error assetError(int code, const QString& message)
{
    return Error(QString::fromLatin1(ContentAssetStorage::errorDomain), code, message);
}

QString cleanAbsolute(const QString& path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

// Closes a descriptor when it goes out of scope.
struct Descriptor {
    int fd = -1;
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

bool writeAll(int fd, const char* data, qint64 size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size_t(std::min<qint64>(size, 1 << 30)));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

// Reports progress to the main thread at most every percent, so a large copy does not flood the event loop.
class ProgressReporter {
public:
    ProgressReporter(const ContentAssetStorage::ProgressBlock& block, qint64 total)
        : m_block(block)
        , m_total(total)
    {
    }
    void report(qint64 done)
    {
        if (!m_block || m_total <= 0)
            return;
        const int percent = int(done * 100 / m_total);
        if (percent == m_lastPercent)
            return;
        m_lastPercent = percent;
        MainThread::run([block = m_block, fraction = double(done) / double(m_total)] { block(fraction); }, false);
    }

private:
    const ContentAssetStorage::ProgressBlock& m_block;
    qint64 m_total;
    int m_lastPercent = -1;
};

// The loaded document of the package whose asset folder holds the file.
std::shared_ptr<ZERI_TessarineModel> documentOwningFile(const QString& path)
{
    const QString folder = QFileInfo(path).absolutePath();
    for (const auto& package : ZERI_qvdFilePackage::allPackages()) {
        if (cleanAbsolute(package->assetsPath()) == folder)
            return package->model();
    }
    return nullptr;
}

// Whether deleting the file is this document's business. A file shipped with the application, a file outside
// the document's asset folder (the user's own, another document's) may be used by what the document cannot see;
// a document that no longer saves still has a draft on disk naming its files.
bool mayDeleteFileOf(const ZERI_ContentAsset& asset, const QString& file,
                     const std::shared_ptr<ZERI_TessarineModel>& owner)
{
    if (asset.isBakedAsset())
        return false;
    const QString folder = QFileInfo(file).absolutePath();
    if (owner) {
        const QString own = owner->documentAssetStoragePath();
        return !owner->dontSave() && !own.isEmpty() && cleanAbsolute(own) == folder;
    }
    const auto packages = ZERI_qvdFilePackage::allPackages();
    return std::any_of(packages.begin(), packages.end(),
                       [&](const auto& package) { return cleanAbsolute(package->assetsPath()) == folder; });
}

} // namespace

bool ContentAssetStorage::storeData(ZERI_ContentAsset& asset, const QByteArray& data, const QString& folder,
                                    const QString& fileName, Error* error)
{
    const QString path = QDir(folder).filePath(fileName);
    Error writeError;
    // Written whole and renamed over the name, never through a link of that name (this may run on a worker, so
    // the folder is the one its document made its own when it was opened).
    if (!PackageFileGuard::writeFileInPreparedFolder(path, data, &writeError)) {
        setError(error, assetError(WriteFailure, writeError.message));
        return false;
    }
    asset.setExternalURL(QUrl::fromLocalFile(cleanAbsolute(path)));
    return true;
}

QString ContentAssetStorage::refusalReason(const Error& error)
{
    const auto is = [&error](const char* domain, int code) {
        return error.domain == QLatin1String(domain) && error.code == code;
    };
    if (is(errorDomain, TooLarge))
        return UFM::CONTENT_NOT_ADDED_TOO_LARGE().arg(QLocale().formattedDataSize(Tessutils::userMaxUploadSize()));
    if (is(errorDomain, PictureTooLarge) || is(ImageUtils::errorDomain, ImageUtils::TooLarge))
        return UFM::CONTENT_NOT_ADDED_PICTURE_TOO_LARGE().arg(
            QLocale().toString(double(ImageUtils::maximumReducedSourcePixelCount) / 1e6, 'f', 0));
    if (is(errorDomain, NoPicture) || is(MediaPreviewImages::errorDomain, MediaPreviewImages::NoPicture))
        return UFM::CONTENT_NOT_ADDED_NO_PICTURE();
    if (is(ZERI_WebDownloader::errorDomain, ZERI_WebDownloader::TooLarge))
        return UFM::CONTENT_NOT_ADDED_TOO_LARGE().arg(
            QLocale().formattedDataSize(ZERI_WebDownloader::maximumDownloadSize()));
    return UFM::CONTENT_NOT_ADDED_UNREADABLE();
}

QString ContentAssetStorage::importIntoFolder(const QString& sourcePath, const QByteArray& data, const QString& folder,
                                              const QString& extension, qint64 limit, const Operation* operation,
                                              const ProgressBlock& progress, Error* error)
{
    Descriptor in;
    qint64 size = data.size();
    if (!sourcePath.isEmpty()) {
        in.fd = ::open(QFile::encodeName(sourcePath).constData(), O_RDONLY | O_CLOEXEC);
        if (in.fd < 0 || !QFileInfo(sourcePath).isFile()) {
            setError(error, assetError(ReadFailure, QStringLiteral("Cannot read \"%1\"").arg(sourcePath)));
            return {};
        }
        size = QFileInfo(sourcePath).size();
    }
    if (limit > 0 && size > limit) {
        setError(
            error,
            assetError(
                TooLarge,
                QStringLiteral("The file is %1 bytes; the largest file you can add is %2 bytes").arg(size).arg(limit)));
        return {};
    }
    // Made and renamed in the folder opened here, whatever is done to its path while the copy runs.
    const SafeFolder into = SafeFolder::open(folder, SafeFolder::Missing::Make);
    if (!into.isOpen()) {
        setError(error, assetError(WriteFailure, QStringLiteral("Cannot make the folder \"%1\"").arg(folder)));
        return {};
    }
    QString name = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    if (!extension.isEmpty())
        name += QLatin1Char('.') + extension;
    const QString target = QDir(folder).filePath(name);
    const QString part = QLatin1Char('.') + name + QStringLiteral(".part");

    // Locked while it is written, as a download's piece is: package cleaning removes only pieces nobody holds.
    Descriptor out;
    out.fd = ZERI_WebDownloader::createLockedPiece(into, part);
    if (out.fd < 0) {
        setError(error, assetError(WriteFailure, QStringLiteral("Cannot write in \"%1\"").arg(folder)));
        return {};
    }
    const auto fail = [&](int code, const QString& message) {
        into.remove(part);
        setError(error, assetError(code, message));
        return QString();
    };

    ProgressReporter reporter(progress, size);
    reporter.report(0);
    if (sourcePath.isEmpty()) {
        constexpr qint64 chunk = 4 << 20;
        for (qint64 done = 0; done < size; done += chunk) {
            if (operation && operation->isCancelled())
                return fail(Cancelled, QStringLiteral("The import was cancelled"));
            if (!writeAll(out.fd, data.constData() + done, std::min(chunk, size - done)))
                return fail(WriteFailure, QStringLiteral("Cannot write \"%1\"").arg(target));
            reporter.report(std::min(done + chunk, size));
        }
    } else {
        // Kernel-side copy in large steps (cancellable between them); plain reads and writes where the file
        // systems cannot copy between each other.
        constexpr size_t step = 16 << 20;
        qint64 done = 0;
        bool kernelCopy = true;
        QByteArray buffer;
        while (true) {
            if (operation && operation->isCancelled())
                return fail(Cancelled, QStringLiteral("The import was cancelled"));
            ssize_t copied = -1;
            if (kernelCopy) {
                copied = ::copy_file_range(in.fd, nullptr, out.fd, nullptr, step, 0);
                if (copied < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP) &&
                    done == 0) {
                    kernelCopy = false;
                    continue;
                }
            } else {
                if (buffer.isEmpty())
                    buffer.resize(4 << 20);
                copied = ::read(in.fd, buffer.data(), size_t(buffer.size()));
                if (copied > 0 && !writeAll(out.fd, buffer.constData(), copied))
                    return fail(WriteFailure, QStringLiteral("Cannot write \"%1\"").arg(target));
            }
            if (copied < 0) {
                if (errno == EINTR)
                    continue;
                return fail(ReadFailure, QStringLiteral("Cannot copy \"%1\"").arg(sourcePath));
            }
            if (copied == 0)
                break;
            // Start writing this step back now, so the final flush to disk has little left to do.
            ::sync_file_range(out.fd, done, copied, SYNC_FILE_RANGE_WRITE);
            done += copied;
            reporter.report(std::min(done, size));
        }
    }
    // The name says "complete" only for bytes that are on disk.
    if (::fdatasync(out.fd) != 0)
        return fail(WriteFailure, QStringLiteral("Cannot write \"%1\"").arg(target));
    // Counted before it has its name, so that a cleaning of the folder never takes it for a stray file; the piece
    // stays open (locked) until it is renamed.
    AssetFileReferences::retainFile(target);
    if (!into.rename(part, name)) {
        AssetFileReferences::releaseFile(target);
        return fail(WriteFailure, QStringLiteral("Cannot write \"%1\"").arg(target));
    }
    ::close(out.fd);
    out.fd = -1;
    return target;
}

std::shared_ptr<ContentAssetStorage::Operation>
ContentAssetStorage::storeDataItem(const std::shared_ptr<ZERI_ContentAsset>& asset,
                                   const std::shared_ptr<QVRDataItem>& item, const QString& folder, DoneBlock onDone,
                                   ProgressBlock onProgress)
{
    Q_ASSERT(MainThread::isMainThread());
    auto operation = std::make_shared<Operation>();
    const qint64 limit = Tessutils::userMaxUploadSize();
    const QString extension = item ? item->suggestedExtension() : QString();
    const QString sourceName = item ? item->sourceFileName() : QString();
    std::weak_ptr<ZERI_ContentAsset> weakAsset = asset;
    WorkerThreads::shared().post([operation, item, folder, limit, extension, sourceName, weakAsset,
                                  onDone = std::move(onDone), onProgress = std::move(onProgress)] {
        Error error;
        QString path;
        if (!item || (item->contentFilePath().isEmpty() && item->contentData().isEmpty()))
            error = assetError(ReadFailure, QStringLiteral("The item has no content to import"));
        else
            path = importIntoFolder(item->contentFilePath(), item->contentData(), folder, extension, limit,
                                    operation.get(), onProgress, &error);
        MainThread::run(
            [operation, path, error, sourceName, weakAsset, onDone] {
                Error result = error;
                const auto target = weakAsset.lock();
                if (result.isNull() && (operation->isCancelled() || !target)) {
                    QFile::remove(path);
                    result = assetError(Cancelled, QStringLiteral("The import was cancelled"));
                }
                if (result.isNull()) {
                    target->setExternalURL(QUrl::fromLocalFile(path));
                    if (target->sourceFileName().isEmpty() && !sourceName.isEmpty())
                        target->setSourceFileName(sourceName);
                } else if (result.code != Cancelled) {
                    qCWarning(lcStorage).noquote() << "import failed:" << result.message;
                }
                if (!path.isEmpty())
                    AssetFileReferences::releaseFile(path);
                if (onDone)
                    onDone(result);
            },
            false);
    });
    return operation;
}

std::shared_ptr<ZERI_WebDownloader> ContentAssetStorage::downloader(const ZERI_ContentAsset& asset)
{
    // Where every drawing finds the file: a file already in one of the document's folders is not fetched again.
    const ZERI_ContentAsset::Location where = asset.location();
    if (where.url.isEmpty() || where.folder.isEmpty() || asset.assetStoragePath().isEmpty())
        return nullptr;
    return ZERI_WebDownloader::downloaderForUrl(where.url, where.folder);
}

void ContentAssetStorage::setImageWaitSecondsForTesting(double seconds)
{
    g_imageWaitSeconds = seconds;
}

QImage ContentAssetStorage::getImage(const std::shared_ptr<ZERI_ContentAsset>& asset)
{
    return getImageIgnoreThreadSafety(asset, false);
}

QImage ContentAssetStorage::getImageIgnoreThreadSafety(const std::shared_ptr<ZERI_ContentAsset>& asset,
                                                       bool ignoreThreadSafety)
{
    if (!asset)
        return {};
    const bool onMain = MainThread::isMainThread();
    if (onMain && !ignoreThreadSafety)
        return {};

    // The model is the main thread's: its URL and folder are read there (the main thread never waits for us).
    QString path;
    const auto findPath = [&] {
        if (const auto d = downloader(*asset))
            path = d->filepath();
        else
            path = asset->localFilePath();
    };
    if (onMain)
        findPath();
    else
        MainThread::run(findPath, true);
    if (path.isEmpty())
        return {};

    if (!QFileInfo(path).isFile() && !onMain) {
        struct Wait {
            QSemaphore done;
            std::shared_ptr<ZERI_WebDownloader> downloader;
            ObjectUpdateNotifierObserver observation;
        };
        auto wait = std::make_shared<Wait>();
        MainThread::run(
            [asset, wait] {
                wait->downloader = downloader(*asset);
                if (!wait->downloader) {
                    wait->done.release();
                    return;
                }
                std::weak_ptr<Wait> weakWait = wait;
                wait->observation = wait->downloader->updateNotifier().addObservationBlock(
                    [weakWait](const void*, const QSet<QString>&) {
                        auto w = weakWait.lock();
                        if (!w || !w->downloader)
                            return;
                        const int status = w->downloader->downloadStatus();
                        if (status == ZERI_WebDownloader::OnDisk || status == ZERI_WebDownloader::Failed) {
                            w->observation.reset();
                            w->downloader.reset();
                            w->done.release();
                        }
                    },
                    QStringLiteral("downloadStatus"));
                wait->downloader->downloadAndCache();
                if (wait->downloader->downloadStatus() == ZERI_WebDownloader::OnDisk ||
                    wait->downloader->downloadStatus() == ZERI_WebDownloader::Failed) {
                    wait->observation.reset();
                    wait->downloader.reset();
                    wait->done.release();
                }
            },
            false);
        if (!wait->done.tryAcquire(1, int(g_imageWaitSeconds * 1000)))
            qCWarning(lcStorage) << "gave up waiting for the download of" << path;
        // The downloader and observation are the main thread's; drop them there.
        MainThread::run(
            [wait] {
                wait->observation.reset();
                wait->downloader.reset();
            },
            false);
    }
    if (!QFileInfo(path).isFile())
        return {};
    QImageReader reader(path);
    reader.setAutoTransform(true);
    QImage image = reader.read();
    if (image.isNull())
        qCWarning(lcStorage) << "cannot decode asset image" << path << reader.errorString();
    return image;
}

bool ContentAssetStorage::documentUsesFile(const ZERI_TessarineModel& document, const QString& path,
                                           const ZERI_ContentAsset* except)
{
    const QString file = cleanAbsolute(path);
    for (const auto& other : document.getAllContentAssets()) {
        if (other.get() == except)
            continue;
        const QString otherPath = other->localFilePath();
        if (!otherPath.isEmpty() && cleanAbsolute(otherPath) == file)
            return true;
    }
    return false;
}

void ContentAssetStorage::deleteFileAndCancelCompression(const std::shared_ptr<ZERI_ContentAsset>& asset,
                                                         bool cancelCompression,
                                                         const std::shared_ptr<ZERI_TessarineModel>& document)
{
    if (!asset)
        return;
    auto owner = document ? document : asset->tessarineModel();
    if (cancelCompression && owner)
        owner->documentVideoCompressionManager()->cancelCompressionForContentAsset(asset);
    const QString path = asset->localFilePath();
    if (path.isEmpty())
        return;
    if (!owner)
        owner = documentOwningFile(cleanAbsolute(path));
    if (owner && documentUsesFile(*owner, path, asset.get()))
        return;
    asset->setExternalURL(QUrl());
    if (!mayDeleteFileOf(*asset, cleanAbsolute(path), owner))
        return;
    // Until the pending save has run, the draft on disk still names the file: a crash in that second would leave
    // a draft missing one of its files. Write the draft first when the file is about to go; when that fails the
    // file stays, for the package's cleaning to remove once no draft names it.
    if (owner && owner->isSaveScheduled() && owner->filePackage() && AssetFileReferences::referenceCount(path) == 0) {
        Error saveError;
        if (!owner->saveToFile(&saveError)) {
            qCWarning(lcStorage).noquote()
                << "keeping" << path << "- the draft that names it cannot be saved:" << saveError.message;
            return;
        }
    }
    std::weak_ptr<ZERI_TessarineModel> weakOwner = owner;
    const bool hadOwner = bool(owner);
    AssetFileReferences::deleteWhenUnreferenced(path, [weakOwner, hadOwner, path] {
        if (!hadOwner)
            return false;
        const auto current = weakOwner.lock();
        // A closed document is cleaned with its package; until then keep what it might still use.
        return !current || documentUsesFile(*current, path);
    });
}
