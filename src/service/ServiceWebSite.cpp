#include "service/ServiceWebSite.h"

#include <optional>

#include <QHostAddress>
#include <QMutex>
#include <QMutexLocker>

#include "service/ServiceLogging.h"

namespace {

bool isLoopbackHost(const QString& host)
{
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

QMutex& rootMutex()
{
    static QMutex mutex;
    return mutex;
}

std::optional<QUrl>& overriddenRoot()
{
    static std::optional<QUrl> root;
    return root;
}

} // namespace

QUrl WebSiteRoots::acceptableRoot(const QUrl& url)
{
    if (!url.isValid() || url.host().isEmpty() || !url.userInfo().isEmpty())
        return {};
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("https") && !(scheme == QLatin1String("http") && isLoopbackHost(url.host())))
        return {};
    QUrl root;
    root.setScheme(scheme);
    root.setHost(url.host());
    root.setPort(url.port());
    return root;
}

QUrl WebSiteRoots::rootFromEnvironment(const char* variable, const QUrl& fallback)
{
    const QString value = qEnvironmentVariable(variable);
    if (value.isEmpty())
        return fallback;
    const QUrl root = acceptableRoot(QUrl(value, QUrl::StrictMode));
    if (root.isEmpty()) {
        qCWarning(lcService) << "ignoring" << variable << "(an https root is needed):" << value;
        return fallback;
    }
    return root;
}

QUrl ServiceWebSite::root()
{
    {
        QMutexLocker lock(&rootMutex());
        if (overriddenRoot())
            return *overriddenRoot();
    }
    return WebSiteRoots::rootFromEnvironment("TESS_WEB_SITE_URL", QUrl(QString::fromLatin1(kDefaultRoot)));
}

bool ServiceWebSite::setRoot(const QUrl& newRoot)
{
    QMutexLocker lock(&rootMutex());
    if (newRoot.isEmpty()) {
        overriddenRoot().reset();
        return true;
    }
    const QUrl root = WebSiteRoots::acceptableRoot(newRoot);
    if (root.isEmpty())
        return false;
    overriddenRoot() = root;
    return true;
}

QString ServiceWebSite::rootString()
{
    return root().toString(QUrl::FullyEncoded | QUrl::StripTrailingSlash);
}
