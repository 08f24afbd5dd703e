// What a creator window holds of a long document's pictures, and what it lets go.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QMimeData>
#include <QPointer>
#include <QScrollArea>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include "app/QVRWindowManager.h"
#include "controls/VazScrollViewAnimation.h"
#include "creator/CreatorLibrary.h"
#include "creator/canvas/QVR_ArtBoardScrollView.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/thumbnails/QVRThumbnailBar.h"
#include "creator/thumbnails/QVRThumbnailController.h"
#include "creator/thumbnails/QVRThumbnailObject.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "platform/AppPaths.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "support/UserInput.h"
#include "tessarine_data_model/ModelDrawing.h"
#include "tessarine_data_model/ScreenPreviewProvider.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "viewer/previews/TessarineBackgroundedScreenPreview.h"

namespace {

// A saved document of `screens` screens, each with a stored preview picture (full size) in its asset folder.
struct LongDocument {
    QTemporaryDir support;
    QTemporaryDir temporary;
    std::shared_ptr<ZERI_TessarineModel> document = ZERI_TessarineModel::create();
    std::shared_ptr<ZERI_qvdFilePackage> package;
    QStringList previewFiles;
    QPointer<QVR_CreatorWindow> window;

    explicit LongDocument(int screens, bool storedPreviews = true)
    {
        AppPaths::setApplicationSupportForTesting(support.path());
        AppPaths::setTemporaryForTesting(temporary.path());
        ZERI_qvdFilePackage::resetForTesting();
        ZERI_qvdFilePackage::registerWithDocumentModel();
        registerCreatorLibrary();
        for (int i = 0; i < screens; ++i)
            document->firstFlowmodel()->addFlowScreen(ZERI_FlowScreenModel::create());
        Error error;
        EXPECT_TRUE(ZERI_qvdFilePackage::saveModelToFile(document, &error)) << error.message.toStdString();
        package = std::dynamic_pointer_cast<ZERI_qvdFilePackage>(document->filePackage());
        for (int i = 0; storedPreviews && i < screens; ++i) {
            QImage picture(1024, 748, QImage::Format_RGB32);
            picture.fill(QColor::fromHsv((i * 37) % 360, 160, 200));
            const QString path = QDir(package->assetsPath()).filePath(QStringLiteral("preview%1.jpg").arg(i));
            EXPECT_TRUE(picture.save(path, "JPEG"));
            auto asset = ZERI_ContentAsset::create();
            asset->setExternalURL(QUrl::fromLocalFile(path));
            document->firstFlowmodel()->screenModels()[std::size_t(i)]->setPreviewScreenShotAsset(asset);
            previewFiles << path;
        }
    }
    ~LongDocument()
    {
        for (QWidget* open : QVRWindowManager::sharedInstance().windows())
            delete open;
        ZERI_qvdFilePackage::resetForTesting();
        AppPaths::setApplicationSupportForTesting(QString());
        AppPaths::setTemporaryForTesting(QString());
    }
    void open()
    {
        window = qobject_cast<QVR_CreatorWindow*>(QVRWindowManager::sharedInstance().makeCreatorWindow());
        window->resize(1200, 800);
        window->launchTessarineWithTessarineModel(document);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    }
    // Null while the screen's item is out of reach and the screen is not the current one.
    TessarineBackgroundedScreenPreview* preview(int i) const
    {
        return window->thumbnailController()->screensArray()[i]->singleScreen();
    }
    bool holdsPicture(int i) const { return preview(i) && !preview(i)->currentPreviewImage().isNull(); }
    // The hue of the picture screen `i` was given.
    static int hueOf(int i) { return (i * 37) % 360; }
};

// Counts the times the watched widgets change parents.
struct ParentChanges : QObject {
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        count += event->type() == QEvent::ParentChange ? 1 : 0;
        return false;
    }
};

} // namespace

