#include "creator/interaction/QVR_InteractableViewHandler.h"

#include <algorithm>

#include <QTimer>

#include "creator/canvas/QVR_ArtBoardScrollView.h"
#include "creator/canvas/QVR_CreatorSingleScreen.h"
#include "creator/canvas/QVR_MixedMediaElementContainingView.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/crop/QVR_CropView.h"
#include "creator/interaction/QVR_InteractionModelUtils.h"
#include "creator/interaction/QVR_MouseMonitor.h"
#include "creator/snapping/QVR_SnapLineView.h"
#include "creator/snapping/SnappingGrid.h"
#include "creator/snapping/SnappingUtils.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "elements/views/QVR_AttributedTextMixedMediaElementView.h"
#include "strings/UFM.h"
#include "tessarine_data_model/UndoableAction.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"

using Utils = QVR_InteractionModelUtils;

namespace {

QVR_MixedMediaElementContainingView* asContainer(QGraphicsObject* item)
{
    return qobject_cast<QVR_MixedMediaElementContainingView*>(item);
}

// The text element view of a container while its text is being edited, else nullptr.
QVR_AttributedTextMixedMediaElementView* editedText(const QVR_MixedMediaElementContainingView* container)
{
    if (!container)
        return nullptr;
    auto* text = dynamic_cast<QVR_AttributedTextMixedMediaElementView*>(container->mixedMediaElementView());
    return text && text->editable() ? text : nullptr;
}

} // namespace

QVR_InteractableViewHandler::QVR_InteractableViewHandler(QVR_SingleScreenArtBoardView* board)
    : QObject(board)
    , m_board(board)
{
    m_monitor = new QVR_MouseMonitor(board, this);
    if (auto* window = qobject_cast<QVR_CreatorWindow*>(board->window()))
        m_frame = window->selectedItemView();
}

void QVR_InteractableViewHandler::pushSelectionToFrame()
{
    if (!m_frame)
        return;
    m_frame->setDelegate(this, this);
    m_frame->setSelectedViews(currentlySelectedArray());
}

void QVR_InteractableViewHandler::willHideForNudge()
{
    if (m_hover)
        m_hover->setVisible(false);
}

void QVR_InteractableViewHandler::willRevealAfterNudge()
{
    updateHoverVisibility();
}

QVR_InteractableViewHandler::~QVR_InteractableViewHandler()
{
    if (m_monitor)
        m_monitor->setDelegate(nullptr);
    if (m_frame && m_frame->delegate() == this) {
        m_frame->setDelegate(nullptr, nullptr);
        m_frame->setSelectedViews({});
    }
    // A gesture cut short by the window closing leaves no change open; so does a crop, which is cancelled (one
    // waiting for its pictures closes its change when they come).
    if (!m_translateHandlers.empty())
        endTranslating(false);
    m_resizeHandler.endResizing();
    m_rotateHandler.endRotating();
    hideFlashLines();
    delete m_coordsView.data();
    if (m_cropView) {
        if (!m_cropView->isFinishing())
            m_cropView->cancelChange();
        if (auto* container = m_cropView->getMixedMediaElementContainingView())
            container->setVisible(true);
        delete m_cropView.data();
    }
    delete m_hover.data();
    delete m_band.data();
}

