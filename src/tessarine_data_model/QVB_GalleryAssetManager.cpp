#include "tessarine_data_model/QVB_GalleryAssetManager.h"

#include <algorithm>

#include <QJsonArray>

#include "tessarine_data_model/ModelJsonReader.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"

namespace {
const QString kFullsizedKey = QStringLiteral("fullsizedImageAssetsArray");
const QString kLowQualityKey = QStringLiteral("lowQualityImageAssetsArray");
const QString kThumbnailKey = QStringLiteral("thumbnailImageAssetsArray");
const QString kCaptionKey = QStringLiteral("captionTextArray");

QJsonArray assetArray(const std::vector<std::shared_ptr<ZERI_ContentAsset>>& assets)
{
    QJsonArray array;
    for (const auto& asset : assets)
        array.append(asset->jsonDictionary());
    return array;
}

template <class T> void moveElement(T& array, qsizetype from, qsizetype to)
{
    const auto count = qsizetype(array.size());
    if (from < 0 || to < 0 || from >= count || to >= count || from == to)
        return;
    auto element = array[from];
    array.erase(array.begin() + from);
    array.insert(array.begin() + to, element);
}

// Takes the elements at the sorted, distinct `indexes` out and inserts them as a block at `target` (clamped).
template <class T> bool moveBlock(T& array, const QList<qsizetype>& indexes, qsizetype target)
{
    const auto count = qsizetype(array.size());
    T moved;
    T kept;
    qsizetype next = 0;
    for (qsizetype i = 0; i < count; ++i) {
        while (next < indexes.size() && indexes[next] < i)
            ++next;
        if (next < indexes.size() && indexes[next] == i)
            moved.push_back(array[i]);
        else
            kept.push_back(array[i]);
    }
    if (moved.empty())
        return false;
    const auto at = std::clamp<qsizetype>(target, 0, qsizetype(kept.size()));
    T result;
    for (qsizetype i = 0; i < at; ++i)
        result.push_back(kept[i]);
    for (const auto& element : moved)
        result.push_back(element);
    for (qsizetype i = at; i < qsizetype(kept.size()); ++i)
        result.push_back(kept[i]);
    if (result == array)
        return false;
    array = std::move(result);
    return true;
}

} // namespace

std::shared_ptr<QVB_GalleryAssetManager> QVB_GalleryAssetManager::initWithDict(const QJsonObject& dict, Error* error)
{
    ModelReadStatus status;
    auto manager = std::make_shared<QVB_GalleryAssetManager>();
    manager->readFromReader(ModelJsonReader(dict, QString(), status), false);
    if (status.failed()) {
        setError(error, status.error());
        return nullptr;
    }
    return manager;
}

void QVB_GalleryAssetManager::insertInto(std::vector<std::shared_ptr<ZERI_ContentAsset>>& array,
                                         const std::shared_ptr<ZERI_ContentAsset>& asset, qsizetype index,
                                         const QString& key)
{
    array.insert(array.begin() + index, asset);
    adopt(asset);
    didChange(key);
}

void QVB_GalleryAssetManager::insertImageAsset(const std::shared_ptr<ZERI_ContentAsset>& asset, qsizetype index)
{
    if (!asset || index < 0 || index > qsizetype(m_fullsized.size()))
        return;
    m_captions.insert(std::min(index, m_captions.size()), QString(""));
    insertInto(m_fullsized, asset, index, kFullsizedKey);
}

void QVB_GalleryAssetManager::insertLowQualityAsset(const std::shared_ptr<ZERI_ContentAsset>& asset, qsizetype index)
{
    if (!asset || index < 0 || index > qsizetype(m_lowQuality.size()))
        return;
    insertInto(m_lowQuality, asset, index, kLowQualityKey);
}

void QVB_GalleryAssetManager::insertThumbImageAsset(const std::shared_ptr<ZERI_ContentAsset>& asset, qsizetype index)
{
    if (!asset || index < 0 || index > qsizetype(m_thumbnails.size()))
        return;
    insertInto(m_thumbnails, asset, index, kThumbnailKey);
}

void QVB_GalleryAssetManager::setCaptionText(qsizetype index, const QString& caption)
{
    if (index < 0 || index >= m_captions.size() || m_captions[index] == caption)
        return;
    m_captions[index] = caption;
    didChange(kCaptionKey);
}

