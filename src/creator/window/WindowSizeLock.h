#pragma once

#include <QPointer>
#include <QWidget>

// Holds a window at its current size while a transient panel (guide, title editor, shield) is open. Locks on one
// window are counted: the first remembers the window's minimum and maximum sizes and fixes both to its size, the
// last release restores what the first remembered, whatever order the panels close in. A window maximised or full
// screen when the first lock comes is left as it is (counted all the same). Main thread only.
class WindowSizeLock {
public:
    explicit WindowSizeLock(QWidget* window);
    ~WindowSizeLock();
    WindowSizeLock(const WindowSizeLock&) = delete;
    WindowSizeLock& operator=(const WindowSizeLock&) = delete;

    // Gives the lock back early; later calls and the destructor do nothing.
    void release();
    bool isHeld() const { return m_held; }

    // How many locks hold `window` (0 for null).
    static int lockCount(const QWidget* window);

private:
    QPointer<QWidget> m_window;
    bool m_held = false;
};
