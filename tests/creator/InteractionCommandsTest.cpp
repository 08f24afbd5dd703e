#include <functional>

#include <QApplication>
#include <QClipboard>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QMimeData>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "CreatorTestSupport.h"
#include "app/QVRWindowManager.h"
#include "controls/ControlsArtwork.h"
#include "creator/CreatorLibrary.h"
#include "creator/addition/QVRContentAdditionManager.h"
#include "creator/canvas/QVR_ArtBoardScrollView.h"
#include "creator/canvas/QVR_CreatorSingleScreen.h"
#include "creator/canvas/QVR_MixedMediaElementContainingView.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/interaction/QVR_InteractableViewHandler.h"
#include "creator/interaction/QVR_InteractionModelUtils.h"
#include "creator/interaction/QVR_SelectedItemView.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "elements/views/QVR_AttributedTextMixedMediaElementView.h"
#include "platform/UndoManager.h"
#include "platform/UserDefaults.h"
#include "platform/WorkerThreads.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/AttributedText.h"
#include "tessarine_data_model/ZERI_MMObject_Shape.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

using namespace creator_test;
using Proxy = std::shared_ptr<ZERI_MixedMediaObjectProxy>;

namespace {

// A creator window on a two-screen document; screen "S0" holds shapes A, B, C, D back to front, each overlapping
// all the others (each 100 points right of the last), a shape E apart from them, and a text T.
struct CommandsWindow {
    CommandsWindow()
    {
        UserDefaults::setStoreFileForTesting(settings.filePath(QStringLiteral("defaults.conf")));
        QVR_InteractionModelUtils::setClickDetectionTimeDelay(0.2);
        ControlsArtwork::registerNamedImages();
        registerCreatorLibrary();
        for (int i = 0; i < 4; ++i)
            stack.push_back(add(ZERI_MixedMediaObject::Shape, QRectF(50 + 100 * i, 50, 400, 200)));
        e = add(ZERI_MixedMediaObject::Shape, QRectF(800, 500, 100, 100));
        t = add(ZERI_MixedMediaObject::Text, QRectF(100, 500, 300, 100));
        window = qobject_cast<QVR_CreatorWindow*>(QVRWindowManager::sharedInstance().makeCreatorWindow());
        window->resize(1400, 1000);
        window->launchTessarineWithTessarineModel(document);
        window->show();
        window->activateWindow();
        QApplication::processEvents();
        board()->setZoomLevelWithoutNotification(1.0);
        QApplication::processEvents();
    }
    ~CommandsWindow()
    {
        delete window.data();
        UserDefaults::setStoreFileForTesting(QString());
        QVR_InteractionModelUtils::resetClickDetectionTimeDelayCache();
    }
    Proxy add(int type, const QRectF& frame)
    {
        auto object = ZERI_MixedMediaObject::objectWithType(type);
        (*object)->setFrame(frame);
        screen->addMixedMediaObject(object);
        return object;
    }
    QVR_SingleScreenArtBoardView* board() const { return window->theArtBoard(); }
    QVR_InteractableViewHandler* handler() const { return QVR_InteractableViewHandler::handlerForBoard(board()); }
    QPoint at(const QPointF& p) const { return board()->theScrollView()->mapFromScene(p); }
    void click(const QPointF& p, Qt::KeyboardModifiers m = {})
    {
        QWidget* viewport = board()->theScrollView()->viewport();
        QTest::mousePress(viewport, Qt::LeftButton, m, at(p));
        QTest::mouseRelease(viewport, Qt::LeftButton, m, at(p));
    }
    // Selects stacked objects by their letters ("AB"), with real clicks on their uncovered strips.
    void select(const QString& letters)
    {
        handler()->deselectAll();
        for (const QChar letter : letters) {
            const auto& object = stack[static_cast<std::size_t>(letter.unicode() - 'A')];
            const QRectF frame = (*object)->frame();
            // The strip right of the next object's left edge is covered; the left strip of the frontmost part is
            // found through the model's order.
            const qsizetype index = screen->indexOfMixedMediaObject(object);
            double x = frame.left() + 10;
            for (const auto& other : screen->mixedMediaObjects())
                if (screen->indexOfMixedMediaObject(other) > index && (*other)->frame().contains(x, frame.top() + 100))
                    x = frame.right() - 10;
            click(QPointF(x, frame.top() + 100), Qt::ControlModifier);
            QApplication::processEvents();
        }
    }
    // The stacked objects' letters, back to front, told by their frames (an undone deletion brings back copies).
    QString order() const
    {
        QString letters;
        for (const auto& object : screen->mixedMediaObjects()) {
            const QRectF frame = (*object)->frame();
            if (frame.top() == 50 && frame.width() == 400)
                letters += QChar(char16_t('A' + int(frame.left() - 50) / 100));
        }
        return letters;
    }
    UndoManager& undo() const { return document->firstFlowmodel()->undoManager(); }

