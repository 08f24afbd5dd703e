#include <gtest/gtest.h>

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include "MediaTestClips.h"

// The reencode tool as a user runs it: the front checks the command line and the worker beside it re-encodes.
TEST(ReencodeTool, AValidCommandLineIsReencodedAtThePresetsHeightWithItsSoundAndAFailedRunLeavesNoMovie)
{
    if (!MediaTestClips::toolsAvailable())
        GTEST_SKIP() << "ffmpeg and ffprobe are needed to make test clips";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString input = dir.filePath(QStringLiteral("clip.mp4"));
    ASSERT_TRUE(MediaTestClips::makeVideo(input, 1280, 720, 1.0, 44100));
    const QString output = dir.filePath(QStringLiteral("clip.mov"));

    QProcess run;
    run.start(QStringLiteral(REENCODE_PATH), {QStringLiteral("--preset"), QStringLiteral("Small"), input, output});
    ASSERT_TRUE(run.waitForFinished(120000));
    const QString err = QString::fromUtf8(run.readAllStandardError());
    ASSERT_EQ(run.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run.exitCode(), 0) << err.toStdString();
    EXPECT_TRUE(err.endsWith(QStringLiteral("done\n"))) << err.toStdString();

    const MediaTestClips::Probe movie = MediaTestClips::probe(output);
    ASSERT_TRUE(movie.ok);
    const MediaTestClips::Stream* video = movie.first(QStringLiteral("video"));
    ASSERT_NE(video, nullptr);
    EXPECT_EQ(video->codecName, QStringLiteral("h264"));
    EXPECT_EQ(video->height, 480);
    EXPECT_EQ(movie.count(QStringLiteral("audio")), 1);

    // A movie of sound only fails, said so, and leaves no movie behind.
    const QString voice = dir.filePath(QStringLiteral("voice.mp4"));
    ASSERT_TRUE(MediaTestClips::make(voice, {"-f", "lavfi", "-i", "sine=frequency=440:duration=1", "-c:a", "aac"}));
    const QString none = dir.filePath(QStringLiteral("voice.mov"));
    run.start(QStringLiteral(REENCODE_PATH), {QStringLiteral("--preset"), QStringLiteral("small"), voice, none});
    ASSERT_TRUE(run.waitForFinished(120000));
    EXPECT_EQ(run.exitCode(), 1);
    EXPECT_TRUE(QString::fromUtf8(run.readAllStandardError()).contains(QStringLiteral("no video track")));
    EXPECT_FALSE(QFileInfo::exists(none));
}
