#include "storage/MediaPreviewImages.h"

#include <algorithm>
#include <cmath>

#include <QFile>
#include <QPainter>
#include <QPdfDocument>
#include <QTransform>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include "elements/images/ImageUtils.h"

namespace {

Error previewError(int code, const QString& message)
{
    return Error(QString::fromLatin1(MediaPreviewImages::errorDomain), code, message);
}

QString avErrorText(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return QString::fromUtf8(text);
}

// Owners of the FFmpeg objects, released in reverse order of making whatever path the decoding takes.
struct Demuxer {
    AVFormatContext* format = nullptr;
    ~Demuxer() { avformat_close_input(&format); }
};
struct Decoder {
    AVCodecContext* context = nullptr;
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    SwsContext* scaler = nullptr;
    ~Decoder()
    {
        sws_freeContext(scaler);
        av_frame_free(&frame);
        av_packet_free(&packet);
        avcodec_free_context(&context);
    }
};

int openInput(const QString& path, Demuxer& demuxer)
{
    int status = avformat_open_input(&demuxer.format, QFile::encodeName(path).constData(), nullptr, nullptr);
    if (status < 0)
        return status;
    return avformat_find_stream_info(demuxer.format, nullptr);
}

QImage convertFrame(Decoder& decoder, const AVFrame* frame)
{
    const int width = frame->width;
    const int height = frame->height;
    if (width <= 0 || height <= 0 || qint64(width) * height > 64LL * 1024 * 1024)
        return {};
    decoder.scaler = sws_getCachedContext(decoder.scaler, width, height, AVPixelFormat(frame->format), width, height,
                                          AV_PIX_FMT_RGBA, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!decoder.scaler)
        return {};
    QImage image(width, height, QImage::Format_RGBA8888);
    if (image.isNull())
        return {};
    uint8_t* planes[4] = {image.bits(), nullptr, nullptr, nullptr};
    int strides[4] = {int(image.bytesPerLine()), 0, 0, 0};
    if (sws_scale(decoder.scaler, frame->data, frame->linesize, 0, height, planes, strides) != height)
        return {};
    // Respect non-square pixels so the poster has the shape the video plays with. The ratio comes from the file:
    // an absurd one (up to 65535:1) would blow a small frame up to gigabytes, so the shape is kept within the
    // pixel budget of any other picture.
    const AVRational aspect = frame->sample_aspect_ratio;
    if (aspect.num > 0 && aspect.den > 0 && aspect.num != aspect.den) {
        const double shownWidth = double(width) * aspect.num / aspect.den;
        int w = int(std::lround(shownWidth));
        int h = height;
        const double budget = double(ImageUtils::maximumPixelCount);
        if (shownWidth * height > budget) {
            const double shrink = std::sqrt(budget / (shownWidth * height));
            w = int(std::floor(shownWidth * shrink));
            h = std::max(1, int(std::floor(height * shrink)));
        }
        if (w > 0)
            image = image.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// A clip filmed with the phone turned stores its frames as the sensor saw them and the turn in its display
// matrix; players, and the re-encoder, show it turned: by this many clockwise quarter turns.
int displayQuarterTurns(const AVStream* stream)
{
    size_t size = 0;
    const uint8_t* matrix = av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, &size);
    if (!matrix || size < sizeof(int32_t) * 9)
        return 0;
    const double counterclockwise = av_display_rotation_get(reinterpret_cast<const int32_t*>(matrix));
    if (!std::isfinite(counterclockwise))
        return 0;
    return ((int(std::lround(-counterclockwise / 90.0)) % 4) + 4) % 4;
}

// The poster is turned as players show the clip.
QImage turnedAsDisplayed(const QImage& image, const AVStream* stream)
{
    const int quarterTurns = displayQuarterTurns(stream);
    if (quarterTurns == 0)
        return image;
    return image.transformed(QTransform().rotate(90.0 * quarterTurns));
}

} // namespace

namespace {

// Opens a movie file and finds the stream its pictures come from: -1, with `error`, for a file that is no movie
// or holds no picture.
int openVideoStream(const QString& path, Demuxer& demuxer, const AVCodec** codec, Error* error)
{
    if (const int status = openInput(path, demuxer); status < 0) {
        setError(error, previewError(MediaPreviewImages::NotAVideo,
                                     QStringLiteral("\"%1\" is not a video: %2").arg(path, avErrorText(status))));
        return -1;
    }
    // FFmpeg also reads still pictures and even text as one-frame "videos"; those are not videos here.
    const QByteArray demuxerName = demuxer.format->iformat ? QByteArray(demuxer.format->iformat->name) : QByteArray();
    if (demuxerName == "image2" || demuxerName.endsWith("_pipe") || demuxerName == "tty") {
        setError(error, previewError(MediaPreviewImages::NotAVideo, QStringLiteral("\"%1\" is not a video").arg(path)));
        return -1;
    }
    const int stream = av_find_best_stream(demuxer.format, AVMEDIA_TYPE_VIDEO, -1, -1, codec, 0);
    if (stream < 0 || !*codec) {
        setError(error,
                 previewError(MediaPreviewImages::NoPicture, QStringLiteral("\"%1\" has no video stream").arg(path)));
        return -1;
    }
    if (demuxer.format->streams[stream]->disposition & AV_DISPOSITION_ATTACHED_PIC) {
        setError(error, previewError(MediaPreviewImages::NoPicture,
                                     QStringLiteral("\"%1\" holds only a cover picture").arg(path)));
        return -1;
    }
    return stream;
}

} // namespace

bool MediaPreviewImages::isVideoWithPicture(const QString& path, Error* error)
{
    Demuxer demuxer;
    const AVCodec* codec = nullptr;
    return openVideoStream(path, demuxer, &codec, error) >= 0;
}

QImage MediaPreviewImages::posterFrameOfVideo(const QString& path, Error* error)
{
    Demuxer demuxer;
    const AVCodec* codec = nullptr;
    const int stream = openVideoStream(path, demuxer, &codec, error);
    if (stream < 0)
        return {};
    const AVStream* videoStream = demuxer.format->streams[stream];
    Decoder decoder;
    decoder.context = avcodec_alloc_context3(codec);
    if (!decoder.context || !decoder.packet || !decoder.frame ||
        avcodec_parameters_to_context(decoder.context, videoStream->codecpar) < 0 ||
        avcodec_open2(decoder.context, codec, nullptr) < 0) {
        setError(error, previewError(NotAVideo, QStringLiteral("Cannot decode the video of \"%1\"").arg(path)));
        return {};
    }
    // A bounded number of packets: a file that never yields a frame must not keep us reading forever.
    constexpr int maxPackets = 2000;
    int packets = 0;
    bool flushed = false;
    while (true) {
        const int received = avcodec_receive_frame(decoder.context, decoder.frame);
        if (received == 0) {
            QImage image = convertFrame(decoder, decoder.frame);
            if (image.isNull())
                break;
            return turnedAsDisplayed(image, videoStream);
        }
        if (received != AVERROR(EAGAIN) || packets >= maxPackets)
            break;
        if (av_read_frame(demuxer.format, decoder.packet) < 0) {
            if (flushed)
                break;
            flushed = true;
            avcodec_send_packet(decoder.context, nullptr);
            continue;
        }
        if (decoder.packet->stream_index == stream) {
            ++packets;
            avcodec_send_packet(decoder.context, decoder.packet);
        }
        av_packet_unref(decoder.packet);
    }
    setError(error, previewError(NotAVideo, QStringLiteral("No frame of \"%1\" could be decoded").arg(path)));
    return {};
}

int MediaPreviewImages::displayQuarterTurnsOfVideo(const QString& path)
{
    Demuxer demuxer;
    if (avformat_open_input(&demuxer.format, QFile::encodeName(path).constData(), nullptr, nullptr) < 0)
        return 0;
    const int stream = av_find_best_stream(demuxer.format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (stream < 0)
        return 0;
    return displayQuarterTurns(demuxer.format->streams[stream]);
}

QImage MediaPreviewImages::firstPageOfPdf(const QString& path, Error* error)
{
    QPdfDocument document;
    const QPdfDocument::Error status = document.load(path);
    if (status != QPdfDocument::Error::None || document.pageCount() < 1) {
        setError(error, previewError(NotAPDF, QStringLiteral("\"%1\" is not a readable PDF").arg(path)));
        return {};
    }
    const QSizeF points = document.pagePointSize(0);
    if (!(points.width() > 0) || !(points.height() > 0)) {
        setError(error, previewError(NotAPDF, QStringLiteral("The first page of \"%1\" has no size").arg(path)));
        return {};
    }
    const double scale = std::min(2.0, 4096.0 / std::max(points.width(), points.height()));
    const QSize pixels(std::max(1, int(std::ceil(points.width() * scale))),
                       std::max(1, int(std::ceil(points.height() * scale))));
    const QImage page = document.render(0, pixels);
    if (page.isNull()) {
        setError(error, previewError(NotAPDF, QStringLiteral("Cannot render the first page of \"%1\"").arg(path)));
        return {};
    }
    // Pages are drawn on paper: without a white ground transparent pages would show the canvas through.
    QImage onWhite(page.size(), QImage::Format_ARGB32_Premultiplied);
    onWhite.fill(Qt::white);
    QPainter painter(&onWhite);
    painter.drawImage(0, 0, page);
    painter.end();
    return onWhite;
}

bool MediaPreviewImages::hasAudioStream(const QString& path, Error* error)
{
    Demuxer demuxer;
    if (const int status = openInput(path, demuxer); status < 0) {
        setError(error,
                 previewError(NotAudio, QStringLiteral("\"%1\" is not audio: %2").arg(path, avErrorText(status))));
        return false;
    }
    if (av_find_best_stream(demuxer.format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0) < 0) {
        setError(error, previewError(NotAudio, QStringLiteral("\"%1\" has no audio stream").arg(path)));
        return false;
    }
    return true;
}
