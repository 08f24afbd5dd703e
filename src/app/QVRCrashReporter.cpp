#include "app/QVRCrashReporter.h"

#include <execinfo.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstring>
#include <ctime>
#include <exception>

#include <QCoreApplication>
#include <QDir>
#include <QJsonObject>

#include "app/AppLogging.h"
#include "platform/AppPaths.h"
#include "platform/AtomicFile.h"
#include "platform/OwnFiles.h"
#include "platform/SafeFolder.h"
#include "platform/Error.h"
#include "platform/Json.h"

namespace {

constexpr std::array kFatalSignals{SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL};

// Everything the handler reads is plain memory prepared beforehand.
// The crash folder, held open so that the handler makes its file there without looking the path up again.
std::atomic<int> s_crashFolderFd{-1};
char s_logRing[QVRCrashReporter::kLogLines][QVRCrashReporter::kLogLineBytes];
std::atomic<unsigned> s_logNext{0};
std::atomic<bool> s_handling{false};
QtMessageHandler s_previousMessageHandler = nullptr;
QString s_crashFolderPath;

struct ReporterState {
    QString applicationIdentifier;
    bool automaticSubmission = false;
    bool started = false;
};
ReporterState& reporter()
{
    static ReporterState s_state;
    return s_state;
}

void writeText(int fd, const char* text)
{
    size_t left = strlen(text);
    while (left > 0) {
        const ssize_t written = write(fd, text, left);
        if (written <= 0)
            return;
        text += written;
        left -= size_t(written);
    }
}

// Decimal text of a number into `buffer` without the C library's formatting (not async-signal-safe).
const char* decimal(unsigned long value, char (&buffer)[32])
{
    char* p = buffer + sizeof(buffer) - 1;
    *p = '\0';
    do {
        *--p = char('0' + value % 10);
        value /= 10;
    } while (value > 0 && p > buffer);
    return p;
}

const char* signalName(int signal)
{
    switch (signal) {
    case SIGSEGV:
        return "SIGSEGV (invalid memory access)";
    case SIGABRT:
        return "SIGABRT (abort)";
    case SIGBUS:
        return "SIGBUS (bus error)";
    case SIGFPE:
        return "SIGFPE (arithmetic error)";
    case SIGILL:
        return "SIGILL (illegal instruction)";
    default:
        return "fatal signal";
    }
}

void writeCrashFile(const char* reason)
{
    if (s_handling.exchange(true))
        return; // a crash inside the crash handler: give up on the file
    char path[96];
    char number[32];
    size_t length = 0;
    const auto append = [&](const char* part) {
        while (*part && length + 1 < sizeof(path))
            path[length++] = *part++;
        path[length] = '\0';
    };
    path[0] = '\0';
    append("crash-");
    append(decimal(static_cast<unsigned long>(time(nullptr)), number));
    append("-");
    append(decimal(static_cast<unsigned long>(getpid()), number));
    append(".log");
    // A new file of the process's own: never one that is there already, nor through a link under its name, in the
    // folder opened when the handlers were installed (a link put in its place since leads nowhere).
    const int fd = openat(s_crashFolderFd, path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    writeText(fd, "Tessarine crash\nreason: ");
    writeText(fd, reason);
    writeText(fd, "\n\nlast log lines:\n");
    const unsigned next = s_logNext.load();
    const unsigned count = next < unsigned(QVRCrashReporter::kLogLines) ? next : unsigned(QVRCrashReporter::kLogLines);
    for (unsigned i = next - count; i != next; ++i) {
        writeText(fd, s_logRing[i % QVRCrashReporter::kLogLines]);
        writeText(fd, "\n");
    }
    writeText(fd, "\nbacktrace:\n");
    void* frames[128];
    const int depth = backtrace(frames, 128);
    backtrace_symbols_fd(frames, depth, fd);
    fsync(fd);
    close(fd);
}

void onFatalSignal(int signal)
{
    writeCrashFile(signalName(signal));
    // Die as the signal would have: the default action, raised again (a core dump and the right exit status).
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
    raise(signal);
}

void onTerminate()
{
    char reason[QVRCrashReporter::kLogLineBytes] = "uncaught exception";
    if (const std::exception_ptr current = std::current_exception()) {
        try {
            std::rethrow_exception(current);
        } catch (const std::exception& e) {
            strncat(reason, ": ", sizeof(reason) - strlen(reason) - 1);
            strncat(reason, e.what(), sizeof(reason) - strlen(reason) - 1);
        } catch (...) {
        }
    } else {
        strncpy(reason, "std::terminate without an exception", sizeof(reason) - 1);
    }
    writeCrashFile(reason);
    // abort() runs the SIGABRT handler, which finds the file written and only re-raises.
    abort();
}

void keepMessage(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    QVRCrashReporter::recordLogLine(qFormatLogMessage(type, context, message));
    if (s_previousMessageHandler)
        s_previousMessageHandler(type, context, message);
}

QString configurationFile()
{
    return s_crashFolderPath.isEmpty() ? QString() : s_crashFolderPath + QStringLiteral("/crashreporter.json");
}

void saveConfiguration()
{
    const QString file = configurationFile();
    if (file.isEmpty())
        return;
    const ReporterState& state = reporter();
    const QJsonObject json{{QStringLiteral("applicationIdentifier"), state.applicationIdentifier},
                           {QStringLiteral("automaticSubmission"), state.automaticSubmission},
                           {QStringLiteral("uploadService"), QJsonValue()}};
    Error error;
    if (!OwnFiles::write(file, Json::write(json), &error))
        qCWarning(lcApp) << "cannot write the crash reporter configuration" << file << error.message;
}

} // namespace

QString QVRCrashReporter::defaultCrashFolder()
{
    return AppPaths::applicationSupport() + QStringLiteral("/Tessarine/Crashes");
}

void QVRCrashReporter::installHandlers(const QString& folder)
{
    // The application's own folder: a link in its place is set aside, so reports never land where it leads.
    OwnFiles::makeFolder(folder);
    s_crashFolderPath = QDir(folder).absolutePath();
    const SafeFolder opened = SafeFolder::open(s_crashFolderPath);
    const int previous = s_crashFolderFd.exchange(opened.isOpen() ? fcntl(opened.fd(), F_DUPFD_CLOEXEC, 0) : -1);
    if (previous >= 0)
        close(previous);
    if (s_crashFolderFd < 0)
        qCWarning(lcApp) << "cannot open the crash folder; crash files disabled:" << folder;

    // backtrace() loads libgcc on first use, which is not safe inside a signal handler: do it now.
    void* warmUp[2];
    backtrace(warmUp, 2);

    static bool s_installed = false;
    if (s_installed)
        return;
    s_installed = true;
    s_previousMessageHandler = qInstallMessageHandler(keepMessage);
    std::set_terminate(onTerminate);
    struct sigaction action = {};
    action.sa_handler = onFatalSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    for (int signal : kFatalSignals)
        sigaction(signal, &action, nullptr);
}

QString QVRCrashReporter::crashFolder()
{
    return s_crashFolderPath;
}

void QVRCrashReporter::recordLogLine(const QString& line)
{
    const unsigned slot = s_logNext.fetch_add(1) % kLogLines;
    const QByteArray bytes = line.toUtf8().left(kLogLineBytes - 1);
    memcpy(s_logRing[slot], bytes.constData(), size_t(bytes.size()));
    s_logRing[slot][bytes.size()] = '\0';
}

void QVRCrashReporter::configure(const QString& applicationIdentifier)
{
    reporter().applicationIdentifier = applicationIdentifier;
    if (reporter().started)
        saveConfiguration();
}

void QVRCrashReporter::setAutomaticSubmission(bool automatic)
{
    reporter().automaticSubmission = automatic;
    if (reporter().started)
        saveConfiguration();
}

void QVRCrashReporter::start()
{
    reporter().started = true;
    saveConfiguration();
    const QStringList pending = pendingCrashReports();
    if (!pending.isEmpty())
        qCInfo(lcApp) << pending.size() << "crash report(s) kept for a later upload in" << s_crashFolderPath;
}

bool QVRCrashReporter::isStarted()
{
    return reporter().started;
}

QStringList QVRCrashReporter::pendingCrashReports()
{
    if (s_crashFolderPath.isEmpty())
        return {};
    QStringList files;
    const QDir dir(s_crashFolderPath);
    for (const QFileInfo& info :
         dir.entryInfoList({QStringLiteral("crash-*.log")}, QDir::Files, QDir::Time | QDir::Reversed))
        files.append(info.absoluteFilePath());
    return files;
}
