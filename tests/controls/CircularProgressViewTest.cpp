#include <gtest/gtest.h>

#include <cmath>

#include <QImage>
#include <QPainter>

#include "controls/QVOCircularProgressView.h"

namespace {

QImage render(QVOCircularProgressView& view)
{
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    view.render(&image);
    return image;
}

int channelDistance(QColor a, QColor b)
{
    return std::max({std::abs(a.red() - b.red()), std::abs(a.green() - b.green()), std::abs(a.blue() - b.blue())});
}

// The pixel whose centre lies nearest the ring's centre line at `degrees` (counter-clockwise from 3 o'clock, as on
// screen).
QColor ringPixel(const QImage& image, double radius, double degrees)
{
    const double radians = degrees * M_PI / 180.0;
    const QPointF centre(image.width() / 2.0, image.height() / 2.0);
    const QPointF onLine(centre.x() + radius * std::cos(radians), centre.y() - radius * std::sin(radians));
    QPoint best;
    double bestError = 1e9;
    for (int dx = -1; dx <= 1; ++dx) {
        for (int dy = -1; dy <= 1; ++dy) {
            const QPoint pixel(int(std::floor(onLine.x())) + dx, int(std::floor(onLine.y())) + dy);
            const QPointF pixelCentre(pixel.x() + 0.5, pixel.y() + 0.5);
            const double error =
                std::abs(std::hypot(pixelCentre.x() - centre.x(), pixelCentre.y() - centre.y()) - radius) +
                std::hypot(pixelCentre.x() - onLine.x(), pixelCentre.y() - onLine.y()) * 0.1;
            if (error < bestError) {
                bestError = error;
                best = pixel;
            }
        }
    }
    return image.pixelColor(best);
}

} // namespace

TEST(CircularProgressView, InitDefaults)
{
    QVOCircularProgressView view;
    EXPECT_EQ(view.size(), QSize(0, 0));
    EXPECT_DOUBLE_EQ(view.progress(), 0.0);
    EXPECT_DOUBLE_EQ(view.trackWidth(), 2.0);
    EXPECT_EQ(view.tintColor(), QColor(40, 120, 183));
    EXPECT_DOUBLE_EQ(view.tintColor().alphaF(), 1.0);
    EXPECT_DOUBLE_EQ(view.startAngle(), 90.0);
    EXPECT_DOUBLE_EQ(view.endAngle(), 90.0 - 360.0);
}

TEST(CircularProgressView, QuarterProgressTintsTheUpperRightArcAndLeavesTheRestWhite)
{
    QVOCircularProgressView view;
    view.resize(100, 100);
    view.setProgress(0.25);
    const QImage image = render(view);
    const double radius = 50.0 - view.trackWidth();

    EXPECT_LE(channelDistance(ringPixel(image, radius, 45.0), view.tintColor()), 24);
    EXPECT_LE(channelDistance(ringPixel(image, radius, 270.0), Qt::white), 24); // bottom: track only
    EXPECT_LE(channelDistance(ringPixel(image, radius, 135.0), Qt::white), 24); // upper left: not reached yet
    // Inside and outside the ring nothing is drawn.
    EXPECT_EQ(image.pixelColor(50, 50).alpha(), 0);
    EXPECT_EQ(image.pixelColor(1, 1).alpha(), 0);
}

TEST(CircularProgressView, ProgressIsKeptWithinOneTurn)
{
    QVOCircularProgressView view;
    view.resize(100, 100);
    view.setProgress(1.7);
    EXPECT_DOUBLE_EQ(view.progress(), 1.0);
    view.setProgress(-0.5);
    EXPECT_DOUBLE_EQ(view.progress(), 0.0);
    const QImage image = render(view);
    EXPECT_LE(channelDistance(ringPixel(image, 48.0, 45.0), Qt::white), 24);
}
