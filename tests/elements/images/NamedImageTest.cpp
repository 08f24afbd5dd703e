#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

#include <QImage>
#include <QString>

#include <gtest/gtest.h>

#include "elements/images/UNIImage.h"
#include "support/QtPrinters.h"

namespace {

// A provider knowing one name: a square of `points` points drawn at the asked scale.
UNIImage::NamedImageProvider squareProvider(const QString& known, int points)
{
    return [known, points](const QString& name, double scale) {
        if (name != known)
            return UNIImage();
        QImage pixels(int(points * scale), int(points * scale), QImage::Format_ARGB32_Premultiplied);
        pixels.fill(Qt::red);
        UNIImage image = UNIImage::imageWithCGImage(pixels);
        image.setSize(QSizeF(points, points));
        return image;
    };
}

class NamedImage : public ::testing::Test {
protected:
    void TearDown() override { UNIImage::setNamedImageProvider({}); }
};

} // namespace

TEST_F(NamedImage, WithoutProviderEveryNameIsNull)
{
    EXPECT_TRUE(UNIImage::imageNamed(QStringLiteral("anything")).isNull());
    UNIImage::setNamedImageProvider(squareProvider(QStringLiteral("icon"), 16));
    ASSERT_FALSE(UNIImage::imageNamed(QStringLiteral("icon")).isNull());
    UNIImage::setNamedImageProvider({});
    EXPECT_TRUE(UNIImage::imageNamed(QStringLiteral("icon")).isNull());
}

TEST_F(NamedImage, GivesTheProvidersImageAtTwiceThePixelsUnlessAScaleIsAsked)
{
    UNIImage::setNamedImageProvider(squareProvider(QStringLiteral("icon"), 16));

    const UNIImage largest = UNIImage::imageNamed(QStringLiteral("icon"));
    EXPECT_EQ(largest.size(), QSizeF(16, 16));
    EXPECT_EQ(largest.realSize(), QSize(32, 32));

    const UNIImage regular = UNIImage::imageNamed(QStringLiteral("icon"), 1.0);
    EXPECT_EQ(regular.size(), QSizeF(16, 16));
    EXPECT_EQ(regular.realSize(), QSize(16, 16));

    EXPECT_TRUE(UNIImage::imageNamed(QStringLiteral("other")).isNull());
}

TEST_F(NamedImage, NonsenseRequestsNeverReachTheProvider)
{
    int calls = 0;
    UNIImage::setNamedImageProvider([&calls](const QString&, double) {
        ++calls;
        return UNIImage::imageWithCGImage(QImage(1, 1, QImage::Format_RGB32));
    });
    EXPECT_TRUE(UNIImage::imageNamed(QString()).isNull());
    for (double scale : {0.0, -2.0, 0.5, 9.0, std::nan(""), HUGE_VAL})
        EXPECT_TRUE(UNIImage::imageNamed(QStringLiteral("icon"), scale).isNull()) << scale;
    EXPECT_EQ(calls, 0);
}

// A provider may look up other names (a fallback) or replace itself while it runs: neither deadlocks, and
// what it captured stays alive until it returns.
TEST_F(NamedImage, AProviderMayAskForImagesAndReplaceItselfWhileRunning)
{
    const QString fallbackName = QStringLiteral("fallback-name-long-enough-to-live-on-the-heap");
    UNIImage::setNamedImageProvider([fallbackName](const QString& name, double scale) {
        if (name == fallbackName)
            return UNIImage::imageWithCGImage(QImage(3, 3, QImage::Format_RGB32));
        const UNIImage fallback = UNIImage::imageNamed(fallbackName, scale);
        UNIImage::setNamedImageProvider(squareProvider(QStringLiteral("icon"), 4));
        EXPECT_EQ(fallbackName.size(), 45); // the capture is still readable after the replacement
        return fallback;
    });
    EXPECT_EQ(UNIImage::imageNamed(QStringLiteral("icon")).realSize(), QSize(3, 3));
    EXPECT_EQ(UNIImage::imageNamed(QStringLiteral("icon")).realSize(), QSize(8, 8));
}

TEST_F(NamedImage, WorkerThreadsAskWhileTheProviderIsReplaced)
{
    UNIImage::setNamedImageProvider(squareProvider(QStringLiteral("icon"), 8));
    std::atomic<bool> stop = false;
    std::atomic<int> wrongAnswers = 0;
    std::atomic<int> lookups = 0;
    std::vector<std::thread> workers;
    for (int i = 0; i < 4; ++i) {
        workers.emplace_back([&] {
            while (!stop) {
                const UNIImage image = UNIImage::imageNamed(QStringLiteral("icon"));
                ++lookups;
                if (image.size() != QSizeF(8, 8) && image.size() != QSizeF(12, 12))
                    ++wrongAnswers;
            }
        });
    }
    // Until the workers have asked often enough to overlap many replacements (bounded, should they stall).
    for (int round = 0; round < 1'000'000 && (round < 500 || lookups < 5'000); ++round)
        UNIImage::setNamedImageProvider(squareProvider(QStringLiteral("icon"), round % 2 ? 8 : 12));
    stop = true;
    for (std::thread& worker : workers)
        worker.join();
    EXPECT_EQ(wrongAnswers, 0);
}

TEST(UNIImageSize, SetSizeKeepsThePixelsAndLeavesTheNullImageAlone)
{
    UNIImage image = UNIImage::imageWithCGImage(QImage(40, 20, QImage::Format_RGB32));
    image.setSize(QSizeF(20, 10));
    EXPECT_EQ(image.size(), QSizeF(20, 10));
    EXPECT_EQ(image.realSize(), QSize(40, 20));

    UNIImage null;
    null.setSize(QSizeF(20, 10));
    EXPECT_TRUE(null.isNull());
    EXPECT_EQ(null.realSize(), QSize(0, 0));
}
