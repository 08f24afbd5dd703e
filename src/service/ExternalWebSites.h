#pragma once

#include <QString>
#include <QUrl>

// The social networks and web mail that documents are shared to: each one's web root (scheme and host) and
// the application id the networks know this application by. Each comes from its environment variable
// (TESS_FACEBOOK_URL, TESS_TWITTER_URL, TESS_LINKEDIN_URL, TESS_GMAIL_URL, TESS_FACEBOOK_APP_ID) or a setter,
// else the networks' public sites. Plain http is accepted only for an address on this machine. Thread-safe.
class ExternalWebSites {
public:
    enum class Site { Facebook, Twitter, LinkedIn, Gmail };

    static constexpr const char* kDefaultFacebookAppID = "718293046152837";

    static QUrl root(Site site);
    // False (and nothing changes) for an address that is not an acceptable root; an empty URL restores the
    // environment's or the built-in root.
    static bool setRoot(Site site, const QUrl& root);
    // The root as text, without a trailing slash.
    static QString rootString(Site site);

    static QString facebookAppID();
    // An empty id restores the environment's or the built-in one.
    static void setFacebookAppID(const QString& appID);
};
