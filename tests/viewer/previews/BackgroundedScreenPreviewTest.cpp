#include <QFileInfo>
#include <QSemaphore>
#include <QWidget>

#include <gtest/gtest.h>

#include "PreviewTestSupport.h"
#include "viewer/previews/TessarineBackgroundedScreenPreview.h"

using namespace previewtest;

namespace {

// Gives the screen stored previews through its own generator and waits for them.
void storePreviews(const std::shared_ptr<ZERI_FlowScreenModel>& screen)
{
    QVRScreenPreviewGenerator generator(screen);
    requestAndWait(generator);
}

class BackgroundedScreenPreviewTest : public ::testing::Test {
protected:
    ScopedPreviewEnvironment environment;
    DrawingCounter drawings;
    std::shared_ptr<ZERI_TessarineModel> storedDocument;
    QWidget host;

    // A view in the window of the first screen of a saved document, which has stored previews; the drawings
    // counted are those made from then on.
    TessarineBackgroundedScreenPreview* viewWithStoredPreviews(TessarineBackgroundedScreenPreview::StoredPicture how)
    {
        storedDocument = makeSavedDocument(1);
        const auto screen = storedDocument->firstFlowmodel()->screenModels().front();
        storePreviews(screen);
        drawings.install();
        host.resize(300, 200);
        return new TessarineBackgroundedScreenPreview(QRect(0, 0, 256, 187), screen, true, how, &host);
    }
};

class Delegate : public TessarineBackgroundedScreenPreviewDelegate {
public:
    void previewFinishedGenerating(TessarineBackgroundedScreenPreview*) override { ++calls; }
    int calls = 0;
};

} // namespace

TEST(BackgroundedScreenPreviewBounds, CleanupBoundsPicksTheNeighbourWithTheBitmapsRatio)
{
    const QRectF bitmap(0, 0, 1024, 748);
    {
        ScopedLogCapture log;
        EXPECT_EQ(TessarineBackgroundedScreenPreview::cleanupBounds(QRectF(5, 7, 137, 99), bitmap),
                  QRectF(0, 0, 138, 100));
        EXPECT_TRUE(log.contains(QStringLiteral("attempting to get better ratio!!!\norig:")));
    }
    {
        ScopedLogCapture log;
        EXPECT_EQ(TessarineBackgroundedScreenPreview::cleanupBounds(QRectF(0, 0, 512.5, 374.9), bitmap),
                  QRectF(0, 0, 512.5, 374.9));
        EXPECT_FALSE(log.contains(QStringLiteral("attempting")));
    }
    // The smaller neighbour when only it comes closer; degenerate rectangles are left alone.
    EXPECT_EQ(TessarineBackgroundedScreenPreview::cleanupBounds(QRectF(0, 0, 136, 100), bitmap), QRectF(0, 0, 135, 99));
    EXPECT_EQ(TessarineBackgroundedScreenPreview::cleanupBounds(QRectF(0, 0, 0.5, 10), bitmap), QRectF(0, 0, 0.5, 10));
    EXPECT_EQ(TessarineBackgroundedScreenPreview::cleanupBounds(QRectF(0, 0, 3, 1), bitmap), QRectF(0, 0, 4, 2));
}

