#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QSysInfo>
#include <QUrl>

#include "../../service/ModelTestSupport.h"
#include "PublishTestSupport.h"
#include "elements/video/QVBVideoCompressionManager.h"
#include "library/publish/QVREditTessarineDetailsWindowController.h"
#include "library/publish/QVRForkHandler.h"
#include "library/publish/QVRSaveAndPostUtils.h"
#include "service/CorvikBlockAPIBinding.h"
#include "service/ServiceReachability.h"
#include "storage/ZERI_qvdFilePackageMetadata.h"
#include "strings/UFM.h"
#include "tessarine_data_model/VideoCompressionManager.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"

using publishtest::ScopedPublishEnvironment;

namespace {

const QString kUpload = QStringLiteral("corvik.channel.add.multiple");
const QString kCreate = QStringLiteral("tessarine.create");
const QString kUpdate = QStringLiteral("tessarine.update");

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A document with image files, saved in a package whose asset folder holds them (made in `folder`, then moved
// in, as only files inside a document's package are uploaded).
std::shared_ptr<ZERI_TessarineModel> documentWithFiles(const QString& folder, const QList<qint64>& sizes)
{
    DocumentWithFiles document = makeDocumentWithFiles(folder, sizes);
    document.model->firstFlowmodel()->setTitle(QStringLiteral("With files"));
    document.model->saveToFile();
    const QDir assets(ScopedPublishEnvironment::packageOf(document.model)->assetsPath());
    for (qsizetype i = 0; i < document.paths.size(); ++i) {
        const QString inside = assets.filePath(QFileInfo(document.paths[i]).fileName());
        EXPECT_TRUE(QFile::rename(document.paths[i], inside)) << inside.toStdString();
        document.assets[std::size_t(i)]->setExternalURL(QUrl::fromLocalFile(inside));
    }
    document.model->saveToFile();
    return document.model;
}

QStringList uploadedFileNames(const FakeWebService& service)
{
    QStringList names;
    for (const FakeHttpRequest& request : service.requests()) {
        if (request.method() != kUpload)
            continue;
        for (const FakeFilePart& part : request.files)
            names.append(part.fileName);
    }
    return names;
}

bool saveDraftNow(const std::shared_ptr<ZERI_TessarineModel>& document)
{
    bool saved = false;
    bool ok = false;
    document->saveToServer(DocumentService::Draft, [&](const std::optional<SafeDictionary>& error) {
        ok = !error;
        saved = true;
    });
    return QTest::qWaitFor([&] { return saved; }, 5000) && ok;
}

int pressNext(QVREditTessarineDetailsWindowController& details)
{
    details.nextButton()->click();
    return details.result();
}

class FakeCompressionManager : public InertVideoCompressionManager {
public:
    int count = 0;
    double fraction = 0;
    int contentAssetCount() const override { return count; }
    double progress() const override { return fraction; }
    void post(const QString& name)
    {
        NotificationCenter::defaultCenter().post(name, this,
                                                 {{QVBVideoCompressionManager::kVideoAssetCompressionManager,
                                                   QVariant::fromValue(static_cast<VideoCompressionManager*>(this))}});
    }
};

} // namespace

TEST(PublishDialogueTest, FilesGoOnceThenOneSaveAndAGivenUpUploadSavesNothing)
{
    ScopedPublishEnvironment env;
    ASSERT_TRUE(env.started());
    QTemporaryDir files;
    auto document = documentWithFiles(files.path(), {600 * 1024, 600 * 1024, 600 * 1024});
    const auto package = ScopedPublishEnvironment::packageOf(document);
    const QByteArray draft = fileBytes(package->draftFilePath());

    // Every upload refused until the manager gives up: the error is shown and nothing is saved.
    env.service.injectReply(kUpload, FakeHttpReply::serviceError(QStringLiteral("500"), QStringLiteral("Full")), -1);
    {
        QVRSavePublishDialogueWindowController dialogue({package});
        dialogue.setPublishing(true);
        dialogue.start();
        ASSERT_TRUE(QTest::qWaitFor([&] { return dialogue.uploadsDone(); }, 10000));
        EXPECT_FALSE(dialogue.saveError().isNull());
        EXPECT_TRUE(dialogue.statusLabel()->text().startsWith(UFM::ERROR_TEXT() + QStringLiteral(": ")));
    }
    EXPECT_EQ(env.service.requestCount(kCreate), 0);
    EXPECT_EQ(fileBytes(package->draftFilePath()), draft);
    EXPECT_FALSE(package->publishedVersionExists());

    // Again, with the service accepting: each file once, then one save.
    // Batches dropped by the give-up may still be arriving at the service: let them land first.
    for (int seen = -1; seen != env.service.requestCount(kUpload);) {
        seen = env.service.requestCount(kUpload);
        QTest::qWait(150);
    }
    env.service.clearInjectedReplies();
    env.service.clearRequests();
    QVRSavePublishDialogueWindowController dialogue({package});
    QStringList statuses;
    QObject::connect(&dialogue, &QVRSavePublishDialogueWindowController::statusChanged,
                     [&](const QString& status) { statuses.append(status); });
    dialogue.setPublishing(true);
    dialogue.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialogue.uploadsDone(); }, 10000));
    EXPECT_TRUE(dialogue.saveError().isNull()) << dialogue.saveError().description().toStdString();
    // The files are counted from the first, then the save, then success; nothing counts back.
    ASSERT_GE(statuses.size(), 3) << statuses.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(statuses.front(), UFM::UPLOADING_X_OF_Y().arg(1).arg(3));
    EXPECT_EQ(statuses.at(statuses.size() - 2), UFM::FINALIZING_TEXT());
    EXPECT_EQ(statuses.back(), UFM::SUCCESS_EXCLAMATION_TEXT());
    QStringList uploading = statuses.mid(0, statuses.size() - 2);
    QStringList expectedOrder;
    for (int file = 1; file <= 3; ++file) {
        if (uploading.contains(UFM::UPLOADING_X_OF_Y().arg(file).arg(3)))
            expectedOrder.append(UFM::UPLOADING_X_OF_Y().arg(file).arg(3));
    }
    EXPECT_EQ(uploading, expectedOrder) << statuses.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(dialogue.result(), SheetRunner::kDone);
    const QStringList uploaded = uploadedFileNames(env.service);
    EXPECT_EQ(uploaded.size(), 3) << uploaded.join(QLatin1Char(' ')).toStdString();
    EXPECT_EQ(QSet<QString>(uploaded.begin(), uploaded.end()).size(), 3);
    EXPECT_EQ(env.service.requestCount(kCreate), 1);
    EXPECT_TRUE(package->publishedVersionExists());
}

