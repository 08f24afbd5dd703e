#pragma once

namespace Leap {

class Controller;

// Receives a controller's events. Every event is called on a thread of the library's choosing: the backend's
// own thread for device events and frames, the calling thread for onInit and onConnect when the listener is
// added and for onExit when it is removed. Calls to one controller's listeners never overlap.
//
// The controller passed in is valid during the call; a listener must not keep it.
class Listener {
public:
    Listener() = default;
    virtual ~Listener();
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    // Once, when the listener is added (before anything else it receives).
    virtual void onInit(const Controller&) {}
    // When a device connects, and on adding when one is already connected.
    virtual void onConnect(const Controller&) {}
    virtual void onDisconnect(const Controller&) {}
    // Once, when the listener is removed or its controller is destroyed.
    virtual void onExit(const Controller&) {}
    virtual void onFrame(const Controller&) {}
    virtual void onFocusGained(const Controller&) {}
    virtual void onFocusLost(const Controller&) {}
};

} // namespace Leap
