#include <QApplication>
#include <QFile>
#include <QImageReader>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "CreatorTestSupport.h"
#include "controls/ControlsArtwork.h"
#include "controls/UniversalPopover.h"
#include "creator/canvas/QVR_ArtBoardScrollView.h"
#include "creator/canvas/QVR_CreatorSingleScreen.h"
#include "creator/canvas/QVR_MixedMediaElementContainingView.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/crop/CropGeometry.h"
#include "creator/crop/QVR_CropHandle.h"
#include "creator/crop/QVR_CropPopoverButtonsView.h"
#include "creator/crop/QVR_CropView.h"
#include "creator/crop/QVR_CropZoomHandle.h"
#include "creator/interaction/QVR_InteractableViewHandler.h"
#include "creator/interaction/QVR_InteractionModelUtils.h"
#include "platform/AppPaths.h"
#include "platform/UndoManager.h"
#include "platform/UserDefaults.h"
#include "platform/WorkerThreads.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "strings/UFM.h"

using namespace creator_test;
using Container = QVR_MixedMediaElementContainingView;
using Proxy = std::shared_ptr<ZERI_MixedMediaObjectProxy>;

namespace {

// A saved document with an editable board in a 1100 × 800 viewport at zoom 1: image A at (100, 100, 200, 100)
// whose original is an 800 × 400 PNG, at zoom scale 0.5 and zoom offset (10, 20); shape B at (700, 500, 100, 100).
struct CropEditor {
    explicit CropEditor(const QRectF& frame = QRectF(100, 100, 200, 100), bool readable = true)
    {
        AppPaths::setApplicationSupportForTesting(support.path());
        AppPaths::setTemporaryForTesting(temporary.path());
        UserDefaults::setStoreFileForTesting(settings.filePath(QStringLiteral("defaults.conf")));
        QVR_InteractionModelUtils::setClickDetectionTimeDelay(0.2);
        ControlsArtwork::registerNamedImages();
        ZERI_qvdFilePackage::resetForTesting();
        ZERI_qvdFilePackage::registerWithDocumentModel();
        document->setDontSave(false);
        Error error;
        EXPECT_TRUE(ZERI_qvdFilePackage::saveModelToFile(document, &error)) << error.message.toStdString();
        const auto package = std::dynamic_pointer_cast<ZERI_qvdFilePackage>(document->filePackage());
        const QString original = package->assetsPath() + QStringLiteral("/original.png");
        if (readable) {
            QImage picture(800, 400, QImage::Format_RGB32);
            picture.fill(Qt::darkCyan);
            EXPECT_TRUE(picture.save(original));
        } else {
            QFile file(original);
            EXPECT_TRUE(file.open(QIODevice::WriteOnly));
            file.write("not a picture at all");
        }
        auto asset = ZERI_ContentAsset::create();
        asset->setExternalURL(QUrl::fromLocalFile(original));
        a = add(ZERI_MixedMediaObject::Image, frame);
        (*a)->setOriginalImageAsset(asset);
        (*a)->setZoomScale(0.5);
        (*a)->setZoomOffset(QSizeF(10, 20));
        b = add(ZERI_MixedMediaObject::Shape, QRectF(700, 500, 100, 100));
        board.setScreenModel(screen);
        board.show();
        setViewportSize(board, 1100, 800);
        board.setZoomLevelWithoutNotification(1.0);
        QApplication::processEvents();
        handler = new QVR_InteractableViewHandler(&board);
        // The element makes its first cropped picture itself; the crops start from there.
        if (readable) {
            EXPECT_TRUE(QTest::qWaitFor([this] { return (*a)->croppedImageAsset() != nullptr; }, 5000));
        }
        undo().removeAllActions();
    }
    ~CropEditor()
    {
        delete handler;
        WorkerThreads::shared().waitForIdle();
        QApplication::processEvents();
        // The package list would otherwise keep the document until after the application is gone.
        ZERI_qvdFilePackage::resetForTesting();
        UserDefaults::setStoreFileForTesting(QString());
        QVR_InteractionModelUtils::resetClickDetectionTimeDelayCache();
        AppPaths::setApplicationSupportForTesting(QString());
        AppPaths::setTemporaryForTesting(QString());
    }

