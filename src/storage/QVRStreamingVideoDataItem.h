#pragma once

#include <QUrl>

#include "storage/QVRDataProcessorDataItem.h"

// An embedded web video (type 6): nothing is imported; the object's video asset points at the site link and its
// original image at the thumbnail.
//
// Archived members: "contentId", "youtubeURL", "thumbnailUrl".
class QVRStreamingVideoDataItem : public QVRDataProcessorDataItem {
public:
    QVRStreamingVideoDataItem() { setType(StreamingVideo); }
    QString contentId() const { return m_contentId; }
    void setContentId(const QString& contentId) { m_contentId = contentId; }
    QUrl youtubeURL() const { return m_youtubeURL; }
    void setYoutubeURL(const QUrl& url) { m_youtubeURL = url; }
    QUrl thumbnailUrl() const { return m_thumbnailUrl; }
    void setThumbnailUrl(const QUrl& url) { m_thumbnailUrl = url; }

    QJsonObject archive() const override;
    void readArchive(const QJsonObject& archive);

private:
    QString m_contentId;
    QUrl m_youtubeURL;
    QUrl m_thumbnailUrl;
};
