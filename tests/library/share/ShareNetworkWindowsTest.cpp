#include <gtest/gtest.h>

#include <QApplication>
#include <QMutex>
#include <QPushButton>
#include <QTest>
#include <QUrlQuery>

#include "ShareTestSupport.h"
#include "library/share/QVRFacebookShareWindowController.h"
#include "library/share/QVRSharePostedTessarineWindowController.h"
#include "support/fakeservice/FakeHttp.h"

using ShareLinks::Channel;
using sharetest::ScopedShareEnvironment;

namespace {

// One web site on 127.0.0.1 that records every request. The feed dialog may send the browser on to `redirect`.
class FakeSite {
public:
    FakeSite()
        : m_server([this](const FakeHttpRequest& request) { return answer(request); })
    {
    }
    bool start() { return m_server.start(); }
    QUrl root() const { return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(m_server.port())); }
    void setFeedRedirect(const QByteArray& location)
    {
        QMutexLocker lock(&m_mutex);
        m_redirect = location;
    }
    QList<FakeHttpRequest> requests() const
    {
        QMutexLocker lock(&m_mutex);
        return m_requests;
    }
    std::optional<FakeHttpRequest> lastRequestFor(const QString& path) const
    {
        QMutexLocker lock(&m_mutex);
        for (qsizetype i = m_requests.size() - 1; i >= 0; --i) {
            if (m_requests.at(i).path == path)
                return m_requests.at(i);
        }
        return std::nullopt;
    }

private:
    FakeHttpReply answer(const FakeHttpRequest& request)
    {
        QMutexLocker lock(&m_mutex);
        m_requests.append(request);
        if (request.path == QLatin1String("/dialog/feed") && !m_redirect.isEmpty()) {
            FakeHttpReply reply = FakeHttpReply::html(302, "");
            reply.extraHeaders.append({"Location", m_redirect});
            return reply;
        }
        return FakeHttpReply::html(200, "<html><body>Share it</body></html>");
    }

    FakeHttpServer m_server;
    mutable QMutex m_mutex;
    QByteArray m_redirect;
    QList<FakeHttpRequest> m_requests;
};

// The four networks, each on a site of its own on this machine.
struct NetworkSites {
    FakeSite facebook, twitter, linkedIn, gmail;
    bool start()
    {
        using Site = ExternalWebSites::Site;
        return facebook.start() && twitter.start() && linkedIn.start() && gmail.start() &&
               ExternalWebSites::setRoot(Site::Facebook, facebook.root()) &&
               ExternalWebSites::setRoot(Site::Twitter, twitter.root()) &&
               ExternalWebSites::setRoot(Site::LinkedIn, linkedIn.root()) &&
               ExternalWebSites::setRoot(Site::Gmail, gmail.root());
    }
};

} // namespace

// Each network button logs its event and opens the network's share page in a window of its own that blocks the
// sheet until it is closed; the page is asked for with the document's link and channel letter, and nothing goes
// to the desktop's browser or to the service.
TEST(ShareNetworkWindows, EachNetworkButtonLoadsItsSharePageInAModalWindow)
{
    ScopedShareEnvironment environment;
    ASSERT_TRUE(environment.started());
    NetworkSites sites;
    ASSERT_TRUE(sites.start());
    auto* sheet = QVRSharePostedTessarineWindowController::showForDocument(ScopedShareEnvironment::publishedDocument(),
                                                                           nullptr, true);
    const QPointer<QVRSharePostedTessarineWindowController> guard(sheet);

    struct Case {
        Channel channel;
        QString type;
        FakeSite* site;
        QString path;
        QString key;
        QString expected; // the decoded query value
    };
    const QString link = QStringLiteral("https://pub.example/s/abc/my-big-idea");
    const QList<Case> cases{
        {Channel::Facebook, "Facebook", &sites.facebook, "/dialog/feed", "link", "pub.example/s/abc/my-big-idea/f"},
        {Channel::Twitter, "Twitter", &sites.twitter, "/intent/tweet", "text", link + "/t"},
        {Channel::LinkedIn, "LinkedIn", &sites.linkedIn, "/shareArticle", "url", link + "/l"},
        {Channel::Gmail, "Gmail", &sites.gmail, "/mail/u/0/", "body", link + "/g"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type.toStdString());
        const qsizetype eventsBefore = environment.events("Sharing Initiated").size();
        QTest::mouseClick(sheet->shareButton(c.channel), Qt::LeftButton);
        const QPointer<ShareNetworkWindowController> network(sheet->networkWindow());
        ASSERT_TRUE(network);
        EXPECT_EQ(network->tessarineModel(), sheet->tessarineModel());
        QWidget* window = network->window();
        EXPECT_EQ(window->windowTitle(), c.type);
        EXPECT_TRUE(window->isVisible());
        EXPECT_EQ(window->windowModality(), Qt::ApplicationModal);
        EXPECT_EQ(QApplication::activeModalWidget(), window);

        ASSERT_TRUE(QTest::qWaitFor([&] { return c.site->lastRequestFor(c.path).has_value(); }, 20000));
        const FakeHttpRequest request = *c.site->lastRequestFor(c.path);
        const QUrlQuery query(QString::fromLatin1(request.query));
        const QString value = query.queryItemValue(c.key, QUrl::FullyDecoded);
        EXPECT_TRUE(value == c.expected || value.contains(c.expected)) << value.toStdString();
        const auto events = environment.events("Sharing Initiated");
        ASSERT_EQ(events.size(), eventsBefore + 1);
        EXPECT_EQ(events.last().value("parameters").toObject().value("Type").toString(), c.type);

        // Another click while the window is open opens no second one.
        sheet->facebookButtonPressed();
        EXPECT_EQ(sheet->networkWindow(), network.data());

        window->close();
        ASSERT_TRUE(QTest::qWaitFor([&] { return network.isNull(); }, 5000));
        EXPECT_EQ(sheet->networkWindow(), nullptr);
        EXPECT_TRUE(sheet->isVisible());
    }
    const QUrlQuery linkedIn(QString::fromLatin1(sites.linkedIn.lastRequestFor("/shareArticle")->query));
    EXPECT_EQ(linkedIn.queryItemValue("source"), "Tessarine");
    EXPECT_EQ(linkedIn.queryItemValue("mini"), "true");
    EXPECT_TRUE(environment.opener.opened.isEmpty());
    EXPECT_EQ(environment.service.requestCount(), 0);

    sheet->close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return guard.isNull(); }, 2000));
}

