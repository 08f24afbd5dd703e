#pragma once

#include <optional>

#include <QByteArray>
#include <QHash>
#include <QPair>
#include <QString>
#include <QStringList>

#include "platform/Error.h"

// The application's own files and folders: its settings, queues, logs, crash reports, caches and the blank
// template, everything below its folders (the "Tessarine" folders in the user's data and configuration folders, and
// its private temporary folder). They are written, made and deleted only as real files and folders of the
// application's: a symbolic link found where one of them should be (the file, or any folder from the application's
// folder down to it) is set aside under a new name beside it ("<name>.link", "<name>.link-2", …), with a log line,
// and a real file or folder takes its place. Nothing is ever read, written or deleted through such a link; the
// link's target is never touched. The application's folders themselves may be links of the user's own (a user who
// moved one elsewhere): those are followed; a link there owned by anybody else is set aside too.
//
// Any thread; files written from several threads at once are each written whole (the last write wins).
namespace OwnFiles {

// Sets aside a link at `path`. True when no link is there any more (or none was).
bool setAsideLink(const QString& path);

// Makes `folder` a real folder of the application's: every folder from the application's folder down to it that is
// a link is set aside, every missing one made. A folder outside the application's folders is only made (its own
// name set aside when it is a link). Failures are logged and returned in `error` (AtomicFile's error domain).
bool makeFolder(const QString& folder, Error* error = nullptr);

// Writes the file whole (AtomicFile::write) after making its folder as makeFolder() does; a link under its name is
// set aside first, and the new file never goes through a link.
bool write(const QString& path, const QByteArray& data, Error* error = nullptr);

// Reads the file, never through a link (one in its place, or in place of a folder on the way, is set aside first).
// Nothing when there is no file; nothing and `error` set when it cannot be read or is larger than `maximumSize`.
std::optional<QByteArray> read(const QString& path, qint64 maximumSize, Error* error = nullptr);

// Whether every name of a file lies in the application's folders. The application gives a file several names (hard
// links) of its own: an imported deck's picture shown by several objects, the files of a duplicated or published
// copy. A file with a name elsewhere (a hard link to a file of the user's, planted in a package) has one the
// application did not give. A file with one name passes at once; for the others the application's folders are
// counted once per census, which answers for any number of files. Any thread; one census per thread.
class NameCensus {
public:
    bool allNamesOwn(const QString& path);

private:
    bool m_taken = false;
    QHash<QPair<quint64, quint64>, quint64> m_names; // (device, inode) of a file with several names → names found
};

// Removes a file or a folder with everything in it, never following a link: a link in the place of `path` is set
// aside, a link inside the folder is removed as a link; their targets are untouched. True when nothing is left at
// `path`.
bool remove(const QString& path);

} // namespace OwnFiles
