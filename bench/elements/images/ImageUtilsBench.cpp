#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "elements/images/ImageUtils.h"
#include "elements/images/UNIImage.h"
#include "support/QtBenchmarkMain.h"

namespace {

// A screen-sized picture with detail everywhere, so no pass can skip work.
UNIImage screenPicture()
{
    QImage image = ImageUtils::createCGBitmapContextWithWidth(1024, 748);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < 60; ++i) {
        painter.setBrush(QColor::fromHsv((i * 37) % 360, 200, 220));
        painter.drawEllipse(QPointF((i * 97) % 1024, (i * 61) % 748), 40 + i % 50, 30 + i % 40);
    }
    painter.end();
    return UNIImage::imageWithCGImage(image);
}

void BM_BlurScreen(benchmark::State& state)
{
    const UNIImage picture = screenPicture();
    const double radius = double(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(ImageUtils::blurryImageFromImage(picture, radius, /*withDarkOverlay=*/true));
}
BENCHMARK(BM_BlurScreen)->Arg(8)->Arg(32)->Unit(benchmark::kMillisecond);

void BM_PixellateScreen(benchmark::State& state)
{
    const UNIImage picture = screenPicture();
    for (auto _ : state)
        benchmark::DoNotOptimize(ImageUtils::pixelatedImageFromImage(picture, /*withDarkOverlay=*/true));
}
BENCHMARK(BM_PixellateScreen)->Unit(benchmark::kMillisecond);

void BM_DecodeScreenJpeg(benchmark::State& state)
{
    const QByteArray jpeg = UNIImageJPEGRepresentation(screenPicture(), 0.8);
    for (auto _ : state)
        benchmark::DoNotOptimize(ImageUtils::createCGImageFromNSDATA_JPEG(jpeg));
}
BENCHMARK(BM_DecodeScreenJpeg)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return runQtBenchmarks<QGuiApplication>(argc, argv);
}
