#include "platform/DesktopNotifications.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

#include "platform/PlatformLogging.h"

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
// A notice the user does not answer goes after the service's own time.
constexpr int kServiceDefaultTimeout = -1;

QString& connectionNameForTesting()
{
    static QString s_name;
    return s_name;
}

QDBusConnection connection()
{
    if (!connectionNameForTesting().isEmpty())
        return QDBusConnection(connectionNameForTesting());
    return QDBusConnection::sessionBus();
}

} // namespace

void DesktopNotifications::notify(const QString& summary, const QString& body, std::function<void(bool shown)> done)
{
    const auto finish = [done](bool shown) {
        if (done)
            done(shown);
    };
    QDBusConnection bus = connection();
    if (!bus.isConnected()) {
        qCInfo(lcPlatform) << "no session bus for desktop notifications";
        finish(false);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    // Services that read markup in the body would take "<" and "&" of a title for tags.
    call << QCoreApplication::applicationName() << uint(0) << QString() << summary << body.toHtmlEscaped()
         << QStringList() << QVariantMap{{QStringLiteral("desktop-entry"), QStringLiteral("tessarine")}}
         << kServiceDefaultTimeout;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), QCoreApplication::instance());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [watcher, finish] {
        const QDBusPendingReply<uint> reply = *watcher;
        watcher->deleteLater();
        if (reply.isError())
            qCInfo(lcPlatform).noquote() << "the desktop's notification service did not take the notice:"
                                         << reply.error().message();
        finish(!reply.isError());
    });
}

void DesktopNotifications::setConnectionNameForTesting(const QString& name)
{
    connectionNameForTesting() = name;
}
