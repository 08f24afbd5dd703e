#pragma once

#include <memory>
#include <optional>

#include <QDBusConnection>
#include <QList>
#include <QObject>
#include <QTemporaryDir>
#include <QVariantMap>

class QDBusServer;

// The desktop's notification service ("org.freedesktop.Notifications") played by a peer on a private socket, so
// no session bus is needed: while it lives, DesktopNotifications sends its notices here. Every notice it is given
// is recorded; with `answers` false nothing serves the notices' path (as on a desktop without the service).
class FakeNotificationService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Notice {
        QString appName;
        QString summary;
        QString body;
        QVariantMap hints;
    };

    explicit FakeNotificationService(bool answers = true);
    ~FakeNotificationService() override;

    // Whether the private bus is up and DesktopNotifications talks to it.
    bool connected() const { return m_connected; }
    QList<Notice> notices;

public slots:
    uint Notify(const QString& appName, uint replacesId, const QString& appIcon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints, int expireTimeout);

private:
    QTemporaryDir m_socketFolder;
    std::unique_ptr<QDBusServer> m_server;
    std::optional<QDBusConnection> m_peer;
    bool m_answers;
    bool m_connected = false;
};
