#include "creator/crop/CropGeometry.h"

#include <algorithm>
#include <cmath>

namespace CropGeometry {

namespace {

double finiteOrZero(double value)
{
    return std::isfinite(value) ? value : 0.0;
}

QPointF corner(const QRectF& rect, int position)
{
    switch (position) {
    case 0:
        return rect.topLeft();
    case 1:
        return rect.topRight();
    case 2:
        return rect.bottomRight();
    default:
        return rect.bottomLeft();
    }
}

bool movesLeft(int position)
{
    return position == 0 || position == 3 || position == 4;
}
bool movesRight(int position)
{
    return position == 1 || position == 2 || position == 5;
}
bool movesTop(int position)
{
    return position == 0 || position == 1 || position == 6;
}
bool movesBottom(int position)
{
    return position == 2 || position == 3 || position == 7;
}

} // namespace

QRectF imageRect(const QSizeF& viewSize)
{
    return QRectF(kMargin, kMargin, viewSize.width() - 2 * kMargin, viewSize.height() - 2 * kMargin);
}

QRectF cropViewFrame(const QRectF& frame, const QSizeF& imageSize, double zoomScale, const QSizeF& zoomOffset)
{
    return QRectF(frame.x() - zoomOffset.width() - kMargin, frame.y() - zoomOffset.height() - kMargin,
                  imageSize.width() * zoomScale + 2 * kMargin, imageSize.height() * zoomScale + 2 * kMargin);
}

QSizeF zoomOffset(const QRectF& cropRect)
{
    return QSizeF(cropRect.x() - kMargin, cropRect.y() - kMargin);
}

QRectF shrunkFrame(const QRectF& frame, const QSizeF& imageSize, double zoomScale)
{
    if (imageSize.width() <= 0 || imageSize.height() <= 0 || !(zoomScale > 0) || !std::isfinite(zoomScale))
        return frame;
    return QRectF(frame.topLeft(), QSizeF(std::min(frame.width(), imageSize.width() * zoomScale),
                                          std::min(frame.height(), imageSize.height() * zoomScale)));
}

QRectF movedCropRect(const QRectF& origin, const QPointF& translation, const QSizeF& viewSize)
{
    QRectF rect(origin.topLeft() + translation, origin.size());
    if (rect.left() < kMargin)
        rect.moveLeft(kMargin);
    else if (rect.right() > viewSize.width() - kMargin)
        rect.moveRight(viewSize.width() - kMargin);
    if (rect.top() < kMargin)
        rect.moveTop(kMargin);
    else if (rect.bottom() > viewSize.height() - kMargin)
        rect.moveBottom(viewSize.height() - kMargin);
    return rect;
}

QRectF resizedCropRect(const QRectF& origin, int position, const QPointF& translation, const QSizeF& viewSize)
{
    const double tx = finiteOrZero(translation.x());
    const double ty = finiteOrZero(translation.y());
    double left = origin.left(), right = origin.right(), top = origin.top(), bottom = origin.bottom();
    if (movesLeft(position))
        left = std::min(left + tx, right - kMinimumSide);
    if (movesRight(position))
        right = std::max(right + tx, left + kMinimumSide);
    if (movesTop(position))
        top = std::min(top + ty, bottom - kMinimumSide);
    if (movesBottom(position))
        bottom = std::max(bottom + ty, top + kMinimumSide);
    // Clipped to the picture.
    left = std::max(left, kMargin);
    top = std::max(top, kMargin);
    right = std::min(right, viewSize.width() - kMargin);
    bottom = std::min(bottom, viewSize.height() - kMargin);
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

QRectF zoomedViewFrame(const QRectF& viewFrame, const QRectF& cropRect, int position, const QPointF& translation)
{
    if (position < 0 || position > 3)
        return viewFrame;
    const QRectF image = imageRect(viewFrame.size());
    if (!(image.width() > 0) || !(image.height() > 0))
        return viewFrame;
    const QPointF drag = corner(image, position);
    const QPointF anchor = corner(image, (position + 2) % 4);
    const QPointF cursor = drag + QPointF(finiteOrZero(translation.x()), finiteOrZero(translation.y()));
    // The cursor projected onto the diagonal: the larger of the two scales wins, so the corner stays under the
    // cursor on its farther axis.
    const double sx = (cursor.x() - anchor.x()) / (drag.x() - anchor.x());
    const double sy = (cursor.y() - anchor.y()) / (drag.y() - anchor.y());
    const double k = std::max(0.0, finiteOrZero(std::max(sx, sy)));
    const QPointF projected = anchor + k * (drag - anchor);
    const QRectF next = QRectF(anchor, projected).normalized();

    double dx = next.x() - image.x();
    double dy = next.y() - image.y();
    double dw = next.width() - image.width();
    double dh = next.height() - image.height();
    const double a = image.width() / image.height();
    const QRectF& t = cropRect;
    // The crop rectangle stays on the picture: a picture that would shrink past it grows back, aspect kept.
    if (dx != 0 && t.x() - dx < kMargin) {
        const double e = kMargin - (t.x() - dx);
        dx -= e;
        dw += e;
        if (dy != 0)
            dy -= e / a;
        dh += e / a;
    } else if (dx == 0 && (viewFrame.width() + dw) - t.right() < kMargin) {
        const double e = kMargin - ((viewFrame.width() + dw) - t.right());
        dw += e;
        if (dy != 0)
            dy -= e / a;
        dh += e / a;
    }
    if (dy != 0 && t.y() - dy < kMargin) {
        const double e = kMargin - (t.y() - dy);
        dy -= e;
        dh += e;
        if (dx != 0)
            dx -= a * e;
        dw += a * e;
    } else if (dy == 0 && (viewFrame.height() + dh) - t.bottom() < kMargin) {
        const double e = kMargin - ((viewFrame.height() + dh) - t.bottom());
        dh += e;
        if (dx != 0)
            dx -= a * e;
        dw += a * e;
    }
    return QRectF(viewFrame.x() + finiteOrZero(dx), viewFrame.y() + finiteOrZero(dy),
                  viewFrame.width() + finiteOrZero(dw), viewFrame.height() + finiteOrZero(dh));
}

double zoomScaleAfterZoom(const QRectF& oldViewFrame, const QRectF& newViewFrame, double oldZoomScale)
{
    const double oldWidth = oldViewFrame.width() - 2 * kMargin;
    if (!(oldWidth > 0))
        return oldZoomScale;
    return (newViewFrame.width() - 2 * kMargin) / oldWidth * oldZoomScale;
}

} // namespace CropGeometry
