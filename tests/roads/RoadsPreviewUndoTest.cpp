#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QFileDialog>
#include <QMessageBox>
#include <QScrollArea>
#include <QTest>
#include <QToolButton>

#include "app/QVRAppDelegate.h"
#include "controls/AsynchronousRenderImageView.h"
#include "creator/canvas/QVR_ArtBoardScrollView.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/interaction/QVR_SelectedItemView.h"
#include "creator/thumbnails/QVRThumbnailBar.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "library/lists/QVRMyTessarinesViewController.h"
#include "library/lists/QVRTessarineTileGridItemView.h"
#include "library/lists/TilePreviews.h"
#include "roads/RoadsMatrix.h"
#include "roads/RoadsTestSupport.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "support/UserInput.h"
#include "support/fakeservice/FakeWebService.h"
#include "tessarine_data_model/ModelDrawing.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Shape.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "viewer/QVRViewerTitleBarButtonsHolderView.h"
#include "viewer/QVRViewerViewController.h"
#include "viewer/QVRViewerWindow.h"
#include "viewer/previews/TessarineBackgroundedScreenPreview.h"

using namespace roads;
using namespace roads::matrix;

namespace {

const QRectF kShapeFrame(300, 200, 420, 340);
const QColor kShapeColour(210, 30, 40);

bool isShapeColour(const QColor& colour)
{
    return colour.red() > 170 && colour.green() < 90 && colour.blue() < 90;
}

// The shape's colour under a tile's shading (the pointer over it darkens it).
bool isShapeColourShaded(const QColor& colour)
{
    return colour.red() > 100 && colour.red() > 2 * colour.green() && colour.red() > 2 * colour.blue();
}

bool isWhite(const QColor& colour)
{
    return colour.red() > 225 && colour.green() > 225 && colour.blue() > 225;
}

QByteArray jpegOf(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 85);
    return bytes;
}

// A document of Ann's on the service whose first screen holds a red shape, with the previews the service keeps
// for its screens (its own pictures of them, at web addresses). Its string id.
QString addDocumentWithServerPreviews(const QString& stringID)
{
    FakeWebService* fake = service();
    bool known = false;
    fake->withState([&](FakeWebService::State& state) {
        for (const FakeWebService::Document& held : std::as_const(state.documents))
            known = known || held.stringID == stringID;
    });
    if (known)
        return stringID;
    auto document = ZERI_TessarineModel::create();
    document->setDontSave(true);
    document->firstFlowmodel()->setTitle(stringID);
    for (int index = 0; index < 2; ++index) {
        auto screen = ZERI_FlowScreenModel::create();
        screen->setBackgroundColor(Qt::white);
        document->firstFlowmodel()->addFlowScreen(screen);
        if (index == 0) {
            auto shape = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Shape);
            shape->as<ZERI_MMObject_Shape>()->setShapeType(1);
            shape->as<ZERI_MMObject_Shape>()->setColor(kShapeColour);
            (*shape)->setFrame(kShapeFrame);
            screen->addMixedMediaObject(shape);
        }
        for (const bool text : {true, false}) {
            const QString id = QStringLiteral("%1-preview-%2%3").arg(stringID).arg(index).arg(text ? "" : "-textless");
            const QUrl address = fake->addContent(id, jpegOf(ModelDrawing::renderScreen(*screen, 1.0, false, text)),
                                                  id + QStringLiteral(".jpg"), QStringLiteral("ann"));
            auto asset = ZERI_ContentAsset::create();
            asset->setExternalURL(address);
            asset->setCorvikContentID(id);
            if (text)
                screen->setPreviewScreenShotAsset(asset);
            else
                screen->setPreviewScreenShotAsset_textless(asset);
        }
    }
    FakeWebService::Document record;
    record.stringID = stringID;
    record.owner = QStringLiteral("ann");
    record.title = stringID;
    record.published = true;
    record.documentJson = QString::fromUtf8(document->jsonData());
    record.publishedJson = record.documentJson;
    fake->addDocument(record);
    return stringID;
}

// The copy the viewer's Download makes of the document opened by its address: its package id.
QString downloadedCopy(const QString& stringID)
{
    if (!openAddress(stringID))
        return {};
    QVRViewerWindow* viewer = nullptr;
    if (!waitFor([&] { return (viewer = viewerShowing(stringID)) != nullptr; }, 30000))
        return {};
    QToolButton* download = viewer->windowController()->titleBarButtonsHolderView()->downloadButton();
    if (!waitFor([&] { return download->isVisible(); }, 10000))
        return {};
    QSet<QString> before;
    for (const auto& package : ZERI_qvdFilePackage::allPackages())
        before.insert(package->packageID());
    click(download);
    QString copy;
    waitFor(
        [&] {
            for (const auto& package : ZERI_qvdFilePackage::allPackages())
                if (!before.contains(package->packageID()))
                    copy = package->packageID();
            return !copy.isEmpty();
        },
        15000);
    viewer->close();
    return copy;
}

// The strip's picture of the first screen shows `wanted` where the shape lies, read from what the window shows.
bool stripShows(QVR_CreatorWindow* window, const std::function<bool(const QColor&)>& wanted, QColor* shown)
{
    return waitFor(
        [&] {
            QWidget* item = window->theThumbnailBarView()->itemAtIndex(0)->view();
            auto* picture = item ? item->findChild<TessarineBackgroundedScreenPreview*>() : nullptr;
            if (!picture || !picture->isVisible())
                return false;
            const QPoint at(int(kShapeFrame.center().x() * picture->width() / 1024.0),
                            int(kShapeFrame.center().y() * picture->height() / 748.0));
            UserInput::letRepaintsHappen();
            *shown = UserInput::shownColor(picture, at);
            return wanted(*shown);
        },
        20000);
}

