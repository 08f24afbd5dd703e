#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QListWidget>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include "app/QVRAppDelegate.h"
#include "app/QVRMainMenu.h"
#include "creator/addition/QVR_AddElementMenuViewController.h"
#include "creator/addition/QVR_AddStreamingVideoViewController.h"
#include "creator/canvas/QVR_ArtBoardScrollView.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/toolbar/QVR_CreatorToolBarView.h"
#include "creator/toolbar/QVR_ToolbarButton.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "elements/players/QVR_YouTubeVideoPlayingView.h"
#include "library/guides/QVRGuideViewerViewController.h"
#include "library/lists/QVR_OpenByURLWindowCotroller.h"
#include "library/lists/QVRMyTessarinesViewController.h"
#include "library/lists/QVRTessarineTileGridItemView.h"
#include "roads/RoadsSignedInService.h"
#include "roads/RoadsTestSupport.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "support/TestPictures.h"
#include "support/UserInput.h"
#include "support/fakeservice/FakeWebService.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenBackgroundModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Video.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "tessarine_data_model/mmActions/ZERI_MMAction_WebLink.h"
#include "viewer/QVRPresentationNotesViewController.h"
#include "viewer/QVRViewerTitleBarButtonsHolderView.h"
#include "viewer/QVRViewerViewController.h"
#include "viewer/QVRViewerWindow.h"
#include "viewer/QVR_TessarineViewerView.h"
#include "viewer/previews/TessarineBackgroundedScreenPreview.h"

using namespace roads;

namespace {

constexpr const char* kYouTubeID = "Ab3_-x9Zq0Q";
constexpr const char* kVimeoID = "76979871";
const QColor kPostedBackground(30, 90, 40);

QString siteAddress(FakeWebService& service, const QString& path)
{
    return service.baseUrl().toString() + path;
}

// The fake service, also answering as both video sites: the preview pictures, the description that names the
// second site's picture, and the players' pages.
FakeWebService* seamsService()
{
    return startedService([](FakeWebService& service) {
        const QByteArray picture = pictureBytes(QSize(480, 360), QColor(40, 90, 160), "JPEG");
        service.setPage(QStringLiteral("/vi/%1/hqdefault.jpg").arg(QLatin1String(kYouTubeID)), "image/jpeg", picture);
        service.setPage(QStringLiteral("/vimeo/%1.jpg").arg(QLatin1String(kVimeoID)), "image/jpeg", picture);
        service.setPage(
            QStringLiteral("/api/v2/video/%1.json").arg(QLatin1String(kVimeoID)), "application/json",
            "[{\"thumbnail_large\":\"" +
                siteAddress(service, QStringLiteral("/vimeo/%1.jpg").arg(QLatin1String(kVimeoID))).toUtf8() + "\"}]");
        const QByteArray page = "<html><body style=\"background:#202020\">the video</body></html>";
        service.setPage(QStringLiteral("/embed/%1").arg(QLatin1String(kYouTubeID)), "text/html", page);
        service.setPage(QStringLiteral("/video/%1").arg(QLatin1String(kVimeoID)), "text/html", page);
    });
}

class RoadSeams : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(seamsService());
        application();
        ASSERT_TRUE(inputs.isValid());
        ASSERT_TRUE(leaveFirstLaunchTour());
    }
    void TearDown() override { closeDocumentWindows(); }

    QTemporaryDir inputs;
};

QVRViewerViewController* viewerOf(QVRViewerWindow* player)
{
    return player->windowController()->tessarineViewerViewController();
}

// The graphics view of the screen the player shows.
QVR_ArtBoardScrollView* shownBoard(QVRViewerWindow* player)
{
    QVR_TessarineViewerView* view = viewerOf(player)->viewerView();
    const auto& boards = view->singleScreensArray();
    const int page = view->currentPage();
    if (page < 0 || page >= int(boards.size()) || !boards[size_t(page)]->hasScrollView())
        return nullptr;
    return boards[size_t(page)]->theScrollView();
}

// Clicks the played screen at a point of the screen (model units).
bool clickPlayedScreen(QVRViewerWindow* player, QPointF point)
{
    QVR_ArtBoardScrollView* board = nullptr;
    if (!waitFor([&] { return (board = shownBoard(player)) && board->isVisible(); }, 5000))
        return false;
    QTest::mouseClick(board->viewport(), Qt::LeftButton, {}, board->mapFromScene(point));
    return true;
}

