#include "storage/QVRStreamingVideoDataItem.h"

QJsonObject QVRStreamingVideoDataItem::archive() const
{
    QJsonObject archive = QVRDataProcessorDataItem::archive();
    archive.insert(QStringLiteral("class"), QStringLiteral("QVRStreamingVideoDataItem"));
    archive.insert(QStringLiteral("contentId"), m_contentId);
    archive.insert(QStringLiteral("youtubeURL"), m_youtubeURL.toString(QUrl::FullyEncoded));
    archive.insert(QStringLiteral("thumbnailUrl"), m_thumbnailUrl.toString(QUrl::FullyEncoded));
    return archive;
}

void QVRStreamingVideoDataItem::readArchive(const QJsonObject& archive)
{
    QVRDataProcessorDataItem::readArchive(archive);
    m_contentId = archive.value(QStringLiteral("contentId")).toString();
    m_youtubeURL = QUrl(archive.value(QStringLiteral("youtubeURL")).toString(), QUrl::TolerantMode);
    m_thumbnailUrl = QUrl(archive.value(QStringLiteral("thumbnailUrl")).toString(), QUrl::TolerantMode);
}
