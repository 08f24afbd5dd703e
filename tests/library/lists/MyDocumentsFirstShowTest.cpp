#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "ListsTestSupport.h"
#include "controls/QVR_AsynchronousRenderWebImageView.h"
#include "library/lists/QVRMyTessarinesViewController.h"
#include "library/lists/QVRTessarineListsWindowController.h"
#include "library/lists/QVRTessarineTileGridItemView.h"
#include "library/lists/TilePreviews.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "storage/ZERI_qvdFilePackageMetadata.h"
#include "support/TestPictures.h"
#include "strings/UFM.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

using namespace lists_test;
using library_test::waitUntil;

namespace {

constexpr int kFullWidth = QVRTessarineTileGridItemView::kWidth;

class MyDocumentsFirstShow : public ListsTest {
protected:
    void TearDown() override
    {
        delete m_window.data();
        // Pictures still being made finish before the packages' folders go.
        waitUntil([] { return TilePreviews::pendingCount() == 0; });
        ListsTest::TearDown();
    }
    // The lists window on its first show, as the application opens it.
    QVRMyTessarinesViewController* showListsWindow()
    {
        auto* controller = new QVRTessarineListsWindowController;
        m_window = controller->myWindow();
        m_window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(m_window));
        return controller->myTessarinesViewController();
    }
    // Every tile on show at full size, inside the page's width.
    static void expectFullSizeTiles(QVRMyTessarinesViewController* grid, const char* when)
    {
        const int pageWidth = grid->scrollArea()->viewport()->width();
        for (QWidget* tile : grid->tileViews()) {
            ASSERT_TRUE(tile) << when;
            EXPECT_EQ(tile->width(), kFullWidth) << when;
            const QRect frame(tile->mapTo(grid->scrollArea()->viewport(), QPoint(0, 0)), tile->size());
            EXPECT_GE(frame.left(), 0) << when;
            EXPECT_LE(frame.right(), pageWidth) << when;
        }
    }
    // The hint's text fits its label and the label lies wholly in sight.
    static void expectWholeHint(QVRMyTessarinesViewController* grid)
    {
        QLabel* hint = grid->emptyStateLabel();
        ASSERT_TRUE(hint->isVisible());
        EXPECT_GE(hint->height(), hint->heightForWidth(hint->width()));
        const QRect inViewport(hint->mapTo(grid->scrollArea()->viewport(), QPoint(0, 0)), hint->size());
        EXPECT_TRUE(grid->scrollArea()->viewport()->rect().contains(inViewport))
            << inViewport.x() << "," << inViewport.y() << " " << inViewport.width() << "x" << inViewport.height();
    }

    QPointer<QWidget> m_window;
};

TEST_F(MyDocumentsFirstShow, AFreshHomeShowsAFullSizeCreateTileTheWholeHintAndItsArrow)
{
    QVRMyTessarinesViewController* grid = showListsWindow();
    ASSERT_EQ(grid->tileViews().size(), 1);
    expectFullSizeTiles(grid, "first show");
    expectWholeHint(grid);

    // The arrow leads from the hint to the create-new tile; the picture lies under the grid, centred.
    QLabel* arrow = grid->blueArrow();
    ASSERT_TRUE(arrow->isVisible());
    EXPECT_FALSE(arrow->pixmap().isNull());
    QWidget* createNew = grid->tileViews().first();
    const QRect tile(createNew->mapTo(grid->scrollArea()->widget(), QPoint(0, 0)), createNew->size());
    EXPECT_GE(arrow->x(), tile.right());
    EXPECT_LE(arrow->geometry().right(), grid->emptyStateLabel()->x());
    EXPECT_LT(arrow->y(), tile.bottom());
    QLabel* background = grid->bgImageView();
    EXPECT_FALSE(background->pixmap().isNull());
    EXPECT_EQ(background->y(), -400);
    EXPECT_NEAR(background->geometry().center().x(), grid->scrollArea()->widget()->width() / 2, 1);
    EXPECT_EQ(grid->scrollArea()->widget()->children().indexOf(background), 0) << "bottom-most";

    // The smallest window the home window allows, and a hide and show, keep it whole.
    m_window->resize(m_window->minimumSize());
    ASSERT_TRUE(waitUntil([&] { return m_window->size() == m_window->minimumSize(); }));
    QTest::qWait(10);
    expectFullSizeTiles(grid, "smallest window");
    expectWholeHint(grid);
    m_window->hide();
    m_window->resize(1200, 800);
    m_window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window));
    expectFullSizeTiles(grid, "shown again");
    expectWholeHint(grid);

    // The first document hides the empty state.
    makePackage(QStringLiteral("First"), {}, stampForSecondsAgo(5));
    ASSERT_TRUE(waitUntil([&] { return grid->tileViews().size() == 2; }));
    EXPECT_FALSE(arrow->isVisible());
    EXPECT_FALSE(grid->emptyStateLabel()->isVisible());
    expectFullSizeTiles(grid, "one document");
}