    QTemporaryDir settings;
    std::shared_ptr<ZERI_TessarineModel> document = makeDocument(2);
    std::shared_ptr<ZERI_FlowScreenModel> screen = document->firstFlowmodel()->screenModels().front();
    std::vector<Proxy> stack;
    Proxy e, t;
    QPointer<QVR_CreatorWindow> window;
};

} // namespace

TEST(CanvasCommands, StackingMovesKeepTheSelectionTogetherAndEachUndoesFromAnotherScreen)
{
    struct Case {
        QString selection;
        void (QVR_CreatorWindow::*command)(uint);
        QString expected;
    };
    const Case cases[] = {
        {QStringLiteral("AB"), &QVR_CreatorWindow::performBringForward, QStringLiteral("CABD")},
        {QStringLiteral("AB"), &QVR_CreatorWindow::performBringToFront, QStringLiteral("CDAB")},
        {QStringLiteral("CD"), &QVR_CreatorWindow::performSendBackward, QStringLiteral("ACDB")},
        {QStringLiteral("CD"), &QVR_CreatorWindow::performSendToBack, QStringLiteral("CDAB")},
    };
    CommandsWindow w;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.selection.toStdString() + " -> " + c.expected.toStdString());
        ASSERT_EQ(w.order(), QStringLiteral("ABCD"));
        w.select(c.selection);
        ASSERT_EQ(w.handler()->currentlySelectedArray().size(), 2u);
        const int steps = w.undo().undoCount();
        (w.window->*c.command)(0);
        EXPECT_EQ(w.order(), c.expected);
        EXPECT_EQ(w.undo().undoCount(), steps + 1);

        w.window->setCurrentIndex(1);
        ASSERT_TRUE(w.undo().undo());
        EXPECT_EQ(w.order(), QStringLiteral("ABCD"));
        EXPECT_EQ(w.window->currentIndex(), 0) << "undo pages back";
        QApplication::processEvents();
    }

    // An object that overlaps nothing can move neither way.
    w.handler()->deselectAll();
    w.click(QPointF(850, 550));
    ASSERT_EQ(w.handler()->currentlySelectedArray().size(), 1u);
    EXPECT_FALSE(w.window->canBringForward());
    EXPECT_FALSE(w.window->canSendBackward());
    EXPECT_FALSE(w.window->canBringToFront());
    w.window->performBringToFront(0);
    EXPECT_EQ(w.undo().undoCount(), 0) << "a disabled command makes no step";
}

TEST(CanvasCommands, DeleteIsOneStepAndLeavesTextBeingEditedToTheKey)
{
    CommandsWindow w;
    w.select(QStringLiteral("AC"));
    ASSERT_EQ(w.handler()->currentlySelectedArray().size(), 2u);
    ASSERT_TRUE(w.window->canDelete());
    w.board()->theScrollView()->setFocus();
    QTest::keyClick(w.board()->theScrollView(), Qt::Key_Delete);
    EXPECT_EQ(w.order(), QStringLiteral("BD"));
    EXPECT_TRUE(w.handler()->currentlySelectedArray().empty());
    EXPECT_EQ(w.undo().undoCount(), 1);
    w.window->setCurrentIndex(1);
    ASSERT_TRUE(w.undo().undo());
    EXPECT_EQ(w.order(), QStringLiteral("ABCD"));
    EXPECT_EQ(w.window->currentIndex(), 0);

    // A single text being edited keeps plain Delete; Ctrl+Delete removes it.
    QApplication::processEvents();
    w.handler()->deselectAll();
    w.click(QPointF(200, 550));
    ASSERT_EQ(w.handler()->currentlySelectedArray().size(), 1u);
    auto* text = dynamic_cast<QVR_AttributedTextMixedMediaElementView*>(
        w.handler()->currentlySelectedArray().front()->mixedMediaElementView());
    ASSERT_TRUE(text);
    text->setEditable(true);
    const auto count = w.screen->mixedMediaObjects().size();
    w.window->performDelete(0);
    EXPECT_EQ(w.screen->mixedMediaObjects().size(), count);
    w.window->performDelete(uint(Qt::ControlModifier));
    EXPECT_EQ(w.screen->mixedMediaObjects().size(), count - 1);
    EXPECT_EQ(w.screen->indexOfMixedMediaObject(w.t), -1);

    // While content is being added, the commands do nothing.
    QApplication::processEvents();
    w.select(QStringLiteral("AB"));
    w.handler()->setCommandsBlocked([] { return true; });
    const int steps = w.undo().undoCount();
    w.window->performDelete(0);
    w.window->performBringToFront(0);
    EXPECT_EQ(w.order(), QStringLiteral("ABCD"));
    EXPECT_EQ(w.undo().undoCount(), steps);
}

