#pragma once

#include <ostream>

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QVariant>

// Readable gtest failure messages for the Qt types the suites compare.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QByteArray& b, std::ostream* os)
{
    *os << '"' << b.toStdString() << '"';
}
inline void PrintTo(const QPointF& p, std::ostream* os)
{
    *os << "QPointF(" << p.x() << ", " << p.y() << ')';
}
inline void PrintTo(const QSizeF& s, std::ostream* os)
{
    *os << "QSizeF(" << s.width() << ", " << s.height() << ')';
}
inline void PrintTo(const QRectF& r, std::ostream* os)
{
    *os << "QRectF(" << r.x() << ", " << r.y() << ", " << r.width() << ", " << r.height() << ')';
}
inline void PrintTo(const QJsonObject& o, std::ostream* os)
{
    *os << QJsonDocument(o).toJson(QJsonDocument::Compact).toStdString();
}
inline void PrintTo(const QVariant& v, std::ostream* os)
{
    *os << v.toString().toStdString();
}
QT_END_NAMESPACE
