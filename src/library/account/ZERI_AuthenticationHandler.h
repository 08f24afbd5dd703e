#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QObject>
#include <QString>

#include "foundation/SafeDictionary.h"
#include "platform/Error.h"

class BlockRequester;

// The one place that signs a user in (e-mail and password, or a social access token), registers an account and
// signs out. What the service answers is stored through Tessutils; the rest of the application learns of it
// through "ZERI_AuthenticationHandlerDidLoginNotification" and "ZERI_AuthenticationHandlerDidLogoutNotification".
//
// Every caller is answered exactly once, on the main thread: nil on success, else the error. A sign-in replaced
// by a newer one is answered with kErrorDomain / kReplacedCode (callers that started the newer one pass over it
// silently); a registration refused because another request is in flight is answered at once with
// kErrorDomain / kBusyCode and sends nothing. Main thread only.
class ZERI_AuthenticationHandler : public QObject {
    Q_OBJECT
public:
    using Completion = std::function<void(const std::optional<Error>& error)>;

    static constexpr const char* kErrorDomain = "ZERI_AuthenticationHandler";
    static constexpr const char* kServiceErrorDomain = "ZERI_AuthenticationHandlerErrorDomain";
    static constexpr int kNoTokenCode = 1;
    static constexpr int kBusyCode = 2;
    static constexpr int kReplacedCode = 3;

    static constexpr const char* kDidLoginNotification = "ZERI_AuthenticationHandlerDidLoginNotification";
    static constexpr const char* kDidLogoutNotification = "ZERI_AuthenticationHandlerDidLogoutNotification";

    // The shared handler, made on first use; cleanup() drops it (its requests are cancelled unanswered).
    static ZERI_AuthenticationHandler* authHandler();
    static void cleanup();

    void loginCorvikWithEmail(const QString& email, const QString& password, Completion completion);
    void registerCorvikUserWithUsername(const QString& username, const QString& password, const QString& email,
                                        const QString& mobileNumber, const QString& displayName,
                                        const QString& realName, Completion completion);
    void loginUsingFacebookWithFBAccessToken(const QString& accessToken, Completion completion);
    // Takes every local package out of the list, tells the service without waiting, clears the stored account
    // and the web views' session cookies, and returns. The packages' folders are deleted on a thread of their
    // own; the logout notification is posted on the main thread once they are gone. Never fails.
    void logout();
    // Blocks until the sign-outs begun so far have deleted their folders and delivers their notifications
    // (tests).
    static void waitForSignOutsForTesting();
    // Plants the two session cookies of the service's web pages in the web views' cookie store.
    void setOSXCookieTokenForThisSession();

    // True when the reply held a token and everything was stored; false (nothing stored) otherwise.
    bool saveUserCredentials(const SafeDictionary& reply);
    void saveDataFromUserDict(const std::optional<SafeDictionary>& userDict);
    static Error errorFromApiErrorDict(const SafeDictionary& errorDict);
    static bool accountTypeIsTemporary();

    bool isBusyForTesting() const { return m_signInRequester || m_registerRequester; }

    // Hooks filled at registration: the quota refresh after a sign-in, and the web views' cookie store.
    static void setAfterSignInHook(std::function<void()> hook);
    static void setSessionCookieHooks(std::function<void(const QString& authToken)> plant, std::function<void()> clear);

private:
    ZERI_AuthenticationHandler() = default;
    ~ZERI_AuthenticationHandler() override;

    void replaceSignIn();
    void handleSignInReply(const QString& reply, bool afterRegistration, Completion completion);

    std::shared_ptr<BlockRequester> m_signInRequester;
    Completion m_signInCompletion;
    std::shared_ptr<BlockRequester> m_registerRequester;
};
