#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfWriter>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>

#include "controls/ContentSheddingScrollView.h"
#include "controls/QVR_AsynchronousRenderWebImageView.h"
#include "support/QtBenchmarkMain.h"
#include "support/SpinUntil.h"
#include "tessarine_data_model/QVB_GalleryAssetManager.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "viewer/QVR_GalleryViewerView.h"
#include "viewer/QVR_PDFViewerView.h"

namespace {

// A picture with detail on every row, so that neither the PDF nor the JPEG compresses it to nothing.
QImage busyPicture(const QSize& size, int seed)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    for (int y = 0; y < size.height(); y += 8) {
        painter.fillRect(0, y, size.width(), 8,
                         QColor::fromHsv((seed * 37 + y / 8) % 360, 160 + (y / 8) % 90, 200 - (y / 8) % 60));
    }
    for (int x = 0; x < size.width(); x += 50)
        painter.fillRect(x, 0, 2, size.height(), Qt::white);
    return image;
}

QString writePdf(const QString& path, int pages)
{
    QPdfWriter writer(path);
    writer.setPageSize(QPageSize(QSizeF(1024, 748), QPageSize::Point));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setResolution(72);
    QPainter painter(&writer);
    for (int i = 0; i < pages; ++i) {
        if (i > 0)
            writer.newPage();
        painter.drawImage(QRect(0, 0, 1024, 748), busyPicture(QSize(1024, 748), i));
        painter.setFont(QFont(QStringLiteral("DejaVu Sans"), 28));
        painter.setPen(Qt::black);
        painter.drawText(QRect(60, 60, 900, 600), Qt::TextWordWrap,
                         QStringLiteral("Page %1. The quick brown fox jumps over the lazy dog; "
                                        "pack my box with five dozen liquor jugs.")
                             .arg(i + 1));
    }
    return path;
}

std::shared_ptr<ZERI_ContentAsset> localAsset(const QString& path)
{
    auto asset = ZERI_ContentAsset::create();
    asset->setExternalURL(QUrl::fromLocalFile(path));
    return asset;
}

// From each PageDown to the page it brings painted from its picture. The pages ahead render while the reader
// reads (the wait between turns is not timed). Reports the first turn and the worst of the others.
void BM_PDFPageDown(benchmark::State& state)
{
    QTemporaryDir folder;
    const QString path = writePdf(folder.filePath(QStringLiteral("long.pdf")), 100);
    auto object = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::PDF);
    object->object()->setPdfAsset(localAsset(path));
    QVR_PDFViewerView view(QRect(0, 0, 1024, 748), object);
    view.show();
    if (!spinUntil([&] { return view.document()->status() == QPdfDocument::Status::Ready; }, 10000)) {
        state.SkipWithError("the PDF did not load");
        return;
    }
    QScrollArea* area = view.scrollArea();
    double first = -1;
    double worst = 0;
    int turn = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (area->verticalScrollBar()->value() >= area->verticalScrollBar()->maximum())
            area->verticalScrollBar()->setValue(0);
        const int top = area->verticalScrollBar()->value() + area->viewport()->height();
        int target = 0;
        while (target + 1 < view.document()->pageCount() && view.pageRect(target + 1).top() <= top)
            ++target;
        // The reader reads: the page ahead renders meanwhile (after the first turn).
        if (turn > 0)
            spinUntil([&] { return view.hasImageForPage(target); }, 5000);
        state.ResumeTiming();

        QElapsedTimer timer;
        timer.start();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
        QApplication::sendEvent(area, &press);
        spinUntil([&] { return view.hasImageForPage(target); }, 5000);
        area->viewport()->repaint();
        const double ms = timer.nsecsElapsed() / 1e6;
        if (turn == 0)
            first = ms;
        else
            worst = std::max(worst, ms);
        ++turn;
    }
    state.counters["first_ms"] = first;
    state.counters["worst_after_first_ms"] = worst;
}
BENCHMARK(BM_PDFPageDown)->Iterations(99)->Unit(benchmark::kMillisecond);

// Each frame of a page turn between two 4000 × 3000 JPEG pictures: the scroll step and the repaint it causes.
void BM_GalleryTurnFrame(benchmark::State& state)
{
    QTemporaryDir folder;
    auto gallery = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Gallery);
    for (int i = 0; i < 2; ++i) {
        const QString path = folder.filePath(QStringLiteral("big%1.jpg").arg(i));
        busyPicture(QSize(4000, 3000), i * 5).save(path, "JPEG", 85);
        gallery->object()->galleryAssetManager()->insertImageAsset(localAsset(path), i);
    }
    QVR_GalleryViewerView view(QRect(0, 0, 1024, 748), gallery);
    view.show();
    const auto& holders = view.viewsArray();
    if (holders.size() != 2 ||
        !spinUntil([&] { return !holders[0]->renderedImage().isNull() && !holders[1]->renderedImage().isNull(); },
                   20000)) {
        state.SkipWithError("the pictures did not render");
        return;
    }
    // The frames of one 0.5 s turn at 60 frames a second, back and forth.
    constexpr int kFrames = 30;
    int frame = 0;
    double worst = 0;
    for (auto _ : state) {
        const int step = frame % (2 * kFrames);
        const int x = step < kFrames ? step * 1024 / kFrames : (2 * kFrames - step) * 1024 / kFrames;
        QElapsedTimer timer;
        timer.start();
        view.scrollView()->scrollToPoint(QPoint(x, 0));
        view.repaint();
        worst = std::max(worst, timer.nsecsElapsed() / 1e6);
        ++frame;
    }
    state.counters["worst_frame_ms"] = worst;
}
BENCHMARK(BM_GalleryTurnFrame)->Iterations(120)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return runQtBenchmarks<QApplication>(argc, argv);
}
