#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QJsonArray>
#include <QJsonObject>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include "app/QVRAppDelegate.h"
#include "app/QVRSingleInstance.h"
#include "app/QVRURLSchemeHandler.h"
#include "controls/MouseEventShieldWindow.h"
#include "creator/canvas/QVR_ArtBoardScrollView.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "library/guides/QVRGuideViewerViewController.h"
#include "library/lists/QVRTessarineListsWindowController.h"
#include "library/lists/QVRMyTessarinesViewController.h"
#include "library/lists/QVRTessarineTileGridItemView.h"
#include "library/lists/QVR_OpenByURLWindowCotroller.h"
#include "pptx/TestDeck.h"
#include "pptx/import/QVRPowerpointOverviewWindowController.h"
#include "roads/RoadsMatrix.h"
#include "roads/RoadsTestSupport.h"
#include "service/QVROpenRequest.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "strings/UFM.h"
#include "support/TestEnvironment.h"
#include "support/UserInput.h"
#include "support/fakeservice/FakeWebService.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "viewer/QVRViewerTitleBarButtonsHolderView.h"
#include "viewer/QVRViewerViewController.h"
#include "viewer/QVRViewerWindow.h"
#include "viewer/QVR_TessarineViewerView.h"

using namespace roads;
using namespace roads::matrix;

namespace {

// Every way a document opens ends in one window the user can work in, in front and uncovered; a document already
// open comes to the front instead of opening twice; an open that fails leaves the windows as they were.
class OpenMatrix : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(matrix::service());
        application();
        ASSERT_TRUE(inputs.isValid());
        ASSERT_TRUE(leaveFirstLaunchTour());
    }
    void TearDown() override
    {
        matrix::service()->clearInjectedReplies();
        matrix::service()->setContentDelay(0);
        matrix::service()->setReplyDelay(0);
        closeDocumentWindows();
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->isVisible() && (qobject_cast<QMessageBox*>(widget) || qobject_cast<QFileDialog*>(widget) ||
                                        qobject_cast<QVR_OpenByURLWindowCotroller*>(widget) ||
                                        qobject_cast<QVRPowerpointOverviewWindowController*>(widget)))
                widget->close();
        }
    }

    // The one document window showing `id` (a package id or string id), once it shows uncovered.
    static QWidget* oneUsableWindow(const QString& id, int timeoutMs = 30000)
    {
        QWidget* window = nullptr;
        const bool shown = waitFor(
            [&] {
                window = creatorShowing(id);
                if (!window)
                    window = viewerShowing(id);
                return window != nullptr;
            },
            timeoutMs);
        if (!shown) {
            ADD_FAILURE() << "no window shows " << id.toStdString();
            return nullptr;
        }
        const bool usable = waitFor([&] { return whatCovers(workArea(window)).isEmpty(); }, 5000);
        EXPECT_TRUE(usable) << whatCovers(workArea(window)).toStdString();
        EXPECT_EQ(documentWindows().size(), 1);
        return window;
    }
    // No document window, a while after an open by address failed; the message shown, if any (`told`: one must
    // show).
    static QString expectWindowsAsBefore(bool told = false)
    {
        QTest::qWait(500);
        EXPECT_TRUE(waitFor([] { return documentWindows().isEmpty(); }, 10000))
            << documentWindows().size() << " document window(s) left";
        QString message;
        if (told) {
            EXPECT_TRUE(waitFor([] { return visibleTopLevel<QMessageBox>() != nullptr; }, 10000))
                << "the open failed without a word";
        }
        if (auto* box = visibleTopLevel<QMessageBox>()) {
            message = box->text();
            box->close();
        }
        // Told why, the user is back in the Open Address window with what was typed; else in the home window.
        EXPECT_TRUE(waitFor(
            [told] {
                QWidget* front = QApplication::activeWindow();
                return front &&
                       front == (told ? visibleTopLevel<QVR_OpenByURLWindowCotroller>() : application().listsWindow());
            },
            5000))
            << "the window the user was in is not in front";
        return message;
    }
    static QVRTessarineListsWindowController* lists()
    {
        QWidget* window = application().listsWindow();
        return window ? window->findChild<QVRTessarineListsWindowController*>() : nullptr;
    }

    QTemporaryDir inputs;
};

