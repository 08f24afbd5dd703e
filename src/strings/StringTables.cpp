#include "strings/StringTables.h"

#include <map>
#include <memory>

#include <QFileInfo>
#include <QLocale>
#include <QMutex>
#include <QTranslator>

#include "strings/StringsLogging.h"

namespace {

// Every table holds its texts in one context.
constexpr char kContext[] = "UFM";
const QString kEnglish = QStringLiteral("en");

struct State {
    QMutex mutex;
    std::optional<QStringList> languagesOverride;
    QString extraDirectory; // searched before the resources

    // nullptr records a language without a table, so missing files are not searched again.
    std::map<QString, std::unique_ptr<QTranslator>> tables;
};

State& state()
{
    static State instance;
    return instance;
}

// Caller holds the mutex.
QTranslator* tableLocked(State& s, const QString& language)
{
    auto found = s.tables.find(language);
    if (found != s.tables.end())
        return found->second.get();
    std::unique_ptr<QTranslator> translator;
    const QString fileName = QStringLiteral("/tessarine_") + language + QStringLiteral(".qm");
    for (const QString& directory : {s.extraDirectory, QStringLiteral(":/strings")}) {
        if (directory.isEmpty() || !QFileInfo::exists(directory + fileName))
            continue;
        translator = std::make_unique<QTranslator>();
        if (translator->load(directory + fileName))
            break;
        qCWarning(lcStrings) << "cannot read the string table" << directory + fileName;
        translator.reset();
    }
    return s.tables.emplace(language, std::move(translator)).first->second.get();
}

// "pt-BR" -> {"pt_BR", "pt"}; "en" -> {"en"}.
QStringList tableNamesFor(const QString& preferredLanguage)
{
    QString name = preferredLanguage.trimmed();
    name.replace(QLatin1Char('-'), QLatin1Char('_'));
    if (name.isEmpty())
        return {};
    QStringList names{name};
    const qsizetype separator = name.indexOf(QLatin1Char('_'));
    if (separator > 0)
        names.append(name.left(separator));
    return names;
}

QString defaultTableLanguageLocked(State& s, const QStringList& languages)
{
    for (const QString& language : languages) {
        for (const QString& name : tableNamesFor(language)) {
            if (tableLocked(s, name))
                return name;
        }
    }
    return kEnglish;
}

QString textOrKeyLocked(State& s, const QString& language, const QString& key)
{
    if (QTranslator* table = tableLocked(s, language)) {
        const QString text = table->translate(kContext, key.toUtf8().constData());
        if (!text.isEmpty())
            return text;
    }
    return key;
}

} // namespace

QStringList StringTables::preferredLanguages()
{
    {
        State& s = state();
        QMutexLocker lock(&s.mutex);
        if (s.languagesOverride)
            return *s.languagesOverride;
    }
    return QLocale::system().uiLanguages();
}

void StringTables::setPreferredLanguagesForTesting(const QStringList& languages)
{
    State& s = state();
    QMutexLocker lock(&s.mutex);
    if (languages.isEmpty())
        s.languagesOverride.reset();
    else
        s.languagesOverride = languages;
}

void StringTables::setTableDirectoryForTesting(const QString& directory)
{
    State& s = state();
    QMutexLocker lock(&s.mutex);
    s.extraDirectory = directory;
    s.tables.clear();
}

QString StringTables::defaultTableLanguage()
{
    const QStringList languages = preferredLanguages();
    State& s = state();
    QMutexLocker lock(&s.mutex);
    return defaultTableLanguageLocked(s, languages);
}

std::optional<QString> StringTables::text(const QString& language, const QString& key)
{
    State& s = state();
    QMutexLocker lock(&s.mutex);
    QTranslator* table = tableLocked(s, language);
    if (!table)
        return std::nullopt;
    const QString text = table->translate(kContext, key.toUtf8().constData());
    if (text.isEmpty())
        return std::nullopt;
    return text;
}

QString LocalizedStringWithEnglishFallback(const QString& key, const QString& comment)
{
    Q_UNUSED(comment);
    const QStringList languages = StringTables::preferredLanguages();
    State& s = state();
    QMutexLocker lock(&s.mutex);

    const QString text = textOrKeyLocked(s, defaultTableLanguageLocked(s, languages), key);
    // The first entry exactly as the system gives it: "en-US" is not "en", so it still falls through
    // to the English table, which gives the same text.
    if (languages.value(0) == kEnglish || text != key)
        return text;
    return textOrKeyLocked(s, kEnglish, key);
}

QString AsSentence(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return trimmed;
    const QChar last = trimmed.back();
    if (last == u'.' || last == u'!' || last == u'?' || last == QChar(0x2026))
        return trimmed;
    return trimmed + u'.';
}