TEST(CanvasCommands, CopyWritesTheSelectionBackToFrontAndCutIsOneStep)
{
    CommandsWindow w;
    // C, then A and B: the clipboard holds them in stacking order.
    w.select(QStringLiteral("CAB"));
    ASSERT_EQ(w.handler()->currentlySelectedArray().size(), 3u);
    QSignalSpy written(w.handler(), &QVR_InteractableViewHandler::copyWritten);
    QGuiApplication::clipboard()->clear();
    w.window->performCopy(0);
    EXPECT_EQ(w.undo().undoCount(), 0);
    ASSERT_TRUE(written.wait(5000));
    auto pasted = ZERI_MixedMediaObject::pasteboardReadObjects();
    ASSERT_EQ(pasted.size(), 3u);
    EXPECT_EQ((*pasted[0])->frame().left(), 50);
    EXPECT_EQ((*pasted[1])->frame().left(), 150);
    EXPECT_EQ((*pasted[2])->frame().left(), 250);

    // Cut: the clipboard and one step; undo brings the objects back.
    w.select(QStringLiteral("BD"));
    w.window->performCut(0);
    EXPECT_EQ(w.order(), QStringLiteral("AC"));
    EXPECT_EQ(w.undo().undoCount(), 1);
    ASSERT_TRUE(written.wait(5000));
    EXPECT_EQ(ZERI_MixedMediaObject::pasteboardReadObjects().size(), 2u);
    ASSERT_TRUE(w.undo().undo());
    EXPECT_EQ(w.order(), QStringLiteral("ABCD"));

    // While content is being added, copy and cut leave the clipboard and the screen alone.
    QApplication::processEvents();
    w.select(QStringLiteral("A"));
    w.handler()->setCommandsBlocked([] { return true; });
    QGuiApplication::clipboard()->clear();
    EXPECT_FALSE(w.window->canCopy());
    w.window->performCopy(0);
    w.window->performCut(0);
    QTest::qWait(50);
    EXPECT_TRUE(ZERI_MixedMediaObject::pasteboardReadObjects().empty());
    EXPECT_EQ(w.order(), QStringLiteral("ABCD"));
}

namespace {
struct DragOut {
    DragOut()
    {
        QVR_InteractableViewHandler::setDragStarter(
            [this](QWidget*, QMimeData* mime, const QPixmap& pixmap, const QPoint& point) {
                ++started;
                data.reset(mime);
                picture = pixmap;
                hotSpot = point;
                // A system drag ends with the button released elsewhere.
                if (takesRelease)
                    QTest::mouseRelease(&elsewhere, Qt::LeftButton);
            });
    }
    ~DragOut()
    {
        QVR_InteractableViewHandler::setDragStarter({});
        WorkerThreads::shared().waitForIdle();
        QApplication::processEvents();
    }
    int started = 0;
    std::unique_ptr<QMimeData> data;
    QPixmap picture;
    QPoint hotSpot;
    bool takesRelease = false;
    QWidget elsewhere;
};

void dragMouseTo(QWidget* viewport, QPoint pixel)
{
    QMouseEvent event(QEvent::MouseMove, QPointF(pixel), viewport->mapToGlobal(QPointF(pixel)), Qt::NoButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &event);
}

void runEventsFor(int ms, const std::function<bool()>& until = {})
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired() && !(until && until())) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QTest::qSleep(5);
    }
}
} // namespace

