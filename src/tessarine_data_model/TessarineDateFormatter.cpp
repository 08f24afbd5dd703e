#include "tessarine_data_model/TessarineDateFormatter.h"

#include <QLocale>
#include <QRegularExpression>
#include <QTimeZone>

namespace {

QString offsetText(int offsetSeconds)
{
    if (offsetSeconds == 0)
        return QStringLiteral("GMT");
    const QChar sign = offsetSeconds < 0 ? u'-' : u'+';
    const int minutes = std::abs(offsetSeconds) / 60;
    QString text = QStringLiteral("GMT") + sign + QString::number(minutes / 60);
    if (minutes % 60)
        text += u':' + QString::number(minutes % 60).rightJustified(2, u'0');
    return text;
}

std::optional<int> knownAbbreviationOffset(const QString& abbreviation)
{
    static const QHash<QString, int> table = {
        {"UTC", 0},          {"GMT", 0},          {"Z", 0},
        {"UT", 0},           {"WET", 0},          {"WEST", 3600},
        {"BST", 3600},       {"CET", 3600},       {"CEST", 7200},
        {"MET", 3600},       {"MEST", 7200},      {"EET", 7200},
        {"EEST", 10800},     {"MSK", 10800},      {"EST", -5 * 3600},
        {"EDT", -4 * 3600},  {"CST", -6 * 3600},  {"CDT", -5 * 3600},
        {"MST", -7 * 3600},  {"MDT", -6 * 3600},  {"PST", -8 * 3600},
        {"PDT", -7 * 3600},  {"AKST", -9 * 3600}, {"AKDT", -8 * 3600},
        {"HST", -10 * 3600}, {"JST", 9 * 3600},   {"AEST", 10 * 3600},
        {"AEDT", 11 * 3600}, {"NZST", 12 * 3600}, {"NZDT", 13 * 3600},
    };
    const auto it = table.constFind(abbreviation.toUpper());
    if (it == table.constEnd())
        return std::nullopt;
    return *it;
}

// "GMT+1", "UTC-05:00", "+0130", "-3".
std::optional<int> numericOffset(const QString& zone)
{
    static const QRegularExpression pattern(QStringLiteral("^(?:GMT|UTC|UT)?([+-])(\\d{1,2})(?::?(\\d{2}))?$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const auto match = pattern.match(zone);
    if (!match.hasMatch())
        return std::nullopt;
    const int hours = match.captured(2).toInt();
    const int minutes = match.captured(3).isEmpty() ? 0 : match.captured(3).toInt();
    if (hours > 14 || minutes > 59)
        return std::nullopt;
    const int seconds = hours * 3600 + minutes * 60;
    return match.captured(1) == QLatin1String("-") ? -seconds : seconds;
}

// The local zone when one of its abbreviations in that year (standard or daylight) is `zone`.
bool isLocalAbbreviation(const QString& zone, QDate date)
{
    const QTimeZone local = QTimeZone::systemTimeZone();
    for (const QDate probe : {QDate(date.year(), 1, 15), QDate(date.year(), 7, 15), date}) {
        const QDateTime at(probe, QTime(12, 0), local);
        if (local.abbreviation(at).compare(zone, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace

TessarineDateFormatter& TessarineDateFormatter::sharedFormatter()
{
    static TessarineDateFormatter formatter;
    return formatter;
}

QString TessarineDateFormatter::stringFromDate(const QDateTime& date)
{
    if (!date.isValid())
        return {};
    const qint64 second = date.toSecsSinceEpoch();
    {
        QMutexLocker lock(&m_mutex);
        if (const auto it = m_textBySecond.constFind(second); it != m_textBySecond.constEnd())
            return *it;
    }
    const QDateTime local = QDateTime::fromSecsSinceEpoch(second, Qt::LocalTime);
    const QDate day = local.date();
    const QTime time = local.time();
    const int hour12 = time.hour() % 12 == 0 ? 12 : time.hour() % 12;
    QString zone = local.timeZoneAbbreviation();
    static const QRegularExpression plainAbbreviation(QStringLiteral("^[A-Za-z]{2,6}$"));
    if (!plainAbbreviation.match(zone).hasMatch())
        zone = offsetText(local.offsetFromUtc());
    const QString text = QStringLiteral("%1 %2, %3, %4:%5:%6 %7 %8")
                             .arg(QLocale::c().monthName(day.month(), QLocale::LongFormat))
                             .arg(day.day())
                             .arg(day.year())
                             .arg(hour12, 2, 10, QLatin1Char('0'))
                             .arg(time.minute(), 2, 10, QLatin1Char('0'))
                             .arg(time.second(), 2, 10, QLatin1Char('0'))
                             .arg(time.hour() < 12 ? QStringLiteral("AM") : QStringLiteral("PM"))
                             .arg(zone);
    QMutexLocker lock(&m_mutex);
    if (m_textBySecond.size() >= kCacheLimit)
        m_textBySecond.clear();
    m_textBySecond.insert(second, text);
    return text;
}

std::optional<QDateTime> TessarineDateFormatter::dateFromString(const QString& text)
{
    {
        QMutexLocker lock(&m_mutex);
        if (const auto it = m_dateByText.constFind(text); it != m_dateByText.constEnd())
            return *it;
    }
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*([A-Za-z]+)\\s+(\\d{1,2}),\\s*(\\d{4}),\\s*(\\d{1,2}):(\\d{2}):(\\d{2})\\s*([AaPp][Mm])"
                       "\\s*(\\S*)\\s*$"));
    std::optional<QDateTime> result;
    const auto match = pattern.match(text);
    int month = 0;
    if (match.hasMatch()) {
        for (int m = 1; m <= 12; ++m) {
            if (QLocale::c().monthName(m, QLocale::LongFormat).compare(match.captured(1), Qt::CaseInsensitive) == 0)
                month = m;
        }
    }
    const int hour12 = match.hasMatch() ? match.captured(4).toInt() : 0;
    if (month && hour12 >= 1 && hour12 <= 12) {
        const bool pm = match.captured(7).compare(QLatin1String("PM"), Qt::CaseInsensitive) == 0;
        const QDate day(match.captured(3).toInt(), month, match.captured(2).toInt());
        const QTime time(hour12 % 12 + (pm ? 12 : 0), match.captured(5).toInt(), match.captured(6).toInt());
        const QString zone = match.captured(8);
        if (day.isValid() && time.isValid()) {
            if (zone.isEmpty() || isLocalAbbreviation(zone, day)) {
                result = QDateTime(day, time, Qt::LocalTime);
            } else if (const auto offset = numericOffset(zone)) {
                result = QDateTime(day, time, QTimeZone(*offset));
            } else if (const auto known = knownAbbreviationOffset(zone)) {
                result = QDateTime(day, time, QTimeZone(*known));
            } else if (QTimeZone::isTimeZoneIdAvailable(zone.toUtf8())) {
                result = QDateTime(day, time, QTimeZone(zone.toUtf8()));
            }
        }
    }
    QMutexLocker lock(&m_mutex);
    if (m_dateByText.size() >= kCacheLimit)
        m_dateByText.clear();
    m_dateByText.insert(text, result);
    return result;
}