TEST(CreatorWindowMemory, ThumbnailsScrolledOutOfSightHoldNoPictureAndGetItBackInSight)
{
    constexpr int kScreens = 40;
    LongDocument d(kScreens);
    d.open();
    // The first items show their pictures, read at the size shown; the far end of the strip holds none.
    ASSERT_TRUE(QTest::qWaitFor([&] { return d.holdsPicture(0) && d.holdsPicture(3); }, 10000));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return d.preview(0)->currentPreviewImage().size() == d.preview(0)->pictureSize(); }, 5000));
    QTest::qWait(400);
    for (int i = 20; i < kScreens; ++i)
        EXPECT_FALSE(d.holdsPicture(i)) << "screen " << i + 1;

    // Scrolled to the end: the last items get their pictures, the first ones let theirs go.
    QScrollArea* area = d.window->theThumbnailBarView()->enclosingScrollArea();
    ASSERT_NE(area, nullptr);
    area->horizontalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_TRUE(QTest::qWaitFor([&] { return d.holdsPicture(kScreens - 1) && !d.holdsPicture(0); }, 10000));
    EXPECT_TRUE(d.preview(0)->pictureSetAside()) << "the current screen's preview stays, without its picture";
    const int hue = d.preview(kScreens - 1)->grab().toImage().pixelColor(20, 20).hue();
    EXPECT_NEAR(hue, LongDocument::hueOf(kScreens - 1), 8) << "the last screen's own picture";

    // And back: the first picture is read again.
    area->horizontalScrollBar()->triggerAction(QAbstractSlider::SliderToMinimum);
    EXPECT_TRUE(QTest::qWaitFor([&] { return d.holdsPicture(0) && !d.holdsPicture(kScreens - 1); }, 10000));
}

TEST(CreatorWindowMemory, TheStripMakesItemsOnlyForTheScreensInReachOfItsView)
{
    constexpr int kScreens = 200;
    LongDocument d(kScreens);
    d.open();
    QVRThumbnailBar* bar = d.window->theThumbnailBarView();
    const auto made = [bar] {
        int count = 0;
        for (int i = 0; i < bar->count(); ++i)
            count += bar->itemAtIndex(i) ? 1 : 0;
        return count;
    };
    EXPECT_EQ(bar->screenItemCount(), kScreens);
    EXPECT_GT(made(), 0);
    EXPECT_LT(made(), 40);
    ASSERT_TRUE(bar->itemAtIndex(0));

    // Scrolled to the end: the last screens' items are made, numbered, and show their pictures; the first ones go.
    QScrollArea* area = bar->enclosingScrollArea();
    ASSERT_NE(area, nullptr);
    area->horizontalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
    UserInput::letRepaintsHappen();
    const int last = kScreens - 1;
    auto* item = qobject_cast<QVR_ThumbnailCollectionViewItem*>(bar->itemAtIndex(last));
    ASSERT_TRUE(item);
    EXPECT_EQ(item->thumbnailHoldingView()->screenNumberLabel()->text(), QString::number(kScreens));
    EXPECT_FALSE(bar->itemAtIndex(0));
    EXPECT_LT(made(), 40);
    EXPECT_TRUE(QTest::qWaitFor([&] { return d.holdsPicture(last); }, 10000));
    EXPECT_FALSE(d.holdsPicture(0)) << "the first screen's picture went with its item";
    EXPECT_FALSE(d.preview(1)) << "and so did the preview of a screen that is not the current one";

    // A click on the last screen's item shows that screen, as with any other.
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->frameForItemAtIndex(last).center());
    EXPECT_TRUE(QTest::qWaitFor([&] { return d.window->currentIndex() == last; }, 5000));
    EXPECT_TRUE(item->isSelected());

    // Back at the start, once the strip has centred the clicked item: the first item is made again, with its
    // number.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return !bar->isScrollPending() && !VazScrollViewAnimation::currentAnimation(area); }, 5000));
    area->horizontalScrollBar()->triggerAction(QAbstractSlider::SliderToMinimum);
    UserInput::letRepaintsHappen();
    auto* first = qobject_cast<QVR_ThumbnailCollectionViewItem*>(bar->itemAtIndex(0));
    ASSERT_TRUE(first);
    EXPECT_EQ(first->thumbnailHoldingView()->screenNumberLabel()->text(), QStringLiteral("1"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return d.holdsPicture(0); }, 10000));
}

