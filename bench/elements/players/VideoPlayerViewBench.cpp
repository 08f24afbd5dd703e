// Plays a generated 6 s 1920 × 1080 30 fps H.264 clip twice in one run: first through a bare QMediaPlayer whose
// video sink only counts frames (the floor), then through the full-window player view at 1280 × 720 with its
// controls running. A 4 ms main-thread heartbeat runs throughout. Targets: the longest main-thread gap while the
// player view plays is at most 16 ms, and the view paints at least 95 % of the frames the floor received.

#include <benchmark/benchmark.h>

#include <atomic>

#include <QApplication>
#include <QAudioOutput>
#include <QMediaPlayer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QVideoFrame>
#include <QVideoSink>

#include "elements/players/ElementsPlayersLibrary.h"
#include "elements/players/QVR_AVPlayerVideoPlayingView.h"
#include "elements/players/VideoPlayer.h"
#include "elements/players/VideoPlayerLayer.h"
#include "support/MainThreadHeartbeat.h"
#include "support/QtBenchmarkMain.h"

namespace {

bool makeClip(const QString& path)
{
    QProcess process;
    process.start(QStringLiteral("ffmpeg"),
                  {"-y", "-v", "error", "-f", "lavfi", "-i", "testsrc2=size=1920x1080:rate=30:duration=6", "-c:v",
                   "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p", path});
    return process.waitForStarted(10000) && process.waitForFinished(300000) &&
           process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool waitForEnd(const std::function<bool()>& ended)
{
    return QTest::qWaitFor(ended, 20000);
}

void BM_PlayerView1080pAgainstBarePlayer(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString clip = dir.filePath(QStringLiteral("clip.mp4"));
    if (!makeClip(clip)) {
        state.SkipWithError("ffmpeg could not make the clip");
        return;
    }
    registerElementsPlayersLibrary();

    for (auto _ : state) {
        // The floor.
        std::atomic<quint64> floorFrames{0}; // counted on the thread that delivers frames
        double floorGapMs = 0;
        {
            QMediaPlayer player;
            QAudioOutput audio;
            QVideoSink sink;
            player.setAudioOutput(&audio);
            player.setVideoSink(&sink);
            QObject::connect(
                &sink, &QVideoSink::videoFrameChanged, &sink,
                [&floorFrames](const QVideoFrame& frame) { floorFrames += frame.isValid() ? 1 : 0; },
                Qt::DirectConnection);
            player.setSource(QUrl::fromLocalFile(clip));
            player.play();
            if (!QTest::qWaitFor([&] { return floorFrames.load() > 0; }, 10000)) {
                state.SkipWithError("the bare player gave no frame");
                return;
            }
            MainThreadHeartbeat floorHeartbeat(4);
            const bool floorEnded = waitForEnd([&] { return player.mediaStatus() == QMediaPlayer::EndOfMedia; });
            floorHeartbeat.stop();
            floorGapMs = floorHeartbeat.longestGapMs();
            if (!floorEnded) {
                state.SkipWithError("the bare player did not reach the end");
                return;
            }
        }

        // The player view.
        QVR_AVPlayerVideoPlayingView view(QRect(0, 0, 1280, 720));
        view.setOnVideoReady([](QVR_AVPlayerVideoPlayingView* ready) { ready->play(); });
        view.show();
        view.setVideoURL(QUrl::fromLocalFile(clip));
        // Loading builds the media pipeline on the main thread; the target is for the time the player plays.
        if (!QTest::qWaitFor([&] { return view.isShowingPicture(); }, 10000)) {
            state.SkipWithError("the player view showed no picture");
            return;
        }
        MainThreadHeartbeat heartbeat(4);
        const bool ended = waitForEnd([&] { return view.player()->mediaStatus() == QMediaPlayer::EndOfMedia; });
        heartbeat.stop();
        if (!ended) {
            state.SkipWithError("the player view did not reach the end");
            return;
        }
        QTest::qWait(100); // the last frame's paint

        const quint64 floor = floorFrames.load();
        const double painted = double(view.playerLayer()->paintedFrames());
        state.counters["floor_frames"] = double(floor);
        state.counters["painted_frames"] = painted;
        state.counters["painted_share"] = floor ? painted / double(floor) : 0.0;
        state.counters["longest_gap_ms"] = heartbeat.longestGapMs();
        state.counters["floor_longest_gap_ms"] = floorGapMs;
        state.counters["mean_paint_ms"] = view.playerLayer()->meanPaintMilliseconds();
        std::printf("floor %llu frames; view painted %.0f (%.1f %%), mean paint %.2f ms, longest main-thread gap "
                    "%.1f ms (bare player: %.1f ms) (targets: >= 95 %%, <= 16 ms)\n",
                    static_cast<unsigned long long>(floor), painted, floor ? 100.0 * painted / double(floor) : 0.0,
                    view.playerLayer()->meanPaintMilliseconds(), heartbeat.longestGapMs(), floorGapMs);
    }
}

} // namespace

BENCHMARK(BM_PlayerView1080pAgainstBarePlayer)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    return runQtBenchmarks<QApplication>(argc, argv);
}
