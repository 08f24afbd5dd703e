#include <functional>
#include <vector>

#include <gtest/gtest.h>

#include "platform/UndoManager.h"
#include "support/QtPrinters.h"

namespace {

// A value edited the way the model edits: each change registers the closure that restores the old value,
// which is itself a change and so registers the way back.
// The manager is the last member, so it goes first and its dropped closures still find the document.
struct Document {
    std::vector<int> dropped; // old values of steps discarded without running
    int value = 0;
    UndoManager undo;

    void set(int newValue)
    {
        const int old = value;
        value = newValue;
        undo.registerUndo([this, old] { set(old); }, [this, old] { dropped.push_back(old); });
    }
};

} // namespace

TEST(UndoManager, KeepsTheNewestStepsUpToTheLimitAndReleasesTheOldest)
{
    Document doc;
    UndoManager& undo = doc.undo;
    undo.setLevelsOfUndo(500);
    for (int i = 1; i <= 501; ++i) {
        undo.beginUndoGrouping();
        doc.set(i);
        undo.endUndoGrouping();
    }
    EXPECT_EQ(doc.dropped, std::vector<int>{0}); // the first step, which held value 0
    int undos = 0;
    while (undo.undo())
        ++undos;
    EXPECT_EQ(undos, 500);
    EXPECT_EQ(doc.value, 1);
    EXPECT_FALSE(undo.canUndo());
    EXPECT_EQ(undo.redoCount(), 500);
}

TEST(UndoManager, UndoAndRedoRestoreTheRecordedStateWithTheirNames)
{
    Document doc;
    UndoManager& undo = doc.undo;
    EXPECT_FALSE(undo.canUndo());
    EXPECT_FALSE(undo.undo());

    doc.set(1);
    undo.setActionName("First");
    undo.beginUndoGrouping();
    doc.set(2);
    undo.setActionName("Second");
    undo.endUndoGrouping();

    ASSERT_TRUE(undo.undo());
    EXPECT_EQ(doc.value, 1);
    // The closure registered by the undo went to the redo stack, under the undone step's name.
    EXPECT_TRUE(undo.canRedo());
    EXPECT_EQ(undo.redoActionName(), "Second");
    EXPECT_EQ(undo.undoActionName(), "First");

    ASSERT_TRUE(undo.redo());
    EXPECT_EQ(doc.value, 2);
    EXPECT_FALSE(undo.canRedo());
    EXPECT_EQ(undo.undoActionName(), "Second"); // and the redo's registration went back to the undo stack

    ASSERT_TRUE(undo.undo());
    ASSERT_TRUE(undo.undo());
    EXPECT_EQ(doc.value, 0);
    ASSERT_TRUE(undo.redo());
    ASSERT_TRUE(undo.redo());
    EXPECT_EQ(doc.value, 2);
    EXPECT_FALSE(undo.redo());
    EXPECT_TRUE(doc.dropped.empty());
}

TEST(UndoManager, NestedGroupsFormOneStepUndoneNewestFirst)
{
    UndoManager undo;
    std::vector<QString> order;
    undo.beginUndoGrouping();
    undo.registerUndo([&] { order.push_back("a"); });
    undo.beginUndoGrouping();
    undo.registerUndo([&] { order.push_back("b"); });
    undo.endUndoGrouping();
    EXPECT_EQ(undo.groupingLevel(), 1);
    undo.registerUndo([&] { order.push_back("c"); });
    undo.endUndoGrouping();
    undo.beginUndoGrouping(); // an empty group is no step
    undo.endUndoGrouping();

    EXPECT_EQ(undo.undoCount(), 1);
    ASSERT_TRUE(undo.undo());
    EXPECT_EQ(order, (std::vector<QString>{"c", "b", "a"}));
    EXPECT_FALSE(undo.canUndo());
    EXPECT_FALSE(undo.canRedo()); // nothing was registered while undoing
}

TEST(UndoManager, GroupingInsideAnUndoBuildsTheRedoStep)
{
    Document doc;
    UndoManager& undo = doc.undo;
    undo.beginUndoGrouping();
    doc.set(5);
    undo.endUndoGrouping();

    // The model brackets its restore in its own group; the bracket must not close the redo step early.
    undo.beginUndoGrouping();
    undo.registerUndo([&] {
        undo.beginUndoGrouping();
        doc.set(7);
        undo.endUndoGrouping();
        doc.set(8);
    });
    undo.endUndoGrouping();

    ASSERT_TRUE(undo.undo());
    EXPECT_EQ(doc.value, 8);
    EXPECT_EQ(undo.redoCount(), 1);
    ASSERT_TRUE(undo.redo()); // one redo undoes both sets made by that undo
    EXPECT_EQ(doc.value, 5);
}

TEST(UndoManager, UndoEndsAnOpenGroupFirst)
{
    Document doc;
    UndoManager& undo = doc.undo;
    undo.beginUndoGrouping();
    doc.set(3);
    EXPECT_TRUE(undo.canUndo());
    ASSERT_TRUE(undo.undo());
    EXPECT_EQ(doc.value, 0);
    EXPECT_EQ(undo.groupingLevel(), 0);
    EXPECT_TRUE(undo.canRedo());
}

TEST(UndoManager, EveryClosureEitherRunsOrIsDroppedExactlyOnce)
{
    std::vector<int> dropped;
    {
        Document doc;
        UndoManager& undo = doc.undo;
        doc.set(1);
        doc.set(2);
        undo.undo(); // value 1; the redo step holds 2
        doc.set(9);  // a new change discards the redo step
        EXPECT_FALSE(undo.canRedo());
        EXPECT_EQ(doc.dropped, std::vector<int>{2}); // the redo closure, restoring 2

        undo.removeAllActions();
        EXPECT_EQ(doc.dropped, (std::vector<int>{2, 1, 0}));
        EXPECT_FALSE(undo.canUndo());

        dropped = doc.dropped;
        // Destroying the manager drops what is left, the open group included. Closures that reach `doc`
        // must be gone by then (it is destroyed first), so these record into `dropped`.
        undo.registerUndo([] {}, [&dropped] { dropped.push_back(-1); });
        undo.beginUndoGrouping();
        undo.registerUndo([] {}, [&dropped] { dropped.push_back(-2); });
    }
    EXPECT_EQ(dropped, (std::vector<int>{2, 1, 0, -2, -1}));
}

TEST(UndoManager, LoweringTheLimitTrimsBothStacks)
{
    Document doc;
    UndoManager& undo = doc.undo;
    for (int i = 1; i <= 5; ++i)
        doc.set(i);
    undo.undo();
    undo.undo(); // undo stack: 3 steps, redo stack: 2
    undo.setLevelsOfUndo(1);
    EXPECT_EQ(undo.undoCount(), 1);
    EXPECT_EQ(undo.redoCount(), 1);
    EXPECT_EQ(doc.dropped.size(), 3u);
}
