#pragma once

#include <QSizeF>

#include "tessarine_data_model/ZERI_MixedMediaObject.h"

// An audio object (type 9): its clip is the audio asset; shown as a play icon.
class ZERI_MMObject_Audio : public ZERI_MixedMediaObject {
public:
    static QSizeF defaultSize() { return QSizeF(100, 100); }
    int type() const override { return Audio; }
};
