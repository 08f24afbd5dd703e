#include <gtest/gtest.h>

#include <QUrlQuery>

#include "library/share/ShareLinks.h"
#include "service/ExternalWebSites.h"
#include "service/QVROpenRequest.h"
#include "service/ServiceWebSite.h"
#include "support/QtPrinters.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

using namespace ShareLinks;

namespace {

class ShareLinksTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ExternalWebSites::setRoot(ExternalWebSites::Site::Facebook, QUrl("https://fb.example"));
        ExternalWebSites::setRoot(ExternalWebSites::Site::Twitter, QUrl("https://tw.example"));
        ExternalWebSites::setRoot(ExternalWebSites::Site::LinkedIn, QUrl("https://li.example"));
        ExternalWebSites::setRoot(ExternalWebSites::Site::Gmail, QUrl("https://gm.example"));
        ExternalWebSites::setFacebookAppID("TEST-APP");
        ServiceWebSite::setRoot(QUrl("https://maker.example"));
        QVROpenRequest::setShortLinkHost("short.example");
    }
    void TearDown() override
    {
        for (auto site : {ExternalWebSites::Site::Facebook, ExternalWebSites::Site::Twitter,
                          ExternalWebSites::Site::LinkedIn, ExternalWebSites::Site::Gmail})
            ExternalWebSites::setRoot(site, QUrl());
        ExternalWebSites::setFacebookAppID(QString());
        ServiceWebSite::setRoot(QUrl());
        QVROpenRequest::setShortLinkHost("tssr.in");
    }

    static Document idea(const QString& title = QStringLiteral("My Big Idea"), const QString& alias = {})
    {
        Document document;
        document.publishURL = QStringLiteral("pub.example/s/abc");
        document.title = title;
        document.alias = alias;
        return document;
    }

    static QString queryValue(const QUrl& url, const QString& key)
    {
        return QUrlQuery(url).queryItemValue(key, QUrl::FullyDecoded);
    }
};

} // namespace

TEST_F(ShareLinksTest, DocumentLinkShortLinkAndEveryChannelAddress)
{
    const Document document = idea();
    EXPECT_EQ(documentLink(document).value_or(""), "https://pub.example/s/abc/my-big-idea");
    EXPECT_FALSE(shortLink(document));
    EXPECT_EQ(addressFieldText(document), "pub.example/s/abc");

    EXPECT_EQ(
        shareURL(document, Channel::Facebook)->toString(QUrl::FullyEncoded),
        "https://fb.example/dialog/feed?app_id=TEST-APP&display=popup&link=pub.example%2Fs%2Fabc%2Fmy-big-idea%2Ff"
        "&redirect_uri=https%3A%2F%2Fmaker.example");

    const QUrl tweet = *shareURL(document, Channel::Twitter);
    EXPECT_TRUE(tweet.toString(QUrl::FullyEncoded).startsWith("https://tw.example/intent/tweet?text="));
    EXPECT_TRUE(queryValue(tweet, "text").contains("https://pub.example/s/abc/my-big-idea/t"));

    const QUrl linkedIn = *shareURL(document, Channel::LinkedIn);
    EXPECT_EQ(linkedIn.toString(QUrl::FullyEncoded),
              "https://li.example/shareArticle?summary=&title=&mini=true"
              "&url=https%3A%2F%2Fpub.example%2Fs%2Fabc%2Fmy-big-idea%2Fl&source=Tessarine");

    const QUrl gmail = *shareURL(document, Channel::Gmail);
    EXPECT_TRUE(gmail.toString(QUrl::FullyEncoded).startsWith("https://gm.example/mail/u/0/?view=cm&fs=1&tf=1&body="));
    EXPECT_TRUE(queryValue(gmail, "body").contains("https://pub.example/s/abc/my-big-idea/g"));

    const QUrl email = *shareURL(document, Channel::Email);
    EXPECT_EQ(email.scheme(), "mailto");
    EXPECT_TRUE(email.toString(QUrl::FullyEncoded).startsWith("mailto:?BODY="));
    EXPECT_TRUE(queryValue(email, "BODY").contains("https://pub.example/s/abc/my-big-idea/e"));
    EXPECT_TRUE(queryValue(email, "BODY").contains("My Big Idea"));
}

