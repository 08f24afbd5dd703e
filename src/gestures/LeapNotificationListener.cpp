#include "gestures/LeapNotificationListener.h"

#include "gestures/GesturesLogging.h"
#include "gestures/LeapListener.h"
#include "platform/MainThread.h"
#include "platform/NotificationCenter.h"

LeapNotificationListener::LeapNotificationListener(std::weak_ptr<LeapControllerLifetime> controller)
    : m_controller(std::move(controller))
{
}

void LeapNotificationListener::onInit(const Leap::Controller&)
{
    post(LeapNotification::OnInit);
}
void LeapNotificationListener::onConnect(const Leap::Controller&)
{
    post(LeapNotification::OnConnect);
}
void LeapNotificationListener::onDisconnect(const Leap::Controller&)
{
    post(LeapNotification::OnDisconnect);
}
void LeapNotificationListener::onExit(const Leap::Controller&)
{
    post(LeapNotification::OnExit);
}
void LeapNotificationListener::onFrame(const Leap::Controller&)
{
    post(LeapNotification::OnFrame);
}
void LeapNotificationListener::onFocusGained(const Leap::Controller&)
{
    post(LeapNotification::OnFocusGained);
}
void LeapNotificationListener::onFocusLost(const Leap::Controller&)
{
    post(LeapNotification::OnFocusLost);
}

void LeapNotificationListener::post(const QString& name) const
{
    // Controllers are created and destroyed on the main thread, where this block runs too, so the check
    // cannot race with the destruction.
    MainThread::run(
        [controller = m_controller, name] {
            const std::shared_ptr<LeapControllerLifetime> alive = controller.lock();
            if (!alive) {
                qCDebug(lcGestures) << "dropping" << name << "of a controller that is gone";
                return;
            }
            NotificationCenter::defaultCenter().post(name, alive->controller);
        },
        false);
}
