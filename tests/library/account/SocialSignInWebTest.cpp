#include <atomic>

#include <gtest/gtest.h>

#include <QFile>
#include <QMap>
#include <QMutex>
#include <QNetworkCookie>
#include <QPushButton>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QUrlQuery>
#include <QWebEngineCookieStore>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWidget>

#include "AccountTestSupport.h"
#include "library/account/QVRFacebookLoginWindowController.h"
#include "library/account/QVRLoginWindowController.h"
#include "library/account/WebViewSessionCookies.h"
#include "service/ServiceWebSite.h"
#include "service/ExternalWebSites.h"
#include "support/fakeservice/FakeHttp.h"

using accounttest::ScopedAccountEnvironment;

namespace {

// The social network's dialog on 127.0.0.1: it redirects to the page that carries the token in its fragment.
class FakeDialog {
public:
    FakeDialog()
        : m_server([this](const FakeHttpRequest& request) { return answer(request); })
    {
    }
    bool start() { return m_server.start(); }
    QUrl root() const { return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(m_server.port())); }
    QStringList requests() const
    {
        QMutexLocker lock(&m_mutex);
        return m_requests;
    }

    QStringList cookies() const
    {
        QMutexLocker lock(&m_mutex);
        return m_cookies;
    }
    void clearRequests()
    {
        QMutexLocker lock(&m_mutex);
        m_requests.clear();
    }
    // Off: the dialog is a page that waits for the user (nobody signs in).
    void setRedirects(bool redirects) { m_redirects = redirects; }

private:
    FakeHttpReply answer(const FakeHttpRequest& request)
    {
        {
            QMutexLocker lock(&m_mutex);
            m_requests.append(request.path + QLatin1Char('?') + QString::fromUtf8(request.query));
            if (request.path == QLatin1String("/page"))
                m_cookies.append(QString::fromUtf8(request.headers.value("cookie")));
        }
        if (request.path == QLatin1String("/page"))
            return FakeHttpReply::html(200, "<html>page</html>");
        if (request.path != QLatin1String("/dialog/oauth"))
            return FakeHttpReply::html(404, "<html>gone</html>");
        if (!m_redirects)
            return FakeHttpReply::html(200, "<html><body>Sign in to the network</body></html>");
        FakeHttpReply reply = FakeHttpReply::html(302, "");
        reply.extraHeaders.append(
            {"Location", root().toString().toUtf8() + "/connect/login_success.html#access_token=TOK&expires_in=3600"});
        return reply;
    }

    FakeHttpServer m_server;
    mutable QMutex m_mutex;
    QStringList m_requests;
    QStringList m_cookies;
    std::atomic<bool> m_redirects{true};
};

// The dialog behind a self-signed certificate on 127.0.0.1. Should a client ever accept the certificate, every
// request is answered with the redirect that carries a token.
class UntrustedDialog {
public:
    bool start()
    {
        QFile certificate(QStringLiteral(TESS_TLS_FIXTURE_DIR "/untrusted-localhost.crt"));
        QFile key(QStringLiteral(TESS_TLS_FIXTURE_DIR "/untrusted-localhost.key"));
        if (!certificate.open(QIODevice::ReadOnly) || !key.open(QIODevice::ReadOnly))
            return false;
        QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
        configuration.setLocalCertificate(QSslCertificate(&certificate, QSsl::Pem));
        configuration.setPrivateKey(QSslKey(&key, QSsl::Rsa, QSsl::Pem));
        m_server.setSslConfiguration(configuration);
        QObject::connect(&m_server, &QSslServer::startedEncryptionHandshake, [this] { ++handshakes; });
        QObject::connect(&m_server, &QSslServer::pendingConnectionAvailable, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                ++served;
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    socket->readAll();
                    socket->write("HTTP/1.1 302 Found\r\nLocation: " + root().toString().toUtf8() +
                                  "/connect/login_success.html#access_token=TOK&expires_in=3600\r\n"
                                  "Content-Length: 0\r\nConnection: close\r\n\r\n");
                    socket->disconnectFromHost();
                });
            }
        });
        return m_server.listen(QHostAddress::LocalHost, 0);
    }
    QUrl root() const { return QUrl(QStringLiteral("https://127.0.0.1:%1").arg(m_server.serverPort())); }

    int handshakes = 0;
    int served = 0;

private:
    QSslServer m_server;
};

// Loads the site's page in the web views' profile and waits for it.
bool loadPage(const QUrl& url)
{
    QWebEnginePage page(WebViewSessionCookies::profile());
    bool finished = false;
    QObject::connect(&page, &QWebEnginePage::loadFinished, [&](bool) { finished = true; });
    page.load(url);
    return QTest::qWaitFor([&] { return finished; }, 15000);
}

} // namespace

