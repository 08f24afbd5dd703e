#pragma once

#include <optional>
#include <span>

#include <QString>
#include <QStringList>

class QObject;

// One routed menu command: the menu action, the window's validator (nullptr: none, the window manager's rule
// applies) and the window's performer.
struct QVRManagedWindowCommand {
    const char* action;
    const char* validator;
    const char* performer;
};

// The protocol of managed windows: every method is optional. A window (any QObject, normally the top-level
// widget) implements a validator as `Q_INVOKABLE bool canCut() const` and a performer as
// `Q_INVOKABLE void performCut(uint modifierMask)`; the window manager finds them through the meta-object, the
// way an optional protocol method is found by asking whether the object responds to it. The mask is the menu
// item's key-equivalent modifiers (Qt::KeyboardModifiers as an unsigned integer, e.g. Qt::ShiftModifier).
// Besides the commands, `Q_INVOKABLE bool xyPaletteHidden() const` sets the check mark and title of the
// dimensions palette item.
class QVRWindowManagerManagedWindow {
public:
    static std::span<const QVRManagedWindowCommand> commands();
    // The command of a menu action ("cut", "deleteItems", "refresh"), or nullptr.
    static const QVRManagedWindowCommand* command(const QString& action);

    static bool respondsTo(const QObject* window, const char* method);
    // The validator's answer; nothing when the window has no such validator.
    static std::optional<bool> callValidator(QObject* window, const char* validator);
    // Calls the performer with the mask; false when the window has no such performer.
    static bool callPerformer(QObject* window, const char* performer, uint modifierMask);

    // Invokable methods named "can..." or "perform..." that are not in the table, or that have the wrong
    // signature: a misspelt validator is otherwise silently never called. Later windows test themselves with it.
    static QStringList unknownMethods(const QObject* window);
};
