#include <atomic>
#include <memory>

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include "storage/ZERI_WebDownloader.h"

namespace {

// An HTTP server on 127.0.0.1 whose one answer never ends: after the header it sends as fast as the client takes
// (or, when silent, a little and then nothing; when trickling, a byte every 20 ms). It notes when the client closes
// the connection. A request for "/redirect" is answered with a redirect to the endless answer (or to redirectTo,
// when set), itself with a body that never ends.
class EndlessServer : public QObject {
public:
    enum class Body { Endless, AnnouncedHuge, Silent, Trickle };

    explicit EndlessServer(Body body)
        : m_body(body)
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection())
                serve(socket);
        });
        connect(&m_trickle, &QTimer::timeout, this, [this] {
            if (m_socket && m_socket->state() == QAbstractSocket::ConnectedState)
                m_sent += m_socket->write("t", 1);
        });
    }
    bool listen() { return m_server.listen(QHostAddress::LocalHost); }
    QUrl url() const { return QUrl(QStringLiteral("http://127.0.0.1:%1/endless.bin").arg(m_server.serverPort())); }
    QUrl redirectingUrl() const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1/redirect").arg(m_server.serverPort()));
    }
    void setRedirectTarget(const QByteArray& location) { m_redirectTo = location; }

    bool answering() const { return m_socket != nullptr; }
    bool closedByClient() const { return m_closed.isValid(); }
    qint64 bytesSent() const { return m_sent; }
    int requests() const { return m_requests; }
    int redirectsClosedByClient() const { return m_redirectsClosed; }

private:
    void serve(QTcpSocket* socket)
    {
        auto request = std::make_shared<QByteArray>();
        auto answered = std::make_shared<bool>(false);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, request, answered] {
            *request += socket->readAll();
            if (*answered || !request->contains("\r\n\r\n"))
                return;
            *answered = true;
            ++m_requests;
            if (request->startsWith("GET /redirect ")) {
                const QByteArray location = m_redirectTo.isEmpty() ? QByteArray("/endless.bin") : m_redirectTo;
                socket->write("HTTP/1.1 302 Found\r\nLocation: " + location + "\r\nConnection: close\r\n\r\n");
                connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] { feed(socket); });
                connect(socket, &QTcpSocket::disconnected, this, [this] { ++m_redirectsClosed; });
                feed(socket);
                return;
            }
            m_socket = socket;
            QByteArray header = "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n";
            header += m_body == Body::AnnouncedHuge ? "Content-Length: 3221225472\r\n" : "Connection: close\r\n";
            socket->write(header + "\r\n");
            connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] { feed(socket); });
            connect(socket, &QTcpSocket::disconnected, this, [this] { m_closed.start(); });
            if (m_body == Body::Silent)
                socket->write(QByteArray(1024, 'x'));
            else if (m_body == Body::Trickle)
                m_trickle.start(20);
            else
                feed(socket);
        });
    }
    void feed(QTcpSocket* socket)
    {
        if ((socket == m_socket && (m_body == Body::Silent || m_body == Body::Trickle)) ||
            socket->state() != QAbstractSocket::ConnectedState)
            return;
        while (socket->bytesToWrite() < 256 * 1024)
            m_sent += socket->write(QByteArray(64 * 1024, 'y'));
    }

    const Body m_body;
    QTcpServer m_server;
    QTimer m_trickle;
    QPointer<QTcpSocket> m_socket;
    QByteArray m_redirectTo;
    int m_requests = 0;
    int m_redirectsClosed = 0;
    qint64 m_sent = 0;
    QElapsedTimer m_closed;
};