TEST(SocialSignInWebTest, TheRedirectIsCaughtAndTheTokenSignsIn)
{
    ScopedAccountEnvironment env;
    ASSERT_TRUE(env.started());
    FakeDialog dialog;
    ASSERT_TRUE(dialog.start());
    ASSERT_TRUE(ExternalWebSites::setRoot(ExternalWebSites::Site::Facebook, dialog.root()));

    bool done = false;
    std::optional<Error> error;
    bool signedIn = false;
    QVRFacebookSession::sharedInstance().login([&](const std::optional<Error>& e, bool ok) {
        done = true;
        error = e;
        signedIn = ok;
    });
    // A second login while the window is open opens nothing.
    QVRFacebookSession::sharedInstance().login([](const std::optional<Error>&, bool) { FAIL(); });
    // Another window closing changes nothing.
    QWidget other;
    other.show();
    other.close();

    ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 20000));
    EXPECT_FALSE(error.has_value());
    EXPECT_TRUE(signedIn);
    const QStringList requests = dialog.requests();
    ASSERT_FALSE(requests.isEmpty());
    EXPECT_TRUE(requests.first().startsWith(QStringLiteral("/dialog/oauth?client_id=TEST-APP&redirect_uri=")));
    for (const QString& path : requests)
        EXPECT_FALSE(path.startsWith(QStringLiteral("/connect/"))) << path.toStdString();
    const auto exchange = env.service.lastRequest(QStringLiteral("corvik.users.facebookLogin"));
    ASSERT_TRUE(exchange.has_value());
    EXPECT_EQ(exchange->field(QStringLiteral("fb_access_token")), QStringLiteral("TOK"));
    EXPECT_NEAR(QDateTime::currentDateTimeUtc().secsTo(QVRFacebookSession::sharedInstance().accessTokenExpiry()), 3600,
                5);
    EXPECT_EQ(Tessutils::corvikAuthToken(), QStringLiteral("TOKEN-fb-TOK"));
    QVRFacebookSession::sharedInstance().logout();
}

TEST(SocialSignInWebTest, TheWindowOpensOverTheWindowThatAskedForIt)
{
    QWidget asking;
    asking.setGeometry(300, 200, 500, 400);
    asking.show();
    QVRFacebookLoginWindowController controller;
    controller.placeAbove(&asking);
    EXPECT_LE((controller.window()->geometry().center() - asking.geometry().center()).manhattanLength(), 4);
}

TEST(SocialSignInWebTest, SessionCookiesReachTheSiteAndAreGoneAfterSignOut)
{
    ScopedAccountEnvironment env;
    ASSERT_TRUE(env.started());
    FakeDialog site;
    ASSERT_TRUE(site.start());
    ASSERT_TRUE(ServiceWebSite::setRoot(site.root()));
    ZERI_AuthenticationHandler::setSessionCookieHooks([](const QString& token) { WebViewSessionCookies::plant(token); },
                                                      [] { WebViewSessionCookies::clear(); });
    EXPECT_TRUE(WebViewSessionCookies::profile()->isOffTheRecord());
    Tessutils::setCorvikAuthToken(QStringLiteral("TOKEN-ann"));
    env.handler().setOSXCookieTokenForThisSession();
    QUrl page = site.root();
    page.setPath(QStringLiteral("/page"));
    ASSERT_TRUE(loadPage(page));
    ASSERT_EQ(site.cookies().size(), 1);
    EXPECT_TRUE(site.cookies().first().contains(QStringLiteral("tessarine_auth_token=TOKEN-ann")));
    EXPECT_TRUE(site.cookies().first().contains(QStringLiteral("webview_session=1")));

    env.handler().logout();
    ASSERT_TRUE(loadPage(page));
    ASSERT_EQ(site.cookies().size(), 2);
    EXPECT_FALSE(site.cookies().last().contains(QStringLiteral("tessarine_auth_token")));
    EXPECT_FALSE(site.cookies().last().contains(QStringLiteral("webview_session")));
    ZERI_AuthenticationHandler::setSessionCookieHooks({}, {});
}

