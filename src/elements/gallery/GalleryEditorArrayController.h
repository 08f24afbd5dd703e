#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <QAbstractListModel>
#include <QImage>
#include <QList>
#include <QSize>

class QVRGalleryEditorCollectionViewObject;
class ZERI_ContentAsset;

// The grid's content: the gallery editor's entries in gallery order (row k is image k of the working copy).
//
// Tile pictures are made lazily: a tile asks for its picture when it is painted, the file is decoded at about
// the tile's size and scaled on a worker, and the result comes back through the main thread and stays with the
// entry. Requests are served newest first, two at a time (for all grids together), and a request whose tile has left
// the view by the time its turn comes is dropped (it is asked for again when the tile shows). Main thread only.
class GalleryEditorArrayController : public QAbstractListModel {
    Q_OBJECT
public:
    using Entry = std::shared_ptr<QVRGalleryEditorCollectionViewObject>;

    // Side of the square a tile's picture is fitted into, in points.
    static constexpr int kTileImageSide = 120;

    explicit GalleryEditorArrayController(QObject* parent = nullptr);
    ~GalleryEditorArrayController() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    int count() const { return int(m_entries.size()); }
    const std::vector<Entry>& arrangedObjects() const { return m_entries; }
    Entry objectAt(int row) const;
    // -1 when no entry holds that full-sized asset.
    int rowOfFullsizedAsset(const ZERI_ContentAsset* asset) const;
    int rowOfIdentifier(quint64 identifier) const;

    // `row` is clamped to 0 … count.
    void insertObject(const Entry& entry, int row);
    // Rows out of range are skipped.
    void removeObjectsAtRows(const QList<int>& rows);
    // Takes the entries at `rows` out, in their order, and puts them back as one block at `target`, counted once
    // they are out (clamped).
    void moveObjectsAtRows(const QList<int>& rows, int target);

    // The tile picture of the row, or a null image while it is being made (then it is asked for).
    QImage previewForRow(int row);
    // Shows the file now at `path` as the tile of the entry (a picture that arrived after its tile was made).
    void setSourcePathOfEntry(const Entry& entry, const QString& path);
    // Tells whether a row is still in view when its turn to be made comes; without one every request is served.
    void setVisibilityCheck(std::function<bool(int row)> isRowVisible) { m_isRowVisible = std::move(isRowVisible); }
    // Pixels per point of the tile pictures.
    void setDevicePixelRatio(qreal ratio);

    // Worker side: the picture of a file fitted into a square of `side` pixels (content mode 1), decoded at about
    // that size. Null when the file cannot be read. Any thread.
    static QImage makeTileImage(const QString& path, int side);

signals:
    // An entry's picture arrived (or could not be made).
    void previewChanged(int row);

private:
    void pump();
    // Where the tile's picture is read from; empty when there is none yet (a download may have been started).
    QString tilePath(const Entry& entry);
    void takeTile(quint64 identifier, const QImage& image);
    void emitChanged(int row);

    std::vector<Entry> m_entries;
    std::vector<quint64> m_requests; // newest last
    int m_inFlight = 0;
    qreal m_devicePixelRatio = 1.0;
    std::function<bool(int)> m_isRowVisible;
    std::shared_ptr<bool> m_alive;
};
