#pragma once

#include <functional>
#include <memory>

#include <QPointer>
#include <QTimer>

#include "controls/SingleRowCollectionView.h"

class QMimeData;
class QScrollArea;
class QVRThumbnailBarHost;
#include "creator/thumbnails/QVRThumbnailObject.h"
#include "creator/thumbnails/QVR_ThumbnailHoldingView.h"
class ObjectUpdateNotifier;

// An item of a thumbnail bar: its view is a holding view around the hosted content. When the item goes it hands
// a screen's preview back to its thumbnail object instead of deleting it.
class QVR_ThumbnailCollectionViewItem : public SingleRowCollectionViewItem {
    Q_OBJECT
public:
    QVR_ThumbnailCollectionViewItem(const QVariant& representedObject, QVR_ThumbnailHoldingView* holdingView);
    ~QVR_ThumbnailCollectionViewItem() override;

    QVR_ThumbnailHoldingView* thumbnailHoldingView() const { return m_holdingView; }
    QVRThumbnailObject* thumbnailObject() const { return m_object; }
    void setSelected(bool selected) override;

private:
    QPointer<QVR_ThumbnailHoldingView> m_holdingView;
    QPointer<QVRThumbnailObject> m_object;
};

// The strip of numbered screen previews of an editing window, in a horizontal QScrollArea. Its content is one
// QVRThumbnailObject per screen (as QObject*), then the add-screen item (the image name "flowScreen_add-screen").
// Selecting an item scrolls it to the centre 0.3 s after the last selection; screens are reordered by dragging,
// and canvas objects dropped onto a screen's item are added to that screen.
class QVRThumbnailBar : public SingleRowCollectionView {
    Q_OBJECT
public:
    // Left and Right move the selection one screen (the first screen when none is selected); true when taken.
    bool stepSelectionWithArrow(QKeyEvent* event);
    static const QString kAddScreenImageName;   // "flowScreen_add-screen"
    static const QString kObjectPasteboardType; // "com.tessarine.mixedMediaObjectPasteboardType"
    static constexpr int kScrollDelayMilliseconds = 300;
    static constexpr int kAddScreenPopoverPosition = 16;
    static constexpr int kIndicatorWidth = 2;
    using HoldingViewFactory = std::function<QVR_ThumbnailHoldingView*(const QRect& frame)>;

    explicit QVRThumbnailBar(QWidget* parent = nullptr);
    ~QVRThumbnailBar() override;

    static QVariant contentObject(QVRThumbnailObject* object);
    static QVRThumbnailObject* thumbnailObjectFrom(const QVariant& contentObject);
    bool lastObjectIsAddScreen() const;
    int screenItemCount() const;

    // Reports "currentIndex" whenever the current index changes.
    ObjectUpdateNotifier& updateNotifier() const { return *m_updateNotifier; }
    void setThumbnailHoldingViewClass(HoldingViewFactory factory);

    // A selection of only the add-screen item is ignored; any other restarts the delayed scroll.
    void setSelectionIndexes(const QList<int>& indexes) override;
    void scrollToSelectedIndex();
    bool isScrollPending() const { return m_scrollTimer.isActive(); }
    QScrollArea* enclosingScrollArea() const;

    // Numbers the screen items 1, 2, ... and darkens the separator of the last screen before the add item.
    void thumbnailItemsReordered();
    void startNewScreenSelection(QWidget* button);
    // The previews scrolled out of sight let their pictures go (those that hold pictures only in sight); run
    // shortly after the bar scrolls or changes size.
    void releasePicturesOutOfSight();

    QVRThumbnailBarHost* creatorWindow() const;
    // A token naming this bar in its drags' data.
    const QString& dragToken() const { return m_dragToken; }
    const QList<int>& draggingIndexes() const { return m_draggingIndexes; }
    QWidget* dropIndicator() const { return m_dropIndicator; }

    // The drag hooks: whether the items can be dragged, the drag's picture and its data. The data also marks the
    // indexes as being dragged until draggingEnded().
    virtual bool canDragItemsAtIndexes(const QList<int>& indexes) const;
    virtual QPixmap draggingImageForItemsAtIndexes(const QList<int>& indexes) const;
    virtual QMimeData* writeItemsAtIndexes(const QList<int>& indexes);
    virtual void draggingEnded();

protected:
    void doInitialSetup() override;
    SingleRowCollectionViewItem* newItemForRepresentedObject(const QVariant& object) override;
    void itemMadeInReach(int index, SingleRowCollectionViewItem* item) override;

    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    struct DropTarget {
        bool accepted = false;
        bool objectDrop = false;
        int index = -1;
    };
    DropTarget validateDrop(const QMimeData* mime, const QPointF& position);
    bool acceptReorder(int dropIndex);
    bool acceptObjectDrop(const QMimeData* mime, int index);
    void hideIndicator();
    // The screen number and the separator of the item at `index`.
    void numberItem(int index, SingleRowCollectionViewItem* item);
    // The objects of the selected screens keep their previews while out of reach; the others no longer.
    void markCurrentObjects();
    void startDrag(int index);

    std::unique_ptr<ObjectUpdateNotifier> m_updateNotifier;
    HoldingViewFactory m_holdingViewFactory;
    QTimer m_scrollTimer;
    QTimer m_sightTimer; // coalesces the moves of a scroll into one releasePicturesOutOfSight()
    QWidget* m_dropIndicator = nullptr;
    QString m_dragToken;
    QList<int> m_draggingIndexes;
    QPointer<QVRThumbnailObject> m_draggedObject;
    QList<QPointer<QVRThumbnailObject>> m_currentObjects;
    QPoint m_pressPosition;
    int m_pressIndex = -1;
};
