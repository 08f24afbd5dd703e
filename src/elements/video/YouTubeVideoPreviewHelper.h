#pragma once

#include "elements/video/StreamingVideoPreviewHelper.h"

// The first video site: ids are 11 characters of letters, digits, "_" and "-"; the preview image is a fixed
// address on the site's image host, formed without any request.
class YouTubeVideoPreviewHelper : public StreamingVideoPreviewHelper {
public:
    static constexpr int kVideoIdLength = 11;

    // The id in a watch, short or embed link ("embed" for the last), or a bare 11-character id; "" otherwise.
    static QString videoIdFromURLString(const QString& urlString);
    // "http://<image host>/vi/<id>/hqdefault.jpg"; "" for an empty id.
    static QString previewImageURLStringFromVideoId(const QString& videoId);
    static void previewImageURLStringFromVideoId(const QString& videoId, AddressBlock onDone);
    // Keeps the block and lets it go; the block is never called.
    static void tryToRetievePreviewImageForVideoId(const QString& videoId, PreviewImageBlock onComplete);
    static QSizeF previewImageSize() { return QSizeF(480, 360); }
    static void validateVideoId(const QString& videoId, ValidationBlock onComplete);
    static void checkVideoId(const QString& videoId, CheckBlock onComplete);

    // Whether every UTF-16 unit of `text` belongs to the id alphabet.
    static bool isInVideoIdAlphabet(const QString& text);

private:
    // The address is made here, without asking the site.
    static void lookUpPreviewImageAddress(const QString& videoId, AnsweredAddressBlock onDone);
};
