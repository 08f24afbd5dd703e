#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QLoggingCategory>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QTest>

#include "GalleryEditorTestSupport.h"
#include "elements/gallery/GalleryEditorArrayController.h"
#include "elements/gallery/QVRGalleryEditorCollectionView.h"
#include "elements/gallery/QVRGalleryEditorCollectionViewObject.h"
#include "elements/gallery/QVRGalleryEditorViewController.h"
#include "support/fakeservice/FakeHttp.h"
#include "foundation/Tessutils.h"
#include "platform/NotificationCenter.h"
#include "storage/ContentAssetStorage.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "strings/UFM.h"
#include "support/QtPrinters.h"
#include "support/TestPictures.h"
#include "tessarine_data_model/QVB_GalleryAssetManager.h"
#include "tessarine_data_model/UndoableAction.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

class GalleryEditorTest : public ::testing::Test {
protected:
    QVRGalleryEditorViewController& open(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& gallery)
    {
        delegate.gallery = gallery;
        delegate.screen = doc.screen;
        host = std::make_unique<HostedEditor>(gallery, doc.screen, &delegate);
        return *host->editor;
    }
    QVRGalleryEditorCollectionView& grid() { return *host->editor->collectionView(); }
    QRect tileRect(int row) { return grid().visualRect(grid().model()->index(row, 0)); }
    // New image files in the picked folder, named new<k>.png.
    QStringList pickPngs(int count, const QSize& size = QSize(800, 600))
    {
        QStringList paths;
        for (int i = 0; i < count; ++i) {
            const QString path = QDir(doc.pickedFolder()).filePath(QStringLiteral("new%1.png").arg(pickedCount++));
            writePng(path, size, QColor::fromHsv(i * 40 % 360, 180, 200));
            paths.append(path);
        }
        return paths;
    }
    // A drag that enters the grid, moves to `at` and drops there; false when the grid refused it.
    bool dragAndDrop(const QMimeData* data, const QPoint& at)
    {
        const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
        QDragEnterEvent enter(at, actions, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(grid().viewport(), &enter);
        if (!enter.isAccepted())
            return false;
        QDragMoveEvent move(at, actions, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(grid().viewport(), &move);
        QDropEvent dropped(at, actions, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(grid().viewport(), &dropped);
        return dropped.isAccepted();
    }
    void drop(const QMimeData* data, const QPoint& at) { EXPECT_TRUE(dragAndDrop(data, at)); }
    void dropFiles(const QStringList& paths, const QPoint& at)
    {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& path : paths)
            urls.append(QUrl::fromLocalFile(path));
        data.setUrls(urls);
        drop(&data, at);
    }
    QPoint leftHalf(int row) { return tileRect(row).center() - QPoint(20, 0); }
    QPoint rightHalf(int row) { return tileRect(row).center() + QPoint(20, 0); }
    void clickTile(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::mouseClick(grid().viewport(), Qt::LeftButton, modifiers, tileRect(row).center());
    }
    bool sendKey(Qt::Key key)
    {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(&grid(), &event);
        return event.isAccepted();
    }
    const ZERI_MixedMediaObjectProxy& working() { return *host->editor->workingMixedMediaObject(); }

    GalleryTestDocument doc;
    FakeGalleryDelegate delegate;
    std::unique_ptr<HostedEditor> host;
    int pickedCount = 0;
};

} // namespace

TEST_F(GalleryEditorTest, OpensOneTilePerImageIncludingOneWithoutFileAndMakesDoneTheDefaultOnlyWhenThereAreImages)
{
    auto gallery = doc.addGallery(5, 2);
    auto& editor = open(gallery);
    EXPECT_EQ(editor.imagesArray()->count(), 5);
    EXPECT_EQ(captions(working()), QStringList({"c0", "c1", "c2", "c3", "c4"}));
    EXPECT_EQ(editor.titleLabel()->text(), UFM::SAYS_EDIT_GALLERY());
    EXPECT_TRUE(editor.saveButton()->isEnabled());
    EXPECT_TRUE(editor.saveButton()->isDefault());
    EXPECT_FALSE(editor.chooseImagesButton()->isDefault());
    // Tile k shows image k: the blank image keeps its place, the others get their thumbnails from a worker.
    auto* tiles = editor.imagesArray();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            for (int row : {0, 1, 3, 4})
                if (tiles->objectAt(row)->previewImage().isNull())
                    return false;
            return true;
        },
        5000));
    EXPECT_TRUE(tiles->objectAt(2)->previewImage().isNull());
    EXPECT_EQ(tiles->objectAt(2)->fullsizedImageAsset(),
              working()->galleryAssetManager()->fullsizedImageAssetsArray()[2]);

    // Return goes to the default button: Done.
    QTest::keyClick(&grid(), Qt::Key_Return);
    EXPECT_EQ(delegate.calls, 1);
    EXPECT_FALSE(delegate.lastCancelled);

    HostedEditor fresh(nullptr, doc.screen, &delegate);
    EXPECT_EQ(fresh.editor->imagesArray()->count(), 0);
    EXPECT_FALSE(fresh.editor->saveButton()->isEnabled());
    EXPECT_TRUE(fresh.editor->chooseImagesButton()->isDefault());
    EXPECT_EQ((*fresh.editor->workingMixedMediaObject())->parent(), doc.screen);
    // Without images, Return chooses images.
    QTest::keyClick(fresh.editor->collectionView(), Qt::Key_Return);
    EXPECT_EQ(doc.chooser.requests.size(), 1u);
    EXPECT_EQ(delegate.calls, 1);
}

