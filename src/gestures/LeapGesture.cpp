#include "gestures/LeapGesture.h"

#include <map>

#include "gestures/LeapCircleGesture.h"
#include "gestures/LeapFrame.h"
#include "gestures/LeapHand.h"
#include "gestures/LeapKeyTapGesture.h"
#include "gestures/LeapPointable.h"
#include "gestures/LeapScreenTapGesture.h"
#include "gestures/LeapSwipeGesture.h"

LeapGesture::LeapGesture(const Leap::Gesture& gesture, const std::shared_ptr<LeapFrame>& frame)
    : m_gesture(gesture)
    , m_frame(frame)
{
    std::map<std::int32_t, std::shared_ptr<LeapHand>> handsById;
    for (const Leap::Hand& hand : gesture.hands()) {
        auto wrapped = std::make_shared<LeapHand>(hand, frame);
        handsById.emplace(hand.id(), wrapped);
        m_hands.push_back(std::move(wrapped));
    }
    for (const Leap::Pointable& pointable : gesture.pointables())
        m_pointables.push_back(
            LeapPointable::typedPointableAlloc(pointable, frame, LeapFrame::handFor(pointable, handsById)));
}

LeapGesture::~LeapGesture() = default;

std::shared_ptr<LeapGesture> LeapGesture::invalid()
{
    static const Leap::Gesture library = Leap::Gesture::invalid();
    return std::make_shared<LeapGesture>(library, nullptr);
}

std::shared_ptr<LeapPointable> LeapGesture::wrapPerformer(const Leap::Pointable& pointable) const
{
    return LeapPointable::typedPointableAlloc(pointable, m_frame, nullptr);
}

QString LeapGesture::description() const
{
    return QString::fromLocal8Bit(m_gesture.toString());
}

LeapSwipeGesture::LeapSwipeGesture(const Leap::Gesture& gesture, const std::shared_ptr<LeapFrame>& frame)
    : LeapGesture(gesture, frame)
    , m_swipe(gesture)
{
}

LeapCircleGesture::LeapCircleGesture(const Leap::Gesture& gesture, const std::shared_ptr<LeapFrame>& frame)
    : LeapGesture(gesture, frame)
    , m_circle(gesture)
{
}

LeapScreenTapGesture::LeapScreenTapGesture(const Leap::Gesture& gesture, const std::shared_ptr<LeapFrame>& frame)
    : LeapGesture(gesture, frame)
    , m_tap(gesture)
{
}

LeapKeyTapGesture::LeapKeyTapGesture(const Leap::Gesture& gesture, const std::shared_ptr<LeapFrame>& frame)
    : LeapGesture(gesture, frame)
    , m_tap(gesture)
{
}
