#include "gestures/LeapVector.h"

#include <cmath>

LeapVector::LeapVector(float x, float y, float z)
    : m_x(x)
    , m_y(y)
    , m_z(z)
{
}

LeapVector::LeapVector(const Leap::Vector& vector)
    : LeapVector(vector.x, vector.y, vector.z)
{
}

float LeapVector::magnitude() const
{
    return std::sqrt(magnitudeSquared());
}
float LeapVector::magnitudeSquared() const
{
    return m_x * m_x + m_y * m_y + m_z * m_z;
}
float LeapVector::pitch() const
{
    return std::atan2(m_y, -m_z);
}
float LeapVector::roll() const
{
    return std::atan2(m_x, -m_y);
}
float LeapVector::yaw() const
{
    return std::atan2(m_x, -m_z);
}

LeapVector LeapVector::normalized() const
{
    const float squared = magnitudeSquared();
    if (squared <= 0)
        return zero();
    return times(1.0f / std::sqrt(squared));
}

QVariantList LeapVector::toNSArray() const
{
    return {m_x, m_y, m_z};
}

QByteArray LeapVector::toFloatPointer() const
{
    const float values[4] = {m_x, m_y, m_z, 0};
    return QByteArray(reinterpret_cast<const char*>(values), sizeof values);
}

float LeapVector::distanceTo(const LeapVector& other) const
{
    return minus(other).magnitude();
}

float LeapVector::angleTo(const LeapVector& other) const
{
    const float denominator = magnitudeSquared() * other.magnitudeSquared();
    if (denominator <= 0)
        return 0;
    // Rounding can push the cosine of (anti)parallel vectors just past 1, where acos has no value.
    const float cosine = dot(other) / std::sqrt(denominator);
    return std::acos(std::fmax(-1.0f, std::fmin(1.0f, cosine)));
}

LeapVector LeapVector::plus(const LeapVector& o) const
{
    return {m_x + o.m_x, m_y + o.m_y, m_z + o.m_z};
}
LeapVector LeapVector::minus(const LeapVector& o) const
{
    return {m_x - o.m_x, m_y - o.m_y, m_z - o.m_z};
}
LeapVector LeapVector::negate() const
{
    return {-m_x, -m_y, -m_z};
}
LeapVector LeapVector::times(float s) const
{
    return {m_x * s, m_y * s, m_z * s};
}
LeapVector LeapVector::divide(float s) const
{
    return {m_x / s, m_y / s, m_z / s};
}
bool LeapVector::equals(const LeapVector& o) const
{
    return m_x == o.m_x && m_y == o.m_y && m_z == o.m_z;
}
float LeapVector::dot(const LeapVector& o) const
{
    return m_x * o.m_x + m_y * o.m_y + m_z * o.m_z;
}

LeapVector LeapVector::cross(const LeapVector& o) const
{
    return {m_y * o.m_z - m_z * o.m_y, m_z * o.m_x - m_x * o.m_z, m_x * o.m_y - m_y * o.m_x};
}

QString LeapVector::description() const
{
    return QString::asprintf("(%f, %f, %f)", double(m_x), double(m_y), double(m_z));
}
