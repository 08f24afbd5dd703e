#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTest>

#include "ViewerTestSupport.h"
#include "app/QVRWindowManager.h"
#include "app/QVRWindowManagerManagedWindow.h"
#include "app/ViewerKeyNotifications.h"
#include "controls/ContentSheddingScrollView.h"
#include "controls/ControlsArtwork.h"
#include "creator/canvas/QVR_MixedMediaElementContainingView.h"
#include "platform/NotificationCenter.h"
#include "foundation/Tessutils.h"
#include "storage/ContentAssetStorage.h"
#include "storage/ZERI_qvdFilePackageMetadata.h"
#include "storage/ZERI_WebDownloader.h"
#include "strings/UFM.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "viewer/QVRViewerViewController.h"
#include "viewer/QVRViewerWindow.h"

using namespace viewertest;

namespace {

using Container = QVR_MixedMediaElementContainingView;

class ViewerWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(env.started());
        ControlsArtwork::registerNamedImages();
        QVR_TessarineViewerView::setTransitionDurationForTesting(0.2);
    }
    void TearDown() override
    {
        QVRWindowManager::sharedInstance().closeAllWindowsExceptMyFlows();
        QApplication::processEvents();
        QVR_TessarineViewerView::setTransitionDurationForTesting(0.0);
        Tessutils::setCorvikAuthToken(QString());
        Tessutils::setCorvikUserDict(std::nullopt);
    }

    // A saved document of `count` screens; `front` (when given) lies on the first screen over `back`.
    std::shared_ptr<ZERI_TessarineModel>
    makeDocument(int count, const QString& title, const std::shared_ptr<ZERI_MixedMediaObjectProxy>& back = nullptr,
                 const std::shared_ptr<ZERI_MixedMediaObjectProxy>& front = nullptr)
    {
        auto document = saveDocumentWith(back, title);
        if (front)
            document->firstFlowmodel()->screenModels().front()->addMixedMediaObject(front);
        for (int i = 1; i < count; ++i)
            document->firstFlowmodel()->addFlowScreen(ZERI_FlowScreenModel::create());
        return document;
    }

    QVRViewerWindow* open(const std::shared_ptr<ZERI_TessarineModel>& document)
    {
        auto* window =
            qobject_cast<QVRViewerWindow*>(QVRWindowManager::sharedInstance().makeViewerWindowForModel(document));
        EXPECT_NE(window, nullptr);
        if (window) {
            EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
        }
        return window;
    }

    static QVRViewerViewController* controller(QVRViewerWindow* window)
    {
        return window->windowController()->tessarineViewerViewController();
    }

    static void press(QVRViewerWindow* window, Qt::Key key) { QTest::keyClick(controller(window)->viewerView(), key); }

    static bool settles(QVR_TessarineViewerView* player, int page)
    {
        return QTest::qWaitFor([&] { return player->currentPage() == page && !player->isAnimating(); }, 3000);
    }

    ScopedViewerEnvironment env;
};