// A tile opens its document in one creator window; a second click on it while it is open brings that window to
// the front.
TEST_F(OpenMatrix, ATileOpensOneCreatorAndAgainBringsItToTheFront)
{
    QVR_CreatorWindow* created = createDocumentFromPlusTile();
    ASSERT_TRUE(created);
    const QString id = created->currentModel()->qvdID();
    created->close();
    ASSERT_TRUE(waitFor([] { return creatorWindows().isEmpty(); }));

    ASSERT_TRUE(bringHomeWindowToFront());
    QVRTessarineTileGridItemView* tile = nullptr;
    ASSERT_TRUE(waitFor([&] { return (tile = tileOf(id)) != nullptr; }));
    click(tile);
    QWidget* window = oneUsableWindow(id);
    ASSERT_TRUE(window);

    ASSERT_TRUE(bringHomeWindowToFront());
    ASSERT_TRUE(waitFor([&] { return (tile = tileOf(id)) != nullptr && !tile->isOpening(); }));
    click(tile);
    EXPECT_TRUE(waitFor([&] { return QApplication::activeWindow() == window; }, 10000)) << "not brought to the front";
    QTest::qWait(500);
    EXPECT_EQ(creatorWindows().size(), 1) << "opened a second time";
}

// A document still downloading into a creator window shows what it waits for, with its Cancel, below the window's
// menu bar: first while the document comes, then while its files do. Once it is in, the canvas has the keyboard.
TEST_F(OpenMatrix, ADocumentStillDownloadingShowsItsLoadingViewBelowTheMenuBar)
{
    FakeWebService* fake = matrix::service();
    const QString id = addPublishedDocument(QStringLiteral("slowopen2"), QStringLiteral("ann"), 2, true);
    fake->setReplyDelay(1500);
    fake->setContentDelay(1500);
    auto request = QVROpenRequest::request();
    request->setOpenCue(id);
    request->setOptions(QVROpenRequest::DownloadByStringID | QVROpenRequest::PrecacheAllImagesAndMedia);
    request->open({});
    for (const char* panelName : {"QVR_LoadingViewController", "QVRViewerDownloadViewControllerView"}) {
        QPushButton* cancel = nullptr;
        ASSERT_TRUE(waitFor([&] {
            for (QVR_CreatorWindow* creator : creatorWindows())
                for (QWidget* panel : creator->findChildren<QWidget*>(QString::fromLatin1(panelName)))
                    for (auto* button : panel->findChildren<QPushButton*>())
                        if (button->text() == UFM::CANCEL_TEXT() && !button->visibleRegion().isEmpty())
                            cancel = button;
            return cancel != nullptr;
        })) << panelName
            << ": no loading view with its Cancel";
        auto* bar = cancel->window()->findChild<QMenuBar*>();
        ASSERT_TRUE(bar && bar->isVisible());
        QWidget* onBar = cancel->window()->childAt(bar->mapTo(cancel->window(), QPoint(20, 5)));
        EXPECT_TRUE(onBar == bar || bar->isAncestorOf(onBar)) << panelName << ": the menu bar is covered";
    }
    fake->setReplyDelay(0);
    fake->setContentDelay(0);
    QVR_CreatorWindow* window = nullptr;
    ASSERT_TRUE(waitFor([&] { return (window = creatorShowing(id)) != nullptr; }, 30000));
    EXPECT_TRUE(waitFor([&] { return window->focusWidget() == window->theArtBoard()->theScrollView(); }, 5000));
}

// File › Open Address with a string id: one viewer, uncovered once the media has come; the same address again
// brings that viewer to the front.
TEST_F(OpenMatrix, OpenAddressShowsOneViewerAndAgainBringsItToTheFront)
{
    const QString id = addPublishedDocument(QStringLiteral("address2"), QStringLiteral("bob"), 2, true);
    ASSERT_TRUE(openAddress(id));
    EXPECT_TRUE(waitFor([] { return !visibleTopLevel<QVR_OpenByURLWindowCotroller>(); }, 5000))
        << "the Open Address window stays";
    QVRViewerWindow* viewer = nullptr;
    ASSERT_TRUE(waitFor([&] { return (viewer = viewerShowing(id)) != nullptr; }, 30000));
    settledOnDocument(viewer);
    ASSERT_TRUE(oneUsableWindow(id));
    EXPECT_EQ(viewer->windowController()->tessarineViewerViewController()->viewerView()->numScreens(), 2);

    // The open request finds the viewer already showing the document and brings it to the front.
    ASSERT_TRUE(openAddress(id));
    EXPECT_TRUE(waitFor([&] { return QApplication::activeWindow() == viewer; }, 10000)) << "not brought to the front";
    QTest::qWait(500);
    EXPECT_EQ(viewerWindows().size(), 1) << "opened a second time";
}

// A link of the application's own scheme handed to the running application.
TEST_F(OpenMatrix, ALinkOpensTheDocumentInOneWindow)
{
    const QString id = addPublishedDocument(QStringLiteral("link2"), QStringLiteral("bob"), 2, false);
    application().handleLinks({QStringLiteral("tessarine://loadbystringid/") + id});
    ASSERT_TRUE(oneUsableWindow(id));
}

