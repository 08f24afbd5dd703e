#include "app/QVRActionLog.h"

#include <algorithm>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QPointer>
#include <QTimer>

#include "app/AppLogging.h"
#include "foundation/Tessutils.h"
#include "platform/AppPaths.h"
#include "platform/AtomicFile.h"
#include "platform/OwnFiles.h"
#include "platform/Error.h"
#include "platform/Json.h"
#include "platform/WorkerThreads.h"
#include "service/ZERI_APIBinding.h"

namespace {

QVRActionLog* s_testLog = nullptr;

// The backlog is bounded in events; a file far larger than that many is not one the application wrote.
constexpr qint64 kLargestLogFile = 64 * 1024 * 1024;

// One thread writes every backlog file of the process, in the order the changes were made, so a slow disk never
// holds the main thread. Writes still queued when the application goes are finished first.
WorkerThreads& backlogWriter()
{
    static WorkerThreads::Lasting thread(1, QStringLiteral("action log"));
    return thread.threads();
}

void writeBacklog(const QString& file, const QByteArray& json)
{
    Error error;
    if (!OwnFiles::write(file, json, &error))
        qCWarning(lcApp) << "cannot write the action log" << file << error.message;
}

} // namespace

QVRActionLog::QVRActionLog(const QString& backlogFile, Sender sender, QObject* parent)
    : QObject(parent)
    , m_file(backlogFile)
    , m_sender(std::move(sender))
    , m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    m_timer->setInterval(kFlushIntervalSeconds * 1000);
    connect(m_timer, &QTimer::timeout, this, &QVRActionLog::flush);
    load();
    if (!m_backlog.isEmpty())
        scheduleFlush();
}

QVRActionLog::~QVRActionLog()
{
    waitForWrites();
}

QVRActionLog& QVRActionLog::shared()
{
    if (s_testLog)
        return *s_testLog;
    static QVRActionLog* s_log =
        new QVRActionLog(AppPaths::applicationSupport() + QStringLiteral("/Tessarine/actionlog.json"), serviceSender());
    return *s_log;
}

void QVRActionLog::setSharedForTesting(QVRActionLog* log)
{
    s_testLog = log;
}

QVRActionLog::Sender QVRActionLog::serviceSender()
{
    return [](const QByteArray& eventsJson, std::function<void(bool)> done) {
        ZERI_APIBinding::logActions(
            QString::fromUtf8(eventsJson), Tessutils::corvikAuthToken(), [done](const QString& reply, const QString&) {
                const QJsonDocument document = QJsonDocument::fromJson(reply.toUtf8());
                const bool accepted = document.isObject() && !document.object().contains(QStringLiteral("error"));
                if (!accepted)
                    qCInfo(lcApp) << "the service did not take the action log yet";
                done(accepted);
            });
    };
}

void QVRActionLog::waitForWrites()
{
    backlogWriter().waitForIdle();
}

void QVRActionLog::load()
{
    // A log of this process may still be writing the same file.
    waitForWrites();
    Error error;
    const std::optional<QByteArray> data = OwnFiles::read(m_file, kLargestLogFile, &error);
    if (!data) {
        if (!error.isNull())
            qCWarning(lcApp) << "cannot read the action log" << m_file << error.message;
        return;
    }
    const std::optional<QJsonValue> value = Json::read(*data, &error);
    if (value && value->isArray()) {
        for (const QJsonValue& event : value->toArray()) {
            if (event.isObject())
                m_backlog.append(event);
        }
        return;
    }
    const QString aside = m_file + QStringLiteral(".corrupt");
    QFile::remove(aside);
    if (!QFile::rename(m_file, aside))
        QFile::remove(m_file);
    qCWarning(lcApp) << "the action log" << m_file << "was unreadable; set aside as" << aside << error.message;
}

void QVRActionLog::save() const
{
    // The writer gets data of its own, shared with nothing here. Once the application's end has stopped the
    // writer, the file is written at once.
    auto write = [file = QString(m_file.constData(), m_file.size()), json = Json::write(m_backlog)] {
        writeBacklog(file, json);
    };
    if (!backlogWriter().post(std::move(write)))
        writeBacklog(m_file, Json::write(m_backlog));
}

void QVRActionLog::scheduleFlush()
{
    if (!m_timer->isActive())
        m_timer->start();
}

void QVRActionLog::append(const QJsonObject& event)
{
    m_backlog.append(event);
    // Dropping from the front must not drop events the batch in flight carries without adjusting its count.
    while (m_backlog.size() > kMaxBacklog) {
        m_backlog.removeFirst();
        if (m_inFlight > 0)
            --m_inFlight;
    }
    save();
    if (m_backlog.size() - m_inFlight >= kBatchSize)
        flush();
    else
        scheduleFlush();
}

void QVRActionLog::flush()
{
    if (m_inFlight > 0 || m_backlog.isEmpty() || !m_sender)
        return;
    m_timer->stop();
    const qsizetype count = std::min<qsizetype>(kBatchSize, m_backlog.size());
    QJsonArray batch;
    for (qsizetype i = 0; i < count; ++i)
        batch.append(m_backlog.at(i));
    m_inFlight = count;
    QPointer<QVRActionLog> self(this);
    m_sender(Json::write(batch), [self](bool accepted) {
        if (!self)
            return;
        const qsizetype sent = self->m_inFlight;
        self->m_inFlight = 0;
        if (accepted) {
            for (qsizetype i = 0; i < sent && !self->m_backlog.isEmpty(); ++i)
                self->m_backlog.removeFirst();
            self->save();
        }
        emit self->batchFinished(accepted);
        if (!self->m_backlog.isEmpty()) {
            if (accepted && self->m_backlog.size() >= kBatchSize)
                self->flush();
            else
                self->scheduleFlush();
        }
    });
}

bool QVRActionLog::flushAndWait(int timeoutMs)
{
    if (!m_sender)
        return m_backlog.isEmpty();
    // Events are processed by hand rather than by a nested QEventLoop: this also runs while the application
    // is quitting, when a new event loop would return at once.
    QDeadlineTimer deadline(timeoutMs);
    // The wake-up is what ends a wait for events that never come. A coarse timer may fire a little before the
    // deadline, so it is precise and started again for whatever time is left.
    QTimer wakeUp;
    wakeUp.setSingleShot(true);
    wakeUp.setTimerType(Qt::PreciseTimer);
    bool failed = false;
    while (!m_backlog.isEmpty() && !failed && !deadline.hasExpired()) {
        bool finished = false;
        const QMetaObject::Connection connection =
            connect(this, &QVRActionLog::batchFinished, this, [&](bool accepted) {
                finished = true;
                failed = !accepted;
            });
        flush(); // a sender may answer before returning
        while (!finished && !deadline.hasExpired()) {
            if (!wakeUp.isActive() && !deadline.isForever())
                wakeUp.start(int(std::max<qint64>(1, deadline.remainingTime())));
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        disconnect(connection);
    }
    return m_backlog.isEmpty();
}
