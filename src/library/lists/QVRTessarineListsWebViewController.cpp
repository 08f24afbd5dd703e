#include "library/lists/QVRTessarineListsWebViewController.h"

#include "library/account/WebViewSessionCookies.h"

#include <QChildEvent>
#include <QFile>
#include <QLabel>
#include <QNetworkCookie>
#include <QResizeEvent>
#include <QSysInfo>
#include <QToolButton>
#include <QUrlQuery>
#include <QVBoxLayout>
#include <QWebChannel>
#include <QWebEngineCookieStore>
#include <QWebEngineLoadingInfo>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include "foundation/Tessutils.h"
#include "foundation/Utils.h"
#include "library/LibraryLogging.h"
#include "library/lists/QVRTessarineListsWindowController.h"
#include "service/ServiceWebSite.h"
#include "strings/UFM.h"

namespace {

constexpr int kMaximumStringIDLength = 128;

// Defines window.windowController for pages of the site's origin only; calls made before the channel is up are
// queued and passed on once it is.
QString bridgeScript()
{
    QFile file(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
    QString channelSource;
    if (file.open(QIODevice::ReadOnly))
        channelSource = QString::fromUtf8(file.readAll());
    const QString origin = ServiceWebSite::root().toString(QUrl::RemovePath | QUrl::StripTrailingSlash);
    return QStringLiteral(R"JS(
(function() {
    if (window.location.origin !== %1 || window.top !== window.self)
        return;
    %2
    var pending = [];
    var bridge = null;
    function call(name, args) {
        if (bridge)
            bridge[name].apply(bridge, args);
        else
            pending.push([name, args]);
    }
    window.windowController = {
        launchTessarineWithId_: function(id) { call('launchTessarineWithId_', [id]); },
        goToCatalog: function() { call('goToCatalog', []); },
        libraryUpdateFinished_: function(value) { call('libraryUpdateFinished_', [value === undefined ? null : value]); }
    };
    new QWebChannel(qt.webChannelTransport, function(channel) {
        bridge = channel.objects.windowController;
        pending.forEach(function(entry) { bridge[entry[0]].apply(bridge, entry[1]); });
        pending = [];
    });
})();
)JS")
        .arg(QStringLiteral("'") + origin + QStringLiteral("'"), channelSource);
}

QIcon listsImage(const QString& name)
{
    return QIcon(QStringLiteral(":/library/lists/%1.svg").arg(name));
}

// The button shows `name`, and `pressedName` ("down_" + name unless given) while it is held down.
void showPressedImage(QToolButton* button, const QString& name, const QString& pressedName = {})
{
    const QIcon normal = listsImage(name);
    const QIcon pressed = listsImage(pressedName.isEmpty() ? QStringLiteral("down_") + name : pressedName);
    button->setIcon(normal);
    QObject::connect(button, &QToolButton::pressed, button, [button, pressed] { button->setIcon(pressed); });
    QObject::connect(button, &QToolButton::released, button, [button, normal] { button->setIcon(normal); });
}

} // namespace

QVRTessarineListsWebPage::QVRTessarineListsWebPage(QObject* parent)
    : QWebEnginePage(parent)
{
}

QVRTessarineListsScriptBridge::QVRTessarineListsScriptBridge(QVRTessarineListsWindowController* controller,
                                                             QWebEnginePage* page)
    : QObject(page)
    , m_controller(controller)
    , m_page(page)
{
}

bool QVRTessarineListsScriptBridge::pageIsTrusted() const
{
    if (!m_page || !m_controller)
        return false;
    const QUrl root = ServiceWebSite::root();
    const QUrl url = m_page->url();
    return url.scheme() == root.scheme() && url.host() == root.host() && url.port() == root.port();
}

void QVRTessarineListsScriptBridge::launchTessarineWithId_(const QVariant& stringID)
{
    if (!pageIsTrusted() || stringID.typeId() != QMetaType::QString)
        return;
    const QString text = stringID.toString();
    if (text.isEmpty() || text.size() > kMaximumStringIDLength)
        return;
    if (!takeGesture("open a document"))
        return;
    m_controller->launchTessarineWithId(text);
}

bool QVRTessarineListsScriptBridge::takeGesture(const char* what)
{
    if (!m_lastGesture.isValid() || m_lastGesture.elapsed() > kGestureMs) {
        qCWarning(lcLibrary) << "the page asked to" << what << "without a click or key of the user's; ignored";
        return false;
    }
    m_lastGesture.invalidate(); // one step for each gesture
    return true;
}

void QVRTessarineListsScriptBridge::watchGesturesIn(QWidget* view)
{
    view->installEventFilter(this);
    for (QWidget* child : view->findChildren<QWidget*>())
        child->installEventFilter(this);
}

bool QVRTessarineListsScriptBridge::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::ChildAdded:
        // The engine makes the widget that takes the input when it first shows a page (and again after a crash).
        if (auto* child = qobject_cast<QWidget*>(static_cast<QChildEvent*>(event)->child()))
            watchGesturesIn(child);
        break;
    case QEvent::MouseButtonRelease:
    case QEvent::KeyPress:
    case QEvent::TouchEnd:
        m_lastGesture.start();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void QVRTessarineListsScriptBridge::goToCatalog()
{
    if (pageIsTrusted() && takeGesture("show the Catalog"))
        m_controller->goToCatalog();
}

void QVRTessarineListsScriptBridge::libraryUpdateFinished_(const QVariant&)
{
    if (pageIsTrusted())
        m_controller->libraryUpdateFinished();
}

QVRTessarineListsWebViewController::QVRTessarineListsWebViewController(
    QVRTessarineListsWindowController* windowController, QWidget* parent)
    : QWidget(parent)
    , m_windowController(windowController)
{
    m_webview = new QWebEngineView(this);
    auto* page = new QVRTessarineListsWebPage(m_webview);
    m_webview->setPage(page);
    // A page that cannot load is the application's to explain, never the engine's own error page.
    page->settings()->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    auto* channel = new QWebChannel(page);
    auto* bridge = new QVRTessarineListsScriptBridge(windowController, page);
    bridge->watchGesturesIn(m_webview);
    channel->registerObject(QStringLiteral("windowController"), bridge);
    page->setWebChannel(channel);
    QWebEngineScript script;
    script.setName(QStringLiteral("windowControllerBridge"));
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::MainWorld);
    script.setRunsOnSubFrames(false);
    script.setSourceCode(bridgeScript());
    page->scripts().insert(script);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_webview);
    connect(page, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& info) {
        switch (info.status()) {
        case QWebEngineLoadingInfo::LoadStartedStatus:
            loadStart();
            break;
        case QWebEngineLoadingInfo::LoadSucceededStatus:
            if (info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain && info.errorCode() >= 400)
                showNoConnectionState();
            else
                loadFinished();
            break;
        case QWebEngineLoadingInfo::LoadFailedStatus:
        case QWebEngineLoadingInfo::LoadStoppedStatus:
            showNoConnectionState();
            break;
        }
    });
}

