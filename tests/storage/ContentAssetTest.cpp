#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>
#include <QUrl>

#include "LocalHttpServer.h"
#include "StorageTestSupport.h"
#include "foundation/Tessutils.h"
#include "platform/MainThread.h"
#include "storage/AssetFileReferences.h"
#include "storage/ContentAssetStorage.h"
#include "storage/QVRCustomDataDataItem.h"
#include "storage/QVRDataFromURLDataItem.h"
#include "storage/ZERI_WebDownloader.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "tessarine_data_model/VideoAssetCompressorPreset.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

class ContentAssetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        document = makeDocumentWithOneScreen();
        ASSERT_TRUE(ZERI_qvdFilePackage::saveModelToFile(document));
        package = std::dynamic_pointer_cast<ZERI_qvdFilePackage>(document->filePackage());
        ASSERT_TRUE(package);
    }
    void TearDown() override { Tessutils::setUserMaxUploadSize(0); }

    std::shared_ptr<ZERI_FlowScreenModel> screen() const { return document->firstFlowmodel()->screenModels().front(); }
    QStringList assetFiles() const { return QDir(package->assetsPath()).entryList(QDir::Files | QDir::Hidden); }

    ScopedStorageFolders folders;
    std::shared_ptr<ZERI_TessarineModel> document;
    std::shared_ptr<ZERI_qvdFilePackage> package;
};

struct DoneRecorder {
    int calls = 0;
    bool onMainThread = true;
    Error error;
    std::vector<double> progress;
    ContentAssetStorage::DoneBlock done()
    {
        return [this](const Error& e) {
            ++calls;
            onMainThread = onMainThread && MainThread::isMainThread();
            error = e;
        };
    }
    ContentAssetStorage::ProgressBlock progressBlock()
    {
        return [this](double fraction) { progress.push_back(fraction); };
    }
    bool wait()
    {
        return QTest::qWaitFor([this] { return calls > 0; }, 20000);
    }
};

} // namespace

TEST_F(ContentAssetTest, SharedFileIsDeletedOnlyWhenNoAssetAndNoUndoStepNeedsIt)
{
    const QString file = package->assetsPath() + QStringLiteral("/shared.png");
    ASSERT_TRUE(writeBytes(file, pngBytes(4, 4)));
    auto first = addImageObject(*document, file);
    auto second = addImageObject(*document, file);
    const auto firstAsset = first->object()->originalImageAsset();
    const auto secondAsset = second->object()->originalImageAsset();

    screen()->removeMixedMediaObject(first);
    ContentAssetStorage::deleteFile(firstAsset, document);
    EXPECT_TRUE(QFileInfo::exists(file)) << "the second asset still uses it";

    // An open undoable change holds the file (its snapshot may bring the object back).
    const QStringList held = AssetFileReferences::retainFilesOfItem(*second->object());
    EXPECT_EQ(held, QStringList{file});
    screen()->removeMixedMediaObject(second);
    ContentAssetStorage::deleteFile(secondAsset, document);
    EXPECT_TRUE(QFileInfo::exists(file));
    EXPECT_TRUE(secondAsset->externalURL().isEmpty());
    AssetFileReferences::releaseFiles(held);
    EXPECT_FALSE(QFileInfo::exists(file));
}

TEST_F(ContentAssetTest, DeferredDeletionIsDroppedWhenAnUndoBroughtTheFileBack)
{
    const QString file = package->assetsPath() + QStringLiteral("/undo.png");
    ASSERT_TRUE(writeBytes(file, pngBytes(4, 4)));
    auto object = addImageObject(*document, file);
    const QStringList held = AssetFileReferences::retainFilesOfItem(*object->object());
    const QJsonObject snapshot = object->object()->jsonDictionary();

    screen()->removeMixedMediaObject(object);
    ContentAssetStorage::deleteFile(object->object()->originalImageAsset(), document);
    EXPECT_TRUE(AssetFileReferences::hasDeferredDeletion(file));

    // "Undo": the object comes back from the snapshot, then the step lets go of its count.
    screen()->addMixedMediaObject(ZERI_MixedMediaObject::initWithDict(snapshot));
    AssetFileReferences::releaseFiles(held);
    EXPECT_TRUE(QFileInfo::exists(file));
}

