#include <benchmark/benchmark.h>

#include <algorithm>

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "foundation/Tessutils.h"
#include "library/publish/QVRSavePublishDialogueWindowController.h"
#include "platform/AppPaths.h"
#include "service/CorvikBlockAPIBinding.h"
#include "service/DocumentServerOperations.h"
#include "service/ZERI_AssetUploadManager.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "support/MainThreadHeartbeat.h"
#include "support/QtBenchmarkMain.h"
#include "support/SpinUntil.h"
#include "support/UploadBenchFiles.h"
#include "support/fakeservice/FakeWebService.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

constexpr int kFiles = 50;
constexpr qint64 kFileBytes = 2 * 1024 * 1024;

struct Fixture : UploadBenchFiles {
    QTemporaryDir support;

    Fixture()
        : UploadBenchFiles(kFiles, kFileBytes)
    {
        AppPaths::setApplicationSupportForTesting(support.path());
        ZERI_qvdFilePackage::registerWithDocumentModel();
        DocumentServerOperations::registerWithDocumentModel();
    }

    std::shared_ptr<ZERI_TessarineModel> makeDocument() const
    {
        auto model = UploadBenchFiles::makeDocument();
        model->firstFlowmodel()->setTitle(QStringLiteral("Fifty pictures"));
        model->saveToFile();
        return model;
    }
};

Fixture& fixture()
{
    static Fixture* instance = new Fixture;
    return *instance;
}

bool spinUntil(const std::function<bool()>& done)
{
    return ::spinUntil(done, 5 * 60 * 1000);
}

// Publishes a document of 50 pictures of 2 MB through the save/publish dialogue (uploads, then the publishing
// save and the published copy on disk) and sends the same files with curl in the same iteration. Targets:
// publish_vs_curl at least 0.5; max_main_thread_stall_ms at most 16 from Publish until the published copy is
// written.
void BM_PublishThroughTheDialogueAgainstCurl(benchmark::State& state)
{
    Fixture& f = fixture();
    const QString curl = QStandardPaths::findExecutable(QStringLiteral("curl"));
    if (curl.isEmpty()) {
        state.SkipWithError("curl is not installed");
        return;
    }
    const double megabytes = double(kFiles) * double(kFileBytes) / 1e6;
    double publishSeconds = 0;
    double curlSeconds = 0;
    double worstStallMs = 0;
    int round = 0;
    for (auto _ : state) {
        QTemporaryDir queueFolder;
        ZERI_AssetUploadManager manager(queueFolder.filePath(QStringLiteral("uploadqueue")));
        QVRSavePublishDialogueWindowController::setUploadManagerForTesting(&manager);
        const auto model = f.makeDocument();
        const auto package = std::dynamic_pointer_cast<ZERI_qvdFilePackage>(model->filePackage());
        {
            QVRSavePublishDialogueWindowController dialogue({package});
            dialogue.setPublishing(true);
            MainThreadHeartbeat heartbeat(1);
            QElapsedTimer clock;
            clock.start();
            dialogue.start();
            if (!spinUntil([&] { return dialogue.uploadsDone(); }) || !dialogue.saveError().isNull() ||
                !package->publishedVersionExists()) {
                QVRSavePublishDialogueWindowController::setUploadManagerForTesting(nullptr);
                state.SkipWithError("publishing did not finish");
                return;
            }
            publishSeconds += clock.nsecsElapsed() / 1e9;
            heartbeat.stop();
            worstStallMs = std::max(worstStallMs, heartbeat.longestGapMs());
        }
        QVRSavePublishDialogueWindowController::setUploadManagerForTesting(nullptr);
        package->deletePackage();

        const std::optional<double> curlRound = f.sendWithCurl(curl);
        if (!curlRound) {
            state.SkipWithError("curl failed");
            return;
        }
        curlSeconds += *curlRound;
        ++round;
    }
    state.counters["publish_MBps"] = megabytes * round / publishSeconds;
    state.counters["curl_MBps"] = megabytes * round / curlSeconds;
    state.counters["publish_vs_curl"] = curlSeconds / publishSeconds;
    state.counters["max_main_thread_stall_ms"] = worstStallMs;
}
BENCHMARK(BM_PublishThroughTheDialogueAgainstCurl)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

int main(int argc, char** argv)
{
    return runQtBenchmarks<QApplication>(argc, argv, BenchSettings::Private);
}
