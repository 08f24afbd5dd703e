#include "gestures/LeapController.h"

#include "gestures/LeapDevice.h"
#include "gestures/LeapFrame.h"
#include "gestures/LeapNotificationListener.h"
#include "gestures/LeapScreen.h"
#include "platform/MainThread.h"

LeapController::LeapController()
    : LeapController(nullptr)
{
}

LeapController::LeapController(std::unique_ptr<Leap::Controller> controller)
    : m_lifetime(std::make_shared<LeapControllerLifetime>(LeapControllerLifetime{this}))
    , m_controller(controller ? std::move(controller) : std::make_unique<Leap::Controller>())
{
    Q_ASSERT(MainThread::isMainThread());
}

LeapController::~LeapController()
{
    Q_ASSERT(MainThread::isMainThread());
    m_lifetime.reset();
    NotificationCenter& center = NotificationCenter::defaultCenter();
    for (const auto& [object, tokens] : m_subscriptions)
        for (const ObserverToken& token : tokens)
            center.removeObserver(token);
    detachBridge();
    m_controller.reset();
}

void LeapController::subscribe(const void* object, const LeapListenerCallbacks& callbacks)
{
    if (m_subscriptions.contains(object))
        return;
    std::vector<ObserverToken>& tokens = m_subscriptions[object];
    NotificationCenter& center = NotificationCenter::defaultCenter();
    const std::pair<const QString&, const NotificationCenter::Callback&> table[] = {
        {LeapNotification::OnInit, callbacks.onInit},
        {LeapNotification::OnConnect, callbacks.onConnect},
        {LeapNotification::OnDisconnect, callbacks.onDisconnect},
        {LeapNotification::OnExit, callbacks.onExit},
        {LeapNotification::OnFrame, callbacks.onFrame},
        {LeapNotification::OnFocusGained, callbacks.onFocusGained},
        {LeapNotification::OnFocusLost, callbacks.onFocusLost},
    };
    for (const auto& [name, callback] : table)
        if (callback)
            tokens.push_back(center.addObserver(name, this, callback, object));
}

bool LeapController::removeListener(const void* listener)
{
    const auto found = m_subscriptions.find(listener);
    if (found == m_subscriptions.end())
        return true;
    NotificationCenter& center = NotificationCenter::defaultCenter();
    for (const ObserverToken& token : found->second)
        center.removeObserver(token);
    m_subscriptions.erase(found);
    return true;
}

void LeapController::attachNotificationBridge()
{
    if (m_bridge)
        return;
    m_bridge = std::make_unique<LeapNotificationListener>(m_lifetime);
    m_controller->addListener(*m_bridge);
}

bool LeapController::installDelegate(LeapDelegateCallbacks callbacks, std::shared_ptr<void> delegate)
{
    // The old bridge leaves the library before it is destroyed, or the library would call into freed memory.
    detachBridge();
    m_bridge = std::make_unique<LeapDelegateListener>(this, std::move(delegate), std::move(callbacks));
    m_controller->addListener(*m_bridge);
    return true;
}

bool LeapController::removeDelegate()
{
    if (dynamic_cast<LeapDelegateListener*>(m_bridge.get()))
        detachBridge();
    return true;
}

void LeapController::detachBridge()
{
    if (m_bridge && m_controller)
        m_controller->removeListener(*m_bridge);
    m_bridge.reset();
}

std::shared_ptr<LeapFrame> LeapController::frame(std::int32_t history) const
{
    return LeapFrame::create(m_controller->frame(history));
}

LeapConfig LeapController::config() const
{
    return LeapConfig(m_controller->config());
}

std::vector<std::shared_ptr<LeapDevice>> LeapController::devices() const
{
    std::vector<std::shared_ptr<LeapDevice>> result;
    for (const Leap::Device& device : m_controller->devices())
        result.push_back(std::make_shared<LeapDevice>(device));
    return result;
}

std::vector<std::shared_ptr<LeapScreen>> LeapController::locatedScreens() const
{
    std::vector<std::shared_ptr<LeapScreen>> result;
    for (const Leap::Screen& screen : m_controller->locatedScreens())
        result.push_back(std::make_shared<LeapScreen>(screen));
    return result;
}

bool LeapController::isConnected() const
{
    return m_controller->isConnected();
}
bool LeapController::hasFocus() const
{
    return m_controller->hasFocus();
}
Leap::Controller::PolicyFlag LeapController::policyFlags() const
{
    return m_controller->policyFlags();
}
void LeapController::setPolicyFlags(Leap::Controller::PolicyFlag flags)
{
    m_controller->setPolicyFlags(flags);
}

void LeapController::enableGesture(LeapGestureType type, bool enable)
{
    m_controller->enableGesture(Leap::Gesture::Type(int(type)), enable);
}

bool LeapController::isGestureEnabled(LeapGestureType type) const
{
    return m_controller->isGestureEnabled(Leap::Gesture::Type(int(type)));
}

LeapController* LeapController::fromNotification(const Notification& notification)
{
    return static_cast<LeapController*>(const_cast<void*>(notification.sender));
}
