#pragma once

#include <memory>

#include <QString>

#include "gestures/LeapVector.h"
#include "platform/leap/InteractionBox.h"

// The box above the device in which tracking is reliable, used to map positions onto a unit cube.
class LeapInteractionBox {
public:
    explicit LeapInteractionBox(const Leap::InteractionBox& box);

    static std::shared_ptr<LeapInteractionBox> invalid();

    LeapVector center() const { return LeapVector(m_box.center()); }
    float width() const { return m_box.width(); }
    float height() const { return m_box.height(); }
    float depth() const { return m_box.depth(); }
    bool isValid() const { return m_box.isValid(); }

    // Each coordinate 0 to 1 inside the box (left, bottom, back at 0); without clamping, beyond that outside.
    LeapVector normalizePoint(const LeapVector& position, bool clamp) const;
    LeapVector denormalizePoint(const LeapVector& normalizedPosition) const;
    bool equals(const LeapInteractionBox& other) const { return m_box == other.m_box; }

    QString description() const;
    const Leap::InteractionBox& interfaceInteractionBox() const { return m_box; }

private:
    Leap::InteractionBox m_box;
};
