#pragma once

#include <QList>
#include <QPainterPath>
#include <QPointF>
#include <QRectF>

class QPainter;

// Geometry of the polygon shapes of shape objects. A relative path is an ordered list of points in the unit
// square, implicitly closed. The lists are given as seen on screen (y down); yInvertRelativePaths turns them
// into the y-up space the shape object draws in. Stateless; every call returns a new list. Safe on any thread.
class QVRShapeUtils {
public:
    static QList<QPointF> relativePathForRightTriangle();
    static QList<QPointF> relativePathForIsoscelesTriangle();
    static QList<QPointF> relativePathForOctagon();
    static QList<QPointF> relativePathForStandardArrow();
    static QList<QPointF> relativePathFor45DegreeArrow();

    // (x, y) → (x, 1 − y), same order.
    static QList<QPointF> yInvertRelativePaths(const QList<QPointF>& path);
    // Each point turned by theta radians about (0.5, 0.5); positive theta turns counter-clockwise in y-up space.
    static QList<QPointF> rotatedRelativePaths(const QList<QPointF>& path, double theta);
    static QPointF rotatePoint(const QPointF& point, const QPointF& center, double theta);

    // The list mapped into the frame (x + px·width, y + py·height, unrounded), closed by a line back to the first
    // point, with the non-zero winding rule. Empty for an empty list.
    static QPainterPath setupRelativePaths(const QList<QPointF>& path, const QRectF& frame);
    // Fill with the painter's current brush / stroke with its current pen; the painter's state and transform
    // are left as they are. An empty list draws nothing.
    static void fillRelativePaths(const QList<QPointF>& path, QPainter* painter, const QRectF& frame);
    static void strokeRelativePaths(const QList<QPointF>& path, QPainter* painter, const QRectF& frame);
};