// A second start given a link hands it to the running application and ends: the document opens there.
TEST_F(OpenMatrix, ALinkGivenToASecondStartOpensInTheFirst)
{
    const QString id = addPublishedDocument(QStringLiteral("second2"), QStringLiteral("bob"), 2, false);
    // What the executable's start-up does: the first start listens and takes the links it is handed.
    QVRSingleInstance first;
    ASSERT_TRUE(first.listen());
    QObject::connect(&first, &QVRSingleInstance::linksReceived, &application(), &QVRAppDelegate::handleLinks);

    // The second start runs while this one goes on turning its event loop, as a running application does.
    QProcess second;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TESS_MATRIX_LINKS"), QStringLiteral("tessarine://loadbystringid/") + id);
    environment.insert(QStringLiteral("TESS_MATRIX_HOME"), TestEnvironment::root());
    second.setProcessEnvironment(environment);
    second.setProcessChannelMode(QProcess::MergedChannels);
    second.start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--gtest_also_run_disabled_tests"),
                  QStringLiteral("--gtest_filter=OpenMatrixSecondStart.DISABLED_HandsItsLinkToTheFirst")});
    const bool ended = waitFor([&] { return second.state() == QProcess::NotRunning; }, 60000);
    if (!ended) {
        second.kill();
        second.waitForFinished(5000);
    }
    const std::string output = second.readAll().toStdString();
    ASSERT_TRUE(ended) << output;
    EXPECT_EQ(second.exitCode(), 0) << output;
    EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
    ASSERT_TRUE(oneUsableWindow(id));
}

// The second start of the road above, on the first one's folders, as the executable's start-up hands links on.
TEST(OpenMatrixSecondStart, DISABLED_HandsItsLinkToTheFirst)
{
    const QString home = qEnvironmentVariable("TESS_MATRIX_HOME");
    ASSERT_FALSE(home.isEmpty());
    const std::pair<const char*, const char*> folders[] = {{"HOME", "home"},
                                                           {"XDG_CONFIG_HOME", "config"},
                                                           {"XDG_DATA_HOME", "data"},
                                                           {"XDG_CACHE_HOME", "cache"},
                                                           {"XDG_RUNTIME_DIR", "runtime"}};
    for (const auto& [variable, folder] : folders)
        qputenv(variable, QFile::encodeName(home + QLatin1Char('/') + QLatin1String(folder)));
    const QStringList links = qEnvironmentVariable("TESS_MATRIX_LINKS").split(QLatin1Char(' '));
    EXPECT_EQ(QVRSingleInstance::forwardToRunningInstance(links, 5000), QVRSingleInstance::Handover::Handed)
        << "no running application took it";
}

// File › Import PowerPoint: the deck opens as a new document in one creator window in front.
TEST_F(OpenMatrix, AnImportedDeckOpensInOneCreatorInFront)
{
    QVRPowerpointOverviewWindowController* overview = openImportOverview();
    ASSERT_TRUE(overview);
    const QString deck = inputs.filePath(QStringLiteral("deck.pptx"));
    ASSERT_TRUE(TestDeck::minimal(2).writeTo(deck.toStdString()));
    click(overview->getStartedButton());
    ASSERT_TRUE(answerFileDialog(deck));
    QVR_CreatorWindow* imported = nullptr;
    ASSERT_TRUE(waitFor(
        [&] { return (imported = creatorWindows().value(0, nullptr)) != nullptr && imported->currentModel(); }, 45000));
    ASSERT_TRUE(oneUsableWindow(imported->currentModel()->qvdID()));
    EXPECT_EQ(imported->currentModel()->firstFlowmodel()->screenModels().size(), 2u);
}

// The viewer's Download saves a copy into My Documents, whose tile opens it in one creator window.
TEST_F(OpenMatrix, TheViewersDownloadMakesACopyThatOpensFromItsTile)
{
    const QString id = addPublishedDocument(QStringLiteral("download2"), QStringLiteral("ann"), 2, false);
    ASSERT_TRUE(openAddress(id));
    QVRViewerWindow* viewer = nullptr;
    ASSERT_TRUE(waitFor([&] { return (viewer = viewerShowing(id)) != nullptr; }, 30000));
    QToolButton* download = viewer->windowController()->titleBarButtonsHolderView()->downloadButton();
    ASSERT_TRUE(waitFor([&] { return download->isVisible(); }, 10000)) << "no Download for the owner";
    QSet<QString> before;
    for (const auto& package : ZERI_qvdFilePackage::allPackages())
        before.insert(package->packageID());
    click(download);
    QString copy;
    ASSERT_TRUE(waitFor(
        [&] {
            for (const auto& package : ZERI_qvdFilePackage::allPackages())
                if (!before.contains(package->packageID()))
                    copy = package->packageID();
            return !copy.isEmpty();
        },
        15000))
        << "no copy in My Documents";
    viewer->close();
    ASSERT_TRUE(bringHomeWindowToFront());
    QVRTessarineTileGridItemView* tile = nullptr;
    ASSERT_TRUE(waitFor([&] { return (tile = tileOf(copy)) != nullptr; }));
    click(tile);
    ASSERT_TRUE(oneUsableWindow(copy));
}

