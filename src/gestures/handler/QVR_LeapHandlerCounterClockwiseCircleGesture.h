#pragma once

#include <cstdint>
#include <memory>

class LeapCircleGesture;

// Tracks one counter-clockwise circle at a time and posts "qvrLeapHandlingCounterClockwiseCircleRepeated" once
// when it passes two turns. The post carries "circleNumber" (1 for the first circle that fired, then 2, ...) and
// "window", the active window when it is a viewer or tablet preview window, else null, so that only the player
// in front closes its window.
class QVR_LeapHandlerCounterClockwiseCircleGesture {
public:
    bool isCurrentlyTrackingAGesture() const { return m_currentID != -1; }
    void handleCircleGesture(const std::shared_ptr<LeapCircleGesture>& gesture);
    // Nothing when `gesture` is the one stored; otherwise stores it, clears `fired` and tracks its id (−1 for null).
    void setCircleGesture(const std::shared_ptr<LeapCircleGesture>& gesture);
    void fire();

    std::shared_ptr<LeapCircleGesture> circleGesture() const { return m_circleGesture; }
    bool fired() const { return m_fired; }
    std::int32_t currentID() const { return m_currentID; }
    int circlesPosted() const { return m_circlesPosted; }

private:
    std::shared_ptr<LeapCircleGesture> m_circleGesture;
    bool m_fired = false;
    std::int32_t m_currentID = -1;
    int m_circlesPosted = 0;
};
