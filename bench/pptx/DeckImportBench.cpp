// Importing a 30-slide deck with one 800 x 600 JPEG per slide, up to the saved document with its cropped
// pictures, against the floor measured in the same run: the reader's own time (open, every slide and object,
// free) plus the picture writes (copying each picture and writing its cropped image with plain Qt calls).
// Prints both, their ratio (target: at most 2) and the longest main-thread stall while importing (target: 16 ms).
//
// Importing a deck that shows one 2400 x 2000 picture 1,000 times, at a few sizes, up to the saved document: prints
// the peak resident memory of the import (target: under 600 MB) and its time.

#include <benchmark/benchmark.h>

#include <algorithm>

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QUrl>

#include "platform/AppPaths.h"
#include "pptx/TestDeck.h"
#include "pptx/converter/QVRPowerPointConverter.h"
#include "pptx/reader/qvd_opc.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "tessarine_data_model/ModelDrawing.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "support/MainThreadHeartbeat.h"
#include "support/ProcessMemory.h"
#include "support/QtBenchmarkMain.h"

namespace {

constexpr int kSlides = 30;
constexpr double kEmuPerPixel = 9525;

QByteArray jpegBytes(int seed)
{
    QImage image(800, 600, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, 800, 600);
    gradient.setColorAt(0, QColor::fromHsv((seed * 37) % 360, 200, 220));
    gradient.setColorAt(1, QColor::fromHsv((seed * 91) % 360, 120, 90));
    painter.fillRect(image.rect(), gradient);
    for (int i = 0; i < 40; ++i)
        painter.drawEllipse(QPointF((i * 53 + seed * 7) % 800, (i * 29 + seed * 11) % 600), 30 + i, 20 + i);
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 90);
    return bytes;
}

std::string writeDeck(const QString& folder)
{
    TestDeck deck = TestDeck::minimal(kSlides);
    const std::string xfrm = TestDeck::xfrm(long(100 * kEmuPerPixel), long(150 * kEmuPerPixel),
                                            long(424 * kEmuPerPixel), long(318 * kEmuPerPixel));
    for (int n = 1; n <= kSlides; ++n) {
        const std::string picture = "picture" + std::to_string(n) + ".jpeg";
        deck.parts["ppt/media/" + picture] = jpegBytes(n).toStdString();
        deck.addRelation("ppt/slides/slide" + std::to_string(n) + ".xml", "rId2", "image", "../media/" + picture);
        deck.setSlideTree(n, TestDeck::textShape("", TestDeck::xfrm(0, 0, 9525 * 600, 9525 * 80),
                                                 "<a:p><a:r><a:rPr lang=\"en\"><a:latin typeface=\"Georgia\"/>"
                                                 "</a:rPr><a:t>Slide " +
                                                     std::to_string(n) + "</a:t></a:r></a:p>") +
                                 "<p:pic><p:nvPicPr><p:cNvPr id=\"9\" name=\"p\"/><p:cNvPicPr/><p:nvPr/></p:nvPicPr>"
                                 "<p:blipFill><a:blip r:embed=\"rId2\"/></p:blipFill><p:spPr>" +
                                 xfrm + "</p:spPr></p:pic>");
    }
    deck.parts["[Content_Types].xml"].insert(deck.parts["[Content_Types].xml"].find("<Override"),
                                             R"(<Default Extension="jpeg" ContentType="image/jpeg"/>)");
    const std::string path = (folder + QStringLiteral("/deck.pptx")).toStdString();
    deck.writeTo(path);
    return path;
}

