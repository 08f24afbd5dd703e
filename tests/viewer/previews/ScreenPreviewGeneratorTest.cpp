#include <cmath>
#include <limits>

#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QSemaphore>

#include <gtest/gtest.h>

#include "PreviewTestSupport.h"
#include "foundation/SafeDictionary.h"
#include "foundation/Tessutils.h"
#include "storage/ContentItemDeletionQueue.h"
#include "support/TestPictures.h"
#include "support/fakeservice/FakeWebService.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "viewer/previews/PreviewRenderThread.h"

using namespace previewtest;

namespace {

class RecordingDeletionQueue : public ContentItemDeletionQueue {
public:
    void enqueueDeleteForContentItem(const QString& contentID) override { ids.append(contentID); }
    QStringList ids;
};

class ScreenPreviewGeneratorTest : public ::testing::Test {
protected:
    ScopedPreviewEnvironment environment;
};

struct Pictures {
    QImage normal;
    QImage textless;
};

Pictures screenshot(QVRScreenPreviewGenerator& generator)
{
    Pictures pictures;
    bool done = false;
    generator.generateScreenshotDirectly([&](const QImage& normal, const QImage& textless) {
        pictures = {normal, textless};
        done = true;
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return done; }, 5000));
    return pictures;
}

// Gives every screen of the document stored previews and waits for them.
void storePreviews(ZERI_TessarineModel& document)
{
    for (const auto& screen : document.firstFlowmodel()->screenModels()) {
        QVRScreenPreviewGenerator generator(screen);
        requestAndWait(generator);
    }
}

} // namespace

TEST_F(ScreenPreviewGeneratorTest, TextlessPictureDiffersFromTheNormalOneOnlyInsideTheTextFrame)
{
    auto document = ZERI_TessarineModel::create();
    auto screen = makeScreen();
    document->firstFlowmodel()->addFlowScreen(screen);
    QVRScreenPreviewGenerator generator(screen);
    const Pictures pictures = screenshot(generator);
    ASSERT_EQ(pictures.normal.size(), QSize(1024, 748));
    ASSERT_EQ(pictures.textless.size(), QSize(1024, 748));

    const QRect text = kTextFrame.toAlignedRect();
    bool textDrawn = false;
    for (int y = 0; y < 748; y += 3) {
        for (int x = 0; x < 1024; x += 3) {
            const QColor normal = pictures.normal.pixelColor(x, y);
            const QColor textless = pictures.textless.pixelColor(x, y);
            if (text.contains(x, y)) {
                ASSERT_EQ(textless, kBackground) << x << "," << y;
                textDrawn = textDrawn || normal != kBackground;
            } else {
                ASSERT_EQ(normal, textless) << x << "," << y;
            }
        }
    }
    EXPECT_TRUE(textDrawn);
    EXPECT_EQ(pictures.normal.pixelColor(kShapeFrame.center().toPoint()), kShapeColour);
}

TEST_F(ScreenPreviewGeneratorTest, PictureSizeFollowsTheFlowAndAScreenWithoutColourIsWhite)
{
    auto document = ZERI_TessarineModel::create();
    document->firstFlowmodel()->setViewSize(QSizeF(800, 600));
    auto screen = makeScreen(QColor());
    document->firstFlowmodel()->addFlowScreen(screen);
    QVRScreenPreviewGenerator generator(screen);
    EXPECT_EQ(generator.getParentViewSizeForScale(0.5), QSizeF(400, 300));
    const Pictures pictures = screenshot(generator);
    ASSERT_EQ(pictures.normal.size(), QSize(800, 600));
    for (const QPoint corner : {QPoint(0, 0), QPoint(799, 0), QPoint(0, 599), QPoint(799, 599)})
        EXPECT_EQ(pictures.normal.pixelColor(corner), QColor(Qt::white)) << corner.x() << "," << corner.y();

    auto loose = makeScreen();
    QVRScreenPreviewGenerator looseGenerator(loose);
    EXPECT_EQ(screenshot(looseGenerator).normal.size(), QSize(1024, 748));
}