// The strip of a long document makes a screen's preview with its item and lets it go with it; only the current
// screen's stays. What scrolls into view shows its own screen, and the selection and a reorder outlast the scroll.
TEST(CreatorWindowMemory, PreviewsComeAndGoWithTheirItemsAndEachShowsItsOwnScreen)
{
    constexpr int kScreens = 200;
    constexpr int kLast = kScreens - 1;
    LongDocument d(kScreens);
    d.open();
    QVRThumbnailBar* bar = d.window->theThumbnailBarView();
    QScrollArea* area = bar->enclosingScrollArea();
    ASSERT_NE(area, nullptr);
    const auto flow = d.document->firstFlowmodel();
    const std::vector<std::shared_ptr<ZERI_FlowScreenModel>> original = flow->screenModels();
    // Every preview there is sits in the item of its own screen, numbered, or is the current screen's, hidden.
    const auto previewsHeld = [&] {
        int held = 0;
        const auto screens = flow->screenModels();
        for (int i = 0; i < kScreens; ++i) {
            TessarineBackgroundedScreenPreview* preview = d.preview(i);
            if (!preview)
                continue;
            ++held;
            EXPECT_EQ(preview->screenModel(), screens[std::size_t(i)]) << "screen " << i + 1;
            if (auto* item = qobject_cast<QVR_ThumbnailCollectionViewItem*>(bar->itemAtIndex(i))) {
                EXPECT_TRUE(item->thumbnailHoldingView()->isAncestorOf(preview)) << "screen " << i + 1;
                EXPECT_EQ(item->thumbnailHoldingView()->screenNumberLabel()->text(), QString::number(i + 1));
            } else {
                EXPECT_EQ(i, d.window->currentIndex()) << "a preview without an item is the current screen's";
                EXPECT_FALSE(preview->isVisible());
            }
        }
        return held;
    };
    const auto scrollAndSettle = [&](QAbstractSlider::SliderAction action) {
        area->horizontalScrollBar()->triggerAction(action);
        UserInput::letRepaintsHappen();
    };
    const auto shownHue = [&](int i) { return d.preview(i)->grab().toImage().pixelColor(20, 20).hue(); };

    // The third screen is chosen, then the strip scrolled to its end.
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->frameForItemAtIndex(2).center());
    ASSERT_EQ(d.window->currentIndex(), 2);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !bar->isScrollPending() && !VazScrollViewAnimation::currentAnimation(area); }, 5000));
    scrollAndSettle(QAbstractSlider::SliderToMaximum);
    ASSERT_TRUE(QTest::qWaitFor([&] { return d.holdsPicture(kLast); }, 10000));
    EXPECT_NEAR(shownHue(kLast), LongDocument::hueOf(kLast), 8);
    EXPECT_LT(previewsHeld(), 40);
    EXPECT_FALSE(d.preview(0)) << "far out of reach, not current";
    ASSERT_TRUE(d.preview(2)) << "the current screen's preview stays";
    EXPECT_EQ(d.preview(kLast)->contextMenuPolicy(), Qt::CustomContextMenu) << "its menu, as every preview's";

    // Out there the last screen is dragged before the third last.
    std::unique_ptr<QMimeData> mime(bar->writeItemsAtIndexes({kLast}));
    const QRect target = bar->frameForItemAtIndex(kLast - 2);
    const QPoint at(target.left() + target.width() / 4, target.center().y());
    QDragEnterEvent enter(at, Qt::MoveAction, mime.get(), Qt::LeftButton, {});
    QApplication::sendEvent(bar, &enter);
    QDragMoveEvent move(at, Qt::MoveAction, mime.get(), Qt::LeftButton, {});
    QApplication::sendEvent(bar, &move);
    QDropEvent drop(at, Qt::MoveAction, mime.get(), Qt::LeftButton, {});
    QApplication::sendEvent(bar, &drop);
    bar->draggingEnded();
    ASSERT_TRUE(drop.isAccepted());
    ASSERT_EQ(flow->screenModels()[kLast - 2], original[kLast]);
    UserInput::letRepaintsHappen();
    previewsHeld();
    ASSERT_TRUE(QTest::qWaitFor([&] { return d.holdsPicture(kLast - 2) && d.holdsPicture(kLast); }, 10000));
    EXPECT_NEAR(shownHue(kLast - 2), LongDocument::hueOf(kLast), 8) << "the moved screen's picture went with it";
    EXPECT_NEAR(shownHue(kLast), LongDocument::hueOf(kLast - 1), 8);

    // Back at the start the chosen screen is still chosen and shown, its item selected again.
    scrollAndSettle(QAbstractSlider::SliderToMinimum);
    EXPECT_EQ(d.window->currentIndex(), 2);
    EXPECT_EQ(d.window->theArtBoard()->screenModel(), original[2]);
    auto* chosen = qobject_cast<QVR_ThumbnailCollectionViewItem*>(bar->itemAtIndex(2));
    ASSERT_TRUE(chosen);
    EXPECT_TRUE(chosen->isSelected());
    EXPECT_TRUE(chosen->thumbnailHoldingView()->isSelected());
    EXPECT_FALSE(d.preview(kLast - 2));
    previewsHeld();

    // And at the end again the new order holds, each item showing its own screen's picture.
    scrollAndSettle(QAbstractSlider::SliderToMaximum);
    previewsHeld();
    ASSERT_TRUE(QTest::qWaitFor([&] { return d.holdsPicture(kLast - 2) && d.holdsPicture(kLast - 1); }, 10000));
    EXPECT_NEAR(shownHue(kLast - 2), LongDocument::hueOf(kLast), 8);
    EXPECT_NEAR(shownHue(kLast - 1), LongDocument::hueOf(kLast - 2), 8);

    // Another screen chosen: the one chosen before lets its preview go.
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->frameForItemAtIndex(kLast).center());
    EXPECT_EQ(d.window->currentIndex(), kLast);
    EXPECT_FALSE(d.preview(2));
    previewsHeld();
}

