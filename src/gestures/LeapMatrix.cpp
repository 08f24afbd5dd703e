#include "gestures/LeapMatrix.h"

LeapMatrix::LeapMatrix(const LeapVector& xBasis, const LeapVector& yBasis, const LeapVector& zBasis,
                       const LeapVector& origin)
    : m_xBasis(xBasis)
    , m_yBasis(yBasis)
    , m_zBasis(zBasis)
    , m_origin(origin)
{
}

LeapMatrix::LeapMatrix(const Leap::Matrix& m)
    : LeapMatrix(LeapVector(m.xBasis), LeapVector(m.yBasis), LeapVector(m.zBasis), LeapVector(m.origin))
{
}

LeapMatrix::LeapMatrix(const LeapVector& axis, float angleRadians)
    : LeapMatrix(Leap::Matrix(axis.toLeapVector(), angleRadians))
{
}

LeapMatrix::LeapMatrix(const LeapVector& axis, float angleRadians, const LeapVector& translation)
    : LeapMatrix(Leap::Matrix(axis.toLeapVector(), angleRadians, translation.toLeapVector()))
{
}

LeapMatrix LeapMatrix::rigidInverse() const
{
    const LeapVector x(m_xBasis.x(), m_yBasis.x(), m_zBasis.x());
    const LeapVector y(m_xBasis.y(), m_yBasis.y(), m_zBasis.y());
    const LeapVector z(m_xBasis.z(), m_yBasis.z(), m_zBasis.z());
    const LeapMatrix transposed(x, y, z, LeapVector::zero());
    return LeapMatrix(x, y, z, transposed.transformDirection(m_origin).negate());
}

QVariantList LeapMatrix::toNSArray3x3() const
{
    QVariantList values;
    for (const LeapVector& basis : {m_xBasis, m_yBasis, m_zBasis})
        values << basis.x() << basis.y() << basis.z();
    return values;
}

QVariantList LeapMatrix::toNSArray4x4() const
{
    QVariantList values;
    for (const LeapVector& basis : {m_xBasis, m_yBasis, m_zBasis})
        values << basis.x() << basis.y() << basis.z() << 0.0f;
    values << m_origin.x() << m_origin.y() << m_origin.z() << 1.0f;
    return values;
}

QByteArray LeapMatrix::toFloatPointer3x3() const
{
    float values[12] = {};
    int i = 0;
    for (const LeapVector& basis : {m_xBasis, m_yBasis, m_zBasis}) {
        values[i++] = basis.x();
        values[i++] = basis.y();
        values[i++] = basis.z();
    }
    return QByteArray(reinterpret_cast<const char*>(values), sizeof values);
}

QByteArray LeapMatrix::toFloatPointer4x4() const
{
    float values[16];
    const QVariantList all = toNSArray4x4();
    for (int i = 0; i < 16; ++i)
        values[i] = all[i].toFloat();
    return QByteArray(reinterpret_cast<const char*>(values), sizeof values);
}

LeapVector LeapMatrix::transformPoint(const LeapVector& p) const
{
    return transformDirection(p).plus(m_origin);
}

LeapVector LeapMatrix::transformDirection(const LeapVector& d) const
{
    return m_xBasis.times(d.x()).plus(m_yBasis.times(d.y())).plus(m_zBasis.times(d.z()));
}

LeapMatrix LeapMatrix::times(const LeapMatrix& other) const
{
    return LeapMatrix(transformDirection(other.m_xBasis), transformDirection(other.m_yBasis),
                      transformDirection(other.m_zBasis), transformPoint(other.m_origin));
}

bool LeapMatrix::equals(const LeapMatrix& other) const
{
    return m_xBasis.equals(other.m_xBasis) && m_yBasis.equals(other.m_yBasis) && m_zBasis.equals(other.m_zBasis);
}

QString LeapMatrix::description() const
{
    return QStringLiteral("xBasis:%1 yBasis:%2 zBasis:%3 origin:%4")
        .arg(m_xBasis.description(), m_yBasis.description(), m_zBasis.description(), m_origin.description());
}
