#include <benchmark/benchmark.h>

#include <QDir>
#include <QGuiApplication>
#include <QPainter>
#include <QTemporaryDir>
#include <QUrl>

#include "elements/images/ImageUtils.h"
#include "tessarine_data_model/ModelDrawing.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Shape.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "support/QtBenchmarkMain.h"

namespace {

// A busy screen: 20 objects, a third each pictures, shapes and texts, overlapping as real screens do.
struct BusyScreen {
    QTemporaryDir dir;
    std::shared_ptr<ZERI_FlowScreenModel> screen = ZERI_FlowScreenModel::create();

    BusyScreen()
    {
        screen->setBackgroundColor(QColor(245, 245, 240));
        for (int i = 0; i < 20; ++i) {
            const QRectF frame(30 + (i % 5) * 195, 30 + (i / 5) * 175, 240, 180);
            std::shared_ptr<ZERI_MixedMediaObjectProxy> object;
            if (i % 3 == 0) {
                object = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Image);
                QImage picture(240, 180, QImage::Format_RGB32);
                for (int y = 0; y < 180; ++y)
                    for (int x = 0; x < 240; ++x)
                        picture.setPixel(x, y, qRgb((x + i * 40) % 256, (y * 3) % 256, (x ^ y) % 256));
                const QString path = dir.filePath(QStringLiteral("picture%1.png").arg(i));
                ImageUtils::writeImage(picture, path);
                auto asset = ZERI_ContentAsset::create();
                asset->setExternalURL(QUrl::fromLocalFile(path));
                object->object()->setCroppedImageAsset(asset);
            } else if (i % 3 == 1) {
                object = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Shape);
                object->as<ZERI_MMObject_Shape>()->setShapeType(1 + i % 8);
                object->as<ZERI_MMObject_Shape>()->setColor(QColor::fromHsv(i * 18, 180, 210));
            } else {
                object = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Text);
                object->as<ZERI_MMObject_Text>()->setText(
                    QStringLiteral("Text object %1 with a few words that wrap over two or three lines").arg(i));
                object->as<ZERI_MMObject_Text>()->setFont(QStringLiteral("HelveticaNeue-Light"), 24);
            }
            object->object()->setFrame(frame);
            screen->addMixedMediaObject(object);
        }
    }
};

BusyScreen& busyScreen()
{
    static BusyScreen screen;
    return screen;
}

QImage drawOnce()
{
    QImage bitmap = ImageUtils::createCGBitmapContextWithWidth(1024, 748);
    QPainter painter(&bitmap);
    ModelDrawing::drawScreen(&painter, *busyScreen().screen, 1.0, false, true, /*ignoreThreadSafety=*/true);
    painter.end();
    return bitmap;
}

// Pictures already decoded: what previews cost while a document is being edited.
void BM_DrawScreenWarm(benchmark::State& state)
{
    drawOnce();
    for (auto _ : state)
        benchmark::DoNotOptimize(drawOnce());
}
BENCHMARK(BM_DrawScreenWarm)->Unit(benchmark::kMillisecond);

// Every picture decoded from its file: the first drawing after opening a document.
void BM_DrawScreenCold(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        ModelImageCache::clear();
        state.ResumeTiming();
        benchmark::DoNotOptimize(drawOnce());
    }
}
BENCHMARK(BM_DrawScreenCold)->Unit(benchmark::kMillisecond);

// One text object whose text is a single unbreakable word of `state.range(0)` characters, drawn whole: the
// time grows in step with the length (ordinary words of the same length for comparison with range(1) = 1).
void BM_DrawOneLongWord(benchmark::State& state)
{
    QString text(qsizetype(state.range(0)), QLatin1Char('W'));
    if (state.range(1) == 1) {
        for (qsizetype i = 7; i < text.size(); i += 8)
            text[i] = QLatin1Char(' ');
    }
    auto screen = ZERI_FlowScreenModel::create();
    auto object = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Text);
    object->as<ZERI_MMObject_Text>()->setText(text);
    object->as<ZERI_MMObject_Text>()->setFont(QStringLiteral("HelveticaNeue-Light"), 24);
    object->object()->setFrame(QRectF(100, 100, 600, 400));
    screen->addMixedMediaObject(object);
    for (auto _ : state) {
        QImage bitmap = ImageUtils::createCGBitmapContextWithWidth(1024, 748);
        QPainter painter(&bitmap);
        ModelDrawing::drawScreen(&painter, *screen, 1.0, false, true, /*ignoreThreadSafety=*/true);
        painter.end();
        benchmark::DoNotOptimize(bitmap);
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_DrawOneLongWord)
    ->Args({100000, 0})
    ->Args({200000, 0})
    ->Args({400000, 0})
    ->Args({2000000, 0})
    ->Args({2000000, 1})
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return runQtBenchmarks<QGuiApplication>(argc, argv);
}
