#include "app/QVRAppDelegate.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QMainWindow>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWindow>

#include "app/AppLogging.h"
#include "app/AppOpenRequestUi.h"
#include "app/AppStartupHooks.h"
#include "app/QVRActionLog.h"
#include "app/QVRAnalytics.h"
#include "app/QVRCrashReporter.h"
#include "app/QVRMainMenu.h"
#include "app/QVRSingleInstance.h"
#include "app/QVRURLSchemeHandler.h"
#include "app/QVRWindowManager.h"
#include "controls/ControlsArtwork.h"
#include "controls/WindowKeyboardReturn.h"
#include "controls/QVR_Toast.h"
#include "foundation/Tessutils.h"
#include "platform/AlertPresenter.h"
#include "platform/DesktopNotifications.h"
#include "platform/FileChooser.h"
#include "platform/WebEngineSandbox.h"
#include "platform/widgets/LinkOpener.h"
#include "platform/widgets/WidgetAlertPresenter.h"
#include "platform/widgets/WidgetFileChooser.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "service/CorvikBlockAPIBinding.h"
#include "service/DocumentServerOperations.h"
#include "service/OpenFailureNotice.h"
#include "service/QVROpenRequest.h"
#include "service/ZERI_AssetUploadManager.h"
#include "service/ZERI_ContentItemDeletionManager.h"
#include "strings/UFM.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

constexpr int kGestureCheckDelayMs = 10 * 1000;
constexpr int kQuitFlushTimeoutMs = 3000;

bool has(const std::function<void()>& hook)
{
    return bool(hook);
}

void skipped(const char* step)
{
    qCInfo(lcApp) << "start-up step" << step << "skipped: not available yet";
}

QString capitalized(const QString& text)
{
    return text.isEmpty() ? text : text.left(1).toUpper() + text.mid(1);
}

// Prints when the first window is exposed and quits: the start-time benchmark runs the application this way.
class FirstExposeProbe : public QObject {
public:
    explicit FirstExposeProbe(QElapsedTimer clock)
        : m_clock(clock)
    {
    }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Expose) {
            auto* window = qobject_cast<QWindow*>(watched);
            if (window && window->isExposed() && !m_done) {
                m_done = true;
                fprintf(stdout, "first-window-exposed %lld\n", static_cast<long long>(m_clock.nsecsElapsed() / 1000));
                fflush(stdout);
                QTimer::singleShot(0, qApp, &QCoreApplication::quit);
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QElapsedTimer m_clock;
    bool m_done = false;
};

QPointer<QVRAppDelegate>& runningDelegateSlot()
{
    static QPointer<QVRAppDelegate> s_delegate;
    return s_delegate;
}

} // namespace

QVRAppDelegate* QVRAppDelegate::runningDelegate()
{
    return runningDelegateSlot().data();
}

QVRAppDelegate::QVRAppDelegate(QObject* parent)
    : QObject(parent)
{
    runningDelegateSlot() = this;
    QVRMainMenu::setApplicationHandler(
        [this](const QString& command) { performApplicationCommand(command); },
        [this](const QString& command) { return canPerformApplicationCommand(command); });
    QVRMainMenu::setSignedInQuery([] { return !Tessutils::corvikAuthToken().isEmpty(); });
    QVRMainMenu::setSnappingDisabledQuery([] {
        const auto& query = AppStartupHooks::shared().snappingDisabled;
        return query && query();
    });
    if (qApp)
        connect(qApp, &QCoreApplication::aboutToQuit, this, &QVRAppDelegate::flushBeforeQuit);
}

QVRAppDelegate::~QVRAppDelegate()
{
    if (runningDelegateSlot() == this)
        runningDelegateSlot() = nullptr;
    QVRMainMenu::setApplicationHandler({});
    delete m_fallbackWindow;
}

void QVRAppDelegate::setStepObserver(std::function<void(const QString&)> observer)
{
    m_stepObserver = std::move(observer);
}

void QVRAppDelegate::beginStep(const char* step)
{
    qCDebug(lcApp) << "start-up step" << step;
    if (m_stepObserver)
        m_stepObserver(QString::fromLatin1(step));
}

QString QVRAppDelegate::gestureControllerInstallPath()
{
    const QString configured = qEnvironmentVariable("TESS_GESTURE_CONTROLLER_PATH");
    return configured.isEmpty() ? QStringLiteral("/usr/sbin/leapd") : configured;
}

