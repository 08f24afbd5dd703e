// The interaction handler's edit commands on the selection: copy, cut, delete, the four stacking-order moves and
// dragging elements out of the canvas.
#include <algorithm>

#include <QDrag>
#include <QGraphicsItem>
#include <QGuiApplication>
#include <QJsonArray>
#include <QMimeData>
#include <QPainter>
#include <QPixmap>
#include <QStyleOptionGraphicsItem>
#include <QTimer>

#include "creator/canvas/QVR_ArtBoardScrollView.h"
#include "creator/canvas/QVR_CreatorSingleScreen.h"
#include "creator/canvas/QVR_MixedMediaElementContainingView.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/interaction/QVR_InteractableViewHandler.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "creator/interaction/QVR_MouseMonitor.h"
#include "platform/Json.h"
#include "platform/MainThread.h"
#include "platform/WorkerThreads.h"
#include "storage/ContentAssetStorage.h"
#include "storage/MixedMediaObjectStorage.h"
#include "elements/views/QVR_AttributedTextMixedMediaElementView.h"
#include "strings/UFM.h"
#include "tessarine_data_model/UndoableAction.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"

using Proxy = std::shared_ptr<ZERI_MixedMediaObjectProxy>;

std::vector<Proxy> QVR_InteractableViewHandler::selectedObjectsOfScreen() const
{
    std::vector<Proxy> objects;
    QVR_CreatorSingleScreen* screenView = mainInteractableView();
    const auto screen = screenView ? screenView->flowScreenModel() : nullptr;
    if (!screen)
        return objects;
    for (auto* container : currentlySelectedArray()) {
        auto object = container->mixedMediaObject();
        // Objects another screen holds (or none) are left alone.
        if (object && screen->indexOfMixedMediaObject(object) >= 0)
            objects.push_back(std::move(object));
    }
    return objects;
}

void QVR_InteractableViewHandler::changeScreen(const QString& actionName,
                                               const std::function<void(ZERI_FlowScreenModel&)>& edit)
{
    QVR_CreatorSingleScreen* screenView = mainInteractableView();
    const auto screen = screenView ? screenView->flowScreenModel() : nullptr;
    const auto flow = screen ? screen->nearestParentItemOfClass<ZERI_FlowModel>() : nullptr;
    if (!flow)
        return;
    flow->beginUndoableChangesPagingToScreen(screen);
    if (const auto action = flow->currentUndoableAction())
        action->setActionDescription(actionName);
    edit(*screen);
    flow->endUndoableChanges();
    flow->updateNotifier().sendUpdateNotificationsIfNeeded();
}

namespace {
// Only the latest copy writes the clipboard: an earlier one still linking files is outrun.
quint64 g_latestCopy = 0;
} // namespace

void QVR_InteractableViewHandler::copySelection(const std::vector<Proxy>& objects)
{
    if (commandsBlocked() || objects.empty())
        return;
    const quint64 copyNumber = ++g_latestCopy;
    QPointer<QVR_InteractableViewHandler> self(this);
    // The previous copies' files go on the worker, after the new ones are linked.
    MixedMediaObjectStorage::getCopiesForTempDirectory(
        objects,
        [self, copyNumber](auto copies) {
            if (copyNumber != g_latestCopy)
                return;
            ZERI_MixedMediaObject::pasteboardCopyObjects(copies);
            if (self)
                emit self->copyWritten();
        },
        true);
}

