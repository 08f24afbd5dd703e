// What a creator window holds of a long document's pictures, and what it lets go.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
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

    explicit LongDocument(int screens)
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
        for (int i = 0; i < screens; ++i) {
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
    TessarineBackgroundedScreenPreview* preview(int i) const
    {
        return window->thumbnailController()->screensArray()[i]->singleScreen();
    }
    bool holdsPicture(int i) const { return !preview(i)->currentPreviewImage().isNull(); }
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
    EXPECT_TRUE(d.preview(0)->pictureSetAside());
    const int hue = d.preview(kScreens - 1)->grab().toImage().pixelColor(20, 20).hue();
    EXPECT_NEAR(hue, ((kScreens - 1) * 37) % 360, 8) << "the last screen's own picture";

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
    EXPECT_TRUE(d.preview(0)->currentPreviewImage().isNull()) << "the first screen's picture went with its item";

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

TEST(CreatorWindowMemory, ClosingTheWindowLetsItsPreviewsAndPicturesGoWithoutHandingEachBack)
{
    constexpr int kScreens = 30;
    LongDocument d(kScreens);
    d.open();
    ASSERT_TRUE(QTest::qWaitFor([&] { return d.holdsPicture(0); }, 10000));
    ParentChanges changes;
    QList<QPointer<TessarineBackgroundedScreenPreview>> previews;
    for (int i = 0; i < kScreens; ++i) {
        previews << d.preview(i);
        d.preview(i)->installEventFilter(&changes);
    }
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
