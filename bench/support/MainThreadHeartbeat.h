#pragma once

#include <algorithm>

#include <QElapsedTimer>
#include <QTimer>

// Measures how long the main thread is held: a precise timer ticks every intervalMs while the heartbeat runs,
// and the longest time between two ticks is kept. A gap well over the interval means the event loop was blocked.
class MainThreadHeartbeat {
public:
    explicit MainThreadHeartbeat(int intervalMs)
        : m_intervalMs(intervalMs)
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(intervalMs);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { noteGap(); });
        m_sinceTick.start();
        m_timer.start();
    }

    void stop() { m_timer.stop(); }

    // Counts a stretch measured elsewhere (a synchronous call) as a gap too.
    void noteGapMs(double ms) { m_longestGapMs = std::max(m_longestGapMs, ms); }

    double longestGapMs() const { return m_longestGapMs; }
    // How much later than its interval the latest tick ever came.
    double longestLagMs() const { return std::max(0.0, m_longestGapMs - m_intervalMs); }

private:
    void noteGap()
    {
        noteGapMs(m_sinceTick.nsecsElapsed() / 1e6);
        m_sinceTick.restart();
    }

    int m_intervalMs;
    QTimer m_timer;
    QElapsedTimer m_sinceTick;
    double m_longestGapMs = 0;
};
