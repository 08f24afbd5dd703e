#pragma once

#include <string>

#include "platform/leap/Vector.h"

namespace Leap {

// A 3 x 3 rotation-and-scale (the three basis vectors, as columns) followed by a translation (origin).
struct Matrix {
    Vector xBasis = Vector::xAxis();
    Vector yBasis = Vector::yAxis();
    Vector zBasis = Vector::zAxis();
    Vector origin;

    constexpr Matrix() = default;
    constexpr Matrix(const Vector& x, const Vector& y, const Vector& z, const Vector& translation = {})
        : xBasis(x)
        , yBasis(y)
        , zBasis(z)
        , origin(translation)
    {
    }
    // Rotation by `angleRadians` about `axis` (right-handed); a zero axis gives zero bases.
    Matrix(const Vector& axis, float angleRadians);
    Matrix(const Vector& axis, float angleRadians, const Vector& translation);

    static constexpr Matrix identity() { return {}; }

    void setRotation(const Vector& axis, float angleRadians);
    Vector transformPoint(const Vector& point) const;
    Vector transformDirection(const Vector& direction) const;
    // Inverse of a matrix whose 3 x 3 part is a pure rotation.
    Matrix rigidInverse() const;
    // `*this * other` applies `other` first.
    Matrix operator*(const Matrix& other) const;
    Matrix& operator*=(const Matrix& other) { return *this = *this * other; }
    friend bool operator==(const Matrix&, const Matrix&) = default;

    std::string toString() const;
};

} // namespace Leap
