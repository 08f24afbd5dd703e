#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <vector>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QUrl>

extern "C" {
#include <libavutil/frame.h>
}

#include "MediaTestClips.h"
#include "elements/video/MediaAssetReaderTrackOutput.h"
#include "elements/video/MediaAssetWriter.h"
#include "elements/video/MediaAssetWriterInput.h"
#include "elements/video/VideoAssetCompressor.h"
#include "support/QtPrinters.h"
#include "tessarine_data_model/VideoAssetCompressorPreset.h"

namespace {

QByteArray fileHash(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1);
}

// Everything a run reported, and where.
struct Recorder {
    std::vector<float> progress;
    int doneCount = 0;
    int cancelCount = 0;
    bool callbacksOnMainThread = true;
    std::optional<Error> error;

    void attach(VideoAssetCompressor& compressor)
    {
        compressor.setOnProgressBlock([this](float value) {
            noteThread();
            progress.push_back(value);
        });
        compressor.setOnDoneBlock([this](const std::optional<Error>& result) {
            noteThread();
            ++doneCount;
            error = result;
        });
    }
    std::function<void()> cancelBlock()
    {
        return [this] {
            noteThread();
            ++cancelCount;
        };
    }
    void noteThread() { callbacksOnMainThread &= QThread::currentThread() == qApp->thread(); }
    bool waitForEnd(int milliseconds = 60000)
    {
        return QTest::qWaitFor([this] { return doneCount + cancelCount > 0; }, milliseconds);
    }
};

class VideoAssetCompressorRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!MediaTestClips::toolsAvailable())
            GTEST_SKIP() << "ffmpeg and ffprobe are needed to make test clips";
        ASSERT_TRUE(m_dir.isValid());
    }
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QUrl url(const QString& name) const { return QUrl::fromLocalFile(path(name)); }
    // 640 × 480, 25 fps, 2 s, with a 48 kHz tone.
    QString clipWithSound()
    {
        const QString clip = path("sound.mp4");
        if (!QFile::exists(clip)) {
            EXPECT_TRUE(MediaTestClips::makeVideo(clip, 640, 480, 2, 48000));
        }
        return clip;
    }

    QTemporaryDir m_dir;
};

} // namespace

TEST(VideoAssetCompressorSize, FollowsTheRequestedSidesAndRoundsToEvenPixels)
{
    // Only the height set (all shared presets): width from the source's aspect.
    EXPECT_EQ(VideoAssetCompressor::outputSizeForSource({1920, 1080}, 0, 720), QSize(1280, 720));
    EXPECT_EQ(VideoAssetCompressor::outputSizeForSource({1920, 1080}, 0, 1080), QSize(1920, 1080));
    EXPECT_EQ(VideoAssetCompressor::outputSizeForSource({1920, 1080}, 0, 480), QSize(854, 480)); // 853.33
    EXPECT_EQ(VideoAssetCompressor::outputSizeForSource({640, 480}, 0, 480), QSize(640, 480));
    // Smaller sources are enlarged.
    EXPECT_EQ(VideoAssetCompressor::outputSizeForSource({640, 480}, 0, 1080), QSize(1440, 1080));
    // Only the width set, both set (aspect ignored), neither set (source kept, made even).
    EXPECT_EQ(VideoAssetCompressor::outputSizeForSource({1920, 1080}, 640, 0), QSize(640, 360));
    EXPECT_EQ(VideoAssetCompressor::outputSizeForSource({1920, 1080}, 500, 500), QSize(500, 500));
    EXPECT_EQ(VideoAssetCompressor::outputSizeForSource({1920, 1080}, 0, 0), QSize(1920, 1080));
    EXPECT_EQ(VideoAssetCompressor::outputSizeForSource({321, 241}, 0, 0), QSize(322, 242));
    // A portrait recording stored landscape is sized from its stored picture.
    EXPECT_EQ(VideoAssetCompressor::outputSizeForSource({1920, 1080}, 0, 720).width(), 1280);
}

