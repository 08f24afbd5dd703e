#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>

#include "ModelTestSupport.h"
#include "ServiceTestSupport.h"
#include "foundation/Tessutils.h"
#include "platform/AppPaths.h"
#include "platform/NotificationCenter.h"
#include "service/DocumentServerOperations.h"
#include "service/ZERI_AssetUploadManager.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "support/QtPrinters.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

const QString kCreate = QStringLiteral("tessarine.create");
const QString kUpdate = QStringLiteral("tessarine.update");
const QString kList = QStringLiteral("tessarine.getUserTessarines");

struct SaveResult {
    int calls = 0;
    std::optional<SafeDictionary> error;
};

class DocumentServerOperationsTest : public ServiceTest {
protected:
    void SetUp() override
    {
        ServiceTest::SetUp();
        ASSERT_TRUE(m_support.isValid());
        AppPaths::setApplicationSupportForTesting(m_support.path());
        ZERI_qvdFilePackage::resetForTesting();
        ZERI_qvdFilePackage::registerWithDocumentModel();
        DocumentServerOperations::registerWithDocumentModel();
        DocumentServerOperations::setEventLogger([this](const QString& name, const QVariantMap& parameters) {
            m_events.append({name, parameters});
        });
        m_user = m_service.addUser(QStringLiteral("ann"));
        Tessutils::setCorvikAuthToken(m_user.token);
    }
    void TearDown() override
    {
        DocumentServerOperations::cancelDownloadTessarinesForType();
        DocumentServerOperations::setEventLogger(nullptr);
        DocumentService::registerService(nullptr);
        ZERI_qvdFilePackage::resetForTesting();
        AppPaths::setApplicationSupportForTesting(QString());
        ServiceTest::TearDown();
    }

    static std::shared_ptr<ZERI_TessarineModel> newDocument(const QString& title)
    {
        auto model = ZERI_TessarineModel::create();
        model->firstFlowmodel()->setTitle(title);
        model->setDescription(title + QStringLiteral(" described"));
        return model;
    }
    static std::shared_ptr<ZERI_qvdFilePackage> packageOf(const std::shared_ptr<ZERI_TessarineModel>& model)
    {
        return std::dynamic_pointer_cast<ZERI_qvdFilePackage>(model->filePackage());
    }

    std::shared_ptr<SaveResult> save(const std::shared_ptr<ZERI_TessarineModel>& model, int state,
                                     const std::optional<QString>& privacy = std::nullopt,
                                     const std::optional<QString>& password = std::nullopt,
                                     const QString& alias = QString(), bool record = false)
    {
        auto result = std::make_shared<SaveResult>();
        model->saveToServer(
            state, privacy, password, alias,
            [result](const std::optional<SafeDictionary>& error) {
                ++result->calls;
                result->error = error;
            },
            record);
        return result;
    }
    std::shared_ptr<SaveResult> saveAndWait(const std::shared_ptr<ZERI_TessarineModel>& model, int state,
                                            const std::optional<QString>& privacy = std::nullopt,
                                            const std::optional<QString>& password = std::nullopt,
                                            const QString& alias = QString(), bool record = false)
    {
        auto result = save(model, state, privacy, password, alias, record);
        EXPECT_TRUE(waitUntil([&] { return result->calls > 0; })) << "the save never completed";
        EXPECT_EQ(result->calls, 1);
        return result;
    }

    QTemporaryDir m_support;
    FakeWebService::User m_user;
    QList<std::pair<QString, QVariantMap>> m_events;
};

