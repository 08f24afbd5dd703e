#include <gtest/gtest.h>

#include <cmath>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "MediaTestClips.h"
#include "elements/video/QVBVideoCompressionManager.h"
#include "elements/video/VideoAssetCompressor.h"
#include "platform/AppPaths.h"
#include "platform/MainThread.h"
#include "platform/NotificationCenter.h"
#include "storage/AssetFileReferences.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "tessarine_data_model/VideoAssetCompressorPreset.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

// Clips made once for the suite: re-encoding them to the Small preset must shrink "big" and "long" (lossless
// pictures) and not "thin" (100 kbit/s); "tone" has no pictures and 6 Mbit/s of sound.
struct Clips {
    QTemporaryDir dir;
    bool ok = false;
    QString path(const QString& name) const { return dir.filePath(name); }
};

Clips& clips()
{
    static Clips instance;
    static bool made = false;
    if (!made) {
        made = true;
        const QStringList lossless{"-qp", "0"};
        instance.ok = MediaTestClips::makeVideo(instance.path("big.mp4"), 640, 360, 1, 44100, lossless) &&
                      MediaTestClips::makeVideo(instance.path("long.mp4"), 640, 360, 4, 0, lossless) &&
                      MediaTestClips::makeVideo(instance.path("thin.mp4"), 640, 360, 1, 0, {"-b:v", "100k"}) &&
                      MediaTestClips::make(instance.path("tone.wav"),
                                           {"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=192000:duration=1",
                                            "-c:a", "pcm_s32le"});
        QFile text(instance.path("x.mp4"));
        instance.ok = instance.ok && text.open(QIODevice::WriteOnly) && text.write("this is not a movie\n") > 0;
    }
    return instance;
}

struct Event {
    QString name;
    const void* sender = nullptr;
    int count = 0; // contentAssetCount() when it was posted
    double progress = 0;
    bool hasError = false;
    Error error;
    bool busy = false; // anyManagerIsCompressing() when it was posted
};

