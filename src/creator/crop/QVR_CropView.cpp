#include "creator/crop/QVR_CropView.h"

#include <algorithm>
#include <cmath>

#include <QApplication>
#include <QGraphicsScene>
#include <QGraphicsSceneMouseEvent>
#include <QGraphicsView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextEdit>

#include "controls/PopoverColors.h"
#include "controls/UniversalPopover.h"
#include "creator/CreatorLogging.h"
#include "creator/canvas/QVR_ArtBoardScrollView.h"
#include "creator/canvas/QVR_CreatorSingleScreen.h"
#include "creator/canvas/QVR_MixedMediaElementContainingView.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/crop/CropGeometry.h"
#include "creator/crop/QVR_CropHandle.h"
#include "creator/crop/QVR_CropPopoverButtonsView.h"
#include "creator/crop/QVR_CropTranslationHelperView.h"
#include "creator/crop/QVR_CropZoomHandle.h"
#include "elements/images/ImageUtils.h"
#include "elements/images/UNIImage.h"
#include "platform/MainThread.h"
#include "platform/WorkerThreads.h"
#include "storage/ContentAssetStorage.h"
#include "storage/MixedMediaObjectStorage.h"
#include "strings/UFM.h"
#include "tessarine_data_model/UndoableAction.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"

namespace {

// The zoom scale an object without one is drawn with: its picture fills the frame.
double fillScale(const QSizeF& frame, const QSizeF& image)
{
    if (image.width() <= 0 || image.height() <= 0)
        return 1.0;
    return std::max(frame.width() / image.width(), frame.height() / image.height());
}

QPointF rectPoint(const QRectF& rect, int position)
{
    switch (position) {
    case 0:
        return rect.topLeft();
    case 1:
        return rect.topRight();
    case 2:
        return rect.bottomRight();
    case 3:
        return rect.bottomLeft();
    case 4:
        return {rect.left(), rect.center().y()};
    case 5:
        return {rect.right(), rect.center().y()};
    case 6:
        return {rect.center().x(), rect.top()};
    default:
        return {rect.center().x(), rect.bottom()};
    }
}

QSize scaledSize(const QSizeF& wanted, const QSize& original)
{
    const int width = std::clamp(int(std::ceil(wanted.width())), 1, std::max(1, original.width()));
    const int height = std::clamp(int(std::ceil(wanted.height())), 1, std::max(1, original.height()));
    return QSize(width, height);
}

QImage scaledPicture(const QImage& original, const QSize& size)
{
    if (original.isNull() || size.isEmpty())
        return {};
    if (original.size() == size)
        return original;
    return original.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

} // namespace

bool QVR_CropView::canCrop(const QVR_MixedMediaElementContainingView* container)
{
    if (!container)
        return false;
    const auto object = container->mixedMediaObject();
    if (!object || !object->object() || !(*object)->originalImageAsset())
        return false;
    return (*object)->nearestParentItemOfClass<ZERI_FlowModel>() != nullptr && container->scene() != nullptr;
}

QVR_CropView::QVR_CropView(QVR_MixedMediaElementContainingView* container)
    : m_container(container)
{
    setZValue(kZValue);
    setAcceptedMouseButtons(Qt::NoButton);
    const auto object = container->mixedMediaObject();
    m_object = object;
    ZERI_MixedMediaObject& model = *object->object();

    // One change for the whole crop, from entry to the pictures.
    if (const auto flow = model.nearestParentItemOfClass<ZERI_FlowModel>()) {
        flow->beginUndoableChangesPagingToScreen(model.parentFlowScreenModel());
        if (const auto action = flow->currentUndoableAction())
            action->setActionDescription(UFM::UNDO_MANAGER_PAN_AND_ZOOM_TAG());
        m_flow = flow;
        m_action = flow->currentUndoableAction();
    }
    m_initializedZoomScale = model.zoomScale();
    m_initializedFrame = model.frame();
    m_initializedContainerFrame = container->frame();
    m_rotation = model.rotation();
    m_asset = model.originalImageAsset();

    QSizeF imageSize = MixedMediaObjectStorage::originalImageSize(model);
    if (m_rotation % 2 != 0)
        imageSize.transpose();
    QSizeF offset = model.zoomOffset();
    double zoom = 1.0;
    if (imageSize.isEmpty()) {
        // Not readable (yet): a stand-in of the frame's size at zoom 1.
        m_standIn = true;
        imageSize = model.frame().size();
        offset = QSizeF(0, 0);
    } else {
        zoom = model.zoomScale().value_or(0.0);
        if (!(zoom > 0) || !std::isfinite(zoom))
            zoom = fillScale(model.frame().size(), imageSize);
        // An element larger than its zoomed picture shrinks to it, its top-left corner kept.
        const QRectF shrunk = CropGeometry::shrunkFrame(model.frame(), imageSize, zoom);
        if (shrunk != model.frame()) {
            model.setFrame(shrunk);
            container->setFrame(shrunk);
        }
    }
    m_zoomScale = zoom;

    for (int position = 0; position < 4; ++position) {
        m_zoomHandles[size_t(position)] = new QVR_CropZoomHandle(position, this);
        m_zoomHandles[size_t(position)]->setZValue(1);
    }
    m_outline = new QVR_CropTranslationHelperView(this);
    m_outline->setZValue(2);
    for (int position = 0; position < 8; ++position) {
        m_handles[size_t(position)] = new QVR_CropHandle(position, this);
        m_handles[size_t(position)]->setZValue(3);
    }
    for (int position = 0; position < 4; ++position)
        m_zoomHandles[size_t(position)]->setSiblingCropHandle(m_handles[size_t(position)]);

    // Inside the screen, under its grey mask: the picture's part outside the screen is dimmed like all that lies
    // there.
    if (QVR_CreatorSingleScreen* screen = container->parentScreen())
        setParentItem(screen);
    else
        container->scene()->addItem(this);
    layOut(imageSize, zoom, offset);
    container->setVisible(false);

    const auto refresh = [this](const Notification&) {
        updateHandles();
        rescaleIfNeeded();
        if (m_popover)
            displayPopover();
    };
    m_scrollObservation =
        NotificationObservation(QVR_ArtBoardScrollView::kContentViewBoundsDidChangeNotification, nullptr, refresh);
    m_zoomObservation =
        NotificationObservation(QVR_SingleScreenArtBoardView::kZoomLevelChangedNotification, nullptr, refresh);
    qApp->installEventFilter(this);
    loadOriginal();
}

QVR_CropView::~QVR_CropView()
{
    if (qApp)
        qApp->removeEventFilter(this);
    removePopover();
}

void QVR_CropView::layOut(const QSizeF& imageSize, double zoomScale, const QSizeF& zoomOffset)
{
    const auto object = m_object.lock();
    if (!object)
        return;
    QRectF frame = (*object)->frame();
    if (m_container && m_container->parentItem())
        frame = m_container->parentItem()->mapRectToScene(frame);
    setViewFrame(CropGeometry::cropViewFrame(frame, imageSize, zoomScale, zoomOffset));
    setCropRect(frame.translated(-pos()));
}

void QVR_CropView::loadOriginal()
{
    QPointer<QVR_CropView> self(this);
    const auto asset = m_asset;
    const int rotation = m_rotation;
    const QSizeF wanted = wantedPictureSize();
    WorkerThreads::shared().post([self, asset, rotation, wanted] {
        const QImage image = asset ? ContentAssetStorage::getImage(asset) : QImage();
        const QImage turned =
            image.isNull() ? QImage() : ImageUtils::rotateImage(UNIImage::imageWithCGImage(image), rotation);
        const QImage scaled = scaledPicture(turned, scaledSize(wanted, turned.size()));
        MainThread::run(
            [self, turned, scaled] {
                // A crop view gone by now ignores its picture.
                if (!self)
                    return;
                self->m_scaled = scaled;
                self->originalLoaded(turned);
            },
            false);
    });
}

void QVR_CropView::originalLoaded(const QImage& turned)
{
    m_loaded = true;
    m_readable = !turned.isNull();
    if (!m_readable) {
        qCWarning(lcCreator) << "crop mode: the element's original picture could not be read";
        m_scaled = QImage();
        update();
        displayPopover();
        return;
    }
    m_original = turned;
    const auto object = m_object.lock();
    const bool idle = !m_dragging && m_resizingPosition < 0 && m_zoomPosition < 0;
    if (m_standIn && object && idle && !m_finishing) {
        // The picture's size is known only now: lay out again for it.
        m_standIn = false;
        ZERI_MixedMediaObject& model = *object->object();
        const QSizeF imageSize = turned.size();
        double zoom = model.zoomScale().value_or(0.0);
        if (!(zoom > 0) || !std::isfinite(zoom))
            zoom = fillScale(model.frame().size(), imageSize);
        const QRectF shrunk = CropGeometry::shrunkFrame(model.frame(), imageSize, zoom);
        if (shrunk != model.frame())
            model.setFrame(shrunk);
        m_zoomScale = zoom;
        layOut(imageSize, zoom, model.zoomOffset());
    }
    update();
    rescaleIfNeeded();
    if (!m_finishing)
        displayPopover();
}

double QVR_CropView::magnification() const
{
    if (!scene() || scene()->views().isEmpty())
        return 1.0;
    const double m = scene()->views().front()->transform().m11();
    return m > 0 ? m : 1.0;
}

QSize QVR_CropView::wantedPictureSize() const
{
    const QRectF image = CropGeometry::imageRect(m_size);
    const double m = magnification();
    return QSize(std::max(1, int(std::ceil(image.width() * m))), std::max(1, int(std::ceil(image.height() * m))));
}

void QVR_CropView::rescaleIfNeeded()
{
    if (m_original.isNull() || m_rescaling)
        return;
    const QSize wanted = scaledSize(wantedPictureSize(), m_original.size());
    if (m_scaled.size() == wanted)
        return;
    m_rescaling = true;
    const quint64 generation = ++m_rescaleGeneration;
    QPointer<QVR_CropView> self(this);
    const QImage original = m_original;
    WorkerThreads::shared().post([self, original, wanted, generation] {
        const QImage scaled = scaledPicture(original, wanted);
        MainThread::run(
            [self, scaled, generation] {
                if (!self)
                    return;
                self->m_rescaling = false;
                if (generation == self->m_rescaleGeneration) {
                    self->m_scaled = scaled;
                    self->update();
                }
                self->rescaleIfNeeded();
            },
            false);
    });
}

void QVR_CropView::setViewFrame(const QRectF& sceneFrame)
{
    if (sceneFrame.size() != m_size)
        prepareGeometryChange();
    m_size = sceneFrame.size();
    setPos(sceneFrame.topLeft());
    updateHandles();
    // A picture reaching past the screen can be scrolled to, its handles with it.
    if (scene() && !scene()->views().isEmpty())
        if (auto* view = qobject_cast<QVR_ArtBoardScrollView*>(scene()->views().front()); view && view->artBoard())
            view->artBoard()->updateScrollRange();
}

void QVR_CropView::setCropRect(const QRectF& rect)
{
    m_cropRect = rect;
    m_outline->setFrame(rect);
    updateHandles();
    update();
}

QSizeF QVR_CropView::getCurrentZoomOffset() const
{
    return CropGeometry::zoomOffset(m_cropRect);
}

QVR_CropHandle* QVR_CropView::handleAtPosition(int position) const
{
    return position >= 0 && position < 8 ? m_handles[size_t(position)] : nullptr;
}

QVR_CropZoomHandle* QVR_CropView::zoomHandleAtPosition(int position) const
{
    return position >= 0 && position < 4 ? m_zoomHandles[size_t(position)] : nullptr;
}

void QVR_CropView::hideResizeHandles(bool hide)
{
    for (auto* handle : m_handles)
        handle->setVisible(!hide);
}

void QVR_CropView::zoomHandleDragged(const QPointF& scenePoint)
{
    if (QVR_CropZoomHandle* handle = zoomHandleAtPosition(m_zoomPosition))
        handle->mouseDragged(scenePoint);
}

void QVR_CropView::mouseReleasedAt(const QPointF& scenePoint, QGraphicsObject* pressed)
{
    if (!scene() || scene()->views().isEmpty())
        return;
    QGraphicsView* view = scene()->views().front();
    // The scene's own hover runs again for the release's place, as after a release it would have seen.
    QGraphicsSceneMouseEvent move(QEvent::GraphicsSceneMouseMove);
    move.setWidget(view->viewport());
    move.setScenePos(scenePoint);
    move.setLastScenePos(scenePoint);
    const QPoint screenPoint = view->viewport()->mapToGlobal(view->mapFromScene(scenePoint));
    move.setScreenPos(screenPoint);
    move.setLastScreenPos(screenPoint);
    move.setButtons(Qt::NoButton);
    move.setButton(Qt::NoButton);
    QApplication::sendEvent(scene(), &move);
    auto* zoom = qobject_cast<QVR_CropZoomHandle*>(pressed);
    if (!zoom || zoom->parentItem() != this)
        return;
    // The handles keep their size on screen: only the view's transform finds them.
    const QList<QGraphicsItem*> under =
        scene()->items(scenePoint, Qt::IntersectsItemShape, Qt::DescendingOrder, view->viewportTransform());
    zoom->mouseUp(zoom->isVisible() && under.contains(zoom));
}

void QVR_CropView::updateHandles()
{
    const QRectF image = CropGeometry::imageRect(m_size);
    for (int position = 0; position < 8; ++position)
        m_handles[size_t(position)]->setPos(rectPoint(m_cropRect, position));
    // A zoom handle's circle that the crop handle of its corner would cover turns into an arrow.
    const double m = magnification();
    const double circle = 0.5 * QVR_CropZoomHandle::kSideLength / m;
    const double side = QVR_CropHandle::kSideLength / m;
    for (int position = 0; position < 4; ++position) {
        const QPointF corner = QVR_CropZoomHandle::centreForCorner(rectPoint(image, position), position);
        m_zoomHandles[size_t(position)]->setPos(corner);
        const QRectF circleRect(corner.x() - circle / 2, corner.y() - circle / 2, circle, circle);
        const QPointF cropCorner = rectPoint(m_cropRect, position);
        const QRectF handleRect(cropCorner.x() - side / 2, cropCorner.y() - side / 2, side, side);
        m_zoomHandles[size_t(position)]->setIsCovered(circleRect.intersects(handleRect));
    }
}

QPainterPath QVR_CropView::shape() const
{
    // Presses on the picture belong to crop mode; beside it they reach what lies beneath.
    QPainterPath path;
    path.addRect(CropGeometry::imageRect(m_size));
    return path;
}

void QVR_CropView::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    const QRectF image = CropGeometry::imageRect(m_size);
    if (image.isEmpty())
        return;
    painter->save();
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    // The picture shows whole inside R and faded (not darkened) outside it: what lies beneath shows through.
    QPainterPath outside;
    outside.setFillRule(Qt::OddEvenFill);
    outside.addRect(image);
    outside.addRect(m_cropRect.intersected(image));
    const auto drawPicture = [&] {
        if (!m_scaled.isNull())
            painter->drawImage(image, m_scaled);
        else
            painter->fillRect(image, QColor(0xE0, 0xE0, 0xE0));
    };
    painter->setClipPath(outside);
    painter->setOpacity(kOutsideOpacity);
    drawPicture();
    painter->setClipRect(m_cropRect.intersected(image));
    painter->setOpacity(1.0);
    drawPicture();
    painter->restore();
}

