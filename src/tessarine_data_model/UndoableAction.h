#pragma once

#include <memory>

#include <QJsonObject>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVariantMap>

// One open (or registered) undoable change of a model item: the item's dictionary form taken when the change
// began, the asset files that snapshot keeps alive, and what the caller attached to it. The creator stores
// {"screenToPageTo": screen id} in userInfo; it comes back with the undo and the redo step.
class UndoableAction {
public:
    UndoableAction(QJsonObject snapshot, bool endsOnNextBegin, QStringList retainedFiles)
        : m_snapshot(std::move(snapshot))
        , m_endsOnNextBegin(endsOnNextBegin)
        , m_retainedFiles(std::move(retainedFiles))
    {
    }

    QVariantMap userInfo() const { return m_userInfo; }
    void setUserInfo(const QVariantMap& userInfo) { m_userInfo = userInfo; }
    QString actionDescription() const { return m_actionDescription; }
    void setActionDescription(const QString& description) { m_actionDescription = description; }
    bool endsOnNextBegin() const { return m_endsOnNextBegin; }
    const QJsonObject& snapshot() const { return m_snapshot; }
    const QStringList& retainedFiles() const { return m_retainedFiles; }

private:
    QJsonObject m_snapshot;
    bool m_endsOnNextBegin = false;
    QStringList m_retainedFiles;
    QVariantMap m_userInfo;
    QString m_actionDescription;
};

using UndoableActionRef = std::shared_ptr<UndoableAction>;
Q_DECLARE_METATYPE(UndoableActionRef)