    Proxy add(int type, const QRectF& frame)
    {
        auto object = ZERI_MixedMediaObject::objectWithType(type);
        (*object)->setFrame(frame);
        screen->addMixedMediaObject(object);
        screen->updateNotifier().sendUpdateNotificationsIfNeeded();
        return object;
    }
    Container* container(const Proxy& object) const
    {
        return board.singleScreen()->containerForMixedMediaObject(object);
    }
    // Selects A and enters crop mode, waiting for the original.
    QVR_CropView* enter()
    {
        handler->setCurrentlySelected({container(a)});
        EXPECT_TRUE(handler->beginCropForCurrentlySelectedView());
        QVR_CropView* crop = handler->cropView();
        EXPECT_TRUE(crop && QTest::qWaitFor([crop] { return crop->isLoaded(); }, 5000));
        return crop;
    }
    bool waitForEnd()
    {
        return QTest::qWaitFor([this] { return !handler->isCropping(); }, 5000);
    }

    QWidget* viewport() const { return board.theScrollView()->viewport(); }
    QPoint at(const QPointF& scenePoint) const { return board.theScrollView()->mapFromScene(scenePoint); }
    void press(const QPointF& p) { QTest::mousePress(viewport(), Qt::LeftButton, {}, at(p)); }
    void release(const QPointF& p) { QTest::mouseRelease(viewport(), Qt::LeftButton, {}, at(p)); }
    void moveTo(const QPointF& p)
    {
        const QPoint pixel = at(p);
        QMouseEvent event(QEvent::MouseMove, QPointF(pixel), viewport()->mapToGlobal(QPointF(pixel)), Qt::NoButton,
                          Qt::LeftButton, {});
        QApplication::sendEvent(viewport(), &event);
    }
    // The pointer moving with no button down.
    void hoverTo(const QPointF& p)
    {
        const QPoint pixel = at(p);
        QMouseEvent event(QEvent::MouseMove, QPointF(pixel), viewport()->mapToGlobal(QPointF(pixel)), Qt::NoButton,
                          Qt::NoButton, {});
        QApplication::sendEvent(viewport(), &event);
    }
    // A drag in scene units; `during` runs while the button is still down.
    void drag(const QPointF& from, const QPointF& by, const std::function<void()>& during = {})
    {
        press(from);
        moveTo(from + by / 2);
        moveTo(from + by);
        if (during)
            during();
        release(from + by);
    }
    void key(Qt::Key k) { QTest::keyClick(viewport(), k); }
    UndoManager& undo() { return document->firstFlowmodel()->undoManager(); }
    QSizeF offset() const { return (*a)->zoomOffset(); }

    QTemporaryDir support, temporary, settings;
    std::shared_ptr<ZERI_TessarineModel> document = makeDocument(1);
    std::shared_ptr<ZERI_FlowScreenModel> screen = document->firstFlowmodel()->screenModels().front();
    Proxy a, b;
    QVR_SingleScreenArtBoardView board;
    QVR_InteractableViewHandler* handler = nullptr;
};

QSize pictureSize(const std::shared_ptr<ZERI_ContentAsset>& asset)
{
    return asset ? QImageReader(asset->localFilePath()).size() : QSize();
}

} // namespace

TEST(CropMode, EntersAroundTheElementAndEscapeCancelsWithoutAStep)
{
    CropEditor e;
    Container* shown = e.container(e.a);
    QVR_CropView* crop = e.enter();
    ASSERT_TRUE(crop);
    EXPECT_EQ(crop->sceneFrame(), QRectF(-30, -40, 640, 440));
    EXPECT_EQ(crop->getCurrentCropRectInScene(), QRectF(100, 100, 200, 100));
    EXPECT_DOUBLE_EQ(crop->zValue(), QVR_CropView::kZValue);
    EXPECT_FALSE(shown->isVisible());
    EXPECT_TRUE(e.handler->currentlySelectedArray().empty());
    EXPECT_FALSE(crop->displayedPicture().isNull());
    EXPECT_LE(crop->displayedPicture().width(), 800) << "never above the original's pixels";

    e.key(Qt::Key_Escape);
    EXPECT_FALSE(e.handler->isCropping());
    EXPECT_EQ((*e.a)->frame(), QRectF(100, 100, 200, 100));
    EXPECT_EQ((*e.a)->zoomScale(), 0.5);
    EXPECT_EQ(e.offset(), QSizeF(10, 20));
    EXPECT_EQ(e.undo().undoCount(), 0);
    EXPECT_FALSE(e.document->firstFlowmodel()->currentUndoableAction()) << "no change left open";
    EXPECT_TRUE(shown->isVisible());
    EXPECT_EQ(e.handler->currentlySelectedArray(), std::vector<Container*>{shown});
}

