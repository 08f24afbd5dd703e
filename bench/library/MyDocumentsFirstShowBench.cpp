// The home window's first show with 200 documents of one screen each and no pictures yet. Targets: the first
// screenful of full-size tiles painted within 0.3 s of the window's first show; the pictures then made off the
// main thread with no main-thread stall over 50 ms. The counters report the time to the first screenful, the
// time until every picture is made, and the longest main-thread stall meanwhile.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTest>

#include "library/lists/QVRMyTessarinesViewController.h"
#include "library/lists/QVRTessarineListsWindowController.h"
#include "library/lists/QVRTessarineTileGridItemView.h"
#include "library/lists/TilePreviews.h"
#include "platform/AppPaths.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "support/MainThreadHeartbeat.h"
#include "support/BenchSupportFolder.h"
#include "support/QtBenchmarkMain.h"
#include "support/SpinUntil.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

constexpr int kDocuments = 200;

struct Documents {
    QTemporaryDir support;

    Documents()
    {
        storePackagesUnder(support.path());
        for (int i = 0; i < kDocuments; ++i) {
            auto document = ZERI_TessarineModel::create();
            auto screen = ZERI_FlowScreenModel::create();
            screen->setBackgroundColor(QColor::fromHsv(i * 37 % 360, 160, 230));
            auto text = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Text);
            text->object()->setFrame(QRectF(100, 200, 600, 120));
            if (auto object = std::dynamic_pointer_cast<ZERI_MMObject_Text>(text->object()))
                object->setText(QStringLiteral("Document %1").arg(i));
            screen->addMixedMediaObject(text);
            document->firstFlowmodel()->addFlowScreen(screen);
            document->firstFlowmodel()->setTitle(QStringLiteral("Document %1").arg(i));
            auto package = ZERI_qvdFilePackage::packageForNewModel(document);
            package->unloadModel();
        }
    }

    // Every package without its picture again.
    void forgetPictures()
    {
        for (const auto& package : ZERI_qvdFilePackage::packagesForType(ZERI_qvdFilePackage::OwnDocument)) {
            const QString path = package->metaData().previewScreenshotFilePath();
            if (path.isEmpty())
                continue;
            QFile::remove(path);
            package->metaData().setPreviewScreenshotFilePath(QString());
            package->saveMetadata();
        }
    }
};

Documents& documents()
{
    static Documents s_documents;
    return s_documents;
}

// The tiles in sight, all at their full size.
bool firstScreenfulShown(QVRMyTessarinesViewController* grid)
{
    QWidget* viewport = grid->scrollArea()->viewport();
    int inSight = 0;
    for (QWidget* tile : grid->tileViews()) {
        if (!tile || !tile->isVisible())
            continue;
        const QRect frame(tile->mapTo(viewport, QPoint(0, 0)), tile->size());
        if (!viewport->rect().intersects(frame))
            continue;
        if (tile->width() != QVRTessarineTileGridItemView::kWidth)
            return false;
        ++inSight;
    }
    return inSight >= 8;
}

void BM_HomeWindowFirstShowWith200Documents(benchmark::State& state)
{
    double firstScreenfulMs = 0;
    double allPicturesMs = 0;
    double firstShowStallMs = 0;
    double longestStallMs = 0;
    double constructionMs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        documents().forgetPictures();
        state.ResumeTiming();

        // The window's making and first layout count as a stall of their own.
        MainThreadHeartbeat showing(5);
        QElapsedTimer clock;
        clock.start();
        auto* controller = new QVRTessarineListsWindowController;
        constructionMs = std::max(constructionMs, clock.nsecsElapsed() / 1e6);
        QWidget* window = controller->myWindow();
        window->show();
        QVRMyTessarinesViewController* grid = controller->myTessarinesViewController();
        if (!QTest::qWaitForWindowExposed(window) || !spinUntil([&] { return firstScreenfulShown(grid); }, 5000))
            state.SkipWithError("the first screenful never showed");
        firstScreenfulMs = std::max(firstScreenfulMs, clock.nsecsElapsed() / 1e6);
        showing.stop();
        firstShowStallMs = std::max(firstShowStallMs, showing.longestGapMs());
        // From then on the pictures are made while the window is in use.
        MainThreadHeartbeat working(5);
        if (!spinUntil([] { return TilePreviews::pendingCount() == 0; }, 120000))
            state.SkipWithError("the pictures were not all made");
        allPicturesMs = std::max(allPicturesMs, clock.nsecsElapsed() / 1e6);
        working.stop();
        longestStallMs = std::max(longestStallMs, working.longestGapMs());

        state.PauseTiming();
        delete window;
        QApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["first_screenful_ms"] = firstScreenfulMs;
    state.counters["all_pictures_ms"] = allPicturesMs;
    state.counters["making_the_window_ms"] = constructionMs;
    state.counters["first_show_stall_ms"] = firstShowStallMs;
    state.counters["stall_while_pictures_ms"] = longestStallMs;
}
BENCHMARK(BM_HomeWindowFirstShowWith200Documents)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv)
{
    return runQtBenchmarks<QApplication>(argc, argv);
}
