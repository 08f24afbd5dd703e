#pragma once

#include <QList>
#include <QListView>
#include <QPointer>

class GalleryEditorArrayController;
class QMimeData;

// What the grid asks of its owner (the gallery editor).
class GalleryEditorCollectionViewContentDelegate {
public:
    virtual ~GalleryEditorCollectionViewContentDelegate() = default;
    virtual void galleryEditorWantsToDeleteObjectsAtIndexes(const QList<int>& indexes) = 0;
    // A drop at `index` (0 … count, before the tile at that index): a move of the grid's own selection, or data
    // dragged in from elsewhere.
    virtual void galleryEditorCollectionViewAcceptDrop(const QMimeData* data, int index, bool isMoveOfSelection) = 0;
};

// The gallery editor's grid: tiles of 120 × 120 points with 6 points around each, left to right, wrapping,
// drawn only while in view. Tiles are selected with the usual extended selection, dragged to reorder, deleted
// with Backspace or Delete or from a tile's right-click menu; files and image elements can be dropped in.
class QVRGalleryEditorCollectionView : public QListView {
    Q_OBJECT
public:
    // The drag type of a move inside the grid. It carries no data: the moved tiles are the selection.
    static const QString kDraggingType;
    static constexpr int kGridSide = 132;

    explicit QVRGalleryEditorCollectionView(QWidget* parent = nullptr);

    void setContentDelegate(GalleryEditorCollectionViewContentDelegate* delegate) { m_contentDelegate = delegate; }
    GalleryEditorCollectionViewContentDelegate* contentDelegate() const { return m_contentDelegate; }
    void setArrayController(GalleryEditorArrayController* controller);

    // Selected rows in grid order.
    QList<int> selectedRows() const;
    // Asks the content delegate to delete the selection; false (nothing asked) when nothing is selected.
    bool deletePressed();
    // The index a drop at `position` (viewport coordinates) goes to: before a tile when over its left half, after
    // it over its right half, the end past the last tile.
    int dropIndexForPosition(const QPoint& position) const;
    // The data of a drag of the selection out of the grid (owned by the caller, normally the drag).
    QMimeData* createDragData();
    // The picture a drag of these rows shows: the tile, or the first tiles stacked 7 points apart.
    QPixmap dragPixmapForRows(const QList<int>& rows) const;
    // Whether a drop's data is a move of this grid's own tiles.
    bool isOwnDrag(const QMimeData* mime, const QObject* source) const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool acceptsData(const QMimeData* mime) const;
    void setDropMarker(int index);

    GalleryEditorCollectionViewContentDelegate* m_contentDelegate = nullptr;
    QPointer<GalleryEditorArrayController> m_arrayController;
    QPointer<QMimeData> m_ownDragData;
    int m_dropMarker = -1;
};
