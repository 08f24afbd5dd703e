#include "controls/WindowKeyboardReturn.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace {

QPointer<WindowKeyboardReturn>& installed()
{
    static QPointer<WindowKeyboardReturn> s_installed;
    return s_installed;
}

bool canTakeFocusBack(const QWidget* widget, const QWidget* window)
{
    return widget && widget->window() == window && widget->isVisible() && widget->isEnabled() &&
           widget->focusPolicy() != Qt::NoFocus;
}

} // namespace

void WindowKeyboardReturn::install()
{
    if (installed() || !qApp)
        return;
    auto* keeper = new WindowKeyboardReturn;
    keeper->setParent(qApp);
    qApp->installEventFilter(keeper);
    installed() = keeper;
}

bool WindowKeyboardReturn::isInstalled()
{
    return !installed().isNull();
}

bool WindowKeyboardReturn::takesKeyboard(const QWidget* window)
{
    if (!window || !window->isWindow())
        return false;
    switch (window->windowType()) {
    case Qt::Popup:
    case Qt::ToolTip:
    case Qt::SplashScreen:
    case Qt::Desktop:
        return false;
    default:
        break;
    }
    return !window->testAttribute(Qt::WA_ShowWithoutActivating) && !window->testAttribute(Qt::WA_DontShowOnScreen) &&
           !window->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus);
}

bool WindowKeyboardReturn::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if ((type == QEvent::Show || type == QEvent::Hide || type == QEvent::WindowActivate) && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        if (takesKeyboard(widget)) {
            if (type == QEvent::Show)
                noteShown(widget);
            else if (type == QEvent::Hide)
                noteHidden(widget);
            else
                noteActivated(widget);
        }
    }
    return QObject::eventFilter(watched, event);
}

void WindowKeyboardReturn::noteShown(QWidget* window)
{
    // The window is not active yet: the one that is has the keyboard the user leaves to come here.
    QWidget* active = QApplication::activeWindow();
    QWidget* opener = active && active != window && active->isVisible() ? active : latestShown(window);
    m_openers.insert(window, Opener{opener, opener ? opener->focusWidget() : nullptr, ++m_order});
    m_shown.insert(window, window);
}

void WindowKeyboardReturn::noteHidden(QWidget* window)
{
    const Opener opener = m_openers.take(window);
    m_shown.remove(window);
    // Once the hide is through, and whatever the closing set off has landed: a window it opened or brought
    // forward, whose activation arrives a moment later.
    QTimer::singleShot(kSettleMs, this,
                       [this, hidden = QPointer<QWidget>(window), opener] { giveBack(hidden, opener); });
}

void WindowKeyboardReturn::noteActivated(QWidget* window)
{
    m_activationOrder.removeIf([window](const QPointer<QWidget>& seen) { return !seen || seen == window; });
    m_activationOrder.append(window);
}

void WindowKeyboardReturn::giveBack(const QPointer<QWidget>& hidden, const Opener& opener)
{
    if (QCoreApplication::closingDown() || (hidden && hidden->isVisible()))
        return;
    QWidget* active = QApplication::activeWindow();
    const bool keyboardTaken = active && active != hidden && active->isVisible();
    if (keyboardTaken) {
        // The window came back on its own (a window manager gave it the keyboard); its focused widget went away
        // meanwhile only when it was hidden, and then the remembered one takes the keyboard again.
        if (active == opener.window && (!active->focusWidget() || !active->focusWidget()->isVisible()) &&
            canTakeFocusBack(opener.focus, active))
            opener.focus->setFocus(Qt::ActiveWindowFocusReason);
        return;
    }
    // A window that opened after the closed one (the document it chose, say) has the first claim: its own
    // activation may still be on its way. Otherwise the window the closed one was opened from.
    QWidget* target = newestShownSince(opener.order);
    if (!target)
        target = opener.window && opener.window->isVisible() ? opener.window.data() : latestShown(hidden);
    if (!target)
        return;
    if (target == opener.window && canTakeFocusBack(opener.focus, target))
        opener.focus->setFocus(Qt::ActiveWindowFocusReason);
    target->raise();
    target->activateWindow();
}

QWidget* WindowKeyboardReturn::newestShownSince(quint64 order) const
{
    QWidget* newest = nullptr;
    quint64 newestOrder = order;
    for (auto it = m_openers.cbegin(); it != m_openers.cend(); ++it) {
        QWidget* window = m_shown.value(it.key());
        if (window && window->isVisible() && it->order > newestOrder) {
            newest = window;
            newestOrder = it->order;
        }
    }
    return newest;
}

QWidget* WindowKeyboardReturn::latestShown(const QWidget* except) const
{
    for (auto it = m_activationOrder.crbegin(); it != m_activationOrder.crend(); ++it) {
        QWidget* window = *it;
        if (window && window != except && window->isVisible() && takesKeyboard(window))
            return window;
    }
    return nullptr;
}