class CompressionQueue : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ZERI_qvdFilePackage::registerWithDocumentModel();
        QVBVideoCompressionManager::registerWithDocumentModel();
    }
    static void TearDownTestSuite() { VideoCompressionManager::registerFactory(nullptr); }

    void SetUp() override
    {
        if (!MediaTestClips::toolsAvailable())
            GTEST_SKIP() << "ffmpeg and ffprobe are needed to make test clips";
        ASSERT_TRUE(clips().ok);
        ASSERT_TRUE(support.isValid() && temporary.isValid());
        AppPaths::setApplicationSupportForTesting(support.path());
        AppPaths::setTemporaryForTesting(temporary.path());
        ZERI_qvdFilePackage::resetForTesting();
        document = ZERI_TessarineModel::create();
        screen = ZERI_FlowScreenModel::create();
        document->firstFlowmodel()->addFlowScreen(screen);
        package = ZERI_qvdFilePackage::packageForNewModel(document);
        ASSERT_TRUE(package);
        manager = std::dynamic_pointer_cast<QVBVideoCompressionManager>(document->documentVideoCompressionManager());
        ASSERT_TRUE(manager);
        for (const QString& name :
             {QVBVideoCompressionManager::queuedNotification, QVBVideoCompressionManager::enqueueAbortedNotification,
              QVBVideoCompressionManager::willBeginNotification, QVBVideoCompressionManager::didProgressNotification,
              QVBVideoCompressionManager::didEndNotification}) {
            observations.emplace_back(name, nullptr, [this](const Notification& n) { record(n); });
        }
    }

    void TearDown() override
    {
        observations.clear();
        manager.reset();
        package.reset();
        screen.reset();
        document.reset();
        ZERI_qvdFilePackage::resetForTesting();
        AppPaths::setApplicationSupportForTesting(QString());
        AppPaths::setTemporaryForTesting(QString());
    }

    void record(const Notification& n)
    {
        Event event{n.name,
                    n.sender,
                    manager ? manager->contentAssetCount() : -1,
                    manager ? manager->progress() : 0,
                    n.userInfo.contains(QVBVideoCompressionManager::kVidoeAssetCompressionError),
                    {}};
        if (event.hasError)
            event.error = n.userInfo.value(QVBVideoCompressionManager::kVidoeAssetCompressionError).value<Error>();
        event.busy = QVBVideoCompressionManager::anyManagerIsCompressing();
        EXPECT_EQ(n.userInfo.value(QVBVideoCompressionManager::kVideoAssetCompressionManager)
                      .value<VideoCompressionManager*>(),
                  manager.get());
        events.push_back(event);
        // A copy: the handler may replace itself.
        if (const auto handler = onEvent)
            handler(event);
    }

    // A video element on the screen whose asset is a copy of the clip in the document's asset folder.
    std::shared_ptr<ZERI_ContentAsset> addVideo(const QString& clip, const QString& fileName)
    {
        const QString target = QDir(package->assetsPath()).filePath(fileName);
        EXPECT_TRUE(QFile::copy(clips().path(clip), target));
        return addVideoAt(QUrl::fromLocalFile(target), fileName);
    }
    std::shared_ptr<ZERI_ContentAsset> addVideoAt(const QUrl& url, const QString& sourceName)
    {
        auto object = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Video);
        auto asset = ZERI_ContentAsset::create();
        asset->setExternalURL(url);
        asset->setSourceFileName(sourceName);
        (*object)->setVideoAsset(asset);
        (*object)->setFrame(QRectF(10, 10, 320, 180));
        screen->addMixedMediaObject(object);
        objects.push_back(object);
        return asset;
    }

    int countOf(const QString& name, const void* sender = nullptr) const
    {
        return int(std::count_if(events.begin(), events.end(),
                                 [&](const Event& e) { return e.name == name && (!sender || e.sender == sender); }));
    }
    const Event* find(const QString& name, const void* sender) const
    {
        for (const Event& e : events) {
            if (e.name == name && e.sender == sender)
                return &e;
        }
        return nullptr;
    }
    bool waitFor(const QString& name, const void* sender, int milliseconds = 60000)
    {
        return QTest::qWaitFor([&] { return find(name, sender) != nullptr; }, milliseconds);
    }
    bool waitIdle(int milliseconds = 60000)
    {
        return QTest::qWaitFor([&] { return manager->contentAssetCount() == 0; }, milliseconds);
    }
    QStringList movFiles() const { return QDir(package->assetsPath()).entryList({"*.mov"}, QDir::Files); }
    QByteArray draft() const
    {
        QFile file(package->draftFilePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // Cancels (or runs `action`) once the running clip has come 30 % of the way.
    void atThirtyPercent(std::function<void()> action)
    {
        onEvent = [this, action](const Event& e) {
            if (e.name == QVBVideoCompressionManager::didProgressNotification && e.progress >= 0.3) {
                onEvent = nullptr;
                action();
            }
        };
    }

    // Lets go of the document, as a closed window does.
    void closeDocument()
    {
        objects.clear();
        screen.reset();
        manager.reset();
        document.reset();
        package.reset();
        ZERI_qvdFilePackage::resetForTesting();
    }
    // Opens the package again, as the next opening does; the asset of that id in it (none on failure).
    std::shared_ptr<ZERI_ContentAsset> reopen(const QString& packageID, const QString& assetID)
    {
        package = ZERI_qvdFilePackage::packageForID(packageID);
        if (!package || !package->loadModel())
            return nullptr;
        document = package->model();
        manager = std::dynamic_pointer_cast<QVBVideoCompressionManager>(document->documentVideoCompressionManager());
        for (const auto& asset : document->getAllContentAssets()) {
            if (manager && asset->internalID() == assetID)
                return asset;
        }
        return nullptr;
    }

    QTemporaryDir support;
    QTemporaryDir temporary;
    std::shared_ptr<ZERI_TessarineModel> document;
    std::shared_ptr<ZERI_FlowScreenModel> screen;
    std::shared_ptr<ZERI_qvdFilePackage> package;
    std::shared_ptr<QVBVideoCompressionManager> manager;
    std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>> objects;
    std::vector<NotificationObservation> observations;
    std::vector<Event> events;
    std::function<void(const Event&)> onEvent;
};

TEST_F(CompressionQueue, RunsOneAtATimeInOrderAndReplacesEachSourceOnlyOnceTheDraftNamesItsOutput)
{
    const auto small = VideoAssetCompressorPreset::small480p();
    const auto a = addVideo("big.mp4", "a.mp4");
    const auto b = addVideo("big.mp4", "b.mp4");
    const auto c = addVideo("big.mp4", "c.mp4");
    const QString sourceA = a->localFilePath();
    const QString sourceB = b->localFilePath();
    const QString sourceC = c->localFilePath();

    manager->enqueueCompressionForContentAsset(a, small);
    manager->enqueueCompressionForContentAsset(b, small);
    manager->enqueueCompressionForContentAsset(c, small);
    // Joined at once, while the files are measured off the main thread.
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(manager->contentAssetCount(), 3);
    EXPECT_TRUE(manager->hasAsset(b));
    EXPECT_TRUE(manager->isMeasuring(a));
    EXPECT_FALSE(manager->currentlyCompressingAsset()) << "a run started on an asset still being measured";

    ASSERT_TRUE(waitFor(QVBVideoCompressionManager::queuedNotification, c.get()));
    ASSERT_EQ(countOf(QVBVideoCompressionManager::queuedNotification), 3);
    EXPECT_EQ(countOf(QVBVideoCompressionManager::willBeginNotification), 1);
    ASSERT_TRUE(find(QVBVideoCompressionManager::willBeginNotification, a.get()));
    EXPECT_EQ(find(QVBVideoCompressionManager::willBeginNotification, a.get())->count, 3);
    EXPECT_EQ(manager->currentlyCompressingAsset(), a);
    EXPECT_EQ(b->videoCompressionPreset(), small);
    // The current and the queued assets are not queued twice, nor do they take another preset.
    const size_t beforeAgain = events.size();
    manager->enqueueCompressionForContentAsset(a, VideoAssetCompressorPreset::medium720p());
    manager->enqueueCompressionForContentAsset(c, VideoAssetCompressorPreset::medium720p());
    EXPECT_EQ(events.size(), beforeAgain);
    EXPECT_EQ(a->videoCompressionPreset(), small);
    EXPECT_EQ(c->videoCompressionPreset(), small);
    EXPECT_EQ(manager->contentAssetCount(), 3);

    // A queued asset leaves silently and keeps its preset.
    const size_t before = events.size();
    manager->cancelCompressionForContentAsset(b);
    EXPECT_EQ(events.size(), before);
    EXPECT_FALSE(manager->hasAsset(b));

    ASSERT_TRUE(waitFor(QVBVideoCompressionManager::didEndNotification, c.get()));
    const Event* beginC = find(QVBVideoCompressionManager::willBeginNotification, c.get());
    const Event* endC = find(QVBVideoCompressionManager::didEndNotification, c.get());
    ASSERT_TRUE(beginC && endC);
    EXPECT_GT(beginC, find(QVBVideoCompressionManager::didEndNotification, a.get())) << "C ran after A";
    EXPECT_EQ(beginC->count, 1);
    EXPECT_EQ(endC->count, 0);
    EXPECT_FALSE(endC->hasError) << endC->error.description().toStdString();
    EXPECT_EQ(countOf(QVBVideoCompressionManager::willBeginNotification, b.get()), 0);
    EXPECT_EQ(countOf(QVBVideoCompressionManager::didEndNotification), 2);
    // Between A's run and C's the application is still busy with videos: C waits its turn.
    EXPECT_TRUE(find(QVBVideoCompressionManager::didEndNotification, a.get())->busy);
    EXPECT_FALSE(endC->busy);

    // Progress: the last value always reaches the observers before the run ends, and posts are thinned out.
    for (const auto& asset : {a, c}) {
        const Event* last = nullptr;
        for (const Event& e : events) {
            if (e.sender == asset.get() && e.name == QVBVideoCompressionManager::didProgressNotification)
                last = &e;
        }
        ASSERT_TRUE(last);
        EXPECT_GE(last->progress, 0.95);
        EXPECT_LT(countOf(QVBVideoCompressionManager::didProgressNotification, asset.get()), 25)
            << "one post per frame";
    }

    // The draft is written, then the source deleted, in the turns after the did-end.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !QFileInfo::exists(sourceC); }, 5000));
    const QByteArray savedDraft = draft();
    for (const auto& [asset, source] : {std::pair{a, sourceA}, std::pair{c, sourceC}}) {
        const QString output = asset->localFilePath();
        EXPECT_EQ(QFileInfo(output).absolutePath(), QFileInfo(package->assetsPath()).absoluteFilePath());
        EXPECT_TRUE(output.endsWith(".mov"));
        EXPECT_FALSE(asset->videoCompressionPreset());
        EXPECT_FALSE(QFileInfo::exists(source)) << "source of a finished run kept";
        EXPECT_EQ(AssetFileReferences::referenceCount(output), 0);
        EXPECT_TRUE(savedDraft.contains(QFileInfo(output).fileName().toUtf8())) << "draft does not name the output";
        const MediaTestClips::Probe probe = MediaTestClips::probe(output);
        ASSERT_TRUE(probe.ok);
        const MediaTestClips::Stream* video = probe.first("video");
        ASSERT_TRUE(video);
        EXPECT_EQ(video->codecName, "h264");
        EXPECT_EQ(video->width, 854);
        EXPECT_EQ(video->height, 480);
    }
    EXPECT_EQ(movFiles().size(), 2);
    EXPECT_TRUE(QFileInfo::exists(sourceB));
    EXPECT_EQ(b->localFilePath(), sourceB);
    EXPECT_EQ(b->videoCompressionPreset(), small);
}

TEST_F(CompressionQueue, AVideoAlreadySmallEnoughIsRefusedAndLosesItsPreset)
{
    const auto thin = addVideo("thin.mp4", "thin.mp4");
    manager->enqueueCompressionForContentAsset(thin, VideoAssetCompressorPreset::small480p());
    ASSERT_TRUE(waitFor(QVBVideoCompressionManager::enqueueAbortedNotification, thin.get()));
    EXPECT_EQ(countOf(QVBVideoCompressionManager::queuedNotification), 0);
    EXPECT_FALSE(thin->videoCompressionPreset());
    EXPECT_FALSE(thin->jsonDictionary().contains("videoCompressionPreset"));
    EXPECT_EQ(manager->contentAssetCount(), 0);

    // Without a bit rate there is no estimate, so nothing is refused.
    auto noBitrate = std::make_shared<VideoAssetCompressorPreset>();
    noBitrate->setOutputHeight(240);
    manager->enqueueCompressionForContentAsset(thin, noBitrate);
    ASSERT_TRUE(waitFor(QVBVideoCompressionManager::queuedNotification, thin.get()));
    EXPECT_EQ(thin->videoCompressionPreset(), noBitrate);
    ASSERT_TRUE(waitFor(QVBVideoCompressionManager::didEndNotification, thin.get()));
}

TEST(CompressionEstimate, UnknownOrEndlessDurationsGiveNoEstimate)
{
    const auto small = VideoAssetCompressorPreset::small480p();
    EXPECT_EQ(QVBVideoCompressionManager::estimateFromDuration(2.0, small), 4096000);
    EXPECT_EQ(QVBVideoCompressionManager::estimateFromDuration(std::nan(""), small), 0);
    EXPECT_EQ(QVBVideoCompressionManager::estimateFromDuration(INFINITY, small), 0);
    EXPECT_EQ(QVBVideoCompressionManager::estimateFromDuration(2.0, nullptr), 0);
    EXPECT_EQ(QVBVideoCompressionManager::estimateFromDuration(2.0, std::make_shared<VideoAssetCompressorPreset>()), 0);
    EXPECT_EQ(QVBVideoCompressionManager::compressedSizeOfFile("/nonexistent/clip.mp4", small), 0);
}

TEST_F(CompressionQueue, AssetsWithoutALocalFileOrAnAssetFolderAreDroppedSilentlyKeepingTheirPreset)
{
    const auto small = VideoAssetCompressorPreset::small480p();
    manager->enqueueCompressionForContentAsset(nullptr, small);
    manager->cancelCompressionForContentAsset(nullptr);
    manager->cancelCompressionForContentAsset(ZERI_ContentAsset::create());

    const auto remote = addVideoAt(QUrl("http://127.0.0.1:9/clip.mp4"), "clip.mp4");
    const auto missing = addVideoAt(QUrl::fromLocalFile(package->assetsPath() + "/gone.mp4"), "gone.mp4");
    const auto folder = addVideoAt(QUrl::fromLocalFile(package->assetsPath()), "assets");
    // Not in any document: no asset folder to write into.
    auto homeless = ZERI_ContentAsset::create();
    homeless->setExternalURL(QUrl::fromLocalFile(clips().path("big.mp4")));
    const std::vector<std::shared_ptr<ZERI_ContentAsset>> dropped{remote, missing, folder, homeless};
    const auto medium = VideoAssetCompressorPreset::medium720p();
    for (const auto& asset : dropped) {
        asset->setVideoCompressionPreset(medium);
        manager->enqueueCompressionForContentAsset(asset, small);
        manager->enqueueCompressionForContentAsset(asset, medium); // already queued: nothing
    }
    EXPECT_EQ(manager->contentAssetCount(), 4);
    ASSERT_TRUE(waitIdle());
    QTest::qWait(20);
    EXPECT_TRUE(events.empty());
    // The preset they were queued with, recorded when they joined.
    for (const auto& asset : dropped)
        EXPECT_EQ(asset->videoCompressionPreset(), small);
    EXPECT_TRUE(movFiles().isEmpty());
    EXPECT_TRUE(QFileInfo::exists(clips().path("big.mp4")));
}

TEST_F(CompressionQueue, FilesTheCompressorCannotReadEndWithTheErrorKeepTheSourceAndLeaveNoOutput)
{
    const auto text = addVideo("x.mp4", "x.mp4");
    // Sound only, but larger than a re-encoding would be, so it is not refused.
    const auto sound = addVideo("tone.wav", "tone.wav");
    const QString textPath = text->localFilePath();
    const QString soundPath = sound->localFilePath();
    manager->enqueueCompressionForContentAsset(text, VideoAssetCompressorPreset::small480p());
    manager->enqueueCompressionForContentAsset(sound, VideoAssetCompressorPreset::small480p());
    ASSERT_TRUE(waitFor(QVBVideoCompressionManager::didEndNotification, sound.get()));
    for (const auto& [asset, path] : {std::pair{text, textPath}, std::pair{sound, soundPath}}) {
        const Event* end = find(QVBVideoCompressionManager::didEndNotification, asset.get());
        ASSERT_TRUE(end);
        EXPECT_TRUE(end->hasError);
        EXPECT_FALSE(end->error.domain.isEmpty());
        EXPECT_FALSE(asset->videoCompressionPreset()) << "a failed asset is not retried";
        EXPECT_EQ(asset->localFilePath(), path);
        EXPECT_TRUE(QFileInfo::exists(path));
    }
    EXPECT_TRUE(movFiles().isEmpty());
}

TEST_F(CompressionQueue, ACancelAtThirtyPercentKeepsSourceUrlAndPresetAndRemovesTheOutput)
{
    const auto clip = addVideo("long.mp4", "long.mp4");
    const QString source = clip->localFilePath();
    QString output;
    atThirtyPercent([&] {
        output = manager->currentOutputPath();
        EXPECT_TRUE(QFileInfo::exists(output));
        manager->cancelCompressionForContentAsset(clip);
    });
    manager->enqueueCompressionForContentAsset(clip, VideoAssetCompressorPreset::small480p());
    ASSERT_TRUE(waitFor(QVBVideoCompressionManager::willBeginNotification, clip.get()));
    ASSERT_TRUE(waitIdle());
    ASSERT_FALSE(output.isEmpty());
    QTest::qWait(20);
    EXPECT_EQ(countOf(QVBVideoCompressionManager::didEndNotification), 0);
    EXPECT_FALSE(QFileInfo::exists(output));
    EXPECT_EQ(AssetFileReferences::referenceCount(output), 0);
    EXPECT_EQ(clip->localFilePath(), source);
    EXPECT_TRUE(QFileInfo::exists(source));
    EXPECT_EQ(clip->videoCompressionPreset(), VideoAssetCompressorPreset::small480p());
    EXPECT_TRUE(movFiles().isEmpty());

    // The next opening resumes it.
    manager->resumeCompressionForAssetsOfDataModelItem(document);
    ASSERT_TRUE(waitFor(QVBVideoCompressionManager::didEndNotification, clip.get()));
    EXPECT_FALSE(find(QVBVideoCompressionManager::didEndNotification, clip.get())->hasError);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !QFileInfo::exists(source); }, 5000));
}

