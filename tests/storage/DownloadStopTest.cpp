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

#include "storage/ZERI_WebDownloader.h"

namespace {

// An HTTP server on 127.0.0.1 whose one answer never ends: after the header it sends as fast as the client takes
// (or, when silent, a little and then nothing). It notes when the client closes the connection.
class EndlessServer : public QObject {
public:
    enum class Body { Endless, AnnouncedHuge, Silent };

    explicit EndlessServer(Body body)
        : m_body(body)
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection())
                serve(socket);
        });
    }
    bool listen() { return m_server.listen(QHostAddress::LocalHost); }
    QUrl url() const { return QUrl(QStringLiteral("http://127.0.0.1:%1/endless.bin").arg(m_server.serverPort())); }

    bool answering() const { return m_socket != nullptr; }
    bool closedByClient() const { return m_closed.isValid(); }
    qint64 bytesSent() const { return m_sent; }

private:
    void serve(QTcpSocket* socket)
    {
        m_socket = socket;
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            m_request += socket->readAll();
            if (m_headerSent || !m_request.contains("\r\n\r\n"))
                return;
            m_headerSent = true;
            QByteArray header = "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n";
            header += m_body == Body::AnnouncedHuge ? "Content-Length: 3221225472\r\n" : "Connection: close\r\n";
            socket->write(header + "\r\n");
            if (m_body == Body::Silent)
                socket->write(QByteArray(1024, 'x'));
            else
                feed(socket);
        });
        connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] { feed(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this] { m_closed.start(); });
    }
    void feed(QTcpSocket* socket)
    {
        if (m_body == Body::Silent || !m_headerSent || socket->state() != QAbstractSocket::ConnectedState)
            return;
        while (socket->bytesToWrite() < 256 * 1024)
            m_sent += socket->write(QByteArray(64 * 1024, 'y'));
    }

    const Body m_body;
    QTcpServer m_server;
    QPointer<QTcpSocket> m_socket;
    QByteArray m_request;
    bool m_headerSent = false;
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
    void TearDown() override { ZERI_WebDownloader::setBoundsForTesting(0, 0); }

    std::shared_ptr<ZERI_WebDownloader> start(EndlessServer& server)
    {
        EXPECT_TRUE(server.listen());
        auto downloader = ZERI_WebDownloader::downloaderForUrl(server.url(), cache.path());
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