// A provider that makes no picture: it counts the screens asked for theirs and those being made at once, and
// finishes each a moment later.
struct CountingPreviewProvider : ScreenPreviewProvider {
    struct Counts {
        QSet<const void*> asked;
        int running = 0;
        int mostAtOnce = 0;
    };
    static Counts& counts()
    {
        static Counts shared;
        return shared;
    }
    void generatePreviews(const std::shared_ptr<ZERI_FlowScreenModel>& screen, std::function<void()> done) override
    {
        Counts& c = counts();
        c.asked.insert(screen.get());
        c.mostAtOnce = std::max(c.mostAtOnce, ++c.running);
        QTimer::singleShot(5, [done = std::move(done)] {
            --counts().running;
            done();
        });
    }
    void cancelCurrentDraw() override {}
};

// A long document without stored pictures: the screens out of view are asked for theirs a few at a time, not all
// at once (each asking holds memory until its picture is in), and every screen is asked.
TEST(CreatorWindowMemory, ScreensOutOfViewAreAskedForTheirPicturesAFewAtATime)
{
    constexpr int kScreens = 120;
    CountingPreviewProvider::counts() = {};
    ScreenPreviewProvider::registerFactory([] { return std::make_unique<CountingPreviewProvider>(); });
    const auto restore = qScopeGuard([] { ScreenPreviewProvider::registerFactory({}); });
    LongDocument d(kScreens, false);
    d.open();
    QVRThumbnailBar* bar = d.window->theThumbnailBarView();
    EXPECT_GT(d.window->thumbnailController()->screensWaitingForPreviews(), kScreens / 2);
    EXPECT_TRUE(QTest::qWaitFor([&] { return CountingPreviewProvider::counts().asked.size() == kScreens; }, 20000));
    EXPECT_EQ(d.window->thumbnailController()->screensWaitingForPreviews(), 0);
    int made = 0;
    for (int i = 0; i < bar->count(); ++i)
        made += bar->itemAtIndex(i) ? 1 : 0;
    EXPECT_LE(CountingPreviewProvider::counts().mostAtOnce, made + QVRThumbnailController::kPreviewsAskedForAtOnce);
}

