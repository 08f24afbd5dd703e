#pragma once

#include <QColor>
#include <QGraphicsObject>

#include <memory>

#include "creator/snapping/SnappingGridLine.h"

class SnappingGrid;

// The snap guide of one orientation across the art board, for the line that the moving objects currently hold
// to: red for the screen's own lines, cyan for another object's, nothing while they hold to none. Drawn with a
// cosmetic pen 1.5 device pixels wide at any zoom, above the containers and below the grey mask, and never hit by
// the mouse. A gesture keeps one view per orientation and moves its line in place: its bounds cover every place a
// line can take, so a change repaints the two strips involved (a few device pixels wide) and leaves the scene's
// index alone. The scene owns it once added.
class QVR_SnapLineView : public QGraphicsObject {
    Q_OBJECT
public:
    static constexpr double kZValue = 5000;
    static constexpr double kLength = 30000;
    static constexpr double kThickness = 1.5;

    explicit QVR_SnapLineView(SnapOrientation orientation);

    static QColor colorForSnapLine(const SnappingGridLine& line);

    SnapOrientation orientation() const { return m_orientation; }
    // Shows `line` (of this view's orientation), or nothing for nullptr; placed by the grid's model offset.
    void setSnapLine(std::shared_ptr<SnappingGridLine> line, const SnappingGrid& grid);
    // The line shown; nullptr while none is.
    const std::shared_ptr<SnappingGridLine>& snapLine() const { return m_line; }
    // The line's scene coordinate: its grid position plus the grid's model offset (the screen sits at (0, 0)).
    double scenePosition() const { return m_position; }

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    // The band `margin` scene units either side of the shown line that a change repaints; empty while none is
    // shown.
    QRectF lineStrip(double margin) const;
    // The margin the strips need at the scale the scene is shown at.
    double stripMargin() const;

    SnapOrientation m_orientation;
    std::shared_ptr<SnappingGridLine> m_line;
    QPointF m_origin; // the grid's model offset: where the lines start
    double m_position = 0;
    double m_stripMargin = 0; // the margin the shown line's strip was last updated with
};
