#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/leap/FrameData.h"
#include "platform/leap/List.h"
#include "platform/leap/Matrix.h"
#include "platform/leap/Pointable.h"

namespace Leap {

struct FrameImpl;
class Frame;

// A hand seen in one frame. A handle: copies share the record and compare equal; it keeps its frame alive.
// Motion queries compare this hand with the hand of the same id in an earlier frame; when that frame does
// not hold it, there is no motion (zero translation, identity rotation, scale 1, probability 0).
class Hand {
public:
    Hand() = default;
    Hand(std::shared_ptr<const FrameImpl> frame, std::shared_ptr<const HandData> data);

    static const Hand& invalid();
    bool isValid() const { return m_data != nullptr; }

    std::int32_t id() const { return m_data ? m_data->id : -1; }
    Frame frame() const;
    PointableList pointables() const;
    FingerList fingers() const;
    ToolList tools() const;
    Pointable pointable(std::int32_t id) const;
    Finger finger(std::int32_t id) const;
    Tool tool(std::int32_t id) const;

    Vector palmPosition() const { return m_data ? m_data->palmPosition : Vector(); }
    Vector stabilizedPalmPosition() const { return m_data ? m_data->stabilizedPalmPosition : Vector(); }
    Vector palmVelocity() const { return m_data ? m_data->palmVelocity : Vector(); }
    Vector palmNormal() const { return m_data ? m_data->palmNormal : Vector(); }
    Vector direction() const { return m_data ? m_data->direction : Vector(); }
    Vector sphereCenter() const { return m_data ? m_data->sphereCenter : Vector(); }
    float sphereRadius() const { return m_data ? m_data->sphereRadius : 0; }
    float timeVisible() const { return m_data ? m_data->timeVisible : 0; }

    Vector translation(const Frame& sinceFrame) const;
    float translationProbability(const Frame& sinceFrame) const;
    Vector rotationAxis(const Frame& sinceFrame) const;
    float rotationAngle(const Frame& sinceFrame) const;
    // The part of the rotation about `axis`, signed by the right-hand rule.
    float rotationAngle(const Frame& sinceFrame, const Vector& axis) const;
    Matrix rotationMatrix(const Frame& sinceFrame) const;
    float rotationProbability(const Frame& sinceFrame) const;
    float scaleFactor(const Frame& sinceFrame) const;
    float scaleProbability(const Frame& sinceFrame) const;

    friend bool operator==(const Hand& a, const Hand& b) { return a.m_data == b.m_data; }
    std::string toString() const;

private:
    const HandData* earlier(const Frame& sinceFrame) const;

    std::shared_ptr<const FrameImpl> m_frame;
    std::shared_ptr<const HandData> m_data;
};

using HandList = List<Hand>;

} // namespace Leap
