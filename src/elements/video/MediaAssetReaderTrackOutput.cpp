#include "elements/video/MediaAssetReaderTrackOutput.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "elements/video/FFmpegError.h"
#include "elements/video/MediaAssetReader.h"
#include "elements/video/VideoLogging.h"

namespace {
// A damaged packet here and there is concealed by the decoder, as players do; a stream that keeps
// failing is not worth encoding.
constexpr int kMaximumDecodeErrors = 100;
} // namespace

std::shared_ptr<MediaAssetReaderTrackOutput>
MediaAssetReaderTrackOutput::assetReaderTrackOutputWithTrack(const MediaTrack& track)
{
    return std::shared_ptr<MediaAssetReaderTrackOutput>(new MediaAssetReaderTrackOutput(track));
}

MediaAssetReaderTrackOutput::MediaAssetReaderTrackOutput(const MediaTrack& track)
    : m_track(track)
{
}

MediaAssetReaderTrackOutput::~MediaAssetReaderTrackOutput()
{
    av_packet_free(&m_packet);
    avcodec_free_context(&m_decoder);
    avformat_close_input(&m_format);
}

bool MediaAssetReaderTrackOutput::open(const QString& path, std::shared_ptr<MediaAssetReaderState> state, Error* error)
{
    m_path = path;
    m_state = std::move(state);
    const QByteArray encodedPath = path.toUtf8();
    int result = avformat_open_input(&m_format, encodedPath.constData(), nullptr, nullptr);
    if (result < 0) {
        setError(error, ffmpegError(result, QStringLiteral("Cannot open %1").arg(path)));
        return false;
    }
    result = avformat_find_stream_info(m_format, nullptr);
    if (result < 0) {
        setError(error, ffmpegError(result, QStringLiteral("Cannot read the streams of %1").arg(path)));
        return false;
    }
    if (m_track.streamIndex < 0 || unsigned(m_track.streamIndex) >= m_format->nb_streams) {
        setError(error, ffmpegError(AVERROR_STREAM_NOT_FOUND, QStringLiteral("Cannot find a track of %1").arg(path)));
        return false;
    }
    // Only this track's packets are wanted; the demuxer skips the others' data.
    for (unsigned i = 0; i < m_format->nb_streams; ++i)
        m_format->streams[i]->discard = int(i) == m_track.streamIndex ? AVDISCARD_DEFAULT : AVDISCARD_ALL;

    const AVStream* stream = m_format->streams[m_track.streamIndex];
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec) {
        setError(error, ffmpegError(AVERROR_DECODER_NOT_FOUND,
                                    QStringLiteral("No decoder for %1 in %2")
                                        .arg(QString::fromUtf8(avcodec_get_name(stream->codecpar->codec_id)), path)));
        return false;
    }
    m_decoder = avcodec_alloc_context3(codec);
    m_packet = av_packet_alloc();
    if (!m_decoder || !m_packet) {
        setError(error, ffmpegError(AVERROR(ENOMEM), QStringLiteral("Cannot decode %1").arg(path)));
        return false;
    }
    result = avcodec_parameters_to_context(m_decoder, stream->codecpar);
    if (result >= 0) {
        m_decoder->pkt_timebase = stream->time_base;
        m_decoder->thread_count = 0; // as many as the machine has
        result = avcodec_open2(m_decoder, codec, nullptr);
    }
    if (result < 0) {
        setError(error, ffmpegError(result, QStringLiteral("Cannot open the decoder for %1").arg(path)));
        return false;
    }
    return true;
}

void MediaAssetReaderTrackOutput::fail(const Error& error)
{
    qCWarning(lcVideo) << "reading failed:" << error.message;
    m_atEnd = true;
    m_state->fail(error);
}

std::unique_ptr<MediaSampleBuffer> MediaAssetReaderTrackOutput::copyNextSampleBuffer()
{
    if (m_atEnd || !m_state || m_state->status != MediaAssetReaderState::Status::Reading)
        return nullptr;
    AVFrame* frame = av_frame_alloc();
    if (!frame) {
        fail(ffmpegError(AVERROR(ENOMEM), m_path));
        return nullptr;
    }
    for (;;) {
        int result = avcodec_receive_frame(m_decoder, frame);
        if (result == 0)
            return makeSample(frame);
        if (result == AVERROR_EOF) {
            av_frame_free(&frame);
            m_atEnd = true;
            m_state->outputReachedEnd();
            return nullptr;
        }
        if (result != AVERROR(EAGAIN)) {
            if (++m_decodeErrors > kMaximumDecodeErrors) {
                av_frame_free(&frame);
                fail(ffmpegError(result, QStringLiteral("Cannot decode %1").arg(m_path)));
                return nullptr;
            }
            continue;
        }
        if (m_draining) {
            // The decoder wants input after having been told the stream is over: nothing more will come.
            av_frame_free(&frame);
            m_atEnd = true;
            m_state->outputReachedEnd();
            return nullptr;
        }
        result = av_read_frame(m_format, m_packet);
        if (result == AVERROR_EOF) {
            m_draining = true;
            avcodec_send_packet(m_decoder, nullptr);
            continue;
        }
        if (result < 0) {
            av_frame_free(&frame);
            fail(ffmpegError(result, QStringLiteral("Cannot read %1").arg(m_path)));
            return nullptr;
        }
        if (m_packet->stream_index == m_track.streamIndex) {
            result = avcodec_send_packet(m_decoder, m_packet);
            if (result < 0 && result != AVERROR(EAGAIN) && ++m_decodeErrors > kMaximumDecodeErrors) {
                av_packet_unref(m_packet);
                av_frame_free(&frame);
                fail(ffmpegError(result, QStringLiteral("Cannot decode %1").arg(m_path)));
                return nullptr;
            }
        }
        av_packet_unref(m_packet);
    }
}

std::unique_ptr<MediaSampleBuffer> MediaAssetReaderTrackOutput::makeSample(AVFrame* frame)
{
    const AVStream* stream = m_format->streams[m_track.streamIndex];
    const AVRational timeBase = stream->time_base;
    qint64 timestamp = frame->best_effort_timestamp != AV_NOPTS_VALUE ? frame->best_effort_timestamp : frame->pts;
    MediaTime presentation;
    if (timestamp != AV_NOPTS_VALUE)
        presentation = {timestamp * timeBase.num, timeBase.den};
    MediaTime duration;
    if (m_track.mediaType == MediaType::Audio) {
        if (frame->sample_rate > 0)
            duration = {frame->nb_samples, frame->sample_rate};
    } else if (frame->pkt_duration > 0) {
        duration = {frame->pkt_duration * timeBase.num, timeBase.den};
    } else if (m_track.frameRateNum > 0) {
        duration = {m_track.frameRateDen, m_track.frameRateNum};
    }
    return std::make_unique<MediaSampleBuffer>(frame, m_track.mediaType, presentation, duration);
}
