#include <limits>

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QTimeZone>

#include "support/QtPrinters.h"
#include "tessarine_data_model/QVR_TextStorage.h"
#include "tessarine_data_model/TessarineDateFormatter.h"
#include "tessarine_data_model/ZERI_AppDataModelCenter.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"

using namespace Qt::StringLiterals;

TEST(AppDataModelCenter, ColourTextsInEveryAcceptedForm)
{
    EXPECT_EQ(ZERI_AppDataModelCenter::rgbaHexStringFromColor(QColor(0x1F, 0x70, 0xA8, 0x80)), "1F70A880");
    EXPECT_EQ(ZERI_AppDataModelCenter::rgbHexStringFromColor(QColor(0x1F, 0x70, 0xA8)), "1F70A8");
    EXPECT_EQ(ZERI_AppDataModelCenter::rgbaHexStringFromColor(QColor()), "00000000");
    EXPECT_EQ(ZERI_AppDataModelCenter::colorFromRGBHexString("0xe6e6e6"), QColor(0xE6, 0xE6, 0xE6));
    EXPECT_EQ(ZERI_AppDataModelCenter::colorFromRGBAHexString("#1F70A880"), QColor(0x1F, 0x70, 0xA8, 0x80));
    EXPECT_EQ(ZERI_AppDataModelCenter::colorFromRGBAHexString("0xffffffff"), QColor(255, 255, 255, 255));
    EXPECT_EQ(ZERI_AppDataModelCenter::colorFromRGBAHexString("e6e6e6"), QColor(0xE6, 0xE6, 0xE6, 0xFF));
    for (const char* bad : {"", "#", "0x", "12345", "GGGGGG", "+1+2+3", "1F70A8801", " 1 2 3 "})
        EXPECT_FALSE(ZERI_AppDataModelCenter::colorFromRGBAHexString(bad)) << bad;
    EXPECT_FALSE(ZERI_AppDataModelCenter::colorFromRGBHexString("1F70A880"));
}

TEST(AppDataModelCenter, GeometryIsWrittenWithOneDecimalAndReadFromNumbersOrTexts)
{
    EXPECT_EQ(ZERI_AppDataModelCenter::jsonFromRect(QRectF(-0.04, 1.26, 1024, 748)),
              QJsonObject({{"x", "0.0"}, {"y", "1.3"}, {"width", "1024.0"}, {"height", "748.0"}}));
    EXPECT_EQ(ZERI_AppDataModelCenter::rectFromJson(QJsonObject{{"x", 1}, {"y", "2"}, {"width", 3.5}, {"height", "4"}}),
              QRectF(1, 2, 3.5, 4));
    EXPECT_FALSE(ZERI_AppDataModelCenter::rectFromJson(QJsonObject{{"x", 1}, {"y", 2}, {"width", 3}}));
    EXPECT_FALSE(ZERI_AppDataModelCenter::sizeFromJson(QJsonObject{{"width", "wide"}, {"height", 1}}));
    EXPECT_FALSE(ZERI_AppDataModelCenter::numberFromJson(QJsonValue("nan")));
    EXPECT_FALSE(ZERI_AppDataModelCenter::numberFromJson(QJsonValue("inf")));
}

// Whatever the reader takes, the writer writes so that it reads back: "%.1f" where that is short, the shortest
// exact form past it (the reader takes no number text of 64 characters or more).
TEST(AppDataModelCenter, EveryNumberTheReaderTakesIsWrittenSoThatItReadsBack)
{
    for (const double value : {1e300, -1e300, 1e61, -2.5e15, 1e15, std::numeric_limits<double>::max(),
                               -std::numeric_limits<double>::max()}) {
        const QString text = ZERI_AppDataModelCenter::oneDecimalText(value);
        SCOPED_TRACE(text.toStdString());
        EXPECT_LT(text.size(), 64);
        EXPECT_EQ(ZERI_AppDataModelCenter::numberFromJson(text), value);
    }
    for (const double value : {0.04, -0.04, 1.26, 748.0, 999999999999999.9, -123456.75}) {
        const QString text = ZERI_AppDataModelCenter::oneDecimalText(value);
        const auto read = ZERI_AppDataModelCenter::numberFromJson(text);
        ASSERT_TRUE(read) << text.toStdString();
        EXPECT_EQ(ZERI_AppDataModelCenter::oneDecimalText(*read), text);
    }
    EXPECT_EQ(ZERI_AppDataModelCenter::oneDecimalText(1024), QStringLiteral("1024.0"));
}