TEST_F(GalleryEditorTest, ATileWhoseThumbnailIsMissingShowsTheFullSizedPicture)
{
    auto gallery = doc.addGallery(2);
    ASSERT_TRUE(QFile::remove(QDir(doc.assetsPath()).filePath("thumb1.png")));
    auto& editor = open(gallery);
    auto* tiles = editor.imagesArray();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !tiles->objectAt(1)->previewImage().isNull(); }, 5000));
    // The full-sized picture is 80 × 60: fitted into the 120-point tile it fills the width, centred in height.
    const QImage tile = tiles->objectAt(1)->previewImage();
    const qreal ratio = tile.devicePixelRatio();
    EXPECT_EQ(tile.size(), QSize(120, 120) * ratio);
    EXPECT_EQ(qAlpha(tile.pixel(tile.width() / 2, 2)), 0);
    EXPECT_EQ(qAlpha(tile.pixel(tile.width() / 2, tile.height() / 2)), 255);
}

TEST_F(GalleryEditorTest, AOneBitPictureScalesToGreyNotADither)
{
    auto gallery = doc.addGallery(2);
    // A black-and-white chequer of single pixels, stored with one bit per pixel, ten times the tile's size.
    QImage chequer(1210, 1000, QImage::Format_Mono);
    chequer.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    for (int y = 0; y < chequer.height(); ++y)
        for (int x = 0; x < chequer.width(); ++x)
            chequer.setPixel(x, y, (x + y) % 2);
    const QString thumb = QDir(doc.assetsPath()).filePath("thumb1.png");
    ASSERT_TRUE(chequer.save(thumb, "PNG"));
    ASSERT_EQ(QImageReader(thumb).imageFormat(), QImage::Format_Mono);
    auto& editor = open(gallery);
    auto* tiles = editor.imagesArray();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !tiles->objectAt(1)->previewImage().isNull(); }, 5000));
    // Seen in the grid, the tile is an even grey.
    QTest::qWait(0);
    grid().viewport()->update();
    const QImage shown = grid().viewport()->grab(tileRect(1)).toImage();
    ASSERT_FALSE(shown.isNull());
    int grey = 0, probed = 0;
    for (int y = shown.height() / 3; y < shown.height() * 2 / 3; y += 2)
        for (int x = shown.width() / 3; x < shown.width() * 2 / 3; x += 2, ++probed)
            grey += qGray(shown.pixel(x, y)) > 70 && qGray(shown.pixel(x, y)) < 190;
    EXPECT_GT(grey, probed * 9 / 10) << grey << " of " << probed;
}

