#include <gtest/gtest.h>

#include <unistd.h>

#include <QCryptographicHash>
#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QThread>

#include "ModelTestSupport.h"
#include "ServiceTestSupport.h"
#include "foundation/Tessutils.h"
#include "service/ZERI_AssetUploadManager.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "support/QtPrinters.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

const QString kUpload = QStringLiteral("corvik.channel.add.multiple");
constexpr qint64 kKB = 1024;

struct RecordingUploadDelegate : ZERI_AssetUploadManagerDelegate {
    struct Progress {
        quint64 bytes, totalBytes, files, totalFiles;
    };
    QList<Progress> progress;
    QList<std::shared_ptr<ZERI_TessarineModel>> completed;
    bool allOnMainThread = true;

    void uploadManagerUploadDidProgress(ZERI_AssetUploadManager*, const void*, quint64 bytes, quint64 totalBytes,
                                        quint64 files, quint64 totalFiles) override
    {
        progress.append({bytes, totalBytes, files, totalFiles});
        allOnMainThread = allOnMainThread && QThread::currentThread() == QCoreApplication::instance()->thread();
    }
    // Every report's counts at least those of the one before and within its totals.
    void expectMonotonicWithinTotals() const
    {
        for (qsizetype i = 0; i < progress.size(); ++i) {
            EXPECT_LE(progress[i].bytes, progress[i].totalBytes) << "report " << i;
            EXPECT_LE(progress[i].files, progress[i].totalFiles) << "report " << i;
            if (i > 0) {
                EXPECT_GE(progress[i].bytes, progress[i - 1].bytes) << "report " << i;
                EXPECT_GE(progress[i].files, progress[i - 1].files) << "report " << i;
            }
        }
        EXPECT_TRUE(allOnMainThread);
    }
    void uploadManagerAllUploadsCompletedForModel(ZERI_AssetUploadManager*,
                                                  const std::shared_ptr<ZERI_TessarineModel>& model) override
    {
        completed.append(model);
    }
};

class UploadTest : public ServiceTest {
protected:
    void SetUp() override
    {
        ServiceTest::SetUp();
        ASSERT_TRUE(m_folder.isValid());
        Tessutils::setCorvikAuthToken(m_service.addUser(QStringLiteral("ann")).token);
    }
    std::unique_ptr<ZERI_AssetUploadManager> makeManager(double retryInterval = 0.02)
    {
        auto manager = std::make_unique<ZERI_AssetUploadManager>(m_folder.filePath("uploadqueue"));
        manager->setRetryInterval(retryInterval);
        manager->setDelegate(&m_delegate);
        return manager;
    }
    void TearDown() override
    {
        ZERI_qvdFilePackage::setPackagesFolder(QString());
        ServiceTest::TearDown();
    }
    DocumentWithFiles makeDocument(const QList<qint64>& sizes)
    {
        return makeDocumentWithFiles(m_folder.filePath("assets"), sizes);
    }
    // A document kept in a package (in a packages folder of the test's own), its files in the package's assets.
    DocumentWithFiles makePackagedDocument(const QList<qint64>& sizes)
    {
        ZERI_qvdFilePackage::setPackagesFolder(m_folder.filePath("packages"));
        DocumentWithFiles document = makeDocumentWithFiles(m_folder.filePath("staging"), sizes);
        const auto package = ZERI_qvdFilePackage::packageForNewModel(document.model);
        EXPECT_TRUE(package);
        if (!package)
            return document;
        for (qsizetype i = 0; i < document.paths.size(); ++i) {
            const QString moved = QDir(package->assetsPath()).filePath(QFileInfo(document.paths[i]).fileName());
            EXPECT_TRUE(QFile::rename(document.paths[i], moved));
            document.assets[size_t(i)]->setExternalURL(QUrl::fromLocalFile(moved));
            document.paths[i] = moved;
        }
        return document;
    }
    // The files of each upload request the service received, as the indexes of `paths`, in the order the
    // batches were made (several are sent at once, so they may arrive in another order).
    QList<QList<int>> batches(const QStringList& paths) const
    {
        QList<QList<int>> result;
        for (const FakeHttpRequest& request : m_service.requests()) {
            if (request.method() != kUpload)
                continue;
            QList<int> files;
            for (const FakeFilePart& part : request.files)
                files.append(int(paths.indexOf(m_folder.filePath("assets/") + part.fileName)));
            std::sort(files.begin(), files.end());
            result.append(files);
        }
        std::sort(result.begin(), result.end());
        return result;
    }
    static QByteArray hashOf(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1)
                                              : QByteArray();
    }

    QTemporaryDir m_folder;
    RecordingUploadDelegate m_delegate;
};

} // namespace

