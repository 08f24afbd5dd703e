#pragma once

#include <cstdint>
#include <memory>

#include <QString>

#include "gestures/LeapVector.h"
#include "platform/leap/Pointable.h"

class LeapFrame;
class LeapHand;

// The library's touch zones, numbers unchanged.
enum class LeapPointableZone : int { None = 0, Hovering = 1, Touching = 2 };

// A finger or tool of one frame. Holds its frame and its hand weakly (the frame owns both), so a pointable kept
// beyond its frame answers a null frame. The one exception is the invalid hand of a pointable that the library
// attaches to no hand: nothing else owns that hand, so the pointable holds it.
// Main thread only.
class LeapPointable {
public:
    LeapPointable(const Leap::Pointable& pointable, const std::shared_ptr<LeapFrame>& frame,
                  const std::shared_ptr<LeapHand>& hand);
    virtual ~LeapPointable();
    LeapPointable(const LeapPointable&) = delete;
    LeapPointable& operator=(const LeapPointable&) = delete;

    // A LeapFinger when the library says the pointable is a finger, else a LeapTool when it is a tool, else a
    // plain LeapPointable.
    static std::shared_ptr<LeapPointable> typedPointableAlloc(const Leap::Pointable& pointable,
                                                              const std::shared_ptr<LeapFrame>& frame,
                                                              const std::shared_ptr<LeapHand>& hand);
    static std::shared_ptr<LeapPointable> invalid();

    std::int32_t id() const { return m_pointable.id(); }
    LeapVector tipPosition() const { return LeapVector(m_pointable.tipPosition()); }
    LeapVector tipVelocity() const { return LeapVector(m_pointable.tipVelocity()); }
    LeapVector direction() const { return LeapVector(m_pointable.direction()); }
    float width() const { return m_pointable.width(); }
    float length() const { return m_pointable.length(); }
    bool isFinger() const { return m_pointable.isFinger(); }
    bool isTool() const { return m_pointable.isTool(); }
    bool isValid() const { return m_pointable.isValid(); }
    LeapPointableZone touchZone() const { return LeapPointableZone(int(m_pointable.touchZone())); }
    float touchDistance() const { return m_pointable.touchDistance(); }
    LeapVector stabilizedTipPosition() const { return LeapVector(m_pointable.stabilizedTipPosition()); }
    float timeVisible() const { return m_pointable.timeVisible(); }
    std::shared_ptr<LeapFrame> frame() const { return m_frame.lock(); }
    std::shared_ptr<LeapHand> hand() const;

    // "Pointable Id:<id>" or "Invalid Pointable"; the subclasses name themselves.
    virtual QString description() const;
    const Leap::Pointable& interfacePointable() const { return m_pointable; }

protected:
    QString describe(const char* kind) const;

private:
    Leap::Pointable m_pointable;
    std::weak_ptr<LeapFrame> m_frame;
    std::weak_ptr<LeapHand> m_hand;
    std::shared_ptr<LeapHand> m_ownedHand;
};