TEST_F(CompressionQueue, AnOutputReplacedMidRunInterruptsTheRunWhichGoesFirstAgainWithItsPreset)
{
    const auto small = VideoAssetCompressorPreset::small480p();
    const auto first = addVideo("long.mp4", "first.mp4");
    const auto second = addVideo("big.mp4", "second.mp4");
    const QString source = first->localFilePath();
    QString taken;
    int countAtRestart = -1;
    std::shared_ptr<VideoAssetCompressorPreset> presetAtRestart;
    atThirtyPercent([&] {
        // Another program puts its own file where the run writes.
        taken = manager->currentOutputPath();
        EXPECT_TRUE(QFile::remove(taken));
        QFile other(taken);
        EXPECT_TRUE(other.open(QIODevice::WriteOnly));
        other.write("not the re-encoding");
        onEvent = [&](const Event& e) {
            if (e.name == QVBVideoCompressionManager::willBeginNotification && e.sender == first.get()) {
                countAtRestart = e.count;
                presetAtRestart = first->videoCompressionPreset();
            }
        };
    });
    manager->enqueueCompressionForContentAsset(first, small);
    manager->enqueueCompressionForContentAsset(second, small);
    ASSERT_TRUE(waitFor(QVBVideoCompressionManager::didEndNotification, second.get()));

    // Back at the head of the queue, silently, with its preset: it ran again before the asset queued after it.
    EXPECT_EQ(countOf(QVBVideoCompressionManager::willBeginNotification, first.get()), 2);
    EXPECT_EQ(countOf(QVBVideoCompressionManager::didEndNotification, first.get()), 1);
    EXPECT_EQ(countAtRestart, 2);
    EXPECT_EQ(presetAtRestart, small);
    const Event* endFirst = find(QVBVideoCompressionManager::didEndNotification, first.get());
    ASSERT_TRUE(endFirst);
    EXPECT_FALSE(endFirst->hasError) << endFirst->error.description().toStdString();
    EXPECT_LT(endFirst, find(QVBVideoCompressionManager::willBeginNotification, second.get()));
    EXPECT_FALSE(find(QVBVideoCompressionManager::didEndNotification, second.get())->hasError);

    // Re-encoded in the end; the other program's file is left as it was.
    EXPECT_FALSE(first->videoCompressionPreset());
    EXPECT_TRUE(first->localFilePath().endsWith(".mov"));
    EXPECT_NE(first->localFilePath(), taken);
    EXPECT_TRUE(MediaTestClips::probe(first->localFilePath()).first("video"));
    QFile other(taken);
    ASSERT_TRUE(other.open(QIODevice::ReadOnly));
    EXPECT_EQ(other.readAll(), QByteArray("not the re-encoding"));
    EXPECT_EQ(AssetFileReferences::referenceCount(taken), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !QFileInfo::exists(source); }, 5000));
}

