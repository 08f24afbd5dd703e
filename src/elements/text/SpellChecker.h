#pragma once

#include <memory>
#include <vector>

#include <QString>
#include <QStringList>

#include "tessarine_data_model/AttributedText.h"

class Hunspell;

// Continuous spell checking of the text views. The dictionary is the one of the first user-interface language that
// has one installed, else American English; with none at all nothing is ever marked (logged once). Main thread only.
class SpellChecker {
public:
    static SpellChecker& shared();
    ~SpellChecker();

    bool hasDictionary();
    // The misspelt words of `text` that lie inside `within`.
    std::vector<TextRange> misspelledRanges(const QString& text, TextRange within);
    // The dictionary's guesses for a misspelt `word`, best first, at most `limit`; none without a dictionary.
    QStringList suggestions(const QString& word, int limit = 6);

    // Uses this dictionary from now on (tests); false when it cannot be read.
    bool useDictionary(const QString& affixPath, const QString& dictionaryPath);

private:
    SpellChecker();
    void loadDefaultDictionary();

    std::unique_ptr<Hunspell> m_hunspell;
    bool m_triedDefault = false;
};