TEST_F(ViewerWindowTest, OpensOneManagedViewerPlayingACopyUnderItsTitle)
{
    auto document = makeDocument(4, QStringLiteral("Title"));
    QVRViewerWindow* window = open(document);
    ASSERT_NE(window, nullptr);

    QVRWindowManager& manager = QVRWindowManager::sharedInstance();
    EXPECT_EQ(manager.kindOfWindow(window), QVRWindowManager::WindowKind::Viewer);
    EXPECT_EQ(manager.viewerWindowForModel(document), window);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Title ▸"));
    EXPECT_EQ(window->windowController()->windowTitleText(), QStringLiteral("Title"));
    EXPECT_TRUE(QVRWindowManagerManagedWindow::unknownMethods(window).isEmpty());
    EXPECT_TRUE(QVRWindowManagerManagedWindow::respondsTo(window, "canPrint"));

    // The player shows a copy: its flow is not the document's, and the document keeps its screens.
    QVR_TessarineViewerView* player = controller(window)->viewerView();
    ASSERT_NE(player->flowModel(), nullptr);
    EXPECT_NE(player->flowModel(), document->firstFlowmodel());
    EXPECT_EQ(player->numScreens(), 4);
    EXPECT_EQ(player->originalTessarineModel(), document);
    EXPECT_EQ(document->firstFlowmodel()->screenModels().size(), 4u);

    // The open request that made the window hands the document over: the copy made moments ago plays on.
    press(window, Qt::Key_Right);
    ASSERT_TRUE(settles(player, 1));
    const auto firstCopy = player->flowModel();
    window->openRequesterHasFinishedLoadingModel(document);
    EXPECT_EQ(player->flowModel(), firstCopy);
    EXPECT_EQ(player->currentPage(), 1);
    // Opened again after an edit (View pressed once more): a new copy shows the document as it is now, on the
    // screen shown.
    document->firstFlowmodel()->addFlowScreen(ZERI_FlowScreenModel::create());
    window->openRequesterHasFinishedLoadingModel(document);
    EXPECT_NE(player->flowModel(), firstCopy);
    EXPECT_EQ(player->numScreens(), 5);
    EXPECT_EQ(player->currentPage(), 1);
    EXPECT_EQ(document->firstFlowmodel()->screenModels().size(), 5u);

    auto untitled = makeDocument(1, QString());
    QVRViewerWindow* second = open(untitled);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, window);
    EXPECT_EQ(second->windowController()->windowTitleText(), UFM::UNTITLED_TEXT());
}

// The tests' screen is narrower than the viewer: the viewer fits the available area, frame and all, keeping the
// played screen's shape, so the video player's controls and the title bar's buttons stay on the screen. Opened
// from a window in front, it takes that window's decorations; with none, it fits again once decorated.
TEST_F(ViewerWindowTest, OnASmallerScreenTheWindowFitsTheAreaKeepingTheScreensShape)
{
    QWidget front;
    for (const bool fromFront : {false, true}) {
        if (fromFront) {
            front.show();
            front.activateWindow();
            ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == &front; }));
        }
        QVRViewerWindow* window = open(makeDocument(1, QStringLiteral("Small")));
        ASSERT_NE(window, nullptr);
        const QRect available = window->screen()->availableGeometry();
        ASSERT_LT(available.width(), 1024);
        EXPECT_TRUE(QTest::qWaitFor([&] { return available.contains(window->frameGeometry()); })) << fromFront;
        EXPECT_NEAR(window->width() / (window->height() - QVRViewerWindow::kTitleBarHeight), 1024.0 / 748.0, 0.01);
        window->close();
    }
}

TEST_F(ViewerWindowTest, ArrowAndPageKeysPageThePlayerAndTheButtonsFollow)
{
    QVRViewerWindow* window = open(makeDocument(4, QStringLiteral("Keys")));
    ASSERT_NE(window, nullptr);
    QVRViewerViewController* c = controller(window);
    QVR_TessarineViewerView* player = c->viewerView();
    int pageChanges = 0;
    NotificationObservation observation(QVRViewerViewController::kDidChangePageNotification, nullptr,
                                        [&](const Notification&) { ++pageChanges; });

    EXPECT_FALSE(c->leftButton()->isVisible());
    EXPECT_TRUE(c->rightButton()->isVisible());

    int expected = 0;
    for (Qt::Key key : {Qt::Key_Right, Qt::Key_Down, Qt::Key_PageDown}) {
        press(window, key);
        ASSERT_TRUE(settles(player, ++expected)) << key;
        EXPECT_EQ(pageChanges, expected);
    }
    EXPECT_TRUE(c->leftButton()->isVisible());
    EXPECT_FALSE(c->rightButton()->isVisible());

    for (Qt::Key key : {Qt::Key_Left, Qt::Key_Up, Qt::Key_PageUp}) {
        press(window, key);
        ASSERT_TRUE(settles(player, --expected)) << key;
    }
    EXPECT_EQ(pageChanges, 6);
    EXPECT_FALSE(c->leftButton()->isVisible());
    EXPECT_TRUE(c->rightButton()->isVisible());

    // A key post without a key, and Space without presenter notes, change nothing.
    NotificationCenter::defaultCenter().post(TessarineViewerViewKeyDownNotificationName, player);
    press(window, Qt::Key_Space);
    QTest::qWait(50);
    EXPECT_EQ(player->currentPage(), 0);
    EXPECT_EQ(pageChanges, 6);
}

