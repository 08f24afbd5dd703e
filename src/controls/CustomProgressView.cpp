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
    paintBar(painter, QRectF(rect()), m_progress, m_labelText, m_labelFont, m_barColor, m_barLabelTextColor);
}

void CustomProgressView::paintBar(QPainter& painter, const QRectF& rect, float progress, const QString& label,
                                  const QFont& font, const QColor& barColor, const QColor& labelColor,
                                  const QColor& background)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bar = rect.adjusted(0.5, 0.5, -0.5, -0.5);
    const double radius = std::min(4.0, bar.height() / 2);
    QPainterPath outline;
    outline.addRoundedRect(bar, radius, radius);

    painter.setPen(QPen(barColor, 1.0));
    painter.setBrush(background);
    painter.drawPath(outline);

    const QRectF filled(bar.topLeft(), QSizeF(bar.width() * std::clamp(progress, 0.0f, 1.0f), bar.height()));
    painter.save();
    painter.setClipRect(filled);
    painter.setBrush(barColor);
    painter.drawPath(outline);
    painter.restore();

    if (!label.isEmpty()) {
        painter.setFont(font);
        const QRectF textRect = bar.adjusted(6, 0, -6, 0);
        const QString text = painter.fontMetrics().elidedText(label, Qt::ElideRight, int(textRect.width()));
        painter.save();
        painter.setClipRect(filled);
        painter.setPen(labelColor);
        painter.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft, text);
        painter.restore();
        painter.save();
        painter.setClipRect(QRectF(filled.right(), bar.top(), bar.right() - filled.right(), bar.height()));
        painter.setPen(barColor);
        painter.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft, text);
        painter.restore();
    }
    painter.restore();
}
