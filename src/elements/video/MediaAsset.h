#pragma once

#include <array>
#include <memory>
#include <vector>

#include <QSize>
#include <QString>
#include <QUrl>

#include "elements/video/MediaSampleBuffer.h"
#include "platform/Error.h"

// What the re-encoder needs to know about one stream of a media file.
struct MediaTrack {
    int streamIndex = -1;
    MediaType mediaType = MediaType::Video;
    // Video: the stored picture size in pixels, before pixel aspect and before any display rotation.
    QSize naturalSize;
    // Video: horizontal and vertical pixel spacing as stored; empty when the file gives none.
    QSize pixelAspectRatio;
    // Video: the display matrix stored with the track (3 × 3, 16.16 fixed point except the last column,
    // which is 2.30), as libavformat and QuickTime files hold it. Identity when the file has none.
    std::array<qint32, 9> preferredTransform{0x10000, 0, 0, 0, 0x10000, 0, 0, 0, 0x40000000};
    bool hasPreferredTransform = false;
    // The track's time base and average frame rate (0/0 when unknown).
    int timeBaseNum = 0;
    int timeBaseDen = 0;
    int frameRateNum = 0;
    int frameRateDen = 0;
    // Audio.
    int sampleRate = 0;
    int channelCount = 0;
};

// A media file to be re-encoded: its tracks and duration, read by loadValues(). The file itself is
// opened again by every reader output, so outputs of different tracks never share demuxer state.
// loadValues() blocks on file I/O and belongs off the main thread; after it returns the object is
// read-only and may be read from any thread.
class MediaAsset {
public:
    // A local file URL gives an asset (not yet loaded); anything else gives none.
    static std::shared_ptr<MediaAsset> assetWithURL(const QUrl& url);

    const QString& path() const { return m_path; }

    bool loadValues(Error* error);
    bool isLoaded() const { return m_loaded; }
    const Error& loadError() const { return m_loadError; }

    // Tracks of one type, in stream order. Cover pictures of audio files are not video tracks.
    std::vector<MediaTrack> tracksWithMediaType(MediaType type) const;
    // The container's duration (or the longest track's); invalid when the file does not tell.
    MediaTime duration() const { return m_duration; }

private:
    explicit MediaAsset(QString path);

    QString m_path;
    bool m_loaded = false;
    Error m_loadError;
    std::vector<MediaTrack> m_tracks;
    MediaTime m_duration;
};
