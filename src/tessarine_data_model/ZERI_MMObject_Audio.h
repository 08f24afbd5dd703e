#pragma once

#include <QSizeF>

#include "tessarine_data_model/ZERI_MixedMediaObject.h"

// An audio object (type 9): its clip is the audio asset. It is shown as a dark panel with a loudspeaker and an
// empty progress ring; the model draws that panel at rest at the object's current frame, so a resized object
// never shows a stretched picture.
class ZERI_MMObject_Audio : public ZERI_MixedMediaObject {
public:
    static QSizeF defaultSize() { return QSizeF(100, 100); }
    int type() const override { return Audio; }

    void drawOnContext(QPainter* context, double scale, const QSizeF& contextSize, bool drawBordersForBlankObjects,
                       bool ignoreThreadSafety) const override;
};
