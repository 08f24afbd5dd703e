#include "tessarine_data_model/ZERI_MMObject_Video.h"

#include "tessarine_data_model/ModelJsonReader.h"

namespace {
const QString kIsYoutubeVideoKey = QStringLiteral("isYoutubeVideo");
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
    assign(m_isYoutubeVideo, reader.boolean(kIsYoutubeVideoKey), kIsYoutubeVideoKey, changedKeys);
}
