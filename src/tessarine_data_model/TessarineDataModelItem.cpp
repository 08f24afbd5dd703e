#include "tessarine_data_model/TessarineDataModelItem.h"

#include <QJsonArray>
#include <QUuid>

#include "platform/NotificationCenter.h"
#include "platform/UndoManager.h"
#include "tessarine_data_model/DocumentFilePackage.h"
#include "tessarine_data_model/ModelJsonReader.h"
#include "tessarine_data_model/TessarineDataModelLogging.h"
#include "tessarine_data_model/TessarineDateFormatter.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/UndoSnapshotFiles.h"
#include "tessarine_data_model/UndoableAction.h"
#include "tessarine_data_model/VideoCompressionManager.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

const QString TessarineDataModelItem::kDidBeginUndoableChangesNotification =
    QStringLiteral("TessarineDataModelItemDidBeginUndoableChangesNotification");
const QString TessarineDataModelItem::kDidEndUndoableChangesNotification =
    QStringLiteral("TessarineDataModelItemDidEndUndoableChangesNotifiaction");
const QString TessarineDataModelItem::kDidCancelUndoableChangesNotification =
    QStringLiteral("TessarineDataModelItemDidCancelUndoableChangesNotification");
const QString TessarineDataModelItem::kDidSetPropertiesFromUndoableActionNotification =
    QStringLiteral("TessarnieDataModelItemDidSetPropertiesFromUndoableActionNotification");

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
    markUpdated();
}

void TessarineDataModelItem::markUpdated()
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now - m_updatedStampMs >= 1000) {
        m_updatedStampMs = now;
        m_updated = sharedFormatter().stringFromDate(QDateTime::fromMSecsSinceEpoch(now));
        invalidateJsonDictionary();
    }
    if (const auto document = tessarineModel())
        document->setNeedsSaveToFile();
}

std::shared_ptr<ZERI_FlowModel> TessarineDataModelItem::undoResponder() const
{
    return nearestParentItemOfClass<ZERI_FlowModel>();
}

namespace {

// One undo (or redo) step: restores the action's snapshot into the item and, while doing so, registers the
// opposite step holding the state it replaces (with the same userInfo and name), which the undo manager files as
// the redo step (or, during a redo, as the next undo step). Holds the item and the responder weakly; the files
// the snapshot keeps are released when the step runs or is dropped.
void registerRestoreStep(const std::weak_ptr<TessarineDataModelItem>& item,
                         const std::weak_ptr<ZERI_FlowModel>& responder, const std::shared_ptr<UndoableAction>& action)
{
    const auto flow = responder.lock();
    if (!flow) {
        UndoSnapshotFiles::release(action->retainedFiles());
        return;
    }
    flow->undoManager().registerUndo(
        [item, responder, action] {
            if (const auto target = item.lock()) {
                auto opposite = std::make_shared<UndoableAction>(target->jsonDictionary(), false,
                                                                 UndoSnapshotFiles::retain(*target));
                opposite->setUserInfo(action->userInfo());
                opposite->setActionDescription(action->actionDescription());
                registerRestoreStep(item, responder, opposite);
                target->setPropertiesFromUndoableAction(action);
            }
            UndoSnapshotFiles::release(action->retainedFiles());
        },
        [action] { UndoSnapshotFiles::release(action->retainedFiles()); });
}

// Whether two dictionary forms hold the same content. "updated" stamps are skipped at every level: an edit and
// its reversal both renew them, yet leave nothing to undo. One walk over both trees, sharing their data.
bool sameContentIgnoringUpdateStamps(const QJsonValue& a, const QJsonValue& b);

bool sameContentIgnoringUpdateStamps(const QJsonObject& a, const QJsonObject& b)
{
    qsizetype keysOfA = 0;
    for (auto it = a.constBegin(); it != a.constEnd(); ++it) {
        if (it.key() == kUpdatedKey)
            continue;
        ++keysOfA;
        const auto other = b.constFind(it.key());
        if (other == b.constEnd() || !sameContentIgnoringUpdateStamps(it.value(), other.value()))
            return false;
    }
    const qsizetype keysOfB = b.size() - (b.contains(kUpdatedKey) ? 1 : 0);
    return keysOfA == keysOfB;
}

bool sameContentIgnoringUpdateStamps(const QJsonValue& a, const QJsonValue& b)
{
    if (a.type() != b.type())
        return false;
    if (a.isObject())
        return sameContentIgnoringUpdateStamps(a.toObject(), b.toObject());
    if (a.isArray()) {
        const QJsonArray first = a.toArray();
        const QJsonArray second = b.toArray();
        if (first.size() != second.size())
            return false;
        for (qsizetype i = 0; i < first.size(); ++i)
            if (!sameContentIgnoringUpdateStamps(first.at(i), second.at(i)))
                return false;
        return true;
    }
    return a == b;
}

} // namespace

