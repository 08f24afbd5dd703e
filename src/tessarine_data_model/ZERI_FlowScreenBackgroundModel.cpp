#include "tessarine_data_model/ZERI_FlowScreenBackgroundModel.h"

#include "tessarine_data_model/ModelJsonReader.h"
#include "tessarine_data_model/ZERI_AppDataModelCenter.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"

namespace {
const QString kColorKey = QStringLiteral("color");
const QString kBackgroundAssetKey = QStringLiteral("backgroundAsset");
} // namespace

void ZERI_FlowScreenBackgroundModel::setColor(const QColor& color)
{
    if (m_color == color)
        return;
    m_color = color;
    didChange(QStringLiteral("backgroundColor"));
}

void ZERI_FlowScreenBackgroundModel::setBackgroundAsset(const std::shared_ptr<ZERI_ContentAsset>& asset)
{
    if (m_backgroundAsset == asset)
        return;
    if (m_backgroundAsset)
        m_backgroundAsset->setParent(nullptr);
    m_backgroundAsset = asset;
    adopt(asset);
    didChange(kBackgroundAssetKey);
}

void ZERI_FlowScreenBackgroundModel::appendChildItems(
    std::vector<std::shared_ptr<TessarineDataModelItem>>& children) const
{
    if (m_backgroundAsset)
        children.push_back(m_backgroundAsset);
}

QJsonObject ZERI_FlowScreenBackgroundModel::makeJsonDictionary() const
{
    QJsonObject dict;
    if (m_color.isValid())
        dict.insert(kColorKey, ZERI_AppDataModelCenter::rgbaHexStringFromColor(m_color));
    if (m_backgroundAsset)
        dict.insert(kBackgroundAssetKey, m_backgroundAsset->jsonDictionary());
    return dict;
}

void ZERI_FlowScreenBackgroundModel::readProperties(const ModelJsonReader& reader, ChangedKeys& changedKeys)
{
    assign(m_color, reader.color(kColorKey).value_or(QColor()), QStringLiteral("backgroundColor"), changedKeys);
    const auto assetDict = reader.object(kBackgroundAssetKey);
    if (!assetDict) {
        if (m_backgroundAsset) {
            m_backgroundAsset->setParent(nullptr);
            m_backgroundAsset.reset();
            changedKeys.insert(kBackgroundAssetKey);
        }
    } else if (!m_backgroundAsset || m_backgroundAsset->jsonDictionary() != *assetDict) {
        auto asset = std::make_shared<ZERI_ContentAsset>();
        asset->readFromReader(ModelJsonReader(*assetDict, reader, kBackgroundAssetKey), false);
        if (m_backgroundAsset)
            m_backgroundAsset->setParent(nullptr);
        m_backgroundAsset = asset;
        adopt(asset);
        changedKeys.insert(kBackgroundAssetKey);
    }
}
