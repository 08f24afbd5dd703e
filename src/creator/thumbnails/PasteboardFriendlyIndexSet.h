#pragma once

#include <QList>
#include <QString>

class QMimeData;

// The indexes of the items dragged out of a thumbnail bar, written into a drag's data under
// "com.tessarine.qvrThumbnailBarDragging" together with a token naming the bar they came from. Only the bar
// whose token it carries may read a reorder out of it.
class PasteboardFriendlyIndexSet {
public:
    static const QString kDraggingType; // "com.tessarine.qvrThumbnailBarDragging"

    PasteboardFriendlyIndexSet() = default;
    PasteboardFriendlyIndexSet(QList<int> indexes, QString token);

    const QList<int>& indexes() const { return m_indexes; }
    const QString& token() const { return m_token; }
    bool isEmpty() const { return m_indexes.isEmpty(); }
    int firstIndex() const { return m_indexes.isEmpty() ? -1 : m_indexes.first(); }

    void writeTo(QMimeData& data) const;
    // Empty when the data has no such entry or it cannot be read (negative indexes are dropped).
    static PasteboardFriendlyIndexSet readFrom(const QMimeData* data);

private:
    QList<int> m_indexes; // sorted, without repeats
    QString m_token;
};
