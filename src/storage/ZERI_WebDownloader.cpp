#include "storage/ZERI_WebDownloader.h"

#include <cerrno>
#include <deque>
#include <limits>
#include <utility>
#include <cstdio>
#include <vector>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSet>
#include <QTimer>

#include "foundation/ApplicationNetworkAccess.h"
#include "platform/WorkerThreads.h"
#include "platform/MainThread.h"
#include "platform/SafeFolder.h"
#include "storage/FailedAddresses.h"
#include "storage/PackageFileGuard.h"
#include "storage/StorageLogging.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"

namespace {

QHash<QString, std::weak_ptr<ZERI_WebDownloader>>& registry()
{
    static QHash<QString, std::weak_ptr<ZERI_WebDownloader>> downloaders;
    return downloaders;
}

QPointer<QNetworkAccessManager>& managerOverride()
{
    static QPointer<QNetworkAccessManager> manager;
    return manager;
}

int g_requestsStarted = 0;
qint64 g_maximumSizeForTesting = 0;
int g_idleTimeoutForTesting = 0;
int g_rateWindowForTesting = 0;
qint64 g_minimumBytesForTesting = 0;
qint64 g_maximumPictureSizeForTesting = 0;
int g_picturesAtOnceForTesting = 0;

// Pictures' transfers running, and the pictures waiting for their turn, first asked first.
int g_picturesRunning = 0;
std::deque<std::weak_ptr<ZERI_WebDownloader>>& waitingPictures()
{
    static std::deque<std::weak_ptr<ZERI_WebDownloader>> waiting;
    return waiting;
}

int picturesAtOnce()
{
    return g_picturesAtOnceForTesting > 0 ? g_picturesAtOnceForTesting : ZERI_WebDownloader::kMaximumPicturesAtOnce;
}

QString registryKey(const QUrl& url, const QString& directory)
{
    return url.toString(QUrl::FullyEncoded) + QLatin1Char('\n') + QDir::cleanPath(QDir(directory).absolutePath());
}

// Log the address without its query: signed and tokenised URLs must not reach the log.
QString safeUrlText(const QUrl& url)
{
    return url.toString(QUrl::RemoveQuery | QUrl::RemoveUserInfo | QUrl::RemoveFragment);
}

} // namespace

QString ZERI_WebDownloader::cacheFilePathForUrl(const QUrl& url, const QString& directory)
{
    return ZERI_ContentAsset::fileForUrlInFolder(url, directory);
}

QNetworkAccessManager* ZERI_WebDownloader::networkAccessManager()
{
    if (managerOverride())
        return managerOverride();
    static QPointer<QNetworkAccessManager> manager;
    if (!manager)
        manager = ApplicationNetworkAccess::newManager();
    return manager;
}

void ZERI_WebDownloader::setNetworkAccessManagerForTesting(QNetworkAccessManager* manager)
{
    managerOverride() = manager;
}

int ZERI_WebDownloader::requestsStartedForTesting()
{
    return g_requestsStarted;
}

qint64 ZERI_WebDownloader::maximumDownloadSize()
{
    return g_maximumSizeForTesting > 0 ? g_maximumSizeForTesting : kMaximumDownloadSize;
}

int ZERI_WebDownloader::idleTimeoutMs()
{
    return g_idleTimeoutForTesting > 0 ? g_idleTimeoutForTesting : kIdleTimeoutMs;
}

int ZERI_WebDownloader::rateWindowMs()
{
    return g_rateWindowForTesting > 0 ? g_rateWindowForTesting : kRateWindowMs;
}

qint64 ZERI_WebDownloader::minimumBytesPerWindow()
{
    return g_minimumBytesForTesting > 0 ? g_minimumBytesForTesting : kMinimumBytesPerWindow;
}

void ZERI_WebDownloader::setPictureBoundsForTesting(qint64 maximumSize, int atOnce)
{
    g_maximumPictureSizeForTesting = maximumSize;
    g_picturesAtOnceForTesting = atOnce;
}

qint64 ZERI_WebDownloader::sizeCap() const
{
    if (!m_picture)
        return maximumDownloadSize();
    const qint64 picture = g_maximumPictureSizeForTesting > 0 ? g_maximumPictureSizeForTesting : kMaximumPictureSize;
    return std::min(picture, maximumDownloadSize());
}

