#include "platform/AtomicFile.h"
#include "storage/MixedMediaObjectStorage.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <unordered_map>
#include <utility>

#include <unistd.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImageReader>
#include <QSet>
#include <QPainter>
#include <QUrl>
#include <QUuid>

#include "elements/images/ImageUtils.h"
#include "foundation/Tessutils.h"
#include "platform/AppPaths.h"
#include "platform/WorkerThreads.h"
#include "platform/MainThread.h"
#include "platform/NotificationCenter.h"
#include "storage/AssetFileReferences.h"
#include "storage/MediaPreviewImages.h"
#include "storage/PackageFileGuard.h"
#include "storage/QVRDataItem.h"
#include "storage/QVRDataProcessorDataItem.h"
#include "storage/QVRStreamingVideoDataItem.h"
#include "storage/StorageLogging.h"
#include "storage/ZERI_WebDownloader.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "strings/UFM.h"
#include "tessarine_data_model/ModelDrawing.h"
#include "tessarine_data_model/UndoableAction.h"
#include "tessarine_data_model/VideoAssetCompressorPreset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_MMObject_Video.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

using Operation = ContentAssetStorage::Operation;

QHash<const ZERI_MixedMediaObjectProxy*, std::shared_ptr<Operation>>& runningSetups()
{
    static QHash<const ZERI_MixedMediaObjectProxy*, std::shared_ptr<Operation>> setups;
    return setups;
}

Error assetError(int code, const QString& message)
{
    return Error(QString::fromLatin1(ContentAssetStorage::errorDomain), code, message);
}

QString newFileName(const QString& extension)
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() + QLatin1Char('.') + extension;
}

std::shared_ptr<ZERI_ContentAsset> assetForFile(const QString& path)
{
    auto asset = ZERI_ContentAsset::create();
    asset->setExternalURL(QUrl::fromLocalFile(path));
    return asset;
}

// The local file of an asset when it is on disk: its own file, or its download.
QString fileOnDisk(const std::shared_ptr<ZERI_ContentAsset>& asset)
{
    if (!asset)
        return {};
    const ZERI_ContentAsset::Location where = asset->location();
    return where.onDisk ? where.path : QString();
}

// The two pictures of one crop, made on two workers: whichever finishes last hands both over. A failure of
// either fails both.
struct CropJob {
    explicit CropJob(int count)
        : pending(count)
    {
    }
    // Records one picture; true for the call that completes the job.
    bool done(bool retina, const QString& path, const Error& failure)
    {
        std::lock_guard lock(mutex);
        (retina ? retinaPath : regularPath) = path;
        if (error.isNull() && !failure.isNull())
            error = failure;
        return --pending == 0;
    }
    std::mutex mutex;
    int pending;
    QString regularPath;
    QString retinaPath;
    Error error;
};

// What a cropped picture is made from. A result is set only while the object still has this geometry.
struct CropGeometry {
    QSizeF frame;
    std::optional<double> zoomScale;
    QSizeF zoomOffset;
    int rotation = 0;

    static CropGeometry of(const ZERI_MixedMediaObject& model)
    {
        return {model.frame().size(), model.zoomScale(), model.zoomOffset(), model.rotation()};
    }
    bool operator==(const CropGeometry&) const = default;
};

// The cropped-picture requests of each object, main thread only: which one is the newest, and whether the newest
// result was dropped because the object's geometry changed meanwhile (an undo, a redo). When an undo or a redo
// restores a flow, the dropped pictures of its objects are made again for the geometry it restored.
class CropRequests {
public:
    enum Verdict { Current, Stale };

    static CropRequests& shared()
    {
        static CropRequests requests;
        return requests;
    }

    quint64 begin(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object, const CropGeometry& geometry)
    {
        observeUndo();
        std::erase_if(m_states, [](const auto& entry) { return entry.second.object.expired(); });
        State& state = m_states[object.get()];
        if (state.object.lock() != object)
            state = State{object, 0, false, {}};
        state.dropped = false;
        state.newest = ++m_counter;
        state.newestGeometry = geometry;
        return state.newest;
    }

    Verdict finish(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object, quint64 request,
                   const CropGeometry& madeFor)
    {
        const auto found = m_states.find(object.get());
        const bool known = found != m_states.end() && found->second.object.lock() == object;
        const bool fits = CropGeometry::of(*object->object()) == madeFor;
        if (known && found->second.newest == request) {
            if (!fits) {
                found->second.dropped = true;
                return Stale;
            }
            m_states.erase(found);
            return Current;
        }
        // An older request is as good as the newest when both ask for the same picture (a view asking again for
        // what is being made), or when the newest has landed and the object still has the geometry this one was
        // made for: its caller is not told it was cancelled.
        if (known)
            return fits && found->second.newestGeometry == madeFor ? Current : Stale;
        return fits ? Current : Stale;
    }

