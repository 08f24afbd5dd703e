#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QMouseEvent>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "CreatorTestSupport.h"
#include "app/QVRWindowManager.h"
#include "app/QVRWindowManagerManagedWindow.h"
#include "controls/ControlsArtwork.h"
#include "creator/CreatorLibrary.h"
#include "creator/canvas/QVR_ArtBoardScrollView.h"
#include "creator/canvas/QVR_CreatorSingleScreen.h"
#include "creator/canvas/QVR_MixedMediaElementContainingView.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/interaction/QVR_InteractableViewHandler.h"
#include "creator/interaction/QVR_InteractionModelUtils.h"
#include "creator/interaction/QVR_SelectedItemView.h"
#include "creator/window/CreatorInspectorInterfaces.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "elements/text/QVR_AttributedTextView.h"
#include "elements/views/QVR_AttributedTextMixedMediaElementView.h"
#include "foundation/Tessutils.h"
#include "platform/UndoManager.h"
#include "platform/UserDefaults.h"
#include "tessarine_data_model/QVR_TextStorage.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

using namespace creator_test;
using Container = QVR_MixedMediaElementContainingView;
using Proxy = std::shared_ptr<ZERI_MixedMediaObjectProxy>;

namespace {

// Counts what the frame hands its delegate.
struct DelegateRecorder : QVR_SelectedItemHandler {
    int deletes = 0, enters = 0, deselects = 0;
    size_t deletedCount = 0;
    void wantsToDeleteViews(const std::vector<Container*>& views, uint) override
    {
        ++deletes;
        deletedCount = views.size();
    }
    void enterKeyPressed() override { ++enters; }
    void wantsToDeselectAllViews() override { ++deselects; }
};

// A creator window on a two-screen document; screen "S0" holds image A at (100, 100, 200, 100), shape B at
// (400, 100, 100, 100) and a text T at (100, 300, 300, 100).
struct Window {
    Window()
    {
        UserDefaults::setStoreFileForTesting(settings.filePath(QStringLiteral("defaults.conf")));
        QVR_InteractionModelUtils::setClickDetectionTimeDelay(0.2);
        ControlsArtwork::registerNamedImages();
        registerCreatorLibrary();
        a = add(ZERI_MixedMediaObject::Image, QRectF(100, 100, 200, 100));
        b = add(ZERI_MixedMediaObject::Shape, QRectF(400, 100, 100, 100));
        t = add(ZERI_MixedMediaObject::Text, QRectF(100, 300, 300, 100));
        window = qobject_cast<QVR_CreatorWindow*>(QVRWindowManager::sharedInstance().makeCreatorWindow());
        window->resize(1400, 1000);
        window->launchTessarineWithTessarineModel(document);
        window->show();
        window->activateWindow();
        QApplication::processEvents();
        board()->setZoomLevelWithoutNotification(1.0);
        QApplication::processEvents();
    }
    ~Window()
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
    QVR_SelectedItemView* frame() const { return window->selectedItemView(); }
    Container* container(const Proxy& object) const
    {
        return board()->singleScreen()->containerForMixedMediaObject(object);
    }
    QWidget* viewport() const { return board()->theScrollView()->viewport(); }
    QPoint at(const QPointF& p) const { return board()->theScrollView()->mapFromScene(p); }
    void click(const QPointF& p, Qt::KeyboardModifiers m = {})
    {
        QTest::mousePress(viewport(), Qt::LeftButton, m, at(p));
        QTest::mouseRelease(viewport(), Qt::LeftButton, m, at(p));
    }
    void dragPixels(const QPoint& from, const QPoint& to)
    {
        QTest::mousePress(viewport(), Qt::LeftButton, {}, from);
        QMouseEvent move(QEvent::MouseMove, QPointF(to), viewport()->mapToGlobal(QPointF(to)), Qt::NoButton,
                         Qt::LeftButton, {});
        QApplication::sendEvent(viewport(), &move);
        QTest::mouseRelease(viewport(), Qt::LeftButton, {}, to);
    }
    // A handle's rectangle in viewport pixels.
    QRectF deviceRect(const QGraphicsItem* item) const
    {
        return item->deviceTransform(board()->theScrollView()->viewportTransform()).mapRect(item->boundingRect());
    }
    QTemporaryDir settings;
    std::shared_ptr<ZERI_TessarineModel> document = makeDocument(2);
    std::shared_ptr<ZERI_FlowScreenModel> screen = document->firstFlowmodel()->screenModels().front();
    Proxy a, b, t;
    QPointer<QVR_CreatorWindow> window;
};

int enabledHandles(const QVR_SelectedItemView* frame, bool rotate)
{
    int count = 0;
    for (int position = 0; position < (rotate ? 4 : 8); ++position) {
        const auto* handle = frame->handle(position, rotate);
        count += handle->isEnabled() && handle->opacity() > 0 ? 1 : 0;
    }
    return count;
}

} // namespace

