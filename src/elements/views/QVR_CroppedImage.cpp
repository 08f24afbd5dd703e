#include "elements/views/QVR_CroppedImage.h"

#include <sys/stat.h>

#include <QFile>
#include <QFileInfo>

#include "elements/views/ElementsLogging.h"
#include "platform/WorkerThreads.h"
#include "platform/MainThread.h"
#include "storage/ContentAssetStorage.h"
#include "storage/MixedMediaObjectStorage.h"
#include "storage/ZERI_WebDownloader.h"
#include "tessarine_data_model/ModelDrawing.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"

namespace {

std::shared_ptr<ZERI_WebDownloader> downloaderOf(const std::shared_ptr<ZERI_ContentAsset>& asset)
{
    return asset ? ContentAssetStorage::downloader(*asset) : nullptr;
}

QString fileStamp(const QString& path)
{
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return {};
    return QStringLiteral("%1|%2|%3.%4")
        .arg(qint64(status.st_size))
        .arg(quint64(status.st_ino))
        .arg(qint64(status.st_mtim.tv_sec))
        .arg(qint64(status.st_mtim.tv_nsec));
}

} // namespace

QVR_CroppedImage::QVR_CroppedImage(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object)
    : m_mmobj(object)
{
    if (object && object->object())
        m_size = object->object()->frame().size();
    if (object) {
        QPointer<QVR_CroppedImage> self(this);
        m_updateObserver = object->updateNotifier().addObservationBlock(
            [self](const void*, const QSet<QString>& changedKeys) {
                if (!self)
                    return;
                qCInfo(lcElements) << "OBSERVED CHANGE FOR" << changedKeys;
                const auto proxy = self->mmobj();
                if (!proxy || !proxy->object())
                    return;
                for (const QString& key : changedKeys) {
                    if (key == QLatin1String("croppedImageAsset"))
                        self->setRegularImageDownloader(downloaderOf((*proxy)->croppedImageAsset()));
                    else if (key == QLatin1String("retinaCroppedImageAsset"))
                        self->setRetinaImageDownloader(downloaderOf((*proxy)->retinaCroppedImageAsset()));
                }
            },
            QStringList{QStringLiteral("retinaCroppedImageAsset"), QStringLiteral("croppedImageAsset")});
    }
    findAndSetAssets();
    m_constructing = false;
}

QVR_CroppedImage::~QVR_CroppedImage() = default;

void QVR_CroppedImage::setOnImageRepresentationUpdate(std::function<void(QVR_CroppedImage*)> block)
{
    m_onImageRepresentationUpdate = std::move(block);
}

void QVR_CroppedImage::setOnImageDownloadDidFail(std::function<void(QVR_CroppedImage*)> block)
{
    m_onImageDownloadDidFail = std::move(block);
}

QImage QVR_CroppedImage::representationForPixelsPerPoint(double pixelsPerPoint) const
{
    const QImage& regular = m_reps[Regular].image;
    const QImage& retina = m_reps[Retina].image;
    if (retina.isNull())
        return regular;
    if (regular.isNull() || pixelsPerPoint > 1.0)
        return retina;
    return regular;
}

ObjectUpdateNotifierObserver QVR_CroppedImage::observeStatus(const std::shared_ptr<ZERI_WebDownloader>& downloader)
{
    if (!downloader)
        return {};
    QPointer<QVR_CroppedImage> self(this);
    return downloader->updateNotifier().addObservationBlock(
        [self](const void* sender, const QSet<QString>&) {
            if (self)
                self->downloadStatusChanged(sender);
        },
        QStringLiteral("downloadStatus"));
}

void QVR_CroppedImage::setRegularImageDownloader(const std::shared_ptr<ZERI_WebDownloader>& downloader)
{
    setImageDownloader(Regular, downloader);
}

void QVR_CroppedImage::setRetinaImageDownloader(const std::shared_ptr<ZERI_WebDownloader>& downloader)
{
    setImageDownloader(Retina, downloader);
}

void QVR_CroppedImage::setImageDownloader(Kind kind, const std::shared_ptr<ZERI_WebDownloader>& downloader)
{
    Representation& rep = m_reps[kind];
    if (rep.downloader != downloader) {
        rep.statusObserver.reset();
        rep.downloader = downloader;
        rep.statusObserver = observeStatus(downloader);
    }
    updateImageRepsFromDownloaders();
}

void QVR_CroppedImage::findAndSetAssets()
{
    const auto proxy = mmobj();
    if (!proxy || !proxy->object())
        return;
    if ((*proxy)->croppedImageAsset()) {
        assignCroppedImageDownloaders();
        return;
    }
    const auto original = downloaderOf((*proxy)->originalImageAsset());
    if (original && original->fileExists()) {
        makeCroppedImagesFromOriginal();
        return;
    }
    attemptDownloadOfOriginalImageAsset();
}

void QVR_CroppedImage::assignCroppedImageDownloaders()
{
    const auto proxy = mmobj();
    if (!proxy || !proxy->object())
        return;
    setRegularImageDownloader(downloaderOf((*proxy)->croppedImageAsset()));
    setRetinaImageDownloader(downloaderOf((*proxy)->retinaCroppedImageAsset()));
    for (const Representation& rep : m_reps) {
        if (rep.downloader && !rep.downloader->fileExists())
            rep.downloader->downloadAndCache();
    }
}