TEST(CropMode, AnElementLargerThanItsPictureShrinksOnEntryAndCancelGivesItBack)
{
    CropEditor e(QRectF(100, 100, 500, 300));
    QVR_CropView* crop = e.enter();
    ASSERT_TRUE(crop);
    EXPECT_EQ((*e.a)->frame(), QRectF(100, 100, 400, 200));
    EXPECT_EQ(crop->getCurrentCropRectInScene(), QRectF(100, 100, 400, 200));
    e.handler->cancelCrop();
    EXPECT_EQ((*e.a)->frame(), QRectF(100, 100, 500, 300));
    EXPECT_EQ(e.undo().undoCount(), 0);
}

TEST(CropMode, ThePictureOutsideTheCropRectangleIsFadedNotDarkened)
{
    CropEditor e;
    QVR_CropView* crop = e.enter();
    ASSERT_TRUE(crop);
    ASSERT_TRUE(QTest::qWaitFor([crop] { return !crop->displayedPicture().isNull(); }, 5000));
    QWidget* viewport = e.viewport();
    const QImage shot = viewport->grab().toImage();
    const qreal ratio = shot.devicePixelRatio();
    const auto colourAt = [&](const QPointF& scenePoint) {
        return shot.pixelColor((QPointF(e.at(scenePoint)) * ratio).toPoint());
    };
    // Inside R the picture (dark cyan) shows whole; outside R, over the white screen, at 60 % opacity.
    const QColor inside = colourAt(QPointF(200, 150));
    EXPECT_NEAR(inside.red(), 0, 3);
    EXPECT_NEAR(inside.green(), 128, 3);
    EXPECT_NEAR(inside.blue(), 128, 3);
    const QColor outside = colourAt(QPointF(150, 88));
    EXPECT_NEAR(outside.red(), 102, 4) << "the white beneath shows through";
    EXPECT_NEAR(outside.green(), 179, 4);
    EXPECT_NEAR(outside.blue(), 179, 4);
    // Beside the picture the screen stays white.
    EXPECT_EQ(colourAt(QPointF(60, 60)), QColor(Qt::white));
    e.handler->cancelCrop();
}

TEST(CropMode, MovingTheCropRectangleThenCropIsOneStepWithItsPicturesAndUndoRestoresIt)
{
    CropEditor e;
    const auto oldCropped = (*e.a)->croppedImageAsset();
    ASSERT_TRUE(oldCropped);
    const QString oldPath = oldCropped->localFilePath();
    QVR_CropView* crop = e.enter();
    ASSERT_TRUE(crop);
    ASSERT_TRUE(crop->cropPopover());
    auto* buttons = crop->cropPopoverButtonsView();
    ASSERT_TRUE(buttons);
    EXPECT_EQ(buttons->cropButton()->text(), UFM::CROP_TEXT());
    EXPECT_EQ(buttons->cancelButton()->text(), UFM::CANCEL_TEXT());
    EXPECT_EQ(buttons->size(), QSize(153, 48));

    bool popoverDuringDrag = true;
    e.drag(QPointF(200, 150), QPointF(500, 0), [&] { popoverDuringDrag = crop->cropPopover() != nullptr; });
    EXPECT_FALSE(popoverDuringDrag) << "no popover during a drag";
    ASSERT_TRUE(crop->cropPopover()) << "and back after it";
    EXPECT_EQ(crop->getCurrentCropRectInScene(), QRectF(290, 100, 200, 100));

    QTest::mouseClick(crop->cropPopoverButtonsView()->cropButton(), Qt::LeftButton);
    EXPECT_TRUE(e.handler->isCropping()) << "crop mode lasts until the pictures are set";
    EXPECT_FALSE(crop->cropPopover());
    EXPECT_FALSE(crop->handleAtPosition(0)->isVisible());
    ASSERT_TRUE(e.waitForEnd());
    EXPECT_EQ((*e.a)->frame(), QRectF(290, 100, 200, 100));
    EXPECT_EQ(e.offset(), QSizeF(200, 20));
    EXPECT_EQ(e.undo().undoCount(), 1);
    EXPECT_EQ(e.undo().undoActionName(), UFM::UNDO_MANAGER_PAN_AND_ZOOM_TAG()) << "Edit > Undo names the crop";
    // At zoom 0.5 a regular and a retina picture, both PNG.
    EXPECT_EQ(pictureSize((*e.a)->croppedImageAsset()), QSize(200, 100));
    EXPECT_EQ(pictureSize((*e.a)->retinaCroppedImageAsset()), QSize(400, 200));
    EXPECT_TRUE((*e.a)->croppedImageAsset()->localFilePath().endsWith(".png"));
    EXPECT_TRUE(e.container(e.a)->isVisible());
    EXPECT_EQ(e.handler->currentlySelectedArray().size(), 1u);

    ASSERT_TRUE(e.undo().undo());
    EXPECT_EQ((*e.a)->frame(), QRectF(100, 100, 200, 100));
    EXPECT_EQ(e.offset(), QSizeF(10, 20));
    ASSERT_TRUE((*e.a)->croppedImageAsset());
    EXPECT_EQ((*e.a)->croppedImageAsset()->localFilePath(), oldPath);
    EXPECT_TRUE(QFile::exists(oldPath)) << "the undo step kept the old picture";
}

