#pragma once

#include "gestures/LeapGesture.h"
#include "gestures/LeapVector.h"

// A finger tracing a circle; `progress` counts the turns completed, `normal` follows the right-hand rule.
class LeapCircleGesture : public LeapGesture {
public:
    LeapCircleGesture(const Leap::Gesture& gesture, const std::shared_ptr<LeapFrame>& frame);

    float progress() const { return m_circle.progress(); }
    LeapVector center() const { return LeapVector(m_circle.center()); }
    LeapVector normal() const { return LeapVector(m_circle.normal()); }
    float radius() const { return m_circle.radius(); }
    std::shared_ptr<LeapPointable> pointable() const { return wrapPerformer(m_circle.pointable()); }

private:
    Leap::CircleGesture m_circle;
};
