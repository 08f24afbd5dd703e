#include "roads/RoadsTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMap>
#include <QMessageBox>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfWriter>
#include <QPointer>
#include <QPrintDialog>
#include <QPushButton>
#include <QSet>
#include <QSettings>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QWindow>

#include "app/QVRAppDelegate.h"
#include "app/QVRMainMenu.h"
#include "app/QVRWindowManager.h"
#include "controls/HoverAreaView.h"
#include "controls/MouseEventShieldWindow.h"
#include "creator/addition/QVR_AddElementMenuViewController.h"
#include "creator/canvas/QVR_CreatorSingleScreen.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/canvas/QVR_CreatorCanvasView.h"
#include "creator/interaction/QVR_SelectedItemView.h"
#include "creator/toolbar/QVR_CreatorToolBarView.h"
#include "creator/toolbar/QVR_ToolbarButton.h"
#include "viewer/QVRViewerWindow.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "elements/video/QVBVideoCompressionManager.h"
#include "elements/video/StreamingVideoPreviewHelper.h"
#include "elements/video/VideoAssetCompressor.h"
#include "foundation/Tessutils.h"
#include "launch/ApplicationLaunch.h"
#include "library/account/QVBUserInfoMonitor.h"
#include "library/account/ZERI_AuthenticationHandler.h"
#include "library/lists/QVRMyTessarinesViewController.h"
#include "library/tour/QVR_FirstLaunchViewController.h"
#include "pptx/import/QVRPowerpointOverviewWindowController.h"
#include "roads/RoadsKeyboard.h"
#include "library/lists/QVRTessarineTileGridItemView.h"
#include "library/themes/QVRTemplateChooserWindowController.h"
#include "library/themes/QVR_TemplateChooserThumbnailController.h"
#include "library/themes/QVR_TemplateCollectionViewObject.h"
#include "platform/UserDefaults.h"
#include "service/QVROpenRequest.h"
#include "service/ZERI_AssetUploadManager.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "strings/StringTables.h"
#include "support/TestEnvironment.h"
#include "support/UserInput.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "library/account/QVRRegisterWallWindowController.h"
#include "strings/UFM.h"

