#pragma once

#include <atomic>
#include <functional>
#include <memory>

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

class QThread;
class ThreadInbox;
class QObject;

// A file part of a multipart/form-data body.
struct FakeFilePart {
    QString fileName;
    QString contentType;
    QByteArray data;
};

// One HTTP request as the fake service received it.
struct FakeHttpRequest {
    QByteArray verb; // "GET", "POST"
    QString path;
    QByteArray query;                     // raw, without "?"
    QMap<QByteArray, QByteArray> headers; // names in lower case
    QByteArray body;
    // Text fields of a multipart body, or the query of a GET; `fieldOrder` keeps their order on the wire.
    QMap<QString, QString> fields;
    QStringList fieldOrder;
    QMap<QString, FakeFilePart> files; // by field name
    bool malformedBody = false;        // a POST whose multipart body could not be read

    QString method() const { return fields.value(QStringLiteral("method")); }
    QString field(const QString& name) const { return fields.value(name); }
    bool isMultipart() const { return headers.value("content-type").startsWith("multipart/form-data"); }
};

// What the fake answers: a normal reply (optionally late), a connection closed without an answer, no answer at
// all (the client's timeout must end it), or the start of an answer that never goes on (Stall: the head and `body`,
// then silence on an open connection).
struct FakeHttpReply {
    enum class Kind { Respond, Drop, Hang, Stall };
    Kind kind = Kind::Respond;
    int status = 200;
    QByteArray contentType = "application/json";
    QByteArray body;
    QList<std::pair<QByteArray, QByteArray>> extraHeaders; // e.g. {"Location", …} for a redirect
    int delayMs = 0;
    qint64 declaredLength = -1; // Stall: the Content-Length announced (none when negative)

    static FakeHttpReply json(const QJsonObject& object, int status = 200);
    // A service error as the real service sends it: status 200, {"error": {"errorCode", "errorMessage"}}.
    static FakeHttpReply serviceError(const QString& code, const QString& message, const QJsonObject& extra = {});
    static FakeHttpReply html(int status, const QByteArray& text);
    static FakeHttpReply raw(int status, const QByteArray& contentType, const QByteArray& body);
    static FakeHttpReply drop();
    static FakeHttpReply hang();
    // Sends `firstBytes` of a body of `declaredLength` bytes (no length announced when negative), then nothing more.
    static FakeHttpReply stall(const QByteArray& firstBytes, qint64 declaredLength = -1);
    FakeHttpReply delayed(int milliseconds) const;
};

namespace FakeHttp {

// Fills `request.fields` and `request.files` from a multipart/form-data body; false when it is malformed.
bool parseMultipart(const QByteArray& contentType, const QByteArray& body, FakeHttpRequest& request);
// Fills `request.fields` from an application/x-www-form-urlencoded text (a GET query).
void parseQuery(const QByteArray& query, FakeHttpRequest& request);

} // namespace FakeHttp

// A small HTTP/1.1 server on 127.0.0.1 running in a thread of its own, so a test or a benchmark that keeps
// the main thread busy never delays it. Each request is handed to `handler` on the server thread.
class FakeHttpServer {
public:
    using Handler = std::function<FakeHttpReply(const FakeHttpRequest&)>;

    explicit FakeHttpServer(Handler handler);
    ~FakeHttpServer();
    FakeHttpServer(const FakeHttpServer&) = delete;
    FakeHttpServer& operator=(const FakeHttpServer&) = delete;

    // Listens on `port` of 127.0.0.1, a free one when 0; false when the port could not be had.
    bool start(quint16 port = 0);
    quint16 port() const { return m_port; }

    // Reads at most `bytesPerTick` of each connection every `tickMs` (0 bytes: as fast as it comes), with a
    // small socket receive buffer, so a client sees its request body leave over many moments, as on a slow
    // line. Applies to connections accepted afterwards; may be called from any thread.
    void setReadThrottle(qint64 bytesPerTick, int tickMs);

private:
    // Runs `task` on the server thread and waits for it.
    void runOnServerThread(std::function<void()> task);

    Handler m_handler;
    QThread* m_thread = nullptr;
    std::unique_ptr<ThreadInbox> m_inbox; // its receiver lives on m_thread
    QObject* m_context = nullptr;         // lives on m_thread, parent of the listening socket and the connections
    quint16 m_port = 0;
    std::atomic<qint64> m_throttleBytes{0};
    std::atomic<int> m_throttleTickMs{0};
};
