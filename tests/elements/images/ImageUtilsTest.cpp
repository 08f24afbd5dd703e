#include <cmath>
#include <cstring>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "elements/images/ImageUtils.h"
#include "support/TestPictures.h"
#include "elements/images/UNIImage.h"
#include "support/QtPrinters.h"

namespace {

// A picture in which every pixel differs from its neighbours, so turns and flips are visible.
QImage gradient(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb((x * 7) % 256, (y * 11) % 256, (x * y) % 256));
    return image;
}

QImage filled(int width, int height, QColor color)
{
    QImage image(width, height, ImageUtils::standardFormat);
    image.fill(color);
    return image;
}

QByteArray encoded(const QImage& image, const char* format)
{
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return data;
}

bool samePixels(const QImage& a, const QImage& b)
{
    return a.convertToFormat(QImage::Format_ARGB32) == b.convertToFormat(QImage::Format_ARGB32);
}

} // namespace

TEST(ImageUtilsDecoding, DecodesEachFormatAndRejectsTheOtherAndBrokenData)
{
    const QImage source = gradient(30, 20);
    const QByteArray png = encoded(source, "png");
    const QByteArray jpeg = encoded(source, "jpeg");

    const QImage fromPng = ImageUtils::createCGImageFromNSDATA_PNG(png);
    EXPECT_TRUE(samePixels(fromPng, source));
    EXPECT_EQ(ImageUtils::createCGImageFromNSDATA_JPEG(jpeg).size(), QSize(30, 20));

    EXPECT_TRUE(ImageUtils::createCGImageFromNSDATA_PNG(jpeg).isNull());
    EXPECT_TRUE(ImageUtils::createCGImageFromNSDATA_JPEG(png).isNull());
    EXPECT_TRUE(ImageUtils::createCGImageFromNSDATA_PNG({}).isNull());
    EXPECT_TRUE(ImageUtils::createCGImageFromNSDATA_PNG("not an image at all").isNull());
    // Cut short: libjpeg alone would fill the missing rows with grey and call it a success.
    EXPECT_TRUE(ImageUtils::createCGImageFromNSDATA_PNG(png.left(png.size() / 2)).isNull());
    EXPECT_TRUE(ImageUtils::createCGImageFromNSDATA_JPEG(jpeg.left(jpeg.size() / 2)).isNull());
    EXPECT_TRUE(UNIImage::imageWithData(jpeg.left(jpeg.size() - 2)).isNull());
}

TEST(ImageUtilsDecoding, RefusesPicturesAboveTheCapBeforeAllocatingThem)
{
    // The forged header is well formed: a decoder that trusted it would try to allocate 6.4 GB.
    Error error;
    const QImage huge = ImageUtils::readImage(pngClaiming(40000, 40000), "png", QStringLiteral("forged"), true, &error);
    EXPECT_TRUE(huge.isNull());
    EXPECT_EQ(error.code, ImageUtils::TooLarge);
    EXPECT_TRUE(error.message.contains(QStringLiteral("40000")));

    EXPECT_TRUE(ImageUtils::createCGBitmapContextWithWidth(40000, 40000).isNull());
    EXPECT_TRUE(ImageUtils::createCGBitmapContextWithWidth(0, 10).isNull());
    EXPECT_TRUE(ImageUtils::createCGBitmapContextWithWidth(10, 0).isNull());
    EXPECT_TRUE(UNIImage::imageWithCGImage(gradient(4, 4)).resizedImage({40000, 40000}, {}).isNull());
}