    // Runs a result's landing now, or later while results are held back.
    void land(std::function<void()> landing)
    {
        if (m_held)
            m_heldLandings.push_back(std::move(landing));
        else
            landing();
    }

    void setHeld(bool held)
    {
        m_held = held;
        while (!m_held && !m_heldLandings.empty()) {
            auto landing = std::move(m_heldLandings.front());
            m_heldLandings.erase(m_heldLandings.begin());
            landing();
        }
    }

private:
    struct State {
        std::weak_ptr<ZERI_MixedMediaObjectProxy> object;
        quint64 newest = 0;
        bool dropped = false;
        CropGeometry newestGeometry;
    };

    void observeUndo()
    {
        if (m_observation)
            return;
        NotificationCenter& center = NotificationCenter::defaultCenter();
        m_observation = std::make_unique<NotificationObservation>(
            center, center.addObserver(TessarineDataModelItem::kDidSetPropertiesFromUndoableActionNotification, nullptr,
                                       [this](const Notification& note) { restored(note.sender); }));
    }

    // The objects under the restored item whose newest result was dropped are made again.
    void restored(const void* item)
    {
        std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>> again;
        for (auto& [key, state] : m_states) {
            const auto object = state.object.lock();
            if (!object || !state.dropped)
                continue;
            for (std::shared_ptr<TessarineDataModelItem> node = object->object(); node; node = node->parent()) {
                if (static_cast<const void*>(node.get()) == item) {
                    again.push_back(object);
                    break;
                }
            }
        }
        for (const auto& object : again)
            MixedMediaObjectStorage::makeAndSetCroppedImageAssetFromOriginalImageAsset(object);
    }

    std::unordered_map<const ZERI_MixedMediaObjectProxy*, State> m_states;
    quint64 m_counter = 0;
    bool m_held = false;
    std::vector<std::function<void()>> m_heldLandings;
    std::unique_ptr<NotificationObservation> m_observation;
};

int objectTypeForItem(int itemType)
{
    switch (itemType) {
    case QVRDataItem::Image:
        return ZERI_MixedMediaObject::Image;
    case QVRDataItem::Video:
    case QVRDataItem::StreamingVideo:
        return ZERI_MixedMediaObject::Video;
    case QVRDataItem::PDF:
        return ZERI_MixedMediaObject::PDF;
    case QVRDataItem::Audio:
        return ZERI_MixedMediaObject::Audio;
    default:
        return -1;
    }
}

// The files a set-up made on its worker: the media and, for videos and PDFs, the picture standing for it.
struct SetupFiles {
    QString media;
    QString picture;
    Error error;
    void removeAll() const
    {
        if (!media.isEmpty())
            QFile::remove(media);
        if (!picture.isEmpty())
            QFile::remove(picture);
    }
    // Both files are counted while the set-up makes them (see ContentAssetStorage::importIntoFolder).
    void release() const
    {
        if (!media.isEmpty())
            AssetFileReferences::releaseFile(media);
        if (!picture.isEmpty())
            AssetFileReferences::releaseFile(picture);
    }
};