TEST_F(ViewerWindowTest, ThePageArrowsReadOverAWhiteAndOverADarkScreen)
{
    auto document = makeDocument(3, QStringLiteral("Arrows"));
    document->firstFlowmodel()->screenModels().at(1)->setBackgroundColor(QColor(20, 20, 30));
    QVRViewerWindow* window = open(document);
    ASSERT_NE(window, nullptr);
    // Taller than the screen's shape: the screen fills the width and the arrows lie over it.
    window->resize(1000, 900);
    QVRViewerViewController* c = controller(window);
    QVR_TessarineViewerView* player = c->viewerView();

    // How many of the button's pixels are dark and how many light, as drawn in the window.
    const auto tones = [window](QPushButton* button) {
        const QImage shot = window->grab().toImage();
        // The arrow sits in the middle of the button's height.
        const QRect area(button->mapTo(window, QPoint(0, button->height() / 2 - 30)), QSize(button->width(), 60));
        int dark = 0;
        int light = 0;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                const int lightness = shot.pixelColor(x, y).lightness();
                dark += lightness < 110;
                light += lightness > 230;
            }
        }
        return std::pair{dark, light};
    };

    // The first screen is white: the arrow shows as a dark mark on it.
    ASSERT_TRUE(QTest::qWaitFor([&] { return c->rightButton()->isVisible() && c->rightButton()->width() > 0; }, 3000));
    const QImage first = player->grab().toImage();
    ASSERT_GT(first.pixelColor(first.width() / 2, first.height() / 2).lightness(), 240) << "a white screen";
    const QPoint besideArrow = c->rightButton()->mapTo(window, QPoint(c->rightButton()->width() - 3, 0)) +
                               QPoint(0, c->rightButton()->height() / 2 + 45);
    ASSERT_GT(window->grab().toImage().pixelColor(besideArrow).lightness(), 240) << "the arrow lies over the screen";
    EXPECT_GT(tones(c->rightButton()).first, 30);

    // The second screen is dark: both arrows show as light marks on it.
    press(window, Qt::Key_Right);
    ASSERT_TRUE(settles(player, 1));
    ASSERT_TRUE(c->leftButton()->isVisible());
    EXPECT_GT(tones(c->leftButton()).second, 30);
    EXPECT_GT(tones(c->rightButton()).second, 30);
}

