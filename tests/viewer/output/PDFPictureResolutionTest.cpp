#include <QBuffer>
#include <QFile>
#include <QPainter>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include "OutputTestSupport.h"
#include "storage/MixedMediaObjectStorage.h"
#include "viewer/output/PdfJpegPassThrough.h"

using namespace outputtest;

namespace {

// The width and height of every image the PDF file holds.
QList<QSize> embeddedImageSizes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString text = QString::fromLatin1(file.readAll());
    static const QRegularExpression image(QStringLiteral(R"(/Subtype\s*/Image\s*/Width\s+(\d+)\s*/Height\s+(\d+))"));
    QList<QSize> sizes;
    for (auto match = image.globalMatch(text); match.hasNext();) {
        const auto found = match.next();
        sizes << QSize(found.captured(1).toInt(), found.captured(2).toInt());
    }
    return sizes;
}

// A picture of four coloured quarters, so that a wrong turn or crop shows.
QString writeQuarters(const QString& folder, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    const int w = size.width() / 2;
    const int h = size.height() / 2;
    painter.fillRect(0, 0, w, h, QColor(220, 30, 30));
    painter.fillRect(w, 0, size.width() - w, h, QColor(30, 180, 40));
    painter.fillRect(0, h, w, size.height() - h, QColor(30, 60, 220));
    painter.fillRect(w, h, size.width() - w, size.height() - h, QColor(240, 200, 20));
    painter.end();
    const QString path = QDir(folder).filePath(QStringLiteral("quarters.png"));
    image.save(path, "PNG");
    return path;
}

// A screen holding one picture object made from `original` with this geometry, its cropped picture made the
// way the editor makes it.
std::shared_ptr<ZERI_FlowScreenModel> pictureScreen(const QString& folder, const QString& original, const QRectF& frame,
                                                    double zoom, const QSizeF& offset, int rotation)
{
    auto screen = ZERI_FlowScreenModel::create();
    screen->setBackgroundColor(Qt::white);
    auto picture = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Image);
    picture->object()->setFrame(frame);
    picture->object()->setZoomScale(zoom);
    picture->object()->setZoomOffset(offset);
    picture->object()->setRotation(rotation);
    const QImage cropped =
        MixedMediaObjectStorage::renderCroppedImage(QImage(original), frame.size(), zoom, offset, rotation, 1.0);
    const QString croppedPath = QDir(folder).filePath(QStringLiteral("cropped%1.png").arg(rotation));
    cropped.save(croppedPath, "PNG");
    picture->as<ZERI_MMObject_Image>()->setOriginalImageAsset(fileAsset(original));
    picture->as<ZERI_MMObject_Image>()->setCroppedImageAsset(fileAsset(croppedPath));
    screen->addMixedMediaObject(picture);
    return screen;
}

class PDFPictureResolutionTest : public ::testing::Test {
protected:
    previewtest::ScopedPreviewEnvironment environment;
    QTemporaryDir folder;

    QString exportScreen(const std::shared_ptr<ZERI_FlowScreenModel>& screen, const QString& name)
    {
        auto document = ZERI_TessarineModel::create();
        document->firstFlowmodel()->addFlowScreen(screen);
        const QString path = QDir(folder.path()).filePath(name);
        RecordingDelegate delegate;
        auto generator = QVRPDFGenerator::create();
        generator->setDelegate(&delegate);
        generator->generatePDFForTessarineModel(document, path);
        EXPECT_TRUE(delegate.waitForCompletion());
        EXPECT_TRUE(delegate.error.isNull()) << delegate.error.message.toStdString();
        return path;
    }

    // The page drawn from the PDF against the screen drawn as previews draw it.
    static double differenceFromScreen(const QString& pdfPath, const ZERI_FlowScreenModel& screen)
    {
        QPdfDocument pdf;
        if (pdf.load(pdfPath) != QPdfDocument::Error::None)
            return 1000;
        const QImage expected = ModelDrawing::renderScreen(screen);
        const QImage page = pdf.render(0, expected.size()).convertToFormat(expected.format());
        return previewtest::meanDifference(page, expected);
    }
};

} // namespace

TEST_F(PDFPictureResolutionTest, APictureIsEmbeddedAtItsOwnResolutionCroppedAndTurnedAsDrawn)
{
    const QString original = writeQuarters(folder.path(), QSize(1600, 1200));

    // The whole picture in a 560 × 420 point frame: all 1600 × 1200 pixels, about 206 per inch.
    const auto whole = pictureScreen(folder.path(), original, QRectF(100, 80, 560, 420), 0.35, QSizeF(0, 0), 0);
    const QString wholePdf = exportScreen(whole, QStringLiteral("whole.pdf"));
    EXPECT_EQ(embeddedImageSizes(wholePdf), QList<QSize>{QSize(1600, 1200)});
    EXPECT_LT(differenceFromScreen(wholePdf, *whole), 4.0);

    // Turned a quarter, zoomed to half and shifted: only the part that shows goes in, still at full resolution
    // (a 300 × 200 point frame shows 600 × 400 turned pixels, 400 × 600 of the original), and the page shows what
    // the screen shows.
    const auto turned = pictureScreen(folder.path(), original, QRectF(200, 150, 300, 200), 0.5, QSizeF(100, 200), 1);
    const QString turnedPdf = exportScreen(turned, QStringLiteral("turned.pdf"));
    EXPECT_EQ(embeddedImageSizes(turnedPdf), QList<QSize>{QSize(400, 600)});
    EXPECT_LT(differenceFromScreen(turnedPdf, *turned), 4.0);

    // Without its original on disk the object's cropped picture serves, as before.
    QFile::remove(original);
    const QString fallbackPdf = exportScreen(turned, QStringLiteral("fallback.pdf"));
    EXPECT_EQ(embeddedImageSizes(fallbackPdf), QList<QSize>{QSize(300, 200)});
}

