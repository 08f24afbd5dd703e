#include <gtest/gtest.h>

#include <QJsonArray>

#include "platform/Json.h"
#include "support/QtPrinters.h"

TEST(Json, WritesCompactTextWithSortedKeys)
{
    const QJsonObject object{{"b", "YES"}, {"a", QJsonObject{{"x", "1.0"}}}};
    EXPECT_EQ(Json::write(object), QByteArray(R"({"a":{"x":"1.0"},"b":"YES"})"));

    const QJsonObject theme{{"title", "T"}, {"isThemeTessarine", "YES"}, {"screens", QJsonArray{1, 2.5, true}}};
    const QByteArray text = Json::write(theme);
    EXPECT_EQ(text, QByteArray(R"({"isThemeTessarine":"YES","screens":[1,2.5,true],"title":"T"})"));
    EXPECT_EQ(Json::read(text), QJsonValue(theme));

    EXPECT_EQ(Json::write(QJsonValue("a\"b")), QByteArray(R"("a\"b")"));
    EXPECT_EQ(Json::write(QJsonValue(3)), QByteArray("3"));
    EXPECT_EQ(Json::write(QJsonValue()), QByteArray("null"));
}

TEST(Json, ReadsEveryKindOfValue)
{
    EXPECT_EQ(Json::read(" [1, {\"k\": null}] \n"), QJsonValue(QJsonArray{1, QJsonObject{{"k", QJsonValue()}}}));
    EXPECT_EQ(Json::read("true"), QJsonValue(true));
    EXPECT_EQ(Json::read(" \"a,b\" "), QJsonValue("a,b"));
    EXPECT_EQ(Json::read("-2.5e3"), QJsonValue(-2500.0));
    EXPECT_EQ(Json::readObject("{\"a\":1}"), QJsonObject({{"a", 1}}));
}

TEST(Json, MalformedInputIsAnErrorWithItsPosition)
{
    struct Case {
        QByteArray text;
        int line;
        int column;
    };
    const Case cases[] = {
        {"{\"a\": 1,, \"b\": 2}", 1, 9},        // doubled separator
        {"{\n  \"a\": 1,\n  \"b\" 2\n}", 3, 7}, // missing colon on line 3
        {"{\"a\": [1, 2}", 1, 12},              // unclosed array
        {"{\"a\": 1} x", 1, 10},                // trailing garbage
        {"\"a\", 2", 1, 4},                     // two values
        {"tru", 1, 1},
        {"", 1, 1},
        {"   ", 1, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        Error error;
        EXPECT_FALSE(Json::read(c.text, &error));
        EXPECT_EQ(error.domain, Json::errorDomain);
        EXPECT_EQ(error.code, Json::MalformedJson);
        EXPECT_EQ(error.userInfo.value("line").toInt(), c.line);
        EXPECT_NEAR(error.userInfo.value("column").toInt(), c.column, 1);
        EXPECT_TRUE(error.message.contains(QString("line %1").arg(c.line))) << error.message.toStdString();
    }
    EXPECT_FALSE(Json::read("{\"a\":")); // without an Error to fill

    Error error;
    EXPECT_FALSE(Json::readObject("[1]", &error));
    EXPECT_EQ(error.code, Json::NotAnObject);
}

TEST(Json, HostileInputIsRejectedWithoutCrashing)
{
    EXPECT_FALSE(Json::read(QByteArray(100000, '[')));
    EXPECT_FALSE(Json::read("{\"a\":\"\\u12\"}"));
    EXPECT_FALSE(Json::read("\xff\xfe{}"));
}
