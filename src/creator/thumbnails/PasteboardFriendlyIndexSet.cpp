#include "creator/thumbnails/PasteboardFriendlyIndexSet.h"

#include <algorithm>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMimeData>

const QString PasteboardFriendlyIndexSet::kDraggingType = QStringLiteral("com.tessarine.qvrThumbnailBarDragging");

PasteboardFriendlyIndexSet::PasteboardFriendlyIndexSet(QList<int> indexes, QString token)
    : m_indexes(std::move(indexes))
    , m_token(std::move(token))
{
    m_indexes.removeIf([](int index) { return index < 0; });
    std::sort(m_indexes.begin(), m_indexes.end());
    m_indexes.erase(std::unique(m_indexes.begin(), m_indexes.end()), m_indexes.end());
}

void PasteboardFriendlyIndexSet::writeTo(QMimeData& data) const
{
    QJsonArray indexes;
    for (int index : m_indexes)
        indexes.append(index);
    const QJsonObject object{{QStringLiteral("token"), m_token}, {QStringLiteral("indexes"), indexes}};
    data.setData(kDraggingType, QJsonDocument(object).toJson(QJsonDocument::Compact));
}

PasteboardFriendlyIndexSet PasteboardFriendlyIndexSet::readFrom(const QMimeData* data)
{
    if (!data || !data->hasFormat(kDraggingType))
        return {};
    const QJsonDocument document = QJsonDocument::fromJson(data->data(kDraggingType));
    if (!document.isObject())
        return {};
    const QJsonObject object = document.object();
    QList<int> indexes;
    for (const QJsonValue& value : object.value(QStringLiteral("indexes")).toArray())
        if (value.isDouble())
            indexes.append(value.toInt(-1));
    return PasteboardFriendlyIndexSet(indexes, object.value(QStringLiteral("token")).toString());
}
