#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QPointer>
#include <QPrintDialog>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QWebEngineView>
#include <QWindow>

#include "app/QVRAppDelegate.h"
#include "creator/addition/QVR_AddElementMenuViewController.h"
#include "creator/addition/QVR_AddShapeMenuViewController.h"
#include "creator/toolbar/QVR_CreatorToolBarView.h"
#include "creator/toolbar/QVR_ToolbarButton.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "elements/video/MediaTestClips.h"
#include "elements/views/QVRCompressionSelectionViewController.h"
#include "tessarine_data_model/VideoCompressionManager.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "foundation/Tessutils.h"
#include "library/account/QVRFacebookLoginWindowController.h"
#include "library/account/QVRRegisterWallWindowController.h"
#include "library/account/QVR_ProfileEditorWebViewWindowController.h"
#include "library/guides/QVRGuideViewerViewController.h"
#include "library/lists/QVR_OpenByURLWindowCotroller.h"
#include "library/tour/QVR_FirstLaunchViewController.h"
#include "pptx/TestDeck.h"
#include "pptx/import/QVRPowerpointImportManager.h"
#include "pptx/import/QVRPowerpointOverviewWindowController.h"
#include "roads/RoadsSignedInService.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "viewer/QVRViewerTitleBarButtonsHolderView.h"
#include "viewer/QVRViewerWindow.h"
#include "roads/RoadsTestSupport.h"
#include "strings/StringTables.h"
#include "strings/UFM.h"
#include "support/UserInput.h"
#include "support/fakeservice/FakeWebService.h"

using namespace roads;

namespace {

// Calls `step` every 20 ms while the application's own loops hold the call that opened a window; after
// `limitMs` every dialog still shown is turned down, so that a road gone wrong ends as a failure.
class Ticker {
public:
    Ticker(std::function<void()> step, int limitMs = 20000)
    {
        m_ticks.setInterval(20);
        QObject::connect(&m_ticks, &QTimer::timeout, std::move(step));
        m_ticks.start();
        m_limit.setSingleShot(true);
        QObject::connect(&m_limit, &QTimer::timeout, [] {
            ADD_FAILURE() << "the windows were not answered in time";
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (auto* dialog = qobject_cast<QDialog*>(widget); dialog && dialog->isVisible())
                    dialog->reject();
            }
        });
        m_limit.start(limitMs);
    }

private:
    QTimer m_ticks;
    QTimer m_limit;
};

QPushButton* socialButton(QWidget* wall)
{
    for (QPushButton* button : wall ? wall->findChildren<QPushButton*>() : QList<QPushButton*>()) {
        if (button->isVisible() && button->objectName() == QLatin1String("facebookButton"))
            return button;
    }
    return nullptr;
}

} // namespace

