#include "elements/gallery/QVRGalleryEditorCollectionView.h"

#include <algorithm>

#include <QContextMenuEvent>
#include <QDrag>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QStyledItemDelegate>

#include "controls/ViewUtils.h"
#include "elements/gallery/GalleryEditorArrayController.h"
#include "elements/gallery/GalleryLogging.h"
#include "elements/gallery/QVRGalleryEditorCollectionViewObject.h"
#include "strings/UFM.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"

const QString QVRGalleryEditorCollectionView::kDraggingType = QStringLiteral("com.tessarine.qvrGalleryDragging");

namespace {

constexpr int kTileMargin =
    (QVRGalleryEditorCollectionView::kGridSide - GalleryEditorArrayController::kTileImageSide) / 2;
constexpr int kStackOffset = 7;
constexpr int kMostStackedTiles = 8;

// Draws a tile: the picture fitted in the middle, a highlight behind a selected one, a light placeholder while
// the picture is being made.
class TileDelegate : public QStyledItemDelegate {
public:
    explicit TileDelegate(QVRGalleryEditorCollectionView* view)
        : QStyledItemDelegate(view)
    {
    }
    void setArrayController(GalleryEditorArrayController* controller) { m_controller = controller; }

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override
    {
        return {QVRGalleryEditorCollectionView::kGridSide, QVRGalleryEditorCollectionView::kGridSide};
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const QRect cell(option.rect.topLeft(),
                         QSize(QVRGalleryEditorCollectionView::kGridSide, QVRGalleryEditorCollectionView::kGridSide));
        const QRect tile = cell.adjusted(kTileMargin, kTileMargin, -kTileMargin, -kTileMargin);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        if (option.state & QStyle::State_Selected) {
            painter->setPen(Qt::NoPen);
            painter->setBrush(option.palette.color(QPalette::Highlight));
            painter->drawRoundedRect(cell.adjusted(2, 2, -2, -2), 6, 6);
        }
        const QImage picture = m_controller ? m_controller->previewForRow(index.row()) : QImage();
        if (picture.isNull()) {
            painter->setPen(QColor(170, 170, 170));
            painter->setBrush(QColor(225, 225, 225));
            painter->drawRect(tile.adjusted(0, 0, -1, -1));
        } else {
            // Made at the tile's size and pixel density: drawn without scaling.
            painter->drawImage(tile.topLeft(), picture);
        }
        painter->restore();
    }

private:
    QPointer<GalleryEditorArrayController> m_controller;
};

} // namespace

QVRGalleryEditorCollectionView::QVRGalleryEditorCollectionView(QWidget* parent)
    : QListView(parent)
{
    setViewMode(QListView::ListMode);
    setFlow(QListView::LeftToRight);
    setWrapping(true);
    setResizeMode(QListView::Adjust);
    setMovement(QListView::Static);
    setGridSize(QSize(kGridSide, kGridSide));
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionRectVisible(true);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(false);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::CopyAction);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setItemDelegate(new TileDelegate(this));
    setContextMenuPolicy(Qt::DefaultContextMenu);
    QPalette colors = palette();
    colors.setColor(QPalette::Base, QColor::fromRgbF(0.8f, 0.8f, 0.8f));
    setPalette(colors);
    setObjectName(QStringLiteral("galleryEditorGrid"));
}

void QVRGalleryEditorCollectionView::setArrayController(GalleryEditorArrayController* controller)
{
    m_arrayController = controller;
    static_cast<TileDelegate*>(itemDelegate())->setArrayController(controller);
    setModel(controller);
    if (!controller)
        return;
    controller->setDevicePixelRatio(devicePixelRatioF());
    QPointer<QVRGalleryEditorCollectionView> self(this);
    controller->setVisibilityCheck([self](int row) {
        if (!self || !self->model())
            return true;
        return self->visualRect(self->model()->index(row, 0)).intersects(self->viewport()->rect());
    });
}

