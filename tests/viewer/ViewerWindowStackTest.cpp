#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPdfDocument>
#include <QScrollArea>
#include <QPrinter>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include "ViewerTestSupport.h"
#include "app/AppOpenRequestUi.h"
#include "app/QVRAppDelegate.h"
#include "app/ViewerWindowHandle.h"
#include "app/QVRWindowManager.h"
#include "app/ViewerKeyNotifications.h"
#include "controls/ControlsArtwork.h"
#include "controls/HoverAreaView.h"
#include "controls/QVR_LoadingViewController.h"
#include "controls/QVR_Toast.h"
#include "creator/canvas/QVR_MixedMediaElementContainingView.h"
#include "elements/audio/QVOAudioController.h"
#include "foundation/Tessutils.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "service/OpenRequestUi.h"
#include "storage/ZERI_qvdFilePackageMetadata.h"
#include "strings/UFM.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/mmActions/ZERI_MMAction_ScreenLink.h"
#include "tessarine_data_model/mmActions/ZERI_MMAction_WebLink.h"
#include "viewer/QVRViewerOptionalControllsView.h"
#include "viewer/QVRViewerViewController.h"
#include "viewer/QVRViewerWindow.h"
#include "viewer/ViewerDocumentActions.h"
#include "viewer/ViewerSharing.h"
#include "viewer/output/QVR_PrintManager.h"

using namespace viewertest;

namespace {

using Container = QVR_MixedMediaElementContainingView;

std::shared_ptr<ZERI_MixedMediaObjectProxy> linkObject(const QString& link)
{
    auto object = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Shape);
    object->object()->setAction(ZERI_MMAction_WebLink::createWithText(link));
    return object;
}

std::shared_ptr<ZERI_qvdFilePackage> packageOf(const std::shared_ptr<ZERI_TessarineModel>& document)
{
    return std::dynamic_pointer_cast<ZERI_qvdFilePackage>(document->filePackage());
}

class RecordingSharing final : public ViewerSharing {
public:
    void shareDocument(const std::shared_ptr<ZERI_TessarineModel>& document, QWidget* window) override
    {
        shared.emplace_back(document, window);
    }
    std::vector<std::pair<std::shared_ptr<ZERI_TessarineModel>, QWidget*>> shared;
};

class FakeClip final : public QVOAudioClip {
public:
    explicit FakeClip(int* playing)
        : m_playing(playing)
    {
    }
    ~FakeClip() override { stop(); }
    void play() override
    {
        if (!m_on)
            ++*m_playing;
        m_on = true;
    }
    void pause() override { stop(); }
    void stop() override
    {
        if (m_on)
            --*m_playing;
        m_on = false;
    }
    double duration() const override { return 10.0; }
    double currentTime() const override { return 0.0; }
    void setFinishedHandler(std::function<void()>) override {}

private:
    int* m_playing;
    bool m_on = false;
};

class ViewerWindowStackTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(env.started());
        ControlsArtwork::registerNamedImages();
        QVR_TessarineViewerView::setTransitionDurationForTesting(0.2);
        QVR_Toast::setDurationForTesting(5000);
        QVRAppDelegate::setUserNotificationRecorderForTesting(
            [this](const QString& title, const QString& subtitle, const QString& text) {
                notices.append({title, subtitle, text});
                packagesAtNotice = ZERI_qvdFilePackage::packagesForType(1).size();
            });
    }
    void TearDown() override
    {
        QVRWindowManager::sharedInstance().closeAllWindowsExceptMyFlows();
        QApplication::processEvents();
        QVRAppDelegate::setUserNotificationRecorderForTesting({});
        ViewerSharing::registerSharing(nullptr);
        ZERI_qvdFilePackage::setPackagesFolder(QString());
        QVR_Toast::setDurationForTesting(0);
        QVR_TessarineViewerView::setTransitionDurationForTesting(0.0);
        Tessutils::setCorvikAuthToken(QString());
        Tessutils::setCorvikUserDict(std::nullopt);
    }

    static void signIn(const QString& user, bool admin = false)
    {
        Tessutils::setCorvikAuthToken(QStringLiteral("TOKEN"));
        QJsonObject record{{QStringLiteral("username"), user}};
        if (admin)
            record.insert(QStringLiteral("account_type"), QStringLiteral("admin"));
        Tessutils::setCorvikUserDict(SafeDictionary(record));
    }

    // A saved document of `count` screens, owned by `owner`, with package type `type`; `first` lies on screen 0.
    static std::shared_ptr<ZERI_TessarineModel>
    makeDocument(int count, const QString& title, const QString& stringID,
                 const std::shared_ptr<ZERI_MixedMediaObjectProxy>& first = nullptr,
                 const QString& owner = QStringLiteral("bob"), int type = 2)
    {
        auto document = saveDocumentWith(first, title);
        for (int i = 1; i < count; ++i)
            document->firstFlowmodel()->addFlowScreen(ZERI_FlowScreenModel::create());
        document->setStringID(stringID);
        const auto package = packageOf(document);
        package->metaData().setStringID(stringID);
        package->metaData().setOwner(QJsonObject{{QStringLiteral("username"), owner}});
        package->metaData().setPackageType(type);
        package->saveModel();
        package->saveMetadata();
        return document;
    }

    // Stores the document's published copy, which flow links open.
    static void publish(const std::shared_ptr<ZERI_TessarineModel>& document)
    {
        ASSERT_TRUE(packageOf(document)->savePublishedModelFromJSON(document->jsonData()));
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

    static bool settles(QVR_TessarineViewerView* player, int page)
    {
        return QTest::qWaitFor([&] { return player->currentPage() == page && !player->isAnimating(); }, 3000);
    }

    // A flow link clicked in `window` (or posted by `sender`).
    static void follow(const void* sender, const QString& link)
    {
        const auto action = ZERI_MMAction_WebLink::createWithText(link);
        NotificationCenter::defaultCenter().post(
            Container::kFlowEmbedLinkPressedNotification, sender,
            {{Container::kFlowEmbedLinkActionKey,
              QVariant::fromValue(ModelItemRef(std::static_pointer_cast<TessarineDataModelItem>(action)))}});
    }

    static QString toastText(QVRViewerWindow* window)
    {
        auto* toast = qobject_cast<QLabel*>(QVR_Toast::currentToast(controller(window)->view()));
        return toast ? toast->text() : QString();
    }

    struct Notice {
        QString title, subtitle, text;
    };
    QList<Notice> notices;
    size_t packagesAtNotice = 0;
    ScopedViewerEnvironment env;
};

