#include "storage/QVRCustomDataDataItem.h"

#include <cmath>

#include <QBuffer>
#include <QImage>

std::shared_ptr<QVRCustomDataDataItem> QVRCustomDataDataItem::clearImageDataItemWithSize(const QSizeF& size)
{
    const auto side = [](double value) {
        return std::isfinite(value) && value > 1 ? int(std::min(std::ceil(value - 1e-6), 8192.0)) : 1;
    };
    QImage image(side(size.width()), side(size.height()), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    auto item = std::make_shared<QVRCustomDataDataItem>();
    item->setType(Image);
    item->setCustomMainData(png);
    return item;
}

QJsonObject QVRCustomDataDataItem::archive() const
{
    QJsonObject archive = QVRDataItem::archive();
    archive.insert(QStringLiteral("class"), QStringLiteral("QVRCustomDataDataItem"));
    archive.insert(QStringLiteral("customMainData"), QString::fromLatin1(m_data.toBase64()));
    return archive;
}

void QVRCustomDataDataItem::readArchive(const QJsonObject& archive)
{
    m_data = QByteArray::fromBase64(archive.value(QStringLiteral("customMainData")).toString().toLatin1());
}
