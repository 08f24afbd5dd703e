#include <gtest/gtest.h>

#include <QLocale>
#include <QSet>

#include "strings/StringTables.h"
#include "strings/UFM.h"
#include "support/QtPrinters.h"

namespace {

// Each test states its preferred languages; the German test table sits beside the built test.
class UFMTest : public ::testing::Test {
protected:
    void SetUp() override { StringTables::setTableDirectoryForTesting(QStringLiteral(TESS_TEST_STRING_TABLES)); }
    void TearDown() override
    {
        StringTables::setPreferredLanguagesForTesting({});
        StringTables::setTableDirectoryForTesting({});
    }
    static void prefer(const QStringList& languages) { StringTables::setPreferredLanguagesForTesting(languages); }
};

QStringList accessorNames(qsizetype from, qsizetype to)
{
    QStringList names;
    const auto entries = UFM::entries();
    for (qsizetype i = from; i < to; ++i)
        names.append(QString::fromLatin1(entries[static_cast<size_t>(i)].accessorName));
    return names;
}

} // namespace

TEST_F(UFMTest, TableHoldsTheThreeRunsInDeclarationOrder)
{
    const auto entries = UFM::entries();
    // The three runs, then the menu titles every window's menu bar adds, then the texts added since.
    ASSERT_EQ(entries.size(), 34u + 183u + 199u + 9u + 1u + 17u);
    EXPECT_EQ(accessorNames(0, 2), (QStringList{"BACK_TEXT", "CANCEL_TEXT"}));
    EXPECT_EQ(accessorNames(33, 35), (QStringList{"UPLOADING_X_OF_Y", "kSideMenuCellName_cloud"}));
    EXPECT_EQ(accessorNames(216, 218), (QStringList{"IT_LOOKS_LIKE_YOU_HAVE_NO_INTERNET", "THE_WORD_BY"}));
    EXPECT_EQ(accessorNames(415, 417), (QStringList{"WOULD_YOU_LIKE_TO_MAKE_ACCOUNT", "EDIT_TEXT"}));

    QSet<QString> names;
    for (const UFMEntry& entry : entries)
        names.insert(QString::fromLatin1(entry.accessorName));
    EXPECT_EQ(names.size(), qsizetype(entries.size()));
}

TEST_F(UFMTest, EntryKindsOfEachRunAreAsDeclared)
{
    // Per run: key with its own comment, empty comment, key as comment, no comment, alias.
    struct Kinds {
        int comment = 0, empty = 0, keyAsComment = 0, none = 0, alias = 0;
        bool operator==(const Kinds&) const = default;
    };
    auto count = [](size_t from, size_t to) {
        Kinds k;
        for (size_t i = from; i < to; ++i) {
            const UFMEntry& e = UFM::entries()[i];
            if (e.aliasOf)
                ++k.alias;
            else if (!e.comment)
                ++k.none;
            else if (QByteArray(e.comment).isEmpty())
                ++k.empty;
            else if (QByteArray(e.comment) == e.key)
                ++k.keyAsComment;
            else
                ++k.comment;
        }
        return k;
    };
    EXPECT_TRUE((count(0, 34) == Kinds{34, 0, 0, 0, 0}));
    EXPECT_TRUE((count(34, 217) == Kinds{163, 15, 3, 1, 1}));
    EXPECT_TRUE((count(217, 416) == Kinds{161, 30, 8, 0, 0}));
}

TEST_F(UFMTest, EveryEntryHasAnEnglishTextOfItsOwn)
{
    prefer({"en"});
    for (const UFMEntry& entry : UFM::entries()) {
        const QString text = entry.text();
        EXPECT_FALSE(text.isEmpty()) << entry.accessorName;
        if (entry.key) {
            EXPECT_NE(text, QString::fromLatin1(entry.key)) << entry.accessorName;
        }
    }
    EXPECT_EQ(UFM::CONFIRM_PASSWORD_TEXT(), "Confirm Password");
    EXPECT_NE(UFM::TESSARINE_IS_DESIGNED(), "Screen_1_Main");
    EXPECT_NE(UFM::CREATIVECLOUD_FILE_TOO_LARGE_TO_LOAD_TEXT(), "FILE_TOO_LARGE_TO_LOAD_TEXT");
    EXPECT_NE(UFM::SIGN_OUT_NOW_TEXT(), "SIGN_OUT_NOW");
    EXPECT_EQ(UFM::EMAIL_LINK(), UFM::WEB_LINK());
    EXPECT_FALSE(UFM::SAYS_CLICK_TO_EDIT_TEXT().isEmpty());
}