TEST(CanvasCommands, AMoveHeldOutsideTheCanvasBecomesADragOfCopiesAndLeavesNoStep)
{
    CommandsWindow w;
    w.e->as<ZERI_MMObject_Shape>()->setShapeType(ZERI_MMObject_Shape::Rectangle);
    w.e->as<ZERI_MMObject_Shape>()->setColor(QColor(20, 60, 200));
    w.screen->updateNotifier().sendUpdateNotificationsIfNeeded();
    QApplication::processEvents();
    DragOut out;
    out.takesRelease = true;
    QWidget* viewport = w.board()->theScrollView()->viewport();
    const QRectF start = (*w.e)->frame();
    const QPoint press = w.at(start.center());
    const int steps = w.undo().undoCount();

    // Leaving for a moment and coming back: the move goes on and is one step.
    QTest::mousePress(viewport, Qt::LeftButton, {}, press);
    dragMouseTo(viewport, press + QPoint(20, 20));
    dragMouseTo(viewport, QPoint(-40, press.y()));
    runEventsFor(300);
    dragMouseTo(viewport, press + QPoint(30, 30));
    runEventsFor(400);
    EXPECT_EQ(out.started, 0);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, press + QPoint(30, 30));
    EXPECT_NE((*w.e)->frame(), start);
    EXPECT_EQ(w.undo().undoCount(), steps + 1);

    // Resting outside: the element goes back, no step, and the drag carries what content addition accepts.
    const QRectF moved = (*w.e)->frame();
    const QPoint again = w.at(moved.center());
    QTest::mousePress(viewport, Qt::LeftButton, {}, again);
    dragMouseTo(viewport, again + QPoint(20, 20));
    dragMouseTo(viewport, QPoint(-40, again.y()));
    runEventsFor(3000, [&] { return out.started > 0; });
    ASSERT_EQ(out.started, 1);
    EXPECT_EQ((*w.e)->frame(), moved);
    EXPECT_EQ(w.undo().undoCount(), steps + 1);
    ASSERT_TRUE(out.data);
    EXPECT_TRUE(QVRContentAdditionManager::canAddFromMimeData(out.data.get()));
    EXPECT_TRUE(out.data->hasImage());
    const auto dragged = ZERI_MixedMediaObject::readObjectsFromMimeData(out.data.get());
    ASSERT_EQ(dragged.size(), 1u);
    EXPECT_EQ((*dragged.front())->frame(), moved);
    EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->hasFormat(ZERI_MixedMediaObject::kPasteboardType), true);
    EXPECT_TRUE(w.handler()->currentlySelectedArray().empty());
    // Without a cropped picture the element is painted: a 100-point shape keeps its size, rising from the
    // pointer.
    EXPECT_EQ(out.picture.deviceIndependentSize(), QSizeF(100, 100));
    EXPECT_EQ(out.hotSpot, QPoint(0, 100));
    const QImage painted = qvariant_cast<QImage>(out.data->imageData());
    ASSERT_EQ(painted.size(), QSize(100, 100));
    EXPECT_EQ(painted.pixelColor(50, 50), QColor(20, 60, 200));

    // The system drag took the release: the rest of the gesture changes nothing, and the next click is an
    // ordinary click.
    dragMouseTo(viewport, again + QPoint(50, 50));
    EXPECT_EQ((*w.e)->frame(), moved);
    w.click(moved.center());
    ASSERT_EQ(w.handler()->currentlySelectedArray().size(), 1u);
    EXPECT_EQ(w.handler()->currentlySelectedArray().front()->mixedMediaObject(), w.e);
    EXPECT_EQ((*w.e)->frame(), moved);
    EXPECT_EQ(w.undo().undoCount(), steps + 1);
}

TEST(CanvasCommands, ARubberBandHeldOutsideTheCanvasStartsNoDrag)
{
    CommandsWindow w;
    int started = 0;
    QVR_InteractableViewHandler::setDragStarter([&](QWidget*, QMimeData* data, const QPixmap&, const QPoint&) {
        ++started;
        delete data;
    });
    QWidget* viewport = w.board()->theScrollView()->viewport();
    const QPoint press = w.at(QPointF(700, 700));
    QTest::mousePress(viewport, Qt::LeftButton, {}, press);
    dragMouseTo(viewport, press + QPoint(20, 20));
    dragMouseTo(viewport, QPoint(-40, press.y()));
    runEventsFor(800);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, QPoint(-40, press.y()));
    EXPECT_EQ(started, 0);
    QVR_InteractableViewHandler::setDragStarter({});
}

