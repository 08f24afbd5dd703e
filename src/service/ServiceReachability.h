#pragma once

#include <functional>

#include <QString>

#include "platform/Error.h"

class QObject;

// Whether the web service can be reached now, and the application's words for when it cannot.
//
// A probe asks the service's address once: any HTTP answer, whatever its status, means the service is there, and
// so does a question that went out over a made connection but was not answered within the probe's time (a slow
// service is not an absent one); a refused or dropped connection, one not made within that time, or no address
// configured, means it is not. Main thread only.
class ServiceReachability {
public:
    static constexpr int kProbeTimeoutMs = 5000;

    // `done` runs once on the main thread unless `context` went first.
    static void probe(QObject* context, std::function<void(bool reachable)> done);
    // 0 restores kProbeTimeoutMs.
    static void setProbeTimeoutMsForTesting(int milliseconds);

    // Whether a failed call never reached the service (refused, dropped, timed out, no address), as opposed to
    // the service answering with an error.
    static bool isUnreachableError(const Error& error);

    // "It looks like you have no internet connection." and the advice to check it, as one text.
    static QString unreachableText();
};
