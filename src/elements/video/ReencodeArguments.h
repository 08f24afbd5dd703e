#pragma once

#include <QString>

class QCoreApplication;

// The command line of the reencode tool: --preset small|medium|large IN OUT. Read alike by the small front that
// answers "--help" and argument errors (linking QtCore only) and by the worker that re-encodes.
struct ReencodeArguments {
    static constexpr int badArgumentsExitCode = 2;

    QString presetName; // "small", "medium" or "large"
    QString input;
    QString output;

    // Reads the application's arguments. "--help" prints the help and exits this process with 0, an unknown
    // option prints the parser's message and exits with 1. An unknown preset or a wrong count of files prints the
    // usage line and returns false; the caller then exits with badArgumentsExitCode.
    bool parse(const QCoreApplication& app);
};