void QVR_CroppedImage::updateImageRepsFromDownloaders()
{
    for (Kind kind : {Regular, Retina}) {
        const auto& downloader = m_reps[kind].downloader;
        if (downloader && downloader->fileExists())
            setImageRepFromFilepath(kind, downloader->filepath());
        else
            removeRepresentation(kind, true);
    }
}

void QVR_CroppedImage::setImageRepFromFilepath(Kind kind, const QString& path)
{
    Representation& rep = m_reps[kind];
    const QString stamp = fileStamp(path);
    if (path == rep.path && stamp == rep.fileStamp)
        return;
    removeRepresentation(kind, true);
    rep.path = path;
    rep.fileStamp = stamp;
    const quint64 generation = ++rep.generation;
    const bool announce = !m_constructing;

    // A picture someone already decoded (another view, a preview) costs nothing; anything else is decoded on a
    // worker so that building and scrolling a screen full of pictures never waits for a file.
    const QImage decoded = ModelImageCache::imageForFile(path, false);
    if (!decoded.isNull()) {
        installRepresentation(kind, decoded, announce);
        return;
    }
    std::weak_ptr<char> alive = m_lifetime;
    ++m_pendingDecodes;
    WorkerThreads::shared().post([this, alive, kind, generation, announce, path] {
        const QImage image = ModelImageCache::imageForFile(path, true);
        MainThread::run(
            [this, alive, kind, generation, announce, path, image] {
                if (alive.expired())
                    return;
                --m_pendingDecodes;
                if (m_reps[kind].generation != generation)
                    return;
                if (image.isNull()) {
                    // The path stays remembered: the same file is not read again, and the other kind stays.
                    qCWarning(lcElements) << "cannot read the cropped picture" << path;
                    return;
                }
                installRepresentation(kind, image, announce);
            },
            false);
    });
}

void QVR_CroppedImage::installRepresentation(Kind kind, const QImage& image, bool announce)
{
    m_reps[kind].image = image;
    emit representationsChanged();
    if (announce && m_onImageRepresentationUpdate)
        m_onImageRepresentationUpdate(this);
}

void QVR_CroppedImage::removeRepresentation(Kind kind, bool forgetPath)
{
    Representation& rep = m_reps[kind];
    if (forgetPath) {
        // Forgetting the path lets a file that comes back at the same place (a retried or replaced download)
        // be read again.
        rep.path.clear();
        rep.fileStamp.clear();
        ++rep.generation;
    }
    if (rep.image.isNull())
        return;
    rep.image = QImage();
    emit representationsChanged();
}

void QVR_CroppedImage::attemptDownloadOfOriginalImageAsset()
{
    m_originalStatusObserver.reset();
    const auto proxy = mmobj();
    m_originalDownloader = proxy && proxy->object() ? downloaderOf((*proxy)->originalImageAsset()) : nullptr;
    if (!m_originalDownloader)
        return; // an object still without media: its assets arrive through the update notifier
    m_originalStatusObserver = observeStatus(m_originalDownloader);
    m_originalDownloader->downloadAndCache();
}

void QVR_CroppedImage::makeCroppedImagesFromOriginal()
{
    // Cropping runs on a worker and sets the new assets when done (their keys then bring the new downloaders).
    // The cropped downloaders are assigned only after that: assigning them at once would start the failed
    // cropped downloads again, and their failure would fetch the original once more.
    if (m_cropping)
        return;
    QPointer<QVR_CroppedImage> self(this);
    m_cropping =
        MixedMediaObjectStorage::makeAndSetCroppedImageAssetFromOriginalImageAsset(mmobj(), [self](const Error& error) {
            if (!self)
                return;
            self->m_cropping = false;
            if (!error.isNull())
                qCWarning(lcElements) << "cannot crop the original picture:" << error.message;
            self->assignCroppedImageDownloaders();
        });
}

bool QVR_CroppedImage::isLoading() const
{
    if (m_pendingDecodes > 0 || m_cropping)
        return true;
    for (const auto* downloader :
         {m_reps[Regular].downloader.get(), m_reps[Retina].downloader.get(), m_originalDownloader.get()}) {
        if (downloader && downloader->downloadStatus() == ZERI_WebDownloader::Downloading)
            return true;
    }
    return false;
}

bool QVR_CroppedImage::didDownloadersFail() const
{
    if (!m_originalDownloader || m_originalDownloader->downloadStatus() != ZERI_WebDownloader::Failed)
        return false;
    const auto& regular = m_reps[Regular].downloader;
    return !regular || regular->downloadStatus() == ZERI_WebDownloader::Failed;
}

void QVR_CroppedImage::downloadStatusChanged(const void* sender)
{
    if (!sender)
        return;
    const bool isCropped = sender == m_reps[Regular].downloader.get() || sender == m_reps[Retina].downloader.get();
    const bool isOriginal = m_originalDownloader && sender == m_originalDownloader.get();
    if (isCropped) {
        const auto* downloader = static_cast<const ZERI_WebDownloader*>(sender);
        switch (downloader->downloadStatus()) {
        case ZERI_WebDownloader::OnDisk:
            updateImageRepsFromDownloaders();
            break;
        case ZERI_WebDownloader::Failed:
            attemptDownloadOfOriginalImageAsset();
            break;
        default:
            break;
        }
    }
    if (isOriginal) {
        switch (m_originalDownloader->downloadStatus()) {
        case ZERI_WebDownloader::OnDisk:
            makeCroppedImagesFromOriginal();
            break;
        case ZERI_WebDownloader::Failed:
            if (m_onImageDownloadDidFail)
                m_onImageDownloadDidFail(this);
            break;
        default:
            break;
        }
    }
}
