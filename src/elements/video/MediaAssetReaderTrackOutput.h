#pragma once

#include <memory>

#include <QString>

#include "elements/video/MediaAsset.h"
#include "elements/video/MediaSampleBuffer.h"
#include "platform/Error.h"

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct MediaAssetReaderState;

// Demuxes and decodes one track. It opens the file on its own, so the outputs of one reader can be read
// concurrently from different threads; each output is read from one thread at a time. Samples come out in
// presentation order, in the decoder's format (YUV pictures, PCM audio), with the stream's timestamps.
class MediaAssetReaderTrackOutput {
public:
    static std::shared_ptr<MediaAssetReaderTrackOutput> assetReaderTrackOutputWithTrack(const MediaTrack& track);
    ~MediaAssetReaderTrackOutput();

    MediaAssetReaderTrackOutput(const MediaAssetReaderTrackOutput&) = delete;
    MediaAssetReaderTrackOutput& operator=(const MediaAssetReaderTrackOutput&) = delete;

    MediaType mediaType() const { return m_track.mediaType; }
    const MediaTrack& track() const { return m_track; }

    // The next sample, or none at the end of the track, after a failure (the reader's status tells which)
    // and once reading has been cancelled.
    std::unique_ptr<MediaSampleBuffer> copyNextSampleBuffer();

private:
    friend class MediaAssetReader;
    explicit MediaAssetReaderTrackOutput(const MediaTrack& track);
    bool open(const QString& path, std::shared_ptr<MediaAssetReaderState> state, Error* error);
    std::unique_ptr<MediaSampleBuffer> makeSample(AVFrame* frame);
    void fail(const Error& error);

    MediaTrack m_track;
    QString m_path;
    std::shared_ptr<MediaAssetReaderState> m_state;
    AVFormatContext* m_format = nullptr;
    AVCodecContext* m_decoder = nullptr;
    AVPacket* m_packet = nullptr;
    bool m_draining = false;
    bool m_atEnd = false;
    int m_decodeErrors = 0;
};
