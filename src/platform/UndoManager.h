#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include <QString>

// Undo by registered closures: each change registers the closure that reverts it. Closures registered between
// beginUndoGrouping() and the matching endUndoGrouping() (groups nest; inner groups fold into the outermost
// one) form one step that undo() reverts as a whole, last registered first. A closure registered outside any
// group is a step of its own.
//
// While undo() runs a step, the closures registered by it form the matching redo step; while redo() runs, they
// form the next undo step. A change registered outside undo and redo clears the redo stack.
//
// Every registered closure ends in exactly one of two ways: it runs (undone or redone), or its `onDrop` runs
// because its step was discarded without being run (beyond the levels limit, by removeAllActions, when a new
// change clears the redo stack, or when the manager is destroyed). Owners release in `onDrop` what the step
// held (asset reference counts raised for a snapshot, for instance).
//
// Main thread only; not reentrant from closures except for registering and grouping.
class UndoManager {
public:
    using Action = std::function<void()>;

    UndoManager();
    ~UndoManager();
    UndoManager(const UndoManager&) = delete;
    UndoManager& operator=(const UndoManager&) = delete;

    void registerUndo(Action undo, Action onDrop = {});

    void beginUndoGrouping();
    void endUndoGrouping();
    int groupingLevel() const { return m_groupingLevel; }

    // Most steps kept on each stack; 0 (the default) keeps all. The oldest steps go first.
    void setLevelsOfUndo(int levels);
    int levelsOfUndo() const { return m_levels; }

    // Runs first in undo() and redo(): an owner closes a change of its own still open there (one waiting for
    // work to finish), so that undo always reverts the newest change.
    void setWillUndoOrRedo(Action action) { m_willUndoOrRedo = std::move(action); }

    // Reverts the newest step, ending any open group first. False when there is nothing to undo, or when called
    // from inside undo() or redo().
    bool undo();
    bool redo();
    bool canUndo() const;
    bool canRedo() const { return !m_redoStack.empty(); }
    bool isUndoing() const { return m_mode == Mode::Undoing; }
    bool isRedoing() const { return m_mode == Mode::Redoing; }

    // Names the step being built (the open group, else the newest undo step); undoing it names the redo step.
    void setActionName(const QString& name);
    QString undoActionName() const;
    QString redoActionName() const;

    int undoCount() const { return int(m_undoStack.size()); }
    int redoCount() const { return int(m_redoStack.size()); }

    // Discards every step, including an open group, and resets the grouping level.
    void removeAllActions();

private:
    struct Entry {
        Action undo;
        Action onDrop;
    };
    struct Group {
        QString name;
        std::vector<Entry> entries;
    };
    enum class Mode { Normal, Undoing, Redoing };

    bool run(std::deque<Group>& from, Mode mode);
    void closeGroup(); // moves the open group onto its stack
    void push(std::deque<Group>& stack, Group group);
    static void drop(Group& group);
    void dropAll(std::deque<Group>& stack);
    void trim(std::deque<Group>& stack);

    std::deque<Group> m_undoStack; // back = newest
    std::deque<Group> m_redoStack;
    std::unique_ptr<Group> m_openGroup;
    int m_groupingLevel = 0;
    int m_levels = 0;
    Mode m_mode = Mode::Normal;
    Action m_willUndoOrRedo;
};