void QVB_GalleryAssetManager::removeAssetAtIndex(qsizetype index)
{
    QSet<QString> changed;
    auto removeFrom = [&](std::vector<std::shared_ptr<ZERI_ContentAsset>>& array, const QString& key) {
        if (index < 0 || index >= qsizetype(array.size()))
            return;
        array[index]->setParent(nullptr);
        array.erase(array.begin() + index);
        changed.insert(key);
    };
    removeFrom(m_fullsized, kFullsizedKey);
    removeFrom(m_lowQuality, kLowQualityKey);
    removeFrom(m_thumbnails, kThumbnailKey);
    if (index >= 0 && index < m_captions.size()) {
        m_captions.removeAt(index);
        changed.insert(kCaptionKey);
    }
    if (!changed.isEmpty())
        didChangeKeys(changed);
}

void QVB_GalleryAssetManager::moveAssetFromIndex(qsizetype from, qsizetype to)
{
    if (from == to || from < 0 || to < 0 || from >= qsizetype(m_fullsized.size()) ||
        to >= qsizetype(m_fullsized.size()))
        return;
    moveElement(m_fullsized, from, to);
    moveElement(m_lowQuality, from, to);
    moveElement(m_thumbnails, from, to);
    if (from < m_captions.size() && to < m_captions.size())
        m_captions.move(from, to);
    didChangeKeys({kFullsizedKey, kLowQualityKey, kThumbnailKey, kCaptionKey});
}

void QVB_GalleryAssetManager::moveAssetsFromIndexes(const QList<qsizetype>& indexes, qsizetype target)
{
    QList<qsizetype> sorted = indexes;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    QSet<QString> changed;
    if (moveBlock(m_fullsized, sorted, target))
        changed.insert(kFullsizedKey);
    if (moveBlock(m_lowQuality, sorted, target))
        changed.insert(kLowQualityKey);
    if (moveBlock(m_thumbnails, sorted, target))
        changed.insert(kThumbnailKey);
    if (moveBlock(m_captions, sorted, target))
        changed.insert(kCaptionKey);
    if (!changed.isEmpty())
        didChangeKeys(changed);
}

void QVB_GalleryAssetManager::appendChildItems(std::vector<std::shared_ptr<TessarineDataModelItem>>& children) const
{
    for (const auto* array : {&m_fullsized, &m_lowQuality, &m_thumbnails})
        children.insert(children.end(), array->begin(), array->end());
}

QJsonObject QVB_GalleryAssetManager::makeJsonDictionary() const
{
    return QJsonObject{{kFullsizedKey, assetArray(m_fullsized)},
                       {kLowQualityKey, assetArray(m_lowQuality)},
                       {kThumbnailKey, assetArray(m_thumbnails)},
                       {kCaptionKey, QJsonArray::fromStringList(m_captions)}};
}

void QVB_GalleryAssetManager::readProperties(const ModelJsonReader& reader, ChangedKeys& changedKeys)
{
    auto readArray = [&](const QString& key, std::vector<std::shared_ptr<ZERI_ContentAsset>>& array) {
        std::vector<std::shared_ptr<ZERI_ContentAsset>> assets;
        const QJsonArray values = reader.array(key).value_or(QJsonArray());
        for (qsizetype i = 0; i < values.size(); ++i) {
            if (!values[i].isObject()) {
                reader.status().fail(reader.pathOf(key, i), QStringLiteral("expected an asset object"));
                return;
            }
            // Keep the asset object when it is the same record, so holders of it stay valid across an undo.
            const QJsonObject dict = values[i].toObject();
            std::shared_ptr<ZERI_ContentAsset> asset;
            if (i < qsizetype(array.size()) && array[i]->jsonDictionary() == dict)
                asset = array[i];
            else {
                asset = std::make_shared<ZERI_ContentAsset>();
                asset->readFromReader(ModelJsonReader(dict, reader, key, i), false);
            }
            adopt(asset);
            assets.push_back(asset);
        }
        if (assets != array) {
            array = std::move(assets);
            changedKeys.insert(key);
        }
    };
    readArray(kFullsizedKey, m_fullsized);
    readArray(kLowQualityKey, m_lowQuality);
    readArray(kThumbnailKey, m_thumbnails);
    assign(m_captions, reader.stringArray(kCaptionKey), kCaptionKey, changedKeys);
}
