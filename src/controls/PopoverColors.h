#pragma once

#include <QColor>

// Colours shared by the editor's popovers.
class PopoverColors {
public:
    // The base colour of object popovers and of the crop buttons: sRGB (0.11, 0.46, 0.73).
    static QColor basePopoverColor() { return QColor::fromRgbF(0.11f, 0.46f, 0.73f, 1.0f); }
};
