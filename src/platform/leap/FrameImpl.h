#pragma once

#include <memory>

#include "platform/leap/FrameData.h"
#include "platform/leap/Matrix.h"

namespace Leap {

// What a Frame handle shares: the frame's records, fixed once built, and a weak link to the frame before it
// (the controller's history owns frames; a frame kept alone simply has no past).
struct FrameImpl {
    FrameData data;
    std::weak_ptr<const FrameImpl> previous;

    const HandData* findHand(std::int32_t id) const;
    const PointableData* findPointable(std::int32_t id) const;
};

// Motion of one hand between two observations of it, derived from its palm position, palm normal, direction
// and sphere radius.
namespace Motion {
Matrix rotation(const HandData& from, const HandData& to);
Vector rotationAxis(const Matrix& rotation);
float rotationAngle(const Matrix& rotation);
float scale(const HandData& from, const HandData& to);
} // namespace Motion

} // namespace Leap