TEST_F(MyDocumentsFirstShow, SixDocumentsShowFullSizeTilesWithTitlesAndTheirOwnPreviews)
{
    QStringList titles;
    for (int i = 0; i < 6; ++i) {
        const QString title = i < 5 ? QStringLiteral("Deck %1").arg(i) : QString();
        auto package = makePackage(title, {}, stampForSecondsAgo(100 - i));
        // Each first screen its own colour; the last deck has no title, as imported decks do.
        auto screen = package->model()->firstFlowmodel()->screenModels().front();
        screen->setBackgroundColor(QColor::fromHsv(i * 60, 255, 255));
        ASSERT_TRUE(package->saveModel());
        ASSERT_TRUE(package->unloadModel());
        titles.append(title.isEmpty() ? UFM::UNTITLED_TEXT() : title);
    }
    QVRMyTessarinesViewController* grid = showListsWindow();
    ASSERT_EQ(grid->tileViews().size(), 7);
    expectFullSizeTiles(grid, "six documents");
    QStringList shown;
    for (int i = 1; i < 7; ++i)
        shown << qobject_cast<QVRTessarineTileGridItemView*>(grid->tileViews().at(i))->titleLabel()->text();
    shown.sort();
    titles.sort();
    EXPECT_EQ(shown, titles);

    // The previews arrive, one per document, each of its own first screen; no package's document was loaded
    // for it.
    ASSERT_TRUE(waitUntil([&] { return TilePreviews::pendingCount() == 0; }, 20000));
    QSet<QRgb> colours;
    for (const auto& package : grid->tessarinePackages()) {
        const QString path = package->metaData().previewScreenshotFilePath();
        ASSERT_TRUE(QFileInfo::exists(path)) << path.toStdString();
        EXPECT_TRUE(path.startsWith(package->assetsPath()));
        EXPECT_FALSE(package->model());
        const QImage picture(path);
        ASSERT_FALSE(picture.isNull());
        EXPECT_EQ(picture.width(), TilePreviews::kPictureWidth);
        colours.insert(picture.pixel(4, 4) & 0xF0F0F0);
        EXPECT_FALSE(TilePreviews::needsPreview(*package));
    }
    EXPECT_EQ(colours.size(), 6);
}

TEST_F(MyDocumentsFirstShow, NewAndEditedDocumentsGetAFreshPreview)
{
    QVRMyTessarinesViewController* grid = showListsWindow();
    auto package = makePackage(QStringLiteral("New"), {}, stampForSecondsAgo(1));
    ASSERT_TRUE(waitUntil([&] { return grid->tileViews().size() == 2; }));
    ASSERT_TRUE(waitUntil([&] { return QFileInfo::exists(package->metaData().previewScreenshotFilePath()); }));
    const QString first = package->metaData().previewScreenshotFilePath();
    EXPECT_NE(QImage(first).pixel(4, 4) & 0xF0F0F0, 0u);

    // An edit saved to the draft: the tile's picture is drawn again and the old file goes.
    QTest::qWait(20); // the draft's time must differ from the picture's
    package->model()->firstFlowmodel()->screenModels().front()->setBackgroundColor(Qt::black);
    package->model()->setUpdatedDate(QDateTime::currentDateTimeUtc().addSecs(5));
    ASSERT_TRUE(package->saveModel());
    ASSERT_TRUE(waitUntil([&] { return package->metaData().previewScreenshotFilePath() != first; }));
    const QString second = package->metaData().previewScreenshotFilePath();
    ASSERT_TRUE(waitUntil([&] { return QFileInfo::exists(second); }));
    EXPECT_EQ(QImage(second).pixel(4, 4) & 0xF0F0F0, 0u);
    // The package's writer removes it behind the metadata that no longer names it.
    EXPECT_TRUE(waitUntil([&] { return !QFileInfo::exists(first); }));
}

