#include "platform/OwnFiles.h"

#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include "platform/AppPaths.h"
#include "platform/AtomicFile.h"
#include "platform/PlatformLogging.h"

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

// The application's folder that `path` lies in (or is), or empty.
QString rootOf(const QString& path)
{
    for (const QString& root : OwnFiles::roots()) {
        if (path == root || path.startsWith(root + QLatin1Char('/')))
            return root;
    }
    return {};
}

} // namespace

QStringList OwnFiles::roots()
{
    return {cleanAbsolute(AppPaths::applicationSupport() + QStringLiteral("/Tessarine")),
            cleanAbsolute(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                          QStringLiteral("/Tessarine")),
            cleanAbsolute(AppPaths::temporary())};
}

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
    const QString root = rootOf(clean);
    // From the application's folder down (or only the folder itself, outside them), each step a real folder.
    QString step = root.isEmpty() ? clean : root;
    const QStringList below =
        root.isEmpty() ? QStringList() : clean.mid(root.size()).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (qsizetype i = -1; i < below.size(); ++i) {
        if (i >= 0)
            step += QLatin1Char('/') + below[i];
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
