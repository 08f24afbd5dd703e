#include "support/fakeservice/FakeHttp.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>

#include <QHostAddress>
#include <QJsonDocument>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include "platform/ThreadInbox.h"

namespace {

constexpr qsizetype kMaxHeaderBytes = 64 * 1024;
constexpr qsizetype kMaxBodyBytes = 512 * 1024 * 1024;

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 307:
        return "Temporary Redirect";
    case 404:
        return "Not Found";
    case 413:
        return "Payload Too Large";
    case 500:
        return "Internal Server Error";
    case 502:
        return "Bad Gateway";
    default:
        return "Status";
    }
}

QByteArray headerParameter(const QByteArray& header, const QByteArray& name)
{
    // e.g. `form-data; name="file0"; filename="a.png"` or `multipart/form-data; boundary=xyz`
    for (QByteArray piece : header.split(';')) {
        piece = piece.trimmed();
        const qsizetype equals = piece.indexOf('=');
        if (equals < 0 || piece.left(equals).trimmed().toLower() != name)
            continue;
        QByteArray value = piece.mid(equals + 1).trimmed();
        if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
            value = value.mid(1, value.size() - 2);
        return value;
    }
    return {};
}

struct Connection {
    QTcpSocket* socket = nullptr;
    QByteArray buffer;
    bool busy = false; // a reply is pending (delayed or hung); later bytes wait for it
};

// Acknowledge received data at once instead of after the delayed-acknowledgement timeout (up to 40 ms on
// Linux). Qt's HTTP client does not turn Nagle's algorithm off, so the last part of a request body waits for
// the server's acknowledgement of the part before; a real service on a network answers with far more round
// trips in between, so here that timeout would otherwise dominate every upload on the loopback.
void quickAck(QTcpSocket* socket)
{
#ifdef TCP_QUICKACK
    const int on = 1;
    ::setsockopt(int(socket->socketDescriptor()), IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
#else
    Q_UNUSED(socket);
#endif
}

void writeReply(QTcpSocket* socket, const FakeHttpReply& reply)
{
    QByteArray head = "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + reasonPhrase(reply.status) + "\r\n";
    if (!reply.contentType.isEmpty())
        head += "Content-Type: " + reply.contentType + "\r\n";
    for (const auto& [name, value] : reply.extraHeaders)
        head += name + ": " + value + "\r\n";
    if (reply.kind != FakeHttpReply::Kind::Stall)
        head += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
    else if (reply.declaredLength >= 0)
        head += "Content-Length: " + QByteArray::number(reply.declaredLength) + "\r\n";
    head += "\r\n";
    // One write: a reply split in two would wait on Nagle's rule for the client's delayed acknowledgement.
    socket->write(head + reply.body);
}

} // namespace

FakeHttpReply FakeHttpReply::json(const QJsonObject& object, int status)
{
    FakeHttpReply reply;
    reply.status = status;
    reply.body = QJsonDocument(object).toJson(QJsonDocument::Compact);
    return reply;
}

FakeHttpReply FakeHttpReply::serviceError(const QString& code, const QString& message, const QJsonObject& extra)
{
    QJsonObject error = extra;
    error.insert(QStringLiteral("errorCode"), code);
    error.insert(QStringLiteral("errorMessage"), message);
    return json(QJsonObject{{QStringLiteral("error"), error}});
}

FakeHttpReply FakeHttpReply::html(int status, const QByteArray& text)
{
    return raw(status, "text/html", "<html><body><h1>" + text + "</h1></body></html>");
}

FakeHttpReply FakeHttpReply::raw(int status, const QByteArray& contentType, const QByteArray& body)
{
    FakeHttpReply reply;
    reply.status = status;
    reply.contentType = contentType;
    reply.body = body;
    return reply;
}

FakeHttpReply FakeHttpReply::drop()
{
    FakeHttpReply reply;
    reply.kind = Kind::Drop;
    return reply;
}

FakeHttpReply FakeHttpReply::hang()
{
    FakeHttpReply reply;
    reply.kind = Kind::Hang;
    return reply;
}

FakeHttpReply FakeHttpReply::stall(const QByteArray& firstBytes, qint64 declaredLength)
{
    FakeHttpReply reply;
    reply.kind = Kind::Stall;
    reply.contentType = "application/octet-stream";
    reply.body = firstBytes;
    reply.declaredLength = declaredLength;
    return reply;
}

