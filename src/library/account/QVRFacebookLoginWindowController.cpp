#include "library/account/QVRFacebookLoginWindowController.h"

#include <QEvent>
#include <QLayout>
#include <QProgressBar>
#include <QUrlQuery>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QWidget>

#include "controls/ViewUtils.h"
#include "library/LibraryLogging.h"
#include "library/account/WebViewSessionCookies.h"
#include "library/account/ZERI_AuthenticationHandler.h"
#include "platform/UserDefaults.h"
#include "service/ExternalWebSites.h"

namespace {

const QString kTokenKey = QStringLiteral("FacebookAccessTokenKey");
const QString kExpiryKey = QStringLiteral("FacebookAccessTokenExpirationKey");

// Refuses the redirect that carries the token (it sees the fragment) and hands it over instead.
class FacebookLoginPage : public QWebEnginePage {
public:
    FacebookLoginPage(QWebEngineProfile* profile, QObject* parent, std::function<void(const QUrl&)> onRedirect)
        : QWebEnginePage(profile, parent)
        , m_onRedirect(std::move(onRedirect))
    {
    }

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override
    {
        if (url.toString().startsWith(QVRFacebookLoginWindowController::redirectURI())) {
            m_onRedirect(url);
            return false;
        }
        return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
    }

private:
    std::function<void(const QUrl&)> m_onRedirect;
};

} // namespace

QVRFacebookLoginWindowController::QVRFacebookLoginWindowController(QObject* parent)
    : SimpleWebViewWindowController(oauthURL(), parent)
{
}

QVRFacebookLoginWindowController::~QVRFacebookLoginWindowController() = default;

QString QVRFacebookLoginWindowController::redirectURI()
{
    return ExternalWebSites::rootString(ExternalWebSites::Site::Facebook) +
           QStringLiteral("/connect/login_success.html");
}

QUrl QVRFacebookLoginWindowController::oauthURL()
{
    QUrl url(ExternalWebSites::rootString(ExternalWebSites::Site::Facebook) + QStringLiteral("/dialog/oauth"));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("client_id"), ExternalWebSites::facebookAppID());
    query.addQueryItem(QStringLiteral("redirect_uri"), redirectURI());
    query.addQueryItem(QStringLiteral("display"), QStringLiteral("popup"));
    query.addQueryItem(QStringLiteral("response_type"), QStringLiteral("token"));
    query.addQueryItem(QStringLiteral("scope"), QStringLiteral("email"));
    url.setQuery(query);
    return url;
}

QVRFacebookLoginWindowController::Capture QVRFacebookLoginWindowController::captureFromRedirect(const QUrl& url,
                                                                                                const QDateTime& now)
{
    const QUrlQuery fragment(url.fragment(QUrl::FullyEncoded));
    Capture capture;
    capture.accessToken = fragment.queryItemValue(QStringLiteral("access_token"), QUrl::FullyDecoded);
    bool ok = false;
    const double seconds = fragment.queryItemValue(QStringLiteral("expires_in")).toDouble(&ok);
    capture.expiry = (ok && !capture.accessToken.isEmpty() && seconds > 0 && seconds < 1e9)
                         ? now.addMSecs(static_cast<qint64>(seconds * 1000))
                         : now;
    return capture;
}

void QVRFacebookLoginWindowController::windowDidLoad()
{
    QWebEngineView* view = myWebView();
    auto* page = new FacebookLoginPage(WebViewSessionCookies::profile(), view,
                                       [this](const QUrl& url) { handleLoginSuccess(url); });
    view->setPage(page);
    auto* indicator = new QProgressBar(window());
    indicator->setObjectName(QStringLiteral("activityIndicator"));
    indicator->setRange(0, 0);
    indicator->setTextVisible(false);
    indicator->setFixedHeight(6);
    indicator->hide();
    window()->layout()->addWidget(indicator);
    m_activityIndicator = indicator;
    // A failed main-frame load is the dialog's failure, except the refusal of the caught redirect. Certificate
    // errors are never accepted, so a bad certificate ends here too.
    connect(page, &QWebEnginePage::loadFinished, this, [this](bool ok) {
        if (ok || m_captured || m_ended)
            return;
        m_loginError = Error(QStringLiteral("QVRFacebookLoginWindowController"), 1,
                             QStringLiteral("The sign-in page could not be loaded."));
        end();
    });
    window()->installEventFilter(this);
    page->load(url());
}

