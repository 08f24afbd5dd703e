#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QString>
#include <QTcpServer>
#include <QUrl>

class QTcpSocket;

// A minimal HTTP/1.1 server on 127.0.0.1 for download tests: each path answers with a fixed status and body,
// optionally cutting the connection after some bytes of the body, or holding the reply until released.
class LocalHttpServer : public QObject {
public:
    struct Route {
        int status = 200;
        QByteArray body;
        // Close the connection after this many body bytes (the header still announces the whole length).
        qint64 cutAfter = -1;
        // Send only the header (and the first cutAfter bytes, if set) until release() is called.
        bool hold = false;
    };

    LocalHttpServer();
    bool listen();
    QUrl url(const QString& path) const;
    void setRoute(const QString& path, Route route);
    int requestCount(const QString& path) const { return m_counts.value(path); }
    // Sends the rest of every held reply (or cuts it, for a route with cutAfter).
    void release();

private:
    void onConnection();
    void onReadable(QTcpSocket* socket);

    QTcpServer m_server;
    QHash<QString, Route> m_routes;
    QHash<QString, int> m_counts;
    QHash<QTcpSocket*, QByteArray> m_pending;
    struct Held {
        QPointer<QTcpSocket> socket;
        QByteArray rest;
        bool cut = false;
    };
    QList<Held> m_held;
};
