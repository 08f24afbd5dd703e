#include "support/FakeNotificationService.h"

#include <QDBusServer>
#include <QTest>

#include "platform/DesktopNotifications.h"

namespace {
const QString kConnection = QStringLiteral("fake-notification-service");
} // namespace

FakeNotificationService::FakeNotificationService(bool answers)
    : m_answers(answers)
{
    if (!m_socketFolder.isValid())
        return;
    m_server = std::make_unique<QDBusServer>(QStringLiteral("unix:dir=") + m_socketFolder.path());
    if (!m_server->isConnected())
        return;
    connect(m_server.get(), &QDBusServer::newConnection, this, [this](const QDBusConnection& peer) {
        m_peer = peer;
        if (m_answers)
            QDBusConnection(peer).registerObject(QStringLiteral("/org/freedesktop/Notifications"), this,
                                                 QDBusConnection::ExportAllSlots);
    });
    if (!QDBusConnection::connectToPeer(m_server->address(), kConnection).isConnected())
        return;
    DesktopNotifications::setConnectionNameForTesting(kConnection);
    m_connected = QTest::qWaitFor([this] { return m_peer.has_value(); }, 5000);
}

FakeNotificationService::~FakeNotificationService()
{
    DesktopNotifications::setConnectionNameForTesting(QString());
    QDBusConnection::disconnectFromPeer(kConnection);
    if (m_peer)
        QDBusConnection::disconnectFromPeer(m_peer->name());
}

uint FakeNotificationService::Notify(const QString& appName, uint, const QString&, const QString& summary,
                                     const QString& body, const QStringList&, const QVariantMap& hints, int)
{
    notices.append({appName, summary, body, hints});
    return uint(notices.size());
}
