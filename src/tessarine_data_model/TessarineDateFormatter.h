#pragma once

#include <optional>

#include <QDateTime>
#include <QHash>
#include <QMutex>
#include <QString>

// The model's timestamp text, "MMMM d, yyyy, hh:mm:ss a zzz" in Unicode pattern terms: English month name,
// 12-hour clock with "AM"/"PM", then the time-zone abbreviation ("December 6, 2026, 06:07:32 PM CET").
// Written in the local time zone; a zone whose only abbreviation is numeric is written "GMT+3" /
// "GMT-3:30", as the Unicode pattern does. Qt's own format letters mean other things ("a", "zzz"), so
// this class writes and reads the text itself.
//
// Reading accepts a zone given as "UTC"/"GMT"/"Z", a numeric offset ("GMT+1", "UTC-05:00", "+0130"), the
// local zone's own abbreviations, common North American and European abbreviations, or an IANA zone id;
// anything else fails. Results are memoised in bounded caches; all methods are thread-safe.
class TessarineDateFormatter {
public:
    static TessarineDateFormatter& sharedFormatter();

    QString stringFromDate(const QDateTime& date);
    std::optional<QDateTime> dateFromString(const QString& text);

private:
    static constexpr int kCacheLimit = 512;
    QMutex m_mutex;
    QHash<qint64, QString> m_textBySecond;
    QHash<QString, std::optional<QDateTime>> m_dateByText;
};
