#pragma once

#include <functional>

#include <QByteArray>
#include <QString>

#include "platform/Error.h"

// Replacing a file all at once: the data goes to a temporary file in the target's folder, is flushed to disk
// and renamed over the target. Readers see either the old file or the new one, never a mix, and on any failure
// the old file is left as it was and the temporary file is removed. A link under the target's name is replaced by
// the new file, never written through, and the folder is opened as SafeFolder does (no link followed below the
// application's folders), so a link swapped in on the way while the file is written is never followed either.
class SafeFolder;

namespace AtomicFile {

inline constexpr const char* errorDomain = "TessFileErrorDomain";
enum ErrorCode { CannotCreate = 1, CannotWrite = 2, CannotReplace = 3 };

bool write(const QString& path, const QByteArray& data, Error* error = nullptr);
// The same into a folder already open.
bool write(const SafeFolder& folder, const QString& name, const QByteArray& data, Error* error = nullptr);

// Gives the file `source` the further name `target` (a hard link), or copies it where the file system cannot link.
// The name appears only complete (made under a hidden name in the folder opened as SafeFolder does, then renamed),
// replacing a file or link under it that is not this file. Failures are logged.
bool linkOrCopy(const QString& source, const QString& target);

// Test hook standing in for a full disk: when set, it is called with the target path after the data went to the
// temporary file and before the rename; returning true makes the write fail there. Pass {} to remove it.
void setFaultInjectorForTesting(std::function<bool(const QString& path)> injector);

} // namespace AtomicFile
