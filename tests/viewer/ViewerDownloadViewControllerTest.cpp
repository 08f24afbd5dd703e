#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

#include "controls/QVR_AsynchronousRenderWebImageView.h"
#include "storage/ZERI_WebDownloader.h"
#include "storage/ZERI_qvdFilePackageMetadata.h"
#include "viewer/QVRViewerDownloadViewController.h"
#include "ViewerTestSupport.h"
#include "support/UserInput.h"

using namespace viewertest;

namespace {

const QColor kAvatarColour(200, 30, 120);
const QColor kPreviewColour(20, 60, 220);

bool near(const QColor& a, const QColor& b)
{
    return std::abs(a.red() - b.red()) < 24 && std::abs(a.green() - b.green()) < 24 &&
           std::abs(a.blue() - b.blue()) < 24;
}

QColor centreOf(const QImage& image)
{
    return image.isNull() ? QColor() : image.pixelColor(image.width() / 2, image.height() / 2);
}

class DownloadPanel : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(env.started()); }

    // A saved document titled `title`, its package's metadata changed by `edit`.
    std::shared_ptr<ZERI_TessarineModel> document(const QString& title,
                                                  const std::function<void(ZERI_qvdFilePackageMetadata&)>& edit = {})
    {
        auto model = saveDocumentWith(nullptr, title);
        if (edit)
            edit(packageOf(*model)->metaData());
        return model;
    }
    static std::shared_ptr<ZERI_qvdFilePackage> packageOf(const ZERI_TessarineModel& model)
    {
        return std::dynamic_pointer_cast<ZERI_qvdFilePackage>(model.filePackage());
    }
    static QJsonObject ownerWithAvatar(const QJsonValue& avatar)
    {
        return QJsonObject{{QStringLiteral("display_name"), QStringLiteral("Ann")},
                           {QStringLiteral("cropped_avatar"), avatar}};
    }
    static QJsonObject avatarAt(const QString& url)
    {
        return QJsonObject{{QStringLiteral("or"), QJsonObject{{QStringLiteral("https"), url}}}};
    }

    ScopedViewerEnvironment env;
};

TEST_F(DownloadPanel, ShowsTheDocumentGivenBeforeItsViewWasMade)
{
    const QUrl avatar = env.service.addContent(QStringLiteral("avatar"), imageBytes(kAvatarColour, QSize(80, 80)),
                                               QStringLiteral("avatar.png"));
    auto model = document(QStringLiteral("Field trip"), [&](ZERI_qvdFilePackageMetadata& metadata) {
        metadata.setOwner(ownerWithAvatar(avatarAt(avatar.toString())));
    });

    QVRViewerDownloadViewController panel;
    panel.setInformation(model);
    EXPECT_FALSE(panel.isViewLoaded());
    QWidget* view = panel.view();
    view->resize(500, 560);
    view->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view));
    EXPECT_EQ(panel.titleLabel()->text(), QStringLiteral("Field trip"));
    EXPECT_EQ(panel.authorLabel()->text(), QStringLiteral("By Ann"));
    EXPECT_EQ(panel.cancelButton()->text(), QStringLiteral("Cancel"));
    ASSERT_NE(panel.profileImageView()->downloader(), nullptr);
    EXPECT_EQ(panel.profileImageView()->downloader()->url(), avatar);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return near(centreOf(panel.profileImageView()->renderedImage()), kAvatarColour); }, 5000));
}

// The card as it shows: the preview follows its rounded top corners, and the avatar has its faint black edge.
TEST_F(DownloadPanel, ThePreviewFollowsTheCardsCornersAndTheAvatarHasItsEdge)
{
    const QUrl avatar = env.service.addContent(QStringLiteral("avatar"), imageBytes(QColor(Qt::white), QSize(80, 80)),
                                               QStringLiteral("avatar.png"));
    const QUrl address =
        env.service.addContent(QStringLiteral("preview"), imageBytes(kPreviewColour), QStringLiteral("preview.png"));
    auto model = document(QStringLiteral("Corners"), [&](ZERI_qvdFilePackageMetadata& metadata) {
        metadata.setOwner(ownerWithAvatar(avatarAt(avatar.toString())));
        metadata.setPreviewScreenshotURLString(address.toString());
    });
    QVRViewerDownloadViewController panel;
    panel.setInformation(model);
    QWidget* view = panel.view();
    view->resize(500, 560);
    view->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view));
    view->resize(520, 580);
    auto* preview = panel.tessarinePreviewImageView();
    auto* face = panel.profileImageView();
    ASSERT_TRUE(QTest::qWaitFor([&] { return near(centreOf(preview->renderedImage()), kPreviewColour); }, 5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return near(centreOf(face->renderedImage()), Qt::white); }, 5000));
    UserInput::letRepaintsHappen();

    const QImage shownPreview = UserInput::shownImage(preview);
    ASSERT_FALSE(shownPreview.isNull());
    const int right = shownPreview.width() - 1;
    const int bottom = shownPreview.height() - 1;
    EXPECT_FALSE(near(shownPreview.pixelColor(0, 0), kPreviewColour)) << "square top left corner";
    EXPECT_FALSE(near(shownPreview.pixelColor(right, 0), kPreviewColour)) << "square top right corner";
    EXPECT_TRUE(near(shownPreview.pixelColor(shownPreview.width() / 2, 0), kPreviewColour));
    EXPECT_TRUE(near(shownPreview.pixelColor(0, bottom), kPreviewColour)) << "the lower corners meet the line";

    // A white picture: its edge is a 0.1 black line over white (about 230 of 255), its inside white.
    const QImage shownFace = UserInput::shownImage(face);
    ASSERT_FALSE(shownFace.isNull());
    const QColor edge = shownFace.pixelColor(0, shownFace.height() / 2);
    EXPECT_NEAR(edge.red(), 230, 8);
    EXPECT_EQ(edge.red(), edge.blue());
    EXPECT_GT(shownFace.pixelColor(shownFace.width() / 2, shownFace.height() / 2).red(), 250);
}

