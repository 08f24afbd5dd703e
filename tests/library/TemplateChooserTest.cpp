#include <QApplication>
#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>

#include "LibraryTestSupport.h"
#include "app/AppStartupHooks.h"
#include "app/ViewerKeyNotifications.h"
#include "creator/TessarineThemeCatalogue.h"
#include "creator/toolbar/CreatorToolbarPanels.h"
#include "controls/HoverAreaView.h"
#include "controls/INAppStoreWindow.h"
#include "controls/QVR_AsynchronousRenderWebImageView.h"
#include "controls/QVR_LoadingViewController.h"
#include "library/LibraryLibrary.h"
#include "library/themes/QVRTemplateChooserWindowController.h"
#include "library/themes/QVR_TemplateChooserCollectionView.h"
#include "library/themes/QVR_TemplateChooserThumbnailController.h"
#include "library/themes/QVR_TemplateChooserViewController.h"
#include "library/themes/QVR_TemplateCollectionViewObject.h"
#include "library/themes/QVR_TemplatePreviewViewController.h"
#include "library/themes/TessarineTheme.h"
#include "platform/NotificationCenter.h"
#include "platform/widgets/WidgetAlertPresenter.h"
#include "service/CorvikBlockAPIBinding.h"
#include "service/OpenRequestUi.h"
#include "service/QVROpenRequest.h"
#include "service/ServiceReachability.h"
#include "storage/ZERI_WebDownloader.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "strings/UFM.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "viewer/QVR_TessarineViewerView.h"
#include "support/TestPictures.h"

using namespace library_test;

namespace {

struct FakeCreatorWindow : QVROpenRequestDelegate {
    void openRequesterWantsToDisplayLoadingView(QObject*) override {}
    void openRequesterHasFinishedLoadingModel(const std::shared_ptr<ZERI_TessarineModel>& model) override
    {
        documents.push_back(model);
    }
    std::vector<std::shared_ptr<ZERI_TessarineModel>> documents;
};

class FakeWindows : public OpenRequestUi {
public:
    bool showTemplateChooser() override { return false; }
    QVROpenRequestDelegate* creatorWindowForOpen() override { return hasCreator ? &creator : nullptr; }
    QVROpenRequestDelegate* viewerWindowForModel(const std::shared_ptr<ZERI_TessarineModel>&) override
    {
        return nullptr;
    }
    QVROpenRequestDelegate* makeViewerWindowForModel(const std::shared_ptr<ZERI_TessarineModel>&) override
    {
        return nullptr;
    }
    QVROpenRequestDelegate* makeiPadPreviewWindow() override { return nullptr; }
    void closeWindowBeingPrepared(QVROpenRequestDelegate*) override {}
    QObject* makeLoadingView(const QString&) override { return nullptr; }
    std::unique_ptr<ViewerDownloadPanel> makeDownloadPanel() override { return nullptr; }
    bool showPasswordPrompt(const QString&, std::function<void(const QString&)>, std::function<void()>) override
    {
        return false;
    }
    bool showRegisterWall(const QString&, std::function<void(bool)>) override { return false; }

    bool hasCreator = true;
    FakeCreatorWindow creator;
};

QByteArray pngBytes(const QColor& color)
{
    return ::pngBytes(QSize(8, 8), color);
}

class TemplateChooser : public LibraryTest {
protected:
    void SetUp() override
    {
        LibraryTest::SetUp();
        m_windows = std::make_shared<FakeWindows>();
        OpenRequestUi::registerUi(m_windows);
        QVR_TemplateChooserViewController::setSampleRetrySecondsForTesting(0.05);
        TessarineTheme::loadBlankTheme();
    }
    void TearDown() override
    {
        if (auto* controller = QVRTemplateChooserWindowController::existingInstance())
            delete controller->myWindow();
        QApplication::processEvents();
        QVR_TemplateChooserViewController::setSampleRetrySecondsForTesting(0);
        OpenRequestUi::registerUi(nullptr);
        LibraryTest::TearDown();
    }

