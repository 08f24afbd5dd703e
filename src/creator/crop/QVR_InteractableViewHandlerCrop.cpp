// The interaction handler's crop mode: entering and leaving it, and the drags on the crop view and its handles.

#include <QAbstractButton>
#include <QApplication>
#include <QGraphicsView>
#include <QLoggingCategory>

#include "creator/CreatorLogging.h"
#include "creator/canvas/QVR_ArtBoardScrollView.h"
#include "creator/canvas/QVR_CreatorSingleScreen.h"
#include "creator/canvas/QVR_MixedMediaElementContainingView.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/crop/QVR_CropHandle.h"
#include "creator/crop/QVR_CropView.h"
#include "creator/crop/QVR_CropZoomHandle.h"
#include "creator/interaction/QVR_InteractableViewHandler.h"
#include "platform/Error.h"
#include "storage/ContentAssetStorage.h"
#include "storage/MixedMediaObjectStorage.h"
#include "tessarine_data_model/UndoableAction.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"

bool QVR_InteractableViewHandler::isCropping() const
{
    return m_cropView != nullptr;
}

QVR_CropView* QVR_InteractableViewHandler::cropView() const
{
    return m_cropView;
}

bool QVR_InteractableViewHandler::beginCropForCurrentlySelectedView()
{
    const auto selected = currentlySelectedArray();
    if (selected.empty() || commandsBlocked())
        return false;
    QVR_MixedMediaElementContainingView* container = selected.front();
    if (!QVR_CropView::canCrop(container))
        return false;
    if (m_cropView) {
        // A crop waiting for its pictures finishes first.
        if (m_cropView->isFinishing())
            return false;
        cancelCrop();
    }
    if (!m_translateHandlers.empty())
        endTranslating(false);
    // A button that a click cannot focus holds the keyboard only when the keyboard pressed it.
    QWidget* before = QApplication::focusWidget();
    const bool byKeyboard = qobject_cast<QAbstractButton*>(before) && !(before->focusPolicy() & Qt::ClickFocus);
    removeFromCurrentlySelected(container);
    auto* crop = new QVR_CropView(container);
    m_cropView = crop;
    QPointer<QVR_InteractableViewHandler> self(this);
    crop->onCancel = [self] {
        if (self)
            self->cancelCrop();
    };
    crop->onComplete = [self] {
        if (self)
            self->completeCropping();
    };
    // The element leaving its screen (deleted, or the screen rebuilt) cancels the crop.
    connect(container, &QObject::destroyed, crop, [self, crop] {
        if (self && self->m_cropView == crop && !crop->isFinishing())
            self->abandonCrop();
    });
    if (m_board && m_board->theScrollView())
        m_board->theScrollView()->setFocus(Qt::OtherFocusReason);
    crop->displayPopover();
    if (byKeyboard)
        crop->focusPopoverCropButton();
    return true;
}

void QVR_InteractableViewHandler::endCropping(bool cancel)
{
    QVR_CropView* crop = m_cropView;
    if (!crop || crop->isFinishing())
        return;
    QPointer<QVR_MixedMediaElementContainingView> container = crop->getMixedMediaElementContainingView();
    const auto object = crop->selectedObject();
    if (!cancel && (!crop->originalIsReadable() || crop->isStandIn())) {
        qCWarning(lcCreator) << "crop mode: the original picture could not be read, so the crop writes nothing";
        cancel = true;
    }
    if (cancel || !object || !container || !crop->changeIsOpen()) {
        crop->cancelChange();
        finishCrop(container, true);
        return;
    }
    ZERI_MixedMediaObject& model = *object->object();
    QRectF frame = crop->getCurrentCropRectInScene();
    if (container->parentItem())
        frame = container->parentItem()->mapRectFromScene(frame);
    model.setZoomOffset(crop->getCurrentZoomOffset());
    model.setFrame(frame);
    // An object drawn at its fill scale keeps the scale it was cropped at.
    if (!model.zoomScale())
        model.setZoomScale(crop->displayedZoomScale());

    // Crop mode lasts until the pictures are set: no handles, no popover, presses ignored, undo refused.
    crop->setFinishing();
    QPointer<QVR_InteractableViewHandler> self(this);
    QPointer<QVR_CropView> cropRef(crop);
    const auto done = [self, cropRef, container](const Error& error) {
        if (cropRef) {
            if (error.isNull() || error.code == ContentAssetStorage::Cancelled) {
                // Cancelled: the object is gone, and no picture was kept.
                cropRef->endChange();
            } else {
                qCWarning(lcCreator) << "crop mode: the cropped pictures could not be made:" << error.message;
                cropRef->cancelChange();
            }
        }
        if (self && self->m_cropView == cropRef.data())
            self->finishCrop(container, !error.isNull());
        else
            delete cropRef.data();
    };
    if (!MixedMediaObjectStorage::makeAndSetCroppedImageAssetFromOriginalImageAsset(object, done)) {
        done(Error(QStringLiteral("ZERI_ContentAssetErrorDomain"), ContentAssetStorage::ReadFailure,
                   QStringLiteral("the original picture is not on disk")));
    }
}