std::shared_ptr<ZERI_MixedMediaObjectProxy> lastObject(QVR_CreatorWindow* window)
{
    const auto screen = shownScreen(window);
    return screen && !screen->mixedMediaObjects().empty() ? screen->mixedMediaObjects().back() : nullptr;
}

// The questions the sites were asked about a video so far: its record or its picture.
int videoLookups(FakeWebService& service)
{
    int lookups = 0;
    for (const FakeHttpRequest& request : service.requests())
        lookups +=
            request.path.startsWith(QLatin1String("/vi/")) || request.path.startsWith(QLatin1String("/api/v2/video/"));
    return lookups;
}

// Insert › YouTube or Vimeo, the link typed key by key and Insert: the inserted video; `lookups`, when given, is
// how many questions the sites were asked while the link was typed.
std::shared_ptr<ZERI_MixedMediaObjectProxy> insertWebVideo(QVR_CreatorWindow* window, const QString& link,
                                                           FakeWebService* service = nullptr, int* lookups = nullptr)
{
    const size_t before = shownScreen(window)->mixedMediaObjects().size();
    if (!insert(window, &QVR_AddElementMenuViewController::youTubeCell))
        return nullptr;
    QVR_AddStreamingVideoViewController* dialog = nullptr;
    if (!waitFor([&] {
            dialog = window->findChild<QVR_AddStreamingVideoViewController*>();
            return dialog && dialog->urlFeild() && dialog->urlFeild()->isVisible();
        })) {
        ADD_FAILURE() << "no web video dialog";
        return nullptr;
    }
    dialog->urlFeild()->setFocus();
    const int lookupsBefore = service ? videoLookups(*service) : 0;
    UserInput::typeText(dialog->urlFeild(), link);
    if (!waitFor([&] { return dialog->insertButton()->isEnabled(); })) {
        ADD_FAILURE() << "the site never confirmed " << link.toStdString();
        return nullptr;
    }
    if (service && lookups)
        *lookups = videoLookups(*service) - lookupsBefore;
    click(dialog->insertButton());
    if (!waitFor([&] {
            return shownScreen(window)->mixedMediaObjects().size() == before + 1 && !window->isAddingContent();
        }))
        return nullptr;
    return lastObject(window);
}

// A document posted to the service by somebody else: one screen of a dark green, with a picture the service
// serves (so its files are fetched on opening); `password` guards it when set.
void postDocument(FakeWebService& service, const QString& stringID, const QString& password = {})
{
    auto model = ZERI_TessarineModel::create();
    auto screen = ZERI_FlowScreenModel::create();
    model->firstFlowmodel()->addFlowScreen(screen);
    screen->backgroundModel()->setColor(kPostedBackground);
    auto image = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Image);
    image->object()->setFrame(QRectF(40, 40, 160, 120));
    auto picture = ZERI_ContentAsset::create();
    picture->setExternalURL(service.addContent(QStringLiteral("picture-") + stringID,
                                               pictureBytes(QSize(160, 120), Qt::darkYellow, "JPEG"),
                                               QStringLiteral("picture.jpg")));
    image->object()->setOriginalImageAsset(picture);
    screen->addMixedMediaObject(image);
    FakeWebService::Document document;
    document.stringID = stringID;
    document.owner = QStringLiteral("bob");
    document.title = QStringLiteral("Posted ") + stringID;
    document.published = true;
    document.password = password;
    document.documentJson = QString::fromUtf8(model->jsonData());
    document.publishedJson = document.documentJson;
    service.addDocument(document);
}

// File › Open Address from the home window, `text` typed, Open: the viewer window that comes.
QVRViewerWindow* openByAddress(const QString& text)
{
    QWidget* lists = application().listsWindow();
    if (!chooseMenuItem(lists, QStringLiteral("openURL")))
        return nullptr;
    QVR_OpenByURLWindowCotroller* box = nullptr;
    if (!waitFor([&] { return (box = visibleTopLevel<QVR_OpenByURLWindowCotroller>()) != nullptr; }))
        return nullptr;
    box->textField()->setFocus();
    UserInput::typeText(box->textField(), text);
    click(box->openButton());
    QVRViewerWindow* player = nullptr;
    waitFor([&] { return (player = visibleTopLevel<QVRViewerWindow>()) != nullptr; });
    return player;
}

