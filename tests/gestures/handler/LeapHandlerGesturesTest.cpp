#include <vector>

#include <QApplication>
#include <QVariantMap>
#include <QWidget>

#include <gtest/gtest.h>

#include "LeapReplay.h"
#include "app/AppStartupHooks.h"
#include "gestures/handler/GesturesHandlerLibrary.h"
#include "gestures/LeapController.h"
#include "gestures/LeapListener.h"
#include "gestures/handler/QVR_LeapHandler.h"
#include "platform/NotificationCenter.h"

using namespace replay;

namespace {

// Records the swipe posts: the direction in the user info and the sender's own.
struct SwipeRecorder {
    SwipeRecorder()
        : observation(QStringLiteral("qvrLeapHandlingSwipeDetected"), nullptr, [this](const Notification& n) {
            directions.push_back(n.userInfo.value(QStringLiteral("swipeDirection"), -1).toInt());
            const auto* sender = static_cast<const QVR_LeapHandlerSwipeGesture*>(n.sender);
            senderDirections.push_back(sender ? sender->swipeDirection() : -1);
        })
    {
    }
    std::vector<int> directions;
    std::vector<int> senderDirections;
    NotificationObservation observation;
};

struct CircleRecorder {
    CircleRecorder()
        : observation(QStringLiteral("qvrLeapHandlingCounterClockwiseCircleRepeated"), nullptr,
                      [this](const Notification& n) {
                          numbers.push_back(n.userInfo.value(QStringLiteral("circleNumber"), -1).toInt());
                          windows.push_back(qvariant_cast<QWidget*>(n.userInfo.value(QStringLiteral("window"))));
                      })
    {
    }
    std::vector<int> numbers;
    std::vector<QWidget*> windows;
    NotificationObservation observation;
};

// A counter-clockwise circle from half a turn past two turns, then its stop.
QStringList circleFrames(int id, double normalZ = 1, double firstProgress = 0.5)
{
    QStringList lines;
    for (double progress : {firstProgress, 1.2, 2.1, 2.6})
        lines << frame(fingers(1), {circle(id, progress == firstProgress ? "start" : "update",
                                           std::max(progress, firstProgress), normalZ)});
    lines << frame(fingers(1), {circle(id, "stop", 2.8, normalZ)});
    return lines;
}

class LeapHandlerGestures : public Fixture {};

} // namespace

TEST_F(LeapHandlerGestures, SwipesPostOnceInAClearDirectionWithThreePointables)
{
    SwipeRecorder swipes;
    QVR_LeapHandler& handler = start(
        {event("connect"), frame(fingers(3), {swipe(1, "start", -0.95, 0.3, 0)}),
         frame(fingers(3), {swipe(1, "stop", -0.95, 0.3, 0)}), frame(fingers(3), {swipe(2, "start", 0.3, -0.95, 0)}),
         frame(fingers(3), {swipe(2, "stop", 0.3, -0.95, 0)}), frame(fingers(3), {swipe(3, "start", 0.9, 0.436, 0)}),
         frame(fingers(3), {swipe(4, "start", 0.6, 0.6, 0.53)}), frame(fingers(2), {swipe(5, "start", -1, 0, 0)})});
    step(2);
    EXPECT_EQ(swipes.directions, std::vector<int>{0});
    EXPECT_FALSE(handler.isCurrentlyTrackingASwipe()) << "the stop state ends tracking";
    step(5);
    EXPECT_EQ(swipes.directions, (std::vector<int>{0, 3}));
    EXPECT_EQ(swipes.senderDirections, swipes.directions);
    EXPECT_FALSE(handler.isCurrentlyTrackingASwipe()) << "unclear or two-finger swipes are not tracked";
}