// Checks that the stored file is the media it claims to be and makes the picture for videos and PDFs.
void checkContent(int itemType, const QString& folder, SetupFiles& files)
{
    Error problem;
    QImage picture;
    switch (itemType) {
    case QVRDataItem::Image: {
        QImageReader reader(files.media);
        const QSize size = reader.size();
        if (reader.canRead() && !size.isEmpty() && !ImageUtils::isDecodable(size, reader.format())) {
            problem = assetError(ContentAssetStorage::PictureTooLarge,
                                 QStringLiteral("\"%1\" is too large a picture: %2 × %3 pixels")
                                     .arg(files.media)
                                     .arg(size.width())
                                     .arg(size.height()));
            break;
        }
        // A large photo is decoded at its reduced size, as it will be shown.
        if (!size.isEmpty())
            reader.setScaledSize(ImageUtils::decodedSize(size));
        if (!reader.canRead() || size.isEmpty() || reader.read().isNull())
            problem = assetError(ContentAssetStorage::WrongContent,
                                 QStringLiteral("\"%1\" is not a readable image").arg(files.media));
        break;
    }
    case QVRDataItem::Video:
        picture = MediaPreviewImages::posterFrameOfVideo(files.media, &problem);
        break;
    case QVRDataItem::PDF:
        picture = MediaPreviewImages::firstPageOfPdf(files.media, &problem);
        break;
    case QVRDataItem::Audio:
        MediaPreviewImages::hasAudioStream(files.media, &problem);
        break;
    default:
        problem = assetError(ContentAssetStorage::WrongContent, QStringLiteral("The item's kind of media is unknown"));
    }
    if (!problem.isNull()) {
        const bool tooLarge = problem.domain == QLatin1String(ContentAssetStorage::errorDomain) &&
                              problem.code == ContentAssetStorage::PictureTooLarge;
        const bool noPicture = problem.domain == QLatin1String(MediaPreviewImages::errorDomain) &&
                               problem.code == MediaPreviewImages::NoPicture;
        files.error = assetError(tooLarge    ? ContentAssetStorage::PictureTooLarge
                                 : noPicture ? ContentAssetStorage::NoPicture
                                             : ContentAssetStorage::WrongContent,
                                 problem.message);
        return;
    }
    if (!picture.isNull()) {
        const QString path = QDir(folder).filePath(newFileName(QStringLiteral("png")));
        Error writeError;
        AssetFileReferences::retainFile(path);
        if (!ImageUtils::writeImage(picture, path, false, &writeError)) {
            AssetFileReferences::releaseFile(path);
            files.error = assetError(ContentAssetStorage::WriteFailure, writeError.message);
            return;
        }
        files.picture = path;
    }
}

void applySetup(ZERI_MixedMediaObjectProxy& proxy, const QVRDataItem& item, bool overrideType, const SetupFiles& files)
{
    if (overrideType) {
        if (const int type = objectTypeForItem(item.type()); type >= 0 && proxy.type() != type)
            proxy.changeType(type);
    }
    ZERI_MixedMediaObject& object = *proxy.object();
    auto media = assetForFile(files.media);
    if (const QString name = item.sourceFileName(); !name.isEmpty())
        media->setSourceFileName(name);
    switch (item.type()) {
    case QVRDataItem::Image:
        object.setOriginalImageAsset(media);
        break;
    case QVRDataItem::Video:
        if (auto processorItem = dynamic_cast<const QVRDataProcessorDataItem*>(&item))
            media->setVideoCompressionPreset(processorItem->videoCompressionPreset());
        object.setVideoAsset(media);
        object.setOriginalImageAsset(assetForFile(files.picture));
        break;
    case QVRDataItem::PDF:
        object.setPdfAsset(media);
        object.setOriginalImageAsset(assetForFile(files.picture));
        break;
    case QVRDataItem::Audio:
        object.setAudioAsset(media);
        break;
    default:
        break;
    }
}

void setupStreamingVideo(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object,
                         const QVRStreamingVideoDataItem& item, bool overrideType,
                         const MixedMediaObjectStorage::DoneBlock& onDone)
{
    Error error;
    if (!item.youtubeURL().isValid() || item.youtubeURL().isEmpty()) {
        error = assetError(ContentAssetStorage::WrongContent, QStringLiteral("The web video has no address"));
    } else {
        if (overrideType && object->type() != ZERI_MixedMediaObject::Video)
            object->changeType(ZERI_MixedMediaObject::Video);
        auto video = ZERI_ContentAsset::create();
        video->setExternalURL(item.youtubeURL());
        object->object()->setVideoAsset(video);
        // The player streams it from the site instead of fetching a file, and nothing fetches it ahead of time.
        if (const auto streaming = object->as<ZERI_MMObject_Video>())
            streaming->setIsYoutubeVideo(true);
        QUrl thumbnailUrl = item.thumbnailUrl();
        // A thumbnail already fetched (by the item's processor) becomes a file of the document.
        const QString folder = object->object()->assetStoragePath();
        if (thumbnailUrl.isLocalFile() && !folder.isEmpty()) {
            Error copyError;
            const QString copied = ContentAssetStorage::importIntoFolder(
                thumbnailUrl.toLocalFile(), {}, folder, QFileInfo(thumbnailUrl.toLocalFile()).suffix().toLower(), 0,
                nullptr, {}, &copyError);
            thumbnailUrl = copied.isEmpty() ? QUrl() : QUrl::fromLocalFile(copied);
        }
        if (!thumbnailUrl.isEmpty()) {
            auto thumbnail = ZERI_ContentAsset::create();
            thumbnail->setExternalURL(thumbnailUrl);
            object->object()->setOriginalImageAsset(thumbnail);
        }
        if (thumbnailUrl.isLocalFile() && !folder.isEmpty())
            AssetFileReferences::releaseFile(thumbnailUrl.toLocalFile());
    }
    // Completion is always asynchronous, as for stored media.
    if (onDone)
        MainThread::run([onDone, error] { onDone(error); }, false);
}

