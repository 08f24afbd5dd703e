#pragma once

#include <atomic>
#include <functional>
#include <memory>

#include "elements/video/MediaSampleBuffer.h"
#include "elements/video/SerialDispatchQueue.h"

class MediaAssetReaderTrackOutput;
class MediaAssetWriter;
class MediaAssetWriterInput;
class RWSampleBufferChannel;

class RWSampleBufferChannelDelegate {
public:
    virtual ~RWSampleBufferChannelDelegate() = default;
    // Called on the channel's queue for every sample, before it is appended; the sample is only lent.
    virtual void sampleBufferChannel(RWSampleBufferChannel& channel, const MediaSampleBuffer& sample) = 0;
    // The writer that owns the channel's writer input.
    virtual MediaAssetWriter* avAssetWriter() = 0;
};

// Moves the samples of one track from a reader output into a writer input, as fast as the input accepts
// them, on a serial queue of its own. Ends (input marked finished, completion called once, on the channel's
// queue) at the end of the track, on a read or append failure, when cancelled, and also when its writer
// has already stopped at start, so that whoever waits for the completion is never left waiting.
// Used for one run. Destroying it waits for a pump turn in progress.
class RWSampleBufferChannel {
public:
    RWSampleBufferChannel(std::shared_ptr<MediaAssetReaderTrackOutput> assetReaderOutput,
                          std::shared_ptr<MediaAssetWriterInput> assetWriterInput);
    ~RWSampleBufferChannel();

    RWSampleBufferChannel(const RWSampleBufferChannel&) = delete;
    RWSampleBufferChannel& operator=(const RWSampleBufferChannel&) = delete;

    // `delegate` may be null: samples are then copied without a per-sample call.
    void startWithDelegate(RWSampleBufferChannelDelegate* delegate, std::function<void()> completionHandler);
    // Any thread; the pump notices at its next turn (one is scheduled at once, so a channel whose
    // input is holding back for the other track still ends promptly).
    void cancel();
    void callCompletionHandlerIfNecessary();

    bool cancelled() const { return m_cancelled; }
    bool finished() const { return m_finished; }
    MediaType mediaType() const;

private:
    void pump();

    std::shared_ptr<MediaAssetReaderTrackOutput> m_assetReaderOutput;
    std::shared_ptr<MediaAssetWriterInput> m_assetWriterInput;
    std::function<void()> m_completionHandler; // touched on the queue only once started
    RWSampleBufferChannelDelegate* m_delegate = nullptr;
    std::atomic<bool> m_cancelled{false};
    std::atomic<bool> m_finished{false};
    std::atomic<bool> m_started{false};
    bool m_completionCalled = false;
    SerialDispatchQueue m_serializationQueue;
};