    // Templates "t1".."tN" with priorities 1..N, each with a sample of `screens` screens.
    void serveTemplates(int count, int screens = 5, const QList<QUrl>& assets = {})
    {
        QJsonArray list;
        for (int i = 1; i <= count; ++i) {
            const QString id = QStringLiteral("t%1").arg(i);
            const QString icon = m_service.addContent("icon-" + id, pngBytes(Qt::gray), "icon.png").toString();
            const QString sample = serveSample(makeSample(screens, false, assets), "sample-" + id).toString();
            list.append(templateEntry(id, i, sample, icon));
        }
        setTemplates(list);
    }
    // The chooser in its window, shown, after the first list reply.
    QVR_TemplateChooserViewController* openChooser()
    {
        int posts = 0;
        NotificationObservation observation(TessarineTheme::kThemesDownloadedNotification, nullptr,
                                            [&](const Notification&) { ++posts; });
        auto* controller = QVRTemplateChooserWindowController::sharedInstance();
        controller->showWindow();
        EXPECT_TRUE(waitUntil([&] { return posts > 0; }));
        QApplication::processEvents();
        return controller->templateChooserViewController();
    }
    QVR_TemplateCollectionViewObject* tile(QVR_TemplateChooserViewController* chooser, const QString& id)
    {
        for (auto* candidate : chooser->templateThumbnailController()->templatesArray())
            if (candidate->templateId() == id)
                return candidate;
        return nullptr;
    }
    std::shared_ptr<ZERI_TessarineModel> waitForDocument()
    {
        EXPECT_TRUE(waitUntil([&] { return !m_windows->creator.documents.empty(); }));
        return m_windows->creator.documents.empty() ? nullptr : m_windows->creator.documents.back();
    }
    bool chooserClosed()
    {
        return waitUntil([] { return QVRTemplateChooserWindowController::existingInstance() == nullptr; });
    }

    std::shared_ptr<FakeWindows> m_windows;
};

} // namespace

TEST_F(TemplateChooser, TheScratchTileComesFirstAndAListReplacesTheWebTiles)
{
    serveTemplates(3);
    auto* chooser = openChooser();
    auto tiles = chooser->templateThumbnailController()->templatesArray();
    ASSERT_EQ(tiles.size(), 4);
    EXPECT_EQ(tiles[0]->templateId(), "10");
    EXPECT_FALSE(tiles[0]->previewImage().isNull()) << "the scratch picture";
    EXPECT_EQ(tiles[1]->templateId(), "t1");
    EXPECT_EQ(tiles[3]->templateId(), "t3");
    EXPECT_EQ(chooser->themeKeys(), QStringList({"t1", "t2", "t3"}));
    EXPECT_EQ(chooser->collectionView()->tiles().size(), 4);
    EXPECT_TRUE(tiles[1]->imageView()->downloader());
    ASSERT_TRUE(waitUntil([&] { return m_service.contentRequestCount("/content/icon-") == 3; }));

    // A sign-in or quota refresh posts the list again: the grid keeps one tile per template.
    TessarineTheme::loadThemesFromWeb();
    ASSERT_TRUE(waitUntil([&] { return m_service.requestCount("tessarine.getTemplates") == 2; }));
    QTest::qWait(100);
    tiles = chooser->templateThumbnailController()->templatesArray();
    ASSERT_EQ(tiles.size(), 4);
    EXPECT_EQ(std::count_if(tiles.begin(), tiles.end(), [](auto* t) { return t->templateId() == "10"; }), 1);
    EXPECT_EQ(chooser->collectionView()->tiles().size(), 4);

    // Four tiles fit: nothing to page.
    EXPECT_FALSE(chooser->previousPageButton()->isVisible());
    EXPECT_FALSE(chooser->nextPageButton()->isVisible());
}