TEST(SelectionFrame, HandlesFollowWhatIsSelected)
{
    Window w;
    ASSERT_TRUE(w.handler());
    w.click(QPointF(150, 150));
    ASSERT_EQ(w.frame()->selectedViews(), (std::vector<Container*>{w.container(w.a)}));
    EXPECT_TRUE(w.frame()->isVisible());
    EXPECT_EQ(w.frame()->zValue(), QVR_SelectedItemView::kZValue);
    EXPECT_EQ(enabledHandles(w.frame(), false), 8);
    EXPECT_EQ(enabledHandles(w.frame(), true), 4);

    // Over resize handle 0 the cursor is the diagonal resize picture.
    {
        const QPoint over = w.deviceRect(w.frame()->handle(0, false)).center().toPoint();
        QMouseEvent move(QEvent::MouseMove, QPointF(over), w.viewport()->mapToGlobal(QPointF(over)), Qt::NoButton,
                         Qt::NoButton, {});
        QApplication::sendEvent(w.viewport(), &move);
        const QImage expected = QVR_InteractionModelUtils::resizeCursorForPosition(0).pixmap().toImage();
        EXPECT_FALSE(expected.isNull());
        EXPECT_EQ(w.viewport()->cursor().pixmap().toImage(), expected);
        EXPECT_NE(QVR_InteractionModelUtils::resizeCursorForPosition(4).pixmap().toImage(), expected);
    }

    w.click(QPointF(450, 150), Qt::ControlModifier);
    EXPECT_EQ(w.frame()->selectedViews(), (std::vector<Container*>{w.container(w.a), w.container(w.b)}));
    EXPECT_EQ(enabledHandles(w.frame(), false), 8);
    EXPECT_EQ(enabledHandles(w.frame(), true), 0);

    // With two selected a resize-handle drag changes nothing and leaves no step.
    UndoManager& undo = w.document->firstFlowmodel()->undoManager();
    const int steps = undo.undoCount();
    const QPoint handle = w.deviceRect(w.frame()->handle(2, false)).center().toPoint();
    w.dragPixels(handle, handle + QPoint(40, 30));
    EXPECT_EQ((*w.a)->frame(), QRectF(100, 100, 200, 100));
    EXPECT_EQ((*w.b)->frame(), QRectF(400, 100, 100, 100));
    EXPECT_EQ(undo.undoCount(), steps);
    EXPECT_EQ(w.frame()->selectedViews().size(), 2u);
    EXPECT_EQ(w.document->firstFlowmodel()->currentUndoableAction(), nullptr);

    // A text alone: only the side handles, no rotation.
    w.click(QPointF(200, 350));
    EXPECT_EQ(w.frame()->selectedViews(), (std::vector<Container*>{w.container(w.t)}));
    EXPECT_EQ(enabledHandles(w.frame(), true), 0);
    for (int position = 0; position < 8; ++position)
        EXPECT_EQ(w.frame()->handle(position, false)->isEnabled(), position == 4 || position == 5) << position;

    // Nothing selected: hidden.
    w.click(QPointF(700, 600));
    EXPECT_FALSE(w.frame()->isVisible());
}

