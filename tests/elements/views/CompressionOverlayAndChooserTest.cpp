#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QGraphicsRectItem>
#include <QGraphicsScene>
#include <QGraphicsSceneMouseEvent>
#include <QGraphicsView>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "ElementViewTestSupport.h"
#include "app/QVRActionLog.h"
#include "app/QVRAppDelegate.h"
#include "app/QVRWindowManager.h"
#include "elements/video/MediaTestClips.h"
#include "app/AppStartupHooks.h"
#include "elements/video/QVBVideoCompressionManager.h"
#include "elements/views/ElementsLibrary.h"
#include "elements/views/QVRCompressionSelectionViewController.h"
#include "elements/views/QVRVideoCompressionOverlayView.h"
#include "platform/AlertPresenter.h"
#include "platform/NotificationCenter.h"
#include "strings/UFM.h"
#include "tessarine_data_model/VideoAssetCompressorPreset.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

// A queue that answers from fields, so the overlay can be driven by hand-made posts.
class ScriptedQueue : public InertVideoCompressionManager {
public:
    std::shared_ptr<ZERI_ContentAsset> queued;
    double currentProgress = 0;
    bool hasAsset(const std::shared_ptr<ZERI_ContentAsset>& asset) const override { return asset && asset == queued; }
    double progress() const override { return currentProgress; }
};

class CompressionOverlay : public ::testing::Test {
protected:
    void SetUp() override
    {
        AlertPresenter::setShared(&alerts);
        QVRVideoCompressionOverlayView::setUserNotificationPosterForTesting(
            [this](const QString& title, const QString& text) {
                notices.append({title, text});
            });
        VideoCompressionManager::registerFactory([this](const auto&) { return queue; });
        doc = std::make_unique<TestDocument>();
        doc->document->documentVideoCompressionManager();
        VideoCompressionManager::registerFactory(nullptr);
        doc->document->firstFlowmodel()->setTitle(QStringLiteral("Holiday deck"));
        auto object = doc->addObject(ZERI_MixedMediaObject::Video, QRectF(0, 0, 400, 300));
        asset = ZERI_ContentAsset::create();
        asset->setSourceFileName(QStringLiteral("x.mp4"));
        (*object)->setVideoAsset(asset);
        ASSERT_EQ(asset->videoCompressionManager(), queue);
    }
    void TearDown() override
    {
        QVRVideoCompressionOverlayView::setUserNotificationPosterForTesting(nullptr);
        AlertPresenter::setShared(nullptr);
    }

    // Runs are numbered once per process; these stay clear of the real queue's numbers.
    static qint64 nextRun()
    {
        static qint64 run = 1000000;
        return ++run;
    }
    void post(const QString& name, qint64 run = 0, bool withError = false)
    {
        if (run == 0)
            run = nextRun();
        QVariantMap info{{QVBVideoCompressionManager::kVideoAssetCompressionManager,
                          QVariant::fromValue(static_cast<VideoCompressionManager*>(queue.get()))},
                         {QVBVideoCompressionManager::kVideoAssetCompressionRun, QVariant::fromValue(run)}};
        if (withError)
            info.insert(QVBVideoCompressionManager::kVidoeAssetCompressionError,
                        QVariant::fromValue(Error(QStringLiteral("VideoAssetCompressorDomain"), 1, "bad")));
        NotificationCenter::defaultCenter().post(name, asset.get(), info);
    }
    void progress(double value)
    {
        queue->currentProgress = value;
        post(QVBVideoCompressionManager::didProgressNotification);
    }

    RecordingAlertPresenter alerts;
    QList<QPair<QString, QString>> notices;
    std::shared_ptr<ScriptedQueue> queue = std::make_shared<ScriptedQueue>();
    std::unique_ptr<TestDocument> doc;
    std::shared_ptr<ZERI_ContentAsset> asset;
};

