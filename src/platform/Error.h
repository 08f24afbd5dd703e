#pragma once

#include <QString>
#include <QVariantMap>

// A failure that a caller is expected to handle: a bad file, the network, user input.
// Functions that can fail this way return a value (bool, std::optional, pointer) and fill an
// optional `Error*`; nothing in the project throws.
struct Error {
    QString domain;       // stable text naming the subsystem or library that failed
    int code = 0;         // meaning defined by the domain
    QString message;      // readable, names the file or URL involved where there is one
    QVariantMap userInfo; // extra detail (an offset, an HTTP status, the underlying error)

    Error() = default;
    Error(QString errorDomain, int errorCode, QString errorMessage, QVariantMap info = {})
        : domain(std::move(errorDomain))
        , code(errorCode)
        , message(std::move(errorMessage))
        , userInfo(std::move(info))
    {
    }

    bool isNull() const { return domain.isEmpty() && code == 0 && message.isEmpty() && userInfo.isEmpty(); }

    // "domain (code): message", for logs.
    QString description() const;

    friend bool operator==(const Error&, const Error&) = default;
};

// Stores `error` into `*out` when the caller asked for it (`out` may be null).
inline void setError(Error* out, Error error)
{
    if (out)
        *out = std::move(error);
}
