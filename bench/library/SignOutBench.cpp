#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>

#include "foundation/Tessutils.h"
#include "library/account/ZERI_AuthenticationHandler.h"
#include "platform/AppPaths.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "service/CorvikBlockAPIBinding.h"
#include "service/DocumentServerOperations.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "support/MainThreadHeartbeat.h"
#include "support/BenchSupportFolder.h"
#include "support/QtBenchmarkMain.h"
#include "support/fakeservice/FakeWebService.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

constexpr int kPackages = 200;
constexpr int kFilesPerPackage = 10;
constexpr qint64 kFileBytes = 100 * 1024;

void fillFolder(const QString& folder, const QByteArray& data)
{
    QDir().mkpath(folder);
    for (int i = 0; i < kFilesPerPackage; ++i) {
        QFile file(QDir(folder).filePath(QStringLiteral("file%1.bin").arg(i)));
        file.open(QIODevice::WriteOnly);
        file.write(data);
    }
}

// Sign-out of a user with 200 documents of 10 files of 100 KB, until the logout notification, against
// QDir::removeRecursively of the same tree made in the same run. Target: signout_vs_remove at most 2.
void BM_SignOutAgainstRemovingTheTree(benchmark::State& state)
{
    FakeWebService service;
    service.start();
    service.setRecording(false);
    const QString token = service.addUser(QStringLiteral("bench")).token;
    CorvikBlockAPIBinding::setAPIURL(service.baseUrl());
    CorvikBlockAPIBinding::setAPIKey(QStringLiteral("KEY123"));
    CorvikBlockAPIBinding::setAPIPassword(QStringLiteral("s3cretPW"));
    const QByteArray data(kFileBytes, 'x');
    double ratio = 0;
    double worstGapMs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir support;
        storePackagesUnder(support.path());
        DocumentServerOperations::registerWithDocumentModel();
        Tessutils::setCorvikAuthToken(token);
        for (int i = 0; i < kPackages; ++i) {
            auto model = ZERI_TessarineModel::create();
            model->firstFlowmodel()->setTitle(QStringLiteral("Document %1").arg(i));
            model->saveToFile();
            auto package = std::dynamic_pointer_cast<ZERI_qvdFilePackage>(model->filePackage());
            fillFolder(package->assetsPath(), data);
        }
        QTemporaryDir plain;
        for (int i = 0; i < kPackages; ++i)
            fillFolder(plain.filePath(QStringLiteral("p%1/assets").arg(i)), data);
        QElapsedTimer removeTimer;
        removeTimer.start();
        QDir(plain.path()).removeRecursively();
        const double removeMs = double(removeTimer.nsecsElapsed()) / 1e6;
        state.ResumeTiming();

        MainThreadHeartbeat heartbeat(1);
        bool loggedOut = false;
        QEventLoop loop;
        NotificationObservation watch(QString::fromLatin1(ZERI_AuthenticationHandler::kDidLogoutNotification), nullptr,
                                      [&](const Notification&) {
                                          loggedOut = true;
                                          loop.quit();
                                      });
        QElapsedTimer timer;
        timer.start();
        // The heartbeat's next tick counts the synchronous part as a gap. The folders go off the main thread;
        // the notification comes once they are gone.
        ZERI_AuthenticationHandler::authHandler()->logout();
        if (!loggedOut)
            loop.exec();
        const double signOutMs = double(timer.nsecsElapsed()) / 1e6;
        heartbeat.stop();
        worstGapMs = std::max(worstGapMs, heartbeat.longestGapMs());
        ratio = std::max(ratio, removeMs > 0 ? signOutMs / removeMs : 0.0);
        benchmark::DoNotOptimize(loggedOut);
    }
    state.counters["signout_vs_remove"] = ratio;
    state.counters["max_main_thread_gap_ms"] = worstGapMs;
    ZERI_qvdFilePackage::resetForTesting();
    AppPaths::setApplicationSupportForTesting(QString());
}
BENCHMARK(BM_SignOutAgainstRemovingTheTree)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

int main(int argc, char** argv)
{
    return runQtBenchmarks<QApplication>(argc, argv, BenchSettings::Private);
}
