#pragma once

#include <memory>
#include <optional>
#include <vector>

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QMetaType>
#include <QSet>
#include <QString>
#include <QVariantMap>

#include "platform/Error.h"
#include "tessarine_data_model/ModelJsonReader.h"
#include "tessarine_data_model/ObjectUpdateNotifier.h"

class TessarineDateFormatter;
class UndoableAction;
class ZERI_FlowModel;
class VideoCompressionManager;
class ZERI_ContentAsset;
class ZERI_FlowScreenModel;
class ZERI_TessarineModel;

// Base of every document object: document, flow, screen, background, mixed-media object, link action,
// content asset, gallery asset manager.
//
// Ownership: an item holds its children strongly and its parent weakly; items live in std::shared_ptr and
// have no QObject parent. Main thread only, unless a class says otherwise.
//
// Dictionary form: jsonDictionary() is built once and cached; every change of an item invalidates its cache
// and those of its ancestors (a valid cache implies valid caches below it), so saving after one edit
// rebuilds only the path from the edited item to the root. setPropertiesFromDict() assigns the whole state:
// a key that is absent resets its property to the default, so a snapshot read back restores an item exactly.
//
// Timestamps are kept as the texts they are stored in and parsed only when asked for.
class TessarineDataModelItem : public std::enable_shared_from_this<TessarineDataModelItem> {
public:
    virtual ~TessarineDataModelItem();
    TessarineDataModelItem(const TessarineDataModelItem&) = delete;
    TessarineDataModelItem& operator=(const TessarineDataModelItem&) = delete;

    std::shared_ptr<TessarineDataModelItem> parent() const { return m_parent.lock(); }
    void setParent(const std::shared_ptr<TessarineDataModelItem>& parent) { m_parent = parent; }
    // Direct children in document order (objects of a screen back to front, assets of an object, ...).
    std::vector<std::shared_ptr<TessarineDataModelItem>> childItems() const;

    const QString& internalID() const { return m_internalID; }
    void setInternalID(const QString& internalID);

    // "MMMM d, yyyy, hh:mm:ss a zzz" texts (TessarineDateFormatter); empty when never set.
    const QString& createdText() const { return m_created; }
    const QString& updatedText() const { return m_updated; }
    std::optional<QDateTime> createdDate() const;
    std::optional<QDateTime> updatedDate() const;
    void setCreatedDate(const QDateTime& date);
    void setUpdatedDate(const QDateTime& date);

    virtual ObjectUpdateNotifier& updateNotifier();

    QJsonObject jsonDictionary() const;
    // Whether jsonDictionary() would answer from its cache.
    bool hasCachedJsonDictionary() const { return m_jsonValid; }
    // False (with `error` naming the faulty value) when a value has the wrong kind; the item may then hold
    // part of the new state. Reports every key whose value changed.
    bool setPropertiesFromDict(const QJsonObject& dict, Error* error = nullptr);

    // Reading inside a larger read (a container reading a child from its dictionary): faults go to the
    // reader's status. With `reportChanges`, observers hear of the changed keys (an undo restore); a fresh
    // item being built from its JSON reports nothing.
    void readFromReader(const ModelJsonReader& reader, bool reportChanges);

    // Marks the item changed: its cached dictionary and those above it are dropped, its "updated" timestamp is
    // renewed (at most once a second) and its document schedules a save. Every setter does this.
    void setUpdated();

    // Undoable changes. The undo responder is the nearest flow (the item itself when it is one); without one
    // these do nothing. begin takes a snapshot of the item's dictionary form (keeping the asset files it refers
    // to); every edit until the matching end forms one undo step, which restores the snapshot. A begin while a
    // change is open ends that change first, whatever its flag. An end that finds the item's content (all but the
    // "updated" stamps) equal to the snapshot registers no step and releases the snapshot's files; the end
    // notification still posts. cancel restores the snapshot and drops the change without an undo step.
    static const QString kDidBeginUndoableChangesNotification;
    static const QString kDidEndUndoableChangesNotification;
    static const QString kDidCancelUndoableChangesNotification;
    static const QString kDidSetPropertiesFromUndoableActionNotification;
    void beginUndoableChanges(bool endOnNextBegin = false);
    void endUndoableChanges();
    void cancelUndoableChanges();
    std::shared_ptr<UndoableAction> currentUndoableAction() const { return m_currentUndoableAction; }
    // Restores the action's snapshot and posts kDidSetPropertiesFromUndoableActionNotification (object: this
    // item; userInfo {"undoableAction": the action}). Video assets that still carry a preset are queued again.
    void setPropertiesFromUndoableAction(const std::shared_ptr<UndoableAction>& action);
    std::shared_ptr<ZERI_FlowModel> undoResponder() const;