TEST_F(ViewerWindowStackTest, AFlowLinkPlaysTheLinkedDocumentInTheSameWindowAndTheStackLeadsBack)
{
    auto b = makeDocument(4, QStringLiteral("Bee"), QStringLiteral("B"),
                          linkObject(QStringLiteral("flowLink://stringID=A&screenIndex=1")));
    b->firstFlowmodel()->screenModels()[3]->setInternalID(QStringLiteral("fourth"));
    publish(b);
    auto a = makeDocument(3, QStringLiteral("Ay"), QStringLiteral("A"),
                          linkObject(QStringLiteral("flowLink://stringID=B&screenIndex=2")));
    a->setCanRemix(true);
    publish(a);
    b->setCanRemix(false);

    QVRViewerWindow* window = open(a);
    ASSERT_NE(window, nullptr);
    QVRViewerWindowController* wc = window->windowController();
    QVRViewerViewController* c = controller(window);
    QVR_TessarineViewerView* player = c->viewerView();
    EXPECT_FALSE(wc->navigationBackButton()->isVisible());
    EXPECT_FALSE(wc->titleBarButtonsHolderView()->downloadButton()->isHidden());

    // Return on A's link: B plays at its third screen, under B's title, with the back button.
    QTest::keyClick(player, Qt::Key_Return);
    ASSERT_EQ(wc->tessarineModelAndPositionTuples().size(), 2u);
    EXPECT_EQ(wc->tessarineModel()->stringID(), QStringLiteral("B"));
    EXPECT_EQ(player->currentPage(), 2);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Bee ▸"));
    EXPECT_TRUE(wc->navigationBackButton()->isVisible());
    EXPECT_EQ(wc->navigationBackButton()->geometry(), QRect(10, 10, 33, 33));
    // B forbids remix: the button A showed goes.
    EXPECT_TRUE(wc->titleBarButtonsHolderView()->downloadButton()->isHidden());
    EXPECT_EQ(env.events(QStringLiteral("Tessarine Viewed")).size(), 2);

    // Escape goes back to A where it was left.
    QTest::keyClick(player, Qt::Key_Escape);
    ASSERT_EQ(wc->tessarineModelAndPositionTuples().size(), 1u);
    EXPECT_EQ(wc->tessarineModel(), a);
    EXPECT_EQ(player->currentPage(), 0);
    EXPECT_FALSE(wc->navigationBackButton()->isVisible());
    EXPECT_FALSE(wc->titleBarButtonsHolderView()->downloadButton()->isHidden());
    // With one entry Escape pops nothing.
    QTest::keyClick(player, Qt::Key_Escape);
    EXPECT_EQ(wc->tessarineModel(), a);

    // B's link back to A pops to A's entry at the page asked for; no second A is pushed.
    QTest::keyClick(player, Qt::Key_Return);
    ASSERT_EQ(wc->tessarineModelAndPositionTuples().size(), 2u);
    player->scrollToPage(0, false);
    QTest::keyClick(player, Qt::Key_Return);
    ASSERT_EQ(wc->tessarineModelAndPositionTuples().size(), 1u);
    EXPECT_EQ(wc->tessarineModel(), a);
    EXPECT_EQ(player->currentPage(), 1);

    // "screenID" wins over "screenIndex"; an unknown screen id falls back to the index; the index is clamped.
    follow(window, QStringLiteral("flowLink://stringID=B&screenID=fourth&screenIndex=1"));
    EXPECT_EQ(player->currentPage(), 3);
    follow(window, QStringLiteral("flowLink://stringID=B&screenID=gone&screenIndex=1"));
    EXPECT_EQ(player->currentPage(), 1);
    follow(window, QStringLiteral("flowLink://stringID=B&screenIndex=99"));
    EXPECT_EQ(player->currentPage(), 3);
    follow(window, QStringLiteral("flowLink://stringID=B&screenIndex=two"));
    EXPECT_EQ(player->currentPage(), 0);
    EXPECT_EQ(wc->tessarineModelAndPositionTuples().size(), 2u);

    // The back button pops as Escape does.
    wc->navigationBackButton()->click();
    EXPECT_EQ(wc->tessarineModel(), a);
    EXPECT_EQ(player->currentPage(), 1);
}