void ZERI_WebDownloader::setBoundsForTesting(qint64 maximumSize, int idleTimeoutMs)
{
    g_maximumSizeForTesting = maximumSize;
    g_idleTimeoutForTesting = idleTimeoutMs;
}

void ZERI_WebDownloader::setRateBoundForTesting(int windowMs, qint64 minimumBytes)
{
    g_rateWindowForTesting = windowMs;
    g_minimumBytesForTesting = minimumBytes;
}

namespace {

bool isWebAddress(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() &&
           (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

// A host of this machine or of the network it is on: such a host is reached by a redirect only from itself.
bool isLocalHost(const QUrl& url)
{
    const QString host = url.host().toLower();
    // A name of one label ("intranet", or a number that the resolver reads as an address) is the local network's.
    if (host.isEmpty() || host == QLatin1String("localhost") || host.endsWith(QLatin1String(".localhost")) ||
        host.endsWith(QLatin1String(".local")) || host.endsWith(QLatin1String(".internal")) ||
        (!host.contains(QLatin1Char('.')) && !host.contains(QLatin1Char(':'))))
        return true;
    QHostAddress address;
    if (!address.setAddress(host))
        return false;
    bool isIPv4 = false;
    const quint32 ipv4 = address.toIPv4Address(&isIPv4); // also an IPv4 address written as IPv6
    if (isIPv4) {
        const QHostAddress four(ipv4);
        for (const char* subnet : {"0.0.0.0/8", "10.0.0.0/8", "100.64.0.0/10", "127.0.0.0/8", "169.254.0.0/16",
                                   "172.16.0.0/12", "192.168.0.0/16"}) {
            if (four.isInSubnet(QHostAddress::parseSubnet(QLatin1String(subnet))))
                return true;
        }
        return false;
    }
    return address.isLoopback() || address.isLinkLocal() || address.isSiteLocal() || address.isUniqueLocalUnicast() ||
           address == QHostAddress(QHostAddress::AnyIPv6);
}

int effectivePort(const QUrl& url)
{
    return url.port(url.scheme().toLower() == QLatin1String("https") ? 443 : 80);
}

} // namespace

bool ZERI_WebDownloader::mayRedirect(const QUrl& first, const QUrl& from, const QUrl& to)
{
    if (!isWebAddress(to))
        return false;
    if (from.scheme().toLower() == QLatin1String("https") && to.scheme().toLower() != QLatin1String("https"))
        return false;
    const bool sameHost = first.host().compare(to.host(), Qt::CaseInsensitive) == 0;
    // http to https on the same host changes only the default port.
    const bool upgrade = first.port(-1) == -1 && to.port(-1) == -1;
    if (sameHost && (effectivePort(first) == effectivePort(to) || upgrade))
        return true;
    return !isLocalHost(first) && !isLocalHost(to);
}

namespace {

// A piece is made under this further suffix, locked, and only then given its ".part" name. One left by a crash in
// that moment goes once it is older than any making.
const QLatin1String kPieceInTheMaking(".new");
constexpr qint64 kPieceMakingSeconds = 600;

} // namespace

int ZERI_WebDownloader::createLockedPiece(const SafeFolder& folder, const QString& part)
{
    const QString making = part + kPieceInTheMaking;
    const int fd = folder.createNew(making, 0644);
    if (fd < 0)
        return -1;
    ::flock(fd, LOCK_EX | LOCK_NB);
    // A second name, then the first one goes: unlike a rename, linking never replaces a file under the name. A file
    // system without links is renamed on (the name is a fresh one).
    if (folder.link(making, part)) {
        folder.remove(making);
        return fd;
    }
    if (errno != EEXIST && folder.rename(making, part))
        return fd;
    const int error = errno;
    ::close(fd);
    folder.remove(making);
    errno = error;
    return -1;
}

bool ZERI_WebDownloader::isStalePartFile(const QString& path)
{
    const QFileInfo info(path);
    const QString name = info.fileName();
    if (name.startsWith(QLatin1Char('.')) && name.endsWith(QLatin1String(".part") + kPieceInTheMaking))
        return info.isFile() && info.lastModified().secsTo(QDateTime::currentDateTime()) > kPieceMakingSeconds;
    if (!name.startsWith(QLatin1Char('.')) || !name.endsWith(QLatin1String(".part")) || !info.isFile())
        return false;
    // A running download holds the lock on its piece; a lock taken here belongs to nobody else.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return false;
    const bool unlocked = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd); // releases the lock taken
    return unlocked;
}

std::shared_ptr<ZERI_WebDownloader> ZERI_WebDownloader::downloaderForUrl(const QUrl& url, const QString& directory,
                                                                         Kind kind)
{
    Q_ASSERT(MainThread::isMainThread());
    const QString key = registryKey(url, directory);
    auto& downloaders = registry();
    if (auto existing = downloaders.value(key).lock()) {
        if (kind == Kind::Picture && existing->m_status != Downloading)
            existing->m_picture = true;
        return existing;
    }
    static bool exitRoutineAdded = false;
    if (!exitRoutineAdded && QCoreApplication::instance()) {
        exitRoutineAdded = true;
        qAddPostRoutine(abandonRunningDownloads);
    }
    std::shared_ptr<ZERI_WebDownloader> downloader(new ZERI_WebDownloader(url, directory));
    downloader->m_picture = kind == Kind::Picture;
    downloaders.insert(key, downloader);
    return downloader;
}

void ZERI_WebDownloader::abandonRunningDownloads()
{
    std::vector<std::shared_ptr<ZERI_WebDownloader>> running;
    for (const auto& weak : std::as_const(registry())) {
        if (auto downloader = weak.lock())
            running.push_back(std::move(downloader));
    }
    for (const auto& downloader : running)
        downloader->abandonAtExit();
}

void ZERI_WebDownloader::abandonAtExit()
{
    m_delay.reset();
    m_waitingForTurn = false;
    if (std::exchange(m_holdsPictureTurn, false))
        --g_picturesRunning;
    abandonReply();
    discardTemporaryFile();
    if (m_status == Downloading && !m_landing)
        m_status = Idle; // not reported: the observers may be gone already
    auto keepAlive = std::move(m_selfWhileRunning);
}

ZERI_WebDownloader::ZERI_WebDownloader(const QUrl& url, const QString& directory)
    : m_url(url)
    , m_directory(QDir::cleanPath(QDir(directory).absolutePath()))
    , m_filepath(cacheFilePathForUrl(url, directory))
{
}

ZERI_WebDownloader::~ZERI_WebDownloader()
{
    abandonReply();
    discardTemporaryFile();
    if (m_holdsPictureTurn)
        --g_picturesRunning;
    auto& downloaders = registry();
    const QString key = registryKey(m_url, m_directory);
    auto it = downloaders.find(key);
    if (it != downloaders.end() && it->expired())
        downloaders.erase(it);
}

QString ZERI_WebDownloader::filename() const
{
    return QFileInfo(m_filepath).fileName();
}

qint64 ZERI_WebDownloader::fileSize() const
{
    const QFileInfo info(m_filepath);
    return info.isFile() ? info.size() : 0;
}

bool ZERI_WebDownloader::fileExists()
{
    if (!QFileInfo(m_filepath).isFile())
        return false;
    if (m_status != Downloading) {
        m_status = OnDisk;
        m_progress = 1;
    }
    return true;
}

void ZERI_WebDownloader::setStatus(DownloadStatus status)
{
    if (m_status == status)
        return;
    m_status = status;
    m_notifier.reportChange(QStringLiteral("downloadStatus"));
}

void ZERI_WebDownloader::setProgress(double progress)
{
    if (qFuzzyCompare(1 + m_progress, 1 + progress))
        return;
    m_progress = progress;
    m_notifier.reportChange(QStringLiteral("progress"));
}

void ZERI_WebDownloader::downloadAndCache()
{
    Q_ASSERT(MainThread::isMainThread());
    if (m_status == Downloading)
        return;
    if (QFileInfo(m_filepath).isFile()) {
        setProgress(1);
        setStatus(OnDisk);
        return;
    }
    m_error = Error();
    m_timer.start();
    if (m_url.isLocalFile() && QDir::cleanPath(m_url.toLocalFile()) == m_filepath) {
        fail(Error(QString::fromLatin1(errorDomain), NetworkError,
                   QStringLiteral("The file \"%1\" does not exist").arg(m_filepath)));
        return;
    }
    const QString scheme = m_url.scheme().toLower();
    if (!m_url.isValid() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https") && scheme != QLatin1String("file"))) {
        fail(Error(QString::fromLatin1(errorDomain), BadURL,
                   QStringLiteral("Cannot download \"%1\": unsupported address").arg(safeUrlText(m_url))));
        return;
    }
    m_selfWhileRunning = shared_from_this();
    m_progress = 0;
    askWhenAllowed();
}

void ZERI_WebDownloader::askWhenAllowed()
{
    // An address that failed lately is asked again only after its pause, and not at all once its tries are used
    // up, whoever asks (and whatever failed meanwhile while this one waited).
    if (!m_url.isLocalFile()) {
        Error remembered;
        const qint64 wait = FailedAddresses::waitBeforeAsking(m_url, &remembered);
        if (wait < 0) {
            fail(remembered, false);
            return;
        }
        if (wait > 0) {
            m_delay = std::make_unique<QTimer>();
            m_delay->setSingleShot(true);
            QObject::connect(m_delay.get(), &QTimer::timeout, m_delay.get(), [this] {
                const auto self = shared_from_this();
                m_delay.release()->deleteLater();
                askWhenAllowed();
            });
            m_delay->start(int(std::min<qint64>(wait, std::numeric_limits<int>::max())));
            setStatus(Downloading);
            return;
        }
    }
    beginInTurn();
}

void ZERI_WebDownloader::beginInTurn()
{
    if (m_picture && !m_holdsPictureTurn) {
        if (g_picturesRunning >= picturesAtOnce()) {
            m_waitingForTurn = true;
            waitingPictures().push_back(weak_from_this());
            setStatus(Downloading);
            return;
        }
        ++g_picturesRunning;
        m_holdsPictureTurn = true;
    }
    begin();
}

void ZERI_WebDownloader::endTurn()
{
    m_waitingForTurn = false; // a waiting one is passed over when its turn comes
    if (!std::exchange(m_holdsPictureTurn, false))
        return;
    --g_picturesRunning;
    // The next one begins in the next turn of the event loop, not inside this one's report.
    if (!waitingPictures().empty())
        QTimer::singleShot(0, QCoreApplication::instance(), &ZERI_WebDownloader::startWaitingPictures);
}

void ZERI_WebDownloader::startWaitingPictures()
{
    auto& waiting = waitingPictures();
    while (g_picturesRunning < picturesAtOnce() && !waiting.empty()) {
        const auto next = waiting.front().lock();
        waiting.pop_front();
        if (!next || !std::exchange(next->m_waitingForTurn, false))
            continue;
        ++g_picturesRunning;
        next->m_holdsPictureTurn = true;
        next->begin();
    }
}

void ZERI_WebDownloader::begin()
{
    // A package's folder is made the package's own (a link replaced) before anything lands in it; a folder that
    // leads out of its package is never written into. The folder is held open from here on: the piece is made,
    // and renamed to its name, in the folder opened now, whatever is done to its path meanwhile.
    Error refused;
    auto folder = std::make_shared<SafeFolder>(PackageFileGuard::openPreparedFolder(m_directory, &refused));
    if (!folder->isOpen()) {
        fail(Error(QString::fromLatin1(errorDomain), FileWriteError,
                   QStringLiteral("Cannot download into \"%1\": %2").arg(m_directory, refused.message)));
        return;
    }
    // A named hidden file (not an anonymous temporary one) so a crash leaves a recognisable ".part" piece, held
    // (locked) until the file lands or is removed; the kernel lets the lock go when the process ends however it
    // ends.
    const QString partName = SafeFolder::hiddenName(QFileInfo(m_filepath).fileName(), QStringLiteral(".part"));
    const int fd = createLockedPiece(*folder, partName);
    auto part = std::make_unique<QFile>();
    if (fd < 0 || !part->open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        const QString reason = fd < 0 ? qt_error_string(errno) : part->errorString();
        if (fd >= 0) {
            ::close(fd);
            folder->remove(partName);
        }
        fail(Error(QString::fromLatin1(errorDomain), FileWriteError,
                   QStringLiteral("Cannot write in \"%1\": %2").arg(m_directory, reason)));
        return;
    }
    m_partFile = std::move(part);
    m_folder = std::move(folder);
    m_partName = partName;

    m_selfWhileRunning = shared_from_this();
    m_progress = 0;
    m_redirects = 0;
    m_rateTimer.reset();
    m_requested = true;
    request(m_url);
    setStatus(Downloading);
}

void ZERI_WebDownloader::request(const QUrl& url)
{
    m_hopUrl = url;
    m_hopBytesRead = 0;
    QNetworkRequest request(url);
    // Redirects are followed by this class, each hop a request with every bound.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    // An idle timeout, not a total one: a large file on a slow line may take long, a silent one never ends.
    request.setTransferTimeout(idleTimeoutMs());
    m_reply = networkAccessManager()->get(request);
    // The network layer holds at most this much that has not been read yet, so the bytes on their way to the file
    // (and to the size cap) stay within a few megabytes however fast the server sends.
    m_reply->setReadBufferSize(kReadBufferSize);
    ++g_requestsStarted;
    m_replyConnections = {
        QObject::connect(m_reply, &QNetworkReply::metaDataChanged, m_reply, [this] { endOnHeader(); }),
        QObject::connect(m_reply, &QNetworkReply::readyRead, m_reply, [this] { onReadyRead(); }),
        QObject::connect(m_reply, &QNetworkReply::finished, m_reply, [this] { onFinished(); })};
}

void ZERI_WebDownloader::followRedirect(int httpStatus)
{
    const QUrl from = m_hopUrl;
    const QUrl location = m_reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
    abandonReply(); // the redirect's own body is never read
    const QUrl target = from.resolved(location);
    if (location.isEmpty() || !mayRedirect(m_url, from, target)) {
        fail(Error(QString::fromLatin1(errorDomain), BadURL,
                   QStringLiteral("Downloading \"%1\" stopped: redirected to an address that is not allowed (\"%2\")")
                       .arg(safeUrlText(m_url), safeUrlText(target)),
                   {{QStringLiteral("httpStatus"), httpStatus}}));
        return;
    }
    if (++m_redirects > kMaximumRedirects) {
        fail(Error(QString::fromLatin1(errorDomain), BadURL,
                   QStringLiteral("Downloading \"%1\" stopped: more than %2 redirects")
                       .arg(safeUrlText(m_url))
                       .arg(kMaximumRedirects),
                   {{QStringLiteral("httpStatus"), httpStatus}}));
        return;
    }
    request(target);
}

void ZERI_WebDownloader::checkRate()
{
    const auto self = shared_from_this();
    if (!m_reply || !m_partFile)
        return;
    const qint64 size = m_partFile->size();
    if (size - m_sizeAtWindowStart >= minimumBytesPerWindow()) {
        m_sizeAtWindowStart = size;
        return;
    }
    abandonReply();
    fail(Error(QString::fromLatin1(errorDomain), TimedOut,
               QStringLiteral("Downloading \"%1\" stopped: fewer than %2 bytes arrived in %3 seconds")
                   .arg(safeUrlText(m_url))
                   .arg(minimumBytesPerWindow())
                   .arg(rateWindowMs() / 1000.0)));
}

bool ZERI_WebDownloader::endOnHeader()
{
    const auto self = shared_from_this();
    if (!m_reply)
        return true;
    const int httpStatus = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (httpStatus >= 300 && httpStatus < 400 &&
        m_reply->attribute(QNetworkRequest::RedirectionTargetAttribute).isValid()) {
        followRedirect(httpStatus);
        return true;
    }
    if (httpStatus >= 300) {
        // An error page is not the file: only the start of it is kept, for the log, and the transfer ends here
        // whatever the server would go on sending. A short one is first let arrive whole, so that the reply ends
        // by itself rather than by an abort crossing its own end.
        const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() <= kErrorTextBytes && !m_reply->isFinished() &&
            m_reply->bytesAvailable() < length.toLongLong())
            return true;
        const QByteArray start = m_reply->read(kErrorTextBytes);
        m_hopBytesRead += start.size();
        abandonReply();
        QString text = QString::fromUtf8(start).simplified();
        text.removeIf([](QChar c) { return !c.isPrint(); });
        fail(Error(
            QString::fromLatin1(errorDomain), HTTPError,
            QStringLiteral("Downloading \"%1\" failed with HTTP status %2").arg(safeUrlText(m_url)).arg(httpStatus),
            {{QStringLiteral("httpStatus"), httpStatus}, {QStringLiteral("errorText"), text}}));
        return true;
    }
    if (m_reply->header(QNetworkRequest::ContentLengthHeader).toLongLong() > sizeCap()) {
        failTooLarge();
        return true;
    }
    // The file's answer has begun: from here on it must keep coming at the least rate, whatever the hops before.
    if (httpStatus != 0 && !m_rateTimer) {
        m_rateTimer = std::make_unique<QTimer>();
        m_sizeAtWindowStart = m_partFile ? m_partFile->size() : 0;
        QObject::connect(m_rateTimer.get(), &QTimer::timeout, m_rateTimer.get(), [this] { checkRate(); });
        m_rateTimer->start(rateWindowMs());
    }
    return false;
}

