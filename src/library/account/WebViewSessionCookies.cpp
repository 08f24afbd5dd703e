#include "library/account/WebViewSessionCookies.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QList>
#include <QNetworkCookie>
#include <QPointer>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>

#include "foundation/Tessutils.h"
#include "service/ServiceWebSite.h"

namespace {

constexpr qint64 kCookieLifetimeSeconds = 31449600; // 364 days

QWebEngineProfile* s_profile = nullptr;

// Every other profile the session cookies were planted in (the lists window's pages), so sign-out reaches them.
QList<QPointer<QWebEngineProfile>>& plantedProfiles()
{
    static QList<QPointer<QWebEngineProfile>> profiles;
    return profiles;
}

constexpr const char* kCookieNames[] = {"tessarine_auth_token", "webview_session"};

// The cookie as a page's scripts must never see it, and sent only over an encrypted connection to an https site.
void protect(QNetworkCookie& cookie)
{
    cookie.setSecure(ServiceWebSite::root().scheme() == QLatin1String("https"));
    cookie.setHttpOnly(true);
}

QNetworkCookie sessionCookie(const QByteArray& name, const QByteArray& value, const QString& host, qint64 lifetime)
{
    QNetworkCookie cookie(name, value);
    cookie.setDomain(host);
    cookie.setPath(QStringLiteral("/"));
    cookie.setExpirationDate(QDateTime::currentDateTimeUtc().addSecs(lifetime));
    protect(cookie);
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
    // The other profiles may hold cookies of other sites: only the session's two go.
    const QUrl root = ServiceWebSite::root();
    auto& profiles = plantedProfiles();
    profiles.removeAll(nullptr);
    for (const auto& profile : std::as_const(profiles)) {
        for (const char* name : kCookieNames) {
            QNetworkCookie cookie(name);
            cookie.setPath(QStringLiteral("/"));
            profile->cookieStore()->deleteCookie(cookie, root);
        }
    }
}

void WebViewSessionCookies::plant(QWebEngineProfile* profile)
{
    if (!profile)
        return;
    const QUrl root = ServiceWebSite::root();
    QWebEngineCookieStore* store = profile->cookieStore();
    const QString token = Tessutils::corvikAuthToken();
    if (profile != s_profile && !plantedProfiles().contains(profile))
        plantedProfiles().append(profile);
    for (const char* name : kCookieNames) {
        QNetworkCookie cookie(name);
        cookie.setPath(QStringLiteral("/"));
        if (token.isEmpty()) {
            store->deleteCookie(cookie, root);
            continue;
        }
        cookie.setValue(qstrcmp(name, "webview_session") == 0 ? QByteArray("1") : token.toUtf8());
        protect(cookie);
        store->setCookie(cookie, root);
    }
}
