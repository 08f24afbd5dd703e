#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTest>

#include "StorageTestSupport.h"
#include "storage/ContentAssetStorage.h"
#include "storage/MixedMediaObjectStorage.h"
#include "storage/QVRCustomDataDataItem.h"
#include "strings/UFM.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "tessarine_data_model/DocumentFilePackage.h"
#include "tessarine_data_model/UndoSnapshotFiles.h"
#include "tessarine_data_model/UndoableAction.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

// The document model saving and undoing through the storage layer, as the application runs them.
namespace {

class ModelIntegrationTest : public ::testing::Test {
protected:
    void SetUp() override { ZERI_qvdFilePackage::registerWithDocumentModel(); }
    void TearDown() override
    {
        DocumentFilePackage::registerMaker(nullptr);
        UndoSnapshotFiles::registerHandler(nullptr);
    }
    ScopedStorageFolders folders;
};

} // namespace

TEST_F(ModelIntegrationTest, TheDocumentsOwnSaveMakesThePackageAndTheScheduledSaveWritesTheDraft)
{
    auto document = makeDocumentWithOneScreen();
    Error error;
    ASSERT_TRUE(document->saveToFile(&error)) << error.message.toStdString();
    auto package = std::dynamic_pointer_cast<ZERI_qvdFilePackage>(document->filePackage());
    ASSERT_TRUE(package);
    EXPECT_EQ(ZERI_qvdFilePackage::allPackages().size(), 1u);
    EXPECT_TRUE(QFileInfo(package->draftFilePath()).isFile());
    EXPECT_EQ(package->model(), document);

    document->firstFlowmodel()->setTitle(QStringLiteral("Saved a second later"));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return readBytes(package->draftFilePath()).contains("Saved a second later"); }, 5000));
    EXPECT_EQ(package->metaData().tessarineName(), QStringLiteral("Saved a second later"));
}

TEST_F(ModelIntegrationTest, AnUndoStepKeepsTheFileOfARemovedObjectUntilTheStepIsDropped)
{
    auto document = makeDocumentWithOneScreen();
    ASSERT_TRUE(document->saveToFile());
    auto package = std::dynamic_pointer_cast<ZERI_qvdFilePackage>(document->filePackage());
    const QString file = package->assetsPath() + QStringLiteral("/photo.png");
    ASSERT_TRUE(writeBytes(file, pngBytes(4, 4)));
    auto object = addImageObject(*document, file);
    auto flow = document->firstFlowmodel();
    auto screen = flow->screenModels().front();

    // Removing the object and deleting its file inside an undoable change: the snapshot keeps the file.
    flow->beginUndoableChanges();
    screen->removeMixedMediaObject(object);
    ContentAssetStorage::deleteFile(object->object()->originalImageAsset(), document);
    flow->endUndoableChanges();
    EXPECT_TRUE(QFileInfo::exists(file));

    // Undo brings the object back; dropping the steps afterwards must not delete the file it uses again.
    ASSERT_TRUE(flow->undoManager().undo());
    ASSERT_EQ(screen->mixedMediaObjects().size(), 1u);
    flow->undoManager().removeAllActions();
    EXPECT_TRUE(QFileInfo::exists(file));

    // Removed again, and the step that could bring it back dropped: now the file goes.
    auto restored = screen->mixedMediaObjects().front();
    flow->beginUndoableChanges();
    screen->removeMixedMediaObject(restored);
    ContentAssetStorage::deleteFile(restored->object()->originalImageAsset(), document);
    flow->endUndoableChanges();
    EXPECT_TRUE(QFileInfo::exists(file));
    flow->undoManager().removeAllActions();
    EXPECT_FALSE(QFileInfo::exists(file));
}

TEST_F(ModelIntegrationTest, SetUpNamesTheOpenAdditionAndIsUndoneAsOneStep)
{
    auto document = makeDocumentWithOneScreen();
    ASSERT_TRUE(document->saveToFile());
    auto flow = document->firstFlowmodel();
    auto object = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::None);
    auto item = std::make_shared<QVRCustomDataDataItem>();
    item->setType(1);
    item->setCustomMainData(pngBytes(40, 30));

    flow->beginUndoableChanges();
    flow->screenModels().front()->addMixedMediaObject(object);
    bool done = false;
    Error result;
    MixedMediaObjectStorage::setupUsingDataItem(object, item, true, [&](const Error& error) {
        result = error;
        done = true;
    });
    EXPECT_EQ(flow->currentUndoableAction()->actionDescription(), UFM::UNDO_MANAGER_ADD_MEDIA_TAG());
    ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 20000));
    ASSERT_TRUE(result.isNull());
    flow->endUndoableChanges();
    EXPECT_EQ(object->type(), ZERI_MixedMediaObject::Image);
    EXPECT_EQ(flow->undoManager().undoActionName(), UFM::UNDO_MANAGER_ADD_MEDIA_TAG());

    ASSERT_TRUE(flow->undoManager().undo());
    EXPECT_TRUE(flow->screenModels().front()->mixedMediaObjects().empty());
}
