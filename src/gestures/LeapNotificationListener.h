#pragma once

#include <memory>

#include <QString>

#include "platform/leap/Listener.h"

class LeapController;

// Shared by a LeapController and its notification bridge: reset when the controller starts to go away, so
// events still queued to the main thread by then are dropped instead of reaching a destroyed controller.
struct LeapControllerLifetime {
    LeapController* controller = nullptr;
};

// Bridge of the listener way: turns each library event, on whatever thread the library calls it, into the
// event's notification posted on the main thread without waiting, with the controller as sender. Does not own
// its controller (the controller owns the bridge).
class LeapNotificationListener final : public Leap::Listener {
public:
    explicit LeapNotificationListener(std::weak_ptr<LeapControllerLifetime> controller);

    void onInit(const Leap::Controller&) override;
    void onConnect(const Leap::Controller&) override;
    void onDisconnect(const Leap::Controller&) override;
    void onExit(const Leap::Controller&) override;
    void onFrame(const Leap::Controller&) override;
    void onFocusGained(const Leap::Controller&) override;
    void onFocusLost(const Leap::Controller&) override;

private:
    void post(const QString& name) const;

    const std::weak_ptr<LeapControllerLifetime> m_controller;
};
