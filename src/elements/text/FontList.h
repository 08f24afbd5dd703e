#pragma once

#include <map>
#include <optional>
#include <vector>

#include <QHash>
#include <QString>
#include <QStringList>

#include "foundation/DocumentFont.h"

// The two-level catalogue the font pickers show: sorted display family names, the display faces of each family,
// and the font behind each family-face key ("Lavanderia-Sturdy"). The application's own display faces, whose
// reported families carry the face ("Museo 300"), are filed under their short family ("Museo"). Main thread.
class FontList {
public:
    // "<display family>-<display face>", the key pickers use to find a font again.
    static QString familyDashFaceForFont(const DocumentFont& font);
    static QString displayableFamilyNameFromFont(const DocumentFont& font);
    static QString displayableFaceNameFromFont(const DocumentFont& font);
    // The readable face of a PostScript name: "Arial-BoldItalicMT" gives "Bold Italic", "Helvetica" "Regular".
    static QString displayableFaceNameForPostScriptName(const QString& postScriptName);
    static QString separatorForComponentsSeparatedByStringMethod();

    // The fonts of `postScriptNames` at `pointSize`, in order; names that make no font are left out and, when
    // asked, listed in `unavailable`.
    static std::vector<DocumentFont> documentFontsForNames(const QStringList& postScriptNames, double pointSize,
                                                           QStringList* unavailable = nullptr);

    // Replaces the whole catalogue. Fonts whose display family or face holds the separator cannot be keyed, and
    // fonts with an empty family or face would be blank menu items: both are skipped (logged). A second font with a
    // key already held replaces the first, its face listed once.
    void setList(std::vector<DocumentFont> fonts);
    const std::vector<DocumentFont>& origList() const { return m_origList; }
    // PostScript names of the fonts the last setList skipped.
    const QStringList& skippedPostScriptNames() const { return m_skipped; }

    // Sorted with case-sensitive QString::compare.
    QStringList familyList() const;
    // Sorted likewise; nullopt for a family the catalogue does not hold.
    std::optional<QStringList> facesForFamily(const QString& family) const;
    // "Regular", "Medium" or "Black" when the family has one (in that order), else its first face; "Regular" for a
    // family without faces.
    QString defaultFontFaceForFamily(const QString& family) const;
    std::optional<DocumentFont> fontForFamilyDashFace(const QString& key) const;

private:
    std::vector<DocumentFont> m_origList;
    std::map<QString, QStringList> m_familyToFaces;
    QHash<QString, DocumentFont> m_familyDashFaceToFont;
    QStringList m_skipped;
};
