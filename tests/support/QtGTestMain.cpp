#include <gtest/gtest.h>

#include <QApplication>

#include "support/TestEnvironment.h"

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#include <csignal>
#include <execinfo.h>
#include <unistd.h>

namespace {

// A crash outside the sanitizer builds (at exit, say, after every test passed) prints where it happened before
// the process dies, so that a rare one seen in a CI log can be found again.
void printStackAndDie(int signal)
{
    static const char header[] = "\n*** fatal signal; stack (addr2line -e <binary> -f -C <offset>):\n";
    [[maybe_unused]] const auto written = ::write(STDERR_FILENO, header, sizeof header - 1);
    void* frames[64];
    const int count = ::backtrace(frames, 64);
    ::backtrace_symbols_fd(frames, count, STDERR_FILENO);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void installCrashStackPrinter()
{
    for (const int signal : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT})
        std::signal(signal, printStackAndDie);
}

} // namespace
#else
namespace {
void installCrashStackPrinter() {}
} // namespace
#endif

int main(int argc, char** argv)
{
    installCrashStackPrinter();
    TestEnvironment::isolateUserFolders();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");

    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Tessarine"));
    QApplication::setApplicationName(QStringLiteral("Tessarine"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