void QVRAppDelegate::applicationDidFinishLaunching()
{
    AppStartupHooks& hooks = AppStartupHooks::shared();
    // Open requests reach the windows and panels of the later libraries through the window manager and the hooks.
    if (!OpenRequestUi::current())
        OpenRequestUi::registerUi(std::make_shared<AppOpenRequestUi>());

    beginStep("logAPIEndpoint");
    const QString configuredURL = qEnvironmentVariable("TESS_API_URL");
    qCInfo(lcApp).noquote() << "API endpoint:"
                            << (configuredURL.isEmpty() ? QString::fromLatin1(CorvikBlockAPIBinding::kDefaultAPIURL)
                                                        : configuredURL);

    // The shared URL cache gets no capacity: our network access managers are made without a cache, so
    // there is nothing to switch off.
    beginStep("urlCache");

    beginStep("configureService");
    const QUrl endpoint = CorvikBlockAPIBinding::applyStartupConfiguration();
    qCInfo(lcApp) << "service configured for" << endpoint.host();

    beginStep("menuTitles");
    QVRMainMenu::updateTitles();

    beginStep("loadDefaultThemes");
    if (has(hooks.loadDefaultThemes))
        hooks.loadDefaultThemes();
    else
        skipped("loadDefaultThemes");

    beginStep("gestureHandler");
    // A replay script stands in for the controller software, so a recorded session needs nothing installed.
    if (QFileInfo::exists(gestureControllerInstallPath()) || !qEnvironmentVariableIsEmpty("TESS_LEAP_SCRIPT")) {
        if (has(hooks.startGestureHandler)) {
            hooks.startGestureHandler();
            QTimer::singleShot(kGestureCheckDelayMs, this, [] {
                const auto& connected = AppStartupHooks::shared().gestureControllerIsConnected;
                if (!connected || connected())
                    return;
                qCInfo(lcApp) << "Disconnected";
                if (const auto& show = AppStartupHooks::shared().showGestureDisconnectAlert) {
                    show();
                    return;
                }
                AlertRequest request;
                request.showsSuppressionButton = true;
                request.style = AlertRequest::Style::Warning;
                request.messageText = QStringLiteral("Leap Motion Controller Disconnected");
                request.informativeText = QStringLiteral("Your Leap Motion controller appears to be disconnected. "
                                                         "Please reconnect to continue using Tessarine with Leap "
                                                         "Motion.");
                AlertPresenter::shared().show(request, nullptr, [](const AlertResponse&) {});
            });
        } else {
            skipped("gestureHandler");
        }
    }

    beginStep("gestureHandlerView");
    if (has(hooks.createGestureHandlerView))
        hooks.createGestureHandlerView();
    else
        skipped("gestureHandlerView");

    beginStep("crashReporter");
    const QString crashAppID = qEnvironmentVariable("TESS_CRASH_REPORTER_APP_ID");
    QVRCrashReporter::configure(crashAppID.isEmpty() ? QStringLiteral("com.tessarine.linux") : crashAppID);
    QVRCrashReporter::setAutomaticSubmission(true);
    QVRCrashReporter::start();

    beginStep("listsWindow");
    openListsWindow();

    beginStep("launchEvent");
    QVRAnalytics::logEvent(QStringLiteral("Tessarine App Launch"),
                           {{QStringLiteral("LaunchType"), QStringLiteral("cold")}});

    beginStep("observers");
    m_observations.clear();
    const auto signInChanged = [this](const Notification&) {
        // Until the monitor's refresh for this sign-in answers, the texts it holds are the last user's.
        m_quotaIsCurrentUsers = false;
        refreshQuota();
        QVRMainMenu::updateTitles();
    };
    m_observations.emplace_back(QStringLiteral("ZERI_AuthenticationHandlerDidLoginNotification"), nullptr,
                                signInChanged);
    m_observations.emplace_back(QStringLiteral("ZERI_AuthenticationHandlerDidLogoutNotification"), nullptr,
                                signInChanged);
    m_observations.emplace_back(QStringLiteral("QVBDataQuotaMonitorDidUpdateNotification"), nullptr,
                                [this](const Notification&) {
                                    m_quotaIsCurrentUsers = true;
                                    refreshQuota();
                                });

    beginStep("quotaMonitor");
    if (has(hooks.startQuotaMonitor))
        hooks.startQuotaMonitor();
    else
        skipped("quotaMonitor");

    beginStep("removeDebugMenuItems");
    QVRMainMenu::removeItemsWithTag(QVRMainMenu::ScreenMenu, QVRMainMenu::kDebugItemTag);

    beginStep("deletePrecachedBlankTheme");
    if (has(hooks.deletePrecachedBlankTheme))
        hooks.deletePrecachedBlankTheme();
    else
        skipped("deletePrecachedBlankTheme");
}

