#include "elements/gallery/GalleryEditorArrayController.h"

#include <algorithm>
#include <cmath>

#include <QFileInfo>
#include <QImageReader>

#include "controls/AsynchronousRenderImageView.h"
#include "elements/gallery/GalleryLogging.h"
#include "elements/gallery/QVRGalleryEditorCollectionViewObject.h"
#include "elements/images/ImageUtils.h"
#include "platform/MainThread.h"
#include "platform/WorkerThreads.h"
#include "storage/ContentAssetStorage.h"
#include "storage/ZERI_WebDownloader.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"

namespace {
constexpr int kConcurrentTiles = 2;
constexpr int kAspectFit = 1;

// Shared by every grid, so that closing an editor never waits for a tile being made.
WorkerThreads& tileQueue()
{
    static WorkerThreads threads(kConcurrentTiles, QStringLiteral("gallery tiles"),
                                 WorkerThreads::AtApplicationEnd::Stop);
    return threads;
}
} // namespace

GalleryEditorArrayController::GalleryEditorArrayController(QObject* parent)
    : QAbstractListModel(parent)
    , m_alive(std::make_shared<bool>(true))
{
}

// Tiles still being made finish on their worker and find the controller gone.
GalleryEditorArrayController::~GalleryEditorArrayController() = default;

int GalleryEditorArrayController::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant GalleryEditorArrayController::data(const QModelIndex& index, int role) const
{
    const Entry entry = objectAt(index.row());
    if (!entry || index.parent().isValid())
        return {};
    switch (role) {
    case Qt::ToolTipRole:
    case Qt::UserRole:
        return entry->urlString();
    case Qt::DecorationRole:
        return entry->previewImage();
    default:
        return {};
    }
}

Qt::ItemFlags GalleryEditorArrayController::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
}

GalleryEditorArrayController::Entry GalleryEditorArrayController::objectAt(int row) const
{
    if (row < 0 || row >= count())
        return nullptr;
    return m_entries[size_t(row)];
}

int GalleryEditorArrayController::rowOfFullsizedAsset(const ZERI_ContentAsset* asset) const
{
    for (int row = 0; row < count(); ++row) {
        if (m_entries[size_t(row)]->fullsizedImageAsset().get() == asset)
            return row;
    }
    return -1;
}

int GalleryEditorArrayController::rowOfIdentifier(quint64 identifier) const
{
    for (int row = 0; row < count(); ++row) {
        if (m_entries[size_t(row)]->identifier() == identifier)
            return row;
    }
    return -1;
}

void GalleryEditorArrayController::insertObject(const Entry& entry, int row)
{
    if (!entry)
        return;
    row = std::clamp(row, 0, count());
    beginInsertRows(QModelIndex(), row, row);
    m_entries.insert(m_entries.begin() + row, entry);
    endInsertRows();
}

void GalleryEditorArrayController::removeObjectsAtRows(const QList<int>& rows)
{
    QList<int> sorted = rows;
    std::sort(sorted.begin(), sorted.end(), std::greater<int>());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    for (const int row : sorted) {
        if (row < 0 || row >= count())
            continue;
        beginRemoveRows(QModelIndex(), row, row);
        m_entries[size_t(row)]->stopWaitingForDownload();
        m_entries.erase(m_entries.begin() + row);
        endRemoveRows();
    }
}

