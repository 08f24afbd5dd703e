#pragma once

#include <memory>

class QVRAppDelegate;

// The start-up of the assembled application, shared by the executable and the tests that drive it.
// Main thread only, with the QApplication made.
class ApplicationLaunch {
public:
    // Registers every library with those before it (in link order), prepares the shell (identity, alert
    // presenter, file chooser, link opener, the model's storage and service seams) and runs the delegate's
    // start-up: the lists window is shown when it returns. The event loop is the caller's.
    static std::unique_ptr<QVRAppDelegate> start();
    // The process: the single-instance hand-off, crash handlers, start() and the event loop.
    static int main(int argc, char** argv);

private:
    // The registrations of start(): the shell's own, then each later library's, in link order.
    static void registerLibraries();
};