TEST(TessarineDateFormatter, WritesTheUnicodePatternAndReadsItBack)
{
    auto& formatter = TessarineDateFormatter::sharedFormatter();
    const QDateTime moment(QDate(2026, 12, 6), QTime(18, 7, 32), QTimeZone::utc());
    const QString text = formatter.stringFromDate(moment);
    const QDateTime local = moment.toLocalTime();
    EXPECT_TRUE(text.startsWith(QStringLiteral("December %1, 2026, ").arg(local.date().day()))) << text.toStdString();
    EXPECT_TRUE(text.contains(local.time().hour() < 12 ? " AM " : " PM ")) << text.toStdString();
    EXPECT_EQ(formatter.dateFromString(text), moment);

    EXPECT_EQ(formatter.dateFromString("December 6, 2026, 06:07:32 PM GMT"), moment);
    EXPECT_EQ(formatter.dateFromString("December 6, 2026, 12:07:32 PM CST"), moment);
    EXPECT_EQ(formatter.dateFromString("December 6, 2026, 07:07:32 PM GMT+1"), moment);
    EXPECT_EQ(formatter.dateFromString("December 6, 2026, 11:37:32 PM +0530"), moment);
    EXPECT_EQ(formatter.dateFromString("December 7, 2026, 12:07:32 AM UTC+06:00"), moment);
    EXPECT_EQ(formatter.dateFromString("december 6, 2026, 07:07:32 pm Europe/Paris"), moment);
    EXPECT_EQ(formatter.dateFromString("January 1, 2026, 12:00:00 AM UTC")->time(), QTime(0, 0));
    for (const char* bad : {"", "yesterday", "Smarch 6, 2026, 06:07:32 PM UTC", "December 32, 2026, 06:07:32 PM UTC",
                            "December 6, 2026, 13:07:32 PM UTC", "December 6, 2026, 06:07:32 PM XYZT"})
        EXPECT_FALSE(formatter.dateFromString(bad)) << bad;
}

TEST(AttributedText, EditsKeepRunsContiguousAndInheritAttributes)
{
    const TextAttributes bold{"HelveticaNeue-Bold", 40, QColor(Qt::black), TextAttributes::Left};
    const TextAttributes light{"HelveticaNeue-Light", 20, QColor(), TextAttributes::Center};
    AttributedText string("Hello world", bold);
    string.setAttributes(light, {6, 5});
    TextRange range;
    EXPECT_EQ(string.attributesAtIndex(7, &range), light);
    EXPECT_EQ(range, (TextRange{6, 5}));
    EXPECT_FALSE(string.attributesAtIndex(11));

    string.replaceCharacters({5, 0}, ",");     // inherits from the character before
    string.replaceCharacters({7, 5}, "there"); // replaces "world", inherits its first character's attributes
    EXPECT_EQ(string.string(), "Hello, there");
    EXPECT_EQ(string.attributesAtIndex(5), bold);
    EXPECT_EQ(string.attributesAtIndex(8, &range), light);
    EXPECT_EQ(range, (TextRange{7, 5}));
    string.replaceCharacters({0, 100}, "");
    EXPECT_TRUE(string.runs().empty());

    AttributedText twoRuns("ab", bold);
    twoRuns.setAttributes(light, {1, 1});
    twoRuns.setAttributes(bold, {1, 1});
    EXPECT_EQ(twoRuns, AttributedText("ab", bold)) << "equal attributes merge";

    const auto back = AttributedText::fromJson(string.jsonObject());
    ASSERT_TRUE(back);
    AttributedText rich("Hello world", bold);
    rich.setAttributes(light, {6, 5});
    EXPECT_EQ(AttributedText::fromJson(rich.jsonObject()), rich);
}

TEST(AttributedText, RangesAndAlignmentsOfAnyMagnitudeAreCheckedWithoutOverflow)
{
    const auto read = [](const QString& range, const QJsonValue& alignment = 0) {
        QJsonObject run{{"Name", "Helvetica"}, {"Size", "20"}, {"Range", range}, {"alignment", alignment}};
        return AttributedText::fromJson(QJsonObject{{"string", "abcdef"}, {"runs", QJsonArray{run}}});
    };
    // location + length would wrap to a negative number and pass a plain "end <= size" check.
    for (const char* range : {"{2, 9223372036854775807}", "{9223372036854775807, 1}", "{9223372036854775807, 0}",
                              "{1, 9223372036854775806}", "{7, 0}", "{0, 7}"}) {
        QString problem;
        const auto text = AttributedText::fromJson(
            QJsonObject{{"string", "abcdef"},
                        {"runs", QJsonArray{QJsonObject{{"Range", "{0, 1}"}}, QJsonObject{{"Range", range}}}}},
            &problem);
        EXPECT_FALSE(text) << range;
        EXPECT_FALSE(problem.isEmpty()) << range;
    }
    const auto whole = read("{0, 6}");
    ASSERT_TRUE(whole);
    ASSERT_EQ(whole->runs().size(), 1u);
    EXPECT_EQ(whole->runs().front().range, (TextRange{0, 6}));
    EXPECT_TRUE(read("{6, 0}"));

    // Alignments far outside the five clamp to the nearest end, as texts or as numbers.
    EXPECT_EQ(read("{0, 6}", 1e300)->runs().front().attributes.alignment, TextAttributes::Natural);
    EXPECT_EQ(read("{0, 6}", "1e300")->runs().front().attributes.alignment, TextAttributes::Natural);
    EXPECT_EQ(read("{0, 6}", -1e300)->runs().front().attributes.alignment, TextAttributes::Left);
    EXPECT_EQ(read("{0, 6}", 4294967298.0)->runs().front().attributes.alignment, TextAttributes::Natural);
    EXPECT_EQ(read("{0, 6}", 2)->runs().front().attributes.alignment, TextAttributes::Center);
}

