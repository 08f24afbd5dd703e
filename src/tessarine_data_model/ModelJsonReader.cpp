#include "tessarine_data_model/ModelJsonReader.h"

#include <cmath>

#include <QLocale>

#include "foundation/SafeDictionary.h"
#include "platform/CheckedNumbers.h"
#include "tessarine_data_model/TessarineDataModelLogging.h"
#include "tessarine_data_model/ZERI_AppDataModelCenter.h"

void ModelReadStatus::fail(const QString& path, const QString& expected, int code)
{
    if (m_failed)
        return;
    m_failed = true;
    m_error = Error(ModelJsonError::domain, code, path.isEmpty() ? expected : path + QStringLiteral(": ") + expected,
                    {{QStringLiteral("path"), path}});
}

void ModelReadStatus::fail(const Error& error)
{
    if (m_failed)
        return;
    m_failed = true;
    m_error = error;
}

ModelJsonReader::ModelJsonReader(const QJsonObject& dict, QString path, ModelReadStatus& status)
    : m_dict(dict)
    , m_path(std::move(path))
    , m_status(status)
{
}

ModelJsonReader::ModelJsonReader(const QJsonObject& dict, const ModelJsonReader& parent, const QString& key,
                                 qsizetype index)
    : m_dict(dict)
    , m_parent(&parent)
    , m_key(key)
    , m_index(index)
    , m_status(parent.m_status)
{
}

ModelJsonReader::ModelJsonReader(const QJsonObject& dict, const ModelJsonReader& parent, const QString& key,
                                 qsizetype index, ModelReadStatus& status)
    : m_dict(dict)
    , m_parent(&parent)
    , m_key(key)
    , m_index(index)
    , m_status(status)
{
}

QString ModelJsonReader::path() const
{
    if (!m_parent)
        return m_path;
    return m_index < 0 ? m_parent->pathOf(m_key) : m_parent->pathOf(m_key, m_index);
}

QString ModelJsonReader::pathOf(const QString& key) const
{
    const QString base = path();
    return base.isEmpty() ? key : base + u'.' + key;
}

QString ModelJsonReader::pathOf(const QString& key, qsizetype index) const
{
    return pathOf(key) + u'[' + QString::number(index) + u']';
}

QJsonValue ModelJsonReader::valueOf(const QString& key) const
{
    return m_dict.value(key);
}

namespace {
// JSON null is "absent", as the service writes it.
inline bool isAbsent(const QJsonValue& value)
{
    return value.isUndefined() || value.isNull();
}
} // namespace

void ModelJsonReader::fail(const QString& key, const QString& expected) const
{
    m_status.fail(pathOf(key), expected);
}

bool ModelJsonReader::has(const QString& key) const
{
    return !isAbsent(valueOf(key));
}

std::optional<QString> ModelJsonReader::optionalString(const QString& key) const
{
    const QJsonValue value = valueOf(key);
    if (isAbsent(value))
        return std::nullopt;
    if (value.isString())
        return value.toString();
    if (value.isDouble())
        return QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    fail(key, QStringLiteral("expected a text"));
    return std::nullopt;
}

QString ModelJsonReader::string(const QString& key, const QString& fallback) const
{
    return optionalString(key).value_or(fallback);
}

std::optional<double> ModelJsonReader::optionalNumber(const QString& key) const
{
    const QJsonValue value = valueOf(key);
    if (isAbsent(value))
        return std::nullopt;
    if (const auto number = ZERI_AppDataModelCenter::numberFromJson(value))
        return number;
    fail(key, QStringLiteral("expected a number"));
    return std::nullopt;
}

double ModelJsonReader::number(const QString& key, double fallback) const
{
    return optionalNumber(key).value_or(fallback);
}

double ModelJsonReader::clampedMeasure(double value, const QString& key, const char* member) const
{
    if (std::fabs(value) <= kLargestMeasure)
        return value;
    const double clamped = std::copysign(kLargestMeasure, value);
    qCWarning(lcTessarineDataModel).noquote()
        << QStringLiteral("%1%2: %3 is beyond any measure a document holds; read as %4")
               .arg(pathOf(key), member ? QStringLiteral(".") + QLatin1String(member) : QString())
               .arg(value)
               .arg(clamped);
    return clamped;
}

