#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMutex>
#include <QMutexLocker>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest/QTest>
#include <QtWebEngineCore/QWebEngineProfile>
#include <QtWebEngineCore/QWebEngineUrlRequestInterceptor>
#include <QtWebEngineWidgets/QWebEngineView>

#include "app/QVRActionLog.h"
#include "app/QVRTimedAnalytics.h"
#include "app/ViewerKeyNotifications.h"
#include "elements/players/QVR_YouTubeVideoPlayingView.h"
#include "platform/NotificationCenter.h"
#include "support/fakeservice/FakeHttp.h"

namespace {

// Every request the default profile makes; anything that is not to 127.0.0.1 is blocked and counted.
class LocalOnlyInterceptor : public QWebEngineUrlRequestInterceptor {
public:
    void interceptRequest(QWebEngineUrlRequestInfo& info) override
    {
        QMutexLocker lock(&m_mutex);
        m_urls.append(info.requestUrl());
        if (info.requestUrl().host() != QLatin1String("127.0.0.1")) {
            m_foreign.append(info.requestUrl());
            info.block(true);
        }
    }
    QList<QUrl> urls() const
    {
        QMutexLocker lock(&m_mutex);
        return m_urls;
    }
    QList<QUrl> foreign() const
    {
        QMutexLocker lock(&m_mutex);
        return m_foreign;
    }

private:
    mutable QMutex m_mutex;
    QList<QUrl> m_urls;
    QList<QUrl> m_foreign;
};

// Stands for the viewer's view: counts the key presses that reach it.
class Host : public QWidget {
public:
    Host() { resize(800, 600); }
    int keys = 0;

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        ++keys;
        QWidget::keyPressEvent(event);
    }
};

class YouTubeVideoPlayingViewTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_interceptor = new LocalOnlyInterceptor; // lives as long as the profile
        QWebEngineProfile::defaultProfile()->setUrlRequestInterceptor(s_interceptor);
    }

    void SetUp() override
    {
#if defined(__SANITIZE_ADDRESS__)
        GTEST_SKIP() << "the web engine's own code trips AddressSanitizer";
#endif
        ASSERT_TRUE(m_server.start());
        m_pageURL = QStringLiteral("http://127.0.0.1:%1/page.html").arg(m_server.port());
    }

    void TearDown() override
    {
        EXPECT_TRUE(s_interceptor->foreign().isEmpty());
    }

    int pageRequests() const
    {
        QMutexLocker lock(&m_mutex);
        return m_pageRequests;
    }

    static LocalOnlyInterceptor* s_interceptor;
    mutable QMutex m_mutex;
    int m_pageRequests = 0;
    FakeHttpServer m_server{[this](const FakeHttpRequest& request) {
        QMutexLocker lock(&m_mutex);
        if (request.path == QLatin1String("/page.html"))
            ++m_pageRequests;
        return FakeHttpReply::raw(200, "text/html", "<html><body style='margin:0;background:#2060c0'></body></html>");
    }};
    QString m_pageURL;
};

LocalOnlyInterceptor* YouTubeVideoPlayingViewTest::s_interceptor = nullptr;

} // namespace

TEST(YouTubeVideoPlayingViewRules, SiteLinksWithoutAQueryAskToStartAtOnce)
{
    const QString autoplay = QStringLiteral("?autoplay=1&rel=0");
    const QString addsQuery[] = {QStringLiteral("http://youtu.be/Ab3_-x9Zq0Q"),
                                 QStringLiteral("https://www.youtube.com/embed/Ab3_-x9Zq0Q"),
                                 QStringLiteral("https://m.YouTube.com/embed/Ab3_-x9Zq0Q")};
    for (const QString& link : addsQuery)
        EXPECT_EQ(QVR_YouTubeVideoPlayingView::autoplayURLString(link), link + autoplay) << qPrintable(link);
    // An empty query is not doubled, and a fragment stays last.
    EXPECT_EQ(QVR_YouTubeVideoPlayingView::autoplayURLString(QStringLiteral("https://youtu.be/Ab3_-x9Zq0Q?")),
              QStringLiteral("https://youtu.be/Ab3_-x9Zq0Q?autoplay=1&rel=0"));
    EXPECT_EQ(QVR_YouTubeVideoPlayingView::autoplayURLString(QStringLiteral("https://youtu.be/Ab3_-x9Zq0Q#t=5")),
              QStringLiteral("https://youtu.be/Ab3_-x9Zq0Q?autoplay=1&rel=0#t=5"));
    const QString unchanged[] = {QStringLiteral("https://www.youtube.com/embed/Ab3_-x9Zq0Q?autoplay=1"),
                                 QStringLiteral("https://youtu.be/Ab3_-x9Zq0Q?t=10"),
                                 QStringLiteral("http://127.0.0.1:8080/page.html"),
                                 QStringLiteral("https://vimeo.com/76979871"),
                                 QStringLiteral("https://example.org/youtube.com/watch"),
                                 QString()};
    for (const QString& link : unchanged)
        EXPECT_EQ(QVR_YouTubeVideoPlayingView::autoplayURLString(link), link) << qPrintable(link);

    EXPECT_TRUE(QVR_YouTubeVideoPlayingView::isLoadableURL(QUrl(QStringLiteral("https://youtu.be/x"))));
    EXPECT_TRUE(QVR_YouTubeVideoPlayingView::isLoadableURL(QUrl(QStringLiteral("HTTP://127.0.0.1/x"))));
    for (const char* link : {"file:///etc/passwd", "javascript:alert(1)", "data:text/html,<b>x</b>", "ftp://host/x",
                             "qrc:/page.html", "not a link", "", "http://"})
        EXPECT_FALSE(QVR_YouTubeVideoPlayingView::isLoadableURL(QUrl(QString::fromUtf8(link)))) << link;
}

