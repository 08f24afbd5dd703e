// MediaPreviewImages for programs that store pictures only (pptx-import): linked into such a program as an object
// of its own, these definitions come before the storage library's, so the linker never takes the FFmpeg and QtPdf
// readers from it and the program loads neither. A video, PDF or audio data item fails its content check with an
// error saying so.

#include "storage/MediaPreviewImages.h"

namespace {

QImage unavailable(int code, const QString& kind, const QString& path, Error* error)
{
    if (error)
        *error = Error(QString::fromLatin1(MediaPreviewImages::errorDomain), code,
                       QStringLiteral("\"%1\" cannot be read: this program reads no %2").arg(path, kind));
    return {};
}

} // namespace

QImage MediaPreviewImages::posterFrameOfVideo(const QString& path, Error* error)
{
    return unavailable(NotAVideo, QStringLiteral("videos"), path, error);
}

QImage MediaPreviewImages::firstPageOfPdf(const QString& path, Error* error)
{
    return unavailable(NotAPDF, QStringLiteral("PDF documents"), path, error);
}

bool MediaPreviewImages::hasAudioStream(const QString& path, Error* error)
{
    unavailable(NotAudio, QStringLiteral("audio"), path, error);
    return false;
}
