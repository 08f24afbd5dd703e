#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <QString>
#include <QStringList>

// A folder held open by its descriptor, in which files are made, renamed, linked and removed by name. Whatever is
// done to the folder's path meanwhile (a folder on the way swapped for a link to elsewhere), the files land in the
// folder that was opened.
//
// The application's folders (roots(): its data, configuration and private temporary folders and the packages
// folder) are taken as they are named, a link in their place included when it is the user's own (a user who moved
// the folder and left a link); a link owned by anybody else is refused. Every folder below them is opened one step
// at a time without following a link (O_NOFOLLOW | O_DIRECTORY on each step), so a link planted there fails the
// open, even one put in after any check. A folder outside the application's folders (one the user chose) is opened
// as named.
//
// Move-only. Any thread; the descriptor is closed with the object.
class SafeFolder {
public:
    enum class Missing { Fail, Make };

    SafeFolder() = default;
    ~SafeFolder();
    SafeFolder(SafeFolder&& other) noexcept;
    SafeFolder& operator=(SafeFolder&& other) noexcept;
    SafeFolder(const SafeFolder&) = delete;
    SafeFolder& operator=(const SafeFolder&) = delete;

    // Opens `folder`, making the missing folders below its root with Missing::Make. Not open on failure, with
    // errno telling why (ELOOP or ENOTDIR for a link on the way, EPERM for a root that is another user's link).
    static SafeFolder open(const QString& folder, Missing missing = Missing::Fail);

    // The application's folders, and the deepest of them holding `path` (or being it); empty when none does.
    static QStringList roots();
    static QString rootOf(const QString& path);
    // Whether `path` is a symbolic link owned by this process's user.
    static bool isOwnLink(const QString& path);

    bool isOpen() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    QString path() const { return m_path; }
    QString filePath(const QString& name) const;

    // A new file (never an existing one, never through a link), O_WRONLY; -1 with errno on failure.
    int createNew(const QString& name, mode_t mode = 0644) const;
    // An existing regular file or folder entry for reading, never through a link; -1 with errno on failure.
    int openForReading(const QString& name) const;
    // The entry itself (a link is not followed). False with errno when there is none.
    bool stat(const QString& name, struct stat* info) const;
    // renameat/linkat/unlinkat inside this folder (or into `to`'s folder); false with errno on failure. A rename
    // replaces whatever is under the new name, a link included; link() never replaces anything.
    bool rename(const QString& from, const QString& to) const;
    bool rename(const QString& from, const SafeFolder& toFolder, const QString& to) const;
    bool link(const QString& from, const QString& to) const;
    bool remove(const QString& name) const;

    // A fresh hidden name beside `name`: "." + name + "." + a random word + suffix.
    static QString hiddenName(const QString& name, const QString& suffix);

private:
    int m_fd = -1;
    QString m_path;
};
