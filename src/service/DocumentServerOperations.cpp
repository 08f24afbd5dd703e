#include "service/DocumentServerOperations.h"

#include <utility>

#include <QDateTime>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QList>
#include <QUrl>
#include <QUuid>

#include "foundation/SafeDictionary.h"
#include "foundation/Tessutils.h"
#include "platform/Json.h"
#include "platform/MainThread.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "service/BlockRequester.h"
#include "service/ServiceLogging.h"
#include "service/ServiceReply.h"
#include "service/ZERI_APIBinding.h"
#include "service/ZERI_AssetUploadManager.h"
#include "storage/AssetFileReferences.h"
#include "storage/UntrustedAddresses.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "tessarine_data_model/TessarineDateFormatter.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

DocumentServerOperations::EventLogger& eventLogger()
{
    static DocumentServerOperations::EventLogger logger;
    return logger;
}

void logFailedSave(int publishState)
{
    if (const auto& logger = eventLogger())
        logger(publishState == DocumentService::Draft ? QStringLiteral("Save Draft") : QStringLiteral("Publish"),
               {{QStringLiteral("Result"), QStringLiteral("error")}});
}

// A record member as text: the service may send ids as numbers.
QString recordText(const QJsonObject& record, const char* key)
{
    const QJsonValue value = record.value(QString::fromLatin1(key));
    if (value.isDouble())
        return QString::number(value.toInteger());
    return value.toString();
}

// The "error" member as the save's completion receives it: "errorCode" always as text.
SafeDictionary errorDictionary(const QJsonObject& error)
{
    SafeDictionary dictionary(error);
    const QJsonValue code = error.value(QStringLiteral("errorCode"));
    if (code.isDouble())
        dictionary.setObject(QString::number(code.toInteger()), QStringLiteral("errorCode"));
    return dictionary;
}

SafeDictionary errorDictionary(const Error& error)
{
    SafeDictionary dictionary;
    dictionary.setObject(QString::number(error.code), QStringLiteral("errorCode"));
    dictionary.setObject(error.message, QStringLiteral("errorMessage"));
    dictionary.setObject(error.domain, QStringLiteral("domainCode"));
    return dictionary;
}

Error malformedReplyError(const QString& method)
{
    return Error(QString::fromLatin1(DocumentService::kForkErrorDomain), DocumentService::MalformedReply,
                 QStringLiteral("The service's answer to %1 holds no document record.").arg(method));
}

std::optional<bool> publishedField(int publishState)
{
    if (publishState < 0)
        return std::nullopt;
    return publishState > 0;
}

// What the service stores: the document with every uploaded asset pointing at its remote address, so the
// document opened on another machine finds its media. The local draft keeps its local files.
QString serviceDocumentJson(const ZERI_TessarineModel& model)
{
    return QString::fromUtf8(
        Json::write(ZERI_AssetUploadManager::sharedInstance().jsonWithRemoteURLs(model.jsonDictionary())));
}

QString serverSaveStamp(const QJsonObject& record)
{
    QDateTime when = QDateTime::fromString(recordText(record, "updated"), Qt::ISODate);
    if (!when.isValid())
        when = QDateTime::currentDateTime();
    return TessarineDataModelItem::sharedFormatter().stringFromDate(when.toLocalTime());
}

void takeIdentity(ZERI_TessarineModel& model, const QJsonObject& record)
{
    model.setApiID(recordText(record, "id"));
    if (const QString stringID = recordText(record, "string_id"); !stringID.isEmpty())
        model.setStringID(stringID);
    if (record.contains(QStringLiteral("alias")))
        model.setAlias(recordText(record, "alias"));
}

// The document was closed (its package let go of it) while the request was under way: the ids still go into
// the draft on disk, through the package's document (loaded for the purpose when nobody has it open).
void writeIdentityIntoDraft(ZERI_qvdFilePackage& package, const QJsonObject& record)
{
    const bool wasLoaded = package.model() != nullptr;
    Error error;
    if (!package.loadModel(&error)) {
        qCWarning(lcService) << "cannot write the server ids into the draft:" << error.description();
        return;
    }
    takeIdentity(*package.model(), record);
    if (!package.saveModel(&error))
        qCWarning(lcService) << "cannot write the server ids into the draft:" << error.description();
    if (!wasLoaded)
        package.unloadModel();
}

