#include <QApplication>
#include <QDir>
#include <QGraphicsPixmapItem>
#include <QImageReader>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "app/QVRWindowManager.h"
#include "controls/ControlsArtwork.h"
#include "creator/CreatorLibrary.h"
#include "creator/canvas/QVR_ArtBoardScrollView.h"
#include "creator/canvas/QVR_CreatorSingleScreen.h"
#include "creator/canvas/QVR_MixedMediaElementContainingView.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/interaction/QVR_CoordinatesDisplayView.h"
#include "creator/interaction/QVR_InteractableViewHandler.h"
#include "creator/interaction/QVR_InteractionModelUtils.h"
#include "creator/interaction/QVR_SelectedItemView.h"
#include "creator/snapping/QVR_SnapLineView.h"
#include "creator/snapping/SnappingGridLine.h"
#include "creator/snapping/SnappingUtils.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "elements/views/QVR_ImageHandlingMixedMediaElement.h"
#include "platform/AppPaths.h"
#include "platform/UndoManager.h"
#include "platform/UserDefaults.h"
#include "storage/MixedMediaObjectStorage.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "support/UserInput.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "strings/UFM.h"

using Container = QVR_MixedMediaElementContainingView;
using Proxy = std::shared_ptr<ZERI_MixedMediaObjectProxy>;

namespace {

// A saved document (so pictures have an asset folder) open in a creator window at zoom 1, snapping off unless
// asked, on screen "S0".
struct Editor {
    explicit Editor(bool snapping = false)
    {
        AppPaths::setApplicationSupportForTesting(support.path());
        AppPaths::setTemporaryForTesting(temporary.path());
        UserDefaults::setStoreFileForTesting(settings.filePath(QStringLiteral("defaults.conf")));
        QVR_InteractionModelUtils::setClickDetectionTimeDelay(0.2);
        ControlsArtwork::registerNamedImages();
        ZERI_qvdFilePackage::resetForTesting();
        ZERI_qvdFilePackage::registerWithDocumentModel();
        registerCreatorLibrary();
        SnappingUtils::setDefaultSnappingDisabled(!snapping);
        screen->setInternalID(QStringLiteral("S0"));
        document->firstFlowmodel()->addFlowScreen(screen);
        Error error;
        EXPECT_TRUE(ZERI_qvdFilePackage::saveModelToFile(document, &error)) << error.message.toStdString();
        package = std::dynamic_pointer_cast<ZERI_qvdFilePackage>(document->filePackage());
        document->setDontSave(true);
    }
    ~Editor()
    {
        MixedMediaObjectStorage::setCroppedImageResultsHeldForTesting(false);
        EXPECT_TRUE(QTest::qWaitFor([this] { return !handlerBusy(); }, 10000));
        delete window.data();
        ZERI_qvdFilePackage::resetForTesting();
        SnappingUtils::setDefaultSnappingDisabled(false);
        UserDefaults::setStoreFileForTesting(QString());
        QVR_InteractionModelUtils::resetClickDetectionTimeDelayCache();
        AppPaths::setApplicationSupportForTesting(QString());
        AppPaths::setTemporaryForTesting(QString());
    }
    bool handlerBusy() const { return window && handler() && handler()->isBusy(); }

