#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include <QTemporaryDir>
#include <QTest>

#include "MediaTestClips.h"
#include "elements/video/MediaAsset.h"
#include "elements/video/MediaAssetReader.h"
#include "elements/video/MediaAssetReaderTrackOutput.h"
#include "elements/video/MediaAssetWriter.h"
#include "elements/video/MediaAssetWriterInput.h"
#include "elements/video/RWSampleBufferChannel.h"

namespace {

class CountingDelegate : public RWSampleBufferChannelDelegate {
public:
    explicit CountingDelegate(MediaAssetWriter* writer)
        : m_writer(writer)
    {
    }
    void sampleBufferChannel(RWSampleBufferChannel&, const MediaSampleBuffer& sample) override
    {
        ++samples;
        lastTime = sample.presentationTimeStamp().seconds();
    }
    MediaAssetWriter* avAssetWriter() override { return m_writer; }

    std::atomic<int> samples{0};
    std::atomic<double> lastTime{-1};

private:
    MediaAssetWriter* m_writer;
};

// One picture track of a 1 s, 25 fps clip, read and re-written at its own size.
class RWSampleBufferChannelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!MediaTestClips::toolsAvailable())
            GTEST_SKIP() << "ffmpeg and ffprobe are needed to make test clips";
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(MediaTestClips::makeVideo(m_dir.filePath("in.mp4"), 160, 120, 1, 0));
        auto asset = MediaAsset::assetWithURL(QUrl::fromLocalFile(m_dir.filePath("in.mp4")));
        ASSERT_TRUE(asset);
        Error error;
        ASSERT_TRUE(asset->loadValues(&error)) << error.message.toStdString();
        const auto tracks = asset->tracksWithMediaType(MediaType::Video);
        ASSERT_EQ(tracks.size(), 1u);
        reader = MediaAssetReader::create(asset, &error);
        writer = MediaAssetWriter::create(m_dir.filePath("out.mov"), &error);
        ASSERT_TRUE(reader && writer) << error.message.toStdString();
        output = MediaAssetReaderTrackOutput::assetReaderTrackOutputWithTrack(tracks.front());
        reader->addOutput(output);
        VideoWriterSettings settings;
        settings.size = tracks.front().naturalSize;
        settings.timeBaseNum = tracks.front().timeBaseNum;
        settings.timeBaseDen = tracks.front().timeBaseDen;
        input = MediaAssetWriterInput::videoInput(settings, &error);
        ASSERT_TRUE(input) << error.message.toStdString();
        ASSERT_TRUE(writer->addInput(input, &error)) << error.message.toStdString();
    }
    void startBoth()
    {
        Error error;
        ASSERT_TRUE(reader->startReading(&error)) << error.message.toStdString();
        ASSERT_TRUE(writer->startWriting(&error)) << error.message.toStdString();
    }
    QString outputPath() const { return m_dir.filePath("out.mov"); }

    QTemporaryDir m_dir;
    std::unique_ptr<MediaAssetReader> reader;
    std::unique_ptr<MediaAssetWriter> writer;
    std::shared_ptr<MediaAssetReaderTrackOutput> output;
    std::shared_ptr<MediaAssetWriterInput> input;
};

} // namespace

TEST_F(RWSampleBufferChannelTest, CopiesEverySampleWithoutADelegateAndCompletesOnce)
{
    startBoth();
    std::atomic<int> completions{0};
    {
        RWSampleBufferChannel channel(output, input);
        channel.startWithDelegate(nullptr, [&] { ++completions; });
        ASSERT_TRUE(QTest::qWaitFor([&] { return completions > 0; }, 30000));
        channel.cancel(); // after the end: no second completion
        channel.callCompletionHandlerIfNecessary();
        EXPECT_TRUE(channel.finished());
        EXPECT_EQ(channel.mediaType(), MediaType::Video);
    }
    EXPECT_EQ(completions, 1);
    EXPECT_TRUE(input->isFinished());
    EXPECT_EQ(reader->status(), MediaAssetReader::Status::Completed);
    Error error;
    ASSERT_TRUE(writer->finishWriting(&error)) << error.message.toStdString();
    const auto probe = MediaTestClips::probe(outputPath());
    ASSERT_NE(probe.first("video"), nullptr);
    EXPECT_EQ(probe.first("video")->frames, 25);
}

TEST_F(RWSampleBufferChannelTest, CancelBeforeTheFirstTurnEndsWithoutReadingASample)
{
    startBoth();
    CountingDelegate delegate(writer.get());
    std::atomic<int> completions{0};
    RWSampleBufferChannel channel(output, input);
    channel.cancel();
    channel.startWithDelegate(&delegate, [&] { ++completions; });
    channel.cancel();
    ASSERT_TRUE(QTest::qWaitFor([&] { return completions > 0; }, 30000));
    EXPECT_FALSE(QTest::qWaitFor([&] { return completions > 1; }, 100));
    EXPECT_EQ(delegate.samples, 0);
    EXPECT_TRUE(channel.cancelled());
    EXPECT_TRUE(input->isFinished());
}

TEST_F(RWSampleBufferChannelTest, AChannelWhoseWriterHasStoppedStillCompletes)
{
    startBoth();
    writer->cancelWriting();
    CountingDelegate delegate(writer.get());
    std::atomic<int> completions{0};
    RWSampleBufferChannel channel(output, input);
    channel.startWithDelegate(&delegate, [&] { ++completions; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return completions > 0; }, 30000));
    EXPECT_EQ(delegate.samples, 0);
    EXPECT_TRUE(channel.finished());
}

TEST_F(RWSampleBufferChannelTest, TheDelegateSeesEverySampleInPresentationOrderBeforeItIsWritten)
{
    startBoth();
    CountingDelegate delegate(writer.get());
    std::atomic<int> completions{0};
    RWSampleBufferChannel channel(output, input);
    channel.startWithDelegate(&delegate, [&] { ++completions; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return completions > 0; }, 30000));
    EXPECT_EQ(delegate.samples, 25);
    EXPECT_NEAR(delegate.lastTime, 0.96, 1e-6);
}
