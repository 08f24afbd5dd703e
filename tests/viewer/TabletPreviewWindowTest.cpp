#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <QScreen>
#include <QTest>
#include <QToolButton>

#include "ViewerTestSupport.h"
#include "app/AppOpenRequestUi.h"
#include "app/AppStartupHooks.h"
#include "app/QVRAppDelegate.h"
#include "app/QVRWindowManager.h"
#include "controls/ControlsArtwork.h"
#include "controls/FloatingWindowCloser.h"
#include "creator/CreatorLibrary.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "foundation/Tessutils.h"
#include "service/OpenRequestUi.h"
#include "storage/ZERI_qvdFilePackageMetadata.h"
#include "viewer/QVRViewerViewController.h"
#include "viewer/QVRiPadPreviewWindow.h"

using namespace viewertest;

namespace {

std::shared_ptr<ZERI_qvdFilePackage> packageOf(const std::shared_ptr<ZERI_TessarineModel>& document)
{
    return std::dynamic_pointer_cast<ZERI_qvdFilePackage>(document->filePackage());
}

class TabletPreviewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(env.started());
        ControlsArtwork::registerNamedImages();
        registerCreatorLibrary();
        registerViewerLibrary();
        OpenRequestUi::registerUi(std::make_shared<AppOpenRequestUi>());
        QVRAppDelegate::setUserNotificationRecorderForTesting(
            [this](const QString& title, const QString&, const QString&) { notices.append(title); });
    }
    void TearDown() override
    {
        QVRWindowManager::sharedInstance().closeAllWindowsExceptMyFlows();
        QApplication::processEvents();
        OpenRequestUi::registerUi(nullptr);
        AppStartupHooks::resetForTesting();
        QVRAppDelegate::setUserNotificationRecorderForTesting({});
        ZERI_qvdFilePackage::setPackagesFolder(QString());
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

    static std::shared_ptr<ZERI_TessarineModel> makeDocument(const QString& title, const QString& owner, int type,
                                                             bool remixable)
    {
        auto document = saveDocumentWith(nullptr, title);
        document->firstFlowmodel()->addFlowScreen(ZERI_FlowScreenModel::create());
        document->firstFlowmodel()->addFlowScreen(ZERI_FlowScreenModel::create());
        document->setCanRemix(remixable);
        const auto package = packageOf(document);
        package->metaData().setOwner(QJsonObject{{QStringLiteral("username"), owner}});
        package->metaData().setPackageType(type);
        package->saveModel();
        package->saveMetadata();
        return document;
    }

    // Opens the document in a tablet preview through an open request, as the creator's command does.
    static QVRiPadPreviewWindow* open(const std::shared_ptr<ZERI_TessarineModel>& document)
    {
        bool done = false;
        int code = -1;
        auto request = QVROpenRequest::request();
        request->setOpenCue(document);
        request->setOptions(QVROpenRequest::TabletPreviewWindow);
        request->open([&](const Error& error) {
            done = true;
            code = error.isNull() ? 0 : error.code;
        });
        EXPECT_TRUE(QTest::qWaitFor([&] { return done; }, 3000));
        EXPECT_EQ(code, 0);
        return tablets().empty() ? nullptr : tablets().back();
    }

    static std::vector<QVRiPadPreviewWindow*> tablets()
    {
        std::vector<QVRiPadPreviewWindow*> found;
        QVRWindowManager& manager = QVRWindowManager::sharedInstance();
        for (QWidget* window : manager.windows()) {
            if (manager.kindOfWindow(window) == QVRWindowManager::WindowKind::TabletPreview)
                if (auto* tablet = qobject_cast<QVRiPadPreviewWindow*>(window))
                    found.push_back(tablet);
        }
        return found;
    }

    static QStringList packageFolders()
    {
        return QDir(ZERI_qvdFilePackage::tessarinesFolder()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    }

    QStringList notices;
    ScopedViewerEnvironment env;
};

TEST_F(TabletPreviewTest, PlaysAFramelessTranslucentCopyThatTheSourceNeverReachesAndLeavesNoPackage)
{
    auto document = makeDocument(QStringLiteral("Source"), QStringLiteral("bob"), 2, false);
    const QStringList foldersBefore = packageFolders();
    QVRiPadPreviewWindow* tablet = open(document);
    ASSERT_NE(tablet, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(tablet));
    EXPECT_TRUE(tablet->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(tablet->testAttribute(Qt::WA_TranslucentBackground));
    // The tests' screen is smaller than the device: the whole device shrinks onto it, keeping its shape.
    const QRect available = tablet->screen()->availableGeometry();
    ASSERT_LT(available.height(), 748 + 160);
    EXPECT_TRUE(available.contains(tablet->frameGeometry()));
    const double scale = double(tablet->height()) / (748 + 160);
    EXPECT_NEAR(double(tablet->width()) / tablet->height(), (1024.0 + 160) / (748 + 160), 0.01);
    const auto at = [scale](int x, int y) { return QPoint(int(x * scale), int(y * scale)); };
    // Shaped as the device, so its corners are no window at all where no compositor would show them clear; the
    // device's edges and its screen are within.
    const QRegion shape = tablet->mask();
    for (const QPoint corner : {at(2, 2), at(1181, 2), at(2, 905), at(1181, 905)})
        EXPECT_FALSE(shape.contains(corner)) << corner.x() << "," << corner.y();
    for (const QPoint inside : {at(592, 3), at(3, 454), at(60, 60), at(592, 454)})
        EXPECT_TRUE(shape.contains(inside)) << inside.x() << "," << inside.y();
    // The close button lies on the device's bezel, not in a corner cut away.
    QToolButton* close = FloatingWindowCloser::of(tablet)->closeButton();
    EXPECT_TRUE(close->isVisible());
    EXPECT_TRUE(shape.intersected(close->geometry()) == QRegion(close->geometry())) << close->x() << "," << close->y();

    QVR_TessarineViewerView* player = tablet->windowController()->tessarineViewerViewController()->viewerView();
    EXPECT_NEAR(player->width(), 1024 * scale, 1.0);
    EXPECT_NEAR(player->height(), 748 * scale, 1.0);
    ASSERT_NE(player->flowModel(), nullptr);
    EXPECT_NE(player->flowModel(), document->firstFlowmodel());
    EXPECT_EQ(player->numScreens(), 3);
    EXPECT_EQ(tablet->windowController()->shallowCopy()->filePackage(), nullptr);

    // Renaming and editing the source change nothing shown.
    document->firstFlowmodel()->setTitle(QStringLiteral("Renamed"));
    document->firstFlowmodel()->addFlowScreen(ZERI_FlowScreenModel::create());
    EXPECT_EQ(player->flowModel()->title(), QStringLiteral("Source"));
    EXPECT_EQ(player->numScreens(), 3);

    // Reachable as a preview window: the page asked for by the creator is shown.
    tablet->scrollToPage(2, false);
    EXPECT_EQ(player->currentPage(), 2);

    tablet->close();
    QApplication::processEvents();
    EXPECT_EQ(packageFolders(), foldersBefore);
}

TEST_F(TabletPreviewTest, DownloadShowsWhereRemixIsAllowedAndAFailingRemixPostsNothing)
{
    signIn(QStringLiteral("ada"));
    QVRiPadPreviewWindow* theirs = open(makeDocument(QStringLiteral("Theirs"), QStringLiteral("bob"), 2, false));
    ASSERT_NE(theirs, nullptr);
    EXPECT_TRUE(theirs->windowController()->titleBarButtonsHolderView()->downloadButton()->isHidden());
    EXPECT_TRUE(theirs->windowController()->titleBarButtonsHolderView()->fullscreenButton()->isHidden());

    auto ownDocument = makeDocument(QStringLiteral("Mine"), QStringLiteral("ada"), 1, false);
    QVRiPadPreviewWindow* own = open(ownDocument);
    ASSERT_NE(own, nullptr);
    QToolButton* download = own->windowController()->titleBarButtonsHolderView()->downloadButton();
    EXPECT_FALSE(download->isHidden());
    // The own draft is logged as a draft view, with the owner's role.
    const auto drafts = env.events(QStringLiteral("Tessarine Draft Viewed"));
    ASSERT_EQ(drafts.size(), 1);
    EXPECT_EQ(drafts.front().value(QStringLiteral("parameters")).toObject().value(QStringLiteral("action_value")),
              QStringLiteral("isOwner"));
    EXPECT_EQ(env.events(QStringLiteral("Tessarine Viewed")).size(), 1);

    // A copy that cannot be written posts no notice.
    const auto kept = packageOf(ownDocument);
    QTemporaryDir dir;
    QFile blocker(dir.filePath(QStringLiteral("file")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    ZERI_qvdFilePackage::setPackagesFolder(dir.filePath(QStringLiteral("file/under")));
    download->click();
    QTest::qWait(100);
    EXPECT_TRUE(notices.isEmpty());
    EXPECT_EQ(env.events(QStringLiteral("Tessarine Remix")).size(), 1);
    ZERI_qvdFilePackage::setPackagesFolder(QString());

    signIn(QStringLiteral("root"), true);
    QVRiPadPreviewWindow* asAdmin = open(makeDocument(QStringLiteral("Any"), QStringLiteral("bob"), 2, false));
    ASSERT_NE(asAdmin, nullptr);
    EXPECT_FALSE(asAdmin->windowController()->titleBarButtonsHolderView()->downloadButton()->isHidden());
}

TEST_F(TabletPreviewTest, DraggingUpStopsAtTheScreensAvailableTopAndOtherDirectionsAreFree)
{
    QVRiPadPreviewWindow* tablet = open(makeDocument(QStringLiteral("Drag"), QStringLiteral("bob"), 2, false));
    ASSERT_NE(tablet, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(tablet));
    const int top = tablet->screen()->availableGeometry().top();
    tablet->move(100, top + 200);
    QApplication::processEvents();

    auto drag = [&](const QPoint& by) {
        const QPointF start(40, 400);
        QMouseEvent press(QEvent::MouseButtonPress, start, tablet->mapToGlobal(start), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(tablet, &press);
        const QPointF to = start + QPointF(by);
        QMouseEvent move(QEvent::MouseMove, to, tablet->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(tablet, &move);
        QMouseEvent release(QEvent::MouseButtonRelease, to, tablet->mapToGlobal(to), Qt::LeftButton, Qt::NoButton,
                            Qt::NoModifier);
        QApplication::sendEvent(tablet, &release);
        QApplication::processEvents();
    };
    drag(QPoint(0, -500));
    EXPECT_EQ(tablet->pos(), QPoint(100, top));
    drag(QPoint(0, 300));
    EXPECT_EQ(tablet->pos(), QPoint(100, top + 300));
    drag(QPoint(-250, 0));
    EXPECT_EQ(tablet->pos(), QPoint(-150, top + 300));
    drag(QPoint(400, 0));
    EXPECT_EQ(tablet->pos(), QPoint(250, top + 300));
}

TEST_F(TabletPreviewTest, TheCreatorsCommandOpensThePreviewAtTheScreenBeingEdited)
{
    auto document = makeDocument(QStringLiteral("Edited"), QStringLiteral("bob"), 2, false);
    auto request = QVROpenRequest::request();
    request->setOpenCue(document);
    bool done = false;
    request->open([&](const Error&) { done = true; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 3000));
    auto* creator =
        qobject_cast<QVR_CreatorWindow*>(QVRWindowManager::sharedInstance().creatorWindowForModel(document));
    ASSERT_NE(creator, nullptr);
    creator->setCurrentIndex(1);
    QApplication::setActiveWindow(creator);

    EXPECT_TRUE(QVRWindowManager::sharedInstance().validateMenuItem(QStringLiteral("showiPadPreview")));
    EXPECT_TRUE(QVRWindowManager::sharedInstance().performMenuAction(QStringLiteral("showiPadPreview"), 0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !tablets().empty(); }, 3000));
    QVRiPadPreviewWindow* tablet = tablets().front();
    QVR_TessarineViewerView* player = tablet->windowController()->tessarineViewerViewController()->viewerView();
    EXPECT_TRUE(QTest::qWaitFor([&] { return player->currentPage() == 1; }, 3000));
    EXPECT_EQ(tablet->windowController()->tessarineModel(), document);
}

} // namespace
