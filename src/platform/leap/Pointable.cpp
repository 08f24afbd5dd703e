#include "platform/leap/Pointable.h"

#include "platform/leap/Frame.h"
#include "platform/leap/FrameImpl.h"
#include "platform/leap/Hand.h"

namespace Leap {

Pointable::Pointable(std::shared_ptr<const FrameImpl> frame, const PointableData* data)
    : m_frame(std::move(frame))
    , m_data(m_frame ? data : nullptr)
{
}

const Pointable& Pointable::invalid()
{
    static const Pointable pointable;
    return pointable;
}

Frame Pointable::frame() const
{
    return m_data ? Frame(m_frame) : Frame::invalid();
}

Hand Pointable::hand() const
{
    if (!m_data || m_data->handId < 0)
        return Hand::invalid();
    if (const HandData* hand = m_frame->findHand(m_data->handId))
        return Hand(m_frame, std::shared_ptr<const HandData>(m_frame, hand));
    auto detached = std::make_shared<HandData>();
    detached->id = m_data->handId;
    return Hand(m_frame, std::move(detached));
}

Pointable::Zone Pointable::touchZone() const
{
    if (!m_data)
        return ZONE_NONE;
    if (m_data->touchDistance <= 0)
        return ZONE_TOUCHING;
    return m_data->touchDistance < 1 ? ZONE_HOVERING : ZONE_NONE;
}

std::string Pointable::toString() const
{
    return m_data ? "Pointable Id:" + std::to_string(m_data->id) : "Invalid Pointable";
}

Finger::Finger(const Pointable& pointable)
    : Pointable(pointable.isFinger() ? pointable : Pointable::invalid())
{
}

const Finger& Finger::invalid()
{
    static const Finger finger;
    return finger;
}

std::string Finger::toString() const
{
    return m_data ? "Finger Id:" + std::to_string(m_data->id) : "Invalid Finger";
}

Tool::Tool(const Pointable& pointable)
    : Pointable(pointable.isTool() ? pointable : Pointable::invalid())
{
}

const Tool& Tool::invalid()
{
    static const Tool tool;
    return tool;
}

std::string Tool::toString() const
{
    return m_data ? "Tool Id:" + std::to_string(m_data->id) : "Invalid Tool";
}

} // namespace Leap