TEST_F(TemplateChooser, HoveringTheScratchTileShowsItsButtonsWithoutTheSignUnderThem)
{
    serveTemplates(1);
    auto* chooser = openChooser();
    QVR_TemplateCollectionViewObject* scratch = chooser->templateThumbnailController()->templatesArray().at(0);
    QWidget* cell = scratch->cellView();
    // The pointer alone: the tile with the keyboard shows its buttons as well.
    cell->clearFocus();
    // The middle of the "+" lies between the two buttons.
    const QPoint signCentre(185, 80);
    auto brightnessAtSign = [&] { return qGray(cell->grab().toImage().pixel(signCentre)); };
    ASSERT_TRUE(waitUntil([&] { return brightnessAtSign() > 200; })) << "the sign shows";

    QEnterEvent enter(QPointF(10, 10), QPointF(10, 10), QPointF(10, 10));
    QApplication::sendEvent(scratch->hoverView(), &enter);
    EXPECT_TRUE(scratch->previewButton()->isVisible());
    EXPECT_TRUE(scratch->chooseButton()->isVisible());
    EXPECT_EQ(scratch->shownImage(), scratch->hoverImage());
    ASSERT_TRUE(waitUntil([&] { return brightnessAtSign() < 100; })) << brightnessAtSign();
    EXPECT_FALSE(scratch->previewButton()->geometry().contains(signCentre));
    EXPECT_FALSE(scratch->chooseButton()->geometry().contains(signCentre));

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(scratch->hoverView(), &leave);
    EXPECT_FALSE(scratch->previewButton()->isVisible());
    EXPECT_EQ(scratch->shownImage(), scratch->previewImage());
    ASSERT_TRUE(waitUntil([&] { return brightnessAtSign() > 200; }));
}

TEST_F(TemplateChooser, WithoutTheServiceTheListSaysSoAndOffersTheTemplatesSeenBefore)
{
    serveTemplates(2);
    auto* chooser = openChooser();
    EXPECT_TRUE(chooser->serviceNoticeShown().isEmpty());
    ASSERT_EQ(chooser->templateThumbnailController()->templatesArray().size(), 3);

    ASSERT_TRUE(CorvikBlockAPIBinding::setAPIURL(FakeWebService::unreachableBaseUrl()));
    int posts = 0;
    NotificationObservation observation(TessarineTheme::kThemesDownloadedNotification, nullptr,
                                        [&](const Notification&) { ++posts; });
    TessarineTheme::loadThemesFromWeb();
    ASSERT_TRUE(waitUntil([&] { return posts > 0; }));
    QApplication::processEvents();
    EXPECT_EQ(chooser->serviceNoticeShown(), ServiceReachability::unreachableText());
    const auto tiles = chooser->templateThumbnailController()->templatesArray();
    ASSERT_EQ(tiles.size(), 3) << "the cached list stands in";
    EXPECT_EQ(tiles[0]->templateId(), "10");

    // Back online, the notice goes with the next list.
    ASSERT_TRUE(CorvikBlockAPIBinding::setAPIURL(m_service.baseUrl()));
    const auto listAgain = [&] {
        posts = 0;
        TessarineTheme::loadThemesFromWeb();
        EXPECT_TRUE(waitUntil([&] { return posts > 0; }));
        QApplication::processEvents();
    };
    listAgain();
    EXPECT_TRUE(chooser->serviceNoticeShown().isEmpty());

    // Reached but failing, the service is no better than an unreachable one.
    m_service.injectReply("tessarine.getTemplates", FakeHttpReply::html(500, "<html>down</html>"));
    listAgain();
    EXPECT_EQ(chooser->serviceNoticeShown(), UFM::ERROR_RETRIEVING_THEMES_TEXT());
    EXPECT_EQ(chooser->templateThumbnailController()->templatesArray().size(), 3);
    listAgain();
    EXPECT_TRUE(chooser->serviceNoticeShown().isEmpty());
}

TEST_F(TemplateChooser, ThePagingButtonsMoveTwoTileWidthsAndTheWheelDoesNothing)
{
    serveTemplates(6);
    auto* chooser = openChooser();
    auto* grid = chooser->collectionView();
    ASSERT_EQ(grid->tiles().size(), 7);
    EXPECT_FALSE(chooser->previousPageButton()->isVisible());
    EXPECT_TRUE(chooser->nextPageButton()->isVisible());
    const int origin = grid->horizontalScrollBar()->value();
    EXPECT_EQ(origin, 0);

    QWheelEvent wheel(QPointF(20, 20), grid->mapToGlobal(QPointF(20, 20)), QPoint(), QPoint(-240, -240), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(grid->viewport(), &wheel);
    EXPECT_EQ(grid->horizontalScrollBar()->value(), 0);

    const double tileWidth = chooser->collectionViewItemWith();
    EXPECT_EQ(tileWidth, QVR_TemplateCollectionViewObject::kCellWidth + 12);
    QTest::mouseClick(chooser->nextPageButton(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return !chooser->isAnimating(); }));
    EXPECT_EQ(grid->horizontalScrollBar()->value(), static_cast<int>(2 * tileWidth));
    EXPECT_FALSE(chooser->nextPageButton()->isVisible()) << "at the end";
    EXPECT_TRUE(chooser->previousPageButton()->isVisible());

    QTest::mouseClick(chooser->previousPageButton(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return !chooser->isAnimating() && grid->horizontalScrollBar()->value() == 0; }));
    EXPECT_FALSE(chooser->previousPageButton()->isVisible());
    EXPECT_TRUE(chooser->nextPageButton()->isVisible());
}

