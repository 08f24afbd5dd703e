#pragma once

#include <functional>

#include <QCoreApplication>
#include <QElapsedTimer>

// Runs the event loop until `done` holds or `timeoutMs` passed; true when it holds.
inline bool spinUntil(const std::function<bool()>& done, int timeoutMs = 2000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// Lets every event posted so far (and those they post in turn, a few levels deep) run.
inline void drainEvents()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}
