#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

namespace TestEnvironment {

// Root of this test process's private folders (HOME, XDG config/data/cache/runtime, TMPDIR).
QString root();

// Folder of the calling suite's golden files (tests/<folder>/data), from TESS_TEST_DATA_DIR.
QString dataDir();

// Points HOME, the XDG folders and TMPDIR at a fresh temporary folder, removed when the process ends, so that no
// test touches the user's files or leaves any behind.
void isolateUserFolders();

struct ChildRun {
    bool finished = false; // false: it did not end within the time allowed
    int exitCode = -1;
    QString output; // standard output and error, merged
};
// Runs this test binary again with the tests matching `filter` (disabled ones included), `environment` added
// to this process's and `arguments` after the test flags, for what can only be seen across a process's end.
ChildRun runTestsInChildProcess(const QString& filter, const QMap<QString, QString>& environment, int timeoutMs = 60000,
                                const QStringList& arguments = {});

} // namespace TestEnvironment
