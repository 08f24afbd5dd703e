#pragma once

#include <QObject>
#include <QPointF>
#include <QPointer>

class QGraphicsObject;
class QTimer;
class QVR_MouseEventHandler;
class QVR_SingleScreenArtBoardView;

// Watches the viewport of one editable art board and turns its left-button events into presses, clicks, drags
// and hover changes for its delegate. Points are scene units.
//
// A press is a click when released before the click-detection delay without any move in between and without
// leaving the viewport; a drag starts on the first move or, unless switched off, when the delay passes, with no
// distance threshold. Right clicks and Meta-clicks (context menus), presses while the window shows a modal sheet
// and presses the delegate does not track (a click into text being edited) are left to ordinary dispatch: such
// a press reports nothing until its release.
//
// Posts kDragBegan/kDragDragged/kDragEnded with the board's single screen as sender. Main thread only.
class QVR_MouseMonitor : public QObject {
    Q_OBJECT
public:
    static const QString kDragBeganNotification;   // "MOUSE_MONITOR_DRAG_BEGAN_NOTIFICATION_NAME"
    static const QString kDragDraggedNotification; // "MOUSE_MONITOR_DRAG_DRAGGED_NOTIFICATION_NAME"
    static const QString kDragEndedNotification;   // "MOUSE_MONITOR_DRAG_ENDED_NOTIFICATION_NAME"

    // Whether a visible modal dialog keeps `window` from input: an application-modal one, or a window-modal one
    // over it.
    static bool blockedByModalDialog(const QWidget* window);

    QVR_MouseMonitor(QVR_SingleScreenArtBoardView* board, QVR_MouseEventHandler* delegate);
    ~QVR_MouseMonitor() override;

    void setDelegate(QVR_MouseEventHandler* delegate) { m_delegate = delegate; }
    QVR_SingleScreenArtBoardView* board() const { return m_board; }

    bool isCurrentlyDragging() const { return m_state == State::Dragging; }
    QGraphicsObject* currentlyHovered() const { return m_hovered; }
    // The topmost interactable item at a scene point, skipping items that take no mouse buttons; nullptr for
    // the screen itself or beside it.
    QGraphicsObject* hitTest(const QPointF& scenePoint) const;
    // Whether a press held past the click-detection delay without moving starts a drag by itself (the
    // default); when not, it waits for a move or its release, which is then no click.
    bool initiatesMouseDragOnFailedMouseClickWhenNoMovement() const { return m_dragOnHold; }
    void setInitiatesMouseDragOnFailedMouseClickWhenNoMovement(bool drag) { m_dragOnHold = drag; }
    // Ends the current drag at once with translation (0, 0); the later moves do nothing and the release only
    // updates the hover (no mouse-up).
    void cancelDragging();
    // Whether the button of a cancelled drag is still down.
    bool isHoldingCancelledDrag() const { return m_state == State::Cancelled; }
    // Ends the gesture under way as a release would, without telling the delegate: a drag taken over by a system
    // drag never sees its release.
    void abandonGesture();
    // Makes `item` the dragged item of the drag in progress (a drag on empty space turning into a rubber band).
    void overrideFocusViewForDragging(QGraphicsObject* item) { m_focus = item; }

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class State { Idle, Pressed, PressedNoClick, Dragging, Cancelled, Refused };

    bool acceptsEvents() const;
    void startDrag(const QPointF& scenePoint);
    void stopTimer();
    void updateHover(const QPointF& scenePoint);
    void post(const QString& name);
    void finish(const QPointF& scenePoint);

    QPointer<QVR_SingleScreenArtBoardView> m_board;
    QVR_MouseEventHandler* m_delegate = nullptr;
    QTimer* m_clickTimer = nullptr;
    State m_state = State::Idle;
    QPointer<QGraphicsObject> m_focus;
    QPointer<QGraphicsObject> m_hovered;
    QPointF m_touchDown;
    // Whether the pointer moved while pressed. A drag begun by holding still that saw no motion moves nothing, so
    // a release that comes back elsewhere (a gesture controller's touch, whose finger scrolls) cannot make it jump.
    bool m_movedWhilePressed = false;
    QPointF m_lastPoint;
    Qt::KeyboardModifiers m_pressModifiers;
    bool m_dragOnHold = true;
};
