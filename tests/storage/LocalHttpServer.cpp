#include "LocalHttpServer.h"

#include <QTcpSocket>

LocalHttpServer::LocalHttpServer()
{
    connect(&m_server, &QTcpServer::newConnection, this, [this] { onConnection(); });
}

bool LocalHttpServer::listen()
{
    return m_server.listen(QHostAddress::LocalHost, 0);
}

QUrl LocalHttpServer::url(const QString& path) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path));
}

void LocalHttpServer::setRoute(const QString& path, Route route)
{
    m_routes.insert(path, std::move(route));
}

void LocalHttpServer::release()
{
    for (auto& held : m_held) {
        if (!held.socket)
            continue;
        if (held.cut) {
            held.socket->abort();
        } else {
            held.socket->write(held.rest);
            held.socket->disconnectFromHost();
        }
    }
    m_held.clear();
}

void LocalHttpServer::onConnection()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadable(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void LocalHttpServer::onReadable(QTcpSocket* socket)
{
    QByteArray& buffer = m_pending[socket];
    buffer += socket->readAll();
    if (!buffer.contains("\r\n\r\n"))
        return;
    const QList<QByteArray> requestLine = buffer.left(buffer.indexOf("\r\n")).split(' ');
    m_pending.remove(socket);
    const QString path = requestLine.size() > 1 ? QString::fromLatin1(requestLine[1]) : QString();
    m_counts[path] += 1;
    const Route route = m_routes.value(path, Route{404, "not found"});

    QByteArray header = "HTTP/1.1 " + QByteArray::number(route.status) + " X\r\n";
    header += "Content-Type: application/octet-stream\r\n";
    header += "Content-Length: " + QByteArray::number(route.body.size()) + "\r\nConnection: close\r\n\r\n";
    const qint64 first = route.cutAfter >= 0 ? route.cutAfter : (route.hold ? 0 : route.body.size());
    socket->write(header + route.body.left(first));
    if (route.hold) {
        m_held.append({socket, route.body.mid(first), route.cutAfter >= 0});
        socket->flush();
        return;
    }
    socket->flush();
    if (route.cutAfter >= 0)
        socket->abort();
    else
        socket->disconnectFromHost();
}
