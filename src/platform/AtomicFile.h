#pragma once

#include <functional>

#include <QByteArray>
#include <QString>

#include "platform/Error.h"

// Replacing a file all at once: the data goes to a temporary file in the target's folder, is flushed to disk
// and renamed over the target. Readers see either the old file or the new one, never a mix, and on any failure
// the old file is left as it was and the temporary file is removed. A link under the target's name is replaced by
// the new file, never written through.
namespace AtomicFile {

inline constexpr const char* errorDomain = "TessFileErrorDomain";
enum ErrorCode { CannotCreate = 1, CannotWrite = 2, CannotReplace = 3 };

bool write(const QString& path, const QByteArray& data, Error* error = nullptr);

// Test hook standing in for a full disk: when set, it is called with the target path after the data went to the
// temporary file and before the rename; returning true makes the write fail there. Pass {} to remove it.
void setFaultInjectorForTesting(std::function<bool(const QString& path)> injector);

} // namespace AtomicFile
