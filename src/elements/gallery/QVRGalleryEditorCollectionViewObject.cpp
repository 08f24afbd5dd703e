#include "elements/gallery/QVRGalleryEditorCollectionViewObject.h"

#include "storage/ZERI_WebDownloader.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"

namespace {
quint64 g_nextIdentifier = 1;
}

QVRGalleryEditorCollectionViewObject::QVRGalleryEditorCollectionViewObject()
    : m_identifier(g_nextIdentifier++)
{
}

QVRGalleryEditorCollectionViewObject::~QVRGalleryEditorCollectionViewObject() = default;

void QVRGalleryEditorCollectionViewObject::setUrlString(const QString& urlString)
{
    if (urlString.isEmpty())
        return;
    m_urlString = urlString;
}

void QVRGalleryEditorCollectionViewObject::setPreviewImage(const QImage& image)
{
    m_previewImage = image;
}

void QVRGalleryEditorCollectionViewObject::setAssets(std::shared_ptr<ZERI_ContentAsset> fullsized,
                                                     std::shared_ptr<ZERI_ContentAsset> lowQuality,
                                                     std::shared_ptr<ZERI_ContentAsset> thumbnail)
{
    m_fullsized = std::move(fullsized);
    m_lowQuality = std::move(lowQuality);
    m_thumbnail = std::move(thumbnail);
}

void QVRGalleryEditorCollectionViewObject::waitForDownload(std::shared_ptr<ZERI_WebDownloader> downloader,
                                                           ObjectUpdateNotifierObserver observation)
{
    m_downloadObservation = std::move(observation);
    m_downloader = std::move(downloader);
}

void QVRGalleryEditorCollectionViewObject::stopWaitingForDownload()
{
    m_downloadObservation.reset();
    m_downloader.reset();
}
