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
    if (count == 0) {
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
    m_window->setMinimumSize(m_window->property(kMinimumProperty).toSize());
    m_window->setMaximumSize(m_window->property(kMaximumProperty).toSize());
}

int WindowSizeLock::lockCount(const QWidget* window)
{
    return window ? window->property(kCountProperty).toInt() : 0;
}
