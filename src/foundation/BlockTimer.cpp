#include "foundation/BlockTimer.h"

#include <algorithm>
#include <cmath>

namespace {

qint64 toMilliseconds(double seconds)
{
    if (!std::isfinite(seconds) || seconds <= 0)
        return 0;
    return static_cast<qint64>(std::llround(std::min(seconds, 1.0e9) * 1000.0));
}

} // namespace

BlockTimer::BlockTimer(std::function<void()> block, qint32 fireCount, double interval, double delay, QObject* parent)
    : QObject(parent)
    , m_block(std::move(block))
    , m_fireCount(fireCount)
    , m_intervalMs(toMilliseconds(interval))
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &BlockTimer::tick);
    m_clock.start();
    scheduleAt(toMilliseconds(delay) + m_intervalMs);
}

BlockTimer::~BlockTimer()
{
    *m_alive = false;
}

void BlockTimer::scheduleAt(qint64 fireAtMs)
{
    m_nextFireMs = fireAtMs;
    const qint64 wait = std::max<qint64>(0, fireAtMs - m_clock.elapsed());
    m_timer.start(static_cast<int>(std::min<qint64>(wait, std::numeric_limits<int>::max())));
}

void BlockTimer::tick()
{
    if (m_state != State::Scheduled)
        return;
    if (m_fireCount == 0 || !m_block) {
        stop();
        return;
    }

    ++m_numEventsFired;
    const bool finished = m_fireCount > 0 && m_numEventsFired >= m_fireCount;
    if (finished)
        m_state = State::Stopped;
    else
        // Scheduled before the call so the block may pause or stop the timer; late ticks are not made up.
        scheduleAt(std::max(m_nextFireMs + m_intervalMs, m_clock.elapsed()));

    const std::shared_ptr<bool> alive = m_alive;
    const std::function<void()> block = m_block; // the block may stop or destroy this timer
    block();
    if (*alive && finished)
        m_block = nullptr;
}

void BlockTimer::stop()
{
    m_state = State::Stopped;
    m_timer.stop();
    m_block = nullptr;
}

void BlockTimer::pause()
{
    if (m_state != State::Scheduled)
        return;
    m_remainingMs = std::max<qint64>(0, m_nextFireMs - m_clock.elapsed());
    m_timer.stop();
    m_state = State::Paused;
}

void BlockTimer::resume()
{
    if (m_state != State::Paused)
        return;
    m_state = State::Scheduled;
    scheduleAt(m_clock.elapsed() + m_remainingMs);
}

void BlockTimer::fireExtraEvent()
{
    if (m_state == State::Stopped || !m_block)
        return;
    const std::function<void()> block = m_block;
    block();
}