namespace roads {

// The fixture of every road hears of the start-up (defined with it, below).
void applicationJustStarted();

namespace {

std::unique_ptr<QVRAppDelegate>& runningApplication()
{
    static std::unique_ptr<QVRAppDelegate> s_delegate;
    return s_delegate;
}

std::function<void()>& applicationEnded()
{
    static std::function<void()> s_ended;
    return s_ended;
}

bool& servicesPointed()
{
    static bool s_pointed = false;
    return s_pointed;
}

std::vector<std::function<void()>>& beforeStart()
{
    static std::vector<std::function<void()>> s_before;
    return s_before;
}

// Ends the application after the last test, while the QApplication still lives: its windows close and the
// delegate goes, as when the user quits.
class ApplicationEnd : public ::testing::Environment {
public:
    void TearDown() override { endApplication(); }
};

[[maybe_unused]] ::testing::Environment* const g_applicationEnd =
    ::testing::AddGlobalTestEnvironment(new ApplicationEnd);

} // namespace

QVRAppDelegate& application()
{
    if (!runningApplication()) {
        // A service given by pointServicesAt() (a second start's, say) keeps the application's calls.
        for (const auto& before : std::exchange(beforeStart(), {})) {
            if (!servicesPointed())
                before();
        }
        // Port 9 on this machine: every call to the service fails at once, as with no network.
        if (!servicesPointed())
            pointServicesAt(QUrl(QStringLiteral("http://127.0.0.1:9/")));
        keyboard::watch();
        runningApplication() = ApplicationLaunch::start(&registerApplicationLibraries);
        applicationJustStarted();
    }
    return *runningApplication();
}

void endApplication()
{
    if (!runningApplication())
        return;
    QApplication::closeAllWindows();
    runningApplication().reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    if (const auto ended = std::exchange(applicationEnded(), {}))
        ended();
}

bool applicationStarted()
{
    return static_cast<bool>(runningApplication());
}

void beforeApplicationStart(std::function<void()> before)
{
    beforeStart().push_back(std::move(before));
}

void pointServicesAt(const QUrl& root)
{
    servicesPointed() = true;
    const QByteArray address = root.toString(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment).toUtf8();
    const QString host = root.host() + QLatin1Char(':') + QString::number(root.port(80));
    // Read by the start-up, and by a second start of this binary.
    qputenv("TESS_API_URL", address + '/');
    for (const char* site :
         {"TESS_WEB_SITE_URL", "TESS_FACEBOOK_URL", "TESS_TWITTER_URL", "TESS_LINKEDIN_URL", "TESS_GMAIL_URL"})
        qputenv(site, address);
    // The fake service's own key and password sign the calls.
    qputenv("TESS_API_KEY", "KEY123");
    qputenv("TESS_API_PASSWORD", "s3cretPW");
    QVROpenRequest::setShortLinkHost(host);
    ZERI_TessarineModel::setPublishWebHost(host);
    StreamingVideoPreviewHelper::setSiteBaseURLsForTesting(root, root);
    QVR_CreatorCanvasView::setEmbedHostsForTesting(QString::fromUtf8(address), QString::fromUtf8(address));
}

void atApplicationEnd(std::function<void()> end)
{
    applicationEnded() = std::move(end);
}

bool waitFor(const std::function<bool()>& condition, int timeoutMs)
{
    return QTest::qWaitFor(condition, timeoutMs);
}

bool answerFileDialog(const QString& text, bool tick)
{
    QFileDialog* dialog = nullptr;
    if (!waitFor([&] {
            dialog = visibleTopLevel<QFileDialog>();
            return dialog && QApplication::activeWindow() == dialog;
        })) {
        QStringList shown;
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (top->isVisible())
                shown << QString::fromLatin1(top->metaObject()->className()) + QLatin1Char(' ') + top->windowTitle();
        }
        QWidget* active = QApplication::activeWindow();
        ADD_FAILURE() << "no file dialog showed; shown: " << shown.join(QStringLiteral(", ")).toStdString()
                      << "; active: " << (active ? active->metaObject()->className() : "none");
        return false;
    }
    QPointer<QFileDialog> guarded(dialog);
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (!name) {
        ADD_FAILURE() << "the file dialog has no name field";
        return false;
    }
    name->selectAll();
    QTest::keyClick(name, Qt::Key_Delete);
    UserInput::typeText(name, text);
    // The name field's completion list, if it opened, goes first, as a click elsewhere would close it.
    if (QWidget* popup = QApplication::activePopupWidget())
        popup->close();
    if (tick) {
        auto* box = dialog->findChild<QCheckBox*>();
        if (!box)
            return false;
        if (!box->isChecked())
            box->click();
    }
    auto* buttons = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
    if (!buttons) {
        ADD_FAILURE() << "the file dialog has no buttons";
        return false;
    }
    for (QAbstractButton* button : buttons->buttons()) {
        if (buttons->buttonRole(button) == QDialogButtonBox::AcceptRole) {
            if (!waitFor([&] { return button->isEnabled(); }, 5000)) {
                ADD_FAILURE() << "the file dialog does not take " << text.toStdString();
                return false;
            }
            QTest::mouseClick(button, Qt::LeftButton);
            const bool closed = waitFor([&] { return !guarded || !guarded->isVisible(); }, 5000);
            if (!closed)
                ADD_FAILURE() << "the file dialog stays open with " << text.toStdString();
            return closed;
        }
    }
    ADD_FAILURE() << "the file dialog has no accept button";
    return false;
}

namespace {

// The item of `command` in the window's bar, after its menu announced it opens (which validates its items).
QAction* openMenuItem(QWidget* window, const QString& command)
{
    auto* bar = window ? window->findChild<QMenuBar*>() : nullptr;
    QAction* action = bar ? QVRMainMenu::action(bar, command) : nullptr;
    if (!action)
        return nullptr;
    for (QAction* top : bar->actions()) {
        QMenu* menu = top->menu();
        if (menu && menu->actions().contains(action)) {
            emit menu->aboutToShow();
            break;
        }
    }
    return action;
}

} // namespace

bool chooseMenuItemEnabled(QWidget* window, const QString& command)
{
    QAction* action = openMenuItem(window, command);
    return action && action->isEnabled();
}

bool chooseMenuItem(QWidget* window, const QString& command)
{
    keyboard::checkBetweenSteps(QStringLiteral("the step before the menu item ") + command);
    QAction* action = openMenuItem(window, command);
    if (!action || !action->isEnabled())
        return false;
    action->trigger();
    return true;
}

void click(QWidget* widget)
{
    keyboard::checkBetweenSteps(QStringLiteral("the step before a click on ") + keyboard::describe(widget));
    QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
}

