#include "platform/leap/Gesture.h"

#include "platform/leap/Frame.h"
#include "platform/leap/FrameImpl.h"

namespace Leap {

Gesture::Gesture(std::shared_ptr<const FrameImpl> frame, const GestureData* data)
    : m_frame(std::move(frame))
    , m_data(m_frame ? data : nullptr)
{
}

Gesture::Gesture(const Gesture& other, Type requiredType)
    : Gesture(other.type() == requiredType ? other : invalid())
{
}

const Gesture& Gesture::invalid()
{
    static const Gesture gesture;
    return gesture;
}

Frame Gesture::frame() const
{
    return m_data ? Frame(m_frame) : Frame::invalid();
}

HandList Gesture::hands() const
{
    std::vector<Hand> result;
    if (m_data)
        for (std::int32_t id : m_data->handIds)
            if (const HandData* hand = m_frame->findHand(id))
                result.emplace_back(m_frame, std::shared_ptr<const HandData>(m_frame, hand));
    return HandList(std::move(result));
}

PointableList Gesture::pointables() const
{
    std::vector<Pointable> result;
    if (m_data)
        for (std::int32_t id : m_data->pointableIds)
            if (const PointableData* pointable = m_frame->findPointable(id))
                result.emplace_back(m_frame, pointable);
    return PointableList(std::move(result));
}

Pointable Gesture::performer() const
{
    const PointableList all = pointables();
    return all.isEmpty() ? Pointable::invalid() : all[0];
}

std::string Gesture::toString() const
{
    return m_data ? "Gesture Id:" + std::to_string(m_data->id) + " Type:" + std::to_string(m_data->type) +
                        " State:" + std::to_string(m_data->state)
                  : "Invalid Gesture";
}

SwipeGesture::SwipeGesture(const Gesture& gesture)
    : Gesture(gesture, classType())
{
}

CircleGesture::CircleGesture(const Gesture& gesture)
    : Gesture(gesture, classType())
{
}

ScreenTapGesture::ScreenTapGesture(const Gesture& gesture)
    : Gesture(gesture, classType())
{
}

KeyTapGesture::KeyTapGesture(const Gesture& gesture)
    : Gesture(gesture, classType())
{
}

} // namespace Leap
