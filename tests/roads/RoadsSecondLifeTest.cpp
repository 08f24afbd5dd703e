#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QTest>
#include <QToolButton>

#include "app/QVRAppDelegate.h"
#include "creator/addition/QVR_AddElementMenuViewController.h"
#include "creator/addition/QVR_AddShapeMenuViewController.h"
#include "creator/toolbar/QVR_CreatorToolBarView.h"
#include "creator/toolbar/QVR_ToolbarButton.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "foundation/Tessutils.h"
#include "library/lists/QVRTessarineListsWindowController.h"
#include "library/lists/QVRMyTessarinesViewController.h"
#include "library/lists/QVRTessarineTileGridItemView.h"
#include "roads/RoadsMatrix.h"
#include "roads/RoadsTestSupport.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "storage/ZERI_qvdFilePackageMetadata.h"
#include "support/fakeservice/FakeWebService.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "viewer/QVRViewerViewController.h"
#include "viewer/QVRViewerWindow.h"
#include "viewer/QVR_TessarineViewerView.h"

using namespace roads;
using namespace roads::matrix;

namespace {

QVRTessarineListsWindowController* lists()
{
    QWidget* window = application().listsWindow();
    return window ? window->findChild<QVRTessarineListsWindowController*>() : nullptr;
}

bool addShape(QVR_CreatorWindow* window)
{
    const int before = countObjects(shownScreen(window), ZERI_MixedMediaObject::Shape);
    if (!insert(window, &QVR_AddElementMenuViewController::shapeCell))
        return false;
    QVR_AddShapeMenuViewController* shapes = nullptr;
    if (!waitFor([&] { return (shapes = openedMenu<QVR_AddShapeMenuViewController>()) != nullptr; }))
        return false;
    click(shapes->menuView()->buttons().first());
    return waitFor([&] { return countObjects(shownScreen(window), ZERI_MixedMediaObject::Shape) == before + 1; }) &&
           waitFor([&] { return window->theToolBarView()->insertButton()->isEnabled(); });
}

int shapesPlayed(QVRViewerWindow* viewer)
{
    const auto screen =
        viewer->windowController()->tessarineViewerViewController()->viewerView()->currentlyDisplayedFlowScreen();
    return screen ? countObjects(screen, ZERI_MixedMediaObject::Shape) : -1;
}

// A document's later life as its user meets it: played again after an edit, the Catalog refreshed, a document
// first seen signed out.
class SecondLifeRoad : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(matrix::service());
        application();
        ASSERT_TRUE(leaveFirstLaunchTour());
    }
    void TearDown() override
    {
        closeDocumentWindows();
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (widget->isVisible() && qobject_cast<QMessageBox*>(widget))
                widget->close();
        if (auto* controller = lists();
            controller &&
            controller->selectedViewController() != static_cast<QObject*>(controller->myTessarinesViewController()))
            controller->openMyTessarines();
        if (Tessutils::corvikUserDict().stringForKey(QStringLiteral("username")) != u"ann") {
            EXPECT_TRUE(signOut());
            EXPECT_TRUE(signInThroughWall(application().listsWindow(), QStringLiteral("ann"), QStringLiteral("pw")));
        }
    }
};

// View pressed again while the document's viewer is open: the viewer comes forward playing the document as it is
// now, with the shape added since.
TEST_F(SecondLifeRoad, ViewPressedAgainPlaysTheDocumentAsItIsNow)
{
    QVR_CreatorWindow* window = createDocumentFromPlusTile();
    ASSERT_TRUE(window);
    ASSERT_TRUE(addShape(window));
    QVRViewerWindow* viewer = play(window);
    ASSERT_TRUE(viewer);
    ASSERT_TRUE(waitFor([&] { return shapesPlayed(viewer) == 1; }));

    window->activateWindow();
    ASSERT_TRUE(waitFor([&] { return QApplication::activeWindow() == window; }, 5000));
    ASSERT_TRUE(addShape(window));
    QVRViewerWindow* again = play(window);
    ASSERT_TRUE(again);
    EXPECT_EQ(again, viewer) << "a second viewer for the same document";
    EXPECT_EQ(viewerWindows().size(), 1);
    EXPECT_TRUE(waitFor([&] { return shapesPlayed(again) == 2; }, 5000))
        << "the viewer plays the document as it was: " << shapesPlayed(again) << " shape(s)";
}

// The Catalog, loaded, then refreshed with the File menu's Refresh (F5): the window says "Updating…" only while
// something is on its way.
TEST_F(SecondLifeRoad, TheCatalogStopsSayingUpdatingOnceRefreshed)
{
    matrix::service()->setPage(QStringLiteral("/catalog"), "text/html",
                               "<html><body style='background:white'><p>Catalog</p></body></html>");
    QVRTessarineListsWindowController* controller = lists();
    ASSERT_TRUE(controller);
    ASSERT_TRUE(bringHomeWindowToFront());
    click(controller->tabButton(QVRTessarineListsWindowController::Catalog));
    ASSERT_TRUE(waitFor(
        [&] {
            return controller->catalogViewController() &&
                   controller->selectedViewController() == static_cast<QObject*>(controller->catalogViewController()) &&
                   !controller->updatingField()->isVisible();
        },
        30000))
        << "the Catalog did not load";
    ASSERT_TRUE(chooseMenuItem(application().listsWindow(), QStringLiteral("refresh")));
    QTest::qWait(1500);
    EXPECT_FALSE(controller->updatingField()->isVisible()) << controller->updatingField()->text().toStdString();
    EXPECT_FALSE(controller->activityIndicator()->isVisible());
}

// A document of Ann's opened by its address while nobody was signed in keeps no description of its own; Ann signs
// in and its tile shows the description the service has.
TEST_F(SecondLifeRoad, ADocumentSeenSignedOutTakesItsDescriptionWhenItsOwnerSignsIn)
{
    const QString stringID = addPublishedDocument(QStringLiteral("described"), QStringLiteral("ann"), 1, false);
    matrix::service()->withState([&](FakeWebService::State& state) {
        for (FakeWebService::Document& document : state.documents)
            if (document.stringID == stringID)
                document.description = QStringLiteral("The spring talk");
    });
    ASSERT_TRUE(signOut());
    ASSERT_TRUE(openAddress(stringID));
    QVRViewerWindow* viewer = nullptr;
    ASSERT_TRUE(waitFor([&] { return (viewer = viewerShowing(stringID)) != nullptr; }, 30000));
    settledOnDocument(viewer);
    closeDocumentWindows();

    ASSERT_TRUE(signInThroughWall(application().listsWindow(), QStringLiteral("ann"), QStringLiteral("pw")));
    QVRTessarineTileGridItemView* tile = nullptr;
    EXPECT_TRUE(waitFor(
        [&] {
            for (const auto& package : ZERI_qvdFilePackage::allPackages())
                if (package->metaData().stringID() == stringID)
                    tile = tileOf(package->packageID());
            return tile && tile->descriptionLabel()->text() == QStringLiteral("The spring talk");
        },
        30000))
        << "the tile's description: " << (tile ? tile->descriptionLabel()->text().toStdString() : "no tile");
}

} // namespace
