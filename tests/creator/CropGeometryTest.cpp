#include <cmath>

#include <gtest/gtest.h>

#include "creator/crop/CropGeometry.h"

namespace G = CropGeometry;

// An element at (100, 100, 200, 100) showing an 800 × 400 picture at zoom 0.5 shifted by (10, 20): the crop view
// lies at (-30, -40, 640, 440), the crop rectangle at (130, 140, 200, 100) inside it.
namespace {
const QRectF kView(-30, -40, 640, 440);
const QRectF kCrop(130, 140, 200, 100);
} // namespace

TEST(CropGeometry, LaysTheViewOutAroundTheElementAndReadsTheOffsetBack)
{
    EXPECT_EQ(G::cropViewFrame(QRectF(100, 100, 200, 100), QSizeF(800, 400), 0.5, QSizeF(10, 20)), kView);
    EXPECT_EQ(G::zoomOffset(kCrop), QSizeF(10, 20));
    EXPECT_EQ(G::imageRect(kView.size()), QRectF(120, 120, 400, 200));
    // Larger than its zoomed picture: shrunk, top-left kept; a smaller one and an unknown picture stay.
    EXPECT_EQ(G::shrunkFrame(QRectF(100, 100, 500, 300), QSizeF(800, 400), 0.5), QRectF(100, 100, 400, 200));
    EXPECT_EQ(G::shrunkFrame(QRectF(100, 100, 200, 100), QSizeF(800, 400), 0.5), QRectF(100, 100, 200, 100));
    EXPECT_EQ(G::shrunkFrame(QRectF(1, 2, 30, 40), QSizeF(), 0.5), QRectF(1, 2, 30, 40));
}

TEST(CropGeometry, MovingStopsFlushWithThePictureOnEverySide)
{
    const QSizeF size = kView.size();
    EXPECT_EQ(G::movedCropRect(kCrop, QPointF(500, 0), size), QRectF(320, 140, 200, 100));
    EXPECT_EQ(G::movedCropRect(kCrop, QPointF(-500, 0), size), QRectF(120, 140, 200, 100));
    EXPECT_EQ(G::movedCropRect(kCrop, QPointF(0, 500), size), QRectF(130, 220, 200, 100));
    EXPECT_EQ(G::movedCropRect(kCrop, QPointF(5, -500), size), QRectF(135, 120, 200, 100));
}

TEST(CropGeometry, ResizingKeepsFortyPointSidesWithTheOppositeEdgeStillAndStaysOnThePicture)
{
    const QSizeF size = kView.size();
    // Past the opposite corner: 40 × 40 against the bottom-right corner.
    EXPECT_EQ(G::resizedCropRect(kCrop, 0, QPointF(300, 300), size), QRectF(290, 200, 40, 40));
    EXPECT_EQ(G::resizedCropRect(kCrop, 2, QPointF(-300, -300), size), QRectF(130, 140, 40, 40));
    // Sides move one edge only.
    EXPECT_EQ(G::resizedCropRect(kCrop, 5, QPointF(50, 70), size), QRectF(130, 140, 250, 100));
    EXPECT_EQ(G::resizedCropRect(kCrop, 6, QPointF(50, -10), size), QRectF(130, 130, 200, 110));
    // Clipped to the picture (120 … 520 × 120 … 320).
    EXPECT_EQ(G::resizedCropRect(kCrop, 3, QPointF(-100, 500), size), QRectF(120, 140, 210, 180));
    EXPECT_EQ(G::resizedCropRect(kCrop, 1, QPointF(1000, -1000), size), QRectF(130, 120, 390, 120));
}

TEST(CropGeometry, ZoomingKeepsTheAspectTheAnchorAndTheCropRectangleOnThePicture)
{
    // Bottom-right corner out by (200, 100): the picture grows about its top-left corner.
    const QRectF grown = G::zoomedViewFrame(kView, kCrop, 2, QPointF(200, 100));
    EXPECT_EQ(grown, QRectF(-30, -40, 840, 540));
    EXPECT_DOUBLE_EQ(G::zoomScaleAfterZoom(kView, grown, 0.5), 0.75);
    // Off the diagonal: the farther axis wins.
    EXPECT_EQ(G::zoomedViewFrame(kView, kCrop, 2, QPointF(200, 0)), QRectF(-30, -40, 840, 540));

    // Shrunk too far: it stops where the crop rectangle's bottom edge meets the picture's.
    const QRectF shrunk = G::zoomedViewFrame(kView, kCrop, 2, QPointF(-350, -175));
    EXPECT_NEAR(G::zoomScaleAfterZoom(kView, shrunk, 0.5), 0.3, 1e-9);
    EXPECT_DOUBLE_EQ(shrunk.height() - G::kMargin, kCrop.bottom());
    EXPECT_GE(shrunk.width() - G::kMargin, kCrop.right());

    // Top-left corner inward: the bottom-right corner stays, the view's origin moves.
    const QRectF fromTopLeft = G::zoomedViewFrame(kView, kCrop, 0, QPointF(10, 5));
    EXPECT_DOUBLE_EQ(fromTopLeft.right(), kView.right());
    EXPECT_DOUBLE_EQ(fromTopLeft.bottom(), kView.bottom());
    EXPECT_DOUBLE_EQ(fromTopLeft.x(), kView.x() + 10);
    EXPECT_DOUBLE_EQ(fromTopLeft.y(), kView.y() + 5);
    EXPECT_NEAR(fromTopLeft.width() / fromTopLeft.height(), kView.width() / kView.height(), 0.05);
}

TEST(CropGeometry, APictureWithoutHeightOrNonNumbersDoNotScale)
{
    const QRectF flat(0, 0, 640, 240);
    EXPECT_EQ(G::zoomedViewFrame(flat, QRectF(130, 120, 100, 0), 2, QPointF(50, 50)), flat);
    const QRectF notNumber = G::zoomedViewFrame(kView, kCrop, 2, QPointF(std::nan(""), 100));
    EXPECT_TRUE(std::isfinite(notNumber.width()) && std::isfinite(notNumber.height()));
    EXPECT_EQ(G::zoomedViewFrame(kView, kCrop, 7, QPointF(50, 50)), kView) << "sides do not zoom";
    EXPECT_EQ(G::resizedCropRect(kCrop, 2, QPointF(std::nan(""), 0), kView.size()), kCrop);
}
