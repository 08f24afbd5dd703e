#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QThread>
#include <QUrl>

#include "LocalHttpServer.h"
#include "StorageTestSupport.h"
#include "foundation/Tessutils.h"
#include "platform/MainThread.h"
#include "storage/AssetFileReferences.h"
#include "storage/MixedMediaObjectStorage.h"
#include "storage/QVRCustomDataDataItem.h"
#include "storage/QVRDataFromURLDataItem.h"
#include "storage/QVRStreamingVideoDataItem.h"
#include "storage/ZERI_ContentURLDownloaderDataProcessor.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "support/TestEnvironment.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Video.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

// QtPdf's PDFium keeps the parser objects of a document that fails to load (a truncated file); the leak is
// inside the library, not in the set-up, which drops its QPdfDocument.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libQt6Pdf.so\n";
}

namespace {

struct Completion {
    int calls = 0;
    bool onMainThread = true;
    Error error;
    MixedMediaObjectStorage::DoneBlock block()
    {
        return [this](const Error& e) {
            ++calls;
            onMainThread = onMainThread && MainThread::isMainThread();
            error = e;
        };
    }
    bool wait()
    {
        return QTest::qWaitFor([this] { return calls > 0; }, 30000);
    }
};

// Left half red, right half blue: where the halves meet shows how the crop placed the image.
QByteArray twoColourPng(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    QPainter painter(&image);
    painter.fillRect(0, 0, width / 2, height, Qt::red);
    painter.fillRect(width / 2, 0, width - width / 2, height, Qt::blue);
    painter.end();
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return data;
}

std::shared_ptr<QVRDataFromURLDataItem> fileItem(int type, const QString& path)
{
    auto item = std::make_shared<QVRDataFromURLDataItem>();
    item->setType(type);
    item->setContentUrl(QUrl::fromLocalFile(path));
    return item;
}

bool isRed(QRgb pixel)
{
    return qRed(pixel) > 200 && qBlue(pixel) < 60;
}
bool isBlue(QRgb pixel)
{
    return qBlue(pixel) > 200 && qRed(pixel) < 60;
}

class ObjectSetupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        document = makeDocumentWithOneScreen();
        ASSERT_TRUE(ZERI_qvdFilePackage::saveModelToFile(document));
        package = std::dynamic_pointer_cast<ZERI_qvdFilePackage>(document->filePackage());
        object = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Image);
        document->firstFlowmodel()->screenModels().front()->addMixedMediaObject(object);
    }
    void TearDown() override { Tessutils::setUserMaxUploadSize(0); }

    QStringList assetFiles() const { return QDir(package->assetsPath()).entryList(QDir::Files | QDir::Hidden); }
    Error setUp(const std::shared_ptr<QVRDataItem>& item, bool overrideType = false)
    {
        Completion done;
        MixedMediaObjectStorage::setupUsingDataItem(object, item, overrideType, done.block());
        EXPECT_TRUE(done.wait());
        QCoreApplication::processEvents();
        EXPECT_EQ(done.calls, 1);
        EXPECT_TRUE(done.onMainThread);
        return done.error;
    }
    void makeCrops(const QSizeF& frame, double zoom)
    {
        object->object()->setFrame(QRectF(QPointF(0, 0), frame));
        object->object()->setZoomScale(zoom);
        Completion done;
        ASSERT_TRUE(MixedMediaObjectStorage::makeAndSetCroppedImageAssetFromOriginalImageAsset(object, done.block()));
        ASSERT_TRUE(done.wait());
        ASSERT_TRUE(done.error.isNull()) << done.error.message.toStdString();
    }
    static QSize fileSize(const std::shared_ptr<ZERI_ContentAsset>& asset)
    {
        return asset ? QImageReader(asset->localFilePath()).size() : QSize();
    }

    ScopedStorageFolders folders;
    std::shared_ptr<ZERI_TessarineModel> document;
    std::shared_ptr<ZERI_qvdFilePackage> package;
    std::shared_ptr<ZERI_MixedMediaObjectProxy> object;
};

} // namespace

