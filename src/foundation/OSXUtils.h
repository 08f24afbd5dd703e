#pragma once

#include <QPointF>

// Geometry helpers between the canvas and the model. The view helpers of this collection live with the
// shared controls.
class OSXUtils {
public:
    // A drag translation measured in a view shown at `viewScale`, in model units: (x / scale, −y / scale),
    // the y flip turning an upward (bottom-left origin) delta into the model's downward y. (0, 0) for a
    // zero scale.
    static QPointF convertedTranslationToCurrentModel(const QPointF& translation, double viewScale);
};
