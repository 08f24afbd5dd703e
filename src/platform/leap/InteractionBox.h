#pragma once

#include <memory>
#include <string>

#include "platform/leap/FrameData.h"
#include "platform/leap/Vector.h"

namespace Leap {

// The box of space above the device in which tracking is reliable, for mapping positions to a unit cube.
// A handle: copies share one box; the invalid box has no size.
class InteractionBox {
public:
    InteractionBox() = default;
    explicit InteractionBox(std::shared_ptr<const InteractionBoxData> data);

    static const InteractionBox& invalid();
    bool isValid() const { return m_data != nullptr; }

    Vector center() const;
    float width() const;
    float height() const;
    float depth() const;

    // Maps the box onto [0, 1] on each axis (0 at the left, bottom and back). Without clamping, points
    // outside the box map outside that range. An axis of no extent maps everything to its middle, 0.5.
    Vector normalizePoint(const Vector& position, bool clamp = true) const;
    Vector denormalizePoint(const Vector& normalizedPosition) const;

    friend bool operator==(const InteractionBox& a, const InteractionBox& b) { return a.m_data == b.m_data; }
    std::string toString() const;

private:
    std::shared_ptr<const InteractionBoxData> m_data;
};

} // namespace Leap