// On the first start the tour stays above every window. Its Sign In brings the wall, whose social button opens
// the social sign-in window: that window is kept above the wall and the tour, and while the service exchanges
// the token it shows its activity indicator.
TEST(ViewerLibraryFaults, TheSocialSignInOfTheFirstRunIsKeptAboveTheTourAndShowsTheExchange)
{
    if (!firstStartHere())
        return;
    FakeWebService* service = startedService([](FakeWebService&) {});
    ASSERT_TRUE(service);
    QWidget* lists = application().listsWindow();
    ASSERT_TRUE(lists);
    QPointer<QVR_FirstLaunchViewController> tour;
    ASSERT_TRUE(waitFor([&] {
        tour = lists->findChild<QVR_FirstLaunchViewController*>();
        return tour && tour->isVisible();
    }));
    ASSERT_TRUE(tour->window()->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    bool clicked = false;
    bool checked = false;
    bool redirected = false;
    bool indicatorShown = false;
    QPointer<QVRRegisterWallWindowController> wall;
    Ticker ticker([&] {
        if (!wall)
            wall = visibleTopLevel<QVRRegisterWallWindowController>();
        if (!clicked) {
            if (QPushButton* button = socialButton(wall)) {
                clicked = true;
                click(button);
            }
            return;
        }
        auto* social = QVRFacebookSession::sharedInstance().loginWindowForTesting();
        if (!social || !social->isWindowLoaded() || !social->window()->isVisible())
            return;
        QWidget* frame = social->window();
        if (!checked) {
            checked = true;
            // Kept on top like the tour, so that window managers put it, the newer, in front of it.
            EXPECT_TRUE(frame->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
            ASSERT_TRUE(social->activityIndicator());
            EXPECT_FALSE(social->activityIndicator()->isVisible());
        }
        if (!redirected) {
            redirected = true;
            social->myWebView()->setUrl(QUrl(QVRFacebookLoginWindowController::redirectURI() +
                                             QStringLiteral("#access_token=first&expires_in=3600")));
            return;
        }
        if (social->activityIndicator() && social->activityIndicator()->isVisible() &&
            Tessutils::corvikAuthToken().isEmpty())
            indicatorShown = true;
    });
    // The exchange takes a while, so that its progress can be seen.
    const FakeWebService::User user = service->addUser(QStringLiteral("fb-first"));
    const QJsonObject answer{
        {QStringLiteral("response"),
         QJsonObject{{QStringLiteral("auth"), QJsonObject{{QStringLiteral("token"), user.token},
                                                          {QStringLiteral("user"), FakeWebService::userRecord(user)}}},
                     {QStringLiteral("cookie_auth"),
                      QJsonObject{{QStringLiteral("auth_token"), QStringLiteral("COOKIE-") + user.token}}}}}};
    service->injectReply(QStringLiteral("corvik.users.facebookLogin"), FakeHttpReply::json(answer).delayed(1500));
    QTest::mouseClick(tour->signInButton(), Qt::LeftButton);
    EXPECT_TRUE(waitFor([&] { return !Tessutils::corvikAuthToken().isEmpty(); }));
    EXPECT_TRUE(clicked);
    EXPECT_TRUE(checked);
    EXPECT_TRUE(redirected);
    EXPECT_TRUE(indicatorShown) << "nothing showed that the token was being exchanged";
    EXPECT_TRUE(waitFor([] { return !QVRFacebookSession::sharedInstance().isLoginWindowOpen(); }));
}

// Edit Profile belongs to the user who chose it: Sign Out closes it, and the next user's Edit Profile loads that
// user's page afresh instead of raising the first user's.
// Sign In chosen from the menu while the tour is up brings the wall in front of the tour, with the keyboard.
TEST(ViewerLibraryFaults, TheMenusSignInComesUpInFrontOfTheFirstRunsTour)
{
    if (!firstStartHere())
        return;
    QWidget* lists = application().listsWindow();
    ASSERT_TRUE(lists);
    ASSERT_TRUE(waitFor([&] {
        auto* tour = lists->findChild<QVR_FirstLaunchViewController*>();
        return tour && tour->isVisible();
    }));
    bool checked = false;
    int ticks = 0;
    Ticker ticker([&] {
        auto* wall = visibleTopLevel<QVRRegisterWallWindowController>();
        if (!wall || checked || (QApplication::activeWindow() != wall && ++ticks < 50))
            return;
        checked = true;
        EXPECT_TRUE(wall->windowFlags().testFlag(Qt::WindowStaysOnTopHint)) << "the wall would open beneath the tour";
        EXPECT_EQ(QApplication::activeWindow(), wall)
            << (QApplication::activeWindow() ? QApplication::activeWindow()->windowTitle().toStdString() : "none");
        EXPECT_TRUE(wall->isAncestorOf(QApplication::focusWidget()));
        wall->reject();
    });
    ASSERT_TRUE(chooseMenuItem(lists, QStringLiteral("signIn")));
    EXPECT_TRUE(checked);
}

TEST(ViewerLibraryFaults, SignOutClosesTheProfileEditorAndTheNextUserGetsAPageOfTheirOwn)
{
    FakeWebService* service = startedService([](FakeWebService& fake) {
        fake.addUser(QStringLiteral("ann"), QStringLiteral("pw"));
        fake.addUser(QStringLiteral("bob"), QStringLiteral("pw"));
        fake.withState([](FakeWebService::State& state) {
            state.users[QStringLiteral("bob")].email = QStringLiteral("bob@x.example");
        });
        fake.setPage(QStringLiteral("/user/settings"), "text/html", "<html><body>Settings</body></html>");
        Tessutils::setCorvikAuthToken(QStringLiteral("TOKEN-ann"));
    });
    ASSERT_TRUE(service);
    QWidget* lists = application().listsWindow();
    ASSERT_TRUE(lists);
    ASSERT_TRUE(waitFor([&] { return lists->isVisible(); }));

    ASSERT_TRUE(chooseMenuItem(lists, QStringLiteral("editProfile")));
    QPointer<QVR_ProfileEditorWebViewWindowController> annsEditor;
    ASSERT_TRUE(waitFor([&] { return (annsEditor = QVR_ProfileEditorWebViewWindowController::shownEditor()); }));
    ASSERT_TRUE(waitFor([&] { return service->contentRequestCount(QStringLiteral("/user/settings")) == 1; }));

    // Sign Out: nothing to save, so the user is signed out at once; only the lists window stays.
    ASSERT_TRUE(chooseMenuItem(lists, QStringLiteral("signIn")));
    ASSERT_TRUE(waitFor([] { return Tessutils::corvikAuthToken().isEmpty(); }));
    EXPECT_TRUE(waitFor([&] { return !QVR_ProfileEditorWebViewWindowController::shownEditor(); }, 5000))
        << "the signed-out user's profile stays on screen";

    // Bob signs in through the wall.
    {
        bool submitted = false;
        Ticker ticker([&] {
            auto* wall = visibleTopLevel<QVRRegisterWallWindowController>();
            if (!wall || submitted)
                return;
            if (wall->currentPage() != QVRRegisterWallWindowController::Page::Login) {
                wall->switchToVC(QVRRegisterWallWindowController::Page::Login);
                return;
            }
            if (!wall->loginEmailField()->isVisible())
                return;
            submitted = true;
            wall->loginEmailField()->setFocus();
            UserInput::typeText(wall->loginEmailField(), QStringLiteral("bob@x.example"));
            wall->loginPasswordField()->setFocus();
            UserInput::typeText(wall->loginPasswordField(), QStringLiteral("pw"));
            click(wall->loginSubmitButton());
        });
        ASSERT_TRUE(chooseMenuItem(lists, QStringLiteral("signIn")));
        EXPECT_TRUE(submitted);
    }
    ASSERT_TRUE(waitFor([] { return Tessutils::corvikAuthToken() == QLatin1String("TOKEN-bob"); }));

    ASSERT_TRUE(chooseMenuItem(lists, QStringLiteral("editProfile")));
    QVR_ProfileEditorWebViewWindowController* bobsEditor = nullptr;
    ASSERT_TRUE(waitFor([&] { return (bobsEditor = QVR_ProfileEditorWebViewWindowController::shownEditor()); }));
    EXPECT_TRUE(annsEditor.isNull() || annsEditor != bobsEditor);
    EXPECT_TRUE(waitFor([&] { return service->contentRequestCount(QStringLiteral("/user/settings")) == 2; }))
        << "Bob's page was not asked for";
    bobsEditor->window()->close();
    EXPECT_TRUE(waitFor([] { return !QVR_ProfileEditorWebViewWindowController::shownEditor(); }));
}

// Without a window manager nothing decorates a window: the Import PowerPoint overview and the tablet-size preview
// each close with Escape, with Ctrl+W and with a close button of their own.
TEST(ViewerLibraryFaults, TheImportOverviewAndTheTabletPreviewCloseFromTheKeyboardAndTheirOwnButton)
{
    application();
    ASSERT_TRUE(leaveFirstLaunchTour());
    const auto closesWith = [](QWidget* window, const std::function<void(QWidget*)>& close) {
        QPointer<QWidget> watched(window);
        close(window);
        return waitFor([&] { return !watched || !watched->isVisible(); }, 3000);
    };
    using Closing = std::function<void(QWidget*)>;
    const Closing escape = [](QWidget* window) { UserInput::pressKey(window->focusWidget(), Qt::Key_Escape); };
    const auto closeKey = [](QWidget* window) {
        UserInput::pressKey(window->focusWidget(), Qt::Key_W, Qt::ControlModifier);
    };
    const Closing closeButton = [](QWidget* window) {
        auto* button = window->findChild<QToolButton*>(QStringLiteral("floatingWindowCloseButton"));
        ASSERT_TRUE(button);
        ASSERT_TRUE(button->isVisible());
        EXPECT_TRUE(
            QRect(QPoint(0, 0), window->size()).contains(QRect(button->mapTo(window, QPoint(0, 0)), button->size())));
        click(button);
    };

    const std::vector<Closing> ways{escape, closeKey, closeButton};
    const char* const wayNames[] = {"Escape", "Ctrl+W", "the close button"};
    for (std::size_t way = 0; way < ways.size(); ++way) {
        const Closing& close = ways[way];
        QWidget* overview = openImportOverview();
        ASSERT_TRUE(overview);
        overview->activateWindow();
        ASSERT_TRUE(waitFor([&] { return QApplication::activeWindow() == overview; }, 3000));
        EXPECT_TRUE(closesWith(overview, close)) << "the overview stayed open after " << wayNames[way];
    }

    QVR_CreatorWindow* creator = createDocumentFromPlusTile();
    ASSERT_TRUE(creator);
    for (std::size_t way = 0; way < ways.size(); ++way) {
        const Closing& close = ways[way];
        ASSERT_TRUE(chooseMenuItem(creator, QStringLiteral("showiPadPreview")));
        QWidget* preview = nullptr;
        ASSERT_TRUE(waitFor([&] {
            preview = visibleTopLevel<QWidget>([](QWidget* w) { return w->inherits("QVRiPadPreviewWindow"); });
            return preview && QApplication::activeWindow() == preview;
        }));
        EXPECT_TRUE(closesWith(preview, close)) << "the tablet preview stayed open after " << wayNames[way];
    }
    closeDocumentWindows();
}

// The player's menu bar lies on its dark band: the titles it shows are light, so they can be read.
TEST(ViewerLibraryFaults, ThePlayersMenuTitlesAreReadableOnItsDarkBand)
{
    application();
    ASSERT_TRUE(leaveFirstLaunchTour());
    QVR_CreatorWindow* creator = createDocumentFromPlusTile();
    ASSERT_TRUE(creator);
    QVRViewerWindow* viewer = play(creator);
    ASSERT_TRUE(viewer);
    viewer->resize(viewer->width() + 40, viewer->height() + 20);
    auto* bar = viewer->findChild<QMenuBar*>();
    ASSERT_TRUE(bar);
    ASSERT_TRUE(waitFor([&] { return bar->isVisible(); }));
    UserInput::letRepaintsHappen();
    QImage shown;
    ASSERT_TRUE(waitFor([&] {
        UserInput::letRepaintsHappen();
        shown = UserInput::shownImage(bar);
        return !shown.isNull();
    }));
    const qreal ratio = shown.devicePixelRatio() > 0 ? shown.devicePixelRatio() : 1.0;
    ASSERT_FALSE(bar->actions().isEmpty());
    for (QAction* title : bar->actions()) {
        if (!title->isVisible())
            continue;
        const QRect area = bar->actionGeometry(title);
        double darkest = 1.0;
        double lightest = 0.0;
        for (int y = int(area.top() * ratio); y < int(area.bottom() * ratio) && y < shown.height(); ++y) {
            for (int x = int(area.left() * ratio); x < int(area.right() * ratio) && x < shown.width(); ++x) {
                const double lightness = shown.pixelColor(x, y).lightnessF();
                darkest = std::min(darkest, lightness);
                lightest = std::max(lightest, lightness);
            }
        }
        // Text and band far apart: the band is dark, so the text must be light.
        EXPECT_GT(lightest - darkest, 0.5) << title->text().toStdString() << " cannot be read";
        EXPECT_GT(lightest, 0.7) << title->text().toStdString() << " is drawn dark on the dark band";
    }
    closeDocumentWindows();
}

namespace {

// The Guide button of the home window, pressed: its panel's list, once the service's answer is in.
QListWidget* openGuidePanel(QWidget* lists, int guides)
{
    QToolButton* guideButton = nullptr;
    for (QToolButton* button : lists->findChildren<QToolButton*>())
        if (button->isVisible() && button->text() == UFM::GUIDE_TEXT())
            guideButton = button;
    if (!guideButton)
        return nullptr;
    click(guideButton);
    QListWidget* list = nullptr;
    const bool shown = waitFor([&] {
        list = lists->findChild<QListWidget*>(QStringLiteral("guideList"));
        auto* guide = lists->findChild<QVRGuideViewerViewController*>();
        return list && list->isVisible() && guide && !guide->isSpinnerRunning() && list->count() == guides;
    });
    return shown ? list : nullptr;
}

// The panel as shown over the home window: rounded at all four corners, where the dimmed window shows through,
// and white inside up to its edges, with no frame or box of the list's own.
void expectRoundWhitePanel(QWidget* panel, const char* what)
{
    SCOPED_TRACE(what);
    QWidget* backdrop = panel->parentWidget();
    ASSERT_TRUE(backdrop);
    UserInput::letRepaintsHappen();
    const QImage shown = UserInput::shownImage(panel);
    ASSERT_FALSE(shown.isNull());
    if (!qEnvironmentVariableIsEmpty("TESS_ROADS_SHOTS"))
        shown.save(qEnvironmentVariable("TESS_ROADS_SHOTS") + QStringLiteral("/guide-panel-%1.png").arg(what));
    const int right = shown.width() - 1;
    const int bottom = shown.height() - 1;
    const QRect area = panel->geometry();
    const QPoint corners[] = {QPoint(0, 0), QPoint(right, 0), QPoint(0, bottom), QPoint(right, bottom)};
    const QPoint beside[] = {area.topLeft() + QPoint(-2, 0), area.topRight() + QPoint(2, 0),
                             area.bottomLeft() + QPoint(-2, 0), area.bottomRight() + QPoint(2, 0)};
    for (int n = 0; n < 4; ++n) {
        const QColor corner = shown.pixelColor(corners[n]);
        const QColor outside = UserInput::shownColor(backdrop, beside[n]);
        const int difference =
            std::max({std::abs(corner.red() - outside.red()), std::abs(corner.green() - outside.green()),
                      std::abs(corner.blue() - outside.blue())});
        EXPECT_LE(difference, 12) << "square corner at " << corners[n].x() << "," << corners[n].y() << ": "
                                  << corner.name().toStdString() << " beside " << outside.name().toStdString();
    }
    EXPECT_GT(shown.pixelColor(shown.width() / 2, 3).lightness(), 240) << "the panel is white inside";
    EXPECT_GT(shown.pixelColor(1, shown.height() / 2).lightness(), 240) << "a frame along the panel's left edge";
    EXPECT_GT(shown.pixelColor(right - 1, shown.height() / 2).lightness(), 240)
        << "a frame along the panel's right edge";
}

} // namespace

// The home window's Guide button: the list takes the arrow keys at once, and the panel's four corners are round.
// With no guides on the service the panel stays as it is, round and white, with nothing of its list showing.
TEST(ViewerLibraryFaults, TheGuideListTakesTheArrowsAtOnceAndThePanelIsRoundAtEveryCorner)
{
    FakeWebService* service = startedService([](FakeWebService& fake) {
        QJsonArray guides;
        for (int n = 1; n <= 3; ++n)
            guides.append(QJsonObject{{QStringLiteral("title"), QStringLiteral("Guide %1").arg(n)},
                                      {QStringLiteral("description"), QStringLiteral("About %1").arg(n)},
                                      {QStringLiteral("string_id"), QStringLiteral("guide-%1").arg(n)}});
        fake.withState([&](FakeWebService::State& state) { state.helpList = guides; });
    });
    ASSERT_TRUE(service);
    application();
    ASSERT_TRUE(leaveFirstLaunchTour());
    QWidget* lists = application().listsWindow();
    QListWidget* list = openGuidePanel(lists, 3);
    ASSERT_TRUE(list);
    QWidget* panel = list->parentWidget();
    ASSERT_TRUE(panel);
    expectRoundWhitePanel(panel, "three");
    EXPECT_EQ(QApplication::focusWidget(), list) << "the list does not have the keys";
    const int before = list->currentRow();
    UserInput::pressKey(nullptr, Qt::Key_Down);
    EXPECT_NE(list->currentRow(), before) << "Down moved nothing";

    UserInput::pressKey(nullptr, Qt::Key_Escape);
    EXPECT_TRUE(waitFor([&] { return !lists->findChild<QListWidget*>(QStringLiteral("guideList")); }, 5000));

    const QJsonArray guides = service->state().helpList;
    service->withState([](FakeWebService::State& state) { state.helpList = QJsonArray(); });
    list = openGuidePanel(lists, 0);
    ASSERT_TRUE(list) << "the empty panel did not settle";
    expectRoundWhitePanel(list->parentWidget(), "none");
    UserInput::pressKey(nullptr, Qt::Key_Escape);
    EXPECT_TRUE(waitFor([&] { return !lists->findChild<QListWidget*>(QStringLiteral("guideList")); }, 5000));
    service->withState([&](FakeWebService::State& state) { state.helpList = guides; });
}

// Each edit makes new screen previews; the old ones stay while undo steps need them. Once the document closes
// nothing needs them: only the files its draft names are left in its folder.
TEST(ViewerLibraryFaults, ScreenPreviewsThatNothingNeedsAreGoneOnceTheDocumentCloses)
{
    application();
    ASSERT_TRUE(leaveFirstLaunchTour());
    QPointer<QVR_CreatorWindow> creator = createDocumentFromPlusTile();
    ASSERT_TRUE(creator);
    const auto package = std::dynamic_pointer_cast<ZERI_qvdFilePackage>(creator->currentModel()->filePackage());
    ASSERT_TRUE(package);
    const QDir assets(package->assetsPath());
    const auto pictures = [&] { return assets.entryList({QStringLiteral("*.jpg")}, QDir::Files); };
    const auto screen = shownScreen(creator);
    ASSERT_TRUE(screen);
    for (int edit = 1; edit <= 3; ++edit) {
        const QStringList before = pictures();
        ASSERT_TRUE(insert(creator, &QVR_AddElementMenuViewController::shapeCell));
        QVR_AddShapeMenuViewController* shapes = nullptr;
        ASSERT_TRUE(waitFor([&] { return (shapes = openedMenu<QVR_AddShapeMenuViewController>()) != nullptr; }));
        click(shapes->menuView()->buttons().first());
        ASSERT_TRUE(waitFor([&] { return countObjects(screen, 7) == edit; }));
        // The screen's new previews are written (while the folder's cleaning after the window opened may take
        // away the pictures nothing needed by then).
        const auto newPicture = [&] {
            const QStringList now = pictures();
            return std::any_of(now.begin(), now.end(), [&](const QString& file) { return !before.contains(file); });
        };
        ASSERT_TRUE(waitFor(newPicture, 20000)) << "edit " << edit << ": before " << before.join(u' ').toStdString()
                                                << ", now " << pictures().join(u' ').toStdString();
    }
    ASSERT_GT(pictures().size(), 2) << "the earlier previews are kept while undo needs them";

    creator->close();
    ASSERT_TRUE(waitFor([&] { return !creator || !creator->isVisible(); }));
    // Left: the pictures the draft names, and the tile's picture that the package's details name.
    const auto unneeded = [&] {
        QFile draft(package->draftFilePath());
        const QByteArray text = draft.open(QIODevice::ReadOnly) ? draft.readAll() : QByteArray();
        const QString tile = QFileInfo(package->metaData().previewScreenshotFilePath()).fileName();
        QStringList left;
        for (const QString& file : pictures())
            if (file != tile && !text.contains(file.toUtf8()))
                left.append(file);
        return left;
    };
    EXPECT_TRUE(waitFor([&] { return unneeded().isEmpty(); }, 10000))
        << "left behind: " << unneeded().join(u' ').toStdString();
}

// Screen › Screen Properties: the window says what it holds.
TEST(ViewerLibraryFaults, TheScreenPropertiesWindowIsTitledAfterWhatItHolds)
{
    application();
    ASSERT_TRUE(leaveFirstLaunchTour());
    QVR_CreatorWindow* creator = createDocumentFromPlusTile();
    ASSERT_TRUE(creator);
    ASSERT_TRUE(chooseMenuItem(creator, QStringLiteral("showScreenPropertiesMenu")));
    QDialog* sheet = nullptr;
    ASSERT_TRUE(waitFor([&] {
        for (QDialog* dialog : creator->findChildren<QDialog*>())
            if (dialog->isVisible())
                sheet = dialog;
        return sheet != nullptr;
    }));
    EXPECT_EQ(sheet->windowTitle(), QStringLiteral("Screen Properties"));
    sheet->reject();
    closeDocumentWindows();
}

// The request that opens a document says what went wrong in the table's words: a refusal that only needs an
// account prompts with the free-account message and its question; a service error worth a second try says so.
TEST(ViewerLibraryFaults, OpeningADocumentPromptsAndFailsInTheTablesWords)
{
    FakeWebService* service = startedService([](FakeWebService&) {});
    ASSERT_TRUE(service);
    application();
    ASSERT_TRUE(leaveFirstLaunchTour());
    QWidget* lists = application().listsWindow();
    ASSERT_TRUE(lists);
    const QString getByStringID = QStringLiteral("tessarine.getByStringId");

    service->injectReply(getByStringID, FakeHttpReply::serviceError(QStringLiteral("400"), QStringLiteral("login")));
    ASSERT_TRUE(chooseMenuItem(lists, QStringLiteral("openURL")));
    QVR_OpenByURLWindowCotroller* address = nullptr;
    ASSERT_TRUE(waitFor([&] { return (address = visibleTopLevel<QVR_OpenByURLWindowCotroller>()) != nullptr; }));
    address->activateWindow();
    UserInput::typeText(address->textField(), QStringLiteral("needsacct1"));
    QString prompt;
    {
        QPointer<QVRRegisterWallWindowController> wall;
        Ticker answer([&] {
            if (!wall)
                wall = visibleTopLevel<QVRRegisterWallWindowController>();
            if (wall && prompt.isEmpty()) {
                prompt = wall->landingMessageShown();
                wall->reject();
            }
        });
        UserInput::pressKey(address->textField(), Qt::Key_Return);
        EXPECT_TRUE(waitFor([&] { return !prompt.isEmpty() && !wall; }));
    }
    EXPECT_EQ(prompt.toStdString(), "You need a free account to do that.\nWould you like to create one now?");
    // Declined: the address comes back as typed, to try again after signing in.
    QPointer<QVR_OpenByURLWindowCotroller> again;
    ASSERT_TRUE(waitFor([&] { return (again = visibleTopLevel<QVR_OpenByURLWindowCotroller>()) != nullptr; }));
    EXPECT_EQ(again->textField()->text().toStdString(), "needsacct1");
    again->close();

    // The import overview shows why its sample did not open.
    service->injectReply(getByStringID, FakeHttpReply::serviceError(QStringLiteral("500"), QStringLiteral("busy")));
    QVRPowerpointOverviewWindowController* overview = openImportOverview();
    ASSERT_TRUE(overview);
    QLabel* failure = overview->sampleFailureLabel();
    ASSERT_TRUE(failure);
    EXPECT_TRUE(waitFor([&] { return failure->isVisible(); }));
    EXPECT_EQ(failure->text().toStdString(),
              "There was an error downloading this Tessarine. Please try opening the Tessarine again.");
    overview->close();
    service->clearInjectedReplies();
}

// The first web tab opened in the home window leaves the window as it was: the same native window, where the
// user put it and as large as they made it.
TEST(ViewerLibraryFaults, OpeningTheCatalogKeepsTheHomeWindowItsPlaceAndSize)
{
    // A Catalog that loads: one that cannot shows its Reload panel instead of the page.
    ASSERT_TRUE(startedService([](FakeWebService& fake) {
        fake.setPage(QStringLiteral("/catalog"), "text/html", "<html><body><h1>Catalog</h1></body></html>");
    }));
    ASSERT_TRUE(leaveFirstLaunchTour());
    QWidget* lists = application().listsWindow();
    ASSERT_TRUE(lists);
    lists->resize(lists->width() + 24, lists->height() + 16);
    lists->move(lists->pos() + QPoint(37, 23));
    UserInput::letRepaintsHappen();
    QWindow* const handle = lists->windowHandle();
    const WId native = lists->winId();
    const QRect frame = lists->geometry();

    QToolButton* catalog = nullptr;
    for (QToolButton* button : lists->findChildren<QToolButton*>())
        if (button->text() == UFM::CATALOG_TEXT())
            catalog = button;
    ASSERT_TRUE(catalog);
    click(catalog);
    ASSERT_TRUE(waitFor([&] {
        const auto views = lists->findChildren<QWebEngineView*>();
        return std::any_of(views.begin(), views.end(), [](QWebEngineView* view) { return view->isVisible(); });
    }));
    UserInput::letRepaintsHappen();
    EXPECT_EQ(lists->windowHandle(), handle);
    EXPECT_EQ(lists->winId(), native);
    EXPECT_EQ(lists->geometry(), frame);
    EXPECT_TRUE(lists->isVisible());
}

// A video being inserted is re-encoded when its document's only window closes; the user stops the run. The window
// goes and the application stays, and what the document held before is kept.
TEST(ViewerLibraryFaults, ClosingTheWindowWhileAnInsertedVideoIsReEncodedStopsTheRunAndKeepsTheDocument)
{
    if (!MediaTestClips::toolsAvailable())
        GTEST_SKIP() << "no tools to make a video here";
    application();
    ASSERT_TRUE(leaveFirstLaunchTour());
    QTemporaryDir inputs;
    ASSERT_TRUE(inputs.isValid());
    const QString mp4 = inputs.filePath(QStringLiteral("long.mp4"));
    ASSERT_TRUE(MediaTestClips::makeVideo(mp4, 1280, 720, 20.0, 44100));
    const QString picturePath = makePicture(inputs.filePath(QStringLiteral("photo.png")), "PNG", Qt::darkCyan);
    // The clip stays under way until the close stops it, however fast or busy the machine.
    HeldReencodings held;

    QVR_CreatorWindow* creator = createDocumentFromPlusTile();
    ASSERT_TRUE(creator);
    const auto document = creator->currentModel();
    ASSERT_TRUE(document);
    const QString id = document->qvdID();
    // A picture first, which stays.
    ASSERT_TRUE(insert(creator, &QVR_AddElementMenuViewController::imageCell));
    ASSERT_TRUE(answerFileDialog(picturePath));
    ASSERT_TRUE(waitFor([&] { return countObjects(shownScreen(creator), ZERI_MixedMediaObject::Image) == 1; }));
    ASSERT_TRUE(waitFor([&] { return creator->theToolBarView()->insertButton()->isEnabled(); }));
    ASSERT_TRUE(insert(creator, &QVR_AddElementMenuViewController::videoCell));
    ASSERT_TRUE(answerFileDialog(mp4));
    QVRCompressionSelectionViewController* presets = nullptr;
    ASSERT_TRUE(waitFor([&] { return (presets = openedMenu<QVRCompressionSelectionViewController>()) != nullptr; }));
    click(presets->smallButton());
    ASSERT_TRUE(waitFor([&] {
        const auto compression = document->documentVideoCompressionManager();
        return compression && compression->currentlyCompressingAsset();
    }));

    bool asked = false;
    {
        Ticker answer([&] {
            auto* alert = visibleTopLevel<QMessageBox>();
            if (!alert || asked)
                return;
            for (QAbstractButton* button : alert->buttons())
                if (button->text() == UFM::SAYS_CLOSE()) {
                    asked = true;
                    button->click();
                }
        });
        creator->activateWindow();
        ASSERT_TRUE(waitFor([&] { return QApplication::activeWindow() == creator; }));
        ASSERT_TRUE(chooseMenuItem(creator, QStringLiteral("closeWindow")));
        ASSERT_TRUE(waitFor([&] { return creatorWindows().isEmpty(); }));
    }
    EXPECT_TRUE(asked);

    // The window is taken apart on a later turn of the event loop, the insert's end with it.
    UserInput::letRepaintsHappen(300);
    const auto package = ZERI_qvdFilePackage::packageForID(id);
    ASSERT_TRUE(package);
    Error error;
    ASSERT_TRUE(package->model() || package->loadModel(&error)) << error.message.toStdString();
    const auto screen = package->model()->firstFlowmodel()->screenModels().front();
    EXPECT_EQ(countObjects(screen, ZERI_MixedMediaObject::Image), 1);
    EXPECT_TRUE(application().listsWindow()->isVisible());
}

// The player's full-screen button hides the window's menu bar with its title band, and its items' keys still act
// there; Escape brings both back.
TEST(ViewerLibraryFaults, FullScreenHidesThePlayersMenuBarAndEscapeBringsItBack)
{
    application();
    ASSERT_TRUE(leaveFirstLaunchTour());
    QVR_CreatorWindow* creator = createDocumentFromPlusTile();
    ASSERT_TRUE(creator);
    QPointer<QVRViewerWindow> viewer = play(creator);
    ASSERT_TRUE(viewer);
    viewer->resize(viewer->width() + 30, viewer->height() + 10);
    auto* bar = viewer->findChild<QMenuBar*>();
    ASSERT_TRUE(bar);
    ASSERT_TRUE(waitFor([&] { return bar->isVisible(); }));
    const auto barColour = [&] {
        UserInput::letRepaintsHappen();
        const QImage shown = UserInput::shownImage(viewer);
        const QPoint place = bar->mapTo(viewer, QPoint(bar->width() - 4, bar->height() / 2));
        const qreal ratio = shown.devicePixelRatio() > 0 ? shown.devicePixelRatio() : 1.0;
        return shown.isNull() ? QColor() : shown.pixelColor(int(place.x() * ratio), int(place.y() * ratio));
    };
    const QColor before = barColour();
    const int barTop = bar->mapTo(viewer, QPoint(0, 0)).y();

    click(viewer->windowController()->titleBarButtonsHolderView()->fullscreenButton());
    ASSERT_TRUE(waitFor([&] { return viewer->isFullScreen(); }, 5000));
    EXPECT_TRUE(waitFor([&] { return !bar->isVisible(); }, 3000)) << "the menu bar stays in full screen";
    // What shows where the bar was is the player's, not the bar's.
    UserInput::letRepaintsHappen();
    const QImage full = UserInput::shownImage(viewer);
    ASSERT_FALSE(full.isNull());
    const qreal ratio = full.devicePixelRatio() > 0 ? full.devicePixelRatio() : 1.0;
    const QColor top = full.pixelColor(int((viewer->width() - 4) * ratio), int((barTop + 4) * ratio));
    EXPECT_NE(top, before) << "the bar's colour still shows at the top of the full screen";

    UserInput::pressKey(nullptr, Qt::Key_Escape);
    ASSERT_TRUE(waitFor([&] { return viewer && !viewer->isFullScreen(); }, 5000));
    EXPECT_TRUE(waitFor([&] { return bar->isVisible(); }, 3000)) << "the menu bar did not come back";
    viewer->resize(viewer->width() - 10, viewer->height());
    EXPECT_EQ(barColour(), before);
    EXPECT_FALSE(bar->actions().isEmpty());

    // In full screen the menu's keys still act: Close ends the presentation.
    click(viewer->windowController()->titleBarButtonsHolderView()->fullscreenButton());
    ASSERT_TRUE(waitFor([&] { return viewer->isFullScreen() && !bar->isVisible(); }, 5000));
    QTest::keySequence(viewer, QKeySequence(QKeySequence::Close));
    EXPECT_TRUE(waitFor([&] { return !viewer || !viewer->isVisible(); }, 5000)) << "Ctrl+W did nothing in full screen";
    closeDocumentWindows();
}

// Open Address and the loading view of the open it starts say what the table says, in the user's language: here
// German, from a table of the test's own.
TEST(ViewerLibraryFaults, OpenAddressAndItsLoadingViewSayTheTablesWords)
{
    FakeWebService* service = startedService([](FakeWebService&) {});
    ASSERT_TRUE(service);
    application();
    ASSERT_TRUE(leaveFirstLaunchTour());
    QWidget* lists = application().listsWindow();
    ASSERT_TRUE(lists);
    struct German {
        German()
        {
            StringTables::setTableDirectoryForTesting(QStringLiteral(TESS_ROADS_STRING_TABLES));
            StringTables::setPreferredLanguagesForTesting({QStringLiteral("de")});
        }
        ~German()
        {
            StringTables::setPreferredLanguagesForTesting({});
            StringTables::setTableDirectoryForTesting({});
        }
    } german;
    ASSERT_EQ(UFM::CANCEL_TEXT().toStdString(), "Abbrechen") << "the test's table is not read";

    ASSERT_TRUE(chooseMenuItem(lists, QStringLiteral("openURL")));
    QVR_OpenByURLWindowCotroller* address = nullptr;
    ASSERT_TRUE(waitFor([&] { return (address = visibleTopLevel<QVR_OpenByURLWindowCotroller>()) != nullptr; }));
    EXPECT_EQ(address->windowTitle().toStdString(), "Adresse öffnen");
    EXPECT_EQ(address->openButton()->text().toStdString(), "Öffnen");
    EXPECT_EQ(address->textField()->placeholderText().toStdString(), "Adresse oder Kennung eingeben");

    // The service takes its time, so the loading view shows in the viewer being made.
    service->injectReply(QStringLiteral("tessarine.getByStringId"),
                         FakeHttpReply::serviceError(QStringLiteral("404"), QStringLiteral("none")).delayed(8000));
    address->activateWindow();
    address->textField()->setFocus();
    UserInput::typeText(address->textField(), QStringLiteral("slowone"));
    UserInput::pressKey(address->textField(), Qt::Key_Return);
    QPointer<QVRViewerWindow> viewer;
    QPushButton* cancel = nullptr;
    ASSERT_TRUE(waitFor([&] {
        viewer = visibleTopLevel<QVRViewerWindow>();
        auto* loading = viewer ? viewer->findChild<QWidget*>(QStringLiteral("QVR_LoadingViewController")) : nullptr;
        cancel = loading && loading->isVisible() ? loading->findChild<QPushButton*>() : nullptr;
        return cancel && cancel->isVisible();
    }));
    EXPECT_EQ(cancel->text().toStdString(), "Abbrechen");
    click(cancel);
    EXPECT_TRUE(waitFor([&] { return !viewer || !viewer->isVisible(); }, 5000)) << "Cancel left the viewer open";
    service->clearInjectedReplies();
}

namespace {

// The import's progress box as the overview shows it: its view, when on screen.
QWidget* shownProgressBox(QWidget* overview)
{
    for (QWidget* box : overview->findChildren<QWidget*>(QStringLiteral("QVR_LoadingViewController")))
        if (box->isVisible())
            return box;
    return nullptr;
}

} // namespace

// Import PowerPoint's overview: a file that is not a presentation brings the alert with the progress box kept behind
// it, then the file dialog again; turning that down leaves no progress box. The box's Cancel during a run ends the
// import: no document, no window, no box, and the overview stays for another try.
TEST(ViewerLibraryFaults, TheImportsProgressBoxGoesWhenNoFileIsChosenAndItsCancelLeavesNothingBehind)
{
    application();
    ASSERT_TRUE(leaveFirstLaunchTour());
    QTemporaryDir inputs;
    ASSERT_TRUE(inputs.isValid());
    QPointer<QVRPowerpointOverviewWindowController> overview = openImportOverview();
    ASSERT_TRUE(overview);

    const QString notADeck = inputs.filePath(QStringLiteral("list.pptx"));
    QFile file(notADeck);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("eggs, flour, milk");
    file.close();
    click(overview->getStartedButton());
    ASSERT_TRUE(answerFileDialog(notADeck));
    QMessageBox* alert = nullptr;
    ASSERT_TRUE(waitFor([&] { return (alert = visibleTopLevel<QMessageBox>()) != nullptr; }));
    EXPECT_TRUE(waitFor([&] { return shownProgressBox(overview) != nullptr; }, 3000))
        << "the progress box is not kept behind the alert";
    click(alert->buttons().first());
    QFileDialog* again = nullptr;
    ASSERT_TRUE(waitFor([&] { return (again = visibleTopLevel<QFileDialog>()) != nullptr; }));
    again->reject();
    EXPECT_TRUE(waitFor([&] { return !shownProgressBox(overview); }, 5000)) << "the progress box stays";
    UserInput::letRepaintsHappen();
    ASSERT_TRUE(overview && overview->isVisible()) << "no file chosen closed the overview";
    EXPECT_TRUE(overview->getStartedButton()->isEnabled());

    // A long deck, built a screen at a time: its run is stopped from the progress box.
    const QString deck = inputs.filePath(QStringLiteral("long.pptx"));
    ASSERT_TRUE(TestDeck::minimal(1500).writeTo(deck.toStdString()));
    const auto packagesBefore = ZERI_qvdFilePackage::allPackages().size();
    const QList<QVR_CreatorWindow*> windowsBefore = creatorWindows();
    click(overview->getStartedButton());
    ASSERT_TRUE(answerFileDialog(deck));
    QWidget* box = nullptr;
    ASSERT_TRUE(waitFor([&] { return (box = shownProgressBox(overview)) != nullptr; }));
    ASSERT_TRUE(QVRPowerpointImportManager::shared().pptConverter()) << "the import ended before it could be stopped";
    QPushButton* cancel = box->findChild<QPushButton*>();
    ASSERT_TRUE(cancel && cancel->isVisible());
    click(cancel);
    EXPECT_TRUE(waitFor([&] { return !shownProgressBox(overview); }, 5000)) << "the progress box stays";
    EXPECT_TRUE(waitFor([] { return !QVRPowerpointImportManager::shared().pptConverter(); }, 5000));
    // Whatever the stopped run had made is taken away once its file work has ended.
    EXPECT_TRUE(waitFor([&] { return ZERI_qvdFilePackage::allPackages().size() == packagesBefore; }, 20000))
        << "the stopped import left a document";
    UserInput::letRepaintsHappen(300);
    EXPECT_EQ(creatorWindows(), windowsBefore) << "the stopped import opened a window";
    ASSERT_TRUE(overview && overview->isVisible());
    EXPECT_FALSE(visibleTopLevel<QMessageBox>()) << "a stopped import is no failure to report";
    overview->close();
}

namespace {

// Warnings the application logs while a road runs, kept for the road to read.
class LoggedWarnings {
public:
    LoggedWarnings()
    {
        s_current = this;
        m_previous = qInstallMessageHandler(&LoggedWarnings::handle);
    }
    ~LoggedWarnings()
    {
        qInstallMessageHandler(m_previous);
        s_current = nullptr;
    }
    QStringList matching(const QString& text) const { return m_lines.filter(text); }

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& message)
    {
        if (s_current && type >= QtWarningMsg)
            s_current->m_lines.append(message);
        if (s_current && s_current->m_previous)
            s_current->m_previous(type, context, message);
    }
    static inline LoggedWarnings* s_current = nullptr;
    QtMessageHandler m_previous = nullptr;
    QStringList m_lines;
};

// A one-screen document of the service's, published, whose screen is one colour; its string id.
QString addColouredDocument(FakeWebService& service, const QString& stringID, const QColor& colour,
                            const QString& documentID = {})
{
    auto document = ZERI_TessarineModel::create();
    if (!documentID.isEmpty())
        document->setInternalID(documentID);
    document->firstFlowmodel()->setTitle(stringID);
    auto screen = ZERI_FlowScreenModel::create();
    screen->setBackgroundColor(colour);
    document->firstFlowmodel()->addFlowScreen(screen);
    FakeWebService::Document record;
    record.stringID = stringID;
    record.owner = QStringLiteral("bob");
    record.title = stringID;
    record.published = true;
    record.documentJson = QString::fromUtf8(document->jsonData());
    record.publishedJson = record.documentJson;
    service.addDocument(record);
    return stringID;
}

// File › Open Address from the home window, the address typed and Open pressed.
bool openAddressFromHome(const QString& text)
{
    QWidget* lists = application().listsWindow();
    lists->activateWindow();
    if (!waitFor([&] { return QApplication::activeWindow() == lists; }, 5000) ||
        !chooseMenuItem(lists, QStringLiteral("openURL")))
        return false;
    QVR_OpenByURLWindowCotroller* address = nullptr;
    if (!waitFor([&] { return (address = visibleTopLevel<QVR_OpenByURLWindowCotroller>()) != nullptr; }))
        return false;
    address->activateWindow();
    address->textField()->setFocus();
    UserInput::typeText(address->textField(), text, 10);
    click(address->openButton());
    return true;
}

// Whether the viewer's board shows `colour` in its middle (the screen played there).
bool boardShows(const QPointer<QVRViewerWindow>& viewer, const QColor& colour)
{
    QPointer<QWidget> board =
        viewer ? viewer->windowController()->tessarineViewerViewController()->viewerView() : nullptr;
    UserInput::letRepaintsHappen();
    // The window may go while the repaints happen.
    if (!board || !board->isVisible())
        return false;
    const QColor shown = UserInput::shownColor(board, board->rect().center());
    return std::abs(shown.red() - colour.red()) < 12 && std::abs(shown.green() - colour.green()) < 12 &&
           std::abs(shown.blue() - colour.blue()) < 12;
}

} // namespace

// Open Address of a document whose viewer is up, from the home window: that viewer comes forward and keeps
// showing the document, with no error and no second window.
TEST(ViewerLibraryFaults, OpeningTheAddressOfAShownDocumentAgainBringsItsViewerForwardShowingIt)
{
    FakeWebService* service = startedService([](FakeWebService&) {});
    ASSERT_TRUE(service);
    application();
    ASSERT_TRUE(leaveFirstLaunchTour());
    const QColor colour(200, 40, 40);
    const QString id = addColouredDocument(*service, QStringLiteral("twice1"), colour);
    LoggedWarnings warnings;

    ASSERT_TRUE(openAddressFromHome(id));
    QPointer<QVRViewerWindow> viewer;
    ASSERT_TRUE(waitFor([&] { return (viewer = visibleTopLevel<QVRViewerWindow>()) != nullptr; }));
    viewer->resize(viewer->width() + 20, viewer->height() + 10);
    ASSERT_TRUE(waitFor([&] { return boardShows(viewer, colour); })) << "the first open shows nothing";

    // The service answers slowly, as it may: the viewer shows the document all along.
    service->setReplyDelay(600);
    ASSERT_TRUE(openAddressFromHome(id));
    EXPECT_TRUE(waitFor([&] { return viewer && QApplication::activeWindow() == viewer; }, 10000))
        << "the viewer did not come forward";
    EXPECT_TRUE(waitFor([&] { return service->requestCount(QStringLiteral("tessarine.getByStringId")) >= 2; }));
    QTest::qWait(1500); // the second answer is in and handled
    service->setReplyDelay(0);
    ASSERT_TRUE(viewer);
    EXPECT_TRUE(boardShows(viewer, colour)) << "the viewer's board does not show the document after the second open";
    int viewers = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        viewers += qobject_cast<QVRViewerWindow*>(widget) && widget->isVisible() ? 1 : 0;
    EXPECT_EQ(viewers, 1);
    EXPECT_TRUE(warnings.matching(QStringLiteral("Cannot make the package")).isEmpty())
        << warnings.matching(QStringLiteral("Cannot make the package")).join(u'\n').toStdString();
    closeDocumentWindows();
}

// A folder left in the documents folder under the id a downloaded document carries (a package never finished)
// does not stop the document opening by address: it gets a package of its own, and the folder is left alone.
TEST(ViewerLibraryFaults, OpenAddressOpensADocumentWhoseIdNamesALeftoverFolder)
{
    FakeWebService* service = startedService([](FakeWebService&) {});
    ASSERT_TRUE(service);
    application();
    ASSERT_TRUE(leaveFirstLaunchTour());
    const QString documentID = QStringLiteral("C0FFEE00-1111-2222-3333-444455556666");
    const QDir leftover(QDir(ZERI_qvdFilePackage::tessarinesFolder()).filePath(documentID));
    const struct RemovedAfterwards {
        QDir folder;
        ~RemovedAfterwards() { folder.removeRecursively(); }
    } removed{leftover};
    ASSERT_TRUE(QDir().mkpath(leftover.path()));
    {
        QFile half(leftover.filePath(QStringLiteral("docfile.qvd.part")));
        ASSERT_TRUE(half.open(QIODevice::WriteOnly));
        half.write("{\"tessarine\":");
    }
    const QColor colour(40, 160, 60);
    const QString id = addColouredDocument(*service, QStringLiteral("leftover1"), colour, documentID);
    LoggedWarnings warnings;

    ASSERT_TRUE(openAddressFromHome(id));
    QPointer<QVRViewerWindow> viewer;
    ASSERT_TRUE(waitFor([&] { return (viewer = visibleTopLevel<QVRViewerWindow>()) != nullptr; }));
    EXPECT_TRUE(waitFor([&] { return viewer && boardShows(viewer, colour); })) << "the document did not open";
    const auto package = ZERI_qvdFilePackage::packageForStringID(id);
    ASSERT_TRUE(package);
    EXPECT_NE(package->path(), leftover.path());
    EXPECT_TRUE(QFileInfo::exists(leftover.filePath(QStringLiteral("docfile.qvd.part")))) << "the folder was touched";
    EXPECT_TRUE(warnings.matching(QStringLiteral("Cannot make the package")).isEmpty());
    closeDocumentWindows();
}

// Screen › Screen Properties: its Done button says what the table says, in the user's language (German, from a
// table of the test's own), as every other Done does.
TEST(ViewerLibraryFaults, TheScreenPropertiesDoneButtonSaysTheTablesWord)
{
    application();
    ASSERT_TRUE(leaveFirstLaunchTour());
    struct German {
        German()
        {
            StringTables::setTableDirectoryForTesting(QStringLiteral(TESS_ROADS_STRING_TABLES));
            StringTables::setPreferredLanguagesForTesting({QStringLiteral("de")});
        }
        ~German()
        {
            StringTables::setPreferredLanguagesForTesting({});
            StringTables::setTableDirectoryForTesting({});
        }
    } german;
    ASSERT_EQ(UFM::DONE_TEXT().toStdString(), "Fertig") << "the test's table is not read";
    QVR_CreatorWindow* creator = createDocumentFromPlusTile();
    ASSERT_TRUE(creator);
    ASSERT_TRUE(chooseMenuItem(creator, QStringLiteral("showScreenPropertiesMenu")));
    QPointer<QDialog> sheet;
    ASSERT_TRUE(waitFor([&] {
        for (QDialog* dialog : creator->findChildren<QDialog*>())
            if (dialog->isVisible())
                sheet = dialog;
        return sheet != nullptr;
    }));
    QPushButton* done = nullptr;
    for (QPushButton* button : sheet->findChildren<QPushButton*>())
        if (button->isVisible() &&
            (button->text() == QLatin1String("Fertig") || button->text() == QLatin1String("Done")))
            done = button;
    ASSERT_TRUE(done) << "no Done button shown";
    EXPECT_EQ(done->text().toStdString(), "Fertig");
    click(done);
    EXPECT_TRUE(waitFor([&] { return !sheet || !sheet->isVisible(); }, 5000)) << "Done left the sheet open";
    closeDocumentWindows();
}

namespace {

// The folder the file dialog in front shows, once it is in front.
std::string shownDialogFolder()
{
    QFileDialog* dialog = nullptr;
    if (!waitFor([&] {
            dialog = visibleTopLevel<QFileDialog>();
            return dialog && QApplication::activeWindow() == dialog;
        }))
        return "(no file dialog)";
    return QDir(dialog->directory()).canonicalPath().toStdString();
}

std::string canonical(const QString& folder)
{
    return QDir(folder).canonicalPath().toStdString();
}

// The process started from a folder of its own (as from a terminal or a launcher), put back at the end.
struct StartedElsewhere {
    StartedElsewhere() { EXPECT_TRUE(folder.isValid() && QDir::setCurrent(folder.path())); }
    ~StartedElsewhere() { QDir::setCurrent(before); }
    QString before = QDir::currentPath();
    QTemporaryDir folder;
};

} // namespace

// Insert › Image, Insert › Video, File › Export PDF and File › Print to a file, with the application started from
// a folder of its own: the dialogs open in the user's folders, never there; each then opens where the user last
// chose a file of its kind.
TEST(ViewerLibraryFaults, TheCreatorsFileDialogsOpenInTheUsersFoldersThenWhereTheUserLastWas)
{
    application();
    ASSERT_TRUE(leaveFirstLaunchTour());
    StartedElsewhere started;
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    ASSERT_TRUE(QDir().mkpath(pictures) && QDir().mkpath(documents));
    QTemporaryDir photos;
    QTemporaryDir exports;
    QTemporaryDir prints;
    ASSERT_TRUE(photos.isValid() && exports.isValid() && prints.isValid());
    const QString picture = makePicture(photos.filePath(QStringLiteral("photo.png")), "PNG", Qt::darkCyan);
    QVR_CreatorWindow* creator = createDocumentFromPlusTile();
    ASSERT_TRUE(creator);
    creator->resize(creator->width() + 30, creator->height() + 20);

    ASSERT_TRUE(insert(creator, &QVR_AddElementMenuViewController::imageCell));
    EXPECT_EQ(shownDialogFolder(), canonical(pictures)) << "Insert › Image";
    ASSERT_TRUE(answerFileDialog(picture));
    ASSERT_TRUE(waitFor([&] { return countObjects(shownScreen(creator), ZERI_MixedMediaObject::Image) == 1; }));
    ASSERT_TRUE(waitFor([&] { return creator->theToolBarView()->insertButton()->isEnabled(); }));
    ASSERT_TRUE(insert(creator, &QVR_AddElementMenuViewController::videoCell));
    EXPECT_EQ(shownDialogFolder(), canonical(photos.path())) << "Insert › Video after a picture chosen there";
    visibleTopLevel<QFileDialog>()->reject();
    ASSERT_TRUE(waitFor([] { return !visibleTopLevel<QFileDialog>(); }));

    ASSERT_TRUE(chooseMenuItem(creator, QStringLiteral("exportToPDF")));
    EXPECT_EQ(shownDialogFolder(), canonical(documents)) << "the first Export PDF";
    const QString pdf = exports.filePath(QStringLiteral("exported.pdf"));
    ASSERT_TRUE(answerFileDialog(pdf));
    EXPECT_GE(writtenPdfPages(pdf), 1);
    ASSERT_TRUE(chooseMenuItem(creator, QStringLiteral("exportToPDF")));
    EXPECT_EQ(shownDialogFolder(), canonical(exports.path())) << "Export PDF after an export there";
    visibleTopLevel<QFileDialog>()->reject();
    ASSERT_TRUE(waitFor([] { return !visibleTopLevel<QFileDialog>(); }));

    // The print dialog's file printer proposes a file in the user's documents, then where the last print went.
    const auto proposedPrintFolder = [] {
        QPrintDialog* dialog = nullptr;
        if (!waitFor([&] { return (dialog = visibleTopLevel<QPrintDialog>()) != nullptr; }))
            return std::string("(no print dialog)");
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("filename"));
        return name ? canonical(QFileInfo(name->text()).absolutePath()) : std::string("(no name field)");
    };
    ASSERT_TRUE(chooseMenuItem(creator, QStringLiteral("print")));
    EXPECT_EQ(proposedPrintFolder(), canonical(documents)) << "the first print to a file";
    const QString printed = prints.filePath(QStringLiteral("printed.pdf"));
    ASSERT_TRUE(printToFile(printed));
    EXPECT_GE(writtenPdfPages(printed), 1);
    ASSERT_TRUE(chooseMenuItem(creator, QStringLiteral("print")));
    EXPECT_EQ(proposedPrintFolder(), canonical(prints.path())) << "a print after one to a file there";
    visibleTopLevel<QPrintDialog>()->reject();
    ASSERT_TRUE(waitFor([] { return !visibleTopLevel<QPrintDialog>(); }));
    closeDocumentWindows();
}