TEST_F(UploadTest, BatchesByBytesAndCountSetContentIdsAndReportMonotonicProgressOnce)
{
    auto document =
        makeDocument({600 * kKB, 600 * kKB, 100 * kKB, 100 * kKB, 100 * kKB, 100 * kKB, 100 * kKB, 100 * kKB});
    const QByteArray firstFileHash = hashOf(document.paths.first());
    auto manager = makeManager();
    manager->enqueueAllContentAssetsForModel(document.model);
    manager->beginTracking();
    ASSERT_TRUE(manager->hasAssets());
    manager->startNextUploadIfNeeded();

    ASSERT_TRUE(waitUntil([&] { return !m_delegate.completed.isEmpty(); }));
    EXPECT_FALSE(waitUntil([&] { return m_delegate.completed.size() > 1; }, 200));
    EXPECT_EQ(m_delegate.completed.first(), document.model);
    EXPECT_TRUE(manager->lastError().isNull());
    EXPECT_FALSE(manager->hasAssets());
    EXPECT_EQ(batches(document.paths), QList<QList<int>>({{0}, {1, 2, 3, 4, 5}, {6, 7}}));

    ASSERT_FALSE(m_delegate.progress.isEmpty());
    m_delegate.expectMonotonicWithinTotals();
    const auto last = m_delegate.progress.last();
    EXPECT_EQ(last.bytes, quint64(1800 * kKB));
    EXPECT_EQ(last.totalBytes, quint64(1800 * kKB));
    EXPECT_EQ(last.files, 8u);
    EXPECT_EQ(last.totalFiles, 8u);

    // Every asset knows its server copy, the document text sent to the service points at it, and the local
    // files are left as they were.
    const auto items = m_service.state().contentItems;
    EXPECT_EQ(items.size(), 8);
    for (const auto& asset : document.assets) {
        ASSERT_FALSE(asset->corvikContentID().isEmpty());
        EXPECT_TRUE(items.contains(asset->corvikContentID()));
        EXPECT_TRUE(asset->externalURL().isLocalFile());
    }
    const QString url = manager->remoteURLForContentID(document.assets.front()->corvikContentID());
    EXPECT_TRUE(url.startsWith(m_service.baseUrl().toString() + "/content/"));
    const QByteArray sent = QJsonDocument(manager->jsonWithRemoteURLs(document.model->jsonDictionary())).toJson();
    EXPECT_TRUE(sent.contains(url.toUtf8()));
    EXPECT_FALSE(sent.contains("file://"));
    EXPECT_EQ(hashOf(document.paths.first()), firstFileHash);
    EXPECT_EQ(items.value(document.assets.front()->corvikContentID()).data.size(), 600 * kKB);

    // Enqueuing again finds nothing left to send, unless an asset's file was replaced since.
    m_service.clearRequests();
    manager->enqueueAllContentAssetsForModel(document.model);
    EXPECT_FALSE(manager->hasAssets());
    const QString oldID = document.assets.back()->corvikContentID();
    document.assets.back()->setExternalURL(QUrl::fromLocalFile(document.paths.front()));
    manager->enqueueAllContentAssetsForModel(document.model);
    EXPECT_EQ(manager->queuedFileCount(), 1);
    manager->startNextUploadIfNeeded();
    ASSERT_TRUE(waitUntil([&] { return !manager->hasAssets(); }));
    EXPECT_NE(document.assets.back()->corvikContentID(), oldID);
    EXPECT_FALSE(document.assets.back()->corvikContentID().isEmpty());
}

