#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include <QString>

#include "platform/leap/Gesture.h"

class LeapFrame;
class LeapHand;
class LeapPointable;

// The library's gesture types and states, numbers unchanged; any other type number is a plain gesture.
enum class LeapGestureType : int { Invalid = -1, Swipe = 1, Circle = 4, ScreenTap = 5, KeyTap = 6 };
enum class LeapGestureState : int { Invalid = -1, Start = 1, Update = 2, Stop = 3 };

// One update of a recognised movement. Holds the frame that asked for it and the hands and pointables the
// gesture involves, all strongly and fixed at creation; the pointables' hands are among those hands (or the
// invalid hand, or null when the hand is not among them). Main thread only.
class LeapGesture {
public:
    LeapGesture(const Leap::Gesture& gesture, const std::shared_ptr<LeapFrame>& frame);
    virtual ~LeapGesture();
    LeapGesture(const LeapGesture&) = delete;
    LeapGesture& operator=(const LeapGesture&) = delete;

    static std::shared_ptr<LeapGesture> invalid();

    std::shared_ptr<LeapFrame> frame() const { return m_frame; }
    const std::vector<std::shared_ptr<LeapHand>>& hands() const { return m_hands; }
    const std::vector<std::shared_ptr<LeapPointable>>& pointables() const { return m_pointables; }
    LeapGestureType type() const { return LeapGestureType(int(m_gesture.type())); }
    LeapGestureState state() const { return LeapGestureState(int(m_gesture.state())); }
    std::int32_t id() const { return m_gesture.id(); }
    // Microseconds since the gesture began.
    std::int64_t duration() const { return m_gesture.duration(); }
    float durationSeconds() const { return m_gesture.durationSeconds(); }
    bool isValid() const { return m_gesture.isValid(); }
    bool equals(const LeapGesture& other) const { return m_gesture == other.m_gesture; }

    QString description() const;
    const Leap::Gesture& interfaceGesture() const { return m_gesture; }

protected:
    // The library's pointable performing the gesture, typed, with this gesture's frame and no hand.
    std::shared_ptr<LeapPointable> wrapPerformer(const Leap::Pointable& pointable) const;

private:
    Leap::Gesture m_gesture;
    std::shared_ptr<LeapFrame> m_frame;
    std::vector<std::shared_ptr<LeapHand>> m_hands;
    std::vector<std::shared_ptr<LeapPointable>> m_pointables;
};
