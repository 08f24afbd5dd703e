#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QSizeF>

#include "creator/interaction/QVR_CoordinatesDisplayView.h"
#include "creator/interaction/QVR_InteractionOverlays.h"
#include "creator/interaction/QVR_MixedMediaObjectResizeHandler.h"
#include "creator/interaction/QVR_MixedMediaObjectRotateHandler.h"
#include "creator/interaction/QVR_MouseEventHandler.h"
#include "creator/interaction/QVR_SelectedItemView.h"

class QMimeData;
class QPixmap;
class QTimer;
class QWidget;
class QVR_CreatorSingleScreen;
class QVR_CropView;
class QVR_MixedMediaElementContainingView;
class QVR_MouseMonitor;
class QVR_SingleScreenArtBoardView;
class QVR_SnapLineView;
class UndoableAction;
class ZERI_FlowModel;
class ZERI_FlowScreenModel;
class ZERI_MixedMediaObjectProxy;

// The editing controller of one editable art board: hover feedback, selection (click, Shift/Ctrl-click, rubber
// band), moving elements by drag and nudging them with the arrow keys. Every move is one undoable change on the
// flow that owns the screen, tagged with the screen to page back to.
//
// The selection is kept back to front (by stacking) and holds containers weakly: a container that goes (an
// undo, a deletion) simply leaves it. Resize and rotate drags of the one selected element go to their handlers,
// with snapping on resizes; until a finished one's picture is set, no new gesture starts. Main thread only.
class QVR_InteractableViewHandler : public QObject, public QVR_MouseEventHandler, public QVR_SelectedItemHandler {
    Q_OBJECT
public:
    // Nudge steps in points: plain and with Shift.
    static constexpr double kNudgeStep = 1.0;
    static constexpr double kShiftNudgeStep = 10.0;
    // How long the guide lines of a nudge stay after the last one.
    static constexpr int kNudgeFlashLinesMs = 1000;

    explicit QVR_InteractableViewHandler(QVR_SingleScreenArtBoardView* board);
    ~QVR_InteractableViewHandler() override;

    // The handler of an art board, or nullptr (preview boards have none).
    static QVR_InteractableViewHandler* handlerForBoard(const QVR_SingleScreenArtBoardView* board);

    QVR_SingleScreenArtBoardView* board() const { return m_board; }
    QVR_CreatorSingleScreen* mainInteractableView() const;
    QVR_MouseMonitor* mouseMonitor() const { return m_monitor; }
    QVR_HoveredItemView* hoveredViewOverlay() { return hover(); }
    QVR_MultiSelectBoxView* multiSelectBox() { return band(); }

    // Selection, back to front.
    std::vector<QVR_MixedMediaElementContainingView*> currentlySelectedArray() const;
    std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>> currentlySelectedMixedMediaObjectArray() const;
    bool isSelected(const QGraphicsObject* item) const;
    void addToCurrentlySelected(QVR_MixedMediaElementContainingView* container);
    void removeFromCurrentlySelected(QVR_MixedMediaElementContainingView* container);
    void setCurrentlySelected(const std::vector<QVR_MixedMediaElementContainingView*>& containers);
    void deselectAll();
    bool multiSelectBoxIsActive() const { return m_band && m_band->isActive(); }
    QGraphicsObject* currentlyHovered() const { return m_hover ? m_hover->hoveredView() : nullptr; }
    bool deselectedOnMouseDown() const { return m_deselectedOnMouseDown; }
    bool isTranslating() const { return !m_translateHandlers.empty(); }
    QVR_MixedMediaObjectResizeHandler& resizeHandler() { return m_resizeHandler; }
    QVR_MixedMediaObjectRotateHandler& rotateHandler() { return m_rotateHandler; }
    // A finished resize or rotate still waits for its picture: no new gesture starts meanwhile.
    bool isBusy() const { return m_resizeHandler.isBusy() || m_rotateHandler.isBusy(); }

    // The coordinate read-out. Its start hooks are left empty, so the creator shows none; the others act on a
    // badge when one exists.
    void startDisplayingCoordinates(QVR_MixedMediaElementContainingView*, const QPointF&) {}
    void startDisplayingCoordForSelectedItemView(const QPointF&) {}
    void continueDisplayingCoordinates(const QPointF& scenePoint);
    void stopDisplayingCoordinates();
    QVR_CoordinatesDisplayView* coordsView() const { return m_coordsView; }

    // Whether the arrows may move the selection: something selected, and not a single text being edited.
    bool canRespondToArrows() const;
    // Moves the selection by (dx, dy) steps of one point (ten with Shift in `modifierMask`), y down; each call is
    // one undo step. Ignored when canRespondToArrows() is false.
    void nudge(int dx, int dy, uint modifierMask);

