#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
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
    };
    for (const auto& f : folders) {
        const QString path = base + QLatin1Char('/') + QLatin1String(f.folder);
        QDir().mkpath(path);
        qputenv(f.variable, QFile::encodeName(path));
    }
    QFile::setPermissions(base + QStringLiteral("/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}
