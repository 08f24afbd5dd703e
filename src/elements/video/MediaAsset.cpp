#include "elements/video/MediaAsset.h"

#include <cstring>

extern "C" {
#include <libavformat/avformat.h>
}

#include "elements/video/FFmpegError.h"
#include "elements/video/VideoLogging.h"

MediaAsset::MediaAsset(QString path)
    : m_path(std::move(path))
{
}

std::shared_ptr<MediaAsset> MediaAsset::assetWithURL(const QUrl& url)
{
    installFFmpegLogging();
    if (!url.isLocalFile() || url.toLocalFile().isEmpty())
        return nullptr;
    return std::shared_ptr<MediaAsset>(new MediaAsset(url.toLocalFile()));
}

bool MediaAsset::loadValues(Error* error)
{
    m_tracks.clear();
    m_duration = {};
    AVFormatContext* format = nullptr;
    const QByteArray path = m_path.toUtf8();
    int result = avformat_open_input(&format, path.constData(), nullptr, nullptr);
    if (result < 0) {
        m_loadError = ffmpegError(result, QStringLiteral("Cannot open %1").arg(m_path));
        setError(error, m_loadError);
        return false;
    }
    result = avformat_find_stream_info(format, nullptr);
    if (result < 0) {
        avformat_close_input(&format);
        m_loadError = ffmpegError(result, QStringLiteral("Cannot read the streams of %1").arg(m_path));
        setError(error, m_loadError);
        return false;
    }

    qint64 longestStream = -1;
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVStream* stream = format->streams[i];
        const AVCodecParameters* parameters = stream->codecpar;
        MediaTrack track;
        track.streamIndex = int(i);
        track.timeBaseNum = stream->time_base.num;
        track.timeBaseDen = stream->time_base.den;
        if (parameters->codec_type == AVMEDIA_TYPE_VIDEO && !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
            if (parameters->width <= 0 || parameters->height <= 0)
                continue;
            track.mediaType = MediaType::Video;
            track.naturalSize = QSize(parameters->width, parameters->height);
            if (parameters->sample_aspect_ratio.num > 0 && parameters->sample_aspect_ratio.den > 0)
                track.pixelAspectRatio =
                    QSize(parameters->sample_aspect_ratio.num, parameters->sample_aspect_ratio.den);
            size_t size = 0;
            const uint8_t* matrix = av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, &size);
            if (matrix && size >= sizeof(qint32) * 9) {
                std::memcpy(track.preferredTransform.data(), matrix, sizeof(qint32) * 9);
                track.hasPreferredTransform = true;
            }
            const AVRational rate = stream->avg_frame_rate.num > 0 ? stream->avg_frame_rate : stream->r_frame_rate;
            if (rate.num > 0 && rate.den > 0) {
                track.frameRateNum = rate.num;
                track.frameRateDen = rate.den;
            }
        } else if (parameters->codec_type == AVMEDIA_TYPE_AUDIO) {
            if (parameters->sample_rate <= 0 || parameters->ch_layout.nb_channels <= 0)
                continue;
            track.mediaType = MediaType::Audio;
            track.sampleRate = parameters->sample_rate;
            track.channelCount = parameters->ch_layout.nb_channels;
        } else {
            continue;
        }
        if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0)
            longestStream = qMax(longestStream, av_rescale_q(stream->duration, stream->time_base, AV_TIME_BASE_Q));
        m_tracks.push_back(track);
    }
    if (format->duration != AV_NOPTS_VALUE && format->duration > 0)
        m_duration = {format->duration, AV_TIME_BASE};
    else if (longestStream > 0)
        m_duration = {longestStream, AV_TIME_BASE};
    avformat_close_input(&format);
    m_loadError = {};
    m_loaded = true;
    qCDebug(lcVideo) << "loaded" << m_path << m_tracks.size() << "tracks," << m_duration.seconds() << "s";
    return true;
}

std::vector<MediaTrack> MediaAsset::tracksWithMediaType(MediaType type) const
{
    std::vector<MediaTrack> tracks;
    for (const MediaTrack& track : m_tracks)
        if (track.mediaType == type)
            tracks.push_back(track);
    return tracks;
}
