#pragma once

#include <memory>

#include <QImage>
#include <QString>

#include "tessarine_data_model/ObjectUpdateNotifier.h"

class ZERI_ContentAsset;
class ZERI_WebDownloader;

// One tile of the gallery editor's grid: one image of the gallery being edited. It holds that image's three
// assets of the working copy (so it stays tied to its image whatever moves around it), the address it shows, the
// local file a newly added image came from, and the tile picture once it has been made. Main thread only.
class QVRGalleryEditorCollectionViewObject {
public:
    enum class TileState { NotLoaded, Waiting, Loading, Loaded, Unavailable };

    QVRGalleryEditorCollectionViewObject();
    ~QVRGalleryEditorCollectionViewObject();

    quint64 identifier() const { return m_identifier; }

    QString urlString() const { return m_urlString; }
    // An empty address is ignored and the previous one stays.
    void setUrlString(const QString& urlString);

    // The tile picture, already scaled into the tile; null until it has been made.
    QImage previewImage() const { return m_previewImage; }
    void setPreviewImage(const QImage& image);

    std::shared_ptr<ZERI_ContentAsset> fullsizedImageAsset() const { return m_fullsized; }
    std::shared_ptr<ZERI_ContentAsset> lowQualityImageAsset() const { return m_lowQuality; }
    std::shared_ptr<ZERI_ContentAsset> thumbnailImageAsset() const { return m_thumbnail; }
    void setAssets(std::shared_ptr<ZERI_ContentAsset> fullsized, std::shared_ptr<ZERI_ContentAsset> lowQuality,
                   std::shared_ptr<ZERI_ContentAsset> thumbnail);

    // The file an image added in this editor came from; its tile is made from it. Empty for the gallery's own.
    QString sourcePath() const { return m_sourcePath; }
    void setSourcePath(const QString& path) { m_sourcePath = path; }

    TileState tileState() const { return m_tileState; }
    void setTileState(TileState state) { m_tileState = state; }

    // A download the tile waits for, held with its observation until it ends.
    void waitForDownload(std::shared_ptr<ZERI_WebDownloader> downloader, ObjectUpdateNotifierObserver observation);
    void stopWaitingForDownload();

private:
    quint64 m_identifier;
    QString m_urlString;
    QImage m_previewImage;
    QString m_sourcePath;
    std::shared_ptr<ZERI_ContentAsset> m_fullsized;
    std::shared_ptr<ZERI_ContentAsset> m_lowQuality;
    std::shared_ptr<ZERI_ContentAsset> m_thumbnail;
    TileState m_tileState = TileState::NotLoaded;
    std::shared_ptr<ZERI_WebDownloader> m_downloader;
    ObjectUpdateNotifierObserver m_downloadObservation;
};
