#include "platform/Json.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

namespace {

Error malformed(const QByteArray& data, qsizetype offset, const QString& reason)
{
    offset = std::clamp<qsizetype>(offset, 0, data.size());
    int line = 1;
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i < offset; ++i) {
        if (data.at(i) == '\n') {
            ++line;
            lineStart = i + 1;
        }
    }
    const int column = int(offset - lineStart) + 1;
    return Error(
        QString::fromLatin1(Json::errorDomain), Json::MalformedJson,
        QStringLiteral("Malformed JSON at line %1, column %2 (offset %3): %4")
            .arg(line)
            .arg(column)
            .arg(offset)
            .arg(reason),
        {{QStringLiteral("offset"), offset}, {QStringLiteral("line"), line}, {QStringLiteral("column"), column}});
}

} // namespace

QByteArray Json::write(const QJsonValue& value)
{
    // QJsonObject keeps its keys sorted, and the compact form has no blanks. A document holds only an object or
    // an array, so other values are written as the single element of an array and unwrapped.
    if (value.isObject())
        return QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact);
    if (value.isArray())
        return QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact);
    if (value.isUndefined())
        return QByteArrayLiteral("null");
    const QByteArray wrapped = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return wrapped.mid(1, wrapped.size() - 2);
}

std::optional<QJsonValue> Json::read(const QByteArray& data, Error* error)
{
    const QByteArray trimmed = data.trimmed();
    if (trimmed.startsWith('{') || trimmed.startsWith('[')) {
        QJsonParseError parseError;
        const QJsonDocument document = QJsonDocument::fromJson(data, &parseError);
        if (parseError.error != QJsonParseError::NoError) {
            setError(error, malformed(data, parseError.offset, parseError.errorString()));
            return std::nullopt;
        }
        return document.isObject() ? QJsonValue(document.object()) : QJsonValue(document.array());
    }
    if (trimmed.isEmpty()) {
        setError(error, malformed(data, data.size(), QStringLiteral("no value")));
        return std::nullopt;
    }

    // The parser takes only objects and arrays at the top; a scalar is parsed as the one element of an array,
    // with offsets shifted back by the added bracket.
    QByteArray wrapped;
    wrapped.reserve(data.size() + 2);
    wrapped.append('[').append(data).append(']');
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(wrapped, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        setError(error, malformed(data, parseError.offset - 1, parseError.errorString()));
        return std::nullopt;
    }
    const QJsonArray array = document.array();
    if (array.size() != 1) {
        // "1, 2": the fault is the first separator outside a string.
        qsizetype offset = 0;
        bool inString = false;
        for (; offset < data.size(); ++offset) {
            const char c = data.at(offset);
            if (inString && c == '\\')
                ++offset;
            else if (c == '"')
                inString = !inString;
            else if (!inString && c == ',')
                break;
        }
        setError(error, malformed(data, offset, QStringLiteral("garbage at the end of the document")));
        return std::nullopt;
    }
    return array.at(0);
}

std::optional<QJsonObject> Json::readObject(const QByteArray& data, Error* error)
{
    std::optional<QJsonValue> value = read(data, error);
    if (!value)
        return std::nullopt;
    if (!value->isObject()) {
        setError(error, Error(QString::fromLatin1(errorDomain), NotAnObject,
                              QStringLiteral("Malformed JSON: expected an object at the top level")));
        return std::nullopt;
    }
    return value->toObject();
}
