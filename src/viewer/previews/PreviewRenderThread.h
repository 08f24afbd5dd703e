#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

#include <QThread>

// The one thread that loads and draws screen previews for every generator: tasks run one at a time, first in,
// first out. Made on first use and stopped when the application object goes away (tasks not yet started are
// dropped then). A task may wait for the main thread; the main thread never waits for a task.
class PreviewRenderThread : public QThread {
public:
    static PreviewRenderThread& shared();

    void async(std::function<void()> task);
    bool isCurrent() const { return QThread::currentThread() == this; }
    // Tasks queued and not yet finished (the running one included).
    int pendingTaskCount();

protected:
    void run() override;

private:
    PreviewRenderThread();
    bool stopAndWait();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_tasks;
    int m_running = 0;
    bool m_stopping = false;
};
