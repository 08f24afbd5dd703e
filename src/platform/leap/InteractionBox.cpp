#include "platform/leap/InteractionBox.h"

#include <algorithm>
#include <cstdio>

namespace Leap {

namespace {

float normalize(float value, float center, float size, bool clamp)
{
    if (!(size > 0))
        return 0.5f;
    const float n = (value - center) / size + 0.5f;
    return clamp ? std::clamp(n, 0.0f, 1.0f) : n;
}

} // namespace

InteractionBox::InteractionBox(std::shared_ptr<const InteractionBoxData> data)
    : m_data(std::move(data))
{
}

const InteractionBox& InteractionBox::invalid()
{
    static const InteractionBox box;
    return box;
}

Vector InteractionBox::center() const
{
    return m_data ? m_data->center : Vector();
}
float InteractionBox::width() const
{
    return m_data ? m_data->width : 0;
}
float InteractionBox::height() const
{
    return m_data ? m_data->height : 0;
}
float InteractionBox::depth() const
{
    return m_data ? m_data->depth : 0;
}

Vector InteractionBox::normalizePoint(const Vector& p, bool clamp) const
{
    const Vector c = center();
    return {normalize(p.x, c.x, width(), clamp), normalize(p.y, c.y, height(), clamp),
            normalize(p.z, c.z, depth(), clamp)};
}

Vector InteractionBox::denormalizePoint(const Vector& n) const
{
    const Vector c = center();
    return {c.x + (n.x - 0.5f) * width(), c.y + (n.y - 0.5f) * height(), c.z + (n.z - 0.5f) * depth()};
}

std::string InteractionBox::toString() const
{
    if (!m_data)
        return "Invalid InteractionBox";
    char text[160];
    std::snprintf(text, sizeof text, "InteractionBox center:%s width:%g height:%g depth:%g",
                  m_data->center.toString().c_str(), double(m_data->width), double(m_data->height),
                  double(m_data->depth));
    return text;
}

} // namespace Leap
