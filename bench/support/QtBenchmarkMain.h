#pragma once

#include <benchmark/benchmark.h>

#include <optional>

#include <QTemporaryDir>
#include <QtGlobal>

#include "platform/UserDefaults.h"

// Where a benchmark program keeps its settings: the user's own, or a store of its own that starts empty (nobody
// signed in) and goes with the program.
enum class BenchSettings { User, Private };

// The whole main() of a benchmark program that needs a Qt application of type App (QCoreApplication,
// QGuiApplication or QApplication); GUI applications run offscreen unless a platform is set.
template <class App> int runQtBenchmarks(int argc, char** argv, BenchSettings settings = BenchSettings::User)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    App app(argc, argv);
    std::optional<QTemporaryDir> privateSettings;
    if (settings == BenchSettings::Private)
        UserDefaults::setStoreFileForTesting(privateSettings.emplace().filePath(QStringLiteral("defaults.ini")));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
