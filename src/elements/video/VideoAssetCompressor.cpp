#include "elements/video/VideoAssetCompressor.h"

#include <cmath>

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include "elements/video/DispatchGroup.h"
#include "elements/video/MediaAsset.h"
#include "elements/video/MediaAssetReader.h"
#include "elements/video/MediaAssetReaderTrackOutput.h"
#include "elements/video/MediaAssetWriter.h"
#include "elements/video/MediaAssetWriterInput.h"
#include "elements/video/SerialDispatchQueue.h"
#include "elements/video/VideoLogging.h"
#include "tessarine_data_model/VideoAssetCompressorPreset.h"

namespace {

constexpr qint64 kAudioBitRate = 128000;
constexpr int kAudioSampleRate = 44100;
constexpr int kAudioChannels = 2;

int nearestEven(double pixels)
{
    return qMax(2, int(std::lround(pixels / 2.0)) * 2);
}

std::atomic<int> s_progressLogCounter{0};

// Held runs (tests): they wait at their first sample until released or cancelled.
std::mutex s_holdMutex;
std::condition_variable s_holdChanged;
bool s_runsHeld = false;

void wakeHeldRuns()
{
    {
        std::lock_guard lock(s_holdMutex);
    }
    s_holdChanged.notify_all();
}

} // namespace

void VideoAssetCompressor::setRunsHeldForTesting(bool held)
{
    {
        std::lock_guard lock(s_holdMutex);
        s_runsHeld = held;
    }
    s_holdChanged.notify_all();
}

bool VideoAssetCompressor::runsHeldForTesting()
{
    std::lock_guard lock(s_holdMutex);
    return s_runsHeld;
}

VideoAssetCompressor::VideoAssetCompressor() = default;

VideoAssetCompressor::~VideoAssetCompressor()
{
    if (m_isActive)
        cancelChannels();
    wakeHeldRuns();
    {
        std::unique_lock lock(m_workerMutex);
        m_workerEnded.wait(lock, [this] { return !m_workerRunning; });
    }
    m_serializationQueue.reset();
    cleanupForReuse();
}

void VideoAssetCompressor::setPreset(std::shared_ptr<VideoAssetCompressorPreset> preset)
{
    if (preset) {
        m_bitrate = preset->bitrate();
        m_outputHeight = preset->outputHeight();
        m_outputWidth = preset->outputWidth();
        m_videoProfileLevel = preset->videoProfileLevel();
        m_maxKeyFrameInterval = preset->maxKeyFrameInterval();
    }
    m_preset = std::move(preset);
}

void VideoAssetCompressor::setBitrate(std::optional<qint64> bitsPerSecond)
{
    m_preset.reset();
    m_bitrate = bitsPerSecond;
}

void VideoAssetCompressor::setOutputHeight(double pixels)
{
    m_preset.reset();
    m_outputHeight = pixels;
}

void VideoAssetCompressor::setOutputWidth(double pixels)
{
    m_preset.reset();
    m_outputWidth = pixels;
}

void VideoAssetCompressor::setVideoProfileLevel(const QString& level)
{
    m_preset.reset();
    m_videoProfileLevel = level;
}

void VideoAssetCompressor::setMaxKeyFrameInterval(std::optional<qint64> frames)
{
    m_preset.reset();
    m_maxKeyFrameInterval = frames;
}

QSize VideoAssetCompressor::outputSizeForSource(QSize source, double outputWidth, double outputHeight)
{
    const bool widthSet = outputWidth > 0;
    const bool heightSet = outputHeight > 0;
    double width = source.width();
    double height = source.height();
    if (widthSet && heightSet) {
        width = outputWidth;
        height = outputHeight;
    } else if (widthSet && source.width() > 0) {
        const float ratio = float(source.height()) / float(source.width());
        width = outputWidth;
        height = float(outputWidth * ratio);
    } else if (heightSet && source.height() > 0) {
        const float ratio = float(source.width()) / float(source.height());
        height = outputHeight;
        width = float(outputHeight * ratio);
    }
    return QSize(nearestEven(width), nearestEven(height));
}

void VideoAssetCompressor::runOnMainThread(std::function<void()> task)
{
    if (m_mainThreadInbox.isCurrent())
        task();
    else
        m_mainThreadInbox.post(std::move(task));
}

void VideoAssetCompressor::start()
{
    if (m_isActive)
        return;
    // The previous run's worker has handed over its ending; this waits for it to return.
    m_serializationQueue.reset();
    m_cancelled = false;
    m_isActive = true;
    m_lastProgress = 0;
    m_serializationQueue = std::make_unique<SerialDispatchQueue>(
        QStringLiteral("%1 serialization queue").arg(QRandomGenerator::global()->bounded(2147483647)));

    m_asset = MediaAsset::assetWithURL(m_inputURL);
    if (!m_asset) {
        m_isActive = false;
        doOnDone(Error(kDomain, 1, QStringLiteral("Could not load video asset")));
        return;
    }
    m_outputPath = m_outputURL.isLocalFile() ? m_outputURL.toLocalFile() : QString();
    // Removing the old output first must never remove the source.
    const QFileInfo input(m_asset->path());
    const QFileInfo output(m_outputPath);
    if (!m_outputPath.isEmpty() && (input.absoluteFilePath() == output.absoluteFilePath() ||
                                    (input.exists() && input.canonicalFilePath() == output.canonicalFilePath()))) {
        m_isActive = false;
        doOnDone(Error(kDomain, 1, QStringLiteral("The output file is the source file: %1").arg(m_outputPath)));
        return;
    }
    if (!m_outputPath.isEmpty())
        QFile::remove(m_outputPath);

    {
        std::lock_guard lock(m_workerMutex);
        m_workerRunning = true;
    }
    m_serializationQueue->async([this] { loadAndStart(); });
}