TEST_F(CompressionQueue, AnAssetInterruptedThreeTimesInARowEndsWithTheErrorAndKeepsItsPreset)
{
    const auto small = VideoAssetCompressorPreset::small480p();
    const auto clip = addVideo("long.mp4", "long.mp4");
    const QString source = clip->localFilePath();
    // Every run's output is removed once the run is 30 % of the way.
    QString removedFor;
    onEvent = [&](const Event& e) {
        const QString output = manager->currentOutputPath();
        if (e.name == QVBVideoCompressionManager::didProgressNotification && e.progress >= 0.3 &&
            output != removedFor) {
            removedFor = output;
            EXPECT_TRUE(QFile::remove(output));
        }
    };
    manager->enqueueCompressionForContentAsset(clip, small);
    ASSERT_TRUE(waitFor(QVBVideoCompressionManager::didEndNotification, clip.get()));
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(countOf(QVBVideoCompressionManager::willBeginNotification, clip.get()),
              QVBVideoCompressionManager::kMaxInterruptionsInARow);
    const Event* end = find(QVBVideoCompressionManager::didEndNotification, clip.get());
    ASSERT_TRUE(end->hasError);
    EXPECT_EQ(end->error.code, QVBVideoCompressionManager::kOperationInterruptedCode);
    EXPECT_EQ(end->count, 0);
    // Not the file's fault: everything is kept for the next opening.
    EXPECT_EQ(clip->videoCompressionPreset(), small);
    EXPECT_EQ(clip->localFilePath(), source);
    EXPECT_TRUE(QFileInfo::exists(source));
    EXPECT_TRUE(movFiles().isEmpty());

    onEvent = nullptr;
    manager->resumeCompressionForAssetsOfDataModelItem(document);
    ASSERT_TRUE(QTest::qWaitFor([&] { return countOf(QVBVideoCompressionManager::didEndNotification) == 2; }, 60000));
    EXPECT_FALSE(events.back().hasError) << events.back().error.description().toStdString();
    EXPECT_TRUE(clip->localFilePath().endsWith(".mov"));
}

