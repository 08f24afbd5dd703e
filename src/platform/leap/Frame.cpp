#include "platform/leap/Frame.h"

#include <algorithm>
#include <vector>

#include "platform/leap/FrameImpl.h"

namespace Leap {

Frame::Frame(std::shared_ptr<const FrameImpl> impl)
    : m_impl(std::move(impl))
{
}

Frame Frame::fromData(FrameData data)
{
    auto impl = std::make_shared<FrameImpl>();
    impl->data = std::move(data);
    return Frame(std::move(impl));
}

const Frame& Frame::invalid()
{
    static const Frame frame;
    return frame;
}

std::int64_t Frame::id() const
{
    return m_impl ? m_impl->data.id : -1;
}
std::int64_t Frame::timestamp() const
{
    return m_impl ? m_impl->data.timestampMicroseconds : 0;
}

HandList Frame::hands() const
{
    std::vector<Hand> result;
    if (m_impl)
        for (const HandData& hand : m_impl->data.hands)
            result.emplace_back(m_impl, std::shared_ptr<const HandData>(m_impl, &hand));
    return HandList(std::move(result));
}

PointableList Frame::pointables() const
{
    std::vector<Pointable> result;
    if (m_impl)
        for (const PointableData& pointable : m_impl->data.pointables)
            result.emplace_back(m_impl, &pointable);
    return PointableList(std::move(result));
}

FingerList Frame::fingers() const
{
    std::vector<Finger> result;
    for (const Pointable& p : pointables())
        if (p.isFinger())
            result.emplace_back(p);
    return FingerList(std::move(result));
}

ToolList Frame::tools() const
{
    std::vector<Tool> result;
    for (const Pointable& p : pointables())
        if (p.isTool())
            result.emplace_back(p);
    return ToolList(std::move(result));
}

Hand Frame::hand(std::int32_t id) const
{
    const HandData* data = m_impl ? m_impl->findHand(id) : nullptr;
    return data ? Hand(m_impl, std::shared_ptr<const HandData>(m_impl, data)) : Hand::invalid();
}

Pointable Frame::pointable(std::int32_t id) const
{
    const PointableData* data = m_impl ? m_impl->findPointable(id) : nullptr;
    return data ? Pointable(m_impl, data) : Pointable::invalid();
}

Finger Frame::finger(std::int32_t id) const
{
    return Finger(pointable(id));
}
Tool Frame::tool(std::int32_t id) const
{
    return Tool(pointable(id));
}

GestureList Frame::gestures() const
{
    std::vector<Gesture> result;
    if (m_impl)
        for (const GestureData& gesture : m_impl->data.gestures)
            result.emplace_back(m_impl, &gesture);
    return GestureList(std::move(result));
}

GestureList Frame::gestures(const Frame& sinceFrame) const
{
    if (!m_impl || !sinceFrame.isValid())
        return gestures();
    std::vector<std::shared_ptr<const FrameImpl>> newerFrames;
    for (std::shared_ptr<const FrameImpl> walk = m_impl; walk && walk->data.id > sinceFrame.id();
         walk = walk->previous.lock())
        newerFrames.push_back(walk);
    std::vector<Gesture> result;
    for (auto frame = newerFrames.rbegin(); frame != newerFrames.rend(); ++frame)
        for (const GestureData& gesture : (*frame)->data.gestures)
            result.emplace_back(*frame, &gesture);
    return GestureList(std::move(result));
}

Gesture Frame::gesture(std::int32_t id) const
{
    if (m_impl)
        for (const GestureData& gesture : m_impl->data.gestures)
            if (gesture.id == id)
                return Gesture(m_impl, &gesture);
    return Gesture::invalid();
}

std::vector<std::pair<const HandData*, const HandData*>> Frame::commonHands(const Frame& sinceFrame) const
{
    std::vector<std::pair<const HandData*, const HandData*>> pairs;
    if (!m_impl || !sinceFrame.isValid())
        return pairs;
    for (const HandData& hand : m_impl->data.hands)
        if (const HandData* before = sinceFrame.m_impl->findHand(hand.id))
            pairs.emplace_back(before, &hand);
    return pairs;
}

Vector Frame::translation(const Frame& sinceFrame) const
{
    const auto pairs = commonHands(sinceFrame);
    Vector sum;
    for (const auto& [before, now] : pairs)
        sum += now->palmPosition - before->palmPosition;
    return pairs.empty() ? Vector() : sum / float(pairs.size());
}

float Frame::translationProbability(const Frame& sinceFrame) const
{
    return commonHands(sinceFrame).empty() ? 0.0f : 1.0f;
}

Matrix Frame::rotationMatrix(const Frame& sinceFrame) const
{
    const auto pairs = commonHands(sinceFrame);
    return pairs.empty() ? Matrix::identity() : Motion::rotation(*pairs.front().first, *pairs.front().second);
}

Vector Frame::rotationAxis(const Frame& sinceFrame) const
{
    return commonHands(sinceFrame).empty() ? Vector() : Motion::rotationAxis(rotationMatrix(sinceFrame));
}

float Frame::rotationAngle(const Frame& sinceFrame) const
{
    return Motion::rotationAngle(rotationMatrix(sinceFrame));
}

float Frame::rotationAngle(const Frame& sinceFrame, const Vector& axis) const
{
    return rotationAngle(sinceFrame) * rotationAxis(sinceFrame).dot(axis.normalized());
}

float Frame::rotationProbability(const Frame& sinceFrame) const
{
    return translationProbability(sinceFrame);
}

float Frame::scaleFactor(const Frame& sinceFrame) const
{
    const auto pairs = commonHands(sinceFrame);
    float sum = 0;
    for (const auto& [before, now] : pairs)
        sum += Motion::scale(*before, *now);
    return pairs.empty() ? 1.0f : sum / float(pairs.size());
}

float Frame::scaleProbability(const Frame& sinceFrame) const
{
    return translationProbability(sinceFrame);
}

InteractionBox Frame::interactionBox() const
{
    if (!m_impl)
        return InteractionBox::invalid();
    return InteractionBox(std::shared_ptr<const InteractionBoxData>(m_impl, &m_impl->data.interactionBox));
}

float Frame::currentFramesPerSecond() const
{
    return m_impl ? m_impl->data.framesPerSecond : 0;
}

std::string Frame::toString() const
{
    return m_impl ? "Frame Id:" + std::to_string(m_impl->data.id) : "Invalid Frame";
}

} // namespace Leap