TEST_F(ObjectSetupTest, ImageItemBecomesTheOriginalImageAndCropsRoundUpToWholePixels)
{
    auto item = std::make_shared<QVRCustomDataDataItem>();
    item->setType(1);
    item->setCustomMainData(twoColourPng(2048, 1536));
    ASSERT_TRUE(setUp(item).isNull());
    const auto original = object->object()->originalImageAsset();
    ASSERT_TRUE(original);
    EXPECT_EQ(QFileInfo(original->localFilePath()).path(), package->assetsPath());
    EXPECT_EQ(assetFiles().size(), 1);
    EXPECT_EQ(MixedMediaObjectStorage::originalImageSize(*object->object()), QSizeF(2048, 1536));

    // The zoom that fits 1536 pixels into 748 points: the retina image is made too.
    makeCrops(QSizeF(997.33, 748), 748.0 / 1536.0);
    const auto cropped = object->object()->croppedImageAsset();
    const auto retina = object->object()->retinaCroppedImageAsset();
    EXPECT_EQ(fileSize(cropped), QSize(998, 748));
    EXPECT_EQ(fileSize(retina), QSize(1995, 1496));
    // The halves meet at 1024 pixels × zoom = 498.7 points.
    const QImage regular(cropped->localFilePath());
    EXPECT_TRUE(isRed(regular.pixel(490, 10)));
    EXPECT_TRUE(isBlue(regular.pixel(508, 10)));
    const QImage doubled(retina->localFilePath());
    EXPECT_TRUE(isRed(doubled.pixel(985, 20)));
    EXPECT_TRUE(isBlue(doubled.pixel(1010, 20)));

    // Above 0.5 there is no retina image, and the replaced files are gone.
    const QString oldCropped = cropped->localFilePath();
    const QString oldRetina = retina->localFilePath();
    makeCrops(QSizeF(400, 300), 0.6);
    EXPECT_EQ(fileSize(object->object()->croppedImageAsset()), QSize(400, 300));
    EXPECT_FALSE(object->object()->retinaCroppedImageAsset());
    EXPECT_FALSE(QFileInfo::exists(oldCropped));
    EXPECT_FALSE(QFileInfo::exists(oldRetina));
}

TEST_F(ObjectSetupTest, CropFollowsRotationAndOffset)
{
    auto item = std::make_shared<QVRCustomDataDataItem>();
    item->setType(1);
    item->setCustomMainData(twoColourPng(200, 100));
    ASSERT_TRUE(setUp(item).isNull());
    // One clockwise quarter turn puts the red (left) half on top.
    object->object()->setRotation(1);
    makeCrops(QSizeF(100, 200), 1.0);
    QImage turned(object->object()->croppedImageAsset()->localFilePath());
    EXPECT_TRUE(isRed(turned.pixel(50, 20)));
    EXPECT_TRUE(isBlue(turned.pixel(50, 180)));
    // Without rotation, an offset of 100 points shows only the blue half.
    object->object()->setRotation(0);
    object->object()->setZoomOffset(QSizeF(100, 0));
    makeCrops(QSizeF(100, 100), 1.0);
    QImage shifted(object->object()->croppedImageAsset()->localFilePath());
    EXPECT_TRUE(isBlue(shifted.pixel(2, 50)));
    EXPECT_TRUE(isBlue(shifted.pixel(97, 50)));
}