QWidget* QVRAppDelegate::listsWindow() const
{
    return m_listsWindow ? m_listsWindow.data() : static_cast<QWidget*>(m_fallbackWindow.data());
}

void QVRAppDelegate::openListsWindow()
{
    const auto& open = AppStartupHooks::shared().openListsWindow;
    if (open) {
        if (QWidget* window = open()) {
            m_listsWindow = window;
            QVRWindowManager::sharedInstance().addManagedWindow(window);
            QVRMainMenu::installMenuBar(window);
            window->show();
            window->raise();
            window->activateWindow();
            return;
        }
    }
    skipped("listsWindow");
    if (!m_fallbackWindow) {
        m_fallbackWindow = new QMainWindow;
        m_fallbackWindow->setWindowTitle(QApplication::applicationDisplayName());
        m_fallbackWindow->resize(1024, 748);
        QVRMainMenu::installMenuBar(m_fallbackWindow);
    }
    m_fallbackWindow->show();
    m_fallbackWindow->raise();
    m_fallbackWindow->activateWindow();
}

bool QVRAppDelegate::handleURLEvent(const QString& link)
{
    return QVRURLSchemeHandler::handleURLEvent(link);
}

void QVRAppDelegate::handleLinks(const QStringList& links)
{
    if (QWidget* window = listsWindow()) {
        window->show();
        window->raise();
        window->activateWindow();
    }
    for (const QString& link : links)
        handleURLEvent(link);
}

bool QVRAppDelegate::canPerformApplicationCommand(const QString& command) const
{
    static const QStringList kOwn{
        QStringLiteral("about"),           QStringLiteral("signIn"),      QStringLiteral("quit"),
        QStringLiteral("closeWindow"),     QStringLiteral("minimize"),    QStringLiteral("zoom"),
        QStringLiteral("bringAllToFront"), QStringLiteral("myTessarines")};
    if (kOwn.contains(command))
        return true;
    if (command == QLatin1String("new"))
        return QVRURLSchemeHandler::hasOpenRequestStarter();
    const auto& commands = AppStartupHooks::shared().menuCommands;
    const auto it = commands.find(command);
    return it != commands.end() && it->second;
}

void QVRAppDelegate::performApplicationCommand(const QString& command)
{
    QWidget* active = QApplication::activeWindow();
    if (command == QLatin1String("quit")) {
        requestQuit();
    } else if (command == QLatin1String("signIn")) {
        onSignInMenuItemPressed();
    } else if (command == QLatin1String("about")) {
        AlertRequest request;
        request.messageText = UFM::ABOUT_TESSARINE_TEXT();
        request.informativeText =
            QApplication::applicationDisplayName() + QLatin1Char(' ') + QApplication::applicationVersion();
        AlertPresenter::shared().show(request, active, [](const AlertResponse&) {});
    } else if (command == QLatin1String("new")) {
        handleURLEvent(QStringLiteral("tessarine://startnewtessarine"));
    } else if (command == QLatin1String("closeWindow")) {
        if (active)
            active->close();
    } else if (command == QLatin1String("minimize")) {
        if (active)
            active->showMinimized();
    } else if (command == QLatin1String("zoom")) {
        if (active)
            active->isMaximized() ? active->showNormal() : active->showMaximized();
    } else if (command == QLatin1String("bringAllToFront")) {
        for (QWidget* window : QVRWindowManager::sharedInstance().windows())
            window->raise();
        if (active)
            active->raise();
    } else if (command == QLatin1String("myTessarines")) {
        openListsWindow();
    } else {
        const auto& commands = AppStartupHooks::shared().menuCommands;
        const auto it = commands.find(command);
        if (it != commands.end() && it->second)
            it->second();
        else
            qCInfo(lcApp) << "menu command" << command << "is not available yet";
        if (command == QLatin1String("toggleSnapping"))
            QVRMainMenu::updateTitles();
    }
}

bool QVRAppDelegate::showRegisterWall(const QString& message)
{
    return showRegisterWallWithMessage(message.isNull() ? UFM::YOU_NEED_TO_SIGN_IN_TEXT() : message);
}

bool QVRAppDelegate::showRegisterWallWithMessage(const QString& message)
{
    return runWall(AppStartupHooks::shared().runRegisterWall, message);
}

