#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonDocument>
#include <QTest>

#include "StorageTestSupport.h"
#include "platform/AtomicFile.h"
#include "platform/Json.h"
#include "platform/MainThread.h"
#include "platform/WorkerThreads.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "storage/ZERI_qvdFilePackageMetadata.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

// Stands in for a slow disk under the draft writer: every draft it writes waits a while before its rename (one
// written at once goes straight on), and the writes are counted.
class SlowDraftDisk {
public:
    explicit SlowDraftDisk(int delayMs)
    {
        AtomicFile::setFaultInjectorForTesting([this, delayMs](const QString& path) {
            if (path.endsWith(ZERI_qvdFilePackage::draftFileName)) {
                ++m_draftWrites;
                if (!MainThread::isMainThread())
                    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
            }
            return false;
        });
    }
    ~SlowDraftDisk() { AtomicFile::setFaultInjectorForTesting({}); }
    int draftWrites() const { return m_draftWrites.load(); }

private:
    std::atomic<int> m_draftWrites{0};
};

std::shared_ptr<ZERI_TessarineModel> documentWithScreens(int count)
{
    auto document = makeDocumentWithOneScreen();
    for (int i = 1; i < count; ++i)
        document->firstFlowmodel()->addFlowScreen(ZERI_FlowScreenModel::create());
    return document;
}

std::shared_ptr<ZERI_qvdFilePackage> saved(const std::shared_ptr<ZERI_TessarineModel>& document)
{
    Error error;
    EXPECT_TRUE(ZERI_qvdFilePackage::saveModelToFile(document, &error)) << error.message.toStdString();
    return std::dynamic_pointer_cast<ZERI_qvdFilePackage>(document->filePackage());
}

void noteOnScreen(ZERI_TessarineModel& document, int index, const QString& text)
{
    document.firstFlowmodel()->screenModels().at(size_t(index))->setPresenterNotes(text);
}

// The draft on disk, read back as a document: null when it is not whole.
std::shared_ptr<ZERI_TessarineModel> draftOnDisk(const ZERI_qvdFilePackage& package)
{
    return ZERI_TessarineModel::initWithJsonData(readBytes(package.draftFilePath()));
}

qint64 revisionOnDisk(const ZERI_qvdFilePackage& package)
{
    const auto json = Json::readObject(readBytes(package.metadataFilePath()));
    return json ? json->value(QStringLiteral("draftRevision")).toInteger(-1) : -1;
}

// Lets the writer finish and its reports reach the main thread.
bool writerSettles(const ZERI_qvdFilePackage& package)
{
    return QTest::qWaitFor(
        [&] {
            ZERI_qvdFilePackage::waitForDraftWrites();
            return !package.isWritingDraft();
        },
        10000);
}

class DraftWriterTest : public ::testing::Test {
protected:
    ScopedStorageFolders folders;
};

} // namespace

TEST_F(DraftWriterTest, AScheduledSaveLeavesTheMainThreadAndTheDocumentCountsAsUnsavedUntilItsDraftIsOnDisk)
{
    auto document = documentWithScreens(3);
    auto package = saved(document);
    ASSERT_TRUE(package);
    const qint64 revision = package->metaData().draftRevision();
    SlowDraftDisk disk(300);

    noteOnScreen(*document, 1, QStringLiteral("written in the background"));
    ASSERT_TRUE(document->isSaveScheduled());
    // The save's timer runs on the main thread; the text is written while it carries on.
    ASSERT_TRUE(QTest::qWaitFor([&] { return package->isWritingDraft(); }, 5000));
    EXPECT_TRUE(document->isSaveScheduled()) << "the draft on disk still lags the document";
    EXPECT_FALSE(draftOnDisk(*package)->jsonData() == document->jsonData());

    ASSERT_TRUE(writerSettles(*package));
    EXPECT_FALSE(document->isSaveScheduled());
    EXPECT_EQ(draftOnDisk(*package)->jsonData(), document->jsonData());
    EXPECT_EQ(package->metaData().draftRevision(), revision + 1);
    EXPECT_EQ(revisionOnDisk(*package), revision + 1) << "the metadata follows its draft";
}