TEST_F(ViewerWindowTest, ReturnOpensTheFrontGalleryWhichTakesTheKeysUntilOneReturnClosesIt)
{
    QList<QUrl> urls;
    for (int i = 0; i < 3; ++i)
        urls.append(env.service.addContent(QStringLiteral("g%1").arg(i), imageBytes(Qt::red), QStringLiteral("g.png")));
    auto pdf = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::PDF);
    pdf->object()->setPdfAsset(
        assetAt(env.service.addContent(QStringLiteral("doc"), pdfBytes({Qt::blue}), QStringLiteral("doc.pdf"))));
    QVRViewerWindow* window = open(makeDocument(2, QStringLiteral("Media"), pdf, makeGallery(urls)));
    ASSERT_NE(window, nullptr);
    QVRViewerViewController* c = controller(window);
    QVR_TessarineViewerView* player = c->viewerView();

    press(window, Qt::Key_Return);
    QVR_GalleryViewerView* gallery = c->galleryViewerView();
    ASSERT_NE(gallery, nullptr);
    EXPECT_EQ(c->pdfViewerView(), nullptr);
    EXPECT_EQ(gallery->geometry(), c->view()->rect());
    EXPECT_FALSE(c->leftButton()->isVisible());
    EXPECT_FALSE(c->rightButton()->isVisible());

    // Keys reach the gallery through the player's posts: Right pages the gallery, not the player.
    press(window, Qt::Key_Right);
    ASSERT_TRUE(QTest::qWaitFor([&] { return gallery->scrollViewPageNumber() == 1 && !gallery->isAnimating(); }, 3000));
    EXPECT_EQ(player->currentPage(), 0);
    // Nor does a gesture controller's swipe page the player behind it.
    int leap = 0;
    NotificationCenter::defaultCenter().post(QStringLiteral("qvrLeapHandlingSwipeDetected"), &leap,
                                             {{QStringLiteral("swipeDirection"), 0}});
    QTest::qWait(50);
    EXPECT_FALSE(player->isAnimating());
    EXPECT_EQ(player->currentPage(), 0);

    press(window, Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(c->galleryViewerView(), nullptr);
    EXPECT_EQ(c->pdfViewerView(), nullptr);
    EXPECT_TRUE(c->rightButton()->isVisible());

    // A second Return opens it again; Escape closes it.
    press(window, Qt::Key_Return);
    ASSERT_NE(c->galleryViewerView(), nullptr);
    press(window, Qt::Key_Escape);
    EXPECT_EQ(c->galleryViewerView(), nullptr);
    NotificationCenter::defaultCenter().post(QStringLiteral("qvrLeapHandlingSwipeDetected"), &leap,
                                             {{QStringLiteral("swipeDirection"), 0}});
    EXPECT_TRUE(settles(player, 1));
}

TEST_F(ViewerWindowTest, LinksCountOnlyFromTheControllersOwnWindow)
{
    auto pdf = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::PDF);
    pdf->object()->setPdfAsset(
        assetAt(env.service.addContent(QStringLiteral("doc"), pdfBytes({Qt::blue}), QStringLiteral("doc.pdf"))));
    auto gallery =
        makeGallery({env.service.addContent(QStringLiteral("g"), imageBytes(Qt::red), QStringLiteral("g.png"))});
    QVRViewerWindow* window = open(makeDocument(1, QStringLiteral("Links"), pdf, gallery));
    ASSERT_NE(window, nullptr);
    QVRViewerViewController* c = controller(window);
    QWidget elsewhere;

    auto post = [](const QString& name, const QString& key, const QVariant& value, const void* sender) {
        NotificationCenter::defaultCenter().post(name, sender, {{key, value}});
    };
    const QVariant galleryRef = QVariant::fromValue(MixedMediaObjectRef(gallery));
    post(Container::kGalleryLinkPressedNotification, Container::kGalleryLinkKey, galleryRef, &elsewhere);
    post(Container::kPDFPressedNotification, Container::kPDFKey, QVariant::fromValue(MixedMediaObjectRef(pdf)),
         &elsewhere);
    EXPECT_EQ(c->galleryViewerView(), nullptr);
    EXPECT_EQ(c->pdfViewerView(), nullptr);

    // A gone or mistyped element opens nothing either.
    post(Container::kGalleryLinkPressedNotification, Container::kGalleryLinkKey,
         QVariant::fromValue(MixedMediaObjectRef()), window);
    post(Container::kGalleryLinkPressedNotification, Container::kGalleryLinkKey, QStringLiteral("x"), window);
    EXPECT_EQ(c->galleryViewerView(), nullptr);

    post(Container::kGalleryLinkPressedNotification, Container::kGalleryLinkKey, galleryRef, window);
    EXPECT_NE(c->galleryViewerView(), nullptr);
}