// After a successful create, update or fork. `sentRevision` is the package's draft revision when the request
// left; `publishedJson` the local text that was published (empty when not publishing).
void applySavedRecord(const std::shared_ptr<ZERI_TessarineModel>& model,
                      const std::shared_ptr<ZERI_qvdFilePackage>& package, const QJsonObject& record,
                      qint64 sentRevision, const QByteArray& publishedJson)
{
    const bool unchangedSinceSent =
        package && package->metaData().draftRevision() == sentRevision && (!model || !model->isSaveScheduled());
    if (model) {
        takeIdentity(*model, record);
        // The ids must reach the draft: a draft without its server id would create a second server document.
        Error error;
        if (!model->dontSave() && !model->saveToFile(&error))
            qCWarning(lcService) << "cannot write the server ids into the draft:" << error.description();
    }
    if (!package)
        return;
    if (!model || model->dontSave())
        writeIdentityIntoDraft(*package, record);
    // The description goes back into the document: not when it may have been edited since the request left,
    // since the record then holds an older text than the user's.
    DocumentServerOperations::applyDocumentRecord(*package, record, unchangedSinceSent);
    ZERI_qvdFilePackageMetadata& metadata = package->metaData();
    // Writing the ids raised the revision; what the service holds is that revision only when nothing else changed.
    const qint64 savedRevision = unchangedSinceSent ? metadata.draftRevision() : sentRevision;
    metadata.setServerSavedDraftRevision(savedRevision);
    metadata.setLastServerSaveTimeStamp(serverSaveStamp(record));
    package->saveMetadata();
    if (publishedJson.isEmpty())
        return;
    Error error;
    auto published = ZERI_TessarineModel::initWithJsonData(publishedJson, &error);
    if (published) {
        takeIdentity(*published, record);
        if (package->savePublishedModelFromJSON(published->jsonData(), &error)) {
            metadata.setPublishedDraftRevision(savedRevision);
            package->saveMetadata();
            return;
        }
    }
    qCWarning(lcService) << "cannot write the published copy:" << error.description();
}

