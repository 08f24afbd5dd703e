#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <QList>
#include <QPointer>
#include <QWidget>

#include "controls/DynamicRatioSectionedGridView.h"
#include "platform/NotificationCenter.h"

class QKeyEvent;
class QLabel;
class QScrollArea;
class ZERI_qvdFilePackage;

// The My Documents page: the user's own document packages as a grid of tiles, newest first, after the
// create-new tile, kept in step with the local package list; a refresh asks the service for the user's list.
//
// Tiles are rebuilt only when the sorted list really changed (same packages in the same order keep the same tile
// objects, with their spinners). Main thread only.
//
// The grid is one stop of the keyboard: one tile at a time takes it (at first the create-new tile), marked with a
// ring. The arrows move it from tile to tile (Left and Right in the grid's order, Up and Down within the column,
// Home and End to the ends), Return opens the tile, the context menu key (or Shift+F10) opens a document's menu.
// A rebuilt grid keeps the keyboard on the same document.
class QVRMyTessarinesViewController : public QWidget, public DynamicRatioSectionedGridViewDelegate {
    Q_OBJECT
public:
    static constexpr int kColumns = 4;
    static constexpr double kHorizontalSpacing = 10;
    static constexpr double kVerticalSpacing = 20;
    // Tiles this far outside the visible area are already shown, ready for scrolling.
    static constexpr int kPreparedMargin = 200;
    // Tiles made at once (more than a screenful), and then per turn of the event loop until every package has its
    // tile.
    static constexpr int kFirstTiles = 16;
    static constexpr int kTilesPerTurn = 12;

    explicit QVRMyTessarinesViewController(QWidget* parent = nullptr);
    ~QVRMyTessarinesViewController() override;

    // Asks the service for the user's list (one fetch at a time); the local list is shown at once.
    void update();
    // Rebuilds every tile.
    void redraw();
    bool updateInProgress() const { return m_updateInProgress; }

    // Called when an update ended (the lists window stops its indicator).
    void setOnUpdateFinished(std::function<void()> block) { m_onUpdateFinished = std::move(block); }

    const std::vector<std::shared_ptr<ZERI_qvdFilePackage>>& tessarinePackages() const { return m_packages; }
    // Sorts and shows `packages` (rebuilding the tiles only when the sorted list differs from the one on show).
    void setTessarinePackages(std::vector<std::shared_ptr<ZERI_qvdFilePackage>> packages);
    void packageListChanged();

    // Newest updated first; packages whose time stamp does not read go last, ordered by id.
    static void sortPackages(std::vector<std::shared_ptr<ZERI_qvdFilePackage>>& packages);

    // The create-new tile, then one tile per package in order (a long list gains its tiles over a few turns of
    // the event loop).
    QList<QWidget*> tileViews() const;
    bool allTilesBuilt() const;
    DynamicRatioSectionedGridView* gridView() const { return m_gridView; }
    QScrollArea* scrollArea() const { return m_scrollArea; }
    QLabel* emptyStateLabel() const { return m_blueTextFieldAboveArrow; }
    // The arrow from the empty-state text to the create-new tile, and the picture under the grid.
    QLabel* blueArrow() const { return m_blueArrow; }
    QLabel* bgImageView() const { return m_bgImageView; }
    // The tile that takes the keyboard when Tab comes to the grid.
    QWidget* keyboardTile() const;
    // The width the page needs to show four tiles at their full size.
    static int fullSizeWidth();

    // DynamicRatioSectionedGridViewDelegate
    int gridViewNumColumnsInSection(DynamicRatioSectionedGridView*, int) override { return kColumns; }
    double gridViewHorizontalItemSpacingInSection(DynamicRatioSectionedGridView*, int) override
    {
        return kHorizontalSpacing;
    }
    double gridViewVerticalItemSpacingInSection(DynamicRatioSectionedGridView*, int) override
    {
        return kVerticalSpacing;
    }
    int gridViewNumItemsInSection(DynamicRatioSectionedGridView*, int) override;
    QWidget* gridViewViewForSection(DynamicRatioSectionedGridView*, int, int index) override;
    QSizeF gridViewDesiredSizeForViewInSection(DynamicRatioSectionedGridView*, int, int index) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setupTiles();
    void appendTiles(int count);
    void appendRemainingTilesLater();
    void updateFinished();
    void layOutGrid();
    void updateVisibleTiles();
    void watchTile(QWidget* tile);
    // Makes the tile at `index` the grid's stop of the keyboard (the others leave the Tab order).
    void setKeyboardTile(int index);
    // Moves the keyboard from the tile with it for `key`; false when the key is not one that moves it.
    bool moveKeyboard(QWidget* from, int key);
    bool handleTileKey(QWidget* tile, const QKeyEvent* key);
    // Rings the tile the keyboard is in (itself or one of its buttons).
    void markKeyboardTile();

    QScrollArea* m_scrollArea = nullptr;
    QWidget* m_holderView = nullptr;
    DynamicRatioSectionedGridView* m_gridView = nullptr;
    QLabel* m_blueTextFieldAboveArrow = nullptr;
    QLabel* m_blueArrow = nullptr;
    QLabel* m_bgImageView = nullptr;
    std::vector<std::shared_ptr<ZERI_qvdFilePackage>> m_packages;
    bool m_hasShownList = false;
    QList<QPointer<QWidget>> m_tileViews;
    int m_keyboardTile = 0;
    QPointer<QWidget> m_markedTile;
    int m_tileGeneration = 0;
    bool m_updateInProgress = false;
    std::function<void()> m_onUpdateFinished;
    NotificationObservation m_listGottenObservation;
    NotificationObservation m_packagesChangedObservation;
    QMetaObject::Connection m_focusChangedConnection;
};