TEST_F(ViewerWindowTest, MissingMediaDownloadsFirstAndAStalledDownloadDoesNotSilenceLaterLinks)
{
    auto pdfAt = [&](const QString& id) {
        auto pdf = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::PDF);
        pdf->object()->setPdfAsset(
            assetAt(env.service.addContent(id, pdfBytes({Qt::blue}), id + QStringLiteral(".pdf"))));
        return pdf;
    };
    auto first = pdfAt(QStringLiteral("first"));
    auto second = pdfAt(QStringLiteral("second"));
    auto video = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Video);
    video->object()->setVideoAsset(assetAt(
        env.service.addContent(QStringLiteral("clip"), QByteArray("not really a film"), QStringLiteral("clip.mp4"))));
    auto document = makeDocument(2, QStringLiteral("Media"), first, second);
    document->firstFlowmodel()->screenModels().back()->addMixedMediaObject(video);
    QVRViewerWindow* window = open(document);
    ASSERT_NE(window, nullptr);
    QVRViewerViewController* c = controller(window);
    // Copies of the elements, as the player shows them, share the originals' files.
    auto click = [&](const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object) {
        NotificationCenter::defaultCenter().post(
            Container::kPDFPressedNotification, window,
            {{Container::kPDFKey, QVariant::fromValue(MixedMediaObjectRef(object))}});
    };

    // A click on a PDF not on disk fetches it and opens nothing; the next click opens it.
    click(first);
    EXPECT_EQ(c->pdfViewerView(), nullptr);
    EXPECT_EQ(c->watchedDownloadObject(), first);
    const auto firstFile = ContentAssetStorage::downloader(*first->object()->pdfAsset());
    ASSERT_TRUE(QTest::qWaitFor([&] { return firstFile->downloadStatus() == ZERI_WebDownloader::OnDisk; }, 5000));
    QTest::qWait(20);
    EXPECT_EQ(c->pdfViewerView(), nullptr);
    EXPECT_EQ(c->watchedDownloadObject(), nullptr);
    click(first);
    ASSERT_NE(c->pdfViewerView(), nullptr);
    c->dismissAnyModalView();
    EXPECT_EQ(c->pdfViewerView(), nullptr);

    // With a slow service, a second object's link moves the watch and the first download runs on.
    env.service.setContentDelay(3000);
    click(second);
    const auto secondFile = ContentAssetStorage::downloader(*second->object()->pdfAsset());
    EXPECT_EQ(secondFile->downloadStatus(), ZERI_WebDownloader::Downloading);
    c->downloadMediaForObject(video);
    EXPECT_EQ(c->watchedDownloadObject(), video);
    EXPECT_EQ(secondFile->downloadStatus(), ZERI_WebDownloader::Downloading);
    c->cancelDownloadForObject(video);
    EXPECT_EQ(c->watchedDownloadObject(), nullptr);
    secondFile->cancel();
    env.service.setContentDelay(0);
}

