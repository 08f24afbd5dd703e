#include "library/themes/QVR_TemplateChooserCollectionView.h"

#include <QKeyEvent>
#include <QPointer>
#include <QWheelEvent>

#include "controls/HoverAreaView.h"
#include "foundation/Tessutils.h"
#include "library/themes/QVR_TemplateCollectionViewObject.h"

QVR_TemplateChooserCollectionView::QVR_TemplateChooserCollectionView(QWidget* parent)
    : QScrollArea(parent)
{
    setObjectName(QStringLiteral("templateGrid"));
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The grid pages with its buttons, not by scrolling: the keyboard stops on the tiles, not on the grid.
    setFocusPolicy(Qt::NoFocus);
    setWidgetResizable(false);
    m_content = new QWidget;
    m_content->setObjectName(QStringLiteral("templateGridContent"));
    setWidget(m_content);
    setStyleSheet(QStringLiteral("background: transparent;"));
}

QRect QVR_TemplateChooserCollectionView::itemFrame(int index)
{
    const int width = QVR_TemplateCollectionViewObject::kCellWidth + 2 * kMargin;
    const int height = QVR_TemplateCollectionViewObject::kCellHeight + 2 * kMargin;
    return QRect((index / kRows) * width, (index % kRows) * height, width, height);
}

void QVR_TemplateChooserCollectionView::setTiles(const QList<QVR_TemplateCollectionViewObject*>& tiles)
{
    // A tile that has the keyboard keeps it through the new layout (taking the cells out would move it on).
    QWidget* focused = window()->focusWidget();
    QPointer<QWidget> focusedCell = focused && m_content->isAncestorOf(focused) ? focused : nullptr;
    QString focusedTemplate;
    for (const auto& tile : m_tiles)
        if (focusedCell && tile && tile->cellView() == focusedCell)
            focusedTemplate = tile->templateId();
    for (const auto& item : m_items)
        if (item) {
            // Cell views belong to their tiles: take them out before the item goes.
            for (auto* child : item->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
                child->setParent(nullptr);
            delete item.data();
        }
    m_items.clear();
    m_tiles.clear();
    m_selection = -1;
    int index = 0;
    for (auto* tile : tiles) {
        auto* item = new QWidget(m_content);
        item->setObjectName(QStringLiteral("templateItem"));
        item->setAttribute(Qt::WA_StyledBackground);
        item->setGeometry(itemFrame(index));
        if (QWidget* cell = tile->cellView()) {
            cell->setParent(item);
            cell->move(kMargin, kMargin);
            cell->show();
            cell->installEventFilter(this);
        }
        item->show();
        m_items.append(item);
        m_tiles.append(tile);
        ++index;
    }
    const int columns = (static_cast<int>(tiles.size()) + kRows - 1) / kRows;
    m_content->resize(columns * itemFrame(0).width(), kRows * itemFrame(0).height());
    // A new tile of the same template takes the keyboard of the tile it replaces.
    for (const auto& tile : m_tiles)
        if (focusedCell && !m_content->isAncestorOf(focusedCell) && !focusedTemplate.isEmpty() && tile &&
            tile->templateId() == focusedTemplate && tile->cellView())
            focusedCell = tile->cellView();
    if (focusedCell && m_content->isAncestorOf(focusedCell))
        focusedCell->setFocus(Qt::OtherFocusReason);
    else if (focusedCell && !m_tiles.isEmpty() && m_tiles.first() && m_tiles.first()->cellView())
        m_tiles.first()->cellView()->setFocus(Qt::OtherFocusReason);
    else
        focusFirstTileUnlessTaken();
}

void QVR_TemplateChooserCollectionView::focusFirstTileUnlessTaken()
{
    const QWidget* focused = window()->focusWidget();
    if (!m_tiles.isEmpty() && m_tiles.first() && m_tiles.first()->cellView() &&
        (!focused || focused == window() || focused == this || !focused->isVisible()))
        m_tiles.first()->cellView()->setFocus(Qt::OtherFocusReason);
}

void QVR_TemplateChooserCollectionView::deselectAllCollectionViewObjects()
{
    for (const auto& tile : m_tiles)
        if (tile && tile->hoverView())
            tile->hoverView()->updateTrackingAreas();
}

void QVR_TemplateChooserCollectionView::setSelectionIndex(int index)
{
    m_selection = index;
    for (int i = 0; i < m_items.size(); ++i) {
        if (!m_items[i])
            continue;
        m_items[i]->setStyleSheet(
            i == index ? QStringLiteral("#templateItem { background: %1; }").arg(Tessutils::tessarineBlue().name())
                       : QStringLiteral("#templateItem { background: transparent; }"));
    }
}

int QVR_TemplateChooserCollectionView::indexAfterArrow(int index, int key, int count)
{
    int next = index;
    switch (key) {
    case Qt::Key_Up:
        next = index % kRows == 0 ? index : index - 1;
        break;
    case Qt::Key_Down:
        next = index % kRows == kRows - 1 ? index : index + 1;
        break;
    case Qt::Key_Left:
        next = index - kRows;
        break;
    case Qt::Key_Right:
        if (index + kRows < count)
            next = index + kRows;
        else if ((index / kRows + 1) * kRows < count) // into a shorter last column: its last tile
            next = count - 1;
        break;
    default:
        break;
    }
    return next >= 0 && next < count ? next : index;
}

bool QVR_TemplateChooserCollectionView::moveKeyboardFrom(QObject* cell, int key)
{
    int index = -1;
    for (int i = 0; i < m_tiles.size(); ++i)
        if (m_tiles[i] && m_tiles[i]->cellView() == cell)
            index = i;
    if (index < 0)
        return false;
    const int next = indexAfterArrow(index, key, static_cast<int>(m_tiles.size()));
    if (next != index && m_tiles[next] && m_tiles[next]->cellView() && m_items.value(next)) {
        // The grid moves a whole column into view, as its paging does.
        ensureWidgetVisible(m_items[next], 0, 0);
        m_tiles[next]->cellView()->setFocus(Qt::TabFocusReason);
    }
    return true;
}

bool QVR_TemplateChooserCollectionView::eventFilter(QObject* watched, QEvent* event)
{
    // The arrows move the keyboard between the tiles as they lie in the grid.
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool arrow = key->key() == Qt::Key_Left || key->key() == Qt::Key_Right || key->key() == Qt::Key_Up ||
                           key->key() == Qt::Key_Down;
        if (arrow && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier &&
            moveKeyboardFrom(watched, key->key()))
            return true;
    }
    // The tile with the keyboard is marked as the selected one.
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) {
        for (int i = 0; i < m_tiles.size(); ++i) {
            if (m_tiles[i] && m_tiles[i]->cellView() == watched) {
                if (event->type() == QEvent::FocusIn)
                    setSelectionIndex(i);
                else if (m_selection == i)
                    setSelectionIndex(-1);
                break;
            }
        }
    }
    return QScrollArea::eventFilter(watched, event);
}

void QVR_TemplateChooserCollectionView::wheelEvent(QWheelEvent* event)
{
    event->accept();
}
