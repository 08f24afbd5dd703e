#pragma once

#include "gestures/LeapGesture.h"
#include "gestures/LeapVector.h"

// A downward tap of a finger, as if pressing a key.
class LeapKeyTapGesture : public LeapGesture {
public:
    LeapKeyTapGesture(const Leap::Gesture& gesture, const std::shared_ptr<LeapFrame>& frame);

    LeapVector position() const { return LeapVector(m_tap.position()); }
    LeapVector direction() const { return LeapVector(m_tap.direction()); }
    float progress() const { return m_tap.progress(); }
    std::shared_ptr<LeapPointable> pointable() const { return wrapPerformer(m_tap.pointable()); }

private:
    Leap::KeyTapGesture m_tap;
};
