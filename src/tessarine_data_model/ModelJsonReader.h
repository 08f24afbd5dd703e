#pragma once

#include <optional>

#include <QColor>
#include <QJsonArray>
#include <QJsonObject>
#include <QRectF>
#include <QSet>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include "platform/Error.h"

// Errors of reading a document's dictionary form.
namespace ModelJsonError {
inline const QString domain = QStringLiteral("ZERI_TessarineModelErrorDomain");
enum Code { NotJson = 1, MissingDocument = 2, WrongKind = 3 };
} // namespace ModelJsonError

// The outcome of one read: the first fault, with the path of the value that caused it.
class ModelReadStatus {
public:
    bool failed() const { return m_failed; }
    const Error& error() const { return m_error; }
    void fail(const QString& path, const QString& expected, int code = ModelJsonError::WrongKind);
    void fail(const Error& error);

private:
    bool m_failed = false;
    Error m_error;
};

// The keys whose values a read changed. A fresh item being built records only whether anything changed: the
// keys are needed only to tell observers of an existing item, and collecting them costs a set per item.
class ChangedKeys {
public:
    explicit ChangedKeys(bool recordKeys)
        : m_record(recordKeys)
    {
    }
    void insert(const QString& key)
    {
        m_any = true;
        if (m_record)
            m_keys.insert(key);
    }
    bool isEmpty() const { return !m_any; }
    // Whether this read tells observers (an update of a live item) rather than building a fresh one.
    bool isRecording() const { return m_record; }
    const QSet<QString>& keys() const { return m_keys; }

private:
    bool m_record;
    bool m_any = false;
    QSet<QString> m_keys;
};

// Strict but tolerant reading of one dictionary of the document JSON. A missing key or a JSON null gives
// the default. A value of the wrong kind records a fault naming its path ("tessarine.flows[0].screens[2].frame:
// expected a rectangle") and gives the default, so readers can go on and check the status at the end.
// Tolerated forms: booleans as "YES"/"NO" in any case, JSON booleans, "1"/"0" or numbers; numbers as
// numeric texts; texts as numbers (their decimal text).
class ModelJsonReader {
public:
    ModelJsonReader(const QJsonObject& dict, QString path, ModelReadStatus& status);
    // A reader of the dictionary found under `key` (at `index` of that array) of `parent`. Its path is made only
    // when a fault needs it; the parent must outlive it.
    ModelJsonReader(const QJsonObject& dict, const ModelJsonReader& parent, const QString& key, qsizetype index = -1);
    // The same with a status of its own (a part of a read done on another thread).
    ModelJsonReader(const QJsonObject& dict, const ModelJsonReader& parent, const QString& key, qsizetype index,
                    ModelReadStatus& status);

    const QJsonObject& dict() const { return m_dict; }
    ModelReadStatus& status() const { return m_status; }
    bool ok() const { return !m_status.failed(); }
    QString path() const;
    QString pathOf(const QString& key) const;
    QString pathOf(const QString& key, qsizetype index) const;

    bool has(const QString& key) const;
    QString string(const QString& key, const QString& fallback = {}) const;
    std::optional<QString> optionalString(const QString& key) const;
    double number(const QString& key, double fallback = 0) const;
    std::optional<double> optionalNumber(const QString& key) const;
    // A measure (a length, a scale, a font size, a duration): a number whose magnitude is clamped to
    // kLargestMeasure, the clamping logged with the value's path. No document holds more; a bigger one would draw
    // and lay out as nonsense and, written back, could not be read.
    static constexpr double kLargestMeasure = 1e9;
    std::optional<double> optionalMeasure(const QString& key) const;
    double measure(const QString& key, double fallback = 0) const;
    // A number's whole part; a number an int cannot hold is a fault (nullopt, or the fallback).
    std::optional<int> optionalInteger(const QString& key) const;
    int integer(const QString& key, int fallback = 0) const;
    bool boolean(const QString& key, bool fallback = false) const;
    // Rectangles and sizes are measures: each member is clamped as optionalMeasure() does.
    QRectF rect(const QString& key, const QRectF& fallback = {}) const;
    QSizeF size(const QString& key, const QSizeF& fallback = QSizeF(0, 0)) const;
    std::optional<QColor> color(const QString& key) const;
    std::optional<QJsonObject> object(const QString& key) const;
    std::optional<QJsonArray> array(const QString& key) const;
    QStringList stringArray(const QString& key) const;

    static std::optional<bool> boolFromJson(const QJsonValue& value);

private:
    QJsonValue valueOf(const QString& key) const;
    double clampedMeasure(double value, const QString& key, const char* member = nullptr) const;
    void fail(const QString& key, const QString& expected) const;

    QJsonObject m_dict;
    QString m_path;
    const ModelJsonReader* m_parent = nullptr;
    QString m_key;
    qsizetype m_index = -1;
    ModelReadStatus& m_status;
};

// Writing counterparts: the document's booleans are the texts "YES" and "NO".
inline QString yesNo(bool value)
{
    return value ? QStringLiteral("YES") : QStringLiteral("NO");
}
