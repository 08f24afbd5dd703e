#include "storage/FailedAddresses.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QJsonObject>
#include <QNetworkReply>

#include "platform/AppPaths.h"
#include "platform/Json.h"
#include "platform/MainThread.h"
#include "platform/OwnFiles.h"
#include "platform/WorkerThreads.h"
#include "storage/StorageLogging.h"

namespace {

struct Record {
    int tries = 0;
    bool usedUp = false;
    qint64 lastFailure = 0; // ms since the epoch
    QString domain;
    int code = 0;
    QString message;
    int httpStatus = 0;
};

struct Memory {
    QHash<QByteArray, Record> records;
    bool loaded = false;
    int firstPauseMs = 0;
};

Memory& memory()
{
    static Memory m;
    return m;
}

QByteArray keyOf(const QUrl& url)
{
    return QCryptographicHash::hash(url.toString(QUrl::FullyEncoded).toUtf8(), QCryptographicHash::Sha1).toHex();
}

qint64 now()
{
    return QDateTime::currentMSecsSinceEpoch();
}

bool expired(const Record& record)
{
    return now() - record.lastFailure > FailedAddresses::kRememberedSeconds * 1000 || record.lastFailure > now();
}

// A failure of the network layer before any answer: the address could not be reached at all.
bool unreachable(const Error& error)
{
    bool known = false;
    const int code = error.userInfo.value(QStringLiteral("networkError")).toInt(&known);
    switch (known ? code : int(QNetworkReply::NoError)) {
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::UnknownNetworkError:
        return true;
    default:
        return false;
    }
}

// One thread writes the record, in order, so the main thread never waits for the disk.
WorkerThreads& writer()
{
    static WorkerThreads::Lasting thread(1, QStringLiteral("failed addresses"));
    return thread.threads();
}

void load()
{
    Memory& m = memory();
    if (m.loaded)
        return;
    m.loaded = true;
    const QString path = FailedAddresses::storeFile();
    const std::optional<QByteArray> data = OwnFiles::read(path, 4 * 1024 * 1024);
    if (!data)
        return;
    const auto json = Json::readObject(*data);
    if (!json)
        return;
    for (auto it = json->begin(); it != json->end(); ++it) {
        const QJsonObject object = it.value().toObject();
        Record record;
        record.tries = std::clamp(object.value(QStringLiteral("tries")).toInt(), 0, FailedAddresses::kMaximumTries);
        record.usedUp = object.value(QStringLiteral("usedUp")).toBool();
        record.lastFailure = qint64(object.value(QStringLiteral("lastFailure")).toDouble());
        record.domain = object.value(QStringLiteral("domain")).toString().left(200);
        record.code = object.value(QStringLiteral("code")).toInt();
        record.httpStatus = object.value(QStringLiteral("httpStatus")).toInt();
        // The record names no address: the message of a failure from an earlier start says only what it was.
        record.message =
            record.httpStatus > 0
                ? QStringLiteral("The address failed lately (HTTP status %1) and is not asked again for now")
                      .arg(record.httpStatus)
                : QStringLiteral("The address failed lately and is not asked again for now");
        if (record.tries > 0 && !expired(record))
            m.records.insert(it.key().toLatin1(), record);
    }
}

void save()
{
    QJsonObject json;
    for (auto it = memory().records.cbegin(); it != memory().records.cend(); ++it) {
        if (expired(*it))
            continue;
        json.insert(QString::fromLatin1(it.key()), QJsonObject{{QStringLiteral("tries"), it->tries},
                                                               {QStringLiteral("usedUp"), it->usedUp},
                                                               {QStringLiteral("lastFailure"), double(it->lastFailure)},
                                                               {QStringLiteral("domain"), it->domain},
                                                               {QStringLiteral("code"), it->code},
                                                               {QStringLiteral("httpStatus"), it->httpStatus}});
    }
    writer().post([path = FailedAddresses::storeFile(), data = Json::write(json)] {
        Error error;
        if (!OwnFiles::write(path, data, &error))
            qCWarning(lcStorage).noquote() << "cannot keep the failed addresses:" << error.message;
    });
}

} // namespace

QString FailedAddresses::storeFile()
{
    return AppPaths::applicationSupport() + QStringLiteral("/Tessarine/failedaddresses.json");
}

qint64 FailedAddresses::waitBeforeAsking(const QUrl& url, Error* lastError)
{
    Q_ASSERT(MainThread::isMainThread());
    load();
    auto& records = memory().records;
    const auto it = records.find(keyOf(url));
    if (it == records.end())
        return 0;
    if (expired(*it)) {
        records.erase(it);
        return 0;
    }
    if (it->usedUp || it->tries >= kMaximumTries) {
        setError(lastError,
                 Error(it->domain, it->code, it->message,
                       {{QStringLiteral("httpStatus"), it->httpStatus}, {QStringLiteral("triesUsedUp"), true}}));
        return -1;
    }
    const qint64 firstPause = memory().firstPauseMs > 0 ? memory().firstPauseMs : kFirstPauseMs;
    const qint64 pause = firstPause << (it->tries - 1);
    return std::max<qint64>(0, it->lastFailure + pause - now());
}

void FailedAddresses::noteFailure(const QUrl& url, const Error& error, bool usedUpAtOnce)
{
    Q_ASSERT(MainThread::isMainThread());
    load();
    Record& record = memory().records[keyOf(url)];
    // No server answered (no network, the host down or unknown): nothing is asked of one again and again, so the
    // address keeps its pauses but never uses up its tries; it is fetched once it can be reached again.
    if (unreachable(error)) {
        record.tries = std::min(record.tries + 1, kMaximumTries - 1);
    } else {
        record.tries = std::min(record.tries + 1, kMaximumTries);
        record.usedUp = record.usedUp || usedUpAtOnce || record.tries >= kMaximumTries;
    }
    record.lastFailure = now();
    record.domain = error.domain;
    record.code = error.code;
    record.message = error.message;
    record.httpStatus = error.userInfo.value(QStringLiteral("httpStatus")).toInt();
    if (record.usedUp)
        qCWarning(lcStorage).noquote() << "not asking again for a day:" << error.message;
    save();
}

void FailedAddresses::noteSuccess(const QUrl& url)
{
    Q_ASSERT(MainThread::isMainThread());
    load();
    if (memory().records.remove(keyOf(url)) > 0)
        save();
}

void FailedAddresses::resetForTesting(int firstPauseMs, bool keepStore)
{
    writer().waitForIdle();
    if (!keepStore)
        QFile::remove(storeFile());
    memory() = Memory();
    memory().firstPauseMs = firstPauseMs;
}
