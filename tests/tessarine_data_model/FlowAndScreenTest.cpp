#include <atomic>
#include <thread>

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <gtest/gtest.h>

#include "ModelTestSupport.h"
#include "platform/NotificationCenter.h"
#include "support/QtPrinters.h"
#include "tessarine_data_model/VideoCompressionManager.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Shape.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "tessarine_data_model/mmActions/ZERI_MMAction_WebLink.h"

using namespace Qt::StringLiterals;

namespace {

std::shared_ptr<ZERI_MixedMediaObjectProxy> addObject(const std::shared_ptr<ZERI_FlowScreenModel>& screen, int type,
                                                      const QRectF& frame)
{
    auto object = ZERI_MixedMediaObject::objectWithType(type);
    (*object)->setFrame(frame);
    screen->addMixedMediaObject(object);
    return object;
}

QStringList screenIDs(const ZERI_FlowModel& flow)
{
    QStringList ids;
    for (const auto& screen : flow.screenModels())
        ids << screen->internalID();
    return ids;
}

class RecordingCompressionManager : public InertVideoCompressionManager {
public:
    void cancelCompressionForContentAsset(const std::shared_ptr<ZERI_ContentAsset>& asset) override
    {
        cancelled.push_back(asset);
    }
    std::vector<std::shared_ptr<ZERI_ContentAsset>> cancelled;
};

} // namespace

TEST(FlowModel, MovesAndDuplicatesScreensWithFreshIdentifiers)
{
    auto document = ZERI_TessarineModel::create();
    auto flow = document->firstFlowmodel();
    for (const char* id : {"A", "B", "C"}) {
        auto screen = ZERI_FlowScreenModel::create();
        screen->setInternalID(id);
        flow->addFlowScreen(screen);
    }
    flow->sendFlowScreenAtIndex(0, 2);
    EXPECT_EQ(screenIDs(*flow), QStringList({"B", "C", "A"}));
    flow->sendFlowScreenAtIndex(2, 0);
    flow->sendFlowScreenAtIndex(5, 0);
    EXPECT_EQ(screenIDs(*flow), QStringList({"A", "B", "C"}));

    auto b = flow->screenModels()[1];
    auto object = addObject(b, ZERI_MixedMediaObject::Image, QRectF(0, 0, 10, 10));
    auto asset = ZERI_ContentAsset::create();
    (*object)->setCroppedImageAsset(asset);
    (*object)->setAction(ZERI_MMAction_WebLink::create(QUrl("http://x")));

    auto copy = flow->duplicateFlowScreen(b);
    ASSERT_TRUE(copy);
    ASSERT_EQ(flow->screenModels().size(), 4u);
    EXPECT_EQ(flow->screenModels()[2], copy);
    EXPECT_NE(copy->internalID(), "B");
    EXPECT_FALSE(copy->internalID().isEmpty());
    ASSERT_EQ(copy->mixedMediaObjects().size(), 1u);
    const auto copiedObject = copy->mixedMediaObjects()[0];
    EXPECT_NE(copiedObject, object);
    EXPECT_NE((*copiedObject)->internalID(), (*object)->internalID());
    EXPECT_NE((*copiedObject)->croppedImageAsset()->internalID(), asset->internalID());
    EXPECT_EQ((*copiedObject)->parent(), copy);
    EXPECT_EQ((*copiedObject)->tessarineModel(), document);
    EXPECT_EQ((*copiedObject)->frame(), (*object)->frame());
    for (const auto& screen : flow->screenModels())
        EXPECT_EQ(screen->parent(), flow);
    EXPECT_EQ(copy->screenSize(), QSizeF(1024, 748));
    EXPECT_EQ(flow->undoManager().levelsOfUndo(), 500);
}

TEST(FlowScreenModel, StackingMovesOnlyPastOverlappingObjects)
{
    auto screen = ZERI_FlowScreenModel::create();
    auto o1 = addObject(screen, ZERI_MixedMediaObject::Shape, QRectF(0, 0, 100, 100));
    auto o2 = addObject(screen, ZERI_MixedMediaObject::Shape, QRectF(50, 50, 100, 100));
    EXPECT_TRUE(screen->mixedMediaObjectCanMoveForward(o1));
    EXPECT_FALSE(screen->mixedMediaObjectCanMoveForward(o2));
    EXPECT_TRUE(screen->mixedMediaObjectCanMoveBackward(o2));
    EXPECT_FALSE(screen->mixedMediaObjectCanMoveBackward(o1));

    // A far object in between does not count; o1 jumps just above o2.
    auto far = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Shape);
    (*far)->setFrame(QRectF(500, 500, 10, 10));
    screen->insertMixedMediaObject(far, 1);
    screen->placeObjectAboveNextObjectInFrontOfIt(o1);
    EXPECT_EQ(screen->mixedMediaObjects(), (std::vector{far, o2, o1}));
    screen->placeObjectAboveNextObjectInFrontOfIt(o1);
    EXPECT_EQ(screen->mixedMediaObjects(), (std::vector{far, o2, o1})) << "nothing in front: no move";
    screen->placeObjectBelowNextObjectBehindIt(o1);
    EXPECT_EQ(screen->mixedMediaObjects(), (std::vector{far, o1, o2}));
    EXPECT_EQ(ZERI_MixedMediaObject::rectContainingAllMMObjs({o1, o2, far}), QRectF(0, 0, 510, 510));
}