// A package brought in from elsewhere: its draft names a link (in its assets) to a file of the user's, and
// another file of the user's by its full path. Publishing sends neither, only the picture the package holds.
TEST(PublishDialogueTest, PublishingUploadsNoLinkAndNoFileOutsideThePackage)
{
    ScopedPublishEnvironment env;
    ASSERT_TRUE(env.started());
    QTemporaryDir files;
    QTemporaryDir users;
    auto document = documentWithFiles(files.path(), {1000, 1000, 1000});
    const auto package = ScopedPublishEnvironment::packageOf(document);
    QStringList named;
    for (const auto& asset : document->getAllContentAssets())
        named.append(asset->localFilePath());
    ASSERT_EQ(named.size(), 3);
    ASSERT_TRUE(package->unloadModel());

    const QString diary = users.filePath(QStringLiteral("diary.txt"));
    const QString taxes = users.filePath(QStringLiteral("taxes.txt"));
    for (const QString& path : {diary, taxes}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("the user's own " + QFileInfo(path).fileName().toUtf8());
    }
    ASSERT_TRUE(QFile::remove(named[1]));
    ASSERT_TRUE(QFile::link(diary, named[1]));
    QByteArray draft = fileBytes(package->draftFilePath());
    const QByteArray third = QUrl::fromLocalFile(named[2]).toEncoded();
    ASSERT_TRUE(draft.contains(third));
    draft.replace(third, QUrl::fromLocalFile(taxes).toEncoded());
    {
        QFile file(package->draftFilePath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(draft);
    }

    QVRSavePublishDialogueWindowController dialogue({package});
    dialogue.setPublishing(true);
    dialogue.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialogue.uploadsDone(); }, 10000));
    const QStringList uploaded = uploadedFileNames(env.service);
    EXPECT_EQ(uploaded, QStringList{QFileInfo(named[0]).fileName()}) << uploaded.join(' ').toStdString();
    for (const FakeHttpRequest& request : env.service.requests()) {
        for (const FakeFilePart& part : request.files)
            EXPECT_FALSE(part.data.contains("the user's own")) << part.fileName.toStdString();
    }
    ASSERT_TRUE(package->model());
    int withContentID = 0;
    for (const auto& asset : package->model()->getAllContentAssets())
        withContentID += asset->corvikContentID().isEmpty() ? 0 : 1;
    EXPECT_EQ(withContentID, 1);
}