// File › Import PowerPoint › Get Started, with the application started from a folder of its own: the dialog opens
// in the user's documents; after a file chosen elsewhere (here one that is not a presentation), the dialog asked
// again opens there.
TEST(ViewerLibraryFaults, TheImportsFileDialogOpensInTheUsersDocumentsThenWhereTheLastFileWas)
{
    application();
    ASSERT_TRUE(leaveFirstLaunchTour());
    StartedElsewhere started;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    ASSERT_TRUE(QDir().mkpath(documents));
    QTemporaryDir decks;
    ASSERT_TRUE(decks.isValid());
    const QString notADeck = decks.filePath(QStringLiteral("list.pptx"));
    QFile file(notADeck);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("eggs, flour, milk");
    file.close();
    QPointer<QVRPowerpointOverviewWindowController> overview = openImportOverview();
    ASSERT_TRUE(overview);

    click(overview->getStartedButton());
    EXPECT_EQ(shownDialogFolder(), canonical(documents));
    ASSERT_TRUE(answerFileDialog(notADeck));
    QMessageBox* alert = nullptr;
    ASSERT_TRUE(waitFor([&] { return (alert = visibleTopLevel<QMessageBox>()) != nullptr; }));
    click(alert->buttons().first());
    EXPECT_EQ(shownDialogFolder(), canonical(decks.path())) << "the dialog asked again";
    visibleTopLevel<QFileDialog>()->reject();
    EXPECT_TRUE(waitFor([&] { return !shownProgressBox(overview); }, 5000));
    overview->close();
}