// A visible Cancel button in the window: a loading view or download panel still over it.
QPushButton* visibleCancel(QWidget* window)
{
    for (QPushButton* button : window->findChildren<QPushButton*>()) {
        if (button->isVisible() && button->text().contains(QLatin1String("Cancel"), Qt::CaseInsensitive))
            return button;
    }
    return nullptr;
}

bool closeTo(QColor shown, QColor expected)
{
    return std::abs(shown.red() - expected.red()) <= 12 && std::abs(shown.green() - expected.green()) <= 12 &&
           std::abs(shown.blue() - expected.blue()) <= 12;
}

// The player shows the posted document's screen with nothing over it: its colour where the screen is empty, and a
// click there lands on the screen itself.
void expectUncoveredPostedScreen(QVRViewerWindow* player)
{
    QVR_ArtBoardScrollView* board = nullptr;
    ASSERT_TRUE(waitFor([&] {
        return viewerOf(player)->viewerView()->flowModel() && (board = shownBoard(player)) && board->isVisible();
    })) << "the document never reached the player";
    const QPoint empty = board->mapFromScene(QPointF(800, 600));
    UserInput::letRepaintsHappen();
    EXPECT_TRUE(waitFor(
        [&] {
            UserInput::letRepaintsHappen(20);
            return !visibleCancel(player) &&
                   closeTo(UserInput::shownColor(board->viewport(), empty), kPostedBackground);
        },
        10000))
        << "shown: " << UserInput::shownColor(board->viewport(), empty).name().toStdString()
        << (visibleCancel(player) ? ", a Cancel button still shows" : "");
    EXPECT_EQ(player->childAt(board->viewport()->mapTo(player, empty)), board->viewport()) << "a click lands elsewhere";
}

// A web video of either site, inserted through the Insert menu and its dialog (the link typed key by key is one
// question to the site), is kept as a web video: the stored document says so, and a click on it in the player opens
// the streaming player on the site's page.
TEST_F(RoadSeams, AWebVideoOfEitherSiteInsertedThroughItsDialogPlaysInTheStreamingPlayer)
{
    FakeWebService* service = seamsService();
    QVR_CreatorWindow* window = createDocumentFromPlusTile();
    ASSERT_TRUE(window);
    const auto document = window->currentModel();

    const struct {
        QString link;
        QString page;
    } sites[] = {
        {QStringLiteral("https://www.youtube.com/watch?v=%1").arg(QLatin1String(kYouTubeID)),
         siteAddress(*service, QStringLiteral("/embed/%1?autoplay=1").arg(QLatin1String(kYouTubeID)))},
        {QStringLiteral("https://vimeo.com/%1").arg(QLatin1String(kVimeoID)),
         siteAddress(*service, QStringLiteral("/video/%1#at=1").arg(QLatin1String(kVimeoID)))},
    };
    for (const auto& site : sites) {
        SCOPED_TRACE(site.link.toStdString());
        int lookups = 0;
        const auto video = insertWebVideo(window, site.link, service, &lookups);
        ASSERT_TRUE(video);
        // The link typed key by key is one question to the site, asked once the typing paused.
        EXPECT_EQ(lookups, 1);
        ASSERT_EQ(video->type(), ZERI_MixedMediaObject::Video);
        EXPECT_EQ((*video)->videoAsset()->externalURL().toString(), site.page);
        ASSERT_TRUE(video->as<ZERI_MMObject_Video>());
        EXPECT_TRUE(video->as<ZERI_MMObject_Video>()->isYoutubeVideo());

        // The draft the document keeps on disk marks it as a web video.
        const auto package = std::dynamic_pointer_cast<ZERI_qvdFilePackage>(document->filePackage());
        ASSERT_TRUE(package);
        const QString draft = package->draftFilePath();
        EXPECT_TRUE(waitFor([&] {
            QFile file(draft);
            return file.open(QIODevice::ReadOnly) &&
                   file.readAll().count("\"isYoutubeVideo\":\"YES\"") == qsizetype(&site - sites + 1);
        })) << "the stored draft";

        QVRViewerWindow* player = play(window);
        ASSERT_TRUE(player);
        QVRViewerViewController* viewer = viewerOf(player);
        ASSERT_TRUE(clickPlayedScreen(player, (*video)->frame().center()));
        ASSERT_TRUE(waitFor([&] { return viewer->youTubePlayingView() && viewer->youTubePlayingView()->isVisible(); }))
            << "the streaming player";
        EXPECT_EQ(viewer->youTubePlayingView()->urlString(), site.page);
        // It lies over the whole player.
        EXPECT_EQ(viewer->youTubePlayingView()->size(), viewer->view()->size());
        QPointer<QVRViewerWindow> closing(player);
        player->close();
        ASSERT_TRUE(waitFor([&] { return !closing || !closing->isVisible(); }));
        ASSERT_TRUE(waitFor([&] { return QApplication::activeWindow() == window; }));
    }
}