TEST(VideoAssetCompressorConfiguration, SettingOneFieldForgetsThePresetAndNoPresetKeepsTheValues)
{
    VideoAssetCompressor compressor;
    compressor.setPreset(VideoAssetCompressorPreset::medium720p());
    EXPECT_EQ(compressor.preset(), VideoAssetCompressorPreset::medium720p());
    EXPECT_EQ(compressor.bitrate(), 4096000);
    EXPECT_EQ(compressor.outputHeight(), 720);

    compressor.setBitrate(1000000);
    EXPECT_EQ(compressor.preset(), nullptr);
    EXPECT_EQ(compressor.bitrate(), 1000000);
    EXPECT_EQ(compressor.outputHeight(), 720);

    compressor.setPreset(VideoAssetCompressorPreset::small480p());
    compressor.setPreset(nullptr);
    EXPECT_EQ(compressor.preset(), nullptr);
    EXPECT_EQ(compressor.bitrate(), 2048000);
    EXPECT_EQ(compressor.outputHeight(), 480);
}

TEST(VideoAssetCompressorConfiguration, CancelWhileIdleCallsTheBlockAtOnce)
{
    VideoAssetCompressor compressor;
    int calls = 0;
    compressor.cancel([&calls] { ++calls; });
    EXPECT_EQ(calls, 1);
    compressor.cancel(nullptr);
    EXPECT_FALSE(compressor.isActive());
}

TEST(VideoAssetCompressorConfiguration, ProgressOfAClipWithoutAKnownDurationIsZeroNotNaN)
{
    VideoAssetCompressor compressor; // never started: the duration is unknown
    std::vector<float> progress;
    compressor.setOnProgressBlock([&](float value) { progress.push_back(value); });
    Error error;
    VideoWriterSettings settings;
    settings.size = QSize(16, 16);
    auto input = MediaAssetWriterInput::videoInput(settings, &error);
    ASSERT_TRUE(input) << error.message.toStdString();
    RWSampleBufferChannel channel(MediaAssetReaderTrackOutput::assetReaderTrackOutputWithTrack(MediaTrack{}), input);
    MediaSampleBuffer sample(av_frame_alloc(), MediaType::Video, {3, 1}, {1, 25});
    compressor.sampleBufferChannel(channel, sample); // on the main thread: reported at once
    ASSERT_EQ(progress.size(), 1u);
    EXPECT_EQ(progress.front(), 0.0f);
}

TEST(VideoAssetCompressorConfiguration, AnInputThatIsNotALocalFileFailsBeforeStartReturns)
{
    VideoAssetCompressor compressor;
    Recorder recorder;
    recorder.attach(compressor);
    compressor.setInputURL(QUrl("https://example.invalid/clip.mp4"));
    compressor.setOutputURL(QUrl::fromLocalFile(QDir::temp().filePath("never-written.mov")));
    compressor.start();
    EXPECT_EQ(recorder.doneCount, 1);
    EXPECT_FALSE(compressor.isActive());
    ASSERT_TRUE(recorder.error.has_value());
    EXPECT_EQ(recorder.error->domain, "VideoAssetCompressorDomain");
    EXPECT_EQ(recorder.error->code, 1);
    EXPECT_EQ(recorder.error->message, "Could not load video asset");
}