// A document as it came from the service (a synced one) shows the service's picture of it: no picture is drawn
// here, where its media may be missing, until it is edited here.
TEST_F(MyDocumentsFirstShow, ADocumentAsTheServiceKeepsItShowsTheServicesPictureUntilEditedHere)
{
    auto package = makePackage(QStringLiteral("Synced"), {}, stampForSecondsAgo(10));
    package->model()->firstFlowmodel()->screenModels().front()->setBackgroundColor(Qt::black);
    ASSERT_TRUE(package->saveModel());
    ZERI_qvdFilePackageMetadata& metadata = package->metaData();
    const QUrl served = m_service.addContent(QStringLiteral("SERVED-PREVIEW"),
                                             pictureBytes(QSize(464, 340), Qt::red, "JPEG"), QStringLiteral("p.jpg"));
    metadata.setPreviewScreenshotURLString(served.toString());
    metadata.setServerSavedDraftRevision(metadata.draftRevision());
    package->saveMetadata();
    ASSERT_TRUE(package->unloadModel());
    EXPECT_FALSE(TilePreviews::needsPreview(*package));

    QVRMyTessarinesViewController* grid = showListsWindow();
    ASSERT_TRUE(waitUntil([&] { return grid->tileViews().size() == 2; }));
    ASSERT_TRUE(waitUntil([&] { return m_service.contentRequestCount() >= 1; }, 20000));
    ASSERT_TRUE(waitUntil([&] { return TilePreviews::pendingCount() == 0; }, 20000));
    QTest::qWait(200);
    EXPECT_TRUE(metadata.previewScreenshotFilePath().isEmpty()) << "the service's picture was replaced by a drawing";

    // Edited here: the drawing follows the draft.
    ASSERT_TRUE(package->loadModel());
    package->model()->firstFlowmodel()->screenModels().front()->setBackgroundColor(Qt::blue);
    ASSERT_TRUE(package->saveModel());
    EXPECT_TRUE(TilePreviews::needsPreview(*package));
    ASSERT_TRUE(waitUntil([&] { return QFileInfo::exists(metadata.previewScreenshotFilePath()); }));
}

// A document as the service keeps it whose service picture cannot be had (404) is drawn here instead; drawn while its
// picture (an original only, as the service's documents carry) was still on the service, it fetches the picture and
// is drawn again with it.
TEST_F(MyDocumentsFirstShow, WithoutTheServicesPictureTheDocumentIsDrawnHereAndAgainOnceItsPictureCame)
{
    auto package = makePackage(QStringLiteral("Posted"), {}, stampForSecondsAgo(10));
    const auto screen = package->model()->firstFlowmodel()->screenModels().front();
    screen->setBackgroundColor(Qt::white);
    for (const auto& object : screen->mixedMediaObjects())
        screen->removeMixedMediaObject(object);
    auto image = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Image);
    (*image)->setFrame(QRectF(0, 0, 1024, 748));
    auto original = ZERI_ContentAsset::create();
    original->setExternalURL(m_service.addContent(QStringLiteral("PHOTO"),
                                                  pictureBytes(QSize(400, 300), QColor(20, 160, 90), "PNG"),
                                                  QStringLiteral("photo.png")));
    (*image)->setOriginalImageAsset(original);
    screen->addMixedMediaObject(image);
    ASSERT_TRUE(package->saveModel());
    ZERI_qvdFilePackageMetadata& metadata = package->metaData();
    metadata.setPreviewScreenshotURLString(m_service.contentURL(QStringLiteral("NO-PREVIEW"), "p.jpg").toString());
    metadata.setServerSavedDraftRevision(metadata.draftRevision());
    package->saveMetadata();
    ASSERT_TRUE(package->unloadModel());

    showListsWindow();
    const auto middle = [&] {
        const QImage picture(metadata.previewScreenshotFilePath());
        return picture.isNull() ? QColor() : picture.pixelColor(picture.width() / 2, picture.height() / 2);
    };
    ASSERT_TRUE(waitUntil([&] { return middle().isValid() && middle().green() > 120 && middle().red() < 60; }, 20000))
        << middle().name().toStdString();
}

