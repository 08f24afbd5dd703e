#include "foundation/FontSubstitution.h"

#include <array>

#include <cmath>

#include <QFontDatabase>
#include <QHash>
#include <QMutex>
#include <QRegularExpression>

#include <fontconfig/fontconfig.h>

namespace {

const QStringList kSans{QStringLiteral("TeX Gyre Heros"), QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                        QStringLiteral("DejaVu Sans")};
const QStringList kArial{QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"), QStringLiteral("TeX Gyre Heros"),
                         QStringLiteral("DejaVu Sans")};
const QStringList kSansCondensed{QStringLiteral("TeX Gyre Heros Cn"), QStringLiteral("DejaVu Sans Condensed"),
                                 QStringLiteral("Liberation Sans Narrow"), QStringLiteral("Liberation Sans")};
const QStringList kTimes{QStringLiteral("TeX Gyre Termes"), QStringLiteral("Liberation Serif"), QStringLiteral("Tinos"),
                         QStringLiteral("DejaVu Serif")};
const QStringList kTimesNewRoman{QStringLiteral("Liberation Serif"), QStringLiteral("Tinos"),
                                 QStringLiteral("TeX Gyre Termes"), QStringLiteral("DejaVu Serif")};
const QStringList kSerifWide{QStringLiteral("TeX Gyre Schola"), QStringLiteral("Liberation Serif"),
                             QStringLiteral("DejaVu Serif")};
const QStringList kPalatino{QStringLiteral("TeX Gyre Pagella"), QStringLiteral("Liberation Serif"),
                            QStringLiteral("DejaVu Serif")};
const QStringList kBookman{QStringLiteral("TeX Gyre Bonum"), QStringLiteral("Liberation Serif"),
                           QStringLiteral("DejaVu Serif")};
const QStringList kCourier{QStringLiteral("TeX Gyre Cursor"), QStringLiteral("Liberation Mono"),
                           QStringLiteral("Cousine"), QStringLiteral("DejaVu Sans Mono")};
const QStringList kCourierNew{QStringLiteral("Liberation Mono"), QStringLiteral("Cousine"),
                              QStringLiteral("TeX Gyre Cursor"), QStringLiteral("DejaVu Sans Mono")};
const QStringList kMono{QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Liberation Mono"),
                        QStringLiteral("Cousine")};
const QStringList kGeometric{QStringLiteral("TeX Gyre Adventor"), QStringLiteral("DejaVu Sans"),
                             QStringLiteral("Liberation Sans")};
const QStringList kHumanist{QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans"),
                            QStringLiteral("TeX Gyre Heros")};
const QStringList kScript{QStringLiteral("TeX Gyre Chorus"), QStringLiteral("DejaVu Serif")};

struct FamilyRule {
    const char* postScriptFamily; // the part before "-", with "MT"/"PS" suffixes removed
    const char* documentFamily;
    const QStringList* families;
    bool condensed;
};

// The application's own display faces (Lavanderia, League Gothic, Museo, Sullivan) have no free
// counterpart; each gets the closest installed style.
const std::array kFamilyRules{
    FamilyRule{"HelveticaNeue", "Helvetica Neue", &kSans, false},
    FamilyRule{"Helvetica", "Helvetica", &kSans, false},
    FamilyRule{"Arial", "Arial", &kArial, false},
    FamilyRule{"ArialNarrow", "Arial Narrow", &kSansCondensed, true},
    FamilyRule{"TimesNewRoman", "Times New Roman", &kTimesNewRoman, false},
    FamilyRule{"Times", "Times", &kTimes, false},
    FamilyRule{"Georgia", "Georgia", &kSerifWide, false},
    FamilyRule{"Goergia", "Georgia", &kSerifWide, false},
    FamilyRule{"Palatino", "Palatino", &kPalatino, false},
    FamilyRule{"Bookman", "Bookman", &kBookman, false},
    FamilyRule{"NewCenturySchlbk", "New Century Schoolbook", &kSerifWide, false},
    FamilyRule{"Courier", "Courier", &kCourier, false},
    FamilyRule{"CourierNew", "Courier New", &kCourierNew, false},
    FamilyRule{"Menlo", "Menlo", &kMono, false},
    FamilyRule{"Monaco", "Monaco", &kMono, false},
    FamilyRule{"AvantGarde", "Avant Garde", &kGeometric, false},
    FamilyRule{"Futura", "Futura", &kGeometric, false},
    FamilyRule{"Avenir", "Avenir", &kGeometric, false},
    FamilyRule{"Verdana", "Verdana", &kHumanist, false},
    FamilyRule{"Tahoma", "Tahoma", &kHumanist, false},
    FamilyRule{"GillSans", "Gill Sans", &kHumanist, false},
    FamilyRule{"Optima", "Optima", &kHumanist, false},
    FamilyRule{"ZapfChancery", "Zapf Chancery", &kScript, false},
    FamilyRule{"Lavanderia", "Lavanderia", &kScript, false},
    FamilyRule{"LeagueGothic", "League Gothic", &kSansCondensed, true},
    FamilyRule{"Museo", "Museo", &kHumanist, false},
    FamilyRule{"Sullivan", "Sullivan", &kSansCondensed, true},
    FamilyRule{"OstrichSans", "Ostrich Sans", &kSansCondensed, true},
    // Display faces that themes offer, with their own line heights.
    FamilyRule{"Papyrus", "Papyrus", &kHumanist, false},
    FamilyRule{"Lobster1.4", "Lobster 1.4", &kScript, false},
    FamilyRule{"Homestead", "Homestead", &kSerifWide, false},
    FamilyRule{"DemingEP", "Deming EP", &kSerifWide, false},
};

const FamilyRule* ruleForFamily(const QString& postScriptFamily)
{
    static const QHash<QString, const FamilyRule*> rules = [] {
        QHash<QString, const FamilyRule*> map;
        for (const FamilyRule& rule : kFamilyRules)
            map.insert(QString::fromLatin1(rule.postScriptFamily).toLower(), &rule);
        return map;
    }();
    return rules.value(postScriptFamily.toLower(), nullptr);
}

// "TimesNewRomanPSMT" -> "TimesNewRoman", "CourierNewPS" -> "CourierNew".
QString stripVendorSuffixes(QString part)
{
    for (const char* suffix : {"MT", "PS"}) {
        if (part.size() > 2 && part.endsWith(QLatin1String(suffix)))
            part.chop(2);
    }
    return part;
}

void readFace(const QString& facePart, FontFace& face)
{
    const QString f = facePart.toLower();
    auto has = [&f](const char* word) { return f.contains(QLatin1String(word)); };

    face.italic = has("italic") || has("oblique");
    if (has("condensed") || has("narrow") || f.startsWith(QLatin1String("cn")))
        face.condensed = true;

    if (has("ultralight") || has("thin") || has("hairline"))
        face.weight = QFont::ExtraLight;
    else if (has("extralight"))
        face.weight = QFont::ExtraLight;
    else if (has("semibold") || has("demibold") || has("demi"))
        face.weight = QFont::DemiBold;
    else if (has("extrabold") || has("ultrabold"))
        face.weight = QFont::ExtraBold;
    else if (has("black") || has("heavy"))
        face.weight = QFont::Black;
    else if (has("bold"))
        face.weight = QFont::Bold;
    else if (has("medium"))
        face.weight = QFont::Medium;
    else if (has("light"))
        face.weight = QFont::Light;
    else {
        // Faces named by CSS-style weight numbers ("Museo-300").
        static const QRegularExpression number(QStringLiteral("^([1-9])00$"));
        const QRegularExpressionMatch match = number.match(f);
        if (match.hasMatch())
            face.weight = static_cast<QFont::Weight>(match.captured(1).toInt() * 100);
    }
}

// "OpenSans" -> "Open Sans", the usual way a PostScript family maps to a family name.
QString splitCamelCase(const QString& text)
{
    QString result;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (i > 0 && c.isUpper() && text.at(i - 1).isLower())
            result.append(QLatin1Char(' '));
        result.append(c);
    }
    return result;
}