TEST_F(ViewerWindowTest, AFailedOrCancelledDownloadEndsTheWatchAndTheNextClickStartsAfresh)
{
    auto video = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Video);
    video->object()->setVideoAsset(assetAt(env.service.contentURL(QStringLiteral("gone"), QStringLiteral("gone.mp4"))));
    auto pdf = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::PDF);
    pdf->object()->setPdfAsset(
        assetAt(env.service.addContent(QStringLiteral("slow"), pdfBytes({Qt::blue}), QStringLiteral("slow.pdf"))));
    QVRViewerWindow* window = open(makeDocument(1, QStringLiteral("Failures"), video, pdf));
    ASSERT_NE(window, nullptr);
    QVRViewerViewController* c = controller(window);
    auto post = [&](const QString& name, const QString& key, const std::shared_ptr<ZERI_MixedMediaObjectProxy>& o) {
        NotificationCenter::defaultCenter().post(name, window, {{key, QVariant::fromValue(MixedMediaObjectRef(o))}});
    };

    // A video the service does not have: the watch ends with the failure, nothing opens, a new click tries again.
    post(Container::kLocalVideoPressedNotification, Container::kLocalVideoKey, video);
    const auto videoFile = ContentAssetStorage::downloader(*video->object()->videoAsset());
    ASSERT_TRUE(QTest::qWaitFor([&] { return c->watchedDownloadObject() == nullptr; }, 5000));
    EXPECT_EQ(videoFile->downloadStatus(), ZERI_WebDownloader::Failed);
    EXPECT_EQ(c->videoPlayingView(), nullptr);
    const int requests = env.service.contentRequestCount();
    post(Container::kLocalVideoPressedNotification, Container::kLocalVideoKey, video);
    ASSERT_TRUE(QTest::qWaitFor([&] { return c->watchedDownloadObject() == nullptr; }, 5000));
    EXPECT_EQ(env.service.contentRequestCount(), requests + 1);

    // A watched download stopped by someone else is no longer watched; the next click fetches and the one after
    // that opens the file.
    env.service.setContentDelay(3000);
    post(Container::kPDFPressedNotification, Container::kPDFKey, pdf);
    EXPECT_EQ(c->watchedDownloadObject(), pdf);
    const auto pdfFile = ContentAssetStorage::downloader(*pdf->object()->pdfAsset());
    pdfFile->cancel();
    EXPECT_TRUE(QTest::qWaitFor([&] { return c->watchedDownloadObject() == nullptr; }, 2000));
    env.service.setContentDelay(0);
    post(Container::kPDFPressedNotification, Container::kPDFKey, pdf);
    EXPECT_EQ(c->watchedDownloadObject(), pdf);
    ASSERT_TRUE(QTest::qWaitFor([&] { return c->watchedDownloadObject() == nullptr; }, 5000));
    EXPECT_EQ(c->pdfViewerView(), nullptr);
    post(Container::kPDFPressedNotification, Container::kPDFKey, pdf);
    EXPECT_NE(c->pdfViewerView(), nullptr);
}

TEST_F(ViewerWindowTest, ReturnOnAMissingFrontPDFDownloadsItInsteadOfOpeningIt)
{
    auto pdf = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::PDF);
    pdf->object()->setPdfAsset(
        assetAt(env.service.addContent(QStringLiteral("late"), pdfBytes({Qt::blue}), QStringLiteral("late.pdf"))));
    QVRViewerWindow* window = open(makeDocument(1, QStringLiteral("Return"), pdf));
    ASSERT_NE(window, nullptr);
    QVRViewerViewController* c = controller(window);

    press(window, Qt::Key_Return);
    EXPECT_EQ(c->pdfViewerView(), nullptr);
    ASSERT_NE(c->watchedDownloadObject(), nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return c->watchedDownloadObject() == nullptr; }, 5000));
    EXPECT_EQ(c->pdfViewerView(), nullptr);
    press(window, Qt::Key_Return);
    EXPECT_NE(c->pdfViewerView(), nullptr);
}

TEST_F(ViewerWindowTest, AVideoThatArrivesQuicklyOpensByItselfAndEscapeClosesIt)
{
    auto video = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Video);
    video->object()->setVideoAsset(
        assetAt(env.service.addContent(QStringLiteral("clip"), QByteArray("no film"), QStringLiteral("clip.mp4"))));
    QVRViewerWindow* window = open(makeDocument(1, QStringLiteral("Video"), video));
    ASSERT_NE(window, nullptr);
    QVRViewerViewController* c = controller(window);

    press(window, Qt::Key_Return);
    EXPECT_EQ(c->videoPlayingView(), nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return c->videoPlayingView() != nullptr; }, 5000));
    EXPECT_FALSE(c->rightButton()->isVisible());
    press(window, Qt::Key_Escape);
    EXPECT_EQ(c->videoPlayingView(), nullptr);
}

