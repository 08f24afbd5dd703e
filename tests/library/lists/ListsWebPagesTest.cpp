#include <QLabel>
#include <QProgressBar>
#include <QTest>
#include <QToolButton>
#include <QUrlQuery>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include "ListsTestSupport.h"
#include "foundation/Tessutils.h"
#include "foundation/Utils.h"
#include "library/lists/QVRMyTessarinesViewController.h"
#include "library/lists/QVRTessarineListsWebViewController.h"
#include "library/lists/QVRTessarineListsWindowController.h"
#include "service/ServiceWebSite.h"
#include "strings/UFM.h"

using namespace lists_test;
using library_test::waitUntil;

namespace {

const QByteArray kHtml = "text/html; charset=utf-8";

class ListsWebPages : public ListsTest {
protected:
    void SetUp() override
    {
        ListsTest::SetUp();
        ASSERT_TRUE(ServiceWebSite::setRoot(m_service.baseUrl()));
        m_service.setPage(QStringLiteral("/catalog"), kHtml, "<html><body>catalog</body></html>");
        m_service.setPage(QStringLiteral("/user/library"), kHtml,
                          "<html><body>library<script>var updates = 0; function updateLibrary() { updates++; "
                          "windowController.libraryUpdateFinished_(1); }</script></body></html>");
        m_controller = new QVRTessarineListsWindowController;
        m_window.reset(m_controller->myWindow());
        m_window->show();
    }
    void TearDown() override
    {
        m_window.reset();
        QVRTessarineListsWindowController::setFlashMillisecondsForTesting(0);
        ServiceWebSite::setRoot(QUrl());
        ListsTest::TearDown();
    }
    QList<FakeHttpRequest> pageRequests(const QString& path) const
    {
        QList<FakeHttpRequest> found;
        for (const FakeHttpRequest& request : m_service.requests())
            if (request.path == path)
                found.append(request);
        return found;
    }
    QVariant eval(QVRTessarineListsWebViewController* page, const QString& script)
    {
        QVariant result;
        bool done = false;
        page->webview()->page()->runJavaScript(script, [&](const QVariant& value) {
            result = value;
            done = true;
        });
        EXPECT_TRUE(waitUntil([&] { return done; }, 10000));
        return result;
    }
    bool loaded(QVRTessarineListsWebViewController* page)
    {
        return page && waitUntil([&] { return page->loadCompleted(); }, 15000);
    }