TEST_F(DownloadPanel, FallsBackToTheUntitledTextAndTheDefaultAvatar)
{
    // No avatar, a mistyped record, an address that is no web address: the default picture, nothing fetched.
    const QList<QJsonObject> owners{
        QJsonObject{{QStringLiteral("display_name"), QStringLiteral("Ann")}},
        ownerWithAvatar(QStringLiteral("not a record")),
        ownerWithAvatar(QJsonObject{{QStringLiteral("or"), 12}}),
        ownerWithAvatar(avatarAt(QStringLiteral("file:///etc/hostname"))),
        ownerWithAvatar(avatarAt(QString())),
    };
    const int requestsBefore = ZERI_WebDownloader::requestsStartedForTesting();
    for (const QJsonObject& owner : owners) {
        auto model = document(QString(), [&](ZERI_qvdFilePackageMetadata& metadata) { metadata.setOwner(owner); });
        QVRViewerDownloadViewController panel;
        panel.view();
        panel.setInformation(model);
        EXPECT_EQ(panel.titleLabel()->text(), QStringLiteral("Untitled"));
        EXPECT_EQ(panel.authorLabel()->text(), QStringLiteral("By Ann"));
        EXPECT_EQ(panel.profileImageView()->downloader(), nullptr);
        EXPECT_FALSE(panel.profileImageView()->renderedImage().isNull());
    }
    EXPECT_EQ(ZERI_WebDownloader::requestsStartedForTesting(), requestsBefore);

    // A document without a package or owner at all.
    QVRViewerDownloadViewController bare;
    bare.view();
    bare.setInformation(ZERI_TessarineModel::create());
    EXPECT_EQ(bare.authorLabel()->text(), QStringLiteral("By "));
}

TEST_F(DownloadPanel, ProgressReadsTruncatedPercentagesAndTheFillNeverPassesTheBar)
{
    QVRViewerDownloadViewController panel;
    panel.setProgress(0.25); // before the view: kept, shown once it is made
    panel.view()->resize(500, 560);
    panel.view()->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel.view()));
    EXPECT_EQ(panel.percentCompleteLabel()->text(), QStringLiteral("25%"));

    const int bar = panel.loadingBarView()->width();
    ASSERT_GT(bar, 100);
    const struct {
        double given;
        QString text;
        double shown;
    } cases[] = {
        {0.5, QStringLiteral("50%"), 0.5},
        {0.999, QStringLiteral("99%"), 0.999},
        {1.0, QStringLiteral("100%"), 1.0},
        {1.7, QStringLiteral("100%"), 1.0},
        {0.29, QStringLiteral("29%"), 0.29},
        {-0.3, QStringLiteral("0%"), 0.0},
        {std::numeric_limits<double>::quiet_NaN(), QStringLiteral("0%"), 0.0},
        {std::numeric_limits<double>::infinity(), QStringLiteral("100%"), 1.0},
    };
    for (const auto& c : cases) {
        panel.updateProgress(c.given);
        EXPECT_EQ(panel.percentCompleteLabel()->text(), c.text) << c.given;
        EXPECT_DOUBLE_EQ(panel.progress(), c.shown) << c.given;
        EXPECT_EQ(panel.loadingBarProgressView()->width(), int(std::floor(bar * c.shown))) << c.given;
        EXPECT_LE(panel.loadingBarProgressView()->geometry().right(), panel.loadingBarView()->rect().right());
    }
    // The fill follows the bar's width.
    panel.setProgress(0.5);
    panel.view()->resize(700, 560);
    QCoreApplication::processEvents();
    EXPECT_EQ(panel.loadingBarProgressView()->width(), panel.loadingBarView()->width() / 2);
}

