#include "controls/CustomProgressView.h"

#include <algorithm>

#include <QPainter>
#include <QPainterPath>

#include "foundation/Tessutils.h"

CustomProgressView::CustomProgressView(QWidget* parent)
    : QWidget(parent)
    , m_barColor(Tessutils::tessarineBlue())
{
    m_labelFont = font();
    m_labelFont.setPointSizeF(11.0);
}

void CustomProgressView::setProgress(float progress)
{
    m_progress = std::clamp(progress, 0.0f, 1.0f);
    update();
}

void CustomProgressView::setLabelText(const QString& text)
{
    m_labelText = text;
    update();
}

void CustomProgressView::setLabelFont(const QFont& font)
{
    m_labelFont = font;
    update();
}

void CustomProgressView::setBarColor(const QColor& color)
{
    m_barColor = color;
    update();
}

void CustomProgressView::setBarLabelTextColor(const QColor& color)
{
    m_barLabelTextColor = color;
    update();
}

QRectF CustomProgressView::filledRect() const
{
    const QRectF bar = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    return QRectF(bar.topLeft(), QSizeF(bar.width() * m_progress, bar.height()));
}

void CustomProgressView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bar = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const double radius = std::min(4.0, bar.height() / 2);
    QPainterPath outline;
    outline.addRoundedRect(bar, radius, radius);

    painter.setPen(QPen(m_barColor, 1.0));
    painter.setBrush(QColor(255, 255, 255, 230));
    painter.drawPath(outline);

    const QRectF filled = filledRect();
    painter.save();
    painter.setClipRect(filled);
    painter.setBrush(m_barColor);
    painter.drawPath(outline);
    painter.restore();

    if (m_labelText.isEmpty())
        return;
    painter.setFont(m_labelFont);
    const QRectF textRect = bar.adjusted(6, 0, -6, 0);
    const QString text = painter.fontMetrics().elidedText(m_labelText, Qt::ElideRight, int(textRect.width()));
    painter.save();
    painter.setClipRect(filled);
    painter.setPen(m_barLabelTextColor);
    painter.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft, text);
    painter.restore();
    painter.save();
    painter.setClipRect(QRectF(filled.right(), bar.top(), bar.right() - filled.right(), bar.height()));
    painter.setPen(m_barColor);
    painter.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft, text);
    painter.restore();
}
