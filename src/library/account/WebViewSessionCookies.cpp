#include "library/account/WebViewSessionCookies.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QNetworkCookie>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>

#include "foundation/Tessutils.h"
#include "service/ServiceWebSite.h"

namespace {

constexpr qint64 kCookieLifetimeSeconds = 31449600; // 364 days

QWebEngineProfile* s_profile = nullptr;

QNetworkCookie sessionCookie(const QByteArray& name, const QByteArray& value, const QString& host, qint64 lifetime)
{
    QNetworkCookie cookie(name, value);
    cookie.setDomain(host);
    cookie.setPath(QStringLiteral("/"));
    cookie.setExpirationDate(QDateTime::currentDateTimeUtc().addSecs(lifetime));
    cookie.setSecure(ServiceWebSite::root().scheme() == QLatin1String("https"));
    cookie.setHttpOnly(true);
    return cookie;
}

} // namespace

QWebEngineProfile* WebViewSessionCookies::profile()
{
    if (!s_profile) {
        // No storage name: off the record, everything stays in memory.
        s_profile = new QWebEngineProfile(QCoreApplication::instance());
        Q_ASSERT(s_profile->isOffTheRecord());
    }
    return s_profile;
}

void WebViewSessionCookies::plant(const QString& authToken)
{
    plant(authToken, kCookieLifetimeSeconds, kCookieLifetimeSeconds);
}

void WebViewSessionCookies::plant(const QString& authToken, qint64 tokenLifetime, qint64 sessionLifetime)
{
    const QUrl root = ServiceWebSite::root();
    const QString host = root.host();
    if (host.isEmpty() || authToken.isEmpty())
        return;
    QWebEngineCookieStore* store = profile()->cookieStore();
    store->setCookie(sessionCookie("tessarine_auth_token", authToken.toUtf8(), host, tokenLifetime), root);
    store->setCookie(sessionCookie("webview_session", "1", host, sessionLifetime), root);
}

void WebViewSessionCookies::clear()
{
    // No profile yet: no web view ever held a cookie.
    if (s_profile)
        s_profile->cookieStore()->deleteAllCookies();
}

void WebViewSessionCookies::plant(QWebEngineProfile* profile)
{
    if (!profile)
        return;
    const QUrl root = ServiceWebSite::root();
    QWebEngineCookieStore* store = profile->cookieStore();
    const QString token = Tessutils::corvikAuthToken();
    for (const char* name : {"tessarine_auth_token", "webview_session"}) {
        QNetworkCookie cookie(name);
        cookie.setPath(QStringLiteral("/"));
        if (token.isEmpty()) {
            store->deleteCookie(cookie, root);
            continue;
        }
        cookie.setValue(qstrcmp(name, "webview_session") == 0 ? QByteArray("1") : token.toUtf8());
        store->setCookie(cookie, root);
    }
}
