#pragma once

#include <algorithm>
#include <cstdio>
#include <ctime>

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

    // Stops ticking; the time since the last tick counts as a gap too, so that a stall the phase ends in is seen.
    void stop()
    {
        if (m_timer.isActive())
            noteGap();
        m_timer.stop();
    }

    // Counts a stretch measured elsewhere (a synchronous call) as a gap too.
    void noteGapMs(double ms) { m_longestGapMs = std::max(m_longestGapMs, ms); }

    double longestGapMs() const { return m_longestGapMs; }
    // How much later than its interval the latest tick ever came.
    double longestLagMs() const { return std::max(0.0, m_longestGapMs - m_intervalMs); }

private:
    void noteGap()
    {
        const double gap = m_sinceTick.nsecsElapsed() / 1e6;
        // TESS_BENCH_GAPS_OVER_MS=N prints each longer gap with the monotonic time it ended at, to find it in a
        // profile recorded with that clock (perf record -k CLOCK_MONOTONIC).
        static const int reportOverMs = qEnvironmentVariableIntValue("TESS_BENCH_GAPS_OVER_MS");
        if (reportOverMs > 0 && gap > reportOverMs) {
            timespec now;
            clock_gettime(CLOCK_MONOTONIC, &now);
            std::fprintf(stderr, "GAP %.1f ms ending at %.3f\n", gap, now.tv_sec * 1e3 + now.tv_nsec / 1e6);
        }
        noteGapMs(gap);
        m_sinceTick.restart();
    }

    int m_intervalMs;
    QTimer m_timer;
    QElapsedTimer m_sinceTick;
    double m_longestGapMs = 0;
};
