#include <benchmark/benchmark.h>

#include <algorithm>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include "foundation/Tessutils.h"
#include "service/CorvikBlockAPIBinding.h"
#include "service/ZERI_AssetUploadManager.h"
#include "support/fakeservice/FakeWebService.h"
#include "support/SpinUntil.h"
#include "support/UploadBenchFiles.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "support/MainThreadHeartbeat.h"
#include "support/QtBenchmarkMain.h"

namespace {

constexpr int kFiles = 50;
constexpr qint64 kFileBytes = 2 * 1024 * 1024;

struct Fixture : UploadBenchFiles {
    Fixture()
        : UploadBenchFiles(kFiles, kFileBytes)
    {
    }
};

Fixture& fixture()
{
    static Fixture* instance = new Fixture; // lives for the whole run
    return *instance;
}

struct UploadWatcher : ZERI_AssetUploadManagerDelegate {
    bool completed = false;
    int reports = 0;
    bool monotonic = true;
    quint64 bytes = 0;
    quint64 totalBytes = 0;
    void uploadManagerUploadDidProgress(ZERI_AssetUploadManager*, const void*, quint64 uploaded, quint64 total, quint64,
                                        quint64) override
    {
        ++reports;
        monotonic = monotonic && uploaded >= bytes && uploaded <= total;
        bytes = uploaded;
        totalBytes = total;
    }
    void uploadManagerAllUploadsCompletedForModel(ZERI_AssetUploadManager*,
                                                  const std::shared_ptr<ZERI_TessarineModel>&) override
    {
        completed = true;
    }
};

bool spinUntil(const std::function<bool()>& done)
{
    return ::spinUntil(done, 5 * 60 * 1000);
}

// Uploads 50 files of 2 MB through the upload manager and, in the same iteration, with plain curl to the same
// fake service (which runs on its own thread). Reports both throughputs, their ratio (target: at least 0.5)
// the longest gap between ticks of a 1-ms main-thread timer during the manager's upload (target: 20 ms), and
// how many progress reports the manager gave per upload (they move within each request too).
void BM_UploadManagerAgainstCurl(benchmark::State& state)
{
    Fixture& f = fixture();
    const QString curl = QStandardPaths::findExecutable(QStringLiteral("curl"));
    if (curl.isEmpty()) {
        state.SkipWithError("curl is not installed");
        return;
    }
    const double megabytes = double(kFiles) * double(kFileBytes) / 1e6;
    double managerSeconds = 0;
    double curlSeconds = 0;
    double worstStallMs = 0;
    int round = 0;
    int progressReports = 0;
    for (auto _ : state) {
        // The manager, with a heartbeat on the main thread.
        QTemporaryDir queueFolder;
        ZERI_AssetUploadManager manager(queueFolder.filePath(QStringLiteral("uploadqueue")));
        UploadWatcher watcher;
        manager.setDelegate(&watcher);
        const auto model = f.makeDocument();
        MainThreadHeartbeat heartbeat(1);
        QElapsedTimer clock;
        clock.start();
        manager.enqueueAllContentAssetsForModel(model);
        manager.beginTracking();
        manager.startNextUploadIfNeeded();
        if (!spinUntil([&] { return watcher.completed; }) || !manager.lastError().isNull()) {
            state.SkipWithError("the upload manager did not finish");
            return;
        }
        managerSeconds += clock.nsecsElapsed() / 1e9;
        heartbeat.stop();
        if (!watcher.monotonic || watcher.bytes != watcher.totalBytes ||
            watcher.bytes != quint64(kFiles * kFileBytes)) {
            state.SkipWithError("upload progress went back or did not end at the total");
            return;
        }
        progressReports += watcher.reports;
        worstStallMs = std::max(worstStallMs, heartbeat.longestGapMs());

        // curl, same files, same server.
        const std::optional<double> curlRound = f.sendWithCurl(curl);
        if (!curlRound) {
            state.SkipWithError("curl failed");
            return;
        }
        curlSeconds += *curlRound;
        ++round;
    }
    state.counters["manager_MBps"] = megabytes * round / managerSeconds;
    state.counters["curl_MBps"] = megabytes * round / curlSeconds;
    state.counters["manager_vs_curl"] = curlSeconds / managerSeconds;
    state.counters["max_main_thread_stall_ms"] = worstStallMs;
    state.counters["progress_reports_per_upload"] = double(progressReports) / round;
}
BENCHMARK(BM_UploadManagerAgainstCurl)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

int main(int argc, char** argv)
{
    return runQtBenchmarks<QCoreApplication>(argc, argv, BenchSettings::Private);
}
