#include "roads/RoadsKeyboard.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QHash>
#include <QKeySequence>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QTest>
#include <QTimer>
#include <QThread>
#include <QToolButton>
#include <QWindow>
#include <qpa/qwindowsysteminterface.h>

#include "app/QVRMainMenu.h"
#include "controls/FloatingWindowCloser.h"
#include "controls/WindowKeyboardReturn.h"

namespace roads::keyboard {

QString describe(const QWidget* widget)
{
    if (!widget)
        return QStringLiteral("nothing");
    QString name = QString::fromLatin1(widget->metaObject()->className());
    if (!widget->objectName().isEmpty())
        name += QLatin1Char(' ') + widget->objectName();
    QString text;
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
        text = button->text();
    if (text.isEmpty())
        text = widget->accessibleName();
    if (!text.isEmpty())
        name += QStringLiteral(" \"") + text + QLatin1Char('"');
    if (!widget->isWindow() && widget->window())
        name += QStringLiteral(" in ") + QString::fromLatin1(widget->window()->metaObject()->className()) +
                QStringLiteral(" \"") + widget->window()->windowTitle() + QLatin1Char('"');
    return name;
}

namespace {

// A panel laid over part of a window: the toolbar's and the canvas's shields (popovers, choosers, the guide),
// the dark sheet, the player's full-size gallery and PDF views.
bool isPanel(const QWidget* widget)
{
    if (widget->isWindow())
        return false;
    return widget->inherits("MouseEventShieldWindow") || widget->inherits("QVR_ModalViewWithCloseButton") ||
           widget->objectName() == QLatin1String("SheetLikePanelViewController");
}

// Follows every window and panel that opens and closes, and judges where the keyboard went when one closed: at the
// next key or click the user gives, or at the next check.
class Watcher : public QObject {
public:
    static Watcher& shared()
    {
        static Watcher* s_watcher = [] {
            auto* watcher = new Watcher;
            qApp->installEventFilter(watcher);
            QObject::connect(qApp, &QApplication::focusChanged, watcher,
                             [watcher](QWidget*, QWidget* now) { watcher->noteFocus(now); });
            watcher->noteFocus(QApplication::focusWidget());
            return watcher;
        }();
        return *s_watcher;
    }

    // A person's next key comes a moment after a window closed, once the keyboard has been given back.
    void waitForKeyboardToSettle()
    {
        const int settle = WindowKeyboardReturn::kSettleMs + 60;
        if (m_sinceWindowHid.isValid() && m_sinceWindowHid.elapsed() < settle)
            QTest::qWait(int(settle - m_sinceWindowHid.elapsed()));
    }

    // Whether a window closed whose keyboard may still be on its way back (the event loop has not turned past
    // the moment it is given back).
    bool settling() const { return m_unsettled > 0; }

    // What broke the rule since the last call.
    QStringList takeViolations()
    {
        judge();
        return std::exchange(m_violations, {});
    }