const QStringList& fallbackFamiliesFor(const QString& postScriptFamily)
{
    const QString f = postScriptFamily.toLower();
    if (f.contains(QLatin1String("mono")) || f.contains(QLatin1String("courier")) ||
        f.contains(QLatin1String("code")) || f.contains(QLatin1String("console")))
        return kMono;
    if (f.contains(QLatin1String("serif")) && !f.contains(QLatin1String("sans")))
        return kTimes;
    if (f.contains(QLatin1String("times")) || f.contains(QLatin1String("roman")) ||
        f.contains(QLatin1String("garamond")) || f.contains(QLatin1String("baskerville")) ||
        f.contains(QLatin1String("didot")) || f.contains(QLatin1String("cambria")))
        return kTimes;
    return kSans;
}

QMutex& fontLookupMutex()
{
    static QMutex mutex;
    return mutex;
}

QStringList& unavailableNamesForTesting()
{
    static QStringList names;
    return names;
}

// PostScript names are printable ASCII without spaces; the format caps them well below this length.
bool isPlausiblePostScriptName(const QString& name)
{
    if (name.isEmpty() || name.size() > 127)
        return false;
    for (const QChar c : name) {
        if (c.unicode() <= 0x20 || c.unicode() >= 0x7f)
            return false;
    }
    return true;
}

