#include "platform/leap/Screen.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "platform/leap/Pointable.h"

namespace Leap {

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
const Vector kNoHit{kNaN, kNaN, kNaN};

} // namespace

Screen::Screen(std::shared_ptr<const ScreenData> data)
    : m_data(std::move(data))
{
}

const Screen& Screen::invalid()
{
    static const Screen screen;
    return screen;
}

std::int32_t Screen::id() const
{
    return m_data ? m_data->id : 0;
}
Vector Screen::horizontalAxis() const
{
    return m_data ? m_data->horizontalAxis : Vector();
}
Vector Screen::verticalAxis() const
{
    return m_data ? m_data->verticalAxis : Vector();
}
Vector Screen::bottomLeftCorner() const
{
    return m_data ? m_data->bottomLeftCorner : Vector();
}
Vector Screen::normal() const
{
    return horizontalAxis().cross(verticalAxis()).normalized();
}
int Screen::widthPixels() const
{
    return m_data ? m_data->widthPixels : 0;
}
int Screen::heightPixels() const
{
    return m_data ? m_data->heightPixels : 0;
}

Vector Screen::intersect(const Pointable& pointable, bool normalize, float clampRatio) const
{
    return intersect(pointable.tipPosition(), pointable.direction(), normalize, clampRatio);
}

Vector Screen::intersect(const Vector& position, const Vector& direction, bool normalize, float clampRatio) const
{
    if (!m_data)
        return kNoHit;
    const Vector n = normal();
    const float approach = direction.dot(n);
    if (approach == 0 || !std::isfinite(approach))
        return kNoHit;
    const float t = (bottomLeftCorner() - position).dot(n) / approach;
    if (t < 0)
        return kNoHit;
    return project(position + direction * t, normalize, clampRatio);
}

Vector Screen::project(const Vector& position, bool normalize, float clampRatio) const
{
    if (!m_data)
        return kNoHit;
    const Vector h = horizontalAxis();
    const Vector v = verticalAxis();
    const Vector offset = position - bottomLeftCorner();
    const float hh = h.magnitudeSquared();
    const float vv = v.magnitudeSquared();
    if (!(hh > 0) || !(vv > 0))
        return kNoHit;
    return pointAt(offset.dot(h) / hh, offset.dot(v) / vv, normalize, clampRatio);
}

Vector Screen::pointAt(float u, float v, bool normalize, float clampRatio) const
{
    const float low = 0.5f - clampRatio / 2;
    const float high = 0.5f + clampRatio / 2;
    if (low <= high) {
        u = std::clamp(u, low, high);
        v = std::clamp(v, low, high);
    }
    if (normalize)
        return {u, v, 0};
    return bottomLeftCorner() + horizontalAxis() * u + verticalAxis() * v;
}

float Screen::distanceToPoint(const Vector& position) const
{
    if (!m_data)
        return kNaN;
    return std::fabs((position - bottomLeftCorner()).dot(normal()));
}

std::string Screen::toString() const
{
    if (!m_data)
        return "Invalid Screen";
    char text[96];
    std::snprintf(text, sizeof text, "Screen Id:%d %dx%d", m_data->id, m_data->widthPixels, m_data->heightPixels);
    return text;
}

} // namespace Leap
