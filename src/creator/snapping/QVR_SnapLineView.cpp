#include "creator/snapping/QVR_SnapLineView.h"

#include <QPainter>
#include <QPen>

#include "creator/snapping/SnappingGrid.h"

namespace {

// Room around the line for its pen, in scene units: enough for 1.5 device pixels down to the smallest zoom.
constexpr double kPaintMargin = 20;

} // namespace

QVR_SnapLineView::QVR_SnapLineView(std::shared_ptr<SnappingGridLine> line, const SnappingGrid& grid)
    : m_line(std::move(line))
{
    const bool vertical = m_line->orientation() == SnapVertical;
    const QPointF offset = grid.modelOffset();
    m_position = double(m_line->absolutePosition()) + (vertical ? offset.x() : offset.y());
    m_start = vertical ? offset.y() : offset.x();
    setZValue(kZValue);
    setAcceptedMouseButtons(Qt::NoButton);
    setAcceptHoverEvents(false);
}

QColor QVR_SnapLineView::colorForSnapLine(const SnappingGridLine& line)
{
    return line.belongsToParentView() ? QColor(Qt::red) : QColor(Qt::cyan);
}

QRectF QVR_SnapLineView::boundingRect() const
{
    if (m_line->orientation() == SnapVertical)
        return QRectF(m_position - kPaintMargin, m_start, 2 * kPaintMargin, kLength);
    return QRectF(m_start, m_position - kPaintMargin, kLength, 2 * kPaintMargin);
}

void QVR_SnapLineView::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    QPen pen(colorForSnapLine(*m_line), kThickness);
    pen.setCosmetic(true);
    pen.setCapStyle(Qt::FlatCap);
    painter->setPen(pen);
    if (m_line->orientation() == SnapVertical)
        painter->drawLine(QPointF(m_position, m_start), QPointF(m_position, m_start + kLength));
    else
        painter->drawLine(QPointF(m_start, m_position), QPointF(m_start + kLength, m_position));
}
