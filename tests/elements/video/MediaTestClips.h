#pragma once

#include <vector>

#include <QString>
#include <QStringList>

// Short clips made with the ffmpeg command-line tool at test time, and ffprobe's view of a file.
namespace MediaTestClips {

bool toolsAvailable();

// Runs `ffmpeg -y -v error <arguments> <output>`; false (with ffmpeg's message in *message) on failure.
bool make(const QString& output, const QStringList& arguments, QString* message = nullptr);

// Picture (testsrc2) of the given size and rate for `seconds`, optionally with a 440 Hz tone at
// `sampleRate` (0: no sound), H.264 + AAC in MP4. Extra arguments go before the output name.
bool makeVideo(const QString& output, int width, int height, double seconds, int sampleRate,
               const QStringList& extra = {});

struct Stream {
    QString codecType; // "video", "audio"
    QString codecName;
    int width = 0;
    int height = 0;
    int sampleRate = 0;
    int channels = 0;
    double rotation = 0; // from the display matrix, degrees as ffprobe reports them
    qint64 bitRate = 0;
    qint64 frames = 0;
};

struct Probe {
    bool ok = false;
    QString formatName;
    double duration = 0;
    std::vector<Stream> streams;

    const Stream* first(const QString& codecType) const;
    int count(const QString& codecType) const;
};

Probe probe(const QString& path);

// What `ffmpeg -v error -i path -f null -` prints (empty for a clean file).
QString decodeErrors(const QString& path);

} // namespace MediaTestClips
