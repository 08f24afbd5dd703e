#pragma once

#include "elements/video/StreamingVideoPreviewHelper.h"

// The second video site: ids are digits; the preview image address is read from the site's JSON API
// ("thumbnail_large" of the last element of the reply's array).
class VimeoVideoPreviewHelperClass : public StreamingVideoPreviewHelper {
public:
    // The digits after the site's host (and an optional "video/"), or at the start of the text; "" otherwise.
    static QString videoIdFromURLString(const QString& urlString);
    // Asks the JSON API; `onDone` gets "" when the request fails, times out (5 s) or the reply is not the
    // expected JSON.
    static void previewImageURLStringFromVideoId(const QString& videoId, AddressBlock onDone);
    static void tryToRetievePreviewImageForVideoId(const QString& videoId, PreviewImageBlock onComplete);
    static QSizeF previewImageSize() { return QSizeF(640, 360); }
    static void validateVideoId(const QString& videoId, ValidationBlock onComplete);
    static void checkVideoId(const QString& videoId, CheckBlock onComplete);

    // The "thumbnail_large" text of the last element of a JSON array in UTF-8; "" for anything else.
    static QString thumbnailURLStringFromJsonReply(const QByteArray& reply);

private:
    static void lookUpPreviewImageAddress(const QString& videoId, AnsweredAddressBlock onDone);
};