TEST(FlowScreenModel, RemovingAVideoCancelsItsCompressionThroughTheDocumentsManager)
{
    auto recorder = std::make_shared<RecordingCompressionManager>();
    VideoCompressionManager::registerFactory([recorder](const auto&) { return recorder; });
    auto document = ZERI_TessarineModel::create();
    auto screen = ZERI_FlowScreenModel::create();
    document->firstFlowmodel()->addFlowScreen(screen);
    auto video = addObject(screen, ZERI_MixedMediaObject::Video, QRectF(0, 0, 10, 10));
    auto asset = ZERI_ContentAsset::create();
    (*video)->setVideoAsset(asset);
    EXPECT_EQ(asset->videoCompressionManager(), recorder);
    screen->removeMixedMediaObject(video);
    VideoCompressionManager::registerFactory(nullptr);
    ASSERT_EQ(recorder->cancelled.size(), 1u);
    EXPECT_EQ(recorder->cancelled[0], asset);
    EXPECT_FALSE((*video)->parent());
    EXPECT_TRUE(std::dynamic_pointer_cast<InertVideoCompressionManager>(
        ZERI_TessarineModel::create()->documentVideoCompressionManager()));
}

TEST(FlowScreenModel, SideMenuSetUpAndPreviewFlags)
{
    auto screen = ZERI_FlowScreenModel::create();
    EXPECT_FALSE(screen->getSetupDictionaryArrayForOutletType("Color Picker", "Object"));
    const auto colour = screen->getSetupDictionaryArrayForOutletType("Color Picker", "Screen");
    ASSERT_TRUE(colour);
    ASSERT_EQ(colour->size(), 1);
    EXPECT_EQ(colour->at(0)[u"kQVR_CONTEXTUAL_MENU_COLOR_PROPERTY_KEY"_s], "observableColor");
    EXPECT_EQ(colour->at(0)[u"kQVR_CONTEXTUAL_MENU_ALPHA_PROPERTY_KEY"_s], false);
    EXPECT_EQ(colour->at(0)[u"kQVR_CONTEXTUAL_MENU_OBJECT_KEY"_s].value<ModelItemRef>().lock(), screen);
    const auto notes = screen->getSetupDictionaryArrayForOutletType("Big Text Field", "Screen");
    ASSERT_TRUE(notes);
    EXPECT_EQ(notes->at(0)[u"kQVR_CONTEXTUAL_MENU_BIG_TEXT_PROPERTY_KEY"_s], "presenterNotes");
    EXPECT_EQ(screen->getSetupDictionaryArrayForOutletType("Slider", "Screen")->size(), 0);

    auto shape = addObject(screen, ZERI_MixedMediaObject::Shape, QRectF(0, 0, 10, 10));
    EXPECT_EQ((*shape)
                  ->getSetupDictionaryArrayForOutletType("Color Picker", "Object")
                  ->at(0)[u"kQVR_CONTEXTUAL_MENU_ALPHA_PROPERTY_KEY"_s],
              true);

    // Built from its dictionary a screen is not invalidated; a visible edit invalidates it; a new preview clears it.
    screen->setPreviewInvalidated(false);
    auto readBack = ZERI_FlowScreenModel::initWithDict(screen->jsonDictionary());
    EXPECT_FALSE(readBack->previewInvalidated());
    (*readBack->mixedMediaObjects()[0])->setRotation(2);
    EXPECT_TRUE(readBack->previewInvalidated());
    readBack->setPreviewScreenShotAsset(ZERI_ContentAsset::create());
    EXPECT_FALSE(readBack->previewInvalidated());
    EXPECT_EQ(readBack->previewScreenShotAsset()->parent(), readBack);
}

