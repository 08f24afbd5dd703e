#include <gtest/gtest.h>

#include "support/QtPrinters.h"
#include "tessarine_data_model/DocumentFilePackage.h"
#include "tessarine_data_model/QVB_GalleryAssetManager.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Image.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

class FakePackage : public DocumentFilePackage {
public:
    QString packageID() const override { return "PKG-1"; }
    QString assetStoragePath() const override { return "/data/PKG-1/assets"; }
    QString publishedAssetStoragePath() const override { return "/data/PKG-1/published_assets"; }
};

QStringList ids(const std::vector<std::shared_ptr<ZERI_ContentAsset>>& assets)
{
    QStringList list;
    for (const auto& asset : assets)
        list << asset->internalID();
    return list;
}

std::shared_ptr<ZERI_ContentAsset> assetNamed(const QString& id)
{
    auto asset = ZERI_ContentAsset::create();
    asset->setInternalID(id);
    return asset;
}

} // namespace

TEST(ItemTree, ParentQueriesAndAssetFoldersGoThroughTheDocumentsPackage)
{
    auto package = std::make_shared<FakePackage>();
    auto document = ZERI_TessarineModel::initWithDict(ZERI_TessarineModel::create()->jsonDictionary(), package);
    ASSERT_TRUE(document);
    EXPECT_EQ(document->qvdID(), "PKG-1") << "a document opened with a package takes its id";
    auto screen = ZERI_FlowScreenModel::create();
    document->firstFlowmodel()->addFlowScreen(screen);
    auto object = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Image);
    screen->addMixedMediaObject(object);
    auto asset = ZERI_ContentAsset::create();
    (*object)->setCroppedImageAsset(asset);

    EXPECT_EQ(asset->assetStoragePath(), "/data/PKG-1/assets");
    EXPECT_EQ(asset->tessarineModel(), document);
    EXPECT_EQ(asset->parentFlowScreenModel(), screen);
    EXPECT_EQ(screen->nearestParentItemOfClass<ZERI_FlowScreenModel>(), screen) << "the item itself counts";
    EXPECT_EQ(asset->nearestParentItemOfClass<ZERI_FlowModel>(), document->firstFlowmodel());
    EXPECT_EQ(document->getAllChildObjectsOfClass<ZERI_MMObject_Image>().size(), 1u);
    EXPECT_EQ(document->getAllContentAssets(), std::vector{asset});

    document->setIsPublishPreview(true);
    EXPECT_EQ(asset->assetStoragePath(), "/data/PKG-1/published_assets");
    document->setIsPublishPreview(false);

    // A read-only copy has no package of its own but finds its files in the source's; it never saves.
    const auto copy = document->readOnlyCopy();
    ASSERT_TRUE(copy);
    EXPECT_TRUE(copy->dontSave());
    EXPECT_FALSE(copy->filePackage());
    EXPECT_EQ(copy->getAllContentAssets().front()->assetStoragePath(), "/data/PKG-1/assets");

    // Without a package (or once it is gone) there is no asset folder, and nothing breaks.
    package.reset();
    EXPECT_EQ(asset->assetStoragePath(), "");
    auto loose = ZERI_ContentAsset::create();
    EXPECT_FALSE(loose->tessarineModel());
    EXPECT_EQ(loose->assetStoragePath(), "");
    EXPECT_FALSE(loose->videoCompressionManager());
}

TEST(ItemTree, DocumentIdentityAndPublishingTexts)
{
    auto document = ZERI_TessarineModel::create();
    EXPECT_EQ(document->flowModels().size(), 1u);
    EXPECT_EQ(document->docVersion(), "1.3");
    EXPECT_FALSE(document->qvdID().isEmpty());
    EXPECT_NE(ZERI_TessarineModel::create()->qvdID(), document->qvdID());
    EXPECT_FALSE(document->createdText().isEmpty());
    EXPECT_TRUE(document->createdDate().has_value());

    document->firstFlowmodel()->setTitle("Deck");
    EXPECT_EQ(document->title(), "Deck");
    EXPECT_FALSE(document->publishURL());
    EXPECT_EQ(document->embedCode(), "");
    document->setStringID("ab12");
    EXPECT_EQ(document->publishURL(), ZERI_TessarineModel::publishWebHost() + "/s/ab12");
    EXPECT_TRUE(document->embedCode().contains("width=\"1024\" height=\"748\""));
    EXPECT_TRUE(document->embedCode().contains("https://" + *document->publishURL()));
}

