#include "platform/MainThread.h"

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <limits>
#include <memory>
#include <mutex>
#include <utility>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <unistd.h>

#include "platform/ThreadInbox.h"
#include "platform/PlatformLogging.h"

namespace {

struct DelayedBlock {
    QDeadlineTimer deadline;
    QPointer<const QObject> context;
    bool hasContext = false;
    std::function<void()> block;
};

// Timers round to whole milliseconds and the event loop can wake a little early; re-arming until the deadline
// has really passed is what guarantees that a delayed block never runs before its time.
void arm(std::shared_ptr<DelayedBlock> delayed)
{
    const qint64 remainingNs = delayed->deadline.remainingTimeNSecs();
    const qint64 ms =
        std::min<qint64>((std::max<qint64>(remainingNs, 0) + 999'999) / 1'000'000, std::numeric_limits<int>::max());
    QTimer::singleShot(std::chrono::milliseconds(ms), Qt::PreciseTimer, QCoreApplication::instance(), [delayed] {
        if (delayed->hasContext && !delayed->context)
            return;
        if (!delayed->deadline.hasExpired()) {
            arm(delayed);
            return;
        }
        delayed->block();
    });
}

// Signals the waiting thread when the queued call is destroyed: after it ran, or unrun when the application
// drops its pending events at exit, so a worker never waits for a call that cannot come.
class Completion {
public:
    Completion(std::mutex& mutex, std::condition_variable& condition, bool& done)
        : m_mutex(mutex)
        , m_condition(condition)
        , m_done(done)
    {
    }
    ~Completion()
    {
        std::lock_guard lock(m_mutex);
        m_done = true;
        m_condition.notify_all();
    }

private:
    std::mutex& m_mutex;
    std::condition_variable& m_condition;
    bool& m_done;
};

// The main thread's inbox, made for the running application on first use (from any thread) and dropped with it:
// blocks still queued when the application goes are destroyed unrun, as its own pending events are.
std::mutex& inboxMutex()
{
    static std::mutex mutex;
    return mutex;
}

ThreadInbox*& mainInbox()
{
    static ThreadInbox* inbox = nullptr;
    return inbox;
}

std::shared_ptr<HandOffQueue> mainThreadQueue(QCoreApplication* app)
{
    std::mutex& mutex = inboxMutex();
    ThreadInbox*& inbox = mainInbox();
    std::lock_guard lock(mutex);
    if (!inbox) {
        // The application stops being the instance before it is destroyed: an inbox made now would never go.
        if (QCoreApplication::instance() != app)
            return nullptr;
        inbox = new ThreadInbox(app->thread());
        // Runs on the main thread, inside the application's destruction. It captures nothing: the connection
        // may be made on another thread, and what it needs is read under the lock.
        QObject::connect(app, &QObject::destroyed, [] { MainThread::closeInbox(); });
    }
    return inbox->queue();
}

void runQueued(QCoreApplication* app, std::function<void()> block)
{
    const std::shared_ptr<HandOffQueue> queue = mainThreadQueue(app);
    if (!queue || !queue->push(std::move(block)))
        qCWarning(lcPlatform) << "the application is going away: a block for the main thread was dropped";
}

// Blocks the calling thread until the block ran on the main thread, or was dropped unrun.
void runAndWait(QCoreApplication* app, std::function<void()> block)
{
    std::mutex mutex;
    std::condition_variable condition;
    bool done = false;
    {
        auto completion = std::make_shared<Completion>(mutex, condition, done);
        runQueued(app, [block = std::move(block), completion]() mutable {
            block();
            block = nullptr; // its captures are released before the waiting thread resumes
        });
    }
    std::unique_lock lock(mutex);
    condition.wait(lock, [&] { return done; });
}

} // namespace

void MainThread::closeInbox()
{
    Q_ASSERT(isMainThread());
    ThreadInbox* gone = nullptr;
    {
        std::lock_guard lock(inboxMutex());
        std::swap(gone, mainInbox());
    }
    // Closing drops what was queued; a waiting thread is released as its block is destroyed.
    delete gone;
}

bool MainThread::isMainThread()
{
    if (const QCoreApplication* app = QCoreApplication::instance())
        return QThread::currentThread() == app->thread();
    // Before the application exists or after it is gone: the thread the process started on.
    return ::gettid() == ::getpid();
}

void MainThread::run(std::function<void()> block, bool waitUntilDone)
{
    if (!block)
        return;
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) {
        // No event loop to hand the block to. On the main thread running it now is what a queued call would
        // come to; from another thread it would run on the wrong thread, so it is dropped.
        if (isMainThread()) {
            block();
        } else {
            qCWarning(lcPlatform) << "no application: a block for the main thread was dropped";
        }
        return;
    }
    if (waitUntilDone) {
        if (isMainThread())
            block();
        else
            runAndWait(app, std::move(block));
        return;
    }
    runQueued(app, std::move(block));
}

void MainThread::runAfter(double seconds, std::function<void()> block)
{
    runAfter(seconds, nullptr, std::move(block));
}

void MainThread::runAfter(double seconds, const QObject* context, std::function<void()> block)
{
    if (!block)
        return;
    if (!(seconds > 0)) // also catches NaN
        seconds = 0;
    seconds = std::min(seconds, 1e9); // about 30 years: beyond it the nanosecond count would overflow

    auto delayed = std::make_shared<DelayedBlock>();
    delayed->deadline = QDeadlineTimer(std::chrono::nanoseconds(qint64(std::ceil(seconds * 1e9))), Qt::PreciseTimer);
    delayed->context = context;
    delayed->hasContext = context != nullptr;
    delayed->block = std::move(block);
    if (isMainThread() && QCoreApplication::instance())
        arm(std::move(delayed));
    else
        run([delayed] { arm(delayed); }, false);
}
