#pragma once

#include <QString>

namespace TestEnvironment {

// Root of this test process's private folders (HOME, XDG config/data/cache/runtime).
QString root();

// Folder of the calling suite's golden files (tests/<folder>/data), from TESS_TEST_DATA_DIR.
QString dataDir();

// Points HOME and the XDG folders at a fresh temporary folder so no test touches the user's files.
void isolateUserFolders();

} // namespace TestEnvironment