// Cropped pictures that finish after the object's geometry changed (an undo, a second gesture) are dropped, and
// an undo or redo that brings back a geometry whose picture was dropped makes it again.
TEST_F(ObjectSetupTest, LatePicturesNeverLandOnOtherGeometry)
{
    auto item = std::make_shared<QVRCustomDataDataItem>();
    item->setType(1);
    item->setCustomMainData(twoColourPng(400, 200));
    ASSERT_TRUE(setUp(item).isNull());
    ZERI_MixedMediaObject& model = *object->object();
    makeCrops(QSizeF(200, 100), 0.5);
    const auto first = model.croppedImageAsset();
    ASSERT_TRUE(first);
    const auto filesBefore = assetFiles();
    struct Held {
        Held() { MixedMediaObjectStorage::setCroppedImageResultsHeldForTesting(true); }
        ~Held() { MixedMediaObjectStorage::setCroppedImageResultsHeldForTesting(false); }
    };

    // The frame changes while the picture is being made: it is dropped, files and all.
    {
        Held held;
        Completion done;
        model.setFrame(QRectF(0, 0, 250, 125));
        model.setZoomScale(0.625);
        ASSERT_TRUE(MixedMediaObjectStorage::makeAndSetCroppedImageAssetFromOriginalImageAsset(object, done.block()));
        model.setZoomOffset(QSizeF(3, 0));
        MixedMediaObjectStorage::setCroppedImageResultsHeldForTesting(false);
        ASSERT_TRUE(done.wait());
        EXPECT_EQ(done.error.code, int(ContentAssetStorage::Cancelled));
        EXPECT_EQ(model.croppedImageAsset(), first);
        EXPECT_EQ(assetFiles(), filesBefore);
    }

    // Two requests in a row: only the second one's picture lands.
    model.setZoomOffset(QSizeF(0, 0));
    {
        Held held;
        Completion one, two;
        model.setFrame(QRectF(0, 0, 240, 120));
        ASSERT_TRUE(MixedMediaObjectStorage::makeAndSetCroppedImageAssetFromOriginalImageAsset(object, one.block()));
        model.setFrame(QRectF(0, 0, 260, 130));
        ASSERT_TRUE(MixedMediaObjectStorage::makeAndSetCroppedImageAssetFromOriginalImageAsset(object, two.block()));
        MixedMediaObjectStorage::setCroppedImageResultsHeldForTesting(false);
        ASSERT_TRUE(one.wait() && two.wait());
        EXPECT_EQ(one.error.code, int(ContentAssetStorage::Cancelled));
        EXPECT_TRUE(two.error.isNull());
        EXPECT_EQ(fileSize(model.croppedImageAsset()), QSize(260, 130));
        EXPECT_EQ(assetFiles().size(), 2); // the original and the one cropped picture (no retina above 0.5)
    }

    // The same picture asked for twice (a view asking again while the first is made): both callers hear success
    // and the picture fits.
    {
        Held held;
        Completion one, two;
        model.setFrame(QRectF(0, 0, 280, 140));
        ASSERT_TRUE(MixedMediaObjectStorage::makeAndSetCroppedImageAssetFromOriginalImageAsset(object, one.block()));
        ASSERT_TRUE(MixedMediaObjectStorage::makeAndSetCroppedImageAssetFromOriginalImageAsset(object, two.block()));
        MixedMediaObjectStorage::setCroppedImageResultsHeldForTesting(false);
        ASSERT_TRUE(one.wait() && two.wait());
        EXPECT_TRUE(one.error.isNull());
        EXPECT_TRUE(two.error.isNull());
        EXPECT_EQ(fileSize(model.croppedImageAsset()), QSize(280, 140));
        EXPECT_EQ(assetFiles().size(), 2) << "the first picture is replaced by the second, not kept beside it";
    }

    // A resize step whose picture is still on its way when it is undone: the undo keeps the old picture; the redo
    // makes the one for the redone frame.
    const auto flow = document->firstFlowmodel();
    const auto beforeStep = model.croppedImageAsset();
    {
        Held held;
        Completion done;
        flow->beginUndoableChanges();
        model.setFrame(QRectF(0, 0, 300, 150));
        ASSERT_TRUE(MixedMediaObjectStorage::makeAndSetCroppedImageAssetFromOriginalImageAsset(object, done.block()));
        flow->endUndoableChanges();
        ASSERT_TRUE(flow->undoManager().undo());
        EXPECT_EQ(object->object()->frame(), QRectF(0, 0, 280, 140));
        MixedMediaObjectStorage::setCroppedImageResultsHeldForTesting(false);
        ASSERT_TRUE(done.wait());
        EXPECT_EQ(done.error.code, int(ContentAssetStorage::Cancelled));
        ASSERT_TRUE(object->object()->croppedImageAsset());
        EXPECT_EQ(object->object()->croppedImageAsset()->localFilePath(), beforeStep->localFilePath());
    }
    ASSERT_TRUE(flow->undoManager().redo());
    EXPECT_EQ(object->object()->frame(), QRectF(0, 0, 300, 150));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return fileSize(object->object()->croppedImageAsset()) == QSize(300, 150); }, 30000));
}

TEST_F(ObjectSetupTest, VideoGetsItsPosterFrameAndPdfItsFirstPage)
{
    Tessutils::setUserMaxUploadSize(0);
    const QString dataDir =
        TestEnvironment::dataDir().isEmpty() ? QStringLiteral(TESS_STORAGE_TEST_DATA_DIR) : TestEnvironment::dataDir();
    auto video = fileItem(3, dataDir + QStringLiteral("/clip.mp4"));
    ASSERT_TRUE(setUp(video, true).isNull());
    EXPECT_EQ(object->type(), ZERI_MixedMediaObject::Video);
    ASSERT_TRUE(object->object()->videoAsset());
    EXPECT_TRUE(object->object()->videoAsset()->localFilePath().endsWith(QStringLiteral(".mp4")));
    EXPECT_EQ(MixedMediaObjectStorage::originalImageSize(*object->object()), QSizeF(160, 120));

    const QString pdf = folders.temporaryPath() + QStringLiteral("/two pages.pdf");
    {
        QPdfWriter writer(pdf);
        writer.setPageSize(QPageSize(QSizeF(200, 100), QPageSize::Point));
        writer.setResolution(72);
        QPainter painter(&writer);
        painter.fillRect(QRectF(0, 0, 100, 100), Qt::black);
        writer.newPage();
        painter.fillRect(QRectF(0, 0, 200, 100), Qt::green);
    }
    ASSERT_TRUE(setUp(fileItem(7, pdf), true).isNull());
    EXPECT_EQ(object->type(), ZERI_MixedMediaObject::PDF);
    ASSERT_TRUE(object->object()->pdfAsset());
    EXPECT_EQ(MixedMediaObjectStorage::originalImageSize(*object->object()), QSizeF(400, 200));
    const QImage page(object->object()->originalImageAsset()->localFilePath());
    EXPECT_LT(qGray(page.pixel(20, 100)), 40);   // the black square of page 1
    EXPECT_GT(qGray(page.pixel(380, 100)), 230); // white paper beside it
}