QList<int> QVRGalleryEditorCollectionView::selectedRows() const
{
    QList<int> rows;
    if (!selectionModel())
        return rows;
    for (const QModelIndex& index : selectionModel()->selectedIndexes())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

bool QVRGalleryEditorCollectionView::deletePressed()
{
    const QList<int> rows = selectedRows();
    if (rows.isEmpty())
        return false;
    if (m_contentDelegate)
        m_contentDelegate->galleryEditorWantsToDeleteObjectsAtIndexes(rows);
    return true;
}

void QVRGalleryEditorCollectionView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Delete) {
        if (deletePressed())
            event->accept();
        else
            event->ignore();
        return;
    }
    QListView::keyPressEvent(event);
}

void QVRGalleryEditorCollectionView::contextMenuEvent(QContextMenuEvent* event)
{
    // The background has no menu of its own, and none of the editor behind it either.
    event->accept();
    const QModelIndex index = indexAt(event->pos());
    if (!index.isValid() || !selectionModel())
        return;
    // A tile outside the selection is what the user means: it becomes the selection.
    if (!selectionModel()->isSelected(index)) {
        selectionModel()->select(index, QItemSelectionModel::ClearAndSelect);
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    }
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction* remove = menu->addAction(UFM::DELETE_TEXT());
    QPointer<QVRGalleryEditorCollectionView> self(this);
    connect(remove, &QAction::triggered, this, [self] {
        if (self)
            self->deletePressed();
    });
    menu->popup(event->globalPos());
}

QMimeData* QVRGalleryEditorCollectionView::createDragData()
{
    auto* mime = new QMimeData;
    mime->setData(kDraggingType, QByteArray());
    m_ownDragData = mime;
    return mime;
}

bool QVRGalleryEditorCollectionView::isOwnDrag(const QMimeData* mime, const QObject* source) const
{
    if (!mime || !mime->hasFormat(kDraggingType))
        return false;
    return source == this || source == viewport() || (m_ownDragData && mime == m_ownDragData.data());
}