TEST(PublishDialogueTest, WithoutTheServiceSaveDraftAndPostSayItCannotBeReachedAndKeepTheDraft)
{
    ScopedPublishEnvironment env;
    ASSERT_TRUE(env.started());
    QTemporaryDir files;
    auto document = documentWithFiles(files.path(), {});
    const auto package = ScopedPublishEnvironment::packageOf(document);
    const QByteArray draft = fileBytes(package->draftFilePath());
    ASSERT_TRUE(CorvikBlockAPIBinding::setAPIURL(FakeWebService::unreachableBaseUrl()));
    for (const bool publishing : {false, true}) {
        QVRSavePublishDialogueWindowController dialogue({package});
        dialogue.setPublishing(publishing);
        dialogue.start();
        ASSERT_TRUE(QTest::qWaitFor([&] { return dialogue.uploadsDone(); }, 10000));
        EXPECT_TRUE(ServiceReachability::isUnreachableError(dialogue.saveError()));
        EXPECT_EQ(dialogue.statusLabel()->text(),
                  UFM::ERROR_TEXT() + QStringLiteral(": ") + ServiceReachability::unreachableText());
    }
    EXPECT_EQ(fileBytes(package->draftFilePath()), draft);
    EXPECT_FALSE(package->publishedVersionExists());
    EXPECT_EQ(env.service.requestCount(kCreate), 0);
}

TEST(PublishDialogueTest, WaitsForThisDocumentsReEncodingOnly)
{
    ScopedPublishEnvironment env;
    ASSERT_TRUE(env.started());
    auto fake = std::make_shared<FakeCompressionManager>();
    fake->count = 2;
    VideoCompressionManager::registerFactory([fake](const std::shared_ptr<ZERI_TessarineModel>&) { return fake; });
    auto document = ScopedPublishEnvironment::savedDocument(QStringLiteral("Videos"));
    ASSERT_EQ(document->documentVideoCompressionManager(), fake);
    VideoCompressionManager::registerFactory(nullptr);
    FakeCompressionManager other;
    other.count = 0;

    QVRSavePublishDialogueWindowController dialogue({ScopedPublishEnvironment::packageOf(document)});
    dialogue.start();
    EXPECT_EQ(dialogue.statusLabel()->text(), UFM::COMPRESSING_VIDEO_X_OF_Y().arg(1).arg(2));

    other.post(QVBVideoCompressionManager::didEndNotification); // another document's queue: nothing starts
    fake->count = 1;
    fake->post(QVBVideoCompressionManager::didEndNotification);
    fake->post(QVBVideoCompressionManager::willBeginNotification);
    EXPECT_EQ(dialogue.statusLabel()->text(), UFM::COMPRESSING_VIDEO_X_OF_Y().arg(2).arg(2));
    fake->fraction = 0.5;
    fake->post(QVBVideoCompressionManager::didProgressNotification);
    EXPECT_EQ(dialogue.progressBar()->value(), QVRSavePublishDialogueWindowController::kProgressSteps * 3 / 4);
    fake->fraction = 0.2; // the second of two: half done plus a half of its own fraction
    fake->post(QVBVideoCompressionManager::didProgressNotification);
    EXPECT_EQ(dialogue.progressBar()->value(), QVRSavePublishDialogueWindowController::kProgressSteps * 6 / 10);
    QTest::qWait(50);
    EXPECT_EQ(env.service.requestCount(kCreate), 0);

    fake->count = 0;
    fake->post(QVBVideoCompressionManager::didEndNotification);
    fake->post(QVBVideoCompressionManager::didEndNotification); // a second report starts nothing more
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialogue.uploadsDone(); }, 5000));
    QTest::qWait(50);
    EXPECT_EQ(env.service.requestCount(kCreate), 1);
    EXPECT_EQ(dialogue.result(), SheetRunner::kDone);
}

