#include <gtest/gtest.h>

#include <QUrlQuery>

#include "AccountTestSupport.h"
#include "library/account/QVRFacebookLoginWindowController.h"
#include "service/ExternalWebSites.h"

using accounttest::ScopedAccountEnvironment;

TEST(SocialSignInTest, DialogAddressAndTheTokenInTheRedirect)
{
    ScopedAccountEnvironment env;
    const QUrl dialog = QVRFacebookLoginWindowController::oauthURL();
    EXPECT_EQ(dialog.host(), QStringLiteral("fb.example"));
    EXPECT_EQ(dialog.path(), QStringLiteral("/dialog/oauth"));
    const QUrlQuery query(dialog);
    EXPECT_EQ(query.queryItemValue(QStringLiteral("client_id")), QStringLiteral("TEST-APP"));
    EXPECT_EQ(query.queryItemValue(QStringLiteral("redirect_uri"), QUrl::FullyDecoded),
              QStringLiteral("https://fb.example/connect/login_success.html"));
    EXPECT_EQ(query.queryItemValue(QStringLiteral("display")), QStringLiteral("popup"));
    EXPECT_EQ(query.queryItemValue(QStringLiteral("response_type")), QStringLiteral("token"));
    EXPECT_EQ(query.queryItemValue(QStringLiteral("scope")), QStringLiteral("email"));

    const QDateTime now = QDateTime::currentDateTimeUtc();
    const auto good = QVRFacebookLoginWindowController::captureFromRedirect(
        QUrl(QStringLiteral("https://fb.example/connect/login_success.html#access_token=TOK&expires_in=3600")), now);
    EXPECT_EQ(good.accessToken, QStringLiteral("TOK"));
    EXPECT_EQ(now.secsTo(good.expiry), 3600);
    for (const char* fragment : {"#expires_in=3600", "#access_token=T&expires_in=soon", "#access_token=T"}) {
        const auto bad = QVRFacebookLoginWindowController::captureFromRedirect(
            QUrl(QStringLiteral("https://fb.example/connect/login_success.html") + QLatin1String(fragment)), now);
        EXPECT_EQ(bad.expiry, now) << fragment;
    }
}

TEST(SocialSignInTest, SessionKeepsTheTokenAndAPastExpiryRestoresNothing)
{
    ScopedAccountEnvironment env;
    QVRFacebookSession& session = QVRFacebookSession::sharedInstance();
    session.setAccessToken(QStringLiteral("TOK"));
    session.setAccessTokenExpiry(QDateTime::currentDateTimeUtc().addSecs(-10));
    EXPECT_FALSE(session.restoreSavedSession());
    session.setAccessTokenExpiry(QDateTime::currentDateTimeUtc().addSecs(600));
    EXPECT_TRUE(session.restoreSavedSession());
    EXPECT_EQ(session.accessToken(), QStringLiteral("TOK"));

    // Signing out of the service leaves the social session alone.
    ZERI_AuthenticationHandler::authHandler()->logout();
    EXPECT_EQ(session.accessToken(), QStringLiteral("TOK"));
    session.logout();
    EXPECT_TRUE(session.accessToken().isEmpty());
    EXPECT_FALSE(session.accessTokenExpiry().isValid());
}

TEST(SocialSignInTest, TheExchangedTokenSignsIn)
{
    ScopedAccountEnvironment env;
    ASSERT_TRUE(env.started());
    accounttest::Answer answer;
    ZERI_AuthenticationHandler::authHandler()->loginUsingFacebookWithFBAccessToken(QStringLiteral("TOK"),
                                                                                   answer.completion());
    ASSERT_TRUE(answer.wait());
    EXPECT_FALSE(answer.error.has_value());
    const auto request = env.service.lastRequest(QStringLiteral("corvik.users.facebookLogin"));
    ASSERT_TRUE(request.has_value());
    EXPECT_EQ(request->field(QStringLiteral("fb_access_token")), QStringLiteral("TOK"));
    EXPECT_EQ(Tessutils::corvikAuthToken(), QStringLiteral("TOKEN-fb-TOK"));
    EXPECT_EQ(env.events(QStringLiteral("User Register")).size(), 1);
}