TEST_F(GalleryEditorTest, DisabledDoneLooksDisabled)
{
    HostedEditor fresh(nullptr, doc.screen, &delegate);
    QPushButton* done = fresh.editor->saveButton();
    ASSERT_FALSE(done->isEnabled());
    const QImage disabled = done->grab().toImage();
    done->setEnabled(true);
    const QImage enabled = done->grab().toImage();
    // The title's darkest ink, inside the frame: black while it works, greyed when it does not.
    const auto darkest = [](const QImage& image) {
        int least = 255;
        for (int y = image.height() / 4; y < image.height() * 3 / 4; ++y)
            for (int x = image.width() / 5; x < image.width() * 4 / 5; ++x)
                least = qMin(least, qGray(image.pixel(x, y)));
        return least;
    };
    EXPECT_LT(darkest(enabled), 60);
    EXPECT_GT(darkest(disabled), darkest(enabled) + 40);
}

TEST_F(GalleryEditorTest, ChosenImagesAreStoredInThreeSizesAndDoneWaitsForTheLastStore)
{
    auto& editor = open(nullptr);
    const QStringList picked = pickPngs(3);
    doc.chooser.queuePaths(picked);
    bool doneEnabledWhileBusy = false;
    QObject::connect(&editor, &QVRGalleryEditorViewController::stateChanged, &editor, [&] {
        if (editor.numberOfDataItemsBeingStored() > 0 && editor.saveButton()->isEnabled())
            doneEnabledWhileBusy = true;
    });
    QTest::mouseClick(editor.chooseImagesButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return editor.imagesArray()->count() == 3; }, 5000));
    EXPECT_GT(editor.numberOfDataItemsBeingStored(), 0);
    EXPECT_FALSE(editor.saveButton()->isEnabled());
    ASSERT_TRUE(waitUntilIdle(editor));
    EXPECT_FALSE(doneEnabledWhileBusy);
    EXPECT_TRUE(editor.saveButton()->isEnabled());
    EXPECT_TRUE(editor.saveButton()->isDefault());

    ASSERT_EQ(doc.chooser.requests.size(), 1u);
    EXPECT_EQ(doc.chooser.requests[0].mode, FileChooserRequest::Mode::OpenFiles);
    EXPECT_TRUE(doc.chooser.requests[0].allowedExtensions.contains("png"));
    EXPECT_TRUE(doc.chooser.requests[0].allowedExtensions.contains("jpg"));
    EXPECT_EQ(Tessutils::lastOpenedDirectoryURL(), QUrl::fromLocalFile(doc.pickedFolder()));

    EXPECT_EQ(imageNames(working()), QStringList({"new0.png", "new1.png", "new2.png"}));
    EXPECT_EQ(arraySizes(working()), std::vector<size_t>({3, 3, 3, 3}));
    const auto manager = working()->galleryAssetManager();
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(fileBytes(manager->fullsizedImageAssetsArray()[i]->localFilePath()), fileBytes(picked[int(i)]));
        for (const auto& small : {manager->lowQualityImageAssetsArray()[i], manager->thumbnailImageAssetsArray()[i]}) {
            QImageReader reader(small->localFilePath());
            EXPECT_EQ(reader.format(), "png");
            EXPECT_EQ(reader.size(), QSize(240, 180));
            EXPECT_EQ(QFileInfo(small->localFilePath()).absolutePath(), QFileInfo(doc.assetsPath()).absoluteFilePath());
        }
    }
    EXPECT_EQ(doc.assetFiles().size(), 9);
    EXPECT_TRUE(doc.alerts.requests.empty());
    // The draft does not name them yet; cleaning the package meanwhile keeps them all the same.
    std::dynamic_pointer_cast<ZERI_qvdFilePackage>(doc.document->filePackage())->cleanDirectories();
    EXPECT_EQ(doc.assetFiles().size(), 9);

    // Saving a new gallery: the canvas adds it; its files stay.
    QTest::mouseClick(editor.saveButton(), Qt::LeftButton);
    EXPECT_TRUE(delegate.applied);
    EXPECT_EQ(doc.screen->mixedMediaObjects().size(), 1u);
    EXPECT_EQ(doc.assetFiles().size(), 9);
}

