#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QStringList>
#include <QTest>

#include "gestures/LeapController.h"
#include "gestures/LeapDevice.h"
#include "gestures/LeapFrame.h"
#include "gestures/LeapScreen.h"
#include "gestures/NotificationCenterMainThread.h"
#include "platform/MainThread.h"
#include "platform/leap/Leap.h"
#include "support/QtPrinters.h"

namespace {

QByteArray framesScript(int count)
{
    QByteArray script = "{\"event\":\"connect\"}\n";
    for (int i = 0; i < count; ++i)
        script += "{\"event\":\"frame\"}\n";
    return script;
}

std::shared_ptr<Leap::ScriptedBackend> backend(int frames, Leap::ScriptedBackend::Mode mode, double rate = 1000)
{
    return std::make_shared<Leap::ScriptedBackend>(*Leap::ScriptedBackend::parse(framesScript(frames)), mode, rate);
}

std::unique_ptr<LeapController> controllerOn(const std::shared_ptr<Leap::Backend>& backend)
{
    return std::make_unique<LeapController>(std::make_unique<Leap::Controller>(backend));
}

// Lets queued main-thread work run; true once `done` holds.
bool waitFor(const std::function<bool()>& done)
{
    return QTest::qWaitFor(done, 10000);
}

void drainEvents()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

// Implements every listener callback and records what reached it, and on which thread.
struct RecordingListener {
    QStringList names;
    std::vector<const void*> senders;
    bool allOnMainThread = true;

    void record(const Notification& n)
    {
        names << n.name;
        senders.push_back(n.sender);
        allOnMainThread = allOnMainThread && MainThread::isMainThread();
    }
    void onInit(const Notification& n) { record(n); }
    void onConnect(const Notification& n) { record(n); }
    void onDisconnect(const Notification& n) { record(n); }
    void onExit(const Notification& n) { record(n); }
    void onFrame(const Notification& n) { record(n); }
    void onFocusGained(const Notification& n) { record(n); }
    void onFocusLost(const Notification& n) { record(n); }
    int count(const QString& name) const { return int(names.count(name)); }
};

// Implements only onFrame.
struct FrameCounter {
    int frames = 0;
    std::int64_t lastFrameId = -1;
    void onFrame(const Notification& n)
    {
        ++frames;
        lastFrameId = LeapController::fromNotification(n)->frame(0)->id();
    }
};

} // namespace

TEST(LeapController, ThreadedReplayPostsInitConnectAndEveryFrameInOrderOnTheMainThread)
{
    auto controller = controllerOn(backend(5, Leap::ScriptedBackend::Mode::Threaded, 200));
    RecordingListener listener;
    EXPECT_TRUE(controller->addListener(&listener));
    ASSERT_TRUE(waitFor([&] { return listener.count("OnFrame") == 5; }));

    EXPECT_EQ(listener.names,
              (QStringList{"OnInit", "OnConnect", "OnFrame", "OnFrame", "OnFrame", "OnFrame", "OnFrame"}));
    EXPECT_TRUE(listener.allOnMainThread);
    for (const void* sender : listener.senders)
        EXPECT_EQ(sender, controller.get());
    EXPECT_TRUE(controller->isConnected());

    EXPECT_EQ(controller->frame(0)->id(), 5);
    EXPECT_EQ(controller->frame(1)->id(), 4);
    EXPECT_EQ(controller->frame(4)->id(), 1);
    EXPECT_FALSE(controller->frame(5)->isValid()) << "beyond the frames kept";
    EXPECT_FALSE(controller->frame(Leap::Controller::kHistorySize)->isValid());
    controller->removeListener(&listener);
}

