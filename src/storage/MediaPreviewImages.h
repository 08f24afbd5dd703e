#pragma once

#include <QImage>
#include <QString>

#include "platform/Error.h"

// Pictures that stand for media which is not itself a picture: a video's poster frame (its first decodable frame,
// through FFmpeg) and a PDF's first page (through QtPdf). Both run on any thread; callers use a worker, as decoding
// a large file takes long.
class MediaPreviewImages {
public:
    static constexpr const char* errorDomain = "com.tessarine.MediaPreviewImages";
    // NoPicture: a media file that is readable but holds no picture (sound only, or only a cover picture).
    enum ErrorCode { NotAVideo = 1, NotAPDF = 2, NotAudio = 3, NoPicture = 4 };

    // The first frame of the file's best video stream, turned as its display matrix asks. Null, with
    // `error`, when the file has no decodable video stream.
    static QImage posterFrameOfVideo(const QString& path, Error* error = nullptr);
    // Whether the file is a movie with a picture, as posterFrameOfVideo() asks before decoding: false, with the
    // same `error`, for one that is no movie or holds sound only. Reads only the file's header and stream list.
    static bool isVideoWithPicture(const QString& path, Error* error = nullptr);
    // The clockwise quarter turns (0 … 3) the display matrix of the file's best video stream asks players to show
    // its frames with: a clip filmed with a phone held upright. 0 when the file tells none or cannot be read.
    static int displayQuarterTurnsOfVideo(const QString& path);
    // Page 1 rendered at twice its point size (its longer side at most 4096 pixels), on white. Null, with
    // `error`, for a file that is not a readable PDF with at least one page.
    static QImage firstPageOfPdf(const QString& path, Error* error = nullptr);
    // True when FFmpeg finds an audio stream in the file.
    static bool hasAudioStream(const QString& path, Error* error = nullptr);
};