TEST_F(ObjectSetupTest, ContentThatIsNotWhatItClaimsFailsAndKeepsThePreviousMedia)
{
    auto item = std::make_shared<QVRCustomDataDataItem>();
    item->setType(1);
    item->setCustomMainData(pngBytes(64, 48));
    ASSERT_TRUE(setUp(item).isNull());
    const auto before = object->object()->jsonDictionary();
    const QStringList filesBefore = assetFiles();

    const QString text = folders.temporaryPath() + QStringLiteral("/notes.png");
    ASSERT_TRUE(writeBytes(text, "these are not pixels\n"));
    const QString png = folders.temporaryPath() + QStringLiteral("/still.png");
    ASSERT_TRUE(writeBytes(png, pngBytes(16, 16)));
    const QString truncatedPdf = folders.temporaryPath() + QStringLiteral("/broken.pdf");
    ASSERT_TRUE(writeBytes(truncatedPdf, "%PDF-1.4\n1 0 obj <<"));
    for (const auto& [type, path] :
         {std::pair{1, text}, std::pair{3, png}, std::pair{3, text}, std::pair{7, truncatedPdf}, std::pair{9, png}}) {
        const Error error = setUp(fileItem(type, path), true);
        EXPECT_EQ(error.domain, QStringLiteral("ZERI_ContentAssetErrorDomain")) << type << " " << path.toStdString();
        EXPECT_EQ(error.code, ContentAssetStorage::WrongContent) << type << " " << path.toStdString();
        EXPECT_EQ(object->object()->jsonDictionary(), before);
        EXPECT_EQ(assetFiles(), filesBefore);
    }

    const Error missing = setUp(fileItem(1, folders.temporaryPath() + QStringLiteral("/gone.png")));
    EXPECT_EQ(missing.code, ContentAssetStorage::ReadFailure);

    Tessutils::setUserMaxUploadSize(10);
    const Error tooLarge = setUp(fileItem(1, png));
    EXPECT_EQ(tooLarge.domain, QStringLiteral("ZERI_ContentAssetErrorDomain"));
    EXPECT_EQ(tooLarge.code, ContentAssetStorage::TooLarge);
    EXPECT_EQ(object->object()->jsonDictionary(), before);
}

// A 45-megapixel photo is taken (decoded at a reduced size, its crops measured in the file's own pixels); a JPEG
// whose header claims more than can be decoded is refused as a picture too large, not as damaged content.
TEST_F(ObjectSetupTest, ALargePhotoIsInsertedAndCroppedAndAHugeOneIsRefusedAsTooLarge)
{
    QImage photo(8256, 5504, QImage::Format_Grayscale8);
    for (int y = 0; y < photo.height(); ++y)
        std::memset(photo.scanLine(y), y * 255 / photo.height(), size_t(photo.bytesPerLine()));
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    ASSERT_TRUE(buffer.open(QIODevice::WriteOnly) && photo.save(&buffer, "jpeg"));
    const QString path = folders.temporaryPath() + QStringLiteral("/photo.jpg");
    ASSERT_TRUE(writeBytes(path, jpeg));
    const Error inserted = setUp(fileItem(1, path));
    ASSERT_TRUE(inserted.isNull()) << inserted.message.toStdString();
    EXPECT_EQ(MixedMediaObjectStorage::originalImageSize(*object->object()), QSizeF(8256, 5504));
    // The whole photo in a 412.8 × 275.2-point frame: the crop's last row is the photo's last, white.
    makeCrops(QSizeF(412.8, 275.2), 0.05);
    const QImage cropped(object->object()->croppedImageAsset()->localFilePath());
    ASSERT_EQ(cropped.size(), QSize(413, 276));
    EXPECT_GT(qGray(cropped.pixel(200, 274)), 245);
    EXPECT_NEAR(qGray(cropped.pixel(200, 138)), 127, 4);
    EXPECT_LT(qGray(cropped.pixel(200, 1)), 10);

    QByteArray forged = jpeg;
    const qsizetype frame = forged.indexOf("\xFF\xC0");
    ASSERT_GT(frame, 0);
    for (const qsizetype at : {frame + 5, frame + 7}) {
        forged[at] = char(40000 >> 8);
        forged[at + 1] = char(40000 & 0xFF);
    }
    const QString huge = folders.temporaryPath() + QStringLiteral("/huge.jpg");
    ASSERT_TRUE(writeBytes(huge, forged));
    const Error refused = setUp(fileItem(1, huge));
    EXPECT_EQ(refused.domain, QStringLiteral("ZERI_ContentAssetErrorDomain"));
    EXPECT_EQ(refused.code, ContentAssetStorage::PictureTooLarge);
}

