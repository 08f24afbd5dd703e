#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/leap/Vector.h"

namespace Leap {

class Pointable;

struct ScreenData {
    std::int32_t id = 0;
    Vector bottomLeftCorner{-265, 60, -200};
    Vector horizontalAxis{530, 0, 0}; // bottom edge, left to right: its length is the screen's width
    Vector verticalAxis{0, 300, 0};   // left edge, bottom to top
    int widthPixels = 1920;
    int heightPixels = 1080;
};

// A display whose position relative to the device is known. A point on the screen is
// bottomLeftCorner + u * horizontalAxis + v * verticalAxis with (u, v) in [0, 1] over the visible area.
// A handle: copies share one screen; the invalid screen has no area.
class Screen {
public:
    Screen() = default;
    explicit Screen(std::shared_ptr<const ScreenData> data);

    static const Screen& invalid();
    bool isValid() const { return m_data != nullptr; }

    std::int32_t id() const;
    Vector horizontalAxis() const;
    Vector verticalAxis() const;
    Vector bottomLeftCorner() const;
    // Unit normal pointing out of the screen, towards the viewer.
    Vector normal() const;
    int widthPixels() const;
    int heightPixels() const;

    // Where the ray from `position` along `direction` meets the screen's plane, with (u, v) clamped to
    // [0.5 − clampRatio / 2, 0.5 + clampRatio / 2]. Normalised: (u, v, 0); else the point in millimetres.
    // A ray parallel to the screen or pointing away from it gives a vector of NaN components.
    Vector intersect(const Pointable& pointable, bool normalize, float clampRatio = 1.0f) const;
    Vector intersect(const Vector& position, const Vector& direction, bool normalize, float clampRatio = 1.0f) const;
    // The perpendicular projection of `position` onto the screen, clamped and expressed as by intersect().
    Vector project(const Vector& position, bool normalize, float clampRatio = 1.0f) const;
    float distanceToPoint(const Vector& position) const;

    friend bool operator==(const Screen& a, const Screen& b) { return a.m_data == b.m_data; }
    std::string toString() const;

private:
    Vector pointAt(float u, float v, bool normalize, float clampRatio) const;

    std::shared_ptr<const ScreenData> m_data;
};

} // namespace Leap