TEST_F(CompressionOverlay, FollowsTheQueueFromQueuedThroughThePercentageToCompletion)
{
    queue->queued = asset;
    QVRVideoCompressionOverlayView overlay;
    overlay.setFrame(QRectF(0, 0, 400, 300));
    overlay.watchCompressionForContentAsset(asset);
    EXPECT_TRUE(overlay.isProgressVisible());
    EXPECT_EQ(overlay.progressLabelText(), "Queued for compression");

    post(QVBVideoCompressionManager::willBeginNotification);
    EXPECT_EQ(overlay.progressLabelText(), "Compressing… 0%");
    const std::vector<std::pair<double, QString>> steps{{0.123, "Compressing… 13%"}, {0.999, "Compressing… 100%"},
                                                        {0.001, "Compressing… 1%"},  {1.7, "Compressing… 100%"},
                                                        {-0.4, "Compressing… 0%"},   {0.5, "Compressing… 50%"}};
    for (const auto& [value, text] : steps) {
        progress(value);
        EXPECT_EQ(overlay.progressLabelText(), text) << value;
        EXPECT_GE(overlay.progressValue(), 0.0f);
        EXPECT_LE(overlay.progressValue(), 1.0f);
    }

    // A second overlay on the same asset: still one notice for the one post.
    QVRVideoCompressionOverlayView second;
    second.watchCompressionForContentAsset(asset);
    post(QVBVideoCompressionManager::didEndNotification);
    EXPECT_FALSE(overlay.isProgressVisible());
    EXPECT_EQ(overlay.infoText(), "Compression complete!");
    ASSERT_EQ(notices.size(), 1);
    EXPECT_EQ(notices[0].first, "Compression complete!");
    EXPECT_EQ(notices[0].second, "Holiday deck");
    EXPECT_TRUE(alerts.requests.empty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return overlay.infoLabel()->opacity() == 1.0; }, 1000));
    QTest::qWait(4000);
    EXPECT_GT(overlay.infoLabel()->opacity(), 0.0) << "faded before 5 s";
    EXPECT_TRUE(QTest::qWaitFor([&] { return overlay.infoLabel()->opacity() == 0.0; }, 1500));
}

TEST_F(CompressionOverlay, ARefusalSaysTheVideoIsAlreadyOptimizedAndAFailureRaisesOneAlert)
{
    QVRVideoCompressionOverlayView overlay;
    overlay.watchCompressionForContentAsset(asset);
    EXPECT_FALSE(overlay.isProgressVisible()) << "neither queued nor running";
    post(QVBVideoCompressionManager::queuedNotification);
    EXPECT_TRUE(overlay.isProgressVisible());
    post(QVBVideoCompressionManager::enqueueAbortedNotification);
    EXPECT_FALSE(overlay.isProgressVisible());
    EXPECT_EQ(overlay.infoText(), "Skipping compression: the video is already optimized.");

    QVRVideoCompressionOverlayView second;
    second.watchCompressionForContentAsset(asset);
    const qint64 failedRun = nextRun();
    post(QVBVideoCompressionManager::didEndNotification, failedRun, true);
    ASSERT_EQ(alerts.requests.size(), 1u);
    EXPECT_EQ(alerts.requests[0].messageText, "Error");
    EXPECT_EQ(alerts.requests[0].informativeText,
              "There was an error compressing the video x.mp4. The video file may be corrupt.");
    EXPECT_TRUE(notices.isEmpty());
    // Another run's failure is another alert.
    post(QVBVideoCompressionManager::didEndNotification, nextRun(), true);
    EXPECT_EQ(alerts.requests.size(), 2u);
}

TEST_F(CompressionOverlay, WatchingTwiceOrNothingAddsNoObserversAndStoppingRemovesThem)
{
    NotificationCenter& center = NotificationCenter::defaultCenter();
    const int before = center.observerCount();
    {
        QVRVideoCompressionOverlayView overlay;
        overlay.watchCompressionForContentAsset(nullptr);
        EXPECT_EQ(center.observerCount(), before);
        overlay.watchCompressionForContentAsset(asset);
        const int watching = center.observerCount();
        EXPECT_EQ(watching, before + 5);
        overlay.watchCompressionForContentAsset(asset);
        EXPECT_EQ(center.observerCount(), watching);
        overlay.watchCompressionForContentAsset(ZERI_ContentAsset::create());
        EXPECT_EQ(center.observerCount(), watching);
        overlay.stopWatchingCompression();
        EXPECT_EQ(center.observerCount(), before);
        EXPECT_FALSE(overlay.watchedContentAsset());
        overlay.watchCompressionForContentAsset(asset);
    }
    EXPECT_EQ(center.observerCount(), before) << "an overlay that goes away keeps observing";

    // Another asset's posts do not reach an overlay.
    QVRVideoCompressionOverlayView overlay;
    overlay.watchCompressionForContentAsset(ZERI_ContentAsset::create());
    post(QVBVideoCompressionManager::queuedNotification);
    EXPECT_FALSE(overlay.isProgressVisible());
}