// The service reads slowly: the bytes move while the one request is on its way, not only when it ends.
TEST_F(UploadTest, ProgressMovesWithinARequestAndEndsExactlyAtTheTotals)
{
    const qint64 fileBytes = 1024 * kKB;
    auto document = makeDocument({fileBytes});
    m_service.setReadThrottle(128 * kKB, 10);
    auto manager = makeManager();
    manager->enqueueAllContentAssetsForModel(document.model);
    manager->beginTracking();
    manager->startNextUploadIfNeeded();
    ASSERT_TRUE(waitUntil([&] { return !m_delegate.completed.isEmpty(); }, 30000));
    ASSERT_TRUE(manager->lastError().isNull()) << manager->lastError().message.toStdString();
    EXPECT_EQ(m_service.requestCount(kUpload), 1);

    m_delegate.expectMonotonicWithinTotals();
    const auto inBetween = std::count_if(m_delegate.progress.begin(), m_delegate.progress.end(), [&](const auto& p) {
        return p.bytes > 0 && p.bytes < quint64(fileBytes) && p.files == 0;
    });
    EXPECT_GE(inBetween, 3);
    for (const auto& p : m_delegate.progress)
        EXPECT_EQ(p.totalBytes, quint64(fileBytes));
    const auto last = m_delegate.progress.last();
    EXPECT_EQ(last.bytes, quint64(fileBytes));
    EXPECT_EQ(last.files, 1u);
    EXPECT_EQ(last.totalFiles, 1u);
}

// The first attempt's body gets across whole and is then rejected; the retry sends it again from its start.
// Progress neither falls back nor counts the file twice.
TEST_F(UploadTest, ARetriedBatchNeitherLowersNorOvershootsProgress)
{
    const qint64 fileBytes = 1024 * kKB;
    auto document = makeDocument({fileBytes});
    m_service.setReadThrottle(128 * kKB, 10);
    m_service.injectReply(kUpload, FakeHttpReply::serviceError("500", "Try again"), 1);
    auto manager = makeManager();
    manager->enqueueAllContentAssetsForModel(document.model);
    manager->beginTracking();
    manager->startNextUploadIfNeeded();
    ASSERT_TRUE(waitUntil([&] { return !m_delegate.completed.isEmpty(); }, 30000));
    ASSERT_TRUE(manager->lastError().isNull()) << manager->lastError().message.toStdString();
    EXPECT_EQ(m_service.requestCount(kUpload), 2);

    m_delegate.expectMonotonicWithinTotals();
    const auto last = m_delegate.progress.last();
    EXPECT_EQ(last.bytes, quint64(fileBytes));
    EXPECT_EQ(last.totalBytes, quint64(fileBytes));
    EXPECT_EQ(last.files, 1u);
}

TEST_F(UploadTest, AFileOverTheByteLimitGoesAloneAndASharedFileIsSentOnce)
{
    auto document = makeDocument({3 * 1024 * kKB, 10 * kKB});
    auto twin = ZERI_ContentAsset::create();
    twin->setExternalURL(document.assets.back()->externalURL());
    auto object = ZERI_MixedMediaObject::objectWithType(2);
    object->object()->setOriginalImageAsset(twin);
    document.model->firstFlowmodel()->screenModels().front()->addMixedMediaObject(object);

    auto manager = makeManager();
    manager->enqueueAllContentAssetsForModel(document.model);
    manager->startNextUploadIfNeeded();
    ASSERT_TRUE(waitUntil([&] { return !m_delegate.completed.isEmpty(); }));
    EXPECT_EQ(batches(document.paths), QList<QList<int>>({{0}, {1}}));
    EXPECT_FALSE(twin->corvikContentID().isEmpty());
    EXPECT_EQ(twin->corvikContentID(), document.assets.back()->corvikContentID());
}

