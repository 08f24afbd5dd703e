#include "elements/video/SerialDispatchQueue.h"

#include <utility>

#include <QtGlobal>

SerialDispatchQueue::SerialDispatchQueue(QString label)
    : m_label(std::move(label))
    , m_thread([this] { run(); })
{
}

SerialDispatchQueue::~SerialDispatchQueue()
{
    stop();
}

void SerialDispatchQueue::async(std::function<void()> task)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping)
            return;
        m_tasks.push_back(std::move(task));
    }
    m_wake.notify_one();
}

void SerialDispatchQueue::stop()
{
    Q_ASSERT(!isCurrent());
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    if (m_thread.joinable())
        m_thread.join();
}

void SerialDispatchQueue::run()
{
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_tasks.empty(); });
            if (m_stopping) {
                m_tasks.clear();
                return;
            }
            task = std::move(m_tasks.front());
            m_tasks.pop_front();
        }
        task();
    }
}