void GalleryEditorArrayController::moveObjectsAtRows(const QList<int>& rows, int target)
{
    QList<int> sorted = rows;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    std::vector<Entry> moved;
    std::vector<Entry> kept;
    for (int row = 0; row < count(); ++row) {
        if (std::binary_search(sorted.begin(), sorted.end(), row))
            moved.push_back(m_entries[size_t(row)]);
        else
            kept.push_back(m_entries[size_t(row)]);
    }
    if (moved.empty())
        return;
    target = std::clamp(target, 0, int(kept.size()));
    kept.insert(kept.begin() + target, moved.begin(), moved.end());
    if (kept == m_entries)
        return;
    // Persistent indexes (the selection) follow their entries.
    emit layoutAboutToBeChanged({}, QAbstractItemModel::NoLayoutChangeHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<Entry> beforeEntries;
    for (const QModelIndex& index : before)
        beforeEntries.push_back(objectAt(index.row()));
    m_entries = std::move(kept);
    QModelIndexList after;
    for (const Entry& entry : beforeEntries) {
        const int row = entry ? rowOfIdentifier(entry->identifier()) : -1;
        after.append(row < 0 ? QModelIndex() : index(row));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::NoLayoutChangeHint);
}

void GalleryEditorArrayController::setDevicePixelRatio(qreal ratio)
{
    if (ratio <= 0 || qFuzzyCompare(ratio, m_devicePixelRatio))
        return;
    m_devicePixelRatio = ratio;
    // Pictures made for the other density are made again as their tiles show.
    for (const Entry& entry : m_entries) {
        if (entry->tileState() == QVRGalleryEditorCollectionViewObject::TileState::Loaded)
            entry->setTileState(QVRGalleryEditorCollectionViewObject::TileState::NotLoaded);
    }
}

QImage GalleryEditorArrayController::previewForRow(int row)
{
    const Entry entry = objectAt(row);
    if (!entry)
        return {};
    if (entry->tileState() == QVRGalleryEditorCollectionViewObject::TileState::NotLoaded) {
        entry->setTileState(QVRGalleryEditorCollectionViewObject::TileState::Loading);
        m_requests.push_back(entry->identifier());
        pump();
    }
    return entry->previewImage();
}

void GalleryEditorArrayController::setSourcePathOfEntry(const Entry& entry, const QString& path)
{
    if (!entry)
        return;
    entry->setSourcePath(path);
    // A tile being made keeps its request: it reads the path when its turn comes.
    if (entry->tileState() != QVRGalleryEditorCollectionViewObject::TileState::Loading)
        entry->setTileState(QVRGalleryEditorCollectionViewObject::TileState::NotLoaded);
    const int row = rowOfIdentifier(entry->identifier());
    if (row >= 0)
        emitChanged(row);
}

QString GalleryEditorArrayController::tilePath(const Entry& entry)
{
    if (!entry->sourcePath().isEmpty())
        return entry->sourcePath();
    // The small thumbnail is enough for a tile; the full-sized file is the fallback, fetched when it is missing.
    if (const auto thumbnail = entry->thumbnailImageAsset(); thumbnail && !thumbnail->externalURL().isEmpty()) {
        const auto downloader = ContentAssetStorage::downloader(*thumbnail);
        if (downloader && downloader->fileExists())
            return downloader->filepath();
    }
    const auto fullsized = entry->fullsizedImageAsset();
    if (!fullsized || fullsized->externalURL().isEmpty())
        return {};
    const auto downloader = ContentAssetStorage::downloader(*fullsized);
    if (!downloader)
        return fullsized->localFilePath();
    if (downloader->fileExists())
        return downloader->filepath();
    std::weak_ptr<bool> alive = m_alive;
    const quint64 identifier = entry->identifier();
    std::weak_ptr<ZERI_WebDownloader> weakDownloader = downloader;
    auto observation = downloader->updateNotifier().addObservationBlock(
        [this, alive, identifier, weakDownloader](const void*, const QSet<QString>&) {
            const auto d = weakDownloader.lock();
            if (!alive.lock() || !d)
                return;
            const int status = d->downloadStatus();
            if (status != ZERI_WebDownloader::OnDisk && status != ZERI_WebDownloader::Failed)
                return;
            const int at = rowOfIdentifier(identifier);
            if (at < 0)
                return;
            const Entry waiting = m_entries[size_t(at)];
            waiting->stopWaitingForDownload();
            waiting->setTileState(status == ZERI_WebDownloader::OnDisk
                                      ? QVRGalleryEditorCollectionViewObject::TileState::NotLoaded
                                      : QVRGalleryEditorCollectionViewObject::TileState::Unavailable);
            emitChanged(at);
        },
        QStringLiteral("downloadStatus"));
    entry->waitForDownload(downloader, std::move(observation));
    entry->setTileState(QVRGalleryEditorCollectionViewObject::TileState::Waiting);
    downloader->downloadAndCache();
    return {};
}

void GalleryEditorArrayController::pump()
{
    while (m_inFlight < kConcurrentTiles && !m_requests.empty()) {
        const quint64 identifier = m_requests.back();
        m_requests.pop_back();
        const int row = rowOfIdentifier(identifier);
        if (row < 0)
            continue;
        const Entry entry = m_entries[size_t(row)];
        if (entry->tileState() != QVRGalleryEditorCollectionViewObject::TileState::Loading)
            continue;
        if (m_isRowVisible && !m_isRowVisible(row)) {
            entry->setTileState(QVRGalleryEditorCollectionViewObject::TileState::NotLoaded);
            continue;
        }
        const QString path = tilePath(entry);
        if (entry->tileState() == QVRGalleryEditorCollectionViewObject::TileState::Waiting)
            continue;
        if (path.isEmpty()) {
            entry->setTileState(QVRGalleryEditorCollectionViewObject::TileState::Unavailable);
            continue;
        }
        ++m_inFlight;
        const int side = int(std::ceil(kTileImageSide * m_devicePixelRatio));
        const qreal ratio = m_devicePixelRatio;
        std::weak_ptr<bool> alive = m_alive;
        tileQueue().post([this, alive, identifier, path, side, ratio] {
            QImage image = makeTileImage(path, side);
            image.setDevicePixelRatio(ratio);
            MainThread::run(
                [this, alive, identifier, image] {
                    if (alive.lock())
                        takeTile(identifier, image);
                },
                false);
        });
    }
}

void GalleryEditorArrayController::takeTile(quint64 identifier, const QImage& image)
{
    --m_inFlight;
    const int row = rowOfIdentifier(identifier);
    if (row >= 0) {
        const Entry entry = m_entries[size_t(row)];
        entry->setPreviewImage(image);
        entry->setTileState(image.isNull() ? QVRGalleryEditorCollectionViewObject::TileState::Unavailable
                                           : QVRGalleryEditorCollectionViewObject::TileState::Loaded);
        emitChanged(row);
    }
    pump();
}

void GalleryEditorArrayController::emitChanged(int row)
{
    const QModelIndex at = index(row);
    emit dataChanged(at, at, {Qt::DecorationRole});
    emit previewChanged(row);
}

QImage GalleryEditorArrayController::makeTileImage(const QString& path, int side)
{
    if (path.isEmpty() || side <= 0)
        return {};
    QImageReader reader(path);
    reader.setAutoTransform(true);
    QSize size = reader.size();
    if (size.isValid()) {
        if (!ImageUtils::isDecodable(size, reader.format())) {
            qCWarning(lcGallery) << "image too large for a tile" << path;
            return {};
        }
        // Decode at the tile's size (JPEG scales while decoding); the scaled size is taken before the file's
        // orientation turns the picture.
        const bool turned = reader.transformation() & QImageIOHandler::TransformationRotate90;
        const QSize upright = turned ? size.transposed() : size;
        // Pictures of one bit or a palette are scaled below, after conversion: scaled in their own format they
        // come out as a black-and-white dither.
        const bool fewColors = reader.imageFormat() == QImage::Format_Mono ||
                               reader.imageFormat() == QImage::Format_MonoLSB ||
                               reader.imageFormat() == QImage::Format_Indexed8;
        if (!fewColors && (upright.width() > side || upright.height() > side)) {
            const QSize fitted = upright.scaled(side, side, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
            reader.setScaledSize(turned ? fitted.transposed() : fitted);
        }
    }
    QImage image = reader.read();
    if (image.isNull()) {
        qCWarning(lcGallery) << "cannot read the picture of a tile" << path << reader.errorString();
        return {};
    }
    if (image.depth() < 32) {
        image.convertTo(QImage::Format_ARGB32_Premultiplied);
        if (image.width() > side || image.height() > side)
            image = image.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    // In the format the screen draws without converting, so painting a tile is a plain copy.
    return AsynchronousRenderImageView::renderForContentMode(image, QSize(side, side), kAspectFit)
        .convertToFormat(QImage::Format_ARGB32_Premultiplied);
}