// An uploaded asset keeps the service's address beside its local file, in the draft too; the copy sent to the
// service has it as its address only. A draft written before assets kept the address learns it from the results,
// and once the results are forgotten (the user signed out) the asset's own record still serves.
TEST_F(UploadTest, AnUploadedAssetKeepsItsRemoteAddressBesideItsLocalFile)
{
    auto document = makeDocument({10 * kKB, 10 * kKB});
    auto manager = makeManager();
    manager->enqueueAllContentAssetsForModel(document.model);
    manager->startNextUploadIfNeeded();
    ASSERT_TRUE(waitUntil([&] { return !m_delegate.completed.isEmpty(); }));
    const auto& asset = document.assets.front();
    const QString url = manager->remoteURLForContentID(asset->corvikContentID());
    EXPECT_EQ(asset->remoteURL().toString(), url);
    EXPECT_TRUE(asset->externalURL().isLocalFile());
    EXPECT_EQ(asset->webURL().toString(), url);
    EXPECT_TRUE(QJsonDocument(document.model->jsonDictionary()).toJson().contains(url.toUtf8()));
    const QByteArray sent = QJsonDocument(manager->jsonWithRemoteURLs(document.model->jsonDictionary())).toJson();
    EXPECT_FALSE(sent.contains("remoteURL"));
    EXPECT_FALSE(sent.contains("file://"));

    // As an earlier version wrote it: the content id without the address.
    auto older = ZERI_ContentAsset::initWithDict(asset->jsonDictionary());
    older->setRemoteURL(QUrl());
    older->setCorvikContentID(asset->corvikContentID());
    EXPECT_TRUE(older->webURL().isEmpty());
    EXPECT_EQ(manager->webURLOf(*older).toString(), url);

    manager->forgetUploadResults();
    EXPECT_TRUE(manager->remoteURLForContentID(asset->corvikContentID()).isEmpty());
    const QByteArray sentLater = QJsonDocument(manager->jsonWithRemoteURLs(document.model->jsonDictionary())).toJson();
    EXPECT_TRUE(sentLater.contains(url.toUtf8()));
    EXPECT_FALSE(sentLater.contains("file://"));
    manager.reset(); // its last state is on disk once it is gone
    EXPECT_TRUE(makeManager()->remoteURLForContentID(asset->corvikContentID()).isEmpty()) << "kept on disk";
}

// A file that never reached the service (one gained after the others were sent, or one missing) is named in the
// user's own draft but never in the copy for the service: nobody else can open it there.
TEST_F(UploadTest, TheCopyForTheServiceNamesNoFileThatWasNeverSent)
{
    auto document = makeDocument({10 * kKB, 10 * kKB});
    auto manager = makeManager();
    const QString lateFile = document.paths.back();
    document.assets.back()->setExternalURL(QUrl());
    manager->enqueueAllContentAssetsForModel(document.model);
    manager->startNextUploadIfNeeded();
    ASSERT_TRUE(waitUntil([&] { return !m_delegate.completed.isEmpty(); }));
    document.assets.back()->setExternalURL(QUrl::fromLocalFile(lateFile));

    const QString sentURL = manager->remoteURLForContentID(document.assets.front()->corvikContentID());
    ASSERT_FALSE(sentURL.isEmpty());
    const QByteArray sent = QJsonDocument(manager->jsonWithRemoteURLs(document.model->jsonDictionary())).toJson();
    EXPECT_TRUE(sent.contains(sentURL.toUtf8()));
    EXPECT_FALSE(sent.contains("file:")) << sent.constData();
    EXPECT_TRUE(sent.contains(document.assets.back()->internalID().toUtf8())) << "the asset itself was left out";
    EXPECT_TRUE(document.assets.back()->externalURL().isLocalFile()) << "the user's own copy lost its file";
}

// The same document enqueued again while its files are on their way (the sign-out dialogue saving a document
// whose publish is sending it): no file is sent twice, and the document is reported complete once they arrive.
TEST_F(UploadTest, AFileOnItsWayIsNotSentAgainWhenItsDocumentIsEnqueuedAgain)
{
    auto document = makeDocument({600 * kKB, 600 * kKB, 100 * kKB, 100 * kKB});
    m_service.setReplyDelay(300);
    auto manager = makeManager();
    manager->enqueueAllContentAssetsForModel(document.model);
    manager->beginTracking();
    manager->startNextUploadIfNeeded();
    ASSERT_TRUE(waitUntil([&] { return m_service.requestCount(kUpload) >= 1; }));
    ASSERT_TRUE(manager->isUploading());

    manager->enqueueAllContentAssetsForModel(document.model);
    manager->beginTracking();
    EXPECT_EQ(manager->queuedFileCount(), 4);
    manager->startNextUploadIfNeeded();
    ASSERT_TRUE(waitUntil([&] { return !m_delegate.completed.isEmpty() && !manager->hasAssets(); }));
    m_service.setReplyDelay(0);
    EXPECT_EQ(m_service.state().contentItems.size(), 4);
    EXPECT_EQ(batches(document.paths), QList<QList<int>>({{0}, {1, 2, 3}}));
    for (const auto& asset : document.assets)
        EXPECT_FALSE(asset->corvikContentID().isEmpty());
    EXPECT_EQ(m_delegate.progress.last().totalFiles, 4u);
}