TEST_F(VideoAssetCompressorRun, ReencodesToAQuickTimeMovieWithThePresetSizeAndStereoAac)
{
    const QString source = clipWithSound();
    const QByteArray sourceHash = fileHash(source);
    VideoAssetCompressor compressor;
    Recorder recorder;
    recorder.attach(compressor);
    compressor.setPreset(VideoAssetCompressorPreset::small480p());
    compressor.setInputURL(QUrl::fromLocalFile(source));
    compressor.setOutputURL(url("out.mov"));
    compressor.start();
    EXPECT_TRUE(compressor.isActive());
    compressor.start(); // ignored while active
    ASSERT_TRUE(recorder.waitForEnd());
    // Nothing more may arrive after the end.
    EXPECT_FALSE(QTest::qWaitFor([&] { return recorder.doneCount + recorder.cancelCount > 1; }, 300));

    EXPECT_EQ(recorder.doneCount, 1);
    EXPECT_EQ(recorder.cancelCount, 0);
    EXPECT_TRUE(recorder.callbacksOnMainThread);
    ASSERT_FALSE(recorder.error.has_value()) << recorder.error->description().toStdString();
    EXPECT_FALSE(compressor.isActive());
    // The configuration survives the run, so the done callback can find the new file.
    EXPECT_EQ(compressor.outputURL(), url("out.mov"));
    EXPECT_EQ(compressor.preset(), VideoAssetCompressorPreset::small480p());

    ASSERT_FALSE(recorder.progress.empty());
    EXPECT_LT(recorder.progress.front(), 0.05f);
    EXPECT_GE(recorder.progress.back(), 0.98f);
    EXPECT_LE(recorder.progress.back(), 1.05f);
    for (size_t i = 1; i < recorder.progress.size(); ++i)
        ASSERT_GE(recorder.progress[i], recorder.progress[i - 1]) << "at sample " << i;

    const auto probe = MediaTestClips::probe(path("out.mov"));
    ASSERT_TRUE(probe.ok);
    EXPECT_TRUE(probe.formatName.contains("mov")) << probe.formatName.toStdString();
    EXPECT_NEAR(probe.duration, 2.0, 0.1);
    const auto* video = probe.first("video");
    ASSERT_NE(video, nullptr);
    EXPECT_EQ(video->codecName, "h264");
    EXPECT_EQ(QSize(video->width, video->height), QSize(640, 480));
    EXPECT_EQ(video->frames, 50);
    const auto* audio = probe.first("audio");
    ASSERT_NE(audio, nullptr);
    EXPECT_EQ(audio->codecName, "aac");
    EXPECT_EQ(audio->sampleRate, 44100);
    EXPECT_EQ(audio->channels, 2);
    EXPECT_EQ(MediaTestClips::decodeErrors(path("out.mov")), QString());
    EXPECT_EQ(fileHash(source), sourceHash);
}

TEST_F(VideoAssetCompressorRun, SilentOddAspectSourceGivesEvenSizeAndNoSoundTrack)
{
    ASSERT_TRUE(MediaTestClips::makeVideo(path("wide.mp4"), 320, 180, 1, 0));
    VideoAssetCompressor compressor;
    Recorder recorder;
    recorder.attach(compressor);
    compressor.setPreset(VideoAssetCompressorPreset::small480p());
    compressor.setInputURL(url("wide.mp4"));
    compressor.setOutputURL(url("wide.mov"));
    compressor.start();
    ASSERT_TRUE(recorder.waitForEnd());
    ASSERT_FALSE(recorder.error.has_value()) << recorder.error->description().toStdString();
    const auto probe = MediaTestClips::probe(path("wide.mov"));
    ASSERT_NE(probe.first("video"), nullptr);
    EXPECT_EQ(QSize(probe.first("video")->width, probe.first("video")->height), QSize(854, 480));
    EXPECT_EQ(probe.count("audio"), 0);
}

TEST_F(VideoAssetCompressorRun, KeepsTheSourceRotation)
{
    // ffmpeg turns the tag into a display matrix only when copying the stream.
    ASSERT_TRUE(MediaTestClips::makeVideo(path("upright.mp4"), 320, 240, 1, 0));
    ASSERT_TRUE(MediaTestClips::make(path("turned.mp4"),
                                     {"-i", path("upright.mp4"), "-c", "copy", "-metadata:s:v:0", "rotate=90"}));
    const auto source = MediaTestClips::probe(path("turned.mp4"));
    ASSERT_NE(source.first("video"), nullptr);
    ASSERT_NE(source.first("video")->rotation, 0.0) << "ffmpeg did not tag the test clip";

    VideoAssetCompressor compressor;
    Recorder recorder;
    recorder.attach(compressor);
    compressor.setOutputHeight(240);
    compressor.setInputURL(url("turned.mp4"));
    compressor.setOutputURL(url("turned.mov"));
    compressor.start();
    ASSERT_TRUE(recorder.waitForEnd());
    ASSERT_FALSE(recorder.error.has_value()) << recorder.error->description().toStdString();
    const auto probe = MediaTestClips::probe(path("turned.mov"));
    ASSERT_NE(probe.first("video"), nullptr);
    // Sized from the stored picture; the display matrix carries the turn.
    EXPECT_EQ(QSize(probe.first("video")->width, probe.first("video")->height), QSize(320, 240));
    EXPECT_EQ(probe.first("video")->rotation, source.first("video")->rotation);
}