    QVRTessarineListsWindowController* m_controller = nullptr;
    std::unique_ptr<QWidget> m_window;
};

TEST_F(ListsWebPages, CatalogAsksWithTheQueryAndLogsTheScreen)
{
    m_controller->tabButton(QVRTessarineListsWindowController::Catalog)->click();
    ASSERT_TRUE(waitUntil([&] { return !pageRequests(QStringLiteral("/catalog")).isEmpty(); }, 15000));
    const QUrlQuery query(QString::fromUtf8(pageRequests(QStringLiteral("/catalog")).first().query));
    EXPECT_EQ(query.queryItemValue("platform"), "mac");
    EXPECT_EQ(query.queryItemValue("app_version", QUrl::FullyDecoded), Utils::appVersionBundleString());
    EXPECT_EQ(query.queryItemValue("os_version", QUrl::FullyDecoded), QSysInfo::productVersion());
    EXPECT_TRUE(m_controller->tabShowsSelected(QVRTessarineListsWindowController::Catalog));
    EXPECT_FALSE(events().filter(QStringLiteral("Catalog Screen")).isEmpty());
    ASSERT_TRUE(loaded(m_controller->catalogViewController()));
    EXPECT_TRUE(waitUntil([&] { return !m_controller->activityIndicator()->isVisible(); }));
}

TEST_F(ListsWebPages, SessionCookiesFollowTheSignedInUser)
{
    signIn(QStringLiteral("ann"));
    m_controller->tabButton(QVRTessarineListsWindowController::Library)->click();
    ASSERT_TRUE(waitUntil([&] { return !pageRequests(QStringLiteral("/user/library")).isEmpty(); }, 15000));
    const QByteArray cookies = pageRequests(QStringLiteral("/user/library")).first().headers.value("cookie");
    EXPECT_TRUE(cookies.contains("tessarine_auth_token=TOKEN-ann")) << cookies.constData();
    EXPECT_TRUE(cookies.contains("webview_session=1")) << cookies.constData();
    // A page without updateLibrary still ends a refresh.
    ASSERT_TRUE(loaded(m_controller->libraryViewController()));
    eval(m_controller->libraryViewController(), QStringLiteral("updateLibrary = undefined; 1"));
    m_controller->updateSelectedViewController();
    EXPECT_TRUE(m_controller->activityIndicator()->isVisible());
    EXPECT_TRUE(waitUntil([&] { return !m_controller->activityIndicator()->isVisible(); }, 5000));

    Tessutils::setCorvikAuthToken(QString());
    NotificationCenter::defaultCenter().post(QStringLiteral("ZERI_AuthenticationHandlerDidLogoutNotification"));
    EXPECT_EQ(m_controller->libraryViewController(), nullptr);
    m_controller->tabButton(QVRTessarineListsWindowController::Catalog)->click();
    ASSERT_TRUE(waitUntil([&] { return !pageRequests(QStringLiteral("/catalog")).isEmpty(); }, 15000));
    EXPECT_FALSE(
        pageRequests(QStringLiteral("/catalog")).first().headers.value("cookie").contains("tessarine_auth_token"));
}

TEST_F(ListsWebPages, PageScriptsReachTheThreeMethodsOnly)
{
    signIn(QStringLiteral("ann"));
    // A page that asks to open documents on its own (twenty times as it loads) opens none; one asked for by the
    // user's key in the page opens once.
    m_service.setPage(QStringLiteral("/user/library"), kHtml,
                      "<html><head><script>for (let i = 0; i < 20; ++i) "
                      "windowController.launchTessarineWithId_('unasked');</script></head>"
                      "<body><script>function updateLibrary() { windowController.libraryUpdateFinished_(1); }"
                      "document.addEventListener('keydown', () => windowController.launchTessarineWithId_('abc'));"
                      "</script></body></html>");
    QVRTessarineListsWindowController::setFlashMillisecondsForTesting(300);
    m_controller->tabButton(QVRTessarineListsWindowController::Library)->click();
    auto* library = m_controller->libraryViewController();
    ASSERT_TRUE(loaded(library));
    QTest::qWait(500);
    EXPECT_EQ(m_service.requestCount(QStringLiteral("tessarine.getByStringId")), 0);
    QWidget* pageWidget = library->webview()->focusProxy() ? library->webview()->focusProxy() : library->webview();
    QTest::keyClick(pageWidget, Qt::Key_Space);
    ASSERT_TRUE(
        waitUntil([&] { return m_service.requestCount(QStringLiteral("tessarine.getByStringId")) == 1; }, 15000));
    EXPECT_EQ(m_service.lastRequest(QStringLiteral("tessarine.getByStringId"))->fields.value("string_id"), "abc");
    EXPECT_EQ(eval(library, QStringLiteral("typeof windowController.userDidLogout")).toString(), "undefined");

    // Bad ids do nothing.
    eval(library, QStringLiteral("windowController.launchTessarineWithId_(42); "
                                 "windowController.launchTessarineWithId_(''); "
                                 "windowController.launchTessarineWithId_('x'.repeat(5000)); 1"));
    QTest::qWait(200);
    EXPECT_EQ(m_service.requestCount(QStringLiteral("tessarine.getByStringId")), 1);

    // Refresh runs updateLibrary, whose answer stops the indicator.
    m_controller->updateSelectedViewController();
    EXPECT_TRUE(waitUntil([&] { return !m_controller->activityIndicator()->isVisible(); }, 5000));

    // The page switches the window to the Catalog only for a click or key of the user's, never on its own.
    eval(library, QStringLiteral("windowController.goToCatalog(); 1"));
    QTest::qWait(300);
    EXPECT_EQ(m_controller->selectedViewController(), library);
    QTest::mouseClick(pageWidget, Qt::LeftButton, {}, QPoint(5, 5));
    eval(library, QStringLiteral("windowController.goToCatalog(); 1"));
    ASSERT_TRUE(waitUntil([&] {
        return m_controller->selectedViewController() == m_controller->catalogViewController() &&
               m_controller->catalogViewController();
    }));
}

TEST_F(ListsWebPages, OtherOriginsGetNoBridge)
{
    m_controller->tabButton(QVRTessarineListsWindowController::Catalog)->click();
    auto* catalog = m_controller->catalogViewController();
    ASSERT_TRUE(loaded(catalog));
    EXPECT_EQ(eval(catalog, QStringLiteral("typeof windowController")).toString(), "object");
    QUrl local = m_service.baseUrl();
    local.setHost(QStringLiteral("localhost"));
    local.setPath(QStringLiteral("/catalog"));
    bool finished = false;
    QObject::connect(catalog->webview(), &QWebEngineView::loadFinished, [&](bool) { finished = true; });
    catalog->webview()->load(local);
    ASSERT_TRUE(waitUntil([&] { return finished; }, 15000));
    EXPECT_EQ(eval(catalog, QStringLiteral("typeof windowController")).toString(), "undefined");
    // Even reaching the channel directly does nothing.
    eval(catalog, QStringLiteral("typeof qt !== 'undefined' && typeof QWebChannel !== 'undefined' ? 1 : 0"));
    m_controller->openMyTessarines();
    QTest::qWait(100);
    EXPECT_EQ(m_controller->selectedViewController(), m_controller->myTessarinesViewController());
}

TEST_F(ListsWebPages, FailedCatalogShowsThePanelUntilALoadSucceeds)
{
    m_service.setPage(QStringLiteral("/catalog"), kHtml, "<html><body>down</body></html>", 500);
    m_controller->tabButton(QVRTessarineListsWindowController::Catalog)->click();
    auto* catalog = m_controller->catalogViewController();
    ASSERT_TRUE(waitUntil([&] { return catalog->unableToConnectView()->isVisible(); }, 15000));
    QStringList texts;
    for (QLabel* label : catalog->unableToConnectView()->findChildren<QLabel*>())
        texts.append(label->text());
    EXPECT_TRUE(texts.contains(UFM::UNABLE_TO_LOAD_CATALOG_TEXT()));
    EXPECT_TRUE(texts.contains(UFM::CHECK_YOUR_CONNECTION_TEXT()));
    EXPECT_TRUE(texts.contains(UFM::RELOAD_NOW_TEXT()));
    EXPECT_FALSE(m_controller->activityIndicator()->isVisible());

    m_service.setPage(QStringLiteral("/catalog"), kHtml, "<html><body>up</body></html>");
    catalog->connectionFailedBigButton()->click();
    ASSERT_TRUE(loaded(catalog));
    EXPECT_FALSE(catalog->unableToConnectView()->isVisible());
    EXPECT_EQ(pageRequests(QStringLiteral("/catalog")).size(), 2);

    // After a good load a failure keeps the page.
    m_service.setPage(QStringLiteral("/catalog"), kHtml, "<html><body>down</body></html>", 500);
    catalog->reloadWebView();
    ASSERT_TRUE(waitUntil([&] { return pageRequests(QStringLiteral("/catalog")).size() == 3; }, 15000));
    QTest::qWait(300);
    EXPECT_FALSE(catalog->unableToConnectView()->isVisible());
}

TEST_F(ListsWebPages, UnreachableCatalogShowsTheApplicationsPanelAloneUntilItLoads)
{
    ASSERT_TRUE(ServiceWebSite::setRoot(FakeWebService::unreachableBaseUrl()));
    m_controller->tabButton(QVRTessarineListsWindowController::Catalog)->click();
    auto* catalog = m_controller->catalogViewController();
    ASSERT_TRUE(waitUntil([&] { return catalog->unableToConnectView()->isVisible(); }, 15000));
    // Nothing of the engine's own error page under or over it.
    EXPECT_FALSE(catalog->webview()->isVisible());
    EXPECT_FALSE(catalog->webview()->page()->settings()->testAttribute(QWebEngineSettings::ErrorPageEnabled));
    EXPECT_FALSE(m_controller->activityIndicator()->isVisible());
    EXPECT_TRUE(m_window->isVisible());

    // Back online, the reload shows the page and the panel goes.
    ASSERT_TRUE(ServiceWebSite::setRoot(m_service.baseUrl()));
    catalog->loadWebViewWithURL(QVRTessarineListsWebViewController::pageURL(QStringLiteral("/catalog")));
    ASSERT_TRUE(loaded(catalog));
    EXPECT_TRUE(catalog->webview()->isVisible());
    EXPECT_FALSE(catalog->unableToConnectView()->isVisible());
}

// Signed out, only the Catalog shows activity: a status left running by a page that is no longer shown goes.
TEST_F(ListsWebPages, SignedOutPagesOtherThanTheCatalogKeepNoActivityRunning)
{
    auto* myDocuments = m_controller->myTessarinesViewController();
    ASSERT_TRUE(waitUntil([&] { return !myDocuments->updateInProgress(); }));
    m_controller->tabButton(QVRTessarineListsWindowController::Catalog)->click();
    EXPECT_TRUE(m_controller->activityIndicator()->isVisible());
    m_controller->tabButton(QVRTessarineListsWindowController::MyTessarines)->click();
    ASSERT_TRUE(waitUntil([&] { return !myDocuments->updateInProgress(); }));
    EXPECT_FALSE(m_controller->activityIndicator()->isVisible());
    EXPECT_FALSE(m_controller->updatingField()->isVisible());
    ASSERT_TRUE(loaded(m_controller->catalogViewController()));
    EXPECT_FALSE(m_controller->activityIndicator()->isVisible());

    // Signing out while the Library loads.
    signIn(QStringLiteral("ann"));
    m_controller->tabButton(QVRTessarineListsWindowController::Library)->click();
    EXPECT_TRUE(m_controller->activityIndicator()->isVisible());
    Tessutils::setCorvikAuthToken(QString());
    NotificationCenter::defaultCenter().post(QStringLiteral("ZERI_AuthenticationHandlerDidLogoutNotification"));
    EXPECT_EQ(m_controller->selectedViewController(), myDocuments);
    ASSERT_TRUE(waitUntil([&] { return !myDocuments->updateInProgress(); }));
    EXPECT_FALSE(m_controller->activityIndicator()->isVisible());
    EXPECT_FALSE(m_controller->updatingField()->isVisible());
}

TEST_F(ListsWebPages, AnalyticsPageOpensOnceAndDoneReturns)
{
    signIn(QStringLiteral("ann"));
    m_service.setPage(QStringLiteral("/user/analytics/abc/user"), kHtml, "<html><body>stats</body></html>", 404);
    NotificationCenter::defaultCenter().post(QStringLiteral("showAnalyticsForATessarine"), nullptr,
                                             {{QStringLiteral("tessarineStringId"), QStringLiteral("abc")}});
    auto* analytics = m_controller->analyticsViewController();
    ASSERT_TRUE(analytics);
    EXPECT_EQ(m_controller->selectedViewController(), analytics);
    NotificationCenter::defaultCenter().post(QStringLiteral("showAnalyticsForATessarine"), nullptr,
                                             {{QStringLiteral("tessarineStringId"), QStringLiteral("other")}});
    EXPECT_EQ(m_controller->analyticsViewController(), analytics);
    ASSERT_TRUE(waitUntil([&] { return !pageRequests(QStringLiteral("/user/analytics/abc/user")).isEmpty(); }, 15000));
    EXPECT_TRUE(pageRequests(QStringLiteral("/user/analytics/other/user")).isEmpty());
    // The failed load stops the indicator.
    EXPECT_TRUE(waitUntil([&] { return !m_controller->activityIndicator()->isVisible(); }, 10000));
    QToolButton* done = analytics->closeButton();
    EXPECT_EQ(done->x(), analytics->webview()->width() - done->width() - 52);
    EXPECT_EQ(done->y(), 30);
    done->click();
    EXPECT_EQ(m_controller->selectedViewController(), m_controller->myTessarinesViewController());
    EXPECT_EQ(m_controller->analyticsViewController(), nullptr);
}

} // namespace