FakeHttpReply FakeHttpReply::delayed(int milliseconds) const
{
    FakeHttpReply reply = *this;
    reply.delayMs = milliseconds;
    return reply;
}

bool FakeHttp::parseMultipart(const QByteArray& contentType, const QByteArray& body, FakeHttpRequest& request)
{
    const QByteArray boundary = headerParameter(contentType, "boundary");
    if (boundary.isEmpty())
        return false;
    const QByteArray delimiter = "--" + boundary;
    qsizetype position = body.indexOf(delimiter);
    if (position != 0)
        return false;
    while (true) {
        position += delimiter.size();
        if (body.mid(position, 2) == "--")
            return true; // closing delimiter
        if (body.mid(position, 2) != "\r\n")
            return false;
        position += 2;
        const qsizetype headerEnd = body.indexOf("\r\n\r\n", position);
        if (headerEnd < 0)
            return false;
        const QByteArray partHeaders = body.mid(position, headerEnd - position);
        const qsizetype contentStart = headerEnd + 4;
        const qsizetype next = body.indexOf("\r\n" + delimiter, contentStart);
        if (next < 0)
            return false;
        const QByteArray content = body.mid(contentStart, next - contentStart);

        QByteArray disposition;
        QByteArray partType;
        for (const QByteArray& line : partHeaders.split('\n')) {
            const QByteArray trimmed = line.trimmed();
            const qsizetype colon = trimmed.indexOf(':');
            if (colon < 0)
                continue;
            const QByteArray name = trimmed.left(colon).trimmed().toLower();
            if (name == "content-disposition")
                disposition = trimmed.mid(colon + 1).trimmed();
            else if (name == "content-type")
                partType = trimmed.mid(colon + 1).trimmed();
        }
        if (!disposition.startsWith("form-data"))
            return false;
        const QString name = QString::fromUtf8(headerParameter(disposition, "name"));
        if (disposition.contains("filename=")) {
            request.files.insert(name, FakeFilePart{QString::fromUtf8(headerParameter(disposition, "filename")),
                                                    QString::fromUtf8(partType), content});
        } else {
            request.fields.insert(name, QString::fromUtf8(content));
            request.fieldOrder.append(name);
        }
        position = next + 2;
    }
}

void FakeHttp::parseQuery(const QByteArray& query, FakeHttpRequest& request)
{
    for (const QByteArray& pair : query.split('&')) {
        if (pair.isEmpty())
            continue;
        const qsizetype equals = pair.indexOf('=');
        QByteArray key = equals < 0 ? pair : pair.left(equals);
        QByteArray value = equals < 0 ? QByteArray() : pair.mid(equals + 1);
        key.replace('+', ' ');
        value.replace('+', ' ');
        const QString name = QUrl::fromPercentEncoding(key);
        request.fields.insert(name, QUrl::fromPercentEncoding(value));
        request.fieldOrder.append(name);
    }
}

FakeHttpServer::FakeHttpServer(Handler handler)
    : m_handler(std::move(handler))
{
}

FakeHttpServer::~FakeHttpServer()
{
    if (!m_thread)
        return;
    // The context and every socket below it are deleted on their own thread; the inbox's receiver goes once
    // that thread has ended.
    runOnServerThread([this]() { delete m_context; });
    m_thread->quit();
    m_thread->wait();
    m_inbox.reset();
    delete m_thread;
}

void FakeHttpServer::runOnServerThread(std::function<void()> task)
{
    std::mutex mutex;
    std::condition_variable ran;
    bool done = false;
    m_inbox->post([&]() {
        task();
        const std::lock_guard lock(mutex);
        done = true;
        ran.notify_one();
    });
    std::unique_lock lock(mutex);
    ran.wait(lock, [&]() { return done; });
}

void FakeHttpServer::setReadThrottle(qint64 bytesPerTick, int tickMs)
{
    m_throttleBytes = std::max<qint64>(0, bytesPerTick);
    m_throttleTickMs = std::max(1, tickMs);
}