TEST_F(VideoAssetCompressorRun, SoundWithoutPicturesFailsWithTheNoVideoTrackError)
{
    ASSERT_TRUE(MediaTestClips::make(path("tone.m4a"),
                                     {"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100:duration=1"}));
    VideoAssetCompressor compressor;
    Recorder recorder;
    recorder.attach(compressor);
    compressor.setPreset(VideoAssetCompressorPreset::medium720p());
    compressor.setInputURL(url("tone.m4a"));
    compressor.setOutputURL(url("tone.mov"));
    compressor.start();
    ASSERT_TRUE(recorder.waitForEnd());
    EXPECT_EQ(recorder.doneCount, 1);
    ASSERT_TRUE(recorder.error.has_value());
    EXPECT_EQ(recorder.error->domain, "VideoAssetCompressorErrorDomain");
    EXPECT_EQ(recorder.error->code, 1);
    EXPECT_TRUE(recorder.error->userInfo.isEmpty());
}

TEST_F(VideoAssetCompressorRun, ACancelWhileTheRunIsBeingSetUpEndsItAsCancelledEvenWhenTheSetupFails)
{
    // The set-up fails on the worker (no picture track; no readable media) while the cancel is pending: the caller
    // waits for its cancel block, and the output that the set-up opened must not stay behind.
    ASSERT_TRUE(MediaTestClips::make(path("tone.m4a"),
                                     {"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100:duration=1"}));
    QFile garbage(path("garbage.mp4"));
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write(QByteArray(4096, 'x'));
    garbage.close();
    for (const QString& source : {QStringLiteral("tone.m4a"), QStringLiteral("garbage.mp4")}) {
        SCOPED_TRACE(source.toStdString());
        VideoAssetCompressor compressor;
        Recorder recorder;
        recorder.attach(compressor);
        compressor.setInputURL(url(source));
        compressor.setOutputURL(url("out.mov"));
        compressor.start();
        ASSERT_TRUE(compressor.isActive());
        compressor.cancel(recorder.cancelBlock());
        ASSERT_TRUE(recorder.waitForEnd());
        EXPECT_FALSE(QTest::qWaitFor([&] { return recorder.doneCount + recorder.cancelCount > 1; }, 200));
        EXPECT_EQ(recorder.cancelCount, 1);
        EXPECT_EQ(recorder.doneCount, 0);
        EXPECT_FALSE(compressor.isActive());
        EXPECT_FALSE(QFile::exists(path("out.mov")));
    }
}

TEST_F(VideoAssetCompressorRun, UnreadableOrUnwritableFilesFailWithTheLibraryErrorAndLeaveTheSource)
{
    QFile garbage(path("garbage.mp4"));
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    QByteArray bytes(64 * 1024, '\0');
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char((i * 7919 + 13) % 251);
    garbage.write(bytes);
    garbage.close();

    VideoAssetCompressor compressor;
    Recorder recorder;
    recorder.attach(compressor);
    compressor.setPreset(VideoAssetCompressorPreset::small480p());
    compressor.setInputURL(url("garbage.mp4"));
    compressor.setOutputURL(url("garbage.mov"));
    compressor.start();
    ASSERT_TRUE(recorder.waitForEnd());
    ASSERT_TRUE(recorder.error.has_value());
    EXPECT_EQ(recorder.error->domain, "FFmpegErrorDomain");
    EXPECT_LT(recorder.error->code, 0);
    EXPECT_EQ(fileHash(path("garbage.mp4")), QCryptographicHash::hash(bytes, QCryptographicHash::Sha1));

    // A folder that does not exist cannot take the output.
    recorder = {};
    recorder.attach(compressor);
    compressor.setInputURL(QUrl::fromLocalFile(clipWithSound()));
    compressor.setOutputURL(url("missing-folder/out.mov"));
    compressor.start();
    ASSERT_TRUE(recorder.waitForEnd());
    ASSERT_TRUE(recorder.error.has_value());
    EXPECT_EQ(recorder.error->domain, "FFmpegErrorDomain");

    // Writing over the source is refused before anything is deleted.
    recorder = {};
    recorder.attach(compressor);
    const QByteArray sourceHash = fileHash(clipWithSound());
    compressor.setOutputURL(QUrl::fromLocalFile(clipWithSound()));
    compressor.start();
    EXPECT_EQ(recorder.doneCount, 1);
    ASSERT_TRUE(recorder.error.has_value());
    EXPECT_EQ(recorder.error->domain, "VideoAssetCompressorDomain");
    EXPECT_EQ(fileHash(clipWithSound()), sourceHash);
}