TEST(SelectionFrame, ARotateHandleFadesItsLineAndDotInAndOutWithThePointer)
{
    Window w;
    // The window's own zoom to the remembered level comes first; the pointer then stays over the handle.
    PostCounter zooms(QVR_SingleScreenArtBoardView::kZoomLevelChangedNotification);
    ASSERT_TRUE(QTest::qWaitFor([&] { return zooms.count > 0; }, 3000));
    w.board()->setZoomLevelWithoutNotification(1.0);
    QApplication::processEvents();
    w.click(QPointF(150, 150));
    QVR_SelectedItemHandle* rotate = w.frame()->handle(0, true);
    const QRectF handle = w.deviceRect(rotate);
    // Through the window system, so that the view's own replays of the pointer agree with it.
    const auto moveTo = [&w](const QPointF& pixel) { QTest::mouseMove(w.viewport(), pixel.toPoint()); };
    // A pixel of the blue ring around the outer dot (centred at (5, 5), white inside).
    const QPoint ring = handle.topLeft().toPoint() + QPoint(8, 4);
    const auto ringColour = [&] {
        const QImage shot = w.viewport()->grab().toImage();
        return shot.pixelColor((QPointF(ring) * shot.devicePixelRatio()).toPoint());
    };
    const QColor before = ringColour();
    EXPECT_EQ(rotate->drawnOpacity(), 0.0);

    // Over the outer band of the handle (not its resize handle): the drawing fades in.
    moveTo(handle.topLeft() + QPointF(3, 3));
    EXPECT_LT(rotate->drawnOpacity(), 1.0) << "not all at once";
    ASSERT_TRUE(QTest::qWaitFor([&] { return rotate->drawnOpacity() == 1.0; }, 2000));
    const QColor shown = ringColour();
    const QColor blue = Tessutils::tessarineBlue();
    EXPECT_LE(std::abs(shown.red() - blue.red()) + std::abs(shown.green() - blue.green()) +
                  std::abs(shown.blue() - blue.blue()),
              90)
        << "the ring in the brand blue";

    // Away: it fades out again.
    moveTo(handle.topLeft() + QPointF(-60, -60));
    EXPECT_GT(rotate->drawnOpacity(), 0.0) << "not all at once";
    ASSERT_TRUE(QTest::qWaitFor([&] { return rotate->drawnOpacity() == 0.0; }, 2000));
    EXPECT_EQ(ringColour(), before);
}

TEST(SelectionFrame, OutlineAndHandlesKeepTheirScreenSizeAtEveryZoomAndFollowMoves)
{
    Window w;
    w.click(QPointF(150, 150));
    for (double zoom : {0.5, 2.0}) {
        w.board()->setZoomLevelWithoutNotification(zoom);
        QApplication::processEvents();
        w.board()->theScrollView()->centerOn(QPointF(200, 150));
        w.frame()->selectedViewsDidChange();
        const QRectF box = w.board()->theScrollView()->viewportTransform().mapRect(QRectF(100, 100, 200, 100));
        const QRectF frame = w.deviceRect(w.frame());
        EXPECT_NEAR(frame.left(), box.left() - 15, 0.5) << zoom;
        EXPECT_NEAR(frame.top(), box.top() - 15, 0.5) << zoom;
        EXPECT_NEAR(frame.right(), box.right() + 15, 0.5) << zoom;
        EXPECT_NEAR(frame.bottom(), box.bottom() + 15, 0.5) << zoom;
        for (int position = 0; position < 8; ++position) {
            EXPECT_NEAR(w.deviceRect(w.frame()->handle(position, false)).width(), 21, 0.01);
            if (position < 4) {
                EXPECT_NEAR(w.deviceRect(w.frame()->handle(position, true)).width(), 30, 0.01);
            }
        }
        // The top-left rotate handle sits in the frame's corner, the resize handle 9 px in.
        EXPECT_NEAR(w.deviceRect(w.frame()->handle(0, true)).left(), frame.left(), 0.5);
        EXPECT_NEAR(w.deviceRect(w.frame()->handle(0, false)).left(), frame.left() + 9, 0.5);
        EXPECT_NEAR(w.deviceRect(w.frame()->handle(2, false)).right(), frame.right() - 9, 0.5);
    }

    // After a move the frame follows quickly.
    w.board()->setZoomLevelWithoutNotification(1.0);
    QApplication::processEvents();
    (*w.a)->setFrame(QRectF(150, 120, 200, 100));
    QTest::qWait(100);
    EXPECT_NEAR(w.frame()->sceneBoundingRect().left(), 150 - 15, 0.5);
}

