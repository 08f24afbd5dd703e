#include "platform/AppPaths.h"

#include <QDir>
#include <QMutex>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "platform/PlatformLogging.h"

namespace {

QMutex g_mutex;
QString g_applicationSupportOverride;
QString g_temporaryOverride;
QString g_packagesOverride;

QString withoutTrailingSlash(QString path)
{
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

QString ensured(const QString& path)
{
    if (!QDir().mkpath(path))
        qCWarning(lcPlatform) << "cannot create folder" << path;
    return path;
}

} // namespace

QString AppPaths::applicationSupport()
{
    QMutexLocker lock(&g_mutex);
    if (!g_applicationSupportOverride.isEmpty())
        return ensured(g_applicationSupportOverride);
    return ensured(withoutTrailingSlash(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)));
}

QString AppPaths::temporary()
{
    QMutexLocker lock(&g_mutex);
    if (!g_temporaryOverride.isEmpty())
        return ensured(g_temporaryOverride);
    // QTemporaryDir makes a fresh, owner-only folder, so other users cannot plant files in it.
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/tessarine-XXXXXX"));
    if (!dir.isValid()) {
        qCWarning(lcPlatform) << "cannot create a temporary folder:" << dir.errorString();
        return withoutTrailingSlash(QDir::tempPath());
    }
    return dir.path();
}

QString AppPaths::packages()
{
    {
        QMutexLocker lock(&g_mutex);
        if (!g_packagesOverride.isEmpty())
            return g_packagesOverride;
    }
    return applicationSupport() + QStringLiteral("/Tessarine/tessarines");
}

void AppPaths::setApplicationSupportForTesting(const QString& path)
{
    QMutexLocker lock(&g_mutex);
    g_applicationSupportOverride = withoutTrailingSlash(path);
}

void AppPaths::setTemporaryForTesting(const QString& path)
{
    QMutexLocker lock(&g_mutex);
    g_temporaryOverride = withoutTrailingSlash(path);
}

void AppPaths::setPackagesForTesting(const QString& path)
{
    QMutexLocker lock(&g_mutex);
    g_packagesOverride = path.isEmpty() ? QString() : QDir::cleanPath(QDir(path).absolutePath());
}
