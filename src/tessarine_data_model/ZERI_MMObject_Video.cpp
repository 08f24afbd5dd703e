#include "tessarine_data_model/ZERI_MMObject_Video.h"

#include <QRegularExpression>

#include "tessarine_data_model/ModelJsonReader.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"

namespace {
const QString kIsYoutubeVideoKey = QStringLiteral("isYoutubeVideo");
}

bool ZERI_MMObject_Video::isWebVideoAddress(const QUrl& address)
{
    const QString scheme = address.scheme().toLower();
    if (!address.isValid() || (scheme != QLatin1String("https") && scheme != QLatin1String("http")))
        return false;
    const QString host = address.host().toLower();
    static const QRegularExpression youTubePath(QStringLiteral("^/embed/[A-Za-z0-9_-]{11}/?$"));
    static const QRegularExpression vimeoPath(QStringLiteral("^/video/[0-9]+/?$"));
    if (host == QLatin1String("youtube.com") || host == QLatin1String("www.youtube.com") ||
        host == QLatin1String("m.youtube.com") || host == QLatin1String("youtube-nocookie.com") ||
        host == QLatin1String("www.youtube-nocookie.com"))
        return youTubePath.match(address.path()).hasMatch();
    if (host == QLatin1String("player.vimeo.com"))
        return vimeoPath.match(address.path()).hasMatch();
    return false;
}

void ZERI_MMObject_Video::setIsYoutubeVideo(bool isYoutubeVideo)
{
    if (m_isYoutubeVideo == isYoutubeVideo)
        return;
    m_isYoutubeVideo = isYoutubeVideo;
    didChange(kIsYoutubeVideoKey);
}

void ZERI_MMObject_Video::writeTypeProperties(QJsonObject& dict) const
{
    dict.insert(kIsYoutubeVideoKey, yesNo(m_isYoutubeVideo));
}

void ZERI_MMObject_Video::readTypeProperties(const ModelJsonReader& reader, ChangedKeys& changedKeys)
{
    // Documents made before web videos were marked as such say "NO" for them; a video whose address is a site's
    // embedded player can only ever be streamed, so it is read as the web video it is.
    const auto video = videoAsset();
    const bool streamed = reader.boolean(kIsYoutubeVideoKey) || (video && isWebVideoAddress(video->externalURL()));
    assign(m_isYoutubeVideo, streamed, kIsYoutubeVideoKey, changedKeys);
}
