#pragma once

#include <benchmark/benchmark.h>

#include <QtGlobal>

// The whole main() of a benchmark program that needs a Qt application of type App (QCoreApplication,
// QGuiApplication or QApplication); GUI applications run offscreen unless a platform is set.
template <class App> int runQtBenchmarks(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    App app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
