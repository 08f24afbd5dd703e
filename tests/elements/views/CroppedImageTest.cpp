#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QPainter>
#include <QPointer>
#include <QProcess>
#include <QTest>

#include "ElementViewTestSupport.h"
#include "elements/views/QVR_ImageMixedMediaElementView.h"
#include "foundation/Reachability.h"
#include "storage/ZERI_WebDownloader.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"

namespace {

const QRectF kFrame(0, 0, 40, 30);
const QString kRegular = QStringLiteral("/cropped/regular.png");
const QString kRetina = QStringLiteral("/cropped/retina.png");
const QString kOriginal = QStringLiteral("/original/picture.png");

QByteArray redRegular()
{
    return solidPng(QSize(40, 30), Qt::red);
}
QByteArray blueRetina()
{
    return solidPng(QSize(80, 60), Qt::blue);
}

// An image object whose assets point at the picture server.
struct ImageFixture {
    explicit ImageFixture(bool withRetina = true, bool withCropped = true)
    {
        object = doc.addObject(ZERI_MixedMediaObject::Image, kFrame);
        (*object)->setOriginalImageAsset(assetWithUrl(server.url(kOriginal)));
        if (withCropped)
            (*object)->setCroppedImageAsset(assetWithUrl(server.url(kRegular)));
        if (withCropped && withRetina)
            (*object)->setRetinaCroppedImageAsset(assetWithUrl(server.url(kRetina)));
        QCoreApplication::processEvents(); // the set-up's own change reports
    }
    QString cachePath(const QString& path) const { return cachedFilePath(server.url(path), doc.assetsPath()); }
    void putOnDisk(const QString& path, const QByteArray& bytes) const
    {
        ASSERT_TRUE(writeFile(cachePath(path), bytes));
    }

    PictureServer server;
    TestDocument doc;
    std::shared_ptr<ZERI_MixedMediaObjectProxy> object;
};

// The view drawn alone into a bitmap, at `pixelsPerPoint` device pixels per point.
QColor centreColour(QVR_ImageMixedMediaElementView& view, double pixelsPerPoint = 1.0)
{
    QGraphicsScene scene;
    scene.addItem(&view);
    const QSizeF size = view.boundingRect().size();
    QImage image((size * pixelsPerPoint).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(pixelsPerPoint);
    image.fill(Qt::white);
    QPainter painter(&image);
    scene.render(&painter, QRectF(QPointF(0, 0), size), QRectF(QPointF(0, 0), size));
    painter.end();
    scene.removeItem(&view);
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

bool waitForPicture(const QVR_ImageMixedMediaElementView& view)
{
    return QTest::qWaitFor([&] { return view.croppedImage() && view.croppedImage()->hasRepresentation(); }, 10000);
}

int downloadStatus(const std::shared_ptr<ZERI_WebDownloader>& downloader)
{
    return downloader ? downloader->downloadStatus() : 0;
}

} // namespace

TEST(CroppedImage, FilesOnDiskShowWithoutRequestsAndWithoutAnUpdateCall)
{
    ImageFixture fixture;
    fixture.putOnDisk(kRegular, redRegular());
    fixture.putOnDisk(kRetina, blueRetina());

    QVR_ImageMixedMediaElementView view(fixture.object);
    // Never decoded on the main thread: the files are being read by a worker when the view is made.
    EXPECT_FALSE(view.croppedImage()->hasRepresentation());
    EXPECT_TRUE(view.croppedImage()->isLoading());
    int updates = 0;
    view.croppedImage()->setOnImageRepresentationUpdate([&](QVR_CroppedImage*) { ++updates; });
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return !view.croppedImage()->regularImageRep().isNull() && !view.croppedImage()->retinaImageRep().isNull();
        },
        10000));
    EXPECT_EQ(view.croppedImage()->size(), kFrame.size());
    // Another view of the same files finds them decoded and shows them at once.
    QVR_ImageMixedMediaElementView second(fixture.object);
    EXPECT_TRUE(second.croppedImage()->hasRepresentation());
    EXPECT_FALSE(second.croppedImage()->isLoading());
    EXPECT_EQ(updates, 0);
    EXPECT_EQ(fixture.server.totalRequests(), 0);
    EXPECT_EQ(centreColour(view), QColor(Qt::red));
}

