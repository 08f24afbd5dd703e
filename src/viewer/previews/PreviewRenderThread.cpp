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
    if (!task)
        return;
    {
        std::lock_guard lock(m_countMutex);
        ++m_pending;
    }
    if (!m_queue.push(std::move(task))) {
        std::lock_guard lock(m_countMutex);
        --m_pending;
    }
}

int PreviewRenderThread::pendingTaskCount()
{
    std::lock_guard lock(m_countMutex);
    return m_pending;
}

bool PreviewRenderThread::stopAndWait()
{
    const std::size_t dropped = m_queue.close();
    {
        std::lock_guard lock(m_countMutex);
        m_pending -= int(dropped);
    }
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
    // Ends once the queue is closed: the tasks still queued then are dropped by the closing thread.
    while (HandOffQueue::Task task = m_queue.waitPop()) {
        task();
        task = nullptr; // its captures go before the task counts as finished
        std::lock_guard lock(m_countMutex);
        --m_pending;
    }
}