void QVR_CropView::setIsInDragMode(bool dragging, const QPointF& scenePressPoint)
{
    if (m_finishing)
        return;
    m_dragging = dragging;
    if (!dragging) {
        displayPopover();
        return;
    }
    m_dragOriginFrame = m_cropRect;
    m_dragOriginPos = pos();
    m_panning = !m_cropRect.contains(mapFromScene(scenePressPoint));
    removePopover();
}

void QVR_CropView::dragMovedToPoint(const QPointF& translation)
{
    if (!m_dragging || m_finishing)
        return;
    if (!m_panning) {
        setCropRect(CropGeometry::movedCropRect(m_dragOriginFrame, translation, m_size));
        return;
    }
    // The picture follows the cursor under a crop rectangle that stays still on the screen, never uncovering it.
    const QRectF valid = CropGeometry::movedCropRect(m_dragOriginFrame, -translation, m_size);
    setPos(m_dragOriginPos - (valid.topLeft() - m_dragOriginFrame.topLeft()));
    setCropRect(valid);
}

void QVR_CropView::startResizingFromPosition(int position)
{
    if (m_finishing || position < 0 || position > 7)
        return;
    m_resizingPosition = position;
    m_originalCropRect = m_cropRect;
    removePopover();
}

void QVR_CropView::resizeHandleMovedWithTranslation(const QPointF& translation)
{
    if (m_resizingPosition < 0 || m_finishing)
        return;
    setCropRect(CropGeometry::resizedCropRect(m_originalCropRect, m_resizingPosition, translation, m_size));
}

