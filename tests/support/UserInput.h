#pragma once

#include <QImage>
#include <QString>
#include <Qt>

class QWidget;

// Input as a person gives it, and the window as a person sees it.
//
// A person types one key at a time, and between two keys the event loop turns: queued notices, timers and
// repaints all run. QTest::keyClicks sends every key before any of them can, which hides faults that only show
// when a notice comes back between keys. QWidget::grab() paints the widget afresh, which hides a missing repaint;
// shownImage() reads the pixels the window last put on screen instead.
namespace UserInput {

// Types `text` into `target` one character at a time, letting the event loop run for `pauseMs` after each key.
void typeText(QWidget* target, const QString& text, int pauseMs = 40);

// Presses and releases one key on `target` (the focus widget when null), then lets the event loop run.
void pressKey(QWidget* target, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, int pauseMs = 40);

// Lets the pending repaints of every window happen, as a display would between two frames.
void letRepaintsHappen(int pauseMs = 60);

// What `widget` shows now: its part of its window's backing store, in device pixels, without painting anything.
// Null when the window has nothing on screen yet.
QImage shownImage(const QWidget* widget);

// The colour `widget` shows at `point` (widget coordinates, device-independent pixels), read like shownImage().
QColor shownColor(const QWidget* widget, QPoint point);

} // namespace UserInput
