#include "elements/video/MediaAssetWriterInput.h"

#include <QRegularExpression>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include "elements/video/FFmpegError.h"
#include "elements/video/MediaAssetWriter.h"
#include "elements/video/SerialDispatchQueue.h"
#include "elements/video/VideoLogging.h"

namespace {

// libx264 at this speed keeps up with decoding on two cores; the presets fix size and bit rate only.
constexpr char kX264SpeedPreset[] = "veryfast";

// "H264_Main_3_1" → ("main", 31); "H264_High_AutoLevel" → ("high", none). Anything else is not understood.
bool parseProfileLevel(const QString& text, QString* profile, int* level)
{
    static const QRegularExpression pattern(
        QStringLiteral("^H264_(Baseline|Main|High|Extended)_(?:AutoLevel|(\\d)_(\\d))$"));
    const auto match = pattern.match(text);
    if (!match.hasMatch())
        return false;
    *profile = match.captured(1).toLower();
    *level = match.captured(2).isEmpty() ? -1 : match.captured(2).toInt() * 10 + match.captured(3).toInt();
    return true;
}

} // namespace

MediaAssetWriterInput::MediaAssetWriterInput(MediaType type, AVCodecContext* encoder)
    : m_type(type)
    , m_encoder(encoder)
    , m_packet(av_packet_alloc())
{
}

MediaAssetWriterInput::~MediaAssetWriterInput()
{
    sws_freeContext(m_scaler);
    swr_free(&m_resampler);
    if (m_fifo)
        av_audio_fifo_free(m_fifo);
    av_packet_free(&m_packet);
    avcodec_free_context(&m_encoder);
}

std::shared_ptr<MediaAssetWriterInput> MediaAssetWriterInput::videoInput(const VideoWriterSettings& settings,
                                                                         Error* error)
{
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (!codec)
        codec = avcodec_find_encoder(AV_CODEC_ID_H264);
    if (!codec) {
        setError(error, ffmpegError(AVERROR_ENCODER_NOT_FOUND, QStringLiteral("No H.264 encoder")));
        return nullptr;
    }
    if (settings.size.width() <= 0 || settings.size.height() <= 0 || settings.size.width() % 2 ||
        settings.size.height() % 2) {
        setError(error, ffmpegError(AVERROR(EINVAL), QStringLiteral("Unusable picture size %1 × %2")
                                                         .arg(settings.size.width())
                                                         .arg(settings.size.height())));
        return nullptr;
    }
    AVCodecContext* encoder = avcodec_alloc_context3(codec);
    if (!encoder) {
        setError(error, ffmpegError(AVERROR(ENOMEM), QStringLiteral("No H.264 encoder")));
        return nullptr;
    }
    encoder->width = settings.size.width();
    encoder->height = settings.size.height();
    encoder->pix_fmt = AV_PIX_FMT_YUV420P;
    encoder->time_base = AVRational{settings.timeBaseNum, settings.timeBaseDen};
    if (settings.frameRateNum > 0 && settings.frameRateDen > 0)
        encoder->framerate = AVRational{settings.frameRateNum, settings.frameRateDen};
    if (!settings.pixelAspectRatio.isEmpty())
        encoder->sample_aspect_ratio =
            AVRational{settings.pixelAspectRatio.width(), settings.pixelAspectRatio.height()};
    if (settings.averageBitRate && *settings.averageBitRate > 0)
        encoder->bit_rate = *settings.averageBitRate;
    if (settings.maxKeyFrameInterval && *settings.maxKeyFrameInterval > 0)
        encoder->gop_size = int(qMin<qint64>(*settings.maxKeyFrameInterval, 1 << 20));
    encoder->thread_count = 0;
    if (codec->priv_class)
        av_opt_set(encoder->priv_data, "preset", kX264SpeedPreset, 0);
    if (!settings.profileLevel.isEmpty()) {
        QString profile;
        int level = -1;
        if (parseProfileLevel(settings.profileLevel, &profile, &level)) {
            if (codec->priv_class)
                av_opt_set(encoder->priv_data, "profile", profile.toLatin1().constData(), 0);
            if (level > 0)
                encoder->level = level;
        } else {
            qCWarning(lcVideo) << "ignoring unknown H.264 profile level" << settings.profileLevel;
        }
    }
    auto input = std::shared_ptr<MediaAssetWriterInput>(new MediaAssetWriterInput(MediaType::Video, encoder));
    input->m_videoSettings = settings;
    return input;
}

std::shared_ptr<MediaAssetWriterInput> MediaAssetWriterInput::audioInput(const AudioWriterSettings& settings,
                                                                         Error* error)
{
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
    AVCodecContext* encoder = codec ? avcodec_alloc_context3(codec) : nullptr;
    if (!encoder) {
        setError(error, ffmpegError(AVERROR_ENCODER_NOT_FOUND, QStringLiteral("No AAC encoder")));
        return nullptr;
    }
    encoder->sample_fmt = AV_SAMPLE_FMT_FLTP;
    encoder->sample_rate = settings.sampleRate;
    av_channel_layout_default(&encoder->ch_layout, settings.channelCount);
    encoder->bit_rate = settings.bitRate;
    encoder->time_base = AVRational{1, settings.sampleRate};
    return std::shared_ptr<MediaAssetWriterInput>(new MediaAssetWriterInput(MediaType::Audio, encoder));
}