void QVR_CropView::endResizing()
{
    if (m_resizingPosition < 0)
        return;
    m_resizingPosition = -1;
    m_originalCropRect = QRectF();
    displayPopover();
}

void QVR_CropView::startCropZoomFromPosition(int position)
{
    if (m_finishing || position < 0 || position > 3)
        return;
    m_zoomPosition = position;
    m_zoomOriginalFrame = sceneFrame();
    m_zoomOriginalCropRect = m_cropRect;
    m_originalZoomScale = m_zoomScale;
    removePopover();
}

void QVR_CropView::cropZoomHandleMovedWithTranslation(const QPointF& translation)
{
    if (m_zoomPosition < 0 || m_finishing)
        return;
    const QRectF next =
        CropGeometry::zoomedViewFrame(m_zoomOriginalFrame, m_zoomOriginalCropRect, m_zoomPosition, translation);
    setViewFrame(next);
    setCropRect(m_zoomOriginalCropRect.translated(-(next.topLeft() - m_zoomOriginalFrame.topLeft())));
    rescaleIfNeeded();
}

void QVR_CropView::endCropZoom()
{
    if (m_zoomPosition < 0)
        return;
    const double zoom = CropGeometry::zoomScaleAfterZoom(m_zoomOriginalFrame, sceneFrame(), m_originalZoomScale);
    if (zoom > 0 && std::isfinite(zoom)) {
        m_zoomScale = zoom;
        // Written into the crop's own change; a stand-in's scale means nothing.
        const auto object = m_object.lock();
        if (object && !m_standIn && m_readable)
            (*object)->setZoomScale(zoom);
    }
    m_zoomPosition = -1;
    m_zoomOriginalFrame = QRectF();
    m_zoomOriginalCropRect = QRectF();
    m_originalZoomScale = 0.0;
    displayPopover();
}

