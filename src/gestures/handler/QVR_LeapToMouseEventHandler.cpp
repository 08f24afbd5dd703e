#include "gestures/handler/QVR_LeapToMouseEventHandler.h"

#include <chrono>
#include <cmath>

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWidget>
#include <QWindow>

#include "gestures/GesturesLogging.h"
#include "gestures/LeapFrame.h"
#include "gestures/LeapInteractionBox.h"
#include "gestures/LeapPointable.h"
#include "gestures/handler/QVR_LeapHandler.h"
#include "gestures/handler/QVR_LeapUtils.h"

namespace {

std::int32_t g_eventCounter = 1;

// Clients may not move the pointer on Wayland; there the events still reach our windows, computed in window
// coordinates only.
bool canMovePointer()
{
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

QWindow* windowHandle(QWidget* window)
{
    return window ? window->windowHandle() : nullptr;
}

// Whole pixels towards zero, kept in range for the integer deltas.
int truncated(double value)
{
    if (!std::isfinite(value))
        return 0;
    return int(std::clamp(std::trunc(value), -1.0e6, 1.0e6));
}

} // namespace

QVR_LeapToMouseEventHandler::QVR_LeapToMouseEventHandler(QVR_LeapHandler* handler)
    : m_handler(handler)
{
}

std::int32_t QVR_LeapToMouseEventHandler::eventCounter()
{
    return g_eventCounter;
}

double QVR_LeapToMouseEventHandler::timeIntervalSinceStartup()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

std::shared_ptr<LeapPointable>
QVR_LeapToMouseEventHandler::getFrontmostPointableWithFrame(const std::shared_ptr<LeapFrame>& frame)
{
    return QVR_LeapUtils::getFrontmostPointableWithFrame(frame);
}

int QVR_LeapToMouseEventHandler::numberOfPointablesInFrame(const std::shared_ptr<LeapFrame>& frame)
{
    return frame ? int(frame->pointables().size()) : 0;
}

void QVR_LeapToMouseEventHandler::processLeapFrame(const std::shared_ptr<LeapFrame>& frame)
{
    if (!frame)
        return;
    m_currentInteractionBox = frame->interactionBox();
    m_currentFrontmostPointable = getFrontmostPointableWithFrame(frame);
    if (!m_currentFrontmostPointable) {
        processZeroPointables();
    } else {
        const std::int32_t change = didZoneChange(std::int32_t(m_currentFrontmostPointable->touchZone()));
        if (change != NoChange)
            handleZoneChange(change);
        if (auto previous = getFrontmostPointableWithFrame(m_lastProcessedFrame)) {
            if (m_currentFrontmostPointable->touchZone() == LeapPointableZone::Touching)
                postScrollWheelEventFromPointable(previous, m_currentFrontmostPointable);
        }
    }
    m_lastProcessedFrame = frame;
}

std::int32_t QVR_LeapToMouseEventHandler::didZoneChange(std::int32_t newZone)
{
    const std::int32_t old = m_currentZone;
    m_currentZone = newZone;
    if (old == newZone)
        return NoChange;
    if (newZone == ZoneTouching)
        return Press;
    if (old == ZoneTouching && (newZone == ZoneHovering || newZone == ZoneNone))
        return Release;
    return NoChange;
}

void QVR_LeapToMouseEventHandler::handleZoneChange(std::int32_t change)
{
    if (change == Press)
        simulateMouseDownWithPointable(m_currentFrontmostPointable);
    else if (change == Release)
        simulateMouseUpWithPointable(m_currentFrontmostPointable);
    else
        qCWarning(lcGestures, "unhandled event type for zone changes! %d", int(change));
}

void QVR_LeapToMouseEventHandler::processZeroPointables()
{
    if (didZoneChange(ZoneNone) != Release)
        return;
    if (auto previous = getFrontmostPointableWithFrame(m_lastProcessedFrame))
        simulateMouseUpWithPointable(previous);
    else
        qCWarning(lcGestures) << "shouldn't be possible to get here!";
}

QWidget* QVR_LeapToMouseEventHandler::targetWindow() const
{
    return m_handler ? m_handler->currentMainWindow() : nullptr;
}

QPointF QVR_LeapToMouseEventHandler::getPointableCenter(const std::shared_ptr<LeapPointable>& pointable) const
{
    return QVR_LeapUtils::centerForPointable(pointable, m_currentInteractionBox, targetWindow());
}

bool QVR_LeapToMouseEventHandler::gestureTracked() const
{
    return m_handler && m_handler->isCurrentlyTrackingAGesture();
}

void QVR_LeapToMouseEventHandler::simulateMouseDownWithPointable(const std::shared_ptr<LeapPointable>& pointable)
{
    // A hand with 3 or more pointables may be swiping: no press.
    if (numberOfPointablesInFrame(m_lastProcessedFrame) > 2)
        return;
    QWidget* window = targetWindow();
    if (!windowHandle(window))
        return;
    // A release still owed (held back during a gesture) goes first, so the button is never pressed twice.
    if (m_buttonDown && m_pendingRelease && m_pressedWindow)
        postButtonEvent(false, m_pressedWindow, *m_pendingRelease);
    m_pendingRelease.reset();
    postButtonEvent(true, window, getPointableCenter(pointable));
    m_pressedWindow = window;
    m_buttonDown = true;
}

void QVR_LeapToMouseEventHandler::simulateMouseUpWithPointable(const std::shared_ptr<LeapPointable>& pointable)
{
    if (!m_buttonDown)
        return;
    const QPointF point = QVR_LeapUtils::centerForPointable(pointable, m_currentInteractionBox, m_pressedWindow.data());
    if (gestureTracked()) {
        m_pendingRelease = point;
        return;
    }
    if (m_pressedWindow)
        postButtonEvent(false, m_pressedWindow, point);
    m_buttonDown = false;
    m_pendingRelease.reset();
}

void QVR_LeapToMouseEventHandler::postPendingReleaseIfIdle()
{
    if (!m_pendingRelease || gestureTracked())
        return;
    if (m_buttonDown && m_pressedWindow)
        postButtonEvent(false, m_pressedWindow, *m_pendingRelease);
    m_buttonDown = false;
    m_pendingRelease.reset();
}

void QVR_LeapToMouseEventHandler::postButtonEvent(bool press, QWidget* window, const QPointF& point)
{
    QWindow* target = windowHandle(window);
    if (!target)
        return;
    const QPointF global = window->mapToGlobal(point);
    if (canMovePointer())
        QCursor::setPos(global.toPoint());
    auto* event = new QMouseEvent(press ? QEvent::MouseButtonPress : QEvent::MouseButtonRelease, point, point, global,
                                  Qt::LeftButton, press ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
    event->setTimestamp(quint64(timeIntervalSinceStartup() * 1000.0));
    QCoreApplication::postEvent(target, event);
    ++g_eventCounter;
}

void QVR_LeapToMouseEventHandler::postScrollWheelEventFromPointable(const std::shared_ptr<LeapPointable>& from,
                                                                    const std::shared_ptr<LeapPointable>& to)
{
    QWidget* window = targetWindow();
    QWindow* target = windowHandle(window);
    if (!target)
        return;
    const QPointF a = getPointableCenter(from);
    const QPointF b = getPointableCenter(to);
    // The deltas follow the controller's y-up sense: a finger moving down the window scrolls up.
    const double height = window->height();
    const int wheel1 = 2 * truncated((height - a.y()) - (height - b.y()));
    const int wheel2 = 2 * truncated(a.x() - b.x());
    if (wheel1 == 0 && wheel2 == 0)
        return;
    const QPoint delta(wheel2, wheel1);
    auto* event = new QWheelEvent(b, window->mapToGlobal(b), delta, delta, Qt::NoButton, Qt::NoModifier,
                                  Qt::NoScrollPhase, false);
    QCoreApplication::postEvent(target, event);
}