// The draft of a "tessarine.getById" record as a document with the record's ids; `freshIdentity` gives it a new
// document id (a copy living beside the document it came from).
std::shared_ptr<ZERI_TessarineModel> documentFromRecord(const QJsonObject& record, bool freshIdentity, Error* error)
{
    QJsonValue draft = record.value(QStringLiteral("document_json"));
    // The service sends the draft to the owner only; anybody else's copy starts from the published one.
    if (!draft.isObject() && !draft.isString())
        draft = record.value(QStringLiteral("document_json_published"));
    if (draft.isString())
        draft = QJsonDocument::fromJson(draft.toString().toUtf8()).object();
    if (!draft.isObject() || draft.toObject().isEmpty()) {
        setError(error,
                 Error(QString::fromLatin1(ZERI_APIBinding::kErrorDomain), 0,
                       QStringLiteral("The service sent no draft for the document %1.").arg(recordText(record, "id"))));
        return nullptr;
    }
    auto model = ZERI_TessarineModel::initWithDict(draft.toObject(), error);
    if (!model)
        return nullptr;
    UntrustedAddresses::refuseNonWebAssetAddresses(*model, recordText(record, "string_id"));
    if (freshIdentity || !ZERI_qvdFilePackage::isFreeForNewPackage(model->qvdID()))
        model->setInternalID(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
    takeIdentity(*model, record);
    // The record's description is the document's (its package takes it too): in the draft before the draft is first
    // written, so that a downloaded document does not seem changed since the service's copy.
    if (record.contains(QStringLiteral("description")))
        model->setDescription(recordText(record, "description"));
    return model;
}

// Stores a downloaded document in a new package whose metadata says it matches the server copy.
std::shared_ptr<ZERI_TessarineModel> storeInNewPackage(const QJsonObject& record, bool freshIdentity, Error* error)
{
    auto model = documentFromRecord(record, freshIdentity, error);
    if (!model)
        return nullptr;
    auto package = ZERI_qvdFilePackage::packageForNewModel(model, error);
    if (!package)
        return nullptr;
    DocumentServerOperations::applyDocumentRecord(*package, record, true);
    ZERI_qvdFilePackageMetadata& metadata = package->metaData();
    // Only the owner receives the draft; somebody else's document is kept for viewing, not listed as the user's.
    if (!record.contains(QStringLiteral("document_json")))
        metadata.setPackageType(0);
    metadata.setServerSavedDraftRevision(metadata.draftRevision());
    metadata.setLastServerSaveTimeStamp(serverSaveStamp(record));
    package->saveMetadata();
    const QJsonValue published = record.value(QStringLiteral("document_json_published"));
    if (published.isObject() && !published.toObject().isEmpty()) {
        Error publishedError;
        auto copy = ZERI_TessarineModel::initWithDict(published.toObject(), &publishedError);
        if (copy) {
            UntrustedAddresses::refuseNonWebAssetAddresses(*copy, recordText(record, "string_id"));
            copy->setInternalID(model->qvdID());
            takeIdentity(*copy, record);
        }
        if (!copy || !package->savePublishedModelFromJSON(copy->jsonData(), &publishedError))
            qCWarning(lcService) << "cannot keep the published copy of" << recordText(record, "id")
                                 << publishedError.description();
    }
    return model;
}

// The documents-list fetch. One at a time; a generation number makes the answers of a cancelled fetch inert.
struct ListFetch {
    bool running = false;
    int generation = 0;
    int pendingDownloads = 0;
    Error firstError;
    std::shared_ptr<BlockRequester> listRequester;
    QList<std::shared_ptr<BlockRequester>> downloads;
};

ListFetch& listFetch()
{
    static ListFetch fetch;
    return fetch;
}

void postListDownloaded(const Error& error)
{
    QVariantMap info{{QStringLiteral("packageType"), int(ZERI_qvdFilePackage::OwnDocument)}};
    if (!error.isNull())
        info.insert(QStringLiteral("error"), QVariant::fromValue(error));
    NotificationCenter::defaultCenter().post(ZERI_qvdFilePackage::tessarinesForTypeDownloadedNotification, nullptr,
                                             info);
}

// Requesters are let go of after the turn: this may run inside one of their completions.
void resetListFetch(int generation)
{
    ListFetch& fetch = listFetch();
    MainThread::run([list = fetch.listRequester, downloads = fetch.downloads] {}, false);
    fetch = ListFetch{false, generation, 0, {}, nullptr, {}};
}

void endListFetch()
{
    ListFetch& fetch = listFetch();
    const Error error = fetch.firstError;
    resetListFetch(fetch.generation);
    ZERI_qvdFilePackage::schedulePackagesChangedNotification();
    postListDownloaded(error);
}

std::shared_ptr<ZERI_qvdFilePackage> packageForRecord(const QJsonObject& record)
{
    const QString apiID = recordText(record, "id");
    const QString stringID = recordText(record, "string_id");
    std::shared_ptr<ZERI_qvdFilePackage> byStringID;
    for (const auto& package : ZERI_qvdFilePackage::allPackages()) {
        ZERI_qvdFilePackageMetadata& metadata = package->metaData();
        if (!apiID.isEmpty() && metadata.apiID() == apiID)
            return package;
        if (!byStringID && !stringID.isEmpty() && metadata.stringID() == stringID)
            byStringID = package;
    }
    return byStringID;
}

void onListReply(int generation, const QString& text)
{
    ListFetch& fetch = listFetch();
    if (!fetch.running || fetch.generation != generation)
        return;
    const ServiceReply reply = ServiceReply::parse(text);
    if (reply.outcome != ServiceReply::Outcome::Success) {
        fetch.firstError = reply.asError();
        endListFetch();
        return;
    }
    const QJsonValue list = reply.json.value(QStringLiteral("tessarines"));
    if (!list.isArray()) {
        fetch.firstError = Error(QString::fromLatin1(ZERI_APIBinding::kErrorDomain), 0,
                                 QStringLiteral("The service's list of documents is not a list."));
        endListFetch();
        return;
    }
    QStringList toDownload;
    // Documents the user deleted whose deletion the service has not confirmed yet are not brought back.
    const QStringList pendingDeletions = UserDefaults::standard()
                                             .value(QString::fromLatin1(DocumentServerOperations::kPendingDeletionsKey))
                                             .toStringList();
    for (const QJsonValue& entry : list.toArray()) {
        const QJsonObject record = entry.toObject();
        const QString apiID = recordText(record, "id");
        if (apiID.isEmpty() || toDownload.contains(apiID) || pendingDeletions.contains(apiID))
            continue;
        if (const auto package = packageForRecord(record)) {
            // The local draft (and its title and description) stays as it is: it may hold edits not yet sent. A
            // description never known here (a document viewed while signed out) is the service's.
            DocumentServerOperations::applyDocumentRecord(*package, record,
                                                          package->metaData().tessarineDescription().isEmpty());
            // A listed document is the user's own, even when it was first opened as somebody's (type 0).
            ZERI_qvdFilePackageMetadata& metadata = package->metaData();
            if (!(metadata.packageType() & ZERI_qvdFilePackage::ThemeSample))
                metadata.setPackageType(metadata.packageType() | ZERI_qvdFilePackage::OwnDocument);
            package->saveMetadata();
        } else {
            toDownload.append(apiID);
        }
    }
    if (toDownload.isEmpty()) {
        endListFetch();
        return;
    }
    fetch.pendingDownloads = int(toDownload.size());
    const QString token = Tessutils::corvikAuthToken();
    for (const QString& apiID : toDownload) {
        fetch.downloads.append(ZERI_APIBinding::getTessarineById(
            apiID, token, [generation, apiID](const QString& documentText, const QString&) {
                ListFetch& current = listFetch();
                if (!current.running || current.generation != generation)
                    return;
                const ServiceReply document = ServiceReply::parse(documentText);
                Error error;
                if (document.outcome != ServiceReply::Outcome::Success)
                    error = document.asError();
                else if (!packageForRecord(document.json.value(QStringLiteral("tessarine")).toObject()))
                    storeInNewPackage(document.json.value(QStringLiteral("tessarine")).toObject(), false, &error);
                if (!error.isNull()) {
                    qCWarning(lcService) << "cannot download the document" << apiID << error.description();
                    if (current.firstError.isNull())
                        current.firstError = error;
                }
                if (--current.pendingDownloads == 0)
                    endListFetch();
            }));
    }
}

// Saves and forks of one document run one after another, in the order they were asked for: a save started while
// the first one still creates the server document must update that document, not create a second one.
QHash<QString, QList<std::function<void()>>>& documentQueues()
{
    static QHash<QString, QList<std::function<void()>>> queues; // by document id; present while one runs
    return queues;
}

// True when the operation may start now; otherwise `start` runs when the operations before it have ended.
bool enterDocumentQueue(const QString& documentID, std::function<void()> start)
{
    auto& queues = documentQueues();
    if (auto it = queues.find(documentID); it != queues.end()) {
        it->append(std::move(start));
        return false;
    }
    queues.insert(documentID, {});
    return true;
}

void leaveDocumentQueue(const QString& documentID)
{
    QList<std::function<void()>> waiting = documentQueues().take(documentID);
    while (!waiting.isEmpty()) {
        waiting.takeFirst()();
        if (auto it = documentQueues().find(documentID); it != documentQueues().end()) {
            *it = waiting + *it;
            return;
        }
    }
}

} // namespace

