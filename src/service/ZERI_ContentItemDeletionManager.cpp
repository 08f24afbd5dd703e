#include "service/ZERI_ContentItemDeletionManager.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QTimer>

#include "foundation/Reachability.h"
#include "foundation/Tessutils.h"
#include "platform/AppPaths.h"
#include "platform/AtomicFile.h"
#include "platform/OwnFiles.h"
#include "platform/Json.h"
#include "service/ServiceLogging.h"
#include "service/ServiceReply.h"
#include "service/ZERI_APIBinding.h"

namespace {
// A queue of ids is small; a file far larger is not one the application wrote.
constexpr qint64 kLargestQueueFile = 64 * 1024 * 1024;
const QString kContentIDKey = QStringLiteral("content_id");
const QString kAttemptsKey = QStringLiteral("attempts");
const QString kLoginNotification = QStringLiteral("ZERI_AuthenticationHandlerDidLoginNotification");
} // namespace

ZERI_ContentItemDeletionManager& ZERI_ContentItemDeletionManager::sharedInstance()
{
    static ZERI_ContentItemDeletionManager instance(defaultQueueFilePath());
    return instance;
}

void ZERI_ContentItemDeletionManager::registerWithStorage()
{
    // The shared instance lives for the whole process; the registry must not delete it.
    ContentItemDeletionQueue::registerQueue(
        std::shared_ptr<ContentItemDeletionQueue>(&sharedInstance(), [](ContentItemDeletionQueue*) {}));
}

QString ZERI_ContentItemDeletionManager::defaultQueueFilePath()
{
    return AppPaths::applicationSupport() + QStringLiteral("/Tessarine/deletionqueue.json");
}

ZERI_ContentItemDeletionManager::ZERI_ContentItemDeletionManager(const QString& queueFilePath)
    : m_queueFilePath(queueFilePath)
    , m_retryTimer(std::make_unique<QTimer>())
    , m_reachability(Reachability::reachabilityForInternetConnection())
{
    m_retryTimer->setSingleShot(true);
    QObject::connect(m_retryTimer.get(), &QTimer::timeout, m_retryTimer.get(), [this] { startNextIfIdle(); });
    m_reachability->startNotifier();
    m_reachabilityObservation = NotificationObservation(Reachability::changedNotificationName(), m_reachability.get(),
                                                        [this](const Notification&) { startNextIfIdle(); });
    m_loginObservation =
        NotificationObservation(kLoginNotification, nullptr, [this](const Notification&) { startNextIfIdle(); });
    load();
    // Resume at the next turn, not inside the constructor: the caller may still be configuring the service.
    QTimer::singleShot(0, m_retryTimer.get(), [this] { startNextIfIdle(); });
}

ZERI_ContentItemDeletionManager::~ZERI_ContentItemDeletionManager()
{
    if (m_requester)
        m_requester->cancel();
}

void ZERI_ContentItemDeletionManager::setRetryInterval(double seconds)
{
    m_retryInterval = std::max(0.0, seconds);
}

QStringList ZERI_ContentItemDeletionManager::pendingContentItems() const
{
    QStringList ids;
    for (const Entry& entry : m_queue)
        ids.append(entry.contentID);
    return ids;
}

void ZERI_ContentItemDeletionManager::enqueueDeleteForContentItem(const QString& contentID)
{
    if (contentID.isEmpty())
        return;
    for (const Entry& entry : std::as_const(m_queue)) {
        if (entry.contentID == contentID)
            return;
    }
    m_queue.append({contentID, 0});
    save();
    startNextIfIdle();
}

void ZERI_ContentItemDeletionManager::load()
{
    // Never read through a link put in the file's place: OwnFiles sets it aside first.
    Error error;
    const std::optional<QByteArray> data = OwnFiles::read(m_queueFilePath, kLargestQueueFile, &error);
    if (!data) {
        if (!error.isNull())
            qCWarning(lcService) << "cannot read the deletion queue" << m_queueFilePath << error.message;
        return;
    }
    const auto value = Json::read(*data, &error);
    if (!value || !value->isArray()) {
        // Keep the unreadable file aside rather than overwrite it at the next save: it may be mended by hand.
        qCWarning(lcService) << "the deletion queue is unreadable, starting empty" << m_queueFilePath << error.message;
        QFile::remove(m_queueFilePath + QStringLiteral(".unreadable"));
        QFile::rename(m_queueFilePath, m_queueFilePath + QStringLiteral(".unreadable"));
        return;
    }
    for (const QJsonValue& item : value->toArray()) {
        const QJsonObject object = item.toObject();
        const QString contentID = object.value(kContentIDKey).toString();
        if (!contentID.isEmpty() && !pendingContentItems().contains(contentID))
            m_queue.append({contentID, std::clamp(object.value(kAttemptsKey).toInt(), 0, kMaxAttempts)});
    }
}

void ZERI_ContentItemDeletionManager::save() const
{
    QJsonArray items;
    for (const Entry& entry : m_queue)
        items.append(QJsonObject{{kContentIDKey, entry.contentID}, {kAttemptsKey, entry.attempts}});
    Error error;
    if (!OwnFiles::write(m_queueFilePath, Json::write(items), &error))
        qCWarning(lcService) << "cannot write the deletion queue" << m_queueFilePath << error.message;
}

void ZERI_ContentItemDeletionManager::startNextIfIdle()
{
    if (m_requester || m_queue.isEmpty() || m_retryTimer->isActive())
        return;
    // Offline or signed out: wait for the reachability or sign-in notification instead of burning attempts.
    if (!m_reachability->isReachable())
        return;
    const QString token = Tessutils::corvikAuthToken();
    if (token.isEmpty())
        return;
    m_requester = ZERI_APIBinding::deleteContentItem(m_queue.first().contentID, token,
                                                     [this](const QString& reply, const QString&) { onReply(reply); });
}

void ZERI_ContentItemDeletionManager::scheduleRetry()
{
    m_retryTimer->start(int(m_retryInterval * 1000));
}

void ZERI_ContentItemDeletionManager::finishHead(const char* why)
{
    qCDebug(lcService) << "content item" << m_queue.first().contentID << why;
    m_queue.removeFirst();
    save();
}

void ZERI_ContentItemDeletionManager::onReply(const QString& text)
{
    m_requester.reset();
    if (m_queue.isEmpty())
        return;
    const ServiceReply reply = ServiceReply::parse(text);
    switch (reply.outcome) {
    case ServiceReply::Outcome::Success:
        finishHead("deleted");
        startNextIfIdle();
        return;
    case ServiceReply::Outcome::NotFound:
        qCWarning(lcService) << "the service does not know content item" << m_queue.first().contentID
                             << "- dropping its deletion";
        finishHead("dropped");
        startNextIfIdle();
        return;
    case ServiceReply::Outcome::ConnectionFailure:
        scheduleRetry();
        return;
    case ServiceReply::Outcome::Failure:
        break;
    }
    Entry& head = m_queue.first();
    if (++head.attempts >= kMaxAttempts) {
        qCWarning(lcService) << "giving up deleting content item" << head.contentID << "after" << head.attempts
                             << "attempts:" << reply.asError().message;
        finishHead("given up");
        startNextIfIdle();
        return;
    }
    save();
    scheduleRetry();
}
