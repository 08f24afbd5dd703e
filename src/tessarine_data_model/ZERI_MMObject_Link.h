#pragma once

#include "tessarine_data_model/ZERI_MixedMediaObject.h"

// A link object (type 5): a plain area that carries a link action and no media.
class ZERI_MMObject_Link : public ZERI_MixedMediaObject {
public:
    int type() const override { return Link; }
};
