#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>
#include <QThread>
#include <QUrl>

#include "StorageTestSupport.h"
#include "foundation/Tessutils.h"
#include "platform/AppPaths.h"
#include "platform/AtomicFile.h"
#include "platform/Json.h"
#include "platform/MainThread.h"
#include "platform/NotificationCenter.h"
#include "platform/WorkerThreads.h"
#include "storage/AssetFileReferences.h"
#include "storage/ContentAssetStorage.h"
#include "storage/ContentItemDeletionQueue.h"
#include "storage/MixedMediaObjectStorage.h"
#include "storage/PackageFileGuard.h"
#include "storage/PackagePreviewPicture.h"
#include "storage/ZERI_WebDownloader.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "storage/ZERI_qvdFilePackageMetadata.h"
#include "tessarine_data_model/ModelJsonReader.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

struct PostCounter {
    int count = 0;
    NotificationObservation observation{ZERI_qvdFilePackage::packagesChangedNotification, nullptr,
                                        [this](const Notification&) { ++count; }};
};

// Lets every end-of-turn delivery already requested run.
void finishTurn()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

class RecordingDeletionQueue : public ContentItemDeletionQueue {
public:
    void enqueueDeleteForContentItem(const QString& contentID) override { ids.append(contentID); }
    QStringList ids;
};

std::shared_ptr<ZERI_qvdFilePackage> saveNewDocument(const std::shared_ptr<ZERI_TessarineModel>& document)
{
    Error error;
    EXPECT_TRUE(ZERI_qvdFilePackage::saveModelToFile(document, &error)) << error.message.toStdString();
    return std::dynamic_pointer_cast<ZERI_qvdFilePackage>(document->filePackage());
}

class FilePackageTest : public ::testing::Test {
protected:
    ScopedStorageFolders folders;
};

} // namespace

TEST_F(FilePackageTest, SavingANewDocumentMakesItsPackageWhichAFreshScanFindsByType)
{
    auto document = makeDocumentWithOneScreen();
    document->firstFlowmodel()->setTitle(QStringLiteral("Quarterly review"));
    auto package = saveNewDocument(document);
    ASSERT_TRUE(package);

    const QString folder = ZERI_qvdFilePackage::tessarinesFolder() + QLatin1Char('/') + document->qvdID();
    EXPECT_EQ(package->path(), folder);
    EXPECT_TRUE(QFileInfo(folder + QStringLiteral("/docfile.qvd")).isFile());
    EXPECT_TRUE(QFileInfo(folder + QStringLiteral("/metadata.json")).isFile());
    EXPECT_TRUE(QFileInfo(folder + QStringLiteral("/assets")).isDir());
    EXPECT_TRUE(QFileInfo(folder + QStringLiteral("/published_assets")).isDir());
    EXPECT_EQ(document->assetStoragePath(), folder + QStringLiteral("/assets"));

    ZERI_qvdFilePackage::resetForTesting();
    const auto all = ZERI_qvdFilePackage::allPackages();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0]->packageID(), document->qvdID());
    EXPECT_EQ(all[0]->metaData().tessarineName(), QStringLiteral("Quarterly review"));
    EXPECT_EQ(ZERI_qvdFilePackage::packagesForType(1).size(), 1u);
    EXPECT_EQ(ZERI_qvdFilePackage::packagesForType(64).size(), 0u);
    EXPECT_EQ(ZERI_qvdFilePackage::packagesForType(1 | 64).size(), 1u);

    ASSERT_TRUE(all[0]->loadModel());
    EXPECT_EQ(all[0]->model()->jsonData(), document->jsonData());
    EXPECT_EQ(all[0]->model()->filePackage(), all[0]);
}

// Opening and closing without holding the main thread: the draft is read into a document, and the closing's draft
// written, on the writer's thread; a closing whose draft cannot be written gives the document back, still saving.
TEST_F(FilePackageTest, ADraftIsReadAndWrittenOffTheMainThreadAndAFailedWriteKeepsTheDocument)
{
    auto document = makeDocumentWithOneScreen();
    document->firstFlowmodel()->setTitle(QStringLiteral("Read in the background"));
    auto package = saveNewDocument(document);
    ASSERT_TRUE(package && package->unloadModel());

    bool loaded = false;
    Error loadError;
    package->loadModelSoon([&](bool ok, const Error& error) {
        loaded = ok;
        loadError = error;
        EXPECT_TRUE(MainThread::isMainThread());
    });
    EXPECT_FALSE(package->model()) << "read on the main thread";
    ASSERT_TRUE(QTest::qWaitFor([&] { return package->model() != nullptr; }, 5000)) << loadError.message.toStdString();
    EXPECT_TRUE(loaded);
    const auto opened = package->model();
    EXPECT_EQ(opened->firstFlowmodel()->title(), QStringLiteral("Read in the background"));
    EXPECT_EQ(opened->filePackage(), package);

    // Closed with an edit: detached at once, the edit on disk once the writer is through.
    opened->firstFlowmodel()->setTitle(QStringLiteral("Written in the background"));
    bool unloaded = false;
    package->unloadModelSoon([&](bool ok, const Error&) { unloaded = ok; });
    EXPECT_FALSE(package->model());
    EXPECT_TRUE(opened->dontSave());
    ASSERT_TRUE(QTest::qWaitFor([&] { return unloaded; }, 5000));
    ASSERT_TRUE(package->loadModel());
    EXPECT_EQ(package->model()->firstFlowmodel()->title(), QStringLiteral("Written in the background"));

    // Closed while an earlier save is still on its way, as it was before that save (an edit undone): the closing
    // writes it all the same, over what the earlier save lands.
    const auto undone = package->model();
    undone->firstFlowmodel()->setTitle(QStringLiteral("Edited"));
    AtomicFile::setFaultInjectorForTesting([](const QString&) {
        QThread::msleep(200);
        return false;
    });
    ASSERT_TRUE(package->saveDocumentSoon(undone, nullptr));
    ASSERT_TRUE(package->isWritingDraft());
    undone->firstFlowmodel()->setTitle(QStringLiteral("Written in the background"));
    bool closed = false;
    package->unloadModelSoon([&](bool ok, const Error&) { closed = ok; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return closed; }, 5000));
    AtomicFile::setFaultInjectorForTesting({});
    ASSERT_TRUE(package->loadModel());
    EXPECT_EQ(package->model()->firstFlowmodel()->title(), QStringLiteral("Written in the background"));

    // A disk that refuses the draft: the document comes back to the package, saving, its edit kept.
    const auto again = package->model();
    again->firstFlowmodel()->setTitle(QStringLiteral("Kept in memory"));
    AtomicFile::setFaultInjectorForTesting([](const QString& path) { return path.endsWith(QStringLiteral(".qvd")); });
    bool failed = false;
    package->unloadModelSoon([&](bool ok, const Error&) { failed = !ok; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return failed; }, 5000));
    AtomicFile::setFaultInjectorForTesting({});
    EXPECT_EQ(package->model(), again);
    EXPECT_FALSE(again->dontSave());
    EXPECT_EQ(again->filePackage(), package);
    EXPECT_TRUE(package->unloadModel());
}

TEST_F(FilePackageTest, PackagesChangedIsPostedOncePerTurn)
{
    auto package = saveNewDocument(makeDocumentWithOneScreen());
    finishTurn();
    PostCounter posts;

    package->metaData().setPackageType(64);
    package->metaData().setPackageType(1 | 64);
    EXPECT_EQ(posts.count, 0); // not before the end of the turn
    finishTurn();
    EXPECT_EQ(posts.count, 1);

    ASSERT_TRUE(package->deletePackage());
    finishTurn();
    EXPECT_EQ(posts.count, 2);
    EXPECT_FALSE(QFileInfo::exists(package->path()));
    EXPECT_TRUE(ZERI_qvdFilePackage::allPackages().empty());
}