QList<QVR_CreatorWindow*> creatorWindows()
{
    QList<QVR_CreatorWindow*> windows;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* creator = qobject_cast<QVR_CreatorWindow*>(widget); creator && creator->isVisible())
            windows.append(creator);
    }
    return windows;
}

QVRPowerpointOverviewWindowController* openImportOverview()
{
    QWidget* lists = application().listsWindow();
    if (!lists || !chooseMenuItem(lists, QStringLiteral("importPowerpoint")))
        return nullptr;
    QVRPowerpointOverviewWindowController* overview = nullptr;
    waitFor([&] { return (overview = visibleTopLevel<QVRPowerpointOverviewWindowController>()) != nullptr; });
    if (overview)
        keyboard::checkBetweenSteps(QStringLiteral("File › Import PowerPoint"));
    return overview;
}

bool leaveFirstLaunchTour()
{
    QWidget* lists = application().listsWindow();
    if (!lists || !waitFor([&] { return lists->isVisible(); }))
        return false;
    QPointer<QVR_FirstLaunchViewController> tour = lists->findChild<QVR_FirstLaunchViewController*>();
    if (!tour)
        return true;
    // The tour comes to the front on the event-loop turn after My Documents shows.
    if (!waitFor([&] { return !tour || tour->isVisible(); }))
        return false;
    if (tour)
        QTest::mouseClick(tour->getStartedButton(), Qt::LeftButton);
    if (!waitFor([&] { return !tour || !tour->isVisible(); }))
        return false;
    // The keyboard comes back to My Documents by itself, also where no window manager hands it on.
    if (!waitFor([&] { return QApplication::activeWindow() == lists; }, 2000))
        ADD_FAILURE() << "no window has the keyboard after Get Started";
    keyboard::checkBetweenSteps(QStringLiteral("Get Started"));
    return QApplication::activeWindow() == lists;
}

QVRViewerWindow* play(QVR_CreatorWindow* window)
{
    click(window->theToolBarView()->viewButton());
    QVRViewerWindow* player = nullptr;
    const bool inFront = waitFor([&] {
        player = visibleTopLevel<QVRViewerWindow>();
        return player && QApplication::activeWindow() == player;
    });
    if (inFront)
        keyboard::checkBetweenSteps(QStringLiteral("View"));
    return inFront ? player : nullptr;
}

QVR_CreatorWindow* createDocumentFromPlusTile()
{
    QWidget* lists = application().listsWindow();
    if (!lists)
        return nullptr;
    QVRTessarineTileCreateNewGridItemView* plus = nullptr;
    if (!waitFor([&] {
            plus = lists->findChild<QVRTessarineTileCreateNewGridItemView*>();
            return plus && plus->isVisible() && plus->width() > 0;
        }))
        return nullptr;
    const QList<QVR_CreatorWindow*> before = creatorWindows();
    click(plus);

    QVR_TemplateCollectionViewObject* scratch = nullptr;
    if (!waitFor([&] {
            auto* controller = QVRTemplateChooserWindowController::existingInstance();
            if (!controller || !controller->myWindow() || !controller->myWindow()->isVisible())
                return false;
            const auto tiles =
                controller->templateChooserViewController()->templateThumbnailController()->templatesArray();
            scratch = tiles.isEmpty() ? nullptr : tiles.first();
            return scratch && scratch->hoverView() && scratch->hoverView()->isVisible();
        }))
        return nullptr;
    // The pointer enters the tile from outside it: Choose shows. The moves go to the chooser's own window; where
    // windows overlap, moving the cursor alone may reach the window beneath.
    QWidget* hover = scratch->hoverView();
    if (!waitFor(
            [&] {
                QWindow* chooser = hover->window()->windowHandle();
                QTest::mouseMove(chooser, QPoint(1, 1));
                QTest::mouseMove(chooser, hover->mapTo(hover->window(), hover->rect().center()));
                return scratch->chooseButton()->isVisible();
            },
            5000))
        return nullptr;
    click(scratch->chooseButton());

    QVR_CreatorWindow* created = nullptr;
    waitFor([&] {
        for (QVR_CreatorWindow* window : creatorWindows()) {
            if (!before.contains(window) && window->currentModel() && shownScreen(window) &&
                QApplication::activeWindow() == window) {
                created = window;
                return true;
            }
        }
        return false;
    });
    if (created)
        keyboard::checkBetweenSteps(QStringLiteral("a new document from the + tile"));
    return created;
}