TEST_F(GalleryEditorTest, DroppedFilesLandAtTheDropIndexInDropOrderAndMovesKeepTheArraysParallel)
{
    auto gallery = doc.addGallery(5);
    auto& editor = open(gallery);

    dropFiles(pickPngs(3, QSize(40, 30)), leftHalf(2));
    ASSERT_TRUE(waitUntilIdle(editor));
    EXPECT_EQ(imageNames(working()), QStringList({"image0.png", "image1.png", "new0.png", "new1.png", "new2.png",
                                                  "image2.png", "image3.png", "image4.png"}));
    EXPECT_EQ(captions(working()), QStringList({"c0", "c1", "", "", "", "c2", "c3", "c4"}));

    dropFiles(pickPngs(2, QSize(40, 30)), leftHalf(0));
    ASSERT_TRUE(waitUntilIdle(editor));
    EXPECT_EQ(imageNames(working()).mid(0, 3), QStringList({"new3.png", "new4.png", "image0.png"}));

    // Past the last tile: the end.
    dropFiles(pickPngs(1, QSize(40, 30)), QPoint(20, grid().viewport()->height() - 5));
    ASSERT_TRUE(waitUntilIdle(editor));
    EXPECT_EQ(imageNames(working()).last(), QStringLiteral("new5.png"));
    editor.galleryEditorCollectionViewWantsToAddImagesFromURLs({QUrl::fromLocalFile(pickPngs(1, QSize(8, 8))[0])}, 99);
    ASSERT_TRUE(waitUntilIdle(editor));
    EXPECT_EQ(imageNames(working()).last(), QStringLiteral("new6.png"));
    EXPECT_EQ(arraySizes(working()), std::vector<size_t>({12, 12, 12, 12}));
    for (int row = 0; row < editor.imagesArray()->count(); ++row)
        EXPECT_EQ(editor.imagesArray()->objectAt(row)->fullsizedImageAsset(),
                  working()->galleryAssetManager()->fullsizedImageAssetsArray()[size_t(row)]);
}

static QStringList g_galleryLines;
static void recordGalleryLine(QtMsgType, const QMessageLogContext& context, const QString& message)
{
    if (context.category && QLatin1String(context.category) == QLatin1String("tess.elements.gallery"))
        g_galleryLines.append(message);
}

TEST_F(GalleryEditorTest, ADropFromOutsideLogsItsSourceItsTypesAndWhatWasRead)
{
    auto gallery = doc.addGallery(2);
    auto& editor = open(gallery);
    const QStringList paths = pickPngs(1, QSize(40, 30));
    QLoggingCategory::setFilterRules(QStringLiteral("tess.elements.gallery.info=true"));
    g_galleryLines.clear();
    const QtMessageHandler previous = qInstallMessageHandler(recordGalleryLine);
    dropFiles(paths, leftHalf(1));
    qInstallMessageHandler(previous);
    QLoggingCategory::setFilterRules(QString());
    ASSERT_TRUE(waitUntilIdle(editor));

    ASSERT_GE(g_galleryLines.size(), 3);
    EXPECT_EQ(g_galleryLines[0], QStringLiteral("[draggingInfo draggingSource]: (null)"));
    EXPECT_EQ(g_galleryLines[1], QStringLiteral("Dragged in thingy with available drag types:\ntext/uri-list"));
    EXPECT_EQ(g_galleryLines[2],
              QStringLiteral("Got urls for thingies:\n%1").arg(QUrl::fromLocalFile(paths[0]).toString()));
    EXPECT_EQ(imageNames(working()).at(1), QStringLiteral("new0.png"));
}

TEST_F(GalleryEditorTest, MovingTheSelectionDropsItAsOneBlockAndEveryArrayFollows)
{
    auto gallery = doc.addGallery(5);
    auto& editor = open(gallery);
    clickTile(0);
    clickTile(1, Qt::ControlModifier);
    ASSERT_EQ(grid().selectedRows(), QList<int>({0, 1}));
    std::unique_ptr<QMimeData> dragged(grid().createDragData());
    drop(dragged.get(), rightHalf(3)); // after tile 3
    EXPECT_EQ(imageNames(working()),
              QStringList({"image2.png", "image3.png", "image0.png", "image1.png", "image4.png"}));
    EXPECT_EQ(captions(working()), QStringList({"c2", "c3", "c0", "c1", "c4"}));
    const auto manager = working()->galleryAssetManager();
    EXPECT_EQ(QFileInfo(manager->thumbnailImageAssetsArray()[2]->localFilePath()).fileName(), "thumb0.png");
    EXPECT_EQ(QFileInfo(manager->lowQualityImageAssetsArray()[3]->localFilePath()).fileName(), "thumb1.png");
    // The moved tiles stay selected where they landed.
    EXPECT_EQ(grid().selectedRows(), QList<int>({2, 3}));
    EXPECT_EQ(editor.imagesArray()->objectAt(2)->fullsizedImageAsset(), manager->fullsizedImageAssetsArray()[2]);

    // A move with nothing selected changes nothing.
    grid().clearSelection();
    dragged.reset(grid().createDragData());
    drop(dragged.get(), leftHalf(0));
    EXPECT_EQ(captions(working()), QStringList({"c2", "c3", "c0", "c1", "c4"}));
}