TEST_F(ShareLinksTest, AnAliasPutsTheShortLinkInEveryChannel)
{
    const Document document = idea(QStringLiteral("My Big Idea"), QStringLiteral("xyz"));
    const QString shortAddress = QStringLiteral("http://short.example/xyz");
    EXPECT_EQ(shortLink(document).value_or(""), shortAddress);
    EXPECT_EQ(addressFieldText(document), shortAddress);
    EXPECT_EQ(queryValue(*shareURL(document, Channel::Twitter), "text"), shortAddress);
    EXPECT_EQ(queryValue(*shareURL(document, Channel::LinkedIn), "url"), shortAddress);
    EXPECT_TRUE(queryValue(*shareURL(document, Channel::Gmail), "body").contains(shortAddress));
    EXPECT_FALSE(queryValue(*shareURL(document, Channel::Gmail), "body").contains("/g"));
    EXPECT_TRUE(queryValue(*shareURL(document, Channel::Email), "BODY").contains(shortAddress));
    EXPECT_EQ(queryValue(*shareURL(document, Channel::Facebook), "link"), shortAddress + "/f");
}

TEST_F(ShareLinksTest, TitlesAreCutAfterFiftyTwoUnitsWithoutSplittingASurrogatePair)
{
    const QString whole(52, u'a');
    EXPECT_EQ(cutTitle(whole), whole);
    EXPECT_EQ(cutTitle(QString(53, u'b')), QString(51, u'b') + QChar(0x2026));

    // An emoji whose high surrogate is the 51st unit goes whole into the cut.
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
    const QString title = QString(50, u'c') + emoji + QString(10, u'd');
    const QString cut = cutTitle(title);
    EXPECT_EQ(cut, QString(50, u'c') + QChar(0x2026));
    EXPECT_FALSE(cut.toUtf8().contains("\xEF\xBF\xBD"));

    const Document longTitle = idea(QString(10000, u'x'));
    const QString text = queryValue(*shareURL(longTitle, Channel::Twitter), "text");
    EXPECT_TRUE(text.contains(QChar(0x201C) + QString(51, u'x') + QChar(0x2026) + QChar(0x201D)));
}

// A title's "&", "#" and "?" are encoded like every other character: they can neither cut the shared text nor
// add fields of their own.
TEST_F(ShareLinksTest, EveryQueryValueIsFullyEncoded)
{
    const Document document = idea(QStringLiteral("Q&A #1? ü"));
    const QString encodedTitle = QStringLiteral("Q%26A%20%231%3F%20%C3%BC");
    for (Channel channel : {Channel::Facebook, Channel::Twitter, Channel::LinkedIn, Channel::Gmail, Channel::Email}) {
        const QString address = shareURL(document, channel)->toString(QUrl::FullyEncoded);
        EXPECT_EQ(address.count(u'?'), 1) << address.toStdString();
        EXPECT_FALSE(address.contains(u'#')) << address.toStdString();
        EXPECT_FALSE(address.contains(u' ')) << address.toStdString();
    }
    EXPECT_TRUE(shareURL(document, Channel::Email)->toString(QUrl::FullyEncoded).contains(encodedTitle));
    EXPECT_TRUE(shareURL(document, Channel::Twitter)->toString(QUrl::FullyEncoded).contains(encodedTitle));
    EXPECT_TRUE(shareURL(document, Channel::Gmail)->toString(QUrl::FullyEncoded).contains(encodedTitle));
    EXPECT_EQ(QUrlQuery(*shareURL(document, Channel::Email)).queryItems().size(), 1);
    EXPECT_EQ(QUrlQuery(*shareURL(document, Channel::Twitter)).queryItems().size(), 1);

    // A "%1" in a title is the title's own text, never a place for the link.
    const QString text = queryValue(*shareURL(idea(QStringLiteral("100%1 %2")), Channel::Twitter), "text");
    EXPECT_TRUE(text.contains("100%1 %2")) << text.toStdString();
}

