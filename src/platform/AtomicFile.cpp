#include "platform/AtomicFile.h"

#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QSaveFile>

#include "platform/PlatformLogging.h"

namespace {

QMutex g_injectorMutex;
std::function<bool(const QString&)> g_injector;

bool injectedFault(const QString& path)
{
    QMutexLocker lock(&g_injectorMutex);
    return g_injector && g_injector(path);
}

bool fail(Error* error, AtomicFile::ErrorCode code, const QString& message, const QString& path)
{
    qCWarning(lcPlatform).noquote() << message;
    setError(error,
             Error(QString::fromLatin1(AtomicFile::errorDomain), code, message, {{QStringLiteral("path"), path}}));
    return false;
}

} // namespace

bool AtomicFile::write(const QString& path, const QByteArray& data, Error* error)
{
    if (path.isEmpty())
        return fail(error, CannotCreate, QStringLiteral("Cannot write a file with an empty name"), path);
    const QFileInfo info(path);
    if (!info.dir().exists())
        return fail(error, CannotCreate,
                    QStringLiteral("Cannot write \"%1\": the folder \"%2\" does not exist").arg(path, info.path()),
                    path);

    // QSaveFile writes beside the target, syncs it to disk and renames it over the target at commit; it never
    // falls back to writing the target in place. Whatever fails, it drops its temporary file.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(error, CannotCreate, QStringLiteral("Cannot write \"%1\": %2").arg(path, file.errorString()), path);
    if (file.write(data) != data.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return fail(error, CannotWrite, QStringLiteral("Cannot write \"%1\": %2").arg(path, reason), path);
    }
    if (injectedFault(path)) {
        file.cancelWriting();
        return fail(error, CannotWrite, QStringLiteral("Cannot write \"%1\": No space left on device").arg(path), path);
    }
    if (!file.commit())
        return fail(error, CannotReplace, QStringLiteral("Cannot write \"%1\": %2").arg(path, file.errorString()),
                    path);
    return true;
}

void AtomicFile::setFaultInjectorForTesting(std::function<bool(const QString& path)> injector)
{
    QMutexLocker lock(&g_injectorMutex);
    g_injector = std::move(injector);
}
