#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

// Cold start to the first window shown: the application and a one-window Qt program linked against the same
// heavy Qt modules are launched in turn, each with fresh private folders, on the offscreen platform unless
// a display is set (run under `xvfb-run -a` for an X server). Each process prints when its first window is
// exposed; the time measured is from the launch to that line. The summary compares the medians; the target is
// a ratio of at most 1.5.
namespace {

std::vector<double> s_applicationMs;
std::vector<double> s_referenceMs;

double launchUntilExposed(const QString& program)
{
    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path() + QStringLiteral("/config"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.path() + QStringLiteral("/data"));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), home.path() + QStringLiteral("/cache"));
    environment.insert(QStringLiteral("TESS_EXIT_AFTER_FIRST_WINDOW"), QStringLiteral("1"));
    environment.insert(QStringLiteral("TESS_API_URL"), QStringLiteral("http://127.0.0.1:9/")); // never the network
    if (!environment.contains(QStringLiteral("DISPLAY")) && !environment.contains(QStringLiteral("QT_QPA_PLATFORM")))
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));

    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::SeparateChannels);
    QElapsedTimer clock;
    clock.start();
    process.start(program, {});
    double elapsedMs = -1;
    while (process.waitForReadyRead(30000) || process.canReadLine()) {
        if (process.canReadLine() && process.readLine().startsWith("first-window-exposed")) {
            elapsedMs = double(clock.nsecsElapsed()) / 1e6;
            break;
        }
    }
    process.waitForFinished(30000);
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(5000);
    }
    return elapsedMs;
}

// The two programs are launched alternately, so a change of machine load during the run touches both alike.
// The iteration time is the application's; the reference's median is a counter.
void BM_ColdStartToFirstWindow(benchmark::State& state)
{
    for (auto _ : state) {
        const double reference = launchUntilExposed(QStringLiteral(TESS_REFERENCE_WINDOW));
        const double application = launchUntilExposed(QStringLiteral(TESS_APPLICATION));
        if (reference < 0 || application < 0) {
            state.SkipWithError("a program showed no window");
            return;
        }
        s_referenceMs.push_back(reference);
        s_applicationMs.push_back(application);
        state.SetIterationTime(application / 1000.0);
    }
}
BENCHMARK(BM_ColdStartToFirstWindow)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const double reference = median(s_referenceMs);
    const double application = median(s_applicationMs);
    if (reference > 0 && application > 0) {
        std::printf("cold start to first window (median): reference %.1f ms, application %.1f ms, ratio %.2f "
                    "(target <= 1.50)\n",
                    reference, application, application / reference);
    }
    return 0;
}
