#include <vector>

#include <QCursor>
#include <QDialog>
#include <QImage>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QWheelEvent>
#include <QWindow>

#include <gtest/gtest.h>

#include "LeapReplay.h"
#include "app/AppStartupHooks.h"
#include "gestures/LeapController.h"
#include "gestures/handler/GesturesHandlerLibrary.h"
#include "gestures/handler/QVR_CounterClockwiseCircleGestureHandlerView.h"
#include "gestures/handler/QVR_LeapHandler.h"
#include "gestures/handler/QVR_LeapHandlerView.h"
#include "gestures/handler/QVR_LeapToMouseEventHandler.h"
#include "gestures/handler/QVR_LeapUtils.h"

using namespace replay;

namespace {

const QSize kWindowSize(400, 300);

// What reaches a window's QWindow: the synthetic button and wheel events, with their window points.
struct InputRecorder : QObject {
    struct Input {
        QEvent::Type type;
        QPointF position;
        QPoint pixelDelta;
    };
    bool eventFilter(QObject*, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
            inputs.push_back({event->type(), static_cast<QMouseEvent*>(event)->position(), {}});
            break;
        case QEvent::Wheel: {
            auto* wheel = static_cast<QWheelEvent*>(event);
            inputs.push_back({event->type(), wheel->position(), wheel->pixelDelta()});
            break;
        }
        default:
            break;
        }
        return false;
    }
    int count(QEvent::Type type) const
    {
        return int(std::count_if(inputs.begin(), inputs.end(), [type](const Input& i) { return i.type == type; }));
    }
    std::vector<Input> inputs;
};

class LeapHandlerPointer : public Fixture {
protected:
    // A viewer window in front with the overlay, a button under it, and its input recorded.
    QWidget* viewerWithButton()
    {
        QWidget* window = viewerWindow(kWindowSize);
        button = new QPushButton(QStringLiteral("Next"), window);
        button->setGeometry(50, 50, 200, 100);
        button->show();
        window->windowHandle()->installEventFilter(&input);
        return window;
    }
    QVR_LeapHandler& startWithOverlay(const QStringList& lines)
    {
        QVR_LeapHandler& handler = start(lines);
        handler.setHandlerView(new QVR_LeapHandlerView);
        return handler;
    }
    QString touching(QPointF point, double distance = -0.3, int extra = 0)
    {
        QJsonArray list{pointableAt(1, point, kWindowSize, distance)};
        for (int i = 0; i < extra; ++i)
            list.append(finger(20 + i));
        return frame(list);
    }
    QString hovering(QPointF point, double distance = 0.5) { return touching(point, distance); }

    QPushButton* button = nullptr;
    InputRecorder input;
};

QImage overlayImage(QVR_LeapHandler& handler)
{
    return handler.handlerView()->grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

// The run of pixels along the row through `center` that look like `color`, in pixels.
int runWidth(const QImage& image, QPoint center, QColor color)
{
    int width = 0;
    for (int x = 0; x < image.width(); ++x) {
        const QColor c = image.pixelColor(x, center.y());
        if (c.alpha() > 127 && std::abs(c.red() - color.red()) < 20 && std::abs(c.green() - color.green()) < 20 &&
            std::abs(c.blue() - color.blue()) < 20)
            ++width;
    }
    return width;
}

} // namespace

TEST_F(LeapHandlerPointer, TheTipMapsIntoTheClientAreaWithYFlipped)
{
    QWidget* window = viewerWindow(kWindowSize);
    QVR_LeapHandler& handler = start({event("connect"), frame({pointableAt(1, {100, 75}, kWindowSize, 0.5)}),
                                      frame({pointableAt(1, {0, 0}, kWindowSize, 0.5)}),
                                      frame({pointableAt(1, {400, 300}, kWindowSize, 0.5)})});
    auto* mouse = handler.leapToMouseConverter();
    const std::vector<QPointF> expected{{100, 75}, {0, 0}, {400, 300}};
    for (const QPointF& point : expected) {
        step();
        const QPointF got = QVR_LeapUtils::centerForPointable(mouse->currentFrontmostPointable(),
                                                              mouse->currentInteractionBox(), window);
        EXPECT_NEAR(got.x(), point.x(), 0.01);
        EXPECT_NEAR(got.y(), point.y(), 0.01);
    }
    EXPECT_EQ(
        QVR_LeapUtils::centerForPointable(mouse->currentFrontmostPointable(), mouse->currentInteractionBox(), nullptr),
        QPointF());
}

