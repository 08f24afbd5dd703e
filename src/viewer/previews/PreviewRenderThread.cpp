#include "viewer/previews/PreviewRenderThread.h"

#include <algorithm>
#include <limits>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include "platform/MainThread.h"
#include "viewer/previews/PreviewsLogging.h"

namespace {

std::mutex& instanceMutex()
{
    static std::mutex mutex;
    return mutex;
}

// Where the stopped object stays reachable until the process ends (volatile: the store is the point).
PreviewRenderThread* volatile retiredThreads = nullptr;

PreviewRenderThread*& instance()
{
    static PreviewRenderThread* threads = nullptr;
    return threads;
}

std::function<void(const void*)>& dispatchProbe()
{
    static std::function<void(const void*)> probe;
    return probe;
}

// Beside the main thread, which stays free for the user; more than four would only fight over the file system
// and the memory bus.
int workersForThisMachine()
{
    return std::clamp(QThread::idealThreadCount() - 1, 1, 4);
}

// A lasting record of sightings is not needed: once it grows this long, those of screens without a waiting request
// are forgotten.
constexpr std::size_t kMostSightings = 20000;

} // namespace

PreviewRenderThread& PreviewRenderThread::shared()
{
    std::lock_guard lock(instanceMutex());
    PreviewRenderThread*& threads = instance();
    if (!threads) {
        threads = new PreviewRenderThread(workersForThisMachine());
        // Running QThreads must not outlive the application; tasks still queued then are dropped.
        qAddPostRoutine([] {
            PreviewRenderThread* old = nullptr;
            {
                std::lock_guard innerLock(instanceMutex());
                std::swap(old, instance());
            }
            // The stopped object is kept to the process's exit: deleting it would only race with the threads'
            // own last steps inside Qt, and one that did not stop must not be destroyed running.
            if (old) {
                old->stopAndWait();
                retiredThreads = old;
            }
        });
    }
    return *threads;
}

PreviewRenderThread::PreviewRenderThread(int workers)
{
    for (int i = 0; i < workers; ++i) {
        // Ends once the queue is closed: the tasks still queued then are dropped by the closing thread.
        QThread* thread = QThread::create([this] {
            while (HandOffQueue::Task task = m_queue.waitPop())
                task();
        });
        thread->setObjectName(QStringLiteral("renderQueue %1").arg(i + 1));
        m_threads.push_back(thread);
    }
    for (QThread* thread : m_threads)
        thread->start(QThread::LowPriority);
}

void PreviewRenderThread::async(std::function<void()> task)
{
    request(nullptr, std::move(task));
}

void PreviewRenderThread::request(const void* key, std::function<void()> task)
{
    if (!task)
        return;
    {
        std::lock_guard lock(m_countMutex);
        ++m_pending;
    }
    if (MainThread::isMainThread()) {
        enqueue(key, std::move(task));
        return;
    }
    MainThread::run([this, key, task = std::move(task)]() mutable { enqueue(key, std::move(task)); }, false);
}

void PreviewRenderThread::enqueue(const void* key, std::function<void()> task)
{
    if (m_stopped) {
        std::lock_guard lock(m_countMutex);
        --m_pending;
        return;
    }
    m_waiting.push_back({key, std::move(task)});
    dispatch();
}

void PreviewRenderThread::noteInSight(const void* key)
{
    if (!key)
        return;
    if (m_lastSeen.size() >= kMostSightings) {
        std::unordered_set<const void*> waiting;
        for (const Waiting& entry : m_waiting)
            waiting.insert(entry.key);
        for (auto it = m_lastSeen.begin(); it != m_lastSeen.end();)
            it = waiting.count(it->first) ? std::next(it) : m_lastSeen.erase(it);
    }
    m_lastSeen[key] = ++m_sightCounter;
}

void PreviewRenderThread::setCurrent(const void* key, bool current)
{
    if (!key)
        return;
    if (current) {
        ++m_current[key];
        return;
    }
    const auto found = m_current.find(key);
    if (found != m_current.end() && --found->second <= 0)
        m_current.erase(found);
}

std::uint64_t PreviewRenderThread::rankOf(const void* key) const
{
    if (!key)
        return 0;
    if (m_current.count(key))
        return std::numeric_limits<std::uint64_t>::max();
    const auto seen = m_lastSeen.find(key);
    return seen == m_lastSeen.end() ? 0 : seen->second;
}

void PreviewRenderThread::dispatch()
{
    while (!m_stopped && m_running < workerCount() && !m_waiting.empty()) {
        // The best ranked waiting task whose screen is not being worked on; the earliest of equals.
        auto best = m_waiting.end();
        std::uint64_t bestRank = 0;
        for (auto it = m_waiting.begin(); it != m_waiting.end(); ++it) {
            if (it->key && m_runningKeys.count(it->key))
                continue;
            const std::uint64_t rank = rankOf(it->key);
            if (best == m_waiting.end() || rank > bestRank) {
                best = it;
                bestRank = rank;
            }
        }
        if (best == m_waiting.end())
            return;
        const void* key = best->key;
        std::function<void()> task = std::move(best->task);
        m_waiting.erase(best);
        if (key)
            m_runningKeys.insert(key);
        ++m_running;
        if (const auto& probe = dispatchProbe())
            probe(key);
        const bool pushed = m_queue.push([this, key, task = std::move(task)]() mutable {
            task();
            task = nullptr; // its captures go before the task counts as finished
            taskFinishedOnWorker();
            MainThread::run([this, key] { taskEnded(key); }, false);
        });
        if (!pushed) {
            taskFinishedOnWorker();
            taskEnded(key);
        }
    }
}

void PreviewRenderThread::taskFinishedOnWorker()
{
    std::lock_guard lock(m_countMutex);
    --m_pending;
}

void PreviewRenderThread::taskEnded(const void* key)
{
    --m_running;
    if (key)
        m_runningKeys.erase(key);
    dispatch();
}

bool PreviewRenderThread::isCurrent() const
{
    const QThread* current = QThread::currentThread();
    return std::find(m_threads.begin(), m_threads.end(), current) != m_threads.end();
}

int PreviewRenderThread::pendingTaskCount()
{
    std::lock_guard lock(m_countMutex);
    return m_pending;
}

void PreviewRenderThread::setDispatchProbeForTesting(std::function<void(const void*)> probe)
{
    dispatchProbe() = std::move(probe);
}

bool PreviewRenderThread::stopAndWait()
{
    m_stopped = true;
    std::deque<Waiting> waiting;
    waiting.swap(m_waiting);
    const std::size_t dropped = m_queue.close() + waiting.size();
    waiting.clear();
    {
        std::lock_guard lock(m_countMutex);
        m_pending -= int(dropped);
    }
    // A running task may be waiting for the main thread: keep serving it until the task returns.
    QDeadlineTimer deadline(5000);
    for (QThread* thread : m_threads) {
        while (!thread->wait(10)) {
            if (deadline.hasExpired()) {
                qCWarning(lcPreviews) << "the preview render threads did not stop in time";
                return false;
            }
            QCoreApplication::sendPostedEvents();
        }
    }
    return true;
}