TEST_F(ContentAssetTest, StoreDataWritesTheFileAndPointsTheAssetAtIt)
{
    auto asset = ZERI_ContentAsset::create();
    Error error;
    ASSERT_TRUE(
        ContentAssetStorage::storeData(*asset, "preview", package->assetsPath(), QStringLiteral("p.jpg"), &error));
    EXPECT_EQ(asset->localFilePath(), package->assetsPath() + QStringLiteral("/p.jpg"));
    EXPECT_EQ(readBytes(asset->localFilePath()), QByteArray("preview"));
    EXPECT_FALSE(ContentAssetStorage::storeData(*asset, "x", package->path() + QStringLiteral("/missing"),
                                                QStringLiteral("q.jpg"), &error));
    EXPECT_EQ(error.domain, QStringLiteral("ZERI_ContentAssetErrorDomain"));
    EXPECT_EQ(asset->localFilePath(), package->assetsPath() + QStringLiteral("/p.jpg"));

    // A link under the name (a package brought from elsewhere) is replaced by the file, never written through.
    QTemporaryDir users;
    const QString usersFile = users.filePath(QStringLiteral("notes.txt"));
    ASSERT_TRUE(writeBytes(usersFile, "the user's notes"));
    ASSERT_TRUE(QFile::link(usersFile, package->assetsPath() + QStringLiteral("/r.jpg")));
    ASSERT_TRUE(
        ContentAssetStorage::storeData(*asset, "picture", package->assetsPath(), QStringLiteral("r.jpg"), &error));
    EXPECT_EQ(readBytes(usersFile), QByteArray("the user's notes"));
    EXPECT_FALSE(QFileInfo(asset->localFilePath()).isSymLink());
    EXPECT_EQ(readBytes(asset->localFilePath()), QByteArray("picture"));
}

TEST_F(ContentAssetTest, StoreDataItemCopiesOffTheMainThreadAndReportsOnceOnIt)
{
    const QByteArray content = QByteArray(3 * 1024 * 1024, 'v') + "end";
    const QString source = folders.temporaryPath() + QStringLiteral("/holiday clip.mov");
    ASSERT_TRUE(writeBytes(source, content));
    auto item = std::make_shared<QVRDataFromURLDataItem>();
    item->setType(3);
    item->setContentUrl(QUrl::fromLocalFile(source));
    auto asset = ZERI_ContentAsset::create();
    DoneRecorder recorder;
    ContentAssetStorage::storeDataItem(asset, item, package->assetsPath(), recorder.done(), recorder.progressBlock());
    EXPECT_EQ(recorder.calls, 0);
    ASSERT_TRUE(recorder.wait());
    QCoreApplication::processEvents();
    EXPECT_EQ(recorder.calls, 1);
    EXPECT_TRUE(recorder.onMainThread);
    EXPECT_TRUE(recorder.error.isNull()) << recorder.error.message.toStdString();
    const QString stored = asset->localFilePath();
    EXPECT_EQ(QFileInfo(stored).path(), package->assetsPath());
    EXPECT_TRUE(stored.endsWith(QStringLiteral(".mov")));
    EXPECT_EQ(readBytes(stored), content);
    EXPECT_EQ(asset->sourceFileName(), QStringLiteral("holiday clip.mov"));
    ASSERT_FALSE(recorder.progress.empty());
    EXPECT_TRUE(std::is_sorted(recorder.progress.begin(), recorder.progress.end()));
    EXPECT_EQ(assetFiles(), QStringList{QFileInfo(stored).fileName()});
}

TEST_F(ContentAssetTest, ContentOverTheUploadLimitFailsBeforeAnythingIsWritten)
{
    Tessutils::setUserMaxUploadSize(1000);
    auto item = std::make_shared<QVRCustomDataDataItem>();
    item->setType(1);
    item->setCustomMainData(pngBytes(300, 300));
    ASSERT_GT(item->customMainData().size(), 1000);
    auto asset = ZERI_ContentAsset::create();
    DoneRecorder recorder;
    ContentAssetStorage::storeDataItem(asset, item, package->assetsPath(), recorder.done());
    ASSERT_TRUE(recorder.wait());
    EXPECT_EQ(recorder.error.domain, QStringLiteral("ZERI_ContentAssetErrorDomain"));
    EXPECT_EQ(recorder.error.code, ContentAssetStorage::TooLarge);
    EXPECT_TRUE(asset->externalURL().isEmpty());
    EXPECT_TRUE(assetFiles().isEmpty());

    // Within the limit the same item is stored, as a PNG named by a new id.
    Tessutils::setUserMaxUploadSize(item->customMainData().size());
    DoneRecorder second;
    ContentAssetStorage::storeDataItem(asset, item, package->assetsPath(), second.done());
    ASSERT_TRUE(second.wait());
    EXPECT_TRUE(second.error.isNull());
    EXPECT_TRUE(asset->localFilePath().endsWith(QStringLiteral(".png")));
}

TEST_F(ContentAssetTest, GetImageIsNullOnTheMainThreadAndDownloadsAMissingFileOffIt)
{
    LocalHttpServer server;
    ASSERT_TRUE(server.listen());
    server.setRoute(QStringLiteral("/pic.png"), {200, pngBytes(30, 20)});
    auto object = addImageObject(*document, QString());
    auto asset = object->object()->originalImageAsset();
    asset->setExternalURL(server.url(QStringLiteral("/pic.png")));

    EXPECT_TRUE(ContentAssetStorage::getImage(asset).isNull());
    EXPECT_TRUE(ContentAssetStorage::getImageIgnoreThreadSafety(asset, true).isNull()); // not on disk yet

    QImage fromWorker;
    std::atomic<bool> finished = false;
    QThreadPool::globalInstance()->start([&] {
        fromWorker = ContentAssetStorage::getImage(asset);
        finished = true;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished.load(); }, 20000));
    EXPECT_EQ(fromWorker.size(), QSize(30, 20));
    EXPECT_EQ(server.requestCount(QStringLiteral("/pic.png")), 1);
    // Now on disk, the main thread may decode it when it insists.
    EXPECT_EQ(ContentAssetStorage::getImageIgnoreThreadSafety(asset, true).size(), QSize(30, 20));
    EXPECT_TRUE(ContentAssetStorage::downloader(*asset)->fileExists());
}

