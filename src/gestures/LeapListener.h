#pragma once

#include <functional>

#include <QString>

#include "platform/NotificationCenter.h"

class LeapController;

// The notifications of a LeapController's listeners, one per library event, each posted on the main thread
// with the controller as sender.
namespace LeapNotification {
inline const QString OnInit = QStringLiteral("OnInit");
inline const QString OnConnect = QStringLiteral("OnConnect");
inline const QString OnDisconnect = QStringLiteral("OnDisconnect");
inline const QString OnExit = QStringLiteral("OnExit");
inline const QString OnFrame = QStringLiteral("OnFrame");
inline const QString OnFocusGained = QStringLiteral("OnFocusGained");
inline const QString OnFocusLost = QStringLiteral("OnFocusLost");
} // namespace LeapNotification

// The listener protocol: an object listens by implementing any of onInit, onConnect, onDisconnect, onExit,
// onFrame, onFocusGained and onFocusLost, each taking the notification; it receives exactly the events it
// implements. These are the callbacks found on an object, empty where it implements none.
struct LeapListenerCallbacks {
    NotificationCenter::Callback onInit;
    NotificationCenter::Callback onConnect;
    NotificationCenter::Callback onDisconnect;
    NotificationCenter::Callback onExit;
    NotificationCenter::Callback onFrame;
    NotificationCenter::Callback onFocusGained;
    NotificationCenter::Callback onFocusLost;
};

template <class T> LeapListenerCallbacks leapListenerCallbacks(T* object)
{
    LeapListenerCallbacks c;
    if constexpr (requires(T & t, const Notification& n) { t.onInit(n); })
        c.onInit = [object](const Notification& n) { object->onInit(n); };
    if constexpr (requires(T & t, const Notification& n) { t.onConnect(n); })
        c.onConnect = [object](const Notification& n) { object->onConnect(n); };
    if constexpr (requires(T & t, const Notification& n) { t.onDisconnect(n); })
        c.onDisconnect = [object](const Notification& n) { object->onDisconnect(n); };
    if constexpr (requires(T & t, const Notification& n) { t.onExit(n); })
        c.onExit = [object](const Notification& n) { object->onExit(n); };
    if constexpr (requires(T & t, const Notification& n) { t.onFrame(n); })
        c.onFrame = [object](const Notification& n) { object->onFrame(n); };
    if constexpr (requires(T & t, const Notification& n) { t.onFocusGained(n); })
        c.onFocusGained = [object](const Notification& n) { object->onFocusGained(n); };
    if constexpr (requires(T & t, const Notification& n) { t.onFocusLost(n); })
        c.onFocusLost = [object](const Notification& n) { object->onFocusLost(n); };
    return c;
}
