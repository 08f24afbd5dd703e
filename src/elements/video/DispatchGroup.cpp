#include "elements/video/DispatchGroup.h"

#include <QtGlobal>

#include "elements/video/SerialDispatchQueue.h"

void DispatchGroup::enter()
{
    std::lock_guard lock(m_mutex);
    ++m_count;
}

void DispatchGroup::leave()
{
    SerialDispatchQueue* queue = nullptr;
    std::function<void()> task;
    {
        std::lock_guard lock(m_mutex);
        Q_ASSERT(m_count > 0);
        if (--m_count > 0 || !m_task)
            return;
        queue = m_queue;
        task = std::move(m_task);
        m_task = nullptr;
    }
    queue->async(std::move(task));
}

void DispatchGroup::notify(SerialDispatchQueue* queue, std::function<void()> task)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_count > 0) {
            m_queue = queue;
            m_task = std::move(task);
            return;
        }
    }
    queue->async(std::move(task));
}