// Over a player smaller than the card (a small window): the card scrolls, and its Cancel can be brought into
// sight; over a large one it stands in the middle.
TEST_F(DownloadPanel, ACardLargerThanThePlayerScrollsIntoSight)
{
    QVRViewerDownloadViewController panel;
    panel.view()->resize(320, 260);
    panel.view()->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel.view()));
    QWidget* cancel = panel.cancelButton();
    QScrollArea* area = nullptr;
    for (QWidget* up = cancel->parentWidget(); up && up != panel.view(); up = up->parentWidget())
        if (auto* scrolling = qobject_cast<QScrollArea*>(up))
            area = scrolling;
    ASSERT_TRUE(area) << "the card cannot scroll";
    EXPECT_TRUE(panel.view()->rect().contains(area->geometry()));
    area->ensureWidgetVisible(cancel, 0, 0);
    QCoreApplication::processEvents();
    const QRect shown(cancel->mapTo(area->viewport(), QPoint(0, 0)), cancel->size());
    EXPECT_TRUE(area->viewport()->rect().contains(shown));

    panel.view()->resize(900, 700);
    QCoreApplication::processEvents();
    const QRect card(panel.cardView()->mapTo(panel.view(), QPoint(0, 0)), panel.cardView()->size());
    EXPECT_LE(std::abs(card.center().x() - 450), 2);
    EXPECT_LE(std::abs(card.center().y() - 350), 4);

    // A window that centres the panel at its preferred size (the creator's) shows the card whole.
    QWidget host;
    host.resize(900, 700);
    auto* layout = new QVBoxLayout(&host);
    layout->addWidget(panel.view(), 0, Qt::AlignCenter);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    const QRect hosted(panel.cardView()->mapTo(&host, QPoint(0, 0)), panel.cardView()->size());
    EXPECT_TRUE(panel.view()->geometry().contains(hosted.adjusted(-4, -4, 4, 4)));
    EXPECT_TRUE(host.rect().contains(hosted));
    // Beside the card and above it, the window's own background shows.
    QPalette palette = host.palette();
    palette.setColor(QPalette::Window, QColor(230, 230, 230));
    host.setPalette(palette);
    host.setAutoFillBackground(true);
    host.repaint();
    for (const QPoint beside : {hosted.topLeft() + QPoint(-6, 40), hosted.topLeft() + QPoint(60, -6)})
        EXPECT_TRUE(near(UserInput::shownColor(&host, beside), QColor(230, 230, 230)))
            << UserInput::shownColor(&host, beside).name().toStdString();
}

TEST_F(DownloadPanel, PreviewComesFromTheStoredFileElseItsAddressElseTheFirstScreen)
{
    // The stored file, in the package.
    const QUrl address =
        env.service.addContent(QStringLiteral("preview"), imageBytes(kPreviewColour), QStringLiteral("preview.png"));
    auto withFile = document(QStringLiteral("A"), [&](ZERI_qvdFilePackageMetadata& metadata) {
        metadata.setPreviewScreenshotURLString(address.toString());
    });
    const QString stored = QDir(packageOf(*withFile)->assetsPath()).filePath(QStringLiteral("stored.png"));
    QImage(64, 48, QImage::Format_RGB32).save(stored);
    packageOf(*withFile)->metaData().setPreviewScreenshotFilePath(stored);
    QVRViewerDownloadViewController first;
    first.view();
    first.setInformation(withFile);
    EXPECT_EQ(first.tessarinePreviewImageView()->imagePath(), stored);
    EXPECT_EQ(first.tessarinePreviewImageView()->downloader(), nullptr);

    // A stored path that is a folder, or a file outside the package, goes on to the address.
    const QString outside = env.temporaryPath(QStringLiteral("outside.png"));
    QImage(64, 48, QImage::Format_RGB32).save(outside);
    for (const QString& path : {QDir::tempPath(), outside}) {
        auto withFolder = document(QStringLiteral("B"), [&](ZERI_qvdFilePackageMetadata& metadata) {
            metadata.setPreviewScreenshotFilePath(path);
            metadata.setPreviewScreenshotURLString(address.toString());
        });
        QVRViewerDownloadViewController second;
        second.view();
        second.setInformation(withFolder);
        EXPECT_TRUE(second.tessarinePreviewImageView()->imagePath().isEmpty());
        ASSERT_NE(second.tessarinePreviewImageView()->downloader(), nullptr);
        EXPECT_EQ(second.tessarinePreviewImageView()->downloader()->url(), address);
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return near(centreOf(second.tessarinePreviewImageView()->renderedImage()), kPreviewColour); }, 5000));
    }

    // Neither: the first screen's preview, decoded on a worker.
    auto withScreen = document(QStringLiteral("C"));
    auto screen = withScreen->firstFlowmodel()->screenModels().front();
    const QString screenFile = QDir(packageOf(*withScreen)->assetsPath()).filePath(QStringLiteral("screen.png"));
    QFile file(screenFile);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(imageBytes(QColor(30, 170, 60)));
    file.close();
    screen->setPreviewScreenShotAsset(assetAt(QUrl::fromLocalFile(screenFile)));
    QVRViewerDownloadViewController third;
    third.view();
    int decoded = 0;
    QObject::connect(&third, &QVRViewerDownloadViewController::previewImageDecoded, [&] { ++decoded; });
    third.setInformation(withScreen);
    ASSERT_TRUE(QTest::qWaitFor([&] { return decoded == 1; }, 5000));
    EXPECT_TRUE(near(centreOf(third.tessarinePreviewImageView()->renderedImage()), QColor(30, 170, 60)));

    // A panel gone before its worker is done is not called.
    {
        QVRViewerDownloadViewController gone;
        gone.view();
        QObject::connect(&gone, &QVRViewerDownloadViewController::previewImageDecoded, [&] { ++decoded; });
        gone.setInformation(withScreen);
    }
    QTest::qWait(200);
    EXPECT_EQ(decoded, 1);
}