bool FakeHttpServer::start(quint16 port)
{
    if (m_thread)
        return m_port != 0;
    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("fake web service"));
    m_context = new QObject;
    m_context->moveToThread(m_thread);
    m_thread->start();
    m_inbox = std::make_unique<ThreadInbox>(m_thread);

    runOnServerThread([this, port]() {
        auto* server = new QTcpServer(m_context);
        if (!server->listen(QHostAddress::LocalHost, port))
            return;
        m_port = server->serverPort();
        QObject::connect(server, &QTcpServer::newConnection, server, [this, server]() {
            while (QTcpSocket* socket = server->nextPendingConnection()) {
                socket->setParent(m_context);
                auto connection = std::make_shared<Connection>();
                connection->socket = socket;
                auto process = std::make_shared<std::function<void()>>();
                // Parses every complete request in the buffer; a reply that is delayed or hung stops the
                // loop until it has been written, as HTTP/1.1 answers in order.
                *process = [this, connection, weakProcess = std::weak_ptr(process)]() {
                    QTcpSocket* s = connection->socket;
                    while (!connection->busy) {
                        const qsizetype headerEnd = connection->buffer.indexOf("\r\n\r\n");
                        if (headerEnd < 0) {
                            if (connection->buffer.size() > kMaxHeaderBytes)
                                s->abort();
                            return;
                        }
                        const QList<QByteArray> lines = connection->buffer.left(headerEnd).split('\n');
                        const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
                        FakeHttpRequest request;
                        request.verb = requestLine.value(0);
                        const QByteArray target = requestLine.value(1);
                        const qsizetype question = target.indexOf('?');
                        request.path = QString::fromUtf8(question < 0 ? target : target.left(question));
                        request.query = question < 0 ? QByteArray() : target.mid(question + 1);
                        for (qsizetype i = 1; i < lines.size(); ++i) {
                            const QByteArray line = lines[i].trimmed();
                            const qsizetype colon = line.indexOf(':');
                            if (colon > 0)
                                request.headers.insert(line.left(colon).trimmed().toLower(),
                                                       line.mid(colon + 1).trimmed());
                        }
                        const qint64 length = request.headers.value("content-length", "0").toLongLong();
                        if (length < 0 || length > kMaxBodyBytes) {
                            writeReply(s, FakeHttpReply::html(413, "Payload Too Large"));
                            s->disconnectFromHost();
                            return;
                        }
                        if (connection->buffer.size() < headerEnd + 4 + length)
                            return; // wait for the rest of the body
                        request.body = connection->buffer.mid(headerEnd + 4, length);
                        connection->buffer.remove(0, headerEnd + 4 + length);

                        if (request.verb == "GET")
                            FakeHttp::parseQuery(request.query, request);
                        else if (request.isMultipart())
                            request.malformedBody =
                                !FakeHttp::parseMultipart(request.headers.value("content-type"), request.body, request);

                        const FakeHttpReply reply = m_handler(request);
                        switch (reply.kind) {
                        case FakeHttpReply::Kind::Drop:
                            s->abort();
                            return;
                        case FakeHttpReply::Kind::Hang:
                            connection->busy = true;
                            return;
                        case FakeHttpReply::Kind::Stall:
                            writeReply(s, reply);
                            connection->busy = true;
                            return;
                        case FakeHttpReply::Kind::Respond:
                            if (reply.delayMs <= 0) {
                                writeReply(s, reply);
                                break;
                            }
                            connection->busy = true;
                            QTimer::singleShot(reply.delayMs, s, [connection, reply, weakProcess]() {
                                writeReply(connection->socket, reply);
                                connection->busy = false;
                                if (auto next = weakProcess.lock())
                                    (*next)();
                            });
                            return;
                        }
                    }
                };
                const qint64 throttleBytes = m_throttleBytes.load();
                if (throttleBytes > 0) {
                    // Qt stops taking bytes from the kernel once its buffer is full, and a small kernel
                    // buffer then holds the client back: the client's progress follows the reads here.
                    const int kernelBuffer = int(std::min<qint64>(throttleBytes, 128 * 1024));
                    ::setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_RCVBUF, &kernelBuffer,
                                 sizeof kernelBuffer);
                    socket->setReadBufferSize(throttleBytes);
                    auto* tick = new QTimer(socket);
                    tick->setInterval(m_throttleTickMs.load());
                    QObject::connect(tick, &QTimer::timeout, socket, [connection, process, throttleBytes]() {
                        const QByteArray data = connection->socket->read(throttleBytes);
                        if (data.isEmpty())
                            return;
                        quickAck(connection->socket);
                        connection->buffer += data;
                        (*process)();
                    });
                    tick->start();
                } else {
                    QObject::connect(socket, &QTcpSocket::readyRead, socket, [connection, process]() {
                        quickAck(connection->socket);
                        connection->buffer += connection->socket->readAll();
                        (*process)();
                    });
                }
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    });
    return m_port != 0;
}
