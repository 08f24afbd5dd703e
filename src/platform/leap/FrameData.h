#pragma once

#include <cstdint>
#include <vector>

#include "platform/leap/Vector.h"

namespace Leap {

// The plain records a backend produces for one tracking frame. The controller turns them into the handle
// objects (Frame, Hand, Pointable, Gesture) that applications see; tests and scripts build them directly.
// Positions in millimetres, velocities in millimetres per second, times in seconds unless named otherwise.

struct PointableData {
    std::int32_t id = 0;
    std::int32_t handId = -1; // -1: not attached to a hand
    bool isTool = false;      // otherwise a finger
    Vector tipPosition{};
    Vector stabilizedTipPosition{};
    Vector tipVelocity{};
    Vector direction{0, 0, -1};
    float width = 0;
    float length = 0;
    // +1 at the far edge of the hovering zone, 0 at the touch surface, down to -1 pushed through it.
    float touchDistance = 1;
    float timeVisible = 0;
};

struct HandData {
    std::int32_t id = 0;
    Vector palmPosition{};
    Vector stabilizedPalmPosition{};
    Vector palmVelocity{};
    Vector palmNormal{0, -1, 0};
    Vector direction{0, 0, -1};
    Vector sphereCenter{};
    float sphereRadius = 0;
    float timeVisible = 0;
};

struct GestureData {
    std::int32_t id = 0;
    int type = -1;  // the library's published numbers: 1 swipe, 4 circle, 5 screen tap, 6 key tap
    int state = -1; // 1 start, 2 update, 3 stop
    std::int64_t durationMicroseconds = 0;
    std::vector<std::int32_t> handIds{};
    std::vector<std::int32_t> pointableIds{}; // the first one performs the gesture
    // Swipe and taps: the current position and the direction of motion; swipe: where it started and how fast.
    Vector position{};
    Vector startPosition{};
    Vector direction{};
    float speed = 0;
    // Circle: turns completed (taps: 1 once complete), centre, normal (right-hand rule) and radius.
    float progress = 0;
    Vector center{};
    Vector normal{};
    float radius = 0;
};

struct InteractionBoxData {
    Vector center{0, 200, 0};
    float width = 235;
    float height = 235;
    float depth = 147;
};

struct FrameData {
    std::int64_t id = 0;
    std::int64_t timestampMicroseconds = 0;
    std::vector<HandData> hands{};
    std::vector<PointableData> pointables{};
    std::vector<GestureData> gestures{};
    InteractionBoxData interactionBox;
    float framesPerSecond = 0;
};

} // namespace Leap
