#pragma once

#include "gestures/LeapGesture.h"
#include "gestures/LeapVector.h"

// A forward poke of a finger, as if tapping a vertical screen.
class LeapScreenTapGesture : public LeapGesture {
public:
    LeapScreenTapGesture(const Leap::Gesture& gesture, const std::shared_ptr<LeapFrame>& frame);

    LeapVector position() const { return LeapVector(m_tap.position()); }
    LeapVector direction() const { return LeapVector(m_tap.direction()); }
    float progress() const { return m_tap.progress(); }
    std::shared_ptr<LeapPointable> pointable() const { return wrapPerformer(m_tap.pointable()); }

private:
    Leap::ScreenTapGesture m_tap;
};