// A movie file that holds sound only is readable media, but no video: the set-up says it holds no picture, and
// nothing changes.
TEST_F(ObjectSetupTest, AMovieFileOfSoundOnlyIsNoVideoAndSaysSo)
{
    if (QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty())
        GTEST_SKIP() << "ffmpeg is needed to make the test file";
    const QString tone = folders.temporaryPath() + QStringLiteral("/tone.mp4");
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), {"-v", "error", "-y", "-f", "lavfi", "-i",
                                            "sine=frequency=440:sample_rate=44100:duration=1", "-c:a", "aac", tone});
    ASSERT_TRUE(ffmpeg.waitForFinished(60000) && ffmpeg.exitCode() == 0) << ffmpeg.readAllStandardError().data();
    const auto before = object->object()->jsonDictionary();
    const QStringList filesBefore = assetFiles();

    const Error error = setUp(fileItem(3, tone), true);
    EXPECT_EQ(error.domain, QStringLiteral("ZERI_ContentAssetErrorDomain"));
    EXPECT_EQ(error.code, ContentAssetStorage::NoPicture) << error.message.toStdString();
    EXPECT_EQ(object->object()->jsonDictionary(), before);
    EXPECT_EQ(assetFiles(), filesBefore);
}

TEST_F(ObjectSetupTest, CancelledSetupReportsOnceAndLeavesNothing)
{
    auto item = std::make_shared<QVRCustomDataDataItem>();
    item->setType(1);
    item->setCustomMainData(pngBytes(64, 48));
    Completion done;
    MixedMediaObjectStorage::setupUsingDataItem(object, item, done.block());
    EXPECT_TRUE(MixedMediaObjectStorage::isSettingUp(object));
    MixedMediaObjectStorage::cancelSetupUsingDataItem(object);
    ASSERT_TRUE(done.wait());
    QCoreApplication::processEvents();
    EXPECT_EQ(done.calls, 1);
    EXPECT_EQ(done.error.code, ContentAssetStorage::Cancelled);
    EXPECT_FALSE(object->object()->originalImageAsset());
    EXPECT_TRUE(assetFiles().isEmpty());
}

TEST_F(ObjectSetupTest, ReplacingACroppedAssetKeepsWhatAnUndoStepHoldsAndDefersTheServerDeletion)
{
    Tessutils::setCorvikUserDict(SafeDictionary(QJsonObject{{QStringLiteral("username"), QStringLiteral("ada")}}));
    package->metaData().setOwner(QJsonObject{{QStringLiteral("username"), QStringLiteral("ada")}});
    const QString oldFile = package->assetsPath() + QStringLiteral("/old.png");
    ASSERT_TRUE(writeBytes(oldFile, pngBytes(4, 4)));
    auto old = ZERI_ContentAsset::create();
    old->setExternalURL(QUrl::fromLocalFile(oldFile));
    old->setCorvikContentID(QStringLiteral("c-1"));
    MixedMediaObjectStorage::setCroppedImageAsset(object, old);

    const QStringList held = AssetFileReferences::retainFilesOfItem(*object->object());
    MixedMediaObjectStorage::setCroppedImageAsset(object, ZERI_ContentAsset::create());
    EXPECT_TRUE(QFileInfo::exists(oldFile));
    EXPECT_EQ(package->pendingServerDeletionsForTesting(), QStringList{QStringLiteral("c-1")});
    AssetFileReferences::releaseFiles(held);
    EXPECT_FALSE(QFileInfo::exists(oldFile));
    Tessutils::setCorvikUserDict(std::nullopt);
}

TEST_F(ObjectSetupTest, RemoveAllAssetsClearsTheObjectAndDeletesFilesNobodyElseUses)
{
    const QString own = package->assetsPath() + QStringLiteral("/own.png");
    const QString shared = package->assetsPath() + QStringLiteral("/shared.png");
    ASSERT_TRUE(writeBytes(own, pngBytes(4, 4)));
    ASSERT_TRUE(writeBytes(shared, pngBytes(4, 4)));
    auto target = addImageObject(*document, own);
    auto crop = ZERI_ContentAsset::create();
    crop->setExternalURL(QUrl::fromLocalFile(shared));
    target->object()->setCroppedImageAsset(crop);
    addImageObject(*document, shared);

    MixedMediaObjectStorage::removeAllAssets(target);
    EXPECT_TRUE(target->object()->getAllContentAssets().empty());
    EXPECT_FALSE(QFileInfo::exists(own));
    EXPECT_TRUE(QFileInfo::exists(shared));
}