    Proxy add(int type, const QRectF& frame)
    {
        auto object = ZERI_MixedMediaObject::objectWithType(type);
        (*object)->setFrame(frame);
        screen->addMixedMediaObject(object);
        return object;
    }
    // An image whose original is a `width` × `height` PNG in the document's asset folder.
    Proxy addImage(const QRectF& frame, QSize original, double zoom, QSizeF offset)
    {
        QImage picture(original, QImage::Format_RGB32);
        picture.fill(Qt::darkGreen);
        const QString path = QDir(package->assetsPath()).filePath(QStringLiteral("original-%1.png").arg(++images));
        EXPECT_TRUE(picture.save(path));
        auto asset = ZERI_ContentAsset::create();
        asset->setExternalURL(QUrl::fromLocalFile(path));
        auto object = add(ZERI_MixedMediaObject::Image, frame);
        (*object)->setOriginalImageAsset(asset);
        (*object)->setZoomScale(zoom);
        (*object)->setZoomOffset(offset);
        return object;
    }
    void open(double zoom = 1.0)
    {
        window = qobject_cast<QVR_CreatorWindow*>(QVRWindowManager::sharedInstance().makeCreatorWindow());
        window->resize(1400, 1000);
        window->launchTessarineWithTessarineModel(document);
        window->show();
        window->activateWindow();
        QApplication::processEvents();
        board()->setZoomLevelWithoutNotification(zoom);
        QApplication::processEvents();
        board()->theScrollView()->centerOn(QPointF(250, 200));
        QApplication::processEvents();
    }
    QVR_SingleScreenArtBoardView* board() const { return window->theArtBoard(); }
    QVR_InteractableViewHandler* handler() const { return QVR_InteractableViewHandler::handlerForBoard(board()); }
    QVR_SelectedItemView* frame() const { return window->selectedItemView(); }
    Container* container(const Proxy& object) const
    {
        return board()->singleScreen()->containerForMixedMediaObject(object);
    }
    QWidget* viewport() const { return board()->theScrollView()->viewport(); }
    QPoint at(const QPointF& p) const { return board()->theScrollView()->mapFromScene(p); }
    UndoManager& undo() const { return document->firstFlowmodel()->undoManager(); }

    void select(const Proxy& object)
    {
        const QPoint point = at((*object)->frame().center());
        QTest::mousePress(viewport(), Qt::LeftButton, {}, point);
        QTest::mouseRelease(viewport(), Qt::LeftButton, {}, point);
        frame()->selectedViewsDidChange();
        ASSERT_EQ(frame()->selectedViews(), (std::vector<Container*>{container(object)}));
    }
    QRectF deviceRect(const QGraphicsItem* item) const
    {
        return item->deviceTransform(board()->theScrollView()->viewportTransform()).mapRect(item->boundingRect());
    }
    // A resize handle's centre; for a rotate handle, a point of it beyond the resize handle it surrounds.
    QPoint handleCentre(int position, bool rotate) const
    {
        const QRectF area = deviceRect(frame()->handle(position, rotate));
        if (!rotate)
            return area.center().toPoint();
        const QPointF inner = deviceRect(frame()->handle(position, false)).center();
        const QPointF corner(inner.x() < area.center().x() ? area.right() - 3 : area.left() + 3,
                             inner.y() < area.center().y() ? area.bottom() - 3 : area.top() + 3);
        return corner.toPoint();
    }
    void moveTo(const QPoint& pixel, Qt::KeyboardModifiers m = {})
    {
        QMouseEvent move(QEvent::MouseMove, QPointF(pixel), viewport()->mapToGlobal(QPointF(pixel)), Qt::NoButton,
                         Qt::LeftButton, m);
        QApplication::sendEvent(viewport(), &move);
    }
    // Presses a handle and moves by `pixels` in one mouse move; the release is left to the caller.
    QPoint pressAndMove(int position, bool rotate, QPoint pixels, Qt::KeyboardModifiers m = {})
    {
        const QPoint from = handleCentre(position, rotate);
        QTest::mousePress(viewport(), Qt::LeftButton, m, from);
        moveTo(from + pixels, m);
        return from + pixels;
    }
    void dragHandle(int position, bool rotate, QPoint pixels, Qt::KeyboardModifiers m = {})
    {
        const QPoint to = pressAndMove(position, rotate, pixels, m);
        QTest::mouseRelease(viewport(), Qt::LeftButton, m, to);
        EXPECT_TRUE(QTest::qWaitFor([this] { return !handler()->isBusy(); }, 20000));
        frame()->selectedViewsDidChange();
    }
    std::vector<QGraphicsPixmapItem*> pixmapItems() const
    {
        std::vector<QGraphicsPixmapItem*> found;
        for (QGraphicsItem* item : board()->singleScreen()->scene()->items())
            if (auto* pixmap = dynamic_cast<QGraphicsPixmapItem*>(item); pixmap && pixmap->zValue() >= 4000)
                found.push_back(pixmap);
        return found;
    }

