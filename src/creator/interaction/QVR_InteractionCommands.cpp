// The interaction handler's edit commands on the selection: copy, cut, delete, the four stacking-order moves and
// dragging elements out of the canvas.
#include <algorithm>

#include <QDrag>
#include <QGraphicsScene>
#include <QJsonArray>
#include <QMimeData>
#include <QPainter>
#include <QPixmap>
#include <QTimer>

#include "creator/canvas/QVR_ArtBoardScrollView.h"
#include "creator/canvas/QVR_CreatorSingleScreen.h"
#include "creator/canvas/QVR_MixedMediaElementContainingView.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/interaction/QVR_InteractableViewHandler.h"
#include "platform/Json.h"
#include "storage/MixedMediaObjectStorage.h"
#include "elements/views/QVR_AttributedTextMixedMediaElementView.h"
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

void QVR_InteractableViewHandler::changeScreen(const std::function<void(ZERI_FlowScreenModel&)>& edit)
{
    QVR_CreatorSingleScreen* screenView = mainInteractableView();
    const auto screen = screenView ? screenView->flowScreenModel() : nullptr;
    const auto flow = screen ? screen->nearestParentItemOfClass<ZERI_FlowModel>() : nullptr;
    if (!flow)
        return;
    flow->beginUndoableChangesPagingToScreen(screen);
    edit(*screen);
    flow->endUndoableChanges();
    flow->updateNotifier().sendUpdateNotificationsIfNeeded();
}

namespace {
// Only the latest copy writes the clipboard: an earlier one still linking files is outrun.
quint64 g_latestCopy = 0;
} // namespace

void QVR_InteractableViewHandler::copySelection()
{
    if (!canCopySelection())
        return;
    const quint64 copyNumber = ++g_latestCopy;
    MixedMediaObjectStorage::clearTempDirectoryForCopies();
    QPointer<QVR_InteractableViewHandler> self(this);
    MixedMediaObjectStorage::getCopiesForTempDirectory(selectedObjectsOfScreen(), [self, copyNumber](auto copies) {
        if (copyNumber != g_latestCopy)
            return;
        ZERI_MixedMediaObject::pasteboardCopyObjects(copies);
        if (self)
            emit self->copyWritten();
    });
}

namespace {
void startQDrag(QWidget* source, QMimeData* data, const QPixmap& picture)
{
    if (!source) {
        delete data;
        return;
    }
    auto* drag = new QDrag(source);
    drag->setMimeData(data);
    if (!picture.isNull())
        drag->setPixmap(picture);
    drag->exec(Qt::CopyAction);
}

QVR_InteractableViewHandler::DragStarter& dragStarter()
{
    static QVR_InteractableViewHandler::DragStarter starter = startQDrag;
    return starter;
}
} // namespace

void QVR_InteractableViewHandler::setDragStarter(DragStarter starter)
{
    dragStarter() = starter ? std::move(starter) : DragStarter(startQDrag);
}

void QVR_InteractableViewHandler::checkDragOut(const QPointF& scenePoint)
{
    QVR_ArtBoardScrollView* view = m_board ? m_board->theScrollView() : nullptr;
    if (!view)
        return;
    if (view->viewport()->rect().contains(view->mapFromScene(scenePoint))) {
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

void QVR_InteractableViewHandler::beginDragOut()
{
    // Only a move still under way of elements still on this screen is dragged out.
    QVR_ArtBoardScrollView* view = m_board ? m_board->theScrollView() : nullptr;
    QVR_CreatorSingleScreen* screenView = mainInteractableView();
    const auto screen = screenView ? screenView->flowScreenModel() : nullptr;
    if (m_dragKind != DragKind::Translate || !view || !screen)
        return;
    std::vector<Proxy> objects;
    QPointer<QVR_MixedMediaElementContainingView> first;
    for (const auto& handler : m_translateHandlers) {
        auto object = handler.currentMixedMediaObject();
        if (!object || !object->object() || screen->indexOfMixedMediaObject(object) < 0)
            continue;
        if (!first)
            first = handler.container();
        objects.push_back(std::move(object));
    }
    if (objects.empty())
        return;
    // The move is cancelled: the elements go back and no undo step is left. Later events of this gesture do
    // nothing.
    m_dragKind = DragKind::None;
    endTranslating(false, true);
    stopDisplayingCoordinates();

    // The first element as drawn on the board.
    QImage picture;
    if (first && first->scene()) {
        const QRectF area = first->sceneBoundingRect();
        picture = QImage(area.size().toSize().expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
        picture.fill(Qt::transparent);
        QPainter painter(&picture);
        first->scene()->render(&painter, QRectF(QPointF(), area.size()), area);
    }
    // At most 140 pixels on the larger side, keeping the element's proportions.
    QPixmap pixmap = QPixmap::fromImage(picture);
    if (!pixmap.isNull() && std::max(pixmap.width(), pixmap.height()) > 140 && first) {
        const QSizeF frame = first->boundingRect().size() * (140.0 / std::max(pixmap.width(), pixmap.height()));
        pixmap = pixmap.scaled(frame.toSize().expandedTo(QSize(1, 1)), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }

    const quint64 copyNumber = ++g_latestCopy;
    MixedMediaObjectStorage::clearTempDirectoryForCopies();
    QPointer<QWidget> source(view->viewport());
    MixedMediaObjectStorage::getCopiesForTempDirectory(objects, [source, copyNumber, picture, pixmap](auto copies) {
        if (copyNumber != g_latestCopy)
            return;
        ZERI_MixedMediaObject::pasteboardCopyObjects(copies);
        QJsonArray entries;
        for (const auto& object : copies)
            if (object && object->object())
                entries.append((*object)->jsonDictionary());
        if (entries.isEmpty() || !source)
            return;
        // Other programs cannot read the own type: they get the picture.
        auto* data = new QMimeData;
        data->setData(ZERI_MixedMediaObject::kPasteboardType, Json::write(entries));
        if (!picture.isNull())
            data->setImageData(picture);
        dragStarter()(source, data, pixmap);
    });
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
    const auto objects = selectedObjectsOfScreen();
    // The files stay: an undo brings the objects back with them, and the package's clean-up removes files
    // that no document or step names.
    changeScreen([&](ZERI_FlowScreenModel& screen) {
        for (const auto& object : objects)
            screen.removeMixedMediaObject(object);
    });
    deselectAll();
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
    changeScreen([&](ZERI_FlowScreenModel& screen) {
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
    changeScreen([&](ZERI_FlowScreenModel& screen) {
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
    changeScreen([&](ZERI_FlowScreenModel& screen) {
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
    changeScreen([&](ZERI_FlowScreenModel& screen) {
        std::sort(objects.begin(), objects.end(), [&](const Proxy& a, const Proxy& b) {
            return screen.indexOfMixedMediaObject(a) < screen.indexOfMixedMediaObject(b);
        });
        for (auto it = objects.rbegin(); it != objects.rend(); ++it) {
            screen.removeMixedMediaObject(*it);
            screen.insertMixedMediaObject(*it, 0);
        }
    });
}