TEST_F(DocumentServerOperationsTest, FirstSaveCreatesThenUpdatesWithTheDraftWrittenFirst)
{
    auto model = newDocument(QStringLiteral("Quarterly review"));
    const QString draftPath =
        ZERI_qvdFilePackage::tessarinesFolder() + QLatin1Char('/') + model->qvdID() + QStringLiteral("/docfile.qvd");
    std::atomic<bool> draftExistedAtRequest{false};
    const auto createHandler = [&](const FakeWebService::Context& c) {
        draftExistedAtRequest = QFileInfo::exists(draftPath);
        // As the default handler: a new server document owned by the caller.
        FakeWebService::Document document;
        document.id = QStringLiteral("77");
        document.stringID = QStringLiteral("s77");
        document.alias = c.request.field(QStringLiteral("alias"));
        document.owner = c.user->username;
        document.title = c.request.field(QStringLiteral("title"));
        document.description = c.request.field(QStringLiteral("description"));
        document.documentJson = c.request.field(QStringLiteral("document_json"));
        document.updated = QStringLiteral("2026-12-06T18:00:00Z");
        c.state.documents.insert(document.id, document);
        return FakeHttpReply::json(
            QJsonObject{{QStringLiteral("tessarine"), FakeWebService::documentRecord(document, c.state, c.baseUrl)}});
    };
    m_service.setHandler(kCreate, createHandler);

    auto result = saveAndWait(model, DocumentService::Draft, std::nullopt, std::nullopt, QStringLiteral("q-review"));
    EXPECT_FALSE(result->error.has_value());
    EXPECT_TRUE(draftExistedAtRequest.load());

    const auto create = m_service.lastRequest(kCreate);
    ASSERT_TRUE(create);
    EXPECT_FALSE(create->fields.contains(QStringLiteral("published"))) << "a draft save sends no publish state";
    EXPECT_FALSE(create->fields.contains(QStringLiteral("id")));
    EXPECT_FALSE(create->fields.contains(QStringLiteral("password")));
    EXPECT_EQ(create->field(QStringLiteral("auth_token")), m_user.token);
    EXPECT_EQ(create->field(QStringLiteral("title")), QStringLiteral("Quarterly review"));
    EXPECT_EQ(create->field(QStringLiteral("alias")), QStringLiteral("q-review"));
    EXPECT_TRUE(QJsonDocument::fromJson(create->field(QStringLiteral("document_json")).toUtf8())
                    .object()
                    .contains(QStringLiteral("tessarine")));

    // The document, its draft on disk and its metadata carry the server's identity.
    EXPECT_EQ(model->apiID(), QStringLiteral("77"));
    EXPECT_EQ(model->stringID(), QStringLiteral("s77"));
    auto package = packageOf(model);
    ASSERT_TRUE(package);
    EXPECT_FALSE(package->hasSomethingToSaveToCloud());
    EXPECT_FALSE(QFileInfo::exists(package->publishedFilePath()));
    ZERI_qvdFilePackage::resetForTesting(); // read everything back from disk
    auto reread = ZERI_qvdFilePackage::packageForStringID(QStringLiteral("s77"));
    ASSERT_TRUE(reread);
    EXPECT_EQ(reread->model()->apiID(), QStringLiteral("77"));
    ZERI_qvdFilePackageMetadata& metadata = reread->metaData();
    EXPECT_EQ(metadata.apiID(), QStringLiteral("77"));
    EXPECT_EQ(metadata.alias(), QStringLiteral("q-review"));
    EXPECT_EQ(metadata.ownerUserName(), QStringLiteral("ann"));
    EXPECT_EQ(metadata.privacySetting(), std::optional<QString>(QStringLiteral("public")));
    const auto savedAt = ZERI_qvdFilePackageMetadata::dateFromStamp(metadata.lastServerSaveTimeStamp());
    ASSERT_TRUE(savedAt);
    EXPECT_EQ(savedAt->toUTC(), QDateTime(QDate(2026, 12, 6), QTime(18, 0), Qt::UTC));

    // The next save updates that server document.
    model = reread->model();
    model->firstFlowmodel()->setTitle(QStringLiteral("Quarterly review, final"));
    result = saveAndWait(model, DocumentService::Draft);
    EXPECT_FALSE(result->error.has_value());
    EXPECT_EQ(m_service.requestCount(kCreate), 1);
    const auto update = m_service.lastRequest(kUpdate);
    ASSERT_TRUE(update);
    EXPECT_EQ(update->field(QStringLiteral("id")), QStringLiteral("77"));
    EXPECT_EQ(update->field(QStringLiteral("title")), QStringLiteral("Quarterly review, final"));
    EXPECT_EQ(m_service.state().documents.value(QStringLiteral("77")).title, QStringLiteral("Quarterly review, final"));
}

TEST_F(DocumentServerOperationsTest, PublishingWritesThePublishedCopyAndUnpublishingKeepsIt)
{
    auto model = newDocument(QStringLiteral("Launch"));
    auto result = saveAndWait(model, DocumentService::Publish, QStringLiteral("protected"), QStringLiteral("pw1"),
                              QStringLiteral("launch"));
    EXPECT_FALSE(result->error.has_value());
    const auto create = m_service.lastRequest(kCreate);
    ASSERT_TRUE(create);
    EXPECT_EQ(create->field(QStringLiteral("published")), QStringLiteral("1"));
    EXPECT_EQ(create->field(QStringLiteral("privacy")), QStringLiteral("protected"));
    EXPECT_EQ(create->field(QStringLiteral("password")), QStringLiteral("pw1"));

    auto package = packageOf(model);
    ASSERT_TRUE(package);
    ASSERT_TRUE(QFileInfo::exists(package->publishedFilePath()));
    EXPECT_TRUE(package->publishedVersionExists());
    EXPECT_FALSE(package->hasSomethingToPost());
    EXPECT_TRUE(package->metaData().hasPassword());
    ASSERT_TRUE(package->loadPublishedModel());
    EXPECT_EQ(package->publishedModel()->stringID(), model->stringID()) << "the published copy knows its address";

    // Unpublishing sends "published" = "0"; dropping the local published copy is the caller's choice.
    result = saveAndWait(model, DocumentService::Unpublish);
    EXPECT_FALSE(result->error.has_value());
    EXPECT_EQ(m_service.lastRequest(kUpdate)->field(QStringLiteral("published")), QStringLiteral("0"));
    EXPECT_TRUE(QFileInfo::exists(package->publishedFilePath()));
}

