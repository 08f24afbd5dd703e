#include "service/CorvikBlockAPIBinding.h"

#include <QtGlobal>

#include "service/QVROpenRequest.h"
#include "service/ServiceLogging.h"
#include "service/ServiceWebSite.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

using Parameters = BlockRequester::Parameters;

void addIfGiven(Parameters& parameters, const char* key, const QString& value)
{
    if (!value.isEmpty())
        parameters.append({QString::fromLatin1(key), value});
}

} // namespace

bool CorvikBlockAPIBinding::setAPIURL(const QUrl& url, Error* error)
{
    return BlockRequester::setAPIURL(url, error);
}

void CorvikBlockAPIBinding::setAPIKey(const QString& key)
{
    BlockRequester::setAPIKey(key);
}

void CorvikBlockAPIBinding::setAPIPassword(const QString& password)
{
    BlockRequester::setAPIPassword(password);
}

QUrl CorvikBlockAPIBinding::apiURL()
{
    return BlockRequester::configuration().apiURL;
}

QUrl CorvikBlockAPIBinding::applyStartupConfiguration()
{
    const QString overrideURL = qEnvironmentVariable("TESS_API_URL");
    Error error;
    if (overrideURL.isEmpty() || !setAPIURL(QUrl(overrideURL), &error)) {
        if (!overrideURL.isEmpty())
            qCWarning(lcService) << "ignoring TESS_API_URL:" << error.message;
        setAPIURL(QUrl(QString::fromLatin1(kDefaultAPIURL)));
    }
    setAPIKey(qEnvironmentVariable("TESS_API_KEY"));
    setAPIPassword(qEnvironmentVariable("TESS_API_PASSWORD"));
    // Posted documents and their short links live on the web site of the service talked to: the one TESS_WEB_SITE_URL
    // names, else, against a service other than the built-in one, that service's own address. The built-in service
    // keeps the built-in site and short-link host.
    const QUrl builtInSite(QString::fromLatin1(ServiceWebSite::kDefaultRoot));
    QUrl site = ServiceWebSite::root();
    if (site == builtInSite && apiURL().host() != QUrl(QString::fromLatin1(kDefaultAPIURL)).host())
        site = WebSiteRoots::acceptableRoot(apiURL());
    if (site.isEmpty() || site == builtInSite) {
        ZERI_TessarineModel::setPublishWebHost(builtInSite.host());
        QVROpenRequest::setShortLinkHost(QString::fromLatin1(QVROpenRequest::kDefaultShortLinkHost));
    } else {
        const QString host = site.port() == -1 ? site.host() : site.host() + u':' + QString::number(site.port());
        ZERI_TessarineModel::setPublishWebHost(host, site.scheme());
        QVROpenRequest::setShortLinkHost(host);
    }
    return apiURL();
}

CorvikBlockAPIBinding::Requester CorvikBlockAPIBinding::authenticateUser(const QString& username,
                                                                         const QString& password, Completion completion)
{
    return BlockRequester::post(QStringLiteral("corvik.auth.getTokenFromCredentials"),
                                {{QStringLiteral("username"), username}, {QStringLiteral("password"), password}},
                                std::move(completion));
}

CorvikBlockAPIBinding::Requester CorvikBlockAPIBinding::authTokenFromFacebookAccessToken(const QString& accessToken,
                                                                                         Completion completion)
{
    Parameters parameters;
    addIfGiven(parameters, "fb_access_token", accessToken);
    return BlockRequester::post(QStringLiteral("corvik.users.facebookLogin"), parameters, std::move(completion));
}

CorvikBlockAPIBinding::Requester
CorvikBlockAPIBinding::registerUserWithUsername(const QString& username, const QString& password, const QString& email,
                                                const QString& mobileNumber, const QString& displayName,
                                                const QString& realName, Completion completion)
{
    Parameters parameters{{QStringLiteral("username"), username},
                          {QStringLiteral("password"), password},
                          {QStringLiteral("email"), email}};
    addIfGiven(parameters, "mobile_number", mobileNumber);
    addIfGiven(parameters, "display_name", displayName);
    addIfGiven(parameters, "real_name", realName);
    return BlockRequester::post(QStringLiteral("corvik.users.register"), parameters, std::move(completion));
}

CorvikBlockAPIBinding::Requester
CorvikBlockAPIBinding::logoutWithUsername(const QString& username, const QString& authToken, Completion completion)
{
    Parameters parameters;
    addIfGiven(parameters, "username", username);
    parameters.append({QStringLiteral("auth_token"), authToken});
    return BlockRequester::post(QStringLiteral("corvik.auth.trustedLogout"), parameters, std::move(completion));
}

CorvikBlockAPIBinding::Requester CorvikBlockAPIBinding::getUserWithUserName(const QString& username,
                                                                            const QString& email,
                                                                            const QString& authToken,
                                                                            Completion completion)
{
    Parameters parameters;
    addIfGiven(parameters, "username", username);
    addIfGiven(parameters, "email", email);
    addIfGiven(parameters, "auth_token", authToken);
    return BlockRequester::post(QStringLiteral("tessarine.getUser"), parameters, std::move(completion));
}

CorvikBlockAPIBinding::Requester CorvikBlockAPIBinding::checkForAlias(const QString& alias, const QString& authToken,
                                                                      Completion completion)
{
    return BlockRequester::post(QStringLiteral("tessarine.checkAlias"),
                                {{QStringLiteral("alias"), alias}, {QStringLiteral("auth_token"), authToken}},
                                std::move(completion));
}