TEST(CropMode, PanningMovesThePictureUnderAStillCropRectangle)
{
    CropEditor e;
    QVR_CropView* crop = e.enter();
    ASSERT_TRUE(crop);
    e.drag(QPointF(350, 150), QPointF(-1000, 0));
    EXPECT_EQ(crop->getCurrentCropRectInScene(), QRectF(100, 100, 200, 100));
    EXPECT_DOUBLE_EQ(crop->sceneFrame().x(), -220);
    e.key(Qt::Key_Return);
    ASSERT_TRUE(e.waitForEnd());
    EXPECT_EQ(e.offset(), QSizeF(200, 20));
    EXPECT_EQ((*e.a)->frame(), QRectF(100, 100, 200, 100));
}

TEST(CropMode, CropHandlesResizeAndCoverTheZoomHandleAtThePicturesCorner)
{
    CropEditor e;
    QVR_CropView* crop = e.enter();
    ASSERT_TRUE(crop);
    QVR_CropZoomHandle* zoomTopLeft = crop->zoomHandleAtPosition(0);
    EXPECT_FALSE(zoomTopLeft->isCovered());
    e.drag(QPointF(100, 100), QPointF(-10, -20));
    EXPECT_EQ(crop->getCurrentCropRectInScene(), QRectF(90, 80, 210, 120)) << "on the picture's corner";
    EXPECT_TRUE(zoomTopLeft->isCovered());
    e.drag(QPointF(90, 80), QPointF(10, 20));
    EXPECT_FALSE(zoomTopLeft->isCovered());

    e.drag(QPointF(100, 100), QPointF(300, 300));
    e.key(Qt::Key_Return);
    ASSERT_TRUE(e.waitForEnd());
    EXPECT_EQ((*e.a)->frame(), QRectF(260, 160, 40, 40));
    EXPECT_EQ(e.offset(), QSizeF(170, 80));
}

TEST(CropMode, ZoomHandlesScaleThePictureAndUndoRestoresScaleOffsetFrameAndPictureTogether)
{
    CropEditor e;
    const auto oldCropped = (*e.a)->croppedImageAsset();
    ASSERT_TRUE(oldCropped);
    const QString oldPath = oldCropped->localFilePath();
    QVR_CropView* crop = e.enter();
    ASSERT_TRUE(crop);
    e.drag(QPointF(490, 280), QPointF(200, 100));
    EXPECT_EQ(crop->sceneFrame(), QRectF(-30, -40, 840, 540));
    EXPECT_DOUBLE_EQ((*e.a)->zoomScale().value_or(0), 0.75);
    e.handler->completeCropping();
    ASSERT_TRUE(e.waitForEnd());
    ASSERT_TRUE((*e.a)->croppedImageAsset());
    EXPECT_NE((*e.a)->croppedImageAsset()->localFilePath(), oldPath);
    EXPECT_FALSE((*e.a)->retinaCroppedImageAsset()) << "no retina picture above zoom 0.5";
    EXPECT_EQ(e.undo().undoCount(), 1);
    ASSERT_TRUE(e.undo().undo());
    EXPECT_EQ((*e.a)->zoomScale(), 0.5);
    EXPECT_EQ(e.offset(), QSizeF(10, 20));
    EXPECT_EQ((*e.a)->frame(), QRectF(100, 100, 200, 100));
    ASSERT_TRUE((*e.a)->croppedImageAsset());
    EXPECT_EQ((*e.a)->croppedImageAsset()->localFilePath(), oldPath);
    EXPECT_TRUE(QFile::exists(oldPath)) << "the undo step kept the old picture";
}