TEST_F(ObjectSetupTest, TemporaryCopyHasItsOwnFiles)
{
    const QString file = package->assetsPath() + QStringLiteral("/a.png");
    ASSERT_TRUE(writeBytes(file, pngBytes(4, 4)));
    auto source = addImageObject(*document, file);
    auto copy = MixedMediaObjectStorage::getCopyForTempDirectory(source);
    ASSERT_TRUE(copy);
    const QString copied = copy->object()->originalImageAsset()->localFilePath();
    EXPECT_EQ(QFileInfo(copied).path(), MixedMediaObjectStorage::tempDirectoryForCopies());
    EXPECT_EQ(readBytes(copied), readBytes(file));
    MixedMediaObjectStorage::clearTempDirectoryForCopies();
    EXPECT_FALSE(QFileInfo::exists(copied));
    EXPECT_TRUE(QFileInfo::exists(file));
}

TEST_F(ObjectSetupTest, ClipboardCopiesShareTheirFilesByLinksAndComeBackInOrderOnTheMainThread)
{
    const QString first = package->assetsPath() + QStringLiteral("/first.png");
    const QString second = package->assetsPath() + QStringLiteral("/second.png");
    ASSERT_TRUE(writeBytes(first, pngBytes(4, 4)));
    ASSERT_TRUE(writeBytes(second, pngBytes(8, 8)));
    auto a = addImageObject(*document, first);
    auto b = addImageObject(*document, second);
    std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>> copies;
    bool done = false, onMainThread = false;
    MixedMediaObjectStorage::getCopiesForTempDirectory({b, nullptr, a}, [&](auto result) {
        copies = std::move(result);
        onMainThread = QThread::currentThread() == QCoreApplication::instance()->thread();
        done = true;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 5000));
    EXPECT_TRUE(onMainThread);
    ASSERT_EQ(copies.size(), 2u) << "a missing object is left out";
    const QString copiedB = copies[0]->object()->originalImageAsset()->localFilePath();
    const QString copiedA = copies[1]->object()->originalImageAsset()->localFilePath();
    EXPECT_EQ(QFileInfo(copiedA).path(), MixedMediaObjectStorage::tempDirectoryForCopies());
    EXPECT_EQ(readBytes(copiedB), readBytes(second));
    EXPECT_EQ(readBytes(copiedA), readBytes(first));
    struct stat original {
    }, linked{};
    ASSERT_EQ(::stat(QFile::encodeName(first).constData(), &original), 0);
    ASSERT_EQ(::stat(QFile::encodeName(copiedA).constData(), &linked), 0);
    EXPECT_EQ(original.st_ino, linked.st_ino) << "the same file under a second name";
    EXPECT_EQ(a->object()->originalImageAsset()->localFilePath(), first) << "the source keeps its file";
    MixedMediaObjectStorage::clearTempDirectoryForCopies();
    EXPECT_TRUE(QFileInfo::exists(first));
}

TEST_F(ObjectSetupTest, ClipboardCopiesInQuickSuccessionEachReplaceOnlyEarlierFiles)
{
    const QString file = package->assetsPath() + QStringLiteral("/pic.png");
    ASSERT_TRUE(writeBytes(file, pngBytes(4, 4)));
    auto source = addImageObject(*document, file);
    const auto copiedFile = [](const std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>>& copies) {
        return copies.size() == 1 ? copies[0]->object()->originalImageAsset()->localFilePath() : QString();
    };
    // One copy kept without replacing, then three replacing ones asked for at once: each later one removes the
    // files before it, never its own or a later one's.
    std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>> kept;
    MixedMediaObjectStorage::getCopiesForTempDirectory({source}, [&](auto copies) { kept = std::move(copies); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return !kept.empty(); }, 5000));
    std::vector<std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>>> results(3);
    for (auto& result : results)
        MixedMediaObjectStorage::getCopiesForTempDirectory(
            {source}, [&result](auto copies) { result = std::move(copies); }, true);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return std::all_of(results.begin(), results.end(), [](const auto& r) { return !r.empty(); }) &&
                   QDir(MixedMediaObjectStorage::tempDirectoryForCopies()).entryList(QDir::Files).size() == 1;
        },
        5000));
    EXPECT_FALSE(QFileInfo::exists(copiedFile(kept)));
    EXPECT_FALSE(QFileInfo::exists(copiedFile(results[0])));
    EXPECT_FALSE(QFileInfo::exists(copiedFile(results[1])));
    EXPECT_EQ(readBytes(copiedFile(results[2])), readBytes(file));
    EXPECT_TRUE(QFileInfo::exists(file));
    MixedMediaObjectStorage::clearTempDirectoryForCopies();
}