TEST(LeapController, ListenersReceiveOnlyWhatTheyImplementThroughOneBridge)
{
    auto replay = backend(6, Leap::ScriptedBackend::Mode::Synchronous);
    auto controller = controllerOn(replay);
    FrameCounter framesOnly;
    RecordingListener everything;
    controller->addListener(&framesOnly);
    controller->addListener(&everything);
    controller->addListener(&everything); // again: no second subscription

    int postsOfFrame = 0;
    NotificationObservation postCounter(LeapNotification::OnFrame, controller.get(),
                                        [&](const Notification&) { ++postsOfFrame; });
    int unrelated = 0;
    NotificationCenter::defaultCenter().addObserver(
        "SomethingElse", nullptr, [&](const Notification&) { ++unrelated; }, &everything);

    replay->step(); // connect
    replay->step();
    replay->step();
    drainEvents();
    EXPECT_EQ(framesOnly.frames, 2);
    EXPECT_EQ(framesOnly.lastFrameId, 2);
    EXPECT_EQ(everything.names, (QStringList{"OnInit", "OnConnect", "OnFrame", "OnFrame"}));
    EXPECT_EQ(postsOfFrame, 2) << "each event is posted once, whatever the number of listeners";

    controller->removeListener(&everything);
    replay->runToEnd();
    drainEvents();
    EXPECT_EQ(framesOnly.frames, 6);
    EXPECT_EQ(everything.count("OnFrame"), 2);
    NotificationCenter::defaultCenter().post("SomethingElse");
    EXPECT_EQ(unrelated, 1) << "the object's own observations survive removeListener";

    controller->removeListener(&framesOnly);
    NotificationCenter::defaultCenter().removeObserversOwnedBy(&everything);
}

TEST(LeapController, InitWithListenerSubscribesAtOnceAndTheDefaultBackendNeverConnects)
{
    Leap::Controller::setDefaultBackendFactory({});
    RecordingListener listener;
    {
        auto controller = LeapController::initWithListener(&listener);
        ASSERT_TRUE(waitFor([&] { return listener.count("OnInit") == 1; }));
        EXPECT_FALSE(controller->isConnected());
        EXPECT_TRUE(controller->devices().empty());
        EXPECT_TRUE(controller->locatedScreens().empty());
        EXPECT_FALSE(controller->config().save());
        EXPECT_FALSE(controller->frame(0)->isValid());
    }
    drainEvents();
    EXPECT_EQ(listener.names, QStringList{"OnInit"});

    auto replay = backend(0, Leap::ScriptedBackend::Mode::Synchronous);
    Leap::Controller::setDefaultBackendFactory([&] { return replay; });
    auto connected = LeapController::initWithListener(&listener);
    Leap::Controller::setDefaultBackendFactory({});
    replay->step();
    ASSERT_TRUE(waitFor([&] { return listener.count("OnConnect") == 1; }));
    EXPECT_EQ(connected->devices().size(), 1u);
    EXPECT_TRUE(connected->devices()[0]->equals(*connected->devices()[0]));
    EXPECT_EQ(connected->locatedScreens().size(), 1u);
    connected->enableGesture(LeapGestureType::Circle, true);
    EXPECT_TRUE(connected->isGestureEnabled(LeapGestureType::Circle));
    EXPECT_FALSE(connected->isGestureEnabled(LeapGestureType::Swipe));
    connected->removeListener(&listener);
}

TEST(LeapController, EventsQueuedBeforeTheControllerIsDestroyedAreDropped)
{
    int delivered = 0;
    NotificationObservation anySender(LeapNotification::OnFrame, nullptr, [&](const Notification&) { ++delivered; });
    RecordingListener listener;
    {
        auto replay = backend(3, Leap::ScriptedBackend::Mode::Synchronous);
        auto controller = controllerOn(replay);
        controller->addListener(&listener);
        replay->runToEnd(); // queues OnInit, OnConnect and three OnFrame for the main thread
    }
    drainEvents();
    EXPECT_EQ(delivered, 0);
    EXPECT_TRUE(listener.names.isEmpty());
}

TEST(LeapController, ManyControllersComeAndGoWhileTheirReplaysRun)
{
    FrameCounter counter;
    for (int i = 0; i < 100; ++i) {
        auto controller = controllerOn(backend(40, Leap::ScriptedBackend::Mode::Threaded, 2000));
        controller->addListener(&counter);
        if (i % 10 == 0) {
            const int before = counter.frames;
            ASSERT_TRUE(waitFor([&] { return counter.frames > before; }));
        } else {
            QCoreApplication::processEvents();
        }
    }
    drainEvents();
    EXPECT_GE(counter.frames, 10);
}

namespace {

// A delegate of the library's own thread: protects what it records.
struct CountingDelegate {
    std::atomic<int> inits = 0;
    std::atomic<int> frames = 0;
    std::atomic<bool> framesOffMainThread = true;
    void onInit(LeapController*) { ++inits; }
    void onFrame(LeapController* controller)
    {
        if (controller->frame(0)->isValid())
            ++frames;
        if (MainThread::isMainThread())
            framesOffMainThread = false;
    }
};

} // namespace

