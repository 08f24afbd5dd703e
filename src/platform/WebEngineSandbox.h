#pragma once

#include <optional>

#include <QString>

// Whether the web engine may start its own sandbox. The engine refuses to start sandboxed as root and ends the
// whole process when it cannot set the sandbox up (no user namespaces, as in many containers). The application
// decides before the first page loads: where the sandbox cannot start, the engine runs without it and the log
// says why.
class WebEngineSandbox {
public:
    // What the decision reads from the system.
    struct Conditions {
        bool runningAsRoot = false;
        bool disabledByEnvironment = false;  // QTWEBENGINE_DISABLE_SANDBOX already set
        bool disabledByEngineSwitch = false; // "--no-sandbox" among the engine's flags
        std::optional<bool> userNamespaces;  // unprivileged user namespaces allowed; empty when not known
    };
    struct Decision {
        bool runWithoutSandbox = false;
        QString reason; // empty when the sandbox runs
    };

    static Conditions currentConditions();
    static Decision decide(const Conditions& conditions);
    // Decides for this process and, where the sandbox cannot run, turns it off for the engine and logs why.
    // Call before the first web page is made.
    static Decision apply();
    static Decision apply(const Conditions& conditions);
};
