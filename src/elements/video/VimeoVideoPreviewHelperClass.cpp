#include "elements/video/VimeoVideoPreviewHelperClass.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QStringDecoder>

#include "foundation/SafeDictionary.h"

namespace {

// The site's host with the dot and the last letter of the top-level part optional, then an optional
// "video/"; or the start of the text. The digits that follow are the id.
const QRegularExpression& videoIdPattern()
{
    static const QRegularExpression pattern = [] {
        QRegularExpression expression(QStringLiteral(R"((?:vimeo\.?com?\/(?:video\/)?|^)([0-9]+))"),
                                      QRegularExpression::CaseInsensitiveOption);
        expression.optimize();
        return expression;
    }();
    return pattern;
}

} // namespace

QString VimeoVideoPreviewHelperClass::videoIdFromURLString(const QString& urlString)
{
    if (urlString.isEmpty())
        return QString();
    const QRegularExpressionMatch match = videoIdPattern().match(urlString);
    if (match.hasMatch() && match.hasCaptured(1))
        return match.captured(1);
    return QString();
}

QString VimeoVideoPreviewHelperClass::thumbnailURLStringFromJsonReply(const QByteArray& reply)
{
    if (reply.isEmpty())
        return QString();
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(reply);
    if (decoder.hasError())
        return QString();
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !document.isArray() || document.array().isEmpty())
        return QString();
    return SafeDictionary(document.array().last()).stringForKey(QStringLiteral("thumbnail_large"));
}

void VimeoVideoPreviewHelperClass::previewImageURLStringFromVideoId(const QString& videoId, AddressBlock onDone)
{
    lookUpPreviewImageAddress(videoId, [onDone = std::move(onDone)](const QString& address, bool) {
        if (onDone)
            onDone(address);
    });
}

void VimeoVideoPreviewHelperClass::lookUpPreviewImageAddress(const QString& videoId, AnsweredAddressBlock onDone)
{
    const QString segment = pathSegmentForVideoId(videoId);
    if (segment.isEmpty()) {
        runOnMainThreadLater([onDone = std::move(onDone)] {
            if (onDone)
                onDone(QString(), true);
        });
        return;
    }
    const QUrl url(jsonAPIBaseURLString() + QStringLiteral("/api/v2/video/") + segment + QStringLiteral(".json"),
                   QUrl::StrictMode);
    fetch(url, kJsonTimeoutMs, kMaximumJsonBytes, [onDone = std::move(onDone)](const FetchResult& result) {
        const QString address = result.succeeded() ? thumbnailURLStringFromJsonReply(result.data) : QString();
        if (onDone)
            onDone(address, result.httpStatus != 0);
    });
}

void VimeoVideoPreviewHelperClass::tryToRetievePreviewImageForVideoId(const QString&, PreviewImageBlock) {}

void VimeoVideoPreviewHelperClass::validateVideoId(const QString& videoId, ValidationBlock onComplete)
{
    validateVideoIdUsing(&VimeoVideoPreviewHelperClass::lookUpPreviewImageAddress, videoId, std::move(onComplete));
}

void VimeoVideoPreviewHelperClass::checkVideoId(const QString& videoId, CheckBlock onComplete)
{
    checkVideoIdUsing(&VimeoVideoPreviewHelperClass::lookUpPreviewImageAddress, videoId, std::move(onComplete));
}