TEST_F(VideoAssetCompressorRun, CancelDuringTheRunGivesOnlyTheCancelBlockAndRemovesTheOutput)
{
    const QString source = clipWithSound();
    const QByteArray sourceHash = fileHash(source);
    VideoAssetCompressor compressor;
    Recorder recorder;
    recorder.attach(compressor);
    compressor.setOnProgressBlock([&](float) {
        if (recorder.cancelCount == 0 && compressor.isActive())
            compressor.cancel(recorder.cancelBlock());
    });
    compressor.setPreset(VideoAssetCompressorPreset::small480p());
    compressor.setInputURL(QUrl::fromLocalFile(source));
    compressor.setOutputURL(url("cancelled.mov"));
    compressor.start();
    ASSERT_TRUE(recorder.waitForEnd());
    EXPECT_FALSE(QTest::qWaitFor([&] { return recorder.doneCount + recorder.cancelCount > 1; }, 300));
    EXPECT_EQ(recorder.cancelCount, 1);
    EXPECT_EQ(recorder.doneCount, 0);
    EXPECT_TRUE(recorder.callbacksOnMainThread);
    EXPECT_FALSE(compressor.isActive());
    EXPECT_FALSE(QFile::exists(path("cancelled.mov")));
    EXPECT_EQ(fileHash(source), sourceHash);
}

TEST_F(VideoAssetCompressorRun, AnOutputMovedAwayMidRunEndsTheRunAsInterruptedLeavingTheMovedFile)
{
    VideoAssetCompressor compressor;
    Recorder recorder;
    recorder.attach(compressor);
    compressor.setOnProgressBlock([&](float progress) {
        if (progress >= 0.3f && !QFile::exists(path("moved.mov"))) {
            EXPECT_TRUE(QFile::rename(path("interrupted.mov"), path("moved.mov")));
        }
    });
    compressor.setPreset(VideoAssetCompressorPreset::small480p());
    compressor.setInputURL(QUrl::fromLocalFile(clipWithSound()));
    compressor.setOutputURL(url("interrupted.mov"));
    compressor.start();
    ASSERT_TRUE(recorder.waitForEnd());
    EXPECT_EQ(recorder.doneCount, 1);
    ASSERT_TRUE(recorder.error.has_value());
    EXPECT_EQ(recorder.error->domain, MediaAssetWriter::kErrorDomain);
    EXPECT_EQ(recorder.error->code, MediaAssetWriter::kErrorOperationInterrupted);
    EXPECT_FALSE(QFile::exists(path("interrupted.mov")));
    EXPECT_TRUE(QFile::exists(path("moved.mov")));
}