QVR_InteractableViewHandler* QVR_InteractableViewHandler::handlerForBoard(const QVR_SingleScreenArtBoardView* board)
{
    return board ? board->findChild<QVR_InteractableViewHandler*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

QVR_CreatorSingleScreen* QVR_InteractableViewHandler::mainInteractableView() const
{
    return m_board ? m_board->singleScreen() : nullptr;
}

QVR_HoveredItemView* QVR_InteractableViewHandler::hover()
{
    if (!m_hover)
        m_hover = new QVR_HoveredItemView();
    return m_hover;
}

QVR_MultiSelectBoxView* QVR_InteractableViewHandler::band()
{
    if (!m_band)
        m_band = new QVR_MultiSelectBoxView(mainInteractableView());
    return m_band;
}

void QVR_InteractableViewHandler::prune() const
{
    QVR_CreatorSingleScreen* screen = mainInteractableView();
    std::erase_if(m_selection, [screen](const QPointer<QVR_MixedMediaElementContainingView>& item) {
        return !item || item->parentScreen() != screen;
    });
}

std::vector<QVR_MixedMediaElementContainingView*> QVR_InteractableViewHandler::currentlySelectedArray() const
{
    prune();
    std::vector<QVR_MixedMediaElementContainingView*> result;
    for (const auto& item : m_selection)
        result.push_back(item);
    std::stable_sort(result.begin(), result.end(),
                     [](const auto* a, const auto* b) { return a->zValue() < b->zValue(); });
    return result;
}

std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>>
QVR_InteractableViewHandler::currentlySelectedMixedMediaObjectArray() const
{
    std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>> objects;
    for (auto* container : currentlySelectedArray()) {
        if (auto object = container->mixedMediaObject(); object && object->object())
            objects.push_back(std::move(object));
    }
    return objects;
}

bool QVR_InteractableViewHandler::isSelected(const QGraphicsObject* item) const
{
    prune();
    return item && std::any_of(m_selection.begin(), m_selection.end(),
                               [item](const auto& selected) { return selected.data() == item; });
}

void QVR_InteractableViewHandler::sortAndNotify(const std::vector<QVR_MixedMediaElementContainingView*>& before)
{
    const auto after = currentlySelectedArray();
    m_selection.assign(after.begin(), after.end());
    for (auto* item : before) {
        if (std::find(after.begin(), after.end(), item) == after.end())
            item->onDeselectedByInteractionModel();
    }
    for (auto* item : after) {
        if (std::find(before.begin(), before.end(), item) == before.end())
            item->onSelectedByInteractionModel();
        item->interactionModelDidUpdateNumberOfSelectedItems(int(after.size()));
    }
    updateHoverVisibility();
    if (before != after || (m_frame && m_frame->delegate() != this)) {
        pushSelectionToFrame();
        emit selectionChanged();
    }
}

void QVR_InteractableViewHandler::addToCurrentlySelected(QVR_MixedMediaElementContainingView* container)
{
    if (!container || isSelected(container) || container->parentScreen() != mainInteractableView())
        return;
    const auto before = currentlySelectedArray();
    m_selection.emplace_back(container);
    sortAndNotify(before);
}

void QVR_InteractableViewHandler::removeFromCurrentlySelected(QVR_MixedMediaElementContainingView* container)
{
    if (!isSelected(container))
        return;
    const auto before = currentlySelectedArray();
    std::erase_if(m_selection, [container](const auto& item) { return item.data() == container; });
    sortAndNotify(before);
}

void QVR_InteractableViewHandler::setCurrentlySelected(
    const std::vector<QVR_MixedMediaElementContainingView*>& containers)
{
    const auto before = currentlySelectedArray();
    m_selection.clear();
    for (auto* item : containers) {
        if (item && item->parentScreen() == mainInteractableView() && !isSelected(item))
            m_selection.emplace_back(item);
    }
    sortAndNotify(before);
}

void QVR_InteractableViewHandler::deselectAll()
{
    setCurrentlySelected({});
}

void QVR_InteractableViewHandler::updateHoverVisibility()
{
    if (!m_hover)
        return;
    QGraphicsObject* hovered = m_hover->hoveredView();
    // A child of the hovered element: it goes with the element while that is dragged.
    m_hover->setVisible(hovered && !isSelected(hovered));
}

void QVR_InteractableViewHandler::hoverChanged(QGraphicsObject* item)
{
    // The cursor is the item's own (a handle's resize or rotate cursor); the outline is for hoverable items.
    if (m_board) {
        auto* target = Utils::interactable(item);
        if (auto cursor = target ? target->interactionCursor() : std::nullopt)
            m_board->theScrollView()->viewport()->setCursor(*cursor);
        else
            m_board->theScrollView()->viewport()->unsetCursor();
    }
    if (item && Utils::isHoverable(item))
        hover()->setHoveredView(item);
    else if (m_hover)
        m_hover->setHoveredView(nullptr);
    updateHoverVisibility();
}

bool QVR_InteractableViewHandler::shouldTrackView(QGraphicsObject* item, QPointF scenePoint)
{
    auto* target = Utils::interactable(item);
    return !target || !target->disallowsMouseEvent(scenePoint);
}

void QVR_InteractableViewHandler::mouseDown(QGraphicsObject* item, QPointF scenePoint, Qt::KeyboardModifiers modifiers)
{
    m_dragOut.reset();
    m_deselectedOnMouseDown = false;
    if (commandsBlocked()) // content is being added: presses select nothing
        return;
    m_pressPoint = scenePoint;
    if (isBusy())
        return;
    if (isCropping()) {
        // Crop mode keeps its own presses; any other completes it. Waiting for its pictures, it ignores presses.
        const bool cropItem = item && (item == m_cropView || item->parentItem() == m_cropView);
        if (cropItem || m_cropView->isFinishing())
            return;
        completeCropping();
        return;
    }
    auto* container = asContainer(item);
    if (auto* text = editedText(container))
        text->setEditable(false);
    if (Utils::hasShiftOrCommand(modifiers))
        return;
    const bool keep = item && Utils::interactable(item) && (isSelected(item) || !container);
    if (!keep) {
        m_deselectedOnMouseDown = !currentlySelectedArray().empty();
        deselectAll();
    }
}

void QVR_InteractableViewHandler::mouseClicked(QGraphicsObject* item, QPointF scenePoint,
                                               Qt::KeyboardModifiers modifiers)
{
    auto* container = asContainer(item);
    if (commandsBlocked() || !container || !Utils::isSelectable(container) || isBusy() || isCropping())
        return;
    if (Utils::hasShiftOrCommand(modifiers)) {
        if (isSelected(container))
            removeFromCurrentlySelected(container);
        else
            addToCurrentlySelected(container);
        return;
    }
    const auto selected = currentlySelectedArray();
    if (selected.size() == 1 && selected.front() == container) {
        container->onReceivedSecondClick(scenePoint); // entering editing belongs to the element
        return;
    }
    setCurrentlySelected({container});
}

void QVR_InteractableViewHandler::dragBegan(QGraphicsObject* item, QPointF translation, Qt::KeyboardModifiers modifiers)
{
    m_dragKind = DragKind::None;
    QVR_CreatorSingleScreen* screen = mainInteractableView();
    if (!screen || isBusy() || commandsBlocked())
        return;
    if (isCropping()) {
        cropDragBegan(item, translation);
        return;
    }
    auto* container = asContainer(item);
    if (Utils::hasCommand(modifiers) || !item) {
        m_dragKind = DragKind::RubberBand;
        QVR_MultiSelectBoxView* box = band();
        box->keepSelectedViews.clear();
        for (auto* selected : currentlySelectedArray())
            box->keepSelectedViews.emplace_back(selected);
        box->beginTranslation(screen, m_pressPoint);
        updateBand(translation);
        return;
    }
    if (container && Utils::isTranslatable(container) && container->mixedMediaObject() &&
        container->mixedMediaObject()->object()) {
        m_dragKind = DragKind::Translate;
        handleBeginTranslation(translation, container, false);
        return;
    }
    // Selection handles: with other than one selected element such a drag does nothing, its end included.
    // Crop handles hook in here too.
    beginHandleDrag(item, translation, modifiers);
}

bool QVR_InteractableViewHandler::beginHandleDrag(QGraphicsObject* item, const QPointF& translation,
                                                  Qt::KeyboardModifiers modifiers)
{
    auto* handle = qobject_cast<QVR_SelectedItemHandle*>(item);
    const auto selected = currentlySelectedArray();
    if (!handle || selected.size() != 1)
        return false;
    QVR_MixedMediaElementContainingView* container = selected.front();
    auto object = container->mixedMediaObject();
    if (!object || !object->object() || !(*object)->parentFlowScreenModel())
        return false;
    if (handle->isRotateHandle()) {
        if (!Utils::interactable(container) || !Utils::interactable(container)->rotatable())
            return false;
        m_dragKind = DragKind::Rotate;
        m_rotateHandler.startRotating(container, object, handle->position());
        m_rotateHandler.handleMove(translation);
        return true;
    }
    m_dragKind = DragKind::Resize;
    m_resizeHandler.setViewScale(1.0f);
    m_resizeHandler.startResizing(container, object, handle->position());
    m_resizeHandler.setMaintainProportion(Utils::hasShift(modifiers));
    hideFlashLines();
    SnappingGrid& grid = SnappingUtils::sharedSnappingGrid();
    SnappingUtils::initializeSnappingGrid(grid, (*object)->parentFlowScreenModel(),
                                          QSizeF(SnappingUtils::kArtboardMaxSize, SnappingUtils::kArtboardMaxSize));
    SnappingUtils::modelSnapping_setupSnappingGrid(grid, {object}, 0);
    resizeStep(translation);
    return true;
}

void QVR_InteractableViewHandler::resizeStep(const QPointF& translation)
{
    m_lastStepTranslation = translation;
    m_resizeHandler.handleMove(translation);
    // The grid sees only an element still on its screen; one that left it mid-gesture is skipped there.
    if (m_resizeHandler.currentMixedMediaObject())
        SnappingUtils::sharedSnappingGrid().modelSnapping_handleResize(
            translation, m_resizeHandler.currentResizingPosition(), m_resizeHandler.currentResizeType());
    updateFlashLines();
    continueDisplayingCoordinates(m_pressPoint + translation);
}

void QVR_InteractableViewHandler::handleGestureDone()
{
    if (m_frame && m_frame->delegate() == this)
        m_frame->selectedViewsDidChange();
    emit handleGestureFinished();
}

void QVR_InteractableViewHandler::mouseUp(QGraphicsObject* item, QPointF scenePoint)
{
    m_dragOut.reset(); // released before its picture came: no drag-out
    stopDisplayingCoordinates();
    if (m_cropView && !m_cropView->isFinishing())
        m_cropView->mouseReleasedAt(scenePoint, item);
}

void QVR_InteractableViewHandler::continueDisplayingCoordinates(const QPointF& scenePoint)
{
    if (!m_coordsView || !m_board)
        return;
    QWidget* viewport = m_board->theScrollView()->viewport();
    const QPoint inViewport = m_board->theScrollView()->mapFromScene(scenePoint);
    QWidget* owner = m_coordsView->parentWidget();
    const QPoint origin = owner ? viewport->mapTo(owner, inViewport) : inViewport;
    m_coordsView->move(origin + QPoint(5, 5));
}

void QVR_InteractableViewHandler::stopDisplayingCoordinates()
{
    delete m_coordsView.data();
    m_coordsView = nullptr;
}

void QVR_InteractableViewHandler::dragMoved(QGraphicsObject*, QPointF translation)
{
    cropDragMoved(translation);
    if (m_dragKind == DragKind::RubberBand) {
        updateBand(translation);
        continueDisplayingCoordinates(m_pressPoint + translation);
        checkDragOut(m_pressPoint + translation);
    } else if (m_dragKind == DragKind::Translate) {
        handleTranslate(translation);
        continueDisplayingCoordinates(m_pressPoint + translation);
        checkDragOut(m_pressPoint + translation);
    } else if (m_dragKind == DragKind::Resize) {
        resizeStep(translation);
    } else if (m_dragKind == DragKind::Rotate) {
        m_rotateHandler.handleMove(translation);
    }
}

void QVR_InteractableViewHandler::dragEnded(QGraphicsObject*, QPointF translation)
{
    cropDragEnded(translation);
    if (m_dragOutTimer)
        m_dragOutTimer->stop();
    const DragKind kind = m_dragKind;
    m_dragKind = DragKind::None;
    if (kind == DragKind::RubberBand) {
        updateBand(translation);
        band()->endTranslation();
    } else if (kind == DragKind::Translate) {
        // Released where the pointer last moved: the objects stay where that step put them, on the guide it
        // showed. Stepping again from the raw position would measure the snap's hold from there and could drop it.
        if (translation != m_lastStepTranslation)
            handleTranslate(translation);
        endTranslating(false);
    } else if (kind == DragKind::Resize) {
        if (translation != m_lastStepTranslation)
            resizeStep(translation);
        hideFlashLines();
        m_resizeHandler.endResizing([guard = QPointer<QVR_InteractableViewHandler>(this)] {
            if (guard)
                guard->handleGestureDone();
        });
    } else if (kind == DragKind::Rotate) {
        m_rotateHandler.handleMove(translation);
        m_rotateHandler.endRotating([guard = QPointer<QVR_InteractableViewHandler>(this)] {
            if (guard)
                guard->handleGestureDone();
        });
        for (auto* view : currentlySelectedArray())
            view->update();
    }
}

void QVR_InteractableViewHandler::updateBand(const QPointF& translation)
{
    QVR_MultiSelectBoxView* box = band();
    QVR_CreatorSingleScreen* screen = mainInteractableView();
    if (!box->isActive() || !screen)
        return;
    box->handleTranslation(translation);
    const QRectF rect = box->band();
    std::vector<QVR_MixedMediaElementContainingView*> next;
    for (const auto& kept : box->keepSelectedViews) {
        if (auto* container = asContainer(kept.data()))
            next.push_back(container);
    }
    // Touching counts; a band without width or height selects nothing.
    if (rect.width() > 0 && rect.height() > 0) {
        for (auto* container : screen->elementContainers()) {
            const QRectF frame = container->frame();
            const bool touches = frame.left() <= rect.right() && rect.left() <= frame.right() &&
                                 frame.top() <= rect.bottom() && rect.top() <= frame.bottom();
            if (touches && Utils::isSelectable(container) &&
                std::find(next.begin(), next.end(), container) == next.end())
                next.push_back(container);
        }
    }
    setCurrentlySelected(next);
}

void QVR_InteractableViewHandler::handleBeginTranslation(const QPointF& translation,
                                                         QVR_MixedMediaElementContainingView* view, bool nudging)
{
    if (!m_translateHandlers.empty())
        endTranslating(nudging);
    std::vector<QVR_MixedMediaElementContainingView*> moving;
    if (isSelected(view))
        moving = currentlySelectedArray();
    else
        moving = {view};
    for (auto* container : moving) {
        auto object = container->mixedMediaObject();
        if (!object || !object->object())
            continue;
        if (m_translateHandlers.empty()) {
            // One gesture, one undo step, paging back to this screen.
            if (auto flow = (*object)->nearestParentItemOfClass<ZERI_FlowModel>()) {
                flow->beginUndoableChangesPagingToScreen((*object)->parentFlowScreenModel());
                m_openFlow = flow;
                m_openAction = flow->currentUndoableAction();
                if (const auto action = m_openAction.lock())
                    action->setActionDescription(UFM::UNDO_MANAGER_MOVE_OBJECT_TAG());
            }
        }
        m_translateHandlers.emplace_back();
        m_translateHandlers.back().startTranslating(container, object);
    }
    if (m_translateHandlers.empty())
        return;
    updateHoverVisibility();
    if (m_frame && m_frame->delegate() == this && !nudging)
        m_frame->setOpacity(0.0);
    emit translationStarted(nudging);
    m_snapNudging = nudging;
    beginSnapping();
    handleTranslate(translation);
}

void QVR_InteractableViewHandler::handleTranslate(const QPointF& translation)
{
    m_lastStepTranslation = translation;
    for (auto& handler : m_translateHandlers)
        handler.handleMove(translation);
    SnappingUtils::sharedSnappingGrid().modelSnapping_handleTranslation(translation, m_snapNudging);
    updateFlashLines();
}

void QVR_InteractableViewHandler::beginSnapping()
{
    hideFlashLines();
    QVR_CreatorSingleScreen* screen = mainInteractableView();
    std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>> tracked;
    for (const auto& handler : m_translateHandlers) {
        if (auto object = handler.currentMixedMediaObject())
            tracked.push_back(object);
    }
    SnappingGrid& grid = SnappingUtils::sharedSnappingGrid();
    SnappingUtils::initializeSnappingGrid(grid, screen ? screen->flowScreenModel() : nullptr,
                                          QSizeF(SnappingUtils::kArtboardMaxSize, SnappingUtils::kArtboardMaxSize));
    SnappingUtils::modelSnapping_setupSnappingGrid(grid, tracked, 1);
}

void QVR_InteractableViewHandler::updateFlashLines()
{
    const SnappingGrid& grid = SnappingUtils::sharedSnappingGrid();
    QVR_CreatorSingleScreen* screen = mainInteractableView();
    QGraphicsScene* scene = screen ? screen->scene() : nullptr;
    // One view per orientation for the whole gesture, its line moved in place: a step adds or removes no item.
    std::shared_ptr<SnappingGridLine> wanted[2];
    if (scene && !grid.snappingIsDisabled()) {
        for (const auto& connection : {grid.snappedTo_vertical(), grid.snappedTo_horizontal()}) {
            if (connection && connection->connectedTo)
                wanted[connection->connectedTo->orientation() == SnapVertical ? 0 : 1] = connection->connectedTo;
        }
    }
    const bool any = wanted[0] || wanted[1];
    if (!any && m_flashLines.empty())
        return;
    if (m_flashLines.size() != 2 || !m_flashLines[0] || !m_flashLines[1] || m_flashLines[0]->scene() != scene) {
        hideFlashLines();
        if (!any)
            return;
        for (SnapOrientation orientation : {SnapVertical, SnapHorizontal}) {
            auto* view = new QVR_SnapLineView(orientation);
            scene->addItem(view);
            m_flashLines.emplace_back(view);
        }
    }
    for (int i = 0; i < 2; ++i)
        m_flashLines[std::size_t(i)]->setSnapLine(wanted[i], grid);
}

void QVR_InteractableViewHandler::hideFlashLines()
{
    if (m_flashLinesTimer)
        m_flashLinesTimer->stop();
    for (auto& view : m_flashLines)
        delete view.data();
    m_flashLines.clear();
}

void QVR_InteractableViewHandler::endTranslating(bool nudging, bool cancel)
{
    for (auto& handler : m_translateHandlers) {
        if (cancel)
            handler.handleMove(QPointF());
        handler.endTranslating();
    }
    m_translateHandlers.clear();
    if (nudging && !cancel) {
        // A nudge's guide lines stay a moment after the last one; the next nudge or gesture replaces them.
        if (!m_flashLinesTimer) {
            m_flashLinesTimer = new QTimer(this);
            m_flashLinesTimer->setSingleShot(true);
            connect(m_flashLinesTimer, &QTimer::timeout, this, &QVR_InteractableViewHandler::hideFlashLines);
        }
        m_flashLinesTimer->start(kNudgeFlashLinesMs);
    } else {
        hideFlashLines();
    }
    auto flow = m_openFlow.lock();
    auto action = m_openAction.lock();
    // Only the change this move opened is closed: an undo meanwhile already closed it.
    if (flow && action && flow->currentUndoableAction() == action) {
        if (cancel)
            flow->cancelUndoableChanges();
        else
            flow->endUndoableChanges();
    }
    m_openFlow.reset();
    m_openAction.reset();
    updateHoverVisibility();
    if (m_frame && m_frame->delegate() == this) {
        if (nudging)
            m_frame->selectedViewsDidChange();
        else
            m_frame->revealSelectedItemView();
    }
    emit translationEnded(nudging);
}

bool QVR_InteractableViewHandler::canRespondToArrows() const
{
    const auto selected = currentlySelectedArray();
    if (selected.empty())
        return false;
    return selected.size() > 1 || !editedText(selected.front());
}

void QVR_InteractableViewHandler::nudge(int dx, int dy, uint modifierMask)
{
    if (!canRespondToArrows() || !m_translateHandlers.empty() || isBusy())
        return;
    const double step = (modifierMask & uint(Qt::ShiftModifier)) ? kShiftNudgeStep : kNudgeStep;
    const auto selected = currentlySelectedArray();
    handleBeginTranslation(QPointF(dx * step, dy * step), selected.front(), true);
    endTranslating(true);
}
