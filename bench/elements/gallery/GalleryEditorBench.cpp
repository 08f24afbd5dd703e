// The gallery editor with many pictures on disk. Targets: opening a 200-image gallery up to its first painted grid
// within one 16 ms frame; scrolling it a row per frame, down and back, each step with its paint within 16 ms (the
// worst is printed); adding 50 large pictures while a 4 ms heartbeat runs, with no main-thread gap over 16 ms until
// the last store ends (the time that takes is printed too).

#include <benchmark/benchmark.h>

#include <memory>

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QUrl>
#include <QVBoxLayout>

#include "elements/gallery/GalleryEditorArrayController.h"
#include "elements/gallery/QVRGalleryEditorCollectionView.h"
#include "elements/gallery/QVRGalleryEditorViewController.h"
#include "platform/AppPaths.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "support/MainThreadHeartbeat.h"
#include "support/QtBenchmarkMain.h"
#include "tessarine_data_model/QVB_GalleryAssetManager.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

// A photo-like picture: gradients and lines, so that it compresses and decodes like a real one.
QImage picture(const QSize& size, int seed)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, size.width(), size.height());
    gradient.setColorAt(0, QColor::fromHsv(seed * 37 % 360, 160, 230));
    gradient.setColorAt(1, QColor::fromHsv(seed * 71 % 360, 200, 90));
    painter.fillRect(image.rect(), gradient);
    for (int i = 0; i < 60; ++i) {
        painter.setPen(QPen(QColor::fromHsv((seed + i) * 13 % 360, 120, 200), 1 + i % 7));
        painter.drawLine(i * size.width() / 60, 0, size.width() - i * 17 % size.width(), size.height());
    }
    return image;
}

// A saved document with a package in private folders and, on demand, a gallery of pictures on disk.
struct BenchDocument {
    BenchDocument()
    {
        AppPaths::setApplicationSupportForTesting(support.path());
        AppPaths::setTemporaryForTesting(temporary.path());
        ZERI_qvdFilePackage::resetForTesting();
        ZERI_qvdFilePackage::registerWithDocumentModel();
        document = ZERI_TessarineModel::create();
        screen = ZERI_FlowScreenModel::create();
        document->firstFlowmodel()->addFlowScreen(screen);
        document->saveToFile();
    }

    std::shared_ptr<ZERI_MixedMediaObjectProxy> addGallery(int count)
    {
        const QDir assets(document->documentAssetStoragePath());
        gallery = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Gallery);
        auto manager = (*gallery)->galleryAssetManager();
        for (int i = 0; i < count; ++i) {
            const QImage full = picture(QSize(1600, 1200), i);
            const QString fullPath = assets.filePath(QStringLiteral("full%1.jpg").arg(i));
            const QString thumbPath = assets.filePath(QStringLiteral("thumb%1.png").arg(i));
            full.save(fullPath, "JPEG", 85);
            full.scaled(480, 360, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).save(thumbPath, "PNG");
            auto fullAsset = ZERI_ContentAsset::create();
            fullAsset->setExternalURL(QUrl::fromLocalFile(fullPath));
            auto thumb = ZERI_ContentAsset::create();
            thumb->setExternalURL(QUrl::fromLocalFile(thumbPath));
            auto low = ZERI_ContentAsset::create();
            low->setExternalURL(QUrl::fromLocalFile(thumbPath));
            manager->insertImageAsset(fullAsset, i);
            manager->insertLowQualityAsset(low, i);
            manager->insertThumbImageAsset(thumb, i);
        }
        screen->addMixedMediaObject(gallery);
        document->saveToFile();
        return gallery;
    }

    QTemporaryDir support;
    QTemporaryDir temporary;
    std::shared_ptr<ZERI_TessarineModel> document;
    std::shared_ptr<ZERI_FlowScreenModel> screen;
    std::shared_ptr<ZERI_MixedMediaObjectProxy> gallery;
};

