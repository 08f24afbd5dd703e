// Re-encodes a 20 s 1920 × 1080 30 fps clip with the Medium preset and, in the same run, the same job
// with the ffmpeg command-line tool. Targets: ours at most 1.25 × ffmpeg's time, peak memory under
// 500 MB, and a 10 ms main-thread heartbeat that never lags more than 100 ms during our run.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <optional>

#include <sys/resource.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include "elements/video/VideoAssetCompressor.h"
#include "tessarine_data_model/VideoAssetCompressorPreset.h"
#include "support/MainThreadHeartbeat.h"
#include "support/QtBenchmarkMain.h"

namespace {

bool runTool(const QStringList& arguments, QString* message)
{
    QProcess process;
    process.start(QStringLiteral("ffmpeg"), arguments);
    if (!process.waitForStarted(10000) || !process.waitForFinished(600000)) {
        *message = QStringLiteral("ffmpeg did not run");
        return false;
    }
    *message = QString::fromUtf8(process.readAllStandardError());
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

double peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0; // kB on Linux
}

void BM_ReencodeMedium1080p(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString source = dir.filePath("src.mp4");
    QString message;
    if (!runTool({"-y",
                  "-v",
                  "error",
                  "-f",
                  "lavfi",
                  "-i",
                  "testsrc2=size=1920x1080:rate=30",
                  "-f",
                  "lavfi",
                  "-i",
                  "sine=frequency=440:sample_rate=48000",
                  "-t",
                  "20",
                  "-c:v",
                  "libx264",
                  "-preset",
                  "veryfast",
                  "-pix_fmt",
                  "yuv420p",
                  "-c:a",
                  "aac",
                  "-ac",
                  "2",
                  source},
                 &message)) {
        state.SkipWithError(qPrintable(QStringLiteral("cannot make the source clip: ") + message));
        return;
    }

    for (auto _ : state) {
        // Ours, with the main thread's heartbeat watched.
        VideoAssetCompressor compressor;
        compressor.setPreset(VideoAssetCompressorPreset::medium720p());
        compressor.setInputURL(QUrl::fromLocalFile(source));
        compressor.setOutputURL(QUrl::fromLocalFile(dir.filePath("out.mov")));
        QEventLoop loop;
        std::optional<Error> result;
        compressor.setOnDoneBlock([&](const std::optional<Error>& error) {
            result = error;
            loop.quit();
        });
        QElapsedTimer clock;
        clock.start();
        MainThreadHeartbeat heartbeat(10);
        compressor.start();
        if (compressor.isActive())
            loop.exec();
        heartbeat.stop();
        const double ours = clock.elapsed() / 1000.0;
        if (result) {
            state.SkipWithError(qPrintable(result->description()));
            return;
        }

        // The reference.
        clock.restart();
        if (!runTool({"-y",           "-v",   "error",   "-i",      source,     "-vf",
                      "scale=-2:720", "-c:v", "libx264", "-preset", "veryfast", "-b:v",
                      "4096k",        "-c:a", "aac",     "-b:a",    "128k",     "-ar",
                      "44100",        "-ac",  "2",       "-f",      "mov",      dir.filePath("ref.mov")},
                     &message)) {
            state.SkipWithError(qPrintable(QStringLiteral("ffmpeg failed: ") + message));
            return;
        }
        const double reference = clock.elapsed() / 1000.0;

        state.SetIterationTime(ours);
        const double ratio = ours / reference;
        state.counters["ours_s"] = ours;
        state.counters["ffmpeg_s"] = reference;
        state.counters["ratio"] = ratio;
        state.counters["peak_MB"] = peakMegabytes();
        state.counters["max_lag_ms"] = heartbeat.longestLagMs();
        std::printf("ours %.2f s, ffmpeg %.2f s, ratio %.2f (target <= 1.25); peak %.0f MB (target < 500); "
                    "main-thread lag %.0f ms (target <= 100)\n",
                    ours, reference, ratio, peakMegabytes(), heartbeat.longestLagMs());
    }
}
BENCHMARK(BM_ReencodeMedium1080p)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv)
{
    return runQtBenchmarks<QCoreApplication>(argc, argv);
}