// A real photo of 45 megapixels (8256 × 5504, what current cameras make) is decoded at a reduced size within the
// cap, its proportions kept, instead of being refused; a JPEG whose header claims far more is refused as too large.
TEST(ImageUtilsDecoding, ALargePhotoIsDecodedAtAReducedSizeAndAHugeOneIsTooLarge)
{
    QImage photo(8256, 5504, QImage::Format_Grayscale8);
    for (int y = 0; y < photo.height(); ++y)
        std::memset(photo.scanLine(y), y * 255 / photo.height(), size_t(photo.bytesPerLine()));
    const QByteArray jpeg = encoded(photo, "jpeg");
    Error error;
    const QImage decoded = ImageUtils::readImage(jpeg, {}, QStringLiteral("photo"), true, &error);
    ASSERT_FALSE(decoded.isNull()) << error.message.toStdString();
    EXPECT_EQ(decoded.size(), ImageUtils::decodedSize(QSize(8256, 5504)));
    EXPECT_LE(qint64(decoded.width()) * decoded.height(), ImageUtils::maximumPixelCount);
    EXPECT_EQ(decoded.size(), QSize(4128, 2752)) << "halved, as the decoder reduces while it decodes";
    EXPECT_NEAR(double(decoded.width()) / decoded.height(), 8256.0 / 5504.0, 0.001);
    EXPECT_EQ(qGray(decoded.pixel(10, decoded.height() - 1)), 254);
    EXPECT_EQ(ImageUtils::decodedSize(QSize(4000, 3000)), QSize(4000, 3000));

    // The header's size (in the start-of-frame segment: height, then width) forged to 40000 × 40000.
    QByteArray forged = jpeg;
    const qsizetype frame = forged.indexOf("\xFF\xC0");
    ASSERT_GT(frame, 0);
    for (const qsizetype at : {frame + 5, frame + 7}) {
        forged[at] = char(40000 >> 8);
        forged[at + 1] = char(40000 & 0xFF);
    }
    EXPECT_TRUE(ImageUtils::readImage(forged, {}, QStringLiteral("forged"), true, &error).isNull());
    EXPECT_EQ(error.code, ImageUtils::TooLarge);
    EXPECT_TRUE(error.message.contains(QStringLiteral("too large")));
}

TEST(ImageUtilsDecoding, FilesAreReadByExtensionWithContentAsTheFallback)
{
    QTemporaryDir dir;
    const QImage source = gradient(12, 8);
    auto write = [&](const QString& name, const QByteArray& data) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(data);
        return file.fileName();
    };
    EXPECT_TRUE(samePixels(ImageUtils::createCGImageFromFilePath(write("upper.PNG", encoded(source, "png"))), source));
    EXPECT_EQ(ImageUtils::createCGImageFromFilePath(write("photo.jpeg", encoded(source, "jpeg"))).size(), QSize(12, 8));
    // A PNG that claims to be a JPEG is still read.
    EXPECT_TRUE(samePixels(ImageUtils::createCGImageFromFilePath(write("liar.jpg", encoded(source, "png"))), source));
    EXPECT_TRUE(ImageUtils::createCGImageFromFilePath(write("text.png", "hello")).isNull());
    EXPECT_TRUE(ImageUtils::createCGImageFromFilePath(write("empty.png", {})).isNull());
    EXPECT_TRUE(ImageUtils::createCGImageFromFilePath(dir.filePath("missing.png")).isNull());
    EXPECT_TRUE(ImageUtils::createCGImageFromFilePath(dir.path()).isNull());

    const UNIImage image = UNIImage::imageWithContentsOfFile(dir.filePath("upper.PNG"));
    EXPECT_EQ(image.realSize(), QSize(12, 8));
    EXPECT_EQ(image.size(), QSizeF(12, 8));
    EXPECT_TRUE(UNIImage::imageWithContentsOfFile(dir.filePath("missing.png")).isNull());
    EXPECT_EQ(UNIImage().realSize(), QSize(0, 0));
}

TEST(ImageUtilsWriting, WritesPngAndJpegAndCreatesNothingWhereItCannot)
{
    QTemporaryDir dir;
    const QImage image = gradient(300, 200);
    const QString png = dir.filePath("a.png");
    const QString jpg = dir.filePath("a.jpg");
    ASSERT_TRUE(ImageUtils::writeImage(image, png));
    ASSERT_TRUE(ImageUtils::writeImage(image, jpg, true));
    QImageReader pngReader(png);
    QImageReader jpgReader(jpg);
    EXPECT_EQ(pngReader.format(), "png");
    EXPECT_EQ(pngReader.size(), QSize(300, 200));
    EXPECT_EQ(jpgReader.format(), "jpeg");
    EXPECT_EQ(jpgReader.size(), QSize(300, 200));

    Error error;
    EXPECT_FALSE(ImageUtils::writeImage(image, dir.filePath("no/such/folder/b.png"), false, &error));
    EXPECT_FALSE(error.isNull());
    EXPECT_FALSE(ImageUtils::writeImage(image, png + "/b.png")); // the "folder" is a regular file
    EXPECT_FALSE(ImageUtils::writeImage(QImage(), dir.filePath("null.png")));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList({"a.jpg", "a.png"}));
}

