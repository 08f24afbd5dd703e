#include "app/QVRSingleInstance.h"

#include <unistd.h>

#include <QCryptographicHash>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>

#include "app/AppLogging.h"
#include "platform/AppPaths.h"

namespace {

constexpr char kAcknowledgement[] = "ok\n";

} // namespace

QVRSingleInstance::QVRSingleInstance(QObject* parent)
    : QObject(parent)
{
}

QVRSingleInstance::~QVRSingleInstance() = default;

QString QVRSingleInstance::serverName()
{
    QByteArray seed = AppPaths::applicationSupport().toUtf8();
    seed += '|' + QByteArray::number(quint64(getuid()));
    const QByteArray hash = QCryptographicHash::hash(seed, QCryptographicHash::Sha256).toHex().left(24);
    return QStringLiteral("tessarine-") + QString::fromLatin1(hash);
}

QVRSingleInstance::Handover QVRSingleInstance::forwardToRunningInstance(const QStringList& links, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(serverName());
    if (!socket.waitForConnected(timeoutMs))
        return Handover::NoInstance;
    QByteArray payload;
    int sent = 0;
    for (const QString& link : links) {
        QByteArray line = link.toUtf8();
        line.replace('\n', ' ');
        // The running instance drops a connection that sends more: such a link is left out, the others go.
        if (line.size() > kMaxLineBytes || sent >= kMaxLinks) {
            qCWarning(lcApp) << "not handing over a link of" << line.size() << "bytes (at most" << kMaxLineBytes
                             << "and" << kMaxLinks << "links are taken)";
            continue;
        }
        payload += line + '\n';
        ++sent;
    }
    socket.write(payload);
    if (!socket.waitForBytesWritten(timeoutMs) && socket.bytesToWrite() > 0) {
        qCWarning(lcApp) << "cannot hand the links to the running instance:" << socket.errorString();
        return Handover::Refused;
    }
    // Half-close is not available on local sockets: an empty line marks the end instead.
    socket.write("\n");
    socket.waitForBytesWritten(timeoutMs);
    QByteArray answer;
    while (answer.size() < qsizetype(sizeof(kAcknowledgement) - 1) && socket.waitForReadyRead(timeoutMs))
        answer += socket.readAll();
    if (!answer.startsWith(kAcknowledgement)) {
        qCWarning(lcApp) << "the running instance did not acknowledge the links";
        return Handover::Refused;
    }
    return Handover::Handed;
}

bool QVRSingleInstance::listen()
{
    if (m_server && m_server->isListening())
        return true;
    delete m_server;
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    const QString name = serverName();
    // With access options Qt builds the socket elsewhere and renames it over the name, which would silently
    // take the name from a live instance: ask first whether anybody answers on it.
    QLocalSocket probe;
    probe.connectToServer(name);
    if (probe.waitForConnected(500)) {
        qCWarning(lcApp) << "another instance is listening on" << name;
        return false;
    }
    if (!m_server->listen(name)) {
        // A socket file left by an instance that died.
        QLocalServer::removeServer(name);
        if (!m_server->listen(name)) {
            qCWarning(lcApp) << "cannot listen for links on" << name << m_server->errorString();
            return false;
        }
    }
    connect(m_server, &QLocalServer::newConnection, this, &QVRSingleInstance::acceptConnections);
    return true;
}

bool QVRSingleInstance::isListening() const
{
    return m_server && m_server->isListening();
}

void QVRSingleInstance::acceptConnections()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto links = std::make_shared<QStringList>();
        auto finished = std::make_shared<bool>(false);
        QPointer<QLocalSocket> guarded(socket);
        connect(socket, &QLocalSocket::readyRead, this, [this, guarded, links, finished] {
            if (!guarded || *finished)
                return;
            while (guarded->canReadLine()) {
                QByteArray line = guarded->readLine(kMaxLineBytes + 2);
                if (!line.endsWith('\n')) {
                    qCWarning(lcApp) << "dropping an overlong link from another process";
                    guarded->abort();
                    return;
                }
                line.chop(1);
                if (line.isEmpty()) {
                    *finished = true;
                    guarded->write(kAcknowledgement);
                    guarded->flush();
                    if (!links->isEmpty())
                        emit linksReceived(*links);
                    return;
                }
                if (links->size() < kMaxLinks)
                    links->append(QString::fromUtf8(line));
            }
            if (guarded->bytesAvailable() > kMaxLineBytes) {
                qCWarning(lcApp) << "dropping an overlong link from another process";
                guarded->abort();
            }
        });
    }
}
