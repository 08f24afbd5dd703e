#include <QApplication>
#include <QMenuBar>
#include <QTest>

#include <gtest/gtest.h>

#include "CreatorTestSupport.h"
#include "app/AppOpenRequestUi.h"
#include "app/AppStartupHooks.h"
#include "app/QVRWindowManager.h"
#include "creator/CreatorLibrary.h"
#include "creator/toolbar/QVR_CreatorToolBarView.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "service/QVROpenRequest.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

using namespace creator_test;

namespace {

struct OpenFixture {
    OpenFixture()
    {
        registerCreatorLibrary();
        OpenRequestUi::registerUi(std::make_shared<AppOpenRequestUi>());
    }
    ~OpenFixture()
    {
        for (QWidget* window : QVRWindowManager::sharedInstance().windows())
            delete window;
        OpenRequestUi::registerUi(nullptr);
        AppStartupHooks::resetForTesting();
    }
    // Opens the cue and waits for the request to end; returns its error code (0: none).
    int open(const OpenCue& cue)
    {
        bool done = false;
        int code = -1;
        auto request = QVROpenRequest::request();
        request->setOpenCue(cue);
        request->open([&](const Error& error) {
            done = true;
            code = error.isNull() ? 0 : error.code;
        });
        EXPECT_TRUE(QTest::qWaitFor([&] { return done; }, 3000));
        return code;
    }
    static std::vector<QVR_CreatorWindow*> creatorWindows()
    {
        std::vector<QVR_CreatorWindow*> result;
        for (QWidget* window : QVRWindowManager::sharedInstance().windows())
            if (auto* creator = qobject_cast<QVR_CreatorWindow*>(window))
                result.push_back(creator);
        return result;
    }
};

} // namespace

TEST(CreatorOpenRequest, DocumentsOpenInCreatorWindowsMadeByTheFactory)
{
    OpenFixture f;
    const auto first = makeDocument(2);
    ASSERT_EQ(f.open(first), 0);
    ASSERT_EQ(OpenFixture::creatorWindows().size(), 1u);
    QVR_CreatorWindow* window = OpenFixture::creatorWindows().front();
    EXPECT_EQ(window->currentModel(), first);
    EXPECT_EQ(window->artboards().size(), 2u);
    EXPECT_FALSE(window->isPerformingTessarineDownload()) << "the loading view is gone";

    // A window showing a document is never taken for another one.
    const auto second = makeDocument(1);
    ASSERT_EQ(f.open(second), 0);
    ASSERT_EQ(OpenFixture::creatorWindows().size(), 2u);
    EXPECT_EQ(window->currentModel(), first);
    EXPECT_EQ(QVRWindowManager::sharedInstance().creatorWindowForModel(second), OpenFixture::creatorWindows()[1]);

    // An empty creator window is taken; one showing a loading view is not.
    auto* empty = qobject_cast<QVR_CreatorWindow*>(QVRWindowManager::sharedInstance().makeCreatorWindow());
    ASSERT_TRUE(empty);
    auto* busy = qobject_cast<QVR_CreatorWindow*>(QVRWindowManager::sharedInstance().makeCreatorWindow());
    busy->openRequesterWantsToDisplayLoadingView(AppOpenRequestUi().makeLoadingView("fetching"));
    EXPECT_TRUE(busy->isPerformingTessarineDownload());
    AppOpenRequestUi ui;
    EXPECT_EQ(dynamic_cast<QVR_CreatorWindow*>(ui.creatorWindowForOpen()), empty);
    const auto third = makeDocument(1);
    ASSERT_EQ(f.open(third), 0);
    EXPECT_EQ(empty->currentModel(), third);
    EXPECT_EQ(busy->currentModel(), nullptr);
}

