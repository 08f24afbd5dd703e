#pragma once

#include <QColor>

class QPainter;
class QRectF;

// The press highlight of the toolbar's and the inspector's icon buttons: a tint laid over the button's whole
// bounds while it is pressed (black at 25 % by default), in place of the style's own pressed look.
class QVR_ToolBarButtonCell {
public:
    QColor highlightColor() const { return m_highlightColor; }
    void setHighlightColor(const QColor& color) { m_highlightColor = color; }

    // Paints the tint over `bounds` when `pressed`; nothing otherwise.
    void highlight(QPainter* painter, bool pressed, const QRectF& bounds) const;

private:
    QColor m_highlightColor = QColor::fromRgbF(0, 0, 0, 0.25f);
};
