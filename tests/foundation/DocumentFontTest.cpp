#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include <QFontInfo>

#include "foundation/FontSubstitution.h"
#include "support/QtPrinters.h"

TEST(DocumentFont, NamesTheTableKnowsMakeFontsUnderTheirReportedFamily)
{
    const std::optional<DocumentFont> courier = FontSubstitution::documentFont("Courier", 12);
    ASSERT_TRUE(courier);
    EXPECT_EQ(courier->postScriptName, "Courier");
    EXPECT_EQ(courier->family, "Courier");
    EXPECT_DOUBLE_EQ(courier->pointSize, 12);
    EXPECT_DOUBLE_EQ(courier->font.pointSizeF(), 12);

    const std::optional<DocumentFont> museo = FontSubstitution::documentFont("Museo-300", 16);
    ASSERT_TRUE(museo);
    EXPECT_EQ(museo->family, "Museo 300");

    // Display faces themes offer, which the line-height table also lists.
    for (const char* name : {"Lobster1.4", "Papyrus", "Papyrus-Condensed", "Homestead", "DemingEP"})
        EXPECT_TRUE(FontSubstitution::documentFont(name, 30)) << name;
}

TEST(DocumentFont, InstalledFontsAreFoundByTheirExactPostScriptName)
{
    const std::optional<DocumentFont> installed = FontSubstitution::documentFont("DejaVuSans-Bold", 20);
    ASSERT_TRUE(installed);
    EXPECT_EQ(installed->family, "DejaVu Sans");
    EXPECT_EQ(QFontInfo(installed->font).family(), "DejaVu Sans");
    EXPECT_TRUE(QFontInfo(installed->font).bold());

    // fontconfig matches names regardless of case; documents do not.
    EXPECT_FALSE(FontSubstitution::documentFont("dejavusans-bold", 20));
}

TEST(DocumentFont, BadNamesAndSizesMakeNoFont)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double infinity = std::numeric_limits<double>::infinity();
    for (double size : {0.0, -4.0, nan, infinity})
        EXPECT_FALSE(FontSubstitution::documentFont("Courier", size)) << size;
    const QString longName = QStringLiteral("Courier-") + QString(492, QLatin1Char('B'));
    for (const QString& name :
         {QString(), QStringLiteral("NoSuchFont-Bold"), QStringLiteral("---"), QStringLiteral("-"),
          QStringLiteral("Courier Bold"), QStringLiteral("Courier\n"), longName})
        EXPECT_FALSE(FontSubstitution::documentFont(name, 12)) << name.left(40).toStdString();
}

TEST(DocumentFont, TheTestHookMakesANameUnavailableUntilCleared)
{
    FontSubstitution::setUnavailablePostScriptNamesForTesting({"HelveticaNeue-Light"});
    EXPECT_FALSE(FontSubstitution::documentFont("HelveticaNeue-Light", 40));
    EXPECT_TRUE(FontSubstitution::documentFont("HelveticaNeue", 40));
    FontSubstitution::setUnavailablePostScriptNamesForTesting({});
    EXPECT_TRUE(FontSubstitution::documentFont("HelveticaNeue-Light", 40));
}
