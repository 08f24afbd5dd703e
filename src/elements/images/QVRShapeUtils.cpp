#include "elements/images/QVRShapeUtils.h"

#include <cmath>

#include <QPainter>

namespace {
constexpr double kOctagonInset = 0.2928932188134524;  // 1 − √2⁄2
constexpr double kOctagonOutset = 0.7071067811865476; // √2⁄2
constexpr double kFiveEighteenths = 0.2777777777777778;
constexpr double kTwoThirds = 0.6666666666666666;
constexpr double kThirteenEighteenths = 0.7222222222222222;
} // namespace

QList<QPointF> QVRShapeUtils::relativePathForRightTriangle()
{
    return {{0, 1}, {0, 0}, {1, 1}};
}

QList<QPointF> QVRShapeUtils::relativePathForIsoscelesTriangle()
{
    return {{0, 1}, {0.5, 0}, {1, 1}};
}

QList<QPointF> QVRShapeUtils::relativePathForOctagon()
{
    return {{kOctagonInset, 0},  {kOctagonOutset, 0}, {1, kOctagonInset},  {1, kOctagonOutset},
            {kOctagonOutset, 1}, {kOctagonInset, 1},  {0, kOctagonOutset}, {0, kOctagonInset}};
}

QList<QPointF> QVRShapeUtils::relativePathForStandardArrow()
{
    return {{0, kFiveEighteenths}, {kTwoThirds, kFiveEighteenths},     {kTwoThirds, 0},          {1, 0.5},
            {kTwoThirds, 1},       {kTwoThirds, kThirteenEighteenths}, {0, kThirteenEighteenths}};
}

QList<QPointF> QVRShapeUtils::relativePathFor45DegreeArrow()
{
    return {{1, 1}, {1, 0.6}, {0.85, 0.75}, {0.1, 0}, {0, 0.1}, {0.75, 0.85}, {0.6, 1}};
}

QList<QPointF> QVRShapeUtils::yInvertRelativePaths(const QList<QPointF>& path)
{
    QList<QPointF> inverted;
    inverted.reserve(path.size());
    for (const QPointF& point : path)
        inverted.append(QPointF(point.x(), 1 - point.y()));
    return inverted;
}

QList<QPointF> QVRShapeUtils::rotatedRelativePaths(const QList<QPointF>& path, double theta)
{
    QList<QPointF> rotated;
    rotated.reserve(path.size());
    for (const QPointF& point : path)
        rotated.append(rotatePoint(point, QPointF(0.5, 0.5), theta));
    return rotated;
}

QPointF QVRShapeUtils::rotatePoint(const QPointF& point, const QPointF& center, double theta)
{
    const double sine = std::sin(theta);
    const double cosine = std::cos(theta);
    const double dx = point.x() - center.x();
    const double dy = point.y() - center.y();
    return QPointF(dx * cosine - dy * sine + center.x(), dx * sine + dy * cosine + center.y());
}

QPainterPath QVRShapeUtils::setupRelativePaths(const QList<QPointF>& path, const QRectF& frame)
{
    QPainterPath painterPath;
    painterPath.setFillRule(Qt::WindingFill);
    if (path.isEmpty())
        return painterPath;
    auto map = [&frame](const QPointF& p) {
        return QPointF(frame.x() + p.x() * frame.width(), frame.y() + p.y() * frame.height());
    };
    painterPath.moveTo(map(path.first()));
    for (qsizetype i = 1; i < path.size(); ++i)
        painterPath.lineTo(map(path[i]));
    painterPath.lineTo(map(path.first()));
    return painterPath;
}

void QVRShapeUtils::fillRelativePaths(const QList<QPointF>& path, QPainter* painter, const QRectF& frame)
{
    if (!painter || path.isEmpty())
        return;
    painter->fillPath(setupRelativePaths(path, frame), painter->brush());
}

void QVRShapeUtils::strokeRelativePaths(const QList<QPointF>& path, QPainter* painter, const QRectF& frame)
{
    if (!painter || path.isEmpty())
        return;
    painter->strokePath(setupRelativePaths(path, frame), painter->pen());
}
