#pragma once

#include "storage/QVRDataProcessorDataItem.h"

// A data item whose content is read from its contentUrl (a local file URL when importing a file).
class QVRDataFromURLDataItem : public QVRDataProcessorDataItem {
public:
    QJsonObject archive() const override;
};