void DocumentServerOperations::registerWithDocumentModel()
{
    DocumentService::registerService(std::make_shared<DocumentServerOperations>());
}

void DocumentServerOperations::setEventLogger(EventLogger logger)
{
    eventLogger() = std::move(logger);
}

void DocumentServerOperations::applyDocumentRecord(ZERI_qvdFilePackage& package, const QJsonObject& record,
                                                   bool includeDescription)
{
    ZERI_qvdFilePackageMetadata& metadata = package.metaData();
    if (const QString id = recordText(record, "id"); !id.isEmpty())
        metadata.setApiID(id);
    if (const QString stringID = recordText(record, "string_id"); !stringID.isEmpty())
        metadata.setStringID(stringID);
    if (record.contains(QStringLiteral("alias")))
        metadata.setAlias(recordText(record, "alias"));
    if (record.value(QStringLiteral("owner")).isObject())
        metadata.setOwner(record.value(QStringLiteral("owner")).toObject());
    if (record.contains(QStringLiteral("privacy")))
        metadata.setPrivacySetting(recordText(record, "privacy"));
    if (record.contains(QStringLiteral("has_password")))
        metadata.setHasPassword(record.value(QStringLiteral("has_password")).toBool());
    if (const QString preview = recordText(record, "first_preview_url");
        !preview.isEmpty() && UntrustedAddresses::isWebAddress(QUrl(preview)))
        metadata.setPreviewScreenshotURLString(preview);
    if (includeDescription && record.contains(QStringLiteral("description")))
        metadata.setTessarineDescription(recordText(record, "description"));
}