    QTemporaryDir support, temporary, settings;
    std::shared_ptr<ZERI_TessarineModel> document = ZERI_TessarineModel::create();
    std::shared_ptr<ZERI_FlowScreenModel> screen = ZERI_FlowScreenModel::create();
    std::shared_ptr<ZERI_qvdFilePackage> package;
    QPointer<QVR_CreatorWindow> window;
    int images = 0;
};

QSize pixelSize(const std::shared_ptr<ZERI_ContentAsset>& asset)
{
    return asset ? QImageReader(asset->localFilePath()).size() : QSize();
}

void expectFrame(const Proxy& object, const QRectF& frame, double zoom, QSizeF offset)
{
    EXPECT_EQ((*object)->frame(), frame);
    EXPECT_NEAR((*object)->zoomScale().value_or(-1), zoom, 1e-3);
    EXPECT_NEAR((*object)->zoomOffset().width(), offset.width(), 1e-3);
    EXPECT_NEAR((*object)->zoomOffset().height(), offset.height(), 1e-3);
}

} // namespace

TEST(ResizeHandles, ProportionalCornerIsOneUndoStepThatHoldsTheNewPicture)
{
    for (double zoom : {1.0, 2.0}) {
        Editor e;
        const Proxy image = e.addImage(QRectF(100, 100, 200, 100), QSize(400, 200), 0.5, QSizeF(10, 20));
        e.open(zoom);
        e.select(image);
        // The element makes its first picture itself once shown.
        ASSERT_TRUE(QTest::qWaitFor([&] { return (*image)->croppedImageAsset() != nullptr; }, 20000));
        const int steps = e.undo().undoCount();
        const QString before = (*image)->croppedImageAsset()->localFilePath();
        e.dragHandle(2, false, QPoint(50, 25) * zoom);
        expectFrame(image, QRectF(100, 100, 250, 125), 0.625, QSizeF(12.5, 25));
        EXPECT_EQ(e.undo().undoCount(), steps + 1) << zoom;
        EXPECT_EQ(e.undo().undoActionName(), UFM::UNDO_MANAGER_RESIZE_OBJECT_TAG()) << "Edit > Undo names the step";
        EXPECT_EQ(e.document->firstFlowmodel()->currentUndoableAction(), nullptr);
        const auto cropped = (*image)->croppedImageAsset();
        EXPECT_EQ(pixelSize(cropped), QSize(250, 125));

        ASSERT_TRUE(e.undo().undo());
        expectFrame(image, QRectF(100, 100, 200, 100), 0.5, QSizeF(10, 20));
        ASSERT_TRUE((*image)->croppedImageAsset());
        EXPECT_EQ((*image)->croppedImageAsset()->localFilePath(), before);
        ASSERT_TRUE(e.undo().redo());
        ASSERT_TRUE((*image)->croppedImageAsset());
        EXPECT_EQ((*image)->croppedImageAsset()->localFilePath(), cropped->localFilePath());
    }
}

TEST(ResizeHandles, ShapesTextAndAudioFollowTheirOwnRules)
{
    Editor e;
    const Proxy shape = e.add(ZERI_MixedMediaObject::Shape, QRectF(100, 100, 200, 100));
    const Proxy text = e.add(ZERI_MixedMediaObject::Text, QRectF(100, 400, 300, 100));
    text->as<ZERI_MMObject_Text>()->setText(QStringLiteral("A line of text that wraps at some widths, or not."));
    const Proxy audio = e.add(ZERI_MixedMediaObject::Audio, QRectF(600, 100, 100, 100));
    e.open();

    e.select(shape);
    e.dragHandle(2, false, QPoint(50, 10));
    EXPECT_EQ((*shape)->frame(), QRectF(100, 100, 250, 110));
    e.undo().undo();
    e.dragHandle(2, false, QPoint(50, 10), Qt::ShiftModifier);
    EXPECT_EQ((*shape)->frame(), QRectF(100, 100, 250, 125));
    e.undo().undo();
    // Past the opposite side the rectangle flips over it.
    e.dragHandle(4, false, QPoint(300, 0));
    EXPECT_EQ((*shape)->frame(), QRectF(300, 100, 100, 100));

    e.select(text);
    e.dragHandle(5, false, QPoint(100, 0));
    const QRectF used = text->as<ZERI_MMObject_Text>()->layoutManagerUsedRectForWidth(400);
    EXPECT_EQ((*text)->frame(), QRectF(100, 400, 400, used.height() + 16));

    e.select(audio);
    const int steps = e.undo().undoCount();
    e.dragHandle(2, false, QPoint(-20, -20));
    EXPECT_EQ((*audio)->frame(), QRectF(600, 100, 100, 100));
    EXPECT_EQ(e.undo().undoCount(), steps); // nothing changed, no step
    e.dragHandle(2, false, QPoint(500, 500));
    EXPECT_EQ((*audio)->frame(), QRectF(600, 100, 500, 500));
}

