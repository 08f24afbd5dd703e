#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {
QTemporaryDir* g_root = nullptr;
}

QString TestEnvironment::root()
{
    return g_root ? g_root->path() : QString();
}

QString TestEnvironment::dataDir()
{
    return qEnvironmentVariable("TESS_TEST_DATA_DIR");
}

void TestEnvironment::isolateUserFolders()
{
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/tess-test-XXXXXX"));
    g_root = &dir;
    const QString base = dir.path();
    const struct {
        const char* variable;
        const char* folder;
    } folders[] = {
        {"HOME", "home"},
        {"XDG_CONFIG_HOME", "config"},
        {"XDG_DATA_HOME", "data"},
        {"XDG_CACHE_HOME", "cache"},
        {"XDG_RUNTIME_DIR", "runtime"},
        // Temporary folders too, the children's roots among them: a folder a test could not remove (a late
        // write into it, a child killed) goes with this one when the process ends.
        {"TMPDIR", "tmp"},
    };
    for (const auto& f : folders) {
        const QString path = base + QLatin1Char('/') + QLatin1String(f.folder);
        QDir().mkpath(path);
        qputenv(f.variable, QFile::encodeName(path));
    }
    QFile::setPermissions(base + QStringLiteral("/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TestEnvironment::ChildRun TestEnvironment::runTestsInChildProcess(const QString& filter,
                                                                  const QMap<QString, QString>& environment,
                                                                  int timeoutMs, const QStringList& arguments)
{
    QProcess child;
    QProcessEnvironment childEnvironment = QProcessEnvironment::systemEnvironment();
    for (auto it = environment.begin(); it != environment.end(); ++it)
        childEnvironment.insert(it.key(), it.value());
    child.setProcessEnvironment(childEnvironment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(), QStringList{QStringLiteral("--gtest_also_run_disabled_tests"),
                                                                     QStringLiteral("--gtest_filter=") + filter} +
                                                             arguments);
    ChildRun run;
    run.finished = child.waitForFinished(timeoutMs);
    if (!run.finished) {
        child.kill();
        child.waitForFinished(5000);
    }
    run.exitCode = child.exitCode();
    run.output = QString::fromUtf8(child.readAll());
    return run;
}
