#include <gtest/gtest.h>

#include <QMutex>

#include "elements/text/FontList.h"
#include "foundation/Tessutils.h"
#include "support/QtPrinters.h"

namespace {

// Collects the messages logged while it lives.
class LogCapture {
public:
    LogCapture() { s_previous = qInstallMessageHandler(&LogCapture::capture); }
    ~LogCapture() { qInstallMessageHandler(s_previous); }
    QStringList messages() const
    {
        QMutexLocker locker(&s_mutex);
        return s_messages;
    }
    bool contains(const char* text) const { return messages().join('\n').contains(QLatin1String(text)); }

private:
    static void capture(QtMsgType, const QMessageLogContext&, const QString& message)
    {
        QMutexLocker locker(&s_mutex);
        s_messages.append(message);
    }
    static inline QtMessageHandler s_previous = nullptr;
    static inline QMutex s_mutex;
    static inline QStringList s_messages;
};

DocumentFont font(const char* postScriptName, const char* family)
{
    return DocumentFont{postScriptName, 16, family, QFont()};
}

std::vector<DocumentFont> sampleFonts()
{
    return {font("Lavanderia-Delicate", "Lavanderia Delicate"),
            font("Lavanderia-Sturdy", "Lavanderia Sturdy"),
            font("Lavanderia-Regular", "Lavanderia Regular"),
            font("Museo-300", "Museo 300"),
            font("Museo-700", "Museo 700"),
            font("ArialMT", "Arial"),
            font("Arial-BoldItalicMT", "Arial"),
            font("CourierNewPS-BoldMT", "Courier New"),
            font("OstrichSans-Black", "Ostrich Sans"),
            font("OstrichSans-Medium", "Ostrich Sans"),
            font("x-Bold", "bitstream"),
            font("Odd-Font", "Odd-Family")};
}

} // namespace

TEST(FontList, FaceNamesAreReadFromThePostScriptName)
{
    const std::pair<const char*, const char*> cases[] = {
        {"Arial-BoldItalicMT", "Bold Italic"},
        {"Courier-BoldOblique", "Bold Oblique"},
        {"CourierNewPS-BoldMT", "Bold"},
        {"TimesNewRomanPSMT", "Regular"},
        {"HelveticaNeue-UltraLightItalic", "Ultra Light Italic"},
        {"Helvetica", "Regular"},
        {"Foo-", "Regular"},
        {"A-b-c", "b"},
        {"Museo-300", "300"},
        {"X-B", "B"},
    };
    for (const auto& [name, face] : cases)
        EXPECT_EQ(FontList::displayableFaceNameForPostScriptName(name), face) << name;
}

TEST(FontList, CatalogueFilesSpecialFamiliesUnderTheirShortNameAndSortsCaseSensitively)
{
    LogCapture log;
    FontList catalogue;
    catalogue.setList(sampleFonts());

    EXPECT_EQ(catalogue.familyList(),
              QStringList({"Arial", "Courier New", "Lavanderia", "Museo", "Ostrich Sans", "bitstream"}));
    EXPECT_EQ(catalogue.facesForFamily("Lavanderia"), QStringList({"Delicate", "Regular", "Sturdy"}));
    EXPECT_EQ(catalogue.facesForFamily("Arial"), QStringList({"Bold Italic", "Regular"}));
    EXPECT_FALSE(catalogue.facesForFamily("Nope"));
    EXPECT_FALSE(catalogue.facesForFamily("Odd"));

    EXPECT_EQ(catalogue.defaultFontFaceForFamily("Lavanderia"), "Regular");
    EXPECT_EQ(catalogue.defaultFontFaceForFamily("Museo"), "300");
    EXPECT_EQ(catalogue.defaultFontFaceForFamily("Ostrich Sans"), "Medium");
    EXPECT_EQ(catalogue.defaultFontFaceForFamily("Courier New"), "Bold");
    EXPECT_EQ(catalogue.defaultFontFaceForFamily("Arial"), "Regular");

    const std::optional<DocumentFont> museo = catalogue.fontForFamilyDashFace("Museo-700");
    ASSERT_TRUE(museo);
    EXPECT_EQ(museo->postScriptName, "Museo-700");
    EXPECT_EQ(FontList::familyDashFaceForFont(*museo), "Museo-700");
    EXPECT_FALSE(catalogue.fontForFamilyDashFace("Museo-900"));
    EXPECT_FALSE(catalogue.fontForFamilyDashFace("Nope"));

    // A hyphenated family cannot be keyed: it is left out and logged, and the process goes on.
    EXPECT_EQ(catalogue.skippedPostScriptNames(), QStringList({"Odd-Font"}));
    EXPECT_TRUE(log.contains("I JUST CREATED MY OWN SPECIAL FONT NAME WITHOUT A FACE!"));
    EXPECT_EQ(catalogue.origList().size(), 12u);
}