TEST_F(ViewerWindowStackTest, UnknownEmptyAndForeignFlowLinksLeaveTheShownDocument)
{
    auto a = makeDocument(2, QStringLiteral("Ay"), QStringLiteral("A"));
    auto b = makeDocument(2, QStringLiteral("Bee"), QStringLiteral("B"));
    publish(b);
    auto draftOnly = makeDocument(2, QStringLiteral("Draft"), QStringLiteral("D"));
    QVRViewerWindow* window = open(a);
    ASSERT_NE(window, nullptr);
    QVRViewerWindowController* wc = window->windowController();

    follow(window, QStringLiteral("flowLink://stringID=ZZZ9"));
    EXPECT_TRUE(toastText(window).contains(QStringLiteral("ZZZ9"))) << toastText(window).toStdString();
    follow(window, QStringLiteral("flowLink://stringID=D"));
    follow(window, QString());
    follow(window, QStringLiteral("flowLink://screenIndex=1"));
    // Another window's link whose action is not of this document.
    QWidget elsewhere;
    follow(&elsewhere, QStringLiteral("flowLink://stringID=B"));
    // A post without an action.
    NotificationCenter::defaultCenter().post(Container::kFlowEmbedLinkPressedNotification, window);
    QApplication::processEvents();
    EXPECT_EQ(wc->tessarineModelAndPositionTuples().size(), 1u);
    EXPECT_EQ(wc->tessarineModel(), a);
}

TEST_F(ViewerWindowStackTest, AnEmbeddedFlowEndingItsAutoplayPopsBackAndPlayPauseFollowsEachEntry)
{
    auto b = makeDocument(2, QStringLiteral("Bee"), QStringLiteral("B"));
    b->firstFlowmodel()->setAutoAdvanceSlideDuration(0.5);
    packageOf(b)->saveModel();
    publish(b);
    auto a = makeDocument(3, QStringLiteral("Ay"), QStringLiteral("A"));
    QVRViewerWindow* window = open(a);
    ASSERT_NE(window, nullptr);
    QVRViewerWindowController* wc = window->windowController();
    QVR_TessarineViewerView* player = controller(window)->viewerView();
    QToolButton* playPause = wc->titleBarButtonsHolderView()->playPauseButton();
    EXPECT_TRUE(playPause->isHidden());
    EXPECT_FALSE(player->autoAdvanceEnabled());

    player->scrollToPage(2, false);
    follow(window, QStringLiteral("flowLink://stringID=B&screenIndex=1"));
    ASSERT_EQ(wc->tessarineModel()->stringID(), QStringLiteral("B"));
    EXPECT_FALSE(playPause->isHidden());
    EXPECT_TRUE(player->autoAdvanceEnabled());
    EXPECT_TRUE(wc->titleBarButtonsHolderView()->isPlayPauseButtonPlaying());

    // B's last screen times out: A comes back where it was left, and nothing advances there.
    ASSERT_TRUE(QTest::qWaitFor([&] { return wc->tessarineModelAndPositionTuples().size() == 1; }, 3000));
    EXPECT_EQ(wc->tessarineModel(), a);
    EXPECT_EQ(player->currentPage(), 2);
    EXPECT_TRUE(playPause->isHidden());
    EXPECT_FALSE(player->autoAdvanceEnabled());
}

TEST_F(ViewerWindowStackTest, PlayPauseTogglesTheAutoAdvanceAndFullScreenTogglesTheWindow)
{
    auto a = makeDocument(3, QStringLiteral("Timed"), QStringLiteral("T"));
    a->firstFlowmodel()->setAutoAdvanceSlideDuration(30.0);
    QVRViewerWindow* window = open(a);
    ASSERT_NE(window, nullptr);
    QVRViewerWindowController* wc = window->windowController();
    QVR_TessarineViewerView* player = controller(window)->viewerView();
    QVRViewerTitleBarButtonsHolderView* holder = wc->titleBarButtonsHolderView();
    ASSERT_FALSE(holder->playPauseButton()->isHidden());
    EXPECT_TRUE(player->autoAdvanceEnabled());
    EXPECT_EQ(holder->playPauseButton()->toolTip(), UFM::PAUSE_TEXT());

    holder->playPauseButton()->click();
    EXPECT_TRUE(player->autoAdvancePaused());
    EXPECT_EQ(holder->playPauseButton()->toolTip(), UFM::AUTOPLAY_TEXT());
    holder->playPauseButton()->click();
    EXPECT_FALSE(player->autoAdvancePaused());
    EXPECT_TRUE(holder->isPlayPauseButtonPlaying());

    // Hidden buttons take no room: the visible ones sit at the band's right end.
    EXPECT_TRUE(holder->downloadButton()->isHidden());
    EXPECT_FALSE(holder->togglePresenterNotesButton()->isHidden());
    EXPECT_LE(window->titleBarView()->width() - holder->togglePresenterNotesButton()->geometry().right(), 12);
    EXPECT_LT(holder->playPauseButton()->geometry().right(), holder->togglePresenterNotesButton()->geometry().left());

    holder->fullscreenButton()->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return bool(window->windowState() & Qt::WindowFullScreen); }, 2000));
    holder->fullscreenButton()->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !(window->windowState() & Qt::WindowFullScreen); }, 2000));
}