TEST_F(LeapHandlerGestures, TrackedSwipeBlocksOthersUntilFourFramesMissIt)
{
    SwipeRecorder swipes;
    QStringList lines{event("connect"), frame(fingers(3), {swipe(1, "start", -1, 0, 0)}),
                      frame(fingers(3), {swipe(1, "update", -1, 0, 0), swipe(2, "start", 1, 0, 0)})};
    for (int i = 0; i < 2; ++i)
        lines << frame(fingers(3));
    lines << frame(fingers(3), {swipe(1, "update", -1, 0, 0)});
    for (int i = 0; i < 4; ++i)
        lines << frame(fingers(3));
    lines << frame(fingers(3), {swipe(3, "start", 0, 1, 0)});
    QVR_LeapHandler& handler = start(lines);

    step(2);
    EXPECT_EQ(swipes.directions, std::vector<int>{0}) << "no second swipe while one is tracked";
    step(2);
    EXPECT_EQ(handler.numMissingTrackedSwipeFrames(), 2);
    step();
    EXPECT_EQ(handler.numMissingTrackedSwipeFrames(), 0) << "seeing the swipe again resets the count";
    step(3);
    EXPECT_EQ(handler.numMissingTrackedSwipeFrames(), 3);
    EXPECT_EQ(handler.currentSwipeID(), 1);
    step();
    EXPECT_EQ(handler.currentSwipeID(), -1) << "the fourth frame without it ends tracking";
    step();
    EXPECT_EQ(swipes.directions, (std::vector<int>{0, 2}));
}

TEST_F(LeapHandlerGestures, QueuedFramePostsHandleTheNewestFrameOnce)
{
    QVR_LeapHandler& handler = start({event("connect"), frame(fingers(3), {swipe(1, "start", -1, 0, 0)}),
                                      frame(fingers(3)), frame(fingers(3), {swipe(1, "update", -1, 0, 0)})});
    step();
    ASSERT_EQ(handler.currentSwipeID(), 1);
    // Two frames arrive before the main thread gets to them: both posts read the newest frame.
    backend->step();
    backend->step();
    drain();
    EXPECT_EQ(handler.numMissingTrackedSwipeFrames(), 0);
    EXPECT_EQ(handler.currentSwipeID(), 1);
}

TEST_F(LeapHandlerGestures, CounterClockwiseCirclesPostOnceEachWithARisingNumber)
{
    CircleRecorder circles;
    QStringList lines{event("connect")};
    lines << circleFrames(1) << circleFrames(2, -1) << circleFrames(3, 1, 2.0) << circleFrames(4);
    QVR_LeapHandler& handler = start(lines);

    step(3);
    EXPECT_EQ(circles.numbers, std::vector<int>{1}) << "posted when the progress passes 2.0";
    step(2);
    EXPECT_EQ(circles.numbers, std::vector<int>{1}) << "once per circle";
    EXPECT_FALSE(handler.isCurrentlyTrackingACircle());
    step(10);
    EXPECT_EQ(circles.numbers, std::vector<int>{1}) << "clockwise, or first seen at two turns: never";
    step(5);
    EXPECT_EQ(circles.numbers, (std::vector<int>{1, 2}));
    EXPECT_EQ(circles.windows, (std::vector<QWidget*>{nullptr, nullptr})) << "no viewer in front";
}

TEST_F(LeapHandlerGestures, ACircleClosesOnlyTheViewerInFront)
{
    QWidget* b = viewerWindow();
    QWidget* a = viewerWindow();
    auto* other = new QWidget; // a template chooser, say, holding a player of its own
    QVRWindowManager::sharedInstance().addManagedWindow(other);
    other->show();

    // Each window's player closes its own window on a new circle number meant for it.
    std::vector<std::unique_ptr<NotificationObservation>> players;
    std::map<QWidget*, int> lastNumber;
    for (QWidget* w : {a, b, other}) {
        players.push_back(std::make_unique<NotificationObservation>(
            QStringLiteral("qvrLeapHandlingCounterClockwiseCircleRepeated"), nullptr,
            [w, &lastNumber](const Notification& n) {
                const int number = n.userInfo.value(QStringLiteral("circleNumber")).toInt();
                if (qvariant_cast<QWidget*>(n.userInfo.value(QStringLiteral("window"))) == w &&
                    number != lastNumber[w]) {
                    lastNumber[w] = number;
                    w->close();
                }
            }));
    }
    QPointer<QWidget> aAlive(a), bAlive(b);
    QStringList lines{event("connect")};
    lines << circleFrames(1) << circleFrames(2) << circleFrames(3);
    start(lines);

    step(5);
    drain();
    EXPECT_FALSE(aAlive && aAlive->isVisible()) << "the viewer in front closes";
    ASSERT_TRUE(bAlive && bAlive->isVisible()) << "the viewer behind stays";
    activate(b);
    step(5);
    EXPECT_FALSE(bAlive && bAlive->isVisible()) << "the next circle closes the next viewer in front";
    activate(other);
    step(5);
    EXPECT_TRUE(other->isVisible()) << "a circle over another kind of window closes nothing";
}