void QVRFacebookLoginWindowController::handleLoginSuccess(const QUrl& url)
{
    if (m_captured)
        return;
    m_captured = true;
    const Capture capture = captureFromRedirect(url, QDateTime::currentDateTimeUtc());
    if (capture.accessToken.isEmpty()) {
        // Nothing to exchange: nothing is stored.
        m_loginError = Error(QStringLiteral("QVRFacebookLoginWindowController"), 2,
                             QStringLiteral("The sign-in did not give an access token."));
        end();
        return;
    }
    QVRFacebookSession::sharedInstance().setAccessToken(capture.accessToken);
    QVRFacebookSession::sharedInstance().setAccessTokenExpiry(capture.expiry);
    if (m_activityIndicator)
        m_activityIndicator->show();
    QPointer<QVRFacebookLoginWindowController> self(this);
    ZERI_AuthenticationHandler::authHandler()->loginUsingFacebookWithFBAccessToken(
        capture.accessToken, [self](const std::optional<Error>& error) {
            if (!self)
                return;
            if (error)
                self->m_loginError = error;
            else
                self->m_loginCompleted = true;
            self->end();
        });
}

void QVRFacebookLoginWindowController::placeAbove(QWidget* over)
{
    // Kept on top like a window kept above the others (the first-launch tour), else it would open beneath it.
    ViewUtils::keepAboveWindowsKeptOnTop(window());
    // It opens over the window that asked for it, not wherever a window manager finds room.
    if (over)
        ViewUtils::centerView(window(), over->window());
}

void QVRFacebookLoginWindowController::end()
{
    if (isWindowLoaded() && window()->isVisible())
        window()->close();
    else if (!m_ended) {
        m_ended = true;
        emit finished();
    }
}

bool QVRFacebookLoginWindowController::eventFilter(QObject* watched, QEvent* event)
{
    // Only this controller's own window ends the sign-in.
    if (isWindowLoaded() && watched == window() && event->type() == QEvent::Close && !m_ended) {
        m_ended = true;
        if (myWebView())
            myWebView()->stop();
        QMetaObject::invokeMethod(this, &QVRFacebookLoginWindowController::finished, Qt::QueuedConnection);
    }
    return SimpleWebViewWindowController::eventFilter(watched, event);
}

QVRFacebookSession& QVRFacebookSession::sharedInstance()
{
    static QVRFacebookSession s_session;
    return s_session;
}

QString QVRFacebookSession::accessToken() const
{
    return UserDefaults::standard().string(kTokenKey);
}

void QVRFacebookSession::setAccessToken(const QString& token)
{
    if (token.isEmpty())
        UserDefaults::standard().remove(kTokenKey);
    else
        UserDefaults::standard().setValue(kTokenKey, token);
}

QDateTime QVRFacebookSession::accessTokenExpiry() const
{
    const QVariant value = UserDefaults::standard().value(kExpiryKey);
    return value.isValid() ? QDateTime::fromString(value.toString(), Qt::ISODateWithMs) : QDateTime();
}

void QVRFacebookSession::setAccessTokenExpiry(const QDateTime& expiry)
{
    if (!expiry.isValid())
        UserDefaults::standard().remove(kExpiryKey);
    else
        UserDefaults::standard().setValue(kExpiryKey, expiry.toUTC().toString(Qt::ISODateWithMs));
}

void QVRFacebookSession::login(Completion completion, bool modal, QWidget* over)
{
    if (m_window)
        return;
    auto* controller = new QVRFacebookLoginWindowController();
    m_window = controller;
    QObject::connect(controller, &QVRFacebookLoginWindowController::finished, controller,
                     [this, controller, completion = std::move(completion)] {
                         if (m_window == controller)
                             m_window = nullptr;
                         if (completion)
                             completion(controller->loginError(), controller->loginCompleted());
                         controller->deleteLater();
                     });
    controller->placeAbove(over);
    if (modal)
        controller->window()->setWindowModality(Qt::ApplicationModal);
    controller->showWindow();
}

void QVRFacebookSession::logout()
{
    setAccessTokenExpiry(QDateTime());
    setAccessToken(QString());
}

bool QVRFacebookSession::restoreSavedSession()
{
    const QString token = accessToken();
    const QDateTime expiry = accessTokenExpiry();
    return !token.isEmpty() && expiry.isValid() && expiry > QDateTime::currentDateTimeUtc();
}
