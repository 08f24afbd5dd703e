#include "gestures/LeapPointable.h"

#include "gestures/LeapFinger.h"
#include "gestures/LeapHand.h"
#include "gestures/LeapTool.h"

LeapPointable::LeapPointable(const Leap::Pointable& pointable, const std::shared_ptr<LeapFrame>& frame,
                             const std::shared_ptr<LeapHand>& hand)
    : m_pointable(pointable)
    , m_frame(frame)
    , m_hand(hand)
    , m_ownedHand(hand && !hand->isValid() ? hand : nullptr)
{
}

LeapPointable::~LeapPointable() = default;

std::shared_ptr<LeapPointable> LeapPointable::typedPointableAlloc(const Leap::Pointable& pointable,
                                                                  const std::shared_ptr<LeapFrame>& frame,
                                                                  const std::shared_ptr<LeapHand>& hand)
{
    if (pointable.isFinger())
        return std::make_shared<LeapFinger>(pointable, frame, hand);
    if (pointable.isTool())
        return std::make_shared<LeapTool>(pointable, frame, hand);
    return std::make_shared<LeapPointable>(pointable, frame, hand);
}

std::shared_ptr<LeapPointable> LeapPointable::invalid()
{
    static const Leap::Pointable library = Leap::Pointable::invalid();
    return std::make_shared<LeapPointable>(library, nullptr, nullptr);
}

std::shared_ptr<LeapHand> LeapPointable::hand() const
{
    return m_ownedHand ? m_ownedHand : m_hand.lock();
}

QString LeapPointable::describe(const char* kind) const
{
    return isValid() ? QStringLiteral("%1 Id:%2").arg(QLatin1String(kind)).arg(id())
                     : QStringLiteral("Invalid %1").arg(QLatin1String(kind));
}

QString LeapPointable::description() const
{
    return describe("Pointable");
}

std::shared_ptr<LeapFinger> LeapFinger::invalid()
{
    static const Leap::Finger library = Leap::Finger::invalid();
    return std::make_shared<LeapFinger>(library, nullptr, nullptr);
}

QString LeapFinger::description() const
{
    return describe("Finger");
}

std::shared_ptr<LeapTool> LeapTool::invalid()
{
    static const Leap::Tool library = Leap::Tool::invalid();
    return std::make_shared<LeapTool>(library, nullptr, nullptr);
}

QString LeapTool::description() const
{
    return describe("Tool");
}
