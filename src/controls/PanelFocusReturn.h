#pragma once

#include <QObject>
#include <QPointer>

class QWidget;

// Gives the keyboard back, when a panel laid over part of a window hides, to the widget that had it before the
// panel showed. Left to itself the keyboard would move on to the control after the panel in the window's tab
// order (the window's first one), where the next key typed may do harm. A panel that handed the keyboard
// elsewhere as it closed keeps that. Where the widget that had it has gone meanwhile, the window's first control
// takes it, as when the window is activated: the next key is never lost.
//
// Belongs to the panel. Main thread only.
class PanelFocusReturn : public QObject {
    Q_OBJECT
public:
    // Installs the panel's one instance, which remembers the window's focused widget at once (before a control of
    // the panel takes the keyboard) and again each time the panel shows.
    static PanelFocusReturn* install(QWidget* panel);

    // Gives `widget` the keyboard. In a window that is not active it becomes the window's focused widget, and it
    // takes the keyboard again when the window is next activated, should anything have put it elsewhere meanwhile
    // (a closed window's keyboard handed back to the widget that had it before, which has moved on since).
    static void giveKeyboardTo(QWidget* widget);

    QWidget* returnsTo() const { return m_returnTo; }
    // For an owner that moves the keyboard itself as the panel opens (greying the controls that had it).
    void setReturnsTo(QWidget* widget) { m_returnTo = widget; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit PanelFocusReturn(QWidget* panel);
    void remember();
    void giveBack();
    void focusMoved(QWidget* old, QWidget* now);

    QPointer<QWidget> m_panel;
    QPointer<QWidget> m_returnTo;
};