TEST_F(DownloadPanel, CancelRunsTheCloseBlockAndRemovingTakesTheViewOutOfItsWindow)
{
    QWidget window;
    std::unique_ptr<ViewerDownloadPanel> panel = std::make_unique<QVRViewerDownloadViewController>();
    auto* controller = static_cast<QVRViewerDownloadViewController*>(panel.get());
    int closes = 0;
    panel->setCloseBlock([&] { ++closes; });
    auto* view = qobject_cast<QWidget*>(panel->view());
    ASSERT_NE(view, nullptr);
    view->setParent(&window);
    window.resize(600, 600);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::mouseClick(controller->cancelButton(), Qt::LeftButton);
    EXPECT_EQ(closes, 1);
    // From the keyboard alone: Tab reaches Cancel, which is ringed plainly while it has the keyboard (not with a
    // dotted frame in its own blue around the word), and Space presses it.
    QPushButton* cancel = controller->cancelButton();
    cancel->clearFocus();
    QTest::qWait(50);
    const auto edge = [&] {
        return UserInput::shownColor(&window, cancel->mapTo(&window, QPoint(1, cancel->height() / 2)));
    };
    const QColor without = edge();
    window.activateWindow();
    QTest::keyClick(&window, Qt::Key_Tab);
    ASSERT_TRUE(cancel->hasFocus());
    QTest::qWait(50);
    const QColor with = edge();
    EXPECT_GT(std::abs(with.value() - without.value()), 60)
        << with.name().toStdString() << " " << without.name().toStdString();
    QTest::keyClick(cancel, Qt::Key_Space);
    EXPECT_EQ(closes, 2);
    panel->removeView();
    EXPECT_EQ(view->parentWidget(), nullptr);
    EXPECT_FALSE(view->isVisible());
    const QPointer<QWidget> guard(view);
    panel.reset();
    EXPECT_TRUE(guard.isNull());
}

} // namespace

// The document lands in a package brought from elsewhere whose "assets" leads to a folder of the user's: the
// author's picture is fetched into the package's own folder, which replaces the link; the user's folder is left
// as it was.
TEST_F(DownloadPanel, TheAvatarNeverLandsThroughALinkedAssetsFolder)
{
    const QUrl avatar = env.service.addContent(QStringLiteral("avatar-linked"),
                                               imageBytes(kAvatarColour, QSize(80, 80)), QStringLiteral("avatar.png"));
    auto model = document(QStringLiteral("Linked"), [&](ZERI_qvdFilePackageMetadata& metadata) {
        metadata.setOwner(ownerWithAvatar(avatarAt(avatar.toString())));
    });
    const QString assets = packageOf(*model)->assetsPath();
    QTemporaryDir users;
    ASSERT_TRUE(users.isValid());
    ASSERT_TRUE(QDir(assets).removeRecursively());
    ASSERT_TRUE(QFile::link(users.path(), assets));

    QVRViewerDownloadViewController panel;
    panel.setInformation(model);
    QWidget* view = panel.view();
    view->resize(500, 560);
    view->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return near(centreOf(panel.profileImageView()->renderedImage()), kAvatarColour); }, 5000));
    EXPECT_EQ(
        QDir(users.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).join(' ').toStdString(),
        "");
    EXPECT_FALSE(QFileInfo(assets).isSymLink());
    EXPECT_TRUE(QFileInfo(panel.profileImageView()->downloader()->filepath()).isFile());
    EXPECT_TRUE(panel.profileImageView()->downloader()->filepath().startsWith(assets + QLatin1Char('/')));
}
