#include "platform/UndoManager.h"

#include "platform/PlatformLogging.h"

UndoManager::UndoManager() = default;

UndoManager::~UndoManager()
{
    removeAllActions();
}

void UndoManager::registerUndo(Action undo, Action onDrop)
{
    if (!undo) {
        if (onDrop)
            onDrop();
        return;
    }
    const bool ownGroup = m_groupingLevel == 0;
    if (ownGroup)
        beginUndoGrouping();
    m_openGroup->entries.push_back({std::move(undo), std::move(onDrop)});
    if (ownGroup)
        endUndoGrouping();
}

void UndoManager::beginUndoGrouping()
{
    if (m_groupingLevel++ == 0)
        m_openGroup = std::make_unique<Group>();
}

void UndoManager::endUndoGrouping()
{
    // Inside undo() and redo() the outermost level belongs to the step being recorded there.
    const int floor = m_mode == Mode::Normal ? 0 : 1;
    if (m_groupingLevel <= floor) {
        qCWarning(lcPlatform) << "endUndoGrouping without a matching beginUndoGrouping";
        return;
    }
    if (--m_groupingLevel == 0)
        closeGroup();
}

void UndoManager::closeGroup()
{
    std::unique_ptr<Group> group = std::move(m_openGroup);
    if (!group || group->entries.empty())
        return;
    switch (m_mode) {
    case Mode::Undoing:
        push(m_redoStack, std::move(*group));
        break;
    case Mode::Redoing:
        push(m_undoStack, std::move(*group));
        break;
    case Mode::Normal:
        // A new change makes the redo steps meaningless.
        dropAll(m_redoStack);
        push(m_undoStack, std::move(*group));
        break;
    }
}

void UndoManager::push(std::deque<Group>& stack, Group group)
{
    stack.push_back(std::move(group));
    trim(stack);
}

void UndoManager::trim(std::deque<Group>& stack)
{
    if (m_levels <= 0)
        return;
    while (int(stack.size()) > m_levels) {
        Group oldest = std::move(stack.front());
        stack.pop_front();
        drop(oldest);
    }
}

void UndoManager::drop(Group& group)
{
    // Newest first, like undoing: a later closure may depend on what an earlier one holds.
    for (auto it = group.entries.rbegin(); it != group.entries.rend(); ++it)
        if (it->onDrop)
            it->onDrop();
    group.entries.clear();
}

void UndoManager::dropAll(std::deque<Group>& stack)
{
    // Taken out first: an onDrop closure must not find a half-cleared stack.
    std::deque<Group> dropped;
    dropped.swap(stack);
    while (!dropped.empty()) {
        Group group = std::move(dropped.back());
        dropped.pop_back();
        drop(group);
    }
}

void UndoManager::setLevelsOfUndo(int levels)
{
    m_levels = std::max(levels, 0);
    trim(m_undoStack);
    trim(m_redoStack);
}

bool UndoManager::canUndo() const
{
    return !m_undoStack.empty() || (m_openGroup && !m_openGroup->entries.empty());
}

bool UndoManager::undo()
{
    if (m_mode != Mode::Normal)
        return false;
    if (m_willUndoOrRedo)
        m_willUndoOrRedo();
    if (m_groupingLevel > 0) {
        qCDebug(lcPlatform) << "undo with an open group; ending it first";
        m_groupingLevel = 1;
        endUndoGrouping();
    }
    return run(m_undoStack, Mode::Undoing);
}

bool UndoManager::redo()
{
    if (m_mode != Mode::Normal)
        return false;
    if (m_willUndoOrRedo)
        m_willUndoOrRedo();
    if (m_groupingLevel > 0) {
        // Closing it is a new change, which empties the redo stack: there is then nothing to redo.
        m_groupingLevel = 1;
        endUndoGrouping();
    }
    return run(m_redoStack, Mode::Redoing);
}

bool UndoManager::run(std::deque<Group>& from, Mode mode)
{
    if (from.empty())
        return false;
    Group step = std::move(from.back());
    from.pop_back();

    m_mode = mode;
    m_groupingLevel = 1;
    m_openGroup = std::make_unique<Group>();
    m_openGroup->name = step.name;
    for (auto it = step.entries.rbegin(); it != step.entries.rend(); ++it) {
        Action action = std::move(it->undo);
        it->onDrop = nullptr; // this closure ends by running
        action();
    }
    if (m_groupingLevel != 1)
        qCWarning(lcPlatform) << "unbalanced undo grouping inside an undo or redo step";
    m_groupingLevel = 0;
    closeGroup(); // onto the opposite stack, given the mode
    m_mode = Mode::Normal;
    return true;
}

void UndoManager::setActionName(const QString& name)
{
    if (m_openGroup)
        m_openGroup->name = name;
    else if (!m_undoStack.empty())
        m_undoStack.back().name = name;
}

QString UndoManager::undoActionName() const
{
    if (m_openGroup && !m_openGroup->entries.empty() && m_mode == Mode::Normal)
        return m_openGroup->name;
    return m_undoStack.empty() ? QString() : m_undoStack.back().name;
}

QString UndoManager::redoActionName() const
{
    return m_redoStack.empty() ? QString() : m_redoStack.back().name;
}

void UndoManager::removeAllActions()
{
    std::unique_ptr<Group> open = std::move(m_openGroup);
    m_groupingLevel = 0;
    if (open)
        drop(*open);
    dropAll(m_undoStack);
    dropAll(m_redoStack);
}