void QVR_InteractableViewHandler::abandonCrop()
{
    // The element is being destroyed: there is nothing to show or select again, and the screen may be rebuilding
    // its element views right now, so the crop view only hides and goes once control returns to the loop.
    QVR_CropView* crop = m_cropView;
    if (!crop || crop->isFinishing())
        return;
    crop->cancelChange();
    m_cropView = nullptr;
    crop->hide();
    crop->deleteLater();
}

void QVR_InteractableViewHandler::finishCrop(QVR_MixedMediaElementContainingView* container, bool cancelled)
{
    QVR_CropView* crop = m_cropView;
    const auto object = crop ? crop->selectedObject() : nullptr;
    m_cropView = nullptr;
    delete crop;
    if (m_board)
        m_board->updateScrollRange();
    QVR_CreatorSingleScreen* screen = mainInteractableView();
    if (screen && screen->flowScreenModel())
        screen->flowScreenModel()->updateNotifier().sendUpdateNotificationsIfNeeded();
    if (!container && screen && object)
        container = screen->containerForMixedMediaObject(object);
    if (container) {
        container->setVisible(true);
        if (container->parentScreen() == screen)
            setCurrentlySelected({container});
    }
    (void)cancelled;
}

bool QVR_InteractableViewHandler::cropDragBegan(QGraphicsObject* item, const QPointF& translation)
{
    QVR_CropView* crop = m_cropView;
    if (!crop || crop->isFinishing() || !item)
        return false;
    if (auto* handle = qobject_cast<QVR_CropHandle*>(item); handle && handle->parentItem() == crop) {
        m_dragKind = DragKind::CropResize;
        crop->startResizingFromPosition(handle->position());
        crop->resizeHandleMovedWithTranslation(translation);
        return true;
    }
    if (auto* handle = qobject_cast<QVR_CropZoomHandle*>(item); handle && handle->parentItem() == crop) {
        m_dragKind = DragKind::CropZoom;
        crop->startCropZoomFromPosition(handle->position());
        crop->cropZoomHandleMovedWithTranslation(translation);
        crop->zoomHandleDragged(m_pressPoint + translation);
        return true;
    }
    if (item == crop) {
        m_dragKind = DragKind::CropMove;
        crop->setIsInDragMode(true, m_pressPoint);
        crop->dragMovedToPoint(translation);
        return true;
    }
    return false;
}

void QVR_InteractableViewHandler::cropDragMoved(const QPointF& translation)
{
    QVR_CropView* crop = m_cropView;
    if (!crop)
        return;
    if (m_dragKind == DragKind::CropResize)
        crop->resizeHandleMovedWithTranslation(translation);
    else if (m_dragKind == DragKind::CropZoom) {
        crop->cropZoomHandleMovedWithTranslation(translation);
        crop->zoomHandleDragged(m_pressPoint + translation);
    } else if (m_dragKind == DragKind::CropMove && crop->isInDragMode())
        crop->dragMovedToPoint(translation);
}

void QVR_InteractableViewHandler::cropDragEnded(const QPointF& translation)
{
    QVR_CropView* crop = m_cropView;
    const DragKind kind = m_dragKind;
    if (kind != DragKind::CropResize && kind != DragKind::CropZoom && kind != DragKind::CropMove)
        return;
    m_dragKind = DragKind::None;
    if (!crop)
        return;
    if (kind == DragKind::CropResize) {
        crop->resizeHandleMovedWithTranslation(translation);
        crop->endResizing();
    } else if (kind == DragKind::CropZoom) {
        crop->cropZoomHandleMovedWithTranslation(translation);
        crop->endCropZoom();
    } else {
        crop->dragMovedToPoint(translation);
        crop->setIsInDragMode(false);
    }
}
