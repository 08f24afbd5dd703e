#include "tessarine_data_model/AttributedText.h"

#include <algorithm>

#include <QJsonArray>

#include "platform/CheckedNumbers.h"
#include "tessarine_data_model/ModelJsonReader.h"
#include "tessarine_data_model/TessarineDataModelLogging.h"
#include "tessarine_data_model/ZERI_AppDataModelCenter.h"

namespace {

// "{location, length}" with optional blanks, as NSStringFromRange writes it.
std::optional<TextRange> parseRange(QStringView text)
{
    text = text.trimmed();
    if (!text.startsWith(u'{') || !text.endsWith(u'}'))
        return std::nullopt;
    const QStringView inner = text.mid(1, text.size() - 2);
    const qsizetype comma = inner.indexOf(u',');
    if (comma < 0)
        return std::nullopt;
    bool locationOk = false;
    bool lengthOk = false;
    const qlonglong location = inner.left(comma).trimmed().toLongLong(&locationOk);
    const qlonglong length = inner.mid(comma + 1).trimmed().toLongLong(&lengthOk);
    if (!locationOk || !lengthOk || location < 0 || length < 0)
        return std::nullopt;
    return TextRange{location, length};
}

} // namespace

AttributedText::AttributedText(const QString& string, const TextAttributes& attributes)
    : m_string(string)
{
    if (!string.isEmpty())
        m_runs.push_back({{0, string.size()}, attributes});
}

TextRange AttributedText::clamp(TextRange range) const
{
    const qsizetype location = std::clamp<qsizetype>(range.location, 0, m_string.size());
    const qsizetype length = std::clamp<qsizetype>(range.length, 0, m_string.size() - location);
    return {location, length};
}

std::optional<TextAttributes> AttributedText::attributesAtIndex(qsizetype index, TextRange* effectiveRange) const
{
    if (index < 0 || index >= m_string.size())
        return std::nullopt;
    const auto it = std::upper_bound(m_runs.begin(), m_runs.end(), index,
                                     [](qsizetype i, const Run& run) { return i < run.range.end(); });
    if (it == m_runs.end())
        return std::nullopt;
    if (effectiveRange)
        *effectiveRange = it->range;
    return it->attributes;
}

void AttributedText::replaceCharacters(TextRange range, const QString& string)
{
    range = clamp(range);
    TextAttributes inherited;
    if (range.length > 0)
        inherited = *attributesAtIndex(range.location);
    else if (range.location > 0)
        inherited = *attributesAtIndex(range.location - 1);
    else if (!m_string.isEmpty())
        inherited = *attributesAtIndex(0);
    else if (!m_runs.empty())
        inherited = m_runs.front().attributes;

    std::vector<Run> runs;
    const qsizetype delta = string.size() - range.length;
    bool inserted = false;
    auto insertNew = [&] {
        if (!inserted && !string.isEmpty())
            runs.push_back({{range.location, string.size()}, inherited});
        inserted = true;
    };
    for (const Run& run : m_runs) {
        // Part before the replaced range.
        if (run.range.location < range.location) {
            const qsizetype end = std::min(run.range.end(), range.location);
            runs.push_back({{run.range.location, end - run.range.location}, run.attributes});
        }
        if (run.range.end() > range.location || (run.range.end() == range.location && range.length == 0))
            insertNew();
        // Part after the replaced range, shifted.
        if (run.range.end() > range.end()) {
            const qsizetype start = std::max(run.range.location, range.end());
            runs.push_back({{start + delta, run.range.end() - start}, run.attributes});
        }
    }
    insertNew();
    m_string.replace(range.location, range.length, string);
    m_runs = std::move(runs);
    normalize();
}

void AttributedText::setAttributes(const TextAttributes& attributes, TextRange range)
{
    range = clamp(range);
    if (range.length == 0)
        return;
    std::vector<Run> runs;
    bool placed = false;
    for (const Run& run : m_runs) {
        if (run.range.location < range.location)
            runs.push_back(
                {{run.range.location, std::min(run.range.end(), range.location) - run.range.location}, run.attributes});
        if (!placed && run.range.end() > range.location) {
            runs.push_back({range, attributes});
            placed = true;
        }
        if (run.range.end() > range.end()) {
            const qsizetype start = std::max(run.range.location, range.end());
            runs.push_back({{start, run.range.end() - start}, run.attributes});
        }
    }
    m_runs = std::move(runs);
    normalize();
}

