#include "platform/SafeFolder.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QStandardPaths>

#include "platform/AppPaths.h"
#include "platform/PlatformLogging.h"

namespace {

QString cleanAbsolute(const QString& path)
{
    return QDir::cleanPath(QDir(path).absolutePath());
}

bool isWithin(const QString& path, const QString& root)
{
    return root.size() > 1 && (path == root || path.startsWith(root + QLatin1Char('/')));
}

// A root is taken as named, a link of the user's own included; a link of anybody else's is not.
int openRoot(const QString& root, SafeFolder::Missing missing)
{
    const QByteArray name = QFile::encodeName(root);
    struct stat info {};
    if (::lstat(name.constData(), &info) == 0 && S_ISLNK(info.st_mode) && info.st_uid != ::getuid()) {
        qCWarning(lcPlatform).noquote() << "not using" << root << "- it is a link owned by another user";
        errno = EPERM;
        return -1;
    }
    int fd = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT && missing == SafeFolder::Missing::Make && QDir().mkpath(root))
        fd = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return fd;
}

} // namespace

SafeFolder::~SafeFolder()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

SafeFolder::SafeFolder(SafeFolder&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1))
    , m_path(std::move(other.m_path))
{
}

SafeFolder& SafeFolder::operator=(SafeFolder&& other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
        m_path = std::move(other.m_path);
    }
    return *this;
}

QStringList SafeFolder::roots()
{
    return {cleanAbsolute(AppPaths::applicationSupport() + QStringLiteral("/Tessarine")),
            cleanAbsolute(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                          QStringLiteral("/Tessarine")),
            cleanAbsolute(AppPaths::temporary()), cleanAbsolute(AppPaths::packages())};
}

QString SafeFolder::rootOf(const QString& path)
{
    const QString clean = cleanAbsolute(path);
    QString deepest;
    for (const QString& root : roots()) {
        if (isWithin(clean, root) && root.size() > deepest.size())
            deepest = root;
    }
    return deepest;
}

bool SafeFolder::isOwnLink(const QString& path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISLNK(info.st_mode) &&
           info.st_uid == ::getuid();
}

SafeFolder SafeFolder::open(const QString& folder, Missing missing)
{
    SafeFolder opened;
    const QString clean = cleanAbsolute(folder);
    const QString root = rootOf(clean);
    if (root.isEmpty()) {
        // A folder of the user's choice: as named.
        if (missing == Missing::Make)
            QDir().mkpath(clean);
        opened.m_fd = ::open(QFile::encodeName(clean).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    } else {
        int fd = openRoot(root, missing);
        const QStringList steps = clean.mid(root.size()).split(QLatin1Char('/'), Qt::SkipEmptyParts);
        for (const QString& step : steps) {
            if (fd < 0)
                break;
            const QByteArray name = QFile::encodeName(step);
            int next = ::openat(fd, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (next < 0 && errno == ENOENT && missing == Missing::Make &&
                (::mkdirat(fd, name.constData(), 0777) == 0 || errno == EEXIST))
                next = ::openat(fd, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            const int reason = errno;
            ::close(fd);
            fd = next;
            errno = reason;
        }
        opened.m_fd = fd;
    }
    if (opened.m_fd >= 0)
        opened.m_path = clean;
    return opened;
}

QString SafeFolder::filePath(const QString& name) const
{
    return m_path + QLatin1Char('/') + name;
}

int SafeFolder::createNew(const QString& name, mode_t mode) const
{
    return ::openat(m_fd, QFile::encodeName(name).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                    mode);
}

int SafeFolder::openForReading(const QString& name) const
{
    return ::openat(m_fd, QFile::encodeName(name).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
}

bool SafeFolder::stat(const QString& name, struct stat* info) const
{
    return ::fstatat(m_fd, QFile::encodeName(name).constData(), info, AT_SYMLINK_NOFOLLOW) == 0;
}

bool SafeFolder::rename(const QString& from, const QString& to) const
{
    return rename(from, *this, to);
}

bool SafeFolder::rename(const QString& from, const SafeFolder& toFolder, const QString& to) const
{
    return ::renameat(m_fd, QFile::encodeName(from).constData(), toFolder.m_fd, QFile::encodeName(to).constData()) == 0;
}

bool SafeFolder::link(const QString& from, const QString& to) const
{
    return ::linkat(m_fd, QFile::encodeName(from).constData(), m_fd, QFile::encodeName(to).constData(), 0) == 0;
}

bool SafeFolder::remove(const QString& name) const
{
    return ::unlinkat(m_fd, QFile::encodeName(name).constData(), 0) == 0;
}

QString SafeFolder::hiddenName(const QString& name, const QString& suffix)
{
    return QLatin1Char('.') + name + QLatin1Char('.') + QString::number(QRandomGenerator::global()->generate64(), 36) +
           suffix;
}