TEST_F(FilePackageTest, DamagedFoldersAreSkippedReportedAndNeverWrittenOver)
{
    const QDir root(ZERI_qvdFilePackage::tessarinesFolder());
    ASSERT_TRUE(QDir().mkpath(root.filePath(QStringLiteral("TRUNCATED"))));
    ASSERT_TRUE(QDir().mkpath(root.filePath(QStringLiteral("NOMETA"))));
    ASSERT_TRUE(QDir().mkpath(root.filePath(QStringLiteral("NOTADOC"))));
    const QByteArray truncated = R"({"tessarine":{"docVersion":"1.3","flows":[{"scr)";
    writeBytes(root.filePath(QStringLiteral("TRUNCATED/docfile.qvd")), truncated);
    writeBytes(root.filePath(QStringLiteral("TRUNCATED/metadata.json")), "{}");
    writeBytes(root.filePath(QStringLiteral("NOMETA/docfile.qvd")), R"({"tessarine":{}})");
    writeBytes(root.filePath(QStringLiteral("NOTADOC/docfile.qvd")), "[1,2]");
    writeBytes(root.filePath(QStringLiteral("NOTADOC/metadata.json")), "{}");
    auto good = saveNewDocument(makeDocumentWithOneScreen());
    ZERI_qvdFilePackage::resetForTesting();

    const auto all = ZERI_qvdFilePackage::allPackages();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0]->packageID(), good->packageID());
    EXPECT_EQ(ZERI_qvdFilePackage::damagedPackageFolders().size(), 3);

    // A document that claims the damaged folder's id cannot take it over.
    auto intruder = makeDocumentWithOneScreen();
    intruder->setInternalID(QStringLiteral("TRUNCATED"));
    Error error;
    EXPECT_FALSE(ZERI_qvdFilePackage::saveModelToFile(intruder, &error));
    EXPECT_EQ(error.domain, QStringLiteral("com.tessarine.filepackage"));
    EXPECT_EQ(readBytes(root.filePath(QStringLiteral("TRUNCATED/docfile.qvd"))), truncated);
}

TEST_F(FilePackageTest, UnreadableDraftLoadsNothingAndIsNotOverwritten)
{
    auto package = saveNewDocument(makeDocumentWithOneScreen());
    package->unloadModel();
    writeBytes(package->draftFilePath(), "{\"tessarine\":");
    Error error;
    EXPECT_FALSE(package->loadModel(&error));
    EXPECT_EQ(error.code, ZERI_qvdFilePackage::Damaged);
    EXPECT_FALSE(package->model());
    EXPECT_FALSE(package->saveModel());
    package->cleanDirectories(); // must not treat every asset as stray
    EXPECT_EQ(readBytes(package->draftFilePath()), QByteArray("{\"tessarine\":"));
}

TEST_F(FilePackageTest, CleanDirectoriesDeletesStraysAndKeepsWhatTheDraftThePublishedCopyOrAnUndoStepUses)
{
    auto document = makeDocumentWithOneScreen();
    auto package = saveNewDocument(document);
    const QDir assets(package->assetsPath());
    const QString used = assets.filePath(QStringLiteral("used.png"));
    const QString published = assets.filePath(QStringLiteral("published.png"));
    const QString stray = assets.filePath(QStringLiteral("stray.png"));
    const QString heldByUndo = assets.filePath(QStringLiteral("undo.png"));
    for (const QString& path : {used, published, stray, heldByUndo})
        ASSERT_TRUE(writeBytes(path, pngBytes(4, 4)));
    const QString remoteUrl = QStringLiteral("https://cdn.example/a/photo.jpg");
    auto remote = addImageObject(*document, used);
    auto remoteAsset = ZERI_ContentAsset::create();
    remoteAsset->setExternalURL(QUrl(remoteUrl));
    remote->object()->setCroppedImageAsset(remoteAsset);
    const QString cached = ZERI_WebDownloader::cacheFilePathForUrl(QUrl(remoteUrl), package->assetsPath());
    ASSERT_TRUE(writeBytes(cached, "jpeg"));

    // Publish a version that uses another file, then drop that file from the draft.
    auto publishedObject = addImageObject(*document, published);
    ASSERT_TRUE(package->saveModel());
    ASSERT_TRUE(package->savePublishedModelFromJSON(document->jsonData()));
    document->firstFlowmodel()->screenModels().front()->removeMixedMediaObject(publishedObject);
    ASSERT_TRUE(package->saveModel());
    const QString publishedStray = package->publishedAssetsPath() + QStringLiteral("/old.png");
    ASSERT_TRUE(writeBytes(publishedStray, "x"));

    // Hidden files other than stale download pieces, and entries that are not files, are not the clean-up's.
    const QString hidden = assets.filePath(QStringLiteral(".keep"));
    const QString dangling = assets.filePath(QStringLiteral("gone.png"));
    ASSERT_TRUE(writeBytes(hidden, "x"));
    ASSERT_TRUE(QFile::link(assets.filePath(QStringLiteral("nowhere.png")), dangling));

    AssetFileReferences::retainFile(heldByUndo);
    package->cleanDirectories();
    EXPECT_TRUE(QFileInfo::exists(hidden));
    EXPECT_TRUE(QFileInfo(dangling).isSymLink());
    EXPECT_TRUE(QFileInfo::exists(used));
    EXPECT_TRUE(QFileInfo::exists(cached));
    EXPECT_TRUE(QFileInfo::exists(package->publishedAssetsPath() + QStringLiteral("/published.png")));
    EXPECT_TRUE(QFileInfo::exists(heldByUndo));
    EXPECT_FALSE(QFileInfo::exists(stray));
    EXPECT_FALSE(QFileInfo::exists(publishedStray));
    // The draft no longer uses published.png; the published copy has its own name for it.
    EXPECT_FALSE(QFileInfo::exists(published));

    AssetFileReferences::releaseFile(heldByUndo);
    package->cleanDirectories();
    EXPECT_FALSE(QFileInfo::exists(heldByUndo));

    // A copy from the service holds the draft's downloads in "published_assets/": every drawing finds them there, and
    // so they stay; dropping its published copy moves them where the draft keeps its files.
    const QString copied = ZERI_WebDownloader::cacheFilePathForUrl(QUrl(remoteUrl), package->publishedAssetsPath());
    ASSERT_TRUE(writeBytes(copied, "jpeg"));
    QFile::remove(cached);
    package->cleanDirectories();
    EXPECT_TRUE(QFileInfo::exists(copied));
    package->deletePublishedData();
    EXPECT_FALSE(QFileInfo::exists(package->publishedAssetsPath() + QStringLiteral("/published.png")));
    EXPECT_TRUE(QFileInfo::exists(cached)) << "the draft's download was lost with the published copy";
}

TEST_F(FilePackageTest, CleaningWhileAnImportLandsKeepsTheNewFile)
{
    auto package = saveNewDocument(makeDocumentWithOneScreen());
    Error error;
    const QString imported = ContentAssetStorage::importIntoFolder(QString(), pngBytes(8, 8), package->assetsPath(),
                                                                   QStringLiteral("png"), 0, nullptr, {}, &error);
    ASSERT_FALSE(imported.isEmpty()) << error.message.toStdString();
    package->cleanDirectories(); // no asset points at it yet
    EXPECT_TRUE(QFileInfo::exists(imported));
    AssetFileReferences::releaseFile(imported);
    package->cleanDirectories();
    EXPECT_FALSE(QFileInfo::exists(imported));
}

// The clean-up reads the draft after one still on its way: a picture only that draft names stays, and a file
// the draft never names goes.
TEST_F(FilePackageTest, CleaningSoonWhileADraftIsOnItsWayKeepsWhatThatDraftNames)
{
    auto document = makeDocumentWithOneScreen();
    auto package = saveNewDocument(document);
    const QDir assets(package->assetsPath());
    const QString added = assets.filePath(QStringLiteral("added.png"));
    const QString stray = assets.filePath(QStringLiteral("stray.png"));
    for (const QString& path : {added, stray})
        ASSERT_TRUE(writeBytes(path, pngBytes(4, 4)));
    addImageObject(*document, added);

    AtomicFile::setFaultInjectorForTesting([](const QString&) {
        QThread::msleep(300);
        return false;
    });
    bool unloaded = false;
    package->unloadModelSoon([&](bool ok, const Error&) { unloaded = ok; });
    package->cleanDirectoriesSoon();
    EXPECT_TRUE(QTest::qWaitFor([&] { return unloaded && !QFileInfo::exists(stray); }, 5000));
    AtomicFile::setFaultInjectorForTesting({});
    EXPECT_TRUE(QFileInfo::exists(added));

    // Loaded again before the clean-up is back, the document is asked instead of its draft.
    ASSERT_TRUE(package->loadModel());
    const QString unsaved = assets.filePath(QStringLiteral("unsaved.png"));
    ASSERT_TRUE(writeBytes(unsaved, pngBytes(4, 4)));
    ASSERT_TRUE(writeBytes(stray, pngBytes(4, 4)));
    addImageObject(*package->model(), unsaved);
    package->cleanDirectoriesSoon();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !QFileInfo::exists(stray); }, 5000));
    EXPECT_TRUE(QFileInfo::exists(unsaved));
    EXPECT_TRUE(QFileInfo::exists(added));
    EXPECT_TRUE(package->unloadModel());
}

