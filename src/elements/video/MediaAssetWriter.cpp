#include "elements/video/MediaAssetWriter.h"

#include <cstring>
#include <limits>

#include <sys/stat.h>

#include <QFile>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "elements/video/FFmpegError.h"
#include "elements/video/MediaAssetWriterInput.h"
#include "elements/video/SerialDispatchQueue.h"
#include "elements/video/VideoLogging.h"

namespace {
// How far (in seconds of media) one track may run ahead of the slowest unfinished one. Keeps the tracks
// interleaved in the file and bounds what the muxer has to hold back.
constexpr double kInterleaveWindow = 1.0;
// How many packets go by between two looks at whether the file is still where it was created.
constexpr int kPacketsBetweenChecks = 16;
} // namespace

MediaAssetWriter::MediaAssetWriter(QString path)
    : m_path(std::move(path))
{
}

std::unique_ptr<MediaAssetWriter> MediaAssetWriter::create(const QString& path, Error* error)
{
    installFFmpegLogging();
    std::unique_ptr<MediaAssetWriter> writer(new MediaAssetWriter(path));
    const QByteArray encodedPath = path.toUtf8();
    int result = avformat_alloc_output_context2(&writer->m_format, nullptr, "mov", encodedPath.constData());
    if (result < 0 || !writer->m_format) {
        setError(error, ffmpegError(result < 0 ? result : AVERROR_MUXER_NOT_FOUND,
                                    QStringLiteral("Cannot write a movie to %1").arg(path)));
        return nullptr;
    }
    result = avio_open(&writer->m_format->pb, encodedPath.constData(), AVIO_FLAG_WRITE);
    if (result < 0) {
        setError(error, ffmpegError(result, QStringLiteral("Cannot create %1").arg(path)));
        return nullptr;
    }
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) == 0 && S_ISREG(status.st_mode)) {
        writer->m_hasIdentity = true;
        writer->m_device = quint64(status.st_dev);
        writer->m_inode = quint64(status.st_ino);
    }
    return writer;
}

bool MediaAssetWriter::fileStillInPlace() const
{
    if (!m_hasIdentity)
        return true;
    struct stat status {};
    return ::stat(QFile::encodeName(m_path).constData(), &status) == 0 && quint64(status.st_dev) == m_device &&
           quint64(status.st_ino) == m_inode;
}

void MediaAssetWriter::interruptLocked()
{
    m_error = Error(
        kErrorDomain, kErrorOperationInterrupted,
        QStringLiteral("The operation was interrupted: %1 was removed or replaced while it was written").arg(m_path));
    m_status = Status::Failed;
    qCWarning(lcVideo) << m_error.message;
    wakeWaitingInputsLocked();
}

MediaAssetWriter::~MediaAssetWriter()
{
    {
        std::lock_guard lock(m_mutex);
        closeFileLocked();
    }
    for (const auto& input : m_inputs)
        input->m_writer = nullptr;
    avformat_free_context(m_format);
}

void MediaAssetWriter::closeFileLocked()
{
    if (m_format && m_format->pb)
        avio_closep(&m_format->pb);
}

bool MediaAssetWriter::addInput(const std::shared_ptr<MediaAssetWriterInput>& input, Error* error)
{
    AVCodecContext* encoder = input->m_encoder;
    if (m_format->oformat->flags & AVFMT_GLOBALHEADER)
        encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int result = avcodec_open2(encoder, encoder->codec, nullptr);
    if (result < 0) {
        setError(error, ffmpegError(result, QStringLiteral("Cannot open the %1 encoder for %2")
                                                .arg(QString::fromUtf8(encoder->codec->name), m_path)));
        return false;
    }
    AVStream* stream = avformat_new_stream(m_format, nullptr);
    if (!stream) {
        setError(error, ffmpegError(AVERROR(ENOMEM), m_path));
        return false;
    }
    result = avcodec_parameters_from_context(stream->codecpar, encoder);
    if (result < 0) {
        setError(error, ffmpegError(result, m_path));
        return false;
    }
    stream->time_base = encoder->time_base;
    stream->sample_aspect_ratio = encoder->sample_aspect_ratio;
    if (input->mediaType() == MediaType::Video && input->m_videoSettings.frameRateNum > 0)
        stream->avg_frame_rate = AVRational{input->m_videoSettings.frameRateNum, input->m_videoSettings.frameRateDen};
    input->m_stream = stream;
    input->m_writer = this;
    m_inputs.push_back(input);
    return true;
}

bool MediaAssetWriter::startWriting(Error* error)
{
    std::lock_guard lock(m_mutex);
    if (m_status != Status::Unknown) {
        setError(error, ffmpegError(AVERROR(EINVAL), QStringLiteral("%1 is already being written").arg(m_path)));
        return false;
    }
    for (const auto& input : m_inputs) {
        if (!input->transform())
            continue;
        auto* matrix = av_stream_new_side_data(input->m_stream, AV_PKT_DATA_DISPLAYMATRIX, sizeof(qint32) * 9);
        if (matrix)
            std::memcpy(matrix, input->transform()->data(), sizeof(qint32) * 9);
    }
    const int result = avformat_write_header(m_format, nullptr);
    if (result < 0) {
        m_error = ffmpegError(result, QStringLiteral("Cannot write %1").arg(m_path));
        m_status = Status::Failed;
        setError(error, m_error);
        return false;
    }
    m_status = Status::Writing;
    return true;
}

