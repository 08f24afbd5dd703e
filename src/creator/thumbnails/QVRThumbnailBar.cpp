#include "creator/thumbnails/QVRThumbnailBar.h"

#include <QApplication>
#include <QClipboard>
#include <QDrag>
#include <QDragMoveEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QUuid>

#include "app/QVRAnalytics.h"
#include "controls/ControlsArtwork.h"
#include "controls/VazScrollViewAnimation.h"
#include "controls/ViewUtils.h"
#include "creator/CreatorLogging.h"
#include "creator/thumbnails/PasteboardFriendlyIndexSet.h"
#include "creator/thumbnails/QVRThumbnailBarHost.h"
#include "creator/thumbnails/QVRThumbnailObject.h"
#include "creator/thumbnails/QVR_ThumbnailHoldingView.h"
#include "foundation/Tessutils.h"
#include "tessarine_data_model/ObjectUpdateNotifier.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "viewer/previews/TessarineBackgroundedScreenPreview.h"

const QString QVRThumbnailBar::kAddScreenImageName = QStringLiteral("flowScreen_add-screen");
const QString QVRThumbnailBar::kObjectPasteboardType = QStringLiteral("com.tessarine.mixedMediaObjectPasteboardType");

namespace {

const QColor kBarBackground(60, 60, 60);
const QSize kItemSize(144, 125);

} // namespace

QVR_ThumbnailCollectionViewItem::QVR_ThumbnailCollectionViewItem(const QVariant& representedObject,
                                                                 QVR_ThumbnailHoldingView* holdingView)
    : SingleRowCollectionViewItem(representedObject, holdingView)
    , m_holdingView(holdingView)
    , m_object(QVRThumbnailBar::thumbnailObjectFrom(representedObject))
{
}

QVR_ThumbnailCollectionViewItem::~QVR_ThumbnailCollectionViewItem()
{
    // The preview belongs to its thumbnail object; the holding view is deleted with the item.
    if (m_object && m_object->singleScreen() && isSelected())
        m_object->singleScreen()->setShownAsCurrent(false);
    if (m_object) {
        m_object->reclaimPreview();
        // Out of sight now, like a preview scrolled away.
        if (TessarineBackgroundedScreenPreview* preview = m_object->singleScreen())
            preview->releasePictureOutOfSight();
    }
}

void QVR_ThumbnailCollectionViewItem::setSelected(bool selected)
{
    SingleRowCollectionViewItem::setSelected(selected);
    if (m_object && m_object->singleScreen())
        m_object->singleScreen()->setShownAsCurrent(selected);
    if (m_holdingView) {
        m_holdingView->setSelected(selected);
        m_holdingView->update();
    }
}

