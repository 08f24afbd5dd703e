#pragma once

#include <functional>
#include <memory>

#include "platform/leap/Backend.h"
#include "platform/leap/Config.h"
#include "platform/leap/Device.h"
#include "platform/leap/Frame.h"
#include "platform/leap/Gesture.h"
#include "platform/leap/List.h"
#include "platform/leap/Listener.h"
#include "platform/leap/Screen.h"

namespace Leap {

class ControllerImpl;

using DeviceList = List<Device>;
using ScreenList = List<Screen>;

// The connection to the tracking service: device state, the newest frames and the listeners told of events.
// A handle: copies share one connection, which closes when the last copy owned by the application goes away
// (the copy handed to listeners does not own it).
//
// Frames come from a backend: by default the one the process-wide factory makes (a NullBackend unless the
// environment names a script, see setDefaultBackendFactory). The backend starts delivering when the first
// listener is added. The controller keeps the last kHistorySize frames; gestures of types that are not
// enabled are left out of them. While the application lacks focus, frames are dropped unless the policy
// asks for background frames.
//
// Threads: every operation may be called from any thread. Destroy the last owning copy on a thread other
// than the backend's own (never from inside a listener call).
class Controller {
public:
    enum PolicyFlag { POLICY_DEFAULT = 0, POLICY_BACKGROUND_FRAMES = 1 << 0 };
    static constexpr int kHistorySize = 60;

    Controller();
    explicit Controller(Listener& listener);
    explicit Controller(std::shared_ptr<Backend> backend);
    Controller(std::shared_ptr<Backend> backend, Listener& listener);

    // Adds a listener: it receives onInit at once (and onConnect when a device is connected), then events.
    // False when it was already added.
    bool addListener(Listener& listener);
    // Removes a listener, which receives onExit. On return no call to it is running or will come, unless
    // called from inside one of its own calls. False when it was not added.
    bool removeListener(Listener& listener);

    // `history` 0 is the newest frame, 1 the one before, and so on; beyond what is kept, the invalid frame.
    Frame frame(int history = 0) const;
    Config config() const;
    DeviceList devices() const;
    ScreenList locatedScreens() const;

    bool isConnected() const;
    bool hasFocus() const;
    PolicyFlag policyFlags() const;
    void setPolicyFlags(PolicyFlag flags) const;
    void enableGesture(Gesture::Type type, bool enable = true) const;
    bool isGestureEnabled(Gesture::Type type) const;

    friend bool operator==(const Controller& a, const Controller& b) { return a.m_impl == b.m_impl; }

    // Makes the backend of every controller constructed without one from now on; an empty factory restores
    // the default, which replays the JSON Lines script named by TESS_LEAP_SCRIPT on its own thread (at
    // TESS_LEAP_FRAMES_PER_SECOND, 60 when unset) and otherwise is a NullBackend.
    static void setDefaultBackendFactory(std::function<std::shared_ptr<Backend>()> factory);
    static bool hasDefaultBackendFactory();
    // The backend the environment asks for: the TESS_LEAP_SCRIPT replay, else a NullBackend. The application
    // registers it as its factory.
    static std::shared_ptr<Backend> environmentBackend();

private:
    friend class ControllerImpl;
    explicit Controller(std::shared_ptr<ControllerImpl> impl);

    std::shared_ptr<ControllerImpl> m_impl;
};

} // namespace Leap