TEST_F(DocumentServerOperationsTest, ServiceErrorsReachTheCompletionAndChangeNothing)
{
    auto model = newDocument(QStringLiteral("Shared deck"));
    ASSERT_FALSE(saveAndWait(model, DocumentService::Draft)->error.has_value());
    auto package = packageOf(model);
    ASSERT_TRUE(package);
    const QString stamp = package->metaData().lastServerSaveTimeStamp();
    model->firstFlowmodel()->setTitle(QStringLiteral("Shared deck v2"));

    // Someone else saved the server copy meanwhile: "607", handed on as text.
    m_service.withState([&](FakeWebService::State& state) { state.documents[model->apiID()].requiresFork = true; });
    auto result = saveAndWait(model, DocumentService::Publish, std::nullopt, std::nullopt, QString(), true);
    ASSERT_TRUE(result->error.has_value());
    EXPECT_EQ(result->error->stringForKey(QStringLiteral("errorCode")), QStringLiteral("607"));
    EXPECT_TRUE(package->hasSomethingToSaveToCloud());
    EXPECT_FALSE(QFileInfo::exists(package->publishedFilePath()));
    EXPECT_EQ(package->metaData().lastServerSaveTimeStamp(), stamp);
    ASSERT_EQ(m_events.size(), 1);
    EXPECT_EQ(m_events[0].first, QStringLiteral("Publish"));
    EXPECT_EQ(m_events[0].second.value(QStringLiteral("Result")), QVariant(QStringLiteral("error")));

    // A failure without a service answer (HTTP 500 page) reaches the completion the same way.
    m_service.injectReply(kUpdate, FakeHttpReply::html(500, "<html>down</html>"));
    result = saveAndWait(model, DocumentService::Draft, std::nullopt, std::nullopt, QString(), true);
    ASSERT_TRUE(result->error.has_value());
    EXPECT_EQ(result->error->stringForKey(QStringLiteral("errorCode")), QStringLiteral("500"));
    EXPECT_EQ(m_events.last().first, QStringLiteral("Save Draft"));

    // A success answer without a document record is not a success.
    m_service.injectReply(kUpdate, FakeHttpReply::json(QJsonObject{{QStringLiteral("ok"), true}}));
    result = saveAndWait(model, DocumentService::Draft);
    EXPECT_TRUE(result->error.has_value());
    EXPECT_TRUE(package->hasSomethingToSaveToCloud());
}

TEST_F(DocumentServerOperationsTest, AnEditMadeWhileTheSaveIsUnderWayStillNeedsSaving)
{
    auto model = newDocument(QStringLiteral("Live edit"));
    auto result = save(model, DocumentService::Draft);
    // The request is on its way with the text of this moment; this edit is written at once.
    model->firstFlowmodel()->setTitle(QStringLiteral("Live edit, changed"));
    ASSERT_TRUE(model->saveToFile());
    ASSERT_TRUE(waitUntil([&] { return result->calls > 0; }));
    EXPECT_FALSE(result->error.has_value());
    auto package = packageOf(model);
    EXPECT_TRUE(package->hasSomethingToSaveToCloud());
    EXPECT_EQ(m_service.state().documents.value(model->apiID()).title, QStringLiteral("Live edit"));
    // The server ids still reached the draft.
    ZERI_qvdFilePackage::resetForTesting();
    auto reread = ZERI_qvdFilePackage::packageForID(model->qvdID());
    ASSERT_TRUE(reread && reread->loadModel());
    EXPECT_EQ(reread->model()->apiID(), model->apiID());
}

TEST_F(DocumentServerOperationsTest, SavesOfOneDocumentRunInTurnSoOnlyOneServerDocumentIsMade)
{
    auto model = newDocument(QStringLiteral("Double click"));
    const auto first = save(model, DocumentService::Draft);
    const auto second = save(model, DocumentService::Publish);
    ASSERT_TRUE(waitUntil([&] { return first->calls > 0 && second->calls > 0; }));
    EXPECT_FALSE(first->error.has_value());
    EXPECT_FALSE(second->error.has_value());
    EXPECT_EQ(m_service.requestCount(kCreate), 1);
    const auto update = m_service.lastRequest(kUpdate);
    ASSERT_TRUE(update);
    EXPECT_EQ(update->field(QStringLiteral("id")), model->apiID());
    EXPECT_EQ(update->field(QStringLiteral("published")), QStringLiteral("1"));
    EXPECT_EQ(m_service.state().documents.size(), 1);
}

