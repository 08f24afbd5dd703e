#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QJsonDocument>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include "app/QVRAppDelegate.h"
#include "creator/addition/QVR_AddElementMenuViewController.h"
#include "creator/addition/QVR_AddShapeMenuViewController.h"
#include "creator/toolbar/QVR_CreatorToolBarView.h"
#include "creator/toolbar/QVR_ToolbarButton.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "foundation/Tessutils.h"
#include "library/lists/QVRMyTessarinesViewController.h"
#include "library/lists/QVRTessarineTileGridItemView.h"
#include "library/publish/QVREditTessarineDetailsWindowController.h"
#include "library/publish/QVRSaveAndPostUtils.h"
#include "library/share/QVRSharePostedTessarineWindowController.h"
#include "roads/RoadsMatrix.h"
#include "roads/RoadsTestSupport.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "storage/ZERI_qvdFilePackageMetadata.h"
#include "strings/UFM.h"
#include "support/fakeservice/FakeWebService.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "viewer/QVRViewerTitleBarButtonsHolderView.h"
#include "viewer/QVRViewerWindow.h"
#include "viewer/QVRiPadPreviewWindow.h"

using namespace roads;
using namespace roads::matrix;

namespace {

// The service's record of a document, or none.
std::optional<FakeWebService::Document> recordOf(const QString& apiID)
{
    if (apiID.isEmpty())
        return std::nullopt;
    const FakeWebService::State state = matrix::service()->state();
    const auto found = state.documents.find(apiID);
    if (found == state.documents.end() || found->deleted)
        return std::nullopt;
    return *found;
}

QSet<QString> packageIDs()
{
    QSet<QString> ids;
    for (const auto& package : ZERI_qvdFilePackage::allPackages())
        ids.insert(package->packageID());
    return ids;
}

// The one package made since `before` was taken, once it is there.
QString newPackageSince(const QSet<QString>& before)
{
    QString made;
    waitFor(
        [&] {
            for (const QString& id : packageIDs())
                if (!before.contains(id))
                    made = id;
            return !made.isEmpty();
        },
        15000);
    return made;
}

// A shape added through the Insert menu on the shown screen.
bool insertShape(QVR_CreatorWindow* window)
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

// After every publishing step the tile says what the package on disk and the service's record say: its badge, its
// tooltip's id, its menu's Unpost, its analytics button and what its Share opens.
class PublishingStateRoad : public ::testing::Test {
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
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->isVisible() && (qobject_cast<QMessageBox*>(widget) || qobject_cast<QFileDialog*>(widget) ||
                                        qobject_cast<QVRSharePostedTessarineWindowController*>(widget) ||
                                        qobject_cast<QVREditTessarineDetailsWindowController*>(widget)))
                widget->close();
        }
        // Ann is signed in for whatever runs next, as the service's start left her.
        if (Tessutils::corvikUserDict().stringForKey(QStringLiteral("username")) != u"ann") {
            EXPECT_TRUE(signOut());
            EXPECT_TRUE(signInThroughWall(application().listsWindow(), QStringLiteral("ann"), QStringLiteral("pw")));
        }
    }

    // The tile of `packageID` against the package on disk and the service's record, which must both say `posted`.
    void expectAgrees(const QString& packageID, bool posted, const char* step)
    {
        SCOPED_TRACE(step);
        ASSERT_TRUE(bringHomeWindowToFront());
        // A copy shows in My Documents once it has been made whole.
        ASSERT_TRUE(waitFor([&] { return tileOf(packageID) != nullptr; })) << "no tile";
        const auto package = ZERI_qvdFilePackage::packageForID(packageID);
        ASSERT_TRUE(package) << "no package";
        EXPECT_EQ(package->publishedVersionExists(), posted) << "the package on disk";
        if (!posted) {
            EXPECT_TRUE(package->hasSomethingToPost()) << "the package's record of what was posted";
        }
        const auto record = recordOf(package->metaData().apiID());
        EXPECT_EQ(record && record->published, posted) << "the service's record";
        const QString stringID = package->metaData().stringID();
        if (posted) {
            ASSERT_FALSE(stringID.isEmpty());
        }

        QVRTessarineTileGridItemView* tile = nullptr;
        const auto shows = [&](bool badge) {
            tile = tileOf(packageID);
            return tile && tile->publishedView()->isVisibleTo(tile) == badge &&
                   tile->analyticsButton()->isVisibleTo(tile) == badge;
        };
        // Through a refresh and a while, as the user looks again.
        ASSERT_TRUE(waitFor([&] { return shows(posted); }, 10000)) << "the badge and the analytics button";
        ASSERT_TRUE(chooseMenuItem(application().listsWindow(), QStringLiteral("refresh")));
        QTest::qWait(300);
        ASSERT_TRUE(waitFor([&] { return shows(posted); }, 10000)) << "after a refresh";
        const QString tip = tile->toolTip();
        if (posted)
            EXPECT_TRUE(tip.contains(QStringLiteral("ID: ") + stringID)) << tip.toStdString();
        else
            EXPECT_FALSE(tip.contains(QStringLiteral("ID:"))) << tip.toStdString();

        QMenu* menu = tile->contextMenu();
        menu->popup(tile->mapToGlobal(tile->rect().center()));
        ASSERT_TRUE(waitFor([&] { return menu->isVisible(); }, 5000));
        EXPECT_EQ(tile->unpublishMenuItem()->isEnabled(), posted) << "Unpost";
        menu->close();
        ASSERT_TRUE(waitFor([&] { return !menu->isVisible(); }, 5000));

        // Share: the posted document's address and embed code; an unposted one goes to its details first. Either
        // window may hold the click in a loop of its own: it is answered from a timer.
        QString address, embedCode;
        bool shared = false, asked = false, sharesAsPosted = false;
        {
            Answerer answer([&] {
                if (auto* share = visibleTopLevel<QVRSharePostedTessarineWindowController>(); share && !shared) {
                    shared = true;
                    address = share->copyAddressField()->text();
                    embedCode = share->copyEmbedCodeField()->text();
                    click(share->doneButton());
                }
                if (auto* details = visibleTopLevel<QVREditTessarineDetailsWindowController>(); details && !asked) {
                    asked = true;
                    click(details->cancelButton());
                }
            });
            // Share shows the posted document's address, or, with something not yet posted (a draft written since),
            // asks to post it first.
            if (const auto loaded = package->model())
                waitFor([&] { return !loaded->isSaveScheduled(); }, 10000);
            sharesAsPosted = posted && !package->hasSomethingToPost();
            click(tile->shareButton());
            waitFor([&] { return shared || asked; }, 15000);
        }
        EXPECT_TRUE(waitFor(
            [] {
                return !visibleTopLevel<QVRSharePostedTessarineWindowController>() &&
                       !visibleTopLevel<QVREditTessarineDetailsWindowController>();
            },
            5000));
        if (sharesAsPosted) {
            EXPECT_TRUE(shared && !asked)
                << "Share did not show the posted document's address (shared " << shared << ", asked for details "
                << asked << ", address \"" << address.toStdString() << "\")";
            EXPECT_TRUE(address.contains(stringID)) << address.toStdString();
            EXPECT_TRUE(embedCode.contains(stringID)) << embedCode.toStdString();
        } else {
            EXPECT_TRUE(asked && !shared) << "Share of a document with something to post did not ask for its details"
                                          << (shared ? (" (it shared \"" + address.toStdString() + "\")") : "");
        }
    }

    // The tile's context menu item reading `text`, chosen.
    static bool chooseTileMenuItem(const QString& packageID, const QString& text)
    {
        QVRTessarineTileGridItemView* tile = tileOf(packageID);
        if (!tile)
            return false;
        QMenu* menu = tile->contextMenu();
        menu->popup(tile->mapToGlobal(tile->rect().center()));
        if (!waitFor([&] { return menu->isVisible(); }, 5000))
            return false;
        for (QAction* action : menu->actions()) {
            if (action->text().compare(text, Qt::CaseInsensitive) == 0 && action->isEnabled()) {
                QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
                return true;
            }
        }
        menu->close();
        ADD_FAILURE() << "no enabled item " << text.toStdString();
        return false;
    }
};

