#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>

// The arithmetic of crop mode, in the crop view's own coordinates: origin at the view's top-left, y down, scene
// units. The picture fills the view inset by kMargin on every side; R is the crop rectangle, the part of the
// picture the element shows.
//
// Handle positions: 0 top-left, 1 top-right, 2 bottom-right, 3 bottom-left corner; 4 left, 5 right, 6 top,
// 7 bottom side.
namespace CropGeometry {

constexpr double kMargin = 120.0;
constexpr double kMinimumSide = 40.0;

// The picture's rectangle inside a crop view of `viewSize`.
QRectF imageRect(const QSizeF& viewSize);

// Where the crop view lies (scene) for an element at `frame` showing a picture of `imageSize` pixels (already
// turned) at `zoomScale` points per pixel, shifted by `zoomOffset`.
QRectF cropViewFrame(const QRectF& frame, const QSizeF& imageSize, double zoomScale, const QSizeF& zoomOffset);

// The zoom offset of a crop rectangle: its top-left corner measured from the picture's top-left corner.
QSizeF zoomOffset(const QRectF& cropRect);

// An element larger than its zoomed picture is shrunk to it, its top-left corner kept. `imageSize` is in pixels,
// already turned; an empty size changes nothing.
QRectF shrunkFrame(const QRectF& frame, const QSizeF& imageSize, double zoomScale);

// Moving R: `origin` (R when the drag began) shifted by `translation`, kept on the picture.
QRectF movedCropRect(const QRectF& origin, const QPointF& translation, const QSizeF& viewSize);

// Resizing R from a handle: `origin` (R when the drag began) with the edges of `position` moved by `translation`,
// each side at least kMinimumSide with the opposite edge in place, then clipped to the picture.
QRectF resizedCropRect(const QRectF& origin, int position, const QPointF& translation, const QSizeF& viewSize);

// Scaling the picture from a zoom handle (corners 0–3), aspect ratio kept, the opposite corner fixed and R kept on
// the screen and on the picture. `viewFrame` and `cropRect` are the crop view's frame (scene) and R when the drag
// began. Returns the new view frame; R's new origin is cropRect's origin minus the change of the view's origin.
// A picture without width or height does not scale.
QRectF zoomedViewFrame(const QRectF& viewFrame, const QRectF& cropRect, int position, const QPointF& translation);

// The zoom scale after a zoom gesture: proportional to the picture's new width.
double zoomScaleAfterZoom(const QRectF& oldViewFrame, const QRectF& newViewFrame, double oldZoomScale);

} // namespace CropGeometry
