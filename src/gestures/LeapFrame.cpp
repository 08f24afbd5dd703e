#include "gestures/LeapFrame.h"

#include "gestures/LeapCircleGesture.h"
#include "gestures/LeapFinger.h"
#include "gestures/LeapGesture.h"
#include "gestures/LeapHand.h"
#include "gestures/LeapInteractionBox.h"
#include "gestures/LeapKeyTapGesture.h"
#include "gestures/LeapPointable.h"
#include "gestures/LeapScreenTapGesture.h"
#include "gestures/LeapSwipeGesture.h"
#include "gestures/LeapTool.h"

namespace {

const Leap::Frame& libraryFrame(const std::shared_ptr<LeapFrame>& frame)
{
    return frame ? frame->interfaceFrame() : Leap::Frame::invalid();
}

template <class T> std::shared_ptr<T> findById(const std::vector<std::shared_ptr<T>>& items, std::int32_t id)
{
    for (const auto& item : items)
        if (item->id() == id)
            return item;
    return T::invalid();
}

} // namespace

LeapFrame::LeapFrame(PrivateTag, const Leap::Frame& frame)
    : m_frame(frame)
{
}

std::shared_ptr<LeapFrame> LeapFrame::create(const Leap::Frame& frame)
{
    auto wrapper = std::make_shared<LeapFrame>(PrivateTag{}, frame);
    wrapper->populate();
    return wrapper;
}

std::shared_ptr<LeapFrame> LeapFrame::invalid()
{
    static const Leap::Frame library = Leap::Frame::invalid();
    return create(library);
}

std::shared_ptr<LeapHand> LeapFrame::handFor(const Leap::Pointable& pointable,
                                             const std::map<std::int32_t, std::shared_ptr<LeapHand>>& hands)
{
    const Leap::Hand hand = pointable.hand();
    if (!hand.isValid())
        return LeapHand::invalid();
    const auto found = hands.find(hand.id());
    return found != hands.end() ? found->second : nullptr;
}

void LeapFrame::populate()
{
    const std::shared_ptr<LeapFrame> self = shared_from_this();
    std::map<std::int32_t, std::shared_ptr<LeapHand>> handsById;
    for (const Leap::Hand& hand : m_frame.hands()) {
        auto wrapped = std::make_shared<LeapHand>(hand, self);
        handsById.emplace(hand.id(), wrapped);
        m_hands.push_back(std::move(wrapped));
    }
    for (const Leap::Pointable& pointable : m_frame.pointables())
        m_pointables.push_back(LeapPointable::typedPointableAlloc(pointable, self, handFor(pointable, handsById)));
    for (const Leap::Finger& finger : m_frame.fingers())
        m_fingers.push_back(std::make_shared<LeapFinger>(finger, self, handFor(finger, handsById)));
    for (const Leap::Tool& tool : m_frame.tools())
        m_tools.push_back(std::make_shared<LeapTool>(tool, self, handFor(tool, handsById)));
}

std::shared_ptr<LeapHand> LeapFrame::hand(std::int32_t id) const
{
    return findById(m_hands, id);
}
std::shared_ptr<LeapPointable> LeapFrame::pointable(std::int32_t id) const
{
    return findById(m_pointables, id);
}
std::shared_ptr<LeapFinger> LeapFrame::finger(std::int32_t id) const
{
    return findById(m_fingers, id);
}
std::shared_ptr<LeapTool> LeapFrame::tool(std::int32_t id) const
{
    return findById(m_tools, id);
}

std::vector<std::shared_ptr<LeapGesture>> LeapFrame::gestures(const std::shared_ptr<LeapFrame>& sinceFrame) const
{
    const Leap::GestureList list = sinceFrame ? m_frame.gestures(sinceFrame->interfaceFrame()) : m_frame.gestures();
    std::vector<std::shared_ptr<LeapGesture>> result;
    for (const Leap::Gesture& gesture : list)
        result.push_back(typedGestureCreate(gesture));
    return result;
}

std::shared_ptr<LeapGesture> LeapFrame::gesture(std::int32_t id) const
{
    return typedGestureCreate(m_frame.gesture(id));
}

std::shared_ptr<LeapGesture> LeapFrame::typedGestureCreate(const Leap::Gesture& gesture) const
{
    const auto self = std::const_pointer_cast<LeapFrame>(weak_from_this().lock());
    switch (gesture.type()) {
    case Leap::Gesture::TYPE_SWIPE:
        return std::make_shared<LeapSwipeGesture>(gesture, self);
    case Leap::Gesture::TYPE_CIRCLE:
        return std::make_shared<LeapCircleGesture>(gesture, self);
    case Leap::Gesture::TYPE_SCREEN_TAP:
        return std::make_shared<LeapScreenTapGesture>(gesture, self);
    case Leap::Gesture::TYPE_KEY_TAP:
        return std::make_shared<LeapKeyTapGesture>(gesture, self);
    default:
        return std::make_shared<LeapGesture>(gesture, self);
    }
}

LeapVector LeapFrame::translation(const std::shared_ptr<LeapFrame>& since) const
{
    return LeapVector(m_frame.translation(libraryFrame(since)));
}

float LeapFrame::translationProbability(const std::shared_ptr<LeapFrame>& since) const
{
    return m_frame.translationProbability(libraryFrame(since));
}

LeapVector LeapFrame::rotationAxis(const std::shared_ptr<LeapFrame>& since) const
{
    return LeapVector(m_frame.rotationAxis(libraryFrame(since)));
}

float LeapFrame::rotationAngle(const std::shared_ptr<LeapFrame>& since) const
{
    return m_frame.rotationAngle(libraryFrame(since));
}

float LeapFrame::rotationAngle(const std::shared_ptr<LeapFrame>& since, const LeapVector& axis) const
{
    return m_frame.rotationAngle(libraryFrame(since), axis.toLeapVector());
}

LeapMatrix LeapFrame::rotationMatrix(const std::shared_ptr<LeapFrame>& since) const
{
    return LeapMatrix(m_frame.rotationMatrix(libraryFrame(since)));
}

float LeapFrame::rotationProbability(const std::shared_ptr<LeapFrame>& since) const
{
    return m_frame.rotationProbability(libraryFrame(since));
}

float LeapFrame::scaleFactor(const std::shared_ptr<LeapFrame>& since) const
{
    return m_frame.scaleFactor(libraryFrame(since));
}

float LeapFrame::scaleProbability(const std::shared_ptr<LeapFrame>& since) const
{
    return m_frame.scaleProbability(libraryFrame(since));
}

std::shared_ptr<LeapInteractionBox> LeapFrame::interactionBox() const
{
    return std::make_shared<LeapInteractionBox>(m_frame.interactionBox());
}

QString LeapFrame::description() const
{
    return QStringLiteral("Frame Id:%1").arg(id());
}
