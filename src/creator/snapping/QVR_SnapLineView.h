#pragma once

#include <QColor>
#include <QGraphicsObject>

#include <memory>

#include "creator/snapping/SnappingGridLine.h"

class SnappingGrid;

// One snap guide across the art board, for a line that the moving objects currently hold to: red for the
// screen's own lines, cyan for another object's. Drawn with a cosmetic pen 1.5 device pixels wide at any zoom,
// above the containers and below the grey mask, and never hit by the mouse. The scene owns it once added.
class QVR_SnapLineView : public QGraphicsObject {
    Q_OBJECT
public:
    static constexpr double kZValue = 5000;
    static constexpr double kLength = 30000;
    static constexpr double kThickness = 1.5;

    QVR_SnapLineView(std::shared_ptr<SnappingGridLine> line, const SnappingGrid& grid);

    static QColor colorForSnapLine(const SnappingGridLine& line);

    const std::shared_ptr<SnappingGridLine>& snapLine() const { return m_line; }
    // The line's scene coordinate: its grid position plus the grid's model offset (the screen sits at (0, 0)).
    double scenePosition() const { return m_position; }

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    std::shared_ptr<SnappingGridLine> m_line;
    double m_position = 0;
    double m_start = 0;
};
