#pragma once

#include "gestures/LeapGesture.h"
#include "gestures/LeapVector.h"

// A straight movement of a finger or hand; `direction` is a unit vector.
class LeapSwipeGesture : public LeapGesture {
public:
    LeapSwipeGesture(const Leap::Gesture& gesture, const std::shared_ptr<LeapFrame>& frame);

    LeapVector position() const { return LeapVector(m_swipe.position()); }
    LeapVector startPosition() const { return LeapVector(m_swipe.startPosition()); }
    LeapVector direction() const { return LeapVector(m_swipe.direction()); }
    float speed() const { return m_swipe.speed(); }
    std::shared_ptr<LeapPointable> pointable() const { return wrapPerformer(m_swipe.pointable()); }

private:
    Leap::SwipeGesture m_swipe;
};