TEST(SelectionFrame, NudgesAreStepsAndHideTheFrameUntilASecondAfterTheLast)
{
    Window w;
    w.click(QPointF(150, 150));
    UndoManager& undo = w.document->firstFlowmodel()->undoManager();
    const int steps = undo.undoCount();
    for (int i = 0; i < 5; ++i)
        QVRWindowManagerManagedWindow::callPerformer(w.window, "performShiftRight", uint(Qt::ShiftModifier));
    EXPECT_EQ((*w.a)->frame(), QRectF(150, 100, 200, 100));
    EXPECT_EQ(undo.undoCount(), steps + 5);

    for (int i = 0; i < 3; ++i) {
        w.window->performNudgeRight(0);
        EXPECT_EQ(w.frame()->opacity(), 0.0);
        QTest::qWait(i < 2 ? 400 : 900);
        EXPECT_EQ(w.frame()->opacity(), 0.0);
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.frame()->opacity() == 1.0; }, 400));
    EXPECT_EQ((*w.a)->frame(), QRectF(153, 100, 200, 100));

    // Undo from another screen pages back.
    w.window->setCurrentIndex(1);
    ASSERT_TRUE(undo.undo());
    QApplication::processEvents();
    EXPECT_EQ(w.window->currentIndex(), 0);
}

TEST(SelectionFrame, KeysActOnTheirOwnWindowOnly)
{
    Window w;
    DelegateRecorder recorder;
    QObject lifetime;
    // Nothing selected: no key reaches any delegate.
    w.frame()->setDelegate(&recorder, &lifetime);
    w.board()->theScrollView()->setFocus();
    QTest::keyClick(w.board()->theScrollView(), Qt::Key_Return);
    QTest::keyClick(w.board()->theScrollView(), Qt::Key_Delete);
    QTest::keyClick(w.board()->theScrollView(), Qt::Key_Escape);
    EXPECT_EQ(recorder.deletes + recorder.enters + recorder.deselects, 0);

    w.click(QPointF(150, 150));
    QTest::keyClick(w.board()->theScrollView(), Qt::Key_Escape);
    EXPECT_TRUE(w.handler()->currentlySelectedArray().empty());

    w.click(QPointF(150, 150));
    w.frame()->setDelegate(&recorder, &lifetime);
    QTest::keyClick(w.board()->theScrollView(), Qt::Key_Delete);
    EXPECT_EQ(recorder.deletes, 1);
    EXPECT_EQ(recorder.deletedCount, 1u);
    QTest::keyClick(w.board()->theScrollView(), Qt::Key_Return);
    EXPECT_EQ(recorder.enters, 1);

    // Not while a text field of the window has focus.
    auto* field = new QLineEdit(w.window);
    field->show();
    field->setFocus();
    QApplication::processEvents();
    QTest::keyClick(field, Qt::Key_Backspace);
    EXPECT_EQ(recorder.deletes, 1);
    // Escape there gives the keyboard back to the canvas and keeps the selection.
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_EQ(recorder.deselects, 0);
    EXPECT_EQ(QApplication::focusWidget(), w.board()->theScrollView());
    delete field;

    // Keys in a second creator window leave this one alone.
    {
        Window other;
        other.click(QPointF(450, 150));
        other.board()->theScrollView()->setFocus();
        QTest::keyClick(other.board()->theScrollView(), Qt::Key_Delete);
        QTest::keyClick(other.board()->theScrollView(), Qt::Key_Escape);
        EXPECT_EQ(recorder.deletes, 1);
        EXPECT_EQ(recorder.deselects, 0);
        EXPECT_EQ(w.frame()->selectedViews().size(), 1u);
    }
}