TEST(SocialSignInWebTest, TheListsPagesSessionCookiesAreHiddenFromScriptsAndGoAtSignOut)
{
    ScopedAccountEnvironment env;
    ASSERT_TRUE(env.started());
    // An https site: the cookies are planted, no page is loaded.
    ASSERT_TRUE(ServiceWebSite::setRoot(QUrl(QStringLiteral("https://127.0.0.1:9"))));
    ZERI_AuthenticationHandler::setSessionCookieHooks([](const QString& token) { WebViewSessionCookies::plant(token); },
                                                      [] { WebViewSessionCookies::clear(); });
    // The lists window's pages live in a profile of their own.
    QWebEngineProfile lists;
    // A profile's cookie store starts working with its first page.
    QWebEnginePage page(&lists);
    bool loaded = false;
    QObject::connect(&page, &QWebEnginePage::loadFinished, [&](bool) { loaded = true; });
    page.setHtml(QStringLiteral("<html><body>Lists</body></html>"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return loaded; }, 15000));
    QMap<QByteArray, QNetworkCookie> present;
    QObject::connect(lists.cookieStore(), &QWebEngineCookieStore::cookieAdded,
                     [&](const QNetworkCookie& cookie) { present.insert(cookie.name(), cookie); });
    QObject::connect(lists.cookieStore(), &QWebEngineCookieStore::cookieRemoved,
                     [&](const QNetworkCookie& cookie) { present.remove(cookie.name()); });
    Tessutils::setCorvikAuthToken(QStringLiteral("TOKEN-ann"));
    env.handler().setOSXCookieTokenForThisSession();
    WebViewSessionCookies::plant(&lists);
    ASSERT_TRUE(QTest::qWaitFor([&] { return present.size() == 2; }, 10000)) << present.size();
    for (const QNetworkCookie& cookie : std::as_const(present)) {
        EXPECT_TRUE(cookie.isHttpOnly()) << cookie.name().toStdString();
        EXPECT_TRUE(cookie.isSecure()) << cookie.name().toStdString();
    }
    EXPECT_EQ(present.value("tessarine_auth_token").value(), "TOKEN-ann");

    env.handler().logout();
    EXPECT_TRUE(QTest::qWaitFor([&] { return present.isEmpty(); }, 10000)) << present.keys().join(' ').toStdString();
    ZERI_AuthenticationHandler::setSessionCookieHooks({}, {});
    ServiceWebSite::setRoot(QUrl());
}

TEST(SocialSignInWebTest, TheStandAloneWindowSaysSuccessOnlyAfterASignIn)
{
    ScopedAccountEnvironment env;
    ASSERT_TRUE(env.started());
    FakeDialog dialog;
    dialog.setRedirects(false);
    ASSERT_TRUE(dialog.start());
    ASSERT_TRUE(ExternalWebSites::setRoot(ExternalWebSites::Site::Facebook, dialog.root()));
    QVRFacebookSession& session = QVRFacebookSession::sharedInstance();

    QVRLoginWindowController window;
    window.show();
    // The social window is already open for someone else (the sign-in wall): the button does nothing.
    session.login({});
    window.facebookButton()->click();
    EXPECT_TRUE(window.loginButton()->isEnabled());
    session.loginWindowForTesting()->window()->close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !session.isLoginWindowOpen(); }, 5000));
    dialog.clearRequests();

    // The user closes the social window without signing in: no error, no "Success!", the window stays.
    window.facebookButton()->click();
    EXPECT_FALSE(window.loginButton()->isEnabled());
    ASSERT_TRUE(session.isLoginWindowOpen());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.requests().isEmpty(); }, 20000));
    session.loginWindowForTesting()->window()->close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.loginButton()->isEnabled(); }, 5000));
    EXPECT_FALSE(session.isLoginWindowOpen());
    EXPECT_TRUE(env.alerts.requests.empty());
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(env.service.requestCount(QStringLiteral("corvik.users.facebookLogin")), 0);
    EXPECT_TRUE(Tessutils::corvikAuthToken().isEmpty());

    // A real sign-in through the same window says so and closes it.
    dialog.setRedirects(true);
    window.facebookButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !env.alerts.requests.empty(); }, 20000));
    EXPECT_EQ(env.alerts.requests.front().messageText, QStringLiteral("Success!"));
    EXPECT_EQ(Tessutils::corvikAuthToken(), QStringLiteral("TOKEN-fb-TOK"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window.isVisible(); }, 5000));
    session.logout();
}

TEST(SocialSignInWebTest, ADialogBehindAnUntrustedCertificateFailsAndSendsNothing)
{
    ScopedAccountEnvironment env;
    ASSERT_TRUE(env.started());
    UntrustedDialog dialog;
    ASSERT_TRUE(dialog.start());
    ASSERT_TRUE(ExternalWebSites::setRoot(ExternalWebSites::Site::Facebook, dialog.root()));

    bool done = false;
    std::optional<Error> error;
    bool signedIn = true;
    QVRFacebookSession::sharedInstance().login([&](const std::optional<Error>& e, bool ok) {
        done = true;
        error = e;
        signedIn = ok;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 20000));
    EXPECT_GT(dialog.handshakes, 0) << "the dialog was never asked for";
    EXPECT_EQ(dialog.served, 0);
    ASSERT_TRUE(error.has_value());
    EXPECT_FALSE(signedIn);
    EXPECT_EQ(env.service.requestCount(QStringLiteral("corvik.users.facebookLogin")), 0);
    EXPECT_TRUE(QVRFacebookSession::sharedInstance().accessToken().isEmpty());
    EXPECT_TRUE(Tessutils::corvikAuthToken().isEmpty());
}