// The editor in a window of the dark panel's size, counting its grid's paints.
struct EditorWindow : QObject {
    EditorWindow(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& gallery,
                 const std::shared_ptr<ZERI_FlowScreenModel>& screen)
    {
        editor = new QVRGalleryEditorViewController(gallery, screen, &window);
        auto* layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(editor->view());
        editor->collectionView()->viewport()->installEventFilter(this);
        window.resize(760, 600);
    }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
    QWidget window;
    QVRGalleryEditorViewController* editor = nullptr;
    int paints = 0;
};

void settle(int ms)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired())
        QApplication::processEvents(QEventLoop::AllEvents, 5);
}

void BM_OpenTwoHundredImageGallery(benchmark::State& state)
{
    BenchDocument doc;
    auto gallery = doc.addGallery(200);
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        EditorWindow host(gallery, doc.screen);
        host.window.show();
        while (host.paints == 0)
            QApplication::processEvents();
        state.SetIterationTime(timer.nsecsElapsed() / 1e9);
        state.PauseTiming();
        settle(50);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenTwoHundredImageGallery)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_ScrollRowPerFrame(benchmark::State& state)
{
    BenchDocument doc;
    auto gallery = doc.addGallery(200);
    EditorWindow host(gallery, doc.screen);
    host.window.show();
    settle(100);
    QScrollBar* bar = host.editor->collectionView()->verticalScrollBar();
    double worstMs = 0;
    for (auto _ : state) {
        auto step = [&](int value) {
            QElapsedTimer timer;
            timer.start();
            bar->setValue(value);
            host.editor->collectionView()->viewport()->repaint();
            const double ms = timer.nsecsElapsed() / 1e6;
            worstMs = std::max(worstMs, ms);
            // Tile pictures arrive between frames.
            QApplication::processEvents();
        };
        for (int value = 0; value <= bar->maximum(); value += QVRGalleryEditorCollectionView::kGridSide)
            step(value);
        for (int value = bar->maximum(); value >= 0; value -= QVRGalleryEditorCollectionView::kGridSide)
            step(value);
    }
    state.counters["worst_step_ms"] = worstMs;
}
BENCHMARK(BM_ScrollRowPerFrame)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_AddFiftyLargePictures(benchmark::State& state)
{
    BenchDocument doc;
    QTemporaryDir picked;
    QList<QUrl> urls;
    for (int i = 0; i < 50; ++i) {
        const QString path = QDir(picked.path()).filePath(QStringLiteral("photo%1.jpg").arg(i));
        picture(QSize(2400, 1800), i).save(path, "JPEG", 85);
        urls.append(QUrl::fromLocalFile(path));
    }
    double longestGapMs = 0;
    double untilStoredMs = 0;
    for (auto _ : state) {
        EditorWindow host(nullptr, doc.screen);
        host.window.show();
        settle(50);
        MainThreadHeartbeat heartbeat(4);
        QElapsedTimer timer;
        timer.start();
        host.editor->galleryEditorCollectionViewWantsToAddImagesFromURLs(urls, QVRGalleryEditorViewController::kAppend);
        state.counters["add_call_ms"] = timer.nsecsElapsed() / 1e6;
        while (host.editor->numberOfDataItemsBeingStored() > 0)
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        untilStoredMs = timer.nsecsElapsed() / 1e6;
        heartbeat.stop();
        longestGapMs = std::max(longestGapMs, heartbeat.longestGapMs());
        host.editor->cancelButtonPressed();
    }
    state.counters["longest_main_thread_gap_ms"] = longestGapMs;
    // The same heartbeat over an idle event loop for as long: what the machine itself adds.
    MainThreadHeartbeat idle(4);
    settle(int(untilStoredMs));
    state.counters["idle_loop_gap_ms"] = idle.longestGapMs();
    state.counters["until_last_store_ms"] = untilStoredMs;
}
BENCHMARK(BM_AddFiftyLargePictures)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    return runQtBenchmarks<QApplication>(argc, argv);
}
