#include "platform/HandOffQueue.h"

#include <algorithm>
#include <utility>

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QThread>

#include <pthread.h>

HandOffQueue::~HandOffQueue()
{
    close();
}

bool HandOffQueue::push(Task task)
{
    if (!task)
        return false;
    {
        std::lock_guard lock(m_mutex);
        if (!m_closed) {
            m_tasks.push_back(std::move(task));
            if (m_wake)
                m_wake();
            m_pushed.notify_one();
            return true;
        }
    }
    return false; // `task` is destroyed here, outside the lock
}

HandOffQueue::Task HandOffQueue::tryPop()
{
    std::lock_guard lock(m_mutex);
    if (m_tasks.empty())
        return {};
    Task task = std::move(m_tasks.front());
    m_tasks.pop_front();
    return task;
}

HandOffQueue::Task HandOffQueue::waitPop()
{
    std::unique_lock lock(m_mutex);
    m_pushed.wait(lock, [this] { return m_closed || !m_tasks.empty(); });
    if (m_tasks.empty())
        return {};
    Task task = std::move(m_tasks.front());
    m_tasks.pop_front();
    return task;
}

std::size_t HandOffQueue::close()
{
    std::deque<Task> dropped;
    std::function<void()> wake;
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
        dropped.swap(m_tasks);
        wake.swap(m_wake);
    }
    m_pushed.notify_all();
    // `dropped` and `wake` die on return, outside the lock: a closure's destructor may post again.
    return dropped.size();
}

void HandOffQueue::finish()
{
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
    }
    m_pushed.notify_all();
}

bool HandOffQueue::isClosed() const
{
    std::lock_guard lock(m_mutex);
    return m_closed;
}

std::size_t HandOffQueue::size() const
{
    std::lock_guard lock(m_mutex);
    return m_tasks.size();
}

void HandOffQueue::setWake(std::function<void()> wake)
{
    std::lock_guard lock(m_mutex);
    if (m_closed)
        return;
    m_wake = std::move(wake);
    if (m_wake) {
        for (std::size_t i = 0; i < m_tasks.size(); ++i)
            m_wake();
    }
}

namespace {

QEvent::Type wakeEventType()
{
    static const auto type = QEvent::Type(QEvent::registerEventType());
    return type;
}

} // namespace

class ThreadInbox::Receiver : public QObject {
public:
    explicit Receiver(std::shared_ptr<HandOffQueue> queue)
        : m_queue(std::move(queue))
    {
    }

    bool event(QEvent* e) override
    {
        if (e->type() != wakeEventType())
            return QObject::event(e);
        if (HandOffQueue::Task task = m_queue->tryPop())
            task();
        return true;
    }

private:
    const std::shared_ptr<HandOffQueue> m_queue;
};

ThreadInbox::ThreadInbox(QThread* thread)
    : m_queue(std::make_shared<HandOffQueue>())
    , m_receiver(std::make_unique<Receiver>(m_queue))
{
    if (thread && thread != QThread::currentThread())
        m_receiver->moveToThread(thread);
    // The wake-up is posted under the queue's lock, and closing the queue clears it under that lock, so no
    // event is posted to a receiver that is being destroyed. The event itself carries nothing.
    Receiver* receiver = m_receiver.get();
    m_queue->setWake([receiver] { QCoreApplication::postEvent(receiver, new QEvent(wakeEventType())); });
}

ThreadInbox::~ThreadInbox()
{
    m_queue->close();
    // The receiver takes its posted wake-ups with it.
}

bool ThreadInbox::isCurrent() const
{
    return m_receiver->thread() == QThread::currentThread();
}

WorkerThreads::WorkerThreads(int count, QString name)
    : m_name(std::move(name))
{
    count = std::max(count, 1);
    const QByteArray threadName = m_name.toUtf8().left(15); // the longest name a thread can carry
    m_threads.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i) {
        m_threads.emplace_back([this] {
            while (HandOffQueue::Task task = m_queue.waitPop()) {
                task();
                task = nullptr; // its captures go before the job counts as done
                taskEnded();
            }
        });
        pthread_setname_np(m_threads.back().native_handle(), threadName.constData());
    }
}

WorkerThreads::~WorkerThreads()
{
    stop();
}

WorkerThreads& WorkerThreads::shared()
{
    static struct Holder {
        WorkerThreads threads{std::max(QThread::idealThreadCount(), 2), QStringLiteral("background")};
        ~Holder() { threads.finish(); }
    } holder;
    return holder.threads;
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
