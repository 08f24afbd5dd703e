#pragma once

#include <QString>

class QWidget;

// A short message shown over the bottom of a view for 30 seconds. A new toast in the same view replaces the one
// already there. The toast is a child of the view and goes with it; it never takes clicks.
class QVR_Toast {
public:
    static constexpr int kDurationMilliseconds = 30000;

    // Returns the toast widget (owned by the view), or nullptr when there is no view.
    static QWidget* toast(const QString& text, QWidget* view);
    // The toast currently shown in the view, if any.
    static QWidget* currentToast(const QWidget* view);

    // Test hook: how long the next toasts stay (0 restores the 30 seconds).
    static void setDurationForTesting(int milliseconds);
};