TEST(PublishDialogueTest, BatchSavesOnlyChangedPackagesInOrder)
{
    ScopedPublishEnvironment env;
    ASSERT_TRUE(env.started());
    auto first = ScopedPublishEnvironment::savedDocument(QStringLiteral("First"));
    auto unchanged = ScopedPublishEnvironment::savedDocument(QStringLiteral("Unchanged"));
    auto third = ScopedPublishEnvironment::savedDocument(QStringLiteral("Third"));
    ASSERT_TRUE(saveDraftNow(unchanged));
    env.service.clearRequests();

    QVRSavePublishDialogueWindowController dialogue({ScopedPublishEnvironment::packageOf(first),
                                                     ScopedPublishEnvironment::packageOf(unchanged),
                                                     ScopedPublishEnvironment::packageOf(third)});
    QStringList statuses;
    QObject::connect(&dialogue, &QVRSavePublishDialogueWindowController::statusChanged,
                     [&](const QString& status) { statuses.append(status); });
    dialogue.setOnlySaveIfNeeded(true);
    dialogue.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialogue.uploadsDone(); }, 5000));
    QStringList titles;
    for (const FakeHttpRequest& request : env.service.requests()) {
        if (request.method() == kCreate || request.method() == kUpdate)
            titles.append(request.fields.value(QStringLiteral("title")));
    }
    EXPECT_EQ(titles, (QStringList{QStringLiteral("First"), QStringLiteral("Third")}));
    EXPECT_EQ(dialogue.statusLabel()->text(), UFM::SUCCESS_EXCLAMATION_TEXT());
    // One chain through all three, the unchanged one counted too.
    QStringList expected{UFM::FINALIZING_TEXT()};
    for (int taken = 1; taken <= 3; ++taken)
        expected.append(QStringLiteral("%1 %2 / 3").arg(UFM::FINALIZING_TEXT()).arg(taken));
    expected.append(UFM::SUCCESS_EXCLAMATION_TEXT());
    EXPECT_EQ(statuses, expected);
}

// Sign-out's batch: one changed document has files to send, another none. The files go, then both are saved.
TEST(PublishDialogueTest, BatchWithFilesForOnlyOneDocumentSavesThemAll)
{
    ScopedPublishEnvironment env;
    ASSERT_TRUE(env.started());
    QTemporaryDir files;
    auto withFiles = documentWithFiles(files.path(), {4 * 1024, 4 * 1024});
    auto plain = ScopedPublishEnvironment::savedDocument(QStringLiteral("Plain"));
    env.service.clearRequests();

    QVRSavePublishDialogueWindowController dialogue(
        {ScopedPublishEnvironment::packageOf(plain), ScopedPublishEnvironment::packageOf(withFiles)});
    dialogue.setOnlySaveIfNeeded(true);
    dialogue.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialogue.uploadsDone(); }, 10000))
        << "still showing " << dialogue.statusLabel()->text().toStdString();
    EXPECT_TRUE(dialogue.saveError().isNull()) << dialogue.saveError().description().toStdString();
    EXPECT_EQ(uploadedFileNames(env.service).size(), 2);
    QStringList titles;
    for (const FakeHttpRequest& request : env.service.requests()) {
        if (request.method() == kCreate || request.method() == kUpdate)
            titles.append(request.fields.value(QStringLiteral("title")));
    }
    EXPECT_EQ(titles, (QStringList{QStringLiteral("Plain"), QStringLiteral("With files")}));
}