TEST_F(CompressionQueue, AnAssetDroppedWhileItsFileIsMeasuredIsResumedAtTheNextOpening)
{
    const auto clip = addVideo("big.mp4", "big.mp4");
    const QString assetID = clip->internalID();
    ASSERT_FALSE(clip->videoCompressionPreset());
    manager->enqueueCompressionForContentAsset(clip, VideoAssetCompressorPreset::small480p());
    ASSERT_TRUE(manager->isMeasuring(clip));
    // The window closes before the measurement is back.
    manager->cancelEverything();
    EXPECT_FALSE(manager->hasAsset(clip));
    EXPECT_EQ(clip->videoCompressionPreset(), VideoAssetCompressorPreset::small480p());
    QTest::qWait(50);
    EXPECT_TRUE(events.empty()) << "a dropped asset is not announced";
    ASSERT_TRUE(package->saveModel());
    const QString packageID = package->packageID();
    closeDocument();

    const auto reopened = reopen(packageID, assetID);
    ASSERT_TRUE(reopened);
    manager->resumeCompressionForAssetsOfDataModelItem(document);
    ASSERT_TRUE(waitFor(QVBVideoCompressionManager::didEndNotification, reopened.get()));
    EXPECT_FALSE(find(QVBVideoCompressionManager::didEndNotification, reopened.get())->hasError);
    EXPECT_TRUE(reopened->localFilePath().endsWith(".mov"));
}

