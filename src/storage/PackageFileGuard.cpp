#include "storage/PackageFileGuard.h"

#include <cerrno>
#include <cstring>

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "storage/StorageLogging.h"
#include "storage/ZERI_WebDownloader.h"
#include "storage/ZERI_qvdFilePackage.h"

namespace {

QString cleanAbsolute(const QString& path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

bool refuse(Error* error, const QString& message)
{
    qCWarning(lcStorage).noquote() << message;
    setError(error,
             Error(QString::fromLatin1(ZERI_qvdFilePackage::errorDomain), ZERI_qvdFilePackage::CannotWrite, message));
    return false;
}

// The canonical path of the deepest part of `path` that exists (links resolved); empty when none does.
QString deepestExisting(const QString& path)
{
    QString probe = cleanAbsolute(path);
    for (;;) {
        const QString canonical = QFileInfo(probe).canonicalFilePath();
        if (!canonical.isEmpty())
            return canonical;
        const QString parent = QFileInfo(probe).path();
        if (parent == probe)
            return QString();
        probe = parent;
    }
}

bool isWithin(const QString& path, const QString& root)
{
    return !root.isEmpty() && (path == root || path.startsWith(root + QLatin1Char('/')));
}

// The package whose folder holds `path` (by name, under the packages folder); `inPackages` tells whether the path
// lies under the packages folder at all.
std::shared_ptr<ZERI_qvdFilePackage> packageHolding(const QString& path, bool* inPackages)
{
    const QString root = cleanAbsolute(ZERI_qvdFilePackage::tessarinesFolder());
    const QString clean = cleanAbsolute(path);
    *inPackages = clean.startsWith(root + QLatin1Char('/'));
    if (!*inPackages)
        return nullptr;
    const QString id = clean.mid(root.size() + 1).section(QLatin1Char('/'), 0, 0);
    return ZERI_qvdFilePackage::packageForID(id);
}

} // namespace

bool PackageFileGuard::prepareFolder(const QString& folder, Error* error)
{
    if (folder.isEmpty())
        return refuse(error, QStringLiteral("Cannot write into a folder without a name"));
    bool inPackages = false;
    const auto package = packageHolding(folder, &inPackages);
    if (!inPackages)
        return true;
    if (!package)
        return refuse(error, QStringLiteral("Not writing into \"%1\": it is not in a package of the list (a damaged "
                                            "package, or a package folder that is a link)")
                                 .arg(folder));
    if (QFileInfo(package->path()).isSymLink())
        return refuse(error, QStringLiteral("Not writing into \"%1\": its package folder is a link").arg(folder));
    if (!package->ensureOwnFolders())
        return refuse(
            error, QStringLiteral("Not writing into \"%1\": its package's asset folders are not its own").arg(folder));
    const QString root = QFileInfo(package->path()).canonicalFilePath();
    if (!isWithin(deepestExisting(folder), root))
        return refuse(error, QStringLiteral("Not writing into \"%1\": it leads out of its package").arg(folder));
    return true;
}

bool PackageFileGuard::isInsidePackage(const ZERI_qvdFilePackage& package, const QString& path)
{
    if (path.isEmpty() || QFileInfo(package.path()).isSymLink())
        return false;
    const QString root = QFileInfo(package.path()).canonicalFilePath();
    const QFileInfo info(cleanAbsolute(path));
    // The folder is resolved; the name itself is not, so a link inside the package is the package's (removing it
    // removes the link).
    const QString folder = QFileInfo(info.path()).canonicalFilePath();
    return !root.isEmpty() && !folder.isEmpty() && isWithin(folder, root) && !info.fileName().isEmpty();
}

SafeFolder PackageFileGuard::openPreparedFolder(const QString& folder, Error* error)
{
    if (!prepareFolder(folder, error))
        return {};
    SafeFolder opened = SafeFolder::open(folder, SafeFolder::Missing::Make);
    if (!opened.isOpen())
        refuse(error, QStringLiteral("Cannot write into \"%1\": %2").arg(folder, qt_error_string(errno)));
    return opened;
}

bool PackageFileGuard::writeFileInPreparedFolder(const QString& path, const QByteArray& data, Error* error)
{
    const QFileInfo info(cleanAbsolute(path));
    const SafeFolder folder = SafeFolder::open(info.path());
    if (!folder.isOpen())
        return refuse(error, QStringLiteral("Cannot write \"%1\": %2").arg(info.filePath(), qt_error_string(errno)));
    const QString part = SafeFolder::hiddenName(info.fileName(), QStringLiteral(".part"));
    // A new piece, never an existing file or a link under the hidden name, locked until the file has its name, as a
    // download's piece is: a package cleaning meanwhile takes only pieces nobody holds.
    QFile file;
    const int fd = ZERI_WebDownloader::createLockedPiece(folder, part);
    QString reason = fd < 0 ? QString::fromLocal8Bit(std::strerror(errno)) : QString();
    const bool opened = fd >= 0 && file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle);
    if (fd >= 0 && !opened)
        ::close(fd);
    bool written = opened && file.write(data) == data.size() && file.flush() && ::fdatasync(file.handle()) == 0;
    if (opened)
        reason = file.errorString();
    if (written && !folder.rename(part, info.fileName())) {
        reason = QString::fromLocal8Bit(std::strerror(errno));
        written = false;
    }
    file.close();
    if (written)
        return true;
    if (fd >= 0)
        folder.remove(part);
    return refuse(error, QStringLiteral("Cannot write \"%1\": %2").arg(info.filePath(), reason));
}

bool PackageFileGuard::removeFile(const ZERI_qvdFilePackage& package, const QString& path)
{
    if (!isInsidePackage(package, path)) {
        qCWarning(lcStorage).noquote() << "not deleting" << path << "- it lies outside the package" << package.path();
        return false;
    }
    const QFileInfo info(cleanAbsolute(path));
    const SafeFolder folder = SafeFolder::open(info.path());
    return (folder.isOpen() && folder.remove(info.fileName())) || errno == ENOENT;
}