TEST_F(LeapHandlerGestures, ConnectingEnablesGesturesAndDisconnectsShowOneAlertAtATime)
{
    QVR_LeapHandler& handler = start({event("connect"), event("disconnect"), event("connect"), event("disconnect"),
                                      event("connect"), event("disconnect")});
    ASSERT_TRUE(handler.controller());
    EXPECT_TRUE(handler.controller()->isGestureEnabled(LeapGestureType::Swipe));
    EXPECT_TRUE(handler.controller()->isGestureEnabled(LeapGestureType::Circle));
    EXPECT_FALSE(handler.controller()->isGestureEnabled(LeapGestureType::ScreenTap));

    // A flapping controller: the disconnections reach the main thread together, while the alert is up.
    for (int i = 0; i < 4; ++i)
        backend->step();
    drain();
    ASSERT_EQ(alerts.requests.size(), 1u);
    EXPECT_EQ(alerts.requests[0].messageText, QStringLiteral("Leap Motion Controller Disconnected"));
    QCoreApplication::processEvents();
    step();
    EXPECT_EQ(alerts.requests.size(), 2u) << "once the alert is gone, the next disconnection shows it again";
}

TEST_F(LeapHandlerGestures, TheStartUpCheckAddsNoSecondDisconnectAlertAndOffersItsDoNotShowBox)
{
    registerGesturesLibrary();
    start({event("connect"), event("disconnect")});
    // The disconnection arrives; its alert is still up (its answer comes later from the event loop).
    backend->step();
    QCoreApplication::sendPostedEvents();
    ASSERT_EQ(alerts.requests.size(), 1u);
    EXPECT_FALSE(alerts.requests[0].showsSuppressionButton);
    const auto& showAtStartUp = AppStartupHooks::shared().showGestureDisconnectAlert;
    ASSERT_TRUE(showAtStartUp);
    EXPECT_FALSE(AppStartupHooks::shared().gestureControllerIsConnected());
    showAtStartUp();
    EXPECT_EQ(alerts.requests.size(), 1u) << "the disconnection's alert is still up";

    QCoreApplication::processEvents();
    showAtStartUp();
    ASSERT_EQ(alerts.requests.size(), 2u);
    EXPECT_EQ(alerts.requests[1].messageText, QStringLiteral("Leap Motion Controller Disconnected"));
    EXPECT_TRUE(alerts.requests[1].showsSuppressionButton);
    AppStartupHooks::resetForTesting();
}

TEST_F(LeapHandlerGestures, BadFramesNeitherCrashNorPost)
{
    SwipeRecorder swipes;
    CircleRecorder circles;
    QVR_LeapHandler& handler =
        start({event("connect"), frame({}),
               R"({"event":"frame","pointables":[{"id":1,"tipPosition":[1e38,-1e38,0],"touchDistance":-0.5}]})",
               frame(fingers(3), {QJsonObject{{"id", 9}, {"type", 77}, {"state", 42}}}),
               frame(fingers(3), {swipe(5, "update", -1, 0, 0), circle(6, "update", 2.5)}), frame({})});
    step(5);
    EXPECT_TRUE(swipes.directions.empty());
    EXPECT_TRUE(circles.numbers.empty());
    EXPECT_FALSE(handler.isCurrentlyTrackingAGesture());
}