UniversalPopover* QVR_CropView::cropPopover() const
{
    return m_popover;
}

QVR_CropPopoverButtonsView* QVR_CropView::cropPopoverButtonsView() const
{
    return m_popover ? qobject_cast<QVR_CropPopoverButtonsView*>(m_popover->contentView()) : nullptr;
}

void QVR_CropView::displayPopover()
{
    // A popover made again keeps the keyboard on the button it was on.
    QVR_CropPopoverButtonsView* before = cropPopoverButtonsView();
    QWidget* focus = QApplication::focusWidget();
    const bool onCancelButton = before && focus && focus == before->cancelButton();
    const bool onCropButton = before && focus && focus == before->cropButton();
    removePopover();
    if (m_finishing || !scene() || scene()->views().isEmpty() || !isVisible())
        return;
    QGraphicsView* view = scene()->views().front();
    QWidget* host = view->window();
    if (!host)
        return;
    auto* buttons = QVR_CropPopoverButtonsView::cropPopoverButtonsView();
    QPointer<QVR_CropView> self(this);
    buttons->onComplete = [self] {
        if (self && self->onComplete)
            self->onComplete();
    };
    buttons->onCancel = [self] {
        if (self && self->onCancel)
            self->onCancel();
    };
    auto* popover = new UniversalPopover(0, PopoverColors::basePopoverColor(), buttons);
    popover->setSideCaps(0, 2, 2);
    popover->setOuterCornerRadius(3.0);
    popover->setMouseEventsHitOnlyContentView(true);
    popover->setPreferedPopoverArrowPosition(UniversalPopover::ArrowPositionRight);
    const QRectF anchorScene =
        mapRectToScene(m_cropRect.adjusted(-kPopoverOutset, -kPopoverOutset, kPopoverOutset, kPopoverOutset));
    const QRect anchorViewport = view->mapFromScene(anchorScene).boundingRect();
    const QRect anchor(view->viewport()->mapTo(host, anchorViewport.topLeft()), anchorViewport.size());
    popover->presentPopoverInView(host, UniversalPopover::ArrowPositionAll, anchor, false);
    m_popover = popover;
    if (onCropButton)
        buttons->cropButton()->setFocus(Qt::TabFocusReason);
    else if (onCancelButton)
        buttons->cancelButton()->setFocus(Qt::TabFocusReason);
}

