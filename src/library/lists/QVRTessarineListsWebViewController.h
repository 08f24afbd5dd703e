#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QWebEnginePage>
#include <QWidget>

class QLabel;
class QToolButton;
class QWebChannel;
class QWebEngineView;
class QVRTessarineListsWindowController;

// The page of the service's web site: HTTP error answers count as failed loads, and the page script bridge
// ("windowController") is offered only to pages of the site's own origin.
class QVRTessarineListsWebPage : public QWebEnginePage {
    Q_OBJECT
public:
    explicit QVRTessarineListsWebPage(QObject* parent = nullptr);
};

// What page scripts may call: three methods, acting only while the page shows the site's origin. A document is
// opened, and the window switched to the Catalog, only for a user's gesture: a click or a key in the page's view
// shortly before (kGestureMs), one step for each; a page that asks on its own (on load, from a timer) does
// nothing.
class QVRTessarineListsScriptBridge : public QObject {
    Q_OBJECT
public:
    static constexpr int kGestureMs = 3000;

    QVRTessarineListsScriptBridge(QVRTessarineListsWindowController* controller, QWebEnginePage* page);
    Q_INVOKABLE void launchTessarineWithId_(const QVariant& stringID);
    Q_INVOKABLE void goToCatalog();
    Q_INVOKABLE void libraryUpdateFinished_(const QVariant& ignored);
    // Watches `view` and the widgets the engine puts in it for the user's clicks and keys.
    void watchGesturesIn(QWidget* view);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool pageIsTrusted() const;
    // True once for a click or key of the user's in the page shortly before; a page's own call is refused.
    bool takeGesture(const char* what);
    QPointer<QVRTessarineListsWindowController> m_controller;
    QPointer<QWebEnginePage> m_page;
    QElapsedTimer m_lastGesture;
};

// A page of the service's web site in the lists window. Addresses get the query platform, app_version and
// os_version.
class QVRTessarineListsWebViewController : public QWidget {
    Q_OBJECT
public:
    explicit QVRTessarineListsWebViewController(QVRTessarineListsWindowController* windowController,
                                                QWidget* parent = nullptr);
    ~QVRTessarineListsWebViewController() override;

    // `base` + the query.
    static QUrl pageURL(const QString& path);

    void loadWebViewWithURL(const QUrl& url);
    void reloadWebView();
    bool loadCompleted() const { return m_loadCompleted; }
    QUrl urlString() const { return m_url; }
    QWebEngineView* webview() const { return m_webview; }

protected:
    virtual void loadStart();
    virtual void loadFinished();
    virtual void showNoConnectionState() {}

    QPointer<QVRTessarineListsWindowController> m_windowController;
    QWebEngineView* m_webview = nullptr;
    bool m_loadCompleted = false;
    QUrl m_url;
};

// The Library or the Catalog page, with its failure panel.
class QVRTessarineListsCatalogLibraryWebViewController : public QVRTessarineListsWebViewController {
    Q_OBJECT
public:
    QVRTessarineListsCatalogLibraryWebViewController(bool isCatalog,
                                                     QVRTessarineListsWindowController* windowController,
                                                     QWidget* parent = nullptr);
    bool isCatalog() const { return m_isCatalog; }
    void update();
    void onReloadPressed();
    QWidget* unableToConnectView() const { return m_unableToConnectView; }
    QToolButton* connectionFailedBigButton() const { return m_connectionFailedBigButton; }

protected:
    void loadFinished() override;
    void showNoConnectionState() override;
    void resizeEvent(QResizeEvent* event) override;

private:
    bool m_isCatalog;
    QWidget* m_unableToConnectView = nullptr;
    QToolButton* m_connectionFailedBigButton = nullptr;
};

// The analytics page of one published document, with its Done button.
class QVRTessarineListsAnalyticsWebViewController : public QVRTessarineListsWebViewController {
    Q_OBJECT
public:
    QVRTessarineListsAnalyticsWebViewController(const QString& stringID,
                                                QVRTessarineListsWindowController* windowController,
                                                QWidget* parent = nullptr);
    QString tessarineId() const { return m_tessarineId; }
    QToolButton* closeButton() const { return m_closeButton; }

protected:
    void showNoConnectionState() override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void placeDoneButton();
    QString m_tessarineId;
    QToolButton* m_closeButton = nullptr;
};
