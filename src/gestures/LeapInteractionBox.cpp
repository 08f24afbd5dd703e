#include "gestures/LeapInteractionBox.h"

LeapInteractionBox::LeapInteractionBox(const Leap::InteractionBox& box)
    : m_box(box)
{
}

std::shared_ptr<LeapInteractionBox> LeapInteractionBox::invalid()
{
    static const Leap::InteractionBox library = Leap::InteractionBox::invalid();
    return std::make_shared<LeapInteractionBox>(library);
}

LeapVector LeapInteractionBox::normalizePoint(const LeapVector& position, bool clamp) const
{
    return LeapVector(m_box.normalizePoint(position.toLeapVector(), clamp));
}

LeapVector LeapInteractionBox::denormalizePoint(const LeapVector& normalizedPosition) const
{
    return LeapVector(m_box.denormalizePoint(normalizedPosition.toLeapVector()));
}

QString LeapInteractionBox::description() const
{
    return QString::fromLocal8Bit(m_box.toString());
}