TEST(PublishDialogueTest, CancelEmptiesTheQueueAndALateSaveReplySendsNothingMore)
{
    ScopedPublishEnvironment env;
    ASSERT_TRUE(env.started());
    QTemporaryDir files;
    auto document = documentWithFiles(files.path(), {600 * 1024, 600 * 1024, 600 * 1024, 600 * 1024});
    FakeHttpReply slow = FakeHttpReply::serviceError(QStringLiteral("500"), QStringLiteral("Slow"));
    slow.delayMs = 2000;
    env.service.injectReply(kUpload, slow, -1);
    {
        QVRSavePublishDialogueWindowController dialogue({ScopedPublishEnvironment::packageOf(document)});
        dialogue.start();
        ASSERT_TRUE(QTest::qWaitFor([&] { return env.manager().isUploading(); }, 5000));
        dialogue.cancelButton()->click();
        EXPECT_EQ(dialogue.result(), SheetRunner::kCancelled);
        EXPECT_EQ(env.manager().queuedFileCount(), 0);
    }
    env.service.clearInjectedReplies();

    // Two documents; the first save's answer is held and comes after Cancel.
    auto a = ScopedPublishEnvironment::savedDocument(QStringLiteral("A"));
    auto b = ScopedPublishEnvironment::savedDocument(QStringLiteral("B"));
    env.service.clearRequests();
    FakeHttpReply held = FakeHttpReply::serviceError(QStringLiteral("12"), QStringLiteral("Late"));
    held.delayMs = 200;
    env.service.injectReply(kCreate, held);
    QVRSavePublishDialogueWindowController dialogue(
        {ScopedPublishEnvironment::packageOf(a), ScopedPublishEnvironment::packageOf(b)});
    dialogue.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return env.service.requestCount(kCreate) == 1; }, 5000));
    dialogue.cancelButton()->click(); // before the first save answers
    QTest::qWait(400);
    EXPECT_EQ(env.service.requestCount(kCreate), 1);
    EXPECT_FALSE(dialogue.uploadsDone());
}

TEST(PublishDialogueTest, KeepLocalForksOverTheServerCopyAndSharesThroughPublish)
{
    ScopedPublishEnvironment env;
    ASSERT_TRUE(env.started());
    auto document = ScopedPublishEnvironment::savedDocument(QStringLiteral("Forked"));
    ASSERT_TRUE(saveDraftNow(document));
    env.service.withState([](FakeWebService::State& state) {
        for (auto& stored : state.documents)
            stored.requiresFork = true;
    });
    int details = 0;
    env.script<QVREditTessarineDetailsWindowController>([&](QVREditTessarineDetailsWindowController& sheet) {
        ++details;
        return pressNext(sheet);
    });
    env.script<QVRDraftConflictSheet>([](QVRDraftConflictSheet& sheet) {
        sheet.keepLocalButton()->click();
        return sheet.result();
    });

    QVRSaveAndPostUtils::postTessarineModel(document, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !ScopedPublishEnvironment::shareSheets().isEmpty(); }, 5000));

    const auto fork = env.service.lastRequest(QStringLiteral("tessarine.fork"));
    ASSERT_TRUE(fork.has_value());
    EXPECT_EQ(fork->fields.value(QStringLiteral("overwrite")), QStringLiteral("1"));
    EXPECT_EQ(details, 2); // Publish again on the fork
    EXPECT_EQ(ScopedPublishEnvironment::shareSheets().size(), 1);
}