TEST(QVR_TextStorage, ReportsEveryPrimitiveEditAndCallsItsBlocks)
{
    QVR_TextStorage storage;
    EXPECT_FALSE(storage.attributesAtIndex(0)) << "index equal to the length of an empty text";
    storage.beginEditing(); // no blocks set: no-ops
    storage.endEditing();

    struct Edit {
        int mask;
        TextRange range;
        qsizetype delta;
    };
    std::vector<Edit> edits;
    const int observer = storage.addLayoutObserver([&](int mask, TextRange range, qsizetype delta) {
        edits.push_back({mask, range, delta});
    });
    storage.setAttributedString(AttributedText("abcdefgh"));
    storage.replaceCharacters({2, 3}, "12345");
    ASSERT_EQ(edits.size(), 2u);
    EXPECT_EQ(edits[1].mask, QVR_TextStorage::EditedCharacters);
    EXPECT_EQ(edits[1].range, (TextRange{2, 3}));
    EXPECT_EQ(edits[1].delta, 2);
    storage.setAttributes(TextAttributes{"Courier", 12, QColor(), 0}, {0, 4});
    EXPECT_EQ(edits.back().mask, QVR_TextStorage::EditedAttributes);
    EXPECT_EQ(edits.back().delta, 0);
    storage.removeLayoutObserver(observer);

    AttributedText source("copy me");
    storage.setAttributedString(source);
    source.replaceCharacters({0, 4}, "moved");
    EXPECT_EQ(storage.string(), "copy me") << "the storage keeps its own copy";
    EXPECT_EQ(edits.size(), 3u);

    int willChange = 0;
    int didChange = 0;
    storage.setOnTextWillChange([&](QVR_TextStorage&) { ++willChange; });
    storage.setOnTextDidChange([&](QVR_TextStorage&) { ++didChange; });
    storage.beginEditing();
    EXPECT_EQ(willChange, 1);
    EXPECT_EQ(didChange, 0);
    storage.endEditing();
    EXPECT_EQ(didChange, 1);
}

TEST(MMObjectText, StorageIsBuiltFromThePlainTextAndItsEditsMarkTheObject)
{
    auto proxy = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Text);
    auto text = proxy->as<ZERI_MMObject_Text>();
    text->setText("Plain");
    text->setTextColor(QColor(1, 2, 3));
    EXPECT_FALSE(text->jsonDictionary().contains("attributedText"));

    QVR_TextStorage& storage = text->mutableAttributedString();
    EXPECT_EQ(storage.string(), "Plain");
    EXPECT_EQ(storage.attributesAtIndex(0)->fontName, "HelveticaNeue-Light");
    EXPECT_EQ(storage.attributesAtIndex(0)->fontSize, 40);
    EXPECT_EQ(storage.attributesAtIndex(0)->foregroundColor, QColor(1, 2, 3));

    const QJsonObject before = text->jsonDictionary();
    storage.beginEditing();
    storage.replaceCharacters({0, 5}, "Rich");
    storage.endEditing();
    EXPECT_NE(text->jsonDictionary(), before) << "the did-change block dropped the cached form";
    EXPECT_EQ(text->jsonDictionary()[u"attributedText"_s][u"string"_s], "Rich");

    EXPECT_EQ(text->textViewXPadding(), 8);
    EXPECT_EQ(text->textViewYPadding(), 8);
    storage.setAttributes({"Helvetica", 14, QColor(), 0}, {0, 4});
    EXPECT_EQ(text->textViewXPadding(), 10);
    EXPECT_EQ(text->textViewYPadding(), 6);

    // The storage a view holds outlives the object without calling back into it.
    const auto held = text->textStorage();
    text.reset();
    proxy.reset();
    held->beginEditing();
    held->endEditing();
}
