#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {

// Runs the crash probe and returns the text of the one crash file it left.
QString crashFileOfProbe(const QString& how, QProcess::ExitStatus* status)
{
    QTemporaryDir folder;
    folder.setAutoRemove(true);
    QProcess probe;
    probe.setProcessChannelMode(QProcess::MergedChannels);
    probe.start(QStringLiteral(TESS_APP_CRASH_PROBE), {folder.path(), how});
    if (!probe.waitForFinished(30000))
        return QStringLiteral("probe did not finish");
    *status = probe.exitStatus();
    const QStringList files = QDir(folder.path()).entryList({QStringLiteral("crash-*.log")}, QDir::Files);
    if (files.size() != 1)
        return QStringLiteral("crash files: %1").arg(files.size());
    QFile file(folder.filePath(files.first()));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("unreadable");
    return QString::fromUtf8(file.readAll());
}

void expectLastLogLinesAndBacktrace(const QString& text)
{
    EXPECT_TRUE(text.contains(QStringLiteral("last log lines:"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("probe line 60\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("probe line 11\n")));
    EXPECT_FALSE(text.contains(QStringLiteral("probe line 10\n"))) << "only the last 50 lines are kept";
    const qsizetype backtrace = text.indexOf(QStringLiteral("backtrace:\n"));
    ASSERT_GE(backtrace, 0);
    // backtrace_symbols_fd writes one "binary(symbol+offset) [address]" line per frame.
    EXPECT_GE(text.mid(backtrace).count(QStringLiteral("[0x")), 3);
}

TEST(CrashHandling, AnAbortLeavesACrashFileWithTheLastLogLinesAndABacktrace)
{
    QProcess::ExitStatus status = QProcess::NormalExit;
    const QString text = crashFileOfProbe(QStringLiteral("abort"), &status);
    EXPECT_EQ(status, QProcess::CrashExit);
    EXPECT_TRUE(text.contains(QStringLiteral("reason: SIGABRT"))) << text.toStdString();
    expectLastLogLinesAndBacktrace(text);
}

TEST(CrashHandling, AnUncaughtExceptionIsNamedInTheCrashFile)
{
    QProcess::ExitStatus status = QProcess::NormalExit;
    const QString text = crashFileOfProbe(QStringLiteral("throw"), &status);
    EXPECT_EQ(status, QProcess::CrashExit);
    EXPECT_TRUE(text.contains(QStringLiteral("reason: uncaught exception: probe exception"))) << text.toStdString();
    expectLastLogLinesAndBacktrace(text);
}

TEST(CrashHandling, AnInvalidMemoryAccessLeavesACrashFile)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reports invalid accesses itself in this build";
#endif
    QProcess::ExitStatus status = QProcess::NormalExit;
    const QString text = crashFileOfProbe(QStringLiteral("segv"), &status);
    EXPECT_EQ(status, QProcess::CrashExit);
    EXPECT_TRUE(text.contains(QStringLiteral("reason: SIGSEGV"))) << text.toStdString();
}

} // namespace
