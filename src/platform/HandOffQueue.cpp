#include "platform/HandOffQueue.h"

#include <cerrno>
#include <utility>
#include <vector>

HandOffQueue::HandOffQueue()
{
    sem_init(&m_wakeUps, 0, 0);
}

HandOffQueue::~HandOffQueue()
{
    close();
    sem_destroy(&m_wakeUps);
}

void HandOffQueue::wakeSleepers(int count)
{
    for (int i = 0; i < count; ++i)
        sem_post(&m_wakeUps);
}

bool HandOffQueue::push(Task task)
{
    if (!task)
        return false;
    Deliver deliver;
    int wake = 0;
    {
        std::lock_guard lock(m_mutex);
        if (m_closed)
            return false; // `task` is destroyed on return, outside the lock
        m_tasks.push_back(std::move(task));
        if (m_wake)
            deliver = m_wake();
        if (m_sleepers > 0) {
            --m_sleepers;
            wake = 1;
        }
    }
    // Waking the receiver is a system call: made outside the lock, so that the receiver never waits for it.
    wakeSleepers(wake);
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
    while (!m_closed && m_tasks.empty()) {
        // Counted before the lock goes: a push made between the unlocking and the sleep leaves its wake-up in the
        // semaphore, and the sleep returns at once.
        ++m_sleepers;
        lock.unlock();
        while (sem_wait(&m_wakeUps) != 0 && errno == EINTR) {
        }
        lock.lock();
    }
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
    int sleepers = 0;
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
        dropped.swap(m_tasks);
        wake.swap(m_wake);
        sleepers = std::exchange(m_sleepers, 0);
    }
    wakeSleepers(sleepers);
    // `dropped` and `wake` die on return, outside the lock: a closure's destructor may post again.
    return dropped.size();
}

void HandOffQueue::finish()
{
    int sleepers = 0;
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
        sleepers = std::exchange(m_sleepers, 0);
    }
    wakeSleepers(sleepers);
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