TEST_F(PublishingStateRoad, TheTileSaysWhatThePackageAndTheServiceSayAfterEveryStep)
{
    QVR_CreatorWindow* window = createDocumentFromPlusTile();
    ASSERT_TRUE(window);
    ASSERT_TRUE(insertShape(window));
    const QString packageID = window->currentModel()->qvdID();
    expectAgrees(packageID, false, "made here");

    ASSERT_TRUE(publish(window, QStringLiteral("State road")));
    expectAgrees(packageID, true, "post");

    // Update: an edit posted again.
    window->activateWindow();
    ASSERT_TRUE(waitFor([&] { return QApplication::activeWindow() == window; }, 5000));
    ASSERT_TRUE(insertShape(window));
    ASSERT_TRUE(publish(window, QStringLiteral("State road")));
    expectAgrees(packageID, true, "update");
    const auto record = recordOf(window->currentModel()->apiID());
    ASSERT_TRUE(record);
    EXPECT_TRUE(record->publishedJson.count(QStringLiteral("\"frame\"")) >= 2) << "the update was not posted";

    // Remix with the viewer's download button: a copy of the user's own, never posted.
    QSet<QString> before = packageIDs();
    QVRViewerWindow* viewer = play(window);
    ASSERT_TRUE(viewer);
    QToolButton* download = viewer->windowController()->titleBarButtonsHolderView()->downloadButton();
    ASSERT_TRUE(waitFor([&] { return download->isVisible(); }, 10000)) << "no Download in the viewer";
    click(download);
    const QString viewerCopy = newPackageSince(before);
    ASSERT_FALSE(viewerCopy.isEmpty()) << "no copy from the viewer";
    viewer->close();
    expectAgrees(viewerCopy, false, "remix from the viewer");
    expectAgrees(packageID, true, "the original after a remix");

    // Remix with the tablet preview's download button.
    before = packageIDs();
    window->activateWindow();
    ASSERT_TRUE(waitFor([&] { return QApplication::activeWindow() == window; }, 5000));
    ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("showiPadPreview")));
    QVRiPadPreviewWindow* tablet = nullptr;
    ASSERT_TRUE(waitFor([&] { return (tablet = visibleTopLevel<QVRiPadPreviewWindow>()) != nullptr; }, 15000));
    QToolButton* tabletDownload = tablet->windowController()->titleBarButtonsHolderView()->downloadButton();
    ASSERT_TRUE(waitFor([&] { return tabletDownload->isVisible(); }, 10000)) << "no Download in the tablet preview";
    click(tabletDownload);
    const QString tabletCopy = newPackageSince(before);
    ASSERT_FALSE(tabletCopy.isEmpty()) << "no copy from the tablet preview";
    tablet->close();
    expectAgrees(tabletCopy, false, "remix from the tablet preview");

    // Duplicate from the tile's menu.
    before = packageIDs();
    ASSERT_TRUE(bringHomeWindowToFront());
    ASSERT_TRUE(chooseTileMenuItem(packageID, UFM::DUPLICATE_TEXT()));
    const QString duplicate = newPackageSince(before);
    ASSERT_FALSE(duplicate.isEmpty()) << "no duplicate";
    expectAgrees(duplicate, false, "duplicate");

    // Unpost from the tile's menu, confirmed.
    {
        bool confirmed = false;
        Answerer answer([&] {
            if (auto* sheet = visibleTopLevel<QVR_UnpostConfirmationWindowController>(); sheet && !confirmed) {
                confirmed = true;
                click(sheet->confirmBtn());
            }
        });
        ASSERT_TRUE(bringHomeWindowToFront());
        ASSERT_TRUE(chooseTileMenuItem(packageID, UFM::UNPOST_TEXT()));
        ASSERT_TRUE(waitFor([&] { return confirmed; }, 10000)) << "no confirmation";
    }
    ASSERT_TRUE(waitFor([&] {
        const auto unposted = recordOf(window->currentModel()->apiID());
        return unposted && !unposted->published;
    })) << "the service still has it posted";
    expectAgrees(packageID, false, "unpost");

    // Delete the duplicate from its tile's menu: its tile and its package go.
    ASSERT_TRUE(bringHomeWindowToFront());
    {
        bool answered = false;
        Answerer answer([&] {
            if (auto* alert = visibleTopLevel<QMessageBox>(); alert && !answered) {
                answered = true;
                click(alert->buttons().first());
            }
        });
        ASSERT_TRUE(chooseTileMenuItem(duplicate, UFM::DELETE_TEXT()));
        ASSERT_TRUE(waitFor([&] { return answered; }, 10000)) << "no alert";
    }
    EXPECT_TRUE(waitFor([&] { return !tileOf(duplicate) && !ZERI_qvdFilePackage::packageForID(duplicate); }))
        << "the deleted document stays";
    expectAgrees(packageID, false, "the original after a delete");

    // Signed out and in as Bob: his posted document shows posted, Ann's are gone.
    const QString bobs = addPublishedDocument(QStringLiteral("bobstate"), QStringLiteral("bob"), 1, false);
    closeDocumentWindows();
    ASSERT_TRUE(signOut());
    ASSERT_TRUE(signInThroughWall(application().listsWindow(), QStringLiteral("bob"), QStringLiteral("pw")));
    QString bobsPackage;
    ASSERT_TRUE(waitFor([&] {
        for (const auto& package : ZERI_qvdFilePackage::allPackages())
            if (package->metaData().stringID() == bobs)
                bobsPackage = package->packageID();
        return !bobsPackage.isEmpty() && tileOf(bobsPackage);
    })) << "Bob's document did not come";
    EXPECT_FALSE(tileOf(packageID)) << "Ann's document shows to Bob";
    expectAgrees(bobsPackage, true, "signed in as another user");
}

} // namespace
