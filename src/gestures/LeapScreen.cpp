#include "gestures/LeapScreen.h"

#include "gestures/LeapPointable.h"

LeapScreen::LeapScreen(const Leap::Screen& screen)
    : m_screen(screen)
{
}

std::shared_ptr<LeapScreen> LeapScreen::invalid()
{
    static const Leap::Screen library = Leap::Screen::invalid();
    return std::make_shared<LeapScreen>(library);
}

LeapVector LeapScreen::intersect(const std::shared_ptr<LeapPointable>& pointable, bool normalize,
                                 float clampRatio) const
{
    const Leap::Pointable& library = pointable ? pointable->interfacePointable() : Leap::Pointable::invalid();
    return LeapVector(m_screen.intersect(library, normalize, clampRatio));
}

LeapVector LeapScreen::intersect(const LeapVector& position, const LeapVector& direction, bool normalize,
                                 float clampRatio) const
{
    return LeapVector(m_screen.intersect(position.toLeapVector(), direction.toLeapVector(), normalize, clampRatio));
}

LeapVector LeapScreen::project(const LeapVector& position, bool normalize, float clampRatio) const
{
    return LeapVector(m_screen.project(position.toLeapVector(), normalize, clampRatio));
}

float LeapScreen::distanceToPoint(const LeapVector& position) const
{
    return m_screen.distanceToPoint(position.toLeapVector());
}

QString LeapScreen::description() const
{
    return QString::fromLocal8Bit(m_screen.toString());
}