TEST_F(DocumentServerOperationsTest, TheServiceReceivesRemoteAddressesOfUploadedAssets)
{
    DocumentWithFiles document = makeDocumentWithFiles(m_support.filePath(QStringLiteral("media")), {1000});
    ZERI_AssetUploadManager& uploads = ZERI_AssetUploadManager::sharedInstance();
    uploads.enqueueAllContentAssetsForModel(document.model);
    uploads.startNextUploadIfNeeded();
    ASSERT_TRUE(waitUntil([&] { return !uploads.hasAssets() && !uploads.isUploading(); }));
    const QString contentID = document.assets[0]->corvikContentID();
    ASSERT_FALSE(contentID.isEmpty());
    const QString remote = uploads.remoteURLForContentID(contentID);
    ASSERT_FALSE(remote.isEmpty());

    ASSERT_FALSE(saveAndWait(document.model, DocumentService::Draft)->error.has_value());
    const QString sent = m_service.lastRequest(kCreate)->field(QStringLiteral("document_json"));
    EXPECT_TRUE(sent.contains(remote)) << sent.toStdString();
    EXPECT_FALSE(sent.contains(m_support.path())) << "no local path leaves the machine";
    EXPECT_TRUE(document.assets[0]->externalURL().isLocalFile()) << "the local document keeps its files";
}

TEST_F(DocumentServerOperationsTest, WithoutAServiceTheSaveFailsClearly)
{
    DocumentService::registerService(nullptr);
    auto model = newDocument(QStringLiteral("Offline"));
    auto result = saveAndWait(model, DocumentService::Draft);
    ASSERT_TRUE(result->error.has_value());
    EXPECT_FALSE(result->error->stringForKey(QStringLiteral("errorMessage")).isEmpty());
    Error forkError;
    int forkCalls = 0;
    model->forkOnServer(
        DocumentService::Draft, std::nullopt, std::nullopt, false,
        [&](const Error& error) {
            forkError = error;
            ++forkCalls;
        },
        false);
    ASSERT_TRUE(waitUntil([&] { return forkCalls > 0; }));
    EXPECT_EQ(forkError.domain, QStringLiteral("ZERI_TessarineModelFork"));
    EXPECT_EQ(m_service.requestCount(), 0);
}

struct ForkResult {
    int calls = 0;
    Error error;
    int notifications = 0;
    const void* sender = nullptr;
    QVariantMap userInfo;
};

TEST_F(DocumentServerOperationsTest, ForkMakesTheDocumentTheForkAndKeepsTheOldCopyBeside)
{
    auto model = newDocument(QStringLiteral("Team deck"));
    ASSERT_FALSE(saveAndWait(model, DocumentService::Draft)->error.has_value());
    const QString oldID = model->apiID();
    const QString localID = model->qvdID();

    auto result = std::make_shared<ForkResult>();
    NotificationObservation observation(ZERI_TessarineModel::forkCompletedNotification, nullptr,
                                        [result](const Notification& notification) {
                                            ++result->notifications;
                                            result->sender = notification.sender;
                                            result->userInfo = notification.userInfo;
                                        });
    model->forkOnServer(
        DocumentService::Draft, std::nullopt, std::nullopt, false,
        [result](const Error& error) {
            EXPECT_EQ(result->notifications, 1) << "the notification comes before the completion";
            result->error = error;
            ++result->calls;
        },
        true);
    ASSERT_TRUE(waitUntil([&] { return result->calls > 0; }));
    EXPECT_TRUE(result->error.isNull()) << result->error.description().toStdString();

    const auto fork = m_service.lastRequest(QStringLiteral("tessarine.fork"));
    ASSERT_TRUE(fork);
    EXPECT_EQ(fork->field(QStringLiteral("id")), oldID);
    EXPECT_EQ(fork->field(QStringLiteral("overwrite")), QStringLiteral("0"));
    EXPECT_FALSE(fork->fields.contains(QStringLiteral("published")));

    EXPECT_NE(model->apiID(), oldID);
    EXPECT_EQ(model->qvdID(), localID);
    EXPECT_EQ(packageOf(model)->metaData().apiID(), model->apiID());
    EXPECT_EQ(result->sender, model.get());
    EXPECT_EQ(result->userInfo.value(QStringLiteral("overwrite")), QVariant(false));
    const auto oldModel = std::dynamic_pointer_cast<ZERI_TessarineModel>(
        result->userInfo.value(QStringLiteral("oldModel")).value<ModelItemRef>().lock());
    ASSERT_TRUE(oldModel);
    EXPECT_EQ(oldModel->apiID(), oldID);
    EXPECT_NE(oldModel->qvdID(), localID);
    EXPECT_EQ(oldModel->title(), QStringLiteral("Team deck"));
    ASSERT_TRUE(packageOf(oldModel));
    EXPECT_EQ(packageOf(oldModel)->metaData().apiID(), oldID);

    // Overwriting: the server copy goes, nothing is kept beside.
    result = std::make_shared<ForkResult>();
    observation = NotificationObservation(ZERI_TessarineModel::forkCompletedNotification, nullptr,
                                          [result](const Notification& notification) {
                                              ++result->notifications;
                                              result->userInfo = notification.userInfo;
                                          });
    const int packages = int(ZERI_qvdFilePackage::allPackages().size());
    model->forkOnServer(
        DocumentService::Draft, std::nullopt, std::nullopt, true,
        [result](const Error& error) {
            result->error = error;
            ++result->calls;
        },
        false);
    ASSERT_TRUE(waitUntil([&] { return result->calls > 0; }));
    EXPECT_TRUE(result->error.isNull());
    EXPECT_EQ(result->userInfo.value(QStringLiteral("overwrite")), QVariant(true));
    EXPECT_FALSE(result->userInfo.contains(QStringLiteral("oldModel")));
    EXPECT_EQ(int(ZERI_qvdFilePackage::allPackages().size()), packages);
}

