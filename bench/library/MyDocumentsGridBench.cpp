// My Documents with 1,000 documents, each with a preview picture, as real tiles with their shadows. Targets:
// the first paint of the built grid and a 40-point scroll step with its repaint each within 16 ms. The time to
// build the grid is printed once.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>

#include "library/lists/QVRMyTessarinesViewController.h"
#include "platform/AppPaths.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "support/BenchSupportFolder.h"
#include "support/QtBenchmarkMain.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

constexpr int kDocuments = 1000;
constexpr int kPictures = 16;

struct Documents {
    QTemporaryDir support;

    Documents()
    {
        storePackagesUnder(support.path());
        QStringList pictures;
        for (int i = 0; i < kPictures; ++i)
            pictures.append(support.filePath(QStringLiteral("preview%1.png").arg(i)));
        for (int i = 0; i < kDocuments; ++i) {
            auto package = ZERI_qvdFilePackage::packageForNewModel(ZERI_TessarineModel::create());
            auto& metadata = package->metaData();
            metadata.setTessarineName(QStringLiteral("Document %1").arg(i));
            metadata.setTessarineDescription(i % 3 ? QStringLiteral("A few words about document %1").arg(i)
                                                   : QString());
            metadata.setPreviewScreenshotFilePath(pictures[i % kPictures]);
            metadata.setUpdatedTimeStamp(QString());
            package->unloadModel();
        }
        // Written after the drafts: the pictures are up to date, so none is drawn again during the runs.
        for (int i = 0; i < kPictures; ++i) {
            QImage picture(464, 340, QImage::Format_RGB32);
            picture.fill(QColor::fromHsv(i * 23 % 360, 180, 220));
            picture.save(pictures[i]);
        }
    }
};

Documents& documents()
{
    static Documents s_documents;
    return s_documents;
}

// The page in a window already on screen, as in the lists window; the page itself is shown by the benchmark.
struct Grid {
    QWidget window;
    QVRMyTessarinesViewController* page = nullptr;
    Grid()
    {
        documents();
        window.resize(1040, 660);
        window.show();
        QApplication::processEvents();
        QElapsedTimer timer;
        timer.start();
        page = new QVRMyTessarinesViewController;
        page->resize(1040, 660);
        page->setParent(&window);
        // Every tile made (a long list gains them over a few turns of the event loop).
        while (!page->allTilesBuilt())
            QApplication::processEvents();
        static bool printed = false;
        if (!printed) {
            printed = true;
            fprintf(stderr, "building the grid of %d tiles: %lld ms\n", kDocuments,
                    static_cast<long long>(timer.elapsed()));
        }
    }
};

void BM_FirstPaintOfTheBuiltGrid(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto grid = std::make_unique<Grid>();
        state.ResumeTiming();
        // Shown in the window: the first paint of the page.
        grid->page->show();
        QApplication::processEvents();
        state.PauseTiming();
        grid.reset();
        QApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_FirstPaintOfTheBuiltGrid)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_ScrollStepWithRepaint(benchmark::State& state)
{
    Grid grid;
    grid.page->show();
    QApplication::processEvents();
    QScrollBar* bar = grid.page->scrollArea()->verticalScrollBar();
    QWidget* viewport = grid.page->scrollArea()->viewport();
    int value = 0;
    for (auto _ : state) {
        value += 40;
        if (value > bar->maximum())
            value = 0;
        bar->setValue(value);
        viewport->repaint();
    }
}
BENCHMARK(BM_ScrollStepWithRepaint)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return runQtBenchmarks<QApplication>(argc, argv);
}