void closeDocumentWindows()
{
    for (QWidget* widget : QVRWindowManager::sharedInstance().windows()) {
        if (widget != application().listsWindow())
            widget->close();
    }
    waitFor([] { return creatorWindows().isEmpty(); }, 10000);
    // The road is over: the keyboard has its time to come back.
    if (QThread::currentThread()->loopLevel() == 0)
        keyboard::checkOnceLanded(QStringLiteral("the document windows closed"));
}

std::shared_ptr<ZERI_FlowScreenModel> shownScreen(QVR_CreatorWindow* window)
{
    QVR_SingleScreenArtBoardView* board = window ? window->theArtBoard() : nullptr;
    return board && board->singleScreen() ? board->singleScreen()->flowScreenModel() : nullptr;
}

int countObjects(const std::shared_ptr<ZERI_FlowScreenModel>& screen, int type)
{
    if (!screen)
        return 0;
    int count = 0;
    for (const auto& object : screen->mixedMediaObjects())
        count += object->type() == type ? 1 : 0;
    return count;
}

bool printToFile(const QString& path)
{
    QPrintDialog* dialog = nullptr;
    if (!waitFor([&] {
            dialog = visibleTopLevel<QPrintDialog>();
            return dialog && QApplication::activeWindow() == dialog;
        })) {
        ADD_FAILURE() << "no print dialog showed";
        return false;
    }
    auto* printers = dialog->findChild<QComboBox*>(QStringLiteral("printers"));
    const int toFile = printers ? printers->findText(QStringLiteral("PDF"), Qt::MatchContains) : -1;
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("filename"));
    auto* buttons = dialog->findChild<QDialogButtonBox*>();
    if (toFile < 0 || !name || !buttons) {
        ADD_FAILURE() << "the print dialog has no file printer, name field or buttons";
        return false;
    }
    printers->setCurrentIndex(toFile);
    if (!waitFor([&] { return name->isEnabled(); }, 5000)) {
        ADD_FAILURE() << "the print dialog's name field stays disabled";
        return false;
    }
    name->selectAll();
    QTest::keyClick(name, Qt::Key_Delete);
    UserInput::typeText(name, path);
    if (QWidget* popup = QApplication::activePopupWidget())
        popup->close();
    for (QAbstractButton* button : buttons->buttons()) {
        if (buttons->buttonRole(button) == QDialogButtonBox::AcceptRole) {
            QTest::mouseClick(button, Qt::LeftButton);
            return true;
        }
    }
    ADD_FAILURE() << "the print dialog has no Print button";
    return false;
}

int writtenPdfPages(const QString& path)
{
    const auto complete = [&] {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly) || file.size() < 16)
            return false;
        file.seek(file.size() - 16);
        return file.read(16).contains("%%EOF");
    };
    if (!waitFor(complete))
        return -1;
    QPdfDocument document;
    return document.load(path) == QPdfDocument::Error::None ? document.pageCount() : -1;
}

QString makePicture(const QString& path, const char* format, QColor color)
{
    QImage image(320, 200, QImage::Format_RGB32);
    image.fill(color);
    QPainter painter(&image);
    painter.fillRect(40, 40, 120, 80, Qt::yellow);
    painter.end();
    return image.save(path, format) ? path : QString();
}

QString makePdf(const QString& path, int pages)
{
    QPdfWriter writer(path);
    QPainter painter(&writer);
    for (int page = 0; page < pages; ++page) {
        if (page > 0)
            writer.newPage();
        painter.drawText(QPointF(200, 200), QStringLiteral("Page %1").arg(page + 1));
    }
    painter.end();
    return path;
}

bool insert(QVR_CreatorWindow* window, QVR_TableViewCellLikeView* (QVR_AddElementMenuViewController::*row)() const)
{
    // The button stays greyed while content is still being added (a PDF's pages read, say): the user waits for it.
    QWidget* button = window->theToolBarView()->insertButton();
    if (!waitFor([&] { return button->isEnabled(); }, 15000))
        return false;
    click(button);
    QVR_AddElementMenuViewController* menu = nullptr;
    if (!waitFor([&] { return (menu = openedMenu<QVR_AddElementMenuViewController>()) != nullptr; }, 5000))
        return false;
    QWidget* cell = (menu->*row)();
    if (!waitFor([&] { return cell->isVisible(); }, 5000))
        return false;
    click(cell);
    return true;
}

