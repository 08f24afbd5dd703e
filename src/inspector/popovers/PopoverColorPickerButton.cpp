#include "inspector/popovers/PopoverColorPickerButton.h"

#include <QEvent>

#include "creator/toolbar/QVR_ToolbarButton.h"
#include "inspector/pickers/QVRColorPicker.h"

namespace {
// Keeps the swatch over the button's icon as the button is laid out.
class SwatchPlacer : public QObject {
public:
    SwatchPlacer(QVR_ToolbarButton* button, QVRColorPicker* picker)
        : QObject(button)
        , m_button(button)
        , m_picker(picker)
    {
    }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_button && (event->type() == QEvent::Resize || event->type() == QEvent::Show))
            place();
        return false;
    }
    void place()
    {
        const QRect icon = m_button->iconFrame();
        const QPoint centre = icon.isValid() ? icon.center() : m_button->rect().center();
        m_picker->move(centre - QPoint(m_picker->width() / 2, m_picker->height() / 2));
    }

private:
    QVR_ToolbarButton* m_button;
    QVRColorPicker* m_picker;
};
} // namespace

QWidget* PopoverColorPickerButton::make(QVRColorPicker* picker, const QString& title)
{
    QVR_ToolbarButton* button = picker->makeToolbarButton(title);
    // The live swatch replaces the snapshot the button was made with.
    button->setIconImage(QIcon(), picker->size());
    picker->setParent(button);
    picker->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* placer = new SwatchPlacer(button, picker);
    button->installEventFilter(placer);
    placer->place();
    picker->show();
    return button;
}