// Writes a new asset picture, counted (see ContentAssetStorage::importIntoFolder) from before it exists.
bool writeCounted(const QImage& image, const QString& path, bool jpeg, Error* error)
{
    AssetFileReferences::retainFile(path);
    if (ImageUtils::writeImage(image, path, jpeg, error))
        return true;
    AssetFileReferences::releaseFile(path);
    return false;
}

std::shared_ptr<ZERI_qvdFilePackage> packageOf(const ZERI_MixedMediaObject& object)
{
    const auto document = object.tessarineModel();
    return document ? std::dynamic_pointer_cast<ZERI_qvdFilePackage>(document->filePackage()) : nullptr;
}

void replaceImageAsset(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& proxy,
                       const std::shared_ptr<ZERI_ContentAsset>& asset, bool retina)
{
    if (!proxy)
        return;
    ZERI_MixedMediaObject& object = *proxy->object();
    const auto old = retina ? object.retinaCroppedImageAsset() : object.croppedImageAsset();
    if (old == asset)
        return;
    const auto document = object.tessarineModel();
    const auto package = packageOf(object);
    if (retina)
        object.setRetinaCroppedImageAsset(asset);
    else
        object.setCroppedImageAsset(asset);
    if (!old)
        return;
    if (package && package->ownedByCurrentUser())
        package->noteReplacedAsset(*old);
    ContentAssetStorage::deleteFileAndCancelCompression(old, false, document);
}

} // namespace

void MixedMediaObjectStorage::setupUsingDataItem(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object,
                                                 const std::shared_ptr<QVRDataItem>& item, bool shouldOverrideType,
                                                 DoneBlock onDone, ProgressBlock onProgress)
{
    Q_ASSERT(MainThread::isMainThread());
    if (!object || !item) {
        if (onDone)
            MainThread::run(
                [onDone] { onDone(assetError(ContentAssetStorage::ReadFailure, QStringLiteral("Nothing to set up"))); },
                false);
        return;
    }
    cancelSetupUsingDataItem(object);
    // The addition the creator has opened on the flow is named after what it does.
    if (const auto flow = object->object()->undoResponder()) {
        if (const auto action = flow->currentUndoableAction())
            action->setActionDescription(UFM::UNDO_MANAGER_ADD_MEDIA_TAG());
    }
    if (auto streaming = std::dynamic_pointer_cast<QVRStreamingVideoDataItem>(item)) {
        setupStreamingVideo(object, *streaming, shouldOverrideType, onDone);
        return;
    }
    const QString folder = object->object()->assetStoragePath();
    if (folder.isEmpty()) {
        if (onDone)
            MainThread::run(
                [onDone] {
                    onDone(assetError(ContentAssetStorage::WriteFailure,
                                      QStringLiteral("The object is not in a document that has a folder")));
                },
                false);
        return;
    }
    auto operation = std::make_shared<Operation>();
    runningSetups().insert(object.get(), operation);
    const qint64 limit = Tessutils::userMaxUploadSize();
    const QString extension = item->suggestedExtension();
    std::weak_ptr<ZERI_MixedMediaObjectProxy> weakObject = object;
    const ZERI_MixedMediaObjectProxy* key = object.get();
    WorkerThreads::shared().post([=] {
        SetupFiles files;
        files.media =
            ContentAssetStorage::importIntoFolder(item->contentFilePath(), item->contentData(), folder, extension,
                                                  limit, operation.get(), onProgress, &files.error);
        if (files.error.isNull() && !operation->isCancelled())
            checkContent(item->type(), folder, files);
        MainThread::run(
            [=]() mutable {
                auto& setups = runningSetups();
                if (setups.value(key) == operation)
                    setups.remove(key);
                const auto target = weakObject.lock();
                if (files.error.isNull() && (operation->isCancelled() || !target))
                    files.error =
                        assetError(ContentAssetStorage::Cancelled, QStringLiteral("The set-up was cancelled"));
                if (!files.error.isNull()) {
                    files.removeAll();
                    if (files.error.code != ContentAssetStorage::Cancelled)
                        qCWarning(lcStorage).noquote() << "set-up failed:" << files.error.message;
                } else {
                    applySetup(*target, *item, shouldOverrideType, files);
                }
                files.release();
                if (onDone)
                    onDone(files.error);
            },
            false);
    });
}

