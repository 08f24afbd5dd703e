#pragma once

#include <optional>

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QVariant>

class SafeArray;

// Typed access to a parsed JSON object that never fails on the kind of a value: a missing key, null,
// or a value of another kind gives the documented empty answer instead. The wrapper holds its own copy
// of the object (Qt's implicit sharing makes that cheap), so edits through mutableDictionary() never
// reach the caller's object.
class SafeDictionary {
public:
    SafeDictionary() = default;
    explicit SafeDictionary(const QJsonObject& dictionary);
    // Anything that is not a JSON object gives an empty wrapper.
    explicit SafeDictionary(const QJsonValue& value);

    static SafeDictionary safeDictionaryWithDictionary(const QJsonValue& value) { return SafeDictionary(value); }
    static SafeDictionary safeDictionaryWithDictionary(const QJsonObject& dictionary)
    {
        return SafeDictionary(dictionary);
    }
    // A QVariantMap (as stored in the user defaults) or a JSON value wrapped in a QVariant; anything else
    // gives an empty wrapper.
    static SafeDictionary fromVariant(const QVariant& value);

    // The text of a string value, or the description of a number or boolean ("5", "2.5", "1"/"0");
    // "" for a missing key, null, an array or an object.
    QString stringForKey(const QString& key) const;

    // Numbers, and texts that read fully as numbers; `fallback` for anything else.
    double doubleForKey(const QString& key, double fallback = 0.0) const;
    qint64 integerForKey(const QString& key, qint64 fallback = 0) const;

    // Documents write booleans as the texts "YES" and "NO". Accepted as true: JSON true, a non-zero
    // number, the texts "YES", "true" and "1" (any case); as false: their opposites. `fallback` for
    // anything else, including a missing key.
    bool boolForKey(const QString& key, bool fallback = false) const;

    // Present only when the value is an object.
    std::optional<SafeDictionary> safeDictionaryForKey(const QString& key) const;
    // An array as it is; an object as a one-element array; absent for anything else.
    std::optional<SafeArray> safeArrayForKey(const QString& key) const;

    bool contains(const QString& key) const { return m_dictionary.contains(key); }
    QJsonValue valueForKey(const QString& key) const { return m_dictionary.value(key); }
    bool isEmpty() const { return m_dictionary.isEmpty(); }
    qsizetype count() const { return m_dictionary.size(); }

    // An undefined value (the "nil" of the stored format) is ignored; JSON null is stored.
    void setObject(const QJsonValue& value, const QString& key);
    void removeObjectForKey(const QString& key) { m_dictionary.remove(key); }

    QJsonObject& mutableDictionary() { return m_dictionary; }
    const QJsonObject& dictionary() const { return m_dictionary; }

    friend bool operator==(const SafeDictionary& a, const SafeDictionary& b) = default;

private:
    QJsonObject m_dictionary;
};

// The array counterpart of SafeDictionary: out-of-range indexes and values of the wrong kind give the
// empty answer, never an assertion.
class SafeArray {
public:
    SafeArray() = default;
    explicit SafeArray(const QJsonArray& array);
    // Anything that is not a JSON array gives an empty wrapper.
    explicit SafeArray(const QJsonValue& value);

    static SafeArray safeArrayWithArray(const QJsonValue& value) { return SafeArray(value); }
    static SafeArray safeArrayWithArray(const QJsonArray& array) { return SafeArray(array); }

    qsizetype count() const { return m_array.size(); }
    QString stringAtIndex(qsizetype index) const;
    std::optional<SafeDictionary> safeDictionaryAtIndex(qsizetype index) const;
    QJsonValue valueAtIndex(qsizetype index) const;

    QJsonArray& mutableArray() { return m_array; }
    const QJsonArray& array() const { return m_array; }

    friend bool operator==(const SafeArray& a, const SafeArray& b) = default;

private:
    QJsonArray m_array;
};

namespace SafeJson {
// The text form used by stringForKey for any JSON value ("" for null, arrays and objects).
QString describe(const QJsonValue& value);
// A boolean written as text: "YES"/"NO", "true"/"false" (any case) or "1"/"0", blanks around ignored;
// nullopt for any other text.
std::optional<bool> boolFromText(const QString& text);
} // namespace SafeJson
