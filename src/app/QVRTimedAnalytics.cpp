#include "app/QVRTimedAnalytics.h"

#include <map>

#include <QElapsedTimer>

#include "app/QVRAnalytics.h"

namespace {

struct RunningEvent {
    QString eventID;
    QVariantMap parameters;
    QString documentServerID;
    qint64 startMs = 0;
};

std::map<QString, RunningEvent>& runningEvents()
{
    static std::map<QString, RunningEvent> s_events;
    return s_events;
}

std::function<qint64()>& testClock()
{
    static std::function<qint64()> s_clock;
    return s_clock;
}

qint64 nowMs()
{
    if (testClock())
        return testClock()();
    static QElapsedTimer s_timer = [] {
        QElapsedTimer timer;
        timer.start();
        return timer;
    }();
    return s_timer.elapsed();
}

} // namespace

void QVRTimedAnalytics::logTimedEventForDocumentID(const QString& name, const QString& eventID,
                                                   const QVariantMap& parameters, const QString& documentServerID)
{
    auto& events = runningEvents();
    if (const auto it = events.find(name); it != events.end()) {
        if (it->second.eventID == eventID)
            return;
        finishTimedEvent(name);
    }
    events[name] = RunningEvent{eventID, parameters, documentServerID, nowMs()};
}

void QVRTimedAnalytics::finishTimedEvent(const QString& name)
{
    auto& events = runningEvents();
    const auto it = events.find(name);
    if (it == events.end())
        return;
    RunningEvent event = std::move(it->second);
    events.erase(it);
    const qint64 elapsedMs = std::max<qint64>(0, nowMs() - event.startMs);
    event.parameters.insert(QStringLiteral("duration"), elapsedMs / 1000);
    QVRAnalytics::logEventForDocumentID(name, event.parameters, event.documentServerID);
}

bool QVRTimedAnalytics::isRunning(const QString& name)
{
    return runningEvents().count(name) > 0;
}

void QVRTimedAnalytics::setClockForTesting(std::function<qint64()> clock)
{
    testClock() = std::move(clock);
}

void QVRTimedAnalytics::resetForTesting()
{
    runningEvents().clear();
    testClock() = nullptr;
}
