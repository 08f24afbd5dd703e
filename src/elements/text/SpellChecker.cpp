#include "elements/text/SpellChecker.h"

#include <hunspell/hunspell.hxx>

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTextBoundaryFinder>

#include "elements/text/TextLogging.h"

namespace {

const char* const kDictionaryFolders[] = {"/usr/share/hunspell", "/usr/share/myspell", "/usr/share/myspell/dicts"};

QString dictionaryFor(const QString& language)
{
    for (const char* folder : kDictionaryFolders) {
        const QString base = QString::fromLatin1(folder) + u'/' + language;
        if (QFileInfo::exists(base + QStringLiteral(".aff")) && QFileInfo::exists(base + QStringLiteral(".dic")))
            return base;
    }
    return {};
}

bool isWord(QStringView piece)
{
    for (const QChar c : piece) {
        if (c.isLetter())
            return true;
    }
    return false;
}

} // namespace

SpellChecker& SpellChecker::shared()
{
    static SpellChecker s_checker;
    return s_checker;
}

SpellChecker::SpellChecker() = default;
SpellChecker::~SpellChecker() = default;

void SpellChecker::loadDefaultDictionary()
{
    m_triedDefault = true;
    QStringList languages;
    for (QString language : QLocale::system().uiLanguages())
        languages << language.replace(u'-', u'_');
    languages << QStringLiteral("en_US");
    for (const QString& language : languages) {
        const QString base = dictionaryFor(language);
        if (!base.isEmpty() && useDictionary(base + QStringLiteral(".aff"), base + QStringLiteral(".dic")))
            return;
    }
    qCWarning(lcText) << "no spelling dictionary installed for" << languages << "- spelling is not checked";
}

bool SpellChecker::useDictionary(const QString& affixPath, const QString& dictionaryPath)
{
    m_triedDefault = true;
    if (!QFileInfo::exists(affixPath) || !QFileInfo::exists(dictionaryPath))
        return false;
    m_hunspell = std::make_unique<Hunspell>(QFile::encodeName(affixPath).constData(),
                                            QFile::encodeName(dictionaryPath).constData());
    return true;
}

bool SpellChecker::hasDictionary()
{
    if (!m_triedDefault)
        loadDefaultDictionary();
    return m_hunspell != nullptr;
}

QStringList SpellChecker::suggestions(const QString& word, int limit)
{
    QStringList guesses;
    if (word.isEmpty() || limit <= 0 || !hasDictionary())
        return guesses;
    for (const std::string& guess : m_hunspell->suggest(word.toStdString())) {
        guesses << QString::fromStdString(guess);
        if (guesses.size() >= limit)
            break;
    }
    return guesses;
}

std::vector<TextRange> SpellChecker::misspelledRanges(const QString& text, TextRange within)
{
    std::vector<TextRange> found;
    if (!hasDictionary())
        return found;
    const qsizetype from = std::clamp<qsizetype>(within.location, 0, text.size());
    const qsizetype to = std::clamp<qsizetype>(within.end(), from, text.size());
    QTextBoundaryFinder finder(QTextBoundaryFinder::Word, text);
    finder.setPosition(from);
    if (!finder.isAtBoundary())
        finder.toPreviousBoundary();
    qsizetype start = finder.position();
    while (start >= 0 && start < to) {
        const qsizetype end = finder.toNextBoundary();
        if (end < 0)
            break;
        const QStringView piece = QStringView(text).mid(start, end - start);
        if (isWord(piece) && !m_hunspell->spell(piece.toString().toStdString()))
            found.push_back({start, end - start});
        start = end;
    }
    return found;
}