TEST_F(BackgroundedScreenPreviewTest, ABurstOfMovesGivesOneNewPairShownSoonAfterTheLastMove)
{
    auto document = makeSavedDocument(1);
    const auto screen = document->firstFlowmodel()->screenModels().front();
    storePreviews(screen);
    const QString assets = packageOf(*document)->assetsPath();

    QWidget window;
    window.resize(600, 400);
    Delegate delegate;
    auto* preview = new TessarineBackgroundedScreenPreview(QRect(0, 0, 512, 374), screen, &window);
    preview->setDelegate(&delegate);
    ASSERT_FALSE(preview->currentPreviewImage().isNull()); // the stored picture, from the start
    EXPECT_EQ(preview->currentPreviewImage().size(), QSize(512, 374));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::qWait(300); // nothing changed: the stored picture stays
    drawings.install();
    const QSet<QString> before = jpegFiles(assets);

    const auto shape = screen->mixedMediaObjects().front();
    for (int i = 1; i <= 10; ++i) {
        shape->object()->setFrame(kShapeFrame.translated(-30 * i, 40));
        QTest::qWait(50);
    }
    QElapsedTimer sinceLastMove;
    sinceLastMove.start();
    // The shape's new place, in the shown picture's coordinates (half size).
    const QRectF moved = kShapeFrame.translated(-300, 40);
    const QPoint sample((moved.center() / 2).toPoint());
    EXPECT_TRUE(QTest::qWaitFor([&] { return preview->grab().toImage().pixelColor(sample) == kShapeColour; }, 5000));
    // One wait of kUpdateDelaySeconds after the last move and one drawing, not a wait per move; the margin is for
    // a loaded machine running the sanitizer builds.
    EXPECT_LE(sinceLastMove.elapsed(), 1500);
    EXPECT_EQ(drawings.started.load(), 1);
    EXPECT_EQ((jpegFiles(assets) - before).size(), 2);
    EXPECT_GE(delegate.calls, 1);

    // Storing the pictures is no reason for another request.
    QTest::qWait(2000);
    EXPECT_EQ(drawings.started.load(), 1);
    EXPECT_FALSE(preview->hasPendingUpdate());
    EXPECT_FALSE(screen->gettingScreenPreview());
}

TEST_F(BackgroundedScreenPreviewTest, AChangeMadeWhileARequestRunsIsShownAfterIt)
{
    auto document = makeSavedDocument(1);
    const auto screen = document->firstFlowmodel()->screenModels().front();
    storePreviews(screen);
    QWidget window;
    window.resize(600, 400);
    auto* preview = new TessarineBackgroundedScreenPreview(QRect(0, 0, 512, 374), screen, &window);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    // The first drawing waits until the view's own request has come and gone.
    QSemaphore gate;
    std::atomic<bool> first{true};
    drawings.onStart = [&] {
        if (first.exchange(false))
            gate.acquire();
    };
    drawings.install();
    screen->setPreviewInvalidated(true);
    screen->getScreenPreviewImages();
    EXPECT_TRUE(QTest::qWaitFor([&] { return drawings.started.load() == 1; }, 2000));
    const auto shape = screen->mixedMediaObjects().front();
    shape->object()->setFrame(kShapeFrame.translated(-300, 40));
    QTest::qWait(400); // the view's wait ends while the screen is still busy
    gate.release();

    const QRectF moved = kShapeFrame.translated(-300, 40);
    const QPoint sample((moved.center() / 2).toPoint());
    EXPECT_TRUE(QTest::qWaitFor([&] { return preview->grab().toImage().pixelColor(sample) == kShapeColour; }, 3000));
    EXPECT_EQ(drawings.started.load(), 2);
}

TEST_F(BackgroundedScreenPreviewTest, ATextlessViewStandsInTheNormalPreviewUntilATextlessOneArrives)
{
    auto document = makeSavedDocument(1);
    const auto screen = document->firstFlowmodel()->screenModels().front();
    storePreviews(screen);
    screen->setPreviewScreenShotAsset_textless(nullptr);

    QWidget window;
    window.resize(600, 400);
    auto* preview = new TessarineBackgroundedScreenPreview(QRect(0, 0, 512, 374), screen, 1.0, false, &window);
    EXPECT_TRUE(preview->drewNormalPreviewWhenTextlessPreviewWasRequested());
    const QImage standIn = preview->currentPreviewImage();
    ASSERT_FALSE(standIn.isNull());

    ScopedLogCapture log;
    screen->setPreviewInvalidated(true);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !preview->drewNormalPreviewWhenTextlessPreviewWasRequested(); }, 5000));
    EXPECT_TRUE(log.contains(QStringLiteral("Replacing a normal preview with a textless preview.")));
    ASSERT_TRUE(screen->previewScreenShotAsset_textless());
    // The text is gone from the shown picture: its frame shows the background.
    const QImage shown = preview->currentPreviewImage();
    EXPECT_EQ(shown.pixelColor(kTextFrame.topLeft().toPoint() + QPoint(20, 20)), kBackground);
}

