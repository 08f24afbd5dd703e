#pragma once

#include <cstdint>
#include <memory>

#include <QString>

#include "gestures/LeapVector.h"
#include "platform/leap/Screen.h"

class LeapPointable;

// A display whose place relative to the device is known. Intersections and projections answer points on the
// screen: normalised (u, v, 0) with (0, 0) at the bottom-left corner, or in millimetres; a ray that misses
// answers NaN components.
class LeapScreen {
public:
    explicit LeapScreen(const Leap::Screen& screen);

    static std::shared_ptr<LeapScreen> invalid();

    std::int32_t id() const { return m_screen.id(); }
    LeapVector horizontalAxis() const { return LeapVector(m_screen.horizontalAxis()); }
    LeapVector verticalAxis() const { return LeapVector(m_screen.verticalAxis()); }
    LeapVector bottomLeftCorner() const { return LeapVector(m_screen.bottomLeftCorner()); }
    LeapVector normal() const { return LeapVector(m_screen.normal()); }
    int widthPixels() const { return m_screen.widthPixels(); }
    int heightPixels() const { return m_screen.heightPixels(); }
    bool isValid() const { return m_screen.isValid(); }

    // Along the pointable's direction from its tip; a null pointable misses.
    LeapVector intersect(const std::shared_ptr<LeapPointable>& pointable, bool normalize, float clampRatio) const;
    LeapVector intersect(const LeapVector& position, const LeapVector& direction, bool normalize,
                         float clampRatio) const;
    LeapVector project(const LeapVector& position, bool normalize, float clampRatio) const;
    float distanceToPoint(const LeapVector& position) const;
    bool equals(const LeapScreen& other) const { return m_screen == other.m_screen; }

    QString description() const;
    const Leap::Screen& interfaceScreen() const { return m_screen; }

private:
    Leap::Screen m_screen;
};
