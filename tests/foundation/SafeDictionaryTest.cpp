#include <gtest/gtest.h>

#include <QJsonDocument>

#include "foundation/SafeDictionary.h"
#include "support/QtPrinters.h"

namespace {

QJsonObject parse(const char* json)
{
    return QJsonDocument::fromJson(QByteArray(json)).object();
}

const char* kSample = R"({"a": "x", "n": 5, "d": {"k": "v"}, "arr": [1], "nul": null})";

} // namespace

TEST(SafeDictionary, StringForKeyGivesTextsAndNumberDescriptionsAndEmptyForEverythingElse)
{
    const SafeDictionary dict(parse(kSample));
    EXPECT_EQ(dict.stringForKey("a"), "x");
    EXPECT_EQ(dict.stringForKey("n"), "5");
    EXPECT_EQ(dict.stringForKey("nul"), "");
    EXPECT_EQ(dict.stringForKey("missing"), "");
    EXPECT_EQ(dict.stringForKey("d"), "");
    EXPECT_EQ(dict.stringForKey("arr"), "");
}

TEST(SafeDictionary, NumberDescriptionsAreWholeWithoutDecimalsAndShortestOtherwise)
{
    const SafeDictionary dict(parse(R"({"big": 2048000, "half": 2.5, "third": 0.1, "yes": true, "no": false,
                                         "neg": -3, "huge": 9007199254740993})"));
    EXPECT_EQ(dict.stringForKey("big"), "2048000");
    EXPECT_EQ(dict.stringForKey("half"), "2.5");
    EXPECT_EQ(dict.stringForKey("third"), "0.1");
    EXPECT_EQ(dict.stringForKey("yes"), "1");
    EXPECT_EQ(dict.stringForKey("no"), "0");
    EXPECT_EQ(dict.stringForKey("neg"), "-3");
    EXPECT_EQ(dict.integerForKey("huge"), Q_INT64_C(9007199254740993));
}

TEST(SafeDictionary, NestedDictionariesAndArrays)
{
    const SafeDictionary dict(parse(kSample));

    const auto inner = dict.safeDictionaryForKey("d");
    ASSERT_TRUE(inner.has_value());
    EXPECT_EQ(inner->stringForKey("k"), "v");
    EXPECT_FALSE(dict.safeDictionaryForKey("arr").has_value());
    EXPECT_FALSE(dict.safeDictionaryForKey("nul").has_value());
    EXPECT_FALSE(dict.safeDictionaryForKey("a").has_value());

    // A dictionary where an array is expected reads as a one-element array.
    const auto wrapped = dict.safeArrayForKey("d");
    ASSERT_TRUE(wrapped.has_value());
    EXPECT_EQ(wrapped->count(), 1);
    EXPECT_EQ(wrapped->safeDictionaryAtIndex(0)->stringForKey("k"), "v");

    const auto arr = dict.safeArrayForKey("arr");
    ASSERT_TRUE(arr.has_value());
    EXPECT_EQ(arr->count(), 1);
    EXPECT_EQ(arr->stringAtIndex(0), "1");

    EXPECT_FALSE(dict.safeArrayForKey("a").has_value());
    EXPECT_FALSE(dict.safeArrayForKey("nul").has_value());
    EXPECT_FALSE(dict.safeArrayForKey("missing").has_value());
}

TEST(SafeDictionary, NonDictionaryArgumentsGiveAnEmptyWrapper)
{
    for (const QJsonValue& value : {QJsonValue(), QJsonValue(QJsonValue::Undefined), QJsonValue(3), QJsonValue("text"),
                                    QJsonValue(QJsonArray{1, 2}), QJsonValue(true)}) {
        const SafeDictionary dict = SafeDictionary::safeDictionaryWithDictionary(value);
        EXPECT_TRUE(dict.isEmpty());
        EXPECT_EQ(dict.stringForKey("a"), "");
    }
    EXPECT_TRUE(SafeDictionary::fromVariant(QVariant(42)).isEmpty());
    EXPECT_EQ(SafeDictionary::fromVariant(QVariantMap{{"k", "v"}}).stringForKey("k"), "v");
}