TEST_F(DocumentServerOperationsTest, ForkFailuresReachTheCompletion)
{
    auto model = newDocument(QStringLiteral("Never saved"));
    Error error;
    int calls = 0;
    const auto onDone = [&](const Error& e) {
        error = e;
        ++calls;
    };
    model->forkOnServer(DocumentService::Draft, std::nullopt, std::nullopt, false, onDone, false);
    ASSERT_TRUE(waitUntil([&] { return calls == 1; }));
    EXPECT_EQ(error.domain, QStringLiteral("ZERI_TessarineModelFork"));
    EXPECT_EQ(m_service.requestCount(QStringLiteral("tessarine.fork")), 0);

    ASSERT_FALSE(saveAndWait(model, DocumentService::Draft)->error.has_value());
    const QString apiID = model->apiID();
    m_service.injectReply(QStringLiteral("tessarine.fork"),
                          FakeHttpReply::serviceError(QStringLiteral("700"), QStringLiteral("No permission")));
    model->forkOnServer(DocumentService::Draft, std::nullopt, std::nullopt, false, onDone, false);
    ASSERT_TRUE(waitUntil([&] { return calls == 2; }));
    EXPECT_EQ(error.code, 700);
    EXPECT_EQ(model->apiID(), apiID);
}

class DocumentsListTest : public DocumentServerOperationsTest {
protected:
    struct Received {
        int count = 0;
        QVariantMap userInfo;
    };
    void SetUp() override
    {
        DocumentServerOperationsTest::SetUp();
        m_received = std::make_shared<Received>();
        m_observation = NotificationObservation(ZERI_qvdFilePackage::tessarinesForTypeDownloadedNotification, nullptr,
                                                [received = m_received](const Notification& notification) {
                                                    ++received->count;
                                                    received->userInfo = notification.userInfo;
                                                });
    }
    void TearDown() override
    {
        m_observation.reset();
        DocumentServerOperationsTest::TearDown();
    }

    FakeWebService::Document addServerDocument(const QString& title)
    {
        auto model = newDocument(title);
        FakeWebService::Document document;
        document.owner = QStringLiteral("ann");
        document.title = title;
        document.documentJson = QString::fromUtf8(model->jsonData());
        document.updated = QStringLiteral("2026-12-01T10:00:00Z");
        return m_service.addDocument(document);
    }
    static std::shared_ptr<ZERI_qvdFilePackage> packageWithApiID(const QString& apiID)
    {
        for (const auto& package : ZERI_qvdFilePackage::packagesForType(1)) {
            if (package->metaData().apiID() == apiID)
                return package;
        }
        return nullptr;
    }

    std::shared_ptr<Received> m_received;
    NotificationObservation m_observation;
};

