#pragma once

#include <QJsonObject>
#include <QString>

#include "platform/Error.h"

// How a reply text of BlockRequester ended, for callers that retry: whether the call reached the service
// at all decides whether a failure counts against a retry limit.
struct ServiceReply {
    enum class Outcome {
        Success,           // no "error" member
        ConnectionFailure, // the service was never reached (refused, dropped, timed out, no address)
        NotFound,          // the service does not know the thing asked for: HTTP 404 or service error "404"
        Failure,           // any other answer with an "error" member
    };

    Outcome outcome = Outcome::Failure;
    QJsonObject json;  // the whole reply
    QJsonObject error; // its "error" member, empty on success
    Error asError() const;

    static ServiceReply parse(const QString& text);
};