// The floor: the reader alone, then copying every picture and writing its cropped image with plain Qt calls.
double floorSeconds(const std::string& deckPath, const QString& scratch)
{
    QDir(scratch).removeRecursively();
    QDir().mkpath(scratch + QStringLiteral("/pictures"));
    QDir().mkpath(scratch + QStringLiteral("/assets"));
    QElapsedTimer timer;
    timer.start();
    int error = 0;
    QVD_OPC_PRESENTATION_T* deck =
        qvd_opc_open(deckPath.c_str(), QFile::encodeName(scratch + QStringLiteral("/pictures")).constData(), &error);
    QStringList pictures;
    for (QVD_OPC_SLIDE_T* slide = deck ? qvd_opc_slides(deck, &error) : nullptr; slide && !error; slide = slide->next) {
        for (QVD_OPC_SLIDE_OBJECT_T* o = qvd_opc_slide_objects(slide, &error); o && !error; o = o->next) {
            if (o->kind == QVD_OPC_OBJECT_PICTURE)
                pictures.append(QString::fromUtf8(static_cast<QVD_OPC_IMAGE_OBJECT_T*>(o->object)->file_path));
        }
    }
    if (!error)
        qvd_opc_free(deck);
    int n = 0;
    for (const QString& picture : pictures) {
        const QString copy = scratch + QStringLiteral("/assets/%1.jpeg").arg(n);
        QFile::copy(picture, copy);
        const QImage cropped = QImage(copy).scaled(424, 318, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        cropped.save(scratch + QStringLiteral("/assets/%1-cropped.jpg").arg(n++), "JPEG");
    }
    return timer.nsecsElapsed() / 1e9;
}

void BM_ImportDeck(benchmark::State& state)
{
    QTemporaryDir work(QDir::currentPath() + QStringLiteral("/pptx-import-bench-XXXXXX"));
    const std::string deckPath = writeDeck(work.path());
    AppPaths::setApplicationSupportForTesting(work.filePath(QStringLiteral("support")));
    AppPaths::setTemporaryForTesting(work.filePath(QStringLiteral("tmp")));
    ZERI_qvdFilePackage::resetForTesting();
    ZERI_qvdFilePackage::registerWithDocumentModel();

    double importSeconds = 0;
    double floor = 0;
    double longestGapMs = 0;
    for (auto _ : state) {
        floor += floorSeconds(deckPath, work.filePath(QStringLiteral("floor")));

        QVRPowerPointConverter converter;
        converter.setInputFileURL(QUrl::fromLocalFile(QString::fromStdString(deckPath)));
        QEventLoop loop;
        bool imported = false;
        converter.setOnDone([&](const auto& document, const Error&, QVRPowerPointConverter*) {
            imported = document != nullptr;
            loop.quit();
        });
        MainThreadHeartbeat heartbeat(2);
        QElapsedTimer timer;
        timer.start();
        converter.startConverting();
        loop.exec();
        importSeconds += timer.nsecsElapsed() / 1e9;
        heartbeat.stop();
        longestGapMs = std::max(longestGapMs, heartbeat.longestGapMs());
        if (!imported)
            state.SkipWithError("the import failed");
        while (QVRPowerPointConverter::unfinishedImportCount() > 0)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    const double iterations = double(state.iterations());
    state.counters["import_ms"] = importSeconds / iterations * 1e3;
    state.counters["floor_ms"] = floor / iterations * 1e3;
    state.counters["ratio_to_floor"] = importSeconds / floor;
    state.counters["longest_main_gap_ms"] = longestGapMs;
    ZERI_qvdFilePackage::resetForTesting();
    AppPaths::setApplicationSupportForTesting(QString());
    AppPaths::setTemporaryForTesting(QString());
}
BENCHMARK(BM_ImportDeck)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

constexpr int kSharedUses = 1000;

// One 2400 x 2000 picture with detail on every row, shown 1,000 times over 100 slides at four sizes.
std::string writeSharedPictureDeck(const QString& folder)
{
    constexpr int kSharedSlides = 100;
    QImage image(2400, 2000, QImage::Format_RGB32);
    QPainter painter(&image);
    for (int y = 0; y < image.height(); y += 4)
        painter.fillRect(0, y, image.width(), 4, QColor::fromHsv((y / 4) % 360, 160, 90 + (y / 4) % 120));
    painter.end();
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    TestDeck deck = TestDeck::minimal(kSharedSlides);
    deck.parts["ppt/media/shared.png"] = png.toStdString();
    for (int n = 1; n <= kSharedSlides; ++n) {
        std::string tree;
        for (int i = 0; i < kSharedUses / kSharedSlides; ++i) {
            const long width = 120 + 60 * (i % 4);
            tree += "<p:pic><p:nvPicPr><p:cNvPr id=\"9\" name=\"p\"/><p:cNvPicPr/><p:nvPr/></p:nvPicPr>"
                    "<p:blipFill><a:blip r:embed=\"rId2\"/></p:blipFill><p:spPr>" +
                    TestDeck::xfrm(long(90 * i * kEmuPerPixel), long(100 * kEmuPerPixel), long(width * kEmuPerPixel),
                                   long(width * 5 / 6 * kEmuPerPixel)) +
                    "</p:spPr></p:pic>";
        }
        deck.addRelation("ppt/slides/slide" + std::to_string(n) + ".xml", "rId2", "image", "../media/shared.png");
        deck.setSlideTree(n, tree);
    }
    const std::string path = (folder + QStringLiteral("/shared.pptx")).toStdString();
    deck.writeTo(path);
    return path;
}

void BM_ImportSharedPicture(benchmark::State& state)
{
    QTemporaryDir work(QDir::currentPath() + QStringLiteral("/pptx-import-bench-XXXXXX"));
    const std::string deckPath = writeSharedPictureDeck(work.path());
    AppPaths::setApplicationSupportForTesting(work.filePath(QStringLiteral("support")));
    AppPaths::setTemporaryForTesting(work.filePath(QStringLiteral("tmp")));
    ZERI_qvdFilePackage::resetForTesting();
    ZERI_qvdFilePackage::registerWithDocumentModel();

    double peak = 0;
    for (auto _ : state) {
        // Pictures an earlier benchmark left decoded are not this import's.
        ModelImageCache::clear();
        if (!resetPeakResident())
            state.SkipWithError("the peak resident memory cannot be reset");
        QVRPowerPointConverter converter;
        converter.setInputFileURL(QUrl::fromLocalFile(QString::fromStdString(deckPath)));
        QEventLoop loop;
        bool imported = false;
        converter.setOnDone([&](const auto& document, const Error&, QVRPowerPointConverter*) {
            imported = document && document->firstFlowmodel()->screenModels().size() == 100;
            loop.quit();
        });
        converter.startConverting();
        loop.exec();
        while (QVRPowerPointConverter::unfinishedImportCount() > 0)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        peak = std::max(peak, peakResidentMegabytes());
        if (!imported)
            state.SkipWithError("the import failed");
    }
    state.counters["peak_rss_mb"] = peak;
    printFigure("peak_rss_mb", peak);
    ZERI_qvdFilePackage::resetForTesting();
    AppPaths::setApplicationSupportForTesting(QString());
    AppPaths::setTemporaryForTesting(QString());
}
BENCHMARK(BM_ImportSharedPicture)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    return runQtBenchmarks<QGuiApplication>(argc, argv);
}
