#pragma once

#include <functional>

class QDialog;
class QWidget;

// Runs the publishing sheets: a window-modal dialog over `parent`'s window with an event loop of its own, so the
// caller goes on only once the sheet has ended. The answer is the dialog's result code: kCancelled when the user
// left it, kFork when the service asked for a fork, kDone when the sheet finished its work.
//
// Tests install a runner of their own that acts on the dialog's widgets instead of waiting for a user.
class SheetRunner {
public:
    static constexpr int kCancelled = 0;
    static constexpr int kFork = 607;
    static constexpr int kDone = -1000;

    using Runner = std::function<int(QDialog& sheet, QWidget* parent)>;

    static int run(QDialog& sheet, QWidget* parent);
    // An empty runner restores the interactive one.
    static void setRunnerForTesting(Runner runner);
    // The interactive runner itself (scripted runners may call it after arranging their actions).
    static int runInteractively(QDialog& sheet, QWidget* parent);
};