void MediaAssetWriterInput::requestMediaDataWhenReady(SerialDispatchQueue* queue, std::function<void()> block)
{
    Q_ASSERT(m_writer);
    {
        std::lock_guard lock(m_writer->m_mutex);
        m_requestQueue = queue;
        m_requestBlock = block;
    }
    queue->async(std::move(block));
}

bool MediaAssetWriterInput::isReadyForMoreMediaData()
{
    return m_writer && m_writer->isInputReady(this);
}

void MediaAssetWriterInput::failWith(const Error& error)
{
    if (m_writer)
        m_writer->fail(error);
}

bool MediaAssetWriterInput::appendSampleBuffer(const MediaSampleBuffer& sample)
{
    if (m_finished || !m_writer || m_writer->status() != MediaAssetWriter::Status::Writing)
        return false;
    const double end = sample.presentationTimeStamp().seconds() + sample.duration().seconds();
    if (sample.presentationTimeStamp().isValid() && end <= m_writer->sessionStart())
        return true;
    const bool appended = m_type == MediaType::Video ? appendVideo(sample) : appendAudio(sample);
    if (appended && m_writer)
        m_writer->inputAppended(this, end);
    return appended;
}

bool MediaAssetWriterInput::appendVideo(const MediaSampleBuffer& sample)
{
    const AVFrame* source = sample.frame();
    qint64 pts;
    if (sample.presentationTimeStamp().isValid())
        pts = av_rescale_q(sample.presentationTimeStamp().value,
                           AVRational{1, sample.presentationTimeStamp().timescale}, m_encoder->time_base);
    else
        pts = m_hasVideoPts ? m_lastVideoPts + 1 : 0;
    // H.264 needs strictly increasing timestamps; a repeated one (a damaged stream) is dropped.
    if (m_hasVideoPts && pts <= m_lastVideoPts)
        return true;

    AVFrame* picture = av_frame_alloc();
    if (!picture) {
        failWith(ffmpegError(AVERROR(ENOMEM), m_writer->path()));
        return false;
    }
    int result = 0;
    if (source->format == m_encoder->pix_fmt && source->width == m_encoder->width &&
        source->height == m_encoder->height) {
        result = av_frame_ref(picture, source);
    } else {
        m_scaler = sws_getCachedContext(m_scaler, source->width, source->height, AVPixelFormat(source->format),
                                        m_encoder->width, m_encoder->height, m_encoder->pix_fmt, SWS_BICUBIC, nullptr,
                                        nullptr, nullptr);
        picture->width = m_encoder->width;
        picture->height = m_encoder->height;
        picture->format = m_encoder->pix_fmt;
        result = m_scaler ? av_frame_get_buffer(picture, 0) : AVERROR(EINVAL);
        if (result >= 0)
            result = sws_scale_frame(m_scaler, picture, source);
    }
    if (result < 0) {
        av_frame_free(&picture);
        failWith(ffmpegError(result, QStringLiteral("Cannot convert a picture for %1").arg(m_writer->path())));
        return false;
    }
    picture->pts = pts;
    picture->pict_type = AV_PICTURE_TYPE_NONE;
    picture->sample_aspect_ratio = m_encoder->sample_aspect_ratio;
    m_lastVideoPts = pts;
    m_hasVideoPts = true;
    const bool encoded = encode(picture);
    av_frame_free(&picture);
    return encoded;
}