TEST_F(LeapHandlerPointer, TouchingPressesAndLeavingReleasesOverTheWidgetBeneath)
{
    QWidget* window = viewerWithButton();
    QSignalSpy clicked(button, &QPushButton::clicked);
    startWithOverlay({event("connect"), frame({}), hovering({100, 75}), touching({100, 75}), hovering({100, 75}),
                      frame({}), hovering({100, 75})});
    const int before = QVR_LeapToMouseEventHandler::eventCounter();
    step(2);
    EXPECT_TRUE(input.inputs.empty()) << "none to hovering posts nothing";
    step();
    ASSERT_EQ(input.inputs.size(), 1u) << "one press, and no scroll from a still finger";
    EXPECT_EQ(input.inputs[0].type, QEvent::MouseButtonPress);
    EXPECT_NEAR(input.inputs[0].position.x(), 100, 0.5);
    EXPECT_NEAR(input.inputs[0].position.y(), 75, 0.5);
    EXPECT_EQ(QCursor::pos(), window->mapToGlobal(QPoint(100, 75)));
    EXPECT_EQ(QVR_LeapToMouseEventHandler::eventCounter(), before + 1);
    EXPECT_TRUE(button->isDown()) << "the press went through the overlay";
    step();
    EXPECT_EQ(input.count(QEvent::MouseButtonRelease), 1);
    EXPECT_EQ(clicked.count(), 1);
    step(2);
    EXPECT_EQ(input.inputs.size(), 2u) << "hovering to none and back posts nothing";
}

TEST_F(LeapHandlerPointer, APressDroppedForManyPointablesGetsNoRelease)
{
    viewerWithButton();
    startWithOverlay({event("connect"), touching({100, 75}, 0.5, 2), touching({100, 75}), hovering({100, 75})});
    const int before = QVR_LeapToMouseEventHandler::eventCounter();
    step(3);
    EXPECT_EQ(input.count(QEvent::MouseButtonPress), 0);
    EXPECT_EQ(input.count(QEvent::MouseButtonRelease), 0);
    EXPECT_EQ(QVR_LeapToMouseEventHandler::eventCounter(), before);
}

TEST_F(LeapHandlerPointer, AReleaseDuringASwipeComesWhenTheSwipeStops)
{
    viewerWithButton();
    QSignalSpy clicked(button, &QPushButton::clicked);
    auto withSwipe = [this](QPointF point, double distance, const char* state) {
        return frame({pointableAt(1, point, kWindowSize, distance), finger(20), finger(21)},
                     {swipe(7, state, -1, 0, 0)});
    };
    QVR_LeapHandler& handler = startWithOverlay(
        {event("connect"), hovering({100, 75}), touching({100, 75}), withSwipe({100, 75}, -0.3, "start"),
         withSwipe({120, 80}, 0.5, "update"), withSwipe({150, 90}, 0.5, "stop")});
    step(3);
    ASSERT_TRUE(handler.isCurrentlyTrackingASwipe());
    step();
    EXPECT_EQ(input.count(QEvent::MouseButtonRelease), 0) << "held back while the swipe is tracked";
    EXPECT_TRUE(button->isDown());
    step();
    ASSERT_EQ(input.count(QEvent::MouseButtonRelease), 1);
    EXPECT_NEAR(input.inputs.back().position.x(), 120, 0.5) << "where the finger left the touch zone";
    EXPECT_FALSE(button->isDown());
    EXPECT_EQ(clicked.count(), 1);
}