// Import PowerPoint's progress box lies on a panel of the window's colour over the dark sample: what shows beside
// its Cancel button is that panel, also after the window is resized.
TEST(ViewerLibraryFaults, TheImportsProgressBoxLiesOnAPanelOverTheSample)
{
    application();
    ASSERT_TRUE(leaveFirstLaunchTour());
    QPointer<QVRPowerpointOverviewWindowController> overview = openImportOverview();
    ASSERT_TRUE(overview);
    click(overview->getStartedButton());
    // The import's box, in the window's content (the sample's own loading view lies in its player).
    QPointer<QWidget> box;
    ASSERT_TRUE(waitFor([&] {
        box = shownProgressBox(overview);
        return box && box->parentWidget() == overview->contentView();
    }));
    QPointer<QPushButton> cancel = box->findChild<QPushButton*>();
    ASSERT_TRUE(cancel && cancel->isVisible());
    const auto besideCancel = [&] {
        UserInput::letRepaintsHappen();
        if (!cancel)
            return QColor();
        const QPoint left = cancel->mapTo(overview, QPoint(-8, cancel->height() / 2));
        return UserInput::shownColor(overview, left);
    };
    const QColor panel = overview->contentView()->palette().color(QPalette::Window);
    const auto isPanel = [&](const QColor& shown) {
        return std::abs(shown.red() - panel.red()) < 8 && std::abs(shown.green() - panel.green()) < 8 &&
               std::abs(shown.blue() - panel.blue()) < 8;
    };
    QColor shown = besideCancel();
    EXPECT_TRUE(isPanel(shown)) << "beside Cancel: " << shown.name().toStdString();
    overview->resize(overview->width() + 24, overview->height() + 16);
    UserInput::letRepaintsHappen(200);
    shown = besideCancel();
    EXPECT_TRUE(isPanel(shown)) << "beside Cancel after a resize: " << shown.name().toStdString();

    if (QFileDialog* dialog = visibleTopLevel<QFileDialog>())
        dialog->reject();
    EXPECT_TRUE(waitFor([&] { return !shownProgressBox(overview); }, 5000));
    overview->close();
}
