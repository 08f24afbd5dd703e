#include "gestures/LeapHand.h"

#include "gestures/LeapFinger.h"
#include "gestures/LeapFrame.h"
#include "gestures/LeapPointable.h"
#include "gestures/LeapTool.h"

namespace {

const Leap::Frame& libraryFrame(const std::shared_ptr<LeapFrame>& frame)
{
    return frame ? frame->interfaceFrame() : Leap::Frame::invalid();
}

} // namespace

LeapHand::LeapHand(const Leap::Hand& hand, const std::shared_ptr<LeapFrame>& frame)
    : m_hand(hand)
    , m_frame(frame)
{
}

std::shared_ptr<LeapHand> LeapHand::self() const
{
    return std::const_pointer_cast<LeapHand>(weak_from_this().lock());
}

std::shared_ptr<LeapHand> LeapHand::invalid()
{
    static const Leap::Hand library = Leap::Hand::invalid();
    return std::make_shared<LeapHand>(library, nullptr);
}

std::vector<std::shared_ptr<LeapPointable>> LeapHand::pointables() const
{
    std::vector<std::shared_ptr<LeapPointable>> result;
    for (const Leap::Pointable& pointable : m_hand.pointables())
        result.push_back(LeapPointable::typedPointableAlloc(pointable, frame(), self()));
    return result;
}

std::vector<std::shared_ptr<LeapFinger>> LeapHand::fingers() const
{
    std::vector<std::shared_ptr<LeapFinger>> result;
    for (const Leap::Finger& finger : m_hand.fingers())
        result.push_back(std::make_shared<LeapFinger>(finger, frame(), self()));
    return result;
}

std::vector<std::shared_ptr<LeapTool>> LeapHand::tools() const
{
    std::vector<std::shared_ptr<LeapTool>> result;
    for (const Leap::Tool& tool : m_hand.tools())
        result.push_back(std::make_shared<LeapTool>(tool, frame(), self()));
    return result;
}

std::shared_ptr<LeapPointable> LeapHand::pointable(std::int32_t id) const
{
    const Leap::Pointable found = m_hand.pointable(id);
    if (!found.isValid())
        return LeapPointable::invalid();
    return LeapPointable::typedPointableAlloc(found, frame(), self());
}

std::shared_ptr<LeapFinger> LeapHand::finger(std::int32_t id) const
{
    const Leap::Finger found = m_hand.finger(id);
    if (!found.isValid())
        return LeapFinger::invalid();
    return std::make_shared<LeapFinger>(found, frame(), self());
}

std::shared_ptr<LeapTool> LeapHand::tool(std::int32_t id) const
{
    const Leap::Tool found = m_hand.tool(id);
    if (!found.isValid())
        return LeapTool::invalid();
    return std::make_shared<LeapTool>(found, frame(), self());
}

LeapVector LeapHand::translation(const std::shared_ptr<LeapFrame>& since) const
{
    return LeapVector(m_hand.translation(libraryFrame(since)));
}

float LeapHand::translationProbability(const std::shared_ptr<LeapFrame>& since) const
{
    return m_hand.translationProbability(libraryFrame(since));
}

LeapVector LeapHand::rotationAxis(const std::shared_ptr<LeapFrame>& since) const
{
    return LeapVector(m_hand.rotationAxis(libraryFrame(since)));
}

float LeapHand::rotationAngle(const std::shared_ptr<LeapFrame>& since) const
{
    return m_hand.rotationAngle(libraryFrame(since));
}

float LeapHand::rotationAngle(const std::shared_ptr<LeapFrame>& since, const LeapVector& axis) const
{
    return m_hand.rotationAngle(libraryFrame(since), axis.toLeapVector());
}

LeapMatrix LeapHand::rotationMatrix(const std::shared_ptr<LeapFrame>& since) const
{
    return LeapMatrix(m_hand.rotationMatrix(libraryFrame(since)));
}

float LeapHand::rotationProbability(const std::shared_ptr<LeapFrame>& since) const
{
    return m_hand.rotationProbability(libraryFrame(since));
}

float LeapHand::scaleFactor(const std::shared_ptr<LeapFrame>& since) const
{
    return m_hand.scaleFactor(libraryFrame(since));
}

float LeapHand::scaleProbability(const std::shared_ptr<LeapFrame>& since) const
{
    return m_hand.scaleProbability(libraryFrame(since));
}

QString LeapHand::description() const
{
    return isValid() ? QStringLiteral("Hand Id:%1").arg(id()) : QStringLiteral("Invalid Hand");
}