TEST_F(ViewerWindowTest, LogsThePresentationAndWhetherADraftOrAPublishedCopyWasViewed)
{
    Tessutils::setCorvikAuthToken(QStringLiteral("TOKEN"));
    Tessutils::setCorvikUserDict(SafeDictionary(QJsonObject{{QStringLiteral("username"), QStringLiteral("ada")}}));
    auto own = makeDocument(2, QStringLiteral("Own"));
    auto ownPackage = std::dynamic_pointer_cast<ZERI_qvdFilePackage>(own->filePackage());
    ASSERT_NE(ownPackage, nullptr);
    ownPackage->metaData().setOwner(QJsonObject{{QStringLiteral("username"), QStringLiteral("ada")}});
    ownPackage->metaData().setPackageType(1);
    ASSERT_NE(open(own), nullptr);

    const auto started = env.events(QStringLiteral("Flow Presentation Started"));
    ASSERT_EQ(started.size(), 1);
    EXPECT_EQ(started.front().value(QStringLiteral("parameters")).toObject().value(QStringLiteral("action_value")),
              QStringLiteral("isOwner"));
    ASSERT_EQ(env.events(QStringLiteral("Tessarine Draft Viewed")).size(), 1);
    EXPECT_TRUE(env.events(QStringLiteral("Tessarine Viewed")).isEmpty());

    // Somebody else's document (a package that is no own editable one) counts as published, with no role.
    auto other = makeDocument(2, QStringLiteral("Other"));
    auto otherPackage = std::dynamic_pointer_cast<ZERI_qvdFilePackage>(other->filePackage());
    ASSERT_NE(otherPackage, nullptr);
    otherPackage->metaData().setOwner(QJsonObject{{QStringLiteral("username"), QStringLiteral("bob")}});
    otherPackage->metaData().setPackageType(2);
    ASSERT_NE(open(other), nullptr);
    const auto viewed = env.events(QStringLiteral("Tessarine Viewed"));
    ASSERT_EQ(viewed.size(), 1);
    EXPECT_FALSE(
        viewed.front().value(QStringLiteral("parameters")).toObject().contains(QStringLiteral("action_value")));
    EXPECT_EQ(env.events(QStringLiteral("Flow Presentation Started")).size(), 2);
}

TEST_F(ViewerWindowTest, ALoadingViewTakesClicksOnItsControlsOnlyAndFollowsTheViewersSize)
{
    QVRViewerWindow* window = open(makeDocument(2, QStringLiteral("Loading")));
    ASSERT_NE(window, nullptr);
    QVRViewerViewController* c = controller(window);

    auto* loading = new QWidget;
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), loading);
    cancel->setGeometry(400, 300, 120, 40);
    int cancelled = 0;
    QObject::connect(cancel, &QPushButton::clicked, [&] { ++cancelled; });
    window->openRequesterWantsToDisplayLoadingView(loading);
    QApplication::processEvents();

    QWidget* host = c->view();
    EXPECT_EQ(loading->geometry(), host->rect());
    EXPECT_EQ(host->childAt(QPoint(450, 320)), cancel);
    QTest::mouseClick(host->childAt(QPoint(450, 320)), Qt::LeftButton);
    EXPECT_EQ(cancelled, 1);

    // The empty area belongs to the screen beneath.
    QWidget* beneath = host->childAt(QPoint(200, 450));
    ASSERT_NE(beneath, nullptr);
    EXPECT_NE(beneath, loading);
    EXPECT_TRUE(c->viewerView()->isAncestorOf(beneath));

    // A control added later takes its clicks too.
    auto* late = new QPushButton(QStringLiteral("Later"), loading);
    late->setGeometry(100, 100, 80, 30);
    late->show();
    QApplication::processEvents();
    EXPECT_EQ(host->childAt(QPoint(120, 110)), late);

    window->resize(800, 600);
    QApplication::processEvents();
    EXPECT_EQ(loading->geometry(), host->rect());
}

} // namespace
