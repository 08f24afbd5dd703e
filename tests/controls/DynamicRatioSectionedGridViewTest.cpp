#include <gtest/gtest.h>

#include <vector>

#include <QPointer>
#include <QTest>

#include "controls/DynamicRatioSectionedGridView.h"

namespace {

class GridSource : public DynamicRatioSectionedGridViewDelegate {
public:
    std::vector<std::vector<QSizeF>> sizes; // per section
    std::vector<std::vector<QPointer<QWidget>>> views;
    int columns = 4;
    double hSpacing = 10;
    double vSpacing = 20;

    void make(std::vector<std::vector<QSizeF>> s)
    {
        sizes = std::move(s);
        views.clear();
        for (const auto& section : sizes) {
            views.emplace_back();
            for (size_t i = 0; i < section.size(); ++i)
                views.back().push_back(new QWidget);
        }
    }
    int gridViewNumSections(DynamicRatioSectionedGridView*) override { return int(sizes.size()); }
    int gridViewNumColumnsInSection(DynamicRatioSectionedGridView*, int) override { return columns; }
    double gridViewHorizontalItemSpacingInSection(DynamicRatioSectionedGridView*, int) override { return hSpacing; }
    double gridViewVerticalItemSpacingInSection(DynamicRatioSectionedGridView*, int) override { return vSpacing; }
    int gridViewNumItemsInSection(DynamicRatioSectionedGridView*, int s) override
    {
        return int(sizes[size_t(s)].size());
    }
    QWidget* gridViewViewForSection(DynamicRatioSectionedGridView*, int s, int i) override
    {
        return views[size_t(s)][size_t(i)];
    }
    QSizeF gridViewDesiredSizeForViewInSection(DynamicRatioSectionedGridView*, int s, int i) override
    {
        return sizes[size_t(s)][size_t(i)];
    }
};

} // namespace

TEST(DynamicRatioSectionedGridView, EqualTilesFillRowsAndTheGridTakesItsContentHeight)
{
    GridSource source;
    source.make({std::vector<QSizeF>(6, QSizeF(235, 200))});
    DynamicRatioSectionedGridView grid;
    grid.resize(970, 10); // 4 columns of 235 with 3 gaps of 10
    grid.setDelegate(&source);
    grid.reloadViews();

    EXPECT_EQ(grid.frameOfItem(0, 0), QRect(0, 0, 235, 200));
    EXPECT_EQ(grid.frameOfItem(0, 3), QRect(735, 0, 235, 200));
    EXPECT_EQ(grid.frameOfItem(0, 4), QRect(0, 220, 235, 200)); // next row, 20 below
    EXPECT_EQ(grid.frameOfItem(0, 5), QRect(245, 220, 235, 200));
    EXPECT_EQ(grid.height(), 420);
    EXPECT_EQ(grid.width(), 970);
    EXPECT_EQ(grid.itemViews().size(), 6);
    EXPECT_EQ(source.views[0][0]->parentWidget(), &grid);
}

TEST(DynamicRatioSectionedGridView, ItemsKeepTheirRatioGoIntoTheShortestColumnAndSectionsStack)
{
    GridSource source;
    source.columns = 2;
    source.make({{QSizeF(100, 200), QSizeF(100, 50), QSizeF(100, 100)}, {QSizeF(10, 10)}});
    DynamicRatioSectionedGridView grid;
    grid.resize(210, 10); // columns of 100
    grid.setDelegate(&source);
    grid.reloadViews();

    EXPECT_EQ(grid.frameOfItem(0, 0), QRect(0, 0, 100, 200));
    EXPECT_EQ(grid.frameOfItem(0, 1), QRect(110, 0, 100, 50));
    EXPECT_EQ(grid.frameOfItem(0, 2), QRect(110, 70, 100, 100)); // right column is the shorter one
    // Second section starts one vertical spacing below the tallest column of the first.
    EXPECT_EQ(grid.frameOfItem(1, 0), QRect(0, 220, 100, 100));
    EXPECT_EQ(grid.height(), 320);
}

TEST(DynamicRatioSectionedGridView, ViewsNoLongerServedAreReleasedAndBadInputIsHarmless)
{
    GridSource source;
    source.make({std::vector<QSizeF>(3, QSizeF(0, 0))}); // degenerate sizes: square items
    DynamicRatioSectionedGridView grid;
    grid.resize(430, 10);
    grid.setDelegate(&source);
    grid.reloadViews();
    EXPECT_EQ(grid.frameOfItem(0, 0).size(), QSize(100, 100));

    QPointer<QWidget> dropped = source.views[0][2];
    source.sizes[0].pop_back();
    source.views[0].pop_back();
    grid.reloadViews();
    EXPECT_EQ(grid.itemViews().size(), 2);
    EXPECT_TRUE(QTest::qWaitFor([&] { return dropped.isNull(); }, 2000));

    source.columns = 0; // treated as one column
    grid.reloadViews();
    EXPECT_EQ(grid.frameOfItem(0, 1).width(), 430);
    grid.setDelegate(nullptr);
    grid.reloadViews();
    EXPECT_EQ(grid.height(), 0);
}
