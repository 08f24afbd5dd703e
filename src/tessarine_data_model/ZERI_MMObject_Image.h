#pragma once

#include "tessarine_data_model/ZERI_MixedMediaObject.h"

// An image object (type 2): its picture is the cropped image asset made from the original image.
class ZERI_MMObject_Image : public ZERI_MixedMediaObject {
public:
    int type() const override { return Image; }
};