TEST(UNIImageTest, RepresentationsResizingAndNullImages)
{
    const UNIImage image = UNIImage::imageWithCGImage(gradient(64, 48));
    const QByteArray png = UNIImagePNGRepresentation(image);
    EXPECT_TRUE(samePixels(UNIImage::imageWithData(png).CGImage(), image.CGImage()));
    const QByteArray small = UNIImageJPEGRepresentation(image, 0.1);
    const QByteArray best = UNIImageJPEGRepresentation(image, 1.0);
    EXPECT_EQ(UNIImage::imageWithData(small).realSize(), QSize(64, 48));
    EXPECT_LT(small.size(), best.size());

    EXPECT_TRUE(UNIImagePNGRepresentation(UNIImage()).isEmpty());
    EXPECT_TRUE(UNIImageJPEGRepresentation(UNIImage(), 0.8).isEmpty());
    EXPECT_TRUE(UNIImage::imageWithCGImage(QImage()).isNull());

    const UNIImage resized = image.resizedImage({32, 24}, UNIImage::InterpolationQuality::High);
    EXPECT_EQ(resized.realSize(), QSize(32, 24));
    EXPECT_EQ(resized.size(), QSizeF(32, 24));
    EXPECT_TRUE(image.resizedImage({0, 24}, UNIImage::InterpolationQuality::High).isNull());
}

TEST(ImageUtilsGeometry, FitFillAndFlippedRectangles)
{
    const UNIImage wide = UNIImage::imageWithCGImage(gradient(100, 50));
    EXPECT_DOUBLE_EQ(ImageUtils::scaleImageToFitSize(wide, {400, 400}), 1.0);
    EXPECT_DOUBLE_EQ(ImageUtils::scaleImageToFitSize(wide, {50, 50}), 0.5);
    EXPECT_DOUBLE_EQ(ImageUtils::scaleImageToFillSize(UNIImage::imageWithCGImage(gradient(100, 100)), {300, 200}), 2.0);
    EXPECT_DOUBLE_EQ(ImageUtils::scaleImageToFillSize(UNIImage::imageWithCGImage(gradient(100, 200)), {300, 200}), 3.0);
    EXPECT_EQ(ImageUtils::scaleImageToFitSize(UNIImage(), {50, 50}), 0.0);

    EXPECT_EQ(ImageUtils::correctRect({10, 0, 100, 50}, nullptr, 748), QRectF(10, 698, 100, 50));
    EXPECT_EQ(ImageUtils::scaleRect({1, 2, 3, 4}, 2.0f), QRectF(2, 4, 6, 8));
}

TEST(ImageUtilsTurns, QuarterTurnsAreClockwiseAndPeriodic)
{
    const UNIImage source = UNIImage::imageWithCGImage(gradient(40, 10));
    const QImage once = ImageUtils::rotateImage(source, 1);
    ASSERT_EQ(once.size(), QSize(10, 40));
    for (int x = 0; x < 40; ++x)
        EXPECT_EQ(once.pixel(9, x), source.CGImage().pixel(x, 0)) << x; // top row → rightmost column, top down

    EXPECT_TRUE(samePixels(ImageUtils::rotateImage(source, 5), once));
    EXPECT_TRUE(samePixels(ImageUtils::rotateImage(source, -3), once));
    EXPECT_TRUE(samePixels(ImageUtils::rotateImage(source, -1), ImageUtils::rotateImage(source, 3)));
    EXPECT_TRUE(samePixels(ImageUtils::rotateImage(source, 2), source.CGImage().mirrored(true, true)));
    EXPECT_EQ(ImageUtils::rotateImage(source, 4).cacheKey(), source.CGImage().cacheKey()); // not even copied
}

