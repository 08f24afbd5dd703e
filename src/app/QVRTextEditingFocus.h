#pragma once

#include <QString>

// What a text being edited inside a canvas offers the menus while it holds the keyboard focus. The window manager
// asks the focus item of the focused graphics view for it: while one answers, the edit commands cut, copy, paste
// and select all act on it and the nudge and shift items are off, as for a focused text field. Undo and redo stay
// the window's.
class QVRTextEditingFocus {
public:
    virtual ~QVRTextEditingFocus() = default;
    // action: "cut", "copy", "paste" or "selectAll".
    virtual bool validateTextCommand(const QString& action) const = 0;
    virtual void performTextCommand(const QString& action) = 0;
};
