#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/Error.h"

class MediaAsset;
class MediaAssetReaderTrackOutput;

// Status and first error of one reader, shared with its outputs (which run on other threads).
struct MediaAssetReaderState {
    enum class Status { Unknown, Reading, Completed, Failed, Cancelled };

    std::atomic<Status> status{Status::Unknown};
    std::atomic<int> outputsAtEnd{0};
    int outputCount = 0;
    std::mutex mutex;
    Error error;

    void fail(const Error& failure);
    void outputReachedEnd();
};

// Reads decoded samples from the tracks of a loaded asset, one output per track. Outputs are added before
// startReading(); each then decodes on whatever thread calls it. Created, started and cancelled on one
// thread (the re-encoder's run queue).
class MediaAssetReader {
public:
    using Status = MediaAssetReaderState::Status;

    // Fails with the asset's load error when the asset could not be read.
    static std::unique_ptr<MediaAssetReader> create(std::shared_ptr<MediaAsset> asset, Error* error);

    void addOutput(std::shared_ptr<MediaAssetReaderTrackOutput> output);
    bool startReading(Error* error);
    void cancelReading();

    Status status() const { return m_state->status.load(); }
    Error error() const;

private:
    explicit MediaAssetReader(std::shared_ptr<MediaAsset> asset);

    std::shared_ptr<MediaAsset> m_asset;
    std::shared_ptr<MediaAssetReaderState> m_state;
    std::vector<std::shared_ptr<MediaAssetReaderTrackOutput>> m_outputs;
};