QVRThumbnailBar::QVRThumbnailBar(QWidget* parent)
    : SingleRowCollectionView(parent)
    , m_updateNotifier(std::make_unique<ObjectUpdateNotifier>(static_cast<QObject*>(this)))
    , m_dragToken(QUuid::createUuid().toString(QUuid::WithoutBraces))
{
    m_scrollTimer.setSingleShot(true);
    m_scrollTimer.setInterval(kScrollDelayMilliseconds);
    connect(&m_scrollTimer, &QTimer::timeout, this, &QVRThumbnailBar::scrollToSelectedIndex);
    m_sightTimer.setSingleShot(true);
    m_sightTimer.setInterval(100);
    connect(&m_sightTimer, &QTimer::timeout, this, &QVRThumbnailBar::releasePicturesOutOfSight);
    setItemSize(kItemSize);
    setFocusPolicy(Qt::ClickFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    connect(this, &SingleRowCollectionView::selectionIndexesChanged, this, &QVRThumbnailBar::markCurrentObjects);
    ensureInitialSetup();
}

QVRThumbnailBar::~QVRThumbnailBar()
{
    m_updateNotifier->stopObservingTrackedObject();
}

void QVRThumbnailBar::doInitialSetup()
{
    m_holdingViewFactory = [](const QRect& frame) { return new QVR_ThumbnailHoldingView(frame); };
    m_updateNotifier->startObservingTrackedObject();
    SingleRowCollectionView::doInitialSetup();
    setAcceptDrops(true);
    m_dropIndicator = new QWidget(this);
    m_dropIndicator->setAutoFillBackground(true);
    QPalette palette = m_dropIndicator->palette();
    palette.setColor(QPalette::Window, Tessutils::tessarineBlue());
    m_dropIndicator->setPalette(palette);
    // Its own role: unset, it would take the scroller's (Dark) and fill with grey like the gaps.
    m_dropIndicator->setBackgroundRole(QPalette::Window);
    m_dropIndicator->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_dropIndicator->hide();
}

QVariant QVRThumbnailBar::contentObject(QVRThumbnailObject* object)
{
    return QVariant::fromValue(static_cast<QObject*>(object));
}

QVRThumbnailObject* QVRThumbnailBar::thumbnailObjectFrom(const QVariant& contentObject)
{
    if (contentObject.metaType() != QMetaType::fromType<QObject*>())
        return nullptr;
    return qobject_cast<QVRThumbnailObject*>(contentObject.value<QObject*>());
}

bool QVRThumbnailBar::lastObjectIsAddScreen() const
{
    const QVariantList items = content();
    return !items.isEmpty() && items.last().metaType() == QMetaType::fromType<QString>();
}

int QVRThumbnailBar::screenItemCount() const
{
    return count() - (lastObjectIsAddScreen() ? 1 : 0);
}

void QVRThumbnailBar::setThumbnailHoldingViewClass(HoldingViewFactory factory)
{
    if (factory)
        m_holdingViewFactory = std::move(factory);
}

SingleRowCollectionViewItem* QVRThumbnailBar::newItemForRepresentedObject(const QVariant& object)
{
    const QRect bounds(QPoint(0, 0), itemSize());
    QVR_ThumbnailHoldingView* holdingView = m_holdingViewFactory(bounds);
    if (!holdingView)
        holdingView = new QVR_ThumbnailHoldingView(bounds);
    if (QVRThumbnailObject* thumbnail = thumbnailObjectFrom(object)) {
        holdingView->hostView(thumbnail->previewForHosting());
    } else {
        auto* image = new QLabel;
        image->setAlignment(Qt::AlignCenter);
        const double scale = qApp ? qApp->devicePixelRatio() : 1.0;
        const UNIImage artwork = ControlsArtwork::image(object.toString(), scale);
        if (!artwork.isNull()) {
            QPixmap pixmap = QPixmap::fromImage(artwork.CGImage());
            pixmap.setDevicePixelRatio(scale);
            image->setPixmap(pixmap);
        }
        holdingView->hostView(image);
        auto* button = new QPushButton(holdingView);
        button->setFlat(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setStyleSheet(QStringLiteral("QPushButton { border: none; background: transparent; }"));
        button->setGeometry(holdingView->rect());
        button->raise();
        connect(button, &QPushButton::clicked, this, [this, button] { startNewScreenSelection(button); });
    }
    return new QVR_ThumbnailCollectionViewItem(object, holdingView);
}

void QVRThumbnailBar::setSelectionIndexes(const QList<int>& indexes)
{
    if (indexes.size() == 1 && lastObjectIsAddScreen() && indexes.first() == count() - 1)
        return;
    SingleRowCollectionView::setSelectionIndexes(indexes);
    m_scrollTimer.start();
}

void QVRThumbnailBar::markCurrentObjects()
{
    QList<QPointer<QVRThumbnailObject>> current;
    const QVariantList items = content();
    for (int index : selectionIndexes())
        if (QVRThumbnailObject* object = thumbnailObjectFrom(items.value(index)))
            current.append(object);
    for (const QPointer<QVRThumbnailObject>& object : std::as_const(m_currentObjects))
        if (object && !current.contains(object))
            object->setCurrent(false);
    for (const QPointer<QVRThumbnailObject>& object : std::as_const(current))
        object->setCurrent(true);
    m_currentObjects = current;
}

QScrollArea* QVRThumbnailBar::enclosingScrollArea() const
{
    for (QWidget* widget = parentWidget(); widget; widget = widget->parentWidget())
        if (auto* area = qobject_cast<QScrollArea*>(widget))
            return area;
    return nullptr;
}

void QVRThumbnailBar::scrollToSelectedIndex()
{
    m_scrollTimer.stop();
    const QList<int> selection = selectionIndexes();
    QScrollArea* area = enclosingScrollArea();
    if (selection.isEmpty() || !area)
        return;
    const QRect frame = frameForItemAtIndex(selection.first());
    // The bar is the scroll area's document: its coordinates are the document's.
    VazScrollViewAnimation::animatedScrollPointToCenter(QPointF(frame.center().x() + 0.5, frame.top()), area, false);
}

void QVRThumbnailBar::thumbnailItemsReordered()
{
    for (int i = 0; i < count(); ++i)
        numberItem(i, itemAtIndex(i));
}

void QVRThumbnailBar::numberItem(int index, SingleRowCollectionViewItem* made)
{
    auto* item = qobject_cast<QVR_ThumbnailCollectionViewItem*>(made);
    if (!item || !item->thumbnailHoldingView())
        return;
    QVR_ThumbnailHoldingView* holding = item->thumbnailHoldingView();
    if (item->thumbnailObject())
        holding->screenNumberLabel()->setText(QString::number(index + 1));
    const bool lastBeforeAdd = lastObjectIsAddScreen() && index == screenItemCount() - 1;
    holding->setSeparatorColor(lastBeforeAdd ? QColor(0, 0, 0, 102) : QColor(Qt::transparent));
}

void QVRThumbnailBar::itemMadeInReach(int index, SingleRowCollectionViewItem* item)
{
    numberItem(index, item);
}

QVRThumbnailBarHost* QVRThumbnailBar::creatorWindow() const
{
    return dynamic_cast<QVRThumbnailBarHost*>(window());
}

void QVRThumbnailBar::startNewScreenSelection(QWidget* button)
{
    qCInfo(lcCreator) << "startNewScreenSelection";
    QVRThumbnailBarHost* host = creatorWindow();
    if (!host || !button || !button->parentWidget())
        return;
    QWidget* itemView = button->parentWidget();
    const QRect frame(itemView->mapTo(window(), QPoint(0, 0)), itemView->size());
    host->beginAddNewScreenSelection(frame, kAddScreenPopoverPosition);
}

void QVRThumbnailBar::mousePressEvent(QMouseEvent* event)
{
    // Only the left button selects (and pages the canvas): a right-click opens a screen's menu and keeps both the
    // displayed screen and the canvas's selection.
    if (event->button() != Qt::LeftButton) {
        m_pressIndex = -1;
        event->accept();
        return;
    }
    QVRThumbnailBarHost* host = creatorWindow();
    if (host && !host->showsDarkPanel())
        host->removeAllSelectedViews();
    SingleRowCollectionView::mousePressEvent(event);
    m_pressPosition = event->position().toPoint();
    m_pressIndex = event->button() == Qt::LeftButton ? indexAtPoint(m_pressPosition) : -1;
    event->accept();
}

void QVRThumbnailBar::mouseMoveEvent(QMouseEvent* event)
{
    if (m_pressIndex < 0 || !(event->buttons() & Qt::LeftButton))
        return;
    if ((event->position().toPoint() - m_pressPosition).manhattanLength() < QApplication::startDragDistance())
        return;
    const int index = m_pressIndex;
    m_pressIndex = -1;
    startDrag(index);
}

void QVRThumbnailBar::mouseReleaseEvent(QMouseEvent* event)
{
    m_pressIndex = -1;
    SingleRowCollectionView::mouseReleaseEvent(event);
}

void QVRThumbnailBar::startDrag(int index)
{
    const QList<int> indexes{index};
    if (!canDragItemsAtIndexes(indexes))
        return;
    QMimeData* mime = writeItemsAtIndexes(indexes);
    if (!mime)
        return;
    QPointer<QVRThumbnailBar> self(this);
    auto* drag = new QDrag(this);
    drag->setMimeData(mime);
    const QPixmap pixmap = draggingImageForItemsAtIndexes(indexes);
    if (!pixmap.isNull())
        drag->setPixmap(pixmap);
    drag->exec(Qt::MoveAction | Qt::CopyAction, Qt::MoveAction);
    if (self)
        draggingEnded();
}

bool QVRThumbnailBar::canDragItemsAtIndexes(const QList<int>& indexes) const
{
    if (QVRThumbnailBarHost* host = creatorWindow(); host && host->isAddingContent())
        return false;
    return std::any_of(indexes.begin(), indexes.end(),
                       [this](int index) { return itemAtIndex(index) && thumbnailObjectFrom(content().value(index)); });
}

QPixmap QVRThumbnailBar::draggingImageForItemsAtIndexes(const QList<int>& indexes) const
{
    qCInfo(lcCreator) << "Dragging Image";
    for (int index : indexes) {
        if (QVRThumbnailObject* object = thumbnailObjectFrom(content().value(index))) {
            if (!object->singleScreen())
                return {};
            const UNIImage image = ViewUtils::imageFromView(object->singleScreen());
            return image.isNull() ? QPixmap() : QPixmap::fromImage(image.CGImage());
        }
    }
    return {};
}

QMimeData* QVRThumbnailBar::writeItemsAtIndexes(const QList<int>& indexes)
{
    const PasteboardFriendlyIndexSet set(indexes, m_dragToken);
    if (set.isEmpty())
        return nullptr;
    m_draggingIndexes = set.indexes();
    m_draggedObject = thumbnailObjectFrom(content().value(set.firstIndex()));
    m_scrollTimer.stop();
    auto* mime = new QMimeData;
    set.writeTo(*mime);
    return mime;
}

void QVRThumbnailBar::draggingEnded()
{
    hideIndicator();
    m_draggingIndexes.clear();
    m_draggedObject = nullptr;
}

void QVRThumbnailBar::hideIndicator()
{
    if (m_dropIndicator)
        m_dropIndicator->hide();
}

QVRThumbnailBar::DropTarget QVRThumbnailBar::validateDrop(const QMimeData* mime, const QPointF& position)
{
    DropTarget target;
    const int itemIndex = indexAtPoint(position.toPoint());
    if (!mime)
        return target;
    const bool reorder = mime->hasFormat(PasteboardFriendlyIndexSet::kDraggingType);
    if (!reorder && mime->hasFormat(kObjectPasteboardType)) {
        target.objectDrop = true;
        target.index = itemIndex;
        target.accepted = itemIndex >= 0 && itemIndex < screenItemCount();
        return target;
    }
    // Only this bar's own drag reorders its screens.
    const PasteboardFriendlyIndexSet set = PasteboardFriendlyIndexSet::readFrom(mime);
    if (!reorder || set.token() != m_dragToken || m_draggingIndexes.isEmpty() || itemIndex < 0) {
        hideIndicator();
        return target;
    }
    const QRect frame = frameForItemAtIndex(itemIndex);
    const int newIndex = position.x() < frame.left() + frame.width() / 2.0 ? itemIndex : itemIndex + 1;
    if (newIndex < count() && !m_draggingIndexes.contains(newIndex) && !m_draggingIndexes.contains(newIndex - 1)) {
        target.accepted = true;
        target.index = newIndex;
        m_dropIndicator->raise();
        m_dropIndicator->setGeometry(frameForItemAtIndex(newIndex).left(), 0, kIndicatorWidth, height());
        m_dropIndicator->show();
    } else {
        hideIndicator();
    }
    return target;
}

void QVRThumbnailBar::dragEnterEvent(QDragEnterEvent* event)
{
    const QMimeData* mime = event->mimeData();
    if (mime && (mime->hasFormat(PasteboardFriendlyIndexSet::kDraggingType) || mime->hasFormat(kObjectPasteboardType)))
        event->acceptProposedAction();
    else
        event->ignore();
}

void QVRThumbnailBar::dragMoveEvent(QDragMoveEvent* event)
{
    const DropTarget target = validateDrop(event->mimeData(), event->position());
    if (!target.accepted) {
        event->ignore();
        return;
    }
    event->setDropAction(target.objectDrop ? Qt::CopyAction : Qt::MoveAction);
    event->accept();
}

void QVRThumbnailBar::dragLeaveEvent(QDragLeaveEvent* event)
{
    hideIndicator();
    SingleRowCollectionView::dragLeaveEvent(event);
}

void QVRThumbnailBar::dropEvent(QDropEvent* event)
{
    const DropTarget target = validateDrop(event->mimeData(), event->position());
    hideIndicator();
    bool accepted = false;
    if (target.accepted)
        accepted = target.objectDrop ? acceptObjectDrop(event->mimeData(), target.index) : acceptReorder(target.index);
    if (!target.objectDrop) {
        // The drag is over whether the drop took or not.
        m_draggingIndexes.clear();
        m_draggedObject = nullptr;
    }
    if (accepted) {
        event->setDropAction(target.objectDrop ? Qt::CopyAction : Qt::MoveAction);
        event->accept();
    } else {
        event->ignore();
    }
}

bool QVRThumbnailBar::acceptReorder(int dropIndex)
{
    QVRThumbnailBarHost* host = creatorWindow();
    const auto flow = host ? host->thumbnailBarFlow() : nullptr;
    if (!flow || m_draggingIndexes.isEmpty())
        return false;
    const int from = m_draggingIndexes.first();
    const int screens = int(flow->screenModels().size());
    // The screens may have changed during the drag: the dragged item must still be the dragged screen.
    QVRThumbnailObject* object = thumbnailObjectFrom(content().value(from));
    if (!object || object != m_draggedObject || from >= screens || dropIndex < 0 || dropIndex > screens ||
        flow->screenModels()[std::size_t(from)] != object->screenModel())
        return false;
    const int to = from < dropIndex ? dropIndex - 1 : dropIndex;
    flow->beginUndoableChanges();
    flow->sendFlowScreenAtIndex(from, to);
    flow->endUndoableChanges();
    flow->updateNotifier().sendUpdateNotificationsIfNeeded();
    const auto moved = flow->screenModels()[std::size_t(to)];
    QVRAnalytics::logEvent(QStringLiteral("Rearrange Screens"),
                           {{QStringLiteral("ScreenID"), moved->internalID()},
                            {QStringLiteral("move"), QStringLiteral("From:%1 To:%2").arg(from).arg(to)}},
                           flow->tessarineModel());
    return true;
}

bool QVRThumbnailBar::acceptObjectDrop(const QMimeData* mime, int index)
{
    Q_UNUSED(mime)
    qCInfo(lcCreator) << "Drag came from a drag-and-drop";
    QVRThumbnailBarHost* host = creatorWindow();
    const QMimeData* clipboard = QGuiApplication::clipboard()->mimeData();
    const auto flow = host ? host->thumbnailBarFlow() : nullptr;
    if (!flow || !clipboard || !clipboard->hasFormat(kObjectPasteboardType) || host->isAddingContent())
        return false;
    if (index < 0 || index >= int(flow->screenModels().size()))
        return false;
    const auto screen = flow->screenModels()[std::size_t(index)];
    // The addition brackets its own undo step (cancelled when it fails) and shows its own alerts.
    std::weak_ptr<ZERI_FlowScreenModel> weakScreen = screen;
    host->addObjectsFromClipboardToScreen(screen, [weakScreen] {
        if (const auto target = weakScreen.lock())
            target->updateNotifier().sendUpdateNotificationsIfNeeded();
    });
    return true;
}

void QVRThumbnailBar::keyPressEvent(QKeyEvent* event)
{
    QVRThumbnailBarHost* host = creatorWindow();
    if (host && (host->hasSelectedObjects() || host->hasChildWindows())) {
        // Not for the bar: the window acts on it (the arrows nudge the selected objects). Sent there directly, as
        // the enclosing scroll area would otherwise take the arrows for scrolling.
        event->ignore();
        if (QWidget* top = window(); top && top != this) {
            QKeyEvent copy(event->type(), event->key(), event->modifiers(), event->text(), event->isAutoRepeat(),
                           ushort(event->count()));
            QApplication::sendEvent(top, &copy);
        }
        return;
    }
    if (!stepSelectionWithArrow(event))
        SingleRowCollectionView::keyPressEvent(event);
}

bool QVRThumbnailBar::stepSelectionWithArrow(QKeyEvent* event)
{
    const int screens = screenItemCount();
    const int current = currentIndex();
    if ((event->key() != Qt::Key_Left && event->key() != Qt::Key_Right) || screens <= 0)
        return false;
    int next = event->key() == Qt::Key_Left ? current - 1 : current + 1;
    if (current < 0)
        next = 0;
    if (next >= 0 && next < screens && next != current)
        setSelectionIndexes({next});
    event->accept();
    return true;
}

void QVRThumbnailBar::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), kBarBackground);
}

void QVRThumbnailBar::releasePicturesOutOfSight()
{
    m_sightTimer.stop();
    for (int i = 0; i < count(); ++i) {
        const auto* item = qobject_cast<QVR_ThumbnailCollectionViewItem*>(itemAtIndex(i));
        if (QVRThumbnailObject* object = item ? item->thumbnailObject() : nullptr)
            if (TessarineBackgroundedScreenPreview* preview = object->singleScreen())
                preview->releasePictureOutOfSight();
    }
}

void QVRThumbnailBar::moveEvent(QMoveEvent* event)
{
    SingleRowCollectionView::moveEvent(event);
    m_sightTimer.start();
}

void QVRThumbnailBar::resizeEvent(QResizeEvent* event)
{
    SingleRowCollectionView::resizeEvent(event);
    m_sightTimer.start();
}

void QVRThumbnailBar::showEvent(QShowEvent* event)
{
    SingleRowCollectionView::showEvent(event);
    m_sightTimer.start();
}
