#include "elements/video/StreamingVideoPreviewHelper.h"

#include <memory>

#include <QBuffer>
#include <QCoreApplication>
#include <QImageReader>
#include <QLoggingCategory>
#include <QMutex>
#include <QMutexLocker>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>

#include "foundation/ApplicationNetworkAccess.h"
#include "platform/MainThread.h"
#include "storage/ZERI_WebDownloader.h"

// The two lines of this category are always shown, as the validation's own record of what happened.
Q_LOGGING_CATEGORY(lcStreamingVideo, "tess.elements.video.streaming", QtInfoMsg)

namespace {

const QString kDefaultPreviewImageBase = QStringLiteral("http://img.youtube.com");
const QString kDefaultJsonAPIBase = QStringLiteral("http://vimeo.com");

struct SiteBaseURLs {
    QMutex mutex;
    QString previewImage = kDefaultPreviewImageBase;
    QString jsonAPI = kDefaultJsonAPIBase;
};

SiteBaseURLs& siteBaseURLs()
{
    static SiteBaseURLs urls;
    return urls;
}

QString baseURLString(const QUrl& url, const QString& fallback)
{
    return url.isEmpty() ? fallback : url.toString(QUrl::StripTrailingSlash);
}

// One manager for every request, made on the main thread; a request given up on a time-out may still be
// winding down when the application goes (see ApplicationNetworkAccess).
QNetworkAccessManager* networkManager()
{
    static QPointer<QNetworkAccessManager> manager;
    if (!manager)
        manager = ApplicationNetworkAccess::newManager();
    return manager;
}

// The pixel width of encoded image data, read from its header where the format allows; 0 when it is no image.
int imageWidth(const QByteArray& data)
{
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (size.isValid())
        return size.width();
    const QImage image = reader.read(); // formats that only know their size once decoded
    return image.isNull() ? 0 : image.width();
}

} // namespace

QString StreamingVideoPreviewHelper::videoIdFromURLString(const QString&)
{
    return QString();
}

void StreamingVideoPreviewHelper::previewImageURLStringFromVideoId(const QString&, AddressBlock onDone)
{
    runOnMainThreadLater([onDone = std::move(onDone)] {
        if (onDone)
            onDone(QString());
    });
}

void StreamingVideoPreviewHelper::lookUpPreviewImageAddress(const QString&, AnsweredAddressBlock onDone)
{
    runOnMainThreadLater([onDone = std::move(onDone)] {
        if (onDone)
            onDone(QString(), true);
    });
}

void StreamingVideoPreviewHelper::tryToRetievePreviewImageForVideoId(const QString&, PreviewImageBlock) {}

QSizeF StreamingVideoPreviewHelper::previewImageSize()
{
    return QSizeF(0, 0);
}

void StreamingVideoPreviewHelper::validateVideoId(const QString& videoId, ValidationBlock onComplete)
{
    validateVideoIdUsing(&StreamingVideoPreviewHelper::lookUpPreviewImageAddress, videoId, std::move(onComplete));
}

void StreamingVideoPreviewHelper::checkVideoId(const QString& videoId, CheckBlock onComplete)
{
    checkVideoIdUsing(&StreamingVideoPreviewHelper::lookUpPreviewImageAddress, videoId, std::move(onComplete));
}

void StreamingVideoPreviewHelper::setSiteBaseURLsForTesting(const QUrl& previewImageBaseURL, const QUrl& jsonAPIBaseURL)
{
    SiteBaseURLs& urls = siteBaseURLs();
    QMutexLocker lock(&urls.mutex);
    urls.previewImage = baseURLString(previewImageBaseURL, kDefaultPreviewImageBase);
    urls.jsonAPI = baseURLString(jsonAPIBaseURL, kDefaultJsonAPIBase);
}

QString StreamingVideoPreviewHelper::previewImageBaseURLString()
{
    SiteBaseURLs& urls = siteBaseURLs();
    QMutexLocker lock(&urls.mutex);
    return urls.previewImage;
}

QString StreamingVideoPreviewHelper::jsonAPIBaseURLString()
{
    SiteBaseURLs& urls = siteBaseURLs();
    QMutexLocker lock(&urls.mutex);
    return urls.jsonAPI;
}

QString StreamingVideoPreviewHelper::pathSegmentForVideoId(const QString& videoId)
{
    // "/", "?", "#" and every other reserved character are escaped, so the id stays one segment. QUrl turns
    // an escaped "." back into a dot, so the two dot segments cannot be made safe and are refused.
    if (videoId.isEmpty() || videoId == QLatin1String(".") || videoId == QLatin1String(".."))
        return QString();
    return QString::fromLatin1(QUrl::toPercentEncoding(videoId));
}

void StreamingVideoPreviewHelper::runOnMainThreadLater(std::function<void()> block)
{
    MainThread::run(std::move(block), false); // queued even on the main thread
}

void StreamingVideoPreviewHelper::validateVideoIdUsing(AddressLookup addressLookup, const QString& videoId,
                                                       ValidationBlock onComplete)
{
    checkVideoIdUsing(addressLookup, videoId, [onComplete](bool valid, const QByteArray& data, bool) {
        if (onComplete)
            onComplete(valid, data);
    });
}

