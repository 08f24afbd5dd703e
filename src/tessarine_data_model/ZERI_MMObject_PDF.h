#pragma once

#include "tessarine_data_model/ZERI_MixedMediaObject.h"

// A PDF object (type 6): its document is the PDF asset; its original image asset holds the first page.
class ZERI_MMObject_PDF : public ZERI_MixedMediaObject {
public:
    int type() const override { return PDF; }
};