TEST(SelectionFrame, TypingOnASelectedTextStartsEditingWithTheTypedKey)
{
    Window w;
    auto* text = dynamic_cast<QVR_AttributedTextMixedMediaElementView*>(w.container(w.t)->mixedMediaElementView());
    ASSERT_TRUE(text);
    const QString before = text->textView()->textStorage()->string();

    // Not with an image selected, nor with Ctrl held (Ctrl+B: no menu item takes it).
    w.click(QPointF(150, 150));
    w.board()->theScrollView()->setFocus();
    QTest::keyClick(w.board()->theScrollView(), Qt::Key_A);
    EXPECT_FALSE(text->editable());
    w.click(QPointF(200, 350));
    QTest::keyClick(w.board()->theScrollView(), Qt::Key_B, Qt::ControlModifier);
    EXPECT_FALSE(text->editable());

    // Nor on a control of the window that holds the keyboard: Space there is the control's.
    auto* button = new QPushButton(QStringLiteral("Set Link"), w.window);
    button->show();
    button->setFocus(Qt::TabFocusReason);
    QTest::keyClick(button, Qt::Key_Space);
    EXPECT_FALSE(text->editable());
    delete button;
    w.board()->theScrollView()->setFocus();

    QTest::keyClick(w.board()->theScrollView(), Qt::Key_A, {}, 0);
    EXPECT_TRUE(text->editable());
    EXPECT_EQ(text->textView()->textStorage()->string(), before + QStringLiteral("a"));

    // While editing, the arrows and Delete belong to the text.
    w.window->performNudgeRight(0);
    EXPECT_EQ((*w.t)->frame(), QRectF(100, 300, 300, 100));
    // Ctrl+Backspace and Ctrl+Delete take words; the element stays.
    QTest::keyClicks(w.board()->theScrollView(), QStringLiteral(" word"));
    QTest::keyClick(w.board()->theScrollView(), Qt::Key_Backspace, Qt::ControlModifier);
    EXPECT_EQ(text->textView()->textStorage()->string(), before + QStringLiteral("a "));
    QTest::keyClick(w.board()->theScrollView(), Qt::Key_Delete, Qt::ControlModifier);
    QApplication::processEvents();
    EXPECT_EQ(w.frame()->selectedViews().size(), 1u);

    // Alt with a letter opens the bar's menu; Escape closes it and gives the keyboard back to the text.
    QTest::keyClick(w.board()->theScrollView(), Qt::Key_F, Qt::AltModifier);
    QWidget* menu = QApplication::activePopupWidget();
    ASSERT_TRUE(menu) << "no menu opened";
    QTest::keyClick(menu, Qt::Key_Escape);
    QApplication::processEvents();
    // The popup's window hands the keyboard back to the creator (a window manager's part offscreen).
    w.window->activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == w.window; }, 2000));
    EXPECT_EQ(QApplication::focusWidget(), w.board()->theScrollView());
    QTest::keyClicks(w.board()->theScrollView(), QStringLiteral("more"));
    EXPECT_EQ(text->textView()->textStorage()->string(), before + QStringLiteral("a more"));
}

namespace {

// A panel that records the objects it is told to track.
struct RecordingPanel : CreatorObjectPanel {
    explicit RecordingPanel(std::vector<Proxy>* sink)
        : tracked(sink)
    {
    }
    QWidget* widget() override { return &view; }
    void setHidden(bool hidden) override { view.setHidden(hidden); }
    void setTrackedMixedMediaObjects(const std::vector<Proxy>& objects) override { *tracked = objects; }
    QWidget view;
    std::vector<Proxy>* tracked;
};

} // namespace

TEST(SelectionFrame, PositionPaletteAndDockedPopoverFollowTheSelection)
{
    std::vector<Proxy> palette{nullptr}, popover{nullptr};
    auto& factories = CreatorInspectorFactories::shared();
    const auto savedPalette = factories.positionPalette;
    const auto savedPopover = factories.dockedPopover;
    factories.positionPalette = [&palette](QWidget*) { return std::make_unique<RecordingPanel>(&palette); };
    factories.dockedPopover = [&popover](QWidget*) { return std::make_unique<RecordingPanel>(&popover); };
    {
        Window w;
        w.click(QPointF(150, 150));
        EXPECT_EQ(palette, std::vector<Proxy>{w.a});
        EXPECT_EQ(popover, std::vector<Proxy>{w.a});
        w.click(QPointF(450, 150), Qt::ControlModifier);
        EXPECT_EQ(popover, (std::vector<Proxy>{w.a, w.b}));
        w.click(QPointF(700, 600));
        EXPECT_TRUE(palette.empty());
        EXPECT_TRUE(popover.empty());
    }
    factories.positionPalette = savedPalette;
    factories.dockedPopover = savedPopover;
}