// Right from the last column in view brings the next column in, and the paging buttons follow the grid; Left back.
TEST_F(TemplateChooser, TheArrowsBringTheTileTheyReachIntoView)
{
    serveTemplates(6);
    auto* chooser = openChooser();
    auto* grid = chooser->collectionView();
    ASSERT_EQ(grid->tiles().size(), 7);
    const auto cell = [&](int index) { return grid->tiles()[index]->cellView(); };
    cell(0)->setFocus();
    const auto press = [&](Qt::Key key) { QTest::keyClick(QApplication::focusWidget(), key); };
    const auto inView = [&](int index) {
        const QRect shown(cell(index)->mapTo(grid->viewport(), QPoint()), cell(index)->size());
        return grid->viewport()->rect().contains(shown);
    };
    ASSERT_FALSE(inView(6)) << "the window shows every column: nothing to scroll";
    for (int i = 0; i < 3; ++i)
        press(Qt::Key_Right);
    EXPECT_EQ(QApplication::focusWidget(), cell(6)) << "Right three times from the first tile, in a short last column";
    EXPECT_TRUE(inView(6));
    EXPECT_FALSE(chooser->nextPageButton()->isVisible()) << "at the end";
    EXPECT_TRUE(chooser->previousPageButton()->isVisible());
    for (int i = 0; i < 3; ++i)
        press(Qt::Key_Left);
    EXPECT_EQ(QApplication::focusWidget(), cell(0));
    EXPECT_TRUE(inView(0));
    EXPECT_FALSE(chooser->previousPageButton()->isVisible()) << "back at the start";
    EXPECT_TRUE(chooser->nextPageButton()->isVisible());
}

// How far apart the lightest and the darkest pixel of what the widget shows are: text on its background.
int shownContrast(QWidget* widget)
{
    const QImage shot = widget->grab().toImage();
    int lightest = 0;
    int darkest = 255;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x) {
            const int lightness = shot.pixelColor(x, y).lightness();
            lightest = std::max(lightest, lightness);
            darkest = std::min(darkest, lightness);
        }
    return lightest - darkest;
}

TEST_F(TemplateChooser, ItsAlertAndTheLoadingViewsCancelReadClearlyOnTheDarkWindow)
{
    const QUrl image = m_service.addContent("slowimg", pngBytes(Qt::yellow), "slow.png");
    const QString icon = m_service.addContent("icon-t1", pngBytes(Qt::gray), "icon.png").toString();
    const QString sample = serveSample(makeSample(4, false, {image}), "sample-t1").toString();
    setTemplates({templateEntry("t1", 1, sample, icon),
                  templateEntry("gone", 2, m_service.contentURL("missing", "sample.json").toString())});
    m_service.setContentDelay(300);
    auto* chooser = openChooser();
    ASSERT_TRUE(tile(chooser, "t1"));
    ASSERT_TRUE(tile(chooser, "gone"));

    // The window's dark background stays behind its own views: the Cancel button draws its text on its own face.
    tile(chooser, "t1")->chooseButtonPressed();
    ASSERT_TRUE(waitUntil([&] { return chooser->isDownloading(); }));
    QPushButton* cancel = chooser->loadingVC()->cancelButton();
    ASSERT_TRUE(cancel->isVisible());
    EXPECT_GT(shownContrast(cancel), 120) << "Cancel reads on its button";
    QTest::mouseClick(cancel, Qt::LeftButton);
    ASSERT_FALSE(chooser->isDownloading());

    // The alert after a sample that never comes, as the dialog shows it.
    WidgetAlertPresenter dialogs;
    AlertPresenter::setShared(&dialogs);
    tile(chooser, "gone")->previewButtonPressed();
    QMessageBox* alert = nullptr;
    const bool shown = waitUntil([&] {
        alert = chooser->view()->window()->findChild<QMessageBox*>();
        return alert && alert->isVisible();
    });
    AlertPresenter::setShared(&m_alerts);
    ASSERT_TRUE(shown);
    QLabel* message = nullptr;
    for (auto* label : alert->findChildren<QLabel*>())
        if (label->text() == UFM::ERROR_DOWNLOADING_TESSARINE())
            message = label;
    ASSERT_TRUE(message);
    EXPECT_GT(shownContrast(message), 120) << "the message reads on the alert";
    alert->close();
}

