#include "foundation/SafeDictionary.h"

#include <cmath>

#include <QLocale>

namespace {

std::optional<double> numberFromValue(const QJsonValue& value)
{
    if (value.isDouble())
        return value.toDouble();
    if (value.isBool())
        return value.toBool() ? 1.0 : 0.0;
    if (value.isString()) {
        bool ok = false;
        const double number = value.toString().trimmed().toDouble(&ok);
        if (ok)
            return number;
    }
    return std::nullopt;
}

} // namespace

namespace SafeJson {

QString describe(const QJsonValue& value)
{
    switch (value.type()) {
    case QJsonValue::String:
        return value.toString();
    case QJsonValue::Bool:
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case QJsonValue::Double: {
        const double number = value.toDouble();
        // Whole numbers read back without decimals ("2048000"); toInteger keeps 64-bit values exact.
        if (std::isfinite(number) && number == std::floor(number) && std::fabs(number) < 9.2e18)
            return QString::number(value.toInteger(static_cast<qint64>(number)));
        return QString::number(number, 'g', QLocale::FloatingPointShortest);
    }
    default:
        return QString();
    }
}

} // namespace SafeJson

SafeDictionary::SafeDictionary(const QJsonObject& dictionary)
    : m_dictionary(dictionary)
{
}

SafeDictionary::SafeDictionary(const QJsonValue& value)
    : m_dictionary(value.isObject() ? value.toObject() : QJsonObject())
{
}

SafeDictionary SafeDictionary::fromVariant(const QVariant& value)
{
    if (value.metaType() == QMetaType::fromType<QJsonObject>())
        return SafeDictionary(value.toJsonObject());
    if (value.metaType() == QMetaType::fromType<QJsonValue>())
        return SafeDictionary(value.toJsonValue());
    if (value.metaType() == QMetaType::fromType<QVariantMap>())
        return SafeDictionary(QJsonObject::fromVariantMap(value.toMap()));
    if (value.metaType() == QMetaType::fromType<QVariantHash>())
        return SafeDictionary(QJsonObject::fromVariantHash(value.toHash()));
    return SafeDictionary();
}

QString SafeDictionary::stringForKey(const QString& key) const
{
    return SafeJson::describe(m_dictionary.value(key));
}

double SafeDictionary::doubleForKey(const QString& key, double fallback) const
{
    return numberFromValue(m_dictionary.value(key)).value_or(fallback);
}

qint64 SafeDictionary::integerForKey(const QString& key, qint64 fallback) const
{
    const QJsonValue value = m_dictionary.value(key);
    if (value.isString()) {
        bool ok = false;
        const qint64 number = value.toString().trimmed().toLongLong(&ok);
        if (ok)
            return number;
    }
    const std::optional<double> number = numberFromValue(value);
    if (!number || !std::isfinite(*number) || std::fabs(*number) >= 9.2e18)
        return fallback;
    if (value.isDouble())
        return value.toInteger(static_cast<qint64>(*number));
    return static_cast<qint64>(*number);
}

bool SafeDictionary::boolForKey(const QString& key, bool fallback) const
{
    const QJsonValue value = m_dictionary.value(key);
    if (value.isBool())
        return value.toBool();
    if (value.isDouble())
        return value.toDouble() != 0.0;
    if (value.isString())
        return SafeJson::boolFromText(value.toString()).value_or(fallback);
    return fallback;
}

std::optional<SafeDictionary> SafeDictionary::safeDictionaryForKey(const QString& key) const
{
    const QJsonValue value = m_dictionary.value(key);
    if (!value.isObject())
        return std::nullopt;
    return SafeDictionary(value.toObject());
}

std::optional<SafeArray> SafeDictionary::safeArrayForKey(const QString& key) const
{
    const QJsonValue value = m_dictionary.value(key);
    if (value.isArray())
        return SafeArray(value.toArray());
    if (value.isObject())
        return SafeArray(QJsonArray{value});
    return std::nullopt;
}

void SafeDictionary::setObject(const QJsonValue& value, const QString& key)
{
    if (value.isUndefined())
        return;
    m_dictionary.insert(key, value);
}

SafeArray::SafeArray(const QJsonArray& array)
    : m_array(array)
{
}

SafeArray::SafeArray(const QJsonValue& value)
    : m_array(value.isArray() ? value.toArray() : QJsonArray())
{
}

QJsonValue SafeArray::valueAtIndex(qsizetype index) const
{
    if (index < 0 || index >= m_array.size())
        return QJsonValue(QJsonValue::Undefined);
    return m_array.at(index);
}

QString SafeArray::stringAtIndex(qsizetype index) const
{
    return SafeJson::describe(valueAtIndex(index));
}

std::optional<SafeDictionary> SafeArray::safeDictionaryAtIndex(qsizetype index) const
{
    const QJsonValue value = valueAtIndex(index);
    if (!value.isObject())
        return std::nullopt;
    return SafeDictionary(value.toObject());
}

std::optional<bool> SafeJson::boolFromText(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.compare(QLatin1String("YES"), Qt::CaseInsensitive) == 0 ||
        trimmed.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || trimmed == QLatin1String("1"))
        return true;
    if (trimmed.compare(QLatin1String("NO"), Qt::CaseInsensitive) == 0 ||
        trimmed.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0 || trimmed == QLatin1String("0"))
        return false;
    return std::nullopt;
}