void DocumentServerOperations::saveToServer(const std::shared_ptr<ZERI_TessarineModel>& model, int publishState,
                                            const std::optional<QString>& privacyOption,
                                            const std::optional<QString>& password, const QString& alias,
                                            SaveCompletion onDone, bool record)
{
    Q_ASSERT(MainThread::isMainThread());
    if (model && !enterDocumentQueue(model->qvdID(), [=, self = shared_from_this()] {
            self->saveToServer(model, publishState, privacyOption, password, alias, onDone, record);
        }))
        return;
    const QString documentID = model ? model->qvdID() : QString();
    const auto heldFiles = std::make_shared<QStringList>();
    auto finish = [onDone = std::move(onDone), record, publishState, documentID,
                   heldFiles](const std::optional<SafeDictionary>& error) {
        AssetFileReferences::releaseFiles(std::exchange(*heldFiles, {}));
        if (error && record)
            logFailedSave(publishState);
        if (onDone)
            onDone(error);
        if (!documentID.isEmpty())
            leaveDocumentQueue(documentID);
    };
    Error saveError;
    if (!model)
        saveError = Error(QString::fromLatin1(kForkErrorDomain), NeverSaved, QStringLiteral("No document to save."));
    else
        model->saveToFile(&saveError); // the draft first: whatever the service answers, the edits are on disk
    if (!saveError.isNull()) {
        qCWarning(lcService) << "not saving to the service:" << saveError.description();
        MainThread::run([finish, error = errorDictionary(saveError)] { finish(error); }, false);
        return;
    }
    const auto package = std::dynamic_pointer_cast<ZERI_qvdFilePackage>(model->filePackage());
    const qint64 sentRevision = package ? package->metaData().draftRevision() : -1;
    const QByteArray publishedJson = publishState == Publish ? model->jsonData() : QByteArray();
    // The files the published copy will name are counted until the answer has been written down: a cleaning of
    // the package meanwhile (its window closing) or the deletion of a replaced file must not take them.
    if (publishState == Publish)
        *heldFiles = AssetFileReferences::retainFilesOfItem(*model);
    const bool creating = model->apiID().isEmpty();
    const QString method = creating ? QStringLiteral("tessarine.create") : QStringLiteral("tessarine.update");

    auto onReply = [weakModel = std::weak_ptr<ZERI_TessarineModel>(model),
                    weakPackage = std::weak_ptr<ZERI_qvdFilePackage>(package), sentRevision, publishedJson, method,
                    finish](const QString& text, const QString&) {
        const ServiceReply reply = ServiceReply::parse(text);
        if (reply.outcome != ServiceReply::Outcome::Success) {
            finish(errorDictionary(reply.error));
            return;
        }
        const QJsonObject documentRecord = reply.json.value(QStringLiteral("tessarine")).toObject();
        if (recordText(documentRecord, "id").isEmpty()) {
            finish(errorDictionary(malformedReplyError(method)));
            return;
        }
        applySavedRecord(weakModel.lock(), weakPackage.lock(), documentRecord, sentRevision, publishedJson);
        finish(std::nullopt);
    };

    const QString json = serviceDocumentJson(*model);
    const QString token = Tessutils::corvikAuthToken();
    const auto published = publishedField(publishState);
    if (creating)
        ZERI_APIBinding::tessarineCreateWithAuthToken(token, json, published, model->title(), model->description(),
                                                      model->categories(), privacyOption.value_or(QString()), password,
                                                      alias, std::move(onReply));
    else
        ZERI_APIBinding::tessarineUpdateWithAuthToken(
            token, model->apiID(), json, published, false, model->title(), model->description(), model->categories(),
            privacyOption.value_or(QString()), password, QString(), QString(), alias, std::move(onReply));
}