// The home window's guide: the chosen guide plays in the panel, uncovered; a guide that cannot be opened leaves
// the panel as it was.
TEST_F(OpenMatrix, AGuidePlaysInThePanelAndAFailedOneLeavesItAsItWas)
{
    const QString guide = addPublishedDocument(QStringLiteral("guide2"), QStringLiteral("help"), 2, false);
    matrix::service()->withState([&](FakeWebService::State& state) {
        state.helpList = QJsonArray{
            QJsonObject{{"title", "Getting started"}, {"description", "The first steps"}, {"string_id", guide}},
            QJsonObject{{"title", "Gone"}, {"description", "Removed from the service"}, {"string_id", "missing7"}}};
    });
    QVRTessarineListsWindowController* controller = lists();
    ASSERT_TRUE(controller && controller->guideButton());
    click(controller->guideButton());
    QVRGuideViewerViewController* panel = nullptr;
    ASSERT_TRUE(waitFor([&] {
        panel = controller->guideViewController();
        return panel && panel->view()->isVisible() && panel->tableView()->count() == 2;
    }));
    QListWidget* list = panel->tableView();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
    QVR_TessarineViewerView* player = panel->viewerViewController()->viewerView();
    ASSERT_TRUE(waitFor(
        [&] { return player->originalTessarineModel() && player->originalTessarineModel()->stringID() == guide; },
        20000))
        << "the guide does not play";
    EXPECT_TRUE(documentWindows().isEmpty()) << "the guide plays in the panel, not in a window of its own";
    // Its media are fetched after it shows: the open ends then.
    EXPECT_TRUE(waitFor([&] { return !panel->activeOpenRequest(); }, 20000)) << "the guide's open never ends";
    UserInput::letRepaintsHappen();
    EXPECT_TRUE(waitFor([&] { return whatCovers(player).isEmpty(); }, 5000)) << whatCovers(player).toStdString();

    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(1)).center());
    EXPECT_TRUE(waitFor([&] { return !panel->activeOpenRequest(); }, 10000)) << "the open never ends";
    EXPECT_FALSE(panel->isSpinnerRunning());
    EXPECT_TRUE(waitFor([&] { return whatCovers(player).isEmpty(); }, 5000)) << whatCovers(player).toStdString();

    // A click beside the panel closes it and gives the home window back whole.
    auto* beside = application().listsWindow()->findChild<ShieldCloseOnClickView*>();
    ASSERT_TRUE(beside && beside->isVisible());
    QTest::mouseClick(beside, Qt::LeftButton, {}, QPoint(20, beside->height() / 2));
    EXPECT_TRUE(waitFor([&] {
        const auto shields = application().listsWindow()->findChildren<MouseEventShieldWindow*>();
        return std::none_of(shields.begin(), shields.end(), [](QWidget* shield) { return shield->isVisible(); });
    }));
}

// Opens by address that fail: a document the service does not have, a service error, and Cancel on the loading
// view. No window is left behind and the home window is in front again.
TEST_F(OpenMatrix, AFailedOpenByAddressLeavesTheWindowsAsTheyWere)
{
    FakeWebService* fake = matrix::service();
    {
        SCOPED_TRACE("a document the service does not have");
        ASSERT_TRUE(openAddress(QStringLiteral("nosuch4")));
        expectWindowsAsBefore(true);
    }
    {
        SCOPED_TRACE("a service error");
        const QString id = addPublishedDocument(QStringLiteral("failing2"), QStringLiteral("bob"), 2, false);
        fake->injectReply(QStringLiteral("tessarine.getByStringId"), FakeHttpReply::html(500, "Server Error"));
        ASSERT_TRUE(openAddress(id));
        expectWindowsAsBefore(true);
    }
    {
        SCOPED_TRACE("Cancel on the loading view");
        const QString id = addPublishedDocument(QStringLiteral("slow2"), QStringLiteral("bob"), 2, true);
        fake->setContentDelay(60000);
        ASSERT_TRUE(openAddress(id));
        QPushButton* cancel = nullptr;
        ASSERT_TRUE(waitFor(
            [&] {
                for (QWidget* window : documentWindows())
                    for (auto* button : window->findChildren<QPushButton*>())
                        if (button->isVisible() && button->text() == QLatin1String("Cancel"))
                            cancel = button;
                return cancel != nullptr;
            },
            20000))
            << "no loading view with its Cancel";
        click(cancel);
        fake->setContentDelay(0);
        expectWindowsAsBefore();
    }
}

} // namespace
