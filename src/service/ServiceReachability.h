#pragma once

#include <functional>

#include <QString>

#include "platform/Error.h"

class QObject;

// Whether the web service can be reached now, and the application's words for when it cannot.
//
// A probe asks the service's address once: any HTTP answer, whatever its status, means the service is there;
// a refused, dropped or timed-out connection, or no address configured, means it is not. Main thread only.
class ServiceReachability {
public:
    static constexpr int kProbeTimeoutMs = 5000;

    // `done` runs once on the main thread unless `context` went first.
    static void probe(QObject* context, std::function<void(bool reachable)> done);

    // Whether a failed call never reached the service (refused, dropped, timed out, no address), as opposed to
    // the service answering with an error.
    static bool isUnreachableError(const Error& error);

    // "It looks like you have no internet connection." and the advice to check it, as one text.
    static QString unreachableText();
};