bool QVRAppDelegate::runWall(const std::function<bool(const QString&)>& wall, const QString& message)
{
    if (m_registerWallShown)
        return false;
    if (!wall) {
        qCInfo(lcApp) << "the sign-in wall is not available yet";
        return false;
    }
    m_registerWallShown = true;
    const bool signedIn = wall(message);
    m_registerWallShown = false;
    QVRMainMenu::updateTitles();
    return signedIn;
}

void QVRAppDelegate::onSignInMenuItemPressed()
{
    const AppStartupHooks& hooks = AppStartupHooks::shared();
    if (hooks.isCompressingVideo && hooks.isCompressingVideo()) {
        AlertRequest request;
        request.style = AlertRequest::Style::Warning;
        request.messageText = UFM::SIGNOUT_COMPRESSION_WARNING_TEXT();
        request.buttons = {UFM::SIGN_OUT_TEXT(), UFM::CANCEL_TEXT()};
        request.becomesMoot = [&hooks] { return !hooks.isCompressingVideo(); };
        if (AlertPresenter::shared().runModal(request, QApplication::activeWindow()).button != 0)
            return;
        if (hooks.cancelVideoCompression)
            hooks.cancelVideoCompression();
    }
    if (!Tessutils::corvikAuthToken().isEmpty()) {
        if (hooks.runSignOutDialogue)
            hooks.runSignOutDialogue();
        else
            qCInfo(lcApp) << "the sign-out dialogue is not available yet";
    } else if (hooks.runSignInWall) {
        runWall(hooks.runSignInWall, UFM::SIGNUP_FREE());
    } else {
        showRegisterWallWithMessage(UFM::SIGNUP_FREE());
    }
    QVRMainMenu::updateTitles();
}

QString QVRAppDelegate::quotaString()
{
    const AppStartupHooks& hooks = AppStartupHooks::shared();
    const QString remaining = hooks.quotaBytesRemaining ? hooks.quotaBytesRemaining() : QString();
    const QString cap = hooks.quotaCap ? hooks.quotaCap() : QString();
    const QString reset = hooks.quotaResetTimeRemaining ? hooks.quotaResetTimeRemaining() : QString();
    if (remaining.isEmpty() || cap.isEmpty() || reset.isEmpty())
        return UFM::QUOTA_UNAVAILABLE();
    return capitalized(UFM::SAYS_UPLOAD_ALLOWANCE()) + QLatin1Char('\n') +
           UFM::SAYS_X_REMAINING_OF_Y().arg(remaining, cap) + QLatin1Char('\n') + UFM::SAYS_NEXT_MONTHLY_QUOTA() +
           QLatin1Char(' ') + reset.toLower();
}

void QVRAppDelegate::refreshQuota()
{
    // The item is there only while someone is signed in, and shows only that user's allowance.
    if (Tessutils::corvikAuthToken().isEmpty())
        QVRMainMenu::setQuotaText(QString());
    else
        QVRMainMenu::setQuotaText(m_quotaIsCurrentUsers ? quotaString() : UFM::QUOTA_UNAVAILABLE());
}

namespace {

QVRAppDelegate::UserNotificationRecorder& userNotificationRecorder()
{
    static QVRAppDelegate::UserNotificationRecorder s_recorder;
    return s_recorder;
}

} // namespace

void QVRAppDelegate::setUserNotificationRecorderForTesting(UserNotificationRecorder recorder)
{
    userNotificationRecorder() = std::move(recorder);
}

void QVRAppDelegate::postUserNotification(const QString& title, const QString& subtitle, const QString& informativeText,
                                          QWidget* window)
{
    if (userNotificationRecorder()) {
        userNotificationRecorder()(title, subtitle, informativeText);
        return;
    }
    // A balloon or a notice has a title and one text: the subtitle leads the text.
    QStringList lines;
    for (const QString& line : {subtitle, informativeText})
        if (!line.isEmpty())
            lines.append(line);
    const QString text = lines.join(QLatin1Char('\n'));
    if (window && window->isVisible()) {
        QVR_Toast::toast(text.isEmpty() ? title : title + QLatin1Char('\n') + text, window);
        return;
    }
    if (QSystemTrayIcon::isSystemTrayAvailable() && QSystemTrayIcon::supportsMessages()) {
        static QPointer<QSystemTrayIcon> s_icon;
        if (!s_icon) {
            s_icon = new QSystemTrayIcon(qApp);
            s_icon->setIcon(QApplication::windowIcon());
        }
        s_icon->show();
        s_icon->showMessage(title, text);
        return;
    }
    DesktopNotifications::notify(title, text, [title](bool shown) {
        if (!shown)
            qCInfo(lcApp) << "no desktop notification service; not shown:" << title;
    });
}

