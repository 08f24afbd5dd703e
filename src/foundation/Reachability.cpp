#include "foundation/Reachability.h"

#include <optional>

#include <QMutex>
#include <QNetworkInformation>
#include <QObject>
#include <QSet>

#include "foundation/FoundationLogging.h"
#include "platform/MainThread.h"
#include "platform/NotificationCenter.h"

namespace {

QMutex g_mutex;
QSet<Reachability*> g_watching;
std::optional<bool> g_simulated;

QNetworkInformation* backend()
{
    static const bool loaded = [] {
        const bool ok = QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability);
        if (!ok)
            qCInfo(lcFoundation) << "no network information backend; the connection counts as reachable";
        return ok;
    }();
    return loaded ? QNetworkInformation::instance() : nullptr;
}

bool isWatching(Reachability* monitor)
{
    QMutexLocker lock(&g_mutex);
    return g_watching.contains(monitor);
}

} // namespace

Reachability::Reachability() = default;

Reachability::~Reachability()
{
    stopNotifier();
}

std::unique_ptr<Reachability> Reachability::reachabilityForInternetConnection()
{
    return std::unique_ptr<Reachability>(new Reachability());
}

bool Reachability::startNotifier()
{
    if (m_watching)
        return true;
    m_watching = true;
    {
        QMutexLocker lock(&g_mutex);
        g_watching.insert(this);
    }
    QNetworkInformation* information = backend();
    if (!information)
        return false;
    m_context = std::make_unique<QObject>();
    QObject::connect(information, &QNetworkInformation::reachabilityChanged, m_context.get(), [this] {
        bool simulated = false;
        {
            QMutexLocker lock(&g_mutex);
            simulated = g_simulated.has_value();
        }
        if (!simulated)
            postChange();
    });
    return true;
}

void Reachability::stopNotifier()
{
    if (!m_watching)
        return;
    m_watching = false;
    m_context.reset();
    QMutexLocker lock(&g_mutex);
    g_watching.remove(this);
}

bool Reachability::isReachable() const
{
    {
        QMutexLocker lock(&g_mutex);
        if (g_simulated)
            return *g_simulated;
    }
    const QNetworkInformation* information = backend();
    if (!information)
        return true;
    const QNetworkInformation::Reachability state = information->reachability();
    return state == QNetworkInformation::Reachability::Online || state == QNetworkInformation::Reachability::Unknown;
}

void Reachability::postChange()
{
    NotificationCenter::defaultCenter().post(changedNotificationName(), this);
}

void Reachability::simulateReachabilityChangeForTesting(bool reachable)
{
    QList<Reachability*> monitors;
    {
        QMutexLocker lock(&g_mutex);
        g_simulated = reachable;
        monitors = g_watching.values();
    }
    MainThread::run(
        [monitors] {
            // An observer may stop or destroy any monitor while another one posts.
            for (Reachability* monitor : monitors) {
                if (isWatching(monitor))
                    monitor->postChange();
            }
        },
        /*waitUntilDone=*/true);
}

void Reachability::clearSimulatedReachabilityForTesting()
{
    QMutexLocker lock(&g_mutex);
    g_simulated.reset();
}