// An HTTP server on 127.0.0.1 in a thread of its own, so it goes on sending while the test's thread is busy: one
// answer with `status` whose body never ends, sent as fast as the client's side takes it. It counts the bytes the
// client's side has taken and notes when the client closes the connection.
class StreamingServerThread : public QThread {
public:
    explicit StreamingServerThread(int status)
        : m_status(status)
    {
    }
    ~StreamingServerThread() override
    {
        quit();
        wait();
    }
    bool begin()
    {
        start();
        m_ready.acquire();
        return m_port != 0;
    }
    QUrl url() const { return QUrl(QStringLiteral("http://127.0.0.1:%1/stream.png").arg(m_port)); }
    qint64 bytesSent() const { return m_sent.load(); }
    bool answering() const { return m_answering.load(); }
    bool closedByClient() const { return m_closed.load(); }

protected:
    void run() override
    {
        QTcpServer server;
        m_port = server.listen(QHostAddress::LocalHost) ? server.serverPort() : 0;
        QObject::connect(&server, &QTcpServer::newConnection, &server, [this, &server] {
            while (QTcpSocket* socket = server.nextPendingConnection())
                serve(socket);
        });
        m_ready.release();
        if (m_port != 0)
            exec();
    }

private:
    void serve(QTcpSocket* socket)
    {
        auto request = std::make_shared<QByteArray>();
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, request] {
            *request += socket->readAll();
            if (m_answering.load() || !request->contains("\r\n\r\n"))
                return;
            m_answering = true;
            socket->write(QByteArray("HTTP/1.1 ") + QByteArray::number(m_status) +
                          " Whatever\r\nContent-Type: text/html\r\nConnection: close\r\n\r\n");
            feed(socket);
        });
        QObject::connect(socket, &QTcpSocket::bytesWritten, socket, [this, socket](qint64 written) {
            m_sent += written;
            feed(socket);
        });
        QObject::connect(socket, &QTcpSocket::disconnected, socket, [this] { m_closed = true; });
    }
    void feed(QTcpSocket* socket)
    {
        if (socket->state() != QAbstractSocket::ConnectedState)
            return;
        // Only what the connection has taken counts as sent: a client that stops reading stops the count once the
        // kernel's buffers are full.
        while (socket->bytesToWrite() < 64 * 1024)
            socket->write(QByteArray(64 * 1024, 'z'));
    }

    const int m_status;
    QSemaphore m_ready;
    quint16 m_port = 0;
    std::atomic<qint64> m_sent{0};
    std::atomic<bool> m_answering{false};
    std::atomic<bool> m_closed{false};
};

int repliesHeld()
{
    return int(ZERI_WebDownloader::networkAccessManager()->findChildren<QNetworkReply*>().size());
}

class DownloadStopTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        ZERI_WebDownloader::setBoundsForTesting(0, 0);
        ZERI_WebDownloader::setRateBoundForTesting(0, 0);
    }

    std::shared_ptr<ZERI_WebDownloader> start(EndlessServer& server, bool redirected = false)
    {
        EXPECT_TRUE(server.listen());
        auto downloader =
            ZERI_WebDownloader::downloaderForUrl(redirected ? server.redirectingUrl() : server.url(), cache.path());
        downloader->downloadAndCache();
        EXPECT_TRUE(QTest::qWaitFor([&] { return server.answering(); }, 10000));
        return downloader;
    }

    // The download has ended on our side: the server must see its connection closed at once (a second), and
    // neither the folder nor the network layer may keep anything of it.
    void expectConnectionClosedAndNothingKept(EndlessServer& server)
    {
        QElapsedTimer sinceEnd;
        sinceEnd.start();
        EXPECT_TRUE(QTest::qWaitFor([&] { return server.closedByClient(); }, 1000))
            << "the connection was still open after " << sinceEnd.elapsed() << " ms, " << server.bytesSent()
            << " bytes sent";
        const qint64 sent = server.bytesSent();
        QTest::qWait(200);
        EXPECT_EQ(server.bytesSent(), sent);
        EXPECT_TRUE(QTest::qWaitFor([] { return repliesHeld() == 0; }, 2000));
        EXPECT_TRUE(QDir(cache.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    }

    QTemporaryDir cache;
};

} // namespace

TEST_F(DownloadStopTest, SizeCapClosesTheConnectionOfAnEndlessAnswer)
{
    ZERI_WebDownloader::setBoundsForTesting(1024 * 1024, 0);
    EndlessServer server(EndlessServer::Body::Endless);
    auto downloader = start(server);
    ASSERT_TRUE(QTest::qWaitFor([&] { return downloader->downloadStatus() == ZERI_WebDownloader::Failed; }, 10000));
    EXPECT_EQ(downloader->downloadError().code, ZERI_WebDownloader::TooLarge);
    expectConnectionClosedAndNothingKept(server);
}

TEST_F(DownloadStopTest, AnnouncedLengthBeyondTheCapClosesTheConnection)
{
    EndlessServer server(EndlessServer::Body::AnnouncedHuge);
    auto downloader = start(server);
    ASSERT_TRUE(QTest::qWaitFor([&] { return downloader->downloadStatus() == ZERI_WebDownloader::Failed; }, 10000));
    EXPECT_EQ(downloader->downloadError().code, ZERI_WebDownloader::TooLarge);
    expectConnectionClosedAndNothingKept(server);
}

TEST_F(DownloadStopTest, IdleTimeOutClosesTheConnection)
{
    ZERI_WebDownloader::setBoundsForTesting(0, 300);
    EndlessServer server(EndlessServer::Body::Silent);
    auto downloader = start(server);
    ASSERT_TRUE(QTest::qWaitFor([&] { return downloader->downloadStatus() == ZERI_WebDownloader::Failed; }, 10000));
    EXPECT_EQ(downloader->downloadError().code, ZERI_WebDownloader::TimedOut);
    expectConnectionClosedAndNothingKept(server);
}