struct InstalledFont {
    QString family;
};

// The installed font whose PostScript name is exactly `name`, asked of fontconfig once per name.
std::optional<InstalledFont> installedFontWithPostScriptName(const QString& name)
{
    static QHash<QString, std::optional<InstalledFont>> cache;
    QMutexLocker locker(&fontLookupMutex());
    const auto cached = cache.constFind(name);
    if (cached != cache.constEnd())
        return *cached;

    std::optional<InstalledFont> found;
    const QByteArray utf8 = name.toUtf8();
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_POSTSCRIPT_NAME, reinterpret_cast<const FcChar8*>(utf8.constData()));
    FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, FC_POSTSCRIPT_NAME, nullptr);
    if (FcFontSet* fonts = FcFontList(nullptr, pattern, objects)) {
        for (int i = 0; i < fonts->nfont && !found; ++i) {
            FcChar8* postScript = nullptr;
            FcChar8* family = nullptr;
            // fontconfig compares names without regard to case; documents name fonts exactly.
            if (FcPatternGetString(fonts->fonts[i], FC_POSTSCRIPT_NAME, 0, &postScript) != FcResultMatch ||
                QString::fromUtf8(reinterpret_cast<const char*>(postScript)) != name)
                continue;
            if (FcPatternGetString(fonts->fonts[i], FC_FAMILY, 0, &family) != FcResultMatch)
                continue;
            found = InstalledFont{QString::fromUtf8(reinterpret_cast<const char*>(family))};
        }
        FcFontSetDestroy(fonts);
    }
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    cache.insert(name, found);
    return found;
}

} // namespace

std::optional<DocumentFont> FontSubstitution::documentFont(const QString& postScriptName, double pointSize)
{
    if (!isPlausiblePostScriptName(postScriptName) || !std::isfinite(pointSize) || pointSize <= 0)
        return std::nullopt;
    {
        QMutexLocker locker(&fontLookupMutex());
        if (unavailableNamesForTesting().contains(postScriptName))
            return std::nullopt;
    }
    if (isKnownPostScriptName(postScriptName)) {
        return DocumentFont{postScriptName, pointSize, faceForPostScriptName(postScriptName).documentFamily,
                            fontForPostScriptName(postScriptName, pointSize)};
    }
    const std::optional<InstalledFont> installed = installedFontWithPostScriptName(postScriptName);
    if (!installed)
        return std::nullopt;
    // Weight and slant as the name's face part states them; the installed family supplies the cut.
    const FontFace face = faceForPostScriptName(postScriptName);
    QFont font(installed->family);
    font.setWeight(face.weight);
    font.setItalic(face.italic);
    font.setPointSizeF(pointSize);
    return DocumentFont{postScriptName, pointSize, installed->family, font};
}

void FontSubstitution::setUnavailablePostScriptNamesForTesting(const QStringList& names)
{
    QMutexLocker locker(&fontLookupMutex());
    unavailableNamesForTesting() = names;
}

