// reencode --preset small|medium|large IN OUT
//
// Re-encodes IN into the QuickTime movie OUT with one of the shared presets, printing progress to
// standard error. Exits 0 on success, 1 on a failed run (the error is printed), 2 on bad arguments.
//
// This front links QtCore only: it answers "--help" and argument errors itself, and hands a valid command line,
// unchanged, to reencode-worker beside it, which links the re-encoder and FFmpeg.

#include <QCoreApplication>

#include "elements/video/ReencodeArguments.h"
#include "platform/SiblingProgram.h"

int main(int argc, char** argv)
{
    {
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("reencode"));
        ReencodeArguments arguments;
        if (!arguments.parse(app))
            return ReencodeArguments::badArgumentsExitCode;
    }
    return SiblingProgram::exec("reencode-worker", argv, "reencode");
}
