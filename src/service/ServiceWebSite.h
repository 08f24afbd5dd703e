#pragma once

#include <QUrl>

// The root of the service's own web site (scheme and host, no path): the redirect target of shares and the
// base of the account pages. "https://www.tessarine.com" unless TESS_WEB_SITE_URL names another root or a
// setter replaced it. Like the API address, plain http is accepted only for an address on this machine.
// Thread-safe.
class ServiceWebSite {
public:
    static constexpr const char* kDefaultRoot = "https://www.tessarine.com";

    static QUrl root();
    // False (and nothing changes) for an address that is not an acceptable root; an empty URL restores the
    // environment's or the built-in root.
    static bool setRoot(const QUrl& root);
    // The root as text, without a trailing slash ("https://www.tessarine.com").
    static QString rootString();
};

namespace WebSiteRoots {

// Scheme, host and port of `url` when it is https, or http on this machine; an empty URL otherwise.
QUrl acceptableRoot(const QUrl& url);
// The root named by the environment variable when it is acceptable, else `fallback` (a bad value is logged).
QUrl rootFromEnvironment(const char* variable, const QUrl& fallback);

} // namespace WebSiteRoots