void DocumentServerOperations::forkOnServer(const std::shared_ptr<ZERI_TessarineModel>& model, int publishState,
                                            const std::optional<QString>& privacyOption,
                                            const std::optional<QString>& password, bool overwrite,
                                            ForkCompletion onDone, bool record)
{
    Q_ASSERT(MainThread::isMainThread());
    if (model && !enterDocumentQueue(model->qvdID(), [=, self = shared_from_this()] {
            self->forkOnServer(model, publishState, privacyOption, password, overwrite, onDone, record);
        }))
        return;
    const QString documentID = model ? model->qvdID() : QString();
    const auto heldFiles = std::make_shared<QStringList>();
    auto finish = [onDone = std::move(onDone), record, publishState, documentID, heldFiles](const Error& error) {
        AssetFileReferences::releaseFiles(std::exchange(*heldFiles, {}));
        if (!error.isNull() && record)
            logFailedSave(publishState);
        if (onDone)
            onDone(error);
        if (!documentID.isEmpty())
            leaveDocumentQueue(documentID);
    };
    Error saveError;
    if (!model || model->apiID().isEmpty())
        saveError = Error(QString::fromLatin1(kForkErrorDomain), NeverSaved,
                          QStringLiteral("Only a document saved to the service can be forked."));
    else if (!model->saveToFile(&saveError))
        saveError = Error(QString::fromLatin1(kForkErrorDomain), CannotSaveDraft, saveError.message);
    if (!saveError.isNull()) {
        qCWarning(lcService) << "not forking:" << saveError.description();
        MainThread::run([finish, saveError] { finish(saveError); }, false);
        return;
    }
    const auto package = std::dynamic_pointer_cast<ZERI_qvdFilePackage>(model->filePackage());
    const qint64 sentRevision = package ? package->metaData().draftRevision() : -1;
    const QByteArray publishedJson = publishState == Publish ? model->jsonData() : QByteArray();
    if (publishState == Publish)
        *heldFiles = AssetFileReferences::retainFilesOfItem(*model); // as for a save: see saveToServer
    const QString oldApiID = model->apiID();

    auto onReply = [weakModel = std::weak_ptr<ZERI_TessarineModel>(model),
                    weakPackage = std::weak_ptr<ZERI_qvdFilePackage>(package), sentRevision, publishedJson, oldApiID,
                    overwrite, finish](const QString& text, const QString&) {
        const ServiceReply reply = ServiceReply::parse(text);
        if (reply.outcome != ServiceReply::Outcome::Success) {
            finish(reply.asError());
            return;
        }
        const QJsonObject forkRecord = reply.json.value(QStringLiteral("tessarine")).toObject();
        if (recordText(forkRecord, "id").isEmpty()) {
            finish(malformedReplyError(QStringLiteral("tessarine.fork")));
            return;
        }
        const auto forked = weakModel.lock();
        applySavedRecord(forked, weakPackage.lock(), forkRecord, sentRevision, publishedJson);
        const auto announce = [forked, overwrite, finish](const std::shared_ptr<ZERI_TessarineModel>& oldModel) {
            QVariantMap info{{QStringLiteral("overwrite"), overwrite}};
            if (oldModel)
                info.insert(QStringLiteral("oldModel"), QVariant::fromValue(ModelItemRef(oldModel)));
            NotificationCenter::defaultCenter().post(ZERI_TessarineModel::forkCompletedNotification, forked.get(),
                                                     info);
            finish(Error());
        };
        if (overwrite) {
            announce(nullptr);
            return;
        }
        // The server copy that was kept becomes a local document of its own, beside the fork.
        ZERI_APIBinding::getTessarineById(
            oldApiID, Tessutils::corvikAuthToken(), [announce, oldApiID](const QString& oldText, const QString&) {
                const ServiceReply old = ServiceReply::parse(oldText);
                Error error;
                std::shared_ptr<ZERI_TessarineModel> oldModel;
                if (old.outcome != ServiceReply::Outcome::Success)
                    error = old.asError();
                else
                    oldModel = storeInNewPackage(old.json.value(QStringLiteral("tessarine")).toObject(), true, &error);
                if (!oldModel)
                    qCWarning(lcService) << "the fork is made, but the kept copy" << oldApiID
                                         << "cannot be downloaded:" << error.description();
                announce(oldModel);
            });
    };

    ZERI_APIBinding::tessarineForkWithAuthToken(Tessutils::corvikAuthToken(), oldApiID, serviceDocumentJson(*model),
                                                publishedField(publishState), privacyOption.value_or(QString()),
                                                password, overwrite, std::move(onReply));
}

