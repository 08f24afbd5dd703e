#include "platform/leap/Controller.h"

#include <algorithm>
#include <deque>
#include <mutex>
#include <set>
#include <vector>

#include "platform/leap/ConfigStore.h"
#include "platform/leap/FrameImpl.h"
#include "platform/leap/LeapLogging.h"
#include "platform/leap/ScriptedBackend.h"

namespace Leap {

Listener::~Listener() = default;
Backend::~Backend() = default;

namespace {

std::mutex factoryMutex;
std::function<std::shared_ptr<Backend>()> defaultFactory;

std::shared_ptr<Backend> makeEnvironmentBackend()
{
    const QString script = qEnvironmentVariable("TESS_LEAP_SCRIPT");
    if (script.isEmpty())
        return std::make_shared<NullBackend>();
    bool ok = false;
    double rate = qEnvironmentVariable("TESS_LEAP_FRAMES_PER_SECOND").toDouble(&ok);
    if (!ok)
        rate = 60;
    QString error;
    if (auto backend = ScriptedBackend::fromFile(script, ScriptedBackend::Mode::Threaded, rate, &error))
        return backend;
    qCWarning(lcLeap) << "cannot replay the gesture controller script" << script << error;
    return std::make_shared<NullBackend>();
}

std::shared_ptr<Backend> makeDefaultBackend()
{
    std::function<std::shared_ptr<Backend>()> factory;
    {
        std::lock_guard lock(factoryMutex);
        factory = defaultFactory;
    }
    std::shared_ptr<Backend> backend = factory ? factory() : nullptr;
    return backend ? backend : makeEnvironmentBackend();
}

} // namespace

// Two locks: `m_stateMutex` guards the device state and the history and is never held while a listener runs;
// `m_dispatchMutex` is held while listeners run and while the listener list changes, so calls to listeners
// never overlap and a removed listener is never called again. It is recursive so that a listener may add or
// remove listeners from inside a call.
class ControllerImpl final : public BackendSink {
public:
    explicit ControllerImpl(std::shared_ptr<Backend> backend)
        : m_backend(backend ? std::move(backend) : std::make_shared<NullBackend>())
    {
    }

    ~ControllerImpl()
    {
        m_backend->detach();
        std::lock_guard dispatch(m_dispatchMutex);
        const std::vector<Listener*> remaining = std::exchange(m_listeners, {});
        const Controller self = callbackHandle();
        for (Listener* listener : remaining)
            listener->onExit(self);
    }

    void start() { m_backend->attach(this); }

    bool addListener(Listener& listener)
    {
        std::lock_guard dispatch(m_dispatchMutex);
        if (std::find(m_listeners.begin(), m_listeners.end(), &listener) != m_listeners.end())
            return false;
        m_listeners.push_back(&listener);
        const Controller self = callbackHandle();
        listener.onInit(self);
        if (isConnected())
            listener.onConnect(self);
        // Activation may start a thread that delivers at once; it waits for the dispatch lock held here, so
        // this listener's onInit always comes first.
        if (!std::exchange(m_activated, true))
            m_backend->activate();
        return true;
    }

    bool removeListener(Listener& listener)
    {
        std::lock_guard dispatch(m_dispatchMutex);
        const auto found = std::find(m_listeners.begin(), m_listeners.end(), &listener);
        if (found == m_listeners.end())
            return false;
        m_listeners.erase(found);
        listener.onExit(callbackHandle());
        return true;
    }

    void deviceConnected() override
    {
        // Under the dispatch lock, so that a listener being added sees either the old state and then this
        // event, or the new state and not the event.
        std::lock_guard dispatching(m_dispatchMutex);
        {
            std::lock_guard lock(m_stateMutex);
            if (m_connected)
                return;
            m_connected = true;
            m_device = std::make_shared<DeviceData>();
            m_screens = {std::make_shared<ScreenData>()};
        }
        m_config->serviceConnected = true;
        dispatch(&Listener::onConnect);
    }

    void deviceDisconnected() override
    {
        std::lock_guard dispatching(m_dispatchMutex);
        {
            std::lock_guard lock(m_stateMutex);
            if (!m_connected)
                return;
            m_connected = false;
            m_device.reset();
            m_screens.clear();
        }
        m_config->serviceConnected = false;
        dispatch(&Listener::onDisconnect);
    }

    void focusChanged(bool hasFocus) override
    {
        std::lock_guard dispatching(m_dispatchMutex);
        {
            std::lock_guard lock(m_stateMutex);
            if (m_focus == hasFocus)
                return;
            m_focus = hasFocus;
        }
        dispatch(hasFocus ? &Listener::onFocusGained : &Listener::onFocusLost);
    }

    void frameArrived(const FrameData& data) override
    {
        {
            std::lock_guard lock(m_stateMutex);
            if (!m_focus && !(m_policy & Controller::POLICY_BACKGROUND_FRAMES))
                return;
            auto frame = std::make_shared<FrameImpl>();
            frame->data = data;
            std::erase_if(frame->data.gestures,
                          [this](const GestureData& gesture) { return !m_enabledGestures.contains(gesture.type); });
            if (!m_history.empty())
                frame->previous = m_history.back();
            m_history.push_back(std::move(frame));
            if (m_history.size() > std::size_t(Controller::kHistorySize))
                m_history.pop_front();
        }
        dispatch(&Listener::onFrame);
    }

