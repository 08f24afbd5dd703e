#include "controls/SimpleWebViewWindowController.h"

#include <QCloseEvent>
#include <QVBoxLayout>
#include <QWebEngineView>

#include "controls/FloatingWindowCloser.h"
#include "strings/UFM.h"

SimpleWebViewWindowController::SimpleWebViewWindowController(const QUrl& url, QObject* parent)
    : QObject(parent)
    , m_url(url)
{
}

SimpleWebViewWindowController::~SimpleWebViewWindowController()
{
    delete m_window.data();
}

QWidget* SimpleWebViewWindowController::window()
{
    if (!m_window) {
        m_window = new QWidget(nullptr, Qt::Window);
        m_window->setObjectName(QStringLiteral("SimpleWebviewWindowController"));
        m_window->resize(890, 710);
        m_webView = new QWebEngineView(m_window);
        auto* layout = new QVBoxLayout(m_window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(m_webView);
        m_window->installEventFilter(this);
        // Closable from the keyboard and without a window manager: Escape, Ctrl+W and a close button of its own.
        FloatingWindowCloser::install(m_window, UFM::SAYS_CLOSE());
        windowDidLoad();
    }
    return m_window;
}

QWebEngineView* SimpleWebViewWindowController::myWebView()
{
    window();
    return m_webView;
}

void SimpleWebViewWindowController::windowDidLoad()
{
    connect(m_webView, &QWebEngineView::loadStarted, this, [this] {
        if (m_webView)
            webViewDidStartLoading(m_webView->url());
    });
    connect(m_webView, &QWebEngineView::loadFinished, this, [this](bool ok) {
        if (m_webView)
            webViewDidFinishLoading(m_webView->url(), ok);
    });
    connect(m_webView, &QWebEngineView::urlChanged, this, [this](const QUrl& url) { webViewUrlChanged(url); });
    if (m_url.isValid())
        m_webView->load(m_url);
}

void SimpleWebViewWindowController::showWindow()
{
    window()->show();
    m_window->raise();
    m_window->activateWindow();
}

bool SimpleWebViewWindowController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window && event->type() == QEvent::Close) {
        if (auto block = m_onWebViewCloseBlock)
            block();
    }
    return QObject::eventFilter(watched, event);
}
