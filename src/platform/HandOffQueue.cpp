#include "platform/HandOffQueue.h"

#include <utility>
#include <vector>

HandOffQueue::~HandOffQueue()
{
    close();
}

bool HandOffQueue::push(Task task)
{
    if (!task)
        return false;
    Deliver deliver;
    {
        std::lock_guard lock(m_mutex);
        if (m_closed)
            return false; // `task` is destroyed on return, outside the lock
        m_tasks.push_back(std::move(task));
        if (m_wake)
            deliver = m_wake();
    }
    // Waking the receiver is a system call: made outside the lock, so that the receiver never waits for it.
    m_pushed.notify_one();
    if (deliver)
        deliver();
    return true;
}

HandOffQueue::Task HandOffQueue::tryPop()
{
    std::lock_guard lock(m_mutex);
    if (m_tasks.empty())
        return {};
    Task task = std::move(m_tasks.front());
    m_tasks.pop_front();
    return task;
}

HandOffQueue::Task HandOffQueue::waitPop()
{
    std::unique_lock lock(m_mutex);
    m_pushed.wait(lock, [this] { return m_closed || !m_tasks.empty(); });
    if (m_tasks.empty())
        return {};
    Task task = std::move(m_tasks.front());
    m_tasks.pop_front();
    return task;
}

std::size_t HandOffQueue::close()
{
    std::deque<Task> dropped;
    std::function<Deliver()> wake;
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
        dropped.swap(m_tasks);
        wake.swap(m_wake);
    }
    m_pushed.notify_all();
    // `dropped` and `wake` die on return, outside the lock: a closure's destructor may post again.
    return dropped.size();
}

void HandOffQueue::finish()
{
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
    }
    m_pushed.notify_all();
}

bool HandOffQueue::isClosed() const
{
    std::lock_guard lock(m_mutex);
    return m_closed;
}

std::size_t HandOffQueue::size() const
{
    std::lock_guard lock(m_mutex);
    return m_tasks.size();
}

void HandOffQueue::setWake(std::function<Deliver()> prepare)
{
    std::vector<Deliver> deliveries;
    {
        std::lock_guard lock(m_mutex);
        if (m_closed)
            return;
        m_wake = std::move(prepare);
        if (m_wake) {
            for (std::size_t i = 0; i < m_tasks.size(); ++i)
                deliveries.push_back(m_wake());
        }
    }
    for (const Deliver& deliver : deliveries) {
        if (deliver)
            deliver();
    }
}
