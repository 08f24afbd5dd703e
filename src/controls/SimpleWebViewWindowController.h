#pragma once

#include <functional>

#include <QPointer>
#include <QUrl>
#include <QWidget>

class QWebEngineView;

// A plain window holding one web view that loads a given address. The window and its web view are made on the
// first call of window() (windowDidLoad then loads the address), so constructing the controller starts no web
// engine. Subclasses follow the page's loading through the virtual hooks. The controller owns the window.
class SimpleWebViewWindowController : public QObject {
    Q_OBJECT
public:
    explicit SimpleWebViewWindowController(const QUrl& url, QObject* parent = nullptr);
    ~SimpleWebViewWindowController() override;

    QUrl url() const { return m_url; }

    QWidget* window();
    bool isWindowLoaded() const { return !m_window.isNull(); }
    QWebEngineView* myWebView();

    // Runs each time the window is closed.
    void setOnWebViewCloseBlock(std::function<void()> block) { m_onWebViewCloseBlock = std::move(block); }

    void showWindow();

protected:
    // Connects the web view's loading to the hooks below and loads the address.
    virtual void windowDidLoad();
    virtual void webViewDidStartLoading(const QUrl& url) { Q_UNUSED(url); }
    virtual void webViewDidFinishLoading(const QUrl& url, bool ok)
    {
        Q_UNUSED(url);
        Q_UNUSED(ok);
    }
    virtual void webViewUrlChanged(const QUrl& url) { Q_UNUSED(url); }

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QUrl m_url;
    QPointer<QWidget> m_window;
    QPointer<QWebEngineView> m_webView;
    std::function<void()> m_onWebViewCloseBlock;
};
