#pragma once

#include <memory>
#include <optional>

#include <QByteArray>
#include <QJsonObject>
#include <QString>

// Re-encoding settings chosen for one video content asset. A plain record: the content asset keeps it
// (JSON key "videoCompressionPreset") until the re-encoder has run, and the re-encoder copies its fields.
// Sizes are pixels; 0 means "derive from the other side and the source's aspect". Empty optionals and
// empty texts mean "encoder default" and are left out of the dictionary form.
//
// The three shared presets are made once and live for the whole process; a preset read back from a
// dictionary is always a new object (there is no mapping back to a shared one).
class VideoAssetCompressorPreset {
public:
    VideoAssetCompressorPreset() = default;

    // Reads the dictionary form. Every value goes through a text reading (a string as is, a number as its
    // decimal text, anything else as empty), so "2048000" and 2048000 read alike and a key of another kind
    // counts as missing.
    static std::shared_ptr<VideoAssetCompressorPreset> initWithDict(const QJsonObject& dict);
    // Parses JSON text; text that does not parse (or is not an object) gives a preset with every field
    // empty, never a missing preset.
    static std::shared_ptr<VideoAssetCompressorPreset> initWithJsonString(const QString& json);

    static std::shared_ptr<VideoAssetCompressorPreset> small480p();
    static std::shared_ptr<VideoAssetCompressorPreset> medium720p();
    static std::shared_ptr<VideoAssetCompressorPreset> large1080p();

    QJsonObject dictionaryRepresentation() const;
    QByteArray JSONRepresentation() const;
    QString description() const;

    std::optional<qint64> bitrate() const { return m_bitrate; }
    void setBitrate(std::optional<qint64> bitsPerSecond) { m_bitrate = bitsPerSecond; }
    double outputWidth() const { return m_outputWidth; }
    void setOutputWidth(double pixels) { m_outputWidth = pixels; }
    double outputHeight() const { return m_outputHeight; }
    void setOutputHeight(double pixels) { m_outputHeight = pixels; }
    std::optional<qint64> maxKeyFrameInterval() const { return m_maxKeyFrameInterval; }
    void setMaxKeyFrameInterval(std::optional<qint64> frames) { m_maxKeyFrameInterval = frames; }
    // H.264 profile-and-level identifier handed to the encoder unchanged; empty = encoder default.
    QString videoProfileLevel() const { return m_videoProfileLevel; }
    void setVideoProfileLevel(const QString& level) { m_videoProfileLevel = level; }
    QString humanReadableName() const { return m_humanReadableName; }
    void setHumanReadableName(const QString& name) { m_humanReadableName = name; }

private:
    std::optional<qint64> m_bitrate;
    double m_outputWidth = 0;
    double m_outputHeight = 0;
    std::optional<qint64> m_maxKeyFrameInterval;
    QString m_videoProfileLevel;
    QString m_humanReadableName;
};