FontFace FontSubstitution::faceForPostScriptName(const QString& postScriptName)
{
    FontFace face;
    face.postScriptName = postScriptName;

    const QString trimmed = postScriptName.trimmed();
    const qsizetype dash = trimmed.indexOf(QLatin1Char('-'));
    const QString familyPart = stripVendorSuffixes(dash < 0 ? trimmed : trimmed.left(dash));
    const QString facePart = dash < 0 ? QString() : trimmed.mid(dash + 1);

    readFace(facePart, face);

    if (const FamilyRule* rule = ruleForFamily(familyPart)) {
        face.documentFamily = QString::fromLatin1(rule->documentFamily);
        face.families = *rule->families;
        face.condensed = face.condensed || rule->condensed;
        // Condensed faces of a regular family ("HelveticaNeue-CondensedBold") use the condensed cut.
        if (face.condensed && !rule->condensed && rule->families == &kSans)
            face.families = kSansCondensed + kSans;
        // The original system names these families with the face inside ("Lavanderia Sturdy").
        const QString familyKey = familyPart.toLower();
        if (!facePart.isEmpty() && (familyKey == QLatin1String("lavanderia") || familyKey == QLatin1String("museo") ||
                                    (familyKey == QLatin1String("sullivan") && facePart != QLatin1String("Regular"))))
            face.documentFamily += QLatin1Char(' ') + facePart;
        if (familyKey == QLatin1String("leaguegothic") && facePart.startsWith(QLatin1String("Condensed")))
            face.documentFamily += QLatin1String(" Condensed");
        return face;
    }

    face.documentFamily = splitCamelCase(familyPart);
    face.families = QStringList{face.documentFamily} + fallbackFamiliesFor(familyPart);
    if (face.condensed)
        face.families = QStringList{face.documentFamily} + kSansCondensed;
    face.families.removeAll(QString());
    return face;
}

bool FontSubstitution::isKnownPostScriptName(const QString& postScriptName)
{
    const QString trimmed = postScriptName.trimmed();
    const qsizetype dash = trimmed.indexOf(QLatin1Char('-'));
    return ruleForFamily(stripVendorSuffixes(dash < 0 ? trimmed : trimmed.left(dash))) != nullptr;
}

QFont FontSubstitution::fontForPostScriptName(const QString& postScriptName, qreal pointSize)
{
    const FontFace face = faceForPostScriptName(postScriptName);
    QFont font;
    font.setFamilies(face.families);
    font.setWeight(face.weight);
    font.setItalic(face.italic);
    if (pointSize > 0)
        font.setPointSizeF(pointSize);
    return font;
}

QString FontSubstitution::postScriptNameForFont(const QFont& font)
{
    QStringList families = font.families();
    if (families.isEmpty())
        families = QStringList{font.family()};
    const QString first = families.constFirst().trimmed();
    const auto ruleWhere = [](const auto& matches) -> const FamilyRule* {
        for (const FamilyRule& rule : kFamilyRules) {
            if (matches(rule))
                return &rule;
        }
        return nullptr;
    };
    // A font made from a document's name carries its rule's whole list; one read back from text or HTML names the
    // family the document shows, or only the stand-in that drew it.
    const FamilyRule* rule = ruleWhere([&](const FamilyRule& r) { return *r.families == families; });
    if (!rule)
        rule = ruleWhere([&](const FamilyRule& r) {
            return first.compare(QLatin1String(r.documentFamily), Qt::CaseInsensitive) == 0;
        });
    if (!rule)
        rule = ruleWhere(
            [&](const FamilyRule& r) { return first.compare(r.families->constFirst(), Qt::CaseInsensitive) == 0; });
    const QString family = rule ? QString::fromLatin1(rule->postScriptFamily) : QString(first).remove(u' ');

    QString face;
    if (font.weight() >= QFont::DemiBold)
        face = QStringLiteral("Bold");
    else if (font.weight() > QFont::Normal)
        face = QStringLiteral("Medium");
    else if (font.weight() <= QFont::Light)
        face = QStringLiteral("Light");
    if (font.italic())
        face += QStringLiteral("Italic");
    return face.isEmpty() ? family : family + u'-' + face;
}

QString FontSubstitution::installedFamilyForPostScriptName(const QString& postScriptName)
{
    const FontFace face = faceForPostScriptName(postScriptName);
    const QStringList installed = QFontDatabase::families();
    for (const QString& family : face.families) {
        if (installed.contains(family, Qt::CaseInsensitive))
            return family;
    }
    return face.families.value(0);
}
