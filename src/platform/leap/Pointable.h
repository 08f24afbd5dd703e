#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/leap/FrameData.h"
#include "platform/leap/List.h"
#include "platform/leap/Vector.h"

namespace Leap {

struct FrameImpl;
class Frame;
class Hand;

// A finger or a tool seen in one frame. A handle: copies share the frame's record and compare equal; the
// handle keeps its frame alive. The invalid pointable has id -1 and zero vectors.
class Pointable {
public:
    enum Zone { ZONE_NONE = 0, ZONE_HOVERING = 1, ZONE_TOUCHING = 2 };

    Pointable() = default;
    // `data` points into `frame`'s records.
    Pointable(std::shared_ptr<const FrameImpl> frame, const PointableData* data);

    static const Pointable& invalid();
    bool isValid() const { return m_data != nullptr; }

    std::int32_t id() const { return m_data ? m_data->id : -1; }
    Frame frame() const;
    // The hand holding it: invalid when it is attached to none. A hand the frame no longer lists is still
    // valid and answers its id, with no further data.
    Hand hand() const;
    Vector tipPosition() const { return m_data ? m_data->tipPosition : Vector(); }
    Vector tipVelocity() const { return m_data ? m_data->tipVelocity : Vector(); }
    Vector direction() const { return m_data ? m_data->direction : Vector(); }
    Vector stabilizedTipPosition() const { return m_data ? m_data->stabilizedTipPosition : Vector(); }
    float width() const { return m_data ? m_data->width : 0; }
    float length() const { return m_data ? m_data->length : 0; }
    bool isFinger() const { return m_data && !m_data->isTool; }
    bool isTool() const { return m_data && m_data->isTool; }
    Zone touchZone() const;
    float touchDistance() const { return m_data ? m_data->touchDistance : 0; }
    float timeVisible() const { return m_data ? m_data->timeVisible : 0; }

    friend bool operator==(const Pointable& a, const Pointable& b) { return a.m_data == b.m_data; }
    std::string toString() const;

protected:
    std::shared_ptr<const FrameImpl> m_frame;
    const PointableData* m_data = nullptr;
};

// A pointable that is a finger; made from a pointable that is not, it is invalid.
class Finger : public Pointable {
public:
    Finger() = default;
    explicit Finger(const Pointable& pointable);
    static const Finger& invalid();
    std::string toString() const;
};

// A pointable that is a tool (a pen, a stick); made from a pointable that is not, it is invalid.
class Tool : public Pointable {
public:
    Tool() = default;
    explicit Tool(const Pointable& pointable);
    static const Tool& invalid();
    std::string toString() const;
};

using PointableList = List<Pointable>;
using FingerList = List<Finger>;
using ToolList = List<Tool>;

} // namespace Leap