void DocumentServerOperations::downloadTessarinesForType(int packageType)
{
    Q_ASSERT(MainThread::isMainThread());
    if (packageType != ZERI_qvdFilePackage::OwnDocument)
        return;
    ListFetch& fetch = listFetch();
    if (fetch.running)
        return; // the running fetch answers
    const QString token = Tessutils::corvikAuthToken();
    if (token.isEmpty()) {
        postListDownloaded(Error(QString::fromLatin1(ZERI_qvdFilePackage::errorDomain),
                                 ZERI_qvdFilePackage::NoAuthToken,
                                 QStringLiteral("Sign in to see your documents on the service.")));
        return;
    }
    fetch.running = true;
    const int generation = ++fetch.generation;
    fetch.listRequester = ZERI_APIBinding::getUserTessarinesWithAuthToken(
        token, [generation](const QString& text, const QString&) { onListReply(generation, text); });
}

void DocumentServerOperations::cancelDownloadTessarinesForType()
{
    ListFetch& fetch = listFetch();
    const bool wasRunning = fetch.running;
    if (fetch.listRequester)
        fetch.listRequester->cancel();
    for (const auto& download : std::as_const(fetch.downloads))
        download->cancel();
    resetListFetch(fetch.generation + 1);
    // Whoever waits for the list (My Documents' update) hears that it ended: otherwise it would wait for good and
    // ask for no list again, not even for the next user to sign in.
    if (wasRunning)
        postListDownloaded(Error(QString::fromLatin1(ZERI_qvdFilePackage::errorDomain),
                                 ZERI_qvdFilePackage::NoAuthToken,
                                 QStringLiteral("The list of documents was no longer wanted.")));
}

bool DocumentServerOperations::isDownloadingTessarines()
{
    return listFetch().running;
}

