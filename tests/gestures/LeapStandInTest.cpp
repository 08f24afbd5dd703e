#include <cmath>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#include "platform/leap/Leap.h"
#include "support/TestEnvironment.h"

using namespace Leap;

namespace {

// The suite's data folder, also when the test runner did not pass it in the environment.
QString dataDir()
{
    const QString fromEnvironment = TestEnvironment::dataDir();
    return fromEnvironment.isEmpty() ? QStringLiteral(TESS_GESTURES_TEST_DATA) : fromEnvironment;
}

// Records the events a controller delivers, as short words.
class RecordingListener : public Listener {
public:
    std::vector<std::string> events;
    void onInit(const Controller&) override { events.push_back("init"); }
    void onConnect(const Controller&) override { events.push_back("connect"); }
    void onDisconnect(const Controller&) override { events.push_back("disconnect"); }
    void onExit(const Controller&) override { events.push_back("exit"); }
    void onFrame(const Controller& c) override { events.push_back("frame " + std::to_string(c.frame().id())); }
    void onFocusGained(const Controller&) override { events.push_back("focusGained"); }
    void onFocusLost(const Controller&) override { events.push_back("focusLost"); }
};

QByteArray framesScript(int count)
{
    QByteArray script = "{\"event\":\"connect\"}\n";
    for (int i = 0; i < count; ++i)
        script += "{\"event\":\"frame\"}\n";
    return script;
}

std::shared_ptr<ScriptedBackend> syncBackend(const QByteArray& script)
{
    QString error;
    auto events = ScriptedBackend::parse(script, &error);
    EXPECT_TRUE(events) << error.toStdString();
    return std::make_shared<ScriptedBackend>(events.value_or(std::vector<ScriptedBackend::Event>{}),
                                             ScriptedBackend::Mode::Synchronous);
}

void expectNear(const Vector& actual, const Vector& expected, float tolerance = 1e-4f)
{
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

} // namespace

TEST(LeapStandIn, ScriptReplaysInOrderFiltersDisabledGesturesAndDropsFramesWithoutFocus)
{
    QString error;
    auto backend = ScriptedBackend::fromFile(dataDir() + "/swipe-and-circle.jsonl", ScriptedBackend::Mode::Synchronous,
                                             60, &error);
    ASSERT_TRUE(backend) << error.toStdString();
    RecordingListener listener;
    Controller controller(backend, listener);
    controller.enableGesture(Gesture::TYPE_SWIPE);
    EXPECT_EQ(backend->runToEnd(), 8);
    EXPECT_TRUE(backend->isFinished());

    // Frame 4 came while the application had no focus and no background policy: dropped.
    EXPECT_EQ(listener.events, (std::vector<std::string>{"init", "connect", "frame 1", "frame 2", "frame 3",
                                                         "focusLost", "focusGained", "disconnect"}));
    EXPECT_FALSE(controller.isConnected());
    EXPECT_TRUE(controller.devices().isEmpty());

    const Frame newest = controller.frame(0);
    EXPECT_EQ(newest.id(), 3);
    EXPECT_EQ(controller.frame(2).id(), 1);
    EXPECT_FALSE(controller.frame(3).isValid());
    EXPECT_FALSE(controller.frame(-1).isValid());
    EXPECT_EQ(newest.timestamp(), 3 * 16667);

    // The circle of frame 3 was left out: circles were never enabled.
    ASSERT_EQ(newest.gestures().count(), 1);
    EXPECT_EQ(newest.gestures()[0].type(), Gesture::TYPE_SWIPE);
    EXPECT_EQ(newest.gestures()[0].state(), Gesture::STATE_STOP);

    const GestureList sinceFirst = newest.gestures(controller.frame(2));
    ASSERT_EQ(sinceFirst.count(), 2);
    EXPECT_EQ(sinceFirst[0].state(), Gesture::STATE_START); // oldest update first
    EXPECT_EQ(sinceFirst[0].frame().id(), 2);
    EXPECT_EQ(sinceFirst[1].state(), Gesture::STATE_STOP);
    EXPECT_EQ(newest.gestures(Frame::invalid()).count(), 1);
    EXPECT_EQ(newest.gestures(newest).count(), 0);

    const SwipeGesture swipe(sinceFirst[0]);
    ASSERT_TRUE(swipe.isValid());
    EXPECT_EQ(swipe.direction(), Vector(-1, 0, 0));
    EXPECT_EQ(swipe.pointable().id(), 11);
    EXPECT_EQ(swipe.hands()[0].id(), 1);
    EXPECT_FLOAT_EQ(swipe.durationSeconds(), 0.016667f);
    EXPECT_FALSE(CircleGesture(sinceFirst[0]).isValid());
}

TEST(LeapStandIn, HistoryKeepsTheLastSixtyFramesAndBackgroundPolicyKeepsFramesWithoutFocus)
{
    auto backend = syncBackend(framesScript(70) + "{\"event\":\"focusLost\"}\n{\"event\":\"frame\"}\n");
    RecordingListener listener;
    Controller controller(backend, listener);
    controller.setPolicyFlags(Controller::POLICY_BACKGROUND_FRAMES);
    backend->runToEnd();
    EXPECT_EQ(controller.frame(0).id(), 71);
    EXPECT_EQ(controller.frame(Controller::kHistorySize - 1).id(), 12);
    EXPECT_FALSE(controller.frame(Controller::kHistorySize).isValid());
}

TEST(LeapStandIn, ListenersGetInitFirstConnectWhenConnectedAndExitOnRemovalOrDestruction)
{
    auto backend = syncBackend(framesScript(2));
    RecordingListener early;
    RecordingListener late;
    {
        Controller controller(backend);
        EXPECT_FALSE(backend->step()) << "a controller without listeners is not started";
        controller.addListener(early);
        EXPECT_FALSE(controller.addListener(early));
        backend->step(); // connect
        controller.addListener(late);
        backend->step();
        EXPECT_TRUE(controller.removeListener(late));
        EXPECT_FALSE(controller.removeListener(late));
        backend->step();
    }
    EXPECT_EQ(early.events, (std::vector<std::string>{"init", "connect", "frame 1", "frame 2", "exit"}));
    EXPECT_EQ(late.events, (std::vector<std::string>{"init", "connect", "frame 1", "exit"}));
}

TEST(LeapStandIn, HandlesShareTheirFrameAndCompareByIdentity)
{
    FrameData data;
    data.id = 9;
    data.hands.push_back({.id = 1, .palmPosition = {0, 150, 0}});
    data.pointables.push_back({.id = 10, .handId = 1, .touchDistance = 1});
    data.pointables.push_back({.id = 11, .handId = -1, .isTool = true, .touchDistance = 0.5f});
    data.pointables.push_back({.id = 12, .handId = 7, .touchDistance = -0.2f});

    Hand kept;
    Pointable detached;
    {
        const Frame frame = Frame::fromData(data);
        kept = frame.hands()[0];
        EXPECT_EQ(kept, frame.hand(1));
        EXPECT_EQ(kept.frame(), frame);
        EXPECT_EQ(frame.pointable(10).hand(), kept);
        EXPECT_EQ(kept.pointables().count(), 1);
        EXPECT_EQ(frame.hand(99), Hand::invalid());
        EXPECT_FALSE(frame.pointables()[7].isValid());

        EXPECT_FALSE(frame.pointable(11).hand().isValid());
        EXPECT_TRUE(Tool(frame.pointable(11)).isValid());
        EXPECT_FALSE(Finger(frame.pointable(11)).isValid());
        EXPECT_EQ(frame.fingers().count(), 2);
        EXPECT_EQ(frame.tools().count(), 1);

        EXPECT_EQ(frame.pointable(10).touchZone(), Pointable::ZONE_NONE);
        EXPECT_EQ(frame.pointable(11).touchZone(), Pointable::ZONE_HOVERING);
        EXPECT_EQ(frame.pointable(12).touchZone(), Pointable::ZONE_TOUCHING);
        detached = frame.pointable(12);
    }
    // Handles keep their frame alive.
    EXPECT_EQ(kept.palmPosition(), Vector(0, 150, 0));
    EXPECT_EQ(kept.frame().id(), 9);
    // A hand the frame does not list is known by its id only.
    EXPECT_TRUE(detached.hand().isValid());
    EXPECT_EQ(detached.hand().id(), 7);
    EXPECT_EQ(detached.hand().toString(), "Hand Id:7");
}

TEST(LeapStandIn, HandMotionComparesWithTheSameHandInTheEarlierFrame)
{
    FrameData before;
    before.id = 1;
    before.hands.push_back(
        {.id = 1, .palmPosition = {0, 100, 0}, .palmNormal = {0, -1, 0}, .direction = {0, 0, -1}, .sphereRadius = 40});
    FrameData after = before;
    after.id = 2;
    // Moved right and turned a quarter to the left about the vertical axis, hand opened to twice the sphere.
    after.hands[0].palmPosition = {50, 100, 0};
    after.hands[0].direction = {-1, 0, 0};
    after.hands[0].sphereRadius = 80;
    const Frame first = Frame::fromData(before);
    const Frame second = Frame::fromData(after);
    const Hand hand = second.hand(1);

    expectNear(hand.translation(first), {50, 0, 0});
    EXPECT_NEAR(hand.rotationAngle(first), std::numbers::pi_v<float> / 2, 1e-4f);
    expectNear(hand.rotationAxis(first), {0, 1, 0});
    EXPECT_NEAR(hand.rotationAngle(first, Vector(0, -1, 0)), -std::numbers::pi_v<float> / 2, 1e-4f);
    expectNear(hand.rotationMatrix(first).transformDirection({0, 0, -1}), {-1, 0, 0});
    EXPECT_FLOAT_EQ(hand.scaleFactor(first), 2);
    expectNear(second.translation(first), {50, 0, 0});

    EXPECT_EQ(hand.translation(Frame::invalid()), Vector());
    EXPECT_EQ(hand.rotationMatrix(Frame::invalid()), Matrix::identity());
    EXPECT_EQ(hand.scaleFactor(Frame::invalid()), 1);
    EXPECT_EQ(hand.translationProbability(Frame::invalid()), 0);
    EXPECT_EQ(hand.translationProbability(first), 1);
}

TEST(LeapStandIn, MatrixRotatesAboutAnAxisAndRigidInverseUndoesIt)
{
    const Matrix quarter(Vector(0, 0, 2), std::numbers::pi_v<float> / 2, Vector(5, 0, 0));
    expectNear(quarter.transformDirection({1, 0, 0}), {0, 1, 0});
    expectNear(quarter.transformPoint({1, 0, 0}), {5, 1, 0});
    expectNear(quarter.rigidInverse().transformPoint(quarter.transformPoint({3, -2, 7})), {3, -2, 7});
    expectNear((quarter * quarter).transformDirection({1, 0, 0}), {-1, 0, 0});
    EXPECT_EQ(Matrix(Vector::zero(), 1.0f).xBasis, Vector::zero());
}

TEST(LeapStandIn, InteractionBoxScreenAndDeviceGeometry)
{
    const InteractionBox box(std::make_shared<InteractionBoxData>(
        InteractionBoxData{.center = {0, 200, 0}, .width = 200, .height = 200, .depth = 200}));
    EXPECT_EQ(box.normalizePoint({100, 300, 100}), Vector(1, 1, 1));
    EXPECT_EQ(box.normalizePoint({300, -100, 0}), Vector(1, 0, 0.5f));
    EXPECT_EQ(box.normalizePoint({300, -100, 0}, false), Vector(2, -1, 0.5f));
    expectNear(box.denormalizePoint(box.normalizePoint({-30, 170, 60})), {-30, 170, 60});
    const InteractionBox flat(std::make_shared<InteractionBoxData>(InteractionBoxData{.width = 0}));
    EXPECT_EQ(flat.normalizePoint({100, 200, 0}).x, 0.5f);
    EXPECT_EQ(InteractionBox::invalid().normalizePoint({1, 2, 3}), Vector(0.5f, 0.5f, 0.5f));

    // The default screen: 530 x 300 mm, bottom-left corner at (-265, 60, -200), facing the user.
    const Screen screen(std::make_shared<ScreenData>());
    expectNear(screen.normal(), {0, 0, 1});
    expectNear(screen.intersect({0, 210, 100}, {0, 0, -1}, true), {0.5f, 0.5f, 0});
    expectNear(screen.intersect({0, 210, 100}, {0, 0, -1}, false), {0, 210, -200});
    EXPECT_FALSE(screen.intersect({0, 210, 100}, {0, 0, 1}, true).isValid()) << "pointing away";
    EXPECT_FALSE(screen.intersect({0, 210, 100}, {1, 0, 0}, true).isValid()) << "parallel";
    expectNear(screen.project({1000, 210, 0}, true), {1, 0.5f, 0});
    expectNear(screen.project({1000, 210, 0}, true, 5.0f), {1265.0f / 530, 0.5f, 0});
    EXPECT_FLOAT_EQ(screen.distanceToPoint({0, 0, 100}), 300);

    const Device device(std::make_shared<DeviceData>());
    EXPECT_GT(device.distanceToBoundary({0, 200, 0}), 0);
    EXPECT_EQ(device.distanceToBoundary({0, -10, 0}), 0);
    EXPECT_EQ(device.distanceToBoundary({0, 600, 0}), 0);
}

TEST(LeapStandIn, ConfigStoresTypedValuesAndSavesOnlyWhileConnected)
{
    auto backend = syncBackend(framesScript(0));
    RecordingListener listener;
    Controller controller(backend, listener);
    Config config = controller.config();
    EXPECT_TRUE(config.setFloat("Gesture.Circle.MinRadius", 5.5f));
    EXPECT_FALSE(config.setBool("", true));
    EXPECT_EQ(controller.config().type("Gesture.Circle.MinRadius"), Config::TYPE_FLOAT);
    EXPECT_EQ(controller.config().getFloat("Gesture.Circle.MinRadius"), 5.5f);
    EXPECT_EQ(config.getInt32("Gesture.Circle.MinRadius"), 0) << "another type reads as zero";
    EXPECT_EQ(config.type("missing"), Config::TYPE_UNKNOWN);
    EXPECT_FALSE(config.save());
    backend->step();
    EXPECT_TRUE(config.save());
}

TEST(LeapStandIn, MalformedScriptsAreRejectedNamingTheLine)
{
    const std::pair<const char*, const char*> cases[] = {
        {"{\"event\":\"frame\"}\nnot json", "line 2"},
        {"{\"event\":\"explode\"}", "\"event\""},
        {"[1,2]", "not a JSON object"},
        {"{\"event\":\"frame\",\"hands\":[{\"id\":1,\"palmPosition\":[1,2]}]}", "palmPosition"},
        {"{\"event\":\"frame\",\"hands\":[{\"palmPosition\":[1,2,3]}]}", "\"id\" is missing"},
        {"{\"event\":\"frame\",\"hands\":[{\"id\":1.5}]}", "\"id\" must be an integer"},
        {"{\"event\":\"frame\",\"id\":5}\n{\"event\":\"frame\",\"id\":5}", "ids must increase"},
        {"{\"event\":\"frame\",\"hands\":[{\"id\":1},{\"id\":1}]}", "share an id"},
        {"{\"event\":\"frame\",\"gestures\":[{\"id\":1,\"type\":\"wave\",\"state\":1}]}", "\"type\""},
        {"{\"event\":\"frame\",\"interactionBox\":{\"width\":0}}", "positive size"},
        {"{\"event\":\"frame\",\"pointables\":[{\"id\":1,\"tool\":\"yes\"}]}", "\"tool\""},
        {"{\"event\":\"frame\",\"pointables\":[{\"id\":1,\"width\":1e300}]}", "finite"},
    };
    for (const auto& [script, expected] : cases) {
        QString error;
        EXPECT_FALSE(ScriptedBackend::parse(script, &error)) << script;
        EXPECT_TRUE(error.contains(QString::fromUtf8(expected))) << script << " -> " << error.toStdString();
    }
    QString error;
    EXPECT_FALSE(ScriptedBackend::fromFile("/nonexistent/script.jsonl", ScriptedBackend::Mode::Threaded, 60, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(ScriptedBackend::parse("\n  \n{\"event\":\"connect\"}\n", &error));
}

namespace {

// Removes a listener (possibly itself) on its first frame.
class RemovingListener : public Listener {
public:
    Listener* victim = nullptr;
    int frames = 0;
    void onFrame(const Controller& c) override
    {
        ++frames;
        if (victim)
            Controller(c).removeListener(*std::exchange(victim, nullptr));
    }
};

} // namespace

TEST(LeapStandIn, ListenersMayRemoveThemselvesOrOthersDuringAnEvent)
{
    auto backend = syncBackend(framesScript(2));
    RemovingListener first;
    RecordingListener second;
    RemovingListener self;
    Controller controller(backend, first);
    controller.addListener(second);
    controller.addListener(self);
    first.victim = &second;
    self.victim = &self;
    backend->runToEnd();
    // `second` came after `first` in the round that removed it: not called for that frame, nor later.
    EXPECT_EQ(second.events, (std::vector<std::string>{"init", "connect", "exit"}));
    EXPECT_EQ(self.frames, 1);
    EXPECT_EQ(first.frames, 2);
}

TEST(LeapStandIn, GestureListsSkipIdsTheFrameDoesNotHold)
{
    FrameData data;
    data.id = 4;
    data.hands.push_back({.id = 1});
    data.pointables.push_back({.id = 10, .handId = 1});
    data.gestures.push_back({.id = 3,
                             .type = Gesture::TYPE_CIRCLE,
                             .state = Gesture::STATE_UPDATE,
                             .handIds = {1, 2},
                             .pointableIds = {99, 10}});
    const Frame frame = Frame::fromData(data);
    const Gesture gesture = frame.gesture(3);
    EXPECT_EQ(gesture.hands().count(), 1);
    ASSERT_EQ(gesture.pointables().count(), 1);
    EXPECT_EQ(gesture.pointables()[0], frame.pointable(10));
    EXPECT_EQ(CircleGesture(gesture).pointable(), frame.pointable(10));
    EXPECT_FALSE(frame.gesture(4).isValid());
    EXPECT_EQ(Gesture::invalid().type(), Gesture::TYPE_INVALID);
    EXPECT_FALSE(SwipeGesture(gesture).isValid());
    EXPECT_EQ(SwipeGesture(gesture).direction(), Vector());
}

TEST(LeapStandIn, EnvironmentScriptDrivesControllersMadeWithoutABackend)
{
    ASSERT_TRUE(QFile::exists(dataDir() + "/swipe-and-circle.jsonl"));
    qputenv("TESS_LEAP_SCRIPT", QFile::encodeName(dataDir() + "/swipe-and-circle.jsonl"));
    qputenv("TESS_LEAP_FRAMES_PER_SECOND", "1000");
    RecordingListener listener;
    {
        Controller controller(listener);
        qunsetenv("TESS_LEAP_SCRIPT");
        qunsetenv("TESS_LEAP_FRAMES_PER_SECOND");
        QDeadlineTimer deadline(10000);
        while (controller.frame().id() != 3 && !deadline.hasExpired())
            QThread::yieldCurrentThread();
        EXPECT_EQ(controller.frame().id(), 3);
        EXPECT_EQ(controller.frame().currentFramesPerSecond(), 1000);
    }
    EXPECT_EQ(listener.events.front(), "init");
    EXPECT_EQ(listener.events.back(), "exit");

    qputenv("TESS_LEAP_SCRIPT", "/nonexistent/script.jsonl");
    Controller fallback(listener);
    qunsetenv("TESS_LEAP_SCRIPT");
    EXPECT_FALSE(fallback.isConnected());
}
