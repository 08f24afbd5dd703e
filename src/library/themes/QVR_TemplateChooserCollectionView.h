#pragma once

#include <QList>
#include <QPointer>
#include <QScrollArea>

class QVR_TemplateCollectionViewObject;

// The chooser's grid: tiles in two rows, filled column after column, each tile with a 6-point margin. It has no
// scroll bars and ignores the wheel: it moves only through the chooser's paging buttons.
class QVR_TemplateChooserCollectionView : public QScrollArea {
    Q_OBJECT
public:
    static constexpr int kMargin = 6;
    static constexpr int kRows = 2;

    explicit QVR_TemplateChooserCollectionView(QWidget* parent = nullptr);

    // Lays out these tiles (their cell views are taken into the grid).
    void setTiles(const QList<QVR_TemplateCollectionViewObject*>& tiles);
    const QList<QPointer<QVR_TemplateCollectionViewObject>>& tiles() const { return m_tiles; }
    // The frame of the item at `index`, in the grid's content coordinates.
    static QRect itemFrame(int index);
    // Drops the hover state of every tile (after a scroll moved them under a still pointer).
    void deselectAllCollectionViewObjects();
    // Marks the selected item with the brand colour (-1: none): the tile with the keyboard.
    void setSelectionIndex(int index);
    int selectionIndex() const { return m_selection; }
    // Gives the first tile the keyboard where no control of the window has it (as the window opens, or after the
    // tile that had it was laid out again): Return there chooses.
    void focusFirstTileUnlessTaken();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    // Where an arrow key moves the keyboard from the tile at `index` of `count`, in the grid's two rows filled
    // column after column: Up and Down within the column, Left and Right to the neighbouring column (the last tile
    // of a shorter last column); the same index at an edge.
    static int indexAfterArrow(int index, int key, int count);
    bool moveKeyboardFrom(QObject* cell, int key);

    QWidget* m_content = nullptr;
    QList<QPointer<QVR_TemplateCollectionViewObject>> m_tiles;
    QList<QPointer<QWidget>> m_items;
    int m_selection = -1;
};