    // Inclusive: the item itself when it is a T, else the nearest ancestor that is.
    template <class T> std::shared_ptr<T> nearestParentItemOfClass() const
    {
        // weak_from_this: an item outside a shared_ptr (never made so by the model) simply has no answer.
        for (auto item = std::const_pointer_cast<TessarineDataModelItem>(weak_from_this().lock()); item;
             item = item->parent()) {
            if (auto match = std::dynamic_pointer_cast<T>(item))
                return match;
        }
        return nullptr;
    }

    // Every descendant (not the item itself) that is a T, depth first in document order.
    template <class T> std::vector<std::shared_ptr<T>> getAllChildObjectsOfClass() const
    {
        std::vector<std::shared_ptr<T>> found;
        collect(found);
        return found;
    }

    std::vector<std::shared_ptr<ZERI_ContentAsset>> getAllContentAssets() const;
    std::shared_ptr<ZERI_TessarineModel> tessarineModel() const;
    std::shared_ptr<ZERI_FlowScreenModel> parentFlowScreenModel() const;
    // The asset folder of the root document's package; empty without a document or package.
    QString assetStoragePath() const;
    std::shared_ptr<VideoCompressionManager> videoCompressionManager() const;

    // The side menu's set-up dictionaries for one outlet kind and tab type; nullopt ("nothing") by default.
    virtual std::optional<QList<QVariantMap>> getSetupDictionaryArrayForOutletType(const QString& outletType,
                                                                                   const QString& tabType);

    static TessarineDateFormatter& sharedFormatter();

protected:
    TessarineDataModelItem();

    virtual void appendChildItems(std::vector<std::shared_ptr<TessarineDataModelItem>>& children) const;
    virtual QJsonObject makeJsonDictionary() const = 0;
    // Assigns every property from the reader (absent keys: defaults) and adds the key of each property whose
    // value changed. Faults are recorded in the reader's status.
    virtual void readProperties(const ModelJsonReader& reader, ChangedKeys& changedKeys) = 0;

    // A property changed: drop cached dictionaries up the tree and report the key to observers.
    void didChange(const QString& key);
    void didChangeKeys(const QSet<QString>& keys);
    void invalidateJsonDictionary();

    void stampNewTimestamps();
    // The change bookkeeping every setter does: timestamp (at most once a second) and the document's save.
    void markUpdated();
    void writeTimestamps(QJsonObject& dict) const;
    void readTimestamps(const ModelJsonReader& reader, ChangedKeys& changedKeys);
    void writeInternalID(QJsonObject& dict) const;
    void readInternalID(const ModelJsonReader& reader, ChangedKeys& changedKeys);

    // Makes this item the parent of `child`.
    void adopt(const std::shared_ptr<TessarineDataModelItem>& child);
    // The notifier that reports would go to, without making one.
    virtual ObjectUpdateNotifier* existingUpdateNotifier() const { return m_notifier.get(); }

    static QString newUniqueID();

    template <class T> static bool assign(T& member, const T& value, const QString& key, ChangedKeys& changedKeys)
    {
        if (member == value)
            return false;
        member = value;
        changedKeys.insert(key);
        return true;
    }

private:
    template <class T> void collect(std::vector<std::shared_ptr<T>>& found) const
    {
        std::vector<std::shared_ptr<TessarineDataModelItem>> children;
        appendChildItems(children);
        for (const auto& child : children) {
            if (auto match = std::dynamic_pointer_cast<T>(child))
                found.push_back(std::move(match));
            child->collect(found);
        }
    }

    std::weak_ptr<TessarineDataModelItem> m_parent;
    QString m_internalID;
    QString m_created;
    QString m_updated;
    mutable QJsonObject m_jsonCache;
    mutable bool m_jsonValid = false;
    std::unique_ptr<ObjectUpdateNotifier> m_notifier;
    qint64 m_updatedStampMs = 0;
    std::shared_ptr<UndoableAction> m_currentUndoableAction;
};

// How side-menu dictionaries refer to a model item without keeping it alive.
using ModelItemRef = std::weak_ptr<TessarineDataModelItem>;
Q_DECLARE_METATYPE(ModelItemRef)
