#pragma once

#include <QByteArray>
#include <QString>
#include <QVariantList>

#include "gestures/LeapVector.h"
#include "platform/leap/Matrix.h"

// An immutable transform of the gesture controller's space: a 3 x 3 rotation and scale given by its three
// basis vectors, then a translation (origin). Computed by the wrapper itself.
class LeapMatrix {
public:
    // The identity.
    LeapMatrix() = default;
    LeapMatrix(const LeapVector& xBasis, const LeapVector& yBasis, const LeapVector& zBasis, const LeapVector& origin);
    explicit LeapMatrix(const Leap::Matrix& matrix);
    // Rotation about `axis` (normalised first; a zero axis gives zero bases), with a zero or given origin.
    LeapMatrix(const LeapVector& axis, float angleRadians);
    LeapMatrix(const LeapVector& axis, float angleRadians, const LeapVector& translation);

    static LeapMatrix identity() { return {}; }

    LeapVector xBasis() const { return m_xBasis; }
    LeapVector yBasis() const { return m_yBasis; }
    LeapVector zBasis() const { return m_zBasis; }
    LeapVector origin() const { return m_origin; }
    // Inverse of a rigid transform: the transposed 3 x 3 part, origin moved back through it.
    LeapMatrix rigidInverse() const;
    // Nine numbers: xBasis, yBasis, zBasis.
    QVariantList toNSArray3x3() const;
    // Sixteen numbers: each basis followed by 0, then the origin followed by 1.
    QVariantList toNSArray4x4() const;
    // 48 bytes: the nine values and three zeros, as native floats.
    QByteArray toFloatPointer3x3() const;
    // 64 bytes: the sixteen values of toNSArray4x4, as native floats.
    QByteArray toFloatPointer4x4() const;

    LeapVector transformPoint(const LeapVector& point) const;
    LeapVector transformDirection(const LeapVector& direction) const;
    // The composition that applies `other` first.
    LeapMatrix times(const LeapMatrix& other) const;
    // Compares the three bases exactly; the origin is not compared.
    bool equals(const LeapMatrix& other) const;

    QString description() const;

private:
    LeapVector m_xBasis = LeapVector::xAxis();
    LeapVector m_yBasis = LeapVector::yAxis();
    LeapVector m_zBasis = LeapVector::zAxis();
    LeapVector m_origin;
};