TEST_F(TemplateChooser, ShrinkingTheWindowKeepsTwoWholeColumnsBesideThePagingButtons)
{
    serveTemplates(6);
    auto* chooser = openChooser();
    QWidget* window = QVRTemplateChooserWindowController::existingInstance()->myWindow();
    window->resize(500, 300);
    QApplication::processEvents();
    auto* grid = chooser->collectionView();
    const auto inWindow = [&](QWidget* widget) { return QRect(widget->mapTo(window, QPoint(0, 0)), widget->size()); };
    const QRect shownGrid = inWindow(grid);
    EXPECT_EQ(grid->width(), 2 * int(chooser->collectionViewItemWith()));
    EXPECT_TRUE(window->rect().contains(shownGrid)) << "no tile is cut off";
    ASSERT_TRUE(chooser->nextPageButton()->isVisible());
    EXPECT_FALSE(inWindow(chooser->nextPageButton()).intersects(shownGrid)) << "the button covers no tile";
    EXPECT_TRUE(window->rect().contains(inWindow(chooser->nextPageButton())));
}

TEST_F(TemplateChooser, ChooseMakesTheUsersOwnDocumentFromTheFirstThreeScreens)
{
    const QUrl first = m_service.addContent("img1", pngBytes(Qt::red), "one.png");
    const QUrl second = m_service.addContent("img2", pngBytes(Qt::blue), "two.png");
    serveTemplates(1, 5, {first, second});
    auto* chooser = openChooser();
    tile(chooser, "t1")->chooseButtonPressed();
    EXPECT_FALSE(chooser->loadingVC()->view()->isHidden()) << "the loading view while the sample comes";
    const auto document = waitForDocument();
    ASSERT_TRUE(document);
    EXPECT_EQ(m_service.contentRequestCount("/content/img1/"), 1);
    EXPECT_EQ(m_service.contentRequestCount("/content/img2/"), 1);

    const auto package = std::dynamic_pointer_cast<ZERI_qvdFilePackage>(document->filePackage());
    ASSERT_TRUE(package);
    EXPECT_EQ(package->metaData().packageType(), 1);
    EXPECT_EQ(package->metaData().tessarineName(), UFM::UNTITLED_TEXT());
    EXPECT_FALSE(document->isThemeTessarine());
    for (const auto& flow : document->flowModels()) {
        EXPECT_EQ(flow->screenModels().size(), 3u);
        EXPECT_EQ(flow->themeID(), "t1");
    }
    QFile draft(package->draftFilePath());
    ASSERT_TRUE(draft.open(QIODevice::ReadOnly));
    EXPECT_TRUE(draft.readAll().contains("\"isThemeTessarine\":\"NO\""));
    for (const QUrl& url : {first, second})
        EXPECT_TRUE(QFile::exists(ZERI_WebDownloader::cacheFilePathForUrl(url, package->assetsPath())))
            << url.toString().toStdString();
    EXPECT_NE(package, TessarineTheme::tessarineThemeForID("t1")->themeSampleFilePackage());
    EXPECT_TRUE(events().contains(R"(Tessarine Created {"Theme":"t1"})")) << events().join("\n").toStdString();
    EXPECT_TRUE(chooserClosed());
}

