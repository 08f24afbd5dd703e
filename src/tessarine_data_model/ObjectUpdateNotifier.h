#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <QSet>
#include <QString>
#include <QStringList>

class QObject;
struct ObjectUpdateNotifierState;
class ObjectUpdatePropertyRelay;

// Called with the tracked object (identity only, never dereferenced by the notifier) and every key that
// changed during the turn, not only the observed ones.
using ObjectUpdateBlock = std::function<void(const void* trackedObject, const QSet<QString>& changedKeys)>;

// One observation. Removes itself when destroyed or reset; safe to outlive its notifier.
class [[nodiscard]] ObjectUpdateNotifierObserver {
public:
    ObjectUpdateNotifierObserver() = default;
    ~ObjectUpdateNotifierObserver();
    ObjectUpdateNotifierObserver(ObjectUpdateNotifierObserver&& other) noexcept;
    ObjectUpdateNotifierObserver& operator=(ObjectUpdateNotifierObserver&& other) noexcept;
    ObjectUpdateNotifierObserver(const ObjectUpdateNotifierObserver&) = delete;
    ObjectUpdateNotifierObserver& operator=(const ObjectUpdateNotifierObserver&) = delete;

    void reset();
    bool isActive() const;

private:
    friend class ObjectUpdateNotifier;
    ObjectUpdateNotifierObserver(std::weak_ptr<ObjectUpdateNotifierState> state, quint64 id);
    std::weak_ptr<ObjectUpdateNotifierState> m_state;
    quint64 m_id = 0;
};

// Per-object change observation keyed by property name. Changes reported during one event-loop turn are
// gathered; at the end of the turn each observer whose keys intersect them (or that observes any key) is
// called once, on the main thread, with the whole set. Reports from other threads are forwarded to the main
// thread. An observer removed during a delivery is not called any more in it.
//
// A notifier may also track a plain QObject: startObservingTrackedObject() turns every notify signal of its
// Q_PROPERTYs into a report of that property's name.
class ObjectUpdateNotifier {
public:
    explicit ObjectUpdateNotifier(const void* trackedObject = nullptr);
    explicit ObjectUpdateNotifier(QObject* trackedObject);
    virtual ~ObjectUpdateNotifier();
    ObjectUpdateNotifier(const ObjectUpdateNotifier&) = delete;
    ObjectUpdateNotifier& operator=(const ObjectUpdateNotifier&) = delete;

    // Any key.
    ObjectUpdateNotifierObserver addObservationBlock(ObjectUpdateBlock block);
    ObjectUpdateNotifierObserver addObservationBlock(ObjectUpdateBlock block, const QString& key);
    ObjectUpdateNotifierObserver addObservationBlock(ObjectUpdateBlock block, const QStringList& keys);
    void removeUpdateObserver(ObjectUpdateNotifierObserver& observer);

    void reportChange(const QString& key);
    void reportChanges(const QSet<QString>& keys);
    // Delivers the changes gathered so far now instead of at the end of the turn (main thread only).
    void sendUpdateNotificationsIfNeeded();

    bool hasObservers() const;
    const void* trackedObject() const;

    void startObservingTrackedObject();
    void stopObservingTrackedObject();

private:
    std::shared_ptr<ObjectUpdateNotifierState> m_state;
    QObject* m_trackedQObject = nullptr;
    std::vector<std::unique_ptr<ObjectUpdatePropertyRelay>> m_relays;
};