TEST(ResizeHandles, ASnapShownWhileTheButtonIsDownIsKeptOnRelease)
{
    Editor e(true);
    // The right edge of `moving` (at 400) pulled left to a few points right of `other`'s right edge (299): the
    // edge shown on that line while the button is down stays there on release.
    e.add(ZERI_MixedMediaObject::Shape, QRectF(100, 100, 200, 100));
    const Proxy moving = e.add(ZERI_MixedMediaObject::Shape, QRectF(200, 400, 200, 50));
    e.open();
    e.select(moving);
    for (int rawRight = 302; rawRight <= 308; ++rawRight) {
        SCOPED_TRACE(rawRight);
        const QPoint to = e.pressAndMove(5, false, QPoint(rawRight - 400, 0));
        const QRectF shown = (*moving)->frame();
        EXPECT_TRUE(shown.right() == 300 || shown.right() == rawRight) << shown.right();
        QTest::mouseRelease(e.viewport(), Qt::LeftButton, {}, to);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !e.handler()->isBusy(); }, 20000));
        EXPECT_EQ((*moving)->frame(), shown);
        e.undo().undo();
        e.frame()->selectedViewsDidChange();
        ASSERT_EQ((*moving)->frame(), QRectF(200, 400, 200, 50));
    }
}

TEST(ResizeHandles, NoSideShrinksBelowOnePointAndIdleHandlersDoNothing)
{
    Editor e;
    const Proxy shape = e.add(ZERI_MixedMediaObject::Shape, QRectF(100, 100, 200, 100));
    e.open();
    e.select(shape);
    e.dragHandle(2, false, QPoint(-200, 0));
    EXPECT_EQ((*shape)->frame(), QRectF(100, 100, 1, 100));
    // The next gesture on the thin shape still works (its handles overlap on screen, so it is driven directly).
    QVR_MixedMediaObjectResizeHandler& handler = e.handler()->resizeHandler();
    handler.startResizing(e.container(shape), shape, 2);
    handler.handleMove(QPointF(50, 0));
    handler.endResizing();
    EXPECT_EQ((*shape)->frame(), QRectF(100, 100, 51, 100));

    // A stored object without height cannot be resized from a corner: nothing changes (the log says why).
    const Proxy flat = e.add(ZERI_MixedMediaObject::Shape, QRectF(500, 100, 80, 0));
    handler.startResizing(nullptr, flat, 2);
    handler.handleMove(QPointF(40, 40));
    handler.endResizing();
    EXPECT_EQ((*flat)->frame(), QRectF(500, 100, 80, 0));

    // Moves and ends sent to idle handlers change nothing and close nobody's change.
    const auto flow = e.document->firstFlowmodel();
    const int steps = e.undo().undoCount();
    flow->beginUndoableChanges();
    const auto open = flow->currentUndoableAction();
    QVR_MixedMediaObjectResizeHandler resize;
    resize.handleMove(QPointF(40, 40));
    resize.endResizing();
    QVR_MixedMediaObjectRotateHandler rotate;
    rotate.handleMove(QPointF(40, 40));
    rotate.endRotating();
    EXPECT_EQ((*shape)->frame(), QRectF(100, 100, 51, 100));
    EXPECT_EQ(flow->currentUndoableAction(), open);
    flow->endUndoableChanges();
    EXPECT_EQ(e.undo().undoCount(), steps);
}