QPixmap QVRGalleryEditorCollectionView::dragPixmapForRows(const QList<int>& rows) const
{
    if (rows.isEmpty() || !m_arrayController) {
        qCWarning(lcGallery) << "Error getting images for drag within the gallery editor.";
        return {};
    }
    const int side = GalleryEditorArrayController::kTileImageSide;
    const int shown = int(std::min<qsizetype>(rows.size(), kMostStackedTiles));
    const qreal ratio = devicePixelRatioF();
    const int extent = side + (shown > 1 ? kStackOffset * shown : 0);
    QPixmap pixmap(QSize(extent, extent) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    // Each tile goes behind the ones before it.
    for (int i = shown - 1; i >= 0; --i) {
        const auto entry = m_arrayController->objectAt(rows[i]);
        const QRect at(kStackOffset * (shown > 1 ? i : 0), kStackOffset * (shown > 1 ? i : 0), side, side);
        const QImage picture = entry ? entry->previewImage() : QImage();
        if (picture.isNull())
            painter.fillRect(at, QColor(225, 225, 225));
        else
            painter.drawImage(at, picture);
    }
    return pixmap;
}

void QVRGalleryEditorCollectionView::startDrag(Qt::DropActions)
{
    const QList<int> rows = selectedRows();
    if (rows.isEmpty())
        return;
    auto* drag = new QDrag(this);
    drag->setMimeData(createDragData());
    const QPixmap pixmap = dragPixmapForRows(rows);
    if (!pixmap.isNull()) {
        drag->setPixmap(pixmap);
        drag->setHotSpot(
            QPoint(GalleryEditorArrayController::kTileImageSide / 2, GalleryEditorArrayController::kTileImageSide / 2));
    }
    drag->exec(Qt::MoveAction, Qt::MoveAction);
    setDropMarker(-1);
}

bool QVRGalleryEditorCollectionView::acceptsData(const QMimeData* mime) const
{
    // Picture data alone is not taken: only files, the application's elements and the grid's own tiles.
    return mime && (mime->hasFormat(kDraggingType) || mime->hasFormat(ZERI_MixedMediaObject::kPasteboardType) ||
                    mime->hasUrls());
}

void QVRGalleryEditorCollectionView::dragEnterEvent(QDragEnterEvent* event)
{
    if (!acceptsData(event->mimeData())) {
        event->ignore();
        return;
    }
    event->setDropAction(isOwnDrag(event->mimeData(), event->source()) ? Qt::MoveAction : Qt::CopyAction);
    event->accept();
}

void QVRGalleryEditorCollectionView::dragMoveEvent(QDragMoveEvent* event)
{
    // The base view scrolls near the edges; the answer is ours.
    QAbstractItemView::dragMoveEvent(event);
    if (!acceptsData(event->mimeData())) {
        event->ignore();
        setDropMarker(-1);
        return;
    }
    event->setDropAction(isOwnDrag(event->mimeData(), event->source()) ? Qt::MoveAction : Qt::CopyAction);
    event->accept();
    setDropMarker(dropIndexForPosition(event->position().toPoint()));
}

void QVRGalleryEditorCollectionView::dragLeaveEvent(QDragLeaveEvent* event)
{
    QAbstractItemView::dragLeaveEvent(event);
    setDropMarker(-1);
}

void QVRGalleryEditorCollectionView::dropEvent(QDropEvent* event)
{
    setDropMarker(-1);
    const QMimeData* mime = event->mimeData();
    if (!acceptsData(mime)) {
        event->ignore();
        return;
    }
    const bool move = isOwnDrag(mime, event->source());
    const int index = dropIndexForPosition(event->position().toPoint());
    event->setDropAction(move ? Qt::MoveAction : Qt::CopyAction);
    event->accept();
    if (!move) {
        // A drag from outside the application has no source.
        const QObject* source = event->source();
        QString described = QStringLiteral("(null)");
        if (source)
            described =
                QStringLiteral("<%1: %2>").arg(QLatin1String(source->metaObject()->className()), source->objectName());
        qCInfo(lcGallery).noquote() << QStringLiteral("[draggingInfo draggingSource]: %1").arg(described);
    }
    if (m_contentDelegate)
        m_contentDelegate->galleryEditorCollectionViewAcceptDrop(mime, index, move);
}

int QVRGalleryEditorCollectionView::dropIndexForPosition(const QPoint& position) const
{
    const int count = model() ? model()->rowCount() : 0;
    if (count == 0)
        return 0;
    const QModelIndex index = indexAt(position);
    if (index.isValid()) {
        const QRect rect = visualRect(index);
        return position.x() < rect.center().x() ? index.row() : index.row() + 1;
    }
    const QRect last = visualRect(model()->index(count - 1, 0));
    if (position.y() >= last.bottom() || (position.y() >= last.top() && position.x() >= last.right()))
        return count;
    // Beside a row's last tile (the space at the right edge): after that tile; above the first row: the start.
    for (int x = position.x() - kGridSide / 2; x >= 0; x -= kGridSide / 2) {
        const QModelIndex left = indexAt(QPoint(x, position.y()));
        if (left.isValid())
            return left.row() + 1;
    }
    return 0;
}

void QVRGalleryEditorCollectionView::setDropMarker(int index)
{
    if (index == m_dropMarker)
        return;
    m_dropMarker = index;
    viewport()->update();
}

void QVRGalleryEditorCollectionView::paintEvent(QPaintEvent* event)
{
    QListView::paintEvent(event);
    if (m_dropMarker < 0 || !model())
        return;
    const int count = model()->rowCount();
    QRect anchor;
    int x = 0;
    if (count == 0) {
        anchor = QRect(0, 0, kGridSide, kGridSide);
        x = kTileMargin / 2;
    } else if (m_dropMarker < count) {
        anchor = visualRect(model()->index(m_dropMarker, 0));
        x = anchor.left() + 1;
    } else {
        anchor = visualRect(model()->index(count - 1, 0));
        x = anchor.right() - 1;
    }
    QPainter painter(viewport());
    painter.setPen(QPen(palette().color(QPalette::Highlight), 3));
    painter.drawLine(QPoint(x, anchor.top() + kTileMargin), QPoint(x, anchor.bottom() - kTileMargin));
}