TEST_F(PDFPictureResolutionTest, AWholeUnturnedJpegGoesInAsItIsAndACroppedOneAsItsVisiblePart)
{
    const QString png = writeQuarters(folder.path(), QSize(1600, 1200));
    const QString jpeg = QDir(folder.path()).filePath(QStringLiteral("quarters.jpg"));
    ASSERT_TRUE(QImage(png).save(jpeg, "JPEG", 85));
    QFile jpegFile(jpeg);
    ASSERT_TRUE(jpegFile.open(QIODevice::ReadOnly));
    const QByteArray jpegBytes = jpegFile.readAll();

    // Whole and unturned, on two screens: the file's own bytes, once, and the PDF hardly larger than the file.
    auto document = ZERI_TessarineModel::create();
    const auto whole = pictureScreen(folder.path(), jpeg, QRectF(100, 80, 560, 420), 0.35, QSizeF(0, 0), 0);
    document->firstFlowmodel()->addFlowScreen(whole);
    document->firstFlowmodel()->addFlowScreen(
        pictureScreen(folder.path(), jpeg, QRectF(300, 200, 560, 420), 0.35, QSizeF(0, 0), 0));
    const QString wholePdf = QDir(folder.path()).filePath(QStringLiteral("whole-jpeg.pdf"));
    RecordingDelegate delegate;
    auto generator = QVRPDFGenerator::create();
    generator->setDelegate(&delegate);
    generator->generatePDFForTessarineModel(document, wholePdf);
    ASSERT_TRUE(delegate.waitForCompletion());
    ASSERT_TRUE(delegate.error.isNull()) << delegate.error.message.toStdString();
    QFile written(wholePdf);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QByteArray pdfBytes = written.readAll();
    EXPECT_EQ(pdfBytes.count(jpegBytes), 1);
    EXPECT_LT(pdfBytes.size(), jpegBytes.size() + 20000);
    EXPECT_EQ(embeddedImageSizes(wholePdf), QList<QSize>{QSize(1600, 1200)});
    // The file stays readable and shows what the screens show.
    EXPECT_LT(differenceFromScreen(wholePdf, *whole), 4.0);
    QPdfDocument pdf;
    ASSERT_EQ(pdf.load(wholePdf), QPdfDocument::Error::None);
    EXPECT_EQ(pdf.pageCount(), 2);

    // Zoomed in and shifted: the part that shows (600 × 400 pixels of the original), not the file.
    const auto cropped = pictureScreen(folder.path(), jpeg, QRectF(200, 150, 300, 200), 0.5, QSizeF(100, 200), 0);
    const QString croppedPdf = exportScreen(cropped, QStringLiteral("cropped-jpeg.pdf"));
    EXPECT_EQ(embeddedImageSizes(croppedPdf), QList<QSize>{QSize(600, 400)});
    QFile croppedFile(croppedPdf);
    ASSERT_TRUE(croppedFile.open(QIODevice::ReadOnly));
    EXPECT_FALSE(croppedFile.readAll().contains(jpegBytes.left(4096)));
    EXPECT_LT(differenceFromScreen(croppedPdf, *cropped), 4.0);

    // Turned a quarter: drawn from its pixels, the whole turned picture at full resolution.
    const auto turned = pictureScreen(folder.path(), jpeg, QRectF(100, 80, 420, 560), 0.35, QSizeF(0, 0), 1);
    const QString turnedPdf = exportScreen(turned, QStringLiteral("turned-jpeg.pdf"));
    EXPECT_EQ(embeddedImageSizes(turnedPdf), QList<QSize>{QSize(1600, 1200)});
    QFile turnedFile(turnedPdf);
    ASSERT_TRUE(turnedFile.open(QIODevice::ReadOnly));
    EXPECT_FALSE(turnedFile.readAll().contains(jpegBytes.left(4096)));
    EXPECT_LT(differenceFromScreen(turnedPdf, *turned), 4.0);
}

TEST(PdfJpegPassThrough, OnlyCompleteEightBitGreyOrColourJpegsAreTaken)
{
    QImage colour(40, 30, QImage::Format_RGB32);
    colour.fill(QColor(10, 200, 90));
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(colour.save(&buffer, "JPEG", 90));
    PdfJpegPassThrough::JpegFacts facts;
    ASSERT_TRUE(PdfJpegPassThrough::readJpegFacts(data, &facts));
    EXPECT_EQ(QSize(facts.width, facts.height), QSize(40, 30));
    EXPECT_EQ(facts.components, 3);
    // Cut short, not a JPEG, or empty: refused.
    EXPECT_FALSE(PdfJpegPassThrough::readJpegFacts(data.left(data.size() - 40), &facts));
    EXPECT_FALSE(PdfJpegPassThrough::readJpegFacts(QByteArray("\x89PNG\r\n\x1a\n", 8), &facts));
    EXPECT_FALSE(PdfJpegPassThrough::readJpegFacts(QByteArray(), &facts));
    EXPECT_FALSE(PdfJpegPassThrough::readJpegFacts(QByteArray("\xFF\xD8\xFF\xC0\x00\x02", 6), &facts));
}