void StreamingVideoPreviewHelper::checkVideoIdUsing(AddressLookup addressLookup, const QString& videoId,
                                                    CheckBlock onComplete)
{
    auto finish = [onComplete](bool valid, const QByteArray& data, bool siteAnswered) {
        if (onComplete)
            onComplete(valid, data, siteAnswered);
    };
    if (videoId.isEmpty()) {
        runOnMainThreadLater([finish] { finish(false, QByteArray(), true); });
        return;
    }
    // The lookup itself delivers on the main thread, after this call has returned.
    addressLookup(videoId, [finish](const QString& address, bool siteAnswered) {
        const QUrl url(address, QUrl::StrictMode);
        if (address.isEmpty() || !url.isValid()) {
            qCWarning(lcStreamingVideo).noquote() << "Error getting streaming video preview image:"
                                                  << "no preview image address for the video";
            finish(false, QByteArray(), siteAnswered);
            return;
        }
        fetch(url, kImageTimeoutMs, kMaximumImageBytes, [finish](const FetchResult& result) {
            if (!result.succeeded())
                qCWarning(lcStreamingVideo).noquote()
                    << "Error getting streaming video preview image:" << result.errorText;
            bool valid = false;
            // An error status proves nothing: the site answers an unknown id with a wide placeholder and 404.
            const bool statusOk = result.httpStatus >= 200 && result.httpStatus < 300;
            if (statusOk && !result.data.isEmpty() && imageWidth(result.data) >= kMinimumPreviewImageWidth) {
                valid = true;
                qCInfo(lcStreamingVideo) << "The Video is Validated!";
            }
            // No status at all: no answer came (no such host, refused, timed out).
            finish(valid, result.data, result.httpStatus != 0);
        });
    });
}

void StreamingVideoPreviewHelper::fetch(const QUrl& url, int timeoutMs, qint64 maximumBytes,
                                        std::function<void(const FetchResult&)> onDone)
{
    if (!MainThread::isMainThread()) {
        MainThread::run(
            [url, timeoutMs, maximumBytes, onDone = std::move(onDone)]() mutable {
                fetch(url, timeoutMs, maximumBytes, std::move(onDone));
            },
            false);
        return;
    }

    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::PreferNetwork);
    // Redirects pass the downloads' rule (web addresses only, never from https to http, into this machine or its
    // network only from there), each checked before it is followed.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setMaximumRedirectsAllowed(ZERI_WebDownloader::kMaximumRedirects);
    QNetworkReply* reply = networkManager()->get(request);

    struct State {
        QByteArray body;
        QString failure; // set when this side ended the request
    };
    auto state = std::make_shared<State>();

    auto cutOff = [reply, state, maximumBytes] {
        state->failure = QStringLiteral("The reply is larger than %1 bytes.").arg(maximumBytes);
        reply->abort();
    };
    QObject::connect(reply, &QNetworkReply::redirected, reply, [reply, state, first = url](const QUrl& target) {
        const QUrl from = reply->url();
        if (ZERI_WebDownloader::mayRedirect(first, from, from.resolved(target))) {
            emit reply->redirectAllowed();
            return;
        }
        state->failure = QStringLiteral("Redirected to an address that is not allowed.");
        reply->abort();
    });
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [reply, state, maximumBytes, cutOff] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (state->failure.isEmpty() && length.isValid() && length.toLongLong() > maximumBytes)
            cutOff();
    });
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [reply, state, maximumBytes, cutOff] {
        if (!state->failure.isEmpty())
            return;
        state->body += reply->readAll();
        if (state->body.size() > maximumBytes) {
            state->body.clear();
            cutOff();
        }
    });
    auto* timer = new QTimer(reply);
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer); // a coarse timer may fire up to 5 % early
    QObject::connect(timer, &QTimer::timeout, reply, [reply, state, timeoutMs] {
        if (!state->failure.isEmpty())
            return;
        state->failure = QStringLiteral("The request timed out after %1 ms.").arg(timeoutMs);
        reply->abort();
    });
    timer->start(timeoutMs);

    QObject::connect(reply, &QNetworkReply::finished, reply, [reply, state, maximumBytes, onDone] {
        reply->deleteLater();
        FetchResult result;
        result.httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (state->failure.isEmpty()) {
            state->body += reply->readAll();
            if (state->body.size() > maximumBytes)
                state->failure = QStringLiteral("The reply is larger than %1 bytes.").arg(maximumBytes);
        }
        if (!state->failure.isEmpty()) {
            result.errorText = state->failure;
        } else {
            result.data = state->body;
            if (result.httpStatus != 0 && (result.httpStatus < 200 || result.httpStatus >= 300))
                result.errorText = QStringLiteral("The server answered with HTTP status %1.").arg(result.httpStatus);
            else if (reply->error() != QNetworkReply::NoError)
                result.errorText = reply->errorString();
            if (reply->error() != QNetworkReply::NoError && result.httpStatus == 0)
                result.data.clear();
        }
        if (onDone)
            onDone(result);
    });
}