// A cropped picture made again lands while a clipboard copy is waiting to link the one it replaces: the copy
// still gets that picture, and the package loses it once the copy is made.
TEST_F(ObjectSetupTest, AClipboardCopyKeepsAPictureReplacedBeforeItsFilesAreLinked)
{
    auto item = std::make_shared<QVRCustomDataDataItem>();
    item->setType(1);
    item->setCustomMainData(twoColourPng(400, 200));
    ASSERT_TRUE(setUp(item).isNull());
    makeCrops(QSizeF(200, 100), 0.5);
    const QString replaced = object->object()->croppedImageAsset()->localFilePath();
    const QByteArray replacedBytes = readBytes(replaced);
    ASSERT_FALSE(replacedBytes.isEmpty());

    MixedMediaObjectStorage::setCroppedImageResultsHeldForTesting(true);
    MixedMediaObjectStorage::setClipboardCopiesHeldForTesting(true);
    Completion cropped;
    ASSERT_TRUE(MixedMediaObjectStorage::makeAndSetCroppedImageAssetFromOriginalImageAsset(object, cropped.block()));
    std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>> copies;
    bool copied = false;
    MixedMediaObjectStorage::getCopiesForTempDirectory({object}, [&](auto result) {
        copies = std::move(result);
        copied = true;
    });
    MixedMediaObjectStorage::setCroppedImageResultsHeldForTesting(false);
    ASSERT_TRUE(cropped.wait());
    ASSERT_TRUE(cropped.error.isNull());
    EXPECT_NE(object->object()->croppedImageAsset()->localFilePath(), replaced);
    MixedMediaObjectStorage::setClipboardCopiesHeldForTesting(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return copied; }, 5000));

    ASSERT_EQ(copies.size(), 1u);
    ASSERT_TRUE(copies[0]->object()->croppedImageAsset());
    const QString copy = copies[0]->object()->croppedImageAsset()->localFilePath();
    EXPECT_EQ(QFileInfo(copy).path().toStdString(), MixedMediaObjectStorage::tempDirectoryForCopies().toStdString());
    EXPECT_TRUE(readBytes(copy) == replacedBytes) << "the picture as it was when copied";
    EXPECT_FALSE(QFileInfo::exists(replaced)) << "the replaced picture still goes from the package";
    EXPECT_EQ(AssetFileReferences::referenceCount(replaced), 0);
    MixedMediaObjectStorage::clearTempDirectoryForCopies();
}

// Files gone from disk: a copy never names a file of the package. A missing cropped picture is left for the
// paste to make again; an object without its original stays off the clipboard.
TEST_F(ObjectSetupTest, ClipboardCopiesNeverNameFilesOutsideTheirFolder)
{
    const QString whole = package->assetsPath() + QStringLiteral("/whole.png");
    const QString kept = package->assetsPath() + QStringLiteral("/kept.png");
    const QString gone = package->assetsPath() + QStringLiteral("/gone.png");
    ASSERT_TRUE(writeBytes(whole, pngBytes(4, 4)));
    ASSERT_TRUE(writeBytes(kept, pngBytes(8, 8)));
    auto intact = addImageObject(*document, whole);
    auto uncropped = addImageObject(*document, kept);
    auto crop = ZERI_ContentAsset::create();
    crop->setExternalURL(QUrl::fromLocalFile(gone));
    uncropped->object()->setCroppedImageAsset(crop);
    auto orphan = addImageObject(*document, gone);
    auto web = ZERI_ContentAsset::create();
    web->setExternalURL(QUrl(QStringLiteral("https://127.0.0.1:9/pic.png")));
    intact->object()->setCroppedImageAsset(web);

    std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>> copies;
    bool copied = false;
    MixedMediaObjectStorage::getCopiesForTempDirectory({intact, orphan, uncropped}, [&](auto result) {
        copies = std::move(result);
        copied = true;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return copied; }, 5000));
    ASSERT_EQ(copies.size(), 2u);
    EXPECT_EQ((*copies[0])->internalID(), (*intact)->internalID());
    EXPECT_EQ((*copies[1])->internalID(), (*uncropped)->internalID());
    EXPECT_EQ(copies[0]->object()->croppedImageAsset()->externalURL(), web->externalURL()) << "a web address stays";
    EXPECT_FALSE(copies[1]->object()->croppedImageAsset());
    const QString copiedOriginal = copies[1]->object()->originalImageAsset()->localFilePath();
    EXPECT_EQ(QFileInfo(copiedOriginal).path().toStdString(),
              MixedMediaObjectStorage::tempDirectoryForCopies().toStdString());
    EXPECT_TRUE(readBytes(copiedOriginal) == readBytes(kept));
    EXPECT_TRUE(uncropped->object()->croppedImageAsset()) << "the source is left as it is";
    MixedMediaObjectStorage::clearTempDirectoryForCopies();
}

