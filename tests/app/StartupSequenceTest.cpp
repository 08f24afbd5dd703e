#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QMainWindow>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTimer>

#include "app/AppStartupHooks.h"
#include "app/QVRActionLog.h"
#include "app/QVRAppDelegate.h"
#include "app/QVRMainMenu.h"
#include "app/QVRWindowManager.h"
#include "platform/AlertPresenter.h"
#include "platform/widgets/WidgetAlertPresenter.h"
#include "service/CorvikBlockAPIBinding.h"
#include "strings/UFM.h"

namespace {

class StartupSequence : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        log = std::make_unique<QVRActionLog>(folder.filePath(QStringLiteral("actionlog.json")),
                                             [](const QByteArray&, std::function<void(bool)>) {});
        QVRActionLog::setSharedForTesting(log.get());
        qputenv("TESS_API_URL", "http://127.0.0.1:9/");
        qputenv("TESS_API_KEY", "KEY123");
        qputenv("TESS_API_PASSWORD", "s3cretPW");
    }
    void TearDown() override
    {
        AppStartupHooks::resetForTesting();
        QVRMainMenu::resetForTesting();
        QVRActionLog::setSharedForTesting(nullptr);
        qunsetenv("TESS_API_URL");
        qunsetenv("TESS_GESTURE_CONTROLLER_PATH");
    }
    // Every hook appends its own name to `steps`.
    void recordEveryHook()
    {
        AppStartupHooks& hooks = AppStartupHooks::shared();
        hooks.loadDefaultThemes = [this] {
            steps << QStringLiteral("hook:loadDefaultThemes");
            serviceURLWhenThemesLoaded = CorvikBlockAPIBinding::apiURL();
        };
        hooks.startGestureHandler = [this] { steps << QStringLiteral("hook:startGestureHandler"); };
        hooks.createGestureHandlerView = [this] { steps << QStringLiteral("hook:createGestureHandlerView"); };
        hooks.openListsWindow = [this] {
            steps << QStringLiteral("hook:openListsWindow");
            lists = new QMainWindow;
            return lists;
        };
        hooks.startQuotaMonitor = [this] { steps << QStringLiteral("hook:startQuotaMonitor"); };
        hooks.deletePrecachedBlankTheme = [this] { steps << QStringLiteral("hook:deletePrecachedBlankTheme"); };
    }

    QTemporaryDir folder;
    std::unique_ptr<QVRActionLog> log;
    QStringList steps;
    QUrl serviceURLWhenThemesLoaded;
    QMainWindow* lists = nullptr;
};

TEST_F(StartupSequence, StepsRunInOrderWithTheServiceConfiguredFirst)
{
    recordEveryHook();
    QFile controller(folder.filePath(QStringLiteral("leapd")));
    ASSERT_TRUE(controller.open(QIODevice::WriteOnly));
    controller.close();
    qputenv("TESS_GESTURE_CONTROLLER_PATH", controller.fileName().toLocal8Bit());

    QVRAppDelegate delegate;
    delegate.setStepObserver([this](const QString& step) { steps << step; });
    delegate.applicationDidFinishLaunching();

    const QStringList expected{"logAPIEndpoint",
                               "urlCache",
                               "configureService",
                               "menuTitles",
                               "loadDefaultThemes",
                               "hook:loadDefaultThemes",
                               "gestureHandler",
                               "hook:startGestureHandler",
                               "gestureHandlerView",
                               "hook:createGestureHandlerView",
                               "crashReporter",
                               "listsWindow",
                               "hook:openListsWindow",
                               "launchEvent",
                               "observers",
                               "quotaMonitor",
                               "hook:startQuotaMonitor",
                               "removeDebugMenuItems",
                               "deletePrecachedBlankTheme",
                               "hook:deletePrecachedBlankTheme"};
    EXPECT_EQ(steps, expected);
    EXPECT_EQ(serviceURLWhenThemesLoaded, QUrl(QStringLiteral("http://127.0.0.1:9/")));

    ASSERT_EQ(log->backlog().size(), 1);
    const QJsonObject event = log->backlog().at(0).toObject();
    EXPECT_EQ(event.value(QStringLiteral("name")).toString(), QStringLiteral("Tessarine App Launch"));
    EXPECT_EQ(event.value(QStringLiteral("parameters")).toObject().value(QStringLiteral("LaunchType")).toString(),
              QStringLiteral("cold"));

    // The lists window is managed, carries the menu bar, and the debugging items are gone from it.
    ASSERT_NE(lists, nullptr);
    EXPECT_TRUE(QVRWindowManager::sharedInstance().windows().contains(lists));
    ASSERT_NE(lists->menuBar(), nullptr);
    QMenuBar* bar = lists->menuBar();
    EXPECT_EQ(QVRMainMenu::action(bar, QStringLiteral("setScreenAutoAdvanceSettings")), nullptr);
    EXPECT_NE(QVRMainMenu::action(bar, QStringLiteral("cut")), nullptr);
    EXPECT_EQ(delegate.fallbackMainWindow(), nullptr);
    delete lists;
}