void TessarineDataModelItem::beginUndoableChanges(bool endOnNextBegin)
{
    if (!undoResponder())
        return;
    // A change still open is ended first, whatever its flag: replacing it would lose its snapshot.
    if (m_currentUndoableAction)
        endUndoableChanges();
    const QStringList retained = UndoSnapshotFiles::retain(*this);
    m_currentUndoableAction = std::make_shared<UndoableAction>(jsonDictionary(), endOnNextBegin, retained);
    NotificationCenter::defaultCenter().post(kDidBeginUndoableChangesNotification, this);
}

void TessarineDataModelItem::endUndoableChanges()
{
    const auto responder = undoResponder();
    if (!responder || !m_currentUndoableAction)
        return;
    const auto action = std::exchange(m_currentUndoableAction, nullptr);
    NotificationCenter::defaultCenter().post(kDidEndUndoableChangesNotification, this);
    // A change that left the item as it found it is no step: undoing it would do nothing visible.
    if (sameContentIgnoringUpdateStamps(jsonDictionary(), action->snapshot())) {
        UndoSnapshotFiles::release(action->retainedFiles());
        return;
    }
    UndoManager& manager = responder->undoManager();
    manager.beginUndoGrouping();
    registerRestoreStep(weak_from_this(), responder, action);
    if (!action->actionDescription().isEmpty())
        manager.setActionName(action->actionDescription());
    manager.endUndoGrouping();
}

void TessarineDataModelItem::cancelUndoableChanges()
{
    if (!m_currentUndoableAction)
        return;
    const auto action = std::exchange(m_currentUndoableAction, nullptr);
    NotificationCenter::defaultCenter().post(kDidCancelUndoableChangesNotification, this);
    // Roll back what the change did, without an undo step.
    Error error;
    if (!setPropertiesFromDict(action->snapshot(), &error))
        qCWarning(lcTessarineDataModel) << "a cancelled change did not roll back cleanly:" << error.message;
    UndoSnapshotFiles::release(action->retainedFiles());
}

void TessarineDataModelItem::setPropertiesFromUndoableAction(const std::shared_ptr<UndoableAction>& action)
{
    if (!action)
        return;
    Error error;
    if (!setPropertiesFromDict(action->snapshot(), &error))
        qCWarning(lcTessarineDataModel) << "an undo snapshot did not restore cleanly:" << error.message;
    NotificationCenter::defaultCenter().post(kDidSetPropertiesFromUndoableActionNotification, this,
                                             {{QStringLiteral("undoableAction"), QVariant::fromValue(action)}});
    // Re-encoding was cancelled when a video left the document; it is queued again when the video comes back.
    if (const auto manager = videoCompressionManager())
        manager->resumeCompressionForAssetsOfDataModelItem(weak_from_this().lock());
}

void TessarineDataModelItem::didChange(const QString& key)
{
    invalidateJsonDictionary();
    markUpdated();
    // Nobody can observe a notifier that was never made: don't make one just to report into it.
    if (ObjectUpdateNotifier* notifier = existingUpdateNotifier(); notifier && notifier->hasObservers())
        notifier->reportChange(key);
}

void TessarineDataModelItem::didChangeKeys(const QSet<QString>& keys)
{
    invalidateJsonDictionary();
    markUpdated();
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
    m_updatedStampMs = QDateTime::currentMSecsSinceEpoch();
    const QString now = sharedFormatter().stringFromDate(QDateTime::fromMSecsSinceEpoch(m_updatedStampMs));
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
