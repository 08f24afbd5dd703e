#include "creator/toolbar/QVR_ToolBarButtonCell.h"

#include <QPainter>

void QVR_ToolBarButtonCell::highlight(QPainter* painter, bool pressed, const QRectF& bounds) const
{
    if (!pressed || !painter)
        return;
    painter->fillRect(bounds, m_highlightColor);
}
