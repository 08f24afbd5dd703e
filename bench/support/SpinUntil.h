#pragma once

#include <functional>

#include <QCoreApplication>
#include <QDeadlineTimer>

// Runs the main thread's event loop until `done` answers true; false when `timeoutMs` passed first.
inline bool spinUntil(const std::function<bool()>& done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}