TEST_F(ViewerWindowStackTest, RemixCopiesTheDocumentAsAnOwnOneAndNotifiesOnceTheCopyExists)
{
    signIn(QStringLiteral("ada"));
    auto other = makeDocument(2, QStringLiteral("Theirs"), QStringLiteral("O"));
    other->setCanRemix(true);
    QVRViewerWindow* window = open(other);
    ASSERT_NE(window, nullptr);
    QVRViewerTitleBarButtonsHolderView* holder = window->windowController()->titleBarButtonsHolderView();
    ASSERT_FALSE(holder->downloadButton()->isHidden());
    const size_t ownBefore = ZERI_qvdFilePackage::packagesForType(1).size();

    holder->downloadButton()->click();
    const auto remixes = env.events(QStringLiteral("Tessarine Remix"));
    ASSERT_EQ(remixes.size(), 1);
    EXPECT_EQ(remixes.front().value(QStringLiteral("parameters")).toObject().value(QStringLiteral("action_value")),
              QStringLiteral("remix"));
    EXPECT_TRUE(notices.isEmpty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !notices.isEmpty(); }, 3000));
    EXPECT_EQ(notices.front().title, UFM::TESSARINE_COPIED_TEXT());
    EXPECT_EQ(notices.front().subtitle, QStringLiteral("Theirs"));
    EXPECT_EQ(notices.front().text, UFM::TESSARINE_COPIED_CAN_BE_FOUND_IN_MY_TESSARINES());
    EXPECT_EQ(packagesAtNotice, ownBefore + 1);

    // Delivered for real, the notice shows in the viewer the copy was made from, over the document.
    QVRAppDelegate::setUserNotificationRecorderForTesting({});
    holder->downloadButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return toastText(window).contains(UFM::TESSARINE_COPIED_TEXT()); }, 3000));
    EXPECT_TRUE(toastText(window).contains(UFM::TESSARINE_COPIED_CAN_BE_FOUND_IN_MY_TESSARINES()));
    QWidget* player = controller(window)->view();
    const QRect toastArea = QVR_Toast::currentToast(player)->geometry();
    const QImage shown = window->grab().toImage();
    EXPECT_LT(
        shown.pixelColor(player->mapTo(window, QPoint(toastArea.left() + 10, toastArea.center().y()))).lightness(), 80)
        << "the toast's dark panel is drawn over the document";
    EXPECT_EQ(ZERI_qvdFilePackage::packagesForType(1).size(), ownBefore + 2);
    QVRAppDelegate::setUserNotificationRecorderForTesting(
        [this](const QString& title, const QString& subtitle, const QString& text) {
            notices.append({title, subtitle, text});
            packagesAtNotice = ZERI_qvdFilePackage::packagesForType(1).size();
        });

    // A copy that cannot be written (the packages folder lies under a file): no notice, the error as a toast.
    const auto keptPackage = packageOf(other);
    QTemporaryDir dir;
    QFile blocker(dir.filePath(QStringLiteral("file")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    ZERI_qvdFilePackage::setPackagesFolder(dir.filePath(QStringLiteral("file/under")));
    holder->downloadButton()->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return toastText(window).contains(UFM::ERROR_TEXT()); }, 3000));
    QTest::qWait(50);
    EXPECT_EQ(notices.size(), 1);

    // A document that forbids remix hides the button.
    ZERI_qvdFilePackage::setPackagesFolder(QString());
    auto closed = makeDocument(1, QStringLiteral("Closed"), QStringLiteral("C"));
    QVRViewerWindow* second = open(closed);
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(second->windowController()->titleBarButtonsHolderView()->downloadButton()->isHidden());
}

