#include "platform/WorkerThreads.h"

#include <algorithm>
#include <cerrno>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

#include <QCoreApplication>
#include <QThread>

#include <pthread.h>
#include <sched.h>

#include "platform/MainThread.h"
#include "platform/PlatformLogging.h"

WorkerThreads::WorkerThreads(int count, QString name)
    : m_name(std::move(name))
{
    count = std::max(count, 1);
    const QByteArray threadName = m_name.toUtf8().left(15); // the longest name a thread can carry
    m_threads.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i) {
        m_threads.emplace_back([this] {
            lowerCurrentThreadPriority();
            while (HandOffQueue::Task task = m_queue.waitPop()) {
                task();
                task = nullptr; // its captures go before the job counts as done
                taskEnded();
            }
        });
        pthread_setname_np(m_threads.back().native_handle(), threadName.constData());
    }
}

WorkerThreads::WorkerThreads(int count, QString name, AtApplicationEnd atEnd)
    : WorkerThreads(count, std::move(name))
{
    endWithApplication(atEnd);
}

namespace {

// The threads that end with the application, ended at its first step of destruction (its post routines): before
// the application takes down what their work may still use (Qt's own thread pools, which its image scaling and
// conversions share out to, and the fonts). Its `destroyed` signal comes only after all that.
struct EndingWithApplication {
    std::mutex mutex;
    std::vector<std::pair<WorkerThreads*, std::function<void()>>> threads; // each with how it ends
    const QCoreApplication* registeredWith = nullptr;
};

EndingWithApplication& endingWithApplication()
{
    static EndingWithApplication ending;
    return ending;
}

void forgetEndingWithApplication(WorkerThreads* threads)
{
    EndingWithApplication& ending = endingWithApplication();
    std::lock_guard lock(ending.mutex);
    std::erase_if(ending.threads, [threads](const auto& entry) { return entry.first == threads; });
}

void endThreadsWithApplication()
{
    std::vector<std::pair<WorkerThreads*, std::function<void()>>> threads;
    {
        EndingWithApplication& ending = endingWithApplication();
        std::lock_guard lock(ending.mutex);
        std::swap(threads, ending.threads);
        ending.registeredWith = nullptr;
    }
    if (threads.empty())
        return;
    MainThread::closeInbox();
    // The last made first: later threads may hand work to earlier ones, never the other way round.
    for (auto it = threads.rbegin(); it != threads.rend(); ++it)
        it->second();
}

} // namespace

WorkerThreads::~WorkerThreads()
{
    QObject::disconnect(m_applicationEnd);
    forgetEndingWithApplication(this);
    stop();
}

void WorkerThreads::endNow(AtApplicationEnd how)
{
    if (how == AtApplicationEnd::Finish)
        finish();
    else
        stop();
}

WorkerThreads& WorkerThreads::shared()
{
    static Lasting threads(std::max(QThread::idealThreadCount(), 2), QStringLiteral("background"));
    return threads.threads();
}

void WorkerThreads::endWithApplication(AtApplicationEnd how)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    QObject::disconnect(m_applicationEnd);
    forgetEndingWithApplication(this);
    {
        EndingWithApplication& ending = endingWithApplication();
        std::lock_guard lock(ending.mutex);
        ending.threads.emplace_back(this, [this, how] { endNow(how); });
        if (ending.registeredWith != app) {
            ending.registeredWith = app;
            qAddPostRoutine(endThreadsWithApplication);
        }
    }
    // Runs on the main thread, inside the application's destruction: for threads made after its post routines ran.
    m_applicationEnd = QObject::connect(app, &QObject::destroyed, [this, how] {
        forgetEndingWithApplication(this);
        MainThread::closeInbox();
        endNow(how);
    });
}

bool WorkerThreads::post(HandOffQueue::Task task)
{
    {
        std::lock_guard lock(m_idleMutex);
        ++m_outstanding;
    }
    if (m_queue.push(std::move(task)))
        return true;
    taskEnded();
    return false;
}

void WorkerThreads::taskEnded()
{
    std::lock_guard lock(m_idleMutex);
    if (--m_outstanding == 0)
        m_idle.notify_all();
}

void WorkerThreads::waitForIdle()
{
    Q_ASSERT(!isCurrent());
    std::unique_lock lock(m_idleMutex);
    m_idle.wait(lock, [this] { return m_outstanding == 0; });
}

void WorkerThreads::stop()
{
    const std::size_t dropped = m_queue.close();
    if (dropped > 0) {
        std::lock_guard lock(m_idleMutex);
        m_outstanding -= dropped;
        if (m_outstanding == 0)
            m_idle.notify_all();
    }
    join();
}

void WorkerThreads::finish()
{
    m_queue.finish();
    join();
}

void WorkerThreads::join()
{
    Q_ASSERT(!isCurrent());
    for (std::thread& thread : m_threads) {
        if (thread.joinable())
            thread.join();
    }
}

bool WorkerThreads::isCurrent() const
{
    const std::thread::id self = std::this_thread::get_id();
    return std::any_of(m_threads.begin(), m_threads.end(), [self](const std::thread& t) { return t.get_id() == self; });
}

void lowerCurrentThreadPriority()
{
#if defined(Q_OS_LINUX)
    sched_param parameters{};
    parameters.sched_priority = 0;
    if (const int failed = pthread_setschedparam(pthread_self(), SCHED_BATCH, &parameters))
        qCWarning(lcPlatform) << "cannot make a worker thread give way:" << qt_error_string(failed);
#endif
}

bool currentThreadGivesWay()
{
#if defined(Q_OS_LINUX)
    int policy = 0;
    sched_param parameters{};
    return pthread_getschedparam(pthread_self(), &policy, &parameters) == 0 && policy == SCHED_BATCH;
#else
    return true;
#endif
}
