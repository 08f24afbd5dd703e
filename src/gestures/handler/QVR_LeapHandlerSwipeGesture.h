#pragma once

#include <cstdint>
#include <memory>

#include <QString>

class LeapSwipeGesture;

// The sender of a swipe notification: the gesture that started the swipe and its direction.
class QVR_LeapHandlerSwipeGesture {
public:
    enum Direction : std::int32_t { Left = 0, Right = 1, Up = 2, Down = 3 };

    std::shared_ptr<LeapSwipeGesture> swipeGesture() const { return m_swipeGesture; }
    void setSwipeGesture(std::shared_ptr<LeapSwipeGesture> gesture) { m_swipeGesture = std::move(gesture); }
    std::int32_t swipeDirection() const { return m_swipeDirection; }
    void setSwipeDirection(std::int32_t direction) { m_swipeDirection = direction; }

    // "<object> -- direction:Left" and so on.
    QString description() const;

private:
    std::shared_ptr<LeapSwipeGesture> m_swipeGesture;
    std::int32_t m_swipeDirection = Left;
};
