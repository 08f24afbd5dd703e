#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <QList>
#include <QPointer>
#include <QWidget>

#include "controls/DynamicRatioSectionedGridView.h"
#include "platform/NotificationCenter.h"

class QLabel;
class QScrollArea;
class ZERI_qvdFilePackage;

// The My Documents page: the user's own document packages as a grid of tiles, newest first, after the
// create-new tile, kept in step with the local package list; a refresh asks the service for the user's list.
//
// Tiles are rebuilt only when the sorted list really changed (same packages in the same order keep the same tile
// objects, with their spinners). Main thread only.
class QVRMyTessarinesViewController : public QWidget, public DynamicRatioSectionedGridViewDelegate {
    Q_OBJECT
public:
    static constexpr int kColumns = 4;
    static constexpr double kHorizontalSpacing = 10;
    static constexpr double kVerticalSpacing = 20;
    // Tiles this far outside the visible area are already shown, ready for scrolling.
    static constexpr int kPreparedMargin = 200;

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

    QList<QWidget*> tileViews() const;
    DynamicRatioSectionedGridView* gridView() const { return m_gridView; }
    QScrollArea* scrollArea() const { return m_scrollArea; }
    QLabel* emptyStateLabel() const { return m_blueTextFieldAboveArrow; }

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

    bool eventFilter(QObject* watched, QEvent* event) override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void setupTiles();
    void updateFinished();
    void layOutGrid();
    void updateVisibleTiles();

    QScrollArea* m_scrollArea = nullptr;
    QWidget* m_holderView = nullptr;
    DynamicRatioSectionedGridView* m_gridView = nullptr;
    QLabel* m_blueTextFieldAboveArrow = nullptr;
    std::vector<std::shared_ptr<ZERI_qvdFilePackage>> m_packages;
    bool m_hasShownList = false;
    QList<QPointer<QWidget>> m_tileViews;
    bool m_updateInProgress = false;
    std::function<void()> m_onUpdateFinished;
    NotificationObservation m_listGottenObservation;
    NotificationObservation m_packagesChangedObservation;
};
