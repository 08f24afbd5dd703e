#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QFontInfo>

#include "foundation/FontSubstitution.h"
#include "support/QtPrinters.h"

TEST(FontSubstitution, HelveticaNeueFacesMapToAHelveticaLikeFamilyWithTheirWeightAndSlant)
{
    const FontFace light = FontSubstitution::faceForPostScriptName("HelveticaNeue-Light");
    EXPECT_EQ(light.documentFamily, "Helvetica Neue");
    EXPECT_EQ(light.families.value(0), "TeX Gyre Heros");
    EXPECT_EQ(light.weight, QFont::Light);
    EXPECT_FALSE(light.italic);

    const FontFace boldItalic = FontSubstitution::faceForPostScriptName("HelveticaNeue-BoldItalic");
    EXPECT_EQ(boldItalic.weight, QFont::Bold);
    EXPECT_TRUE(boldItalic.italic);

    const FontFace ultraLightItalic = FontSubstitution::faceForPostScriptName("HelveticaNeue-UltraLightItalic");
    EXPECT_EQ(ultraLightItalic.weight, QFont::ExtraLight);
    EXPECT_TRUE(ultraLightItalic.italic);

    const FontFace condensed = FontSubstitution::faceForPostScriptName("HelveticaNeue-CondensedBold");
    EXPECT_TRUE(condensed.condensed);
    EXPECT_EQ(condensed.families.value(0), "TeX Gyre Heros Cn");
    EXPECT_EQ(condensed.weight, QFont::Bold);

    EXPECT_EQ(FontSubstitution::faceForPostScriptName("HelveticaNeue").weight, QFont::Normal);
    EXPECT_TRUE(FontSubstitution::faceForPostScriptName("Helvetica-Oblique").italic);
}

TEST(FontSubstitution, VendorSuffixedNamesReadTheirFamilyAndFace)
{
    const FontFace times = FontSubstitution::faceForPostScriptName("TimesNewRomanPSMT");
    EXPECT_EQ(times.documentFamily, "Times New Roman");
    EXPECT_EQ(times.families.value(0), "Liberation Serif");
    EXPECT_EQ(times.weight, QFont::Normal);

    const FontFace arial = FontSubstitution::faceForPostScriptName("Arial-BoldItalicMT");
    EXPECT_EQ(arial.families.value(0), "Liberation Sans");
    EXPECT_EQ(arial.weight, QFont::Bold);
    EXPECT_TRUE(arial.italic);

    const FontFace courier = FontSubstitution::faceForPostScriptName("CourierNewPS-BoldMT");
    EXPECT_EQ(courier.families.value(0), "Liberation Mono");
    EXPECT_EQ(courier.weight, QFont::Bold);
    EXPECT_TRUE(FontSubstitution::isKnownPostScriptName("CourierNewPS-BoldMT"));
}

TEST(FontSubstitution, ApplicationFontsKeepTheFamilyNamesTheirPickersExpect)
{
    EXPECT_EQ(FontSubstitution::faceForPostScriptName("Lavanderia-Sturdy").documentFamily, "Lavanderia Sturdy");
    EXPECT_EQ(FontSubstitution::faceForPostScriptName("Museo-700").documentFamily, "Museo 700");
    EXPECT_EQ(FontSubstitution::faceForPostScriptName("Museo-700").weight, QFont::Bold);
    EXPECT_EQ(FontSubstitution::faceForPostScriptName("Sullivan-Fill").documentFamily, "Sullivan Fill");
    EXPECT_EQ(FontSubstitution::faceForPostScriptName("Sullivan-Regular").documentFamily, "Sullivan");
    EXPECT_EQ(FontSubstitution::faceForPostScriptName("LeagueGothic-CondensedRegular").documentFamily,
              "League Gothic Condensed");
    EXPECT_EQ(FontSubstitution::faceForPostScriptName("LeagueGothic-Regular").documentFamily, "League Gothic");
}

TEST(FontSubstitution, UnknownNamesFallBackByStyleAndAlwaysGiveAFamily)
{
    EXPECT_FALSE(FontSubstitution::isKnownPostScriptName("OpenSans-Semibold"));
    const FontFace openSans = FontSubstitution::faceForPostScriptName("OpenSans-Semibold");
    EXPECT_EQ(openSans.families.value(0), "Open Sans");
    EXPECT_TRUE(openSans.families.contains("TeX Gyre Heros"));
    EXPECT_EQ(openSans.weight, QFont::DemiBold);

    EXPECT_TRUE(FontSubstitution::faceForPostScriptName("SourceCodePro-Regular").families.contains("DejaVu Sans Mono"));
    EXPECT_TRUE(FontSubstitution::faceForPostScriptName("PTSerif-Regular").families.contains("TeX Gyre Termes"));
    EXPECT_FALSE(FontSubstitution::faceForPostScriptName("").families.isEmpty());
    EXPECT_FALSE(FontSubstitution::faceForPostScriptName("-").families.isEmpty());
}

// Text typed or pasted in a font of this system keeps the name of the family the stand-in draws.
TEST(FontSubstitution, AFontNamesThePostScriptFamilyItStandsFor)
{
    using F = FontSubstitution;
    for (const char* name : {"HelveticaNeue-Medium", "HelveticaNeue-BoldItalic", "Arial", "TimesNewRoman-Light"})
        EXPECT_EQ(F::postScriptNameForFont(F::fontForPostScriptName(name, 12)), name);
    QFont standIn(QStringLiteral("TeX Gyre Heros"));
    standIn.setWeight(QFont::Medium);
    EXPECT_EQ(F::postScriptNameForFont(standIn), "HelveticaNeue-Medium");
    EXPECT_EQ(F::faceForPostScriptName(F::postScriptNameForFont(standIn)).documentFamily, "Helvetica Neue");
    EXPECT_EQ(F::postScriptNameForFont(QFont(QStringLiteral("Times New Roman"))), "TimesNewRoman");
    EXPECT_EQ(F::postScriptNameForFont(QFont(QStringLiteral("Open Sans"))), "OpenSans");
}

TEST(FontSubstitution, MadeFontsResolveToAnInstalledFreeFamily)
{
    const QFont font = FontSubstitution::fontForPostScriptName("HelveticaNeue-Bold", 40);
    EXPECT_DOUBLE_EQ(font.pointSizeF(), 40.0);
    EXPECT_EQ(font.weight(), QFont::Bold);
    const QString installed = FontSubstitution::installedFamilyForPostScriptName("HelveticaNeue-Bold");
    if (!QFontDatabase::families().contains(installed))
        GTEST_SKIP() << "none of the substitute fonts is installed";
    EXPECT_EQ(QFontInfo(font).family(), installed);
    EXPECT_TRUE(QFontInfo(font).bold());
}
