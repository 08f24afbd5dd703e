#include "elements/video/YouTubeVideoPreviewHelper.h"

#include <array>

#include <QRegularExpression>

namespace {

// The host part is the short-link host with its dot optional, so it also matches the start of the main host.
const QRegularExpression& videoIdPattern()
{
    static const QRegularExpression pattern = [] {
        QRegularExpression expression(QStringLiteral(R"(youtu\.?be[^\/]*\/(?:[^\?]*\?v=)?([a-zA-Z0-9-_]*))"),
                                      QRegularExpression::CaseInsensitiveOption);
        expression.optimize();
        return expression;
    }();
    return pattern;
}

// The id alphabet, one flag per ASCII code.
const std::array<bool, 128>& videoIdAlphabet()
{
    static const std::array<bool, 128> alphabet = [] {
        std::array<bool, 128> flags{};
        for (char c : std::string_view("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_-"))
            flags[static_cast<unsigned char>(c)] = true;
        return flags;
    }();
    return alphabet;
}

} // namespace

bool YouTubeVideoPreviewHelper::isInVideoIdAlphabet(const QString& text)
{
    const std::array<bool, 128>& alphabet = videoIdAlphabet();
    for (QChar unit : text) {
        const char16_t code = unit.unicode();
        if (code >= alphabet.size() || !alphabet[code])
            return false;
    }
    return true;
}

QString YouTubeVideoPreviewHelper::videoIdFromURLString(const QString& urlString)
{
    if (urlString.isEmpty())
        return QString();
    const QRegularExpressionMatch match = videoIdPattern().match(urlString);
    if (match.hasMatch())
        return match.captured(1);
    if (urlString.size() == kVideoIdLength && isInVideoIdAlphabet(urlString))
        return urlString;
    return QString();
}

QString YouTubeVideoPreviewHelper::previewImageURLStringFromVideoId(const QString& videoId)
{
    const QString segment = pathSegmentForVideoId(videoId);
    if (segment.isEmpty())
        return QString();
    return previewImageBaseURLString() + QStringLiteral("/vi/") + segment + QStringLiteral("/hqdefault.jpg");
}

void YouTubeVideoPreviewHelper::previewImageURLStringFromVideoId(const QString& videoId, AddressBlock onDone)
{
    runOnMainThreadLater([address = previewImageURLStringFromVideoId(videoId), onDone = std::move(onDone)] {
        if (onDone)
            onDone(address);
    });
}

void YouTubeVideoPreviewHelper::tryToRetievePreviewImageForVideoId(const QString&, PreviewImageBlock onComplete)
{
    // Kept for callers that may still name it: it holds on to the block for the call and never runs it.
    const PreviewImageBlock kept = std::move(onComplete);
    (void)kept;
}

void YouTubeVideoPreviewHelper::lookUpPreviewImageAddress(const QString& videoId, AnsweredAddressBlock onDone)
{
    // The address is made here: the site has not been asked yet.
    runOnMainThreadLater([address = previewImageURLStringFromVideoId(videoId), onDone = std::move(onDone)] {
        if (onDone)
            onDone(address, true);
    });
}

void YouTubeVideoPreviewHelper::validateVideoId(const QString& videoId, ValidationBlock onComplete)
{
    validateVideoIdUsing(&YouTubeVideoPreviewHelper::lookUpPreviewImageAddress, videoId, std::move(onComplete));
}

void YouTubeVideoPreviewHelper::checkVideoId(const QString& videoId, CheckBlock onComplete)
{
    checkVideoIdUsing(&YouTubeVideoPreviewHelper::lookUpPreviewImageAddress, videoId, std::move(onComplete));
}