void QVR_CropView::focusPopoverCropButton()
{
    if (QVR_CropPopoverButtonsView* buttons = cropPopoverButtonsView(); buttons && buttons->cropButton())
        buttons->cropButton()->setFocus(Qt::TabFocusReason);
}

void QVR_CropView::removePopover()
{
    if (!m_popover)
        return;
    // The keyboard on one of its buttons goes back to the board, showing there, rather than along the window's
    // chain to whatever comes next.
    if (m_popover->isAncestorOf(QApplication::focusWidget()) && scene() && !scene()->views().isEmpty())
        scene()->views().front()->setFocus(Qt::TabFocusReason);
    // Later: a button of the popover may be what ends crop mode.
    m_popover->hide();
    m_popover->deleteLater();
    m_popover = nullptr;
}

void QVR_CropView::setFinishing()
{
    m_finishing = true;
    m_dragging = false;
    m_resizingPosition = -1;
    m_zoomPosition = -1;
    removePopover();
    hideResizeHandles(true);
    for (auto* handle : m_zoomHandles)
        handle->setVisible(false);
}

bool QVR_CropView::changeIsOpen() const
{
    const auto flow = m_flow.lock();
    const auto action = m_action.lock();
    return flow && action && flow->currentUndoableAction() == action;
}

void QVR_CropView::endChange()
{
    if (changeIsOpen())
        m_flow.lock()->endUndoableChanges();
    m_action.reset();
}