TEST(SafeDictionary, BooleansAcceptTheDocumentTextsAndFallBackOnAnythingElse)
{
    const SafeDictionary dict(parse(R"({"y": "YES", "n": "NO", "t": true, "f": false, "one": 1, "zero": 0,
                                         "lower": "yes", "junk": "maybe", "nul": null, "obj": {}})"));
    EXPECT_TRUE(dict.boolForKey("y"));
    EXPECT_FALSE(dict.boolForKey("n", true));
    EXPECT_TRUE(dict.boolForKey("t"));
    EXPECT_FALSE(dict.boolForKey("f", true));
    EXPECT_TRUE(dict.boolForKey("one"));
    EXPECT_FALSE(dict.boolForKey("zero", true));
    EXPECT_TRUE(dict.boolForKey("lower"));
    EXPECT_TRUE(dict.boolForKey("junk", true));
    EXPECT_FALSE(dict.boolForKey("junk", false));
    EXPECT_TRUE(dict.boolForKey("nul", true));
    EXPECT_TRUE(dict.boolForKey("obj", true));
    EXPECT_FALSE(dict.boolForKey("missing"));
}

TEST(SafeDictionary, NumbersReadFromNumbersAndNumericTextsOnly)
{
    const SafeDictionary dict(parse(R"({"w": "120.5", "i": 7, "s": " 42 ", "bad": "12px", "arr": [1]})"));
    EXPECT_DOUBLE_EQ(dict.doubleForKey("w"), 120.5);
    EXPECT_EQ(dict.integerForKey("i"), 7);
    EXPECT_EQ(dict.integerForKey("s"), 42);
    EXPECT_EQ(dict.integerForKey("bad", -1), -1);
    EXPECT_DOUBLE_EQ(dict.doubleForKey("arr", 9.0), 9.0);
    EXPECT_DOUBLE_EQ(dict.doubleForKey("missing", 3.0), 3.0);
}

TEST(SafeDictionary, SetObjectIgnoresUndefinedAndLeavesTheSourceAlone)
{
    QJsonObject source = parse(kSample);
    SafeDictionary dict(source);
    dict.setObject(QJsonValue(QJsonValue::Undefined), "a");
    EXPECT_EQ(dict.stringForKey("a"), "x");
    dict.setObject("y", "a");
    dict.mutableDictionary().insert("z", 1);
    EXPECT_EQ(dict.stringForKey("a"), "y");
    EXPECT_EQ(dict.stringForKey("z"), "1");
    EXPECT_EQ(source.value("a").toString(), "x");
    EXPECT_FALSE(source.contains("z"));
}

TEST(SafeArray, OutOfRangeAndWrongKindsGiveEmptyAnswers)
{
    const SafeArray array = SafeArray::safeArrayWithArray(QJsonArray{"a", 2, QJsonValue(), QJsonObject{{"k", "v"}}});
    EXPECT_EQ(array.count(), 4);
    EXPECT_EQ(array.stringAtIndex(0), "a");
    EXPECT_EQ(array.stringAtIndex(1), "2");
    EXPECT_EQ(array.stringAtIndex(2), "");
    EXPECT_EQ(array.stringAtIndex(3), "");
    EXPECT_EQ(array.stringAtIndex(-1), "");
    EXPECT_EQ(array.stringAtIndex(4), "");
    EXPECT_FALSE(array.safeDictionaryAtIndex(0).has_value());
    EXPECT_FALSE(array.safeDictionaryAtIndex(99).has_value());
    EXPECT_EQ(array.safeDictionaryAtIndex(3)->stringForKey("k"), "v");

    EXPECT_EQ(SafeArray::safeArrayWithArray(QJsonValue("not an array")).count(), 0);
    EXPECT_EQ(SafeArray::safeArrayWithArray(QJsonValue(QJsonObject{{"k", 1}})).count(), 0);
}