TEST(PublishDialogueTest, KeepRemoteDownloadsASeparateDocumentAndKeepsTheDraft)
{
    ScopedPublishEnvironment env;
    ASSERT_TRUE(env.started());
    auto document = ScopedPublishEnvironment::savedDocument(QStringLiteral("Mine"));
    ASSERT_TRUE(saveDraftNow(document));
    const auto package = ScopedPublishEnvironment::packageOf(document);
    const QByteArray draft = fileBytes(package->draftFilePath());
    const std::size_t packagesBefore = ZERI_qvdFilePackage::allPackages().size();
    QString header;
    QString title;
    env.script<QVRDraftConflictSheet>([&](QVRDraftConflictSheet& sheet) {
        header = sheet.messageLabel()->text();
        title = sheet.windowTitle();
        sheet.keepRemoteButton()->click();
        return sheet.result();
    });

    int answer = -1;
    QVRForkHandler::beginTessarineForkForFilePackage(package, false, false,
                                                     [&](int code, const Error&) { answer = code; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return answer != -1; }, 5000));

    EXPECT_EQ(answer, QVRForkHandler::kKeptRemote);
    // The changes came from elsewhere, never from this computer; the title is no sentence of the sheet.
    EXPECT_EQ(header, QStringLiteral("There were conflicting changes from another device"));
    EXPECT_EQ(title, QStringLiteral("Tessarine"));
    EXPECT_EQ(ZERI_qvdFilePackage::allPackages().size(), packagesBefore + 1);
    EXPECT_EQ(fileBytes(package->draftFilePath()), draft);
}

TEST(PublishDialogueTest, AdminCopyKeepsIdsDropsFullSizedPicturesAndGoesOnEveryExit)
{
    ScopedPublishEnvironment env;
    ASSERT_TRUE(env.started());
    QTemporaryDir files;
    DocumentWithFiles source = makeDocumentWithFiles(files.path(), {100, 100});
    auto screen = source.model->firstFlowmodel()->screenModels().front();
    auto proxy = screen->mixedMediaObjects().front();
    proxy->object()->setCroppedImageAsset(source.assets[1]);
    source.model->setApiID(QStringLiteral("42"));
    source.model->setStringID(QStringLiteral("abc"));
    ASSERT_TRUE(source.model->saveToFile());

    auto copy = QVRSaveAndPostUtils::getTessarineModelCopyWithoutFullsizedImage(source.model);
    ASSERT_TRUE(copy);
    EXPECT_NE(copy->qvdID(), source.model->qvdID());
    EXPECT_EQ(copy->apiID(), QStringLiteral("42"));
    EXPECT_EQ(copy->stringID(), QStringLiteral("abc"));
    const auto copyPackage = ScopedPublishEnvironment::packageOf(copy);
    EXPECT_EQ(copyPackage->metaData().packageType(), 0);
    const auto copiedObject = copy->firstFlowmodel()->screenModels().front()->mixedMediaObjects().front()->object();
    EXPECT_FALSE(copiedObject->originalImageAsset());
    EXPECT_TRUE(copiedObject->croppedImageAsset());
    EXPECT_TRUE(proxy->object()->originalImageAsset()); // the source keeps its picture
    copyPackage->deletePackage();

    auto document = ScopedPublishEnvironment::savedDocument(QStringLiteral("Admin"));
    const std::size_t packages = ZERI_qvdFilePackage::allPackages().size();
    bool cancel = true;
    env.script<QVREditTessarineDetailsWindowController>([&](QVREditTessarineDetailsWindowController& sheet) {
        if (cancel) {
            sheet.cancelButton()->click();
            return sheet.result();
        }
        return pressNext(sheet);
    });
    QVRSaveAndPostUtils::postTessarineModel(document, nullptr, true);
    EXPECT_EQ(ZERI_qvdFilePackage::allPackages().size(), packages); // cancelled: the copy is gone

    cancel = false;
    QVRSaveAndPostUtils::postTessarineModel(document, nullptr, true);
    ASSERT_EQ(ScopedPublishEnvironment::shareSheets().size(), 1);
    EXPECT_EQ(ZERI_qvdFilePackage::allPackages().size(), packages + 1); // kept while its share sheet is open
    ScopedPublishEnvironment::closeShareSheets();
    EXPECT_EQ(ZERI_qvdFilePackage::allPackages().size(), packages);
    EXPECT_FALSE(ScopedPublishEnvironment::packageOf(document)->publishedVersionExists()); // the draft's own
}

