#include "platform/NotificationCenter.h"

#include <atomic>
#include <vector>

#include <QHash>
#include <QMutex>

#include "platform/MainThread.h"

namespace {

struct Observer {
    quint64 id = 0;
    QString name;
    const void* sender = nullptr;
    const void* owner = nullptr;
    NotificationCenter::Callback callback;
    // Set under the centre's lock at removal and read without it during a post, so that a removal made
    // while a post is under way stops delivery to this observer from then on.
    std::atomic<bool> removed = false;
};

} // namespace

struct NotificationCenterState {
    mutable QMutex mutex;
    quint64 nextId = 1;
    QHash<QString, std::vector<std::shared_ptr<Observer>>> byName; // registration order per name
    QHash<quint64, std::shared_ptr<Observer>> byId;

    void remove(quint64 id)
    {
        QMutexLocker lock(&mutex);
        removeLocked(id);
    }

    void removeLocked(quint64 id)
    {
        const auto it = byId.find(id);
        if (it == byId.end())
            return;
        std::shared_ptr<Observer> observer = it.value();
        byId.erase(it);
        observer->removed.store(true, std::memory_order_release);
        auto nameIt = byName.find(observer->name);
        if (nameIt == byName.end())
            return;
        auto& list = nameIt.value();
        std::erase(list, observer);
        if (list.empty())
            byName.erase(nameIt);
    }

    void post(const Notification& notification)
    {
        std::vector<std::shared_ptr<Observer>> targets;
        {
            QMutexLocker lock(&mutex);
            const auto it = byName.constFind(notification.name);
            if (it == byName.constEnd())
                return;
            targets.reserve(it->size());
            for (const auto& observer : *it)
                if (!observer->sender || observer->sender == notification.sender)
                    targets.push_back(observer);
        }
        // The snapshot keeps each callback alive while it runs even if it is removed meanwhile.
        for (const auto& observer : targets)
            if (!observer->removed.load(std::memory_order_acquire))
                observer->callback(notification);
    }
};

NotificationCenter::NotificationCenter()
    : m_state(std::make_shared<NotificationCenterState>())
{
}

NotificationCenter::~NotificationCenter() = default;

NotificationCenter& NotificationCenter::defaultCenter()
{
    static NotificationCenter center;
    return center;
}

ObserverToken NotificationCenter::addObserver(const QString& name, const void* sender, Callback callback,
                                              const void* owner)
{
    if (!callback)
        return {};
    auto observer = std::make_shared<Observer>();
    observer->name = name;
    observer->sender = sender;
    observer->owner = owner;
    observer->callback = std::move(callback);

    QMutexLocker lock(&m_state->mutex);
    observer->id = m_state->nextId++;
    m_state->byName[name].push_back(observer);
    m_state->byId.insert(observer->id, observer);
    return ObserverToken{observer->id};
}

void NotificationCenter::removeObserver(ObserverToken token)
{
    if (token.isValid())
        m_state->remove(token.id);
}

void NotificationCenter::removeObserversOwnedBy(const void* owner)
{
    if (!owner)
        return;
    QMutexLocker lock(&m_state->mutex);
    std::vector<quint64> ids;
    for (const auto& observer : std::as_const(m_state->byId))
        if (observer->owner == owner)
            ids.push_back(observer->id);
    for (quint64 id : ids)
        m_state->removeLocked(id);
}

void NotificationCenter::post(const QString& name, const void* sender, const QVariantMap& userInfo)
{
    post(Notification{name, sender, userInfo});
}

void NotificationCenter::post(const Notification& notification)
{
    m_state->post(notification);
}

void NotificationCenter::postOnMainThread(const QString& name, const void* sender, const QVariantMap& userInfo)
{
    postOnMainThread(Notification{name, sender, userInfo});
}

void NotificationCenter::postOnMainThread(const Notification& notification)
{
    std::weak_ptr<NotificationCenterState> weakState = m_state;
    MainThread::run(
        [weakState, notification] {
            // The centre may have been destroyed while the post was queued.
            if (auto state = weakState.lock())
                state->post(notification);
        },
        false);
}

int NotificationCenter::observerCount() const
{
    QMutexLocker lock(&m_state->mutex);
    return int(m_state->byId.size());
}

NotificationObservation::NotificationObservation(NotificationCenter& center, ObserverToken token)
    : m_state(center.m_state)
    , m_token(token)
{
}

NotificationObservation::NotificationObservation(const QString& name, const void* sender,
                                                 NotificationCenter::Callback callback)
    : NotificationObservation(NotificationCenter::defaultCenter(),
                              NotificationCenter::defaultCenter().addObserver(name, sender, std::move(callback)))
{
}

NotificationObservation::~NotificationObservation()
{
    reset();
}

NotificationObservation::NotificationObservation(NotificationObservation&& other) noexcept
    : m_state(std::move(other.m_state))
    , m_token(std::exchange(other.m_token, {}))
{
}

NotificationObservation& NotificationObservation::operator=(NotificationObservation&& other) noexcept
{
    if (this != &other) {
        reset();
        m_state = std::move(other.m_state);
        m_token = std::exchange(other.m_token, {});
    }
    return *this;
}

void NotificationObservation::reset()
{
    if (m_token.isValid())
        if (auto state = m_state.lock())
            state->remove(m_token.id);
    m_token = {};
    m_state.reset();
}