TEST_F(BackgroundedScreenPreviewTest, AnUnreadablePreviewFileShowsNothingAndIsLogged)
{
    auto document = makeSavedDocument(1);
    const auto screen = document->firstFlowmodel()->screenModels().front();
    storePreviews(screen);
    QFile file(screen->previewScreenShotAsset()->localFilePath());
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.resize(file.size() / 3));
    file.close();
    ScopedLogCapture log;
    TessarineBackgroundedScreenPreview preview(QRect(0, 0, 256, 187), screen);
    EXPECT_TRUE(preview.currentPreviewImage().isNull());
    EXPECT_TRUE(log.contains(QStringLiteral("error!? grabbing file: ")));

    // A screen gone: the view has nothing to show and asks nothing.
    TessarineBackgroundedScreenPreview empty(QRect(0, 0, 256, 187), nullptr);
    EXPECT_TRUE(empty.attemptToCreateCachedPreviewImageFromModel().isNull());
}

TEST_F(BackgroundedScreenPreviewTest, ABackgroundDecodingShowsTheStoredPictureLaterAndAnUnreadableOneIsDrawnAnew)
{
    auto* preview = viewWithStoredPreviews(TessarineBackgroundedScreenPreview::StoredPicture::DecodeInBackground);
    const auto screen = preview->screenModel();
    host.show();
    // Shown while its picture is still being decoded elsewhere: empty, and it asks its screen for nothing.
    EXPECT_TRUE(preview->isDecodingStoredPicture());
    EXPECT_TRUE(preview->currentPreviewImage().isNull());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !preview->isDecodingStoredPicture(); }, 5000));
    EXPECT_EQ(preview->currentPreviewImage().size(), QSize(256, 187));
    QTest::qWait(50);
    EXPECT_EQ(drawings.started.load(), 0);

    // An unreadable stored file: nothing decoded, logged, and the shown view has the screen drawn anew.
    QFile file(screen->previewScreenShotAsset()->localFilePath());
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.resize(file.size() / 3));
    file.close();
    ScopedLogCapture log;
    auto* again = new TessarineBackgroundedScreenPreview(
        QRect(0, 0, 256, 187), screen, true, TessarineBackgroundedScreenPreview::StoredPicture::DecodeInBackground,
        &host);
    again->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !again->isDecodingStoredPicture(); }, 5000));
    EXPECT_TRUE(log.contains(QStringLiteral("error!? grabbing file: ")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !again->currentPreviewImage().isNull(); }, 5000));
    EXPECT_EQ(drawings.started.load(), 1);

    // A view given another screen while it decodes drops the old screen's picture.
    auto other = makeSavedDocument(1)->firstFlowmodel()->screenModels().front();
    auto* moved = new TessarineBackgroundedScreenPreview(
        QRect(0, 0, 256, 187), screen, true, TessarineBackgroundedScreenPreview::StoredPicture::DecodeInBackground,
        &host);
    moved->setScreenModel(other);
    EXPECT_FALSE(moved->isDecodingStoredPicture());
    QTest::qWait(100);
    EXPECT_TRUE(moved->currentPreviewImage().isNull());
}

