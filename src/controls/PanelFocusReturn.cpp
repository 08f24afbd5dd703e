#include "controls/PanelFocusReturn.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QWidget>

namespace {

// Watches a window that is not active for its next activation, then gives the keyboard to the widget, unless it
// went away or cannot take it then. One per window: the latest widget wins.
class KeyboardOnActivation : public QObject {
public:
    static void arrange(QWidget* widget)
    {
        QWidget* window = widget->window();
        KeyboardOnActivation* watcher = nullptr;
        for (QObject* child : window->children()) {
            if ((watcher = dynamic_cast<KeyboardOnActivation*>(child)))
                break;
        }
        if (!watcher)
            watcher = new KeyboardOnActivation(window);
        watcher->m_widget = widget;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == parent() && event->type() == QEvent::WindowActivate) {
            QWidget* widget = m_widget;
            auto* window = static_cast<QWidget*>(parent());
            if (widget && widget->window() == window && widget->isVisible() && widget->isEnabled() &&
                window->focusWidget() != widget)
                widget->setFocus(Qt::ActiveWindowFocusReason);
            deleteLater();
            window->removeEventFilter(this);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    explicit KeyboardOnActivation(QWidget* window)
        : QObject(window)
    {
        window->installEventFilter(this);
    }

    QPointer<QWidget> m_widget;
};

} // namespace

void PanelFocusReturn::giveKeyboardTo(QWidget* widget)
{
    if (!widget)
        return;
    widget->setFocus(Qt::OtherFocusReason);
    if (!widget->isActiveWindow())
        KeyboardOnActivation::arrange(widget);
}

PanelFocusReturn* PanelFocusReturn::install(QWidget* panel)
{
    if (!panel)
        return nullptr;
    if (auto* existing = panel->findChild<PanelFocusReturn*>(QString(), Qt::FindDirectChildrenOnly))
        return existing;
    return new PanelFocusReturn(panel);
}

PanelFocusReturn::PanelFocusReturn(QWidget* panel)
    : QObject(panel)
    , m_panel(panel)
{
    panel->installEventFilter(this);
    remember();
    connect(qApp, &QApplication::focusChanged, this, &PanelFocusReturn::focusMoved);
}

void PanelFocusReturn::focusMoved(QWidget* old, QWidget* now)
{
    // A control of the panel that went away while the panel stays (a popover in a shield closing first, a page
    // replaced) would hand the keyboard on to the window's next control: it stays with the panel instead, which
    // gives it back when it closes.
    if (!m_panel || !m_panel->isVisible() || !old || old->isVisible() || !m_panel->isAncestorOf(old))
        return;
    if (now && (now == m_panel || m_panel->isAncestorOf(now)))
        return;
    m_panel->setFocus(Qt::OtherFocusReason);
}

void PanelFocusReturn::remember()
{
    QWidget* focused = m_panel ? m_panel->window()->focusWidget() : nullptr;
    if (focused && focused != m_panel && !m_panel->isAncestorOf(focused))
        m_returnTo = focused;
}

void PanelFocusReturn::giveBack()
{
    if (!m_panel)
        return;
    QWidget* window = m_panel->window();
    QWidget* focused = window->focusWidget();
    if (focused && focused != m_panel && !m_panel->isAncestorOf(focused) && focused->isVisible())
        return;
    QWidget* back = m_returnTo;
    if (back && back->window() == window && back->isVisible() && back->isEnabled()) {
        giveKeyboardTo(back);
        return;
    }
    // What had the keyboard went away meanwhile (the popover of an object no longer selected): the window's first
    // control takes it, as when the window was activated, so that the next key is not lost.
    for (QWidget* next = window->nextInFocusChain(); next && next != window; next = next->nextInFocusChain()) {
        if (next->window() == window && (next->focusPolicy() & Qt::TabFocus) && next->isVisible() &&
            next->isEnabled() && next != m_panel && !m_panel->isAncestorOf(next)) {
            next->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
}

bool PanelFocusReturn::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_panel) {
        if (event->type() == QEvent::Show)
            remember();
        else if (event->type() == QEvent::Hide)
            giveBack();
    }
    return QObject::eventFilter(watched, event);
}