// One's own document shows the same title-bar buttons in the same places before its first save, when it names no
// owner yet, and after it, when the service has made the signed-in user its owner.
TEST_F(ViewerWindowStackTest, OnesOwnDocumentKeepsItsButtonsAcrossItsFirstSave)
{
    signIn(QStringLiteral("ada"));
    auto own = makeDocument(1, QString(), QString(), nullptr, QString(), 1);
    packageOf(own)->metaData().setOwner({});
    const auto shownButtons = [&] {
        QVRViewerWindow* window = open(own);
        QStringList shown;
        for (QToolButton* button :
             window->windowController()->titleBarButtonsHolderView()->findChildren<QToolButton*>())
            if (button->isVisible())
                shown << button->objectName() + u'@' + QString::number(button->x());
        window->close();
        QApplication::processEvents();
        shown.sort();
        return shown;
    };
    const QStringList unsaved = shownButtons();
    EXPECT_TRUE(unsaved.join(u' ').contains(QStringLiteral("download"))) << unsaved.join(u' ').toStdString();
    packageOf(own)->metaData().setOwner(QJsonObject{{QStringLiteral("username"), QStringLiteral("ada")}});
    EXPECT_EQ(shownButtons(), unsaved);
}

TEST_F(ViewerWindowStackTest, ShareShowsOnceSharingRegistersAndGetsTheDocumentAndWindow)
{
    auto other = makeDocument(1, QStringLiteral("Share"), QStringLiteral("S"));
    QVRViewerWindow* window = open(other);
    ASSERT_NE(window, nullptr);
    QToolButton* share = window->windowController()->titleBarButtonsHolderView()->shareButton();
    EXPECT_TRUE(share->isHidden());

    auto sharing = std::make_shared<RecordingSharing>();
    ViewerSharing::registerSharing(sharing);
    ASSERT_FALSE(share->isHidden());
    share->click();
    ASSERT_EQ(sharing->shared.size(), 1u);
    EXPECT_EQ(sharing->shared.front().first, other);
    EXPECT_EQ(sharing->shared.front().second, window);

    // The user's own editable document is not shared from here.
    signIn(QStringLiteral("ada"));
    auto own = makeDocument(1, QStringLiteral("Mine"), QStringLiteral("M"), nullptr, QStringLiteral("ada"), 1);
    QVRViewerWindow* second = open(own);
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(second->windowController()->titleBarButtonsHolderView()->shareButton()->isHidden());
}

TEST_F(ViewerWindowStackTest, AudioLinksPlayPauseAndStopWhenPagingAndOnlyFromTheirOwnWindow)
{
    auto audio = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Audio);
    audio->object()->setAudioAsset(
        assetAt(env.service.addContent(QStringLiteral("clip"), QByteArray("sound"), QStringLiteral("clip.m4a"))));
    auto document = makeDocument(2, QStringLiteral("Sound"), QStringLiteral("S"), audio);
    auto video = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Video);
    video->object()->setVideoAsset(
        assetAt(env.service.addContent(QStringLiteral("film"), QByteArray("film"), QStringLiteral("film.mp4"))));
    document->firstFlowmodel()->screenModels()[1]->addMixedMediaObject(video);
    QVRViewerWindow* window = open(document);
    ASSERT_NE(window, nullptr);
    QVRViewerViewController* c = controller(window);
    int playing = 0;
    c->setAudioClipFactoryForTesting([&playing](const QUrl&) { return std::make_unique<FakeClip>(&playing); });
    auto click = [&](const void* sender) {
        NotificationCenter::defaultCenter().post(
            Container::kAudioPressedNotification, sender,
            {{Container::kAudioKey, QVariant::fromValue(MixedMediaObjectRef(audio))}});
    };

    QWidget elsewhere;
    click(&elsewhere);
    EXPECT_EQ(c->watchedDownloadObject(), nullptr);
    // The first click fetches the clip; it plays on the next click.
    click(window);
    EXPECT_EQ(c->watchedDownloadObject(), audio);
    ASSERT_TRUE(QTest::qWaitFor([&] { return c->watchedDownloadObject() == nullptr; }, 5000));
    EXPECT_EQ(c->audioController(), nullptr);
    EXPECT_EQ(playing, 0);
    click(window);
    EXPECT_EQ(playing, 1);
    click(window);
    EXPECT_EQ(playing, 0);
    click(window);
    EXPECT_EQ(playing, 1);
    QTest::keyClick(c->viewerView(), Qt::Key_Right);
    EXPECT_EQ(playing, 0);

    // Local video links count the same way: only this window's start the video's download.
    env.service.setContentDelay(3000);
    auto videoClick = [&](const void* sender) {
        NotificationCenter::defaultCenter().post(
            Container::kLocalVideoPressedNotification, sender,
            {{Container::kLocalVideoKey, QVariant::fromValue(MixedMediaObjectRef(video))}});
    };
    videoClick(&elsewhere);
    EXPECT_EQ(c->watchedDownloadObject(), nullptr);
    videoClick(window);
    EXPECT_EQ(c->watchedDownloadObject(), video);
    c->cancelDownloadForObject(video);
    env.service.setContentDelay(0);
}

TEST_F(ViewerWindowStackTest, TheWindowKeepsItsFrameUnderTheDocumentsId)
{
    auto document = makeDocument(1, QStringLiteral("Frame"), QStringLiteral("F"));
    QVRViewerWindow* window = open(document);
    ASSERT_NE(window, nullptr);
    window->resize(700, 520);
    QApplication::processEvents();
    window->close();
    QApplication::processEvents();
    EXPECT_TRUE(UserDefaults::standard().value(QVRViewerWindow::frameAutosaveKey(document->qvdID())).isValid());

    QVRViewerWindow* again = open(document);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->size(), QSize(700, 520));
}