TEST(MixedMediaObject, PasteboardCopyReadsBackAnEqualObject)
{
    auto screen = ZERI_FlowScreenModel::create();
    auto shape = addObject(screen, ZERI_MixedMediaObject::Shape, QRectF(10, 20, 30, 40));
    shape->as<ZERI_MMObject_Shape>()->setShapeType(ZERI_MMObject_Shape::Octagon);
    shape->as<ZERI_MMObject_Shape>()->setColor(Qt::red);

    ZERI_MixedMediaObject::pasteboardCopyObject(shape);
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_TRUE(data);
    EXPECT_TRUE(data->hasFormat("com.tessarine.mixedMediaObjectPasteboardType"));

    const auto pasted = ZERI_MixedMediaObject::pasteboardReadObjects();
    ASSERT_EQ(pasted.size(), 1u);
    QJsonObject expected = (*shape)->jsonDictionary();
    QJsonObject actual = (*pasted[0])->jsonDictionary();
    EXPECT_NE(actual[u"id"_s], expected[u"id"_s]) << "a pasted object is a new object";
    expected.remove("id");
    actual.remove("id");
    EXPECT_EQ(actual, expected);

    ZERI_MixedMediaObject::pasteboardCutObject(shape);
    EXPECT_TRUE(screen->mixedMediaObjects().empty());
    EXPECT_EQ(ZERI_MixedMediaObject::pasteboardReadObjects().size(), 1u);
}

TEST(MixedMediaObject, NewObjectsHaveNeutralDefaultsAndOnlyTableTypes)
{
    auto image = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Image);
    EXPECT_EQ((*image)->zoomOffset(), QSizeF(0, 0));
    EXPECT_FALSE((*image)->zoomScale());
    EXPECT_EQ((*image)->rotation(), 0);
    EXPECT_EQ((*image)->jsonDictionary()[u"zoomOffset"_s].toObject(),
              QJsonObject({{"width", "0.0"}, {"height", "0.0"}}));
    EXPECT_FALSE((*image)->internalID().isEmpty());

    for (int type : {-1, 8, 10, 42})
        EXPECT_FALSE(ZERI_MixedMediaObject::objectWithType(type)) << type;
    for (int type : {0, 1, 2, 3, 4, 5, 6, 7, 9}) {
        const auto object = ZERI_MixedMediaObject::objectWithType(type);
        ASSERT_TRUE(object) << type;
        EXPECT_EQ(object->type(), type);
        EXPECT_EQ((*object)->isLinkable(), type == 2 || type == 4 || type == 7) << type;
    }
    const auto empty = ZERI_MixedMediaObject::initWithDict({});
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->type(), 0);

    // Invalid frames are refused; a thin frame is still a frame.
    (*image)->setFrame(QRectF(0, 0, 10, 10));
    (*image)->setFrame(QRectF(0, 0, -5, 10));
    (*image)->setFrame(QRectF(qQNaN(), 0, 5, 10));
    EXPECT_EQ((*image)->frame(), QRectF(0, 0, 10, 10));
    (*image)->setFrame(QRectF(0, 0, 0, 10));
    EXPECT_EQ((*image)->frame(), QRectF(0, 0, 0, 10));
}

TEST(FlowScreenModel, PreviewsArriveOnTheMainThreadFromAnyThread)
{
    auto screen = ZERI_FlowScreenModel::create();
    screen->setPreviewInvalidated(true);

    // A generator thread sets the preview; the tree is changed on the main thread while the worker waits.
    auto preview = ZERI_ContentAsset::create();
    std::atomic<bool> finished = false;
    std::thread worker([&] {
        screen->setPreviewScreenShotAsset(preview);
        finished = true;
    });
    ASSERT_TRUE(spinUntil([&] { return finished.load(); }));
    worker.join();
    EXPECT_EQ(screen->previewScreenShotAsset(), preview);
    EXPECT_FALSE(screen->previewInvalidated());
    EXPECT_EQ(preview->parent(), screen);

    // With the inert provider the fetch ends at once; the notification carries no image for an asset without a file.
    int posted = 0;
    QVariantMap userInfo;
    NotificationObservation observation(ZERI_FlowScreenModel::kPreviewScreenshotGetNotification, screen.get(),
                                        [&](const Notification& notification) {
                                            ++posted;
                                            userInfo = notification.userInfo;
                                        });
    screen->getScreenPreviewImages();
    EXPECT_TRUE(screen->gettingScreenPreview());
    screen->getScreenPreviewImages(); // already fetching: ignored
    ASSERT_TRUE(spinUntil([&] { return posted > 0; }));
    drainEvents();
    EXPECT_EQ(posted, 1);
    EXPECT_FALSE(screen->gettingScreenPreview());
    EXPECT_FALSE(userInfo.contains("PreviewScreenImageRef"));
}