TEST(CroppedImage, MissingCroppedFilesAreFetchedOnceEachAndThenShown)
{
    ImageFixture fixture;
    fixture.server.serve(kRegular, redRegular());
    fixture.server.serve(kRetina, blueRetina());

    QVR_ImageMixedMediaElementView view(fixture.object);
    int updates = 0;
    view.croppedImage()->setOnImageRepresentationUpdate([&](QVR_CroppedImage*) { ++updates; });
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return !view.croppedImage()->regularImageRep().isNull() && !view.croppedImage()->retinaImageRep().isNull();
        },
        10000));
    EXPECT_EQ(fixture.server.requests(kRegular), 1);
    EXPECT_EQ(fixture.server.requests(kRetina), 1);
    EXPECT_EQ(fixture.server.totalRequests(), 2);
    EXPECT_GE(updates, 1);
    EXPECT_TRUE(QFile::exists(fixture.cachePath(kRegular)));
    EXPECT_EQ(centreColour(view), QColor(Qt::red));
}

TEST(CroppedImage, FailedCroppedFileFallsBackToTheOriginalCroppedLocally)
{
    ImageFixture fixture;
    (*fixture.object)->setZoomScale(0.1); // 400 × 300 pixels fill the 40 × 30 frame; a retina crop is made too
    fixture.server.serve(kRetina, blueRetina());
    fixture.server.serve(kOriginal, solidPng(QSize(400, 300), Qt::green));
    const QStringList filesBefore = filesIn(fixture.doc.assetsPath());

    QVR_ImageMixedMediaElementView view(fixture.object);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !view.croppedImage()->regularImageRep().isNull() && !view.croppedImage()->isLoading(); }, 10000));
    EXPECT_EQ(fixture.server.requests(kRegular), 1);
    EXPECT_EQ(fixture.server.requests(kOriginal), 1);
    // The new cropped files sit in the asset folder, beside the original's cached copy.
    const auto cropped = (*fixture.object)->croppedImageAsset();
    const auto retina = (*fixture.object)->retinaCroppedImageAsset();
    ASSERT_TRUE(cropped && retina);
    EXPECT_NE(cropped->externalURL(), fixture.server.url(kRegular));
    const QStringList filesAfter = filesIn(fixture.doc.assetsPath());
    EXPECT_TRUE(filesAfter.contains(QFileInfo(cropped->localFilePath()).fileName()));
    EXPECT_TRUE(filesAfter.contains(QFileInfo(retina->localFilePath()).fileName()));
    EXPECT_TRUE(filesAfter.contains(QFileInfo(fixture.cachePath(kOriginal)).fileName()));
    EXPECT_GT(filesAfter.size(), filesBefore.size());
    EXPECT_EQ(view.croppedImage()->regularImageFilepath(), cropped->localFilePath());
    EXPECT_FALSE(view.isObservingNetworkStatus());
    EXPECT_EQ(centreColour(view), QColor(Qt::green));
}

TEST(CroppedImage, OriginalOnDiskWithoutCroppedAssetsIsCroppedWithoutAnyRequest)
{
    ImageFixture fixture(/*withRetina=*/false, /*withCropped=*/false);
    (*fixture.object)->setZoomScale(0.1);
    fixture.putOnDisk(kOriginal, solidPng(QSize(400, 300), Qt::green));
    QVR_ImageMixedMediaElementView view(fixture.object);
    int updates = 0;
    view.croppedImage()->setOnImageRepresentationUpdate([&](QVR_CroppedImage*) { ++updates; });
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !view.croppedImage()->retinaImageRep().isNull() && !view.croppedImage()->isLoading(); }, 10000));
    EXPECT_TRUE((*fixture.object)->croppedImageAsset());
    EXPECT_EQ(fixture.server.totalRequests(), 0);
    EXPECT_GE(updates, 1); // a picture that arrives later is announced
    EXPECT_EQ(centreColour(view), QColor(Qt::green));
}

TEST(CroppedImage, RetinaFileIsDrawnOnlyAboveOnePixelPerPoint)
{
    {
        ImageFixture fixture;
        fixture.putOnDisk(kRegular, redRegular());
        fixture.putOnDisk(kRetina, blueRetina());
        QVR_ImageMixedMediaElementView view(fixture.object);
        // The two files are decoded side by side; until the regular one is in, the retina one stands in for it.
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return !view.croppedImage()->retinaImageRep().isNull() &&
                       !view.croppedImage()->regularImageRep().isNull();
            },
            10000));
        EXPECT_EQ(centreColour(view, 1.0), QColor(Qt::red));
        EXPECT_EQ(centreColour(view, 2.0), QColor(Qt::blue));
    }
    {
        ImageFixture fixture(/*withRetina=*/false);
        fixture.putOnDisk(kRegular, redRegular());
        QVR_ImageMixedMediaElementView view(fixture.object);
        ASSERT_TRUE(waitForPicture(view));
        EXPECT_EQ(centreColour(view, 1.0), QColor(Qt::red));
        EXPECT_EQ(centreColour(view, 2.0), QColor(Qt::red));
    }
}