// A My Documents picture being made (its path prepared, its file written, not yet named by the metadata) outlives
// the clean-up of a window closing meanwhile, and becomes the package's; an abandoned one goes.
TEST_F(FilePackageTest, CleaningWhileATilePictureIsMadeKeepsIt)
{
    auto package = saveNewDocument(makeDocumentWithOneScreen());
    const QString first = PackagePreviewPicture::preparePath(*package);
    ASSERT_FALSE(first.isEmpty());
    ASSERT_TRUE(PackagePreviewPicture::write(first, "jpeg one"));
    package->cleanDirectories();
    ASSERT_TRUE(QFileInfo::exists(first));
    EXPECT_TRUE(PackagePreviewPicture::adopt(*package, first));
    EXPECT_EQ(package->metaData().previewScreenshotFilePath(), first);

    // The next one replaces it; one abandoned leaves nothing, and once adopted nothing holds a picture.
    const QString second = PackagePreviewPicture::preparePath(*package);
    const QString dropped = PackagePreviewPicture::preparePath(*package);
    ASSERT_TRUE(PackagePreviewPicture::write(second, "jpeg two"));
    ASSERT_TRUE(PackagePreviewPicture::write(dropped, "jpeg three"));
    package->cleanDirectories();
    EXPECT_TRUE(PackagePreviewPicture::adopt(*package, second));
    PackagePreviewPicture::abandon(dropped);
    // The metadata is written, and the earlier picture deleted after it, by the package's writer.
    ZERI_qvdFilePackage::waitForDraftWrites();
    EXPECT_TRUE(readBytes(package->metadataFilePath()).contains(QFileInfo(second).fileName().toUtf8()));
    EXPECT_FALSE(QFileInfo::exists(first));
    EXPECT_FALSE(QFileInfo::exists(dropped));
    EXPECT_EQ(AssetFileReferences::referenceCount(second), 0);
    package->cleanDirectories();
    EXPECT_TRUE(QFileInfo::exists(second));

    // A picture gone before it is adopted is not named: the package keeps the one it has.
    const QString lost = PackagePreviewPicture::preparePath(*package);
    ASSERT_TRUE(PackagePreviewPicture::write(lost, "jpeg four"));
    ASSERT_TRUE(QFile::remove(lost));
    EXPECT_FALSE(PackagePreviewPicture::adopt(*package, lost));
    EXPECT_EQ(package->metaData().previewScreenshotFilePath(), second);

    // Metadata saved at once right after an adoption is not overwritten by the adoption's write.
    QString latest;
    for (int i = 0; i < 20; ++i) {
        latest = PackagePreviewPicture::preparePath(*package);
        ASSERT_TRUE(PackagePreviewPicture::write(latest, "jpeg again"));
        ASSERT_TRUE(PackagePreviewPicture::adopt(*package, latest));
        package->metaData().setAlias(QStringLiteral("saved at once %1").arg(i));
        ASSERT_TRUE(package->saveMetadata());
    }
    ZERI_qvdFilePackage::waitForDraftWrites();
    const QByteArray written = readBytes(package->metadataFilePath());
    EXPECT_TRUE(written.contains("saved at once 19"));
    EXPECT_TRUE(written.contains(QFileInfo(latest).fileName().toUtf8()));
    EXPECT_FALSE(QFileInfo::exists(second));
}