QPushButton* buttonReading(QWidget* window, const QString& text)
{
    for (QPushButton* button : window->findChildren<QPushButton*>()) {
        if (button->isVisible() && button->text() == text)
            return button;
    }
    return nullptr;
}

void typeInto(QLineEdit* field, const QString& text)
{
    keyboard::checkBetweenSteps(QStringLiteral("the step before typing into ") + keyboard::describe(field));
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Delete);
    UserInput::typeText(field, text);
}

bool answerWallWithSignIn(QVRRegisterWallWindowController* wall, const QString& email, const QString& password)
{
    if (wall->currentPage() == QVRRegisterWallWindowController::Page::Landing) {
        if (QPushButton* logIn = buttonReading(wall, UFM::LOGIN_TEXT()))
            click(logIn);
        return false;
    }
    if (wall->currentPage() != QVRRegisterWallWindowController::Page::Login || !wall->loginEmailField()->isVisible())
        return false;
    typeInto(wall->loginEmailField(), email);
    typeInto(wall->loginPasswordField(), password);
    click(wall->loginSubmitButton());
    return true;
}

bool signInThroughWall(QWidget* window, const QString& email, const QString& password)
{
    QPointer<QVRRegisterWallWindowController> wall;
    bool submitted = false;
    Answerer answer([&] {
        if (!wall)
            wall = visibleTopLevel<QVRRegisterWallWindowController>();
        if (wall && wall->isVisible() && !submitted)
            submitted = answerWallWithSignIn(wall, email, password);
    });
    return chooseMenuItem(window, QStringLiteral("signIn")) && submitted &&
           waitFor([] { return !visibleTopLevel<QVRRegisterWallWindowController>(); }, 5000);
}

HeldReencodings::HeldReencodings()
{
    VideoAssetCompressor::setRunsHeldForTesting(true);
}

HeldReencodings::~HeldReencodings()
{
    VideoAssetCompressor::setRunsHeldForTesting(false);
}

Answerer::Answerer(std::function<void()> answer, int limitMs)
{
    m_ticks.setInterval(20);
    QObject::connect(&m_ticks, &QTimer::timeout, std::move(answer));
    m_ticks.start();
    m_limit.setSingleShot(true);
    QObject::connect(&m_limit, &QTimer::timeout, [] {
        ADD_FAILURE() << "the dialogs were not answered in time";
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* dialog = qobject_cast<QDialog*>(widget); dialog && dialog->isVisible())
                dialog->reject();
        }
    });
    m_limit.start(limitMs);
}

} // namespace roads

// The fixture of every road: what it leaves behind, then the application brought back to rest.
namespace roads {

namespace {

using Defaults = QMap<QString, QVariant>;

Defaults storedDefaults()
{
    Defaults defaults;
    QSettings store(UserDefaults::standard().storeFile(), QSettings::IniFormat);
    for (const QString& key : store.allKeys())
        defaults.insert(key, store.value(key));
    return defaults;
}

// The files of the user's own folder and of My Documents, relative to the test's home.
QSet<QString> userFiles()
{
    QSet<QString> files;
    const QString root = TestEnvironment::root();
    for (const QString& folder : {QDir::homePath(), ZERI_qvdFilePackage::tessarinesFolder()}) {
        QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            files.insert(QDir(root).relativeFilePath(it.next()));
    }
    return files;
}

QString nameOf(QWidget* window)
{
    QString title = window->windowTitle();
    if (auto* box = qobject_cast<QMessageBox*>(window); box && title.isEmpty())
        title = box->text();
    return QStringLiteral("%1 \"%2\"").arg(QString::fromLatin1(window->metaObject()->className()), title.left(80));
}

// My Documents and its first-launch tour are the application's own: every road finds them.
bool isHomeWindow(QWidget* window)
{
    QWidget* lists = runningApplication() ? runningApplication()->listsWindow() : nullptr;
    if (!lists)
        return false;
    if (window == lists)
        return true;
    auto* tour = lists->findChild<QVR_FirstLaunchViewController*>();
    return tour && window == tour->window();
}

QList<QPointer<QWidget>> shownWindows()
{
    QList<QPointer<QWidget>> shown;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && widget->windowType() != Qt::ToolTip && widget->windowType() != Qt::Desktop &&
            !isHomeWindow(widget))
            shown.append(widget);
    }
    return shown;
}