TEST_F(ObjectSetupTest, StreamingVideoFetchesItsThumbnailAndPointsTheVideoAtTheSite)
{
    LocalHttpServer server;
    ASSERT_TRUE(server.listen());
    server.setRoute(QStringLiteral("/thumb.jpg"), {200, pngBytes(120, 90)});
    auto item = std::make_shared<QVRStreamingVideoDataItem>();
    item->setContentId(QStringLiteral("abc"));
    item->setYoutubeURL(QUrl(QStringLiteral("https://www.youtube.com/watch?v=abc")));
    item->setThumbnailUrl(server.url(QStringLiteral("/thumb.jpg")));
    ZERI_ContentURLDownloaderDataProcessor processor;
    Completion fetched;
    processor.processDataItem(item, fetched.block());
    ASSERT_TRUE(fetched.wait());
    ASSERT_TRUE(fetched.error.isNull()) << fetched.error.message.toStdString();
    ASSERT_TRUE(item->thumbnailUrl().isLocalFile());
    EXPECT_EQ(QFileInfo(item->thumbnailUrl().toLocalFile()).path(), QVRDataItem::externalDataItemFilesFolder());

    ASSERT_TRUE(setUp(item, true).isNull());
    EXPECT_EQ(object->type(), ZERI_MixedMediaObject::Video);
    EXPECT_EQ(object->object()->videoAsset()->externalURL(), item->youtubeURL());
    ASSERT_TRUE(object->as<ZERI_MMObject_Video>());
    EXPECT_TRUE(object->as<ZERI_MMObject_Video>()->isYoutubeVideo()) << "streamed, never fetched as a file";
    EXPECT_EQ(QFileInfo(object->object()->originalImageAsset()->localFilePath()).path(), package->assetsPath());
    EXPECT_EQ(MixedMediaObjectStorage::originalImageSize(*object->object()), QSizeF(120, 90));

    // A missing thumbnail is the processor's error; nothing was set up.
    auto missing = std::make_shared<QVRStreamingVideoDataItem>();
    missing->setThumbnailUrl(server.url(QStringLiteral("/none.jpg")));
    Completion failed;
    processor.processDataItem(missing, failed.block());
    ASSERT_TRUE(failed.wait());
    EXPECT_EQ(failed.error.domain, QStringLiteral("ZERI_WebDownloaderError"));
}

TEST_F(ObjectSetupTest, ImageSizesAreReadFromTheHeaderTurnedAndRememberedOnlyWhenReadable)
{
    // A JPEG stored 400 × 300 whose orientation turns it a quarter: shown 300 × 400.
    const QString turned = package->assetsPath() + QStringLiteral("/turned.jpg");
    {
        QImage picture(400, 300, QImage::Format_RGB32);
        picture.fill(Qt::gray);
        QImageWriter writer(turned, "jpeg");
        writer.setTransformation(QImageIOHandler::TransformationRotate90);
        ASSERT_TRUE(writer.write(picture));
    }
    EXPECT_EQ(MixedMediaObjectStorage::imageSizeOfFile(turned), QSizeF(300, 400));
    auto asset = ZERI_ContentAsset::create();
    asset->setExternalURL(QUrl::fromLocalFile(turned));
    object->object()->setOriginalImageAsset(asset);
    EXPECT_EQ(MixedMediaObjectStorage::originalImageSize(*object->object()), QSizeF(300, 400));

    // Unreadable: zero, and not remembered.
    const QString later = package->assetsPath() + QStringLiteral("/later.png");
    EXPECT_EQ(MixedMediaObjectStorage::imageSizeOfFile(later), QSizeF(0, 0));
    ASSERT_TRUE(writeBytes(later, pngBytes(7, 5)));
    EXPECT_EQ(MixedMediaObjectStorage::imageSizeOfFile(later), QSizeF(7, 5));
    EXPECT_EQ(MixedMediaObjectStorage::imageSizeOfFile(QString()), QSizeF(0, 0));

    // Eight threads asking at once for the same hundred files all get the right sizes.
    QStringList paths;
    for (int i = 0; i < 100; ++i) {
        paths << package->assetsPath() + QStringLiteral("/many-%1.png").arg(i);
        ASSERT_TRUE(writeBytes(paths.back(), pngBytes(i + 1, 2 * i + 1)));
    }
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&paths, &wrong] {
            for (int i = 0; i < paths.size(); ++i) {
                if (MixedMediaObjectStorage::imageSizeOfFile(paths[i]) != QSizeF(i + 1, 2 * i + 1))
                    ++wrong;
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(wrong.load(), 0);
}
