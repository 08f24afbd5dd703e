#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include <QString>

// A serial work queue on a thread of its own: tasks run one at a time, in the order they were added.
// Destroying the queue (or calling stop()) waits for the running task to return and drops the tasks
// that have not started. It must not be destroyed from one of its own tasks.
class SerialDispatchQueue {
public:
    explicit SerialDispatchQueue(QString label);
    ~SerialDispatchQueue();

    SerialDispatchQueue(const SerialDispatchQueue&) = delete;
    SerialDispatchQueue& operator=(const SerialDispatchQueue&) = delete;

    void async(std::function<void()> task);
    void stop();
    bool isCurrent() const { return std::this_thread::get_id() == m_thread.get_id(); }
    const QString& label() const { return m_label; }

private:
    void run();

    QString m_label;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_tasks;
    bool m_stopping = false;
    std::thread m_thread;
};