QVRTessarineListsWebViewController::~QVRTessarineListsWebViewController() = default;

QUrl QVRTessarineListsWebViewController::pageURL(const QString& path)
{
    QUrl url = ServiceWebSite::root();
    url.setPath(path, QUrl::TolerantMode);
    QUrlQuery query;
    // Each value fully encoded: a version holding "&" stays one value.
    auto encoded = [](const QString& value) { return QString::fromLatin1(QUrl::toPercentEncoding(value)); };
    query.addQueryItem(QStringLiteral("platform"), QStringLiteral("mac"));
    query.addQueryItem(QStringLiteral("app_version"), encoded(Utils::appVersionBundleString()));
    query.addQueryItem(QStringLiteral("os_version"), encoded(QSysInfo::productVersion()));
    url.setQuery(query.query(QUrl::FullyEncoded), QUrl::StrictMode);
    return url;
}

void QVRTessarineListsWebViewController::loadWebViewWithURL(const QUrl& url)
{
    m_url = url;
    WebViewSessionCookies::plant(m_webview->page()->profile());
    m_webview->load(url);
}

void QVRTessarineListsWebViewController::reloadWebView()
{
    loadWebViewWithURL(m_url);
}

void QVRTessarineListsWebViewController::loadStart()
{
    if (m_windowController)
        m_windowController->showUpdating(true);
}

void QVRTessarineListsWebViewController::loadFinished()
{
    m_loadCompleted = true;
    if (m_windowController)
        m_windowController->updatesCompletedForViewController(this);
}

