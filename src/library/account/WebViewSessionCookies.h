#pragma once

#include <QString>

class QWebEngineProfile;

// The web views' session with the service's web site: one off-the-record profile (no cookie reaches a file)
// shared by the pages that show the service's site, with the two session cookies planted on the site's domain.
// Main thread only; the profile is made on first use.
class WebViewSessionCookies {
public:
    static QWebEngineProfile* profile();
    // "tessarine_auth_token" = the token and "webview_session" = "1", on the site's host, path "/", for 364 days.
    static void plant(const QString& authToken);
    // The same with the two lifetimes in seconds (the profile editor's shorter session).
    static void plant(const QString& authToken, qint64 tokenLifetime, qint64 sessionLifetime);
    // Removes every cookie of the profile, and the two session cookies from every profile plant(profile) put
    // them in (sign-out).
    static void clear();
    // Before each load of the service's pages in a view of `profile`: the signed-in user's two cookies on the
    // site's host (HttpOnly, and Secure for an https site, as the others); signed out, both are deleted.
    static void plant(QWebEngineProfile* profile);
};
