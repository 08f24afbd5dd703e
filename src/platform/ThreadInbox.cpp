#include "platform/ThreadInbox.h"

#include <mutex>
#include <utility>

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QThread>

namespace {

QEvent::Type wakeEventType()
{
    static const auto type = QEvent::Type(QEvent::registerEventType());
    return type;
}

// A receiver is often made on one thread and woken on another; its queue is set and first read under this lock,
// the only ordering between the two that the thread checker can see (Qt's own locking is invisible to it).
std::mutex& receiversMutex()
{
    static std::mutex mutex;
    return mutex;
}

} // namespace

struct ThreadInbox::Gate {
    std::mutex mutex;
    QObject* receiver = nullptr;
};

class ThreadInbox::Receiver : public QObject {
public:
    explicit Receiver(std::shared_ptr<HandOffQueue> queue)
        : m_queue(std::move(queue))
    {
    }

    bool event(QEvent* e) override
    {
        HandOffQueue* queue = nullptr;
        {
            std::lock_guard lock(receiversMutex());
            queue = m_queue.get();
        }
        // A wake-up event is made on the posting thread under the queue's lock. Taking that lock before looking at
        // the event orders this read after its making for the thread checker, which cannot see Qt's own locking.
        // The lock is held only for such short steps, never while a poster makes a system call.
        queue->size();
        if (e->type() != wakeEventType())
            return QObject::event(e);
        if (HandOffQueue::Task task = queue->tryPop())
            task();
        return true;
    }

private:
    const std::shared_ptr<HandOffQueue> m_queue;
};

ThreadInbox::ThreadInbox(QThread* thread)
    : m_queue(std::make_shared<HandOffQueue>())
{
    {
        std::lock_guard lock(receiversMutex());
        m_receiver = std::make_unique<Receiver>(m_queue);
    }
    if (thread && thread != QThread::currentThread())
        m_receiver->moveToThread(thread);
    // The wake-up event is made under the queue's lock and posted after it is released (posting wakes the
    // receiving thread, a system call). The gate lets a poster that took its event before the queue closed post it
    // only while the receiver lives; the receiving thread takes the gate's lock only when the inbox goes. The
    // event itself carries nothing.
    m_gate = std::make_shared<Gate>();
    m_gate->receiver = m_receiver.get();
    m_queue->setWake([gate = m_gate]() -> HandOffQueue::Deliver {
        auto event = std::make_shared<std::unique_ptr<QEvent>>(std::make_unique<QEvent>(wakeEventType()));
        return [gate, event] {
            std::lock_guard lock(gate->mutex);
            if (gate->receiver)
                QCoreApplication::postEvent(gate->receiver, event->release());
        };
    });
}

ThreadInbox::~ThreadInbox()
{
    m_queue->close();
    {
        std::lock_guard lock(m_gate->mutex);
        m_gate->receiver = nullptr;
    }
    // The receiver takes its posted wake-ups with it.
}

bool ThreadInbox::isCurrent() const
{
    return m_receiver->thread() == QThread::currentThread();
}
