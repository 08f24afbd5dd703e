// The command-line tools from process start to exit on trivial input: "--help", a one-screen document, a
// one-slide deck. Target: each within 25 ms (median of the runs); the tool's own CPU time is printed as well, a
// figure a busy machine disturbs less. With TESS_TOOLS_BEFORE set to another build's bin folder, the same runs of
// that build's tools are timed alongside, and their ratio printed.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <functional>
#include <vector>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

#include "pptx/TestDeck.h"
#include "support/QtBenchmarkMain.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Shape.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

constexpr int kRuns = 10;
constexpr double kTargetMs = 25.0;

struct Inputs {
    QTemporaryDir folder;
    QString document; // one screen with one shape
    QString deck;     // one slide with one text box

    Inputs()
    {
        auto model = ZERI_TessarineModel::create();
        model->setDontSave(true);
        auto screen = ZERI_FlowScreenModel::create();
        auto shape = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Shape);
        shape->as<ZERI_MMObject_Shape>()->setShapeType(ZERI_MMObject_Shape::Rectangle);
        (*shape)->setFrame(QRectF(100, 100, 300, 200));
        screen->addMixedMediaObject(shape);
        model->firstFlowmodel()->addFlowScreen(screen);
        document = folder.filePath(QStringLiteral("document.json"));
        QFile file(document);
        if (!file.open(QIODevice::WriteOnly) || file.write(model->jsonData()) <= 0)
            qFatal("cannot write the benchmark document");
        file.close();

        TestDeck slides = TestDeck::minimal(1);
        slides.setSlideTree(1, TestDeck::textShape("", TestDeck::xfrm(0, 0, 9525 * 600, 9525 * 80),
                                                   "<a:p><a:r><a:rPr lang=\"en\"/><a:t>One slide</a:t></a:r></a:p>"));
        deck = folder.filePath(QStringLiteral("deck.pptx"));
        if (!slides.writeTo(deck.toStdString()))
            qFatal("cannot write the benchmark deck");
    }
};

Inputs& inputs()
{
    static Inputs made;
    return made;
}

struct RunTimes {
    double wallMs = -1; // negative: the tool did not run, or did not exit as asked
    double cpuMs = 0;   // user and system time of the tool's process
};

double childCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// From starting the tool to its exit. `anyExitCode` takes a failure status too (an earlier build's tools answered
// "--help" with their usage line and status 1).
RunTimes run(const QString& program, const QStringList& arguments, bool anyExitCode)
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    const double cpuBefore = childCpuMs();
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    const bool finished = process.waitForFinished(30000);
    RunTimes times;
    if (finished && process.exitStatus() == QProcess::NormalExit && (anyExitCode || process.exitCode() == 0)) {
        times.wallMs = timer.nsecsElapsed() / 1e6;
        times.cpuMs = childCpuMs() - cpuBefore;
    }
    return times;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

// Times `tool` with the arguments `makeArguments` gives for a fresh output folder, here and, when
// TESS_TOOLS_BEFORE names one, in the other build.
void timeTool(benchmark::State& state, const QString& tool,
              const std::function<QStringList(const QString&)>& makeArguments)
{
    const QString before = qEnvironmentVariable("TESS_TOOLS_BEFORE");
    std::vector<double> now, cpu, then, thenCpu;
    int run = 0;
    for (auto _ : state) {
        for (int i = 0; i < kRuns; ++i) {
            const QString out = inputs().folder.filePath(QStringLiteral("out%1").arg(run++));
            const RunTimes times = ::run(QStringLiteral(TESS_TOOLS_DIR "/") + tool, makeArguments(out), false);
            if (times.wallMs < 0) {
                state.SkipWithError("the tool failed");
                return;
            }
            now.push_back(times.wallMs);
            cpu.push_back(times.cpuMs);
            if (!before.isEmpty()) {
                const QString beforeOut = inputs().folder.filePath(QStringLiteral("out%1").arg(run++));
                const RunTimes beforeTimes = ::run(QDir(before).filePath(tool), makeArguments(beforeOut), true);
                if (beforeTimes.wallMs >= 0) {
                    then.push_back(beforeTimes.wallMs);
                    thenCpu.push_back(beforeTimes.cpuMs);
                }
            }
        }
    }
    state.counters["median_ms"] = median(now);
    state.counters["max_ms"] = now.empty() ? 0 : *std::max_element(now.begin(), now.end());
    state.counters["cpu_median_ms"] = median(cpu);
    state.counters["target_ms"] = kTargetMs;
    if (!then.empty()) {
        state.counters["before_median_ms"] = median(then);
        state.counters["before_cpu_median_ms"] = median(thenCpu);
        state.counters["vs_before"] = median(now) / median(then);
    }
}

void BM_RenderScreensHelp(benchmark::State& state)
{
    timeTool(state, QStringLiteral("render-screens"), [](const QString&) { return QStringList{"--help"}; });
}
void BM_RenderScreensOneScreen(benchmark::State& state)
{
    timeTool(state, QStringLiteral("render-screens"), [](const QString& out) {
        return QStringList{inputs().document, out};
    });
}
void BM_RenderScreensPdfOneScreen(benchmark::State& state)
{
    timeTool(state, QStringLiteral("render-screens"), [](const QString& out) {
        return QStringList{"--pdf", inputs().document, out + ".pdf"};
    });
}
void BM_PptxImportHelp(benchmark::State& state)
{
    timeTool(state, QStringLiteral("pptx-import"), [](const QString&) { return QStringList{"--help"}; });
}
void BM_PptxImportOneSlide(benchmark::State& state)
{
    timeTool(state, QStringLiteral("pptx-import"), [](const QString& out) { return QStringList{inputs().deck, out}; });
}
void BM_PptxDumpHelp(benchmark::State& state)
{
    timeTool(state, QStringLiteral("pptx-dump"), [](const QString&) { return QStringList{"--help"}; });
}
void BM_PptxDumpOneSlide(benchmark::State& state)
{
    timeTool(state, QStringLiteral("pptx-dump"), [](const QString& out) { return QStringList{inputs().deck, out}; });
}
void BM_ReencodeHelp(benchmark::State& state)
{
    timeTool(state, QStringLiteral("reencode"), [](const QString&) { return QStringList{"--help"}; });
}
void BM_FontlistDumpHelp(benchmark::State& state)
{
    timeTool(state, QStringLiteral("fontlist-dump"), [](const QString&) { return QStringList{"--help"}; });
}
void BM_FontlistDump(benchmark::State& state)
{
    timeTool(state, QStringLiteral("fontlist-dump"), [](const QString&) { return QStringList{}; });
}

BENCHMARK(BM_RenderScreensHelp)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderScreensOneScreen)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderScreensPdfOneScreen)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PptxImportHelp)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PptxImportOneSlide)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PptxDumpHelp)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PptxDumpOneSlide)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReencodeHelp)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FontlistDumpHelp)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FontlistDump)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return runQtBenchmarks<QGuiApplication>(argc, argv);
}
