#pragma once

#include "platform/leap/FrameData.h"

namespace Leap {

// The controller's side of a backend. Calls come from one thread at a time.
class BackendSink {
public:
    virtual void deviceConnected() = 0;
    virtual void deviceDisconnected() = 0;
    virtual void focusChanged(bool hasFocus) = 0;
    virtual void frameArrived(const FrameData& frame) = 0;

protected:
    ~BackendSink() = default;
};

// Where a controller's device events and frames come from. One backend serves one controller.
class Backend {
public:
    Backend() = default;
    virtual ~Backend();
    Backend(const Backend&) = delete;
    Backend& operator=(const Backend&) = delete;

    // Called once by the controller, before anything else.
    virtual void attach(BackendSink* sink) = 0;
    // Called once, when the controller gets its first listener.
    virtual void activate() {}
    // Called when the controller goes away. On return the sink is never called again and no call is running,
    // so it must not be called from inside a sink call.
    virtual void detach() = 0;
};

// The backend when no tracking service is available: never connected, never a frame.
class NullBackend final : public Backend {
public:
    void attach(BackendSink*) override {}
    void detach() override {}
};

} // namespace Leap