TEST_F(GalleryEditorTest, DeletingRemovesTheChosenTilesWithTheirCaptions)
{
    auto gallery = doc.addGallery(5);
    auto& editor = open(gallery);
    clickTile(0);
    // A right click on a tile outside the selection deletes that tile, not the selection.
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, tileRect(3).center(),
                                grid().viewport()->mapToGlobal(tileRect(3).center()));
    QApplication::sendEvent(grid().viewport(), &menuEvent);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_TRUE(menu);
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions()[0]->text(), UFM::DELETE_TEXT());
    menu->actions()[0]->trigger();
    menu->close();
    EXPECT_EQ(captions(working()), QStringList({"c0", "c1", "c2", "c4"}));
    EXPECT_EQ(imageNames(working()), QStringList({"image0.png", "image1.png", "image2.png", "image4.png"}));

    // A right click on the background opens nothing.
    const QPoint background(grid().viewport()->width() - 3, grid().viewport()->height() - 3);
    QContextMenuEvent backgroundEvent(QContextMenuEvent::Mouse, background, grid().viewport()->mapToGlobal(background));
    QApplication::sendEvent(grid().viewport(), &backgroundEvent);
    EXPECT_FALSE(QApplication::activePopupWidget());

    clickTile(0);
    clickTile(1, Qt::ControlModifier);
    EXPECT_TRUE(sendKey(Qt::Key_Backspace));
    EXPECT_EQ(captions(working()), QStringList({"c2", "c4"}));
    grid().clearSelection();
    EXPECT_FALSE(sendKey(Qt::Key_Delete));
    EXPECT_EQ(editor.imagesArray()->count(), 2);

    grid().selectAll();
    EXPECT_TRUE(sendKey(Qt::Key_Delete));
    EXPECT_EQ(arraySizes(working()), std::vector<size_t>({0, 0, 0, 0}));
    EXPECT_FALSE(editor.saveButton()->isEnabled());
    EXPECT_TRUE(editor.chooseImagesButton()->isDefault());
}

TEST_F(GalleryEditorTest, DropsOfAnythingButLocalImageFilesAndImageElementsAddNothing)
{
    auto gallery = doc.addGallery(2);
    auto& editor = open(gallery);
    const QString pdf = QDir(doc.pickedFolder()).filePath("deck.pdf");
    const QString movie = QDir(doc.pickedFolder()).filePath("clip.mp4");
    writePng(pdf, QSize(10, 10), Qt::red); // picture bytes under other extensions are still not pictures
    writePng(movie, QSize(10, 10), Qt::red);
    dropFiles({pdf, movie, doc.pickedFolder(), QDir(doc.pickedFolder()).filePath("missing.png")}, leftHalf(0));
    // Addresses that name no picture, or that are not on the web, are not fetched at all.
    QMimeData web;
    web.setUrls({QUrl("http://127.0.0.1:9/page.html"), QUrl("http://127.0.0.1:9/"), QUrl("ftp://127.0.0.1:9/a.png"),
                 QUrl("http://127.0.0.1:9/clip.mov")});
    drop(&web, leftHalf(0));
    QMimeData picture;
    picture.setImageData(QImage(8, 8, QImage::Format_RGB32));
    EXPECT_FALSE(dragAndDrop(&picture, leftHalf(0)));
    EXPECT_TRUE(waitUntilIdle(editor));
    EXPECT_EQ(editor.imagesArray()->count(), 2);
    EXPECT_EQ(arraySizes(working()), std::vector<size_t>({2, 2, 2, 2}));
    EXPECT_TRUE(doc.alerts.requests.empty());

    // An image element dragged in gives its own original picture, whatever the clipboard holds.
    auto imageElement = [&](const QString& name, const QColor& color) {
        const QString path = QDir(doc.pickedFolder()).filePath(name);
        writePng(path, QSize(30, 20), color);
        auto object = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Image);
        auto original = ZERI_ContentAsset::create();
        original->setExternalURL(QUrl::fromLocalFile(path));
        (*object)->setOriginalImageAsset(original);
        return object;
    };
    ZERI_MixedMediaObject::pasteboardCopyObject(imageElement("copied.png", Qt::blue));
    auto dragged = imageElement("dragged.png", Qt::green);
    ZERI_MixedMediaObject::pasteboardCopyObject(dragged);
    QMimeData* dragData = new QMimeData;
    dragData->setData(ZERI_MixedMediaObject::kPasteboardType,
                      QApplication::clipboard()->mimeData()->data(ZERI_MixedMediaObject::kPasteboardType));
    ZERI_MixedMediaObject::pasteboardCopyObject(imageElement("copied.png", Qt::blue));
    drop(dragData, rightHalf(1));
    delete dragData;
    ASSERT_TRUE(waitUntilIdle(editor));
    EXPECT_EQ(imageNames(working()), QStringList({"image0.png", "image1.png", "dragged.png"}));
}

