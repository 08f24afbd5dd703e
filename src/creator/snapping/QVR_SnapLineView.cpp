#include "creator/snapping/QVR_SnapLineView.h"

#include <QPainter>
#include <QPen>

#include "creator/snapping/SnappingGrid.h"

namespace {

// Room around the line for its pen, in scene units: enough for 1.5 device pixels down to the smallest zoom.
constexpr double kPaintMargin = 20;

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
    const QRectF before = lineStrip();
    if (origin != m_origin) {
        prepareGeometryChange();
        m_origin = origin;
    }
    m_line = std::move(line);
    m_position = position;
    // Only the strips: an update of a null rectangle would repaint the whole item, the whole view.
    for (const QRectF& strip : {before, lineStrip()}) {
        if (!strip.isEmpty())
            update(strip);
    }
}

QRectF QVR_SnapLineView::lineStrip() const
{
    if (!m_line)
        return {};
    if (m_orientation == SnapVertical)
        return QRectF(m_position - kPaintMargin, m_origin.y(), 2 * kPaintMargin, kLength);
    return QRectF(m_origin.x(), m_position - kPaintMargin, kLength, 2 * kPaintMargin);
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
