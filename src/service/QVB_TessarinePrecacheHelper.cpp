#include "service/QVB_TessarinePrecacheHelper.h"

#include <vector>

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

// The assets to fetch, in document order, one per web address.
class AssetCollector {
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
        m_assets.push_back(asset);
    }
    const std::vector<std::shared_ptr<ZERI_ContentAsset>>& assets() const { return m_assets; }

private:
    QSet<QUrl> m_seen;
    std::vector<std::shared_ptr<ZERI_ContentAsset>> m_assets;
};

std::vector<std::shared_ptr<ZERI_ContentAsset>> assetsForModel(const std::shared_ptr<ZERI_TessarineModel>& model,
                                                               int options)
{
    using Helper = QVB_TessarinePrecacheHelper;
    AssetCollector collector;
    if (!model)
        return {};
    const bool allImages = options & (Helper::AllImages | Helper::AllImagesAndSources);
    bool firstScreen = true;
    for (const auto& flow : model->flowModels()) {
        for (const auto& screen : flow->screenModels()) {
            collector.add(screen->previewScreenShotAsset());
            if (allImages || (firstScreen && (options & Helper::FirstScreenImages))) {
                if (const auto background = screen->backgroundModel())
                    collector.add(background->backgroundAsset());
                for (const auto& proxy : screen->mixedMediaObjects()) {
                    const auto& object = proxy->object();
                    collector.add(object->croppedImageAsset());
                    collector.add(object->retinaCroppedImageAsset());
                    // The original draws an object that has no cropped picture (ObjectPicture); a video's original
                    // is its poster frame; an image's is also the uncropped source.
                    if (!object->croppedImageAsset() || object->type() == ZERI_MixedMediaObject::Video ||
                        (options & Helper::AllImagesAndSources))
                        collector.add(object->originalImageAsset());
                }
            }
            if (options & Helper::MediaAndGalleries) {
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
    return collector.assets();
}

} // namespace

QList<QUrl> QVB_TessarinePrecacheHelper::remoteURLsForModel(const std::shared_ptr<ZERI_TessarineModel>& model,
                                                            int options)
{
    QList<QUrl> urls;
    for (const auto& asset : assetsForModel(model, options))
        urls.append(asset->externalURL());
    return urls;
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
    QList<std::pair<QUrl, QString>> missing;
    for (const auto& asset : assetsForModel(model, options)) {
        // A file found where every drawing looks (ZERI_ContentAsset::location) is not fetched again.
        const ZERI_ContentAsset::Location where = asset->location();
        if (where.onDisk)
            continue;
        const QString folder = where.folder.isEmpty() ? directory : where.folder;
        if (!ZERI_WebDownloader::downloaderForUrl(asset->externalURL(), folder)->fileExists())
            missing.append({asset->externalURL(), folder});
    }
    if (missing.isEmpty()) {
        if (onFoundToAlreadyBeDownloaded)
            onFoundToAlreadyBeDownloaded();
        return;
    }
    for (const auto& [url, folder] : missing)
        manager.precacheURL(url, folder);
}
