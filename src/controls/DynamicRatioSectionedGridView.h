#pragma once

#include <QList>
#include <QPointer>
#include <QSizeF>
#include <QWidget>

class DynamicRatioSectionedGridView;

// Supplies the grid's sections and item views. Sizes are in points.
class DynamicRatioSectionedGridViewDelegate {
public:
    virtual ~DynamicRatioSectionedGridViewDelegate() = default;
    virtual int gridViewNumSections(DynamicRatioSectionedGridView*) { return 1; }
    virtual int gridViewNumColumnsInSection(DynamicRatioSectionedGridView* gridView, int section) = 0;
    virtual double gridViewHorizontalItemSpacingInSection(DynamicRatioSectionedGridView* gridView, int section) = 0;
    virtual double gridViewVerticalItemSpacingInSection(DynamicRatioSectionedGridView* gridView, int section) = 0;
    virtual int gridViewNumItemsInSection(DynamicRatioSectionedGridView* gridView, int section) = 0;
    virtual QWidget* gridViewViewForSection(DynamicRatioSectionedGridView* gridView, int section, int index) = 0;
    virtual QSizeF gridViewDesiredSizeForViewInSection(DynamicRatioSectionedGridView* gridView, int section,
                                                       int index) = 0;
};

// A grid of item views in columns whose items keep their own aspect ratio.
//
// Layout (reloadViews): sections are stacked top to bottom, the vertical spacing between them. In a section the
// grid's width is shared by its columns (horizontal spacing between them); each item is scaled to the column width
// keeping the ratio of its desired size, and goes into the column that is currently shortest (leftmost on a tie),
// one vertical spacing below the item above it. Items of equal size therefore fill rows left to right. The grid
// keeps its width and takes the height of its content.
//
// Ownership: the grid becomes the Qt parent of every view it shows. A view that the delegate no longer serves at a
// reload is deleted (later); delegates that keep views between reloads hold them through QPointer.
class DynamicRatioSectionedGridView : public QWidget {
    Q_OBJECT
public:
    explicit DynamicRatioSectionedGridView(QWidget* parent = nullptr);

    DynamicRatioSectionedGridViewDelegate* delegate() const { return m_delegate; }
    // Not owned; clear it before the delegate goes.
    void setDelegate(DynamicRatioSectionedGridViewDelegate* delegate) { m_delegate = delegate; }

    // Rebuilds the grid from the delegate.
    void reloadViews();

    // The views on show in grid order (section by section), and where each one was placed.
    QList<QWidget*> itemViews() const;
    QRect frameOfItem(int section, int index) const;

private:
    struct Placed {
        int section;
        int index;
        QPointer<QWidget> view;
        QRect frame;
    };
    DynamicRatioSectionedGridViewDelegate* m_delegate = nullptr;
    QList<Placed> m_items;
};