TEST(PublishDialogueTest, StoredUserRecordTakesOnlyTheSignedInUsersOwnerRecord)
{
    ScopedPublishEnvironment env;
    ASSERT_TRUE(env.started());
    auto document = ScopedPublishEnvironment::savedDocument(QStringLiteral("Owned"));
    bool saved = false;
    document->saveToServer(DocumentService::Publish, [&](const std::optional<SafeDictionary>&) { saved = true; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return saved; }, 5000));
    const QString apiID = ScopedPublishEnvironment::packageOf(document)->metaData().apiID();
    const auto answerWithOwner = [&](const QJsonObject& owner) {
        return FakeHttpReply::json(
            QJsonObject{{QStringLiteral("tessarine"),
                         QJsonObject{{QStringLiteral("id"), apiID}, {QStringLiteral("owner"), owner}}}});
    };

    // Somebody else's record (an administrator unpublishing another user's document): the stored one stays.
    env.service.injectReply(kUpdate,
                            answerWithOwner(QJsonObject{{QStringLiteral("username"), QStringLiteral("bob")},
                                                        {QStringLiteral("display_name"), QStringLiteral("Bob")}}));
    bool done = false;
    QVRSaveAndPostUtils::unpublishTessarineModel(document, [&] { done = true; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 5000));
    EXPECT_EQ(Tessutils::corvikUserDict().stringForKey(QStringLiteral("username")), QStringLiteral("ann"));
    EXPECT_TRUE(Tessutils::corvikUserDict().stringForKey(QStringLiteral("display_name")).isEmpty());

    // The signed-in user's own record is taken.
    env.service.injectReply(kUpdate,
                            answerWithOwner(QJsonObject{{QStringLiteral("username"), QStringLiteral("ann")},
                                                        {QStringLiteral("display_name"), QStringLiteral("Ann")}}));
    done = false;
    QVRSaveAndPostUtils::unpublishTessarineModel(document, [&] { done = true; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 5000));
    EXPECT_EQ(Tessutils::corvikUserDict().stringForKey(QStringLiteral("display_name")), QStringLiteral("Ann"));
}

TEST(PublishDialogueTest, AdminPublishMeetingAConflictForksTheCopyAndKeepsTheDraft)
{
    ScopedPublishEnvironment env;
    ASSERT_TRUE(env.started());
    auto document = ScopedPublishEnvironment::savedDocument(QStringLiteral("Admin conflict"));
    ASSERT_TRUE(saveDraftNow(document));
    const auto package = ScopedPublishEnvironment::packageOf(document);
    const QString apiID = document->apiID();
    const QByteArray draft = fileBytes(package->draftFilePath());
    const std::size_t packages = ZERI_qvdFilePackage::allPackages().size();
    env.service.withState([](FakeWebService::State& state) {
        for (auto& stored : state.documents)
            stored.requiresFork = true;
    });
    env.script<QVREditTessarineDetailsWindowController>(
        [](QVREditTessarineDetailsWindowController& sheet) { return pressNext(sheet); });
    int conflicts = 0;
    env.script<QVRDraftConflictSheet>([&](QVRDraftConflictSheet& sheet) {
        ++conflicts;
        // The copy being forked is still there while the conflict is answered.
        EXPECT_EQ(ZERI_qvdFilePackage::allPackages().size(), packages + 1);
        sheet.keepLocalButton()->click();
        return sheet.result();
    });

    QVRSaveAndPostUtils::postTessarineModel(document, nullptr, true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !ScopedPublishEnvironment::shareSheets().isEmpty(); }, 5000));

    EXPECT_EQ(conflicts, 1);
    EXPECT_EQ(env.service.requestCount(QStringLiteral("tessarine.fork")), 1);
    const auto sheets = ScopedPublishEnvironment::shareSheets();
    ASSERT_EQ(sheets.size(), 1);
    const auto forked = sheets.front()->tessarineModel();
    ASSERT_TRUE(forked);
    EXPECT_NE(forked, document);
    EXPECT_NE(forked->apiID(), apiID); // the copy took the fork's id
    EXPECT_EQ(document->apiID(), apiID);
    EXPECT_EQ(fileBytes(package->draftFilePath()), draft);
    EXPECT_EQ(ZERI_qvdFilePackage::allPackages().size(), packages + 1);
    ScopedPublishEnvironment::closeShareSheets();
    EXPECT_EQ(ZERI_qvdFilePackage::allPackages().size(), packages);
}
