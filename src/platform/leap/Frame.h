#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/leap/FrameData.h"
#include "platform/leap/Gesture.h"
#include "platform/leap/Hand.h"
#include "platform/leap/InteractionBox.h"
#include "platform/leap/Matrix.h"
#include "platform/leap/Pointable.h"

namespace Leap {

struct FrameImpl;

// Everything tracked at one instant. A handle: copies share one frame and compare equal. Frames are
// immutable; the hands, pointables and gestures handed out keep the frame alive.
class Frame {
public:
    Frame() = default;
    explicit Frame(std::shared_ptr<const FrameImpl> impl);
    // A frame on its own, outside any controller's history.
    static Frame fromData(FrameData data);

    static const Frame& invalid();
    bool isValid() const { return m_impl != nullptr; }

    std::int64_t id() const;
    std::int64_t timestamp() const; // microseconds
    HandList hands() const;
    PointableList pointables() const;
    FingerList fingers() const;
    ToolList tools() const;
    Hand hand(std::int32_t id) const;
    Pointable pointable(std::int32_t id) const;
    Finger finger(std::int32_t id) const;
    Tool tool(std::int32_t id) const;

    // The gesture updates of this frame.
    GestureList gestures() const;
    // The gesture updates of every frame after `sinceFrame` up to this one, oldest frame first, as far back
    // as the controller's history reaches. An invalid `sinceFrame` gives this frame's updates only; a frame
    // that is not older gives none.
    GestureList gestures(const Frame& sinceFrame) const;
    Gesture gesture(std::int32_t id) const;

    // Motion of the hands seen in both frames: mean translation and scale, rotation of the first such hand.
    Vector translation(const Frame& sinceFrame) const;
    float translationProbability(const Frame& sinceFrame) const;
    Vector rotationAxis(const Frame& sinceFrame) const;
    float rotationAngle(const Frame& sinceFrame) const;
    float rotationAngle(const Frame& sinceFrame, const Vector& axis) const;
    Matrix rotationMatrix(const Frame& sinceFrame) const;
    float rotationProbability(const Frame& sinceFrame) const;
    float scaleFactor(const Frame& sinceFrame) const;
    float scaleProbability(const Frame& sinceFrame) const;

    InteractionBox interactionBox() const;
    float currentFramesPerSecond() const;

    friend bool operator==(const Frame& a, const Frame& b) { return a.m_impl == b.m_impl; }
    std::string toString() const;

    const std::shared_ptr<const FrameImpl>& impl() const { return m_impl; }

private:
    // The hands present in both frames, as (earlier, this) pairs.
    std::vector<std::pair<const HandData*, const HandData*>> commonHands(const Frame& sinceFrame) const;

    std::shared_ptr<const FrameImpl> m_impl;
};

} // namespace Leap
