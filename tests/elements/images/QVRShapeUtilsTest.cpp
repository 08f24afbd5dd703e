#include <numbers>

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include "elements/images/QVRShapeUtils.h"
#include "support/QtPrinters.h"

namespace {

void expectNear(const QList<QPointF>& actual, const QList<QPointF>& expected)
{
    ASSERT_EQ(actual.size(), expected.size());
    for (qsizetype i = 0; i < actual.size(); ++i) {
        EXPECT_NEAR(actual[i].x(), expected[i].x(), 1e-12) << i;
        EXPECT_NEAR(actual[i].y(), expected[i].y(), 1e-12) << i;
    }
}

QImage canvas()
{
    QImage image(100, 100, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

} // namespace

TEST(QVRShapeUtils, FlipAndTurnKeepOrderAndTheArrowIsSymmetric)
{
    const auto arrow = QVRShapeUtils::relativePathForStandardArrow();
    const auto flipped = QVRShapeUtils::yInvertRelativePaths(arrow);
    ASSERT_EQ(flipped.size(), 7);
    EXPECT_EQ(flipped[3], QPointF(1, 0.5));
    // Same outline: every flipped point is a point of the original list.
    for (const QPointF& point : flipped)
        EXPECT_TRUE(std::any_of(arrow.begin(), arrow.end(), [&](const QPointF& p) {
            return std::abs(p.x() - point.x()) < 1e-12 && std::abs(p.y() - point.y()) < 1e-12;
        }));

    const auto octagon = QVRShapeUtils::relativePathForOctagon();
    expectNear(QVRShapeUtils::rotatedRelativePaths(octagon, 2 * std::numbers::pi), octagon);
    const QPointF turned = QVRShapeUtils::rotatePoint({1, 0.5}, {0.5, 0.5}, -std::numbers::pi / 2);
    EXPECT_NEAR(turned.x(), 0.5, 1e-12);
    EXPECT_NEAR(turned.y(), 0.0, 1e-12);
    // Octagon sides are all √2 − 1 long.
    for (qsizetype i = 0; i < octagon.size(); ++i) {
        const QPointF d = octagon[(i + 1) % octagon.size()] - octagon[i];
        EXPECT_NEAR(std::hypot(d.x(), d.y()), std::numbers::sqrt2 - 1, 1e-12);
    }
}

TEST(QVRShapeUtils, FillsTheMappedPolygonAndNothingForDegenerateInput)
{
    QImage image = canvas();
    {
        QPainter painter(&image);
        painter.setBrush(Qt::red);
        QVRShapeUtils::fillRelativePaths(QVRShapeUtils::relativePathForRightTriangle(), &painter,
                                         QRectF(0, 0, 100, 100));
    }
    // Right angle at the bottom left (y down), hypotenuse from top left to bottom right.
    EXPECT_EQ(image.pixelColor(5, 95), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(95, 5).alpha(), 0);

    for (const QList<QPointF>& path : {QList<QPointF>(), QList<QPointF>{{0.5, 0.5}}}) {
        QImage blank = canvas();
        QPainter painter(&blank);
        painter.setBrush(Qt::red);
        QVRShapeUtils::fillRelativePaths(path, &painter, QRectF(0, 0, 100, 100));
        QVRShapeUtils::fillRelativePaths(QVRShapeUtils::relativePathForOctagon(), &painter, QRectF(10, 10, 0, 80));
        painter.end();
        EXPECT_EQ(blank, canvas());
    }

    const QPainterPath path = QVRShapeUtils::setupRelativePaths({{0, 0}, {1, 1}}, QRectF(0.5, 0.25, 10, 10));
    EXPECT_EQ(path.elementAt(1), QPointF(10.5, 10.25)) << "mapped points are not rounded";
    EXPECT_EQ(path.elementCount(), 3) << "closed by a line back to the first point";
}