TEST_F(DownloadStopTest, CancelAndGivingUpAtTheEndCloseTheConnection)
{
    {
        EndlessServer server(EndlessServer::Body::Endless);
        auto downloader = start(server);
        ASSERT_TRUE(QTest::qWaitFor([&] { return server.bytesSent() > 1024 * 1024; }, 10000));
        downloader->cancel();
        EXPECT_EQ(downloader->downloadStatus(), ZERI_WebDownloader::Idle);
        expectConnectionClosedAndNothingKept(server);
    }
    {
        EndlessServer server(EndlessServer::Body::Endless);
        std::weak_ptr<ZERI_WebDownloader> downloader = start(server); // the running download holds itself
        ASSERT_TRUE(QTest::qWaitFor([&] { return server.bytesSent() > 1024 * 1024; }, 10000));
        ASSERT_FALSE(downloader.expired());
        ZERI_WebDownloader::abandonRunningDownloads();
        EXPECT_TRUE(downloader.expired());
        expectConnectionClosedAndNothingKept(server);
    }
}

// An error answer whose body never ends: the download fails as soon as the status is known, and the connection
// closes at once, with only what the kernel's buffers took sent.
TEST_F(DownloadStopTest, AnEndlessErrorAnswerIsCutAsSoonAsItsStatusIsKnown)
{
    StreamingServerThread server(500);
    ASSERT_TRUE(server.begin());
    auto downloader = ZERI_WebDownloader::downloaderForUrl(server.url(), cache.path());
    downloader->downloadAndCache();
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.answering(); }, 10000));
    QElapsedTimer sinceAnswer;
    sinceAnswer.start();
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.closedByClient(); }, 1000))
        << "the connection was still open after " << sinceAnswer.elapsed() << " ms, " << server.bytesSent()
        << " bytes sent";
    ASSERT_TRUE(QTest::qWaitFor([&] { return downloader->downloadStatus() == ZERI_WebDownloader::Failed; }, 1000));
    EXPECT_EQ(downloader->downloadError().code, ZERI_WebDownloader::HTTPError);
    EXPECT_EQ(downloader->downloadError().userInfo.value(QStringLiteral("httpStatus")).toInt(), 500);
    EXPECT_LT(server.bytesSent(), 16 * 1024 * 1024);
    EXPECT_TRUE(QTest::qWaitFor([] { return repliesHeld() == 0; }, 2000));
    EXPECT_TRUE(QDir(cache.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

// On the way to the size cap the network layer holds only a little that the downloader has not read: while the
// application's thread is busy, the connection stops taking bytes instead of buffering the stream in memory.
TEST_F(DownloadStopTest, AStreamIsNotBufferedWhileTheApplicationIsBusy)
{
    StreamingServerThread server(200);
    ASSERT_TRUE(server.begin());
    auto downloader = ZERI_WebDownloader::downloaderForUrl(server.url(), cache.path());
    downloader->downloadAndCache();
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.bytesSent() > 1024 * 1024; }, 10000));
    const qint64 before = server.bytesSent();
    QThread::msleep(1500); // busy: no event is handled, nothing is read from the reply
    const qint64 duringBusy = server.bytesSent() - before;
    downloader->cancel();
    EXPECT_LT(duringBusy, 24 * 1024 * 1024) << "the network layer buffered " << duringBusy << " bytes";
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.closedByClient(); }, 1000));
}

// A redirect is a request of its own with every bound of the first: the size cap, the announced length, the idle
// time-out and the least rate hold for the answer it leads to, and the redirect's own body is never read.
TEST_F(DownloadStopTest, EveryBoundHoldsAfterARedirect)
{
    {
        ZERI_WebDownloader::setBoundsForTesting(1024 * 1024, 0);
        EndlessServer server(EndlessServer::Body::Endless);
        auto downloader = start(server, true);
        ASSERT_TRUE(QTest::qWaitFor([&] { return downloader->downloadStatus() == ZERI_WebDownloader::Failed; }, 10000));
        EXPECT_EQ(downloader->downloadError().code, ZERI_WebDownloader::TooLarge);
        expectConnectionClosedAndNothingKept(server);
        EXPECT_LT(server.bytesSent(), 24 * 1024 * 1024);
        EXPECT_TRUE(QTest::qWaitFor([&] { return server.redirectsClosedByClient() == 1; }, 1000));
    }
    {
        EndlessServer server(EndlessServer::Body::AnnouncedHuge);
        auto downloader = start(server, true);
        ASSERT_TRUE(QTest::qWaitFor([&] { return downloader->downloadStatus() == ZERI_WebDownloader::Failed; }, 10000));
        EXPECT_EQ(downloader->downloadError().code, ZERI_WebDownloader::TooLarge);
        expectConnectionClosedAndNothingKept(server);
    }
    {
        ZERI_WebDownloader::setBoundsForTesting(0, 300);
        EndlessServer server(EndlessServer::Body::Silent);
        auto downloader = start(server, true);
        ASSERT_TRUE(QTest::qWaitFor([&] { return downloader->downloadStatus() == ZERI_WebDownloader::Failed; }, 10000));
        EXPECT_EQ(downloader->downloadError().code, ZERI_WebDownloader::TimedOut);
        expectConnectionClosedAndNothingKept(server);
    }
}