TEST(CanvasCommands, ARubberBandHeldOutsideTheCanvasDragsOutWhatItSelected)
{
    CommandsWindow w;
    // A text with words (an empty one leaves its screen when deselected).
    w.t->as<ZERI_MMObject_Text>()->setAttributedString(AttributedText(QStringLiteral("Hello")));
    DragOut out;
    QWidget* viewport = w.board()->theScrollView()->viewport();
    const QRectF textFrame = (*w.t)->frame();
    const QRectF shapeFrame = (*w.e)->frame();
    const int steps = w.undo().undoCount();
    // Beyond the canvas with nothing selected yet: the band goes on.
    const QPoint press = w.at(QPointF(950, 700));
    QTest::mousePress(viewport, Qt::LeftButton, {}, press);
    dragMouseTo(viewport, press + QPoint(-20, 0));
    dragMouseTo(viewport, QPoint(-40, press.y()));
    runEventsFor(800);
    EXPECT_TRUE(w.handler()->multiSelectBoxIsActive());
    EXPECT_EQ(out.started, 0);
    // Back over E; resting on the canvas's scroll bar is still inside the canvas.
    dragMouseTo(viewport, w.at(QPointF(850, 560)));
    EXPECT_EQ(w.handler()->currentlySelectedArray().size(), 1u);
    dragMouseTo(viewport, QPoint(viewport->width() + 5, w.at(QPointF(0, 560)).y()));
    runEventsFor(800);
    EXPECT_EQ(out.started, 0);
    EXPECT_TRUE(w.handler()->multiSelectBoxIsActive());
    // Then over E and T to beyond the canvas's left edge.
    const QPoint outside(-40, w.at(QPointF(0, 560)).y());
    dragMouseTo(viewport, outside);
    ASSERT_EQ(w.handler()->currentlySelectedArray().size(), 2u);
    runEventsFor(3000, [&] { return out.started > 0; });
    ASSERT_EQ(out.started, 1);
    EXPECT_FALSE(w.handler()->multiSelectBoxIsActive()) << "the band ended";
    EXPECT_TRUE(w.handler()->currentlySelectedArray().empty());
    ASSERT_TRUE(out.data);
    const auto dragged = ZERI_MixedMediaObject::readObjectsFromMimeData(out.data.get());
    ASSERT_EQ(dragged.size(), 2u);
    QList<QRectF> frames{(*dragged[0])->frame(), (*dragged[1])->frame()};
    EXPECT_TRUE(frames.contains((*w.t)->frame()) && frames.contains(shapeFrame));
    // The rest of the press selects nothing again and changes nothing.
    dragMouseTo(viewport, w.at(QPointF(850, 560)));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, w.at(QPointF(850, 560)));
    EXPECT_TRUE(w.handler()->currentlySelectedArray().empty());
    EXPECT_EQ((*w.e)->frame(), shapeFrame);
    EXPECT_EQ((*w.t)->frame().topLeft(), textFrame.topLeft()); // a text fits its height to its words
    EXPECT_EQ(w.undo().undoCount(), steps);
}