// File › Open Address with a string id: once the document and its files are in, the player shows it with
// nothing over it, and the loading view's own Cancel is gone with it.
TEST_F(RoadSeams, ADocumentOpenedByAddressIsUncoveredOnceItIsIn)
{
    postDocument(*seamsService(), QStringLiteral("open-by-address"));
    QVRViewerWindow* player = openByAddress(QStringLiteral("open-by-address"));
    ASSERT_TRUE(player);
    expectUncoveredPostedScreen(player);
}

// A posted document behind a password, opened by its address in a fresh home folder: once the password is given,
// the player shows it uncovered, without a spinner left over it.
TEST_F(RoadSeams, APasswordProtectedDocumentOpenedByAddressIsUncoveredOnceUnlocked)
{
    postDocument(*seamsService(), QStringLiteral("locked-doc"), QStringLiteral("open sesame"));
    QVRViewerWindow* player = openByAddress(QStringLiteral("locked-doc"));
    ASSERT_TRUE(player);
    QWidget* prompt = nullptr;
    ASSERT_TRUE(waitFor([&] {
        prompt = visibleTopLevel<QWidget>([](QWidget* w) { return w->windowTitle() == QLatin1String("locked-doc"); });
        return prompt != nullptr;
    })) << "no password prompt";
    auto* field = prompt->findChild<QLineEdit*>();
    ASSERT_TRUE(field);
    field->setFocus();
    UserInput::typeText(field, QStringLiteral("open sesame"));
    QPushButton* unlock = nullptr;
    for (QPushButton* button : prompt->findChildren<QPushButton*>()) {
        if (button->isVisible() && button->isEnabled())
            unlock = button;
    }
    ASSERT_TRUE(unlock);
    click(unlock);
    expectUncoveredPostedScreen(player);
}

// The loading view's Cancel, while the service has not answered yet: the open ends, the viewer made for it goes,
// and nothing is left behind.
TEST_F(RoadSeams, CancelOnTheLoadingViewEndsTheOpenAndLeavesThingsAsTheyWere)
{
    FakeWebService* service = seamsService();
    postDocument(*service, QStringLiteral("never-answered"));
    service->injectReply(QStringLiteral("tessarine.getByStringId"), FakeHttpReply::hang());
    QPointer<QVRViewerWindow> player = openByAddress(QStringLiteral("never-answered"));
    ASSERT_TRUE(player);
    QPushButton* cancel = nullptr;
    ASSERT_TRUE(waitFor([&] { return (cancel = visibleCancel(player)) != nullptr; })) << "no loading view";
    click(cancel);
    EXPECT_TRUE(waitFor([&] { return !player || !player->isVisible(); }, 5000)) << "the viewer stays";
    EXPECT_FALSE(visibleTopLevel<QVRViewerWindow>());
    EXPECT_TRUE(creatorWindows().isEmpty());
    service->clearInjectedReplies();

    // The same while the password prompt asks: the prompt goes with the open.
    postDocument(*service, QStringLiteral("locked-cancelled"), QStringLiteral("open sesame"));
    player = openByAddress(QStringLiteral("locked-cancelled"));
    ASSERT_TRUE(player);
    const auto isPrompt = [](QWidget* w) { return w->windowTitle() == QLatin1String("locked-cancelled"); };
    ASSERT_TRUE(waitFor([&] { return visibleTopLevel<QWidget>(isPrompt) != nullptr; })) << "no password prompt";
    ASSERT_TRUE(waitFor([&] { return (cancel = visibleCancel(player)) != nullptr; })) << "no loading view";
    click(cancel);
    EXPECT_TRUE(waitFor([&] { return !player || !player->isVisible(); }, 5000)) << "the viewer stays";
    EXPECT_TRUE(waitFor([&] { return !visibleTopLevel<QWidget>(isPrompt); }, 5000)) << "the password prompt stays";
}