// Picture files are written on worker threads under a hidden name, then renamed: a cleaning of the folder
// meanwhile (a window opening or closing) must not take the piece for one a crash left behind.
TEST_F(FilePackageTest, CleaningWhilePictureFilesAreWrittenKeepsThePiecesBeingWritten)
{
    auto package = saveNewDocument(makeDocumentWithOneScreen());
    const QString folder = package->assetsPath();
    ASSERT_TRUE(QDir().mkpath(folder));
    constexpr int files = 24;
    QStringList paths;
    for (int i = 0; i < files; ++i) {
        paths.append(QDir(folder).filePath(QStringLiteral("written-%1.jpg").arg(i)));
        AssetFileReferences::retainFile(paths.last()); // as the preview writer holds its files until named
    }
    bool finished = false;
    QStringList failures;
    WorkerThreads writer(1, QStringLiteral("picture writer"));
    writer.post([paths, &finished, &failures] {
        const QByteArray data(2 << 20, 'j');
        QStringList failed;
        for (const QString& path : paths) {
            Error error;
            if (!PackageFileGuard::writeFileInPreparedFolder(path, data, &error))
                failed.append(error.message);
        }
        MainThread::run(
            [&finished, &failures, failed] {
                failures = failed;
                finished = true;
            },
            false);
    });
    int cleanings = 0;
    while (!finished) {
        package->cleanDirectories();
        ++cleanings;
        QCoreApplication::processEvents();
    }
    EXPECT_TRUE(failures.isEmpty()) << failures.join(QLatin1Char('\n')).toStdString() << " (" << cleanings
                                    << " cleanings)";
    for (const QString& path : paths) {
        EXPECT_TRUE(QFileInfo(path).isFile()) << path.toStdString();
        AssetFileReferences::releaseFile(path);
    }
    // A piece nobody writes any more is still taken away, and one a crash left while it was being named once it
    // is older than any naming takes.
    const QString left = QDir(folder).filePath(QStringLiteral(".left.jpg.0123.part"));
    const QString unnamed = left + QStringLiteral(".new");
    const QString naming = QDir(folder).filePath(QStringLiteral(".naming.jpg.0123.part.new"));
    for (const QString& path : {left, unnamed, naming})
        ASSERT_TRUE(writeBytes(path, "x"));
    QFile old(unnamed);
    ASSERT_TRUE(old.open(QIODevice::ReadWrite));
    ASSERT_TRUE(old.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
    old.close();
    package->cleanDirectories();
    EXPECT_FALSE(QFileInfo::exists(left));
    EXPECT_FALSE(QFileInfo::exists(unnamed));
    EXPECT_TRUE(QFileInfo::exists(naming));
}

TEST_F(FilePackageTest, PublicationAndServerSaveBookkeeping)
{
    auto document = makeDocumentWithOneScreen();
    auto package = saveNewDocument(document);
    EXPECT_TRUE(package->hasSomethingToPost());
    EXPECT_TRUE(package->hasSomethingToSaveToCloud());
    EXPECT_FALSE(package->publishedVersionExists());

    int publishedPosts = 0;
    NotificationObservation observation(ZERI_qvdFilePackage::publishedVersionUpdatedNotification, package.get(),
                                        [&](const Notification&) { ++publishedPosts; });
    ASSERT_TRUE(package->savePublishedModelFromJSON(document->jsonData()));
    EXPECT_EQ(publishedPosts, 1);
    EXPECT_TRUE(package->publishedVersionExists());
    EXPECT_TRUE(package->publishedVersionDate().has_value());
    EXPECT_FALSE(package->hasSomethingToPost());
    package->noteDraftSavedToServer(QDateTime::currentDateTime());
    EXPECT_FALSE(package->hasSomethingToSaveToCloud());

    ASSERT_TRUE(package->saveModel()); // same text: nothing new
    EXPECT_FALSE(package->hasSomethingToPost());
    document->firstFlowmodel()->setTitle(QStringLiteral("Changed in the same second"));
    ASSERT_TRUE(package->saveModel());
    EXPECT_TRUE(package->hasSomethingToPost());
    EXPECT_TRUE(package->hasSomethingToSaveToCloud());

    // The bookkeeping survives a restart.
    ZERI_qvdFilePackage::resetForTesting();
    auto reread = ZERI_qvdFilePackage::packageForID(document->qvdID());
    ASSERT_TRUE(reread);
    EXPECT_TRUE(reread->hasSomethingToPost());
    EXPECT_TRUE(reread->publishedVersionExists());

    reread->deletePublishedData();
    EXPECT_FALSE(reread->publishedVersionExists());
    EXPECT_FALSE(QFileInfo::exists(reread->publishedFilePath()));
}

TEST_F(FilePackageTest, MetadataDescriptionAlsoSetsTheDocumentsDescription)
{
    auto document = makeDocumentWithOneScreen();
    auto package = saveNewDocument(document);
    package->metaData().setTessarineDescription(QStringLiteral("For the board"));
    EXPECT_EQ(document->description(), QStringLiteral("For the board"));
    ASSERT_TRUE(package->saveMetadata());
    ZERI_qvdFilePackage::resetForTesting();
    EXPECT_EQ(ZERI_qvdFilePackage::packageForID(document->qvdID())->metaData().tessarineDescription(),
              QStringLiteral("For the board"));
}

TEST_F(FilePackageTest, PackageForStringIDLoadsItsDocument)
{
    auto document = makeDocumentWithOneScreen();
    document->setStringID(QStringLiteral("abc123"));
    auto package = saveNewDocument(document);
    package->unloadModel();
    EXPECT_TRUE(document->dontSave());
    EXPECT_FALSE(document->filePackage());
    ZERI_qvdFilePackage::resetForTesting();
    auto found = ZERI_qvdFilePackage::packageForStringID(QStringLiteral("abc123"));
    ASSERT_TRUE(found);
    ASSERT_TRUE(found->model());
    EXPECT_EQ(found->model()->stringID(), QStringLiteral("abc123"));
    EXPECT_FALSE(ZERI_qvdFilePackage::packageForStringID(QStringLiteral("other")));
}

TEST_F(FilePackageTest, ModelCopyGetsANewPackageWithHardLinkedAssets)
{
    auto source = makeDocumentWithOneScreen();
    source->setStringID(QStringLiteral("s1"));
    auto package = saveNewDocument(source);
    const QString file = package->assetsPath() + QStringLiteral("/photo.png");
    ASSERT_TRUE(writeBytes(file, pngBytes(8, 8)));
    addImageObject(*source, file);
    ASSERT_TRUE(package->saveModel());

    auto copy = ZERI_qvdFilePackage::getTessarineModelCopy(source);
    ASSERT_TRUE(copy);
    EXPECT_NE(copy->qvdID(), source->qvdID());
    EXPECT_TRUE(copy->stringID().isEmpty());
    auto copyPackage = std::dynamic_pointer_cast<ZERI_qvdFilePackage>(copy->filePackage());
    ASSERT_TRUE(copyPackage);
    EXPECT_NE(copyPackage->path(), package->path());
    const QString copiedFile = copy->getAllContentAssets().front()->localFilePath();
    EXPECT_EQ(QFileInfo(copiedFile).path(), copyPackage->assetsPath());
    struct stat a {};
    struct stat b {};
    ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &a), 0);
    ASSERT_EQ(::stat(QFile::encodeName(copiedFile).constData(), &b), 0);
    EXPECT_EQ(a.st_ino, b.st_ino);
    // The copy's draft on disk already points at its own files.
    EXPECT_TRUE(readBytes(copyPackage->draftFilePath()).contains(QUrl::fromLocalFile(copiedFile).toEncoded()));

    bool called = false;
    std::shared_ptr<ZERI_qvdFilePackage> duplicate;
    ZERI_qvdFilePackage::duplicatePackage(package, [&](std::shared_ptr<ZERI_qvdFilePackage> made) {
        called = true;
        duplicate = std::move(made);
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return called; }, 5000));
    ASSERT_TRUE(duplicate);
    EXPECT_NE(duplicate->packageID(), package->packageID());
    EXPECT_EQ(ZERI_qvdFilePackage::allPackages().size(), 3u);

    // A document opened for viewing keeps its downloads in "published_assets/": a copy of it (the viewer's download
    // button) takes them along, so that it shows its pictures without fetching them again.
    const QUrl address(QStringLiteral("https://media.example/dunes.jpg"));
    auto image = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Image);
    auto original = ZERI_ContentAsset::create();
    original->setExternalURL(address);
    (*image)->setOriginalImageAsset(original);
    source->firstFlowmodel()->screenModels().front()->addMixedMediaObject(image);
    ASSERT_TRUE(package->saveModel());
    ASSERT_TRUE(writeBytes(ZERI_WebDownloader::cacheFilePathForUrl(address, package->publishedAssetsPath()), "jpeg"));
    auto viewed = ZERI_qvdFilePackage::getTessarineModelCopy(source);
    ASSERT_TRUE(viewed);
    const auto viewedPackage = std::dynamic_pointer_cast<ZERI_qvdFilePackage>(viewed->filePackage());
    EXPECT_TRUE(QFileInfo::exists(ZERI_WebDownloader::cacheFilePathForUrl(address, viewedPackage->assetsPath())));
}

TEST_F(FilePackageTest, ReplacedAssetServerCopyIsQueuedOnlyWhenNothingReachesIt)
{
    auto queue = std::make_shared<RecordingDeletionQueue>();
    ContentItemDeletionQueue::registerQueue(queue);
    auto document = makeDocumentWithOneScreen();
    auto package = saveNewDocument(document);
    const QString file = package->assetsPath() + QStringLiteral("/crop.png");
    ASSERT_TRUE(writeBytes(file, pngBytes(2, 2)));
    auto object = addImageObject(*document, file);
    auto asset = object->object()->originalImageAsset();
    asset->setCorvikContentID(QStringLiteral("content-7"));
    ASSERT_TRUE(package->saveModel());

    // Still in the draft: nothing is queued.
    package->noteReplacedAsset(*asset);
    package->cleanDirectories();
    EXPECT_TRUE(queue->ids.isEmpty());

    // Gone from the draft but an undo step holds its file: still nothing.
    package->noteReplacedAsset(*asset);
    AssetFileReferences::retainFile(file);
    object->object()->setOriginalImageAsset(nullptr);
    ASSERT_TRUE(package->saveModel());
    package->cleanDirectories();
    EXPECT_TRUE(queue->ids.isEmpty());

    AssetFileReferences::releaseFile(file);
    package->cleanDirectories();
    EXPECT_EQ(queue->ids, QStringList{QStringLiteral("content-7")});
    ContentItemDeletionQueue::registerQueue(nullptr);
}

// Run as a child process by the test below: saves a growing document until killed.
TEST(PackageCrashChild, SaveGrowingDocument)
{
    const QString root = qEnvironmentVariable("TESS_STORAGE_CRASH_CHILD_ROOT");
    if (root.isEmpty())
        GTEST_SKIP() << "only run as the child of DraftSurvivesSigkillDuringSaves";
    AppPaths::setApplicationSupportForTesting(root);
    ZERI_qvdFilePackage::resetForTesting();
    auto document = makeDocumentWithOneScreen();
    auto package = saveNewDocument(document);
    ASSERT_TRUE(package);
    for (int i = 1; i <= 200; ++i) {
        auto screen = ZERI_FlowScreenModel::create();
        for (int j = 0; j < 5; ++j) {
            auto object = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Image);
            auto asset = ZERI_ContentAsset::create();
            asset->setExternalURL(QUrl(QStringLiteral("https://cdn.example/%1/%2.png").arg(i).arg(j)));
            object->object()->setOriginalImageAsset(asset);
            screen->addMixedMediaObject(object);
        }
        document->firstFlowmodel()->addFlowScreen(screen);
        ASSERT_TRUE(package->saveModel());
        printf("saved %d\n", i);
        fflush(stdout);
    }
}