class PressRecorder : public QGraphicsRectItem {
public:
    using QGraphicsRectItem::QGraphicsRectItem;
    int presses = 0;

protected:
    void mousePressEvent(QGraphicsSceneMouseEvent* event) override
    {
        ++presses;
        event->accept();
    }
};

TEST_F(CompressionOverlay, APressOnTheOverlayReachesTheElementUnderIt)
{
    QGraphicsScene scene(0, 0, 400, 300);
    auto* element = new PressRecorder(0, 0, 400, 300);
    scene.addItem(element);
    auto* overlay = new QVRVideoCompressionOverlayView(element);
    overlay->setFrame(element->rect());
    queue->queued = asset;
    overlay->watchCompressionForContentAsset(asset);
    ASSERT_TRUE(overlay->isProgressVisible());
    QGraphicsView view(&scene);
    view.resize(420, 320);
    view.show();
    const QPoint onTheBar = view.mapFromScene(overlay->mapToScene(overlay->progressRect().center()));
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, onTheBar);
    EXPECT_EQ(element->presses, 1);
}

QPushButton* chooserButton(QWidget* window, const char* name)
{
    return window->findChild<QPushButton*>(QString::fromLatin1(name));
}

TEST(CompressionChooser, EachButtonGivesItsPresetAndLeavingOtherwiseGivesNone)
{
    QWidget window;
    window.resize(600, 400);
    window.show();
    struct Case {
        const char* button;
        std::shared_ptr<VideoAssetCompressorPreset> preset;
    };
    for (const Case& c : {Case{"smallButton", VideoAssetCompressorPreset::small480p()},
                          Case{"mediumButton", VideoAssetCompressorPreset::medium720p()},
                          Case{"largeButton", VideoAssetCompressorPreset::large1080p()}}) {
        int calls = 0;
        std::shared_ptr<VideoAssetCompressorPreset> chosen;
        QVRCompressionSelectionViewController::choosePreset(&window, [&](const auto& preset) {
            ++calls;
            chosen = preset;
        });
        QPushButton* button = chooserButton(&window, c.button);
        ASSERT_TRUE(button);
        EXPECT_EQ(button->window()->windowModality(), Qt::WindowModal);
        button->click();
        EXPECT_EQ(calls, 1);
        EXPECT_EQ(chosen, c.preset) << c.button;
        EXPECT_TRUE(QTest::qWaitFor([&] { return !chooserButton(&window, c.button); }, 1000)) << "chooser stays";
    }
    EXPECT_EQ(VideoAssetCompressorPreset::small480p()->humanReadableName(), "Small (480p)");

    // Escape, then closing the window: no preset, once.
    for (bool escape : {true, false}) {
        int calls = 0;
        std::shared_ptr<VideoAssetCompressorPreset> chosen = VideoAssetCompressorPreset::large1080p();
        QVRCompressionSelectionViewController::choosePreset(&window, [&](const auto& preset) {
            ++calls;
            chosen = preset;
        });
        QPushButton* small = chooserButton(&window, "smallButton");
        ASSERT_TRUE(small);
        if (escape)
            QTest::keyClick(small, Qt::Key_Escape);
        else
            small->window()->close();
        EXPECT_EQ(calls, 1);
        EXPECT_FALSE(chosen);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !chooserButton(&window, "smallButton"); }, 1000));
    }

    // Another control wired to the action: none either.
    QVRCompressionSelectionViewController chooser;
    ASSERT_TRUE(chooser.view());
    EXPECT_EQ(chooser.headerLabel()->text(), UFM::SET_VIDEO_COMPRESSION_TEXT());
    EXPECT_EQ(chooser.mediumButton()->text(), "Medium (720p)");
    int calls = 0;
    chooser.setOnCompressionSelected([&](const auto& preset) {
        ++calls;
        EXPECT_FALSE(preset);
    });
    QPushButton other;
    chooser.compressionButtonPressed(&other);
    EXPECT_EQ(calls, 1);
}

TEST(CompressionChooser, WithoutAWindowSmallIsTakenAtOnce)
{
    std::shared_ptr<VideoAssetCompressorPreset> chosen;
    QVRCompressionSelectionViewController::choosePreset(nullptr, [&](const auto& preset) { chosen = preset; });
    EXPECT_EQ(chosen, VideoAssetCompressorPreset::small480p());
}