void MixedMediaObjectStorage::cancelSetupUsingDataItem(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object)
{
    if (auto operation = runningSetups().take(object.get()))
        operation->cancel();
}

bool MixedMediaObjectStorage::isSettingUp(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object)
{
    return runningSetups().contains(object.get());
}

QSizeF MixedMediaObjectStorage::originalImageSize(const ZERI_MixedMediaObject& object)
{
    const QString path = fileOnDisk(object.originalImageAsset());
    return path.isEmpty() ? QSizeF() : imageSizeOfFile(path);
}

double MixedMediaObjectStorage::shownZoomScale(const ZERI_MixedMediaObject& object)
{
    if (const auto zoom = object.zoomScale(); zoom && *zoom > 0 && std::isfinite(*zoom))
        return *zoom;
    QSizeF image = originalImageSize(object);
    if (!(image.width() > 0) || !(image.height() > 0))
        return 0.0;
    if (object.rotation() % 2 != 0)
        image.transpose();
    const QSizeF frame = object.frame().size();
    return std::max(frame.width() / image.width(), frame.height() / image.height());
}

QSizeF MixedMediaObjectStorage::imageSizeOfFile(const QString& path)
{
    // Asset files are never rewritten in place (each picture gets a new name), so a size once read stays true.
    static std::mutex mutex;
    static QHash<QString, QSizeF> sizes;
    if (path.isEmpty())
        return QSizeF(0, 0);
    {
        std::lock_guard lock(mutex);
        if (const auto found = sizes.constFind(path); found != sizes.constEnd())
            return *found;
    }
    QImageReader reader(path);
    QSize size = reader.size();
    if (!size.isValid()) {
        qCWarning(lcStorage).noquote() << QStringLiteral("error loading image source!  filepath:%1").arg(path);
        return QSizeF(0, 0);
    }
    if (reader.transformation() & QImageIOHandler::TransformationRotate90)
        size.transpose();
    std::lock_guard lock(mutex);
    sizes.insert(path, QSizeF(size));
    return QSizeF(size);
}

QSize MixedMediaObjectStorage::croppedPixelSize(const QSizeF& frame, double scaleFactor)
{
    // The tolerance keeps 748.0000001 (a frame read back from text) from becoming 749.
    const auto side = [scaleFactor](double points) {
        const double pixels = points * scaleFactor;
        return std::isfinite(pixels) && pixels > 0 ? int(std::ceil(pixels - 1e-6)) : 0;
    };
    return QSize(side(frame.width()), side(frame.height()));
}

QImage MixedMediaObjectStorage::renderCroppedImage(const QImage& original, const QSizeF& frame, double zoomScale,
                                                   const QSizeF& zoomOffset, int rotation, double scaleFactor)
{
    const QSize pixels = croppedPixelSize(frame, scaleFactor);
    if (original.isNull() || pixels.isEmpty() || !(zoomScale > 0) || !std::isfinite(zoomScale))
        return {};
    const QImage turned = ImageUtils::rotateImage(UNIImage::imageWithCGImage(original), rotation);
    QImage bitmap = ImageUtils::createCGBitmapContextWithWidth(quint64(pixels.width()), quint64(pixels.height()));
    if (bitmap.isNull() || turned.isNull())
        return {};
    QPainter painter(&bitmap);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.scale(scaleFactor, scaleFactor);
    painter.drawImage(
        QRectF(-zoomOffset.width(), -zoomOffset.height(), turned.width() * zoomScale, turned.height() * zoomScale),
        turned);
    painter.end();
    return bitmap;
}

