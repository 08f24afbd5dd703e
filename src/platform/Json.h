#pragma once

#include <optional>

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>

#include "platform/Error.h"

// JSON text in the one form the project writes: compact (no blanks or line breaks, "key":"value"), object keys
// in sorted order, UTF-8. The same value always gives the same bytes, so other code may search and replace
// fragments such as "isThemeTessarine":"YES" in written text.
namespace Json {

inline constexpr const char* errorDomain = "TessJsonErrorDomain";
enum ErrorCode { MalformedJson = 1, NotAnObject = 2 };

QByteArray write(const QJsonValue& value);

// Parses any JSON value (object, array or scalar). Malformed input yields nullopt and an error whose message
// gives the line, column and byte offset of the fault; userInfo carries "offset", "line" and "column".
std::optional<QJsonValue> read(const QByteArray& data, Error* error = nullptr);
// As read(), but the text must hold an object.
std::optional<QJsonObject> readObject(const QByteArray& data, Error* error = nullptr);

} // namespace Json