TEST_F(GalleryEditorTest, PicturesDroppedFromTheWebTakeTheirPlaceAtOnceAndAreStoredOnceFetched)
{
    const QByteArray sunset = [] {
        QBuffer buffer;
        QImage image(90, 60, QImage::Format_RGB32);
        image.fill(QColor(240, 120, 20));
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        return buffer.data();
    }();
    FakeHttpServer server([&](const FakeHttpRequest& request) {
        if (request.path == QLatin1String("/photos/sunset.png"))
            return FakeHttpReply::raw(200, "image/png", sunset).delayed(300);
        return FakeHttpReply::raw(404, "text/plain", "not here");
    });
    server.start();
    const QString base = QStringLiteral("http://127.0.0.1:%1/photos/").arg(server.port());

    auto gallery = doc.addGallery(3);
    auto& editor = open(gallery);
    QMimeData data;
    data.setUrls({QUrl(base + "sunset.png"), QUrl(base + "gone.jpg")});
    drop(&data, leftHalf(1));
    // Both tiles stand at the drop index before anything has arrived, and Save waits for them.
    EXPECT_EQ(captions(working()), QStringList({"c0", "", "", "c1", "c2"}));
    EXPECT_EQ(editor.imagesArray()->objectAt(1)->urlString(), base + "sunset.png");
    EXPECT_FALSE(editor.saveButton()->isEnabled());

    ASSERT_TRUE(waitUntilIdle(editor));
    // The picture that could not be fetched leaves again, named in the one alert.
    EXPECT_EQ(captions(working()), QStringList({"c0", "", "c1", "c2"}));
    EXPECT_EQ(arraySizes(working()), std::vector<size_t>({4, 4, 4, 4}));
    ASSERT_EQ(doc.alerts.requests.size(), 1u);
    EXPECT_EQ(doc.alerts.requests[0].informativeText, QStringLiteral("gone.jpg: the picture could not be fetched"));
    EXPECT_TRUE(editor.saveButton()->isEnabled());

    // The fetched picture is in the document's asset folder in full and at 0.3 of its size.
    const auto manager = working()->galleryAssetManager();
    const QString full = manager->fullsizedImageAssetsArray()[1]->localFilePath();
    EXPECT_TRUE(full.startsWith(doc.assetsPath())) << full.toStdString();
    EXPECT_EQ(fileBytes(full), sunset);
    EXPECT_EQ(QImageReader(manager->thumbnailImageAssetsArray()[1]->localFilePath()).size(), QSize(27, 18));
    EXPECT_EQ(QImageReader(manager->lowQualityImageAssetsArray()[1]->localFilePath()).size(), QSize(27, 18));
    // Its tile shows the picture.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            editor.imagesArray()->previewForRow(1);
            return !editor.imagesArray()->objectAt(1)->previewImage().isNull();
        },
        5000));
    const QImage tile = editor.imagesArray()->objectAt(1)->previewImage();
    EXPECT_EQ(tile.pixelColor(tile.width() / 2, tile.height() / 2), QColor(240, 120, 20));
}

