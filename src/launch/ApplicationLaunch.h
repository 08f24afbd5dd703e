#pragma once

#include <memory>

class QVRAppDelegate;

// The executable's registrations, beside main() in src/app/main.cpp: the shell's own (identity, alert presenter,
// file chooser, link opener, the model's storage and service seams), then each later library's with those before
// it, in link order.
void registerApplicationLibraries();

// The start-up of the assembled application, shared by the executable and the tests that drive it.
// Main thread only, with the QApplication made.
class ApplicationLaunch {
public:
    using Registrations = void (*)();

    // Runs the registrations, then the delegate's start-up: the lists window is shown when it returns. The event
    // loop is the caller's.
    static std::unique_ptr<QVRAppDelegate> start(Registrations registrations);
    // The process: the single-instance hand-off, crash handlers, start() and the event loop.
    static int main(int argc, char** argv, Registrations registrations);
};
