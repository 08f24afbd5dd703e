#include "tessarine_data_model/ObjectUpdateNotifier.h"

#include <QMetaProperty>
#include <QObject>

#include "platform/EndOfTurn.h"
#include "platform/MainThread.h"

struct ObjectUpdateNotifierState {
    struct Entry {
        quint64 id = 0;
        QSet<QString> keys; // empty: any key
        std::shared_ptr<ObjectUpdateBlock> block;
    };
    const void* tracked = nullptr;
    std::vector<Entry> entries;
    QSet<QString> pending;
    bool queued = false;
    quint64 nextId = 1;

    void deliver();
};

namespace {

// All notifiers share one end-of-turn hook; each dirty notifier is listed once per turn. Main thread only.
class Dispatcher {
public:
    static Dispatcher& instance()
    {
        // Deliberately never destroyed: notifiers may still report while statics are torn down.
        static Dispatcher* dispatcher = new Dispatcher;
        return *dispatcher;
    }

    void enqueue(const std::shared_ptr<ObjectUpdateNotifierState>& state)
    {
        m_dirty.push_back(state);
        m_coalescer.request();
    }

private:
    Dispatcher()
        : m_coalescer([this] { flush(); })
    {
    }

    void flush()
    {
        std::vector<std::weak_ptr<ObjectUpdateNotifierState>> dirty;
        dirty.swap(m_dirty);
        for (const auto& weak : dirty) {
            if (const auto state = weak.lock())
                state->deliver();
        }
    }

    std::vector<std::weak_ptr<ObjectUpdateNotifierState>> m_dirty;
    EndOfTurnCoalescer m_coalescer;
};

void reportOnMainThread(const std::shared_ptr<ObjectUpdateNotifierState>& state, const QSet<QString>& keys)
{
    if (keys.isEmpty() || state->entries.empty())
        return; // nobody listens: nothing to gather
    state->pending.unite(keys);
    if (!state->queued) {
        state->queued = true;
        Dispatcher::instance().enqueue(state);
    }
}

} // namespace

// Turns one property's notify signal into a report of the property's name.
class ObjectUpdatePropertyRelay : public QObject {
    Q_OBJECT
public:
    ObjectUpdatePropertyRelay(std::weak_ptr<ObjectUpdateNotifierState> state, QString key)
        : m_state(std::move(state))
        , m_key(std::move(key))
    {
    }

public slots:
    void fire()
    {
        if (const auto state = m_state.lock())
            reportOnMainThread(state, {m_key});
    }

private:
    std::weak_ptr<ObjectUpdateNotifierState> m_state;
    QString m_key;
};

void ObjectUpdateNotifierState::deliver()
{
    queued = false;
    if (pending.isEmpty())
        return;
    const QSet<QString> keys = std::move(pending);
    pending.clear();
    const std::vector<Entry> snapshot = entries;
    for (const Entry& entry : snapshot) {
        const bool stillRegistered =
            std::any_of(entries.begin(), entries.end(), [&](const Entry& current) { return current.id == entry.id; });
        if (!stillRegistered)
            continue;
        if (entry.keys.isEmpty() || entry.keys.intersects(keys))
            (*entry.block)(tracked, keys);
    }
}

ObjectUpdateNotifierObserver::ObjectUpdateNotifierObserver(std::weak_ptr<ObjectUpdateNotifierState> state, quint64 id)
    : m_state(std::move(state))
    , m_id(id)
{
}

ObjectUpdateNotifierObserver::~ObjectUpdateNotifierObserver()
{
    reset();
}

ObjectUpdateNotifierObserver::ObjectUpdateNotifierObserver(ObjectUpdateNotifierObserver&& other) noexcept
    : m_state(std::move(other.m_state))
    , m_id(std::exchange(other.m_id, 0))
{
}

ObjectUpdateNotifierObserver& ObjectUpdateNotifierObserver::operator=(ObjectUpdateNotifierObserver&& other) noexcept
{
    if (this != &other) {
        reset();
        m_state = std::move(other.m_state);
        m_id = std::exchange(other.m_id, 0);
    }
    return *this;
}