TEST_F(GalleryEditorTest, AnImageThatCannotBeReadLeavesTheGalleryWithOneAlertAndNoFile)
{
    auto gallery = doc.addGallery(2);
    const QStringList before = doc.assetFiles();
    auto& editor = open(gallery);
    QStringList picked = pickPngs(2, QSize(64, 48));
    const QString broken = QDir(doc.pickedFolder()).filePath("broken.jpg");
    writeJpeg(broken, QSize(640, 480), QColor(30, 90, 200));
    QByteArray bytes = fileBytes(broken);
    QFile file(broken);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes.left(bytes.size() * 2 / 3));
    file.close();
    picked.insert(1, broken);
    doc.chooser.queuePaths(picked);
    QTest::mouseClick(editor.chooseImagesButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !doc.alerts.requests.empty(); }, 10000));
    ASSERT_TRUE(waitUntilIdle(editor));
    EXPECT_EQ(imageNames(working()), QStringList({"image0.png", "image1.png", "new0.png", "new1.png"}));
    EXPECT_EQ(captions(working()), QStringList({"c0", "c1", "", ""}));
    EXPECT_EQ(arraySizes(working()), std::vector<size_t>({4, 4, 4, 4}));
    ASSERT_EQ(doc.alerts.requests.size(), 1u);
    EXPECT_EQ(doc.alerts.requests[0].messageText, UFM::ERROR_TEXT());
    // The alert says why, beside the name.
    EXPECT_EQ(doc.alerts.requests[0].informativeText, "broken.jpg: " + UFM::CONTENT_NOT_ADDED_UNREADABLE());
    EXPECT_EQ(doc.assetFiles().size(), before.size() + 6);
    EXPECT_TRUE(editor.saveButton()->isEnabled());
}

// The canvas's rules and words: over the upload limit, and more pixels than can be decoded.
TEST_F(GalleryEditorTest, AnImageOverTheUploadLimitOrTooLargeToDecodeIsRefusedAsTheCanvasRefusesIt)
{
    const qint64 formerLimit = Tessutils::userMaxUploadSize();
    Tessutils::setUserMaxUploadSize(4096);
    auto& editor = open(nullptr);
    const QString small = pickPngs(1, QSize(16, 16))[0];
    const QString large = QDir(doc.pickedFolder()).filePath("large.png");
    QImage noise(160, 160, QImage::Format_RGB32);
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x)
            noise.setPixel(x, y, qRgb((x * 7919 + y * 104729) % 256, (x * y * 31) % 256, (x + y * 13) % 256));
    ASSERT_TRUE(noise.save(large, "PNG"));
    ASSERT_GT(QFileInfo(large).size(), 4096);
    // A small file whose header claims 100000 × 100000 pixels.
    const QString huge = QDir(doc.pickedFolder()).filePath("huge.png");
    const QByteArray png = pngClaiming(100000, 100000);
    QFile file(huge);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(png) == png.size());
    file.close();
    editor.galleryEditorCollectionViewWantsToAddImagesFromURLs(
        {QUrl::fromLocalFile(large), QUrl::fromLocalFile(huge), QUrl::fromLocalFile(small)},
        QVRGalleryEditorViewController::kAppend);
    ASSERT_TRUE(waitUntilIdle(editor));
    const auto reason = [](int code) {
        return ContentAssetStorage::refusalReason({ContentAssetStorage::errorDomain, code, {}});
    };
    // In the order the checks end, which the workers decide.
    const QStringList expected{"huge.png: " + reason(ContentAssetStorage::PictureTooLarge),
                               "large.png: " + reason(ContentAssetStorage::TooLarge)};
    Tessutils::setUserMaxUploadSize(formerLimit);
    EXPECT_EQ(imageNames(working()), QStringList({"new0.png"}));
    ASSERT_EQ(doc.alerts.requests.size(), 1u);
    QStringList lines = doc.alerts.requests[0].informativeText.split(QLatin1Char('\n'));
    lines.sort();
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(doc.assetFiles().size(), 3);
}