// Five batches; the service receives the first three and answers none of them. Cancelling then drops
// them and the two batches not yet sent.
TEST_F(UploadTest, CancellingDuringTheSecondBatchSendsNothingMore)
{
    auto document = makeDocument({600 * kKB, 600 * kKB, 100 * kKB, 100 * kKB, 100 * kKB, 100 * kKB, 100 * kKB,
                                  100 * kKB, 600 * kKB, 600 * kKB, 600 * kKB});
    m_service.injectReply(kUpload, FakeHttpReply::hang(), -1);
    auto manager = makeManager();
    manager->enqueueAllContentAssetsForModel(document.model);
    manager->beginTracking();
    manager->startNextUploadIfNeeded();
    ASSERT_TRUE(
        waitUntil([&] { return m_service.requestCount(kUpload) == ZERI_AssetUploadManager::kMaxBatchesInFlight; }));

    manager->cancelUploadsAndClearQueue();
    EXPECT_FALSE(manager->hasAssets());
    EXPECT_FALSE(waitUntil(
        [&] {
            return m_service.requestCount(kUpload) > ZERI_AssetUploadManager::kMaxBatchesInFlight ||
                   !m_delegate.completed.isEmpty();
        },
        300));
    for (const auto& asset : document.assets)
        EXPECT_TRUE(asset->corvikContentID().isEmpty());
    // Nothing is left to resume either.
    auto restarted = makeManager();
    EXPECT_FALSE(restarted->hasAssets());

    // The bytes that had left in the dropped batches stay counted: the next uploads, tracked on, never show
    // less, and still end at the totals.
    m_service.clearInjectedReplies();
    ASSERT_FALSE(m_delegate.progress.isEmpty());
    const quint64 bytesBefore = m_delegate.progress.last().bytes;
    EXPECT_GT(bytesBefore, 0u);
    auto more = makeDocumentWithFiles(m_folder.filePath("more"), {300 * kKB});
    manager->enqueueAllContentAssetsForModel(more.model);
    manager->startNextUploadIfNeeded();
    ASSERT_TRUE(waitUntil([&] { return !m_delegate.completed.isEmpty(); }));
    m_delegate.expectMonotonicWithinTotals();
    EXPECT_GE(m_delegate.progress.last().bytes, bytesBefore);
    EXPECT_EQ(m_delegate.progress.last().bytes, m_delegate.progress.last().totalBytes);
    EXPECT_EQ(m_delegate.progress.last().files, m_delegate.progress.last().totalFiles);
}

// The queue is kept on disk: a manager made over the same folder resumes it, and the document, enqueued
// again later, takes the content ids of the files sent meanwhile without sending them twice.
TEST_F(UploadTest, QueueSurvivesARestartAndTheResultsReachTheDocumentLater)
{
    auto document = makePackagedDocument({200 * kKB, 200 * kKB, 200 * kKB});
    m_service.injectReply(kUpload, FakeHttpReply::drop(), -1);
    {
        auto manager = makeManager(60.0); // the retry would come long after the restart
        manager->enqueueAllContentAssetsForModel(document.model);
        manager->startNextUploadIfNeeded();
        ASSERT_TRUE(waitUntil([&] { return m_service.requestCount(kUpload) >= 1 && !manager->isUploading(); }));
    }
    m_service.clearInjectedReplies();

    auto restarted = makeManager();
    EXPECT_TRUE(restarted->hasAssets());
    ASSERT_TRUE(waitUntil([&] { return !restarted->hasAssets(); }));
    EXPECT_EQ(m_service.state().contentItems.size(), 3);
    EXPECT_TRUE(document.assets.front()->corvikContentID().isEmpty()); // not known to the new manager yet

    restarted.reset(); // a manager writes its files on a worker; its end waits for them
    const int requestsBefore = m_service.requestCount(kUpload);
    auto again = makeManager();
    again->enqueueAllContentAssetsForModel(document.model);
    EXPECT_FALSE(again->hasAssets());
    EXPECT_EQ(m_service.requestCount(kUpload), requestsBefore);
    for (const auto& asset : document.assets)
        EXPECT_TRUE(m_service.state().contentItems.contains(asset->corvikContentID()));
}

