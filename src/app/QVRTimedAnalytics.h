#pragma once

#include <cstddef>
#include <functional>

#include <QString>
#include <QVariantMap>

// Timed analytics events, keyed by name: at most one event of a name runs at a time. Finishing it logs it
// through QVRAnalytics with "duration" (whole seconds since it started) added to its parameters.
// Main thread only.
class QVRTimedAnalytics {
public:
    // Starts the event `name`. The same name with the same id again is ignored; another id finishes the
    // running event of that name first.
    template <class DocumentPointer>
    static void logTimedEvent(const QString& name, const QString& eventID, const QVariantMap& parameters,
                              const DocumentPointer& associatedDataModel)
    {
        logTimedEventForDocumentID(name, eventID, parameters,
                                   associatedDataModel ? associatedDataModel->apiID() : QString());
    }
    static void logTimedEvent(const QString& name, const QString& eventID, const QVariantMap& parameters = {},
                              std::nullptr_t = nullptr)
    {
        logTimedEventForDocumentID(name, eventID, parameters, QString());
    }
    static void logTimedEventForDocumentID(const QString& name, const QString& eventID, const QVariantMap& parameters,
                                           const QString& documentServerID);

    // Logs and removes the running event `name`; nothing when none runs.
    static void finishTimedEvent(const QString& name);
    static bool isRunning(const QString& name);

    // Milliseconds of a monotonic clock; tests replace it. An empty function restores the real clock.
    static void setClockForTesting(std::function<qint64()> clock);
    static void resetForTesting();
};