TEST(CompressionChooser, AsksCentredOverTheApplicationsWindowWhenNoneIsGivenOrActive)
{
    // A managed window that shows but is not active: the chooser still asks over it.
    QWidget window;
    window.setGeometry(100, 80, 900, 640);
    QVRWindowManager::sharedInstance().addManagedWindow(&window);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    // Another window takes the activation and goes: none is active.
    {
        QWidget other;
        other.show();
        (void)QTest::qWaitForWindowActive(&other);
    }
    ASSERT_TRUE(QTest::qWaitFor([] { return QApplication::activeWindow() == nullptr; }, 2000));
    for (QWidget* given : {static_cast<QWidget*>(nullptr), &window}) {
        int calls = 0;
        std::shared_ptr<VideoAssetCompressorPreset> chosen;
        QVRCompressionSelectionViewController::choosePreset(given, [&](const auto& preset) {
            ++calls;
            chosen = preset;
        });
        EXPECT_EQ(calls, 0) << "a preset was taken without asking";
        QPushButton* medium = chooserButton(&window, "mediumButton");
        ASSERT_TRUE(medium);
        QWidget* sheet = medium->window();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(sheet));
        const QPoint offCentre = sheet->frameGeometry().center() - window.frameGeometry().center();
        EXPECT_LE(offCentre.manhattanLength(), 4) << sheet->pos().x() << "," << sheet->pos().y();
        QTest::mouseClick(medium, Qt::LeftButton);
        EXPECT_EQ(calls, 1);
        EXPECT_EQ(chosen, VideoAssetCompressorPreset::medium720p());
        EXPECT_TRUE(QTest::qWaitFor([&] { return !chooserButton(&window, "mediumButton"); }, 1000));
    }
    QVRWindowManager::sharedInstance().removeManagedWindow(&window);
}

TEST(ElementsLibraryRegistration, DocumentsGetTheRealQueueAndTheShellItsHooks)
{
    AppStartupHooks::resetForTesting();
    registerElementsLibrary();
    const auto document = ZERI_TessarineModel::create();
    EXPECT_TRUE(std::dynamic_pointer_cast<QVBVideoCompressionManager>(document->documentVideoCompressionManager()));
    const AppStartupHooks& hooks = AppStartupHooks::shared();
    ASSERT_TRUE(hooks.isCompressingVideo);
    ASSERT_TRUE(hooks.cancelVideoCompression);
    EXPECT_FALSE(hooks.isCompressingVideo());
    hooks.cancelVideoCompression();
    VideoCompressionManager::registerFactory(nullptr);
    AppStartupHooks::resetForTesting();
}

// Alerts that also count the application-modal ones, which the overlay must never use.
class CountingAlertPresenter : public RecordingAlertPresenter {
public:
    int modalRuns = 0;
    AlertResponse runModal(const AlertRequest& request, QWidget* parent = nullptr) override
    {
        ++modalRuns;
        return RecordingAlertPresenter::runModal(request, parent);
    }
};

class CompressionWithTheQueue : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!MediaTestClips::toolsAvailable())
            GTEST_SKIP() << "ffmpeg and ffprobe are needed to make test clips";
        AlertPresenter::setShared(&alerts);
        QVRVideoCompressionOverlayView::setUserNotificationPosterForTesting([](const QString&, const QString&) {});
        registerElementsLibrary();
        doc = std::make_unique<TestDocument>();
        manager =
            std::dynamic_pointer_cast<QVBVideoCompressionManager>(doc->document->documentVideoCompressionManager());
        ASSERT_TRUE(manager);
    }
    void TearDown() override
    {
        doc.reset();
        VideoCompressionManager::registerFactory(nullptr);
        AppStartupHooks::resetForTesting();
        QVRVideoCompressionOverlayView::setUserNotificationPosterForTesting(nullptr);
        AlertPresenter::setShared(nullptr);
    }
    std::shared_ptr<ZERI_ContentAsset> addVideo(const QString& fileName)
    {
        auto object = doc->addObject(ZERI_MixedMediaObject::Video, QRectF(0, 0, 320, 180));
        auto asset = ZERI_ContentAsset::create();
        asset->setExternalURL(QUrl::fromLocalFile(QDir(doc->assetsPath()).filePath(fileName)));
        asset->setSourceFileName(fileName);
        (*object)->setVideoAsset(asset);
        return asset;
    }
    QString assetFile(const QString& name) const { return QDir(doc->assetsPath()).filePath(name); }

    CountingAlertPresenter alerts;
    std::unique_ptr<TestDocument> doc;
    std::shared_ptr<QVBVideoCompressionManager> manager;
};