TEST_F(ScreenPreviewGeneratorTest, RequestsStoreTwoNewJpegsPerScreenAndTheDraftKeepsThem)
{
    auto document = makeSavedDocument(3);
    const auto package = packageOf(*document);
    ASSERT_TRUE(package);
    const QString assets = package->assetsPath();
    for (const auto& screen : document->firstFlowmodel()->screenModels()) {
        screen->setPreviewInvalidated(true);
        const QSet<QString> before = jpegFiles(assets);
        QVRScreenPreviewGenerator generator(screen);
        const auto received = requestAndWait(generator);
        ASSERT_EQ(received->calls, 1);

        const QSet<QString> added = jpegFiles(assets) - before;
        ASSERT_EQ(added.size(), 2);
        ASSERT_TRUE(received->preview && received->textless);
        EXPECT_EQ(received->preview, screen->previewScreenShotAsset());
        EXPECT_EQ(received->textless, screen->previewScreenShotAsset_textless());
        EXPECT_TRUE(added.contains(QFileInfo(received->preview->localFilePath()).fileName()));
        EXPECT_TRUE(added.contains(QFileInfo(received->textless->localFilePath()).fileName()));

        const QImage stored = QImage(received->preview->localFilePath());
        ASSERT_EQ(stored.size(), QSize(1024, 748));
        EXPECT_LE(meanDifference(stored, ModelDrawing::renderScreen(*screen)), 4.0);
        const QImage storedTextless = QImage(received->textless->localFilePath());
        EXPECT_LE(meanDifference(storedTextless, ModelDrawing::renderScreen(*screen, 1.0, false, false)), 4.0);
        EXPECT_FALSE(screen->previewInvalidated());
    }

    // The coalesced save writes the new assets into the draft.
    const auto draftHoldsPreviews = [&] {
        QFile draft(package->draftFilePath());
        if (!draft.open(QIODevice::ReadOnly))
            return false;
        const QByteArray text = draft.readAll();
        for (const auto& screen : document->firstFlowmodel()->screenModels()) {
            if (!text.contains(screen->previewScreenShotAsset()->internalID().toUtf8()) ||
                !text.contains(screen->previewScreenShotAsset_textless()->internalID().toUtf8()))
                return false;
        }
        return text.contains("\"previewScreenShot\"") && text.contains("\"previewScreenShot_textless\"");
    };
    EXPECT_TRUE(QTest::qWaitFor(draftHoldsPreviews, 3000));

    // Nothing changed: the stored previews are loaded, nothing is written.
    const QSet<QString> before = jpegFiles(assets);
    for (const auto& screen : document->firstFlowmodel()->screenModels()) {
        const auto old = screen->previewScreenShotAsset();
        QVRScreenPreviewGenerator generator(screen);
        const auto received = requestAndWait(generator);
        EXPECT_EQ(received->preview, old);
    }
    EXPECT_EQ(jpegFiles(assets), before);
}