void QVR_CropView::cancelChange()
{
    if (changeIsOpen())
        m_flow.lock()->cancelUndoableChanges();
    m_action.reset();
}

bool QVR_CropView::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress || m_finishing || !scene() || scene()->views().isEmpty())
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    QWidget* window = scene()->views().front()->window();
    if (!widget || widget->window() != window)
        return false;
    // Each key press reaches the filter once, at its first receiver.
    QWidget* focus = QApplication::focusWidget();
    if (focus && widget != focus && widget != window)
        return false;
    if (qobject_cast<QLineEdit*>(focus) || qobject_cast<QTextEdit*>(focus) || qobject_cast<QPlainTextEdit*>(focus))
        return false;
    const int key = static_cast<QKeyEvent*>(event)->key();
    // Return on a button of the popover presses that button.
    QVR_CropPopoverButtonsView* buttons = cropPopoverButtonsView();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && buttons && focus &&
        (focus == buttons->cropButton() || focus == buttons->cancelButton())) {
        static_cast<QPushButton*>(focus)->click();
        return true;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        if (onComplete)
            onComplete();
        return true;
    }
    if (key == Qt::Key_Escape) {
        if (onCancel)
            onCancel();
        return true;
    }
    return false;
}

QVariant QVR_CropView::itemChange(GraphicsItemChange change, const QVariant& value)
{
    if (change == ItemSceneHasChanged && !value.value<QGraphicsScene*>())
        removePopover();
    return QGraphicsObject::itemChange(change, value);
}
