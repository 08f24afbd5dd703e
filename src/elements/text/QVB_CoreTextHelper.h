#pragma once

#include <QImage>

class QPainter;
class ZERI_MMObject_Text;

// Prepares a text object's image for bitmap output.
class QVB_CoreTextHelper {
public:
    // Fills the object's frame, scaled by `scale`, with its background colour in `context` (y down), and returns a
    // transparent image the size of the frame in whole pixels, unscaled, for the text to be drawn into. A frame that
    // is empty or not finite gives a null image; a null context is not painted.
    static QImage createTextImageReferenceFromMixedMediaObject(const ZERI_MMObject_Text& object, QPainter* context,
                                                               double scale);
};