// The panels shown over a window in a shield of their own (the home window's guide, a creator's sheets): they are
// no windows, yet a road that leaves one covers what the next road looks at.
QList<QPointer<QWidget>> shownPanels()
{
    QList<QPointer<QWidget>> shown;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (!widget->isVisible())
            continue;
        for (auto* shield : widget->findChildren<MouseEventShieldWindow*>()) {
            if (shield->isVisible())
                shown.append(shield);
        }
    }
    return shown;
}

// Closes what a road left shown, turning down what asks on the way (a closing window's question is answered
// with the button that lets it close); the windows that would not go.
QStringList closeWindows(const QList<QPointer<QWidget>>& windows)
{
    QTimer answer;
    answer.setInterval(20);
    QObject::connect(&answer, &QTimer::timeout, [&windows] {
        if (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            if (!box || !box->isVisible() || windows.contains(box))
                continue;
            QAbstractButton* go = nullptr;
            for (QAbstractButton* button : box->buttons()) {
                const auto role = box->buttonRole(button);
                if (role == QMessageBox::AcceptRole || role == QMessageBox::DestructiveRole ||
                    role == QMessageBox::YesRole)
                    go = go ? go : button;
            }
            if (go)
                go->click();
            else
                box->reject();
        }
    });
    answer.start();
    for (const auto& window : windows) {
        if (!window || !window->isVisible())
            continue;
        if (auto* dialog = qobject_cast<QDialog*>(window.data()))
            dialog->reject();
        else
            window->close();
    }
    closeDocumentWindows();
    waitFor(
        [&] { return std::none_of(windows.begin(), windows.end(), [](const auto& w) { return w && w->isVisible(); }); },
        10000);
    QStringList stayed;
    for (const auto& window : windows) {
        if (window && window->isVisible())
            stayed << nameOf(window);
    }
    return stayed;
}

// The running timers of every object the application's windows and the QApplication hold, each described.
QMap<QTimer*, QString> runningTimers()
{
    QMap<QTimer*, QString> running;
    QSet<QObject*> seen;
    std::function<void(QObject*)> walk = [&](QObject* object) {
        if (!object || seen.contains(object))
            return;
        seen.insert(object);
        if (auto* timer = qobject_cast<QTimer*>(object); timer && timer->isActive()) {
            QObject* owner = timer->parent();
            running.insert(
                timer,
                QStringLiteral("a timer of %1%2 (every %3 ms)")
                    .arg(owner ? QString::fromLatin1(owner->metaObject()->className()) : QStringLiteral("nothing"),
                         owner && !owner->objectName().isEmpty() ? QStringLiteral(" \"%1\"").arg(owner->objectName())
                                                                 : QString())
                    .arg(timer->interval()));
        }
        for (QObject* child : object->children())
            walk(child);
    };
    walk(QCoreApplication::instance());
    for (QWidget* window : QApplication::topLevelWidgets())
        walk(window);
    for (QWindow* window : QGuiApplication::allWindows())
        walk(window);
    return running;
}

class RoadFixture : public ::testing::EmptyTestEventListener {
public:
    static RoadFixture& instance()
    {
        static auto* s_fixture = [] {
            auto* fixture = new RoadFixture;
            ::testing::UnitTest::GetInstance()->listeners().Append(fixture); // owned by Google Test from now on
            return fixture;
        }();
        return *s_fixture;
    }

    int roadNumber() const { return m_road; }
    bool startedInThisRoad() const { return m_startedInThisRoad; }
    void addReset(std::function<void()> reset) { m_resets.push_back(std::move(reset)); }

    void applicationStarted()
    {
        m_startedInThisRoad = m_inRoad;
        m_restingDefaults = storedDefaults();
        m_restingFiles = userFiles();
        takeStock();
    }

    void OnTestStart(const ::testing::TestInfo&) override
    {
        ++m_road;
        m_inRoad = true;
        m_startedInThisRoad = false;
        if (runningApplication())
            takeStock();
    }

    void OnTestEnd(const ::testing::TestInfo& test) override
    {
        m_inRoad = false;
        if (!runningApplication())
            return;
        QStringList left = leftBehind();
        left << bringToRest();
        if (!left.isEmpty())
            ADD_FAILURE_AT(test.file(), test.line())
                << "the road left the application otherwise than it found it (the fixture put it back):\n  - "
                << left.join(QStringLiteral("\n  - ")).toStdString();
    }

private:
    void takeStock()
    {
        m_foundWindows = shownWindows();
        m_foundPanels = shownPanels();
        m_foundTimers = runningTimers();
        m_foundLanguages = StringTables::preferredLanguages();
    }

