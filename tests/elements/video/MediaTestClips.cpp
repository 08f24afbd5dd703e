#include "MediaTestClips.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>

namespace MediaTestClips {

namespace {

bool run(const QString& program, const QStringList& arguments, QByteArray* out, QByteArray* err)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted(10000))
        return false;
    process.waitForFinished(120000);
    if (out)
        *out = process.readAllStandardOutput();
    if (err)
        *err = process.readAllStandardError();
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

} // namespace

bool toolsAvailable()
{
    return !QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty() &&
           !QStandardPaths::findExecutable(QStringLiteral("ffprobe")).isEmpty();
}

bool make(const QString& output, const QStringList& arguments, QString* message)
{
    QByteArray err;
    const bool ok = run(QStringLiteral("ffmpeg"), QStringList{"-y", "-v", "error"} + arguments + QStringList{output},
                        nullptr, &err);
    if (message)
        *message = QString::fromUtf8(err);
    return ok;
}

bool makeVideo(const QString& output, int width, int height, double seconds, int sampleRate, const QStringList& extra)
{
    QStringList arguments{
        "-f", "lavfi", "-i",
        QStringLiteral("testsrc2=size=%1x%2:rate=25:duration=%3").arg(width).arg(height).arg(seconds)};
    if (sampleRate > 0)
        arguments << "-f"
                  << "lavfi"
                  << "-i"
                  << QStringLiteral("sine=frequency=440:sample_rate=%1:duration=%2").arg(sampleRate).arg(seconds);
    arguments << "-c:v"
              << "libx264"
              << "-preset"
              << "ultrafast"
              << "-pix_fmt"
              << "yuv420p";
    if (sampleRate > 0)
        arguments << "-c:a"
                  << "aac";
    arguments << extra;
    return make(output, arguments);
}

const Stream* Probe::first(const QString& codecType) const
{
    for (const Stream& stream : streams)
        if (stream.codecType == codecType)
            return &stream;
    return nullptr;
}

int Probe::count(const QString& codecType) const
{
    int n = 0;
    for (const Stream& stream : streams)
        n += stream.codecType == codecType ? 1 : 0;
    return n;
}

Probe probe(const QString& path)
{
    Probe result;
    QByteArray out;
    if (!run(QStringLiteral("ffprobe"),
             {"-v", "error", "-print_format", "json", "-show_format", "-show_streams", "-count_packets", path}, &out,
             nullptr))
        return result;
    const QJsonObject root = QJsonDocument::fromJson(out).object();
    const QJsonObject format = root.value("format").toObject();
    result.formatName = format.value("format_name").toString();
    result.duration = format.value("duration").toString().toDouble();
    for (const QJsonValue& value : root.value("streams").toArray()) {
        const QJsonObject object = value.toObject();
        Stream stream;
        stream.codecType = object.value("codec_type").toString();
        stream.codecName = object.value("codec_name").toString();
        stream.width = object.value("width").toInt();
        stream.height = object.value("height").toInt();
        stream.sampleRate = object.value("sample_rate").toString().toInt();
        stream.channels = object.value("channels").toInt();
        stream.bitRate = object.value("bit_rate").toString().toLongLong();
        stream.frames = object.value("nb_read_packets").toString().toLongLong();
        for (const QJsonValue& sideData : object.value("side_data_list").toArray())
            if (sideData.toObject().contains("rotation"))
                stream.rotation = sideData.toObject().value("rotation").toDouble();
        result.streams.push_back(stream);
    }
    result.ok = true;
    return result;
}

QString decodeErrors(const QString& path)
{
    QByteArray err;
    if (!run(QStringLiteral("ffmpeg"), {"-v", "error", "-i", path, "-f", "null", "-"}, nullptr, &err))
        return QStringLiteral("ffmpeg failed: ") + QString::fromUtf8(err);
    return QString::fromUtf8(err);
}

} // namespace MediaTestClips