// Run by the next test in a child process with QT_SCALE_FACTOR set: shows the view in a real window and checks
// the colour the screen gets.
TEST(CroppedImageOnScreen, DISABLED_ShowsTheExpectedColour)
{
    const QByteArray expected = qgetenv("TESS_EXPECTED_COLOUR");
    if (expected.isEmpty())
        GTEST_SKIP() << "run by ScaleFactorChoosesTheRepresentation";
    ImageFixture fixture(/*withRetina=*/qEnvironmentVariableIntValue("TESS_WITH_RETINA") != 0);
    fixture.putOnDisk(kRegular, redRegular());
    fixture.putOnDisk(kRetina, blueRetina());
    QGraphicsScene scene(kFrame);
    auto* view = new QVR_ImageMixedMediaElementView(fixture.object);
    scene.addItem(view);
    ASSERT_TRUE(waitForPicture(*view));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !view->croppedImage()->isLoading(); }, 10000));
    QGraphicsView canvas(&scene);
    canvas.setFrameShape(QFrame::NoFrame);
    canvas.resize(80, 60);
    canvas.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&canvas));
    const QImage shot = canvas.viewport()->grab().toImage();
    const QPoint centre = canvas.mapFromScene(kFrame.center()) * shot.devicePixelRatio();
    EXPECT_EQ(shot.pixelColor(centre).name(), QString::fromLatin1(expected)) << shot.devicePixelRatio();
}

TEST(CroppedImageOnScreen, ScaleFactorChoosesTheRepresentation)
{
    const auto runChild = [](const char* scale, bool withRetina, const char* colour) {
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_SCALE_FACTOR"), QString::fromLatin1(scale));
        environment.insert(QStringLiteral("TESS_EXPECTED_COLOUR"), QString::fromLatin1(colour));
        environment.insert(QStringLiteral("TESS_WITH_RETINA"), withRetina ? QStringLiteral("1") : QStringLiteral("0"));
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--gtest_also_run_disabled_tests"),
                     QStringLiteral("--gtest_filter=CroppedImageOnScreen.DISABLED_ShowsTheExpectedColour")});
        if (!child.waitForFinished(60000))
            return std::string("child did not finish");
        const std::string output = child.readAll().toStdString();
        return child.exitCode() == 0 && output.find("[  PASSED  ] 1 test") != std::string::npos ? std::string()
                                                                                                : output;
    };
    EXPECT_EQ(runChild("1", true, "#ff0000"), "");
    EXPECT_EQ(runChild("2", true, "#0000ff"), "");
    EXPECT_EQ(runChild("2", false, "#ff0000"), "");
}

TEST(CroppedImage, FailedDownloadsWaitForTheNetworkAndRetryOnlyTheCroppedFiles)
{
    ImageFixture fixture;
    Reachability& monitor = QVR_ImageHandlingMixedMediaElement::sharedReachability();
    EXPECT_EQ(QVR_ImageHandlingMixedMediaElement::networkStatusListenerCount(), 0);

    auto* first = new QVR_ImageMixedMediaElementView(fixture.object);
    auto* second = new QVR_ImageMixedMediaElementView(fixture.object);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const QVR_CroppedImage* image = first->croppedImage();
            return first->isObservingNetworkStatus() && second->isObservingNetworkStatus() &&
                   downloadStatus(image->regularImageDownloader()) == ZERI_WebDownloader::Failed &&
                   downloadStatus(image->retinaImageDownloader()) == ZERI_WebDownloader::Failed &&
                   downloadStatus(image->originalImageDownloader()) == ZERI_WebDownloader::Failed;
        },
        10000));
    // Both views share the downloaders: no second transfer of anything.
    EXPECT_EQ(first->croppedImage()->regularImageDownloader(), second->croppedImage()->regularImageDownloader());
    EXPECT_TRUE(first->croppedImage()->didDownloadersFail());
    EXPECT_EQ(QVR_ImageHandlingMixedMediaElement::networkStatusListenerCount(), 2);
    EXPECT_TRUE(monitor.isNotifierRunning());
    delete second;
    EXPECT_EQ(QVR_ImageHandlingMixedMediaElement::networkStatusListenerCount(), 1);
    EXPECT_TRUE(monitor.isNotifierRunning());

    const int regularBefore = fixture.server.requests(kRegular);
    const int retinaBefore = fixture.server.requests(kRetina);
    const int originalBefore = fixture.server.requests(kOriginal);
    fixture.server.serve(kRegular, redRegular());
    fixture.server.serve(kRetina, blueRetina());
    fixture.server.serve(kOriginal, solidPng(QSize(400, 300), Qt::green));
    Reachability::simulateReachabilityChangeForTesting(true);

    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return !first->croppedImage()->regularImageRep().isNull() &&
                   !first->croppedImage()->retinaImageRep().isNull();
        },
        10000));
    EXPECT_EQ(fixture.server.requests(kRegular), regularBefore + 1);
    EXPECT_EQ(fixture.server.requests(kRetina), retinaBefore + 1);
    EXPECT_EQ(fixture.server.requests(kOriginal), originalBefore);
    // The picture arrived: the view stopped waiting, and with it the shared watch.
    EXPECT_FALSE(first->isObservingNetworkStatus());
    EXPECT_EQ(QVR_ImageHandlingMixedMediaElement::networkStatusListenerCount(), 0);
    EXPECT_FALSE(monitor.isNotifierRunning());
    EXPECT_EQ(centreColour(*first), QColor(Qt::red));
    delete first;
    Reachability::clearSimulatedReachabilityForTesting();
}

