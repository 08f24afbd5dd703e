#pragma once

#include <QString>

#include "platform/NotificationCenter.h"

// Posting from any thread for delivery on the main thread: each call queues the post to the main thread's
// event loop and returns at once; observers run later, in posting order.
namespace NotificationCenterMainThread {

void postNotificationOnMainThread(NotificationCenter& center, const Notification& notification);
void postNotificationOnMainThreadName(NotificationCenter& center, const QString& name, const void* object);

} // namespace NotificationCenterMainThread