// The saved queue is only a file in the application's folder: at a restart each file it names is checked as when it
// was queued. A file of the user's outside every package, a link or a second name (hard link) in the package leading
// to one, and a package file named for a document whose package it is not are not sent; the package's own file is,
// under each name the application gave it.
TEST_F(UploadTest, AResumedQueueSendsOnlyFilesInsideThePackagesOfTheirDocuments)
{
    auto document = makePackagedDocument({10 * kKB});
    auto other = makePackagedDocument({10 * kKB});
    const QString assets = QFileInfo(document.paths.first()).path();
    QTemporaryDir user;
    const QString secret = user.filePath("secret.txt");
    QFile file(secret);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("the user's own words");
    file.close();
    const QString link = QDir(assets).filePath("link.bin");
    ASSERT_TRUE(QFile::link(secret, link));
    const QString hard = QDir(assets).filePath("hard.bin");
    ASSERT_EQ(::link(QFile::encodeName(secret).constData(), QFile::encodeName(hard).constData()), 0);
    const QString second = QDir(assets).filePath("second.bin");
    ASSERT_EQ(::link(QFile::encodeName(document.paths.first()).constData(), QFile::encodeName(second).constData()), 0);

    const QString id = document.model->qvdID();
    const auto entry = [](const QString& path, const QString& documentID) {
        return QJsonObject{{"path", path},
                           {"size", double(QFileInfo(path).size())},
                           {"assets", QJsonArray{QJsonObject{{"document", documentID}, {"asset", "A"}}}}};
    };
    const QJsonArray queue{entry(secret, id),
                           entry(link, id),
                           entry(hard, id),
                           entry(other.paths.first(), id),
                           entry(document.paths.first(), id),
                           entry(second, id)};
    QDir().mkpath(m_folder.filePath("uploadqueue"));
    QFile saved(m_folder.filePath("uploadqueue/queue.json"));
    ASSERT_TRUE(saved.open(QIODevice::WriteOnly));
    saved.write(QJsonDocument(queue).toJson());
    saved.close();

    auto manager = makeManager();
    ASSERT_TRUE(waitUntil([&] { return !manager->hasAssets(); }));
    QStringList sent;
    for (const FakeHttpRequest& request : m_service.requests()) {
        for (const FakeFilePart& part : request.files)
            sent.append(part.fileName);
    }
    sent.sort();
    EXPECT_EQ(sent, (QStringList{QFileInfo(document.paths.first()).fileName(), QStringLiteral("second.bin")}));
}

TEST_F(UploadTest, ARejectedBatchIsRetriedABoundedNumberOfTimesThenReportedWithFilesUntouched)
{
    auto document = makeDocument({50 * kKB, 50 * kKB});
    const QByteArray hash = hashOf(document.paths.first());
    m_service.injectReply(kUpload, FakeHttpReply::serviceError("413", "Quota exceeded"), -1);
    auto manager = makeManager();
    manager->enqueueAllContentAssetsForModel(document.model);
    manager->startNextUploadIfNeeded();
    ASSERT_TRUE(waitUntil([&] { return !m_delegate.completed.isEmpty(); }));
    EXPECT_EQ(m_service.requestCount(kUpload), ZERI_AssetUploadManager::kMaxAttempts);
    EXPECT_EQ(m_delegate.completed.size(), 1);
    EXPECT_EQ(manager->lastError().code, ZERI_AssetUploadManager::UploadFailed);
    EXPECT_EQ(manager->lastError().message, "Quota exceeded");
    EXPECT_FALSE(manager->hasAssets());
    EXPECT_TRUE(document.assets.front()->corvikContentID().isEmpty());
    EXPECT_EQ(hashOf(document.paths.first()), hash);
    EXPECT_TRUE(QFile::exists(document.paths.last()));
}

TEST_F(UploadTest, SignedOutUploadsEndAtOnceWithAnError)
{
    Tessutils::setCorvikAuthToken(QString());
    auto document = makeDocument({10 * kKB});
    auto manager = makeManager();
    manager->enqueueAllContentAssetsForModel(document.model);
    manager->startNextUploadIfNeeded();
    ASSERT_EQ(m_delegate.completed.size(), 1);
    EXPECT_EQ(manager->lastError().code, ZERI_AssetUploadManager::NotSignedIn);
    EXPECT_EQ(m_service.requestCount(kUpload), 0);
}
