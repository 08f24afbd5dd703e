#include "service/QVB_TessarinePrecacheHelper.h"

#include <QSet>

#include "platform/AppPaths.h"
#include "service/QVBPrecacheManager.h"
#include "storage/ZERI_WebDownloader.h"
#include "tessarine_data_model/QVB_GalleryAssetManager.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenBackgroundModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Video.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

class UrlCollector {
public:
    void add(const std::shared_ptr<ZERI_ContentAsset>& asset)
    {
        if (!asset)
            return;
        const QUrl url = asset->externalURL();
        const QString scheme = url.scheme().toLower();
        // Local files are already where they are needed; anything but http(s) cannot be fetched.
        if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
            return;
        if (m_seen.contains(url))
            return;
        m_seen.insert(url);
        m_urls.append(url);
    }
    QList<QUrl> urls() const { return m_urls; }

private:
    QSet<QUrl> m_seen;
    QList<QUrl> m_urls;
};

} // namespace

QList<QUrl> QVB_TessarinePrecacheHelper::remoteURLsForModel(const std::shared_ptr<ZERI_TessarineModel>& model,
                                                            int options)
{
    UrlCollector collector;
    if (!model)
        return {};
    const bool allImages = options & (AllImages | AllImagesAndSources);
    bool firstScreen = true;
    for (const auto& flow : model->flowModels()) {
        for (const auto& screen : flow->screenModels()) {
            collector.add(screen->previewScreenShotAsset());
            if (allImages || (firstScreen && (options & FirstScreenImages))) {
                if (const auto background = screen->backgroundModel())
                    collector.add(background->backgroundAsset());
                for (const auto& proxy : screen->mixedMediaObjects()) {
                    const auto& object = proxy->object();
                    collector.add(object->croppedImageAsset());
                    collector.add(object->retinaCroppedImageAsset());
                    // A video's original image is its poster frame; an image's is the uncropped source.
                    if (object->type() == ZERI_MixedMediaObject::Video || (options & AllImagesAndSources))
                        collector.add(object->originalImageAsset());
                }
            }
            if (options & MediaAndGalleries) {
                for (const auto& proxy : screen->mixedMediaObjects()) {
                    const auto& object = proxy->object();
                    const auto video = proxy->as<ZERI_MMObject_Video>();
                    if (!video || !video->isYoutubeVideo())
                        collector.add(object->videoAsset());
                    collector.add(object->pdfAsset());
                    collector.add(object->audioAsset());
                    if (const auto gallery = object->existingGalleryAssetManager()) {
                        for (const auto& asset : gallery->getAllContentAssets())
                            collector.add(asset);
                    }
                }
            }
            firstScreen = false;
        }
    }
    return collector.urls();
}

QString QVB_TessarinePrecacheHelper::cacheDirectoryForModel(const std::shared_ptr<ZERI_TessarineModel>& model)
{
    const QString folder = model ? model->documentAssetStoragePath() : QString();
    return folder.isEmpty() ? AppPaths::temporary() + QStringLiteral("/precache") : folder;
}

void QVB_TessarinePrecacheHelper::preloadAssetsFromModel(const std::shared_ptr<ZERI_TessarineModel>& model, int options,
                                                         QVBPrecacheManager& manager,
                                                         const std::function<void()>& onFoundToAlreadyBeDownloaded)
{
    const QString directory = cacheDirectoryForModel(model);
    QList<QUrl> missing;
    for (const QUrl& url : remoteURLsForModel(model, options)) {
        if (!ZERI_WebDownloader::downloaderForUrl(url, directory)->fileExists())
            missing.append(url);
    }
    if (missing.isEmpty()) {
        if (onFoundToAlreadyBeDownloaded)
            onFoundToAlreadyBeDownloaded();
        return;
    }
    for (const QUrl& url : missing)
        manager.precacheURL(url, directory);
}