TEST(LeapController, DelegateIsCalledOnTheLibrarysThreadUntilRemoved)
{
    auto delegate = std::make_shared<CountingDelegate>();
    auto controller = controllerOn(backend(200, Leap::ScriptedBackend::Mode::Threaded, 500));
    controller->addDelegate(delegate);
    EXPECT_EQ(delegate->inits, 1);
    ASSERT_TRUE(waitFor([&] { return delegate->frames >= 3; }));
    EXPECT_TRUE(delegate->framesOffMainThread);
    controller->removeDelegate();
    const int after = delegate->frames;
    drainEvents();
    EXPECT_EQ(delegate->frames, after);
    EXPECT_EQ(delegate.use_count(), 1) << "the discarded bridge let go of the delegate";
}

TEST(LeapController, PostingHelpersDeliverOnTheMainThreadLater)
{
    NotificationCenter center;
    QStringList seen;
    bool onMain = true;
    center.addObserver("Ping", nullptr, [&](const Notification& n) {
        seen << n.name + ":" + (n.sender == &center ? "center" : "other");
        onMain = onMain && MainThread::isMainThread();
    });
    std::thread worker(
        [&] { NotificationCenterMainThread::postNotificationOnMainThreadName(center, "Ping", &center); });
    worker.join();
    NotificationCenterMainThread::postNotificationOnMainThread(center, Notification{"Ping", nullptr, {}});
    EXPECT_TRUE(seen.isEmpty()) << "nothing is delivered before the main loop runs";
    ASSERT_TRUE(waitFor([&] { return seen.size() == 2; }));
    EXPECT_EQ(seen, (QStringList{"Ping:center", "Ping:other"}));
    EXPECT_TRUE(onMain);
}

TEST(LeapController, EveryLibraryEventBecomesItsNotificationAndFramesKeepTheirGestures)
{
    QString error;
    auto replay = Leap::ScriptedBackend::fromFile(QStringLiteral(TESS_GESTURES_TEST_DATA "/swipe-and-circle.jsonl"),
                                                  Leap::ScriptedBackend::Mode::Synchronous, 60, &error);
    ASSERT_TRUE(replay) << error.toStdString();
    auto controller = controllerOn(replay);
    controller->enableGesture(LeapGestureType::Swipe, true);
    controller->enableGesture(LeapGestureType::Circle, true);
    RecordingListener listener;
    controller->addListener(&listener);
    replay->runToEnd();
    drainEvents();
    EXPECT_EQ(listener.names, (QStringList{"OnInit", "OnConnect", "OnFrame", "OnFrame", "OnFrame", "OnFocusLost",
                                           "OnFocusGained", "OnDisconnect"}));

    const auto newest = controller->frame(0);
    const auto gesturesOfNewest = newest->gestures(nullptr);
    ASSERT_EQ(gesturesOfNewest.size(), 2u);
    EXPECT_EQ(gesturesOfNewest[0]->state(), LeapGestureState::Stop);
    EXPECT_EQ(gesturesOfNewest[1]->type(), LeapGestureType::Circle);
    const auto sinceFirst = newest->gestures(controller->frame(2));
    ASSERT_EQ(sinceFirst.size(), 3u);
    EXPECT_EQ(sinceFirst[0]->state(), LeapGestureState::Start);
    EXPECT_EQ(sinceFirst[0]->frame(), newest) << "wrapped with the frame that asked";
    EXPECT_TRUE(newest->gestures(newest).empty());
    controller->removeListener(&listener);
}

TEST(LeapController, AddingADelegateRetiresTheNotificationBridge)
{
    auto replay = backend(4, Leap::ScriptedBackend::Mode::Synchronous);
    auto controller = controllerOn(replay);
    RecordingListener listener;
    controller->addListener(&listener);
    replay->step();
    replay->step();
    auto delegate = std::make_shared<CountingDelegate>();
    controller->addDelegate(delegate);
    replay->runToEnd();
    drainEvents();
    // The old bridge's queued events still arrive; the bridge itself is gone before the next frame.
    EXPECT_EQ(listener.names, (QStringList{"OnInit", "OnConnect", "OnFrame", "OnExit"}));
    EXPECT_EQ(delegate->frames, 3);
    controller->removeListener(&listener);
    controller.reset();
    EXPECT_EQ(delegate.use_count(), 1);
}
