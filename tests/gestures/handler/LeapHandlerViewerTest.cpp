#include <QApplication>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "LeapReplay.h"
#include "support/TestEnvironment.h"
#include "gestures/handler/QVR_LeapHandlerView.h"
#include "platform/AppPaths.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "viewer/QVRViewerViewController.h"
#include "viewer/QVRViewerWindow.h"
#include "viewer/QVR_TessarineViewerView.h"
#include "viewer/ViewerLibrary.h"

using namespace replay;

namespace {

class LeapHandlerViewer : public Fixture {
protected:
    void SetUp() override
    {
        Fixture::SetUp();
        ASSERT_TRUE(m_temporary.isValid());
        AppPaths::setTemporaryForTesting(m_temporary.path());
        // The real viewer window, as the application registers it.
        registerViewerLibrary();
    }
    void TearDown() override
    {
        Fixture::TearDown();
        AppPaths::setTemporaryForTesting(QString());
    }

    // Replays a recorded script file one event at a time, like `start` does with built lines.
    void startFromFile(const QString& name)
    {
        const QString folder = TestEnvironment::dataDir();
        ASSERT_FALSE(folder.isEmpty()) << "TESS_TEST_DATA_DIR is not set: it names the folder of the recorded "
                                          "scripts (ctest sets it; see `ctest -R tests_gestures_handler -V -N`)";
        QFile file(folder + QLatin1Char('/') + name);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly))
            << "cannot read the recorded script " << file.fileName().toStdString();
        const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        start(lines);
    }

    QTemporaryDir m_temporary;
};

TEST_F(LeapHandlerViewer, AReplayedLeftSwipePagesTheViewerOnceAndACircleClosesIt)
{
    auto document = ZERI_TessarineModel::create();
    for (int i = 0; i < 3; ++i)
        document->firstFlowmodel()->addFlowScreen(ZERI_FlowScreenModel::create());
    QPointer<QWidget> window = QVRWindowManager::sharedInstance().makeViewerWindowForModel(document);
    auto* viewer = qobject_cast<QVRViewerWindow*>(window.data());
    ASSERT_NE(viewer, nullptr) << "the registered viewer window";
    viewer->resize(800, 600);
    activate(viewer);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(viewer));
    QPointer<QVR_TessarineViewerView> player =
        viewer->windowController()->tessarineViewerViewController()->viewerView();
    ASSERT_TRUE(player);
    ASSERT_EQ(player->numScreens(), 3);
    ASSERT_EQ(player->currentPage(), 0);

    ASSERT_NO_FATAL_FAILURE(startFromFile(QStringLiteral("left-swipe-then-circle.jsonl")));
    // The empty frame, then the swipe's start, update and stop: one page forward.
    step(4);
    ASSERT_TRUE(QTest::qWaitFor([&] { return player && player->currentPage() == 1 && !player->isAnimating(); }, 3000));
    step(4);
    QTest::qWait(50);
    EXPECT_EQ(player->currentPage(), 1) << "the swipe pages once";
    ASSERT_TRUE(window && window->isVisible());

    // The circle passes two turns while the viewer is in front: the viewer closes.
    step(6);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window || !window->isVisible(); }, 3000));
    EXPECT_TRUE(backend->isFinished());
}

TEST_F(LeapHandlerViewer, ThePointerOverlayLeavesTheViewerWindowShowingUnderIt)
{
    auto document = ZERI_TessarineModel::create();
    document->firstFlowmodel()->addFlowScreen(ZERI_FlowScreenModel::create());
    auto* viewer =
        qobject_cast<QVRViewerWindow*>(QVRWindowManager::sharedInstance().makeViewerWindowForModel(document));
    ASSERT_NE(viewer, nullptr);
    viewer->resize(800, 600);
    activate(viewer);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(viewer));
    QVR_TessarineViewerView* player = viewer->windowController()->tessarineViewerViewController()->viewerView();

    const QSize client = viewer->size();
    const QPoint finger(client.width() / 2, client.height() / 2);
    QVR_LeapHandler& handler = start({event("connect"), frame({pointableAt(1, finger, client, 0.5)})});
    handler.setHandlerView(new QVR_LeapHandlerView);
    step();
    ASSERT_EQ(handler.handlerView()->parentWidget(), viewer);
    ASSERT_TRUE(handler.handlerView()->isVisible());

    // The whole window as it shows: the white screen of the player around the finger's red disc.
    const QImage shot = viewer->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QPoint screenPoint = player->mapTo(viewer, player->rect().center()) + QPoint(0, 120);
    EXPECT_GT(shot.pixelColor(screenPoint).lightness(), 240) << "the screen under the overlay";
    const QColor disc = shot.pixelColor(finger);
    EXPECT_GT(disc.red(), 200);
    EXPECT_LT(disc.green(), 60);
}

} // namespace