TEST(CropMode, ZoomHandleHighlightFollowsTheDragAndTheRelease)
{
    CropEditor e;
    QVR_CropView* crop = e.enter();
    ASSERT_TRUE(crop);
    QVR_CropZoomHandle* zoom = crop->zoomHandleAtPosition(2);
    QVR_CropHandle* cropCorner = crop->handleAtPosition(2);
    // The picture's bottom-right corner is at (490, 280); the crop rectangle's at (300, 200).
    e.press(QPointF(490, 280));
    e.moveTo(QPointF(590, 330));
    EXPECT_TRUE(zoom->isHovered()) << "outward of its crop handle, lit while dragged";
    e.moveTo(QPointF(200, 150));
    EXPECT_FALSE(zoom->isHovered()) << "inward of its crop handle's inner edges";
    e.moveTo(QPointF(690, 380));
    EXPECT_TRUE(zoom->isHovered());
    e.release(QPointF(690, 380));
    EXPECT_EQ(crop->sceneFrame(), QRectF(-30, -40, 840, 540));
    EXPECT_TRUE(zoom->isHovered()) << "released over it";
    EXPECT_FALSE(cropCorner->isHovered());

    // Released away from it (the zoom stops at the crop rectangle): dark at once, not at the next move.
    e.drag(QPointF(690, 380), QPointF(-500, -250));
    EXPECT_FALSE(zoom->isHovered());
    EXPECT_FALSE(cropCorner->isHovered());

    // A crop handle dragged and released under the pointer has the hover; the zoom handle of its corner stays dark.
    const QPointF corner = crop->getCurrentCropRectInScene().bottomRight();
    e.drag(corner, QPointF(-10, -10));
    EXPECT_TRUE(cropCorner->isHovered());
    EXPECT_FALSE(zoom->isHovered());
    e.hoverTo(QPointF(150, 150));
    EXPECT_FALSE(cropCorner->isHovered()) << "the next move still ends it";
    e.handler->cancelCrop();
}

TEST(CropMode, AZoomHandleLightsOnlyOutwardOfItsCropHandle)
{
    CropEditor e;
    QVR_CropView* crop = e.enter();
    ASSERT_TRUE(crop);
    // The crop rectangle's top-left corner on the picture's: the two handles of that corner overlap.
    e.drag(QPointF(100, 100), QPointF(-10, -20));
    QVR_CropZoomHandle* zoom = crop->zoomHandleAtPosition(0);
    QVR_CropHandle* cropCorner = crop->handleAtPosition(0);
    ASSERT_TRUE(zoom->isCovered());
    struct Step {
        QPointF at;
        bool zoomLit;
        bool cropLit;
    };
    const Step steps[] = {
        {{81, 71}, true, false},   // outward of the crop handle
        {{100, 90}, false, false}, // still over the zoom handle, but inward
        {{90, 80}, false, true},   // over the crop handle
        {{81, 71}, true, false},
    };
    for (const Step& step : steps) {
        e.hoverTo(step.at);
        EXPECT_EQ(zoom->isHovered(), step.zoomLit) << step.at.x() << ", " << step.at.y();
        EXPECT_EQ(cropCorner->isHovered(), step.cropLit) << step.at.x() << ", " << step.at.y();
    }
    e.handler->cancelCrop();
}

TEST(CropMode, ZoomingInStopsWhereTheCropRectangleMeetsThePicturesEdge)
{
    CropEditor e;
    QVR_CropView* crop = e.enter();
    ASSERT_TRUE(crop);
    e.drag(QPointF(490, 280), QPointF(-350, -175));
    EXPECT_NEAR((*e.a)->zoomScale().value_or(0), 0.3, 1e-9);
    const QRectF picture = crop->sceneFrame().adjusted(120, 120, -120, -120);
    EXPECT_DOUBLE_EQ(crop->getCurrentCropRectInScene().bottom(), picture.bottom());
    e.handler->cancelCrop();
    EXPECT_EQ((*e.a)->zoomScale(), 0.5) << "cancel gives the old scale back";
}