std::optional<double> ModelJsonReader::optionalMeasure(const QString& key) const
{
    const auto number = optionalNumber(key);
    if (!number)
        return std::nullopt;
    return clampedMeasure(*number, key);
}

double ModelJsonReader::measure(const QString& key, double fallback) const
{
    return optionalMeasure(key).value_or(fallback);
}

std::optional<int> ModelJsonReader::optionalInteger(const QString& key) const
{
    const auto number = optionalNumber(key);
    if (!number)
        return std::nullopt;
    const auto whole = CheckedNumbers::wholeNumber<int>(*number);
    if (!whole)
        fail(key, QStringLiteral("expected a whole number in range"));
    return whole;
}

int ModelJsonReader::integer(const QString& key, int fallback) const
{
    return optionalInteger(key).value_or(fallback);
}

std::optional<bool> ModelJsonReader::boolFromJson(const QJsonValue& value)
{
    if (value.isBool())
        return value.toBool();
    if (value.isDouble()) {
        if (value.toDouble() == 1)
            return true;
        if (value.toDouble() == 0)
            return false;
        return std::nullopt;
    }
    if (value.isString())
        return SafeJson::boolFromText(value.toString());
    return std::nullopt;
}

bool ModelJsonReader::boolean(const QString& key, bool fallback) const
{
    const QJsonValue value = valueOf(key);
    if (isAbsent(value))
        return fallback;
    if (const auto flag = boolFromJson(value))
        return *flag;
    fail(key, QStringLiteral("expected \"YES\" or \"NO\""));
    return fallback;
}

QRectF ModelJsonReader::rect(const QString& key, const QRectF& fallback) const
{
    const QJsonValue value = valueOf(key);
    if (isAbsent(value))
        return fallback;
    if (const auto rect = ZERI_AppDataModelCenter::rectFromJson(value))
        return QRectF(clampedMeasure(rect->x(), key, "x"), clampedMeasure(rect->y(), key, "y"),
                      clampedMeasure(rect->width(), key, "width"), clampedMeasure(rect->height(), key, "height"));
    fail(key, QStringLiteral("expected a rectangle with numeric \"x\", \"y\", \"width\" and \"height\""));
    return fallback;
}

QSizeF ModelJsonReader::size(const QString& key, const QSizeF& fallback) const
{
    const QJsonValue value = valueOf(key);
    if (isAbsent(value))
        return fallback;
    if (const auto size = ZERI_AppDataModelCenter::sizeFromJson(value))
        return QSizeF(clampedMeasure(size->width(), key, "width"), clampedMeasure(size->height(), key, "height"));
    fail(key, QStringLiteral("expected a size with numeric \"width\" and \"height\""));
    return fallback;
}

std::optional<QColor> ModelJsonReader::color(const QString& key) const
{
    const QJsonValue value = valueOf(key);
    if (isAbsent(value))
        return std::nullopt;
    if (value.isString()) {
        if (const auto color = ZERI_AppDataModelCenter::colorFromRGBAHexString(value.toString()))
            return color;
    }
    fail(key, QStringLiteral("expected a hexadecimal colour text"));
    return std::nullopt;
}

std::optional<QJsonObject> ModelJsonReader::object(const QString& key) const
{
    const QJsonValue value = valueOf(key);
    if (isAbsent(value))
        return std::nullopt;
    if (value.isObject())
        return value.toObject();
    fail(key, QStringLiteral("expected an object"));
    return std::nullopt;
}

std::optional<QJsonArray> ModelJsonReader::array(const QString& key) const
{
    const QJsonValue value = valueOf(key);
    if (isAbsent(value))
        return std::nullopt;
    if (value.isArray())
        return value.toArray();
    fail(key, QStringLiteral("expected an array"));
    return std::nullopt;
}

QStringList ModelJsonReader::stringArray(const QString& key) const
{
    QStringList texts;
    const auto values = array(key);
    if (!values)
        return texts;
    for (qsizetype i = 0; i < values->size(); ++i) {
        const QJsonValue value = values->at(i);
        if (value.isString()) {
            texts.append(value.toString());
        } else {
            m_status.fail(pathOf(key, i), QStringLiteral("expected a text"));
            return {};
        }
    }
    return texts;
}