TEST(ImageUtilsTurns, UndoingAnOrientationTurnsMirrorsAndCapsTheSize)
{
    UNIImage tagged = UNIImage::imageWithCGImage(gradient(40, 10));
    EXPECT_EQ(ImageUtils::unDoImageOrientation(tagged).CGImage().cacheKey(), tagged.CGImage().cacheKey());

    tagged.setImageOrientation(3); // right: shown turned a quarter clockwise
    UNIImage upright = ImageUtils::unDoImageOrientation(tagged);
    EXPECT_TRUE(samePixels(upright.CGImage(), ImageUtils::rotateImage(tagged, 1)));
    EXPECT_EQ(upright.imageOrientation(), 0);
    tagged.setImageOrientation(4); // up mirrored
    EXPECT_TRUE(samePixels(ImageUtils::unDoImageOrientation(tagged).CGImage(), tagged.CGImage().mirrored(true, false)));
    tagged.setImageOrientation(6); // left mirrored: a transpose
    const QImage transposed = ImageUtils::unDoImageOrientation(tagged).CGImage();
    ASSERT_EQ(transposed.size(), QSize(10, 40));
    EXPECT_EQ(transposed.pixel(3, 17), tagged.CGImage().pixel(17, 3));
    tagged.setImageOrientation(8);
    EXPECT_TRUE(ImageUtils::unDoImageOrientation(tagged).isNull());

    UNIImage large = UNIImage::imageWithCGImage(filled(3000, 1000, Qt::blue));
    large.setImageOrientation(1);
    EXPECT_EQ(ImageUtils::unDoImageOrientation(large).realSize(), QSize(2048, 682));
    large.setImageOrientation(2);
    EXPECT_EQ(ImageUtils::unDoImageOrientation(large).realSize(), QSize(682, 2048));
}

TEST(ImageUtilsDrawing, FlippedAndTiledDrawingLandWhereExpected)
{
    QImage bitmap = ImageUtils::createCGBitmapContextWithWidth(100, 80);
    ASSERT_EQ(bitmap.format(), ImageUtils::standardFormat);
    EXPECT_EQ(bitmap.bytesPerLine(), 400); // four bytes a pixel, not thirty-two
    EXPECT_EQ(bitmap.pixel(50, 40), 0u);

    QPainter painter(&bitmap);
    // y-up rectangle at the bottom: rows 60..79 in the bitmap.
    ImageUtils::addImageToContext(&painter, QRectF(0, 0, 10, 20), filled(2, 2, Qt::red), true);
    ImageUtils::addImageToContext(&painter, QRectF(20, 0, 10, 20), filled(2, 2, Qt::green));
    ImageUtils::addImageToContext(nullptr, QRectF(0, 0, 10, 10), filled(2, 2, Qt::red));
    ImageUtils::addImageToContext(&painter, QRectF(40, 0, NAN, 10), filled(2, 2, Qt::red));
    painter.end();
    EXPECT_EQ(bitmap.pixelColor(5, 70), QColor(Qt::red));
    EXPECT_EQ(bitmap.pixelColor(5, 10).alpha(), 0);
    EXPECT_EQ(bitmap.pixelColor(25, 10), QColor(Qt::green));
    EXPECT_EQ(bitmap.pixelColor(45, 5).alpha(), 0);

    // A 20 × 10 tile (left half red, right half blue) drawn at 10 × 10 from (5, 5) repeats over the whole bitmap,
    // also before (5, 5): red on [−5, 0), [5, 10), [15, 20)…, blue on [0, 5), [10, 15)…
    QImage tile(20, 10, ImageUtils::standardFormat);
    tile.fill(Qt::blue);
    QPainter(&tile).fillRect(0, 0, 10, 10, Qt::red);
    QImage tiled = ImageUtils::createCGBitmapContextWithWidth(40, 40);
    QPainter tiler(&tiled);
    ImageUtils::addTiledImageToContext(&tiler, QRectF(5, 5, 10, 10), tile, false);
    tiler.end();
    for (int x : {7, 17, 27, 37})
        EXPECT_EQ(tiled.pixelColor(x, 38), QColor(Qt::red)) << x;
    for (int x : {2, 12, 22, 32})
        EXPECT_EQ(tiled.pixelColor(x, 1), QColor(Qt::blue)) << x;
}

TEST(ImageUtilsGenerated, ColourPixelCheckerboardAndMask)
{
    const UNIImage colour = ImageUtils::imageFromColor(QColor(10, 20, 30));
    ASSERT_EQ(colour.realSize(), QSize(1, 1));
    EXPECT_EQ(colour.CGImage().pixelColor(0, 0), QColor(10, 20, 30));

    const QImage board = ImageUtils::checkerboard().CGImage();
    ASSERT_EQ(board.size(), QSize(20, 20));
    const QRgb grey = board.pixel(0, 19); // bottom-left square
    EXPECT_EQ(qRed(grey), 170);
    EXPECT_EQ(board.pixel(15, 5), grey); // top-right square
    EXPECT_EQ(board.pixel(15, 14), qRgb(255, 255, 255));
    EXPECT_EQ(board.pixel(2, 2), qRgb(255, 255, 255));

    QImage mask(2, 1, QImage::Format_Grayscale8);
    mask.setPixel(0, 0, qRgb(0, 0, 0));
    mask.setPixel(1, 0, qRgb(255, 255, 255));
    const QImage masked =
        ImageUtils::maskImage(UNIImage::imageWithCGImage(filled(2, 1, Qt::red)), UNIImage::imageWithCGImage(mask))
            .CGImage();
    EXPECT_EQ(masked.pixelColor(0, 0), QColor(Qt::red));
    EXPECT_EQ(masked.pixelColor(1, 0).alpha(), 0);
}