void ObjectUpdateNotifierObserver::reset()
{
    if (const auto state = m_state.lock()) {
        std::erase_if(state->entries, [this](const auto& entry) { return entry.id == m_id; });
        if (state->entries.empty())
            state->pending.clear();
    }
    m_state.reset();
    m_id = 0;
}

bool ObjectUpdateNotifierObserver::isActive() const
{
    const auto state = m_state.lock();
    return state && std::any_of(state->entries.begin(), state->entries.end(),
                                [this](const auto& entry) { return entry.id == m_id; });
}

ObjectUpdateNotifier::ObjectUpdateNotifier(const void* trackedObject)
    : m_state(std::make_shared<ObjectUpdateNotifierState>())
{
    m_state->tracked = trackedObject;
}

ObjectUpdateNotifier::ObjectUpdateNotifier(QObject* trackedObject)
    : ObjectUpdateNotifier(static_cast<const void*>(trackedObject))
{
    m_trackedQObject = trackedObject;
}

ObjectUpdateNotifier::~ObjectUpdateNotifier()
{
    stopObservingTrackedObject();
}

ObjectUpdateNotifierObserver ObjectUpdateNotifier::addObservationBlock(ObjectUpdateBlock block)
{
    return addObservationBlock(std::move(block), QStringList());
}

ObjectUpdateNotifierObserver ObjectUpdateNotifier::addObservationBlock(ObjectUpdateBlock block, const QString& key)
{
    return addObservationBlock(std::move(block), QStringList{key});
}

ObjectUpdateNotifierObserver ObjectUpdateNotifier::addObservationBlock(ObjectUpdateBlock block, const QStringList& keys)
{
    Q_ASSERT(block);
    const quint64 id = m_state->nextId++;
    m_state->entries.push_back(
        {id, QSet<QString>(keys.begin(), keys.end()), std::make_shared<ObjectUpdateBlock>(std::move(block))});
    return ObjectUpdateNotifierObserver(m_state, id);
}

void ObjectUpdateNotifier::removeUpdateObserver(ObjectUpdateNotifierObserver& observer)
{
    observer.reset();
}

void ObjectUpdateNotifier::reportChange(const QString& key)
{
    reportChanges({key});
}

void ObjectUpdateNotifier::reportChanges(const QSet<QString>& keys)
{
    if (MainThread::isMainThread()) {
        reportOnMainThread(m_state, keys);
        return;
    }
    MainThread::run(
        [weak = std::weak_ptr<ObjectUpdateNotifierState>(m_state), keys] {
            if (const auto state = weak.lock())
                reportOnMainThread(state, keys);
        },
        false);
}

void ObjectUpdateNotifier::sendUpdateNotificationsIfNeeded()
{
    const auto keepAlive = m_state;
    keepAlive->deliver();
}

bool ObjectUpdateNotifier::hasObservers() const
{
    return !m_state->entries.empty();
}

const void* ObjectUpdateNotifier::trackedObject() const
{
    return m_state->tracked;
}

void ObjectUpdateNotifier::startObservingTrackedObject()
{
    if (!m_trackedQObject || !m_relays.empty())
        return;
    const QMetaObject* meta = m_trackedQObject->metaObject();
    for (int i = 0; i < meta->propertyCount(); ++i) {
        const QMetaProperty property = meta->property(i);
        if (!property.hasNotifySignal())
            continue;
        auto relay = std::make_unique<ObjectUpdatePropertyRelay>(m_state, QString::fromLatin1(property.name()));
        const QMetaMethod fire = relay->metaObject()->method(relay->metaObject()->indexOfSlot("fire()"));
        QObject::connect(m_trackedQObject, property.notifySignal(), relay.get(), fire);
        m_relays.push_back(std::move(relay));
    }
}

void ObjectUpdateNotifier::stopObservingTrackedObject()
{
    m_relays.clear();
}

#include "ObjectUpdateNotifier.moc"