TEST_F(LeapHandlerPointer, TouchingMovesScrollAndAVanishingFingerReleasesWhereItWas)
{
    viewerWithButton();
    // Window points given with y up, as the controller sees them.
    auto yUp = [](double x, double y) { return QPointF(x, kWindowSize.height() - y); };
    startWithOverlay({event("connect"), touching(yUp(100.0, 200.9)), touching(yUp(103.5, 190.0)), frame({})});
    step(2);
    ASSERT_EQ(input.count(QEvent::Wheel), 1);
    const auto& wheel = input.inputs.back();
    EXPECT_EQ(wheel.pixelDelta, QPoint(-6, 20));
    EXPECT_NEAR(wheel.position.x(), 103.5, 0.5);
    step();
    ASSERT_EQ(input.inputs.back().type, QEvent::MouseButtonRelease);
    EXPECT_NEAR(input.inputs.back().position.x(), 103.5, 0.5);
    EXPECT_NEAR(input.inputs.back().position.y(), 110.0, 0.5);
    EXPECT_FALSE(button->isDown());
}

TEST_F(LeapHandlerPointer, TouchesActInTheWindowTheOverlayLiesOverWhicheverIsActive)
{
    QWidget* viewer = viewerWithButton();
    QSignalSpy clicked(button, &QPushButton::clicked);
    auto* lists = new QWidget;
    lists->resize(kWindowSize);
    QVRWindowManager::sharedInstance().addManagedWindow(lists);
    InputRecorder listsInput;
    QVR_LeapHandler& handler = startWithOverlay(
        {event("connect"), hovering({100, 75}), touching({100, 75}), touching({100, 95}), hovering({100, 95})});
    activate(lists);
    lists->windowHandle()->installEventFilter(&listsInput);
    ASSERT_EQ(handler.handlerView()->parentWidget(), viewer);
    step(4);
    EXPECT_TRUE(listsInput.inputs.empty()) << "nothing reaches the window in front without the overlay";
    EXPECT_EQ(input.count(QEvent::MouseButtonPress), 1);
    EXPECT_EQ(input.count(QEvent::Wheel), 1);
    EXPECT_EQ(clicked.count(), 1);
    delete lists;
}

TEST_F(LeapHandlerPointer, TheOverlayFollowsCreatorAndViewerWindowsAndOutlivesThem)
{
    QWidget* creator = activate(QVRWindowManager::sharedInstance().makeCreatorWindow());
    creator->resize(500, 400);
    QVR_LeapHandler& handler = startWithOverlay({event("connect"), frame({}), frame({})});
    QPointer<QVR_LeapHandlerView> overlay(handler.handlerView());
    ASSERT_EQ(overlay->parentWidget(), creator);
    EXPECT_EQ(overlay->geometry(), creator->rect());
    EXPECT_TRUE(overlay->testAttribute(Qt::WA_TransparentForMouseEvents));
    creator->resize(640, 480);
    EXPECT_EQ(overlay->geometry(), QRect(0, 0, 640, 480));
    auto* late = new QWidget(creator);
    late->show();
    step();
    EXPECT_EQ(creator->children().last(), overlay) << "raised above children added later";

    auto* lists = new QWidget;
    QVRWindowManager::sharedInstance().addManagedWindow(lists);
    activate(lists);
    EXPECT_EQ(overlay->parentWidget(), creator) << "a lists window leaves it in place";
    auto* sheet = new QDialog(creator);
    sheet->setWindowModality(Qt::WindowModal);
    activate(sheet);
    EXPECT_EQ(overlay->parentWidget(), creator) << "so does a sheet";
    EXPECT_TRUE(QVR_LeapUtils::shouldAttachLeapHandlerViewToWindow(sheet)) << "though it answers for its owner";
    delete sheet;

    creator->close(); // deleted on close
    drain();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(overlay) << "the overlay outlives its window";
    EXPECT_EQ(overlay->parentWidget(), nullptr);
    step(); // frames go on without a window
    QWidget* viewer = viewerWindow();
    EXPECT_EQ(overlay->parentWidget(), viewer);
    delete lists;
}