// A screen drawn while its picture (an original only, on the service, as the service's documents carry it) is not on
// this computer yet: the preview stays marked as not current, also in the saved document for its next opening; the
// picture is fetched and the screen drawn again with it.
TEST_F(ScreenPreviewGeneratorTest, APreviewDrawnWithoutAPictureIsDrawnAgainOnceThePictureCame)
{
    FakeWebService service;
    ASSERT_TRUE(service.start());
    service.setContentDelay(400);
    auto document = makeSavedDocument(1);
    const auto screen = document->firstFlowmodel()->screenModels().front();
    auto image = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Image);
    image->object()->setFrame(QRectF(100, 100, 400, 300));
    auto original = ZERI_ContentAsset::create();
    original->setExternalURL(service.addContent(QStringLiteral("PHOTO"),
                                                pictureBytes(QSize(400, 300), QColor(250, 140, 20), "PNG"),
                                                QStringLiteral("photo.png")));
    image->object()->setOriginalImageAsset(original);
    screen->addMixedMediaObject(image);
    const auto middle = [&] {
        const auto preview = screen->previewScreenShotAsset();
        const QImage picture(preview ? preview->localFilePath() : QString());
        return picture.isNull() ? QColor() : picture.pixelColor(300, 250);
    };

    QVRScreenPreviewGenerator generator(screen);
    requestAndWait(generator);
    EXPECT_TRUE(screen->previewInvalidated()) << "a preview without its picture passed for current";
    EXPECT_NE(middle().rgb() & 0xffffff, QColor(250, 140, 20).rgb() & 0xffffff);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !screen->previewInvalidated() && middle().red() > 200; }, 15000))
        << middle().name().toStdString();
}

TEST_F(ScreenPreviewGeneratorTest, UnreadableStoredPreviewsAreDrawnAnew)
{
    auto document = makeSavedDocument(3);
    storePreviews(*document);
    const auto screens = document->firstFlowmodel()->screenModels();
    // Truncated, not an image at all, and a PNG under a JPEG name.
    const QString first = screens[0]->previewScreenShotAsset()->localFilePath();
    QFile truncated(first);
    ASSERT_TRUE(truncated.open(QIODevice::ReadWrite));
    ASSERT_TRUE(truncated.resize(truncated.size() / 2));
    truncated.close();
    QFile garbage(screens[1]->previewScreenShotAsset()->localFilePath());
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly | QIODevice::Truncate));
    garbage.write("this is not a picture");
    garbage.close();
    ASSERT_TRUE(QImage(screens[2]->previewScreenShotAsset()->localFilePath())
                    .save(screens[2]->previewScreenShotAsset()->localFilePath(), "PNG"));

    ScopedLogCapture log;
    for (const auto& screen : screens) {
        const auto old = screen->previewScreenShotAsset();
        QVRScreenPreviewGenerator generator(screen);
        const auto received = requestAndWait(generator);
        ASSERT_TRUE(received->preview);
        EXPECT_NE(received->preview, old);
        EXPECT_FALSE(QVRScreenPreviewGenerator::decodePreviewFile(received->preview->localFilePath()).isNull());
    }
    EXPECT_EQ(log.count(QStringLiteral("drawing it anew")), 3);
}

TEST_F(ScreenPreviewGeneratorTest, UndrawableViewSizesStoreNothingAndHandBackTheCurrentAssets)
{
    auto document = makeSavedDocument(1);
    storePreviews(*document);
    const auto screen = document->firstFlowmodel()->screenModels().front();
    const auto preview = screen->previewScreenShotAsset();
    const QString assets = packageOf(*document)->assetsPath();
    const QSet<QString> before = jpegFiles(assets);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (const QSizeF size : {QSizeF(0, 748), QSizeF(1024, 0), QSizeF(inf, 748), QSizeF(100000, 100000)}) {
        document->firstFlowmodel()->setViewSize(size);
        screen->setPreviewInvalidated(true);
        ScopedLogCapture log;
        QVRScreenPreviewGenerator generator(screen);
        const auto received = requestAndWait(generator);
        EXPECT_EQ(received->calls, 1);
        EXPECT_EQ(received->preview, preview);
        EXPECT_TRUE(log.contains(QStringLiteral("cannot be drawn"))) << size.width() << "x" << size.height();
    }
    EXPECT_EQ(jpegFiles(assets), before);
    EXPECT_FALSE(QVRScreenPreviewGenerator::isDrawableSize(QSizeF(nan, 10)));
    EXPECT_FALSE(QVRScreenPreviewGenerator::isDrawableSize(QSizeF(-5, 10)));
}