TEST(CroppedImage, LeavingOrJoiningASceneAfterEveryDownloadFailedTriesAgain)
{
    ImageFixture fixture;
    // Both scenes outlive the view, so that neither deletes it.
    QGraphicsScene canvas;
    QGraphicsScene other;
    QVR_ImageMixedMediaElementView view(fixture.object);
    canvas.addItem(&view);
    // Every file of a round answered: the retina file's failure lands on its own time.
    const auto roundOver = [&] {
        return view.croppedImage()->didDownloadersFail() && !view.croppedImage()->isLoading();
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.isObservingNetworkStatus() && roundOver(); }, 10000));
    const int regularBefore = fixture.server.requests(kRegular);
    const int retinaBefore = fixture.server.requests(kRetina);
    const int originalBefore = fixture.server.requests(kOriginal);

    // Taken off the canvas, with no news from the network: the cropped file is asked for again (and fails again).
    canvas.removeItem(&view);
    ASSERT_TRUE(QTest::qWaitFor([&] { return fixture.server.requests(kRegular) == regularBefore + 1; }, 10000));
    // Its failure falls back to the original once more, which fails too.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return fixture.server.requests(kOriginal) > originalBefore &&
                   fixture.server.requests(kRetina) == retinaBefore + 1 && roundOver();
        },
        10000));
    EXPECT_FALSE(view.croppedImage()->hasRepresentation());

    // Put on another canvas once the files can be had: the picture comes, and the view stops waiting.
    fixture.server.serve(kRegular, redRegular());
    fixture.server.serve(kRetina, blueRetina());
    other.addItem(&view);
    // Both sizes are asked for; either may come first, so wait for both before counting.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return !view.croppedImage()->regularImageRep().isNull() && !view.croppedImage()->retinaImageRep().isNull();
        },
        10000));
    EXPECT_EQ(fixture.server.requests(kRegular), regularBefore + 2);
    EXPECT_FALSE(view.isObservingNetworkStatus());
    EXPECT_EQ(QVR_ImageHandlingMixedMediaElement::networkStatusListenerCount(), 0);
    other.removeItem(&view);
    // With the picture shown, a further move asks for nothing.
    canvas.addItem(&view);
    QCoreApplication::processEvents();
    EXPECT_EQ(fixture.server.requests(kRegular), regularBefore + 2);
    canvas.removeItem(&view);
}

TEST(CroppedImage, DestroyedWaitingViewsReleaseTheSharedWatch)
{
    ImageFixture fixture;
    Reachability& monitor = QVR_ImageHandlingMixedMediaElement::sharedReachability();
    {
        QVR_ImageMixedMediaElementView first(fixture.object);
        QVR_ImageMixedMediaElementView second(fixture.object);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return first.isObservingNetworkStatus() && second.isObservingNetworkStatus(); }, 10000));
        EXPECT_EQ(QVR_ImageHandlingMixedMediaElement::networkStatusListenerCount(), 2);
        EXPECT_TRUE(monitor.isNotifierRunning());
    }
    EXPECT_EQ(QVR_ImageHandlingMixedMediaElement::networkStatusListenerCount(), 0);
    EXPECT_FALSE(monitor.isNotifierRunning());
}

