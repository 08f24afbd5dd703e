#include "tessarine_data_model/TessarineDataModelItem.h"

#include <QUuid>

#include "tessarine_data_model/DocumentFilePackage.h"
#include "tessarine_data_model/ModelJsonReader.h"
#include "tessarine_data_model/TessarineDateFormatter.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {
const QString kCreatedKey = QStringLiteral("created");
const QString kUpdatedKey = QStringLiteral("updated");
const QString kIdKey = QStringLiteral("id");
} // namespace

TessarineDataModelItem::TessarineDataModelItem() = default;

TessarineDataModelItem::~TessarineDataModelItem() = default;

std::vector<std::shared_ptr<TessarineDataModelItem>> TessarineDataModelItem::childItems() const
{
    std::vector<std::shared_ptr<TessarineDataModelItem>> children;
    appendChildItems(children);
    return children;
}

void TessarineDataModelItem::appendChildItems(std::vector<std::shared_ptr<TessarineDataModelItem>>&) const {}

void TessarineDataModelItem::setInternalID(const QString& internalID)
{
    if (m_internalID == internalID)
        return;
    m_internalID = internalID;
    didChange(QStringLiteral("internalID"));
}

std::optional<QDateTime> TessarineDataModelItem::createdDate() const
{
    return m_created.isEmpty() ? std::nullopt : sharedFormatter().dateFromString(m_created);
}

std::optional<QDateTime> TessarineDataModelItem::updatedDate() const
{
    return m_updated.isEmpty() ? std::nullopt : sharedFormatter().dateFromString(m_updated);
}

void TessarineDataModelItem::setCreatedDate(const QDateTime& date)
{
    const QString text = sharedFormatter().stringFromDate(date);
    if (text == m_created)
        return;
    m_created = text;
    didChange(kCreatedKey);
}

void TessarineDataModelItem::setUpdatedDate(const QDateTime& date)
{
    const QString text = sharedFormatter().stringFromDate(date);
    if (text == m_updated)
        return;
    m_updated = text;
    didChange(kUpdatedKey);
}

ObjectUpdateNotifier& TessarineDataModelItem::updateNotifier()
{
    if (!m_notifier)
        m_notifier = std::make_unique<ObjectUpdateNotifier>(static_cast<const void*>(this));
    return *m_notifier;
}

QJsonObject TessarineDataModelItem::jsonDictionary() const
{
    if (!m_jsonValid) {
        m_jsonCache = makeJsonDictionary();
        m_jsonValid = true;
    }
    return m_jsonCache;
}

bool TessarineDataModelItem::setPropertiesFromDict(const QJsonObject& dict, Error* error)
{
    ModelReadStatus status;
    const ModelJsonReader reader(dict, QString(), status);
    ChangedKeys changedKeys(true);
    readProperties(reader, changedKeys);
    if (!changedKeys.isEmpty())
        didChangeKeys(changedKeys.keys());
    if (status.failed()) {
        setError(error, status.error());
        return false;
    }
    return true;
}

void TessarineDataModelItem::readFromReader(const ModelJsonReader& reader, bool reportChanges)
{
    ChangedKeys changedKeys(reportChanges);
    readProperties(reader, changedKeys);
    if (changedKeys.isEmpty())
        return;
    if (reportChanges)
        didChangeKeys(changedKeys.keys());
    else
        invalidateJsonDictionary();
}

void TessarineDataModelItem::setUpdated()
{
    invalidateJsonDictionary();
}

void TessarineDataModelItem::didChange(const QString& key)
{
    invalidateJsonDictionary();
    // Nobody can observe a notifier that was never made: don't make one just to report into it.
    if (ObjectUpdateNotifier* notifier = existingUpdateNotifier(); notifier && notifier->hasObservers())
        notifier->reportChange(key);
}

void TessarineDataModelItem::didChangeKeys(const QSet<QString>& keys)
{
    invalidateJsonDictionary();
    if (ObjectUpdateNotifier* notifier = existingUpdateNotifier(); notifier && notifier->hasObservers())
        notifier->reportChanges(keys);
}

void TessarineDataModelItem::invalidateJsonDictionary()
{
    // A valid cache implies valid caches below it, so the walk can stop at the first invalid ancestor.
    if (m_jsonValid) {
        m_jsonValid = false;
        m_jsonCache = QJsonObject();
    }
    for (auto item = parent(); item && item->m_jsonValid; item = item->parent()) {
        item->m_jsonValid = false;
        item->m_jsonCache = QJsonObject();
    }
}

std::vector<std::shared_ptr<ZERI_ContentAsset>> TessarineDataModelItem::getAllContentAssets() const
{
    return getAllChildObjectsOfClass<ZERI_ContentAsset>();
}

std::shared_ptr<ZERI_TessarineModel> TessarineDataModelItem::tessarineModel() const
{
    return nearestParentItemOfClass<ZERI_TessarineModel>();
}

std::shared_ptr<ZERI_FlowScreenModel> TessarineDataModelItem::parentFlowScreenModel() const
{
    return nearestParentItemOfClass<ZERI_FlowScreenModel>();
}

QString TessarineDataModelItem::assetStoragePath() const
{
    const auto document = tessarineModel();
    return document ? document->documentAssetStoragePath() : QString();
}

std::shared_ptr<VideoCompressionManager> TessarineDataModelItem::videoCompressionManager() const
{
    const auto document = tessarineModel();
    return document ? document->documentVideoCompressionManager() : nullptr;
}

std::optional<QList<QVariantMap>> TessarineDataModelItem::getSetupDictionaryArrayForOutletType(const QString&,
                                                                                               const QString&)
{
    return std::nullopt;
}

TessarineDateFormatter& TessarineDataModelItem::sharedFormatter()
{
    return TessarineDateFormatter::sharedFormatter();
}

void TessarineDataModelItem::stampNewTimestamps()
{
    const QString now = sharedFormatter().stringFromDate(QDateTime::currentDateTime());
    m_created = now;
    m_updated = now;
    invalidateJsonDictionary();
}

void TessarineDataModelItem::writeTimestamps(QJsonObject& dict) const
{
    if (!m_created.isEmpty())
        dict.insert(kCreatedKey, m_created);
    if (!m_updated.isEmpty())
        dict.insert(kUpdatedKey, m_updated);
}

void TessarineDataModelItem::readTimestamps(const ModelJsonReader& reader, ChangedKeys& changedKeys)
{
    assign(m_created, reader.string(kCreatedKey), kCreatedKey, changedKeys);
    assign(m_updated, reader.string(kUpdatedKey), kUpdatedKey, changedKeys);
}

void TessarineDataModelItem::writeInternalID(QJsonObject& dict) const
{
    if (!m_internalID.isEmpty())
        dict.insert(kIdKey, m_internalID);
}

void TessarineDataModelItem::readInternalID(const ModelJsonReader& reader, ChangedKeys& changedKeys)
{
    assign(m_internalID, reader.string(kIdKey), QStringLiteral("internalID"), changedKeys);
}

void TessarineDataModelItem::adopt(const std::shared_ptr<TessarineDataModelItem>& child)
{
    if (child)
        child->setParent(weak_from_this().lock());
}

QString TessarineDataModelItem::newUniqueID()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}