// A document never opened here whose picture came from the service (named by its web address, stored in the
// package's assets folder as the downloader stores it): its tile's picture shows the picture.
TEST_F(MyDocumentsFirstShow, ATilePictureDrawsPicturesStoredUnderTheirWebAddresses)
{
    auto package = makePackage(QStringLiteral("From the service"), {}, stampForSecondsAgo(5));
    const auto screen = package->model()->firstFlowmodel()->screenModels().front();
    screen->setBackgroundColor(Qt::white);
    const auto objects = screen->mixedMediaObjects();
    for (const auto& object : objects)
        screen->removeMixedMediaObject(object);
    const QUrl address(QStringLiteral("https://media.example/pictures/green.png"));
    QImage green(200, 150, QImage::Format_RGB32);
    green.fill(qRgb(20, 160, 90));
    ASSERT_TRUE(QDir().mkpath(package->assetsPath()));
    ASSERT_TRUE(green.save(ZERI_ContentAsset::fileForUrlInFolder(address, package->assetsPath())));
    auto image = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Image);
    (*image)->setFrame(QRectF(0, 0, 1024, 748));
    auto asset = ZERI_ContentAsset::create();
    asset->setExternalURL(address);
    (*image)->setCroppedImageAsset(asset);
    screen->addMixedMediaObject(image);
    ASSERT_TRUE(package->saveModel());
    ASSERT_TRUE(package->unloadModel());

    showListsWindow();
    ASSERT_TRUE(waitUntil([&] { return QFileInfo::exists(package->metaData().previewScreenshotFilePath()); }, 20000));
    const QImage picture(package->metaData().previewScreenshotFilePath());
    ASSERT_FALSE(picture.isNull());
    const QColor middle = picture.pixelColor(picture.width() / 2, picture.height() / 2);
    EXPECT_LT(std::abs(middle.red() - 20) + std::abs(middle.green() - 160) + std::abs(middle.blue() - 90), 40)
        << middle.name().toStdString();
}

} // namespace