QVRTessarineListsCatalogLibraryWebViewController::QVRTessarineListsCatalogLibraryWebViewController(
    bool isCatalog, QVRTessarineListsWindowController* windowController, QWidget* parent)
    : QVRTessarineListsWebViewController(windowController, parent)
    , m_isCatalog(isCatalog)
{
    m_unableToConnectView = new QWidget(this);
    m_unableToConnectView->setFixedSize(380, 150);
    m_connectionFailedBigButton = new QToolButton(m_unableToConnectView);
    m_connectionFailedBigButton->setGeometry(0, 0, 380, 150);
    m_connectionFailedBigButton->setAutoRaise(true);
    const QString imageName = isCatalog ? QStringLiteral("unabled_catalog") : QStringLiteral("unabled_library");
    showPressedImage(m_connectionFailedBigButton, imageName);
    m_connectionFailedBigButton->setIconSize(QSize(380, 150));
    connect(m_connectionFailedBigButton, &QToolButton::clicked, this, [this] { onReloadPressed(); });
    struct Line {
        QRect frame;
        const char* style;
        QString text;
    };
    const Line lines[] = {
        {{38, 13, 300, 30},
         "font: bold 18px 'Helvetica'; color: #2B83C0;",
         isCatalog ? UFM::UNABLE_TO_LOAD_CATALOG_TEXT() : UFM::UNABLE_TO_LOAD_LIBRARY_TEXT()},
        {{7, 55, 250, 50}, "font: bold 14px 'Helvetica'; color: #2B83C0;", UFM::CHECK_YOUR_CONNECTION_TEXT()},
        {{194, 126, 100, 20}, "font: 11px 'Helvetica'; color: #AAAAAA;", UFM::RELOAD_NOW_TEXT()},
    };
    for (const Line& line : lines) {
        auto* label = new QLabel(line.text, m_unableToConnectView);
        label->setGeometry(line.frame);
        label->setWordWrap(true);
        label->setStyleSheet(QString::fromLatin1(line.style) + QStringLiteral(" background: transparent;"));
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    m_unableToConnectView->hide();
    loadWebViewWithURL(pageURL(isCatalog ? QStringLiteral("/catalog") : QStringLiteral("/user/library")));
}

void QVRTessarineListsCatalogLibraryWebViewController::update()
{
    if (!m_loadCompleted) {
        m_unableToConnectView->hide();
        reloadWebView();
        return;
    }
    if (m_isCatalog) {
        if (m_windowController)
            m_windowController->updatesCompletedForViewController(this);
        return;
    }
    // The page answers through libraryUpdateFinished_; a page without updateLibrary ends the update at once.
    QPointer<QVRTessarineListsCatalogLibraryWebViewController> self(this);
    m_webview->page()->runJavaScript(
        QStringLiteral("(typeof updateLibrary === 'function') ? (updateLibrary(), true) : false"),
        [self](const QVariant& ran) {
            if (self && !ran.toBool() && self->m_windowController)
                self->m_windowController->updatesCompletedForViewController(self);
        });
}

void QVRTessarineListsCatalogLibraryWebViewController::onReloadPressed()
{
    if (m_windowController)
        m_windowController->showUpdating(true);
    m_unableToConnectView->hide();
    reloadWebView();
}

void QVRTessarineListsCatalogLibraryWebViewController::loadFinished()
{
    m_unableToConnectView->hide();
    m_webview->show();
    QVRTessarineListsWebViewController::loadFinished();
}

void QVRTessarineListsCatalogLibraryWebViewController::showNoConnectionState()
{
    if (m_windowController)
        m_windowController->updatesCompletedForViewController(this);
    if (!m_loadCompleted) {
        // The panel alone: nothing of the failed page under or over it. The keyboard, if the page had it, goes to
        // the panel's Reload rather than stay in the hidden page, where no key would reach anything.
        QWidget* focus = window() ? window()->focusWidget() : nullptr;
        const bool pageHadKeyboard = focus && (focus == m_webview || m_webview->isAncestorOf(focus));
        m_webview->hide();
        m_unableToConnectView->show();
        m_unableToConnectView->raise();
        if (pageHadKeyboard)
            m_connectionFailedBigButton->setFocus(Qt::OtherFocusReason);
    }
}

void QVRTessarineListsCatalogLibraryWebViewController::resizeEvent(QResizeEvent* event)
{
    QVRTessarineListsWebViewController::resizeEvent(event);
    m_unableToConnectView->move((width() - m_unableToConnectView->width()) / 2,
                                (height() - m_unableToConnectView->height()) / 2);
}

QVRTessarineListsAnalyticsWebViewController::QVRTessarineListsAnalyticsWebViewController(
    const QString& stringID, QVRTessarineListsWindowController* windowController, QWidget* parent)
    : QVRTessarineListsWebViewController(windowController, parent)
    , m_tessarineId(stringID)
{
    m_webview->page()->setBackgroundColor(QColor(0xE9, 0xE8, 0xE3));
    m_closeButton = new QToolButton(this);
    m_closeButton->setAutoRaise(true);
    showPressedImage(m_closeButton, QStringLiteral("analytics_done_btn"), QStringLiteral("analytics_done_btn_hit"));
    m_closeButton->setIconSize(QSize(64, 28));
    m_closeButton->setFixedSize(64, 28);
    connect(m_closeButton, &QToolButton::clicked, this, [this] {
        if (m_windowController)
            m_windowController->closeAnalytics();
    });
    const QString encodedID = QString::fromLatin1(QUrl::toPercentEncoding(stringID));
    QUrl url = pageURL(QStringLiteral("/user/analytics/%1/user").arg(encodedID));
    loadWebViewWithURL(url);
    placeDoneButton();
}

void QVRTessarineListsAnalyticsWebViewController::showNoConnectionState()
{
    // A failed load also ends the activity.
    if (m_windowController)
        m_windowController->updatesCompletedForViewController(this);
}

void QVRTessarineListsAnalyticsWebViewController::placeDoneButton()
{
    m_closeButton->move(m_webview->width() - m_closeButton->width() - 52, 30);
    m_closeButton->raise();
}

void QVRTessarineListsAnalyticsWebViewController::resizeEvent(QResizeEvent* event)
{
    QVRTessarineListsWebViewController::resizeEvent(event);
    m_webview->resize(size());
    placeDoneButton();
}