// A download that trickles (a byte every 20 ms, never idle) ends when too little arrives in a window.
TEST_F(DownloadStopTest, ATrickleEndsWithATimeOut)
{
    ZERI_WebDownloader::setRateBoundForTesting(400, 1024);
    EndlessServer server(EndlessServer::Body::Trickle);
    auto downloader = start(server, true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return downloader->downloadStatus() == ZERI_WebDownloader::Failed; }, 10000));
    EXPECT_EQ(downloader->downloadError().code, ZERI_WebDownloader::TimedOut);
    EXPECT_TRUE(ZERI_WebDownloader::isPassingFailure(downloader->downloadError()));
    expectConnectionClosedAndNothingKept(server);
}

// A redirect from the machine's own server to another of its ports, to a file, or round in a loop is refused
// before any further request.
TEST_F(DownloadStopTest, RedirectsLeavingTheFirstAddressAreRefused)
{
    EndlessServer other(EndlessServer::Body::Endless);
    ASSERT_TRUE(other.listen());
    const QList<QByteArray> targets{other.url().toEncoded(), "file:///etc/passwd", "/redirect"};
    for (const QByteArray& target : targets) {
        SCOPED_TRACE(target.constData());
        EndlessServer server(EndlessServer::Body::Endless);
        ASSERT_TRUE(server.listen());
        server.setRedirectTarget(target);
        auto downloader = ZERI_WebDownloader::downloaderForUrl(server.redirectingUrl(), cache.path());
        downloader->downloadAndCache();
        ASSERT_TRUE(QTest::qWaitFor([&] { return downloader->downloadStatus() == ZERI_WebDownloader::Failed; }, 10000));
        EXPECT_EQ(downloader->downloadError().code, ZERI_WebDownloader::BadURL);
        EXPECT_FALSE(ZERI_WebDownloader::isPassingFailure(downloader->downloadError()));
        EXPECT_TRUE(QTest::qWaitFor([&] { return server.redirectsClosedByClient() == server.requests(); }, 1000));
        EXPECT_LE(server.requests(), ZERI_WebDownloader::kMaximumRedirects + 1);
    }
    EXPECT_EQ(other.requests(), 0);
    EXPECT_TRUE(QTest::qWaitFor([] { return repliesHeld() == 0; }, 2000));
    EXPECT_TRUE(QDir(cache.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

TEST(WebDownloaderRedirects, OnlyToWebAddressesNeverLessSafeAndIntoTheLocalNetworkOnlyFromItself)
{
    const auto allowed = [](const char* first, const char* to) {
        return ZERI_WebDownloader::mayRedirect(QUrl(QLatin1String(first)), QUrl(QLatin1String(first)),
                                               QUrl(QLatin1String(to)));
    };
    EXPECT_TRUE(allowed("https://assets.example.com/a.png", "https://cdn.example.net/b.png"));
    EXPECT_TRUE(allowed("http://assets.example.com/a.png", "https://assets.example.com/a.png"));
    EXPECT_TRUE(allowed("http://127.0.0.1:8080/a.png", "http://127.0.0.1:8080/b.png"));
    EXPECT_FALSE(allowed("https://assets.example.com/a.png", "http://assets.example.com/a.png"));
    EXPECT_FALSE(allowed("https://assets.example.com/a.png", "file:///etc/passwd"));
    EXPECT_FALSE(allowed("https://assets.example.com/a.png", "ftp://assets.example.com/a.png"));
    EXPECT_FALSE(allowed("http://127.0.0.1:8080/a.png", "http://127.0.0.1:8081/a.png"));
    EXPECT_FALSE(allowed("http://127.0.0.1:8080/a.png", "http://assets.example.com/a.png"));
    for (const char* local :
         {"http://127.0.0.1:631/", "http://localhost/", "http://[::1]/", "http://10.1.2.3/", "http://192.168.1.1/",
          "http://172.20.0.1/", "http://169.254.169.254/latest", "http://[::ffff:127.0.0.1]/", "http://2130706433/",
          "http://router/", "http://printer.local/", "http://[fd00::1]/"})
        EXPECT_FALSE(allowed("https://assets.example.com/a.png", local)) << local;
}
