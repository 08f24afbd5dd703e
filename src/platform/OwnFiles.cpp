#include "platform/OwnFiles.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include "platform/AtomicFile.h"
#include "platform/PlatformLogging.h"
#include "platform/SafeFolder.h"

namespace {

QString cleanAbsolute(const QString& path)
{
    return QDir::cleanPath(QDir(path).absolutePath());
}

bool isLink(const QString& path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISLNK(info.st_mode);
}

bool exists(const QString& path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

bool isRealFolder(const QString& path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool failed(Error* error, const QString& message, const QString& path)
{
    qCWarning(lcPlatform).noquote() << message;
    setError(error, Error(QString::fromLatin1(AtomicFile::errorDomain), AtomicFile::CannotCreate, message,
                          {{QStringLiteral("path"), path}}));
    return false;
}

} // namespace

bool OwnFiles::setAsideLink(const QString& path)
{
    const QString clean = cleanAbsolute(path);
    if (!isLink(clean))
        return true;
    QString aside = clean + QStringLiteral(".link");
    for (int n = 2; exists(aside) && n < 1000; ++n)
        aside = clean + QStringLiteral(".link-%1").arg(n);
    // rename() moves the link itself, never what it leads to.
    if (std::rename(QFile::encodeName(clean).constData(), QFile::encodeName(aside).constData()) != 0) {
        qCWarning(lcPlatform).noquote() << "cannot set aside the link" << clean << "-" << qt_error_string(errno);
        return false;
    }
    qCWarning(lcPlatform).noquote() << "a link was where the application keeps" << clean << "(leading to"
                                    << QFileInfo(aside).symLinkTarget() + "); it is set aside as" << aside
                                    << "and replaced";
    return true;
}

bool OwnFiles::makeFolder(const QString& folder, Error* error)
{
    const QString clean = cleanAbsolute(folder);
    const QString root = SafeFolder::rootOf(clean);
    // From the application's folder down (or only the folder itself, outside them), each step a real folder. The
    // application's folder itself may be the user's own link (a folder moved elsewhere); another link is not.
    QString step = root.isEmpty() ? clean : root;
    const QStringList below =
        root.isEmpty() ? QStringList() : clean.mid(root.size()).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (qsizetype i = -1; i < below.size(); ++i) {
        if (i >= 0)
            step += QLatin1Char('/') + below[i];
        if (i < 0 && !root.isEmpty() && SafeFolder::isOwnLink(step)) {
            if (QFileInfo(step).isDir())
                continue;
            return failed(error, QStringLiteral("Cannot use the folder \"%1\": it is a link to no folder").arg(step),
                          step);
        }
        if (!setAsideLink(step))
            return failed(error, QStringLiteral("Cannot make the folder \"%1\": a link is in its place").arg(step),
                          step);
        if (isRealFolder(step))
            continue;
        if (!QDir().mkpath(step) || !isRealFolder(step))
            return failed(error, QStringLiteral("Cannot make the folder \"%1\"").arg(step), step);
    }
    return true;
}

bool OwnFiles::write(const QString& path, const QByteArray& data, Error* error)
{
    const QString clean = cleanAbsolute(path);
    if (!makeFolder(QFileInfo(clean).path(), error))
        return false;
    setAsideLink(clean); // not needed for the write (it replaces a link), but the user's link is kept
    return AtomicFile::write(clean, data, error);
}

std::optional<QByteArray> OwnFiles::read(const QString& path, qint64 maximumSize, Error* error)
{
    const QString clean = cleanAbsolute(path);
    const QFileInfo info(clean);
    if (!exists(clean))
        return std::nullopt;
    // A link in place of the file or of a folder on the way is set aside by making the folder, and the file is
    // then opened without following one put there since.
    if (!makeFolder(info.path(), error) || !setAsideLink(clean))
        return std::nullopt;
    const SafeFolder folder = SafeFolder::open(info.path());
    const int fd = folder.isOpen() ? folder.openForReading(info.fileName()) : -1;
    if (fd < 0) {
        if (errno == ENOENT)
            return std::nullopt;
        failed(error, QStringLiteral("Cannot read \"%1\": %2").arg(clean, qt_error_string(errno)), clean);
        return std::nullopt;
    }
    QFile file;
    struct stat opened {};
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode) || opened.st_size > maximumSize ||
        !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        failed(error,
               QStringLiteral("Cannot read \"%1\": it is not a file of at most %2 bytes").arg(clean).arg(maximumSize),
               clean);
        return std::nullopt;
    }
    QByteArray data = file.read(maximumSize + 1);
    if (data.size() > maximumSize) {
        failed(error, QStringLiteral("Cannot read \"%1\": it is larger than %2 bytes").arg(clean).arg(maximumSize),
               clean);
        return std::nullopt;
    }
    return data;
}

bool OwnFiles::remove(const QString& path)
{
    const QString clean = cleanAbsolute(path);
    if (!exists(clean))
        return true;
    // A link in the place of what is removed is set aside, as everywhere: the user's link stays, its target too.
    if (isLink(clean))
        return setAsideLink(clean) && !exists(clean);
    if (!isRealFolder(clean)) {
        if (::unlink(QFile::encodeName(clean).constData()) != 0 && errno != ENOENT) {
            qCWarning(lcPlatform).noquote() << "cannot remove" << clean << "-" << qt_error_string(errno);
            return false;
        }
        return true;
    }
    // QDir removes the links inside as links; the folder itself was checked above.
    return QDir(clean).removeRecursively();
}

bool OwnFiles::NameCensus::allNamesOwn(const QString& path)
{
    struct stat file {};
    if (::lstat(QFile::encodeName(path).constData(), &file) != 0 || !S_ISREG(file.st_mode))
        return false;
    if (file.st_nlink <= 1)
        return true;
    if (!m_taken) {
        m_taken = true;
        QStringList roots = SafeFolder::roots();
        std::sort(roots.begin(), roots.end());
        QString previous;
        for (const QString& root : std::as_const(roots)) {
            // A root inside one walked already is counted with it.
            if (!previous.isEmpty() && (root == previous || root.startsWith(previous + QLatin1Char('/'))))
                continue;
            previous = root;
            QDirIterator entries(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
            while (entries.hasNext()) {
                struct stat entry {};
                if (::lstat(QFile::encodeName(entries.next()).constData(), &entry) == 0 && S_ISREG(entry.st_mode) &&
                    entry.st_nlink > 1)
                    ++m_names[{quint64(entry.st_dev), quint64(entry.st_ino)}];
            }
        }
    }
    const bool own = m_names.value({quint64(file.st_dev), quint64(file.st_ino)}) >= file.st_nlink;
    if (!own)
        qCWarning(lcPlatform).noquote() << path << "has" << file.st_nlink
                                        << "names, some of them outside the application's folders";
    return own;
}