    // QVR_MouseEventHandler. A press on an item that keeps the event (text being edited) is not tracked.
    bool shouldTrackView(QGraphicsObject* item, QPointF scenePoint) override;
    void mouseDown(QGraphicsObject* item, QPointF scenePoint, Qt::KeyboardModifiers modifiers) override;
    void mouseClicked(QGraphicsObject* item, QPointF scenePoint, Qt::KeyboardModifiers modifiers) override;
    void mouseUp(QGraphicsObject* item, QPointF scenePoint) override;
    void dragBegan(QGraphicsObject* item, QPointF translation, Qt::KeyboardModifiers modifiers) override;
    void dragMoved(QGraphicsObject* item, QPointF translation) override;
    void dragEnded(QGraphicsObject* item, QPointF translation) override;
    void hoverChanged(QGraphicsObject* item) override;

    // Edit commands on the selection, each one undo step that pages back to this screen. Delete removes the
    // selection (a single text being edited keeps the key unless Ctrl is held); the stacking commands move
    // the selected objects among the screen's objects, keeping their relative order. While content is being
    // added (`setCommandsBlocked`) they do nothing.
    // Copy writes the selection's objects (back to front) to the clipboard once their files are linked into the
    // temporary folder, which happens on a worker: the call returns at once and copyWritten() follows. Cut copies,
    // then deletes as Delete does. The element menu of an element that is not selected copies and cuts that
    // element alone through the same two calls, given the objects.
    bool canCopySelection() const { return canDeleteSelection(); }
    void copySelection() { copySelection(selectedObjectsOfScreen()); }
    void copySelection(const std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>>& objects);
    void cutSelection(uint modifierMask);
    void cutObjects(const std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>>& objects);
    bool canDeleteSelection() const;
    void deleteSelection(uint modifierMask);
    bool canBringForward() const;
    bool canSendBackward() const;
    void bringForward();
    void bringToFront();
    void sendBackward();
    void sendToBack();
    void setCommandsBlocked(std::function<bool()> blocked) { m_commandsBlocked = std::move(blocked); }

    // Drag-out: a move or rubber band whose pointer rests outside the canvas's viewport for kDragOutDelayMs is
    // cancelled (moved elements go back, no undo step; the band ends), the selection is cleared and
    // dragOutStarted() is emitted. What a move moved, or what a band had selected, is dragged out; a band that
    // selected nothing goes on. The first
    // element's picture is then made: its cropped picture read on a worker, else the element painted. Once the
    // picture and the copies of the moved objects (made as the copy command makes them) are ready, the copies go
    // to the clipboard and a drag of them plus the picture begins from the viewport, unless the mouse was
    // released, another press came or a moved object left the screen meanwhile. The drag's pixmap measures
    // dragPictureSize() points, with its bottom-left corner at the pointer (`hotSpot`, in points from the
    // pixmap's top-left). The starter takes ownership of the data; the default runs a QDrag, tests replace it.
    static constexpr int kDragOutDelayMs = 500;
    static constexpr int kDragPictureMaximum = 140;
    using DragStarter =
        std::function<void(QWidget* source, QMimeData* data, const QPixmap& picture, const QPoint& hotSpot)>;
    static void setDragStarter(DragStarter starter);
    // The drag picture's size in points for a picture of `pixels` dragged from an element of `frame` points: the
    // picture's own size when neither side exceeds kDragPictureMaximum, else the frame scaled by
    // kDragPictureMaximum over the picture's larger side.
    static QSizeF dragPictureSize(const QSize& pixels, const QSizeF& frame);

    // Crop mode over the first selected element: it leaves the selection, its container hides and a crop view
    // takes its place; false (nothing changes) without a selected element that has an original picture. Ending
    // it cancels (the entry state back, no undo step) or completes: the offset and frame are written, the
    // pictures are made on a worker, and crop mode lasts (isCropping) until they are set as one undo step; the
    // container then shows and is selected again. An original that could not be read turns Complete into Cancel.
    bool beginCropForCurrentlySelectedView();
    void cancelCrop() { endCropping(true); }
    void completeCropping() { endCropping(false); }
    void endCropping(bool cancel);
    bool isCropping() const;
    QVR_CropView* cropView() const;

    // QVR_SelectedItemHandler. Enter completes a crop.
    void enterKeyPressed() override
    {
        if (isCropping())
            completeCropping();
    }
    void wantsToDeleteViews(const std::vector<QVR_MixedMediaElementContainingView*>&, uint mask) override
    {
        deleteSelection(mask);
    }
    bool performsDelete() const override { return true; }
    void wantsToMoveViews(int dx, int dy, uint mask) override { nudge(dx, dy, mask); }
    void wantsToDeselectAllViews() override
    {
        if (isCropping())
            completeCropping();
        else
            deselectAll();
    }
    void willHideForNudge() override;
    void willRevealAfterNudge() override;