TEST_F(TemplateChooser, ScratchGivesOneScreenAndAShortSampleKeepsItsScreens)
{
    serveTemplates(1, 2);
    auto* chooser = openChooser();
    tile(chooser, "10")->chooseButtonPressed();
    auto scratch = waitForDocument();
    ASSERT_TRUE(scratch);
    EXPECT_EQ(scratch->firstFlowmodel()->screenModels().size(), 1u);
    EXPECT_TRUE(scratch->firstFlowmodel()->screenModels()[0]->mixedMediaObjects().empty());
    EXPECT_EQ(scratch->firstFlowmodel()->themeID(), "10");
    ASSERT_TRUE(chooserClosed());

    chooser = openChooser();
    tile(chooser, "t1")->chooseButtonPressed();
    ASSERT_TRUE(waitUntil([&] { return m_windows->creator.documents.size() == 2; }));
    EXPECT_EQ(m_windows->creator.documents.back()->firstFlowmodel()->screenModels().size(), 2u);
}

TEST_F(TemplateChooser, AnOpenFailureKeepsTheChooserAndTheDocument)
{
    serveTemplates(1, 4);
    m_windows->hasCreator = false;
    auto* chooser = openChooser();
    const size_t before = ZERI_qvdFilePackage::packagesForType(ZERI_qvdFilePackage::OwnDocument).size();
    tile(chooser, "t1")->chooseButtonPressed();
    ASSERT_TRUE(waitUntil(
        [&] { return ZERI_qvdFilePackage::packagesForType(ZERI_qvdFilePackage::OwnDocument).size() == before + 1; }));
    QTest::qWait(200);
    EXPECT_TRUE(QVRTemplateChooserWindowController::existingInstance());
    EXPECT_TRUE(m_windows->creator.documents.empty());
    EXPECT_TRUE(events().contains(R"(Tessarine Created {"Theme":"t1"})"));
}

TEST_F(TemplateChooser, ACreateThatFailsAfterTheCopyLeavesNoPackageBehind)
{
    serveTemplates(1, 4);
    auto* chooser = openChooser();
    const auto own = [] { return ZERI_qvdFilePackage::packagesForType(ZERI_qvdFilePackage::OwnDocument).size(); };
    const size_t before = own();
    QString folder;
    QVR_TemplateChooserViewController::setNewDocumentHookForTesting([&](ZERI_TessarineModel& document) {
        folder = std::dynamic_pointer_cast<ZERI_qvdFilePackage>(document.filePackage())->path();
        document.setDontSave(true);
    });
    tile(chooser, "t1")->chooseButtonPressed();
    ASSERT_TRUE(waitUntil([&] { return !folder.isEmpty(); }));
    QVR_TemplateChooserViewController::setNewDocumentHookForTesting({});
    QTest::qWait(100);
    EXPECT_EQ(own(), before);
    EXPECT_FALSE(QFileInfo::exists(folder));
    EXPECT_TRUE(m_windows->creator.documents.empty());
    EXPECT_FALSE(events().join("\n").contains("Tessarine Created"));
    EXPECT_TRUE(QVRTemplateChooserWindowController::existingInstance());
}

TEST_F(TemplateChooser, ChooseDuringAPreviewDownloadEndsInCreation)
{
    const QUrl image = m_service.addContent("slow", pngBytes(Qt::green), "slow.png");
    serveTemplates(1, 4, {image});
    m_service.setContentDelay(150);
    auto* chooser = openChooser();
    tile(chooser, "t1")->previewButtonPressed();
    EXPECT_EQ(chooser->preloadReason(), QVR_TemplateChooserViewController::PreviewReason);
    tile(chooser, "t1")->chooseButtonPressed();
    EXPECT_EQ(chooser->preloadReason(), QVR_TemplateChooserViewController::CreateReason);
    const auto document = waitForDocument();
    ASSERT_TRUE(document);
    EXPECT_EQ(m_service.contentRequestCount("/content/sample-t1/"), 1);
    EXPECT_FALSE(events().join("\n").contains("Template Previewed")) << "no preview was shown";
    EXPECT_TRUE(chooserClosed());
}

