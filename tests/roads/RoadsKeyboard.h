#pragma once

#include <QString>
#include <Qt>

#include <functional>

class QWidget;

// The keyboard as the user meets it, and the rule it keeps in every window:
//
// - some window has the keyboard, and in it a visible widget has the focus (or a menu is open);
// - a window, dialog, sheet, panel or popover that closes gives the keyboard back to the widget that had it before
//   it opened (or to what opened since), also where no window manager activates a window: the key typed next
//   reaches it;
// - every secondary window closes with Escape and has a close control of its own (a window with the application's
//   menu bar closes with its File › Close);
// - from any focus, Tab and Shift+Tab walk the window's visible stops and come back.
//
// The watcher behind the second part starts with the first check (or key) and follows every window and panel from
// then on. Steps report what breaks the rule as test failures naming the step.
namespace roads::keyboard {

// One key typed as a person types it: to the window that has the keyboard, through the platform's key delivery
// (shortcuts first, then the focused widget), the event loop turning afterwards. False (the key is lost) when no
// window has the keyboard.
bool press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, int pauseMs = 60);
// Text typed key by key the same way.
bool type(const QString& text, int pauseMs = 40);
// Tab, as a person presses it, until `reached` holds (checked before each press); at most `presses` times.
// Answers whether it was reached.
bool tabUntil(const std::function<bool()>& reached, int presses = 40);

// The widget the next key reaches (the focused widget of the window with the keyboard), or null.
QWidget* focused();

// Checks the rule on what shows now and on what closed since the last check; adds a failure naming `step` and
// what broke, and answers whether the rule held.
bool check(const QString& step);
// As check, at the end of a road: a keyboard still on its way back (late on a busy machine) is given up to
// `timeoutMs` to land before the rule is judged.
bool checkOnceLanded(const QString& step, int timeoutMs = 3000);

// The same check between two steps of a road, as the support's steps take them (a click, a menu item, a window
// closed), on what the step before left: from the road's own level only (inside a dialog's own event loop, a
// dialog being answered while the command that opened it waits, the step is still under way), and without
// handling an event but the window system's (an activation asked for lands) and, where the rule seems broken,
// those already posted (no timer, no deletion), so that the road's timing stays its own. While a closed window's
// keyboard is still on its way back, nothing is checked.
bool checkBetweenSteps(const QString& step);

// Starts following the windows and panels that open and close (the first check or key does it otherwise).
void watch();

// A widget named for a failure message: its class, name, text and window.
QString describe(const QWidget* widget);

// Tab from the focused widget until it comes back, then Shift+Tab the same number of times: every stop is
// visible and enabled, the walk comes back to where it began, and Shift+Tab retraces it. At least `atLeast` stops.
// Adds a failure naming `step` when not; the focus is left where it began.
bool tabWalksAround(const QString& step, int atLeast = 2);

// Whether `window` counts as a secondary window (no application menu bar of its own).
bool isSecondaryWindow(const QWidget* window);

} // namespace roads::keyboard