// Packages brought from elsewhere, never opened: their "assets" is a relative link to a folder of the user's (in
// the wild the desktop's autostart folder; here one of the test's own), one names a preview address ending in
// ".desktop", the other an earlier picture outside the package. Showing My Documents fetches and draws their
// pictures inside the packages only: no file appears in, or goes from, the user's folder.
TEST_F(MyDocumentsFirstShow, LinkedAssetsFoldersAreReplacedBeforeAnyPictureLandsAndNothingOutsideChanges)
{
    QTemporaryDir users;
    ASSERT_TRUE(users.isValid());
    const QString autostart = users.filePath(QStringLiteral("autostart"));
    ASSERT_TRUE(QDir().mkpath(autostart));
    const QString foreignPicture = users.filePath(QStringLiteral("tile-preview-of-someone-else.jpg"));
    {
        QFile file(foreignPicture);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("the user's own file");
        file.setFileTime(QDateTime::currentDateTime().addDays(-1), QFileDevice::FileModificationTime);
    }
    const QUrl launcher = m_service.addContent(QStringLiteral("PREVIEW"), "[Desktop Entry]\nExec=sh -c true\n",
                                               QStringLiteral("launcher.desktop"));
    ASSERT_TRUE(launcher.path().endsWith(QLatin1String(".desktop")));

    QStringList packageFolders;
    for (const QString& title : {QStringLiteral("Linked with address"), QStringLiteral("Linked with picture")}) {
        auto package = makePackage(title, {}, stampForSecondsAgo(60));
        ASSERT_TRUE(package);
        ASSERT_TRUE(QDir(package->assetsPath()).removeRecursively());
        ASSERT_TRUE(QFile::link(QDir(package->path()).relativeFilePath(autostart), package->assetsPath()));
        ASSERT_TRUE(QFileInfo(package->assetsPath()).isSymLink());
        if (packageFolders.isEmpty())
            package->metaData().setPreviewScreenshotURLString(launcher.toString());
        else
            package->metaData().setPreviewScreenshotFilePath(foreignPicture);
        ASSERT_TRUE(package->saveMetadata());
        packageFolders << package->path();
    }
    // As after a start: the packages are read from disk, none of them open.
    ZERI_qvdFilePackage::resetForTesting();

    QVRMyTessarinesViewController* grid = showListsWindow();
    ASSERT_EQ(grid->tileViews().size(), 3);
    ASSERT_TRUE(waitUntil([&] { return m_service.contentRequestCount() >= 1; }, 20000));
    ASSERT_TRUE(waitUntil(
        [&] {
            if (TilePreviews::pendingCount() != 0)
                return false;
            for (const auto& package : grid->tessarinePackages()) {
                const QString picture = package->metaData().previewScreenshotFilePath();
                if (picture.isEmpty() || picture == foreignPicture || !QFileInfo::exists(picture))
                    return false;
            }
            // The fetched picture has landed somewhere.
            const QStringList landed = QDir(autostart).entryList(QDir::Files) +
                                       QDir(packageFolders.first() + QStringLiteral("/assets")).entryList(QDir::Files);
            return !landed.filter(QRegularExpression(QStringLiteral("^[0-9a-f]{40}"))).isEmpty();
        },
        20000));

    EXPECT_EQ(QDir(autostart)
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
                  .join(QLatin1Char(' '))
                  .toStdString(),
              "");
    EXPECT_TRUE(QFileInfo(foreignPicture).isFile()) << "a file outside the package was deleted";
    for (const QString& folder : packageFolders) {
        const QFileInfo assets(folder + QStringLiteral("/assets"));
        EXPECT_TRUE(assets.isDir() && !assets.isSymLink());
        for (const QString& name : QDir(assets.filePath()).entryList(QDir::Files)) {
            EXPECT_FALSE(name.endsWith(QLatin1String(".desktop"))) << name.toStdString();
            EXPECT_TRUE(name.startsWith(QLatin1String("tile-preview-")) ||
                        QRegularExpression(QStringLiteral("^[0-9a-f]{40}$")).match(name).hasMatch())
                << name.toStdString();
        }
    }
}

// A draft written while the picture of the one before it is being made (an edit saved just after another): the
// package gets a picture of the newer draft, not one of the older that would pass for up to date.
TEST_F(MyDocumentsFirstShow, ADraftWrittenWhileItsPictureIsMadeGetsAPictureOfItsOwn)
{
    auto package = makePackage(QStringLiteral("Changing deck"));
    const auto paint = [&](const QColor& colour) {
        if (!package->model()) {
            ASSERT_TRUE(package->loadModel());
        }
        package->model()->firstFlowmodel()->screenModels().front()->setBackgroundColor(colour);
        ASSERT_TRUE(package->saveModel());
        ASSERT_TRUE(package->unloadModel());
    };
    paint(Qt::red);
    // The next draft is written in a later millisecond than this one.
    QTest::qWait(50);
    ASSERT_TRUE(TilePreviews::needsPreview(*package));

    TilePreviews::request(package);
    // Queued after the drawing's turn: the red draft has been read when the blue one is written and asked for,
    // as a tile asks when the package's draft revision changes.
    bool repainted = false;
    QTimer::singleShot(0, [&] {
        paint(Qt::blue);
        TilePreviews::request(package);
        repainted = true;
    });
    ASSERT_TRUE(waitUntil([&] { return repainted && TilePreviews::pendingCount() == 0; }, 20000));

    const QString path = package->metaData().previewScreenshotFilePath();
    const QImage picture(path);
    ASSERT_FALSE(picture.isNull()) << path.toStdString();
    const QColor shown = picture.pixelColor(4, 4);
    EXPECT_TRUE(shown.blue() > 200 && shown.red() < 60) << shown.name().toStdString();
    EXPECT_FALSE(TilePreviews::needsPreview(*package));
}