TEST_F(YouTubeVideoPlayingViewTest, FillsTheViewBelowTheStripAndLoadsOnEachNewParent)
{
    Host first;
    Host second;
    auto* view = new QVR_YouTubeVideoPlayingView(QRect(0, 0, 800, 600), m_pageURL);
    view->setBackgroundColor(Qt::black);
    EXPECT_FALSE(view->acceptDrops());
    EXPECT_FALSE(view->webView()->acceptDrops());
    QTest::qWait(50);
    EXPECT_EQ(pageRequests(), 0) << "nothing loads without a parent";

    view->setParent(&first);
    view->show();
    first.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return pageRequests() == 1; }, 10000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return view->webView()->url() == QUrl(m_pageURL); }, 5000));
    EXPECT_TRUE(s_interceptor->urls().contains(QUrl(m_pageURL))) << "the interceptor watches the view's profile";

    // Web content below the strip, the view's black in the strip, the close button in the top-right corner.
    const int strip = view->closeButton()->height();
    EXPECT_EQ(view->webView()->geometry(), QRect(0, strip, 800, 600 - strip));
    const QColor page(0x20, 0x60, 0xc0);
    QImage shot;
    const bool painted = QTest::qWaitFor(
        [&] {
            shot = first.grab().toImage();
            return shot.pixelColor(400, 400) == page;
        },
        10000);
    EXPECT_TRUE(painted) << "page pixel " << qPrintable(shot.pixelColor(400, 400).name());
    EXPECT_EQ(shot.size(), QSize(800, 600));
    EXPECT_EQ(shot.pixelColor(300, strip), page) << "the page starts right below the strip";
    EXPECT_EQ(shot.pixelColor(799, 599), page);
    EXPECT_EQ(shot.pixelColor(300, strip - 1), QColor(Qt::black));
    EXPECT_EQ(shot.pixelColor(10, 5), QColor(Qt::black));
    const QRect close = view->closeButton()->geometry();
    EXPECT_GT(close.left(), 700);
    EXPECT_GE(close.top(), 0);
    EXPECT_LE(close.bottom(), strip - 1) << "the whole button lies in the strip, none of it over the page";
    EXPECT_TRUE(view->closeButton()->isVisible());
    EXPECT_EQ(shot.pixelColor(close.center().x(), strip + 4), page) << "the page below the button is uncovered";

    // A key the page leaves unhandled comes back from the engine to the view, which hands it to the viewer.
    QList<Notification> posted;
    NotificationObservation observation(TessarineViewerViewKeyDownNotificationName, nullptr,
                                        [&](const Notification& n) { posted.append(n); });
    QWidget* pageWidget = view->webView()->focusProxy() ? view->webView()->focusProxy() : view->webView();
    QTest::keyClick(pageWidget, Qt::Key_Right);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !posted.isEmpty(); }, 5000));
    QTest::qWait(100);
    EXPECT_EQ(posted.size(), 1);
    EXPECT_EQ(posted.first().userInfo.value(TessarineViewerViewKeyDownNotificationUserDictKey).value<QKeyCombination>(),
              QKeyCombination(Qt::Key_Right));
    EXPECT_EQ(first.keys, 0);

    // A move to another parent loads again; taking it out loads nothing.
    view->setParent(&second);
    view->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return pageRequests() == 2; }, 10000));
    view->setParent(nullptr);
    QTest::qWait(300);
    EXPECT_EQ(pageRequests(), 2);
    delete view;
}