TEST_F(FilePackageTest, DraftSurvivesSigkillDuringSaves)
{
    for (int run = 0; run < 6; ++run) {
        QTemporaryDir root;
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TESS_STORAGE_CRASH_CHILD_ROOT"), root.path());
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::SeparateChannels);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--gtest_filter=PackageCrashChild.SaveGrowingDocument")});
        ASSERT_TRUE(child.waitForStarted(10000));
        const int killAfter = int(QRandomGenerator::global()->bounded(1, 190));
        int saved = 0;
        QByteArray output;
        const bool reached = QTest::qWaitFor(
            [&] {
                output += child.readAllStandardOutput();
                saved = output.count("saved ");
                return saved >= killAfter || child.state() == QProcess::NotRunning;
            },
            60000);
        ASSERT_TRUE(reached);
        child.kill(); // SIGKILL, usually in the middle of the next save
        ASSERT_TRUE(child.waitForFinished(10000));

        const QStringList packages =
            QDir(root.path() + QStringLiteral("/Tessarine/tessarines")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        ASSERT_EQ(packages.size(), 1) << "run " << run;
        const QString draft =
            root.path() + QStringLiteral("/Tessarine/tessarines/") + packages[0] + QStringLiteral("/docfile.qvd");
        Error error;
        auto loaded = ZERI_TessarineModel::initWithJsonData(readBytes(draft), &error);
        ASSERT_TRUE(loaded) << "run " << run << " killed after " << saved << ": " << error.message.toStdString();
        EXPECT_GE(loaded->firstFlowmodel()->screenModels().size(), size_t(saved)) << "run " << run;
    }
}

TEST_F(FilePackageTest, MetadataNumbersOutOfRangeReadAsUnset)
{
    auto document = makeDocumentWithOneScreen();
    auto package = saveNewDocument(document);
    const QString id = document->qvdID();
    package->unloadModel();
    // Hand-edited or corrupted: numbers no revision counter can hold.
    ASSERT_TRUE(writeBytes(package->metadataFilePath(), R"({"draftRevision":1e300,"publishedDraftRevision":-1e300,)"
                                                        R"("serverSavedDraftRevision":9.3e18,"packageType":1e40})"));
    ZERI_qvdFilePackage::resetForTesting();
    auto reread = ZERI_qvdFilePackage::packageForID(id);
    ASSERT_TRUE(reread);
    ZERI_qvdFilePackageMetadata& metadata = reread->metaData();
    EXPECT_EQ(metadata.draftRevision(), 0);
    EXPECT_EQ(metadata.publishedDraftRevision(), -1);
    EXPECT_EQ(metadata.serverSavedDraftRevision(), -1);
    EXPECT_EQ(metadata.packageType(), int(ZERI_qvdFilePackage::OwnDocument));

    // The next change of the draft counts as something to post and to save to the service.
    ASSERT_TRUE(reread->loadModel());
    reread->model()->firstFlowmodel()->setTitle(QStringLiteral("Edited after the repair"));
    ASSERT_TRUE(reread->saveModel());
    EXPECT_TRUE(reread->hasSomethingToPost());
    EXPECT_TRUE(reread->hasSomethingToSaveToCloud());
}

TEST_F(FilePackageTest, PublishingReplacesAStaleOrPartialFileUnderTheAssetsName)
{
    auto document = makeDocumentWithOneScreen();
    auto package = saveNewDocument(document);
    const QString image = QDir(package->assetsPath()).filePath(QStringLiteral("photo.png"));
    const QByteArray bytes = pngBytes(32, 32);
    ASSERT_TRUE(writeBytes(image, bytes));
    addImageObject(*document, image);
    ASSERT_TRUE(package->saveModel());

    // An interrupted earlier copy left a truncated file under the asset's name in the published folder.
    const QString publishedImage = QDir(package->publishedAssetsPath()).filePath(QStringLiteral("photo.png"));
    ASSERT_TRUE(writeBytes(publishedImage, bytes.left(10)));
    ASSERT_TRUE(package->savePublishedModelFromJSON(document->jsonData()));
    EXPECT_EQ(readBytes(publishedImage), bytes);
    ASSERT_TRUE(package->loadPublishedModel());
    const auto assets = package->publishedModel()->getAllContentAssets();
    ASSERT_EQ(assets.size(), 1u);
    EXPECT_EQ(QFileInfo(assets.front()->localFilePath()).canonicalFilePath(),
              QFileInfo(publishedImage).canonicalFilePath());
    // Nothing half-written is left beside it.
    EXPECT_EQ(QDir(package->publishedAssetsPath()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("photo.png")});

    // Publishing again with the file already linked keeps it as it is.
    ASSERT_TRUE(package->savePublishedModelFromJSON(document->jsonData()));
    EXPECT_EQ(readBytes(publishedImage), bytes);
}

TEST_F(FilePackageTest, AReplacedAssetsFileOutlivesTheDraftOnDiskThatNamesIt)
{
    auto document = makeDocumentWithOneScreen();
    auto package = saveNewDocument(document);
    const QDir assets(package->assetsPath());
    const QString original = assets.filePath(QStringLiteral("original.png"));
    const QString oldCrop = assets.filePath(QStringLiteral("oldcrop.png"));
    const QString newCrop = assets.filePath(QStringLiteral("newcrop.png"));
    for (const QString& path : {original, oldCrop, newCrop})
        ASSERT_TRUE(writeBytes(path, pngBytes(4, 4)));
    auto object = addImageObject(*document, original);
    auto oldAsset = ZERI_ContentAsset::create();
    oldAsset->setExternalURL(QUrl::fromLocalFile(oldCrop));
    object->object()->setCroppedImageAsset(oldAsset);
    ASSERT_TRUE(package->saveModel());
    ASSERT_TRUE(readBytes(package->draftFilePath()).contains("oldcrop.png"));

    // Outside any undoable change, nothing else keeps the old crop.
    auto newAsset = ZERI_ContentAsset::create();
    newAsset->setExternalURL(QUrl::fromLocalFile(newCrop));
    MixedMediaObjectStorage::setCroppedImageAsset(object, newAsset);
    // Were the program to stop now, the draft on disk must still find every file it names.
    const QByteArray draft = readBytes(package->draftFilePath());
    EXPECT_TRUE(!draft.contains("oldcrop.png") || QFileInfo::exists(oldCrop));
    EXPECT_TRUE(draft.contains("newcrop.png"));

    // Removing every asset of the object: the same holds for each of its files.
    MixedMediaObjectStorage::removeAllAssets(object);
    const QByteArray emptied = readBytes(package->draftFilePath());
    for (const QString& path : {original, newCrop})
        EXPECT_TRUE(!emptied.contains(QFileInfo(path).fileName().toUtf8()) || QFileInfo::exists(path))
            << path.toStdString();
}

TEST_F(FilePackageTest, UnloadingKeepsADocumentWhoseEditsCannotBeWritten)
{
    auto document = makeDocumentWithOneScreen();
    auto package = saveNewDocument(document);
    document->firstFlowmodel()->setTitle(QStringLiteral("Edited before closing"));
    // The draft cannot be replaced: a folder stands where its file should be.
    ASSERT_TRUE(QFile::remove(package->draftFilePath()));
    ASSERT_TRUE(QDir().mkdir(package->draftFilePath()));
    Error error;
    EXPECT_FALSE(package->unloadModel(&error));
    EXPECT_FALSE(error.isNull());
    EXPECT_EQ(package->model(), document);
    EXPECT_FALSE(document->dontSave());
    EXPECT_EQ(document->filePackage(), package);

    // Once the draft can be written again, the edits reach it.
    ASSERT_TRUE(QDir().rmdir(package->draftFilePath()));
    EXPECT_TRUE(package->unloadModel(&error));
    EXPECT_FALSE(package->model());
    EXPECT_TRUE(document->dontSave());
    ASSERT_TRUE(package->loadModel());
    EXPECT_EQ(package->model()->title(), QStringLiteral("Edited before closing"));
}

