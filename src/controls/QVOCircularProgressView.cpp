#include "controls/QVOCircularProgressView.h"

#include <algorithm>

#include <QPainter>
#include <QPainterPath>

QVOCircularProgressView::QVOCircularProgressView(QWidget* parent)
    : QWidget(parent)
    , m_tintColor(QColor::fromRgbF(40 / 255.0f, 120 / 255.0f, 183 / 255.0f, 1.0f))
{
    setAttribute(Qt::WA_TranslucentBackground);
    resize(0, 0);
}

void QVOCircularProgressView::setProgress(double progress)
{
    // Values outside 0..1 would draw more than one turn or a backwards arc.
    m_progress = std::clamp(progress, 0.0, 1.0);
    update();
}

void QVOCircularProgressView::setTrackWidth(double width)
{
    m_trackWidth = std::max(0.0, width);
    update();
}

void QVOCircularProgressView::setTintColor(const QColor& color)
{
    m_tintColor = color;
    update();
}

void QVOCircularProgressView::setStartAngle(double degrees)
{
    m_startAngle = degrees;
    update();
}

void QVOCircularProgressView::setEndAngle(double degrees)
{
    m_endAngle = degrees;
    update();
}

void QVOCircularProgressView::drawInRect(QPainter* painter, const QRectF& rect) const
{
    const double radius = std::min(rect.width() / 2.0, rect.height() / 2.0) - m_trackWidth;
    if (radius <= 0)
        return;
    const QPointF centre = rect.center();
    const QRectF circle(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setBrush(Qt::NoBrush);
    painter->setPen(QPen(Qt::white, m_trackWidth));
    painter->drawEllipse(circle);

    const double sweep = (m_endAngle - m_startAngle) * m_progress;
    if (sweep != 0.0) {
        QPen arcPen(m_tintColor, m_trackWidth);
        arcPen.setCapStyle(Qt::RoundCap);
        painter->setPen(arcPen);
        QPainterPath arc;
        arc.arcMoveTo(circle, m_startAngle);
        arc.arcTo(circle, m_startAngle, sweep);
        painter->drawPath(arc);
    }
    painter->restore();
}

void QVOCircularProgressView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    drawInRect(&painter, QRectF(rect()));
}