void ZERI_WebDownloader::failTooLarge()
{
    abandonReply();
    fail(Error(QString::fromLatin1(errorDomain), TooLarge,
               QStringLiteral("Downloading \"%1\" stopped: the file is larger than %2 bytes")
                   .arg(safeUrlText(m_url))
                   .arg(sizeCap())));
}

void ZERI_WebDownloader::onReadyRead()
{
    const auto self = shared_from_this();
    if (!m_reply || !m_partFile || endOnHeader())
        return;
    const qint64 total = m_reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
    // Never more than the cap allows: the bytes past it are not taken into memory at all.
    const qint64 room = sizeCap() - m_partFile->size();
    const QByteArray chunk = m_reply->read(std::min(m_reply->bytesAvailable(), std::max<qint64>(room, 0) + 1));
    m_hopBytesRead += chunk.size();
    if (m_partFile->size() + chunk.size() > sizeCap()) {
        failTooLarge();
        return;
    }
    // Flushed at once: the bytes should be in the file, not in a buffer, when the transfer is cut.
    if (m_partFile->write(chunk) != chunk.size() || !m_partFile->flush()) {
        const QString reason = m_partFile->errorString();
        abandonReply();
        fail(Error(QString::fromLatin1(errorDomain), FileWriteError,
                   QStringLiteral("Cannot write \"%1\": %2").arg(m_filepath, reason)));
        return;
    }
    if (total > 0)
        setProgress(std::min(1.0, double(m_partFile->size()) / double(total)));
}

