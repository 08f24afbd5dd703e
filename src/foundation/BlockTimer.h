#pragma once

#include <functional>
#include <memory>

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

// Calls a block every `interval` seconds, at most `fireCount` times, starting `delay` seconds after it is
// made; the first call comes one interval after that start, so (count 3, interval 0.1, delay 0.2) runs at
// 0.3, 0.4 and 0.5 s.
//  - A negative fire count repeats until stop(); a count of 0 stops at the first tick without running.
//  - pause() keeps the time left to the next call and resume() continues from there, so a pause moves
//    every later call by its length. Both do nothing once the timer has stopped or finished.
//  - fireExtraEvent() runs the block at once, outside the schedule: it does not count in numEventsFired()
//    and does not use up the fire count. It does nothing after stop().
// Lives on the thread that made it, which needs a running event loop; destroying it stops it, also from
// inside its own block.
class BlockTimer : public QObject {
    Q_OBJECT
public:
    BlockTimer(std::function<void()> block, qint32 fireCount, double interval, double delay, QObject* parent = nullptr);
    ~BlockTimer() override;

    void stop();
    void pause();
    void resume();
    void fireExtraEvent();

    qint32 fireCount() const { return m_fireCount; }
    qint32 numEventsFired() const { return m_numEventsFired; }
    bool isRunning() const { return m_state == State::Scheduled; }
    bool isPaused() const { return m_state == State::Paused; }
    bool isStopped() const { return m_state == State::Stopped; }

private:
    enum class State { Scheduled, Paused, Stopped };

    void scheduleAt(qint64 fireAtMs);
    void tick();

    std::function<void()> m_block;
    qint32 m_fireCount;
    qint64 m_intervalMs;
    qint32 m_numEventsFired = 0;
    State m_state = State::Scheduled;
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_nextFireMs = 0;
    qint64 m_remainingMs = 0;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};
