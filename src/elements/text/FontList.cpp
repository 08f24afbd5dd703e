#include "elements/text/FontList.h"

#include <algorithm>

#include "elements/text/TextLogging.h"
#include "foundation/FontSubstitution.h"

namespace {

// Families the system reports with the face inside the name, and the short family pickers show.
const QHash<QString, QString>& specialFamilies()
{
    static const QHash<QString, QString> table{
        {QStringLiteral("Lavanderia Delicate"), QStringLiteral("Lavanderia")},
        {QStringLiteral("Lavanderia Sturdy"), QStringLiteral("Lavanderia")},
        {QStringLiteral("Lavanderia Regular"), QStringLiteral("Lavanderia")},
        {QStringLiteral("League Gothic Condensed"), QStringLiteral("League Gothic")},
        {QStringLiteral("Museo 300"), QStringLiteral("Museo")},
        {QStringLiteral("Museo 500"), QStringLiteral("Museo")},
        {QStringLiteral("Museo 700"), QStringLiteral("Museo")},
        {QStringLiteral("Sullivan Bevel"), QStringLiteral("Sullivan")},
        {QStringLiteral("Sullivan Fill"), QStringLiteral("Sullivan")},
    };
    return table;
}

QStringList sorted(QStringList list)
{
    std::sort(list.begin(), list.end(), [](const QString& a, const QString& b) { return QString::compare(a, b) < 0; });
    return list;
}

} // namespace

QString FontList::separatorForComponentsSeparatedByStringMethod()
{
    return QStringLiteral("-");
}

QString FontList::familyDashFaceForFont(const DocumentFont& font)
{
    return displayableFamilyNameFromFont(font) + separatorForComponentsSeparatedByStringMethod() +
           displayableFaceNameFromFont(font);
}

QString FontList::displayableFamilyNameFromFont(const DocumentFont& font)
{
    return specialFamilies().value(font.family, font.family);
}

QString FontList::displayableFaceNameFromFont(const DocumentFont& font)
{
    return displayableFaceNameForPostScriptName(font.postScriptName);
}

QString FontList::displayableFaceNameForPostScriptName(const QString& postScriptName)
{
    const QStringList parts = postScriptName.split(separatorForComponentsSeparatedByStringMethod());
    if (parts.size() < 2 || parts.at(1).isEmpty())
        return QStringLiteral("Regular");
    QString face = parts.at(1);
    face.remove(QStringLiteral("MT"));
    face.remove(QStringLiteral("PS"));
    // A space before every capital but the first character: "UltraLightItalic" reads "Ultra Light Italic".
    for (qsizetype i = face.size() - 1; i >= 1; --i) {
        const char16_t c = face.at(i).unicode();
        if (c >= u'A' && c <= u'Z')
            face.insert(i, QLatin1Char(' '));
    }
    return face;
}

std::vector<DocumentFont> FontList::documentFontsForNames(const QStringList& postScriptNames, double pointSize,
                                                          QStringList* unavailable)
{
    std::vector<DocumentFont> fonts;
    fonts.reserve(size_t(postScriptNames.size()));
    for (const QString& name : postScriptNames) {
        if (std::optional<DocumentFont> font = FontSubstitution::documentFont(name, pointSize))
            fonts.push_back(std::move(*font));
        else if (unavailable)
            unavailable->append(name);
    }
    return fonts;
}

void FontList::setList(std::vector<DocumentFont> fonts)
{
    std::map<QString, QStringList> familyToFaces;
    QHash<QString, DocumentFont> familyDashFaceToFont;
    QStringList skipped;
    const QString separator = separatorForComponentsSeparatedByStringMethod();

    for (const DocumentFont& font : fonts) {
        const QString key = familyDashFaceForFont(font);
        const QStringList components = key.split(separator);
        // A family or face holding the separator could not be found again by its key. The font comes from the
        // system's font list, which we do not control, so it is skipped rather than trusted.
        if (components.size() != 2) {
            qCWarning(lcText) << "I JUST CREATED MY OWN SPECIAL FONT NAME WITHOUT A FACE!" << font.postScriptName
                              << key;
            skipped.append(font.postScriptName);
            continue;
        }
        // A font without a family or face name ("Foo-MT" reads as an empty face) would be an empty menu item.
        if (components.at(0).isEmpty() || components.at(1).isEmpty()) {
            qCWarning(lcText) << "Font catalogue: skipped a font without a family or face name:" << font.postScriptName
                              << key;
            skipped.append(font.postScriptName);
            continue;
        }
        if (familyDashFaceToFont.contains(key)) {
            qCInfo(lcText) << "Font catalogue: a second font for" << key
                           << "replaces the first:" << font.postScriptName;
        } else {
            familyToFaces[components.at(0)].append(components.at(1));
        }
        familyDashFaceToFont.insert(key, font);
    }

    m_origList = std::move(fonts);
    m_familyToFaces = std::move(familyToFaces);
    m_familyDashFaceToFont = std::move(familyDashFaceToFont);
    m_skipped = std::move(skipped);
}

QStringList FontList::familyList() const
{
    QStringList families;
    families.reserve(qsizetype(m_familyToFaces.size()));
    for (const auto& [family, faces] : m_familyToFaces)
        families.append(family);
    return sorted(std::move(families));
}

std::optional<QStringList> FontList::facesForFamily(const QString& family) const
{
    const auto found = m_familyToFaces.find(family);
    if (found == m_familyToFaces.end())
        return std::nullopt;
    return sorted(found->second);
}

QString FontList::defaultFontFaceForFamily(const QString& family) const
{
    const QStringList faces = facesForFamily(family).value_or(QStringList());
    if (faces.isEmpty()) {
        qCWarning(lcText) << "OMG WTF HOW ARE THERE NO FACES FOR A PARTICULAR FAMILY!?" << family;
        return QStringLiteral("Regular");
    }
    for (const char* preferred : {"Regular", "Medium", "Black"}) {
        if (faces.contains(QLatin1String(preferred)))
            return QString::fromLatin1(preferred);
    }
    return faces.first();
}

std::optional<DocumentFont> FontList::fontForFamilyDashFace(const QString& key) const
{
    const auto found = m_familyDashFaceToFont.constFind(key);
    if (found == m_familyDashFaceToFont.constEnd())
        return std::nullopt;
    return *found;
}
