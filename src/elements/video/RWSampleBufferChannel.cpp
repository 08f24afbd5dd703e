#include "elements/video/RWSampleBufferChannel.h"

#include "elements/video/MediaAssetReaderTrackOutput.h"
#include "elements/video/MediaAssetWriter.h"
#include "elements/video/MediaAssetWriterInput.h"
#include "elements/video/VideoLogging.h"

RWSampleBufferChannel::RWSampleBufferChannel(std::shared_ptr<MediaAssetReaderTrackOutput> assetReaderOutput,
                                             std::shared_ptr<MediaAssetWriterInput> assetWriterInput)
    : m_assetReaderOutput(std::move(assetReaderOutput))
    , m_assetWriterInput(std::move(assetWriterInput))
    , m_serializationQueue(QStringLiteral("%1 serialization queue")
                               .arg(m_assetReaderOutput->mediaType() == MediaType::Video ? QStringLiteral("video")
                                                                                         : QStringLiteral("audio")))
{
}

RWSampleBufferChannel::~RWSampleBufferChannel()
{
    m_serializationQueue.stop();
}

MediaType RWSampleBufferChannel::mediaType() const
{
    return m_assetReaderOutput->mediaType();
}

void RWSampleBufferChannel::startWithDelegate(RWSampleBufferChannelDelegate* delegate,
                                              std::function<void()> completionHandler)
{
    m_completionHandler = std::move(completionHandler);
    m_delegate = delegate;
    MediaAssetWriter* writer = delegate ? delegate->avAssetWriter() : nullptr;
    const auto status = writer ? writer->status() : MediaAssetWriter::Status::Writing;
    if (status == MediaAssetWriter::Status::Completed || status == MediaAssetWriter::Status::Cancelled ||
        status == MediaAssetWriter::Status::Failed) {
        if (status == MediaAssetWriter::Status::Failed)
            qCWarning(lcVideo).noquote() << "WRITE ERROR!" << writer->error().description();
        // Nothing will be pumped, but the run waiting for this channel must still end.
        m_serializationQueue.async([this] { callCompletionHandlerIfNecessary(); });
        return;
    }
    m_started = true;
    m_assetWriterInput->requestMediaDataWhenReady(&m_serializationQueue, [this] { pump(); });
}

void RWSampleBufferChannel::callCompletionHandlerIfNecessary()
{
    const bool firstCall = !m_completionCalled;
    m_completionCalled = true;
    m_finished = true;
    if (!firstCall)
        return;
    m_assetWriterInput->markAsFinished();
    auto handler = std::move(m_completionHandler);
    m_completionHandler = nullptr;
    if (handler)
        handler();
}

void RWSampleBufferChannel::cancel()
{
    m_cancelled = true;
    if (m_started)
        m_serializationQueue.async([this] { pump(); });
}

void RWSampleBufferChannel::pump()
{
    if (m_finished)
        return;
    if (m_cancelled) {
        callCompletionHandlerIfNecessary();
        return;
    }
    if (!m_assetWriterInput->isReadyForMoreMediaData())
        return;
    bool done = false;
    do {
        if (m_cancelled) {
            callCompletionHandlerIfNecessary();
            return;
        }
        std::unique_ptr<MediaSampleBuffer> sample = m_assetReaderOutput->copyNextSampleBuffer();
        if (!sample) {
            done = true;
        } else {
            if (m_delegate)
                m_delegate->sampleBufferChannel(*this, *sample);
            if (!m_assetWriterInput->appendSampleBuffer(*sample))
                done = true;
        }
    } while (!done && m_assetWriterInput->isReadyForMoreMediaData());
    if (done)
        callCompletionHandlerIfNecessary();
}