TEST(RotateHandles, AnglesAreClockwiseOnScreenAndSnapToQuarterTurns)
{
    using R = QVR_MixedMediaObjectRotateHandler;
    const double degree = 180.0 / 3.14159265358979;
    // The top-right corner of a 200 × 100 frame, y down, turned a quarter clockwise.
    EXPECT_NEAR(R::radiansBetweenVector(QPointF(100, -50), QPointF(50, 100)) * degree, 90, 1e-9);
    EXPECT_NEAR(R::radiansBetweenVector(QPointF(100, -50), QPointF(-100, 50)) * degree, 180, 1e-9);
    EXPECT_NEAR(R::radiansBetweenVector(QPointF(1, 0), QPointF(0, -1)) * degree, 270, 1e-9);
    EXPECT_EQ(R::radiansBetweenVector(QPointF(1, 0), QPointF(2, 0)), 0.0);
    EXPECT_EQ(R::snappedTheta(44.9), 0);
    EXPECT_EQ(R::snappedTheta(45), 90);
    EXPECT_EQ(R::snappedTheta(300), 270);
    EXPECT_EQ(R::snappedTheta(315), 360);
}

TEST(RotateHandles, QuarterTurnsTurnTheFrameAndKeepTheSamePartOfTheImage)
{
    Editor e;
    const Proxy image = e.addImage(QRectF(100, 100, 200, 100), QSize(800, 400), 0.5, QSizeF(10, 20));
    e.open();
    e.select(image);
    const int steps = e.undo().undoCount();
    EXPECT_EQ(SnappingUtils::imageSizeFromFilepathString((*image)->originalImageAsset()->localFilePath()),
              QSizeF(800, 400));
    const QPoint middle = e.at((*image)->frame().center());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            UserInput::letRepaintsHappen(10);
            return UserInput::shownColor(e.viewport(), middle) == QColor(Qt::darkGreen);
        },
        10000));

    // While turning, one half-transparent snapshot of the picture turns with the pointer; the container never
    // does.
    // The grabbed corner moved by (-50, 150) points: a quarter turn, at whatever zoom the board settled on.
    const QTransform shown = e.board()->theScrollView()->viewportTransform();
    const QPoint quarter = (shown.map(QPointF(-50, 150)) - shown.map(QPointF(0, 0))).toPoint();
    const QPoint to = e.pressAndMove(1, true, quarter);
    auto snapshots = e.pixmapItems();
    ASSERT_EQ(snapshots.size(), 1u);
    const QImage snapshot = snapshots.front()->pixmap().toImage();
    EXPECT_EQ(snapshot.pixelColor(snapshot.rect().center()), QColor(Qt::darkGreen));
    EXPECT_DOUBLE_EQ(snapshots.front()->opacity(), 0.5);
    EXPECT_NEAR(snapshots.front()->rotation(), 90, 0.5) << "the board's scale is " << shown.m11();
    EXPECT_TRUE(e.container(image)->transform().isIdentity());
    EXPECT_EQ(e.container(image)->rotation(), 0);
    QTest::mouseRelease(e.viewport(), Qt::LeftButton, {}, to);
    EXPECT_TRUE(e.pixmapItems().empty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !e.handler()->isBusy(); }, 20000));
    EXPECT_EQ((*image)->rotation(), 1);
    expectFrame(image, QRectF(150, 50, 100, 200), 0.5, QSizeF(80, 10));
    EXPECT_EQ(pixelSize((*image)->croppedImageAsset()), QSize(100, 200));
    EXPECT_EQ(e.undo().undoCount(), steps + 1);
    EXPECT_EQ(e.undo().undoActionName(), UFM::ROTATE_TEXT()) << "Edit > Undo names the turn";
    EXPECT_EQ(e.document->firstFlowmodel()->currentUndoableAction(), nullptr);

    // A half turn keeps the size and moves the offset by both sides.
    ASSERT_TRUE(e.undo().undo());
    QApplication::processEvents();
    e.frame()->selectedViewsDidChange();
    e.dragHandle(1, true, QPoint(-200, 100));
    EXPECT_EQ((*image)->rotation(), 2);
    expectFrame(image, QRectF(100, 100, 200, 100), 0.5, QSizeF(190, 80));

    // From rotation 2, 300° is three quarter turns; 350° is four, which changes nothing and leaves no step.
    QVR_MixedMediaObjectRotateHandler rotate;
    // The translation that turns the grabbed corner (as seen from the centre) clockwise by `degrees`.
    const auto turnedBy = [&](double degrees) {
        const QPointF start = rotate.startingVector();
        const double r = degrees / 180.0 * 3.14159265358979;
        return QPointF(start.x() * std::cos(r) - start.y() * std::sin(r),
                       start.x() * std::sin(r) + start.y() * std::cos(r)) -
               start;
    };
    const int before = e.undo().undoCount();
    // The view makes its picture anew on the next turn after a change; the listing waits for it to settle.
    QApplication::processEvents();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            auto* view = dynamic_cast<QVR_ImageHandlingMixedMediaElement*>(e.container(image)->mixedMediaElementView());
            return view && view->croppedImage() && !view->croppedImage()->isLoading();
        },
        20000));
    const auto files = QDir(e.package->assetsPath()).entryList(QDir::Files);
    rotate.startRotating(nullptr, image, 1);
    rotate.handleMove(turnedBy(350));
    EXPECT_NEAR(rotate.currentRotationInDegrees(), 350, 1e-6);
    rotate.endRotating();
    EXPECT_EQ((*image)->rotation(), 2);
    EXPECT_EQ(e.undo().undoCount(), before);
    EXPECT_EQ(QDir(e.package->assetsPath()).entryList(QDir::Files).join(u' '), files.join(u' '));
    EXPECT_EQ(e.document->firstFlowmodel()->currentUndoableAction(), nullptr);

    rotate.startRotating(nullptr, image, 1);
    rotate.handleMove(turnedBy(300));
    rotate.endRotating();
    EXPECT_EQ((*image)->rotation(), 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !rotate.isBusy(); }, 20000));

    // A stored count outside 0–3 is taken modulo 4.
    (*image)->setRotation(-1);
    rotate.startRotating(nullptr, image, 1);
    rotate.handleMove(turnedBy(90));
    rotate.endRotating();
    EXPECT_EQ((*image)->rotation(), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !rotate.isBusy(); }, 20000));
}