TEST_F(ScreenPreviewGeneratorTest, AScreenGoneBeforeDrawingGetsNullAssetsOnce)
{
    auto screen = makeScreen();
    QVRScreenPreviewGenerator generator(screen);
    // Hold the render thread until the screen is gone.
    QSemaphore release;
    PreviewRenderThread::shared().async([&release] { release.acquire(); });
    auto received = std::make_shared<Received>();
    received->preview = ZERI_ContentAsset::create();
    generator.retreiveOrGenerateScreenPreviews(recordInto(received));
    screen.reset();
    release.release();
    EXPECT_TRUE(QTest::qWaitFor([&] { return received->calls > 0; }, 5000));
    QTest::qWait(100);
    EXPECT_EQ(received->calls, 1);
    EXPECT_FALSE(received->preview);
    EXPECT_FALSE(received->textless);
}

TEST_F(ScreenPreviewGeneratorTest, ReplacedPreviewsServerCopyIsQueuedOnlyOnceNothingReachesIt)
{
    auto queue = std::make_shared<RecordingDeletionQueue>();
    ContentItemDeletionQueue::registerQueue(queue);
    Tessutils::setCorvikUserDict(SafeDictionary(QJsonObject{{QStringLiteral("username"), QStringLiteral("ada")}}));

    const auto prepare = [](bool publish) {
        auto document = makeSavedDocument(1);
        auto package = packageOf(*document);
        package->metaData().setOwner(QJsonObject{{QStringLiteral("username"), QStringLiteral("ada")}});
        package->saveMetadata();
        storePreviews(*document);
        const auto screen = document->firstFlowmodel()->screenModels().front();
        screen->previewScreenShotAsset()->setCorvikContentID(QStringLiteral("c-old"));
        EXPECT_TRUE(package->saveModel());
        if (publish) {
            EXPECT_TRUE(package->savePublishedModelFromJSON(document->jsonData()));
        }
        screen->setPreviewInvalidated(true);
        QVRScreenPreviewGenerator generator(screen);
        const auto received = requestAndWait(generator);
        EXPECT_NE(received->preview->corvikContentID(), QStringLiteral("c-old"));
        return package;
    };

    auto owned = prepare(false);
    EXPECT_TRUE(owned->ownedByCurrentUser());
    EXPECT_TRUE(queue->ids.isEmpty()) << "queued at once";
    ASSERT_TRUE(owned->unloadModel());
    EXPECT_EQ(queue->ids, QStringList{QStringLiteral("c-old")});

    queue->ids.clear();
    auto published = prepare(true);
    ASSERT_TRUE(published->unloadModel());
    EXPECT_TRUE(queue->ids.isEmpty()) << "the published copy still shows it";

    ContentItemDeletionQueue::registerQueue(nullptr);
    Tessutils::setCorvikUserDict(std::nullopt);
}

TEST_F(ScreenPreviewGeneratorTest, AFailedStoreKeepsTheOldAssetAndFileAndTheScreenInvalidated)
{
    auto document = makeSavedDocument(1);
    storePreviews(*document);
    const auto screen = document->firstFlowmodel()->screenModels().front();
    const auto oldPreview = screen->previewScreenShotAsset();
    const auto oldTextless = screen->previewScreenShotAsset_textless();
    const QString oldFile = oldPreview->localFilePath();
    const QString oldTextlessFile = oldTextless->localFilePath();
    QVRScreenPreviewGenerator::setStoreDataForTesting(
        [](ZERI_ContentAsset&, const QByteArray&, const QString&, const QString&, Error*) { return false; });

    ScopedLogCapture log;
    screen->setPreviewInvalidated(true);
    QVRScreenPreviewGenerator generator(screen);
    const auto received = requestAndWait(generator);
    EXPECT_EQ(received->preview, oldPreview);
    EXPECT_EQ(received->textless, oldTextless);
    EXPECT_TRUE(QFileInfo::exists(oldFile));
    EXPECT_TRUE(QFileInfo::exists(oldTextlessFile));
    EXPECT_TRUE(screen->previewInvalidated());
    EXPECT_TRUE(log.contains(QStringLiteral("storeData failed for asset:")));
    EXPECT_TRUE(log.contains(QStringLiteral("storeData failed for textless screen preview asset:")));
}

