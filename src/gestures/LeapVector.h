#pragma once

#include <QByteArray>
#include <QString>
#include <QVariantList>

#include "platform/leap/Vector.h"

// An immutable 3-vector of the gesture controller's space (millimetres, y up, z towards the user), computed in
// single precision by the wrapper itself.
class LeapVector {
public:
    LeapVector() = default;
    LeapVector(float x, float y, float z);
    explicit LeapVector(const Leap::Vector& vector);

    float x() const { return m_x; }
    float y() const { return m_y; }
    float z() const { return m_z; }
    float magnitude() const;
    float magnitudeSquared() const;
    float pitch() const;
    float roll() const;
    float yaw() const;
    // The zero vector stays zero.
    LeapVector normalized() const;
    // Three numbers: x, y, z.
    QVariantList toNSArray() const;
    // 16 bytes: x, y, z and 0 as native floats.
    QByteArray toFloatPointer() const;

    float distanceTo(const LeapVector& other) const;
    // 0 when either vector has no length.
    float angleTo(const LeapVector& other) const;
    LeapVector plus(const LeapVector& other) const;
    LeapVector minus(const LeapVector& other) const;
    LeapVector negate() const;
    LeapVector times(float scalar) const;
    LeapVector divide(float scalar) const;
    // Exact equality of all three components.
    bool equals(const LeapVector& other) const;
    float dot(const LeapVector& other) const;
    LeapVector cross(const LeapVector& other) const;

    static LeapVector zero() { return {0, 0, 0}; }
    static LeapVector xAxis() { return {1, 0, 0}; }
    static LeapVector yAxis() { return {0, 1, 0}; }
    static LeapVector zAxis() { return {0, 0, 1}; }
    static LeapVector left() { return {-1, 0, 0}; }
    static LeapVector right() { return {1, 0, 0}; }
    static LeapVector down() { return {0, -1, 0}; }
    static LeapVector up() { return {0, 1, 0}; }
    static LeapVector forward() { return {0, 0, -1}; }
    static LeapVector backward() { return {0, 0, 1}; }

    // "(x, y, z)" with six decimals.
    QString description() const;
    Leap::Vector toLeapVector() const { return {m_x, m_y, m_z}; }

    friend bool operator==(const LeapVector& a, const LeapVector& b) { return a.equals(b); }

private:
    float m_x = 0;
    float m_y = 0;
    float m_z = 0;
};