TEST_F(LeapHandlerPointer, TheOverlayDrawsTheFrontmostFingerByZone)
{
    viewerWindow(kWindowSize);
    const QPoint c(200, 150);
    QJsonArray three{pointableAt(1, c, kWindowSize, 0.5), finger(2), finger(3)};
    QVR_LeapHandler& handler =
        startWithOverlay({event("connect"), frame({pointableAt(1, c, kWindowSize, 0.75)}), frame(three),
                          frame({pointableAt(1, c, kWindowSize, -0.4)}), frame({})});
    step();
    QImage image = overlayImage(handler);
    EXPECT_NEAR(runWidth(image, c, Qt::red), 10, 1) << "a hovering finger at 0.75 shows a disc of 10";
    EXPECT_EQ(image.pixelColor(c + QPoint(20, 0)).alpha(), 0) << "and no ring";

    step();
    image = overlayImage(handler);
    const QColor grey = QColor::fromRgbF(0.12f, 0.12f, 0.12f);
    EXPECT_GT(runWidth(image, c, grey), 20) << "three fingers: a grey disc";
    EXPECT_NEAR(image.pixelColor(c + QPoint(20, 0)).red(), grey.red(), 20) << "and a grey ring";
    EXPECT_GT(image.pixelColor(c + QPoint(20, 0)).alpha(), 200);

    step();
    image = overlayImage(handler);
    const QColor blue = QColor::fromRgbF(0.03f, 0.3f, 0.47f);
    EXPECT_NEAR(runWidth(image, c, blue), 36, 2) << "touching: a full disc inside the ring";
    EXPECT_EQ(image.pixelColor(c + QPoint(20, 0)), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(c + QPoint(24, 0)).alpha(), 0);

    step();
    image = overlayImage(handler);
    bool allClear = true;
    for (int y = 0; y < image.height() && allClear; ++y)
        for (int x = 0; x < image.width() && allClear; ++x)
            allClear = image.pixelColor(x, y).alpha() == 0;
    EXPECT_TRUE(allClear) << "no pointables: nothing drawn";
}

TEST_F(LeapHandlerPointer, RegistrationGivesTheOverlayOnlyToAStartedHandler)
{
    registerGesturesLibrary();
    auto& hooks = AppStartupHooks::shared();
    hooks.createGestureHandlerView();
    EXPECT_FALSE(QVR_LeapHandler::isRunning());
    EXPECT_EQ(QVR_LeapHandler::sharedLeapHandler().handlerView(), nullptr);
    EXPECT_FALSE(hooks.gestureControllerIsConnected());

    QWidget* viewer = viewerWindow();
    start({event("connect")});
    hooks.createGestureHandlerView();
    ASSERT_NE(QVR_LeapHandler::sharedLeapHandler().handlerView(), nullptr);
    EXPECT_EQ(QVR_LeapHandler::sharedLeapHandler().handlerView()->parentWidget(), viewer)
        << "laid over the viewer in front";
    EXPECT_TRUE(hooks.gestureControllerIsConnected());
}

TEST(CircleProgressView, TheRingIsSplitAtTheProgressWhiteDoneGreyLeft)
{
    QVR_CounterClockwiseCircleGestureHandlerView view;
    view.resize(60, 60);
    view.setPercentComplete(0.25);
    EXPECT_FLOAT_EQ(view.progress(), 0.25f);
    const QImage image = view.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    const QPoint c = view.rect().center();
    // A quarter counter-clockwise from the top: the upper-left arc is done, the rest is not.
    const QColor done = image.pixelColor(c + QPoint(-14, -14));
    const QColor left = image.pixelColor(c + QPoint(20, 0));
    EXPECT_GT(done.red(), 230);
    EXPECT_NEAR(left.red(), 128, 20);
    EXPECT_GT(left.alpha(), 200);
    EXPECT_NEAR(image.pixelColor(c + QPoint(-20, 10)).red(), 128, 20) << "below nine o'clock: still to go";
}
