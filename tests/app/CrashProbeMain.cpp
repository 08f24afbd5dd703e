#include <cstdlib>
#include <stdexcept>

#include <QCoreApplication>
#include <QLoggingCategory>

#include "app/QVRCrashReporter.h"

// crash_probe <crash folder> abort|throw|segv: logs 60 numbered lines, then dies the chosen way.
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 3)
        return 2;
    QVRCrashReporter::installHandlers(QString::fromLocal8Bit(argv[1]));
    for (int i = 1; i <= 60; ++i)
        qWarning("probe line %d", i);
    const QByteArray how(argv[2]);
    if (how == "throw")
        throw std::runtime_error("probe exception");
    if (how == "segv") {
        volatile int* nowhere = nullptr;
        return *nowhere;
    }
    abort();
}