    // What the road itself left: windows, settings made for testing, work still running.
    QStringList leftBehind()
    {
        QStringList left;
        // What the road's last steps set going ends first: a window closing its own windows on the next turn of
        // the event loop, say.
        const auto newWindows = [this] {
            QList<QPointer<QWidget>> shown = shownWindows();
            shown.removeIf([this](const QPointer<QWidget>& window) { return m_foundWindows.contains(window); });
            return shown;
        };
        QTest::qWait(50);
        waitFor([&] { return newWindows().isEmpty(); }, 2000);
        QList<QPointer<QWidget>> windows;
        for (const auto& window : shownWindows()) {
            if (!m_foundWindows.contains(window)) {
                windows << window;
                left << QStringLiteral("the window %1 is still shown").arg(nameOf(window));
            }
        }
        for (const QString& stayed : closeWindows(windows))
            left << QStringLiteral("the window %1 would not close").arg(stayed);
        for (const auto& panel : shownPanels()) {
            if (m_foundPanels.contains(panel))
                continue;
            auto* shield = qobject_cast<MouseEventShieldWindow*>(panel.data());
            left << QStringLiteral("a panel is still shown over the window %1").arg(nameOf(shield->window()));
            // Closed as a click beside it closes it.
            shield->closeOnClickView()->performClose();
            if (panel && panel->isVisible())
                panel->close();
        }
        if (QVBUserInfoMonitor::intervalMs() != QVBUserInfoMonitor::kIntervalMs) {
            left << QStringLiteral("the allowance monitor's clock ticks every %1 ms "
                                   "(QVBUserInfoMonitor::setIntervalForTesting)")
                        .arg(QVBUserInfoMonitor::intervalMs());
            QVBUserInfoMonitor::setIntervalForTesting(0);
        }
        if (StringTables::preferredLanguages() != m_foundLanguages) {
            left << QStringLiteral("the preferred languages are %1 (StringTables::setPreferredLanguagesForTesting)")
                        .arg(StringTables::preferredLanguages().join(QLatin1Char(',')));
            StringTables::setPreferredLanguagesForTesting({});
        }
        if (VideoAssetCompressor::runsHeldForTesting()) {
            left << QStringLiteral("the video re-encodings are held (VideoAssetCompressor::setRunsHeldForTesting)");
            VideoAssetCompressor::setRunsHeldForTesting(false);
        }
        // Closing a document stops its re-encodings, and a road waits for what it started: nothing runs on.
        if (!waitFor([] { return !QVBVideoCompressionManager::anyManagerIsCompressing(); }, 5000))
            left << QStringLiteral("a video is still being re-encoded");
        auto& uploads = ZERI_AssetUploadManager::sharedInstance();
        if (uploads.isUploading() || uploads.hasAssets())
            left << QStringLiteral("%1 files are still on their way to the service").arg(uploads.queuedFileCount());
        return left;
    }

