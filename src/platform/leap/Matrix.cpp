#include "platform/leap/Matrix.h"

#include <cmath>

namespace Leap {

Matrix::Matrix(const Vector& axis, float angleRadians)
{
    setRotation(axis, angleRadians);
}

Matrix::Matrix(const Vector& axis, float angleRadians, const Vector& translation)
{
    setRotation(axis, angleRadians);
    origin = translation;
}

void Matrix::setRotation(const Vector& axis, float angleRadians)
{
    // Rodrigues' formula, column by column: R = cos·I + sin·[u]× + (1 − cos)·u uᵀ.
    const Vector u = axis.normalized();
    const float s = std::sin(angleRadians);
    const float c = std::cos(angleRadians);
    const float C = 1 - c;
    if (u == Vector::zero()) {
        xBasis = yBasis = zBasis = Vector::zero();
        return;
    }
    xBasis = {u.x * u.x * C + c, u.y * u.x * C + u.z * s, u.z * u.x * C - u.y * s};
    yBasis = {u.x * u.y * C - u.z * s, u.y * u.y * C + c, u.z * u.y * C + u.x * s};
    zBasis = {u.x * u.z * C + u.y * s, u.y * u.z * C - u.x * s, u.z * u.z * C + c};
}

Vector Matrix::transformPoint(const Vector& p) const
{
    return transformDirection(p) + origin;
}

Vector Matrix::transformDirection(const Vector& d) const
{
    return xBasis * d.x + yBasis * d.y + zBasis * d.z;
}

Matrix Matrix::rigidInverse() const
{
    Matrix inverse(Vector(xBasis.x, yBasis.x, zBasis.x), Vector(xBasis.y, yBasis.y, zBasis.y),
                   Vector(xBasis.z, yBasis.z, zBasis.z));
    inverse.origin = -inverse.transformDirection(origin);
    return inverse;
}

Matrix Matrix::operator*(const Matrix& other) const
{
    return {transformDirection(other.xBasis), transformDirection(other.yBasis), transformDirection(other.zBasis),
            transformPoint(other.origin)};
}

std::string Matrix::toString() const
{
    return "xBasis:" + xBasis.toString() + " yBasis:" + yBasis.toString() + " zBasis:" + zBasis.toString() +
           " origin:" + origin.toString();
}

} // namespace Leap
