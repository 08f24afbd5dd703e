#include "gestures/handler/QVR_LeapHandlerCounterClockwiseCircleGesture.h"

#include <QApplication>
#include <QVariantMap>
#include <QWidget>

#include "app/QVRWindowManager.h"
#include "gestures/LeapCircleGesture.h"
#include "platform/NotificationCenter.h"

namespace {

constexpr float kTurnsToFire = 2.0f;

} // namespace

void QVR_LeapHandlerCounterClockwiseCircleGesture::handleCircleGesture(
    const std::shared_ptr<LeapCircleGesture>& gesture)
{
    if (!gesture)
        return;
    const LeapGestureState state = gesture->state();
    const bool ending = state == LeapGestureState::Stop || state == LeapGestureState::Invalid;
    if (isCurrentlyTrackingAGesture()) {
        if (gesture->id() != m_currentID)
            return;
        if (gesture->progress() > kTurnsToFire && !m_fired) {
            setCircleGesture(gesture);
            fire();
        }
        if (ending)
            setCircleGesture(nullptr);
        return;
    }
    // Not tracking: only a counter-clockwise circle seen before its second turn starts tracking.
    if (!ending && gesture->normal().z() > 0 && gesture->progress() < kTurnsToFire)
        setCircleGesture(gesture);
}

void QVR_LeapHandlerCounterClockwiseCircleGesture::setCircleGesture(const std::shared_ptr<LeapCircleGesture>& gesture)
{
    if (gesture == m_circleGesture)
        return;
    m_fired = false;
    m_circleGesture = gesture;
    m_currentID = gesture ? gesture->id() : -1;
}

void QVR_LeapHandlerCounterClockwiseCircleGesture::fire()
{
    if (m_fired)
        return;
    m_fired = true;
    ++m_circlesPosted;
    QWidget* front = QApplication::activeWindow();
    const auto kind = QVRWindowManager::sharedInstance().kindOfWindow(front);
    if (kind != QVRWindowManager::WindowKind::Viewer && kind != QVRWindowManager::WindowKind::TabletPreview)
        front = nullptr;
    NotificationCenter::defaultCenter().post(
        QStringLiteral("qvrLeapHandlingCounterClockwiseCircleRepeated"), this,
        QVariantMap{{QStringLiteral("circleNumber"), m_circlesPosted},
                    {QStringLiteral("window"), QVariant::fromValue<QWidget*>(front)}});
}
