#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include <QString>

#include "gestures/LeapMatrix.h"
#include "gestures/LeapVector.h"
#include "platform/leap/Frame.h"

class LeapFinger;
class LeapGesture;
class LeapHand;
class LeapInteractionBox;
class LeapPointable;
class LeapTool;

// Everything the controller tracked at one instant. Owns its hands, pointables, fingers and tools, built once
// when the frame is created and fixed from then on; they refer back to it weakly. The same library pointable
// appears as separate wrappers in `pointables` and in `fingers` or `tools`. Always held by a shared_ptr
// (made by create()). Main thread only.
class LeapFrame : public std::enable_shared_from_this<LeapFrame> {
public:
    // The frame's initialiser: wraps the library frame with its hands, then its pointables, fingers and tools,
    // each attached to its hand by the rule of handFor().
    static std::shared_ptr<LeapFrame> create(const Leap::Frame& frame);
    static std::shared_ptr<LeapFrame> invalid();

    // The hand a wrapped pointable belongs to: the invalid hand when the library attaches it to none; the
    // wrapper of its hand when that hand is among `hands`; otherwise null.
    static std::shared_ptr<LeapHand> handFor(const Leap::Pointable& pointable,
                                             const std::map<std::int32_t, std::shared_ptr<LeapHand>>& hands);

    const std::vector<std::shared_ptr<LeapHand>>& hands() const { return m_hands; }
    const std::vector<std::shared_ptr<LeapPointable>>& pointables() const { return m_pointables; }
    const std::vector<std::shared_ptr<LeapFinger>>& fingers() const { return m_fingers; }
    const std::vector<std::shared_ptr<LeapTool>>& tools() const { return m_tools; }

    std::int64_t id() const { return m_frame.id(); }
    std::int64_t timestamp() const { return m_frame.timestamp(); }
    // The first element of the frame's own list with that id, else the class's invalid object.
    std::shared_ptr<LeapHand> hand(std::int32_t id) const;
    std::shared_ptr<LeapPointable> pointable(std::int32_t id) const;
    std::shared_ptr<LeapFinger> finger(std::int32_t id) const;
    std::shared_ptr<LeapTool> tool(std::int32_t id) const;

    // The gestures that occurred since `sinceFrame`; with null, this frame's gestures only. Each is wrapped
    // by typedGestureCreate(), with this frame.
    std::vector<std::shared_ptr<LeapGesture>> gestures(const std::shared_ptr<LeapFrame>& sinceFrame) const;
    std::shared_ptr<LeapGesture> gesture(std::int32_t id) const;
    // LeapSwipeGesture, LeapCircleGesture, LeapScreenTapGesture or LeapKeyTapGesture by the gesture's type,
    // else a plain LeapGesture.
    std::shared_ptr<LeapGesture> typedGestureCreate(const Leap::Gesture& gesture) const;

    LeapVector translation(const std::shared_ptr<LeapFrame>& sinceFrame) const;
    float translationProbability(const std::shared_ptr<LeapFrame>& sinceFrame) const;
    LeapVector rotationAxis(const std::shared_ptr<LeapFrame>& sinceFrame) const;
    float rotationAngle(const std::shared_ptr<LeapFrame>& sinceFrame) const;
    float rotationAngle(const std::shared_ptr<LeapFrame>& sinceFrame, const LeapVector& axis) const;
    LeapMatrix rotationMatrix(const std::shared_ptr<LeapFrame>& sinceFrame) const;
    float rotationProbability(const std::shared_ptr<LeapFrame>& sinceFrame) const;
    float scaleFactor(const std::shared_ptr<LeapFrame>& sinceFrame) const;
    float scaleProbability(const std::shared_ptr<LeapFrame>& sinceFrame) const;

    std::shared_ptr<LeapInteractionBox> interactionBox() const;
    float currentFramesPerSecond() const { return m_frame.currentFramesPerSecond(); }
    bool isValid() const { return m_frame.isValid(); }

    // "Frame Id:<id>".
    QString description() const;
    const Leap::Frame& interfaceFrame() const { return m_frame; }

private:
    struct PrivateTag {};

public:
    LeapFrame(PrivateTag, const Leap::Frame& frame);

private:
    void populate();

    Leap::Frame m_frame;
    std::vector<std::shared_ptr<LeapHand>> m_hands;
    std::vector<std::shared_ptr<LeapPointable>> m_pointables;
    std::vector<std::shared_ptr<LeapFinger>> m_fingers;
    std::vector<std::shared_ptr<LeapTool>> m_tools;
};
