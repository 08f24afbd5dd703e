#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "gestures/LeapConfig.h"
#include "gestures/LeapDelegateListener.h"
#include "gestures/LeapGesture.h"
#include "gestures/LeapListener.h"
#include "platform/NotificationCenter.h"
#include "platform/leap/Controller.h"

class LeapDevice;
class LeapFrame;
class LeapScreen;
struct LeapControllerLifetime;

// The application's handle on the gesture controller: owns the library controller and connects it to
// application objects in one of two ways.
//
// Listener way (the application's): a bridge turns each library event into a notification of the default
// centre, posted on the main thread with this controller as sender (see LeapNotification). Every object added
// with addListener() observes the events it implements; all share one bridge, so each event is posted once.
// Delegate way: one delegate object is called directly on the library's thread.
//
// Ownership: the controller owns the library controller and the bridge; the bridge does not own the controller.
// Notifications still queued when the controller is destroyed are dropped. Listeners are not owned: remove
// one (removeListener) before destroying it. The delegate is held until it is replaced or removed.
//
// Threads: create, use and destroy on the main thread. The queries (frame, isConnected, ...) may also be called
// from a delegate on the library's thread. A delegate must not wait for the main thread, which may be waiting
// for the delegate's call to finish while it removes the bridge.
class LeapController {
public:
    // A library controller on the default backend, no bridge.
    LeapController();
    // Adopts `controller`; a null one is replaced by a library controller on the default backend.
    explicit LeapController(std::unique_ptr<Leap::Controller> controller);
    ~LeapController();
    LeapController(const LeapController&) = delete;
    LeapController& operator=(const LeapController&) = delete;

    // A controller whose bridge exists from the start, with `listener` subscribed.
    template <class T> static std::unique_ptr<LeapController> initWithListener(T* listener)
    {
        auto controller = std::make_unique<LeapController>();
        controller->attachNotificationBridge();
        controller->subscribe(listener, leapListenerCallbacks(listener));
        return controller;
    }

    template <class T> static std::unique_ptr<LeapController> initWithDelegate(std::shared_ptr<T> delegate)
    {
        auto controller = std::make_unique<LeapController>();
        controller->addDelegate(std::move(delegate));
        return controller;
    }

    // Subscribes `listener` to the notifications of the events it implements (adding it again changes
    // nothing), and attaches the notification bridge if there is none yet. Always true.
    template <class T> bool addListener(T* listener)
    {
        subscribe(listener, leapListenerCallbacks(listener));
        attachNotificationBridge();
        return true;
    }

    // Removes what addListener() subscribed for `listener`, nothing else of its observations; the bridge stays.
    // Always true.
    bool removeListener(const void* listener);

    // Makes `delegate` the controller's bridge, replacing any earlier bridge. Always true.
    template <class T> bool addDelegate(std::shared_ptr<T> delegate)
    {
        LeapDelegateCallbacks callbacks = leapDelegateCallbacks(delegate.get());
        return installDelegate(std::move(callbacks), std::move(delegate));
    }
    // Detaches and discards a delegate bridge. Always true.
    bool removeDelegate();

    // `history` 0 is the newest frame, 1 the one before; beyond the library's history, an invalid frame.
    std::shared_ptr<LeapFrame> frame(std::int32_t history) const;
    LeapConfig config() const;
    std::vector<std::shared_ptr<LeapDevice>> devices() const;
    std::vector<std::shared_ptr<LeapScreen>> locatedScreens() const;
    // False while no device is connected.
    bool isConnected() const;
    bool hasFocus() const;
    Leap::Controller::PolicyFlag policyFlags() const;
    void setPolicyFlags(Leap::Controller::PolicyFlag flags);
    void enableGesture(LeapGestureType type, bool enable);
    bool isGestureEnabled(LeapGestureType type) const;

    // The controller that posted one of the LeapNotification notifications (valid while it is delivered).
    static LeapController* fromNotification(const Notification& notification);

private:
    // The cores of the templates above: subscribe the callbacks found on `object`, or install a delegate.
    void subscribe(const void* object, const LeapListenerCallbacks& callbacks);
    bool installDelegate(LeapDelegateCallbacks callbacks, std::shared_ptr<void> delegate);
    void attachNotificationBridge();
    void detachBridge();

    std::shared_ptr<LeapControllerLifetime> m_lifetime;
    std::unique_ptr<Leap::Controller> m_controller;
    std::unique_ptr<Leap::Listener> m_bridge;
    std::map<const void*, std::vector<ObserverToken>> m_subscriptions;
};