TEST(GalleryAssetManager, InsertRemoveAndMoveKeepTheArraysParallel)
{
    auto manager = std::make_shared<QVB_GalleryAssetManager>();
    manager->insertImageAsset(assetNamed("a"), 0);
    manager->insertImageAsset(assetNamed("c"), 1);
    manager->insertImageAsset(assetNamed("b"), 1);
    manager->insertImageAsset(assetNamed("x"), 7); // beyond the count: ignored
    manager->insertImageAsset(nullptr, 0);         // missing: ignored
    manager->insertThumbImageAsset(assetNamed("ta"), 0);
    manager->insertThumbImageAsset(assetNamed("tb"), 1);
    manager->insertThumbImageAsset(assetNamed("tc"), 2);
    EXPECT_EQ(ids(manager->fullsizedImageAssetsArray()), QStringList({"a", "b", "c"}));
    EXPECT_EQ(manager->captionTextArray(), QStringList({"", "", ""}));
    EXPECT_EQ(manager->fullsizedImageAssetsArray()[1]->parent(), manager);
    manager->setCaptionText(1, "bee");

    manager->moveAssetFromIndex(1, 2);
    EXPECT_EQ(ids(manager->fullsizedImageAssetsArray()), QStringList({"a", "c", "b"}));
    EXPECT_EQ(ids(manager->thumbnailImageAssetsArray()), QStringList({"ta", "tc", "tb"}));
    EXPECT_EQ(manager->captionTextArray(), QStringList({"", "", "bee"}));

    const auto removed = manager->fullsizedImageAssetsArray()[0];
    manager->removeAssetAtIndex(0);
    EXPECT_EQ(ids(manager->fullsizedImageAssetsArray()), QStringList({"c", "b"}));
    EXPECT_EQ(ids(manager->thumbnailImageAssetsArray()), QStringList({"tc", "tb"}));
    EXPECT_EQ(manager->captionTextArray(), QStringList({"", "bee"}));
    EXPECT_FALSE(removed->parent());
    EXPECT_TRUE(manager->lowQualityImageAssetsArray().empty());

    // A gallery's dictionary makes an independent working copy.
    auto gallery = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Gallery);
    (*gallery)->setGalleryAssetManager(manager);
    auto working = ZERI_MixedMediaObject::initWithDict((*gallery)->jsonDictionary());
    ASSERT_TRUE(working);
    (*working)->galleryAssetManager()->removeAssetAtIndex(0);
    EXPECT_EQ(manager->fullsizedImageAssetsArray().size(), 2u);
    EXPECT_EQ((*working)->galleryAssetManager()->captionTextArray(), QStringList({"bee"}));
}

TEST(GalleryAssetManager, ABlockMoveKeepsTheSelectionTogetherInEveryArray)
{
    auto manager = std::make_shared<QVB_GalleryAssetManager>();
    for (int i = 0; i < 5; ++i) {
        manager->insertImageAsset(assetNamed(QString::number(i)), i);
        manager->insertThumbImageAsset(assetNamed(QStringLiteral("t%1").arg(i)), i);
        manager->setCaptionText(i, QStringLiteral("c%1").arg(i));
    }
    // Images 0 and 3 (given out of order) go as one block to index 1 of the three that stay.
    manager->moveAssetsFromIndexes({3, 0}, 1);
    EXPECT_EQ(ids(manager->fullsizedImageAssetsArray()), QStringList({"1", "0", "3", "2", "4"}));
    EXPECT_EQ(ids(manager->thumbnailImageAssetsArray()), QStringList({"t1", "t0", "t3", "t2", "t4"}));
    EXPECT_EQ(manager->captionTextArray(), QStringList({"c1", "c0", "c3", "c2", "c4"}));

    // A target past the end puts the block last; indexes out of range and an empty list change nothing.
    manager->moveAssetsFromIndexes({0, 9}, 99);
    EXPECT_EQ(ids(manager->fullsizedImageAssetsArray()), QStringList({"0", "3", "2", "4", "1"}));
    const QJsonObject before = manager->jsonDictionary();
    manager->moveAssetsFromIndexes({}, 0);
    manager->moveAssetsFromIndexes({7}, 0);
    EXPECT_EQ(manager->jsonDictionary(), before);
}

TEST(ItemTree, ASnapshotWithAnotherTypeChangesTheObjectBehindTheSameProxy)
{
    auto document = ZERI_TessarineModel::create();
    auto flow = document->firstFlowmodel();
    auto screen = ZERI_FlowScreenModel::create();
    flow->addFlowScreen(screen);
    auto object = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::None);
    (*object)->setFrame(QRectF(1, 2, 30, 40));
    screen->addMixedMediaObject(object);
    const QJsonObject before = flow->jsonDictionary();

    ASSERT_TRUE(object->changeType(ZERI_MixedMediaObject::Image));
    (*object)->setOriginalImageAsset(ZERI_ContentAsset::create());
    ASSERT_TRUE(flow->setPropertiesFromDict(before));
    EXPECT_EQ(screen->mixedMediaObjects().front(), object);
    EXPECT_EQ(object->type(), ZERI_MixedMediaObject::None);
    EXPECT_FALSE((*object)->originalImageAsset());
    EXPECT_EQ((*object)->parent(), screen);
    EXPECT_EQ(flow->jsonDictionary(), before);
}
