#pragma once

#include <string>

namespace Leap {

// A point or direction in the controller's frame of reference: millimetres, origin at the centre of the
// device's top, x to the user's right, y up, z towards the user. Plain value, single precision.
struct Vector {
    float x = 0;
    float y = 0;
    float z = 0;

    constexpr Vector() = default;
    constexpr Vector(float xValue, float yValue, float zValue)
        : x(xValue)
        , y(yValue)
        , z(zValue)
    {
    }

    float magnitude() const;
    float magnitudeSquared() const { return x * x + y * y + z * z; }
    float distanceTo(const Vector& other) const;
    // Radians in [0, pi]; 0 when either vector has no length.
    float angleTo(const Vector& other) const;
    float pitch() const;
    float yaw() const;
    float roll() const;
    float dot(const Vector& other) const { return x * other.x + y * other.y + z * other.z; }
    Vector cross(const Vector& other) const;
    // The unit vector in the same direction; the zero vector stays zero.
    Vector normalized() const;
    // False when a component is NaN or infinite (the library's "no result", e.g. a ray that misses a screen).
    bool isValid() const;

    Vector operator-() const { return {-x, -y, -z}; }
    Vector operator+(const Vector& o) const { return {x + o.x, y + o.y, z + o.z}; }
    Vector operator-(const Vector& o) const { return {x - o.x, y - o.y, z - o.z}; }
    Vector operator*(float s) const { return {x * s, y * s, z * s}; }
    Vector operator/(float s) const { return {x / s, y / s, z / s}; }
    Vector& operator+=(const Vector& o) { return *this = *this + o; }
    Vector& operator-=(const Vector& o) { return *this = *this - o; }
    Vector& operator*=(float s) { return *this = *this * s; }
    Vector& operator/=(float s) { return *this = *this / s; }
    friend bool operator==(const Vector&, const Vector&) = default;

    std::string toString() const;

    static constexpr Vector zero() { return {0, 0, 0}; }
    static constexpr Vector xAxis() { return {1, 0, 0}; }
    static constexpr Vector yAxis() { return {0, 1, 0}; }
    static constexpr Vector zAxis() { return {0, 0, 1}; }
    static constexpr Vector left() { return {-1, 0, 0}; }
    static constexpr Vector right() { return {1, 0, 0}; }
    static constexpr Vector down() { return {0, -1, 0}; }
    static constexpr Vector up() { return {0, 1, 0}; }
    static constexpr Vector forward() { return {0, 0, -1}; }
    static constexpr Vector backward() { return {0, 0, 1}; }
};

inline Vector operator*(float s, const Vector& v)
{
    return v * s;
}

} // namespace Leap