TEST_F(DraftWriterTest, ASaveMadeAtOnceWaitsForTheWriterSoTheLastEditIsWhatStaysOnDisk)
{
    auto document = documentWithScreens(3);
    auto package = saved(document);
    ASSERT_TRUE(package);
    const qint64 revision = package->metaData().draftRevision();
    SlowDraftDisk disk(300);

    noteOnScreen(*document, 0, QStringLiteral("older"));
    Error error;
    ASSERT_TRUE(package->saveDocumentSoon(document, &error));
    ASSERT_TRUE(package->isWritingDraft());
    noteOnScreen(*document, 0, QStringLiteral("the last edit"));
    // Closing: the final draft must be on disk before the document is let go, and no older one may land later.
    ASSERT_TRUE(package->unloadModel(&error)) << error.message.toStdString();
    auto onDisk = draftOnDisk(*package);
    ASSERT_TRUE(onDisk);
    EXPECT_EQ(onDisk->firstFlowmodel()->screenModels().front()->presenterNotes(), QStringLiteral("the last edit"));

    QTest::qWait(50); // the background write's report arrives after the unload
    ZERI_qvdFilePackage::waitForDraftWrites();
    QCoreApplication::processEvents();
    onDisk = draftOnDisk(*package);
    ASSERT_TRUE(onDisk);
    EXPECT_EQ(onDisk->firstFlowmodel()->screenModels().front()->presenterNotes(), QStringLiteral("the last edit"));
    EXPECT_EQ(onDisk->jsonData(), document->jsonData());
    EXPECT_GT(package->metaData().draftRevision(), revision);
    EXPECT_EQ(revisionOnDisk(*package), package->metaData().draftRevision());
}

TEST_F(DraftWriterTest, SavesAskedForWhileOneIsWrittenJoinIntoOneMoreWithTheLatestState)
{
    auto document = documentWithScreens(4);
    auto package = saved(document);
    ASSERT_TRUE(package);
    SlowDraftDisk disk(200);

    Error error;
    for (int i = 0; i < 6; ++i) {
        noteOnScreen(*document, i % 4, QStringLiteral("edit %1").arg(i));
        ASSERT_TRUE(package->saveDocumentSoon(document, &error));
    }
    ASSERT_TRUE(writerSettles(*package));
    EXPECT_EQ(disk.draftWrites(), 2) << "the first save, then one for all that came while it was written";
    EXPECT_EQ(draftOnDisk(*package)->jsonData(), document->jsonData());

    // Nothing changed since: no new text is made or written, at once or in the background.
    ASSERT_TRUE(package->saveModel(&error));
    ASSERT_TRUE(package->saveDocumentSoon(document, &error));
    ASSERT_TRUE(writerSettles(*package));
    EXPECT_EQ(disk.draftWrites(), 2);
}

TEST_F(DraftWriterTest, ADraftWrittenWhileTheDocumentKeepsChangingIsAlwaysWhole)
{
    auto document = documentWithScreens(60);
    auto package = saved(document);
    ASSERT_TRUE(package);
    Error error;
    int unreadable = 0;
    for (int round = 0; round < 40; ++round) {
        // Edits land between the taking of a state and its writing, as previews arriving one after another do.
        noteOnScreen(*document, round % 60, QStringLiteral("round %1").arg(round));
        document->firstFlowmodel()->screenModels().at(size_t((round * 7) % 60))->setPreviewInvalidated(true);
        ASSERT_TRUE(package->saveDocumentSoon(document, &error));
        QCoreApplication::processEvents();
        if (!draftOnDisk(*package))
            ++unreadable;
    }
    ASSERT_TRUE(writerSettles(*package));
    EXPECT_EQ(unreadable, 0) << "a reader never finds a torn draft";
    EXPECT_EQ(draftOnDisk(*package)->jsonData(), document->jsonData());
    EXPECT_EQ(revisionOnDisk(*package), package->metaData().draftRevision());
}