// Only this downloader's own connections are cut: the reply's disconnect() would also cut the ones through which
// abort() reaches the network thread, and the connection would go on receiving (and buffering) the whole response.
void ZERI_WebDownloader::abandonReply()
{
    if (m_rateTimer)
        m_rateTimer->stop();
    for (const QMetaObject::Connection& connection : m_replyConnections)
        QObject::disconnect(connection);
    m_replyConnections = {};
    if (QNetworkReply* reply = m_reply) {
        m_reply = nullptr;
        // A reply whose whole body has arrived is let end by itself: the network thread may have ended it already,
        // and an abort crossing that end is reported twice. Any other is aborted, so its connection closes at once.
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        const bool whole = reply->isFinished() ||
                           (length.isValid() && m_hopBytesRead + reply->bytesAvailable() >= length.toLongLong());
        if (reply->isFinished()) {
            reply->deleteLater();
        } else if (whole) {
            QObject::connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
            // A server that announced less than it sends is cut all the same.
            QTimer::singleShot(1000, reply, [reply] {
                if (!reply->isFinished())
                    reply->abort();
            });
        } else {
            reply->abort();
            reply->deleteLater(); // at the application's end, deleted with its network manager instead
        }
    }
}

void ZERI_WebDownloader::onFinished()
{
    const auto self = shared_from_this();
    QNetworkReply* reply = m_reply;
    if (!reply)
        return;
    onReadyRead();
    if (m_reply != reply)
        return; // failed while writing the last bytes, or redirected
    m_reply = nullptr;
    if (m_rateTimer)
        m_rateTimer->stop();
    reply->deleteLater();

    if (reply->error() == QNetworkReply::OperationCanceledError) {
        // Nothing here aborts a reply it still listens to: the transfer timeout ended it.
        fail(Error(QString::fromLatin1(errorDomain), TimedOut,
                   QStringLiteral("Downloading \"%1\" stopped: nothing arrived for %2 seconds")
                       .arg(safeUrlText(m_url))
                       .arg(idleTimeoutMs() / 1000.0),
                   {{QStringLiteral("networkError"), int(reply->error())}}));
        return;
    }
    if (reply->error() != QNetworkReply::NoError) {
        fail(Error(QString::fromLatin1(errorDomain), NetworkError,
                   QStringLiteral("Downloading \"%1\" failed: %2").arg(safeUrlText(m_url), reply->errorString()),
                   {{QStringLiteral("networkError"), int(reply->error())}}));
        return;
    }

    // The bytes are made durable before the name says the file is complete. Flushing a large file to disk takes
    // long, so it happens on a worker; the downloader stays "downloading" (and holds itself) until it lands.
    const bool flushed = m_partFile->flush();
    m_landingFile = std::move(m_partFile);
    m_landing = true;
    WorkerThreads::shared().post([self, flushed, fd = m_landingFile->handle(), folder = m_folder, partName = m_partName,
                                  name = QFileInfo(m_filepath).fileName()] {
        // The piece is still open (and so locked) on the main thread until the downloader hears back.
        bool landed = flushed && ::fdatasync(fd) == 0 && folder->rename(partName, name);
        if (!landed)
            folder->remove(partName);
        MainThread::run([self, landed] { self->didLand(landed); }, false);
    });
}

