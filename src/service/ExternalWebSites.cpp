#include "service/ExternalWebSites.h"

#include <array>
#include <optional>

#include <QMutex>
#include <QMutexLocker>

#include "service/ServiceWebSite.h"

namespace {

struct SiteDefaults {
    const char* variable;
    const char* root;
};

constexpr std::array<SiteDefaults, 4> kSites{{
    {"TESS_FACEBOOK_URL", "https://www.facebook.com"},
    {"TESS_TWITTER_URL", "https://twitter.com"},
    {"TESS_LINKEDIN_URL", "https://www.linkedin.com"},
    {"TESS_GMAIL_URL", "https://mail.google.com"},
}};

struct Overrides {
    QMutex mutex;
    std::array<std::optional<QUrl>, 4> roots;
    QString facebookAppID;
};

Overrides& overrides()
{
    static Overrides shared;
    return shared;
}

std::size_t indexOf(ExternalWebSites::Site site)
{
    return static_cast<std::size_t>(site);
}

} // namespace

QUrl ExternalWebSites::root(Site site)
{
    const std::size_t index = indexOf(site);
    {
        QMutexLocker lock(&overrides().mutex);
        if (overrides().roots[index])
            return *overrides().roots[index];
    }
    return WebSiteRoots::rootFromEnvironment(kSites[index].variable, QUrl(QString::fromLatin1(kSites[index].root)));
}

bool ExternalWebSites::setRoot(Site site, const QUrl& newRoot)
{
    QMutexLocker lock(&overrides().mutex);
    auto& slot = overrides().roots[indexOf(site)];
    if (newRoot.isEmpty()) {
        slot.reset();
        return true;
    }
    const QUrl root = WebSiteRoots::acceptableRoot(newRoot);
    if (root.isEmpty())
        return false;
    slot = root;
    return true;
}

QString ExternalWebSites::rootString(Site site)
{
    return root(site).toString(QUrl::FullyEncoded | QUrl::StripTrailingSlash);
}

QString ExternalWebSites::facebookAppID()
{
    {
        QMutexLocker lock(&overrides().mutex);
        if (!overrides().facebookAppID.isEmpty())
            return overrides().facebookAppID;
    }
    const QString fromEnvironment = qEnvironmentVariable("TESS_FACEBOOK_APP_ID").trimmed();
    return fromEnvironment.isEmpty() ? QString::fromLatin1(kDefaultFacebookAppID) : fromEnvironment;
}

void ExternalWebSites::setFacebookAppID(const QString& appID)
{
    QMutexLocker lock(&overrides().mutex);
    overrides().facebookAppID = appID.trimmed();
}