TEST_F(DocumentsListTest, ServerDocumentsBecomeLocalPackagesOnce)
{
    const auto first = addServerDocument(QStringLiteral("First"));
    const auto second = addServerDocument(QStringLiteral("Second"));
    // One is published, and described on the service though not in its document's own text: as downloaded it is
    // the service's copy all the same, with nothing to save or to post.
    m_service.withState([&](FakeWebService::State& state) {
        FakeWebService::Document& document = state.documents[second.id];
        document.description = QStringLiteral("Told on the service");
        document.published = true;
        document.publishedJson = document.documentJson;
    });

    DocumentServerOperations::downloadTessarinesForType(1);
    DocumentServerOperations::downloadTessarinesForType(1); // while one runs: no second request
    ASSERT_TRUE(waitUntil([&] { return m_received->count > 0; }));
    EXPECT_EQ(m_service.requestCount(kList), 1);
    EXPECT_EQ(m_received->count, 1);
    EXPECT_FALSE(m_received->userInfo.contains(QStringLiteral("error")));
    EXPECT_EQ(m_received->userInfo.value(QStringLiteral("packageType")).toInt(), 1);

    ASSERT_EQ(ZERI_qvdFilePackage::packagesForType(1).size(), 2u);
    for (const auto& server : {first, second}) {
        auto package = packageWithApiID(server.id);
        ASSERT_TRUE(package) << server.id.toStdString();
        EXPECT_EQ(package->metaData().stringID(), server.stringID);
        EXPECT_EQ(package->metaData().ownerUserName(), QStringLiteral("ann"));
        EXPECT_FALSE(package->hasSomethingToSaveToCloud());
        ASSERT_TRUE(package->loadModel());
        EXPECT_EQ(package->model()->title(), server.title);
        EXPECT_EQ(package->model()->apiID(), server.id);
    }
    const auto described = packageWithApiID(second.id);
    EXPECT_EQ(described->model()->description(), QStringLiteral("Told on the service"));
    EXPECT_TRUE(described->publishedVersionExists());
    QTest::qWait(1500); // past the document's own save of a change
    for (const auto& server : {first, second})
        EXPECT_FALSE(packageWithApiID(server.id)->hasSomethingToSaveToCloud()) << server.id.toStdString();
    EXPECT_FALSE(described->hasSomethingToPost());

    // Again, after a local edit of one of them: known documents are matched, their drafts kept; one that was
    // kept as somebody else's (type 0) is the user's own.
    auto edited = packageWithApiID(first.id);
    packageWithApiID(second.id)->metaData().setPackageType(0);
    edited->model()->firstFlowmodel()->setTitle(QStringLiteral("First, edited here"));
    ASSERT_TRUE(edited->saveModel());
    m_service.withState([&](FakeWebService::State& state) { state.documents[first.id].alias = QStringLiteral("one"); });
    DocumentServerOperations::downloadTessarinesForType(1);
    ASSERT_TRUE(waitUntil([&] { return m_received->count == 2; }));
    EXPECT_FALSE(m_received->userInfo.contains(QStringLiteral("error")));
    EXPECT_EQ(ZERI_qvdFilePackage::packagesForType(1).size(), 2u);
    EXPECT_EQ(m_service.requestCount(QStringLiteral("tessarine.getById")), 2);
    EXPECT_EQ(edited->model()->title(), QStringLiteral("First, edited here"));
    EXPECT_EQ(edited->metaData().alias(), QStringLiteral("one"));
}

TEST_F(DocumentsListTest, FailuresAreAnnouncedWithTheirError)
{
    // Nobody signed in: at once, without asking the service.
    Tessutils::setCorvikAuthToken(QString());
    DocumentServerOperations::downloadTessarinesForType(1);
    ASSERT_EQ(m_received->count, 1);
    const Error noToken = m_received->userInfo.value(QStringLiteral("error")).value<Error>();
    EXPECT_EQ(noToken.domain, QStringLiteral("com.tessarine.filepackage"));
    EXPECT_EQ(noToken.code, 1);
    EXPECT_EQ(m_received->userInfo.value(QStringLiteral("packageType")).toInt(), 1);
    EXPECT_EQ(m_service.requestCount(), 0);

    // Other types are not fetched.
    Tessutils::setCorvikAuthToken(m_user.token);
    DocumentServerOperations::downloadTessarinesForType(64);
    EXPECT_FALSE(DocumentServerOperations::isDownloadingTessarines());

    // A service error is announced the same way, and the next call may try again.
    m_service.injectReply(kList, FakeHttpReply::html(500, "<html>down</html>"));
    DocumentServerOperations::downloadTessarinesForType(1);
    ASSERT_TRUE(waitUntil([&] { return m_received->count == 2; }));
    EXPECT_EQ(m_received->userInfo.value(QStringLiteral("error")).value<Error>().code, 500);
    EXPECT_FALSE(DocumentServerOperations::isDownloadingTessarines());

    // A cancelled fetch says at once that it ended without a list, so that nobody waits for it; its own answer
    // never comes, and a new fetch answers once.
    DocumentServerOperations::downloadTessarinesForType(1);
    DocumentServerOperations::cancelDownloadTessarinesForType();
    ASSERT_EQ(m_received->count, 3);
    EXPECT_TRUE(m_received->userInfo.contains(QStringLiteral("error")));
    DocumentServerOperations::downloadTessarinesForType(1);
    ASSERT_TRUE(waitUntil([&] { return m_received->count == 4; }));
    EXPECT_FALSE(m_received->userInfo.contains(QStringLiteral("error")));
    EXPECT_FALSE(waitUntil([&] { return m_received->count > 4; }, 300));
}

