#pragma once

#include <utility>

#include <QList>
#include <QPointer>
#include <QVariant>
#include <QWidget>

// One item of a SingleRowCollectionView: the object it represents and the view that shows it (owned by the
// collection view). Subclass to keep more per item.
class SingleRowCollectionViewItem : public QObject {
    Q_OBJECT
public:
    SingleRowCollectionViewItem(const QVariant& representedObject, QWidget* view);
    ~SingleRowCollectionViewItem() override;

    QVariant representedObject() const { return m_representedObject; }
    QWidget* view() const { return m_view; }
    bool isSelected() const { return m_selected; }
    virtual void setSelected(bool selected);

private:
    QVariant m_representedObject;
    QPointer<QWidget> m_view;
    bool m_selected = false;
};

// A collection view laid out in one horizontal row of equal items (itemSize, itemSpacing between them); its width
// follows the content so that it can sit in a scroll area. A click selects the item under it. currentIndex is the
// first selected index, or -1.
//
// doInitialSetup runs once, before the first content is set or the view is first shown; subclasses extend it and
// call the base. Items are made by newItemForRepresentedObject, which subclasses override.
class SingleRowCollectionView : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int currentIndex READ currentIndex NOTIFY currentIndexChanged)
public:
    explicit SingleRowCollectionView(QWidget* parent = nullptr);
    ~SingleRowCollectionView() override;

    QVariantList content() const { return m_content; }
    // Rebuilds every item; the selection is cleared.
    void setContent(const QVariantList& content);
    // Keeps the items of objects that stay (moved to their new place, their views untouched), makes items only for
    // new objects and deletes those of objects that left. The selection follows its objects. Objects compare
    // with QVariant equality; a repeated object keeps at most one item per occurrence.
    void updateContent(const QVariantList& content);

    QSize itemSize() const { return m_itemSize; }
    void setItemSize(const QSize& size);
    int itemSpacing() const { return m_itemSpacing; }
    void setItemSpacing(int spacing);

    int currentIndex() const;
    QList<int> selectionIndexes() const { return m_selection; }
    // Out-of-range indexes are dropped; the list is kept sorted without repeats.
    virtual void setSelectionIndexes(const QList<int>& indexes);

    int count() const { return int(m_items.size()); }
    QRect frameForItemAtIndex(int index) const;
    // Null for an item not made (see setMakesItemsInViewOnly).
    SingleRowCollectionViewItem* itemAtIndex(int index) const;

    // For a long row in a scroll area: items are made only for the content in view and a margin of a view's width
    // on either side, as it scrolls into reach, and those scrolled far away are deleted again. Off by default.
    void setMakesItemsInViewOnly(bool inViewOnly);
    bool makesItemsInViewOnly() const { return m_inViewOnly; }
    // Makes the items now in reach and deletes those far out of it; run as the row scrolls or changes size.
    void updateItemsInReach();
    // The index of the item under a point (own coordinates), or -1.
    int indexAtPoint(const QPoint& point) const;

    void ensureInitialSetup();

signals:
    void currentIndexChanged(int index);
    void selectionIndexesChanged();

protected:
    virtual void doInitialSetup();
    bool initialSetupDone() const { return m_initialSetupDone; }
    // Makes the item for one content object; the default shows an empty view.
    virtual SingleRowCollectionViewItem* newItemForRepresentedObject(const QVariant& object);
    // An item was made for the content at `index` after the content was set (a row that makes items in view only).
    virtual void itemMadeInReach(int index, SingleRowCollectionViewItem* item);

    void mousePressEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void relayout();
    SingleRowCollectionViewItem* makeItem(int index);
    // The first and last index in reach; first > last when none is.
    std::pair<int, int> indexesInReach(int marginViews) const;

    QVariantList m_content;
    QList<SingleRowCollectionViewItem*> m_items;
    QList<int> m_selection;
    QSize m_itemSize{160, 120};
    int m_itemSpacing = 0;
    bool m_initialSetupDone = false;
    bool m_inViewOnly = false;
    QPointer<QWidget> m_watchedParent; // its resizes change what is in view
};
