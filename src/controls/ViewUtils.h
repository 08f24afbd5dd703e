#pragma once

#include <QColor>
#include <QImage>
#include <QMarginsF>
#include <QRectF>

#include "elements/images/UNIImage.h"

class QAbstractButton;
class QLabel;
class QPainter;
class QPixmap;
class QWidget;

// The view helpers of the utility classes and the view categories, for widgets.
// Coordinates are the widget's own: points, top-left origin, y down.
namespace ViewUtils {

// How image views fit their picture into their bounds (kept on the view as a property).
enum ContentMode { ContentModeScaleToFill = 0, ContentModeScaleAspectFit = 1, ContentModeScaleAspectFill = 2 };

// Snapshot of the view and its children at the bounds size rounded up to whole pixels, at scale 1, in the
// standard premultiplied ARGB bitmap; its point size is its pixel size. Works offscreen and for hidden views. The
// null image for a view with an empty size.
UNIImage imageFromView(QWidget* view);
// The same snapshot (every view's offscreen rendering).
UNIImage qvo_offscreenRenderedImage(QWidget* view);

// The view's snapshot, blurred (radius in pixels, default 8) or pixellated (square side, default 20), optionally
// darkened, as the image effects of the image utilities do it.
UNIImage blurryImageFromView(QWidget* view, double blurRadius, bool withDarkOverlay);
UNIImage blurryImageFromView(QWidget* view, bool withDarkOverlay);
UNIImage pixelatedImageFromView(QWidget* view, double pixelWidth, bool withDarkOverlay);
UNIImage pixelatedImageFromView(QWidget* view, bool withDarkOverlay);

// A new label (no parent) sized to the view, showing its snapshot.
QLabel* imageViewFromView(QWidget* view);

// Centres `view` in `other`'s bounds when `other` is its parent, else on `other`'s geometry (both are then taken
// in the parent's coordinates); the new origin is rounded down to whole points.
void centerView(QWidget* view, QWidget* other);
// Centres vertically only, at the given x.
void centerViewAtX(QWidget* view, QWidget* other, double x);
// Centres horizontally only, at the given y.
void centerViewAtY(QWidget* view, QWidget* other, double y);

void setX(QWidget* view, int x);
void setY(QWidget* view, int y);
void setWidth(QWidget* view, int width);

// Width and height become the largest right and bottom edges of the children (hidden ones included).
void resizeViewToFitSubviews(QWidget* view);

// A solid border of the given colour and width drawn over the view's edges.
void drawBorderAroundView(QWidget* view, const QColor& color, double width);

// Background colour painted behind the view's own drawing; an invalid colour removes it.
void setBackgroundColor(QWidget* view, const QColor& color);

// Opacity of the view and its children (1 = opaque). Animated over `seconds` when positive.
void setAlpha(QWidget* view, double alpha, double seconds = 0.0);
double alpha(const QWidget* view);

// Kept on the view; image views of this folder read it.
void setContentMode(QWidget* view, int mode);
int contentMode(const QWidget* view);

// Makes `subview` a child of `view`, stacked just below the child at `index` in stacking order (bottom first);
// added on top when the view has no children or the index is past the end.
void insertSubview(QWidget* view, QWidget* subview, int index);

// A disabled view answers no hit tests: clicks go to whatever lies beneath it. With
// `ignoredForSubviews` set its children still take clicks; otherwise the whole subtree is skipped.
void setUserInteractionDisabled(QWidget* view, bool disabled);
void setUserInteractionDisabledIgnoredForSubviews(QWidget* view, bool ignoredForSubviews);
bool isUserInteractionDisabled(const QWidget* view);

// Colours the button's whole title; an invalid colour or an empty title changes nothing.
void setFontColor(QAbstractButton* button, const QColor& color);
// The same, in the argument order of the OS X helper collection.
void setTextColor(const QColor& color, QAbstractButton* button);

// Places a top-level `sheet` the way a sheet hangs from `window`: centred across the window, its top edge right
// below the window's title band and menu bar (whatever menu bar the window shows lowest), and no taller than the
// room left below them, though never under the sheet's minimum height. Call it before showing the sheet.
void placeAsSheet(QWidget* sheet, const QWidget* window);

// A window shown while another window of the application is kept above all others (the first-launch tour) would
// come up beneath it, out of the user's sight: it is kept above the others too, and window managers put the newer
// of such windows in front. Call it before showing the window.
void keepAboveWindowsKeptOnTop(QWidget* window);

// Every descendant of the view (not the view itself) stops accepting drops.
void recursivelyUnregisterDragTypesForAllSubviewsOfView(QWidget* view);

// Nine-part drawing: the corners keep their size, the edges stretch along one axis, the centre both.
// Caps are in the image's points (device-independent pixels).
void drawNinePartImage(QPainter* painter, const QPixmap& image, const QRectF& rect, double topCap, double bottomCap,
                       double leftCap, double rightCap);

} // namespace ViewUtils