void DocumentServerOperations::loadModelWithBackupAPIID(const std::shared_ptr<ZERI_qvdFilePackage>& package,
                                                        const QString& apiID, LoadCompletion onLoaded)
{
    Q_ASSERT(MainThread::isMainThread());
    const auto deliver = [onLoaded](std::shared_ptr<ZERI_TessarineModel> model, const Error& error) {
        if (onLoaded)
            MainThread::run([onLoaded, model, error] { onLoaded(model, error); }, false);
    };
    if (!package) {
        deliver(nullptr, Error(QString::fromLatin1(ZERI_qvdFilePackage::errorDomain), ZERI_qvdFilePackage::NoDraft,
                               QStringLiteral("No package to load.")));
        return;
    }
    if (package->model()) {
        deliver(package->model(), Error());
        return;
    }
    // A draft that exists but cannot be read is reported, never replaced: it may still be rescued by hand. It is
    // read off the main thread: a document of a thousand screens takes longer than a frame to read.
    if (apiID.isEmpty() || QFileInfo::exists(package->draftFilePath())) {
        package->loadModelSoon([package, onLoaded](bool loaded, const Error& error) {
            if (onLoaded)
                onLoaded(loaded ? package->model() : nullptr, loaded ? Error() : error);
        });
        return;
    }
    ZERI_APIBinding::getTessarineById(
        apiID, Tessutils::corvikAuthToken(),
        [weakPackage = std::weak_ptr<ZERI_qvdFilePackage>(package), onLoaded](const QString& text, const QString&) {
            const auto target = weakPackage.lock();
            const ServiceReply reply = ServiceReply::parse(text);
            Error error;
            std::shared_ptr<ZERI_TessarineModel> model;
            if (!target)
                error = Error(QString::fromLatin1(ZERI_qvdFilePackage::errorDomain), ZERI_qvdFilePackage::NoDraft,
                              QStringLiteral("The package was removed while its document was downloaded."));
            else if (reply.outcome != ServiceReply::Outcome::Success)
                error = reply.asError();
            else if (target->loadModel())
                model = target->model(); // a draft appeared meanwhile: it wins
            else {
                const QJsonObject documentRecord = reply.json.value(QStringLiteral("tessarine")).toObject();
                model = documentFromRecord(documentRecord, false, &error);
                if (model) {
                    // The document lives in this package: it takes the package's id, whatever the service calls it.
                    model->setInternalID(target->packageID());
                    model->setFilePackage(target);
                    if (target->saveDocument(model, &error)) {
                        DocumentServerOperations::applyDocumentRecord(*target, documentRecord, true);
                        ZERI_qvdFilePackageMetadata& metadata = target->metaData();
                        metadata.setServerSavedDraftRevision(metadata.draftRevision());
                        target->saveMetadata();
                    } else {
                        model = nullptr;
                    }
                }
            }
            if (onLoaded)
                onLoaded(model, error);
        });
}

void DocumentServerOperations::unpublish(const std::shared_ptr<ZERI_qvdFilePackage>& package, SaveCompletion onDone)
{
    Q_ASSERT(MainThread::isMainThread());
    const QString apiID = package ? package->metaData().apiID() : QString();
    if (apiID.isEmpty()) {
        const SafeDictionary error = errorDictionary(
            Error(QString::fromLatin1(kForkErrorDomain), NeverSaved, QStringLiteral("The document was never saved.")));
        MainThread::run([onDone, error] { onDone(error); }, false);
        return;
    }
    ZERI_APIBinding::tessarineUpdateWithAuthToken(
        Tessutils::corvikAuthToken(), apiID, QString(), false, false, QString(), QString(), QStringList(), QString(),
        std::nullopt, QString(), QString(), QString(),
        [weakPackage = std::weak_ptr<ZERI_qvdFilePackage>(package), onDone](const QString& text, const QString&) {
            const ServiceReply reply = ServiceReply::parse(text);
            if (reply.outcome != ServiceReply::Outcome::Success) {
                onDone(errorDictionary(reply.error));
                return;
            }
            const QJsonObject record = reply.json.value(QStringLiteral("tessarine")).toObject();
            if (const auto target = weakPackage.lock(); target && !record.isEmpty()) {
                applyDocumentRecord(*target, record, false);
                target->saveMetadata();
            }
            onDone(std::nullopt);
        });
}

void DocumentServerOperations::downloadServerCopyIntoNewPackage(const QString& apiID, LoadCompletion onDone)
{
    Q_ASSERT(MainThread::isMainThread());
    ZERI_APIBinding::getTessarineById(
        apiID, Tessutils::corvikAuthToken(), [onDone](const QString& text, const QString&) {
            const ServiceReply reply = ServiceReply::parse(text);
            Error error;
            std::shared_ptr<ZERI_TessarineModel> model;
            if (reply.outcome != ServiceReply::Outcome::Success)
                error = reply.asError();
            else
                model = storeInNewPackage(reply.json.value(QStringLiteral("tessarine")).toObject(), true, &error);
            if (onDone)
                onDone(model, model ? Error() : error);
        });
}
