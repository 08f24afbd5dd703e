#include "platform/AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>

#include "platform/PlatformLogging.h"
#include "platform/SafeFolder.h"

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
    const SafeFolder folder = SafeFolder::open(info.absolutePath());
    if (!folder.isOpen())
        return fail(error, CannotCreate, QStringLiteral("Cannot write \"%1\": %2").arg(path, systemError(errno)), path);
    return write(folder, info.fileName(), data, error);
}

bool AtomicFile::write(const SafeFolder& folder, const QString& name, const QByteArray& data, Error* error)
{
    const QString path = folder.filePath(name);
    // The data goes to a new hidden file beside the target (never an existing file or a link under that name), is
    // made durable and renamed over the target's name. A rename replaces whatever is under the name, a link
    // included, and never writes through a link to where it leads. Both happen in the folder that was opened.
    QString temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        temporary = SafeFolder::hiddenName(name, QStringLiteral(".tmp"));
        fd = folder.createNew(temporary, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0)
        return fail(error, CannotCreate, QStringLiteral("Cannot write \"%1\": %2").arg(path, systemError(errno)), path);
    // A file replaced keeps its permissions (a private file stays private).
    struct stat existing {};
    if (folder.stat(name, &existing) && S_ISREG(existing.st_mode))
        ::fchmod(fd, existing.st_mode & 07777);
    const auto dropTemporary = [&] {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
        folder.remove(temporary);
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
    if (!folder.rename(temporary, name)) {
        const QString reason = systemError(errno);
        folder.remove(temporary);
        return fail(error, CannotReplace, QStringLiteral("Cannot write \"%1\": %2").arg(path, reason), path);
    }
    return true;
}

bool AtomicFile::linkOrCopy(const QString& source, const QString& target)
{
    const QFileInfo targetInfo(QDir::cleanPath(QFileInfo(target).absoluteFilePath()));
    const SafeFolder folder = SafeFolder::open(targetInfo.path());
    if (!folder.isOpen()) {
        qCWarning(lcPlatform).noquote() << "not writing" << target << "-" << qt_error_string(errno);
        return false;
    }
    const QByteArray sourceName = QFile::encodeName(source);
    struct stat from {};
    struct stat existing {};
    if (::stat(sourceName.constData(), &from) == 0 && folder.stat(targetInfo.fileName(), &existing) &&
        from.st_dev == existing.st_dev && from.st_ino == existing.st_ino)
        return true;
    const QString part = SafeFolder::hiddenName(targetInfo.fileName(), QStringLiteral(".part"));
    bool made = ::linkat(AT_FDCWD, sourceName.constData(), folder.fd(), QFile::encodeName(part).constData(), 0) == 0;
    if (!made) {
        const int in = ::open(sourceName.constData(), O_RDONLY | O_CLOEXEC);
        const int out = in >= 0 ? folder.createNew(part) : -1;
        made = out >= 0;
        char buffer[1 << 16];
        for (ssize_t n = 0; made && (n = ::read(in, buffer, sizeof buffer)) != 0;) {
            if (n < 0 && errno == EINTR)
                continue;
            for (ssize_t done = 0; made && n > 0 && done < n;) {
                const ssize_t w = ::write(out, buffer + done, size_t(n - done));
                made = w > 0 || (w < 0 && errno == EINTR);
                done += std::max<ssize_t>(w, 0);
            }
            made = made && n > 0;
        }
        made = made && ::fdatasync(out) == 0;
        if (in >= 0)
            ::close(in);
        if (out >= 0)
            ::close(out);
    }
    if (made && folder.rename(part, targetInfo.fileName()))
        return true;
    folder.remove(part);
    qCWarning(lcPlatform) << "cannot link or copy" << source << "to" << target;
    return false;
}

void AtomicFile::setFaultInjectorForTesting(std::function<bool(const QString& path)> injector)
{
    QMutexLocker lock(&g_injectorMutex);
    g_injector = std::move(injector);
}
