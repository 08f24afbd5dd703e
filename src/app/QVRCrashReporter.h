#pragma once

#include <QString>
#include <QStringList>

// Crash handling. installHandlers() hooks an uncaught exception (std::terminate) and the fatal signals
// (SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL); either writes a crash file "crash-<unix time>-<pid>.log" into the
// crash folder with the reason, the last kLogLines log lines and a backtrace, then lets the process die as it
// would have (the default action of the signal). The handler itself only uses async-signal-safe calls: the
// file name is prepared in advance and the log lines are kept in a fixed ring of buffers.
//
// The reporter part stands in for a crash-reporting service (none is defined): it keeps its configuration
// ("crashreporter.json" in the crash folder) and leaves crash files in place for a later upload.
class QVRCrashReporter {
public:
    static constexpr int kLogLines = 50;
    static constexpr int kLogLineBytes = 512;

    // "<data folder>/Tessarine/Crashes".
    static QString defaultCrashFolder();

    // Installs the handlers and a message handler that keeps the last log lines (chained to the previous
    // one). Call once, early, on the main thread.
    static void installHandlers(const QString& crashFolder);
    static QString crashFolder();

    // Appends one line to the ring of recent log lines (the message handler does this for every message).
    static void recordLogLine(const QString& line);

    // Crash-reporter configuration (kept for a later upload).
    static void configure(const QString& applicationIdentifier);
    static void setAutomaticSubmission(bool automatic);
    static void start();
    static bool isStarted();

    // Crash files left by earlier runs, oldest first.
    static QStringList pendingCrashReports();
};
