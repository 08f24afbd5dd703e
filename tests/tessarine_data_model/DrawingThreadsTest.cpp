#include <atomic>
#include <thread>
#include <vector>

#include <QCryptographicHash>
#include <QPainter>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include "elements/images/ImageUtils.h"
#include "tessarine_data_model/ModelDrawing.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Shape.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"

namespace {

constexpr int kScreens = 200;
constexpr int kThreads = 8;
// Small pictures keep the suite quick under ThreadSanitizer; every object kind is still drawn.
constexpr double kScale = 0.25;

std::shared_ptr<ZERI_FlowScreenModel> makeScreen(int index, const QStringList& pictures)
{
    auto screen = ZERI_FlowScreenModel::create();
    screen->setBackgroundColor(QColor::fromHsv((index * 7) % 360, 40, 250));

    auto image = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Image);
    image->object()->setFrame(QRectF(40 + index % 50, 60, 400, 300));
    auto asset = ZERI_ContentAsset::create();
    asset->setExternalURL(QUrl::fromLocalFile(pictures[index % pictures.size()]));
    image->object()->setCroppedImageAsset(asset);
    screen->addMixedMediaObject(image);

    auto shape = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Shape);
    shape->as<ZERI_MMObject_Shape>()->setShapeType(1 + index % 8);
    shape->as<ZERI_MMObject_Shape>()->setColor(QColor::fromHsv((index * 31) % 360, 200, 200));
    shape->object()->setFrame(QRectF(500, 100 + index % 100, 300, 200));
    shape->object()->setRotation(index % 4);
    screen->addMixedMediaObject(shape);

    auto text = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Text);
    text->as<ZERI_MMObject_Text>()->setText(QStringLiteral("Screen %1\nwith a second, longer line of text").arg(index));
    text->object()->setFrame(QRectF(60, 420, 600, 250));
    screen->addMixedMediaObject(text);
    return screen;
}

QByteArray fingerprint(const QImage& image)
{
    return QCryptographicHash::hash(
        QByteArrayView(reinterpret_cast<const char*>(image.constBits()), qsizetype(image.sizeInBytes())),
        QCryptographicHash::Sha1);
}

} // namespace

TEST(ModelDrawingThreads, ScreensDrawnOnEightThreadsMatchTheMainThread)
{
    QTemporaryDir dir;
    QStringList pictures;
    for (int i = 0; i < 4; ++i) {
        QImage picture(400, 300, QImage::Format_RGB32);
        for (int y = 0; y < 300; ++y)
            for (int x = 0; x < 400; ++x)
                picture.setPixel(x, y, qRgb((x + i * 60) % 256, (y * 2) % 256, (x * y + i) % 256));
        pictures << dir.filePath(QStringLiteral("picture%1.png").arg(i));
        ASSERT_TRUE(ImageUtils::writeImage(picture, pictures.last()));
    }
    std::vector<std::shared_ptr<ZERI_FlowScreenModel>> screens;
    for (int i = 0; i < kScreens; ++i)
        screens.push_back(makeScreen(i, pictures));

    std::vector<QByteArray> expected;
    for (const auto& screen : screens)
        expected.push_back(fingerprint(ModelDrawing::renderScreen(*screen, kScale)));

    // The workers decode the pictures afresh, racing each other for the shared cache.
    ModelImageCache::clear();
    std::vector<QByteArray> drawn(screens.size());
    std::atomic<int> next{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < kThreads; ++t)
        workers.emplace_back([&] {
            for (int i = next++; i < kScreens; i = next++) {
                const QSizeF size = screens[size_t(i)]->screenSize() * kScale;
                QImage bitmap =
                    ImageUtils::createCGBitmapContextWithWidth(quint64(size.width()), quint64(size.height()));
                QPainter painter(&bitmap);
                ModelDrawing::drawScreen(&painter, *screens[size_t(i)], kScale, false, true, false);
                painter.end();
                drawn[size_t(i)] = fingerprint(bitmap);
            }
        });
    for (std::thread& worker : workers)
        worker.join();

    for (int i = 0; i < kScreens; ++i)
        EXPECT_EQ(drawn[size_t(i)], expected[size_t(i)]) << "screen " << i;
}

// One picture used by many objects, asked for by every drawing thread at the same moment: decoded once, and every
// thread draws from that one decoding.
TEST(ModelDrawingThreads, APictureAskedForByManyThreadsAtOnceIsDecodedOnce)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("shared.png");
    QImage picture(1600, 1200, QImage::Format_RGB32);
    picture.fill(qRgb(30, 140, 200));
    ASSERT_TRUE(ImageUtils::writeImage(picture, path));
    ModelImageCache::clear();
    const int before = ModelImageCache::decodesForTesting();
    std::atomic<int> ready{0};
    std::vector<qint64> keys(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            ++ready;
            while (ready.load() < kThreads)
                std::this_thread::yield();
            keys[size_t(t)] = ModelImageCache::imageForFile(path, true).cacheKey();
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(ModelImageCache::decodesForTesting() - before, 1);
    for (qint64 key : keys)
        EXPECT_EQ(key, keys.front());
    ModelImageCache::clear();
}
