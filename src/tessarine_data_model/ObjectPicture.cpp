#include "tessarine_data_model/ObjectPicture.h"

#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"

ObjectPicture::Source ObjectPicture::choose(const ZERI_MixedMediaObject& object, double pixelsPerPoint,
                                            bool originalFirst)
{
    std::vector<std::pair<Source::Kind, std::shared_ptr<ZERI_ContentAsset>>> order;
    const auto original = object.originalImageAsset();
    if (originalFirst)
        order.push_back({Source::Original, original});
    if (pixelsPerPoint > 1) {
        order.push_back({Source::Cropped, object.retinaCroppedImageAsset()});
        order.push_back({Source::Cropped, object.croppedImageAsset()});
    } else {
        order.push_back({Source::Cropped, object.croppedImageAsset()});
        order.push_back({Source::Cropped, object.retinaCroppedImageAsset()});
    }
    if (!originalFirst)
        order.push_back({Source::Original, original});
    // The document's folders are found once for the object, not once per asset.
    QStringList folders;
    bool foldersKnown = false;
    for (const auto& [kind, asset] : order) {
        if (!asset || asset->externalURLText().isEmpty())
            continue;
        if (!foldersKnown) {
            folders = asset->assetFolders();
            foldersKnown = true;
        }
        const ZERI_ContentAsset::Location where =
            ZERI_ContentAsset::locate(asset->externalURLText(), asset->remoteURLText(), folders);
        if (where.onDisk)
            return {kind, asset, where.path};
    }
    return {};
}

bool ObjectPicture::lacksPicture(const ZERI_MixedMediaObject& object)
{
    // A text kept as a picture is drawn as text without it.
    if (object.type() == ZERI_MixedMediaObject::Text)
        return false;
    bool hasPicture = false;
    for (const auto& asset :
         {object.croppedImageAsset(), object.retinaCroppedImageAsset(), object.originalImageAsset()})
        hasPicture = hasPicture || (asset && !asset->externalURLText().isEmpty());
    return hasPicture && choose(object, 1.0).kind == Source::None;
}

std::vector<std::shared_ptr<ZERI_ContentAsset>> ObjectPicture::missing(const ZERI_MixedMediaObject& object)
{
    if (!lacksPicture(object))
        return {};
    std::vector<std::shared_ptr<ZERI_ContentAsset>> assets;
    for (const auto& asset :
         {object.croppedImageAsset(), object.retinaCroppedImageAsset(), object.originalImageAsset()}) {
        if (asset && !asset->webURL().isEmpty())
            assets.push_back(asset);
    }
    return assets;
}

bool ObjectPicture::screenLacksPictures(const ZERI_FlowScreenModel& screen)
{
    for (const auto& proxy : screen.mixedMediaObjects()) {
        const auto object = proxy ? proxy->object() : nullptr;
        if (object && lacksPicture(*object))
            return true;
    }
    return false;
}
