#include "platform/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QRandomGenerator>

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

QString systemError(int number)
{
    return QString::fromLocal8Bit(std::strerror(number));
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

    // The data goes to a new hidden file beside the target (never an existing file or a link under that name), is
    // made durable and renamed over the target's name. A rename replaces whatever is under the name, a link
    // included, and never writes through a link to where it leads.
    const QByteArray target = QFile::encodeName(info.absoluteFilePath());
    QByteArray temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        temporary = QFile::encodeName(info.absoluteDir().filePath(
            QStringLiteral(".%1.%2.tmp")
                .arg(info.fileName(), QString::number(QRandomGenerator::global()->generate64(), 36))));
        fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0)
        return fail(error, CannotCreate, QStringLiteral("Cannot write \"%1\": %2").arg(path, systemError(errno)), path);
    // A file replaced keeps its permissions (a private file stays private).
    struct stat existing {};
    if (::lstat(target.constData(), &existing) == 0 && S_ISREG(existing.st_mode))
        ::fchmod(fd, existing.st_mode & 07777);
    const auto dropTemporary = [&] {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
        ::unlink(temporary.constData());
    };
    qsizetype written = 0;
    while (written < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + written, size_t(data.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const QString reason = systemError(n < 0 ? errno : ENOSPC);
            dropTemporary();
            return fail(error, CannotWrite, QStringLiteral("Cannot write \"%1\": %2").arg(path, reason), path);
        }
        written += n;
    }
    if (::fsync(fd) != 0) {
        const QString reason = systemError(errno);
        dropTemporary();
        return fail(error, CannotWrite, QStringLiteral("Cannot write \"%1\": %2").arg(path, reason), path);
    }
    if (injectedFault(path)) {
        dropTemporary();
        return fail(error, CannotWrite, QStringLiteral("Cannot write \"%1\": No space left on device").arg(path), path);
    }
    ::close(fd);
    fd = -1;
    if (std::rename(temporary.constData(), target.constData()) != 0) {
        const QString reason = systemError(errno);
        ::unlink(temporary.constData());
        return fail(error, CannotReplace, QStringLiteral("Cannot write \"%1\": %2").arg(path, reason), path);
    }
    return true;
}

void AtomicFile::setFaultInjectorForTesting(std::function<bool(const QString& path)> injector)
{
    QMutexLocker lock(&g_injectorMutex);
    g_injector = std::move(injector);
}
