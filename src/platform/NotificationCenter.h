#pragma once

#include <functional>
#include <memory>

#include <QString>
#include <QVariantMap>

// One posted notification. `sender` identifies the posting object only; it is never dereferenced.
struct Notification {
    QString name;
    const void* sender = nullptr;
    QVariantMap userInfo;
};

// Identifies one registration; a default-constructed token is invalid.
struct ObserverToken {
    quint64 id = 0;
    bool isValid() const { return id != 0; }
    friend bool operator==(const ObserverToken&, const ObserverToken&) = default;
};

struct NotificationCenterState;

// Named notifications between objects that do not know each other.
//
// Threads: registration, removal and posting may happen on any thread. A post delivers synchronously on the
// posting thread, in registration order, without holding any lock while a callback runs, so callbacks may
// register, remove and post freely. An observer removed before its turn in a post in progress (by another
// callback, or from another thread) is not called any more. Removal never waits for a callback that is
// already running on another thread: an observer that posts on several threads removes itself on the thread
// it is destroyed on only when no other thread can be delivering to it.
class NotificationCenter {
public:
    using Callback = std::function<void(const Notification&)>;

    NotificationCenter();
    ~NotificationCenter();
    NotificationCenter(const NotificationCenter&) = delete;
    NotificationCenter& operator=(const NotificationCenter&) = delete;

    static NotificationCenter& defaultCenter();

    // Observes posts of `name`; with a non-null `sender`, only posts from that sender. `owner` groups
    // registrations for removeObserversOwnedBy (typically the observing object's address).
    ObserverToken addObserver(const QString& name, const void* sender, Callback callback, const void* owner = nullptr);
    void removeObserver(ObserverToken token);
    void removeObserversOwnedBy(const void* owner);

    // Calls every matching observer on the calling thread before returning.
    void post(const QString& name, const void* sender = nullptr, const QVariantMap& userInfo = {});
    void post(const Notification& notification);

    // Queues the post to the main thread's event loop and returns at once.
    void postOnMainThread(const QString& name, const void* sender = nullptr, const QVariantMap& userInfo = {});
    void postOnMainThread(const Notification& notification);

    int observerCount() const;

private:
    friend class NotificationObservation;
    std::shared_ptr<NotificationCenterState> m_state;
};

// Owns one registration and removes it when destroyed or reset. Safe to outlive its centre.
class NotificationObservation {
public:
    NotificationObservation() = default;
    NotificationObservation(NotificationCenter& center, ObserverToken token);
    // Registers on the default centre.
    NotificationObservation(const QString& name, const void* sender, NotificationCenter::Callback callback);
    ~NotificationObservation();

    NotificationObservation(NotificationObservation&& other) noexcept;
    NotificationObservation& operator=(NotificationObservation&& other) noexcept;
    NotificationObservation(const NotificationObservation&) = delete;
    NotificationObservation& operator=(const NotificationObservation&) = delete;

    void reset();
    bool isActive() const { return m_token.isValid(); }
    ObserverToken token() const { return m_token; }

private:
    std::weak_ptr<NotificationCenterState> m_state;
    ObserverToken m_token;
};
