#pragma once

#include <cstddef>

#include <QString>
#include <QVariantMap>

// Analytics events. Each event goes to the internal action log (QVRActionLog) as a record
// {"name", "parameters", "time", "user", "document_id"}; the parameters carry the signed-in user's name as
// "username" and, for an event about a document, its server id as "tessarine_id".
//
// Callable from any thread: events logged off the main thread are handed to it.
class QVRAnalytics {
public:
    static void logEvent(const QString& name, const QVariantMap& parameters = {});
    // `associatedDataModel`: a pointer (raw or shared) to a document with apiID(), or nullptr.
    template <class DocumentPointer>
    static void logEvent(const QString& name, const QVariantMap& parameters, const DocumentPointer& associatedDataModel)
    {
        logEventForDocumentID(name, parameters, associatedDataModel ? associatedDataModel->apiID() : QString());
    }
    static void logEvent(const QString& name, const QVariantMap& parameters, std::nullptr_t)
    {
        logEventForDocumentID(name, parameters, QString());
    }
    // The same with the document's server id already known (empty = no document).
    static void logEventForDocumentID(const QString& name, const QVariantMap& parameters,
                                      const QString& documentServerID);

    // The signed-in user's name, empty when nobody is signed in.
    static QString signedInUserName();
};
