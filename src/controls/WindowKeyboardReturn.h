#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>

class QWidget;

// Gives the keyboard back when a window closes. A window that shows remembers the window that had the keyboard
// then and that window's focused widget; when it hides and no other window has taken the keyboard, that window is
// activated again and the widget gets the focus back. A window manager usually does the activating; without one
// the X server gives the focus to nobody, and every key typed next would be lost until a click.
//
// The application installs one at start-up. Main thread only.
class WindowKeyboardReturn : public QObject {
    Q_OBJECT
public:
    // How long after a window hid the keyboard is given back, when nothing else has taken it by then.
    static constexpr int kSettleMs = 100;

    // Installs the application's one instance (a second call does nothing).
    static void install();
    static bool isInstalled();

    // Whether `window` is one the keyboard is given back from: a top-level window that takes the keyboard (no
    // menu, tool tip or splash screen).
    static bool takesKeyboard(const QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Opener {
        QPointer<QWidget> window;
        QPointer<QWidget> focus;
        quint64 order = 0; // when the closed window showed
    };

    WindowKeyboardReturn() = default;
    void noteShown(QWidget* window);
    void noteHidden(QWidget* window);
    void noteActivated(QWidget* window);
    void giveBack(const QPointer<QWidget>& hidden, const Opener& opener);
    // The window activated last that still shows, other than `except`.
    QWidget* latestShown(const QWidget* except) const;

    // The window shown last after `order` that still shows: it has the keyboard, or is about to get it.
    QWidget* newestShownSince(quint64 order) const;

    QHash<const QWidget*, Opener> m_openers;
    QHash<const QWidget*, QPointer<QWidget>> m_shown;
    quint64 m_order = 0;
    QList<QPointer<QWidget>> m_activationOrder; // the latest last
};