TEST_F(VideoAssetCompressorRun, TheDoneCallbackCanStartTheNextRunWithOtherSettings)
{
    ASSERT_TRUE(MediaTestClips::makeVideo(path("small.mp4"), 320, 240, 1, 0));
    VideoAssetCompressor compressor;
    std::vector<std::optional<Error>> results;
    compressor.setOnDoneBlock([&](const std::optional<Error>& error) {
        results.push_back(error);
        if (results.size() == 1) {
            compressor.setOutputHeight(120);
            compressor.setOutputURL(url("second.mov"));
            compressor.start();
        }
    });
    compressor.setPreset(VideoAssetCompressorPreset::small480p());
    compressor.setInputURL(url("small.mp4"));
    compressor.setOutputURL(url("first.mov"));
    compressor.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return results.size() == 2; }, 60000));
    EXPECT_FALSE(results[0].has_value());
    EXPECT_FALSE(results[1].has_value());
    const auto first = MediaTestClips::probe(path("first.mov"));
    const auto second = MediaTestClips::probe(path("second.mov"));
    ASSERT_TRUE(first.first("video") && second.first("video"));
    EXPECT_EQ(first.first("video")->height, 480);
    EXPECT_EQ(QSize(second.first("video")->width, second.first("video")->height), QSize(160, 120));
}

TEST_F(VideoAssetCompressorRun, DestroyingTheCompressorMidRunStopsQuietlyAndRemovesTheOutput)
{
    const QString source = clipWithSound();
    Recorder recorder;
    {
        VideoAssetCompressor compressor;
        recorder.attach(compressor);
        compressor.setPreset(VideoAssetCompressorPreset::small480p());
        compressor.setInputURL(QUrl::fromLocalFile(source));
        compressor.setOutputURL(url("abandoned.mov"));
        compressor.start();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !recorder.progress.empty(); }, 30000));
    }
    EXPECT_FALSE(QTest::qWaitFor([&] { return recorder.doneCount + recorder.cancelCount > 0; }, 200));
    EXPECT_FALSE(QFile::exists(path("abandoned.mov")));
}

// Held for a test, a run waits at its first sample, active and writing nothing, until it is released (it then
// ends as any run) or cancelled (at once, leaving no output); a held compressor that goes is not kept waiting.
TEST_F(VideoAssetCompressorRun, AHeldRunWaitsUntilReleasedOrCancelled)
{
    const QString source = clipWithSound();
    struct Hold {
        Hold() { VideoAssetCompressor::setRunsHeldForTesting(true); }
        ~Hold() { VideoAssetCompressor::setRunsHeldForTesting(false); }
    } hold;
    {
        VideoAssetCompressor compressor;
        Recorder recorder;
        recorder.attach(compressor);
        compressor.setInputURL(QUrl::fromLocalFile(source));
        compressor.setOutputURL(url("released.mov"));
        compressor.start();
        EXPECT_FALSE(recorder.waitForEnd(500));
        EXPECT_TRUE(compressor.isActive());
        EXPECT_TRUE(recorder.progress.empty());
        VideoAssetCompressor::setRunsHeldForTesting(false);
        ASSERT_TRUE(recorder.waitForEnd());
        EXPECT_EQ(recorder.doneCount, 1);
        EXPECT_FALSE(recorder.error.has_value());
        EXPECT_TRUE(QFile::exists(path("released.mov")));
    }
    VideoAssetCompressor::setRunsHeldForTesting(true);
    {
        VideoAssetCompressor compressor;
        Recorder recorder;
        recorder.attach(compressor);
        compressor.setInputURL(QUrl::fromLocalFile(source));
        compressor.setOutputURL(url("cancelled.mov"));
        compressor.start();
        EXPECT_FALSE(recorder.waitForEnd(300));
        compressor.cancel(recorder.cancelBlock());
        ASSERT_TRUE(recorder.waitForEnd(5000));
        EXPECT_EQ(recorder.cancelCount, 1);
        EXPECT_EQ(recorder.doneCount, 0);
        EXPECT_FALSE(QFile::exists(path("cancelled.mov")));
    }
    {
        auto compressor = std::make_unique<VideoAssetCompressor>();
        compressor->setInputURL(QUrl::fromLocalFile(source));
        compressor->setOutputURL(url("dropped.mov"));
        compressor->start();
        QTest::qWait(300);
        compressor.reset();
    }
    EXPECT_TRUE(VideoAssetCompressor::runsHeldForTesting());
}