TEST_F(TemplateChooser, APreviewPlaysPagesClosesAndChooses)
{
    serveTemplates(1, 3);
    m_service.setContentDelay(100);
    auto* chooser = openChooser();
    tile(chooser, "t1")->previewButtonPressed();
    EXPECT_TRUE(chooser->loadingVC()->isSpinning());
    EXPECT_FALSE(chooser->loadingVC()->view()->isHidden());
    ASSERT_TRUE(waitUntil([&] { return chooser->previewVC() != nullptr; }));
    auto* preview = chooser->previewVC();
    EXPECT_TRUE(chooser->loadingVC()->view()->isHidden());
    EXPECT_EQ(preview->templateId(), "t1");
    auto* player = preview->viewerView();
    EXPECT_EQ(player->flowModel(), TessarineTheme::sampleModelForFlowThemeID("t1")->firstFlowmodel());
    EXPECT_EQ(player->currentPage(), 0);
    EXPECT_TRUE(events().contains(R"(Template Previewed {"action_value":"t1"})")) << events().join("\n").toStdString();
    EXPECT_TRUE(preview->scrollLeftButton()->isHidden());

    const auto press = [](QWidget* target, Qt::Key key) {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(target, &event);
    };
    QVR_TessarineViewerView::setTransitionDurationForTesting(0.01);
    press(player, Qt::Key_Right);
    ASSERT_TRUE(waitUntil([&] { return player->currentPage() == 1 && !player->isAnimating(); }));
    EXPECT_FALSE(preview->scrollLeftButton()->isHidden());
    press(player, Qt::Key_Left);
    ASSERT_TRUE(waitUntil([&] { return player->currentPage() == 0 && !player->isAnimating(); }));
    // Another player's keys are not the preview's.
    QVR_TessarineViewerView stranger;
    press(&stranger, Qt::Key_Escape);
    EXPECT_EQ(chooser->previewVC(), preview);
    press(player, Qt::Key_Escape);
    EXPECT_FALSE(chooser->previewVC());
    QVR_TessarineViewerView::setTransitionDurationForTesting(0);

    // Previewed again (the sample is here now), Choose in the preview creates the document.
    tile(chooser, "t1")->previewButtonPressed();
    ASSERT_TRUE(waitUntil([&] { return chooser->previewVC() != nullptr; }));
    QTest::mouseClick(chooser->previewVC()->chooseButton(), Qt::LeftButton);
    const auto document = waitForDocument();
    ASSERT_TRUE(document);
    EXPECT_EQ(document->firstFlowmodel()->themeID(), "t1");
}

TEST_F(TemplateChooser, ASampleThatNeverComesIsAskedForThreeTimesThenAlerted)
{
    setTemplates({templateEntry("gone", 1, m_service.contentURL("missing", "sample.json").toString())});
    auto* chooser = openChooser();
    tile(chooser, "gone")->previewButtonPressed();
    ASSERT_TRUE(waitUntil([&] { return !m_alerts.requests.empty(); }));
    QTest::qWait(200);
    EXPECT_EQ(m_service.contentRequestCount("/content/missing/"), 3);
    ASSERT_EQ(m_alerts.requests.size(), 1u);
    EXPECT_EQ(m_alerts.requests[0].messageText, UFM::ERROR_DOWNLOADING_TESSARINE());
    EXPECT_TRUE(chooser->loadingVC()->view()->isHidden());
    EXPECT_FALSE(chooser->downloadingTheme());
    EXPECT_FALSE(chooser->previewVC());
}

TEST_F(TemplateChooser, CancelResetsThePrecacheAndNothingFollows)
{
    const QUrl image = m_service.addContent("slowimg", pngBytes(Qt::yellow), "slow.png");
    serveTemplates(1, 4, {image});
    m_service.setContentDelay(300);
    auto* chooser = openChooser();
    // The loading view's Cancel, clicked or (having the keyboard) left with Escape, stops the loading alone: the
    // chooser stays.
    for (const bool byEscape : {false, true}) {
        SCOPED_TRACE(byEscape ? "Escape" : "Cancel");
        tile(chooser, "t1")->chooseButtonPressed();
        ASSERT_TRUE(waitUntil([&] { return chooser->isDownloading(); }));
        QVBPrecacheManager* before = chooser->precacheManagerInstance();
        QPushButton* cancel = chooser->loadingVC()->cancelButton();
        if (byEscape) {
            ASSERT_TRUE(cancel->hasFocus());
            QTest::keyClick(cancel, Qt::Key_Escape);
        } else {
            QTest::mouseClick(cancel, Qt::LeftButton);
        }
        EXPECT_FALSE(chooser->isDownloading());
        EXPECT_FALSE(chooser->downloadingTheme());
        EXPECT_NE(chooser->precacheManagerInstance(), before);
        EXPECT_TRUE(chooser->precacheManagerInstance()->isIdle());
        EXPECT_TRUE(chooser->loadingVC()->view()->isHidden());
        QTest::qWait(700);
        EXPECT_TRUE(m_windows->creator.documents.empty());
        EXPECT_FALSE(chooser->previewVC());
        ASSERT_TRUE(QVRTemplateChooserWindowController::existingInstance());
        EXPECT_TRUE(QVRTemplateChooserWindowController::existingInstance()->myWindow()->isVisible());
    }
}

