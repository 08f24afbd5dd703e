#pragma once

#include <memory>

#include <QUrl>

#include "storage/QVRDataItem.h"

class VideoAssetCompressorPreset;
class QVRDataProcessor;

// A data item whose content is at a URL and may be fetched or converted by a processor; a video item also
// carries the re-encoding preset chosen for it. A copy of the item shares the same preset object.
//
// Archived members: "contentUrl", and "compressionPreset" = the JSON text of the preset (absent without one).
class QVRDataProcessorDataItem : public QVRDataItem {
public:
    QUrl contentUrl() const { return m_contentUrl; }
    void setContentUrl(const QUrl& url) { m_contentUrl = url; }
    std::shared_ptr<VideoAssetCompressorPreset> videoCompressionPreset() const { return m_preset; }
    void setVideoCompressionPreset(const std::shared_ptr<VideoAssetCompressorPreset>& preset) { m_preset = preset; }
    std::shared_ptr<QVRDataProcessor> processor() const { return m_processor; }
    void setProcessor(const std::shared_ptr<QVRDataProcessor>& processor) { m_processor = processor; }

    QString contentFilePath() const override;
    QString sourceFileName() const override;
    QJsonObject archive() const override;
    void readArchive(const QJsonObject& archive);

private:
    QUrl m_contentUrl;
    std::shared_ptr<VideoAssetCompressorPreset> m_preset;
    std::shared_ptr<QVRDataProcessor> m_processor;
};

// Prepares a processor data item's content before import (downloads it, for instance). Main thread only.
class QVRDataProcessor {
public:
    virtual ~QVRDataProcessor() = default;
    // Calls `done` on the main thread once the item's content is ready (or with an error).
    virtual void processDataItem(const std::shared_ptr<QVRDataProcessorDataItem>& item,
                                 std::function<void(const Error& error)> done) = 0;
};
