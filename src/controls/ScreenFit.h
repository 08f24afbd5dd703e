#pragma once

#include <functional>

#include <QMargins>
#include <QRect>
#include <QSize>

class QScreen;
class QWidget;

// Keeping a window whole on its screen: a window larger than the screen's available area (a small laptop screen,
// or a large scale factor) shrinks to it, down to its minimum size, and a window that reaches past the area's
// edge moves back inside it, its window manager's decorations included.
namespace ScreenFit {

// A window's own size for the room inside its decorations; the default bounds the size to the room.
using SizeForRoom = std::function<QSize(QSize size, QSize room)>;

// The decorations a window manager puts around `window` (none before it has decorated it).
QMargins decorations(const QWidget* window);

// The frame (decorations included) that lies whole inside `available`: moved the least distance, its size no larger
// than the area's, and never below `minimum` (decorations included); one that still cannot fit keeps the area's
// top left, so its title bar stays in reach.
QRect fittedFrame(const QRect& frame, QSize minimum, const QRect& available);

// Fits `window` into `screen`'s available area (its own screen when none), with `decorations` as the window manager
// puts them around it; a window in full screen or maximised is left alone.
void fit(QWidget* window, const QMargins& decorations, QScreen* screen = nullptr);

// Fits `window` each time it shows (with the decorations of the active window until it has its own), and again once
// its window manager has decorated it. `sizeForRoom` says how it shrinks.
void keepWhole(QWidget* window, SizeForRoom sizeForRoom = {});

} // namespace ScreenFit