// The feed dialog sends the browser to the service's web site when the user has posted (or given up): that
// request never loads, the window closes and the sheet is free again.
TEST(ShareNetworkWindows, TheFeedDialogsRedirectClosesItsWindowUnloaded)
{
    ScopedShareEnvironment environment;
    NetworkSites sites;
    ASSERT_TRUE(sites.start());
    FakeSite maker;
    ASSERT_TRUE(maker.start());
    ASSERT_TRUE(ServiceWebSite::setRoot(maker.root()));
    sites.facebook.setFeedRedirect(maker.root().toString().toUtf8() + "/?post_id=123#_=_");

    auto* sheet = QVRSharePostedTessarineWindowController::showForDocument(ScopedShareEnvironment::publishedDocument(),
                                                                           nullptr, true);
    QTest::mouseClick(sheet->shareButton(Channel::Facebook), Qt::LeftButton);
    const QPointer<ShareNetworkWindowController> network(sheet->networkWindow());
    ASSERT_TRUE(network);
    const QUrlQuery asked(network->url());
    EXPECT_EQ(asked.queryItemValue("redirect_uri", QUrl::FullyDecoded), maker.root().toString());

    ASSERT_TRUE(QTest::qWaitFor([&] { return network.isNull(); }, 20000));
    EXPECT_TRUE(sites.facebook.lastRequestFor("/dialog/feed").has_value());
    EXPECT_TRUE(maker.requests().isEmpty());
    EXPECT_NE(QApplication::activeModalWidget(), nullptr); // the sheet itself, no longer blocked
    EXPECT_TRUE(sheet->isVisible());
    delete sheet;
}

// Only the site's own address (the root or a path, query or fragment under it) is the redirect; a site whose
// address merely begins with the same characters, such as another port, loads as usual.
TEST(ShareNetworkWindows, OnlyTheSitesOwnAddressIsTheRedirect)
{
    ScopedShareEnvironment environment;
    ASSERT_TRUE(ServiceWebSite::setRoot(QUrl(QStringLiteral("http://127.0.0.1:1234"))));
    QVRFacebookShareWindowController facebook(ScopedShareEnvironment::publishedDocument());
    EXPECT_TRUE(facebook.webViewWillSendRequest(QUrl("http://127.0.0.1:12345/")));
    EXPECT_TRUE(facebook.webViewWillSendRequest(QUrl("http://127.0.0.2:1234/")));
    EXPECT_TRUE(facebook.webViewWillSendRequest(QUrl("http://127.0.0.1:9/dialog/feed")));
    EXPECT_FALSE(facebook.isWindowLoaded());
    for (const char* address : {"http://127.0.0.1:1234", "http://127.0.0.1:1234/", "http://127.0.0.1:1234/?post_id=1",
                                "http://127.0.0.1:1234#_=_"})
        EXPECT_FALSE(facebook.webViewWillSendRequest(QUrl(QString::fromLatin1(address)))) << address;
}
