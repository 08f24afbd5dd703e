#pragma once

#include <functional>

#include <QString>

#include "platform/WorkerThreads.h"

// A serial work queue on a thread of its own: tasks run one at a time, in the order they were added.
// Destroying the queue (or calling stop()) waits for the running task to return and drops the tasks
// that have not started. It must not be destroyed from one of its own tasks.
class SerialDispatchQueue {
public:
    explicit SerialDispatchQueue(QString label);

    SerialDispatchQueue(const SerialDispatchQueue&) = delete;
    SerialDispatchQueue& operator=(const SerialDispatchQueue&) = delete;

    void async(std::function<void()> task) { m_worker.post(std::move(task)); }
    void stop() { m_worker.stop(); }
    bool isCurrent() const { return m_worker.isCurrent(); }
    const QString& label() const { return m_worker.name(); }

private:
    WorkerThreads m_worker;
};
