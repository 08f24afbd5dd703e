#include "creator/snapping/QVR_SnapLineView.h"

#include <algorithm>
#include <cmath>

#include <QGraphicsScene>
#include <QGraphicsView>
#include <QPainter>
#include <QPen>

#include "creator/snapping/SnappingGrid.h"

namespace {

// Room around the line for its pen, in scene units: enough for 1.5 device pixels down to the smallest zoom.
constexpr double kPaintMargin = 20;
// The room a line's repaint needs on either side, in device pixels: half the pen and its rounding, with some to
// spare.
constexpr double kDeviceMargin = 3;

} // namespace

QVR_SnapLineView::QVR_SnapLineView(SnapOrientation orientation)
    : m_orientation(orientation)
{
    setZValue(kZValue);
    setAcceptedMouseButtons(Qt::NoButton);
    setAcceptHoverEvents(false);
}

QColor QVR_SnapLineView::colorForSnapLine(const SnappingGridLine& line)
{
    return line.belongsToParentView() ? QColor(Qt::red) : QColor(Qt::cyan);
}

void QVR_SnapLineView::setSnapLine(std::shared_ptr<SnappingGridLine> line, const SnappingGrid& grid)
{
    const QPointF origin = grid.modelOffset();
    const double position =
        line ? double(line->absolutePosition()) + (m_orientation == SnapVertical ? origin.x() : origin.y()) : 0.0;
    if (line == m_line && position == m_position && origin == m_origin)
        return;
    // The old line's strip as wide as it was updated with, or as the current scale needs if that is wider.
    const QRectF before = lineStrip(std::max(m_stripMargin, stripMargin()));
    if (origin != m_origin) {
        prepareGeometryChange();
        m_origin = origin;
    }
    m_line = std::move(line);
    m_position = position;
    m_stripMargin = stripMargin();
    // Only the strips: an update of a null rectangle would repaint the whole item, the whole view.
    for (const QRectF& strip : {before, lineStrip(m_stripMargin)}) {
        if (!strip.isEmpty())
            update(strip);
    }
}

double QVR_SnapLineView::stripMargin() const
{
    // A few device pixels at the smallest scale a view shows the scene at; the widest margin without a view.
    double scale = 0;
    if (QGraphicsScene* owner = scene()) {
        for (const QGraphicsView* view : owner->views()) {
            const QTransform transform = view->transform();
            const double viewScale =
                std::min(std::hypot(transform.m11(), transform.m12()), std::hypot(transform.m21(), transform.m22()));
            if (viewScale > 0 && (scale == 0 || viewScale < scale))
                scale = viewScale;
        }
    }
    return scale > 0 ? std::min(kPaintMargin, kDeviceMargin / scale) : kPaintMargin;
}

QRectF QVR_SnapLineView::lineStrip(double margin) const
{
    if (!m_line)
        return {};
    if (m_orientation == SnapVertical)
        return QRectF(m_position - margin, m_origin.y(), 2 * margin, kLength);
    return QRectF(m_origin.x(), m_position - margin, kLength, 2 * margin);
}

QRectF QVR_SnapLineView::boundingRect() const
{
    return QRectF(m_origin - QPointF(kPaintMargin, kPaintMargin),
                  QSizeF(kLength + 2 * kPaintMargin, kLength + 2 * kPaintMargin));
}

void QVR_SnapLineView::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    if (!m_line)
        return;
    QPen pen(colorForSnapLine(*m_line), kThickness);
    pen.setCosmetic(true);
    pen.setCapStyle(Qt::FlatCap);
    painter->setPen(pen);
    if (m_orientation == SnapVertical)
        painter->drawLine(QPointF(m_position, m_origin.y()), QPointF(m_position, m_origin.y() + kLength));
    else
        painter->drawLine(QPointF(m_origin.x(), m_position), QPointF(m_origin.x() + kLength, m_position));
}
