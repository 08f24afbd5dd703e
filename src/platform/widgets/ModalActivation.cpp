#include "platform/widgets/ModalActivation.h"

#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace {

class BlockedWindowWatcher : public QObject {
public:
    BlockedWindowWatcher(QWidget* dialog, QWidget* blocked)
        : QObject(dialog)
        , m_dialog(dialog)
    {
        blocked->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::WindowActivate && m_dialog && m_dialog->isVisible() && m_dialog->isModal()) {
            // After the activation has run its course, or the window would take the keyboard back.
            QTimer::singleShot(0, m_dialog, [dialog = m_dialog] {
                if (dialog && dialog->isVisible() && !dialog->isActiveWindow()) {
                    dialog->raise();
                    dialog->activateWindow();
                }
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QPointer<QWidget> m_dialog;
};

} // namespace

namespace ModalActivation {

void keepOnDialog(QWidget* dialog)
{
    QWidget* parent = dialog ? dialog->parentWidget() : nullptr;
    if (!parent)
        return;
    new BlockedWindowWatcher(dialog, parent->window());
}

} // namespace ModalActivation