TEST_F(StartupSequence, WithoutLaterLibrariesThePlainWindowShowsTheMenuBar)
{
    qputenv("TESS_GESTURE_CONTROLLER_PATH", folder.filePath(QStringLiteral("absent")).toLocal8Bit());
    AppStartupHooks::shared().startGestureHandler = [this] { steps << QStringLiteral("hook:startGestureHandler"); };
    QVRAppDelegate delegate;
    delegate.applicationDidFinishLaunching();
    EXPECT_TRUE(steps.isEmpty()) << "the gesture handler starts only when its software is installed";
    QMainWindow* window = delegate.fallbackMainWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    ASSERT_NE(window->menuBar(), nullptr);
    EXPECT_EQ(window->menuBar()->actions().size(), QVRMainMenu::MenuCount);
    EXPECT_NE(QVRMainMenu::action(window->menuBar(), QStringLiteral("quit")), nullptr);
}

TEST_F(StartupSequence, QuotaTextNeedsAllThreePartsAndTheRegisterWallIsShownOnceAtATime)
{
    AppStartupHooks& hooks = AppStartupHooks::shared();
    hooks.quotaBytesRemaining = [] { return QStringLiteral("1.5 GB"); };
    hooks.quotaCap = [] { return QStringLiteral("2 GB"); };
    hooks.quotaResetTimeRemaining = [] { return QString(); };
    EXPECT_EQ(QVRAppDelegate::quotaString(), QStringLiteral("Quota unavailable"));
    hooks.quotaResetTimeRemaining = [] { return QStringLiteral("12 Days"); };
    EXPECT_EQ(QVRAppDelegate::quotaString(),
              QStringLiteral("Upload allowance\n1.5 GB remaining of 2 GB\nNext monthly quota in 12 days"));

    QVRAppDelegate delegate;
    int walls = 0;
    bool nested = true;
    hooks.runRegisterWall = [&](const QString& message) {
        ++walls;
        EXPECT_EQ(message, UFM::YOU_NEED_TO_SIGN_IN_TEXT());
        nested = delegate.showRegisterWall(); // a second request while one is shown answers NO at once
        return true;
    };
    EXPECT_TRUE(delegate.showRegisterWall());
    EXPECT_EQ(walls, 1);
    EXPECT_FALSE(nested);
}

TEST_F(StartupSequence, QuittingWhileAVideoIsCompressedAsksAndThenSavesDraftsAndSendsTheBacklog)
{
    RecordingAlertPresenter alerts;
    AlertPresenter::setShared(&alerts);
    bool compressing = true;
    int draftFlushes = 0;
    AppStartupHooks& hooks = AppStartupHooks::shared();
    hooks.isCompressingVideo = [&] { return compressing; };
    hooks.flushPendingDraftSaves = [&] { ++draftFlushes; };
    int batches = 0;
    QVRActionLog sending(folder.filePath(QStringLiteral("quit.json")),
                         [&](const QByteArray&, std::function<void(bool)> done) {
                             ++batches;
                             done(true);
                         });
    QVRActionLog::setSharedForTesting(&sending);
    sending.append(QJsonObject{{QStringLiteral("name"), QStringLiteral("Pending")}});

    QVRAppDelegate delegate;
    alerts.queueButton(1); // Cancel
    EXPECT_FALSE(delegate.applicationShouldTerminate());
    ASSERT_EQ(alerts.requests.size(), 1u);
    EXPECT_EQ(alerts.requests[0].messageText, UFM::QUIT_COMPRESSION_WARNING_TEXT());
    EXPECT_EQ(draftFlushes, 0);
    EXPECT_EQ(batches, 0);

    alerts.queueButton(0); // Quit
    EXPECT_TRUE(delegate.applicationShouldTerminate());
    EXPECT_EQ(draftFlushes, 1);
    EXPECT_EQ(batches, 1);
    EXPECT_TRUE(sending.backlog().isEmpty());

    // The compression ending while the question is up makes it moot: it closes by itself and the quit goes on.
    // (Should it stay, it is closed after a while, which answers no.)
    WidgetAlertPresenter boxes;
    AlertPresenter::setShared(&boxes);
    compressing = true;
    QTimer::singleShot(300, [&] { compressing = false; });
    QTimer stays;
    stays.setSingleShot(true);
    QObject::connect(&stays, &QTimer::timeout, [] {
        if (QWidget* box = QApplication::activeModalWidget())
            box->close();
    });
    stays.start(5000);
    EXPECT_TRUE(QVRAppDelegate().applicationShouldTerminate());
    AlertPresenter::setShared(nullptr);
}

} // namespace
