#include "app/QVRSingleInstance.h"

#include <cerrno>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>

#include "app/AppLogging.h"
#include "platform/AppPaths.h"

namespace {

constexpr char kAcknowledgement[] = "ok\n";
// What a local socket's address holds, its final zero included.
constexpr qsizetype kLongestSocketPath = sizeof(sockaddr_un::sun_path) - 1;

// A folder (not a link) of this user's that nobody else may enter or list.
bool isPrivateFolder(const QString& path)
{
    struct stat info {};
    return !path.isEmpty() && ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::getuid() && (info.st_mode & 077) == 0;
}

// The user id of the process at the other end of a connected local socket; -1 when it cannot be told.
qint64 peerUser(qintptr descriptor)
{
    struct ucred credentials {};
    socklen_t size = sizeof credentials;
    if (descriptor < 0 || ::getsockopt(int(descriptor), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0)
        return -1;
    return qint64(credentials.uid);
}

// Whether nothing is at `path`, or a socket of this user's.
bool isFreeOrOwnSocket(const QString& path)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return errno == ENOENT;
    return S_ISSOCK(info.st_mode) && info.st_uid == ::getuid();
}

} // namespace

QVRSingleInstance::QVRSingleInstance(QObject* parent)
    : QObject(parent)
{
}

QVRSingleInstance::~QVRSingleInstance() = default;

QString QVRSingleInstance::socketFolder()
{
    static const QString kName = QStringLiteral("/tessarine-0123456789abcdef01234567");
    const QString runtime = QDir::cleanPath(qEnvironmentVariable("XDG_RUNTIME_DIR"));
    if (!runtime.isEmpty() && isPrivateFolder(runtime) && (runtime + kName).size() <= kLongestSocketPath)
        return runtime;
    const QString own = QDir::cleanPath(QDir::tempPath()) + QStringLiteral("/tessarine-%1").arg(quint64(::getuid()));
    ::mkdir(QFile::encodeName(own).constData(), 0700);
    if (isPrivateFolder(own) && (own + kName).size() <= kLongestSocketPath)
        return own;
    qCWarning(lcApp) << "no folder for the single-instance socket that only this user can enter (XDG_RUNTIME_DIR"
                     << runtime << "and" << own << "are not); this start does not look for another one";
    return {};
}

QString QVRSingleInstance::serverName()
{
    const QString folder = socketFolder();
    if (folder.isEmpty())
        return {};
    QByteArray seed = AppPaths::applicationSupport().toUtf8();
    seed += '|' + QByteArray::number(quint64(getuid()));
    const QByteArray hash = QCryptographicHash::hash(seed, QCryptographicHash::Sha256).toHex().left(24);
    return folder + QStringLiteral("/tessarine-") + QString::fromLatin1(hash);
}

QVRSingleInstance::Handover QVRSingleInstance::forwardToRunningInstance(const QStringList& links, int timeoutMs)
{
    const QString name = serverName();
    if (name.isEmpty() || !isFreeOrOwnSocket(name)) {
        if (!name.isEmpty())
            qCWarning(lcApp) << "not handing links to" << name << "- it is not a socket of this user's";
        return Handover::NoInstance;
    }
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(timeoutMs))
        return Handover::NoInstance;
    if (peerUser(socket.socketDescriptor()) != qint64(::getuid())) {
        qCWarning(lcApp) << "not handing links to" << name << "- it is served by another user";
        return Handover::NoInstance;
    }
    QStringList distinct = links;
    distinct.removeDuplicates();
    QByteArray payload;
    int sent = 0;
    for (const QString& link : std::as_const(distinct)) {
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
    const QString name = serverName();
    if (name.isEmpty())
        return false;
    // Only this user can enter the folder; whatever is found there that is not this user's socket goes.
    if (!isFreeOrOwnSocket(name)) {
        qCWarning(lcApp) << "removing" << name << "- it is not a socket of this user's";
        QFile::remove(name);
    }
    QLocalSocket probe;
    probe.connectToServer(name);
    if (probe.waitForConnected(500) && peerUser(probe.socketDescriptor()) == qint64(::getuid())) {
        qCWarning(lcApp) << "another instance is listening on" << name;
        return false;
    }
    probe.abort();
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
        if (peerUser(socket->socketDescriptor()) != qint64(::getuid())) {
            qCWarning(lcApp) << "refusing links from a process of another user";
            socket->abort();
            continue;
        }
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
                if (links->size() < kMaxLinks && !links->contains(QString::fromUtf8(line)))
                    links->append(QString::fromUtf8(line));
            }
            if (guarded->bytesAvailable() > kMaxLineBytes) {
                qCWarning(lcApp) << "dropping an overlong link from another process";
                guarded->abort();
            }
        });
    }
}