void VideoAssetCompressor::cancel(std::function<void()> block)
{
    if (!m_isActive) {
        if (block)
            block();
        return;
    }
    m_cancelBlock = std::move(block);
    cancelChannels();
    wakeHeldRuns();
}

void VideoAssetCompressor::cancelChannels()
{
    std::lock_guard lock(m_channelMutex);
    m_cancelled = true;
    if (m_audioSampleBufferChannel)
        m_audioSampleBufferChannel->cancel();
    if (m_videoSampleBufferChannel)
        m_videoSampleBufferChannel->cancel();
}

void VideoAssetCompressor::loadAndStart()
{
    // The outcome of loading is looked at by the reader's creation, which reports the load error.
    m_asset->loadValues(nullptr);
    m_timeRangeStart = {0, 1};
    m_timeRangeDuration = m_asset->duration();

    Error error;
    if (!setUpReaderAndWriterReturningError(&error)) {
        qCWarning(lcVideo).noquote() << "Error setting up:" << error.description();
        endRunWithError(error);
        return;
    }
    if (!startReadingAndWritingReturningError(&error)) {
        qCWarning(lcVideo).noquote() << "Error reading and writing:" << error.description();
        endRunWithError(error);
    }
}

void VideoAssetCompressor::endRunWithError(const Error& error)
{
    endRunFromWorker([this, error] {
        // The caller of a cancel waits for its block: a cancel that came before this ending ran ends the run as
        // cancelled, whatever went wrong, and takes away the output the run may have opened or half written.
        if (!m_cancelled) {
            doOnDone(error);
            return;
        }
        cleanupForReuse();
        if (!m_outputPath.isEmpty())
            QFile::remove(m_outputPath);
        doCancel();
    });
}

bool VideoAssetCompressor::setUpReaderAndWriterReturningError(Error* error)
{
    m_assetReader = MediaAssetReader::create(m_asset, error);
    if (!m_assetReader)
        return false;
    m_assetWriter = MediaAssetWriter::create(m_outputPath, error);
    if (!m_assetWriter)
        return false;

    std::unique_ptr<RWSampleBufferChannel> audioChannel;
    const auto audioTracks = m_asset->tracksWithMediaType(MediaType::Audio);
    if (!audioTracks.empty()) {
        auto output = MediaAssetReaderTrackOutput::assetReaderTrackOutputWithTrack(audioTracks.front());
        m_assetReader->addOutput(output);
        AudioWriterSettings settings;
        settings.bitRate = kAudioBitRate;
        settings.sampleRate = kAudioSampleRate;
        settings.channelCount = kAudioChannels;
        auto input = MediaAssetWriterInput::audioInput(settings, error);
        if (!input || !m_assetWriter->addInput(input, error))
            return false;
        audioChannel = std::make_unique<RWSampleBufferChannel>(output, input);
    }

    const auto videoTracks = m_asset->tracksWithMediaType(MediaType::Video);
    if (videoTracks.empty()) {
        setError(error, Error(kErrorDomain, 1, QStringLiteral("%1 has no video track").arg(m_asset->path())));
        std::lock_guard lock(m_channelMutex);
        m_audioSampleBufferChannel = std::move(audioChannel);
        return false;
    }
    const MediaTrack& track = videoTracks.front();
    auto output = MediaAssetReaderTrackOutput::assetReaderTrackOutputWithTrack(track);
    m_assetReader->addOutput(output);

    VideoWriterSettings settings;
    settings.size = outputSizeForSource(track.naturalSize, m_outputWidth, m_outputHeight);
    settings.averageBitRate = m_bitrate;
    settings.profileLevel = m_videoProfileLevel;
    settings.maxKeyFrameInterval = m_maxKeyFrameInterval;
    settings.pixelAspectRatio = track.pixelAspectRatio;
    if (track.timeBaseNum > 0 && track.timeBaseDen > 0) {
        settings.timeBaseNum = track.timeBaseNum;
        settings.timeBaseDen = track.timeBaseDen;
    }
    settings.frameRateNum = track.frameRateNum;
    settings.frameRateDen = track.frameRateDen;
    auto input = MediaAssetWriterInput::videoInput(settings, error);
    if (!input)
        return false;
    if (track.hasPreferredTransform)
        input->setTransform(track.preferredTransform);
    if (!m_assetWriter->addInput(input, error))
        return false;

    std::lock_guard lock(m_channelMutex);
    m_audioSampleBufferChannel = std::move(audioChannel);
    m_videoSampleBufferChannel = std::make_unique<RWSampleBufferChannel>(output, input);
    return true;
}

