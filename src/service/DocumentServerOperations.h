#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QJsonObject>
#include <QString>
#include <QVariantMap>

#include "platform/Error.h"
#include "tessarine_data_model/DocumentService.h"

class ZERI_qvdFilePackage;
class ZERI_TessarineModel;

// The documents' side of the web service: saving and publishing a document, forking it, the list of the
// signed-in user's documents and loading a package's document from the service when it has no local draft.
//
// Saving (DocumentService::saveToServer): the draft is written to the package first, then "tessarine.create"
// (no server id yet) or "tessarine.update" is sent with the document text in which every uploaded asset points at
// its remote address. On success the document takes the reply's server id, string id and alias, the package
// metadata takes the record (privacy, password flag, owner, description, server save time, ids, alias) and a
// publication writes the published copy ("docfile_published.qvd") from the text that was sent. The package only
// counts as saved to the service up to the draft revision that was sent: an edit made while the request was on
// its way still needs saving afterwards.
//
// Forking (DocumentService::forkOnServer): "tessarine.fork" of the document's server copy. The open document
// becomes the fork (its ids and metadata are the fork's; its content is what was sent, so nothing is fetched
// again). When the old server copy is kept (no overwrite) it is downloaded into a package of its own and handed
// on as "oldModel" of ZERI_TessarineModel::forkCompletedNotification, posted before the completion runs.
//
// Saves and forks of one document run one at a time, in the order asked: a second save started while the first
// creates the server document waits, then updates that document.
//
// Main thread only; every completion runs on the main thread, after the call returned.
class DocumentServerOperations : public DocumentService, public std::enable_shared_from_this<DocumentServerOperations> {
public:
    using EventLogger = std::function<void(const QString& name, const QVariantMap& parameters)>;
    using LoadCompletion = std::function<void(std::shared_ptr<ZERI_TessarineModel> model, const Error& error)>;

    // Makes these operations the documents' service. Called once at start-up; calling it again is harmless.
    static void registerWithDocumentModel();
    // Where a failed save with `record` goes ("Publish" or "Save Draft" with {"Result": "error"}). The
    // application registers its analytics at start-up; without a logger nothing is logged.
    static void setEventLogger(EventLogger logger);

    // The list of the signed-in user's documents ("tessarine.getUserTessarines") merged into the local packages;
    // answers with "ZERI_qvdFilePackageTessarinesForTypeDownloadedNotification" (userInfo "packageType" and, on
    // failure, "error" as an Error). Acts for type 1 only. While a fetch runs a second call sends nothing: the
    // running one answers. Without an auth token the notification is posted at once with the error of domain
    // "com.tessarine.filepackage", code 1.
    //
    // Merging: a listed document whose package is known (by server id, else string id) gets the server's view of
    // it in its metadata; the draft is never touched, so local edits not yet sent are kept. A document with no
    // local package is downloaded ("tessarine.getById") into a new one. Local packages missing from the list are
    // left alone.
    static void downloadTessarinesForType(int packageType);
    // User defaults key of the server ids of documents deleted here whose deletion the service has not confirmed;
    // the list merge leaves them out.
    static constexpr const char* kPendingDeletionsKey = "pendingTessarineDeletions";
    static void cancelDownloadTessarinesForType();
    static bool isDownloadingTessarines();

    // Loads the package's draft; when there is none and `apiID` is given, downloads the document by that id with
    // the signed-in user's token and makes it the package's draft. `onLoaded` runs on the main thread with the
    // document, or with nullptr and the error.
    static void loadModelWithBackupAPIID(const std::shared_ptr<ZERI_qvdFilePackage>& package, const QString& apiID,
                                         LoadCompletion onLoaded);

    // Takes the package's document off the web: "tessarine.update" with the metadata's server id and
    // published=0 only, so the draft on the service is left as it is. On success the package metadata takes
    // the reply's record; the local published copy is the caller's to drop. `onDone` runs on the main thread
    // with nil or the error dictionary (a package without a server id fails at once).
    static void unpublish(const std::shared_ptr<ZERI_qvdFilePackage>& package, SaveCompletion onDone);
    // Downloads the service's copy of the document `apiID` into a package of its own (a new document id);
    // nothing local is touched. `onDone` runs on the main thread with the new document or the error.
    static void downloadServerCopyIntoNewPackage(const QString& apiID, LoadCompletion onDone);

    // The package metadata the service's document record decides (ids, alias, owner, privacy, password flag,
    // preview address); `includeDescription` also takes its description.
    static void applyDocumentRecord(ZERI_qvdFilePackage& package, const QJsonObject& record, bool includeDescription);

    void saveToServer(const std::shared_ptr<ZERI_TessarineModel>& model, int publishState,
                      const std::optional<QString>& privacyOption, const std::optional<QString>& password,
                      const QString& alias, SaveCompletion onDone, bool record) override;
    void forkOnServer(const std::shared_ptr<ZERI_TessarineModel>& model, int publishState,
                      const std::optional<QString>& privacyOption, const std::optional<QString>& password,
                      bool overwrite, ForkCompletion onDone, bool record) override;
};