TEST_F(ViewerWindowStackTest, OverlayControlsWidenOnHoverAndExpandOpensTheDocumentInAViewer)
{
    auto document = makeDocument(3, QStringLiteral("Overlay"), QStringLiteral("OVL"));
    QWidget host;
    host.resize(1024, 748);
    auto* player = new QVR_TessarineViewerView(&host);
    player->setGeometry(host.rect());
    auto* overlay = new QVRViewerOptionalControllsView(&host);
    overlay->setGeometry(host.rect());
    overlay->setTheViewer(player);
    player->setDelegate(overlay);
    player->setOriginalTessarineModel(document);
    player->setFlowModel(document->readOnlyCopy()->firstFlowmodel(), 0);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));

    auto enter = [](QWidget* area) {
        QEnterEvent event(QPointF(5, 5), QPointF(5, 5), area->mapToGlobal(QPointF(5, 5)));
        QApplication::sendEvent(area, &event);
    };
    auto leave = [](QWidget* area) {
        QEvent event(QEvent::Leave);
        QApplication::sendEvent(area, &event);
    };
    auto widthIs = [](QPushButton* button, int width) {
        return QTest::qWaitFor([&] { return button->maximumWidth() == width; }, 2000);
    };
    EXPECT_EQ(overlay->leftButton()->maximumWidth(), 0);
    enter(overlay->leftHoverAreaView());
    EXPECT_TRUE(widthIs(overlay->leftButton(), 60));
    leave(overlay->leftHoverAreaView());
    EXPECT_TRUE(widthIs(overlay->leftButton(), 0));
    enter(overlay->rightHoverAreaView());
    EXPECT_TRUE(widthIs(overlay->rightButton(), 60));
    EXPECT_TRUE(widthIs(overlay->expandButton(), 30));
    overlay->rightButton()->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return player->currentPage() == 1; }, 2000));
    leave(overlay->rightHoverAreaView());
    EXPECT_TRUE(widthIs(overlay->rightButton(), 0));
    EXPECT_TRUE(widthIs(overlay->expandButton(), 0));

    // Only the edges take the pointer; the middle belongs to the player.
    EXPECT_TRUE(player->isAncestorOf(host.childAt(QPoint(512, 374))) || host.childAt(QPoint(512, 374)) == player);

    // Expand: an open request for the document's string id, in a viewer window.
    struct RecordingUi final : OpenRequestUi {
        bool showTemplateChooser() override { return false; }
        QVROpenRequestDelegate* creatorWindowForOpen() override { return nullptr; }
        QVROpenRequestDelegate* viewerWindowForModel(const std::shared_ptr<ZERI_TessarineModel>& model) override
        {
            asked.append(model ? model->stringID() : QStringLiteral("<none>"));
            return nullptr;
        }
        QVROpenRequestDelegate* makeViewerWindowForModel(const std::shared_ptr<ZERI_TessarineModel>& model) override
        {
            made.append(model ? model->stringID() : QStringLiteral("<none>"));
            return nullptr;
        }
        QVROpenRequestDelegate* makeiPadPreviewWindow() override
        {
            ++tablets;
            return nullptr;
        }
        void closeWindowBeingPrepared(QVROpenRequestDelegate*) override {}
        QObject* makeLoadingView(const QString&) override { return nullptr; }
        std::unique_ptr<ViewerDownloadPanel> makeDownloadPanel() override { return nullptr; }
        bool showPasswordPrompt(const QString&, std::function<void(const QString&)>, std::function<void()>) override
        {
            return false;
        }
        bool showRegisterWall(const QString&, std::function<void(bool)>) override { return false; }
        QStringList asked, made;
        int tablets = 0;
    };
    auto ui = std::make_shared<RecordingUi>();
    OpenRequestUi::registerUi(ui);
    overlay->expandPressed();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !ui->made.isEmpty(); }, 2000));
    OpenRequestUi::registerUi(nullptr);
    EXPECT_EQ(ui->tablets, 0);
    EXPECT_TRUE(ui->asked.contains(QStringLiteral("OVL")) || ui->made.contains(QStringLiteral("OVL")))
        << ui->asked.join(',').toStdString() << " / " << ui->made.join(',').toStdString();
    overlay->setAllowsExpand(false);
    EXPECT_TRUE(overlay->expandButton()->isHidden());
}

} // namespace

