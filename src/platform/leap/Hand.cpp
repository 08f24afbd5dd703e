#include "platform/leap/Hand.h"

#include "platform/leap/Frame.h"
#include "platform/leap/FrameImpl.h"

namespace Leap {

Hand::Hand(std::shared_ptr<const FrameImpl> frame, std::shared_ptr<const HandData> data)
    : m_frame(std::move(frame))
    , m_data(m_frame ? std::move(data) : nullptr)
{
}

const Hand& Hand::invalid()
{
    static const Hand hand;
    return hand;
}

Frame Hand::frame() const
{
    return m_data ? Frame(m_frame) : Frame::invalid();
}

PointableList Hand::pointables() const
{
    std::vector<Pointable> result;
    if (m_data)
        for (const PointableData& p : m_frame->data.pointables)
            if (p.handId == m_data->id)
                result.emplace_back(m_frame, &p);
    return PointableList(std::move(result));
}

FingerList Hand::fingers() const
{
    std::vector<Finger> result;
    for (const Pointable& p : pointables())
        if (p.isFinger())
            result.emplace_back(p);
    return FingerList(std::move(result));
}

ToolList Hand::tools() const
{
    std::vector<Tool> result;
    for (const Pointable& p : pointables())
        if (p.isTool())
            result.emplace_back(p);
    return ToolList(std::move(result));
}

Pointable Hand::pointable(std::int32_t id) const
{
    for (const Pointable& p : pointables())
        if (p.id() == id)
            return p;
    return Pointable::invalid();
}

Finger Hand::finger(std::int32_t id) const
{
    return Finger(pointable(id));
}
Tool Hand::tool(std::int32_t id) const
{
    return Tool(pointable(id));
}

const HandData* Hand::earlier(const Frame& sinceFrame) const
{
    if (!m_data || !sinceFrame.isValid())
        return nullptr;
    return sinceFrame.impl()->findHand(m_data->id);
}

Vector Hand::translation(const Frame& sinceFrame) const
{
    const HandData* before = earlier(sinceFrame);
    return before ? m_data->palmPosition - before->palmPosition : Vector();
}

float Hand::translationProbability(const Frame& sinceFrame) const
{
    return earlier(sinceFrame) ? 1.0f : 0.0f;
}

Matrix Hand::rotationMatrix(const Frame& sinceFrame) const
{
    const HandData* before = earlier(sinceFrame);
    return before ? Motion::rotation(*before, *m_data) : Matrix::identity();
}

Vector Hand::rotationAxis(const Frame& sinceFrame) const
{
    return earlier(sinceFrame) ? Motion::rotationAxis(rotationMatrix(sinceFrame)) : Vector();
}

float Hand::rotationAngle(const Frame& sinceFrame) const
{
    return Motion::rotationAngle(rotationMatrix(sinceFrame));
}

float Hand::rotationAngle(const Frame& sinceFrame, const Vector& axis) const
{
    return rotationAngle(sinceFrame) * rotationAxis(sinceFrame).dot(axis.normalized());
}

float Hand::rotationProbability(const Frame& sinceFrame) const
{
    return earlier(sinceFrame) ? 1.0f : 0.0f;
}

float Hand::scaleFactor(const Frame& sinceFrame) const
{
    const HandData* before = earlier(sinceFrame);
    return before ? Motion::scale(*before, *m_data) : 1.0f;
}

float Hand::scaleProbability(const Frame& sinceFrame) const
{
    return earlier(sinceFrame) ? 1.0f : 0.0f;
}

std::string Hand::toString() const
{
    return m_data ? "Hand Id:" + std::to_string(m_data->id) : "Invalid Hand";
}

} // namespace Leap
