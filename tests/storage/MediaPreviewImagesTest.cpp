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

// A clip filmed with the phone turned: its frames are stored as the sensor saw them (red left, blue right) with a
// quarter turn in its display matrix. The poster is turned as players (and ffmpeg itself) show it: blue on top.
TEST(MediaPreviewImages, APhoneClipsPosterIsTurnedAsItsMetadataSays)
{
    if (QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty())
        GTEST_SKIP() << "ffmpeg is needed to make the test clip";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString stored = dir.filePath(QStringLiteral("stored.mp4"));
    const QString turned = dir.filePath(QStringLiteral("turned.mp4"));
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {"-v", "error", "-y", "-filter_complex",
                  "color=c=red:s=32x32:d=1:r=5[a];color=c=blue:s=32x32:d=1:r=5[b];[a][b]hstack", "-c:v", "mpeg4",
                  stored});
    ASSERT_TRUE(ffmpeg.waitForFinished(60000) && ffmpeg.exitCode() == 0) << ffmpeg.readAllStandardError().data();
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {"-v", "error", "-y", "-i", stored, "-c", "copy", "-metadata:s:v:0", "rotate=90", turned});
    ASSERT_TRUE(ffmpeg.waitForFinished(60000) && ffmpeg.exitCode() == 0) << ffmpeg.readAllStandardError().data();

    Error error;
    const QImage upright = MediaPreviewImages::posterFrameOfVideo(stored, &error);
    ASSERT_EQ(upright.size(), QSize(64, 32)) << error.message.toStdString();
    const QImage poster = MediaPreviewImages::posterFrameOfVideo(turned, &error);
    ASSERT_EQ(poster.size(), QSize(32, 64)) << error.message.toStdString();
    const QColor top = poster.pixelColor(16, 8);
    const QColor bottom = poster.pixelColor(16, 56);
    EXPECT_GT(top.blue(), 200);
    EXPECT_LT(top.red(), 60);
    EXPECT_GT(bottom.red(), 200);
    EXPECT_LT(bottom.blue(), 60);
}
