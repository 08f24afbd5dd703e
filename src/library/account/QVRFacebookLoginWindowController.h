#pragma once

#include <functional>
#include <optional>

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include "controls/SimpleWebViewWindowController.h"
#include "platform/Error.h"

// The social network's sign-in dialog in a window of its own. The redirect that carries the access token is
// caught before it loads (it never reaches the network); the token is kept by the shared session and exchanged
// for the service's own through the authentication handler. The window closes itself when that ends; finished
// tells its owner, with loginCompleted() or loginError() set (neither when the user closed it).
class QVRFacebookLoginWindowController : public SimpleWebViewWindowController {
    Q_OBJECT
public:
    explicit QVRFacebookLoginWindowController(QObject* parent = nullptr);
    ~QVRFacebookLoginWindowController() override;

    bool loginCompleted() const { return m_loginCompleted; }
    std::optional<Error> loginError() const { return m_loginError; }

    // "<root>/dialog/oauth?client_id=...&redirect_uri=<root>/connect/login_success.html&display=popup&..."
    static QUrl oauthURL();
    static QString redirectURI();
    // The token and expiry in a redirect's fragment; expiry is now when "expires_in" is missing or not a number.
    struct Capture {
        QString accessToken;
        QDateTime expiry;
    };
    static Capture captureFromRedirect(const QUrl& url, const QDateTime& now);

    void handleLoginSuccess(const QUrl& url);
    // Shown and running while the token is exchanged; nullptr before the window is made.
    QWidget* activityIndicator() const { return m_activityIndicator; }
    // Opens over `over` and in front of it, also of any window kept above the others (the first-launch tour).
    void placeAbove(QWidget* over);

signals:
    void finished();

protected:
    void windowDidLoad() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void end();

    bool m_loginCompleted = false;
    bool m_captured = false;
    bool m_ended = false;
    std::optional<Error> m_loginError;
    QPointer<QWidget> m_activityIndicator;
};

// The shared social session: the access token and its expiry, kept in the user defaults
// ("FacebookAccessTokenKey", "FacebookAccessTokenExpirationKey"), and the stand-alone sign-in window.
class QVRFacebookSession {
public:
    using Completion = std::function<void(const std::optional<Error>& error, bool signedIn)>;

    static QVRFacebookSession& sharedInstance();

    QString accessToken() const;
    void setAccessToken(const QString& token);
    QDateTime accessTokenExpiry() const;
    void setAccessTokenExpiry(const QDateTime& expiry);

    // Opens the sign-in window unless one is open (then nothing, and the completion is dropped). The completion
    // hears the window's error, or whether a sign-in went through, when the window closes.
    // `modal`: above an application-modal window (the sign-in wall), so that it is not blocked by it.
    // `over`: the window it is opened from, which it stays above.
    void login(Completion completion, bool modal = false, QWidget* over = nullptr);
    bool isLoginWindowOpen() const { return !m_window.isNull(); }
    QVRFacebookLoginWindowController* loginWindowForTesting() const { return m_window; }
    void logout();
    // True when a stored token is still valid.
    bool restoreSavedSession();

private:
    QPointer<QVRFacebookLoginWindowController> m_window;
};