TEST_F(ShareLinksTest, OddTitlesAndDocumentsWithoutAnAddress)
{
    // Nothing to show in the address: no empty path segment before the channel.
    for (const QString& title : {QString(), QStringLiteral("😀😀"), QStringLiteral("שלום עולם")}) {
        const Document document = idea(title);
        EXPECT_EQ(documentLink(document).value_or(""), "https://pub.example/s/abc") << title.toStdString();
        const QUrl email = *shareURL(document, Channel::Email);
        EXPECT_TRUE(email.isValid());
        EXPECT_FALSE(queryValue(email, "BODY").contains("//e"));
        EXPECT_FALSE(queryValue(*shareURL(document, Channel::Facebook), "link").contains("//f"));
    }

    Document unpublished = idea();
    unpublished.publishURL.reset();
    EXPECT_EQ(addressFieldText(unpublished), "");
    EXPECT_FALSE(documentLink(unpublished));
    unpublished.alias = QStringLiteral("xyz");
    EXPECT_EQ(addressFieldText(unpublished), "");
    for (Channel channel : {Channel::Facebook, Channel::Twitter, Channel::LinkedIn, Channel::Gmail, Channel::Email})
        EXPECT_FALSE(shareURL(unpublished, channel));
}

TEST_F(ShareLinksTest, DocumentFromTheModel)
{
    const QString previousHost = ZERI_TessarineModel::publishWebHost();
    ZERI_TessarineModel::setPublishWebHost("pub.example");
    auto model = ZERI_TessarineModel::create();
    model->firstFlowmodel()->setTitle("My Big Idea");
    model->setStringID("abc");
    const Document document = Document::fromModel(*model);
    ZERI_TessarineModel::setPublishWebHost(previousHost);
    EXPECT_EQ(documentLink(document).value_or(""), "https://pub.example/s/abc/my-big-idea");
    EXPECT_FALSE(document.ownedByCurrentUser); // no package, no owner
}

TEST(ExternalWebSitesTest, RootsFromTheEnvironmentAndSettersAcceptOnlyHttpsOrThisMachine)
{
    using Site = ExternalWebSites::Site;
    EXPECT_EQ(ExternalWebSites::rootString(Site::Twitter), "https://twitter.com");
    EXPECT_EQ(ExternalWebSites::facebookAppID(), "718293046152837");

    qputenv("TESS_TWITTER_URL", "http://127.0.0.1:8123/some/path?q=1");
    EXPECT_EQ(ExternalWebSites::rootString(Site::Twitter), "http://127.0.0.1:8123");
    qputenv("TESS_TWITTER_URL", "http://tw.example");
    EXPECT_EQ(ExternalWebSites::rootString(Site::Twitter), "https://twitter.com");
    qunsetenv("TESS_TWITTER_URL");
    qputenv("TESS_FACEBOOK_APP_ID", "ENV-APP");
    EXPECT_EQ(ExternalWebSites::facebookAppID(), "ENV-APP");
    qunsetenv("TESS_FACEBOOK_APP_ID");

    EXPECT_FALSE(ExternalWebSites::setRoot(Site::Gmail, QUrl("http://gm.example")));
    EXPECT_FALSE(ExternalWebSites::setRoot(Site::Gmail, QUrl("ftp://gm.example")));
    EXPECT_EQ(ExternalWebSites::rootString(Site::Gmail), "https://mail.google.com");
    EXPECT_TRUE(ExternalWebSites::setRoot(Site::Gmail, QUrl("http://localhost:9000/")));
    EXPECT_EQ(ExternalWebSites::rootString(Site::Gmail), "http://localhost:9000");
    ExternalWebSites::setRoot(Site::Gmail, QUrl());

    EXPECT_EQ(ServiceWebSite::rootString(), "https://www.tessarine.com");
    EXPECT_FALSE(ServiceWebSite::setRoot(QUrl("http://maker.example")));
    qputenv("TESS_WEB_SITE_URL", "https://maker.example/");
    EXPECT_EQ(ServiceWebSite::rootString(), "https://maker.example");
    qunsetenv("TESS_WEB_SITE_URL");
}