// A posted document of Ann's (signed in) of two screens with a picture, a PDF and a title text whose flow link leads
// to its own second screen, and no preview on the service (the document's and the first screen's preview address
// answers 404): opened by its address, it reaches the player uncovered.
TEST_F(RoadSeams, ADocumentLinkingToItselfWithoutAPreviewOpensByAddress)
{
    FakeWebService* service = seamsService();
    const QString stringID = QStringLiteral("self-linked");
    // Its owner, Ann, is signed in for this road only.
    service->addUser(QStringLiteral("ann"), QStringLiteral("pw"));
    Tessutils::setCorvikAuthToken(QStringLiteral("TOKEN-ann"));
    Tessutils::setCorvikUserDict(SafeDictionary(QJsonObject{{QStringLiteral("username"), QStringLiteral("ann")}}));
    const struct SignOut {
        ~SignOut()
        {
            Tessutils::setCorvikUserDict(std::nullopt);
            Tessutils::setCorvikAuthToken(QString());
        }
    } signOut;
    auto model = ZERI_TessarineModel::create();
    for (int i = 0; i < 2; ++i) {
        auto screen = ZERI_FlowScreenModel::create();
        model->firstFlowmodel()->addFlowScreen(screen);
        screen->backgroundModel()->setColor(kPostedBackground);
    }
    const auto first = model->firstFlowmodel()->screenModels().front();
    // The first screen's preview is the document's preview, which the service does not have.
    auto screenPreview = ZERI_ContentAsset::create();
    screenPreview->setExternalURL(QUrl(siteAddress(*service, QStringLiteral("/previews/7702.jpg"))));
    first->setPreviewScreenShotAsset(screenPreview);
    auto image = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Image);
    image->object()->setFrame(QRectF(40, 40, 160, 120));
    auto picture = ZERI_ContentAsset::create();
    picture->setExternalURL(service->addContent(QStringLiteral("picture-") + stringID,
                                                pictureBytes(QSize(160, 120), Qt::darkYellow, "JPEG"),
                                                QStringLiteral("picture.jpg")));
    image->object()->setOriginalImageAsset(picture);
    first->addMixedMediaObject(image);
    QFile pdfFile(makePdf(inputs.filePath(QStringLiteral("pages.pdf")), 2));
    ASSERT_TRUE(pdfFile.open(QIODevice::ReadOnly));
    auto pdf = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::PDF);
    pdf->object()->setFrame(QRectF(240, 40, 160, 200));
    auto pdfAsset = ZERI_ContentAsset::create();
    pdfAsset->setExternalURL(
        service->addContent(QStringLiteral("pdf-") + stringID, pdfFile.readAll(), QStringLiteral("pages.pdf")));
    pdf->object()->setPdfAsset(pdfAsset);
    first->addMixedMediaObject(pdf);
    auto title = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Text);
    title->object()->setFrame(QRectF(40, 300, 400, 60));
    title->object()->setAction(ZERI_MMAction_WebLink::createWithText(
        *Tessutils::embeddedFlowLinkWithStringID(stringID, QString(), QStringLiteral("1"))));
    first->addMixedMediaObject(title);
    FakeWebService::Document document;
    document.id = QStringLiteral("7702");
    document.stringID = stringID;
    document.owner = QStringLiteral("ann");
    document.title = QStringLiteral("Linking to itself");
    document.published = true;
    document.documentJson = QString::fromUtf8(model->jsonData());
    document.publishedJson = document.documentJson;
    service->addDocument(document);

    QVRViewerWindow* player = openByAddress(stringID);
    ASSERT_TRUE(player);
    expectUncoveredPostedScreen(player);
}

