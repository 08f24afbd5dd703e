#pragma once

#include <optional>

#include <QString>
#include <QStringList>

// The application's localised string tables: one compiled Qt Linguist table per language
// ("tessarine_<language>.qm", e.g. tessarine_de.qm, tessarine_pt_BR.qm), built into the resources under
// ":/strings". English ("en") is the development language and always present.
//
// The default table is the one the user's preferred languages select, in order of preference: for each
// language its full name ("pt-BR" -> pt_BR) and then its bare language ("pt"); English when none matches.
// Tables are loaded once per language and kept; the preferred languages are read again on every lookup.
// Thread-safe.
class StringTables {
public:
    // QLocale::uiLanguages(), unless tests set a list.
    static QStringList preferredLanguages();
    static void setPreferredLanguagesForTesting(const QStringList& languages); // empty: the system's again

    // A folder of .qm tables searched before the built-in ones; empty removes it. Drops loaded tables.
    static void setTableDirectoryForTesting(const QString& directory);

    // The table name the preferred languages select ("en", "de", "pt_BR").
    static QString defaultTableLanguage();

    // The text a table holds for `key`; nothing when the table or the key is missing (an empty text counts
    // as missing).
    static std::optional<QString> text(const QString& language, const QString& key);
};

// The text for `key` in the user's language with English as the fallback:
//  1. the default table's text, or the key itself when the table lacks it;
//  2. returned as it is when the first preferred language is exactly "en" or the text differs from the key;
//  3. otherwise the English table's text, or the key itself when English lacks it too.
// A translation equal to its key therefore counts as missing. The comment is for translators only and never
// affects the result.
QString LocalizedStringWithEnglishFallback(const QString& key, const QString& comment = QString());

// `text` as a sentence: it ends with a full stop unless it already ends with a mark that closes a sentence
// (".", "!", "?", "…"), as most of the table's texts do. For joining a table text into a longer message.
QString AsSentence(const QString& text);
