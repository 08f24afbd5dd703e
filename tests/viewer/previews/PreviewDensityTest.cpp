// Previews on a screen of two device pixels per point: read and held at the device pixels they cover.

#include <QWidget>

#include <gtest/gtest.h>

#include "PreviewTestSupport.h"
#include "viewer/previews/TessarineBackgroundedScreenPreview.h"

using namespace previewtest;

TEST(PreviewDensity, StoredAndReceivedPicturesAreHeldAndPaintedAtTheDevicePixelsShown)
{
    ScopedPreviewEnvironment environment;
    QWidget window;
    window.resize(400, 300);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_EQ(window.devicePixelRatioF(), 2.0) << "the suite runs on a double-density screen";

    auto document = makeSavedDocument(1);
    const auto screen = document->firstFlowmodel()->screenModels().front();
    QVRScreenPreviewGenerator generator(screen);
    requestAndWait(generator);
    auto* preview = new TessarineBackgroundedScreenPreview(
        QRect(0, 0, 256, 187), screen, true, TessarineBackgroundedScreenPreview::StoredPicture::DecodeInBackground,
        &window);
    preview->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !preview->currentPreviewImage().isNull(); }, 5000));
    EXPECT_EQ(preview->pictureSize(), QSize(512, 374));
    EXPECT_EQ(preview->currentPreviewImage().size(), QSize(512, 374));

    // Painted device pixel for device pixel: the window's pixels are the picture's, not 2 × 2 blocks of a
    // picture read at half the size.
    const QImage painted = preview->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(painted.size(), QSize(512, 374));
    const QImage held = preview->currentPreviewImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_LT(meanDifference(painted, held), 1.0);
    int oddColumnsDiffering = 0;
    for (int y = 0; y < painted.height(); ++y)
        for (int x = 0; x + 1 < painted.width(); x += 2)
            oddColumnsDiffering += painted.pixel(x, y) != painted.pixel(x + 1, y) ? 1 : 0;
    EXPECT_GT(oddColumnsDiffering, 100) << "the text's edges fall between device pixels";

    // A picture the screen sends is scaled down to the device pixels too, not to the points.
    QImage large(2048, 1496, QImage::Format_RGB32);
    large.fill(Qt::darkGreen);
    preview->previewScreenshotGotten(
        Notification{QString(), nullptr, {{QStringLiteral("PreviewScreenImageRef"), large}}});
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return preview->currentPreviewImage().size() == QSize(512, 374) &&
                   preview->currentPreviewImage().pixelColor(0, 0) == QColor(Qt::darkGreen);
        },
        5000));
}