TEST_F(ScreenPreviewGeneratorTest, RedrawingAReadOnlyCopyLeavesTheSourcePackageAlone)
{
    auto queue = std::make_shared<RecordingDeletionQueue>();
    ContentItemDeletionQueue::registerQueue(queue);
    Tessutils::setCorvikUserDict(SafeDictionary(QJsonObject{{QStringLiteral("username"), QStringLiteral("ada")}}));
    auto document = makeSavedDocument(2);
    packageOf(*document)->metaData().setOwner(QJsonObject{{QStringLiteral("username"), QStringLiteral("ada")}});
    storePreviews(*document);
    const QString assets = packageOf(*document)->assetsPath();
    const QSet<QString> sourceFiles = jpegFiles(assets);

    auto copy = document->readOnlyCopy();
    ASSERT_TRUE(copy);
    for (const auto& screen : copy->firstFlowmodel()->screenModels()) {
        screen->previewScreenShotAsset()->setCorvikContentID(QStringLiteral("c-copy"));
        screen->setPreviewInvalidated(true);
        QVRScreenPreviewGenerator generator(screen);
        const auto received = requestAndWait(generator);
        EXPECT_EQ(received->calls, 1);
    }
    EXPECT_TRUE(jpegFiles(assets).contains(sourceFiles));
    copy.reset();
    packageOf(*document)->cleanDirectories();
    EXPECT_TRUE(jpegFiles(assets).contains(sourceFiles));
    EXPECT_TRUE(queue->ids.isEmpty());
    ContentItemDeletionQueue::registerQueue(nullptr);
    Tessutils::setCorvikUserDict(std::nullopt);
}

// A request made after an edit that came while the screen was being drawn is answered with a picture of the edited
// screen, not with the one of the screen before the edit.
TEST_F(ScreenPreviewGeneratorTest, ARequestAfterAnEditMadeWhileDrawingGetsAPictureOfTheEditedScreen)
{
    auto document = makeSavedDocument(1);
    const auto screen = document->firstFlowmodel()->screenModels().front();
    screen->setPreviewInvalidated(true);
    QSemaphore started;
    QSemaphore goOn;
    QVRScreenPreviewGenerator::setDrawProbeForTesting([&](bool starting) {
        if (!starting)
            return;
        started.release();
        goOn.acquire();
    });
    QVRScreenPreviewGenerator generator(screen);
    auto first = std::make_shared<Received>();
    generator.retreiveOrGenerateScreenPreviews(recordInto(first));
    ASSERT_TRUE(QTest::qWaitFor([&] { return started.tryAcquire(); }, 5000));

    screen->setBackgroundColor(QColor(200, 30, 40));
    auto second = std::make_shared<Received>();
    generator.retreiveOrGenerateScreenPreviews(recordInto(second));
    goOn.release(2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return second->calls > 0; }, 10000));
    QVRScreenPreviewGenerator::setDrawProbeForTesting(nullptr);

    ASSERT_TRUE(second->preview);
    EXPECT_FALSE(screen->previewInvalidated());
    const QImage stored(second->preview->localFilePath());
    EXPECT_LE(meanDifference(stored, ModelDrawing::renderScreen(*screen)), 4.0) << "the picture is of the old screen";
    EXPECT_EQ(first->preview, second->preview) << "the waiting requests are answered together";
}