TEST(CanvasCommands, ADraggedOutPictureIsTheCroppedPictureScaledToTheElement)
{
    using Handler = QVR_InteractableViewHandler;
    EXPECT_EQ(Handler::dragPictureSize(QSize(1000, 500), QSizeF(400, 200)), QSizeF(56, 28));
    EXPECT_EQ(Handler::dragPictureSize(QSize(500, 1000), QSizeF(100, 200)), QSizeF(14, 28));
    EXPECT_EQ(Handler::dragPictureSize(QSize(140, 70), QSizeF(400, 200)), QSizeF(140, 70));
    EXPECT_TRUE(Handler::dragPictureSize(QSize(), QSizeF(400, 200)).isEmpty());

    // A 400 × 200 element whose cropped picture is 1000 × 500 pixels.
    CommandsWindow w;
    QTemporaryDir files;
    const QString path = files.filePath(QStringLiteral("cropped.png"));
    QImage red(1000, 500, QImage::Format_RGB32);
    red.fill(Qt::red);
    ASSERT_TRUE(red.save(path));
    auto asset = ZERI_ContentAsset::create();
    asset->setExternalURL(QUrl::fromLocalFile(path));
    const Proxy image = w.add(ZERI_MixedMediaObject::Image, QRectF(400, 280, 400, 200));
    (*image)->setCroppedImageAsset(asset);
    w.screen->updateNotifier().sendUpdateNotificationsIfNeeded();
    QApplication::processEvents();

    DragOut out;
    QWidget* viewport = w.board()->theScrollView()->viewport();
    const QPoint press = w.at(QPointF(600, 380));
    const QPoint outside(-40, press.y());
    const int steps = w.undo().undoCount();
    // Holds the image outside the canvas; `meanwhile` runs once the move is cancelled, before the picture comes.
    const auto holdOutside = [&](const std::function<void()>& meanwhile) {
        QMetaObject::Connection connection;
        if (meanwhile)
            connection = QObject::connect(w.handler(), &QVR_InteractableViewHandler::dragOutStarted, meanwhile);
        bool began = false;
        const auto seen =
            QObject::connect(w.handler(), &QVR_InteractableViewHandler::dragOutStarted, [&] { began = true; });
        const int before = out.started;
        QTest::mousePress(viewport, Qt::LeftButton, {}, press);
        dragMouseTo(viewport, press + QPoint(20, 20));
        dragMouseTo(viewport, outside);
        runEventsFor(3000, [&] { return began; });
        EXPECT_TRUE(began);
        // The picture takes a few milliseconds; a drag that should not come has had ample time.
        runEventsFor(meanwhile ? 300 : 3000, [&] { return out.started > before; });
        QObject::disconnect(connection);
        QObject::disconnect(seen);
    };

    // The element goes back, no step; the clipboard holds the copy and the drag the picture at 56 × 28 points,
    // its bottom-left corner at the pointer, with our own data and the full picture for other programs.
    QGuiApplication::clipboard()->clear();
    holdOutside({});
    ASSERT_EQ(out.started, 1);
    EXPECT_EQ((*image)->frame(), QRectF(400, 280, 400, 200));
    EXPECT_EQ(w.undo().undoCount(), steps);
    const QMimeData* clipboard = QGuiApplication::clipboard()->mimeData();
    ASSERT_TRUE(clipboard && clipboard->hasFormat(ZERI_MixedMediaObject::kPasteboardType));
    EXPECT_EQ(out.picture.deviceIndependentSize(), QSizeF(56, 28));
    EXPECT_EQ(out.picture.size(), (QSizeF(56, 28) * viewport->devicePixelRatioF()).toSize());
    EXPECT_EQ(out.picture.toImage().pixelColor(28, 14), QColor(Qt::red));
    EXPECT_EQ(out.hotSpot, QPoint(0, 28));
    ASSERT_TRUE(out.data);
    EXPECT_TRUE(out.data->hasFormat(ZERI_MixedMediaObject::kPasteboardType));
    ASSERT_TRUE(out.data->hasImage());
    EXPECT_EQ(qvariant_cast<QImage>(out.data->imageData()).size(), QSize(1000, 500));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, outside);

    // Released, or the element removed, before the picture comes: nothing starts, and the clipboard keeps what it
    // held, files included.
    const QByteArray held = clipboard->data(ZERI_MixedMediaObject::kPasteboardType);
    const auto heldObjects = ZERI_MixedMediaObject::pasteboardReadObjects();
    ASSERT_EQ(heldObjects.size(), 1u);
    ASSERT_TRUE((*heldObjects.front())->croppedImageAsset());
    const QString heldFile = (*heldObjects.front())->croppedImageAsset()->localFilePath();
    EXPECT_NE(heldFile, path);
    EXPECT_TRUE(QFileInfo(heldFile).isFile());
    holdOutside([&] { QTest::mouseRelease(viewport, Qt::LeftButton, {}, outside); });
    holdOutside([&] {
        w.screen->removeMixedMediaObject(image);
        w.screen->updateNotifier().sendUpdateNotificationsIfNeeded();
    });
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, outside);
    EXPECT_EQ(out.started, 1);
    EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->data(ZERI_MixedMediaObject::kPasteboardType), held);
    EXPECT_TRUE(QFileInfo(heldFile).isFile());
    EXPECT_EQ(w.screen->indexOfMixedMediaObject(image), -1);
}