namespace {
void startQDrag(QWidget* source, QMimeData* data, const QPixmap& picture, const QPoint& hotSpot)
{
    if (!source) {
        delete data;
        return;
    }
    auto* drag = new QDrag(source);
    drag->setMimeData(data);
    if (!picture.isNull()) {
        drag->setPixmap(picture);
        drag->setHotSpot(hotSpot);
    }
    drag->exec(Qt::CopyAction);
}

QVR_InteractableViewHandler::DragStarter& dragStarter()
{
    static QVR_InteractableViewHandler::DragStarter starter = startQDrag;
    return starter;
}

// The drag's pixmap in device pixels for `picture`, to be shown at `pixelRatio`. Any thread.
QImage dragImageFor(const QImage& picture, const QSizeF& frame, qreal pixelRatio)
{
    if (picture.isNull())
        return {};
    const QSizeF points = QVR_InteractableViewHandler::dragPictureSize(picture.size(), frame);
    const QSize pixels = (points * pixelRatio).toSize().expandedTo(QSize(1, 1));
    return picture.size() == pixels ? picture : picture.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// An item and its visible children drawn by their own paint into `painter`, whose transform `base` maps the
// item's coordinates.
void paintItemTree(QPainter& painter, QGraphicsItem* item, const QTransform& base, qreal opacity)
{
    if (!item->isVisible())
        return;
    const qreal itemOpacity = opacity * item->opacity();
    const QList<QGraphicsItem*> children = item->childItems(); // in stacking order
    const auto behind = [item](const QGraphicsItem* child) {
        return child->zValue() < 0 || (child->flags() & QGraphicsItem::ItemStacksBehindParent);
    };
    for (QGraphicsItem* child : children)
        if (behind(child))
            paintItemTree(painter, child, child->itemTransform(item) * base, itemOpacity);
    painter.setWorldTransform(base);
    painter.setOpacity(itemOpacity);
    QStyleOptionGraphicsItem option;
    option.exposedRect = item->boundingRect();
    item->paint(&painter, &option, nullptr);
    for (QGraphicsItem* child : children)
        if (!behind(child))
            paintItemTree(painter, child, child->itemTransform(item) * base, itemOpacity);
}

// The element as its views draw it, unrotated, one pixel per point of its frame (the container itself is
// aligned to the board's device pixels, so its size may differ slightly).
QImage paintedElement(QVR_MixedMediaElementContainingView* container, const QSizeF& frame)
{
    const QRectF bounds = container ? container->boundingRect() : QRectF();
    if (bounds.isEmpty() || frame.isEmpty())
        return {};
    QImage image(frame.toSize().expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QTransform base = QTransform::fromTranslate(-bounds.left(), -bounds.top()) *
                            QTransform::fromScale(image.width() / bounds.width(), image.height() / bounds.height());
    paintItemTree(painter, container, base, 1.0);
    return image;
}
} // namespace

void QVR_InteractableViewHandler::setDragStarter(DragStarter starter)
{
    dragStarter() = starter ? std::move(starter) : DragStarter(startQDrag);
}

QSizeF QVR_InteractableViewHandler::dragPictureSize(const QSize& pixels, const QSizeF& frame)
{
    const int larger = std::max(pixels.width(), pixels.height());
    if (larger <= 0)
        return {};
    if (larger <= kDragPictureMaximum)
        return QSizeF(pixels);
    return frame * (double(kDragPictureMaximum) / larger);
}

void QVR_InteractableViewHandler::checkDragOut(const QPointF& scenePoint)
{
    QVR_ArtBoardScrollView* view = m_board ? m_board->theScrollView() : nullptr;
    // Only out of a creator window's canvas (which the board fills, scroll bars included).
    if (!view || !qobject_cast<QVR_CreatorWindow*>(m_board->window()))
        return;
    const QPoint onBoard = view->viewport()->mapTo(m_board, view->mapFromScene(scenePoint));
    if (m_board->rect().contains(onBoard)) {
        if (m_dragOutTimer)
            m_dragOutTimer->stop();
        return;
    }
    if (!m_dragOutTimer) {
        m_dragOutTimer = new QTimer(this);
        m_dragOutTimer->setSingleShot(true);
        connect(m_dragOutTimer, &QTimer::timeout, this, &QVR_InteractableViewHandler::beginDragOut);
    }
    m_dragOutTimer->start(kDragOutDelayMs);
}

std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>>
QVR_InteractableViewHandler::dragOutObjects(QVR_MixedMediaElementContainingView** first) const
{
    QVR_CreatorSingleScreen* screenView = mainInteractableView();
    const auto screen = screenView ? screenView->flowScreenModel() : nullptr;
    std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>> objects;
    if (!screen)
        return objects;
    // A move drags what it moves; a band what it has selected.
    std::vector<QVR_MixedMediaElementContainingView*> containers;
    if (m_dragKind == DragKind::Translate) {
        for (const auto& handler : m_translateHandlers)
            containers.push_back(handler.container());
    } else {
        containers = currentlySelectedArray();
    }
    for (auto* container : containers) {
        auto object = container ? container->mixedMediaObject() : nullptr;
        if (!object || !object->object() || screen->indexOfMixedMediaObject(object) < 0)
            continue;
        if (!*first)
            *first = container;
        objects.push_back(std::move(object));
    }
    return objects;
}

void QVR_InteractableViewHandler::beginDragOut()
{
    // Only a move or band still under way on this screen is dragged out.
    QVR_ArtBoardScrollView* view = m_board ? m_board->theScrollView() : nullptr;
    if ((m_dragKind != DragKind::Translate && m_dragKind != DragKind::RubberBand) || !view || !m_monitor ||
        !m_monitor->isCurrentlyDragging())
        return;
    auto request = std::make_unique<PendingDragOut>();
    QVR_MixedMediaElementContainingView* first = nullptr;
    request->objects = dragOutObjects(&first);
    // With nothing to drag out (a band that selected nothing) the gesture goes on.
    if (request->objects.empty() || !first)
        return;
    request->first = first;
    request->frameSize = (*request->objects.front())->frame().size();
    // The gesture ends here: a move puts its elements back and leaves no undo step, a band ends. Later events
    // of this press do nothing; its release only updates the hover.
    const DragKind kind = m_dragKind;
    m_dragKind = DragKind::None;
    if (kind == DragKind::Translate)
        endTranslating(false, true);
    else
        band()->endTranslation();
    m_monitor->cancelDragging();
    deselectAll();
    stopDisplayingCoordinates();

    const quint64 number = ++m_dragOutNumber;
    request->number = number;
    request->pixelRatio = view->viewport()->devicePixelRatioF();
    const auto cropped = (*request->objects.front())->croppedImageAsset();
    m_dragOut = std::move(request);
    PendingDragOut& pending = *m_dragOut;

    // The copies, their files linked on a worker. The clipboard's present files stay: the drag may yet be
    // abandoned, and the next copy command clears them.
    pending.copyNumber = ++g_latestCopy;
    QPointer<QVR_InteractableViewHandler> self(this);
    MixedMediaObjectStorage::getCopiesForTempDirectory(
        pending.objects,
        [self, number](auto copies) {
            if (!self || !self->m_dragOut || self->m_dragOut->number != number)
                return;
            self->m_dragOut->copies = std::move(copies);
            self->continueDragOut();
        },
        false);

    // The picture: the cropped picture read on a worker, else (below, on its arrival) the element painted.
    if (cropped) {
        const QSizeF frame = pending.frameSize;
        const qreal ratio = pending.pixelRatio;
        WorkerThreads::shared().post([self, number, cropped, frame, ratio]() mutable {
            QImage picture = ContentAssetStorage::getImage(cropped);
            QImage dragImage = dragImageFor(picture, frame, ratio);
            // The asset goes back to the main thread with the result: the model's objects are released there.
            MainThread::run(
                [self, number, picture = std::move(picture), dragImage = std::move(dragImage),
                 cropped = std::move(cropped)] {
                    if (self)
                        self->dragOutPictureLoaded(number, picture, dragImage);
                },
                false);
        });
    } else {
        MainThread::run(
            [self, number] {
                if (self)
                    self->dragOutPictureLoaded(number, QImage(), QImage());
            },
            false);
    }
    emit dragOutStarted();
}

void QVR_InteractableViewHandler::dragOutPictureLoaded(quint64 number, const QImage& picture, const QImage& dragImage)
{
    if (!m_dragOut || m_dragOut->number != number)
        return;
    PendingDragOut& pending = *m_dragOut;
    pending.pictureReady = true;
    pending.picture = picture;
    pending.dragImage = dragImage;
    if (pending.picture.isNull()) {
        // No cropped picture (or an unreadable one): the element as drawn.
        pending.picture = paintedElement(pending.first, pending.frameSize);
        pending.dragImage = dragImageFor(pending.picture, pending.frameSize, pending.pixelRatio);
    }
    continueDragOut();
}

void QVR_InteractableViewHandler::continueDragOut()
{
    if (!m_dragOut || !m_dragOut->pictureReady || !m_dragOut->copies)
        return;
    const std::unique_ptr<PendingDragOut> pending = std::move(m_dragOut);
    // A moved object that left the screen meanwhile (an undo, another window) abandons the drag.
    QVR_ArtBoardScrollView* view = m_board ? m_board->theScrollView() : nullptr;
    QVR_CreatorSingleScreen* screenView = mainInteractableView();
    const auto screen = screenView ? screenView->flowScreenModel() : nullptr;
    if (!view || !screen || !m_monitor || !m_monitor->isHoldingCancelledDrag())
        return;
    for (const auto& object : pending->objects)
        if (screen->indexOfMixedMediaObject(object) < 0)
            return;
    const auto& copies = *pending->copies;
    QJsonArray entries;
    for (const auto& object : copies)
        if (object && object->object())
            entries.append((*object)->jsonDictionary());
    if (entries.isEmpty())
        return;
    // A copy command given meanwhile keeps the clipboard.
    if (pending->copyNumber == g_latestCopy)
        ZERI_MixedMediaObject::pasteboardCopyObjects(copies);

    // Other programs cannot read the own type: they get the picture.
    auto* data = new QMimeData;
    data->setData(ZERI_MixedMediaObject::kPasteboardType, Json::write(entries));
    if (!pending->picture.isNull())
        data->setImageData(pending->picture);
    QPixmap pixmap = QPixmap::fromImage(pending->dragImage);
    QPoint hotSpot;
    if (!pixmap.isNull()) {
        pixmap.setDevicePixelRatio(pending->pixelRatio);
        // The picture rises from the pointer: its bottom-left corner is there.
        hotSpot = QPoint(0, qRound(pixmap.deviceIndependentSize().height()));
    }
    QPointer<QVR_InteractableViewHandler> self(this);
    dragStarter()(view->viewport(), data, pixmap, hotSpot);
    // The system drag took the button's release: the next press starts afresh.
    if (self && self->m_monitor && !(QGuiApplication::mouseButtons() & Qt::LeftButton))
        self->m_monitor->abandonGesture();
}

void QVR_InteractableViewHandler::cutSelection(uint modifierMask)
{
    if (!canCopySelection())
        return;
    copySelection();
    deleteSelection(modifierMask);
}

bool QVR_InteractableViewHandler::canDeleteSelection() const
{
    return !commandsBlocked() && !selectedObjectsOfScreen().empty();
}

void QVR_InteractableViewHandler::deleteSelection(uint modifierMask)
{
    if (isCropping())
        completeCropping();
    if (!canDeleteSelection())
        return;
    const auto selected = currentlySelectedArray();
    if (selected.size() == 1 && !(modifierMask & uint(Qt::ControlModifier))) {
        // A text being edited keeps the key for itself.
        auto* text = dynamic_cast<QVR_AttributedTextMixedMediaElementView*>(selected.front()->mixedMediaElementView());
        if (text && text->editable())
            return;
    }
    removeObjects(selectedObjectsOfScreen());
    deselectAll();
}

void QVR_InteractableViewHandler::cutObjects(const std::vector<Proxy>& objects)
{
    if (commandsBlocked() || objects.empty())
        return;
    copySelection(objects);
    removeObjects(objects);
}

void QVR_InteractableViewHandler::removeObjects(const std::vector<Proxy>& objects)
{
    // The files stay: an undo brings the objects back with them, and the package's clean-up removes files
    // that no document or step names.
    changeScreen(UFM::UNDO_MANAGER_DELETE_OBJECT_TAG(), [&](ZERI_FlowScreenModel& screen) {
        for (const auto& object : objects)
            screen.removeMixedMediaObject(object);
    });
}

bool QVR_InteractableViewHandler::canBringForward() const
{
    if (commandsBlocked())
        return false;
    const auto screen = mainInteractableView() ? mainInteractableView()->flowScreenModel() : nullptr;
    const auto objects = selectedObjectsOfScreen();
    return screen && std::any_of(objects.begin(), objects.end(),
                                 [&](const Proxy& object) { return screen->mixedMediaObjectCanMoveForward(object); });
}

bool QVR_InteractableViewHandler::canSendBackward() const
{
    if (commandsBlocked())
        return false;
    const auto screen = mainInteractableView() ? mainInteractableView()->flowScreenModel() : nullptr;
    const auto objects = selectedObjectsOfScreen();
    return screen && std::any_of(objects.begin(), objects.end(),
                                 [&](const Proxy& object) { return screen->mixedMediaObjectCanMoveBackward(object); });
}

void QVR_InteractableViewHandler::bringForward()
{
    const auto objects = selectedObjectsOfScreen();
    if (commandsBlocked() || objects.empty())
        return;
    // The frontmost selected object passes the next object in front of it; the others gather right behind it.
    changeScreen(UFM::BRING_FORWARD_TEXT(), [&](ZERI_FlowScreenModel& screen) {
        const Proxy& last = objects.back();
        screen.placeObjectAboveNextObjectInFrontOfIt(last);
        for (std::size_t i = 0; i + 1 < objects.size(); ++i) {
            const qsizetype index = screen.indexOfMixedMediaObject(last);
            screen.removeMixedMediaObject(objects[i]);
            screen.insertMixedMediaObject(objects[i], std::max<qsizetype>(index - 1, 0));
        }
    });
}

void QVR_InteractableViewHandler::sendBackward()
{
    const auto objects = selectedObjectsOfScreen();
    if (commandsBlocked() || objects.empty())
        return;
    // The backmost selected object passes the next object behind it; the others gather right in front of it.
    changeScreen(UFM::SEND_BACKWARD_TEXT(), [&](ZERI_FlowScreenModel& screen) {
        const Proxy& first = objects.front();
        screen.placeObjectBelowNextObjectBehindIt(first);
        const qsizetype index = screen.indexOfMixedMediaObject(first);
        for (std::size_t i = objects.size(); i-- > 1;) {
            screen.removeMixedMediaObject(objects[i]);
            screen.insertMixedMediaObject(objects[i], index + 1);
        }
    });
}

void QVR_InteractableViewHandler::bringToFront()
{
    auto objects = selectedObjectsOfScreen();
    if (commandsBlocked() || objects.empty())
        return;
    changeScreen(UFM::UNDO_MANAGER_BRING_TO_FRONT_TAG(), [&](ZERI_FlowScreenModel& screen) {
        std::sort(objects.begin(), objects.end(), [&](const Proxy& a, const Proxy& b) {
            return screen.indexOfMixedMediaObject(a) < screen.indexOfMixedMediaObject(b);
        });
        for (const auto& object : objects) {
            screen.removeMixedMediaObject(object);
            screen.addMixedMediaObject(object);
        }
    });
}

void QVR_InteractableViewHandler::sendToBack()
{
    auto objects = selectedObjectsOfScreen();
    if (commandsBlocked() || objects.empty())
        return;
    changeScreen(UFM::UNDO_MANAGER_SEND_TO_BACK_TAG(), [&](ZERI_FlowScreenModel& screen) {
        std::sort(objects.begin(), objects.end(), [&](const Proxy& a, const Proxy& b) {
            return screen.indexOfMixedMediaObject(a) < screen.indexOfMixedMediaObject(b);
        });
        for (auto it = objects.rbegin(); it != objects.rend(); ++it) {
            screen.removeMixedMediaObject(*it);
            screen.insertMixedMediaObject(*it, 0);
        }
    });
}