bool MediaAssetWriter::writePacket(MediaAssetWriterInput* input, AVPacket* packet)
{
    std::lock_guard lock(m_mutex);
    if (m_status != Status::Writing) {
        av_packet_unref(packet);
        return false;
    }
    if (++m_packetsSinceCheck >= kPacketsBetweenChecks) {
        m_packetsSinceCheck = 0;
        if (!fileStillInPlace()) {
            av_packet_unref(packet);
            interruptLocked();
            return false;
        }
    }
    av_packet_rescale_ts(packet, input->m_encoder->time_base, input->m_stream->time_base);
    packet->stream_index = input->m_stream->index;
    const int result = av_interleaved_write_frame(m_format, packet);
    if (result < 0) {
        m_error = ffmpegError(result, QStringLiteral("Cannot write %1").arg(m_path));
        m_status = Status::Failed;
        qCWarning(lcVideo) << m_error.message;
        wakeWaitingInputsLocked();
        return false;
    }
    return true;
}

void MediaAssetWriter::fail(const Error& error)
{
    std::lock_guard lock(m_mutex);
    if (m_status != Status::Writing)
        return;
    qCWarning(lcVideo) << error.message;
    m_error = error;
    m_status = Status::Failed;
    wakeWaitingInputsLocked();
}

bool MediaAssetWriter::readyLocked(const MediaAssetWriterInput* input) const
{
    // Not writing (failed, stopped): let the pump run into the failing append and end.
    if (m_status != Status::Writing)
        return true;
    if (!input->m_hasAppended)
        return true;
    double slowest = std::numeric_limits<double>::infinity();
    for (const auto& other : m_inputs) {
        if (other.get() == input || other->m_finished)
            continue;
        slowest =
            qMin(slowest, other->m_hasAppended ? other->m_appendedUntil : -std::numeric_limits<double>::infinity());
    }
    return input->m_appendedUntil <= slowest + kInterleaveWindow;
}

bool MediaAssetWriter::isInputReady(MediaAssetWriterInput* input)
{
    std::lock_guard lock(m_mutex);
    if (input->m_finished)
        return false;
    if (readyLocked(input))
        return true;
    input->m_waiting = true;
    return false;
}

void MediaAssetWriter::wakeWaitingInputsLocked()
{
    for (const auto& input : m_inputs) {
        if (input->m_waiting && readyLocked(input.get())) {
            input->m_waiting = false;
            if (input->m_requestQueue && input->m_requestBlock)
                input->m_requestQueue->async(input->m_requestBlock);
        }
    }
}

void MediaAssetWriter::inputAppended(MediaAssetWriterInput* input, double until)
{
    std::lock_guard lock(m_mutex);
    input->m_hasAppended = true;
    input->m_appendedUntil = qMax(input->m_appendedUntil, until);
    wakeWaitingInputsLocked();
}

void MediaAssetWriter::inputFinished(MediaAssetWriterInput* input)
{
    std::lock_guard lock(m_mutex);
    input->m_finished = true;
    input->m_waiting = false;
    wakeWaitingInputsLocked();
}

bool MediaAssetWriter::finishWriting(Error* error)
{
    for (const auto& input : m_inputs)
        if (!input->isFinished())
            input->markAsFinished();
    std::lock_guard lock(m_mutex);
    if (m_status == Status::Writing) {
        const int result = av_write_trailer(m_format);
        if (result < 0) {
            m_error = ffmpegError(result, QStringLiteral("Cannot finish %1").arg(m_path));
            m_status = Status::Failed;
        }
    }
    if (m_status == Status::Writing && m_format->pb) {
        avio_flush(m_format->pb);
        if (m_format->pb->error < 0) {
            m_error = ffmpegError(m_format->pb->error, QStringLiteral("Cannot finish %1").arg(m_path));
            m_status = Status::Failed;
        }
    }
    closeFileLocked();
    // Complete, but not where it belongs: the file at the path is not this writer's.
    if (m_status == Status::Writing && !fileStillInPlace())
        interruptLocked();
    if (m_status == Status::Writing) {
        m_status = Status::Completed;
        return true;
    }
    if (m_status != Status::Failed)
        m_error = ffmpegError(AVERROR(EINVAL), QStringLiteral("%1 was not being written").arg(m_path));
    setError(error, m_error);
    return false;
}

void MediaAssetWriter::cancelWriting()
{
    std::lock_guard lock(m_mutex);
    if (m_status == Status::Completed || m_status == Status::Failed)
        return;
    m_status = Status::Cancelled;
    closeFileLocked();
    wakeWaitingInputsLocked();
}

Error MediaAssetWriter::error() const
{
    std::lock_guard lock(m_mutex);
    return m_error;
}
