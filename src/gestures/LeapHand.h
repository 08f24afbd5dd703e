#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include <QString>

#include "gestures/LeapMatrix.h"
#include "gestures/LeapVector.h"
#include "platform/leap/Hand.h"

class LeapFinger;
class LeapFrame;
class LeapPointable;
class LeapTool;

// A hand of one frame. Holds its frame weakly (the frame owns its hands). Motion queries measure from an
// earlier frame; a null frame measures from nothing (no motion). Always held by a shared_ptr. Main thread only.
class LeapHand : public std::enable_shared_from_this<LeapHand> {
public:
    LeapHand(const Leap::Hand& hand, const std::shared_ptr<LeapFrame>& frame);
    LeapHand(const LeapHand&) = delete;
    LeapHand& operator=(const LeapHand&) = delete;

    static std::shared_ptr<LeapHand> invalid();

    std::int32_t id() const { return m_hand.id(); }
    // New wrappers on every call, attached to this hand and its frame.
    std::vector<std::shared_ptr<LeapPointable>> pointables() const;
    std::vector<std::shared_ptr<LeapFinger>> fingers() const;
    std::vector<std::shared_ptr<LeapTool>> tools() const;
    LeapVector palmPosition() const { return LeapVector(m_hand.palmPosition()); }
    LeapVector stabilizedPalmPosition() const { return LeapVector(m_hand.stabilizedPalmPosition()); }
    LeapVector palmVelocity() const { return LeapVector(m_hand.palmVelocity()); }
    LeapVector palmNormal() const { return LeapVector(m_hand.palmNormal()); }
    LeapVector direction() const { return LeapVector(m_hand.direction()); }
    LeapVector sphereCenter() const { return LeapVector(m_hand.sphereCenter()); }
    float sphereRadius() const { return m_hand.sphereRadius(); }
    bool isValid() const { return m_hand.isValid(); }
    std::shared_ptr<LeapFrame> frame() const { return m_frame.lock(); }
    float timeVisible() const { return m_hand.timeVisible(); }

    // By id; the invalid object of the class when the hand holds none.
    std::shared_ptr<LeapPointable> pointable(std::int32_t id) const;
    std::shared_ptr<LeapFinger> finger(std::int32_t id) const;
    std::shared_ptr<LeapTool> tool(std::int32_t id) const;

    LeapVector translation(const std::shared_ptr<LeapFrame>& sinceFrame) const;
    float translationProbability(const std::shared_ptr<LeapFrame>& sinceFrame) const;
    LeapVector rotationAxis(const std::shared_ptr<LeapFrame>& sinceFrame) const;
    float rotationAngle(const std::shared_ptr<LeapFrame>& sinceFrame) const;
    float rotationAngle(const std::shared_ptr<LeapFrame>& sinceFrame, const LeapVector& axis) const;
    LeapMatrix rotationMatrix(const std::shared_ptr<LeapFrame>& sinceFrame) const;
    float rotationProbability(const std::shared_ptr<LeapFrame>& sinceFrame) const;
    float scaleFactor(const std::shared_ptr<LeapFrame>& sinceFrame) const;
    float scaleProbability(const std::shared_ptr<LeapFrame>& sinceFrame) const;

    // "Hand Id:<id>" or "Invalid Hand".
    QString description() const;
    const Leap::Hand& interfaceHand() const { return m_hand; }

private:
    std::shared_ptr<LeapHand> self() const;

    Leap::Hand m_hand;
    std::weak_ptr<LeapFrame> m_frame;
};