namespace {

// The files of the package's assets folder that its draft on disk does not name.
QStringList filesTheDraftDoesNotName(const ZERI_qvdFilePackage& package)
{
    QFile draft(package.draftFilePath());
    if (!draft.open(QIODevice::ReadOnly))
        return {QStringLiteral("(no draft)")};
    const auto onDisk = ZERI_TessarineModel::initWithJsonData(draft.readAll());
    if (!onDisk)
        return {QStringLiteral("(unreadable draft)")};
    QSet<QString> named;
    for (const auto& asset : onDisk->getAllContentAssets())
        named.insert(QFileInfo(asset->localFilePath()).fileName());
    QStringList strays;
    for (const QString& name : QDir(package.assetsPath()).entryList(QDir::Files | QDir::Hidden)) {
        if (!named.contains(name))
            strays.append(name);
    }
    return strays;
}

// The screen's preview, made now (drawn or loaded) as a request of the strip's would, and read from its file.
QImage currentPreview(const std::shared_ptr<ZERI_FlowScreenModel>& screen)
{
    QVRScreenPreviewGenerator generator(screen);
    const auto received = requestAndWait(generator);
    return received->preview ? QImage(received->preview->localFilePath()) : QImage();
}

} // namespace

// Moves and colour changes on every screen in turn, each followed by its previews, with undo and redo between:
// the replaced previews leave the folder as the draft naming their successors is written, while undo still shows
// each screen as it was restored.
TEST_F(ScreenPreviewGeneratorTest, AnEditingSessionLeavesNoFileTheDraftDoesNotNameAndUndoShowsTheRestoredScreen)
{
    auto document = makeSavedDocument(3);
    const auto package = packageOf(*document);
    ASSERT_TRUE(package);
    storePreviews(*document);
    const auto flow = document->firstFlowmodel();
    const auto edit = [&](const std::function<void()>& change) {
        flow->beginUndoableChanges();
        change();
        flow->endUndoableChanges();
    };
    for (int cycle = 0; cycle < 9; ++cycle) {
        const auto screen = flow->screenModels()[std::size_t(cycle % 3)];
        const auto shape = screen->mixedMediaObjects().front();
        edit([&] { shape->object()->setFrame(shape->object()->frame().translated(-60, 40)); });
        ASSERT_LE(meanDifference(currentPreview(screen), ModelDrawing::renderScreen(*screen)), 4.0);
        edit([&] { shape->as<ZERI_MMObject_Shape>()->setColor(QColor::fromHsv(cycle * 40, 200, 220)); });
        ASSERT_LE(meanDifference(currentPreview(screen), ModelDrawing::renderScreen(*screen)), 4.0);
        // The saves of the session write the draft meanwhile, so earlier previews have left before the undo.
        QTest::qWait(cycle % 2 ? 1300 : 0);
        ASSERT_TRUE(flow->undoManager().undo());
        ASSERT_LE(meanDifference(currentPreview(screen), ModelDrawing::renderScreen(*screen)), 4.0)
            << "cycle " << cycle << ": undo shows the screen as it was before the colour change";
        ASSERT_TRUE(flow->undoManager().undo());
        ASSERT_LE(meanDifference(currentPreview(screen), ModelDrawing::renderScreen(*screen)), 4.0)
            << "cycle " << cycle << ": undo shows the screen as it was before the move";
        ASSERT_TRUE(flow->undoManager().redo());
        ASSERT_LE(meanDifference(currentPreview(screen), ModelDrawing::renderScreen(*screen)), 4.0)
            << "cycle " << cycle << ": redo shows the screen moved";
    }
    EXPECT_EQ(flow->undoManager().undoCount(), 9);

    // Once the session's last save is on disk, the folder holds what the draft names and nothing else.
    QStringList strays;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            ZERI_qvdFilePackage::waitForDraftWrites();
            strays = filesTheDraftDoesNotName(*package);
            return !document->isSaveScheduled() && strays.isEmpty();
        },
        10000))
        << strays.size() << " file(s) the draft does not name: " << strays.join(u' ').toStdString();
    EXPECT_EQ(jpegFiles(package->assetsPath()).size(), 3 * 2);
}
