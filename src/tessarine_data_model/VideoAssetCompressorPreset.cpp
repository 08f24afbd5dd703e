#include "tessarine_data_model/VideoAssetCompressorPreset.h"

#include <cmath>
#include <cstdlib>
#include <limits>

#include <QJsonDocument>
#include <QJsonValue>

#include "foundation/SafeDictionary.h"

namespace {

const QString kBitrateKey = QStringLiteral("bitrate");
const QString kOutputHeightKey = QStringLiteral("output_height");
const QString kOutputWidthKey = QStringLiteral("output_width");
const QString kProfileLevelKey = QStringLiteral("video_profile_level");
const QString kMaxKeyframeIntervalKey = QStringLiteral("max_keyframe_interval");
const QString kDescriptionKey = QStringLiteral("human_readable_description");

// Leading integer value of the text, as strtoll reads it: optional blanks and sign, then digits; a text
// that does not begin with digits gives 0. A decimal text such as "2048000.0" gives its integer part.
qint64 leadingInteger(const QString& text)
{
    const QByteArray bytes = text.toLatin1();
    qsizetype i = 0;
    while (i < bytes.size() && (bytes[i] == ' ' || bytes[i] == '\t' || bytes[i] == '\n'))
        ++i;
    bool negative = false;
    if (i < bytes.size() && (bytes[i] == '+' || bytes[i] == '-')) {
        negative = bytes[i] == '-';
        ++i;
    }
    qint64 value = 0;
    for (; i < bytes.size() && bytes[i] >= '0' && bytes[i] <= '9'; ++i) {
        if (value > (std::numeric_limits<qint64>::max() - 9) / 10)
            return negative ? std::numeric_limits<qint64>::min() : std::numeric_limits<qint64>::max();
        value = value * 10 + (bytes[i] - '0');
    }
    return negative ? -value : value;
}

// Single-precision value of the leading number of the text (0 when there is none).
double leadingFloat(const QString& text)
{
    const QByteArray bytes = text.trimmed().toLatin1();
    char* end = nullptr;
    const float value = std::strtof(bytes.constData(), &end);
    return std::isfinite(value) ? double(value) : 0.0;
}

std::shared_ptr<VideoAssetCompressorPreset> makeShared(const char* name, qint64 bitrate, double height)
{
    auto preset = std::make_shared<VideoAssetCompressorPreset>();
    preset->setHumanReadableName(QString::fromLatin1(name));
    preset->setBitrate(bitrate);
    preset->setOutputHeight(height);
    preset->setOutputWidth(0);
    return preset;
}

} // namespace

std::shared_ptr<VideoAssetCompressorPreset> VideoAssetCompressorPreset::initWithDict(const QJsonObject& dict)
{
    auto preset = std::make_shared<VideoAssetCompressorPreset>();
    // Every value is read as text, as the safe dictionary's string reader gives it.
    const SafeDictionary safe(dict);
    if (const QString text = safe.stringForKey(kBitrateKey); !text.isEmpty())
        preset->m_bitrate = leadingInteger(text);
    if (const QString text = safe.stringForKey(kOutputHeightKey); !text.isEmpty())
        preset->m_outputHeight = leadingFloat(text);
    if (const QString text = safe.stringForKey(kOutputWidthKey); !text.isEmpty())
        preset->m_outputWidth = leadingFloat(text);
    preset->m_videoProfileLevel = safe.stringForKey(kProfileLevelKey);
    if (const QString text = safe.stringForKey(kMaxKeyframeIntervalKey); !text.isEmpty())
        preset->m_maxKeyFrameInterval = leadingInteger(text);
    preset->m_humanReadableName = safe.stringForKey(kDescriptionKey);
    return preset;
}

std::shared_ptr<VideoAssetCompressorPreset> VideoAssetCompressorPreset::initWithJsonString(const QString& json)
{
    const QJsonDocument document = QJsonDocument::fromJson(json.toUtf8());
    return initWithDict(document.isObject() ? document.object() : QJsonObject());
}

std::shared_ptr<VideoAssetCompressorPreset> VideoAssetCompressorPreset::small480p()
{
    static const std::shared_ptr<VideoAssetCompressorPreset> preset = makeShared("Small (480p)", 2048000, 480);
    return preset;
}

std::shared_ptr<VideoAssetCompressorPreset> VideoAssetCompressorPreset::medium720p()
{
    static const std::shared_ptr<VideoAssetCompressorPreset> preset = makeShared("Medium (720p)", 4096000, 720);
    return preset;
}

std::shared_ptr<VideoAssetCompressorPreset> VideoAssetCompressorPreset::large1080p()
{
    static const std::shared_ptr<VideoAssetCompressorPreset> preset = makeShared("Large (1080p)", 8192000, 1080);
    return preset;
}

QJsonObject VideoAssetCompressorPreset::dictionaryRepresentation() const
{
    QJsonObject dict;
    if (m_bitrate)
        dict.insert(kBitrateKey, double(*m_bitrate));
    // Sizes are stored in single precision, as the re-encoder configures its output with floats.
    dict.insert(kOutputHeightKey, double(float(m_outputHeight)));
    dict.insert(kOutputWidthKey, double(float(m_outputWidth)));
    if (!m_videoProfileLevel.isEmpty())
        dict.insert(kProfileLevelKey, m_videoProfileLevel);
    if (m_maxKeyFrameInterval)
        dict.insert(kMaxKeyframeIntervalKey, double(*m_maxKeyFrameInterval));
    if (!m_humanReadableName.isEmpty())
        dict.insert(kDescriptionKey, m_humanReadableName);
    return dict;
}

QByteArray VideoAssetCompressorPreset::JSONRepresentation() const
{
    return QJsonDocument(dictionaryRepresentation()).toJson(QJsonDocument::Compact);
}

QString VideoAssetCompressorPreset::description() const
{
    return QString::fromUtf8(JSONRepresentation());
}
