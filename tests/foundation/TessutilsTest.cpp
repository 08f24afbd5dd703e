#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QTemporaryDir>

#include "foundation/FontSubstitution.h"
#include "foundation/OSXUtils.h"
#include "foundation/Tessutils.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "support/QtPrinters.h"

namespace {

// Each test gets an empty user-defaults store.
class TessutilsStore : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        UserDefaults::setStoreFileForTesting(m_dir.filePath("defaults.conf"));
        Tessutils::setUserInfoNeedsUpdate(false);
    }
    void TearDown() override { UserDefaults::setStoreFileForTesting(QString()); }

    int countPosts(const QString& name, const std::function<void()>& action)
    {
        int posts = 0;
        NotificationObservation observation(name, nullptr, [&](const Notification&) { ++posts; });
        action();
        return posts;
    }

    QTemporaryDir m_dir;
};

} // namespace

TEST(TessutilsFlowLinks, BuildAndReadBack)
{
    EXPECT_EQ(Tessutils::embeddedFlowLinkWithStringID("abc", "S1", "2"),
              QString("flowLink://stringID=abc&screenID=S1&screenIndex=2"));
    EXPECT_EQ(Tessutils::embeddedFlowLinkWithStringID("abc"), QString("flowLink://stringID=abc"));
    EXPECT_EQ(Tessutils::embeddedFlowLinkWithStringID("abc", "", "4"),
              QString("flowLink://stringID=abc&screenIndex=4"));
    EXPECT_FALSE(Tessutils::embeddedFlowLinkWithStringID("", "S1", "2").has_value());

    const QString link = *Tessutils::embeddedFlowLinkWithStringID("abc", "S1", "2");
    EXPECT_TRUE(Tessutils::isFlowLink(link));
    EXPECT_EQ(Tessutils::stringIDFromEmbedFlowLink(link), QString("abc"));
    EXPECT_EQ(Tessutils::screenIDFromEmbedFlowLink(link), QString("S1"));
    EXPECT_EQ(Tessutils::screenIndexFromEmbedFlowLink(link), QString("2"));
    EXPECT_FALSE(Tessutils::screenIDFromEmbedFlowLink("flowLink://stringID=abc").has_value());
}

TEST(TessutilsFlowLinks, TextThatIsNotAFlowLinkGivesNothing)
{
    for (const QString& text :
         {QString(), QString("stringID=abc"), QString("http://x.com/?stringID=abc"), QString("flowlink://stringID=abc"),
          QString("flowLink://"), QString("flowLink://&&=")}) {
        EXPECT_FALSE(Tessutils::stringIDFromEmbedFlowLink(text).has_value()) << text.toStdString();
        EXPECT_FALSE(Tessutils::screenIndexFromEmbedFlowLink(text).has_value()) << text.toStdString();
    }
    EXPECT_FALSE(Tessutils::isFlowLink("http://example.com"));
    // The key must match whole: "xstringID" is not "stringID".
    EXPECT_FALSE(Tessutils::stringIDFromEmbedFlowLink("flowLink://xstringID=1").has_value());
}

TEST_F(TessutilsStore, AuthTokenPersistsAndOnlyANonEmptyTokenPosts)
{
    EXPECT_EQ(countPosts("Auth token set notification name", [] { Tessutils::setCorvikAuthToken("T"); }), 1);
    EXPECT_EQ(UserDefaults::standard().string("corvikAuthToken"), "T");
    EXPECT_EQ(Tessutils::corvikAuthToken(), "T");

    EXPECT_EQ(countPosts("Auth token set notification name", [] { Tessutils::setCorvikAuthToken(QString()); }), 0);
    EXPECT_FALSE(UserDefaults::standard().contains("corvikAuthToken"));
    EXPECT_TRUE(Tessutils::corvikAuthToken().isEmpty());
}

TEST_F(TessutilsStore, PopoverDockFlagPersistsAndPostsWithoutSender)
{
    EXPECT_FALSE(Tessutils::isPopoverDocked());
    const void* sender = reinterpret_cast<const void*>(1);
    NotificationObservation observation("PopoverDockStatusChagned", nullptr,
                                        [&](const Notification& n) { sender = n.sender; });
    Tessutils::setIsPopoverDocked(true);
    EXPECT_EQ(sender, nullptr);
    EXPECT_TRUE(UserDefaults::standard().boolValue("showDockedPopoverOnLaunch"));
    EXPECT_TRUE(Tessutils::isPopoverDocked());
}