    // Nobody signed in, no documents (the application's own sign-out), the user defaults as at the start-up, the
    // resets asked for; what the sign-out should have cleared and did not, and the files left in the user's
    // folders (removed).
    QStringList bringToRest()
    {
        QStringList left;
        const Defaults before = storedDefaults();
        ZERI_AuthenticationHandler::authHandler()->logout();
        ZERI_AuthenticationHandler::waitForSignOutsForTesting();
        QCoreApplication::processEvents();
        const Defaults after = storedDefaults();
        if (!Tessutils::corvikAuthToken().isEmpty())
            left << QStringLiteral("still signed in after signing out");
        QStringList listed;
        for (const auto& package : ZERI_qvdFilePackage::allPackages())
            listed << package->packageID();
        if (!listed.isEmpty())
            left << QStringLiteral("documents still listed after the sign-out: %1")
                        .arg(listed.join(QStringLiteral(", ")));

        for (const auto& reset : m_resets)
            reset();

        // What the sign-out changes is how the application rests; the rest goes back to the start-up's values.
        QSet<QString> keys(before.keyBegin(), before.keyEnd());
        for (auto it = after.begin(); it != after.end(); ++it)
            keys.insert(it.key());
        for (const QString& key : keys) {
            if (before.value(key) == after.value(key) && before.contains(key) == after.contains(key))
                continue;
            if (after.contains(key))
                m_restingDefaults.insert(key, after.value(key));
            else
                m_restingDefaults.remove(key);
        }
        const Defaults now = storedDefaults();
        for (auto it = now.begin(); it != now.end(); ++it) {
            if (!m_restingDefaults.contains(it.key()))
                UserDefaults::standard().remove(it.key());
        }
        for (auto it = m_restingDefaults.begin(); it != m_restingDefaults.end(); ++it) {
            if (!now.contains(it.key()) || now.value(it.key()) != it.value())
                UserDefaults::standard().setValue(it.key(), it.value());
        }

        QStringList files;
        for (const QString& file : userFiles()) {
            if (!m_restingFiles.contains(file)) {
                files << file;
                QFile::remove(QDir(TestEnvironment::root()).filePath(file));
            }
        }
        files.sort();
        for (const QString& file : files)
            left << QStringLiteral("the file %1 is left in the user's folders").arg(file);
        leaveFirstLaunchTourIfShown();
        // My Documents in front with the keys, as the user would click it: without a window manager nothing hands
        // the focus on when the road's windows go.
        if (QWidget* lists = runningApplication()->listsWindow(); lists && lists->isVisible()) {
            lists->activateWindow();
            if (!waitFor([&] { return QApplication::activeWindow() == lists; }, 1000))
                QApplication::setActiveWindow(lists);
        }

        // Whatever was still under way (a request waiting for its answer, say) has had its time to end.
        const auto newTimers = [this] {
            QStringList started;
            const auto running = runningTimers();
            for (auto it = running.begin(); it != running.end(); ++it) {
                if (!m_foundTimers.contains(it.key()))
                    started << it.value();
            }
            return started;
        };
        waitFor([&] { return newTimers().isEmpty(); }, 3000);
        for (const QString& timer : newTimers())
            left << timer + QStringLiteral(" still runs");
        return left;
    }

    static void leaveFirstLaunchTourIfShown()
    {
        QWidget* lists = runningApplication()->listsWindow();
        auto* tour = lists ? lists->findChild<QVR_FirstLaunchViewController*>() : nullptr;
        if (tour && tour->isVisible())
            leaveFirstLaunchTour();
    }

    int m_road = 0;
    bool m_inRoad = false;
    bool m_startedInThisRoad = false;
    QList<QPointer<QWidget>> m_foundWindows;
    QList<QPointer<QWidget>> m_foundPanels;
    QMap<QTimer*, QString> m_foundTimers;
    QStringList m_foundLanguages;
    Defaults m_restingDefaults;
    QSet<QString> m_restingFiles;
    std::vector<std::function<void()>> m_resets;
};

[[maybe_unused]] RoadFixture& g_roadFixture = RoadFixture::instance();

} // namespace

void applicationJustStarted()
{
    RoadFixture::instance().applicationStarted();
}

int roadNumber()
{
    return RoadFixture::instance().roadNumber();
}

void afterEachRoad(std::function<void()> reset)
{
    RoadFixture::instance().addReset(std::move(reset));
}

namespace {

// Runs the current road again, alone, in a process of its own; its outcome becomes this road's.
void runAloneInAChildProcess(const char* why)
{
    const ::testing::TestInfo* road = ::testing::UnitTest::GetInstance()->current_test_info();
    const QString name =
        QString::fromLatin1(road->test_suite_name()) + QLatin1Char('.') + QString::fromLatin1(road->name());
    const auto child = TestEnvironment::runTestsInChildProcess(name, {}, 240000);
    EXPECT_TRUE(child.finished && child.exitCode == 0) << "the road, run " << why << " in a process of its own, "
                                                       << (child.finished ? "failed" : "did not end in time") << ":\n"
                                                       << child.output.right(8000).toStdString();
}

} // namespace

bool firstStartHere()
{
    if (!applicationStarted() || RoadFixture::instance().startedInThisRoad())
        return true;
    runAloneInAChildProcess("on a first start");
    return false;
}

bool inAProcessOfItsOwn()
{
    if (::testing::UnitTest::GetInstance()->test_to_run_count() == 1)
        return true;
    runAloneInAChildProcess("alone");
    return false;
}

bool signInQuietly(const QString& user, const QString& password)
{
    bool answered = false;
    bool signedIn = false;
    ZERI_AuthenticationHandler::authHandler()->loginCorvikWithEmail(user, password,
                                                                    [&](const std::optional<Error>& error) {
                                                                        answered = true;
                                                                        signedIn = !error;
                                                                    });
    return waitFor([&] { return answered; }) && signedIn;
}

} // namespace roads
