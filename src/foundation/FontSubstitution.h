#pragma once

#include <optional>

#include <QFont>
#include <QString>
#include <QStringList>

#include "foundation/DocumentFont.h"

// How a font named in a document is drawn on this system. Documents keep macOS PostScript names
// ("HelveticaNeue-Light"); those fonts are not installed here, so every subsystem that makes a font
// goes through FontSubstitution, which maps the name onto the free fonts the project installs
// (TeX Gyre, Liberation, Croscore, DejaVu) with the weight and slant the name asks for.
struct FontFace {
    QString postScriptName;
    // The family name the original system reports for the font ("Helvetica Neue", "Lavanderia Sturdy"),
    // which font pickers show; never the substitute's name.
    QString documentFamily;
    // Installed families in order of preference; QFont takes the first one present.
    QStringList families;
    QFont::Weight weight = QFont::Normal;
    bool italic = false;
    bool condensed = false;
};

class FontSubstitution {
public:
    // Always answers: names outside the table are read by their family and face parts and fall back on
    // a sans, serif or monospaced substitute.
    static FontFace faceForPostScriptName(const QString& postScriptName);

    // True when the family part of the name is one the table knows (as opposed to a guessed fallback).
    static bool isKnownPostScriptName(const QString& postScriptName);

    // A font for drawing `postScriptName` at `pointSize` points. Model text is laid out at 72 dpi, so
    // callers that draw on a device of another resolution scale the painter, not the size.
    static QFont fontForPostScriptName(const QString& postScriptName, qreal pointSize);

    // The PostScript-style name a document keeps for `font` (text pasted or typed with it), the way back from
    // fontForPostScriptName: a family installed here as a stand-in is named after the family it stands for
    // ("TeX Gyre Heros" gives "HelveticaNeue"), any other family by its name without blanks; the face part names
    // the weight and slant ("-MediumItalic"), none for a regular face.
    static QString postScriptNameForFont(const QFont& font);

    // The first family of the face that is installed here, or the first of the list when none is. Needs a
    // QGuiApplication (it asks the font database).
    static QString installedFamilyForPostScriptName(const QString& postScriptName);

    // The font a document's `postScriptName` at `pointSize` stands for, when it can be made: the name is a
    // plausible PostScript name (printable ASCII without spaces, at most 127 characters), the size is finite and
    // above 0, and either the table knows the family (family: the reported family) or an installed font carries
    // exactly that PostScript name (family: the installed font's). Otherwise nullopt. Safe from any thread.
    static std::optional<DocumentFont> documentFont(const QString& postScriptName, double pointSize);

    // Test hook: names documentFont treats as not installed, to exercise callers' fallbacks. Empty to clear.
    static void setUnavailablePostScriptNamesForTesting(const QStringList& names);
};