TEST(CroppedImage, FailedOriginalWithoutCroppedAssetsStillRetriesWhenTheNetworkReturns)
{
    ImageFixture fixture(/*withRetina=*/false, /*withCropped=*/false);
    QVR_ImageMixedMediaElementView view(fixture.object);
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.isObservingNetworkStatus(); }, 10000));
    EXPECT_EQ(view.croppedImage()->regularImageDownloader(), nullptr);
    EXPECT_TRUE(view.croppedImage()->didDownloadersFail());
    const int before = fixture.server.requests(kOriginal);
    EXPECT_EQ(before, 1);

    Reachability::simulateReachabilityChangeForTesting(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return fixture.server.requests(kOriginal) == before + 1; }, 10000));
    Reachability::clearSimulatedReachabilityForTesting();
}

TEST(CroppedImage, FileBackAtTheSamePathAfterAFailureOrReplacementIsReadAgain)
{
    ImageFixture fixture(/*withRetina=*/false);
    fixture.putOnDisk(kRegular, redRegular());
    QVR_ImageMixedMediaElementView view(fixture.object);
    QVR_CroppedImage* image = view.croppedImage();
    ASSERT_TRUE(waitForPicture(view));
    const QString path = image->regularImageFilepath();
    EXPECT_EQ(path, fixture.cachePath(kRegular));

    // Gone: the representation goes with it.
    ASSERT_TRUE(QFile::remove(path));
    image->updateImageRepsFromDownloaders();
    EXPECT_FALSE(image->hasRepresentation());

    // Back at the same place, with other content: read again.
    fixture.putOnDisk(kRegular, solidPng(QSize(40, 30), Qt::yellow));
    image->updateImageRepsFromDownloaders();
    ASSERT_TRUE(waitForPicture(view));
    EXPECT_EQ(centreColour(view), QColor(Qt::yellow));

    // Replaced in place (a new download landing over it): read again too.
    fixture.putOnDisk(kRegular, solidPng(QSize(40, 30), Qt::cyan));
    image->updateImageRepsFromDownloaders();
    ASSERT_TRUE(QTest::qWaitFor([&] { return centreColour(view) == QColor(Qt::cyan); }, 10000));
}

TEST(CroppedImage, UnreadableFileKeepsTheOtherRepresentationAndIsNotReadAgain)
{
    ImageFixture fixture;
    fixture.putOnDisk(kRegular, QByteArray("no picture"));
    fixture.putOnDisk(kRetina, blueRetina());
    QVR_ImageMixedMediaElementView view(fixture.object);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !view.croppedImage()->isLoading(); }, 10000));
    EXPECT_TRUE(view.croppedImage()->regularImageRep().isNull());
    EXPECT_FALSE(view.croppedImage()->retinaImageRep().isNull());
    EXPECT_EQ(view.croppedImage()->regularImageFilepath(), fixture.cachePath(kRegular));
    // Only the retina picture exists, so it is drawn at any density.
    EXPECT_EQ(centreColour(view), QColor(Qt::blue));
    EXPECT_EQ(fixture.server.totalRequests(), 0);
}

TEST(CroppedImage, ZoomAndFrameChangesRebuildThePictureAtTheNewSize)
{
    ImageFixture fixture(/*withRetina=*/false);
    fixture.putOnDisk(kRegular, redRegular());
    QVR_ImageMixedMediaElementView view(fixture.object);
    ASSERT_TRUE(waitForPicture(view));
    const QPointer<QVR_CroppedImage> before = view.croppedImage();
    const QPointer<AcceptsFirstMouseImageView> imageViewBefore = view.croppedImageView();

    (*fixture.object)->setFrame(QRectF(0, 0, 80, 60));
    (*fixture.object)->setZoomScale(0.5);
    ASSERT_TRUE(QTest::qWaitFor([&] { return before.isNull(); }, 5000));
    EXPECT_TRUE(imageViewBefore.isNull());
    EXPECT_EQ(view.croppedImage()->size(), QSizeF(80, 60));
    EXPECT_EQ(view.croppedImageView()->image(), view.croppedImage());
    EXPECT_EQ(view.childItems().size(), 1);
    ASSERT_TRUE(waitForPicture(view));
    EXPECT_EQ(fixture.server.totalRequests(), 0);

    // The container resizes the view; the picture view follows.
    view.setFrame(QRectF(0, 0, 80, 60));
    EXPECT_EQ(view.croppedImageView()->boundingRect(), QRectF(0, 0, 80, 60));
    EXPECT_EQ(centreColour(view), QColor(Qt::red));
}
