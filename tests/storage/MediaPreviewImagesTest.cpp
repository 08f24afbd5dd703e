#include <gtest/gtest.h>

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "elements/images/ImageUtils.h"
#include "storage/MediaPreviewImages.h"

namespace {

// One 1024 × 512 MPEG-4 picture whose pixels claim to be 255 times wider than tall, the most the stream allows:
// taken at its word, a poster of 261120 × 512 pixels (half a gigabyte).
bool makeAbsurdlyWideClip(const QString& path)
{
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {"-v", "error", "-y", "-f", "lavfi", "-i", "testsrc2=size=1024x512:rate=5", "-frames:v", "1", "-vf",
                  "setsar=sar=255/1:max=255", "-c:v", "mpeg4", "-f", "m4v", path});
    return ffmpeg.waitForFinished(60000) && ffmpeg.exitStatus() == QProcess::NormalExit && ffmpeg.exitCode() == 0;
}

} // namespace

TEST(MediaPreviewImages, AHostilePixelAspectRatioKeepsThePosterShapeWithinThePictureBudget)
{
    if (QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty())
        GTEST_SKIP() << "ffmpeg is needed to make the test clip";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString clip = dir.filePath(QStringLiteral("wide.m4v"));
    ASSERT_TRUE(makeAbsurdlyWideClip(clip));

    Error error;
    const QImage poster = MediaPreviewImages::posterFrameOfVideo(clip, &error);
    ASSERT_FALSE(poster.isNull()) << error.message.toStdString();
    EXPECT_LE(qint64(poster.width()) * poster.height(), ImageUtils::maximumPixelCount);
    // Still the shape the video plays with, only smaller.
    EXPECT_NEAR(double(poster.width()) / poster.height(), 510.0, 510.0 * 0.05);
}