// One click on the played screen leaves the keyboard with the player: the arrow and page keys still page.
TEST_F(RoadSeams, TheArrowAndPageKeysStillPageAfterAClickOnThePlayedScreen)
{
    QVR_CreatorWindow* window = createDocumentFromPlusTile();
    ASSERT_TRUE(window);
    for (int added = 0; added < 2; ++added) {
        const size_t before = window->currentModel()->firstFlowmodel()->screenModels().size();
        ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("duplicateScreen")));
        ASSERT_TRUE(waitFor([&] { return window->currentModel()->firstFlowmodel()->screenModels().size() > before; }));
    }
    window->setCurrentIndex(0);
    QVRViewerWindow* player = play(window);
    ASSERT_TRUE(player);
    player->resize(900, 700);
    QVR_TessarineViewerView* view = viewerOf(player)->viewerView();
    ASSERT_TRUE(waitFor([&] { return view->currentPage() == 0 && !view->isAnimating(); }));

    ASSERT_TRUE(clickPlayedScreen(player, QPointF(700, 500)));
    UserInput::pressKey(nullptr, Qt::Key_Right);
    EXPECT_TRUE(waitFor([&] { return view->currentPage() == 1 && !view->isAnimating(); }, 5000)) << "Right";
    ASSERT_TRUE(clickPlayedScreen(player, QPointF(300, 200)));
    UserInput::pressKey(nullptr, Qt::Key_PageDown);
    EXPECT_TRUE(waitFor([&] { return view->currentPage() == 2 && !view->isAnimating(); }, 5000)) << "Page Down";
    ASSERT_TRUE(clickPlayedScreen(player, QPointF(500, 300)));
    UserInput::pressKey(nullptr, Qt::Key_Up);
    EXPECT_TRUE(waitFor([&] { return view->currentPage() == 1 && !view->isAnimating(); }, 5000)) << "Up";
    // The on-screen arrow, clicked, leaves the keys with the player too.
    click(viewerOf(player)->leftButton());
    EXPECT_TRUE(waitFor([&] { return view->currentPage() == 0 && !view->isAnimating(); }, 5000));
    UserInput::pressKey(nullptr, Qt::Key_Down);
    EXPECT_TRUE(waitFor([&] { return view->currentPage() == 1 && !view->isAnimating(); }, 5000)) << "Down";
}

// The title bar's full-screen button, then Escape: the player leaves full screen and stays open. Its frame is
// kept as a window's frame, so the next play opens in a window with its title bar.
TEST_F(RoadSeams, EscapeLeavesFullScreenAndTheNextPlayOpensInAWindow)
{
    QVR_CreatorWindow* window = createDocumentFromPlusTile();
    ASSERT_TRUE(window);
    QPointer<QVRViewerWindow> player = play(window);
    ASSERT_TRUE(player);
    QVRViewerTitleBarButtonsHolderView* buttons = player->windowController()->titleBarButtonsHolderView();
    ASSERT_TRUE(buttons && buttons->fullscreenButton());
    click(buttons->fullscreenButton());
    ASSERT_TRUE(waitFor([&] { return player->isFullScreen(); }, 5000));

    UserInput::pressKey(nullptr, Qt::Key_Escape);
    // Whatever Escape queued has run by now.
    QTest::qWait(200);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(player) << "Escape closed the player";
    EXPECT_TRUE(player->isVisible()) << "Escape closed the player";
    EXPECT_TRUE(waitFor([&] { return !player->isFullScreen(); }, 5000));

    // Full screen again, and the player closed from there (Ctrl+W).
    click(buttons->fullscreenButton());
    ASSERT_TRUE(waitFor([&] { return player->isFullScreen(); }, 5000));
    QTest::keySequence(player, QKeySequence(QKeySequence::Close));
    ASSERT_TRUE(waitFor([&] { return !player || !player->isVisible(); }, 5000));
    ASSERT_TRUE(waitFor([&] { return QApplication::activeWindow() == window; }));

    QVRViewerWindow* again = play(window);
    ASSERT_TRUE(again);
    QTest::qWait(100);
    EXPECT_FALSE(again->isFullScreen()) << "the next play opened full screen";
    EXPECT_FALSE(again->windowState() & Qt::WindowFullScreen);
}