TEST(ResizeHandles, LatePicturesNeverLandOnOtherGeometry)
{
    Editor e;
    const Proxy image = e.addImage(QRectF(100, 100, 200, 100), QSize(400, 200), 0.5, QSizeF(10, 20));
    const Proxy shape = e.add(ZERI_MixedMediaObject::Shape, QRectF(500, 100, 100, 100));
    e.open();
    e.select(image);
    // The element makes its first picture itself once shown.
    ASSERT_TRUE(QTest::qWaitFor([&] { return (*image)->croppedImageAsset() != nullptr; }, 20000));
    const QString before = (*image)->croppedImageAsset()->localFilePath();
    MixedMediaObjectStorage::setCroppedImageResultsHeldForTesting(true);
    const auto flow = e.document->firstFlowmodel();
    const QPoint to = e.pressAndMove(2, false, QPoint(50, 25));
    QTest::mouseRelease(e.viewport(), Qt::LeftButton, {}, to);
    EXPECT_TRUE(e.handler()->isBusy());
    EXPECT_NE(flow->currentUndoableAction(), nullptr); // the step waits for its picture

    // Meanwhile presses start nothing.
    QTest::mousePress(e.viewport(), Qt::LeftButton, {}, e.at(QPointF(550, 150)));
    QTest::mouseRelease(e.viewport(), Qt::LeftButton, {}, e.at(QPointF(550, 150)));
    EXPECT_EQ(e.frame()->selectedViews(), (std::vector<Container*>{e.container(image)}));

    // An undo closes the gesture still waiting for its picture, then undoes it.
    ASSERT_TRUE(e.undo().undo());
    EXPECT_EQ((*image)->frame(), QRectF(100, 100, 200, 100));
    MixedMediaObjectStorage::setCroppedImageResultsHeldForTesting(false);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !e.handler()->isBusy(); }, 20000));
    ASSERT_TRUE((*image)->croppedImageAsset());
    EXPECT_EQ((*image)->croppedImageAsset()->localFilePath(), before); // the old picture stays
    EXPECT_EQ(flow->currentUndoableAction(), nullptr);

    // The redo makes the picture that fits the redone frame.
    ASSERT_TRUE(e.undo().redo());
    EXPECT_EQ((*image)->frame(), QRectF(100, 100, 250, 125));
    EXPECT_TRUE(QTest::qWaitFor([&] { return pixelSize((*image)->croppedImageAsset()) == QSize(250, 125); }, 20000));
    (void)shape;
}

