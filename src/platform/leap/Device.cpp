#include "platform/leap/Device.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace Leap {

Device::Device(std::shared_ptr<const DeviceData> data)
    : m_data(std::move(data))
{
}

const Device& Device::invalid()
{
    static const Device device;
    return device;
}

float Device::horizontalViewAngle() const
{
    return m_data ? m_data->horizontalViewAngle : 0;
}
float Device::verticalViewAngle() const
{
    return m_data ? m_data->verticalViewAngle : 0;
}
float Device::range() const
{
    return m_data ? m_data->range : 0;
}

float Device::distanceToBoundary(const Vector& p) const
{
    if (!m_data || !p.isValid() || p.y <= 0)
        return 0;
    // Each side of the pyramid is a plane through the origin; the distance to it is |p·n| for its unit normal.
    const float h = m_data->horizontalViewAngle / 2;
    const float v = m_data->verticalViewAngle / 2;
    const Vector sideNormals[] = {{std::cos(h), std::sin(h), 0},
                                  {-std::cos(h), std::sin(h), 0},
                                  {0, std::sin(v), std::cos(v)},
                                  {0, std::sin(v), -std::cos(v)}};
    float nearest = m_data->range - p.magnitude();
    for (const Vector& n : sideNormals) {
        // Inside means on the positive side of every plane (normals point into the volume).
        nearest = std::min(nearest, p.dot(n));
    }
    return std::max(nearest, 0.0f);
}

std::string Device::toString() const
{
    if (!m_data)
        return "Invalid Device";
    char text[128];
    std::snprintf(text, sizeof text, "Device horizontalViewAngle:%g verticalViewAngle:%g range:%g",
                  double(m_data->horizontalViewAngle), double(m_data->verticalViewAngle), double(m_data->range));
    return text;
}

} // namespace Leap