namespace {

// Prints into a PDF file without showing anything.
class PdfFilePresenter final : public PrintDialogPresenter {
public:
    explicit PdfFilePresenter(QString path)
        : m_path(std::move(path))
    {
    }
    void run(QPrinter& printer, QWidget*, QWidget*, std::function<void(bool)> done) override
    {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(m_path);
        done(true);
    }

private:
    QString m_path;
};

TEST_F(ViewerWindowStackTest, ThePrintCommandPrintsTheShownDocumentOnePagePerScreen)
{
    QVRViewerWindow* window = open(makeDocument(4, QStringLiteral("Print"), QStringLiteral("P")));
    ASSERT_NE(window, nullptr);
    const QString path = env.temporaryPath(QStringLiteral("printed.pdf"));
    QVR_PrintManager::setDialogPresenter(std::make_unique<PdfFilePresenter>(path));
    QApplication::setActiveWindow(window);
    QVRWindowManager& manager = QVRWindowManager::sharedInstance();
    ASSERT_EQ(manager.activeManagedWindow(), window);
    EXPECT_TRUE(manager.validateMenuItem(QStringLiteral("print")));
    EXPECT_TRUE(manager.performMenuAction(QStringLiteral("print"), 0));
    QPdfDocument pdf;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            if (!QFileInfo::exists(path))
                return false;
            pdf.close();
            return pdf.load(path) == QPdfDocument::Error::None && pdf.pageCount() == 4;
        },
        5000));
    QVR_PrintManager::setDialogPresenter(nullptr);
}

TEST_F(ViewerWindowStackTest, AVideoArrivingAfterTheLimitWaitsForTheNextClick)
{
    QVRViewerViewController::setAutoplayDownloadLimitForTesting(0.5);
    auto video = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Video);
    video->object()->setVideoAsset(
        assetAt(env.service.addContent(QStringLiteral("slow"), QByteArray("film"), QStringLiteral("slow.mp4"))));
    QVRViewerWindow* window = open(makeDocument(1, QStringLiteral("Slow"), QStringLiteral("V"), video));
    ASSERT_NE(window, nullptr);
    QVRViewerViewController* c = controller(window);
    env.service.setContentDelay(1000);
    QTest::keyClick(c->viewerView(), Qt::Key_Return);
    ASSERT_NE(c->watchedDownloadObject(), nullptr); // the played copy of the video
    ASSERT_TRUE(QTest::qWaitFor([&] { return c->watchedDownloadObject() == nullptr; }, 5000));
    QTest::qWait(50);
    EXPECT_EQ(c->videoPlayingView(), nullptr);
    env.service.setContentDelay(0);
    QVRViewerViewController::setAutoplayDownloadLimitForTesting(0.0);
    // On disk now: the next Return plays it.
    QTest::keyClick(c->viewerView(), Qt::Key_Return);
    EXPECT_NE(c->videoPlayingView(), nullptr);
}

class RecordingLoadingDelegate final : public QVR_LoadingViewDelegate {
public:
    void loadingViewCancelButtonPressed() override { ++cancelled; }
    int cancelled = 0;
};

TEST_F(ViewerWindowStackTest, ALoadingPanelsCancelReachesItsDelegateAndItsEmptyAreaFollowsScreenLinks)
{
    auto link = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Image);
    (*link)->setFrame(QRectF(0, 0, 1024, 748));
    auto document = makeDocument(2, QStringLiteral("Loading"), QStringLiteral("L"), link);
    document->firstFlowmodel()->screenModels()[1]->setInternalID(QStringLiteral("second"));
    auto action = ZERI_MMAction_ScreenLink::create(QStringLiteral("second"));
    action->setTransitionType(ZERI_MMAction_ScreenLink::None);
    (*link)->setAction(action);
    QVRViewerWindow* window = open(document);
    ASSERT_NE(window, nullptr);
    QVRViewerViewController* c = controller(window);

    QVR_LoadingViewController loading;
    RecordingLoadingDelegate delegate;
    loading.setDelegate(&delegate);
    window->openRequesterWantsToDisplayLoadingView(loading.view());
    QApplication::processEvents();
    QWidget* host = c->view();
    QPushButton* cancel = loading.cancelButton();
    ASSERT_NE(cancel, nullptr);
    const QPoint onCancel = cancel->mapTo(host, cancel->rect().center());
    QWidget* hit = host->childAt(onCancel);
    ASSERT_NE(hit, nullptr);
    QTest::mouseClick(hit, Qt::LeftButton, {}, hit->mapFrom(host, onCancel));
    EXPECT_EQ(delegate.cancelled, 1);

    // A click on the panel's empty area reaches the screen link beneath it.
    const QPoint empty(30, host->height() - 30);
    QWidget* beneath = host->childAt(empty);
    ASSERT_NE(beneath, nullptr);
    ASSERT_TRUE(c->viewerView()->isAncestorOf(beneath));
    QTest::mousePress(beneath, Qt::LeftButton, {}, beneath->mapFrom(host, empty));
    QTest::mouseRelease(beneath, Qt::LeftButton, {}, beneath->mapFrom(host, empty));
    EXPECT_TRUE(QTest::qWaitFor([&] { return c->viewerView()->currentPage() == 1; }, 2000));
    loading.view()->setParent(nullptr);
}

} // namespace