// The many views of a long strip, most never shown: one reads its stored picture only once it shows.
TEST_F(BackgroundedScreenPreviewTest, AViewThatDecodesWhenShownReadsNothingUntilItShowsAndThenItsStoredPicture)
{
    auto* preview = viewWithStoredPreviews(TessarineBackgroundedScreenPreview::StoredPicture::DecodeWhenShown);
    preview->hide();
    host.show();
    QTest::qWait(50);
    EXPECT_FALSE(preview->isDecodingStoredPicture());
    EXPECT_TRUE(preview->currentPreviewImage().isNull());

    preview->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !preview->currentPreviewImage().isNull(); }, 5000));
    EXPECT_EQ(preview->currentPreviewImage().size(), QSize(256, 187));
    QTest::qWait(50);
    EXPECT_EQ(drawings.started.load(), 0) << "the stored picture is shown, not the screen drawn anew";
}

TEST(BackgroundedScreenPreviewScaling, AViewPaintsItsLatestPictureAtItsSizeThroughResizesAndNewPictures)
{
    QWidget window;
    window.resize(400, 300);
    auto* preview = new TessarineBackgroundedScreenPreview(QRect(0, 0, 160, 120), nullptr, 1.0, true, &window);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const auto shown = [preview](const QSize& size, const QColor& colour) {
        QImage picture(size, QImage::Format_RGB32);
        picture.fill(colour);
        preview->previewScreenshotGotten(
            Notification{QString(), nullptr, {{QStringLiteral("PreviewScreenImageRef"), picture}}});
    };
    const auto paintedIn = [preview](const QColor& colour) {
        const QImage painted = preview->grab().toImage();
        for (const QPoint& p : {QPoint(0, 0), QPoint(painted.width() - 1, painted.height() - 1),
                                QPoint(painted.width() / 2, painted.height() / 2)})
            if (painted.pixelColor(p) != colour)
                return false;
        return true;
    };

    // A large picture (slow to scale) followed at once by a small one: the view ends with the small one, however
    // the scalings finish.
    shown(QSize(4000, 3000), Qt::red);
    shown(QSize(400, 300), Qt::blue);
    EXPECT_TRUE(QTest::qWaitFor([&] { return paintedIn(Qt::blue); }, 2000));
    QTest::qWait(300);
    EXPECT_TRUE(paintedIn(Qt::blue));

    // A burst of sizes: the picture fills the last one.
    for (const QSize& size : {QSize(90, 70), QSize(210, 150), QSize(133, 97)})
        preview->resize(size);
    shown(QSize(400, 300), Qt::green);
    EXPECT_EQ(preview->grab().size(), QSize(133, 97));
    EXPECT_TRUE(paintedIn(Qt::green));
}

TEST(BackgroundedScreenPreviewScaling, AReceivedPictureLargerThanTheViewIsHeldAtTheViewsSizeOnly)
{
    QWidget window;
    window.resize(400, 300);
    auto* preview = new TessarineBackgroundedScreenPreview(QRect(0, 0, 160, 120), nullptr, 1.0, true, &window);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QImage large(2048, 1496, QImage::Format_RGB32);
    large.fill(Qt::red);
    preview->previewScreenshotGotten(
        Notification{QString(), nullptr, {{QStringLiteral("PreviewScreenImageRef"), large}}});
    large = QImage();
    // Held at the view's size in device pixels once scaled, and still painted whole.
    EXPECT_TRUE(QTest::qWaitFor([&] { return preview->currentPreviewImage().size() == preview->pictureSize(); }, 5000));
    EXPECT_EQ(preview->pictureSize(), QSize(160, 120) * preview->devicePixelRatioF());
    const QImage painted = preview->grab().toImage();
    EXPECT_EQ(painted.pixelColor(0, 0), QColor(Qt::red));
    EXPECT_EQ(painted.pixelColor(painted.width() - 1, painted.height() - 1), QColor(Qt::red));
    // A smaller picture is kept as it is.
    QImage small(100, 75, QImage::Format_RGB32);
    small.fill(Qt::blue);
    preview->previewScreenshotGotten(
        Notification{QString(), nullptr, {{QStringLiteral("PreviewScreenImageRef"), small}}});
    QTest::qWait(100);
    EXPECT_EQ(preview->currentPreviewImage().size(), QSize(100, 75));
}