TEST_F(YouTubeVideoPlayingViewTest, KeysGoToTheViewerAndCloseAlwaysWorks)
{
    Host host;
    host.show();
    // Neither a local file nor something that is no link is ever loaded.
    for (const QString& link :
         {QStringLiteral("file:///"), QStringLiteral("file:///etc/hostname"), QStringLiteral("::not a link::")}) {
        const qsizetype requestsBefore = s_interceptor->urls().size();
        auto* view = new QVR_YouTubeVideoPlayingView(QRect(0, 0, 800, 600), link, &host);
        view->show();
        int closes = 0;
        view->setClosedPressedBlock([&closes] { ++closes; });
        QTest::qWait(200);
        EXPECT_TRUE(view->webView()->url().isEmpty()) << qPrintable(link);
        EXPECT_EQ(s_interceptor->urls().size(), requestsBefore) << qPrintable(link);
        QTest::mouseClick(view->closeButton(), Qt::LeftButton);
        EXPECT_EQ(closes, 1);
        delete view;
    }

    QVRTimedAnalytics::resetForTesting();
    auto* view = new QVR_YouTubeVideoPlayingView(QRect(0, 0, 800, 600), m_pageURL, &host);
    view->show();
    QVRTimedAnalytics::logTimedEvent(QStringLiteral("View Video"), QStringLiteral("1"),
                                     {{QStringLiteral("URL"), m_pageURL}});

    QList<Notification> posted;
    NotificationObservation observation(TessarineViewerViewKeyDownNotificationName, nullptr,
                                        [&](const Notification& n) { posted.append(n); });
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Right, Qt::ShiftModifier);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Right, Qt::ShiftModifier);
    QApplication::sendEvent(view, &press);
    QApplication::sendEvent(view, &release);
    EXPECT_TRUE(press.isAccepted());
    ASSERT_EQ(posted.size(), 1);
    EXPECT_EQ(posted.first().sender, static_cast<const void*>(view));
    EXPECT_EQ(posted.first().userInfo.value(TessarineViewerViewKeyDownNotificationUserDictKey).value<QKeyCombination>(),
              QKeyCombination(Qt::ShiftModifier, Qt::Key_Right));
    EXPECT_EQ(host.keys, 0) << "the key goes no further";

    // With the keyboard in the page (a click on its player), Escape still reaches the viewer; other keys stay there.
    QTRY_VERIFY_WITH_TIMEOUT(view->webView()->focusProxy() != nullptr, 10000);
    posted.clear();
    for (const Qt::Key key : {Qt::Key_Space, Qt::Key_Escape}) {
        QKeyEvent inPage(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(view->webView()->focusProxy(), &inPage);
    }
    ASSERT_EQ(posted.size(), 1);
    EXPECT_EQ(posted.first().userInfo.value(TessarineViewerViewKeyDownNotificationUserDictKey).value<QKeyCombination>(),
              QKeyCombination(Qt::Key_Escape));

    EXPECT_TRUE(QVRTimedAnalytics::isRunning(QStringLiteral("View Video")));
    delete view;
    EXPECT_FALSE(QVRTimedAnalytics::isRunning(QStringLiteral("View Video"))) << "ending the view finishes the event";
}

TEST_F(YouTubeVideoPlayingViewTest, PresentedOverAViewerItTimesViewVideoWithItsLinkUntilClosed)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QVRActionLog log(folder.filePath(QStringLiteral("actions.json")),
                     [](const QByteArray&, std::function<void(bool)>) {});
    QVRActionLog::setSharedForTesting(&log);
    QVRTimedAnalytics::resetForTesting();
    Host host;
    host.show();
    int dismissed = 0;
    QPointer<QVR_YouTubeVideoPlayingView> shown =
        QVR_YouTubeVideoPlayingView::presentOverView(&host, m_pageURL, [&] { ++dismissed; });
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->parentWidget(), &host);
    EXPECT_EQ(shown->geometry(), host.rect());
    EXPECT_TRUE(QVRTimedAnalytics::isRunning(QStringLiteral("View Video")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return pageRequests() == 1; }, 10000));
    // Black behind the page: the strip above it, where the close button sits.
    const QImage strip = shown->grab(QRect(0, 0, 40, 4)).toImage();
    EXPECT_EQ(strip.pixelColor(2, 2), QColor(Qt::black));

    QTest::mouseClick(shown->closeButton(), Qt::LeftButton);
    EXPECT_EQ(dismissed, 1);
    EXPECT_FALSE(QVRTimedAnalytics::isRunning(QStringLiteral("View Video")));
    ASSERT_EQ(log.backlog().size(), 1);
    EXPECT_EQ(log.backlog().at(0)[QStringLiteral("name")].toString(), QStringLiteral("View Video"));
    EXPECT_EQ(log.backlog().at(0)[QStringLiteral("parameters")].toObject()[QStringLiteral("URL")].toString(),
              m_pageURL);
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown.isNull(); }, 2000)) << "the view goes once closed";
    EXPECT_EQ(log.backlog().size(), 1) << "ending the view after the close logs nothing more";
    QVRTimedAnalytics::resetForTesting();
    QVRActionLog::setSharedForTesting(nullptr);
}
