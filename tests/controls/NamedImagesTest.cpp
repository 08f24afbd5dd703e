#include <thread>
#include <vector>

#include <QImage>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include "controls/ControlsArtwork.h"
#include "elements/images/UNIImage.h"
#include "support/QtPrinters.h"

namespace {

class NamedImages : public ::testing::Test {
protected:
    void SetUp() override { ControlsArtwork::registerNamedImages(); }
    void TearDown() override { UNIImage::setNamedImageProvider({}); }
};

int opaquePixels(const QImage& image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += qAlpha(image.pixel(x, y)) > 128;
    return count;
}

QRgb centre(const UNIImage& image)
{
    return image.CGImage().pixel(image.realSize().width() / 2, image.realSize().height() / 2);
}

} // namespace

TEST_F(NamedImages, ArtworkIsDrawnAtItsPointSizeWithTwiceThePixelsByDefault)
{
    const UNIImage largest = UNIImage::imageNamed(QStringLiteral("modal_close"));
    ASSERT_FALSE(largest.isNull());
    EXPECT_EQ(largest.size(), QSizeF(36, 36));
    EXPECT_EQ(largest.realSize(), QSize(72, 72));

    const UNIImage regular = UNIImage::imageNamed(QStringLiteral("modal_close"), 1.0);
    EXPECT_EQ(regular.size(), QSizeF(36, 36));
    EXPECT_EQ(regular.realSize(), QSize(36, 36));

    // Drawn at the density asked, not scaled up from a smaller picture: a 1.5 ratio rounds up to whole pixels.
    EXPECT_EQ(UNIImage::imageNamed(QStringLiteral("modal_close"), 1.5).realSize(), QSize(54, 54));
}

TEST_F(NamedImages, EveryNameTheApplicationAsksForIsDrawn)
{
    const QStringList cursors = {QStringLiteral("left_right_cursor"), QStringLiteral("right_left_cursor"),
                                 QStringLiteral("side_to_side_cursor"), QStringLiteral("up_down_cursor")};
    for (const QString& name : cursors) {
        const UNIImage cursor = UNIImage::imageNamed(name);
        ASSERT_FALSE(cursor.isNull()) << name.toStdString();
        // The hot spot is the centre, where the double arrow's shaft is.
        EXPECT_EQ(cursor.size(), QSizeF(24, 24)) << name.toStdString();
        EXPECT_EQ(qAlpha(centre(cursor)), 255) << name.toStdString();
        EXPECT_LT(qGray(centre(cursor)), 40) << name.toStdString();
    }

    const QStringList others = {
        QStringLiteral("rotate-cursor"),          QStringLiteral("qvr_video_placeholder"),
        QStringLiteral("avPlayer-play-button"),   QStringLiteral("avPlayer-pause-button"),
        QStringLiteral("avPlayer-rewind-button"), QStringLiteral("avPlayer-rewind-button-selected"),
        QStringLiteral("avPlayer-forward-icon"),  QStringLiteral("avPlayer-forward-icon-selected")};
    for (const QString& name : others) {
        const UNIImage image = UNIImage::imageNamed(name);
        ASSERT_FALSE(image.isNull()) << name.toStdString();
        EXPECT_EQ(image.realSize(), (image.size() * 2).toSize()) << name.toStdString();
        EXPECT_GT(opaquePixels(image.CGImage()), 0) << name.toStdString();
    }
    EXPECT_EQ(UNIImage::imageNamed(QStringLiteral("qvr_video_placeholder")).size(), QSizeF(480, 270));
}

TEST_F(NamedImages, UnknownNamesAndNamesWithExtensionsGiveTheNullImage)
{
    EXPECT_TRUE(UNIImage::imageNamed(QStringLiteral("no_such_image")).isNull());
    EXPECT_TRUE(UNIImage::imageNamed(QStringLiteral("modal_close.svg")).isNull());
    EXPECT_TRUE(ControlsArtwork::image(QStringLiteral("no_such_image"), 1.0).isNull());
}

// The test's own resources (tests/controls/data/named): "test_badge" in red at 10 x 6 pixels and in blue at
// 20 x 12 as "@2x"; "test_plain" only at one point per pixel; and a green "modal_close.png".
TEST_F(NamedImages, BitmapResourcesGiveTheRepresentationClosestToTheScale)
{
    const UNIImage regular = UNIImage::imageNamed(QStringLiteral("test_badge"), 1.0);
    EXPECT_EQ(regular.size(), QSizeF(10, 6));
    EXPECT_EQ(regular.realSize(), QSize(10, 6));
    EXPECT_EQ(QColor(centre(regular)), QColor(Qt::red));

    for (double scale : {1.5, 2.0, 3.0}) {
        const UNIImage dense = UNIImage::imageNamed(QStringLiteral("test_badge"), scale);
        EXPECT_EQ(dense.size(), QSizeF(10, 6)) << scale;
        EXPECT_EQ(dense.realSize(), QSize(20, 12)) << scale;
        EXPECT_EQ(QColor(centre(dense)), QColor(Qt::blue)) << scale;
    }

    const UNIImage plain = UNIImage::imageNamed(QStringLiteral("test_plain"));
    EXPECT_EQ(plain.size(), QSizeF(7, 5));
    EXPECT_EQ(plain.realSize(), QSize(7, 5));

    // The controls' drawn artwork wins over another resource of the same name.
    EXPECT_EQ(UNIImage::imageNamed(QStringLiteral("modal_close")).size(), QSizeF(36, 36));
}

TEST_F(NamedImages, WorkerThreadsGetTheSamePicture)
{
    // A density nobody has asked for yet, so the threads race to draw it rather than read the kept copy.
    const double scale = 2.75;
    std::vector<UNIImage> results(4);
    std::vector<std::thread> workers;
    for (UNIImage& result : results)
        workers.emplace_back(
            [&result, scale] { result = UNIImage::imageNamed(QStringLiteral("up_down_cursor"), scale); });
    for (std::thread& worker : workers)
        worker.join();
    const UNIImage expected = UNIImage::imageNamed(QStringLiteral("up_down_cursor"), scale);
    ASSERT_FALSE(expected.isNull());
    for (const UNIImage& result : results)
        EXPECT_EQ(result.CGImage(), expected.CGImage());
}