TEST_F(TemplateChooser, ProgressWithoutATotalStaysAsItWas)
{
    auto* chooser = openChooser();
    chooser->precacheManager(nullptr, 0, 0, 1, 4);
    EXPECT_DOUBLE_EQ(chooser->loadingVC()->progress(), 0.25);
    chooser->precacheManager(nullptr, 0, 0, 0, 0);
    chooser->precacheManager(nullptr, 0, 0, 3, -1);
    EXPECT_DOUBLE_EQ(chooser->loadingVC()->progress(), 0.25);
}

TEST_F(TemplateChooser, NoBlankTemplateOrNoTemplateIdCreatesNothing)
{
    TessarineTheme::setBlankTemplateResourceForTesting(m_support.filePath("absent.txt"));
    auto* chooser = openChooser();
    const size_t before = ZERI_qvdFilePackage::allPackages().size();
    QVR_TemplateCollectionViewObject nameless;
    nameless.setTheChooserController(chooser);
    nameless.chooseButtonPressed();
    EXPECT_FALSE(chooser->downloadingTheme());
    EXPECT_TRUE(chooser->loadingVC()->view()->isHidden());

    tile(chooser, "10")->chooseButtonPressed();
    ASSERT_TRUE(waitUntil([&] { return !m_alerts.requests.empty(); }));
    EXPECT_EQ(ZERI_qvdFilePackage::allPackages().size(), before);
    EXPECT_TRUE(m_windows->creator.documents.empty());
    EXPECT_TRUE(chooser->loadingVC()->view()->isHidden());
}

TEST_F(TemplateChooser, RegistrationShowsTheSharedChooser)
{
    registerLibraryLibrary();
    EXPECT_TRUE(AppStartupHooks::shared().loadDefaultThemes);
    EXPECT_TRUE(AppStartupHooks::shared().deletePrecachedBlankTheme);
    EXPECT_TRUE(AppStartupHooks::shared().menuCommands.count(QStringLiteral("guide")));
    ASSERT_TRUE(CreatorToolbarPanels::shared().guide);
    {
        QWidget host;
        QPointer<QWidget> guide = CreatorToolbarPanels::shared().guide(&host);
        ASSERT_TRUE(guide);
        EXPECT_EQ(guide->parentWidget(), &host);
        delete guide.data();
        QApplication::processEvents();
    }
    CreatorToolbarPanels::shared().guide = {};
    // The editor reads the registry through its theme catalogue.
    EXPECT_TRUE(TessarineThemeCatalogue::shared().hasTheme("10"));
    EXPECT_EQ(TessarineThemeCatalogue::shared().themeColors("10").size(), 22);
    EXPECT_FALSE(TessarineThemeCatalogue::shared().hasTheme("nope"));
    ASSERT_TRUE(AppStartupHooks::shared().showTemplateChooser);
    AppStartupHooks::shared().showTemplateChooser();
    auto* controller = QVRTemplateChooserWindowController::existingInstance();
    ASSERT_TRUE(controller);
    EXPECT_TRUE(controller->myWindow()->isVisible());
    AppStartupHooks::shared().showTemplateChooser();
    EXPECT_EQ(QVRTemplateChooserWindowController::existingInstance(), controller);
    controller->myWindow()->close();
    EXPECT_TRUE(chooserClosed());
    AppStartupHooks::resetForTesting();
    TessarineThemeCatalogue::setShared(nullptr);
}
