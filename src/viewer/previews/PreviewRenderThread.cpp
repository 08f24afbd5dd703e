#include "viewer/previews/PreviewRenderThread.h"

#include <algorithm>
#include <limits>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFont>
#include <QGuiApplication>
#include <QTextLayout>
#include <QThread>
#include <QtGui/private/qguiapplication_p.h>

#include "platform/MainThread.h"
#include "platform/WorkerThreads.h"
#include "viewer/previews/PreviewsLogging.h"

namespace {

std::mutex& instanceMutex()
{
    static std::mutex mutex;
    return mutex;
}

// Where the stopped objects stay reachable until the process ends (volatile: the store is the point). Each
// application object makes its own and retires it; every retired one links to the one retired before it, so a
// later one never makes an earlier one unreachable.
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

// Once the record of sightings grows this long, those of screens that are gone are forgotten.
constexpr std::size_t kMostSightings = 20000;

} // namespace

void PreviewRenderThread::prepareThreadsToDrawText()
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return;
    // Some of what text drawing needs is made on first use, by whichever thread comes first, with no lock: the font
    // configuration library's locks, and the application's gamma tables for antialiased text, which are plain
    // shared pointers assigned in place. Two threads drawing their first text at once would race to make them.
    // Made here on the main thread, before the threads start, they are only read afterwards; starting a thread
    // orders all that came before it.
    QTextLayout layout(QStringLiteral("Tessarine"), QFont());
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    if (auto* application = QGuiApplicationPrivate::instance()) {
        application->colorProfileForA8Text();
        application->colorProfileForA32Text();
    }
}

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
                old->m_retiredBefore = retiredThreads;
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
            // Drawing previews waits for whatever the user is doing.
            lowerCurrentThreadPriority();
            while (HandOffQueue::Task task = m_queue.waitPop())
                task();
        });
        thread->setObjectName(QStringLiteral("renderQueue %1").arg(i + 1));
        m_threads.push_back(thread);
    }
    prepareThreadsToDrawText();
    for (QThread* thread : m_threads)
        thread->start(QThread::LowPriority);
}

void PreviewRenderThread::async(std::function<void()> task)
{
    if (!task)
        return;
    {
        std::lock_guard lock(m_countMutex);
        ++m_pending;
    }
    Waiting waiting{{}, false, std::move(task)};
    if (MainThread::isMainThread()) {
        enqueue(std::move(waiting));
        return;
    }
    MainThread::run([this, waiting = std::move(waiting)]() mutable { enqueue(std::move(waiting)); }, false);
}

void PreviewRenderThread::request(Key key, std::function<void()> task)
{
    if (!task)
        return;
    {
        std::lock_guard lock(m_countMutex);
        ++m_pending;
    }
    Waiting waiting{std::move(key), true, std::move(task)};
    if (MainThread::isMainThread()) {
        enqueue(std::move(waiting));
        return;
    }
    MainThread::run([this, waiting = std::move(waiting)]() mutable { enqueue(std::move(waiting)); }, false);
}

void PreviewRenderThread::enqueue(Waiting waiting)
{
    if (m_stopped) {
        std::lock_guard lock(m_countMutex);
        --m_pending;
        return;
    }
    m_waiting.push_back(std::move(waiting));
    dispatch();
}

void PreviewRenderThread::noteInSight(const Key& key)
{
    if (key.expired())
        return;
    if (m_lastSeen.size() >= kMostSightings) {
        for (auto it = m_lastSeen.begin(); it != m_lastSeen.end();)
            it = it->first.expired() ? m_lastSeen.erase(it) : std::next(it);
    }
    m_lastSeen[key] = ++m_sightCounter;
}

void PreviewRenderThread::setCurrent(const Key& key, bool current)
{
    if (current) {
        if (key.expired())
            return;
        ++m_current[key];
        return;
    }
    const auto found = m_current.find(key);
    if (found != m_current.end() && --found->second <= 0)
        m_current.erase(found);
}

std::uint64_t PreviewRenderThread::rankOf(const Waiting& waiting) const
{
    if (!waiting.hasKey)
        return 0;
    if (m_current.count(waiting.key))
        return std::numeric_limits<std::uint64_t>::max();
    const auto seen = m_lastSeen.find(waiting.key);
    return seen == m_lastSeen.end() ? 0 : seen->second;
}

void PreviewRenderThread::dispatch()
{
    while (!m_stopped && int(m_running.size()) < workerCount() && !m_waiting.empty()) {
        // The best ranked waiting task whose screen is not being worked on; the earliest of equals.
        auto best = m_waiting.end();
        std::uint64_t bestRank = 0;
        for (auto it = m_waiting.begin(); it != m_waiting.end(); ++it) {
            if (it->hasKey && m_runningKeys.count(it->key))
                continue;
            const std::uint64_t rank = rankOf(*it);
            if (best == m_waiting.end() || rank > bestRank) {
                best = it;
                bestRank = rank;
            }
        }
        if (best == m_waiting.end())
            return;
        const std::uint64_t ticket = ++m_tickets;
        if (best->hasKey) {
            m_runningKeys.insert(best->key);
            m_running.emplace(ticket, best->key);
        } else {
            m_running.emplace(ticket, std::nullopt);
        }
        if (const auto& probe = dispatchProbe())
            probe(best->hasKey ? best->key.lock().get() : nullptr);
        std::function<void()> task = std::move(best->task);
        m_waiting.erase(best);
        // The screen's key stays on the main thread: the worker carries the task and a ticket number.
        const bool pushed = m_queue.push([this, task = std::move(task), ticket]() mutable {
            task();
            task = nullptr; // its captures go before the task counts as finished
            taskFinishedOnWorker();
            MainThread::run([this, ticket] { taskEnded(ticket); }, false);
        });
        if (!pushed) {
            taskFinishedOnWorker();
            taskEnded(ticket);
        }
    }
}

void PreviewRenderThread::taskFinishedOnWorker()
{
    std::lock_guard lock(m_countMutex);
    --m_pending;
}

void PreviewRenderThread::taskEnded(std::uint64_t ticket)
{
    const auto running = m_running.find(ticket);
    if (running != m_running.end()) {
        if (running->second)
            m_runningKeys.erase(*running->second);
        m_running.erase(running);
    }
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
    // A stopped scheduler holds on to no screen: its weak references would keep their memory to the end.
    m_lastSeen.clear();
    m_current.clear();
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
    m_runningKeys.clear();
    m_running.clear();
    return true;
}
