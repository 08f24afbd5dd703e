#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include <QByteArray>
#include <QString>

#include "platform/leap/Backend.h"
#include "platform/leap/FrameData.h"

namespace Leap {

// A device that replays a recorded script, for tests and demonstrations.
//
// A script is JSON Lines: one object per line (blank lines are skipped), each with "event" one of "connect",
// "disconnect", "focusGained", "focusLost" or "frame". A frame line may give "id" (increasing; by default one
// more than the previous frame's), "timestamp" (microseconds; by default one frame period after the previous
// one), "framesPerSecond", "interactionBox" {"center", "width", "height", "depth"}, and arrays "hands",
// "pointables" and "gestures" whose objects use the field names of HandData, PointableData and GestureData
// ("tool" for isTool, "duration" in microseconds). Vectors are arrays of three numbers. A gesture's "type" and
// "state" are the library's numbers or the names "swipe", "circle", "screenTap", "keyTap" and "start",
// "update", "stop".
//
// Nothing is delivered before the controller gets its first listener. Synchronous mode then delivers one event
// per step() on the calling thread. Threaded mode replays the whole script on a thread of its own: device
// events at once, frames `framesPerSecond` apart; it stops at the end of the script or when the controller goes
// away.
class ScriptedBackend final : public Backend {
public:
    enum class Mode { Synchronous, Threaded };

    struct Event {
        enum Kind { Connect, Disconnect, FocusGained, FocusLost, Frame };
        Kind kind = Connect;
        FrameData frame; // for Frame events
    };

    // Rejects the whole script at the first malformed line, naming the line.
    static std::optional<std::vector<Event>> parse(const QByteArray& jsonLines, QString* errorMessage = nullptr);
    static std::shared_ptr<ScriptedBackend> fromFile(const QString& path, Mode mode, double framesPerSecond = 60,
                                                     QString* errorMessage = nullptr);

    // A rate that is not a positive number is taken as 60.
    ScriptedBackend(std::vector<Event> events, Mode mode, double framesPerSecond = 60);
    ~ScriptedBackend() override;

    // Synchronous mode: delivers the next event to the controller; false when none is left or the controller
    // has no listener yet.
    bool step();
    // Synchronous mode: delivers every event left; answers how many were delivered.
    int runToEnd();
    // True once every event has been handed to the controller.
    bool isFinished() const;

    void attach(BackendSink* sink) override;
    void activate() override;
    void detach() override;

private:
    std::optional<Event> takeNext(bool waitForFrameTime);
    void deliver(const Event& event);
    void replay();

    const std::vector<Event> m_events;
    const Mode m_mode;
    const std::chrono::nanoseconds m_period;

    mutable std::mutex m_mutex; // guards the fields below
    std::condition_variable m_wake;
    std::size_t m_next = 0;
    std::size_t m_delivered = 0;
    bool m_active = false; // the controller has a listener
    bool m_stopping = false;
    std::chrono::steady_clock::time_point m_nextFrameDue;

    std::recursive_mutex m_deliveryMutex; // held while the sink is called; guards m_sink
    BackendSink* m_sink = nullptr;

    std::thread m_thread;
};

} // namespace Leap
