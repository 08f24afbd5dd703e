#pragma once

#include "tessarine_data_model/ZERI_MixedMediaObject.h"

// A gallery object (type 3): its images are in the gallery asset manager, which its dictionary form includes, so that
// initWithDict of that form makes an independent working copy.
class ZERI_MMObject_Gallery : public ZERI_MixedMediaObject {
public:
    int type() const override { return Gallery; }
};
