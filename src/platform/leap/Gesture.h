#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/leap/FrameData.h"
#include "platform/leap/Hand.h"
#include "platform/leap/List.h"
#include "platform/leap/Pointable.h"

namespace Leap {

struct FrameImpl;
class Frame;

// One update of a recognised movement, as reported in one frame. A gesture lasts over many frames under one
// id, each frame carrying its own update (start, update, stop). A handle: copies share the update and
// compare equal; it keeps its frame alive. The invalid gesture has type and state -1.
class Gesture {
public:
    enum Type { TYPE_INVALID = -1, TYPE_SWIPE = 1, TYPE_CIRCLE = 4, TYPE_SCREEN_TAP = 5, TYPE_KEY_TAP = 6 };
    enum State { STATE_INVALID = -1, STATE_START = 1, STATE_UPDATE = 2, STATE_STOP = 3 };

    Gesture() = default;
    Gesture(std::shared_ptr<const FrameImpl> frame, const GestureData* data);

    static const Gesture& invalid();
    bool isValid() const { return m_data != nullptr; }

    Type type() const { return m_data ? Type(m_data->type) : TYPE_INVALID; }
    State state() const { return m_data ? State(m_data->state) : STATE_INVALID; }
    std::int32_t id() const { return m_data ? m_data->id : -1; }
    // Microseconds since the gesture started.
    std::int64_t duration() const { return m_data ? m_data->durationMicroseconds : 0; }
    float durationSeconds() const { return float(double(duration()) / 1e6); }
    Frame frame() const;
    HandList hands() const;
    PointableList pointables() const;

    friend bool operator==(const Gesture& a, const Gesture& b) { return a.m_data == b.m_data; }
    std::string toString() const;

protected:
    // Made from a gesture of another type, the specific kinds below are invalid.
    Gesture(const Gesture& other, Type requiredType);
    // The first pointable performing the gesture, or the invalid one.
    Pointable performer() const;

    std::shared_ptr<const FrameImpl> m_frame;
    const GestureData* m_data = nullptr;
};

class SwipeGesture : public Gesture {
public:
    static constexpr Type classType() { return TYPE_SWIPE; }
    SwipeGesture() = default;
    explicit SwipeGesture(const Gesture& gesture);

    Vector position() const { return m_data ? m_data->position : Vector(); }
    Vector startPosition() const { return m_data ? m_data->startPosition : Vector(); }
    Vector direction() const { return m_data ? m_data->direction : Vector(); }
    float speed() const { return m_data ? m_data->speed : 0; }
    Pointable pointable() const { return performer(); }
};

class CircleGesture : public Gesture {
public:
    static constexpr Type classType() { return TYPE_CIRCLE; }
    CircleGesture() = default;
    explicit CircleGesture(const Gesture& gesture);

    float progress() const { return m_data ? m_data->progress : 0; }
    Vector center() const { return m_data ? m_data->center : Vector(); }
    Vector normal() const { return m_data ? m_data->normal : Vector(); }
    float radius() const { return m_data ? m_data->radius : 0; }
    Pointable pointable() const { return performer(); }
};

class ScreenTapGesture : public Gesture {
public:
    static constexpr Type classType() { return TYPE_SCREEN_TAP; }
    ScreenTapGesture() = default;
    explicit ScreenTapGesture(const Gesture& gesture);

    Vector position() const { return m_data ? m_data->position : Vector(); }
    Vector direction() const { return m_data ? m_data->direction : Vector(); }
    float progress() const { return m_data ? m_data->progress : 0; }
    Pointable pointable() const { return performer(); }
};

class KeyTapGesture : public Gesture {
public:
    static constexpr Type classType() { return TYPE_KEY_TAP; }
    KeyTapGesture() = default;
    explicit KeyTapGesture(const Gesture& gesture);

    Vector position() const { return m_data ? m_data->position : Vector(); }
    Vector direction() const { return m_data ? m_data->direction : Vector(); }
    float progress() const { return m_data ? m_data->progress : 0; }
    Pointable pointable() const { return performer(); }
};

using GestureList = List<Gesture>;

} // namespace Leap
