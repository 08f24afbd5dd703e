#pragma once

#include <memory>

#include <QString>
#include <QUrl>

#include "platform/Error.h"
#include "service/BlockRequester.h"

// Account and alias operations of the web API, and the service configuration every call uses.
// Each operation starts one signed request and returns its requester (keep it to cancel the call); the
// completion runs on the main thread with the reply text (see BlockRequester for the failure forms).
// Optional texts that are empty are left out of the request. Call from the main thread.
class CorvikBlockAPIBinding {
public:
    using Completion = BlockRequester::Completion;
    using Requester = std::shared_ptr<BlockRequester>;

    // Service root, API key and API password, set once at start-up. Plain http is accepted only for an
    // address on this machine (see BlockRequester::setAPIURL).
    static bool setAPIURL(const QUrl& url, Error* error = nullptr);
    static void setAPIKey(const QString& key);
    static void setAPIPassword(const QString& password);
    static QUrl apiURL();

    // The start-up step: the built-in service address, unless TESS_API_URL names another, and the key and
    // password from TESS_API_KEY and TESS_API_PASSWORD; the posted documents' addresses and short links follow the
    // web site (TESS_WEB_SITE_URL), else the service when it is not the built-in one. Returns the endpoint for the
    // start-up log line (never the password).
    static QUrl applyStartupConfiguration();
    static constexpr const char* kDefaultAPIURL = "https://api.tessarine.com";

    // "corvik.auth.getTokenFromCredentials": "username", "password".
    static Requester authenticateUser(const QString& username, const QString& password, Completion completion);
    // "corvik.users.facebookLogin": "fb_access_token" (left out when empty).
    static Requester authTokenFromFacebookAccessToken(const QString& accessToken, Completion completion);
    // "corvik.users.register": "username", "password", "email"; "mobile_number", "display_name",
    // "real_name" only when given.
    static Requester registerUserWithUsername(const QString& username, const QString& password, const QString& email,
                                              const QString& mobileNumber, const QString& displayName,
                                              const QString& realName, Completion completion);
    // "corvik.auth.trustedLogout": "username" (left out when empty), "auth_token".
    static Requester logoutWithUsername(const QString& username, const QString& authToken, Completion completion);
    // "tessarine.getUser": "username", "email", "auth_token", each only when given.
    static Requester getUserWithUserName(const QString& username, const QString& email, const QString& authToken,
                                         Completion completion);
    // "tessarine.checkAlias": "alias", "auth_token".
    static Requester checkForAlias(const QString& alias, const QString& authToken, Completion completion);
};