TEST(CropMode, PressesElsewhereCompleteOtherKeysAndUndoWait)
{
    CropEditor e;
    QVR_CropView* crop = e.enter();
    ASSERT_TRUE(crop);
    e.key(Qt::Key_A);
    EXPECT_TRUE(e.handler->isCropping());
    EXPECT_EQ((*e.a)->frame(), QRectF(100, 100, 200, 100));
    // Undo while cropping: the window's undo refuses (isCropping); the flow's change stays open meanwhile.
    EXPECT_TRUE(e.document->firstFlowmodel()->currentUndoableAction());

    e.press(QPointF(750, 550));
    e.release(QPointF(750, 550));
    ASSERT_TRUE(e.waitForEnd());
    EXPECT_EQ(e.undo().undoCount(), 1) << "the remade pictures are the step";
    EXPECT_EQ((*e.a)->frame(), QRectF(100, 100, 200, 100));
    EXPECT_EQ(e.offset(), QSizeF(10, 20));
    EXPECT_EQ(e.handler->currentlySelectedArray(), std::vector<Container*>{e.container(e.a)});
}

// Crop mode begun from the keyboard (a popover button that only Tab can focus): the keyboard is on Crop, Tab
// goes to Cancel and stays there when the popover is made again, Return presses it, and the keyboard then
// shows on the board again.
TEST(CropMode, TheKeyboardBeginsOnCropTabsToCancelAndComesBackToTheBoard)
{
    CropEditor e;
    e.board.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&e.board));
    QPushButton tabOnly(QStringLiteral("Crop"), &e.board);
    tabOnly.setFocusPolicy(Qt::TabFocus);
    tabOnly.show();
    tabOnly.setFocus(Qt::TabFocusReason);
    QVR_CropView* crop = e.enter();
    ASSERT_TRUE(crop && crop->cropPopoverButtonsView());
    EXPECT_TRUE(crop->cropPopoverButtonsView()->cropButton()->hasFocus());
    QTest::keyClick(crop->cropPopoverButtonsView()->cropButton(), Qt::Key_Tab);
    crop->displayPopover();
    QPushButton* cancelButton = crop->cropPopoverButtonsView()->cancelButton();
    EXPECT_TRUE(cancelButton->hasFocus());
    QTest::keyClick(cancelButton, Qt::Key_Return);
    ASSERT_TRUE(e.waitForEnd());
    EXPECT_EQ(e.undo().undoCount(), 0) << "Return on Cancel cancels";
    EXPECT_TRUE(e.board.theScrollView()->hasFocus());
}

TEST(CropMode, HandlesKeepTheirSizeOnScreenAtZoomTwo)
{
    CropEditor e;
    e.board.setZoomLevelWithoutNotification(2.0);
    QApplication::processEvents();
    QVR_CropView* crop = e.enter();
    ASSERT_TRUE(crop);
    QVR_CropHandle* handle = crop->handleAtPosition(0);
    const QTransform device = handle->deviceTransform(e.board.theScrollView()->viewportTransform());
    EXPECT_NEAR(device.mapRect(handle->boundingRect()).width(), 13.0, 1.0);
    EXPECT_NEAR(device.mapRect(QVR_CropHandle::circleRect()).width(), 13.0 * 0.9, 1.0);
    EXPECT_NEAR(device.m11() * QVR_CropHandle::kRingWidth, 2.0, 0.5);
    // The crop rectangle's dashed outline, 3 units wide, scales with the board: about 6 pixels here.
    e.board.theScrollView()->centerOn(QPointF(200, 150));
    QApplication::processEvents();
    const QImage shot = e.viewport()->grab().toImage();
    int widest = 0;
    for (double x = 130; x < 185; x += 1.5) { // clear of the top side's handle
        const QPoint top = e.at(QPointF(x, 100));
        int run = 0;
        for (int y = top.y() - 8; y <= top.y() + 8; ++y) {
            const QColor c = shot.pixelColor(top.x(), y);
            run = (c.red() > 240 && c.green() > 240 && c.blue() > 240) ? run + 1 : 0;
            widest = std::max(widest, run);
        }
    }
    EXPECT_GE(widest, 5);
    EXPECT_LE(widest, 7);
    // The covered test measures the handles at 13 / m and 25 / m scene units.
    e.drag(QPointF(100, 100), QPointF(-5, -10));
    EXPECT_FALSE(crop->zoomHandleAtPosition(0)->isCovered()) << "at 2x, 5 units apart no longer touch";
}

TEST(CropMode, AnUnreadableOriginalMakesCropACancel)
{
    CropEditor e(QRectF(100, 100, 200, 100), false);
    e.handler->setCurrentlySelected({e.container(e.a)});
    ASSERT_TRUE(e.handler->beginCropForCurrentlySelectedView());
    QVR_CropView* crop = e.handler->cropView();
    ASSERT_TRUE(QTest::qWaitFor([crop] { return crop->isLoaded(); }, 5000));
    EXPECT_FALSE(crop->originalIsReadable());
    e.drag(QPointF(150, 150), QPointF(20, 0));
    e.key(Qt::Key_Return);
    ASSERT_TRUE(e.waitForEnd());
    EXPECT_EQ((*e.a)->frame(), QRectF(100, 100, 200, 100));
    EXPECT_EQ(e.offset(), QSizeF(10, 20));
    EXPECT_EQ(e.undo().undoCount(), 0);
    EXPECT_FALSE(e.document->firstFlowmodel()->currentUndoableAction());
}

