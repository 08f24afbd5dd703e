#include "platform/leap/FrameImpl.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace Leap {

const HandData* FrameImpl::findHand(std::int32_t id) const
{
    for (const HandData& hand : data.hands)
        if (hand.id == id)
            return &hand;
    return nullptr;
}

const PointableData* FrameImpl::findPointable(std::int32_t id) const
{
    for (const PointableData& pointable : data.pointables)
        if (pointable.id == id)
            return &pointable;
    return nullptr;
}

namespace {

// Orthonormal frame of the hand: y against the palm normal, z against the fingers' direction.
std::optional<Matrix> basis(const HandData& hand)
{
    const Vector z = (-hand.direction).normalized();
    const Vector x = (-hand.palmNormal).cross(z).normalized();
    if (z == Vector::zero() || x == Vector::zero())
        return std::nullopt;
    return Matrix(x, z.cross(x), z);
}

} // namespace

Matrix Motion::rotation(const HandData& from, const HandData& to)
{
    const std::optional<Matrix> a = basis(from);
    const std::optional<Matrix> b = basis(to);
    if (!a || !b)
        return Matrix::identity();
    return *b * a->rigidInverse();
}

Vector Motion::rotationAxis(const Matrix& r)
{
    return Vector(r.yBasis.z - r.zBasis.y, r.zBasis.x - r.xBasis.z, r.xBasis.y - r.yBasis.x).normalized();
}

float Motion::rotationAngle(const Matrix& r)
{
    const float trace = r.xBasis.x + r.yBasis.y + r.zBasis.z;
    return std::acos(std::clamp((trace - 1) / 2, -1.0f, 1.0f));
}

float Motion::scale(const HandData& from, const HandData& to)
{
    if (!(from.sphereRadius > 0) || !(to.sphereRadius > 0))
        return 1;
    return to.sphereRadius / from.sphereRadius;
}

} // namespace Leap