TEST(DataItems, ArchiveKeepsTheKindTheContentAndThePresetText)
{
    auto item = std::make_shared<QVRDataFromURLDataItem>();
    item->setType(3);
    item->setContentUrl(QUrl::fromLocalFile(QStringLiteral("/media/a b.mov")));
    const auto back = std::dynamic_pointer_cast<QVRDataFromURLDataItem>(QVRDataItem::fromArchive(item->archive()));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->type(), 3);
    EXPECT_EQ(back->contentUrl(), item->contentUrl());
    EXPECT_FALSE(back->videoCompressionPreset());
    EXPECT_FALSE(back->archive().contains(QStringLiteral("compressionPreset")));

    item->setVideoCompressionPreset(VideoAssetCompressorPreset::medium720p());
    EXPECT_TRUE(item->archive().value(QStringLiteral("compressionPreset")).isString());
    const auto withPreset =
        std::dynamic_pointer_cast<QVRDataFromURLDataItem>(QVRDataItem::fromArchive(item->archive()));
    ASSERT_TRUE(withPreset && withPreset->videoCompressionPreset());
    EXPECT_EQ(withPreset->videoCompressionPreset()->dictionaryRepresentation(),
              VideoAssetCompressorPreset::medium720p()->dictionaryRepresentation());

    auto clear = QVRCustomDataDataItem::clearImageDataItemWithSize(QSizeF(10.2, 3));
    const QImage image = QImage::fromData(clear->customMainData(), "PNG");
    EXPECT_EQ(image.size(), QSize(11, 3));
    EXPECT_EQ(qAlpha(image.pixel(5, 1)), 0);
    EXPECT_EQ(clear->suggestedExtension(), QStringLiteral("png"));
    EXPECT_FALSE(QVRDataItem::fromArchive(QJsonObject{{QStringLiteral("class"), QStringLiteral("Evil")}}));
}

TEST_F(ContentAssetTest, OnlyTheDocumentsOwnFilesAreEverDeleted)
{
    // The user's own picture, which an asset names where it lies.
    const QString users = folders.supportPath() + QStringLiteral("/Pictures/holiday.png");
    ASSERT_TRUE(QDir().mkpath(QFileInfo(users).absolutePath()));
    ASSERT_TRUE(writeBytes(users, pngBytes(4, 4)));
    auto outside = addImageObject(*document, users);
    const auto outsideAsset = outside->object()->originalImageAsset();
    screen()->removeMixedMediaObject(outside);
    ContentAssetStorage::deleteFile(outsideAsset, document);
    EXPECT_TRUE(QFileInfo::exists(users));
    EXPECT_TRUE(outsideAsset->externalURL().isEmpty()) << "the asset lets go of it all the same";

    // A file shipped with the application, even inside the package.
    const QString shipped = package->assetsPath() + QStringLiteral("/shipped.png");
    ASSERT_TRUE(writeBytes(shipped, pngBytes(4, 4)));
    auto baked = addImageObject(*document, shipped);
    const auto bakedAsset = baked->object()->originalImageAsset();
    bakedAsset->setIsBakedAsset(true);
    screen()->removeMixedMediaObject(baked);
    ContentAssetStorage::deleteFile(bakedAsset, document);
    EXPECT_TRUE(QFileInfo::exists(shipped));

    // A document that no longer saves (its package let go of it): the draft on disk still names its files.
    const QString kept = package->assetsPath() + QStringLiteral("/kept.png");
    ASSERT_TRUE(writeBytes(kept, pngBytes(4, 4)));
    auto object = addImageObject(*document, kept);
    ASSERT_TRUE(document->saveToFile());
    ASSERT_TRUE(package->unloadModel());
    ContentAssetStorage::deleteFile(object->object()->originalImageAsset(), document);
    EXPECT_TRUE(QFileInfo::exists(kept));

    // The document's own file goes.
    ASSERT_TRUE(package->loadModel());
    const auto reloaded = package->model();
    const auto own = reloaded->getAllContentAssets();
    const auto keptAsset =
        std::find_if(own.begin(), own.end(), [&](const auto& asset) { return asset->localFilePath() == kept; });
    ASSERT_NE(keptAsset, own.end());
    ContentAssetStorage::deleteFile(*keptAsset, reloaded);
    EXPECT_FALSE(QFileInfo::exists(kept));
}
