#include "library/account/QVBUserInfoMonitor.h"

#include <cmath>

#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QTimeZone>
#include <QTimer>

#include "foundation/SafeDictionary.h"
#include "foundation/Tessutils.h"
#include "library/LibraryLogging.h"
#include "library/account/ZERI_AuthenticationHandler.h"
#include "platform/CheckedNumbers.h"
#include "platform/NotificationCenter.h"
#include "service/CorvikBlockAPIBinding.h"
#include "service/ZERI_APIBinding.h"
#include "strings/UFM.h"

namespace {

QVBUserInfoMonitor* s_monitor = nullptr;
int s_intervalMs = QVBUserInfoMonitor::kIntervalMs;

SafeDictionary parseReply(const QString& reply)
{
    const QJsonDocument document = QJsonDocument::fromJson(reply.toUtf8());
    return document.isObject() ? SafeDictionary(document.object()) : SafeDictionary();
}

std::optional<Error> errorOf(const SafeDictionary& reply)
{
    if (auto errorDict = reply.safeDictionaryForKey(QStringLiteral("error")))
        return ZERI_AuthenticationHandler::errorFromApiErrorDict(*errorDict);
    return Error(QString::fromLatin1(ZERI_AuthenticationHandler::kServiceErrorDomain), 0,
                 QStringLiteral("The service's answer could not be read."));
}

qint64 int64Of(const QJsonValue& value)
{
    if (value.isDouble())
        return CheckedNumbers::wholeNumber<qint64>(value.toDouble()).value_or(0);
    return value.toString().trimmed().toLongLong();
}

Error notSignedInError()
{
    return Error(QString::fromLatin1(ZERI_AuthenticationHandler::kErrorDomain), 4,
                 QStringLiteral("You are not signed in."));
}

Error cancelledError()
{
    return Error(QString::fromLatin1(QVBUserInfoMonitor::kErrorDomain), QVBUserInfoMonitor::kCancelledCode,
                 QStringLiteral("The allowance refresh was cancelled."));
}

} // namespace

QVBUserInfoMonitor& QVBUserInfoMonitor::sharedInstance()
{
    if (!s_monitor)
        s_monitor = new QVBUserInfoMonitor();
    return *s_monitor;
}

void QVBUserInfoMonitor::resetForTesting()
{
    delete s_monitor;
    s_monitor = nullptr;
}

void QVBUserInfoMonitor::setIntervalForTesting(int milliseconds)
{
    s_intervalMs = milliseconds > 0 ? milliseconds : kIntervalMs;
    if (s_monitor && s_monitor->m_timer)
        s_monitor->m_timer->setInterval(s_intervalMs);
}

int QVBUserInfoMonitor::intervalMs()
{
    return s_intervalMs;
}

QVBUserInfoMonitor::QVBUserInfoMonitor()
    : m_logoutObservation(QString::fromLatin1(ZERI_AuthenticationHandler::kDidLogoutNotification), nullptr,
                          [this](const Notification&) {
                              // What is in flight was asked with the token of the user who left (unless someone
                              // has signed in again meanwhile, whose refresh goes on).
                              if (Tessutils::corvikAuthToken() != m_requestToken)
                                  cancelRequest(notSignedInError());
                          })
{
}

QVBUserInfoMonitor::~QVBUserInfoMonitor()
{
    // Nobody is answered from a destructor; the reply, should it come, finds nothing to call.
    m_waiting = {};
    if (m_request)
        m_request->cancel();
}

void QVBUserInfoMonitor::startMonitoring()
{
    restartTimer();
}

void QVBUserInfoMonitor::restartTimer()
{
    delete m_timer;
    m_timer = new QTimer(this);
    m_timer->setInterval(s_intervalMs);
    connect(m_timer, &QTimer::timeout, this, [this] { updateInfo(); });
    m_timer->start();
}

void QVBUserInfoMonitor::stopMonitoring()
{
    delete m_timer;
    m_timer = nullptr;
    cancelRequest(cancelledError());
}

void QVBUserInfoMonitor::updateNow(Completion completion)
{
    restartTimer();
    if (Tessutils::corvikAuthToken().isEmpty()) {
        if (completion)
            completion(notSignedInError());
        return;
    }
    cancelRequest(cancelledError());
    updateInfo(std::move(completion));
}

void QVBUserInfoMonitor::cancelRequest(const Error& error)
{
    ++m_serial;
    if (const std::shared_ptr<BlockRequester> request = std::exchange(m_request, nullptr))
        request->cancel();
    if (Completion waiting = std::exchange(m_waiting, {}))
        waiting(error);
}

