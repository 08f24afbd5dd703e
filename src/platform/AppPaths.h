#pragma once

#include <QString>

// Where the application keeps its files.
namespace AppPaths {

// The user's per-user data folder (XDG_DATA_HOME, usually ~/.local/share), standing in for "Application
// Support": callers append their own "/Tessarine/..." sub-folders. No trailing slash; created when missing.
QString applicationSupport();

// A private folder (mode 0700) for this process's scratch files, removed when the process exits normally.
QString temporary();

// The folder holding the documents' packages: "<applicationSupport>/Tessarine/tessarines". Not created here.
QString packages();

// Overrides for tests; an empty path restores the default.
void setApplicationSupportForTesting(const QString& path);
void setTemporaryForTesting(const QString& path);
void setPackagesForTesting(const QString& path);

} // namespace AppPaths
