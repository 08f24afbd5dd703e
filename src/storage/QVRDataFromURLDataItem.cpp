#include "storage/QVRDataFromURLDataItem.h"

QJsonObject QVRDataFromURLDataItem::archive() const
{
    QJsonObject archive = QVRDataProcessorDataItem::archive();
    archive.insert(QStringLiteral("class"), QStringLiteral("QVRDataFromURLDataItem"));
    return archive;
}