// The document's tile shows `wanted` where the shape lies; the tile is looked for afresh each time, as My Documents
// lays its tiles out anew when packages change.
bool tileShows(const QString& packageID, const std::function<bool(const QColor&)>& wanted, QColor* shown)
{
    return waitFor(
        [&] {
            QVRTessarineTileGridItemView* tile = tileOf(packageID);
            auto* picture = tile ? tile->findChild<AsynchronousRenderImageView*>() : nullptr;
            if (!picture)
                return false;
            // Scrolled to, as the user would: with many documents the tile may lie below the window's edge.
            for (QWidget* up = tile->parentWidget(); up; up = up->parentWidget()) {
                if (auto* area = qobject_cast<QScrollArea*>(up)) {
                    area->ensureWidgetVisible(tile);
                    break;
                }
            }
            const QPoint at = picture->mapTo(tile, QPoint(int(kShapeFrame.center().x() * picture->width() / 1024.0),
                                                          int(kShapeFrame.center().y() * picture->height() / 748.0)));
            UserInput::letRepaintsHappen();
            *shown = UserInput::shownColor(tile, at);
            return wanted(*shown);
        },
        30000);
}

class PreviewUndoRoad : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(service());
        application();
        ASSERT_TRUE(leaveFirstLaunchTour());
    }
    void TearDown() override
    {
        closeDocumentWindows();
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->isVisible() && (qobject_cast<QMessageBox*>(widget) || qobject_cast<QFileDialog*>(widget)))
                widget->close();
        }
    }
};

} // namespace

// A copy that came from the service, opened from its tile: the shape deleted from the canvas leaves the strip's
// picture, Edit › Undo brings it back there, and the tile written when the window closes shows it too.
TEST_F(PreviewUndoRoad, UndoInACopyFromTheServiceBringsTheShapeBackToTheStripAndTheTile)
{
    const QString copy = downloadedCopy(addDocumentWithServerPreviews(QStringLiteral("undone1")));
    ASSERT_FALSE(copy.isEmpty()) << "no copy in My Documents";
    ASSERT_TRUE(bringHomeWindowToFront());
    QVRTessarineTileGridItemView* tile = nullptr;
    ASSERT_TRUE(waitFor([&] { return (tile = tileOf(copy)) != nullptr; }));
    click(tile);
    QVR_CreatorWindow* window = nullptr;
    ASSERT_TRUE(waitFor([&] { return (window = creatorShowing(copy)) != nullptr; }, 30000));
    ASSERT_TRUE(waitFor([&] { return window->currentIndex() == 0 && window->theArtBoard(); }));
    const auto screen = window->currentModel()->firstFlowmodel()->screenModels().front();
    ASSERT_FALSE(screen->previewScreenShotAsset()->externalURL().isLocalFile()) << "not the server's preview";
    QColor shown;
    ASSERT_TRUE(stripShows(window, isShapeColour, &shown)) << "the strip shows " << shown.name().toStdString();

    // The shape clicked and deleted with the key.
    QVR_ArtBoardScrollView* view = window->theArtBoard()->theScrollView();
    view->ensureVisible(kShapeFrame);
    QApplication::processEvents();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->mapFromScene(kShapeFrame.center()));
    ASSERT_TRUE(waitFor([&] { return window->selectedItemView()->selectedViews().size() == 1; }, 5000));
    UserInput::pressKey(view, Qt::Key_Delete);
    ASSERT_TRUE(waitFor([&] { return screen->mixedMediaObjects().empty(); }, 5000));
    EXPECT_TRUE(stripShows(window, isWhite, &shown)) << "the strip still shows " << shown.name().toStdString();
    // The draft that names the screen's new picture is written meanwhile.
    QTest::qWait(1500);

    ASSERT_TRUE(chooseMenuItem(window, QStringLiteral("undo")));
    ASSERT_TRUE(waitFor([&] { return screen->mixedMediaObjects().size() == 1; }, 5000));
    EXPECT_TRUE(stripShows(window, isShapeColour, &shown))
        << "after Undo the strip shows " << shown.name().toStdString();

    window->close();
    ASSERT_TRUE(waitFor([&] { return creatorShowing(copy) == nullptr; }));
    ASSERT_TRUE(bringHomeWindowToFront());
    const auto package = ZERI_qvdFilePackage::packageForID(copy);
    ASSERT_TRUE(package);
    const auto described = [&] {
        QFile draft(package->draftFilePath());
        const auto onDisk =
            draft.open(QIODevice::ReadOnly) ? ZERI_TessarineModel::initWithJsonData(draft.readAll()) : nullptr;
        const QImage picture(package->metaData().previewScreenshotFilePath());
        const QColor inPicture = picture.isNull()
                                     ? QColor()
                                     : picture.pixelColor(int(kShapeFrame.center().x() * picture.width() / 1024.0),
                                                          int(kShapeFrame.center().y() * picture.height() / 748.0));
        return QStringLiteral("draft objects %1, picture shows %2")
            .arg(onDisk ? int(onDisk->firstFlowmodel()->screenModels().front()->mixedMediaObjects().size()) : -1)
            .arg(inPicture.name())
            .toStdString();
    };
    EXPECT_TRUE(tileShows(copy, isShapeColourShaded, &shown))
        << "the tile shows " << shown.name().toStdString() << "; tile pictures pending " << TilePreviews::pendingCount()
        << ", this one needed " << TilePreviews::needsPreview(*package) << ", "
        << package->metaData().previewScreenshotFilePath().toStdString() << "; " << described()
        << "; over the tile: " << whatCovers(tileOf(copy)).toStdString();
}