TEST(FontList, DefaultFacePrefersRegularThenMediumThenBlackElseTheFirstSorted)
{
    FontList catalogue;
    catalogue.setList({font("Fam-Italic", "Fam"), font("Fam-Bold", "Fam"), font("Two-Black", "Two"),
                       font("Two-Medium", "Two"), font("Three-Black", "Three"), font("Three-Light", "Three")});
    EXPECT_EQ(catalogue.defaultFontFaceForFamily("Fam"), "Bold");
    EXPECT_EQ(catalogue.defaultFontFaceForFamily("Two"), "Medium");
    EXPECT_EQ(catalogue.defaultFontFaceForFamily("Three"), "Black");
}

TEST(FontList, EmptyCatalogueAndReplacedLists)
{
    LogCapture log;
    FontList catalogue;
    catalogue.setList({});
    EXPECT_TRUE(catalogue.familyList().isEmpty());
    EXPECT_EQ(catalogue.defaultFontFaceForFamily("Arial"), "Regular");
    EXPECT_TRUE(log.contains("OMG WTF HOW ARE THERE NO FACES FOR A PARTICULAR FAMILY!?"));

    // A second setList replaces the whole catalogue.
    catalogue.setList(sampleFonts());
    catalogue.setList({font("Georgia", "Georgia")});
    EXPECT_EQ(catalogue.familyList(), QStringList({"Georgia"}));
    EXPECT_FALSE(catalogue.fontForFamilyDashFace("Museo-700"));
    EXPECT_TRUE(catalogue.skippedPostScriptNames().isEmpty());
}

TEST(FontList, DuplicateKeysAreListedOnceAndBlankNamesSkipped)
{
    FontList catalogue;
    DocumentFont first = font("Arial-BoldMT", "Arial");
    DocumentFont second = font("Arial-Bold", "Arial");
    second.pointSize = 20;
    catalogue.setList({first, second});
    EXPECT_EQ(catalogue.facesForFamily("Arial"), QStringList({"Bold"}));
    ASSERT_TRUE(catalogue.fontForFamilyDashFace("Arial-Bold"));
    EXPECT_EQ(catalogue.fontForFamilyDashFace("Arial-Bold")->postScriptName, "Arial-Bold");

    // Blank family or face names would be blank menu items; they are skipped like hyphenated ones.
    LogCapture log;
    catalogue.setList({font("Foo-MT", "Foo"), font("NoFamily", ""), font("Bar-Bold", "Bar")});
    EXPECT_EQ(catalogue.familyList(), QStringList({"Bar"}));
    EXPECT_EQ(catalogue.skippedPostScriptNames(), QStringList({"Foo-MT", "NoFamily"}));
}

TEST(FontList, TheDocumentFontListMakesElevenFamiliesWithNothingSkipped)
{
    LogCapture log;
    QStringList unavailable;
    const QStringList names = {"HelveticaNeue-Light", "", "NoSuchFont-Bold", "Museo-300", "Lavanderia-Sturdy"};
    EXPECT_EQ(FontList::documentFontsForNames(names, 16, &unavailable).size(), 3u);
    EXPECT_EQ(unavailable, QStringList({"", "NoSuchFont-Bold"}));

    FontList catalogue;
    unavailable.clear();
    catalogue.setList(FontList::documentFontsForNames(Tessutils::zeriDefaultFontList(), 16, &unavailable));
    EXPECT_TRUE(unavailable.isEmpty()) << unavailable.join(", ").toStdString();
    EXPECT_TRUE(catalogue.skippedPostScriptNames().isEmpty());
    EXPECT_EQ(catalogue.origList().size(), 46u);
    EXPECT_EQ(catalogue.familyList(),
              QStringList({"Arial", "Courier", "Georgia", "Helvetica", "Helvetica Neue", "Lavanderia", "League Gothic",
                           "Museo", "Palatino", "Sullivan", "Times New Roman"}));
    EXPECT_EQ(catalogue.facesForFamily("Sullivan"), QStringList({"Bevel", "Fill", "Regular"}));
    EXPECT_EQ(catalogue.defaultFontFaceForFamily("Palatino"), "Bold");
}
