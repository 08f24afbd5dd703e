#pragma once

#include <functional>
#include <memory>

#include "platform/leap/Listener.h"

class LeapController;

// The delegate protocol: like the listener protocol, but each callback takes the LeapController and runs on the
// library's own thread, so a delegate protects its own state. These are the callbacks found on a delegate.
struct LeapDelegateCallbacks {
    using Callback = std::function<void(LeapController*)>;
    Callback onInit;
    Callback onConnect;
    Callback onDisconnect;
    Callback onExit;
    Callback onFrame;
    Callback onFocusGained;
    Callback onFocusLost;
};

template <class T> LeapDelegateCallbacks leapDelegateCallbacks(T* delegate)
{
    LeapDelegateCallbacks c;
    if constexpr (requires(T & t, LeapController * l) { t.onInit(l); })
        c.onInit = [delegate](LeapController* l) { delegate->onInit(l); };
    if constexpr (requires(T & t, LeapController * l) { t.onConnect(l); })
        c.onConnect = [delegate](LeapController* l) { delegate->onConnect(l); };
    if constexpr (requires(T & t, LeapController * l) { t.onDisconnect(l); })
        c.onDisconnect = [delegate](LeapController* l) { delegate->onDisconnect(l); };
    if constexpr (requires(T & t, LeapController * l) { t.onExit(l); })
        c.onExit = [delegate](LeapController* l) { delegate->onExit(l); };
    if constexpr (requires(T & t, LeapController * l) { t.onFrame(l); })
        c.onFrame = [delegate](LeapController* l) { delegate->onFrame(l); };
    if constexpr (requires(T & t, LeapController * l) { t.onFocusGained(l); })
        c.onFocusGained = [delegate](LeapController* l) { delegate->onFocusGained(l); };
    if constexpr (requires(T & t, LeapController * l) { t.onFocusLost(l); })
        c.onFocusLost = [delegate](LeapController* l) { delegate->onFocusLost(l); };
    return c;
}

// Bridge of the delegate way: calls the delegate directly on the library's thread. Holds the delegate; the
// controller owns this bridge and removes it from the library before destroying it.
class LeapDelegateListener final : public Leap::Listener {
public:
    LeapDelegateListener(LeapController* controller, std::shared_ptr<void> delegate, LeapDelegateCallbacks callbacks);

    void onInit(const Leap::Controller&) override { call(m_callbacks.onInit); }
    void onConnect(const Leap::Controller&) override { call(m_callbacks.onConnect); }
    void onDisconnect(const Leap::Controller&) override { call(m_callbacks.onDisconnect); }
    void onExit(const Leap::Controller&) override { call(m_callbacks.onExit); }
    void onFrame(const Leap::Controller&) override { call(m_callbacks.onFrame); }
    void onFocusGained(const Leap::Controller&) override { call(m_callbacks.onFocusGained); }
    void onFocusLost(const Leap::Controller&) override { call(m_callbacks.onFocusLost); }

private:
    void call(const LeapDelegateCallbacks::Callback& callback) const;

    LeapController* const m_controller;
    const std::shared_ptr<void> m_delegate;
    const LeapDelegateCallbacks m_callbacks;
};