void AttributedText::normalize()
{
    std::vector<Run> merged;
    for (const Run& run : m_runs) {
        if (run.range.length <= 0)
            continue;
        if (!merged.empty() && merged.back().attributes == run.attributes &&
            merged.back().range.end() == run.range.location)
            merged.back().range.length += run.range.length;
        else
            merged.push_back(run);
    }
    m_runs = std::move(merged);
}

QJsonObject AttributedText::jsonObject() const
{
    QJsonArray runs;
    for (const Run& run : m_runs) {
        QJsonObject dict{
            {QStringLiteral("Name"), run.attributes.fontName},
            {QStringLiteral("Size"), QString::number(run.attributes.fontSize, 'g', QLocale::FloatingPointShortest)},
            {QStringLiteral("Range"), QStringLiteral("{%1, %2}").arg(run.range.location).arg(run.range.length)},
            {QStringLiteral("alignment"), run.attributes.alignment}};
        if (run.attributes.foregroundColor.isValid())
            dict.insert(QStringLiteral("color"),
                        ZERI_AppDataModelCenter::rgbaHexStringFromColor(run.attributes.foregroundColor));
        runs.append(dict);
    }
    return QJsonObject{{QStringLiteral("string"), m_string}, {QStringLiteral("runs"), runs}};
}

std::optional<AttributedText> AttributedText::fromJson(const QJsonObject& object, QString* problem)
{
    auto failWith = [problem](const QString& text) {
        if (problem)
            *problem = text;
        return std::nullopt;
    };
    const QJsonValue stringValue = object.value(QLatin1String("string"));
    if (!stringValue.isString() && !stringValue.isUndefined() && !stringValue.isNull())
        return failWith(QStringLiteral("\"string\" is not a text"));
    AttributedText result;
    result.m_string = stringValue.toString();
    const QJsonValue runsValue = object.value(QLatin1String("runs"));
    if (!runsValue.isArray() && !runsValue.isUndefined() && !runsValue.isNull())
        return failWith(QStringLiteral("\"runs\" is not an array"));
    qsizetype covered = 0;
    const QJsonArray runs = runsValue.toArray();
    for (qsizetype i = 0; i < runs.size(); ++i) {
        if (!runs[i].isObject())
            return failWith(QStringLiteral("run %1 is not an object").arg(i));
        const QJsonObject dict = runs[i].toObject();
        const auto parsed = parseRange(dict.value(QLatin1String("Range")).toString());
        if (!parsed)
            return failWith(QStringLiteral("run %1 has no \"{location, length}\" range").arg(i));
        const TextRange range = *parsed;
        // Compared without adding location and length: a length near the top of the range would wrap.
        if (range.location < covered || range.location > result.m_string.size() ||
            range.length > result.m_string.size() - range.location)
            return failWith(QStringLiteral("run %1 lies outside the text or overlaps the run before").arg(i));
        TextAttributes attributes;
        const QJsonValue name = dict.value(QLatin1String("Name"));
        attributes.fontName = name.toString();
        if (const auto size = ZERI_AppDataModelCenter::numberFromJson(dict.value(QLatin1String("Size")))) {
            attributes.fontSize =
                std::clamp(*size, -ModelJsonReader::kLargestMeasure, ModelJsonReader::kLargestMeasure);
            if (attributes.fontSize != *size)
                qCWarning(lcTessarineDataModel).noquote()
                    << QStringLiteral("run %1 \"Size\": %2 is beyond any font size; read as %3")
                           .arg(i)
                           .arg(*size)
                           .arg(attributes.fontSize);
        }
        if (const QJsonValue color = dict.value(QLatin1String("color")); color.isString()) {
            const auto colour = ZERI_AppDataModelCenter::colorFromRGBAHexString(color.toString());
            if (!colour)
                return failWith(QStringLiteral("run %1 has a bad colour").arg(i));
            attributes.foregroundColor = *colour;
        }
        if (const auto alignment = ZERI_AppDataModelCenter::numberFromJson(dict.value(QLatin1String("alignment"))))
            attributes.alignment = CheckedNumbers::clampedWholeNumber(*alignment, 0, 4);
        if (range.location > covered && !result.m_runs.empty())
            result.m_runs.back().range.length += range.location - covered;
        else if (range.location > covered)
            result.m_runs.push_back({{covered, range.location - covered}, attributes});
        result.m_runs.push_back({range, attributes});
        covered = range.end();
    }
    if (covered < result.m_string.size()) {
        if (result.m_runs.empty())
            result.m_runs.push_back({{0, result.m_string.size()}, TextAttributes()});
        else
            result.m_runs.back().range.length += result.m_string.size() - covered;
    }
    result.normalize();
    return result;
}
