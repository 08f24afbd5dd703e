#pragma once

#include <functional>
#include <mutex>

#include <QThread>

#include "platform/HandOffQueue.h"

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

    HandOffQueue m_queue;
    std::mutex m_countMutex;
    int m_pending = 0; // queued and not yet finished or dropped
};