TEST(ResizeHandles, SnappingPullsTheResizedEdgeOntoALine)
{
    for (bool snapping : {true, false}) {
        Editor e(snapping);
        const Proxy image = e.addImage(QRectF(100, 100, 200, 100), QSize(400, 200), 0.5, QSizeF(10, 20));
        e.open();
        e.select(image);
        const QPoint to = e.pressAndMove(2, false, QPoint(0, 170));
        struct Seen {
            int orientation;
            double position;
            QColor colour;
        };
        std::vector<Seen> lines;
        for (QGraphicsItem* item : e.board()->singleScreen()->scene()->items())
            if (auto* line = dynamic_cast<QVR_SnapLineView*>(item); line && line->snapLine())
                lines.push_back({line->snapLine()->orientation(), line->scenePosition(),
                                 QVR_SnapLineView::colorForSnapLine(*line->snapLine())});
        QTest::mouseRelease(e.viewport(), Qt::LeftButton, {}, to);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !e.handler()->isBusy(); }, 20000));
        if (snapping) {
            expectFrame(image, QRectF(100, 100, 546, 273), 1.365, QSizeF(27.3, 54.6));
            ASSERT_EQ(lines.size(), 1u);
            EXPECT_EQ(lines.front().orientation, SnapHorizontal);
            EXPECT_EQ(lines.front().position, 373);
            EXPECT_EQ(lines.front().colour, QColor(Qt::red));
        } else {
            expectFrame(image, QRectF(100, 100, 540, 270), 1.35, QSizeF(27, 54));
            EXPECT_TRUE(lines.empty());
        }
    }
}

TEST(CoordinatesDisplay, ReadsOutTheFrameInRowsFromTheBottom)
{
    Editor e;
    const Proxy left = e.add(ZERI_MixedMediaObject::Shape, QRectF(12.6, 300, 200, 100));
    const Proxy top = e.add(ZERI_MixedMediaObject::Shape, QRectF(400, 50.2, 80, 60));
    e.open();
    QVR_CoordinatesDisplayView badge(e.window);
    badge.setDisplayCoordinates(1 | 2 | 4 | 8);
    badge.setMmObj(left);
    const auto& labels = badge.labels();
    ASSERT_EQ(labels.size(), 4u);
    EXPECT_EQ(labels[0].text, QStringLiteral("x:13"));
    EXPECT_EQ(labels[1].text, QStringLiteral("y:300"));
    EXPECT_EQ(labels[2].text, QStringLiteral("Width:200"));
    EXPECT_EQ(labels[3].text, QStringLiteral("Height:100"));
    // x and y share the lower row, at the bottom margin; width and height lie above them.
    EXPECT_EQ(labels[0].rect.bottom() + 1, badge.height() - 5);
    EXPECT_EQ(labels[0].rect.top(), labels[1].rect.top());
    EXPECT_LT(labels[2].rect.bottom(), labels[0].rect.top());
    EXPECT_EQ(labels[1].rect.left(), labels[0].rect.right() + 1 + 5);

    badge.setDisplayCoordinates(1 | 4);
    badge.redrawLayerContents();
    ASSERT_EQ(badge.labels().size(), 2u);
    EXPECT_EQ(badge.labels()[0].rect.top(), badge.labels()[1].rect.top());
    EXPECT_EQ(badge.labels()[1].text, QStringLiteral("Width:200"));

    // Two selected: x and the width from the leftmost, y from the topmost.
    e.select(left);
    QTest::mousePress(e.viewport(), Qt::LeftButton, Qt::ControlModifier, e.at(QPointF(440, 80)));
    QTest::mouseRelease(e.viewport(), Qt::LeftButton, Qt::ControlModifier, e.at(QPointF(440, 80)));
    ASSERT_EQ(e.frame()->selectedViews().size(), 2u);
    badge.setDisplayCoordinates(1 | 2 | 4);
    badge.setSelectedItem(e.frame());
    EXPECT_EQ(badge.mmObj(), left);
    EXPECT_EQ(badge.labels()[0].text, QStringLiteral("x:13"));
    EXPECT_EQ(badge.labels()[1].text, QStringLiteral("y:50"));
    EXPECT_EQ(badge.labels()[2].text, QStringLiteral("Width:200"));

    // A frame change shows within one turn of the event loop.
    (*left)->setFrame(QRectF(40, 300, 250, 100));
    QApplication::processEvents();
    EXPECT_EQ(badge.labels()[0].text, QStringLiteral("x:40"));
    EXPECT_EQ(badge.labels()[2].text, QStringLiteral("Width:250"));
}