TEST_F(CompressionQueue, CleaningThePackageMidRunKeepsTheOutputBeingWritten)
{
    const auto clip = addVideo("long.mp4", "long.mp4");
    QString output;
    atThirtyPercent([&] {
        output = manager->currentOutputPath();
        package->cleanDirectories();
        EXPECT_TRUE(QFileInfo::exists(output)) << "the package clean removed the file being written";
    });
    manager->enqueueCompressionForContentAsset(clip, VideoAssetCompressorPreset::small480p());
    ASSERT_TRUE(waitFor(QVBVideoCompressionManager::didEndNotification, clip.get()));
    const Event* end = find(QVBVideoCompressionManager::didEndNotification, clip.get());
    EXPECT_FALSE(end->hasError) << end->error.description().toStdString();
    EXPECT_EQ(clip->localFilePath(), output);
    // Still before the draft naming it is written: the count keeps it.
    package->cleanDirectories();
    EXPECT_TRUE(QFileInfo::exists(output));
    ASSERT_TRUE(QTest::qWaitFor([&] { return AssetFileReferences::referenceCount(output) == 0; }, 5000));
    package->cleanDirectories();
    EXPECT_TRUE(QFileInfo::exists(output)) << "the draft does not name the output";
}

TEST_F(CompressionQueue, RemovingTheElementCancelsAndUndoQueuesTheRestoredAssetAgain)
{
    const auto clip = addVideo("long.mp4", "long.mp4");
    const QString source = clip->localFilePath();
    const auto flow = document->firstFlowmodel();
    atThirtyPercent([&] {
        flow->beginUndoableChanges();
        screen->removeMixedMediaObject(objects.front());
        flow->endUndoableChanges();
    });
    manager->enqueueCompressionForContentAsset(clip, VideoAssetCompressorPreset::small480p());
    ASSERT_TRUE(waitFor(QVBVideoCompressionManager::willBeginNotification, clip.get()));
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(countOf(QVBVideoCompressionManager::didEndNotification), 0);
    EXPECT_TRUE(QFileInfo::exists(source)) << "the undo step keeps the source";
    EXPECT_TRUE(movFiles().isEmpty());

    events.clear();
    ASSERT_TRUE(flow->undoManager().undo());
    ASSERT_EQ(screen->mixedMediaObjects().size(), 1u);
    const auto restored = (*screen->mixedMediaObjects().front())->videoAsset();
    ASSERT_TRUE(restored);
    ASSERT_TRUE(waitFor(QVBVideoCompressionManager::queuedNotification, restored.get()));
    ASSERT_TRUE(waitFor(QVBVideoCompressionManager::didEndNotification, restored.get()));
    EXPECT_FALSE(find(QVBVideoCompressionManager::didEndNotification, restored.get())->hasError);
    EXPECT_TRUE(restored->localFilePath().endsWith(".mov"));
    EXPECT_TRUE(QFileInfo::exists(restored->localFilePath()));
}