    Frame frame(int history) const
    {
        std::lock_guard lock(m_stateMutex);
        if (history < 0 || std::size_t(history) >= m_history.size())
            return Frame::invalid();
        return Frame(m_history[m_history.size() - 1 - std::size_t(history)]);
    }

    Config config() const { return Config(m_config); }

    DeviceList devices() const
    {
        std::lock_guard lock(m_stateMutex);
        return m_device ? DeviceList({Device(m_device)}) : DeviceList();
    }

    ScreenList locatedScreens() const
    {
        std::lock_guard lock(m_stateMutex);
        std::vector<Screen> screens;
        for (const auto& screen : m_screens)
            screens.emplace_back(screen);
        return ScreenList(std::move(screens));
    }

    bool isConnected() const
    {
        std::lock_guard lock(m_stateMutex);
        return m_connected;
    }

    bool hasFocus() const
    {
        std::lock_guard lock(m_stateMutex);
        return m_focus;
    }

    Controller::PolicyFlag policyFlags() const
    {
        std::lock_guard lock(m_stateMutex);
        return m_policy;
    }

    void setPolicyFlags(Controller::PolicyFlag flags)
    {
        std::lock_guard lock(m_stateMutex);
        m_policy = flags;
    }

    void enableGesture(Gesture::Type type, bool enable)
    {
        if (type == Gesture::TYPE_INVALID)
            return;
        std::lock_guard lock(m_stateMutex);
        if (enable)
            m_enabledGestures.insert(type);
        else
            m_enabledGestures.erase(type);
    }

    bool isGestureEnabled(Gesture::Type type) const
    {
        std::lock_guard lock(m_stateMutex);
        return m_enabledGestures.contains(type);
    }

private:
    // The handle given to listeners does not own the connection: a listener keeping it must not keep the
    // connection open, and the connection is always alive while a listener runs.
    Controller callbackHandle() { return Controller(std::shared_ptr<ControllerImpl>(std::shared_ptr<void>(), this)); }

    void dispatch(void (Listener::*event)(const Controller&))
    {
        std::lock_guard dispatch(m_dispatchMutex);
        const Controller self = callbackHandle();
        const std::vector<Listener*> listeners = m_listeners;
        for (Listener* listener : listeners) {
            // A listener removed by an earlier one in this round is not called.
            if (std::find(m_listeners.begin(), m_listeners.end(), listener) != m_listeners.end())
                (listener->*event)(self);
        }
    }

    const std::shared_ptr<Backend> m_backend;
    const std::shared_ptr<ConfigStore> m_config = std::make_shared<ConfigStore>();

    std::recursive_mutex m_dispatchMutex;
    std::vector<Listener*> m_listeners;
    bool m_activated = false;

    mutable std::mutex m_stateMutex;
    bool m_connected = false;
    bool m_focus = true;
    Controller::PolicyFlag m_policy = Controller::POLICY_DEFAULT;
    std::set<int> m_enabledGestures;
    std::shared_ptr<const DeviceData> m_device;
    std::vector<std::shared_ptr<const ScreenData>> m_screens;
    std::deque<std::shared_ptr<const FrameImpl>> m_history;
};

Controller::Controller()
    : Controller(makeDefaultBackend())
{
}

Controller::Controller(Listener& listener)
    : Controller(makeDefaultBackend(), listener)
{
}

Controller::Controller(std::shared_ptr<Backend> backend)
    : m_impl(std::make_shared<ControllerImpl>(std::move(backend)))
{
    m_impl->start();
}

Controller::Controller(std::shared_ptr<Backend> backend, Listener& listener)
    : Controller(std::move(backend))
{
    m_impl->addListener(listener);
}

Controller::Controller(std::shared_ptr<ControllerImpl> impl)
    : m_impl(std::move(impl))
{
}

bool Controller::addListener(Listener& listener)
{
    return m_impl->addListener(listener);
}
bool Controller::removeListener(Listener& listener)
{
    return m_impl->removeListener(listener);
}
Frame Controller::frame(int history) const
{
    return m_impl->frame(history);
}
Config Controller::config() const
{
    return m_impl->config();
}
DeviceList Controller::devices() const
{
    return m_impl->devices();
}
ScreenList Controller::locatedScreens() const
{
    return m_impl->locatedScreens();
}
bool Controller::isConnected() const
{
    return m_impl->isConnected();
}
bool Controller::hasFocus() const
{
    return m_impl->hasFocus();
}
Controller::PolicyFlag Controller::policyFlags() const
{
    return m_impl->policyFlags();
}
void Controller::setPolicyFlags(PolicyFlag flags) const
{
    m_impl->setPolicyFlags(flags);
}
void Controller::enableGesture(Gesture::Type type, bool enable) const
{
    m_impl->enableGesture(type, enable);
}
bool Controller::isGestureEnabled(Gesture::Type type) const
{
    return m_impl->isGestureEnabled(type);
}

void Controller::setDefaultBackendFactory(std::function<std::shared_ptr<Backend>()> factory)
{
    std::lock_guard lock(factoryMutex);
    defaultFactory = std::move(factory);
}

bool Controller::hasDefaultBackendFactory()
{
    std::lock_guard lock(factoryMutex);
    return bool(defaultFactory);
}

std::shared_ptr<Backend> Controller::environmentBackend()
{
    return makeEnvironmentBackend();
}

} // namespace Leap
