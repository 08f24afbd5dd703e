#pragma once

#include <functional>

#include <QByteArray>
#include <QSizeF>
#include <QString>
#include <QUrl>

// Answers what the creator needs to know about a video that lives on a public video site: the video's id in a
// pasted link, the address of its preview image, the preview's size, and whether the id is real (its preview
// image can be fetched and is wide enough). One class per site derives from this base; every member is static
// and no instance is ever made. The base itself knows no site: its answers are empty.
//
// Network work happens on the main thread through one QNetworkAccessManager. Every completion block runs on
// the main thread, always after the call that took it has returned, whichever thread made the call.
class StreamingVideoPreviewHelper {
public:
    // The preview image address, or "" when there is none.
    using AddressBlock = std::function<void(const QString& previewImageURLString)>;
    // Whether the id is real, and the preview image data as received (empty when nothing came).
    using ValidationBlock = std::function<void(bool valid, const QByteArray& imageData)>;
    using PreviewImageBlock = std::function<void(const QByteArray& imageData)>;
    // The same, and whether the site answered at all (false: offline, or the site cannot be reached).
    using CheckBlock = std::function<void(bool valid, const QByteArray& imageData, bool siteAnswered)>;

    StreamingVideoPreviewHelper() = delete;

    static QString videoIdFromURLString(const QString& urlString);
    static void previewImageURLStringFromVideoId(const QString& videoId, AddressBlock onDone);
    static void tryToRetievePreviewImageForVideoId(const QString& videoId, PreviewImageBlock onComplete);
    static QSizeF previewImageSize();
    static void validateVideoId(const QString& videoId, ValidationBlock onComplete);
    static void checkVideoId(const QString& videoId, CheckBlock onComplete);

    // Points the preview image host and the JSON API host at other servers (a local fake in the tests);
    // an empty URL restores the site's own host.
    static void setSiteBaseURLsForTesting(const QUrl& previewImageBaseURL, const QUrl& jsonAPIBaseURL);

    // Preview images narrower than this are the site's placeholder, not a video's picture.
    static constexpr int kMinimumPreviewImageWidth = 120;
    static constexpr int kJsonTimeoutMs = 5000;
    static constexpr int kImageTimeoutMs = 60000;
    static constexpr qint64 kMaximumJsonBytes = 1024 * 1024;
    static constexpr qint64 kMaximumImageBytes = 10 * 1024 * 1024;

protected:
    // What one GET gave: the body (empty after a failure), the HTTP status (0 when no answer came) and the
    // reason it failed ("" on success).
    struct FetchResult {
        QByteArray data;
        int httpStatus = 0;
        QString errorText;
        bool succeeded() const { return errorText.isEmpty(); }
    };
    // The preview image address ("" when there is none), and whether the site answered at all.
    using AnsweredAddressBlock = std::function<void(const QString& previewImageURLString, bool siteAnswered)>;
    using AddressLookup = void (*)(const QString& videoId, AnsweredAddressBlock onDone);

    // Validation with the address rule of one site.
    static void validateVideoIdUsing(AddressLookup addressLookup, const QString& videoId, ValidationBlock onComplete);
    static void checkVideoIdUsing(AddressLookup addressLookup, const QString& videoId, CheckBlock onComplete);
    // This base's address rule: none.
    static void lookUpPreviewImageAddress(const QString& videoId, AnsweredAddressBlock onDone);

    // GETs `url` on the main thread; the request is aborted after `timeoutMs` and cut off once the body passes
    // `maximumBytes` (both are failures). A status outside 2xx is a failure that keeps its body.
    static void fetch(const QUrl& url, int timeoutMs, qint64 maximumBytes,
                      std::function<void(const FetchResult&)> onDone);

    // `block` runs on the main thread after the caller has returned.
    static void runOnMainThreadLater(std::function<void()> block);

    // The id as one percent-encoded path segment; "" when the id cannot be one ("", "." and "..").
    static QString pathSegmentForVideoId(const QString& videoId);

    // "http://host" of each site, without a trailing slash.
    static QString previewImageBaseURLString();
    static QString jsonAPIBaseURLString();
};