TEST_F(UFMTest, FormatTextsCarryThePlaceholdersTheirCallersFill)
{
    prefer({"en"});
    for (const QString& twoArguments :
         {UFM::COMPRESSING_VIDEO_X_OF_Y(), UFM::UPLOADING_X_OF_Y(), UFM::SAYS_X_REMAINING_OF_Y(),
          UFM::JUST_CREATED_SOMETHING_AT_SOMEWHERE_ON_TESSARINE(),
          UFM::JUST_FOUND_SOMETHING_AT_SOMEWHERE_ON_TESSARINE(),
          UFM::JUST_CREATED_SOMETHING_AT_SOMEWHERE_ON_TESSARINE_EMAIL(),
          UFM::JUST_FOUND_SOMETHING_AT_SOMEWHERE_ON_TESSARINE_EMAIL()}) {
        EXPECT_TRUE(twoArguments.contains("%1") && twoArguments.contains("%2")) << twoArguments.toStdString();
        EXPECT_LT(twoArguments.indexOf("%1"), twoArguments.indexOf("%2")) << twoArguments.toStdString();
    }
    for (const QString& oneArgument :
         {UFM::POSTING_TESSARINE_TO_SOMEWHERE(), UFM::VIDEO_COMPRESSION_ERROR_TEXT(),
          UFM::TESSARINE_WITH_STRINGID_NOT_FOUND(), UFM::THERE_WERE_CONFLICTING_CHANGES_TEXT()}) {
        EXPECT_TRUE(oneArgument.contains("%1") && !oneArgument.contains("%2")) << oneArgument.toStdString();
    }
    EXPECT_EQ(UFM::UPLOADING_X_OF_Y().arg(1).arg(5), "Uploading 1 of 5");
}

TEST_F(UFMTest, GermanFirstFallsBackToEnglishForMissingAndUntranslatedKeys)
{
    prefer({"en"});
    const QString englishSettings = UFM::kSideMenuCellName_settings();
    const QString englishConfirm = UFM::CONFIRM_PASSWORD_TEXT();
    const QString englishTour = UFM::TESSARINE_IS_DESIGNED();
    const QString englishBack = UFM::BACK_TEXT();

    prefer({"de-DE", "en-US"});
    EXPECT_EQ(StringTables::defaultTableLanguage(), "de");
    EXPECT_EQ(UFM::kSideMenuCellName_settings(), englishSettings); // translation equal to its key
    EXPECT_EQ(UFM::PRIVATE_TEXT(), "Privat");
    EXPECT_EQ(UFM::BACK_TEXT(), englishBack);                // missing from German
    EXPECT_EQ(UFM::CONFIRM_PASSWORD_TEXT(), englishConfirm); // German holds the accessor name, not the key
    EXPECT_EQ(UFM::TESSARINE_IS_DESIGNED(), englishTour);    // keys are case-sensitive
    EXPECT_EQ(UFM::EMAIL_LINK(), "Verknüpfung");
    EXPECT_EQ(UFM::WEB_LINK(), "Verknüpfung");
    EXPECT_EQ(UFM::kSideMenuCellName_sign_out(), UFM::LOGOUT_TEXT());
    EXPECT_EQ(UFM::LOGOUT_TEXT(), "Abmelden");
    EXPECT_EQ(UFM::UPLOADING_X_OF_Y().arg(2).arg(3), "Lade 2 von 3 hoch");

    EXPECT_EQ(LocalizedStringWithEnglishFallback("NOT_A_KEY_ANYWHERE", "comment"), "NOT_A_KEY_ANYWHERE");
    EXPECT_EQ(LocalizedStringWithEnglishFallback("ONLY_IN_GERMAN"), "Nur deutsch");
    EXPECT_EQ(LocalizedStringWithEnglishFallback("PRIVATE", "a comment never changes the result"), "Privat");
}

TEST_F(UFMTest, PreferredLanguagesChooseTheTableLikeTheSystemDoes)
{
    prefer({"en-US"});
    EXPECT_EQ(StringTables::defaultTableLanguage(), "en");
    EXPECT_EQ(UFM::PRIVATE_TEXT(), "Private");
    EXPECT_EQ(LocalizedStringWithEnglishFallback("ONLY_IN_GERMAN"), "ONLY_IN_GERMAN");

    // A language without a table gives way to the next preferred one.
    prefer({"fr-FR", "de"});
    EXPECT_EQ(StringTables::defaultTableLanguage(), "de");
    EXPECT_EQ(UFM::PRIVATE_TEXT(), "Privat");

    prefer({"pt-BR"});
    EXPECT_EQ(StringTables::defaultTableLanguage(), "en");
    EXPECT_EQ(UFM::PRIVATE_TEXT(), "Private");

    // Every call looks again: a change of language shows at the next call.
    prefer({"de"});
    EXPECT_EQ(UFM::PRIVATE_TEXT(), "Privat");
    prefer({"en"});
    EXPECT_EQ(UFM::PRIVATE_TEXT(), "Private");
}

TEST_F(UFMTest, SystemLanguagesAreUsedWithoutAnOverride)
{
    StringTables::setPreferredLanguagesForTesting({});
    EXPECT_EQ(StringTables::preferredLanguages(), QLocale::system().uiLanguages());
    EXPECT_FALSE(UFM::OK_TEXT().isEmpty());
}