TEST(ImageUtilsEffects, BlurSpreadsLikeAGaussianOfTheRadius)
{
    // Across a sharp vertical edge the blurred alpha falls as the blur's cumulative kernel; the fall from one
    // column to the next is the kernel itself, whose spread (standard deviation) must be the radius.
    QImage edge = ImageUtils::createCGBitmapContextWithWidth(200, 60);
    QPainter(&edge).fillRect(0, 0, 100, 60, Qt::white);
    const QImage blurred = ImageUtils::blurryImageFromImage(UNIImage::imageWithCGImage(edge), 8.0, false).CGImage();
    ASSERT_EQ(blurred.size(), QSize(200, 60));
    double total = 0;
    double moment = 0;
    for (int x = 60; x < 140; ++x) {
        const double fall = qAlpha(blurred.pixel(x, 30)) - qAlpha(blurred.pixel(x + 1, 30));
        total += fall;
        moment += fall * (x + 0.5 - 99.5) * (x + 0.5 - 99.5);
    }
    EXPECT_NEAR(total, 255, 2);
    EXPECT_NEAR(std::sqrt(moment / total), 8.0, 0.5);
    // The same spread downwards from the top edge, into the picture: columns are blurred as rows are.
    EXPECT_LT(qAlpha(blurred.pixel(50, 0)), 160);
    EXPECT_EQ(qAlpha(blurred.pixel(50, 0)), qAlpha(blurred.pixel(50, 59)));
    EXPECT_EQ(qAlpha(blurred.pixel(50, 30)), 255);

    // A flat picture stays flat inside and fades towards its edges; the overlay darkens and makes it opaque.
    const UNIImage flat = UNIImage::imageWithCGImage(filled(200, 100, QColor(200, 100, 50)));
    const QImage soft = ImageUtils::blurryImageFromImage(flat, false).CGImage();
    EXPECT_EQ(soft.pixelColor(100, 50), QColor(200, 100, 50));
    EXPECT_LT(qAlpha(soft.pixel(0, 0)), 128);
    const QImage dark = ImageUtils::blurryImageFromImage(flat, true).CGImage();
    EXPECT_EQ(dark.pixelColor(100, 50), QColor(160, 80, 40));
    EXPECT_EQ(qAlpha(dark.pixel(0, 0)), 255);

    EXPECT_TRUE(samePixels(ImageUtils::blurryImageFromImage(flat, NAN, false).CGImage(), flat.CGImage()));
    EXPECT_TRUE(ImageUtils::blurryImageFromImage(UNIImage(), true).isNull());
}

TEST(ImageUtilsEffects, PixellationAveragesSquaresFromTheTopLeft)
{
    QImage stripes(30, 10, ImageUtils::standardFormat);
    for (int x = 0; x < 30; ++x)
        for (int y = 0; y < 10; ++y)
            stripes.setPixel(x, y, x % 2 ? qRgb(200, 0, 0) : qRgb(0, 0, 100));
    const QImage blocks =
        ImageUtils::pixelatedImageFromImage(UNIImage::imageWithCGImage(stripes), 4.0, false).CGImage();
    ASSERT_EQ(blocks.size(), QSize(30, 10));
    EXPECT_EQ(blocks.pixelColor(0, 0), QColor(100, 0, 50));
    EXPECT_EQ(blocks.pixel(3, 3), blocks.pixel(0, 0));
    EXPECT_EQ(blocks.pixelColor(29, 9), QColor(100, 0, 50)); // the last, narrower cell (28..29)

    const QImage dark = ImageUtils::pixelatedImageFromImage(UNIImage::imageWithCGImage(stripes), 4.0, true).CGImage();
    EXPECT_EQ(dark.pixelColor(0, 0), QColor(70, 0, 35));
    EXPECT_EQ(ImageUtils::pixelatedImageFromImage(UNIImage::imageWithCGImage(stripes), true).realSize(), QSize(30, 10));
}