// The home window's tile of a document already open brings its window to the front instead of opening a second
// one; the Window menu lists the open documents by name and brings the chosen one to the front.
TEST_F(RoadSeams, AnOpenDocumentsTileBringsItsWindowForwardAndTheWindowMenuListsTheDocuments)
{
    QVR_CreatorWindow* first = createDocumentFromPlusTile();
    ASSERT_TRUE(first);
    first->currentModel()->firstFlowmodel()->setTitle(QStringLiteral("Alpha plan"));
    QVR_CreatorWindow* second = createDocumentFromPlusTile();
    ASSERT_TRUE(second);
    second->currentModel()->firstFlowmodel()->setTitle(QStringLiteral("Beta plan"));
    EXPECT_TRUE(waitFor([&] {
        return first->windowTitle().startsWith(QLatin1String("Alpha plan")) &&
               second->windowTitle().startsWith(QLatin1String("Beta plan"));
    }));

    QWidget* lists = application().listsWindow();
    lists->activateWindow();
    ASSERT_TRUE(waitFor([&] { return QApplication::activeWindow() == lists; }));
    const QString firstID = first->currentModel()->qvdID();
    QVRTessarineTileGridItemView* tile = nullptr;
    ASSERT_TRUE(waitFor([&] {
        for (auto* candidate : lists->findChildren<QVRTessarineTileGridItemView*>()) {
            if (candidate->isVisible() && candidate->filePackage() && candidate->filePackage()->packageID() == firstID)
                tile = candidate;
        }
        return tile != nullptr;
    })) << "no tile for the first document";
    click(tile);
    EXPECT_TRUE(waitFor([&] { return QApplication::activeWindow() == first; })) << "the open window is not in front";
    QTest::qWait(300);
    EXPECT_EQ(creatorWindows().size(), 2) << "a second window for the same document";

    // The Window menu of the second window lists both documents, its own checked.
    QMenuBar* bar = QVRMainMenu::barOf(second);
    ASSERT_TRUE(bar);
    QMenu* windowMenu = bar->actions().at(QVRMainMenu::WindowMenu)->menu();
    emit windowMenu->aboutToShow();
    QAction* alpha = nullptr;
    QAction* beta = nullptr;
    for (QAction* action : windowMenu->actions()) {
        if (action->text() == QLatin1String("Alpha plan"))
            alpha = action;
        if (action->text() == QLatin1String("Beta plan"))
            beta = action;
    }
    ASSERT_TRUE(alpha && beta) << "the Window menu does not list the open documents";
    EXPECT_TRUE(beta->isChecked());
    EXPECT_FALSE(alpha->isChecked());
    // Listed once, however often the menu opens.
    emit windowMenu->aboutToShow();
    int listed = 0;
    for (QAction* action : windowMenu->actions())
        listed += action->text() == QLatin1String("Alpha plan") ? 1 : 0;
    EXPECT_EQ(listed, 1);
    second->activateWindow();
    ASSERT_TRUE(waitFor([&] { return QApplication::activeWindow() == second; }));
    for (QAction* action : windowMenu->actions()) {
        if (action->text() == QLatin1String("Alpha plan"))
            action->trigger();
    }
    EXPECT_TRUE(waitFor([&] { return QApplication::activeWindow() == first; }));
}

// A player left open while its document changes in the creator prints what it shows.
TEST_F(RoadSeams, PrintInAPlayerLeftOpenPrintsWhatItShows)
{
    QVR_CreatorWindow* window = createDocumentFromPlusTile();
    ASSERT_TRUE(window);
    QVRViewerWindow* player = play(window);
    ASSERT_TRUE(player);
    const int shown = viewerOf(player)->viewerView()->numScreens();
    ASSERT_EQ(shown, 1);

    // Back in the creator, the document gets a second screen; the player still shows one.
    window->activateWindow();
    ASSERT_TRUE(waitFor([&] { return QApplication::activeWindow() == window; }));
    ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("duplicateScreen")));
    ASSERT_TRUE(waitFor([&] { return window->currentModel()->firstFlowmodel()->screenModels().size() == 2; }));

    player->activateWindow();
    ASSERT_TRUE(waitFor([&] { return QApplication::activeWindow() == player; }));
    UserInput::pressKey(nullptr, Qt::Key_P, Qt::ControlModifier);
    const QString printed = inputs.filePath(QStringLiteral("shown.pdf"));
    ASSERT_TRUE(printToFile(printed));
    EXPECT_EQ(writtenPdfPages(printed), viewerOf(player)->viewerView()->numScreens());
}

// The number of dark pixels of `widget` as shown, inside `area` (widget coordinates).
int darkPixels(const QWidget* widget, const QRect& area)
{
    const QImage image = UserInput::shownImage(widget);
    if (image.isNull())
        return -1;
    const qreal ratio = image.devicePixelRatio();
    const QRect pixels(qRound(area.x() * ratio), qRound(area.y() * ratio), qRound(area.width() * ratio),
                       qRound(area.height() * ratio));
    int dark = 0;
    for (int y = pixels.top(); y <= pixels.bottom(); ++y) {
        for (int x = pixels.left(); x <= pixels.right(); ++x) {
            if (image.rect().contains(x, y) && image.pixelColor(x, y).lightness() < 100)
                ++dark;
        }
    }
    return dark;
}

