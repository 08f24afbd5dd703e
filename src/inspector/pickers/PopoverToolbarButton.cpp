#include "inspector/pickers/PopoverToolbarButton.h"

#include <algorithm>

#include "creator/toolbar/QVR_ToolbarButton.h"

QVR_ToolbarButton* PopoverToolbarButton::make(const QPixmap& image, const QString& title, QWidget* parent)
{
    auto* button = new QVR_ToolbarButton(parent);
    const QSize imageSize = image.deviceIndependentSize().toSize();
    button->setIconImage(QIcon(image), imageSize);
    int width = std::max(imageSize.width() + 12, 40);
    if (!title.isEmpty()) {
        button->setTitle(title);
        width = std::max(width, button->sizeHint().width());
    }
    button->setFixedSize(width, 50);
    return button;
}
