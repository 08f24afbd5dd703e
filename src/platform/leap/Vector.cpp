#include "platform/leap/Vector.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace Leap {

float Vector::magnitude() const
{
    return std::sqrt(magnitudeSquared());
}

float Vector::distanceTo(const Vector& other) const
{
    return (*this - other).magnitude();
}

float Vector::angleTo(const Vector& other) const
{
    const float denominator = magnitudeSquared() * other.magnitudeSquared();
    if (denominator <= 0)
        return 0;
    // Rounding can push the cosine of (anti)parallel vectors just past 1.
    const float cosine = std::clamp(dot(other) / std::sqrt(denominator), -1.0f, 1.0f);
    return std::acos(cosine);
}

float Vector::pitch() const
{
    return std::atan2(y, -z);
}
float Vector::yaw() const
{
    return std::atan2(x, -z);
}
float Vector::roll() const
{
    return std::atan2(x, -y);
}

Vector Vector::cross(const Vector& o) const
{
    return {y * o.z - z * o.y, z * o.x - x * o.z, x * o.y - y * o.x};
}

Vector Vector::normalized() const
{
    const float squared = magnitudeSquared();
    if (squared <= 0)
        return zero();
    return *this * (1.0f / std::sqrt(squared));
}

bool Vector::isValid() const
{
    return std::isfinite(x) && std::isfinite(y) && std::isfinite(z);
}

std::string Vector::toString() const
{
    char text[96];
    std::snprintf(text, sizeof text, "(%f, %f, %f)", double(x), double(y), double(z));
    return text;
}

} // namespace Leap
