#include "creator/interaction/QVR_MouseMonitor.h"

#include <QApplication>
#include <QGraphicsScene>
#include <QMouseEvent>
#include <QTimer>

#include "creator/canvas/QVR_ArtBoardScrollView.h"
#include "creator/canvas/QVR_CreatorSingleScreen.h"
#include "creator/canvas/QVR_Interactable.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/interaction/QVR_InteractionModelUtils.h"
#include "creator/interaction/QVR_MouseEventHandler.h"
#include "platform/NotificationCenter.h"

const QString QVR_MouseMonitor::kDragBeganNotification = QStringLiteral("MOUSE_MONITOR_DRAG_BEGAN_NOTIFICATION_NAME");
const QString QVR_MouseMonitor::kDragDraggedNotification =
    QStringLiteral("MOUSE_MONITOR_DRAG_DRAGGED_NOTIFICATION_NAME");
const QString QVR_MouseMonitor::kDragEndedNotification = QStringLiteral("MOUSE_MONITOR_DRAG_ENDED_NOTIFICATION_NAME");

QVR_MouseMonitor::QVR_MouseMonitor(QVR_SingleScreenArtBoardView* board, QVR_MouseEventHandler* delegate)
    : QObject(board)
    , m_board(board)
    , m_delegate(delegate)
    , m_clickTimer(new QTimer(this))
{
    m_clickTimer->setSingleShot(true);
    connect(m_clickTimer, &QTimer::timeout, this, [this] {
        if (m_state != State::Pressed)
            return;
        if (m_dragOnHold)
            startDrag(m_touchDown);
        else
            m_state = State::PressedNoClick;
    });
    QWidget* viewport = board->theScrollView()->viewport();
    viewport->setMouseTracking(true);
    viewport->installEventFilter(this);
}

QVR_MouseMonitor::~QVR_MouseMonitor() = default;

bool QVR_MouseMonitor::blockedByModalDialog(const QWidget* window)
{
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top == window || !top->isVisible() || top->windowModality() == Qt::NonModal)
            continue;
        if (top->windowModality() == Qt::ApplicationModal)
            return true;
        // A window-modal dialog blocks the windows it stands over: its parent's window and theirs.
        for (QWidget* over = top->parentWidget(); over; over = over->window()->parentWidget()) {
            if (over->window() == window)
                return true;
        }
    }
    return false;
}

bool QVR_MouseMonitor::acceptsEvents() const
{
    if (!m_board || m_board->isPreviewOnly() || !m_board->singleScreen() || !m_delegate)
        return false;
    // A modal dialog or sheet of the window keeps the canvas still; one over another window does not (objects
    // are dragged from here into another document's gallery editor).
    return !blockedByModalDialog(m_board->window());
}

QGraphicsObject* QVR_MouseMonitor::hitTest(const QPointF& scenePoint) const
{
    if (!m_board || !m_board->singleScreen() || !m_board->singleScreen()->scene())
        return nullptr;
    // The view's transform finds the handles that keep their size on screen.
    const auto items = m_board->singleScreen()->scene()->items(scenePoint, Qt::IntersectsItemShape, Qt::DescendingOrder,
                                                               m_board->theScrollView()->viewportTransform());
    for (QGraphicsItem* item : items) {
        // Overlays are looked through; so is the mask, which belongs to no interactable item.
        if (QVR_InteractionModelUtils::isMouseTransparent(item) || !item->isVisible() || !item->isEnabled() ||
            item->effectiveOpacity() <= 0.0)
            continue;
        for (QGraphicsItem* walk = item; walk; walk = walk->parentItem()) {
            if (QVR_InteractionModelUtils::isMouseTransparent(walk))
                break;
            if (QVR_InteractionModelUtils::interactable(walk))
                return walk->toGraphicsObject();
        }
    }
    return nullptr;
}

void QVR_MouseMonitor::post(const QString& name)
{
    NotificationCenter::defaultCenter().post(name, m_board ? m_board->singleScreen() : nullptr);
}

void QVR_MouseMonitor::stopTimer()
{
    m_clickTimer->stop();
}

void QVR_MouseMonitor::startDrag(const QPointF& scenePoint)
{
    stopTimer();
    m_state = State::Dragging;
    post(kDragBeganNotification);
    if (m_delegate)
        m_delegate->dragBegan(m_focus, scenePoint - m_touchDown, m_pressModifiers);
}

void QVR_MouseMonitor::cancelDragging()
{
    if (m_state != State::Dragging)
        return;
    m_state = State::Cancelled;
    if (m_delegate)
        m_delegate->dragEnded(m_focus, QPointF(0, 0));
    post(kDragEndedNotification);
}

