#include <benchmark/benchmark.h>

#include <cstdio>
#include <utility>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QUrl>
#include <QTemporaryDir>

#include "support/BenchPicturedDocument.h"
#include "support/MainThreadHeartbeat.h"
#include "support/QtBenchmarkMain.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
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
    std::printf("export_ms=%.1f\nfloor_ms=%.1f\n", exportTotal / runs, floorTotal / runs);
}
BENCHMARK(BM_ExportTwentyScreens)->Unit(benchmark::kMillisecond)->Iterations(3);

// The widest picture a PDF file holds, in pixels; 0 when none.
int widestEmbeddedPicture(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    static const QRegularExpression image(QStringLiteral(R"(/Subtype\s*/Image\s*/Width\s+(\d+))"));
    int widest = 0;
    for (auto match = image.globalMatch(QString::fromLatin1(file.readAll())); match.hasNext();)
        widest = std::max(widest, match.next().captured(1).toInt());
    return widest;
}

// A 1600 × 1200 picture placed in a 560 × 420 point frame (its cropped picture made at the frame's size): the
// pixels per inch the exported page gives it.
void BM_PictureResolution(benchmark::State& state)
{
    QTemporaryDir folder;
    const QSize source(1600, 1200);
    const QSizeF frame(560, 420);
    QImage original(source, QImage::Format_RGB32);
    {
        QPainter painter(&original);
        for (int y = 0; y < source.height(); y += 10)
            painter.fillRect(0, y, source.width(), 10, QColor::fromHsv((y / 10) % 360, 160, 200));
    }
    const QString originalPath = QDir(folder.path()).filePath(QStringLiteral("original.jpg"));
    const QString croppedPath = QDir(folder.path()).filePath(QStringLiteral("cropped.jpg"));
    original.save(originalPath, "JPEG", 90);
    original.scaled(frame.toSize(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation).save(croppedPath, "JPEG", 90);
    auto document = ZERI_TessarineModel::create();
    auto screen = ZERI_FlowScreenModel::create();
    auto picture = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Image);
    for (const auto& [path, original_] : {std::pair{originalPath, true}, std::pair{croppedPath, false}}) {
        auto asset = ZERI_ContentAsset::create();
        asset->setExternalURL(QUrl::fromLocalFile(path));
        if (original_)
            picture->object()->setOriginalImageAsset(asset);
        else
            picture->object()->setCroppedImageAsset(asset);
    }
    picture->object()->setFrame(QRectF(QPointF(200, 160), frame));
    picture->object()->setZoomScale(frame.width() / source.width());
    screen->addMixedMediaObject(picture);
    document->firstFlowmodel()->addFlowScreen(screen);
    const QString exportPath = QDir(folder.path()).filePath(QStringLiteral("picture.pdf"));
    double ppi = 0;
    for (auto _ : state) {
        Done done;
        auto generator = QVRPDFGenerator::create();
        generator->setDelegate(&done);
        generator->generatePDFForTessarineModel(document, exportPath);
        while (!done.finished)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        ppi = widestEmbeddedPicture(exportPath) / (frame.width() / 72.0);
    }
    state.counters["picture_ppi"] = ppi;
    std::printf("picture_ppi=%.1f\n", ppi);
}
BENCHMARK(BM_PictureResolution)->Unit(benchmark::kMillisecond)->Iterations(1);

// A deck of photographs as an import makes it: each screen one 1600 × 1200 JPEG of its own, fitted to the screen's
// height, with its cropped picture beside it. The exported PDF's size over the pictures' files
// (pdf_bytes_per_source_byte): target at most 1.1.
void BM_PhotographDeckSize(benchmark::State& state)
{
    constexpr int kPhotographs = 20;
    QTemporaryDir folder;
    auto document = ZERI_TessarineModel::create();
    qint64 sourceBytes = 0;
    const QSize pixels(1600, 1200);
    const double zoom = 748.0 / pixels.height();
    const QRectF frame((1024 - pixels.width() * zoom) / 2, 0, pixels.width() * zoom, 748);
    for (int i = 0; i < kPhotographs; ++i) {
        // Soft gradients under fine detail, which JPEG keeps at about the size of a camera's picture.
        QImage photograph(pixels, QImage::Format_RGB32);
        for (int y = 0; y < pixels.height(); ++y) {
            QRgb* line = reinterpret_cast<QRgb*>(photograph.scanLine(y));
            for (int x = 0; x < pixels.width(); ++x) {
                const int grain = int((quint32(x * 7919 + y * 104729 + i * 31337) * 2654435761u) >> 28);
                line[x] = qRgb((x / 7 + i * 13 + grain) & 0xff, (y / 5 + grain * 2) & 0xff, ((x + y) / 11 + i) & 0xff);
            }
        }
        const QString original = QDir(folder.path()).filePath(QStringLiteral("photograph%1.jpg").arg(i));
        photograph.save(original, "JPEG", 85);
        sourceBytes += QFileInfo(original).size();
        const QString cropped = QDir(folder.path()).filePath(QStringLiteral("cropped%1.jpg").arg(i));
        photograph.scaled(frame.size().toSize(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
            .save(cropped, "JPEG", 85);
        auto screen = ZERI_FlowScreenModel::create();
        auto picture = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Image);
        for (const auto& [path, isOriginal] : {std::pair{original, true}, std::pair{cropped, false}}) {
            auto asset = ZERI_ContentAsset::create();
            asset->setExternalURL(QUrl::fromLocalFile(path));
            if (isOriginal)
                picture->object()->setOriginalImageAsset(asset);
            else
                picture->object()->setCroppedImageAsset(asset);
        }
        picture->object()->setFrame(frame);
        picture->object()->setZoomScale(zoom);
        screen->addMixedMediaObject(picture);
        document->firstFlowmodel()->addFlowScreen(screen);
    }
    const QString exportPath = QDir(folder.path()).filePath(QStringLiteral("photographs.pdf"));
    double ratio = 0;
    for (auto _ : state) {
        Done done;
        auto generator = QVRPDFGenerator::create();
        generator->setDelegate(&done);
        generator->generatePDFForTessarineModel(document, exportPath);
        while (!done.finished)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        ratio = double(QFileInfo(exportPath).size()) / double(sourceBytes);
    }
    state.counters["pdf_bytes_per_source_byte"] = ratio;
    std::printf("pdf_bytes_per_source_byte=%.3f\n", ratio);
}
BENCHMARK(BM_PhotographDeckSize)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    return runQtBenchmarks<QApplication>(argc, argv);
}