    // The window's selection frame, when the board sits in a creator window.
    QVR_SelectedItemView* selectedViewOverlay() const { return m_frame; }
    // Shows this board's selection in the window's frame (the window calls it when it shows the board).
    void pushSelectionToFrame();
    // Ends a crop on this board: cancels it (true) or completes it (false); without a crop under way it changes
    // nothing. croppingDidEnd follows in both cases.
    void croppingEnded(bool cancel)
    {
        endCropping(cancel);
        emit croppingDidEnd(cancel);
    }

signals:
    // A resize or rotate gesture ended and its undo step is closed.
    void handleGestureFinished();
    // A copy reached the clipboard.
    void copyWritten();
    void croppingDidEnd(bool cancelled);
    void selectionChanged();
    // A move (drag or nudge) started or ended; the selection frame hides meanwhile.
    void translationStarted(bool nudging);
    void translationEnded(bool nudging);
    // A move held outside the canvas was cancelled to become a drag-out; the drag follows once its picture and
    // copies are ready.
    void dragOutStarted();

private:
    enum class DragKind { None, RubberBand, Translate, Resize, Rotate, CropMove, CropResize, CropZoom };

    bool commandsBlocked() const { return m_commandsBlocked && m_commandsBlocked(); }
    // The selected objects that belong to this board's screen, in selection order (back to front).
    std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>> selectedObjectsOfScreen() const;
    // Runs `edit` on the screen as one undo step of its flow, paging back to the screen on undo.
    void changeScreen(const QString& actionName, const std::function<void(ZERI_FlowScreenModel&)>& edit);
    void removeObjects(const std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>>& objects);

    void sortAndNotify(const std::vector<QVR_MixedMediaElementContainingView*>& before);
    void prune() const;
    void handleBeginTranslation(const QPointF& translation, QVR_MixedMediaElementContainingView* view, bool nudging);
    void handleTranslate(const QPointF& translation);
    void endTranslating(bool nudging, bool cancel = false);
    // A drag-out waiting for its picture and its copies (main thread only).
    struct PendingDragOut {
        quint64 number = 0;
        quint64 copyNumber = 0;
        std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>> objects;
        QPointer<QVR_MixedMediaElementContainingView> first;
        QSizeF frameSize;
        qreal pixelRatio = 1.0;
        bool pictureReady = false;
        QImage picture;
        QImage dragImage;
        std::optional<std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>>> copies;
    };

    void checkDragOut(const QPointF& scenePoint);
    void beginDragOut();
    std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>>
    dragOutObjects(QVR_MixedMediaElementContainingView** first) const;
    void dragOutPictureLoaded(quint64 number, const QImage& picture, const QImage& dragImage);
    void continueDragOut();
    void updateBand(const QPointF& translation);
    // The crop rows of the drag table: true when `item` belongs to crop mode (the drag is then the crop's).
    bool cropDragBegan(QGraphicsObject* item, const QPointF& translation);
    void cropDragMoved(const QPointF& translation);
    void cropDragEnded(const QPointF& translation);
    // The cropped element is being destroyed: the change is cancelled and the crop view goes.
    void abandonCrop();
    void finishCrop(QVR_MixedMediaElementContainingView* container, bool cancelled);
    void updateHoverVisibility();
    QVR_HoveredItemView* hover();
    QVR_MultiSelectBoxView* band();
    // Snapping of move drags: the grid is built when a move starts, corrects every step, and its held lines show
    // as flash lines until the move ends. Resize drags call the grid through their own handler.
    void beginSnapping();
    // Resize and rotate drags of the one selected element.
    bool beginHandleDrag(QGraphicsObject* item, const QPointF& translation, Qt::KeyboardModifiers modifiers);
    void resizeStep(const QPointF& translation);
    void handleGestureDone();
    void updateFlashLines();
    void hideFlashLines();

    QPointer<QVR_SingleScreenArtBoardView> m_board;
    QPointer<QVR_SelectedItemView> m_frame;
    QVR_MouseMonitor* m_monitor = nullptr;
    QPointer<QVR_HoveredItemView> m_hover;
    QPointer<QVR_MultiSelectBoxView> m_band;
    mutable std::vector<QPointer<QVR_MixedMediaElementContainingView>> m_selection;
    std::vector<QVR_MixedMediaObjectTranslateHandler> m_translateHandlers;
    std::weak_ptr<ZERI_FlowModel> m_openFlow;
    std::weak_ptr<UndoableAction> m_openAction;
    DragKind m_dragKind = DragKind::None;
    QPointF m_pressPoint;
    bool m_deselectedOnMouseDown = false;
    std::function<bool()> m_commandsBlocked;
    bool m_snapNudging = false;
    // The translation of the last move or resize step: a release where the pointer last moved keeps what that
    // step showed, snapped guides included.
    QPointF m_lastStepTranslation;
    std::vector<QPointer<QVR_SnapLineView>> m_flashLines;
    QVR_MixedMediaObjectResizeHandler m_resizeHandler;
    QVR_MixedMediaObjectRotateHandler m_rotateHandler;
    QPointer<QVR_CoordinatesDisplayView> m_coordsView;
    QPointer<QVR_CropView> m_cropView;
    QTimer* m_dragOutTimer = nullptr;
    QTimer* m_flashLinesTimer = nullptr;
    std::unique_ptr<PendingDragOut> m_dragOut;
    quint64 m_dragOutNumber = 0;
};