void QVR_MouseMonitor::abandonGesture()
{
    const bool dragging = m_state == State::Dragging;
    m_state = State::Idle;
    stopTimer();
    m_focus = nullptr;
    if (dragging)
        post(kDragEndedNotification);
}

void QVR_MouseMonitor::updateHover(const QPointF& scenePoint)
{
    QGraphicsObject* hit = hitTest(scenePoint);
    if (hit == m_hovered)
        return;
    m_hovered = hit;
    if (m_delegate)
        m_delegate->hoverChanged(hit);
}

void QVR_MouseMonitor::finish(const QPointF& scenePoint)
{
    const State state = m_state;
    m_state = State::Idle;
    stopTimer();
    QPointer<QGraphicsObject> focus = m_focus;
    m_focus = nullptr;
    if (state == State::Dragging) {
        if (m_delegate)
            m_delegate->dragEnded(focus, m_movedWhilePressed ? scenePoint - m_touchDown : QPointF());
        post(kDragEndedNotification);
    } else if (state == State::Pressed) {
        if (m_delegate)
            m_delegate->mouseClicked(hitTest(scenePoint), scenePoint, m_pressModifiers);
    }
    if (state != State::Refused) {
        m_hovered = nullptr;
        updateHover(scenePoint);
        if (m_delegate && state != State::Cancelled)
            m_delegate->mouseUp(focus, scenePoint);
    }
}

bool QVR_MouseMonitor::eventFilter(QObject* watched, QEvent* event)
{
    (void)watched;
    const QEvent::Type type = event->type();
    if (type == QEvent::Leave) {
        if (m_state == State::Pressed) {
            stopTimer();
            m_state = State::PressedNoClick;
        }
        if (m_state != State::Dragging && m_hovered) {
            m_hovered = nullptr;
            if (m_delegate)
                m_delegate->hoverChanged(nullptr);
        }
        return false;
    }
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove && type != QEvent::MouseButtonRelease &&
        type != QEvent::MouseButtonDblClick)
        return false;
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (!acceptsEvents()) {
        m_state = State::Idle;
        return false;
    }
    const QPointF scenePoint = m_board->theScrollView()->mapToScene(mouse->position().toPoint()) +
                               (mouse->position() - mouse->position().toPoint());
    m_lastPoint = scenePoint;

    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        // Right clicks and Meta-clicks (the Control-click of other keyboards) belong to the context menus.
        if (mouse->button() != Qt::LeftButton || (mouse->modifiers() & Qt::MetaModifier) || m_state != State::Idle)
            return false;
        QGraphicsObject* hit = hitTest(scenePoint);
        if (!m_delegate->shouldTrackView(hit, scenePoint)) {
            // The press belongs to the item (text being edited) until its release.
            m_state = State::Refused;
            return false;
        }
        m_focus = hit;
        m_touchDown = scenePoint;
        m_movedWhilePressed = false;
        m_pressModifiers = mouse->modifiers();
        m_state = State::Pressed;
        m_delegate->mouseDown(hit, scenePoint, m_pressModifiers);
        m_clickTimer->start(int(QVR_InteractionModelUtils::clickDetectionTimeDelay() * 1000.0));
        return true;
    }
    case QEvent::MouseMove:
        if (m_state == State::Idle) {
            updateHover(scenePoint);
            return false;
        }
        if (m_state == State::Refused)
            return false;
        if (!(mouse->buttons() & Qt::LeftButton))
            return false;
        if (m_state == State::Cancelled) // the rest of a cancelled drag does nothing
            return true;
        m_movedWhilePressed = true;
        if (m_state == State::Pressed || m_state == State::PressedNoClick) {
            startDrag(scenePoint);
            return true;
        }
        if (m_state == State::Dragging) {
            if (m_delegate)
                m_delegate->dragMoved(m_focus, scenePoint - m_touchDown);
            post(kDragDraggedNotification);
        }
        return true;
    case QEvent::MouseButtonRelease: {
        if (mouse->button() != Qt::LeftButton || m_state == State::Idle)
            return false;
        const bool refused = m_state == State::Refused;
        // A press released beyond the viewport left it: no click, whatever lies there in the scene.
        if (m_state == State::Pressed &&
            !m_board->theScrollView()->viewport()->rect().contains(mouse->position().toPoint()))
            m_state = State::PressedNoClick;
        finish(scenePoint);
        return !refused;
    }
    default:
        return false;
    }
}
