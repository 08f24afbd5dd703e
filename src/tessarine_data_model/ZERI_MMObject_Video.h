#pragma once

#include <QUrl>

#include "tessarine_data_model/ZERI_MixedMediaObject.h"

// A video object (type 1): its film is the video asset, its poster frame the original image asset. An embedded
// streaming video has no local file; its video asset's URL is the site's link.
class ZERI_MMObject_Video : public ZERI_MixedMediaObject {
public:
    int type() const override { return Video; }

    bool isYoutubeVideo() const { return m_isYoutubeVideo; }
    void setIsYoutubeVideo(bool isYoutubeVideo);

    // Whether `address` is one of the sites' embedded players the creator makes web videos with: a YouTube
    // "/embed/<id>" page or a Vimeo player's "/video/<digits>" page. No file can be fetched from such a page.
    static bool isWebVideoAddress(const QUrl& address);

protected:
    void writeTypeProperties(QJsonObject& dict) const override;
    void readTypeProperties(const ModelJsonReader& reader, ChangedKeys& changedKeys) override;

private:
    bool m_isYoutubeVideo = false;
};
