#pragma once

#include <QObject>
#include <QPointer>

class QShortcut;
class QToolButton;
class QWidget;

// What lets a user close a small floating window (a panel, a chooser) that no window manager decorates: Escape
// and the Close key (Ctrl+W) anywhere in it, before any of its children sees the key (so the window must have no
// menu bar taking Ctrl+W), and a close button of its own in a strip along its top
// edge (the window's top content margin grows by the strip's height, so the button covers nothing). Closing is the
// window's close(): a window kept for reuse hides and opens again whole.
//
// The closer belongs to the window. Main thread only.
class FloatingWindowCloser : public QObject {
    Q_OBJECT
public:
    static constexpr int kStripHeight = 22;

    // Installs the closer on a top-level `window` once; returns it (the window's existing one when there is one).
    static FloatingWindowCloser* install(QWidget* window, const QString& closeToolTip);
    static FloatingWindowCloser* of(const QWidget* window);

    QToolButton* closeButton() const { return m_button; }
    // For a window whose top edge is dark: the button's cross drawn light.
    void useLightButton();
    // For a window whose content leaves something else first on Escape (a player closing an opened gallery):
    // the window handles Escape itself.
    void leaveEscapeToWindow();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    FloatingWindowCloser(QWidget* window, const QString& closeToolTip);
    void place();

    QPointer<QWidget> m_window;
    QToolButton* m_button = nullptr;
    QShortcut* m_escape = nullptr;
};