TEST_F(FilePackageTest, CleaningAMovedPackageKeepsTheFilesItsDocumentsNameByTheirOldPaths)
{
    auto document = makeDocumentWithOneScreen();
    auto package = saveNewDocument(document);
    const QString id = document->qvdID();
    // The data folder came from elsewhere (a renamed home folder, another machine): the documents still name their
    // files where the package used to be.
    const QString oldPackage = QStringLiteral("/home/former-user/.local/share/Tessarine/tessarines/") + id;
    const QString draftFile = QDir(package->assetsPath()).filePath(QStringLiteral("photo.png"));
    const QString publishedFile = QDir(package->publishedAssetsPath()).filePath(QStringLiteral("shown.png"));
    const QString stray = QDir(package->assetsPath()).filePath(QStringLiteral("stray.png"));
    const QString otherPackagesFile = QDir(package->assetsPath()).filePath(QStringLiteral("other.png"));
    for (const QString& path : {draftFile, publishedFile, stray, otherPackagesFile})
        ASSERT_TRUE(writeBytes(path, pngBytes(4, 4)));
    addImageObject(*document, oldPackage + QStringLiteral("/assets/photo.png"));
    // A file of another package with the same name is not this package's.
    addImageObject(*document, QStringLiteral("/elsewhere/tessarines/OTHER-ID/assets/other.png"));
    auto published = makeDocumentWithOneScreen();
    addImageObject(*published, oldPackage + QStringLiteral("/published_assets/shown.png"));
    ASSERT_TRUE(package->saveModel());
    ASSERT_TRUE(writeBytes(package->publishedFilePath(), published->jsonData()));

    package->cleanDirectories();
    EXPECT_TRUE(QFileInfo::exists(draftFile));
    EXPECT_TRUE(QFileInfo::exists(publishedFile));
    EXPECT_FALSE(QFileInfo::exists(stray));
    EXPECT_FALSE(QFileInfo::exists(otherPackagesFile));

    // Read from disk (no document loaded), the same holds.
    ASSERT_TRUE(package->unloadModel());
    package->cleanDirectories();
    EXPECT_TRUE(QFileInfo::exists(draftFile));
    EXPECT_TRUE(QFileInfo::exists(publishedFile));
}

TEST_F(FilePackageTest, ADeletedPackageIsNeverBroughtBackByALateWrite)
{
    auto document = makeDocumentWithOneScreen();
    auto package = saveNewDocument(document);
    const QString json = QString::fromUtf8(document->jsonData());
    ASSERT_TRUE(package->deletePackage());
    // An answer of the service arrives for the package still held by its caller.
    Error error;
    EXPECT_FALSE(package->savePublishedModelFromJSON(json.toUtf8(), &error));
    EXPECT_FALSE(error.isNull());
    EXPECT_FALSE(package->saveMetadata());
    EXPECT_FALSE(QFileInfo::exists(package->path()));
    ZERI_qvdFilePackage::resetForTesting();
    EXPECT_TRUE(ZERI_qvdFilePackage::damagedPackageFolders().isEmpty());
}

// A tile picture finished on a worker adds its piece to the folder while the user deletes the document: the
// document still goes at once, and a folder a crash left half removed goes with the next scan.
TEST_F(FilePackageTest, ADocumentGoesWhileAWorkerStillWritesIntoItsFolder)
{
    const QDir root(ZERI_qvdFilePackage::tessarinesFolder());
    for (int attempt = 0; attempt < 10; ++attempt) {
        auto package = saveNewDocument(makeDocumentWithOneScreen());
        const QString assets = package->assetsPath();
        std::atomic<bool> stop{false};
        std::thread writer([&] {
            for (int i = 0; !stop; ++i) {
                QFile piece(QDir(assets).filePath(QStringLiteral(".tile.%1.part").arg(i)));
                if (piece.open(QIODevice::WriteOnly))
                    piece.write("jpeg");
            }
        });
        QThread::msleep(2);
        Error error;
        const bool deleted = package->deletePackage(&error);
        stop = true;
        writer.join();
        ASSERT_TRUE(deleted) << error.message.toStdString();
        EXPECT_FALSE(QFileInfo::exists(package->path()));
    }
    EXPECT_TRUE(root.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty());

    ASSERT_TRUE(QDir(root.filePath(QStringLiteral(".deleted-left/assets"))).mkpath(QStringLiteral(".")));
    ASSERT_TRUE(writeBytes(root.filePath(QStringLiteral(".deleted-left/assets/a.jpg")), "jpeg"));
    ZERI_qvdFilePackage::resetForTesting();
    EXPECT_TRUE(ZERI_qvdFilePackage::allPackages().empty());
    EXPECT_TRUE(ZERI_qvdFilePackage::damagedPackageFolders().isEmpty());
    EXPECT_TRUE(root.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty());
}

// Sign-out forgets the packages and deletes their folders on another thread: a tile picture made before that lands
// afterwards, and neither it nor anything else writes into a forgotten package while its folder goes.
TEST_F(FilePackageTest, AForgottenPackageIsNeverWrittenIntoWhileItsFolderGoes)
{
    auto package = saveNewDocument(makeDocumentWithOneScreen());
    const QString picture = PackagePreviewPicture::preparePath(*package);
    ASSERT_TRUE(PackagePreviewPicture::write(picture, "jpeg"));
    ZERI_qvdFilePackage::waitForDraftWrites();
    const QByteArray metadataBefore = readBytes(package->metadataFilePath());
    ASSERT_FALSE(metadataBefore.isEmpty());

    const QString folder = package->forgetPackage();
    EXPECT_TRUE(package->isRemoved());
    EXPECT_TRUE(ZERI_qvdFilePackage::allPackages().empty());
    // The picture arrives: whether adopted or not, nothing reaches the disk.
    PackagePreviewPicture::adopt(*package, picture);
    package->metaData().setAlias(QStringLiteral("after sign-out"));
    EXPECT_FALSE(package->saveMetadata());
    ZERI_qvdFilePackage::waitForDraftWrites();
    EXPECT_EQ(readBytes(package->metadataFilePath()), metadataBefore);
    // Nor into a folder already gone.
    ASSERT_TRUE(QDir(folder).removeRecursively());
    package->saveMetadataSoon();
    ZERI_qvdFilePackage::waitForDraftWrites();
    EXPECT_FALSE(QFileInfo::exists(folder));
}

TEST_F(FilePackageTest, AnIdThatIsNotAPlainNameMakesNoFolderAnywhere)
{
    QTemporaryDir outside;
    const QString root = ZERI_qvdFilePackage::tessarinesFolder();
    for (const QString& id :
         {QStringLiteral("../../planted"), outside.filePath(QStringLiteral("planted")), QStringLiteral(".."),
          QStringLiteral("a/b"), QStringLiteral(".hidden"), QStringLiteral("x\\y"), QString(200, QLatin1Char('A'))}) {
        auto document = makeDocumentWithOneScreen();
        document->setInternalID(id);
        Error error;
        EXPECT_FALSE(ZERI_qvdFilePackage::saveModelToFile(document, &error)) << id.toStdString();
        EXPECT_EQ(error.code, ZERI_qvdFilePackage::BadID) << id.toStdString();
        EXPECT_FALSE(error.message.isEmpty());
        EXPECT_FALSE(document->filePackage());
    }
    EXPECT_FALSE(QFileInfo::exists(outside.filePath(QStringLiteral("planted"))));
    EXPECT_FALSE(QFileInfo::exists(folders.supportPath() + QStringLiteral("/Tessarine/planted")));
    EXPECT_FALSE(QFileInfo::exists(folders.supportPath() + QStringLiteral("/planted")));
    EXPECT_TRUE(QDir(root).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty());

    // The ids the application makes, and the plain names older documents carry, still make packages.
    for (const QString& id : {Tessutils::generateUniversalID(), QStringLiteral("clip-1"), QStringLiteral("S_2")}) {
        auto document = makeDocumentWithOneScreen();
        document->setInternalID(id);
        EXPECT_TRUE(saveNewDocument(document)) << id.toStdString();
    }
}

TEST_F(FilePackageTest, PackageFilesThatAreLinksAreReplacedNeverWrittenThrough)
{
    auto document = makeDocumentWithOneScreen();
    auto package = saveNewDocument(document);
    ASSERT_TRUE(package);
    ASSERT_TRUE(package->savePublishedModelFromJSON(document->jsonData()));
    QTemporaryDir outside;
    QStringList targets;
    for (const QString& file : {package->draftFilePath(), package->metadataFilePath(), package->publishedFilePath()}) {
        const QString target = outside.filePath(QFileInfo(file).fileName());
        ASSERT_TRUE(writeBytes(target, "the user's own file"));
        ASSERT_TRUE(QFile::remove(file));
        ASSERT_TRUE(QFile::link(target, file));
        targets << target;
    }
    // A link to nowhere would make a file where it points.
    const QString dangling = outside.filePath(QStringLiteral("made-by-a-save"));
    ASSERT_TRUE(QFile::remove(package->draftFilePath()));
    ASSERT_TRUE(QFile::link(dangling, package->draftFilePath()));

    document->firstFlowmodel()->setTitle(QStringLiteral("Edited"));
    ASSERT_TRUE(package->saveModel());
    ASSERT_TRUE(package->savePublishedModelFromJSON(document->jsonData()));
    for (const QString& target : targets)
        EXPECT_EQ(readBytes(target), "the user's own file") << target.toStdString();
    EXPECT_FALSE(QFileInfo::exists(dangling));
    for (const QString& file : {package->draftFilePath(), package->metadataFilePath(), package->publishedFilePath()}) {
        EXPECT_FALSE(QFileInfo(file).isSymLink()) << file.toStdString();
        EXPECT_TRUE(QFileInfo(file).isFile()) << file.toStdString();
    }
    EXPECT_EQ(readBytes(package->draftFilePath()), document->jsonData());
    EXPECT_TRUE(QDir(package->path()).entryList({QStringLiteral(".*.part")}, QDir::Files | QDir::Hidden).isEmpty());
}