void QVRAppDelegate::postUserNotification(const QString& title, const QString& informativeText, QWidget* window)
{
    postUserNotification(title, QString(), informativeText, window);
}

bool QVRAppDelegate::applicationShouldTerminate()
{
    const AppStartupHooks& hooks = AppStartupHooks::shared();
    if (hooks.isCompressingVideo && hooks.isCompressingVideo()) {
        AlertRequest request;
        request.style = AlertRequest::Style::Warning;
        request.messageText = UFM::QUIT_COMPRESSION_WARNING_TEXT();
        request.buttons = {UFM::QUIT_TEXT(), UFM::CANCEL_TEXT()};
        // Finished while the question is up: nothing is left to stop, and the quit goes on.
        request.becomesMoot = [&hooks] { return !hooks.isCompressingVideo(); };
        if (AlertPresenter::shared().runModal(request, QApplication::activeWindow()).button != 0)
            return false;
        stopVideoCompressionForQuit();
    }
    flushBeforeQuit();
    return true;
}

void QVRAppDelegate::stopVideoCompressionForQuit()
{
    const AppStartupHooks& hooks = AppStartupHooks::shared();
    if (hooks.cancelVideoCompression)
        hooks.cancelVideoCompression();
    if (!hooks.isCompressingVideo || !hooks.isCompressingVideo())
        return;
    // A cancelled re-encoding winds down on its workers and reports back through the event loop; it removes its
    // unfinished file then. Wait for that, but not forever.
    QElapsedTimer waited;
    waited.start();
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (!hooks.isCompressingVideo() || waited.elapsed() >= kQuitCompressionTimeoutMs)
            loop.quit();
    });
    poll.start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (hooks.isCompressingVideo())
        qCWarning(lcApp) << "quitting while a video re-encoding is still winding down";
}

void QVRAppDelegate::flushBeforeQuit()
{
    if (m_flushedForQuit)
        return;
    m_flushedForQuit = true;
    if (const auto& flush = AppStartupHooks::shared().flushPendingDraftSaves)
        flush();
    if (!QVRActionLog::shared().flushAndWait(kQuitFlushTimeoutMs))
        qCInfo(lcApp) << "analytics events kept for the next launch:" << QVRActionLog::shared().backlog().size();
}

void QVRAppDelegate::requestQuit()
{
    if (!applicationShouldTerminate())
        return;
    // Windows may still refuse (a window of their own asking); then the application keeps running.
    QVRWindowManager::sharedInstance().setQuitting(true);
    QApplication::closeAllWindows();
    QVRWindowManager::sharedInstance().setQuitting(false);
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && window->isWindow() && !window->inherits("QMenu")) {
            m_flushedForQuit = false;
            return;
        }
    }
    QCoreApplication::quit();
}

namespace {

// Links of our URL scheme become open requests. Opening by server id has no request form yet: such links are
// logged and dropped.
void startOpenRequest(const QVROpenRequestCue& cue)
{
    auto request = QVROpenRequest::request();
    switch (cue.kind) {
    case QVROpenRequestCue::Kind::StringID:
        request->setOpenCue(cue.value);
        break;
    case QVROpenRequestCue::Kind::Null:
        request->setOpenCue(NewDocumentCue{});
        break;
    case QVROpenRequestCue::Kind::ServerID:
        qCWarning(lcApp) << "opening a document by its server id from a link is not supported";
        return;
    }
    request->setOptions(cue.options);
    request->open([](const Error& error) { OpenFailureNotice::tell(error); });
}

} // namespace

void QVRAppDelegate::flushPendingDraftSaves()
{
    // Documents of open windows, and documents loaded into packages without a window, each saved once.
    std::vector<std::shared_ptr<ZERI_TessarineModel>> documents = QVRWindowManager::sharedInstance().documents();
    for (const auto& package : ZERI_qvdFilePackage::allPackages()) {
        auto model = package->model();
        if (model && std::find(documents.begin(), documents.end(), model) == documents.end())
            documents.push_back(std::move(model));
    }
    for (const auto& document : documents) {
        if (!document->isSaveScheduled())
            continue;
        Error error;
        if (!document->saveToFile(&error))
            qCWarning(lcApp).noquote() << "a draft could not be saved at quit:" << error.message;
    }
}

