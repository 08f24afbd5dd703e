#include "gestures/NotificationCenterMainThread.h"

#include "platform/MainThread.h"

void NotificationCenterMainThread::postNotificationOnMainThread(NotificationCenter& center,
                                                                const Notification& notification)
{
    MainThread::run([&center, notification] { center.post(notification); }, false);
}

void NotificationCenterMainThread::postNotificationOnMainThreadName(NotificationCenter& center, const QString& name,
                                                                    const void* object)
{
    postNotificationOnMainThread(center, Notification{name, object, {}});
}
