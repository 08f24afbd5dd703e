#include <gtest/gtest.h>

#include <vector>

#include <QStringList>

#include "app/QVRURLSchemeHandler.h"

namespace {

using Kind = QVROpenRequestCue::Kind;

class URLScheme : public ::testing::Test {
protected:
    void SetUp() override
    {
        QVRURLSchemeHandler::setOpenRequestStarter([this](const QVROpenRequestCue& cue) { started.push_back(cue); });
    }
    void TearDown() override { QVRURLSchemeHandler::setOpenRequestStarter({}); }
    std::vector<QVROpenRequestCue> started;
};

TEST_F(URLScheme, EachCommandStartsTheOpenRequestItAsksFor)
{
    EXPECT_TRUE(QVRURLSchemeHandler::handleURLEvent(QStringLiteral("tessarine://loadbystringid/abc123")));
    EXPECT_TRUE(QVRURLSchemeHandler::handleURLEvent(QStringLiteral("Quorvanta://playbystringid/abc")));
    EXPECT_TRUE(QVRURLSchemeHandler::handleURLEvent(QStringLiteral("quorvanta://startnewtessarine")));
    EXPECT_TRUE(QVRURLSchemeHandler::handleURLEvent(QStringLiteral("tessarine://loadbyid/4711")));
    const std::vector<QVROpenRequestCue> expected{
        {Kind::StringID, QStringLiteral("abc123"), 8},
        {Kind::StringID, QStringLiteral("abc"), 137},
        {Kind::Null, QString(), 0},
        {Kind::ServerID, QStringLiteral("4711"), 0},
    };
    EXPECT_EQ(started, expected);
}

TEST_F(URLScheme, AcceptsCommandCaseQueryFormTrailingSlashAndPercentEncoding)
{
    const QVROpenRequestCue cue{Kind::StringID, QStringLiteral("abc-1_2"), 8};
    for (const char* link : {"tessarine://LoadByStringID/abc-1_2", "tessarine://loadbystringid?id=abc-1_2",
                             "tessarine://loadbystringid/?id=abc-1_2", "tessarine://loadbystringid/abc-1_2/",
                             "quorvanta://loadbystringid/abc%2D1_2"}) {
        const auto parsed = QVRURLSchemeHandler::cueForLink(QString::fromLatin1(link));
        ASSERT_TRUE(parsed.has_value()) << link;
        EXPECT_EQ(*parsed, cue) << link;
    }
}

TEST_F(URLScheme, BadLinksAreIgnoredAndOpenNothing)
{
    const QString overlong = QStringLiteral("tessarine://loadbystringid/") +
                             QString(QVRURLSchemeHandler::kMaxArgumentLength + 1, QLatin1Char('a'));
    const QString hugeLink = QStringLiteral("tessarine://loadbystringid/") + QString(100000, QLatin1Char('a'));
    const QStringList bad{
        QStringLiteral("tessarine://bogus/x"),
        QStringLiteral("tessarine://loadbyid"),
        QStringLiteral("tessarine://loadbystringid/"),
        QStringLiteral("quorvanta://playbystringid"),
        overlong,
        hugeLink,
        QStringLiteral("http://loadbystringid/abc"),
        QStringLiteral("TESSARINE://loadbystringid/abc"),
        QStringLiteral("tessarine:loadbystringid/abc"),
        QStringLiteral("tessarine://loadbystringid/abc/def"),
        QStringLiteral("tessarine://loadbystringid/%2E%2E%2Fetc"),
        QStringLiteral("tessarine://loadbystringid/.."),
        QStringLiteral("tessarine://loadbystringid/abc%0Ad"),
        QStringLiteral("tessarine://loadbystringid/abc def"),
        QString(),
    };
    for (const QString& link : bad)
        EXPECT_FALSE(QVRURLSchemeHandler::handleURLEvent(link)) << link.left(80).toStdString();
    EXPECT_TRUE(started.empty());
}

TEST(URLSchemeWithoutOpenRequest, AValidLinkIsDroppedUntilTheOpenRequestRegisters)
{
    QVRURLSchemeHandler::setOpenRequestStarter({});
    EXPECT_FALSE(QVRURLSchemeHandler::hasOpenRequestStarter());
    EXPECT_FALSE(QVRURLSchemeHandler::handleURLEvent(QStringLiteral("tessarine://loadbystringid/abc123")));
}

} // namespace
