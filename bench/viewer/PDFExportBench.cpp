#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>

#include "support/BenchPicturedDocument.h"
#include "support/MainThreadHeartbeat.h"
#include "support/QtBenchmarkMain.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "viewer/output/QVRPDFGenerator.h"

namespace {

constexpr int kScreens = 20;

struct Fixture {
    QTemporaryDir folder;
    QStringList pictures;
    std::shared_ptr<ZERI_TessarineModel> document = makePicturedDocument(folder.path(), kScreens, &pictures);
};

struct Done : QVRPDFGeneratorDelegate {
    bool finished = false;
    void pdfGeneratorDidFinishGeneratingPdf(QVRPDFGenerator&, const QString&, const Error& error, int) override
    {
        if (!error.isNull())
            qWarning() << "export failed:" << error.message;
        finished = true;
    }
};

// The floor: the same pictures, decoded, one per page of a bare writer.
double floorMs(const Fixture& fixture, const QString& path)
{
    QElapsedTimer timer;
    timer.start();
    QPdfWriter writer(path);
    writer.setResolution(72);
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setPageSize(QPageSize(QSizeF(1024, 748), QPageSize::Point, {}, QPageSize::ExactMatch));
    QPainter painter(&writer);
    for (int i = 0; i < kScreens; ++i) {
        if (i > 0)
            writer.newPage();
        painter.drawImage(QRectF(0, 0, 1024, 748), QImage(fixture.pictures[i]));
    }
    painter.end();
    return timer.nsecsElapsed() / 1e6;
}

void BM_ExportTwentyScreens(benchmark::State& state)
{
    Fixture fixture;
    const QString floorPath = QDir(fixture.folder.path()).filePath(QStringLiteral("floor.pdf"));
    const QString exportPath = QDir(fixture.folder.path()).filePath(QStringLiteral("export.pdf"));
    double exportTotal = 0;
    double floorTotal = 0;
    double lag = 0;
    for (auto _ : state) {
        floorTotal += floorMs(fixture, floorPath);
        Done done;
        auto generator = QVRPDFGenerator::create();
        generator->setDelegate(&done);
        MainThreadHeartbeat heartbeat(10);
        QElapsedTimer timer;
        timer.start();
        generator->generatePDFForTessarineModel(fixture.document, exportPath);
        while (!done.finished)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        exportTotal += timer.nsecsElapsed() / 1e6;
        heartbeat.stop();
        lag = std::max(lag, heartbeat.longestLagMs());
    }
    const double runs = double(state.iterations());
    state.counters["export_ms"] = exportTotal / runs;
    state.counters["floor_ms"] = floorTotal / runs;
    state.counters["ratio"] = exportTotal / floorTotal;
    state.counters["heartbeat_lag_ms"] = lag;
    state.counters["file_bytes"] = double(QFileInfo(exportPath).size());
}
BENCHMARK(BM_ExportTwentyScreens)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv)
{
    return runQtBenchmarks<QApplication>(argc, argv);
}