// A folder in the documents folder named after a server document's own id (a package never finished, which the
// scan skips) does not keep the document out of the list: it arrives in a package of a fresh id, and the folder is
// left as it was.
TEST_F(DocumentsListTest, AServerDocumentWhoseIdNamesALeftoverFolderArrivesUnderAFreshId)
{
    const QString documentID = QStringLiteral("C0FFEE00-AAAA-BBBB-CCCC-444455556666");
    const QDir leftover(QDir(ZERI_qvdFilePackage::tessarinesFolder()).filePath(documentID));
    ASSERT_TRUE(QDir().mkpath(leftover.path()));
    {
        QFile half(leftover.filePath(QStringLiteral("docfile.qvd.part")));
        ASSERT_TRUE(half.open(QIODevice::WriteOnly));
        half.write("{\"tessarine\":");
    }
    ZERI_qvdFilePackage::rescan();
    auto model = newDocument(QStringLiteral("Left over"));
    model->setInternalID(documentID);
    FakeWebService::Document document;
    document.owner = QStringLiteral("ann");
    document.title = QStringLiteral("Left over");
    document.documentJson = QString::fromUtf8(model->jsonData());
    const auto server = m_service.addDocument(document);

    DocumentServerOperations::downloadTessarinesForType(1);
    ASSERT_TRUE(waitUntil([&] { return m_received->count > 0; }));
    EXPECT_FALSE(m_received->userInfo.contains(QStringLiteral("error")))
        << m_received->userInfo.value(QStringLiteral("error")).value<Error>().description().toStdString();
    auto package = packageWithApiID(server.id);
    ASSERT_TRUE(package) << "the document did not arrive";
    EXPECT_NE(package->packageID(), documentID);
    ASSERT_TRUE(package->loadModel());
    EXPECT_EQ(package->model()->title(), QStringLiteral("Left over"));
    EXPECT_EQ(package->model()->qvdID(), package->packageID());
    EXPECT_EQ(leftover.entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"docfile.qvd.part"});
    QFile half(leftover.filePath(QStringLiteral("docfile.qvd.part")));
    ASSERT_TRUE(half.open(QIODevice::ReadOnly));
    EXPECT_EQ(half.readAll(), QByteArray("{\"tessarine\":"));
}

TEST_F(DocumentServerOperationsTest, LoadModelDownloadsOnlyWhenThereIsNoLocalDraft)
{
    auto model = newDocument(QStringLiteral("Backed up"));
    ASSERT_FALSE(saveAndWait(model, DocumentService::Draft)->error.has_value());
    auto package = packageOf(model);
    const QString apiID = model->apiID();
    package->unloadModel();

    std::shared_ptr<ZERI_TessarineModel> loaded;
    int calls = 0;
    const auto onLoaded = [&](std::shared_ptr<ZERI_TessarineModel> document, const Error&) {
        loaded = std::move(document);
        ++calls;
    };
    DocumentServerOperations::loadModelWithBackupAPIID(package, apiID, onLoaded);
    ASSERT_TRUE(waitUntil([&] { return calls == 1; }));
    ASSERT_TRUE(loaded);
    EXPECT_EQ(m_service.requestCount(QStringLiteral("tessarine.getById")), 0);

    // The draft is lost: the server copy takes its place, in this package.
    package->unloadModel();
    ASSERT_TRUE(QFile::remove(package->draftFilePath()));
    DocumentServerOperations::loadModelWithBackupAPIID(package, apiID, onLoaded);
    ASSERT_TRUE(waitUntil([&] { return calls == 2; }));
    ASSERT_TRUE(loaded);
    EXPECT_EQ(m_service.requestCount(QStringLiteral("tessarine.getById")), 1);
    EXPECT_EQ(loaded->title(), QStringLiteral("Backed up"));
    EXPECT_EQ(loaded->qvdID(), package->packageID());
    EXPECT_EQ(package->model(), loaded);
    EXPECT_TRUE(QFileInfo::exists(package->draftFilePath()));

    // A draft that is there but unreadable is reported and left as it is.
    package->unloadModel();
    QFile draft(package->draftFilePath());
    ASSERT_TRUE(draft.open(QIODevice::WriteOnly | QIODevice::Truncate));
    draft.write("{\"tessarine\": {\"flows\": 12");
    draft.close();
    Error error;
    DocumentServerOperations::loadModelWithBackupAPIID(
        package, apiID, [&](std::shared_ptr<ZERI_TessarineModel> document, const Error& e) {
            loaded = std::move(document);
            error = e;
            ++calls;
        });
    ASSERT_TRUE(waitUntil([&] { return calls == 3; }));
    EXPECT_FALSE(loaded);
    EXPECT_FALSE(error.isNull());
    EXPECT_EQ(m_service.requestCount(QStringLiteral("tessarine.getById")), 1);
}

} // namespace

