#include "storage/QVRDataProcessorDataItem.h"

#include <QFileInfo>

#include "tessarine_data_model/VideoAssetCompressorPreset.h"

QString QVRDataProcessorDataItem::contentFilePath() const
{
    return m_contentUrl.isLocalFile() ? m_contentUrl.toLocalFile() : QString();
}

QString QVRDataProcessorDataItem::sourceFileName() const
{
    return QFileInfo(m_contentUrl.path()).fileName();
}

QJsonObject QVRDataProcessorDataItem::archive() const
{
    QJsonObject archive = QVRDataItem::archive();
    archive.insert(QStringLiteral("class"), QStringLiteral("QVRDataProcessorDataItem"));
    if (!m_contentUrl.isEmpty())
        archive.insert(QStringLiteral("contentUrl"), m_contentUrl.toString(QUrl::FullyEncoded));
    if (m_preset)
        archive.insert(QStringLiteral("compressionPreset"), QString::fromUtf8(m_preset->JSONRepresentation()));
    return archive;
}

void QVRDataProcessorDataItem::readArchive(const QJsonObject& archive)
{
    m_contentUrl = QUrl(archive.value(QStringLiteral("contentUrl")).toString(), QUrl::TolerantMode);
    const QString preset = archive.value(QStringLiteral("compressionPreset")).toString();
    m_preset = preset.isEmpty() ? nullptr : VideoAssetCompressorPreset::initWithJsonString(preset);
}
