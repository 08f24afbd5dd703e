#include "service/QVBPrecacheManager.h"

#include <QTimer>

#include "service/ServiceLogging.h"
#include "storage/ZERI_WebDownloader.h"

QVBPrecacheManager& QVBPrecacheManager::sharedInstance()
{
    static QVBPrecacheManager instance;
    return instance;
}

QVBPrecacheManager::QVBPrecacheManager()
    : m_kick(std::make_unique<QTimer>())
{
    m_kick->setSingleShot(true);
    m_kick->setInterval(0);
    QObject::connect(m_kick.get(), &QTimer::timeout, m_kick.get(), [this] { startNext(); });
}

QVBPrecacheManager::~QVBPrecacheManager()
{
    m_currentObservation.reset();
}

void QVBPrecacheManager::precacheURL(const QUrl& url, const QString& directory)
{
    if (!url.isValid() || url.isEmpty())
        return;
    const QString key = url.toString() + QLatin1Char('\n') + directory;
    if (m_known.contains(key))
        return;
    m_known.insert(key);
    m_queue.append({url, directory});
    ++m_totalObjects;
    if (!m_loading) {
        m_loading = true;
        m_announced = false;
    }
    if (!m_current)
        m_kick->start();
}

void QVBPrecacheManager::resetEverything()
{
    m_kick->stop();
    m_currentObservation.reset();
    if (m_current) {
        m_current->cancel();
        m_current.reset();
    }
    m_queue.clear();
    m_known.clear();
    m_loading = false;
    m_announced = false;
    m_failures = 0;
    m_totalObjects = 0;
    m_doneObjects = 0;
    m_doneBytes = 0;
}

void QVBPrecacheManager::startNext()
{
    if (!m_loading)
        return;
    if (!m_announced) {
        m_announced = true;
        if (m_delegate)
            m_delegate->precacheManagerStartedLoad(this);
        // The delegate may have reset the manager.
        if (!m_loading)
            return;
    }
    if (m_current) {
        // A retry, or a shared transfer that someone else stopped: ask again.
        if (m_current->downloadStatus() != ZERI_WebDownloader::Downloading)
            ask(m_current);
        return;
    }
    while (!m_queue.isEmpty()) {
        const Item item = m_queue.takeFirst();
        auto downloader = ZERI_WebDownloader::downloaderForUrl(item.url, item.directory);
        if (downloader->fileExists()) {
            fileDone(downloader->fileSize());
            if (!m_loading)
                return;
            continue;
        }
        m_current = downloader;
        m_failures = 0;
        m_currentObservation = downloader->updateNotifier().addObservationBlock(
            [this](const void*, const QSet<QString>&) { onStatusChanged(); }, QStringLiteral("downloadStatus"));
        ask(downloader);
        return;
    }
    finishLoad();
}

void QVBPrecacheManager::ask(const std::shared_ptr<ZERI_WebDownloader>& downloader)
{
    // A downloader that failed already and is refused again at once (its address's tries are used up) reports no
    // change: its state is taken as it is.
    const bool failedBefore = downloader->downloadStatus() == ZERI_WebDownloader::Failed;
    downloader->downloadAndCache();
    if (failedBefore && downloader == m_current && downloader->downloadStatus() == ZERI_WebDownloader::Failed)
        onStatusChanged();
}

void QVBPrecacheManager::fileDone(qint64 bytes)
{
    ++m_doneObjects;
    m_doneBytes += quint64(std::max<qint64>(bytes, 0));
    if (m_delegate)
        m_delegate->precacheManager(this, m_doneBytes, m_doneBytes, m_doneObjects, m_totalObjects);
}

void QVBPrecacheManager::onStatusChanged()
{
    if (!m_current)
        return;
    switch (m_current->downloadStatus()) {
    case ZERI_WebDownloader::Downloading:
        return;
    case ZERI_WebDownloader::OnDisk: {
        const qint64 size = m_current->fileSize();
        m_currentObservation.reset();
        m_current.reset();
        fileDone(size);
        if (m_loading)
            m_kick->start();
        return;
    }
    case ZERI_WebDownloader::Failed:
        // Only a failure that may pass is tried again: a refused size or address fails the same way every time.
        if (++m_failures >= kMaxConsecutiveFailures ||
            !ZERI_WebDownloader::isPassingFailure(m_current->downloadError())) {
            qCWarning(lcService) << "precaching gave up after" << m_failures << "failures of"
                                 << m_current->url().toString(QUrl::RemoveQuery) << m_current->downloadError().message;
            m_currentObservation.reset();
            m_current.reset();
            m_queue.clear();
            m_loading = false;
            m_announced = false;
            m_totalObjects = 0;
            m_doneObjects = 0;
            m_doneBytes = 0;
            if (m_delegate)
                m_delegate->precacheManagerFailedTooManyTimes(this);
            return;
        }
        m_kick->start();
        return;
    case ZERI_WebDownloader::Idle:
        m_kick->start();
        return;
    }
}

void QVBPrecacheManager::finishLoad()
{
    m_loading = false;
    m_announced = false;
    m_totalObjects = 0;
    m_doneObjects = 0;
    m_doneBytes = 0;
    if (m_delegate)
        m_delegate->precacheManagerDoneCaching(this);
}