// A text never typed into shows its prompt in the creator, and so in the player and in the presenter notes'
// preview of the screen.
TEST_F(RoadSeams, ANewTextNeverTypedIntoShowsItsPromptInThePlayerAndTheNotes)
{
    QVR_CreatorWindow* window = createDocumentFromPlusTile();
    ASSERT_TRUE(window);
    ASSERT_TRUE(insert(window, &QVR_AddElementMenuViewController::textCell));
    ASSERT_TRUE(waitFor([&] { return countObjects(shownScreen(window), ZERI_MixedMediaObject::Text) == 1; }));
    const auto text = lastObject(window);
    const QRectF frame = (*text)->frame();

    QVRViewerWindow* player = play(window);
    ASSERT_TRUE(player);
    player->resize(1100, 820);
    QVR_ArtBoardScrollView* board = nullptr;
    ASSERT_TRUE(waitFor([&] { return (board = shownBoard(player)) && board->isVisible(); }));
    const QRect area(board->mapFromScene(frame.topLeft()), board->mapFromScene(frame.bottomRight()));
    EXPECT_TRUE(waitFor([&] {
        UserInput::letRepaintsHappen(20);
        return darkPixels(board->viewport(), area) > 20;
    })) << "the player shows no text where the prompt is";

    // The presenter notes' preview of the shown screen.
    click(player->presenterNotesButton());
    QVRViewerViewController* viewer = viewerOf(player);
    QWidget* preview = nullptr;
    ASSERT_TRUE(waitFor([&] {
        auto* notes = viewer->presentationNotesViewController();
        preview = notes ? notes->currentPreview() : nullptr;
        return preview && preview->isVisible() && preview->width() > 0;
    }));
    // The screen fitted in the preview, centred.
    const double scale = std::min(preview->width() / 1024.0, preview->height() / 748.0);
    const QPointF origin((preview->width() - 1024 * scale) / 2, (preview->height() - 748 * scale) / 2);
    const QRect inPreview((origin + frame.topLeft() * scale).toPoint(),
                          (origin + frame.bottomRight() * scale).toPoint());
    EXPECT_TRUE(waitFor([&] {
        UserInput::letRepaintsHappen(20);
        return darkPixels(preview, inPreview) > 3;
    })) << "the notes' preview shows no text where the prompt is";
}

// Help › Guide, a guide the service no longer has: the open fails (logged) and the panel is left as it was, with
// no loading view spinning over it.
TEST_F(RoadSeams, AGuideThatFailsToOpenLeavesTheGuidePanelAsItWas)
{
    FakeWebService* service = seamsService();
    service->withState([](FakeWebService::State& state) {
        state.helpList = QJsonArray{QJsonObject{{QStringLiteral("title"), QStringLiteral("Missing guide")},
                                                {QStringLiteral("description"), QStringLiteral("Gone")},
                                                {QStringLiteral("string_id"), QStringLiteral("no-such-guide")}}};
    });
    ASSERT_TRUE(chooseMenuItem(application().listsWindow(), QStringLiteral("guide")));
    QVRGuideViewerViewController* panel = nullptr;
    ASSERT_TRUE(waitFor([&] {
        QWidget* window = visibleTopLevel<QWidget>(
            [](QWidget* w) { return w->findChild<QVRGuideViewerViewController*>() != nullptr; });
        panel = window ? window->findChild<QVRGuideViewerViewController*>() : nullptr;
        return panel && panel->tableView()->count() == 1 && panel->tableView()->isVisible();
    })) << "no guide list";
    QListWidget* table = panel->tableView();
    const int asked = service->requestCount(QStringLiteral("tessarine.getByStringId"));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualItemRect(table->item(0)).center());
    ASSERT_TRUE(waitFor([&] { return service->requestCount(QStringLiteral("tessarine.getByStringId")) > asked; }));
    ASSERT_TRUE(waitFor([&] { return !panel->activeOpenRequest(); })) << "the open never ended";
    UserInput::letRepaintsHappen();
    EXPECT_FALSE(visibleCancel(panel->view())) << "a loading view is left over the panel";
    EXPECT_EQ(table->count(), 1);
    panel->view()->window()->close();
}

} // namespace
