#pragma once

#include <QPixmap>
#include <QString>

class QVR_ToolbarButton;
class QWidget;

// Builds the toolbar buttons of the object popovers: the image centred, (image width + 12) or 40 wide, whichever
// is larger, by 50 tall; a title widens the button to fit its caption.
class PopoverToolbarButton {
public:
    static QVR_ToolbarButton* make(const QPixmap& image, const QString& title = {}, QWidget* parent = nullptr);
};