TEST(ResizeHandles, AnObjectLeavingMidGestureEndsItQuietly)
{
    for (bool rotate : {false, true}) {
        Editor e;
        const Proxy shape = e.add(ZERI_MixedMediaObject::Shape, QRectF(100, 100, 200, 100));
        e.open();
        e.select(shape);
        const auto flow = e.document->firstFlowmodel();
        const QPoint to = e.pressAndMove(rotate ? 1 : 2, rotate, QPoint(30, 20));
        ASSERT_NE(flow->currentUndoableAction(), nullptr) << rotate;
        e.screen->removeMixedMediaObject(shape);
        QApplication::processEvents();
        e.moveTo(to + QPoint(40, 40));
        QTest::mouseRelease(e.viewport(), Qt::LeftButton, {}, to + QPoint(40, 40));
        EXPECT_FALSE(e.handler()->isBusy());
        EXPECT_EQ(flow->currentUndoableAction(), nullptr) << rotate;
        EXPECT_TRUE(e.pixmapItems().empty());
        EXPECT_EQ((*shape)->rotation(), 0);
    }
}

TEST(RotateHandles, APictureTurnedOverTheScreensEdgeIsDimmedThereLikeAnyElement)
{
    Editor e;
    // A wide picture along the top of the screen, turned a quarter by its top right handle.
    const Proxy image = e.addImage(QRectF(300, 20, 400, 100), QSize(400, 100), 1.0, QSizeF(0, 0));
    e.open();
    // After the window's own first fit, which comes a moment after it opens.
    QTest::qWait(800);
    e.board()->setZoomLevel(0.5, false);
    QTest::qWait(300);
    e.board()->theScrollView()->centerOn(QPointF(512, 200));
    QApplication::processEvents();
    e.select(image);
    const QPoint from = e.handleCentre(1, true);
    QTest::mousePress(e.viewport(), Qt::LeftButton, {}, from);
    for (int i = 1; i <= 5; ++i)
        e.moveTo(from + QPoint(0, 15 * i));
    QGraphicsPixmapItem* turning = e.handler()->rotateHandler().rotateView();
    ASSERT_TRUE(turning);
    // Where the turning picture reaches over the screen's top edge, the screen's dimming lies over it, as over
    // the part of any element outside the screen.
    const QPolygonF turned = turning->mapToScene(turning->boundingRect());
    const QPointF top = *std::min_element(turned.begin(), turned.end(),
                                          [](const QPointF& a, const QPointF& b) { return a.y() < b.y(); });
    ASSERT_LT(top.y(), -10);
    // On the way from that corner to the picture's centre, halfway up to the screen's edge: inside the picture.
    const QPointF centre = turned.boundingRect().center();
    const QPointF above = top + (centre - top) * (-top.y() / 2 / (centre.y() - top.y()));
    ASSERT_TRUE(turning->contains(turning->mapFromScene(above)));
    QGraphicsItem* dimming = nullptr;
    bool dimmedOver = false;
    for (QGraphicsItem* item :
         e.board()->singleScreen()->scene()->items(above, Qt::IntersectsItemBoundingRect, Qt::DescendingOrder)) {
        if (item == turning) {
            dimmedOver = dimming != nullptr;
            break;
        }
        if (item->zValue() == QVR_CreatorSingleScreen::kMaskZValue)
            dimming = item;
    }
    EXPECT_TRUE(dimmedOver) << "the turning picture lies over the screen's dimming";
    for (int i = 6; i <= 10; ++i)
        e.moveTo(from + QPoint(0, 15 * i));
    QTest::mouseRelease(e.viewport(), Qt::LeftButton, {}, from + QPoint(0, 150));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !e.handler()->isBusy(); }, 20000));
    EXPECT_EQ((*image)->rotation(), 1);
    EXPECT_FALSE(e.handler()->rotateHandler().rotateView());
}