TEST(CropMode, RefusesWhatCannotBeCroppedAndCancelsWhenItsElementGoes)
{
    CropEditor e;
    EXPECT_FALSE(e.handler->beginCropForCurrentlySelectedView()) << "nothing selected";
    e.handler->setCurrentlySelected({e.container(e.b)});
    EXPECT_FALSE(e.handler->beginCropForCurrentlySelectedView()) << "a shape without a picture";
    EXPECT_FALSE(e.document->firstFlowmodel()->currentUndoableAction());

    ASSERT_TRUE(e.enter());
    // Another edit deletes the element: the crop ends with nothing of its own written.
    const auto flow = e.document->firstFlowmodel();
    flow->beginUndoableChanges();
    e.screen->removeMixedMediaObject(e.a);
    flow->endUndoableChanges();
    e.screen->updateNotifier().sendUpdateNotificationsIfNeeded();
    QApplication::processEvents();
    EXPECT_FALSE(e.handler->isCropping());
    EXPECT_EQ(e.undo().undoCount(), 1) << "the deletion only";
    EXPECT_FALSE(flow->currentUndoableAction());
    EXPECT_EQ(e.screen->mixedMediaObjects().size(), 1u);
}

TEST(CropMode, ClosingTheBoardCancelsTheCrop)
{
    CropEditor e(QRectF(100, 100, 500, 300));
    ASSERT_TRUE(e.enter());
    e.drag(QPointF(490, 280), QPointF(200, 100));
    delete e.handler;
    e.handler = nullptr;
    EXPECT_EQ((*e.a)->frame(), QRectF(100, 100, 500, 300));
    EXPECT_EQ((*e.a)->zoomScale(), 0.5);
    EXPECT_FALSE(e.document->firstFlowmodel()->currentUndoableAction());
    EXPECT_EQ(e.undo().undoCount(), 0);
    EXPECT_TRUE(e.container(e.a)->isVisible());
}

TEST(CropMode, AnElementWithoutZoomShowsItsFillScaleAndATurnedPictureExchangesItsSides)
{
    CropEditor e;
    (*e.a)->setZoomScale(std::nullopt);
    (*e.a)->setZoomOffset(QSizeF(0, 0));
    QVR_CropView* crop = e.enter();
    ASSERT_TRUE(crop);
    // 800 × 400 into 200 × 100: a quarter.
    EXPECT_EQ(crop->sceneFrame(), QRectF(-20, -20, 440, 340));
    e.key(Qt::Key_Return);
    ASSERT_TRUE(e.waitForEnd());
    EXPECT_EQ((*e.a)->zoomScale(), 0.25) << "the crop keeps the scale it was made at";

    (*e.a)->setRotation(1);
    (*e.a)->setZoomScale(0.5);
    e.screen->updateNotifier().sendUpdateNotificationsIfNeeded();
    crop = e.enter();
    ASSERT_TRUE(crop);
    EXPECT_EQ(crop->sceneFrame().size(), QSizeF(200 + 240, 400 + 240));
    e.handler->cancelCrop();
}

TEST(CropMode, TheCropRectanglesOutlineIsDashedFiveOnTwoOff)
{
    CropEditor e;
    QVR_CropView* crop = e.enter();
    ASSERT_TRUE(crop);
    QApplication::processEvents();
    const QImage shot = e.viewport()->grab().toImage();
    // Along the middle of the top side, between the corner handle and the middle one.
    const int row = e.at(QPointF(150, 100)).y();
    std::vector<std::pair<bool, int>> runs;
    for (int x = e.at(QPointF(110, 100)).x(); x <= e.at(QPointF(190, 100)).x(); ++x) {
        const QColor c = shot.pixelColor(x, row);
        const bool white = c.red() > 230 && c.green() > 230 && c.blue() > 230;
        if (runs.empty() || runs.back().first != white)
            runs.push_back({white, 0});
        ++runs.back().second;
    }
    ASSERT_GE(runs.size(), 3u);
    int dashes = 0;
    int gaps = 0;
    // The first and last runs are cut by the ends of the scan.
    for (std::size_t i = 1; i + 1 < runs.size(); ++i) {
        if (runs[i].first) {
            ++dashes;
            EXPECT_GE(runs[i].second, 4) << "dash " << i;
            EXPECT_LE(runs[i].second, 6) << "dash " << i;
        } else {
            ++gaps;
            EXPECT_GE(runs[i].second, 1) << "gap " << i;
            EXPECT_LE(runs[i].second, 3) << "gap " << i;
        }
    }
    // 80 units hold about eleven periods of 7.
    EXPECT_GE(dashes, 9);
    EXPECT_GE(gaps, 9);
}