TEST_F(TessutilsStore, UserRecordStoresProfileReadsUserAndTakesTheUploadLimit)
{
    EXPECT_TRUE(Tessutils::corvikUserDict().isEmpty());

    const QJsonObject reply{
        {"profile", QJsonObject{{"username", "ann"}, {"account_type", "admin"}, {"upload_max_file_size", "73400320"}}},
        {"other", 1}};
    Tessutils::setCorvikUserDict(SafeDictionary(reply));
    EXPECT_EQ(Tessutils::corvikUserDict().stringForKey("username"), "ann");
    EXPECT_FALSE(Tessutils::corvikUserDict().contains("other"));
    EXPECT_TRUE(Tessutils::isUserAdmin());
    EXPECT_EQ(Tessutils::userMaxUploadSize(), 73400320);
    EXPECT_TRUE(Tessutils::userInfoNeedsUpdate());

    Tessutils::setCorvikDisplayName("Ann B.");
    EXPECT_EQ(Tessutils::corvikUserDict().stringForKey("display_name"), "Ann B.");
    EXPECT_EQ(Tessutils::corvikUserDict().stringForKey("username"), "ann");

    // A record stored under "user" (as the service's login reply has it) reads through that member.
    Tessutils::setCorvikUserDict(SafeDictionary(QJsonObject{{"user", QJsonObject{{"username", "bob"}}}}));
    EXPECT_EQ(Tessutils::corvikUserDict().stringForKey("username"), "bob");
    EXPECT_FALSE(Tessutils::isUserAdmin());
    Tessutils::setCorvikDisplayName("Bob");
    EXPECT_EQ(Tessutils::corvikUserDict().stringForKey("display_name"), "Bob");

    Tessutils::setCorvikUserDict(std::nullopt);
    EXPECT_TRUE(Tessutils::corvikUserDict().isEmpty());
    EXPECT_EQ(Tessutils::userMaxUploadSize(), 73400320);
}

TEST_F(TessutilsStore, OtherStoredValuesRoundTripAndNullRemoves)
{
    Tessutils::setCorvikCookieAuthToken("C");
    EXPECT_EQ(Tessutils::corvikCookieAuthToken(), "C");
    Tessutils::setCorvikCookieAuthToken(QString());
    EXPECT_FALSE(UserDefaults::standard().contains("corvikCookieAuthToken"));

    Tessutils::setCorvikAvatarPositionString(QString());
    EXPECT_TRUE(UserDefaults::standard().contains("corvikAvatarPositionString"));
    EXPECT_EQ(Tessutils::corvikAvatarPositionString(), "");

    EXPECT_TRUE(Tessutils::cachedStandardTessarineThemeListString().isNull());
    Tessutils::setCachedStandardTessarineThemeListString("[1,2]");
    EXPECT_EQ(Tessutils::cachedStandardTessarineThemeListString(), "[1,2]");

    EXPECT_FALSE(Tessutils::userEnterpriseGroup().has_value());
    Tessutils::setUserEnterpriseGroupWithDict(SafeDictionary(QJsonObject{{"id", 7}, {"group_name", "Team"}}));
    ASSERT_TRUE(Tessutils::userEnterpriseGroup().has_value());
    EXPECT_EQ(Tessutils::userEnterpriseGroup()->groupID(), "7");
    EXPECT_EQ(Tessutils::userEnterpriseGroup()->groupName(), "Team");
    Tessutils::setUserEnterpriseGroup(std::nullopt);
    EXPECT_FALSE(Tessutils::userEnterpriseGroup().has_value());

    const QUrl folder = QUrl::fromLocalFile("/tmp/some folder");
    Tessutils::setLastOpenedDirectoryURL(folder);
    EXPECT_EQ(Tessutils::lastOpenedDirectoryURL(), folder);
}