TEST(CreatorOpenRequest, TheToolbarIgnoresTheMouseUntilTheDocumentIsIn)
{
    OpenFixture f;
    AppOpenRequestUi ui;
    auto* window = qobject_cast<QVR_CreatorWindow*>(QVRWindowManager::sharedInstance().makeCreatorWindow());
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->theToolBarView()->isEnabled());
    window->openRequesterWantsToDisplayLoadingView(ui.makeLoadingView("fetching"));
    EXPECT_FALSE(window->theToolBarView()->isEnabled());
    // A second loading view (a retried download) keeps it off.
    window->openRequesterWantsToDisplayLoadingView(ui.makeLoadingView("fetching again"));
    EXPECT_FALSE(window->theToolBarView()->isEnabled());
    const auto document = makeDocument(2);
    window->openRequesterHasFinishedLoadingModel(document);
    EXPECT_TRUE(window->theToolBarView()->isEnabled());
    EXPECT_EQ(window->currentModel(), document);
    EXPECT_EQ(window->artboards().size(), 2u);

    // A borrowed window that gets no document is usable again.
    window->openRequesterWantsToDisplayLoadingView(ui.makeLoadingView("fetching"));
    ASSERT_FALSE(window->theToolBarView()->isEnabled());
    window->openRequesterHasFinishedLoadingModel(nullptr);
    EXPECT_TRUE(window->theToolBarView()->isEnabled());
    EXPECT_FALSE(window->isPerformingTessarineDownload());
    EXPECT_EQ(window->currentModel(), document);
}

TEST(CreatorOpenRequest, AWindowThatGetsNoDocumentClosesOrStaysEmpty)
{
    OpenFixture f;
    AppOpenRequestUi ui;
    // Borrowed: back to its empty state, loading view gone, still open.
    QPointer<QVR_CreatorWindow> borrowed =
        qobject_cast<QVR_CreatorWindow*>(QVRWindowManager::sharedInstance().makeCreatorWindow());
    ASSERT_EQ(dynamic_cast<QVR_CreatorWindow*>(ui.creatorWindowForOpen()), borrowed.data());
    borrowed->openRequesterWantsToDisplayLoadingView(ui.makeLoadingView("fetching"));
    ui.closeWindowBeingPrepared(borrowed);
    QApplication::processEvents();
    ASSERT_TRUE(borrowed);
    EXPECT_TRUE(borrowed->isVisible());
    EXPECT_FALSE(borrowed->isPerformingTessarineDownload());
    EXPECT_EQ(borrowed->currentModel(), nullptr);

    // Made for the request: closed.
    borrowed->launchTessarineWithTessarineModel(makeDocument(1));
    QPointer<QVR_CreatorWindow> made = dynamic_cast<QVR_CreatorWindow*>(ui.creatorWindowForOpen());
    ASSERT_TRUE(made);
    EXPECT_NE(made.data(), borrowed.data());
    ui.closeWindowBeingPrepared(made);
    EXPECT_TRUE(QTest::qWaitFor([&] { return made.isNull(); }, 1000));

    // Without the hooks of later libraries, the request ends without a window.
    EXPECT_EQ(f.open(NewDocumentCue{}), QVROpenRequest::NoWindow);
    bool chooserShown = false;
    AppStartupHooks::shared().showTemplateChooser = [&] { chooserShown = true; };
    EXPECT_EQ(f.open(NewDocumentCue{}), 0);
    EXPECT_TRUE(chooserShown);
    EXPECT_FALSE(ui.showPasswordPrompt("abc", {}, {}));
    EXPECT_FALSE(ui.showRegisterWall("sign in", {}));
    EXPECT_EQ(ui.makeDownloadPanel(), nullptr);
}

TEST(CreatorOpenRequest, TheLoadingViewCoversTheWindowAtEverySize)
{
    OpenFixture f;
    auto* window = qobject_cast<QVR_CreatorWindow*>(QVRWindowManager::sharedInstance().makeCreatorWindow());
    ASSERT_TRUE(window);
    window->resize(900, 700);
    window->show();
    QApplication::processEvents();
    QObject* loading = AppOpenRequestUi().makeLoadingView("fetching");
    auto* view = qobject_cast<QWidget*>(loading);
    ASSERT_TRUE(view);
    window->openRequesterWantsToDisplayLoadingView(loading);
    QApplication::processEvents();
    QWidget* content = window->contentView();
    QWidget* holder = view->parentWidget();
    ASSERT_TRUE(holder && holder->parentWidget() == content);

    // Made larger, then smaller than it began, after it showed; the menu bar stays in sight above it.
    const QMenuBar* bar = content->findChild<QMenuBar*>();
    ASSERT_TRUE(bar && bar->isVisible());
    for (const QSize size : {QSize(1400, 1000), QSize(800, 600)}) {
        window->resize(size);
        QApplication::processEvents();
        const QRect below = content->rect().adjusted(0, bar->geometry().bottom() + 1, 0, 0);
        EXPECT_EQ(holder->geometry(), below) << size.width();
        const QPoint middle = view->mapTo(content, view->rect().center());
        EXPECT_LE((middle - below.center()).manhattanLength(), 2) << size.width();
    }
}