TEST_F(CompressionQueue, ADocumentClosedMidRunStopsTheRunRemovesTheOutputAndPostsNothingMore)
{
    const auto clip = addVideo("long.mp4", "long.mp4");
    const QString source = clip->localFilePath();
    QString output;
    std::weak_ptr<ZERI_TessarineModel> weakDocument = document;
    std::weak_ptr<QVBVideoCompressionManager> weakManager = manager;
    size_t eventsAtClose = 0;
    atThirtyPercent([&] {
        output = manager->currentOutputPath();
        eventsAtClose = events.size();
        MainThread::run([&] { closeDocument(); }, false);
    });
    manager->enqueueCompressionForContentAsset(clip, VideoAssetCompressorPreset::small480p());
    ASSERT_TRUE(QTest::qWaitFor([&] { return weakManager.expired(); }, 60000));
    EXPECT_TRUE(weakDocument.expired());
    QTest::qWait(50);
    EXPECT_EQ(events.size(), eventsAtClose);
    EXPECT_FALSE(QFileInfo::exists(output));
    EXPECT_TRUE(QFileInfo::exists(source));
    EXPECT_EQ(AssetFileReferences::referenceCount(output), 0);
}

TEST_F(CompressionQueue, ADraftThatCannotBeWrittenKeepsTheSourceForALaterClean)
{
    const auto clip = addVideo("big.mp4", "big.mp4");
    const QString source = clip->localFilePath();
    document->setDontSave(true);
    manager->enqueueCompressionForContentAsset(clip, VideoAssetCompressorPreset::small480p());
    ASSERT_TRUE(waitFor(QVBVideoCompressionManager::didEndNotification, clip.get()));
    EXPECT_FALSE(find(QVBVideoCompressionManager::didEndNotification, clip.get())->hasError);
    QTest::qWait(100);
    EXPECT_EQ(AssetFileReferences::referenceCount(clip->localFilePath()), 0);
    EXPECT_TRUE(clip->localFilePath().endsWith(".mov"));
    EXPECT_TRUE(QFileInfo::exists(source));
}

