#pragma once

#include <array>
#include <functional>
#include <memory>
#include <optional>

#include <QSize>
#include <QString>

#include "elements/video/MediaSampleBuffer.h"
#include "platform/Error.h"

struct AVAudioFifo;
struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct AVStream;
struct SwrContext;
struct SwsContext;
class MediaAssetWriter;
class SerialDispatchQueue;

// H.264 settings of a video writer input. The size must be even (4:2:0 pictures).
struct VideoWriterSettings {
    QSize size;
    std::optional<qint64> averageBitRate;      // bit/s; none: the encoder's constant-quality default
    QString profileLevel;                      // "H264_<Profile>_<Level|AutoLevel>", e.g. "H264_Main_3_1"
    std::optional<qint64> maxKeyFrameInterval; // frames
    QSize pixelAspectRatio;                    // empty: square pixels
    int timeBaseNum = 1;                       // the time base of the samples appended
    int timeBaseDen = 90000;
    int frameRateNum = 0; // the source's average frame rate, 0/0 when unknown
    int frameRateDen = 0;
};

// AAC settings of an audio writer input.
struct AudioWriterSettings {
    qint64 bitRate = 128000;
    int sampleRate = 44100;
    int channelCount = 2;
};

// Converts decoded samples to its encoder's format (one scaling for pictures, one resampling for sound),
// encodes them and hands the packets to its writer. Appending and finishing happen on one thread at a
// time (the pumping channel's queue); readiness is decided by the writer, which keeps the tracks of one
// file interleaved within about a second of each other.
class MediaAssetWriterInput {
public:
    static std::shared_ptr<MediaAssetWriterInput> videoInput(const VideoWriterSettings& settings, Error* error);
    static std::shared_ptr<MediaAssetWriterInput> audioInput(const AudioWriterSettings& settings, Error* error);
    ~MediaAssetWriterInput();

    MediaAssetWriterInput(const MediaAssetWriterInput&) = delete;
    MediaAssetWriterInput& operator=(const MediaAssetWriterInput&) = delete;

    MediaType mediaType() const { return m_type; }
    const VideoWriterSettings& videoSettings() const { return m_videoSettings; }

    // The display matrix written with the track (rotation of the source kept); set before writing starts.
    void setTransform(const std::array<qint32, 9>& matrix) { m_transform = matrix; }
    const std::optional<std::array<qint32, 9>>& transform() const { return m_transform; }

    // Calls `block` on `queue` now and again whenever the input turns ready after having said it was not.
    void requestMediaDataWhenReady(SerialDispatchQueue* queue, std::function<void()> block);
    bool isReadyForMoreMediaData();
    // False once the writer has failed or stopped; the sample is then dropped.
    bool appendSampleBuffer(const MediaSampleBuffer& sample);
    // Drains the encoder into the file; later appends fail.
    void markAsFinished();
    bool isFinished() const { return m_finished; }

private:
    friend class MediaAssetWriter;
    MediaAssetWriterInput(MediaType type, AVCodecContext* encoder);

    bool appendVideo(const MediaSampleBuffer& sample);
    bool appendAudio(const MediaSampleBuffer& sample);
    bool pushAudioFrames(bool flush);
    bool encode(AVFrame* frame);
    void failWith(const Error& error);

    MediaType m_type;
    AVCodecContext* m_encoder = nullptr;
    VideoWriterSettings m_videoSettings;
    std::optional<std::array<qint32, 9>> m_transform;
    MediaAssetWriter* m_writer = nullptr; // set when added; the writer outlives the run's appends
    AVStream* m_stream = nullptr;
    AVPacket* m_packet = nullptr;
    bool m_finished = false;

    SwsContext* m_scaler = nullptr;
    qint64 m_lastVideoPts = 0;
    bool m_hasVideoPts = false;

    SwrContext* m_resampler = nullptr;
    AVAudioFifo* m_fifo = nullptr;
    int m_resamplerInputFormat = -1;
    int m_resamplerInputRate = 0;
    int m_resamplerInputChannels = 0;
    qint64 m_nextAudioPts = -1;

    // Guarded by the writer's mutex.
    SerialDispatchQueue* m_requestQueue = nullptr;
    std::function<void()> m_requestBlock;
    bool m_waiting = false;
    bool m_hasAppended = false;
    double m_appendedUntil = 0;
};