bool MediaAssetWriterInput::appendAudio(const MediaSampleBuffer& sample)
{
    const AVFrame* source = sample.frame();
    const int channels = source->ch_layout.nb_channels;
    if (!m_resampler || source->format != m_resamplerInputFormat || source->sample_rate != m_resamplerInputRate ||
        channels != m_resamplerInputChannels) {
        if (m_resampler)
            pushAudioFrames(true);
        swr_free(&m_resampler);
        AVChannelLayout inputLayout{};
        if (source->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || av_channel_layout_check(&source->ch_layout) == 0)
            av_channel_layout_default(&inputLayout, channels);
        else
            av_channel_layout_copy(&inputLayout, &source->ch_layout);
        int result =
            swr_alloc_set_opts2(&m_resampler, &m_encoder->ch_layout, m_encoder->sample_fmt, m_encoder->sample_rate,
                                &inputLayout, AVSampleFormat(source->format), source->sample_rate, 0, nullptr);
        av_channel_layout_uninit(&inputLayout);
        if (result >= 0)
            result = swr_init(m_resampler);
        if (result < 0) {
            failWith(ffmpegError(result, QStringLiteral("Cannot convert the sound for %1").arg(m_writer->path())));
            return false;
        }
        m_resamplerInputFormat = source->format;
        m_resamplerInputRate = source->sample_rate;
        m_resamplerInputChannels = channels;
        if (!m_fifo)
            m_fifo = av_audio_fifo_alloc(m_encoder->sample_fmt, m_encoder->ch_layout.nb_channels, 4096);
    }
    if (m_nextAudioPts < 0) {
        const MediaTime start = sample.presentationTimeStamp();
        m_nextAudioPts =
            start.isValid()
                ? qMax<qint64>(0, av_rescale_q(start.value, AVRational{1, start.timescale}, m_encoder->time_base))
                : 0;
    }
    const int capacity = swr_get_out_samples(m_resampler, source->nb_samples);
    uint8_t** converted = nullptr;
    int result = av_samples_alloc_array_and_samples(&converted, nullptr, m_encoder->ch_layout.nb_channels,
                                                    qMax(capacity, 1), m_encoder->sample_fmt, 0);
    if (result >= 0) {
        result = swr_convert(m_resampler, converted, capacity, const_cast<const uint8_t**>(source->extended_data),
                             source->nb_samples);
        if (result > 0 && m_fifo)
            result = av_audio_fifo_write(m_fifo, reinterpret_cast<void**>(converted), result);
    }
    if (converted)
        av_freep(&converted[0]);
    av_freep(&converted);
    if (result < 0 || !m_fifo) {
        failWith(ffmpegError(result < 0 ? result : AVERROR(ENOMEM),
                             QStringLiteral("Cannot convert the sound for %1").arg(m_writer->path())));
        return false;
    }
    return pushAudioFrames(false);
}

bool MediaAssetWriterInput::pushAudioFrames(bool flush)
{
    if (!m_fifo || !m_resampler)
        return true;
    if (flush) {
        // What the resampler still holds.
        const int capacity = swr_get_out_samples(m_resampler, 0);
        if (capacity > 0) {
            uint8_t** converted = nullptr;
            if (av_samples_alloc_array_and_samples(&converted, nullptr, m_encoder->ch_layout.nb_channels, capacity,
                                                   m_encoder->sample_fmt, 0) >= 0) {
                const int count = swr_convert(m_resampler, converted, capacity, nullptr, 0);
                if (count > 0)
                    av_audio_fifo_write(m_fifo, reinterpret_cast<void**>(converted), count);
                av_freep(&converted[0]);
            }
            av_freep(&converted);
        }
    }
    const int frameSize = m_encoder->frame_size > 0 ? m_encoder->frame_size : 1024;
    while (av_audio_fifo_size(m_fifo) >= frameSize || (flush && av_audio_fifo_size(m_fifo) > 0)) {
        const int count = qMin(frameSize, av_audio_fifo_size(m_fifo));
        AVFrame* frame = av_frame_alloc();
        int result = frame ? 0 : AVERROR(ENOMEM);
        if (frame) {
            frame->nb_samples = count;
            frame->format = m_encoder->sample_fmt;
            frame->sample_rate = m_encoder->sample_rate;
            result = av_channel_layout_copy(&frame->ch_layout, &m_encoder->ch_layout);
            if (result >= 0)
                result = av_frame_get_buffer(frame, 0);
            if (result >= 0)
                result = av_audio_fifo_read(m_fifo, reinterpret_cast<void**>(frame->data), count);
        }
        if (result < 0) {
            av_frame_free(&frame);
            failWith(ffmpegError(result, QStringLiteral("Cannot encode the sound for %1").arg(m_writer->path())));
            return false;
        }
        frame->pts = m_nextAudioPts;
        m_nextAudioPts += count;
        const bool encoded = encode(frame);
        av_frame_free(&frame);
        if (!encoded)
            return false;
    }
    return true;
}

bool MediaAssetWriterInput::encode(AVFrame* frame)
{
    int result = avcodec_send_frame(m_encoder, frame);
    if (result < 0 && !(result == AVERROR_EOF && !frame)) {
        failWith(ffmpegError(result, QStringLiteral("Cannot encode for %1").arg(m_writer->path())));
        return false;
    }
    qint64 frameDuration = 0;
    if (m_type == MediaType::Video && m_encoder->framerate.num > 0 && m_encoder->framerate.den > 0)
        frameDuration = av_rescale_q(1, av_inv_q(m_encoder->framerate), m_encoder->time_base);
    for (;;) {
        result = avcodec_receive_packet(m_encoder, m_packet);
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
            return true;
        if (result < 0) {
            failWith(ffmpegError(result, QStringLiteral("Cannot encode for %1").arg(m_writer->path())));
            return false;
        }
        if (m_packet->duration <= 0 && frameDuration > 0)
            m_packet->duration = frameDuration;
        if (!m_writer->writePacket(this, m_packet))
            return false;
    }
}

void MediaAssetWriterInput::markAsFinished()
{
    if (m_finished)
        return;
    if (m_writer && m_writer->status() == MediaAssetWriter::Status::Writing) {
        bool drained = true;
        if (m_type == MediaType::Audio)
            drained = pushAudioFrames(true);
        if (drained)
            encode(nullptr);
    }
    if (m_writer)
        m_writer->inputFinished(this);
    else
        m_finished = true;
}