    // Whether what closed since the last call broke the rule as things stand, judged without taking it.
    bool anyViolation()
    {
        const QList<Closed> pending = m_pending;
        const QStringList violations = m_violations;
        judge();
        const bool broken = !m_violations.isEmpty();
        m_pending = pending;
        m_violations = violations;
        return broken;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::ShortcutOverride:
            // The next key the user types is where a closed window's keyboard must be back.
            if (watched->isWidgetType() && static_cast<QWidget*>(watched) == QApplication::focusWidget())
                judge();
            break;
        case QEvent::MouseButtonPress:
            ++m_presses;
            break;
        case QEvent::Show:
        case QEvent::Hide:
            if (event->type() == QEvent::Hide && watched->isWidgetType() &&
                static_cast<QWidget*>(watched)->isWindow()) {
                m_sinceWindowHid.start();
                // The keyboard is given back once the event loop has turned past its moment; this marker's moment
                // comes after it.
                ++m_unsettled;
                QTimer::singleShot(WindowKeyboardReturn::kSettleMs + 20, this, [this] { --m_unsettled; });
            }
            if (watched->isWidgetType()) {
                auto* widget = static_cast<QWidget*>(watched);
                const bool tracked =
                    isPanel(widget) || (widget->isWindow() && WindowKeyboardReturn::takesKeyboard(widget));
                if (tracked && event->type() == QEvent::Show)
                    opened(widget);
                else if (tracked)
                    closed(widget);
            }
            break;
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    struct Opened {
        QPointer<QWidget> what;
        QPointer<QWidget> returnWindow; // where the keyboard goes back to
        QPointer<QWidget> returnFocus;
        // The widget that had the keyboard until it was greyed, and Qt handed the keyboard on to returnFocus: the
        // application may give it back there once it is enabled again.
        QPointer<QWidget> greyedFocus;
        quint64 order = 0;
        QString name;
    };
    struct Closed {
        Opened opened;
        quint64 presses = 0;
    };

    void noteFocus(QWidget* now)
    {
        if (!now)
            return;
        // Where a closed window or panel gave the keyboard back (or a window opened since took it), the close
        // kept the rule, whatever the road does next.
        m_pending.removeIf([&](const Closed& closed) {
            return !(closed.opened.what && closed.opened.what->isVisible()) &&
                   (now == closed.opened.returnFocus || (now == closed.opened.greyedFocus && now->isEnabled()) ||
                    inLaterOpened(now, closed.opened.order));
        });
        auto& history = m_focusHistory[now->window()];
        // Greyed while it had the keyboard, the widget before handed it on to this one.
        QWidget* before = history.isEmpty() ? nullptr : history.last().data();
        if (before && before != now && !before->isEnabled())
            m_greyedBefore.insert(now, before);
        else if (before != now)
            m_greyedBefore.remove(now);
        history.removeIf([now](const QPointer<QWidget>& seen) { return !seen || seen == now; });
        history.append(now);
        while (history.size() > 12)
            history.removeFirst();
    }

    // The widget of `window` that had the keyboard last, outside `panel`.
    QWidget* lastFocusOutside(QWidget* window, const QWidget* panel) const
    {
        const auto history = m_focusHistory.value(window);
        for (auto it = history.crbegin(); it != history.crend(); ++it) {
            QWidget* widget = *it;
            if (widget && widget != panel && !panel->isAncestorOf(widget))
                return widget;
        }
        return nullptr;
    }

    void opened(QWidget* widget)
    {
        if (m_open.contains(widget))
            return;
        Opened entry;
        entry.what = widget;
        entry.order = ++m_order;
        entry.name = describe(widget);
        if (widget->isWindow()) {
            QWidget* active = QApplication::activeWindow();
            if (active && active != widget) {
                entry.returnWindow = active;
                entry.returnFocus = active->focusWidget();
            }
        } else if (QWidget* active = QApplication::activeWindow(); active && active != widget->window()) {
            // Opened in a window without the keyboard (a road's click does not activate the window it reaches):
            // the keyboard stays where it is.
            entry.returnWindow = active;
            entry.returnFocus = active->focusWidget();
        } else {
            entry.returnWindow = widget->window();
            entry.returnFocus = lastFocusOutside(widget->window(), widget);
        }
        if (entry.returnFocus) {
            entry.greyedFocus = m_greyedBefore.value(entry.returnFocus);
            // Greyed while its window was not active, the widget handed the keyboard on without a focus event.
            const auto history = m_focusHistory.value(entry.returnFocus->window());
            QWidget* last = history.isEmpty() ? nullptr : history.last().data();
            if (!entry.greyedFocus && last && last != entry.returnFocus && !last->isEnabled())
                entry.greyedFocus = last;
        }
        m_open.insert(widget, entry);
    }

    void closed(QWidget* widget)
    {
        const auto found = m_open.find(widget);
        if (found == m_open.end())
            return;
        m_pending.append(Closed{found.value(), m_presses});
        m_open.erase(found);
    }

    // Whether `widget` lies in a window or panel that opened after the one that closed (the keyboard went on).
    bool inLaterOpened(const QWidget* widget, quint64 order) const
    {
        for (const QWidget* part = widget; part; part = part->parentWidget()) {
            const auto found = m_open.constFind(part);
            if (found != m_open.constEnd() && found->order > order)
                return true;
        }
        return false;
    }

    void judge()
    {
        const QList<Closed> pending = std::exchange(m_pending, {});
        if (QApplication::activePopupWidget() || QApplication::activeModalWidget() != nullptr) {
            // A menu or a modal dialog has the keyboard now: what closed before is judged once it has gone.
            if (QApplication::activePopupWidget())
                m_pending = pending;
            else
                for (const Closed& closed : pending)
                    judgeOne(closed);
            return;
        }
        for (const Closed& closed : pending)
            judgeOne(closed);
    }

    void judgeOne(const Closed& closed)
    {
        const Opened& opened = closed.opened;
        QWidget* back = opened.returnWindow;
        // Gone with its window (the window closed, or is closing): nothing to come back to.
        if (!back || !back->isVisible() || (opened.what && opened.what->isVisible()))
            return;
        QWidget* active = QApplication::activeWindow();
        QWidget* focus = QApplication::focusWidget();
        if (!active || !active->isVisible()) {
            m_violations << QStringLiteral("no window has the keyboard after %1 closed").arg(opened.name);
            return;
        }
        if (!focus || !focus->isVisible()) {
            m_violations << QStringLiteral("no visible widget has the keyboard after %1 closed (%2 is active)")
                                .arg(opened.name, describe(active));
            return;
        }
        if (focus == opened.returnFocus || inLaterOpened(focus, opened.order))
            return;
        if (focus == opened.greyedFocus && focus->isEnabled())
            return;
        // A click since then put the keyboard where the user clicked.
        if (m_presses > closed.presses)
            return;
        const bool canComeBack = opened.returnFocus && opened.returnFocus->isVisible() &&
                                 opened.returnFocus->isEnabled() && opened.returnFocus->window() == back;
        if (!canComeBack && active == back)
            return;
        m_violations << QStringLiteral("after %1 closed the keyboard is on %2 instead of back on %3")
                            .arg(opened.name, describe(focus), describe(opened.returnFocus));
    }

    QHash<const QWidget*, Opened> m_open;
    QList<Closed> m_pending;
    QHash<const QWidget*, QList<QPointer<QWidget>>> m_focusHistory;
    QHash<const QWidget*, QPointer<QWidget>> m_greyedBefore; // widget -> the greyed one it took the keyboard from
    QStringList m_violations;
    quint64 m_order = 0;
    quint64 m_presses = 0;
    QElapsedTimer m_sinceWindowHid;
    int m_unsettled = 0;
};

bool hasEscape(const QWidget* window)
{
    if (qobject_cast<const QDialog*>(window))
        return true; // Escape rejects a dialog
    // A window with the closer closes with Escape: through the closer, or (left to it) through the window itself
    // once what it shows has no use for the key.
    if (FloatingWindowCloser::of(window))
        return true;
    const QKeySequence escape(Qt::Key_Escape);
    const auto shortcuts = window->findChildren<QShortcut*>();
    return std::any_of(shortcuts.begin(), shortcuts.end(),
                       [&](const QShortcut* shortcut) { return shortcut->isEnabled() && shortcut->key() == escape; });
}

bool hasCloseControl(const QWidget* window)
{
    if (const FloatingWindowCloser* closer = FloatingWindowCloser::of(window))
        return closer->closeButton() && closer->closeButton()->isVisible();
    const auto buttons = window->findChildren<QAbstractButton*>();
    if (qobject_cast<const QDialog*>(window))
        // A dialog closes through its buttons (OK, Cancel, Done, a close button of its own).
        return std::any_of(buttons.begin(), buttons.end(),
                           [](const QAbstractButton* button) { return button->isVisible() && button->isEnabled(); });
    // Another window: a close button of its own, or the button that leaves it (its default one, Get Started).
    return std::any_of(buttons.begin(), buttons.end(), [](const QAbstractButton* button) {
        const auto* push = qobject_cast<const QPushButton*>(button);
        return button->isVisible() && button->isEnabled() &&
               (button->objectName().contains(QLatin1String("close"), Qt::CaseInsensitive) ||
                (push && push->isDefault()));
    });
}

} // namespace

bool isSecondaryWindow(const QWidget* window)
{
    if (!window || !window->isWindow() || !WindowKeyboardReturn::takesKeyboard(window))
        return false;
    return QVRMainMenu::barOf(window) == nullptr;
}

QWidget* focused()
{
    QWidget* active = QApplication::activeWindow();
    if (QWidget* popup = QApplication::activePopupWidget())
        return popup->focusWidget() ? popup->focusWidget() : popup;
    if (!active)
        return nullptr;
    return active->focusWidget();
}

bool press(Qt::Key key, Qt::KeyboardModifiers modifiers, int pauseMs)
{
    Watcher::shared().waitForKeyboardToSettle();
    QWindow* target = QGuiApplication::focusWindow();
    if (!target || !target->isVisible()) {
        QTest::qWait(pauseMs);
        return false;
    }
    QTest::keyClick(target, key, modifiers);
    QTest::qWait(pauseMs);
    return true;
}

bool tabUntil(const std::function<bool()>& reached, int presses)
{
    for (int press = 0; press < presses && !reached(); ++press)
        keyboard::press(Qt::Key_Tab, Qt::NoModifier, 20);
    return reached();
}

bool type(const QString& text, int pauseMs)
{
    Watcher::shared().waitForKeyboardToSettle();
    for (const QChar character : text) {
        QWindow* target = QGuiApplication::focusWindow();
        if (!target)
            return false;
        if (character.unicode() < 0x80)
            QTest::keyClick(target, character.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, target, Qt::Key_unknown, QString(character), Qt::NoModifier);
        QTest::qWait(pauseMs);
    }
    return true;
}

namespace {

// What breaks the rule in what shows now.
QStringList brokenNow()
{
    QStringList broken;

    bool anyShown = false;
    for (QWidget* top : QApplication::topLevelWidgets())
        anyShown = anyShown || (top->isVisible() && WindowKeyboardReturn::takesKeyboard(top));
    QWidget* active = QApplication::activeWindow();
    // The offscreen platform makes every window it shows active, a menu too, and leaves a closed menu so; on a
    // desktop a menu never takes the window's keyboard.
    const bool closedMenu = active && active->windowType() == Qt::Popup && !active->isVisible();
    if (anyShown && !QApplication::activePopupWidget() && !closedMenu) {
        QWidget* focus = active ? active->focusWidget() : nullptr;
        if (!active)
            broken << QStringLiteral("no window has the keyboard");
        else if (!focus || !focus->isVisible())
            broken << QStringLiteral("%1 has the keyboard, but no visible widget in it has the focus (%2)")
                          .arg(describe(active), describe(focus));
    }
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (!top->isVisible() || !isSecondaryWindow(top))
            continue;
        if (!hasEscape(top))
            broken << QStringLiteral("%1 does not close with Escape").arg(describe(top));
        if (!hasCloseControl(top))
            broken << QStringLiteral("%1 has no close control of its own").arg(describe(top));
    }
    return broken;
}

// The rule on what shows now, and on what closed since the last check.
bool checkNow(const QString& step)
{
    QStringList broken = Watcher::shared().takeViolations();
    broken += brokenNow();
    for (const QString& what : std::as_const(broken))
        ADD_FAILURE() << "keyboard rule, after " << step.toStdString() << ": " << what.toStdString();
    return broken.isEmpty();
}

} // namespace

bool check(const QString& step)
{
    Watcher& watcher = Watcher::shared();
    // The step's own events first (an activation, a repaint, a queued close, the keyboard given back).
    for (int turn = 0; turn < 3; ++turn) {
        QCoreApplication::processEvents();
        QTest::qWait(20);
    }
    watcher.waitForKeyboardToSettle();
    return checkNow(step);
}

bool checkOnceLanded(const QString& step, int timeoutMs)
{
    Watcher& watcher = Watcher::shared();
    for (int turn = 0; turn < 3; ++turn) {
        QCoreApplication::processEvents();
        QTest::qWait(20);
    }
    watcher.waitForKeyboardToSettle();
    // Judged as it stands once it holds, or once the time is up.
    if (!QTest::qWaitFor([&] { return !watcher.anyViolation() && brokenNow().isEmpty(); }, timeoutMs))
        QCoreApplication::processEvents();
    return checkNow(step);
}

bool checkBetweenSteps(const QString& step)
{
    if (QThread::currentThread()->loopLevel() > 0)
        return true;
    // No event is handled here but the window system's own (an activation asked for lands), and, where the rule
    // seems broken, those already posted (a control taking the keyboard as its panel shows): no timer runs and
    // nothing is deleted, and the road's timing stays its own. While a closed window's keyboard is still on its
    // way back, what closed is judged later.
    QWindowSystemInterface::flushWindowSystemEvents();
    Watcher& watcher = Watcher::shared();
    if (watcher.settling())
        return true;
    if (!brokenNow().isEmpty() || watcher.anyViolation())
        QCoreApplication::sendPostedEvents();
    return checkNow(step);
}

void watch()
{
    Watcher::shared();
}

bool tabWalksAround(const QString& step, int atLeast)
{
    Watcher::shared();
    QPointer<QWidget> start = focused();
    if (!start) {
        ADD_FAILURE() << "keyboard rule, after " << step.toStdString() << ": no widget has the keyboard to Tab from";
        return false;
    }
    QList<QPointer<QWidget>> stops;
    QString broken;
    bool around = false;
    for (int press = 0; press < 80 && broken.isEmpty(); ++press) {
        if (!keyboard::press(Qt::Key_Tab, Qt::NoModifier, 30)) {
            broken = QStringLiteral("Tab was lost: no window has the keyboard");
            break;
        }
        QWidget* now = focused();
        if (!now)
            broken = QStringLiteral("Tab left the keyboard on nothing");
        else if (!now->isVisible() || !now->isEnabled())
            broken = QStringLiteral("Tab stopped on %1, which is hidden or greyed").arg(describe(now));
        else if (now == start || (!stops.isEmpty() && now == stops.first()))
            around = true;
        else if (stops.contains(now))
            broken = QStringLiteral("Tab went round without coming back to %1").arg(describe(start));
        if (around || !broken.isEmpty())
            break;
        stops.append(now);
    }
    if (broken.isEmpty() && !around)
        broken = QStringLiteral("Tab never came back to %1 (%2 stops)").arg(describe(start)).arg(stops.size());
    if (broken.isEmpty() && stops.size() + 1 < atLeast)
        broken = QStringLiteral("Tab from %1 reached only %2 stops").arg(describe(start)).arg(stops.size());
    if (broken.isEmpty()) {
        // Back the same way with Shift+Tab: from where Tab came back, through the stops in reverse.
        QList<QPointer<QWidget>> backwards = stops;
        std::reverse(backwards.begin(), backwards.end());
        for (const QPointer<QWidget>& expected : std::as_const(backwards)) {
            keyboard::press(Qt::Key_Backtab, Qt::ShiftModifier, 30);
            QWidget* now = focused();
            if (now != expected) {
                broken = QStringLiteral("Shift+Tab went to %1 instead of %2").arg(describe(now), describe(expected));
                break;
            }
        }
    }
    if (start && start->isVisible() && focused() != start)
        start->setFocus(Qt::OtherFocusReason);
    if (!broken.isEmpty())
        ADD_FAILURE() << "keyboard rule, after " << step.toStdString() << ": " << broken.toStdString();
    return broken.isEmpty();
}

} // namespace roads::keyboard