void QVRAppDelegate::prepareApplication()
{
    QApplication::setOrganizationName(QStringLiteral("Tessarine"));
    QApplication::setApplicationName(QStringLiteral("Tessarine"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tessarine"));
    QApplication::setApplicationVersion(QStringLiteral(TESS_APP_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("tessarine"));

    ControlsArtwork::registerNamedImages(); // UNIImage::imageNamed serves the artwork among our resources
    // Documents save into their packages, and undo steps keep their asset files alive, only once the
    // storage has registered with the model.
    ZERI_qvdFilePackage::registerWithDocumentModel();
    DocumentServerOperations::registerWithDocumentModel();
    DocumentServerOperations::setEventLogger(
        [](const QString& name, const QVariantMap& parameters) { QVRAnalytics::logEvent(name, parameters); });
    ZERI_ContentItemDeletionManager::registerWithStorage();
    ZERI_AssetUploadManager::sharedInstance(); // resumes an upload queue kept from an earlier run
    QVRURLSchemeHandler::setOpenRequestStarter(startOpenRequest);
    if (!AppStartupHooks::shared().flushPendingDraftSaves)
        AppStartupHooks::shared().flushPendingDraftSaves = QVRAppDelegate::flushPendingDraftSaves;
    // The questions the application asks: alerts and sheets, files to open and save, addresses to visit.
    static WidgetAlertPresenter s_alerts;
    AlertPresenter::setShared(&s_alerts);
    static WidgetFileChooser s_files;
    FileChooser::setShared(&s_files);
    static DesktopLinkOpener s_links;
    LinkOpener::setShared(&s_links);
    // A closed window gives the keyboard back, also where no window manager does.
    WindowKeyboardReturn::install();
}

int QVRAppDelegate::applicationMain(int argc, char** argv, const Starter& start)
{
    QElapsedTimer clock;
    clock.start();
    srandom(static_cast<unsigned>(time(nullptr)));
    WebEngineSandbox::apply(); // before any web page: where the sandbox cannot start, pages run without it

    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Tessarine"));
    QApplication::setApplicationName(QStringLiteral("Tessarine"));

    QStringList links;
    for (const QString& argument : QApplication::arguments().mid(1)) {
        if (QVRURLSchemeHandler::hasOwnScheme(argument))
            links.append(argument);
        else if (argument.contains(QLatin1String("://")))
            qCWarning(lcApp) << "ignoring a link of another scheme given on the command line";
    }
    links.removeDuplicates(); // a link given many times opens once
    // One process for each data folder: a second start hands its links over and ends, whether or not the running
    // instance takes them.
    const auto tellAnotherRuns = [] {
        qCCritical(lcApp) << "Tessarine is already running for this data folder and did not take the link; "
                             "this start ends";
        return 1;
    };
    switch (QVRSingleInstance::forwardToRunningInstance(links, 2000)) {
    case QVRSingleInstance::Handover::Handed:
        qCInfo(lcApp) << "handed" << links.size() << "link(s) to the running instance";
        return 0;
    case QVRSingleInstance::Handover::Refused:
        return tellAnotherRuns();
    case QVRSingleInstance::Handover::NoInstance:
        break;
    }
    QVRSingleInstance instance;
    if (!instance.listen() &&
        QVRSingleInstance::forwardToRunningInstance({}, 2000) != QVRSingleInstance::Handover::NoInstance)
        return tellAnotherRuns();

    QVRCrashReporter::installHandlers(QVRCrashReporter::defaultCrashFolder());

    FirstExposeProbe probe(clock);
    if (qEnvironmentVariableIsSet("TESS_EXIT_AFTER_FIRST_WINDOW")) {
        // Every QWindow made from now on is watched until the first one is exposed.
        app.installEventFilter(&probe);
    }

    std::unique_ptr<QVRAppDelegate> delegate;
    if (start) {
        delegate = start();
    } else {
        prepareApplication();
        delegate = std::make_unique<QVRAppDelegate>();
        delegate->applicationDidFinishLaunching();
    }
    QObject::connect(&instance, &QVRSingleInstance::linksReceived, delegate.get(), &QVRAppDelegate::handleLinks);
    for (const QString& link : links)
        handleURLEvent(link);
    const int status = app.exec();
    delegate.reset();
    AlertPresenter::setShared(nullptr);
    FileChooser::setShared(nullptr);
    LinkOpener::setShared(nullptr);
    return status;
}