TEST(CropMode, FastDragsOnTheRightHandleOnlyResizeTheCropRectangle)
{
    for (const double zoom : {1.0, 2.0}) {
        CropEditor e;
        e.board.setZoomLevelWithoutNotification(zoom);
        QApplication::processEvents();
        QVR_CropView* crop = e.enter();
        ASSERT_TRUE(crop);
        e.board.theScrollView()->centerOn(QPointF(300, 150));
        QApplication::processEvents();
        const QPointF cropViewPos = crop->pos();
        QWidget* viewport = e.viewport();
        // Quick drags one after another (the presses come close enough to be double clicks), in and out, the last
        // one far beyond the picture's right edge; each pressed off the handle's centre, on its outer half.
        const double moves[] = {-40, 40, -60, 400, -30};
        for (const double dx : moves) {
            const QPointF handle = crop->handleAtPosition(5)->scenePos();
            const double right = crop->getCurrentCropRectInScene().right();
            const QPoint press = e.at(handle) + QPoint(4, 0);
            QTest::mousePress(viewport, Qt::LeftButton, {}, press);
            for (int step = 1; step <= 4; ++step)
                QTest::mouseMove(viewport, press + QPoint(qRound(dx * zoom * step / 4), 0));
            QTest::mouseRelease(viewport, Qt::LeftButton, {}, press + QPoint(qRound(dx * zoom), 0));
            ASSERT_TRUE(e.handler->isCropping()) << "zoom " << zoom << " drag " << dx;
            EXPECT_EQ(crop->pos(), cropViewPos) << "the picture did not pan; zoom " << zoom << " drag " << dx;
            const QRectF r = crop->getCurrentCropRectInScene();
            EXPECT_DOUBLE_EQ(r.left(), 100);
            EXPECT_DOUBLE_EQ(r.right(), std::min(right + dx, 490.0)) << "zoom " << zoom << " drag " << dx;
        }
        e.key(Qt::Key_Return);
        ASSERT_TRUE(e.waitForEnd());
        EXPECT_EQ((*e.a)->frame(), QRectF(100, 100, 360, 100));
    }
}

// A picture reaching past the screen's left edge: in crop mode its part outside the screen is dimmed like all
// that lies there, and each zoom handle sits 2 units outside its corner of the picture.
TEST(CropMode, ThePicturesPartOutsideTheScreenStaysDimmedAndZoomHandlesSitOutsideItsCorners)
{
    CropEditor e(QRectF(-50, 100, 200, 100));
    QVR_CropView* crop = e.enter();
    ASSERT_TRUE(crop);
    e.board.theScrollView()->centerOn(QPointF(100, 150));
    QApplication::processEvents();
    const QImage shot = e.viewport()->grab().toImage();
    // Both inside the crop rectangle, where the picture shows whole, clear of its handles: one point off the
    // screen, one on it.
    const QColor outside = shot.pixelColor(e.at(QPointF(-5, 120)));
    const QColor inside = shot.pixelColor(e.at(QPointF(5, 120)));
    EXPECT_EQ(inside.rgb(), QColor(Qt::darkCyan).rgb());
    EXPECT_GT(std::abs(outside.lightness() - inside.lightness()) + std::abs(outside.hue() - inside.hue()), 10)
        << "the grey mask lies over the picture outside the screen";

    const QRectF image = CropGeometry::imageRect(crop->sceneFrame().size()).translated(crop->sceneFrame().topLeft());
    EXPECT_EQ(crop->zoomHandleAtPosition(0)->scenePos(), image.topLeft() - QPointF(2, 2));
    EXPECT_EQ(crop->zoomHandleAtPosition(2)->scenePos(), image.bottomRight() + QPointF(2, 2));
    e.handler->cancelCrop();
    ASSERT_TRUE(e.waitForEnd());
}