TEST_F(CompressionQueue, CancelEverythingStopsTheRunningAndTheWaitingAssets)
{
    const auto first = addVideo("long.mp4", "first.mp4");
    const auto second = addVideo("big.mp4", "second.mp4");
    atThirtyPercent([&] {
        manager->cancelEverything();
        EXPECT_EQ(manager->contentAssetCount(), 1) << "the running asset stays current until it has stopped";
        EXPECT_TRUE(QVBVideoCompressionManager::anyManagerIsCompressing());
    });
    manager->enqueueCompressionForContentAsset(first, VideoAssetCompressorPreset::small480p());
    manager->enqueueCompressionForContentAsset(second, VideoAssetCompressorPreset::small480p());
    ASSERT_TRUE(waitFor(QVBVideoCompressionManager::willBeginNotification, first.get()));
    ASSERT_TRUE(waitIdle());
    QTest::qWait(50);
    EXPECT_FALSE(QVBVideoCompressionManager::anyManagerIsCompressing());
    EXPECT_EQ(countOf(QVBVideoCompressionManager::willBeginNotification, second.get()), 0);
    EXPECT_EQ(countOf(QVBVideoCompressionManager::didEndNotification), 0);
    EXPECT_TRUE(movFiles().isEmpty());
}

TEST_F(CompressionQueue, AProcessKilledMidRunLosesNothingAndTheHalfFileGoesAtTheNextClean)
{
    const auto clip = addVideo("long.mp4", "long.mp4");
    const QString source = clip->localFilePath();
    const QString assetID = clip->internalID();
    clip->setVideoCompressionPreset(VideoAssetCompressorPreset::small480p());
    ASSERT_TRUE(package->saveModel());
    const QString packageID = package->packageID();
    // Let go of the document, as a closed window would, and re-encode it in another process.
    closeDocument();

    QProcess probe;
    probe.start(QStringLiteral(TESS_COMPRESSION_PROBE), {support.path(), packageID});
    ASSERT_TRUE(probe.waitForStarted());
    QString halfFile;
    bool atThirty = false;
    QElapsedTimer clock;
    clock.start();
    while (!atThirty && clock.elapsed() < 60000 && probe.state() == QProcess::Running) {
        probe.waitForReadyRead(200);
        while (probe.canReadLine()) {
            const QString line = QString::fromUtf8(probe.readLine()).trimmed();
            if (line.startsWith("output "))
                halfFile = line.mid(7);
            else if (line.startsWith("progress ") && line.mid(9).toDouble() >= 0.3)
                atThirty = true;
        }
    }
    ASSERT_TRUE(atThirty) << probe.readAllStandardError().toStdString();
    probe.kill();
    probe.waitForFinished();
    ASSERT_TRUE(QFileInfo::exists(halfFile));

    const auto reopened = reopen(packageID, assetID);
    ASSERT_TRUE(reopened);
    EXPECT_EQ(reopened->localFilePath(), source);
    EXPECT_TRUE(QFileInfo::exists(source));
    ASSERT_TRUE(reopened->videoCompressionPreset());

    manager->resumeCompressionForAssetsOfDataModelItem(document);
    ASSERT_TRUE(waitFor(QVBVideoCompressionManager::didEndNotification, reopened.get()));
    EXPECT_FALSE(find(QVBVideoCompressionManager::didEndNotification, reopened.get())->hasError);
    const QString output = reopened->localFilePath();
    EXPECT_NE(output, halfFile);
    package->cleanDirectories();
    EXPECT_FALSE(QFileInfo::exists(halfFile));
    EXPECT_TRUE(QFileInfo::exists(output));
}

} // namespace