bool ZERI_WebDownloader::isPassingFailure(const Error& error)
{
    if (error.domain != QLatin1String(errorDomain) || error.userInfo.value(QStringLiteral("triesUsedUp")).toBool())
        return false;
    switch (error.code) {
    case NetworkError:
    case TimedOut:
        return true;
    case HTTPError: {
        const int status = error.userInfo.value(QStringLiteral("httpStatus")).toInt();
        return status >= 500 || status == 408 || status == 429;
    }
    default:
        return false;
    }
}

void ZERI_WebDownloader::didLand(bool landed)
{
    m_landing = false;
    m_landingFile.reset(); // closed: the lock goes with it
    m_folder.reset();
    if (!landed) {
        fail(Error(QString::fromLatin1(errorDomain), FileWriteError,
                   QStringLiteral("Cannot write \"%1\"").arg(m_filepath)));
        return;
    }
    endTurn();
    m_downloadTime = m_timer.elapsed() / 1000.0;
    if (std::exchange(m_requested, false))
        FailedAddresses::noteSuccess(m_url);
    setProgress(1);
    auto keepAlive = std::move(m_selfWhileRunning);
    setStatus(OnDisk);
}

void ZERI_WebDownloader::fail(Error error, bool log)
{
    if (log)
        qCWarning(lcStorage).noquote() << error.message;
    else
        qCDebug(lcStorage).noquote() << "not asked again:" << error.message;
    // What the server answered is remembered for every asker; a file this side could not write is not the
    // address's fault.
    const bool ours = error.domain == QLatin1String(errorDomain);
    if (std::exchange(m_requested, false) && !(ours && error.code == FileWriteError))
        FailedAddresses::noteFailure(m_url, error, ours && (error.code == TooLarge || error.code == BadURL));
    discardTemporaryFile();
    endTurn();
    m_error = std::move(error);
    m_downloadTime = m_timer.isValid() ? m_timer.elapsed() / 1000.0 : 0;
    auto keepAlive = std::move(m_selfWhileRunning);
    setStatus(Failed);
}

void ZERI_WebDownloader::discardTemporaryFile()
{
    if (m_partFile) {
        m_partFile.reset();
        m_folder->remove(m_partName);
    }
    if (!m_landing)
        m_folder.reset();
}

void ZERI_WebDownloader::cancel()
{
    // A file that is already landing is complete; it is kept.
    if (m_status != Downloading || m_landing)
        return;
    m_delay.reset();
    m_requested = false;
    abandonReply();
    discardTemporaryFile();
    endTurn();
    m_progress = 0;
    auto keepAlive = std::move(m_selfWhileRunning);
    setStatus(Idle);
}
