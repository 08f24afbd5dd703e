#pragma once

#include <QObject>
#include <QPointer>

class QToolButton;
class QWidget;

// What lets a user close a small floating window (a panel, a chooser) that no window manager decorates: Escape
// anywhere in it, before any of its children sees the key, and a close button of its own in a strip along its top
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

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    FloatingWindowCloser(QWidget* window, const QString& closeToolTip);
    void place();

    QPointer<QWidget> m_window;
    QToolButton* m_button = nullptr;
};