bool MixedMediaObjectStorage::makeAndSetCroppedImageAssetFromOriginalImageAsset(
    const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object, DoneBlock onDone)
{
    if (!object)
        return false;
    const ZERI_MixedMediaObject& model = *object->object();
    const QString original = fileOnDisk(model.originalImageAsset());
    const QString folder = model.assetStoragePath();
    if (original.isEmpty() || folder.isEmpty())
        return false;
    const CropGeometry geometry = CropGeometry::of(model);
    const QSizeF frame = geometry.frame;
    const QSizeF zoomOffset = geometry.zoomOffset;
    const int rotation = geometry.rotation;
    const std::optional<double> storedZoom = geometry.zoomScale;
    const quint64 request = CropRequests::shared().begin(object, geometry);
    std::weak_ptr<ZERI_MixedMediaObjectProxy> weakObject = object;
    WorkerThreads::shared().post([=] {
        // One decoding serves every object cropped from the same original.
        const QImage image = ModelImageCache::imageForFile(original, true);
        // The zoom is measured in the file's own pixels; a large photo is decoded at a reduced size, whose pixels
        // are each that much larger.
        const QSizeF filePixels = imageSizeOfFile(original);
        const double reduction =
            !image.isNull() && filePixels.width() > image.width() ? filePixels.width() / double(image.width()) : 1.0;
        // The picture as shown: turned by the rotation (only its size matters here).
        QSizeF shown = QSizeF(image.size()) * reduction;
        if (rotation % 2 != 0)
            shown.transpose();
        // Without a stored zoom the image fills the frame.
        const double zoom = storedZoom.value_or(
            image.isNull() ? 0.0 : std::max(frame.width() / shown.width(), frame.height() / shown.height()));
        const QString suffix = QFileInfo(original).suffix().toLower();
        const bool jpeg = (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg")) &&
                          shown.width() * zoom >= frame.width() && shown.height() * zoom >= frame.height();
        const QString extension = jpeg ? QStringLiteral("jpg") : QStringLiteral("png");
        // The regular and the retina picture are made side by side; the last one done hands both over.
        const bool retina = !image.isNull() && zoom <= 0.5;
        auto job = std::make_shared<CropJob>(retina ? 2 : 1);
        const auto render = [=](double scaleFactor) {
            Error error;
            QString written;
            const QImage picture =
                renderCroppedImage(image, frame, zoom * reduction, zoomOffset, rotation, scaleFactor);
            if (picture.isNull()) {
                // Without a regular picture there is nothing to show; without a retina one the regular serves.
                if (scaleFactor <= 1.0)
                    error = assetError(ContentAssetStorage::WrongContent,
                                       QStringLiteral("Cannot make a cropped image of \"%1\"").arg(original));
            } else {
                written = QDir(folder).filePath(newFileName(extension));
                if (!writeCounted(picture, written, jpeg, &error))
                    written.clear();
            }
            if (!job->done(scaleFactor > 1.0, written, error))
                return;
            const QString regularPath = job->regularPath;
            const QString retinaPath = job->retinaPath;
            const Error firstError = job->error;
            MainThread::run(
                [=] {
                    CropRequests::shared().land([=] {
                        const auto target = weakObject.lock();
                        const auto releaseFiles = [&] {
                            for (const QString& path : {regularPath, retinaPath})
                                if (!path.isEmpty())
                                    AssetFileReferences::releaseFile(path);
                        };
                        // A result fits only the geometry it was made for, and only the newest request counts: an
                        // undo or a second gesture meanwhile would otherwise pair the picture with another frame.
                        const CropRequests::Verdict verdict =
                            target && firstError.isNull() ? CropRequests::shared().finish(target, request, geometry)
                                                          : CropRequests::Stale;
                        if (!target || !firstError.isNull() || verdict != CropRequests::Current) {
                            for (const QString& path : {regularPath, retinaPath})
                                if (!path.isEmpty())
                                    QFile::remove(path);
                            releaseFiles();
                            if (onDone) {
                                if (!firstError.isNull())
                                    onDone(assetError(ContentAssetStorage::WriteFailure, firstError.message));
                                else
                                    onDone(assetError(ContentAssetStorage::Cancelled,
                                                      target ? QStringLiteral("The object changed meanwhile")
                                                             : QStringLiteral("The object is gone")));
                            }
                            return;
                        }
                        setCroppedImageAsset(target, assetForFile(regularPath));
                        setRetinaCroppedImageAsset(target, retinaPath.isEmpty() ? nullptr : assetForFile(retinaPath));
                        releaseFiles();
                        if (onDone)
                            onDone(Error());
                    });
                },
                false);
        };
        if (retina)
            WorkerThreads::shared().post([render] { render(2.0); });
        render(1.0);
    });
    return true;
}

void MixedMediaObjectStorage::setCroppedImageResultsHeldForTesting(bool held)
{
    CropRequests::shared().setHeld(held);
}

void MixedMediaObjectStorage::setCroppedImageAsset(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object,
                                                   const std::shared_ptr<ZERI_ContentAsset>& asset)
{
    replaceImageAsset(object, asset, false);
}

void MixedMediaObjectStorage::setRetinaCroppedImageAsset(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object,
                                                         const std::shared_ptr<ZERI_ContentAsset>& asset)
{
    replaceImageAsset(object, asset, true);
}

void MixedMediaObjectStorage::removeAllAssets(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object)
{
    if (!object)
        return;
    ZERI_MixedMediaObject& model = *object->object();
    const auto document = model.tessarineModel();
    const auto assets = model.getAllContentAssets();
    model.setOriginalImageAsset(nullptr);
    model.setCroppedImageAsset(nullptr);
    model.setRetinaCroppedImageAsset(nullptr);
    model.setVideoAsset(nullptr);
    model.setPdfAsset(nullptr);
    model.setAudioAsset(nullptr);
    model.setGalleryAssetManager(nullptr);
    for (const auto& asset : assets)
        ContentAssetStorage::deleteFile(asset, document);
}

QString MixedMediaObjectStorage::tempDirectoryForCopies()
{
    return AppPaths::temporary() + QStringLiteral("/mmObjectCopies");
}

std::shared_ptr<ZERI_MixedMediaObjectProxy>
MixedMediaObjectStorage::getCopyForTempDirectory(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object)
{
    if (!object)
        return nullptr;
    auto copy = object->object()->copy(false);
    const QString folder = tempDirectoryForCopies();
    QDir().mkpath(folder);
    const auto sources = object->object()->getAllContentAssets();
    const auto copies = copy->object()->getAllContentAssets();
    for (size_t i = 0; i < copies.size() && i < sources.size(); ++i) {
        const QString source = fileOnDisk(sources[i]);
        if (source.isEmpty())
            continue;
        const QString target = QDir(folder).filePath(newFileName(QFileInfo(source).suffix()));
        if (AtomicFile::linkOrCopy(source, target))
            copies[i]->setExternalURL(QUrl::fromLocalFile(target));
        else
            qCWarning(lcStorage) << "cannot copy" << source << "for the clipboard";
    }
    return copy;
}

namespace {

// Deletes the files in the folder of copies except those named in `keep`; a file someone still reads from (a
// paste importing it) is deleted once they let go of it. Returns whether such a deletion was put off. Any thread.
bool deleteCopiesExcept(const QString& folder, const QSet<QString>& keep)
{
    bool deferred = false;
    QDirIterator files(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString found = files.next();
        if (keep.contains(found))
            continue;
        const QString path = QFileInfo(found).canonicalFilePath();
        if (path.isEmpty()) {
            QFile::remove(found);
            continue;
        }
        if (AssetFileReferences::referenceCount(path) > 0) {
            AssetFileReferences::deleteWhenUnreferenced(path, [] { return false; });
            deferred = true;
        } else {
            QFile::remove(path);
        }
    }
    return deferred;
}

// The clipboard copies' file work, one job at a time in order: a copy's clean-up never meets a later copy's
// files.
WorkerThreads& copiesQueue()
{
    static WorkerThreads queue(1, QStringLiteral("clipboard copies"), WorkerThreads::AtApplicationEnd::Finish);
    return queue;
}

// Tests: the copies' jobs kept back on the main thread, in order, until released.
struct HeldCopies {
    bool held = false;
    std::vector<HandOffQueue::Task> jobs;
};

HeldCopies& heldCopies()
{
    static HeldCopies copies;
    return copies;
}

// Starts a job of the copies on their queue (kept back while tests hold them), or runs it here once the queue has
// ended (the application is going).
void startCopiesJob(HandOffQueue::Task job)
{
    if (heldCopies().held) {
        heldCopies().jobs.push_back(std::move(job));
        return;
    }
    if (!copiesQueue().post(job))
        job();
}

} // namespace

void MixedMediaObjectStorage::getCopiesForTempDirectory(
    const std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>>& objects,
    std::function<void(std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>>)> done, bool replaceEarlierCopies)
{
    // The main thread only names the candidate files; the worker finds which is on disk, links it and hands back
    // the new name, which the main thread gives the copy's asset.
    struct FileJob {
        QStringList candidates;                   // the download, then the asset's own file
        std::shared_ptr<ZERI_ContentAsset> asset; // touched on the main thread only
        std::size_t copy = 0;                     // index in `copies`
    };
    std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>> copies;
    auto jobs = std::make_shared<std::vector<FileJob>>();
    for (const auto& object : objects) {
        if (!object || !object->object())
            continue;
        auto copy = object->object()->copy(false);
        const auto sources = object->object()->getAllContentAssets();
        const auto targets = copy->object()->getAllContentAssets();
        for (size_t i = 0; i < targets.size() && i < sources.size(); ++i) {
            if (!sources[i])
                continue;
            QStringList candidates;
            if (const auto downloader = ContentAssetStorage::downloader(*sources[i]))
                candidates.append(downloader->filepath());
            if (const QString local = sources[i]->localFilePath(); !local.isEmpty())
                candidates.append(local);
            if (!candidates.isEmpty())
                jobs->push_back({candidates, targets[i], copies.size()});
        }
        copies.push_back(std::move(copy));
    }
    // The named files are held until the worker has linked them: one replaced meanwhile (a cropped picture made
    // again drops the one it replaces when it lands) is deleted only once let go, on the main thread.
    std::vector<QStringList> candidates;
    QStringList held;
    for (const FileJob& job : *jobs) {
        candidates.push_back(job.candidates);
        held.append(job.candidates);
    }
    for (const QString& path : held)
        AssetFileReferences::retainFile(path);
    // Each job's outcome: the new file, empty when no candidate is on disk, or the source that could not be
    // linked nor copied.
    struct Outcome {
        QString source, target;
    };
    auto finish = [jobs, copies = std::move(copies), held,
                   done = std::move(done)](const std::vector<Outcome>& outcomes) {
        std::vector<bool> usable(copies.size(), true);
        for (size_t i = 0; i < jobs->size(); ++i) {
            const FileJob& job = (*jobs)[i];
            const Outcome outcome = i < outcomes.size() ? outcomes[i] : Outcome();
            if (!outcome.target.isEmpty()) {
                job.asset->setExternalURL(QUrl::fromLocalFile(outcome.target));
                continue;
            }
            if (!outcome.source.isEmpty())
                qCWarning(lcStorage) << "cannot copy" << outcome.source << "for the clipboard";
            // A web address stays (a paste fetches it); a file of this computer outside the copies folder could
            // not be pasted. A cropped picture is left for the paste to make again from the original; without
            // any other file the copy is left out.
            if (!job.asset->externalURL().isLocalFile())
                continue;
            ZERI_MixedMediaObject& copy = *copies[job.copy]->object();
            if (job.asset == copy.croppedImageAsset()) {
                copy.setCroppedImageAsset(nullptr);
            } else if (job.asset == copy.retinaCroppedImageAsset()) {
                copy.setRetinaCroppedImageAsset(nullptr);
            } else {
                qCWarning(lcStorage) << "leaving an object out of the clipboard: its file is gone"
                                     << job.asset->localFilePath();
                usable[job.copy] = false;
            }
        }
        AssetFileReferences::releaseFiles(held);
        std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>> kept;
        for (size_t i = 0; i < copies.size(); ++i)
            if (usable[i])
                kept.push_back(copies[i]);
        if (done)
            done(std::move(kept));
    };
    const QString folder = tempDirectoryForCopies();
    const auto work = [folder, candidates, replaceEarlierCopies](auto&& handOver) {
        QDir().mkpath(folder);
        std::vector<Outcome> outcomes;
        outcomes.reserve(candidates.size());
        QSet<QString> made;
        for (const QStringList& paths : candidates) {
            Outcome outcome;
            for (const QString& path : paths) {
                if (QFileInfo(path).isFile()) {
                    outcome.source = path;
                    break;
                }
            }
            if (!outcome.source.isEmpty()) {
                const QString target = QDir(folder).filePath(newFileName(QFileInfo(outcome.source).suffix()));
                if (AtomicFile::linkOrCopy(outcome.source, target)) {
                    outcome.target = target;
                    made.insert(target);
                }
            }
            outcomes.push_back(std::move(outcome));
        }
        handOver(std::move(outcomes));
        // The earlier copies go once the new ones are handed over.
        if (replaceEarlierCopies)
            deleteCopiesExcept(folder, made);
    };
    startCopiesJob([work, finish]() mutable {
        work([&finish](std::vector<Outcome> outcomes) {
            if (MainThread::isMainThread())
                finish(outcomes);
            else
                MainThread::run([finish = std::move(finish), outcomes = std::move(outcomes)] { finish(outcomes); },
                                false);
        });
    });
}

void MixedMediaObjectStorage::setClipboardCopiesHeldForTesting(bool held)
{
    HeldCopies& copies = heldCopies();
    copies.held = held;
    if (held)
        return;
    for (auto& job : std::exchange(copies.jobs, {}))
        startCopiesJob(std::move(job));
}

void MixedMediaObjectStorage::clearTempDirectoryForCopies()
{
    const QString folder = tempDirectoryForCopies();
    if (!deleteCopiesExcept(folder, {}))
        QDir(folder).removeRecursively();
}
