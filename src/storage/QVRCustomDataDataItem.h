#pragma once

#include <QSizeF>

#include "storage/QVRDataItem.h"

// A data item over data held in memory (PNG or JPEG bytes from the clipboard or drawn by the program).
//
// Archived members: "customMainData" (Base64).
class QVRCustomDataDataItem : public QVRDataItem {
public:
    QByteArray customMainData() const { return m_data; }
    void setCustomMainData(const QByteArray& data) { m_data = data; }
    // An image item holding a fully transparent PNG of that size (rounded up to whole pixels, at least 1 × 1).
    static std::shared_ptr<QVRCustomDataDataItem> clearImageDataItemWithSize(const QSizeF& size);

    QByteArray contentData() const override { return m_data; }
    QJsonObject archive() const override;
    void readArchive(const QJsonObject& archive);

private:
    QByteArray m_data;
};
