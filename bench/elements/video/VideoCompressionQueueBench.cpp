// Three 10 s 1920 × 1080 30 fps clips at 12 Mbit/s with AAC sound, re-encoded to the Small preset in one run:
//   peer:  the command-line re-encoder, three times in sequence;
//   queue: the three enqueued together in a document's compression queue, from the first enqueue to the last
//          did-end, with a 4 ms main-thread heartbeat running.
// Targets: queue at most 1.1 × peer; the longest main-thread gap during the queue at most 16 ms.

#include <benchmark/benchmark.h>

#include <cstdio>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

#include "elements/video/QVBVideoCompressionManager.h"
#include "platform/AppPaths.h"
#include "platform/NotificationCenter.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "support/MainThreadHeartbeat.h"
#include "support/QtBenchmarkMain.h"
#include "tessarine_data_model/VideoAssetCompressorPreset.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

bool runProgram(const QString& program, const QStringList& arguments, QString* message)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted(10000) || !process.waitForFinished(600000)) {
        *message = program + QStringLiteral(" did not run");
        return false;
    }
    *message = QString::fromUtf8(process.readAllStandardError());
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

void BM_CompressionQueueSmall1080p(benchmark::State& state)
{
    QTemporaryDir dir;
    QString message;
    QStringList sources;
    for (int i = 0; i < 3; ++i) {
        const QString source = dir.filePath(QStringLiteral("src%1.mp4").arg(i));
        if (!runProgram(QStringLiteral("ffmpeg"),
                        {"-y",
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
                         "10",
                         "-c:v",
                         "libx264",
                         "-preset",
                         "veryfast",
                         "-b:v",
                         "12M",
                         "-pix_fmt",
                         "yuv420p",
                         "-c:a",
                         "aac",
                         "-ac",
                         "2",
                         source},
                        &message)) {
            state.SkipWithError(qPrintable(QStringLiteral("cannot make the source clips: ") + message));
            return;
        }
        sources << source;
    }

    AppPaths::setApplicationSupportForTesting(dir.filePath(QStringLiteral("support")));
    AppPaths::setTemporaryForTesting(dir.filePath(QStringLiteral("tmp")));
    QDir().mkpath(dir.filePath(QStringLiteral("tmp")));
    ZERI_qvdFilePackage::registerWithDocumentModel();
    QVBVideoCompressionManager::registerWithDocumentModel();

    for (auto _ : state) {
        // The peer.
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < 3; ++i) {
            if (!runProgram(QStringLiteral(TESS_REENCODE_PATH),
                            {"--preset", "small", sources[i], dir.filePath(QStringLiteral("peer%1.mov").arg(i))},
                            &message)) {
                state.SkipWithError(qPrintable(QStringLiteral("reencode failed: ") + message));
                return;
            }
        }
        const double peer = clock.elapsed() / 1000.0;

        // The queue, in a document of its own.
        auto document = ZERI_TessarineModel::create();
        auto screen = ZERI_FlowScreenModel::create();
        document->firstFlowmodel()->addFlowScreen(screen);
        auto package = ZERI_qvdFilePackage::packageForNewModel(document);
        if (!package) {
            state.SkipWithError("cannot make the package");
            return;
        }
        std::vector<std::shared_ptr<ZERI_ContentAsset>> assets;
        for (int i = 0; i < 3; ++i) {
            const QString copy = QDir(package->assetsPath()).filePath(QStringLiteral("v%1.mp4").arg(i));
            QFile::copy(sources[i], copy);
            auto object = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Video);
            auto asset = ZERI_ContentAsset::create();
            asset->setExternalURL(QUrl::fromLocalFile(copy));
            (*object)->setVideoAsset(asset);
            screen->addMixedMediaObject(object);
            assets.push_back(asset);
        }
        const auto manager = document->documentVideoCompressionManager();
        QEventLoop loop;
        int ended = 0;
        int failed = 0;
        NotificationObservation endings(
            QVBVideoCompressionManager::didEndNotification, nullptr, [&](const Notification& n) {
                ++ended;
                if (n.userInfo.contains(QVBVideoCompressionManager::kVidoeAssetCompressionError))
                    ++failed;
                if (ended == 3)
                    loop.quit();
            });
        MainThreadHeartbeat heartbeat(4);
        clock.restart();
        for (const auto& asset : assets)
            manager->enqueueCompressionForContentAsset(asset, VideoAssetCompressorPreset::small480p());
        loop.exec();
        const double queue = clock.elapsed() / 1000.0;
        heartbeat.stop();
        if (failed) {
            state.SkipWithError("a re-encoding failed");
            return;
        }

        state.SetIterationTime(queue);
        const double ratio = queue / peer;
        state.counters["peer_s"] = peer;
        state.counters["queue_s"] = queue;
        state.counters["ratio"] = ratio;
        state.counters["max_gap_ms"] = heartbeat.longestGapMs();
        std::printf("peer %.2f s, queue %.2f s, ratio %.2f (target <= 1.1); longest main-thread gap %.1f ms "
                    "(target <= 16)\n",
                    peer, queue, ratio, heartbeat.longestGapMs());
    }
    ZERI_qvdFilePackage::resetForTesting();
}
BENCHMARK(BM_CompressionQueueSmall1080p)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv)
{
    return runQtBenchmarks<QCoreApplication>(argc, argv);
}