TEST_F(DraftWriterTest, ADraftOnDiskInAnotherLayoutIsRewrittenOnceEvenWithoutEdits)
{
    auto document = documentWithScreens(2);
    QString id;
    {
        auto package = saved(document);
        ASSERT_TRUE(package);
        id = package->packageID();
        // The same document, laid out as another program would write it.
        const auto json = Json::readObject(readBytes(package->draftFilePath()));
        ASSERT_TRUE(json);
        ASSERT_TRUE(writeBytes(package->draftFilePath(), QJsonDocument(*json).toJson(QJsonDocument::Indented)));
        Error error;
        ASSERT_TRUE(package->unloadModel(&error));
        ASSERT_TRUE(writeBytes(package->draftFilePath(), QJsonDocument(*json).toJson(QJsonDocument::Indented)));
    }
    document.reset();
    auto package = ZERI_qvdFilePackage::packageForID(id);
    ASSERT_TRUE(package);
    ASSERT_TRUE(package->loadModel());
    WorkerThreads::shared().waitForIdle();
    QCoreApplication::processEvents();
    const qint64 revision = package->metaData().draftRevision();
    Error error;
    ASSERT_TRUE(package->saveModel(&error));
    EXPECT_EQ(readBytes(package->draftFilePath()), package->model()->jsonData());
    EXPECT_EQ(package->metaData().draftRevision(), revision + 1);

    // Read back in this program's own layout, the draft is confirmed in the background and not written again.
    ASSERT_TRUE(package->unloadModel(&error));
    ASSERT_TRUE(package->loadModel());
    WorkerThreads::shared().waitForIdle();
    QCoreApplication::processEvents();
    SlowDraftDisk disk(0);
    ASSERT_TRUE(package->unloadModel(&error));
    EXPECT_EQ(disk.draftWrites(), 0);
    EXPECT_EQ(package->metaData().draftRevision(), revision + 1);
}

TEST_F(DraftWriterTest, ASaveAtOnceRightAfterABackgroundWriteOfTheSameStateWritesNothingMore)
{
    auto document = documentWithScreens(3);
    auto package = saved(document);
    ASSERT_TRUE(package);
    const qint64 revision = package->metaData().draftRevision();
    SlowDraftDisk disk(100);

    noteOnScreen(*document, 2, QStringLiteral("closing right after its draft was written"));
    Error error;
    ASSERT_TRUE(package->saveDocumentSoon(document, &error));
    // A window closing: the writer is waited for before the writer's report has come through the event loop.
    ZERI_qvdFilePackage::waitForDraftWrites();
    ASSERT_TRUE(package->unloadModel(&error));
    EXPECT_EQ(disk.draftWrites(), 1) << "the text already on disk is not made and written again";
    EXPECT_EQ(package->metaData().draftRevision(), revision + 1);
    EXPECT_EQ(revisionOnDisk(*package), revision + 1);
    EXPECT_EQ(draftOnDisk(*package)->jsonData(), document->jsonData());
}

TEST_F(DraftWriterTest, SavesAndACloseWithoutEditsWriteNothingAndAnEditAfterThemIsWritten)
{
    auto document = documentWithScreens(40);
    auto package = saved(document);
    ASSERT_TRUE(package);
    const qint64 revision = package->metaData().draftRevision();
    SlowDraftDisk disk(0);

    Error error;
    ASSERT_TRUE(package->saveDocumentSoon(document, &error));
    ASSERT_TRUE(writerSettles(*package));
    ASSERT_TRUE(package->saveDocumentSoon(document, &error));
    ASSERT_TRUE(writerSettles(*package));
    EXPECT_EQ(disk.draftWrites(), 0);
    EXPECT_EQ(package->metaData().draftRevision(), revision);

    noteOnScreen(*document, 39, QStringLiteral("the last screen's note"));
    ASSERT_TRUE(package->saveDocumentSoon(document, &error));
    ASSERT_TRUE(writerSettles(*package));
    EXPECT_EQ(disk.draftWrites(), 1);
    EXPECT_EQ(package->metaData().draftRevision(), revision + 1);

    bool closed = false;
    package->unloadModelSoon([&](bool ok, const Error&) { closed = ok; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return closed; }, 5000));
    EXPECT_EQ(disk.draftWrites(), 1) << "the close finds the draft on disk as it is";
    EXPECT_EQ(package->metaData().draftRevision(), revision + 1);
    EXPECT_EQ(draftOnDisk(*package)->jsonData(), document->jsonData());
}
