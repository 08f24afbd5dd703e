#pragma once

#include <functional>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

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

// As spinUntil, but the event loop waits for its events between checks, as the application's own loop does: a
// thread that never sleeps is counted by the scheduler as one that can wait, and a busy machine makes it wait.
// `done` is asked again at least every millisecond.
inline bool waitUntil(const std::function<bool()>& done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    QTimer ask;
    ask.setTimerType(Qt::PreciseTimer);
    ask.start(1);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}
