#pragma once

#include <QByteArray>
#include <QString>

#include "platform/Error.h"
#include "platform/SafeFolder.h"

class ZERI_qvdFilePackage;

// The one way files are written, downloaded, renamed and deleted in a package's folders. A package may come from
// elsewhere (copied in by hand, brought from another machine): its "assets/" or "published_assets/" may be a
// symbolic link, and its "metadata.json", draft and published copy may name any path. So before the first byte:
//   - a folder inside the packages folder is written only when it belongs to a package of the list (a damaged
//     package, or a package folder that is itself a link, is never written into);
//   - that package's asset folders are made its own first (a link replaced by a real folder, as opening does);
//   - the target must then resolve inside the package: a path that leaves it (through a link, or "..") is refused.
// A file is replaced, never written through: a link at the target's name is replaced by the new file, and a link
// that is removed goes as a link (its target stays). Files are made, renamed and removed in a folder opened once
// without following a link on the way (SafeFolder), so a link swapped in after these checks is never followed.
//
// Folders outside the packages folder (the temporary folder) are not the guard's business: writes there go ahead.
// Main thread only, except writeFileInPreparedFolder().
class PackageFileGuard {
public:
    // Makes `folder` ready to receive files: see the class comment. True for a folder outside the packages
    // folder. Refusals are logged and returned in `error` (the package's error domain, code CannotWrite).
    static bool prepareFolder(const QString& folder, Error* error = nullptr);
    // prepareFolder(), then the folder opened (made when missing) as SafeFolder does. Not open on refusal.
    static SafeFolder openPreparedFolder(const QString& folder, Error* error = nullptr);

    // Whether `path` lies inside the package's folder, links resolved (the package folder itself must not be a
    // link). Paths read from a package's own files are acted on only when this holds.
    static bool isInsidePackage(const ZERI_qvdFilePackage& package, const QString& path);

    // Writes the file whole (a hidden piece beside it, made durable, renamed over the name): a link under the
    // name is replaced, not written through. Any thread, once prepareFolder() returned true on the main thread.
    static bool writeFileInPreparedFolder(const QString& path, const QByteArray& data, Error* error = nullptr);
    // Removes the file (a link as a link) when it lies inside the package; a path outside is left alone and
    // logged. True when the file is gone.
    static bool removeFile(const ZERI_qvdFilePackage& package, const QString& path);
};