// The tile's preview path is read from the package's metadata: a file outside the package, or a link inside it that
// leads out, is never taken for its picture.
TEST_F(FilePackageTest, APreviewPathOutsideThePackageIsNeverRead)
{
    auto package = saveNewDocument(makeDocumentWithOneScreen());
    ASSERT_TRUE(package);
    QTemporaryDir outside;
    const QString secret = outside.filePath(QStringLiteral("secret.png"));
    ASSERT_TRUE(writeBytes(secret, "the user's own file"));
    const QString link = QDir(package->assetsPath()).filePath(QStringLiteral("preview.png"));
    ASSERT_TRUE(QFile::link(secret, link));
    const QString own = QDir(package->assetsPath()).filePath(QStringLiteral("own.png"));
    ASSERT_TRUE(writeBytes(own, "the package's preview"));
    for (const QString& path :
         {secret, link, package->path() + QStringLiteral("/../") + QFileInfo(secret).fileName()}) {
        package->metaData().setPreviewScreenshotFilePath(path);
        EXPECT_TRUE(package->previewPictureFile().isEmpty()) << path.toStdString();
    }
    package->metaData().setPreviewScreenshotFilePath(own);
    EXPECT_EQ(package->previewPictureFile(), own);
}

TEST_F(FilePackageTest, CopiesAndPublishedCopiesTakeNoFileFromOutsideThePackage)
{
    QTemporaryDir home;
    const QString secret = home.filePath(QStringLiteral("secret.png"));
    ASSERT_TRUE(writeBytes(secret, pngBytes(3, 3)));
    auto document = makeDocumentWithOneScreen();
    auto package = saveNewDocument(document);
    const QString own = package->assetsPath() + QStringLiteral("/own.png");
    ASSERT_TRUE(writeBytes(own, pngBytes(4, 4)));
    addImageObject(*document, own);
    addImageObject(*document, secret);
    ASSERT_TRUE(package->saveModel());

    const auto addressesOf = [](const ZERI_TessarineModel& model) {
        QStringList files;
        for (const auto& asset : model.getAllContentAssets())
            files << asset->localFilePath();
        return files;
    };
    const auto holdsSecret = [&](const QString& folder) {
        for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden))
            if (readBytes(QDir(folder).filePath(name)) == readBytes(secret))
                return true;
        return false;
    };

    ASSERT_TRUE(package->savePublishedModelFromJSON(document->jsonData()));
    ASSERT_TRUE(package->loadPublishedModel());
    const QStringList published = addressesOf(*package->publishedModel());
    EXPECT_FALSE(published.contains(secret)) << published.join(' ').toStdString();
    EXPECT_EQ(published.count(QString()), 1) << "the outside file's address is cleared";
    EXPECT_FALSE(holdsSecret(package->publishedAssetsPath()));

    auto copy = ZERI_qvdFilePackage::getTessarineModelCopy(document);
    ASSERT_TRUE(copy);
    const auto copyPackage = std::dynamic_pointer_cast<ZERI_qvdFilePackage>(copy->filePackage());
    const QStringList copied = addressesOf(*copy);
    EXPECT_FALSE(copied.contains(secret)) << copied.join(' ').toStdString();
    EXPECT_EQ(copied.count(QString()), 1);
    EXPECT_EQ(std::count_if(copied.begin(), copied.end(),
                            [&](const QString& f) { return QFileInfo(f).path() == copyPackage->assetsPath(); }),
              1);
    EXPECT_FALSE(holdsSecret(copyPackage->assetsPath()));

    // A duplicate's published copy still takes its files from the package it is made from.
    std::shared_ptr<ZERI_qvdFilePackage> duplicate;
    bool called = false;
    ZERI_qvdFilePackage::duplicatePackage(package, [&](std::shared_ptr<ZERI_qvdFilePackage> made) {
        called = true;
        duplicate = std::move(made);
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return called; }, 5000));
    ASSERT_TRUE(duplicate);
    ASSERT_TRUE(duplicate->loadPublishedModel());
    const QStringList duplicated = addressesOf(*duplicate->publishedModel());
    EXPECT_EQ(std::count_if(duplicated.begin(), duplicated.end(),
                            [&](const QString& f) { return QFileInfo(f).path() == duplicate->publishedAssetsPath(); }),
              1)
        << duplicated.join(' ').toStdString();
}

namespace {

// A folder of the user's outside the package, with files that must never be lost.
struct UsersFolder {
    QTemporaryDir dir;
    QHash<QString, QByteArray> files;

    explicit UsersFolder(const QStringList& names)
    {
        for (const QString& name : names) {
            files.insert(name, "the user's own " + name.toUtf8());
            writeBytes(dir.filePath(name), files.value(name));
        }
    }
    void expectUntouched() const
    {
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), files.size());
        for (auto it = files.begin(); it != files.end(); ++it)
            EXPECT_EQ(readBytes(dir.filePath(it.key())), it.value()) << it.key().toStdString();
    }
};

// Replaces a folder of the package with a link to `target`.
void linkFolder(const QString& folder, const QString& target)
{
    ASSERT_TRUE(QDir(folder).removeRecursively());
    ASSERT_TRUE(QFile::link(target, folder));
}

bool isRealFolder(const QString& path)
{
    return QFileInfo(path).isDir() && !QFileInfo(path).isSymLink();
}

// The document shows the picture `file` (in its package's assets) and is published.
void publishWithOnePicture(ZERI_TessarineModel& document, ZERI_qvdFilePackage& package, const QString& file)
{
    ASSERT_TRUE(writeBytes(file, pngBytes(4, 4)));
    addImageObject(document, file);
    ASSERT_TRUE(package.saveModel());
    ASSERT_TRUE(package.savePublishedModelFromJSON(document.jsonData()));
}

} // namespace