TEST_F(GalleryEditorTest, SaveIsOneUndoStepThatPagesToTheScreenAndSavingNoEditAddsNone)
{
    auto gallery = doc.addGallery(5);
    UndoManager& undo = doc.flow->undoManager();
    {
        auto& editor = open(gallery);
        QTest::mouseClick(editor.saveButton(), Qt::LeftButton);
        EXPECT_EQ(delegate.calls, 1);
        EXPECT_FALSE(delegate.applied);
        EXPECT_EQ(undo.undoCount(), 0);
        host.reset();
    }
    const QJsonObject original = (*gallery)->galleryAssetManager()->jsonDictionary();
    auto& editor = open(gallery);
    clickTile(0);
    std::unique_ptr<QMimeData> dragged(grid().createDragData());
    drop(dragged.get(), rightHalf(2));
    clickTile(4);
    EXPECT_TRUE(sendKey(Qt::Key_Delete));
    // The canvas dismisses its panel, and with it the editor, before it applies the edit.
    delegate.beforeApplying = [this] { delete host->editor.data(); };
    editor.saveButtonPressed();
    EXPECT_TRUE(delegate.applied);
    EXPECT_FALSE(host->editor);
    EXPECT_EQ(undo.undoCount(), 1);
    EXPECT_EQ(captions(*gallery), QStringList({"c1", "c2", "c0", "c3"}));

    QVariantMap userInfo;
    NotificationObservation observation(
        TessarineDataModelItem::kDidSetPropertiesFromUndoableActionNotification, nullptr,
        [&](const Notification& notification) {
            userInfo = notification.userInfo.value("undoableAction").value<UndoableActionRef>()->userInfo();
        });
    ASSERT_TRUE(undo.undo());
    EXPECT_EQ((*gallery)->galleryAssetManager()->jsonDictionary(), original);
    EXPECT_EQ(captions(*gallery), QStringList({"c0", "c1", "c2", "c3", "c4"}));
    EXPECT_EQ(userInfo.value("screenToPageTo").toString(), doc.screen->internalID());
    ASSERT_TRUE(undo.redo());
    EXPECT_EQ(captions(*gallery), QStringList({"c1", "c2", "c0", "c3"}));
    EXPECT_EQ(undo.undoCount(), 1);
}

TEST_F(GalleryEditorTest, CancelLeavesTheDocumentAndItsAssetFolderAsTheyWere)
{
    auto gallery = doc.addGallery(3);
    doc.screen->setPreviewInvalidated(false); // its preview is up to date, and stays so
    const QStringList before = doc.assetFiles();
    const QJsonObject documentBefore = doc.document->jsonDictionary();
    auto& editor = open(gallery);
    doc.chooser.queuePaths(pickPngs(1, QSize(64, 48)));
    QTest::mouseClick(editor.chooseImagesButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return editor.imagesArray()->count() == 4; }, 5000));
    ASSERT_TRUE(waitUntilIdle(editor));
    EXPECT_EQ(doc.assetFiles().size(), before.size() + 3);

    // The second image's stores cannot run yet.
    host->window.hide();
    SharedWorkersBlocker blocker;
    doc.chooser.queuePaths(pickPngs(1, QSize(64, 48)));
    editor.choseImageButtonPressed();
    ASSERT_TRUE(QTest::qWaitFor([&] { return editor.numberOfDataItemsBeingStored() == 3; }, 5000));
    editor.cancelButtonPressed();
    EXPECT_EQ(delegate.calls, 1);
    EXPECT_TRUE(delegate.lastCancelled);
    host.reset();
    EXPECT_EQ(doc.document->jsonDictionary(), documentBefore);
    EXPECT_EQ(doc.flow->undoManager().undoCount(), 0);

    blocker.release();
    // The stores' ends arrive through the main thread.
    EXPECT_TRUE(QTest::qWaitFor([&] { return doc.assetFiles() == before; }, 5000))
        << doc.assetFiles().join(u' ').toStdString();
}

TEST_F(GalleryEditorTest, SavingAfterTheGalleryLeftItsScreenAppliesNothingAndDeletesTheStoredFiles)
{
    auto gallery = doc.addGallery(2);
    const QStringList before = doc.assetFiles();
    auto& editor = open(gallery);
    dropFiles(pickPngs(1, QSize(64, 48)), leftHalf(0));
    ASSERT_TRUE(waitUntilIdle(editor));
    doc.screen->removeMixedMediaObject(gallery);
    QTest::mouseClick(editor.saveButton(), Qt::LeftButton);
    EXPECT_FALSE(delegate.applied);
    EXPECT_EQ(doc.flow->undoManager().undoCount(), 0);
    EXPECT_EQ(doc.assetFiles(), before);
}