TEST(CreatorWindowMemory, ClosingTheWindowLetsItsPreviewsAndPicturesGoWithoutHandingEachBack)
{
    constexpr int kScreens = 30;
    LongDocument d(kScreens);
    d.open();
    ASSERT_TRUE(QTest::qWaitFor([&] { return d.holdsPicture(0); }, 10000));
    ParentChanges changes;
    QList<QPointer<TessarineBackgroundedScreenPreview>> previews;
    for (int i = 0; i < kScreens; ++i) {
        if (!d.preview(i))
            continue;
        previews << d.preview(i);
        d.preview(i)->installEventFilter(&changes);
    }
    EXPECT_GT(previews.size(), 5);
    // Pictures the document's drawings decoded (its previews, and a picture it shows from another folder), and a
    // picture of no document.
    QTemporaryDir elsewhere;
    const QString other = QDir(elsewhere.path()).filePath(QStringLiteral("other.png"));
    QImage(64, 48, QImage::Format_RGB32).save(other, "PNG");
    const QString shown = QDir(elsewhere.path()).filePath(QStringLiteral("shown.png"));
    QImage(64, 48, QImage::Format_RGB32).save(shown, "PNG");
    auto picture = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Image);
    auto asset = ZERI_ContentAsset::create();
    asset->setExternalURL(QUrl::fromLocalFile(shown));
    picture->object()->setCroppedImageAsset(asset);
    d.document->firstFlowmodel()->screenModels()[1]->addMixedMediaObject(picture);
    ASSERT_FALSE(ModelImageCache::imageForFile(shown, true).isNull());
    ASSERT_FALSE(ModelImageCache::imageForFile(d.previewFiles[0], true).isNull());
    ASSERT_FALSE(ModelImageCache::imageForFile(other, true).isNull());

    d.window->close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return d.window.isNull(); }, 5000));
    for (const auto& preview : previews)
        EXPECT_TRUE(preview.isNull());
    EXPECT_EQ(changes.count, 0) << "each preview was handed back to its object before going";
    ASSERT_TRUE(QFileInfo::exists(d.previewFiles[0]));
    // The pictures are let go on a worker, soon after the closing.
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return ModelImageCache::imageForFile(d.previewFiles[0], false).isNull(); }, 5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return ModelImageCache::imageForFile(shown, false).isNull(); }, 5000));
    EXPECT_FALSE(ModelImageCache::imageForFile(other, false).isNull());
}

TEST(CreatorWindowMemory, OnlyBoardsShownGetAViewAndClosingWritesTheDraftBeforeTheWindowGoes)
{
    constexpr int kScreens = 30;
    LongDocument d(kScreens);
    d.open();
    d.window->theThumbnailBarView()->setSelectionIndexes({10});
    ASSERT_EQ(d.window->currentIndex(), 10);
    EXPECT_EQ(d.window->findChildren<QVR_ArtBoardScrollView*>().size(), 2) << "the first screen's and the 11th's";

    // The close hands the draft to the writer, whose queue runs to its end even when the application ends straight
    // after: nothing is lost, and the main thread does not wait for the disk.
    d.document->firstFlowmodel()->setTitle(QStringLiteral("Written as it closes"));
    d.window->close();
    ZERI_qvdFilePackage::waitForDraftWrites();
    QFile draft(d.package->draftFilePath());
    ASSERT_TRUE(draft.open(QIODevice::ReadOnly));
    EXPECT_TRUE(draft.readAll().contains("Written as it closes"));
    EXPECT_FALSE(d.package->model()) << "the document is let go";
    EXPECT_TRUE(QTest::qWaitFor([&] { return d.window.isNull(); }, 5000));
}