// A reply for a user who has signed out (or been replaced) since the refresh began is not theirs to store.
bool QVBUserInfoMonitor::stillTheSameUser()
{
    if (Tessutils::corvikAuthToken() == m_requestToken)
        return true;
    cancelRequest(notSignedInError());
    return false;
}

void QVBUserInfoMonitor::finish(const std::optional<Error>& error)
{
    m_request.reset();
    if (Completion waiting = std::exchange(m_waiting, {}))
        waiting(error);
}

void QVBUserInfoMonitor::updateInfo(Completion completion)
{
    const QString token = Tessutils::corvikAuthToken();
    if (token.isEmpty())
        return;
    if (m_request && !completion)
        return;
    cancelRequest(cancelledError());
    m_waiting = std::move(completion);
    m_requestToken = token;
    m_request = ZERI_APIBinding::userDiskQuota(token, replyHandler(&QVBUserInfoMonitor::handleQuotaReply));
}

std::function<void(const QString&, const QString&)>
QVBUserInfoMonitor::replyHandler(void (QVBUserInfoMonitor::*handle)(const QString&))
{
    const quint64 serial = m_serial;
    QPointer<QVBUserInfoMonitor> self(this);
    return [self, serial, handle](const QString& reply, const QString&) {
        if (self && self->isCurrent(serial))
            (self->*handle)(reply);
    };
}

void QVBUserInfoMonitor::handleQuotaReply(const QString& reply)
{
    if (!stillTheSameUser())
        return;
    const SafeDictionary parsed = parseReply(reply);
    const auto quota = parsed.safeDictionaryForKey(QStringLiteral("disk_quota"));
    if (!quota) {
        finish(errorOf(parsed));
        return;
    }
    m_bytesUsed = int64Of(quota->valueForKey(QStringLiteral("used")));
    m_quotaCap = int64Of(quota->valueForKey(QStringLiteral("max")));
    // 64-bit throughout: an allowance of 4 GB or more reads as it is.
    m_friendlyRemaining = megabytes(m_quotaCap - m_bytesUsed);
    m_friendlyCap = megabytes(m_quotaCap);
    m_resetTimeRemaining = static_cast<double>(now().msecsTo(startOfNextMonth())) / 1000.0;
    m_friendlyReset = friendlyTimeRemaining(m_resetTimeRemaining);
    const quint64 serial = m_serial;
    QPointer<QVBUserInfoMonitor> self(this);
    NotificationCenter::defaultCenter().post(QString::fromLatin1(kDidUpdateNotification), this);
    // An observer may have signed out or refreshed again meanwhile; then this refresh is over.
    if (!self || !isCurrent(serial))
        return;

    m_request = CorvikBlockAPIBinding::getUserWithUserName(QString(), QString(), Tessutils::corvikAuthToken(),
                                                           replyHandler(&QVBUserInfoMonitor::handleUserReply));
}

void QVBUserInfoMonitor::handleUserReply(const QString& reply)
{
    if (!stillTheSameUser())
        return;
    const SafeDictionary record = parseReply(reply);
    if (auto user = record.safeDictionaryForKey(QStringLiteral("user"))) {
        ZERI_AuthenticationHandler::authHandler()->saveDataFromUserDict(user);
        finish(std::nullopt);
    } else {
        finish(errorOf(record));
    }
}

QString QVBUserInfoMonitor::megabytes(qint64 bytes)
{
    return QStringLiteral("%1 MB").arg(bytes / 1048576);
}

QString QVBUserInfoMonitor::friendlyTimeRemaining(double seconds)
{
    const qint64 hours =
        CheckedNumbers::clampedWholeNumber<qint64>(seconds / 60.0 / 60.0, -(qint64(1) << 53), qint64(1) << 53);
    if (hours >= -23 && hours <= 23)
        return QStringLiteral("%1 %2").arg(hours).arg((hours == 1 ? UFM::HOUR_TEXT() : UFM::HOURS_TEXT()).toUpper());
    const QString unit = (hours >= 24 && hours <= 47) ? UFM::DAY_TEXT() : UFM::DAYS_TEXT();
    return QStringLiteral("%1 %2").arg(hours / 24).arg(unit.toUpper());
}

QDateTime QVBUserInfoMonitor::startOfNextMonth() const
{
    return startOfNextMonthAfter(now());
}

QDateTime QVBUserInfoMonitor::startOfNextMonthAfter(const QDateTime& now)
{
    // The month is taken in the renewal's own zone, so a user east of it never sees a negative count or a renewal
    // a month late.
    const QTimeZone vancouver(QByteArrayLiteral("America/Vancouver"));
    const QDate today = now.toTimeZone(vancouver).date();
    const QDate first = QDate(today.year(), today.month(), 1).addMonths(1);
    return QDateTime(first, QTime(0, 0), vancouver);
}
