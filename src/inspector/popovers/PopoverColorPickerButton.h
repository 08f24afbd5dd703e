#pragma once

#include <QString>

class QVRColorPicker;
class QWidget;

// The toolbar button of a colour picker in an object popover: the picker's button, with the picker itself laid
// over the button's icon so the swatch is always the picker's current colour. The button owns the picker.
class PopoverColorPickerButton {
public:
    static QWidget* make(QVRColorPicker* picker, const QString& title = {});
};