TEST(Tessutils, IdentityColoursAndLists)
{
    const QString id = Tessutils::generateUniversalID();
    EXPECT_TRUE(
        QRegularExpression("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$").match(id).hasMatch());
    EXPECT_NE(id, Tessutils::generateUniversalID());

    EXPECT_EQ(Tessutils::tessarineBlue(), QColor(0x1F, 0x70, 0xA8));
    EXPECT_EQ(Tessutils::tessarineBlueForDarkDesigns(), QColor(0x20, 0x79, 0xDF));
    EXPECT_NEAR(Tessutils::tessarineBlackColor().redF(), 0.23, 0.002);

    EXPECT_EQ(Tessutils::defaultFontSizeList().size(), 12);
    EXPECT_EQ(Tessutils::standardDefaultColorList().size(), 22);
    const QStringList fonts = Tessutils::zeriDefaultFontList();
    EXPECT_TRUE(fonts.contains("HelveticaNeue-Light"));
    EXPECT_EQ(Tessutils::allAvailableFonts(), fonts);
    for (const QString& name : fonts) {
        const FontFace face = FontSubstitution::faceForPostScriptName(name);
        EXPECT_TRUE(FontSubstitution::isKnownPostScriptName(name)) << name.toStdString();
        // The font catalogue splits "family-face" keys at "-".
        EXPECT_FALSE(face.documentFamily.contains('-')) << name.toStdString();
    }
}

TEST(Tessutils, SerializedFontRunsUseDefaultsForMissingFields)
{
    const SerializedFontRun run = Tessutils::fontAttributeDictFromSerializedFont(
        SafeDictionary(QJsonObject{{"Name", "HelveticaNeue-Bold"}, {"Size", "40"}, {"Range", "{3, 12}"}}));
    EXPECT_EQ(run.name, "HelveticaNeue-Bold");
    EXPECT_DOUBLE_EQ(run.size, 40);
    EXPECT_EQ(run.location, 3);
    EXPECT_EQ(run.length, 12);
    EXPECT_EQ(run.font().weight(), QFont::Bold);

    const SerializedFontRun empty = Tessutils::fontAttributeDictFromSerializedFont(
        SafeDictionary(QJsonObject{{"Size", "huge"}, {"Range", "{-1, x}"}}));
    EXPECT_EQ(empty.name, "HelveticaNeue");
    EXPECT_DOUBLE_EQ(empty.size, 12);
    EXPECT_EQ(empty.location, 0);
    EXPECT_EQ(empty.length, 0);
}

TEST(Tessutils, UrlFriendlyTitles)
{
    EXPECT_EQ(Tessutils::urlFriendlyHyphenatedTitleFromString("  My Trip to Zürich!  "), "my-trip-to-zurich");
    EXPECT_EQ(Tessutils::urlFriendlyHyphenatedTitleFromString("a\t\nb  c"), "a-b-c");
    EXPECT_EQ(Tessutils::urlFriendlyHyphenatedTitleFromString("v1.2_final~x/y?z"), "v1.2_final~xyz");
    EXPECT_EQ(Tessutils::urlFriendlyHyphenatedTitleFromString("日本"), "");
}

TEST(Tessutils, PdfEmailEscapesItsInputs)
{
    const QString html =
        Tessutils::trackableEmail_editablePDFEmailHTMLStringWithSender("<b>Ann</b>", "http://x/?a=1&b=2", "Deck");
    EXPECT_TRUE(html.contains("&lt;b&gt;Ann&lt;/b&gt;"));
    EXPECT_TRUE(html.contains("a=1&amp;b=2"));
    EXPECT_FALSE(html.contains("<b>Ann"));
}

TEST(Tessutils, IntegralRectInsideStaysInside)
{
    EXPECT_EQ(TessutilsIntegralRectInside(QRectF(0, 0, 10, 20)), QRectF(0, 0, 10, 20));
    EXPECT_EQ(TessutilsIntegralRectInside(QRectF(0.5, 1.2, 10, 20.9)), QRectF(1, 2, 9, 20));
    EXPECT_EQ(TessutilsIntegralRectInside(QRectF(0.2, 0, 10.9, 5)), QRectF(1, 0, 10, 5));
    EXPECT_EQ(TessutilsIntegralRectInside(QRectF(0.5, 0.5, 0.4, 0.4)).size(), QSizeF(0, 0));
}

TEST(OSXUtils, TranslationToModelFlipsYAndDividesByScale)
{
    EXPECT_EQ(OSXUtils::convertedTranslationToCurrentModel(QPointF(10, 4), 2.0), QPointF(5, -2));
    EXPECT_EQ(OSXUtils::convertedTranslationToCurrentModel(QPointF(10, 4), 0.0), QPointF(0, 0));
}