TEST_F(FilePackageTest, LinkedAssetFoldersAreReplacedByRealOnesAndTheirTargetsLoseNothing)
{
    auto document = makeDocumentWithOneScreen();
    auto package = saveNewDocument(document);
    const QString own = package->assetsPath() + QStringLiteral("/own.png");
    ASSERT_NO_FATAL_FAILURE(publishWithOnePicture(*document, *package, own));
    const QString id = package->packageID();
    ASSERT_TRUE(package->unloadModel());

    // Brought in from elsewhere: "assets" leads to a folder of the user's that also holds a file of the name the
    // document uses, "published_assets" to another.
    UsersFolder thesis({QStringLiteral("chapter1.txt"), QStringLiteral("chapter2.txt"), QStringLiteral("own.png")});
    UsersFolder notes({QStringLiteral("notes.txt"), QStringLiteral("own.png")});
    linkFolder(package->assetsPath(), thesis.dir.path());
    linkFolder(package->publishedAssetsPath(), notes.dir.path());
    package.reset();
    ZERI_qvdFilePackage::resetForTesting();

    // Opened in the creator: the package is cleaned.
    package = ZERI_qvdFilePackage::packageForID(id);
    ASSERT_TRUE(package);
    package->cleanDirectories();
    thesis.expectUntouched();
    notes.expectUntouched();
    EXPECT_TRUE(isRealFolder(package->assetsPath()));
    EXPECT_TRUE(isRealFolder(package->publishedAssetsPath()));
    // Through the links the document's files were the user's: none is copied in, and the addresses are gone.
    EXPECT_TRUE(QDir(package->assetsPath()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    ASSERT_TRUE(package->loadModel());
    for (const auto& asset : package->model()->getAllContentAssets())
        EXPECT_TRUE(asset->externalURL().isEmpty()) << asset->externalURL().toString().toStdString();
    ASSERT_TRUE(package->loadPublishedModel());
    for (const auto& asset : package->publishedModel()->getAllContentAssets())
        EXPECT_TRUE(asset->externalURL().isEmpty()) << asset->externalURL().toString().toStdString();
    EXPECT_TRUE(
        QDir(package->path()).entryList({QStringLiteral(".*.part")}, QDir::AllEntries | QDir::Hidden).isEmpty());
}

TEST_F(FilePackageTest, UnpublishingPublishingAndCleaningNeverFollowALinkedFolder)
{
    auto document = makeDocumentWithOneScreen();
    auto package = saveNewDocument(document);
    const QString own = package->assetsPath() + QStringLiteral("/own.png");
    ASSERT_NO_FATAL_FAILURE(publishWithOnePicture(*document, *package, own));

    // Unpublishing empties the package's folder, not the one a link leads to.
    UsersFolder photos({QStringLiteral("holiday.jpg"), QStringLiteral("own.png")});
    linkFolder(package->publishedAssetsPath(), photos.dir.path());
    package->deletePublishedData();
    photos.expectUntouched();
    EXPECT_TRUE(isRealFolder(package->publishedAssetsPath()));
    EXPECT_FALSE(package->publishedVersionExists());

    // Publishing links the draft's files into a real folder, never over the user's file of the same name.
    linkFolder(package->publishedAssetsPath(), photos.dir.path());
    ASSERT_TRUE(package->savePublishedModelFromJSON(document->jsonData()));
    photos.expectUntouched();
    EXPECT_TRUE(isRealFolder(package->publishedAssetsPath()));
    EXPECT_EQ(readBytes(package->publishedAssetsPath() + QStringLiteral("/own.png")), pngBytes(4, 4));

    // A link that stays inside the package is the package's own files: they are copied, and kept by cleaning.
    ASSERT_TRUE(QDir(package->assetsPath()).removeRecursively());
    ASSERT_TRUE(QFile::link(ZERI_qvdFilePackage::publishedAssetsFolderName, package->assetsPath()));
    package->cleanDirectories();
    EXPECT_TRUE(isRealFolder(package->assetsPath()));
    EXPECT_EQ(readBytes(own), pngBytes(4, 4));
    EXPECT_EQ(readBytes(package->publishedAssetsPath() + QStringLiteral("/own.png")), pngBytes(4, 4));
    EXPECT_EQ(document->getAllContentAssets().front()->localFilePath(), own);

    // A package folder that is itself a link is left out, so nothing deletes or cleans through it.
    UsersFolder elsewhere({QStringLiteral("metadata.json"), QStringLiteral("docfile.qvd")});
    for (const QString& file : {package->metadataFilePath(), package->draftFilePath()}) {
        const QString name = QFileInfo(file).fileName();
        elsewhere.files.insert(name, readBytes(file)); // a readable package but for the link
        ASSERT_TRUE(writeBytes(elsewhere.dir.filePath(name), elsewhere.files.value(name)));
    }
    const QString linked = ZERI_qvdFilePackage::tessarinesFolder() + QStringLiteral("/LINKED");
    ASSERT_TRUE(QFile::link(elsewhere.dir.path(), linked));
    ZERI_qvdFilePackage::rescan();
    EXPECT_FALSE(ZERI_qvdFilePackage::packageForID(QStringLiteral("LINKED")));
    EXPECT_TRUE(ZERI_qvdFilePackage::damagedPackageFolders().contains(linked));
    elsewhere.expectUntouched();
}

// Another process swaps the package's "assets" folder for a link to a folder of the user's, again and again, while
// files are written there every way the application writes them: each write lands in the package's own folder or
// fails, and nothing ever reaches the folder the link leads to.
TEST_F(FilePackageTest, WritesIntoAFolderSwappedForALinkMeanwhileNeverReachWhereTheLinkLeads)
{
    auto document = makeDocumentWithOneScreen();
    auto package = saveNewDocument(document);
    const QString assets = package->assetsPath();
    ASSERT_TRUE(PackageFileGuard::prepareFolder(assets) && QDir().mkpath(assets));
    const QString source = package->path() + QStringLiteral("/source.png");
    ASSERT_TRUE(writeBytes(source, pngBytes(4, 4)));
    UsersFolder outside({QStringLiteral("thesis.txt")});
    const QByteArray folder = QFile::encodeName(assets);
    const QByteArray aside = folder + ".real";
    const QByteArray target = QFile::encodeName(outside.dir.path());

    std::atomic<bool> stop{false};
    std::atomic<int> swaps{0};
    std::thread swapper([&] {
        while (!stop) {
            if (::rename(folder.constData(), aside.constData()) != 0)
                continue;
            ::symlink(target.constData(), folder.constData());
            std::this_thread::yield();
            ::unlink(folder.constData());
            // A write that makes its missing folder may have made one meanwhile: it goes aside, inside the package.
            if (::rename(aside.constData(), folder.constData()) != 0) {
                ::rename(folder.constData(), (folder + ".made" + QByteArray::number(swaps)).constData());
                ::rename(aside.constData(), folder.constData());
            }
            ++swaps;
        }
    });
    QElapsedTimer timer;
    timer.start();
    int landed = 0;
    for (int i = 0; timer.elapsed() < 1500; ++i) {
        const QString name = QStringLiteral("%1.png").arg(i);
        landed += AtomicFile::write(assets + QStringLiteral("/a") + name, "atomic");
        landed += PackageFileGuard::writeFileInPreparedFolder(assets + QStringLiteral("/b") + name, "piece");
        landed += AtomicFile::linkOrCopy(source, assets + QStringLiteral("/c") + name);
        landed +=
            !ContentAssetStorage::importIntoFolder(source, {}, assets, QStringLiteral("png"), 0, nullptr, {}, nullptr)
                 .isEmpty();
    }
    stop = true;
    swapper.join();
    EXPECT_GT(swaps.load(), 10);
    EXPECT_GT(landed, 0);
    outside.expectUntouched();
}

// A document holding numbers no screen needs (a frame, a zoom offset and a zoom scale of 1e300, from a hand-made
// or foreign file) is closed and opened again: its draft must stay readable, so the edits made in between survive.
// What it reads back is clamped to what a document can hold, and reads back the same from then on.
TEST_F(FilePackageTest, ADocumentWithHugeNumbersIsWrittenSoThatItOpensAgainWithItsEdits)
{
    auto document = makeDocumentWithOneScreen();
    auto object = addImageObject(*document, QString());
    object->object()->setFrame(QRectF(1e300, -1e300, 1e300, 1e61));
    object->object()->setZoomOffset(QSizeF(-1e300, 1e300));
    object->object()->setZoomScale(1e300);
    auto package = saveNewDocument(document);
    ASSERT_TRUE(package);
    const QString id = package->packageID();
    ASSERT_TRUE(package->unloadModel());
    document.reset();
    object.reset();

    Error error;
    ASSERT_TRUE(package->loadModel(&error)) << error.message.toStdString();
    const double limit = ModelJsonReader::kLargestMeasure;
    auto shown = package->model()->firstFlowmodel()->screenModels().front()->mixedMediaObjects().front()->object();
    EXPECT_EQ(shown->frame(), QRectF(limit, -limit, limit, limit));
    EXPECT_EQ(shown->zoomOffset(), QSizeF(-limit, limit));
    EXPECT_EQ(shown->zoomScale(), limit);
    package->model()->firstFlowmodel()->setTitle(QStringLiteral("Edited after opening"));
    const QByteArray written = package->model()->jsonData();
    ASSERT_TRUE(package->unloadModel());
    package.reset();
    ZERI_qvdFilePackage::resetForTesting();

    package = ZERI_qvdFilePackage::packageForID(id);
    ASSERT_TRUE(package);
    ASSERT_TRUE(package->loadModel(&error)) << error.message.toStdString();
    EXPECT_EQ(package->model()->firstFlowmodel()->title(), QStringLiteral("Edited after opening"));
    EXPECT_EQ(package->model()->jsonData(), written);
}