bool VideoAssetCompressor::startReadingAndWritingReturningError(Error* error)
{
    m_runTimer.start();
    if (!m_assetReader->startReading(error))
        return false;
    if (!m_assetWriter->startWriting(error))
        return false;

    m_group = std::make_unique<DispatchGroup>();
    m_assetWriter->startSessionAtSourceTime(m_timeRangeStart);
    DispatchGroup* group = m_group.get();
    // Progress comes from the picture track alone when there is one.
    if (m_audioSampleBufferChannel) {
        group->enter();
        m_audioSampleBufferChannel->startWithDelegate(m_videoSampleBufferChannel ? nullptr : this,
                                                      [group] { group->leave(); });
    }
    if (m_videoSampleBufferChannel) {
        group->enter();
        m_videoSampleBufferChannel->startWithDelegate(this, [group] { group->leave(); });
    }
    {
        // A cancel that came while loading or setting up stops both channels at their first turn.
        std::lock_guard lock(m_channelMutex);
        if (m_cancelled) {
            if (m_audioSampleBufferChannel)
                m_audioSampleBufferChannel->cancel();
            if (m_videoSampleBufferChannel)
                m_videoSampleBufferChannel->cancel();
        }
    }
    group->notify(m_serializationQueue.get(), [this] { finish(); });
    return true;
}

void VideoAssetCompressor::sampleBufferChannel(RWSampleBufferChannel& channel, const MediaSampleBuffer& sample)
{
    {
        std::unique_lock lock(s_holdMutex);
        s_holdChanged.wait(lock, [this] { return !s_runsHeld || m_cancelled; });
    }
    if (m_cancelled)
        channel.cancel();
    double elapsed = sample.presentationTimeStamp().seconds() - m_timeRangeStart.seconds();
    if (sample.duration().isValid())
        elapsed += sample.duration().seconds();
    const double total = m_timeRangeDuration.seconds();
    // A clip whose duration is not known reports 0 rather than NaN or infinity.
    double progress = total > 0 ? elapsed / total : 0.0;
    if (!std::isfinite(progress))
        progress = 0.0;
    progress = qMax(progress, m_lastProgress);
    m_lastProgress = progress;
    runOnMainThread([this, progress] {
        if (m_onProgressBlock)
            m_onProgressBlock(float(progress));
    });
    if (s_progressLogCounter.fetch_add(1) >= 10) {
        s_progressLogCounter = 0;
        qCDebug(lcVideo, "Progress: %f", progress);
    }
}

void VideoAssetCompressor::finish()
{
    if (m_cancelled) {
        m_assetReader->cancelReading();
        m_assetWriter->cancelWriting();
        QFile::remove(m_outputPath);
        endRunFromWorker([this] { doCancel(); });
        return;
    }
    if (m_assetReader->status() == MediaAssetReader::Status::Failed) {
        const Error error = m_assetReader->error();
        qCWarning(lcVideo).noquote() << "reading" << m_asset->path() << "failed:" << error.description();
        endRunWithError(error);
        return;
    }
    Error writeError;
    std::optional<Error> result;
    if (!m_assetWriter->finishWriting(&writeError))
        result = writeError;
    qCDebug(lcVideo).noquote() << QStringLiteral("Done in %1 seconds").arg(m_runTimer.elapsed() / 1000.0)
                               << (result ? result->description() : QString());
    endRunFromWorker([this, result] {
        // A cancel that arrives while the file is being finished leaves the finished file in place.
        if (m_cancelled)
            doCancel();
        else
            doOnDone(result);
    });
}

void VideoAssetCompressor::endRunFromWorker(std::function<void()> mainThreadEnding)
{
    runOnMainThread(std::move(mainThreadEnding));
    std::lock_guard lock(m_workerMutex);
    m_workerRunning = false;
    m_workerEnded.notify_all();
}

void VideoAssetCompressor::doOnDone(const std::optional<Error>& error)
{
    cleanupForReuse();
    m_isActive = false;
    m_cancelBlock = nullptr;
    if (m_onDoneBlock) {
        auto block = m_onDoneBlock;
        block(error);
    }
}

void VideoAssetCompressor::doCancel()
{
    m_cancelled = false;
    cleanupForReuse();
    m_isActive = false;
    auto block = std::move(m_cancelBlock);
    m_cancelBlock = nullptr;
    if (block)
        block();
}

void VideoAssetCompressor::cleanupForReuse()
{
    std::unique_ptr<RWSampleBufferChannel> video;
    std::unique_ptr<RWSampleBufferChannel> audio;
    {
        std::lock_guard lock(m_channelMutex);
        video = std::move(m_videoSampleBufferChannel);
        audio = std::move(m_audioSampleBufferChannel);
    }
    video.reset();
    audio.reset();
    m_assetReader.reset();
    m_assetWriter.reset();
    m_group.reset();
}
