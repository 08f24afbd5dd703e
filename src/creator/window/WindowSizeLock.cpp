#include "creator/window/WindowSizeLock.h"

#include <QVariant>

namespace {
constexpr const char* kCountProperty = "_tessSizeLockCount";
constexpr const char* kMinimumProperty = "_tessSizeLockMinimum";
constexpr const char* kMaximumProperty = "_tessSizeLockMaximum";
} // namespace

WindowSizeLock::WindowSizeLock(QWidget* window)
    : m_window(window)
{
    if (!window)
        return;
    m_held = true;
    const int count = lockCount(window);
    // A maximised or full-screen window is held by the window manager already; fixed size hints would tell it
    // the window can no longer be maximised, and it would put it back at its normal place at the full size.
    if (count == 0 && !(window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))) {
        window->setProperty(kMinimumProperty, window->minimumSize());
        window->setProperty(kMaximumProperty, window->maximumSize());
        window->setFixedSize(window->size());
    }
    window->setProperty(kCountProperty, count + 1);
}

WindowSizeLock::~WindowSizeLock()
{
    release();
}

void WindowSizeLock::release()
{
    if (!m_held)
        return;
    m_held = false;
    if (!m_window)
        return;
    const int count = lockCount(m_window) - 1;
    if (count > 0) {
        m_window->setProperty(kCountProperty, count);
        return;
    }
    m_window->setProperty(kCountProperty, QVariant());
    const QVariant minimum = m_window->property(kMinimumProperty);
    const QVariant maximum = m_window->property(kMaximumProperty);
    if (!minimum.isValid())
        return;
    m_window->setProperty(kMinimumProperty, QVariant());
    m_window->setProperty(kMaximumProperty, QVariant());
    m_window->setMinimumSize(minimum.toSize());
    m_window->setMaximumSize(maximum.toSize());
}

int WindowSizeLock::lockCount(const QWidget* window)
{
    return window ? window->property(kCountProperty).toInt() : 0;
}