TEST_F(CompressionWithTheQueue, ACorruptFileRaisesOneAlertAndTheNextClipStartsWhileItIsOpen)
{
    ASSERT_TRUE(writeFile(assetFile("x.mp4"), "text, not a movie"));
    ASSERT_TRUE(MediaTestClips::makeVideo(assetFile("good.mp4"), 640, 360, 1, 0, {"-qp", "0"}));
    const auto corrupt = addVideo("x.mp4");
    const auto good = addVideo("good.mp4");
    QVRVideoCompressionOverlayView first;
    QVRVideoCompressionOverlayView second;
    first.watchCompressionForContentAsset(corrupt);
    second.watchCompressionForContentAsset(corrupt);
    size_t alertsWhenTheNextBegan = 99;
    NotificationObservation begins(QVBVideoCompressionManager::willBeginNotification, good.get(),
                                   [&](const Notification&) { alertsWhenTheNextBegan = alerts.requests.size(); });
    manager->enqueueCompressionForContentAsset(corrupt, VideoAssetCompressorPreset::small480p());
    manager->enqueueCompressionForContentAsset(good, VideoAssetCompressorPreset::small480p());
    ASSERT_TRUE(QTest::qWaitFor([&] { return alertsWhenTheNextBegan != 99; }, 30000));
    EXPECT_EQ(alertsWhenTheNextBegan, 1u);
    ASSERT_EQ(alerts.requests.size(), 1u);
    EXPECT_EQ(alerts.requests[0].informativeText,
              "There was an error compressing the video x.mp4. The video file may be corrupt.");
    EXPECT_EQ(alerts.modalRuns, 0);
    EXPECT_FALSE(corrupt->videoCompressionPreset());
    EXPECT_EQ(corrupt->localFilePath(), assetFile("x.mp4"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return manager->contentAssetCount() == 0; }, 30000));
    EXPECT_EQ(QDir(doc->assetsPath()).entryList({"*.mov"}).size(), 1) << "only the good clip's output";
}

TEST_F(CompressionWithTheQueue, AConfirmedQuitStopsTheRunAndKeepsSourceUrlAndPreset)
{
    QTemporaryDir logFolder;
    QVRActionLog log(logFolder.filePath("actionlog.json"), [](const QByteArray&, std::function<void(bool)>) {});
    QVRActionLog::setSharedForTesting(&log);
    ASSERT_TRUE(MediaTestClips::makeVideo(assetFile("long.mp4"), 640, 360, 4, 0, {"-qp", "0"}));
    const auto clip = addVideo("long.mp4");
    bool atThirty = false;
    QString output;
    NotificationObservation progress(QVBVideoCompressionManager::didProgressNotification, clip.get(),
                                     [&](const Notification&) {
                                         if (manager->progress() >= 0.3 && !atThirty) {
                                             atThirty = true;
                                             output = manager->currentOutputPath();
                                         }
                                     });
    int ends = 0;
    NotificationObservation endings(QVBVideoCompressionManager::didEndNotification, nullptr,
                                    [&](const Notification&) { ++ends; });
    manager->enqueueCompressionForContentAsset(clip, VideoAssetCompressorPreset::small480p());
    ASSERT_TRUE(QTest::qWaitFor([&] { return atThirty; }, 60000));

    QVRAppDelegate delegate;
    alerts.queueButton(0); // Quit
    EXPECT_TRUE(delegate.applicationShouldTerminate());
    ASSERT_EQ(alerts.requests.size(), 1u);
    EXPECT_EQ(alerts.requests[0].messageText, UFM::QUIT_COMPRESSION_WARNING_TEXT());
    EXPECT_FALSE(manager->currentlyCompressingAsset()) << "quit went on before the run wound down";
    EXPECT_FALSE(QFileInfo::exists(output));
    EXPECT_EQ(clip->localFilePath(), assetFile("long.mp4"));
    EXPECT_TRUE(QFileInfo::exists(assetFile("long.mp4")));
    EXPECT_EQ(clip->videoCompressionPreset(), VideoAssetCompressorPreset::small480p());
    EXPECT_EQ(ends, 0);
    QVRActionLog::setSharedForTesting(nullptr);
}

} // namespace
