#include "viewer/previews/PreviewRenderThread.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include "viewer/previews/PreviewsLogging.h"

namespace {

std::mutex& instanceMutex()
{
    static std::mutex mutex;
    return mutex;
}

// Where the stopped thread object stays reachable until the process ends (volatile: the store is the point).
PreviewRenderThread* volatile retiredThread = nullptr;

PreviewRenderThread*& instance()
{
    static PreviewRenderThread* thread = nullptr;
    return thread;
}

} // namespace

PreviewRenderThread& PreviewRenderThread::shared()
{
    std::lock_guard lock(instanceMutex());
    PreviewRenderThread*& thread = instance();
    if (!thread) {
        thread = new PreviewRenderThread();
        thread->setObjectName(QStringLiteral("renderQueue"));
        thread->start(QThread::LowPriority);
        // A running QThread must not outlive the application; tasks still queued then are dropped.
        qAddPostRoutine([] {
            PreviewRenderThread* old = nullptr;
            {
                std::lock_guard innerLock(instanceMutex());
                std::swap(old, instance());
            }
            // The stopped thread object is kept to the process's exit: deleting it would only race with the
            // thread's own last steps inside Qt, and one that did not stop must not be destroyed running.
            if (old) {
                old->stopAndWait();
                retiredThread = old;
            }
        });
    }
    return *thread;
}

PreviewRenderThread::PreviewRenderThread() = default;

void PreviewRenderThread::async(std::function<void()> task)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping)
            return;
        m_tasks.push_back(std::move(task));
    }
    m_wake.notify_one();
}

int PreviewRenderThread::pendingTaskCount()
{
    std::lock_guard lock(m_mutex);
    return int(m_tasks.size()) + m_running;
}

bool PreviewRenderThread::stopAndWait()
{
    std::deque<std::function<void()>> dropped;
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        std::swap(dropped, m_tasks);
    }
    m_wake.notify_all();
    dropped.clear();
    // The running task may be waiting for the main thread: keep serving it until the task returns.
    QDeadlineTimer deadline(5000);
    while (!wait(10)) {
        if (deadline.hasExpired()) {
            qCWarning(lcPreviews) << "the preview render thread did not stop in time";
            return false;
        }
        QCoreApplication::sendPostedEvents();
    }
    return true;
}

void PreviewRenderThread::run()
{
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_tasks.empty(); });
            if (m_stopping)
                return;
            task = std::move(m_tasks.front());
            m_tasks.pop_front();
            m_running = 1;
        }
        task();
        task = nullptr;
        std::lock_guard lock(m_mutex);
        m_running = 0;
    }
}
