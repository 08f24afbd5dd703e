#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include <QElapsedTimer>
#include <QSize>
#include <QString>
#include <QUrl>

#include "elements/video/MediaSampleBuffer.h"
#include "elements/video/RWSampleBufferChannel.h"
#include "platform/Error.h"
#include "platform/ThreadInbox.h"

class DispatchGroup;
class MediaAsset;
class MediaAssetReader;
class MediaAssetWriter;
class SerialDispatchQueue;
class VideoAssetCompressorPreset;

// Re-encodes one video file into a QuickTime movie: H.264 (libx264) at the preset's size and bit rate,
// the source's rotation kept, and the first audio track as AAC 128 kbit/s, 44.1 kHz stereo.
//
// Threads: configuration, start() and cancel() belong to the main thread. A run loads and sets up on a
// serial queue of its own, pumps each track on its channel's queue and finishes on the run's queue.
// Progress, done and cancel callbacks run on the main thread; a worker hands them over without waiting
// for the main thread (so the main thread may wait for a worker), and a hand-over that starts on the main
// thread runs the callback at once: "Could not load video asset" is reported before start() returns and
// cancel() while idle calls its block before returning. Before an ending callback runs, the compressor is
// idle and its reader, writer and channels are gone, so the callback may start the next run.
//
// One object serves any number of runs in sequence. Destroying it during a run cancels the run, waits
// for its workers to wind down (they never wait for the main thread) and drops its pending callbacks.
class VideoAssetCompressor : public RWSampleBufferChannelDelegate {
public:
    inline static const QString kDomain = QStringLiteral("VideoAssetCompressorDomain");
    inline static const QString kErrorDomain = QStringLiteral("VideoAssetCompressorErrorDomain");

    VideoAssetCompressor();
    ~VideoAssetCompressor() override;

    VideoAssetCompressor(const VideoAssetCompressor&) = delete;
    VideoAssetCompressor& operator=(const VideoAssetCompressor&) = delete;

    // Copies the preset's bit rate, height, width, profile level and key-frame interval, then keeps it.
    // None: forgets the preset and leaves the five values in force.
    void setPreset(std::shared_ptr<VideoAssetCompressorPreset> preset);
    std::shared_ptr<VideoAssetCompressorPreset> preset() const { return m_preset; }
    // Each of these forgets the preset first: a preset is remembered only while the fields hold its values.
    void setBitrate(std::optional<qint64> bitsPerSecond);
    void setOutputHeight(double pixels);
    void setOutputWidth(double pixels);
    void setVideoProfileLevel(const QString& level);
    void setMaxKeyFrameInterval(std::optional<qint64> frames);
    std::optional<qint64> bitrate() const { return m_bitrate; }
    double outputHeight() const { return m_outputHeight; }
    double outputWidth() const { return m_outputWidth; }
    QString videoProfileLevel() const { return m_videoProfileLevel; }
    std::optional<qint64> maxKeyFrameInterval() const { return m_maxKeyFrameInterval; }

    void setInputURL(const QUrl& url) { m_inputURL = url; }
    QUrl inputURL() const { return m_inputURL; }
    void setOutputURL(const QUrl& url) { m_outputURL = url; }
    QUrl outputURL() const { return m_outputURL; }
    // The fraction of the source's duration written so far: never NaN, never decreasing within a run.
    void setOnProgressBlock(std::function<void(float)> block) { m_onProgressBlock = std::move(block); }
    // Once per run not ended by a cancel: no error when the output file is complete.
    void setOnDoneBlock(std::function<void(const std::optional<Error>&)> block) { m_onDoneBlock = std::move(block); }

    // Ignored while a run is active.
    void start();
    // During a run: the block (replacing one given earlier) runs once the run has wound down and the output
    // has been removed. While idle: calls the block at once.
    void cancel(std::function<void()> block);
    bool isActive() const { return m_isActive; }

    // Output picture size for a source of `source` pixels (rotation ignored) and the requested sides
    // (0 = derive from the other side and the source's aspect; both 0 = the source size). Sides are rounded
    // to the nearest even number of pixels, as 4:2:0 H.264 requires; smaller sources are enlarged.
    static QSize outputSizeForSource(QSize source, double outputWidth, double outputHeight);

    // Tests: while held, every run waits at its first sample, active, until released or cancelled, so that a
    // re-encoding still under way is a starting condition made rather than a race with the encoder.
    static void setRunsHeldForTesting(bool held);
    static bool runsHeldForTesting();

    // RWSampleBufferChannelDelegate
    MediaAssetWriter* avAssetWriter() override { return m_assetWriter.get(); }
    void sampleBufferChannel(RWSampleBufferChannel& channel, const MediaSampleBuffer& sample) override;

private:
    void loadAndStart();
    bool setUpReaderAndWriterReturningError(Error* error);
    bool startReadingAndWritingReturningError(Error* error);
    void finish();
    void endRunWithError(const Error& error);
    void endRunFromWorker(std::function<void()> mainThreadEnding);
    void doOnDone(const std::optional<Error>& error);
    void doCancel();
    // Marks the run cancelled and cancels both sample channels, under the channel lock.
    void cancelChannels();
    void cleanupForReuse();
    void runOnMainThread(std::function<void()> task);

    // Configuration: main thread only; read by the run's workers while the run is active.
    std::shared_ptr<VideoAssetCompressorPreset> m_preset;
    std::optional<qint64> m_bitrate;
    double m_outputHeight = 0;
    double m_outputWidth = 0;
    QString m_videoProfileLevel;
    std::optional<qint64> m_maxKeyFrameInterval;
    QUrl m_inputURL;
    QUrl m_outputURL;
    std::function<void(float)> m_onProgressBlock;
    std::function<void(const std::optional<Error>&)> m_onDoneBlock;
    std::function<void()> m_cancelBlock;

    // The run.
    std::atomic<bool> m_isActive{false};
    std::atomic<bool> m_cancelled{false};
    std::shared_ptr<MediaAsset> m_asset;
    MediaTime m_timeRangeStart;
    MediaTime m_timeRangeDuration;
    QString m_outputPath;
    std::unique_ptr<SerialDispatchQueue> m_serializationQueue;
    std::unique_ptr<MediaAssetReader> m_assetReader;
    std::unique_ptr<MediaAssetWriter> m_assetWriter;
    std::unique_ptr<DispatchGroup> m_group;
    std::mutex m_channelMutex; // the channel fields, between the run's setup and cancel()
    std::unique_ptr<RWSampleBufferChannel> m_audioSampleBufferChannel;
    std::unique_ptr<RWSampleBufferChannel> m_videoSampleBufferChannel;
    double m_lastProgress = 0; // the progress channel's queue only
    QElapsedTimer m_runTimer;

    std::mutex m_workerMutex;
    std::condition_variable m_workerEnded;
    bool m_workerRunning = false;

    ThreadInbox m_mainThreadInbox; // the creating thread's; pending hand-overs die with it
};
