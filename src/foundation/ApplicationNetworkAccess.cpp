#include "foundation/ApplicationNetworkAccess.h"

#include <utility>

#include <QCoreApplication>
#include <QList>
#include <QNetworkAccessManager>
#include <QPointer>

#include "platform/MainThread.h"

namespace {

QList<QPointer<QNetworkAccessManager>>& liveManagers()
{
    static QList<QPointer<QNetworkAccessManager>> managers;
    return managers;
}

bool g_deletionArranged = false;

// Called once by the application going away; a later application arranges it again.
void deleteManagers()
{
    g_deletionArranged = false;
    const auto managers = std::exchange(liveManagers(), {});
    for (const auto& manager : managers)
        delete manager.data(); // stops its transfer thread and aborts its replies
}

} // namespace

QNetworkAccessManager* ApplicationNetworkAccess::newManager()
{
    Q_ASSERT(MainThread::isMainThread());
    QCoreApplication* application = QCoreApplication::instance();
    auto* manager = new QNetworkAccessManager(application);
    if (application && !g_deletionArranged) {
        g_deletionArranged = true;
        qAddPostRoutine(deleteManagers);
    }
    liveManagers().append(manager);
    return manager;
}