namespace {

TEST_F(ViewerWindowStackTest, AnOpenRequestForAViewerMakesOneManagedViewerOfTheOwnDraft)
{
    signIn(QStringLiteral("ada"));
    OpenRequestUi::registerUi(std::make_shared<AppOpenRequestUi>());
    auto own = makeDocument(4, QString(), QStringLiteral("OWN"), nullptr, QStringLiteral("ada"), 1);
    bool done = false;
    int code = -1;
    auto request = QVROpenRequest::request();
    request->setOpenCue(own);
    request->setOptions(QVROpenRequest::ViewerWindow);
    request->open([&](const Error& error) {
        done = true;
        code = error.isNull() ? 0 : error.code;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 3000));
    OpenRequestUi::registerUi(nullptr);
    EXPECT_EQ(code, 0);

    QVRWindowManager& manager = QVRWindowManager::sharedInstance();
    auto* window = qobject_cast<QVRViewerWindow*>(manager.viewerWindowForModel(own));
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(manager.kindOfWindow(window), QVRWindowManager::WindowKind::Viewer);
    EXPECT_EQ(manager.windows().size(), 1);
    EXPECT_EQ(window->windowController()->windowTitleText(), UFM::UNTITLED_TEXT());
    EXPECT_EQ(controller(window)->viewerView()->numScreens(), 4);
    const auto drafts = env.events(QStringLiteral("Tessarine Draft Viewed"));
    ASSERT_EQ(drafts.size(), 1);
    EXPECT_EQ(drafts.front().value(QStringLiteral("parameters")).toObject().value(QStringLiteral("action_value")),
              QStringLiteral("isOwner"));
    // The window is a handle other windows can page.
    auto* handle = dynamic_cast<ViewerWindowHandle*>(static_cast<QWidget*>(window));
    ASSERT_NE(handle, nullptr);
    handle->scrollToPage(3, false);
    EXPECT_EQ(controller(window)->viewerView()->currentPage(), 3);
}

TEST_F(ViewerWindowStackTest, EscapeInThePDFViewClosesItThroughItsController)
{
    auto pdf = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::PDF);
    pdf->object()->setPdfAsset(assetAt(
        env.service.addContent(QStringLiteral("doc"), pdfBytes({Qt::blue, Qt::red}), QStringLiteral("doc.pdf"))));
    QVRViewerWindow* window = open(makeDocument(2, QStringLiteral("PDF"), QStringLiteral("PDF"), pdf));
    ASSERT_NE(window, nullptr);
    QVRViewerViewController* c = controller(window);
    QTest::keyClick(c->viewerView(), Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return c->watchedDownloadObject() == nullptr; }, 5000));
    QTest::keyClick(c->viewerView(), Qt::Key_Return);
    QVR_PDFViewerView* view = c->pdfViewerView();
    ASSERT_NE(view, nullptr);
    QTest::keyClick(view->scrollArea(), Qt::Key_Escape);
    EXPECT_EQ(c->pdfViewerView(), nullptr);

    // While the PDF is shown the page keys leave the presentation where it is; Return closes the PDF and the
    // next Return opens it again.
    QTest::keyClick(c->viewerView(), Qt::Key_Return);
    view = c->pdfViewerView();
    ASSERT_NE(view, nullptr);
    for (Qt::Key key : {Qt::Key_Right, Qt::Key_PageDown, Qt::Key_Down})
        QTest::keyClick(view->scrollArea(), key);
    EXPECT_EQ(c->viewerView()->currentPage(), 0);
    EXPECT_FALSE(c->rightButton()->isVisible());
    QTest::keyClick(view->scrollArea(), Qt::Key_Return);
    EXPECT_EQ(c->pdfViewerView(), nullptr);
    EXPECT_TRUE(c->rightButton()->isVisible());
    QTest::keyClick(c->viewerView(), Qt::Key_Return);
    EXPECT_NE(c->pdfViewerView(), nullptr);
}

} // namespace

namespace {

TEST_F(ViewerWindowStackTest, ADocumentWithoutPackageOrScreensPlaysAsPublishedAndRemixesNothing)
{
    auto bare = ZERI_TessarineModel::create();
    bare->setDontSave(true);
    bare->setCanRemix(true);
    QVRViewerWindow* window = open(bare);
    ASSERT_NE(window, nullptr);
    QVRViewerViewController* c = controller(window);
    EXPECT_EQ(c->viewerView()->numScreens(), 0);
    EXPECT_EQ(env.events(QStringLiteral("Tessarine Viewed")).size(), 1);
    EXPECT_TRUE(window->windowController()->titleBarButtonsHolderView()->downloadButton()->isHidden());
    for (Qt::Key key : {Qt::Key_Right, Qt::Key_Left, Qt::Key_Return, Qt::Key_Escape, Qt::Key_Space})
        QTest::keyClick(c->viewerView(), key);
    EXPECT_EQ(c->viewerView()->currentPage(), 0);

    // Asked anyway, remix is logged and copies nothing.
    const size_t packages = ZERI_qvdFilePackage::allPackages().size();
    ViewerDocumentActions::remix(bare, c->view());
    QTest::qWait(20);
    EXPECT_EQ(env.events(QStringLiteral("Tessarine Remix")).size(), 1);
    EXPECT_EQ(ZERI_qvdFilePackage::allPackages().size(), packages);
    EXPECT_TRUE(notices.isEmpty());
}

} // namespace
