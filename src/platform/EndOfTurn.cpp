#include "platform/EndOfTurn.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

namespace {

QEvent::Type endOfTurnEventType()
{
    static const auto type = QEvent::Type(QEvent::registerEventType());
    return type;
}

} // namespace

// A posted event is delivered by every event loop of its thread, nested ones included, after the work of the
// current turn; low priority lets the other events already queued in this turn go first.
class EndOfTurnCoalescer::Receiver : public QObject {
public:
    explicit Receiver(EndOfTurnCoalescer* owner)
        : m_owner(owner)
    {
    }

    bool event(QEvent* e) override
    {
        if (e->type() != endOfTurnEventType())
            return QObject::event(e);
        m_owner->fire();
        return true;
    }

private:
    EndOfTurnCoalescer* m_owner;
};

EndOfTurnCoalescer::EndOfTurnCoalescer(std::function<void()> callback)
    : m_callback(std::move(callback))
    , m_receiver(std::make_unique<Receiver>(this))
{
}

EndOfTurnCoalescer::~EndOfTurnCoalescer() = default; // the receiver takes its queued events with it

void EndOfTurnCoalescer::request()
{
    if (!m_pending.exchange(true, std::memory_order_acq_rel))
        QCoreApplication::postEvent(m_receiver.get(), new QEvent(endOfTurnEventType()), Qt::LowEventPriority);
}

void EndOfTurnCoalescer::cancel()
{
    m_pending.store(false, std::memory_order_release);
}

void EndOfTurnCoalescer::fire()
{
    // Cleared before the call so that a request made by the callback schedules the next turn.
    if (m_pending.exchange(false, std::memory_order_acq_rel) && m_callback)
        m_callback();
}