TEST_F(DocumentServerOperationsTest, ServerIdsReachTheDraftOfADocumentClosedWhileItWasSaved)
{
    auto model = newDocument(QStringLiteral("Closed at once"));
    const QString documentID = model->qvdID();
    auto result = save(model, DocumentService::Publish);
    auto package = packageOf(model);
    ASSERT_TRUE(package);
    // The window closes while the request is on its way: the package lets go of its document.
    package->unloadModel();
    model.reset();
    ASSERT_TRUE(waitUntil([&] { return result->calls > 0; }));
    EXPECT_FALSE(result->error.has_value());
    EXPECT_FALSE(package->model()) << "the package is left as it was";

    ZERI_qvdFilePackage::resetForTesting();
    auto reread = ZERI_qvdFilePackage::packageForID(documentID);
    ASSERT_TRUE(reread && reread->loadModel());
    EXPECT_FALSE(reread->model()->apiID().isEmpty());
    EXPECT_EQ(reread->model()->apiID(), reread->metaData().apiID());
    EXPECT_EQ(reread->model()->stringID(), reread->metaData().stringID());
    EXPECT_FALSE(reread->hasSomethingToSaveToCloud());
    EXPECT_FALSE(reread->hasSomethingToPost());

    // Saving it again updates the server document the first save made instead of making a second one.
    reread->model()->firstFlowmodel()->setTitle(QStringLiteral("Closed at once, reopened"));
    EXPECT_FALSE(saveAndWait(reread->model(), DocumentService::Draft)->error.has_value());
    EXPECT_EQ(m_service.requestCount(kCreate), 1);
    EXPECT_EQ(m_service.state().documents.size(), 1);
}

TEST_F(DocumentServerOperationsTest, FilesOfAPublicationUnderWaySurviveACleaningOfThePackage)
{
    DocumentWithFiles document = makeDocumentWithFiles(m_support.filePath(QStringLiteral("media")), {1000});
    ASSERT_TRUE(document.model->saveToFile());
    auto package = packageOf(document.model);
    ASSERT_TRUE(package);
    const QString image = package->assetsPath() + QStringLiteral("/picture.bin");
    ASSERT_TRUE(QFile::copy(document.paths[0], image));
    document.assets[0]->setExternalURL(QUrl::fromLocalFile(image));

    auto result = save(document.model, DocumentService::Publish);
    // While the request is on its way the picture leaves the draft and the window closes, cleaning the package.
    document.assets[0]->setExternalURL(QUrl());
    ASSERT_TRUE(document.model->saveToFile());
    package->cleanDirectories();
    ASSERT_TRUE(waitUntil([&] { return result->calls > 0; }));
    EXPECT_FALSE(result->error.has_value());

    // The published copy, which shows the picture, finds its file.
    ASSERT_TRUE(package->loadPublishedModel());
    const auto assets = package->publishedModel()->getAllContentAssets();
    ASSERT_EQ(assets.size(), 1u);
    EXPECT_TRUE(QFileInfo(assets.front()->localFilePath()).isFile()) << assets.front()->localFilePath().toStdString();
    // Once published, the draft's name for the file is a stray like any other.
    package->cleanDirectories();
    EXPECT_FALSE(QFileInfo::exists(image));
    EXPECT_TRUE(QFileInfo(assets.front()->localFilePath()).isFile());
}

TEST_F(DocumentServerOperationsTest, ADescriptionEditedWhileTheSaveIsUnderWayIsKept)
{
    auto model = newDocument(QStringLiteral("Menu"));
    auto result = save(model, DocumentService::Draft);
    // The request carries the description of this moment; the user changes it before the answer comes.
    model->setDescription(QStringLiteral("Winter menu, edited meanwhile"));
    ASSERT_TRUE(waitUntil([&] { return result->calls > 0; }));
    EXPECT_FALSE(result->error.has_value());
    EXPECT_EQ(model->description(), QStringLiteral("Winter menu, edited meanwhile"));
    ASSERT_TRUE(model->saveToFile());
    auto package = packageOf(model);
    EXPECT_EQ(package->metaData().tessarineDescription(), QStringLiteral("Winter menu, edited meanwhile"));
    EXPECT_TRUE(package->hasSomethingToSaveToCloud());
}
