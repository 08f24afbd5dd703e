// Storing a 200 MB video data item into a document package, against `cp --reflink=never` of the same file into
// the same folder in the same run; a 2 ms heartbeat timer on the main thread records the longest gap between its
// ticks while the import runs (target: throughput at least half of cp's, no gap over 20 ms).
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include "storage/ContentAssetStorage.h"
#include "storage/QVRDataFromURLDataItem.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "support/MainThreadHeartbeat.h"
#include "support/QtBenchmarkMain.h"

namespace {

constexpr qint64 kFileBytes = 200LL * 1024 * 1024;

QString makeSourceFile(const QString& folder)
{
    const QString path = folder + QStringLiteral("/source.mov");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    QByteArray block(4 * 1024 * 1024, Qt::Uninitialized);
    for (qsizetype i = 0; i < block.size(); ++i)
        block[i] = char((i * 131 + 17) & 0xff);
    for (qint64 written = 0; written < kFileBytes; written += block.size())
        file.write(block);
    return path;
}

double copyWithCp(const QString& source, const QString& target)
{
    QElapsedTimer timer;
    timer.start();
    QProcess cp;
    cp.start(QStringLiteral("cp"), {QStringLiteral("--reflink=never"), source, target});
    cp.waitForFinished(-1);
    const double seconds = timer.nsecsElapsed() / 1e9;
    QFile::remove(target);
    return seconds;
}

void BM_StoreVideoDataItem(benchmark::State& state)
{
    QTemporaryDir work(QDir::currentPath() + QStringLiteral("/store-bench-XXXXXX"));
    const QString source = makeSourceFile(work.path());
    const QString folder = work.path() + QStringLiteral("/assets");
    QDir().mkpath(folder);
    auto item = std::make_shared<QVRDataFromURLDataItem>();
    item->setType(3);
    item->setContentUrl(QUrl::fromLocalFile(source));

    double ourSeconds = 0;
    double cpSeconds = 0;
    double longestGapMs = 0;
    for (auto _ : state) {
        cpSeconds += copyWithCp(source, folder + QStringLiteral("/cp-copy.mov"));

        auto asset = ZERI_ContentAsset::create();
        QEventLoop loop;
        QElapsedTimer timer;
        timer.start();
        MainThreadHeartbeat heartbeat(2);
        ContentAssetStorage::storeDataItem(asset, item, folder, [&](const Error&) { loop.quit(); });
        loop.exec();
        ourSeconds += timer.nsecsElapsed() / 1e9;
        heartbeat.stop();
        longestGapMs = std::max(longestGapMs, heartbeat.longestGapMs());
        QFile::remove(asset->localFilePath());
    }
    const double iterations = double(state.iterations());
    const double ourMBs = kFileBytes / (1024.0 * 1024.0) / (ourSeconds / iterations);
    const double cpMBs = kFileBytes / (1024.0 * 1024.0) / (cpSeconds / iterations);
    state.counters["store_MBps"] = ourMBs;
    state.counters["cp_MBps"] = cpMBs;
    state.counters["ratio_to_cp"] = ourMBs / cpMBs;
    state.counters["longest_main_gap_ms"] = longestGapMs;
}
BENCHMARK(BM_StoreVideoDataItem)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    return runQtBenchmarks<QCoreApplication>(argc, argv);
}
